// Line doublers and the comb filter for interlaced pictures.
#pragma once
#include <cstdint>

// Field to frame for 24-bit pictures: dst has 2 x rows rows of width x 3 bytes. Even rows
// copy source row i/2; odd rows take the six-tap weights 0.08, -0.22, 0.64, 0.64, -0.22,
// 0.08 over source rows i/2 - 2 .. i/2 + 3, clamped to 0..255; the first two odd rows and
// those whose source row is among the last three average their two neighbouring rows.
void FieldToFrame24(const std::uint8_t* src, int width, int rows, std::uint8_t* dst);
// The same in integer arithmetic (weights 64, 8 and 22, divided by 100, saturating).
void FieldToFrame24Int(const std::uint8_t* src, int width, int rows, std::uint8_t* dst);
// Comb filter for pictures of 2 bytes per pixel: a pixel of a line between two others whose
// halved low bytes a (above), b (itself), c (below) give (a-b)(c-b) - 625((a-c)^2 >> 12) > 73
// becomes the average of the lines above and below. src and dst do not overlap.
void CombFilter16(const std::uint8_t* src, int width, int rows, std::uint8_t* dst);
