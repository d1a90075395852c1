#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "engine/AppRecord.h"
#include "core/Model.h"

namespace {

TEST(Firmware, CompareVersionString) {
  struct Case {
    const char* threshold;
    const char* version;
    int expected;
  };
  const Case cases[] = {
      {"1046", "1045", 2}, {"1046", "1046", 0}, {"1046", "1047", 1}, {"1046", "104", -1},
      {"0003", "1024", 1}, {"1010", "0999", 2}, {"0999", "1010", 1}, {"1046", "104A", 1},
      {"104A", "1046", 2}, {"1046", "", -1},    {"1046", "10460", -1}, {"", "", -1},
      // Characters compare as signed bytes: a byte above 0x7F is below every digit.
      {"1046", "104\xC0", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareVersionString(c.threshold, c.version), c.expected) << c.threshold << " vs " << c.version;
  }
  EXPECT_TRUE(IsFirmwareBelow("1046", "1045"));
  EXPECT_FALSE(IsFirmwareBelow("1046", ""));  // an unknown version counts as new enough
}

TEST(Model, FamiliesAndPredicates) {
  struct Case {
    const char* code;
    ModelFamily family;
    bool k41, k40, k47, k44, videoServer;
  };
  const Case cases[] = {
      {"K41R", ModelFamily::DVR, true, false, false, false, false},
      {"K42R", ModelFamily::DVR, true, false, false, false, false},
      {"K43R", ModelFamily::DVR, true, false, false, false, false},
      {"K40R", ModelFamily::VS, false, true, false, false, true},
      {"K47R", ModelFamily::K47, false, false, true, false, true},
      {"K44R", ModelFamily::K44, false, false, false, true, true},
      {"K45R", ModelFamily::K44, false, false, false, true, true},
      {"K46R", ModelFamily::K44, false, false, false, true, true},
      {"K48R", ModelFamily::None, false, false, false, false, false},
      {"k41r", ModelFamily::None, false, false, false, false, false},
      {"K41R ", ModelFamily::None, false, false, false, false, false},
      {"", ModelFamily::None, false, false, false, false, false},
  };
  AppRecord rec;
  g_lpApp = &rec;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(GetModelFamily(c.code), c.family);
    EXPECT_EQ(IsVideoServerFamily(c.code), c.videoServer);
    rec.strProductID = c.code;
    EXPECT_EQ(IsModelFamilyK41(), c.k41);
    EXPECT_EQ(IsModelK40R(), c.k40);
    EXPECT_EQ(IsModelK47R(), c.k47);
    EXPECT_EQ(IsModelFamilyK44(), c.k44);
  }
  rec.by_MultiChannel = 1;
  EXPECT_EQ(IsMultiChannel(), 1);
  rec.dw_FeatureFlags = 0x1;
  EXPECT_EQ(HasCapability(CAP_HOT_POINT), 0);
  EXPECT_EQ(HasCapability(CAP_REPORTS_RETR | CAP_HOT_POINT), 1);
  g_lpApp = nullptr;
  EXPECT_FALSE(IsModelK40R());
  EXPECT_EQ(HasCapability(0xFFFFFFFFu), 0);
}

TEST(Model, PeripheralCodeTable) {
  EXPECT_EQ(ValueToIndex11(25), 10);
  EXPECT_EQ(ValueToIndex11(0), 0);
  EXPECT_EQ(ValueToIndex11(9), 9);
  EXPECT_EQ(ValueToIndex11(24), 0);
  EXPECT_EQ(IndexToValue11(10), 25);
  EXPECT_EQ(IndexToValue11(11), 0);
  EXPECT_EQ(IndexToValue11(255), 0);
}

TEST(StringHelpers, FilterDigits) {
  std::string t = "12a-3 4";
  EXPECT_EQ(FilterDigits(t, 1), 1);
  EXPECT_EQ(t, "1234");
  std::string empty;
  EXPECT_EQ(FilterDigits(empty, 1), 1);
  std::string longText(300, 'x');
  EXPECT_EQ(FilterDigits(longText, 1), 0);
  EXPECT_EQ(longText, std::string(300, 'x'));
  std::string edge(256, '7');
  EXPECT_EQ(FilterDigits(edge, 1), 0);
}

TEST(StringHelpers, SplitResourceString) {
  char a[kSplitPartSize], b[kSplitPartSize];
  EXPECT_EQ(SplitResourceString(8310, a, b), 1);
  EXPECT_STREQ(a, "TURBO_ON");
  EXPECT_STREQ(b, "TURBO_OFF");
  EXPECT_EQ(SplitResourceString(8331, a, b), 1);
  EXPECT_STREQ(a, "R.E.T.R.(Enable)");
  EXPECT_STREQ(b, "R.E.T.R.(Disable)");
  // No "$": the whole text is the first part.
  EXPECT_EQ(SplitResourceString(8311, a, b), 1);
  EXPECT_STREQ(a, "Power");
  EXPECT_STREQ(b, "");
  // A part that does not fit 50 bytes is refused and nothing is left in the buffers.
  std::memset(a, 'z', sizeof a);
  EXPECT_EQ(SplitResourceString(4101, a, b), 0);
  EXPECT_EQ(a[0], 0);
  EXPECT_EQ(a[kSplitPartSize - 1], 0);
  EXPECT_EQ(b[0], 0);
  // Unknown id: two empty parts.
  EXPECT_EQ(SplitResourceString(1, a, b), 1);
  EXPECT_STREQ(a, "");
  std::string first, second;
  SplitResourceString(4101, first, second);
  EXPECT_GT(first.size(), kSplitPartSize);
}

