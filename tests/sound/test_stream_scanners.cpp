// Checksums, byte order, the MPEG and JPEG scanners and the firmware header.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/ByteOrder.h"
#include "core/Checksum.h"
#include "core/FirmwareHeader.h"
#include "core/JpegPatch.h"
#include "core/MpegScan.h"
#include "sound_fixture.h"

TEST(Checksum, InternetChecksumRfc1071) {
  const struct {
    std::vector<std::uint8_t> bytes;
    plat::WORD swapped;
  } cases[] = {
      {{0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7}, 0x0D22},  // RFC 1071's example: 0x220D
      {{0x01}, 0xFFFE},                                            // odd byte is the high byte
      {{}, 0xFFFF},
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0x0000},
      {{0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11, 0x00, 0x00, 0xC0, 0xA8, 0x00,
        0x01, 0xC0, 0xA8, 0x00, 0xC7},
       0x61B8},  // an IPv4 header whose checksum is 0xB861
  };
  for (const auto& c : cases) EXPECT_EQ(InternetChecksumSwapped(c.bytes.data(), c.bytes.size()), c.swapped);
}

TEST(ByteOrder, BigEndianWriteAndSwap) {
  std::uint8_t b[4];
  WriteBigEndian32(b, 0x11223344);
  EXPECT_EQ(std::vector<std::uint8_t>(b, b + 4), (std::vector<std::uint8_t>{0x11, 0x22, 0x33, 0x44}));
  plat::DWORD v = 0x11223344;
  SwapBytes32(v);
  EXPECT_EQ(v, 0x44332211u);
}

namespace {

// The five bytes of a 33-bit time stamp with a 4-bit prefix and marker bits.
Bytes Stamp(std::uint64_t ts, int prefix) {
  return {static_cast<std::uint8_t>((prefix << 4) | ((ts >> 29) & 0x0E) | 1),
          static_cast<std::uint8_t>(ts >> 22), static_cast<std::uint8_t>(((ts >> 14) & 0xFE) | 1),
          static_cast<std::uint8_t>(ts >> 7), static_cast<std::uint8_t>(((ts << 1) & 0xFE) | 1)};
}

Bytes Pes(std::uint8_t id, int flags, std::uint64_t pts, std::uint64_t dts) {
  Bytes b{0, 0, 1, id, 0, 0, 0x80, static_cast<std::uint8_t>(flags << 6),
          static_cast<std::uint8_t>(flags == 3 ? 10 : 5)};
  const Bytes p = Stamp(pts, flags == 3 ? 3 : 2);
  b.insert(b.end(), p.begin(), p.end());
  if (flags == 3) {
    const Bytes d = Stamp(dts, 1);
    b.insert(b.end(), d.begin(), d.end());
  }
  return b;
}

}  // namespace

TEST(MpegScan, TimeStamps) {
  const std::uint64_t pts = 0x123456789ull;  // 33 bits; the low 32 are 0x23456789
  EXPECT_EQ(CPesParser::GetVideoTimeStamp(Pes(0xE0, 2, pts, 0).data(), 14), 0x23456789u);
  EXPECT_EQ(CPesParser::GetVideoTimeStamp(Pes(0xE0, 3, pts, 0x0000ABCDull).data(), 19), 0xABCDu);
  Bytes bad = Pes(0xE0, 2, pts, 0);
  bad[13] &= 0xFE;  // a marker bit cleared
  EXPECT_EQ(CPesParser::GetVideoTimeStamp(bad.data(), bad.size()), 0u);
  EXPECT_EQ(CPesParser::GetVideoTimeStamp(Pes(0xC0, 2, pts, 0).data(), 14), 0u);  // audio id
  EXPECT_EQ(CPesParser::GetVideoTimeStamp(Pes(0xE0, 2, pts, 0).data(), 13), 0u);  // too short

  // The scanner: an audio PES, then an MPEG-4 P picture, then a PES it never reaches.
  Bytes s{0x12, 0x34};
  const Bytes a = Pes(0xC0, 2, 90000, 0);
  s.insert(s.end(), a.begin(), a.end());
  const Bytes vop{0, 0, 1, 0xB6, 0x40};  // coding type 1 (P)
  s.insert(s.end(), vop.begin(), vop.end());
  const Bytes late = Pes(0xE0, 2, 7, 0);
  s.insert(s.end(), late.begin(), late.end());
  plat::DWORD ts = 0;
  int type = 0;
  EXPECT_EQ(ScanMpegStream(s.data(), s.size(), &ts, &type), kScanTimeStamp | kScanPictureType);
  EXPECT_EQ(ts, 90000u);
  EXPECT_EQ(type, 2);
  // A start code cut off at the end is not read past.
  EXPECT_EQ(ScanMpegStream(s.data(), 8, &ts, &type), 0);
}

