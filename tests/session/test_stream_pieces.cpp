// The small rules of the stream pipeline: decoding into the slot, intervals and pacing, the
// no-image picture, the hot-point marker, the stream request, the re-login back-off.
#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "platform/jpeg.h"
#include "session/Decode.h"
#include "session/MMTimer.h"
#include "session/ReLogin.h"
#include "session/Receiver.h"
#include "session/ShowThread.h"
#include "test_stream_wire.h"

namespace {

TEST(StreamDecode, BottomUpBgrAndSizeChecks) {
  // A picture whose top half is red and bottom half blue.
  const int w = 64, h = 32;
  std::vector<std::uint8_t> src(w * h * 3);
  for (int row = 0; row < h; ++row)  // bottom-up: row 0 is the bottom
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &src[(row * w + x) * 3];
      const bool bottom = row < h / 2;
      p[0] = bottom ? 255 : 0;
      p[1] = 0;
      p[2] = bottom ? 0 : 255;
    }
  std::vector<std::uint8_t> jpg;
  ASSERT_TRUE(plat::JpegEncodeBgrBottomUp(src.data(), w, h, w * 3, 95, jpg));
  std::vector<std::uint8_t> dst(w * h * 3 + 16, 0xAB);
  plat::WORD ow = 0, oh = 0;
  ASSERT_EQ(DecodeJpegImage(jpg.data(), jpg.size(), dst.data(), w * h * 3, &ow, &oh), 1);
  EXPECT_EQ(ow, w);
  EXPECT_EQ(oh, h);
  const std::uint8_t* first = &dst[(2 * w + 5) * 3];        // near the bottom
  const std::uint8_t* last = &dst[((h - 3) * w + 5) * 3];   // near the top
  EXPECT_GT(first[0], 200);
  EXPECT_LT(first[2], 60);
  EXPECT_GT(last[2], 200);
  EXPECT_LT(last[0], 60);
  EXPECT_EQ(dst[w * h * 3], 0xAB);  // nothing past the picture

  // Too large for the slot: refused before anything is written.
  std::vector<std::uint8_t> small(w * h * 3 - 1, 0x5A);
  EXPECT_EQ(DecodeJpegImage(jpg.data(), jpg.size(), small.data(), small.size(), &ow, &oh), 0);
  for (auto b : small) ASSERT_EQ(b, 0x5A);
  // Not a JPEG, a cut JPEG, nothing.
  const std::uint8_t junk[8] = {0xFF, 0xD8, 0xFF, 0xDB, 0, 1, 2, 3};
  EXPECT_EQ(DecodeJpegImage(junk, sizeof junk, dst.data(), dst.size(), &ow, &oh), 0);
  EXPECT_EQ(DecodeJpegImage(jpg.data(), jpg.size() / 3, dst.data(), dst.size(), &ow, &oh), 0);
  EXPECT_EQ(DecodeJpegImage(nullptr, 0, dst.data(), dst.size(), &ow, &oh), 0);

  // A recorder-style picture (tables first) decodes too.
  auto rec = wire::RecorderJpeg(96, 48, 7);
  ASSERT_GE(rec.size(), 4u);
  EXPECT_EQ(rec[3], 0xDB);
  EXPECT_EQ(DecodeJpegImage(rec.data(), rec.size(), dst.data(), dst.size(), &ow, &oh), 0);  // too big
  std::vector<std::uint8_t> big(96 * 48 * 3);
  EXPECT_EQ(DecodeJpegImage(rec.data(), rec.size(), big.data(), big.size(), &ow, &oh), 1);
}

TEST(StreamDecode, IntervalsAndNoImageSizes) {
  EXPECT_EQ(FrameInterval(0, 1000), 0);
  EXPECT_EQ(FrameInterval(1000, 1040), 40);
  EXPECT_EQ(FrameInterval(1040, 1030), 10);
  EXPECT_EQ(FrameInterval(0xFFFFFFF0u, 0x10u), 32);  // across the wrap
  EXPECT_EQ(FrameInterval(1, 0x80000001u), INT32_MAX);
  struct {
    std::uint8_t mode, size;
    plat::WORD w, h;
  } cases[] = {{0, 0, 640, 228}, {0, 1, 320, 228}, {1, 0, 640, 276}, {1, 1, 320, 276}, {2, 7, 320, 276}};
  for (const auto& c : cases) {
    plat::WORD w = 0, h = 0;
    NoImagePictureSize(c.mode, c.size, w, h);
    EXPECT_EQ(w, c.w);
    EXPECT_EQ(h, c.h);
  }
}

