// The main window's operator commands against the fake recorder: side buttons, the fold-out
// panel's keys, R.E.T.R., power, pan-tilt-zoom mode, the hot point, the colour popup and the
// image-sensor toolbar.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/Messages.h"
#include "core/Strings.h"
#include "mainwnd/CmosToolBarDlg.h"
#include "mainwnd/ColorSettingDlg.h"
#include "mainwnd/Layout.h"
#include "mainwnd/ModalTools.h"
#include "mainwnd/SelectPtzDlg.h"
#include "mainwnd/SystemSheet.h"
#include "mainwnd/TrelvixDlg.h"
#include "mainwnd_fixture.h"
#include "session/CtrlFile.h"
#include "session/DeviceTypes.h"
#include "session/Rs485.h"
#include "ui/VtxButton.h"

namespace {

using mwtest::PanelFixture;
using mwtest::RecordFixture;

std::string Hex(const std::string& s) {
  std::string out;
  char buf[4];
  for (unsigned char c : s) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

class OpsTest : public PanelFixture {
 protected:
  void SetUp() override {
    PanelFixture::SetUp();
    if (!app_) return;
    app_->by_TurboRepeatStep = 5;
  }

  bool Init(const std::string& model, const std::string& info, const std::string& firmware = "1046") {
    app_->C_ControlD.Reset();
    Device(model, firmware, info);
    dlg_ = std::make_unique<CTrelvixDlg>();
    dlg_->SetWorkAreaForTest(QRect(0, 0, 1280, 1000));
    const bool ok = dlg_->OnInitDialog();
    Pump();
    fake_.ClearRequests();
    return ok;
  }
  void Pump() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }
  void Press(int id) {
    dlg_->Command(id);
    Pump();
  }
  std::vector<std::string> Targets() const {
    std::vector<std::string> v;
    for (const auto& r : fake_.Requests()) v.push_back(r.target());
    return v;
  }
  std::vector<std::string> Paths() const {
    std::vector<std::string> v;
    for (const auto& r : fake_.Requests()) v.push_back(r.path);
    return v;
  }
  std::string LastRs485() const {
    const auto bodies = fake_.Rs485Bodies();
    return bodies.empty() ? std::string("none") : Hex(bodies.back());
  }
  std::string Cookie() const { return "Cookie=" + fake_.GetIdentity().sessionId; }
  // The recorder itself (type `type`) current, with `ptz` PTZ entries behind it.
  void RecorderWithPtz(std::uint8_t type, int ptz) {
    app_->C_ControlD.Reset();
    app_->C_ControlD.Add(0, 0, type, CDF_VIDEO);
    for (int i = 0; i < ptz; ++i) app_->C_ControlD.Add(2400, static_cast<std::uint8_t>(i + 1), 0, CDF_PTZ);
    app_->C_ControlD.MakeCurrent(CDF_VIDEO, 0);
  }
  void Running(bool on) { app_->f_VideoRunning = on ? 1 : 0; }

};

// ---- side buttons --------------------------------------------------------------------------------

TEST_F(OpsTest, CommandsThatNeedARunningPictureSayConnectFirst) {
  ASSERT_TRUE(Init("K44R", "USERLEVEL=30;"));
  Running(false);
  for (int id : {IDC_RECORD, IDC_SNAPSHOT, IDC_COLOR, IDC_SYSTEM_CONFIG}) Press(id);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>(4, LoadStr(4085)));
  EXPECT_TRUE(fake_.Requests().empty());
  EXPECT_EQ(app_->f_SnapshotRequest.load(), 0);
  Running(true);
  Press(IDC_SNAPSHOT);
  EXPECT_EQ(app_->f_SnapshotRequest.load(), 1);
}

TEST_F(OpsTest, ConfigurationWithoutARegisteredSheetSaysSo) {
  ASSERT_TRUE(Init("K44R", "USERLEVEL=30;"));
  Running(true);
  ISystemSheetFactory* previous = GetSystemSheetFactory();
  SetSystemSheetFactory(nullptr);
  Press(IDC_SYSTEM_CONFIG);
  SetSystemSheetFactory(previous);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{"Dialog box could not be created!"});
  EXPECT_TRUE(fake_.Requests().empty());  // nothing read
  EXPECT_EQ(app_->f_SystemDialogOpen.load(), 0);
}

