#include "session/DiscoveryPacket.h"

#include <cstdio>
#include <cstring>

#include "platform/bytes.h"

namespace o = discovery_offset;

namespace {

void PutText(std::uint8_t* out, const char* text, std::size_t field) {
  std::size_t n = 0;
  while (n < field && text[n] != 0) {
    out[n] = static_cast<std::uint8_t>(text[n]);
    ++n;
  }
  for (; n < field; ++n) out[n] = 0;
}

void GetText(const std::uint8_t* in, char* text, std::size_t field) {
  for (std::size_t i = 0; i < field; ++i) text[i] = static_cast<char>(in[i]);
}

void CopyText(char* field, std::size_t size, const std::string& text) {
  std::memset(field, 0, size);
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(field, text.data(), n);
}

std::string Dotted(const std::uint8_t* b) {
  char s[20];
  std::snprintf(s, sizeof s, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
  return s;
}

}  // namespace

void SerializeDiscoveryPacket(const DiscoveryPacket& p, std::uint8_t (&out)[kDiscoveryPacketSize]) {
  PutText(out + o::kCommand, p.szCommand, 16);
  out[o::kCode] = p.byCode;
  out[o::kTypeStatus] = p.byTypeStatus;
  std::memcpy(out + o::kMac, p.abyMac, 6);
  PutText(out + o::kUser, p.szUser, 16);
  PutText(out + o::kPassword, p.szPassword, 16);
  std::memcpy(out + o::kIP, p.abyIP, 4);
  std::memcpy(out + o::kNetMask, p.abyNetMask, 4);
  std::memcpy(out + o::kGateway, p.abyGateway, 4);
  std::memcpy(out + o::kDNS, p.abyDNS, 4);
  plat::ByteWriter w(out, kDiscoveryPacketSize);
  w.U16At(o::kPort, p.wPort);
  w.U16At(o::kTail, p.wTail);
}

bool ParseDiscoveryPacket(const std::uint8_t* data, std::size_t length, DiscoveryPacket& p) {
  if (data == nullptr || length < kDiscoveryPacketSize) return false;
  GetText(data + o::kCommand, p.szCommand, 16);
  p.byCode = data[o::kCode];
  p.byTypeStatus = data[o::kTypeStatus];
  std::memcpy(p.abyMac, data + o::kMac, 6);
  GetText(data + o::kUser, p.szUser, 16);
  GetText(data + o::kPassword, p.szPassword, 16);
  std::memcpy(p.abyIP, data + o::kIP, 4);
  std::memcpy(p.abyNetMask, data + o::kNetMask, 4);
  std::memcpy(p.abyGateway, data + o::kGateway, 4);
  std::memcpy(p.abyDNS, data + o::kDNS, 4);
  plat::ByteReader r(data, length);
  r.U16At(o::kPort, p.wPort);
  r.U16At(o::kTail, p.wTail);
  return true;
}

bool ParseDiscoveryReply(const std::uint8_t* data, std::size_t length, DiscoveryReply& r) {
  DiscoveryPacket p;
  if (!ParseDiscoveryPacket(data, length, p)) return false;
  char mac[24];
  std::snprintf(mac, sizeof mac, "%.2x:%.2x:%.2x:%.2x:%.2x:%.2x", p.abyMac[0], p.abyMac[1], p.abyMac[2],
                p.abyMac[3], p.abyMac[4], p.abyMac[5]);
  r.mac = mac;
  r.ip = Dotted(p.abyIP);
  r.netMask = Dotted(p.abyNetMask);
  r.gateway = Dotted(p.abyGateway);
  r.dns = Dotted(p.abyDNS);
  r.port = p.wPort;
  r.rawType = p.byTypeStatus;
  r.type = NormalizeDiscoveryDeviceType(p.byTypeStatus);
  r.macByte5 = p.abyMac[4];
  r.macByte6 = p.abyMac[5];
  return true;
}

namespace {
struct DeviceKind {
  std::uint8_t type;
  const char* name;
  bool changeable;
};
constexpr DeviceKind kKinds[] = {
    {50, "Video Server", true},           {83, "4CH MPEG4 DVR", true},
    {85, "8CH MPEG4 DVR", true},          {87, "16CH MPEG4 DVR", true},
    {113, "4CH NETWORK DVR", false},      {114, "4CH NETWORK DVR", false},
    {115, "4CH NETWORK DVR", false},      {117, "9CH NETWORK DMR", false},
    {118, "9CH NETWORK DMR", false},      {119, "16CH NETWORK DMR", false},
    {128, "4CH NETWORK MPEG2 DVR", false}, {132, "4CH NETWORK MPEG2 DVR", false},
    {138, "4CH NETWORK MPEG2 DVR", false},
};
const DeviceKind* FindKind(std::uint8_t type) {
  for (const auto& k : kKinds) {
    if (k.type == type) return &k;
  }
  return nullptr;
}
}  // namespace

std::uint8_t NormalizeDiscoveryDeviceType(std::uint8_t type) {
  return FindKind(type) ? type : kDeviceTypeVideoServer;
}

const char* DiscoveryDeviceName(std::uint8_t type) { return FindKind(NormalizeDiscoveryDeviceType(type))->name; }

bool DiscoveryDeviceMayBeChanged(std::uint8_t type) {
  return FindKind(NormalizeDiscoveryDeviceType(type))->changeable;
}

bool DottedTextToBytes(std::string_view text, std::uint8_t (&out)[4]) {
  std::uint8_t bytes[4] = {};
  std::size_t part = 0, pos = 0;
  while (true) {
    if (part >= 4) return false;
    unsigned value = 0;
    std::size_t i = pos;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      value = (value * 10 + static_cast<unsigned>(text[i] - '0')) & 0xFFFFu;
      ++i;
    }
    bytes[part++] = static_cast<std::uint8_t>(value & 0xFF);
    const std::size_t dot = text.find('.', pos);
    if (dot == std::string_view::npos) break;
    pos = dot + 1;
  }
  std::memcpy(out, bytes, 4);
  return true;
}

