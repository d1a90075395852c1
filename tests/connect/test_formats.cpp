// Byte layouts of the discovery datagrams and of IPRecord.dat.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "session/DiscoveryPacket.h"
#include "session/IPRecordFile.h"
#include "platform/bytes.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  std::uint32_t v = 0;
  plat::ByteReader(p, 4).U32(v);
  return v;
}

TEST(DiscoveryPacket, SettingsRequestLaysEveryFieldAtItsOffset) {
  DiscoverySettings s{"00:1a:2B:3c:4D:5e", "admin", "secret", "192.168.1.10", "255.255.255.0", "192.168.1.1",
                      "8.8.4.4", 8080};
  DiscoveryPacket p;
  ASSERT_TRUE(BuildSettingsRequest(false, s, p));
  std::uint8_t b[kDiscoveryPacketSize];
  std::memset(b, 0xEE, sizeof b);
  SerializeDiscoveryPacket(p, b);
  EXPECT_EQ(kDiscoveryPacketSize, 76u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 16), std::string("ZQ_SET_IP\0\0\0\0\0\0\0", 16));
  EXPECT_EQ(b[16], 2);
  const std::uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  EXPECT_EQ(std::memcmp(b + 18, mac, 6), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b + 24), 16), std::string("admin\0\0\0\0\0\0\0\0\0\0\0", 16));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b + 40), 7), std::string("secret\0", 7));
  const std::uint8_t addresses[16] = {192, 168, 1, 10, 255, 255, 255, 0, 192, 168, 1, 1, 8, 8, 4, 4};
  EXPECT_EQ(std::memcmp(b + 56, addresses, 16), 0);
  EXPECT_EQ(b[72], 0x90);  // 8080 little-endian
  EXPECT_EQ(b[73], 0x1F);
  EXPECT_EQ(b[74], 0);
  EXPECT_EQ(b[75], 0);

  ASSERT_TRUE(BuildSettingsRequest(true, s, p));
  SerializeDiscoveryPacket(p, b);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 9), std::string("ZQ_RESET\0", 9));
  EXPECT_EQ(b[16], 3);
}

TEST(DiscoveryPacket, SearchRequestCarriesOnlyOurAddressAndPort) {
  std::uint8_t b[kDiscoveryPacketSize];
  SerializeDiscoveryPacket(BuildSearchRequest("10.1.2.3"), b);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 10), std::string("ZQ_SEARCH\0", 10));
  EXPECT_EQ(b[16], 1);
  for (std::size_t i = 17; i < 56; ++i) EXPECT_EQ(b[i], 0) << i;
  const std::uint8_t ip[4] = {10, 1, 2, 3};
  EXPECT_EQ(std::memcmp(b + 56, ip, 4), 0);
  for (std::size_t i = 60; i < 72; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[72] | b[73] << 8, 3333);
}

TEST(DiscoveryPacket, RepliesShorterThanTheLayoutAreRefusedAndTypesFollowTheTable) {
  std::uint8_t b[kDiscoveryPacketSize] = {};
  DiscoveryReply r;
  EXPECT_FALSE(ParseDiscoveryReply(b, 75, r));
  EXPECT_FALSE(ParseDiscoveryReply(nullptr, 76, r));

  const std::uint8_t mac[6] = {0xDE, 0xAD, 0x00, 0x0F, 0xA1, 0x07};
  std::memcpy(b + 18, mac, 6);
  const std::uint8_t addresses[16] = {172, 16, 0, 9, 255, 255, 0, 0, 172, 16, 0, 1, 1, 1, 1, 1};
  std::memcpy(b + 56, addresses, 16);
  b[72] = 0x50;
  struct Case {
    std::uint8_t type;
    std::uint8_t stored;
    const char* name;
    bool changeable;
  } cases[] = {
      {50, 50, "Video Server", true},          {83, 83, "4CH MPEG4 DVR", true},
      {85, 85, "8CH MPEG4 DVR", true},         {87, 87, "16CH MPEG4 DVR", true},
      {114, 114, "4CH NETWORK DVR", false},    {118, 118, "9CH NETWORK DMR", false},
      {119, 119, "16CH NETWORK DMR", false},   {132, 132, "4CH NETWORK MPEG2 DVR", false},
      {200, 50, "Video Server", true},         {0, 50, "Video Server", true},
  };
  for (const Case& c : cases) {
    b[17] = c.type;
    ASSERT_TRUE(ParseDiscoveryReply(b, sizeof b, r));
    EXPECT_EQ(r.type, c.stored) << int(c.type);
    EXPECT_STREQ(DiscoveryDeviceName(r.type), c.name) << int(c.type);
    EXPECT_EQ(DiscoveryDeviceMayBeChanged(r.type), c.changeable) << int(c.type);
  }
  EXPECT_EQ(r.mac, "de:ad:00:0f:a1:07");
  EXPECT_EQ(r.ip, "172.16.0.9");
  EXPECT_EQ(r.netMask, "255.255.0.0");
  EXPECT_EQ(r.gateway, "172.16.0.1");
  EXPECT_EQ(r.dns, "1.1.1.1");
  EXPECT_EQ(r.port, 80u);
  EXPECT_EQ(r.macByte5, 0xA1);
  EXPECT_EQ(r.macByte6, 0x07);
}

