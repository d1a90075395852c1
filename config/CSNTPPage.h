// The "Server Time Config" page of the configuration sheet: the time server, the zone and the time mode.
#pragma once
#include "ui/PropertySheet.h"

class CSNTPPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CSNTPPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Server Time Config"), parent) {}
};
