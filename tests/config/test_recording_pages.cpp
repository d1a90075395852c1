// The camera, timer, date and record-setting pages of the DVR family and the server time page
// of the video servers, against the fake recorder: what the pages show, and the exact
// requests and section bodies the sheet's APPLY and "Sync Time" send.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

#include "config/MySystemDialog.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
#include "tests/config/config_fixture.h"
#include "tests/config/next_modal.h"
#include "platform/net.h"
#include "session/DvrSettings.h"
#include "session/Sections.h"
#include "session/SysCfg.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/QtWait.h"
#include "ui/Controls.h"

namespace {

std::string Query(const fake::RecordedRequest& r) { return r.target(); }

class RecordingPagesTest : public RecorderPageTest {
 protected:
  void SetUp() override {
    RecorderPageTest::SetUp();
    if (HasFatalFailure()) return;
  }
  void TearDown() override {
    sheet_.reset();
    RecorderPageTest::TearDown();
  }
  // Fetches a section from the fake (so it may be sent back), optionally after setting bytes.
  void Fetch(std::uint8_t option, const char* name, std::uint8_t* into, std::size_t size,
             const std::function<void(std::string&)>& edit = nullptr) {
    std::string bytes = fake_.Section(name);
    if (edit) edit(bytes);
    fake_.SetSection(name, bytes);
    ASSERT_EQ(GetSysCfgSection(option, into, static_cast<std::uint32_t>(size)), 1);
  }
  MySystemDialog& Open(ui::PropertyPage& page) {
    if (!sheet_) {
      sheet_ = std::make_unique<MySystemDialog>();
      sheet_->CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
    }
    EXPECT_TRUE(sheet_->SetActivePage(&page));
    return *sheet_;
  }
  MySystemDialog& Sheet() {
    if (!sheet_) {
      sheet_ = std::make_unique<MySystemDialog>();
      sheet_->CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
    }
    return *sheet_;
  }
  void Apply() { Sheet().SheetButton(IDC_SHEET_APPLY)->click(); }
  std::vector<fake::RecordedRequest> RequestsTo(const std::string& path) const {
    std::vector<fake::RecordedRequest> out;
    for (const auto& r : fake_.Requests()) {
      if (r.path == path) out.push_back(r);
    }
    return out;
  }
  std::string Cookie() const { return "Cookie=" + fake_.GetIdentity().sessionId; }