TEST(StreamShow, PacingRule) {
  struct {
    std::uint32_t now, last;
    std::int32_t interval;
    bool show;
  } cases[] = {
      {1000, 1000, 0, true},    {1000, 1000, 40, false}, {1039, 1000, 40, false},
      {1040, 1000, 40, true},   {1000, 1000, 199, false}, {1000, 1000, 200, true},
      {1000, 1000, -5, true},   {5, 0xFFFFFFF0u, 40, false}, {30, 0xFFFFFFF0u, 40, true},
  };
  for (const auto& c : cases) EXPECT_EQ(PacingAllowsShow(c.now, c.last, c.interval), c.show) << c.now << " " << c.interval;
}

TEST(StreamShow, TimerRunsOnlyOnPacedModels) {
  for (const char* m : {"K40R", "K41R", "K42R", "K43R"}) {
    CMMTimer t;
    t.SetResolution();
    t.Start(m);
    EXPECT_EQ(t.Wait(), -1) << m;
  }
  CMMTimer t;
  t.Start("K47R");
  EXPECT_EQ(t.Arm(plat::GetTickCount64()), 1);
  EXPECT_EQ(t.Wait(), 0);
  t.Stop();
  EXPECT_EQ(t.Wait(), -1);
}

TEST(StreamShow, CrossMarker) {
  const int w = 40, h = 30;
  std::vector<std::uint8_t> pic(w * h * 3, 0);
  ASSERT_EQ(DrawCrossMarker(pic.data(), w, h, 0xFF0000, 0, 10), 1);
  auto px = [&](int col, int row) { return &pic[(row * w + col) * 3]; };
  const int r = h - 10;
  // Colour bytes in order: lowest byte first.
  EXPECT_EQ(px(0, r)[0], 0x00);
  EXPECT_EQ(px(0, r)[2], 0xFF);
  EXPECT_EQ(px(8, r)[2], 0xFF);      // end of the bar
  EXPECT_EQ(px(9, r)[2], 0x00);
  EXPECT_EQ(px(1, r + 8)[2], 0xFF);  // vertical bar, x + 1
  EXPECT_EQ(px(8, r + 8)[2], 0xFF);  // corner arm on the right column
  EXPECT_EQ(px(8, r + 4)[2], 0x00);  // gap of that column
  EXPECT_EQ(px(5, r - 8)[2], 0xFF);  // top arm x + 5 .. x + 8
  EXPECT_EQ(px(4, r - 8)[2], 0x00);
  int drawn = 0;
  for (std::size_t i = 2; i < pic.size(); i += 3) drawn += pic[i] == 0xFF;
  // Left half (columns -8..-1) skipped: bar 3x9, vertical 2 columns of 17 minus overlap, arms.
  EXPECT_EQ(drawn, 3 * 9 + 2 * 17 - 2 * 3 + 2 * 4 + (2 * 4 - 2));
  // A marker off the picture draws nothing and touches no memory outside it.
  std::vector<std::uint8_t> tiny(3 * 3 * 3, 0);
  DrawCrossMarker(tiny.data(), 3, 3, 0xFFFFFF, 100, 100);
  for (auto b : tiny) EXPECT_EQ(b, 0);
}

TEST(StreamRequest, GetVideoHead) {
  const std::string id(63, 'S');
  const std::string r = BuildGetVideoRequest(id, "192.168.100.200");
  EXPECT_EQ(r.rfind("GET /Getvideo.cgi?Cookie=" + id + " HTTP/1.1\r\nAccept: */* \r\n", 0), 0u);
  EXPECT_NE(r.find("\r\nHost: 192.168.100.200\r\nConnection: Keep-Alive\r\n\r\n"), std::string::npos);
  EXPECT_EQ(r.size(), 306u);  // the longest identifier and address
}

TEST(ReLoginRules, BackoffAndChannelClamp) {
  struct {
    std::uint64_t before;
    plat::DWORD ms;
  } backoff[] = {{0, 3000}, {1999, 3000}, {2000, 6000}, {3999, 6000}, {17999, 27000}, {18000, 30000},
                 {1ull << 40, 30000}};
  for (const auto& c : backoff) EXPECT_EQ(ReLoginBackoffMs(c.before), c.ms) << c.before;
  struct {
    const char* model;
    std::uint8_t in, out;
  } clamp[] = {{"K41R", 16, 16}, {"K41R", 17, 0}, {"K42R", 9, 0}, {"K42R", 8, 8}, {"K43R", 5, 0},
               {"K40R", 0, 1},   {"K40R", 5, 1},  {"K40R", 2, 2}, {"K47R", 9, 9}};
  for (const auto& c : clamp) EXPECT_EQ(ClampSelectedChannel(c.model, c.in), c.out) << c.model << int(c.in);
}

}  // namespace
