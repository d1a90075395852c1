// Configuration sections: sizes, field offsets per firmware variant, bytes the client does
// not interpret kept as they came, and the variant-dependent sender address.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "session/Sections.h"
#include "session/SysCfg.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using sect::Device;

const Device kDvrOld{"K41R", "1000"};
const Device kDvr1027{"K42R", "1027"};
const Device kDvr1052{"K43R", "1052"};
const Device kDvr3000{"K41R", "3000"};
const Device kK40ROld{"K40R", "1002"};
const Device kK40R1003{"K40R", "1003"};
const Device kK40R1010{"K40R", "1010"};
const Device kK47R{"K47R", "1003"};
const Device kK44ROld{"K44R", "0002"};
const Device kAllDevices[] = {kDvrOld, kDvr1027, kDvr1052, kDvr3000, kK40ROld, kK40R1003, kK40R1010, kK47R, kK44ROld};

Bytes Pattern(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = std::uint8_t(rng());
  return b;
}

// Decode + Encode of one section, for any device.
using RoundTrip = std::function<bool(const Bytes& in, Bytes& out, const Device& d)>;

template <class S>
RoundTrip Plain() {
  return [](const Bytes& in, Bytes& out, const Device&) {
    S s;
    if (!S::Decode(in.data(), in.size(), s)) return false;
    out.assign(S::kSize, 0);
    s.Encode(out.data());
    return true;
  };
}
template <class S>
RoundTrip WithDevice() {
  return [](const Bytes& in, Bytes& out, const Device& d) {
    S s;
    if (!S::Decode(in.data(), in.size(), s)) return false;
    out.assign(S::kSize, 0);
    s.Encode(out.data(), d);
    return true;
  };
}
template <class S>
RoundTrip DecodeWithDevice() {
  return [](const Bytes& in, Bytes& out, const Device& d) {
    S s;
    if (!S::Decode(in.data(), in.size(), d, s)) return false;
    out.assign(S::kSize, 0);
    s.Encode(out.data(), d);
    return true;
  };
}
RoundTrip Pppoe(bool isNew) {
  return [isNew](const Bytes& in, Bytes& out, const Device&) {
    sect::PppoeSection s;
    if (!sect::PppoeSection::Decode(in.data(), in.size(), isNew, s)) return false;
    out.assign(s.kSize, 0);
    s.Encode(out.data());
    return true;
  };
}

struct SectionCase {
  const char* name;
  std::size_t size;
  SysCfgOption option;
  RoundTrip roundTrip;
};

const SectionCase kSections[] = {
    {"INF", 44, SYSCFG_INF, Plain<sect::InfSection>()},
    {"IP", 24, SYSCFG_IP, WithDevice<sect::IpSection>()},
    {"SECURE", 196, SYSCFG_SECURE, Plain<sect::SecureSection>()},
    {"DNS", 12, SYSCFG_DNS, Plain<sect::DnsSection>()},
    {"SMTP", 440, SYSCFG_SMTP, Plain<sect::SmtpSection>()},
    {"FTP", 104, SYSCFG_FTP, Plain<sect::FtpSection>()},
    {"PPPOE new", 68, SYSCFG_PPPOE, Pppoe(true)},
    {"PPPOE old", 68, SYSCFG_PPPOE, Pppoe(false)},
    {"SYSTEM", 36, SYSCFG_SYSTEM, Plain<sect::SystemSection>()},
    {"SNTP", 36, SYSCFG_SNTP, WithDevice<sect::SntpSection>()},
    {"RS485", 124, SYSCFG_RS485, DecodeWithDevice<sect::Rs485Section>()},
    {"ALARM", 24, SYSCFG_ALARM, DecodeWithDevice<sect::AlarmSection>()},
    {"DVRLIVE", 772, SYSCFG_DVRLIVE, Plain<sect::DvrLiveSection>()},
    {"DVRREC", 132, SYSCFG_DVRREC, Plain<sect::DvrRecSection>()},
    {"PERI", 16, SYSCFG_PERI, Plain<sect::PeriSection>()},
};

