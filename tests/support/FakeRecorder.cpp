#include "tests/support/FakeRecorder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "platform/bytes.h"
#include "platform/jpeg.h"

#include "tests/support/Wire.h"

namespace fake {

namespace {

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
void PauseUs(int us) { std::this_thread::sleep_for(std::chrono::microseconds(us)); }

void Le16(std::string& s, std::uint32_t v) {
  char b[2];
  plat::ByteWriter(b, sizeof b).U16(static_cast<std::uint16_t>(v));
  s.append(b, sizeof b);
}
void Le32(std::string& s, std::uint32_t v) {
  char b[4];
  plat::ByteWriter(b, sizeof b).U32(v);
  s.append(b, sizeof b);
}

// Section sizes and the two orders of the all-in-one reply, as the recorder lays them out.
struct SectionInfo {
  const char* name;
  std::size_t size;
};
const SectionInfo kSections[] = {{"INF", 44},     {"IP", 24},     {"SECURE", 196},  {"DNS", 12},   {"SMTP", 440},
                                 {"FTP", 104},    {"PPPOE", 68},  {"SYSTEM", 36},   {"SNTP", 36},  {"IMG", 12},
                                 {"RS485", 124},  {"ALARM", 24},  {"ONLINE", 240},  {"DVRLIVE", 772},
                                 {"DVROSD", 20},  {"DVRREC", 132}, {"PERI", 16}};
const char* const kVideoServerAll[] = {"INF",  "IP",  "SECURE", "DNS",   "SMTP",  "FTP", "PPPOE",
                                       "SYSTEM", "SNTP", "IMG", "RS485", "ALARM", "PERI"};
const char* const kDvrAll[] = {"INF",  "IP",   "SECURE", "DNS",   "SMTP",    "FTP",    "PPPOE",  "SYSTEM",
                               "SNTP", "IMG",  "RS485",  "ALARM", "DVRLIVE", "DVROSD", "DVRREC"};

// Replaces the value of a known key; unknown keys are ignored.
void SetPairValue(std::vector<std::pair<std::string, int>>& pairs, const std::string& key, int value) {
  for (auto& [k, v] : pairs) {
    if (k == key) v = value;
  }
}

// "KEY=value;KEY=value" into known keys.
void SetPairsFromText(std::vector<std::pair<std::string, int>>& pairs, const std::string& text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find(';', pos);
    if (end == std::string::npos) end = text.size();
    const std::string pair = text.substr(pos, end - pos);
    const std::size_t eq = pair.find('=');
    if (eq != std::string::npos) SetPairValue(pairs, pair.substr(0, eq), std::atoi(pair.c_str() + eq + 1));
    pos = end + 1;
  }
}

// The recorder's own reading of a request target: path, then name=value pairs split on "&".
void SplitTarget(const std::string& target, std::string& path, std::map<std::string, std::string>& query) {
  const std::size_t q = target.find('?');
  path = target.substr(0, q);
  if (q == std::string::npos) return;
  std::size_t pos = q + 1;
  while (pos <= target.size()) {
    std::size_t amp = target.find('&', pos);
    if (amp == std::string::npos) amp = target.size();
    const std::string pair = target.substr(pos, amp - pos);
    const std::size_t eq = pair.find('=');
    if (!pair.empty()) query[pair.substr(0, eq)] = eq == std::string::npos ? "" : pair.substr(eq + 1);
    pos = amp + 1;
  }
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string RecordedRequest::target() const {
  const std::size_t a = head.find(' ');
  if (a == std::string::npos) return {};
  const std::size_t b = head.find(' ', a + 1);
  return head.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
}

// ---- pictures and frame headers -----------------------------------------------------------

std::string MakeJpeg(int width, int height, int quality, int seed) {
  std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &bgr[(static_cast<std::size_t>(y) * width + x) * 3];
      p[0] = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
      p[1] = static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1));
      p[2] = static_cast<std::uint8_t>((seed * 37 + (x / 8 == seed % std::max(1, width / 8) ? 200 : 0)) & 0xFF);
    }
  }
  std::vector<std::uint8_t> out;
  if (!plat::JpegEncodeBgrBottomUp(bgr.data(), width, height, 0, quality, out)) return {};
  std::string jpeg(out.begin(), out.end());
  // Recorders send the quantisation table right after the start marker: drop APPn segments.
  while (jpeg.size() > 6 && static_cast<std::uint8_t>(jpeg[2]) == 0xFF &&
         (static_cast<std::uint8_t>(jpeg[3]) & 0xF0) == 0xE0) {
    const std::size_t len = (static_cast<std::uint8_t>(jpeg[4]) << 8) | static_cast<std::uint8_t>(jpeg[5]);
    jpeg.erase(2, 2 + len);
  }
  return jpeg;
}

DefaultStreamProducer::DefaultStreamProducer(const StreamSettings& s)
    : settings_(s), jpeg_(MakeJpeg(s.width, s.height, s.quality)) {}

std::string DefaultStreamProducer::HeaderV0(const StreamSettings& s, std::uint32_t frameLength) {
  std::uint32_t flags = 0x0001 | 0x0008 | 0x0020 | 0x0800 | 0x2000;
  if (s.panelMode) flags |= 0x0004;
  if (s.alarmWord) flags |= 0x0080;
  if (s.motionWord) flags |= 0x0100;
  if (s.thirdWord) flags |= 0x0200;
  if (s.noImage) flags |= 0x1000;
  std::string h;
  Le32(h, flags);
  Le32(h, frameLength);
  if (s.panelMode) {
    h += static_cast<char>(*s.panelMode);
    h += static_cast<char>(0);
  }
  h += static_cast<char>(s.pictureSize);
  Le32(h, s.timeSteps);
  if (s.alarmWord) Le16(h, *s.alarmWord);
  if (s.motionWord) Le16(h, *s.motionWord);
  if (s.thirdWord) Le16(h, *s.thirdWord);
  h += static_cast<char>(s.channel);
  Le32(h, s.dateTime);
  return h;
}

