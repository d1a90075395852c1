#include "session/Discovery.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>

#include "session/SessionRecord.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "session/Socket.h"

namespace {
std::mutex g_endpointsMutex;
DiscoveryEndpoints g_endpoints;
}  // namespace

void SetDiscoveryEndpoints(const DiscoveryEndpoints& endpoints) {
  std::lock_guard<std::mutex> lock(g_endpointsMutex);
  g_endpoints = endpoints;
}

DiscoveryEndpoints GetDiscoveryEndpoints() {
  std::lock_guard<std::mutex> lock(g_endpointsMutex);
  return g_endpoints;
}

void ResetDiscoveryEndpoints() { SetDiscoveryEndpoints(DiscoveryEndpoints{}); }

bool SendDiscoveryBroadcast(const DiscoveryPacket& packet, plat::HWND owner) {
  const DiscoveryEndpoints endpoints = GetDiscoveryEndpoints();
  std::uint8_t bytes[kDiscoveryPacketSize];
  SerializeDiscoveryPacket(packet, bytes);
  CBlockingSocket socket;
  bool sent = true;
  try {
    socket.Create(CBlockingSocket::kDatagram);
    socket.SetSockOpt();
    socket.Bind(CSockAddr(g_strLocalIP.Get().c_str(), endpoints.localPort));
    for (const auto& [address, port] : endpoints.targets) {
      socket.m_saTarget = CSockAddr(address.c_str(), port);
      socket.Sendto(bytes, sizeof bytes);
    }
  } catch (const CBlockingSocketException&) {
    sent = false;
  }
  socket.Cleanup();
  if (!sent) plat::MessageBox(owner, "SendBroadCast is wrong");
  return sent;
}

DiscoveryReplySocket::~DiscoveryReplySocket() { Close(); }

DiscoveryReplySocket::OpenResult DiscoveryReplySocket::Open() {
  Close();
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return OpenResult::CreateFailed;
  cancel_ = new plat::SocketCancelRegistration(fd_);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = htons(GetDiscoveryEndpoints().replyPort);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
    Close();
    return OpenResult::BindFailed;
  }
  return OpenResult::Ok;
}

void DiscoveryReplySocket::Close() {
  delete static_cast<plat::SocketCancelRegistration*>(cancel_);
  cancel_ = nullptr;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int DiscoveryReplySocket::Wait(plat::DWORD milliseconds) {
  if (fd_ < 0) return -1;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(plat::ScaleTimeout(milliseconds));
  for (;;) {
    plat::CheckCancel();
    const long long left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left < 0 ? 0 : (left > 50 ? 50 : left)));
    if (r < 0 && errno != EINTR) return -1;
    if (r > 0) {
      plat::CheckCancel();  // a cancel shuts the socket down, which also wakes the poll
      return (p.revents & POLLIN) ? 1 : -1;
    }
    if (left <= 0) return 0;
  }
}

int DiscoveryReplySocket::Receive(std::uint8_t (&buffer)[kDiscoveryPacketSize]) {
  if (fd_ < 0) return -1;
  ssize_t n;
  do {
    n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<int>(n);
}

void CollectDiscoveryReplies(DiscoveryReplySocket& socket, const std::function<void(const DiscoveryReply&)>& onReply) {
  const plat::DWORD start = plat::GetTickCount();
  std::uint8_t buffer[kDiscoveryPacketSize];
  for (;;) {
    // Unsigned difference: a wrap of the tick counter during the search does no harm.
    if (plat::GetTickCount() - start >= kSearchTotalMs) break;
    if (socket.Wait(kSearchWaitMs) != 1) break;
    const int n = socket.Receive(buffer);
    if (n < 0) break;
    DiscoveryReply reply;
    if (!ParseDiscoveryReply(buffer, static_cast<std::size_t>(n), reply)) continue;  // short datagram
    onReply(reply);
  }
}
