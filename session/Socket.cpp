#include "session/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"

using plat::DWORD;
using plat::WORD;

namespace {
// Waits are cut into slices so a cancel request is noticed even if the socket shutdown
// done by the cancel registration does not wake a particular poll.
constexpr int kPollSliceMs = 100;
}  // namespace

CSockAddr::CSockAddr() {
  std::memset(&m_sa, 0, sizeof m_sa);
  m_sa.sin_family = AF_INET;
}

CSockAddr::CSockAddr(const char* ip, WORD port) {
  std::memset(&m_sa, 0, sizeof m_sa);
  m_sa.sin_family = AF_INET;
  m_sa.sin_port = htons(port);
  in_addr a{};
  if (ip != nullptr && inet_aton(ip, &a) != 0) {
    m_sa.sin_addr = a;
  } else {
    m_sa.sin_addr.s_addr = INADDR_NONE;
  }
}

DWORD CSockAddr::IPAddr() const { return ntohl(m_sa.sin_addr.s_addr); }
WORD CSockAddr::Port() const { return ntohs(m_sa.sin_port); }

std::string CSockAddr::DottedText() const {
  const DWORD a = IPAddr();
  char text[20];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned((a >> 24) & 0xFF), unsigned((a >> 16) & 0xFF),
                unsigned((a >> 8) & 0xFF), unsigned(a & 0xFF));
  return text;
}

CBlockingSocket::CBlockingSocket() = default;

CBlockingSocket::~CBlockingSocket() { Cleanup(); }

void CBlockingSocket::Create(int type) {
  Cleanup();
  const int kind = (type == kDatagram) ? SOCK_DGRAM : SOCK_STREAM;
  m_hSocket = ::socket(AF_INET, kind | SOCK_CLOEXEC, 0);
  if (m_hSocket < 0) {
    m_hSocket = -1;
    throw CBlockingSocketException("Create");
  }
  m_cancel = std::make_unique<plat::SocketCancelRegistration>(m_hSocket);
}

void CBlockingSocket::Bind(const CSockAddr& local) {
  if (m_hSocket < 0 || ::bind(m_hSocket, local.AsSockAddr(), sizeof(sockaddr_in)) != 0) {
    throw CBlockingSocketException("Bind");
  }
}

int CBlockingSocket::WaitReady(short events, DWORD timeoutMs) {
  // Time-outs are product constants; the test clock shrinks them into real milliseconds.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(plat::ScaleTimeout(timeoutMs));
  for (;;) {
    plat::CheckCancel();
    const auto now = std::chrono::steady_clock::now();
    const long long left =
        now < deadline ? std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() : 0;
    const int slice = static_cast<int>(std::min<long long>(left, kPollSliceMs));
    pollfd p{m_hSocket, events, 0};
    const int r = ::poll(&p, 1, slice);
    if (r > 0) return 1;
    if (r < 0 && errno != EINTR) return 1;  // the call that follows reports the failure
    plat::CheckCancel();
    if (r == 0 && left <= kPollSliceMs && std::chrono::steady_clock::now() >= deadline) return 0;
  }
}

void CBlockingSocket::Connect(const CSockAddr& remote, WORD timeoutSec) {
  if (m_hSocket < 0) throw CBlockingSocketException("Connect");
  const int flags = ::fcntl(m_hSocket, F_GETFL, 0);
  ::fcntl(m_hSocket, F_SETFL, flags | O_NONBLOCK);
  int r = ::connect(m_hSocket, remote.AsSockAddr(), sizeof(sockaddr_in));
  if (r != 0) {
    if (errno != EINPROGRESS && errno != EINTR) throw CBlockingSocketException("Connect");
    if (WaitReady(POLLOUT, DWORD(timeoutSec) * 1000u) == 0) throw CBlockingSocketException("Connect timeout");
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(m_hSocket, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
      plat::CheckCancel();
      throw CBlockingSocketException("Connect");
    }
  }
  ::fcntl(m_hSocket, F_SETFL, flags & ~O_NONBLOCK);
  m_bConnected = 1;
}