TEST(Sections, SizesAgreeWithTheTransportAndWrongSizesAreRefused) {
  EXPECT_EQ(sect::kImgSize, SysCfgSectionSizes[SYSCFG_IMG]);
  EXPECT_EQ(sect::kDvrOsdSize, SysCfgSectionSizes[SYSCFG_DVROSD]);
  EXPECT_EQ(sect::OnlineSection::kSize, SysCfgSectionSizes[SYSCFG_ONLINE]);
  for (const SectionCase& c : kSections) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.size, SysCfgSectionSizes[c.option]);
    Bytes out;
    for (std::size_t n : {c.size - 1, c.size + 1, std::size_t(0)}) {
      const Bytes in(n, 0);
      EXPECT_FALSE(c.roundTrip(in, out, kDvrOld)) << n;
    }
    EXPECT_TRUE(c.roundTrip(Bytes(c.size, 0), out, kDvrOld));
  }
}

TEST(Sections, UnchangedSectionsGoBackByteForByteOnEveryDevice) {
  for (const SectionCase& c : kSections)
    for (const Device& d : kAllDevices)
      for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(std::string(c.name) + " " + d.productId + " " + d.firmware);
        const Bytes in = Pattern(c.size, seed);
        Bytes out;
        ASSERT_TRUE(c.roundTrip(in, out, d));
        EXPECT_EQ(out, in);
      }
}

// Changes one decoded value and reports which bytes differ from the original block.
template <class S, class Edit>
std::vector<std::size_t> ChangedBytes(const Bytes& in, Edit edit) {
  S s;
  EXPECT_TRUE(S::Decode(in.data(), in.size(), s));
  edit(s);
  Bytes out(S::kSize);
  s.Encode(out.data());
  std::vector<std::size_t> diff;
  for (std::size_t i = 0; i < S::kSize; ++i)
    if (out[i] != in[i]) diff.push_back(i);
  return diff;
}

bool AllWithin(const std::vector<std::size_t>& diff, std::size_t from, std::size_t to) {
  for (std::size_t i : diff)
    if (i < from || i >= to) return false;
  return !diff.empty();
}

TEST(Sections, FieldOffsetsOfNetworkSections) {
  const Bytes ip = Pattern(24, 7);
  sect::IpSection ipS;
  ASSERT_TRUE(sect::IpSection::Decode(ip.data(), ip.size(), ipS));
  EXPECT_EQ(ipS.ipAddress, (sect::Ip4{ip[4], ip[5], ip[6], ip[7]}));
  EXPECT_EQ(ipS.netMask[0], ip[8]);
  EXPECT_EQ(ipS.gateway[3], ip[15]);
  EXPECT_EQ(ipS.webPort, ip[16] | (ip[17] << 8));
  EXPECT_EQ(ipS.ipType, ip[22]);
  EXPECT_EQ(ipS.bitRate, ip[23]);

  // Writing: the address goes first octet first, the port little-endian.
  Bytes zero(24, 0);
  sect::IpSection w;
  ASSERT_TRUE(sect::IpSection::Decode(zero.data(), 24, w));
  w.ipAddress = {192, 168, 0, 5};
  w.webPort = 8080;
  w.ipType = 2;
  w.bitRate = 3;
  Bytes out(24);
  w.Encode(out.data(), kDvrOld);
  EXPECT_EQ(Bytes(out.begin() + 4, out.begin() + 8), (Bytes{192, 168, 0, 5}));
  EXPECT_EQ(out[16], 0x90);
  EXPECT_EQ(out[17], 0x1F);
  EXPECT_EQ(out[22], 2);
  EXPECT_EQ(out[23], 0);  // the bit rate is written only by DVRs from "3000"
  w.Encode(out.data(), kDvr3000);
  EXPECT_EQ(out[23], 3);
  w.Encode(out.data(), kK47R);
  EXPECT_EQ(out[23], 0);
  w.bitRate = 9;
  EXPECT_EQ(w.BitRateChoice(), 4);

  const Bytes dns = Pattern(12, 8);
  EXPECT_TRUE(AllWithin(ChangedBytes<sect::DnsSection>(dns, [](auto& s) { s.dnsAuto = 0; s.dnsServer = {8, 8, 4, 4}; }), 3, 8));
  // With the automatic server on, the stored server bytes stay as they are.
  Bytes dnsAuto = dns;
  dnsAuto[3] = 1;
  EXPECT_TRUE(ChangedBytes<sect::DnsSection>(dnsAuto, [](auto& s) { s.dnsServer = {1, 1, 1, 1}; }).empty());

  struct {
    const char* field;
    std::size_t from, to;
    std::function<void(sect::FtpSection&)> edit;
  } ftp[] = {
      {"server", 4, 36, [](auto& s) { s.server = "ftp.example"; }},
      {"user", 36, 52, [](auto& s) { s.user = "u"; }},
      {"password", 52, 68, [](auto& s) { s.password = "pw"; }},
      {"directory", 68, 100, [](auto& s) { s.directory = "/up"; }},
      {"port", 100, 102, [](auto& s) { s.port = 2121; }},
  };
  const Bytes ftpIn = Pattern(104, 9);
  for (const auto& f : ftp) EXPECT_TRUE(AllWithin(ChangedBytes<sect::FtpSection>(ftpIn, f.edit), f.from, f.to)) << f.field;
}

