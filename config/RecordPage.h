// The "File Path" page of the configuration sheet: the client's record, snapshot and alarm-sound folders.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

class RecordPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit RecordPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("File Path"), parent) {}

  // The client's folders, written by the main window before the sheet opens.
  std::string m_strRecordPath;
  std::string m_strSnapshotPath;
  std::string m_strTriggerWavPath;
};