  std::unique_ptr<MySystemDialog> sheet_;
};

// ---- camera --------------------------------------------------------------------------------

TEST_F(RecordingPagesTest, CameraRowsAndTitlesByModel) {
  struct Case {
    const char* model;
    int rows;
  } cases[] = {{"K41R", 16}, {"K42R", 8}, {"K43R", 4}};
  for (const Case& c : cases) {
    Model(c.model, "1058");
    std::memcpy(app_->SysCfg_DVRLIVE + 116, "CAM1\0\0ABCDEF", 12);
    app_->SysCfg_DVRLIVE[4] = 200;
    app_->SysCfg_DVRLIVE[84] = 7;  // neither 0 nor 1
    app_->SysCfg_DVRREC[20] = 1;
    sheet_.reset();
    MySystemDialog& sheet = Sheet();
    sheet.SetActivePage(&sheet.m_CameraPage);
    ui::ReportList* list = sheet.m_CameraPage.List();
    ASSERT_EQ(list->GetItemCount(), c.rows) << c.model;
    EXPECT_EQ(list->GetItemText(0, 0).toStdString(), " 1");
    EXPECT_EQ(list->GetItemText(c.rows - 1, 0).toStdString(), QString::asprintf("%2d", c.rows).toStdString());
    EXPECT_EQ(list->GetItemText(0, 1).toStdString(), "CAM1");
    EXPECT_EQ(list->GetItemText(1, 1).toStdString(), "ABCDEF");
    EXPECT_EQ(list->GetItemText(0, 2).toStdString(), "200");
    EXPECT_EQ(list->GetItemText(0, 6).toStdString(), "NO");
    EXPECT_EQ(list->GetItemText(0, 7).toStdString(), "YES");
    EXPECT_EQ(list->headerItem()->text(4).toStdString(), "SU");
  }
}

TEST_F(RecordingPagesTest, CameraEditorNumbersAndTitle) {
  MessageBoxRecorder boxes;
  CCameraEditDlg dlg;
  dlg.m_nBrightness = 10;
  dlg.m_strInitTitle = "CAM1";
  dlg.OnInitDialog();
  dlg.show();
  auto* br = dlg.Item<QLineEdit>(1434);
  auto* title = dlg.Item<QLineEdit>(1439);
  struct Case {
    QLineEdit* edit;
    const char* typed;
    const char* shown;
  } cases[] = {{br, "300", "255"}, {br, "0005", "5"}, {title, "cam-1", "CAM1"}, {title, "ab_c", "ABC"}};
  for (const Case& c : cases) {
    c.edit->selectAll();
    c.edit->del();
    QTest::keyClicks(c.edit, QString::fromLatin1(c.typed));
    EXPECT_EQ(c.edit->text().toStdString(), c.shown) << c.typed;
  }
  EXPECT_EQ(dlg.m_nBrightness, 5);
  EXPECT_EQ(dlg.m_strTitle, "ABC");
  // Emptying a number box asks for a whole number at once and keeps the last value.
  const std::size_t before = boxes.Texts().size();
  br->selectAll();
  QTest::keyClick(br, Qt::Key_Delete);
  ASSERT_EQ(boxes.Texts().size(), before + 1);
  EXPECT_EQ(boxes.Texts().back(), LoadStr(IDS_ENTER_INTEGER));
  EXPECT_EQ(dlg.m_nBrightness, 5);
  // The box takes six characters: a seventh key and the rest of a longer paste are refused
  // without a message.
  br->setText(QStringLiteral("5"));
  const std::size_t shown = boxes.Texts().size();
  title->setText(QString());
  QTest::keyClicks(title, QStringLiteral("abcdefg"));
  EXPECT_EQ(title->text().toStdString(), "ABCDEF");
  EXPECT_EQ(dlg.m_strTitle, "ABCDEF");
  title->setText(QString());
  title->insert(QStringLiteral("abcdefgh"));
  EXPECT_EQ(title->text().toStdString(), "ABCDEF");
  EXPECT_EQ(boxes.Texts().size(), shown);
}

TEST_F(RecordingPagesTest, CameraEditFlowAndApply) {
  Model("K42R", "1058");
  Fetch(SYSCFG_DVRLIVE, "DVRLIVE", app_->SysCfg_DVRLIVE, kSysCfgSizeDVRLIVE, [](std::string& b) {
    std::memcpy(&b[116], "CAM1\0\0", 6);
  });
  Fetch(SYSCFG_DVRREC, "DVRREC", app_->SysCfg_DVRREC, kSysCfgSizeDVRREC, [](std::string& b) { b[20] = 0; });
  struct Case {
    const char* name;
    std::function<void(ui::Window*)> drive;
    bool live, rec;
  } cases[] = {
      {"escape", [](ui::Window* w) { QTest::keyClick(w, Qt::Key_Escape); }, false, false},
      {"ok unchanged", [](ui::Window* w) { w->Item<QPushButton>(plat::IDOK)->click(); }, false, false},
      {"rec only",
       [](ui::Window* w) {
         w->Item<ui::DropList>(1196)->SetCurSel(1);
         w->Item<QPushButton>(plat::IDOK)->click();
       },
       false, true},
      {"title and br",
       [](ui::Window* w) {
         w->Item<QLineEdit>(1439)->setText(QStringLiteral("ABC"));
         w->Item<QLineEdit>(1434)->setText(QStringLiteral("17"));
         w->Item<QPushButton>(plat::IDOK)->click();
       },
       true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sheet_.reset();
    fake_.ClearRequests();
    const std::string liveBefore(reinterpret_cast<char*>(app_->SysCfg_DVRLIVE), kSysCfgSizeDVRLIVE);
    MySystemDialog& sheet = Open(Sheet().m_CameraPage);
    sheet.m_CameraPage.List()->SelectRow(0);
    OnNextModal(c.drive);
    sheet.m_CameraPage.OnButtonEdit();
    EXPECT_EQ(sheet.m_CameraPage.m_bLiveChanged, c.live ? 1 : 0);
    EXPECT_EQ(sheet.m_CameraPage.m_bRecordChanged, c.rec ? 1 : 0);
    Apply();
    const auto sets = RequestsTo("/SetSysCfg.cgi");
    ASSERT_EQ(sets.size(), (c.live ? 1u : 0u) + (c.rec ? 1u : 0u));
    if (c.rec) {
      EXPECT_EQ(sets.back().query.at("Option"), "DVRREC");
      EXPECT_EQ(sets.back().body[20], 1);
      EXPECT_EQ(fake_.Section("DVRREC")[20], 1);
    }
    if (c.live) {
      EXPECT_EQ(sets[0].query.at("Option"), "DVRLIVE");
      EXPECT_EQ(sets[0].body.substr(116, 6), std::string("ABC\0\0\0", 6));
      EXPECT_EQ(static_cast<std::uint8_t>(sets[0].body[4]), 17);
      // Every other byte went back as it came.
      std::string expected = liveBefore;
      std::memcpy(&expected[116], "ABC\0\0\0", 6);
      expected[4] = 17;
      EXPECT_EQ(sets[0].body, expected);
    }
    if (!c.live && !c.rec) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(app_->SysCfg_DVRLIVE), kSysCfgSizeDVRLIVE), liveBefore);
    }
  }
}

