// The "Peripheral" page of the configuration sheet: the video server's two peripherals.
#pragma once
#include "ui/PropertySheet.h"

class CPeripheralPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CPeripheralPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Peripheral"), parent) {}
};
