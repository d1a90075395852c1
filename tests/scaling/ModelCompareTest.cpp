// The generic build against the scalar model: random pictures of odd sizes, random regions and
// factors, every interpolation, sample type and layout. Destinations start filled with a
// pattern, so a write outside the clipped rectangle (or into a pixel's unused fourth sample)
// shows up as a difference too.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Model.h"
#include "scaling/Builds.h"

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
void CompareOnce(std::mt19937& rng, const LayoutCase& L, int dataType, int mode) {
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
        st = scaling::generic::ResizeSuperSample(srcArg, src, srcStep, roi, dstArg1, dstStep, dst, xf, yf, stride, ch,
                                                 dataType, L.planar, 1);
    else
        st = scaling::generic::ResizeGeneral(srcArg, src, srcStep, roi, dstArg1, dstStep, dst, xf, yf, 0.0, 0.0, stride,
                                             ch, dataType, L.planar, mode, 1);
    const std::string what = Describe("", L, dataType, mode, src, roi, dst, xf, yf);
    ASSERT_EQ(st, scaling::ResizeOk) << what;

    model::Call c{srcArg, src, srcStep, roi, dstArg2, dstStep, dst, xf, yf, stride, ch, dataType, L.planar, mode};
    if (super) model::Super(c);
    else model::General(c);
    for (int p = 0; p < planes; ++p) {
        if (d1[p] == d2[p]) continue;
        std::size_t i = 0;
        while (d1[p][i] == d2[p][i]) ++i;
        FAIL() << what << " plane " << p << " first differing byte " << i << " (row " << i / dstStep << ", byte "
               << i % dstStep << "): engine " << int(d1[p][i]) << " model " << int(d2[p][i]);
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

INSTANTIATE_TEST_SUITE_P(Modes, ModelCompare,
                         ::testing::Values(scaling::ResizeModeNearest, scaling::ResizeModeLinear,
                                           scaling::ResizeModeCubic, scaling::ResizeModeSixTap,
                                           scaling::ResizeModeSuper),
                         [](const auto& info) {
                             switch (info.param) {
                                 case 1: return std::string("Nearest");
                                 case 2: return std::string("Linear");
                                 case 4: return std::string("Cubic");
                                 case 16: return std::string("SixTap");
                                 default: return std::string("Super");
                             }
                         });

}  // namespace
