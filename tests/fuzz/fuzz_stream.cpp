// The stream's frame parser fed in arbitrary chunks, as a network would deliver the bytes.
// Whatever the chunking, the frames are the same, each fits its slot and begins FF D8 FF DB,
// and the parser's buffer never holds more than a partial header after asking for data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "session/StreamParser.h"

namespace {

constexpr std::size_t kSlot = 4096;  // small, so over-long frames are common

struct Result {
  std::vector<std::vector<std::uint8_t>> frames;
  int headers = 0;
};

Result Run(const std::uint8_t* data, std::size_t size, bool v1, bool counts, std::uint32_t seed, bool whole) {
  StreamParser p(kSlot);
  p.SetFormat(v1, counts);
  Result r;
  p.SetHeaderHandler([&](const FrameHeaderFields& f) {
    if (f.hdr.dwFrameLength > kSlot) std::abort();
    ++r.headers;
  });
  std::vector<std::uint8_t> slot(kSlot);
  std::size_t off = 0;
  std::uint32_t x = seed | 1;
  for (;;) {
    while (p.Run(slot.data()) == StreamParser::Step::Frame) {
      const std::uint32_t n = p.LastFrameLength();
      if (n < 4 || n > kSlot) std::abort();
      if (slot[0] != 0xFF || slot[1] != 0xD8 || slot[2] != 0xFF || slot[3] != 0xDB) std::abort();
      r.frames.emplace_back(slot.begin(), slot.begin() + n);
    }
    if (p.Buffered() > kMaxFrameHeaderSize) std::abort();
    if (p.WriteSpace() < StreamParser::kReadChunk) std::abort();
    if (off == size) break;
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    std::size_t want = whole ? StreamParser::kReadChunk : 1 + x % 97;
    if (want > size - off) want = size - off;
    // Copy through an exact-size block, as a receive into the parser's buffer would.
    std::vector<std::uint8_t> chunk(data + off, data + off + want);
    std::memcpy(p.WritePtr(), chunk.data(), chunk.size());
    p.Commit(chunk.size());
    off += want;
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool v1 = data[0] & 1;
  const bool counts = data[0] & 2;
  const std::uint32_t seed = data[1];
  Result a = Run(data + 2, size - 2, v1, counts, seed, true);
  Result b = Run(data + 2, size - 2, v1, counts, seed, false);
  if (a.frames != b.frames || a.headers != b.headers) std::abort();
  return 0;
}
