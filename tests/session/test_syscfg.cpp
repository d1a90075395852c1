#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "session/Login.h"
#include "session/SysCfg.h"
#include "session_fixture.h"

namespace {

std::string ByteString(const std::uint8_t* p, std::size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

std::string Pattern(std::size_t n, int seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((seed * 13 + i * 7) & 0xFF);
  return s;
}

}  // namespace

TEST(SysCfgLayout, SizesAndOffsets) {
  // Each layout is contiguous and its fixed part ends where ONLINE begins.
  for (bool vs : {true, false}) {
    std::size_t count = 0;
    const SysCfgAllRow* rows = SysCfgAllLayout(vs, count);
    std::size_t offset = 0;
    for (std::size_t i = 0; i < count; ++i) {
      EXPECT_EQ(rows[i].offset, offset) << SysCfgOptionNames[rows[i].option];
      EXPECT_EQ(rows[i].size, SysCfgSectionSizes[rows[i].option]);
      offset += rows[i].size;
    }
    EXPECT_EQ(offset, vs ? kSysCfgAllFixedVideoServer : kSysCfgAllFixedDvr);
  }
  // The client's sizes match the recorder's own table, name by name.
  for (unsigned o = 0; o < SYSCFG_ALL; ++o) {
    EXPECT_EQ(SysCfgSectionSizes[o], fake::FakeRecorder::SectionSize(SysCfgOptionNames[o])) << SysCfgOptionNames[o];
  }
  EXPECT_EQ(kSysCfgAllFixedDvr + kSysCfgOnlineMax, 2284u);
}

TEST(SysCfgLayout, SplitRefusesAShortReplyAndBoundsOnline) {
  std::vector<std::uint8_t> reply(kSysCfgAllFixedVideoServer + 241, 0x11);
  std::uint8_t peri[16];
  std::uint8_t online[240];
  std::memset(peri, 0x77, sizeof peri);
  std::memset(online, 0x77, sizeof online);
  SysCfgBlocks blocks;
  blocks.section[SYSCFG_PERI] = peri;
  blocks.section[SYSCFG_ONLINE] = online;
  EXPECT_FALSE(SplitSysCfgAll(reply.data(), kSysCfgAllFixedVideoServer - 1, true, blocks));
  EXPECT_EQ(peri[0], 0x77);
  EXPECT_EQ(online[0], 0x77);
  // A rest longer than 240 bytes leaves ONLINE all zero.
  EXPECT_TRUE(SplitSysCfgAll(reply.data(), reply.size(), true, blocks));
  EXPECT_EQ(peri[15], 0x11);
  EXPECT_EQ(std::string(240, '\0'), ByteString(online, 240));
}

class SysCfgTest : public RecorderFixture {
 protected:
  void SetUp() override {
    RecorderFixture::SetUp();
    UseSession();
  }
  void SetModel(const std::string& model, const std::string& firmware) {
    fake::Identity id = recorder_.GetIdentity();
    id.productId = model;
    id.firmware = firmware;
    recorder_.SetIdentity(id);
    app_->SetProductID(model);
    app_->SetFWVersion(firmware);
  }
};

TEST_F(SysCfgTest, EverySingleSectionArrivesWhole) {
  struct Row {
    SysCfgOption option;
    std::uint8_t* block;
  } rows[] = {
      {SYSCFG_INF, app_->SysCfg_INF},         {SYSCFG_IP, app_->SysCfg_IP},
      {SYSCFG_SECURE, app_->SysCfg_SECURE},   {SYSCFG_DNS, app_->SysCfg_DNS},
      {SYSCFG_SMTP, app_->SysCfg_SMTP},       {SYSCFG_FTP, app_->SysCfg_FTP},
      {SYSCFG_PPPOE, app_->SysCfg_PPPOE_New}, {SYSCFG_SYSTEM, app_->SysCfg_SYSTEM},
      {SYSCFG_SNTP, app_->SysCfg_SNTP},       {SYSCFG_IMG, app_->SysCfg_IMG},
      {SYSCFG_RS485, app_->SysCfg_RS485},     {SYSCFG_ALARM, app_->SysCfg_ALARM},
      {SYSCFG_ONLINE, app_->SysCfg_ONLINE},   {SYSCFG_DVRLIVE, app_->SysCfg_DVRLIVE},
      {SYSCFG_DVROSD, app_->SysCfg_DVROSD},   {SYSCFG_DVRREC, app_->SysCfg_DVRREC},
      {SYSCFG_PERI, app_->SysCfg_PERI},
  };
  for (const Row& r : rows) {
    const std::size_t size = SysCfgSectionSizes[r.option];
    ASSERT_EQ(GetSysCfgSection(r.option, r.block, static_cast<std::uint32_t>(size)), 1) << SysCfgOptionNames[r.option];
    EXPECT_EQ(ByteString(r.block, size), recorder_.Section(SysCfgOptionNames[r.option])) << SysCfgOptionNames[r.option];
    const auto req = recorder_.Requests().back();
    EXPECT_EQ(req.target(), std::string("/GetSysCfg.cgi?Option=") + SysCfgOptionNames[r.option] +
                                "&Size=" + std::to_string(size) + "&Cookie=" + recorder_.GetIdentity().sessionId);
  }
}

TEST_F(SysCfgTest, SegmentedRepliesArriveWhole) {
  SetModel("K41R", "1052");
  recorder_.SetSplitReplies(true);
  ASSERT_EQ(GetSysCfgSection(SYSCFG_ALL, nullptr, 0), 1);
  EXPECT_EQ(ByteString(app_->SysCfg_DVRREC, 132), recorder_.Section("DVRREC"));
  recorder_.SetSplitReplies(false);
  recorder_.SetDripReplies(true);
  std::memset(app_->SysCfg_RS485, 0, 124);
  ASSERT_EQ(GetSysCfgSection(SYSCFG_RS485, app_->SysCfg_RS485, 124), 1);
  EXPECT_EQ(ByteString(app_->SysCfg_RS485, 124), recorder_.Section("RS485"));
}

TEST_F(SysCfgTest, WrongSizedRepliesLeaveTheBlockUnchanged) {
  struct Case {
    const char* option;
    std::size_t replySize;
    int result;
  } cases[] = {
      {"INF", 43, 0},  // truncated
      {"INF", 45, 0},  // longer
      {"INF", 0, 0},
      {"PERI", 16, 1},
  };
  for (const Case& c : cases) {
    recorder_.SetSection(c.option, Pattern(c.replySize, 5));
    std::uint8_t block[64];
    std::memset(block, 0xAB, sizeof block);
    const std::uint8_t option = std::string(c.option) == "INF" ? SYSCFG_INF : SYSCFG_PERI;
    const auto size = static_cast<std::uint32_t>(SysCfgSectionSizes[option]);
    EXPECT_EQ(GetSysCfgSection(option, block, size), c.result) << c.option << " " << c.replySize;
    if (c.result == 0) {
      EXPECT_EQ(ByteString(block, 64), std::string(64, '\xAB'));
    } else {
      EXPECT_EQ(ByteString(block, size), Pattern(size, 5));
    }
    EXPECT_EQ(block[size], 0xAB);  // never past the block
  }
  // ONLINE takes what comes, up to its 240 bytes, and zero-fills the rest.
  recorder_.SetSection("ONLINE", Pattern(10, 9));
  std::memset(app_->SysCfg_ONLINE, 0xAB, 240);
  EXPECT_EQ(GetSysCfgSection(SYSCFG_ONLINE, app_->SysCfg_ONLINE, 240), 1);
  EXPECT_EQ(ByteString(app_->SysCfg_ONLINE, 240), Pattern(10, 9) + std::string(230, '\0'));
  recorder_.SetSection("ONLINE", Pattern(300, 9));
  EXPECT_EQ(GetSysCfgSection(SYSCFG_ONLINE, app_->SysCfg_ONLINE, 240), 1);
  EXPECT_EQ(ByteString(app_->SysCfg_ONLINE, 240), Pattern(240, 9));

  recorder_.SetStatus500(true);
  std::memset(app_->SysCfg_IP, 0x42, 24);
  EXPECT_EQ(GetSysCfgSection(SYSCFG_IP, app_->SysCfg_IP, 24), 0);
  EXPECT_EQ(app_->SysCfg_IP[0], 0x42);
}

TEST_F(SysCfgTest, AllInOneLaysOutByModelAndFirmware) {
  struct Case {
    const char* model;
    const char* firmware;
    bool newPppoe;
    std::size_t onlineAt;
  } cases[] = {
      {"K40R", "1007", true, 1136}, {"K40R", "1006", false, 1136}, {"K47R", "1010", true, 1136},
      {"K45R", "0003", false, 1136}, {"K41R", "1052", true, 2044}, {"K41R", "1051", false, 2044},
      {"K43R", "1100", true, 2044}, {"XXXX", "1052", true, 2044},
  };
  for (const Case& c : cases) {
    SetModel(c.model, c.firmware);
    std::memset(app_->SysCfg_PPPOE, 0, 68);
    std::memset(app_->SysCfg_PPPOE_New, 0, 68);
    std::memset(app_->SysCfg_PERI, 0, 16);
    std::memset(app_->SysCfg_DVRLIVE, 0, 772);
    ASSERT_EQ(GetSysCfgSection(SYSCFG_ALL, nullptr, 0), 1) << c.model;
    const std::string all = recorder_.AllSections();
    ASSERT_EQ(all.size(), c.onlineAt + 240);
    EXPECT_EQ(ByteString(app_->SysCfg_INF, 44), recorder_.Section("INF"));
    EXPECT_EQ(ByteString(app_->SysCfg_ALARM, 24), all.substr(1096, 24));
    EXPECT_EQ(ByteString(c.newPppoe ? app_->SysCfg_PPPOE_New : app_->SysCfg_PPPOE, 68), all.substr(820, 68)) << c.model;
    EXPECT_EQ(ByteString(c.newPppoe ? app_->SysCfg_PPPOE : app_->SysCfg_PPPOE_New, 68), std::string(68, '\0'));
    if (c.onlineAt == 1136) {
      EXPECT_EQ(ByteString(app_->SysCfg_PERI, 16), all.substr(1120, 16));
      EXPECT_EQ(ByteString(app_->SysCfg_DVRLIVE, 772), std::string(772, '\0'));
    } else {
      EXPECT_EQ(ByteString(app_->SysCfg_DVRLIVE, 772), all.substr(1120, 772));
      EXPECT_EQ(ByteString(app_->SysCfg_DVROSD, 20), all.substr(1892, 20));
      EXPECT_EQ(ByteString(app_->SysCfg_DVRREC, 132), all.substr(1912, 132));
      EXPECT_EQ(ByteString(app_->SysCfg_PERI, 16), std::string(16, '\0'));
    }
    EXPECT_EQ(ByteString(app_->SysCfg_ONLINE, 240), all.substr(c.onlineAt, 240));
  }
}

TEST_F(SysCfgTest, AllInOneEdges) {
  SetModel("K41R", "1052");
  // Exactly the fixed part: ONLINE all zero.
  fake::RawReply raw;
  const std::string fixed = recorder_.AllSections(0);
  raw.bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(fixed.size()) + "\r\n\r\n" + fixed;
  recorder_.SetRawReply("/GetSysCfg.cgi", raw);
  std::memset(app_->SysCfg_ONLINE, 0x33, 240);
  EXPECT_EQ(GetSysCfgSection(SYSCFG_ALL, nullptr, 0), 1);
  EXPECT_EQ(ByteString(app_->SysCfg_ONLINE, 240), std::string(240, '\0'));
  // Shorter than the fixed part: refused, nothing changed.
  const std::string cut = fixed.substr(0, fixed.size() - 1);
  raw.bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(cut.size()) + "\r\n\r\n" + cut;
  recorder_.SetRawReply("/GetSysCfg.cgi", raw);
  std::memset(app_->SysCfg_INF, 0x33, 44);
  EXPECT_EQ(GetSysCfgSection(SYSCFG_ALL, nullptr, 0), 0);
  EXPECT_EQ(app_->SysCfg_INF[0], 0x33);
}

TEST_F(SysCfgTest, SetSendsTheSectionAsBody) {
  const std::string dns = Pattern(12, 3);
  const std::string ip = Pattern(24, 4);
  // Never fetched since the login: nothing is sent.
  ForgetFetchedSysCfgSections();
  EXPECT_EQ(SetSysCfgSection(SYSCFG_DNS, reinterpret_cast<const std::uint8_t*>(dns.data()), 12, 1), 0);
  EXPECT_TRUE(recorder_.Requests().empty());
  ASSERT_EQ(GetSysCfgSection(SYSCFG_DNS, app_->SysCfg_DNS, sizeof app_->SysCfg_DNS), 1);
  ASSERT_EQ(GetSysCfgSection(SYSCFG_IP, app_->SysCfg_IP, sizeof app_->SysCfg_IP), 1);
  recorder_.ClearRequests();
  EXPECT_EQ(SetSysCfgSection(SYSCFG_DNS, reinterpret_cast<const std::uint8_t*>(dns.data()), 12, 1), 1);
  EXPECT_EQ(SetSysCfgSection(SYSCFG_DNS, reinterpret_cast<const std::uint8_t*>(dns.data()), 12, 0), 1);
  EXPECT_EQ(SetSysCfgSection(SYSCFG_IP, reinterpret_cast<const std::uint8_t*>(ip.data()), 24, 1), 1);
  EXPECT_EQ(SetSysCfgSection(SYSCFG_IP, reinterpret_cast<const std::uint8_t*>(ip.data()), 23, 1), 0);  // recorder refuses
  const auto requests = recorder_.Requests();
  ASSERT_EQ(requests.size(), 4u);
  const std::string cookie = "&Cookie=" + recorder_.GetIdentity().sessionId;
  EXPECT_EQ(requests[0].target(), "/SetSysCfg.cgi?Option=DNS&Refresh=True" + cookie);
  EXPECT_EQ(requests[1].target(), "/SetSysCfg.cgi?Option=DNS&Refresh=False" + cookie);
  EXPECT_EQ(requests[2].target(), "/SetSysCfg.cgi?Option=IP" + cookie);
  EXPECT_EQ(requests[0].body, dns);
  EXPECT_NE(requests[0].head.find("\r\nContent-Length: 12\r\n"), std::string::npos);
  EXPECT_EQ(recorder_.Section("DNS"), dns);
  EXPECT_EQ(recorder_.Section("IP"), ip);

  // A new login forgets what was fetched: the blocks may hold another recorder's settings.
  LoginReplyValues login;
  ASSERT_EQ(ParseLoginReply("Session-ID=" + recorder_.GetIdentity().sessionId + ";", login), LoginParseResult::Ok);
  StoreLoginReply(login, false);
  EXPECT_EQ(SetSysCfgSection(SYSCFG_IP, reinterpret_cast<const std::uint8_t*>(ip.data()), 24, 1), 0);
  EXPECT_EQ(recorder_.Requests().size(), 4u);
}

TEST_F(SysCfgTest, InfCapabilityWordAndTheRvx507ModelName) {
  std::string inf = Pattern(44, 5);
  inf.replace(20, 4, std::string("\x78\x56\x34\x12", 4));
  struct Case {
    const char* name;  // the 8 bytes of the model name
    bool sent;
  };
  for (const Case& c : {Case{"RVX-507X", true}, Case{"RVX-507\0", true}, Case{"RVX-508X", false}}) {
    SCOPED_TRACE(c.name);
    inf.replace(24, 8, std::string(c.name, 8));
    recorder_.SetSection("INF", inf);
    std::uint32_t flags = 0;
    ASSERT_TRUE(FetchInfCapabilityFlags(flags));
    EXPECT_EQ(flags, 0x12345678u);
    recorder_.ClearRequests();
    SendRvx507ModelName();
    const auto requests = recorder_.Requests();
    ASSERT_EQ(requests.size(), c.sent ? 2u : 1u);
    if (c.sent) {
      std::string expected = inf;
      expected.replace(24, 8, std::string("RVX-507\0", 8));
      EXPECT_EQ(requests[1].body, expected);
    }
  }
  // A failed fetch leaves the flags as they were.
  recorder_.SetSection("INF", inf.substr(0, 40));
  std::uint32_t flags = 7;
  EXPECT_FALSE(FetchInfCapabilityFlags(flags));
  EXPECT_EQ(flags, 7u);
}
