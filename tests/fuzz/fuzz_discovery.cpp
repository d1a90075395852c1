// Discovery replies: any datagram, any length.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "session/DiscoveryPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy so any read past the end is caught.
  std::vector<std::uint8_t> copy(data, data + size);
  DiscoveryReply reply;
  const bool ok = ParseDiscoveryReply(copy.data(), copy.size(), reply);
  if (ok != (size >= kDiscoveryPacketSize)) __builtin_trap();
  if (ok) {
    if (reply.mac.size() != 17 || reply.ip.size() > 15 || reply.port > 0xFFFF) __builtin_trap();
    if (std::string_view(DiscoveryDeviceName(reply.type)).empty()) __builtin_trap();
    // Every field but the texts survives a round trip byte for byte.
    DiscoveryPacket p;
    ParseDiscoveryPacket(copy.data(), copy.size(), p);
    std::uint8_t out[kDiscoveryPacketSize];
    SerializeDiscoveryPacket(p, out);
    if (std::memcmp(out + 16, copy.data() + 16, 8) != 0 || std::memcmp(out + 56, copy.data() + 56, 20) != 0) {
      __builtin_trap();
    }
  }
  // The same bytes as the operator's address and MAC texts.
  const std::string_view text(reinterpret_cast<const char*>(copy.data()), copy.size());
  std::uint8_t ip[4], mac[6];
  DottedTextToBytes(text, ip);
  DiscoveryMacToBytes(text, mac);
  return 0;
}
