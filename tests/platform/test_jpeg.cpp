// JPEG: encode/decode round trip in bottom-up BGR, and refusal of pictures that don't fit.
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>

#include "platform/jpeg.h"

using namespace plat;

namespace {

// A bottom-up BGR picture: the top half blue, the bottom half red (smooth, so JPEG keeps it).
std::vector<std::uint8_t> TwoBands(int w, int h, int pitch) {
  std::vector<std::uint8_t> px(static_cast<std::size_t>(pitch) * h, 0xEE);
  for (int memRow = 0; memRow < h; ++memRow) {
    bool bottomHalf = memRow < h / 2;  // memory row 0 is the picture's bottom row
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &px[static_cast<std::size_t>(memRow) * pitch + x * 3];
      p[0] = bottomHalf ? 0 : 255;  // B
      p[1] = 0;                     // G
      p[2] = bottomHalf ? 255 : 0;  // R
    }
  }
  return px;
}

bool Near(int a, int b) { return std::abs(a - b) <= 24; }

TEST(Jpeg, RoundTripKeepsOrientationAndColours) {
  const int w = 64, h = 48;
  struct Case {
    int encodePitch, decodePitch;
  } cases[] = {{0, 0}, {w * 3 + 4, 0}, {0, w * 3 + 8}};
  for (const auto& c : cases) {
    int ep = c.encodePitch ? c.encodePitch : w * 3;
    auto src = TwoBands(w, h, ep);
    std::vector<std::uint8_t> jpeg;
    ASSERT_TRUE(JpegEncodeBgrBottomUp(src.data(), w, h, c.encodePitch, 90, jpeg));
    ASSERT_GT(jpeg.size(), 4u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    int rw = 0, rh = 0;
    ASSERT_TRUE(JpegReadSize(jpeg.data(), jpeg.size(), rw, rh));
    EXPECT_EQ(rw, w);
    EXPECT_EQ(rh, h);

    int dp = c.decodePitch ? c.decodePitch : w * 3;
    std::vector<std::uint8_t> dst(static_cast<std::size_t>(dp) * h, 0x55);
    int dw = 0, dh = 0;
    ASSERT_TRUE(JpegDecodeBgrBottomUp(jpeg.data(), jpeg.size(), dst.data(), dst.size(), dw, dh, c.decodePitch));
    EXPECT_EQ(dw, w);
    EXPECT_EQ(dh, h);
    const std::uint8_t* bottom = &dst[static_cast<std::size_t>(4) * dp + 10 * 3];
    const std::uint8_t* top = &dst[static_cast<std::size_t>(h - 5) * dp + 10 * 3];
    EXPECT_TRUE(Near(bottom[2], 255) && Near(bottom[0], 0)) << "bottom row red";
    EXPECT_TRUE(Near(top[0], 255) && Near(top[2], 0)) << "top row blue";
    if (dp > w * 3) {
      EXPECT_EQ(dst[w * 3], 0x55) << "padding between rows untouched";
    }
  }
}

TEST(Jpeg, DecodeRefusesWhatDoesNotFitAndWritesNothing) {
  const int w = 32, h = 16;
  auto src = TwoBands(w, h, w * 3);
  std::vector<std::uint8_t> jpeg;
  ASSERT_TRUE(JpegEncodeBgrBottomUp(src.data(), w, h, 0, 80, jpeg));
  const std::size_t exact = static_cast<std::size_t>(w) * 3 * h;
  struct Case {
    const char* name;
    std::size_t capacity;
    int pitch;
    bool ok;
  } cases[] = {
      {"exact", exact, 0, true},
      {"one byte short", exact - 1, 0, false},
      {"pitch needs more", exact, w * 3 + 1, false},
      {"pitch fits: last row needs no padding", static_cast<std::size_t>(w * 3 + 1) * (h - 1) + w * 3,
       w * 3 + 1, true},
      {"pitch smaller than a row", exact, w * 3 - 1, false},
      {"negative pitch", exact, -1, false},
      {"no room", 0, 0, false},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> dst(exact + 64, 0xAB);
    int dw = -1, dh = -1;
    EXPECT_EQ(JpegDecodeBgrBottomUp(jpeg.data(), jpeg.size(), dst.data(), c.capacity, dw, dh, c.pitch), c.ok)
        << c.name;
    if (!c.ok) {
      EXPECT_EQ(std::count(dst.begin(), dst.end(), 0xAB), static_cast<long>(dst.size())) << c.name;
      EXPECT_EQ(dw, -1) << c.name;
    }
  }
}

TEST(Jpeg, GreyscaleDecodesToThreeChannels) {
  // A one-channel JPEG: dark on the top half, light on the bottom (top-down grey rows).
  const int w = 16, h = 16;
  std::vector<unsigned char> grey(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) grey[y * w + x] = y < h / 2 ? 40 : 200;
  tjhandle t = tjInitCompress();
  ASSERT_NE(t, nullptr);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  ASSERT_EQ(tjCompress2(t, grey.data(), w, w, h, TJPF_GRAY, &buf, &size, TJSAMP_GRAY, 95, 0), 0);
  std::vector<std::uint8_t> jpeg(buf, buf + size);
  tjFree(buf);
  tjDestroy(t);

  std::vector<std::uint8_t> dst(w * 3 * h);
  int dw = 0, dh = 0;
  ASSERT_TRUE(JpegDecodeBgrBottomUp(jpeg.data(), jpeg.size(), dst.data(), dst.size(), dw, dh));
  // Memory row 0 is the bottom (light); the last memory row is the top (dark).
  const std::uint8_t* bottom = &dst[0];
  const std::uint8_t* top = &dst[(h - 1) * w * 3];
  for (int c = 0; c < 3; ++c) {
    EXPECT_TRUE(Near(bottom[c], 200)) << c;
    EXPECT_TRUE(Near(top[c], 40)) << c;
  }
  // A buffer sized for one channel is too small for the three-channel result.
  EXPECT_FALSE(JpegDecodeBgrBottomUp(jpeg.data(), jpeg.size(), dst.data(), w * h, dw, dh));
}

TEST(Jpeg, GarbageIsRefused) {
  std::vector<std::uint8_t> junk = {0xFF, 0xD8, 0xFF, 0xDB, 1, 2, 3, 4, 5};
  std::vector<std::uint8_t> dst(1024);
  int w, h;
  EXPECT_FALSE(JpegReadSize(junk.data(), junk.size(), w, h));
  EXPECT_FALSE(JpegDecodeBgrBottomUp(junk.data(), junk.size(), dst.data(), dst.size(), w, h));
  EXPECT_FALSE(JpegReadSize(nullptr, 0, w, h));
  EXPECT_FALSE(JpegReadSize(junk.data(), 0, w, h));
  std::vector<std::uint8_t> out;
  EXPECT_FALSE(JpegEncodeBgrBottomUp(dst.data(), 0, 4, 0, 80, out));
  EXPECT_FALSE(JpegEncodeBgrBottomUp(dst.data(), 4, 4, 5, 80, out));
  EXPECT_FALSE(JpegEncodeBgrBottomUp(nullptr, 4, 4, 0, 80, out));
  // A truncated picture is refused too, and none of these spoils the next good picture.
  auto src = TwoBands(8, 8, 24);
  ASSERT_TRUE(JpegEncodeBgrBottomUp(src.data(), 8, 8, 0, 80, out));
  EXPECT_FALSE(JpegDecodeBgrBottomUp(out.data(), 20, dst.data(), dst.size(), w, h));
  EXPECT_TRUE(JpegDecodeBgrBottomUp(out.data(), out.size(), dst.data(), dst.size(), w, h));
  EXPECT_EQ(w, 8);
}

}  // namespace
