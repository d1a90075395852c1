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

#include "scaling/engine/BuildEntries.inc"

}  // namespace scaling::generic