TEST_F(RecordingPagesTest, CameraEditWithoutSelectionSaysSo) {
  MessageBoxRecorder boxes;
  Model("K43R", "1058");
  MySystemDialog& sheet = Open(Sheet().m_CameraPage);
  sheet.m_CameraPage.OnButtonEdit();
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "No item could be edited");
}

// ---- timer ---------------------------------------------------------------------------------

TEST_F(RecordingPagesTest, TimerSlotsShowAndApply) {
  Model("K42R", "1058");
  Fetch(SYSCFG_DVRREC, "DVRREC", app_->SysCfg_DVRREC, kSysCfgSizeDVRREC, [](std::string& b) {
    b[87] = 8;
    b[94] = 0x00, b[95] = 0x08;    // 08:00
    b[108] = 0x30, b[109] = 0x11;  // 17:48
    b[88] = 12;                    // a day code no list entry has
    b[96] = 0x05, b[97] = 0x19;    // hour 25: no time of day
  });
  const std::string before = fake_.Section("DVRREC");
  MySystemDialog& sheet = Open(Sheet().m_TimerRecordPage);
  TimerRecordPage& page = sheet.m_TimerRecordPage;
  EXPECT_EQ(page.Item<ui::DropList>(1195)->currentText().toStdString(), "MON-FRI");
  EXPECT_EQ(page.Picker(1479)->text().toStdString(), "08 : 00");
  EXPECT_EQ(page.Picker(1480)->text().toStdString(), "17 : 48");
  EXPECT_EQ(page.Item<ui::DropList>(1196)->GetCurSel(), -1);
  // Untouched: nothing goes out, and the odd slot keeps its bytes.
  EXPECT_EQ(sheet.ApplyTimerRecordPage(page), 1);
  EXPECT_TRUE(RequestsTo("/SetSysCfg.cgi").empty());
  // One end minute: the whole section once, with bytes 108-109 new and the rest as read.
  page.Picker(1480)->setTime(QTime(17, 49));
  Apply();
  const auto sets = RequestsTo("/SetSysCfg.cgi");
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].query.at("Option"), "DVRREC");
  std::string expected = before;
  expected[108] = 0x31;
  EXPECT_EQ(sets[0].body, expected);
  // A refused send is reported once, like the other steps.
  MessageBoxRecorder boxes;
  fake_.FailSetSysCfg("DVRREC", true);
  sheet_.reset();
  MySystemDialog& again = Open(Sheet().m_TimerRecordPage);
  again.m_TimerRecordPage.Item<ui::DropList>(1197)->setCurrentIndex(10);
  Apply();
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "Change System Config is failed");
}

TEST_F(RecordingPagesTest, NewPagesClosedBelow1058) {
  Model("K41R", "1057");
  MySystemDialog& sheet = Sheet();
  for (ui::PropertyPage* page : std::initializer_list<ui::PropertyPage*>{&sheet.m_TimerRecordPage, &sheet.m_DatePage,
                                                                          &sheet.m_RecordSettingPage}) {
    sheet.SetActivePage(page);
  }
  int disabled = 0;
  for (int n = 1; n <= 7; ++n) {
    for (int id : {TimerRecordPage::DayId(n), TimerRecordPage::StartId(n), TimerRecordPage::EndId(n)}) {
      disabled += sheet.m_TimerRecordPage.GetDlgItem(id)->isEnabled() ? 0 : 1;
    }
  }
  EXPECT_EQ(disabled, 21);
  EXPECT_FALSE(sheet.m_DatePage.GetDlgItem(IDC_DATE_DATE)->isEnabled());
  EXPECT_FALSE(sheet.m_RecordSettingPage.GetDlgItem(IDC_REC_QUALITY)->isEnabled());
  sheet.m_TimerRecordPage.Picker(1480)->setTime(QTime(1, 2));
  Apply();
  EXPECT_EQ(fake_.RequestCount(), 0u);
}

// ---- date ----------------------------------------------------------------------------------

