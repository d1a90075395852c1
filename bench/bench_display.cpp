// The live display path per picture, beside the decode of the same picture: line doubling of
// 640x240 and 720x288 fields, putting the result on the 720 x 576 surface, and the full-screen
// scaling at 1920 x 1080 (drawn straight into the 32-bit surface, and through the 24-bit screen
// picture). The display path should cost less than decoding.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cstdint>
#include <vector>

#include "mainwnd/DisplayPath.h"
#include "platform/jpeg.h"
#include "session/Decode.h"

namespace {

std::vector<std::uint8_t> Gradient(int w, int h) {
  std::vector<std::uint8_t> p(std::size_t(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* px = &p[(std::size_t(y) * w + x) * 3];
      px[0] = static_cast<std::uint8_t>(x + y);
      px[1] = static_cast<std::uint8_t>(x * 3);
      px[2] = static_cast<std::uint8_t>(y * 5 + (x & 16));
    }
  }
  return p;
}

std::vector<std::uint8_t> Jpeg(const std::vector<std::uint8_t>& picture, int w, int h) {
  std::vector<std::uint8_t> out;
  plat::JpegEncodeBgrBottomUp(picture.data(), w, h, w * 3, 70, out);
  return out;
}

void BM_Decode(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const auto jpeg = Jpeg(Gradient(w, h), w, h);
  std::vector<std::uint8_t> out(std::size_t(w) * h * 3);
  for (auto _ : state) {
    plat::WORD dw = 0, dh = 0;
    benchmark::DoNotOptimize(DecodeJpegImage(jpeg.data(), jpeg.size(), out.data(), out.size(), &dw, &dh));
  }
}

// Doubling plus drawing onto the 720 x 576 surface: the windowed display of one picture.
void BM_DisplayWindowed(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const auto picture = Gradient(w, h);
  std::vector<std::uint8_t> doubled(std::size_t(w) * h * 6);
  QImage surface(kDisplayWidth, kDisplayHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    DoubleLines(picture.data(), w, h, doubled.data(), doubled.size());
    PutBgrBottomUp(surface, 0, 0, doubled.data(), w, 2 * h, w * 3);
    benchmark::ClobberMemory();
  }
}

void BM_DoubleOnly(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const auto picture = Gradient(w, h);
  std::vector<std::uint8_t> doubled(std::size_t(w) * h * 6);
  for (auto _ : state) {
    DoubleLines(picture.data(), w, h, doubled.data(), doubled.size());
    benchmark::ClobberMemory();
  }
}

// Doubling, scaling to 1920 x 1080 and drawing the full-screen picture.
void BM_DisplayFullScreen(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const int sw = 1920, sh = 1080;
  const auto picture = Gradient(w, h);
  std::vector<std::uint8_t> doubled(std::size_t(w) * h * 6);
  QImage surface(sw, sh, QImage::Format_RGB32);
  for (auto _ : state) {
    DoubleLines(picture.data(), w, h, doubled.data(), doubled.size());
    ScaleToSurface(doubled.data(), w, 2 * h, surface, sw, sh);
    benchmark::ClobberMemory();
  }
}

// The full-screen drawing alone, from an already doubled picture.
void BM_ScaleToSurfaceOnly(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const int sw = 1920, sh = 1080;
  const auto doubled = Gradient(w, 2 * h);
  QImage surface(sw, sh, QImage::Format_RGB32);
  for (auto _ : state) {
    ScaleToSurface(doubled.data(), w, 2 * h, surface, sw, sh);
    benchmark::ClobberMemory();
  }
}

// The same through the 24-bit screen picture: the resize primitive's nearest scaling, then
// drawing the screen picture.
void BM_DisplayFullScreenTwoStep(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const int sw = 1920, sh = 1080;
  const auto picture = Gradient(w, h);
  std::vector<std::uint8_t> doubled(std::size_t(w) * h * 6);
  std::vector<std::uint8_t> screen(ScreenBufferSize(sw, sh));
  QImage surface(sw, sh, QImage::Format_RGB32);
  for (auto _ : state) {
    DoubleLines(picture.data(), w, h, doubled.data(), doubled.size());
    ScaleToScreen(doubled.data(), w, 2 * h, screen.data(), screen.size(), sw, sh);
    PutBgrBottomUp(surface, 0, 0, screen.data(), sw, sh, ScreenRowStep(sw));
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_Decode)->Args({640, 240})->Args({720, 288})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DoubleOnly)->Args({640, 240})->Args({720, 288})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplayWindowed)->Args({640, 240})->Args({720, 288})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplayFullScreen)->Args({640, 240})->Args({720, 288})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScaleToSurfaceOnly)->Args({640, 240})->Args({720, 288})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplayFullScreenTwoStep)->Args({640, 240})->Args({720, 288})->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
