// The "Record Setting" page of the configuration sheet: the recorder's record settings.
#pragma once
#include "ui/PropertySheet.h"

class DVRRecordPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit DVRRecordPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Record Setting"), parent) {}
};
