#include "core/Deinterlace.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

template <class OddRow>
void FieldToFrame(const std::uint8_t* src, int width, int rows, std::uint8_t* dst, OddRow odd) {
  if (src == nullptr || dst == nullptr || width <= 0 || rows <= 0) return;
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  auto row = [&](int r) { return src + static_cast<std::size_t>(std::clamp(r, 0, rows - 1)) * stride; };
  for (int i = 0; i < 2 * rows; ++i) {
    std::uint8_t* out = dst + static_cast<std::size_t>(i) * stride;
    const int k = i / 2;
    if ((i & 1) == 0) {
      std::memcpy(out, row(k), stride);
    } else if (i <= 3 || k >= rows - 3) {
      const std::uint8_t* a = row(k);
      const std::uint8_t* b = row(k + 1);
      for (std::size_t x = 0; x < stride; ++x) out[x] = static_cast<std::uint8_t>((a[x] + b[x]) / 2);
    } else {
      const std::uint8_t* r[6] = {row(k - 2), row(k - 1), row(k), row(k + 1), row(k + 2), row(k + 3)};
      for (std::size_t x = 0; x < stride; ++x) out[x] = odd(r, x);
    }
  }
}

}  // namespace

void FieldToFrame24(const std::uint8_t* src, int width, int rows, std::uint8_t* dst) {
  static const double w[6] = {0.08, -0.22, 0.64, 0.64, -0.22, 0.08};
  FieldToFrame(src, width, rows, dst, [](const std::uint8_t* const* r, std::size_t x) {
    double v = 0;
    for (int t = 0; t < 6; ++t) v += w[t] * r[t][x];
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
  });
}

void FieldToFrame24Int(const std::uint8_t* src, int width, int rows, std::uint8_t* dst) {
  FieldToFrame(src, width, rows, dst, [](const std::uint8_t* const* r, std::size_t x) {
    const int v = (64 * (r[2][x] + r[3][x]) + 8 * (r[0][x] + r[5][x]) - 22 * (r[1][x] + r[4][x])) / 100;
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
  });
}

void CombFilter16(const std::uint8_t* src, int width, int rows, std::uint8_t* dst) {
  if (src == nullptr || dst == nullptr || width <= 0 || rows <= 0) return;
  const std::size_t stride = static_cast<std::size_t>(width) * 2;
  std::memcpy(dst, src, stride * static_cast<std::size_t>(rows));
  for (int y = 1; y + 1 < rows; ++y) {
    const std::uint8_t* up = src + (y - 1) * stride;
    const std::uint8_t* me = src + y * stride;
    const std::uint8_t* dn = src + (y + 1) * stride;
    std::uint8_t* out = dst + y * stride;
    for (int x = 0; x < width; ++x) {
      const int a = up[2 * x] >> 1, b = me[2 * x] >> 1, c = dn[2 * x] >> 1;
      if ((a - b) * (c - b) - 625 * (((a - c) * (a - c)) >> 12) > 73) {
        out[2 * x] = static_cast<std::uint8_t>((up[2 * x] + dn[2 * x]) / 2);
        out[2 * x + 1] = static_cast<std::uint8_t>((up[2 * x + 1] + dn[2 * x + 1]) / 2);
      }
    }
  }
}
