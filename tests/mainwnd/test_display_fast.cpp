// The display's direct drawing against the two-step route it replaces: the full-screen picture
// scaled straight into the 32-bit image, and pictures put onto an image a row at a time.
#include <QImage>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "mainwnd/DisplayPath.h"

namespace {

std::vector<std::uint8_t> RandomPicture(int w, int h, std::mt19937& rng) {
  std::vector<std::uint8_t> p(std::size_t(w) * std::size_t(h) * 3);
  for (auto& v : p) v = static_cast<std::uint8_t>(rng());
  return p;
}

// First differing pixel of two images of one size, or "" when they are equal.
std::string FirstDifference(const QImage& a, const QImage& b) {
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y))
        return "pixel (" + std::to_string(x) + "," + std::to_string(y) + "): " + std::to_string(a.pixel(x, y)) +
               " not " + std::to_string(b.pixel(x, y));
  return {};
}

TEST(DisplayFast, FullScreenStraightIntoTheImageEqualsScalingThenDrawing) {
  struct Case {
    int w, h, sw, sh;
  };
  const Case cases[] = {
      {640, 480, 1920, 1080}, {720, 576, 1920, 1080}, {640, 456, 1366, 768}, {704, 576, 1280, 1024},
      {320, 240, 1920, 1080}, {4, 2, 1366, 8},        {7, 5, 3, 2},          {1, 1, 5, 3},
      {1000, 10, 17, 900},    {3, 700, 1001, 7},
  };
  std::mt19937 rng(5);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " to " + std::to_string(c.sw) + "x" +
                 std::to_string(c.sh));
    const auto src = RandomPicture(c.w, c.h, rng);
    std::vector<std::uint8_t> screen(ScreenBufferSize(c.sw, c.sh));
    ASSERT_TRUE(ScaleToScreen(src.data(), c.w, c.h, screen.data(), screen.size(), c.sw, c.sh));
    QImage twoStep(c.sw, c.sh, QImage::Format_RGB32);
    twoStep.fill(Qt::green);
    PutBgrBottomUp(twoStep, 0, 0, screen.data(), c.sw, c.sh, ScreenRowStep(c.sw));
    QImage direct(c.sw, c.sh, QImage::Format_RGB32);
    direct.fill(Qt::magenta);
    ASSERT_TRUE(ScaleToSurface(src.data(), c.w, c.h, direct, c.sw, c.sh));
    EXPECT_EQ(FirstDifference(direct, twoStep), "");
  }
}

TEST(DisplayFast, FullScreenRefusesUnusableArgumentsAndLeavesTheImage) {
  std::mt19937 rng(6);
  const auto src = RandomPicture(8, 4, rng);
  QImage img(16, 8, QImage::Format_RGB32);
  img.fill(Qt::green);
  const QImage before = img.copy();
  QImage wrongFormat(16, 8, QImage::Format_RGB888);
  EXPECT_FALSE(ScaleToSurface(nullptr, 8, 4, img, 16, 8));
  EXPECT_FALSE(ScaleToSurface(src.data(), 0, 4, img, 16, 8));
  EXPECT_FALSE(ScaleToSurface(src.data(), 8, -1, img, 16, 8));
  EXPECT_FALSE(ScaleToSurface(src.data(), 8, 4, img, 17, 8));  // image of another size
  EXPECT_FALSE(ScaleToSurface(src.data(), 8, 4, img, 16, 0));
  EXPECT_FALSE(ScaleToSurface(src.data(), 8, 4, wrongFormat, 16, 8));
  EXPECT_EQ(img, before);
}

// Every width from 1 to 40 (the row conversion works in groups of four pixels and finishes
// with single ones) at offsets that cut the picture on each side, against a pixel-by-pixel
// reference. The source is sized exactly, so a read past it shows under AddressSanitizer.
TEST(DisplayFast, PutBgrBottomUpMatchesPixelByPixelReference) {
  std::mt19937 rng(7);
  for (int w = 1; w <= 40; ++w)
    for (const QPoint at : {QPoint(0, 0), QPoint(3, 1), QPoint(-5, -2), QPoint(30, 2)}) {
      SCOPED_TRACE(std::to_string(w) + " at " + std::to_string(at.x()) + "," + std::to_string(at.y()));
      const int h = 5, step = w * 3 + (w % 3);
      std::vector<std::uint8_t> src(std::size_t(step) * (h - 1) + std::size_t(w) * 3);
      for (auto& v : src) v = static_cast<std::uint8_t>(rng());
      QImage img(37, 6, QImage::Format_RGB32);
      img.fill(Qt::green);
      QImage want = img.copy();
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const int ix = at.x() + x, iy = at.y() + y;
          if (ix < 0 || iy < 0 || ix >= want.width() || iy >= want.height()) continue;
          const std::uint8_t* p = &src[std::size_t(h - 1 - y) * step + std::size_t(x) * 3];
          want.setPixel(ix, iy, qRgb(p[2], p[1], p[0]));
        }
      PutBgrBottomUp(img, at.x(), at.y(), src.data(), w, h, step);
      EXPECT_EQ(FirstDifference(img, want), "");
    }
}

}  // namespace
