// The generated skin beside the program: every picture of the table exists at the size its
// window draws it, as a 24-bit bottom-up bitmap with a colour of its own; and the alarm sound.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "data/skin/Skin.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "ui/Surface.h"

namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint32_t v = 0;
  EXPECT_TRUE(plat::ByteReader(b.data(), b.size()).U32At(at, v)) << at;
  return v;
}

TEST(Skin, EveryPictureOfTheTableIsDrawnAtItsSizeAsA24BitBitmap) {
  std::set<std::uint32_t> colours;
  std::set<std::string> paths;
  for (const skin::Entry& e : skin::kEntries) {
    if (!e.path) continue;
    SCOPED_TRACE(e.name);
    EXPECT_TRUE(paths.insert(e.path).second);  // one picture per file
    if (std::string(e.name).rfind("LOGIN_", 0) == 0) {
      EXPECT_TRUE(colours.insert(e.rgb).second);  // each with a colour of its own
    }
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(plat::ReadWholeFile(plat::MapPath(e.path), bytes));
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(Le32(bytes, 2), bytes.size());
    EXPECT_EQ(static_cast<std::int32_t>(Le32(bytes, 18)), e.width);
    EXPECT_EQ(static_cast<std::int32_t>(Le32(bytes, 22)), e.height);  // positive: bottom-up
    EXPECT_EQ(bytes[28], 24);
    const std::size_t row = (static_cast<std::size_t>(e.width) * 3 + 3) & ~std::size_t(3);
    EXPECT_EQ(bytes.size(), 54 + row * static_cast<std::size_t>(e.height));
    ui::Bitmap picture(e.path);
    ASSERT_FALSE(picture.IsNull());
    EXPECT_EQ(picture.Width(), e.width);
    EXPECT_EQ(picture.Height(), e.height);
  }
  EXPECT_GE(paths.size(), 47u);  // at least the login window's pictures
}

TEST(Skin, TheDefaultAlarmSoundIsPcmWave) {
  std::vector<std::uint8_t> b;
  ASSERT_TRUE(plat::ReadWholeFile(plat::MapPath("alarm.wav"), b));
  ASSERT_GE(b.size(), 44u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(Le32(b, 4), b.size() - 8);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(b[20] | b[21] << 8, 1);   // PCM
  EXPECT_EQ(b[34] | b[35] << 8, 16);  // bits per sample
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  EXPECT_EQ(Le32(b, 40), b.size() - 44);
  EXPECT_GT(Le32(b, 40), 1000u);
}

}  // namespace
