// Test fixture of the recorders: a temporary folder, a host that records what the recorders
// report, a file layer that can fail creates or run out of space, and a frame source.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "record/AlarmRecord.h"
#include "record/RecordFeed.h"
#include "record/RecordFrameRing.h"
#include "record/UserRecord.h"
#include "tests/support/OvrReader.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace rectest {

class TestHost : public IRecorderHost {
 public:
  plat::HANDLE endEvent = 0;
  CRecordFrameRing* ring = nullptr;
  std::mutex m;
  std::vector<std::string> fileNames;
  std::vector<std::pair<std::uint32_t, std::string>> items;
  std::vector<RecordTime> startTimes;
  std::vector<std::string> failures;
  std::vector<std::string> ended;  // manual recordings that ended by themselves (also in failures)
  std::atomic<int> alarmWordClears{0};

  plat::HANDLE EndOfStreamEvent() override { return endEvent; }
  std::string ServerName() override { return "192.168.1.20"; }
  std::string UserName() override { return "operator"; }
  std::string SessionId() override { return "a.b?cdef"; }
  void ClearAlarmWord() override { ++alarmWordClears; }
  void ClearAlarmChannelText() override {}
  void AlarmListSetFileName(const std::string& p) override {
    std::lock_guard<std::mutex> lk(m);
    fileNames.push_back(p);
  }
  void AlarmListSetStartTime(const RecordTime& t) override {
    std::lock_guard<std::mutex> lk(m);
    startTimes.push_back(t);
  }
  void AlarmListAddItem(std::uint32_t frames, const std::string& server) override {
    std::lock_guard<std::mutex> lk(m);
    items.emplace_back(frames, server);
  }
  void ReportRecordFailure(const std::string& text) override {
    std::lock_guard<std::mutex> lk(m);
    failures.push_back(text);
  }
  void UserRecordingEnded(const std::string& text) override {
    std::lock_guard<std::mutex> lk(m);
    ended.push_back(text);
    failures.push_back(text);
  }
  CRecordFrameRing* FrameRing() override { return ring; }
};

// Real files with a shared space budget ("disk") and a switch that fails every create.
class FaultFs : public IRecordFileSystem {
 public:
  std::atomic<bool> failCreate{false};
  std::atomic<std::int64_t> space{INT64_MAX};

  class File : public IRecordFile {
   public:
    File(FaultFs& fs, std::unique_ptr<IRecordFile> f) : fs_(fs), f_(std::move(f)) {}
    bool WriteAt(std::uint64_t off, const void* d, std::size_t n) override {
      const std::uint64_t end = off + n;
      const std::int64_t grow = end > size_ ? std::int64_t(end - size_) : 0;
      const std::int64_t avail = fs_.space.load();
      if (grow > avail) {  // partial write up to the full disk
        const std::size_t part = std::size_t(std::max<std::int64_t>(0, std::int64_t(size_) + avail - std::int64_t(off)));
        if (part) f_->WriteAt(off, d, std::min(part, n));
        fs_.space -= avail;
        size_ += std::uint64_t(avail);
        return false;
      }
      if (!f_->WriteAt(off, d, n)) return false;
      fs_.space -= grow;
      size_ = std::max(size_, end);
      return true;
    }
    bool Truncate(std::uint64_t s) override {
      if (!f_->Truncate(s)) return false;
      if (s < size_) fs_.space += std::int64_t(size_ - s);
      size_ = s;
      return true;
    }
    bool Close() override { return f_->Close(); }

   private:
    FaultFs& fs_;
    std::unique_ptr<IRecordFile> f_;
    std::uint64_t size_ = 0;
  };

