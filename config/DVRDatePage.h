// The "Date" page of the configuration sheet (K41R family from firmware "1058"): the
// recorder's clock, its date format and its daylight-saving rule, read once with
// /GetDvrDate.cgi when the page is first shown; the sheet's APPLY sends /SetDvrDate.cgi.
#pragma once
#include <QDateTime>
#include <cstdint>

#include "session/DvrSettings.h"
#include "ui/PropertySheet.h"

namespace ui {
class DateTimePicker;
}

enum DvrDateControl : int {
  IDC_DATE_DATE = 1480,
  IDC_DATE_TIME = 1481,
  IDC_DATE_FORMAT = 1195,
  IDC_DATE_DST_ON = 1482,
  IDC_DATE_DST_OFF = 1483,
  IDC_DATE_START_WEEK = 1497,
  IDC_DATE_START_DAY = 1504,
  IDC_DATE_START_MONTH = 1505,
  IDC_DATE_START_TIME = 1499,
  IDC_DATE_END_WEEK = 1500,
  IDC_DATE_END_DAY = 1506,
  IDC_DATE_END_MONTH = 1507,
  IDC_DATE_END_TIME = 1502,
  IDC_DATE_ADJUST = 1503,
};

class DVRDatePage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit DVRDatePage(QWidget* parent = nullptr);

  int m_nFormat = -1;
  int m_nEndWeekIndex = -1;
  int m_nStartWeekIndex = -1;
  int m_nEndDayOfWeek = -1;
  int m_nEndMonth = -1;
  int m_nStartDayOfWeek = -1;
  int m_nStartMonth = -1;
  // The recorder's values as read (the apply step updates the clock and the rule times).
  DvrDateValues m_read;
  std::uint8_t m_byDaylightSwitch = 0;
  // The gate was open and the read succeeded.
  bool m_bFilled = false;
  // What the pickers showed when last filled or applied: an untouched picker sends the value read.
  QDateTime m_shownDate, m_shownTime, m_shownStart, m_shownEnd, m_shownAdjust;

  void DoDataExchange(ui::DataExchange& dx) override;
  ui::DateTimePicker* Picker(int id) const;
  void OnDaylight(bool on);
  void OnSelchangeFormat();
  // The date picker's display format for a format choice.
  static QString DateFormatOf(int format);

 protected:
  bool OnInitDialog() override;
};
