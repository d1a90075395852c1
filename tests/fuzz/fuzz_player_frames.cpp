// Frames from the player: any bytes. Decoding consumes exactly what it reports, never more
// than arrived, and a frame encoded again decodes to the same frame.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "session/PlayerLink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> copy(data, data + size);
  std::size_t pos = 0;
  for (;;) {
    player::Frame f;
    std::size_t used = 0;
    const int rc = player::DecodeFrame(copy.data() + pos, copy.size() - pos, f, used);
    if (rc != 1) break;
    if (used == 0 || used > copy.size() - pos || f.data.size() > player::kMaxFrameData) __builtin_trap();
    const std::string again = player::EncodeFrame(f);
    if (again.size() != used) __builtin_trap();
    player::Frame g;
    std::size_t used2 = 0;
    if (player::DecodeFrame(reinterpret_cast<const std::uint8_t*>(again.data()), again.size(), g, used2) != 1 ||
        g.data != f.data || g.lParam != f.lParam || g.message != f.message)
      __builtin_trap();
    pos += used;
  }
  return 0;
}
