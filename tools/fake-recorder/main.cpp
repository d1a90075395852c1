// fake-recorder: runs the test recorder on 127.0.0.1 until interrupted.
//   fake-recorder [--port N] [--model K41R] [--firmware 1046] [--user admin] [--password 1234]
//                 [--session ID] [--busy] [--status500] [--fps N] [--width W] [--height H]
//                 [--format auto|v0|v1] [--alarm WORD] [--motion WORD] [--discovery PORT REPLYPORT]
//                 faults: [--cut-after N] [--stall-after N] [--short-header] [--bad-picture]
//                         [--split-frames] [--drip-frames] [--garbage-first] [--drip-replies]
//                         [--split-replies] [--never-answer] [--refuse MS]
//                 sections: [--patterned-sections] [--section NAME FILE]... [--fail-set NAME]...
//                           [--reboot-outage MS] (default 5000)
//                 firmware: [--fw-version TEXT] [--fail-chunk K status|drop|stall] [--fail-raw]
//                           [--user-level N]
// Each request is logged: its target, path, parameters and body bytes.
// While it runs, lines on standard input change the stream's words for the next frames:
//   "alarm WORD", "motion WORD" (WORD decimal or 0x hexadecimal), "clear" (no words).
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/FakeRecorder.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

int Usage() {
  std::fprintf(stderr,
               "usage: fake-recorder [--port N] [--model CODE] [--firmware VVVV] [--user U] [--password P]\n"
               "                     [--session ID] [--busy] [--status500] [--fps N] [--width W] [--height H]\n"
               "                     [--format auto|v0|v1] [--alarm WORD] [--motion WORD]\n"
               "                     [--discovery PORT REPLYPORT]\n"
               "  faults: [--cut-after N] [--stall-after N] [--short-header] [--bad-picture] [--split-frames]\n"
               "          [--drip-frames] [--garbage-first] [--drip-replies] [--split-replies] [--never-answer]\n"
               "          [--refuse MS]\n"
               "  sections: [--patterned-sections] [--section NAME FILE]... [--fail-set NAME]...\n"
               "            [--reboot-outage MS]\n"
               "  firmware: [--fw-version TEXT] [--fail-chunk K status|drop|stall] [--fail-raw] [--user-level N]\n"
               "  standard input while running: alarm WORD | motion WORD | clear\n");
  return 2;
}

