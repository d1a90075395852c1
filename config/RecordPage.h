// The "File Path" page of the configuration sheet: the client's record, snapshot and alarm-sound folders.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

enum RecordPageControl : int {
  IDC_PATH_RECORD = 1040,
  IDC_PATH_SNAPSHOT = 1041,
  IDC_PATH_ALARMWAV = 1042,
  IDC_PATH_ALARMWAV_LABEL = 1350,
  IDC_PATH_MODIFY_RECORD = 1314,
  IDC_PATH_MODIFY_SNAPSHOT = 1315,
  IDC_PATH_MODIFY_ALARMWAV = 1316,
};

class RecordPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit RecordPage(QWidget* parent = nullptr);

  void OnModifyRecordPath();
  void OnModifySnapshotPath();
  void OnModifyAlarmAudio();
  // Whether the alarm-sound row is shown: a device table with an in-use entry of type 19,
  // 22 or 23, or a K40R, K47R or K44R-family model.
  static bool ShowsAlarmSoundRow();

  // The client's folders, written by the main window before the sheet opens.
  std::string m_strRecordPath;
  std::string m_strSnapshotPath;
  std::string m_strTriggerWavPath;

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;
};