TEST_F(OpsTest, ResolutionAndQualityRequestsAndRestore) {
  struct Case {
    const char* name;
    int button;
    int start;
    bool fail;
    int after;
    const char* sent;  // the query after the cookie, "" for no request
    unsigned message;  // 0: none
  };
  const Case cases[] = {
      {"VGA to QVGA", IDC_RESOLUTION, 0, false, 1, "RES=1", 0},
      {"QVGA to VGA", IDC_RESOLUTION, 1, false, 0, "RES=0", 0},
      {"value 2 sends nothing", IDC_RESOLUTION, 2, false, 2, "", 0},
      {"failed resolution restores", IDC_RESOLUTION, 0, true, 0, "RES=1", 4066},
      {"quality 0 to 1", IDC_QUALITY, 0, false, 1, "QUA=1", 0},
      {"quality 1 to 2", IDC_QUALITY, 1, false, 2, "QUA=2", 0},
      {"quality 2 to 0", IDC_QUALITY, 2, false, 0, "QUA=0", 0},
      {"quality 7 sends nothing", IDC_QUALITY, 7, false, 7, "", 0},
      {"failed quality restores", IDC_QUALITY, 1, true, 1, "QUA=2", 4011},
  };
  ASSERT_TRUE(Init("K47R", "USERLEVEL=30;"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto& setting = c.button == IDC_RESOLUTION ? app_->CSettingINI.m_nImageResolution
                                               : app_->CSettingINI.m_nAlarmTriggerQuality;
    const char* path = c.button == IDC_RESOLUTION ? "/Setresolution.cgi" : "/Setquality.cgi";
    setting = c.start;
    fake_.FailCommand(path, c.fail);
    fake_.ClearRequests();
    const std::size_t boxes = boxes_.Texts().size();
    Press(c.button);
    EXPECT_EQ(setting.load(), c.after);
    if (*c.sent) {
      EXPECT_EQ(Targets(), std::vector<std::string>{std::string(path) + "?" + Cookie() + "&" + c.sent});
    } else {
      EXPECT_TRUE(fake_.Requests().empty());
    }
    if (*c.sent) {
      EXPECT_EQ(dlg_->Button(c.button)->m_wImageIndex, c.after);
    }
    const auto texts = boxes_.Texts();
    if (c.message) {
      ASSERT_EQ(texts.size(), boxes + 1);
      EXPECT_EQ(texts.back(), LoadStr(c.message));
    } else {
      EXPECT_EQ(texts.size(), boxes);
    }
    fake_.FailCommand(path, false);
  }
}

// ---- colour --------------------------------------------------------------------------------------

TEST_F(OpsTest, ColourCommandHandsTheDeviceValuesToThePopup) {
  struct Case {
    const char* model;
    const char* info;
    fake::FakeRecorder::Color reply;
    int bri, con, hue;  // device values handed over
    int shownBri, shownCon, shownHue;
  };
  const Case cases[] = {
      {"K47R", "USERLEVEL=30;", {128, 0, 200}, 0, 128, 200, 128, 128, 72},
      {"K41R", "USERLEVEL=30;MULTICH=1;", {128, 0, 200}, 0, 128, 200, 0, 128, 200},
      {"K44R", "USERLEVEL=30;", {std::nullopt, 5, std::nullopt}, 5, 128, 0, 133, 128, 128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    ASSERT_TRUE(Init(c.model, c.info));
    Running(true);
    fake_.SetColor(c.reply);
    int runs = 0;
    dlg_->runColorPopup = [&](CColorSettingDlg& popup) {
      ++runs;
      EXPECT_EQ(popup.m_nDeviceBrightness, c.bri);
      EXPECT_EQ(popup.m_nDeviceContrast, c.con);
      EXPECT_EQ(popup.m_nDeviceHue, c.hue);
      ASSERT_TRUE(popup.OnInitDialog());
      EXPECT_EQ(popup.Edit(CColorSettingDlg::IDC_EDIT_BRIGHTNESS)->text().toInt(), c.shownBri);
      EXPECT_EQ(popup.Edit(CColorSettingDlg::IDC_EDIT_CONTRAST)->text().toInt(), c.shownCon);
      EXPECT_EQ(popup.Edit(CColorSettingDlg::IDC_EDIT_HUE)->text().toInt(), c.shownHue);
      EXPECT_EQ(popup.Slider(CColorSettingDlg::IDC_SLIDER_HUE)->value(), c.shownHue);
      // Applying unchanged values sends the device's values back.
      popup.OnOK();
    };
    Press(IDC_COLOR);
    EXPECT_EQ(runs, 1);
    const auto color = fake_.GetColor();
    EXPECT_EQ(color.brightness.value_or(-1), c.bri);
    EXPECT_EQ(color.contrast.value_or(-1), c.con);
    EXPECT_EQ(color.hue.value_or(-1), c.hue);
    dlg_.reset();
  }
  EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(OpsTest, ColourRequestFailuresSayTimeout) {
  ASSERT_TRUE(Init("K47R", "USERLEVEL=30;"));
  Running(true);
  int runs = 0;
  dlg_->runColorPopup = [&](CColorSettingDlg& popup) {
    ++runs;
    popup.OnInitDialog();
    fake_.FailCommand("/SetColor.cgi", true);
    popup.OnOK();
  };
  fake_.FailCommand("/GetColor.cgi", true);
  Press(IDC_COLOR);
  EXPECT_EQ(runs, 0);
  fake_.FailCommand("/GetColor.cgi", false);
  Press(IDC_COLOR);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>(2, LoadStr(4064)));
}

TEST_F(OpsTest, ColourPopupEditsSlidersDefaultsAndKeys) {
  ASSERT_TRUE(Init("K44R", "USERLEVEL=30;"));
  CColorSettingDlg popup;
  popup.m_nDeviceBrightness = 0;
  popup.m_nDeviceContrast = 128;
  popup.m_nDeviceHue = 0;
  ASSERT_TRUE(popup.OnInitDialog());
  EXPECT_EQ(popup.size(), QSize(304, 196));
  // The panel behind the rows is painted light grey; the title bar is the skin's.
  const QImage face = popup.grab().toImage();
  EXPECT_EQ(face.pixel(150, 100) & 0xFFFFFF, 0xDDDDDDu);
  EXPECT_NE(face.pixel(150, 10) & 0xFFFFFF, 0xDDDDDDu);
  EXPECT_FALSE(popup.Slider(CColorSettingDlg::IDC_SLIDER_SATURATION)->isVisibleTo(&popup));
  QLineEdit* hue = popup.Edit(CColorSettingDlg::IDC_EDIT_HUE);
  struct Typed {
    const char* text;
    const char* shown;
  };
  for (const Typed& t : {Typed{"12a", "12"}, Typed{"999", "255"}, Typed{"", "255"}, Typed{"7", "7"}}) {
    hue->setText(t.text);
    popup.OnChangeEdit(2);
    EXPECT_EQ(hue->text().toStdString(), t.shown) << t.text;
    EXPECT_EQ(popup.Slider(CColorSettingDlg::IDC_SLIDER_HUE)->value(), std::stoi(t.shown)) << t.text;
  }
  // A click on the track beside the thumb moves by the page size, once.
  QSlider* bri = popup.Slider(CColorSettingDlg::IDC_SLIDER_BRIGHTNESS);
  const int before = bri->value();
  bri->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(popup.Edit(CColorSettingDlg::IDC_EDIT_BRIGHTNESS)->text().toInt(), before + 10);
  // Default shows the model's values and sends nothing.
  fake_.ClearRequests();
  popup.Command(CColorSettingDlg::IDC_DEFAULT);
  EXPECT_EQ(popup.Edit(CColorSettingDlg::IDC_EDIT_BRIGHTNESS)->text().toInt(), 175);
  EXPECT_EQ(popup.Edit(CColorSettingDlg::IDC_EDIT_CONTRAST)->text().toInt(), 150);
  EXPECT_EQ(hue->text().toInt(), 130);
  EXPECT_TRUE(fake_.Requests().empty());
  // Enter applies and keeps the popup open; Escape closes it without sending.
  popup.show();
  QTest::keyClick(&popup, Qt::Key_Return);
  Pump();
  EXPECT_TRUE(popup.isVisible());
  EXPECT_EQ(Targets(), std::vector<std::string>{"/SetColor.cgi?" + Cookie() + "&CON=150&BRI=47&HUE=2"});
  QTest::keyClick(&popup, Qt::Key_Escape);
  Pump();
  EXPECT_FALSE(popup.isVisible());
  EXPECT_EQ(fake_.Requests().size(), 1u);
}

// ---- the panel ----------------------------------------------------------------------------------

TEST_F(OpsTest, PanelOpensToItsSizeAndShowsKeysByFlagsAndLevel) {
  struct Case {
    const char* info;
    bool alarmKey, lockKey;  // key 61 (administrators only), key 44 (access level)
  };
  const Case cases[] = {
      {"USERLEVEL=30;", true, true},
      {"USERLEVEL=20;", false, true},
      {"USERLEVEL=10;", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.info);
    ASSERT_TRUE(Init("K43R", c.info, "1030"));
    // A device of type 15 is current.
    app_->C_ControlD.Reset();
    app_->C_ControlD.Add(0, 0, 15, CDF_VIDEO);
    app_->C_ControlD.MakeCurrent(CDF_VIDEO, 0);
    Press(IDC_CAMERA_TOOL);
    const LayoutRow& L = LayoutRowOf(app_->w_LayoutMode.load());
    EXPECT_TRUE(dlg_->IsPanelOpen());
    EXPECT_EQ(dlg_->size(), QSize(L[LV_WINDOW_OPEN + 2] - L[LV_WINDOW_OPEN], L[LV_WINDOW_OPEN + 3] - L[LV_WINDOW_OPEN + 1]));
    EXPECT_EQ(dlg_->PanelKeyButton(PK_ALARM)->isVisibleTo(dlg_.get()), c.alarmKey);
    EXPECT_EQ(dlg_->PanelKeyButton(PK_LOCK)->isVisibleTo(dlg_.get()), c.lockKey);
    const DeviceRect r = KeyRect(15, PK_LOCK, static_cast<int>(app_->w_LayoutMode.load()));
    EXPECT_EQ(dlg_->PanelKeyButton(PK_LOCK)->geometry(), QRect(r.left, r.top, r.Width(), r.Height()));
    Press(IDC_CAMERA_TOOL_DOWN);
    EXPECT_FALSE(dlg_->IsPanelOpen());
    EXPECT_EQ(dlg_->size(), QSize(L[LV_WINDOW + 2] - L[LV_WINDOW], L[LV_WINDOW + 3] - L[LV_WINDOW + 1]));
    for (int k = 0; k < kPanelKeyCount; ++k) EXPECT_FALSE(dlg_->PanelKeyButton(k)->isVisibleTo(dlg_.get())) << k;
    dlg_.reset();
  }
  // A multichannel recorder has no PTZ-mode key on the panel.
  ASSERT_TRUE(Init("K41R", "USERLEVEL=30;MULTICH=1;", "1030"));
  Press(IDC_CAMERA_TOOL);
  EXPECT_FALSE(dlg_->PanelKeyButton(PK_PTZ)->isVisibleTo(dlg_.get()));
}

// A recorder of the K41R family that reports its R.E.T.R. state but no linked device still has
// itself in the control table: the UP button shows and opens the panel with its R.E.T.R. key.
TEST_F(OpsTest, RetrWithoutALinkedDeviceGivesTheRecordersPanel) {
  struct Case {
    const char* model;
    std::uint8_t type;
  };
  for (const Case& c : {Case{"K41R", 19}, Case{"K42R", 22}, Case{"K43R", 23}}) {
    SCOPED_TRACE(c.model);
    fake_.SetRetrState(1);
    fake_.SetReportRetr(true);
    ASSERT_TRUE(Init(c.model, "LIFETIME=60;MULTICH=0;VIDEOMODE=0;USERLEVEL=30;", "1030"));
    EXPECT_EQ(app_->C_ControlD.GetCurrentType(), c.type);
    EXPECT_EQ(app_->C_ControlD.GetRetrState(), 1);
    ASSERT_TRUE(dlg_->Button(IDC_CAMERA_TOOL)->isVisibleTo(dlg_.get()));
    EXPECT_FALSE(dlg_->Button(IDC_CAMERA_TOOL_DOWN)->isVisibleTo(dlg_.get()));
    Press(IDC_CAMERA_TOOL);
    EXPECT_TRUE(dlg_->IsPanelOpen());
    EXPECT_TRUE(dlg_->PanelKeyButton(PK_ALARM)->isVisibleTo(dlg_.get()));
    dlg_.reset();
  }
}

TEST_F(OpsTest, EveryDeviceKeySendsItsTemplate) {
  // The recorder itself (type 23 on a K43R) with every key template of the control file: it
  // reports its R.E.T.R. state, so the login puts it in the control table.
  fake_.SetReportRetr(true);
  ASSERT_TRUE(Init("K43R", "USERLEVEL=30;", "1030"));
  const std::uint8_t type = app_->C_ControlD.GetCurrentType();
  ASSERT_EQ(type, 23);
  const CtrlDeviceRecord* record = DeviceTypeTable[type].pCtrlRecord;
  ASSERT_NE(record, nullptr);
  for (bool turbo : {false, true}) {
    app_->f_TurboOn = turbo ? 1 : 0;
    for (int i = 0; i < kDeviceKeyCommandCount; ++i) {
      const DeviceKeyCommand& c = kDeviceKeyCommands[i];
      SCOPED_TRACE(std::to_string(c.id) + (turbo ? " turbo" : ""));
      const std::size_t before = fake_.Rs485Bodies().size();
      const std::size_t boxes = boxes_.Texts().size();
      dlg_->Command(c.id);
      // The same as the key's own template with the repeat the table gives it.
      std::vector<std::uint8_t> expected;
      const Rs485Build build = BuildRs485Packet(
          record->Keys[c.key], (turbo && c.turbo) ? 5 : 1, false,
          MakeRs485Values(app_->C_ControlD, "K43R", false, app_->by_AccessMode.load()), expected);
      if (build == Rs485Build::Ok) {
        ASSERT_EQ(fake_.Rs485Bodies().size(), before + 1);
        EXPECT_EQ(fake_.Rs485Bodies().back(), std::string(expected.begin(), expected.end()));
      } else {
        EXPECT_EQ(fake_.Rs485Bodies().size(), before);
        EXPECT_EQ(boxes_.Texts().size(), boxes + 1);
      }
    }
  }

  // Bytes worked out by hand, so that a button sending another key's template shows. The
  // recorder's record (RVX 503 DVR) gives every key the template A5 %D %1 {key} %2: count 5,
  // A5, the device address 00, the access level 3C (USERLEVEL 30), the key number, the sum of
  // those four bytes; then the repeat (01, or 05 for a turbo key with turbo on) and 32.
  struct Known {
    int id;
    bool turbo;
    std::vector<std::uint8_t> body;
  };
  const Known known[] = {
      {8250, false, {0x05, 0xA5, 0x00, 0x3C, 0x00, 0xE1, 0x01, 0x32}},  // CH1, key 0
      {8271, false, {0x05, 0xA5, 0x00, 0x3C, 0x12, 0xF3, 0x01, 0x32}},  // 4CUT, key 18
      {8313, false, {0x05, 0xA5, 0x00, 0x3C, 0x22, 0x03, 0x01, 0x32}},  // PLUSE, key 34
      {8229, false, {0x05, 0xA5, 0x00, 0x3C, 0x32, 0x13, 0x01, 0x32}},  // FAST, key 50
      {8240, false, {0x05, 0xA5, 0x00, 0x3C, 0x36, 0x17, 0x01, 0x32}},  // JOYSTICK_LEFT, key 54
      {8240, true, {0x05, 0xA5, 0x00, 0x3C, 0x36, 0x17, 0x05, 0x32}},   // JOYSTICK_LEFT in turbo
      {8355, false, {0x05, 0xA5, 0x00, 0x3C, 0x42, 0x23, 0x01, 0x32}},  // SEQUENCE, key 66
  };
  for (const Known& k : known) {
    SCOPED_TRACE(std::to_string(k.id) + (k.turbo ? " turbo" : ""));
    app_->f_TurboOn = k.turbo ? 1 : 0;
    const std::size_t before = fake_.Rs485Bodies().size();
    dlg_->Command(k.id);
    ASSERT_EQ(fake_.Rs485Bodies().size(), before + 1);
    EXPECT_EQ(Hex(fake_.Rs485Bodies().back()), Hex(std::string(k.body.begin(), k.body.end())));
  }
}

TEST_F(OpsTest, MenuKeyRuleAndMissingTemplates) {
  // A device type whose MENU template forms a packet.
  int menuType = -1;
  for (int t = 0; t < kDeviceTypeCount && menuType < 0; ++t) {
    const CtrlDeviceRecord* r = DeviceTypeTable[t].pCtrlRecord;
    if (r && !r->Keys[PK_JOYSTICK_MENU].Empty() && IsTemplateSendable(r->Keys[PK_JOYSTICK_MENU])) menuType = t;
  }
  ASSERT_GE(menuType, 0);
  struct Case {
    const char* model;
    const char* info;
    bool sends;
  };
  const Case cases[] = {
      {"K42R", "USERLEVEL=20;", false},
      {"K42R", "USERLEVEL=30;", true},
      {"K40R", "USERLEVEL=20;", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + c.info);
    ASSERT_TRUE(Init(c.model, c.info, "1030"));
    RecorderWithPtz(static_cast<std::uint8_t>(menuType), 0);
    app_->f_TurboOn = 1;
    const std::size_t before = fake_.Rs485Bodies().size();
    ASSERT_EQ(app_->C_ControlD.GetCurrentType(), menuType);
    Press(8242);
    const auto bodies = fake_.Rs485Bodies();
    EXPECT_EQ(bodies.size() > before, c.sends);
    // MENU never takes the turbo repeat.
    if (bodies.size() > before) {
      std::vector<std::uint8_t> plain;
      ASSERT_EQ(BuildRs485Packet(DeviceTypeTable[menuType].pCtrlRecord->Keys[PK_JOYSTICK_MENU], 1, false,
                                 MakeRs485Values(app_->C_ControlD, c.model, false, app_->by_AccessMode.load()), plain),
                Rs485Build::Ok);
      EXPECT_EQ(bodies.back(), std::string(plain.begin(), plain.end()));
    }
    dlg_.reset();
  }
  EXPECT_TRUE(boxes_.Texts().empty());
  // A type without a control-file record: 4093 for a key and for power.
  ASSERT_TRUE(Init("K40R", "USERLEVEL=30;", "1030"));
  LinkCtrlFileDevices(nullptr, 0);
  app_->f_Connected = 1;
  Press(8250);
  Press(IDC_POWER);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>(2, LoadStr(4093)));
}

TEST_F(OpsTest, PowerNeedsAConnection) {
  ASSERT_TRUE(Init("K40R", "USERLEVEL=30;", "1030"));
  app_->f_Connected = 0;
  Press(IDC_POWER);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(4034)});
  EXPECT_TRUE(fake_.Requests().empty());
  app_->f_Connected = 1;
  Press(IDC_POWER);
  EXPECT_EQ(fake_.Rs485Bodies().size(), 1u);
}

