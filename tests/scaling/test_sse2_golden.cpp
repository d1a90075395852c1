// Worked examples of the SSE2 build and its SSE3-class compilation: the drivers' clipping and
// fall-backs, the passes value by value, the super-sampling sums, the agreement with the other
// builds, and the two compilations against each other on a random corpus.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "scaling/Aligned.h"
#include "scaling/Builds.h"
#include "scaling/Resize.h"
#include "reference_model.h"

#ifdef TRELVIX_SCALING_HAS_SSE
#include "scaling/sse/Arith.h"
#include "scaling/sse2/Arith.h"

namespace {

using namespace scaling;
using A2 = sse2::Arith;
using S = sse::Arith;
using G = generic::Arith;

// ---- drivers ---------------------------------------------------------------------------------

// The part of an 8-bit three-channel destination a call wrote, from a destination pre-filled
// with 0xEE and a source of 77 (no mode makes 0xEE from it): width and height of the written
// top-left rectangle, or -1 when the written samples do not form one.
ResizeSize WrittenRect(const std::vector<std::uint8_t>& d, int w, int h) {
    int ww = 0, hh = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (d[(y * w + x) * 3] != 0xEE) {
                ww = std::max(ww, x + 1);
                hh = std::max(hh, y + 1);
            }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((d[(y * w + x) * 3] != 0xEE) != (x < ww && y < hh)) return {-1, -1};
    return {ww, hh};
}

TEST(Sse2Driver, RegionAndDestinationClipping) {
    struct Case {
        const char* what;
        ResizeSize src;
        ResizeRect roi;
        ResizeSize dst;
        double xf, yf;
        int mode;
        ResizeSize want;
    };
    const Case cases[] = {
        {"ROI (8,8,5,5) of 10x10 at 2.0, nearest", {10, 10}, {8, 8, 5, 5}, {8, 8}, 2.0, 2.0, ResizeModeNearest, {4, 4}},
        {"ROI (8,8,5,5) of 10x10 at 2.0, linear", {10, 10}, {8, 8, 5, 5}, {8, 8}, 2.0, 2.0, ResizeModeLinear, {4, 4}},
        {"ROI (8,8,5,5) of 10x10 at 2.0, cubic", {10, 10}, {8, 8, 5, 5}, {8, 8}, 2.0, 2.0, ResizeModeCubic, {4, 4}},
        {"ROI (8,8,5,5) of 10x10 at 2.0, six-tap", {10, 10}, {8, 8, 5, 5}, {8, 8}, 2.0, 2.0, ResizeModeSixTap, {4, 4}},
        {"ROI (8,8,5,5) of 10x10 at 0.5, super", {10, 10}, {8, 8, 5, 5}, {8, 8}, 0.5, 0.5, ResizeModeSuper, {1, 1}},
        {"100 x 0.29 gives 29", {100, 2}, {0, 0, 100, 2}, {50, 2}, 0.29, 1.0, ResizeModeNearest, {29, 2}},
        {"100 x 0.29 gives 29, super", {100, 2}, {0, 0, 100, 2}, {50, 2}, 0.29, 1.0, ResizeModeSuper, {29, 2}},
        {"2 x 0.3 gives 1", {2, 2}, {0, 0, 2, 2}, {5, 2}, 0.3, 1.0, ResizeModeLinear, {1, 2}},
        {"factor 0.5 on 10 asked 8 gives 5", {10, 4}, {0, 0, 10, 4}, {8, 2}, 0.5, 0.5, ResizeModeSuper, {5, 2}},
        {"factor 0.5 on 10 asked 3 stays 3", {10, 4}, {0, 0, 10, 4}, {3, 2}, 0.5, 0.5, ResizeModeSuper, {3, 2}},
        {"nearest below 1 / length: one pixel", {10, 10}, {0, 0, 10, 10}, {4, 4}, 0.01, 0.01, ResizeModeNearest, {1, 1}},
    };
    for (ResizeEntryFn entry : {&sse2::ResizeEntry, &sse3::ResizeEntry})
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            std::vector<std::uint8_t> src(static_cast<std::size_t>(c.src.width) * c.src.height * 3, 77);
            std::vector<std::uint8_t> dst(static_cast<std::size_t>(c.dst.width) * c.dst.height * 3, 0xEE);
            ASSERT_EQ(entry(src.data(), c.src, c.src.width * 3, c.roi, dst.data(), c.dst.width * 3, c.dst, c.xf, c.yf,
                            c.mode),
                      ResizeOk);
            const ResizeSize got = WrittenRect(dst, c.dst.width, c.dst.height);
            EXPECT_EQ(got.width, c.want.width);
            EXPECT_EQ(got.height, c.want.height);
        }
}

// Q14 column pairs of the driver's tables: a fraction of 1/2 gives (8192, 8192), 1/3 gives
// (10923, 5461), 2/3 (5462, 10922); the image's last column moves one left with (0, 16384).
TEST(Sse2Driver, LinearQ14Pairs) {
    std::int32_t idx[4];
    std::uint16_t wt[8];
    engine::FillAxis<std::uint8_t>(ResizeModeLinear, true, 3, engine::AxisMap{0.0, 0.5}, 0, 10, 10, 1, idx, wt);
    EXPECT_EQ(std::vector<int>(wt, wt + 6), (std::vector<int>{16384, 0, 8192, 8192, 16384, 0}));
    // A region of the image's last two columns, stepped by thirds: the fourth position is the
    // last column.
    engine::FillAxis<std::uint8_t>(ResizeModeLinear, true, 4, engine::AxisMap{0.0, 1.0 / 3.0}, 8, 2, 10, 3, idx, wt);
    EXPECT_EQ(std::vector<int>(wt, wt + 8), (std::vector<int>{16384, 0, 10923, 5461, 5462, 10922, 0, 16384}));
    EXPECT_EQ(std::vector<int>(idx, idx + 4), (std::vector<int>{0, 0, 0, 0}));
}

