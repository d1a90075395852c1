// Two small writers that turn a series of still frames into an AVI 1.0 movie file (RIFF
// "AVI " with one video stream and an index), and the packing of a picture into a
// device-independent bitmap. Nothing in the client creates them; they stand beside the
// recorders.
//
// - CAviMovieWriter: pictures or raw pixel buffers at one frame per second; each sample holds
//   the full frame.
// - CAviClipWriter: pictures at a frame rate the caller gives, all of the first frame's size;
//   the first frame asks for the storage (full frames or Motion JPEG) through an options
//   callback.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace avi {

constexpr std::int32_t S_OK_ = 0;
constexpr std::int32_t E_FAIL_ = static_cast<std::int32_t>(0x80004005u);
constexpr std::size_t kMaxPath = 259;

// A picture: bottom-up rows of `bitsPerPixel` (24 or 32) padded to 4 bytes, as a
// device-independent bitmap stores them.
struct Bitmap {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 24;
  std::vector<std::uint8_t> pixels;
  static std::size_t RowSize(int width, int bits) {
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32) * 4;
  }
};

// A packed device-independent bitmap: 40-byte header, colour table, pixels.
struct PackedDib {
  std::vector<std::uint8_t> bytes;
  std::uint32_t headerAndColours = 0;  // offset of the pixels
  std::uint32_t imageSize = 0;
  int width = 0, height = 0;
};
// Packs `bitmap` at `bits` per pixel (8 gives a grey colour table of 256 entries). false when
// the source is not 24 or 32 bits or the sizes are not positive.
bool BitmapToDib(const Bitmap& bitmap, int bits, PackedDib& out);

// One AVI file being written; closed (sizes and index written) by Close or the destructor.
class RiffAviFile {
 public:
  ~RiffAviFile();
  // fourcc of the stream handler ("DIB " or "MJPG"), rate/scale, frame size, the format
  // block (strf). false when the file cannot be created.
  bool Create(const std::string& path, const char handler[4], std::uint32_t rate, std::uint32_t scale, int width,
              int height, std::uint32_t suggestedBuffer, const std::vector<std::uint8_t>& format, bool compressed);
  // Writes sample `position` (earlier missing positions become empty samples). false on a
  // write error.
  bool WriteSample(std::int32_t position, const std::uint8_t* data, std::size_t length, bool keyFrame);
  bool Close();
  bool IsOpen() const { return file_ != nullptr; }

 private:
  bool Put(const void* data, std::size_t length);
  std::FILE* file_ = nullptr;
  std::int32_t next_ = 0;
  std::uint32_t moviStart_ = 0;  // offset of the "movi" list's type word
  std::uint32_t maxSample_ = 0;
  bool compressed_ = false;
  bool failed_ = false;
  struct IndexEntry {
    std::uint32_t flags, offset, size;
  };
  std::vector<IndexEntry> index_;
};

class CAviMovieWriter {
 public:
  explicit CAviMovieWriter(const std::string& path);
  ~CAviMovieWriter();
  CAviMovieWriter(const CAviMovieWriter&) = delete;
  CAviMovieWriter& operator=(const CAviMovieWriter&) = delete;

  std::int32_t AddBitmapFrame(const Bitmap& bitmap);
  std::int32_t AddPixelFrame(int width, int height, const std::uint8_t* pixels, int bitsPerPixel);
  void ReleaseAll();
  int State() const { return m_nState; }
  std::int32_t FrameIndex() const { return m_lFrameIndex; }

 private:
  std::int32_t Open(int width, int height, int bits, std::uint32_t imageSize);
  std::int32_t Write(const std::uint8_t* data, std::size_t length, int width, int height, int bits);
  std::int32_t m_lFrameIndex = 0;
  std::string m_szFileName;
  int m_nState = 1;  // 0 closed or failed, 1 waiting for the first frame, 2 open
  RiffAviFile m_file;
  int m_nWidth = 0, m_nHeight = 0, m_nBits = 0;
};

// The storage the options callback chooses for a clip.
enum class ClipCodec { Cancel, FullFrames, MotionJpeg };
using ClipOptions = std::function<ClipCodec()>;

class CAviClipWriter {
 public:
  // width/height negative: the first frame sets them.
  CAviClipWriter(const std::string& path, int width, int height, ClipOptions options = {});
  virtual ~CAviClipWriter();
  CAviClipWriter(const CAviClipWriter&) = delete;
  CAviClipWriter& operator=(const CAviClipWriter&) = delete;

  virtual bool AddFrame(const Bitmap& bitmap, float framesPerSecond);
  virtual bool IsOk() const { return m_bOk; }
  std::int32_t FrameCount() const { return m_lFrameCount; }

 private:
  std::string m_strFileName;
  int m_nWidth, m_nHeight;
  ClipOptions m_options;
  ClipCodec m_codec = ClipCodec::FullFrames;
  std::int32_t m_lFrameCount = 0;
  bool m_bOk = true;
  RiffAviFile m_file;
};

// The rate of a clip: frames per second x 100 truncated, or 1 for exactly 0.
std::uint32_t ClipRate(float framesPerSecond);

}  // namespace avi