TEST_F(OpsTest, PlaybackSearchKeyRunsTheRegisteredDialog) {
  struct Tools : IModalToolDialogs {
    int result = 0;
    int runs = 0;
    int RunPlaybackSearch(QWidget*) override {
      ++runs;
      return result;
    }
  } tools;
  ASSERT_TRUE(Init("K43R", "USERLEVEL=30;", "1030"));
  Press(IDC_MODAL_TOOL);  // nothing registered
  SetModalToolDialogs(&tools);
  Press(IDC_MODAL_TOOL);
  tools.result = -1;
  Press(IDC_MODAL_TOOL);
  SetModalToolDialogs(nullptr);
  EXPECT_EQ(tools.runs, 2);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>(2, "Dialog box could not be created!"));
}

TEST_F(OpsTest, RetrKeySendsTheOppositeAndTheFaceFollowsTheReport) {
  ASSERT_TRUE(Init("K41R", "USERLEVEL=30;LINKDEVICE=14;RETR=1;", "1030"));
  ASSERT_EQ(app_->C_ControlD.GetRetrState(), 1);
  Press(IDC_RETR);
  Press(IDM_RETR);
  app_->C_ControlD.SetRetrState(0);
  Press(IDC_RETR);
  EXPECT_EQ(Targets(), (std::vector<std::string>{"/SetRetr.cgi?" + Cookie() + "&SET=0",
                                                  "/SetRetr.cgi?" + Cookie() + "&SET=0",
                                                  "/SetRetr.cgi?" + Cookie() + "&SET=1"}));
  // The report, as the stream's header parser makes it from a worker thread.
  std::thread([this] { app_->C_ControlD.SetRetrState(1); }).join();
  Pump();
  CVtxButton* key = dlg_->Button(IDC_RETR);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->m_wImageIndex, 1);
  EXPECT_EQ(key->toolTip().toStdString(), "R.E.T.R.(Enable)");
  std::thread([this] { app_->C_ControlD.SetRetrState(0); }).join();
  Pump();
  EXPECT_EQ(key->m_wImageIndex, 0);
  EXPECT_EQ(key->toolTip().toStdString(), "R.E.T.R.(Disable)");
  fake_.FailCommand("/SetRetr.cgi", true);
  Press(IDC_RETR);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(4065)});
}

