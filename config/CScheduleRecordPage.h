// The "Schedule Record" page of the configuration sheet: up to ten client-side recording
// windows of the schedule recorder, with Add, Delete and Edit, and the "Time Setting" dialog
// that asks for one window. The sheet keeps the page but never shows it.
#pragma once
#include <ctime>
#include <string>

#include "ui/PropertySheet.h"
#include "ui/Window.h"

namespace ui {
class ReportList;
}

enum ScheduleControl : int {
  IDC_SCHEDULE_LIST = 1356,
  IDC_SCHEDULE_ADD = 1068,
  IDC_SCHEDULE_DELETE = 1069,
  IDC_SCHEDULE_EDIT = 1119,
  IDC_TIME_START_DATE = 1360,
  IDC_TIME_END_DATE = 1361,
  IDC_TIME_START_HOUR = 1195,
  IDC_TIME_START_MINUTE = 1196,
  IDC_TIME_END_HOUR = 1197,
  IDC_TIME_END_MINUTE = 1198,
};

class CTimeSettingDlg : public ui::Window {
  Q_OBJECT

 public:
  explicit CTimeSettingDlg(QWidget* parent = nullptr);

  std::time_t m_tEndDate = 0;
  std::time_t m_tStartDate = 0;
  int m_nEndHour = -1;
  int m_nEndMinute = -1;
  int m_nStartHour = -1;
  int m_nStartMinute = -1;

  bool OnInitDialog() override;
  void OnOK() override;
  // The window the dialog's values give (local time, seconds 0); false when a choice is missing.
  bool BuildWindow(std::time_t& start, std::time_t& end) const;
};

class CScheduleRecordPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CScheduleRecordPage(QWidget* parent = nullptr);

  void OnButtonAdd();
  void OnButtonDelete();
  void OnButtonEdit();
  void RefreshList();
  ui::ReportList* List() const;
  static std::string TimeText(std::time_t t);

  static constexpr const char* kWrongText = "Time setting is wrong";
  static constexpr const char* kCoveredText = "Time setting is covered with other setting";
  static constexpr const char* kTooManyText = "Schedule record setting is too many,you could not add any more.";

 protected:
  bool OnInitDialog() override;

 private:
  // Runs the time dialog; false when it was not ended with OK or its window was refused.
  bool AskWindow(std::time_t& start, std::time_t& end, int skip);
};
