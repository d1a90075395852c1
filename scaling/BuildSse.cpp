// The SSE build: the engine instantiated with the single-precision arithmetic of scaling/sse/.
#if defined(__x86_64__)
#define TRELVIX_SCALING_BUILD_TAG sse_build
#include "scaling/Builds.h"
#include "scaling/engine/Entry.h"
#include "scaling/sse/Arith.h"

namespace scaling::sse {

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

}  // namespace scaling::sse
#endif
