// The "Network Backup" page of the configuration sheet: downloads of recorded files.
#pragma once
#include "ui/PropertySheet.h"

class DownloadFilePage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit DownloadFilePage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Network Backup"), parent) {}
};
