// The colour reply: any text gives three values within 0..255.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "session/OperatorCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ColorValues v = ParseColorReply(std::string_view(reinterpret_cast<const char*>(data), size));
  for (int x : {v.contrast, v.brightness, v.hue}) {
    if (x < 0 || x > 255) __builtin_trap();
  }
  return 0;
}
