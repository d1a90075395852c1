// Byte layouts of the recorder's configuration sections, read and written field by field.
//
// Each section type keeps the bytes it was decoded from (`raw`); Encode writes those bytes
// back and lays only the fields over them, and a field whose value did not change keeps its
// bytes exactly as they came. So reserved bytes, and every byte the client does not
// interpret, travel back to the recorder untouched. Texts are stored by clearing the whole
// field and copying the characters without a terminator, cut to the field's limit; they are
// read up to the first zero byte or the end of the field. Integers are little-endian; IPv4
// addresses are four bytes, first octet first.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace sect {

// The connected device as the layouts depend on it: its model code and firmware version.
struct Device {
  std::string productId;  // "K40R" ... "K47R"
  std::string firmware;   // four characters

  bool IsDvr() const;          // the K41R family (K41R, K42R, K43R)
  bool IsVideoServer() const;  // K40R, K47R and the K44R family
  bool IsK40R() const;
  // Firmware not older than the threshold (a version of another length counts as not older).
  bool From(const char* threshold) const;
  bool NewPppoeLayout() const;  // DVR from "1052", every other model from "1007"
  bool WritesBitRate() const;   // DVR from "3000"
  bool K40RChannelNames() const;  // K40R from "1010"
};

// Where the part of a sender address beyond its first 15 characters is kept.
enum class MailFromMore {
  None,       // at most 15 characters
  Sntp,       // DVR from "1027": SNTP +8, 28 bytes (27 characters)
  System,     // K44R family and K47R from "1003": SYSTEM +4 to +35 (27 characters)
  SystemK40R  // K40R from "1003": SYSTEM +4 to +19 (16 characters; the title keeps +20 to +35)
};
MailFromMore MailFromMoreOf(const Device& d);

// Text helpers over a fixed field.
std::string ReadText(const std::uint8_t* field, std::size_t width);
// Clears the field and copies at most `limit` (<= width) characters.
void WriteText(std::uint8_t* field, std::size_t width, const std::string& text, std::size_t limit);

using Ip4 = std::array<std::uint8_t, 4>;
// An address as one number, first octet in the high byte (the form the address controls
// hold), and back; "a.b.c.d" of such a number.
std::uint32_t PackIp4(const Ip4& a);
Ip4 UnpackIp4(std::uint32_t packed);
std::string DottedIp4(std::uint32_t packed);

struct InfSection {
  static constexpr std::size_t kSize = 44;
  static constexpr std::size_t kOffCapability = 20, kOffModelName = 24;
  std::array<std::uint8_t, kSize> raw{};
  std::uint32_t capabilityFlags = 0;
  std::string modelName;  // 8 bytes

  static bool Decode(const std::uint8_t* p, std::size_t n, InfSection& out);
  void Encode(std::uint8_t* out) const;
  // A model name beginning with "RVX-507" is rewritten as "RVX-507" and one zero byte;
  // true when the block changed.
  static bool FixRvx507ModelName(std::uint8_t* block);
};

struct IpSection {
  static constexpr std::size_t kSize = 24;
  static constexpr std::size_t kOffIp = 4, kOffMask = 8, kOffGateway = 12, kOffWebPort = 16,
                               kOffIpType = 22, kOffBitRate = 23;
  std::array<std::uint8_t, kSize> raw{};
  Ip4 ipAddress{}, netMask{}, gateway{};
  std::uint16_t webPort = 0;
  std::uint8_t ipType = 0;   // 0 static, 1 PPPoE, 2 DHCP
  std::uint8_t bitRate = 0;  // as stored; BitRateChoice() shows a value above 4 as 4

  static bool Decode(const std::uint8_t* p, std::size_t n, IpSection& out);
  // The bit rate is written only where the device takes it.
  void Encode(std::uint8_t* out, const Device& d) const;
  std::uint8_t BitRateChoice() const { return bitRate > 4 ? 4 : bitRate; }
};

struct SecureSection {
  static constexpr std::size_t kSize = 196, kSlots = 5;
  static constexpr std::size_t kOffMaxUsers = 2, kOffUserName = 8, kOffPassword = 88,
                               kOffLevel = 168, kOffLifeTime = 176, kTextWidth = 16;
  std::array<std::uint8_t, kSize> raw{};
  std::uint8_t maxUsers = 0;
  std::string userName[kSlots];  // empty: a free slot
  std::string password[kSlots];
  std::uint8_t level[kSlots] = {};      // 0, 10, 20, 30
  std::int32_t lifeTime[kSlots] = {};   // minutes, -1 no limit

