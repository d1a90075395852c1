// Test-side reader of ".ovr" recording files. Written apart from the recorder's writer so a
// fault in one is not hidden by the other: it checks the header, every record's flag word,
// magic, end-marker offset, byte sum and end marker, the sequence numbers, the closing index
// against the record offsets, and the frame count in the header and at the end.
// Header-only: used by the recorder tests and by a libFuzzer target.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ovrtest {

inline std::uint16_t U16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

struct Header {
  std::uint16_t time[8] = {};
  std::uint32_t firstTime = 0, lastTime = 0, frameCount = 0;
  std::uint8_t ip[4] = {};
  std::uint8_t kind = 0;
  std::string userName;
};

struct Frame {
  std::size_t offset = 0;  // of the record in the file
  std::uint32_t seq = 0, length = 0, time = 0;
  std::uint16_t width = 0, height = 0;
  std::uint8_t channel = 0;
  bool noImage = false;
  std::size_t jpegOffset = 0;  // of the picture in the file
};

struct File {
  Header header;
  std::vector<Frame> frames;
  std::uint32_t count = 0;  // the closing count
};

// Reads the 90-byte preamble. false with a reason when it does not fit.
inline bool ReadHeader(const std::uint8_t* d, std::size_t n, Header& h, std::string& err) {
  if (!d || n < 90) return err = "file shorter than its preamble", false;
  if (U16(d) != 0x5A51) return err = "bad magic", false;
  if (U16(d + 2) != 88) return err = "bad header length", false;
  if (std::string(reinterpret_cast<const char*>(d + 4), 4) != "K40R") return err = "bad model", false;
  for (int i = 8; i < 24; ++i)
    if (d[i]) return err = "bytes 8-23 not zero", false;
  for (int i = 0; i < 8; ++i) h.time[i] = U16(d + 24 + 2 * i);
  h.firstTime = U32(d + 40);
  h.lastTime = U32(d + 44);
  h.frameCount = U32(d + 48);
  for (int i = 0; i < 4; ++i) h.ip[i] = d[52 + i];
  if (U16(d + 56) != 23 || d[58] != 0) return err = "bad constant fields", false;
  h.kind = d[59];
  if (h.kind > 1) return err = "bad recording kind", false;
  std::size_t len = 0;
  while (len < 16 && d[60 + len]) ++len;
  for (std::size_t i = len; i < 16; ++i)
    if (d[60 + i]) return err = "user name not zero-filled", false;
  h.userName.assign(reinterpret_cast<const char*>(d + 60), len);
  if (U32(d + 76) != 2) return err = "bad header flags", false;
  if (U32(d + 80) != 0xFFFFFFFFu || U32(d + 84) != 0) return err = "bad header extension", false;
  if (U16(d + 88) != 0xFFFF) return err = "missing 0xFFFF after the header", false;
  return true;
}

// Reads one record at `off` that must end at or before `end`.
inline bool ReadRecord(const std::uint8_t* d, std::size_t off, std::size_t end, Frame& f,
                       std::string& err) {
  if (off > end || end - off < 31) return err = "record cut short", false;
  const std::uint8_t* r = d + off;
  const std::uint32_t flags = U32(r);
  if (flags != 0xE00000FFu && flags != 0xE00008FFu) return err = "bad flag word", false;
  f.noImage = flags == 0xE00008FFu;
  const std::size_t extra = f.noImage ? 1 : 0;
  if (end - off < 31 + extra) return err = "record cut short", false;
  f.offset = off;
  f.seq = U32(r + 4);
  f.length = U32(r + 8);
  f.width = U16(r + 12);
  f.height = U16(r + 14);
  f.time = U32(r + 16);
  f.channel = r[20];
  if (r[21] != 0 || r[22] != 5) return err = "bad constant record bytes", false;
  if (f.noImage && r[23] != 1) return err = "bad no-image byte", false;
  const std::size_t m = 23 + extra;
  if (U16(r + m) != 0x5A51) return err = "bad record magic", false;
  if (U16(r + m + 2) != m + 6) return err = "bad end-marker offset", false;
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < m + 4; ++i) sum += r[i];
  if (U16(r + m + 4) != (sum & 0xFFFF)) return err = "bad byte sum", false;
  if (U16(r + m + 6) != 0xFFFF) return err = "missing end marker", false;
  f.jpegOffset = off + m + 8;
  if (f.length > end - f.jpegOffset) return err = "picture runs past the records", false;
  return true;
}

// Walks records from offset 90 up to `end` (for files cut off before their close).
inline bool WalkRecords(const std::uint8_t* d, std::size_t end, std::vector<Frame>& out,
                        std::string& err) {
  std::size_t off = 90;
  while (off < end) {
    Frame f;
    if (!ReadRecord(d, off, end, f, err)) return false;
    if (f.seq != out.size() + 1) return err = "sequence numbers not 1, 2, 3, ...", false;
    out.push_back(f);
    off = f.jpegOffset + f.length;
  }
  return true;
}

// Reads a closed file completely. false with a reason on the first thing that does not fit.
inline bool ReadFile(const std::uint8_t* d, std::size_t n, File& out, std::string& err) {
  out = File{};
  if (!ReadHeader(d, n, out.header, err)) return false;
  if (n < 94) return err = "no frame count", false;
  const std::uint32_t count = U32(d + n - 4);
  const std::uint64_t indexBytes = std::uint64_t(count) * 8;
  if (indexBytes > n - 94) return err = "frame count larger than the file", false;
  const std::size_t indexStart = n - 4 - std::size_t(indexBytes);
  if (!WalkRecords(d, indexStart, out.frames, err)) return false;
  if (out.frames.size() != count) return err = "closing count does not match the records", false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* e = d + indexStart + 8 * std::size_t(i);
    if (U32(e) != out.frames[i].offset || U32(e + 4) != 0) return err = "index entry does not match", false;
  }
  if (out.header.frameCount != count) return err = "header frame count does not match", false;
  if (count) {
    if (out.header.firstTime != out.frames.front().time) return err = "header first time wrong", false;
    if (out.header.lastTime != out.frames.back().time) return err = "header last time wrong", false;
  }
  out.count = count;
  return true;
}

inline bool ReadFile(const std::vector<std::uint8_t>& bytes, File& out, std::string& err) {
  return ReadFile(bytes.data(), bytes.size(), out, err);
}

}  // namespace ovrtest