TEST(Sections, TextsAreClearedThenCopiedAndBoundedByTheirField) {
  Bytes ftp(104, 0xEE);
  sect::FtpSection s;
  ASSERT_TRUE(sect::FtpSection::Decode(ftp.data(), ftp.size(), s));
  EXPECT_EQ(s.user, std::string(16, '\xEE'));  // a full field without terminator reads to its end
  s.server = std::string(40, 'a');  // longer than the field allows
  s.user = "ab";
  Bytes out(104);
  s.Encode(out.data());
  EXPECT_EQ(Bytes(out.begin() + 4, out.begin() + 35), Bytes(31, 'a'));
  EXPECT_EQ(out[35], 0);
  EXPECT_EQ(out[36], 'a');
  EXPECT_EQ(out[37], 'b');
  EXPECT_EQ(Bytes(out.begin() + 38, out.begin() + 52), Bytes(14, 0));
  EXPECT_EQ(out[52], 0xEE);  // the password was not edited
}

TEST(Sections, PppoeLayoutFollowsTheFirmwareGate) {
  struct {
    Device d;
    bool isNew;
  } cases[] = {{kDvrOld, false}, {{"K41R", "1051"}, false}, {kDvr1052, true}, {kK40ROld, false},
               {{"K47R", "1007"}, true}, {{"K44R", "1006"}, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.d.NewPppoeLayout(), c.isNew) << c.d.productId << c.d.firmware;
    // The transport files the section into the block of the same layout.
    EXPECT_EQ(UsesNewPppoeBlock(c.d.productId, c.d.firmware), c.isNew) << c.d.productId << c.d.firmware;
  }

  Bytes block(68, 0);
  for (bool isNew : {true, false}) {
    sect::PppoeSection s;
    ASSERT_TRUE(sect::PppoeSection::Decode(block.data(), 68, isNew, s));
    s.user = std::string(31, 'u');
    s.password = "pw";
    Bytes out(68);
    s.Encode(out.data());
    if (isNew) {
      EXPECT_EQ(out[4], 'u');
      EXPECT_EQ(out[34], 'u');
      EXPECT_EQ(out[35], 0);
      EXPECT_EQ(out[36], 'p');
    } else {
      // The older layout has 16-byte fields: a longer name is cut to the field.
      EXPECT_EQ(Bytes(out.begin() + 36, out.begin() + 52), Bytes(16, 'u'));
      EXPECT_EQ(out[52], 'p');
      EXPECT_EQ(Bytes(out.begin(), out.begin() + 36), Bytes(36, 0));
    }
  }
}

TEST(Sections, AccountsFreeSlotsAndLayout) {
  Bytes in = Pattern(196, 11);
  std::memcpy(&in[8 + 16], "admin\0", 6);
  sect::SecureSection s;
  ASSERT_TRUE(sect::SecureSection::Decode(in.data(), 196, s));
  EXPECT_EQ(s.maxUsers, in[2]);
  EXPECT_EQ(s.userName[1], "admin");
  EXPECT_EQ(s.level[4], in[172]);
  EXPECT_EQ(std::uint32_t(s.lifeTime[2]), std::uint32_t(in[184] | in[185] << 8 | in[186] << 16 | in[187] << 24));

  s.userName[1].clear();  // slot 1 becomes free
  s.userName[0] = "guest";
  s.level[0] = 0;
  s.lifeTime[0] = -1;
  Bytes out(196);
  s.Encode(out.data());
  EXPECT_EQ(Bytes(out.begin() + 24, out.begin() + 40), Bytes(16, 0));    // name cleared
  EXPECT_EQ(Bytes(out.begin() + 104, out.begin() + 120), Bytes(16, 0));  // password cleared
  EXPECT_EQ(out[169], in[169]);                                           // level kept
  EXPECT_EQ(Bytes(out.begin() + 180, out.begin() + 184), Bytes(in.begin() + 180, in.begin() + 184));
  EXPECT_EQ(out[168], 0);
  EXPECT_EQ(Bytes(out.begin() + 176, out.begin() + 180), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(out.begin() + 173, out.begin() + 176), Bytes(in.begin() + 173, in.begin() + 176));  // reserved
}