// ---- pan-tilt-zoom ------------------------------------------------------------------------------

TEST_F(OpsTest, ChannelKeysReadTheSlaveListFirstOnAMultichannelRecorder) {
  ASSERT_TRUE(Init("K41R", "USERLEVEL=30;MULTICH=1;", "1030"));
  fake_.SetPtzSlaveReply("SLAVENUM=2;SID=3;STYPE=1;SPROTOCOL=1;SID=4;STYPE=8;SPROTOCOL=0;");
  Press(IDC_CHANNEL_FIRST + 2);
  const auto paths = Paths();
  ASSERT_GE(paths.size(), 2u);
  EXPECT_EQ(paths[0], "/PTZReset.cgi");
  EXPECT_EQ(paths[1], "/SetChannel.cgi");
  ASSERT_EQ(app_->C_ControlD.GetEntryCount(), 3);
  EXPECT_EQ(app_->C_ControlD.GetEntry(0).byId, 0);
  EXPECT_EQ(app_->C_ControlD.GetEntry(1).byId, 3);
  EXPECT_EQ(app_->C_ControlD.GetEntry(1).byType, 18);
  EXPECT_EQ(app_->C_ControlD.GetEntry(2).byType, 8);
  // A failed slave list stops the switch.
  fake_.ClearRequests();
  fake_.FailCommand("/PTZReset.cgi", true);
  Press(IDC_CHANNEL_FIRST + 1);
  EXPECT_EQ(Paths(), std::vector<std::string>{"/PTZReset.cgi"});
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(4065)});
}

