// The configuration sheet's section writers: the values a page holds (and the values it held
// when the sheet opened) in, the section's bytes out. Each writer lays only what the operator
// changed over the section as the recorder sent it, through the field layouts of
// session/Sections.h, and tells what changed, so the sheet sends only those sections. A
// section pointer addresses the whole section (its kSize bytes). No locks and no requests
// here: the sheet holds the section lock around a writer and sends a copy afterwards.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "session/Sections.h"

namespace sect {

// ---- SECURE: the account page ----
struct AccountSlotValues {
  bool inUse = false;
  std::uint8_t level = 0;
  std::int32_t lifeTime = 0;
  std::string user, password;
};
struct AccountValues {
  bool slotsModified = false;  // the operator changed the accounts: every slot is written
  AccountSlotValues accounts[SecureSection::kSlots];
  unsigned maxUsers = 0;
};
// True when the section changed (an unchanged section keeps its bytes).
bool WriteAccountPage(std::uint8_t* secure, const AccountValues& page);

// ---- SMTP (and the sender's continuation in SYSTEM or SNTP): the mail page ----
struct MailValues {
  std::string mailFrom, smtpServer, smtpPassword, smtpUser;
  std::uint8_t smtpVerify = 0;
  // The recipients, already in their stored form; written only when changed.
  bool recipientsChanged = false;
  std::vector<std::string> recipients;
};
// Compares the page with `opened` (its texts and verify byte) and writes what changed; the
// answer names the blocks to send.
MailFromChanged WriteMailPage(const Device& d, const MailValues& page, const MailValues& opened, std::uint8_t* smtp,
                              std::uint8_t* system, std::uint8_t* sntp);
constexpr std::size_t kMailToLimit = SmtpSection::kMailToWidth - 1;  // characters of one recipient

// ---- FTP: the FTP page ----
struct FtpValues {
  std::string server, user, password, directory;
  unsigned port = 0;
};
// A changed text that does not fit its field is left out.
bool WriteFtpPage(std::uint8_t* ftp, const FtpValues& page, const FtpValues& opened);

// ---- DNS and the DDNS part of SMTP: the DNS page ----
struct DnsPageValues {
  std::uint32_t dnsServer = 0;  // packed, first octet in the high byte
  bool autoDns = false;
  bool ddnsEnable = false;
  std::string ddnsUser, ddnsPassword, ddnsDomain;
  int provider = -1;            // index in the provider list; -1 a stored name the list lacks
  bool providerPicked = false;  // the operator picked a provider (page only)
};
// Which provider name a changed DDNS block gets: the chosen one, or the customer variant's own.
enum class DdnsProviderRule { Chosen, Variant1, Variant2 };
struct DnsPageWrite {
  bool dns = false, smtp = false;
};
DnsPageWrite WriteDnsPage(std::uint8_t* dns, std::uint8_t* smtp, const DnsPageValues& page,
                          const DnsPageValues& opened, DdnsProviderRule rule);
// The provider names in the list's order.
constexpr const char* kDdnsProviders[] = {"custom", "dyndns", "statdns", "quembrite"};

// ---- PPPOE and IP: the network page ----
struct PppoeValues {
  std::string user, password;
};
bool WritePppoeAccount(std::uint8_t* pppoe, bool newLayout, const PppoeValues& page, const PppoeValues& opened);

struct IpPageValues {
  std::uint32_t ipAddress = 0, gateway = 0, netMask = 0;  // packed
  int webPort = 0;
  std::uint8_t ipType = 0;
  int bitRate = 0;
};
struct IpPageWrite {
  bool refused = false;         // a changed web port outside 1..65535: nothing is to be sent
  bool ipChanged = false;       // the section is to be sent
  bool networkChanged = false;  // the address, gateway, mask, web port or address type changed
  bool serverChanged = false;   // the client follows the recorder to `newServer`
  bool portChanged = false;     // ... and to `newPort`
  std::string newServer;
  std::uint16_t newPort = 0;
};
// `ddnsDomain` is the DDNS domain stored in SMTP, where the client finds a recorder that
// changed to PPPoE or DHCP.
IpPageWrite WriteIpPage(std::uint8_t* ip, const Device& d, const IpPageValues& page, const IpPageValues& opened,
                        const std::string& ddnsDomain);

// ---- ALARM: the alarm page ----
struct AlarmPageValues {
  std::uint8_t alarmMethod = 0, imageSize = 0;
  int postNumber = -1;  // list choice: number - 1; -1 no choice
  std::uint8_t videoSource = 0;
  int duration = -1;  // list choice; -1 no choice
};
bool WriteAlarmPage(std::uint8_t* alarm, const Device& d, const AlarmPageValues& page, const AlarmPageValues& opened);

// ---- RS485: the device page and the General page's channel names ----
struct Rs485DeviceValues {
  std::uint8_t kind[Rs485Section::kChannels] = {};
  std::uint8_t deviceId[Rs485Section::kChannels] = {};
  std::uint8_t protocol[Rs485Section::kChannels] = {};
  std::uint32_t baud[Rs485Section::kChannels] = {};
};
void WriteRs485Devices(std::uint8_t* rs485, const Device& d, const Rs485DeviceValues& page);

// ---- PERI: the peripheral page ----
struct PeriDeviceValues {
  int id = 0, model = -1, baud = -1;  // model and baud: list choices, -1 no choice
};
struct PeriPageValues {
  PeriDeviceValues device[PeriSection::kDevices];
};
struct PeriPageWrite {
  bool changed = false;        // the section is to be sent
  bool tableChanged = false;   // an id or a model changed: the device table is rebuilt
};
PeriPageWrite WritePeriPage(std::uint8_t* peri, const PeriPageValues& page, const PeriPageValues& opened);

// ---- SYSTEM and RS485: the General page ----
struct GeneralPageValues {
  std::string title, channelName1, channelName2;
};
struct GeneralPageWrite {
  bool system = false, rs485 = false;
};
// The title goes out only when SYSTEM was fetched from this recorder.
GeneralPageWrite WriteGeneralPage(std::uint8_t* system, std::uint8_t* rs485, const Device& d,
                                  const GeneralPageValues& page, const GeneralPageValues& opened, bool systemFetched);

// ---- SNTP: the time-server page ----
struct SntpPageValues {
  std::uint8_t timeMode = 0;
  int zoneIndex = 0;
  std::uint8_t serverMode = 0;  // 0 a named server, 1 automatic (no name stored)
  std::string server;
};
// The fields of a choice; a zone outside the table (-1: unchanged) leaves the zone bytes.
// True when a byte changed.
bool WriteSntpChoice(std::uint8_t* sntp, std::uint8_t timeMode, int zone, bool serverChanged, std::uint8_t serverMode,
                     const std::string& server);
// APPLY: only what differs from `opened` is written.
bool WriteSntpPage(std::uint8_t* sntp, const SntpPageValues& page, const SntpPageValues& opened);
// After "Sync Time": the whole choice, the server compared with what the section holds.
bool WriteSntpSync(std::uint8_t* sntp, const SntpPageValues& page);
SntpPageValues ReadSntpPage(const std::uint8_t* sntp);

// ---- DVRREC: the timer-record page ----
struct TimerSlots {
  std::uint8_t day[DvrRecSection::kSlots] = {};
  std::uint16_t start[DvrRecSection::kSlots] = {};  // hour * 256 + minute
  std::uint16_t end[DvrRecSection::kSlots] = {};
  bool operator==(const TimerSlots&) const = default;
};
TimerSlots ReadTimerSlots(const std::uint8_t* dvrrec);
void WriteTimerSlots(std::uint8_t* dvrrec, const TimerSlots& timer);
// A slot time of an hour and a minute, each cut to its byte (an unset picker's -1 stores 0xFF).
std::uint16_t TimerWord(int hour, int minute);
int TimerWordHour(std::uint16_t word);
int TimerWordMinute(std::uint16_t word);

// ---- DVRLIVE and DVRREC: the camera page, one channel at a time ----
struct CameraChannelValues {
  // The title field's bytes as stored: up to six characters, no terminator when all six are
  // used. Kept as bytes so an unchanged title goes back exactly as it came.
  std::array<std::uint8_t, DvrLiveSection::kTitleWidth> title{};
  std::uint8_t brightness = 0, contrast = 0, saturation = 0, hue = 0, covert = 0;
  std::uint8_t recordEnable = 0;  // DVRREC
  bool operator==(const CameraChannelValues&) const = default;
};
// Channel `channel` (0-based) of both sections. A channel outside the layout, or a null
// block, answers the defaults for the fields of that block.
CameraChannelValues ReadCameraChannel(const std::uint8_t* live, const std::uint8_t* rec, int channel);
// Lays the channel's fields over both sections, the rest of each section untouched. A
// channel outside the layout writes nothing; a null block is left out.
void WriteCameraChannel(std::uint8_t* live, std::uint8_t* rec, int channel, const CameraChannelValues& values);

// ---- DVRLIVE and ALARM: the detection page, one channel at a time ----
struct DetectionChannelValues {
  std::uint8_t detect = 0, ls = 0, ss = 0, ts = 0, re = 0;
  std::array<std::uint8_t, DvrLiveSection::kAreaBytes> area{};  // the detection area mask
  std::uint8_t alarmInputType = 0;  // ALARM, as stored (the page shows a value above 2 as OFF)
  bool operator==(const DetectionChannelValues&) const = default;
};
// As for the camera page: a channel outside the layout or a null block gives the defaults.
DetectionChannelValues ReadDetectionChannel(const std::uint8_t* live, const std::uint8_t* alarm, int channel);
// A null `alarm` leaves the input type out (the page sends ALARM only once a type changed).
void WriteDetectionChannel(std::uint8_t* live, std::uint8_t* alarm, int channel, const DetectionChannelValues& values);

// ---- the client's video-setting block: the video-setting page ----
struct VideoSettingLayout {
  static constexpr std::size_t kSize = 16;
  static constexpr std::size_t kOffType = 0;        // 0 JPEG, 4 MPEG4
  static constexpr std::size_t kOffQuality = 1;     // 1..100
  static constexpr std::size_t kOffRate = 2;        // 16-bit rate code
  static constexpr std::size_t kOffResolution = 4;  // resolution code
  static constexpr std::size_t kOffWidthCode = 5;
  static constexpr std::size_t kOff176Wide = 6;
  static constexpr std::size_t kOffField = 7;
  static constexpr std::size_t kOffHeightCode = 8;
  static constexpr std::uint16_t kRateCodes[7] = {0x11, 0x15, 0x22, 0x33, 0x44, 0x66, 0x99};
  static constexpr std::uint8_t kQualityValues[3] = {30, 50, 70};

  static std::uint16_t RateCode(const std::uint8_t* block);
  static int QualityChoice(int quality);  // 0 Low, 1 Middle, 2 High; -1 outside 1..100
  static int BitRateChoice(int rateCode);
};
struct VideoSettingValues {
  int resolution = -1;  // 0: 704 wide, 1: 352, 2: 176
  int videoType = -1;   // 0 JPEG, 1 MPEG4
  int quality = -1;     // 0..2
  int bitRate = -1;     // 0..6
};
// The block as the sheet opened.
struct VideoSettingOpened {
  std::uint16_t frameWidth = 0, frameHeight = 0;
  int videoType = 0;  // the block's type byte
  int quality = 0;    // the block's quality byte
  int rateCode = 0;
};
struct VideoSettingWrite {
  bool sizeChanged = false, typeChanged = false;
};
VideoSettingWrite WriteVideoSetting(std::uint8_t* block, bool pal, const VideoSettingValues& page,
                                    const VideoSettingOpened& opened);

}  // namespace sect