// Small sources fall back to simpler filters: the result equals the fallback mode's.
TEST(Sse2Driver, ModeFallbacks) {
    struct Case {
        int w, h, asked, runs;
    };
    const Case cases[] = {{1, 50, ResizeModeCubic, ResizeModeNearest},
                          {3, 50, ResizeModeCubic, ResizeModeLinear},
                          {5, 50, ResizeModeSixTap, ResizeModeCubic},
                          {3, 50, ResizeModeSixTap, ResizeModeLinear},
                          {50, 1, ResizeModeSixTap, ResizeModeNearest}};
    std::mt19937 rng(5);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " mode " + std::to_string(c.asked));
        std::vector<std::uint8_t> src(static_cast<std::size_t>(c.w) * c.h * 3);
        for (auto& v : src) v = static_cast<std::uint8_t>(rng());
        const ResizeSize dst{c.w * 2, c.h * 2};
        std::vector<std::uint8_t> a(static_cast<std::size_t>(dst.width) * dst.height * 3, 1), b = a;
        ASSERT_EQ(sse2::ResizeEntry(src.data(), {c.w, c.h}, c.w * 3, {0, 0, c.w, c.h}, a.data(), dst.width * 3, dst,
                                    2.0, 2.0, c.asked),
                  ResizeOk);
        ASSERT_EQ(sse2::ResizeEntry(src.data(), {c.w, c.h}, c.w * 3, {0, 0, c.w, c.h}, b.data(), dst.width * 3, dst,
                                    2.0, 2.0, c.runs),
                  ResizeOk);
        EXPECT_EQ(a, b);
    }
}

// The generic build's refusals hold: an unknown element type is a mode error, a planar call with
// one channel resizes one plane.
TEST(Sse2Driver, RefusalsAndPlaneCounts) {
    std::uint8_t s[64] = {}, d[64] = {};
    EXPECT_EQ(sse2::ResizeGeneral(s, {4, 4}, 4, {0, 0, 4, 4}, d, 4, {4, 4}, 1.0, 1.0, 0, 0, 1, 1, 7, 0, 1, 1),
              ResizeErrMode);
    EXPECT_EQ(sse2::ResizeSuperSample(s, {4, 4}, 4, {0, 0, 4, 4}, d, 4, {4, 4}, 1.0, 1.0, 1, 1, 7, 0, 1),
              ResizeErrMode);
    std::uint8_t p0[16], q0[16];
    for (int i = 0; i < 16; ++i) p0[i] = static_cast<std::uint8_t>(i);
    std::memset(q0, 0xEE, sizeof q0);
    const void* sp[1] = {p0};
    void* dp[1] = {q0};  // a second plane pointer would be read past this array
    EXPECT_EQ(sse2::ResizeSuperSample(sp, {4, 4}, 4, {0, 0, 4, 4}, dp, 4, {4, 4}, 1.0, 1.0, 1, 1, 0, 1, 1), ResizeOk);
    EXPECT_EQ(std::memcmp(p0, q0, 16), 0);
}

// ---- nearest -----------------------------------------------------------------------------

TEST(Sse2Nearest, SourceColumnsAndFloatBits) {
    struct Case {
        double f;
        std::vector<int> cols;
    };
    const Case cases[] = {{2.0, {0, 0, 1, 1, 2, 2}}, {0.5, {1, 3, 5}}, {3.0, {0, 0, 0, 1, 1, 1}}, {1.0, {0, 1, 2, 3}}};
    std::uint8_t row[8];
    for (int i = 0; i < 8; ++i) row[i] = static_cast<std::uint8_t>(i);
    for (const Case& c : cases) {
        std::vector<std::uint8_t> d(c.cols.size(), 0xEE);
        const int n = static_cast<int>(c.cols.size());
        ASSERT_EQ(sse2::ResizeGeneral(row, {8, 1}, 8, {0, 0, 8, 1}, d.data(), n, {n, 1}, c.f, 1.0, 0, 0, 1, 1, 0, 0,
                                      ResizeModeNearest, 1),
                  ResizeOk);
        for (int k = 0; k < n; ++k) EXPECT_EQ(d[k], c.cols[k]) << "factor " << c.f << " column " << k;
    }
    // Floats move as bit patterns: NaNs with payloads, infinities and negative zeros.
    const std::uint32_t bits[12] = {0x7FC00001u, 0xFFC12345u, 0x7F800000u, 0xFF800000u, 0x80000000u, 0x00000001u,
                                    0x7F800001u, 0x3F800000u, 0x80000001u, 0xFFFFFFFFu, 0x00000000u, 0x7FFFFFFFu};
    for (int ch : {1, 3, 4}) {
        std::uint8_t dst[48];
        std::memset(dst, 0xEE, sizeof dst);
        const int w = 12 / ch;
        ASSERT_EQ(sse2::ResizeGeneral(bits, {w, 1}, 48, {0, 0, w, 1}, dst, 48, {w, 1}, 1.0, 1.0, 0, 0, ch, ch, 2, 0,
                                      ResizeModeNearest, 1),
                  ResizeOk);
        EXPECT_EQ(std::memcmp(dst, bits, 48), 0) << ch;
    }
}

// ---- linear ------------------------------------------------------------------------------

TEST(Sse2Linear, PassValues) {
    const std::int32_t idx0[1] = {0};
    const std::uint16_t half[2] = {8192, 8192};
    const std::uint8_t b[2] = {0, 255};
    std::uint16_t work = 0;
    A2::LinearHorzC1<std::uint8_t>(b, 1, idx0, half, &work);
    EXPECT_EQ(work, 8160);
    for (int w : {0, 1, 8192, 16383, 16384}) {
        std::uint8_t d = 0;
        A2::LinearVert<std::uint8_t>(&d, 1, static_cast<std::uint16_t>(w), &work, &work);
        EXPECT_EQ(d, 128) << w;
    }
    const std::uint16_t h[2] = {0, 65535}, same[2] = {40000, 40000};
    std::uint16_t w16 = 0;
    A2::LinearHorzC1<std::uint16_t>(h, 1, idx0, half, &w16);
    EXPECT_EQ(w16, 32768);
    for (std::uint16_t l : {std::uint16_t{0}, std::uint16_t{1}, std::uint16_t{5461}, std::uint16_t{16384}}) {
        const std::uint16_t pair[2] = {static_cast<std::uint16_t>(16384 - l), l};
        A2::LinearHorzC1<std::uint16_t>(same, 1, idx0, pair, &w16);
        EXPECT_EQ(w16, 40000) << l;
        std::uint16_t d = 0;
        A2::LinearVert<std::uint16_t>(&d, 1, l, &w16, &w16);
        EXPECT_EQ(d, 40000);
    }
    // Float at f = 1: left + (right - left), which for (1e8, 1) is 0.
    const float f[2] = {1e8f, 1.0f};
    const float one = 1.0f;
    float out = -1.0f;
    A2::LinearHorzC1<float>(f, 1, idx0, &one, &out);
    EXPECT_EQ(out, 0.0f);
}

