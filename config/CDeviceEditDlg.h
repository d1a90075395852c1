// The one-row editor of a channel's RS-485 device: kind, id, protocol and baud rate.
#pragma once
#include <string>

#include "ui/PropertySheet.h"
#include "ui/Window.h"

class CDeviceEditDlg : public ui::Window {
  Q_OBJECT

 public:
  enum : int { IDC_NO = 1406, IDC_DEVICE = 1195, IDC_ID = 1040, IDC_PROTOCOL = 1409, IDC_RATE = 1412 };

  explicit CDeviceEditDlg(QWidget* parent = nullptr);

  // The values handed in and, after OK, back; -1 in a list index means no choice.
  int m_nDevice = -1;
  int m_nProtocol = -1;
  int m_nRate = -1;
  int m_nID = 0;
  std::string m_strNo;

  void DoDataExchange(ui::DataExchange& dx);
  bool UpdateData(bool saveAndValidate);

 protected:
  bool OnInitDialog() override;
  // Takes the controls back; an id that is no number from 0 to 255 keeps the dialog open.
  void OnOK() override;
};
