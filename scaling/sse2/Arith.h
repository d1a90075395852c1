// Arithmetic of the SSE2 build. It keeps what the SSE build computes where the two agree (the
// linear passes, the one-channel cubic horizontal pass, the cubic integer vertical passes, the
// six-tap horizontal passes and the float six-tap vertical pass: the same code) and differs in:
//  - the multi-channel cubic horizontal passes: one pixel per packed evaluation, its channels in
//    the lanes, with no scalar tail;
//  - the float cubic vertical pass: the four-value loop stores value + 1e-5, the tail the value;
//  - the integer six-tap vertical passes: double-precision sums, 1e-7 added, truncated;
//  - the six-tap weights: computed four lanes at a time (the same values as the SSE build);
//  - the one-channel float accumulator of whole-ratio super-sampling: it sums the values after
//    its last block of sixteen in double precision and rounds them once.
// The build is compiled twice, as scaling::sse2 and as scaling::sse3 (code tuned for the SSE3
// class): the namespace comes from TRELVIX_SSE2_NAMESPACE, and every header it borrows from lies
// in the build's own inline namespace (engine/BuildTag.h).
#pragma once

#include <emmintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "scaling/SixTapTable.h"
#include "scaling/engine/BuildTag.h"
#include "scaling/engine/Common.h"
#include "scaling/engine/Super.h"
#include "scaling/generic/Arith.h"
#include "scaling/sse/Arith.h"

#ifndef TRELVIX_SSE2_NAMESPACE
#define TRELVIX_SSE2_NAMESPACE sse2
#endif

