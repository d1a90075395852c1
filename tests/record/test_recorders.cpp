// The alarm and manual recorders fed frame by frame in lock step, writing real files that the
// test reader checks record by record.
#include "tests/record/RecorderFixture.h"

namespace rectest {
namespace {

// Frames fed, in order, must appear in the file in order with sequence numbers from 1,
// their time values, channel and picture bytes.
void ExpectFrames(const ovrtest::File& f, const std::vector<std::uint8_t>& bytes,
                  std::uint32_t firstFrame, std::uint32_t count) {
  ASSERT_EQ(f.frames.size(), count);
  for (std::uint32_t k = 0; k < count; ++k) {
    const ovrtest::Frame& fr = f.frames[k];
    const std::uint32_t i = firstFrame + k;
    SCOPED_TRACE(i);
    EXPECT_EQ(fr.seq, k + 1);
    EXPECT_EQ(fr.time, 1000 + 40 * i);
    EXPECT_EQ(fr.channel, 3);
    EXPECT_EQ(fr.width, 320);
    EXPECT_EQ(fr.height, 240);
    const auto pic = FramePicture(i);
    ASSERT_EQ(fr.length, pic.size());
    EXPECT_TRUE(std::equal(pic.begin(), pic.end(), bytes.begin() + std::ptrdiff_t(fr.jpegOffset)));
  }
}

TEST_F(RecorderTest, AlarmFileBeginsWithTwentyPreAlarmFramesOldestFirst) {
  for (std::uint32_t i = 1; i <= 30; ++i) Feed(i);
  std::string path = folder;
  ASSERT_EQ(alarm.StartRecord(path, 0), 1);
  EXPECT_EQ(path, folder + "/");  // the caller's setting gains the separator
  ASSERT_TRUE(WaitUntil([&] { return alarm.m_fRecording.load() == 1; }));
  Feed(31);  // the frame that triggered the alarm
  for (std::uint32_t i = 32; i <= 35; ++i) Feed(i);
  ASSERT_EQ(alarm.StopRecord(), 1);
  EXPECT_EQ(alarm.m_fFileOpen.load(), 0);

  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  const auto bytes = ReadBytes(files[0]);
  const ovrtest::File f = ReadOvr(files[0]);
  ExpectFrames(f, bytes, 12, 24);  // 12..31 pre-alarm (31 last), then 32..35
  EXPECT_EQ(f.header.kind, 1);
  EXPECT_EQ(f.header.userName, "operator");
  EXPECT_EQ(std::vector<std::uint8_t>(f.header.ip, f.header.ip + 4), (std::vector<std::uint8_t>{192, 168, 1, 20}));
  EXPECT_EQ(f.header.firstTime, TimeOf(12));
  EXPECT_EQ(f.header.lastTime, TimeOf(35));
  EXPECT_NE(files[0].find("ALARM_MJPEG_"), std::string::npos);
  EXPECT_NE(files[0].find("_a_b_.ovr"), std::string::npos);  // session id made safe

  std::lock_guard<std::mutex> lk(host.m);
  ASSERT_EQ(host.fileNames.size(), 1u);
  EXPECT_EQ(plat::MapPath(host.fileNames[0]), plat::MapPath(files[0]));
  ASSERT_EQ(host.items.size(), 1u);
  EXPECT_EQ(host.items[0].first, 24u);
  EXPECT_EQ(host.items[0].second, "192.168.1.20");
  EXPECT_EQ(host.startTimes.size(), 1u);
  EXPECT_TRUE(host.failures.empty());
}

TEST_F(RecorderTest, AlarmSoonAfterTheThreadStartsWritesOnlyTheFramesStoredSoFar) {
  for (std::uint32_t i = 1; i <= 2; ++i) Feed(i);
  std::string path = folder;
  ASSERT_EQ(alarm.StartRecord(path, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return alarm.m_fRecording.load() == 1; }));
  Feed(3);
  EXPECT_EQ(alarm.StartRecord(path, 0), 0);  // one alarm file at a time
  alarm.StopRecord();
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  ExpectFrames(ReadOvr(files[0]), ReadBytes(files[0]), 1, 3);
}

TEST_F(RecorderTest, AlarmStoppedBeforeAnyFrameLeavesAnEmptyButValidFile) {
  std::string path = folder;
  ASSERT_EQ(alarm.StartRecord(path, 0), 1);
  alarm.StopRecord();
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  const ovrtest::File f = ReadOvr(files[0]);
  EXPECT_EQ(f.count, 0u);
  EXPECT_EQ(ReadBytes(files[0]).size(), 94u);
}

TEST_F(RecorderTest, NoImageFramesCarryTheMarkerByte) {
  std::string path = folder;
  ASSERT_EQ(user.StartRecord(path, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return user.m_fRecording.load() == 1; }));
  Feed(1);
  Feed(2, true);
  Feed(3);
  user.StopRecord();
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  const ovrtest::File f = ReadOvr(files[0]);
  ASSERT_EQ(f.frames.size(), 3u);
  EXPECT_FALSE(f.frames[0].noImage);
  EXPECT_TRUE(f.frames[1].noImage);
  EXPECT_EQ(f.frames[2].offset - f.frames[1].offset, FramePicture(2).size() + 32);
  EXPECT_EQ(f.header.kind, 0);

