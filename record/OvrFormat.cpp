#include "record/OvrFormat.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "record/ByteOrder.h"

using namespace rec::le;

namespace ovr {

void FileHeader::SetUserName(const std::string& name) {
  std::memset(userName, 0, sizeof userName);
  std::memcpy(userName, name.data(), std::min(name.size(), sizeof userName));
}

void FileHeader::SetServerAddress(const std::string& dotted) {
  std::memset(serverIp, 0, sizeof serverIp);
  unsigned v[4];
  char tail = 0;
  if (std::sscanf(dotted.c_str(), "%u.%u.%u.%u%c", &v[0], &v[1], &v[2], &v[3], &tail) == 4 &&
      v[0] < 256 && v[1] < 256 && v[2] < 256 && v[3] < 256) {
    for (int i = 0; i < 4; ++i) serverIp[i] = std::uint8_t(v[i]);
  }
}

void FileHeader::Serialize(std::uint8_t* out) const {
  std::memset(out, 0, kHeaderSize);
  Put16(out + kOffMagic, kMagic);
  Put16(out + kOffHeaderLength, kHeaderLength);
  std::memcpy(out + kOffModel, "K40R", 4);
  created.Serialize(out + kOffCreated);
  Put32(out + kOffFirstTime, firstTime);
  Put32(out + kOffLastTime, lastTime);
  Put32(out + kOffFrameCount, frameCount);
  std::memcpy(out + kOffServerIp, serverIp, 4);
  Put16(out + kOffConst23, 23);
  out[kOffZero58] = 0;
  out[kOffKind] = kind;
  std::memcpy(out + kOffUserName, userName, sizeof userName);
  Put32(out + kOffFlags, kHeaderFlags);
}

bool FileHeader::Parse(const std::uint8_t* in, std::size_t size, FileHeader& out) {
  if (!in || size < kHeaderSize) return false;
  if (Get16(in + kOffMagic) != kMagic || Get16(in + kOffHeaderLength) != kHeaderLength ||
      Get32(in + kOffFlags) != kHeaderFlags)
    return false;
  FileHeader h;
  h.created = RecordTime::Parse(in + kOffCreated);
  h.firstTime = Get32(in + kOffFirstTime);
  h.lastTime = Get32(in + kOffLastTime);
  h.frameCount = Get32(in + kOffFrameCount);
  std::memcpy(h.serverIp, in + kOffServerIp, 4);
  h.kind = in[kOffKind];
  std::memcpy(h.userName, in + kOffUserName, sizeof h.userName);
  out = h;
  return true;
}

void SerializePreamble(const FileHeader& h, std::uint8_t* out) {
  h.Serialize(out);
  Put32(out + 80, 0xFFFFFFFFu);
  Put32(out + 84, 0);
  Put16(out + 88, 0xFFFF);
}

std::size_t BuildFrameRecord(std::uint32_t seq, const RecordFrameInfo& info,
                             const std::uint8_t* jpeg, std::uint32_t length, std::uint8_t* out,
                             std::size_t cap) {
  const bool noImage = (info.dwNoImage & 1u) != 0;
  const std::size_t fields = noImage ? kRecordFieldsSizeNoImage : kRecordFieldsSize;
  if (!out || cap < fields || length > cap - fields || (length && !jpeg)) return 0;
  std::uint8_t* p = out;
  Put32(p, kFlagWord | (noImage ? kFlagNoImage : 0u));
  Put32(p + 4, seq);
  Put32(p + 8, length);
  Put16(p + 12, info.wWidth);
  Put16(p + 14, info.wHeight);
  Put32(p + 16, info.dwTimeMs);
  p[20] = info.byChannel;
  p[21] = 0;
  p[22] = 5;
  std::size_t o = 23;
  if (noImage) p[o++] = 1;
  Put16(p + o, kMagic);
  o += 2;
  const std::size_t endMarkerOffset = o + 4;  // after this field and the sum
  Put16(p + o, std::uint16_t(endMarkerOffset));
  o += 2;
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < o; ++i) sum += p[i];
  Put16(p + o, std::uint16_t(sum));
  o += 2;
  Put16(p + o, 0xFFFF);
  o += 2;
  if (length) std::memcpy(p + o, jpeg, length);
  return o + length;
}

void SerializeIndexEntry(std::uint32_t offset, std::uint8_t* out) {
  Put32(out, offset);
  Put32(out + 4, 0);
}

static std::string TimeStem(const RecordTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02u%02u%02uT%02u%02u%02u", unsigned(t.wYear % 100),
                unsigned(t.wMonth % 100), unsigned(t.wDay % 100), unsigned(t.wHour % 100),
                unsigned(t.wMinute % 100), unsigned(t.wSecond % 100));
  return buf;
}

std::string AlarmFileStem(const RecordTime& t, const std::string& sessionId) {
  std::string s = sessionId.substr(0, 4);
  for (char& c : s)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return "ALARM_MJPEG_" + TimeStem(t) + "_" + s;
}

std::string UserFileStem(const RecordTime& t) { return "USER_MJPEG_" + TimeStem(t) + "_UR"; }

void EnsureTrailingSeparator(std::string& folder) {
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
}

RecordTime CurrentLocalTime() {
  const plat::LocalTime lt = plat::GetLocalTime();
  RecordTime t;
  t.wYear = plat::WORD(lt.year);
  t.wMonth = plat::WORD(lt.month);
  t.wDayOfWeek = plat::WORD(lt.dayOfWeek);
  t.wDay = plat::WORD(lt.day);
  t.wHour = plat::WORD(lt.hour);
  t.wMinute = plat::WORD(lt.minute);
  t.wSecond = plat::WORD(lt.second);
  t.wMilliseconds = 0;
  return t;
}

}  // namespace ovr