  static bool Decode(const std::uint8_t* p, std::size_t n, SecureSection& out);
  // A free slot gets its name and password cleared and keeps its level and life time.
  void Encode(std::uint8_t* out) const;
};

struct DnsSection {
  static constexpr std::size_t kSize = 12;
  static constexpr std::size_t kOffAuto = 3, kOffServer = 4;
  std::array<std::uint8_t, kSize> raw{};
  std::uint8_t dnsAuto = 0;
  Ip4 dnsServer{};

  static bool Decode(const std::uint8_t* p, std::size_t n, DnsSection& out);
  // With the automatic DNS server on, the stored server bytes stay as they are.
  void Encode(std::uint8_t* out) const;
};

struct SmtpSection {
  static constexpr std::size_t kSize = 440, kRecipients = 4;
  static constexpr std::size_t kOffVerify = 4, kOffDdnsEnable = 5, kOffServer = 8,
                               kOffMailFrom = 72, kOffProvider = 88, kOffDdnsUser = 104,
                               kOffDdnsPassword = 120, kOffMailTo = 136, kMailToWidth = 48,
                               kOffDomain = 328, kOffSmtpUser = 376, kOffSmtpPassword = 408;
  std::array<std::uint8_t, kSize> raw{};
  std::uint8_t smtpVerify = 0;  // 2: the server needs user name and password
  std::uint8_t ddnsEnable = 0;
  std::string smtpServer;       // 63 characters
  std::string mailFrom;         // the first 15 characters of the sender address
  std::string ddnsProvider;     // 15
  std::string ddnsUser;         // 15
  std::string ddnsPassword;     // 15
  std::string mailTo[kRecipients];  // 47 each; stored from entry 0 without gaps
  std::string ddnsDomain;       // 47
  std::string smtpUser;         // 31
  std::string smtpPassword;     // 31

  static bool Decode(const std::uint8_t* p, std::size_t n, SmtpSection& out);
  void Encode(std::uint8_t* out) const;
  // What the configuration sheet does when it opens: the last bytes of the server, sender,
  // user and password fields become zero so these texts end inside their fields.
  static void TerminateTexts(std::uint8_t* block);
};

struct FtpSection {
  static constexpr std::size_t kSize = 104;
  static constexpr std::size_t kOffServer = 4, kOffUser = 36, kOffPassword = 52,
                               kOffDirectory = 68, kOffPort = 100;
  std::array<std::uint8_t, kSize> raw{};
  std::string server, user, password, directory;  // 31, 15, 15, 31
  std::uint16_t port = 0;

  static bool Decode(const std::uint8_t* p, std::size_t n, FtpSection& out);
  void Encode(std::uint8_t* out) const;
};

struct PppoeSection {
  static constexpr std::size_t kSize = 68;
  // Newer layout: user at +4 and password at +36, 32 bytes each (31 characters).
  // Older layout: user at +36 and password at +52, 16 bytes each (texts cut to 16).
  static constexpr std::size_t kNewOffUser = 4, kNewOffPassword = 36, kNewWidth = 32;
  static constexpr std::size_t kOldOffUser = 36, kOldOffPassword = 52, kOldWidth = 16;
  std::array<std::uint8_t, kSize> raw{};
  bool newLayout = true;
  std::string user, password;

  static bool Decode(const std::uint8_t* p, std::size_t n, bool newLayout, PppoeSection& out);
  void Encode(std::uint8_t* out) const;
};

struct SystemSection {
  static constexpr std::size_t kSize = 36;
  static constexpr std::size_t kOffMailFromMore = 4, kOffDeviceName = 20, kDeviceNameLimit = 8;
  std::array<std::uint8_t, kSize> raw{};
  std::string deviceName;  // the title of the K41R family and K40R, at most 8 characters

  static bool Decode(const std::uint8_t* p, std::size_t n, SystemSection& out);
  void Encode(std::uint8_t* out) const;
};

