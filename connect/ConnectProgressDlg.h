// The small window that shows "Connect" and the recorder's address with a moving row of dots
// while the login worker (session/Login.h) logs in and reads the device information. It
// ends with 1 when the worker logged in and -1 when it failed.
#pragma once
#include <QString>

#include "ui/Window.h"

class LoginDialog;
class QLabel;

constexpr int kConnectCaptionId = 1393;
constexpr int kConnectTimerId = 1000;

class CConnectProgressDlg : public ui::Window {
  Q_OBJECT

 public:
  CConnectProgressDlg(QWidget* parent, LoginDialog* loginWindow);
  // Without a login window: the worker then gets no account to use.
  explicit CConnectProgressDlg(QWidget* parent);
  ~CConnectProgressDlg() override;

  bool OnInitDialog() override;
  void OnTimer(int id) override;
  // Enter does not end the window: its result must mean only what the worker reported.
  void OnOK() override {}
  void OnCancel() override;

  QString m_strCaption;
  int m_nDotCount = 0;
  LoginDialog* m_pLoginWindow;

 private:
  QLabel* m_caption;
};
