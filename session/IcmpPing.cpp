#include "session/DormantSession.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "core/AppRecord.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "session/Receiver.h"
#include "session/RtpHeader.h"
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

int DectectSocketConnection() {
  AppRecord* app = g_lpApp;
  if (app == nullptr) return 0;
  const std::string server = app->CSettingINI.m_strServerName.Get();
  if (server.empty()) return 0;
  const WORD port = app->CSettingINI.m_wWebPort.load();
  CBlockingSocket sock;
  try {
    sock.Create(CBlockingSocket::kStream);
    const CSockAddr addr = IsDottedAddress(server) ? CSockAddr(server.c_str(), port)
                                                   : CBlockingSocket::GetHostByName(server.c_str(), port);
    sock.Connect(addr);
    sock.Close();
    sock.Cleanup();
    return 1;
  } catch (const CBlockingSocketException&) {
    // A name that does not resolve is a failed test like a refused connection.
    sock.Cleanup();
    return 0;
  }
}

WORD IcmpChecksum(const std::uint8_t* d, std::size_t size) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>(d[i] | (d[i + 1] << 8));
  if (i < size) sum += d[i];
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  return static_cast<WORD>(~sum);
}

void BuildIcmpEchoRequest(std::uint8_t* out, WORD id, WORD seq, DWORD tick) {
  out[0] = 8;
  out[1] = 0;
  out[2] = out[3] = 0;
  out[4] = static_cast<std::uint8_t>(id);
  out[5] = static_cast<std::uint8_t>(id >> 8);
  out[6] = static_cast<std::uint8_t>(seq);
  out[7] = static_cast<std::uint8_t>(seq >> 8);
  out[8] = 0;
  for (int i = 0; i < 4; ++i) out[9 + i] = static_cast<std::uint8_t>(tick >> (8 * i));
  for (int i = 0; i < 32; ++i) out[13 + i] = static_cast<std::uint8_t>(32 + i);
  const WORD c = IcmpChecksum(out, kIcmpEchoSize);
  out[2] = static_cast<std::uint8_t>(c);
  out[3] = static_cast<std::uint8_t>(c >> 8);
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
    for (int i = 0; i < 4; ++i) sent |= static_cast<DWORD>(reply[kReplyTickOffset + i]) << (8 * i);
    m_dwLastRoundTrip.store(GetTickCount() - sent);
  }
  return 1;
}

std::uint32_t GetStreamStatus() { return g_dwStreamStatus.load(); }

std::uint16_t CRtpHeader::StepAlarmState(std::uint16_t stateWord, std::uint16_t modeWord) {
  if (modeWord == 0) {
    std::uint16_t expected = 15;
    m_wAlarmData.compare_exchange_strong(expected, 0);
    return m_wAlarmData.load();
  }
  const std::uint16_t value = (stateWord & 0x0002) ? 2 : (stateWord & 0x0001) ? 1 : 0;
  m_wAlarmData.store(value);
  return value;
}
