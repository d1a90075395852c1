// IMA (DVI) ADPCM decoding, 4-bit samples.
#pragma once
#include <cstddef>
#include <cstdint>

struct AdpcmState {
  std::int32_t predictor = 0;
  std::int32_t stepIndex = 0;  // 0..88
};
// One nibble: updates the state and answers the new sample; a nibble outside 0..15 or a
// missing state answers 0 and changes nothing.
std::int16_t ImaAdpcmDecodeNibble(AdpcmState* state, int nibble);
// Decodes `size` bytes, two samples per byte (low nibble first) into out[2 * size]; the state
// advances; the answer is the state as it was before the block.
AdpcmState ImaAdpcmDecodeBlock(AdpcmState* state, const std::uint8_t* in, std::size_t size,
                               std::int16_t* out);
// The decoder state built at start-up (step index 50, predictor 0); nothing decodes with it.
extern AdpcmState g_AdpcmDecoderState;
