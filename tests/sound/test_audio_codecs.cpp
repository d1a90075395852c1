// The G.711 and IMA ADPCM decoders against known values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/G711.h"
#include "core/ImaAdpcm.h"
#include "core/MpegScan.h"
#include "sound_fixture.h"

TEST(G711, MuLawMatchesTheStandardTable) {
  const struct {
    std::uint8_t code;
    std::int16_t linear;
  } cases[] = {{0x00, -32124}, {0x01, -31100}, {0x0F, -16764}, {0x70, -120}, {0x7E, -8},
               {0x7F, 0},      {0xFF, 0},      {0xFE, 8},      {0x80, 32124}, {0x8F, 16764}};
  for (const auto& c : cases) EXPECT_EQ(MuLawToLinear(c.code), c.linear) << int(c.code);
  for (int u = 0; u < 128; ++u) EXPECT_EQ(MuLawToLinear(u), -MuLawToLinear(u | 0x80)) << u;
  EXPECT_EQ(CPesParser::Mulaw2Linear(0x80), 32124);
}

TEST(ImaAdpcm, Nibbles) {
  // Worked values: step table entry 50 is 876; nibble 4: (2*4+1)*876/8 = 985.
  const struct {
    AdpcmState before;
    int nibble;
    std::int16_t sample;
    int index;
  } table[] = {
      {{0, 0}, 7, 13, 8},
      {{13, 8}, 0xF, -17, 16},
      {{0, 0}, 0, 0, 0},
      {{100, 50}, 4, 1085, 52},
      {{100, 50}, 0xC, -885, 52},
      {{32760, 88}, 7, 32767, 88},
      {{-32760, 88}, 0xF, -32768, 88},
      {{0, 88}, 3, 28671, 87},  // (7*32767)/8 = 28671
  };
  for (const auto& c : table) {
    AdpcmState s = c.before;
    EXPECT_EQ(ImaAdpcmDecodeNibble(&s, c.nibble), c.sample) << c.before.predictor << "/" << c.nibble;
    EXPECT_EQ(s.predictor, c.sample);
    EXPECT_EQ(s.stepIndex, c.index);
  }
  AdpcmState s{5, 5};
  EXPECT_EQ(ImaAdpcmDecodeNibble(&s, 16), 0);
  EXPECT_EQ(ImaAdpcmDecodeNibble(&s, -1), 0);
  EXPECT_EQ(ImaAdpcmDecodeNibble(nullptr, 3), 0);
  EXPECT_EQ(s.predictor, 5);
  EXPECT_EQ(s.stepIndex, 5);
  EXPECT_EQ(g_AdpcmDecoderState.stepIndex, 50);
  EXPECT_EQ(g_AdpcmDecoderState.predictor, 0);
}

TEST(ImaAdpcm, BlockLowNibbleFirstAndHandsBackThePriorState) {
  AdpcmState s{0, 0};
  const std::uint8_t in[] = {0x87, 0x07};
  std::int16_t out[4] = {};
  const AdpcmState before = ImaAdpcmDecodeBlock(&s, in, 2, out);
  EXPECT_EQ(before.predictor, 0);
  EXPECT_EQ(before.stepIndex, 0);
  EXPECT_EQ(out[0], 13);  // 7
  EXPECT_EQ(out[1], 11);  // 8: step 16, 2 subtracted
  EXPECT_EQ(out[2], 37);  // 7 at index 7 (step 14): 26 added
  EXPECT_EQ(out[3], 40);  // 0 at index 15 (step 31): 3 added
  EXPECT_EQ(s.predictor, 40);
  EXPECT_EQ(s.stepIndex, 14);
}