std::string DefaultStreamProducer::HeaderV1(const StreamSettings& s, std::uint32_t frameLength) {
  std::uint32_t flags = 0x0020 | 0x0040 | 0x2000;
  if (s.motionWord) flags |= 0x0002;
  if (s.alarmWord) flags |= 0x0004;
  if (s.thirdWord) flags |= 0x0008;
  std::string fields;
  if (s.motionWord) Le16(fields, *s.motionWord);
  if (s.alarmWord) Le16(fields, *s.alarmWord);
  if (s.thirdWord) Le16(fields, *s.thirdWord);
  Le32(fields, s.timeSteps);
  Le32(fields, s.dateTime);
  std::uint32_t ext = 0x0001;
  if (s.noImage) ext |= 0x0004;
  if (s.panelMode) ext |= 0x0002;
  if (s.sensorState) ext |= 0x0010;
  fields += static_cast<char>(0x32);
  fields += static_cast<char>(0);
  Le16(fields, ext);
  fields += static_cast<char>(s.pictureSize);
  if (s.panelMode) fields += static_cast<char>(*s.panelMode);
  if (s.sensorState) fields += static_cast<char>(*s.sensorState);
  const std::uint32_t headerLength = 8 + static_cast<std::uint32_t>(fields.size());
  const std::uint32_t wireLength = s.k47rLengthCountsHeader ? frameLength + headerLength : frameLength;
  std::string h;
  Le16(h, 1);
  Le16(h, wireLength & 0xFFFF);
  h += static_cast<char>(0);
  h += static_cast<char>((s.channel & 0x0F) << 4);
  Le16(h, flags);
  return h + fields;
}

bool DefaultStreamProducer::NextPacket(int, bool newHeader, std::string& packet) {
  const auto len = static_cast<std::uint32_t>(jpeg_.size());
  packet = (newHeader ? HeaderV1(settings_, len) : HeaderV0(settings_, len)) + jpeg_;
  return !jpeg_.empty();
}

// ---- the recorder ---------------------------------------------------------------------------

FakeRecorder::FakeRecorder() {
  for (const SectionInfo& s : kSections) {
    std::string bytes(s.size, '\0');
    for (std::size_t i = 0; i < s.size; ++i) bytes[i] = static_cast<char>((s.name[0] * 7 + s.size + i) & 0xFF);
    sections_[s.name] = bytes;
  }
  // The recorder's clock and daylight-saving rule, and its record settings.
  dvrDate_ = {{"YEAR", 2006},          {"MONTH", 1},         {"DAY", 31},          {"HOUR", 23},
              {"MINUTE", 59},          {"SECOND", 58},       {"FORMAT", 2},        {"DAYLIGHTSAVING", 1},
              {"STARTWEEKINDEX", 0},   {"STARTDAYOFWEEK", 0}, {"STARTMONTH", 2},   {"STARTHOUR", 2},
              {"STARTMINUTE", 0},      {"ENDWEEKINDEX", 4},  {"ENDDAYOFWEEK", 0},  {"ENDMONTH", 9},
              {"ENDHOUR", 3},          {"ENDMINUTE", 0},     {"ADJUSTHOUR", 1},    {"ADJUSTMINUTE", 0}};
  recordSetting_ = {{"MANUAL", 1},         {"EVENT", 1},          {"TIMER", 0},          {"VIDEOTYPE", 0},
                    {"RECMODE", 0},        {"MANUALRATETYPE", 0}, {"MOTIONRATETYPE", 1}, {"TIMERRATETYPE", 2},
                    {"OVERWRITE", 1},      {"QUALITY", 8},        {"RECORDFIX", 1},      {"SUPPORTMODE", 7},
                    {"SUPPORTIPSSHARE", 3}};
}

FakeRecorder::~FakeRecorder() { Stop(); }

std::size_t FakeRecorder::SectionSize(const std::string& option) {
  for (const SectionInfo& s : kSections) {
    if (option == s.name) return s.size;
  }
  return 0;
}