// Widths 1 to 16 of the one-channel and vertical integer passes give the per-value formulas.
TEST(Sse2Linear, WidthsOneToSixteen) {
    std::mt19937 rng(11);
    for (int n = 1; n <= 16; ++n) {
        std::uint8_t s8[40];
        std::uint16_t s16[40];
        for (int i = 0; i < 40; ++i) s8[i] = static_cast<std::uint8_t>(rng()), s16[i] = static_cast<std::uint16_t>(rng());
        std::int32_t idx[16];
        alignas(16) std::uint16_t wt[32];
        for (int k = 0; k < n; ++k) {
            idx[k] = 2 * k + static_cast<int>(rng() % 2);
            const int w = static_cast<int>(rng() % 16385);
            wt[2 * k] = static_cast<std::uint16_t>(16384 - w);
            wt[2 * k + 1] = static_cast<std::uint16_t>(w);
        }
        alignas(16) std::uint16_t o8[24] = {}, o16[24] = {};
        A2::LinearHorzC1<std::uint8_t>(s8, n, idx, wt, o8);
        A2::LinearHorzC1<std::uint16_t>(s16, n, idx, wt, o16);
        const std::uint16_t rw = static_cast<std::uint16_t>(rng() % 16385);
        std::uint8_t v8[16];
        std::uint16_t v16[16];
        A2::LinearVert<std::uint8_t>(v8, n, rw, o8, o8 + 4);
        A2::LinearVert<std::uint16_t>(v16, n, rw, o16, o16 + 4);
        for (int k = 0; k < n; ++k) {
            const std::uint32_t a = s8[idx[k]] * wt[2 * k] + s8[idx[k] + 1] * wt[2 * k + 1];
            ASSERT_EQ(o8[k], (a + 128) >> 8) << n << " " << k;
            const std::uint32_t c = s16[idx[k]] * static_cast<std::uint32_t>(wt[2 * k]) + s16[idx[k] + 1] * static_cast<std::uint32_t>(wt[2 * k + 1]);
            ASSERT_EQ(o16[k], (c + 8192) >> 14) << n << " " << k;
        }
        for (int k = 0; k < n; ++k) {
            ASSERT_EQ(v8[k], (o8[k] * (16384u - rw) + o8[k + 4] * rw + 524288u) >> 20) << n << " " << k;
            ASSERT_EQ(v16[k], (o16[k] * (16384u - rw) + o16[k + 4] * rw + 8192u) >> 14) << n << " " << k;
        }
    }
}

// Three channels at stride 3 whose last tap pixel ends the source buffer: nothing past it is
// read (the buffers are sized exactly; AddressSanitizer catches a read beyond them).
TEST(Sse2Linear, ThreeChannelPassesReadNothingPastTheSource) {
    for (int w : {2, 3, 4, 5, 9}) {
        std::vector<std::uint8_t> s8(static_cast<std::size_t>(w) * 3);
        std::vector<std::uint16_t> s16(s8.size());
        std::vector<float> s32(s8.size());
        for (std::size_t i = 0; i < s8.size(); ++i) s8[i] = static_cast<std::uint8_t>(i * 7), s16[i] = s8[i], s32[i] = s8[i];
        // Linear: columns from the first pixel on; the last ones take the last two pixels.
        const int n = w + 1;
        std::vector<std::int32_t> idx(n);
        for (int k = 0; k < n; ++k) idx[k] = std::min(k, w - 2) * 3;
        std::vector<std::uint16_t> wt(2 * n, 8192);
        std::vector<float> fr(n, 0.5f);
        std::vector<std::uint16_t> o(3 * n + 12);
        std::vector<float> of(3 * n + 12);
        A2::LinearHorzC3<std::uint8_t>(s8.data(), n, 3, idx.data(), wt.data(), o.data());
        EXPECT_EQ(o[3 * n - 1], ((s8[(w - 2) * 3 + 2] + s8[(w - 1) * 3 + 2]) * 8192u + 128) >> 8);
        A2::LinearHorzC3<std::uint16_t>(s16.data(), n, 3, idx.data(), wt.data(), o.data());
        A2::LinearHorzC3<float>(s32.data(), n, 3, idx.data(), fr.data(), of.data());
        if (w < 4) continue;
        // Cubic: the last columns' four tap pixels are the last four.
        std::vector<std::int32_t> cidx(n);
        for (int k = 0; k < n; ++k) cidx[k] = std::min(std::max(k, 1), w - 3) * 3;
        std::vector<float> t(n, 2.0f);
        A2::CubicHorzC3<std::uint8_t>(s8.data(), n, 3, cidx.data(), t.data(), of.data());
        A2::CubicHorzC3<std::uint16_t>(s16.data(), n, 3, cidx.data(), t.data(), of.data());
        A2::CubicHorzC3<float>(s32.data(), n, 3, cidx.data(), t.data(), of.data());
        EXPECT_NEAR(of[3 * n - 1], s32[(w - 1) * 3 + 2], 1e-3);
    }
}

// ---- cubic -------------------------------------------------------------------------------

