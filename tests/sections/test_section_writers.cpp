// The configuration sheet's section writers: page values in, section bytes out. Each case
// starts from a section full of bytes the recorder might have sent and spells out the bytes
// it expects back, so a field at a wrong offset, a byte order turned round or a byte written
// that the page did not change all show.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "session/SectionWriters.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using sect::Device;

const Device kWriterDvr{"K41R", "1100"};
const Device kWriterDvr3000{"K41R", "3000"};
const Device kWriterK40R{"K40R", "1010"};
const Device kWriterK47R{"K47R", "1003"};

// A section as received: every byte set, none zero, so a cleared or moved byte shows.
Bytes ReceivedSection(std::size_t size) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(0x40 + (i * 7) % 0xBF);
  return b;
}

void PutBytes(Bytes& b, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
  std::size_t i = offset;
  for (std::uint8_t v : bytes) b.at(i++) = v;
}

// A text field as the writers store it: cleared, then the characters.
void PutTextField(Bytes& b, std::size_t offset, std::size_t width, const std::string& text) {
  std::memset(b.data() + offset, 0, width);
  std::memcpy(b.data() + offset, text.data(), text.size());
}

TEST(PackedIp4, OctetsFirstHighAndDotted) {
  const sect::Ip4 a{192, 168, 1, 20};
  EXPECT_EQ(sect::PackIp4(a), 0xC0A80114u);
  EXPECT_EQ(sect::UnpackIp4(0xC0A80114u), a);
  EXPECT_EQ(sect::DottedIp4(0xC0A80114u), "192.168.1.20");
  EXPECT_EQ(sect::DottedIp4(0xFF000001u), "255.0.0.1");
  EXPECT_EQ(sect::DottedIp4(0), "0.0.0.0");
}

TEST(AccountWriter, SlotsAndMaximum) {
  const Bytes received = ReceivedSection(sect::SecureSection::kSize);
  Bytes block = received;
  sect::AccountValues v;
  v.slotsModified = true;
  v.maxUsers = 3;
  v.accounts[0] = {true, 20, -1, "admin", "pw"};
  // Slots 1..4 not in use: the received names go, their levels and life times stay.
  ASSERT_TRUE(sect::WriteAccountPage(block.data(), v));
  Bytes expected = received;
  PutBytes(expected, 2, {3});
  PutTextField(expected, 8, 16, "admin");
  PutTextField(expected, 88, 16, "pw");
  PutBytes(expected, 168, {20});
  PutBytes(expected, 176, {0xFF, 0xFF, 0xFF, 0xFF});
  for (std::size_t n = 1; n < 5; ++n) {
    PutTextField(expected, 8 + 16 * n, 16, "");
    PutTextField(expected, 88 + 16 * n, 16, "");
  }
  EXPECT_EQ(block, expected);

  // Nothing modified and the same maximum: no change at all.
  sect::AccountValues same;
  same.maxUsers = 3;
  EXPECT_FALSE(sect::WriteAccountPage(block.data(), same));
  EXPECT_EQ(block, expected);
}

TEST(FtpWriter, PortLittleEndianAndTextsThatFit) {
  const Bytes received = ReceivedSection(sect::FtpSection::kSize);
  const sect::FtpValues opened{"old", "u", "p", "d", 21};
  Bytes block = received;
  sect::FtpValues page = opened;
  page.port = 8021;
  page.user = "operator";
  page.server = std::string(32, 's');  // one character past the field's limit: left out
  ASSERT_TRUE(sect::WriteFtpPage(block.data(), page, opened));
  Bytes expected = received;
  PutBytes(expected, 100, {0x55, 0x1F});
  PutTextField(expected, 36, 16, "operator");
  EXPECT_EQ(block, expected);

  Bytes untouched = received;
  EXPECT_FALSE(sect::WriteFtpPage(untouched.data(), opened, opened));
  EXPECT_EQ(untouched, received);
}

