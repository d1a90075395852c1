// Worked examples of the SSE build: its single-precision passes value by value, its drivers on
// small pictures, and its agreement with the generic build.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "scaling/Aligned.h"
#include "scaling/Builds.h"
#include "scaling/Resize.h"
#include "reference_model.h"

#ifdef TRELVIX_SCALING_HAS_SSE
#include "scaling/sse/Arith.h"

namespace {

using namespace scaling;
using S = sse::Arith;

// ---- linear ------------------------------------------------------------------------------

TEST(SseLinear, PassValues) {
    // 8u: taps 10 and 20 halfway give 15 levels in 1/64ths; the vertical blends round to nearest.
    const std::uint8_t row[2] = {10, 20};
    const std::int32_t idx[1] = {0};
    const std::uint16_t half[2] = {8192, 8192};
    std::uint16_t work[1];
    S::LinearHorzC1<std::uint8_t>(row, 1, idx, half, work);
    EXPECT_EQ(work[0], 960);
    struct V {
        std::uint16_t u, l, a;
        std::uint8_t out;
    };
    for (const V& v : {V{960, 1280, 4096, 16}, V{0, 32, 8192, 0}, V{32, 32, 8192, 1}, V{32, 32, 0, 1}}) {
        std::uint8_t d = 0xEE;
        S::LinearVert<std::uint8_t>(&d, 1, v.a, &v.u, &v.l);
        EXPECT_EQ(d, v.out) << v.u << " " << v.l << " " << v.a;
    }
    // 32f at t = 1: the horizontal form is f0 + (f1 - f0), the vertical form gives l exactly.
    const float f[2] = {1.1f, 3.3f};
    const float one[1] = {1.0f};
    float w = 0;
    S::LinearHorzC1<float>(f, 1, idx, one, &w);
    const volatile float diff = f[1] - f[0];
    EXPECT_EQ(w, f[0] + diff);
    EXPECT_NE(w, f[1]);  // this pair shows the last-bit difference
    float d = 0;
    S::LinearVert<float>(&d, 1, 1.0f, &f[0], &f[1]);
    EXPECT_EQ(d, f[1]);
}

// The packed row blend of line doubling against the generic build's, for every pair of samples,
// at every weight for one set of pairs and a spread of weights for all; odd counts leave a tail.
TEST(SseLinear, DirectRowBlendEqualsGeneric) {
    std::vector<std::uint8_t> up, lo;
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            up.push_back(static_cast<std::uint8_t>(a));
            lo.push_back(static_cast<std::uint8_t>(b));
        }
    const int n = static_cast<int>(up.size()) - 3;
    std::vector<std::uint8_t> g(n), x(n);
    auto same = [&](int w, int count) {
        generic::Arith::LinearVertDirect<std::uint8_t>(g.data(), count, static_cast<std::uint16_t>(w), up.data(), lo.data());
        S::LinearVertDirect<std::uint8_t>(x.data(), count, static_cast<std::uint16_t>(w), up.data(), lo.data());
        return std::memcmp(g.data(), x.data(), count) == 0;
    };
    for (int w : {1, 2, 63, 64, 4096, 8191, 8192, 8193, 12279, 16320, 16383}) ASSERT_TRUE(same(w, n)) << w;
    for (int w = 1; w < 16384; ++w) ASSERT_TRUE(same(w, 1021)) << w;
}

// The linear pairs of a 4-wide source doubled: the last destination column moves its taps back
// by one and takes the last source column whole.
TEST(SseLinear, LastColumnOfSmallSourceAndRegionClip) {
    std::vector<std::uint8_t> src(4 * 2 * 3);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 29 + 3);
    std::vector<std::uint8_t> dst(8 * 4 * 3, 0xEE);
    ASSERT_EQ(sse::ResizeEntry(src.data(), {4, 2}, 12, {0, 0, 4, 2}, dst.data(), 24, {8, 4}, 2.0, 2.0,
                               ResizeModeLinear),
              ResizeOk);
    EXPECT_EQ(std::memcmp(&dst[7 * 3], &src[3 * 3], 3), 0);  // column 7 of row 0 is source column 3

    // Region x 90, width 20 on a 100-wide source at 2.0: the region is clipped to 10 columns,
    // 20 columns are written and columns 20 to 49 keep their contents.
    std::vector<std::uint8_t> big(100 * 10 * 3, 77);
    std::vector<std::uint8_t> out(50 * 20 * 3, 0xEE);
    ASSERT_EQ(sse::ResizeEntry(big.data(), {100, 10}, 300, {90, 0, 20, 10}, out.data(), 150, {50, 20}, 2.0, 2.0,
                               ResizeModeLinear),
              ResizeOk);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 50; ++x) ASSERT_EQ(out[y * 150 + x * 3], x < 20 ? 77 : 0xEE) << x << "," << y;
}