// One line of standard input: a new alarm or motion word for the frames that follow.
bool ApplyControlLine(const std::string& line, fake::StreamSettings& stream) {
  if (line == "clear") {
    stream.alarmWord.reset();
    stream.motionWord.reset();
    return true;
  }
  const std::size_t blank = line.find(' ');
  if (blank == std::string::npos) return false;
  const std::string word = line.substr(0, blank);
  const std::string number = line.substr(blank + 1);
  char* end = nullptr;
  const unsigned long value = std::strtoul(number.c_str(), &end, 0);
  if (number.empty() || end == number.c_str() || *end != '\0' || value > 0xFFFF) return false;
  if (word == "alarm") {
    stream.alarmWord = static_cast<std::uint16_t>(value);
  } else if (word == "motion") {
    stream.motionWord = static_cast<std::uint16_t>(value);
  } else {
    return false;
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  fake::Identity id;
  fake::StreamSettings stream;
  fake::StreamFaults faults;
  unsigned port = 8080;
  bool busy = false, status500 = false;
  bool dripReplies = false, splitReplies = false, neverAnswer = false;
  int refuseMs = 0;
  bool plausible = true;
  std::vector<std::string> failSet;
  int rebootOutageMs = 5000;
  std::vector<std::pair<std::string, std::string>> sectionFiles;
  unsigned discoveryPort = 0, discoveryReply = 0;
  std::string fwVersion;
  int failChunk = 0;
  fake::FakeFirmware::ChunkFault chunkFault = fake::FakeFirmware::ChunkFault::None;
  bool failRaw = false;
  int userLevel = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--busy") busy = true;
    else if (a == "--status500") status500 = true;
    else if (a == "--short-header") faults.headerLongerThanData = true;
    else if (a == "--bad-picture") faults.badPictureStart = true;
    else if (a == "--split-frames") faults.splitHeaderAndPicture = true;
    else if (a == "--drip-frames") faults.drip = true;
    else if (a == "--garbage-first") faults.garbageBeforeFirst = true;
    else if (a == "--drip-replies") dripReplies = true;
    else if (a == "--split-replies") splitReplies = true;
    else if (a == "--never-answer") neverAnswer = true;
    else if (a == "--cut-after" && (v = next())) faults.cutAfterFrames = std::atoi(v);
    else if (a == "--stall-after" && (v = next())) faults.stallAfterFrames = std::atoi(v);
    else if (a == "--refuse" && (v = next())) refuseMs = std::atoi(v);
    else if (a == "--patterned-sections") plausible = false;
    else if (a == "--fail-set" && (v = next())) failSet.push_back(v);
    else if (a == "--reboot-outage" && (v = next())) rebootOutageMs = std::atoi(v);
    else if (a == "--fw-version" && (v = next())) fwVersion = v;
    else if (a == "--fail-raw") failRaw = true;
    else if (a == "--user-level" && (v = next())) userLevel = std::atoi(v);
    else if (a == "--fail-chunk" && i + 2 < argc) {
      failChunk = std::atoi(argv[++i]);
      const std::string mode = argv[++i];
      if (mode == "status") chunkFault = fake::FakeFirmware::ChunkFault::Status;
      else if (mode == "drop") chunkFault = fake::FakeFirmware::ChunkFault::Drop;
      else if (mode == "stall") chunkFault = fake::FakeFirmware::ChunkFault::Stall;
      else return Usage();
    }
    else if (a == "--section" && i + 2 < argc) {
      sectionFiles.emplace_back(argv[i + 1], argv[i + 2]);
      i += 2;
    }
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
  recorder.SetStreamFaults(faults);
  recorder.SetDripReplies(dripReplies);
  recorder.SetSplitReplies(splitReplies);
  recorder.SetNeverAnswer(neverAnswer);
  if (!fwVersion.empty()) recorder.Firmware().SetVersion(fwVersion);
  if (failChunk > 0) recorder.Firmware().FailChunk(failChunk, chunkFault, 500);
  recorder.Firmware().FailRawUploads(failRaw);
  if (userLevel >= 0) {
    recorder.SetDeviceInfo("LIFETIME=60;MULTICH=0;VIDEOMODE=0;USERLEVEL=" + std::to_string(userLevel) +
                           ";Boot-Version=B100;2041-Version=V200;FPGA-Version=F300;");
  }
  if (!recorder.Start(static_cast<std::uint16_t>(port))) {
    std::fprintf(stderr, "fake-recorder: cannot listen on 127.0.0.1:%u\n", port);
    return 1;
  }
  if (plausible) recorder.SetPlausibleSections();
  for (const auto& [option, path] : sectionFiles) {
    if (!recorder.LoadSectionFile(option, path)) {
      std::fprintf(stderr, "fake-recorder: section %s: cannot take %s (unknown name, unreadable or wrong size)\n",
                   option.c_str(), path.c_str());
      recorder.Stop();
      return 1;
    }
  }
  for (const std::string& option : failSet) recorder.FailSetSysCfg(option, true);
  recorder.SetRebootOutage(rebootOutageMs);
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
  if (refuseMs > 0) recorder.RefuseConnectionsFor(refuseMs);
  std::size_t seen = 0;
  std::string pending;
  bool input = true;
  while (!g_stop) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    if (input && ::poll(&p, 1, 100) > 0) {
      char buf[256];
      const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
      if (n <= 0) {
        input = false;  // standard input closed: keep serving
      } else {
        pending.append(buf, static_cast<std::size_t>(n));
        for (std::size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
          std::string line = pending.substr(0, eol);
          pending.erase(0, eol + 1);
          if (!line.empty() && line.back() == '\r') line.pop_back();
          if (line.empty()) continue;
          if (ApplyControlLine(line, stream)) {
            recorder.SetStreamSettings(stream);
            std::printf("stream words: alarm %s, motion %s\n",
                        stream.alarmWord ? std::to_string(*stream.alarmWord).c_str() : "none",
                        stream.motionWord ? std::to_string(*stream.motionWord).c_str() : "none");
          } else {
            std::printf("unknown command: %s (alarm WORD | motion WORD | clear)\n", line.c_str());
          }
        }
        if (pending.size() > 1024) pending.clear();  // no line ending: drop it
      }
    } else if (!input) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const auto requests = recorder.Requests();
    for (; seen < requests.size(); ++seen) {
      const fake::RecordedRequest& r = requests[seen];
      std::printf("request: %s\n", r.target().c_str());
      std::printf("  path: %s\n", r.path.c_str());
      for (const auto& [name, value] : r.query) std::printf("  param: %s=%s\n", name.c_str(), value.c_str());
      if (!r.body.empty()) {
        std::printf("  body: %zu bytes:", r.body.size());
        for (unsigned char b : r.body) std::printf(" %02X", b);
        std::printf("\n");
      }
    }
    std::fflush(stdout);
  }
  recorder.Stop();
  return 0;
}