TEST_F(RecordingPagesTest, DateReplyFillsThePage) {
  Model("K42R", "1058");
  MySystemDialog& sheet = Open(Sheet().m_DatePage);
  DVRDatePage& page = sheet.m_DatePage;
  ASSERT_EQ(RequestsTo("/GetDvrDate.cgi").size(), 1u);
  EXPECT_EQ(Query(RequestsTo("/GetDvrDate.cgi")[0]), "/GetDvrDate.cgi?" + Cookie());
  EXPECT_EQ(page.Picker(IDC_DATE_DATE)->text().toStdString(), "31 - Jan - 2006");
  EXPECT_EQ(page.Picker(IDC_DATE_TIME)->text().toStdString(), "23 : 59 : 58");
  EXPECT_EQ(page.Item<ui::DropList>(IDC_DATE_FORMAT)->currentText().toStdString(), "D-M-Y");
  EXPECT_TRUE(page.Item<QRadioButton>(IDC_DATE_DST_ON)->isChecked());
  EXPECT_FALSE(page.Item<QRadioButton>(IDC_DATE_DST_OFF)->isChecked());
  EXPECT_EQ(page.Item<ui::DropList>(IDC_DATE_END_WEEK)->currentText().toStdString(), "LAST");
  // The format list changes the date's display order.
  page.Item<ui::DropList>(IDC_DATE_FORMAT)->setCurrentIndex(1);
  page.OnSelchangeFormat();
  EXPECT_EQ(page.Picker(IDC_DATE_DATE)->text().toStdString(), "Jan - 31 - 2006");
}

TEST_F(RecordingPagesTest, DateApplySendsTheFlaggedChange) {
  Model("K42R", "1058");
  const std::string rule =
      "&STARTWEEKINDEX=0&STARTDAYOFWEEK=0&STARTMONTH=2&STARTHOUR=2&STARTMINUTE=0&ENDWEEKINDEX=4&ENDDAYOFWEEK=0"
      "&ENDMONTH=9&ENDHOUR=3&ENDMINUTE=0&ADJUSTHOUR=1&ADJUSTMINUTE=0";
  struct Case {
    const char* name;
    std::function<void(DVRDatePage&)> change;
    std::string expected;  // after the cookie; empty: nothing sent
  } cases[] = {
      {"untouched", [](DVRDatePage&) {}, ""},
      {"daylight off", [](DVRDatePage& p) { p.Item<QRadioButton>(IDC_DATE_DST_OFF)->click(); },
       "&YEAR=2006&MONTH=1&DAY=31&DAYOFWEEK=2&HOUR=23&MINUTE=59&SECOND=58&FORMAT=2&DAYLIGHTSAVING=0&CHDATE=0"
       "&CHFORMAT=0&CHDAYLIGHT=1&CHDAYLIGHTTIME=0" + rule},
      {"start minute 30", [](DVRDatePage& p) { p.Picker(IDC_DATE_START_TIME)->setTime(QTime(2, 30)); },
       "&YEAR=2006&MONTH=1&DAY=31&DAYOFWEEK=2&HOUR=23&MINUTE=59&SECOND=58&FORMAT=2&DAYLIGHTSAVING=1&CHDATE=0"
       "&CHFORMAT=0&CHDAYLIGHT=0&CHDAYLIGHTTIME=1&STARTWEEKINDEX=0&STARTDAYOFWEEK=0&STARTMONTH=2&STARTHOUR=2"
       "&STARTMINUTE=30&ENDWEEKINDEX=4&ENDDAYOFWEEK=0&ENDMONTH=9&ENDHOUR=3&ENDMINUTE=0&ADJUSTHOUR=1&ADJUSTMINUTE=0"},
      {"new date", [](DVRDatePage& p) { p.Picker(IDC_DATE_DATE)->setDate(QDate(2007, 2, 3)); },
       "&YEAR=2007&MONTH=2&DAY=3&DAYOFWEEK=6&HOUR=23&MINUTE=59&SECOND=58&FORMAT=2&DAYLIGHTSAVING=1&CHDATE=1"
       "&CHFORMAT=0&CHDAYLIGHT=0&CHDAYLIGHTTIME=0" + rule},
      {"format", [](DVRDatePage& p) { p.Item<ui::DropList>(IDC_DATE_FORMAT)->setCurrentIndex(0); },
       "&YEAR=2006&MONTH=1&DAY=31&DAYOFWEEK=2&HOUR=23&MINUTE=59&SECOND=58&FORMAT=0&DAYLIGHTSAVING=1&CHDATE=0"
       "&CHFORMAT=1&CHDAYLIGHT=0&CHDAYLIGHTTIME=0" + rule},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The recorder as it was before the earlier cases changed it.
    fake_.SetDvrDateValues("YEAR=2006;MONTH=1;DAY=31;FORMAT=2;DAYLIGHTSAVING=1;STARTMINUTE=0");
    sheet_.reset();
    fake_.ClearRequests();
    MySystemDialog& sheet = Open(Sheet().m_DatePage);
    c.change(sheet.m_DatePage);
    Apply();
    const auto sets = RequestsTo("/SetDvrDate.cgi");
    if (c.expected.empty()) {
      EXPECT_TRUE(sets.empty());
      continue;
    }
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(Query(sets[0]), "/SetDvrDate.cgi?" + Cookie() + c.expected);
  }
  // The fake applied the last change (the format) and nothing else.
  EXPECT_EQ(fake_.DvrDateValue("FORMAT"), 0);
  EXPECT_EQ(fake_.DvrDateValue("YEAR"), 2006);
}

