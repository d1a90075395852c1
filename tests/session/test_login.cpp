#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "session/ControlDeviceTable.h"
#include "session/Login.h"
#include "session_fixture.h"

namespace {

using Op = DeviceTableOp;
Op AddOp(std::int32_t baud, std::uint8_t id, std::uint8_t type, std::uint16_t flags) {
  return {Op::Add, baud, id, type, flags, 0};
}
Op ResetOp() { return {Op::Reset, 0, 0, 0, 0, 0}; }
Op RetrOp(std::uint8_t v) { return {Op::SetRetr, 0, 0, 0, 0, v}; }

std::string Value(std::string_view reply, std::string_view key, bool eq) {
  std::string v;
  return FindReplyValue(reply, key, eq, 0, v) ? v : "<absent>";
}

}  // namespace

TEST(ReplyKeys, WholeKeysAndBoundedValues) {
  struct Case {
    const char* reply;
    const char* key;
    bool eq;
    std::string value;
  } cases[] = {
      {"Session-ID=abc;Product-ID=K41R;", "Product-ID=", true, "K41R"},
      {"DAYLIGHTSAVING=1;DAY=5;", "DAY", false, "5"},
      {"DAYLIGHTSAVING=1;", "DAY", false, "<absent>"},
      {"X=1;MYSID=7;SID=3;", "SID", false, "3"},
      {"NAME=SID=4;", "SID", false, "<absent>"},  // inside another value
      {"LIFETIME=30", "LIFETIME", false, "30"},   // no closing ";": runs to the end
      {"A=1; LIFETIME=30;", "LIFETIME", false, "30"},
      {"LIFETIME", "LIFETIME", false, "<absent>"},
      {"Host-Name=;", "Host-Name=", true, ""},
      {"x-Host-Name=h;", "Host-Name=", true, "<absent>"},
      {"", "LIFETIME", false, "<absent>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Value(c.reply, c.key, c.eq), c.value) << c.reply << " / " << c.key;

  const std::string longValue = "V=" + std::string(400, 'q') + ";";
  EXPECT_EQ(Value(longValue, "V", false).size(), kReplyValueMax);
  const char withZero[] = "A=1;\0B=2;";
  EXPECT_EQ(ReplyText(withZero, sizeof withZero), "A=1;");
  EXPECT_EQ(ReplyText("ABC", 2), "AB");  // never past the buffer

  struct Num {
    const char* text;
    std::int32_t value;
  } nums[] = {{"42", 42}, {"-7x", -7}, {"+5", 5}, {"", 0}, {"abc", 0}, {" 12", 12}, {"99999999999", 2147483647},
              {"-99999999999", -2147483647 - 1}};
  for (const Num& n : nums) EXPECT_EQ(ReplyDecimal(n.text), n.value) << n.text;
}

TEST(LoginReply, KeysAndSessionRules) {
  LoginReplyValues v;
  ASSERT_EQ(ParseLoginReply("Session-ID=S1;Firmware-Version=1046;Product-ID=K41R;", v), LoginParseResult::Ok);
  EXPECT_EQ(v.sessionId, "S1");
  EXPECT_EQ(v.firmware, "1046");
  EXPECT_EQ(v.productId, "K41R");
  EXPECT_FALSE(v.mac.has_value());
  EXPECT_FALSE(v.hostName.has_value());

  EXPECT_EQ(ParseLoginReply("Firmware-Version=1046;Product-ID=K41R;MAC-Address=001122334455;", v),
            LoginParseResult::NoSession);
  EXPECT_EQ(ParseLoginReply("Session-ID=" + std::string(64, 's') + ";", v), LoginParseResult::SessionTooLong);
  EXPECT_EQ(ParseLoginReply("Session-ID=" + std::string(63, 's') + ";", v), LoginParseResult::Ok);
  EXPECT_EQ(v.sessionId.size(), 63u);
  EXPECT_EQ(ParseLoginReply("Session-ID=" + std::string(300, 's'), v), LoginParseResult::SessionTooLong);

  for (const char* code : {"K40R", "K41R", "K42R", "K43R", "K44R", "K45R", "K46R", "K47R"}) {
    EXPECT_TRUE(IsAcceptedModelCode(code)) << code;
  }
  for (const char* code : {"K48R", "k41r", "", "K41R "}) EXPECT_FALSE(IsAcceptedModelCode(code)) << code;
}

TEST(DeviceInfoReply, ControlDeviceEntries) {
  struct Case {
    const char* name;
    const char* reply;
    bool retrApplies;
    std::vector<Op> ops;
  } cases[] = {
      {"LINKDEVICE wins over MASTERNUM", "LINKDEVICE=20;MASTERNUM=2;MID=1;MTYPE=1;MID=5;MTYPE=8;", true,
       {AddOp(0, 0, 20, 2)}},
      {"master pairs", "MASTERNUM=2;MID=1;MTYPE=1;MID=5;MTYPE=8;", true,
       {AddOp(2400, 1, 11, 2), AddOp(2400, 5, 8, 2)}},
      {"missing key keeps the group before", "MASTERNUM=2;MID=1;MTYPE=8;MID=6;", true,
       {AddOp(2400, 1, 8, 2), AddOp(2400, 6, 8, 2)}},
      {"slave, no MULTICH", "SLAVENUM=1;SID=3;STYPE=1;SPROTOCOL=1;", true, {AddOp(2400, 3, 18, 4)}},
      {"slaves with MULTICH", "MULTICH=1;SLAVENUM=2;SID=3;STYPE=1;SPROTOCOL=0;SID=4;STYPE=7;SPROTOCOL=1;", true,
       {AddOp(2400, 3, 11, 2), AddOp(2400, 4, 7, 2)}},
      {"RETR resets to the recorder entry", "LINKDEVICE=21;RETR=1;", true,
       {AddOp(0, 0, 21, 2), ResetOp(), AddOp(0, 0, 23, 2), RetrOp(1)}},
      {"RETR after a master", "MASTERNUM=1;MID=2;MTYPE=14;RETR=0;", true,
       {AddOp(2400, 2, 14, 2), ResetOp(), AddOp(0, 0, 19, 2), RetrOp(0)}},
      {"RETR with an unknown linked type", "LINKDEVICE=5;RETR=1;SLAVENUM=1;SID=9;STYPE=2;", true,
       {AddOp(0, 0, 5, 2), ResetOp(), RetrOp(1), AddOp(2400, 9, 2, 4)}},
      {"RETR not applied", "LINKDEVICE=21;RETR=1;", false, {AddOp(0, 0, 21, 2)}},
      {"count larger than the groups", "SLAVENUM=3;SID=3;STYPE=5;", true,
       {AddOp(2400, 3, 5, 4), AddOp(2400, 3, 5, 4), AddOp(2400, 3, 5, 4)}},
      {"SID inside a value is not a group", "SLAVENUM=1;NOTE=SID=9;STYPE=5;", true, {AddOp(2400, 0, 5, 4)}},
      {"nothing", "LIFETIME=5;", true, {}},
  };
  for (const Case& c : cases) {
    DeviceInfoValues v;
    ParseDeviceInfoReply(c.reply, DeviceInfoScope::Full, c.retrApplies, "K41R", v);
    EXPECT_EQ(v.ops, c.ops) << c.name;
  }
}

// A taken RETR enters the recorder itself: by the linked type when LINKDEVICE names one, else
// by the model code (a recorder of the K41R family that reports RETR alone still gets its entry).
TEST(DeviceInfoReply, RetrEntersTheRecorderByLinkOrModel) {
  struct Case {
    const char* model;
    const char* reply;
    std::vector<Op> ops;
  } cases[] = {
      {"K41R", "RETR=1;", {ResetOp(), AddOp(0, 0, 19, 2), RetrOp(1)}},
      {"K42R", "RETR=0;", {ResetOp(), AddOp(0, 0, 22, 2), RetrOp(0)}},
      {"K43R", "RETR=1;", {ResetOp(), AddOp(0, 0, 23, 2), RetrOp(1)}},
      {"K41R", "MASTERNUM=1;MID=2;MTYPE=8;RETR=1;", {AddOp(2400, 2, 8, 2), ResetOp(), AddOp(0, 0, 19, 2), RetrOp(1)}},
      {"K40R", "RETR=1;", {ResetOp(), RetrOp(1)}},
      {"K44R", "RETR=1;", {ResetOp(), RetrOp(1)}},
      // With LINKDEVICE the linked type decides; on a real recorder both rules agree.
      {"K42R", "LINKDEVICE=20;RETR=1;", {AddOp(0, 0, 20, 2), ResetOp(), AddOp(0, 0, 22, 2), RetrOp(1)}},
      {"K41R", "LINKDEVICE=14;RETR=1;", {AddOp(0, 0, 14, 2), ResetOp(), AddOp(0, 0, 19, 2), RetrOp(1)}},
  };
  for (const Case& c : cases) {
    DeviceInfoValues v;
    ParseDeviceInfoReply(c.reply, DeviceInfoScope::Full, true, c.model, v);
    EXPECT_EQ(v.ops, c.ops) << c.model << " " << c.reply;
  }
}

TEST(DeviceInfoReply, ValuesByScope) {
  const char* reply =
      "LIFETIME=90;MULTICH=1;LINKDEVICE=20;VIDEOMODE=1;USERLEVEL=20;Boot-Version=B1;2041-Version=C2;"
      "FPGA-Version=F3;SLAVENUM=1;SID=1;STYPE=1;";
  DeviceInfoValues full, worker;
  ParseDeviceInfoReply(reply, DeviceInfoScope::Full, true, "K42R", full);
  ParseDeviceInfoReply(reply, DeviceInfoScope::Worker, true, "K42R", worker);
  for (const DeviceInfoValues* v : {&full, &worker}) {
    EXPECT_EQ(v->lifeTime, 90);
    EXPECT_EQ(v->videoMode, 1);
    EXPECT_EQ(v->userLevel, 20);
    EXPECT_EQ(v->linkDevice, 20);
    EXPECT_EQ(v->bootVersion, "B1");
    EXPECT_EQ(v->version2041, "C2");
    EXPECT_EQ(v->fpgaVersion, "F3");
  }
  EXPECT_EQ(full.multiChannel, 1);
  EXPECT_EQ(full.ops.size(), 2u);
  EXPECT_FALSE(worker.multiChannel.has_value());
  EXPECT_TRUE(worker.ops.empty());  // the worker reads LINKDEVICE and drops it

  DeviceInfoValues none;
  ParseDeviceInfoReply("", DeviceInfoScope::Full, true, "K41R", none);
  EXPECT_FALSE(none.lifeTime.has_value());
  EXPECT_FALSE(none.userLevel.has_value());
}

TEST(DeviceInfoReply, NewHeaderAndRetrRules) {
  struct Case {
    const char* model;
    const char* fw;
    bool newHeader;
  } cases[] = {{"K40R", "1006", true},  {"K40R", "1005", false}, {"K41R", "1046", true}, {"K41R", "1045", false},
               {"K42R", "2000", true},  {"K43R", "0999", false}, {"K47R", "0001", true}, {"K44R", "9999", false},
               {"K46R", "1046", false}, {"K41R", "104", true},   {"K40R", "", true},     {"K48R", "1046", false}};
  for (const Case& c : cases) EXPECT_EQ(WantsNewHeader(c.model, c.fw), c.newHeader) << c.model << " " << c.fw;

  EXPECT_TRUE(RetrKeyApplies("K41R", "1034", 0));
  EXPECT_FALSE(RetrKeyApplies("K41R", "1035", 0));
  EXPECT_TRUE(RetrKeyApplies("K41R", "1035", 0x1));
  EXPECT_FALSE(RetrKeyApplies("K43R", "1100", 0x2));
  EXPECT_TRUE(RetrKeyApplies("K40R", "1100", 0));
}

TEST(DeviceInfoReply, OpsReachTheTable) {
  CControlDeviceTable table;
  DeviceInfoValues v;
  ParseDeviceInfoReply("LINKDEVICE=21;RETR=1;", DeviceInfoScope::Full, true, "K43R", v);
  ApplyDeviceTableOps(v.ops, table);
  ASSERT_EQ(table.GetEntryCount(), 1);
  EXPECT_EQ(table.GetEntry(0).byType, 23);
  EXPECT_EQ(table.GetRetrState(), 1);
}

// ---- the login worker ---------------------------------------------------------------------------

namespace {

class Sink : public plat::MessageSink {
 public:
  void OnPostedMessage(unsigned msg, plat::WPARAM, plat::LPARAM lParam) override {
    std::lock_guard<std::mutex> lock(m);
    posted.emplace_back(msg, lParam);
    cv.notify_all();
  }
  std::vector<std::pair<unsigned, plat::LPARAM>> Posted() {
    std::lock_guard<std::mutex> lock(m);
    return posted;
  }
  std::mutex m;
  std::condition_variable cv;
  std::vector<std::pair<unsigned, plat::LPARAM>> posted;
};

class LoginWorkerTest : public RecorderFixture {
 protected:
  void SetUp() override {
    RecorderFixture::SetUp();
    hwnd_ = plat::RegisterMessageSink(&sink_);
    previous_ = plat::SetMessageBoxHandler([this](plat::HWND, const std::string& text, const std::string&, unsigned) {
      std::lock_guard<std::mutex> lock(sink_.m);
      // The order of posts and boxes matters: keep both in one list.
      boxes_.push_back(text);
      sink_.posted.emplace_back(0, 0);
      return plat::IDOK;
    });
    CreateLoginObject();
  }
  void TearDown() override {
    DestroyLoginObject();
    plat::SetMessageBoxHandler(previous_);
    plat::UnregisterMessageSink(hwnd_);
    RecorderFixture::TearDown();
  }
  plat::DWORD Run(const std::string& user, const std::string& password) {
    Login& login = *g_pLogin;
    login.m_pOwner = hwnd_;
    login.m_strServer = "127.0.0.1";
    login.m_strPort = std::to_string(recorder_.Port());
    login.m_strUser = user;
    login.m_strPassword = password;
    EXPECT_EQ(login.CreateThread(), 1);
    EXPECT_EQ(plat::WaitForSingleObject(login.m_hThread, 10000), plat::WAIT_OBJECT_0);
    plat::DWORD code = 0;
    plat::GetExitCodeThread(login.m_hThread, &code);
    return code;
  }
  Sink sink_;
  plat::HWND hwnd_ = 0;
  plat::MessageBoxHandler previous_;
  std::vector<std::string> boxes_;
};

}  // namespace

TEST_F(LoginWorkerTest, GoodLoginStoresIdentityAndPostsSuccess) {
  app_->CSettingINI.m_wWebPort = 1;  // the worker takes the port from its own fields
  app_->CSettingINI.m_nImageResolution = 2;
  app_->CSettingINI.m_nAlarmTriggerQuality = 3;
  recorder_.SetDeviceInfo("LIFETIME=45;VIDEOMODE=1;USERLEVEL=20;LINKDEVICE=21;Boot-Version=BB;");
  EXPECT_EQ(Run("admin", "1234"), 1u);
  EXPECT_EQ(sink_.Posted(), (std::vector<std::pair<unsigned, plat::LPARAM>>{{WM_LOGINFINISHED, 1}}));
  EXPECT_TRUE(boxes_.empty());
  const fake::Identity id = recorder_.GetIdentity();
  EXPECT_EQ(GetSessionId(), id.sessionId);
  EXPECT_EQ(app_->GetFWVersion(), id.firmware);
  EXPECT_EQ(app_->GetProductID(), id.productId);
  EXPECT_EQ(app_->sz_MacAddress.Text(), id.mac);
  EXPECT_EQ(app_->strHostName.Get(), id.hostName);
  EXPECT_EQ(app_->dw_LifeTime.load(), 45);
  EXPECT_EQ(app_->by_VideoMode.load(), 1);
  EXPECT_EQ(app_->w_UserLevel.load(), 20);
  EXPECT_EQ(app_->strBootVersion.Get(), "BB");
  EXPECT_EQ(app_->C_ControlD.GetEntryCount(), 0);  // LINKDEVICE dropped
  EXPECT_EQ(app_->CSettingINI.m_wLastMAC1.load(), 0);  // the worker keeps no MAC words
  EXPECT_EQ(app_->CSettingINI.m_wWebPort.load(), recorder_.Port());
  const auto requests = recorder_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target(), "/Login.cgi?Username=admin&Password=1234");
  EXPECT_EQ(requests[1].target(), "/Getdeviceinfo.cgi?Cookie=" + id.sessionId + "&RES=2&QUA=3");
}

TEST_F(LoginWorkerTest, FailuresPostMinusOneThenShowTheError) {
  struct Case {
    const char* name;
    std::function<void(fake::FakeRecorder&)> setup;
    const char* password;
  } cases[] = {
      {"wrong password", [](fake::FakeRecorder&) {}, "nope"},
      {"busy", [](fake::FakeRecorder& r) { r.SetLoginBusy(true); }, "1234"},
      {"no session", [](fake::FakeRecorder& r) {
         fake::RawReply raw;
         raw.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 16\r\n\r\nProduct-ID=K41R;";
         r.SetRawReply("/Login.cgi", raw);
       }, "1234"},
      {"device information refused", [](fake::FakeRecorder& r) {
         fake::RawReply raw;
         raw.bytes = "HTTP/1.1 500 Error\r\n\r\n";
         r.SetRawReply("/Getdeviceinfo.cgi", raw);
       }, "1234"},
      {"empty device information", [](fake::FakeRecorder& r) {
         fake::RawReply raw;
         raw.bytes = "HTTP/1.1 200 OK\r\n\r\n";
         r.SetRawReply("/Getdeviceinfo.cgi", raw);
       }, "1234"},
  };
  for (const Case& c : cases) {
    fake::FakeRecorder& r = recorder_;
    r.SetLoginBusy(false);
    r.ClearRawReply("/Login.cgi");
    r.ClearRawReply("/Getdeviceinfo.cgi");
    c.setup(r);
    sink_.posted.clear();
    boxes_.clear();
    EXPECT_EQ(Run("admin", c.password), 0u) << c.name;
    // Posted first, then the message box.
    EXPECT_EQ(sink_.Posted(), (std::vector<std::pair<unsigned, plat::LPARAM>>{{WM_LOGINFINISHED, -1}, {0, 0}}))
        << c.name;
    EXPECT_EQ(boxes_, std::vector<std::string>{"Login error !!"}) << c.name;
  }
}

TEST_F(LoginWorkerTest, EmptyCredentialsShowAMessageAndPostNothing) {
  EXPECT_EQ(Run("", "1234"), 0u);
  EXPECT_EQ(Run("admin", ""), 0u);
  EXPECT_EQ(boxes_, (std::vector<std::string>{"Username or password is not correct",
                                              "Username or password is not correct"}));
  EXPECT_EQ(sink_.Posted().size(), 2u);  // the two boxes, no post
  EXPECT_EQ(recorder_.RequestCount(), 0u);
}

TEST_F(LoginWorkerTest, StoreLoginReplyKeepsAbsentKeysAndMacWords) {
  app_->strHostName.Set("old-host");
  app_->sz_MacAddress.Set("FFFFFFFFFFFF");
  LoginReplyValues v;
  ASSERT_EQ(ParseLoginReply("Session-ID=S9;Firmware-Version=1046;Product-ID=K41R;", v), LoginParseResult::Ok);
  StoreLoginReply(v, true);
  EXPECT_EQ(GetSessionId(), "S9");
  EXPECT_EQ(app_->strHostName.Get(), "old-host");
  EXPECT_EQ(app_->sz_MacAddress.Text(), "FFFFFFFFFFFF");

  ASSERT_EQ(ParseLoginReply("Session-ID=S9;MAC-Address=0011223344C8A1FF;", v), LoginParseResult::Ok);
  StoreLoginReply(v, true);
  EXPECT_EQ(app_->sz_MacAddress.Text(), "0011223344C8");
  EXPECT_EQ(app_->CSettingINI.m_wLastMAC1.load(), 0x44);
  EXPECT_EQ(app_->CSettingINI.m_wLastMAC2.load(), 0xC8);

  app_->CSettingINI.m_wLastMAC1 = 7;
  ASSERT_EQ(ParseLoginReply("Session-ID=S9;MAC-Address=00112233ZZ;", v), LoginParseResult::Ok);
  StoreLoginReply(v, true);
  EXPECT_EQ(app_->CSettingINI.m_wLastMAC1.load(), 7);  // not six bytes: the words stay
}

// ---- the device-information request -------------------------------------------------------------

class DeviceInfoRequestTest : public RecorderFixture {};

TEST_F(DeviceInfoRequestTest, CarriesTheSettingsAndChannelAndReadsTheReply) {
  UseSession();
  app_->CSettingINI.m_nImageResolution = 1;
  app_->CSettingINI.m_nAlarmTriggerQuality = 2;
  recorder_.SetDeviceInfo("LIFETIME=45;MULTICH=1;");
  const std::string cookie = "Cookie=" + recorder_.GetIdentity().sessionId;
  const struct {
    const char* model;  // a K47R always asks for the newer header, a K43R below 1046 never
    std::uint8_t channel;
    const char* target;
    int newHeader;
  } cases[] = {{"K47R", 3, "&RES=1&QUA=2&CH=3&NEWHR=1", 1}, {"K43R", 0, "&RES=1&QUA=2&CH=0", 0}};
  for (const auto& c : cases) {
    app_->SetProductID(c.model);
    app_->SetFWVersion("1000");
    recorder_.ClearRequests();
    std::uint8_t reply[64] = {};
    plat::DWORD length = 0;
    ASSERT_EQ(RequestDeviceInfo(c.channel, reply, sizeof reply, &length, 15), 1) << c.model;
    EXPECT_EQ(ReplyText(reply, length), "LIFETIME=45;MULTICH=1;") << c.model;
    EXPECT_EQ(app_->m_RTPH_Struct.f_NewHeader.load(), c.newHeader) << c.model;
    const auto requests = recorder_.Requests();
    ASSERT_EQ(requests.size(), 1u) << c.model;
    EXPECT_EQ(requests[0].target(), "/Getdeviceinfo.cgi?" + cookie + c.target) << c.model;
  }

  recorder_.FailCommand("/Getdeviceinfo.cgi", true);
  std::uint8_t reply[64] = {};
  plat::DWORD length = 0;
  EXPECT_EQ(RequestDeviceInfo(1, reply, sizeof reply, &length, 15), 0);
}
