// The Device and Detection pages of the DVR family against the fake recorder: rows, texts,
// the one-row editors, what APPLY sends and the device table it rebuilds.
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <cstring>

#include "config/CDetectionEditDlg.h"
#include "config/CDeviceEditDlg.h"
#include "core/Strings.h"
#include "mainwnd/ChannelBar.h"
#include "session/CtrlFile.h"
#include "session/DeviceTypes.h"
#include "session/Sections.h"
#include "tests/config/pages_fixture.h"
#include "ui/Controls.h"

namespace {

// An RS485 section whose every byte is known.
std::string PatternedRs485() {
  std::string s(sect::Rs485Section::kSize, '\0');
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>(i * 7 + 3);
  // Channel 1 (row 2): a camera at id 1, normal, 2400.
  s[13] = 1, s[29] = 0, s[45] = 0;
  const std::uint32_t baud = 2400;
  std::memcpy(&s[64], &baud, 4);
  // Channel 0: kind 2, protocol 3, 1200 bits per second.
  s[28] = 2, s[44] = 3;
  const std::uint32_t slow = 1200;
  std::memcpy(&s[60], &slow, 4);
  return s;
}

TEST_F(PagesTest, DeviceRowsPerModelAndTextsOfOddValues) {
  struct Case {
    const char* model;
    int rows;
  } cases[] = {{"K43R", 4}, {"K42R", 8}, {"K41R", 16}};
  for (const Case& c : cases) {
    fake_.SetSection("RS485", PatternedRs485());
    Connect(c.model);
    auto sheet = OpenSheet();
    ASSERT_TRUE(Show(*sheet, sheet->m_DevicePage));
    ui::ReportList* list = sheet->m_DevicePage.List();
    ASSERT_EQ(list->GetItemCount(), c.rows) << c.model;
    EXPECT_EQ(list->GetItemText(0, 0).toStdString(), " 1");
    EXPECT_EQ(list->GetItemText(0, 1).toStdString(), "CAMERA");  // kind 2
    EXPECT_EQ(list->GetItemText(0, 3).toStdString(), "NORMAL");  // protocol 3
    EXPECT_EQ(list->GetItemText(0, 4).toStdString(), "1200");
  }
}

TEST_F(PagesTest, DeviceEditorWithoutRateKeepsTheRateAndSendsNothing) {
  fake_.SetSection("RS485", PatternedRs485());
  Connect("K41R");
  auto sheet = OpenSheet();
  DevicePage& page = sheet->m_DevicePage;
  ASSERT_TRUE(Show(*sheet, page));
  page.List()->SelectRow(0);
  int seenRate = 99;
  page.runEditor = [&](CDeviceEditDlg& dlg) {
    seenRate = dlg.m_nRate;
    return int(plat::IDOK);  // confirmed as handed in
  };
  page.OnButtonEdit();
  EXPECT_EQ(seenRate, -1);
  EXPECT_EQ(page.m_dwBaud[0], 1200u);
  EXPECT_EQ(page.m_bModified, 0);
  sheet->OnClickApply();
  EXPECT_TRUE(Sent("RS485").empty());
  // Without a selected row the button says so; a double click says nothing.
  MessageBoxRecorder boxes;
  page.List()->SelectRow(-1);
  page.OnButtonEdit();
  page.OnDblclkDeviceList();
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"No item could be edited"});
}

