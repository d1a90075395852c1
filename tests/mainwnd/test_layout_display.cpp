// The layout table, the access modes, the resolution modes and the display steps that need no
// window.
#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <vector>

#include "mainwnd/DisplayPath.h"
#include "mainwnd/Layout.h"
#include "scaling/Resize.h"
#include "session/ResolutionMode.h"

namespace {

// ---- layout table ----------------------------------------------------------------------------

struct RowCase {
  int mode;
  int width, closed, open;
  int video[4];
  int status[4];
  int cameraUpTop, titleLeft, addressLeft;
};

class LayoutRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(LayoutRowTest, RowHoldsItsRectanglesAndTheSizeClassValues) {
  const RowCase& c = GetParam();
  const LayoutRow& L = LayoutRowOf(static_cast<unsigned>(c.mode));
  const int expectWindow[12] = {0, 0, c.width, c.closed, 0, 0, c.width, c.open, 0, 0, c.width, c.closed};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(L[i], expectWindow[i]) << "value " << i;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(L[LV_VIDEO + i], c.video[i]);
    EXPECT_EQ(L[LV_STATUS + i], c.status[i]);
  }
  EXPECT_EQ(L[25], c.cameraUpTop);
  EXPECT_EQ(L[32], c.titleLeft);
  EXPECT_EQ(L[69], c.addressLeft);
  for (int i = 37; i <= 68; ++i) EXPECT_EQ(L[i], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LayoutRowTest,
    ::testing::Values(RowCase{0, 722, 608, 680, {42, 96, 682, 552}, {6, 63, 714, 83}, 571, 663, 542},
                      RowCase{1, 370, 366, 461, {24, 90, 344, 318}, {6, 63, 362, 83}, 329, 311, 190},
                      RowCase{2, 722, 705, 776, {42, 96, 682, 648}, {6, 63, 714, 83}, 668, 663, 542},
                      RowCase{5, 370, 414, 509, {96, 132, 272, 276}, {6, 63, 362, 83}, 377, 311, 190},
                      RowCase{8, 722, 705, 776, {10, 86, 714, 660}, {6, 63, 714, 83}, 668, 663, 542},
                      RowCase{13, 370, 366, 461, {24, 84, 344, 324}, {14, 63, 362, 83}, 329, 311, 190},
                      RowCase{14, 722, 705, 776, {42, 86, 682, 660}, {38, 63, 682, 83}, 668, 663, 542},
                      RowCase{17, 370, 414, 509, {104, 132, 264, 276}, {6, 63, 362, 83}, 377, 311, 190}));

TEST(LayoutTable, ModeOutsideTheTableIsMappedIntoIt) {
  EXPECT_EQ(&LayoutRowOf(18), &LayoutRowOf(0));
  EXPECT_EQ(&LayoutRowOf(65535), &LayoutRowOf(65535 % 18));
  EXPECT_EQ(SizeClassOf(12), 0);
  EXPECT_EQ(SizeClassOf(13), 1);
  EXPECT_EQ(SizeClassOf(65535), (65535 % 18) % 6);
}

TEST(LayoutTable, SkinPicturesBySizeClass) {
  EXPECT_STREQ(BackgroundPicture(0), "BMP\\N_VGA_BG.bmp");
  EXPECT_STREQ(BackgroundPicture(4), "BMP\\N_QVGA_BG.bmp");
  EXPECT_STREQ(BackgroundOpenPicture(5), "BMP\\P_QVGA_BG_EX.bmp");
  EXPECT_STREQ(StatusBarPicture(2), "BMP\\VGA_Status_Bar.bmp");
  EXPECT_STREQ(StatusBarPicture(3), "BMP\\StatusBar.bmp");
  EXPECT_STREQ(CameraToolFamily(5), "P_QVGA");
}

TEST(AccessModes, UserLevelsAndTheirButtons) {
  struct Case {
    std::uint16_t level;
    std::uint8_t mode;
    bool config, resolution, snapshot, cameraTool, power;
  };
  const Case cases[] = {{30, 0, true, true, true, true, true},   {20, 1, false, true, true, true, false},
                        {0, 2, false, false, false, false, false}, {10, 3, false, false, true, true, false},
                        {7, 3, false, false, true, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    EXPECT_EQ(AccessModeFromUserLevel(c.level), c.mode);
    const AccessModeEntry& row = AccessRowOf(c.mode);
    EXPECT_EQ(AccessAllows(row, 1006), c.config);
    EXPECT_EQ(AccessAllows(row, 1007), c.resolution);
    EXPECT_EQ(AccessAllows(row, 1004), c.snapshot);
    EXPECT_EQ(AccessAllows(row, 8192), c.cameraTool);
    EXPECT_EQ(AccessAllows(row, 8311), c.power);
    EXPECT_TRUE(AccessAllows(row, 1002));
    EXPECT_FALSE(AccessAllows(row, 4242));
  }
}

// ---- resolution modes ------------------------------------------------------------------------

TEST(ResolutionModes, InitialModeFromSettingAndVideoMode) {
  struct Case {
    LayoutFamily family;
    std::uint8_t video;
    int resolution;
    std::optional<ModeChoice> expect;
  };
  const Case cases[] = {
      {LayoutFamily::K47, 1, 0, ModeChoice{0, 12}}, {LayoutFamily::K47, 0, 2, ModeChoice{4, 13}},
      {LayoutFamily::K40, 0, 1, ModeChoice{1, 7}},  {LayoutFamily::K40, 1, 2, ModeChoice{5, 9}},
      {LayoutFamily::K41, 0, 2, ModeChoice{4, 1}},  {LayoutFamily::K41, 1, 0, ModeChoice{2, 2}},
      {LayoutFamily::K41, 2, 0, std::nullopt},      {LayoutFamily::K41, 0, 3, std::nullopt},
      {LayoutFamily::None, 0, 0, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(InitialModeFor(c.family, c.video, c.resolution), c.expect);
}

TEST(ResolutionModes, PictureSizeToMode) {
  struct Case {
    LayoutFamily family;
    std::uint16_t w, h;
    std::optional<ModeChoice> expect;
  };
  const Case cases[] = {
      {LayoutFamily::K41, 640, 228, ModeChoice{0, 0}}, {LayoutFamily::K41, 640, 240, ModeChoice{2, 2}},
      {LayoutFamily::K41, 320, 228, ModeChoice{1, 1}}, {LayoutFamily::K41, 320, 240, ModeChoice{3, 3}},
      {LayoutFamily::K41, 704, 576, std::nullopt},     {LayoutFamily::K40, 704, 576, ModeChoice{2, 8}},
      {LayoutFamily::K40, 352, 288, ModeChoice{3, 9}}, {LayoutFamily::K40, 704, 240, ModeChoice{0, 6}},
      {LayoutFamily::K47, 160, 120, ModeChoice{4, -1}}, {LayoutFamily::K47, 640, 480, ModeChoice{0, 12}},
      {LayoutFamily::K47, 320, 240, ModeChoice{1, 13}}, {LayoutFamily::K47, 352, 240, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ModeForPicture(c.family, c.w, c.h), c.expect) << c.w << "x" << c.h;
}

// ---- display steps ---------------------------------------------------------------------------

// A bottom-up picture whose row r (in memory) has blue = r, green = column, red = 7.
std::vector<std::uint8_t> Picture(int w, int h) {
  std::vector<std::uint8_t> p(std::size_t(w) * h * 3);
  for (int r = 0; r < h; ++r) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* px = &p[(std::size_t(r) * w + x) * 3];
      px[0] = static_cast<std::uint8_t>(r);
      px[1] = static_cast<std::uint8_t>(x);
      px[2] = 7;
    }
  }
  return p;
}

TEST(DisplayPath, DoublingRefusesADestinationTooSmallAndDoublesRows) {
  const int w = 640, h = 240;
  const auto src = Picture(w, h);
  std::vector<std::uint8_t> dst(std::size_t(w) * h * 6, 0xEE);
  EXPECT_FALSE(DoubleLines(src.data(), w, h, dst.data(), dst.size() - 1));
  EXPECT_EQ(dst[0], 0xEE);
  ASSERT_TRUE(DoubleLines(src.data(), w, h, dst.data(), dst.size()));
  // Even destination rows are the source rows; odd ones lie between their neighbours.
  for (int r : {0, 10, 100, 238}) {
    const std::uint8_t* even = &dst[std::size_t(2 * r) * w * 3 + 5 * 3];
    const std::uint8_t* odd = &dst[std::size_t(2 * r + 1) * w * 3 + 5 * 3];
    EXPECT_EQ(even[0], r);
    EXPECT_EQ(even[1], 5);
    EXPECT_GE(odd[0], r);
    EXPECT_LE(odd[0], r + 1);
  }
  EXPECT_FALSE(DoubleLines(nullptr, w, h, dst.data(), dst.size()));
  EXPECT_FALSE(DoubleLines(src.data(), 0, h, dst.data(), dst.size()));
}

TEST(DisplayPath, PutBgrBottomUpFlipsAndClips) {
  const auto src = Picture(10, 4);
  QImage img(8, 3, QImage::Format_RGB32);
  img.fill(Qt::white);
  PutBgrBottomUp(img, 2, 1, src.data(), 10, 4, 30);
  // Image row 1 is the picture's top row = memory row 3.
  EXPECT_EQ(QColor(img.pixel(2, 1)), QColor(7, 0, 3));
  EXPECT_EQ(QColor(img.pixel(7, 2)), QColor(7, 5, 2));
  EXPECT_EQ(QColor(img.pixel(1, 1)), QColor(Qt::white));
  EXPECT_EQ(QColor(img.pixel(2, 0)), QColor(Qt::white));
  PutBgrBottomUp(img, -3, -1, src.data(), 10, 4, 30);
  EXPECT_EQ(QColor(img.pixel(0, 0)), QColor(7, 3, 2));
  PutBgrBottomUp(img, 100, 100, src.data(), 10, 4, 30);  // wholly outside: nothing
}

TEST(DisplayPath, FullScreenRowsArePaddedAlikeForScalingAndDrawing) {
  // 1366 x 3 = 4098 bytes is not a multiple of 4: rows are 4100 bytes both ways, no skew.
  EXPECT_EQ(ScreenRowStep(1366), 4100);
  EXPECT_EQ(ScreenRowStep(1920), 5760);
  const int sw = 1366, sh = 8;
  const auto src = Picture(4, 2);
  std::vector<std::uint8_t> screen(ScreenBufferSize(sw, sh));
  EXPECT_FALSE(ScaleToScreen(src.data(), 4, 2, screen.data(), screen.size() - 1, sw, sh));
  ASSERT_TRUE(ScaleToScreen(src.data(), 4, 2, screen.data(), screen.size(), sw, sh));
  QImage img(sw, sh, QImage::Format_RGB32);
  PutBgrBottomUp(img, 0, 0, screen.data(), sw, sh, ScreenRowStep(sw));
  for (int y = 0; y < sh; ++y) {
    const int memoryRow = (sh - 1 - y) * 2 / sh;  // nearest source row
    EXPECT_EQ(QColor(img.pixel(0, y)), QColor(7, 0, memoryRow)) << y;
    EXPECT_EQ(QColor(img.pixel(sw - 1, y)), QColor(7, 3, memoryRow)) << y;
  }
}

// Line doubling and full screen give the same bytes through every build of the resize primitive.
TEST(DisplayPath, EveryResizeBuildGivesTheSameSurface) {
  const int w = 352, h = 240, sw = 1366, sh = 768;
  std::vector<std::uint8_t> src(std::size_t(w) * h * 3);
  std::uint32_t x = 12345;
  for (auto& v : src) {
    x = x * 1664525u + 1013904223u;
    v = static_cast<std::uint8_t>(x >> 24);
  }
  auto run = [&](int index) {
    const int saved = scaling::CpuVariantIndex;
    scaling::CpuVariantIndex = index;
    std::vector<std::uint8_t> doubled(std::size_t(w) * h * 6, 0);
    std::vector<std::uint8_t> screen(ScreenBufferSize(sw, sh), 0);
    const bool ok = DoubleLines(src.data(), w, h, doubled.data(), doubled.size()) &&
                    ScaleToScreen(src.data(), w, h, screen.data(), screen.size(), sw, sh);
    scaling::CpuVariantIndex = saved;
    EXPECT_TRUE(ok) << index;
    doubled.insert(doubled.end(), screen.begin(), screen.end());
    return doubled;
  };
  const auto want = run(scaling::kCpuVariantGeneric);
  for (int index = 0; index < scaling::kCpuVariantCount; ++index) {
    if (!scaling::CpuVariantTable[index]) continue;
    EXPECT_TRUE(run(index) == want) << "build in slot " << index;
  }
}

TEST(DisplayPath, StatisticsFigures) {
  struct Case {
    std::uint32_t frames, bytes, elapsed;
    const char* fr;
    const char* dr;
  };
  const Case cases[] = {
      {25, 250000, 2000, "FR:12.50 fps ", "DR:976 kbps "},
      {0, 0, 2000, "FR:0.00 fps ", "DR:0 kbps "},
      {50, 5000000, 2000, "FR:25.00 fps ", "DR:19531 kbps "},  // beyond 4,294,967 bytes
      {1, 1, 4294967295u, "FR:-0.00 fps ", "DR:0 kbps "},
  };
  for (const Case& c : cases) {
    const StatFigures f = ComputeStatFigures(c.frames, c.bytes, c.elapsed);
    if (c.elapsed < 0x80000000u) {
      EXPECT_EQ(FrameRateText(f.frameRate), c.fr);
    }
    EXPECT_EQ(DataRateText(f.kbps), c.dr);
  }
}

TEST(DisplayPath, AlarmChannelIsTheLowestSetBit) {
  EXPECT_EQ(AlarmChannelText(0), "");
  EXPECT_EQ(AlarmChannelText(0x0001), "1");
  EXPECT_EQ(AlarmChannelText(0x0006), "2");
  EXPECT_EQ(AlarmChannelText(0x8000), "16");
}

}  // namespace