TEST(Sse2Cubic, LoopRoundsTailTruncatesAndFloatBias) {
    struct Case {
        float s[4];
        float t;
        std::uint8_t loop, tail;
    };
    for (const Case& c : {Case{{0, 0, 255, 255}, 0.5f, 128, 127}, Case{{10, 20, 30, 40}, 0.25f, 23, 22},
                          Case{{254.99998474121094f, 254.99998474121094f, 254.99998474121094f, 254.99998474121094f},
                               0.0f, 255, 254}}) {
        float r[4][5];
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 5; ++k) r[i][k] = c.s[i];
        for (auto* vert : {&A2::CubicVert<std::uint8_t>, &S::CubicVert<std::uint8_t>}) {
            std::uint8_t d[5];
            vert(d, 5, c.t, r[0], r[1], r[2], r[3]);
            for (int k = 0; k < 5; ++k) EXPECT_EQ(d[k], k < 4 ? c.loop : c.tail) << c.s[0] << " " << k;
        }
    }
    // Floats: the loop stores value + 1e-5, the tail the value.
    for (float v : {1.0f, 0.0f}) {
        const float r[5] = {v, v, v, v, v};
        float d[5];
        A2::CubicVert<float>(d, 5, 0.3f, r, r, r, r);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(d[k], v + 1e-5f) << v;
        EXPECT_EQ(d[4], v);
    }
    EXPECT_EQ(1.0f + 1e-5f, 1.0000100135803223f);
}

// The packed form at t = 2 on samples 0, 0, 0, 255 gives 254.99998474121094 (K3 lies below one
// third); the scalar tail of the one-channel pass gives 255.
TEST(Sse2Cubic, PackedFormAtTwo) {
    const std::uint8_t c1[8] = {0, 0, 0, 255, 0, 0, 0, 0};
    const std::int32_t idx[5] = {1, 1, 1, 1, 1};
    alignas(16) const float two[5] = {2, 2, 2, 2, 2};
    alignas(16) float out[8];
    A2::CubicHorzC1<std::uint8_t>(c1, 5, idx, two, out);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(out[k], 254.99998474121094f);
    EXPECT_EQ(out[4], 255.0f);
    // Four-channel and three-channel pixels: every pixel packed, no tail.
    std::uint8_t c4[16] = {}, c3[12] = {};
    for (int c = 0; c < 4; ++c) c4[12 + c] = 255;
    for (int c = 0; c < 3; ++c) c3[9 + c] = 255;
    const std::int32_t at4[1] = {4}, at3[1] = {3};
    alignas(16) float o4[4], o3[4];
    A2::CubicHorzC4<std::uint8_t>(c4, 1, at4, two, o4);
    A2::CubicHorzC3<std::uint8_t>(c3, 1, 3, at3, two, o3);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(o4[c], 254.99998474121094f);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(o3[c], 254.99998474121094f);
}

// Three of four: widths 1 (tail only), 2 (four values in the loop, two in the tail) and 4 (three
// loop rounds); the fourth element of every pixel keeps its contents.
TEST(Sse2Cubic, ThreeOfFourWidths) {
    for (int w : {1, 2, 4, 5}) {
        std::vector<float> r(3 * w + 4);
        for (int i = 0; i < 3 * w; ++i) r[i] = static_cast<float>(i * 11 + 0.5);
        std::vector<std::uint8_t> d8(4 * w, 0xEE);
        std::vector<std::uint16_t> d16(4 * w, 0xBEEF);
        std::vector<float> d32(4 * w, -7.0f);
        A2::CubicVertC3of4<std::uint8_t>(d8.data(), w, 0.0f, r.data(), r.data(), r.data(), r.data());
        A2::CubicVertC3of4<std::uint16_t>(d16.data(), w, 0.0f, r.data(), r.data(), r.data(), r.data());
        A2::CubicVertC3of4<float>(d32.data(), w, 0.0f, r.data(), r.data(), r.data(), r.data());
        const int loop = 3 * w - (3 * w) % 4;
        for (int p = 0; p < w; ++p) {
            EXPECT_EQ(d8[4 * p + 3], 0xEE);
            EXPECT_EQ(d16[4 * p + 3], 0xBEEF);
            EXPECT_EQ(d32[4 * p + 3], -7.0f);
            for (int c = 0; c < 3; ++c) {
                const int j = 3 * p + c;
                // x.5 rounds up in the loop (bias) and truncates in the tail.
                const int want = j * 11 + (j < loop ? 1 : 0);
                EXPECT_EQ(d8[4 * p + c], std::min(want, 255)) << w << " " << j;
                EXPECT_EQ(d16[4 * p + c], want) << w << " " << j;
                EXPECT_EQ(d32[4 * p + c], r[j]);
            }
        }
    }
}

// ---- six-tap -----------------------------------------------------------------------------

// The packed weights equal the SSE build's scalar single-precision weights for every fraction
// tried, the borders of the table included; a fraction of 0 gives (0, 0, 1, 0, 0, 0).
TEST(Sse2SixTap, PackedWeightsEqualSse) {
    std::vector<float> fr = {0.0f, 0.5f, 0.25f, 0.99999988f, 0.99999994f, 1e-7f, 0.01f, 0.33333334f,
                             std::numeric_limits<float>::quiet_NaN()};
    std::mt19937 rng(3);
    for (int i = 0; i < 2000; ++i) fr.push_back(std::uniform_real_distribution<float>(0.0f, 1.0f)(rng));
    for (int i = 0; i < 500; ++i) fr.push_back(std::bit_cast<float>(0x3F000000u + static_cast<std::uint32_t>(rng() % 0x800000u)));
    for (int n : {1, 2, 3, static_cast<int>(fr.size())}) {
        std::vector<float> a(6 * n, -9.0f), b(6 * n, -9.0f), c(6 * n, -9.0f);
        A2::ComputeSixTapWeights(fr.data(), n, a.data());
        S::ComputeSixTapWeights(fr.data(), n, b.data());
        sse3::ComputeSixTapWeights(fr.data(), n, c.data());
        ASSERT_EQ(std::memcmp(a.data(), b.data(), a.size() * 4), 0) << n;
        ASSERT_EQ(std::memcmp(a.data(), c.data(), a.size() * 4), 0) << n;
    }
    float w[6];
    const float zero = 0.0f;
    A2::ComputeSixTapWeights(&zero, 1, w);
    EXPECT_EQ(std::vector<float>(w, w + 6), (std::vector<float>{0, 0, 1, 0, 0, 0}));
}

