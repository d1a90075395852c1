// The raw firmware upload's data phase: one 32 MB component sent by the upload thread to the
// fake recorder on 127.0.0.1, against the same head and bytes written in 1300-byte writes on a
// plain socket to the same recorder. Each run ends when the recorder holds the whole component.
// One run each (target: at most 1.2 times the plain writes). The protocol's settling waits
// (keep-alive, head, closing: 5 s in all) run on a test clock a hundred times fast.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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
  std::size_t uploads = 0;
  for (auto _ : state) {
    // The package is read before an upload starts: making it is not part of the data phase.
    state.PauseTiming();
    auto job = std::make_unique<FirmwareUploadJob>();
    job->variant = fw::Variant::RawPackage;
    job->package.records.push_back(FirmwareRecord{1, std::vector<std::uint8_t>(kComponent, 0x5A)});
    job->package.dwFileSize = kComponent + 4;
    job->total = job->package.dwFileSize;
    state.ResumeTiming();
    const plat::HANDLE thread = StartFirmwareUpload(std::move(job));
    plat::WaitForSingleObject(thread, plat::INFINITE);
    plat::CloseHandle(thread);
    // Done when the recorder holds the whole component, as the plain run ends when its reader has
    // drained the connection.
    if (recorder.Firmware().WaitComponents(++uploads, 10000) != kComponent) {
      state.SkipWithError("the recorder did not get the whole component");
      break;
    }
  }
  plat::SetTimeScale(1);
  g_lpApp = nullptr;
  recorder.Stop();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kComponent));
}
BENCHMARK(BM_RawUploadThread)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainSocketWrites(benchmark::State& state) {
  fake::FakeRecorder recorder;
  if (!recorder.Start()) {
    state.SkipWithError("the fake recorder cannot listen");
    return;
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(recorder.Port());
  const std::string head = "GET /UpgradeFW2.cgi?Cookie=" + recorder.GetIdentity().sessionId +
                           "&FILESIZE=" + std::to_string(kComponent) + "&Type=1&REBOOT=1 HTTP/1.1\r\n\r\n";
  const std::vector<std::uint8_t> data(kComponent, 0x5A);
  std::size_t uploads = 0;
  for (auto _ : state) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
              ::send(fd, head.data(), head.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(head.size());
    for (std::size_t off = 0; ok && off < data.size(); off += 1300) {
      const std::size_t n = std::min<std::size_t>(1300, data.size() - off);
      std::size_t sent = 0;
      while (ok && sent < n) {
        const ssize_t w = ::send(fd, data.data() + off + sent, n - sent, MSG_NOSIGNAL);
        ok = w > 0;
        if (ok) sent += static_cast<std::size_t>(w);
      }
    }
    if (!ok || recorder.Firmware().WaitComponents(++uploads, 10000) != kComponent) {
      ::close(fd);
      state.SkipWithError("the recorder did not get the whole component");
      break;
    }
    ::close(fd);
  }
  recorder.Stop();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kComponent));
}
BENCHMARK(BM_PlainSocketWrites)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
