// The "Alarm List" page of the configuration sheet: the alarm inputs of an RVX recorder.
#pragma once
#include "ui/PropertySheet.h"

class AlarmDataPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit AlarmDataPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Alarm List"), parent) {}
};