bool DiscoveryMacToBytes(std::string_view text, std::uint8_t (&out)[6]) {
  std::uint8_t bytes[6] = {};
  std::size_t digits = 0;
  for (char c : text) {
    if (c == ':') continue;
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else return false;
    if (digits >= 12) return false;
    bytes[digits / 2] = static_cast<std::uint8_t>(bytes[digits / 2] << 4 | v);
    ++digits;
  }
  if (digits != 12) return false;
  std::memcpy(out, bytes, 6);
  return true;
}

DiscoveryPacket BuildSearchRequest(const std::string& localIP) {
  DiscoveryPacket p;
  CopyText(p.szCommand, sizeof p.szCommand, "ZQ_SEARCH");
  p.byCode = kDiscoverySearchCode;
  DottedTextToBytes(localIP, p.abyIP);
  p.wPort = kDiscoverySendPort;
  return p;
}

bool BuildSettingsRequest(bool reset, const DiscoverySettings& s, DiscoveryPacket& packet) {
  DiscoveryPacket p;
  CopyText(p.szCommand, sizeof p.szCommand, reset ? "ZQ_RESET" : "ZQ_SET_IP");
  p.byCode = reset ? kDiscoveryResetCode : kDiscoverySetIPCode;
  if (!DiscoveryMacToBytes(s.mac, p.abyMac)) return false;
  CopyText(p.szUser, sizeof p.szUser, s.user);
  CopyText(p.szPassword, sizeof p.szPassword, s.password);
  if (!DottedTextToBytes(s.ip, p.abyIP) || !DottedTextToBytes(s.netMask, p.abyNetMask) ||
      !DottedTextToBytes(s.gateway, p.abyGateway) || !DottedTextToBytes(s.dns, p.abyDNS)) {
    return false;
  }
  p.wPort = s.port;
  packet = p;
  return true;
}
