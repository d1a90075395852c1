// fake-recorder: runs the test recorder on 127.0.0.1 until interrupted.
//   fake-recorder [--port N] [--model K41R] [--firmware 1046] [--user admin] [--password 1234]
//                 [--session ID] [--busy] [--status500] [--fps N] [--width W] [--height H]
//                 [--format auto|v0|v1] [--alarm WORD] [--motion WORD] [--discovery PORT REPLYPORT]
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tests/support/FakeRecorder.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

int Usage() {
  std::fprintf(stderr,
               "usage: fake-recorder [--port N] [--model CODE] [--firmware VVVV] [--user U] [--password P]\n"
               "                     [--session ID] [--busy] [--status500] [--fps N] [--width W] [--height H]\n"
               "                     [--format auto|v0|v1] [--alarm WORD] [--motion WORD]\n"
               "                     [--discovery PORT REPLYPORT]\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  fake::Identity id;
  fake::StreamSettings stream;
  unsigned port = 8080;
  bool busy = false, status500 = false;
  unsigned discoveryPort = 0, discoveryReply = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--busy") busy = true;
    else if (a == "--status500") status500 = true;
    else if ((a == "--port") && (v = next())) port = std::strtoul(v, nullptr, 10);
    else if (a == "--model" && (v = next())) id.productId = v;
    else if (a == "--firmware" && (v = next())) id.firmware = v;
    else if (a == "--user" && (v = next())) id.user = v;
    else if (a == "--password" && (v = next())) id.password = v;
    else if (a == "--session" && (v = next())) id.sessionId = v;
    else if (a == "--fps" && (v = next())) stream.fps = std::atoi(v);
    else if (a == "--width" && (v = next())) stream.width = std::atoi(v);
    else if (a == "--height" && (v = next())) stream.height = std::atoi(v);
    else if (a == "--alarm" && (v = next())) stream.alarmWord = static_cast<std::uint16_t>(std::strtoul(v, nullptr, 0));
    else if (a == "--motion" && (v = next())) stream.motionWord = static_cast<std::uint16_t>(std::strtoul(v, nullptr, 0));
    else if (a == "--format" && (v = next())) {
      const std::string f = v;
      stream.format = f == "v0"   ? fake::StreamSettings::HeaderFormat::V0
                      : f == "v1" ? fake::StreamSettings::HeaderFormat::V1
                                  : fake::StreamSettings::HeaderFormat::Auto;
    } else if (a == "--discovery" && i + 2 < argc) {
      discoveryPort = std::strtoul(argv[++i], nullptr, 10);
      discoveryReply = std::strtoul(argv[++i], nullptr, 10);
    } else {
      return Usage();
    }
  }
  if (port > 65535 || stream.width <= 0 || stream.height <= 0) return Usage();

  fake::FakeRecorder recorder;
  recorder.SetIdentity(id);
  recorder.SetLoginBusy(busy);
  recorder.SetStatus500(status500);
  recorder.SetStreamSettings(stream);
  if (!recorder.Start(static_cast<std::uint16_t>(port))) {
    std::fprintf(stderr, "fake-recorder: cannot listen on 127.0.0.1:%u\n", port);
    return 1;
  }
  if (discoveryPort != 0 &&
      !recorder.StartDiscovery(static_cast<std::uint16_t>(discoveryPort), static_cast<std::uint16_t>(discoveryReply))) {
    std::fprintf(stderr, "fake-recorder: cannot listen for discovery on 127.0.0.1:%u\n", discoveryPort);
    return 1;
  }
  std::printf("fake-recorder: %s firmware %s on 127.0.0.1:%u (user %s)\n", id.productId.c_str(),
              id.firmware.c_str(), recorder.Port(), id.user.c_str());
  std::fflush(stdout);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::size_t seen = 0;
  while (!g_stop) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto requests = recorder.Requests();
    for (; seen < requests.size(); ++seen) std::printf("request: %s\n", requests[seen].target().c_str());
    std::fflush(stdout);
  }
  recorder.Stop();
  return 0;
}