namespace scaling::TRELVIX_SSE2_NAMESPACE {
inline namespace TRELVIX_SCALING_BUILD_TAG {

using sse::F4;
using sse::kThird;
using sse::kVectorBias;

// Coefficients of the packed cubic evaluation in the multi-channel horizontal passes and the
// vertical loops: u = t + 1, h = (t / 2) u, k = ((t - 1) K3) h.
template <class V> inline sse::CubicCoef<V> PackedCubicCoefs(V t) {
    const V one = sse::Splat<V>(1.0f);
    sse::CubicCoef<V> c;
    c.t1 = t + one;
    c.a2 = (t * sse::Splat<V>(0.5f)) * c.t1;
    c.a3 = ((t - one) * sse::Splat<V>(kThird)) * c.a2;
    return c;
}
// One value of a multi-channel horizontal pass: the coefficients above, the horizontal packed
// differences and sum.
inline float PixelCubicAt(float s0, float s1, float s2, float s3, float t) {
    return sse::CubicAt<sse::CubicPath::LoopH>(s0, s1, s2, s3, PackedCubicCoefs<float>(t));
}

// Six weights of one fraction: t = -f - 2; tap k at d = t + k; a = min(|d|, 3) 100; weight
// (T[i + 1] - T[i]) (a - i) + T[i] with i = trunc(a). The table's zero at 301 serves d = 3.
// Four lanes at a time; gives the SSE build's weights, bit for bit.
inline void SixTapWeightsPacked(const float* frac, int count, float* out) {
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 three = _mm_set1_ps(3.0f), hundred = _mm_set1_ps(100.0f), two = _mm_set1_ps(2.0f);
    const std::int64_t total = static_cast<std::int64_t>(count) * 6;
    std::int64_t done = 0;
    alignas(16) float ts[4];
    alignas(16) std::int32_t is[4];
    alignas(16) float rs[4];
    while (done < total) {
        const int lanes = total - done >= 4 ? 4 : static_cast<int>(total - done);
        for (int l = 0; l < 4; ++l) {
            const std::int64_t e = done + (l < lanes ? l : 0);
            const float f = frac[e / 6];
            ts[l] = 0.0f - f;  // -f, exact
            rs[l] = static_cast<float>(e % 6);
        }
        const __m128 t = _mm_sub_ps(_mm_load_ps(ts), two);
        const __m128 d = _mm_add_ps(t, _mm_load_ps(rs));
        const __m128 a = _mm_mul_ps(_mm_min_ps(_mm_and_ps(d, absMask), three), hundred);
        const __m128i i = _mm_cvttps_epi32(a);
        const __m128 r = _mm_sub_ps(a, _mm_cvtepi32_ps(i));
        _mm_store_si128(reinterpret_cast<__m128i*>(is), i);
        _mm_store_ps(rs, r);
        for (int l = 0; l < lanes; ++l) {
            // A NaN fraction gives min(NaN, 3) = 3: the weight is 0, as in the scalar form.
            const int k = is[l] < 0 || is[l] > 300 ? 300 : is[l];
            const float t0 = SixTapKernelTable[k], t1 = SixTapKernelTable[k + 1];
            out[done + l] = (t1 - t0) * rs[l] + t0;
        }
        done += lanes;
    }
}

struct Arith : sse::Arith {
    using Sse = sse::Arith;
    using Generic = generic::Arith;

    // ---- cubic --------------------------------------------------------------------------
    // Multi-channel horizontal passes: one packed evaluation per destination pixel, lanes 0 to
    // CH - 1 the channels. Taps at idx - nb, idx, idx + nb, idx + 2 nb; only the CH values of
    // each tap pixel are read.
    template <class T, int CH>
    static void CubicHorzPixels(const T* src, int count, int nb, const std::int32_t* idx, const float* frac,
                                float* out) {
        for (int p = 0; p < count; ++p) {
            const T* s = src + idx[p];
            const F4 t = sse::Splat<F4>(frac[p]);
            const sse::CubicCoef<F4> c = PackedCubicCoefs<F4>(t);
            auto tap = [&](int k) {
                const T* q = s + (k - 1) * nb;
                if constexpr (CH == 4)
                    return F4{static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
                              static_cast<float>(q[3])};
                else
                    return F4{static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]), 0.0f};
            };
            const F4 v = sse::CubicAt<sse::CubicPath::LoopH>(tap(0), tap(1), tap(2), tap(3), c);
            if constexpr (CH == 4) {
                _mm_storeu_ps(out + 4 * p, v);
            } else {
                out[3 * p] = v[0];
                out[3 * p + 1] = v[1];
                out[3 * p + 2] = v[2];
            }
        }
    }
    template <class T>
    static void CubicHorzC3(const T* src, int count, int stride, const std::int32_t* idx, const float* frac,
                            float* out) {
        if constexpr (std::is_same_v<T, std::uint8_t>) {
            if (stride != 4) {
                // Four pixels a round with the pixels in the lanes (each lane the same steps as
                // a pixel's channel lane below), the last ones a pixel at a time.
                const int q = Sse::CubicHorzC3Bytes4(src, count, idx, frac, out,
                                                     [](F4 t) { return PackedCubicCoefs<F4>(t); });
                CubicHorzC3Packed8u(src, count - q, idx + q, frac + q, out + 3 * q);
                return;
            }
        }
        CubicHorzPixels<T, 3>(src, count, stride, idx, frac, out);
    }
    // Three-byte pixels: the twelve bytes of the four tap pixels (idx - 3 to idx + 8) in one
    // 8-byte and one 4-byte load, widened; each tap's three channels in lanes 0 to 2 (lane 3
    // holds the next byte, or 0 for the right-most tap, and is dropped). Nothing past the
    // right-most tap pixel is read.
    static void CubicHorzC3Packed8u(const std::uint8_t* src, int count, const std::int32_t* idx, const float* frac,
                                    float* out) {
        const __m128i zero = _mm_setzero_si128();
        for (int p = 0; p < count; ++p) {
            const std::uint8_t* s = src + idx[p] - 3;
            std::int64_t lo8;
            std::int32_t hi4;
            std::memcpy(&lo8, s, 8);
            std::memcpy(&hi4, s + 8, 4);
            const __m128i bytes = _mm_unpacklo_epi64(_mm_cvtsi64_si128(lo8), _mm_cvtsi32_si128(hi4));
            const __m128i w0 = _mm_unpacklo_epi8(bytes, zero);  // samples 0 to 7
            const __m128i w1 = _mm_unpackhi_epi8(bytes, zero);  // samples 8 to 11, then zeros
            auto f = [&](__m128i v16) { return F4(_mm_cvtepi32_ps(_mm_unpacklo_epi16(v16, zero))); };
            const F4 t0 = f(w0);
            const F4 t1 = f(_mm_srli_si128(w0, 6));
            const F4 t2 = f(_mm_or_si128(_mm_srli_si128(w0, 12), _mm_slli_si128(w1, 4)));
            const F4 t3 = f(_mm_srli_si128(w1, 2));
            const sse::CubicCoef<F4> c = PackedCubicCoefs<F4>(sse::Splat<F4>(frac[p]));
            const __m128 v = sse::CubicAt<sse::CubicPath::LoopH>(t0, t1, t2, t3, c);
            float* o = out + 3 * static_cast<std::ptrdiff_t>(p);
            _mm_storel_pi(reinterpret_cast<__m64*>(o), v);
            _mm_store_ss(o + 2, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2)));
        }
    }
    template <class T>
    static void CubicHorzC4(const T* src, int count, const std::int32_t* idx, const float* frac, float* out) {
        CubicHorzPixels<T, 4>(src, count, 4, idx, frac, out);
    }
    // Vertical: floats take value + 1e-5 from the four-value loop and the value from the tail;
    // integer samples convert as in the SSE build.
    template <class T>
    static void CubicVert(T* dst, int count, float t, const float* r0, const float* r1, const float* r2,
                          const float* r3) {
        if constexpr (std::is_same_v<T, float>) {
            const int q = count - count % 4;
            if (q > 0) {
                const sse::CubicCoef<F4> c = PackedCubicCoefs<F4>(sse::Splat<F4>(t));
                const __m128 bias = _mm_set1_ps(kVectorBias);
                for (int j = 0; j < q; j += 4)
                    _mm_storeu_ps(dst + j,
                                  _mm_add_ps(sse::CubicAt<sse::CubicPath::LoopV>(
                                                 F4(_mm_loadu_ps(r0 + j)), F4(_mm_loadu_ps(r1 + j)),
                                                 F4(_mm_loadu_ps(r2 + j)), F4(_mm_loadu_ps(r3 + j)), c),
                                             bias));
            }
            const sse::CubicCoef<float> c = sse::CubicCoefsOf<sse::CubicPath::ScalarV>(t);
            for (int j = q; j < count; ++j) dst[j] = sse::CubicAt<sse::CubicPath::ScalarV>(r0[j], r1[j], r2[j], r3[j], c);
        } else if constexpr (std::is_same_v<T, std::uint8_t>) {
            // Bytes: the loop's four conversions saturate to 0..255 by packing, stored at once.
            const int q = count - count % 4;
            if (q > 0) {
                const sse::CubicCoef<F4> c = PackedCubicCoefs<F4>(sse::Splat<F4>(t));
                const __m128 bias = _mm_set1_ps(kVectorBias);
                for (int j = 0; j < q; j += 4) {
                    const __m128 v = sse::CubicAt<sse::CubicPath::LoopV>(F4(_mm_loadu_ps(r0 + j)), F4(_mm_loadu_ps(r1 + j)),
                                                                        F4(_mm_loadu_ps(r2 + j)), F4(_mm_loadu_ps(r3 + j)), c);
                    const __m128i i32 = _mm_cvtps_epi32(_mm_add_ps(v, bias));
                    const __m128i i16 = _mm_packs_epi32(i32, i32);
                    const std::int32_t b4 = _mm_cvtsi128_si32(_mm_packus_epi16(i16, i16));
                    std::memcpy(dst + j, &b4, 4);
                }
            }
            const sse::CubicCoef<float> c = sse::CubicCoefsOf<sse::CubicPath::ScalarV>(t);
            for (int j = q; j < count; ++j)
                dst[j] = sse::ScalarConvert<T>(sse::CubicAt<sse::CubicPath::ScalarV>(r0[j], r1[j], r2[j], r3[j], c));
        } else {
            Sse::CubicVert<T>(dst, count, t, r0, r1, r2, r3);
        }
    }

    // ---- six-tap ------------------------------------------------------------------------
    static void ComputeSixTapWeights(const float* frac, int count, float* out) { SixTapWeightsPacked(frac, count, out); }
    // Integer samples: the six products in double precision, summed in tap order, 1e-7 added,
    // truncated and clamped. Floats: the SSE build's single-precision sums.
    // The integer sums run two at a time in packed double precision: every lane takes the scalar
    // steps in the same order (exact products, sums in tap order, 1e-7 added); the clamp to the
    // sample range before the truncating conversion gives the scalar code's 0 for sums at or
    // below 0 (and for a NaN) and its maximum for sums at or above it.
    template <class T>
    static void SixTapVert(T* dst, int count, const float* w, const float* const* r) {
        if constexpr (std::is_same_v<T, float>) {
            Sse::SixTapVert<T>(dst, count, w, r);
        } else {
            constexpr double kMax = std::is_same_v<T, std::uint8_t> ? 255.0 : 65535.0;
            __m128d wd[6];
            for (int j = 0; j < 6; ++j) wd[j] = _mm_set1_pd(static_cast<double>(w[j]));
            const __m128d eps = _mm_set1_pd(engine::kEps), lo = _mm_setzero_pd(), hi = _mm_set1_pd(kMax);
            auto two = [&](int k) {
                auto term = [&](int j) {
                    return _mm_mul_pd(_mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r[j] + k)))),
                                      wd[j]);
                };
                __m128d sum = _mm_add_pd(term(0), term(1));
                for (int j = 2; j < 6; ++j) sum = _mm_add_pd(sum, term(j));
                return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(_mm_add_pd(sum, eps), lo), hi));
            };
            int k = 0;
            for (; k + 4 <= count; k += 4) {
                alignas(16) std::int32_t v[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(v), _mm_unpacklo_epi64(two(k), two(k + 2)));
                for (int l = 0; l < 4; ++l) dst[k + l] = static_cast<T>(v[l]);
            }
            if (k < count) Generic::SixTapVert<T>(dst + k, count - k, w, OffsetRows(r, k).data());
        }
    }
    struct Rows6 {
        const float* p[6];
        const float* const* data() const { return p; }
    };
    static Rows6 OffsetRows(const float* const* r, int k) {
        Rows6 o;
        for (int j = 0; j < 6; ++j) o.p[j] = r[j] + k;
        return o;
    }
    template <class T>
    static void SixTapVertC3of4(T* dst, int count, const float* w, const float* const* r) {
        if constexpr (std::is_same_v<T, float>) Sse::SixTapVertC3of4<T>(dst, count, w, r);
        else Generic::SixTapVertC3of4<T>(dst, count, w, r);
    }

    // ---- super-sampling accumulators ----------------------------------------------------
    // Adds `rows` source rows of `n` pixels (V values apart) into `acc`, all V values of each
    // pixel (a value past the C used ones lands in an accumulator nobody reads). Integer samples
    // sum into wrapping 32-bit integers, floats into floats rounded after every row, except in
    // the one-channel float accumulator of whole ratios (`fcase` 0): there the values after the
    // last block of sixteen sum in double precision from the accumulator's value and are rounded
    // once.
    template <class T, class Acc>
    static void SuperAccum(const std::uint8_t* src, std::ptrdiff_t srcStep, int n, int rows, Acc* acc, int V, int C,
                           int fcase) {
        (void)C;
        const std::int64_t m = static_cast<std::int64_t>(n) * V;
        if (m <= 0 || rows <= 0) return;
        if constexpr (std::is_same_v<Acc, std::uint32_t>) {
            for (int r = 0; r < rows; ++r) Sse::AddRowInt<T>(src + r * srcStep, m, acc);
        } else if constexpr (std::is_same_v<T, float>) {
            const std::int64_t bulk = V == 1 && fcase == engine::SuperCaseWholeXY ? m - m % 16 : m;
            for (int r = 0; r < rows; ++r) Sse::AddRowFloat<T>(src + r * srcStep, bulk, acc);
            for (std::int64_t k = bulk; k < m; ++k) {
                double s = acc[k];
                for (int r = 0; r < rows; ++r) s += static_cast<double>(engine::LoadSample<float>(src + r * srcStep + k * 4));
                acc[k] = static_cast<float>(s);
            }
        } else {
            for (int r = 0; r < rows; ++r) Sse::AddRowFloat<T>(src + r * srcStep, m, acc);
        }
    }

};

}  // namespace TRELVIX_SCALING_BUILD_TAG
}  // namespace scaling::TRELVIX_SSE2_NAMESPACE
