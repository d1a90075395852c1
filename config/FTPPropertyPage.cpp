#include "config/FTPPropertyPage.h"

#include <QLineEdit>

#include "config/DigitEdit.h"
#include "config/NetPageControls.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "platform/messages.h"
#include "session/Sections.h"

bool FTPPropertyPage::OnInitDialog() {
  using namespace netpage;
  Label(*this, 1282, "Server  : ", 20, 20, 90);
  Edit(*this, IDC_FTP_SERVER, 120, 18, 280);
  Label(*this, 1279, "UserName : ", 20, 50, 90);
  Edit(*this, IDC_FTP_USER, 120, 48, 200);
  Label(*this, 1280, "Password : ", 20, 80, 90);
  Edit(*this, IDC_FTP_PASSWORD, 120, 78, 200, true);
  Label(*this, 1281, "Port : ", 20, 110, 90);
  DigitEdit(*this, IDC_FTP_PORT, 120, 108, 80);
  Label(*this, -1, "Directory :", 20, 140, 90);
  Edit(*this, IDC_FTP_DIRECTORY, 120, 138, 280);
  OnChange(IDC_FTP_PORT, [this] { OnChangePort(); });

  sect::FtpSection ftp;
  if (pagemodel::IModel* model = pagemodel::Current()) {
    model->WithSections([&](const pagemodel::Sections& s) {
      sect::FtpSection::Decode(s.Data(SYSCFG_FTP), s[SYSCFG_FTP].size(), ftp);
    });
  }
  // A text that fills its whole field (no terminator) is not shown.
  m_strServer = ftp.server.size() >= 32 ? std::string() : ftp.server;
  m_strUser = ftp.user.size() > 15 ? std::string() : ftp.user;
  m_strPassword = ftp.password.size() > 15 ? std::string() : ftp.password;
  m_strDirectory = ftp.directory.size() >= 32 ? std::string() : ftp.directory;
  m_nPort = m_nShownPort = ftp.port;
  return UpdateData(false);
}

// A typed port outside 1..65535 is refused at once and becomes 21. Only the port edit is
// rewritten.
void FTPPropertyPage::OnChangePort() {
  auto* edit = Item<QLineEdit>(IDC_FTP_PORT);
  std::string text;
  if (!digitedit::Typed(edit, text)) return;
  if (text.empty()) {
    netpage::RewriteEdit(edit, text);
    return;
  }
  const unsigned long port = digitedit::Value(digitedit::WithoutLeadingZeros(text), 5, 0);
  if (port >= 1 && port <= 65535) {
    m_nPort = static_cast<unsigned>(port);
  } else {
    plat::MessageBox(Hwnd(), LoadStr(IDS_PORT_WRONG));
    m_nPort = 21;
  }
  netpage::RewriteEdit(edit, std::to_string(m_nPort));
}

bool FTPPropertyPage::OnKillActive() {
  if (netpage::EditText(*this, IDC_FTP_PORT).empty()) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_TYPE_PORT_NUMBER));
    return false;
  }
  return UpdateData(true);
}

void FTPPropertyPage::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(IDC_FTP_SERVER, m_strServer, 31);
  dx.Text(IDC_FTP_PASSWORD, m_strPassword, 15);
  dx.Text(IDC_FTP_USER, m_strUser, 15);
  dx.Text(IDC_FTP_DIRECTORY, m_strDirectory, 31);
  if (!dx.Saving()) {
    if (auto* edit = Item<QLineEdit>(IDC_FTP_PORT)) edit->setText(QString::number(m_nPort));
    return;
  }
  const std::string port = netpage::EditText(*this, IDC_FTP_PORT);
  if (port.empty()) {
    dx.Fail(IDC_FTP_PORT, LoadStr(IDS_TYPE_PORT_NUMBER));
    return;
  }
  const unsigned long value = port.size() > 5 ? 0xFFFFFFul : std::stoul(port);
  // A port as the recorder reported it is kept; a changed one must be a port.
  if (value != m_nShownPort && (value < 1 || value > 65535)) {
    dx.Fail(IDC_FTP_PORT, LoadStr(IDS_PORT_WRONG));
    return;
  }
  m_nPort = static_cast<unsigned>(value);
}
