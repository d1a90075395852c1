// Each build against the scalar model: random pictures of odd sizes, random regions and
// factors, every interpolation, sample type and layout. Destinations start filled with a
// pattern, so a write outside the clipped rectangle (or into a pixel's unused fourth sample)
// shows up as a difference too.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "reference_model.h"
#include "scaling/Builds.h"
#include "scaling/generic/Arith.h"

namespace {

using scaling::ResizeRect;
using scaling::ResizeSize;

struct LayoutCase {
    const char* name;
    int channels, stride, planar;
};
const LayoutCase kLayouts[] = {
    {"C1", 1, 1, 0}, {"C3", 3, 3, 0}, {"C3of4", 3, 4, 0}, {"C4", 4, 4, 0},
    {"P1", 1, 1, 1}, {"P3", 3, 1, 1}, {"P4", 4, 1, 1},
};
const int kElem[] = {1, 2, 4};

struct Planes {
    std::vector<std::vector<std::uint8_t>> bufs;
    std::vector<void*> ptrs;
};

void FillRandom(std::vector<std::uint8_t>& b, int dataType, std::mt19937& rng) {
    if (dataType == 2) {
        std::uniform_real_distribution<float> d(-50.0f, 300.0f);
        for (std::size_t i = 0; i + 4 <= b.size(); i += 4) {
            const float v = d(rng);
            std::memcpy(&b[i], &v, 4);
        }
    } else {
        // Mostly smooth values with some extremes, so clamping and overshoot both occur.
        std::uniform_int_distribution<int> d(0, 255);
        for (auto& v : b) {
            const int r = d(rng);
            v = static_cast<std::uint8_t>(r < 20 ? 0 : (r > 235 ? 255 : r));
        }
    }
}

std::string Describe(const char* what, const LayoutCase& L, int dataType, int mode, ResizeSize s, ResizeRect roi,
                     ResizeSize d, double xf, double yf) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%s layout=%s type=%d mode=%d src=%dx%d roi=(%d,%d,%d,%d) dst=%dx%d f=(%.17g,%.17g)",
                  what, L.name, dataType, mode, s.width, s.height, roi.x, roi.y, roi.width, roi.height, d.width,
                  d.height, xf, yf);
    return buf;
}

// Runs engine and model on the same random call and compares every destination byte.
// The drivers of one build.
struct BuildDrivers {
    model::Build arith;
    decltype(&scaling::generic::ResizeGeneral) general;
    decltype(&scaling::generic::ResizeSuperSample) super;
    bool stepConvention = false;  // also draw calls with step factors
};
const BuildDrivers kGenericDrivers{model::Build::Generic, &scaling::generic::ResizeGeneral,
                                   &scaling::generic::ResizeSuperSample, true};
#ifdef TRELVIX_SCALING_HAS_SSE
const BuildDrivers kSseDrivers{model::Build::Sse, &scaling::sse::ResizeGeneral, &scaling::sse::ResizeSuperSample,
                               true};
const BuildDrivers kSse2Drivers{model::Build::Sse2, &scaling::sse2::ResizeGeneral, &scaling::sse2::ResizeSuperSample,
                                true};
const BuildDrivers kSse3Drivers{model::Build::Sse2, &scaling::sse3::ResizeGeneral, &scaling::sse3::ResizeSuperSample,
                                true};
#endif

