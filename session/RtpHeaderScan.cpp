// Bounded reading of the two frame-header formats (no side effects).
#include <cstring>

#include "platform/bytes.h"
#include "session/RtpHeader.h"

namespace {

// A forward reader over p[0..n) that answers 0 for bytes past the end (callers check Has
// first; the bound holds even where one does not).
class Reader {
 public:
  Reader(const std::uint8_t* p, std::size_t n) : r_(p, n) {}
  bool Has(std::size_t k) const { return r_.Remaining() >= k; }
  std::uint8_t U8() {
    std::uint8_t v = 0;
    r_.U8(v);
    return v;
  }
  std::uint16_t U16() {
    std::uint16_t v = 0;
    r_.U16(v);
    return v;
  }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    r_.U32(v);
    return v;
  }
  void Bytes(void* dst, std::size_t k) { r_.Bytes(dst, k); }
  void Skip(std::size_t k) { r_.Skip(k); }
  std::size_t Pos() const { return r_.Position(); }

 private:
  plat::ByteReader r_;
};

// Every optional field is read through this: a missing byte makes the whole scan NeedMore.
#define NEED(k)                          \
  do {                                   \
    if (!r.Has(k)) return HeaderScan::NeedMore; \
  } while (0)

HeaderScan ScanV1(const std::uint8_t* p, std::size_t n, bool lengthCountsHeader,
                  FrameHeaderFields& f) {
  Reader r(p, n);
  NEED(2);
  if (r.U16() != 1) return HeaderScan::Bad;
  NEED(6);
  f.hdr.dwFrameLength = r.U16();
  std::uint8_t typeByte = r.U8();
  f.hasOnlineCount = true;
  f.onlineCount = typeByte & 0x0F;
  f.hdr.byChannel = static_cast<std::uint8_t>(r.U8() >> 4);
  const std::uint16_t flags = r.U16();
  if (flags & kV1Motion) {
    NEED(2);
    f.hasMotion = true;
    f.hdr.wMotionDetect = r.U16();
  }
  if (flags & kV1Alarm) {
    NEED(2);
    f.hasAlarm = true;
    f.hdr.wAlarm = r.U16();
  }
  if (flags & kV1Third) {
    NEED(2);
    f.hasThird = true;
    f.hdr.wThirdAlarm = r.U16();
  }
  if (flags & kV1Time) {
    NEED(4);
    std::uint32_t t = r.U32();
    f.hdr.dwTimeMs = t >= 0x33333333u ? 0u : t * 5u;
  }
  if (flags & kV1DateTime) {
    NEED(4);
    f.hasDateTime = true;
    f.hdr.stRecorderTime = DecodePackedDateTime(r.U32());
  }
  if (flags & kV1Block16) {
    NEED(16);
    f.hasOnlineText = true;
    r.Bytes(f.onlineText, 16);
  }
  if (flags & kV1Byte1) {
    NEED(1);
    r.Skip(1);
  }
  if (flags & kV1Extension) {
    NEED(1);
    if (p[r.Pos()] == kV1ExtensionMark) {
      NEED(4);
      r.Skip(2);
      const std::uint16_t ext = r.U16();
      if (ext & kV1xPictureSize) {
        NEED(1);
        f.hdr.byPictureSize = r.U8();
      }
      if (ext & kV1xPanelMode) {
        NEED(1);
        f.hasPanelMode = true;
        f.panelMode = r.U8();
      }
      if (ext & kV1xNoImage) f.hdr.byNoImage = 1;
      if (ext & kV1xBackupNotice) f.backupNotice = true;
      if (ext & kV1xSensor) {
        NEED(1);
        f.hasSensor = true;
        f.sensorState = r.U8();
      }
      if (ext & kV1xChannel16) f.hdr.byChannel = 16;
    }
  }
  f.headerLength = static_cast<std::uint32_t>(r.Pos());
  if (lengthCountsHeader) {
    // The length then covers the header too; shorter than the header cannot be a frame.
    if (f.hdr.dwFrameLength < f.headerLength) return HeaderScan::Bad;
    f.hdr.dwFrameLength -= f.headerLength;
  }
  return HeaderScan::Complete;
}

HeaderScan ScanV0(const std::uint8_t* p, std::size_t n, FrameHeaderFields& f) {
  Reader r(p, n);
  NEED(4);
  const std::uint32_t flags = r.U32();
  if (flags & kV0FrameLength) {
    NEED(4);
    f.hdr.dwFrameLength = r.U32();
  }
  if (flags & kV0Block16) {
    NEED(16);
    f.hasOnlineText = true;
    r.Bytes(f.onlineText, 16);
  }
  if (flags & kV0PanelMode) {
    NEED(2);
    f.hasPanelMode = true;
    f.panelMode = r.U8();
    r.Skip(1);
  }
  if (flags & kV0PictureSize) {
    NEED(1);
    f.hdr.byPictureSize = r.U8();
  }
  if (flags & kV0Byte10) {
    NEED(1);
    r.Skip(1);
  }
  if (flags & kV0Time) {
    NEED(4);
    f.hdr.dwTimeMs = r.U32() * 5u;  // wraps in 32 bits like the recorder's own arithmetic
  }
  if (flags & kV0Type) {
    NEED(1);
    f.hasOnlineCount = true;
    f.onlineCount = r.U8();
  }
  if (flags & kV0Alarm) {
    NEED(2);
    f.hasAlarm = true;
    f.hdr.wAlarm = r.U16();
  }
  if (flags & kV0Motion) {
    NEED(2);
    f.hasMotion = true;
    f.hdr.wMotionDetect = r.U16();
  }
  if (flags & kV0Third) {
    NEED(2);
    f.hasThird = true;
    f.hdr.wThirdAlarm = r.U16();
  }
  if (flags & kV0BackupNotice) f.backupNotice = true;
  if (flags & kV0Channel) {
    NEED(1);
    f.hdr.byChannel = r.U8();
  }
  if (flags & kV0DateTime) {
    NEED(4);
    f.hasDateTime = true;
    f.hdr.stRecorderTime = DecodePackedDateTime(r.U32());
  }
  if (flags & kV0NoImage) f.hdr.byNoImage = 1;
  f.headerLength = static_cast<std::uint32_t>(r.Pos());
  return HeaderScan::Complete;
}

#undef NEED

}  // namespace

DvrDateTime DecodePackedDateTime(std::uint32_t w) {
  DvrDateTime t;
  t.wYear = static_cast<std::uint16_t>(((w >> 26) & 0x3F) + 2000);
  t.wMonth = static_cast<std::uint16_t>((w >> 22) & 0x0F);
  t.wDay = static_cast<std::uint16_t>((w >> 17) & 0x1F);
  t.wHour = static_cast<std::uint16_t>((w >> 12) & 0x1F);
  t.wMinute = static_cast<std::uint16_t>((w >> 6) & 0x3F);
  t.wSecond = static_cast<std::uint16_t>(w & 0x3F);
  return t;
}

HeaderScan ScanFrameHeader(const std::uint8_t* p, std::size_t n, bool v1,
                           bool frameLengthCountsHeader, FrameHeaderFields& out) {
  out = FrameHeaderFields{};
  if (p == nullptr) n = 0;
  HeaderScan s = v1 ? ScanV1(p, n, frameLengthCountsHeader, out) : ScanV0(p, n, out);
  if (s != HeaderScan::Complete) out = FrameHeaderFields{};
  return s;
}
