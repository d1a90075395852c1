#include "platform/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace plat {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Shared with the handler: lock-free atomics only.
std::atomic<int> g_writeFd{-1};
std::atomic<int> g_received{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs lock-free atomics");
int g_readFd = -1;

extern "C" void OnShutdownSignal(int signo) {
  const int savedErrno = errno;
  if (g_received.exchange(1) != 0) {
    // The shut-down already runs: this one ends the process now.
    ::signal(signo, SIG_DFL);
    ::raise(signo);
    errno = savedErrno;
    return;
  }
  const unsigned char byte = static_cast<unsigned char>(signo);
  const int fd = g_writeFd;
  if (fd >= 0) {
    ssize_t n;
    do {
      n = ::write(fd, &byte, 1);
    } while (n < 0 && errno == EINTR);
  }
  errno = savedErrno;
}

}  // namespace

int InstallShutdownSignals() {
  if (g_readFd >= 0) return g_readFd;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  g_readFd = fds[0];
  g_writeFd = fds[1];
  g_received = 0;
  struct sigaction action {};
  action.sa_handler = OnShutdownSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signo : kSignals) ::sigaction(signo, &action, nullptr);
  return g_readFd;
}

int TakeShutdownSignal() {
  if (g_readFd < 0) return 0;
  unsigned char byte = 0;
  ssize_t n;
  do {
    n = ::read(g_readFd, &byte, 1);
  } while (n < 0 && errno == EINTR);
  return n == 1 ? byte : 0;
}

void RemoveShutdownSignals() {
  if (g_readFd < 0) return;
  for (int signo : kSignals) ::signal(signo, SIG_DFL);
  ::close(g_writeFd.exchange(-1));
  ::close(g_readFd);
  g_readFd = -1;
  g_received = 0;
}

}  // namespace plat
