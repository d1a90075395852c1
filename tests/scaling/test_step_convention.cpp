// Destination sizes when the factors are source pixels per destination pixel, linear filtering
// where one sample or row carries the whole weight, and the builds' agreement at picture sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "scaling/Builds.h"
#include "scaling/Resize.h"

namespace {

using StepGeneralFn = decltype(&scaling::generic::ResizeGeneral);
struct StepBuild {
    const char* name;
    StepGeneralFn general;
};
const StepBuild kStepBuilds[] = {
    {"generic", &scaling::generic::ResizeGeneral},
#ifdef TRELVIX_SCALING_HAS_SSE
    {"sse", &scaling::sse::ResizeGeneral},
    {"sse2", &scaling::sse2::ResizeGeneral},
    {"sse3", &scaling::sse3::ResizeGeneral},
#endif
};

// Columns and rows of the top-left rectangle written into a one-channel 8-bit destination that
// started as 0xEE (a source of 77 never gives 0xEE); -1, -1 when the written samples do not form
// such a rectangle.
scaling::ResizeSize StepWrittenSize(const std::vector<std::uint8_t>& d, int w, int h) {
    int ww = 0, hh = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (d[static_cast<std::size_t>(y) * w + x] != 0xEE) {
                ww = std::max(ww, x + 1);
                hh = std::max(hh, y + 1);
            }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((d[static_cast<std::size_t>(y) * w + x] != 0xEE) != (x < ww && y < hh)) return {-1, -1};
    return {ww, hh};
}

// Region of n x n pixels, both factors the step s. Nearest fits trunc(n / s + 1e-7) pixels; the
// filters start on the region's first pixel and fit trunc((n - 1) / s + 1e-7) + 1, so their last
// position never passes the region's last pixel. A smaller destination is kept.
TEST(StepConvention, DestinationSizesPerMode) {
    struct Case {
        int n;
        double step;
        int dst;
        int filters, nearest;  // expected columns (and rows)
    };
    const Case cases[] = {
        {10, 3.0, 48, 4, 3},  {10, 0.5, 48, 19, 20}, {10, 1.0, 48, 10, 10}, {10, 2.0, 48, 5, 5},
        {7, 2.0, 48, 4, 3},   {1, 0.5, 48, 1, 2},    {4, 0.1, 48, 31, 40},  {10, 4.5, 48, 3, 2},
        {6, 7.0, 48, 1, 1},   {3, 1.0 / 3.0, 48, 7, 9},
        {34, 1.1, 48, 31, 30},  // 33 / 1.1 is 29.999999999999996: the 1e-7 makes it 30
        {10, 0.5, 12, 12, 12},  // the destination asked for is smaller
    };
    const int modes[] = {scaling::ResizeModeNearest, scaling::ResizeModeLinear, scaling::ResizeModeCubic,
                         scaling::ResizeModeSixTap};
    for (const StepBuild& b : kStepBuilds)
        for (const Case& c : cases)
            for (int mode : modes) {
                SCOPED_TRACE(testing::Message() << b.name << " region " << c.n << " step " << c.step << " mode "
                                                << mode);
                const int side = c.n + 8;
                const std::vector<std::uint8_t> src(static_cast<std::size_t>(side) * side, 77);
                std::vector<std::uint8_t> dst(static_cast<std::size_t>(c.dst) * c.dst, 0xEE);
                ASSERT_EQ(b.general(src.data(), {side, side}, side, {2, 1, c.n, c.n}, dst.data(), c.dst, {c.dst, c.dst},
                                    c.step, c.step, 0.0, 0.0, 1, 1, 0, 0, mode, 0),
                          scaling::ResizeOk);
                const int want = mode == scaling::ResizeModeNearest ? c.nearest : c.filters;
                const scaling::ResizeSize got = StepWrittenSize(dst, c.dst, c.dst);
                EXPECT_EQ(got.width, want);
                EXPECT_EQ(got.height, want);
            }
}

// The last linear column of a half step lands on the region's last column, not between it and
// the image column after it.
TEST(StepConvention, LastLinearColumnIsTheRegionsLast) {
    std::vector<std::uint8_t> src(20 * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 20; ++x) src[static_cast<std::size_t>(y) * 20 + x] = static_cast<std::uint8_t>(10 * x);
    for (const StepBuild& b : kStepBuilds) {
        SCOPED_TRACE(b.name);
        std::vector<std::uint8_t> dst(24, 0xEE);
        ASSERT_EQ(b.general(src.data(), {20, 4}, 20, {2, 0, 10, 4}, dst.data(), 24, {24, 1}, 0.5, 1.0, 0.0, 0.0, 1,
                            1, 0, 0, scaling::ResizeModeLinear, 0),
                  scaling::ResizeOk);
        EXPECT_EQ(dst[0], 20);
        EXPECT_EQ(dst[1], 25);
        EXPECT_EQ(dst[18], 110);  // region column 9, image column 11
        EXPECT_EQ(dst[19], 0xEE);
    }
}

// Float linear filtering where a sample or a row carries the whole weight takes it as it is and
// reads nothing beside it: an infinity or NaN planted in the pixels of weight 0 must not reach
// the result. Every layout of the filter kernels, every build.
TEST(LinearFloat, WholeWeightIgnoresTheSampleBeside) {
    constexpr float kPlantInf = std::numeric_limits<float>::infinity();
    constexpr float kPlantNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr int kW = 5, kH = 4;
    struct Case {
        const char* name;
        scaling::ResizeRect roi;
        double xf, yf;
        int convention;
        int stepX, stepY;      // source pixels between destination pixels
        int outW, outH;        // destination size written
        float (*planted)(int x, int y);  // the value planted at (x, y), or 0 for none
    };
    const Case cases[] = {
        {"region on the image's last row, the row above infinite", {0, 3, kW, 1}, 1.0, 1.0, 1, 1, 1, kW, 1,
         [](int, int y) { return y == 2 ? kPlantInf : 0.0f; }},
        {"region on the image's last column, the column left of it NaN", {4, 0, 1, kH}, 1.0, 1.0, 1, 1, 1, 1, kH,
         [](int x, int) { return x == 3 ? kPlantNaN : 0.0f; }},
        {"same size, an infinity stays in its own pixel", {0, 0, kW, kH}, 1.0, 1.0, 1, 1, 1, kW, kH,
         [](int x, int y) { return x == 2 && y == 1 ? -kPlantInf : 0.0f; }},
        {"steps of two, the skipped columns and rows NaN", {0, 0, kW, kH}, 2.0, 2.0, 0, 2, 2, 3, 2,
         [](int x, int y) { return x % 2 || y % 2 ? kPlantNaN : 0.0f; }},
    };
    struct Lay {
        const char* name;
        int channels, stride;
    };
    const Lay lays[] = {{"C1", 1, 1}, {"C3", 3, 3}, {"C3of4", 3, 4}, {"C4", 4, 4}};
    constexpr float kMark = -7.5f;
    for (const StepBuild& b : kStepBuilds)
        for (const Case& c : cases)
            for (const Lay& L : lays) {
                SCOPED_TRACE(testing::Message() << b.name << " " << c.name << " " << L.name);
                auto value = [&](int x, int y, int ch) {
                    const float p = c.planted(x, y);
                    return p != 0.0f ? p : static_cast<float>(10 * y + x + 100 * ch);
                };
                std::vector<float> src(static_cast<std::size_t>(kW) * kH * L.stride);
                for (int y = 0; y < kH; ++y)
                    for (int x = 0; x < kW; ++x)
                        for (int ch = 0; ch < L.stride; ++ch) src[(y * kW + x) * L.stride + ch] = value(x, y, ch);
                const int dW = kW + 1, dH = kH + 1;
                std::vector<float> dst(static_cast<std::size_t>(dW) * dH * L.stride, kMark);
                ASSERT_EQ(b.general(src.data(), {kW, kH}, kW * L.stride * 4, c.roi, dst.data(), dW * L.stride * 4,
                                    {dW, dH}, c.xf, c.yf, 0.0, 0.0, L.stride, L.channels, 2, 0,
                                    scaling::ResizeModeLinear, c.convention),
                          scaling::ResizeOk);
                for (int r = 0; r < dH; ++r)
                    for (int k = 0; k < dW; ++k)
                        for (int ch = 0; ch < L.stride; ++ch) {
                            const float got = dst[(r * dW + k) * L.stride + ch];
                            const bool written = k < c.outW && r < c.outH && ch < L.channels;
                            const float want =
                                written ? value(c.roi.x + k * c.stepX, c.roi.y + r * c.stepY, ch) : kMark;
                            ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0)
                                << "column " << k << " row " << r << " sample " << ch << ": " << got << " not " << want;
                        }
            }
}

