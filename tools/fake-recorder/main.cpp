// fake-recorder: runs the test recorder on 127.0.0.1 until interrupted.
//   fake-recorder [--port N] [--model K41R] [--firmware 1046] [--user admin] [--password 1234]
//                 [--session ID] [--busy] [--status500] [--fps N] [--width W] [--height H]
//                 [--format auto|v0|v1] [--alarm WORD] [--motion WORD] [--discovery PORT REPLYPORT]
//                 faults: [--cut-after N] [--stall-after N] [--short-header] [--bad-picture]
//                         [--split-frames] [--drip-frames] [--garbage-first] [--drip-replies]
//                         [--split-replies] [--never-answer] [--refuse MS]
//                 sections: [--patterned-sections] [--section NAME FILE]... [--fail-set NAME]...
//                           [--reboot-outage MS] (default 5000)
//                 recorder settings: [--dvr-date "KEY=V;..."] [--record-setting "KEY=V;..."]
//                                    [--fail-command PATH]...
//                 device: [--capability WORD] (INF capability word) [--multich N] (MULTICH)
//                         [--user-level N] [--video-mode 0|1] [--device-info TEXT] [--retr 0|1]
//                         [--sensor BYTE] [--slaves TEXT] [--color CON,BRI,HUE] [--res-size RES WxH]...
//                 recordings: [--disks MASK] [--recordings N] [--page-size N] [--fail-disks]
//                             [--fail-search] [--hold-search] [--fail-playback] [--backup-bytes N] [--backup-chunk N]
//                             [--backup-end end|abort|close|stall] [--backup-pause MS]
//                             [--backup-cut K] [--backup-stall K] [--backup-foreign K] [--backup-refuse]
//                 event log: [--log-records N] [--log-page N] [--log-seed N] [--log-count-reply TEXT]
//                            [--log-trailing N] [--log-fail-page N] [--log-stall-page N] [--log-fail-clear]
//                 firmware: [--fw-version TEXT] [--fail-chunk K status|drop|stall] [--fail-raw]
//                          
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
               "  recorder settings: [--dvr-date \"KEY=V;...\"] [--record-setting \"KEY=V;...\"]\n"
               "                     [--fail-command PATH]...\n"
               "  device: [--capability WORD] [--multich N]\n"
               "          [--user-level N] [--video-mode 0|1] [--device-info TEXT]\n"
               "          [--retr 0|1] [--sensor BYTE] [--slaves TEXT]\n"
               "          [--color CON,BRI,HUE] [--res-size RES WxH]...\n"
               "  recordings: [--disks MASK] [--recordings N] [--page-size N] [--fail-disks] [--fail-search]\n"
               "              [--hold-search]\n"
               "              [--fail-playback] [--backup-bytes N] [--backup-chunk N]\n"
               "              [--backup-end end|abort|close|stall] [--backup-pause MS] [--backup-cut K]\n"
               "              [--backup-stall K] [--backup-foreign K] [--backup-refuse]\n"
               "  event log: [--log-records N] [--log-page N] [--log-seed N] [--log-count-reply TEXT]\n"
               "             [--log-trailing N] [--log-fail-page N] [--log-stall-page N] [--log-fail-clear]\n"
               "  firmware: [--fw-version TEXT] [--fail-chunk K status|drop|stall] [--fail-raw]\n"
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
  fake::EventLogSettings eventLog;
  unsigned port = 8080;
  bool busy = false, status500 = false;
  bool dripReplies = false, splitReplies = false, neverAnswer = false;
  int refuseMs = 0;
  bool plausible = true;
  std::vector<std::string> failSet;
  std::string dvrDate, recordSetting;
  std::vector<std::string> failCommands;
  fake::RecordingsSettings recordings;
  fake::BackupSettings backup;
  int recordingCount = 40;
  int rebootOutageMs = 5000;
  long long capability = -1;
  int multich = -1;
  std::vector<std::pair<std::string, std::string>> sectionFiles;
  unsigned discoveryPort = 0, discoveryReply = 0;
  int userLevel = -1, videoMode = -1, retr = -1, sensor = -1;
  const char* deviceInfo = nullptr;
  const char* slaves = nullptr;
  const char* color = nullptr;
  std::vector<std::pair<int, std::string>> resSizes;
  std::string fwVersion;
  int failChunk = 0;
  fake::FakeFirmware::ChunkFault chunkFault = fake::FakeFirmware::ChunkFault::None;
  bool failRaw = false;
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
    else if (a == "--dvr-date" && (v = next())) dvrDate = v;
    else if (a == "--record-setting" && (v = next())) recordSetting = v;
    else if (a == "--fail-command" && (v = next())) failCommands.push_back(v);
    else if (a == "--capability" && (v = next())) capability = static_cast<long long>(std::strtoul(v, nullptr, 0));
    else if (a == "--multich" && (v = next())) multich = std::atoi(v);
    else if (a == "--user-level" && (v = next())) userLevel = std::atoi(v);
    else if (a == "--video-mode" && (v = next())) videoMode = std::atoi(v);
    else if (a == "--device-info" && (v = next())) deviceInfo = v;
    else if (a == "--retr" && (v = next())) retr = std::atoi(v);
    else if (a == "--sensor" && (v = next())) sensor = static_cast<int>(std::strtoul(v, nullptr, 0));
    else if (a == "--slaves" && (v = next())) slaves = v;
    else if (a == "--color" && (v = next())) color = v;
    else if (a == "--res-size" && i + 2 < argc) {
      resSizes.emplace_back(std::atoi(argv[i + 1]), argv[i + 2]);
      i += 2;
    }
    else if (a == "--log-records" && (v = next())) eventLog.records = std::atoi(v);
    else if (a == "--log-page" && (v = next())) eventLog.pageRecords = std::atoi(v);
    else if (a == "--log-seed" && (v = next())) eventLog.seed = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10));
    else if (a == "--log-count-reply" && (v = next())) eventLog.countReply = v;
    else if (a == "--log-trailing" && (v = next())) eventLog.trailingBytes = std::atoi(v);
    else if (a == "--log-fail-page" && (v = next())) eventLog.failPage = std::atoi(v);
    else if (a == "--log-stall-page" && (v = next())) eventLog.stallPage = std::atoi(v);
    else if (a == "--log-fail-clear") eventLog.failClear = true;
    else if (a == "--fw-version" && (v = next())) fwVersion = v;
    else if (a == "--fail-raw") failRaw = true;
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
    } else if (a == "--disks" && (v = next())) {
      // Disk bits as a number (bit b: disk b), the low 32 disks.
      const unsigned long mask = std::strtoul(v, nullptr, 0);
      recordings.diskReply.assign(33, '\0');
      for (int k = 0; k < 4; ++k) recordings.diskReply[static_cast<std::size_t>(k)] = static_cast<char>((mask >> (8 * k)) & 0xFF);
    } else if (a == "--recordings" && (v = next())) {
      recordingCount = std::atoi(v);
    } else if (a == "--page-size" && (v = next())) {
      recordings.pageSize = std::atoi(v);
    } else if (a == "--fail-disks") {
      recordings.failDiskList = true;
    } else if (a == "--fail-search") {
      recordings.failSearchList = true;
    } else if (a == "--hold-search") {
      recordings.holdSearchList = true;  // search-list requests are never answered
    } else if (a == "--fail-playback") {
      recordings.failPlayback = true;
    } else if (a == "--backup-bytes" && (v = next())) {
      backup.totalBytes = std::strtoul(v, nullptr, 10);
    } else if (a == "--backup-chunk" && (v = next())) {
      backup.chunkSize = std::strtoul(v, nullptr, 10);
    } else if (a == "--backup-end" && (v = next())) {
      const std::string e = v;
      backup.end = e == "abort"   ? fake::BackupSettings::End::Abort
                   : e == "close" ? fake::BackupSettings::End::Close
                   : e == "stall" ? fake::BackupSettings::End::Stall
                                  : fake::BackupSettings::End::EndChunk;
    } else if (a == "--backup-pause" && (v = next())) {
      backup.pauseMsPerChunk = std::atoi(v);
    } else if (a == "--backup-cut" && (v = next())) {
      backup.cutInsideChunk = std::atoi(v);
    } else if (a == "--backup-stall" && (v = next())) {
      backup.stallAfterChunks = std::atoi(v);
    } else if (a == "--backup-foreign" && (v = next())) {
      backup.foreignBefore.push_back(std::strtoul(v, nullptr, 10));
    } else if (a == "--backup-refuse") {
      backup.httpHead = true;
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
  {
    // Recordings on every listed disk: alarms, motions, manual, system and timer records,
    // one every ten minutes from 2007-01-22 08:00.
    const std::uint8_t types[] = {0x00, 0x13, 0x30, 0xF0, 0x20, 0x02, 0x11};
    for (unsigned b = 0; b < 32; ++b) {
      if (!(static_cast<std::uint8_t>(recordings.diskReply[b / 8]) & (1u << (b % 8)))) continue;
      for (int k = 0; k < recordingCount; ++k) {
        const int minutes = 8 * 60 + k * 10;
        recordings.lists[static_cast<int>(b)].push_back(fake::FakeRecorder::SearchRecord(
            types[static_cast<std::size_t>(k) % sizeof types], 2007, 1, 22 + minutes / (24 * 60), (minutes / 60) % 24,
            minutes % 60, 0));
      }
    }
  }
  recorder.SetRecordings(recordings);
  recorder.SetBackup(backup);
  recorder.SetEventLog(eventLog);
  if (!fwVersion.empty()) recorder.Firmware().SetVersion(fwVersion);
  if (failChunk > 0) recorder.Firmware().FailChunk(failChunk, chunkFault, 500);
  recorder.Firmware().FailRawUploads(failRaw);
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
  // After the section files: the switch wins over an INF from a file.
  if (capability >= 0) recorder.SetCapabilityWord(static_cast<std::uint32_t>(capability));
  if (multich >= 0) recorder.SetMultiChannel(multich);
  for (const std::string& option : failSet) recorder.FailSetSysCfg(option, true);
  if (deviceInfo) {
    recorder.SetDeviceInfo(deviceInfo);
  } else if (userLevel >= 0 || multich >= 0 || videoMode >= 0) {
    recorder.SetDeviceInfo("LIFETIME=60;MULTICH=" + std::to_string(multich < 0 ? 0 : multich) +
                           ";VIDEOMODE=" + std::to_string(videoMode < 0 ? 0 : videoMode) +
                           ";USERLEVEL=" + std::to_string(userLevel < 0 ? 30 : userLevel) +
                           ";Boot-Version=B100;2041-Version=V200;FPGA-Version=F300;");
  }
  if (retr >= 0) {
    recorder.SetRetrState(static_cast<std::uint8_t>(retr != 0));
    recorder.SetReportRetr(true);
  }
  if (sensor >= 0) recorder.SetSensorState(static_cast<std::uint8_t>(sensor));
  if (slaves) recorder.SetPtzSlaveReply(slaves);
  if (color) {
    int con = 0, bri = 0, hue = 0;
    if (std::sscanf(color, "%d,%d,%d", &con, &bri, &hue) != 3) return Usage();
    recorder.SetColor(fake::FakeRecorder::Color{con, bri, hue});
  }
  for (const auto& [res, size] : resSizes) {
    int w = 0, h = 0;
    if (std::sscanf(size.c_str(), "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0) return Usage();
    recorder.SetResolutionSize(res, w, h);
  }
  recorder.SetRebootOutage(rebootOutageMs);
  recorder.SetDvrDateValues(dvrDate);
  recorder.SetRecordSettingValues(recordSetting);
  for (const std::string& path : failCommands) recorder.FailCommand(path, true);
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
