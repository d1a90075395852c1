#include "reference_model.h"

#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "scaling/SixTapTable.h"

namespace model {
namespace {

constexpr double kEps = 1e-7;

struct Pic {
    const std::uint8_t* base;
    long step;
    int stride;  // samples per pixel
    int elem;
};

template <class T> T Get(const Pic& p, long row, long col, int c) {
    T v;
    std::memcpy(&v, p.base + row * p.step + (col * p.stride + c) * p.elem, sizeof(T));
    return v;
}
template <class T> void Put(std::uint8_t* base, long step, int stride, long row, long col, int c, T v) {
    std::memcpy(base + row * step + (col * stride + c) * static_cast<long>(sizeof(T)), &v, sizeof(T));
}

template <class T> T Finish(double v) {
    if constexpr (std::is_same_v<T, float>) {
        return static_cast<float>(v);
    } else {
        const double mx = std::is_same_v<T, std::uint8_t> ? 255.0 : 65535.0;
        double t = std::trunc(v + kEps);
        if (t < 0) t = 0;
        if (t > mx) t = mx;
        return static_cast<T>(t);
    }
}

// One axis of the general driver's mapping, for one destination index.
struct AxisTap {
    int base;      // after the edge moves, relative to the region
    double frac;   // position minus the base (before any edge move)
    int wFixed;    // linear integer weight of the far sample
    float wFloat;  // linear float fraction / cubic t / six-tap fraction
};

std::vector<AxisTap> Axis(int mode, int count, double f, int roiLen, int origin, int srcLen, int convention) {
    std::vector<AxisTap> out(count);
    const int last = srcLen - origin - 1;
    double step, p;
    if (!convention) {
        step = f;
        p = mode == scaling::ResizeModeNearest ? f / 2.0 : 0.0;
    } else if (mode == scaling::ResizeModeNearest) {
        step = 1.0 / f;
        p = step / 2.0;
    } else {
        step = f * roiLen > 1.0 ? (roiLen - 1) / (f * roiLen - 1.0) : 0.0;
        p = 0.0;
    }
    for (int k = 0; k < count; ++k, p += step) {
        double pc = std::fmin(std::fmax(p, 0.0), static_cast<double>(last));
        int b = static_cast<int>(std::trunc(pc + kEps));
        if (b > last) b = last;
        AxisTap t{b, pc - b, 0, 0.0f};
        if (mode == scaling::ResizeModeLinear) {
            if (b == last) {
                t.base = last - 1;
                t.wFixed = 16384;
                t.wFloat = 1.0f;
            } else {
                t.wFixed = static_cast<int>(std::trunc((pc - b) * 16384.0 + kEps));
                t.wFloat = static_cast<float>(pc - b);
            }
        } else if (mode == scaling::ResizeModeCubic) {
            const int a = origin + b;
            if (a == srcLen - 1) {
                t.base = b - 2;
                t.wFloat = 2.0f;
            } else {
                if (a == 0) t.base = b + 1;
                else if (a == srcLen - 2) t.base = b - 1;
                t.wFloat = static_cast<float>(pc - t.base);
            }
        } else if (mode == scaling::ResizeModeSixTap) {
            t.wFloat = static_cast<float>(pc - b);
        }
        out[k] = t;
    }
    return out;
}

double CubicAt(double q0, double q1, double q2, double q3, float t) {
    const double td = t;
    const double a1 = td + 1.0, a2 = a1 * td * 0.5, a3 = a2 * (td - 1.0) / 3.0;
    const double d1 = q1 - q0, d2 = (q2 - q1) - d1, d3 = (q1 - 2.0 * q2 + q3) - d2;
    return q0 + a1 * d1 + a2 * d2 + a3 * d3;
}

// ---- the SSE build's single-precision cubic ------------------------------------------------
// Which code computes a value: the four-value loops take indices below the largest multiple of
// four of the pass's count, the scalar code the rest.
// PixelH: the SSE2 build's multi-channel horizontal passes, one packed evaluation per pixel.
enum class CubicForm { LoopH, LoopV, ScalarH, ScalarV, ScalarVC3of4, PixelH };
const float kThird = [] {
    const std::uint32_t bits = 0x3EAAAAAAu;
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}();

float CubicAtF(float f0, float f1, float f2, float f3, float t, CubicForm form) {
    const float t1 = t + 1.0f;
    const float a2 = (t * t1) * 0.5f;
    float a3;
    if (form == CubicForm::LoopH) a3 = (t - 1.0f) * (a2 * kThird);
    else if (form == CubicForm::LoopV || form == CubicForm::PixelH) a3 = ((t - 1.0f) * kThird) * a2;
    else a3 = ((t - 1.0f) * a2) / 3.0f;
    const float d1 = f1 - f0;
    switch (form) {
        case CubicForm::PixelH:
        case CubicForm::LoopH: {
            const float d2 = (f2 - f1) - d1, d3 = ((f3 - f2) - f2) + (f1 - d2);
            return (f0 + d1 * t1) + (d2 * a2 + d3 * a3);
        }
        case CubicForm::LoopV: {
            const float d2 = (f2 - f1) - d1, d3 = (f3 - d2) + ((f1 - f2) - f2);
            return (f0 + d1 * t1) + (d2 * a2 + d3 * a3);
        }
        case CubicForm::ScalarH: {
            const float d2 = (f2 - f1) - d1, d3 = ((f1 - (f2 + f2)) + f3) - d2;
            return ((f0 + a3 * d3) + a2 * d2) + t1 * d1;
        }
        case CubicForm::ScalarV: {
            const float d2 = (f2 - f1) - d1, d3 = (((f3 - f2) - f2) + f1) - d2;
            return ((f0 + a3 * d3) + a2 * d2) + t1 * d1;
        }
        default: {
            const float d2 = (f2 - d1) - f1, d3 = (((f3 - d2) - f2) - f2) + f1;
            return ((a3 * d3 + a2 * d2) + t1 * d1) + f0;
        }
    }
}

// Integer results of the loops: bias, round to nearest even, saturate.
template <class T> T LoopRound(float v) {
    if constexpr (std::is_same_v<T, float>) {
        return v;
    } else {
        const double mx = std::is_same_v<T, std::uint8_t> ? 255.0 : 65535.0;
        const double r = std::nearbyint(static_cast<double>(v + 1e-5f));
        return static_cast<T>(r < 0 ? 0 : (r > mx ? mx : r));
    }
}

template <class T>
void GeneralPlane(const Call& c, const Pic& src, std::uint8_t* dst, int dstStride, int chans, int W, int H,
                  int mode, int srcW, int srcH, Build build) {
    const bool sse = build != Build::Generic, sse2 = build == Build::Sse2;
    // Values of one vertical call: three per pixel for three channels in four-sample pixels.
    const bool threeOfFour = chans == 3 && dstStride == 4;
    const int vertCount = threeOfFour ? 3 * W : W * chans;
    const auto cols = Axis(mode, W, c.xf, c.roi.width, c.roi.x, srcW, c.convention);
    const auto rows = Axis(mode, H, c.yf, c.roi.height, c.roi.y, srcH, c.convention);
    const int lastCol = srcW - c.roi.x - 1, lastRow = srcH - c.roi.y - 1;
    const int firstCol = -c.roi.x, firstRow = -c.roi.y;
    for (int r = 0; r < H; ++r)
        for (int k = 0; k < W; ++k)
            for (int ch = 0; ch < chans; ++ch) {
                const AxisTap& tx = cols[k];
                const AxisTap& ty = rows[r];
                T out{};
                if (mode == scaling::ResizeModeNearest) {
                    out = Get<T>(src, ty.base, tx.base, ch);
                } else if (mode == scaling::ResizeModeLinear) {
                    if constexpr (std::is_same_v<T, float>) {
                        // A weight of 0 or 1 takes the one sample or row as it is.
                        const float f = tx.wFloat, t = ty.wFloat;
                        auto whole = [](float w) { return w == 0.0f || w == 1.0f; };
                        if (sse) {
                            auto hf = [&](int row) {
                                const float s0 = Get<T>(src, row, tx.base, ch), s1 = Get<T>(src, row, tx.base + 1, ch);
                                return whole(f) ? (f == 0.0f ? s0 : s1) : s0 + (s1 - s0) * f;
                            };
                            out = whole(t) ? hf(ty.base + (t == 0.0f ? 0 : 1))
                                           : hf(ty.base) * (1.0f - t) + hf(ty.base + 1) * t;
                            Put<T>(dst, c.dstStep, dstStride, r, k, ch, out);
                            continue;
                        }
                        auto h = [&](int row) {
                            const double s0 = Get<T>(src, row, tx.base, ch), s1 = Get<T>(src, row, tx.base + 1, ch);
                            if (whole(f)) return static_cast<float>(f == 0.0f ? s0 : s1);
                            return static_cast<float>(s0 + (s1 - s0) * static_cast<double>(f));
                        };
                        out = whole(t) ? h(ty.base + (t == 0.0f ? 0 : 1))
                                       : static_cast<float>(static_cast<double>(h(ty.base)) * (1.0 - t) +
                                                            static_cast<double>(h(ty.base + 1)) * t);
                    } else {
                        const bool is8 = std::is_same_v<T, std::uint8_t>;
                        auto h = [&](int row) {
                            const long s0 = Get<T>(src, row, tx.base, ch), s1 = Get<T>(src, row, tx.base + 1, ch);
                            const long v = s0 * (16384 - tx.wFixed) + s1 * tx.wFixed;
                            return is8 ? (v + 128) >> 8 : (v + 8192) >> 14;
                        };
                        const long v = h(ty.base) * (16384 - ty.wFixed) + h(ty.base + 1) * ty.wFixed;
                        out = static_cast<T>(is8 ? (v + 524288) >> 20 : (v + 8192) >> 14);
                    }
                } else if (mode == scaling::ResizeModeCubic && sse) {
                    const CubicForm hForm = sse2 && chans > 1 ? CubicForm::PixelH
                                            : (k < W - W % 4 ? CubicForm::LoopH : CubicForm::ScalarH);
                    const int j = threeOfFour ? 3 * k + ch : k * chans + ch;
                    const bool vLoop = !(threeOfFour && std::is_same_v<T, float>) && j < vertCount - vertCount % 4;
                    const CubicForm vForm = vLoop ? CubicForm::LoopV
                                                  : (threeOfFour && std::is_same_v<T, float> ? CubicForm::ScalarVC3of4
                                                                                             : CubicForm::ScalarV);
                    float q[4];
                    for (int i = 0; i < 4; ++i) {
                        const int row = ty.base - 1 + i;
                        q[i] = CubicAtF(static_cast<float>(Get<T>(src, row, tx.base - 1, ch)),
                                        static_cast<float>(Get<T>(src, row, tx.base, ch)),
                                        static_cast<float>(Get<T>(src, row, tx.base + 1, ch)),
                                        static_cast<float>(Get<T>(src, row, tx.base + 2, ch)), tx.wFloat, hForm);
                    }
                    const float v = CubicAtF(q[0], q[1], q[2], q[3], ty.wFloat, vForm);
                    if constexpr (std::is_same_v<T, float>)
                        out = sse2 && vLoop ? v + 1e-5f : v;  // the SSE2 build's loop adds its bias to floats
                    else
                        out = vLoop ? LoopRound<T>(v) : Finish<T>(static_cast<double>(v));
                } else if (mode == scaling::ResizeModeSixTap && sse) {
                    float wx[6], wy[6];
                    SixTapWeightsF(tx.wFloat, wx);
                    SixTapWeightsF(ty.wFloat, wy);
                    float sum = 0.0f;
                    double sumD = 0.0;  // the SSE2 build's integer vertical sums
                    for (int j = 0; j < 6; ++j) {
                        const int row = std::min(std::max(ty.base - 2 + j, firstRow), lastRow);
                        float h = 0.0f;
                        for (int i = 0; i < 6; ++i) {
                            const int col = std::min(std::max(tx.base - 2 + i, firstCol), lastCol);
                            const float term = static_cast<float>(Get<T>(src, row, col, ch)) * wx[i];
                            h = i == 0 ? term : h + term;
                        }
                        const float term = h * wy[j];
                        sum = j == 0 ? term : sum + term;
                        const double termD = static_cast<double>(h) * static_cast<double>(wy[j]);
                        sumD = j == 0 ? termD : sumD + termD;
                    }
                    out = sse2 && !std::is_same_v<T, float> ? Finish<T>(sumD) : Finish<T>(static_cast<double>(sum));
                } else if (mode == scaling::ResizeModeCubic) {
                    double q[4];
                    for (int j = 0; j < 4; ++j) {
                        const int row = ty.base - 1 + j;
                        q[j] = static_cast<float>(CubicAt(Get<T>(src, row, tx.base - 1, ch), Get<T>(src, row, tx.base, ch),
                                                          Get<T>(src, row, tx.base + 1, ch),
                                                          Get<T>(src, row, tx.base + 2, ch), tx.wFloat));
                    }
                    out = Finish<T>(CubicAt(q[0], q[1], q[2], q[3], ty.wFloat));
                } else {
                    float wx[6], wy[6];
                    SixTapWeights(tx.wFloat, wx);
                    SixTapWeights(ty.wFloat, wy);
                    double sum = 0.0;
                    for (int j = 0; j < 6; ++j) {
                        const int row = std::min(std::max(ty.base - 2 + j, firstRow), lastRow);
                        double h = 0.0;
                        for (int i = 0; i < 6; ++i) {
                            const int col = std::min(std::max(tx.base - 2 + i, firstCol), lastCol);
                            const double term = static_cast<double>(wx[i]) * static_cast<double>(Get<T>(src, row, col, ch));
                            h = i == 0 ? term : h + term;
                        }
                        const double term = static_cast<double>(static_cast<float>(h)) * wy[j];
                        sum = j == 0 ? term : sum + term;
                    }
                    out = Finish<T>(sum);
                }
                Put<T>(dst, c.dstStep, dstStride, r, k, ch, out);
            }
}

int ElemSize(int dataType) { return dataType == 0 ? 1 : (dataType == 1 ? 2 : 4); }

template <class F> void ForPlanes(const Call& c, F&& f) {
    const int e = ElemSize(c.dataType);
    if (c.planar) {
        const int planes = c.channels == 1 ? 1 : (c.channels == 4 ? 4 : 3);
        for (int p = 0; p < planes; ++p) {
            const auto* sp = static_cast<const std::uint8_t*>(static_cast<const void* const*>(c.src)[p]);
            auto* dp = static_cast<std::uint8_t*>(static_cast<void* const*>(c.dst)[p]);
            f(Pic{sp + static_cast<long>(c.roi.y) * c.srcStep + static_cast<long>(c.roi.x) * e, c.srcStep, 1, e}, dp, 1,
              1);
        }
    } else {
        const auto* sp = static_cast<const std::uint8_t*>(c.src);
        f(Pic{sp + static_cast<long>(c.roi.y) * c.srcStep + static_cast<long>(c.roi.x) * c.pixelStride * e, c.srcStep,
              c.pixelStride, e},
          static_cast<std::uint8_t*>(c.dst), c.pixelStride, c.channels);
    }
}

// Destination length of one axis. Step factors: nearest fits the whole steps in the region;
// the filters, starting on the region's first pixel, that pixel and each whole step after it.
int ClipLen(int roiLen, double f, int dstLen, int convention, bool nearest = true) {
    const double n = convention ? std::trunc(f * roiLen + kEps)
                     : nearest  ? std::trunc(roiLen / f + kEps)
                                : std::trunc((roiLen - 1) / f + kEps) + 1.0;
    return n < dstLen ? (n < 1 ? 1 : static_cast<int>(n)) : dstLen;
}

// ---- super-sampling ----------------------------------------------------------------------
// One contribution of a footprint along an axis: index `at` taken `times` times with weight w
// (w < 0: a whole entry, added as it is).
struct Part {
    long at;
    double w;
    long times;
    bool beyond = false;  // whole entries past the readable ones, taken as the last one
};

// The footprint lists of every destination index along one axis. `limit` is the number of
// readable entries; whole runs reaching past it repeat the last one.
std::vector<std::vector<Part>> Footprints(int count, double s, long limit, bool frac) {
    std::vector<std::vector<Part>> out(count);
    const long whole = static_cast<long>(std::floor(s));
    const double fr = s - whole;
    auto wholeRun = [&](std::vector<Part>& v, long from, long n) {
        long inside = std::max(0L, std::min(n, limit - from));
        for (long t = 0; t < inside; ++t) v.push_back({from + t, -1.0, 1});
        if (n > inside) v.push_back({limit - 1, -1.0, n - inside, true});
    };
    long cur = 0;
    double r = 0.0;
    for (int j = 0; j < count; ++j) {
        auto& v = out[j];
        if (!frac) {
            wholeRun(v, cur, whole);
            cur += whole;
        } else if (j == 0) {
            wholeRun(v, cur, whole);
            cur += whole;
            v.push_back({std::min(cur, limit - 1), fr, 1});
            r = fr;
        } else {
            const double g = 1.0 - r, rest = s - g;
            const long n = static_cast<long>(std::floor(rest + kEps));
            const double e = rest - n;
            if (g > kEps) v.push_back({std::min(cur, limit - 1), g, 1});
            cur += 1;
            wholeRun(v, cur, n);
            cur += n;
            if (e > kEps) v.push_back({std::min(cur, limit - 1), e, 1});
            r = e;
        }
    }
    return out;
}

template <class T>
void SuperPlane(const Call& c, const Pic& src, std::uint8_t* dst, int dstStride, int chans, int W, int H, int len,
                int roiH, double sx, double sy, double area, Build build) {
    const bool fx = sx != std::floor(sx), fy = sy != std::floor(sy);
    const bool intSums = !fx && !fy && !std::is_same_v<T, float>;
    // The SSE2 build's one-channel float accumulator of whole ratios sums the columns after its
    // last block of sixteen in double precision, rounded once.
    const bool doubleTail = build == Build::Sse2 && std::is_same_v<T, float> && !fx && !fy && chans == 1;
    const long tailFrom = len - len % 16;
    const auto rowsOf = Footprints(H, sy, roiH, fy);
    const auto colsOf = Footprints(W, sx, len, fx);
    for (int j = 0; j < H; ++j)
        for (int k = 0; k < W; ++k)
            for (int ch = 0; ch < chans; ++ch) {
                // Column sums over the footprint's rows, in the accumulator's arithmetic.
                auto colSum = [&](long col, auto zero) {
                    auto acc = zero;
                    double wide = 0.0;
                    bool inWide = doubleTail && col >= tailFrom;
                    for (const Part& pr : rowsOf[j]) {
                        const T s = Get<T>(src, pr.at, col, ch);
                        if (inWide && pr.w < 0 && !pr.beyond) {
                            wide += static_cast<double>(s);
                            continue;
                        }
                        if constexpr (std::is_same_v<decltype(zero), float>) {
                            if (inWide) {
                                acc = static_cast<float>(wide);
                                inWide = false;
                            }
                        }
                        if constexpr (std::is_same_v<decltype(zero), std::uint32_t>) {
                            acc += static_cast<std::uint32_t>(pr.times) * static_cast<std::uint32_t>(s);
                        } else if (pr.w < 0 && pr.times == 1) {
                            acc = static_cast<float>(acc + static_cast<float>(s));
                        } else {
                            const double w = pr.w < 0 ? static_cast<double>(pr.times) : pr.w;
                            acc = static_cast<float>(static_cast<double>(acc) + static_cast<double>(s) * w);
                        }
                    }
                    if constexpr (std::is_same_v<decltype(zero), float>)
                        if (inWide) acc = static_cast<float>(wide);
                    return acc;
                };
                double v;
                if (intSums) {
                    std::uint32_t s = 0;
                    for (const Part& pc : colsOf[k]) s += static_cast<std::uint32_t>(pc.times) * colSum(pc.at, 0u);
                    v = static_cast<double>(s) * area;
                } else {
                    double s = 0.0;
                    for (const Part& pc : colsOf[k]) {
                        const double a = colSum(pc.at, 0.0f);
                        if (pc.w >= 0) s = s + pc.w * a;
                        else if (pc.times == 1) s += a;
                        else s += a * static_cast<double>(pc.times);
                    }
                    v = static_cast<double>(static_cast<float>(s)) * area;
                }
                T out;
                if constexpr (std::is_same_v<T, float>) out = static_cast<float>(v);
                else out = static_cast<T>(static_cast<long long>(v + 0.5));
                Put<T>(dst, c.dstStep, dstStride, j, k, ch, out);
            }
}

}  // namespace

void SixTapWeights(float frac, float out[6]) {
    double x = -2.0 - static_cast<double>(frac);
    for (int j = 0; j < 6; ++j, x += 1.0) {
        if (x <= -3.0 || x >= 3.0) {
            out[j] = 0.0f;
            continue;
        }
        const double s = std::fabs(x) * 100.0;
        const int k = static_cast<int>(s);
        const double t0 = scaling::SixTapKernelTable[k], t1 = scaling::SixTapKernelTable[k + 1];
        out[j] = static_cast<float>(t0 + (t1 - t0) * (s - k));
    }
}

void SixTapWeightsF(float frac, float out[6]) {
    const float x0 = -2.0f - frac;
    for (int j = 0; j < 6; ++j) {
        const float x = j == 0 ? x0 : x0 + static_cast<float>(j);
        if (!(x > -3.0f && x < 3.0f)) {
            out[j] = 0.0f;
            continue;
        }
        const float s = std::fabs(x) * 100.0f;
        const int k = static_cast<int>(s);
        const float t0 = scaling::SixTapKernelTable[k], t1 = scaling::SixTapKernelTable[k + 1];
        out[j] = (t1 - t0) * (s - static_cast<float>(k)) + t0;
    }
}

scaling::ResizeSize General(const Call& c, Build build) {
    int mode = c.mode;
    const int minSide = std::min(c.srcSize.width, c.srcSize.height);
    if (mode == scaling::ResizeModeSixTap && minSide < 6) mode = scaling::ResizeModeCubic;
    if (mode == scaling::ResizeModeCubic && minSide < 4) mode = scaling::ResizeModeLinear;
    if (mode == scaling::ResizeModeLinear && minSide < 2) mode = scaling::ResizeModeNearest;
    Call cc = c;
    cc.roi.width = std::min(c.roi.width, c.srcSize.width - c.roi.x);
    cc.roi.height = std::min(c.roi.height, c.srcSize.height - c.roi.y);
    const bool nearest = mode == scaling::ResizeModeNearest;
    const int W = ClipLen(cc.roi.width, c.xf, c.dstSize.width, c.convention, nearest),
              H = ClipLen(cc.roi.height, c.yf, c.dstSize.height, c.convention, nearest);
    ForPlanes(cc, [&](const Pic& p, std::uint8_t* d, int dstStride, int chans) {
        switch (c.dataType) {
            case 0: GeneralPlane<std::uint8_t>(cc, p, d, dstStride, chans, W, H, mode, c.srcSize.width, c.srcSize.height, build); break;
            case 1: GeneralPlane<std::uint16_t>(cc, p, d, dstStride, chans, W, H, mode, c.srcSize.width, c.srcSize.height, build); break;
            default: GeneralPlane<float>(cc, p, d, dstStride, chans, W, H, mode, c.srcSize.width, c.srcSize.height, build); break;
        }
    });
    return {W, H};
}

scaling::ResizeSize Super(const Call& c, Build build) {
    Call cc = c;
    cc.roi.width = std::min(c.roi.width, c.srcSize.width - c.roi.x);
    cc.roi.height = std::min(c.roi.height, c.srcSize.height - c.roi.y);
    int W, H;
    double sx, sy, area;
    if (c.convention) {
        W = ClipLen(cc.roi.width, c.xf, c.dstSize.width, 1);
        H = ClipLen(cc.roi.height, c.yf, c.dstSize.height, 1);
        sx = 1.0 / c.xf, sy = 1.0 / c.yf, area = c.xf * c.yf;
    } else {
        // Step factors: the destination covers the region by whole steps plus one pixel.
        auto clip = [](int roiLen, double f, int d) {
            if (std::trunc((roiLen - 1) / f + kEps) < d - 1) {
                const double n = std::trunc(roiLen / f + kEps) + 1.0;
                return n < 1.0 ? 1 : static_cast<int>(n);
            }
            return d;
        };
        W = clip(cc.roi.width, c.xf, c.dstSize.width);
        H = clip(cc.roi.height, c.yf, c.dstSize.height);
        sx = c.xf, sy = c.yf, area = 1.0 / (c.xf * c.yf);
    }
    const double lenD = std::floor((W + 1.0) * sx) + 1.0;
    const int len = lenD < cc.roi.width ? static_cast<int>(lenD) : cc.roi.width;
    ForPlanes(cc, [&](const Pic& p, std::uint8_t* d, int dstStride, int chans) {
        switch (c.dataType) {
            case 0: SuperPlane<std::uint8_t>(cc, p, d, dstStride, chans, W, H, len, cc.roi.height, sx, sy, area, build); break;
            case 1: SuperPlane<std::uint16_t>(cc, p, d, dstStride, chans, W, H, len, cc.roi.height, sx, sy, area, build); break;
            default: SuperPlane<float>(cc, p, d, dstStride, chans, W, H, len, cc.roi.height, sx, sy, area, build); break;
        }
    });
    return {W, H};
}

}  // namespace model
