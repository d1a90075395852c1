// The per-build resize entry: routes super-sampling reductions to the super-sampling driver and
// every other call to the general driver, for three interleaved 8-bit channels.
#pragma once

#include "scaling/engine/BuildTag.h"

#include "scaling/Resize.h"
#include "scaling/engine/General.h"
#include "scaling/engine/Super.h"

namespace scaling::engine {
inline namespace TRELVIX_SCALING_BUILD_TAG {

template <class B>
ResizeStatus ResizeEntryT(const std::uint8_t* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                          std::uint8_t* dst, int dstStep, ResizeSize dstSize, double xFactor, double yFactor,
                          int interpolation) {
    // Comparisons with a NaN are false, so a NaN factor goes to the general driver.
    if (interpolation == ResizeModeSuper && xFactor <= 1.0 && yFactor <= 1.0)
        return ResizeSuperSampleT<B>(src, srcSize, srcStep, srcRoi, dst, dstStep, dstSize, xFactor, yFactor, 3, 3,
                                     DataType8u, 0, 1);
    return ResizeGeneralT<B>(src, srcSize, srcStep, srcRoi, dst, dstStep, dstSize, xFactor, yFactor, 0.0, 0.0, 3, 3,
                             DataType8u, 0, interpolation, 1);
}

}  // namespace TRELVIX_SCALING_BUILD_TAG
}  // namespace scaling::engine