TEST(Sections, MailSettingsRecipientsAndTerminatedTexts) {
  Bytes in(440, 0);
  std::memcpy(&in[136 + 48], "B <b@x>", 7);  // entry 1 used, entry 0 empty
  sect::SmtpSection s;
  ASSERT_TRUE(sect::SmtpSection::Decode(in.data(), 440, s));
  EXPECT_EQ(s.mailTo[1], "B <b@x>");
  s.mailTo[3] = "D <d@x>";
  Bytes out(440);
  s.Encode(out.data());
  // The recipients are rewritten from entry 0 on without gaps.
  EXPECT_EQ(sect::ReadText(&out[136], 48), "B <b@x>");
  EXPECT_EQ(sect::ReadText(&out[184], 48), "D <d@x>");
  EXPECT_EQ(Bytes(out.begin() + 232, out.begin() + 328), Bytes(96, 0));

  Bytes full(440, 'z');
  sect::SmtpSection::TerminateTexts(full.data());
  for (std::size_t last : {8u + 63, 72u + 15, 376u + 31, 408u + 31}) EXPECT_EQ(full[last], 0) << last;
  EXPECT_EQ(full[88 + 15], 'z');  // the DDNS texts are not touched

  struct {
    const char* field;
    std::size_t from, to;
    std::function<void(sect::SmtpSection&)> edit;
  } fields[] = {
      {"verify", 4, 5, [](auto& x) { x.smtpVerify = 2; }},
      {"ddns", 5, 6, [](auto& x) { x.ddnsEnable = 1; }},
      {"server", 8, 72, [](auto& x) { x.smtpServer = "smtp"; }},
      {"provider", 88, 104, [](auto& x) { x.ddnsProvider = "dyndns"; }},
      {"ddns user", 104, 120, [](auto& x) { x.ddnsUser = "u"; }},
      {"ddns password", 120, 136, [](auto& x) { x.ddnsPassword = "p"; }},
      {"domain", 328, 376, [](auto& x) { x.ddnsDomain = "cam.example"; }},
      {"smtp user", 376, 408, [](auto& x) { x.smtpUser = "u"; }},
      {"smtp password", 408, 440, [](auto& x) { x.smtpPassword = "p"; }},
  };
  const Bytes pat = Pattern(440, 12);
  for (const auto& f : fields) EXPECT_TRUE(AllWithin(ChangedBytes<sect::SmtpSection>(pat, f.edit), f.from, f.to)) << f.field;
}

struct MailBlocks {
  Bytes smtp = Bytes(440, 0), system = Bytes(36, 0), sntp = Bytes(36, 0);
};

