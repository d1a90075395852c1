// The "Schedule Record" page of the configuration sheet: scheduled recording (kept, never shown).
#pragma once
#include "ui/PropertySheet.h"

class CScheduleRecordPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CScheduleRecordPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Schedule Record"), parent) {}
};
