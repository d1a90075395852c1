// The "DVR" page of the configuration sheet: live and record settings per camera.
#pragma once
#include "ui/PropertySheet.h"

class CameraPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CameraPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("DVR"), parent) {}
};
