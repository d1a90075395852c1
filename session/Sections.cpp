#include "session/Sections.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/Model.h"
#include "core/Strings.h"
#include "platform/bytes.h"

namespace sect {

namespace {

Ip4 GetIp(const std::uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }
void PutIp(std::uint8_t* p, const Ip4& ip) { std::memcpy(p, ip.data(), 4); }

// Stores a text only when it differs from what the field holds, so an unchanged field keeps
// its bytes exactly (including anything behind its terminator).
void PutText(std::uint8_t* field, std::size_t width, const std::string& text, std::size_t limit) {
  if (ReadText(field, width) == text) return;
  WriteText(field, width, text, limit);
}

template <class S>
bool TakeRaw(const std::uint8_t* p, std::size_t n, S& out) {
  if (!p || n != S::kSize) return false;
  std::memcpy(out.raw.data(), p, S::kSize);
  return true;
}

}  // namespace

std::uint32_t PackIp4(const Ip4& a) {
  // The octets read as a big-endian word.
  const std::uint8_t reversed[4] = {a[3], a[2], a[1], a[0]};
  std::uint32_t packed = 0;
  plat::ByteReader(reversed, sizeof reversed).U32(packed);
  return packed;
}

Ip4 UnpackIp4(std::uint32_t packed) {
  std::uint8_t le[4] = {};
  plat::ByteWriter(le, sizeof le).U32(packed);
  return {le[3], le[2], le[1], le[0]};
}

std::string DottedIp4(std::uint32_t packed) {
  const Ip4 a = UnpackIp4(packed);
  return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." + std::to_string(a[3]);
}

bool Device::IsDvr() const { return IsModelFamilyK41(productId); }
bool Device::IsVideoServer() const {
  return IsModelK40R(productId) || IsModelK47R(productId) || IsModelFamilyK44(productId);
}
bool Device::IsK40R() const { return IsModelK40R(productId); }
bool Device::From(const char* threshold) const { return !IsFirmwareBelow(threshold, firmware); }
bool Device::NewPppoeLayout() const { return IsDvr() ? From("1052") : From("1007"); }
bool Device::WritesBitRate() const { return IsDvr() && From("3000"); }
bool Device::K40RChannelNames() const { return IsK40R() && From("1010"); }

MailFromMore MailFromMoreOf(const Device& d) {
  if (d.IsDvr()) return d.From("1027") ? MailFromMore::Sntp : MailFromMore::None;
  if (d.IsK40R()) return d.From("1003") ? MailFromMore::SystemK40R : MailFromMore::None;
  if (d.IsVideoServer()) return d.From("1003") ? MailFromMore::System : MailFromMore::None;
  return MailFromMore::None;
}

std::string ReadText(const std::uint8_t* field, std::size_t width) {
  std::size_t n = 0;
  while (n < width && field[n]) ++n;
  return std::string(reinterpret_cast<const char*>(field), n);
}

void WriteText(std::uint8_t* field, std::size_t width, const std::string& text, std::size_t limit) {
  std::memset(field, 0, width);
  // A text ends at its first zero byte: nothing behind one is stored.
  const std::size_t len = std::min({text.size(), std::min(limit, width), std::strlen(text.c_str())});
  std::memcpy(field, text.data(), len);
}

// ---------------------------------------------------------------------------------- INF
bool InfSection::Decode(const std::uint8_t* p, std::size_t n, InfSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  plat::ByteReader r(p, n);
  r.U32At(kOffCapability, out.capabilityFlags);
  out.modelName = ReadText(p + kOffModelName, 8);
  return true;
}
void InfSection::Encode(std::uint8_t* out) const {
  std::memcpy(out, raw.data(), kSize);
  plat::ByteWriter w(out, kSize);
  w.U32At(kOffCapability, capabilityFlags);
  PutText(out + kOffModelName, 8, modelName, 8);
}
bool InfSection::FixRvx507ModelName(std::uint8_t* block) {
  static const std::uint8_t fixed[8] = {'R', 'V', 'X', '-', '5', '0', '7', 0};
  if (std::memcmp(block + kOffModelName, "RVX-507", 7) != 0) return false;
  if (std::memcmp(block + kOffModelName, fixed, 8) == 0) return false;
  std::memcpy(block + kOffModelName, fixed, 8);
  return true;
}

// ----------------------------------------------------------------------------------- IP
bool IpSection::Decode(const std::uint8_t* p, std::size_t n, IpSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  plat::ByteReader r(p, n);
  out.ipAddress = GetIp(p + kOffIp);
  out.netMask = GetIp(p + kOffMask);
  out.gateway = GetIp(p + kOffGateway);
  r.U16At(kOffWebPort, out.webPort);
  out.ipType = p[kOffIpType];
  out.bitRate = p[kOffBitRate];
  return true;
}
void IpSection::Encode(std::uint8_t* out, const Device& d) const {
  std::memcpy(out, raw.data(), kSize);
  plat::ByteWriter w(out, kSize);
  PutIp(out + kOffIp, ipAddress);
  PutIp(out + kOffMask, netMask);
  PutIp(out + kOffGateway, gateway);
  w.U16At(kOffWebPort, webPort);
  out[kOffIpType] = ipType;
  if (d.WritesBitRate()) out[kOffBitRate] = bitRate;
}

// ------------------------------------------------------------------------------- SECURE
bool SecureSection::Decode(const std::uint8_t* p, std::size_t n, SecureSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  plat::ByteReader r(p, n);
  out.maxUsers = p[kOffMaxUsers];
  for (std::size_t i = 0; i < kSlots; ++i) {
    out.userName[i] = ReadText(p + kOffUserName + kTextWidth * i, kTextWidth);
    out.password[i] = ReadText(p + kOffPassword + kTextWidth * i, kTextWidth);
    out.level[i] = p[kOffLevel + i];
    std::uint32_t lifeTime = 0;
    r.U32At(kOffLifeTime + 4 * i, lifeTime);
    out.lifeTime[i] = std::int32_t(lifeTime);
  }
  return true;
}
void SecureSection::Encode(std::uint8_t* out) const {
  std::memcpy(out, raw.data(), kSize);
  plat::ByteWriter w(out, kSize);
  out[kOffMaxUsers] = maxUsers;
  for (std::size_t i = 0; i < kSlots; ++i) {
    std::uint8_t* name = out + kOffUserName + kTextWidth * i;
    std::uint8_t* pass = out + kOffPassword + kTextWidth * i;
    if (userName[i].empty()) {
      // A free slot: name and password cleared (unless already free), level and life kept.
      if (ReadText(name, kTextWidth).empty()) continue;
      std::memset(name, 0, kTextWidth);
      std::memset(pass, 0, kTextWidth);
      continue;
    }
    PutText(name, kTextWidth, userName[i], kTextWidth);
    PutText(pass, kTextWidth, password[i], kTextWidth);
    out[kOffLevel + i] = level[i];
    w.U32At(kOffLifeTime + 4 * i, std::uint32_t(lifeTime[i]));
  }
}

// ---------------------------------------------------------------------------------- DNS
bool DnsSection::Decode(const std::uint8_t* p, std::size_t n, DnsSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  out.dnsAuto = p[kOffAuto];
  out.dnsServer = GetIp(p + kOffServer);
  return true;
}
void DnsSection::Encode(std::uint8_t* out) const {
  std::memcpy(out, raw.data(), kSize);
  out[kOffAuto] = dnsAuto;
  if (!dnsAuto) PutIp(out + kOffServer, dnsServer);
}

// --------------------------------------------------------------------------------- SMTP
bool SmtpSection::Decode(const std::uint8_t* p, std::size_t n, SmtpSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  out.smtpVerify = p[kOffVerify];
  out.ddnsEnable = p[kOffDdnsEnable];
  out.smtpServer = ReadText(p + kOffServer, 64);
  out.mailFrom = ReadText(p + kOffMailFrom, 16);
  out.ddnsProvider = ReadText(p + kOffProvider, 16);
  out.ddnsUser = ReadText(p + kOffDdnsUser, 16);
  out.ddnsPassword = ReadText(p + kOffDdnsPassword, 16);
  for (std::size_t i = 0; i < kRecipients; ++i)
    out.mailTo[i] = ReadText(p + kOffMailTo + kMailToWidth * i, kMailToWidth);
  out.ddnsDomain = ReadText(p + kOffDomain, 48);
  out.smtpUser = ReadText(p + kOffSmtpUser, 32);
  out.smtpPassword = ReadText(p + kOffSmtpPassword, 32);
  return true;
}
void SmtpSection::Encode(std::uint8_t* out) const {
  std::memcpy(out, raw.data(), kSize);
  out[kOffVerify] = smtpVerify;
  out[kOffDdnsEnable] = ddnsEnable;
  PutText(out + kOffServer, 64, smtpServer, 63);
  PutText(out + kOffMailFrom, 16, mailFrom, 15);
  PutText(out + kOffProvider, 16, ddnsProvider, 15);
  PutText(out + kOffDdnsUser, 16, ddnsUser, 15);
  PutText(out + kOffDdnsPassword, 16, ddnsPassword, 15);
  // The recipients are one block: unchanged, it stays; otherwise it is cleared and the
  // recipients stored from entry 0 without gaps.
  bool same = true;
  for (std::size_t i = 0; i < kRecipients; ++i)
    same = same && ReadText(out + kOffMailTo + kMailToWidth * i, kMailToWidth) == mailTo[i];
  if (!same) {
    std::memset(out + kOffMailTo, 0, kMailToWidth * kRecipients);
    std::size_t k = 0;
    for (std::size_t i = 0; i < kRecipients; ++i)
      if (!mailTo[i].empty() && mailTo[i][0] != '\0')
        WriteText(out + kOffMailTo + kMailToWidth * k++, kMailToWidth, mailTo[i], kMailToWidth - 1);
  }
  PutText(out + kOffDomain, 48, ddnsDomain, 47);
  PutText(out + kOffSmtpUser, 32, smtpUser, 31);
  PutText(out + kOffSmtpPassword, 32, smtpPassword, 31);
}
void SmtpSection::TerminateTexts(std::uint8_t* block) {
  block[kOffServer + 63] = 0;
  block[kOffMailFrom + 15] = 0;
  block[kOffSmtpUser + 31] = 0;
  block[kOffSmtpPassword + 31] = 0;
}

// ---------------------------------------------------------------------------------- FTP
bool FtpSection::Decode(const std::uint8_t* p, std::size_t n, FtpSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  plat::ByteReader r(p, n);
  out.server = ReadText(p + kOffServer, 32);
  out.user = ReadText(p + kOffUser, 16);
  out.password = ReadText(p + kOffPassword, 16);
  out.directory = ReadText(p + kOffDirectory, 32);
  r.U16At(kOffPort, out.port);
  return true;
}
void FtpSection::Encode(std::uint8_t* out) const {
  std::memcpy(out, raw.data(), kSize);
  plat::ByteWriter w(out, kSize);
  PutText(out + kOffServer, 32, server, 31);
  PutText(out + kOffUser, 16, user, 15);
  PutText(out + kOffPassword, 16, password, 15);
  PutText(out + kOffDirectory, 32, directory, 31);
  w.U16At(kOffPort, port);
}

// -------------------------------------------------------------------------------- PPPOE
bool PppoeSection::Decode(const std::uint8_t* p, std::size_t n, bool isNew, PppoeSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  out.newLayout = isNew;
  if (isNew) {
    out.user = ReadText(p + kNewOffUser, kNewWidth);
    out.password = ReadText(p + kNewOffPassword, kNewWidth);
  } else {
    out.user = ReadText(p + kOldOffUser, kOldWidth);
    out.password = ReadText(p + kOldOffPassword, kOldWidth);
  }
  return true;
}
void PppoeSection::Encode(std::uint8_t* out) const {
  std::memcpy(out, raw.data(), kSize);
  if (newLayout) {
    PutText(out + kNewOffUser, kNewWidth, user, kNewWidth - 1);
    PutText(out + kNewOffPassword, kNewWidth, password, kNewWidth - 1);
  } else {
    PutText(out + kOldOffUser, kOldWidth, user, kOldWidth);
    PutText(out + kOldOffPassword, kOldWidth, password, kOldWidth);
  }
}

// ------------------------------------------------------------------------------- SYSTEM
bool SystemSection::Decode(const std::uint8_t* p, std::size_t n, SystemSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  out.deviceName = ReadText(p + kOffDeviceName, 16);
  return true;
}
void SystemSection::Encode(std::uint8_t* out) const {
  std::memcpy(out, raw.data(), kSize);
  PutText(out + kOffDeviceName, 16, deviceName, kDeviceNameLimit);
}

// --------------------------------------------------------------------------------- SNTP
bool TimeZoneEntry(int index, TimeZone& out) {
  if (index < 0 || index >= kTimeZoneCount) return false;
  out.stringId = 8448u + unsigned(index);
  out.hours = 0;
  out.minutes = 0;
  // The offset is the one the caption names: "(GMT-03:30) ..." or "(GMT) ...".
  const char* caption = LoadStr(out.stringId);
  char sign = 0;
  int h = 0, m = 0;
  if (caption && std::sscanf(caption, "(GMT%c%d:%d)", &sign, &h, &m) == 3 && (sign == '+' || sign == '-')) {
    out.hours = sign == '-' ? -h : h;
    out.minutes = sign == '-' ? -m : m;
  }
  return true;
}

bool SntpSection::Decode(const std::uint8_t* p, std::size_t n, SntpSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  out.zoneHour = std::int8_t(p[kOffZoneHour]);
  out.zoneMinute = std::int8_t(p[kOffZoneMinute]);
  out.zoneIndex = p[kOffZoneIndex];
  out.timeMode = p[kOffTimeMode];
  out.server = ReadText(p + kOffServer, kServerWidth);
  return true;
}
void SntpSection::Encode(std::uint8_t* out, const Device& d) const {
  std::memcpy(out, raw.data(), kSize);
  out[kOffZoneHour] = std::uint8_t(zoneHour);
  out[kOffZoneMinute] = std::uint8_t(zoneMinute);
  TimeZone tz;
  if (zoneIndex != raw[kOffZoneIndex] && TimeZoneEntry(zoneIndex, tz)) {
    out[kOffZoneHour] = std::uint8_t(std::int8_t(tz.hours));
    out[kOffZoneMinute] = std::uint8_t(std::int8_t(tz.minutes));
  }
  out[kOffZoneIndex] = zoneIndex;
  out[kOffTimeMode] = timeMode;
  if (MailFromMoreOf(d) != MailFromMore::Sntp) PutText(out + kOffServer, kServerWidth, server, kServerWidth - 1);
}

// ------------------------------------------------------------------------------- ONLINE
bool OnlineSection::Decode(const std::uint8_t* p, std::size_t n, OnlineSection& out) {
  if (!p && n) return false;
  out.raw.fill(0);
  if (n) std::memcpy(out.raw.data(), p, std::min(n, kSize));
  for (std::size_t i = 0; i < kRecords; ++i) {
    const std::uint8_t* r = out.raw.data() + kRecordSize * i;
    OnlineUser& u = out.users[i];
    u.user = ReadText(r, 16);
    u.ip = GetIp(r + 16);
    u.level = r[20];
    u.channel = r[21];
    u.resolution = r[22];
    u.quality = r[23];
  }
  return true;
}

// -------------------------------------------------------------------------------- RS485
bool Rs485Section::Decode(const std::uint8_t* p, std::size_t n, const Device& d, Rs485Section& out) {
  if (!TakeRaw(p, n, out)) return false;
  plat::ByteReader r(p, n);
  for (std::size_t c = 0; c < kChannels; ++c) {
    out.deviceId[c] = p[kOffDeviceId + c];
    out.kind[c] = p[kOffKind + c];
    out.protocol[c] = p[kOffProtocol + c];
    r.U32At(kOffBaud + 4 * c, out.baud[c]);
  }
  out.channelName1.clear();
  out.channelName2.clear();
  if (d.K40RChannelNames()) {
    out.channelName1 = ReadText(p + kOffChannelName1, kChannelNameWidth);
    out.channelName2 = ReadText(p + kOffChannelName2, kChannelNameWidth);
  }
  return true;
}
void Rs485Section::Encode(std::uint8_t* out, const Device& d) const {
  std::memcpy(out, raw.data(), kSize);
  plat::ByteWriter w(out, kSize);
  if (d.K40RChannelNames()) {
    if (ReadText(out + kOffChannelName1, kChannelNameWidth) != channelName1 ||
        ReadText(out + kOffChannelName2, kChannelNameWidth) != channelName2) {
      std::memset(out + kOffChannelName1, 0, 2 * kChannelNameWidth);
      if (channelName1.size() < 4) WriteText(out + kOffChannelName1, kChannelNameWidth, channelName1, 3);
      if (channelName2.size() < 4) WriteText(out + kOffChannelName2, kChannelNameWidth, channelName2, 3);
    }
    return;
  }
  for (std::size_t c = 0; c < kChannels; ++c) {
    out[kOffDeviceId + c] = deviceId[c];
    out[kOffKind + c] = kind[c];
    out[kOffProtocol + c] = protocol[c];
    w.U32At(kOffBaud + 4 * c, baud[c]);
  }
}
std::uint8_t Rs485Section::DeviceType(std::size_t c) const {
  if (c >= kChannels || kind[c] != 1) return 0;
  return protocol[c] == 1 ? 18 : 11;
}

// -------------------------------------------------------------------------------- ALARM
bool AlarmSection::Decode(const std::uint8_t* p, std::size_t n, const Device& d, AlarmSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  plat::ByteReader r(p, n);
  out.postNumber = p[kOffPostNumber];
  out.alarmMethod = p[kOffMethod];
  out.imageSize = p[kOffImageSize];
  r.U16At(kOffDuration, out.duration);
  for (std::size_t c = 0; c < kChannels; ++c) out.inputType[c] = p[kOffInputType + c];
  out.videoSource = d.IsK40R() ? p[kOffVideoSource] : 0;
  return true;
}
void AlarmSection::Encode(std::uint8_t* out, const Device& d) const {
  std::memcpy(out, raw.data(), kSize);
  plat::ByteWriter w(out, kSize);
  out[kOffPostNumber] = postNumber;
  out[kOffMethod] = alarmMethod;
  out[kOffImageSize] = imageSize;
  w.U16At(kOffDuration, duration);
  if (d.IsDvr()) {
    for (std::size_t c = 0; c < kChannels; ++c) out[kOffInputType + c] = inputType[c];
  } else if (d.IsK40R()) {
    out[kOffVideoSource] = videoSource;
  }
}
namespace {
const std::uint16_t kServerDurations[] = {3, 15, 30, 60, 1800, 65535};
const std::uint16_t kDvrDurations[] = {5, 10, 20, 40};
}  // namespace
int AlarmSection::DurationChoice(const Device& d, std::uint16_t seconds) {
  const std::uint16_t* list = d.IsDvr() ? kDvrDurations : kServerDurations;
  const int n = d.IsDvr() ? 4 : 6;
  for (int i = 0; i < n; ++i)
    if (list[i] == seconds) return i;
  return 0;
}
std::uint16_t AlarmSection::DurationOfChoice(const Device& d, int choice) {
  if (d.IsDvr()) return (choice >= 0 && choice < 4) ? kDvrDurations[choice] : 5;
  return (choice >= 0 && choice < 6) ? kServerDurations[choice] : 3;
}

// ------------------------------------------------------------------------------ DVRLIVE
bool DvrLiveSection::Decode(const std::uint8_t* p, std::size_t n, DvrLiveSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  for (std::size_t c = 0; c < kChannels; ++c) {
    out.brightness[c] = p[kOffBrightness + c];
    out.contrast[c] = p[kOffContrast + c];
    out.hue[c] = p[kOffHue + c];
    out.saturation[c] = p[kOffSaturation + c];
    out.covert[c] = p[kOffCovert + c];
    out.title[c] = ReadText(p + kOffTitle + kTitleWidth * c, kTitleWidth);
    out.detect[c] = p[kOffDetect + c];
    out.ls[c] = p[kOffLS + c];
    out.ss[c] = p[kOffSS + c];
    out.ts[c] = p[kOffTS + c];
    out.re[c] = p[kOffRE + c];
    std::memcpy(out.area[c], p + kOffArea + kAreaBytes * c, kAreaBytes);
  }
  return true;
}
void DvrLiveSection::Encode(std::uint8_t* out) const {
  std::memcpy(out, raw.data(), kSize);
  for (std::size_t c = 0; c < kChannels; ++c) {
    out[kOffBrightness + c] = brightness[c];
    out[kOffContrast + c] = contrast[c];
    out[kOffHue + c] = hue[c];
    out[kOffSaturation + c] = saturation[c];
    out[kOffCovert + c] = covert[c];
    PutText(out + kOffTitle + kTitleWidth * c, kTitleWidth, title[c], kTitleWidth);
    out[kOffDetect + c] = detect[c];
    out[kOffLS + c] = ls[c];
    out[kOffSS + c] = ss[c];
    out[kOffTS + c] = ts[c];
    out[kOffRE + c] = re[c];
    std::memcpy(out + kOffArea + kAreaBytes * c, area[c], kAreaBytes);
  }
}
bool DvrLiveSection::AreaCell(const std::uint8_t* mask, int row, int column) {
  if (row < 0 || row >= 12 || column < 0 || column >= 16) return false;
  const unsigned word = (unsigned(mask[2 * row]) << 8) | mask[2 * row + 1];
  return (word >> column) & 1u;
}
void DvrLiveSection::SetAreaCell(std::uint8_t* mask, int row, int column, bool on) {
  if (row < 0 || row >= 12 || column < 0 || column >= 16) return;
  std::uint8_t& b = column < 8 ? mask[2 * row + 1] : mask[2 * row];
  const std::uint8_t bit = std::uint8_t(1u << (column % 8));
  b = on ? std::uint8_t(b | bit) : std::uint8_t(b & ~bit);
}

// ------------------------------------------------------------------------------- DVRREC
bool DvrRecSection::Decode(const std::uint8_t* p, std::size_t n, DvrRecSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  plat::ByteReader r(p, n);
  for (std::size_t c = 0; c < kChannels; ++c) out.recordEnable[c] = p[kOffRecordEnable + c];
  for (std::size_t s = 0; s < kSlots; ++s) {
    out.timerDay[s] = p[kOffTimerDay + s];
    r.U16At(kOffTimerStart + 2 * s, out.timerStart[s]);
    r.U16At(kOffTimerEnd + 2 * s, out.timerEnd[s]);
  }
  return true;
}
void DvrRecSection::Encode(std::uint8_t* out) const {
  std::memcpy(out, raw.data(), kSize);
  plat::ByteWriter w(out, kSize);
  for (std::size_t c = 0; c < kChannels; ++c) out[kOffRecordEnable + c] = recordEnable[c];
  for (std::size_t s = 0; s < kSlots; ++s) {
    out[kOffTimerDay + s] = timerDay[s];
    w.U16At(kOffTimerStart + 2 * s, timerStart[s]);
    w.U16At(kOffTimerEnd + 2 * s, timerEnd[s]);
  }
}

// --------------------------------------------------------------------------------- PERI
bool PeriSection::Decode(const std::uint8_t* p, std::size_t n, PeriSection& out) {
  if (!TakeRaw(p, n, out)) return false;
  plat::ByteReader r(p, n);
  for (std::size_t i = 0; i < kDevices; ++i) {
    out.model[i] = p[kOffModel + i];
    r.U32At(kOffBaud + 4 * i, out.baud[i]);
    out.id[i] = p[kOffId + i];
  }
  return true;
}
void PeriSection::Encode(std::uint8_t* out) const {
  std::memcpy(out, raw.data(), kSize);
  plat::ByteWriter w(out, kSize);
  for (std::size_t i = 0; i < kDevices; ++i) {
    out[kOffModel + i] = model[i];
    w.U32At(kOffBaud + 4 * i, baud[i]);
    out[kOffId + i] = id[i];
  }
}

int BaudChoice(std::uint32_t rate) {
  for (int i = 0; i < 7; ++i)
    if (kBaudRates[i] == rate) return i;
  return 0;
}
std::uint32_t BaudOfChoice(int choice) { return (choice >= 0 && choice < 7) ? kBaudRates[choice] : 2400; }

// ----------------------------------------------------------------------- sender address
namespace {
struct MoreField {
  std::uint8_t* base;
  std::size_t width;  // bytes cleared
  std::size_t limit;  // characters stored
};
}  // namespace

std::string ReadMailFrom(const Device& d, const std::uint8_t* smtp, const std::uint8_t* system,
                         const std::uint8_t* sntp) {
  const std::string first = ReadText(smtp + SmtpSection::kOffMailFrom, 16);
  std::string more;
  switch (MailFromMoreOf(d)) {
    case MailFromMore::None: return first.substr(0, 15);
    case MailFromMore::Sntp: more = ReadText(sntp + SntpSection::kOffServer, 28).substr(0, 27); break;
    case MailFromMore::System: more = ReadText(system + SystemSection::kOffMailFromMore, 32).substr(0, 27); break;
    case MailFromMore::SystemK40R: more = ReadText(system + SystemSection::kOffMailFromMore, 16); break;
  }
  if (first.size() == 15 && !more.empty()) return first + more;
  return first;
}

MailFromChanged WriteMailFrom(const Device& d, const std::string& address, std::uint8_t* smtp,
                              std::uint8_t* system, std::uint8_t* sntp) {
  MailFromChanged changed;
  changed.smtp = true;
  std::uint8_t* from = smtp + SmtpSection::kOffMailFrom;
  MoreField more{nullptr, 0, 0};
  switch (MailFromMoreOf(d)) {
    case MailFromMore::None: break;
    case MailFromMore::Sntp: more = {sntp + SntpSection::kOffServer, 28, 27}; changed.sntp = true; break;
    case MailFromMore::System: more = {system + SystemSection::kOffMailFromMore, 32, 27}; changed.system = true; break;
    case MailFromMore::SystemK40R: more = {system + SystemSection::kOffMailFromMore, 16, 16}; changed.system = true; break;
  }
  WriteText(from, 16, address, 15);
  if (more.base) {
    std::memset(more.base, 0, more.width);
    if (address.size() > 15) WriteText(more.base, more.width, address.substr(15), more.limit);
  }
  return changed;
}

}  // namespace sect