// Integer vertical sums in double precision: 1e-7 added, truncated, clamped.
TEST(Sse2SixTap, IntegerVerticalSums) {
    struct Case {
        float r0, w1;  // sum = r0 + 1 * w1 (double products of floats)
        int out8, out16;
    };
    const Case cases[] = {
        {-3.2f, 0.0f, 0, 0},          {300.7f, 0.0f, 255, 300},      {254.9f, 0.0f, 254, 254},
        {100.0f, -5e-8f, 100, 100},   {100.0f, -2e-7f, 99, 99},      {70000.4f, 0.0f, 255, 65535},
        {65534.9f, 0.0f, 255, 65534}, {1000.5f, 0.0f, 255, 1000},
    };
    for (const Case& c : cases) {
        const float one = 1.0f;
        const float w[6] = {1.0f, c.w1, 0, 0, 0, 0};
        const float* r[6] = {&c.r0, &one, &one, &one, &one, &one};
        std::uint8_t d8 = 0xEE;
        std::uint16_t d16 = 0xBEEF;
        A2::SixTapVert<std::uint8_t>(&d8, 1, w, r);
        A2::SixTapVert<std::uint16_t>(&d16, 1, w, r);
        EXPECT_EQ(d8, c.out8) << c.r0 << " " << c.w1;
        EXPECT_EQ(d16, c.out16) << c.r0 << " " << c.w1;
        // Nine values: two packed rounds of four and one value alone give the same.
        std::vector<float> first(9, c.r0), rest(9, 1.0f);
        const float* rows9[6] = {first.data(), rest.data(), rest.data(), rest.data(), rest.data(), rest.data()};
        std::uint8_t e8[9];
        std::uint16_t e16[9];
        A2::SixTapVert<std::uint8_t>(e8, 9, w, rows9);
        A2::SixTapVert<std::uint16_t>(e16, 9, w, rows9);
        for (int k = 0; k < 9; ++k) {
            EXPECT_EQ(e8[k], c.out8) << c.r0 << " value " << k;
            EXPECT_EQ(e16[k], c.out16) << c.r0 << " value " << k;
        }
        std::uint8_t p8[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        std::vector<float> three(3, c.r0), ones(3, 1.0f);
        const float* rr[6] = {three.data(), ones.data(), ones.data(), ones.data(), ones.data(), ones.data()};
        A2::SixTapVertC3of4<std::uint8_t>(p8, 1, w, rr);
        EXPECT_EQ(p8[0], c.out8);
        EXPECT_EQ(p8[3], 0xEE);
    }
}

// Sums that are not numbers or beyond every sample give 0 or the maximum in both routes.
TEST(Sse2SixTap, IntegerVerticalSumsOutsideTheRange) {
    const float w[6] = {1, 1, 1, 1, 1, 1};
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (const auto& [v, o8, o16] : {std::tuple{nan, 0, 0}, std::tuple{inf, 255, 65535}, std::tuple{-inf, 0, 0},
                                     std::tuple{3e38f, 255, 65535}, std::tuple{-3e38f, 0, 0}}) {
        std::vector<float> row(5, v), zero(5, 0.0f);
        const float* r[6] = {row.data(), zero.data(), zero.data(), zero.data(), zero.data(), zero.data()};
        std::uint8_t d8[5];
        std::uint16_t d16[5];
        A2::SixTapVert<std::uint8_t>(d8, 5, w, r);
        A2::SixTapVert<std::uint16_t>(d16, 5, w, r);
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(d8[k], o8) << v << " " << k;
            EXPECT_EQ(d16[k], o16) << v << " " << k;
        }
    }
}

// The float vertical pass at every 4-byte alignment around a 16-byte boundary gives the scalar
// formula's bits for short rows (scalar only) and long ones.
TEST(Sse2SixTap, FloatVerticalAtEveryAlignment) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> d(-100.0f, 400.0f);
    std::vector<std::vector<float>> rows(6, std::vector<float>(80));
    for (auto& r : rows)
        for (float& v : r) v = d(rng);
    float w[6];
    const float t = 0.61f;
    A2::ComputeSixTapWeights(&t, 1, w);
    const float* rp[6] = {rows[0].data(), rows[1].data(), rows[2].data(),
                          rows[3].data(), rows[4].data(), rows[5].data()};
    alignas(16) float buf[4 * 1024 + 96];
    for (int n : {10, 11, 64})
        for (int off : {0, 1, 2, 3}) {  // in floats: 16k, 16k + 4, 16k + 8, 16k + 12 bytes
            float* dst = buf + 4 * 1024 + off;
            A2::SixTapVert<float>(dst, n, w, rp);
            for (int k = 0; k < n; ++k) {
                const float s = ((((rows[0][k] * w[0] + rows[1][k] * w[1]) + rows[2][k] * w[2]) + rows[3][k] * w[3]) +
                                 rows[4][k] * w[4]) + rows[5][k] * w[5];
                ASSERT_EQ(std::bit_cast<std::uint32_t>(dst[k]), std::bit_cast<std::uint32_t>(s)) << n << " " << off << " " << k;
            }
        }
}

// ---- super-sampling ----------------------------------------------------------------------

TEST(Sse2Super, WorkedValues) {
    // Four values summing to 510 at 0.5 x 0.5 give 128 (127.5 rounds up).
    const std::uint8_t q[4] = {100, 155, 120, 135};
    std::uint8_t d = 0;
    ASSERT_EQ(sse2::ResizeSuperSample(q, {2, 2}, 2, {0, 0, 2, 2}, &d, 1, {1, 1}, 0.5, 0.5, 1, 1, 0, 0, 1), ResizeOk);
    EXPECT_EQ(d, 128);
    // A ratio just below 3 (1 / 0.33333334): pixel 0 takes columns 0, 1 and most of 2; pixel 1
    // takes 3, 4 and most of 5, and nothing more of column 2.
    const std::uint8_t row[9] = {0, 0, 255, 30, 60, 90, 0, 0, 0};
    std::uint8_t o[3] = {};
    ASSERT_EQ(sse2::ResizeSuperSample(row, {9, 1}, 9, {0, 0, 9, 1}, o, 3, {3, 1}, 0.33333334, 1.0, 1, 1, 0, 0, 1),
              ResizeOk);
    EXPECT_EQ(o[0], 85);
    EXPECT_EQ(o[1], 60);
    // 16-bit sums of 2^31 and more are unsigned: 65535 over 256 x 129 pixels.
    std::vector<std::uint16_t> big(256 * 129, 65535);
    std::uint16_t one = 0;
    ASSERT_EQ(sse2::ResizeSuperSample(big.data(), {256, 129}, 512, {0, 0, 256, 129}, &one, 2, {1, 1}, 256.0, 129.0,
                                      1, 1, 1, 0, 0),
              ResizeOk);
    EXPECT_EQ(one, 65535);
    // Negative zero averages to positive zero.
    const float nz[4] = {-0.0f, -0.0f, -0.0f, -0.0f};
    float fz[4] = {1, 1, 1, 1};
    ASSERT_EQ(sse2::ResizeSuperSample(nz, {4, 1}, 16, {0, 0, 4, 1}, fz, 16, {4, 1}, 1.0, 1.0, 1, 1, 2, 0, 1), ResizeOk);
    for (float v : fz) EXPECT_EQ(std::bit_cast<std::uint32_t>(v), 0u);
}

