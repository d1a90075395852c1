// Worked examples of the resize primitive: fixed inputs with known outputs, pass by pass and
// through the drivers.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <cstring>
#include <vector>

#include "scaling/Aligned.h"
#include "scaling/Builds.h"
#include "scaling/Resize.h"
#include "scaling/SixTapTable.h"
#include "scaling/generic/Arith.h"

namespace {

using namespace scaling;
using A = generic::Arith;

// A 24-bit picture whose samples tell where they came from.
struct Picture {
    int w, h, step;
    std::vector<std::uint8_t> px;
    Picture(int w_, int h_, int pad = 0) : w(w_), h(h_), step(w_ * 3 + pad), px(static_cast<std::size_t>(step) * h_) {}
    std::uint8_t* at(int x, int y) { return &px[static_cast<std::size_t>(y) * step + 3 * x]; }
};
std::uint8_t Tag(int x, int y, int c) { return static_cast<std::uint8_t>((x * 5 + y * 11 + c * 70) & 255); }
Picture Tagged(int w, int h) {
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) p.at(x, y)[c] = Tag(x, y, c);
    return p;
}

// ---- nearest -----------------------------------------------------------------------------

TEST(Nearest, ZoomHalvesByTakingOddPixels) {
    Picture src = Tagged(640, 480);
    Picture dst(320, 240);
    ASSERT_EQ(ResizeC3_8u(src.px.data(), {640, 480}, src.step, {0, 0, 640, 480}, dst.px.data(), dst.step, {320, 240},
                          0.5, 0.5, ResizeModeNearest),
              ResizeOk);
    for (int r = 0; r < 240; ++r)
        for (int k = 0; k < 320; ++k)
            ASSERT_EQ(std::memcmp(dst.at(k, r), src.at(2 * k + 1, 2 * r + 1), 3), 0) << k << "," << r;
}

