#include "config/CScheduleRecordPage.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <cstdio>
#include <utility>

#include "config/PageModel.h"
#include "core/Strings.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "record/SchRecord.h"
#include "ui/Controls.h"

namespace {

constexpr int kEntries = 10;

std::tm LocalOf(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

QDateTime PickerMoment(std::time_t t) { return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(t)); }

}  // namespace

// ---- time dialog --------------------------------------------------------------------------------

CTimeSettingDlg::CTimeSettingDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle(QStringLiteral("Time Setting"));
  setFixedSize(300, 200);
  auto group = [this](const char* text, int y, int dateId, int hourId, int minuteId) {
    (new QGroupBox(QString::fromLatin1(text), this))->setGeometry(6, y, 288, 76);
    (new QLabel(QStringLiteral("Date :"), this))->setGeometry(16, y + 18, 50, 22);
    auto* date = new ui::DateTimePicker(this);
    date->SetFormat(QStringLiteral("yyyy/MM/dd"));
    date->setGeometry(70, y + 18, 120, 22);
    AddControl(dateId, date);
    (new QLabel(QStringLiteral("Hour :"), this))->setGeometry(16, y + 46, 50, 22);
    (new QLabel(QStringLiteral("Minute :"), this))->setGeometry(140, y + 46, 60, 22);
    for (int id : {hourId, minuteId}) {
      auto* l = new ui::DropList(this);
      const int count = id == hourId ? 24 : 60;
      for (int i = 0; i < count; ++i) l->AddString(QString::asprintf("%.2d", i));
      l->setGeometry(id == hourId ? 70 : 200, y + 46, 56, 22);
      AddControl(id, l);
    }
  };
  group("Start", 4, IDC_TIME_START_DATE, IDC_TIME_START_HOUR, IDC_TIME_START_MINUTE);
  group("End", 84, IDC_TIME_END_DATE, IDC_TIME_END_HOUR, IDC_TIME_END_MINUTE);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(120, 166, 80, 26);
  ok->setDefault(true);
  AddControl(plat::IDOK, ok);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setGeometry(210, 166, 80, 26);
  AddControl(plat::IDCANCEL, cancel);
  OnCommand(plat::IDOK, [this] { OnOK(); });
  OnCommand(plat::IDCANCEL, [this] { OnCancel(); });
}

bool CTimeSettingDlg::OnInitDialog() {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model || model->Schedule().m_nTimeDialogValue == 0) {
    const plat::LocalTime now = plat::GetLocalTime();
    std::tm tm{};
    tm.tm_year = now.year - 1900;
    tm.tm_mon = now.month - 1;
    tm.tm_mday = now.day;
    tm.tm_hour = now.hour;
    tm.tm_min = now.minute + 5;
    tm.tm_sec = now.second;
    tm.tm_isdst = -1;
    m_tStartDate = m_tEndDate = std::mktime(&tm);
  }
  Item<ui::DateTimePicker>(IDC_TIME_START_DATE)->SetTime(PickerMoment(m_tStartDate));
  Item<ui::DateTimePicker>(IDC_TIME_END_DATE)->SetTime(PickerMoment(m_tEndDate));
  const std::tm s = LocalOf(m_tStartDate), e = LocalOf(m_tEndDate);
  m_nStartHour = s.tm_hour;
  m_nStartMinute = s.tm_min;
  m_nEndHour = e.tm_hour;
  m_nEndMinute = e.tm_min;
  Item<ui::DropList>(IDC_TIME_START_HOUR)->SetCurSel(m_nStartHour);
  Item<ui::DropList>(IDC_TIME_START_MINUTE)->SetCurSel(m_nStartMinute);
  Item<ui::DropList>(IDC_TIME_END_HOUR)->SetCurSel(m_nEndHour);
  Item<ui::DropList>(IDC_TIME_END_MINUTE)->SetCurSel(m_nEndMinute);
  return true;
}