void CompareOnce(std::mt19937& rng, const LayoutCase& L, int dataType, int mode,
                 const BuildDrivers& build = kGenericDrivers) {
    const bool super = mode == scaling::ResizeModeSuper;
    std::uniform_int_distribution<int> sizeD(1, 23);
    ResizeSize src{sizeD(rng) | 1, sizeD(rng) | 1};
    if (rng() % 4 == 0) src = {src.width + 8, src.height + 6};
    ResizeRect roi{static_cast<int>(rng() % src.width), static_cast<int>(rng() % src.height), 0, 0};
    if (rng() % 3 == 0) roi.x = roi.y = 0;
    roi.width = 1 + static_cast<int>(rng() % (src.width + 3));
    roi.height = 1 + static_cast<int>(rng() % (src.height + 3));
    double xf, yf;
    if (super) {
        const double fs[] = {1.0, 0.5, 1.0 / 3.0, 0.4, 0.3, 0.7, 0.25, 0.9, 0.123};
        xf = fs[rng() % 9];
        yf = fs[rng() % 9];
    } else {
        const double fs[] = {1.0, 2.0, 0.5, 3.0, 1.5, 0.4, 0.77, 2.3, 0.1, 5.0, 1.0 / 3.0};
        xf = fs[rng() % 11];
        yf = fs[rng() % 11];
    }
    ResizeSize dst{1 + static_cast<int>(rng() % 40), 1 + static_cast<int>(rng() % 40)};
    // A quarter of the calls give the factors as source pixels per destination pixel.
    const int convention = build.stepConvention && rng() % 4 == 0 ? 0 : 1;
    if (!convention) xf = 1.0 / xf, yf = 1.0 / yf;

    const int e = kElem[dataType];
    const int pixBytes = (L.planar ? 1 : L.stride) * e;
    const int srcStep = src.width * pixBytes + static_cast<int>(rng() % 3) * e;
    const int dstStep = dst.width * pixBytes + static_cast<int>(rng() % 3) * e;
    const int planes = L.planar ? L.channels : 1;

    std::vector<std::vector<std::uint8_t>> s(planes), d1(planes), d2(planes);
    std::vector<const void*> sp(planes);
    std::vector<void*> dp1(planes), dp2(planes);
    for (int p = 0; p < planes; ++p) {
        s[p].resize(static_cast<std::size_t>(srcStep) * src.height);
        FillRandom(s[p], dataType, rng);
        d1[p].assign(static_cast<std::size_t>(dstStep) * dst.height, 0);
        for (std::size_t i = 0; i < d1[p].size(); ++i) d1[p][i] = static_cast<std::uint8_t>(0xA5 ^ (i * 7));
        d2[p] = d1[p];
        sp[p] = s[p].data();
        dp1[p] = d1[p].data();
        dp2[p] = d2[p].data();
    }
    const void* srcArg = L.planar ? static_cast<const void*>(sp.data()) : sp[0];
    void* dstArg1 = L.planar ? static_cast<void*>(dp1.data()) : dp1[0];
    void* dstArg2 = L.planar ? static_cast<void*>(dp2.data()) : dp2[0];

    const int ch = L.planar ? L.channels : L.channels;
    const int stride = L.planar ? 1 : L.stride;
    scaling::ResizeStatus st;
    if (super)
        st = build.super(srcArg, src, srcStep, roi, dstArg1, dstStep, dst, xf, yf, stride, ch,
                                                 dataType, L.planar, convention);
    else
        st = build.general(srcArg, src, srcStep, roi, dstArg1, dstStep, dst, xf, yf, 0.0, 0.0, stride,
                                             ch, dataType, L.planar, mode, convention);
    const std::string what = Describe("", L, dataType, mode, src, roi, dst, xf, yf);
    ASSERT_EQ(st, scaling::ResizeOk) << what;

    model::Call c{srcArg, src, srcStep, roi, dstArg2, dstStep, dst, xf, yf, stride, ch, dataType, L.planar, mode,
                  convention};
    if (super) model::Super(c, build.arith);
    else model::General(c, build.arith);
    for (int p = 0; p < planes; ++p) {
        if (d1[p] == d2[p]) continue;
        std::size_t i = 0;
        while (d1[p][i] == d2[p][i]) ++i;
        FAIL() << what << " plane " << p << " first differing byte " << i << " (row " << i / dstStep << ", byte "
               << i % dstStep << "): engine " << int(d1[p][i]) << " model " << int(d2[p][i]);
    }
}

