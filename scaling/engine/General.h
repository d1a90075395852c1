// The general resize driver: checks, mode fall-backs, clipping, mapping of destination columns
// and rows to source positions, the index and weight tables, and the kernel call. Instantiated
// once per build with that build's arithmetic B.
#pragma once

#include "scaling/engine/BuildTag.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "scaling/Aligned.h"
#include "scaling/Resize.h"
#include "scaling/engine/Common.h"
#include "scaling/engine/Kernels.h"

namespace scaling::engine {
inline namespace TRELVIX_SCALING_BUILD_TAG {

constexpr std::int64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();
constexpr double kTwo31 = 2147483648.0;

// The first checks both drivers make, in their order. Returns ResizeOk when all pass.
inline ResizeStatus CheckCommon(const void* src, ResizeSize srcSize, int srcStep, ResizeRect roi, const void* dst,
                                int dstStep, ResizeSize dstSize, double xf, double yf) {
    if (!src || !dst) return ResizeErrNullPointer;
    if (srcSize.width <= 0 || srcSize.height <= 0) return ResizeErrSize;
    if (srcStep <= 0 || dstStep <= 0) return ResizeErrStep;
    if (roi.x < 0 || roi.y < 0) return ResizeErrSize;
    if (roi.width <= 0 || roi.height <= 0) return ResizeErrSize;
    if (roi.x >= srcSize.width || roi.y >= srcSize.height) return ResizeWarnNoOverlap;
    if (dstSize.width <= 0 || dstSize.height <= 0) return ResizeErrSize;
    if (!(xf > 0.0) || !(yf > 0.0)) return ResizeErrFactor;
    return ResizeOk;
}

// Pixel layout of a call. False for a layout the kernels do not have: a channel count other
// than 1, 3 or 4, one channel in wider pixels, three channels in fewer than three samples...
struct Layout {
    int channels;   // 1, 3 or 4 (planar: 1 per plane)
    int stride;     // samples per pixel
    int planes;     // 0 interleaved, else 1, 3 or 4
    int elemSize;   // bytes per sample
    int elemShift;  // log2 of elemSize
};

inline bool MakeLayout(int pixelStride, int channels, int dataType, int planar, Layout& out) {
    if (dataType < DataType8u || dataType > DataType32f) return false;
    out.elemShift = dataType == DataType8u ? 0 : (dataType == DataType16u ? 1 : 2);
    out.elemSize = 1 << out.elemShift;
    if (channels != 1 && channels != 3 && channels != 4) return false;
    const int ch = channels;
    if (planar) {
        out.planes = ch;
        out.channels = 1;
        out.stride = 1;
        return true;
    }
    out.planes = 0;
    out.channels = ch;
    out.stride = pixelStride;
    if (ch == 1) return pixelStride == 1;
    if (ch == 4) return pixelStride == 4;
    return pixelStride == 3 || pixelStride == 4;
}

// The layout of a call, checked: unknown data types are a mode error, layouts that do not fit
// a size error, and every plane of a planar call must be given.
inline ResizeStatus CheckLayout(const void* src, void* dst, int pixelStride, int channels, int dataType, int planar,
                                Layout& out) {
    if (!MakeLayout(pixelStride, channels, dataType, planar, out))
        return dataType < DataType8u || dataType > DataType32f ? ResizeErrMode : ResizeErrSize;
    if (planar) {
        const void* const* sp = static_cast<const void* const*>(src);
        void* const* dp = static_cast<void* const*>(dst);
        for (int p = 0; p < out.planes; ++p)
            if (!sp[p] || !dp[p]) return ResizeErrNullPointer;
    }
    return ResizeOk;
}

// Byte extent of a picture of w x h pixels: the last row's start plus one row of pixels.
inline std::int64_t Extent(int w, int h, int step, int pixelBytes) {
    return static_cast<std::int64_t>(h - 1) * step + static_cast<std::int64_t>(w) * pixelBytes;
}

// Destination clip of one axis. Returns false when the count derived from the factor leaves
// 32-bit range. With factors as source pixels per destination pixel (convention 0), sampling at
// pixel centres fits as many destination pixels as whole steps fill the region; the filters,
// whose first position is the region's first pixel, fit that pixel and every whole step after
// it that stays on the region.
inline bool ClipAxis(int roiLen, double factor, int convention, int& dstLen, bool centres = true) {
    const double n = convention ? std::trunc(factor * roiLen + kEps)
                     : centres  ? std::trunc(roiLen / factor + kEps)
                                : std::trunc((roiLen - 1) / factor + kEps) + 1.0;
    if (!(n < kTwo31)) return false;
    const int ni = static_cast<int>(n);
    if (ni < dstLen) dstLen = ni < 1 ? 1 : ni;
    return true;
}

// Positions of one axis, in source pixels from the region's first pixel: first position and
// step; every later position is the previous one plus the step.
struct AxisMap {
    double first, step;
};
inline AxisMap MapAxis(bool nearest, double factor, int roiLen, double shift, int convention) {
    AxisMap m;
    if (convention) {
        if (nearest) {
            m.step = 1.0 / factor;
            m.first = m.step / 2.0;
        } else {
            const double span = factor * roiLen;
            m.step = span > 1.0 ? (roiLen - 1) / (span - 1.0) : 0.0;
            m.first = 0.0;
        }
    } else {
        m.step = factor;
        m.first = nearest ? factor / 2.0 : 0.0;
    }
    m.first += shift;
    return m;
}

// Base and fraction of a position, kept within the image: positions before the region's first
// pixel or past the image's last are taken at those pixels.
inline void BaseOf(double p, int last, int& base, double& pc) {
    pc = p < 0.0 ? 0.0 : (p > last ? static_cast<double>(last) : p);
    base = static_cast<int>(pc + kEps);
    if (base > last) base = last;
}

// Per-axis table fill. `origin` is the region's first pixel in the image, `avail` the image
// pixels from there to the far edge, `mult` the index multiplier.
template <class T>
struct AxisTables {
    std::int32_t* idx = nullptr;
    void* weights = nullptr;  // linear 8u/16u: uint16 (pairs for columns); else float
};

template <class T>
void FillAxis(int mode, bool column, int count, const AxisMap& m, int origin, int avail, int srcLen,
              std::int64_t mult, std::int32_t* idx, void* weights) {
    const int last = avail - 1;
    double p = m.first;
    for (int k = 0; k < count; ++k, p += m.step) {
        int base;
        double pc;
        BaseOf(p, last, base, pc);
        if (mode == ResizeModeLinear) {
            if constexpr (std::is_same_v<T, float>) {
                float f;
                if (base == last) {
                    base = last - 1;
                    f = 1.0f;
                } else {
                    f = static_cast<float>(pc - base);
                }
                static_cast<float*>(weights)[k] = f;
            } else {
                std::uint16_t w;
                if (base == last) {
                    base = last - 1;
                    w = 16384;
                } else {
                    w = static_cast<std::uint16_t>(static_cast<std::int32_t>((pc - base) * 16384.0 + kEps));
                }
                auto* wt = static_cast<std::uint16_t*>(weights);
                if (column) {
                    wt[2 * k] = static_cast<std::uint16_t>(16384 - w);
                    wt[2 * k + 1] = w;
                } else {
                    wt[k] = w;
                }
            }
        } else if (mode == ResizeModeCubic) {
            const int a = origin + base;
            float t;
            if (a == srcLen - 1) {
                base -= 2;
                t = 2.0f;
            } else {
                if (a == 0) base += 1;
                else if (a == srcLen - 2) base -= 1;
                t = static_cast<float>(pc - base);
            }
            static_cast<float*>(weights)[k] = t;
        } else if (mode == ResizeModeSixTap) {
            static_cast<float*>(weights)[k] = static_cast<float>(pc - base);
        }
        idx[k] = static_cast<std::int32_t>(base * mult);
    }
}

// Everything one call allocates; freed in one place whatever happened.
struct GeneralBuffers {
    std::int32_t* rowIdx = nullptr;
    std::int32_t* colIdx = nullptr;
    void* rowW = nullptr;
    void* colW = nullptr;
    void* work[6] = {};
    float* colSix = nullptr;
    float* rowSix = nullptr;
    ~GeneralBuffers() {
        AlignedFree(rowIdx);
        AlignedFree(colIdx);
        AlignedFree(rowW);
        AlignedFree(colW);
        for (void* w : work) AlignedFree(w);
        AlignedFree(colSix);
        AlignedFree(rowSix);
    }
};

// True when the linear column tables make the horizontal pass a plain copy of consecutive
// whole pixels starting at column 0 (a horizontal factor of 1.0): all weight on the left sample,
// except at the image's last column, where the index is one pixel left and all weight is on the
// right. Only for layouts whose work row has the source's own packing.
inline bool LinearColumnsAreCopies(int W, const std::int32_t* idx, const std::uint16_t* wts, const Layout& L) {
    const int nb = L.channels == 1 ? 1 : L.stride;
    if (L.channels != 1 && L.stride != L.channels) return false;
    for (int k = 0; k < W; ++k) {
        const std::int64_t at = static_cast<std::int64_t>(k) * nb;
        const bool left = wts[2 * k] == 16384 && idx[k] == at;
        const bool right = wts[2 * k + 1] == 16384 && idx[k] + nb == at;
        if (!left && !right) return false;
    }
    return true;
}

template <class B, class T, FilterKind K>
void RunFilterKernel(const T* origin, T* dst, std::ptrdiff_t srcStepE, std::ptrdiff_t dstStepE, int W, int H,
                     const GeneralBuffers& b, const Layout& L, ResizeRect roi, int availW, int availH) {
    using Types = FilterTypes<T, K>;
    SeparableArgs<T, K> a;
    a.src = origin;
    a.dst = dst;
    a.srcStep = srcStepE;
    a.dstStep = dstStepE;
    a.width = W;
    a.height = H;
    a.rowIdx = b.rowIdx;
    a.colIdx = b.colIdx;
    if constexpr (K == FilterSixTap) {
        a.rowWeights = b.rowSix;
        a.colWeights = b.colSix;
    } else {
        a.rowWeights = static_cast<const typename Types::RowWeight*>(b.rowW);
        a.colWeights = static_cast<const typename Types::ColWeight*>(b.colW);
    }
    for (int i = 0; i < 6; ++i) a.work[i] = static_cast<typename Types::Work*>(b.work[i]);
    a.stride = L.stride;
    a.channels = L.channels;
    a.roiX = roi.x;
    a.roiY = roi.y;
    a.availW = availW;
    a.availH = availH;
    a.horzCopy = false;
    if constexpr (K == FilterLinear && !std::is_same_v<T, float>)
        a.horzCopy = LinearColumnsAreCopies(W, b.colIdx, static_cast<const std::uint16_t*>(b.colW), L);
    ResizeSeparable<B, T, K>(a);
}

template <class B, class T>
void RunKernel(int mode, const T* origin, T* dst, std::ptrdiff_t srcStepE, std::ptrdiff_t dstStepE, int W, int H,
               const GeneralBuffers& b, const Layout& L, ResizeRect roi, int availW, int availH) {
    switch (mode) {
        case ResizeModeNearest: {
            const std::int64_t rowLen = static_cast<std::int64_t>(availW) * L.stride;  // samples from the origin
            if (L.channels == 1) ResizeNearest<T, 1>(origin, dst, dstStepE, W, H, b.rowIdx, b.colIdx, 1, rowLen);
            else if (L.channels == 4) ResizeNearest<T, 4>(origin, dst, dstStepE, W, H, b.rowIdx, b.colIdx, 4, rowLen);
            else ResizeNearest<T, 3>(origin, dst, dstStepE, W, H, b.rowIdx, b.colIdx, L.stride, rowLen);
            break;
        }
        case ResizeModeLinear:
            RunFilterKernel<B, T, FilterLinear>(origin, dst, srcStepE, dstStepE, W, H, b, L, roi, availW, availH);
            break;
        case ResizeModeCubic:
            RunFilterKernel<B, T, FilterCubic>(origin, dst, srcStepE, dstStepE, W, H, b, L, roi, availW, availH);
            break;
        default:
            RunFilterKernel<B, T, FilterSixTap>(origin, dst, srcStepE, dstStepE, W, H, b, L, roi, availW, availH);
            break;
    }
}

template <class B, class T>
ResizeStatus GeneralTyped(const void* src, ResizeSize srcSize, int srcStep, ResizeRect roi, void* dst, int dstStep,
                          int W, int H, const AxisMap& xm, const AxisMap& ym, const Layout& L, int mode) {
    const std::ptrdiff_t srcStepE = srcStep >> L.elemShift;
    const std::ptrdiff_t dstStepE = dstStep >> L.elemShift;
    const int availW = srcSize.width - roi.x, availH = srcSize.height - roi.y;
    const bool linearFixed = mode == ResizeModeLinear && !std::is_same_v<T, float>;
    const int taps = mode == ResizeModeLinear ? 2 : (mode == ResizeModeCubic ? 4 : (mode == ResizeModeSixTap ? 6 : 0));

    GeneralBuffers b;
    b.rowIdx = AlignedAlloc32s(H);
    b.colIdx = AlignedAlloc32s(W);
    if (!b.rowIdx || !b.colIdx) return ResizeErrNoMemory;
    if (taps) {
        if (linearFixed) {
            b.rowW = AlignedAlloc16s(H);
            b.colW = AlignedAlloc16s(2 * static_cast<std::int64_t>(W));
        } else {
            b.rowW = AlignedAlloc32f(H);
            b.colW = AlignedAlloc32f(W);
        }
        if (!b.rowW || !b.colW) return ResizeErrNoMemory;
        const std::int64_t ch = L.channels;
        const std::int64_t workLen = ch * W + 4 * ch;
        for (int i = 0; i < taps; ++i) {
            b.work[i] = linearFixed ? static_cast<void*>(AlignedAlloc16s(workLen)) : static_cast<void*>(AlignedAlloc32f(workLen));
            if (!b.work[i]) return ResizeErrNoMemory;
        }
        if (taps == 6) {
            b.colSix = AlignedAlloc32f(6 * static_cast<std::int64_t>(W));
            b.rowSix = AlignedAlloc32f(6 * static_cast<std::int64_t>(H));
            if (!b.colSix || !b.rowSix) return ResizeErrNoMemory;
        }
    }
    const std::int64_t colMult = L.channels == 1 ? 1 : L.stride;
    FillAxis<T>(mode, true, W, xm, roi.x, availW, srcSize.width, colMult, b.colIdx, b.colW);
    FillAxis<T>(mode, false, H, ym, roi.y, availH, srcSize.height, srcStepE, b.rowIdx, b.rowW);
    if (taps == 6) {
        B::ComputeSixTapWeights(static_cast<const float*>(b.colW), W, b.colSix);
        B::ComputeSixTapWeights(static_cast<const float*>(b.rowW), H, b.rowSix);
    }

    if (!L.planes) {
        const T* origin = static_cast<const T*>(src) + roi.y * srcStepE + static_cast<std::ptrdiff_t>(roi.x) * L.stride;
        RunKernel<B, T>(mode, origin, static_cast<T*>(dst), srcStepE, dstStepE, W, H, b, L, roi, availW, availH);
    } else {
        const void* const* sp = static_cast<const void* const*>(src);
        void* const* dp = static_cast<void* const*>(dst);
        for (int p = 0; p < L.planes; ++p) {
            const T* origin = static_cast<const T*>(sp[p]) + roi.y * srcStepE + roi.x;
            RunKernel<B, T>(mode, origin, static_cast<T*>(dp[p]), srcStepE, dstStepE, W, H, b, L, roi, availW, availH);
        }
    }
    return ResizeOk;
}

// For planar data `src` and `dst` point to arrays of plane pointers (1, 3 or 4 planes for
// channel counts 1, 3 and 4).
template <class B>
ResizeStatus ResizeGeneralT(const void* src, ResizeSize srcSize, int srcStep, ResizeRect roi, void* dst, int dstStep,
                            ResizeSize dstSize, double xf, double yf, double xShift, double yShift, int pixelStride,
                            int channels, int dataType, int planar, int interpolation, int factorConvention) {
    ResizeStatus st = CheckCommon(src, srcSize, srcStep, roi, dst, dstStep, dstSize, xf, yf);
    if (st != ResizeOk) return st;
    int mode = interpolation;
    if (mode != ResizeModeNearest && mode != ResizeModeLinear && mode != ResizeModeCubic && mode != ResizeModeSixTap)
        return ResizeErrMode;
    Layout L;
    st = CheckLayout(src, dst, pixelStride, channels, dataType, planar, L);
    if (st != ResizeOk) return st;
    if ((srcStep >> L.elemShift) == 0 || (dstStep >> L.elemShift) == 0) return ResizeErrStep;

    // Small sources fall back to the next simpler filter.
    const int minSide = srcSize.width < srcSize.height ? srcSize.width : srcSize.height;
    if (mode == ResizeModeSixTap && minSide < 6) mode = ResizeModeCubic;
    if (mode == ResizeModeCubic && minSide < 4) mode = ResizeModeLinear;
    if (mode == ResizeModeLinear && minSide < 2) mode = ResizeModeNearest;

    if (roi.width > srcSize.width - roi.x) roi.width = srcSize.width - roi.x;
    if (roi.height > srcSize.height - roi.y) roi.height = srcSize.height - roi.y;
    int W = dstSize.width, H = dstSize.height;
    const bool nearest = mode == ResizeModeNearest;
    if (!ClipAxis(roi.width, xf, factorConvention, W, nearest) ||
        !ClipAxis(roi.height, yf, factorConvention, H, nearest))
        return ResizeErrFactor;

    const int pixelBytes = L.stride * L.elemSize;
    if (Extent(srcSize.width, srcSize.height, srcStep, pixelBytes) > kMaxOffset ||
        Extent(W, H, dstStep, pixelBytes) > kMaxOffset)
        return ResizeErrSize;

    const AxisMap xm = MapAxis(nearest, xf, roi.width, xShift, factorConvention);
    const AxisMap ym = MapAxis(nearest, yf, roi.height, yShift, factorConvention);
    switch (dataType) {
        case DataType8u: return GeneralTyped<B, std::uint8_t>(src, srcSize, srcStep, roi, dst, dstStep, W, H, xm, ym, L, mode);
        case DataType16u: return GeneralTyped<B, std::uint16_t>(src, srcSize, srcStep, roi, dst, dstStep, W, H, xm, ym, L, mode);
        default: return GeneralTyped<B, float>(src, srcSize, srcStep, roi, dst, dstStep, W, H, xm, ym, L, mode);
    }
}

}  // namespace TRELVIX_SCALING_BUILD_TAG
}  // namespace scaling::engine
