// Arithmetic of the SSE build. The fixed-point linear passes give the generic build's values and
// are taken from it; the super-sampling sums are the generic build's too, made with packed
// integer and float additions; the float linear passes, the cubic and six-tap passes and the
// six-tap weights compute in single precision, in the operation order written here, which
// decides the last bit of every value.
//
// The cubic passes hand the largest multiple of four of their values to a four-value loop
// (packed single precision) and finish the last one to three values in scalar code; the loop
// and the scalar code differ in operation order and, for integer samples, in the final
// conversion (the loop rounds to nearest after a small bias, the scalar code truncates). The
// formulas below are templates over the lane type, so the packed loop and a one-lane reference
// compute the same operations in the same order.
#pragma once

#include "scaling/engine/BuildTag.h"

#include <xmmintrin.h>
#include <emmintrin.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "scaling/SixTapTable.h"
#include "scaling/engine/Common.h"
#include "scaling/generic/Arith.h"

namespace scaling::sse {
inline namespace TRELVIX_SCALING_BUILD_TAG {

// One unit in the last place below the float nearest to 1/3: the four-value loops multiply by
// it where the scalar code divides by 3.
inline const float kThird = std::bit_cast<float>(0x3EAAAAAAu);
// Added before the four-value loops' round-to-nearest conversion, so that halves below 256 round up.
constexpr float kVectorBias = 1e-5f;
static_assert(std::bit_cast<std::uint32_t>(kVectorBias) == 0x3727C5ACu);
// Added before the scalar code's truncating conversion.
constexpr double kScalarBias = 1e-7;

// ---- lane helpers: a float or four floats --------------------------------------------------
// Four packed floats as a plain vector type (the intrinsics' type carries an aliasing attribute
// that a template argument would drop).
typedef float F4 __attribute__((vector_size(16)));
template <class V> inline V Splat(float x) {
    if constexpr (std::is_same_v<V, float>) return x;
    else return V{x, x, x, x};
}

// ---- cubic: coefficients and the five operation orders -------------------------------------
enum class CubicPath { LoopH, LoopV, ScalarH, ScalarV, ScalarVC3of4 };

template <class V> struct CubicCoef {
    V t1, a2, a3;
};
template <CubicPath P, class V> inline CubicCoef<V> CubicCoefsOf(V t) {
    const V one = Splat<V>(1.0f), half = Splat<V>(0.5f);
    CubicCoef<V> c;
    c.t1 = t + one;
    c.a2 = (t * c.t1) * half;
    if constexpr (P == CubicPath::LoopH) c.a3 = (t - one) * (c.a2 * Splat<V>(kThird));
    else if constexpr (P == CubicPath::LoopV) c.a3 = ((t - one) * Splat<V>(kThird)) * c.a2;
    else c.a3 = ((t - one) * c.a2) / Splat<V>(3.0f);
    return c;
}
template <CubicPath P, class V> inline V CubicAt(V f0, V f1, V f2, V f3, const CubicCoef<V>& c) {
    const V d1 = f1 - f0;
    if constexpr (P == CubicPath::ScalarVC3of4) {
        const V d2 = (f2 - d1) - f1;
        const V d3 = (((f3 - d2) - f2) - f2) + f1;
        return ((c.a3 * d3 + c.a2 * d2) + c.t1 * d1) + f0;
    } else {
        const V d2 = (f2 - f1) - d1;
        if constexpr (P == CubicPath::LoopH) {
            const V d3 = ((f3 - f2) - f2) + (f1 - d2);
            return (f0 + d1 * c.t1) + (d2 * c.a2 + d3 * c.a3);
        } else if constexpr (P == CubicPath::LoopV) {
            const V d3 = (f3 - d2) + ((f1 - f2) - f2);
            return (f0 + d1 * c.t1) + (d2 * c.a2 + d3 * c.a3);
        } else if constexpr (P == CubicPath::ScalarH) {
            const V d3 = ((f1 - (f2 + f2)) + f3) - d2;
            return ((f0 + c.a3 * d3) + c.a2 * d2) + c.t1 * d1;
        } else {
            const V d3 = (((f3 - f2) - f2) + f1) - d2;
            return ((f0 + c.a3 * d3) + c.a2 * d2) + c.t1 * d1;
        }
    }
}

// The four-value loops' conversion of one value: bias added in single precision, rounded to
// nearest (ties to even, the thread's default mode), saturated. A value too large for a 32-bit
// integer converts to the "integer indefinite" (INT32_MIN) as the packed conversion does, and
// saturates to 0; integer samples never reach such sums.
template <class T> inline T RoundBiased(std::int32_t r) {
    constexpr std::int32_t kMax = std::is_same_v<T, std::uint8_t> ? 255 : 65535;
    return static_cast<T>(r < 0 ? 0 : (r > kMax ? kMax : r));
}
template <class T> inline T LoopConvert(float v) {
    if constexpr (std::is_same_v<T, float>) return v;
    else return RoundBiased<T>(_mm_cvtss_si32(_mm_set_ss(v + kVectorBias)));
}
// The scalar code's conversion: widened, biased, truncated toward zero, range-checked first.
template <class T> inline T ScalarConvert(float v) {
    if constexpr (std::is_same_v<T, float>) {
        return v;
    } else {
        constexpr double kMax = std::is_same_v<T, std::uint8_t> ? 255.0 : 65535.0;
        const double x = static_cast<double>(v) + kScalarBias;
        if (!(x >= 1.0)) return 0;  // truncates to 0 or below; also a NaN
        if (x >= kMax) return static_cast<T>(kMax);
        return static_cast<T>(static_cast<std::int32_t>(x));
    }
}

// ---- six-tap: sums in tap order ------------------------------------------------------------
inline float SixTapSumF(float f0, float f1, float f2, float f3, float f4, float f5, const float* w) {
    return ((((f0 * w[0] + f1 * w[1]) + f2 * w[2]) + f3 * w[3]) + f4 * w[4]) + f5 * w[5];
}

// One entry of the weight function, in single precision (x0 = -2 - t; taps 1 to 5 from x0).
inline void SixTapWeightsOf(float t, float* out) {
    const float x0 = -2.0f - t;
    for (int k = 0; k < 6; ++k) {
        const float x = k == 0 ? x0 : x0 + static_cast<float>(k);
        float w = 0.0f;
        if (x > -3.0f && x < 3.0f) {
            const float u = std::fabs(x) * 100.0f;
            const int j = static_cast<int>(u);
            const float f = u - static_cast<float>(j);
            const float t0 = SixTapKernelTable[j], t1 = SixTapKernelTable[j + 1];
            w = (t1 - t0) * f + t0;
        }
        out[k] = w;
    }
}

struct Arith : generic::Arith {
    using Base = generic::Arith;

    // ---- linear -------------------------------------------------------------------------
    // Floats: work = f0 + (f1 - f0) t in single precision.
    template <class T, int CH>
    static void LinearHorzF(const float* src, int count, int nb, const std::int32_t* idx, const float* frac,
                            float* out) {
        for (int p = 0; p < count; ++p) {
            const float* s = src + idx[p];
            const float t = frac[p];
            for (int c = 0; c < CH; ++c) {
                const float f0 = s[c], f1 = s[nb + c];
                out[CH * p + c] = f0 + (f1 - f0) * t;
            }
        }
    }
    template <class T>
    static void LinearHorzC1(const T* src, int count, const std::int32_t* idx,
                             const typename engine::LinearTypes<T>::Weight* wts,
                             typename engine::LinearTypes<T>::Work* out) {
        if constexpr (std::is_same_v<T, float>) LinearHorzF<T, 1>(src, count, 1, idx, wts, out);
        else Base::LinearHorzC1<T>(src, count, idx, wts, out);
    }
    // 8-bit three-channel columns at stride 3, one multiply-add per pixel: the left and right
    // taps' bytes interleaved (l0 r0 l1 r1 l2 r2), widened, against the pair (w0, w1) give
    // (w0 l + w1 r + 128) >> 8 per channel in 32-bit lanes (the fourth lane is dropped). A pixel
    // whose index lies below the last column's reads four bytes at each tap, its fourth still
    // before the last column's right tap ends; the others read exactly their six bytes. Two
    // pixels are narrowed together and stored as 8-byte words: the first word's fourth value
    // falls on the second pixel's place, the second word's on the next pixel's (or the work
    // row's margin).
    // Pixels at another stride go one sample at a time.
    static __m128i LinearTapPairs8u(const std::uint8_t* s, bool wide) {
        const __m128i zero = _mm_setzero_si128();
        if (wide) {
            std::int32_t l4, r4;
            std::memcpy(&l4, s, 4);
            std::memcpy(&r4, s + 3, 4);
            return _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(l4), _mm_cvtsi32_si128(r4)), zero);
        }
        std::uint16_t l2, r2;
        std::memcpy(&l2, s, 2);
        std::memcpy(&r2, s + 3, 2);
        const __m128i l = _mm_cvtsi32_si128(l2 | (s[2] << 16)), r = _mm_cvtsi32_si128(r2 | (s[5] << 16));
        return _mm_unpacklo_epi8(_mm_unpacklo_epi8(l, r), zero);
    }
    static __m128i LinearPairWeights(const std::uint16_t* w) {
        std::int32_t v;
        std::memcpy(&v, w, 4);
        return _mm_set1_epi32(v);
    }
    static __m128i LinearTapSums8u(__m128i pairs, __m128i w) {
        return _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(pairs, w), _mm_set1_epi32(128)), 8);
    }
    static void StoreWorkPair(std::uint16_t* o, __m128i a, __m128i b) {
        const __m128i v = _mm_packs_epi32(a, b);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o), v);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 3), _mm_srli_si128(v, 8));
    }
    static void StoreWorkOne(std::uint16_t* o, __m128i a) {
        const long long v = _mm_cvtsi128_si64(_mm_packs_epi32(a, a));
        std::memcpy(o, &v, 6);
    }
    // `rows` source rows (one or two) through the same columns: the indices and weights are
    // read once for both.
    template <int Rows>
    static void LinearHorzC3Bytes(const std::uint8_t* const* src, int count, const std::int32_t* idx,
                                  const std::uint16_t* wts, std::uint16_t* const* out) {
        if (count <= 0) return;
        // The driver's column indices never decrease: the columns before the first one at the
        // last column's index are the wide ones.
        const std::int32_t lastIdx = idx[count - 1];
        int wide = count;
        while (wide > 0 && idx[wide - 1] >= lastIdx) --wide;
        int p = 0;
        for (; p + 2 <= wide; p += 2) {
            const std::int32_t i0 = idx[p], i1 = idx[p + 1];
            const __m128i w0 = LinearPairWeights(wts + 2 * p), w1 = LinearPairWeights(wts + 2 * p + 2);
            for (int r = 0; r < Rows; ++r)
                StoreWorkPair(out[r] + 3 * p, LinearTapSums8u(LinearTapPairs8u(src[r] + i0, true), w0),
                              LinearTapSums8u(LinearTapPairs8u(src[r] + i1, true), w1));
        }
        for (; p < count; ++p) {
            const __m128i w = LinearPairWeights(wts + 2 * p);
            for (int r = 0; r < Rows; ++r)
                StoreWorkOne(out[r] + 3 * p, LinearTapSums8u(LinearTapPairs8u(src[r] + idx[p], p < wide), w));
        }
    }
    template <class T>
    static void LinearHorzC3(const T* src, int count, int stride, const std::int32_t* idx,
                             const typename engine::LinearTypes<T>::Weight* wts,
                             typename engine::LinearTypes<T>::Work* out) {
        if constexpr (std::is_same_v<T, float>) {
            LinearHorzF<T, 3>(src, count, stride, idx, wts, out);
        } else if constexpr (std::is_same_v<T, std::uint8_t>) {
            if (stride == 3) LinearHorzC3Bytes<1>(&src, count, idx, wts, &out);
            else Base::LinearHorzC3<T>(src, count, stride, idx, wts, out);
        } else {
            Base::LinearHorzC3<T>(src, count, stride, idx, wts, out);
        }
    }
    // Two source rows through the same columns, as two calls of LinearHorzC3 would.
    template <class T>
    static void LinearHorzC3Rows2(const T* src0, const T* src1, int count, int stride, const std::int32_t* idx,
                                  const typename engine::LinearTypes<T>::Weight* wts,
                                  typename engine::LinearTypes<T>::Work* out0,
                                  typename engine::LinearTypes<T>::Work* out1) {
        if constexpr (std::is_same_v<T, std::uint8_t>) {
            if (stride == 3) {
                const std::uint8_t* s[2] = {src0, src1};
                std::uint16_t* o[2] = {out0, out1};
                LinearHorzC3Bytes<2>(s, count, idx, wts, o);
                return;
            }
        }
        LinearHorzC3<T>(src0, count, stride, idx, wts, out0);
        LinearHorzC3<T>(src1, count, stride, idx, wts, out1);
    }
    template <class T>
    static void LinearHorzC4(const T* src, int count, const std::int32_t* idx,
                             const typename engine::LinearTypes<T>::Weight* wts,
                             typename engine::LinearTypes<T>::Work* out) {
        if constexpr (std::is_same_v<T, float>) LinearHorzF<T, 4>(src, count, 4, idx, wts, out);
        else Base::LinearHorzC4<T>(src, count, idx, wts, out);
    }
    // Floats: dst = u (1 - t) + l t, 1 - t once per call, the products rounded apart. 8-bit
    // work rows: (u (16384 - w) + l w + 2^19) >> 20, the (u, l) pairs against (16384 - w, w) in
    // one multiply-add per four values (work values and weights fit signed 16 bits, every sum
    // stays below 2^31), sixteen values a round.
    template <class T>
    static void LinearVert(T* dst, int count, typename engine::LinearTypes<T>::RowWeight w,
                           const typename engine::LinearTypes<T>::Work* upper,
                           const typename engine::LinearTypes<T>::Work* lower) {
        if constexpr (std::is_same_v<T, float>) {
            const float ut = 1.0f - w;
            for (int k = 0; k < count; ++k) dst[k] = upper[k] * ut + lower[k] * w;
        } else if constexpr (std::is_same_v<T, std::uint8_t>) {
            const __m128i pair = _mm_set1_epi32(static_cast<int>((16384u - w) | (static_cast<std::uint32_t>(w) << 16)));
            const __m128i round = _mm_set1_epi32(524288);
            auto blend4 = [&](__m128i uv) { return _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(uv, pair), round), 20); };
            auto blend8 = [&](int k) {
                const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + k));
                const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + k));
                return _mm_packs_epi32(blend4(_mm_unpacklo_epi16(u, l)), blend4(_mm_unpackhi_epi16(u, l)));
            };
            int k = 0;
            for (; k + 16 <= count; k += 16)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), _mm_packus_epi16(blend8(k), blend8(k + 8)));
            for (; k < count; ++k)
                dst[k] = static_cast<std::uint8_t>((upper[k] * (16384u - w) + lower[k] * static_cast<std::uint32_t>(w) + 524288u) >> 20);
        } else {
            Base::LinearVert<T>(dst, count, w, upper, lower);
        }
    }
    template <class T>
    static void LinearVertC3of4(T* dst, int count, typename engine::LinearTypes<T>::RowWeight w,
                                const typename engine::LinearTypes<T>::Work* upper,
                                const typename engine::LinearTypes<T>::Work* lower) {
        if constexpr (std::is_same_v<T, float>) {
            const float ut = 1.0f - w;
            for (int p = 0; p < count; ++p)
                for (int c = 0; c < 3; ++c) dst[4 * p + c] = upper[3 * p + c] * ut + lower[3 * p + c] * w;
        } else {
            Base::LinearVertC3of4<T>(dst, count, w, upper, lower);
        }
    }

    // Rows blended straight from two source rows (the horizontal pass a copy): for 8-bit
    // samples a + (((b - a) w + 8192) >> 14), sixteen at a time in 16-bit lanes. With
    // d = 4 (b - a) the product d w spans 32 bits; its high half plus the top bit of its low
    // half is ((b - a) w + 8192) >> 14.
    template <class T>
    static void LinearVertDirect(T* dst, int count, std::uint16_t w, const T* upper, const T* lower) {
        if constexpr (std::is_same_v<T, std::uint8_t>) {
            const __m128i wv = _mm_set1_epi16(static_cast<short>(w)), zero = _mm_setzero_si128();
            int k = 0;
            for (; k + 16 <= count; k += 16) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + k));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + k));
                auto half = [&](__m128i a16, __m128i b16) {
                    const __m128i d4 = _mm_slli_epi16(_mm_sub_epi16(b16, a16), 2);
                    const __m128i hi = _mm_mulhi_epi16(d4, wv);
                    const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(d4, wv), 15);
                    return _mm_add_epi16(_mm_add_epi16(a16, hi), lo);
                };
                const __m128i r0 = half(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
                const __m128i r1 = half(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), _mm_packus_epi16(r0, r1));
            }
            for (; k < count; ++k) {
                const std::int32_t d = static_cast<std::int32_t>(lower[k]) - upper[k];
                dst[k] = static_cast<std::uint8_t>(upper[k] + ((d * static_cast<std::int32_t>(w) + 8192) >> 14));
            }
        } else {
            Base::LinearVertDirect<T>(dst, count, w, upper, lower);
        }
    }

    // ---- cubic --------------------------------------------------------------------------
    // Horizontal, CH channels with nb elements per pixel: columns 0 .. q - 1 (q the largest
    // multiple of four) four at a time, the rest in scalar code.
    template <class T, int CH>
    static void CubicHorz(const T* src, int count, int nb, const std::int32_t* idx, const float* frac, float* out) {
        const int q = count - count % 4;
        for (int p = 0; p < q; p += 4) {
            const F4 t = _mm_loadu_ps(frac + p);
            const CubicCoef<F4> c = CubicCoefsOf<CubicPath::LoopH>(t);
            const T* s0 = src + idx[p];
            const T* s1 = src + idx[p + 1];
            const T* s2 = src + idx[p + 2];
            const T* s3 = src + idx[p + 3];
            for (int ch = 0; ch < CH; ++ch) {
                auto tap = [&](int k) {
                    const int o = ch + (k - 1) * nb;
                    return F4{static_cast<float>(s0[o]), static_cast<float>(s1[o]),
                                       static_cast<float>(s2[o]), static_cast<float>(s3[o])};
                };
                const F4 v = CubicAt<CubicPath::LoopH>(tap(0), tap(1), tap(2), tap(3), c);
                alignas(16) float r[4];
                _mm_store_ps(r, v);
                for (int l = 0; l < 4; ++l) out[CH * (p + l) + ch] = r[l];
            }
        }
        for (int p = q; p < count; ++p) {
            const CubicCoef<float> c = CubicCoefsOf<CubicPath::ScalarH>(frac[p]);
            const T* s = src + idx[p];
            for (int ch = 0; ch < CH; ++ch)
                out[CH * p + ch] = CubicAt<CubicPath::ScalarH>(
                    static_cast<float>(s[ch - nb]), static_cast<float>(s[ch]), static_cast<float>(s[ch + nb]),
                    static_cast<float>(s[ch + 2 * nb]), c);
        }
    }
    template <class T>
    static void CubicHorzC1(const T* src, int count, const std::int32_t* idx, const float* frac, float* out) {
        CubicHorz<T, 1>(src, count, 1, idx, frac, out);
    }
    template <class T>
    static void CubicHorzC3(const T* src, int count, int stride, const std::int32_t* idx, const float* frac,
                            float* out) {
        if constexpr (std::is_same_v<T, std::uint8_t>) {
            if (stride == 3) {
                const int q = CubicHorzC3Bytes4(src, count, idx, frac, out, [](F4 t) {
                    return CubicCoefsOf<CubicPath::LoopH>(t);
                });
                CubicHorz<T, 3>(src, count - q, stride, idx + q, frac + q, out + 3 * q);
                return;
            }
        }
        CubicHorz<T, 3>(src, count, stride, idx, frac, out);
    }
    // Three-byte pixels at stride 3, four destination pixels a round (the first count - count % 4;
    // returns how many), the lanes the four pixels: the loop of CubicHorz with the taps gathered
    // in bulk. Each pixel's twelve tap bytes (idx - 3 to idx + 8) come in one 8-byte and one
    // 4-byte load, nothing past them; the four pixels' bytes are transposed so that each tap and
    // channel has its four pixels in one register, and the results transposed back into pixel
    // order. `coefs` makes the build's coefficients from the four fractions.
    template <class Coefs>
    static int CubicHorzC3Bytes4(const std::uint8_t* src, int count, const std::int32_t* idx, const float* frac,
                                 float* out, Coefs coefs) {
        const int q = count - count % 4;
        const __m128i zero = _mm_setzero_si128();
        auto load12 = [&](int p) {
            const std::uint8_t* s = src + idx[p] - 3;
            std::int64_t lo8;
            std::int32_t hi4;
            std::memcpy(&lo8, s, 8);
            std::memcpy(&hi4, s + 8, 4);
            return _mm_unpacklo_epi64(_mm_cvtsi64_si128(lo8), _mm_cvtsi32_si128(hi4));
        };
        for (int p = 0; p < q; p += 4) {
            const __m128i a = load12(p), b = load12(p + 1), c = load12(p + 2), d = load12(p + 3);
            // Byte k of the four pixels in dword k % 4 of register k / 4.
            const __m128i ab0 = _mm_unpacklo_epi8(a, b), ab1 = _mm_unpackhi_epi8(a, b);
            const __m128i cd0 = _mm_unpacklo_epi8(c, d), cd1 = _mm_unpackhi_epi8(c, d);
            const __m128i r0 = _mm_unpacklo_epi16(ab0, cd0), r1 = _mm_unpackhi_epi16(ab0, cd0);
            const __m128i r2 = _mm_unpacklo_epi16(ab1, cd1);
            F4 v[12];
            auto widen = [&](__m128i r, int at) {
                const __m128i lo = _mm_unpacklo_epi8(r, zero), hi = _mm_unpackhi_epi8(r, zero);
                v[at] = F4(_mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero)));
                v[at + 1] = F4(_mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero)));
                v[at + 2] = F4(_mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero)));
                v[at + 3] = F4(_mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero)));
            };
            widen(r0, 0);
            widen(r1, 4);
            widen(r2, 8);
            const CubicCoef<F4> k = coefs(F4(_mm_loadu_ps(frac + p)));
            // Tap t (pixel idx + (t - 1) 3), channel ch: byte 3 t + ch.
            const __m128 x = CubicAt<CubicPath::LoopH>(v[0], v[3], v[6], v[9], k);
            const __m128 y = CubicAt<CubicPath::LoopH>(v[1], v[4], v[7], v[10], k);
            const __m128 z = CubicAt<CubicPath::LoopH>(v[2], v[5], v[8], v[11], k);
            const __m128 xyLo = _mm_unpacklo_ps(x, y), xyHi = _mm_unpackhi_ps(x, y);
            const __m128 o0 = _mm_shuffle_ps(xyLo, _mm_shuffle_ps(z, x, _MM_SHUFFLE(1, 1, 0, 0)), _MM_SHUFFLE(2, 0, 1, 0));
            const __m128 o1 = _mm_shuffle_ps(_mm_shuffle_ps(y, z, _MM_SHUFFLE(1, 1, 1, 1)), xyHi, _MM_SHUFFLE(1, 0, 2, 0));
            const __m128 t2 = _mm_shuffle_ps(z, xyHi, _MM_SHUFFLE(3, 2, 3, 2));
            const __m128 o2 = _mm_shuffle_ps(t2, t2, _MM_SHUFFLE(1, 3, 2, 0));
            float* o = out + 3 * static_cast<std::ptrdiff_t>(p);
            _mm_storeu_ps(o, o0);
            _mm_storeu_ps(o + 4, o1);
            _mm_storeu_ps(o + 8, o2);
        }
        return q;
    }
    template <class T>
    static void CubicHorzC4(const T* src, int count, const std::int32_t* idx, const float* frac, float* out) {
        CubicHorz<T, 4>(src, count, 4, idx, frac, out);
    }

    // Vertical over `count` work-row values; value j goes to destination element map(j).
    template <class T, class Map>
    static void CubicVertMapped(T* dst, int count, float t, const float* r0, const float* r1, const float* r2,
                                const float* r3, Map map) {
        const int q = count - count % 4;
        if (q > 0) {
            const CubicCoef<F4> c = CubicCoefsOf<CubicPath::LoopV>(Splat<F4>(t));
            for (int j = 0; j < q; j += 4) {
                const F4 v = CubicAt<CubicPath::LoopV>(F4(_mm_loadu_ps(r0 + j)), F4(_mm_loadu_ps(r1 + j)),
                                                       F4(_mm_loadu_ps(r2 + j)), F4(_mm_loadu_ps(r3 + j)), c);
                if constexpr (std::is_same_v<T, float>) {
                    alignas(16) float r[4];
                    _mm_store_ps(r, v);
                    for (int l = 0; l < 4; ++l) dst[map(j + l)] = r[l];
                } else {
                    alignas(16) std::int32_t r[4];
                    _mm_store_si128(reinterpret_cast<__m128i*>(r), _mm_cvtps_epi32(_mm_add_ps(v, _mm_set1_ps(kVectorBias))));
                    for (int l = 0; l < 4; ++l) dst[map(j + l)] = RoundBiased<T>(r[l]);
                }
            }
        }
        const CubicCoef<float> c = CubicCoefsOf<CubicPath::ScalarV>(t);
        for (int j = q; j < count; ++j)
            dst[map(j)] = ScalarConvert<T>(CubicAt<CubicPath::ScalarV>(r0[j], r1[j], r2[j], r3[j], c));
    }
    template <class T>
    static void CubicVert(T* dst, int count, float t, const float* r0, const float* r1, const float* r2,
                          const float* r3) {
        if constexpr (std::is_same_v<T, float>) {
            // The common case, in plain packed stores.
            const int q = count - count % 4;
            if (q > 0) {
                const CubicCoef<F4> c = CubicCoefsOf<CubicPath::LoopV>(Splat<F4>(t));
                for (int j = 0; j < q; j += 4)
                    _mm_storeu_ps(dst + j, CubicAt<CubicPath::LoopV>(F4(_mm_loadu_ps(r0 + j)), F4(_mm_loadu_ps(r1 + j)),
                                                                     F4(_mm_loadu_ps(r2 + j)), F4(_mm_loadu_ps(r3 + j)), c));
            }
            const CubicCoef<float> c = CubicCoefsOf<CubicPath::ScalarV>(t);
            for (int j = q; j < count; ++j) dst[j] = CubicAt<CubicPath::ScalarV>(r0[j], r1[j], r2[j], r3[j], c);
        } else {
            CubicVertMapped<T>(dst, count, t, r0, r1, r2, r3, [](int j) { return j; });
        }
    }
    // `count` pixels of three values each.
    template <class T>
    static void CubicVertC3of4(T* dst, int count, float t, const float* r0, const float* r1, const float* r2,
                               const float* r3) {
        if constexpr (std::is_same_v<T, float>) {
            const CubicCoef<float> c = CubicCoefsOf<CubicPath::ScalarVC3of4>(t);
            for (int p = 0; p < count; ++p)
                for (int ch = 0; ch < 3; ++ch) {
                    const int j = 3 * p + ch;
                    dst[4 * p + ch] = CubicAt<CubicPath::ScalarVC3of4>(r0[j], r1[j], r2[j], r3[j], c);
                }
        } else {
            CubicVertMapped<T>(dst, 3 * count, t, r0, r1, r2, r3, [](int j) { return 4 * (j / 3) + j % 3; });
        }
    }

    // ---- six-tap ------------------------------------------------------------------------
    static void ComputeSixTapWeights(const float* frac, int count, float* out) {
        for (int i = 0; i < count; ++i) SixTapWeightsOf(frac[i], out + 6 * i);
    }
    // Taps at base - 2 .. base + 3 pixels, each kept inside the image: `margin` image columns lie
    // left of the region, `avail` from the region's first column to the right edge. Every
    // column is written, whatever its offset.
    template <class T, int CH>
    static void SixTapHorz(const T* src, int nb, const std::int32_t* idx, const float* wts, float* out, int count,
                           int margin, int avail) {
        const int lo = margin >= 2 ? -2 : -margin;
        const int hi = avail - 1;
        for (int p = 0; p < count; ++p) {
            const int col = idx[p] / nb;
            const float* w = wts + 6 * p;
            std::ptrdiff_t off[6];
            if (col - 2 >= lo && col + 3 <= hi) {
                for (int j = 0; j < 6; ++j) off[j] = static_cast<std::ptrdiff_t>(idx[p]) + (j - 2) * nb;
            } else {
                for (int j = 0; j < 6; ++j) {
                    int cc = col + j - 2;
                    cc = cc < lo ? lo : (cc > hi ? hi : cc);
                    off[j] = static_cast<std::ptrdiff_t>(cc) * nb;
                }
            }
            for (int c = 0; c < CH; ++c)
                out[CH * p + c] = SixTapSumF(static_cast<float>(src[off[0] + c]), static_cast<float>(src[off[1] + c]),
                                            static_cast<float>(src[off[2] + c]), static_cast<float>(src[off[3] + c]),
                                            static_cast<float>(src[off[4] + c]), static_cast<float>(src[off[5] + c]), w);
        }
    }
    template <class T>
    static void SixTapHorzC1(const T* src, const std::int32_t* idx, const float* wts, float* out, int count,
                             int margin, int avail) {
        SixTapHorz<T, 1>(src, 1, idx, wts, out, count, margin, avail);
    }
    template <class T>
    static void SixTapHorzC3(const T* src, int stride, const std::int32_t* idx, const float* wts, float* out,
                             int count, int margin, int avail) {
        SixTapHorz<T, 3>(src, stride, idx, wts, out, count, margin, avail);
    }
    template <class T>
    static void SixTapHorzC4(const T* src, const std::int32_t* idx, const float* wts, float* out, int count,
                             int margin, int avail) {
        SixTapHorz<T, 4>(src, 4, idx, wts, out, count, margin, avail);
    }
    template <class T>
    static void SixTapVert(T* dst, int count, const float* w, const float* const* r) {
        const float w0 = w[0], w1 = w[1], w2 = w[2], w3 = w[3], w4 = w[4], w5 = w[5];
        const float *r0 = r[0], *r1 = r[1], *r2 = r[2], *r3 = r[3], *r4 = r[4], *r5 = r[5];
        if constexpr (std::is_same_v<T, float>) {
            // Four lanes of the scalar formula: the same operations in the same order.
            const __m128 v0 = _mm_set1_ps(w0), v1 = _mm_set1_ps(w1), v2 = _mm_set1_ps(w2), v3 = _mm_set1_ps(w3),
                         v4 = _mm_set1_ps(w4), v5 = _mm_set1_ps(w5);
            int k = 0;
            for (; k + 4 <= count; k += 4) {
                __m128 s = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(r0 + k), v0), _mm_mul_ps(_mm_loadu_ps(r1 + k), v1));
                s = _mm_add_ps(s, _mm_mul_ps(_mm_loadu_ps(r2 + k), v2));
                s = _mm_add_ps(s, _mm_mul_ps(_mm_loadu_ps(r3 + k), v3));
                s = _mm_add_ps(s, _mm_mul_ps(_mm_loadu_ps(r4 + k), v4));
                s = _mm_add_ps(s, _mm_mul_ps(_mm_loadu_ps(r5 + k), v5));
                _mm_storeu_ps(dst + k, s);
            }
            for (; k < count; ++k)
                dst[k] = ((((r0[k] * w0 + r1[k] * w1) + r2[k] * w2) + r3[k] * w3) + r4[k] * w4) + r5[k] * w5;
        } else {
            for (int k = 0; k < count; ++k)
                dst[k] = ScalarConvert<T>(((((r0[k] * w0 + r1[k] * w1) + r2[k] * w2) + r3[k] * w3) + r4[k] * w4) +
                                          r5[k] * w5);
        }
    }
    template <class T>
    static void SixTapVertC3of4(T* dst, int count, const float* w, const float* const* r) {
        for (int p = 0; p < count; ++p)
            for (int c = 0; c < 3; ++c) {
                const int k = 3 * p + c;
                dst[4 * p + c] = ScalarConvert<T>(SixTapSumF(r[0][k], r[1][k], r[2][k], r[3][k], r[4][k], r[5][k], w));
            }
    }
    // ---- super-sampling accumulators ----------------------------------------------------
    // Adds `rows` source rows of `n` pixels (V values apart) into `acc`, all V values of each
    // pixel (a value past the C used ones lands in an accumulator nobody reads): integer samples
    // into wrapping 32-bit integers, floats into floats rounded after every row, packed. These are
    // the generic build's sums, value for value.
    template <class T, class Acc>
    static void SuperAccum(const std::uint8_t* src, std::ptrdiff_t srcStep, int n, int rows, Acc* acc, int V, int C,
                           int /*fcase*/) {
        (void)C;
        const std::int64_t m = static_cast<std::int64_t>(n) * V;
        if (m <= 0 || rows <= 0) return;
        for (int r = 0; r < rows; ++r) {
            if constexpr (std::is_same_v<Acc, std::uint32_t>) AddRowInt<T>(src + r * srcStep, m, acc);
            else AddRowFloat<T>(src + r * srcStep, m, acc);
        }
    }

    // Whole-ratio pixels from integer column sums when areaScale is 2^-k (k from 0 to 32, as for
    // halving or quartering): trunc(sum 2^-k + 0.5) is then (sum + 2^(k-1)) >> k exactly, for
    // every 32-bit sum, so the pixels need no floating point. Returns the pixels written (all
    // `count`, or none when the area is not such a power).
    template <class T>
    static int SuperWholeSlots(const std::uint32_t* acc, int ix, int V, int C, int count, double area,
                               std::uint8_t* out) {
        int e = 0;
        if (!(area > 0.0) || std::frexp(area, &e) != 0.5) return SuperWholeSlotsScaled<T>(acc, ix, V, C, count, area, out);
        const int k = 1 - e;
        if (k < 0 || k > 32) return 0;
        const std::uint64_t half = k ? std::uint64_t{1} << (k - 1) : 0;
        constexpr std::ptrdiff_t E = sizeof(T);
        if (ix == 2 && V == 3 && C == 3) {
            for (int p = 0; p < count; ++p) {
                const std::uint32_t* g = acc + 6 * static_cast<std::ptrdiff_t>(p);
                std::uint8_t* o = out + 3 * E * static_cast<std::ptrdiff_t>(p);
                for (int c = 0; c < 3; ++c)
                    engine::StoreSample<T>(o + c * E, static_cast<T>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(g[c] + g[c + 3])) + half) >> k));
            }
            return count;
        }
        for (int p = 0; p < count; ++p) {
            const std::uint32_t* g = acc + static_cast<std::ptrdiff_t>(p) * ix * V;
            std::uint8_t* o = out + static_cast<std::ptrdiff_t>(p) * V * E;
            for (int c = 0; c < C; ++c) {
                std::uint32_t sum = 0;
                for (int t = 0; t < ix; ++t) sum += g[t * V + c];
                engine::StoreSample<T>(o + c * E, static_cast<T>((static_cast<std::uint64_t>(sum) + half) >> k));
            }
        }
        return count;
    }

    // Whole-ratio pixels of three or four values for any area up to 1/2: a pixel's column sums
    // in the lanes (32-bit wrapping additions, each column read as four values: the accumulator
    // row has a margin), each sum taken as the unsigned value it is into double precision, times
    // the area, plus 0.5, truncated; the values stay below 2^31, so the 32-bit conversion keeps
    // the generic build's low bits. Returns the pixels written (none for other layouts).
    template <class T>
    static int SuperWholeSlotsScaled(const std::uint32_t* acc, int ix, int V, int C, int count, double area,
                                     std::uint8_t* out) {
        if ((V != 3 && V != 4) || !(area <= 0.5)) return 0;
        constexpr std::ptrdiff_t E = sizeof(T);
        const __m128d areaD = _mm_set1_pd(area), half = _mm_set1_pd(0.5), zero = _mm_setzero_pd();
        const __m128d two32 = _mm_set1_pd(4294967296.0);
        auto toDouble = [&](__m128i x) {
            const __m128d d = _mm_cvtepi32_pd(x);
            return _mm_add_pd(d, _mm_and_pd(_mm_cmplt_pd(d, zero), two32));
        };
        for (int p = 0; p < count; ++p) {
            const std::uint32_t* g = acc + static_cast<std::ptrdiff_t>(p) * ix * V;
            __m128i sum = _mm_setzero_si128();
            for (int t = 0; t < ix; ++t)
                sum = _mm_add_epi32(sum, _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + t * V)));
            const __m128d lo = _mm_mul_pd(toDouble(sum), areaD);
            const __m128d hi = _mm_mul_pd(toDouble(_mm_shuffle_epi32(sum, _MM_SHUFFLE(3, 2, 3, 2))), areaD);
            alignas(16) std::int32_t q[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(q), _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_add_pd(lo, half)),
                                                                              _mm_cvttpd_epi32(_mm_add_pd(hi, half))));
            std::uint8_t* o = out + static_cast<std::ptrdiff_t>(p) * V * E;
            for (int c = 0; c < C; ++c) engine::StoreSample<T>(o + c * E, static_cast<T>(q[c]));
        }
        return count;
    }

    // Halving of three interleaved bytes (whole ratios 2 and 2, areaScale 1/4): the value of a
    // destination sample is trunc(sum / 4 + 0.5) = (sum + 2) >> 2 of its four source samples,
    // made here straight from the two source rows with byte averages. Three destination pixels
    // per round: with s[k] the value of the four samples at source byte k (rows 0 and 1, bytes k
    // and k + 3), the pixels are s[0..2], s[6..8], s[12..14].
    template <class T>
    static bool SuperWholeRow(const std::uint8_t* src, std::ptrdiff_t srcStep, int len, int width, int ix, int iy,
                              int V, int C, double area, std::uint8_t* out) {
        if constexpr (!std::is_same_v<T, std::uint8_t>) {
            (void)src, (void)srcStep, (void)len, (void)width, (void)ix, (void)iy, (void)V, (void)C, (void)area,
                (void)out;
            return false;
        } else {
            if (ix != 2 || iy != 2 || V != 3 || C != 3 || area != 0.25 || len < 2 * static_cast<std::int64_t>(width))
                return false;
            const std::uint8_t* r0 = src;
            const std::uint8_t* r1 = src + srcStep;
            const std::int64_t rowBytes = static_cast<std::int64_t>(len) * 3;
            const __m128i one = _mm_set1_epi8(1);
            auto load = [](const std::uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
            int p = 0;
            // Each round stores 16 bytes three times, at 3p, 3p + 3 and 3p + 6, each time keeping
            // three good bytes and leaving the rest for the next store or round to overwrite; the
            // last round's spill stays inside the row, where the pixels after it are written.
            for (; 3 * static_cast<std::int64_t>(p) + 22 <= 3 * static_cast<std::int64_t>(width) &&
                   6 * static_cast<std::int64_t>(p) + 19 <= rowBytes;
                 p += 3) {
                const std::uint8_t* a = r0 + 6 * static_cast<std::ptrdiff_t>(p);
                const std::uint8_t* b = r1 + 6 * static_cast<std::ptrdiff_t>(p);
                const __m128i x0 = load(a), x1 = load(a + 3), y0 = load(b), y1 = load(b + 3);
                // (w + x + y + z + 2) >> 2 in bytes: s = avg(w, x) and t = avg(y, z) round up, and
                // avg(s, t) is then one too high exactly when a pair's sum was odd and s + t is odd.
                const __m128i s = _mm_avg_epu8(x0, x1), t = _mm_avg_epu8(y0, y1);
                const __m128i pairOdd = _mm_or_si128(_mm_xor_si128(x0, x1), _mm_xor_si128(y0, y1));
                const __m128i high = _mm_and_si128(_mm_and_si128(pairOdd, _mm_xor_si128(s, t)), one);
                const __m128i res = _mm_sub_epi8(_mm_avg_epu8(s, t), high);
                __m128i* o = reinterpret_cast<__m128i*>(out + 3 * static_cast<std::ptrdiff_t>(p));
                _mm_storeu_si128(o, res);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(reinterpret_cast<std::uint8_t*>(o) + 3), _mm_srli_si128(res, 6));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(reinterpret_cast<std::uint8_t*>(o) + 6), _mm_srli_si128(res, 12));
            }
            for (; p < width; ++p) {
                const std::uint8_t* a = r0 + 6 * static_cast<std::ptrdiff_t>(p);
                const std::uint8_t* b = r1 + 6 * static_cast<std::ptrdiff_t>(p);
                for (int c = 0; c < 3; ++c)
                    out[3 * p + c] = static_cast<std::uint8_t>((a[c] + a[c + 3] + b[c] + b[c + 3] + 2) >> 2);
            }
            return true;
        }
    }

    // A row the footprint takes in part: acc[k] = float(acc[k] + v w) for all V values of each
    // pixel (one past the C used ones lands in an accumulator nobody reads), two values per
    // packed double-precision step: the generic build's operations, value for value.
    template <class T>
    static void SuperAddWeighted(const std::uint8_t* src, int n, int V, int C, double w, float* acc) {
        const std::int64_t m = static_cast<std::int64_t>(n) * V;
        const __m128d wd = _mm_set1_pd(w);
        std::int64_t k = 0;
        for (; k + 4 <= m; k += 4) {
            __m128d v0, v1;
            if constexpr (std::is_same_v<T, float>) {
                const __m128 f = _mm_loadu_ps(reinterpret_cast<const float*>(src + 4 * k));
                v0 = _mm_cvtps_pd(f);
                v1 = _mm_cvtps_pd(_mm_movehl_ps(f, f));
            } else {
                const __m128i zero = _mm_setzero_si128();
                __m128i x;
                if constexpr (std::is_same_v<T, std::uint8_t>) {
                    std::int32_t b;
                    std::memcpy(&b, src + k, 4);
                    x = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(b), zero), zero);
                } else {
                    x = _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + 2 * k)), zero);
                }
                v0 = _mm_cvtepi32_pd(x);
                v1 = _mm_cvtepi32_pd(_mm_shuffle_epi32(x, _MM_SHUFFLE(3, 2, 3, 2)));
            }
            const __m128 a = _mm_loadu_ps(acc + k);
            const __m128 s0 = _mm_cvtpd_ps(_mm_add_pd(_mm_cvtps_pd(a), _mm_mul_pd(v0, wd)));
            const __m128 s1 = _mm_cvtpd_ps(_mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(a, a)), _mm_mul_pd(v1, wd)));
            _mm_storeu_ps(acc + k, _mm_movelh_ps(s0, s1));
        }
        (void)C;
        for (; k < m; ++k) {
            const double v = engine::LoadSample<T>(src + k * static_cast<std::int64_t>(sizeof(T)));
            acc[k] = static_cast<float>(static_cast<double>(acc[k]) + v * w);
        }
    }

    // One destination row of a fractional horizontal ratio: integer samples with three or four
    // values per pixel take a pixel's values in the lanes of two packed doubles (each column read
    // as four floats: the accumulator row has a margin), each lane the generic build's steps in
    // its order; the rest goes as in the generic build.
    template <class T>
    static void SuperFracColumns(const float* acc, const engine::SuperColumnPlan* plans, int width, int last, int V,
                                 int C, double area, std::uint8_t* out) {
        if constexpr (std::is_same_v<T, float>) {
            Base::SuperFracColumns<T>(acc, plans, width, last, V, C, area, out);
        } else {
            if (V != 3 && V != 4) {
                Base::SuperFracColumns<T>(acc, plans, width, last, V, C, area, out);
                return;
            }
            constexpr std::ptrdiff_t E = sizeof(T);
            const __m128d areaD = _mm_set1_pd(area), half = _mm_set1_pd(0.5);
            for (int k = 0; k < width; ++k) {
                const engine::SuperColumnPlan& pl = plans[k];
                __m128d s0 = _mm_setzero_pd(), s1 = _mm_setzero_pd();
                auto col = [&](std::int64_t c, __m128d& lo, __m128d& hi) {
                    const __m128 f = _mm_loadu_ps(acc + c * V);
                    lo = _mm_cvtps_pd(f);
                    hi = _mm_cvtps_pd(_mm_movehl_ps(f, f));
                };
                __m128d lo, hi;
                if (pl.lead >= 0) {
                    col(pl.lead, lo, hi);
                    const __m128d g = _mm_set1_pd(pl.g);
                    s0 = _mm_add_pd(s0, _mm_mul_pd(g, lo));
                    s1 = _mm_add_pd(s1, _mm_mul_pd(g, hi));
                }
                for (int t = 0; t < pl.inside; ++t) {
                    col(static_cast<std::int64_t>(pl.from) + t, lo, hi);
                    s0 = _mm_add_pd(s0, lo);
                    s1 = _mm_add_pd(s1, hi);
                }
                if (pl.beyond > 0.0) {
                    col(last, lo, hi);
                    const __m128d b = _mm_set1_pd(pl.beyond);
                    s0 = _mm_add_pd(s0, _mm_mul_pd(lo, b));
                    s1 = _mm_add_pd(s1, _mm_mul_pd(hi, b));
                }
                if (pl.q >= 0) {
                    col(pl.q, lo, hi);
                    const __m128d e = _mm_set1_pd(pl.e);
                    s0 = _mm_add_pd(s0, _mm_mul_pd(e, lo));
                    s1 = _mm_add_pd(s1, _mm_mul_pd(e, hi));
                }
                // float(s) * area + 0.5, truncated: the values are small and not negative.
                auto fin = [&](__m128d v) {
                    return _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(_mm_cvtpd_ps(v)), areaD), half));
                };
                alignas(16) std::int32_t q[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(q), _mm_unpacklo_epi64(fin(s0), fin(s1)));
                std::uint8_t* o = out + static_cast<std::ptrdiff_t>(k) * V * E;
                for (int c = 0; c < C; ++c) engine::StoreSample<T>(o + c * E, static_cast<T>(q[c]));
            }
        }
    }

    // acc[k] += row[k] in wrapping 32-bit integers, sixteen (8-bit) or eight (16-bit) at a time.
    template <class T>
    static void AddRowInt(const std::uint8_t* row, std::int64_t m, std::uint32_t* acc) {
        const __m128i zero = _mm_setzero_si128();
        std::int64_t k = 0;
        auto add4 = [&](std::int64_t at, __m128i v) {
            __m128i* p = reinterpret_cast<__m128i*>(acc + at);
            _mm_storeu_si128(p, _mm_add_epi32(_mm_loadu_si128(p), v));
        };
        if constexpr (std::is_same_v<T, std::uint8_t>) {
            for (; k + 16 <= m; k += 16) {
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + k));
                const __m128i lo = _mm_unpacklo_epi8(b, zero), hi = _mm_unpackhi_epi8(b, zero);
                add4(k, _mm_unpacklo_epi16(lo, zero));
                add4(k + 4, _mm_unpackhi_epi16(lo, zero));
                add4(k + 8, _mm_unpacklo_epi16(hi, zero));
                add4(k + 12, _mm_unpackhi_epi16(hi, zero));
            }
        } else {
            for (; k + 8 <= m; k += 8) {
                const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * k));
                add4(k, _mm_unpacklo_epi16(w, zero));
                add4(k + 4, _mm_unpackhi_epi16(w, zero));
            }
        }
        for (; k < m; ++k) acc[k] += engine::LoadSample<T>(row + k * static_cast<std::int64_t>(sizeof(T)));
    }
    // acc[k] = float(acc[k] + row[k]), four at a time (integer samples convert to float exactly).
    template <class T>
    static void AddRowFloat(const std::uint8_t* row, std::int64_t m, float* acc) {
        constexpr std::int64_t E = sizeof(T);
        std::int64_t k = 0;
        for (; k + 4 <= m; k += 4) {
            __m128 v;
            if constexpr (std::is_same_v<T, float>) {
                v = _mm_loadu_ps(reinterpret_cast<const float*>(row + k * E));
            } else {
                const __m128i zero = _mm_setzero_si128();
                __m128i x;
                if constexpr (std::is_same_v<T, std::uint8_t>) {
                    std::int32_t b;
                    std::memcpy(&b, row + k, 4);
                    x = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(b), zero), zero);
                } else {
                    x = _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + k * E)), zero);
                }
                v = _mm_cvtepi32_ps(x);
            }
            _mm_storeu_ps(acc + k, _mm_add_ps(_mm_loadu_ps(acc + k), v));
        }
        for (; k < m; ++k) acc[k] = acc[k] + static_cast<float>(engine::LoadSample<T>(row + k * E));
    }
};

}  // namespace TRELVIX_SCALING_BUILD_TAG
}  // namespace scaling::sse
