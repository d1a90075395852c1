// The pages the sheet keeps but never shows: schedule windows, R.E.T.R. and video setting.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>

#include "config/MySystemDialog.h"
#include "tests/config/next_modal.h"
#include "tests/config/page_model_fixture.h"
#include "tests/support/MessageBoxRecorder.h"
#include "ui/Controls.h"

namespace {

class KeptPagesTest : public ::testing::Test {
 protected:
  void SetUp() override { host_ = std::make_unique<QWidget>(); }
  void TearDown() override { host_.reset(); }
  TestPageModel model_;
  std::unique_ptr<QWidget> host_;
};

// Adds one window through the time dialog, as the operator would fill it in.
void AddWindow(CScheduleRecordPage& page, QDate day, int h1, int m1, int h2, int m2) {
  OnNextModal([=](ui::Window* w) {
    w->Item<ui::DateTimePicker>(IDC_TIME_START_DATE)->setDate(day);
    w->Item<ui::DateTimePicker>(IDC_TIME_END_DATE)->setDate(day);
    w->Item<ui::DropList>(IDC_TIME_START_HOUR)->SetCurSel(h1);
    w->Item<ui::DropList>(IDC_TIME_START_MINUTE)->SetCurSel(m1);
    w->Item<ui::DropList>(IDC_TIME_END_HOUR)->SetCurSel(h2);
    w->Item<ui::DropList>(IDC_TIME_END_MINUTE)->SetCurSel(m2);
    w->Item<QPushButton>(plat::IDOK)->click();
  });
  page.OnButtonAdd();
}

std::string Rows(CScheduleRecordPage& page) {
  std::string out;
  ui::ReportList* l = page.List();
  for (int r = 0; r < l->GetItemCount(); ++r) {
    if (r) out += "; ";
    out += l->GetItemText(r, 0).toStdString() + " " + l->GetItemText(r, 1).toStdString().substr(11, 5) + "-" +
           l->GetItemText(r, 2).toStdString().substr(11, 5);
  }
  return out;
}

TEST_F(KeptPagesTest, ScheduleWindows) {
  MessageBoxRecorder boxes;
  CScheduleRecordPage page;
  page.CreatePage(host_.get());
  const QDate day(2026, 5, 4);
  AddWindow(page, day, 14, 0, 15, 0);
  AddWindow(page, day, 9, 0, 10, 0);
  EXPECT_EQ(Rows(page), "1 09:00-10:00; 2 14:00-15:00");
  struct Refused {
    int h1, m1, h2, m2;
    const char* text;
  } refused[] = {
      {10, 0, 11, 0, CScheduleRecordPage::kCoveredText},   // touches 10:00
      {8, 0, 9, 0, CScheduleRecordPage::kCoveredText},     // touches 09:00
      {9, 30, 9, 45, CScheduleRecordPage::kCoveredText},   // inside
      {12, 0, 11, 0, CScheduleRecordPage::kWrongText},     // ends before it starts
      {12, 0, 12, 0, CScheduleRecordPage::kWrongText},
  };
  for (const Refused& r : refused) {
    AddWindow(page, day, r.h1, r.m1, r.h2, r.m2);
    ASSERT_FALSE(boxes.Texts().empty());
    EXPECT_EQ(boxes.Texts().back(), r.text);
  }
  EXPECT_EQ(model_.schedule.m_nScheduleCount, 2);
  AddWindow(page, day, 10, 1, 11, 0);
  EXPECT_EQ(Rows(page), "1 09:00-10:00; 2 10:01-11:00; 3 14:00-15:00");
  // Up to ten; the eleventh is refused.
  for (int h = 16; h < 23; ++h) AddWindow(page, day, h, 0, h, 30);
  EXPECT_EQ(model_.schedule.m_nScheduleCount, 10);
  AddWindow(page, QDate(2026, 5, 5), 1, 0, 2, 0);
  EXPECT_EQ(boxes.Texts().back(), CScheduleRecordPage::kTooManyText);
  EXPECT_EQ(model_.schedule.m_nScheduleCount, 10);
  // Deleting the first row renumbers the rest.
  page.List()->SelectRow(0);
  page.OnButtonDelete();
  EXPECT_EQ(model_.schedule.m_nScheduleCount, 9);
  EXPECT_EQ(page.List()->GetItemText(0, 0).toStdString(), "1");
  EXPECT_EQ(page.List()->GetItemText(8, 0).toStdString(), "9");
  EXPECT_EQ(page.List()->GetItemText(0, 1).toStdString().substr(11, 5), "10:01");
  // Editing a window to a later time is not compared with itself.
  page.List()->SelectRow(0);
  OnNextModal([](ui::Window* w) {
    EXPECT_EQ(w->Item<ui::DropList>(IDC_TIME_START_HOUR)->GetCurSel(), 10);
    EXPECT_EQ(w->Item<ui::DropList>(IDC_TIME_START_MINUTE)->GetCurSel(), 1);
    w->Item<ui::DropList>(IDC_TIME_END_MINUTE)->SetCurSel(30);
    w->Item<QPushButton>(plat::IDOK)->click();
  });
  page.OnButtonEdit();
  EXPECT_EQ(page.List()->GetItemText(0, 2).toStdString().substr(11, 5), "11:30");
  EXPECT_EQ(model_.schedule.m_nScheduleCount, 9);
  // Nothing selected.
  page.List()->SelectRow(-1);
  page.OnButtonDelete();
  EXPECT_EQ(boxes.Texts().back(), "You should select a account before press delete button");
}

TEST_F(KeptPagesTest, RetrLimitsAndRadios) {
  CAlarmTriggerPage page;
  page.m_byRecord = 1;
  page.CreatePage(host_.get());
  EXPECT_TRUE(page.Item<QRadioButton>(IDC_RETR_ENABLE)->isChecked());
  EXPECT_EQ(page.m_nOnOff, 0);
  EXPECT_EQ(page.m_dwGateway, 0u);
  struct Case {
    int id;
    const char* typed;
    const char* shown;
  } cases[] = {{IDC_RETR_HOUR, "30", "23"}, {IDC_RETR_MINUTE, "75", "59"}, {IDC_RETR_HOUR, "07", "7"}};
  for (const Case& c : cases) {
    auto* e = page.Item<QLineEdit>(c.id);
    e->clear();
    QTest::keyClicks(e, QString::fromLatin1(c.typed));
    EXPECT_EQ(e->text().toStdString(), c.shown) << c.typed;
  }
  EXPECT_EQ(page.m_nHour, 7u);
  EXPECT_EQ(page.m_nMinute, 59u);
  page.Item<QRadioButton>(IDC_RETR_QVGA)->click();
  page.Item<QRadioButton>(IDC_RETR_OFF)->click();
  EXPECT_TRUE(page.Item<QRadioButton>(IDC_RETR_QVGA)->isChecked());
  EXPECT_FALSE(page.Item<QRadioButton>(IDC_RETR_VGA)->isChecked());
  EXPECT_TRUE(page.Item<QRadioButton>(IDC_RETR_OFF)->isChecked());
  page.Item<QRadioButton>(IDC_RETR_DISABLE)->click();
  EXPECT_EQ(page.m_byRecord, 0);
}

TEST_F(KeptPagesTest, VideoSettingChoices) {
  EXPECT_EQ(CSetZududCmdPage::ResolutionChoice(720, 576), -1);
  EXPECT_EQ(CSetZududCmdPage::ResolutionChoice(352, 288), 1);
  struct Rate {
    int code, choice;
  } rates[] = {{0x00, 0}, {0x15, 1}, {0x30, 2}, {0x33, 3}, {0x98, 5}, {0x99, 6}, {0x400, 6}};
  for (const Rate& r : rates) EXPECT_EQ(CSetZududCmdPage::BitRateChoice(r.code), r.choice) << r.code;
  struct Quality {
    int q, choice;
  } qualities[] = {{0, -1}, {1, 0}, {49, 0}, {50, 1}, {70, 2}, {100, 2}, {101, -1}};
  for (const Quality& q : qualities) EXPECT_EQ(CSetZududCmdPage::QualityChoice(q.q), q.choice) << q.q;

  model_.frameWidth = 720;
  model_.frameHeight = 576;
  model_.videoMode = 1;
  model_.videoSetting[CSetZududCmdPage::kOffType] = 4;
  model_.videoSetting[CSetZududCmdPage::kOffQuality] = 0;
  model_.videoSetting[CSetZududCmdPage::kOffRate] = 0x30;
  MySystemDialog sheet;
  sheet.m_VideoSettingPage.CreatePage(host_.get());
  CSetZududCmdPage& page = sheet.m_VideoSettingPage;
  EXPECT_EQ(page.Item<ui::DropList>(IDC_VIDEO_RESOLUTION)->GetCurSel(), -1);
  EXPECT_EQ(page.Item<ui::DropList>(IDC_VIDEO_RESOLUTION)->itemText(0).toStdString(), "704 x 576");
  EXPECT_EQ(page.Item<ui::DropList>(IDC_VIDEO_BITRATE)->currentText().toStdString(), "1M");
  EXPECT_EQ(page.Item<ui::DropList>(IDC_VIDEO_QUALITY)->GetCurSel(), -1);
  EXPECT_TRUE(page.GetDlgItem(IDC_VIDEO_QUALITY)->isHidden());
  EXPECT_FALSE(page.GetDlgItem(IDC_VIDEO_BITRATE)->isHidden());
  // The sheet's step: the snapshot is what the block held when the sheet opened.
  sheet.SaveOriginalSetting();
  EXPECT_EQ(sheet.ApplyVideoSettingPage(page), 0);  // nothing chosen differently
  page.Item<ui::DropList>(IDC_VIDEO_BITRATE)->setCurrentIndex(6);
  EXPECT_EQ(sheet.ApplyVideoSettingPage(page), 0);  // the rate alone restarts nothing
  EXPECT_EQ(model_.videoSetting[CSetZududCmdPage::kOffRate], 0x99);
  page.Item<ui::DropList>(IDC_VIDEO_TYPE)->setCurrentIndex(0);
  page.OnSelchangeVideoType();
  EXPECT_FALSE(page.GetDlgItem(IDC_VIDEO_QUALITY)->isHidden());
  page.Item<ui::DropList>(IDC_VIDEO_RESOLUTION)->setCurrentIndex(1);
  EXPECT_EQ(model_.pictureResets, 0);
  EXPECT_EQ(sheet.ApplyVideoSettingPage(page), 1);
  EXPECT_EQ(model_.pictureResets, 1);  // the picture thread starts over with the new size
  EXPECT_EQ(model_.videoSetting[CSetZududCmdPage::kOffType], 0);
  EXPECT_EQ(model_.videoSetting[CSetZududCmdPage::kOffWidthCode], 22);
  EXPECT_EQ(model_.videoSetting[CSetZududCmdPage::kOffHeightCode], 18);
}

}  // namespace