TEST_F(OpsTest, PtzSelectionPackets) {
  struct Case {
    const char* name;
    int result;
    int number;
    const char* packet;  // "none" when nothing goes out
    unsigned message;
    bool ptzCurrent;
  };
  const Case cases[] = {
      {"1", 1, 1, "02 05 06 01 32", 0, true},
      {"9", 1, 9, "02 05 0E 01 32", 0, true},
      {"10", 1, 10, "02 06 05 01 32", 0, true},
      {"16", 1, 16, "02 06 0B 01 32", 0, true},
      {"0", 1, 0, "none", 4095, false},
      {"17", 1, 17, "none", 4095, false},
      {"a number without a device", 1, 3, "none", 4095, false},
      {"cancel", 2, 1, "none", 0, false},
  };
  // Sixteen PTZ heads on the bus, none for number 3.
  std::string slaves = "SLAVENUM=16;";
  for (int i = 1; i <= 16; ++i) slaves += "SID=" + std::to_string(i) + ";STYPE=" + (i == 3 ? "0" : "1") + ";";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Init("K43R", "USERLEVEL=30;", "1030"));
    RecorderWithPtz(23, 16);
    fake_.SetPtzSlaveReply(slaves);
    const std::size_t boxes = boxes_.Texts().size();
    const std::size_t sent = fake_.Rs485Bodies().size();
    dlg_->runSelectPtz = [&c](int& number) {
      number = c.number;
      return c.result;
    };
    Press(IDC_PTZ_MODE);
    EXPECT_EQ(fake_.Rs485Bodies().size() > sent ? LastRs485() : std::string("none"), c.packet);
    EXPECT_EQ(app_->C_ControlD.IsCurrentVideo() == 0, c.ptzCurrent);
    if (c.message) {
      ASSERT_EQ(boxes_.Texts().size(), boxes + 1);
      EXPECT_EQ(boxes_.Texts().back(), LoadStr(c.message));
    }
    if (c.ptzCurrent) {
      EXPECT_EQ(dlg_->Button(IDC_PTZ_MODE)->m_wImageIndex, 1);
      // The relayout after the selection sets the tooltips again by the current device.
      EXPECT_EQ(dlg_->Button(IDC_PTZ_MODE)->toolTip().toStdString(), "PTZ_CONTROL_ON");
      EXPECT_EQ(app_->by_HotPointMode.load(), 2);  // a PTZ head (type 11)
    }
    if (c.result == 2) {
      // CANCEL on a K41R-family recorder asks for the slave list once more.
      EXPECT_EQ(Paths(), (std::vector<std::string>{"/PTZReset.cgi", "/PTZReset.cgi"}));
    }
    dlg_.reset();
  }
}

TEST_F(OpsTest, EscReturnsToTheRecorderAndAFailedSelectionRestores) {
  ASSERT_TRUE(Init("K43R", "USERLEVEL=30;", "1030"));
  fake_.SetPtzSlaveReply("SLAVENUM=2;SID=4;STYPE=1;SID=5;STYPE=8;");
  RecorderWithPtz(23, 2);
  int result = 1, number = 1;
  dlg_->runSelectPtz = [&](int& n) {
    n = number;
    return result;
  };
  Press(IDC_PTZ_MODE);
  ASSERT_FALSE(app_->C_ControlD.IsCurrentVideo());
  EXPECT_EQ(app_->C_ControlD.GetCurrentId(), 4);
  const std::string tooltip = dlg_->Button(IDC_PTZ_MODE)->toolTip().toStdString();
  // Another device fails: the first stays current, with its key face, tooltip and hot point.
  fake_.FailCommand("/RS485Cmd.cgi", true);
  number = 2;
  Press(IDC_PTZ_MODE);
  EXPECT_EQ(app_->C_ControlD.GetCurrentId(), 4);
  EXPECT_EQ(dlg_->Button(IDC_PTZ_MODE)->m_wImageIndex, 1);
  EXPECT_EQ(dlg_->Button(IDC_PTZ_MODE)->toolTip().toStdString(), tooltip);
  EXPECT_EQ(app_->by_HotPointMode.load(), 2);
  EXPECT_EQ(app_->w_HotPointFrames.load(), 2);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(4065)});
  fake_.FailCommand("/RS485Cmd.cgi", false);
  // ESC: back to the recorder whatever was current.
  result = 20;
  Press(IDC_PTZ_MODE);
  EXPECT_EQ(LastRs485(), "01 10 01 32");
  EXPECT_TRUE(app_->C_ControlD.IsCurrentVideo());
  EXPECT_EQ(app_->C_ControlD.GetCurrentOrdinal(), 0);
  EXPECT_EQ(dlg_->Button(IDC_PTZ_MODE)->m_wImageIndex, 0);
  EXPECT_EQ(app_->by_HotPointMode.load(), 1);
}

TEST_F(OpsTest, GuestOnAnOlderRecorderCannotEnterPtzMode) {
  ASSERT_TRUE(Init("K43R", "USERLEVEL=0;", "1030"));
  int runs = 0;
  dlg_->runSelectPtz = [&](int&) { return ++runs, 2; };
  Press(IDC_PTZ_MODE);
  EXPECT_EQ(runs, 0);
  EXPECT_TRUE(fake_.Requests().empty());
}

