// The "FTP" page of the configuration sheet: the FTP server alarm pictures go to.
#pragma once
#include <string>

#include "ui/PropertySheet.h"

enum FtpPageControl : int {
  IDC_FTP_USER = 1040,
  IDC_FTP_PORT = 1042,
  IDC_FTP_PASSWORD = 1043,
  IDC_FTP_SERVER = 1283,
  IDC_FTP_DIRECTORY = 1285,
};

class FTPPropertyPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit FTPPropertyPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("FTP"), parent) {}

  void OnChangePort();
  bool OnKillActive() override;
  void DoDataExchange(ui::DataExchange& dx) override;

  std::string m_strServer;
  std::string m_strPassword;
  unsigned m_nPort = 21;
  std::string m_strUser;
  std::string m_strDirectory;

 protected:
  bool OnInitDialog() override;

 private:
  unsigned m_nShownPort = 21;  // as the recorder reported it
};
