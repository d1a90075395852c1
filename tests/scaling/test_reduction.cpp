// The packed passes of reductions against the code they stand for: the three-byte linear columns
// (one row and two rows at once), the fractional area-averaging rows and columns, the whole-ratio
// pixels at any area, the cubic three-byte columns four pixels a round; and every build against the generic build on whole
// reductions of full pictures where the results must be equal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "scaling/Builds.h"
#include "scaling/Resize.h"

#ifdef TRELVIX_SCALING_HAS_SSE
#include "scaling/generic/Arith.h"
#include "scaling/sse/Arith.h"
#include "scaling/sse2/Arith.h"

namespace {

using namespace scaling;

// Column tables as the driver makes them: indices never decrease, the last columns may share the
// index of the last pixel pair, weights arbitrary Q14 pairs.
struct ReductionColumns {
    std::vector<std::int32_t> idx;
    std::vector<std::uint16_t> pairs;
    std::vector<float> frac;
};
ReductionColumns MakeReductionColumns(int count, int firstTap, int lastTap, std::mt19937& rng) {
    ReductionColumns c;
    int col = firstTap;
    for (int k = 0; k < count; ++k) {
        col = std::min(lastTap, col + static_cast<int>(rng() % 4));
        c.idx.push_back(col * 3);
        const std::uint16_t w = static_cast<std::uint16_t>(rng() % 16385);
        c.pairs.push_back(static_cast<std::uint16_t>(16384 - w));
        c.pairs.push_back(w);
        c.frac.push_back(std::uniform_real_distribution<float>(0.0f, 1.0f)(rng));
    }
    return c;
}

// Linear three-byte columns, one row and two rows, against the generic pass: every count, with
// the source row ending at the last column's right tap (ASan sees any read past it).
TEST(ReductionLinear, ThreeByteColumnsEqualGeneric) {
    std::mt19937 rng(41);
    for (int count = 1; count <= 23; ++count)
        for (int round = 0; round < 4; ++round) {
            const int srcPixels = 2 + static_cast<int>(rng() % 40);
            const ReductionColumns c = MakeReductionColumns(count, 0, srcPixels - 2, rng);
            const int used = c.idx.back() / 3 + 2;  // pixels up to the last column's right tap
            std::vector<std::uint8_t> row0(static_cast<std::size_t>(used) * 3), row1(row0.size());
            for (auto& v : row0) v = static_cast<std::uint8_t>(rng());
            for (auto& v : row1) v = static_cast<std::uint8_t>(rng());
            const std::size_t workLen = static_cast<std::size_t>(count) * 3 + 12;
            std::vector<std::uint16_t> g0(workLen, 0), g1(workLen, 0), one(workLen, 0), two0(workLen, 0),
                two1(workLen, 0);
            generic::Arith::LinearHorzC3<std::uint8_t>(row0.data(), count, 3, c.idx.data(), c.pairs.data(), g0.data());
            generic::Arith::LinearHorzC3<std::uint8_t>(row1.data(), count, 3, c.idx.data(), c.pairs.data(), g1.data());
            sse::Arith::LinearHorzC3<std::uint8_t>(row0.data(), count, 3, c.idx.data(), c.pairs.data(), one.data());
            sse::Arith::LinearHorzC3Rows2<std::uint8_t>(row0.data(), row1.data(), count, 3, c.idx.data(),
                                                        c.pairs.data(), two0.data(), two1.data());
            const std::size_t n = static_cast<std::size_t>(count) * 3;
            const std::string what = "count " + std::to_string(count) + " round " + std::to_string(round);
            ASSERT_TRUE(std::equal(g0.begin(), g0.begin() + n, one.begin())) << what;
            ASSERT_TRUE(std::equal(g0.begin(), g0.begin() + n, two0.begin())) << what;
            ASSERT_TRUE(std::equal(g1.begin(), g1.begin() + n, two1.begin())) << what;
        }
}

// The fractional area-averaging passes against the generic ones: a partial row at every length
// (the packed steps and the values after them) and type, and the column sums from the plans at
// every layout the packed code takes, with accumulators ending at the margin the driver gives.
TEST(ReductionSuper, WeightedRowsAndColumnSumsEqualGeneric) {
    std::mt19937 rng(43);
    std::vector<std::uint8_t> src(4 * 4 * 40);
    for (auto& v : src) v = static_cast<std::uint8_t>(rng());
    for (int V : {1, 3, 4})
        for (int n = 1; n <= 29; ++n) {
            const double w = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
            std::vector<float> a(static_cast<std::size_t>(n) * V + 4), g;
            for (auto& v : a) v = static_cast<float>(rng() % 2000) / 7.0f;
            g = a;
            sse::Arith::SuperAddWeighted<std::uint8_t>(src.data() + 1, n, V, V, w, a.data());
            generic::Arith::SuperAddWeighted<std::uint8_t>(src.data() + 1, n, V, V, w, g.data());
            ASSERT_EQ(0, std::memcmp(a.data(), g.data(), a.size() * 4)) << "8u V " << V << " n " << n;
            sse::Arith::SuperAddWeighted<std::uint16_t>(src.data() + 2, n, V, V, w, a.data());
            generic::Arith::SuperAddWeighted<std::uint16_t>(src.data() + 2, n, V, V, w, g.data());
            ASSERT_EQ(0, std::memcmp(a.data(), g.data(), a.size() * 4)) << "16u V " << V << " n " << n;
        }
    // Column plans of a footprint of 2.3 columns over a row of `len` accumulated columns, the last
    // destination columns reaching past it.
    for (int V : {3, 4})
        for (int C : {3, V})
            for (int len = 1; len <= 17; ++len) {
                const int width = len / 2 + 2, last = len - 1;
                std::vector<engine::SuperColumnPlan> plans(width);
                double pos = 0.0;
                for (int k = 0; k < width; ++k, pos += 2.3) {
                    engine::SuperColumnPlan& p = plans[k];
                    const int first = static_cast<int>(pos);
                    p.lead = k == 0 ? -1 : std::min(first, last);
                    p.g = 1.0 - (pos - first);
                    p.from = std::min(first + 1, last);
                    p.inside = std::max(0, std::min(last - p.from + 1, 1));
                    p.beyond = first + 1 > last ? 1.0 : 0.0;
                    p.q = std::min(first + 2, last);
                    p.e = 0.3;
                }
                std::vector<float> acc(static_cast<std::size_t>(len) * V + 4, 0.0f);
                for (std::size_t k = 0; k + 4 < acc.size(); ++k) acc[k] = static_cast<float>(rng() % 600);
                const double area = 1.0 / (2.3 * 2.3);
                std::vector<std::uint8_t> a8(static_cast<std::size_t>(width) * V, 0xEE), g8 = a8;
                std::vector<std::uint8_t> a16(static_cast<std::size_t>(width) * V * 2, 0xEE), g16 = a16;
                sse::Arith::SuperFracColumns<std::uint8_t>(acc.data(), plans.data(), width, last, V, C, area, a8.data());
                generic::Arith::SuperFracColumns<std::uint8_t>(acc.data(), plans.data(), width, last, V, C, area, g8.data());
                sse::Arith::SuperFracColumns<std::uint16_t>(acc.data(), plans.data(), width, last, V, C, area, a16.data());
                generic::Arith::SuperFracColumns<std::uint16_t>(acc.data(), plans.data(), width, last, V, C, area, g16.data());
                ASSERT_EQ(a8, g8) << "V " << V << " C " << C << " len " << len;
                ASSERT_EQ(a16, g16) << "V " << V << " C " << C << " len " << len;
            }
}

// Whole-ratio pixels at an area that is no power of two, from column sums anywhere in the 32-bit
// range (as wrapped sums can be): the generic build's value of each sample, for three and four
// values per pixel, accumulators ending at the driver's margin.
TEST(ReductionSuper, WholeRatioSlotsEqualGenericFormula) {
    const std::uint32_t sums[] = {0u, 1u, 4u, 5u, 8u, 1000u, 65535u * 9u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF0u};
    for (int V : {3, 4})
        for (int ix : {1, 3, 5})
            for (double area : {1.0 / 9.0, 0.3, 0.5, 1.0 / 15.0}) {
                const int count = 7;
                std::vector<std::uint32_t> acc(static_cast<std::size_t>(count) * ix * V + 4, 0);
                for (std::size_t k = 0; k + 4 < acc.size(); ++k) acc[k] = sums[(k * 7 + ix) % 10] / static_cast<std::uint32_t>(ix);
                std::vector<std::uint8_t> out8(static_cast<std::size_t>(count) * V, 0xEE), out16(out8.size() * 2, 0xEE);
                ASSERT_EQ(sse::Arith::SuperWholeSlots<std::uint8_t>(acc.data(), ix, V, 3, count, area, out8.data()), count);
                ASSERT_EQ(sse::Arith::SuperWholeSlots<std::uint16_t>(acc.data(), ix, V, V, count, area, out16.data()), count);
                for (int p = 0; p < count; ++p)
                    for (int c = 0; c < V; ++c) {
                        std::uint32_t sum = 0;
                        for (int t = 0; t < ix; ++t) sum += acc[(static_cast<std::size_t>(p) * ix + t) * V + c];
                        const std::int64_t q = static_cast<std::int64_t>(static_cast<double>(sum) * area + 0.5);
                        const std::string what = "V " + std::to_string(V) + " ix " + std::to_string(ix) + " pixel " +
                                                 std::to_string(p) + " value " + std::to_string(c);
                        if (c < 3) ASSERT_EQ(out8[p * V + c], static_cast<std::uint8_t>(q)) << what;
                        else ASSERT_EQ(out8[p * V + c], 0xEE) << what;
                        std::uint16_t v16;
                        std::memcpy(&v16, &out16[(p * V + c) * 2], 2);
                        ASSERT_EQ(v16, static_cast<std::uint16_t>(q)) << what;
                    }
            }
}

// Cubic three-byte columns four pixels a round give each build's own per-pixel values: the SSE
// build's loop and tail, the SSE2 build's channel-lane evaluation. Every count; the source ends at
// the last column's right-most tap.
TEST(ReductionCubic, FourPixelRoundsEqualEachBuildsColumns) {
    std::mt19937 rng(47);
    for (int count = 1; count <= 21; ++count)
        for (int round = 0; round < 3; ++round) {
            const int srcPixels = 4 + static_cast<int>(rng() % 50);
            const ReductionColumns c = MakeReductionColumns(count, 1, srcPixels - 3, rng);
            const int used = c.idx.back() / 3 + 3;
            std::vector<std::uint8_t> row(static_cast<std::size_t>(used) * 3);
            for (auto& v : row) v = static_cast<std::uint8_t>(rng());
            const std::size_t n = static_cast<std::size_t>(count) * 3;
            std::vector<float> a(n), b(n), a2(n), b2(n);
            sse::Arith::CubicHorzC3<std::uint8_t>(row.data(), count, 3, c.idx.data(), c.frac.data(), a.data());
            sse::Arith::CubicHorz<std::uint8_t, 3>(row.data(), count, 3, c.idx.data(), c.frac.data(), b.data());
            sse2::Arith::CubicHorzC3<std::uint8_t>(row.data(), count, 3, c.idx.data(), c.frac.data(), a2.data());
            sse2::Arith::CubicHorzC3Packed8u(row.data(), count, c.idx.data(), c.frac.data(), b2.data());
            const std::string what = "count " + std::to_string(count) + " round " + std::to_string(round);
            ASSERT_EQ(0, std::memcmp(a.data(), b.data(), n * 4)) << what;
            ASSERT_EQ(0, std::memcmp(a2.data(), b2.data(), n * 4)) << what;
        }
}

// Whole calls: every build writes the generic build's bytes (and leaves the same bytes alone) for
// nearest, linear and area averaging, on full pictures and on odd regions and sizes, 8-bit three
// channels through the entry and 16-bit through the drivers.
TEST(ReductionBuilds, WholeCallsEqualGeneric) {
    struct Shape {
        int sw, sh;
        ResizeRect roi;
        int dw, dh;
        double xf, yf;
    };
    const Shape shapes[] = {
        {1920, 1080, {0, 0, 1920, 1080}, 768, 432, 0.4, 0.4},
        {1920, 1080, {0, 0, 1920, 1080}, 640, 360, 1.0 / 3.0, 1.0 / 3.0},
        {1920, 1080, {0, 0, 1920, 1080}, 960, 540, 0.5, 0.5},
        {1280, 720, {0, 0, 1280, 720}, 1920, 1080, 1.5, 1.5},
        {101, 77, {3, 5, 97, 70}, 40, 29, 0.41, 0.37},
        {37, 23, {0, 1, 37, 21}, 14, 9, 0.39, 0.43},
        {13, 11, {2, 0, 11, 11}, 5, 4, 0.45, 0.31},
        {61, 40, {1, 2, 60, 36}, 21, 13, 1.0 / 3.0, 1.0 / 3.0},
        {50, 31, {0, 0, 50, 31}, 11, 11, 0.2, 1.0 / 3.0},
        {29, 17, {0, 0, 29, 17}, 8, 5, 0.25, 0.25},
    };
    std::mt19937 rng(53);
    ResizeEntryFn builds[] = {&sse::ResizeEntry, &sse2::ResizeEntry, &sse3::ResizeEntry};
    for (const Shape& sh : shapes) {
        const int sStep = sh.sw * 3 + 1;
        std::vector<std::uint8_t> src(static_cast<std::size_t>(sStep) * sh.sh);
        for (auto& v : src) v = static_cast<std::uint8_t>(rng());
        const int dStep = sh.dw * 3 + 5;
        for (int mode : {ResizeModeNearest, ResizeModeLinear, ResizeModeSuper}) {
            if (mode == ResizeModeSuper && sh.xf > 1.0) continue;
            std::vector<std::uint8_t> g(static_cast<std::size_t>(dStep) * sh.dh, 0x5A);
            ASSERT_EQ(generic::ResizeEntry(src.data(), {sh.sw, sh.sh}, sStep, sh.roi, g.data(), dStep, {sh.dw, sh.dh},
                                           sh.xf, sh.yf, mode),
                      ResizeOk);
            for (ResizeEntryFn b : builds) {
                std::vector<std::uint8_t> x(g.size(), 0x5A);
                ASSERT_EQ(b(src.data(), {sh.sw, sh.sh}, sStep, sh.roi, x.data(), dStep, {sh.dw, sh.dh}, sh.xf, sh.yf, mode),
                          ResizeOk);
                ASSERT_TRUE(g == x) << sh.sw << "x" << sh.sh << " -> " << sh.dw << "x" << sh.dh << " mode " << mode;
            }
        }
        if (sh.sw > 200) continue;
        // 16-bit samples, one, three (of four) and four channels, through the drivers.
        for (int layout = 0; layout < 3; ++layout) {
            const int ch = layout == 0 ? 1 : (layout == 1 ? 3 : 4), stride = layout == 0 ? 1 : 4;
            const int s16 = sh.sw * stride * 2 + 2, d16 = sh.dw * stride * 2 + 6;
            std::vector<std::uint8_t> s(static_cast<std::size_t>(s16) * sh.sh);
            for (auto& v : s) v = static_cast<std::uint8_t>(rng());
            for (int mode : {ResizeModeNearest, ResizeModeLinear, ResizeModeSuper}) {
                auto run = [&](auto general, auto super, std::vector<std::uint8_t>& out) {
                    out.assign(static_cast<std::size_t>(d16) * sh.dh, 0x5A);
                    return mode == ResizeModeSuper
                               ? super(s.data(), {sh.sw, sh.sh}, s16, sh.roi, out.data(), d16, {sh.dw, sh.dh}, sh.xf,
                                       sh.yf, stride, ch, 1, 0, 1)
                               : general(s.data(), {sh.sw, sh.sh}, s16, sh.roi, out.data(), d16, {sh.dw, sh.dh},
                                         sh.xf, sh.yf, 0.0, 0.0, stride, ch, 1, 0, mode, 1);
                };
                std::vector<std::uint8_t> g, x;
                ASSERT_EQ(run(&generic::ResizeGeneral, &generic::ResizeSuperSample, g), ResizeOk);
                ASSERT_EQ(run(&sse::ResizeGeneral, &sse::ResizeSuperSample, x), ResizeOk);
                ASSERT_TRUE(g == x) << "16u layout " << layout << " mode " << mode << " " << sh.sw;
                ASSERT_EQ(run(&sse2::ResizeGeneral, &sse2::ResizeSuperSample, x), ResizeOk);
                ASSERT_TRUE(g == x) << "16u layout " << layout << " mode " << mode << " " << sh.sw;
            }
        }
    }
}

}  // namespace
#endif
