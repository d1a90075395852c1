// JPEG through TurboJPEG. Each thread keeps its own decompressor and compressor (a handle
// must not be shared between threads, and making one per picture costs on a live stream).
#include "platform/jpeg.h"

#include <turbojpeg.h>

#include <climits>
#include <memory>

namespace plat {
namespace {

struct TjDeleter {
  void operator()(void* h) const {
    if (h) tjDestroy(h);
  }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

thread_local TjHandle t_decompressor;
thread_local TjHandle t_compressor;

tjhandle Decompressor() {
  if (!t_decompressor) t_decompressor.reset(tjInitDecompress());
  return t_decompressor.get();
}

tjhandle Compressor() {
  if (!t_compressor) t_compressor.reset(tjInitCompress());
  return t_compressor.get();
}

// A handle that failed on bad data can be left mid-stream and refuse the next picture:
// drop it, the next call makes a fresh one.
void DropDecompressor() { t_decompressor.reset(); }
void DropCompressor() { t_compressor.reset(); }

// TurboJPEG takes unsigned long sizes and int dimensions.
bool SizeFits(std::size_t size) { return size > 0 && size <= ULONG_MAX; }

// A decode that ran to the end but met damaged data (a warning) still gives a whole
// picture of the right size; only real errors fail.
bool Succeeded(tjhandle h, int rc) { return rc == 0 || tjGetErrorCode(h) == TJERR_WARNING; }

}  // namespace

bool JpegReadSize(const std::uint8_t* jpeg, std::size_t size, int& width, int& height) {
  if (!jpeg || !SizeFits(size)) return false;
  tjhandle h = Decompressor();
  if (!h) return false;
  int w = 0, hgt = 0, subsamp = 0, colorspace = 0;
  if (tjDecompressHeader3(h, jpeg, static_cast<unsigned long>(size), &w, &hgt, &subsamp, &colorspace) != 0) {
    DropDecompressor();
    return false;
  }
  if (w <= 0 || hgt <= 0) return false;
  width = w;
  height = hgt;
  return true;
}

bool JpegDecodeBgrBottomUp(const std::uint8_t* jpeg, std::size_t size, std::uint8_t* dst,
                           std::size_t capacity, int& width, int& height, int pitch) {
  int w = 0, h = 0;
  if (!dst || pitch < 0 || !JpegReadSize(jpeg, size, w, h)) return false;
  const std::uint64_t row = static_cast<std::uint64_t>(w) * 3;
  const std::uint64_t stride = pitch == 0 ? row : static_cast<std::uint64_t>(pitch);
  if (stride < row || stride > INT_MAX) return false;
  // The last row needs only its pixels, not a whole stride.
  const std::uint64_t needed = stride * static_cast<std::uint64_t>(h - 1) + row;
  if (needed > capacity) return false;
  tjhandle t = Decompressor();
  if (!t) return false;
  int rc = tjDecompress2(t, jpeg, static_cast<unsigned long>(size), dst, w, static_cast<int>(stride), h,
                         TJPF_BGR, TJFLAG_BOTTOMUP);
  if (rc != 0) {
    bool ok = Succeeded(t, rc);
    DropDecompressor();
    if (!ok) return false;
  }
  width = w;
  height = h;
  return true;
}

bool JpegEncodeBgrBottomUp(const std::uint8_t* src, int width, int height, int pitch, int quality,
                           std::vector<std::uint8_t>& out) {
  if (!src || width <= 0 || height <= 0 || pitch < 0) return false;
  const std::uint64_t row = static_cast<std::uint64_t>(width) * 3;
  const std::uint64_t stride = pitch == 0 ? row : static_cast<std::uint64_t>(pitch);
  if (stride < row || stride > INT_MAX) return false;
  if (quality < 1) quality = 1;
  if (quality > 100) quality = 100;
  tjhandle t = Compressor();
  if (!t) return false;
  unsigned char* buf = nullptr;
  unsigned long bufSize = 0;
  int rc = tjCompress2(t, src, width, static_cast<int>(stride), height, TJPF_BGR, &buf, &bufSize,
                       TJSAMP_420, quality, TJFLAG_BOTTOMUP);
  if (rc != 0 || !buf) {
    DropCompressor();
    if (buf) tjFree(buf);
    return false;
  }
  out.assign(buf, buf + bufSize);
  tjFree(buf);
  return true;
}

}  // namespace plat
