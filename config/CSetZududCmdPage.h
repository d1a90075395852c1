// The "Video Setting" page of the configuration sheet: picture size, bit rate and quality (kept, never shown).
#pragma once
#include "ui/PropertySheet.h"

class CSetZududCmdPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CSetZududCmdPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Video Setting"), parent) {}
};
