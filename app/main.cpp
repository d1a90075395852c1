// The program: the Qt application, the message boxes on the GUI thread, and the real
// windows plugged into the start-up.
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "app/TrelvixApp.h"
#include "connect/LoginDialog.h"
#include "core/AppRecord.h"
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

  // Until the main window exists: a small window saying what the login reached, closed by
  // the operator (or after a while), after which the program ends cleanly.
  int RunMainDialog() override {
    ui::Window placeholder;
    placeholder.setWindowTitle("trelvix");
    auto* layout = new QVBoxLayout(&placeholder);
    QString text = "Logged in";
    if (g_lpApp) {
      text += QString(" to %1 (%2, firmware %3)")
                  .arg(QString::fromStdString(g_lpApp->GetServerName()),
                       QString::fromStdString(g_lpApp->GetProductID()),
                       QString::fromStdString(g_lpApp->GetFWVersion()));
    }
    layout->addWidget(new QLabel(text, &placeholder));
    QTimer::singleShot(30000, &placeholder, [&placeholder] { placeholder.EndDialog(plat::IDOK); });
    return placeholder.DoModal();
  }

  int GetDisplayDpiX() override {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(screen->logicalDotsPerInchX()) : 96;
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  ui::InstallMessageBoxHandler();
  QtWindowFactory windows;
  theApp.SetWindowFactory(&windows);
  return theApp.Run();
}
