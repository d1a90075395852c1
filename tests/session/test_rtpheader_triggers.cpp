// The frame-header parser's actions: alarm sound messages, alarm recording, channel switch,
// recorder clock, state bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/AppRecord.h"
#include "core/Messages.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "session/ControlDeviceTable.h"
#include "session/RtpHeader.h"
#include "test_stream_wire.h"
#include "tests/support/TempDir.h"

namespace {

struct Posted {
  unsigned msg;
  plat::WPARAM w;
  plat::LPARAM l;
};

class TriggerSink : public plat::MessageSink {
 public:
  void OnPostedMessage(unsigned msg, plat::WPARAM w, plat::LPARAM l) override {
    std::lock_guard<std::mutex> lock(m);
    got.push_back({msg, w, l});
  }
  std::vector<Posted> Take() {
    std::lock_guard<std::mutex> lock(m);
    auto out = got;
    got.clear();
    return out;
  }
  std::mutex m;
  std::vector<Posted> got;
};

class Window : public IMainWindow {
 public:
  explicit Window(plat::HWND h) : hwnd(h) {}
  plat::HWND GetHwnd() const override { return hwnd; }
  void ShowImage() override {}
  int SetStatusText(const std::string& t) override {
    status.push_back(t);
    return 1;
  }
  void ChangeItemPositionForDeviceModified() override {}
  void RelayoutControls() override {}
  void ClearOnlineUserText() override {}
  void ClearAlarmInputText() override {}
  void SetRetrButtonState(bool) override {}
  void ResetPtzModeButton() override {}
  void DeleteDisplayContext() override {}
  void SwitchLayout(int) override {}
  plat::HWND hwnd;
  std::vector<std::string> status;
};

class Bar : public IChannelBar {
 public:
  int SwitchChannel(plat::BYTE ch) override {
    switched.push_back(ch);
    return 1;
  }
  void SetCurrentChannel(plat::BYTE) override {}
  void Arrange() override {}
  plat::BYTE GetCurrentChannel() const override { return 0; }
  int GetChannelCount() const override { return 0; }
  std::vector<int> switched;
};

class Toolbar : public ISensorToolBar {
 public:
  explicit Toolbar(plat::HWND h) : hwnd(h) {}
  plat::HWND GetHwnd() const override { return hwnd; }
  plat::HWND hwnd;
};

class HeaderTriggers : public ::testing::Test {
 protected:
  void SetUp() override {
    app = new AppRecord();
    app->ApplyStartValues();
    g_lpApp = app;
    mainHwnd = plat::RegisterMessageSink(&mainSink);
    toolHwnd = plat::RegisterMessageSink(&toolSink);
    window = std::make_unique<Window>(mainHwnd);
    toolbar = std::make_unique<Toolbar>(toolHwnd);
    app->h_MainDialogHandle = mainHwnd;
    app->lp_MainDialog = window.get();
    app->C_ChannelBar = &bar;
    app->C_CmosToolBar = toolbar.get();
    temp = std::make_unique<TempDir>("triggers");
    folder = temp->path();
    app->CSettingINI.m_strRecordPath.Set(folder.string());
  }
  void TearDown() override {
    StopRecorder();
    plat::UnregisterMessageSink(mainHwnd);
    plat::UnregisterMessageSink(toolHwnd);
    g_lpApp = nullptr;
    delete app;
    temp.reset();
  }

  // The alarm recorder with its thread, so that StartRecord can create files.
  void StartRecorder() {
    endEvent = plat::CreateEvent(true, false);
    app->h_EndofGetJpegImageEvent = endEvent;
    ASSERT_TRUE(app->C_RecordFrameRing.AllocateBuffer());
    ASSERT_TRUE(app->C_AlarmRecord.AllocateBuffer());
    ASSERT_TRUE(app->C_AlarmRecord.CreateResource());
    ASSERT_TRUE(app->C_AlarmRecord.CreateThread(0));
    recorder = true;
  }
  void StopRecorder() {
    if (!recorder) return;
    app->C_AlarmRecord.StopRecord();
    plat::SetEvent(endEvent);
    app->C_AlarmRecord.ExitThread();
    app->C_AlarmRecord.ReleaseResource();
    app->C_AlarmRecord.FreeBuffer();
    app->C_RecordFrameRing.FreeBuffer();
    app->h_EndofGetJpegImageEvent = 0;
    plat::CloseHandle(endEvent);
    recorder = false;
  }

  void Device(const char* model, bool trigger, bool v1) {
    app->SetProductID(model);
    app->CSettingINI.m_byAlarmTriggerRecord = trigger ? 1 : 0;
    app->m_RTPH_Struct.f_NewHeader = v1 ? 1 : 0;
  }

