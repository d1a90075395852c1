// The network backup's throughput: 100 MB in 2048-byte chunks from the fake recorder on
// 127.0.0.1, through the download thread with a linked player (its own endpoint in this
// process: acks with a 100 KB buffer and reads the file's size under the lock at every data
// notice), against a plain loop that receives the same stream and writes it to a file.
// One run each. Counter: MB/s. Target: the download reaches at least half the plain loop's.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "core/Messages.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "session/NetworkBackup.h"
#include "session/PlayerLink.h"
#include "session/Socket.h"
#include "tests/support/FakeRecorder.h"

namespace {

constexpr std::size_t kBytes = 100u << 20;

struct Recorder {
  fake::FakeRecorder fake;
  Recorder() {
    fake.Start();
    fake::BackupSettings s;
    s.totalBytes = kBytes;
    s.chunkSize = 2048;
    fake.SetBackup(s);
  }
};

nb::BackupRequest Request(Recorder& r) {
  nb::BackupRequest q;
  q.sessionId = r.fake.GetIdentity().sessionId;
  q.host = "127.0.0.1";
  q.sizeMB = 100;
  return q;
}

std::string Folder() {
  char pattern[] = "/tmp/bench-backup-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  return made ? made : "/tmp";
}

// A player served by this process: one connection, acks every attach, reads under the lock.
class InProcessPlayer {
 public:
  explicit InProcessPlayer(const std::string& folder) : path_(folder + "/" + player::EndpointName(::getpid())) {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path_.c_str());
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener_, 1);
    thread_ = std::thread([this] { Serve(); });
  }
  ~InProcessPlayer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
    ::unlink(path_.c_str());
  }
  void SetFiles(const std::string& lock, const std::string& file) {
    lock_ = lock;
    file_ = file;
  }
  const std::string& Path() const { return path_; }
  int Reads() const { return reads_; }

 private:
  void Serve() {
    pollfd p{listener_, POLLIN, 0};
    while (!stop_ && ::poll(&p, 1, 50) <= 0) {
    }
    if (stop_) return;
    const int c = ::accept(listener_, nullptr, nullptr);
    std::string in;
    char buf[4096];
    while (!stop_) {
      pollfd q{c, POLLIN, 0};
      if (::poll(&q, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(c, buf, sizeof buf, 0);
      if (n <= 0) break;
      in.append(buf, static_cast<std::size_t>(n));
      player::Frame f;
      std::size_t used = 0;
      while (player::DecodeFrame(reinterpret_cast<const std::uint8_t*>(in.data()), in.size(), f, used) == 1) {
        in.erase(0, used);
        if (f.message == msg::WM_PLAYERATTACH) {
          player::Frame ack;
          ack.message = msg::WM_PLAYERACK;
          const std::string bytes = player::EncodeFrame(ack);
          (void)!::send(c, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        } else if (f.message == msg::WM_PLAYERDATAADDED) {
          const int fd = ::open(lock_.c_str(), O_RDWR);
          ::flock(fd, LOCK_EX);
          struct stat st {};
          ::stat(file_.c_str(), &st);
          ::flock(fd, LOCK_UN);
          ::close(fd);
          ++reads_;
        }
      }
    }
    ::close(c);
  }
  std::string path_;
  int listener_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::string lock_, file_;
  std::atomic<int> reads_{0};
};

// Posted messages of the download reach the link's handle; the acks are handed on here.
class AckSink : public plat::MessageSink {
 public:
  explicit AckSink(player::PlayerLinkBlock& link) : link_(link) {}
  void OnPostedMessage(unsigned m, plat::WPARAM w, plat::LPARAM) override {
    if (m == msg::WM_PLAYERACK) {
      link_.dw_PlayerBufferBytes = w == 0 ? 102400u : static_cast<std::uint32_t>(w * 1024);
      link_.f_PlayerReady = 1;
    }
  }

 private:
  player::PlayerLinkBlock& link_;
};

void BM_DownloadThreadWithPlayer(benchmark::State& state) {
  Recorder recorder;
  const std::string folder = Folder();
  ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  InProcessPlayer inProcess(folder);
  player::PlayerLinkBlock link;
  player::CreateBackupLock(link);
  std::uint32_t pid = 0;
  link.h_PlayerWnd = player::ConnectEndpoint(inProcess.Path(), pid);
  const std::string file = folder + "/CH01_0001.dvr";
  inProcess.SetFiles(folder + "/" + link.sz_NetworkBkMutexName + ".lock", file);
  AckSink sink(link);
  const plat::HWND dialog = plat::RegisterMessageSink(&sink);
  plat::PostMessage(link.h_PlayerWnd, msg::WM_PLAYERATTACH, 0, static_cast<plat::LPARAM>(dialog));
  while (link.f_PlayerReady.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  player::BackupPlayer backupPlayer(link);
  for (auto _ : state) {
    nb::DownloadContext c;
    c.server = "127.0.0.1";
    c.port = recorder.fake.Port();
    c.request = Request(recorder);
    c.filePath = file;
    c.startEvent = plat::CreateEvent(false, true);
    c.stopEvent = plat::CreateEvent(false, false);
    c.hooks.player = &backupPlayer;
    int last = 0;
    c.hooks.status = [&](int s, int) { last = s; };
    nb::DownloadFileThread(&c);
    plat::CloseHandle(c.startEvent);
    plat::CloseHandle(c.stopEvent);
    if (last != nb::DS_FINISHED) state.SkipWithError("download did not finish");
  }
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(kBytes) / 1048576.0 * static_cast<double>(state.iterations()),
                                              benchmark::Counter::kIsRate);
  state.counters["player_reads"] = inProcess.Reads();
  plat::UnregisterMessageSink(dialog);
  link.Release();
  std::remove(file.c_str());
}

void BM_PlainReceiveAndWrite(benchmark::State& state) {
  Recorder recorder;
  const std::string folder = Folder();
  const std::string file = folder + "/plain.dvr";
  for (auto _ : state) {
    CBlockingSocket socket;
    socket.Create();
    socket.Connect(CSockAddr("127.0.0.1", recorder.fake.Port()), 10);
    const std::string request = nb::BuildBackupRequest(Request(recorder));
    socket.WriteAll(request.data(), request.size(), 10);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    char buf[2048];
    std::size_t total = 0;
    for (;;) {
      const int n = socket.Receive(buf, sizeof buf, 10);
      if (n <= 0) break;
      total += static_cast<std::size_t>(n);
      (void)!::write(fd, buf, static_cast<std::size_t>(n));
      if (total >= kBytes + (kBytes / 2048 + 1) * 8) break;  // data and every header
    }
    ::close(fd);
    socket.Cleanup();
  }
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(kBytes) / 1048576.0 * static_cast<double>(state.iterations()),
                                              benchmark::Counter::kIsRate);
  std::remove(file.c_str());
}

}  // namespace

BENCHMARK(BM_DownloadThreadWithPlayer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainReceiveAndWrite)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