// One entry of the 75 time zones: the caption's string id and its offset, the minutes with
// the sign of the offset.
struct TimeZone {
  unsigned stringId;
  int hours;
  int minutes;
};
constexpr int kTimeZoneCount = 75;
// Entry i (0..74); false for an index outside the table.
bool TimeZoneEntry(int index, TimeZone& out);

struct SntpSection {
  static constexpr std::size_t kSize = 36;
  static constexpr std::size_t kOffZoneHour = 2, kOffZoneMinute = 3, kOffZoneIndex = 5,
                               kOffTimeMode = 6, kOffServer = 8, kServerWidth = 28;
  std::array<std::uint8_t, kSize> raw{};
  std::int8_t zoneHour = 0, zoneMinute = 0;
  std::uint8_t zoneIndex = 0;
  std::uint8_t timeMode = 0;  // 1 from the time server, 0 by the user
  std::string server;         // 27 characters; on DVRs from "1027" the field is the sender's

  static bool Decode(const std::uint8_t* p, std::size_t n, SntpSection& out);
  // A zone index that changed also writes the zone's hours and minutes from the table. The
  // server field is written only where it is not the sender address continuation.
  void Encode(std::uint8_t* out, const Device& d) const;
};

struct OnlineUser {
  std::string user;
  Ip4 ip{};
  std::uint8_t level = 0, channel = 0, resolution = 0, quality = 0;
};
struct OnlineSection {
  static constexpr std::size_t kSize = 240, kRecords = 10, kRecordSize = 24;
  std::array<std::uint8_t, kSize> raw{};
  OnlineUser users[kRecords];  // a record with an empty user is unused

  // Takes at most 240 bytes; a shorter reply leaves the rest zero.
  static bool Decode(const std::uint8_t* p, std::size_t n, OnlineSection& out);
};

// Sections the client keeps and sends back but never reads: IMG (12) and DVROSD (20).
constexpr std::size_t kImgSize = 12;
constexpr std::size_t kDvrOsdSize = 20;

struct Rs485Section {
  static constexpr std::size_t kSize = 124, kChannels = 16;
  static constexpr std::size_t kOffDeviceId = 12, kOffKind = 28, kOffProtocol = 44,
                               kOffBaud = 60, kOffChannelName1 = 44, kOffChannelName2 = 52,
                               kChannelNameWidth = 8;
  std::array<std::uint8_t, kSize> raw{};
  std::uint8_t deviceId[kChannels] = {};
  std::uint8_t kind[kChannels] = {};      // 0 CAMERA, 1 PTZ
  std::uint8_t protocol[kChannels] = {};  // 0 NORMAL, 1 P-D (not on K40R from "1010")
  std::uint32_t baud[kChannels] = {};
  std::string channelName1, channelName2;  // K40R from "1010": at most 3 characters each

  static bool Decode(const std::uint8_t* p, std::size_t n, const Device& d, Rs485Section& out);
  // K40R from "1010": both name fields are cleared and a name is stored only when it has
  // fewer than 4 characters; the protocol bytes are not written there.
  void Encode(std::uint8_t* out, const Device& d) const;
  // The device type of channel entry c for the main window's device table: 18 (PTZ PELCO D)
  // when kind and protocol are both 1, 11 (PTZ SLAVE) when only the kind is 1, else 0.
  std::uint8_t DeviceType(std::size_t c) const;
};

struct AlarmSection {
  static constexpr std::size_t kSize = 24, kChannels = 16;
  static constexpr std::size_t kOffPostNumber = 2, kOffMethod = 3, kOffImageSize = 5,
                               kOffDuration = 6, kOffInputType = 8, kOffVideoSource = 9;
  std::array<std::uint8_t, kSize> raw{};
  std::uint8_t postNumber = 0;    // 1..10
  std::uint8_t alarmMethod = 0;   // bit 0 e-mail, bit 1 FTP
  std::uint8_t imageSize = 0;     // 1 VGA, 2 320*240, 3 160*120
  std::uint16_t duration = 0;     // seconds
  std::uint8_t inputType[kChannels] = {};  // DVR: 0, 1, 2 (OFF)
  std::uint8_t videoSource = 0;   // K40R: bit i assigns source i+1 to channel 2

  static bool Decode(const std::uint8_t* p, std::size_t n, const Device& d, AlarmSection& out);
  // DVRs write the input types; video servers the video source byte only on K40R.
  void Encode(std::uint8_t* out, const Device& d) const;

