// The dormant facilities' pure functions against known values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/Dormant.h"
#include "sound_fixture.h"

TEST(Dormant, MuLawMatchesG711) {
  const struct {
    std::uint8_t code;
    std::int16_t linear;
  } cases[] = {{0x00, -32124}, {0x01, -31100}, {0x0F, -16764}, {0x70, -120}, {0x7E, -8},
               {0x7F, 0},      {0xFF, 0},      {0xFE, 8},      {0x80, 32124}, {0x8F, 16764}};
  for (const auto& c : cases) EXPECT_EQ(MuLawToLinear(c.code), c.linear) << int(c.code);
  for (int u = 0; u < 128; ++u) EXPECT_EQ(MuLawToLinear(u), -MuLawToLinear(u | 0x80)) << u;
  EXPECT_EQ(CPesParser::Mulaw2Linear(0x80), 32124);
}

TEST(Dormant, ImaAdpcmNibbles) {
  // Worked values: step table entry 50 is 876; nibble 4: (2*4+1)*876/8 = 985.
  const struct {
    AdpcmState before;
    int nibble;
    std::int16_t sample;
    int index;
  } table[] = {
      {{0, 0}, 7, 13, 8},
      {{13, 8}, 0xF, -17, 16},
      {{0, 0}, 0, 0, 0},
      {{100, 50}, 4, 1085, 52},
      {{100, 50}, 0xC, -885, 52},
      {{32760, 88}, 7, 32767, 88},
      {{-32760, 88}, 0xF, -32768, 88},
      {{0, 88}, 3, 28671, 87},  // (7*32767)/8 = 28671
  };
  for (const auto& c : table) {
    AdpcmState s = c.before;
    EXPECT_EQ(ImaAdpcmDecodeNibble(&s, c.nibble), c.sample) << c.before.predictor << "/" << c.nibble;
    EXPECT_EQ(s.predictor, c.sample);
    EXPECT_EQ(s.stepIndex, c.index);
  }
  AdpcmState s{5, 5};
  EXPECT_EQ(ImaAdpcmDecodeNibble(&s, 16), 0);
  EXPECT_EQ(ImaAdpcmDecodeNibble(&s, -1), 0);
  EXPECT_EQ(ImaAdpcmDecodeNibble(nullptr, 3), 0);
  EXPECT_EQ(s.predictor, 5);
  EXPECT_EQ(s.stepIndex, 5);
  EXPECT_EQ(g_AdpcmDecoderState.stepIndex, 50);
  EXPECT_EQ(g_AdpcmDecoderState.predictor, 0);
}

TEST(Dormant, ImaAdpcmBlockLowNibbleFirstAndHandsBackThePriorState) {
  AdpcmState s{0, 0};
  const std::uint8_t in[] = {0x87, 0x07};
  std::int16_t out[4] = {};
  const AdpcmState before = ImaAdpcmDecodeBlock(&s, in, 2, out);
  EXPECT_EQ(before.predictor, 0);
  EXPECT_EQ(before.stepIndex, 0);
  EXPECT_EQ(out[0], 13);  // 7
  EXPECT_EQ(out[1], 11);  // 8: step 16, 2 subtracted
  EXPECT_EQ(out[2], 37);  // 7 at index 7 (step 14): 26 added
  EXPECT_EQ(out[3], 40);  // 0 at index 15 (step 31): 3 added
  EXPECT_EQ(s.predictor, 40);
  EXPECT_EQ(s.stepIndex, 14);
}