TEST_F(OpsTest, TurboKeyPicturesTooltipsAndRepeat) {
  ASSERT_TRUE(Init("K43R", "USERLEVEL=30;", "1030"));
  struct Case {
    unsigned layout;
    const char* family;
  };
  for (const Case& c : {Case{0, "N_VGA"}, Case{4, "N_QVGA"}, Case{2, "P_VGA"}, Case{3, "P_QVGA"}, Case{5, "P_QVGA"}}) {
    SCOPED_TRACE(c.layout);
    app_->w_LayoutMode = c.layout;
    app_->f_TurboOn = 0;
    Press(IDC_TURBO);
    EXPECT_EQ(app_->f_TurboOn.load(), 1);
    EXPECT_EQ(dlg_->GetDlgItem(IDC_TURBO)->toolTip().toStdString(), "TURBO_ON");
    // The turbo face of the left key is the file of the size class.
    CVtxButton* left = dlg_->Button(8240);
    ASSERT_NE(left, nullptr);
    ui::Bitmap expected(std::string("BMP\\") + c.family + "_LEFT_TURBO.bmp");
    ASSERT_FALSE(expected.IsNull());
    ASSERT_NE(left->CurrentFace(), nullptr);
    EXPECT_EQ(*left->CurrentFace(), expected.Image().convertToFormat(left->CurrentFace()->format()));
    Press(IDC_TURBO);
    EXPECT_EQ(app_->f_TurboOn.load(), 0);
    EXPECT_EQ(dlg_->GetDlgItem(IDC_TURBO)->toolTip().toStdString(), "TURBO_OFF");
  }
}

TEST_F(OpsTest, ActionPresetAndHotPointSwitches) {
  ASSERT_TRUE(Init("K43R", "USERLEVEL=30;", "1030"));
  app_->f_PresetMode = 0;
  dlg_->OnActionPresetKey();
  EXPECT_EQ(app_->f_PresetMode.load(), 1);
  dlg_->OnActionPresetKey();
  EXPECT_EQ(app_->f_PresetMode.load(), 0);
  for (int id : {IDC_HOT_POINT, IDM_HOT_POINT}) {
    app_->by_HotPointMode = 1;
    Press(id);
    EXPECT_EQ(app_->by_HotPointMode.load(), 2);
    Press(id);
    EXPECT_EQ(app_->by_HotPointMode.load(), 1);
    app_->by_HotPointMode = 0;
    Press(id);
    EXPECT_EQ(app_->by_HotPointMode.load(), 0);
  }
  EXPECT_TRUE(fake_.Requests().empty());
}

TEST_F(OpsTest, UnreachableHandlersByTheirIds) {
  ASSERT_TRUE(Init("K40R", "USERLEVEL=30;", "1030"));
  Press(IDC_BUTTON_8203);
  RecorderWithPtz(8, 1);
  dlg_->SendMessage(msg::WM_UNUSED409);
  EXPECT_EQ(dlg_->Unused409Bytes(), (std::vector<std::uint8_t>{0xFF, 0xC0, 0, 60, 0x63, 0x7F, 1, 0x32}));
  // Leave PTZ mode from a PTZ device.
  app_->C_ControlD.MakeCurrent(CDF_PTZ, 0);
  app_->by_HotPointMode = 2;
  dlg_->SendMessage(msg::WM_LEAVEPTZMODE);
  EXPECT_TRUE(app_->C_ControlD.IsCurrentVideo());
  EXPECT_EQ(app_->by_HotPointMode.load(), 1);
  EXPECT_TRUE(fake_.Requests().empty());
}

// ---- hot point ----------------------------------------------------------------------------------