// ---- cubic -------------------------------------------------------------------------------

// A 5x4 one-channel source of constant rows scaled to 5x7: row 3 samples t = 0.5 between rows 1
// and 2. The first four values come from the loop (rounded), the fifth from the scalar code
// (truncated).
TEST(SseCubic, LoopRoundsTailTruncates) {
    struct Case {
        std::uint8_t rows[4];
        std::uint8_t loop, tail;
    };
    for (const Case& c : {Case{{0, 0, 255, 255}, 128, 127}, Case{{0, 0, 3, 3}, 2, 1}}) {
        std::uint8_t src[20];
        for (int y = 0; y < 4; ++y) std::memset(src + 5 * y, c.rows[y], 5);
        std::uint8_t dst[35];
        std::memset(dst, 0xEE, sizeof dst);
        ASSERT_EQ(sse::ResizeGeneral(src, {5, 4}, 5, {0, 0, 5, 4}, dst, 5, {5, 7}, 1.0, 7.0 / 4.0, 0, 0, 1, 1, 0, 0,
                                     ResizeModeCubic, 1),
                  ResizeOk);
        for (int x = 0; x < 5; ++x) EXPECT_EQ(dst[3 * 5 + x], x < 4 ? c.loop : c.tail) << int(c.rows[3]) << " " << x;
    }
}

TEST(SseCubic, ConversionsAndTaps) {
    // 16u halves from 256 on round to even in the loop; the scalar code truncates.
    for (float v : {300.5f, 301.5f}) {
        const float r[5] = {v, v, v, v, v};
        std::uint16_t d[5];
        S::CubicVert<std::uint16_t>(d, 5, 0.5f, r, r, r, r);
        EXPECT_EQ(d[0], v == 300.5f ? 300 : 302);
        EXPECT_EQ(d[4], v == 300.5f ? 300 : 301);
    }
    // Taps 10, 20, 40, 80 through both horizontal paths (columns 0-3 loop, 4 scalar).
    const std::uint8_t row[6] = {10, 20, 40, 80, 0, 0};
    const std::int32_t idx[5] = {1, 1, 1, 1, 1};
    struct T {
        float t, want;
    };
    for (const T& c : {T{0.0f, 20}, T{1.0f, 40}, T{-1.0f, 10}, T{0.5f, 28.125f}}) {
        const float frac[5] = {c.t, c.t, c.t, c.t, c.t};
        alignas(16) float out[8];
        S::CubicHorzC1<std::uint8_t>(row, 5, idx, frac, out);
        EXPECT_FLOAT_EQ(out[0], c.want) << c.t;
        EXPECT_FLOAT_EQ(out[4], c.want) << c.t;
    }
    // Overshoot saturates in 8u and stays in a float row.
    const float a[4] = {0, 255, 255, 0}, b[4] = {255, 0, 0, 255};
    float f0[4], f1[4], f2[4], f3[4];
    for (int k = 0; k < 4; ++k) f0[k] = f1[k] = f2[k] = f3[k] = 0;
    f0[0] = a[0], f1[0] = a[1], f2[0] = a[2], f3[0] = a[3];
    f0[1] = b[0], f1[1] = b[1], f2[1] = b[2], f3[1] = b[3];
    std::uint8_t d8[4];
    float d32[4];
    S::CubicVert<std::uint8_t>(d8, 4, 0.5f, f0, f1, f2, f3);
    S::CubicVert<float>(d32, 4, 0.5f, f0, f1, f2, f3);
    EXPECT_EQ(d8[0], 255);
    EXPECT_EQ(d8[1], 0);
    EXPECT_NEAR(d32[0], 286.875f, 1e-4);
    EXPECT_NEAR(d32[1], -31.875f, 1e-4);
}

