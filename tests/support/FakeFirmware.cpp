#include "tests/support/FakeFirmware.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "tests/support/FakeRecorder.h"

#include "tests/support/Wire.h"

namespace fake {

namespace {

// Reads until the peer closes or the recorder stops.
void Drain(int fd, const std::atomic<bool>& stopping) {
  char buf[256];
  while (!stopping && ::recv(fd, buf, sizeof buf, 0) > 0) {
  }
}

std::string Param(const RecordedRequest& req, const char* name) {
  auto it = req.query.find(name);
  return it == req.query.end() ? std::string() : it->second;
}

bool Has(const RecordedRequest& req, const char* name) { return req.query.count(name) != 0; }

}  // namespace

bool FakeFirmware::Handles(const RecordedRequest& req) {
  if (req.path == "/Getvideo.cgi") return Param(req, "Fake") == "1";
  return req.path == "/UpgradeFW.cgi" || req.path == "/UpgradeFW2.cgi" || req.path == "/CancelUPFW.cgi" ||
         req.path == "/GetVersion.cgi";
}

void FakeFirmware::Serve(int fd, const RecordedRequest& req, const std::atomic<bool>& stopping) {
  if (req.path == "/Getvideo.cgi") {
    // Held open and silent until the client closes it.
    {
      std::lock_guard<std::mutex> lock(mutex_);
      keepAliveHeads_.push_back(req.head);
      ++keepAlivesOpen_;
    }
    changed_.notify_all();
    Drain(fd, stopping);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --keepAlivesOpen_;
    }
    changed_.notify_all();
    return;
  }
  if (req.path == "/GetVersion.cgi") {
    std::string version;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      version = version_;
    }
    SendAll(fd, HttpReply(200, "OK", version));
    return;
  }
  if (req.path == "/CancelUPFW.cgi") {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++cancels_;
      open_ = false;
    }
    changed_.notify_all();
    SendAll(fd, HttpReply(200, "OK", ""));
    return;
  }
  if (req.path == "/UpgradeFW2.cgi") return ServeRaw(fd, req, stopping);
  ServeChunk(fd, req, stopping);
}

void FakeFirmware::ServeChunk(int fd, const RecordedRequest& req, const std::atomic<bool>& stopping) {
  const std::string upgrade = Param(req, "Upgrade");
  std::unique_lock<std::mutex> lock(mutex_);
  if (upgrade == "Cancel") {
    ++cancels_;
    open_ = false;
    lock.unlock();
    changed_.notify_all();
    SendAll(fd, HttpReply(200, "OK", ""));
    return;
  }
  const int index = ++chunkRequests_;
  const ChunkFault fault = index == failChunk_ ? fault_ : ChunkFault::None;
  if (fault == ChunkFault::Status) {
    const int status = faultStatus_;
    lock.unlock();
    SendAll(fd, HttpReply(status, "Refused", ""));
    return;
  }
  if (upgrade == "Start") {
    current_ = ReceivedComponent{};
    current_.type = Param(req, "Type");
    current_.declaredSize = std::strtoull(Param(req, "FileSize").c_str(), nullptr, 10);
    current_.bytes = req.body;
    open_ = true;
    // A component that fits one chunk is complete with its Start.
    if (current_.bytes.size() >= current_.declaredSize) {
      components_.push_back(current_);
      open_ = false;
    }
  } else if (open_) {
    current_.bytes += req.body;
    if (upgrade == "Finished") {
      current_.type = Param(req, "Type");
      current_.reboot = Param(req, "Reboot") == "1";
      current_.finished = true;
      components_.push_back(current_);
      open_ = false;
    }
  }
  lock.unlock();
  changed_.notify_all();
  if (fault == ChunkFault::Drop) return;  // read and kept, never answered: the connection closes
  if (fault == ChunkFault::Stall) return Drain(fd, stopping);
  SendAll(fd, HttpReply(200, "OK", ""));
}

void FakeFirmware::ServeRaw(int fd, const RecordedRequest& req, const std::atomic<bool>& stopping) {
  ReceivedComponent c;
  c.raw = true;
  c.type = Param(req, "Type");
  c.declaredSize = std::strtoull(Param(req, "FILESIZE").c_str(), nullptr, 10);
  c.reboot = Has(req, "REBOOT") && Param(req, "REBOOT") == "1";
  c.bytes = req.body;
  bool fail;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fail = failRaw_;
  }
  if (fail) return;  // closed after the head
  // Room for the whole component up front (within reason) and large reads, so that keeping the
  // bytes never holds the sender up for long.
  c.bytes.reserve(c.bytes.size() + static_cast<std::size_t>(std::min<unsigned long long>(c.declaredSize, 256ull << 20)));
  char buf[65536];
  while (!stopping && c.bytes.size() < c.declaredSize) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;  // broken off: nothing kept
    c.bytes.append(buf, static_cast<std::size_t>(n));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    components_.push_back(c);
  }
  changed_.notify_all();
  SendAll(fd, HttpReply(200, "OK", "OK"));
}

void FakeFirmware::SetVersion(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  version_ = text;
}

void FakeFirmware::FailChunk(int k, ChunkFault fault, int status) {
  std::lock_guard<std::mutex> lock(mutex_);
  failChunk_ = k;
  fault_ = fault;
  faultStatus_ = status;
}

void FakeFirmware::FailRawUploads(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  failRaw_ = on;
}

std::vector<ReceivedComponent> FakeFirmware::Components() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return components_;
}

bool FakeFirmware::HasOpenComponent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

int FakeFirmware::Cancels() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancels_;
}

int FakeFirmware::ChunkRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return chunkRequests_;
}

std::vector<std::string> FakeFirmware::KeepAliveHeads() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return keepAliveHeads_;
}

int FakeFirmware::KeepAlivesOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return keepAlivesOpen_;
}

bool FakeFirmware::WaitKeepAlivesClosed(int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return keepAlivesOpen_ == 0; });
}

std::size_t FakeFirmware::WaitComponents(std::size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return components_.size() >= count; }))
    return 0;
  return components_.back().bytes.size();
}

void FakeFirmware::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  components_.clear();
  keepAliveHeads_.clear();
  chunkRequests_ = 0;
  cancels_ = 0;
  open_ = false;
  failChunk_ = 0;
  fault_ = ChunkFault::None;
  failRaw_ = false;
}

}  // namespace fake
