// Recording speed: building one frame record, and the lock-step hand-over of frames to a
// manual recorder writing a real file (the time the compose thread is held per frame).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel.h"
#include "record/OvrFormat.h"
#include "record/RecordFeed.h"
#include "record/RecordFrameRing.h"
#include "record/UserRecord.h"

namespace {

void BM_BuildFrameRecord(benchmark::State& state) {
  std::vector<std::uint8_t> jpeg(std::size_t(state.range(0)), 0xA5);
  std::vector<std::uint8_t> out(ovr::kMaxRecordSize);
  RecordFrameInfo info;
  info.wWidth = 640;
  info.wHeight = 480;
  std::uint32_t seq = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ovr::BuildFrameRecord(++seq, info, jpeg.data(), std::uint32_t(jpeg.size()),
                                                   out.data(), out.size()));
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_BuildFrameRecord)->Arg(2048)->Arg(20480)->Arg(102400);

class BenchHost : public IRecorderHost {
 public:
  plat::HANDLE end = 0;
  plat::HANDLE EndOfStreamEvent() override { return end; }
  std::string ServerName() override { return "127.0.0.1"; }
  std::string UserName() override { return "bench"; }
  std::string SessionId() override { return "BNCH"; }
  void ClearAlarmWord() override {}
  void ClearAlarmChannelText() override {}
  void AlarmListSetFileName(const std::string&) override {}
  void AlarmListSetStartTime(const RecordTime&) override {}
  void AlarmListAddItem(std::uint32_t, const std::string&) override {}
  void ReportRecordFailure(const std::string&) override {}
};

void BM_FeedManualRecording(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() / ("bench-record-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  BenchHost host;
  host.end = plat::CreateEvent(true, false);
  CRecordFrameRing ring;
  ring.AllocateBuffer();
  CUserRecord user;
  user.SetHost(&host);
  user.SetFrameRing(&ring);
  user.AllocateBuffer();
  user.CreateResource();
  user.CreateThread(0);
  std::string folder = dir.string() + "/";
  user.StartRecord(folder, 0);
  while (!user.m_fRecording.load()) plat::WaitForSingleObject(host.end, 1);

  std::vector<std::uint8_t> jpeg(std::size_t(state.range(0)), 0x5A);
  RecordFeedTargets t;
  t.ring = &ring;
  t.user = &user;
  std::uint32_t time = 0;
  for (auto _ : state) {
    FeedFrameToRecorders(t, jpeg.data(), std::uint32_t(jpeg.size()),
                         MakeRecordFrameInfo(std::uint32_t(jpeg.size()), time += 40, 1, false, 640, 480));
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * state.range(0));
  user.StopRecord();
  plat::SetEvent(host.end);
  user.ExitThread();
  user.ReleaseResource();
  plat::CloseHandle(host.end);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FeedManualRecording)->Arg(20480)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
