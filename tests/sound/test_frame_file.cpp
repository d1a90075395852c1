// Frame records and the frame-file writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/FrameFile.h"
#include "sound_fixture.h"

TEST(FrameFile, RecordsAndTheWriterWithoutAFile) {
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

TEST(FrameFile, LayoutAndHeaderRewrites) {
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