  // Pictures of 9, 10 and 11 bytes: records of 40, 42 (no image) and 42 bytes from offset 90,
  // then the index {90, 0} {130, 0} {172, 0} and the count 3.
  const auto bytes = ReadBytes(files[0]);
  ASSERT_EQ(bytes.size(), 214u + 24 + 4);
  const std::vector<std::uint8_t> tail = {90, 0, 0, 0, 0, 0, 0, 0, 130, 0, 0, 0, 0, 0, 0, 0,
                                          172, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0};
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 28, bytes.end()), tail);
  EXPECT_EQ(ovrtest::U32(&bytes[48]), 3u);          // header frame count
  EXPECT_EQ(ovrtest::U32(&bytes[40]), TimeOf(1));   // first time value
  EXPECT_EQ(ovrtest::U32(&bytes[44]), TimeOf(3));   // last time value
  EXPECT_EQ(ovrtest::U32(&bytes[130]), 0xE00008FFu);  // the no-image record's flag word
}

TEST_F(RecorderTest, AlarmOfMoreThan6000FramesSplitsWithOneAlarmListEntry) {
  std::string path = folder;
  Feed(0);
  ASSERT_EQ(alarm.StartRecord(path, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return alarm.m_fRecording.load() == 1; }));
  for (std::uint32_t i = 1; i <= 6001; ++i) Feed(i);  // frame 0 comes as the pre-alarm frame
  alarm.StopRecord();

  const auto files = Files();  // the second file's name gets a suffix when made in the same second
  ASSERT_EQ(files.size(), 2u);
  std::vector<ovrtest::File> read;
  for (const auto& p : files) read.push_back(ReadOvr(p));
  std::sort(read.begin(), read.end(), [](const auto& a, const auto& b) { return a.count > b.count; });
  EXPECT_EQ(read[0].count, 6000u);
  EXPECT_EQ(read[0].frames.front().time, TimeOf(0));
  EXPECT_EQ(read[0].header.lastTime, TimeOf(5999));
  ASSERT_EQ(read[1].count, 2u);
  EXPECT_EQ(read[1].frames[0].seq, 1u);
  EXPECT_EQ(read[1].frames[0].time, TimeOf(6000));
  EXPECT_EQ(read[1].header.firstTime, TimeOf(6000));

  std::lock_guard<std::mutex> lk(host.m);
  ASSERT_EQ(host.fileNames.size(), 1u);  // the entry names the first file
  ASSERT_EQ(host.items.size(), 1u);
  EXPECT_EQ(host.items[0].first, 6002u);  // every frame of the alarm
}

TEST_F(RecorderTest, ManualRecordingOf6001FramesGoesOnInASecondFile) {
  std::string path = folder;
  ASSERT_EQ(user.StartRecord(path, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return user.m_fRecording.load() == 1; }));
  for (std::uint32_t i = 1; i <= 6001; ++i) Feed(i);
  user.StopRecord();
  const auto files = Files();
  ASSERT_EQ(files.size(), 2u);
  std::vector<ovrtest::File> read;
  for (const auto& p : files) read.push_back(ReadOvr(p));
  std::sort(read.begin(), read.end(), [](const auto& a, const auto& b) { return a.count > b.count; });
  EXPECT_EQ(read[0].count, 6000u);
  EXPECT_EQ(read[0].header.firstTime, TimeOf(1));
  EXPECT_EQ(read[0].header.lastTime, TimeOf(6000));
  ASSERT_EQ(read[1].count, 1u);
  EXPECT_EQ(read[1].frames[0].time, TimeOf(6001));
  EXPECT_EQ(read[1].header.kind, 0);
}

