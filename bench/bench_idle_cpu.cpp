// What the client costs while it merely shows a live stream: process CPU time (getrusage)
// over a few seconds of wall time while the fake recorder streams 640x480 pictures on
// 127.0.0.1 at 25 and at 1 picture a second. In the process: the recorder's sender, a
// receive thread (receive, parse, decode), a show thread paced by the running 1 ms timer,
// and idle threads blocked without a time limit as the teardown, rebuild and recorder
// threads are. Counters:
//   cpu%_of_core     process CPU time / wall time (targets: <= 8 at 25 fps, <= 2 at 1 fps)
//   pictures/s       pictures decoded and shown per second
//   idle_wakeups     wake-ups of the idle threads during the run (target: 0)
//   timer_ticks/s    ticks of the pacing timer the show thread saw
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "session/Decode.h"
#include "session/MMTimer.h"
#include "session/Socket.h"
#include "session/StreamParser.h"
#include "tests/support/FakeRecorder.h"

namespace {

constexpr std::size_t kSlot = 102400;
constexpr std::size_t kDecoded = 1572864;
constexpr int kIdleThreads = 4;

double ProcessCpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Shared {
  plat::HANDLE quit = plat::CreateEvent(true, false);
  plat::HANDLE decoded = plat::CreateEvent(false, false);
  plat::HANDLE shown = plat::CreateEvent(false, true);
  std::uint16_t port = 0;
  std::vector<std::uint8_t> picture = std::vector<std::uint8_t>(kDecoded);
  std::vector<std::uint8_t> screen = std::vector<std::uint8_t>(kDecoded);
  std::atomic<int> pictures{0};
  std::atomic<int> ticks{0};
  std::atomic<bool> failed{false};
  ~Shared() {
    plat::CloseHandle(quit);
    plat::CloseHandle(decoded);
    plat::CloseHandle(shown);
  }
};

// Receives the stream, cuts the pictures and decodes each into the shared picture once the
// show thread has taken the previous one.
plat::DWORD ReceiveThread(Shared& s) {
  CBlockingSocket sock;
  try {
    sock.Create(CBlockingSocket::kStream);
    sock.Connect(CSockAddr("127.0.0.1", s.port), 5);
    const std::string request = "GET /Getvideo.cgi?CH=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    sock.Send(request.data(), request.size(), 5);
  } catch (...) {
    s.failed = true;
    return 1;
  }
  StreamParser parser(kSlot);
  parser.SetFormat(false, false);
  std::vector<std::uint8_t> slot(kSlot);
  while (plat::WaitForSingleObject(s.quit, 0) == plat::WAIT_TIMEOUT) {
    const auto step = parser.Run(slot.data());
    if (step != StreamParser::Step::Frame) {
      const int n = sock.Receive(parser.WritePtr(), std::min(parser.WriteSpace(), StreamParser::kReadChunk), 5);
      if (n <= 0) break;
      parser.Commit(static_cast<std::size_t>(n));
      continue;
    }
    plat::HANDLE waits[] = {s.quit, s.shown};
    if (plat::WaitForMultipleObjects(2, waits, plat::FALSE_, plat::INFINITE) != plat::WAIT_OBJECT_0 + 1) break;
    plat::WORD w = 0, h = 0;
    if (!DecodeJpegImage(slot.data(), parser.LastFrameLength(), s.picture.data(), s.picture.size(), &w, &h)) {
      s.failed = true;
      break;
    }
    plat::SetEvent(s.decoded);
  }
  sock.Cleanup();
  return 0;
}

// Holds each picture for a few timer ticks (the pacing of a model that runs the timer),
// then copies it to the screen.
plat::DWORD ShowThread(Shared& s) {
  CMMTimer timer;
  timer.SetResolution();
  timer.Start("K47R");
  for (;;) {
    plat::HANDLE waits[] = {s.quit, s.decoded};
    if (plat::WaitForMultipleObjects(2, waits, plat::FALSE_, plat::INFINITE) != plat::WAIT_OBJECT_0 + 1) break;
    const std::uint64_t until = plat::GetTickCount64() + 3;
    while (plat::GetTickCount64() < until && timer.Wait() == 0) ++s.ticks;
    std::memcpy(s.screen.data(), s.picture.data(), 640 * 480 * 3);
    ++s.pictures;
    plat::SetEvent(s.shown);
  }
  timer.Stop();
  return 0;
}

void BM_LiveStreamCpu(benchmark::State& state) {
  const int fps = static_cast<int>(state.range(0));
  fake::FakeRecorder recorder;
  fake::StreamSettings settings;
  settings.width = 640;
  settings.height = 480;
  settings.fps = fps;
  settings.format = fake::StreamSettings::HeaderFormat::V0;
  recorder.SetStreamSettings(settings);
  if (!recorder.Start()) {
    state.SkipWithError("the fake recorder cannot listen");
    return;
  }
  Shared s;
  s.port = recorder.Port();
  std::vector<plat::HANDLE> idle;
  for (int i = 0; i < kIdleThreads; ++i)
    idle.push_back(plat::CreateThread([&s] { return plat::WaitForSingleObject(s.quit, plat::INFINITE); }));
  plat::HANDLE receiver = plat::CreateThread([&s] { return ReceiveThread(s); }, nullptr, "receive");
  plat::HANDLE shower = plat::CreateThread([&s] { return ShowThread(s); }, nullptr, "show");
  // Settle: connection made and the first pictures through.
  std::this_thread::sleep_for(std::chrono::milliseconds(fps >= 5 ? 500 : 1500));

  double cpu = 0, wall = 0;
  int pictures = 0, ticks = 0;
  std::uint64_t idleWakeups = 0;
  for (auto _ : state) {
    std::uint64_t wake0 = 0;
    for (auto h : idle) wake0 += plat::ThreadWaitWakeups(h);
    const int pic0 = s.pictures, tick0 = s.ticks;
    const auto w0 = std::chrono::steady_clock::now();
    const double c0 = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(fps >= 5 ? 4 : 6));
    cpu += ProcessCpuSeconds() - c0;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    pictures += s.pictures - pic0;
    ticks += s.ticks - tick0;
    std::uint64_t wake1 = 0;
    for (auto h : idle) wake1 += plat::ThreadWaitWakeups(h);
    idleWakeups += wake1 - wake0;
  }
  plat::SetEvent(s.quit);
  recorder.Stop();
  for (auto h : idle) {
    plat::WaitForSingleObject(h, 5000);
    plat::CloseHandle(h);
  }
  for (auto h : {receiver, shower}) {
    plat::StopThread(h, 5000);
    plat::CloseHandle(h);
  }
  if (s.failed) state.SkipWithError("the stream failed");
  state.counters["cpu%_of_core"] = 100.0 * cpu / wall;
  state.counters["pictures/s"] = pictures / wall;
  state.counters["idle_wakeups"] = static_cast<double>(idleWakeups);
  state.counters["timer_ticks/s"] = ticks / wall;
}

BENCHMARK(BM_LiveStreamCpu)->Arg(25)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