TEST(DnsWriter, ServerBytesAndProviderRules) {
  const Bytes dnsReceived = ReceivedSection(sect::DnsSection::kSize);
  const Bytes smtpReceived = ReceivedSection(sect::SmtpSection::kSize);
  sect::DnsPageValues opened;
  opened.dnsServer = 0x08080808;
  opened.provider = 1;
  {
    Bytes dns = dnsReceived, smtp = smtpReceived;
    sect::DnsPageValues page = opened;
    page.dnsServer = 0xC0A80101;
    const sect::DnsPageWrite w = sect::WriteDnsPage(dns.data(), smtp.data(), page, opened, sect::DdnsProviderRule::Chosen);
    EXPECT_TRUE(w.dns);
    EXPECT_FALSE(w.smtp);
    Bytes expected = dnsReceived;
    PutBytes(expected, 3, {0});
    PutBytes(expected, 4, {0xC0, 0xA8, 0x01, 0x01});
    EXPECT_EQ(dns, expected);
    EXPECT_EQ(smtp, smtpReceived);
  }
  // The provider field after a DDNS change, by the stored provider, the operator's pick and
  // the customer variant.
  struct Case {
    const char* name;
    int openedProvider;
    bool picked;
    int provider;
    sect::DdnsProviderRule rule;
    const char* stored;  // null: the field keeps its received bytes
  } cases[] = {
      {"listed, changed", 1, false, 2, sect::DdnsProviderRule::Chosen, "statdns"},
      {"unknown, left alone", -1, false, 0, sect::DdnsProviderRule::Chosen, nullptr},
      {"unknown, picked", -1, true, 3, sect::DdnsProviderRule::Chosen, "quembrite"},
      {"outside the list", 1, false, 7, sect::DdnsProviderRule::Chosen, ""},
      {"variant 1", 1, false, 0, sect::DdnsProviderRule::Variant1, "quembrite"},
      {"variant 2", 1, false, 0, sect::DdnsProviderRule::Variant2, "corbelmanifold"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes dns = dnsReceived, smtp = smtpReceived;
    sect::DnsPageValues was = opened;
    was.provider = c.openedProvider;
    sect::DnsPageValues page = was;
    page.ddnsEnable = true;
    page.ddnsUser = "me";
    page.ddnsDomain = "cam.example";
    page.provider = c.provider;
    page.providerPicked = c.picked;
    const sect::DnsPageWrite w = sect::WriteDnsPage(dns.data(), smtp.data(), page, was, c.rule);
    EXPECT_FALSE(w.dns);
    EXPECT_TRUE(w.smtp);
    Bytes expected = smtpReceived;
    PutBytes(expected, 5, {1});
    PutTextField(expected, 104, 16, "me");
    PutTextField(expected, 120, 16, "");
    PutTextField(expected, 328, 48, "cam.example");
    if (c.stored) PutTextField(expected, 88, 16, c.stored);
    EXPECT_EQ(smtp, expected);
    EXPECT_EQ(dns, dnsReceived);
  }
}

TEST(IpWriter, AddressPortTypeAndBitRate) {
  const Bytes received = ReceivedSection(sect::IpSection::kSize);
  sect::IpPageValues opened;
  opened.ipAddress = 0xC0A80001;
  opened.gateway = 0xC0A800FE;
  opened.netMask = 0xFFFFFF00;
  opened.webPort = 80;
  opened.bitRate = 2;
  {
    Bytes block = received;
    sect::IpPageValues page = opened;
    page.ipAddress = 0x0A000007;
    page.webPort = 8080;
    const sect::IpPageWrite w = sect::WriteIpPage(block.data(), kWriterK47R, page, opened, "");
    EXPECT_TRUE(w.ipChanged && w.networkChanged && w.serverChanged && w.portChanged);
    EXPECT_FALSE(w.refused);
    EXPECT_EQ(w.newServer, "10.0.0.7");
    EXPECT_EQ(w.newPort, 8080);
    Bytes expected = received;
    PutBytes(expected, 4, {10, 0, 0, 7});
    PutBytes(expected, 16, {0x90, 0x1F});
    EXPECT_EQ(block, expected);
  }
  {
    // A web port outside 1..65535 refuses the page.
    Bytes block = received;
    sect::IpPageValues page = opened;
    page.webPort = 70000;
    EXPECT_TRUE(sect::WriteIpPage(block.data(), kWriterK47R, page, opened, "").refused);
  }
  {
    // To PPPoE: the client follows the DDNS domain; back to static: the stored address.
    Bytes block = received;
    sect::IpPageValues page = opened;
    page.ipType = 1;
    sect::IpPageWrite w = sect::WriteIpPage(block.data(), kWriterK47R, page, opened, "cam.example");
    EXPECT_TRUE(w.serverChanged);
    EXPECT_EQ(w.newServer, "cam.example");
    EXPECT_EQ(block[22], 1);
    w = sect::WriteIpPage(block.data(), kWriterK47R, page, opened, "");
    EXPECT_FALSE(w.serverChanged);
    EXPECT_TRUE(w.networkChanged);
    page.ipType = 0;
    sect::IpPageValues wasPppoe = opened;
    wasPppoe.ipType = 1;
    w = sect::WriteIpPage(block.data(), kWriterK47R, page, wasPppoe, "");
    EXPECT_EQ(w.newServer, sect::DottedIp4(sect::PackIp4({block[4], block[5], block[6], block[7]})));
  }
  {
    // A DVR from "3000" sends its IP section every time, with a changed bit rate in byte 23.
    Bytes block = received;
    sect::IpPageValues page = opened;
    sect::IpPageWrite w = sect::WriteIpPage(block.data(), kWriterDvr3000, page, opened, "");
    EXPECT_TRUE(w.ipChanged);
    EXPECT_FALSE(w.networkChanged);
    EXPECT_EQ(block, received);
    page.bitRate = 4;
    w = sect::WriteIpPage(block.data(), kWriterDvr3000, page, opened, "");
    Bytes expected = received;
    PutBytes(expected, 23, {4});
    EXPECT_EQ(block, expected);
    EXPECT_FALSE(sect::WriteIpPage(block.data(), kWriterDvr, page, opened, "").ipChanged);
  }
}

TEST(PppoeWriter, BothLayouts) {
  const Bytes received = ReceivedSection(sect::PppoeSection::kSize);
  const sect::PppoeValues opened{"old", "secret"};
  Bytes block = received;
  ASSERT_TRUE(sect::WritePppoeAccount(block.data(), true, {"new", "secret"}, opened));
  Bytes expected = received;
  PutTextField(expected, 4, 32, "new");
  EXPECT_EQ(block, expected);
  block = received;
  ASSERT_TRUE(sect::WritePppoeAccount(block.data(), false, {"old", std::string(20, 'p')}, opened));
  expected = received;
  PutTextField(expected, 52, 16, std::string(15, 'p'));
  EXPECT_EQ(block, expected);
  EXPECT_FALSE(sect::WritePppoeAccount(block.data(), false, opened, opened));
}

TEST(AlarmWriter, ChoicesAgainstTheSnapshot) {
  const Bytes received = ReceivedSection(sect::AlarmSection::kSize);
  const sect::AlarmPageValues opened{1, 2, 0, 0, 0};
  Bytes block = received;
  sect::AlarmPageValues page = opened;
  page.postNumber = 4;
  page.duration = 3;       // video servers: 60 s
  page.videoSource = 2;    // stored on K40R only
  ASSERT_TRUE(sect::WriteAlarmPage(block.data(), kWriterK47R, page, opened));
  Bytes expected = received;
  PutBytes(expected, 2, {5});
  PutBytes(expected, 6, {60, 0});
  EXPECT_EQ(block, expected);

  // No choice made in the lists: nothing changes.
  block = received;
  page = opened;
  page.postNumber = -1;
  page.duration = -1;
  EXPECT_FALSE(sect::WriteAlarmPage(block.data(), kWriterK40R, page, opened));
  EXPECT_EQ(block, received);
}

TEST(PeriWriter, IdsAndModelsRebuildTheTableBaudDoesNot) {
  const Bytes received = ReceivedSection(sect::PeriSection::kSize);
  const sect::PeriPageValues opened{{{1, 0, 0}, {2, 0, 0}}};
  Bytes block = received;
  sect::PeriPageValues page = opened;
  page.device[1].baud = 2;  // 9600
  sect::PeriPageWrite w = sect::WritePeriPage(block.data(), page, opened);
  EXPECT_TRUE(w.changed);
  EXPECT_FALSE(w.tableChanged);
  Bytes expected = received;
  PutBytes(expected, 8, {0x80, 0x25, 0, 0});
  EXPECT_EQ(block, expected);

  page = opened;
  page.device[0].id = 7;
  page.device[1].model = 10;  // device type 25
  w = sect::WritePeriPage(block.data(), page, opened);
  EXPECT_TRUE(w.changed && w.tableChanged);
  PutBytes(expected, 12, {7});
  PutBytes(expected, 3, {25});
  EXPECT_EQ(block, expected);

  page = opened;
  page.device[0].id = 300;  // refused
  EXPECT_FALSE(sect::WritePeriPage(block.data(), page, opened).changed);
}

TEST(GeneralWriter, TitleOnlyWhenFetchedNamesOnK40R) {
  const Bytes sysReceived = ReceivedSection(sect::SystemSection::kSize);
  const Bytes rsReceived = ReceivedSection(sect::Rs485Section::kSize);
  const sect::GeneralPageValues opened{"DVR", "A", "B"};
  const sect::GeneralPageValues page{"GATE", "C1", "B"};
  Bytes sys = sysReceived, rs = rsReceived;
  sect::GeneralPageWrite w = sect::WriteGeneralPage(sys.data(), rs.data(), kWriterK40R, page, opened, false);
  EXPECT_FALSE(w.system);
  EXPECT_TRUE(w.rs485);
  EXPECT_EQ(sys, sysReceived);
  w = sect::WriteGeneralPage(sys.data(), rs.data(), kWriterDvr, page, opened, true);
  EXPECT_TRUE(w.system);
  EXPECT_FALSE(w.rs485);
  Bytes expected = sysReceived;
  PutTextField(expected, 20, 16, "GATE");
  EXPECT_EQ(sys, expected);
}

TEST(SntpWriter, ServerModeAndZone) {
  const Bytes received = ReceivedSection(sect::SntpSection::kSize);
  const sect::SntpPageValues opened = sect::ReadSntpPage(received.data());
  EXPECT_EQ(opened.timeMode, received[6]);
  EXPECT_EQ(opened.zoneIndex, received[5]);
  EXPECT_EQ(opened.serverMode, 0);  // a name is stored

  Bytes block = received;
  EXPECT_FALSE(sect::WriteSntpPage(block.data(), opened, opened));
  EXPECT_EQ(block, received);

  // Automatic: the name goes; a time mode the operator changed is written.
  sect::SntpPageValues page = opened;
  page.serverMode = 1;
  page.timeMode = static_cast<std::uint8_t>(opened.timeMode ^ 1);
  ASSERT_TRUE(sect::WriteSntpPage(block.data(), page, opened));
  Bytes expected = received;
  PutTextField(expected, 8, 28, "");
  PutBytes(expected, 6, {page.timeMode});
  EXPECT_EQ(block, expected);

  // After Sync Time the whole choice counts, the server against what the section holds.
  page.serverMode = 0;
  page.server = "pool.example";
  page.zoneIndex = 3;
  ASSERT_TRUE(sect::WriteSntpSync(block.data(), page));
  EXPECT_EQ(sect::ReadText(block.data() + 8, 28), "pool.example");
  EXPECT_EQ(block[5], 3);
  EXPECT_FALSE(sect::WriteSntpSync(block.data(), page));
}

TEST(TimerWriter, SlotWordsLittleEndian) {
  const Bytes received = ReceivedSection(sect::DvrRecSection::kSize);
  sect::TimerSlots timer;
  timer.day[0] = 10;
  timer.start[0] = sect::TimerWord(8, 30);
  timer.end[0] = sect::TimerWord(17, 5);
  timer.day[6] = 1;
  timer.end[6] = sect::TimerWord(23, 59);
  Bytes block = received;
  sect::WriteTimerSlots(block.data(), timer);
  Bytes expected = received;
  PutBytes(expected, 87, {10, 0, 0, 0, 0, 0, 1});
  PutBytes(expected, 94, {30, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  PutBytes(expected, 108, {5, 17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 59, 23});
  EXPECT_EQ(block, expected);
  EXPECT_EQ(sect::ReadTimerSlots(block.data()), timer);

  EXPECT_EQ(sect::TimerWord(8, 30), 0x081E);
  EXPECT_EQ(sect::TimerWord(-1, -1), 0xFFFF);  // an unset picker
  EXPECT_EQ(sect::TimerWordHour(0x171E), 23);
  EXPECT_EQ(sect::TimerWordMinute(0x171E), 30);
}

TEST(VideoSettingWriter, SizeCodesRateAndType) {
  using V = sect::VideoSettingLayout;
  const Bytes received(V::kSize, 0);
  const sect::VideoSettingOpened opened{704, 480, 0, 50, 0x11};
  Bytes block = received;
  const sect::VideoSettingValues page{1, 1, 2, 2};  // 352 wide, MPEG4, high, 1M
  const sect::VideoSettingWrite w = sect::WriteVideoSetting(block.data(), true, page, opened);
  EXPECT_TRUE(w.sizeChanged);
  EXPECT_TRUE(w.typeChanged);
  EXPECT_EQ(block, (Bytes{4, 70, 0x22, 0, 2, 22, 0, 1, 18, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(V::RateCode(block.data()), 0x22);
  EXPECT_EQ(V::BitRateChoice(0x22), 2);
  EXPECT_EQ(V::QualityChoice(70), 2);

  // The same choices as the block holds: nothing written, nothing to restart.
  Bytes same = received;
  const sect::VideoSettingWrite none =
      sect::WriteVideoSetting(same.data(), false, {0, 0, 1, 0}, {704, 480, 0, 50, 0x11});
  EXPECT_FALSE(none.sizeChanged || none.typeChanged);
  EXPECT_EQ(same, received);
}

TEST(MailWriter, RecipientsAndSenderContinuation) {
  const Bytes smtpReceived = ReceivedSection(sect::SmtpSection::kSize);
  const Bytes sysReceived = ReceivedSection(sect::SystemSection::kSize);
  const Bytes sntpReceived = ReceivedSection(sect::SntpSection::kSize);
  sect::MailValues opened;
  opened.mailFrom = "cam@example.com";
  Bytes smtp = smtpReceived, sys = sysReceived, sntp = sntpReceived;
  sect::MailValues page = opened;
  page.smtpVerify = 2;
  page.recipientsChanged = true;
  page.recipients = {"a@example.com", std::string(60, 'r'), "c", "d", "e"};
  sect::MailFromChanged marked = sect::WriteMailPage(kWriterK47R, page, opened, smtp.data(), sys.data(), sntp.data());
  EXPECT_TRUE(marked.smtp);
  EXPECT_FALSE(marked.system || marked.sntp);
  Bytes expected = smtpReceived;
  PutBytes(expected, 4, {2});
  std::memset(expected.data() + 136, 0, 4 * 48);
  PutTextField(expected, 136, 48, "a@example.com");
  PutTextField(expected, 184, 48, std::string(47, 'r'));
  PutTextField(expected, 232, 48, "c");
  PutTextField(expected, 280, 48, "d");
  EXPECT_EQ(smtp, expected);

  // A sender past 15 characters continues in SYSTEM on a K47R from "1003".
  page = opened;
  page.mailFrom = "camera.gate@example.com";
  marked = sect::WriteMailPage(kWriterK47R, page, opened, smtp.data(), sys.data(), sntp.data());
  EXPECT_TRUE(marked.smtp && marked.system);
  EXPECT_EQ(sect::ReadMailFrom(kWriterK47R, smtp.data(), sys.data(), sntp.data()), "camera.gate@example.com");
}

TEST(Rs485Writer, ChannelDevices) {
  const Bytes received = ReceivedSection(sect::Rs485Section::kSize);
  sect::Rs485DeviceValues v;
  v.kind[0] = 1;
  v.deviceId[0] = 9;
  v.protocol[0] = 1;
  v.baud[0] = 9600;
  Bytes block = received;
  sect::WriteRs485Devices(block.data(), kWriterDvr, v);
  sect::Rs485Section back;
  ASSERT_TRUE(sect::Rs485Section::Decode(block.data(), block.size(), kWriterDvr, back));
  EXPECT_EQ(back.kind[0], 1);
  EXPECT_EQ(back.deviceId[0], 9);
  EXPECT_EQ(back.protocol[0], 1);
  EXPECT_EQ(back.baud[0], 9600u);
  EXPECT_EQ(back.DeviceType(0), 18);
  EXPECT_EQ(back.kind[15], 0);
  EXPECT_EQ(std::memcmp(block.data(), received.data(), 12), 0);  // the bytes before the table stay
}

// The per-channel tables of DVRLIVE (16 bytes each from +4 on, titles of 6 bytes from +116,
// area masks of 24 bytes from +388), the record switches of DVRREC (+20) and the alarm input
// types of ALARM (+8).
TEST(ChannelWriter, CameraChannelTouchesOnlyItsBytes) {
  const Bytes liveReceived = ReceivedSection(sect::DvrLiveSection::kSize);
  const Bytes recReceived = ReceivedSection(sect::DvrRecSection::kSize);
  Bytes live = liveReceived, rec = recReceived;
  sect::CameraChannelValues v;
  v.title = {'G', 'A', 'T', 'E', 0, 0};
  v.brightness = 1;
  v.contrast = 2;
  v.saturation = 3;
  v.hue = 4;
  v.covert = 5;
  v.recordEnable = 6;
  sect::WriteCameraChannel(live.data(), rec.data(), 5, v);
  Bytes expectedLive = liveReceived;
  PutBytes(expectedLive, 4 + 5, {1});    // brightness
  PutBytes(expectedLive, 20 + 5, {2});   // contrast
  PutBytes(expectedLive, 36 + 5, {4});   // hue
  PutBytes(expectedLive, 52 + 5, {3});   // saturation
  PutBytes(expectedLive, 84 + 5, {5});   // covert
  PutBytes(expectedLive, 146, {'G', 'A', 'T', 'E', 0, 0});
  EXPECT_EQ(live, expectedLive);
  Bytes expectedRec = recReceived;
  PutBytes(expectedRec, 25, {6});
  EXPECT_EQ(rec, expectedRec);
  EXPECT_EQ(sect::ReadCameraChannel(live.data(), rec.data(), 5), v);

  // The last channel, without DVRREC: its title is the last of the title table.
  Bytes last = liveReceived;
  v.title = {'A', 'B', 'C', 'D', 'E', 'F'};
  sect::WriteCameraChannel(last.data(), nullptr, 15, v);
  Bytes expectedLast = liveReceived;
  PutBytes(expectedLast, 4 + 15, {1});
  PutBytes(expectedLast, 20 + 15, {2});
  PutBytes(expectedLast, 36 + 15, {4});
  PutBytes(expectedLast, 52 + 15, {3});
  PutBytes(expectedLast, 84 + 15, {5});
  PutBytes(expectedLast, 206, {'A', 'B', 'C', 'D', 'E', 'F'});
  EXPECT_EQ(last, expectedLast);
}

TEST(ChannelWriter, CameraChannelReadsAKnownBlock) {
  Bytes live(sect::DvrLiveSection::kSize, 0), rec(sect::DvrRecSection::kSize, 0);
  // Channel 2: a title of six characters (no terminator) and a byte in each table.
  PutBytes(live, 6, {128});
  PutBytes(live, 22, {64});
  PutBytes(live, 38, {32});
  PutBytes(live, 54, {16});
  PutBytes(live, 86, {1});
  PutBytes(live, 128, {'C', 'A', 'M', '0', '0', '3'});
  PutBytes(live, 134, {'X'});  // channel 3's title
  PutBytes(rec, 22, {1});
  const sect::CameraChannelValues v = sect::ReadCameraChannel(live.data(), rec.data(), 2);
  EXPECT_EQ(v.title, (std::array<std::uint8_t, 6>{'C', 'A', 'M', '0', '0', '3'}));
  EXPECT_EQ(v.brightness, 128);
  EXPECT_EQ(v.contrast, 64);
  EXPECT_EQ(v.hue, 32);
  EXPECT_EQ(v.saturation, 16);
  EXPECT_EQ(v.covert, 1);
  EXPECT_EQ(v.recordEnable, 1);
  EXPECT_EQ(sect::ReadCameraChannel(live.data(), rec.data(), 3).title[0], 'X');
}

TEST(ChannelWriter, DetectionChannelTouchesOnlyItsBytes) {
  const Bytes liveReceived = ReceivedSection(sect::DvrLiveSection::kSize);
  const Bytes alarmReceived = ReceivedSection(sect::AlarmSection::kSize);
  Bytes live = liveReceived, alarm = alarmReceived;
  sect::DetectionChannelValues v;
  v.detect = 1;
  v.ls = 2;
  v.ss = 3;
  v.ts = 4;
  v.re = 5;
  for (std::size_t i = 0; i < v.area.size(); ++i) v.area[i] = static_cast<std::uint8_t>(0xF0 + i % 16);
  v.alarmInputType = 2;
  sect::WriteDetectionChannel(live.data(), alarm.data(), 3, v);
  Bytes expectedLive = liveReceived;
  PutBytes(expectedLive, 308 + 3, {1});
  PutBytes(expectedLive, 324 + 3, {2});
  PutBytes(expectedLive, 340 + 3, {3});
  PutBytes(expectedLive, 356 + 3, {4});
  PutBytes(expectedLive, 372 + 3, {5});
  std::memcpy(expectedLive.data() + 388 + 3 * 24, v.area.data(), 24);
  EXPECT_EQ(live, expectedLive);
  Bytes expectedAlarm = alarmReceived;
  PutBytes(expectedAlarm, 8 + 3, {2});
  EXPECT_EQ(alarm, expectedAlarm);
  EXPECT_EQ(sect::ReadDetectionChannel(live.data(), alarm.data(), 3), v);

  // Without the alarm block the input type stays out; the last area mask ends the section.
  live = liveReceived;
  sect::WriteDetectionChannel(live.data(), nullptr, 15, v);
  EXPECT_EQ(std::memcmp(live.data() + 388 + 15 * 24, v.area.data(), 24), 0);
  EXPECT_EQ(std::memcmp(live.data(), liveReceived.data(), 308), 0);
  EXPECT_EQ(live[308 + 15], 1);
  EXPECT_EQ(live[308 + 14], liveReceived[308 + 14]);

  // A known block: the input type as stored, a value beyond the page's choices included.
  Bytes known(sect::AlarmSection::kSize, 0);
  PutBytes(known, 8 + 7, {9});
  EXPECT_EQ(sect::ReadDetectionChannel(liveReceived.data(), known.data(), 7).alarmInputType, 9);
  EXPECT_EQ(sect::ReadDetectionChannel(liveReceived.data(), known.data(), 7).ls, liveReceived[324 + 7]);
}

TEST(ChannelWriter, ChannelOutsideTheLayoutWritesNothing) {
  const Bytes liveReceived = ReceivedSection(sect::DvrLiveSection::kSize);
  const Bytes recReceived = ReceivedSection(sect::DvrRecSection::kSize);
  const Bytes alarmReceived = ReceivedSection(sect::AlarmSection::kSize);
  sect::CameraChannelValues camera;
  camera.title = {'Z', 'Z', 'Z', 'Z', 'Z', 'Z'};
  camera.brightness = camera.recordEnable = 0xEE;
  sect::DetectionChannelValues detection;
  detection.detect = detection.alarmInputType = 0xEE;
  detection.area.fill(0xEE);
  for (int channel : {-1, 16, 17, 1000}) {
    SCOPED_TRACE(channel);
    Bytes live = liveReceived, rec = recReceived, alarm = alarmReceived;
    sect::WriteCameraChannel(live.data(), rec.data(), channel, camera);
    sect::WriteDetectionChannel(live.data(), alarm.data(), channel, detection);
    EXPECT_EQ(live, liveReceived);
    EXPECT_EQ(rec, recReceived);
    EXPECT_EQ(alarm, alarmReceived);
    EXPECT_EQ(sect::ReadCameraChannel(live.data(), rec.data(), channel), sect::CameraChannelValues{});
    EXPECT_EQ(sect::ReadDetectionChannel(live.data(), alarm.data(), channel), sect::DetectionChannelValues{});
  }
}

}  // namespace
