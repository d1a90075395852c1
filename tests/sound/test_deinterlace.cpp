// The line doublers and the comb filter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/Deinterlace.h"
#include "sound_fixture.h"

TEST(Deinterlace, FieldToFrameLineDoublers) {
  const int width = 2, rows = 8;
  Bytes src(width * 3 * rows);
  for (int r = 0; r < rows; ++r) std::fill_n(src.begin() + r * width * 3, width * 3, 10 * r);
  for (auto* fn : {&FieldToFrame24, &FieldToFrame24Int}) {
    Bytes dst(src.size() * 2, 0xEE);
    fn(src.data(), width, rows, dst.data());
    auto at = [&](int row) { return dst[row * width * 3]; };
    for (int k = 0; k < rows; ++k) EXPECT_EQ(at(2 * k), 10 * k);
    EXPECT_EQ(at(1), 5);   // near the top: the average
    EXPECT_EQ(at(3), 15);
    EXPECT_EQ(at(5), 25);  // six taps on a ramp give the midpoint
    EXPECT_EQ(at(9), 45);
    EXPECT_EQ(at(11), 55);  // source row 5 is among the last three: the average
    EXPECT_EQ(at(15), 70);  // the last row averages with itself
  }
  // The taps' negative lobes clamp at 0 and 255.
  Bytes spike(3 * rows, 0);
  std::fill_n(spike.begin() + 3 * 3, 3, 255);  // row 3 bright
  Bytes dst(spike.size() * 2);
  FieldToFrame24(spike.data(), 1, rows, dst.data());
  EXPECT_EQ(dst[3 * 9], 0);  // row 9 (k=4): -0.22*255 clamps to 0
  EXPECT_EQ(dst[3 * 5], 163);  // row 5 (k=2): 0.64*255 = 163.2
}

TEST(Deinterlace, CombFilterReplacesOnlyCombedPixels) {
  // Two pixels, three lines: pixel 0 is a comb (bright, dark, bright), pixel 1 a smooth ramp.
  const Bytes src{200, 7, 0, 1,   //
                  0, 9, 50, 2,    //
                  200, 11, 100, 3};
  Bytes dst(src.size());
  CombFilter16(src.data(), 2, 3, dst.data());
  EXPECT_EQ(dst[4], 200);
  EXPECT_EQ(dst[5], 9);  // (7 + 11) / 2
  EXPECT_EQ(dst[6], 50);
  EXPECT_EQ(dst[7], 2);
  EXPECT_EQ(dst[0], 200);  // first and last lines untouched
}