TEST_F(OpsTest, HotPointClickSendsThePacketAndArmsTheMarker) {
  struct Case {
    const char* name;
    const char* model;
    std::uint8_t type;
    const char* packet;
    const char* query;
  };
  const Case cases[] = {
      {"type 8", "K40R", 8, "05 D0 03 52 12 00 01 32", "Control=K41R&CH=0&MASTER=1"},
      {"type 18", "K40R", 18, "07 D0 03 3C 52 12 00 73 01 32", "Control=K41R&CH=0&PELOCO=1&PROTOCOL=PELCO&MASTER=1"},
      {"type 25", "K47R", 25, "07 D0 03 3C 52 12 00 73 01 32", "Control=K41R&CH=0&MASTER=1"},
      {"other type", "K44R", 0, "00 00 00", "Control=K41R&CH=0&MASTER=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Init(c.model, "USERLEVEL=30;", "1030"));
    app_->C_ControlD.Reset();
    app_->C_ControlD.Add(0, 3, c.type, CDF_VIDEO);
    app_->C_ControlD.MakeCurrent(CDF_VIDEO, 0);
    Running(true);
    app_->by_HotPointMode = 2;
    dlg_->show();
    const LayoutRow& L = LayoutRowOf(app_->w_LayoutMode.load());
    const int cw = (L[LV_VIDEO + 2] - L[LV_VIDEO]) / 16, ch = (L[LV_VIDEO + 3] - L[LV_VIDEO + 1]) / 12;
    // A press in cell (2, 1), with no move before it.
    const QPoint at(L[LV_VIDEO] + 2 * cw + 3, L[LV_VIDEO + 1] + ch + 3);
    QTest::mousePress(dlg_.get(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(dlg_.get(), Qt::LeftButton, {}, at);
    Pump();
    EXPECT_EQ(LastRs485(), c.packet);
    ASSERT_FALSE(Targets().empty());
    EXPECT_EQ(Targets().back(), "/RS485Cmd.cgi?" + std::string(c.query) + "&" + Cookie());
    EXPECT_EQ(app_->w_HotPointFrames.load(), 4);
    EXPECT_EQ(app_->w_HotPointRect[0].load(), 2 * cw + 3);
    EXPECT_EQ(app_->w_HotPointRect[1].load(), ch + 3);
    dlg_.reset();
  }
  EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(OpsTest, HotPointBordersOffModeAndFailure) {
  ASSERT_TRUE(Init("K40R", "USERLEVEL=30;", "1030"));
  app_->C_ControlD.Reset();
  app_->C_ControlD.Add(0, 3, 8, CDF_VIDEO);
  app_->C_ControlD.MakeCurrent(CDF_VIDEO, 0);
  Running(true);
  dlg_->show();
  const LayoutRow& L = LayoutRowOf(app_->w_LayoutMode.load());
  auto click = [this](QPoint p) {
    QTest::mouseClick(dlg_.get(), Qt::LeftButton, {}, p);
    Pump();
  };
  app_->by_HotPointMode = 2;
  click(QPoint(L[LV_VIDEO], L[LV_VIDEO + 1] + 50));  // on the border
  app_->by_HotPointMode = 1;
  click(QPoint(L[LV_VIDEO] + 50, L[LV_VIDEO + 1] + 50));  // hot point off
  EXPECT_TRUE(fake_.Requests().empty());
  app_->by_HotPointMode = 2;
  fake_.FailCommand("/RS485Cmd.cgi", true);
  click(QPoint(L[LV_VIDEO] + 50, L[LV_VIDEO + 1] + 50));
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(4065)});
  EXPECT_EQ(app_->w_HotPointFrames.load(), 0);
}

TEST_F(OpsTest, HotPointInFullScreenUsesTheClientArea) {
  ASSERT_TRUE(Init("K40R", "USERLEVEL=30;", "1030"));
  app_->C_ControlD.Reset();
  app_->C_ControlD.Add(0, 3, 8, CDF_VIDEO);
  app_->C_ControlD.MakeCurrent(CDF_VIDEO, 0);
  Running(true);
  dlg_->OnFitScreen();
  dlg_->setGeometry(0, 0, 1280, 1000);
  app_->by_HotPointMode = 2;
  app_->w_HotPointX = 640;
  app_->w_HotPointY = 500;
  dlg_->SendMessage(msg::WM_HOTPOINTCLICK);
  // 1280 / 16 = 80 wide, 1000 / 12 = 83 high: column 7, row 6.
  EXPECT_EQ(LastRs485(), "05 D0 03 52 67 00 01 32");
  app_->w_HotPointX = 5;  // within 8 pixels of the edge
  dlg_->SendMessage(msg::WM_HOTPOINTCLICK);
  EXPECT_EQ(fake_.Rs485Bodies().size(), 1u);
}

// ---- image-sensor toolbar -------------------------------------------------------------------------

TEST_F(OpsTest, SensorToolbarSendsAndFollowsTheReports) {
  ASSERT_TRUE(Init("K47R", "USERLEVEL=30;", "1030"));
  CCmosToolBarDlg* bar = dlg_->CmosToolBar();
  ASSERT_NE(bar, nullptr);
  ASSERT_NE(bar->ToolButton(0), nullptr);
  EXPECT_EQ(bar->ToolButton(0)->m_wImageIndex, 1);  // full frame at start
  // Left-top while the device reports full frame: MODE=1, full frame stays lowered.
  bar->Command(8601);
  EXPECT_EQ(bar->ToolButton(0)->m_wImageIndex, 1);
  EXPECT_EQ(bar->ToolButton(1)->m_wImageIndex, 0);
  bar->SendMessage(msg::WM_SENSORSTATE, 0x01);
  EXPECT_EQ(bar->ToolButton(0)->m_wImageIndex, 0);
  EXPECT_EQ(bar->ToolButton(1)->m_wImageIndex, 1);
  // 0x86: no mode button lowered, horizontal rotate on.
  bar->SendMessage(msg::WM_SENSORSTATE, 0x86);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(bar->ToolButton(i)->m_wImageIndex, 0) << i;
  const int updates = bar->FaceUpdates();
  bar->SendMessage(msg::WM_SENSORSTATE, 0x86);
  EXPECT_EQ(bar->FaceUpdates(), updates);  // nothing changed, nothing shown again
  bar->Command(CCmosToolBarDlg::IDC_HORIZONTAL_ROTATE);
  bar->SendMessage(msg::WM_SENSORSTATE, 0x40);
  bar->Command(CCmosToolBarDlg::IDC_VERTICAL_ROTATE);
  EXPECT_EQ(Targets(), (std::vector<std::string>{"/OV9653Zoom.cgi?" + Cookie() + "&MODE=1",
                                                  "/OV9653Rotate.cgi?" + Cookie() + "&HR=0&VR=0",
                                                  "/OV9653Rotate.cgi?" + Cookie() + "&VR=0&HR=0"}));
  // Enter and Escape do not close it.
  bar->show();
  QTest::keyClick(bar, Qt::Key_Return);
  QTest::keyClick(bar, Qt::Key_Escape);
  Pump();
  EXPECT_TRUE(bar->isVisible());
  fake_.FailCommand("/OV9653Zoom.cgi", true);
  bar->Command(8600);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(4064)});
}

}  // namespace

namespace {

// ---- reading the configuration ---------------------------------------------------------------

class ConfigReadTest : public RecordFixture {};

TEST_F(ConfigReadTest, SectionSequencePerFamilyAndFirmware) {
  struct Case {
    const char* model;
    const char* firmware;
    std::vector<std::string> options;
    bool newPppoe;
  };
  const std::vector<std::string> server = {"IP", "ONLINE", "ALARM", "SECURE", "SMTP", "FTP",
                                           "RS485", "PERI", "SNTP", "PPPOE", "DNS"};
  const std::vector<std::string> recorder = {"IP", "ONLINE", "ALARM", "SECURE", "SMTP", "FTP",
                                             "RS485", "DVRLIVE", "DVRREC", "PPPOE", "DNS"};
  const Case cases[] = {
      {"K40R", "0003", {"ALL"}, false},   {"K40R", "0002", server, false},
      {"K47R", "0002", server, false},    {"K44R", "1010", {"ALL"}, false},
      {"K41R", "1024", {"ALL"}, false},   {"K41R", "1023", recorder, false},
      {"K43R", "1023", recorder, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + c.firmware);
    Device(c.model, c.firmware, "USERLEVEL=30;");
    fake_.ClearRequests();
    std::memset(app_->SysCfg_ONLINE, 0x5A, sizeof app_->SysCfg_ONLINE);
    fake_.SetSection("ONLINE", std::string(fake::FakeRecorder::SectionSize("ONLINE"), '\0'));
    ASSERT_EQ(LoadDeviceConfig(), 1);
    std::vector<std::string> seen;
    for (const auto& r : fake_.Requests()) seen.push_back(r.query.at("Option"));
    EXPECT_EQ(seen, c.options);
    // No online user left over from before.
    EXPECT_EQ(app_->SysCfg_ONLINE[0], 0);
  }
}

TEST_F(ConfigReadTest, PppoeBlockByFirmware) {
  struct Case {
    const char* model;
    const char* firmware;
    bool newBlock;
  };
  const Case cases[] = {{"K40R", "0002", false}, {"K41R", "1023", false}};
  for (const Case& c : cases) {
    Device(c.model, c.firmware, "USERLEVEL=30;");
    std::memset(app_->SysCfg_PPPOE, 0, sizeof app_->SysCfg_PPPOE);
    std::memset(app_->SysCfg_PPPOE_New, 0, sizeof app_->SysCfg_PPPOE_New);
    fake_.SetSection("PPPOE", std::string(fake::FakeRecorder::SectionSize("PPPOE"), '\x33'));
    ASSERT_EQ(LoadDeviceConfig(), 1);
    EXPECT_EQ(app_->SysCfg_PPPOE[0], c.newBlock ? 0 : 0x33) << c.model;
    EXPECT_EQ(app_->SysCfg_PPPOE_New[0], c.newBlock ? 0x33 : 0) << c.model;
  }
}

TEST_F(ConfigReadTest, FirstFailureStopsWith4029AndNoSheet) {
  struct Factory : ISystemSheetFactory {
    int made = 0;
    ISystemSheet* NewSystemSheet() override {
      ++made;
      return nullptr;
    }
  } factory;
  ISystemSheetFactory* previous = GetSystemSheetFactory();
  SetSystemSheetFactory(&factory);
  Device("K41R", "1023", "USERLEVEL=30;");
  app_->f_VideoRunning = 1;
  fake_.SetRawReply("/GetSysCfg.cgi", {"HTTP/1.1 500 Error\r\nContent-Length: 0\r\n\r\n", {}, true, 0});
  OnSystemConfig(nullptr, QRect());
  SetSystemSheetFactory(previous);
  EXPECT_EQ(factory.made, 0);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(4029)});
  EXPECT_EQ(fake_.RequestCount(), 1u);  // the first read failed, nothing after it
  EXPECT_EQ(app_->f_SystemDialogOpen.load(), 0);
}

}  // namespace

