// ITU-T G.711 audio samples.
#pragma once
#include <cstdint>

// ITU-T G.711 mu-law to 16-bit linear (bias 132).
std::int16_t MuLawToLinear(std::uint8_t sample);
