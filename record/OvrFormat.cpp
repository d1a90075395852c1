#include "record/OvrFormat.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/bytes.h"

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
  plat::ByteWriter w(out, kHeaderSize);
  w.U16At(kOffMagic, kMagic);
  w.U16At(kOffHeaderLength, kHeaderLength);
  std::memcpy(out + kOffModel, "K40R", 4);
  created.Serialize(out + kOffCreated);
  w.U32At(kOffFirstTime, firstTime);
  w.U32At(kOffLastTime, lastTime);
  w.U32At(kOffFrameCount, frameCount);
  std::memcpy(out + kOffServerIp, serverIp, 4);
  w.U16At(kOffConst23, 23);
  w.U8At(kOffZero58, 0);
  w.U8At(kOffKind, kind);
  std::memcpy(out + kOffUserName, userName, sizeof userName);
  w.U32At(kOffFlags, kHeaderFlags);
}

bool FileHeader::Parse(const std::uint8_t* in, std::size_t size, FileHeader& out) {
  if (!in || size < kHeaderSize) return false;
  plat::ByteReader r(in, kHeaderSize);
  std::uint16_t magic = 0, headerLength = 0;
  std::uint32_t flags = 0;
  r.U16At(kOffMagic, magic);
  r.U16At(kOffHeaderLength, headerLength);
  r.U32At(kOffFlags, flags);
  if (magic != kMagic || headerLength != kHeaderLength || flags != kHeaderFlags) return false;
  FileHeader h;
  h.created = RecordTime::Parse(in + kOffCreated);
  r.U32At(kOffFirstTime, h.firstTime);
  r.U32At(kOffLastTime, h.lastTime);
  r.U32At(kOffFrameCount, h.frameCount);
  std::memcpy(h.serverIp, in + kOffServerIp, 4);
  h.kind = in[kOffKind];
  std::memcpy(h.userName, in + kOffUserName, sizeof h.userName);
  out = h;
  return true;
}

void SerializePreamble(const FileHeader& h, std::uint8_t* out) {
  h.Serialize(out);
  plat::ByteWriter w(out, kPreambleSize);
  w.Seek(kHeaderSize);
  w.U32(0xFFFFFFFFu);
  w.U32(0);
  w.U16(0xFFFF);
}

std::size_t BuildFrameRecord(std::uint32_t seq, const RecordFrameInfo& info,
                             const std::uint8_t* jpeg, std::uint32_t length, std::uint8_t* out,
                             std::size_t cap) {
  const bool noImage = (info.dwNoImage & 1u) != 0;
  const std::size_t fields = noImage ? kRecordFieldsSizeNoImage : kRecordFieldsSize;
  if (!out || cap < fields || length > cap - fields || (length && !jpeg)) return 0;
  plat::ByteWriter w(out, fields + length);
  w.U32(kFlagWord | (noImage ? kFlagNoImage : 0u));
  w.U32(seq);
  w.U32(length);
  w.U16(info.wWidth);
  w.U16(info.wHeight);
  w.U32(info.dwTimeMs);
  w.U8(info.byChannel);
  w.U8(0);
  w.U8(5);
  if (noImage) w.U8(1);
  w.U16(kMagic);
  w.U16(std::uint16_t(w.Position() + 4));  // the end marker's offset: after this field and the sum
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < w.Position(); ++i) sum += out[i];
  w.U16(std::uint16_t(sum));
  w.U16(0xFFFF);
  if (length) w.Bytes(jpeg, length);
  return w.Ok() ? w.Position() : 0;
}

void SerializeIndexEntry(std::uint32_t offset, std::uint8_t* out) {
  plat::ByteWriter w(out, rec::kIndexEntryBytes);
  w.U32(offset);
  w.U32(0);
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
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return;
  const bool backslashesOnly = folder.find('/') == std::string::npos && folder.find('\\') != std::string::npos;
  folder += backslashesOnly ? '\\' : '/';
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