TEST(Sections, SenderAddressContinuationPerVariant) {
  const std::string a42 = "abcdefghijklmno" "PQRSTUVWXYZ0123456789!@#$%^";  // 15 + 27
  ASSERT_EQ(a42.size(), 42u);
  {  // DVR from "1027": characters 16 on in SNTP +8, its 28th byte zero
    MailBlocks b;
    b.sntp.assign(36, 0x77);
    auto ch = sect::WriteMailFrom(kDvr1027, a42, b.smtp.data(), b.system.data(), b.sntp.data());
    EXPECT_TRUE(ch.smtp && ch.sntp && !ch.system);
    EXPECT_EQ(sect::ReadText(&b.smtp[72], 16), a42.substr(0, 15));
    EXPECT_EQ(std::string(b.sntp.begin() + 8, b.sntp.begin() + 35), a42.substr(15));
    EXPECT_EQ(b.sntp[35], 0);
    EXPECT_EQ(b.sntp[7], 0x77);
    EXPECT_EQ(sect::ReadMailFrom(kDvr1027, b.smtp.data(), b.system.data(), b.sntp.data()), a42);
    EXPECT_EQ(b.system, Bytes(36, 0));
  }
  {  // K47R from "1003": SYSTEM +4 to +30, +31 to +35 zero
    MailBlocks b;
    b.system.assign(36, 0x55);
    auto ch = sect::WriteMailFrom(kK47R, a42, b.smtp.data(), b.system.data(), b.sntp.data());
    EXPECT_TRUE(ch.smtp && ch.system && !ch.sntp);
    EXPECT_EQ(std::string(b.system.begin() + 4, b.system.begin() + 31), a42.substr(15));
    EXPECT_EQ(Bytes(b.system.begin() + 31, b.system.end()), Bytes(5, 0));
    EXPECT_EQ(Bytes(b.system.begin(), b.system.begin() + 4), Bytes(4, 0x55));
    EXPECT_EQ(sect::ReadMailFrom(kK47R, b.smtp.data(), b.system.data(), b.sntp.data()), a42);
  }
  {  // K40R from "1003": the continuation stays clear of the title
    MailBlocks b;
    sect::SystemSection sys;
    ASSERT_TRUE(sect::SystemSection::Decode(b.system.data(), 36, sys));
    sys.deviceName = "LOBBY";
    sys.Encode(b.system.data());
    sect::WriteMailFrom(kK40R1003, a42, b.smtp.data(), b.system.data(), b.sntp.data());
    EXPECT_EQ(sect::ReadMailFrom(kK40R1003, b.smtp.data(), b.system.data(), b.sntp.data()), a42.substr(0, 31));
    ASSERT_TRUE(sect::SystemSection::Decode(b.system.data(), 36, sys));
    EXPECT_EQ(sys.deviceName, "LOBBY");
  }
  {  // a 15-character address clears the continuation
    MailBlocks b;
    b.sntp.assign(36, 'q');
    sect::WriteMailFrom(kDvr1027, a42.substr(0, 15), b.smtp.data(), b.system.data(), b.sntp.data());
    EXPECT_EQ(Bytes(b.sntp.begin() + 8, b.sntp.end()), Bytes(28, 0));
  }
  {  // older firmware keeps 15 characters and touches nothing else
    MailBlocks b;
    auto ch = sect::WriteMailFrom(kDvrOld, a42, b.smtp.data(), b.system.data(), b.sntp.data());
    EXPECT_TRUE(ch.smtp && !ch.sntp && !ch.system);
    EXPECT_EQ(sect::ReadMailFrom(kDvrOld, b.smtp.data(), b.system.data(), b.sntp.data()), a42.substr(0, 15));
    EXPECT_EQ(b.sntp, Bytes(36, 0));
  }
  {  // a first part shorter than 15 characters is read without the continuation
    MailBlocks b;
    std::memcpy(&b.smtp[72], "short@x", 7);
    std::memcpy(&b.sntp[8], "more", 4);
    EXPECT_EQ(sect::ReadMailFrom(kDvr1027, b.smtp.data(), b.system.data(), b.sntp.data()), "short@x");
  }
}

TEST(Sections, TimeZonesAndTheTimeServerField) {
  struct {
    int index, hours, minutes;
  } zones[] = {{0, -12, 0}, {18, -3, -30}, {49, 5, 45}, {74, 13, 0}};
  for (const auto& z : zones) {
    sect::TimeZone tz;
    ASSERT_TRUE(sect::TimeZoneEntry(z.index, tz));
    EXPECT_EQ(tz.stringId, 8448u + unsigned(z.index));
    EXPECT_EQ(tz.hours, z.hours) << z.index;
    EXPECT_EQ(tz.minutes, z.minutes) << z.index;
  }
  sect::TimeZone tz;
  EXPECT_FALSE(sect::TimeZoneEntry(75, tz));
  int greenwich = 0;
  for (int i = 0; i < sect::kTimeZoneCount; ++i) {
    ASSERT_TRUE(sect::TimeZoneEntry(i, tz));
    if (tz.hours == 0 && tz.minutes == 0) ++greenwich;
  }
  EXPECT_EQ(greenwich, 2);  // the two "(GMT)" captions

  Bytes in(36, 0);
  sect::SntpSection s;
  ASSERT_TRUE(sect::SntpSection::Decode(in.data(), 36, s));
  s.zoneIndex = 18;
  s.timeMode = 1;
  s.server = "pool.ntp.example";
  Bytes out(36);
  s.Encode(out.data(), kK47R);
  EXPECT_EQ(out[2], std::uint8_t(-3));
  EXPECT_EQ(out[3], std::uint8_t(-30));
  EXPECT_EQ(out[5], 18);
  EXPECT_EQ(out[6], 1);
  EXPECT_EQ(sect::ReadText(&out[8], 28), "pool.ntp.example");
  // On DVRs from "1027" the field belongs to the sender address.
  s.Encode(out.data(), kDvr1027);
  EXPECT_EQ(Bytes(out.begin() + 8, out.end()), Bytes(28, 0));
}

