// The program: the Qt application, the message boxes on the GUI thread, and the real
// windows plugged into the start-up.
#include <QApplication>
#include <QFileDialog>
#include <QScreen>

#include "app/TrelvixApp.h"
#include "config/MySystemDialog.h"
#include "config/UpgradeFWDlg.h"
#include "connect/LoginTools.h"
#include "connect/LoginDialog.h"
#include "engine/AppRecord.h"
#include "mainwnd/TrelvixDlg.h"
#include "platform/messages.h"
#include "ui/Window.h"

namespace {

class QtWindowFactory : public IWindowFactory {
 public:
  int RunLoginDialog(const LoginDialogFields& fields) override {
    LoginDialog login;
    login.m_strHostText = QString::fromStdString(fields.strHostText);
    login.m_strUserText = QString::fromStdString(fields.strUserText);
    login.m_strPortText = QString::fromStdString(fields.strPortText);
    login.m_strBitRateText = QString::fromStdString(fields.strBitRateText);
    return login.DoModal();
  }

  int RunMainDialog() override { return RunTrelvixMainDialog(); }

  int GetDisplayDpiX() override {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(screen->logicalDotsPerInchX()) : 96;
  }
};

// The login window's tools: a folder picker and the firmware upgrade; copying the program is
// not built yet.
class LoginTools : public ILoginToolDialogs {
 public:
  int RunFolderPicker(QWidget* parent, const std::string& start, std::string& chosen) override {
    const QString dir = QFileDialog::getExistingDirectory(parent, QString(), QString::fromStdString(start));
    chosen = dir.toStdString();
    return dir.isEmpty() ? 0 : 1;
  }
  int RunCopyProgram(QWidget*, const std::string&, const std::string&) override {
    plat::MessageBox(0, "Copying the program is not available yet.");
    return 0;
  }
  int RunUpgradeFirmware() override { return RunUpgradeFirmwareDialog(); }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  ui::InstallMessageBoxHandler();
  QtWindowFactory windows;
  theApp.SetWindowFactory(&windows);
  SystemSheetFactory sheets;
  SetSystemSheetFactory(&sheets);
  LoginTools tools;
  SetLoginToolDialogs(&tools);
  return theApp.Run();
}
