// A plain scalar model of the resize arithmetic, used as the oracle of the engine's results.
// It computes every destination sample on its own, straight from the source and the mapping
// rules, without tables of work rows, rings or accumulator rows.
#pragma once

#include <cstdint>
#include <cstring>

#include "scaling/Resize.h"

namespace model {

struct Call {
    const void* src;  // picture, or array of plane pointers when planar
    scaling::ResizeSize srcSize;
    int srcStep;
    scaling::ResizeRect roi;
    void* dst;
    int dstStep;
    scaling::ResizeSize dstSize;
    double xf, yf;
    int pixelStride, channels, dataType, planar, mode;
    int convention = 1;  // 1: factors are destination over source size; 0: source pixels per step
};

// The arithmetic to model: the generic build's double-precision passes, the SSE build's
// single-precision ones with their four-value loops and scalar tails, or the SSE2 build's
// (its SSE3-class compilation computes the same).
enum class Build { Generic, Sse, Sse2 };

// Runs a valid call (arguments already known to pass every check). Returns the clipped
// destination size the model wrote.
scaling::ResizeSize General(const Call& c, Build build = Build::Generic);
scaling::ResizeSize Super(const Call& c, Build build = Build::Generic);

// Six-tap weights of one fraction, from the formula's table with linear interpolation.
void SixTapWeights(float frac, float out[6]);
// The same in single precision, as the SSE build computes them.
void SixTapWeightsF(float frac, float out[6]);

// The sample at `p` of a result of the data type (0: 8-bit, 1: 16-bit, 2: float), as a double.
inline double SampleAt(const std::uint8_t* p, int dataType) {
    if (dataType == 0) return *p;
    if (dataType == 1) {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    float v;
    std::memcpy(&v, p, 4);
    return v;
}

}  // namespace model
