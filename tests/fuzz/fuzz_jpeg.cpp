// Fuzzes the picture decoder with what a recorder could send: any bytes must be refused or
// decoded into the fixed picture buffer without writing past it. The JPEG library itself is
// not instrumented, so a guard zone behind the buffer catches its overruns.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/jpeg.h"

namespace {
constexpr std::size_t kCapacity = 720 * 576 * 3;  // the live view's picture buffer
constexpr std::size_t kGuard = 4096;
constexpr std::uint8_t kGuardByte = 0xA5;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<std::uint8_t>* buffer = new std::vector<std::uint8_t>(kCapacity + kGuard);
  std::fill(buffer->begin() + kCapacity, buffer->end(), kGuardByte);
  int w = 0, h = 0;
  bool sized = plat::JpegReadSize(data, size, w, h);
  bool decoded = plat::JpegDecodeBgrBottomUp(data, size, buffer->data(), kCapacity, w, h);
  if (decoded && (!sized || static_cast<std::size_t>(w) * h * 3 > kCapacity)) __builtin_trap();
  if (std::any_of(buffer->begin() + kCapacity, buffer->end(), [](std::uint8_t b) { return b != kGuardByte; }))
    __builtin_trap();
  return 0;
}
