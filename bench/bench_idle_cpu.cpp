// What the client costs while it merely shows a live stream: process CPU time (getrusage)
// over a few seconds of wall time while the fake recorder streams 640x480 pictures on
// 127.0.0.1 at 25 and at 1 picture a second, their header times one picture interval apart
// give or take 5 ms, so at 25 fps every other picture waits a few milliseconds for its time.
// In the process: the recorder's sender, a receive thread (receive, parse, decode), the
// client's show thread paced by the timer of a model that runs it, a mailbox thread that
// copies each picture to a screen buffer, and idle threads blocked without a time limit as
// the teardown, rebuild and recorder threads are. Counters:
//   cpu%_of_core      process CPU time / wall time (targets: <= 4.5 at 25 fps, <= 0.5 at 1 fps)
//   client_cpu%       the same for the client's threads alone (without the recorder's sender)
//   pictures/s        pictures decoded and shown per second
//   idle_wakeups      wake-ups of the idle threads during the run (target: 0)
//   wake/s:<thread>   wake-ups per second of the named threads: voluntary context switches
//                     from /proc/self/task/*/status (each one a block and a wake-up)
//   preempt/s:<thread> non-voluntary context switches per second (a busy machine's share)
//   show_wakes/frame  the show thread's voluntary context switches per picture (target: <= 3)
//   show_waits_woken/frame  of these, the wake-ups of its kernel-object waits (the rest are
//                     waits for a lock another thread holds)
// BM_TimerWithoutPictures runs the show thread with the timer and no stream: its
// wake/s:mmtimer is the timer's cost while no picture waits (target: 0).
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "session/Decode.h"
#include "session/MMTimer.h"
#include "session/SessionRecord.h"
#include "session/Socket.h"
#include "session/StreamParser.h"
#include "session/Threads.h"
#include "tests/support/FakeRecorder.h"

namespace {

constexpr std::size_t kSlot = 102400;
constexpr int kIdleThreads = 4;

double ProcessCpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Per thread name, summed over this process's threads of that name: voluntary context
// switches (each one a block and a wake-up), non-voluntary ones (preemptions) and CPU ticks.
struct ThreadUse {
  std::uint64_t wakeups = 0, preemptions = 0, cpuTicks = 0;
};
std::map<std::string, ThreadUse> UseByThread() {
  std::map<std::string, ThreadUse> out;
  DIR* dir = ::opendir("/proc/self/task");
  if (!dir) return out;
  while (dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    const std::string base = std::string("/proc/self/task/") + e->d_name;
    std::string name;
    std::ifstream(base + "/comm") >> name;
    ThreadUse& use = out[name];
    std::ifstream status(base + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) use.wakeups += std::stoull(line.substr(line.find(':') + 1));
      if (line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) use.preemptions += std::stoull(line.substr(line.find(':') + 1));
    }
    // Fields 14 and 15 of stat (user and system time), counted after the name's ')'.
    std::string stat;
    std::getline(std::ifstream(base + "/stat"), stat);
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 15 && fields >> field; ++i)
      if (i >= 14) use.cpuTicks += std::stoull(field);
  }
  ::closedir(dir);
  return out;
}

// The default pictures with header times one picture interval apart, give or take a step.
class TimedProducer : public fake::StreamProducer {
 public:
  explicit TimedProducer(const fake::StreamSettings& s) : settings_(s), jpeg_(fake::MakeJpeg(s.width, s.height, s.quality)) {}
  bool NextPacket(int index, bool newHeader, std::string& packet) override {
    fake::StreamSettings s = settings_;
    // 5 ms steps; every other interval one step longer, the next one step shorter.
    const auto i = static_cast<std::uint32_t>(index);
    s.timeSteps = 40 + i * static_cast<std::uint32_t>(200 / s.fps) + (i % 2);
    const auto len = static_cast<std::uint32_t>(jpeg_.size());
    packet = (newHeader ? fake::DefaultStreamProducer::HeaderV1(s, len) : fake::DefaultStreamProducer::HeaderV0(s, len)) +
             jpeg_;
    return true;
  }

 private:
  fake::StreamSettings settings_;
  std::string jpeg_;
};

// The pipeline's half of the session record: decoded slot, its semaphores, the show thread's
// events and the mailbox, as the session's resources make them.
struct Pipeline {
  SessionRecord rec;
  plat::HANDLE quit = plat::CreateEvent(true, false);
  std::vector<std::uint8_t> decoded = std::vector<std::uint8_t>(kPictureBufferSize);
  std::vector<std::uint8_t> screen = std::vector<std::uint8_t>(kPictureBufferSize);
  std::uint16_t port = 0;
  std::atomic<int> pictures{0};
  std::atomic<bool> failed{false};

