// The program: the Qt application, the message boxes on the GUI thread, and the real
// windows plugged into the start-up.
#include <QApplication>
#include <QFileDialog>
#include <QScreen>

#include "app/TrelvixApp.h"
#include "config/DownloadFilePage.h"
#include "config/FileDialogs.h"
#include "config/LoginToolDialogs.h"
#include "config/MySystemDialog.h"
#include "config/PlaybackSearchDlg.h"
#include "config/WriteCDSettingDlg.h"
#include "config/UpgradeFWDlg.h"
#include "connect/LoginDialog.h"
#include "engine/AppRecord.h"
#include "mainwnd/TrelvixDlg.h"
#include "platform/messages.h"
#include "ui/SignalShutdown.h"
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

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  ui::InstallMessageBoxHandler();
  // SIGTERM, SIGINT and SIGHUP close the windows as the operator would (the main window's
  // close saves the settings and closes the recordings); a second one ends at once.
  ui::SignalShutdown signalShutdown;
  QtWindowFactory windows;
  theApp.SetWindowFactory(&windows);
  SystemSheetFactory sheets;
  SetSystemSheetFactory(&sheets);
  // The recorder's playback search, opened from the main window's panel.
  ModalToolDialogs modalTools;
  SetModalToolDialogs(&modalTools);
  // The network backup's download folder: the folder picker.
  SetBackupFolderPicker([](QWidget* parent, std::string& folder) {
    std::string chosen;
    if (PickFolder(parent, folder, chosen) != 1) return false;
    folder = chosen;
    return true;
  });
  // The login window's folder picker, program copy and firmware upgrade.
  CLoginToolDialogs::SetFirmwareUpgradeRunner([] { return RunUpgradeFirmwareDialog(); });
  CLoginToolDialogs loginTools;
  SetLoginToolDialogs(&loginTools);
  DiscImageFileDialog imageFiles;
  SetDiscImageFileChooser(&imageFiles);
  const int result = theApp.Run();
  SetDiscImageFileChooser(nullptr);
  return result;
}
