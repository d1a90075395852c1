// The generic build: the engine instantiated with the plain scalar arithmetic.
#define TRELVIX_SCALING_BUILD_TAG generic_build
#include "scaling/Builds.h"
#include "scaling/engine/Entry.h"
#include "scaling/generic/Arith.h"

namespace scaling::generic {

// With d = lower - upper scaled by 4, the product 4 d w spans 32 bits; its high half
// (floor(4 d w / 65536)) plus the top bit of its low half is floor((4 d w + 32768) / 65536),
// which is ((d w + 8192) >> 14). Written in 16-bit halves the loop vectorises into 16-bit
// multiplies (high and low), eight or sixteen samples at a time.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
__attribute__((target_clones("avx2", "default")))
#endif
void BlendRows8u(std::uint8_t* dst, int count, std::uint16_t w, const std::uint8_t* upper,
                 const std::uint8_t* lower) {
    const std::int16_t wl = static_cast<std::int16_t>(w);
    for (int k = 0; k < count; ++k) {
        const std::int16_t d4 = static_cast<std::int16_t>((lower[k] - upper[k]) * 4);
        const std::int16_t hi = static_cast<std::int16_t>((static_cast<std::int32_t>(d4) * wl) >> 16);
        const std::uint16_t lo = static_cast<std::uint16_t>(d4 * wl);
        dst[k] = static_cast<std::uint8_t>(upper[k] + hi + (lo >> 15));
    }
}

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

}  // namespace scaling::generic