bool FakeRecorder::OpenListener() {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) return false;
  const int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port_);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listenFd_, 16) != 0) {
    ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  if (port_ == 0) {  // reopening after a refusal keeps the port
    socklen_t len = sizeof a;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  return true;
}

bool FakeRecorder::Start(std::uint16_t port) {
  port_ = port;
  if (!OpenListener()) return false;
  if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  stopping_ = false;
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void FakeRecorder::Stop() {
  if (stopping_.exchange(true)) return;
  {
    // Held answers give way.
    std::lock_guard<std::mutex> lock(mutex_);
    holdChanged_.notify_all();
  }
  if (wakePipe_[1] >= 0) {
    const char c = 'x';
    (void)!::write(wakePipe_[1], &c, 1);
  }
  if (acceptThread_.joinable()) acceptThread_.join();
  if (discoveryThread_.joinable()) discoveryThread_.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    threads.swap(connections_);
  }
  for (std::thread& t : threads) t.join();
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
  for (int& fd : wakePipe_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  if (discoveryFd_ >= 0) ::close(discoveryFd_);
  discoveryFd_ = -1;
}

void FakeRecorder::AcceptLoop() {
  while (!stopping_) {
    long long refuseUntil;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      refuseUntil = refuseUntilMs_;
    }
    if (NowMs() < refuseUntil) {
      if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
      }
    } else if (listenFd_ < 0 && !OpenListener()) {
      Pause(10);
      continue;
    }
    pollfd p[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    const int r = ::poll(p, 2, 20);
    if (r <= 0) continue;
    if (p[1].revents) {
      char buf[16];
      while (::read(wakePipe_[0], buf, sizeof buf) > 0) {
      }
      continue;
    }
    if (listenFd_ >= 0 && (p[0].revents & POLLIN)) {
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      std::lock_guard<std::mutex> lock(mutex_);
      openFds_.push_back(fd);
      connections_.emplace_back([this, fd] {
        Serve(fd);
        std::lock_guard<std::mutex> lock2(mutex_);
        openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
        ::close(fd);
      });
    }
  }
}

void FakeRecorder::Serve(int fd) {
  // Read the head (bounded), then the body by the request's own Content-Length.
  std::string data;
  std::size_t headEnd = std::string::npos;
  char buf[2048];
  while (headEnd == std::string::npos && data.size() < 65536) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
    data.append(buf, static_cast<std::size_t>(n));
    headEnd = data.find("\r\n\r\n");
  }
  if (headEnd == std::string::npos) return;
  RecordedRequest req;
  req.head = data.substr(0, headEnd + 4);
  std::size_t bodyLength = 0;
  {
    const std::string lower = Lower(req.head);
    const std::size_t cl = lower.find("\r\ncontent-length:");
    if (cl != std::string::npos) bodyLength = std::strtoul(lower.c_str() + cl + 17, nullptr, 10);
  }
  req.body = data.substr(headEnd + 4);
  while (req.body.size() < bodyLength) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    req.body.append(buf, static_cast<std::size_t>(n));
  }
  SplitTarget(req.target(), req.path, req.query);
  bool never;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(req);
    never = neverAnswer_;
  }
  requestArrived_.notify_all();
  if (never) {
    while (!stopping_ && ::recv(fd, buf, sizeof buf, 0) > 0) {
    }
    return;
  }
  bool allFail;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    allFail = status500_;
  }
  if (FakeFirmware::Handles(req) && !allFail) {
    firmware_.Serve(fd, req, stopping_);
  } else if (req.path == "/Getvideo.cgi") {
    ServeStream(fd);
  } else if (req.path == "/NetworkBk.cgi") {
    ServeBackup(fd, req);
  } else {
    Answer(fd, req);
  }
}

void FakeRecorder::SendReply(int fd, const std::string& bytes, std::vector<std::size_t> cuts, bool drip) {
  if (drip) {
    // The head in one write, then the body one byte per write.
    std::size_t headEnd = bytes.find("\r\n\r\n");
    headEnd = headEnd == std::string::npos ? bytes.size() : headEnd + 4;
    if (!SendAll(fd, bytes.data(), headEnd)) return;
    for (std::size_t i = headEnd; i < bytes.size(); ++i) {
      if (stopping_ || !SendAll(fd, &bytes[i], 1)) return;
      PauseUs(100);
    }
    return;
  }
  std::size_t pos = 0;
  cuts.push_back(bytes.size());
  std::sort(cuts.begin(), cuts.end());
  for (std::size_t cut : cuts) {
    cut = std::min(cut, bytes.size());
    if (cut <= pos) continue;
    if (pos > 0) Pause(20);
    if (stopping_ || !SendAll(fd, bytes.data() + pos, cut - pos)) return;
    pos = cut;
  }
}

