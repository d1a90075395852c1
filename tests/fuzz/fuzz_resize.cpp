// Fuzzes the resize entry (and the drivers' other layouts and sample types) over sizes, regions,
// steps, factors and modes, with source and destination buffers sized exactly to what the
// arguments describe: any read or write outside them is caught by AddressSanitizer. The build
// comes from the input too; where a build must give the generic build's bytes (nearest, linear
// of integer samples, super-sampling; the SSE2 builds' float super-sampling excepted) the generic
// build runs the same call and any difference in status or bytes traps. The SSE2 build and its
// SSE3-class compilation must agree on every call: either one runs the other too.
#include <cstdint>
#include <cstring>
#include <vector>

#include "scaling/Builds.h"
#include "scaling/Resize.h"

namespace {

struct Reader {
    const std::uint8_t* p;
    std::size_t n;
    std::uint8_t u8() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    int small(int lo, int hi) { return lo + u8() % (hi - lo + 1); }
    double factor() {
        static const double kFactors[] = {1.0, 2.0, 0.5, 3.0, 0.25, 1.0 / 3.0, 0.4, 1.5, 2.25, 0.1, 0.01, 7.0,
                                          0.999999, 1.0000001, 0.33333334, 1e-300, 1e300, 0.0, -1.0, 100.0};
        const std::uint8_t k = u8();
        if (k < 200) return kFactors[k % (sizeof kFactors / sizeof kFactors[0])];
        double d;
        std::uint8_t b[8];
        for (auto& x : b) x = u8();
        std::memcpy(&d, b, 8);
        return d;
    }
};

struct BuildFns {
    decltype(&scaling::generic::ResizeEntry) entry;
    decltype(&scaling::generic::ResizeGeneral) general;
    decltype(&scaling::generic::ResizeSuperSample) super;
};
const BuildFns kBuilds[] = {
    {&scaling::generic::ResizeEntry, &scaling::generic::ResizeGeneral, &scaling::generic::ResizeSuperSample},
#ifdef TRELVIX_SCALING_HAS_SSE
    {&scaling::sse::ResizeEntry, &scaling::sse::ResizeGeneral, &scaling::sse::ResizeSuperSample},
    {&scaling::sse2::ResizeEntry, &scaling::sse2::ResizeGeneral, &scaling::sse2::ResizeSuperSample},
    {&scaling::sse3::ResizeEntry, &scaling::sse3::ResizeGeneral, &scaling::sse3::ResizeSuperSample},
#endif
};
#ifdef TRELVIX_SCALING_HAS_SSE
constexpr int kSse2Index = 2, kSse3Index = 3;
#endif
constexpr int kBuildCount = sizeof kBuilds / sizeof kBuilds[0];

std::size_t ExtentBytes(int w, int h, int step, int pixelBytes) {
    if (w <= 0 || h <= 0 || step <= 0) return 1;
    return static_cast<std::size_t>(h - 1) * step + static_cast<std::size_t>(w) * pixelBytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader r{data, size};
    const int which = r.u8() % 4;  // 0: the dispatched entry; 1: the build's entry; 2: general; 3: super-sampling
    const BuildFns& build = kBuilds[r.u8() % kBuildCount];
    scaling::ResizeSize src{r.small(-1, 40), r.small(-1, 40)};
    const int layout = r.u8() % 7;  // C1, C3, C3of4, C4, planar 1, 3, 4
    const int dataType = which >= 2 ? r.u8() % 3 : 0;
    static const int kCh[] = {1, 3, 3, 4, 1, 3, 4}, kStride[] = {1, 3, 4, 4, 1, 1, 1};
    const int planar = which >= 2 && layout >= 4;
    const int ch = which >= 2 ? kCh[layout] : 3, stride = which >= 2 ? kStride[layout] : 3;
    const int elem = dataType == 0 ? 1 : (dataType == 1 ? 2 : 4);
    const int pixelBytes = planar ? elem : stride * elem;
    const int srcStep = src.width * pixelBytes + r.small(-6, 9);
    scaling::ResizeRect roi{r.small(-2, 44), r.small(-2, 44), r.small(-1, 48), r.small(-1, 48)};
    scaling::ResizeSize dst{r.small(-1, 60), r.small(-1, 60)};
    const int dstStep = dst.width * pixelBytes + r.small(-6, 9);
    const double xf = r.factor(), yf = r.factor();
    static const int kModes[] = {1, 2, 4, 8, 16, 3, 0};
    const int mode = kModes[r.u8() % 7];
    // The drivers' options the entry never uses: factors as source pixels per destination pixel,
    // and shifted source positions.
    const std::uint8_t opt = r.u8();
    const int convention = which >= 2 && (opt & 1) ? 0 : 1;
    const double xShift = which == 2 && (opt & 2) ? (static_cast<int>(r.u8()) - 128) / 16.0 : 0.0;
    const double yShift = which == 2 && (opt & 4) ? (static_cast<int>(r.u8()) - 128) / 16.0 : 0.0;

    const int planes = planar ? ch : 1;
    std::vector<std::vector<std::uint8_t>> s(planes), d(planes);
    std::vector<const void*> sp(planes);
    std::vector<void*> dp(planes);
    for (int p = 0; p < planes; ++p) {
        s[p].resize(ExtentBytes(src.width, src.height, srcStep, pixelBytes));
        for (std::size_t i = 0; i < s[p].size(); ++i) s[p][i] = r.u8() ^ static_cast<std::uint8_t>(i * 13);
        if (dataType == 2)  // keep floats finite and moderate
            for (std::size_t i = 3; i < s[p].size(); i += 4) s[p][i] = 0x42;
        d[p].resize(ExtentBytes(dst.width, dst.height, dstStep, pixelBytes));
        sp[p] = s[p].data();
        dp[p] = d[p].data();
    }
    const void* sa = planar ? static_cast<const void*>(sp.data()) : sp[0];
    void* da = planar ? static_cast<void*>(dp.data()) : dp[0];
    auto run = [&](const BuildFns& b, void* to) {
        if (which == 0)
            return scaling::ResizeC3_8u(static_cast<const std::uint8_t*>(sp[0]), src, srcStep, roi,
                                        static_cast<std::uint8_t*>(to), dstStep, dst, xf, yf, mode);
        if (which == 1)
            return b.entry(static_cast<const std::uint8_t*>(sp[0]), src, srcStep, roi, static_cast<std::uint8_t*>(to),
                           dstStep, dst, xf, yf, mode);
        if (which == 2)
            return b.general(sa, src, srcStep, roi, to, dstStep, dst, xf, yf, xShift, yShift, stride, ch, dataType,
                             planar, mode, convention);
        return b.super(sa, src, srcStep, roi, to, dstStep, dst, xf, yf, stride, ch, dataType, planar, convention);
    };
    const scaling::ResizeStatus st = run(build, da);

    // Modes every build computes alike: compare with the generic build on fresh destinations.
    const bool superPath = which == 3 || (which == 1 && mode == scaling::ResizeModeSuper);
    const int buildIndex = static_cast<int>(&build - &kBuilds[0]);
#ifdef TRELVIX_SCALING_HAS_SSE
    const bool sse2Family = buildIndex == kSse2Index || buildIndex == kSse3Index;
#else
    const bool sse2Family = false;
#endif
    // The general driver's call is decided by its mode; a super-sampling call by its sample type.
    const bool same = which != 0 && buildIndex != 0 &&
                      (superPath ? !(sse2Family && dataType == 2)
                                 : mode == scaling::ResizeModeNearest ||
                                       (mode == scaling::ResizeModeLinear && dataType != 2));
    if (same) {
        std::vector<std::vector<std::uint8_t>> d2(planes);
        std::vector<void*> dp2(planes);
        for (int p = 0; p < planes; ++p) {
            d2[p].assign(d[p].size(), 0);
            dp2[p] = d2[p].data();
            d[p].assign(d[p].size(), 0);
        }
        void* da2 = planar ? static_cast<void*>(dp2.data()) : dp2[0];
        const scaling::ResizeStatus a = run(build, da);
        const scaling::ResizeStatus b = run(kBuilds[0], da2);
        if (a != st || a != b || d != d2) __builtin_trap();
    }
#ifdef TRELVIX_SCALING_HAS_SSE
    // The other compilation of the SSE2 build: the same status and bytes, on fresh destinations.
    if (which != 0 && sse2Family) {
        const BuildFns& twin = kBuilds[buildIndex == kSse2Index ? kSse3Index : kSse2Index];
        std::vector<std::vector<std::uint8_t>> d2(planes);
        std::vector<void*> dp2(planes);
        for (int p = 0; p < planes; ++p) {
            d2[p].assign(d[p].size(), 0x5A);
            dp2[p] = d2[p].data();
            d[p].assign(d[p].size(), 0x5A);
        }
        void* da2 = planar ? static_cast<void*>(dp2.data()) : dp2[0];
        const scaling::ResizeStatus a = run(build, da);
        const scaling::ResizeStatus b = run(twin, da2);
        if (a != st || a != b || d != d2) __builtin_trap();
    }
#endif
    return 0;
}
