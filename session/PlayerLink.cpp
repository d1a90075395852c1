#include "session/PlayerLink.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "core/Messages.h"
#include "platform/bytes.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/kernel.h"
#include "platform/messages.h"

namespace player {

std::string EncodeFrame(const Frame& f) {
  const std::size_t n = std::min(f.data.size(), kMaxFrameData);
  std::string s(kFrameHead + n, '\0');
  plat::ByteWriter w(s.data(), s.size());
  w.U32(f.message);
  w.U32(f.code);
  w.U64(f.wParam);
  w.U64(f.lParam);
  w.U32(static_cast<std::uint32_t>(n));
  w.Bytes(f.data.data(), n);
  return s;
}

int DecodeFrame(const std::uint8_t* data, std::size_t length, Frame& f, std::size_t& consumed) {
  consumed = 0;
  if (length < kFrameHead) return 0;
  plat::ByteReader r(data, length);
  std::uint32_t n = 0;
  r.U32At(24, n);
  if (n > kMaxFrameData) return -1;
  if (length < kFrameHead + n) return 0;
  r.U32(f.message);
  r.U32(f.code);
  r.U64(f.wParam);
  r.U64(f.lParam);
  f.data.assign(data + kFrameHead, data + kFrameHead + n);
  consumed = kFrameHead + n;
  return 1;
}

std::string EndpointFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return runtime;
  char folder[64];
  std::snprintf(folder, sizeof folder, "/tmp/trelvix-%u", static_cast<unsigned>(::getuid()));
  if (::mkdir(folder, 0700) != 0 && errno != EEXIST) return "";
  // Only a private folder of ours: another user's folder could hand us a fake player.
  if (::lstat(folder, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
    return "";
  }
  return folder;
}

std::string EndpointName(int pid) { return "parvilo-" + std::to_string(pid) + ".sock"; }

bool IsPlayerEndpointName(const std::string& name) {
  static constexpr char kPrefix[] = "parvilo-";
  static constexpr char kSuffix[] = ".sock";
  constexpr std::size_t prefix = sizeof kPrefix - 1, suffix = sizeof kSuffix - 1;
  if (name.size() <= prefix + suffix || name.size() > prefix + 10 + suffix) return false;
  if (name.compare(0, prefix, kPrefix) != 0 || name.compare(name.size() - suffix, suffix, kSuffix) != 0) return false;
  const std::string digits = name.substr(prefix, name.size() - prefix - suffix);
  if (digits[0] == '0') return false;  // EndpointName never writes a leading zero
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  return std::strtoull(digits.c_str(), nullptr, 10) <= 0x7FFFFFFFull;
}

// ---- connections ---------------------------------------------------------------------------

namespace {

class Connection : public plat::MessageSink, public std::enable_shared_from_this<Connection> {
 public:
  explicit Connection(int fd) : fd_(fd) {}
  ~Connection() override { ::close(fd_); }

