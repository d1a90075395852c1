// The main window lets the configuration sheet go (the configuration button pressed again,
// Disconnect, its own close, the account's expiry) while a handler of the sheet waits in a
// modal dialog: the sheet closes at once and is deleted only after that handler returned.
#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Messages.h"
#include "engine/Mailbox.h"
#include "mainwnd/SystemSheet.h"
#include "mainwnd/TrelvixDlg.h"
#include "mainwnd_fixture.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "session/CtrlFile.h"
#include "session/DeviceTypes.h"
#include "tests/support/QtWait.h"
#include "ui/Window.h"

namespace {

constexpr int kSheetWaitsInEditor = 7100;

// A sheet whose handler opens a modal editor, as a page's button does.
class EditorSheet : public ui::Window, public ISystemSheet {
 public:
  EditorSheet() {
    OnCommand(kSheetWaitsInEditor, [this] {
      ui::Window editor(this);
      editorResult = editor.DoModal();
      // The handler goes on with its sheet after the editor.
      setWindowTitle(QStringLiteral("edited"));
      handlerReturned = true;
    });
  }
  bool CreateSheet(QWidget*, const QRect&) override {
    show();
    open_ = true;
    return true;
  }
  bool IsSheetOpen() const override { return open_; }
  void CloseSheet() override {
    hide();
    open_ = false;
  }
  void Release() override {
    CloseSheet();
    DeleteWhenIdle();
  }
  int editorResult = 0;
  bool handlerReturned = false;

 private:
  bool open_ = false;
};

class SheetReleaseTest : public mwtest::PanelFixture {
 protected:
  void SetUp() override {
    PanelFixture::SetUp();
    if (!app_) return;
    Device("K44R", "1046", "USERLEVEL=30;");
  }
  // A main window of its own for each case: its close is for good.
  bool NewMainWindow() {
    dlg_.reset();
    dlg_ = std::make_unique<CTrelvixDlg>();
    dlg_->SetWorkAreaForTest(QRect(0, 0, 1280, 1000));
    const bool ok = dlg_->OnInitDialog();
    ProcessEvents();
    return ok;
  }
  void TearDown() override {
    dlg_.reset();
    SetProcessClosing(false);  // the main window's close marks the process as closing
    PanelFixture::TearDown();
  }
};

TEST_F(SheetReleaseTest, MainWindowLetsTheSheetGoWhileItsHandlerWaitsInADialog) {
  struct Case {
    const char* name;
    std::function<void(CTrelvixDlg&)> trigger;
  };
  const std::vector<Case> cases = {
      {"configuration button", [](CTrelvixDlg& w) { w.Command(IDC_SYSTEM_CONFIG); }},
      {"disconnect",
       [this](CTrelvixDlg& w) {
         app_->f_Connected = 1;
         w.Command(IDC_CONNECT);
       }},
      {"account life time up",
       [](CTrelvixDlg& w) {
         plat::PostMessage(w.Hwnd(), msg::WM_CLOSEMAIN, 0, 0);
         ProcessEvents();
       }},
      {"main window closed", [](CTrelvixDlg& w) { w.DestroyWindow(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(NewMainWindow());
    app_->f_VideoRunning = 1;
    QPointer<EditorSheet> sheet = new EditorSheet;
    sheet->CreateSheet(dlg_.get(), QRect());
    app_->lp_SystemDialog = sheet.data();
    app_->f_SystemDialogOpen = 1;
    bool triggered = false, hiddenAtOnce = false, aliveWhileHandlerRuns = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
      auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!editor) return;
      if (triggered) {
        editor->done(plat::IDOK);  // not ended by the sheet's going: closed so the test ends
        return;
      }
      triggered = true;
      c.trigger(*dlg_);
      hiddenAtOnce = !sheet.isNull() && !sheet->isVisible();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      aliveWhileHandlerRuns = !sheet.isNull();
    });
    driver.start(2);
    sheet->Command(kSheetWaitsInEditor);
    driver.stop();
    EXPECT_TRUE(triggered);
    EXPECT_TRUE(hiddenAtOnce);
    EXPECT_TRUE(aliveWhileHandlerRuns);
    ASSERT_FALSE(sheet.isNull());
    EXPECT_TRUE(sheet->handlerReturned);
    EXPECT_EQ(sheet->editorResult, plat::IDCANCEL);  // the editor was cancelled with the sheet
    EXPECT_EQ(app_->lp_SystemDialog.load(), nullptr);
    EXPECT_EQ(app_->f_SystemDialogOpen.load(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(sheet.isNull());
    delete sheet.data();
  }
}

}  // namespace
