// The builds of the resize primitive. Each build is the one engine (scaling/engine/) instantiated
// with that build's arithmetic, in a namespace of its own: the generic build everywhere; on
// x86-64 the SSE build (single-precision passes), the SSE2 build and the SSE3-class build (the
// SSE2 build's sources compiled a second time, same results bit for bit).
#pragma once

#include <cstdint>

#include "scaling/Resize.h"

namespace scaling::generic {

ResizeStatus ResizeEntry(const std::uint8_t* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                         std::uint8_t* dst, int dstStep, ResizeSize dstSize, double xFactor, double yFactor,
                         int interpolation);

// General driver: nearest, linear, cubic and six-tap. dataType 0 = 8u, 1 = 16u, 2 = 32f. With
// planar != 0, src and dst are arrays of plane pointers (1, 3 or 4 planes for channel counts
// 1, 3 and 4). factorConvention 1: factors are destination over source size; 0: source pixels
// per destination pixel.
ResizeStatus ResizeGeneral(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi, void* dst,
                           int dstStep, ResizeSize dstSize, double xFactor, double yFactor, double xShift,
                           double yShift, int pixelStride, int channels, int dataType, int planar, int interpolation,
                           int factorConvention);

// Super-sampling driver: area-averaging reductions (factors at most 1.0 in convention 1).
ResizeStatus ResizeSuperSample(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi, void* dst,
                               int dstStep, ResizeSize dstSize, double xFactor, double yFactor, int pixelStride,
                               int channels, int dataType, int planar, int factorConvention);

}  // namespace scaling::generic

#if defined(__x86_64__)
#define TRELVIX_SCALING_HAS_SSE 1
namespace scaling::sse {

// The SSE build's entry and drivers: the same arguments, checks and statuses as the generic
// build's; the filter passes compute in single precision.
ResizeStatus ResizeEntry(const std::uint8_t* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                         std::uint8_t* dst, int dstStep, ResizeSize dstSize, double xFactor, double yFactor,
                         int interpolation);
ResizeStatus ResizeGeneral(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi, void* dst,
                           int dstStep, ResizeSize dstSize, double xFactor, double yFactor, double xShift,
                           double yShift, int pixelStride, int channels, int dataType, int planar, int interpolation,
                           int factorConvention);
ResizeStatus ResizeSuperSample(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi, void* dst,
                               int dstStep, ResizeSize dstSize, double xFactor, double yFactor, int pixelStride,
                               int channels, int dataType, int planar, int factorConvention);

}  // namespace scaling::sse

// The SSE2 build and its second compilation for SSE3-class processors: the same arguments,
// checks and statuses; ComputeSixTapWeights writes six weights per fraction.
#define TRELVIX_SCALING_DECLARE_SSE2_BUILD(ns)                                                                        \
    namespace scaling::ns {                                                                                           \
    ResizeStatus ResizeEntry(const std::uint8_t* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,            \
                             std::uint8_t* dst, int dstStep, ResizeSize dstSize, double xFactor, double yFactor,     \
                             int interpolation);                                                                      \
    ResizeStatus ResizeGeneral(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi, void* dst,       \
                               int dstStep, ResizeSize dstSize, double xFactor, double yFactor, double xShift,       \
                               double yShift, int pixelStride, int channels, int dataType, int planar,               \
                               int interpolation, int factorConvention);                                              \
    ResizeStatus ResizeSuperSample(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi, void* dst,   \
                                   int dstStep, ResizeSize dstSize, double xFactor, double yFactor, int pixelStride, \
                                   int channels, int dataType, int planar, int factorConvention);                    \
    void ComputeSixTapWeights(const float* frac, int count, float* out);                                             \
    }
TRELVIX_SCALING_DECLARE_SSE2_BUILD(sse2)
TRELVIX_SCALING_DECLARE_SSE2_BUILD(sse3)
#undef TRELVIX_SCALING_DECLARE_SSE2_BUILD
#endif
