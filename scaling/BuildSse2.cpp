// The SSE2 build: the engine instantiated with the arithmetic of scaling/sse2/. BuildSse3.cpp
// compiles this file once more, as scaling::sse3 with code generation for the SSE3 class; both
// use SSE2 instructions only, so they give the same results bit for bit.
#if defined(__x86_64__)
#ifndef TRELVIX_SSE2_NAMESPACE
#define TRELVIX_SSE2_NAMESPACE sse2
#define TRELVIX_SCALING_BUILD_TAG sse2_build
#endif
#include "scaling/Builds.h"
#include "scaling/engine/Entry.h"
#include "scaling/sse2/Arith.h"

namespace scaling::TRELVIX_SSE2_NAMESPACE {

ResizeStatus ResizeEntry(const std::uint8_t* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi,
                         std::uint8_t* dst, int dstStep, ResizeSize dstSize, double xFactor, double yFactor,
                         int interpolation) {
    return engine::ResizeEntryT<Arith>(src, srcSize, srcStep, srcRoi, dst, dstStep, dstSize, xFactor, yFactor,
                                       interpolation);
}

ResizeStatus ResizeGeneral(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi, void* dst,
                           int dstStep, ResizeSize dstSize, double xFactor, double yFactor, double xShift,
                           double yShift, int pixelStride, int channels, int dataType, int planar, int interpolation,
                           int factorConvention) {
    return engine::ResizeGeneralT<Arith>(src, srcSize, srcStep, srcRoi, dst, dstStep, dstSize, xFactor, yFactor,
                                         xShift, yShift, pixelStride, channels, dataType, planar, interpolation,
                                         factorConvention);
}

ResizeStatus ResizeSuperSample(const void* src, ResizeSize srcSize, int srcStep, ResizeRect srcRoi, void* dst,
                               int dstStep, ResizeSize dstSize, double xFactor, double yFactor, int pixelStride,
                               int channels, int dataType, int planar, int factorConvention) {
    return engine::ResizeSuperSampleT<Arith>(src, srcSize, srcStep, srcRoi, dst, dstStep, dstSize, xFactor, yFactor,
                                             pixelStride, channels, dataType, planar, factorConvention);
}

void ComputeSixTapWeights(const float* frac, int count, float* out) { Arith::ComputeSixTapWeights(frac, count, out); }

}  // namespace scaling::TRELVIX_SSE2_NAMESPACE
#endif
