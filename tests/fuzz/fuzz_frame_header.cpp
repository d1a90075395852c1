// Frame-header reader: bounded reads, consistent lengths, prefix behaviour.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "session/RtpHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool v1 = data[0] & 1;
  const bool counts = data[0] & 2;
  // Exact-size copy so that any read past the end is caught.
  std::vector<std::uint8_t> bytes(data + 1, data + size);
  const std::uint8_t* p = bytes.empty() ? nullptr : bytes.data();
  FrameHeaderFields f;
  const HeaderScan s = ScanFrameHeader(p, bytes.size(), v1, counts, f);
  if (s == HeaderScan::Complete) {
    if (f.headerLength > bytes.size() || f.headerLength > kMaxFrameHeaderSize) std::abort();
    if (v1 && f.headerLength < kV1FixedSize) std::abort();
    if (!v1 && f.headerLength < kV0FixedSize) std::abort();
    // The header (with the one byte after it that a V1 extension flag makes the reader look
    // at) gives the same answer; one byte less needs more.
    const std::size_t keep = std::min<std::size_t>(bytes.size(), f.headerLength + 1);
    std::vector<std::uint8_t> exact(bytes.begin(), bytes.begin() + keep);
    FrameHeaderFields g;
    if (ScanFrameHeader(exact.data(), exact.size(), v1, counts, g) != HeaderScan::Complete) std::abort();
    if (g.headerLength != f.headerLength || g.hdr.dwFrameLength != f.hdr.dwFrameLength) std::abort();
    std::vector<std::uint8_t> shorter(bytes.begin(), bytes.begin() + f.headerLength - 1);
    if (ScanFrameHeader(shorter.empty() ? nullptr : shorter.data(), shorter.size(), v1, counts, g) !=
        HeaderScan::NeedMore)
      std::abort();
  } else if (f.headerLength != 0) {
    std::abort();
  }
  // The parser object without an application record acts on nothing but itself.
  CRtpHeader parser;
  parser.f_NewHeader = v1 ? 1 : 0;
  plat::DWORD h = 0;
  RtpFrameHeader slot;
  parser.Parse(p, bytes.size(), &h, &slot);
  return 0;
}
