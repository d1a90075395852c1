#pragma once

namespace scaling {

constexpr int kSixTapTableSize = 301;
// Three-lobe window sampled at hundredths of a pixel, 0 to 3 inclusive.
extern const float SixTapKernelTable[kSixTapTableSize];

}  // namespace scaling