  // Durations offered by the alarm page, by family. A stored value outside the list shows as
  // choice 0; a choice outside the list stores 3 (video servers) or 5 (DVR).
  static int DurationChoice(const Device& d, std::uint16_t seconds);
  static std::uint16_t DurationOfChoice(const Device& d, int choice);
};

struct DvrLiveSection {
  static constexpr std::size_t kSize = 772, kChannels = 16, kTitleWidth = 6, kAreaBytes = 24;
  static constexpr std::size_t kOffBrightness = 4, kOffContrast = 20, kOffHue = 36,
                               kOffSaturation = 52, kOffCovert = 84, kOffTitle = 116,
                               kOffDetect = 308, kOffLS = 324, kOffSS = 340, kOffTS = 356,
                               kOffRE = 372, kOffArea = 388;
  std::array<std::uint8_t, kSize> raw{};
  std::uint8_t brightness[kChannels] = {}, contrast[kChannels] = {}, hue[kChannels] = {},
               saturation[kChannels] = {}, covert[kChannels] = {};
  std::string title[kChannels];  // up to 6 characters
  std::uint8_t detect[kChannels] = {}, ls[kChannels] = {}, ss[kChannels] = {},
               ts[kChannels] = {}, re[kChannels] = {};
  std::uint8_t area[kChannels][kAreaBytes] = {};

  static bool Decode(const std::uint8_t* p, std::size_t n, DvrLiveSection& out);
  void Encode(std::uint8_t* out) const;
  bool DetectOn(std::size_t c) const { return detect[c] == 1; }  // other values show as OFF

  // Detection area mask: 16 columns by 12 rows; row r is the big-endian word of bytes 2r and
  // 2r + 1, bit c of it is column c.
  static bool AreaCell(const std::uint8_t* mask, int row, int column);
  static void SetAreaCell(std::uint8_t* mask, int row, int column, bool on);
};

struct DvrRecSection {
  static constexpr std::size_t kSize = 132, kChannels = 16, kSlots = 7;
  static constexpr std::size_t kOffRecordEnable = 20, kOffTimerDay = 87, kOffTimerStart = 94,
                               kOffTimerEnd = 108;
  std::array<std::uint8_t, kSize> raw{};
  std::uint8_t recordEnable[kChannels] = {};
  std::uint8_t timerDay[kSlots] = {};       // 0 OFF .. 10 DAILY
  std::uint16_t timerStart[kSlots] = {};    // hour * 256 + minute
  std::uint16_t timerEnd[kSlots] = {};

  static bool Decode(const std::uint8_t* p, std::size_t n, DvrRecSection& out);
  void Encode(std::uint8_t* out) const;
  static std::uint16_t TimeWord(int hour, int minute) { return std::uint16_t(hour * 256 + minute); }
};

struct PeriSection {
  static constexpr std::size_t kSize = 16, kDevices = 2;
  static constexpr std::size_t kOffModel = 2, kOffBaud = 4, kOffId = 12;
  std::array<std::uint8_t, kSize> raw{};
  std::uint8_t model[kDevices] = {};  // device-type index: 0..9 or 25
  std::uint32_t baud[kDevices] = {};
  std::uint8_t id[kDevices] = {};

  static bool Decode(const std::uint8_t* p, std::size_t n, PeriSection& out);
  void Encode(std::uint8_t* out) const;
};

// The seven baud rates in the order the pages list them. A choice outside 0..6 stores 2400;
// a stored rate outside the list shows as choice 0.
constexpr std::uint32_t kBaudRates[7] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
int BaudChoice(std::uint32_t rate);
std::uint32_t BaudOfChoice(int choice);

// The sender address over SMTP (first 15 characters) and its continuation in SNTP or SYSTEM.
// Reading: the continuation is added only when the first part has exactly 15 characters and
// the continuation is not empty.
std::string ReadMailFrom(const Device& d, const std::uint8_t* smtp, const std::uint8_t* system,
                         const std::uint8_t* sntp);
// Writing: which blocks changed.
struct MailFromChanged {
  bool smtp = false, system = false, sntp = false;
};
MailFromChanged WriteMailFrom(const Device& d, const std::string& address, std::uint8_t* smtp,
                              std::uint8_t* system, std::uint8_t* sntp);

}  // namespace sect