void FakeRecorder::Answer(int fd, const RecordedRequest& req) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool drip = dripReplies_;
  const bool split = splitReplies_;
  auto send = [&](const std::string& reply) {
    lock.unlock();
    std::vector<std::size_t> cuts;
    if (split) cuts.push_back(reply.find("\r\n\r\n") + 4);
    SendReply(fd, reply, cuts, drip);
  };
  if (status500_) return send(HttpReply(500, "Internal Server Error", ""));
  auto raw = rawReplies_.find(req.path);
  if (raw != rawReplies_.end()) {
    const RawReply r = raw->second;
    lock.unlock();
    // A held answer gives way when the recorder stops, so that tests end without waiting it out.
    for (int waited = 0; waited < r.delayMs && !stopping_; waited += 10) Pause(std::min(10, r.delayMs - waited));
    if (stopping_) return;
    SendReply(fd, r.bytes, r.cuts, drip);
    if (!r.closeAfter) {
      char buf[64];
      while (!stopping_ && ::recv(fd, buf, sizeof buf, 0) > 0) {
      }
    }
    return;
  }
  auto param = [&req](const char* name) -> std::string {
    auto it = req.query.find(name);
    return it == req.query.end() ? std::string() : it->second;
  };
  const Identity& id = identity_;
  if (failCommands_.count(req.path)) return send(HttpReply(500, "Internal Server Error", ""));
  if (req.path == "/Login.cgi") {
    if (loginBusy_) return send(HttpReply(202, "Accepted", ""));
    if (param("Username") != id.user || param("Password") != id.password) {
      return send(HttpReply(401, "Unauthorized", ""));
    }
    if (onlineFromLogins_) {
      // The users logged in appear in ONLINE: name, 127.0.0.1, supervisor, live view, CIF,
      // high quality.
      if (std::find(onlineUsers_.begin(), onlineUsers_.end(), id.user) == onlineUsers_.end()) {
        onlineUsers_.push_back(id.user);
      }
      std::string online(240, '\0');
      for (std::size_t k = 0; k < onlineUsers_.size() && k < 10; ++k) {
        const std::string name = onlineUsers_[k].substr(0, 15);
        online.replace(24 * k, name.size(), name);
        online[24 * k + 16] = 127;
        online[24 * k + 19] = 1;
        online[24 * k + 20] = 30;
        online[24 * k + 22] = 1;
      }
      sections_["ONLINE"] = online;
    }
    return send(HttpReply(200, "OK",
                      "Session-ID=" + id.sessionId + ";Firmware-Version=" + id.firmware + ";Product-ID=" +
                          id.productId + ";MAC-Address=" + id.mac + ";Host-Name=" + id.hostName + ";"));
  }
  if (req.path == "/Reboot.cgi") {
    ++reboots_;
    const int outage = rebootOutageMs_;
    if (outage > 0) {
      // The restart forgets the session and is away for a while.
      identity_.sessionId += "R";
      refuseUntilMs_ = NowMs() + outage;
      const char c = 'r';
      if (wakePipe_[1] >= 0) (void)!::write(wakePipe_[1], &c, 1);
    }
    lock.unlock();
    return;  // the recorder restarts without a reply
  }
  // Every later command carries the session identifier.
  if (param("Cookie") != id.sessionId) return send(HttpReply(401, "Unauthorized", ""));
  if (req.path == "/Getdeviceinfo.cgi") {
    newHeaderAsked_ = param("NEWHR") == "1";
    std::string body = deviceInfo_;
    if (body.empty()) {
      body = "LIFETIME=60;MULTICH=0;VIDEOMODE=0;USERLEVEL=30;Boot-Version=B100;2041-Version=V200;FPGA-Version=F300;";
    }
    if (reportRetr_) body += "RETR=" + std::to_string(retrState_) + ";";
    return send(HttpReply(200, "OK", body));
  }
  if (req.path == "/GetDvrDate.cgi" || req.path == "/GetRecordSetting.cgi") {
    std::string body;
    for (const auto& [key, value] : req.path == "/GetDvrDate.cgi" ? dvrDate_ : recordSetting_) {
      body += key + "=" + std::to_string(value) + ";";
    }
    return send(HttpReply(200, "OK", body));
  }
  if (req.path == "/SetDvrDate.cgi") {
    auto take = [&](const char* const* keys) {
      for (; *keys; ++keys) {
        if (req.query.count(*keys)) SetPairValue(dvrDate_, *keys, std::atoi(param(*keys).c_str()));
      }
    };
    static const char* const kDate[] = {"YEAR", "MONTH", "DAY", "HOUR", "MINUTE", "SECOND", nullptr};
    static const char* const kFormat[] = {"FORMAT", nullptr};
    static const char* const kSwitch[] = {"DAYLIGHTSAVING", nullptr};
    static const char* const kRule[] = {"STARTWEEKINDEX", "STARTDAYOFWEEK", "STARTMONTH", "STARTHOUR", "STARTMINUTE",
                                        "ENDWEEKINDEX",   "ENDDAYOFWEEK",   "ENDMONTH",   "ENDHOUR",   "ENDMINUTE",
                                        "ADJUSTHOUR",     "ADJUSTMINUTE",   nullptr};
    if (param("CHDATE") == "1") take(kDate);
    if (param("CHFORMAT") == "1") take(kFormat);
    if (param("CHDAYLIGHT") == "1") take(kSwitch);
    if (param("CHDAYLIGHTTIME") == "1") take(kRule);
    return send(HttpReply(200, "OK", ""));
  }
  if (req.path == "/SetRecordSetting.cgi") {
    static const char* const kItems[][2] = {
        {"CHMANUALREC", "MANUAL"},          {"CHEVENTREC", "EVENT"},           {"CHTIMERREC", "TIMER"},
        {"CHOV", "OVERWRITE"},              {"CHQT", "QUALITY"},               {"CHRECMODE", "RECMODE"},
        {"CHMOTIONRATE", "MOTIONRATETYPE"}, {"CHMANUALRATE", "MANUALRATETYPE"}, {"CHTIMERRATE", "TIMERRATETYPE"},
        {"CHIPSSHARE", "RECORDFIX"}};
    for (const auto& item : kItems) {
      if (param(item[0]) == "1" && req.query.count(item[1])) {
        SetPairValue(recordSetting_, item[1], std::atoi(param(item[1]).c_str()));
      }
    }
    return send(HttpReply(200, "OK", ""));
  }
  if (req.path == "/SyncTime.cgi") {
    if (param("Mode") == "0") {
      static const char* const kClock[][2] = {{"Year", "YEAR"},     {"Month", "MONTH"},   {"Day", "DAY"},
                                              {"Hour", "HOUR"},     {"Minute", "MINUTE"}, {"Second", "SECOND"}};
      for (const auto& k : kClock) {
        if (req.query.count(k[0])) SetPairValue(dvrDate_, k[1], std::atoi(param(k[0]).c_str()));
      }
    } else {
      std::string& sntp = sections_["SNTP"];
      sntp.resize(36, '\0');
      sntp[2] = static_cast<char>(std::atoi(param("Hour").c_str()));
      sntp[3] = static_cast<char>(std::atoi(param("Minute").c_str()));
      sntp[5] = static_cast<char>(std::atoi(param("NationID").c_str()));
      sntp[6] = 1;
      const std::string server = param("ServerMode") == "0" ? param("Server").substr(0, 27) : std::string();
      std::fill(sntp.begin() + 8, sntp.end(), '\0');
      std::copy(server.begin(), server.end(), sntp.begin() + 8);
    }
    return send(HttpReply(200, "OK", ""));
  }
  if (req.path == "/GetSysCfg.cgi") {
    const std::string option = param("Option");
    if (option == "ALL") {
      lock.unlock();
      const std::string all = AllSections();
      lock.lock();
      return send(HttpReply(200, "OK", all));
    }
    auto it = sections_.find(option);
    if (it == sections_.end()) return send(HttpReply(404, "Not Found", ""));
    return send(HttpReply(200, "OK", it->second));
  }
  if (req.path == "/SetSysCfg.cgi") {
    const std::string option = param("Option");
    auto it = sections_.find(option);
    if (it == sections_.end() || req.body.size() != it->second.size()) {
      return send(HttpReply(400, "Bad Request", ""));
    }
    if (failSetSysCfg_.count(option)) return send(HttpReply(500, "Internal Server Error", ""));
    it->second = req.body;
    return send(HttpReply(200, "OK", ""));
  }
  // A body a test gave for a path wins over the recorder's own answer.
  auto given = commandBodies_.find(req.path);
  if (given != commandBodies_.end()) return send(HttpReply(200, "OK", given->second));
  // A parameter as a number; false when absent or not decimal.
  auto number = [&param](const char* name, int& out) {
    const std::string v = param(name);
    if (v.empty() || v.size() > 6 || v.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::stoi(v);
    return true;
  };
  if (req.path == "/Setresolution.cgi") {
    int res = 0;
    if (!number("RES", res)) return send(HttpReply(400, "Bad Request", ""));
    resolution_ = res;
    return send(HttpReply(200, "OK", ""));
  }
  if (req.path == "/Setquality.cgi") {
    int qua = 0;
    if (!number("QUA", qua)) return send(HttpReply(400, "Bad Request", ""));
    quality_ = qua;
    return send(HttpReply(200, "OK", ""));
  }
  if (req.path == "/GetColor.cgi") {
    const Color c = color_ ? *color_ : StartColor(id.productId);
    std::string body;
    if (c.contrast) body += "CON=" + std::to_string(*c.contrast) + ";";
    if (c.brightness) body += "BRI=" + std::to_string(*c.brightness) + ";";
    if (c.hue) body += "HUE=" + std::to_string(*c.hue) + ";";
    return send(HttpReply(200, "OK", body));
  }
  if (req.path == "/SetColor.cgi") {
    int con = 0, bri = 0, hue = 0;
    if (!number("CON", con) || !number("BRI", bri) || !number("HUE", hue)) return send(HttpReply(400, "Bad Request", ""));
    color_ = Color{con, bri, hue};
    return send(HttpReply(200, "OK", ""));
  }
  if (req.path == "/PTZReset.cgi") return send(HttpReply(200, "OK", ptzSlaveReply_));
  if (req.path == "/SetRetr.cgi") {
    int set = 0;
    if (!number("SET", set) || set > 1) return send(HttpReply(400, "Bad Request", ""));
    retrState_ = static_cast<std::uint8_t>(set);
    return send(HttpReply(200, "OK", ""));
  }
  if (req.path == "/OV9653Zoom.cgi") {
    int mode = 0;
    if (!number("MODE", mode) || mode > 5) return send(HttpReply(400, "Bad Request", ""));
    sensorState_ = static_cast<std::uint8_t>((sensorState_ & 0xF0) | mode);
    return send(HttpReply(200, "OK", ""));
  }
  if (req.path == "/OV9653Rotate.cgi") {
    int hr = 0, vr = 0;
    if (!number("HR", hr) || !number("VR", vr) || hr > 1 || vr > 1) return send(HttpReply(400, "Bad Request", ""));
    sensorState_ = static_cast<std::uint8_t>((sensorState_ & 0x0F) | (hr ? 0x80 : 0) | (vr ? 0x40 : 0));
    return send(HttpReply(200, "OK", ""));
  }
  if (req.path == "/RS485Cmd.cgi") {
    const std::string& b = req.body;
    if (b.empty() || b.size() != static_cast<std::size_t>(static_cast<unsigned char>(b[0])) + 3u) {
      return send(HttpReply(400, "Bad Request", ""));
    }
    rs485Bodies_.push_back(b);
    return send(HttpReply(200, "OK", ""));
  }
  if (req.path == "/GetSearchList.cgi" && recordings_.holdSearchList) {
    ++heldSearchLists_;
    holdChanged_.wait(lock, [this] { return !recordings_.holdSearchList || stopping_; });
    --heldSearchLists_;
    if (stopping_) return;
  }
  std::string recordingsReply;
  if (RecordingsReply(req, recordingsReply)) return send(recordingsReply);
  if (AnswerEventLog(fd, req, lock, send)) return;
  auto body = commandBodies_.find(req.path);
  return send(HttpReply(200, "OK", body == commandBodies_.end() ? std::string() : body->second));
}

