// The live view without a window: pictures cut to the video area, the full-screen picture and
// its release, and pictures shown on a worker while the GUI thread paints.
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "engine/AppRecord.h"
#include "mainwnd/LiveView.h"
#include "platform/clock.h"

namespace {

// A bottom-up 24-bit picture of one colour.
std::vector<std::uint8_t> Plain(int w, int h, QRgb colour) {
  std::vector<std::uint8_t> p(std::size_t(w) * h * 3);
  for (std::size_t i = 0; i < p.size(); i += 3) {
    p[i] = static_cast<std::uint8_t>(qBlue(colour));
    p[i + 1] = static_cast<std::uint8_t>(qGreen(colour));
    p[i + 2] = static_cast<std::uint8_t>(qRed(colour));
  }
  return p;
}

class LiveViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = std::make_unique<AppRecord>();
    app_->ApplyStartValues();
    // No statistics update during the test.
    app_->dw_StatTick = static_cast<std::int32_t>(plat::GetTickCount());
  }
  void SetFrame(std::vector<std::uint8_t>& bits, int w, int h) {
    app_->lp_CurrentFrame = bits.data();
    app_->w_FrameWidth = static_cast<std::uint16_t>(w);
    app_->w_FrameHeight = static_cast<std::uint16_t>(h);
  }
  QImage PaintOnCanvas(LiveView& view, const QRect& video) {
    QImage canvas(400, 400, QImage::Format_RGB32);
    canvas.fill(kCanvas);
    QPainter painter(&canvas);
    view.PaintWindowed(painter, video);
    painter.end();
    return canvas;
  }

  static constexpr QRgb kCanvas = 0xFFFF00FF;
  static constexpr QRgb kRed = 0xFFC80000;
  static constexpr QRgb kBlue = 0xFF0000C8;
  std::unique_ptr<AppRecord> app_;
};

// A picture larger than the video area the layout expects is cut to that area; a smaller one
// covers only its own size. Nothing outside the area changes.
TEST_F(LiveViewTest, PictureIsCutToTheVideoArea) {
  struct Case {
    int w, h;      // the picture
    int shownH;    // its height on the surface (pictures 640 and wider are line-doubled)
    QRect video;   // the layout's video area
  };
  const Case cases[] = {
      {704, 576, 576, QRect(24, 90, 320, 228)},   // a D1 picture in a QVGA layout
      {320, 240, 240, QRect(24, 90, 320, 228)},   // 12 rows taller than the area
      {640, 240, 480, QRect(10, 20, 360, 300)},   // doubled, wider and taller
      {160, 120, 120, QRect(24, 90, 320, 228)},   // smaller: only its own part
      {720, 288, 576, QRect(0, 0, 400, 400)},     // the whole canvas as area
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    LiveView view;
    auto bits = Plain(c.w, c.h, kRed);
    SetFrame(bits, c.w, c.h);
    ASSERT_TRUE(view.Show(*app_, false).drawn);
    EXPECT_EQ(view.Displayed(), QRect(0, 0, std::min(c.w, 720), c.shownH));
    const QImage canvas = PaintOnCanvas(view, c.video);
    const QRect expectRed = c.video & QRect(c.video.topLeft(), QSize(c.w, c.shownH));
    int wrong = 0;
    for (int y = 0; y < canvas.height(); ++y)
      for (int x = 0; x < canvas.width(); ++x) {
        const QRgb want = expectRed.contains(x, y) ? kRed : kCanvas;
        if (canvas.pixel(x, y) != want && wrong++ == 0) ADD_FAILURE() << "first wrong pixel " << x << "," << y;
      }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(LiveViewTest, FullScreenPictureUntilReleased) {
  LiveView view;
  std::vector<std::uint8_t> screenBuffer(16);
  app_->lp_ScreenBuffer = screenBuffer.data();
  auto bits = Plain(320, 240, kBlue);
  SetFrame(bits, 320, 240);
  // No screen size yet: nothing is drawn in full screen.
  EXPECT_FALSE(view.Show(*app_, true).drawn);
  view.SetScreenSize(QSize(64, 48));
  ASSERT_TRUE(view.Show(*app_, true).drawn);
  const QImage full = view.FullScreenSurface();
  ASSERT_EQ(full.size(), QSize(64, 48));
  EXPECT_EQ(full.pixel(63, 47), kBlue);
  EXPECT_TRUE(view.Displayed().isEmpty());  // the latest picture is not a windowed one
  QImage canvas(64, 48, QImage::Format_RGB32);
  canvas.fill(kCanvas);
  {
    QPainter painter(&canvas);
    EXPECT_TRUE(view.PaintFullScreen(painter));
  }
  EXPECT_EQ(canvas.pixel(0, 0), kBlue);

  view.ReleaseFullScreen();
  EXPECT_TRUE(view.FullScreenSurface().isNull());
  EXPECT_FALSE(view.Show(*app_, true).drawn);
  {
    QPainter painter(&canvas);
    EXPECT_FALSE(view.PaintFullScreen(painter));
  }
  // Without the program's screen buffer there is no full-screen picture either.
  view.SetScreenSize(QSize(64, 48));
  app_->lp_ScreenBuffer = nullptr;
  EXPECT_FALSE(view.Show(*app_, true).drawn);
  // Windowed pictures go on as before.
  EXPECT_TRUE(view.Show(*app_, false).drawn);
  EXPECT_EQ(view.Displayed(), QRect(0, 0, 320, 240));
}

// The worker shows red and blue pictures in turn while this thread paints and inspects: every
// paint shows one whole picture (never half of one over the other) and neither side waits for
// the other's drawing. Run under ThreadSanitizer, this is the race check of the slots.
TEST_F(LiveViewTest, WorkerShowsPicturesWhilePaintDraws) {
  LiveView view;
  auto red = Plain(320, 240, kRed);
  auto blue = Plain(320, 240, kBlue);
  SetFrame(red, 320, 240);
  ASSERT_TRUE(view.Show(*app_, false).drawn);
  constexpr int kPictures = 400;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < kPictures; ++i) {
      app_->lp_CurrentFrame = (i % 2 ? red : blue).data();
      view.Show(*app_, false);
    }
    done = true;
  });
  const QRect video(10, 10, 320, 240);
  int paints = 0;
  while (!done.load() || paints < 10) {
    const QImage canvas = PaintOnCanvas(view, video);
    const QRgb first = canvas.pixel(10, 10);
    ASSERT_TRUE(first == kRed || first == kBlue) << std::hex << first;
    // One picture from the top row to the bottom one.
    for (int y : {10, 129, 130, 249}) {
      ASSERT_EQ(canvas.pixel(329, y), first) << "row " << y;
    }
    if (paints % 8 == 0) {
      EXPECT_EQ(view.Displayed(), QRect(0, 0, 320, 240));
    }
    ++paints;
  }
  worker.join();
  // The last picture is the one that stays.
  EXPECT_EQ(PaintOnCanvas(view, video).pixel(100, 100), kRed);
  EXPECT_EQ(view.Surface().pixel(5, 5), kRed);
}

}  // namespace