// The one-channel float accumulator of whole ratios: each block of sixteen rounds after every
// row, the values after the last block sum in double precision and round once. Under fractional
// ratios every value rounds after every row.
TEST(Sse2Super, FloatTailOfTheOneChannelAccumulator) {
    float src[3][20];
    for (int c = 0; c < 20; ++c) src[0][c] = 16777216.0f, src[1][c] = 1.0f, src[2][c] = 1.0f;
    for (int fcase : {0, 1}) {
        alignas(16) float acc[20] = {};
        A2::SuperAccum<float, float>(reinterpret_cast<const std::uint8_t*>(src), sizeof src[0], 20, 3, acc, 1, 1, fcase);
        for (int c = 0; c < 20; ++c)
            EXPECT_EQ(acc[c], c < 16 || fcase ? 16777216.0f : 16777218.0f) << fcase << " " << c;
    }
    // Through the driver: 20 x 3 reduced 1 x 3 (steps), then scaled by 1/3.
    float out[20];
    ASSERT_EQ(sse2::ResizeSuperSample(src, {20, 3}, 80, {0, 0, 20, 3}, out, 80, {20, 1}, 1.0, 3.0, 1, 1, 2, 0, 0),
              ResizeOk);
    for (int c = 0; c < 20; ++c)
        EXPECT_EQ(out[c], static_cast<float>((c < 16 ? 16777216.0 : 16777218.0) * (1.0 / 3.0))) << c;
}

// Halving three-channel bytes straight from the source rows gives the accumulator route's bytes
// for every width (the three-pixel rounds and the tail), odd region sizes and padded steps.
TEST(Sse2Super, HalvingRowsEqualGeneric) {
    std::mt19937 rng(37);
    for (int w = 1; w <= 41; ++w)
        for (int h : {1, 2, 3, 6, 7}) {
            const int pad = static_cast<int>(rng() % 4), sStep = w * 3 + pad, dw = (w + 1) / 2 + 1, dStep = dw * 3 + 1;
            std::vector<std::uint8_t> src(static_cast<std::size_t>(sStep) * h);
            for (auto& v : src) v = static_cast<std::uint8_t>(rng());
            std::vector<std::uint8_t> g(static_cast<std::size_t>(dStep) * h, 0xEE), x = g;
            ASSERT_EQ(generic::ResizeEntry(src.data(), {w, h}, sStep, {0, 0, w, h}, g.data(), dStep, {dw, h}, 0.5, 0.5,
                                           ResizeModeSuper),
                      ResizeOk);
            ASSERT_EQ(sse2::ResizeEntry(src.data(), {w, h}, sStep, {0, 0, w, h}, x.data(), dStep, {dw, h}, 0.5, 0.5,
                                        ResizeModeSuper),
                      ResizeOk);
            ASSERT_EQ(g, x) << w << "x" << h;
        }
}

// The packed integer accumulators give the generic sums for every layout and count.
TEST(Sse2Super, PackedAccumulatorsEqualGeneric) {
    std::mt19937 rng(23);
    std::vector<std::uint8_t> src(4 * 40 * 2 * 5);
    for (auto& v : src) v = static_cast<std::uint8_t>(rng());
    for (int V : {1, 3, 4})
        for (int n = 0; n <= 37; ++n)
            for (int rows : {1, 2, 5}) {
                const std::ptrdiff_t step = 4 * 40 * 2;
                std::vector<std::uint32_t> a(4 * 40 + 8, 7), g = a;
                A2::SuperAccum<std::uint8_t, std::uint32_t>(src.data() + 1, step, n, rows, a.data(), V, V, 0);
                G::SuperAccum<std::uint8_t, std::uint32_t>(src.data() + 1, step, n, rows, g.data(), V, V, 0);
                ASSERT_EQ(a, g) << V << " " << n << " " << rows;
                A2::SuperAccum<std::uint16_t, std::uint32_t>(src.data() + 2, step, n, rows, a.data(), V, V, 0);
                G::SuperAccum<std::uint16_t, std::uint32_t>(src.data() + 2, step, n, rows, g.data(), V, V, 0);
                ASSERT_EQ(a, g) << V << " " << n << " " << rows;
                std::vector<float> fa(4 * 40 + 8, 0.5f), fg = fa;
                A2::SuperAccum<std::uint16_t, float>(src.data() + 2, step, n, rows, fa.data(), V, V, 1);
                G::SuperAccum<std::uint16_t, float>(src.data() + 2, step, n, rows, fg.data(), V, V, 1);
                ASSERT_EQ(fa, fg) << V << " " << n << " " << rows;
            }
}

// ---- against the other builds --------------------------------------------------------------

