#include "session/IcmpPing.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "platform/bytes.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "session/Socket.h"

using namespace plat;

namespace {

constexpr int kPingWaitMs = 1000;
constexpr std::size_t kPingReplyMax = 321;
constexpr std::size_t kReplyTickOffset = 29;  // 20-byte IP header + 9

bool IsDottedAddress(const std::string& s) {
  in_addr a{};
  return inet_pton(AF_INET, s.c_str(), &a) == 1;
}

}  // namespace

WORD IcmpChecksum(const std::uint8_t* d, std::size_t size) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  ByteReader in(d, size);
  for (std::uint16_t word = 0; in.U16(word); i += 2) sum += word;
  if (i < size) sum += d[i];
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  return static_cast<WORD>(~sum);
}

void BuildIcmpEchoRequest(std::uint8_t* out, WORD id, WORD seq, DWORD tick) {
  ByteWriter w(out, kIcmpEchoSize);
  w.U8(8);   // echo request
  w.U8(0);   // code
  w.U16(0);  // checksum, filled in below
  w.U16(id);
  w.U16(seq);
  w.U8(0);
  w.U32(tick);
  for (int i = 0; i < 32; ++i) w.U8(static_cast<std::uint8_t>(32 + i));
  w.U16At(2, IcmpChecksum(out, kIcmpEchoSize));
}

int CIcmpPing::Ping(const std::string& hostName, BYTE* timeToLive) {
  if (hostName.empty()) return 0;
  CSockAddr target;
  try {
    target = IsDottedAddress(hostName) ? CSockAddr(hostName.c_str(), 0)
                                       : CBlockingSocket::GetHostByName(hostName.c_str(), 0);
  } catch (const CBlockingSocketException&) {
    return 0;
  }
  const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) return 0;  // raw sockets need privileges a normal user lacks
  SocketCancelRegistration cancel(fd);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};

  std::uint8_t packet[kIcmpEchoSize];
  BuildIcmpEchoRequest(packet, m_wIdentifier.fetch_add(1), m_wSequence.fetch_add(1), GetTickCount());
  if (::sendto(fd, packet, sizeof packet, MSG_NOSIGNAL, target.AsSockAddr(), sizeof(sockaddr_in)) < 0) {
    return 0;
  }
  // Wait up to a second in slices so a cancelled thread leaves at once.
  const std::uint64_t until = GetTickCount64() + kPingWaitMs;
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    CheckCancel();
    const std::uint64_t now = GetTickCount64();
    if (now >= until) return 0;
    const int r = ::poll(&p, 1, static_cast<int>(std::min<std::uint64_t>(until - now, 50)));
    if (r < 0) return 0;
    if (r > 0) break;
  }
  std::uint8_t reply[kPingReplyMax];
  const ssize_t n = ::recv(fd, reply, sizeof reply, 0);
  if (n < 9) return 0;
  if (timeToLive) *timeToLive = reply[8];
  if (static_cast<std::size_t>(n) >= kReplyTickOffset + 4) {
    DWORD sent = 0;
    ByteReader(reply, static_cast<std::size_t>(n)).U32At(kReplyTickOffset, sent);
    m_dwLastRoundTrip.store(GetTickCount() - sent);
  }
  return 1;
}
