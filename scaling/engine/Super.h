// Super-sampling (area-averaging) reduction: the driver and its kernels. Instantiated once per
// build with that build's row accumulators B.
#pragma once

#include "scaling/engine/BuildTag.h"

#include <cmath>
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "scaling/Aligned.h"
#include "scaling/Resize.h"
#include "scaling/engine/Common.h"
#include "scaling/engine/General.h"

namespace scaling::engine {
inline namespace TRELVIX_SCALING_BUILD_TAG {

enum ResizeSuperCase : int { SuperCaseWholeXY = 0, SuperCaseFracY = 1, SuperCaseFracX = 2, SuperCaseFracXY = 3 };

struct SuperArgs {
    const std::uint8_t* src;  // region origin
    std::uint8_t* dst;
    std::ptrdiff_t srcStep, dstStep;  // bytes
    int len;                          // accumulated columns from the region's left edge
    int width, height;                // destination
    int roiHeight;                    // rows that may be read, from the region's top
    double sx, sy, area;
    int V;  // values per pixel in memory
    int C;  // values per pixel used
    int fcase;
};

template <class B, class T, class Acc>
inline void AddRowWeighted(const SuperArgs& a, std::int64_t row, double w, Acc* acc) {
    // Only float accumulators take partial rows.
    if constexpr (std::is_same_v<Acc, float>) {
        if (row >= a.roiHeight) row = a.roiHeight - 1;
        B::template SuperAddWeighted<T>(a.src + row * a.srcStep, a.len, a.V, a.C, w, acc);
    } else {
        (void)a, (void)row, (void)w, (void)acc;
    }
}

// The region's last row added `times` times over: one multiplication (exact for the integer
// sums, which wrap like repeated additions; one rounding for floats).
template <class T, class Acc>
inline void AddLastRowTimes(const SuperArgs& a, std::int64_t times, Acc* acc) {
    const std::uint8_t* s = a.src + static_cast<std::int64_t>(a.roiHeight - 1) * a.srcStep;
    for (int i = 0; i < a.len; ++i)
        for (int c = 0; c < a.C; ++c) {
            const int k = i * a.V + c;
            const T v = LoadSample<T>(s + k * static_cast<std::ptrdiff_t>(sizeof(T)));
            if constexpr (std::is_same_v<Acc, std::uint32_t>)
                acc[k] += static_cast<std::uint32_t>(times) * static_cast<std::uint32_t>(v);
            else
                acc[k] = static_cast<float>(static_cast<double>(acc[k]) + static_cast<double>(v) * static_cast<double>(times));
        }
}

// Adds `count` accumulated columns from column `from` (value c) to s in column order; columns
// past the last accumulated one repeat it.
template <class Acc, class S>
inline S SumColumns(S s, const Acc* acc, std::int64_t from, std::int64_t count, int last, int V, int c) {
    std::int64_t inside = last - from + 1;
    if (inside > count) inside = count;
    if (inside < 0) inside = 0;
    for (std::int64_t t = 0; t < inside; ++t) s += acc[(from + t) * V + c];
    const std::int64_t beyond = count - inside;
    if (beyond > 0) {
        if constexpr (std::is_same_v<S, std::uint32_t>)
            s += static_cast<std::uint32_t>(beyond) * acc[static_cast<std::int64_t>(last) * V + c];
        else
            s += static_cast<double>(acc[static_cast<std::int64_t>(last) * V + c]) * static_cast<double>(beyond);
    }
    return s;
}

template <class B, class T, class Acc>
inline void AddRowsWhole(const SuperArgs& a, std::int64_t row, std::int64_t count, Acc* acc) {
    // Rows inside the region go to the accumulator in one run; rows past it repeat the last.
    std::int64_t inside = a.roiHeight - row;
    if (inside > count) inside = count;
    if (inside > 0) {
        B::template SuperAccum<T, Acc>(a.src + row * a.srcStep, a.srcStep, a.len, static_cast<int>(inside), acc, a.V,
                                       a.C, a.fcase);
    } else {
        inside = 0;
    }
    if (count > inside) AddLastRowTimes<T, Acc>(a, count - inside, acc);
}

// The plan of every destination column, walking the source columns as the reduction does.
inline void MakeSuperColumnPlans(const SuperArgs& a, SuperColumnPlan* plans) {
    const int ix = static_cast<int>(std::floor(a.sx));
    const double fx = a.sx - ix;
    const std::int64_t last = a.len - 1;
    std::int64_t p = 0;
    double r = 0.0;
    for (int k = 0; k < a.width; ++k) {
        SuperColumnPlan& pl = plans[k];
        double g = 0.0, e;
        std::int64_t lead, nw;
        if (k == 0) {
            lead = -1;  // no leading partial column
            nw = ix;
            e = fx;
        } else {
            g = 1.0 - r;
            const double v = a.sx - g;
            nw = static_cast<std::int64_t>(std::floor(v + kEps));
            e = v - static_cast<double>(nw);
            lead = p;
            p += 1;  // the border column is passed whether or not it was added
        }
        pl.g = g;
        pl.lead = lead >= 0 && g > kEps ? static_cast<std::int32_t>(lead < last ? lead : last) : -1;
        std::int64_t inside = last - p + 1;
        if (inside > nw) inside = nw;
        if (inside < 0) inside = 0;
        pl.from = inside > 0 ? static_cast<std::int32_t>(p) : 0;
        pl.inside = static_cast<std::int32_t>(inside);
        pl.beyond = static_cast<double>(nw - inside);
        pl.e = e;
        pl.q = e > kEps || k == 0 ? static_cast<std::int32_t>(p + nw < last ? p + nw : last) : -1;
        p += nw;
        r = e;
    }
}

template <class B, class T, class Acc>
void SuperRows(const SuperArgs& a, Acc* acc, const SuperColumnPlan* plans) {
    const int ix = static_cast<int>(std::floor(a.sx)), iy = static_cast<int>(std::floor(a.sy));
    const double fy = a.sy - iy;
    const bool fracY = a.fcase == SuperCaseFracY || a.fcase == SuperCaseFracXY;
    const bool fracX = a.fcase == SuperCaseFracX || a.fcase == SuperCaseFracXY;
    const int last = a.len - 1;
    const std::int64_t accLen = static_cast<std::int64_t>(a.len) * a.V;
    std::int64_t cur = 0;  // source row cursor
    double rr = 0.0;       // part of the cursor row the previous destination row took
    std::uint8_t* dstRow = a.dst;
    for (int j = 0; j < a.height; ++j, dstRow += a.dstStep) {
        if constexpr (std::is_same_v<Acc, std::uint32_t>) {
            // Whole ratios: a build may make a row whose footprint lies inside the region
            // straight from its source rows, with the accumulator's exact results.
            if (cur + iy <= a.roiHeight &&
                B::template SuperWholeRow<T>(a.src + cur * a.srcStep, a.srcStep, a.len, a.width, ix, iy, a.V, a.C,
                                             a.area, dstRow)) {
                cur += iy;
                continue;
            }
        }
        for (std::int64_t k = 0; k < accLen; ++k) acc[k] = 0;
        // Vertical: the footprint's rows into the accumulator row.
        if (!fracY) {
            AddRowsWhole<B, T, Acc>(a, cur, iy, acc);
            cur += iy;
        } else if (j == 0) {
            AddRowsWhole<B, T, Acc>(a, cur, iy, acc);
            cur += iy;
            AddRowWeighted<B, T>(a, cur, fy, acc);
            rr = fy;
        } else {
            const double g = 1.0 - rr;
            const double v = a.sy - g;
            const std::int64_t nr = static_cast<std::int64_t>(std::floor(v + kEps));
            const double e = v - static_cast<double>(nr);
            if (g > kEps) AddRowWeighted<B, T>(a, cur, g, acc);
            cur += 1;  // the border row is passed whether or not it was added
            AddRowsWhole<B, T, Acc>(a, cur, nr, acc);
            cur += nr;
            if (e > kEps) AddRowWeighted<B, T>(a, cur, e, acc);
            rr = e;
        }
        // Horizontal: reduce along the row and store.
        std::uint8_t* out = dstRow;
        if (!fracX) {
            // Pixels whose whole footprint lies inside the accumulated columns: no clamping.
            // Locals, because stores through a byte pointer could alias the argument record.
            const int V = a.V, C = a.C;
            const double area = a.area;
            const int inside = static_cast<int>(std::min<std::int64_t>(a.width, a.len / ix));
            // A build may finish a leading run of these pixels itself (it returns how many).
            int done = 0;
            if constexpr (std::is_same_v<Acc, std::uint32_t>) done = B::template SuperWholeSlots<T>(acc, ix, V, C, inside, area, out);
            for (int k = done; k < inside; ++k) {
                const Acc* g = acc + static_cast<std::int64_t>(k) * ix * V;
                std::uint8_t* o = out + static_cast<std::ptrdiff_t>(k) * V * static_cast<std::ptrdiff_t>(sizeof(T));
                for (int c = 0; c < C; ++c) {
                    double v;
                    if constexpr (std::is_same_v<Acc, std::uint32_t>) {
                        std::uint32_t sum = 0;
                        for (int t = 0; t < ix; ++t) sum += g[t * V + c];
                        v = static_cast<double>(sum) * area;
                    } else {
                        double sum = 0.0;
                        for (int t = 0; t < ix; ++t) sum += g[t * V + c];
                        v = static_cast<double>(static_cast<float>(sum)) * area;
                    }
                    StoreSuper<T>(v, o + c * static_cast<std::ptrdiff_t>(sizeof(T)));
                }
            }
            for (int k = inside; k < a.width; ++k) {
                const std::int64_t p0 = static_cast<std::int64_t>(k) * ix;
                for (int c = 0; c < a.C; ++c) {
                    double v;
                    if constexpr (std::is_same_v<Acc, std::uint32_t>)
                        v = static_cast<double>(SumColumns<Acc, std::uint32_t>(0u, acc, p0, ix, last, a.V, c)) * a.area;
                    else
                        v = static_cast<double>(static_cast<float>(SumColumns<Acc, double>(0.0, acc, p0, ix, last, a.V, c))) * a.area;
                    StoreSuper<T>(v, out + (static_cast<std::ptrdiff_t>(k) * a.V + c) * static_cast<std::ptrdiff_t>(sizeof(T)));
                }
            }
        } else {
            if constexpr (std::is_same_v<Acc, float>) B::template SuperFracColumns<T>(acc, plans, a.width, last, a.V, a.C, a.area, out);
        }
    }
}

// Reads past the accumulated columns or the region's last row take the last one (edge
// replication), so every destination pixel gets a value from inside the region.
template <class B, class T>
ResizeStatus ResizeSuperKernel(const SuperArgs& a) {
    const bool intSums = a.fcase == SuperCaseWholeXY && !std::is_same_v<T, float>;
    // Four values of margin past the accumulator row, zeroed: a build may read a whole pixel's
    // four lanes at the last one. The column plans when the horizontal ratio is fractional.
    const std::int64_t n = static_cast<std::int64_t>(a.len) * a.V + 4;
    const bool fracX = a.fcase == SuperCaseFracX || a.fcase == SuperCaseFracXY;
    void* mem = intSums ? static_cast<void*>(AlignedAlloc8u(n * 4)) : static_cast<void*>(AlignedAlloc32f(n));
    if (!mem) return ResizeErrNoMemory;
    SuperColumnPlan* plans = nullptr;
    if (fracX) {
        plans = reinterpret_cast<SuperColumnPlan*>(
            AlignedAlloc8u(static_cast<std::int64_t>(a.width) * static_cast<std::int64_t>(sizeof(SuperColumnPlan))));
        if (!plans) {
            AlignedFree(mem);
            return ResizeErrNoMemory;
        }
        MakeSuperColumnPlans(a, plans);
    }
    // Every row clears the accumulator values it uses; the margin is cleared once.
    std::memset(static_cast<std::uint8_t*>(mem) + (n - 4) * 4, 0, 16);
    if (intSums) SuperRows<B, T, std::uint32_t>(a, static_cast<std::uint32_t*>(mem), plans);
    else SuperRows<B, T, float>(a, static_cast<float*>(mem), plans);
    AlignedFree(plans);
    AlignedFree(mem);
    return ResizeOk;
}

// For planar data `src` and `dst` point to arrays of plane pointers (1, 3 or 4 planes for
// channel counts 1, 3 and 4).
template <class B>
ResizeStatus ResizeSuperSampleT(const void* src, ResizeSize srcSize, int srcStep, ResizeRect roi, void* dst,
                                int dstStep, ResizeSize dstSize, double xf, double yf, int pixelStride, int channels,
                                int dataType, int planar, int factorConvention) {
    ResizeStatus st = CheckCommon(src, srcSize, srcStep, roi, dst, dstStep, dstSize, xf, yf);
    if (st != ResizeOk) return st;
    // A footprint smaller than one source pixel is not a reduction.
    if (factorConvention ? (xf > 1.0 || yf > 1.0) : (xf < 1.0 || yf < 1.0)) return ResizeErrFactor;
    Layout L;
    st = CheckLayout(src, dst, pixelStride, channels, dataType, planar, L);
    if (st != ResizeOk) return st;

    if (roi.width > srcSize.width - roi.x) roi.width = srcSize.width - roi.x;
    if (roi.height > srcSize.height - roi.y) roi.height = srcSize.height - roi.y;
    int W = dstSize.width, H = dstSize.height;
    double sx, sy, area;
    if (factorConvention) {
        if (!ClipAxis(roi.width, xf, 1, W) || !ClipAxis(roi.height, yf, 1, H)) return ResizeErrFactor;
        sx = 1.0 / xf;
        sy = 1.0 / yf;
        area = xf * yf;
    } else {
        auto clip0 = [](int roiLen, double f, int& d) {
            if (std::trunc((roiLen - 1) / f + kEps) < d - 1) {
                const double n = std::trunc(roiLen / f + kEps) + 1.0;
                d = n < 1.0 ? 1 : static_cast<int>(n);
            }
        };
        clip0(roi.width, xf, W);
        clip0(roi.height, yf, H);
        sx = xf;
        sy = yf;
        area = 1.0 / (xf * yf);
    }
    if (!(sx < kTwo31) || !(sy < kTwo31)) return ResizeErrFactor;

    const int pixelBytes = L.stride * L.elemSize;
    if (Extent(srcSize.width, srcSize.height, srcStep, pixelBytes) > kMaxOffset ||
        Extent(W, H, dstStep, pixelBytes) > kMaxOffset)
        return ResizeErrSize;

    const double lenD = std::floor((W + 1.0) * sx) + 1.0;
    const int len = lenD < roi.width ? static_cast<int>(lenD) : roi.width;
    const bool fxZero = sx - std::floor(sx) == 0.0, fyZero = sy - std::floor(sy) == 0.0;
    SuperArgs a;
    a.srcStep = srcStep;
    a.dstStep = dstStep;
    a.len = len;
    a.width = W;
    a.height = H;
    a.roiHeight = roi.height;
    a.sx = sx;
    a.sy = sy;
    a.area = area;
    a.fcase = fxZero ? (fyZero ? SuperCaseWholeXY : SuperCaseFracY) : (fyZero ? SuperCaseFracX : SuperCaseFracXY);

    auto run = [&](const void* s, std::int64_t originBytes, void* d) -> ResizeStatus {
        a.src = static_cast<const std::uint8_t*>(s) + originBytes;
        a.dst = static_cast<std::uint8_t*>(d);
        switch (dataType) {
            case DataType8u: return ResizeSuperKernel<B, std::uint8_t>(a);
            case DataType16u: return ResizeSuperKernel<B, std::uint16_t>(a);
            default: return ResizeSuperKernel<B, float>(a);
        }
    };
    if (!L.planes) {
        a.V = L.stride;
        a.C = L.channels;
        return run(src, static_cast<std::int64_t>(roi.y) * srcStep + static_cast<std::int64_t>(roi.x) * pixelBytes, dst);
    }
    a.V = 1;
    a.C = 1;
    const void* const* sp = static_cast<const void* const*>(src);
    void* const* dp = static_cast<void* const*>(dst);
    for (int p = 0; p < L.planes; ++p) {
        st = run(sp[p], static_cast<std::int64_t>(roi.y) * srcStep + static_cast<std::int64_t>(roi.x) * L.elemSize, dp[p]);
        if (st != ResizeOk) return st;
    }
    return ResizeOk;
}

}  // namespace TRELVIX_SCALING_BUILD_TAG
}  // namespace scaling::engine
