// The frame-header reader: both formats, field order, lengths, bounds.
#include <gtest/gtest.h>

#include <string>

#include "session/RtpHeader.h"
#include "test_stream_wire.h"

namespace {

FrameHeaderFields MustScan(const std::vector<std::uint8_t>& b, bool v1, bool k47 = false) {
  FrameHeaderFields f;
  EXPECT_EQ(ScanFrameHeader(b.data(), b.size(), v1, k47, f), HeaderScan::Complete);
  return f;
}

TEST(FrameHeaderScan, V1MinimalIsEightBytes) {
  wire::Hdr h;
  h.length = 0x1234;
  h.channel = 5;
  h.onlineCount = 3;
  auto b = wire::V1(h);
  ASSERT_EQ(b.size(), kV1FixedSize);
  auto f = MustScan(b, true);
  EXPECT_EQ(f.headerLength, 8u);
  EXPECT_EQ(f.hdr.dwFrameLength, 0x1234u);
  EXPECT_EQ(f.hdr.byChannel, 5);
  EXPECT_EQ(f.onlineCount, 3);
  EXPECT_FALSE(f.hasAlarm || f.hasMotion || f.hasThird || f.hasDateTime);
}

TEST(FrameHeaderScan, V1EveryFieldInOrder) {
  wire::Hdr h;
  h.length = 900;
  h.channel = 2;
  h.hasMotion = true, h.motion = 0x0024;
  h.hasAlarm = true, h.alarm = 0x0101;
  h.hasThird = true, h.third = 0x8000;
  h.hasTime = true, h.timeWire = 200;
  h.hasDateTime = true, h.dateTime = 476227011;
  h.hasOnlineText = true;
  std::memcpy(h.onlineText, "3 users online!!", 16);
  h.v1Byte1 = true;
  h.hasPictureSize = true, h.pictureSize = 1;
  h.hasPanel = true, h.panel = 7;
  h.noImage = true;
  h.backupNotice = true;
  h.hasSensor = true, h.sensor = 0xC3;
  h.channel16 = true;
  auto b = wire::V1(h);
  ASSERT_EQ(b.size(), kV1MaxHeaderSize);
  auto f = MustScan(b, true);
  EXPECT_EQ(f.headerLength, kV1MaxHeaderSize);
  EXPECT_EQ(f.hdr.dwFrameLength, 900u);
  EXPECT_EQ(f.hdr.wMotionDetect, 0x0024);
  EXPECT_EQ(f.hdr.wAlarm, 0x0101);
  EXPECT_EQ(f.hdr.wThirdAlarm, 0x8000);
  EXPECT_EQ(f.hdr.dwTimeMs, 1000u);
  EXPECT_EQ(f.hdr.stRecorderTime.wYear, 2007);
  EXPECT_EQ(std::string(f.onlineText, 16), "3 users online!!");
  EXPECT_EQ(f.hdr.byPictureSize, 1);
  EXPECT_TRUE(f.hasPanelMode);
  EXPECT_EQ(f.panelMode, 7);
  EXPECT_EQ(f.hdr.byNoImage, 1);
  EXPECT_TRUE(f.backupNotice);
  EXPECT_TRUE(f.hasSensor);
  EXPECT_EQ(f.sensorState, 0xC3);
  EXPECT_EQ(f.hdr.byChannel, 16);
}

TEST(FrameHeaderScan, V1ExtensionWithoutMarkEndsBeforeIt) {
  wire::Hdr h;
  h.hasAlarm = true;
  h.extBadMark = true;
  auto b = wire::V1(h);  // 8 + 2 + the stray byte
  auto f = MustScan(b, true);
  EXPECT_EQ(f.headerLength, 10u);
}

TEST(FrameHeaderScan, V1WrongVersionIsBad) {
  wire::Hdr h;
  h.version = 2;
  auto b = wire::V1(h);
  FrameHeaderFields f;
  EXPECT_EQ(ScanFrameHeader(b.data(), b.size(), true, false, f), HeaderScan::Bad);
  EXPECT_EQ(f.headerLength, 0u);
}

TEST(FrameHeaderScan, TimeConversion) {
  struct Case {
    bool v1;
    std::uint32_t wire;
    std::uint32_t ms;
  } cases[] = {
      {true, 0x33333333u, 0},
      {true, 0xFFFFFFFFu, 0},
      {true, 858993458u, 4294967290u},
      {true, 8, 40},
      {false, 1073741824u, 1073741824u},  // 5x wraps modulo 2^32
      {false, 0x33333333u, 0xFFFFFFFFu},
  };
  for (const auto& c : cases) {
    wire::Hdr h;
    h.hasTime = true;
    h.timeWire = c.wire;
    auto f = MustScan(c.v1 ? wire::V1(h) : wire::V0(h), c.v1);
    EXPECT_EQ(f.hdr.dwTimeMs, c.ms) << c.v1 << " " << c.wire;
  }
}

TEST(FrameHeaderScan, PackedDateTime) {
  DvrDateTime t = DecodePackedDateTime(476227011u);
  EXPECT_EQ(t.wYear, 2007);
  EXPECT_EQ(t.wMonth, 1);
  EXPECT_EQ(t.wDay, 17);
  EXPECT_EQ(t.wHour, 10);
  EXPECT_EQ(t.wMinute, 23);
  EXPECT_EQ(t.wSecond, 3);
  EXPECT_EQ(t.wDayOfWeek, 0);
  EXPECT_EQ(t.wMilliseconds, 0);
  t = DecodePackedDateTime(0xFFFFFFFFu);
  EXPECT_EQ(t.wYear, 2063);
  EXPECT_EQ(t.wMonth, 15);
  EXPECT_EQ(t.wSecond, 63);
}

TEST(FrameHeaderScan, V0ZeroFlagsIsFourBytesWithoutPicture) {
  const std::vector<std::uint8_t> b = {0, 0, 0, 0, 0xAA};
  auto f = MustScan(b, false);
  EXPECT_EQ(f.headerLength, 4u);
  EXPECT_EQ(f.hdr.dwFrameLength, 0u);
}

TEST(FrameHeaderScan, V0EveryFieldInOrder) {
  wire::Hdr h;
  h.length = 70000;
  h.hasOnlineText = true;
  std::memcpy(h.onlineText, "admin 1.2.3.4\0\0\0", 16);
  h.hasPanel = true, h.panel = 1;
  h.hasPictureSize = true, h.pictureSize = 0;
  h.v0Byte10 = true;
  h.hasTime = true, h.timeWire = 7;
  h.hasOnlineCount = true, h.onlineCount = 4;
  h.hasAlarm = true, h.alarm = 1;
  h.hasMotion = true, h.motion = 2;
  h.hasThird = true, h.third = 3;
  h.backupNotice = true;
  h.hasChannel = true, h.channel = 9;
  h.noImage = true;
  h.hasDateTime = true, h.dateTime = 476227011;
  auto b = wire::V0(h);
  ASSERT_EQ(b.size(), kV0MaxHeaderSize);
  auto f = MustScan(b, false);
  EXPECT_EQ(f.headerLength, kV0MaxHeaderSize);
  EXPECT_EQ(f.hdr.dwFrameLength, 70000u);
  EXPECT_EQ(f.panelMode, 1);
  EXPECT_EQ(f.hdr.dwTimeMs, 35u);
  EXPECT_EQ(f.onlineCount, 4);
  EXPECT_EQ(f.hdr.wAlarm, 1);
  EXPECT_EQ(f.hdr.wMotionDetect, 2);
  EXPECT_EQ(f.hdr.wThirdAlarm, 3);
  EXPECT_TRUE(f.backupNotice);
  EXPECT_EQ(f.hdr.byChannel, 9);
  EXPECT_EQ(f.hdr.byNoImage, 1);
  EXPECT_EQ(f.hdr.stRecorderTime.wDay, 17);
}

TEST(FrameHeaderScan, LengthCountingTheHeader) {
  wire::Hdr h;
  h.length = 5000;
  h.hasMotion = h.hasAlarm = h.hasThird = true;
  h.hasTime = true;
  h.hasDateTime = true;  // 8 + 6 + 8 = 22 bytes
  auto b = wire::V1(h);
  auto f = MustScan(b, true, true);
  EXPECT_EQ(f.headerLength, 22u);
  EXPECT_EQ(f.hdr.dwFrameLength, 4978u);
  f = MustScan(b, true, false);
  EXPECT_EQ(f.hdr.dwFrameLength, 5000u);
  // A length shorter than the header would wrap: not a header.
  h.length = 21;
  b = wire::V1(h);
  EXPECT_EQ(ScanFrameHeader(b.data(), b.size(), true, true, f), HeaderScan::Bad);
}

// Every proper prefix of a header needs more bytes; the reader never looks past the length.
TEST(FrameHeaderScan, EveryPrefixNeedsMore) {
  wire::Hdr full;
  full.hasMotion = full.hasAlarm = full.hasThird = full.hasTime = full.hasDateTime = true;
  full.hasOnlineText = full.v1Byte1 = full.hasPictureSize = full.hasPanel = full.hasSensor = true;
  full.hasChannel = full.hasOnlineCount = full.v0Byte10 = true;
  wire::Hdr small;
  small.hasAlarm = true;
  for (bool v1 : {true, false}) {
    for (const wire::Hdr* h : {&full, &small}) {
      const auto b = v1 ? wire::V1(*h) : wire::V0(*h);
      for (std::size_t n = 0; n < b.size(); ++n) {
        // Copy into an exact-size heap block so a read past n is caught by the sanitizer.
        std::vector<std::uint8_t> part(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
        FrameHeaderFields f;
        EXPECT_EQ(ScanFrameHeader(part.empty() ? nullptr : part.data(), n, v1, false, f),
                  HeaderScan::NeedMore)
            << "v1=" << v1 << " n=" << n;
      }
      FrameHeaderFields f;
      EXPECT_EQ(ScanFrameHeader(b.data(), b.size(), v1, false, f), HeaderScan::Complete);
      EXPECT_EQ(f.headerLength, b.size());
    }
  }
}

}  // namespace
