#include "mainwnd/SelectPtzDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <string>

#include "core/Model.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"

CSelectPTZDlg::CSelectPTZDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle("Select PTZ device");
  setFixedSize(290, 130);
  auto* label = new QLabel("SELECT  NO :", this);
  label->setGeometry(12, 12, 90, 22);
  auto* edit = new QLineEdit(this);
  edit->setGeometry(104, 12, 60, 22);
  edit->setMaxLength(5);
  // Digits only, as the template's number edit.
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
  AddControl(IDC_NUMBER, edit);
  auto* ptz = new QLabel("PTZ", this);
  ptz->setGeometry(172, 12, 40, 22);
  auto* ok = new QPushButton("OK", this);
  ok->setGeometry(12, 42, 76, 37);
  ok->setDefault(true);
  AddControl(IDC_OK_BUTTON, ok);
  auto* cancel = new QPushButton("CANCEL", this);
  cancel->setGeometry(96, 42, 76, 37);
  AddControl(IDC_CANCEL_BUTTON, cancel);
  auto* esc = new QPushButton("ESC", this);
  esc->setGeometry(180, 42, 90, 37);
  AddControl(IDC_ESC, esc);
  OnCommand(IDC_OK_BUTTON, [this] { OnOK(); });
  OnCommand(IDC_CANCEL_BUTTON, [this] { OnCancel(); });
  OnCommand(IDC_ESC, [this] { OnButtonEsc(); });
}

bool CSelectPTZDlg::OnInitDialog() {
  AppRecord* app = g_lpApp;
  if (app && app->C_ControlD.IsCurrentVideo()) {
    // With the recorder current there is nothing to go back to: a wide CANCEL, no ESC.
    const double dpi = app->fl_DpiScale.load() > 0 ? app->fl_DpiScale.load() : 1.0;
    if (QWidget* cancel = GetDlgItem(IDC_CANCEL_BUTTON))
      cancel->setGeometry(static_cast<int>(172 * dpi), static_cast<int>(42 * dpi), static_cast<int>(98 * dpi),
                          static_cast<int>(37 * dpi));
    ShowDlgItem(IDC_ESC, false);
  }
  m_nNumber = app ? app->C_ControlD.GetCurrentOrdinal() + 1 : 1;
  SetToolTip(IDC_ESC, QString::fromLatin1(LoadStr(IDS_BACK_TO_CONTROL_CENTER)));
  SetDlgItemText(IDC_NUMBER, QString::number(m_nNumber));
  return true;
}

void CSelectPTZDlg::OnOK() {
  std::string text = GetDlgItemText(IDC_NUMBER).toStdString();
  FilterDigits(text, 1);
  // An empty or overlong field is no valid number: 0 stands for it.
  m_nNumber = (text.empty() || text.size() > 5) ? 0 : std::stoi(text);
  EndDialog(plat::IDOK);
}
