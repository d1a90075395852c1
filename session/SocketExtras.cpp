// The socket class's less used operations: listening and accepting, datagrams with their
// peers, and the names of the two ends.
#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/thread.h"
#include "session/Socket.h"

using namespace plat;

void CBlockingSocket::Listen() {
  if (m_hSocket < 0 || ::listen(m_hSocket, 5) != 0) throw CBlockingSocketException("Listen");
}

BOOL CBlockingSocket::Accept(CBlockingSocket& connected, CSockAddr& peer) {
  if (m_hSocket < 0) throw CBlockingSocketException("Accept");
  // Wait in slices so a cancelled thread leaves at once.
  while (WaitReady(POLLIN, 1000) == 0) {
  }
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  const int fd = ::accept4(m_hSocket, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
  if (fd < 0) {
    if (errno == EINTR) return FALSE_;
    CheckCancel();  // a socket shut down by cancellation
    throw CBlockingSocketException("Accept");
  }
  connected.Cleanup();
  connected.m_hSocket = fd;
  connected.m_cancel = std::make_unique<SocketCancelRegistration>(fd);
  connected.m_bConnected = 1;
  peer = CSockAddr(sa);
  return TRUE_;
}

int CBlockingSocket::ReceiveDatagram(void* buffer, std::size_t capacity, CSockAddr& from, WORD) {
  if (m_hSocket < 0 || buffer == nullptr) throw CBlockingSocketException("ReceiveDatagram");
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  const ssize_t n = ::recvfrom(m_hSocket, buffer, capacity, MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&sa), &len);
  if (n < 0) throw CBlockingSocketException("ReceiveDatagram");
  from = CSockAddr(sa);
  return static_cast<int>(n);
}

int CBlockingSocket::SendDatagram(const void* data, std::size_t length, const CSockAddr& to,
                                  WORD timeoutSec) {
  if (m_hSocket < 0) throw CBlockingSocketException("SendDatagram");
  if (WaitReady(POLLOUT, DWORD(timeoutSec) * 1000u) == 0) throw CBlockingSocketException("Send timeout");
  const ssize_t n = ::sendto(m_hSocket, data, length, MSG_NOSIGNAL, to.AsSockAddr(), sizeof(sockaddr_in));
  if (n < 0) throw CBlockingSocketException("SendDatagram");
  return static_cast<int>(n);
}

void CBlockingSocket::GetPeerName(CSockAddr& addr) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (m_hSocket < 0 || ::getpeername(m_hSocket, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    throw CBlockingSocketException("GetPeerName");
  }
  addr = CSockAddr(sa);
}

void CBlockingSocket::GetSockName(CSockAddr& addr) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (m_hSocket < 0 || ::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    throw CBlockingSocketException("GetSockName");
  }
  addr = CSockAddr(sa);
}

std::string CBlockingSocket::GetHostByAddr(const CSockAddr& addr) {
  char host[NI_MAXHOST];
  sockaddr_in sa = addr.Raw();
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                    NI_NAMEREQD) != 0) {
    throw CBlockingSocketException("GetHostByAddr");
  }
  return host;
}