  void Start() {
    auto self = shared_from_this();
    std::thread([self] { self->WriteLoop(); }).detach();
    std::thread([self] { self->ReadLoop(); }).detach();
  }
  void OnPostedMessage(unsigned msg, plat::WPARAM wParam, plat::LPARAM lParam) override {
    if (msg == msg::WM_PLAYERATTACH) attached_ = static_cast<plat::HWND>(lParam);
    Frame f;
    f.message = msg;
    f.wParam = static_cast<std::uint64_t>(wParam);
    f.lParam = static_cast<std::uint64_t>(lParam);
    Queue(EncodeFrame(f));
  }
  void Queue(std::string bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    queue_.push_back(std::move(bytes));
    cv_.notify_all();
  }
  // Writes at once, bounded; the queue's frames go first.
  bool SendNow(const std::string& bytes, unsigned timeoutMs) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return (queue_.empty() && !writing_) || closed_; }) ||
          closed_) {
        return false;
      }
    }
    std::lock_guard<std::mutex> write(writeMutex_);
    return WriteAll(bytes, static_cast<int>(timeoutMs));
  }
  void Close() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
      cv_.notify_all();
    }
    ::shutdown(fd_, SHUT_RDWR);
  }
  bool Closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
  }
  plat::HWND hwnd = 0;
  std::uint32_t pid = 0;

 private:
  bool WriteAll(const std::string& bytes, int timeoutMs) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, timeoutMs) <= 0) return false;
      const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
  void WriteLoop() {
    for (;;) {
      std::string bytes;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [&] { return closed_ || !queue_.empty(); });
        if (closed_) return;
        bytes = std::move(queue_.front());
        queue_.pop_front();
        writing_ = true;
      }
      // Posters only queue: a player that reads slowly holds up this thread, never them.
      // Whole frames go out under the write lock, so a copy-data frame cannot cut into one.
      bool ok;
      {
        std::lock_guard<std::mutex> write(writeMutex_);
        ok = WriteAll(bytes, 5000);
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        writing_ = false;
        cv_.notify_all();
      }
      if (!ok) {
        Gone();
        return;
      }
    }
  }
  void ReadLoop() {
    std::vector<std::uint8_t> in;
    std::uint8_t buf[2048];
    for (;;) {
      const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      in.insert(in.end(), buf, buf + n);
      Frame f;
      std::size_t used = 0;
      int rc;
      while ((rc = DecodeFrame(in.data(), in.size(), f, used)) == 1) {
        in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(used));
        if (f.message == msg::WM_PLAYERACK || f.message == msg::WM_PLAYERSTOP) {
          const plat::HWND dialog = attached_.load();
          if (dialog) plat::PostMessage(dialog, f.message, static_cast<plat::WPARAM>(f.wParam), static_cast<plat::LPARAM>(hwnd));
        }
      }
      if (rc < 0) break;  // not our protocol: drop the player
    }
    Gone();
  }
  void Gone();

  int fd_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::string> queue_;
  bool closed_ = false;
  bool writing_ = false;
  std::mutex writeMutex_;
  std::atomic<plat::HWND> attached_{0};
};

std::mutex g_registryMutex;
std::map<plat::HWND, std::shared_ptr<Connection>>& Registry() {
  static auto* registry = new std::map<plat::HWND, std::shared_ptr<Connection>>;
  return *registry;
}

std::shared_ptr<Connection> Find(plat::HWND hwnd) {
  std::lock_guard<std::mutex> lock(g_registryMutex);
  auto it = Registry().find(hwnd);
  return it == Registry().end() ? nullptr : it->second;
}

void Connection::Gone() {
  Close();
  plat::UnregisterMessageSink(hwnd);
  std::lock_guard<std::mutex> lock(g_registryMutex);
  Registry().erase(hwnd);
}

}  // namespace

plat::HWND ConnectEndpoint(const std::string& path, std::uint32_t& peerPid) {
  peerPid = 0;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return 0;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return 0;
  }
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || credentials.uid != ::getuid()) {
    ::close(fd);
    return 0;
  }
  auto connection = std::make_shared<Connection>(fd);
  connection->pid = static_cast<std::uint32_t>(credentials.pid);
  connection->hwnd = plat::RegisterMessageSink(connection.get());
  if (connection->hwnd == 0) return 0;
  {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    Registry()[connection->hwnd] = connection;
  }
  connection->Start();
  peerPid = connection->pid;
  return connection->hwnd;
}

std::uint32_t ProcessOfWindow(plat::HWND hwnd) {
  auto c = Find(hwnd);
  return c && !c->Closed() ? c->pid : 0;
}

bool SendCopyData(plat::HWND hwnd, std::uint32_t code, const void* data, std::size_t length, unsigned timeoutMs) {
  auto c = Find(hwnd);
  if (!c || length > kMaxFrameData) return false;
  Frame f;
  f.message = WM_COPYDATA;
  f.code = code;
  const auto* p = static_cast<const std::uint8_t*>(data);
  f.data.assign(p, p + length);
  return c->SendNow(EncodeFrame(f), timeoutMs);
}

void Disconnect(plat::HWND hwnd) {
  if (auto c = Find(hwnd)) {
    c->Close();
    plat::UnregisterMessageSink(hwnd);
    std::lock_guard<std::mutex> lock(g_registryMutex);
    Registry().erase(hwnd);
  }
}

void PlayerLinkBlock::Release() {
  if (plat::HANDLE m = h_NetworkBkMutex.exchange(0)) plat::CloseHandle(m);
  if (plat::HWND w = h_PlayerWnd.exchange(0)) Disconnect(w);
  dw_PlayerProcessId = 0;
}

// ---- the finder ----------------------------------------------------------------------------

CWindowFinder::~CWindowFinder() { Clear(); }

void CWindowFinder::Clear() {
  // Entries not handed out lose their connections.
  for (auto& e : m_arrEntries) {
    if (e->hWnd && e->hWnd != kept_) Disconnect(e->hWnd);
  }
  m_arrEntries.clear();
}