TEST(Dormant, InternetChecksumRfc1071) {
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

TEST(Dormant, ByteOrder) {
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

TEST(Dormant, MpegTimeStamps) {
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

TEST(Dormant, PacketStartAndJpegEndSearches) {
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

TEST(Dormant, PatchJpegFrameSize) {
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

TEST(Dormant, FieldToFrameLineDoublers) {
  const int width = 2, rows = 8;
  Bytes src(width * 3 * rows);
  for (int r = 0; r < rows; ++r) std::fill_n(src.begin() + r * width * 3, width * 3, 10 * r);
  for (auto* fn : {&FieldToFrame24, &FieldToFrame24Int}) {
    Bytes dst(src.size() * 2, 0xEE);
    fn(src.data(), width, rows, dst.data());
    auto at = [&](int row) { return dst[row * width * 3]; };
    for (int k = 0; k < rows; ++k) EXPECT_EQ(at(2 * k), 10 * k);
    EXPECT_EQ(at(1), 5);   // near the top: the average
    EXPECT_EQ(at(3), 15);
    EXPECT_EQ(at(5), 25);  // six taps on a ramp give the midpoint
    EXPECT_EQ(at(9), 45);
    EXPECT_EQ(at(11), 55);  // source row 5 is among the last three: the average
    EXPECT_EQ(at(15), 70);  // the last row averages with itself
  }
  // The taps' negative lobes clamp at 0 and 255.
  Bytes spike(3 * rows, 0);
  std::fill_n(spike.begin() + 3 * 3, 3, 255);  // row 3 bright
  Bytes dst(spike.size() * 2);
  FieldToFrame24(spike.data(), 1, rows, dst.data());
  EXPECT_EQ(dst[3 * 9], 0);  // row 9 (k=4): -0.22*255 clamps to 0
  EXPECT_EQ(dst[3 * 5], 163);  // row 5 (k=2): 0.64*255 = 163.2
}

TEST(Dormant, CombFilterReplacesOnlyCombedPixels) {
  // Two pixels, three lines: pixel 0 is a comb (bright, dark, bright), pixel 1 a smooth ramp.
  const Bytes src{200, 7, 0, 1,   //
                  0, 9, 50, 2,    //
                  200, 11, 100, 3};
  Bytes dst(src.size());
  CombFilter16(src.data(), 2, 3, dst.data());
  EXPECT_EQ(dst[4], 200);
  EXPECT_EQ(dst[5], 9);  // (7 + 11) / 2
  EXPECT_EQ(dst[6], 50);
  EXPECT_EQ(dst[7], 2);
  EXPECT_EQ(dst[0], 200);  // first and last lines untouched
}

TEST(Dormant, FirmwarePackageHeader) {
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

TEST(Dormant, TextAndBufferHelpers) {
  char out[8];
  const char* text = "a=1;Session-ID=abcdef;x=2;";
  EXPECT_EQ(ExtractKeyText(text, "Session-ID=", ';', out, sizeof out), 21);
  EXPECT_STREQ(out, "abcdef");
  EXPECT_EQ(ExtractKeyText(text, "x=", ';', out, 2), 25);  // cut to the buffer
  EXPECT_STREQ(out, "2");
  EXPECT_EQ(ExtractKeyText("k=;;", "k=", ';', out, sizeof out), 3);  // one character always copied
  EXPECT_STREQ(out, ";");
  EXPECT_EQ(ExtractKeyText(text, "none=", ';', out, sizeof out), -1);
  EXPECT_EQ(ExtractKeyText("k=abc", "k=", ';', out, sizeof out), -1);

  char reply[40] = {};
  std::memcpy(reply + 3, "online-user-num:2;", 18);
  reply[1] = 'o';
  EXPECT_TRUE(RepairOnlineUserKey(reply, sizeof reply));
  EXPECT_NE(std::strstr(reply, "online-user-num:2;"), nullptr);
  char full[] = "online-user-num:2;";
  EXPECT_FALSE(RepairOnlineUserKey(full, sizeof full));  // already findable

  const std::uint8_t buf[] = {1, 2, 0xFF, 3, 4, 5};
  EXPECT_EQ(FindFirstFF(buf, sizeof buf), 2u);
  EXPECT_EQ(FindFirstFF(buf, 2), 2u);
  const std::uint8_t pat[] = {3, 4};
  EXPECT_EQ(FindPattern(buf, sizeof buf, pat, 2), 3u);
  const std::uint8_t tail[] = {4, 5};
  EXPECT_EQ(FindPattern(buf, sizeof buf, tail, 2), 0u);  // only positions below size - length
  EXPECT_EQ(FindPattern(buf, 1, pat, 2), 0u);

  std::string folder;
  const struct {
    const char* path;
    const char* folder;
  } paths[] = {{"C:\\rec\\a.ovr", "C:\\rec"}, {"/home/op/rec/a.ovr", "/home/op/rec"},
               {"\\a", "\\a"}, {"name", "name"}};
  for (const auto& p : paths) {
    EXPECT_EQ(GetParentFolder(p.path, folder), 1);
    EXPECT_EQ(folder, p.folder) << p.path;
  }
  EXPECT_EQ(GetParentFolder(std::string(300, 'x') + "/y", folder), 1);
  EXPECT_EQ(folder.size(), 255u);
}

TEST(Dormant, DeviceRecordAndLanguageTable) {
  Bytes rec(kPackedDeviceRecordSize);
  for (std::size_t i = 0; i < rec.size(); ++i) rec[i] = static_cast<std::uint8_t>(i);
  DeviceRecordBlock b;
  ASSERT_TRUE(UnpackDeviceRecord(rec.data(), rec.size(), b));
  EXPECT_EQ(b.words[0], 0x03020100u);
  EXPECT_EQ(b.words[4], 0x13121110u);
  EXPECT_EQ(b.bytes6[5], 25);
  EXPECT_EQ(b.value26, 26);
  EXPECT_EQ(b.value27, 0x1E1D1C1Bu);
  EXPECT_EQ(b.value31, 0x2221201Fu);
  EXPECT_EQ(b.value35, 0x2423);
  EXPECT_EQ(b.value39, 0x2827);
  EXPECT_EQ(b.value41, 41);
  EXPECT_EQ(b.value42, 0x2B2A);
  EXPECT_EQ(b.value44, 44);
  EXPECT_FALSE(UnpackDeviceRecord(rec.data(), 44, b));

  EXPECT_STREQ(LanguageLibraryFor(3079), "ZelvikGER.dll");
  EXPECT_STREQ(LanguageLibraryFor(5132), "ZelvikFRN.dll");
  EXPECT_STREQ(LanguageLibraryFor(1041), "ZelvikJPN.dll");
  EXPECT_EQ(LanguageLibraryFor(1033), nullptr);
  const LanguageChoice c = ChooseLanguageLibrary(1031);
  EXPECT_EQ(c.languageId, 1033);
  EXPECT_EQ(c.library, nullptr);
  EXPECT_EQ(StartSocketsAtVersion(2, 2), 1);
  EXPECT_EQ(StartSocketsAtVersion(1, 1), 0);
}

TEST(Dormant, FrameRecordsAndTheWriterWithoutAFile) {
  FrameRecord r;
  r.index = 3;
  r.timeMs = 4000;
  r.length = 10;
  r.bytes[0] = 1;
  r.bytes[1] = 2;
  r.bytes[2] = 3;
  r.values[3] = 0xAABBCCDD;
  std::uint8_t b[kFrameRecordSize];
  WriteFrameRecord(r, b);
  EXPECT_EQ(b[0], 3);
  EXPECT_EQ(b[12], 0x23);
  EXPECT_EQ(b[15], 0xAD);
  EXPECT_EQ(b[16], 1);
  EXPECT_EQ(b[18], 3);
  EXPECT_EQ(b[19], 0);
  EXPECT_EQ(b[36], 0xDD);
  FrameRecord back;
  ASSERT_TRUE(ReadFrameRecord(b, sizeof b, back));
  EXPECT_EQ(back.values[3], 0xAABBCCDDu);
  b[12] = 0;
  EXPECT_FALSE(ReadFrameRecord(b, sizeof b, back));

  TempDir dir;
  CFrameFileWriter w(dir / "frames.bin", 0, 0, 0);
  const plat::DWORD v[4] = {};
  const std::uint8_t frame[4] = {1, 2, 3, 4};
  EXPECT_EQ(w.WriteFrame(0, frame, 4, 0, 0, 0, v), 0);  // nothing opens its file
  EXPECT_EQ(w.WriteFrameNow(frame, 4, 0, 0), 0);
  EXPECT_FALSE(w.IsOpen());
}

TEST(Dormant, AddressBookFileLocator) {
  TempDir prog, sys;
  EXPECT_EQ(EnsureAddressBookFile(prog.path(), sys.path()), 1);
  EXPECT_EQ(ReadBytes(prog / "IPRecord.dat").size(), 0u);  // created empty

  TempDir prog2;
  WriteBytes(sys / "IPRecord.dat", Bytes(400, 7));
  EXPECT_EQ(EnsureAddressBookFile(prog2.path(), sys.path()), 1);
  EXPECT_EQ(ReadBytes(prog2 / "IPRecord.dat"), Bytes(400, 7));
  WriteBytes(prog2 / "IPRecord.dat", Bytes(3, 1));
  EXPECT_EQ(EnsureAddressBookFile(prog2.path(), sys.path()), 1);
  EXPECT_EQ(ReadBytes(prog2 / "IPRecord.dat"), Bytes(3, 1));  // an existing file is kept
}

TEST(Dormant, TickTimer) {
  TickTimer_Start();
  EXPECT_EQ(TickTimer_Elapsed(3600), 0);
  EXPECT_EQ(TickTimer_Elapsed(0), 1);  // re-arms
  TickTimer_Start();
  EXPECT_EQ(TickTimer_Elapsed(0), 1);
}

#include "core/TraceLog.h"
#include "platform/files.h"

TEST(Dormant, DebugTraceWriteStartsAgainAfterItsLineLimit) {
  TempDir dir;
  CDebugTraceLog log;
  EXPECT_EQ(log.Write("lost"), 0);  // no file open
  ASSERT_EQ(log.Open(dir.path()), 1);
  EXPECT_EQ(log.Write("one"), 1);
  EXPECT_EQ(log.Write("two"), 1);
  const std::string path = dir / "DebugTrace.log";
  const Bytes first = ReadBytes(path);
  EXPECT_EQ(std::string(first.begin(), first.end()), "one\r\ntwo\r\n");
  log.m_dwLineCount = 1048576;
  EXPECT_EQ(log.Write("three"), 1);
  const Bytes after = ReadBytes(path);
  EXPECT_EQ(std::string(after.begin(), after.end()), "three\r\n");
  EXPECT_EQ(log.m_dwLineCount, 0u);
  EXPECT_EQ(log.Delete(), 1);
  EXPECT_FALSE(plat::FileExists(path));
}

namespace {

// Nothing in the client opens a frame file; a caller that does gets this layout.
class OpenedFrameFile : public CFrameFileWriter {
 public:
  explicit OpenedFrameFile(const std::string& path) : CFrameFileWriter(path, 0, 0, 0) {
    m_file = std::fopen(path.c_str(), "w+b");
    const std::uint8_t header[kFrameFileHeaderSize] = {};
    std::fwrite(header, 1, sizeof header, m_file);
  }
  void Flush() { std::fflush(m_file); }
};

plat::DWORD Le32At(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | plat::DWORD(b[at + 3]) << 24;
}

}  // namespace

TEST(Dormant, FrameFileLayoutAndHeaderRewrites) {
  TempDir dir;
  const std::string path = dir / "frames.bin";
  const plat::DWORD v[4] = {1, 2, 3, 4};
  const std::uint8_t frame[3] = {0xA1, 0xA2, 0xA3};
  constexpr std::size_t kPerFrame = 2 * kFrameRecordSize + sizeof frame;
  {
    OpenedFrameFile w(path);
    for (int i = 0; i < 9; ++i) ASSERT_EQ(w.WriteFrame(1000u * (i + 1), frame, 3, 7, 8, 9, v), 1);
    w.Flush();
    EXPECT_EQ(Le32At(ReadBytes(path), 0), 0u);  // the header waits for the 10th frame
    ASSERT_EQ(w.WriteFrame(12345, frame, 3, 7, 8, 9, v), 1);
    w.Flush();
    const Bytes b = ReadBytes(path);
    ASSERT_EQ(b.size(), kFrameFileHeaderSize + 10 * kPerFrame);
    EXPECT_EQ(Le32At(b, 0), 10u);
    EXPECT_EQ(Le32At(b, 8), 12u);  // the last frame's time in seconds
    // Frame 9: record, bytes, the same record again.
    const std::size_t at = kFrameFileHeaderSize + 9 * kPerFrame;
    FrameRecord r;
    ASSERT_TRUE(ReadFrameRecord(b.data() + at, kFrameRecordSize, r));
    EXPECT_EQ(r.index, 9u);
    EXPECT_EQ(r.timeMs, 12345u);
    EXPECT_EQ(r.length, 3u);
    EXPECT_EQ(r.values[3], 4u);
    EXPECT_EQ(b[at + kFrameRecordSize], 0xA1);
    EXPECT_TRUE(std::equal(b.begin() + at, b.begin() + at + kFrameRecordSize,
                           b.begin() + at + kFrameRecordSize + 3));
    ASSERT_EQ(w.WriteFrameNow(frame, 3, 5, 6), 1);
  }
  // The destructor writes the header of the frames since the last rewrite.
  const Bytes b = ReadBytes(path);
  ASSERT_EQ(b.size(), kFrameFileHeaderSize + 11 * kPerFrame);
  EXPECT_EQ(Le32At(b, 0), 11u);
  const std::size_t at = kFrameFileHeaderSize + 10 * kPerFrame;
  EXPECT_EQ(b[at + 16], 5);
  EXPECT_EQ(b[at + 17], 0);
  EXPECT_EQ(b[at + 18], 6);
  const int year = b[at + 24] | b[at + 25] << 8;
  EXPECT_GE(year, 2020);  // the local date and time from offset 24
  const int month = b[at + 26] | b[at + 27] << 8;
  EXPECT_TRUE(month >= 1 && month <= 12);
}
