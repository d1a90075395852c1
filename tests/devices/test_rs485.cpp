#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/StringIds.h"
#include "engine/AppRecord.h"
#include "devices_fixture.h"
#include "platform/net.h"
#include "session/ControlDeviceTable.h"
#include "session/Rs485.h"
#include "tests/support/FakeRecorder.h"

namespace {

std::vector<std::uint8_t> Packet(const CtrlCommandSlot& slot, Rs485Values v = {}, std::uint8_t repeat = 1,
                                 bool preset = false) {
  std::vector<std::uint8_t> body;
  EXPECT_EQ(BuildRs485Packet(slot, repeat, preset, v, body), Rs485Build::Ok);
  return body;
}

Rs485Values Values(int video, int level = 60, int bus = 0) {
  Rs485Values v;
  v.videoDeviceId = static_cast<std::uint8_t>(video);
  v.accessLevel = static_cast<std::uint8_t>(level);
  v.busDeviceId = static_cast<std::uint8_t>(bus);
  return v;
}

TEST(Rs485Packet, PlainTemplatesAndCodes) {
  CtrlDeviceRecord owner;
  for (int i = 0; i < 16; ++i) owner.byParam[i] = static_cast<std::uint8_t>(0xA0 + i);
  struct Case {
    const char* line;
    Rs485Values values;
    std::uint8_t repeat;
    std::vector<std::uint8_t> body;
  };
  const Case cases[] = {
      {"0X05 0XFF 0XC0 0X%D 0X57 0X7F", Values(3), 1, Bytes({5, 0xFF, 0xC0, 3, 0x57, 0x7F, 1, 0x32})},
      {"0X05 0XFF 0XC0 0X%D 0X57 0X7F", Values(3), 5, Bytes({5, 0xFF, 0xC0, 3, 0x57, 0x7F, 5, 0x32})},
      // code 6: sum of the second to sixth command bytes; code 2 includes the leading FF
      {"0X07 0XFF 0X%D 0X00 0X04 0X20 0X00 0X%6", Values(2), 1,
       Bytes({7, 0xFF, 2, 0, 4, 0x20, 0, 0x26, 1, 0x32})},
      {"0X07 0XFF 0X%D 0X00 0X04 0X20 0X00 0X%2", Values(2), 1,
       Bytes({7, 0xFF, 2, 0, 4, 0x20, 0, 0x25, 1, 0x32})},
      // a substituted byte enters the later sums with its value
      {"0X04 0X%1 0X%B 0X%2 0X%6", Values(1, 40, 9), 1, Bytes({4, 40, 9, 49, 58, 1, 0x32})},
      // other codes read the owner's parameters
      {"0X06 0X%0 0X%3 0X%5 0X%9 0X%C 0X%F", Values(0), 1,
       Bytes({6, 0xA0, 0xA3, 0xA5, 0xA9, 0xAC, 0xAF, 1, 0x32})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Packet(Slot(c.line, &owner), c.values, c.repeat), c.body) << c.line;
  }
  // Without an owner the parameter codes give 0.
  EXPECT_EQ(Packet(Slot("0X01 0X%4")), Bytes({1, 0, 1, 0x32}));
}

TEST(Rs485Packet, TwoAlternativeSendsTheSecondList) {
  EXPECT_EQ(Packet(Slot("0X08 0X%A 0X02 0X11 0X22 0X0A 0X02 0X%D 0X%2"), Values(6)),
            Bytes({2, 6, 6, 1, 0x32}));
  // the scan stops at the first byte of value 10, whatever it is
  EXPECT_EQ(Packet(Slot("0X06 0X%A 0X01 0X0A 0X01 0X33 0X44"), Values(0)), Bytes({1, 0x33, 1, 0x32}));
}

TEST(Rs485Packet, ActionPresetFollowsTheMode) {
  // ACTION: go to (07); PRESET: set (03); the literal 07 of the first list is no placeholder.
  const CtrlCommandSlot s = Slot("0X0A 0X%7 0X03 0X%D 0X07 0X01 0X%7 0X03 0X%D 0X03 0X01");
  EXPECT_EQ(Packet(s, Values(4), 1, false), Bytes({3, 4, 7, 1, 1, 0x32}));
  EXPECT_EQ(Packet(s, Values(4), 1, true), Bytes({3, 4, 3, 1, 1, 0x32}));
}

TEST(Rs485Packet, VariableTemplates) {
  struct Case {
    const char* line;
    std::vector<std::uint8_t> body;
  };
  const Case cases[] = {
      // N = 4; literals and codes placed from offset 1, no repeat bytes: N + 3 bytes sent
      {"0X06 0X%3 0X04 0XAA 0X%D 0XBB 0X%2", Bytes({4, 0xAA, 7, 0xBB, 0x6C, 0, 0})},
      // code 4: the next byte as it stands (a code byte too), outside the offset-2 sum
      {"0X06 0X%3 0X03 0XAA 0X%4 0X%D 0X%6", Bytes({3, 0xAA, 0x0D, 0, 0, 0})},
      // code 5: the next byte, then the packet ends
      {"0X07 0X%3 0X03 0XAA 0X%5 0X0D 0XEE 0XEE", Bytes({3, 0xAA, 0x0D, 0, 0, 0})},
      // a zero beyond index N stops; other codes place 0
      {"0X07 0X%3 0X02 0X%9 0X11 0X00 0X22 0X33", Bytes({2, 0, 0x11, 0, 0})},
      // bytes beyond offset N + 2 are not sent
      {"0X08 0X%3 0X01 0X01 0X02 0X03 0X04 0X05 0X06", Bytes({1, 1, 2, 3})},
      // a template that ends before a stop leaves the rest 0
      {"0X03 0X%3 0X05 0X09", Bytes({5, 9, 0, 0, 0, 0, 0, 0})},
      // code 4 as the last byte has nothing to copy
      {"0X03 0X%3 0X03 0X%4", Bytes({3, 0, 0, 0, 0, 0})},
  };
  for (const Case& c : cases) EXPECT_EQ(Packet(Slot(c.line), Values(7)), c.body) << c.line;
}

// Substitution flags belong to each byte: a literal 0x0D at position 32 stays literal even
// though position 0 is a substitution code.
TEST(Rs485Packet, LongTemplatesKeepLiteralBytes) {
  std::string line = "0X22 0X%D";
  for (int i = 1; i < 34; ++i) line += " 0X0D";
  const std::vector<std::uint8_t> body = Packet(Slot(line), Values(0x42));
  ASSERT_EQ(body.size(), 34u + 3);
  EXPECT_EQ(body[1], 0x42);
  for (std::size_t i = 2; i <= 34; ++i) EXPECT_EQ(body[i], 0x0D) << i;
}

TEST(Rs485Packet, EmptyAndBadTemplates) {
  std::vector<std::uint8_t> body;
  EXPECT_EQ(BuildRs485Packet(CtrlCommandSlot{}, 1, false, Rs485Values{}, body), Rs485Build::Empty);
  // A template built in memory past the loader's checks is still refused.
  CtrlCommandSlot s;
  s.byCount = 3;
  s.bytes = Bytes({10, 1, 2});
  s.subst = Bytes({1, 0, 0});
  EXPECT_EQ(BuildRs485Packet(s, 1, false, Rs485Values{}, body), Rs485Build::Bad);
  s.byCount = 100;
  s.bytes.assign(100, 0x11);
  s.subst.assign(100, 0);
  EXPECT_EQ(BuildRs485Packet(s, 1, false, Rs485Values{}, body), Rs485Build::Bad);
  // ACTION/PRESET without a PRESET list fails in PRESET mode only.
  const CtrlCommandSlot ap = [] {
    CtrlCommandSlot t;
    t.byCount = 3;
    t.bytes = Bytes({7, 1, 0x55});
    t.subst = Bytes({1, 0, 0});
    return t;
  }();
  EXPECT_EQ(BuildRs485Packet(ap, 1, false, Rs485Values{}, body), Rs485Build::Ok);
  EXPECT_EQ(BuildRs485Packet(ap, 1, true, Rs485Values{}, body), Rs485Build::Bad);
}

TEST(Rs485Values, AccessLevelAndBusDevice) {
  EXPECT_EQ(Rs485AccessLevel(0), 60);
  EXPECT_EQ(Rs485AccessLevel(1), 40);
  EXPECT_EQ(Rs485AccessLevel(2), 4);
  EXPECT_EQ(Rs485AccessLevel(3), 20);
  EXPECT_EQ(Rs485AccessLevel(9), 4);

  CControlDeviceTable t;
  t.Add(0, 5, 19, CDF_VIDEO);
  t.Add(2400, 8, 11, CDF_PTZ);
  t.MakeCurrent(CDF_PTZ, 0);
  t.MakeCurrent(CDF_VIDEO, 0);
  struct Case {
    const char* model;
    bool multi;
    int bus;
  };
  for (const Case& c : {Case{"K41R", true, 5}, Case{"K42R", false, 8}, Case{"K40R", false, 5}, Case{"K47R", true, 5}}) {
    const Rs485Values v = MakeRs485Values(t, c.model, c.multi, 1);
    EXPECT_EQ(v.busDeviceId, c.bus) << c.model;
    EXPECT_EQ(v.videoDeviceId, 5);
    EXPECT_EQ(v.accessLevel, 40);
  }
}

TEST(Rs485Request, AddressingParameters) {
  // recorder (video 0), two slaves (video 1, 2: types 2 and 18), a PTZ head (type 18) and a
  // Pelco-D head (type 25)
  CControlDeviceTable t;
  t.Add(0, 0, 19, CDF_VIDEO);
  t.Add(2400, 1, 2, CDF_VIDEO);
  t.Add(2400, 2, 18, CDF_VIDEO);
  t.Add(2400, 3, 18, CDF_PTZ);
  t.Add(2400, 4, 25, CDF_VIDEO);
  struct Case {
    const char* model;
    bool multi;
    std::uint16_t mask;
    int n;
    std::uint16_t flags;
    const char* url;
  };
  const Case cases[] = {
      {"K41R", true, CDF_VIDEO, 0, 0, "/RS485Cmd.cgi?Control=K41R&MASTER=1&Cookie=S1"},
      {"K41R", true, CDF_VIDEO, 2, 0, "/RS485Cmd.cgi?Control=K41R&CH=1&MASTER=0&PELOCO=1&PROTOCOL=PELCO&Cookie=S1"},
      {"K41R", true, CDF_VIDEO, 2, SBF_NOPELCO, "/RS485Cmd.cgi?Control=K41R&CH=1&MASTER=0&Cookie=S1"},
      {"K41R", true, CDF_VIDEO, 1, 0, "/RS485Cmd.cgi?Control=K41R&CH=0&MASTER=0&Cookie=S1"},
      {"K43R", false, CDF_PTZ, 0, 0, "/RS485Cmd.cgi?Control=K41R&CH=0&MASTER=0&PELOCO=1&PROTOCOL=PELCO&Cookie=S1"},
      {"K40R", false, CDF_PTZ, 0, SBF_NOPELCO, "/RS485Cmd.cgi?Control=K41R&CH=0&MASTER=0&Cookie=S1"},
      {"K40R", false, CDF_VIDEO, 3, 0, "/RS485Cmd.cgi?Control=K41R&CH=3&PELOCO=1&PROTOCOL=PELCO&MASTER=1&Cookie=S1"},
      {"K45R", false, CDF_VIDEO, 1, 0, "/RS485Cmd.cgi?Control=K41R&CH=1&MASTER=1&Cookie=S1"},
      {"K47R", false, CDF_VIDEO, 2, SBF_NOPELCO, "/RS485Cmd.cgi?Control=K41R&CH=2&MASTER=1&Cookie=S1"},
      // neither the K41R family with MULTICH, nor K40R, K44R family or K47R
      {"K41R", false, CDF_VIDEO, 2, 0, "/RS485Cmd.cgi?Control=K41R&MASTER=1&Cookie=S1"},
      {"XXXX", false, CDF_VIDEO, 3, 0, "/RS485Cmd.cgi?Control=K41R&MASTER=1&Cookie=S1"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(t.MakeCurrent(c.mask, c.n), 0);
    EXPECT_EQ(BuildRs485Request(t, c.model, c.multi, c.flags, "S1").Url(), c.url) << c.model << " " << c.n;
  }
  EXPECT_EQ(BuildRs485Request(t, "XXXX", false, 0, "").Url(), "/RS485Cmd.cgi?Control=K41R&MASTER=1");
}

// Keys pressed against the fake recorder: the body and the query as the recorder received
// them.
class Rs485Send : public RecordFixture {
 protected:
  void SetUp() override {
    RecordFixture::SetUp();
    plat::SetLocalIPv4Override("127.0.0.1");
    g_strLocalIP = "127.0.0.1";
    ASSERT_TRUE(recorder_.Start());
    app_->CSettingINI.m_strServerName = "127.0.0.1";
    app_->CSettingINI.m_wWebPort = recorder_.Port();
    g_szSessionCookie.Set(recorder_.GetIdentity().sessionId);
    app_->SetProductID("K42R");
    app_->by_MultiChannel = 0;
    app_->by_AccessMode = 0;
    app_->by_TurboRepeatStep = 5;
    app_->C_ControlD.Reset();
    app_->C_ControlD.Add(0, 0, DT_RVX505, CDF_VIDEO);
    app_->C_ControlD.Add(2400, 6, DT_PTZ_PELCO_D, CDF_PTZ);
    app_->C_ControlD.MakeCurrent(CDF_VIDEO, 0);

    static const char kFile[] =
        "[DEVICE NUMBER]\n2\n"
        "[DEVICE NAME]\nPTZ PELCO D\n"
        "[PARAMETER]\n%9=0X99\n"
        "[CH1]\n0X12 0X%7 0X07 0XFF 0X%B 0X00 0X07 0X00 0X01 0X%6 0X%7 0X07 0XFF 0X%B 0X00 0X03 0X00 0X01 0X%6\n"
        "[AUTO]\n0X02 0X%9 0X%1\n"
        "[JOYSTICK_LEFT]\n0X07 0XFF 0X%B 0X00 0X04 0X20 0X00 0X%6\n"
        "[DEVICE NAME]\nRVX 505 DVR\n"
        "[CH1]\n0X05 0XFF 0XC0 0X%D 0X57 0X7F\n"
        "[EOF]\nEND\n";
    data_ = ParseCtrlFile(reinterpret_cast<const std::uint8_t*>(kFile), sizeof kFile - 1);
    ASSERT_TRUE(data_.endReached);
    LinkCtrlFileDevices(data_.records.get(), data_.count);
  }
  void TearDown() override {
    recorder_.Stop();
    g_szSessionCookie.Clear();
    plat::SetLocalIPv4Override("");
    RecordFixture::TearDown();
  }
  fake::RecordedRequest Last() {
    const auto all = recorder_.Requests();
    EXPECT_FALSE(all.empty());
    return all.empty() ? fake::RecordedRequest{} : all.back();
  }
  static std::string Str(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s.push_back(static_cast<char>(b));
    return s;
  }

  fake::FakeRecorder recorder_;
  CtrlFileData data_;
};

TEST_F(Rs485Send, RecorderKeyIsSentWithItsAddressing) {
  ASSERT_EQ(DoDeviceCommand(0, 0), 1);
  const fake::RecordedRequest r = Last();
  EXPECT_EQ(r.path, "/RS485Cmd.cgi");
  EXPECT_EQ(r.target(), "/RS485Cmd.cgi?Control=K41R&MASTER=1&Cookie=" + recorder_.GetIdentity().sessionId);
  EXPECT_EQ(r.body, Str({5, 0xFF, 0xC0, 0, 0x57, 0x7F, 1, 0x32}));
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(Rs485Send, PtzHeadKeysInTurboAndPresetModes) {
  app_->C_ControlD.MakeCurrent(CDF_PTZ, 0);  // the Pelco-D head at address 6
  ASSERT_EQ(DoDeviceCommand(1, 54), 1);      // pan left, turbo
  EXPECT_EQ(Last().body, Str({7, 0xFF, 6, 0, 4, 0x20, 0, 0x2A, 5, 0x32}));
  EXPECT_EQ(Last().query.count("PELOCO"), 0u);  // type 25 is not the "PTZ PELCO" head
  EXPECT_EQ(Last().query.at("CH"), "0");
  EXPECT_EQ(Last().query.at("MASTER"), "0");

  ASSERT_EQ(DoDeviceCommand(0, 0), 1);  // ACTION: go to preset 1
  EXPECT_EQ(Last().body, Str({7, 0xFF, 6, 0, 7, 0, 1, 0x0E, 1, 0x32}));
  app_->f_PresetMode = 1;
  ASSERT_EQ(DoDeviceCommand(0, 0), 1);  // PRESET: set preset 1
  EXPECT_EQ(Last().body, Str({7, 0xFF, 6, 0, 3, 0, 1, 0x0A, 1, 0x32}));

  app_->by_AccessMode = 3;
  ASSERT_EQ(DoDeviceCommand(0, PK_AUTO), 1);  // parameter 9 and the access level
  EXPECT_EQ(Last().body, Str({2, 0x99, 20, 1, 0x32}));
  EXPECT_TRUE(messages_.Texts().empty());
}

// Every template kind and substitution code, as the recorder receives the body. The current
// device is the Pelco-D head at address 6 behind a K42R recorder at address 0 (bus device:
// the head), the user a supervisor (level byte 60).
TEST_F(Rs485Send, TemplateKindsAsReceived) {
  app_->C_ControlD.MakeCurrent(CDF_PTZ, 0);
  app_->C_ControlD.MakeCurrent(CDF_VIDEO, 0);  // video device: the recorder (id 0)
  CtrlDeviceRecord owner;
  owner.byParam[0] = 0x31;
  owner.byParam[14] = 0x3E;
  struct Case {
    const char* line;
    bool preset;
    std::string body;
  };
  const Case cases[] = {
      {"0X05 0XFF 0XC0 0X%D 0X57 0X7F", false, Str({5, 0xFF, 0xC0, 0, 0x57, 0x7F, 1, 0x32})},
      {"0X06 0X%1 0X%B 0X%2 0X%6 0X%0 0X%E", false, Str({6, 60, 6, 66, 72, 0x31, 0x3E, 1, 0x32})},
      {"0X07 0X%A 0X01 0X11 0X0A 0X02 0X22 0X%B", false, Str({2, 0x22, 6, 1, 0x32})},
      {"0X07 0X%7 0X01 0X11 0X%7 0X02 0X22 0X%1", false, Str({1, 0x11, 1, 0x32})},
      {"0X07 0X%7 0X01 0X11 0X%7 0X02 0X22 0X%1", true, Str({2, 0x22, 60, 1, 0x32})},
      {"0X07 0X%3 0X03 0X%B 0X%4 0X%D 0X%2 0X00", false, Str({3, 6, 13, 19, 0, 0})},
  };
  for (const Case& c : cases) {
    app_->f_PresetMode = c.preset ? 1 : 0;
    ASSERT_EQ(SendRS485Command(Slot(c.line, &owner), 1, 0), 1) << c.line;
    EXPECT_EQ(Last().body, c.body) << c.line;
  }
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(Rs485Send, FailuresAreShownAndNothingIsSent) {
  struct Case {
    std::uint8_t type;
    std::uint16_t key;
    unsigned message;
  };
  const Case cases[] = {
      {DT_RVX503, 0, IDS_NO_COMMAND_PROTOCOL},          // no record of that name
      {DT_RVX505, 47, IDS_COMMAND_NOT_SUPPORTED},  // the record has no STOP template
  };
  for (const Case& c : cases) {
    messages_.Clear();
    recorder_.ClearRequests();
    app_->C_ControlD.Reset();
    app_->C_ControlD.Add(0, 0, c.type, CDF_VIDEO);
    app_->C_ControlD.MakeCurrent(CDF_VIDEO, 0);
    EXPECT_EQ(DoDeviceCommand(0, c.key), 0);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{Msg(c.message)});
    EXPECT_TRUE(recorder_.Requests().empty());
  }
  messages_.Clear();
  app_->C_ControlD.Reset();
  app_->C_ControlD.Add(0, 0, DT_RVX505, CDF_VIDEO);
  recorder_.SetStatus500(true);
  EXPECT_EQ(DoDeviceCommand(0, 0), 0);
  EXPECT_EQ(messages_.Texts(), std::vector<std::string>{Msg(IDS_SEND_COMMAND_FAILED)});
}

}  // namespace
