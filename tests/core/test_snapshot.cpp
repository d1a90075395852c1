#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "core/Snapshot.h"
#include "platform/files.h"
#include "platform/jpeg.h"

namespace {

plat::LocalTime At(int y, int mo, int d, int h, int mi, int s) {
  plat::LocalTime t{};
  t.year = y;
  t.month = mo;
  t.day = d;
  t.hour = h;
  t.minute = mi;
  t.second = s;
  return t;
}

// A bottom-up BGR picture: the first row in memory (the bottom) red, the last (the top)
// blue, the rest green.
std::vector<std::uint8_t> Picture(int w, int h) {
  std::vector<std::uint8_t> p(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* px = &p[(static_cast<std::size_t>(y) * w + x) * 3];
      px[0] = y >= h - 8 ? 255 : 0;          // blue at the top
      px[1] = y >= 8 && y < h - 8 ? 255 : 0;  // green between
      px[2] = y < 8 ? 255 : 0;                // red at the bottom
    }
  }
  return p;
}

TEST(Snapshot, FileNameFromLocalTime) {
  EXPECT_EQ(SnapshotFileName(At(2007, 1, 17, 9, 5, 3)), "070117T090503");
  EXPECT_EQ(SnapshotFileName(At(2026, 12, 31, 23, 59, 59)), "261231T235959");
}

TEST(Snapshot, SavesJpegWithRowsInOrderAndKeepsEarlierShots) {
  TempDir dir;
  std::string folder = dir.Folder();
  folder.pop_back();  // no separator: the call adds one to the caller's text
  // An odd width: each row is 3 * 37 = 111 bytes, not a multiple of 4.
  const int w = 37, h = 32;
  const auto pic = Picture(w, h);
  const auto t = At(2007, 1, 17, 9, 5, 3);

  std::string first, second, third;
  ASSERT_EQ(SaveSnapshotFileAt(folder, pic.data(), w, h, kSnapshotFormatJpeg, t, &first), 1);
  EXPECT_EQ(folder, dir.Folder());
  EXPECT_EQ(first, dir.Folder() + "070117T090503.jpg");
  ASSERT_EQ(SaveSnapshotFileAt(folder, pic.data(), w, h, kSnapshotFormatJpeg, t, &second), 1);
  EXPECT_EQ(second, dir.Folder() + "070117T090503_1.jpg");
  ASSERT_EQ(SaveSnapshotFileAt(folder, pic.data(), w, h, kSnapshotFormatJpeg, t, &third), 1);
  EXPECT_EQ(third, dir.Folder() + "070117T090503_2.jpg");

  std::vector<std::uint8_t> jpeg;
  ASSERT_TRUE(plat::ReadWholeFile(first, jpeg));
  int dw = 0, dh = 0;
  ASSERT_TRUE(plat::JpegReadSize(jpeg.data(), jpeg.size(), dw, dh));
  EXPECT_EQ(dw, w);
  EXPECT_EQ(dh, h);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * h * 3);
  ASSERT_TRUE(plat::JpegDecodeBgrBottomUp(jpeg.data(), jpeg.size(), out.data(), out.size(), dw, dh));
  auto at = [&](int x, int y, int c) { return static_cast<int>(out[(static_cast<std::size_t>(y) * w + x) * 3 + c]); };
  for (int x : {0, w / 2, w - 1}) {
    // Bottom row (first in memory) red, top row blue, the middle green: no row is flipped
    // or sheared by row padding.
    EXPECT_GT(at(x, 2, 2), 200);
    EXPECT_LT(at(x, 2, 0), 60);
    EXPECT_GT(at(x, h - 3, 0), 200);
    EXPECT_LT(at(x, h - 3, 2), 60);
    EXPECT_GT(at(x, h / 2, 1), 200);
    EXPECT_LT(at(x, h / 2, 0), 60);
  }
}

TEST(Snapshot, FailuresWriteNothing) {
  TempDir dir;
  const auto pic = Picture(16, 16);
  const auto t = At(2020, 2, 3, 4, 5, 6);
  struct Case {
    std::string folder;
    const std::uint8_t* picture;
    int w, h, format;
  };
  const Case cases[] = {
      {dir.Folder() + "no/such/folder", pic.data(), 16, 16, kSnapshotFormatJpeg},
      {dir.Folder(), nullptr, 16, 16, kSnapshotFormatJpeg},
      {dir.Folder(), pic.data(), 0, 16, kSnapshotFormatJpeg},
      {dir.Folder(), pic.data(), 16, -1, kSnapshotFormatJpeg},
      {dir.Folder(), pic.data(), 16, 16, 0},       // no bitmap snapshots
      {dir.Folder(), pic.data(), 4096, 4096, 1},  // larger than any decoded picture
  };
  for (const Case& c : cases) {
    std::string folder = c.folder;
    EXPECT_EQ(SaveSnapshotFileAt(folder, c.picture, c.w, c.h, c.format, t), 0) << c.folder << " " << c.w;
  }
  EXPECT_FALSE(plat::FileExists(dir.Folder() + "200203T040506.jpg"));
}

TEST(Snapshot, SharedFolderGetsItsSeparator) {
  TempDir dir;
  std::string path = dir.Folder();
  path.pop_back();
  SharedString folder(path);
  const auto pic = Picture(8, 16);
  std::string saved;
  ASSERT_EQ(SaveSnapshotFile(folder, pic.data(), 8, 16, kSnapshotFormatJpeg, &saved), 1);
  EXPECT_EQ(folder.Get(), dir.Folder());
  EXPECT_TRUE(plat::FileExists(saved));
}

}  // namespace
