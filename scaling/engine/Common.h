// Shared definitions of the resize engine: sample types, work types per interpolation, and the
// conversions every build agrees on.
#pragma once

#include "scaling/engine/BuildTag.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace scaling::engine {
inline namespace TRELVIX_SCALING_BUILD_TAG {

// Added before every truncation of a coordinate or size, and the weight at or below which the
// super-sampling kernels drop a partial row or column.
constexpr double kEps = 0.0000001;

enum DataType : int { DataType8u = 0, DataType16u = 1, DataType32f = 2 };

// Linear filtering of integer samples is fixed point (weights scaled by 16384); floats use
// fractions.
template <class T> struct LinearTypes {
    using Weight = std::uint16_t;  // per destination column: a pair (left, right)
    using RowWeight = std::uint16_t;
    using Work = std::uint16_t;
};
template <> struct LinearTypes<float> {
    using Weight = float;
    using RowWeight = float;
    using Work = float;
};

// Super-sampling steps are in bytes and need not be multiples of the sample size: samples there
// are read and written through these, which compile to plain loads and stores.
template <class T> inline T LoadSample(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}
template <class T> inline void StoreSample(std::uint8_t* p, T v) { std::memcpy(p, &v, sizeof(T)); }

// Final conversion of a cubic or six-tap sum: 1e-7 added, truncated toward zero, clamped.
template <class T> inline T StoreFiltered(double v) {
    if constexpr (std::is_same_v<T, float>) {
        return static_cast<float>(v);
    } else {
        constexpr double kMax = std::is_same_v<T, std::uint8_t> ? 255.0 : 65535.0;
        const double x = v + kEps;
        if (!(x > 0.0)) return 0;  // also the only place a NaN could land
        if (x >= kMax) return static_cast<T>(kMax);
        return static_cast<T>(static_cast<std::int32_t>(x));
    }
}

// Super-sampling: a destination sample from its value (rounded half up and kept to the low 8 or
// 16 bits for integer samples).
template <class T>
inline void StoreSuper(double v, std::uint8_t* out) {
    if constexpr (std::is_same_v<T, float>) {
        StoreSample<float>(out, static_cast<float>(v));
    } else {
        const std::int64_t q = static_cast<std::int64_t>(v + 0.5);
        StoreSample<T>(out, static_cast<T>(q));  // low 8 or 16 bits
    }
}

// One destination column of the fractional horizontal reduction, the same for every row: the
// sum s starts at 0.0 and takes, in this order, g times the lead column (when lead >= 0), the
// `inside` whole columns from `from` one by one, the last accumulated column times `beyond`
// (when beyond > 0: whole columns past the last one) and e times column q (when q >= 0).
struct SuperColumnPlan {
    double g, beyond, e;
    std::int32_t lead, from, inside, q;
};

}  // namespace TRELVIX_SCALING_BUILD_TAG
}  // namespace scaling::engine
