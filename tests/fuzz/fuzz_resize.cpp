// Fuzzes the resize entry (and the drivers' other layouts and sample types) over sizes, regions,
// steps, factors and modes, with source and destination buffers sized exactly to what the
// arguments describe: any read or write outside them is caught by AddressSanitizer.
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

std::size_t ExtentBytes(int w, int h, int step, int pixelBytes) {
    if (w <= 0 || h <= 0 || step <= 0) return 1;
    return static_cast<std::size_t>(h - 1) * step + static_cast<std::size_t>(w) * pixelBytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader r{data, size};
    const int which = r.u8() % 4;  // 0, 1: the entry; 2: general driver; 3: super-sampling driver
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
    if (which < 2) {
        scaling::ResizeC3_8u(static_cast<const std::uint8_t*>(sp[0]), src, srcStep, roi,
                             static_cast<std::uint8_t*>(dp[0]), dstStep, dst, xf, yf, mode);
    } else {
        const void* sa = planar ? static_cast<const void*>(sp.data()) : sp[0];
        void* da = planar ? static_cast<void*>(dp.data()) : dp[0];
        if (which == 2)
            scaling::generic::ResizeGeneral(sa, src, srcStep, roi, da, dstStep, dst, xf, yf, xShift, yShift, stride, ch,
                                            dataType, planar, mode, convention);
        else
            scaling::generic::ResizeSuperSample(sa, src, srcStep, roi, da, dstStep, dst, xf, yf, stride, ch, dataType,
                                                planar, convention);
    }
    return 0;
}