// Three channels in four-sample pixels: the fourth sample keeps its contents in the loop's
// pixels, in the scalar tail's and in the float pass.
TEST(SseCubic, ThreeOfFourKeepsFourthSample) {
    std::vector<float> r(3 * 7);
    for (std::size_t i = 0; i < r.size(); ++i) r[i] = static_cast<float>(i * 9);
    std::vector<std::uint8_t> d8(4 * 7, 0xEE);
    std::vector<float> d32(4 * 7, -1.0f);
    S::CubicVertC3of4<std::uint8_t>(d8.data(), 7, 0.25f, r.data(), r.data(), r.data(), r.data());
    S::CubicVertC3of4<float>(d32.data(), 7, 0.25f, r.data(), r.data(), r.data(), r.data());
    for (int p = 0; p < 7; ++p) {
        EXPECT_EQ(d8[4 * p + 3], 0xEE);
        EXPECT_EQ(d32[4 * p + 3], -1.0f);
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(d8[4 * p + c], (3 * p + c) * 9) << p;
            EXPECT_EQ(d32[4 * p + c], static_cast<float>((3 * p + c) * 9));
        }
    }
}

// ---- six-tap -----------------------------------------------------------------------------

TEST(SseSixTap, Weights) {
    struct Case {
        float t;
        float w[6];
    };
    const Case cases[] = {
        {0.0f, {0, 0, 1, 0, 0, 0}},
        {0.99999988f, {0, 0, 0, 1, 0, 0}},
        {0.5f, {0.0243170895f, -0.135094911f, 0.607927084f, 0.607927084f, -0.135094911f, 0.0243170895f}},
        {0.25f, {0.0300210901f, -0.132871017f, 0.890067041f, 0.270189792f, -0.0677913502f, 0.00735592004f}},
    };
    for (const Case& c : cases) {
        float w[12];
        const float frac[2] = {c.t, c.t};
        S::ComputeSixTapWeights(frac, 2, w);
        for (int k = 0; k < 6; ++k) {
            EXPECT_FLOAT_EQ(w[k], c.w[k]) << c.t << " tap " << k;
            EXPECT_EQ(w[6 + k], w[k]);
        }
    }
}

TEST(SseSixTap, SumsInTapOrderAndConversions) {
    float w[6];
    const float half = 0.5f;
    S::ComputeSixTapWeights(&half, 1, w);
    // A uniform area of 200 at t = 0.5 in both directions.
    const std::uint8_t flat[6] = {200, 200, 200, 200, 200, 200};
    const std::int32_t at2[1] = {2};
    float work = 0;
    S::SixTapHorzC1<std::uint8_t>(flat, at2, w, &work, 1, 10, 6);
    EXPECT_FLOAT_EQ(work, 198.85971f);
    const float* rows[6] = {&work, &work, &work, &work, &work, &work};
    float vf = 0;
    std::uint8_t v8 = 0;
    S::SixTapVert<float>(&vf, 1, w, rows);
    S::SixTapVert<std::uint8_t>(&v8, 1, w, rows);
    EXPECT_FLOAT_EQ(vf, 197.72592f);
    EXPECT_EQ(v8, 197);
    // The order of the taps decides the last bit.
    const std::uint8_t odd[6] = {0, 255, 0, 255, 0, 255}, even[6] = {255, 0, 255, 0, 255, 0};
    float a = 0, b = 0;
    S::SixTapHorzC1<std::uint8_t>(odd, at2, w, &a, 1, 10, 6);
    S::SixTapHorzC1<std::uint8_t>(even, at2, w, &b, 1, 10, 6);
    EXPECT_EQ(a, 126.77306366f);
    EXPECT_EQ(b, 126.77305603f);
    EXPECT_NE(a, b);
    // 8u conversion: bias below 1 only, then truncation; negatives become 0.
    const float unit[6] = {1, 0, 0, 0, 0, 0};
    struct C {
        float s;
        std::uint8_t out;
    };
    for (const C& c : {C{0.99999994f, 1}, C{100.99f, 100}, C{-0.4f, 0}, C{300.0f, 255}}) {
        const float* r[6] = {&c.s, &c.s, &c.s, &c.s, &c.s, &c.s};
        std::uint8_t d = 0xEE;
        S::SixTapVert<std::uint8_t>(&d, 1, unit, r);
        EXPECT_EQ(d, c.out) << c.s;
    }
}

