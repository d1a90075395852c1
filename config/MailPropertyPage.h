// The "Mail" page of the configuration sheet: the mail server, the sender and the recipients of alarm mail.
#pragma once
#include "ui/PropertySheet.h"

class MailPropertyPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit MailPropertyPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Mail"), parent) {}
};