TEST(Sections, InfCapabilityAndModelName) {
  Bytes in = Pattern(44, 13);
  std::memcpy(&in[24], "RVX-5070", 8);
  sect::InfSection s;
  ASSERT_TRUE(sect::InfSection::Decode(in.data(), 44, s));
  EXPECT_EQ(s.capabilityFlags, std::uint32_t(in[20] | in[21] << 8 | in[22] << 16 | in[23] << 24));
  EXPECT_EQ(s.modelName, "RVX-5070");
  Bytes fixed = in;
  EXPECT_TRUE(sect::InfSection::FixRvx507ModelName(fixed.data()));
  EXPECT_EQ(Bytes(fixed.begin() + 24, fixed.begin() + 32), (Bytes{'R', 'V', 'X', '-', '5', '0', '7', 0}));
  EXPECT_FALSE(sect::InfSection::FixRvx507ModelName(fixed.data()));
  fixed[24] = 'Q';
  EXPECT_FALSE(sect::InfSection::FixRvx507ModelName(fixed.data()));
  for (std::size_t i = 0; i < 44; ++i)
    if (i < 24 || i >= 32) {
      EXPECT_EQ(fixed[i], in[i]) << i;
    }
}

TEST(Sections, Rs485PerChannelAndK40RNames) {
  Bytes in = Pattern(124, 14);
  sect::Rs485Section s;
  ASSERT_TRUE(sect::Rs485Section::Decode(in.data(), 124, kDvrOld, s));
  EXPECT_EQ(s.deviceId[15], in[27]);
  EXPECT_EQ(s.kind[0], in[28]);
  EXPECT_EQ(s.protocol[3], in[47]);
  EXPECT_EQ(s.baud[1], std::uint32_t(in[64] | in[65] << 8 | in[66] << 16 | in[67] << 24));
  struct {
    std::uint8_t kind, protocol, type;
  } types[] = {{1, 1, 18}, {1, 0, 11}, {0, 1, 0}, {0, 0, 0}, {2, 1, 0}};
  for (const auto& t : types) {
    s.kind[2] = t.kind;
    s.protocol[2] = t.protocol;
    EXPECT_EQ(s.DeviceType(2), t.type);
  }

  // K40R from "1010": names of fewer than 4 characters; a longer name leaves its field empty.
  ASSERT_TRUE(sect::Rs485Section::Decode(in.data(), 124, kK40R1010, s));
  s.channelName1 = "CH1";
  s.channelName2 = "DOOR";
  Bytes out(124);
  s.Encode(out.data(), kK40R1010);
  EXPECT_EQ(Bytes(out.begin() + 44, out.begin() + 52), (Bytes{'C', 'H', '1', 0, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(out.begin() + 52, out.begin() + 60), Bytes(8, 0));
  for (std::size_t i = 0; i < 124; ++i)
    if (i < 44 || i >= 60) {
      EXPECT_EQ(out[i], in[i]) << i;
    }
}

TEST(Sections, AlarmFormsAndDurations) {
  Bytes in = Pattern(24, 15);
  sect::AlarmSection s;
  ASSERT_TRUE(sect::AlarmSection::Decode(in.data(), 24, kDvrOld, s));
  s.inputType[1] = 2;
  s.videoSource = 0x0C;
  Bytes out(24);
  s.Encode(out.data(), kDvrOld);
  EXPECT_EQ(out[9], 2);  // on a DVR byte 9 is channel 2's input type
  ASSERT_TRUE(sect::AlarmSection::Decode(in.data(), 24, kK40R1010, s));
  s.videoSource = 0x0C;
  s.duration = 1800;
  s.Encode(out.data(), kK40R1010);
  EXPECT_EQ(out[9], 0x0C);
  EXPECT_EQ(out[6], 0x08);
  EXPECT_EQ(out[7], 0x07);
  for (std::size_t i = 8; i < 24; ++i)
    if (i != 9) {
      EXPECT_EQ(out[i], in[i]) << i;
    }
  ASSERT_TRUE(sect::AlarmSection::Decode(in.data(), 24, kK47R, s));
  s.videoSource = 0xFF;
  s.Encode(out.data(), kK47R);
  EXPECT_EQ(out[9], in[9]);  // reserved on other video servers

  struct {
    Device d;
    std::uint16_t seconds;
    int choice;
  } durations[] = {{kK47R, 3, 0}, {kK47R, 65535, 5}, {kK47R, 5, 0}, {kDvrOld, 40, 3}, {kDvrOld, 3, 0}};
  for (const auto& c : durations) EXPECT_EQ(sect::AlarmSection::DurationChoice(c.d, c.seconds), c.choice);
  EXPECT_EQ(sect::AlarmSection::DurationOfChoice(kK47R, 4), 1800);
  EXPECT_EQ(sect::AlarmSection::DurationOfChoice(kK47R, 6), 3);
  EXPECT_EQ(sect::AlarmSection::DurationOfChoice(kDvrOld, 4), 5);
  EXPECT_EQ(sect::AlarmSection::DurationOfChoice(kDvrOld, -1), 5);
}

TEST(Sections, CameraDetectionAreaAndRecording) {
  Bytes in = Pattern(772, 16);
  struct {
    const char* field;
    std::size_t from, to;
    std::function<void(sect::DvrLiveSection&)> edit;
  } fields[] = {
      {"brightness", 4, 20, [](auto& s) { s.brightness[15] ^= 1; }},
      {"contrast", 20, 36, [](auto& s) { s.contrast[0] ^= 1; }},
      {"hue", 36, 52, [](auto& s) { s.hue[1] ^= 1; }},
      {"saturation", 52, 68, [](auto& s) { s.saturation[2] ^= 1; }},
      {"covert", 84, 100, [](auto& s) { s.covert[3] ^= 1; }},
      {"title", 116, 212, [](auto& s) { s.title[15] = "CAM16"; }},
      {"detect", 308, 324, [](auto& s) { s.detect[4] ^= 1; }},
      {"LS", 324, 340, [](auto& s) { s.ls[5] ^= 1; }},
      {"SS", 340, 356, [](auto& s) { s.ss[6] ^= 1; }},
      {"TS", 356, 372, [](auto& s) { s.ts[7] ^= 1; }},
      {"RE", 372, 388, [](auto& s) { s.re[8] ^= 1; }},
      {"area", 388, 772, [](auto& s) { s.area[15][23] ^= 1; }},
  };
  for (const auto& f : fields) EXPECT_TRUE(AllWithin(ChangedBytes<sect::DvrLiveSection>(in, f.edit), f.from, f.to)) << f.field;

  sect::DvrLiveSection s;
  in[308] = 7;
  ASSERT_TRUE(sect::DvrLiveSection::Decode(in.data(), 772, s));
  EXPECT_FALSE(s.DetectOn(0));  // other values show as OFF and stay stored
  EXPECT_EQ(s.detect[0], 7);

  struct {
    int row, column;
    std::size_t byte;
    std::uint8_t bit;
  } cells[] = {{0, 0, 1, 0x01}, {0, 8, 0, 0x01}, {11, 15, 22, 0x80}, {3, 7, 7, 0x80}};
  for (const auto& c : cells) {
    std::uint8_t mask[24] = {};
    sect::DvrLiveSection::SetAreaCell(mask, c.row, c.column, true);
    for (std::size_t i = 0; i < 24; ++i) EXPECT_EQ(mask[i], i == c.byte ? c.bit : 0) << c.row << "," << c.column;
    EXPECT_TRUE(sect::DvrLiveSection::AreaCell(mask, c.row, c.column));
    sect::DvrLiveSection::SetAreaCell(mask, c.row, c.column, false);
    EXPECT_FALSE(sect::DvrLiveSection::AreaCell(mask, c.row, c.column));
  }

  Bytes rec = Pattern(132, 17);
  sect::DvrRecSection r;
  ASSERT_TRUE(sect::DvrRecSection::Decode(rec.data(), 132, r));
  EXPECT_EQ(r.recordEnable[0], rec[20]);
  EXPECT_EQ(r.timerDay[6], rec[93]);
  r.timerStart[0] = sect::DvrRecSection::TimeWord(23, 59);
  r.timerEnd[6] = sect::DvrRecSection::TimeWord(0, 1);
  Bytes out(132);
  r.Encode(out.data());
  EXPECT_EQ(out[94], 0x3B);
  EXPECT_EQ(out[95], 0x17);
  EXPECT_EQ(out[120], 0x01);
  EXPECT_EQ(out[121], 0x00);
  for (std::size_t i : {0u, 19u, 36u, 86u, 122u, 131u}) EXPECT_EQ(out[i], rec[i]) << i;
}

TEST(Sections, PeripheralsOnlineUsersAndBaudRates) {
  Bytes in = Pattern(16, 18);
  sect::PeriSection p;
  ASSERT_TRUE(sect::PeriSection::Decode(in.data(), 16, p));
  p.model[1] = 25;
  p.baud[0] = sect::BaudOfChoice(6);
  p.id[1] = 9;
  Bytes out(16);
  p.Encode(out.data());
  EXPECT_EQ(out[3], 25);
  EXPECT_EQ(Bytes(out.begin() + 4, out.begin() + 8), (Bytes{0x00, 0xC2, 0x01, 0x00}));
  EXPECT_EQ(out[13], 9);
  EXPECT_EQ(Bytes(out.begin() + 14, out.end()), Bytes(in.begin() + 14, in.end()));
  EXPECT_EQ(sect::BaudChoice(9600), 2);
  EXPECT_EQ(sect::BaudChoice(1200), 0);
  EXPECT_EQ(sect::BaudOfChoice(7), 2400u);

  Bytes online(50, 0);
  std::memcpy(&online[24], "viewer", 6);
  online[24 + 16] = 10;
  online[24 + 20] = 20;
  online[24 + 22] = 1;
  sect::OnlineSection o;
  ASSERT_TRUE(sect::OnlineSection::Decode(online.data(), online.size(), o));
  EXPECT_TRUE(o.users[0].user.empty());
  EXPECT_EQ(o.users[1].user, "viewer");
  EXPECT_EQ(o.users[1].ip[0], 10);
  EXPECT_EQ(o.users[1].level, 20);
  EXPECT_EQ(o.users[1].resolution, 1);
  EXPECT_EQ(o.raw[60], 0);  // beyond the reply: zero
  Bytes tooLong(300, 'x');
  ASSERT_TRUE(sect::OnlineSection::Decode(tooLong.data(), tooLong.size(), o));
  EXPECT_EQ(o.users[9].user, std::string(16, 'x'));
}

// The reply to ALL, split by the transport, gives blocks these layouts read correctly.
TEST(Sections, AllReplyScattersIntoReadableBlocksForBothDeviceKinds) {
  struct {
    bool videoServer;
    std::size_t fixed;  // ONLINE follows
  } kinds[] = {{true, 1136}, {false, 2044}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.videoServer ? "video server" : "DVR");
    Bytes reply = Pattern(k.fixed + 48, 19);
    // A recognisable FTP port and, behind the fixed part, one online user.
    std::memcpy(&reply[716 + 100], "\x15\x00", 2);
    std::memcpy(&reply[k.fixed], "op\0", 3);
    std::vector<Bytes> blocks(SYSCFG_OPTION_COUNT);
    SysCfgBlocks out;
    for (int o = 0; o < SYSCFG_ALL; ++o) {
      blocks[o].assign(SysCfgSectionSizes[o], 0);
      out.section[o] = blocks[o].data();
    }
    ASSERT_TRUE(SplitSysCfgAll(reply.data(), reply.size(), k.videoServer, out));
    sect::FtpSection ftp;
    ASSERT_TRUE(sect::FtpSection::Decode(blocks[SYSCFG_FTP].data(), 104, ftp));
    EXPECT_EQ(ftp.port, 21);
    sect::OnlineSection online;
    ASSERT_TRUE(sect::OnlineSection::Decode(blocks[SYSCFG_ONLINE].data(), 240, online));
    EXPECT_EQ(online.users[0].user, "op");
    if (k.videoServer) {
      sect::PeriSection peri;
      ASSERT_TRUE(sect::PeriSection::Decode(blocks[SYSCFG_PERI].data(), 16, peri));
      EXPECT_EQ(peri.model[0], reply[1120 + 2]);
    } else {
      sect::DvrLiveSection live;
      ASSERT_TRUE(sect::DvrLiveSection::Decode(blocks[SYSCFG_DVRLIVE].data(), 772, live));
      EXPECT_EQ(live.brightness[0], reply[1120 + 4]);
      sect::DvrRecSection rec;
      ASSERT_TRUE(sect::DvrRecSection::Decode(blocks[SYSCFG_DVRREC].data(), 132, rec));
      EXPECT_EQ(rec.recordEnable[0], reply[1120 + 772 + 20 + 20]);
    }
  }
}

}  // namespace