TEST_F(RecorderTest, ManualRecordingSurvivesAReconnectionInTheSameFile) {
  std::string path = folder;
  ASSERT_EQ(user.StartRecord(path, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return user.m_fRecording.load() == 1; }));
  for (std::uint32_t i = 1; i <= 5; ++i) Feed(i);
  Reconnect();
  EXPECT_TRUE(user.IsFileOpen());
  ASSERT_EQ(user.Resume(), 1);
  EXPECT_EQ(alarm.m_fQuit.load(), 0);
  ASSERT_TRUE(WaitUntil([&] { return user.m_fRecording.load() == 1; }));
  for (std::uint32_t i = 6; i <= 8; ++i) Feed(i);
  user.StopRecord();
  EXPECT_FALSE(user.IsFileOpen());
  EXPECT_EQ(user.Resume(), 0);

  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  ExpectFrames(ReadOvr(files[0]), ReadBytes(files[0]), 1, 8);
}

TEST_F(RecorderTest, StopWhileTheStreamIsDownFinishesTheManualFile) {
  std::string path = folder;
  ASSERT_EQ(user.StartRecord(path, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return user.m_fRecording.load() == 1; }));
  for (std::uint32_t i = 1; i <= 4; ++i) Feed(i);
  plat::SetEvent(host.endEvent);  // the stream fails; no thread is left to finish the file
  user.ExitThread();
  ASSERT_TRUE(user.IsFileOpen());
  user.StopRecord();  // the operator stops (or the program closes) before a reconnection
  EXPECT_FALSE(user.IsFileOpen());
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  ExpectFrames(ReadOvr(files[0]), ReadBytes(files[0]), 1, 4);
}

TEST_F(RecorderTest, ManualRecordingThatNeverGotAFrameIsStillAValidFile) {
  std::string path = folder;
  ASSERT_EQ(user.StartRecord(path, 0), 1);
  user.StopRecord();
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadOvr(files[0]).count, 0u);
}

TEST_F(RecorderTest, RecordingsStartedInTheSameSecondNeverReplaceEachOther) {
  for (int n = 0; n < 3; ++n) {
    std::string path = folder;
    ASSERT_EQ(user.StartRecord(path, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return user.m_fRecording.load() == 1; }));
    Feed(std::uint32_t(n));
    user.StopRecord();
  }
  const auto files = Files();
  ASSERT_EQ(files.size(), 3u);
  for (const auto& p : files) EXPECT_EQ(ReadOvr(p).count, 1u) << p;
}

TEST_F(RecorderTest, FailedCreateRecordsNothing) {
  fs.failCreate = true;
  std::string path = folder;
  EXPECT_EQ(user.StartRecord(path, 0), 0);
  EXPECT_FALSE(user.IsFileOpen());
  EXPECT_EQ(alarm.StartRecord(path, 0), 0);
  EXPECT_EQ(alarm.StartRecord(path, 0), 0);
  EXPECT_EQ(alarm.m_fFileOpen.load(), 0);
  Feed(1);  // the feed does not block on recorders that record nothing
  EXPECT_TRUE(Files().empty());
  std::lock_guard<std::mutex> lk(host.m);
  EXPECT_EQ(host.failures.size(), 1u);  // the alarm recorder reports its failure once
}

TEST_F(RecorderTest, FullDiskStopsTheRecordingWithACorrectlyIndexedFile) {
  struct Case {
    const char* name;
    bool alarm;
  } cases[] = {{"manual", false}, {"alarm", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& p : Files()) std::filesystem::remove(p);
    // Room for the preamble and a few records; the last one is cut off by the full disk.
    fs.space = 90 + 5 * 45;
    std::string path = folder;
    CRecordCore& r = c.alarm ? static_cast<CRecordCore&>(alarm) : static_cast<CRecordCore&>(user);
    ASSERT_EQ(c.alarm ? alarm.StartRecord(path, 0) : user.StartRecord(path, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return r.m_fRecording.load() == 1; }));
    std::uint32_t i = 1;
    // Keep feeding until the recorder has given up (every frame after it goes straight by).
    while (r.m_fRecording.load() && i < 100) Feed(i++);
    ASSERT_LT(i, 100u);
    ASSERT_TRUE(WaitUntil([&] { return !r.IsFileOpen(); }));
    for (int k = 0; k < 5; ++k) Feed(i++);

    const auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    const auto bytes = ReadBytes(files[0]);
    const ovrtest::File f = ReadOvr(files[0]);
    EXPECT_GE(f.count, 1u);
    EXPECT_LT(f.count, 6u);
    // The report and the alarm-list entry follow the file's close on the recorder's thread.
    EXPECT_TRUE(WaitUntil([&] {
      std::lock_guard<std::mutex> lk(host.m);
      return !host.failures.empty() && (!c.alarm || (!host.items.empty() && alarm.m_fFileOpen.load() == 0));
    }));
    std::lock_guard<std::mutex> lk(host.m);
    EXPECT_EQ(host.failures.size(), 1u);
    if (c.alarm) {
      ASSERT_EQ(host.items.size(), 1u);
      EXPECT_EQ(host.items[0].first, f.count);  // the entry counts the frames really written
      EXPECT_EQ(alarm.m_fFileOpen.load(), 0);
    }
    host.failures.clear();
    fs.space = INT64_MAX;
  }
}

