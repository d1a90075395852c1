#pragma once

namespace scaling {

constexpr int kSixTapTableSize = 302;
// Three-lobe window sampled at hundredths of a pixel, 0 to 3 inclusive, and one zero past it: a
// weight computed at a distance of exactly 3 reads entries 300 and 301.
extern const float SixTapKernelTable[kSixTapTableSize];

}  // namespace scaling