// The row blend used when the horizontal pass is a copy against the work-row route it replaces
// (widening copy, then the vertical pass): every difference of two 8-bit samples at every
// weight, and every pair of samples at a spread of weights including both ends.
TEST(DirectRowBlend, EqualsWorkRowRouteForAllInputs) {
    using GenericArith = scaling::generic::Arith;
    std::vector<std::uint8_t> up, lo;
    for (int d = -255; d <= 255; ++d) {
        const int a = d < 0 ? -d : 0;
        up.push_back(static_cast<std::uint8_t>(a));
        lo.push_back(static_cast<std::uint8_t>(a + d));
    }
    std::vector<std::uint8_t> upAll, loAll;
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            upAll.push_back(static_cast<std::uint8_t>(a));
            loAll.push_back(static_cast<std::uint8_t>(b));
        }
    auto check = [](const std::vector<std::uint8_t>& u8, const std::vector<std::uint8_t>& l8, int w) {
        const int n = static_cast<int>(u8.size());
        std::vector<std::uint16_t> uw(n), lw(n);
        GenericArith::LinearHorzCopy<std::uint8_t>(u8.data(), n, uw.data());
        GenericArith::LinearHorzCopy<std::uint8_t>(l8.data(), n, lw.data());
        std::vector<std::uint8_t> viaWork(n), direct(n, 0xEE);
        GenericArith::LinearVert<std::uint8_t>(viaWork.data(), n, static_cast<std::uint16_t>(w), uw.data(), lw.data());
        GenericArith::LinearVertDirect<std::uint8_t>(direct.data(), n, static_cast<std::uint16_t>(w), u8.data(), l8.data());
        for (int k = 0; k < n; ++k)
            if (viaWork[k] != direct[k])
                return ::testing::AssertionFailure() << "upper " << int(u8[k]) << " lower " << int(l8[k]) << " weight "
                                                     << w << ": " << int(direct[k]) << " not " << int(viaWork[k]);
        return ::testing::AssertionSuccess();
    };
    for (int w = 0; w <= 16384; ++w) ASSERT_TRUE(check(up, lo, w));
    for (int w : {0, 1, 2, 63, 64, 4095, 4096, 8191, 8192, 8193, 12279, 16320, 16383, 16384}) ASSERT_TRUE(check(upAll, loAll, w));
    for (int w = 5; w < 16384; w += 731) ASSERT_TRUE(check(upAll, loAll, w));
    // 16-bit samples: the blend of the work rows is the blend of the samples themselves.
    const std::uint16_t u16[4] = {0, 65535, 1000, 65535}, l16[4] = {65535, 0, 1001, 65535};
    std::uint16_t a16[4], b16[4];
    for (int w : {1, 8192, 16383}) {
        GenericArith::LinearVert<std::uint16_t>(a16, 4, static_cast<std::uint16_t>(w), u16, l16);
        GenericArith::LinearVertDirect<std::uint16_t>(b16, 4, static_cast<std::uint16_t>(w), u16, l16);
        EXPECT_EQ(std::memcmp(a16, b16, sizeof a16), 0) << w;
    }
}

