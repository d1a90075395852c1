// "Select PTZ device": asks for the number of the pan-tilt-zoom device to steer. Ends with 1
// (OK; m_nNumber holds the number typed, 0 when the field is empty or not a number), 2
// (CANCEL) or 20 (ESC: back to the recorder; offered only while a PTZ device is current).
#pragma once
#include "ui/Window.h"

class CSelectPTZDlg : public ui::Window {
  Q_OBJECT

 public:
  enum : int { IDC_NUMBER = 1040, IDC_ESC = 1068, IDC_OK_BUTTON = 1, IDC_CANCEL_BUTTON = 2 };
  static constexpr int kEndEsc = 20;

  explicit CSelectPTZDlg(QWidget* parent = nullptr);
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override { EndDialog(plat::IDCANCEL); }
  void OnButtonEsc() { EndDialog(kEndEsc); }

  int m_nNumber = 0;
};
