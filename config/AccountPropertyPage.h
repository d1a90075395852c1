// The "Account" page of the configuration sheet: the recorder's user accounts.
#pragma once
#include "ui/PropertySheet.h"

class AccountPropertyPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit AccountPropertyPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Account"), parent) {}
};