FakeRecorder::Color FakeRecorder::StartColor(const std::string& productId) {
  const bool videoServer = productId == "K40R" || productId == "K44R" || productId == "K45R" ||
                           productId == "K46R" || productId == "K47R";
  return videoServer ? Color{128, 0, 0} : Color{128, 128, 128};
}

void FakeRecorder::SetResolutionSize(int res, int width, int height) {
  std::lock_guard<std::mutex> lock(mutex_);
  resolutionSizes_[res] = {width, height};
}
int FakeRecorder::Resolution() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return resolution_;
}
int FakeRecorder::Quality() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return quality_;
}
void FakeRecorder::SetColor(const Color& c) {
  std::lock_guard<std::mutex> lock(mutex_);
  color_ = c;
}
FakeRecorder::Color FakeRecorder::GetColor() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return color_ ? *color_ : StartColor(identity_.productId);
}
void FakeRecorder::SetPtzSlaveReply(const std::string& body) {
  std::lock_guard<std::mutex> lock(mutex_);
  ptzSlaveReply_ = body;
}
void FakeRecorder::SetRetrState(std::uint8_t state) {
  std::lock_guard<std::mutex> lock(mutex_);
  retrState_ = state;
}
std::uint8_t FakeRecorder::RetrState() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return retrState_;
}
void FakeRecorder::SetReportRetr(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  reportRetr_ = on;
}
void FakeRecorder::SetSensorState(std::uint8_t state) {
  std::lock_guard<std::mutex> lock(mutex_);
  sensorState_ = state;
}
std::uint8_t FakeRecorder::SensorState() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sensorState_;
}
std::vector<std::string> FakeRecorder::Rs485Bodies() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rs485Bodies_;
}
void FakeRecorder::HoldConnection(int fd) {
  char buf[256];
  while (!stopping_) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0) return;
  }
}

