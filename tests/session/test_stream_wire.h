// Test-side writer of live-stream frame headers, written from the wire tables independently of
// the client's reader, and a maker of small recorder-style JPEG pictures.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/bytes.h"
#include "platform/jpeg.h"

namespace wire {

inline void Put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.resize(v.size() + 2);
  plat::ByteWriter(v.data() + v.size() - 2, 2).U16(static_cast<std::uint16_t>(x));
}
inline void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.resize(v.size() + 4);
  plat::ByteWriter(v.data() + v.size() - 4, 4).U32(x);
}

// Optional sections of a header; a field is written when its `has` is set.
struct Hdr {
  std::uint32_t length = 0;
  std::uint8_t channel = 0;       // V1: high nibble of byte 5; V0: bit 0x0800
  std::uint8_t onlineCount = 0;   // V1: low nibble of byte 4; V0: bit 0x0040 (hasOnlineCount)
  bool hasOnlineCount = false, hasChannel = false;
  bool hasAlarm = false, hasMotion = false, hasThird = false;
  std::uint16_t alarm = 0, motion = 0, third = 0;
  bool hasTime = false;
  std::uint32_t timeWire = 0;
  bool hasDateTime = false;
  std::uint32_t dateTime = 0;
  bool hasOnlineText = false;
  char onlineText[16] = {};
  bool hasPanel = false;
  std::uint8_t panel = 0;
  bool hasPictureSize = false;
  std::uint8_t pictureSize = 0;
  bool noImage = false, backupNotice = false;
  bool hasSensor = false;
  std::uint8_t sensor = 0;
  bool channel16 = false;
  bool v1Byte1 = false;  // V1 bit 0x0100 (one unused byte)
  bool v0Byte10 = false; // V0 bit 0x0010 (one unused byte)
  std::uint16_t version = 1;
  bool extBadMark = false;  // V1: set bit 0x2000 but write a byte other than 0x32
};

inline std::vector<std::uint8_t> V1(const Hdr& h) {
  std::vector<std::uint8_t> v;
  Put16(v, h.version);
  Put16(v, h.length);
  v.push_back(h.onlineCount & 0x0F);
  v.push_back(static_cast<std::uint8_t>(h.channel << 4));
  std::uint16_t f = 0;
  if (h.hasMotion) f |= 0x0002;
  if (h.hasAlarm) f |= 0x0004;
  if (h.hasThird) f |= 0x0008;
  if (h.hasTime) f |= 0x0020;
  if (h.hasDateTime) f |= 0x0040;
  if (h.hasOnlineText) f |= 0x0080;
  if (h.v1Byte1) f |= 0x0100;
  std::uint16_t s = 0;
  if (h.hasPictureSize) s |= 0x0001;
  if (h.hasPanel) s |= 0x0002;
  if (h.noImage) s |= 0x0004;
  if (h.backupNotice) s |= 0x0008;
  if (h.hasSensor) s |= 0x0010;
  if (h.channel16) s |= 0x0020;
  if (s || h.extBadMark) f |= 0x2000;
  Put16(v, f);
  if (h.hasMotion) Put16(v, h.motion);
  if (h.hasAlarm) Put16(v, h.alarm);
  if (h.hasThird) Put16(v, h.third);
  if (h.hasTime) Put32(v, h.timeWire);
  if (h.hasDateTime) Put32(v, h.dateTime);
  if (h.hasOnlineText) v.insert(v.end(), h.onlineText, h.onlineText + 16);
  if (h.v1Byte1) v.push_back(0xEE);
  if (h.extBadMark) {
    v.push_back(0x31);
  } else if (f & 0x2000) {
    v.push_back(0x32);
    v.push_back(0x00);
    Put16(v, s);
    if (h.hasPictureSize) v.push_back(h.pictureSize);
    if (h.hasPanel) v.push_back(h.panel);
    if (h.hasSensor) v.push_back(h.sensor);
  }
  return v;
}