TEST_F(PagesTest, DeviceApplySendsTheEditedRowAndRebuildsTheTable) {
  struct Case {
    const char* model;
    int multi;
    int entries;  // of the table after APPLY
  } cases[] = {{"K43R", 0, 1 + 16}, {"K41R", 0, 1 + 16}, {"K41R", 1, 1 + 16}};
  for (const Case& c : cases) {
    const std::string fetched = PatternedRs485();
    fake_.SetSection("RS485", fetched);
    Connect(c.model);
    app_->by_MultiChannel = static_cast<std::uint8_t>(c.multi);
    app_->C_ControlD.Reset();
    app_->C_ControlD.Add(0, 0, 19, CDF_VIDEO);
    app_->C_ControlD.MakeCurrent(CDF_VIDEO, 0);
    auto sheet = OpenSheet();
    DevicePage& page = sheet->m_DevicePage;
    ASSERT_TRUE(Show(*sheet, page));
    page.List()->SelectRow(1);
    page.runEditor = [](CDeviceEditDlg& dlg) {
      dlg.m_nDevice = 1;    // PTZ
      dlg.m_nID = 5;
      dlg.m_nProtocol = 1;  // P-D
      dlg.m_nRate = 2;      // 9600
      return int(plat::IDOK);
    };
    page.OnDblclkDeviceList();
    EXPECT_EQ(page.List()->GetItemText(1, 1).toStdString(), "PTZ");
    EXPECT_EQ(page.List()->GetItemText(1, 3).toStdString(), "P-D");
    sheet->OnClickApply();
    const auto bodies = Sent("RS485");
    ASSERT_EQ(bodies.size(), 1u) << c.model;
    std::string expected = fetched;
    expected[13] = 5, expected[29] = 1, expected[45] = 1;
    const std::uint32_t baud = 9600;
    std::memcpy(&expected[64], &baud, 4);
    EXPECT_EQ(bodies[0], expected) << c.model;  // all sixteen entries, the rest as fetched
    // The table: the recorder's own entry and one entry per channel; channel 1 is a
    // Pelco-D dome at id 5.
    EXPECT_EQ(app_->C_ControlD.GetEntryCount(), c.entries) << c.model;
    const ControlDeviceEntry e = app_->C_ControlD.GetEntry(2);
    EXPECT_EQ(e.byType, 18) << c.model;
    EXPECT_EQ(e.byId, 5) << c.model;
    EXPECT_EQ(e.wFlags & (c.multi ? CDF_VIDEO : CDF_PTZ), c.multi ? CDF_VIDEO : CDF_PTZ) << c.model;
    fake_.ClearRequests();
  }
}

// The editor's checks at OK, run as the operator would.
class DeviceEditorTest : public PagesTest {
 protected:
  struct Editor : CDeviceEditDlg {
    using CDeviceEditDlg::OnInitDialog;
    using CDeviceEditDlg::OnOK;
  };
};

TEST_F(DeviceEditorTest, IdsOutsideAByteAndEmptyIdsKeepItOpen) {
  MessageBoxRecorder boxes;
  struct Case {
    const char* typed;
    bool closes;
    const char* message;
  } cases[] = {{"300", false, "Please enter an integer between 0 and 255."},
               {"", false, "Please enter an integer."},
               {"255", true, nullptr}};
  for (const Case& c : cases) {
    Editor dlg;
    dlg.m_nRate = -1;
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.Item<ui::DropList>(CDeviceEditDlg::IDC_RATE)->GetCurSel(), -1);
    dlg.Item<QLineEdit>(CDeviceEditDlg::IDC_ID)->setText(QString::fromLatin1(c.typed));
    const std::size_t before = boxes.Texts().size();
    dlg.setResult(-1);
    dlg.OnOK();
    EXPECT_EQ(dlg.result() == plat::IDOK, c.closes) << c.typed;
    if (c.message) {
      ASSERT_EQ(boxes.Texts().size(), before + 1) << c.typed;
      EXPECT_EQ(boxes.Texts().back(), c.message);
    } else {
      EXPECT_EQ(dlg.m_nID, 255);
      EXPECT_EQ(dlg.m_nRate, -1);  // OK without a choice hands back -1
    }
  }
}

// ---- detection page ----

TEST_F(PagesTest, DetectionRowsAlarmTypesAndAnUnchangedConfirm) {
  struct Case {
    std::uint32_t caps;
    const char* low;
    const char* high;
  } cases[] = {{0, "LOW", "HIGH"}, {0x80, "N.O.", "N.C."}};
  for (const Case& c : cases) {
    Patch("ALARM", {{8, 0}, {9, 1}, {10, 5}});
    Connect("K42R");
    app_->dw_FeatureFlags = c.caps;
    auto sheet = OpenSheet();
    DetectionPage& page = sheet->m_DetectionPage;
    ASSERT_TRUE(Show(*sheet, page));
    ASSERT_EQ(page.List()->GetItemCount(), 8);
    EXPECT_EQ(page.List()->GetItemText(0, 6).toStdString(), c.low);
    EXPECT_EQ(page.List()->GetItemText(1, 6).toStdString(), c.high);
    EXPECT_EQ(page.List()->GetItemText(2, 6).toStdString(), "OFF");
    EXPECT_EQ(page.m_byAlarmType[2], 0);
    // Confirming channel 3 unchanged: its alarm byte stays 5, DVRLIVE goes out once.
    page.List()->SelectRow(2);
    page.runEditor = [](CDetectionEditDlg&) { return int(plat::IDOK); };
    page.OnButtonEdit();
    EXPECT_EQ(app_->SysCfg_ALARM[10], 5);
    sheet->OnClickApply();
    EXPECT_EQ(Sent("DVRLIVE").size(), 1u);
    EXPECT_TRUE(Sent("ALARM").empty());
    fake_.ClearRequests();
  }
}