  std::unique_ptr<IRecordFile> CreateNew(const std::string& path) override {
    if (failCreate) return nullptr;
    auto f = DefaultRecordFileSystem().CreateNew(path);
    if (!f) return nullptr;
    return std::make_unique<File>(*this, std::move(f));
  }
  bool Exists(const std::string& path) override { return DefaultRecordFileSystem().Exists(path); }
  bool Remove(const std::string& path) override { return DefaultRecordFileSystem().Remove(path); }
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::vector<std::uint8_t> b;
  EXPECT_TRUE(plat::ReadWholeFile(path, b)) << path;
  return b;
}

// The picture bytes of frame i: a length and contents that tell frames apart.
inline std::vector<std::uint8_t> FramePicture(std::uint32_t i) {
  std::vector<std::uint8_t> p(8 + i % 7, std::uint8_t(i));
  p[0] = 0xFF;
  p[1] = 0xD8;
  p[2] = std::uint8_t(i >> 8);
  p[3] = std::uint8_t(i >> 16);
  return p;
}


class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp = std::make_unique<TempDir>("record");
    dir = temp->path();
    folder = dir.string();
    ASSERT_EQ(ring.AllocateBuffer(), 1);
    host.ring = &ring;
    host.endEvent = plat::CreateEvent(true, false);
    for (CRecordCore* r : {static_cast<CRecordCore*>(&alarm), static_cast<CRecordCore*>(&user)}) {
      r->SetHost(&host);
      r->SetFileSystem(&fs);
      r->SetFrameRing(&ring);
      ASSERT_EQ(r->AllocateBuffer(), 1);
      ASSERT_EQ(r->CreateResource(), 1);
    }
    ASSERT_EQ(alarm.CreateThread(0), 1);
    ASSERT_EQ(user.CreateThread(0), 1);
  }
  void TearDown() override {
    plat::SetEvent(host.endEvent);
    alarm.ExitThread();
    user.ExitThread();
    alarm.ReleaseResource();
    user.ReleaseResource();
    plat::CloseHandle(host.endEvent);
    temp.reset();
  }

  // Feeds frame i (time value 1000 + 40 i) the way the compose thread does.
  void Feed(std::uint32_t i, bool noImage = false) {
    const auto pic = FramePicture(i);
    RecordFrameInfo info = MakeRecordFrameInfo(std::uint32_t(pic.size()), 1000 + 40 * i, 3, noImage, 320, 240);
    RecordFeedTargets t;
    t.ring = &ring;
    t.alarm = &alarm;
    t.user = &user;
    FeedFrameToRecorders(t, pic.data(), std::uint32_t(pic.size()), info);
  }

  // Simulates a reconnection: the stream ends, the threads and kernel objects are rebuilt.
  void Reconnect() {
    plat::SetEvent(host.endEvent);
    alarm.ExitThread();
    user.ExitThread();
    alarm.ReleaseResource();
    user.ReleaseResource();
    plat::CloseHandle(host.endEvent);
    host.endEvent = plat::CreateEvent(true, false);
    ASSERT_EQ(alarm.CreateResource(), 1);
    ASSERT_EQ(user.CreateResource(), 1);
    ASSERT_EQ(alarm.CreateThread(0), 1);
    ASSERT_EQ(user.CreateThread(0), 1);
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> v;
    for (const auto& e : std::filesystem::directory_iterator(dir)) v.push_back(e.path().string());
    std::sort(v.begin(), v.end());
    return v;
  }

  ovrtest::File ReadOvr(const std::string& path) {
    ovrtest::File f;
    std::string err;
    const auto bytes = ReadBytes(path);
    EXPECT_TRUE(ovrtest::ReadFile(bytes, f, err)) << path << ": " << err;
    return f;
  }

  // The time value of frame i as fed.
  static std::uint32_t TimeOf(std::uint32_t i) { return 1000 + 40 * i; }

  std::unique_ptr<TempDir> temp;
  std::filesystem::path dir;
  std::string folder;
  TestHost host;
  FaultFs fs;
  CRecordFrameRing ring;
  CAlarmRecord alarm;
  CUserRecord user;
};

}  // namespace rectest
