// The "Peripheral" page of the configuration sheet: a second peripheral page showing the id and
// model of the current control device (kept, never shown).
#pragma once
#include <string>

#include "ui/PropertySheet.h"

class CK4RPeripheral : public ui::PropertyPage {
  Q_OBJECT

 public:
  enum : int { IDC_ID = 1040, IDC_MODEL = 1041 };

  explicit CK4RPeripheral(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Peripheral"), parent) {}

  std::string m_strModel;
  std::string m_strId;

  void DoDataExchange(ui::DataExchange& dx) override;
  // The model text of a control device type code; empty for a code it does not name.
  static const char* ModelText(unsigned typeCode);

 protected:
  bool OnInitDialog() override;
};
