// The "FTP" page of the configuration sheet: the FTP server alarm pictures go to.
#pragma once
#include "ui/PropertySheet.h"

class FTPPropertyPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit FTPPropertyPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("FTP"), parent) {}
};