TEST_F(RecordingPagesTest, DateOddReplies) {
  Model("K43R", "1058");
  MessageBoxRecorder boxes;
  // An empty body: the page opens with the read values all 0.
  fake_.SetRawReply("/GetDvrDate.cgi", fake::RawReply{"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", {}, true, 0});
  {
    MySystemDialog& sheet = Open(Sheet().m_DatePage);
    DVRDatePage& page = sheet.m_DatePage;
    EXPECT_TRUE(page.GetDlgItem(IDC_DATE_DATE)->isEnabled());
    EXPECT_EQ(page.Item<ui::DropList>(IDC_DATE_FORMAT)->currentText().toStdString(), "Y-M-D");
    EXPECT_TRUE(page.Item<QRadioButton>(IDC_DATE_DST_OFF)->isChecked());
    // The invalid date read shows the PC's clock and, untouched, raises no flag.
    EXPECT_EQ(sheet.ApplyDvrDatePage(page), 1);
    EXPECT_TRUE(RequestsTo("/SetDvrDate.cgi").empty());
  }
  // FORMAT 7: no selection, the default display order, and sent back with its flag 0.
  fake_.ClearRawReply("/GetDvrDate.cgi");
  fake_.SetDvrDateValues("FORMAT=7");
  sheet_.reset();
  {
    MySystemDialog& sheet = Open(Sheet().m_DatePage);
    DVRDatePage& page = sheet.m_DatePage;
    EXPECT_EQ(page.Item<ui::DropList>(IDC_DATE_FORMAT)->GetCurSel(), -1);
    EXPECT_EQ(page.Picker(IDC_DATE_DATE)->text().toStdString(), "2006 - Jan - 31");
    page.Item<QRadioButton>(IDC_DATE_DST_OFF)->click();
    sheet.ApplyDvrDatePage(page);
    const auto sets = RequestsTo("/SetDvrDate.cgi");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].query.at("FORMAT"), "7");
    EXPECT_EQ(sets[0].query.at("CHFORMAT"), "0");
  }
  // A failed read disables the page; APPLY then sends nothing for it.
  fake_.FailCommand("/GetDvrDate.cgi", true);
  fake_.ClearRequests();
  sheet_.reset();
  {
    MySystemDialog& sheet = Open(Sheet().m_DatePage);
    EXPECT_FALSE(sheet.m_DatePage.GetDlgItem(IDC_DATE_ADJUST)->isEnabled());
    Apply();
    EXPECT_TRUE(RequestsTo("/SetDvrDate.cgi").empty());
  }
  // A failed write is reported once.
  fake_.FailCommand("/GetDvrDate.cgi", false);
  fake_.FailCommand("/SetDvrDate.cgi", true);
  sheet_.reset();
  {
    MySystemDialog& sheet = Open(Sheet().m_DatePage);
    sheet.m_DatePage.Item<QRadioButton>(IDC_DATE_DST_ON)->click();
    const std::size_t before = boxes.Texts().size();
    EXPECT_EQ(sheet.ApplyDvrDatePage(sheet.m_DatePage), 0);
    ASSERT_EQ(boxes.Texts().size(), before + 1);
    EXPECT_EQ(boxes.Texts().back(), "Change System Config is failed");
  }
}

TEST(DvrSettingsReply, WholeKeysOnly) {
  struct Case {
    const char* reply;
    int day, daylight, year;
  } cases[] = {
      {"YEAR=2006;MONTH=1;DAY=31;DAYLIGHTSAVING=1;", 31, 1, 2006},
      {"DAYLIGHTSAVING=1;DAY=7;", 7, 1, 0},
      {"DAYLIGHTSAVING=1;", 0, 1, 0},
      {"XYEAR=5;YEAR= -2;DAY=9", 9, 0, 65534},
      {"", 0, 0, 0},
  };
  for (const Case& c : cases) {
    DvrDateValues v;
    ParseDvrDateReply(c.reply, v);
    EXPECT_EQ(v.day, c.day) << c.reply;
    EXPECT_EQ(v.daylightSaving, c.daylight) << c.reply;
    EXPECT_EQ(v.year, c.year) << c.reply;
  }
  RecordSettingValues r;
  ParseRecordSettingReply("MANUALRATETYPE=3;TIMERRATETYPE=2;MANUAL=1;QUALITY=264;", r);
  EXPECT_EQ(r.manual, 1);
  EXPECT_EQ(r.manualRateType, 3);
  EXPECT_EQ(r.timer, 0);
  EXPECT_EQ(r.timerRateType, 2);
  EXPECT_EQ(r.quality, 8);  // cut to 8 bits
}

