#include "record/AviWriter.h"

#include <cstring>

#include "platform/bytes.h"
#include "platform/jpeg.h"
#include "platform/messages.h"

namespace avi {

namespace {

// Append little-endian fields of 16 and 32 bits (wider values keep their low bits).
void Le16(std::vector<std::uint8_t>& v, std::uint64_t x) {
  v.resize(v.size() + 2);
  plat::ByteWriter(v.data() + v.size() - 2, 2).U16(static_cast<std::uint16_t>(x));
}
void Le32(std::vector<std::uint8_t>& v, std::uint64_t x) {
  v.resize(v.size() + 4);
  plat::ByteWriter(v.data() + v.size() - 4, 4).U32(static_cast<std::uint32_t>(x));
}
void Fourcc(std::vector<std::uint8_t>& v, const char* c) { v.insert(v.end(), c, c + 4); }
void PatchLe32(std::FILE* f, long offset, std::uint32_t x) {
  std::uint8_t b[4];
  plat::ByteWriter(b, sizeof b).U32(x);
  std::fseek(f, offset, SEEK_SET);
  std::fwrite(b, 1, 4, f);
}

std::vector<std::uint8_t> InfoHeader(int width, int height, int bits, std::uint32_t compression, std::uint32_t imageSize,
                                     std::uint32_t colours) {
  std::vector<std::uint8_t> h;
  Le32(h, 40);
  Le32(h, static_cast<std::uint32_t>(width));
  Le32(h, static_cast<std::uint32_t>(height));
  Le16(h, 1);
  Le16(h, static_cast<std::uint32_t>(bits));
  Le32(h, compression);
  Le32(h, imageSize);
  Le32(h, 0);
  Le32(h, 0);
  Le32(h, colours);
  Le32(h, 0);
  return h;
}

// AVI offsets of the words patched at close.
constexpr long kRiffSize = 4;
constexpr long kTotalFrames = 48;
constexpr long kStreamLength = 140;

}  // namespace

bool BitmapToDib(const Bitmap& bitmap, int bits, PackedDib& out) {
  out = PackedDib{};
  if (bitmap.width <= 0 || bitmap.height <= 0 || (bitmap.bitsPerPixel != 24 && bitmap.bitsPerPixel != 32) ||
      (bits != 8 && bits != 24 && bits != 32)) {
    return false;
  }
  const std::size_t srcRow = Bitmap::RowSize(bitmap.width, bitmap.bitsPerPixel);
  if (bitmap.pixels.size() < srcRow * static_cast<std::size_t>(bitmap.height)) return false;
  const std::size_t row = Bitmap::RowSize(bitmap.width, bits);
  const std::uint32_t colours = bits <= 8 ? 1u << bits : 0u;
  out.imageSize = static_cast<std::uint32_t>(row * static_cast<std::size_t>(bitmap.height));
  out.width = bitmap.width;
  out.height = bitmap.height;
  out.bytes = InfoHeader(bitmap.width, bitmap.height, bits, 0, out.imageSize, colours);
  for (std::uint32_t i = 0; i < colours; ++i) Le32(out.bytes, i | i << 8 | i << 16);
  out.headerAndColours = static_cast<std::uint32_t>(out.bytes.size());
  out.bytes.resize(out.bytes.size() + out.imageSize, 0);
  const std::size_t srcStep = static_cast<std::size_t>(bitmap.bitsPerPixel / 8);
  for (int y = 0; y < bitmap.height; ++y) {
    const std::uint8_t* s = bitmap.pixels.data() + srcRow * static_cast<std::size_t>(y);
    std::uint8_t* d = out.bytes.data() + out.headerAndColours + row * static_cast<std::size_t>(y);
    for (int x = 0; x < bitmap.width; ++x, s += srcStep) {
      if (bits == 8) {
        *d++ = static_cast<std::uint8_t>((s[0] * 29 + s[1] * 150 + s[2] * 77) >> 8);
      } else {
        *d++ = s[0];
        *d++ = s[1];
        *d++ = s[2];
        if (bits == 32) *d++ = srcStep == 4 ? s[3] : 0;
      }
    }
  }
  return true;
}

// ---- RIFF file ---------------------------------------------------------------------------

RiffAviFile::~RiffAviFile() { Close(); }

bool RiffAviFile::Put(const void* data, std::size_t length) {
  if (failed_ || std::fwrite(data, 1, length, file_) != length) failed_ = true;
  return !failed_;
}

bool RiffAviFile::Create(const std::string& path, const char handler[4], std::uint32_t rate, std::uint32_t scale,
                         int width, int height, std::uint32_t suggestedBuffer, const std::vector<std::uint8_t>& format,
                         bool compressed) {
  Close();
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return false;
  compressed_ = compressed;
  failed_ = false;
  next_ = 0;
  index_.clear();
  maxSample_ = 0;
  std::vector<std::uint8_t> strf = format;
  if (strf.size() % 2) strf.push_back(0);
  std::vector<std::uint8_t> h;
  Fourcc(h, "RIFF");
  Le32(h, 0);
  Fourcc(h, "AVI ");
  Fourcc(h, "LIST");
  Le32(h, 4 + 8 + 56 + 12 + 8 + 56 + 8 + strf.size());
  Fourcc(h, "hdrl");
  Fourcc(h, "avih");
  Le32(h, 56);
  Le32(h, scale && rate ? static_cast<std::uint64_t>(scale) * 1000000u / rate : 0);  // microseconds per frame
  Le32(h, 0);
  Le32(h, 0);
  Le32(h, 0x10);  // has an index
  Le32(h, 0);     // total frames (patched)
  Le32(h, 0);
  Le32(h, 1);
  Le32(h, suggestedBuffer);
  Le32(h, static_cast<std::uint32_t>(width));
  Le32(h, static_cast<std::uint32_t>(height));
  for (int i = 0; i < 4; ++i) Le32(h, 0);
  Fourcc(h, "LIST");
  Le32(h, 4 + 8 + 56 + 8 + strf.size());
  Fourcc(h, "strl");
  Fourcc(h, "strh");
  Le32(h, 56);
  Fourcc(h, "vids");
  Fourcc(h, handler);
  Le32(h, 0);
  Le16(h, 0);
  Le16(h, 0);
  Le32(h, 0);
  Le32(h, scale);
  Le32(h, rate);
  Le32(h, 0);
  Le32(h, 0);  // length (patched)
  Le32(h, suggestedBuffer);
  Le32(h, 0xFFFFFFFFu);  // the default quality
  Le32(h, 0);
  Le16(h, 0);
  Le16(h, 0);
  Le16(h, static_cast<std::uint32_t>(width));
  Le16(h, static_cast<std::uint32_t>(height));
  Fourcc(h, "strf");
  Le32(h, format.size());
  h.insert(h.end(), strf.begin(), strf.end());
  Fourcc(h, "LIST");
  Le32(h, 0);  // movi size (patched)
  moviStart_ = static_cast<std::uint32_t>(h.size());
  Fourcc(h, "movi");
  if (!Put(h.data(), h.size())) {
    std::fclose(file_);
    file_ = nullptr;
    return false;
  }
  return true;
}

bool RiffAviFile::WriteSample(std::int32_t position, const std::uint8_t* data, std::size_t length, bool keyFrame) {
  if (!file_ || failed_ || position < next_ || length > 0x7FFFFFF0u) return false;
  const char* id = compressed_ ? "00dc" : "00db";
  const std::uint8_t pad = 0;
  // Positions skipped by failed writes stay as empty samples, so numbers keep their places.
  while (next_ <= position) {
    const bool real = next_ == position;
    const std::uint32_t size = real ? static_cast<std::uint32_t>(length) : 0;
    const long offset = std::ftell(file_);
    std::vector<std::uint8_t> head;
    Fourcc(head, id);
    Le32(head, size);
    if (!Put(head.data(), head.size())) return false;
    if (real && length > 0 && !Put(data, length)) return false;
    if (size % 2 && !Put(&pad, 1)) return false;
    index_.push_back({real && keyFrame ? 0x10u : 0u, static_cast<std::uint32_t>(offset) - moviStart_, size});
    if (size > maxSample_) maxSample_ = size;
    ++next_;
  }
  return true;
}

bool RiffAviFile::Close() {
  if (!file_) return true;
  std::vector<std::uint8_t> idx;
  Fourcc(idx, "idx1");
  Le32(idx, index_.size() * 16);
  const char* id = compressed_ ? "00dc" : "00db";
  for (const IndexEntry& e : index_) {
    Fourcc(idx, id);
    Le32(idx, e.flags);
    Le32(idx, e.offset);
    Le32(idx, e.size);
  }
  const long moviEnd = std::ftell(file_);
  Put(idx.data(), idx.size());
  const long end = std::ftell(file_);
  PatchLe32(file_, kRiffSize, static_cast<std::uint32_t>(end - 8));
  PatchLe32(file_, static_cast<long>(moviStart_) - 4, static_cast<std::uint32_t>(moviEnd - static_cast<long>(moviStart_)));
  PatchLe32(file_, kTotalFrames, static_cast<std::uint32_t>(index_.size()));
  PatchLe32(file_, kStreamLength, static_cast<std::uint32_t>(index_.size()));
  const bool ok = !failed_ && std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

// ---- movie writer --------------------------------------------------------------------------

CAviMovieWriter::CAviMovieWriter(const std::string& path) : m_szFileName(path) {
  // The name must fit the 260-byte path field: a longer one refuses every frame.
  if (path.empty() || path.size() > kMaxPath) m_nState = 0;
}

CAviMovieWriter::~CAviMovieWriter() { ReleaseAll(); }

void CAviMovieWriter::ReleaseAll() {
  m_nState = 0;
  m_file.Close();
}

std::int32_t CAviMovieWriter::Open(int width, int height, int bits, std::uint32_t imageSize) {
  // Pictures of 8 bits or fewer carry a colour table the stream format has no room for.
  if (width <= 0 || height <= 0 || bits <= 8 || bits > 32 ||
      !m_file.Create(m_szFileName, "DIB ", 1, 1, width, height, imageSize,
                     InfoHeader(width, height, bits, 0, imageSize, 0), false)) {
    ReleaseAll();
    plat::MessageBox(0, "Error Occured While Rendering the Movie", "Error", plat::MB_OK | plat::MB_ICONERROR);
    return E_FAIL_;
  }
  m_nWidth = width;
  m_nHeight = height;
  m_nBits = bits;
  m_nState = 2;
  return S_OK_;
}

std::int32_t CAviMovieWriter::Write(const std::uint8_t* data, std::size_t length, int width, int height, int bits) {
  const std::int32_t position = m_lFrameIndex++;
  // A movie holds one format: a larger picture or another depth is refused (its number is used up).
  if (width > m_nWidth || height > m_nHeight || bits != m_nBits || data == nullptr) return E_FAIL_;
  return m_file.WriteSample(position, data, length, false) ? S_OK_ : E_FAIL_;
}

std::int32_t CAviMovieWriter::AddBitmapFrame(const Bitmap& bitmap) {
  if (m_nState == 0) return E_FAIL_;
  const std::uint32_t imageSize =
      static_cast<std::uint32_t>(Bitmap::RowSize(bitmap.width, bitmap.bitsPerPixel) * static_cast<std::size_t>(bitmap.height > 0 ? bitmap.height : 0));
  if (m_nState == 1 && Open(bitmap.width, bitmap.height, bitmap.bitsPerPixel, imageSize) != S_OK_) return E_FAIL_;
  if (bitmap.pixels.size() < imageSize) {
    ++m_lFrameIndex;
    return E_FAIL_;
  }
  return Write(bitmap.pixels.data(), imageSize, bitmap.width, bitmap.height, bitmap.bitsPerPixel);
}

std::int32_t CAviMovieWriter::AddPixelFrame(int width, int height, const std::uint8_t* pixels, int bitsPerPixel) {
  if (m_nState == 0) return E_FAIL_;
  // Rows are not padded: width x height x bits / 8, rounded toward zero.
  const std::uint64_t length = width > 0 && height > 0 && bitsPerPixel > 0
                                   ? static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                                         static_cast<std::uint64_t>(bitsPerPixel) / 8
                                   : 0;
  if (m_nState == 1 && Open(width, height, bitsPerPixel, static_cast<std::uint32_t>(length)) != S_OK_) return E_FAIL_;
  return Write(pixels, static_cast<std::size_t>(length), width, height, bitsPerPixel);
}

// ---- clip writer ---------------------------------------------------------------------------

std::uint32_t ClipRate(float framesPerSecond) {
  if (framesPerSecond == 0.0f) return 1;
  // In double, as the rate always was: 29.97f gives 2996 (the float lies just below 29.97).
  const double product = static_cast<double>(framesPerSecond) * 100.0;
  if (!(product >= 1.0)) return 1;
  return product > 4e9 ? 4000000000u : static_cast<std::uint32_t>(product);
}

CAviClipWriter::CAviClipWriter(const std::string& path, int width, int height, ClipOptions options)
    : m_strFileName(path), m_nWidth(width), m_nHeight(height), m_options(std::move(options)) {
  if (path.empty() || path.size() > kMaxPath) m_bOk = false;
}

CAviClipWriter::~CAviClipWriter() { m_file.Close(); }

bool CAviClipWriter::AddFrame(const Bitmap& bitmap, float framesPerSecond) {
  if (!m_bOk) return false;
  PackedDib dib;
  if (!BitmapToDib(bitmap, 32, dib)) return false;
  if ((m_nWidth >= 0 && m_nWidth != dib.width) || (m_nHeight >= 0 && m_nHeight != dib.height)) return false;
  m_nWidth = dib.width;
  m_nHeight = dib.height;
  if (m_lFrameCount == 0) {
    m_codec = m_options ? m_options() : ClipCodec::FullFrames;
    bool opened = false;
    if (m_codec == ClipCodec::FullFrames) {
      opened = m_file.Create(m_strFileName, "DIB ", ClipRate(framesPerSecond), 100, m_nWidth, m_nHeight, dib.imageSize,
                             std::vector<std::uint8_t>(dib.bytes.begin(), dib.bytes.begin() + dib.headerAndColours),
                             false);
    } else if (m_codec == ClipCodec::MotionJpeg) {
      std::vector<std::uint8_t> header = InfoHeader(m_nWidth, m_nHeight, 24, 0x47504A4Du /* MJPG */,
                                                    static_cast<std::uint32_t>(Bitmap::RowSize(m_nWidth, 24)) *
                                                        static_cast<std::uint32_t>(m_nHeight),
                                                    0);
      opened = m_file.Create(m_strFileName, "MJPG", ClipRate(framesPerSecond), 100, m_nWidth, m_nHeight, dib.imageSize,
                             header, true);
    }
    if (!opened) {
      m_bOk = false;
      return false;
    }
  }
  bool written;
  if (m_codec == ClipCodec::MotionJpeg) {
    // 24-bit rows for the encoder.
    const std::size_t row = static_cast<std::size_t>(m_nWidth) * 3;
    std::vector<std::uint8_t> bgr(row * static_cast<std::size_t>(m_nHeight));
    for (int y = 0; y < m_nHeight; ++y) {
      const std::uint8_t* s = dib.bytes.data() + dib.headerAndColours + static_cast<std::size_t>(m_nWidth) * 4 * static_cast<std::size_t>(y);
      std::uint8_t* d = bgr.data() + row * static_cast<std::size_t>(y);
      for (int x = 0; x < m_nWidth; ++x, s += 4) {
        *d++ = s[0];
        *d++ = s[1];
        *d++ = s[2];
      }
    }
    std::vector<std::uint8_t> jpeg;
    written = plat::JpegEncodeBgrBottomUp(bgr.data(), m_nWidth, m_nHeight, static_cast<int>(row), 85, jpeg) &&
              m_file.WriteSample(m_lFrameCount, jpeg.data(), jpeg.size(), true);
  } else {
    written = m_file.WriteSample(m_lFrameCount, dib.bytes.data() + dib.headerAndColours, dib.imageSize, true);
  }
  if (!written) {
    m_bOk = false;
    return false;
  }
  ++m_lFrameCount;
  return true;
}

}  // namespace avi
