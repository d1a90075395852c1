// The raw firmware upload's data phase: one 32 MB component sent by the upload thread to the
// fake recorder on 127.0.0.1, against the same bytes written in 1300-byte writes on a plain
// socket to a listener that only drains them. One run each (target: at most 1.2 times the
// plain writes). The protocol's settling waits run on a fast test clock.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "engine/AppRecord.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "session/Firmware.h"
#include "tests/support/FakeRecorder.h"

namespace {

constexpr std::size_t kComponent = 32u << 20;

void BM_RawUploadThread(benchmark::State& state) {
  fake::FakeRecorder recorder;
  if (!recorder.Start()) {
    state.SkipWithError("the fake recorder cannot listen");
    return;
  }
  AppRecord app;
  app.ApplyStartValues();
  g_lpApp = &app;
  g_strLocalIP = "127.0.0.1";
  app.SetServerName("127.0.0.1");
  app.CSettingINI.m_wWebPort.store(recorder.Port());
  plat::SetTimeScale(1000);
  for (auto _ : state) {
    auto job = std::make_unique<FirmwareUploadJob>();
    job->variant = fw::Variant::RawPackage;
    job->package.records.push_back(FirmwareRecord{1, std::vector<std::uint8_t>(kComponent, 0x5A)});
    job->package.dwFileSize = kComponent + 4;
    job->total = job->package.dwFileSize;
    const plat::HANDLE thread = StartFirmwareUpload(std::move(job));
    plat::WaitForSingleObject(thread, plat::INFINITE);
    plat::CloseHandle(thread);
  }
  plat::SetTimeScale(1);
  g_lpApp = nullptr;
  recorder.Stop();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kComponent));
}
BENCHMARK(BM_RawUploadThread)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainSocketWrites(benchmark::State& state) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener, 1) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    state.SkipWithError("cannot listen");
    ::close(listener);
    return;
  }
  const std::vector<std::uint8_t> data(kComponent, 0x5A);
  for (auto _ : state) {
    std::thread drain([listener] {
      const int fd = ::accept(listener, nullptr, nullptr);
      std::vector<char> buf(65536);
      while (::recv(fd, buf.data(), buf.size(), 0) > 0) {
      }
      ::close(fd);
    });
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    for (std::size_t off = 0; off < data.size(); off += 1300) {
      const std::size_t n = std::min<std::size_t>(1300, data.size() - off);
      std::size_t sent = 0;
      while (sent < n) {
        const ssize_t w = ::send(fd, data.data() + off + sent, n - sent, MSG_NOSIGNAL);
        if (w <= 0) break;
        sent += static_cast<std::size_t>(w);
      }
    }
    ::close(fd);
    drain.join();
  }
  ::close(listener);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kComponent));
}
BENCHMARK(BM_PlainSocketWrites)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
