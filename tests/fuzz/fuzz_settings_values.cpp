// The text converters that settings, login replies and discovery answers pass through:
// every output buffer is surrounded by guard bytes that must survive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/Model.h"

namespace {

constexpr std::uint8_t kGuard = 0xA5;

template <std::size_t N>
struct Guarded {
  std::uint8_t before[16];
  std::uint8_t data[N];
  std::uint8_t after[16];
  Guarded() {
    std::memset(before, kGuard, sizeof before);
    std::memset(data, 0, sizeof data);
    std::memset(after, kGuard, sizeof after);
  }
  void Check() const {
    for (std::uint8_t b : before) {
      if (b != kGuard) std::abort();
    }
    for (std::uint8_t b : after) {
      if (b != kGuard) std::abort();
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks a separator and an output size; the rest is the text.
  const char separator = static_cast<char>(data[0]);
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  {
    Guarded<6> mac;
    if (MacTextToBytes(text, mac.data) == 1 && text.size() != 12) std::abort();
    mac.Check();
  }
  {
    Guarded<6> hex;
    std::size_t n = 99;
    const std::size_t cap = data[0] % 7;  // 0..6
    if (HexTextToBytes(text, hex.data, cap, separator, &n) == 1 && n > cap) std::abort();
    hex.Check();
  }
  {
    Guarded<4> ip;
    const std::size_t count = data[0] % 5;  // 0..4
    SplitToInts(text, ip.data, count, std::string_view(&separator, 1));
    ip.Check();
  }
  {
    std::string digits(text);
    const std::string before = digits;
    if (FilterDigits(digits, 1) == 1) {
      for (char c : digits) {
        if (c < '0' || c > '9') std::abort();
      }
    } else if (digits != before) {
      std::abort();
    }
  }
  {
    const std::size_t half = text.size() / 2;
    const int r = CompareVersionString(text.substr(0, half), text.substr(half));
    if (r < -1 || r > 2) std::abort();
    const int back = CompareVersionString(text.substr(half), text.substr(0, half));
    // Swapping the arguments swaps 1 and 2 and keeps 0 and -1.
    if ((r == 1 && back != 2) || (r == 2 && back != 1) || (r <= 0 && back != r)) std::abort();
  }
  (void)FormatTwoDigits(static_cast<int>(size) - 1000);
  (void)IsJpegWithDqt(data, size);
  return 0;
}
