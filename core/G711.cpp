#include "core/G711.h"

std::int16_t MuLawToLinear(std::uint8_t sample) {
  const int u = ~sample & 0xFF;
  const int t = (((u & 0x0F) << 3) + 132) << ((u & 0x70) >> 4);
  return static_cast<std::int16_t>((u & 0x80) ? (132 - t) : (t - 132));
}
