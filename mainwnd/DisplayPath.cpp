#include "mainwnd/DisplayPath.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

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

bool ScaleToSurface(const std::uint8_t* src, int w, int h, QImage& image, int sw, int sh) {
  if (src == nullptr || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
  if (image.width() != sw || image.height() != sh) return false;
  if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) return false;
  // The tables live with the worker that draws, so a stream of pictures allocates nothing.
  thread_local std::vector<std::int32_t> cols, rows;
  thread_local std::vector<std::uint32_t> line, scaled;
  cols.resize(std::size_t(sw));
  rows.resize(std::size_t(sh));
  line.resize(std::size_t(w));
  scaled.resize(std::size_t(sw));
  const double fx = static_cast<double>(sw) / static_cast<double>(w);
  const double fy = static_cast<double>(sh) / static_cast<double>(h);
  const int nc = scaling::NearestSourceIndices(w, sw, fx, cols.data());
  const int nr = scaling::NearestSourceIndices(h, sh, fy, rows.data());
  if (nc <= 0 || nr <= 0) return false;
  // Columns the scaling leaves unwritten stay black; so do whole rows it leaves unwritten.
  std::fill(scaled.begin() + nc, scaled.end(), 0xFF000000u);
  int built = -1;  // source row `scaled` holds
  for (int y = 0; y < sh; ++y) {
    auto* d = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
    // Image row y shows row sh - 1 - y of the bottom-up screen picture.
    const int j = sh - 1 - y;
    if (j >= nr) {
      std::fill(d, d + sw, 0xFF000000u);
      continue;
    }
    const int s = rows[std::size_t(j)];
    if (s != built) {
      ui::BgrRowToRgb32(line.data(), src + std::size_t(s) * std::size_t(w) * 3, w);
      const std::uint32_t* l = line.data();
      const std::int32_t* c = cols.data();
      std::uint32_t* o = scaled.data();
      for (int x = 0; x < nc; ++x) o[x] = l[c[x]];
      built = s;
    }
    std::memcpy(d, scaled.data(), std::size_t(sw) * 4);
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
