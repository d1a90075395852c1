// Helpers of the sound and alarm-list tests: a fresh folder per test and WAV images built
// chunk by chunk.
#pragma once
#include "tests/support/TempDir.h"
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/bytes.h"

// TempDir comes from the shared test support.


using Bytes = std::vector<std::uint8_t>;

inline void WriteBytes(const std::string& file, const Bytes& b) {
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                              static_cast<std::streamsize>(b.size()));
}
inline Bytes ReadBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void Put16(Bytes& b, unsigned v) {
  b.resize(b.size() + 2);
  plat::ByteWriter(b.data() + b.size() - 2, 2).U16(static_cast<std::uint16_t>(v));
}
inline void Put32(Bytes& b, std::uint32_t v) {
  b.resize(b.size() + 4);
  plat::ByteWriter(b.data() + b.size() - 4, 4).U32(v);
}

// One chunk: identifier, the size field (normally the body's size) and the body.
inline Bytes Chunk(const char* id, const Bytes& body, long long sizeField = -1) {
  Bytes b(id, id + 4);
  Put32(b, sizeField < 0 ? static_cast<std::uint32_t>(body.size()) : static_cast<std::uint32_t>(sizeField));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// The body of a format chunk; extra > 0 appends the extra-size field and padding.
inline Bytes FmtBody(unsigned tag, unsigned channels, std::uint32_t rate, unsigned bits,
                     int extraField = -1) {
  Bytes b;
  const unsigned align = channels * bits / 8;
  Put16(b, tag);
  Put16(b, channels);
  Put32(b, rate);
  Put32(b, rate * align);
  Put16(b, align);
  Put16(b, bits);
  if (extraField >= 0) Put16(b, static_cast<unsigned>(extraField));
  return b;
}

// "RIFF" size "WAVE" followed by the chunks.
inline Bytes Riff(const std::vector<Bytes>& chunks) {
  Bytes body{'W', 'A', 'V', 'E'};
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body);
}

// Sample bytes 0, 1, 2, ... (mod 251, so a wrap shows as a break of the sequence).
inline Bytes Ramp(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i % 251);
  return b;
}