int CBlockingSocket::Send(const void* data, std::size_t length, WORD timeoutSec) {
  if (m_hSocket < 0) throw CBlockingSocketException("Send");
  if (length == 0) {
    if (WaitReady(POLLOUT, DWORD(timeoutSec) * 1000u) == 0) throw CBlockingSocketException("Send timeout");
    return 0;
  }
  plat::CheckCancel();
  auto trySend = [&] {
    ssize_t r;
    do {
      r = ::send(m_hSocket, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (r < 0 && errno == EINTR);
    return r;
  };
  // A send that finds room goes straight out; only a full send buffer waits for writability,
  // within the time-out.
  ssize_t n = trySend();
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    if (WaitReady(POLLOUT, DWORD(timeoutSec) * 1000u) == 0) throw CBlockingSocketException("Send timeout");
    n = trySend();
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;  // writable again later
  }
  if (n < 0) {
    plat::CheckCancel();
    throw CBlockingSocketException("Send");
  }
  return static_cast<int>(n);
}

int CBlockingSocket::Write(const void* data, std::size_t length, WORD timeoutSec) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::size_t sent = 0;
  do {
    sent += static_cast<std::size_t>(Send(p + sent, length - sent, timeoutSec));
  } while (sent < length);
  return static_cast<int>(sent);
}

int CBlockingSocket::WriteAll(const void* data, std::size_t length, WORD timeoutSec) {
  return Write(data, length, timeoutSec);
}

int CBlockingSocket::Receive(void* buffer, std::size_t capacity, WORD timeoutSec) {
  if (m_hSocket < 0 || buffer == nullptr || capacity == 0) return -1;
  if (WaitReady(POLLIN, DWORD(timeoutSec) * 1000u) == 0) return -1;
  ssize_t n;
  do {
    n = ::recv(m_hSocket, buffer, capacity, MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    plat::CheckCancel();
    return -1;
  }
  return static_cast<int>(n);
}

void CBlockingSocket::Close() {
  if (m_hSocket < 0) return;
  m_cancel.reset();
  if (::close(m_hSocket) != 0 && errno != EINTR) {
    // The descriptor is released by Linux even when close reports an error; forget it so
    // that Cleanup does not close a number that may already be reused.
    m_hSocket = -1;
    throw CBlockingSocketException("Close");
  }
  m_hSocket = -1;
  m_bConnected = 0;
}

void CBlockingSocket::Cleanup() {
  m_cancel.reset();
  if (m_hSocket >= 0) {
    ::close(m_hSocket);
    m_hSocket = -1;
  }
  m_bConnected = 0;
}

CSockAddr CBlockingSocket::GetHostByName(const char* name, WORD port) {
  if (name == nullptr || *name == '\0') throw CBlockingSocketException("GetHostByName");
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (::getaddrinfo(name, nullptr, &hints, &res) != 0 || res == nullptr) {
    if (res) ::freeaddrinfo(res);
    throw CBlockingSocketException("GetHostByName");
  }
  sockaddr_in sa{};
  std::memcpy(&sa, res->ai_addr, std::min<std::size_t>(sizeof sa, res->ai_addrlen));
  ::freeaddrinfo(res);
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  return CSockAddr(sa);
}

int CBlockingSocket::Sendto(const void* data, std::size_t length) {
  if (m_hSocket < 0) throw CBlockingSocketException("Sendto");
  const ssize_t n = ::sendto(m_hSocket, data, length, MSG_NOSIGNAL, m_saTarget.AsSockAddr(), sizeof(sockaddr_in));
  if (n < 0) throw CBlockingSocketException("Sendto");
  return static_cast<int>(n);
}

int CBlockingSocket::SetSockOpt() {
  const int on = 1;
  if (m_hSocket < 0 || ::setsockopt(m_hSocket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
    throw CBlockingSocketException("SetSockOpt");
  }
  return 0;
}

std::string GetLocalIPAddress() { return plat::GetLocalIPv4(); }

void GetLocalIPAddress(char* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return;
  const std::string ip = GetLocalIPAddress();
  const std::size_t n = std::min(ip.size(), capacity - 1);
  std::memcpy(out, ip.data(), n);
  out[n] = '\0';
}