// The display's calls (horizontal factor 1.0, vertical 2.0, linear) and their neighbours on
// random pictures, through the public entry, against the model; padded steps and a destination
// larger than the result show writes outside the picture.
TEST(DirectRowBlend, LineDoublingCallsMatchModel) {
    struct Case {
        int w, h, srcPad, dstPad;
        double yf;
        int dstExtraRows;
    };
    const Case cases[] = {
        {640, 240, 0, 0, 2.0, 0}, {720, 288, 0, 0, 2.0, 0}, {704, 288, 0, 0, 2.0, 0}, {640, 228, 0, 0, 2.0, 0},
        {352, 240, 0, 0, 2.0, 0}, {641, 7, 2, 5, 2.0, 3},  {3, 2, 1, 0, 2.0, 1},    {1, 5, 0, 2, 2.0, 0},
        {9, 2, 0, 0, 3.0, 2},     {17, 11, 3, 1, 1.5, 0},  {5, 9, 0, 0, 0.5, 0},    {33, 4, 0, 0, 1.0, 0},
    };
    std::mt19937 rng(99);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " yf " + std::to_string(c.yf));
        const int srcStep = c.w * 3 + c.srcPad, dstStep = c.w * 3 + c.dstPad;
        const ResizeSize dst{c.w, static_cast<int>(c.h * c.yf) + c.dstExtraRows};
        std::vector<std::uint8_t> src(static_cast<std::size_t>(srcStep) * c.h);
        FillRandom(src, 0, rng);
        std::vector<std::uint8_t> d1(static_cast<std::size_t>(dstStep) * dst.height);
        for (std::size_t i = 0; i < d1.size(); ++i) d1[i] = static_cast<std::uint8_t>(0x5A ^ (i * 13));
        std::vector<std::uint8_t> d2 = d1;
        ASSERT_EQ(scaling::ResizeC3_8u(src.data(), {c.w, c.h}, srcStep, {0, 0, c.w, c.h}, d1.data(), dstStep, dst, 1.0,
                                       c.yf, scaling::ResizeModeLinear),
                  scaling::ResizeOk);
        model::Call call{src.data(), {c.w, c.h}, srcStep, {0, 0, c.w, c.h}, d2.data(), dstStep, dst, 1.0, c.yf,
                         3, 3, 0, 0, scaling::ResizeModeLinear};
        model::General(call);
        if (d1 != d2) {
            std::size_t i = 0;
            while (d1[i] == d2[i]) ++i;
            FAIL() << "first differing byte " << i << " (row " << i / dstStep << "): " << int(d1[i]) << " not "
                   << int(d2[i]);
        }
    }
}

class ModelCompare : public ::testing::TestWithParam<int> {};

TEST_P(ModelCompare, EveryLayoutAndTypeMatchesModel) {
    const int mode = GetParam();
    std::mt19937 rng(1234 + mode);
    for (const LayoutCase& L : kLayouts)
        for (int dataType = 0; dataType < 3; ++dataType)
            for (int i = 0; i < 60; ++i) {
                SCOPED_TRACE(i);
                CompareOnce(rng, L, dataType, mode);
                if (HasFatalFailure()) return;
            }
}

std::string ModeName(int mode) {
    switch (mode) {
        case 1: return "Nearest";
        case 2: return "Linear";
        case 4: return "Cubic";
        case 16: return "SixTap";
        default: return "Super";
    }
}
const auto kAllModes = ::testing::Values(scaling::ResizeModeNearest, scaling::ResizeModeLinear,
                                         scaling::ResizeModeCubic, scaling::ResizeModeSixTap, scaling::ResizeModeSuper);

INSTANTIATE_TEST_SUITE_P(Modes, ModelCompare, kAllModes, [](const auto& p) { return ModeName(p.param); });

#ifdef TRELVIX_SCALING_HAS_SSE
class SseModelCompare : public ::testing::TestWithParam<int> {};

TEST_P(SseModelCompare, EveryLayoutAndTypeMatchesModel) {
    const int mode = GetParam();
    std::mt19937 rng(4321 + mode);
    for (const LayoutCase& L : kLayouts)
        for (int dataType = 0; dataType < 3; ++dataType)
            for (int i = 0; i < 60; ++i) {
                SCOPED_TRACE(i);
                CompareOnce(rng, L, dataType, mode, kSseDrivers);
                if (HasFatalFailure()) return;
            }
}

INSTANTIATE_TEST_SUITE_P(Modes, SseModelCompare, kAllModes, [](const auto& p) { return ModeName(p.param); });

// The SSE2 build and its SSE3-class compilation against the model of the SSE2 arithmetic.
class Sse2ModelCompare : public ::testing::TestWithParam<int> {};