  Pipeline() {
    rec.ApplyStartValues();
    rec.h_EndofShowImageEvent = plat::CreateEvent(true, false);
    rec.h_StartToShowImageEvent = plat::CreateEvent(false, true);
    rec.h_FinishShowImageJobEvent = plat::CreateEvent(false, false);
    rec.JPEGImageBufferRelSem = plat::CreateSemaphore(0, 1);
    rec.h_FreeDecodedSem = plat::CreateSemaphore(1, 1);
    rec.h_KernelMessageLockSem = plat::CreateSemaphore(1, 1);
    rec.h_KernelMessagePostSem = plat::CreateSemaphore(0, 1);
    rec.lp_DecodedBuffer = decoded.data();
    rec.w_DecodeSlots = 1;
  }
  ~Pipeline() {
    for (plat::HANDLE h : {quit, rec.h_EndofShowImageEvent.load(), rec.h_StartToShowImageEvent.load(),
                           rec.h_FinishShowImageJobEvent.load(), rec.JPEGImageBufferRelSem.load(),
                           rec.h_FreeDecodedSem.load(), rec.h_KernelMessageLockSem.load(),
                           rec.h_KernelMessagePostSem.load()})
      plat::CloseHandle(h);
  }
};

// Receives the stream, cuts the pictures and decodes each into the decoded slot once the show
// thread has given it back, with the interval between its header time and the last one.
plat::DWORD ReceiveThread(Pipeline& p) {
  CBlockingSocket sock;
  try {
    sock.Create(CBlockingSocket::kStream);
    sock.Connect(CSockAddr("127.0.0.1", p.port), 5);
    const std::string request = "GET /Getvideo.cgi?CH=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    sock.Send(request.data(), request.size(), 5);
  } catch (...) {
    p.failed = true;
    return 1;
  }
  StreamParser parser(kSlot);
  parser.SetFormat(false, false);
  std::vector<std::uint8_t> slot(kSlot);
  std::uint32_t previousTime = 0;
  while (plat::WaitForSingleObject(p.quit, 0) == plat::WAIT_TIMEOUT) {
    const auto step = parser.Run(slot.data());
    if (step != StreamParser::Step::Frame) {
      const int n = sock.Receive(parser.WritePtr(), std::min(parser.WriteSpace(), StreamParser::kReadChunk), 5);
      if (n <= 0) break;
      parser.Commit(static_cast<std::size_t>(n));
      continue;
    }
    const std::uint32_t time = parser.LastHeader().dwTimeMs;
    const std::int32_t interval = FrameInterval(previousTime, time);
    previousTime = time;
    plat::HANDLE waits[] = {p.quit, p.rec.h_FreeDecodedSem.load()};
    if (plat::WaitForMultipleObjects(2, waits, plat::FALSE_, plat::INFINITE) != plat::WAIT_OBJECT_0 + 1) break;
    plat::WORD w = 0, h = 0;
    if (!DecodeJpegImage(slot.data(), parser.LastFrameLength(), p.decoded.data(), p.decoded.size(), &w, &h)) {
      p.failed = true;
      break;
    }
    p.rec.dw_FrameInterval[0] = interval;
    plat::ReleaseSemaphore(p.rec.JPEGImageBufferRelSem.load(), 1);
  }
  sock.Cleanup();
  return 0;
}

// The mailbox worker's part of a draw: copy the picture to the screen and tell the show thread.
plat::DWORD MailboxThread(Pipeline& p) {
  for (;;) {
    plat::HANDLE waits[] = {p.quit, p.rec.h_KernelMessagePostSem.load()};
    if (plat::WaitForMultipleObjects(2, waits, plat::FALSE_, plat::INFINITE) != plat::WAIT_OBJECT_0 + 1) return 0;
    if (const std::uint8_t* frame = p.rec.lp_CurrentFrame.load()) std::memcpy(p.screen.data(), frame, 640 * 480 * 3);
    ++p.pictures;
    plat::ReleaseSemaphore(p.rec.h_KernelMessageLockSem.load(), 1);
    plat::SetEvent(p.rec.h_FinishShowImageJobEvent.load());
  }
}