// Random calls of every mode, type and channel count: byte-identical with the generic build where
// the arithmetic is the same, with the SSE build for float linear, and close to the generic
// build elsewhere.
TEST(Sse2AgainstOtherBuilds, SameOrCloseResults) {
    std::mt19937 rng(2027);
    for (int mode : {ResizeModeNearest, ResizeModeLinear, ResizeModeCubic, ResizeModeSixTap, ResizeModeSuper})
        for (int type = 0; type < 3; ++type)
            for (int i = 0; i < 40; ++i) {
                const int e = type == 0 ? 1 : (type == 1 ? 2 : 4);
                const int ch = i % 3 == 0 ? 1 : (i % 3 == 1 ? 3 : 4);
                const ResizeSize src{7 + static_cast<int>(rng() % 30), 7 + static_cast<int>(rng() % 30)};
                const double fs[] = {0.5, 0.4, 1.0, 1.5, 2.0, 3.7, 0.77, 0.25};
                double xf = fs[rng() % 8], yf = fs[rng() % 8];
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
                std::vector<std::uint8_t> g(static_cast<std::size_t>(dStep) * dst.height, 0), x = g, y = g;
                const ResizeRect roi{0, 0, src.width, src.height};
                if (mode == ResizeModeSuper) {
                    ASSERT_EQ(generic::ResizeSuperSample(s.data(), src, sStep, roi, g.data(), dStep, dst, xf, yf, ch, ch, type, 0, 1), ResizeOk);
                    ASSERT_EQ(sse2::ResizeSuperSample(s.data(), src, sStep, roi, x.data(), dStep, dst, xf, yf, ch, ch, type, 0, 1), ResizeOk);
                    ASSERT_EQ(sse::ResizeSuperSample(s.data(), src, sStep, roi, y.data(), dStep, dst, xf, yf, ch, ch, type, 0, 1), ResizeOk);
                } else {
                    ASSERT_EQ(generic::ResizeGeneral(s.data(), src, sStep, roi, g.data(), dStep, dst, xf, yf, 0, 0, ch, ch, type, 0, mode, 1), ResizeOk);
                    ASSERT_EQ(sse2::ResizeGeneral(s.data(), src, sStep, roi, x.data(), dStep, dst, xf, yf, 0, 0, ch, ch, type, 0, mode, 1), ResizeOk);
                    ASSERT_EQ(sse::ResizeGeneral(s.data(), src, sStep, roi, y.data(), dStep, dst, xf, yf, 0, 0, ch, ch, type, 0, mode, 1), ResizeOk);
                }
                const std::string what = "mode " + std::to_string(mode) + " type " + std::to_string(type) + " case " + std::to_string(i);
                if (mode == ResizeModeNearest || (type != 2 && (mode == ResizeModeSuper || mode == ResizeModeLinear))) {
                    ASSERT_EQ(g, x) << what;
                    continue;
                }
                if (mode == ResizeModeLinear) {
                    ASSERT_EQ(y, x) << what;
                    continue;
                }
                for (std::size_t k = 0; k < g.size(); k += e) {
                    const double a = model::SampleAt(&g[k], type), b = model::SampleAt(&x[k], type);
                    ASSERT_LE(std::fabs(a - b), type == 2 ? 1e-3 : 1.0) << what << " at " << k;
                }
            }
}

// Pass by pass, what the SSE2 build shares with the SSE build gives the same bits: the cubic
// one-channel horizontal and integer vertical passes, the six-tap horizontal passes and the
// float six-tap vertical pass.
TEST(Sse2AgainstOtherBuilds, SharedPassesEqualSse) {
    std::mt19937 rng(29);
    std::vector<std::uint8_t> s8(400);
    std::vector<std::uint16_t> s16(400);
    std::vector<float> s32(400);
    for (std::size_t i = 0; i < s8.size(); ++i) {
        s8[i] = static_cast<std::uint8_t>(rng());
        s16[i] = static_cast<std::uint16_t>(rng());
        s32[i] = std::uniform_real_distribution<float>(-50.0f, 300.0f)(rng);
    }
    for (int n = 1; n <= 19; ++n) {
        std::vector<std::int32_t> idx(n), idx3(n), idx4(n);
        alignas(16) float frac[24], w6[6 * 24];
        for (int k = 0; k < n; ++k) {
            idx[k] = 1 + static_cast<int>(rng() % 60);
            idx3[k] = 3 * idx[k], idx4[k] = 4 * idx[k];
            frac[k] = std::uniform_real_distribution<float>(-1.0f, 2.0f)(rng);
        }
        A2::ComputeSixTapWeights(frac, n, w6);
        auto same = [&](auto fa, auto fs, int len) {
            std::vector<float> a(len + 8, -3.0f), b(len + 8, -3.0f);
            fa(a.data());
            fs(b.data());
            return std::memcmp(a.data(), b.data(), a.size() * 4) == 0;
        };
        ASSERT_TRUE(same([&](float* o) { A2::CubicHorzC1<std::uint8_t>(s8.data(), n, idx.data(), frac, o); },
                         [&](float* o) { S::CubicHorzC1<std::uint8_t>(s8.data(), n, idx.data(), frac, o); }, n)) << n;
        ASSERT_TRUE(same([&](float* o) { A2::CubicHorzC1<float>(s32.data(), n, idx.data(), frac, o); },
                         [&](float* o) { S::CubicHorzC1<float>(s32.data(), n, idx.data(), frac, o); }, n)) << n;
        for (int k = 0; k < n; ++k) idx[k] += 2;  // six taps from two to the left
        // Row pointers leave room for the margin's pixels left of the region.
        ASSERT_TRUE(same([&](float* o) { A2::SixTapHorzC1<std::uint16_t>(s16.data() + 4, idx.data(), w6, o, n, 3, 70); },
                         [&](float* o) { S::SixTapHorzC1<std::uint16_t>(s16.data() + 4, idx.data(), w6, o, n, 3, 70); }, n)) << n;
        ASSERT_TRUE(same([&](float* o) { A2::SixTapHorzC3<std::uint8_t>(s8.data(), 3, idx3.data(), w6, o, n, 0, 70); },
                         [&](float* o) { S::SixTapHorzC3<std::uint8_t>(s8.data(), 3, idx3.data(), w6, o, n, 0, 70); }, 3 * n)) << n;
        ASSERT_TRUE(same([&](float* o) { A2::SixTapHorzC4<float>(s32.data() + 8, idx4.data(), w6, o, n, 1, 70); },
                         [&](float* o) { S::SixTapHorzC4<float>(s32.data() + 8, idx4.data(), w6, o, n, 1, 70); }, 4 * n)) << n;
        const float* rows[6] = {s32.data(), s32.data() + 30, s32.data() + 60, s32.data() + 90, s32.data() + 120, s32.data() + 150};
        ASSERT_TRUE(same([&](float* o) { A2::SixTapVert<float>(o, n, w6, rows); },
                         [&](float* o) { S::SixTapVert<float>(o, n, w6, rows); }, n)) << n;
        std::vector<std::uint8_t> a8(n), b8(n);
        std::vector<std::uint16_t> a16(n), b16(n);
        std::vector<float> big(n);
        for (int k = 0; k < n; ++k) big[k] = rows[0][k] * 200.0f;
        A2::CubicVert<std::uint8_t>(a8.data(), n, frac[0], rows[0], rows[1], rows[2], rows[3]);
        S::CubicVert<std::uint8_t>(b8.data(), n, frac[0], rows[0], rows[1], rows[2], rows[3]);
        A2::CubicVert<std::uint16_t>(a16.data(), n, frac[1 % n], big.data(), rows[1], rows[2], rows[3]);
        S::CubicVert<std::uint16_t>(b16.data(), n, frac[1 % n], big.data(), rows[1], rows[2], rows[3]);
        ASSERT_EQ(a8, b8) << n;
        ASSERT_EQ(a16, b16) << n;
    }
}

