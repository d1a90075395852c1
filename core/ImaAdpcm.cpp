#include "core/ImaAdpcm.h"

#include <algorithm>

namespace {

constexpr int kImaIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
constexpr int kImaStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

}  // namespace

AdpcmState g_AdpcmDecoderState{0, 50};

std::int16_t ImaAdpcmDecodeNibble(AdpcmState* s, int nibble) {
  if (s == nullptr || nibble < 0 || nibble > 15) return 0;
  const int index = std::clamp<int>(s->stepIndex, 0, 88);
  const int step = kImaStepTable[index];
  const int diff = ((2 * (nibble & 7) + 1) * step) / 8;
  int pred = s->predictor + ((nibble & 8) ? -diff : diff);
  pred = std::clamp(pred, -32768, 32767);
  s->predictor = pred;
  s->stepIndex = std::clamp(index + kImaIndexTable[nibble], 0, 88);
  return static_cast<std::int16_t>(pred);
}

AdpcmState ImaAdpcmDecodeBlock(AdpcmState* s, const std::uint8_t* in, std::size_t size,
                               std::int16_t* out) {
  if (s == nullptr) return AdpcmState{};
  const AdpcmState before = *s;
  for (std::size_t i = 0; i < size; ++i) {
    out[2 * i] = ImaAdpcmDecodeNibble(s, in[i] & 0x0F);
    out[2 * i + 1] = ImaAdpcmDecodeNibble(s, in[i] >> 4);
  }
  return before;
}