bool CWindowFinder::IsExcluded(const WindowEntry& e) const {
  // Every endpoint counts as a visible window without a parent.
  if (!(m_nFilterFlags & 0x01) && (m_nFilterFlags & 0x02)) return true;
  if (!(m_nFilterFlags & 0x04) && (m_nFilterFlags & 0x08)) return true;
  if (m_nFilterFlags & 0x10) {
    for (const std::string& c : m_arrExcludedClasses) {
      if (c == e.strClassName) return true;
    }
  }
  return false;
}

void CWindowFinder::Enumerate() {
  const std::string folder = m_strFolder.empty() ? EndpointFolder() : m_strFolder;
  if (folder.empty()) return;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (dirent* d = ::readdir(dir)) {
    // Only players' endpoints: the folder also holds the sockets of the user's other programs,
    // which must never see a connection from us.
    const std::string name = d->d_name;
    if (IsPlayerEndpointName(name)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::uint32_t pid = 0;
    const plat::HWND hwnd = ConnectEndpoint(folder + "/" + name, pid);
    if (!hwnd) continue;
    auto e = std::make_unique<WindowEntry>();
    e->strClassName = name.substr(0, 259);
    e->dwProcessId = pid;
    e->hWnd = hwnd;
    if (IsExcluded(*e)) {
      Disconnect(hwnd);
      continue;
    }
    m_arrEntries.push_back(std::move(e));
  }
}

plat::HWND CWindowFinder::FindWindowOfProcess(std::uint32_t processId) {
  // The handle handed out by an earlier search belongs to its caller now.
  Clear();
  kept_ = 0;
  Enumerate();
  for (int retry = 0; m_arrEntries.empty() && retry < 3; ++retry) {
    plat::Sleep(3000);
    Enumerate();
  }
  for (auto& e : m_arrEntries) {
    if (e->dwProcessId == processId) {
      kept_ = e->hWnd;
      break;
    }
  }
  // The connections of the other players are not needed.
  for (auto& e : m_arrEntries) {
    if (e->hWnd != kept_) {
      Disconnect(e->hWnd);
      e->hWnd = 0;
    }
  }
  return kept_;
}

std::string CWindowFinder::GetClassNameAt(std::size_t i) const {
  return i < m_arrEntries.size() ? m_arrEntries[i]->strClassName : std::string();
}
plat::HWND CWindowFinder::GetWindowAt(std::size_t i) const { return i < m_arrEntries.size() ? m_arrEntries[i]->hWnd : 0; }
const WindowEntry* CWindowFinder::GetEntryAt(std::size_t i) const {
  return i < m_arrEntries.size() ? m_arrEntries[i].get() : nullptr;
}

// ---- the download's view -------------------------------------------------------------------

void BackupPlayer::Post(unsigned msg, std::uint64_t wParam, std::uint64_t lParam) {
  const plat::HWND w = link_.h_PlayerWnd.load();
  if (w) plat::PostMessage(w, msg, static_cast<plat::WPARAM>(wParam), static_cast<plat::LPARAM>(lParam));
}

void BackupPlayer::LockFile() {
  const plat::HANDLE m = link_.h_NetworkBkMutex.load();
  if (m && plat::LockFileLock(m)) locked_ = m;
}

void BackupPlayer::UnlockFile() {
  if (locked_) plat::UnlockFileLock(locked_);
  locked_ = 0;
}

bool CreateBackupLock(PlayerLinkBlock& link) {
  if (plat::HANDLE old = link.h_NetworkBkMutex.exchange(0)) plat::CloseHandle(old);
  std::memset(link.sz_NetworkBkMutexName, 0, sizeof link.sz_NetworkBkMutexName);
  const std::string folder = EndpointFolder();
  if (folder.empty()) return false;
  // The tick count alone can repeat within one millisecond: step on until the name is new.
  for (std::int64_t tick = static_cast<std::int32_t>(plat::GetTickCount());; ++tick) {
    char name[32];
    std::snprintf(name, sizeof name, "%s_%d", "NETWORKBK", static_cast<int>(tick));
    const std::string path = folder + "/" + name + ".lock";
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) continue;
    const plat::HANDLE lock = plat::CreateFileLock(path);
    if (!lock) return false;
    std::memcpy(link.sz_NetworkBkMutexName, name, std::strlen(name));
    link.h_NetworkBkMutex = lock;
    return true;
  }
}

}  // namespace player
