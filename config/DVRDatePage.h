// The "Date" page of the configuration sheet: the recorder's date, time and daylight saving.
#pragma once
#include "ui/PropertySheet.h"

class DVRDatePage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit DVRDatePage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Date"), parent) {}
};