// A manual recording that the full disk ends by itself: the operator is told once, with the
// path as written ('/'), and no file without a picture is left behind.
TEST_F(RecorderTest, ManualRecordingEndedByAFullDiskLeavesNoEmptyFileAndIsToldOnce) {
  struct Case {
    const char* name;
    std::int64_t space;
    bool fileKept;
  } cases[] = {{"no room for the header", 0, false},
               {"room for the header only", 90 + 20, false},
               {"room for a few pictures", 90 + 5 * 45, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& p : Files()) std::filesystem::remove(p);
    fs.space = c.space;
    std::string path = folder;
    ASSERT_EQ(user.StartRecord(path, 0), 1);
    const std::string file = user.CurrentPath();
    ASSERT_TRUE(WaitUntil([&] { return user.m_fRecording.load() == 1; }));
    std::uint32_t i = 1;
    while (user.m_fRecording.load() && i < 100) Feed(i++);
    ASSERT_LT(i, 100u);
    ASSERT_TRUE(WaitUntil([&] {
      std::lock_guard<std::mutex> lk(host.m);
      return !host.ended.empty();
    }));
    EXPECT_FALSE(user.IsFileOpen());  // told after the file is closed
    const auto files = Files();
    if (c.fileKept) {
      ASSERT_EQ(files.size(), 1u);
      EXPECT_GE(ReadOvr(files[0]).count, 1u);
    } else {
      EXPECT_TRUE(files.empty()) << files.size() << " file(s), " << (files.empty() ? 0 : ReadBytes(files[0]).size()) << " bytes";
    }
    std::lock_guard<std::mutex> lk(host.m);
    EXPECT_EQ(host.ended, std::vector<std::string>{"Write record file is failed: " + file});
    EXPECT_EQ(file.rfind(folder + "/USER_MJPEG_", 0), 0u) << file;
    EXPECT_EQ(host.failures.size(), 1u);
    host.ended.clear();
    host.failures.clear();
    fs.space = INT64_MAX;
  }
  // The operator's own stop of a recording without pictures still leaves its valid file.
  for (const auto& p : Files()) std::filesystem::remove(p);
  std::string path = folder;
  ASSERT_EQ(user.StartRecord(path, 0), 1);
  user.StopRecord();
  ASSERT_EQ(Files().size(), 1u);
  EXPECT_EQ(ReadOvr(Files()[0]).count, 0u);
  std::lock_guard<std::mutex> lk(host.m);
  EXPECT_TRUE(host.ended.empty());
}

// The file of a 6000-frame split cannot be created: the recording ends there, the finished
// first file stays whole, and the failure is reported once.
TEST_F(RecorderTest, FailedCreateAtASplitEndsTheRecordingAndKeepsTheFirstFile) {
  struct Case {
    const char* name;
    bool alarm;
  } cases[] = {{"alarm", true}, {"manual", false}};  // alarm first: its ring holds no earlier frames
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& p : Files()) std::filesystem::remove(p);
    std::string path = folder;
    CRecordCore& r = c.alarm ? static_cast<CRecordCore&>(alarm) : static_cast<CRecordCore&>(user);
    ASSERT_EQ(c.alarm ? alarm.StartRecord(path, 0) : user.StartRecord(path, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return r.m_fRecording.load() == 1; }));
    for (std::uint32_t i = 1; i <= 6000; ++i) Feed(i);
    fs.failCreate = true;
    Feed(6001);
    ASSERT_TRUE(WaitUntil([&] { return !r.IsFileOpen() && r.m_fRecording.load() == 0; }));
    Feed(6002);  // frames after the failure pass the recorder by
    fs.failCreate = false;

    const auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    const ovrtest::File f = ReadOvr(files[0]);
    EXPECT_EQ(f.count, 6000u);
    EXPECT_EQ(f.header.lastTime, TimeOf(6000));
    // The report and the alarm-list entry follow the file's close on the recorder's thread.
    EXPECT_TRUE(WaitUntil([&] {
      std::lock_guard<std::mutex> lk(host.m);
      return !host.failures.empty() && (!c.alarm || (!host.items.empty() && alarm.m_fFileOpen.load() == 0));
    }));
    std::lock_guard<std::mutex> lk(host.m);
    EXPECT_EQ(host.failures.size(), 1u);
    if (c.alarm) {
      EXPECT_EQ(alarm.m_fFileOpen.load(), 0);  // the next alarm may start a new recording
      ASSERT_EQ(host.items.size(), 1u);
      EXPECT_EQ(host.items[0].first, 6000u);
    }
    host.failures.clear();
  }
}

