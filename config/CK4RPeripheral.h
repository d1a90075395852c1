// The "Peripheral" page of the configuration sheet: a second peripheral page (kept, never shown).
#pragma once
#include "ui/PropertySheet.h"

class CK4RPeripheral : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CK4RPeripheral(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Peripheral"), parent) {}
};