bool FakeRecorder::AnswerEventLog(int fd, const RecordedRequest& req, std::unique_lock<std::mutex>& lock,
                                  const std::function<void(const std::string&)>& send) {
  auto param = [&req](const char* name) -> std::string {
    auto it = req.query.find(name);
    return it == req.query.end() ? std::string() : it->second;
  };
  if (req.path == "/ClearLog.cgi") {
    if (eventLog_.failClear) {
      send(HttpReply(500, "Internal Server Error", ""));
    } else {
      eventLog_.records = 0;
      ++clearLogs_;
      send(HttpReply(200, "OK", ""));
    }
    return true;
  }
  if (req.path != "/Getlog.cgi") return false;
  const EventLogSettings log = eventLog_;
  const std::string state = param("STATE");
  if (state == "COUNT") {
    send(HttpReply(200, "OK", log.countReply ? *log.countReply : "COUNT=" + std::to_string(log.records) + ";"));
    return true;
  }
  if (state != "LAST" && state != "PRE") {
    send(HttpReply(400, "Bad Request", ""));
    return true;
  }
  int& page = logPage_[param("Cookie")];
  if (state == "LAST") page = 0;
  const int index = page++;
  if (index == log.stallPage) {
    lock.unlock();
    HoldConnection(fd);
    return true;
  }
  if (index == log.failPage) {
    send(HttpReply(500, "Internal Server Error", ""));
    return true;
  }
  const int per = std::max(0, log.pageRecords);
  const int first = std::min(log.records, index * per);
  const int count = std::min(per, log.records - first);
  const std::string all = EventLogRecords(identity_.productId, log.seed, first + count);
  std::string body = all.substr(static_cast<std::size_t>(first) * 32);
  if (log.trailingBytes > 0) body += std::string(static_cast<std::size_t>(log.trailingBytes), '\x7E');
  send(HttpReply(200, "OK", body));
  return true;
}

void FakeRecorder::SetEventLog(const EventLogSettings& log) {
  std::lock_guard<std::mutex> lock(mutex_);
  eventLog_ = log;
}

EventLogSettings FakeRecorder::GetEventLog() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return eventLog_;
}

std::string FakeRecorder::EventLogRecords(const std::string& productId, std::uint32_t seed, int count) {
  static const std::uint32_t kDvr[] = {0x1,   0x2,   0x4,   0x8,    0x10,   0x20,    0x40,  0x80,
                                       0x100, 0x200, 0x400, 0x800, 0x4000, 0x8000, 0x10000};
  static const std::uint32_t kServer[] = {0x1,    0x2,     0x4,     0x10,    0x20,    0x100,
                                          0x200,  0x1000,  0x10000, 0x20000, 0x40000, 0x100000};
  const bool dvr = productId == "K41R" || productId == "K42R" || productId == "K43R";
  std::string out;
  std::uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int i = 0; i < std::max(0, count); ++i) {
    unsigned char r[32] = {};
    const std::uint32_t id = dvr ? kDvr[next() % (sizeof kDvr / sizeof kDvr[0])]
                                 : kServer[next() % (sizeof kServer / sizeof kServer[0])];
    for (int b = 0; b < 4; ++b) r[b] = static_cast<unsigned char>(id >> (8 * b));
    r[4] = 26;
    r[5] = static_cast<unsigned char>(1 + next() % 12);
    r[6] = static_cast<unsigned char>(1 + next() % 28);
    r[7] = static_cast<unsigned char>(next() % 24);
    r[8] = static_cast<unsigned char>(next() % 60);
    r[9] = static_cast<unsigned char>(next() % 60);
    r[10] = static_cast<unsigned char>(dvr ? next() % 5 : (id == 0x4 ? 1u << (next() % 8) : 0));
    const std::string user = "viewer" + std::to_string(next() % 10);
    if (id == 0x100 || (!dvr && (id == 0x10 || id == 0x20))) std::memcpy(r + 11, user.data(), user.size());
    r[27] = static_cast<unsigned char>(next() % 2);
    out.append(reinterpret_cast<const char*>(r), 32);
  }
  return out;
}