  RtpFrameHeader Feed(const wire::Hdr& h) {
    const bool v1 = app->m_RTPH_Struct.f_NewHeader.load() != 0;
    auto b = v1 ? wire::V1(h) : wire::V0(h);
    plat::DWORD H = 0;
    RtpFrameHeader slot;
    slot.dwFrameLength = 0xDEAD;
    EXPECT_EQ(app->m_RTPH_Struct.Parse(b.data(), b.size(), &H, &slot), 1);
    EXPECT_EQ(H, b.size());
    return slot;
  }

  // The WM_POSTALARMAUDIO actions posted to the main window, in order.
  std::vector<int> AlarmAudio() {
    std::vector<int> out;
    for (const auto& p : mainSink.Take())
      if (p.msg == WM_POSTALARMAUDIO) out.push_back(static_cast<int>(p.l));
    return out;
  }

  AppRecord* app = nullptr;
  TriggerSink mainSink, toolSink;
  plat::HWND mainHwnd = 0, toolHwnd = 0;
  std::unique_ptr<Window> window;
  std::unique_ptr<Toolbar> toolbar;
  Bar bar;
  std::unique_ptr<TempDir> temp;
  std::filesystem::path folder;
  plat::HANDLE endEvent = 0;
  bool recorder = false;
};

wire::Hdr Alarm(std::uint16_t w) {
  wire::Hdr h;
  h.hasAlarm = true;
  h.alarm = w;
  return h;
}

TEST_F(HeaderTriggers, SoundAndRecordingFollowTheWords) {
  StartRecorder();
  for (bool v1 : {false, true}) {
    Device("K40R", true, v1);
    // A present word of 0 starts the sound but no recording.
    Feed(Alarm(0));
    EXPECT_EQ(AlarmAudio(), (std::vector<int>{msg::ALARM_AUDIO_START}));
    EXPECT_EQ(app->C_AlarmRecord.m_fFileOpen.load(), 0);
    // A non-zero word records; while the sound is on no further start is posted.
    app->f_AlarmAudioOn = 1;
    Feed(Alarm(0x0004));
    EXPECT_EQ(AlarmAudio(), std::vector<int>{});
    EXPECT_EQ(app->C_AlarmRecord.m_fFileOpen.load(), 1);
    // The word type disappears: stop message, recording stopped.
    Feed(wire::Hdr{});
    EXPECT_EQ(AlarmAudio(), (std::vector<int>{msg::ALARM_AUDIO_STOP}));
    EXPECT_EQ(app->C_AlarmRecord.m_fFileOpen.load(), 0);
    EXPECT_EQ(app->m_RTPH_Struct.m_dwAlarmType.load(), 0u);
    app->f_AlarmAudioOn = 0;
  }
  // The recording left a file in the record folder.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    files += e.path().filename().string().rfind("ALARM_MJPEG_", 0) == 0;
  EXPECT_GE(files, 1);
}

// The sections are looked at in the format's order: V1 motion, alarm, third; V0 alarm, motion,
// third. After motion was last seen, a header with only the alarm word ends the motion alarm
// in V1 (stop is not posted because start wins), and in V0 nothing ends.
TEST_F(HeaderTriggers, SectionOrderDecidesAlarmEnded) {
  for (bool v1 : {true, false}) {
    Device("K44R", true, v1);
    app->m_RTPH_Struct.m_dwAlarmType = kAlarmTypeMotion;
    Feed(Alarm(1));
    EXPECT_EQ(AlarmAudio(), (std::vector<int>{msg::ALARM_AUDIO_START})) << v1;
    EXPECT_EQ(app->m_RTPH_Struct.m_dwAlarmType.load(), kAlarmTypeAlarm);
    // With the sound on, the same situation posts the stop in V1 only.
    app->f_AlarmAudioOn = 1;
    app->m_RTPH_Struct.m_dwAlarmType = kAlarmTypeMotion;
    Feed(Alarm(0));
    EXPECT_EQ(AlarmAudio(), v1 ? std::vector<int>{msg::ALARM_AUDIO_STOP} : std::vector<int>{}) << v1;
    app->f_AlarmAudioOn = 0;
  }
}

TEST_F(HeaderTriggers, DevicesThatDoNotQualifyOnlySwitchAndKeepTheClock) {
  struct Case {
    const char* model;
    bool specialEntry;
    bool trigger;
    bool expectSound;
  } cases[] = {
      {"K41R", false, true, false},  // DVR without a qualifying control-device entry
      {"K41R", true, true, true},    // ... with one (device type 19, video)
      {"K47R", false, true, false},
      {"K45R", false, true, true},
      {"K40R", false, false, false},  // trigger switch off
  };
  for (const auto& c : cases) {
    app->C_ControlD.Reset();
    if (c.specialEntry) app->C_ControlD.Add(0, 0, 19, CDF_VIDEO);
    Device(c.model, c.trigger, true);
    app->by_MultiChannel = 1;
    app->CSettingINI.m_byAlarmAutoSwitchVideo = 1;
    app->m_RTPH_Struct.m_dwAlarmType = 0;
    bar.switched.clear();
    wire::Hdr h;
    h.length = 100;  // K47R counts the header in it
    h.hasMotion = true;
    h.motion = 0x0024;
    h.hasDateTime = true;
    h.dateTime = 476227011u + static_cast<std::uint32_t>(&c - cases);
    Feed(h);
    EXPECT_EQ(AlarmAudio().size(), c.expectSound ? 1u : 0u) << c.model << c.specialEntry;
    const bool k41 = std::string(c.model) == "K41R";
    EXPECT_EQ(bar.switched, k41 ? std::vector<int>{3} : std::vector<int>{}) << c.model;
    EXPECT_EQ(app->st_DvrTime.Get().wYear, 2007);
    EXPECT_EQ(app->st_DvrTime.Get().wSecond, 3 + (&c - cases));
  }
  // No automatic switch on a single-channel device or with the switch off.
  app->by_MultiChannel = 0;
  bar.switched.clear();
  wire::Hdr h;
  h.hasMotion = true;
  h.motion = 0x8000;
  Device("K41R", true, true);
  Feed(h);
  app->by_MultiChannel = 1;
  app->CSettingINI.m_byAlarmAutoSwitchVideo = 0;
  Feed(h);
  EXPECT_TRUE(bar.switched.empty());
  app->CSettingINI.m_byAlarmAutoSwitchVideo = 1;
  Feed(h);
  EXPECT_EQ(bar.switched, std::vector<int>{16});
}

TEST_F(HeaderTriggers, ClockStateBytesAndOnlineUsers) {
  Device("K47R", false, true);
  wire::Hdr h;
  h.hasDateTime = true;
  h.dateTime = 476227011u;
  h.hasSensor = true;
  h.sensor = 0x83;
  h.backupNotice = true;
  h.hasOnlineText = true;
  std::memcpy(h.onlineText, "2 users\0\0\0\0\0\0\0\0", 16);
  h.onlineCount = 2;
  h.length = 500;  // counts the header on K47R
  mainSink.Take();
  auto slot = Feed(h);
  EXPECT_LT(slot.dwFrameLength, 500u);
  Feed(h);  // same clock: no second hover check
  int hovers = 0;
  for (const auto& p : mainSink.Take()) hovers += p.msg == WM_CHECKSTATUSHOVER;
  EXPECT_EQ(hovers, 1);
  auto tool = toolSink.Take();
  ASSERT_EQ(tool.size(), 2u);
  EXPECT_EQ(tool[0].msg, WM_SENSORSTATE);
  EXPECT_EQ(tool[0].w, 0x83u);
  EXPECT_EQ(window->status, (std::vector<std::string>{"Network backup,stop video!!", "Network backup,stop video!!"}));
  EXPECT_EQ(app->m_RTPH_Struct.GetOnlineUserText(), "2 users");
  EXPECT_EQ(app->by_OnlineUsers.load(), 2);
  // The sensor byte goes to the toolbar on K47R only.
  Device("K44R", false, true);
  Feed(h);
  EXPECT_TRUE(toolSink.Take().empty());
}

// The panel-mode byte recomputes the trigger switch where it stands: before the alarm
// sections in V0, after them in V1.
TEST_F(HeaderTriggers, PanelModeActsInHeaderOrder) {
  for (bool v1 : {false, true}) {
    Device("K40R", false, v1);
    app->CSettingINI.m_byRetrAlarmRecord = 1;
    app->C_ControlD.SetRetrState(0);
    app->CSettingINI.m_byAlarmTriggerRecord = 0;
    app->m_RTPH_Struct.m_dwAlarmType = 0;
    wire::Hdr h = Alarm(0);
    h.hasPanel = true;
    h.panel = 1;
    Feed(h);
    EXPECT_EQ(app->CSettingINI.m_byAlarmTriggerRecord.load(), 1) << v1;
    EXPECT_EQ(AlarmAudio().size(), v1 ? 0u : 1u) << v1;
  }
}

TEST_F(HeaderTriggers, RejectedHeaderActsOnNothing) {
  Device("K40R", true, true);
  wire::Hdr h = Alarm(1);
  h.version = 3;
  auto b = wire::V1(h);
  plat::DWORD H = 77;
  RtpFrameHeader slot;
  slot.dwFrameLength = 5;
  EXPECT_EQ(app->m_RTPH_Struct.Parse(b.data(), b.size(), &H, &slot), 0);
  EXPECT_EQ(H, 77u);
  EXPECT_EQ(slot.dwFrameLength, 5u);
  EXPECT_TRUE(AlarmAudio().empty());
  EXPECT_EQ(app->m_RTPH_Struct.AckAlarm(), 0);
  Feed(Alarm(9));
  EXPECT_EQ(app->m_RTPH_Struct.AckAlarm(), 1);
  EXPECT_EQ(app->m_RTPH_Struct.m_wAlarmData.load(), 0);
}

}  // namespace