inline std::vector<std::uint8_t> V0(const Hdr& h, bool withLength = true) {
  std::vector<std::uint8_t> v;
  std::uint32_t f = 0;
  if (withLength) f |= 0x0001;
  if (h.hasOnlineText) f |= 0x0002;
  if (h.hasPanel) f |= 0x0004;
  if (h.hasPictureSize) f |= 0x0008;
  if (h.v0Byte10) f |= 0x0010;
  if (h.hasTime) f |= 0x0020;
  if (h.hasOnlineCount) f |= 0x0040;
  if (h.hasAlarm) f |= 0x0080;
  if (h.hasMotion) f |= 0x0100;
  if (h.hasThird) f |= 0x0200;
  if (h.backupNotice) f |= 0x0400;
  if (h.hasChannel) f |= 0x0800;
  if (h.noImage) f |= 0x1000;
  if (h.hasDateTime) f |= 0x2000;
  Put32(v, f);
  if (withLength) Put32(v, h.length);
  if (h.hasOnlineText) v.insert(v.end(), h.onlineText, h.onlineText + 16);
  if (h.hasPanel) {
    v.push_back(h.panel);
    v.push_back(0xEE);
  }
  if (h.hasPictureSize) v.push_back(h.pictureSize);
  if (h.v0Byte10) v.push_back(0xEE);
  if (h.hasTime) Put32(v, h.timeWire);
  if (h.hasOnlineCount) v.push_back(h.onlineCount);
  if (h.hasAlarm) Put16(v, h.alarm);
  if (h.hasMotion) Put16(v, h.motion);
  if (h.hasThird) Put16(v, h.third);
  if (h.hasChannel) v.push_back(h.channel);
  if (h.hasDateTime) Put32(v, h.dateTime);
  return v;
}

// A fake picture body of `n` bytes that passes the picture-start test (FF D8 FF DB) and
// contains no FF D9 before its end.
inline std::vector<std::uint8_t> FakePicture(std::size_t n, std::uint8_t seed) {
  std::vector<std::uint8_t> p(n);
  for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>((i * 7 + seed) % 0xF0);
  const std::uint8_t start[4] = {0xFF, 0xD8, 0xFF, 0xDB};
  std::memcpy(p.data(), start, n < 4 ? n : 4);
  if (n >= 6) {
    p[n - 2] = 0xFF;
    p[n - 1] = 0xD9;
  }
  return p;
}

// Removes APPn segments (FF E0..FF EF) right after the start marker.
inline std::vector<std::uint8_t> StripAppSegments(const std::vector<std::uint8_t>& jpg) {
  if (jpg.size() < 4 || jpg[0] != 0xFF || jpg[1] != 0xD8) return jpg;
  std::size_t pos = 2;
  while (pos + 4 <= jpg.size() && jpg[pos] == 0xFF && jpg[pos + 1] >= 0xE0 && jpg[pos + 1] <= 0xEF) {
    const std::size_t len = (static_cast<std::size_t>(jpg[pos + 2]) << 8) | jpg[pos + 3];
    pos += 2 + len;
  }
  std::vector<std::uint8_t> out = {0xFF, 0xD8};
  out.insert(out.end(), jpg.begin() + static_cast<std::ptrdiff_t>(pos), jpg.end());
  return out;
}

// A real JPEG of a w x h picture (blue-green gradient with `seed` as red), its leading
// application segments removed so that it begins FF D8 FF DB like the recorder's pictures.
inline std::vector<std::uint8_t> RecorderJpeg(int w, int h, std::uint8_t seed, int quality = 80) {
  std::vector<std::uint8_t> bgr(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &bgr[(static_cast<std::size_t>(y) * w + x) * 3];
      p[0] = static_cast<std::uint8_t>(x * 255 / (w > 1 ? w - 1 : 1));
      p[1] = static_cast<std::uint8_t>(y * 255 / (h > 1 ? h - 1 : 1));
      p[2] = seed;
    }
  std::vector<std::uint8_t> jpg;
  if (!plat::JpegEncodeBgrBottomUp(bgr.data(), w, h, w * 3, quality, jpg)) return {};
  return StripAppSegments(jpg);
}

}  // namespace wire