// ---- record setting ------------------------------------------------------------------------

TEST_F(RecordingPagesTest, RecordRatesByChannelsVideoTypeAndSize) {
  struct Case {
    const char* model;
    const char* values;
    const char* rates;
  } cases[] = {
      {"K43R", "VIDEOTYPE=1;RECMODE=0", "25 12 6 3"},
      {"K41R", "VIDEOTYPE=0;RECMODE=2", "480 240 120 60"},
      {"K42R", "VIDEOTYPE=1;RECMODE=1", "100 50 25 12"},
      {"K42R", "VIDEOTYPE=2;RECMODE=1", ""},
      {"K42R", "VIDEOTYPE=0;RECMODE=3", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.values);
    Model(c.model, "1058");
    fake_.SetRecordSettingValues(c.values);
    sheet_.reset();
    MySystemDialog& sheet = Open(Sheet().m_RecordSettingPage);
    for (int id : {IDC_REC_MANUAL_IPS, IDC_REC_EVENT_IPS, IDC_REC_TIMER_IPS}) {
      auto* l = sheet.m_RecordSettingPage.Item<ui::DropList>(id);
      std::string shown;
      for (int i = 0; i < l->count(); ++i) shown += (i ? " " : "") + l->itemText(i).toStdString();
      EXPECT_EQ(shown, c.rates);
    }
  }
}

TEST_F(RecordingPagesTest, RecordApplyQueries) {
  Model("K41R", "1058");
  const std::string none =
      "&CHMANUALREC=0&CHEVENTREC=0&CHTIMERREC=0&CHOV=0&CHQT=0&CHRECMODE=0&CHMOTIONRATE=0&CHMANUALRATE=0"
      "&CHTIMERRATE=0&CHIPSSHARE=1&RECORDFIX=1";
  struct Case {
    const char* name;
    const char* values;
    std::function<void(DVRRecordPage&)> change;
    std::string expected;
  } cases[] = {
      {"no change", "", [](DVRRecordPage&) {}, none},
      {"quality 7 untouched", "QUALITY=7", [](DVRRecordPage& p) {
         EXPECT_EQ(p.Item<ui::DropList>(IDC_REC_QUALITY)->GetCurSel(), -1);
       }, none},
      {"cif", "QUALITY=8", [](DVRRecordPage& p) {
         p.Item<QRadioButton>(IDC_REC_CIF)->click();
         EXPECT_TRUE(p.Item<QRadioButton>(IDC_REC_FIX)->isChecked());
         EXPECT_FALSE(p.GetDlgItem(IDC_REC_FIX)->isEnabled());
         EXPECT_EQ(p.Item<ui::DropList>(IDC_REC_MANUAL_IPS)->currentText().toStdString(), "480");
         // FIELD after CIF keeps FIX and the sharing buttons disabled.
         p.Item<QRadioButton>(IDC_REC_FIELD)->click();
         EXPECT_FALSE(p.GetDlgItem(IDC_REC_GROUP)->isEnabled());
         p.Item<QRadioButton>(IDC_REC_CIF)->click();
       },
       "&CHMANUALREC=0&CHEVENTREC=0&CHTIMERREC=0&CHOV=0&CHQT=0&CHRECMODE=1&RECMODE=2&CHMOTIONRATE=1"
       "&MOTIONRATETYPE=0&CHMANUALRATE=0&CHTIMERRATE=1&TIMERRATETYPE=0&CHIPSSHARE=1&RECORDFIX=1"},
      {"timer yes and basic", "", [](DVRRecordPage& p) {
         p.Item<QRadioButton>(IDC_REC_TIMER_YES)->click();
         p.Item<ui::DropList>(IDC_REC_QUALITY)->setCurrentIndex(3);
         p.OnSelchangeQuality();
         p.Item<QRadioButton>(IDC_REC_GROUP)->click();
       },
       "&CHMANUALREC=0&CHEVENTREC=0&CHTIMERREC=1&TIMER=1&CHOV=0&CHQT=1&QUALITY=16&CHRECMODE=0&CHMOTIONRATE=0"
       "&CHMANUALRATE=0&CHTIMERRATE=0&CHIPSSHARE=1&RECORDFIX=0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.SetRecordSettingValues(std::string("TIMER=0;RECMODE=0;QUALITY=8;RECORDFIX=1;") + c.values);
    fake_.ClearRequests();
    sheet_.reset();
    MySystemDialog& sheet = Open(Sheet().m_RecordSettingPage);
    c.change(sheet.m_RecordSettingPage);
    Apply();
    const auto sets = RequestsTo("/SetRecordSetting.cgi");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(Query(sets[0]), "/SetRecordSetting.cgi?" + Cookie() + c.expected);
  }
  EXPECT_EQ(fake_.RecordSettingValue("QUALITY"), 16);
  EXPECT_EQ(fake_.RecordSettingValue("TIMER"), 1);
  EXPECT_EQ(fake_.RecordSettingValue("RECORDFIX"), 0);
}

TEST_F(RecordingPagesTest, RecordSupportedSizesAndSharing) {
  Model("K42R", "1058");
  fake_.SetRecordSettingValues("SUPPORTMODE=3;SUPPORTIPSSHARE=2;RECMODE=1");
  MySystemDialog& sheet = Open(Sheet().m_RecordSettingPage);
  DVRRecordPage& page = sheet.m_RecordSettingPage;
  EXPECT_TRUE(page.GetDlgItem(IDC_REC_CIF)->isHidden());
  EXPECT_FALSE(page.GetDlgItem(IDC_REC_FRAME)->isHidden());
  EXPECT_FALSE(page.GetDlgItem(IDC_REC_FIX)->isEnabled());
  // A rate picked in a list, then the size already chosen pressed again: the list goes back
  // to the rate its field holds.
  auto* manual = page.Item<ui::DropList>(IDC_REC_MANUAL_IPS);
  const int held = manual->GetCurSel();
  manual->setCurrentIndex(held == 3 ? 2 : 3);
  page.Item<QRadioButton>(IDC_REC_FIELD)->click();
  EXPECT_EQ(manual->GetCurSel(), held);
  page.Item<QRadioButton>(IDC_REC_FRAME)->click();
  EXPECT_TRUE(page.GetDlgItem(IDC_REC_FIX)->isEnabled());
  EXPECT_TRUE(page.GetDlgItem(IDC_REC_GROUP)->isEnabled());
  // A refused write is reported once.
  MessageBoxRecorder boxes;
  fake_.FailCommand("/SetRecordSetting.cgi", true);
  EXPECT_EQ(sheet.ApplyDvrRecordPage(page), 0);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "Change System Config is failed");
  fake_.FailCommand("/SetRecordSetting.cgi", false);
  // A failed read disables the page and APPLY sends nothing for it.
  fake_.FailCommand("/GetRecordSetting.cgi", true);
  fake_.ClearRequests();
  sheet_.reset();
  MySystemDialog& again = Open(Sheet().m_RecordSettingPage);
  EXPECT_FALSE(again.m_RecordSettingPage.GetDlgItem(IDC_REC_MANUAL_YES)->isEnabled());
  Apply();
  EXPECT_TRUE(RequestsTo("/SetRecordSetting.cgi").empty());
}