TEST(DiscoveryPacket, AddressAndMacTextsThatDoNotFitAreRefused) {
  struct Case {
    const char* text;
    bool ok;
    std::uint8_t bytes[4];
  } dotted[] = {
      {"192.168.1.10", true, {192, 168, 1, 10}}, {"300.1.2.3", true, {44, 1, 2, 3}},
      {"10.0", true, {10, 0, 0, 0}},            {"", true, {0, 0, 0, 0}},
      {"1.2.3.4.5", false, {}},                 {"a.b.c.d", true, {0, 0, 0, 0}},
  };
  for (const auto& c : dotted) {
    std::uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(DottedTextToBytes(c.text, out), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(std::memcmp(out, c.bytes, 4), 0) << c.text;
    }
  }
  struct MacCase {
    const char* text;
    bool ok;
  } macs[] = {{"00:11:22:33:aa:BB", true}, {"001122334455", true},    {"00:11:22:33:aa", false},
              {"00:11:22:33:aa:bb:cc", false}, {"00:11:22:33:aa:bg", false}, {"", false},
              {"0011223344556", false}};
  for (const auto& c : macs) {
    std::uint8_t out[6] = {};
    EXPECT_EQ(DiscoveryMacToBytes(c.text, out), c.ok) << c.text;
  }
  DiscoveryPacket p;
  EXPECT_FALSE(BuildSettingsRequest(false, {"00:11:22:33:44", "u", "p", "1.2.3.4", "", "", "", 80}, p));
  EXPECT_FALSE(BuildSettingsRequest(false, {"001122334455", "u", "p", "1.2.3.4.5", "", "", "", 80}, p));
}

TEST(IPRecordFile, RecordLayoutIsByteExact) {
  IPRecordEntry e{"admin", "recorder.local", std::string(200, 'c'), -5};
  std::uint8_t r[kIPRecordSize];
  std::memset(r, 0xEE, sizeof r);
  SerializeIPRecord(e, r);
  EXPECT_EQ(kIPRecordSize, 400u);
  EXPECT_EQ(Le32(r + 0), 0x12121212u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r + 4)), "admin");
  EXPECT_EQ(Le32(r + 132), 0x4C4C4C4Cu);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r + 136)), "recorder.local");
  EXPECT_EQ(Le32(r + 264), 0x8A8A8A8Au);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r + 268)), std::string(127, 'c'));  // cut, then a zero
  EXPECT_EQ(r[395], 0);
  EXPECT_EQ(static_cast<std::int32_t>(Le32(r + 396)), -5);
  for (std::size_t i = 4 + 5; i < 132; ++i) EXPECT_EQ(r[i], 0) << i;

  std::vector<IPRecordEntry> back;
  ASSERT_TRUE(ParseIPRecords(r, sizeof r, back));
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].comment, std::string(127, 'c'));
  EXPECT_EQ(back[0].port, -5);
}

TEST(IPRecordFile, WrongCheckCodesRefuseTheWholeFileAndRemaindersAreIgnored) {
  std::vector<std::uint8_t> bytes = SerializeIPRecords({{"a", "1.1.1.1", "", 80}, {"b", "2.2.2.2", "x", 81}});
  bytes.resize(1000, 0x55);
  std::vector<IPRecordEntry> out;
  ASSERT_TRUE(ParseIPRecords(bytes.data(), bytes.size(), out));
  EXPECT_EQ(out.size(), 2u);
  for (std::size_t offset : {0u, 132u, 264u}) {
    std::vector<std::uint8_t> bad = bytes;
    bad[400 + offset] ^= 1;  // the second record
    EXPECT_FALSE(ParseIPRecords(bad.data(), bad.size(), out)) << offset;
    EXPECT_TRUE(out.empty());
  }
  // A text field without its zero gives 127 characters and never reads into the next field.
  std::vector<std::uint8_t> full = SerializeIPRecords({{"", "", "", 1}});
  std::memset(full.data() + 4, 'u', 128);
  ASSERT_TRUE(ParseIPRecords(full.data(), full.size(), out));
  EXPECT_EQ(out[0].user, std::string(127, 'u'));
}

}  // namespace
