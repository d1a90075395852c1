// The "Peripheral" page of the configuration sheet: the video server's two peripherals.
#pragma once
#include "ui/PropertySheet.h"

class CPeripheralPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  enum : int {
    IDC_BAUD1 = 1301,
    IDC_MODEL1 = 1302,
    IDC_MODEL2 = 1303,
    IDC_BAUD2 = 1304,
    IDC_ID1 = 1040,
    IDC_ID2 = 1041,
  };

  explicit CPeripheralPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Peripheral"), parent) {}

  int m_nBaud1 = -1;
  int m_nModel1 = -1;
  int m_nId2 = 0;
  int m_nId1 = 0;
  int m_nModel2 = -1;
  int m_nBaud2 = -1;

  // Lists by index; the ids as numbers from 0 to 255 (message 61714 for anything else, and the
  // page cannot be left).
  void DoDataExchange(ui::DataExchange& dx) override;

 protected:
  bool OnInitDialog() override;
};
