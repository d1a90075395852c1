// The schedule recorder (its thread is never started by the client): one window of the
// table records the frames fed in lock step into an ".ov4" file.
#include <ctime>

#include "record/SchRecord.h"
#include "tests/record/RecorderFixture.h"

namespace rectest {
namespace {

TEST_F(RecorderTest, ScheduleWindowRecordsAnOv4File) {
  CSchRecord sch;
  sch.SetHost(&host);
  sch.SetFileSystem(&fs);
  sch.SetFrameRing(&ring);
  sch.SetRecordFolder(folder);
  ASSERT_EQ(sch.AllocateBuffer(), 1);
  ASSERT_EQ(sch.CreateResource(), 1);
  const plat::HANDLE timer = plat::CreateEvent(false, false);
  sch.SetTimerEvent(timer);
  const std::time_t now = std::time(nullptr);
  sch.m_Schedule[3] = {now - 60, now + 3600, 1};
  sch.m_Schedule[1] = {now - 60, now + 3600, 0};  // not in use
  sch.m_nScheduleCount = 4;
  ASSERT_EQ(sch.CreateThread(0), 1);
  plat::SetEvent(timer);
  ASSERT_TRUE(WaitUntil([&] { return sch.m_fRecording.load() == 1; }));

  RecordFeedTargets t;
  t.ring = &ring;
  t.sch = &sch;
  t.serverName = "10.1.2.3";
  for (std::uint32_t i = 1; i <= 3; ++i) {
    const auto pic = FramePicture(i);
    FeedFrameToRecorders(t, pic.data(), std::uint32_t(pic.size()),
                         MakeRecordFrameInfo(std::uint32_t(pic.size()), TimeOf(i), 1, false, 640, 480));
  }
  ASSERT_EQ(sch.Close(), 1);
  EXPECT_EQ(sch.m_fRecording.load(), 0);
  plat::SetEvent(host.endEvent);
  sch.ExitThread();
  sch.ReleaseResource();
  plat::CloseHandle(timer);

  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files[0].find("SCH_MJPEG_"), std::string::npos);
  EXPECT_EQ(files[0].substr(files[0].size() - 4), ".ov4");
  const auto b = ReadBytes(files[0]);
  using ovrtest::U32;
  std::size_t expected = 96 + 8 * 3 + 4;
  for (std::uint32_t i = 1; i <= 3; ++i) expected += 56 + FramePicture(i).size();
  ASSERT_EQ(b.size(), expected);
  EXPECT_EQ(U32(&b[0]), 3u);                                   // frames
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 12, b.begin() + 16), (std::vector<std::uint8_t>{10, 1, 2, 3}));
  EXPECT_EQ(b[16], 0);
  EXPECT_EQ(b[17], 3);
  EXPECT_EQ(U32(&b[68]), 0x01234567u);
  std::size_t off = 96;
  std::vector<std::uint32_t> offsets;
  for (std::uint32_t i = 1; i <= 3; ++i) {
    offsets.push_back(std::uint32_t(off));
    EXPECT_EQ(U32(&b[off]), i);                                 // sequence number
    EXPECT_EQ(U32(&b[off + 4]), FramePicture(i).size());
    EXPECT_EQ(U32(&b[off + 8]), i == 1 ? 0xFFFFu : 0u);         // first frame marked
    EXPECT_EQ(U32(&b[off + 12]), 0x01234567u);
    EXPECT_EQ(b[off + 18], 1);                                  // channel
    EXPECT_EQ(U32(&b[off + 48]), TimeOf(i));
    off += 56 + FramePicture(i).size();
  }
  EXPECT_EQ(U32(&b[off]), 0u);  // the first index entry holds 0
  EXPECT_EQ(U32(&b[off + 8]), offsets[1]);
  EXPECT_EQ(U32(&b[off + 16]), offsets[2]);
  EXPECT_EQ(U32(&b[b.size() - 4]), 3u);
}

}  // namespace
}  // namespace rectest