void CTimeSettingDlg::OnOK() {
  m_tStartDate = Item<ui::DateTimePicker>(IDC_TIME_START_DATE)->GetTime().toSecsSinceEpoch();
  m_tEndDate = Item<ui::DateTimePicker>(IDC_TIME_END_DATE)->GetTime().toSecsSinceEpoch();
  m_nStartHour = Item<ui::DropList>(IDC_TIME_START_HOUR)->GetCurSel();
  m_nStartMinute = Item<ui::DropList>(IDC_TIME_START_MINUTE)->GetCurSel();
  m_nEndHour = Item<ui::DropList>(IDC_TIME_END_HOUR)->GetCurSel();
  m_nEndMinute = Item<ui::DropList>(IDC_TIME_END_MINUTE)->GetCurSel();
  EndDialog(plat::IDOK);
}

bool CTimeSettingDlg::BuildWindow(std::time_t& start, std::time_t& end) const {
  if (m_nStartHour < 0 || m_nStartMinute < 0 || m_nEndHour < 0 || m_nEndMinute < 0) return false;
  auto make = [](std::time_t date, int hour, int minute) {
    std::tm tm = LocalOf(date);
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
  };
  start = make(m_tStartDate, m_nStartHour, m_nStartMinute);
  end = make(m_tEndDate, m_nEndHour, m_nEndMinute);
  return true;
}

// ---- page ---------------------------------------------------------------------------------------

CScheduleRecordPage::CScheduleRecordPage(QWidget* parent) : ui::PropertyPage(QStringLiteral("Schedule Record"), parent) {}

ui::ReportList* CScheduleRecordPage::List() const { return Item<ui::ReportList>(IDC_SCHEDULE_LIST); }

std::string CScheduleRecordPage::TimeText(std::time_t t) {
  const std::tm tm = LocalOf(t);
  char text[80];
  std::snprintf(text, sizeof text, "%.4d.%.2d.%.2d %.2d:%.2d:%.2d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

bool CScheduleRecordPage::OnInitDialog() {
  auto* list = new ui::ReportList(this);
  list->setGeometry(4, 4, 320, 200);
  AddControl(IDC_SCHEDULE_LIST, list);
  list->InsertColumn(0, QStringLiteral("NO."), 50);
  list->InsertColumn(1, QStringLiteral("Start"), 130);
  list->InsertColumn(2, QStringLiteral("End"), 130);
  const struct {
    int id;
    const char* text;
    int y;
  } buttons[] = {{IDC_SCHEDULE_ADD, "Add", 210}, {IDC_SCHEDULE_DELETE, "Delete", 240}, {IDC_SCHEDULE_EDIT, "Edit", 270}};
  for (const auto& b : buttons) {
    auto* button = new QPushButton(QString::fromLatin1(b.text), this);
    button->setGeometry(4, b.y, 80, 26);
    button->setAutoDefault(false);
    AddControl(b.id, button);
  }
  OnCommand(IDC_SCHEDULE_ADD, [this] { OnButtonAdd(); });
  OnCommand(IDC_SCHEDULE_DELETE, [this] { OnButtonDelete(); });
  OnCommand(IDC_SCHEDULE_EDIT, [this] { OnButtonEdit(); });
  if (pagemodel::IModel* model = pagemodel::Current()) {
    const CSchRecord& s = model->Schedule();
    for (int i = 0; i < s.m_nScheduleCount && i < kEntries; ++i) {
      const int row = list->InsertItem(i, QString::number(i + 1));
      list->SetItemText(row, 1, QString::fromStdString(TimeText(s.m_Schedule[i].start)));
      list->SetItemText(row, 2, QString::fromStdString(TimeText(s.m_Schedule[i].end)));
    }
  }
  return ui::PropertyPage::OnInitDialog();
}

bool CScheduleRecordPage::AskWindow(std::time_t& s, std::time_t& e, int skip) {
  pagemodel::IModel* model = pagemodel::Current();
  CTimeSettingDlg dlg(this);
  if (skip >= 0) {
    const RecordScheduleEntry& entry = model->Schedule().m_Schedule[skip];
    dlg.m_tStartDate = entry.start - entry.start % 60;
    dlg.m_tEndDate = entry.end - entry.end % 60;
    model->Schedule().m_nTimeDialogValue = 1;
  } else {
    // Adding proposes fresh times, whatever an earlier Edit left.
    model->Schedule().m_nTimeDialogValue = 0;
  }
  if (dlg.DoModal() != plat::IDOK) return false;
  if (!dlg.BuildWindow(s, e) || s >= e) {
    plat::MessageBox(Hwnd(), kWrongText);
    return false;
  }
  const CSchRecord& table = model->Schedule();
  for (int i = 0; i < table.m_nScheduleCount && i < kEntries; ++i) {
    if (i == skip) continue;
    const std::time_t S = table.m_Schedule[i].start, E = table.m_Schedule[i].end;
    const bool after = s > E && e > E;
    const bool before = s < S && e < S;
    if (!after && !before) {
      plat::MessageBox(Hwnd(), kCoveredText);
      return false;
    }
  }
  return true;
}

void CScheduleRecordPage::OnButtonAdd() {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return;
  std::time_t s = 0, e = 0;
  if (!AskWindow(s, e, -1)) return;
  CSchRecord& table = model->Schedule();
  for (int i = 0; i < kEntries; ++i) {
    if (table.m_Schedule[i].inUse) continue;
    table.m_Schedule[i] = RecordScheduleEntry{s, e, 1};
    ++table.m_nScheduleCount;
    RefreshList();
    return;
  }
  plat::MessageBox(Hwnd(), kTooManyText);
}

void CScheduleRecordPage::OnButtonEdit() {
  pagemodel::IModel* model = pagemodel::Current();
  const int r = List()->GetSelectedRow();
  if (!model || r < 0 || r >= model->Schedule().m_nScheduleCount) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_SELECT_ACCOUNT_TO_DELETE));
    return;
  }
  std::time_t s = 0, e = 0;
  if (!AskWindow(s, e, r)) return;
  CSchRecord& table = model->Schedule();
  const int count = table.m_nScheduleCount;
  for (int i = r; i + 1 < count; ++i) table.m_Schedule[i] = table.m_Schedule[i + 1];
  table.m_Schedule[count - 1] = RecordScheduleEntry{s, e, 1};
  RefreshList();
}