struct Running {
  Pipeline& p;
  std::vector<plat::HANDLE> idle, workers;
  explicit Running(Pipeline& pipeline, bool stream) : p(pipeline) {
    p.rec.C_MMTimer.SetResolution();
    p.rec.C_MMTimer.Start("K47R");
    for (int i = 0; i < kIdleThreads; ++i)
      idle.push_back(plat::CreateThread([this] { return plat::WaitForSingleObject(p.quit, plat::INFINITE); }, nullptr, "idle"));
    if (stream) workers.push_back(plat::CreateThread([this] { return ReceiveThread(p); }, nullptr, "receive"));
    workers.push_back(plat::CreateThread([this] { return MailboxThread(p); }, nullptr, "mailbox"));
    workers.push_back(plat::CreateThread([this] { return Jpeg_Show_Image_Data_Thread(&p.rec); }, nullptr, "show"));
  }
  std::uint64_t ShowWaitWakeups() const { return plat::ThreadWaitWakeups(workers.back()); }
  std::uint64_t IdleWakeups() const {
    std::uint64_t n = 0;
    for (auto h : idle) n += plat::ThreadWaitWakeups(h);
    return n;
  }
  ~Running() {
    plat::SetEvent(p.quit);
    plat::SetEvent(p.rec.h_EndofShowImageEvent.load());
    for (auto h : idle) {
      plat::WaitForSingleObject(h, 5000);
      plat::CloseHandle(h);
    }
    for (auto h : workers) {
      plat::StopThread(h, 5000);
      plat::CloseHandle(h);
    }
    p.rec.C_MMTimer.Stop();
  }
};

// Measures one window of `seconds` and sets the counters.
void Measure(benchmark::State& state, Pipeline& p, const Running& run, int seconds) {
  double cpu = 0, wall = 0;
  int pictures = 0;
  std::uint64_t idleWakeups = 0, showWaits = 0;
  std::map<std::string, ThreadUse> use;
  for (auto _ : state) {
    const std::uint64_t wake0 = run.IdleWakeups();
    const std::uint64_t show0 = run.ShowWaitWakeups();
    const int pic0 = p.pictures;
    const auto before = UseByThread();
    const auto w0 = std::chrono::steady_clock::now();
    const double c0 = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    cpu += ProcessCpuSeconds() - c0;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    const auto after = UseByThread();
    pictures += p.pictures - pic0;
    idleWakeups += run.IdleWakeups() - wake0;
    showWaits += run.ShowWaitWakeups() - show0;
    for (const auto& [name, u] : after) {
      auto it = before.find(name);
      const ThreadUse b = it == before.end() ? ThreadUse{} : it->second;
      use[name].wakeups += u.wakeups - b.wakeups;
      use[name].preemptions += u.preemptions - b.preemptions;
      use[name].cpuTicks += u.cpuTicks - b.cpuTicks;
    }
  }
  const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
  double clientTicks = 0;
  for (const char* name : {"show", "mmtimer", "receive", "mailbox", "idle"}) clientTicks += use[name].cpuTicks;
  state.counters["cpu%_of_core"] = 100.0 * cpu / wall;
  state.counters["client_cpu%"] = 100.0 * clientTicks / tick / wall;
  state.counters["pictures/s"] = pictures / wall;
  state.counters["idle_wakeups"] = static_cast<double>(idleWakeups);
  for (const char* name : {"show", "mmtimer", "receive", "mailbox"}) {
    state.counters[std::string("wake/s:") + name] = static_cast<double>(use[name].wakeups) / wall;
    state.counters[std::string("preempt/s:") + name] = static_cast<double>(use[name].preemptions) / wall;
  }
  if (pictures > 0) {
    state.counters["show_wakes/frame"] = static_cast<double>(use["show"].wakeups) / pictures;
    state.counters["show_waits_woken/frame"] = static_cast<double>(showWaits) / pictures;
  }
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
  recorder.SetStreamProducer(std::make_shared<TimedProducer>(settings));
  if (!recorder.Start()) {
    state.SkipWithError("the fake recorder cannot listen");
    return;
  }
  Pipeline p;
  p.port = recorder.Port();
  {
    Running run(p, true);
    // Settle: connection made and the first pictures through.
    std::this_thread::sleep_for(std::chrono::milliseconds(fps >= 5 ? 500 : 1500));
    Measure(state, p, run, fps >= 5 ? 4 : 6);
    recorder.Stop();
  }
  if (p.failed) state.SkipWithError("the stream failed");
}
BENCHMARK(BM_LiveStreamCpu)->Arg(25)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TimerWithoutPictures(benchmark::State& state) {
  Pipeline p;
  Running run(p, false);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  Measure(state, p, run, 2);
}
BENCHMARK(BM_TimerWithoutPictures)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