TEST(StringHelpers, HexTextToBytes) {
  std::uint8_t out[6] = {};
  std::size_t n = 0;
  EXPECT_EQ(HexTextToBytes("00:1a:2B:3c:4D:5e", out, sizeof out, ':', &n), 1);
  EXPECT_EQ(n, 6u);
  const std::uint8_t expected[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  EXPECT_EQ(std::memcmp(out, expected, 6), 0);

  // Odd last digit ignored.
  std::uint8_t two[2] = {0xEE, 0xEE};
  EXPECT_EQ(HexTextToBytes("ABC", two, sizeof two, ':', &n), 1);
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(two[0], 0xAB);
  EXPECT_EQ(two[1], 0xEE);

  // Over-long text and bad digits are refused without writing.
  std::array<std::uint8_t, 8> guard;
  guard.fill(0x55);
  EXPECT_EQ(HexTextToBytes("00:11:22:33:44:55:66", guard.data(), 6, ':'), 0);
  EXPECT_EQ(guard[0], 0x55);
  EXPECT_EQ(guard[6], 0x55);
  EXPECT_EQ(HexTextToBytes("00:1g", guard.data(), 6, ':'), 0);
  EXPECT_EQ(guard[0], 0x55);
  EXPECT_EQ(HexTextToBytes("", nullptr, 0, ':'), 1);
}

TEST(StringHelpers, MacTextToBytes) {
  std::uint8_t out[6];
  EXPECT_EQ(MacTextToBytes("001a2b3c4d5e", out), 1);
  const std::uint8_t expected[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  EXPECT_EQ(std::memcmp(out, expected, 6), 0);
  for (const char* bad : {"001a2b3c4d5g", "001a2b3c4d5", "001a2b3c4d5e0", "", "00:1a:2b:3c:4"}) {
    EXPECT_EQ(MacTextToBytes(bad, out), 0) << bad;
  }
  EXPECT_EQ(MacTextToBytes("001a2b3c4d5e", nullptr), 0);
}

TEST(StringHelpers, SplitToInts) {
  struct Case {
    const char* text;
    const char* delims;
    int result;
    std::array<std::uint8_t, 4> bytes;
  };
  const Case cases[] = {
      {"192.168.1.10", ".", 1, {192, 168, 1, 10}},
      {"10.0.0.300", ".", 1, {10, 0, 0, 44}},
      {"", ".", 0, {0, 0, 0, 0}},
      {"...", ".", 0, {0, 0, 0, 0}},
      {".1..2.", ".", 1, {1, 2, 0, 0}},
      {"1.2.3.4.5.6", ".", 1, {1, 2, 3, 4}},
      {"a.7b.x9", ".", 1, {0, 7, 0, 0}},
      {"1-2 3", "- ", 1, {1, 2, 3, 0}},
  };
  for (const Case& c : cases) {
    std::array<std::uint8_t, 6> out;
    out.fill(0xAA);
    EXPECT_EQ(SplitToInts(c.text, out.data(), 4, c.delims), c.result) << c.text;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], c.bytes[i]) << c.text << " byte " << i;
    EXPECT_EQ(out[4], 0xAA);  // never past the count
  }
  // A huge number keeps its value modulo 256 (no overflow): 10^20 - 1 = ...99 mod 256.
  std::uint8_t big[1];
  EXPECT_EQ(SplitToInts("99999999999999999999", big, 1, "."), 1);
  unsigned expect = 0;
  for (int i = 0; i < 20; ++i) expect = (expect * 10 + 9) % 256;
  EXPECT_EQ(big[0], expect);
}

TEST(StringHelpers, FormatTwoDigitsAndJpegStart) {
  EXPECT_EQ(FormatTwoDigits(2007), "07");
  EXPECT_EQ(FormatTwoDigits(5), "05");
  EXPECT_EQ(FormatTwoDigits(12), "12");
  EXPECT_EQ(FormatTwoDigits(100), "00");
  EXPECT_EQ(FormatTwoDigits(-3), "97");

  const std::uint8_t dqt[] = {0xFF, 0xD8, 0xFF, 0xDB, 0x00};
  const std::uint8_t app0[] = {0xFF, 0xD8, 0xFF, 0xE0};
  EXPECT_TRUE(IsJpegWithDqt(dqt, sizeof dqt));
  EXPECT_FALSE(IsJpegWithDqt(app0, sizeof app0));
  EXPECT_FALSE(IsJpegWithDqt(dqt, 3));
  EXPECT_FALSE(IsJpegWithDqt(nullptr, 4));
}

}  // namespace
