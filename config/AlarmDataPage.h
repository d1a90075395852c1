// The "Alarm List" page of the configuration sheet: the client's alarm recordings
// (AlarmData.dat in the program folder), their paths, playing one, deleting entries.
#pragma once
#include <string>
#include <vector>

#include "core/SystemConfig.h"
#include "ui/Controls.h"
#include "ui/PropertySheet.h"

class QPlainTextEdit;

enum AlarmListControl : int {
  IDC_ALARMLIST_LIST = 1364,
  IDC_ALARMLIST_PATH = 1040,
  IDC_ALARMLIST_DELETE = 1068,
  IDC_ALARMLIST_CLEAR = 1365,
  IDC_ALARMLIST_PLAY = 1367,
  IDC_ALARMLIST_REFRESH = 1311,
};

class AlarmDataPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit AlarmDataPage(QWidget* parent = nullptr);

  // Reads the list from the file (a bad file is set aside and an empty list started);
  // non-zero when the list could be shown.
  int LoadAlarmList();
  void OnRefresh() { LoadAlarmList(); }
  void OnClickList();
  void OnDblclkList();
  void OnPlay();
  void OnClearAll();
  void OnDelete();
  // Starts the player with m_strPathText as its one argument; false (and message 4108) when
  // it cannot be started.
  bool RunPlayer();

  ui::ReportList* List() const { return m_ctlList; }
  std::string m_strPathText;

 protected:
  bool OnInitDialog() override;

 private:
  void ShowPath();
  // The rows: the loaded records not marked deleted, in file order.
  void FillRows();
  std::vector<AlarmDBItem> m_items;  // as loaded
  std::vector<std::size_t> m_rowItem;  // row -> index into m_items
  ui::ReportList* m_ctlList = nullptr;
  QPlainTextEdit* m_pathEdit = nullptr;
};

// Whether a recording file exists and can be read.
bool AlarmRecordingFound(const std::string& path);