// Every column is written: one whose offset lies past the image's right edge takes clamped
// taps instead of ending the row.
TEST(SseSixTap, ColumnsOutsideTheRunsAreClamped) {
    const std::uint8_t row[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::int32_t idx[3] = {0, 7, 3};  // decreasing: not a run order
    float w[18];
    const float zero[3] = {0, 0, 0};
    S::ComputeSixTapWeights(zero, 3, w);
    float out[3] = {-1, -1, -1};
    S::SixTapHorzC1<std::uint8_t>(row, idx, w, out, 3, 0, 8);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[1], 8.0f);
    EXPECT_EQ(out[2], 4.0f);
}

// ---- super-sampling ----------------------------------------------------------------------

TEST(SseSuper, FractionalFootprintsAndClip) {
    std::uint8_t row[10], col[5];
    for (int i = 0; i < 10; ++i) row[i] = static_cast<std::uint8_t>(10 * i);
    for (int i = 0; i < 5; ++i) col[i] = static_cast<std::uint8_t>(10 * i);
    std::uint8_t d[4] = {};
    ASSERT_EQ(sse::ResizeSuperSample(row, {10, 1}, 10, {0, 0, 10, 1}, d, 4, {4, 1}, 0.4, 1.0, 1, 1, 0, 0, 1), ResizeOk);
    EXPECT_EQ(std::vector<int>(d, d + 4), (std::vector<int>{8, 32, 58, 82}));
    std::uint8_t e[2] = {};
    ASSERT_EQ(sse::ResizeSuperSample(col, {1, 5}, 1, {0, 0, 1, 5}, e, 1, {1, 2}, 1.0, 0.4, 1, 1, 0, 0, 1), ResizeOk);
    EXPECT_EQ(e[0], 8);
    EXPECT_EQ(e[1], 32);
    // A 10x10 region at 0.5 into a 100x100 destination writes 5x5.
    std::vector<std::uint8_t> src(20 * 20 * 3, 90), dst(100 * 100 * 3, 0xEE);
    ASSERT_EQ(sse::ResizeEntry(src.data(), {20, 20}, 60, {3, 4, 10, 10}, dst.data(), 300, {100, 100}, 0.5, 0.5,
                               ResizeModeSuper),
              ResizeOk);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) ASSERT_EQ(dst[y * 300 + x * 3], x < 5 && y < 5 ? 90 : 0xEE) << x << "," << y;
}

// ---- float passes at any destination alignment ------------------------------------------

TEST(SseFloatPasses, AlignedAndUnalignedDestinationsAgree) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-40.0f, 300.0f);
    alignas(16) float r[6][20];
    for (auto& row : r)
        for (float& v : row) v = d(rng);
    float w6[6];
    const float t = 0.37f;
    S::ComputeSixTapWeights(&t, 1, w6);
    const float* rows[6] = {r[0], r[1], r[2], r[3], r[4], r[5]};
    for (int n = 1; n <= 16; ++n) {
        alignas(16) float a[3][20], u[3][21];
        S::LinearVert<float>(a[0], n, t, r[0], r[1]);
        S::LinearVert<float>(u[0] + 1, n, t, r[0], r[1]);
        S::CubicVert<float>(a[1], n, t, r[0], r[1], r[2], r[3]);
        S::CubicVert<float>(u[1] + 1, n, t, r[0], r[1], r[2], r[3]);
        S::SixTapVert<float>(a[2], n, w6, rows);
        S::SixTapVert<float>(u[2] + 1, n, w6, rows);
        for (int p = 0; p < 3; ++p) EXPECT_EQ(std::memcmp(a[p], u[p] + 1, n * sizeof(float)), 0) << "pass " << p << " n " << n;
        // Every six-tap value is the scalar formula's, whether a lane or the tail made it.
        for (int k = 0; k < n; ++k) {
            const float s = ((((r[0][k] * w6[0] + r[1][k] * w6[1]) + r[2][k] * w6[2]) + r[3][k] * w6[3]) +
                             r[4][k] * w6[4]) + r[5][k] * w6[5];
            EXPECT_EQ(a[2][k], s) << k;
        }
    }
}

// ---- against the generic build ------------------------------------------------------------