void FakeRecorder::ServeStream(int fd) {
  std::shared_ptr<StreamProducer> producer;
  StreamFaults faults;
  StreamSettings settings;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    producer = producer_;
    faults = streamFaults_;
    settings = streamSettings_;
  }
  const bool custom = producer != nullptr;
  int pictureWidth = settings.width, pictureHeight = settings.height;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto size = resolutionSizes_.find(resolution_);
    if (size != resolutionSizes_.end()) std::tie(pictureWidth, pictureHeight) = size->second;
  }
  std::string picture = custom ? std::string() : MakeJpeg(pictureWidth, pictureHeight, settings.quality);
  if (!custom && picture.empty()) return;
  const bool newHeader = settings.format == StreamSettings::HeaderFormat::Auto
                             ? newHeaderAsked_.load()
                             : settings.format == StreamSettings::HeaderFormat::V1;
  auto hold = [&] {
    char buf[256];
    while (!stopping_) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0) return;
    }
  };
  if (faults.garbageBeforeFirst) {
    static const char kGarbage[] = "\x12\x34\x56\xFF\xD9";
    if (!SendAll(fd, kGarbage, 5)) return;
  }
  for (int index = 0; !stopping_; ++index) {
    if (faults.cutAfterFrames >= 0 && index >= faults.cutAfterFrames) return;
    if (faults.stallAfterFrames >= 0 && index >= faults.stallAfterFrames) return hold();
    std::string packet;
    if (custom) {
      if (!producer->NextPacket(index, newHeader, packet)) return;
    } else {
      // The alarm, motion and third words (and the other header fields) follow the
      // settings of the moment, so a test can raise and clear them mid-stream.
      StreamSettings now;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        now = streamSettings_;
        // A K47R counts its header in the newer header's frame length, whatever the test set.
        if (identity_.productId == "K47R") now.k47rLengthCountsHeader = true;
        if (reportRetr_ && !now.panelMode) now.panelMode = retrState_;
        if (identity_.productId == "K47R" && !now.sensorState) now.sensorState = sensorState_;
        // A new resolution changes the picture size from this frame on.
        auto size = resolutionSizes_.find(resolution_);
        if (size != resolutionSizes_.end()) {
          now.width = size->second.first;
          now.height = size->second.second;
        } else {
          now.width = settings.width;
          now.height = settings.height;
        }
      }
      if (now.width != pictureWidth || now.height != pictureHeight) {
        std::string next = MakeJpeg(now.width, now.height, settings.quality);
        if (!next.empty()) {
          picture = std::move(next);
          pictureWidth = now.width;
          pictureHeight = now.height;
        }
      }
      const auto len = static_cast<std::uint32_t>(picture.size());
      packet = (newHeader ? DefaultStreamProducer::HeaderV1(now, len) : DefaultStreamProducer::HeaderV0(now, len)) +
               picture;
    }
    if (faults.headerLongerThanData && index == 0) {
      SendAll(fd, packet.data(), std::min<std::size_t>(3, packet.size()));
      return hold();
    }
    // Picture start: the first FF D8 of the packet.
    std::size_t pic = packet.find("\xFF\xD8", 0, 2);
    if (faults.badPictureStart && pic != std::string::npos && pic + 3 < packet.size()) {
      packet[pic + 3] = static_cast<char>(0xE0);
    }
    bool ok = true;
    if (faults.drip) {
      for (std::size_t i = 0; i < packet.size() && ok && !stopping_; ++i) ok = SendAll(fd, &packet[i], 1);
    } else if (faults.splitHeaderAndPicture && pic != std::string::npos && pic > 0) {
      ok = SendAll(fd, packet.data(), pic);
      Pause(5);
      ok = ok && SendAll(fd, packet.data() + pic, packet.size() - pic);
    } else {
      ok = SendAll(fd, packet.data(), packet.size());
    }
    if (!ok) return;
    ++framesSent_;
    if (settings.fps > 0) {
      const long long until = NowMs() + 1000 / settings.fps;
      while (!stopping_ && NowMs() < until) Pause(static_cast<int>(std::min<long long>(50, until - NowMs())));
    }
  }
}

// ---- settings -------------------------------------------------------------------------------

void FakeRecorder::SetIdentity(const Identity& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  identity_ = id;
}
Identity FakeRecorder::GetIdentity() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return identity_;
}
void FakeRecorder::SetLoginBusy(bool busy) {
  std::lock_guard<std::mutex> lock(mutex_);
  loginBusy_ = busy;
}
void FakeRecorder::SetDeviceInfo(const std::string& body) {
  std::lock_guard<std::mutex> lock(mutex_);
  deviceInfo_ = body;
}
void FakeRecorder::SetRawReply(const std::string& path, const RawReply& reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  rawReplies_[path] = reply;
}
void FakeRecorder::ClearRawReply(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  rawReplies_.erase(path);
}
void FakeRecorder::SetCommandBody(const std::string& path, const std::string& body) {
  std::lock_guard<std::mutex> lock(mutex_);
  commandBodies_[path] = body;
}
void FakeRecorder::SetStatus500(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  status500_ = on;
}
void FakeRecorder::SetPlausibleSections() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const SectionInfo& info : kSections) sections_[info.name] = std::string(info.size, '\0');
  std::string& ip = sections_["IP"];
  const char address[4] = {127, 0, 0, 1};
  const char mask[4] = {static_cast<char>(255), static_cast<char>(255), static_cast<char>(255), 0};
  ip.replace(4, 4, address, 4);
  ip.replace(8, 4, mask, 4);
  ip.replace(12, 4, address, 4);
  ip[16] = static_cast<char>(port_ & 0xFF);
  ip[17] = static_cast<char>(port_ >> 8);
  ip[22] = 0;  // static
  // ONLINE lists the logins from now on.
  onlineFromLogins_ = true;
  // One account in slot 0: its name and password (16 bytes each).
  std::string& secure = sections_["SECURE"];
  secure[2] = 5;  // the maximum number of users
  const std::string user = identity_.user.substr(0, 16), password = identity_.password.substr(0, 16);
  secure.replace(8, user.size(), user);
  secure.replace(88, password.size(), password);
  // A supervisor without a life-time limit, as a recorder's first account is.
  secure[168] = 30;
  secure.replace(176, 4, std::string(4, '\xFF'));
}

bool FakeRecorder::LoadSectionFile(const std::string& option, const std::string& path) {
  const std::size_t size = SectionSize(option);
  if (size == 0) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::string bytes(size + 1, '\0');
  const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  if (n != size) return false;
  bytes.resize(size);
  SetSection(option, bytes);
  return true;
}

void FakeRecorder::FailSetSysCfg(const std::string& option, bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fail) {
    failSetSysCfg_.insert(option);
  } else {
    failSetSysCfg_.erase(option);
  }
}

void FakeRecorder::SetDvrDateValues(const std::string& pairs) {
  std::lock_guard<std::mutex> lock(mutex_);
  SetPairsFromText(dvrDate_, pairs);
}

void FakeRecorder::SetRecordSettingValues(const std::string& pairs) {
  std::lock_guard<std::mutex> lock(mutex_);
  SetPairsFromText(recordSetting_, pairs);
}

int FakeRecorder::DvrDateValue(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& [k, v] : dvrDate_) {
    if (k == key) return v;
  }
  return -1;
}

int FakeRecorder::RecordSettingValue(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& [k, v] : recordSetting_) {
    if (k == key) return v;
  }
  return -1;
}

void FakeRecorder::FailCommand(const std::string& path, bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fail) {
    failCommands_.insert(path);
  } else {
    failCommands_.erase(path);
  }
}