TEST_F(RecorderTest, CloseEndsTheAlarmRecordingAndRefusesNewOnes) {
  std::string path = folder;
  ASSERT_EQ(alarm.StartRecord(path, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return alarm.m_fRecording.load() == 1; }));
  Feed(1);
  const int clearsBefore = host.alarmWordClears.load();
  ASSERT_EQ(alarm.Close(), 1);
  EXPECT_GT(host.alarmWordClears.load(), clearsBefore);
  EXPECT_EQ(alarm.m_fFileOpen.load(), 0);
  EXPECT_EQ(alarm.StartRecord(path, 0), 0);
  // The thread ended after closing its file; a reconnection's CreateThread allows alarms again.
  Reconnect();
  EXPECT_EQ(alarm.StartRecord(path, 0), 1);
  alarm.StopRecord();
  EXPECT_EQ(Files().size(), 2u);
}

TEST_F(RecorderTest, StreamEndDuringAnAlarmFinishesTheFileAndItsEntry) {
  std::string path = folder;
  ASSERT_EQ(alarm.StartRecord(path, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return alarm.m_fRecording.load() == 1; }));
  Feed(1);
  Feed(2);
  plat::SetEvent(host.endEvent);
  ASSERT_TRUE(WaitUntil([&] { return alarm.m_fFileOpen.load() == 0; }));
  const auto files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadOvr(files[0]).count, 2u);
  std::lock_guard<std::mutex> lk(host.m);
  EXPECT_EQ(host.items.size(), 1u);
}

TEST_F(RecorderTest, CancelledThreadsLeaveUsableFiles) {
  std::string path = folder;
  ASSERT_EQ(alarm.StartRecord(path, 0), 1);
  ASSERT_EQ(user.StartRecord(path, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return alarm.m_fRecording.load() == 1 && user.m_fRecording.load() == 1; }));
  Feed(1);
  Feed(2);
  // Wait until both have written frame 2 (they give their free semaphore back after it).
  for (CRecordCore* r : {static_cast<CRecordCore*>(&alarm), static_cast<CRecordCore*>(&user)}) {
    ASSERT_EQ(plat::WaitForSingleObject(r->m_hFreeSem, 3000), plat::WAIT_OBJECT_0);
    plat::ReleaseSemaphore(r->m_hFreeSem, 1);
  }
  // The threads do not answer the end event in time (it is never set here): they are cancelled.
  alarm.ExitThread();
  user.ExitThread();
  EXPECT_EQ(alarm.m_fRecording.load(), 0);
  EXPECT_EQ(user.m_fRecording.load(), 0);
  EXPECT_EQ(alarm.m_fFileOpen.load(), 0);
  EXPECT_TRUE(user.IsFileOpen());
  Feed(3);  // the feed passes recorders whose threads are gone

  Reconnect();
  ASSERT_EQ(user.Resume(), 1);
  ASSERT_TRUE(WaitUntil([&] { return user.m_fRecording.load() == 1; }));
  Feed(4);
  user.StopRecord();
  int alarmFiles = 0, userFiles = 0;
  for (const auto& p : Files()) {
    const ovrtest::File f = ReadOvr(p);
    if (p.find("ALARM_") != std::string::npos) {
      ++alarmFiles;
      EXPECT_EQ(f.count, 2u);
    } else {
      ++userFiles;
      ASSERT_EQ(f.count, 3u);
      EXPECT_EQ(f.frames[2].time, TimeOf(4));
    }
  }
  EXPECT_EQ(alarmFiles, 1);
  EXPECT_EQ(userFiles, 1);
}

TEST_F(RecorderTest, ThreadsEndPromptlyAndLeaveNothingRunning) {
  const std::size_t before = plat::LiveThreadCount();
  EXPECT_GE(before, 2u);
  plat::SetEvent(host.endEvent);
  const auto t0 = std::chrono::steady_clock::now();
  alarm.ExitThread();
  user.ExitThread();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));
  EXPECT_EQ(plat::LiveThreadCount(), before - 2);
}

}  // namespace
}  // namespace rectest
