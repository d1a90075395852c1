#include "core/JpegPatch.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/jpeg.h"

using namespace plat;

std::size_t FindJpegEndPadding(const std::uint8_t* d, std::size_t size) {
  for (std::size_t i = 0; d != nullptr && i + 4 <= size; ++i) {
    if (d[i] == 0xFF && d[i + 1] == 0xD9 && d[i + 2] == 0xFF && d[i + 3] == 0xFF) return i + 1;
  }
  return 0;
}

bool PatchJpegFrameSize(std::uint8_t* d, std::size_t size, WORD width, WORD height) {
  if (d == nullptr) return false;
  const std::size_t limit = std::min<std::size_t>(size, 100);
  for (std::size_t i = 0; i + 1 < limit; ++i) {
    if (d[i] != 0xFF || d[i + 1] != 0xC0) continue;
    if (i + 9 > size) return false;
    d[i + 5] = static_cast<std::uint8_t>(height >> 8);
    d[i + 6] = static_cast<std::uint8_t>(height);
    d[i + 7] = static_cast<std::uint8_t>(width >> 8);
    d[i + 8] = static_cast<std::uint8_t>(width);
    return true;
  }
  return false;
}

bool DecodeJpegTopDown(const std::uint8_t* jpeg, std::size_t size, std::uint8_t* dst, int width,
                       int height) {
  if (dst == nullptr || width <= 0 || height <= 0) return false;
  int w = 0, h = 0;
  if (!JpegReadSize(jpeg, size, w, h) || w != width || h != height) return false;
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  if (!JpegDecodeBgrBottomUp(jpeg, size, dst, stride * height, w, h)) return false;
  std::vector<std::uint8_t> tmp(stride);
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::memcpy(tmp.data(), dst + top * stride, stride);
    std::memcpy(dst + top * stride, dst + bottom * stride, stride);
    std::memcpy(dst + bottom * stride, tmp.data(), stride);
  }
  return true;
}