TEST(Nearest, SourceColumnsOfSmallPictures) {
    struct Case {
        const char* name;
        int srcW, roiW;
        double f;
        int dstW;
        std::vector<int> cols;  // source column of each destination column
    };
    const Case cases[] = {
        {"factor 3 repeats each column three times", 4, 4, 3.0, 12, {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}},
        {"factor 0.5", 6, 6, 0.5, 3, {1, 3, 5}},
        // A factor below 1 / region width: one destination column, its centre far past the
        // region, taken at the image's last column.
        {"tiny factor, region is the image", 4, 4, 0.1, 5, {3}},
        {"tiny factor, image wider than region", 6, 4, 0.1, 5, {5}},
        {"tiny factor, image much wider", 10, 4, 0.1, 5, {5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture src = Tagged(c.srcW, 1);
        Picture dst(c.dstW, 1);
        std::fill(dst.px.begin(), dst.px.end(), 0xEE);
        ASSERT_EQ(ResizeC3_8u(src.px.data(), {c.srcW, 1}, src.step, {0, 0, c.roiW, 1}, dst.px.data(), dst.step,
                              {c.dstW, 1}, c.f, 1.0, ResizeModeNearest),
                  ResizeOk);
        for (int k = 0; k < c.dstW; ++k) {
            if (k < static_cast<int>(c.cols.size()))
                EXPECT_EQ(std::memcmp(dst.at(k, 0), src.at(c.cols[k], 0), 3), 0) << "column " << k;
            else
                EXPECT_EQ(dst.at(k, 0)[0], 0xEE) << "column " << k << " is past the clipped width";
        }
    }
}

TEST(Nearest, FloatsMoveAsBitPatternsAndFourthSampleStays) {
    const float nan = std::nanf(""), negZero = -0.0f;
    float src[8] = {nan, negZero, 1.5f, 0.0f, -3.0f, 7.0f, nan, 9.0f};  // two pixels, stride 4
    float dst[16];
    for (float& d : dst) d = 42.0f;
    ASSERT_EQ(generic::ResizeGeneral(src, {2, 1}, 32, {0, 0, 2, 1}, dst, 64, {4, 1}, 2.0, 1.0, 0, 0, 4, 3, 2, 0,
                                     ResizeModeNearest, 1),
              ResizeOk);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(std::memcmp(&dst[4 * k], &src[4 * (k / 2)], 12), 0) << k;
        EXPECT_EQ(dst[4 * k + 3], 42.0f) << "fourth sample of pixel " << k;
    }
}

// ---- linear ------------------------------------------------------------------------------

TEST(Linear, PassValues8u16u) {
    struct Case {
        std::uint8_t s0, s1;
        std::uint16_t w0, w1;
        std::uint16_t work;
    };
    const Case cases[] = {{10, 200, 16384, 0, 640}, {10, 200, 0, 16384, 12800}, {255, 255, 8192, 8192, 16320},
                          {10, 11, 8192, 8192, 672}, {0, 255, 1, 16383, 16319}};
    for (const Case& c : cases) {
        const std::uint8_t src[6] = {c.s0, 0, 0, c.s1, 0, 0};
        const std::int32_t idx[1] = {0};
        const std::uint16_t w[2] = {c.w0, c.w1};
        std::uint16_t out[3];
        A::LinearHorzC3<std::uint8_t>(src, 1, 3, idx, w, out);
        EXPECT_EQ(out[0], c.work) << int(c.s0) << " " << int(c.s1);
    }
    struct VCase {
        std::uint16_t u, l, w;
        std::uint8_t out;
    };
    const VCase vcases[] = {{672, 672, 8192, 11}, {16320, 16320, 8192, 255}, {640, 704, 8192, 11},
                            {640, 704, 8191, 10}, {0, 16320, 16384, 255},    {16320, 0, 0, 255}};
    for (const VCase& c : vcases) {
        std::uint8_t d = 0;
        A::LinearVert<std::uint8_t>(&d, 1, c.w, &c.u, &c.l);
        EXPECT_EQ(d, c.out) << c.u << " " << c.l << " " << c.w;
    }
    const std::uint16_t s16[2] = {10, 11}, s16max[2] = {65535, 65535};
    const std::int32_t idx[1] = {0};
    const std::uint16_t half[2] = {8192, 8192}, odd[2] = {3, 16381};
    std::uint16_t o = 0;
    A::LinearHorzC1<std::uint16_t>(s16, 1, idx, half, &o);
    EXPECT_EQ(o, 11);
    A::LinearHorzC1<std::uint16_t>(s16max, 1, idx, odd, &o);
    EXPECT_EQ(o, 65535);
}

TEST(Linear, PassValues32fAndThreeOfFour) {
    const float src[2] = {0.1f, 7.3f};
    const std::int32_t idx[1] = {0};
    const float f0 = 0.0f;
    float out = -1;
    A::LinearHorzC1<float>(src, 1, idx, &f0, &out);
    EXPECT_EQ(out, 0.1f);
    const float up = 3.3f, lo = -2.7f;
    float d = 0;
    A::LinearVert<float>(&d, 1, 1.0f, &up, &lo);
    EXPECT_EQ(d, -2.7f);

    const std::uint16_t u[6] = {640, 640, 640, 1280, 1280, 1280}, l[6] = {640, 640, 640, 1280, 1280, 1280};
    std::uint8_t dst[8] = {0, 0, 0, 99, 0, 0, 0, 77};
    A::LinearVertC3of4<std::uint8_t>(dst, 2, 5000, u, l);
    const std::uint8_t want[8] = {10, 10, 10, 99, 20, 20, 20, 77};
    EXPECT_EQ(std::memcmp(dst, want, 8), 0);
    // A count of zero or less writes nothing.
    A::LinearVert<std::uint8_t>(dst, 0, 0, u, l);
    A::LinearVert<std::uint8_t>(dst, -3, 0, u, l);
    EXPECT_EQ(std::memcmp(dst, want, 8), 0);
}

// Line doubling of the live picture: factors 1.0 and 2.0. Source rows differ, columns are
// copied; destination row r blends rows (base, base + 1) with weight w of the lower one.
TEST(Linear, LineDoublingRowsAndWeights) {
    struct Case {
        int w, h;
        std::vector<std::array<int, 3>> rows;  // destination row, base, weight
    };
    const Case cases[] = {
        {640, 240, {{0, 0, 0}, {1, 0, 8174}, {2, 0, 16349}, {3, 1, 8140}, {238, 118, 12313}, {239, 119, 4104},
                    {240, 119, 12279}, {477, 238, 34}, {478, 238, 8209}, {479, 238, 16384}}},
        {720, 288, {{0, 0, 0}, {1, 0, 8177}, {2, 0, 16355}, {287, 143, 4103}, {288, 143, 12280}, {574, 286, 8206},
                    {575, 286, 16384}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        Picture src = Tagged(c.w, c.h);
        Picture dst(c.w, 2 * c.h);
        ASSERT_EQ(ResizeC3_8u(src.px.data(), {c.w, c.h}, src.step, {0, 0, c.w, c.h}, dst.px.data(), dst.step,
                              {c.w, 2 * c.h}, 1.0, 2.0, ResizeModeLinear),
                  ResizeOk);
        EXPECT_EQ(std::memcmp(dst.at(0, 0), src.at(0, 0), src.step), 0) << "first row is the first source row";
        EXPECT_EQ(std::memcmp(dst.at(0, 2 * c.h - 1), src.at(0, c.h - 1), src.step), 0) << "last row is the last";
        for (const auto& [r, base, w] : c.rows)
            for (int x = 0; x < c.w; x += 37)
                for (int ch = 0; ch < 3; ++ch) {
                    const int u = src.at(x, base)[ch] * 64, l = src.at(x, base + 1)[ch] * 64;
                    const int want = (u * (16384 - w) + l * w + 524288) >> 20;
                    ASSERT_EQ(dst.at(x, r)[ch], want) << "row " << r << " x " << x;
                }
    }
}

// Column pairs at the region's edge: inside the image no edge rule applies; at the image's
// last column the base moves left and the whole weight goes to the right sample.
TEST(Linear, ColumnPairsAndDestinationClip) {
    Picture src = Tagged(640, 480);
    struct Case {
        const char* name;
        ResizeRect roi;
        ResizeSize dst;  // as passed
        ResizeSize written;
        int lastSrcCol;  // source column the last destination column reproduces
    };
    const Case cases[] = {
        {"region 10x10, column 10 inside the image", {0, 0, 10, 10}, {40, 30}, {20, 20}, 9},
        {"whole image", {0, 0, 640, 480}, {1280, 960}, {1280, 960}, 639},
        {"smaller destination is kept", {0, 0, 10, 10}, {12, 7}, {12, 7}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture dst(c.dst.width, c.dst.height);
        std::fill(dst.px.begin(), dst.px.end(), 0xEE);
        ASSERT_EQ(ResizeC3_8u(src.px.data(), {640, 480}, src.step, c.roi, dst.px.data(), dst.step, c.dst, 2.0, 2.0,
                              ResizeModeLinear),
                  ResizeOk);
        for (int y = 0; y < c.dst.height; ++y)
            for (int x = 0; x < c.dst.width; ++x) {
                const bool inside = x < c.written.width && y < c.written.height;
                if (!inside) {
                    ASSERT_EQ(dst.at(x, y)[0], 0xEE) << x << "," << y;
                }
            }
        if (c.lastSrcCol >= 0) {
            EXPECT_EQ(std::memcmp(dst.at(c.written.width - 1, 0), src.at(c.lastSrcCol, 0), 3), 0);
        }
    }
}

TEST(Linear, FactorTimesWidthOfOneSamplesFirstColumn) {
    Picture src = Tagged(8, 2);  // two rows: a one-row source would fall back to nearest
    Picture dst(5, 1);
    std::fill(dst.px.begin(), dst.px.end(), 0xEE);
    ASSERT_EQ(ResizeC3_8u(src.px.data(), {8, 2}, src.step, {2, 0, 4, 1}, dst.px.data(), dst.step, {5, 1}, 0.25, 1.0,
                          ResizeModeLinear),
              ResizeOk);
    EXPECT_EQ(std::memcmp(dst.at(0, 0), src.at(2, 0), 3), 0);
    EXPECT_EQ(dst.at(1, 0)[0], 0xEE);
}

// ---- mode fall-backs -----------------------------------------------------------------------

TEST(Fallback, SmallSourcesUseSimplerFilters) {
    struct Case {
        const char* name;
        int w, h, mode, sameAs;
    };
    const Case cases[] = {
        {"one pixel wide, linear", 1, 9, ResizeModeLinear, ResizeModeNearest},
        {"one pixel high, six-tap", 9, 1, ResizeModeSixTap, ResizeModeNearest},
        {"one pixel wide, cubic", 1, 9, ResizeModeCubic, ResizeModeNearest},
        {"five high, six-tap", 9, 5, ResizeModeSixTap, ResizeModeCubic},
        {"three high, six-tap", 9, 3, ResizeModeSixTap, ResizeModeLinear},
        {"three wide, cubic", 3, 9, ResizeModeCubic, ResizeModeLinear},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture src = Tagged(c.w, c.h);
        Picture a(3 * c.w, 3 * c.h), b(3 * c.w, 3 * c.h);
        ASSERT_EQ(ResizeC3_8u(src.px.data(), {c.w, c.h}, src.step, {0, 0, c.w, c.h}, a.px.data(), a.step,
                              {3 * c.w, 3 * c.h}, 3.0, 3.0, c.mode),
                  ResizeOk);
        ASSERT_EQ(ResizeC3_8u(src.px.data(), {c.w, c.h}, src.step, {0, 0, c.w, c.h}, b.px.data(), b.step,
                              {3 * c.w, 3 * c.h}, 3.0, 3.0, c.sameAs),
                  ResizeOk);
        EXPECT_EQ(a.px, b.px);
    }
}

// ---- cubic ---------------------------------------------------------------------------------

TEST(Cubic, PassValues) {
    struct Case {
        float q[4];
        float t;
        float work;
        std::uint8_t out8;
    };
    const Case cases[] = {
        {{99, 100, 101, 102}, 0.5f, 100.5f, 100},  {{99, 100, 101, 102}, 0.25f, 100.25f, 100},
        {{0, 0, 255, 255}, 0.5f, 127.5f, 127},     {{0, 255, 255, 0}, 0.5f, 286.875f, 255},
        {{255, 0, 0, 255}, 0.5f, -31.875f, 0},     {{10, 20, 40, 80}, 0.0f, 20.0f, 20},
        {{10, 20, 40, 80}, 1.0f, 40.0f, 40},       {{10, 20, 40, 80}, -1.0f, 10.0f, 10},
        {{10, 20, 40, 80}, 2.0f, 80.0f, 80},       {{7, 7, 7, 7}, 0.37f, 7.0f, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        std::uint8_t src8[4];
        for (int i = 0; i < 4; ++i) src8[i] = static_cast<std::uint8_t>(c.q[i]);
        const std::int32_t idx[1] = {1};
        float work = 0;
        A::CubicHorzC1<std::uint8_t>(src8, 1, idx, &c.t, &work);
        EXPECT_EQ(work, c.work);
        // The vertical pass over four rows holding the taps.
        std::uint8_t d8 = 0;
        float d32 = 0;
        A::CubicVert<std::uint8_t>(&d8, 1, c.t, &c.q[0], &c.q[1], &c.q[2], &c.q[3]);
        A::CubicVert<float>(&d32, 1, c.t, &c.q[0], &c.q[1], &c.q[2], &c.q[3]);
        EXPECT_EQ(d8, c.out8);
        EXPECT_EQ(d32, c.work) << "floats are not clamped";
    }
    // 16u: exact at whole positions, clamped at 65535.
    const float big[4] = {0, 65535, 65535, 0};
    std::uint16_t d16 = 0;
    A::CubicVert<std::uint16_t>(&d16, 1, 0.5f, &big[0], &big[1], &big[2], &big[3]);
    EXPECT_EQ(d16, 65535);
    A::CubicVert<std::uint16_t>(&d16, 1, 1.0f, &big[0], &big[1], &big[2], &big[3]);
    EXPECT_EQ(d16, 65535);
}

TEST(Cubic, EdgesReproduceFirstAndLastSamples) {
    // Region at the image's origin: the first destination row and column use base 1 with
    // fraction -1 and so reproduce the first source row and column; the last ones reproduce
    // the last (base two to the left, fraction 2).
    Picture src = Tagged(9, 7);
    Picture dst(18, 14);
    ASSERT_EQ(ResizeC3_8u(src.px.data(), {9, 7}, src.step, {0, 0, 9, 7}, dst.px.data(), dst.step, {18, 14}, 2.0, 2.0,
                          ResizeModeCubic),
              ResizeOk);
    for (int y : {0, 13})
        for (int x : {0, 17}) EXPECT_EQ(std::memcmp(dst.at(x, y), src.at(x / 2, y / 2), 3), 0) << x << "," << y;
}

// ---- six-tap -------------------------------------------------------------------------------

TEST(SixTap, TableTellingRowsAndFormula) {
    const std::pair<int, float> rows[] = {{0, 1.0f},           {1, 0.99981719f},    {25, 0.89006704f},
                                          {50, 0.60792708f},   {75, 0.27018979f},   {100, 0.0f},
                                          {125, -0.13287102f}, {150, -0.13509491f}, {175, -0.06779135f},
                                          {200, 0.0f},         {225, 0.03002109f},  {250, 0.02431709f},
                                          {275, 0.00735592f},  {300, 0.0f},         {301, 0.0f}};
    for (const auto& [k, v] : rows) EXPECT_EQ(SixTapKernelTable[k], v) << k;
    const double pi = 3.14159265358979323846;
    for (int k = 1; k < 300; ++k) {
        const double x = k / 100.0;
        const double l = std::sin(pi * x) / (pi * x) * (std::sin(pi * x / 3) / (pi * x / 3));
        EXPECT_NEAR(SixTapKernelTable[k], l, 1.1e-7) << k;
    }
}

TEST(SixTap, Weights) {
    struct Case {
        float frac;
        float w[6];
        double sum;
    };
    const Case cases[] = {
        {0.0f, {0, 0, 1, 0, 0, 0}, 1.0},
        {0.5f, {0.02431709f, -0.13509491f, 0.60792708f, 0.60792708f, -0.13509491f, 0.02431709f}, 0.99429853},
        {0.25f, {0.03002109f, -0.13287102f, 0.89006704f, 0.27018979f, -0.06779135f, 0.00735592f}, 0.99697148},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frac);
        float w[6];
        A::ComputeSixTapWeights(&c.frac, 1, w);
        double sum = 0;
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(w[j], c.w[j]) << j;
            sum += w[j];
        }
        EXPECT_NEAR(sum, c.sum, 1e-7);
    }
    float untouched[6] = {5, 5, 5, 5, 5, 5};
    const float f = 0.5f;
    A::ComputeSixTapWeights(&f, 0, untouched);
    A::ComputeSixTapWeights(&f, -1, untouched);
    for (float v : untouched) EXPECT_EQ(v, 5.0f);
}

TEST(SixTap, UniformSourceAtHalfPositions) {
    const std::uint8_t src[12] = {200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200};
    const float half = 0.5f;
    float w[6];
    A::ComputeSixTapWeights(&half, 1, w);
    const std::int32_t idx[1] = {5};
    float work = 0;
    A::SixTapHorzC1<std::uint8_t>(src, idx, w, &work, 1, 2, 12);
    EXPECT_NEAR(work, 198.85971f, 2e-5);
    const float* rows[6] = {&work, &work, &work, &work, &work, &work};
    std::uint8_t d = 0;
    A::SixTapVert<std::uint8_t>(&d, 1, w, rows);
    EXPECT_EQ(d, 197);
}

TEST(SixTap, BorderTapsRepeatEdgeColumns) {
    // Columns hold powers of two, so each sum shows which columns were read with which weight.
    // Index 0 of `src` is the image's first column; the region starts at `margin`.
    const float w[6] = {1, 2, 4, 8, 16, 32};
    struct Case {
        const char* name;
        int margin, avail, base;
        std::array<int, 6> cols;  // image columns read by taps 0..5
    };
    const Case cases[] = {
        {"margin 0, base at first column", 0, 10, 0, {0, 0, 0, 1, 2, 3}},
        {"margin 0, base at second column", 0, 10, 1, {0, 0, 1, 2, 3, 4}},
        {"margin 1, base at first column", 1, 9, 0, {0, 0, 1, 2, 3, 4}},
        {"margin 2, base at first column", 2, 8, 0, {0, 1, 2, 3, 4, 5}},
        {"base three from the end", 0, 10, 7, {5, 6, 7, 8, 9, 9}},
        {"base two from the end", 0, 10, 8, {6, 7, 8, 9, 9, 9}},
        {"base at the last column", 0, 10, 9, {7, 8, 9, 9, 9, 9}},
    };
    float src[10];
    for (int i = 0; i < 10; ++i) src[i] = static_cast<float>(1 << (i * 2));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::int32_t idx[1] = {c.base};
        float out = 0;
        A::SixTapHorzC1<float>(src + c.margin, idx, w, &out, 1, c.margin, c.avail);
        double want = 0;
        for (int j = 0; j < 6; ++j) want += static_cast<double>(w[j]) * src[c.cols[j]];
        EXPECT_EQ(out, static_cast<float>(want));
    }
}

TEST(SixTap, VerticalConversions) {
    EXPECT_EQ(engine::StoreFiltered<std::uint8_t>(254.99999995), 255);
    EXPECT_EQ(engine::StoreFiltered<std::uint8_t>(254.9999998), 254);
    EXPECT_EQ(engine::StoreFiltered<std::uint8_t>(-0.5), 0);
    EXPECT_EQ(engine::StoreFiltered<std::uint8_t>(300.2), 255);
    EXPECT_EQ(engine::StoreFiltered<std::uint16_t>(70000.0), 65535);
    EXPECT_EQ(engine::StoreFiltered<float>(300.2), 300.2f);
    EXPECT_EQ(engine::StoreFiltered<float>(-0.5), -0.5f);
    // The three-of-four role leaves every fourth sample.
    const float r[6] = {10, 10, 10, 20, 20, 20};
    const float* rows[6] = {r, r, r, r, r, r};
    const float w[6] = {0, 0, 1, 0, 0, 0};
    std::uint8_t d[8] = {0, 0, 0, 99, 0, 0, 0, 77};
    A::SixTapVertC3of4<std::uint8_t>(d, 2, w, rows);
    const std::uint8_t want[8] = {10, 10, 10, 99, 20, 20, 20, 77};
    EXPECT_EQ(std::memcmp(d, want, 8), 0);
}

TEST(SixTap, WholePositionsCopySource) {
    // Factor 1.0: every fraction is 0, the weights are (0, 0, 1, 0, 0, 0): a copy.
    Picture src = Tagged(11, 9);
    Picture dst(11, 9);
    ASSERT_EQ(ResizeC3_8u(src.px.data(), {11, 9}, src.step, {0, 0, 11, 9}, dst.px.data(), dst.step, {11, 9}, 1.0, 1.0,
                          ResizeModeSixTap),
              ResizeOk);
    EXPECT_EQ(dst.px, src.px);
}

// ---- super-sampling ------------------------------------------------------------------------

TEST(Super, HalvingBlocksRoundHalfUp) {
    struct Case {
        std::uint8_t block[4];  // top-left, top-right, bottom-left, bottom-right
        std::uint8_t out;
    };
    const Case cases[] = {{{1, 1, 1, 2}, 1}, {{1, 1, 2, 2}, 2}, {{10, 11, 11, 11}, 11}, {{10, 10, 11, 11}, 11},
                          {{127, 128, 127, 128}, 128}, {{255, 255, 255, 255}, 255}, {{0, 0, 0, 1}, 0}};
    for (const Case& c : cases) {
        Picture src(2, 2);
        for (int ch = 0; ch < 3; ++ch) {
            src.at(0, 0)[ch] = c.block[0];
            src.at(1, 0)[ch] = c.block[1];
            src.at(0, 1)[ch] = c.block[2];
            src.at(1, 1)[ch] = c.block[3];
        }
        std::uint8_t d[3] = {};
        ASSERT_EQ(ResizeC3_8u(src.px.data(), {2, 2}, src.step, {0, 0, 2, 2}, d, 3, {1, 1}, 0.5, 0.5, ResizeModeSuper),
                  ResizeOk);
        EXPECT_EQ(d[0], c.out) << int(c.block[0]) << int(c.block[1]) << int(c.block[2]) << int(c.block[3]);
        EXPECT_EQ(d[2], c.out);
    }
}

TEST(Super, FractionalFootprintWeights) {
    // Factor 0.4: footprints of 2.5 columns, weights (1, 1, 0.5), (0.5, 1, 1), ... Float samples
    // of distinct powers of two make every weight visible.
    float src[10];
    for (int i = 0; i < 10; ++i) src[i] = static_cast<float>(1 << i);
    float dst[4] = {};
    ASSERT_EQ(generic::ResizeSuperSample(src, {10, 1}, 40, {0, 0, 10, 1}, dst, 16, {4, 1}, 0.4, 1.0, 1, 1, 2, 0, 1),
              ResizeOk);
    const double sums[4] = {1 + 2 + 0.5 * 4, 0.5 * 4 + 8 + 16, 32 + 64 + 0.5 * 128, 0.5 * 128 + 256 + 512};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(dst[k], static_cast<float>(static_cast<float>(sums[k]) * (0.4 * 1.0))) << k;
    // The same vertically on a column.
    float dcol[4] = {};
    ASSERT_EQ(generic::ResizeSuperSample(src, {1, 10}, 4, {0, 0, 1, 10}, dcol, 4, {1, 4}, 1.0, 0.4, 1, 1, 2, 0, 1),
              ResizeOk);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(dcol[k], dst[k]) << k;
    // 32f halving of the pair -1, 2.
    const float pair[2] = {-1.0f, 2.0f};
    float one = 0;
    ASSERT_EQ(generic::ResizeSuperSample(pair, {2, 1}, 8, {0, 0, 2, 1}, &one, 4, {1, 1}, 0.5, 1.0, 1, 1, 2, 0, 1),
              ResizeOk);
    EXPECT_EQ(one, 0.5f);
}

TEST(Super, UniformPicturesStayUniform) {
    const double factors[] = {0.5, 0.4, 0.3, 0.7, 1.0 / 3.0, 1.0};
    for (int type = 0; type < 2; ++type)
        for (int value : {0, type == 0 ? 255 : 65535})
            for (double xf : factors)
                for (double yf : factors) {
                    SCOPED_TRACE(testing::Message() << type << " " << value << " " << xf << " " << yf);
                    const int w = 23, h = 17;
                    std::vector<std::uint16_t> s16(w * h * 3, static_cast<std::uint16_t>(value));
                    std::vector<std::uint8_t> s8(w * h * 3, static_cast<std::uint8_t>(value));
                    std::vector<std::uint16_t> d16(w * h * 3, 1);
                    std::vector<std::uint8_t> d8(w * h * 3, 1);
                    const void* s = type == 0 ? static_cast<const void*>(s8.data()) : s16.data();
                    void* d = type == 0 ? static_cast<void*>(d8.data()) : d16.data();
                    const int e = type == 0 ? 1 : 2;
                    ASSERT_EQ(generic::ResizeSuperSample(s, {w, h}, w * 3 * e, {0, 0, w, h}, d, w * 3 * e, {w, h}, xf,
                                                         yf, 3, 3, type, 0, 1),
                              ResizeOk);
                    const int W = static_cast<int>(w * xf + 1e-7), H = static_cast<int>(h * yf + 1e-7);
                    for (int y = 0; y < H; ++y)
                        for (int x = 0; x < W * 3; ++x) {
                            const int v = type == 0 ? d8[y * w * 3 + x] : d16[y * w * 3 + x];
                            ASSERT_EQ(v, value) << x << "," << y;
                        }
                }
}

TEST(Super, ClipsToWholeFootprintsAndCopiesAtFactorOne) {
    Picture src = Tagged(10, 6);
    Picture dst(8, 6);
    std::fill(dst.px.begin(), dst.px.end(), 0xEE);
    ASSERT_EQ(ResizeC3_8u(src.px.data(), {10, 6}, src.step, {0, 0, 10, 6}, dst.px.data(), dst.step, {8, 6}, 0.3, 1.0,
                          ResizeModeSuper),
              ResizeOk);
    for (int y = 0; y < 6; ++y) {
        EXPECT_NE(dst.at(2, y)[0], 0xEE);
        EXPECT_EQ(dst.at(3, y)[0], 0xEE) << "only three columns fit";
    }
    Picture copy(7, 4);
    ASSERT_EQ(ResizeC3_8u(src.px.data(), {10, 6}, src.step, {2, 1, 7, 4}, copy.px.data(), copy.step, {7, 4}, 1.0, 1.0,
                          ResizeModeSuper),
              ResizeOk);
    for (int y = 0; y < 4; ++y) EXPECT_EQ(std::memcmp(copy.at(0, y), src.at(2, y + 1), 21), 0) << y;
}

TEST(Super, FootprintLargerThanRegionReplicatesItsEdge) {
    // A region of 3 x 2 pixels reduced by 0.1: one destination pixel whose footprint reaches far
    // past the region. Reads stay inside; a uniform region gives its value.
    std::vector<std::uint8_t> src(3 * 2 * 3, 90);
    std::uint8_t d[3] = {};
    ASSERT_EQ(ResizeC3_8u(src.data(), {3, 2}, 9, {0, 0, 3, 2}, d, 3, {5, 5}, 0.1, 0.1, ResizeModeSuper), ResizeOk);
    EXPECT_EQ(d[0], 90);
    EXPECT_EQ(d[1], 90);
}

// ---- allocation ----------------------------------------------------------------------------

TEST(Aligned, AllocatorsAlignAndRefuse) {
    EXPECT_EQ(AlignedAlloc32f(0), nullptr);
    EXPECT_EQ(AlignedAlloc32f(-1), nullptr);
    EXPECT_EQ(AlignedAlloc8u(0), nullptr);
    EXPECT_EQ(AlignedAlloc16s(std::numeric_limits<std::int64_t>::max()), nullptr);
    AlignedFree(nullptr);
    for (int n : {1, 3, 31, 32, 33, 1000}) {
        void* ps[4] = {AlignedAlloc8u(n), AlignedAlloc16s(n), AlignedAlloc32s(n), AlignedAlloc32f(n)};
        for (void* p : ps) {
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 32, 0u);
            std::memset(p, 0x5A, static_cast<std::size_t>(n));
            AlignedFree(p);
        }
    }
}

TEST(Aligned, FailedAllocationLeavesDestinationUntouched) {
    Picture src = Tagged(12, 9);
    for (int mode : {ResizeModeNearest, ResizeModeLinear, ResizeModeCubic, ResizeModeSixTap, ResizeModeSuper}) {
        const double f = mode == ResizeModeSuper ? 0.5 : 1.5;
        for (int okBefore = 0; okBefore < 12; ++okBefore) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " failing allocation " << okBefore);
            Picture dst(18, 14);
            std::fill(dst.px.begin(), dst.px.end(), 0xEE);
            SetAlignedAllocFailAfter(okBefore);
            const ResizeStatus st = ResizeC3_8u(src.px.data(), {12, 9}, src.step, {0, 0, 12, 9}, dst.px.data(),
                                                dst.step, {18, 14}, f, f, mode);
            SetAlignedAllocFailAfter(-1);
            if (st == ResizeOk) break;  // every allocation of the call got through
            ASSERT_EQ(st, ResizeErrNoMemory);
            for (std::uint8_t v : dst.px) ASSERT_EQ(v, 0xEE);
        }
    }
}

}  // namespace