// ---- the SSE3-class compilation -------------------------------------------------------------

// A random corpus of calls, valid and invalid, over every mode, type, layout, planar, both factor
// conventions, shifts, edge ratios and failing allocations: the SSE3-class build returns the
// SSE2 build's status and writes its bytes.
TEST(Sse3Build, SameStatusAndBytesAsSse2) {
    EXPECT_EQ(CpuVariantTable[3], &sse2::ResizeEntry);
    EXPECT_EQ(CpuVariantTable[4], &sse3::ResizeEntry);
    std::mt19937 rng(31);
    const double kFactors[] = {1.0, 2.0, 0.5, 3.0, 0.25, 1.0 / 3.0, 0.4, 1.5, 2.25, 0.1, 0.33333334, 0.999999,
                               1.0000001, 7.0, 0.29, 0.0, -1.0, std::nan("")};
    static const int kCh[] = {1, 3, 3, 4, 1, 3, 4}, kStride[] = {1, 3, 4, 4, 1, 1, 1};
    static const int kModes[] = {1, 2, 4, 8, 16, 3};
    int ok = 0;
    for (int i = 0; i < 3000; ++i) {
        const int layout = static_cast<int>(rng() % 7), type = static_cast<int>(rng() % 3);
        const int planar = layout >= 4, ch = kCh[layout], stride = kStride[layout];
        const int e = type == 0 ? 1 : (type == 1 ? 2 : 4), pix = (planar ? 1 : stride) * e;
        const ResizeSize src{static_cast<int>(rng() % 26), static_cast<int>(rng() % 26)};
        const ResizeRect roi{static_cast<int>(rng() % 30) - 2, static_cast<int>(rng() % 30) - 2,
                             static_cast<int>(rng() % 30) - 1, static_cast<int>(rng() % 30) - 1};
        const ResizeSize dst{static_cast<int>(rng() % 40), static_cast<int>(rng() % 40)};
        const int sStep = std::max(1, src.width) * pix + static_cast<int>(rng() % 3) * e;
        const int dStep = std::max(1, dst.width) * pix + static_cast<int>(rng() % 3) * e;
        const double xf = kFactors[rng() % 18], yf = kFactors[rng() % 18];
        const int mode = kModes[rng() % 6], convention = static_cast<int>(rng() % 2);
        const double xs = rng() % 4 == 0 ? (static_cast<int>(rng() % 64) - 32) / 8.0 : 0.0;
        const double ys = rng() % 4 == 0 ? (static_cast<int>(rng() % 64) - 32) / 8.0 : 0.0;
        const int failAfter = rng() % 5 == 0 ? static_cast<int>(rng() % 12) : -1;
        const int planes = planar ? ch : 1;
        std::vector<std::vector<std::uint8_t>> s(planes), d2(planes), d3(planes);
        std::vector<const void*> sp(planes);
        std::vector<void*> p2(planes), p3(planes);
        for (int p = 0; p < planes; ++p) {
            s[p].resize(static_cast<std::size_t>(sStep) * std::max(1, src.height));
            for (auto& v : s[p]) v = static_cast<std::uint8_t>(rng());
            if (type == 2)
                for (std::size_t k = 3; k < s[p].size(); k += 4) s[p][k] = static_cast<std::uint8_t>(0x40 | (s[p][k] & 0x83));
            d2[p].assign(static_cast<std::size_t>(dStep) * std::max(1, dst.height), 0x5A);
            d3[p] = d2[p];
            sp[p] = s[p].data();
            p2[p] = d2[p].data();
            p3[p] = d3[p].data();
        }
        const void* sa = planar ? static_cast<const void*>(sp.data()) : sp[0];
        void* a2 = planar ? static_cast<void*>(p2.data()) : p2[0];
        void* a3 = planar ? static_cast<void*>(p3.data()) : p3[0];
        auto run = [&](auto general, auto super, void* da) {
            SetAlignedAllocFailAfter(failAfter);
            const ResizeStatus st = mode == ResizeModeSuper
                                        ? super(sa, src, sStep, roi, da, dStep, dst, xf, yf, stride, ch, type, planar, convention)
                                        : general(sa, src, sStep, roi, da, dStep, dst, xf, yf, xs, ys, stride, ch, type,
                                                  planar, mode, convention);
            SetAlignedAllocFailAfter(-1);
            return st;
        };
        const ResizeStatus st2 = run(&sse2::ResizeGeneral, &sse2::ResizeSuperSample, a2);
        const ResizeStatus st3 = run(&sse3::ResizeGeneral, &sse3::ResizeSuperSample, a3);
        ASSERT_EQ(st2, st3) << "case " << i;
        ASSERT_EQ(d2, d3) << "case " << i;
        ok += st2 == ResizeOk;
    }
    EXPECT_GT(ok, 100);  // the corpus reaches the kernels, not only the checks
}

}  // namespace
#endif
