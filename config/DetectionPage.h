// The "Detection" page of the configuration sheet: motion detection and alarm inputs per channel.
#pragma once
#include "ui/PropertySheet.h"

class DetectionPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit DetectionPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Detection"), parent) {}
};
