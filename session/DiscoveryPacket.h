// The 76-byte datagrams of LAN discovery: the search request, the set-address and reset
// requests, and the recorders' replies, all in one layout. Multi-byte integers are
// little-endian; address bytes stand in the order of the dotted form. Serialised field by
// field; a datagram shorter than the layout is refused.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr std::size_t kDiscoveryPacketSize = 76;

// Field offsets.
namespace discovery_offset {
constexpr std::size_t kCommand = 0;      // 16 bytes, zero-terminated name
constexpr std::size_t kCode = 16;
constexpr std::size_t kTypeStatus = 17;  // search reply: device type; set/reset reply: status
constexpr std::size_t kMac = 18;         // 6 bytes
constexpr std::size_t kUser = 24;        // 16 bytes
constexpr std::size_t kPassword = 40;    // 16 bytes
constexpr std::size_t kIP = 56;          // 4 bytes each from here
constexpr std::size_t kNetMask = 60;
constexpr std::size_t kGateway = 64;
constexpr std::size_t kDNS = 68;
constexpr std::size_t kPort = 72;        // 16-bit
constexpr std::size_t kTail = 74;        // 16-bit
}  // namespace discovery_offset

// Ports of the protocol.
constexpr std::uint16_t kDiscoverySendPort = 3333;   // our side of every request
constexpr std::uint16_t kDiscoveryTargetPort = 7777; // the recorders listen here
constexpr std::uint16_t kDiscoveryReplyPort = 3332;  // replies come back here

// Request codes.
constexpr std::uint8_t kDiscoverySearchCode = 1;
constexpr std::uint8_t kDiscoverySetIPCode = 2;
constexpr std::uint8_t kDiscoveryResetCode = 3;

// Status of a set-address or reset reply.
constexpr std::uint8_t kDiscoveryStatusRefused = 0;   // user name or password not accepted
constexpr std::uint8_t kDiscoveryStatusDone = 1;
constexpr std::uint8_t kDiscoveryStatusNotStatic = 2; // not in static address mode

struct DiscoveryPacket {
  char szCommand[16] = {};
  std::uint8_t byCode = 0;
  std::uint8_t byTypeStatus = 0;
  std::uint8_t abyMac[6] = {};
  char szUser[16] = {};
  char szPassword[16] = {};
  std::uint8_t abyIP[4] = {};
  std::uint8_t abyNetMask[4] = {};
  std::uint8_t abyGateway[4] = {};
  std::uint8_t abyDNS[4] = {};
  std::uint16_t wPort = 0;
  std::uint16_t wTail = 0;
};

void SerializeDiscoveryPacket(const DiscoveryPacket& packet, std::uint8_t (&out)[kDiscoveryPacketSize]);
// False (packet untouched) when fewer than 76 bytes are given; extra bytes are ignored.
bool ParseDiscoveryPacket(const std::uint8_t* data, std::size_t length, DiscoveryPacket& packet);

// A recorder's reply as the discovery window shows it.
struct DiscoveryReply {
  std::string mac;      // "%.2x:%.2x:%.2x:%.2x:%.2x:%.2x"
  std::string ip;       // "%d.%d.%d.%d"
  std::string netMask;
  std::string gateway;
  std::string dns;
  std::uint32_t port = 0;
  std::uint8_t rawType = 0;  // byte 17 as received
  std::uint8_t type = 0;     // after the type rule (unknown types become 50)
  std::uint8_t macByte5 = 0, macByte6 = 0;
};
bool ParseDiscoveryReply(const std::uint8_t* data, std::size_t length, DiscoveryReply& reply);

// Device kinds of byte 17 of a search reply.
constexpr std::uint8_t kDeviceTypeVideoServer = 50;
std::uint8_t NormalizeDiscoveryDeviceType(std::uint8_t type);  // unknown types give 50
const char* DiscoveryDeviceName(std::uint8_t type);
bool DiscoveryDeviceMayBeChanged(std::uint8_t type);  // set-address and reset allowed

// "a.b.c.d" into four bytes, each the low 8 bits of the decimal value of its part's leading
// digits; missing parts give 0. Refused (false, out untouched) when the text has more than
// four parts.
bool DottedTextToBytes(std::string_view text, std::uint8_t (&out)[4]);
// A MAC text: ':' removed, it must be exactly 12 hexadecimal digits (either case); else false
// and out untouched.
bool DiscoveryMacToBytes(std::string_view text, std::uint8_t (&out)[6]);

// Requests.
DiscoveryPacket BuildSearchRequest(const std::string& localIP);
struct DiscoverySettings {
  std::string mac, user, password, ip, netMask, gateway, dns;
  std::uint16_t port = 0;
};
// "ZQ_SET_IP" (code 2) or "ZQ_RESET" (code 3). False when the MAC or an address text does not
// fit its field (nothing to send then). User name and password are cut to 15 characters.
bool BuildSettingsRequest(bool reset, const DiscoverySettings& settings, DiscoveryPacket& packet);