TEST_F(PagesTest, DetectionEditStoresIntoTheSectionsAtOnce) {
  Connect("K43R");
  auto sheet = OpenSheet();
  DetectionPage& page = sheet->m_DetectionPage;
  ASSERT_TRUE(Show(*sheet, page));
  page.List()->SelectRow(3);
  page.runEditor = [](CDetectionEditDlg& dlg) {
    dlg.m_nDetect = 1;
    dlg.m_nLS = 9;
    dlg.m_nRE = 61;
    dlg.m_nAlarm = 1;
    std::memset(dlg.m_byAreaMask, 0xAB, sizeof dlg.m_byAreaMask);
    return int(plat::IDOK);
  };
  page.OnDblclkDetectionList();
  EXPECT_EQ(app_->SysCfg_DVRLIVE[308 + 3], 1);
  EXPECT_EQ(app_->SysCfg_DVRLIVE[324 + 3], 9);
  EXPECT_EQ(app_->SysCfg_DVRLIVE[372 + 3], 61);
  EXPECT_EQ(app_->SysCfg_DVRLIVE[388 + 24 * 3 + 23], 0xAB);
  EXPECT_EQ(app_->SysCfg_ALARM[8 + 3], 1);
  EXPECT_EQ(page.List()->GetItemText(3, 1).toStdString(), "ON");
  sheet->OnClickApply();
  ASSERT_EQ(Sent("DVRLIVE").size(), 1u);
  EXPECT_EQ(static_cast<std::uint8_t>(Sent("DVRLIVE")[0][388 + 24 * 3]), 0xAB);
  ASSERT_EQ(Sent("ALARM").size(), 1u);
  EXPECT_EQ(Sent("ALARM")[0][11], 1);
}

// Before the editor the live picture goes to the edited channel: the channel bar's request
// on a multi-channel stream showing a channel, else the channel's panel key.
TEST_F(PagesTest, DetectionSwitchesTheLiveChannelBeforeTheEditor) {
  // A control file whose recorder key 2 (channel 3) is three literal bytes.
  auto record = std::make_unique<CtrlDeviceRecord>();
  std::strncpy(record->szName, DeviceTypeTable[19].pszName, kCtrlNameSize - 1);
  CtrlCommandSlot& key = record->Keys[2];
  key.byCount = 3;
  key.bytes = {0x11, 0x22, 0x33};
  key.subst = {0, 0, 0};
  key.pOwner = record.get();
  LinkCtrlFileDevices(record.get(), 1);
  struct Case {
    int multi;
    std::uint8_t selected;
    const char* path;
  } cases[] = {{1, 1, "/SetChannel.cgi"}, {1, 0, "/RS485Cmd.cgi"}, {0, 1, "/RS485Cmd.cgi"}};
  for (const Case& c : cases) {
    Connect("K41R");
    app_->by_MultiChannel = static_cast<std::uint8_t>(c.multi);
    app_->CSettingINI.m_bySelectedChannel = c.selected;
    app_->C_ControlD.Reset();
    app_->C_ControlD.Add(0, 0, 19, CDF_VIDEO);
    app_->C_ControlD.MakeCurrent(CDF_VIDEO, 0);
    CChannelBar bar;
    bar.Create(nullptr, nullptr);
    app_->C_ChannelBar = &bar;
    auto sheet = OpenSheet();
    DetectionPage& page = sheet->m_DetectionPage;
    ASSERT_TRUE(Show(*sheet, page));
    page.List()->SelectRow(2);
    std::vector<std::string> before;
    page.runEditor = [&](CDetectionEditDlg&) {
      before = Paths();
      return int(plat::IDCANCEL);
    };
    page.OnButtonEdit();
    ASSERT_EQ(before.size(), 1u) << c.path;
    EXPECT_EQ(before[0], c.path);
    const auto req = fake_.Requests()[0];
    if (std::string(c.path) == "/SetChannel.cgi") {
      EXPECT_EQ(req.query.at("CH"), "3");
    } else {
      EXPECT_NE(req.body.find("\x11\x22\x33"), std::string::npos);
    }
    app_->C_ChannelBar = nullptr;
    fake_.ClearRequests();
  }
  LinkCtrlFileDevices(nullptr, 0);
}

}  // namespace
