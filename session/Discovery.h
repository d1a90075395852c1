// LAN discovery over UDP: sending one request, and the socket on which replies arrive.
//
// Requests go from the PC's own address (g_strLocalIP), port 3333, to the broadcast address
// 255.255.255.255, port 7777; replies come back to port 3332. Tests replace the ports and
// the target list (loopback only) with SetDiscoveryEndpoints.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "session/DiscoveryPacket.h"
#include "platform/types.h"

struct DiscoveryEndpoints {
  std::uint16_t localPort = kDiscoverySendPort;  // 0: any free port
  std::vector<std::pair<std::string, std::uint16_t>> targets{{"255.255.255.255", kDiscoveryTargetPort}};
  std::uint16_t replyPort = kDiscoveryReplyPort;
};
void SetDiscoveryEndpoints(const DiscoveryEndpoints& endpoints);
DiscoveryEndpoints GetDiscoveryEndpoints();
void ResetDiscoveryEndpoints();

// Sends one request to every target. A failure to create, configure, bind or send is shown
// as "SendBroadCast is wrong" (message box); answers whether the request went out.
bool SendDiscoveryBroadcast(const DiscoveryPacket& packet, plat::HWND owner = 0);

// The socket replies arrive on: bound to any local address at the reply port.
class DiscoveryReplySocket {
 public:
  DiscoveryReplySocket() = default;
  ~DiscoveryReplySocket();
  DiscoveryReplySocket(const DiscoveryReplySocket&) = delete;
  DiscoveryReplySocket& operator=(const DiscoveryReplySocket&) = delete;

  enum class OpenResult { Ok, CreateFailed, BindFailed };
  OpenResult Open();
  void Close();

  // Waits up to `milliseconds` (a product time-out, scaled by the test clock; cancellable on
  // threads made by plat::CreateThread): 1 a datagram is waiting, 0 none came, -1 the wait failed.
  int Wait(plat::DWORD milliseconds);
  // Receives one datagram into `buffer` (at most 76 bytes); -1 on failure.
  int Receive(std::uint8_t (&buffer)[kDiscoveryPacketSize]);

 private:
  int fd_ = -1;
  void* cancel_ = nullptr;
};

// The search: every datagram of a full 76 bytes is handed to `onReply`, shorter ones are
// ignored; each wait lasts at most 5 s and no new wait begins once 10 s have passed since
// the start.
constexpr plat::DWORD kSearchWaitMs = 5000;
constexpr plat::DWORD kSearchTotalMs = 10000;
void CollectDiscoveryReplies(DiscoveryReplySocket& socket, const std::function<void(const DiscoveryReply&)>& onReply);
