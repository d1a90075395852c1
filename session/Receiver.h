// The live-stream receiver (Jpeg_TCP_Get_Image_Data_Thread, declared in session/Threads.h):
// one /Getvideo.cgi connection per thread run, cut into frames by StreamParser and handed to
// the compose thread through the two packet slots.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/types.h"

// Codes of the last stream failure of some kinds (nothing else reads it).
constexpr std::uint32_t kStreamStatusBadHeader = 4097;
constexpr std::uint32_t kStreamStatusConnectFailed = 4098;
constexpr std::uint32_t kStreamStatusEndEvent = 4099;
constexpr std::uint32_t kStreamStatusNoFreeSlot = 4100;
extern std::atomic<std::uint32_t> g_dwStreamStatus;
// The last stream status recorded (4097 to 4100).
std::uint32_t GetStreamStatus();

// Time-outs of the stream connection, in ms of the product's clock.
constexpr plat::DWORD kStreamWriteTimeoutMs = 10000;
constexpr plat::DWORD kStreamFreeSlotTimeoutMs = 10000;
constexpr plat::DWORD kStreamReceiveTimeoutMs = 20000;
constexpr plat::WORD kStreamConnectTimeoutSec = 10;

// Counters of what the frame parser dropped, over all runs (diagnostics and tests).
struct StreamCounters {
  std::atomic<std::uint64_t> frames{0};
  std::atomic<std::uint64_t> badHeaders{0};
  std::atomic<std::uint64_t> resyncs{0};
  std::atomic<std::uint64_t> droppedPictures{0};
};
extern StreamCounters g_StreamCounters;

// The request head sent on the stream connection (CR LF line ends, blank line at the end);
// empty when the identifier or address holds a CR, LF or NUL. `extraQuery` follows the
// identifier as it stands (the firmware upload's silent keep-alive adds "&Fake=1").
std::string BuildGetVideoRequest(const std::string& sessionId, const std::string& localIp,
                                 const std::string& extraQuery = std::string());
