// Speed of the resize primitive on the display's calls and on the other interpolations, side by
// side with OpenCV's cv::resize on the same pictures in the same run (single thread). Before the
// benchmarks run, every build's output is compared with the generic build's on each case whose
// results must be equal (nearest, linear and area averaging on bytes): a difference ends the
// program with status 1 before anything is timed. The area-averaging reduction is also compared
// with OpenCV's INTER_AREA (reported only).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "scaling/Builds.h"
#include "scaling/Resize.h"

#ifdef TRELVIX_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

struct Case {
    const char* name;
    int sw, sh, dw, dh;
    int mode;
    double xf, yf;
#ifdef TRELVIX_BENCH_OPENCV
    int cvMode;
#endif
};

#ifdef TRELVIX_BENCH_OPENCV
#define CV_MODE(m) , m
#else
#define CV_MODE(m)
#endif

const Case kCases[] = {
    {"LineDouble_640x240_to_640x480_linear", 640, 240, 640, 480, scaling::ResizeModeLinear, 1.0, 2.0 CV_MODE(cv::INTER_LINEAR)},
    {"LineDouble_720x288_to_720x576_linear", 720, 288, 720, 576, scaling::ResizeModeLinear, 1.0, 2.0 CV_MODE(cv::INTER_LINEAR)},
    {"FullScreen_640x480_to_1920x1080_nearest", 640, 480, 1920, 1080, scaling::ResizeModeNearest, 3.0, 2.25 CV_MODE(cv::INTER_NEAREST)},
    {"Up_1280x720_to_1920x1080_linear", 1280, 720, 1920, 1080, scaling::ResizeModeLinear, 1.5, 1.5 CV_MODE(cv::INTER_LINEAR)},
    {"Up_1280x720_to_1920x1080_cubic", 1280, 720, 1920, 1080, scaling::ResizeModeCubic, 1.5, 1.5 CV_MODE(cv::INTER_CUBIC)},
    {"Up_1280x720_to_1920x1080_sixtap", 1280, 720, 1920, 1080, scaling::ResizeModeSixTap, 1.5, 1.5 CV_MODE(cv::INTER_LANCZOS4)},
    {"Down_1920x1080_to_960x540_super", 1920, 1080, 960, 540, scaling::ResizeModeSuper, 0.5, 0.5 CV_MODE(cv::INTER_AREA)},
    // Reductions by 0.4 and by a third.
    {"Down_1920x1080_to_768x432_linear", 1920, 1080, 768, 432, scaling::ResizeModeLinear, 0.4, 0.4 CV_MODE(cv::INTER_LINEAR)},
    {"Down_1920x1080_to_768x432_cubic", 1920, 1080, 768, 432, scaling::ResizeModeCubic, 0.4, 0.4 CV_MODE(cv::INTER_CUBIC)},
    {"Down_1920x1080_to_768x432_super", 1920, 1080, 768, 432, scaling::ResizeModeSuper, 0.4, 0.4 CV_MODE(cv::INTER_AREA)},
    {"Third_1920x1080_to_640x360_nearest", 1920, 1080, 640, 360, scaling::ResizeModeNearest, 1.0 / 3.0, 1.0 / 3.0 CV_MODE(cv::INTER_NEAREST)},
    {"Third_1920x1080_to_640x360_linear", 1920, 1080, 640, 360, scaling::ResizeModeLinear, 1.0 / 3.0, 1.0 / 3.0 CV_MODE(cv::INTER_LINEAR)},
    {"Third_1920x1080_to_640x360_cubic", 1920, 1080, 640, 360, scaling::ResizeModeCubic, 1.0 / 3.0, 1.0 / 3.0 CV_MODE(cv::INTER_CUBIC)},
    {"Third_1920x1080_to_640x360_super", 1920, 1080, 640, 360, scaling::ResizeModeSuper, 1.0 / 3.0, 1.0 / 3.0 CV_MODE(cv::INTER_AREA)},
};

// A picture with smooth areas, edges and noise, like a camera frame.
std::vector<std::uint8_t> MakePicture(int w, int h) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 3);
    std::mt19937 rng(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                int v = (x * (c + 1) / 3 + y / 2) & 255;
                if (((x / 40) + (y / 30)) % 5 == 0) v = 255 - v;
                v += static_cast<int>(rng() % 9) - 4;
                px[(static_cast<std::size_t>(y) * w + x) * 3 + c] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
    return px;
}

// The builds measured: one row per build and case.
struct BuildEntry {
    const char* name;
    scaling::ResizeEntryFn entry;
};
const BuildEntry kBuildEntries[] = {
    {"generic", &scaling::generic::ResizeEntry},
#ifdef TRELVIX_SCALING_HAS_SSE
    {"sse", &scaling::sse::ResizeEntry},
    {"sse2", &scaling::sse2::ResizeEntry},
    {"sse3", &scaling::sse3::ResizeEntry},
#endif
};

void BM_Trelvix(benchmark::State& state, const Case& c, scaling::ResizeEntryFn entry) {
    const auto src = MakePicture(c.sw, c.sh);
    std::vector<std::uint8_t> dst(static_cast<std::size_t>(c.dw) * c.dh * 3);
    for (auto _ : state) {
        const auto st = entry(src.data(), {c.sw, c.sh}, c.sw * 3, {0, 0, c.sw, c.sh}, dst.data(),
                                             c.dw * 3, {c.dw, c.dh}, c.xf, c.yf, c.mode);
        if (st != scaling::ResizeOk) state.SkipWithError("resize failed");
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * c.dw * c.dh);
}