void FakeRecorder::SetRebootOutage(int ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  rebootOutageMs_ = ms;
}

void FakeRecorder::RefuseConnectionsFor(int ms) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    refuseUntilMs_ = NowMs() + ms;
  }
  const char c = 'r';
  if (wakePipe_[1] >= 0) (void)!::write(wakePipe_[1], &c, 1);
  // Give the accept loop a moment to close the listener before the caller connects.
  Pause(60);
}
void FakeRecorder::SetNeverAnswer(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  neverAnswer_ = on;
}
void FakeRecorder::SetDripReplies(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  dripReplies_ = on;
}
void FakeRecorder::SetSplitReplies(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  splitReplies_ = on;
}

std::string FakeRecorder::Section(const std::string& option) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sections_.find(option);
  return it == sections_.end() ? std::string() : it->second;
}
void FakeRecorder::SetSection(const std::string& option, const std::string& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  sections_[option] = bytes;
}

void FakeRecorder::SetCapabilityWord(std::uint32_t word) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string& inf = sections_["INF"];
  if (inf.size() < 24) inf.resize(SectionSize("INF"), '\0');
  for (int i = 0; i < 4; ++i) inf[20 + i] = static_cast<char>((word >> (8 * i)) & 0xFF);
}

void FakeRecorder::SetMultiChannel(int value) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string body = deviceInfo_.empty()
                         ? "LIFETIME=60;MULTICH=0;VIDEOMODE=0;USERLEVEL=30;Boot-Version=B100;2041-Version=V200;FPGA-Version=F300;"
                         : deviceInfo_;
  const std::string key = "MULTICH=";
  const std::size_t at = body.find(key);
  if (at == std::string::npos) {
    body += key + std::to_string(value) + ";";
  } else {
    const std::size_t end = body.find(';', at);
    body.replace(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size(),
                 std::to_string(value));
  }
  deviceInfo_ = body;
}

std::string FakeRecorder::AllSections(std::size_t online) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string& model = identity_.productId;
  const bool videoServer =
      model == "K40R" || model == "K44R" || model == "K45R" || model == "K46R" || model == "K47R";
  std::string all;
  auto append = [&](const char* name) { all += sections_.at(name); };
  if (videoServer) {
    for (const char* n : kVideoServerAll) append(n);
  } else {
    for (const char* n : kDvrAll) append(n);
  }
  const std::string& on = sections_.at("ONLINE");
  all += on.substr(0, std::min(online, on.size()));
  if (online > on.size()) all += std::string(online - on.size(), '\x5A');
  return all;
}

void FakeRecorder::SetStreamSettings(const StreamSettings& s) {
  std::lock_guard<std::mutex> lock(mutex_);
  streamSettings_ = s;
}
void FakeRecorder::SetStreamFaults(const StreamFaults& f) {
  std::lock_guard<std::mutex> lock(mutex_);
  streamFaults_ = f;
}
void FakeRecorder::SetStreamProducer(std::shared_ptr<StreamProducer> producer) {
  std::lock_guard<std::mutex> lock(mutex_);
  producer_ = std::move(producer);
}

std::vector<RecordedRequest> FakeRecorder::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}
std::size_t FakeRecorder::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}
void FakeRecorder::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}
bool FakeRecorder::WaitForRequests(std::size_t n, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return requestArrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= n; });
}

// ---- discovery --------------------------------------------------------------------------------

bool FakeRecorder::StartDiscovery(std::uint16_t listenPort, std::uint16_t replyPort, std::uint8_t deviceType) {
  discoveryFd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (discoveryFd_ < 0) return false;
  const int on = 1;
  ::setsockopt(discoveryFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(listenPort);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(discoveryFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(discoveryFd_);
    discoveryFd_ = -1;
    return false;
  }
  socklen_t len = sizeof a;
  ::getsockname(discoveryFd_, reinterpret_cast<sockaddr*>(&a), &len);
  discoveryPort_ = ntohs(a.sin_port);
  discoveryReplyPort_ = replyPort;
  discoveryType_ = deviceType;
  discoveryThread_ = std::thread([this] { DiscoveryLoop(); });
  return true;
}

std::string FakeRecorder::LastDiscoveryRequest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastDiscoveryRequest_;
}

void FakeRecorder::DiscoveryLoop() {
  while (!stopping_) {
    pollfd p{discoveryFd_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    unsigned char in[128];
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    const ssize_t n = ::recvfrom(discoveryFd_, in, sizeof in, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n != 76) continue;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lastDiscoveryRequest_.assign(reinterpret_cast<const char*>(in), 76);
    }
    ++discoveryRequests_;
    const Identity id = GetIdentity();
    unsigned char out[76] = {};
    std::memcpy(out, in, 17);
    out[17] = (std::memcmp(in, "ZQ_SEARCH", 9) == 0) ? discoveryType_ : discoveryStatus_.load();
    for (std::size_t i = 0; i < 6 && 2 * i + 1 < id.mac.size(); ++i) {
      out[18 + i] = static_cast<unsigned char>(std::stoul(id.mac.substr(2 * i, 2), nullptr, 16));
    }
    const unsigned char ip[4] = {127, 0, 0, 1}, mask[4] = {255, 0, 0, 0}, gw[4] = {127, 0, 0, 254},
                        dns[4] = {127, 0, 0, 53};
    std::memcpy(out + 56, ip, 4);
    std::memcpy(out + 60, mask, 4);
    std::memcpy(out + 64, gw, 4);
    std::memcpy(out + 68, dns, 4);
    out[72] = static_cast<unsigned char>(port_ & 0xFF);
    out[73] = static_cast<unsigned char>(port_ >> 8);
    if (discoveryReplyPort_ != 0) from.sin_port = htons(discoveryReplyPort_);
    from.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(discoveryFd_, out, sizeof out, 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
  }
}

}  // namespace fake
