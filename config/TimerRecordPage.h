// The "Timer Record" page of the configuration sheet: timer recording slots of the week.
#pragma once
#include "ui/PropertySheet.h"

class TimerRecordPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit TimerRecordPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Timer Record"), parent) {}
};