TEST(SseAgainstGeneric, SameOrCloseResults) {
    std::mt19937 rng(2026);
    for (int mode : {ResizeModeNearest, ResizeModeLinear, ResizeModeCubic, ResizeModeSixTap, ResizeModeSuper})
        for (int type = 0; type < 3; ++type)
            for (int i = 0; i < 40; ++i) {
                const int e = type == 0 ? 1 : (type == 1 ? 2 : 4);
                const int ch = i % 3 == 0 ? 1 : (i % 3 == 1 ? 3 : 4);
                const ResizeSize src{7 + static_cast<int>(rng() % 30), 7 + static_cast<int>(rng() % 30)};
                const double fs[] = {0.5, 0.4, 1.0, 1.5, 2.0, 3.7, 0.77};
                double xf = fs[rng() % 7], yf = fs[rng() % 7];
                if (mode == ResizeModeSuper) xf = std::fmin(xf, 1.0), yf = std::fmin(yf, 1.0);
                const ResizeSize dst{static_cast<int>(src.width * xf) + 1, static_cast<int>(src.height * yf) + 1};
                const int sStep = src.width * ch * e, dStep = dst.width * ch * e;
                std::vector<std::uint8_t> s(static_cast<std::size_t>(sStep) * src.height);
                for (std::size_t k = 0; k < s.size(); k += e) {
                    if (type == 2) {
                        const float v = static_cast<float>(rng() % 256);
                        std::memcpy(&s[k], &v, 4);
                    } else {
                        for (int b = 0; b < e; ++b) s[k + b] = static_cast<std::uint8_t>(rng());
                    }
                }
                std::vector<std::uint8_t> g(static_cast<std::size_t>(dStep) * dst.height, 0), x = g;
                const ResizeRect roi{0, 0, src.width, src.height};
                if (mode == ResizeModeSuper) {
                    ASSERT_EQ(generic::ResizeSuperSample(s.data(), src, sStep, roi, g.data(), dStep, dst, xf, yf, ch, ch, type, 0, 1), ResizeOk);
                    ASSERT_EQ(sse::ResizeSuperSample(s.data(), src, sStep, roi, x.data(), dStep, dst, xf, yf, ch, ch, type, 0, 1), ResizeOk);
                } else {
                    ASSERT_EQ(generic::ResizeGeneral(s.data(), src, sStep, roi, g.data(), dStep, dst, xf, yf, 0, 0, ch, ch, type, 0, mode, 1), ResizeOk);
                    ASSERT_EQ(sse::ResizeGeneral(s.data(), src, sStep, roi, x.data(), dStep, dst, xf, yf, 0, 0, ch, ch, type, 0, mode, 1), ResizeOk);
                }
                const bool exact = mode == ResizeModeNearest || mode == ResizeModeSuper ||
                                   (mode == ResizeModeLinear && type != 2);
                if (exact) {
                    ASSERT_EQ(g, x) << "mode " << mode << " type " << type << " case " << i;
                    continue;
                }
                for (std::size_t k = 0; k < g.size(); k += e) {
                    const double a = model::SampleAt(&g[k], type), b = model::SampleAt(&x[k], type);
                    ASSERT_LE(std::fabs(a - b), type == 2 ? 1e-3 : 1.0)
                        << "mode " << mode << " type " << type << " case " << i << " at " << k;
                }
            }
}

// ---- allocation failures -----------------------------------------------------------------

TEST(SseAlloc, FailureAtEveryAllocationLeavesDestinationUntouched) {
    std::vector<std::uint8_t> src(12 * 9 * 3);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 13);
    for (ResizeEntryFn entry : {&sse::ResizeEntry, &sse2::ResizeEntry, &sse3::ResizeEntry})
    for (int mode : {ResizeModeNearest, ResizeModeLinear, ResizeModeCubic, ResizeModeSixTap, ResizeModeSuper}) {
        const double f = mode == ResizeModeSuper ? 0.4 : 1.5;
        bool succeeded = false;
        for (int okBefore = 0; okBefore < 16 && !succeeded; ++okBefore) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " failing allocation " << okBefore);
            std::vector<std::uint8_t> dst(18 * 14 * 3, 0xEE);
            SetAlignedAllocFailAfter(okBefore);
            const ResizeStatus st = entry(src.data(), {12, 9}, 36, {0, 0, 12, 9}, dst.data(), 54, {18, 14}, f, f, mode);
            SetAlignedAllocFailAfter(-1);
            if (st == ResizeOk) {
                succeeded = true;
                break;
            }
            ASSERT_EQ(st, ResizeErrNoMemory);
            for (std::uint8_t v : dst) ASSERT_EQ(v, 0xEE);
        }
        EXPECT_TRUE(succeeded);
    }
}

}  // namespace
#endif