// Every build against the generic build on each case whose results must be equal: the whole
// destination, including what a build leaves unwritten, byte for byte. Prints one line per
// build and case; returns false on any difference or failed call.
bool CheckBuildsEqualGeneric() {
    bool allSame = true;
    for (const Case& c : kCases) {
        if (c.mode == scaling::ResizeModeCubic || c.mode == scaling::ResizeModeSixTap) continue;
        const auto src = MakePicture(c.sw, c.sh);
        const std::size_t dstLen = static_cast<std::size_t>(c.dw) * c.dh * 3;
        auto run = [&](scaling::ResizeEntryFn entry, std::vector<std::uint8_t>& out) {
            out.assign(dstLen, 0xA5);
            return entry(src.data(), {c.sw, c.sh}, c.sw * 3, {0, 0, c.sw, c.sh}, out.data(), c.dw * 3, {c.dw, c.dh},
                         c.xf, c.yf, c.mode);
        };
        std::vector<std::uint8_t> ref, out;
        const auto refSt = run(&scaling::generic::ResizeEntry, ref);
        for (const BuildEntry& b : kBuildEntries) {
            if (b.entry == &scaling::generic::ResizeEntry) continue;
            const auto st = run(b.entry, out);
            std::size_t differ = 0, first = dstLen;
            for (std::size_t k = 0; k < dstLen; ++k)
                if (out[k] != ref[k]) {
                    if (!differ) first = k;
                    ++differ;
                }
            const bool same = st == refSt && refSt == scaling::ResizeOk && differ == 0;
            if (same) {
                std::printf("equality check %-40s %-5s: same bytes as generic\n", c.name, b.name);
            } else {
                std::printf("equality check %-40s %-5s: DIFFERENT (status %d, generic %d; %zu of %zu bytes differ, "
                            "first at %zu)\n",
                            c.name, b.name, static_cast<int>(st), static_cast<int>(refSt), differ, dstLen, first);
                allSame = false;
            }
        }
    }
    return allSame;
}

#ifdef TRELVIX_BENCH_OPENCV
void BM_OpenCV(benchmark::State& state, const Case& c) {
    auto srcPx = MakePicture(c.sw, c.sh);
    cv::Mat src(c.sh, c.sw, CV_8UC3, srcPx.data());
    cv::Mat dst(c.dh, c.dw, CV_8UC3);
    for (auto _ : state) {
        cv::resize(src, dst, cv::Size(c.dw, c.dh), 0, 0, c.cvMode);
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * c.dw * c.dh);
}

// Area averaging against INTER_AREA on a 1920 x 1080 picture: counts differing samples.
bool CheckAreaAgainstOpenCV() {
    bool allSame = true;
    const int sw = 1920, sh = 1080;
    auto srcPx = MakePicture(sw, sh);
    cv::Mat src(sh, sw, CV_8UC3, srcPx.data());
    const struct {
        const char* name;
        double f;
        int dw, dh;
    } checks[] = {{"1/2", 0.5, 960, 540}, {"1/3", 1.0 / 3.0, 640, 360}, {"0.4", 0.4, 768, 432}};
    for (const auto& k : checks) {
        std::vector<std::uint8_t> ours(static_cast<std::size_t>(k.dw) * k.dh * 3);
        const auto st = scaling::ResizeC3_8u(srcPx.data(), {sw, sh}, sw * 3, {0, 0, sw, sh}, ours.data(), k.dw * 3,
                                             {k.dw, k.dh}, k.f, k.f, scaling::ResizeModeSuper);
        cv::Mat ref;
        cv::resize(src, ref, cv::Size(k.dw, k.dh), 0, 0, cv::INTER_AREA);
        long differ = 0;
        int maxDiff = 0;
        for (int y = 0; y < k.dh; ++y)
            for (int x = 0; x < k.dw * 3; ++x) {
                const int d = std::abs(int(ours[static_cast<std::size_t>(y) * k.dw * 3 + x]) - int(ref.ptr<std::uint8_t>(y)[x]));
                if (d) ++differ;
                if (d > maxDiff) maxDiff = d;
            }
        std::printf("area check %-4s %dx%d -> %dx%d: status %d, %ld of %d samples differ from INTER_AREA (max %d)\n",
                    k.name, sw, sh, k.dw, k.dh, static_cast<int>(st), differ, k.dw * k.dh * 3, maxDiff);
        if (st != scaling::ResizeOk || differ) allSame = false;
    }
    return allSame;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (!CheckBuildsEqualGeneric()) {
        std::fprintf(stderr, "equality check failed: a build's output differs from the generic build's\n");
        return 1;
    }
#ifdef TRELVIX_BENCH_OPENCV
    cv::setNumThreads(1);
    const bool same = CheckAreaAgainstOpenCV();
    std::printf("area check: %s\n", same ? "identical" : "DIFFERENT");
#endif
    for (const Case& c : kCases) {
        for (const BuildEntry& b : kBuildEntries)
            benchmark::RegisterBenchmark((std::string(c.name) + "/" + b.name).c_str(), BM_Trelvix, c, b.entry);
#ifdef TRELVIX_BENCH_OPENCV
        benchmark::RegisterBenchmark((std::string(c.name) + "/opencv").c_str(), BM_OpenCV, c);
#endif
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