// Full picture sizes in both factor conventions: every build writes the generic build's bytes for
// nearest and for linear on 8-bit and 16-bit samples.
TEST(StepConvention, BuildsMatchGenericAtPictureSizes) {
    struct Pic {
        int w, h, channels, dataType;
    };
    const Pic pics[] = {{640, 480, 3, 0}, {1920, 1080, 3, 0}, {1920, 1080, 1, 1}, {720, 576, 4, 1}};
    struct Fac {
        double f;
        int convention;
    };
    // Reductions for every picture; enlargements (factor 2, step 0.5) below full HD only.
    const Fac facs[] = {{0.4, 1}, {1.0 / 3.0, 1}, {2.5, 0}, {3.0, 0}, {1.1, 0}, {2.0, 1}, {0.5, 0}};
    std::mt19937 rng(29);
    for (const Pic& p : pics) {
        const int e = p.dataType == 0 ? 1 : 2;
        const int srcStep = p.w * p.channels * e;
        std::vector<std::uint8_t> src(static_cast<std::size_t>(srcStep) * p.h);
        for (std::size_t i = 0; i + 4 <= src.size(); i += 4) {
            const std::uint32_t v = static_cast<std::uint32_t>(rng());
            std::memcpy(&src[i], &v, 4);
        }
        const bool enlarge = p.w < 1920;
        // Two spare columns and rows show a write past the clipped size.
        const scaling::ResizeSize dst{(enlarge ? 2 * p.w : p.w) + 2, (enlarge ? 2 * p.h : p.h) + 2};
        const int dstStep = dst.width * p.channels * e;
        const std::size_t dstBytes = static_cast<std::size_t>(dstStep) * dst.height;
        std::vector<std::uint8_t> want(dstBytes), got(dstBytes);
        for (const Fac& f : facs)
            for (int mode : {scaling::ResizeModeNearest, scaling::ResizeModeLinear}) {
                if (!enlarge && (f.convention ? f.f > 1.0 : f.f < 1.0)) continue;
                for (const StepBuild& b : kStepBuilds) {
                    SCOPED_TRACE(testing::Message() << b.name << " " << p.w << "x" << p.h << " channels " << p.channels
                                                    << " type " << p.dataType << " factor " << f.f << " convention "
                                                    << f.convention << " mode " << mode);
                    std::vector<std::uint8_t>& out = &b == &kStepBuilds[0] ? want : got;
                    std::fill(out.begin(), out.end(), 0x5A);
                    ASSERT_EQ(b.general(src.data(), {p.w, p.h}, srcStep, {0, 0, p.w, p.h}, out.data(), dstStep, dst,
                                        f.f, f.f, 0.0, 0.0, p.channels, p.channels, p.dataType, 0, mode, f.convention),
                              scaling::ResizeOk);
                    if (&out == &want || std::memcmp(got.data(), want.data(), dstBytes) == 0) continue;
                    const auto i = std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
                    FAIL() << "first differing byte: row " << i / dstStep << ", byte " << i % dstStep;
                }
            }
    }
}

}  // namespace
