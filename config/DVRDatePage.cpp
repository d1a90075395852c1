#include "config/DVRDatePage.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "config/PageModel.h"
#include "core/Model.h"
#include "ui/Controls.h"

namespace {

const char* const kFormats[] = {"Y-M-D", "M-D-Y", "D-M-Y"};
const char* const kWeeks[] = {"1ST", "2ND", "3RD", "4TH", "LAST"};
const char* const kStartDays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
const char* const kEndDays[] = {"SUN", "MON", "TUE", "WEK", "THU", "FRI", "SAT"};
const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUE", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

QDateTime HourMinute(int hour, int minute) { return QDateTime(QDate(2006, 1, 1), QTime(hour, minute)); }

}  // namespace

DVRDatePage::DVRDatePage(QWidget* parent) : ui::PropertyPage(QStringLiteral("Date"), parent) {}

ui::DateTimePicker* DVRDatePage::Picker(int id) const { return Item<ui::DateTimePicker>(id); }

QString DVRDatePage::DateFormatOf(int format) {
  switch (format) {
    case 1: return QStringLiteral("MMM - dd - yyyy");
    case 2: return QStringLiteral("dd - MMM - yyyy");
    default: return QStringLiteral("yyyy - MMM - dd");
  }
}

bool DVRDatePage::OnInitDialog() {
  auto label = [this](const char* text, int x, int y, int w = 70) {
    (new QLabel(QString::fromLatin1(text), this))->setGeometry(x, y, w, 22);
  };
  auto list = [this](int id, const char* const* items, int count, int x, int y, int w) {
    auto* l = new ui::DropList(this);
    for (int i = 0; i < count; ++i) l->AddString(QString::fromLatin1(items[i]));
    l->setGeometry(x, y, w, 22);
    AddControl(id, l);
  };
  auto picker = [this](int id, int x, int y, int w) {
    auto* p = new ui::DateTimePicker(this);
    p->setGeometry(x, y, w, 22);
    AddControl(id, p);
  };
  label("DATE", 10, 10);
  picker(IDC_DATE_DATE, 80, 10, 130);
  picker(IDC_DATE_TIME, 220, 10, 100);
  label("FORMAT", 10, 40);
  list(IDC_DATE_FORMAT, kFormats, 3, 80, 40, 90);
  auto* group = new QGroupBox(QStringLiteral("DAYLIGHT SAVING"), this);
  group->setGeometry(4, 70, 360, 150);
  auto* on = new QRadioButton(QStringLiteral("ON"), this);
  on->setGeometry(20, 92, 50, 20);
  auto* off = new QRadioButton(QStringLiteral("OFF"), this);
  off->setGeometry(80, 92, 50, 20);
  AddControl(IDC_DATE_DST_ON, on);
  AddControl(IDC_DATE_DST_OFF, off);
  label("START :", 10, 120, 56);
  list(IDC_DATE_START_WEEK, kWeeks, 5, 70, 120, 60);
  list(IDC_DATE_START_DAY, kStartDays, 7, 135, 120, 60);
  list(IDC_DATE_START_MONTH, kMonths, 12, 200, 120, 60);
  picker(IDC_DATE_START_TIME, 265, 120, 80);
  label("END :", 10, 150, 56);
  list(IDC_DATE_END_WEEK, kWeeks, 5, 70, 150, 60);
  list(IDC_DATE_END_DAY, kEndDays, 7, 135, 150, 60);
  list(IDC_DATE_END_MONTH, kMonths, 12, 200, 150, 60);
  picker(IDC_DATE_END_TIME, 265, 150, 80);
  label("ADJUST :", 10, 180);
  picker(IDC_DATE_ADJUST, 265, 180, 80);
  OnCommand(IDC_DATE_DST_ON, [this] { OnDaylight(true); });
  OnCommand(IDC_DATE_DST_OFF, [this] { OnDaylight(false); });
  OnChange(IDC_DATE_FORMAT, [this] { OnSelchangeFormat(); });

  pagemodel::IModel* model = pagemodel::Current();
  const bool open = model && IsModelFamilyK41(model->Device().productId) &&
                    CompareVersionString(fwgate::kNewPagesDVR, model->Device().firmware) != 2;
  if (!open || !ReadDvrDate(m_read)) {
    for (int id : {IDC_DATE_DATE, IDC_DATE_TIME, IDC_DATE_FORMAT, IDC_DATE_DST_ON, IDC_DATE_DST_OFF,
                   IDC_DATE_START_WEEK, IDC_DATE_START_TIME, IDC_DATE_END_WEEK, IDC_DATE_END_TIME, IDC_DATE_ADJUST,
                   IDC_DATE_START_DAY, IDC_DATE_START_MONTH, IDC_DATE_END_DAY, IDC_DATE_END_MONTH}) {
      EnableDlgItem(id, false);
    }
    return true;
  }
  const DvrDateValues& r = m_read;
  const QDateTime moment(QDate(r.year, r.month, r.day), QTime(r.hour, r.minute, r.second));
  Picker(IDC_DATE_DATE)->SetTime(moment);
  Picker(IDC_DATE_TIME)->SetTime(moment);
  m_nFormat = r.format;
  m_byDaylightSwitch = r.daylightSaving;
  Picker(IDC_DATE_DATE)->SetFormat(DateFormatOf(m_nFormat));
  Picker(IDC_DATE_TIME)->SetFormat(QStringLiteral("HH : mm : ss"));
  OnDaylight(m_byDaylightSwitch != 0);
  m_byDaylightSwitch = r.daylightSaving;
  for (int id : {IDC_DATE_START_TIME, IDC_DATE_END_TIME, IDC_DATE_ADJUST}) Picker(id)->SetFormat(QStringLiteral("HH : mm"));
  Picker(IDC_DATE_START_TIME)->SetTime(HourMinute(r.startHour, r.startMinute));
  Picker(IDC_DATE_END_TIME)->SetTime(HourMinute(r.endHour, r.endMinute));
  Picker(IDC_DATE_ADJUST)->SetTime(HourMinute(r.adjustHour, r.adjustMinute));
  m_nStartWeekIndex = r.startWeekIndex;
  m_nEndWeekIndex = r.endWeekIndex;
  m_nEndDayOfWeek = r.endDayOfWeek;
  m_nEndMonth = r.endMonth;
  m_nStartDayOfWeek = r.startDayOfWeek;
  m_nStartMonth = r.startMonth;
  m_shownDate = Picker(IDC_DATE_DATE)->GetTime();
  m_shownTime = Picker(IDC_DATE_TIME)->GetTime();
  m_shownStart = Picker(IDC_DATE_START_TIME)->GetTime();
  m_shownEnd = Picker(IDC_DATE_END_TIME)->GetTime();
  m_shownAdjust = Picker(IDC_DATE_ADJUST)->GetTime();
  m_bFilled = true;
  return ui::PropertyPage::OnInitDialog();
}

void DVRDatePage::DoDataExchange(ui::DataExchange& dx) {
  dx.ListIndex(IDC_DATE_FORMAT, m_nFormat);
  dx.ListIndex(IDC_DATE_END_WEEK, m_nEndWeekIndex);
  dx.ListIndex(IDC_DATE_START_WEEK, m_nStartWeekIndex);
  dx.ListIndex(IDC_DATE_END_DAY, m_nEndDayOfWeek);
  dx.ListIndex(IDC_DATE_END_MONTH, m_nEndMonth);
  dx.ListIndex(IDC_DATE_START_DAY, m_nStartDayOfWeek);
  dx.ListIndex(IDC_DATE_START_MONTH, m_nStartMonth);
}

void DVRDatePage::OnDaylight(bool on) {
  m_byDaylightSwitch = on ? 1 : 0;
  Item<QRadioButton>(IDC_DATE_DST_ON)->setChecked(on);
  Item<QRadioButton>(IDC_DATE_DST_OFF)->setChecked(!on);
}

void DVRDatePage::OnSelchangeFormat() {
  UpdateData(true);
  Picker(IDC_DATE_DATE)->SetFormat(DateFormatOf(m_nFormat));
}