TEST_P(Sse2ModelCompare, BothCompilationsMatchModel) {
    const int mode = GetParam();
    for (const BuildDrivers* build : {&kSse2Drivers, &kSse3Drivers}) {
        std::mt19937 rng(8765 + mode);
        for (const LayoutCase& L : kLayouts)
            for (int dataType = 0; dataType < 3; ++dataType)
                for (int i = 0; i < 60; ++i) {
                    SCOPED_TRACE(i);
                    CompareOnce(rng, L, dataType, mode, *build);
                    if (HasFatalFailure()) return;
                }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, Sse2ModelCompare, kAllModes, [](const auto& p) { return ModeName(p.param); });
#endif

}  // namespace

namespace {

// The exported nearest-neighbour mapping against what the entry does: a picture whose pixels
// carry their own column and row is scaled, and each destination pixel tells its source.
TEST(NearestMap, SameSourcePixelsAsTheEntry) {
    struct Case {
        int sw, sh, dw, dh;
    };
    const Case cases[] = {{640, 480, 1920, 1080}, {720, 576, 1366, 768}, {4, 2, 1366, 8}, {7, 5, 3, 2},
                          {1, 1, 5, 3},           {1000, 9, 17, 900},    {5, 5, 5, 5},    {333, 2, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.sw) + "x" + std::to_string(c.sh) + " to " + std::to_string(c.dw) + "x" +
                     std::to_string(c.dh));
        std::vector<std::uint8_t> src(static_cast<std::size_t>(c.sw) * c.sh * 3);
        for (int y = 0; y < c.sh; ++y)
            for (int x = 0; x < c.sw; ++x) {
                std::uint8_t* p = &src[(static_cast<std::size_t>(y) * c.sw + x) * 3];
                p[0] = static_cast<std::uint8_t>(x);
                p[1] = static_cast<std::uint8_t>(x >> 8);
                p[2] = static_cast<std::uint8_t>(y);
            }
        std::vector<std::uint8_t> dst(static_cast<std::size_t>(c.dw) * c.dh * 3);
        const double fx = static_cast<double>(c.dw) / c.sw, fy = static_cast<double>(c.dh) / c.sh;
        ASSERT_EQ(scaling::ResizeC3_8u(src.data(), {c.sw, c.sh}, c.sw * 3, {0, 0, c.sw, c.sh}, dst.data(), c.dw * 3,
                                       {c.dw, c.dh}, fx, fy, scaling::ResizeModeNearest),
                  scaling::ResizeOk);
        std::vector<std::int32_t> cols(c.dw), rows(c.dh);
        ASSERT_EQ(scaling::NearestSourceIndices(c.sw, c.dw, fx, cols.data()), c.dw);
        ASSERT_EQ(scaling::NearestSourceIndices(c.sh, c.dh, fy, rows.data()), c.dh);
        for (int y = 0; y < c.dh; ++y)
            for (int x = 0; x < c.dw; ++x) {
                const std::uint8_t* p = &dst[(static_cast<std::size_t>(y) * c.dw + x) * 3];
                ASSERT_EQ(p[0] | (p[1] << 8), cols[x]) << "column " << x;
                ASSERT_EQ(p[2], rows[y] & 255) << "row " << y;
            }
    }
    // A factor that leaves fewer destination pixels than asked: only those are mapped.
    std::int32_t out[10];
    EXPECT_EQ(scaling::NearestSourceIndices(4, 10, 0.5, out), 2);
    EXPECT_EQ(scaling::NearestSourceIndices(0, 10, 1.0, out), 0);
    EXPECT_EQ(scaling::NearestSourceIndices(4, 10, 0.0, out), 0);
    EXPECT_EQ(scaling::NearestSourceIndices(4, 10, std::nan(""), out), 0);
    EXPECT_EQ(scaling::NearestSourceIndices(4, 10, 1.0, nullptr), 0);
}

}  // namespace