TEST(MpegScan, PacketStartAndJpegEndSearches) {
  bool found = false;
  const Bytes withStart{0x00, 0x80, 0x11, 0x00, 0x00, 0xE0, 0x01, 0x22};
  EXPECT_EQ(ScanPacketStart(withStart.data(), withStart.size(), &found), withStart.size());
  EXPECT_TRUE(found);
  const Bytes noMark{0x00, 0x40, 0x00, 0x00, 0xE0, 0x01};
  ScanPacketStart(noMark.data(), noMark.size(), &found);
  EXPECT_FALSE(found);
  Bytes far(80, 0x11);
  far[1] = 0x80;
  far[60] = 0; far[61] = 0; far[62] = 0xC0; far[63] = 1;  // beyond 50 bytes of every 10xxxxxx byte
  ScanPacketStart(far.data(), far.size(), &found);
  EXPECT_FALSE(found);

  const Bytes jpeg{0x00, 0xFF, 0xD9, 0xFF, 0xFF, 0x00};
  EXPECT_EQ(FindJpegEndPadding(jpeg.data(), jpeg.size()), 2u);
  EXPECT_EQ(FindJpegEndPadding(jpeg.data(), 4), 0u);
}

TEST(JpegPatch, FrameSize) {
  Bytes d{0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x20, 0x03};
  ASSERT_TRUE(PatchJpegFrameSize(d.data(), d.size(), 0x0456, 0x0123));
  EXPECT_EQ(d[7], 0x01);
  EXPECT_EQ(d[8], 0x23);
  EXPECT_EQ(d[9], 0x04);
  EXPECT_EQ(d[10], 0x56);
  Bytes cut{0xFF, 0xC0, 0x00, 0x11};
  EXPECT_FALSE(PatchJpegFrameSize(cut.data(), cut.size(), 1, 1));
  Bytes late(120, 0);
  late[101] = 0xFF;
  late[102] = 0xC0;
  EXPECT_FALSE(PatchJpegFrameSize(late.data(), late.size(), 1, 1));
}

TEST(FirmwareHeader, MakerModelAndNewerVersion) {
  const struct {
    const char* text;
    int result;
    std::size_t body;
  } cases[] = {
      {"ZELVIK;K41R;1050;payload", 0, 17},
      {"ZELVIK;K41R;1049;payload", -2, 0},  // same version
      {"ZELVIK;K41R;1048;", -2, 0},         // older
      {"ZELVIK;K42R;1050;", -1, 0},
      {"OTHER;K41R;1050;", -1, 0},
      {"ZELVIK;K41R;1050", -1, 0},          // no third ';'
      {"ZELVIK;K41R;10500;", -2, 0},
  };
  for (const auto& c : cases) {
    std::size_t body = 0;
    EXPECT_EQ(CheckFirmwarePackageHeader(reinterpret_cast<const std::uint8_t*>(c.text), std::strlen(c.text),
                                         "K41R", "1049", &body),
              c.result)
        << c.text;
    EXPECT_EQ(body, c.body) << c.text;
  }
}
