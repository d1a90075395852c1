// Kernels of the general driver: the nearest-neighbour gathers and the separable-filter kernels
// with their rings of work rows. The filter arithmetic comes from the build's policy type B.
#pragma once

#include "scaling/engine/BuildTag.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "scaling/engine/Common.h"

namespace scaling::engine {
inline namespace TRELVIX_SCALING_BUILD_TAG {

// ---- nearest neighbour ------------------------------------------------------------------
// CH samples copied per pixel; the destination advances `adv` samples per pixel (the pixel
// stride for three channels, else CH). Offsets in samples.
template <class T, int CH>
void ResizeNearest(const T* src, T* dst, std::ptrdiff_t dstStep, int width, int height, const std::int32_t* rowIdx,
                   const std::int32_t* colIdx, int adv, std::int64_t srcRowLen) {
    if (width <= 0 || height <= 0) return;
    const std::ptrdiff_t rowLen = static_cast<std::ptrdiff_t>(width) * adv;
    // A destination row that repeats the previous source row is a copy of the previous
    // destination row, when every sample of the row is written and rows do not overlap.
    const bool canRepeat = adv == CH && dstStep >= rowLen;
    // Packed 24-bit pixels: the leading run of pixels that may move as 4-byte words (see below),
    // the same for every row.
    int words = 0;
    if constexpr (CH == 3 && sizeof(T) == 1) {
        if (adv == 3)
            while (words + 1 < width && colIdx[words] + 4 <= srcRowLen) ++words;
    }
    T* prev = nullptr;
    for (int r = 0; r < height; ++r, dst += dstStep) {
        if (canRepeat && prev && rowIdx[r] == rowIdx[r - 1]) {
            std::memcpy(dst, prev, static_cast<std::size_t>(rowLen) * sizeof(T));
        } else {
            const T* s = src + rowIdx[r];
            if constexpr (CH == 3 && sizeof(T) == 1) {
                if (adv == 3) {
                    // Packed 24-bit pixels move as 4-byte words: the fourth byte lands on the
                    // next destination pixel, which its own move then rewrites. The last pixel,
                    // and a source pixel with nothing after it in its row, move byte by byte.
                    int k = 0;
                    for (; k < words; ++k) std::memcpy(dst + static_cast<std::ptrdiff_t>(k) * 3, s + colIdx[k], 4);
                    for (; k < width; ++k) {
                        const T* sp = s + colIdx[k];
                        T* dp = dst + static_cast<std::ptrdiff_t>(k) * 3;
                        if (k + 1 < width && colIdx[k] + 4 <= srcRowLen) {
                            std::memcpy(dp, sp, 4);
                        } else {
                            dp[0] = sp[0];
                            dp[1] = sp[1];
                            dp[2] = sp[2];
                        }
                    }
                    prev = dst;
                    continue;
                }
            }
            for (int k = 0; k < width; ++k) {
                const T* sp = s + colIdx[k];
                T* dp = dst + static_cast<std::ptrdiff_t>(k) * adv;
                for (int c = 0; c < CH; ++c) dp[c] = sp[c];
            }
        }
        prev = dst;
    }
}

// ---- separable filters --------------------------------------------------------------------
enum FilterKind { FilterLinear, FilterCubic, FilterSixTap };

template <class T, FilterKind K> struct FilterTypes {
    using Work = float;
    using ColWeight = float;  // cubic fraction per column, or six weights per column
    using RowWeight = float;
};
template <class T> struct FilterTypes<T, FilterLinear> {
    using Work = typename LinearTypes<T>::Work;
    using ColWeight = typename LinearTypes<T>::Weight;
    using RowWeight = typename LinearTypes<T>::RowWeight;
};

template <class T, FilterKind K> struct SeparableArgs {
    using Types = FilterTypes<T, K>;
    const T* src;  // region origin
    T* dst;
    std::ptrdiff_t srcStep, dstStep;  // samples
    int width, height;                // destination, after clipping
    const std::int32_t* rowIdx;       // base row x source step
    const std::int32_t* colIdx;       // base column x pixel stride (or the column)
    const typename Types::RowWeight* rowWeights;  // linear: one per row; cubic: fraction; six-tap: six per row
    const typename Types::ColWeight* colWeights;
    typename Types::Work* work[6];
    int stride;    // samples per source pixel
    int channels;  // 1, 3 or 4
    int roiX, roiY;
    int availW, availH;  // image columns / rows from the region's origin to the right / bottom edge
    bool horzCopy;       // linear 8u/16u: every column takes one source column whole
};

template <FilterKind K> constexpr int kTaps = K == FilterLinear ? 2 : (K == FilterCubic ? 4 : 6);
template <FilterKind K> constexpr int kFirstTap = K == FilterLinear ? 0 : (K == FilterCubic ? -1 : -2);

template <class B, class T, FilterKind K>
void FilterRow(const SeparableArgs<T, K>& a, const T* row, typename FilterTypes<T, K>::Work* out) {
    const int w = a.width;
    if constexpr (K == FilterLinear) {
        if constexpr (!std::is_same_v<T, float>) {
            if (a.horzCopy) {
                B::template LinearHorzCopy<T>(row, w * a.channels, out);
                return;
            }
        }
        if (a.channels == 1) B::template LinearHorzC1<T>(row, w, a.colIdx, a.colWeights, out);
        else if (a.channels == 3) B::template LinearHorzC3<T>(row, w, a.stride, a.colIdx, a.colWeights, out);
        else B::template LinearHorzC4<T>(row, w, a.colIdx, a.colWeights, out);
        if constexpr (std::is_same_v<T, float>) {
            // A column whose weight sits wholly on one sample is that sample: blended, a zero
            // weight on an infinity or NaN beside it would give NaN.
            const int ch = a.channels, nb = ch == 1 ? 1 : a.stride;
            for (int p = 0; p < w; ++p) {
                const float f = a.colWeights[p];
                if (f != 0.0f && f != 1.0f) continue;
                const T* s = row + a.colIdx[p] + (f == 0.0f ? 0 : nb);
                for (int c = 0; c < ch; ++c) out[ch * p + c] = s[c];
            }
        }
    } else if constexpr (K == FilterCubic) {
        if (a.channels == 1) B::template CubicHorzC1<T>(row, w, a.colIdx, a.colWeights, out);
        else if (a.channels == 3) B::template CubicHorzC3<T>(row, w, a.stride, a.colIdx, a.colWeights, out);
        else B::template CubicHorzC4<T>(row, w, a.colIdx, a.colWeights, out);
    } else {
        if (a.channels == 1) B::template SixTapHorzC1<T>(row, a.colIdx, a.colWeights, out, w, a.roiX, a.availW);
        else if (a.channels == 3)
            B::template SixTapHorzC3<T>(row, a.stride, a.colIdx, a.colWeights, out, w, a.roiX, a.availW);
        else B::template SixTapHorzC4<T>(row, a.colIdx, a.colWeights, out, w, a.roiX, a.availW);
    }
}

// Two source rows through the horizontal pass, as two FilterRow calls would; three-channel
// linear rows go to the build in one call, which may share the column reads.
template <class B, class T, FilterKind K>
void FilterRows2(const SeparableArgs<T, K>& a, const T* row0, const T* row1, typename FilterTypes<T, K>::Work* out0,
                 typename FilterTypes<T, K>::Work* out1) {
    if constexpr (K == FilterLinear && !std::is_same_v<T, float>) {
        if (!a.horzCopy && a.channels == 3) {
            B::template LinearHorzC3Rows2<T>(row0, row1, a.width, a.stride, a.colIdx, a.colWeights, out0, out1);
            return;
        }
    }
    FilterRow<B, T, K>(a, row0, out0);
    FilterRow<B, T, K>(a, row1, out1);
}

template <class B, class T, FilterKind K>
void CombineRows(const SeparableArgs<T, K>& a, int r, T* dstRow, typename FilterTypes<T, K>::Work* const* rows) {
    const bool threeOfFour = a.channels != 1 && a.stride != a.channels;
    const int count = threeOfFour ? a.width : a.width * a.channels;
    if constexpr (K == FilterLinear) {
        if constexpr (std::is_same_v<T, float>) {
            // One row carries the whole weight: its values as they are (see SoleLinearTap).
            const float t = a.rowWeights[r];
            if (t == 0.0f || t == 1.0f) {
                const float* one = rows[t == 0.0f ? 0 : 1];
                if (!threeOfFour) {
                    std::memcpy(dstRow, one, static_cast<std::size_t>(count) * sizeof(float));
                } else {
                    for (int p = 0; p < count; ++p)
                        for (int c = 0; c < 3; ++c) dstRow[4 * p + c] = one[3 * p + c];
                }
                return;
            }
        }
        if (threeOfFour) B::template LinearVertC3of4<T>(dstRow, count, a.rowWeights[r], rows[0], rows[1]);
        else B::template LinearVert<T>(dstRow, count, a.rowWeights[r], rows[0], rows[1]);
    } else if constexpr (K == FilterCubic) {
        if (threeOfFour)
            B::template CubicVertC3of4<T>(dstRow, count, a.rowWeights[r], rows[0], rows[1], rows[2], rows[3]);
        else B::template CubicVert<T>(dstRow, count, a.rowWeights[r], rows[0], rows[1], rows[2], rows[3]);
    } else {
        const float* const* rr = rows;
        if (threeOfFour) B::template SixTapVertC3of4<T>(dstRow, count, a.rowWeights + 6 * r, rr);
        else B::template SixTapVert<T>(dstRow, count, a.rowWeights + 6 * r, rr);
    }
}

// Walks the destination row by row. The work rows form a ring keyed by the source row each
// holds: when the base moves, rows still in the window keep their work rows and only the new
// ones are filtered, so a source row is filtered once however many destination rows use it.
// Taps above or below the image use the image's first or last row (the same work row serves
// every tap that lands on it).
// Linear filtering of integer samples when the horizontal pass is a plain copy (a horizontal
// factor of 1.0, as in line doubling): each destination row is blended straight from its two
// source rows, without work rows. The build's LinearVertDirect gives the values the work-row
// route gives; a row whose weight sits wholly on one source row is that row, copied.
template <class B, class T>
void ResizeLinearRowsDirect(const SeparableArgs<T, FilterLinear>& a) {
    const std::size_t count = static_cast<std::size_t>(a.width) * static_cast<std::size_t>(a.channels);
    const std::int64_t bottom = a.availH - 1;
    T* dstRow = a.dst;
    for (int r = 0; r < a.height; ++r, dstRow += a.dstStep) {
        const std::int64_t base = a.rowIdx[r] / a.srcStep;
        const std::int64_t r0 = base > bottom ? bottom : base;
        const std::int64_t r1 = base + 1 > bottom ? bottom : base + 1;
        const std::uint16_t w = a.rowWeights[r];
        const T* upper = a.src + r0 * a.srcStep;
        const T* lower = a.src + r1 * a.srcStep;
        if (w == 0 || r0 == r1) std::memcpy(dstRow, upper, count * sizeof(T));
        else if (w == 16384) std::memcpy(dstRow, lower, count * sizeof(T));
        else B::template LinearVertDirect<T>(dstRow, static_cast<int>(count), w, upper, lower);
    }
}

// Linear: the tap (0 upper, 1 lower) that carries the whole weight of destination row r, or -1
// when both rows count. The other row is not read at all: its zero weight would still turn an
// infinity or NaN there into NaN, and it costs a horizontal pass.
template <class T, FilterKind K>
int SoleLinearTap(const SeparableArgs<T, K>& a, int r) {
    if constexpr (K != FilterLinear) {
        return -1;
    } else {
        using Weight = typename FilterTypes<T, K>::RowWeight;
        constexpr Weight kOne = static_cast<Weight>(std::is_same_v<T, float> ? 1 : 16384);
        const Weight w = a.rowWeights[r];
        return w == Weight(0) ? 0 : (w == kOne ? 1 : -1);
    }
}

template <class B, class T, FilterKind K>
void ResizeSeparable(const SeparableArgs<T, K>& a) {
    if constexpr (K == FilterLinear && !std::is_same_v<T, float>) {
        if (a.horzCopy) {
            if (a.width > 0 && a.height > 0) ResizeLinearRowsDirect<B, T>(a);
            return;
        }
    }
    using Work = typename FilterTypes<T, K>::Work;
    constexpr int N = kTaps<K>;
    constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::min();
    if (a.width <= 0 || a.height <= 0) return;
    std::int64_t held[N];
    for (int s = 0; s < N; ++s) held[s] = kNone;
    Work* taps[N] = {};
    std::int64_t lastBase = kNone;
    int lastSole = -1;
    const std::int64_t top = -static_cast<std::int64_t>(a.roiY), bottom = a.availH - 1;
    T* dstRow = a.dst;
    for (int r = 0; r < a.height; ++r, dstRow += a.dstStep) {
        const std::int64_t base = a.rowIdx[r] / a.srcStep;
        const int sole = SoleLinearTap(a, r);
        if (base != lastBase || sole != lastSole) {
            std::int64_t need[N];
            bool have[N];
            bool slotUsed[N] = {};
            for (int j = 0; j < N; ++j) {
                std::int64_t row = base + kFirstTap<K> + (sole < 0 ? j : sole);
                need[j] = row < top ? top : (row > bottom ? bottom : row);
                have[j] = false;
                for (int s = 0; s < N; ++s)
                    if (held[s] == need[j]) {
                        taps[j] = a.work[s];
                        slotUsed[s] = true;
                        have[j] = true;
                        break;
                    }
            }
            int fresh[N];  // slots whose rows are to be filtered, in tap order
            int freshCount = 0;
            for (int j = 0; j < N; ++j) {
                if (have[j]) continue;
                // A later tap may need the row an earlier missing tap takes.
                bool found = false;
                for (int s = 0; s < N && !found; ++s)
                    if (slotUsed[s] && held[s] == need[j]) {
                        taps[j] = a.work[s];
                        found = true;
                    }
                if (found) continue;
                int s = 0;
                while (slotUsed[s]) ++s;
                slotUsed[s] = true;
                held[s] = need[j];
                taps[j] = a.work[s];
                fresh[freshCount++] = s;
            }
            int f = 0;
            for (; f + 2 <= freshCount; f += 2)
                FilterRows2<B, T, K>(a, a.src + held[fresh[f]] * a.srcStep, a.src + held[fresh[f + 1]] * a.srcStep,
                                     a.work[fresh[f]], a.work[fresh[f + 1]]);
            if (f < freshCount) FilterRow<B, T, K>(a, a.src + held[fresh[f]] * a.srcStep, a.work[fresh[f]]);
            lastBase = base;
            lastSole = sole;
        }
        CombineRows<B, T, K>(a, r, dstRow, taps);
    }
}

}  // namespace TRELVIX_SCALING_BUILD_TAG
}  // namespace scaling::engine
