// The "Online User Info" page of the configuration sheet: the users connected to the recorder.
#pragma once
#include "ui/PropertySheet.h"

class COnlineUserPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit COnlineUserPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Online User Info"), parent) {}
};
