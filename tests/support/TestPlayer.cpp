// A stand-in for the player program, for tests. Started as "<program folder>/Parvilo <path>
// DYNAMICLOAD=1", it listens on "parvilo-<pid>.sock" in the endpoint folder ($XDG_RUNTIME_DIR,
// else /tmp/trelvix-<uid>), and writes one line per event to $TEST_PLAYER_LOG:
//   PID <pid>
//   ARGS <arg1> <arg2> ...
//   FRAME <message hex> <code> <wParam> <lParam hex> <data as text up to the first zero>
//   READ <file size> WHOLE|TORN   (the growing file read under its lock, at each data notice
//                                  and at the end)
// $TEST_PLAYER_MODE: "ack:<KB>" answers each attach with an ack of that buffer (default
// ack:0), "silent" never answers, "stop" answers with an ack, then a stop, "exit" ends at
// the first attach. $TEST_PLAYER_CHUNK: the chunk size the file must be a whole multiple of
// at every read (0: not checked).
// Its frame coding is written apart from the client's on purpose.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::FILE* g_log = nullptr;
std::string g_folder;
std::string g_file;
std::string g_lockPath;
std::size_t g_chunk = 0;

void Log(const std::string& line) {
  if (!g_log) return;
  std::fprintf(g_log, "%s\n", line.c_str());
  std::fflush(g_log);
}

void Put(std::string& s, std::uint64_t v, int n) {
  for (int i = 0; i < n; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}
std::uint64_t Get(const unsigned char* p, int n) {
  std::uint64_t v = 0;
  for (int i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  return v;
}

void Send(int fd, std::uint32_t message, std::uint64_t wParam, std::uint64_t lParam) {
  std::string f;
  Put(f, message, 4);
  Put(f, 0, 4);
  Put(f, wParam, 8);
  Put(f, lParam, 8);
  Put(f, 0, 4);
  (void)!::send(fd, f.data(), f.size(), MSG_NOSIGNAL);
}

void ReadUnderLock(bool atEnd) {
  if (g_lockPath.empty() || g_file.empty()) return;
  const int lock = ::open(g_lockPath.c_str(), O_RDWR);
  if (lock < 0) return;
  ::flock(lock, LOCK_EX);
  struct stat st {};
  const long long size = ::stat(g_file.c_str(), &st) == 0 ? st.st_size : -1;
  ::flock(lock, LOCK_UN);
  ::close(lock);
  // The last chunk may be short: at the end any size is whole.
  const bool whole = atEnd || g_chunk == 0 || (size >= 0 && static_cast<std::size_t>(size) % g_chunk == 0);
  Log("READ " + std::to_string(size) + (whole ? " WHOLE" : " TORN"));
}

}  // namespace

int main(int argc, char** argv) {
  ::signal(SIGPIPE, SIG_IGN);
  if (const char* log = std::getenv("TEST_PLAYER_LOG")) g_log = std::fopen(log, "a");
  const std::string mode = std::getenv("TEST_PLAYER_MODE") ? std::getenv("TEST_PLAYER_MODE") : "ack:0";
  if (const char* c = std::getenv("TEST_PLAYER_CHUNK")) g_chunk = std::strtoul(c, nullptr, 10);
  Log("PID " + std::to_string(::getpid()));
  std::string args = "ARGS";
  for (int i = 1; i < argc; ++i) args += std::string(" ") + argv[i];
  Log(args);
  if (argc > 1) g_file = argv[1];
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  g_folder = runtime && *runtime ? runtime : "/tmp/trelvix-" + std::to_string(::getuid());
  const std::string path = g_folder + "/parvilo-" + std::to_string(::getpid()) + ".sock";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
  ::unlink(path.c_str());
  if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener, 8) != 0) return 1;
  std::vector<int> clients;
  std::vector<std::string> inputs;
  for (;;) {
    std::vector<pollfd> p{{listener, POLLIN, 0}};
    for (int c : clients) p.push_back({c, POLLIN, 0});
    if (::poll(p.data(), p.size(), 30000) <= 0) break;  // idle for 30 s: the test is over
    if (p[0].revents & POLLIN) {
      const int c = ::accept(listener, nullptr, nullptr);
      if (c >= 0) {
        clients.push_back(c);
        inputs.emplace_back();
      }
    }
    // The clients polled this round (p[1..]); new ones wait for the next round.
    const std::size_t polled = p.size() - 1;
    std::vector<bool> gone(clients.size(), false);
    for (std::size_t i = 0; i < polled; ++i) {
      if (!(p[i + 1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      const ssize_t n = ::recv(clients[i], buf, sizeof buf, 0);
      if (n <= 0) {
        gone[i] = true;
        continue;
      }
      std::string& in = inputs[i];
      in.append(buf, static_cast<std::size_t>(n));
      while (in.size() >= 28) {
        const auto* u = reinterpret_cast<const unsigned char*>(in.data());
        const std::size_t len = Get(u + 24, 4);
        if (in.size() < 28 + len) break;
        const std::uint32_t message = static_cast<std::uint32_t>(Get(u, 4));
        const std::uint32_t code = static_cast<std::uint32_t>(Get(u + 4, 4));
        const std::uint64_t w = Get(u + 8, 8), l = Get(u + 16, 8);
        const std::string data(in.data() + 28, strnlen(in.data() + 28, len));
        in.erase(0, 28 + len);
        char head[96];
        std::snprintf(head, sizeof head, "FRAME %x %u %llu %llx ", message, code, static_cast<unsigned long long>(w),
                      static_cast<unsigned long long>(l));
        Log(head + data);
        if (message == 0x4A && code == 1) g_file = data;
        if (message == 0x4A && code == 2) g_lockPath = g_folder + "/" + data + ".lock";
        if (message == 0x1202 || message == 0x1203) ReadUnderLock(message == 0x1203);
        if (message == 0x1200) {
          if (mode == "exit") return 0;
          if (mode.rfind("ack:", 0) == 0 || mode == "stop") {
            Send(clients[i], 0x1201, mode == "stop" ? 0 : std::strtoull(mode.c_str() + 4, nullptr, 10), 0);
          }
          if (mode == "stop") Send(clients[i], 0x1204, 0, 0);
        }
      }
    }
    for (std::size_t i = clients.size(); i-- > 0;) {
      if (!gone[i]) continue;
      ::close(clients[i]);
      clients.erase(clients.begin() + static_cast<long>(i));
      inputs.erase(inputs.begin() + static_cast<long>(i));
    }
  }
  ::unlink(path.c_str());
  return 0;
}
