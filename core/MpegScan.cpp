#include "core/MpegScan.h"

#include <algorithm>

using namespace plat;

CPesParser::CPesParser() = default;
CPesParser::~CPesParser() { delete[] m_lpBuffer; }

namespace {

// The low 32 bits of a 33-bit time stamp in its five PES bytes.
DWORD TimeStamp32(const std::uint8_t* p) {
  return (static_cast<DWORD>((p[0] >> 1) & 0x03) << 30) |
         (static_cast<DWORD>((p[1] << 7) | (p[2] >> 1)) << 15) |
         static_cast<DWORD>((p[3] << 7) | (p[4] >> 1));
}

bool MarkersFit(const std::uint8_t* p, int prefix) {
  return (p[0] >> 4) == prefix && (p[0] & 1) && (p[2] & 1) && (p[4] & 1);
}

}  // namespace

DWORD CPesParser::GetVideoTimeStamp(const std::uint8_t* p, std::size_t size) {
  if (p == nullptr || size < 14) return 0;
  if (p[0] != 0 || p[1] != 0 || p[2] != 1 || (p[3] & 0xF0) != 0xE0) return 0;
  if ((p[6] & 0xC0) != 0x80) return 0;
  const int flags = p[7] >> 6;
  if (flags == 2) return MarkersFit(p + 9, 0x2) ? TimeStamp32(p + 9) : 0;
  if (flags == 3) {
    if (size < 19) return 0;
    return (MarkersFit(p + 9, 0x3) && MarkersFit(p + 14, 0x1)) ? TimeStamp32(p + 14) : 0;
  }
  return 0;
}

// ---------------------------------------------------------------------------------------
// MPEG stream scanners

int ScanMpegStream(const std::uint8_t* d, std::size_t size, DWORD* timeStamp, int* pictureType) {
  int result = 0;
  if (d == nullptr) return 0;
  for (std::size_t i = 0; i + 4 <= size; ++i) {
    if (d[i] != 0 || d[i + 1] != 0 || d[i + 2] != 1) continue;
    const std::uint8_t id = d[i + 3];
    const int high = id >> 4;
    if (high == 0xC || high == 0xD || high == 0xE) {
      // 00 00 01 id, length (2), flags (2), header length, stamps from byte 9.
      if (i + 9 > size) break;
      const int flags = d[i + 7] >> 6;
      std::size_t at = 0;
      if (flags == 2) at = i + 9;
      else if (flags == 3) at = i + 14;
      if (at != 0 && at + 5 <= size) {
        if (timeStamp) *timeStamp = TimeStamp32(d + at);
        result |= kScanTimeStamp;
      }
    } else if (id == 0xB6) {
      if (i + 5 > size) break;
      if (pictureType) *pictureType = (d[i + 4] >> 6) + 1;
      result |= kScanPictureType;
      break;
    }
  }
  return result;
}

std::size_t ScanPacketStart(const std::uint8_t* d, std::size_t size, bool* found) {
  bool seen = false;
  for (std::size_t i = 0; d != nullptr && i + 1 < size && !seen; ++i) {
    if ((d[i + 1] & 0xC0) != 0x80) continue;
    const std::size_t end = std::min(size, i + 1 + 50);
    for (std::size_t j = i + 1; j + 4 <= end; ++j) {
      if (d[j] == 0 && d[j + 1] == 0 && (d[j + 2] == 0xC0 || d[j + 2] == 0xD0 || d[j + 2] == 0xE0) &&
          d[j + 3] == 1) {
        seen = true;
        break;
      }
    }
  }
  if (found) *found = seen;
  return size;
}
