#include "session/SectionWriters.h"

#include <cstring>

#include "core/Model.h"
#include "platform/bytes.h"

namespace sect {

namespace {

// A picture size and the two codes the video-setting block stores for it.
struct SizeCode {
  int size;
  std::uint8_t first, second;
};
// The codes of `size`, or `fallback` when the table does not hold it.
template <std::size_t N>
SizeCode FindSizeCode(const SizeCode (&table)[N], int size, SizeCode fallback) {
  for (const SizeCode& row : table) {
    if (row.size == size) return row;
  }
  return fallback;
}

void PutPackedIp4(std::uint8_t* section, std::size_t size, std::size_t offset, std::uint32_t packed) {
  const Ip4 a = UnpackIp4(packed);
  plat::ByteWriter w(section, size);
  if (w.Seek(offset)) w.Bytes(a.data(), a.size());
}

}  // namespace

// ---------------------------------------------------------------------------- SECURE
bool WriteAccountPage(std::uint8_t* block, const AccountValues& page) {
  SecureSection secure;
  SecureSection::Decode(block, SecureSection::kSize, secure);
  bool changed = false;
  if (page.slotsModified) {
    for (std::size_t n = 0; n < SecureSection::kSlots; ++n) {
      const AccountSlotValues& slot = page.accounts[n];
      if (slot.inUse) {
        secure.level[n] = slot.level;
        secure.lifeTime[n] = slot.lifeTime;
        secure.userName[n] = slot.user;
        secure.password[n] = slot.password;
      } else {
        secure.userName[n].clear();
        secure.password[n].clear();
      }
    }
    changed = true;
  }
  if (page.maxUsers != secure.maxUsers) {
    secure.maxUsers = static_cast<std::uint8_t>(page.maxUsers);
    changed = true;
  }
  if (!changed) return false;
  secure.Encode(block);
  return true;
}

// ------------------------------------------------------------------------------ SMTP
MailFromChanged WriteMailPage(const Device& d, const MailValues& page, const MailValues& opened, std::uint8_t* smtp,
                              std::uint8_t* system, std::uint8_t* sntp) {
  using S = SmtpSection;
  MailFromChanged marked;
  if (page.mailFrom != opened.mailFrom) marked = WriteMailFrom(d, page.mailFrom, smtp, system, sntp);
  if (page.smtpServer != opened.smtpServer) {
    WriteText(smtp + S::kOffServer, 64, page.smtpServer, 63);
    marked.smtp = true;
  }
  if (page.smtpPassword != opened.smtpPassword) {
    WriteText(smtp + S::kOffSmtpPassword, 32, page.smtpPassword, 31);
    marked.smtp = true;
  }
  if (page.smtpUser != opened.smtpUser) {
    WriteText(smtp + S::kOffSmtpUser, 32, page.smtpUser, 31);
    marked.smtp = true;
  }
  if (page.smtpVerify != opened.smtpVerify) {
    smtp[S::kOffVerify] = page.smtpVerify;
    marked.smtp = true;
  }
  if (page.recipientsChanged) {
    std::memset(smtp + S::kOffMailTo, 0, S::kRecipients * S::kMailToWidth);
    for (std::size_t i = 0; i < page.recipients.size() && i < S::kRecipients; ++i) {
      // The editor refuses what does not fit; an entry never runs into the next one.
      WriteText(smtp + S::kOffMailTo + i * S::kMailToWidth, S::kMailToWidth, page.recipients[i], kMailToLimit);
    }
    marked.smtp = true;
  }
  return marked;
}

// ------------------------------------------------------------------------------- FTP
bool WriteFtpPage(std::uint8_t* block, const FtpValues& page, const FtpValues& opened) {
  using F = FtpSection;
  bool changed = false;
  auto text = [&](const std::string& value, const std::string& orig, std::size_t offset, std::size_t width) {
    if (value != orig && value.size() < width) {
      WriteText(block + offset, width, value, width - 1);
      changed = true;
    }
  };
  text(page.server, opened.server, F::kOffServer, 32);
  text(page.user, opened.user, F::kOffUser, 16);
  text(page.password, opened.password, F::kOffPassword, 16);
  text(page.directory, opened.directory, F::kOffDirectory, 32);
  if (page.port != opened.port) {
    plat::ByteWriter(block, F::kSize).U16At(F::kOffPort, static_cast<std::uint16_t>(page.port));
    changed = true;
  }
  return changed;
}

// ------------------------------------------------------------------------ DNS, DDNS
DnsPageWrite WriteDnsPage(std::uint8_t* dns, std::uint8_t* smtp, const DnsPageValues& page,
                          const DnsPageValues& opened, DdnsProviderRule rule) {
  using S = SmtpSection;
  DnsPageWrite out;
  if (page.dnsServer != opened.dnsServer || page.autoDns != opened.autoDns) {
    PutPackedIp4(dns, DnsSection::kSize, DnsSection::kOffServer, page.dnsServer);
    dns[DnsSection::kOffAuto] = page.autoDns ? 1 : 0;
    out.dns = true;
  }
  // A stored provider the list does not hold counts as unchanged until the operator picks one.
  const bool providerKnown = opened.provider >= 0 || page.providerPicked;
  const bool providerChanged = opened.provider >= 0 ? page.provider != opened.provider : page.providerPicked;
  if (page.ddnsEnable != opened.ddnsEnable || page.ddnsUser != opened.ddnsUser ||
      page.ddnsPassword != opened.ddnsPassword || page.ddnsDomain != opened.ddnsDomain || providerChanged) {
    smtp[S::kOffDdnsEnable] = page.ddnsEnable ? 1 : 0;
    WriteText(smtp + S::kOffDdnsUser, 16, page.ddnsUser, 15);
    WriteText(smtp + S::kOffDdnsPassword, 16, page.ddnsPassword, 15);
    WriteText(smtp + S::kOffDomain, 48, page.ddnsDomain, 47);
    // The customer variants register with their own provider; the others with the chosen
    // one, and an unknown stored name the operator left alone stays as it is.
    if (rule == DdnsProviderRule::Variant2) {
      WriteText(smtp + S::kOffProvider, 16, "corbelmanifold", 15);
    } else if (rule == DdnsProviderRule::Variant1) {
      WriteText(smtp + S::kOffProvider, 16, "quembrite", 15);
    } else if (providerKnown) {
      const bool listed = page.provider >= 0 && page.provider < 4;
      WriteText(smtp + S::kOffProvider, 16, listed ? kDdnsProviders[page.provider] : "", 15);
    }
    out.smtp = true;
  }
  return out;
}

// ------------------------------------------------------------------------- PPPOE, IP
bool WritePppoeAccount(std::uint8_t* block, bool newLayout, const PppoeValues& page, const PppoeValues& opened) {
  using P = PppoeSection;
  const std::size_t width = newLayout ? P::kNewWidth : P::kOldWidth;
  bool changed = false;
  if (page.user != opened.user) {
    WriteText(block + (newLayout ? P::kNewOffUser : P::kOldOffUser), width, page.user, width - 1);
    changed = true;
  }
  if (page.password != opened.password) {
    WriteText(block + (newLayout ? P::kNewOffPassword : P::kOldOffPassword), width, page.password, width - 1);
    changed = true;
  }
  return changed;
}

IpPageWrite WriteIpPage(std::uint8_t* block, const Device& d, const IpPageValues& page, const IpPageValues& opened,
                        const std::string& ddnsDomain) {
  using I = IpSection;
  IpPageWrite out;
  if (page.ipAddress != opened.ipAddress || page.gateway != opened.gateway || page.netMask != opened.netMask ||
      page.webPort != opened.webPort) {
    if (page.ipAddress != opened.ipAddress) {
      PutPackedIp4(block, I::kSize, I::kOffIp, page.ipAddress);
      out.newServer = DottedIp4(page.ipAddress);
      out.serverChanged = true;
    }
    if (page.gateway != opened.gateway) PutPackedIp4(block, I::kSize, I::kOffGateway, page.gateway);
    if (page.netMask != opened.netMask) PutPackedIp4(block, I::kSize, I::kOffMask, page.netMask);
    if (page.webPort != opened.webPort) {
      if (page.webPort < 1 || page.webPort > 65535) {
        out.refused = true;
        return out;
      }
      plat::ByteWriter(block, I::kSize).U16At(I::kOffWebPort, static_cast<std::uint16_t>(page.webPort));
      out.newPort = static_cast<std::uint16_t>(page.webPort);
      out.portChanged = true;
    }
    out.ipChanged = out.networkChanged = true;
  }
  if (page.ipType != opened.ipType) {
    block[I::kOffIpType] = page.ipType;
    out.ipChanged = out.networkChanged = true;
    if (page.ipType == 0) {
      const Ip4 stored{block[I::kOffIp], block[I::kOffIp + 1], block[I::kOffIp + 2], block[I::kOffIp + 3]};
      out.newServer = DottedIp4(PackIp4(stored));
      out.serverChanged = true;
    } else if (!ddnsDomain.empty()) {
      out.newServer = ddnsDomain;
      out.serverChanged = true;
    } else {
      // Without a domain the client cannot name the recorder: it stays where it is.
      out.serverChanged = false;
    }
  }
  if (IsModelFamilyK41(d.productId) && !IsFirmwareBelow(fwgate::kIpByte23DVR, d.firmware)) {
    if (page.bitRate != opened.bitRate && page.bitRate >= 0) block[I::kOffBitRate] = static_cast<std::uint8_t>(page.bitRate);
    out.ipChanged = true;
  }
  return out;
}

// ----------------------------------------------------------------------------- ALARM
bool WriteAlarmPage(std::uint8_t* block, const Device& d, const AlarmPageValues& page, const AlarmPageValues& opened) {
  AlarmSection alarm;
  AlarmSection::Decode(block, AlarmSection::kSize, d, alarm);
  bool changed = false;
  if (page.alarmMethod != opened.alarmMethod) {
    alarm.alarmMethod = page.alarmMethod;
    changed = true;
  }
  if (page.imageSize != opened.imageSize) {
    alarm.imageSize = page.imageSize;
    changed = true;
  }
  // A list without a choice leaves the stored value.
  if (page.postNumber >= 0 && page.postNumber != opened.postNumber) {
    alarm.postNumber = static_cast<std::uint8_t>(page.postNumber + 1);
    changed = true;
  }
  if (page.videoSource != opened.videoSource && d.IsK40R()) {
    alarm.videoSource = page.videoSource;
    changed = true;
  }
  if (page.duration >= 0 && page.duration != opened.duration) {
    alarm.duration = AlarmSection::DurationOfChoice(d, page.duration);
    changed = true;
  }
  if (changed) alarm.Encode(block, d);
  return changed;
}

// ----------------------------------------------------------------------------- RS485
void WriteRs485Devices(std::uint8_t* block, const Device& d, const Rs485DeviceValues& page) {
  Rs485Section rs;
  Rs485Section::Decode(block, Rs485Section::kSize, d, rs);
  for (std::size_t c = 0; c < Rs485Section::kChannels; ++c) {
    rs.kind[c] = page.kind[c];
    rs.deviceId[c] = page.deviceId[c];
    rs.protocol[c] = page.protocol[c];
    rs.baud[c] = page.baud[c];
  }
  rs.Encode(block, d);
}

// ------------------------------------------------------------------------------ PERI
PeriPageWrite WritePeriPage(std::uint8_t* block, const PeriPageValues& page, const PeriPageValues& opened) {
  PeriSection peri;
  PeriSection::Decode(block, PeriSection::kSize, peri);
  PeriPageWrite out;
  for (std::size_t i = 0; i < PeriSection::kDevices; ++i) {
    const PeriDeviceValues& now = page.device[i];
    const PeriDeviceValues& was = opened.device[i];
    if (now.id != was.id && now.id >= 0 && now.id <= 255) {
      peri.id[i] = static_cast<std::uint8_t>(now.id);
      out.tableChanged = out.changed = true;
    }
    // A list without a choice leaves the stored value.
    if (now.model >= 0 && now.model != was.model) {
      peri.model[i] = IndexToValue11(static_cast<std::uint8_t>(now.model));
      out.tableChanged = out.changed = true;
    }
    if (now.baud >= 0 && now.baud != was.baud) {
      peri.baud[i] = BaudOfChoice(now.baud);
      out.changed = true;
    }
  }
  if (out.changed) peri.Encode(block);
  return out;
}

// ------------------------------------------------------------------- SYSTEM, RS485
GeneralPageWrite WriteGeneralPage(std::uint8_t* system, std::uint8_t* rs485, const Device& d,
                                  const GeneralPageValues& page, const GeneralPageValues& opened, bool systemFetched) {
  GeneralPageWrite out;
  if (page.title != opened.title && systemFetched) {
    SystemSection s;
    SystemSection::Decode(system, SystemSection::kSize, s);
    s.deviceName = page.title;
    s.Encode(system);
    out.system = true;
  }
  if (d.K40RChannelNames() && (page.channelName1 != opened.channelName1 || page.channelName2 != opened.channelName2)) {
    Rs485Section r;
    Rs485Section::Decode(rs485, Rs485Section::kSize, d, r);
    r.channelName1 = page.channelName1;
    r.channelName2 = page.channelName2;
    r.Encode(rs485, d);
    out.rs485 = true;
  }
  return out;
}

// ------------------------------------------------------------------------------ SNTP
bool WriteSntpChoice(std::uint8_t* sntp, std::uint8_t timeMode, int zone, bool serverChanged, std::uint8_t serverMode,
                     const std::string& server) {
  using S = SntpSection;
  std::uint8_t before[S::kSize];
  std::memcpy(before, sntp, S::kSize);
  if (serverChanged) {
    std::memset(sntp + S::kOffServer, 0, S::kServerWidth);
    if (serverMode == 0) WriteText(sntp + S::kOffServer, S::kServerWidth, server, S::kServerWidth - 1);
  }
  TimeZone tz;
  if (TimeZoneEntry(zone, tz) && sntp[S::kOffZoneIndex] != zone) {
    sntp[S::kOffZoneIndex] = static_cast<std::uint8_t>(zone);
    sntp[S::kOffZoneHour] = static_cast<std::uint8_t>(static_cast<std::int8_t>(tz.hours));
    sntp[S::kOffZoneMinute] = static_cast<std::uint8_t>(static_cast<std::int8_t>(tz.minutes));
  }
  if (sntp[S::kOffTimeMode] != timeMode) sntp[S::kOffTimeMode] = timeMode;
  return std::memcmp(before, sntp, S::kSize) != 0;
}

bool WriteSntpPage(std::uint8_t* sntp, const SntpPageValues& page, const SntpPageValues& opened) {
  const bool serverModeChanged = page.serverMode != opened.serverMode;
  const bool serverChanged = serverModeChanged || page.server != opened.server;
  // Only what the operator changed against the snapshot is written.
  const int zone = page.zoneIndex != opened.zoneIndex ? page.zoneIndex : -1;
  const std::uint8_t mode = page.timeMode != opened.timeMode ? page.timeMode : sntp[SntpSection::kOffTimeMode];
  return WriteSntpChoice(sntp, mode, zone, serverChanged, page.serverMode, page.server);
}

bool WriteSntpSync(std::uint8_t* sntp, const SntpPageValues& page) {
  const std::string stored = ReadText(sntp + SntpSection::kOffServer, SntpSection::kServerWidth);
  const bool serverChanged = page.serverMode == 1 ? !stored.empty() : stored != page.server;
  return WriteSntpChoice(sntp, page.timeMode, page.zoneIndex, serverChanged, page.serverMode, page.server);
}

SntpPageValues ReadSntpPage(const std::uint8_t* sntp) {
  SntpPageValues v;
  // On K40R and K47R bytes 8 to 35 of SNTP are the time server's name only.
  v.server = ReadText(sntp + SntpSection::kOffServer, SntpSection::kServerWidth);
  v.zoneIndex = sntp[SntpSection::kOffZoneIndex];
  v.timeMode = sntp[SntpSection::kOffTimeMode];
  v.serverMode = v.server.empty() ? 1 : 0;
  return v;
}

// ---------------------------------------------------------------------------- DVRREC
namespace {

// The slot table's fields, once for both directions: `io` is a ByteReader filling `timer` or a
// ByteWriter storing it, so the read and the write of a layout cannot drift apart.
template <class Io, class Slots>
void TimerSlotFields(Io& io, Slots& timer) {
  for (std::size_t i = 0; i < DvrRecSection::kSlots; ++i) {
    io.U8At(DvrRecSection::kOffTimerDay + i, timer.day[i]);
    io.U16At(DvrRecSection::kOffTimerStart + 2 * i, timer.start[i]);
    io.U16At(DvrRecSection::kOffTimerEnd + 2 * i, timer.end[i]);
  }
}

}  // namespace

TimerSlots ReadTimerSlots(const std::uint8_t* block) {
  TimerSlots timer;
  plat::ByteReader r(block, DvrRecSection::kSize);
  TimerSlotFields(r, timer);
  return timer;
}

void WriteTimerSlots(std::uint8_t* block, const TimerSlots& timer) {
  plat::ByteWriter w(block, DvrRecSection::kSize);
  TimerSlotFields(w, timer);
}

std::uint16_t TimerWord(int hour, int minute) {
  return static_cast<std::uint16_t>((static_cast<unsigned>(hour) & 0xFFu) << 8 | (static_cast<unsigned>(minute) & 0xFFu));
}
int TimerWordHour(std::uint16_t word) { return word >> 8; }
int TimerWordMinute(std::uint16_t word) { return word & 0xFF; }

// ------------------------------------------------------------ DVRLIVE, DVRREC, ALARM
namespace {

// Every per-channel table of these layouts has one entry for each of their 16 channels.
static_assert(DvrLiveSection::kChannels == DvrRecSection::kChannels &&
              DvrLiveSection::kChannels == AlarmSection::kChannels);

bool ChannelInLayout(int channel) {
  return channel >= 0 && static_cast<std::size_t>(channel) < DvrLiveSection::kChannels;
}

// As for the timer slots: each layout's per-channel fields are listed once, for a ByteReader
// filling the values and a ByteWriter storing them.
template <class Io, class Values>
void CameraLiveFields(Io& io, Values& v, std::size_t c) {
  if (io.Seek(DvrLiveSection::kOffTitle + DvrLiveSection::kTitleWidth * c)) io.Bytes(v.title.data(), v.title.size());
  io.U8At(DvrLiveSection::kOffBrightness + c, v.brightness);
  io.U8At(DvrLiveSection::kOffContrast + c, v.contrast);
  io.U8At(DvrLiveSection::kOffSaturation + c, v.saturation);
  io.U8At(DvrLiveSection::kOffHue + c, v.hue);
  io.U8At(DvrLiveSection::kOffCovert + c, v.covert);
}

template <class Io, class Values>
void DetectionLiveFields(Io& io, Values& v, std::size_t c) {
  io.U8At(DvrLiveSection::kOffDetect + c, v.detect);
  io.U8At(DvrLiveSection::kOffLS + c, v.ls);
  io.U8At(DvrLiveSection::kOffSS + c, v.ss);
  io.U8At(DvrLiveSection::kOffTS + c, v.ts);
  io.U8At(DvrLiveSection::kOffRE + c, v.re);
  if (io.Seek(DvrLiveSection::kOffArea + DvrLiveSection::kAreaBytes * c)) io.Bytes(v.area.data(), v.area.size());
}

}  // namespace

CameraChannelValues ReadCameraChannel(const std::uint8_t* live, const std::uint8_t* rec, int channel) {
  CameraChannelValues v;
  if (!ChannelInLayout(channel)) return v;
  const auto c = static_cast<std::size_t>(channel);
  if (live) {
    plat::ByteReader r(live, DvrLiveSection::kSize);
    CameraLiveFields(r, v, c);
  }
  if (rec) plat::ByteReader(rec, DvrRecSection::kSize).U8At(DvrRecSection::kOffRecordEnable + c, v.recordEnable);
  return v;
}

void WriteCameraChannel(std::uint8_t* live, std::uint8_t* rec, int channel, const CameraChannelValues& v) {
  if (!ChannelInLayout(channel)) return;
  const auto c = static_cast<std::size_t>(channel);
  if (live) {
    plat::ByteWriter w(live, DvrLiveSection::kSize);
    CameraLiveFields(w, v, c);
  }
  if (rec) plat::ByteWriter(rec, DvrRecSection::kSize).U8At(DvrRecSection::kOffRecordEnable + c, v.recordEnable);
}

DetectionChannelValues ReadDetectionChannel(const std::uint8_t* live, const std::uint8_t* alarm, int channel) {
  DetectionChannelValues v;
  if (!ChannelInLayout(channel)) return v;
  const auto c = static_cast<std::size_t>(channel);
  if (live) {
    plat::ByteReader r(live, DvrLiveSection::kSize);
    DetectionLiveFields(r, v, c);
  }
  if (alarm) plat::ByteReader(alarm, AlarmSection::kSize).U8At(AlarmSection::kOffInputType + c, v.alarmInputType);
  return v;
}

void WriteDetectionChannel(std::uint8_t* live, std::uint8_t* alarm, int channel, const DetectionChannelValues& v) {
  if (!ChannelInLayout(channel)) return;
  const auto c = static_cast<std::size_t>(channel);
  if (live) {
    plat::ByteWriter w(live, DvrLiveSection::kSize);
    DetectionLiveFields(w, v, c);
  }
  if (alarm) plat::ByteWriter(alarm, AlarmSection::kSize).U8At(AlarmSection::kOffInputType + c, v.alarmInputType);
}

// --------------------------------------------------------------- video-setting block
std::uint16_t VideoSettingLayout::RateCode(const std::uint8_t* block) {
  std::uint16_t code = 0;
  plat::ByteReader(block, kSize).U16At(kOffRate, code);
  return code;
}

int VideoSettingLayout::QualityChoice(int q) {
  if (q >= 1 && q < 50) return 0;
  if (q >= 50 && q < 70) return 1;
  if (q >= 70 && q <= 100) return 2;
  return -1;
}

int VideoSettingLayout::BitRateChoice(int r) {
  int choice = 0;
  for (int i = 1; i < 7; ++i) {
    if (r >= kRateCodes[i]) choice = i;
  }
  return choice;
}

VideoSettingWrite WriteVideoSetting(std::uint8_t* b, bool pal, const VideoSettingValues& page,
                                    const VideoSettingOpened& opened) {
  using V = VideoSettingLayout;
  VideoSettingWrite out;
  int width = 0, height = 0;
  switch (page.resolution) {
    case 0: width = 704, height = pal ? 576 : 480; break;
    case 1: width = 352, height = pal ? 288 : 240; break;
    case 2: width = 176, height = pal ? 144 : 112; break;
    default: break;
  }
  if (width != 0 && width != opened.frameWidth) {
    // Width: resolution code, width code.
    static const SizeCode kWidths[] = {{176, 4, 11}, {320, 3, 20}, {352, 2, 22}, {640, 1, 40}, {704, 0, 44}, {720, 0, 45}};
    const SizeCode c = FindSizeCode(kWidths, width, {320, 3, 20});
    b[V::kOffResolution] = c.first;
    b[V::kOffWidthCode] = c.second;
    b[V::kOff176Wide] = width == 176 ? 1 : 0;
    out.sizeChanged = true;
  }
  if (height != 0 && height != opened.frameHeight) {
    // Height: field flag, height code.
    static const SizeCode kHeights[] = {{112, 1, 7}, {144, 1, 9}, {240, 1, 15}, {288, 1, 18}, {480, 0, 30}, {576, 0, 36}};
    const SizeCode c = FindSizeCode(kHeights, height, {240, 1, 15});
    b[V::kOffField] = c.first;
    b[V::kOffHeightCode] = c.second;
    out.sizeChanged = true;
  }
  // The snapshot of the rate is the block's rate code as the sheet opened.
  if (page.bitRate >= 0 && page.bitRate < 7 && page.bitRate != V::BitRateChoice(opened.rateCode)) {
    plat::ByteWriter(b, V::kSize).U16At(V::kOffRate, V::kRateCodes[page.bitRate]);
  }
  if (page.videoType == 0 || page.videoType == 1) {
    const int type = page.videoType == 0 ? 0 : 4;
    if (type != opened.videoType) {
      b[V::kOffType] = static_cast<std::uint8_t>(type);
      out.typeChanged = true;
    }
  }
  if (page.quality >= 0 && page.quality < 3 && page.quality != V::QualityChoice(opened.quality)) {
    b[V::kOffQuality] = V::kQualityValues[page.quality];
  }
  return out;
}

}  // namespace sect