// ---- server time ---------------------------------------------------------------------------

TEST_F(RecordingPagesTest, SyncTimeQueries) {
  Model("K40R", "1010");
  struct Case {
    const char* name;
    int zone;
    const char* server;  // null: Automatic
    bool byUser;
    std::string expected;
  } cases[] = {
      {"by user", 0, nullptr, true, "&Mode=0&Year=2008&Month=3&Day=15&Hour=9&Minute=5&Second=0"},
      {"zone 18 typed", 18, "pool.example-1", false, "&Mode=1&ServerMode=0&Server=pool.example-1&NationID=18&Hour=-3&Minute=-30"},
      {"zone 49 automatic", 49, nullptr, false, "&Mode=1&ServerMode=1&NationID=49&Hour=5&Minute=45"},
      {"zone 25", 25, nullptr, false, "&Mode=1&ServerMode=1&NationID=25&Hour=0&Minute=0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fetch(SYSCFG_SNTP, "SNTP", app_->SysCfg_SNTP, kSysCfgSizeSNTP, [](std::string& b) {
      b.assign(36, '\0');
      b[5] = 3;
      b[6] = 1;
    });
    fake_.ClearRequests();
    sheet_.reset();
    MySystemDialog& sheet = Open(Sheet().m_SntpPage);
    CSNTPPage& page = sheet.m_SntpPage;
    if (c.byUser) {
      page.Item<QRadioButton>(IDC_SNTP_BY_USER)->click();
      page.m_pDatePicker->setDate(QDate(2008, 3, 15));
      page.m_pTimePicker->setTime(QTime(9, 5, 0));
    } else {
      page.Item<ui::DropList>(IDC_SNTP_ZONE)->setCurrentIndex(c.zone);
      if (c.server) {
        page.Item<QRadioButton>(IDC_SNTP_CUSTOM)->click();
        page.Item<QLineEdit>(IDC_SNTP_SERVER)->setText(QString::fromLatin1(c.server));
      }
    }
    page.Item<QPushButton>(IDC_SNTP_SYNC)->click();
    ProcessEvents();  // the sheet's WM_SYNCTIMEDONE
    const auto syncs = RequestsTo("/SyncTime.cgi");
    ASSERT_EQ(syncs.size(), 1u);
    EXPECT_EQ(Query(syncs[0]), "/SyncTime.cgi?" + Cookie() + c.expected);
    const auto sets = RequestsTo("/SetSysCfg.cgi");
    if (c.byUser) {
      // The time mode changed to "by the user": only that byte.
      ASSERT_EQ(sets.size(), 1u);
      EXPECT_EQ(sets[0].body[6], 0);
      continue;
    }
    ASSERT_EQ(sets.size(), 1u);
    std::string expected(36, '\0');
    expected[6] = 1;
    expected[5] = static_cast<char>(c.zone);
    sect::TimeZone tz;
    ASSERT_TRUE(sect::TimeZoneEntry(c.zone, tz));
    expected[2] = static_cast<char>(tz.hours);
    expected[3] = static_cast<char>(tz.minutes);
    if (c.server) std::memcpy(&expected[8], c.server, std::strlen(c.server));
    EXPECT_EQ(sets[0].body, expected);
    // After the sync the choice counts as unchanged: APPLY sends nothing more.
    fake_.ClearRequests();
    EXPECT_EQ(sheet.ApplySntpPage(page), 1);
    EXPECT_TRUE(RequestsTo("/SetSysCfg.cgi").empty());
  }
}