namespace {

// The marker of a hot-point click on the next four pictures, and the main window's hooks that
// the re-login thread calls from its worker.
class HotPointMarkerTest : public OpsTest {
 protected:
  void ShowBluePicture(int w, int h) {
    frame_.assign(std::size_t(w) * h * 3, 0);
    for (std::size_t i = 0; i < frame_.size(); i += 3) frame_[i] = 200;  // blue (first byte)
    app_->lp_CurrentFrame = frame_.data();
    app_->w_FrameWidth = static_cast<std::uint16_t>(w);
    app_->w_FrameHeight = static_cast<std::uint16_t>(h);
    app_->f_VideoRunning = 1;
    std::thread([this] { dlg_->ShowImage(); }).join();
    Pump();
  }
  std::vector<std::uint8_t> frame_;
};

TEST_F(HotPointMarkerTest, MarkerOnTheNextFourPictures) {
  ASSERT_TRUE(Init("K40R", "USERLEVEL=30;", "1030"));
  RecorderWithPtz(8, 0);
  ShowBluePicture(352, 240);  // the layout settles on the picture size
  app_->by_HotPointMode = 2;
  dlg_->show();
  const LayoutRow& L = LayoutRowOf(app_->w_LayoutMode.load());
  const QPoint at(L[LV_VIDEO] + 100, L[LV_VIDEO + 1] + 60);
  QTest::mouseClick(dlg_.get(), Qt::LeftButton, {}, at);
  Pump();
  ASSERT_EQ(app_->w_HotPointFrames.load(), 4);
  for (int picture = 1; picture <= 5; ++picture) {
    ShowBluePicture(352, 240);
    const QRgb c = dlg_->DisplaySurface().pixel(100, 60);
    EXPECT_EQ(qRed(c) > 200 && qBlue(c) < 60, picture <= 4) << "picture " << picture;
  }
}

TEST_F(HotPointMarkerTest, ReLoginHooksFromAWorker) {
  ASSERT_TRUE(Init("K43R", "USERLEVEL=30;", "1030"));
  RecorderWithPtz(23, 2);
  fake_.SetPtzSlaveReply("SLAVENUM=1;SID=4;STYPE=1;");
  dlg_->runSelectPtz = [](int& n) { return n = 1, 1; };
  Press(IDC_PTZ_MODE);
  ASSERT_EQ(dlg_->Button(IDC_PTZ_MODE)->m_wImageIndex, 1);
  std::thread([this] {
    dlg_->ResetPtzModeButton();
    dlg_->ChangeItemPositionForDeviceModified();
    dlg_->RelayoutControls();
  }).join();
  Pump();
  EXPECT_EQ(dlg_->Button(IDC_PTZ_MODE)->m_wImageIndex, 0);
}

TEST_F(HotPointMarkerTest, SelectDialogByTheCurrentDevice) {
  ASSERT_TRUE(Init("K43R", "USERLEVEL=30;", "1030"));
  RecorderWithPtz(23, 3);
  {
    CSelectPTZDlg dialog;
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_FALSE(dialog.GetDlgItem(CSelectPTZDlg::IDC_ESC)->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.GetDlgItem(CSelectPTZDlg::IDC_CANCEL_BUTTON)->geometry(), QRect(172, 42, 98, 37));
    EXPECT_EQ(dialog.GetDlgItemText(CSelectPTZDlg::IDC_NUMBER).toStdString(), "1");
  }
  app_->C_ControlD.MakeCurrent(CDF_PTZ, 2);
  struct Case {
    const char* typed;
    int button;
    int result, number;
  };
  for (const Case& c : {Case{"12", CSelectPTZDlg::IDC_OK_BUTTON, 1, 12}, Case{"", CSelectPTZDlg::IDC_OK_BUTTON, 1, 0},
                        Case{"5", CSelectPTZDlg::IDC_CANCEL_BUTTON, 2, 3}, Case{"5", CSelectPTZDlg::IDC_ESC, 20, 3}}) {
    CSelectPTZDlg dialog;
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_TRUE(dialog.GetDlgItem(CSelectPTZDlg::IDC_ESC)->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.GetDlgItemText(CSelectPTZDlg::IDC_NUMBER).toStdString(), "3");
    EXPECT_EQ(dialog.GetDlgItem(CSelectPTZDlg::IDC_ESC)->toolTip().toStdString(), "Back to control center ");
    dialog.SetDlgItemText(CSelectPTZDlg::IDC_NUMBER, c.typed);
    dialog.show();
    dialog.Command(c.button);
    EXPECT_EQ(dialog.result(), c.result) << c.typed;
    EXPECT_EQ(dialog.m_nNumber, c.number) << c.typed;
  }
}

}  // namespace