void CScheduleRecordPage::OnButtonDelete() {
  pagemodel::IModel* model = pagemodel::Current();
  ui::ReportList* list = List();
  const int r = list->GetSelectedRow();
  if (!model || r < 0 || r >= model->Schedule().m_nScheduleCount) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_SELECT_ACCOUNT_TO_DELETE));
    return;
  }
  CSchRecord& table = model->Schedule();
  const int count = table.m_nScheduleCount;
  list->DeleteItem(r);
  for (int i = r; i + 1 < count; ++i) table.m_Schedule[i] = table.m_Schedule[i + 1];
  table.m_Schedule[count - 1] = RecordScheduleEntry{};
  --table.m_nScheduleCount;
  for (int i = r; i < list->GetItemCount(); ++i) list->SetItemText(i, 0, QString::number(i + 1));
  if (list->GetItemCount() > 0) list->SelectRow(r < list->GetItemCount() ? r : 0);
}

void CScheduleRecordPage::RefreshList() {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return;
  CSchRecord& table = model->Schedule();
  for (int i = 0; i < kEntries; ++i) {
    for (int j = i + 1; j < kEntries; ++j) {
      RecordScheduleEntry& a = table.m_Schedule[i];
      RecordScheduleEntry& b = table.m_Schedule[j];
      if (a.inUse && b.inUse && a.start > b.start) {
        std::swap(a.start, b.start);
        std::swap(a.end, b.end);
      }
    }
  }
  ui::ReportList* list = List();
  list->DeleteAllItems();
  int n = 0;
  for (int i = 0; i < kEntries; ++i) {
    if (!table.m_Schedule[i].inUse) continue;
    const int row = list->InsertItem(n, QString::number(n + 1));
    list->SetItemText(row, 1, QString::fromStdString(TimeText(table.m_Schedule[i].start)));
    list->SetItemText(row, 2, QString::fromStdString(TimeText(table.m_Schedule[i].end)));
    ++n;
  }
}
