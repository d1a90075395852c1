// The "Device" page of the configuration sheet: the RS485 devices of the recorder's channels.
#pragma once
#include "ui/PropertySheet.h"

class DevicePage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit DevicePage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Device"), parent) {}
};