namespace {

// ---- driver options the entry never uses ---------------------------------------------------

TEST(DriverOptions, FactorConventionZeroAndShifts) {
    std::uint8_t src[8];
    for (int i = 0; i < 8; ++i) src[i] = static_cast<std::uint8_t>(10 * i);
    struct Case {
        const char* name;
        double f, shift;
        int convention, mode;
        std::vector<int> want;  // destination samples; the rest of the row stays 0xEE
    };
    const Case cases[] = {
        {"nearest, two source pixels per destination pixel, half a factor in", 2.0, 0.0, 0, ResizeModeNearest,
         {10, 30, 50, 70}},
        {"nearest, factor 0.5 the other way", 0.5, 0.0, 1, ResizeModeNearest, {10, 30, 50, 70}},
        {"nearest shifted by one pixel, last column repeated", 0.5, 1.0, 1, ResizeModeNearest, {20, 40, 60, 70}},
        {"nearest shifted left before the region start", 0.5, -3.0, 1, ResizeModeNearest, {0, 0, 20, 40}},
        {"linear, step of two from position 0", 2.0, 0.0, 0, ResizeModeLinear, {0, 20, 40, 60}},
        {"linear shifted half a pixel", 2.0, 0.5, 0, ResizeModeLinear, {5, 25, 45, 65}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint8_t dst[8];
        std::memset(dst, 0xEE, sizeof dst);
        // Two identical rows so that linear interpolation stays linear.
        std::uint8_t two[16];
        std::memcpy(two, src, 8);
        std::memcpy(two + 8, src, 8);
        ASSERT_EQ(generic::ResizeGeneral(two, {8, 2}, 8, {0, 0, 8, 2}, dst, 8, {8, 1}, c.f, 1.0,
                                         c.shift, 0.0, 1, 1, 0, 0, c.mode, c.convention),
                  ResizeOk);
        for (int k = 0; k < 8; ++k) {
            const int want = k < static_cast<int>(c.want.size()) ? c.want[k] : 0xEE;
            EXPECT_EQ(dst[k], want) << "column " << k;
        }
    }
}

TEST(DriverOptions, SuperSamplingConventionsAgree) {
    Picture src = Tagged(12, 9);
    Picture a(6, 3), b(6, 3);
    ASSERT_EQ(generic::ResizeSuperSample(src.px.data(), {12, 9}, src.step, {0, 0, 12, 9}, a.px.data(), a.step, {6, 3},
                                         0.5, 1.0 / 3.0, 3, 3, 0, 0, 1),
              ResizeOk);
    ASSERT_EQ(generic::ResizeSuperSample(src.px.data(), {12, 9}, src.step, {0, 0, 12, 9}, b.px.data(), b.step, {6, 3},
                                         2.0, 3.0, 3, 3, 0, 0, 0),
              ResizeOk);
    EXPECT_EQ(a.px, b.px);
    // Not a reduction: refused rather than read with footprints below one pixel.
    EXPECT_EQ(generic::ResizeSuperSample(src.px.data(), {12, 9}, src.step, {0, 0, 12, 9}, b.px.data(), b.step, {6, 3},
                                         0.5, 1.0, 3, 3, 0, 0, 0),
              ResizeErrFactor);
    EXPECT_EQ(generic::ResizeSuperSample(src.px.data(), {12, 9}, src.step, {0, 0, 12, 9}, b.px.data(), b.step, {6, 3},
                                         2.0, 1.0, 3, 3, 0, 0, 1),
              ResizeErrFactor);
}

TEST(DriverOptions, LayoutsTheKernelsDoNotHaveAreRefused) {
    std::uint8_t src[64] = {}, dst[64] = {};
    struct Case {
        int stride, channels, dataType;
        ResizeStatus want;
    };
    const Case cases[] = {{3, 1, 0, ResizeErrSize}, {3, 4, 0, ResizeErrSize}, {2, 3, 0, ResizeErrSize},
                          {3, 2, 0, ResizeErrSize}, {3, 0, 0, ResizeErrSize}, {4, 5, 0, ResizeErrSize},
                          {5, 3, 0, ResizeErrSize}, {1, 1, 3, ResizeErrMode}, {1, 1, -1, ResizeErrMode},
                          {4, 3, 2, ResizeOk},      {1, 1, 1, ResizeOk}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stride << " " << c.channels << " " << c.dataType);
        EXPECT_EQ(generic::ResizeGeneral(src, {2, 2}, 32, {0, 0, 2, 2}, dst, 32, {2, 2}, 1.0, 1.0, 0, 0, c.stride,
                                         c.channels, c.dataType, 0, ResizeModeLinear, 1),
                  c.want);
        EXPECT_EQ(generic::ResizeSuperSample(src, {2, 2}, 32, {0, 0, 2, 2}, dst, 32, {2, 2}, 1.0, 1.0, c.stride,
                                             c.channels, c.dataType, 0, 1),
                  c.want);
    }
}

}  // namespace
