// Platform hot paths of the live view: decoding a full-size picture, encoding a snapshot,
// and handing work between two threads through an event pair; and the start-up's reads of a
// large settings file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/clock.h"
#include "platform/jpeg.h"
#include "platform/kernel.h"
#include "platform/profile.h"
#include "platform/thread.h"

namespace {

// A 720 x 576 bottom-up BGR test picture with gradients and edges (compresses like video).
std::vector<std::uint8_t> TestPicture(int w, int h) {
  std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * 3 * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &px[(static_cast<std::size_t>(y) * w + x) * 3];
      p[0] = static_cast<std::uint8_t>(x * 255 / w);
      p[1] = static_cast<std::uint8_t>(y * 255 / h);
      p[2] = static_cast<std::uint8_t>(((x / 16) + (y / 16)) % 2 ? 200 : 40);
    }
  return px;
}

void BM_JpegDecode720x576(benchmark::State& state) {
  const int w = 720, h = 576;
  auto src = TestPicture(w, h);
  std::vector<std::uint8_t> jpeg;
  if (!plat::JpegEncodeBgrBottomUp(src.data(), w, h, 0, static_cast<int>(state.range(0)), jpeg)) {
    state.SkipWithError("encode failed");
    return;
  }
  std::vector<std::uint8_t> dst(src.size());
  for (auto _ : state) {
    int dw, dh;
    bool ok = plat::JpegDecodeBgrBottomUp(jpeg.data(), jpeg.size(), dst.data(), dst.size(), dw, dh);
    benchmark::DoNotOptimize(ok);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(jpeg.size()));
  state.counters["jpeg_bytes"] = static_cast<double>(jpeg.size());
}
BENCHMARK(BM_JpegDecode720x576)->Arg(50)->Arg(90);

void BM_JpegEncode720x576(benchmark::State& state) {
  const int w = 720, h = 576;
  auto src = TestPicture(w, h);
  std::vector<std::uint8_t> out;
  for (auto _ : state) {
    bool ok = plat::JpegEncodeBgrBottomUp(src.data(), w, h, 0, 75, out);
    benchmark::DoNotOptimize(ok);
  }
}
BENCHMARK(BM_JpegEncode720x576);

// One round trip: set the partner's event, wait for its answer.
void BM_EventPingPong(benchmark::State& state) {
  plat::HANDLE ping = plat::CreateEvent(false, false);
  plat::HANDLE pong = plat::CreateEvent(false, false);
  plat::HANDLE partner = plat::CreateThread([ping, pong]() -> plat::DWORD {
    for (;;) {
      plat::WaitForSingleObject(ping, plat::INFINITE);
      plat::SetEvent(pong);
    }
  });
  for (auto _ : state) {
    plat::SetEvent(ping);
    plat::WaitForSingleObject(pong, plat::INFINITE);
  }
  plat::StopThread(partner, 0);
  for (plat::HANDLE h : {partner, ping, pong}) plat::CloseHandle(h);
}
BENCHMARK(BM_EventPingPong)->UseRealTime();

// The start-up reads 50 keys of a 1 MB settings file full of lines kept from elsewhere (free
// text and foreign sections with keys). Before each round the file changes (one value, same
// size), as between two starts, so each round begins with a file it has not read.
void BM_SettingsStartupReads(benchmark::State& state) {
  char folder[] = "/tmp/bench-profile-XXXXXX";
  if (!::mkdtemp(folder)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string file = std::string(folder) + "/Setting.ini";
  std::string head = "[Setting]\r\n";
  for (int k = 0; k < 50; ++k) head += "Key" + std::to_string(k) + "=" + std::to_string(1000 + k) + "\r\n";
  std::string junk;
  for (int i = 0; junk.size() < (1u << 20); ++i) {
    if (i % 10 == 0) junk += "[Imported " + std::to_string(i) + "]\r\n";
    if (i % 3 == 0) {
      junk += "note " + std::to_string(i) + ": copied from another machine, keep as it is\r\n";
    } else {
      junk += "Entry" + std::to_string(i) + "=value " + std::to_string(i * 7) + "\r\n";
    }
  }
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::string text = head;
    text.replace(text.find("1000"), 4, std::to_string(1000 + round++ % 9000));
    std::ofstream(file, std::ios::binary) << text << junk;
    state.ResumeTiming();
    int sum = 0;
    for (int k = 0; k < 50; ++k) sum += plat::GetPrivateProfileInt("Setting", "Key" + std::to_string(k), 0, file);
    benchmark::DoNotOptimize(sum);
  }
  std::remove(file.c_str());
  ::rmdir(folder);
  state.counters["file_bytes"] = static_cast<double>(head.size() + junk.size());
}
BENCHMARK(BM_SettingsStartupReads)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