TEST_F(RecordingPagesTest, SyncTimeRefusalsAndFailure) {
  Model("K40R", "1010");
  MessageBoxRecorder boxes;
  Fetch(SYSCFG_SNTP, "SNTP", app_->SysCfg_SNTP, kSysCfgSizeSNTP, [](std::string& b) {
    b.assign(36, '\0');
    b[5] = 80;  // no zone of the table
    b[6] = 1;
  });
  fake_.ClearRequests();
  MySystemDialog& sheet = Open(Sheet().m_SntpPage);
  CSNTPPage& page = sheet.m_SntpPage;
  EXPECT_EQ(page.Item<ui::DropList>(IDC_SNTP_ZONE)->GetCurSel(), -1);
  EXPECT_TRUE(page.Item<QRadioButton>(IDC_SNTP_AUTOMATIC)->isChecked());
  EXPECT_FALSE(page.GetDlgItem(IDC_SNTP_SERVER)->isEnabled());
  EXPECT_TRUE(page.m_pDatePicker->isHidden());
  // Server mode without a zone: a message, nothing sent.
  page.Item<QPushButton>(IDC_SNTP_SYNC)->click();
  ProcessEvents();
  EXPECT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(fake_.RequestCount(), 0u);
  // A character the request cannot carry is refused as it is typed.
  page.Item<QRadioButton>(IDC_SNTP_CUSTOM)->click();
  QTest::keyClicks(page.Item<QLineEdit>(IDC_SNTP_SERVER), QStringLiteral("a b&c"));
  EXPECT_EQ(page.Item<QLineEdit>(IDC_SNTP_SERVER)->text().toStdString(), "abc");
  EXPECT_EQ(boxes.Texts().size(), 3u);
  // The recorder refuses the sync: "Send command timeout" once, then the section all the same.
  fake_.FailCommand("/SyncTime.cgi", true);
  page.Item<ui::DropList>(IDC_SNTP_ZONE)->setCurrentIndex(49);
  page.Item<QPushButton>(IDC_SNTP_SYNC)->click();
  ProcessEvents();
  ASSERT_EQ(boxes.Texts().size(), 4u);
  EXPECT_EQ(boxes.Texts().back(), "Send command timeout");
  const auto requests = fake_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].path, "/SyncTime.cgi");
  EXPECT_EQ(requests[1].path, "/SetSysCfg.cgi");
  EXPECT_EQ(requests[1].body[5], 49);
  EXPECT_EQ(requests[1].body.substr(8, 4), std::string("abc\0", 4));
}

TEST_F(RecordingPagesTest, SntpApplyWithoutZoneKeepsZoneBytes) {
  Model("K47R", "1010");
  Fetch(SYSCFG_SNTP, "SNTP", app_->SysCfg_SNTP, kSysCfgSizeSNTP, [](std::string& b) {
    b.assign(36, '\0');
    b[2] = 9, b[3] = 0, b[5] = 90, b[6] = 1;
  });
  MySystemDialog& sheet = Open(Sheet().m_SntpPage);
  sheet.m_SntpPage.Item<QRadioButton>(IDC_SNTP_BY_USER)->click();
  Apply();
  const auto sets = RequestsTo("/SetSysCfg.cgi");
  ASSERT_EQ(sets.size(), 1u);
  std::string expected(36, '\0');
  expected[2] = 9, expected[5] = 90, expected[6] = 0;
  EXPECT_EQ(sets[0].body, expected);
}

}  // namespace
