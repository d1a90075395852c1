// The fake recorder's recordings: the disk list, the search list pages, the playback search,
// the network backup stream and its cancel command.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <thread>

#include "tests/support/FakeRecorder.h"

#include "tests/support/Wire.h"

namespace fake {

namespace {

void PutLe32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool KindMatches(std::uint8_t type, int wanted) {
  switch (wanted) {
    case 0: return type <= 0x0F;
    case 1: return type >= 0x10 && type <= 0x1F;
    case 3: return type == 0x30;
    case 15: return type == 0xF0;
    default: return true;  // 8: all
  }
}

std::string QueryOf(const RecordedRequest& req) {
  const std::string t = req.target();
  const std::size_t q = t.find('?');
  return q == std::string::npos ? std::string() : t.substr(q + 1);
}

}  // namespace

void FakeRecorder::SetRecordings(const RecordingsSettings& r) {
  std::lock_guard<std::mutex> lock(mutex_);
  recordings_ = r;
  listCursor_.clear();
  holdChanged_.notify_all();
}

void FakeRecorder::SetBackup(const BackupSettings& b) {
  std::lock_guard<std::mutex> lock(mutex_);
  backup_ = b;
}

std::string FakeRecorder::SearchRecord(std::uint8_t type, int year, int month, int day, int hour, int minute,
                                       int second) {
  std::string r(16, '\0');
  r[7] = static_cast<char>(type);
  const int v[6] = {year - 2000, month, day, hour, minute, second};
  for (int i = 0; i < 6; ++i) r[static_cast<std::size_t>(8 + i)] = static_cast<char>(v[i]);
  return r;
}

std::string FakeRecorder::BackupBytes(const std::string& query, std::size_t size) {
  // A pseudo-random sequence seeded by the query: the same request always gets the same bytes.
  std::uint32_t x = 2166136261u;
  for (char c : query) x = (x ^ static_cast<std::uint8_t>(c)) * 16777619u;
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    out[i] = static_cast<char>(x & 0xFF);
  }
  return out;
}

bool FakeRecorder::RecordingsReply(const RecordedRequest& req, std::string& reply) {
  auto param = [&req](const char* name) -> std::string {
    auto it = req.query.find(name);
    return it == req.query.end() ? std::string() : it->second;
  };
  if (req.path == "/GetDvrHDD.cgi") {
    reply = recordings_.failDiskList ? HttpReply(500, "Internal Server Error", "")
                                     : HttpReply(200, "OK", recordings_.diskReply);
    return true;
  }
  if (req.path == "/SearchPlayBack.cgi") {
    reply = recordings_.failPlayback ? HttpReply(500, "Internal Server Error", "") : HttpReply(200, "OK", "OK");
    return true;
  }
  if (req.path == "/CancelNB.cgi") {
    ++backupGeneration_;
    reply = HttpReply(200, "OK", "");
    return true;
  }
  if (req.path != "/GetSearchList.cgi") return false;
  if (recordings_.failSearchList) {
    reply = HttpReply(500, "Internal Server Error", "");
    return true;
  }
  const int disk = std::atoi(param("HDD").c_str());
  const std::string typeText = param("TYPE");
  const int type = typeText.empty() ? 8 : std::atoi(typeText.c_str());
  std::vector<std::string> list;
  for (const std::string& r : recordings_.lists[disk]) {
    if (r.size() == 16 && KindMatches(static_cast<std::uint8_t>(r[7]), type)) list.push_back(r);
  }
  std::size_t& cursor = listCursor_[disk];
  if (param("STATE") == "LAST" || cursor > list.size()) cursor = list.size();
  const std::size_t size = static_cast<std::size_t>(recordings_.pageSize > 0 ? recordings_.pageSize : 1);
  const std::size_t from = cursor > size ? cursor - size : 0;
  std::string body;
  for (std::size_t i = from; i < cursor; ++i) body += list[i];
  cursor = from;
  std::string page(2, '\0');
  const std::uint32_t announced = static_cast<std::uint32_t>(body.size()) + static_cast<std::uint32_t>(recordings_.announceExtra);
  page.push_back(static_cast<char>(announced & 0xFF));
  page.push_back(static_cast<char>((announced >> 8) & 0xFF));
  reply = HttpReply(200, "OK", page + body + recordings_.pageTail);
  return true;
}

void FakeRecorder::ServeBackup(int fd, const RecordedRequest& req) {
  BackupSettings b;
  std::string sessionId;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    b = backup_;
    sessionId = identity_.sessionId;
  }
  auto it = req.query.find("Cookie");
  if (b.httpHead || it == req.query.end() || it->second != sessionId) {
    const std::string r = HttpReply(401, "Unauthorized", "");
    SendAll(fd, r.data(), r.size());
    return;
  }
  ++runningBackups_;
  const int generation = backupGeneration_.load();
  const std::string data = BackupBytes(QueryOf(req), b.totalBytes);
  const std::size_t chunk = b.chunkSize > 0 ? b.chunkSize : 1;
  auto cancelled = [&] { return stopping_ || backupGeneration_.load() != generation; };
  auto hold = [&] {
    char buf[64];
    while (!cancelled()) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0) return;
    }
  };
  bool ok = true;
  std::size_t index = 0;
  for (std::size_t pos = 0; ok && pos < data.size(); pos += chunk, ++index) {
    if (cancelled()) break;
    if (static_cast<int>(index) == b.stallAfterChunks) {
      hold();
      ok = false;
      break;
    }
    for (std::size_t f : b.foreignBefore) {
      if (f == index) {
        std::string h;
        PutLe32(h, 4096);
        PutLe32(h, 9);
        ok = ok && SendAll(fd, h.data(), h.size());
      }
    }
    const std::size_t n = std::min(chunk, data.size() - pos);
    std::string h;
    PutLe32(h, static_cast<std::uint32_t>(n));
    PutLe32(h, 3);
    ok = ok && SendAll(fd, h.data(), h.size());
    if (static_cast<int>(index) == b.cutInsideChunk) {
      SendAll(fd, data.data() + pos, n / 2);
      ok = false;
      break;
    }
    ok = ok && SendAll(fd, data.data() + pos, n);
    if (b.pauseMsPerChunk > 0) std::this_thread::sleep_for(std::chrono::milliseconds(b.pauseMsPerChunk));
  }
  if (ok && cancelled() && !stopping_) ++cancelledBackups_;
  if (ok && !cancelled()) {
    std::string h;
    switch (b.end) {
      case BackupSettings::End::EndChunk:
        PutLe32(h, 0);
        PutLe32(h, 1);
        break;
      case BackupSettings::End::Abort:
        PutLe32(h, 0);
        PutLe32(h, 6);
        break;
      case BackupSettings::End::Close:
        break;
      case BackupSettings::End::Stall:
        hold();
        break;
    }
    if (!h.empty()) SendAll(fd, h.data(), h.size());
    // Wait for the client to close first, so the end chunk is not lost to a reset.
    if (!h.empty()) {
      char buf[64];
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 2000) > 0) (void)!::recv(fd, buf, sizeof buf, 0);
    }
  }
  --runningBackups_;
}

}  // namespace fake
