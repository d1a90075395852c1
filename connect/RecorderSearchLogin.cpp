#include "connect/RecorderSearchLogin.h"

#include <cstdint>

#include "session/Discovery.h"
#include "session/DiscoveryPacket.h"
#include "engine/AppRecord.h"
#include "platform/clock.h"

std::string FindFirstRecorder(plat::HWND owner) {
  DiscoveryReplySocket socket;
  const bool listening = socket.Open() == DiscoveryReplySocket::OpenResult::Ok;
  if (!SendDiscoveryBroadcast(BuildSearchRequest(g_strLocalIP.Get()), owner) || !listening) {
    return kAutoLoginFallbackServer;
  }
  const plat::DWORD start = plat::GetTickCount();
  while (plat::GetTickCount() - start < kSearchWaitMs * 2) {
    if (socket.Wait(kSearchWaitMs) != 1) break;
    std::uint8_t buffer[kDiscoveryPacketSize];
    const int n = socket.Receive(buffer);
    DiscoveryReply reply;
    if (n > 0 && ParseDiscoveryReply(buffer, static_cast<std::size_t>(n), reply)) return reply.ip;
  }
  return kAutoLoginFallbackServer;
}

int CommandLineAutoLogin(const std::string& serverText) {
  return CommandLineAutoLoginAt(serverText, kAutoLoginWebPort);
}

int CommandLineAutoLoginAt(const std::string& serverText, plat::WORD webPort) {
  return CommandLineAutoLoginAt(serverText, webPort, [] { return FindFirstRecorder(); });
}
