// The Peripheral, General and Alarm pages against the fake recorder: what they show, what
// APPLY sends and what it stores in the client's settings.
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <cstring>

#include "config/CK4RPeripheral.h"
#include "config/FileDialogs.h"
#include "tests/config/pages_fixture.h"
#include "ui/Controls.h"

namespace {

bool Checked(ui::PropertyPage& page, int id) { return page.Item<QAbstractButton>(id)->isChecked(); }

// ---- peripheral ----

TEST_F(PagesTest, PeripheralShowsModelsAndRatesAndSendsOnlyChanges) {
  // Device 1: model 25, rate 1200, id 7; device 2: model 12 (unknown), rate 9600, id 9.
  Patch("PERI", {{2, 25}, {3, 12}, {4, 0xB0}, {5, 0x04}, {8, 0x80}, {9, 0x25}, {12, 7}, {13, 9}});
  Connect("K40R", "1010");
  app_->CSettingINI.m_bySelectedChannel = 1;
  auto sheet = OpenSheet();
  CPeripheralPage& page = sheet->m_PeripheralPage;
  ASSERT_TRUE(Show(*sheet, page));
  EXPECT_EQ(page.Item<ui::DropList>(CPeripheralPage::IDC_MODEL1)->currentText().toStdString(), "PTZ(P-D)");
  EXPECT_EQ(page.Item<ui::DropList>(CPeripheralPage::IDC_MODEL2)->currentText().toStdString(), "CAMERA");
  EXPECT_EQ(page.Item<ui::DropList>(CPeripheralPage::IDC_BAUD1)->currentText().toStdString(), "2400");
  EXPECT_EQ(page.Item<QLineEdit>(CPeripheralPage::IDC_ID1)->text().toStdString(), "7");
  // Only device 2's id changes: 1200 stays, and the table is rebuilt from PERI.
  page.Item<QLineEdit>(CPeripheralPage::IDC_ID2)->setText(QStringLiteral("200"));
  std::string expected = fake_.Section("PERI");
  expected[13] = static_cast<char>(200);
  sheet->OnClickApply();
  ASSERT_EQ(Sent("PERI").size(), 1u);
  EXPECT_EQ(Sent("PERI")[0], expected);
  ASSERT_EQ(app_->C_ControlD.GetEntryCount(), 2);
  EXPECT_EQ(app_->C_ControlD.GetEntry(0).byType, 25);
  EXPECT_EQ(app_->C_ControlD.GetEntry(0).dwBaud, 1200);
  EXPECT_EQ(app_->C_ControlD.GetEntry(1).byId, 200);
  EXPECT_EQ(app_->C_ControlD.GetCurrentIndex(), 0);  // the selected channel 1
}

TEST_F(PagesTest, PeripheralIdAboveAByteIsRefusedAndNothingIsSent) {
  MessageBoxRecorder boxes;
  Connect("K40R", "1010");
  auto sheet = OpenSheet();
  CPeripheralPage& page = sheet->m_PeripheralPage;
  ASSERT_TRUE(Show(*sheet, page));
  page.Item<QLineEdit>(CPeripheralPage::IDC_ID1)->setText(QStringLiteral("300"));
  // The page cannot be left...
  EXPECT_FALSE(sheet->SetActivePage(&sheet->m_AlarmPage));
  EXPECT_EQ(sheet->GetActivePage(), &page);
  // ...and APPLY sends nothing and keeps the sheet.
  sheet->OnClickApply();
  EXPECT_EQ(fake_.RequestCount(), 0u);
  EXPECT_TRUE(sheet->IsSheetOpen());
  ASSERT_GE(boxes.Texts().size(), 2u);
  EXPECT_EQ(boxes.Texts()[0], "Please enter an integer between 0 and 255.");
}

TEST_F(PagesTest, SecondPeripheralPageNamesTheCurrentDevice) {
  Connect("K40R", "1010");
  app_->C_ControlD.Reset();
  app_->C_ControlD.Add(2400, 4, 115, CDF_VIDEO);
  app_->C_ControlD.MakeCurrent(CDF_VIDEO, 0);
  auto sheet = OpenSheet();
  // Never added to the tree, but a page all the same.
  EXPECT_LT(sheet->GetPageIndex(&sheet->m_K4RPeripheralPage), 0);
  sheet->m_K4RPeripheralPage.CreatePage(sheet.get());
  EXPECT_EQ(sheet->m_K4RPeripheralPage.m_strId, "4");
  EXPECT_EQ(sheet->m_K4RPeripheralPage.m_strModel, "4CH NETWORK DVR (FULL)");
  EXPECT_STREQ(CK4RPeripheral::ModelText(11), "");
}

// ---- general ----

TEST_F(PagesTest, GeneralShowsVersionMacAndTheTitleCutToEight) {
  struct Case {
    const char* model;
    const char* firmware;
    const char* version;
    bool names;
  } cases[] = {{"K41R", "1043", "1.0.4.3", false},
               {"K40R", "1006", "1.0.0.6", false},
               {"K40R", "1010", "1.0.1.0", true},
               {"K44R", "10", "1.0", false}};
  for (const Case& c : cases) {
    std::string sys = fake_.Section("SYSTEM");
    std::memcpy(&sys[20], "TWELVECHARS!", 12);
    fake_.SetSection("SYSTEM", sys);
    Connect(c.model, c.firmware);
    app_->sz_MacAddress.Set("0011AABBCCDD");
    auto sheet = OpenSheet();
    ToolBoxPropertyPage& page = sheet->m_GeneralPage;
    ASSERT_TRUE(Show(*sheet, page));
    EXPECT_EQ(page.GetDlgItemText(ToolBoxPropertyPage::IDC_FIRMWARE).toStdString(), c.version) << c.firmware;
    EXPECT_EQ(page.GetDlgItemText(ToolBoxPropertyPage::IDC_MAC).toStdString(), "00:11:AA:BB:CC:DD");
    const bool titled = std::string(c.model) != "K44R";
    EXPECT_EQ(page.GetDlgItem(ToolBoxPropertyPage::IDC_TITLE)->isVisibleTo(&page), titled) << c.model;
    if (titled) {
      EXPECT_EQ(page.Item<QLineEdit>(ToolBoxPropertyPage::IDC_TITLE)->text().toStdString(), "TWELVECH");
    }
    EXPECT_EQ(page.GetDlgItem(ToolBoxPropertyPage::IDC_CH1_NAME)->isVisibleTo(&page), c.names) << c.firmware;
    // Unchanged: APPLY sends nothing of this page.
    sheet->OnClickApply();
    EXPECT_TRUE(Sent("SYSTEM").empty()) << c.model << " " << c.firmware;
    fake_.ClearRequests();
  }
}

TEST_F(PagesTest, GeneralSendsTitleAndChannelNames) {
  Connect("K40R", "1010");
  auto sheet = OpenSheet();
  ToolBoxPropertyPage& page = sheet->m_GeneralPage;
  ASSERT_TRUE(Show(*sheet, page));
  page.Item<QLineEdit>(ToolBoxPropertyPage::IDC_TITLE)->setText(QStringLiteral("Gate"));
  page.Item<QLineEdit>(ToolBoxPropertyPage::IDC_CH1_NAME)->setText(QStringLiteral("Yrd"));
  sheet->OnClickApply();
  ASSERT_EQ(Sent("SYSTEM").size(), 1u);
  EXPECT_EQ(Sent("SYSTEM")[0].substr(20, 16), std::string("Gate\0\0\0\0\0\0\0\0\0\0\0\0", 16));
  EXPECT_EQ(app_->strDeviceName.Get(), "Gate");
  ASSERT_EQ(Sent("RS485").size(), 1u);
  EXPECT_EQ(Sent("RS485")[0].substr(44, 16), std::string("Yrd\0\0\0\0\0\0\0\0\0\0\0\0\0", 16));
}

TEST_F(PagesTest, GeneralTitleOfAnUnfetchedSystemSectionIsNotEditable) {
  Connect("K41R", "1020");  // older firmware: single sections, SYSTEM not among them
  auto sheet = OpenSheet();
  ASSERT_TRUE(Show(*sheet, sheet->m_GeneralPage));
  EXPECT_FALSE(sheet->m_GeneralPage.GetDlgItem(ToolBoxPropertyPage::IDC_TITLE)->isEnabled());
}

TEST_F(PagesTest, TurboStepIsStoredAndAListWithoutChoiceKeepsIt) {
  struct Case {
    int stored;
    int chosen;  // -1: the list left as shown
    int after;
  } cases[] = {{5, 9, 10}, {0, -1, 0}, {31, -1, 31}, {7, -1, 7}};
  for (const Case& c : cases) {
    Connect("K43R");
    app_->by_TurboRepeatStep = static_cast<std::uint8_t>(c.stored);
    auto sheet = std::unique_ptr<MySystemDialog>(static_cast<MySystemDialog*>(SystemSheetFactory().NewSystemSheet()));
    sheet->CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
    ASSERT_TRUE(Show(*sheet, sheet->m_GeneralPage));
    auto* list = sheet->m_GeneralPage.Item<ui::DropList>(ToolBoxPropertyPage::IDC_TURBO);
    EXPECT_EQ(list->GetCurSel(), c.stored >= 1 && c.stored <= 30 ? c.stored - 1 : -1) << c.stored;
    if (c.chosen >= 0) list->SetCurSel(c.chosen);
    sheet->OnClickApply();
    EXPECT_EQ(app_->by_TurboRepeatStep.load(), c.after) << c.stored;
  }
}

// ---- alarm ----

TEST_F(PagesTest, AlarmDurationsPerFamilyAndPostNumberZero) {
  struct Case {
    const char* model;
    std::uint16_t duration;
    int items;
    const char* shown;
  } cases[] = {{"K40R", 0xFFFF, 6, "AUTO"}, {"K42R", 0xFFFF, 4, "5      SEC"}, {"K47R", 1800, 6, "30     MIN"},
               {"K41R", 20, 4, "20     SEC"}};
  for (const Case& c : cases) {
    Patch("ALARM", {{2, 0}, {6, static_cast<std::uint8_t>(c.duration & 0xFF)}, {7, static_cast<std::uint8_t>(c.duration >> 8)}});
    Connect(c.model, "1100");
    auto sheet = OpenSheet();
    AlarmPropertyPage& page = sheet->m_AlarmPage;
    ASSERT_TRUE(Show(*sheet, page));
    auto* list = page.Item<ui::DropList>(AlarmPropertyPage::IDC_DURATION);
    EXPECT_EQ(list->GetCount(), c.items) << c.model;
    EXPECT_EQ(list->currentText().toStdString(), c.shown) << c.model;
    EXPECT_EQ(page.Item<ui::DropList>(AlarmPropertyPage::IDC_POST_NUMBER)->currentText().toStdString(), "1");
  }
}

TEST_F(PagesTest, AlarmMethodClicks) {
  // Start method, clicks, end method and the Email/FTP checks.
  struct Case {
    std::uint8_t start;
    std::vector<int> clicks;
    std::uint8_t method;
    bool email, ftp;
  } cases[] = {
      {3, {AlarmPropertyPage::IDC_EMAIL}, 2, false, true},
      {3, {AlarmPropertyPage::IDC_EMAIL, AlarmPropertyPage::IDC_FTP}, 2, false, true},
      {2, {AlarmPropertyPage::IDC_DISABLE, AlarmPropertyPage::IDC_ENABLE}, 1, true, false},
      {1, {AlarmPropertyPage::IDC_FTP}, 3, true, true},
      {1, {AlarmPropertyPage::IDC_DISABLE}, 0, false, false},
  };
  for (const Case& c : cases) {
    Patch("ALARM", {{3, c.start}});
    Connect("K40R", "1010");
    auto sheet = OpenSheet();
    AlarmPropertyPage& page = sheet->m_AlarmPage;
    ASSERT_TRUE(Show(*sheet, page));
    for (int id : c.clicks) page.Item<QAbstractButton>(id)->click();
    EXPECT_EQ(page.m_byAlarmMethod, c.method) << int(c.start);
    EXPECT_EQ(Checked(page, AlarmPropertyPage::IDC_EMAIL), c.email) << int(c.start);
    EXPECT_EQ(Checked(page, AlarmPropertyPage::IDC_FTP), c.ftp) << int(c.start);
    EXPECT_EQ(page.GetDlgItem(AlarmPropertyPage::IDC_EMAIL)->isEnabled(), c.method != 0);
  }
}

TEST_F(PagesTest, AlarmSourcesOnTheVideoServer) {
  Patch("ALARM", {{9, 0x05}});
  Connect("K40R", "1010");
  auto sheet = OpenSheet();
  AlarmPropertyPage& page = sheet->m_AlarmPage;
  ASSERT_TRUE(Show(*sheet, page));
  const int first = AlarmPropertyPage::IDC_SOURCE_FIRST;
  for (int k = 0; k < 4; ++k) {
    const bool ch2 = (0x05 >> k) & 1;
    EXPECT_EQ(Checked(page, first + 2 * k), !ch2) << k;
    EXPECT_EQ(Checked(page, first + 2 * k + 1), ch2) << k;
  }
  page.Item<QAbstractButton>(first + 2 * 2 + 1)->click();  // source 3 on CH2: already
  page.Item<QAbstractButton>(first + 2 * 1 + 1)->click();  // source 2 on CH2
  EXPECT_EQ(page.m_byAlarmVideoSource, 0x07);
  EXPECT_TRUE(Checked(page, first + 3));
  EXPECT_FALSE(Checked(page, first + 2));
  sheet->OnClickApply();
  ASSERT_EQ(Sent("ALARM").size(), 1u);
  EXPECT_EQ(Sent("ALARM")[0][9], 0x07);
}

TEST_F(PagesTest, AlarmSoundControlsAreMadeHiddenAndKeepTheirValues) {
  Connect("K40R", "1010");
  auto sheet = OpenSheet();
  AlarmPropertyPage& page = sheet->m_AlarmPage;
  ASSERT_TRUE(Show(*sheet, page));
  for (int id : {AlarmPropertyPage::IDC_SOUND_PATH, AlarmPropertyPage::IDC_SOUND_CHECK, AlarmPropertyPage::IDC_SOUND_LOAD,
                 AlarmPropertyPage::IDC_CH1_BUTTON, AlarmPropertyPage::IDC_CH2_BUTTON}) {
    ASSERT_NE(page.GetDlgItem(id), nullptr) << id;
    EXPECT_FALSE(page.GetDlgItem(id)->isVisibleTo(&page)) << id;
  }
  // Load: a confirmed wave file goes into the box; a cancelled or empty choice changes nothing.
  struct Answer {
    int result;
    const char* chosen;
    const char* path;
  } answers[] = {{1, "/sounds/door.wav", "/sounds/door.wav"}, {2, "/sounds/other.wav", "/sounds/door.wav"},
                 {1, "", "/sounds/door.wav"}};
  std::string filter;
  for (const Answer& a : answers) {
    FileOpenFunction previous =
        SetFileOpenFunction([&](QWidget*, const std::string& f, const std::string&, std::string& chosen) {
          filter = f;
          chosen = a.chosen;
          return a.result;
        });
    page.Command(AlarmPropertyPage::IDC_SOUND_LOAD);
    SetFileOpenFunction(previous);
    EXPECT_EQ(page.m_strAlarmSoundPath, a.path) << a.chosen;
    EXPECT_EQ(page.GetDlgItemText(AlarmPropertyPage::IDC_SOUND_PATH).toStdString(), a.path) << a.chosen;
  }
  EXPECT_EQ(filter, "WAV files (*.wav)");
  // The switch toggles; the channel buttons do nothing; reading the page back keeps both.
  page.Command(AlarmPropertyPage::IDC_SOUND_CHECK);
  EXPECT_EQ(page.m_nAlarmSound, 1);
  EXPECT_TRUE(Checked(page, AlarmPropertyPage::IDC_SOUND_CHECK));
  const std::uint8_t method = page.m_byAlarmMethod, source = page.m_byAlarmVideoSource;
  page.Command(AlarmPropertyPage::IDC_CH1_BUTTON);
  page.Command(AlarmPropertyPage::IDC_CH2_BUTTON);
  EXPECT_EQ(page.m_byAlarmMethod, method);
  EXPECT_EQ(page.m_byAlarmVideoSource, source);
  ASSERT_TRUE(page.UpdateData(true));
  EXPECT_EQ(page.m_nAlarmSound, 1);
  EXPECT_EQ(page.m_strAlarmSoundPath, "/sounds/door.wav");
  page.Command(AlarmPropertyPage::IDC_SOUND_CHECK);
  EXPECT_EQ(page.m_nAlarmSound, 0);
}

TEST_F(PagesTest, AlarmApplyUnchangedSendsNothingAndStoresTheSettings) {
  // A VGA picture size stays VGA: the page shows no size radios.
  Patch("ALARM", {{5, 1}, {3, 1}, {2, 4}});
  Connect("K41R");
  app_->by_MultiChannel = 1;
  app_->CSettingINI.m_byAlarmAutoSwitchVideo = 1;
  app_->m_RTPH_Struct.m_wAlarmData = 2;
  auto sheet = std::unique_ptr<MySystemDialog>(static_cast<MySystemDialog*>(SystemSheetFactory().NewSystemSheet()));
  sheet->CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  AlarmPropertyPage& page = sheet->m_AlarmPage;
  ASSERT_TRUE(Show(*sheet, page));
  EXPECT_TRUE(page.GetDlgItem(AlarmPropertyPage::IDC_AUTO_SWITCH)->isVisibleTo(&page));
  EXPECT_FALSE(page.GetDlgItem(AlarmPropertyPage::IDC_SOURCE_GROUP)->isVisibleTo(&page));
  // Alarm Refresh clears the pending alarm and sends nothing.
  page.Item<QAbstractButton>(AlarmPropertyPage::IDC_ALARM_REFRESH)->click();
  EXPECT_EQ(app_->m_RTPH_Struct.m_wAlarmData.load(), 0);
  page.Item<QAbstractButton>(AlarmPropertyPage::IDC_AUTO_SWITCH)->click();
  sheet->OnClickApply();
  EXPECT_EQ(fake_.RequestCount(), 0u);
  EXPECT_EQ(app_->CSettingINI.m_byAlarmAutoSwitchVideo.load(), 0);
}

TEST_F(PagesTest, AlarmApplyStoresTheChangedFields) {
  Patch("ALARM", {{5, 1}, {3, 1}, {2, 4}, {6, 3}, {7, 0}});
  Connect("K47R", "1100");
  auto sheet = OpenSheet();
  AlarmPropertyPage& page = sheet->m_AlarmPage;
  ASSERT_TRUE(Show(*sheet, page));
  page.Item<ui::DropList>(AlarmPropertyPage::IDC_DURATION)->SetCurSel(4);     // 1800 s
  page.Item<ui::DropList>(AlarmPropertyPage::IDC_POST_NUMBER)->SetCurSel(9);  // 10 pictures
  std::string expected = fake_.Section("ALARM");
  expected[2] = 10;
  expected[6] = static_cast<char>(1800 & 0xFF);
  expected[7] = static_cast<char>(1800 >> 8);
  sheet->OnClickApply();
  ASSERT_EQ(Sent("ALARM").size(), 1u);
  EXPECT_EQ(Sent("ALARM")[0], expected);
}

}  // namespace
