// The ICMP echo ("ping") object and its request packet.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include "platform/types.h"

// The 45-byte ICMP echo request: type 8, code 0, checksum, identifier, sequence number, a
// zero byte, the tick count (bytes 9..12), then the bytes 32..63. Little-endian fields; the
// checksum makes the Internet checksum over the packet come out as zero.
constexpr std::size_t kIcmpEchoSize = 45;
void BuildIcmpEchoRequest(std::uint8_t* out, plat::WORD identifier, plat::WORD sequence,
                          plat::DWORD tickCount);
// The ones-complement sum of little-endian 16-bit words (a last odd byte as a low byte),
// folded twice and complemented.
plat::WORD IcmpChecksum(const std::uint8_t* data, std::size_t size);

class CIcmpPing {
 public:
  CIcmpPing() = default;
  ~CIcmpPing() = default;
  // Sends one echo request to the host and waits up to 1 s for a reply: 1 with the reply's
  // time-to-live, 0 when the name has no address, the raw socket is not granted (normal
  // users on Linux), sending fails or nothing comes back.
  int Ping(const std::string& hostName, plat::BYTE* timeToLive);
  plat::DWORD LastRoundTripMs() const { return m_dwLastRoundTrip.load(); }

 private:
  std::atomic<plat::WORD> m_wIdentifier{1};
  std::atomic<plat::WORD> m_wSequence{1};
  std::atomic<plat::DWORD> m_dwLastRoundTrip{0};
};
