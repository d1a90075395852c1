// Byte layout of the recording files: header, frame records, index entries, names.
#include <gtest/gtest.h>

#include <vector>

#include "record/OvrFormat.h"
#include "record/RecordFrameRing.h"
#include "record/RecordTypes.h"
#include "tests/support/OvrReader.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

RecordFrameInfo SampleInfo(bool noImage) {
  RecordFrameInfo f;
  f.wWidth = 320;
  f.wHeight = 240;
  f.dwTimeMs = 0x01020304;
  f.byChannel = 2;
  f.dwNoImage = noImage ? 1 : 0;
  return f;
}

TEST(OvrFormat, FrameRecordBytesMatchHandComputedLayout) {
  const std::uint8_t jpeg[3] = {0xFF, 0xD8, 0xAA};
  struct Case {
    bool noImage;
    Bytes expected;
  } cases[] = {
      {false,
       {0xFF, 0x00, 0x00, 0xE0, 0x01, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x40, 0x01, 0xF0, 0x00,
        0x04, 0x03, 0x02, 0x01, 0x02, 0x00, 0x05, 0x51, 0x5A, 0x1D, 0x00, 0xED, 0x03, 0xFF, 0xFF,
        0xFF, 0xD8, 0xAA}},
      {true,
       {0xFF, 0x08, 0x00, 0xE0, 0x01, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x40, 0x01, 0xF0, 0x00,
        0x04, 0x03, 0x02, 0x01, 0x02, 0x00, 0x05, 0x01, 0x51, 0x5A, 0x1E, 0x00, 0xF7, 0x03, 0xFF, 0xFF,
        0xFF, 0xD8, 0xAA}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.noImage ? "no image" : "picture");
    Bytes out(ovr::kMaxRecordSize);
    const std::size_t n = ovr::BuildFrameRecord(1, SampleInfo(c.noImage), jpeg, 3, out.data(), out.size());
    ASSERT_EQ(n, c.expected.size());
    out.resize(n);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(OvrFormat, FrameRecordRefusesWhatDoesNotFit) {
  const std::uint8_t jpeg[8] = {};
  Bytes out(40);
  EXPECT_EQ(ovr::BuildFrameRecord(1, SampleInfo(false), jpeg, 8, out.data(), 38), 0u);  // 39 needed
  EXPECT_EQ(ovr::BuildFrameRecord(1, SampleInfo(false), jpeg, 8, out.data(), 39), 39u);
  EXPECT_EQ(ovr::BuildFrameRecord(1, SampleInfo(true), jpeg, 8, out.data(), 39), 0u);   // 40 needed
  EXPECT_EQ(ovr::BuildFrameRecord(1, SampleInfo(false), nullptr, 8, out.data(), 40), 0u);
  EXPECT_EQ(ovr::BuildFrameRecord(1, SampleInfo(false), jpeg, 0xFFFFFFFFu, out.data(), 40), 0u);
}

TEST(OvrFormat, PreambleBytes) {
  ovr::FileHeader h;
  h.created = RecordTime{2026, 12, 4, 10, 13, 14, 15, 0};
  h.firstTime = 100;
  h.lastTime = 0x11223344;
  h.frameCount = 6000;
  h.SetServerAddress("192.168.1.20");
  h.kind = ovr::kKindAlarm;
  h.SetUserName("operator");
  Bytes p(ovr::kPreambleSize);
  ovr::SerializePreamble(h, p.data());
  const Bytes expected = {
      0x51, 0x5A, 88, 0, 'K', '4', '0', 'R', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0-23
      0xEA, 0x07, 12, 0, 4, 0, 10, 0, 13, 0, 14, 0, 15, 0, 0, 0,                              // 24-39
      100, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0x70, 0x17, 0, 0,                                 // 40-51
      192, 168, 1, 20, 23, 0, 0, 1,                                                           // 52-59
      'o', 'p', 'e', 'r', 'a', 't', 'o', 'r', 0, 0, 0, 0, 0, 0, 0, 0,                         // 60-75
      2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF};                            // 76-89
  EXPECT_EQ(p, expected);
}

TEST(OvrFormat, HeaderTextAndAddressFields) {
  struct {
    const char* user;
    const char* server;
    Bytes userField;
    Bytes ip;
  } cases[] = {
      {"abcdefghijklmnop", "10.0.0.1", Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p'}, Bytes{10, 0, 0, 1}},
      {"abcdefghijklmnopqrst", "recorder.local", Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p'}, Bytes{0, 0, 0, 0}},
      {"", "300.1.1.1", Bytes(16, 0), Bytes{0, 0, 0, 0}},
      {"x", "1.2.3.4x", Bytes{'x', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Bytes{0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.user);
    ovr::FileHeader h;
    h.SetUserName(c.user);
    h.SetServerAddress(c.server);
    Bytes p(ovr::kHeaderSize);
    h.Serialize(p.data());
    EXPECT_EQ(Bytes(p.begin() + 60, p.begin() + 76), c.userField);
    EXPECT_EQ(Bytes(p.begin() + 52, p.begin() + 56), c.ip);
  }
}

TEST(OvrFormat, FrameDescriptorLayout) {
  static_assert(RecordFrameInfo::kSize == 56);
  RecordFrameInfo f;
  f.dwSeq = 0x01020304;
  f.dwLength = 0x0A0B0C0D;
  f.dwMarker = 0xFFFF;
  f.dwMagic = rec::kFrameInfoMagic;
  f.byChannel = 7;
  f.dwNoImage = 1;
  f.stLocalTime = RecordTime{2026, 1, 0, 2, 3, 4, 5, 0};
  f.dwTimeMs = 0x11223344;
  f.wWidth = 640;
  f.wHeight = 480;
  Bytes b(RecordFrameInfo::kSize);
  f.Serialize(b.data());
  EXPECT_EQ(ovrtest::U32(&b[0]), 0x01020304u);
  EXPECT_EQ(ovrtest::U32(&b[4]), 0x0A0B0C0Du);
  EXPECT_EQ(ovrtest::U32(&b[8]), 0xFFFFu);
  EXPECT_EQ(ovrtest::U32(&b[12]), 0x01234567u);
  EXPECT_EQ(b[18], 7);
  EXPECT_EQ(ovrtest::U32(&b[20]), 1u);
  EXPECT_EQ(ovrtest::U16(&b[24]), 2026);
  EXPECT_EQ(ovrtest::U16(&b[36]), 5);  // second
  EXPECT_EQ(ovrtest::U32(&b[48]), 0x11223344u);
  EXPECT_EQ(ovrtest::U16(&b[52]), 640);
  EXPECT_EQ(ovrtest::U16(&b[54]), 480);
  const RecordFrameInfo back = RecordFrameInfo::Parse(b.data());
  EXPECT_EQ(back.dwTimeMs, f.dwTimeMs);
  EXPECT_EQ(back.stLocalTime, f.stLocalTime);
  EXPECT_EQ(back.wHeight, 480);
}

TEST(OvrFormat, FileNames) {
  const RecordTime t{2026, 3, 0, 7, 9, 5, 1, 0};
  struct {
    const char* session;
    const char* stem;
  } cases[] = {
      {"AB12CDEF", "ALARM_MJPEG_260307T090501_AB12"},
      {"a/b\\", "ALARM_MJPEG_260307T090501_a_b_"},
      {"..x", "ALARM_MJPEG_260307T090501___x"},
      {"", "ALARM_MJPEG_260307T090501_"},
  };
  for (const auto& c : cases) EXPECT_EQ(ovr::AlarmFileStem(t, c.session), c.stem) << c.session;
  EXPECT_EQ(ovr::UserFileStem(RecordTime{1999, 12, 0, 31, 23, 59, 58, 0}), "USER_MJPEG_991231T235958_UR");

  struct {
    const char* in;
    const char* out;
  } folders[] = {{"C:\\rec", "C:\\rec\\"}, {"C:\\rec\\", "C:\\rec\\"}, {"/home/u/rec", "/home/u/rec/"},
                 {"/home/u/rec/", "/home/u/rec/"}, {"", ""}};
  for (const auto& f : folders) {
    std::string s = f.in;
    ovr::EnsureTrailingSeparator(s);
    EXPECT_EQ(s, f.out);
  }
}

TEST(OvrFormat, RingSlotsBeforeTheWriteIndex) {
  EXPECT_EQ(CRecordFrameRing::SlotBefore(0, 1), 19u);
  EXPECT_EQ(CRecordFrameRing::SlotBefore(5, 1), 4u);
  EXPECT_EQ(CRecordFrameRing::SlotBefore(5, 20), 5u);
  EXPECT_EQ(CRecordFrameRing::SlotBefore(3, 4), 19u);

  CRecordFrameRing ring;
  ASSERT_EQ(ring.AllocateBuffer(), 1);
  std::vector<std::uint8_t> big(rec::kSlotBytes + 10, 0x5A);
  RecordFrameInfo info;
  for (int i = 0; i < 21; ++i) ring.StoreFrame(big.data(), std::uint32_t(big.size()), info);
  EXPECT_EQ(ring.m_wWriteIndex, 1);  // 21 frames: wrapped once
  EXPECT_EQ(ring.m_lpFrameInfo[0].dwLength, rec::kSlotBytes);  // cut to the slot
}

}  // namespace
