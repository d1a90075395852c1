#include "mainwnd/DisplayPath.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "scaling/Resize.h"
#include "ui/Surface.h"

bool DoubleLines(const std::uint8_t* src, int w, int h, std::uint8_t* dst, std::size_t capacity) {
  if (src == nullptr || dst == nullptr || w <= 0 || h <= 0) return false;
  const std::size_t need = std::size_t(w) * 3 * std::size_t(h) * 2;
  if (need > capacity) return false;
  const int step = w * 3;
  return scaling::ResizeC3_8u(src, {w, h}, step, {0, 0, w, h}, dst, step, {w, 2 * h}, 1.0, 2.0,
                              scaling::ResizeModeLinear) == scaling::ResizeOk;
}

bool ScaleToScreen(const std::uint8_t* src, int w, int h, std::uint8_t* dst, std::size_t capacity, int sw, int sh) {
  if (src == nullptr || dst == nullptr || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
  if (ScreenBufferSize(sw, sh) > capacity) return false;
  const double fx = static_cast<double>(sw) / static_cast<double>(w);
  const double fy = static_cast<double>(sh) / static_cast<double>(h);
  return scaling::ResizeC3_8u(src, {w, h}, w * 3, {0, 0, w, h}, dst, ScreenRowStep(sw), {sw, sh}, fx, fy,
                              scaling::ResizeModeNearest) == scaling::ResizeOk;
}

namespace {

// One scaled row: d[x] = line[cols[x]] for x < n. `line` holds at least 7 pixels past its last
// indexed one when `grouped` is set.
using RowGather = void (*)(std::uint32_t* d, const std::uint32_t* line, const std::int32_t* cols, int n,
                           bool grouped);

void GatherRowPlain(std::uint32_t* d, const std::uint32_t* line, const std::int32_t* cols, int n, bool) {
  for (int x = 0; x < n; ++x) d[x] = line[cols[x]];
}

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define TRELVIX_DISPLAY_AVX2 1
// When every group of eight destination pixels takes its sources from eight consecutive source
// pixels (an enlargement), a group is one load of those eight and one permutation.
__attribute__((target("avx2"))) void GatherRowAvx2(std::uint32_t* d, const std::uint32_t* line,
                                                   const std::int32_t* cols, int n, bool grouped) {
  int x = 0;
  if (grouped) {
    for (; x + 8 <= n; x += 8) {
      const __m256i idx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + x));
      const __m256i rel = _mm256_sub_epi32(idx, _mm256_set1_epi32(cols[x]));
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + cols[x]));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + x), _mm256_permutevar8x32_epi32(v, rel));
    }
  }
  for (; x < n; ++x) d[x] = line[cols[x]];
}
#endif

RowGather ChooseRowGather() {
#ifdef TRELVIX_DISPLAY_AVX2
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return &GatherRowAvx2;
#endif
  return &GatherRowPlain;
}

// True when each full group of eight entries spans at most eight consecutive source pixels.
bool GroupsOfEightAreNarrow(const std::int32_t* cols, int n) {
  for (int x = 0; x + 8 <= n; x += 8)
    if (cols[x + 7] - cols[x] > 7 || cols[x + 7] < cols[x]) return false;
  return true;
}

}  // namespace

bool ScaleToSurface(const std::uint8_t* src, int w, int h, QImage& image, int sw, int sh) {
  if (src == nullptr || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
  if (image.width() != sw || image.height() != sh) return false;
  if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) return false;
  // The tables live with the worker that draws, so a stream of pictures allocates nothing.
  thread_local std::vector<std::int32_t> cols, rows;
  thread_local std::vector<std::uint32_t> line;
  cols.resize(std::size_t(sw));
  rows.resize(std::size_t(sh));
  line.resize(std::size_t(w) + 8);  // a group's load may reach 7 pixels past the last one
  const double fx = static_cast<double>(sw) / static_cast<double>(w);
  const double fy = static_cast<double>(sh) / static_cast<double>(h);
  const int nc = scaling::NearestSourceIndices(w, sw, fx, cols.data());
  const int nr = scaling::NearestSourceIndices(h, sh, fy, rows.data());
  if (nc <= 0 || nr <= 0) return false;
  static const RowGather gather = ChooseRowGather();
  const bool grouped = GroupsOfEightAreNarrow(cols.data(), nc);
  const std::size_t rowBytes = std::size_t(sw) * 4;
  // A row showing the same source row as the row above is a copy of it (image rows share
  // their alignment, which keeps the copy at full speed).
  const std::uint32_t* previous = nullptr;
  int previousSource = -1;
  for (int y = 0; y < sh; ++y) {
    auto* d = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
    // Image row y shows row sh - 1 - y of the bottom-up screen picture.
    const int j = sh - 1 - y;
    if (j >= nr) {
      // A row the scaling leaves unwritten is black; so are such columns below.
      std::fill(d, d + sw, 0xFF000000u);
      previous = nullptr;
      continue;
    }
    const int s = rows[std::size_t(j)];
    if (previous != nullptr && s == previousSource) {
      std::memcpy(d, previous, rowBytes);
    } else {
      ui::BgrRowToRgb32(line.data(), src + std::size_t(s) * std::size_t(w) * 3, w);
      gather(d, line.data(), cols.data(), nc, grouped);
      std::fill(d + nc, d + sw, 0xFF000000u);
    }
    previous = d;
    previousSource = s;
  }
  return true;
}

void PutBgrBottomUp(QImage& image, int dx, int dy, const std::uint8_t* src, int w, int h, int step) {
  if (src == nullptr || w <= 0 || h <= 0 || image.isNull()) return;
  const int x0 = dx < 0 ? -dx : 0;
  const int y0 = dy < 0 ? -dy : 0;
  const int x1 = std::min(w, image.width() - dx);
  const int y1 = std::min(h, image.height() - dy);
  if (x0 >= x1 || y0 >= y1) return;
  for (int y = y0; y < y1; ++y) {
    // Row y from the top is row h - 1 - y in memory.
    const std::uint8_t* s = src + std::size_t(h - 1 - y) * std::size_t(step) + std::size_t(x0) * 3;
    ui::BgrRowToRgb32(reinterpret_cast<std::uint32_t*>(image.scanLine(dy + y)) + dx + x0, s, x1 - x0);
  }
}

StatFigures ComputeStatFigures(std::uint32_t frames, std::uint32_t bytes, std::uint32_t elapsedMs) {
  StatFigures f;
  if (elapsedMs == 0) return f;
  const std::int32_t framesMs = static_cast<std::int32_t>(frames * 1000u);
  f.frameRate = static_cast<float>(static_cast<double>(framesMs) / static_cast<std::int32_t>(elapsedMs));
  // 64-bit products: a window of more than 4,294,967 bytes still gives the true rate.
  const std::uint64_t q = std::uint64_t(bytes) * 1000u / elapsedMs;
  f.kbps = static_cast<std::uint32_t>(q * 8u / 1024u);
  return f;
}

std::string FrameRateText(float frameRate) {
  char text[48];
  std::snprintf(text, sizeof text, "FR:%.2f fps ", static_cast<double>(frameRate));
  return text;
}

std::string DataRateText(std::uint32_t kbps) {
  char text[48];
  std::snprintf(text, sizeof text, "DR:%lu kbps ", static_cast<unsigned long>(kbps));
  return text;
}

std::string AlarmChannelText(std::uint16_t alarmWord) {
  if (alarmWord == 0) return {};
  int bit = 0;
  while (((alarmWord >> bit) & 1u) == 0) ++bit;
  return std::to_string(bit + 1);
}
