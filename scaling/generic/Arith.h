// Arithmetic of the generic build: the linear, cubic and six-tap filter passes, the six-tap
// weights and the super-sampling row accumulators, written as plain scalar loops. The engine's
// drivers and kernels call these through the build's policy type; a build for another
// instruction set provides the same members with its own arithmetic.
#pragma once

#include "scaling/engine/BuildTag.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "scaling/SixTapTable.h"
#include "scaling/engine/Common.h"

namespace scaling::generic {

// dst[k] = upper[k] + (((lower[k] - upper[k]) * w + 8192) >> 14) for w in 1..16383: the 8-bit
// vertical linear blend of two rows (see Arith::LinearVertDirect). Integer only, so every
// instruction-set variant the compiler makes of it gives the same bytes.
void BlendRows8u(std::uint8_t* dst, int count, std::uint16_t w, const std::uint8_t* upper,
                 const std::uint8_t* lower);

inline namespace TRELVIX_SCALING_BUILD_TAG {

struct Arith {
    // ---- linear -------------------------------------------------------------------------
    // CH values written per destination pixel, taken from src[i + c] and src[i + nb + c].
    template <class T, int CH>
    static void LinearHorz(const T* src, int count, int nb, const std::int32_t* idx,
                           const typename engine::LinearTypes<T>::Weight* wts,
                           typename engine::LinearTypes<T>::Work* out) {
        for (int p = 0; p < count; ++p) {
            const T* s = src + idx[p];
            if constexpr (std::is_same_v<T, float>) {
                const double f = wts[p];
                for (int c = 0; c < CH; ++c) {
                    const double s0 = s[c], s1 = s[nb + c];
                    out[CH * p + c] = static_cast<float>(s0 + (s1 - s0) * f);
                }
            } else {
                constexpr std::uint32_t kRound = std::is_same_v<T, std::uint8_t> ? 128u : 8192u;
                constexpr int kShift = std::is_same_v<T, std::uint8_t> ? 8 : 14;
                const std::uint32_t w0 = wts[2 * p], w1 = wts[2 * p + 1];
                for (int c = 0; c < CH; ++c) {
                    const std::uint32_t v = s[c] * w0 + s[nb + c] * w1 + kRound;
                    out[CH * p + c] = static_cast<std::uint16_t>(v >> kShift);
                }
            }
        }
    }
    template <class T>
    static void LinearHorzC1(const T* src, int count, const std::int32_t* idx,
                             const typename engine::LinearTypes<T>::Weight* wts,
                             typename engine::LinearTypes<T>::Work* out) {
        LinearHorz<T, 1>(src, count, 1, idx, wts, out);
    }
    template <class T>
    static void LinearHorzC3(const T* src, int count, int stride, const std::int32_t* idx,
                             const typename engine::LinearTypes<T>::Weight* wts,
                             typename engine::LinearTypes<T>::Work* out) {
        LinearHorz<T, 3>(src, count, stride, idx, wts, out);
    }
    // Two source rows through the same columns (a reduction's new pair of rows): the two
    // LinearHorzC3 calls; a build may share the column reads between the rows.
    template <class T>
    static void LinearHorzC3Rows2(const T* src0, const T* src1, int count, int stride, const std::int32_t* idx,
                                  const typename engine::LinearTypes<T>::Weight* wts,
                                  typename engine::LinearTypes<T>::Work* out0,
                                  typename engine::LinearTypes<T>::Work* out1) {
        LinearHorzC3<T>(src0, count, stride, idx, wts, out0);
        LinearHorzC3<T>(src1, count, stride, idx, wts, out1);
    }
    template <class T>
    static void LinearHorzC4(const T* src, int count, const std::int32_t* idx,
                             const typename engine::LinearTypes<T>::Weight* wts,
                             typename engine::LinearTypes<T>::Work* out) {
        LinearHorz<T, 4>(src, count, 4, idx, wts, out);
    }

    // The horizontal pass when every destination column takes one source column whole (pairs
    // (16384, 0), or (0, 16384) with the index one pixel left at the last column): the values
    // the general pass would give, in one widening copy of `n` samples.
    template <class T>
    static void LinearHorzCopy(const T* src, int n, std::uint16_t* out) {
        constexpr int kUp = std::is_same_v<T, std::uint8_t> ? 6 : 0;
        for (int k = 0; k < n; ++k) out[k] = static_cast<std::uint16_t>(src[k] << kUp);
    }

    template <class T>
    static void LinearVert(T* dst, int count, typename engine::LinearTypes<T>::RowWeight w,
                           const typename engine::LinearTypes<T>::Work* upper,
                           const typename engine::LinearTypes<T>::Work* lower) {
        if constexpr (std::is_same_v<T, float>) {
            const double t = w, ut = 1.0 - t;
            for (int k = 0; k < count; ++k)
                dst[k] = static_cast<float>(static_cast<double>(upper[k]) * ut + static_cast<double>(lower[k]) * t);
        } else if constexpr (std::is_same_v<T, std::uint8_t>) {
            // Work values (at most 16320) and weights (at most 16384) both fit 16-bit signed
            // integers and every sum stays below 2^31: written so, the loop vectorises into
            // 16-bit multiplies with the same results.
            const std::int16_t wl = static_cast<std::int16_t>(w), wu = static_cast<std::int16_t>(16384 - w);
            for (int k = 0; k < count; ++k) {
                const std::int32_t v = static_cast<std::int16_t>(upper[k]) * wu + static_cast<std::int16_t>(lower[k]) * wl;
                dst[k] = static_cast<std::uint8_t>((v + 524288) >> 20);
            }
        } else {
            const std::uint32_t wl = w, wu = 16384u - w;
            for (int k = 0; k < count; ++k) dst[k] = static_cast<T>((upper[k] * wu + lower[k] * wl + 8192u) >> 14);
        }
    }
    // The vertical pass straight from two source rows when the horizontal pass is a copy.
    // Through the work rows an 8-bit sample a becomes a << 6 and the blend is
    // (64 (a wu + b wl) + 2^19) >> 20, which is (a wu + b wl + 2^13) >> 14; with wu = 16384 - wl
    // that is a + (((b - a) wl + 2^13) >> 14) (an arithmetic shift: floor). 16-bit samples enter
    // the blend unchanged, so the same sum applies.
    template <class T>
    static void LinearVertDirect(T* dst, int count, std::uint16_t w, const T* upper, const T* lower) {
        if constexpr (std::is_same_v<T, std::uint8_t>) {
            BlendRows8u(dst, count, w, upper, lower);
        } else {
            const std::uint32_t wl = w, wu = 16384u - w;
            for (int k = 0; k < count; ++k)
                dst[k] = static_cast<T>((upper[k] * wu + lower[k] * wl + 8192u) >> 14);
        }
    }
    template <class T>
    static void LinearVertC3of4(T* dst, int count, typename engine::LinearTypes<T>::RowWeight w,
                                const typename engine::LinearTypes<T>::Work* upper,
                                const typename engine::LinearTypes<T>::Work* lower) {
        for (int p = 0; p < count; ++p) LinearVert<T>(dst + 4 * p, 3, w, upper + 3 * p, lower + 3 * p);
    }

    // ---- cubic --------------------------------------------------------------------------
    struct CubicCoeffs {
        double a1, a2, a3;
    };
    static CubicCoeffs CubicCoefficients(float t) {
        const double td = t;
        const double a1 = td + 1.0;
        const double a2 = a1 * td * 0.5;
        const double a3 = a2 * (td + -1.0) / 3.0;
        return {a1, a2, a3};
    }
    // Newton form of the cubic through (-1, q0), (0, q1), (1, q2), (2, q3).
    static double CubicValue(double q0, double q1, double q2, double q3, const CubicCoeffs& a) {
        const double d1 = q1 - q0;
        const double d2 = (q2 - q1) - d1;
        const double d3 = (q1 - 2.0 * q2 + q3) - d2;
        return q0 + a.a1 * d1 + a.a2 * d2 + a.a3 * d3;
    }
    template <class T, int CH>
    static void CubicHorz(const T* src, int count, int nb, const std::int32_t* idx, const float* frac, float* out) {
        for (int p = 0; p < count; ++p) {
            const CubicCoeffs a = CubicCoefficients(frac[p]);
            const T* s = src + idx[p];
            for (int c = 0; c < CH; ++c)
                out[CH * p + c] = static_cast<float>(CubicValue(s[c - nb], s[c], s[c + nb], s[c + 2 * nb], a));
        }
    }
    template <class T>
    static void CubicHorzC1(const T* src, int count, const std::int32_t* idx, const float* frac, float* out) {
        CubicHorz<T, 1>(src, count, 1, idx, frac, out);
    }
    template <class T>
    static void CubicHorzC3(const T* src, int count, int stride, const std::int32_t* idx, const float* frac,
                            float* out) {
        CubicHorz<T, 3>(src, count, stride, idx, frac, out);
    }
    template <class T>
    static void CubicHorzC4(const T* src, int count, const std::int32_t* idx, const float* frac, float* out) {
        CubicHorz<T, 4>(src, count, 4, idx, frac, out);
    }
    template <class T>
    static void CubicVert(T* dst, int count, float t, const float* r0, const float* r1, const float* r2,
                          const float* r3) {
        const CubicCoeffs a = CubicCoefficients(t);
        for (int k = 0; k < count; ++k) dst[k] = engine::StoreFiltered<T>(CubicValue(r0[k], r1[k], r2[k], r3[k], a));
    }
    template <class T>
    static void CubicVertC3of4(T* dst, int count, float t, const float* r0, const float* r1, const float* r2,
                               const float* r3) {
        const CubicCoeffs a = CubicCoefficients(t);
        for (int p = 0; p < count; ++p)
            for (int c = 0; c < 3; ++c) {
                const int k = 3 * p + c;
                dst[4 * p + c] = engine::StoreFiltered<T>(CubicValue(r0[k], r1[k], r2[k], r3[k], a));
            }
    }

    // ---- six-tap ------------------------------------------------------------------------
    static void ComputeSixTapWeights(const float* frac, int count, float* out) {
        for (int i = 0; i < count; ++i) {
            double x = -2.0 - static_cast<double>(frac[i]);
            for (int j = 0; j < 6; ++j) {
                float w = 0.0f;
                if (x > -3.0 && x < 3.0) {
                    const double s = (x < 0 ? -x : x) * 100.0;
                    const int k = static_cast<int>(s);
                    const double t0 = SixTapKernelTable[k], t1 = SixTapKernelTable[k + 1];
                    w = static_cast<float>(t0 + (t1 - t0) * (s - k));
                }
                out[6 * i + j] = w;
                x += 1.0;
            }
        }
    }
    // Horizontal six-tap: taps at base - 2 .. base + 3 pixels; a tap left of the image reads the
    // image's first column, one right of it the last column. `margin` is the number of image
    // columns left of the region, `avail` those from the region's first column to the right edge.
    template <class T, int CH>
    static void SixTapHorz(const T* src, int nb, const std::int32_t* idx, const float* wts, float* out, int count,
                           int margin, int avail) {
        const int lo = margin >= 2 ? -2 : -margin;  // lowest tap column that may be read
        const int hi = avail - 1;
        for (int p = 0; p < count; ++p) {
            const int col = idx[p] / nb;
            const float* w = wts + 6 * p;
            if (col - 2 >= lo && col + 3 <= hi) {
                const T* s = src + idx[p];
                for (int c = 0; c < CH; ++c) {
                    double sum = static_cast<double>(w[0]) * s[c - 2 * nb];
                    sum += static_cast<double>(w[1]) * s[c - nb];
                    sum += static_cast<double>(w[2]) * s[c];
                    sum += static_cast<double>(w[3]) * s[c + nb];
                    sum += static_cast<double>(w[4]) * s[c + 2 * nb];
                    sum += static_cast<double>(w[5]) * s[c + 3 * nb];
                    out[CH * p + c] = static_cast<float>(sum);
                }
            } else {
                std::ptrdiff_t off[6];
                for (int j = 0; j < 6; ++j) {
                    int cc = col + j - 2;
                    cc = cc < lo ? lo : (cc > hi ? hi : cc);
                    off[j] = static_cast<std::ptrdiff_t>(cc) * nb;
                }
                for (int c = 0; c < CH; ++c) {
                    double sum = static_cast<double>(w[0]) * src[off[0] + c];
                    for (int j = 1; j < 6; ++j) sum += static_cast<double>(w[j]) * src[off[j] + c];
                    out[CH * p + c] = static_cast<float>(sum);
                }
            }
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
    static double SixTapSum(const float* w, const float* const* r, int k) {
        double sum = static_cast<double>(r[0][k]) * w[0];
        for (int j = 1; j < 6; ++j) sum += static_cast<double>(r[j][k]) * w[j];
        return sum;
    }
    template <class T>
    static void SixTapVert(T* dst, int count, const float* w, const float* const* rows) {
        for (int k = 0; k < count; ++k) dst[k] = engine::StoreFiltered<T>(SixTapSum(w, rows, k));
    }
    template <class T>
    static void SixTapVertC3of4(T* dst, int count, const float* w, const float* const* rows) {
        for (int p = 0; p < count; ++p)
            for (int c = 0; c < 3; ++c) dst[4 * p + c] = engine::StoreFiltered<T>(SixTapSum(w, rows, 3 * p + c));
    }

    // ---- super-sampling accumulators ----------------------------------------------------
    // Whole-ratio pixels from integer column sums: a build with a faster exact route writes the
    // first pixels itself and returns how many; this build leaves them all to the engine.
    // A whole destination row of whole ratios straight from the source rows: a build with such a
    // route returns true when it wrote the row; this build never does.
    template <class T>
    static bool SuperWholeRow(const std::uint8_t* /*src*/, std::ptrdiff_t /*srcStep*/, int /*len*/, int /*width*/,
                              int /*ix*/, int /*iy*/, int /*V*/, int /*C*/, double /*area*/, std::uint8_t* /*out*/) {
        return false;
    }
    template <class T>
    static int SuperWholeSlots(const std::uint32_t* /*acc*/, int /*ix*/, int /*V*/, int /*C*/, int /*count*/,
                               double /*area*/, std::uint8_t* /*out*/) {
        return 0;
    }
    // acc[k] = float(acc[k] + v w) in double precision for the C used values of each of the `n`
    // pixels of one source row (V values apart): a row the footprint takes in part.
    template <class T>
    static void SuperAddWeighted(const std::uint8_t* src, int n, int V, int C, double w, float* acc) {
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < C; ++c) {
                const int k = i * V + c;
                const double v = engine::LoadSample<T>(src + k * static_cast<std::ptrdiff_t>(sizeof(T)));
                acc[k] = static_cast<float>(static_cast<double>(acc[k]) + v * w);
            }
    }
    // One destination row of a fractional horizontal ratio from the accumulator row: each
    // column's sum as its plan says, in double precision, rounded to float, scaled by `area` and
    // stored. `last` is the last accumulated column.
    template <class T>
    static void SuperFracColumns(const float* acc, const engine::SuperColumnPlan* plans, int width, int last, int V,
                                 int C, double area, std::uint8_t* out) {
        constexpr std::ptrdiff_t E = sizeof(T);
        for (int k = 0; k < width; ++k) {
            const engine::SuperColumnPlan& pl = plans[k];
            for (int c = 0; c < C; ++c) {
                double s = 0.0;
                if (pl.lead >= 0) s += pl.g * static_cast<double>(acc[static_cast<std::ptrdiff_t>(pl.lead) * V + c]);
                for (int t = 0; t < pl.inside; ++t) s += acc[(static_cast<std::ptrdiff_t>(pl.from) + t) * V + c];
                if (pl.beyond > 0.0) s += static_cast<double>(acc[static_cast<std::ptrdiff_t>(last) * V + c]) * pl.beyond;
                if (pl.q >= 0) s += pl.e * static_cast<double>(acc[static_cast<std::ptrdiff_t>(pl.q) * V + c]);
                engine::StoreSuper<T>(static_cast<double>(static_cast<float>(s)) * area,
                                      out + (static_cast<std::ptrdiff_t>(k) * V + c) * E);
            }
        }
    }
    // Adds `rows` source rows of `n` pixels (V values apart, C of them used) into `acc`.
    // Integer samples sum into wrapping 32-bit integers, floats into floats. `fcase` tells which
    // of the driver's cases (whole or fractional ratios) the rows serve; these sums are the same
    // in every case.
    template <class T, class Acc>
    static void SuperAccum(const std::uint8_t* src, std::ptrdiff_t srcStep, int n, int rows, Acc* acc, int V, int C,
                           int /*fcase*/) {
        constexpr std::ptrdiff_t E = sizeof(T);
        for (int r = 0; r < rows; ++r) {
            const std::uint8_t* s = src + r * srcStep;
            if (V == C) {
                const int m = n * V;
                for (int k = 0; k < m; ++k)
                    acc[k] = static_cast<Acc>(acc[k] + static_cast<Acc>(engine::LoadSample<T>(s + k * E)));
            } else {
                for (int i = 0; i < n; ++i)
                    for (int c = 0; c < C; ++c) {
                        const int k = i * V + c;
                        acc[k] = static_cast<Acc>(acc[k] + static_cast<Acc>(engine::LoadSample<T>(s + k * E)));
                    }
            }
        }
    }
};

}  // namespace TRELVIX_SCALING_BUILD_TAG
}  // namespace scaling::generic
