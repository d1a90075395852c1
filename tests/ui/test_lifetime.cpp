// A window asked to go while one of its handlers waits in a modal dialog: it is hidden at once,
// its dialogs are cancelled, its handler opens no new one, and it is deleted only once nothing
// of it is on the stack.
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

#include "platform/messages.h"
#include "tests/support/QtWait.h"
#include "ui/Lifetime.h"
#include "ui/Window.h"

namespace {

constexpr int kWaitingCommand = 7001;
constexpr unsigned kAskToGo = 0x7A1;

// Runs `action` from the event loop as soon as a modal dialog is up (inside its loop), once,
// while `context` lives.
void WhenDialogUp(QObject* context, std::function<void(QWidget*)> action) {
  auto* timer = new QTimer(context);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) return;
    timer->stop();  // it goes with `context`
    action(w);
  });
  timer->start(2);
}

// Dialogs still up 3 s from now are closed, so that a failing case cannot hang (while
// `context` lives).
void CloseStrayDialogsLater(QObject* context) {
  QTimer::singleShot(3000, context, [] {
    while (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->done(plat::IDOK);
  });
}

void RunDeferredDeletions() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// A dialog whose Cancel stops what it runs (a progress dialog, say).
class CancellingDialog : public ui::Window {
 public:
  CancellingDialog(QWidget* parent, bool& cancelled) : ui::Window(parent), cancelled_(cancelled) {}
  void OnCancel() override {
    cancelled_ = true;
    EndDialog(plat::IDCANCEL);
  }

 private:
  bool& cancelled_;
};

struct Seen {
  bool hiddenAtOnce = false;
  bool aliveWhileHandlerRuns = false;
  bool dialogEnded = false;
  bool dialogsOwnCancel = false;
  int dialogResult = 0;
  bool aliveAfterDialog = false;
  int secondDialogResult = 0;
  bool secondDialogShown = false;
};

TEST(WindowLifetime, AskedToGoWhileItsHandlerWaitsInADialog) {
  // Who asks: code run from the dialog's loop, or a handler of another window (the main
  // window's, say) reached through a posted message while the dialog is up. The dialog is a
  // child of the window, or a window of its own.
  struct Case {
    const char* name;
    bool fromOtherWindowsHandler;
    bool dialogParented;
  };
  for (const Case& c : {Case{"loop, own dialog window", false, false}, Case{"loop, child dialog", false, true},
                        Case{"other window's handler", true, false}}) {
    SCOPED_TRACE(c.name);
    ui::Window other;
    QPointer<ui::Window> window = new ui::Window;
    window->show();
    Seen seen;
    int othersDialogResult = 0;
    other.OnMessage(kAskToGo, [&](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
      window->DeleteWhenIdle();
      seen.hiddenAtOnce = !window->isVisible();
      // The other window's own dialog still opens.
      QObject watch;
      WhenDialogUp(&watch, [](QWidget* d) { static_cast<QDialog*>(d)->done(plat::IDOK); });
      ui::Window own;
      othersDialogResult = own.DoModal();
      return 0;
    });
    ui::Window* raw = window.data();
    window->OnCommand(kWaitingCommand, [&, raw] {
      CancellingDialog dialog(c.dialogParented ? raw : nullptr, seen.dialogsOwnCancel);
      seen.dialogResult = dialog.DoModal();
      seen.aliveAfterDialog = !window.isNull();
      raw->setWindowTitle(QStringLiteral("touched after its dialog"));
      // The window is going: its handler opens no further dialog.
      QObject watch;
      WhenDialogUp(&watch, [&seen](QWidget* d) {
        seen.secondDialogShown = true;
        static_cast<QDialog*>(d)->done(plat::IDOK);
      });
      ui::Window second;
      seen.secondDialogResult = second.DoModal();
      ProcessEvents();  // a stray timer sees no dialog
    });
    QObject strayGuard;
    WhenDialogUp(&strayGuard, [&](QWidget* dialog) {
      QPointer<QWidget> d(dialog);
      if (c.fromOtherWindowsHandler) {
        other.PostMessage(kAskToGo);
        WaitUntil([&] { return !d || !d->isVisible() || seen.hiddenAtOnce; }, 5000, PumpEvents);
      } else {
        window->DeleteWhenIdle();
        seen.hiddenAtOnce = !window->isVisible();
      }
      RunDeferredDeletions();  // nothing may delete it from inside its handler's dialog
      seen.aliveWhileHandlerRuns = !window.isNull();
      seen.dialogEnded = !d || !d->isVisible();
    });
    CloseStrayDialogsLater(&strayGuard);
    window->Command(kWaitingCommand);
    EXPECT_TRUE(seen.hiddenAtOnce);
    EXPECT_TRUE(seen.aliveWhileHandlerRuns);
    EXPECT_TRUE(seen.dialogEnded);
    EXPECT_EQ(seen.dialogResult, plat::IDCANCEL);
    EXPECT_TRUE(seen.dialogsOwnCancel);
    EXPECT_TRUE(seen.aliveAfterDialog);
    EXPECT_EQ(seen.secondDialogResult, plat::IDCANCEL);
    EXPECT_FALSE(seen.secondDialogShown);
    if (c.fromOtherWindowsHandler) {
      EXPECT_EQ(othersDialogResult, plat::IDOK);
    }
    ProcessEvents();
    RunDeferredDeletions();
    EXPECT_TRUE(window.isNull());
    delete window.data();
  }
}

TEST(WindowLifetime, WithNothingOfItOnTheStackItGoesFromTheEventLoop) {
  QPointer<ui::Window> window = new ui::Window;
  window->show();
  window->DeleteWhenIdle();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(ui::IsWaitingForDeletion(window.data()));
  RunDeferredDeletions();
  EXPECT_TRUE(window.isNull());
}

TEST(WindowLifetime, ADialogOpenedAfterTheWindowHoldsItsDeletionBack) {
  // A loop entered after the window was made may run on behalf of any of its handlers (also
  // one the window does not track), so the window waits for it.
  QPointer<ui::Window> window = new ui::Window;
  bool aliveInDialog = false;
  QObject strayGuard;
  WhenDialogUp(&strayGuard, [&](QWidget* d) {
    window->DeleteWhenIdle();
    RunDeferredDeletions();
    aliveInDialog = !window.isNull();
    static_cast<QDialog*>(d)->done(plat::IDOK);
  });
  CloseStrayDialogsLater(&strayGuard);
  QMessageBox box;
  {
    ui::ModalScope scope(&box);
    ASSERT_FALSE(scope.Refused());
    box.exec();
  }
  EXPECT_TRUE(aliveInDialog);
  ProcessEvents();
  RunDeferredDeletions();
  EXPECT_TRUE(window.isNull());
  delete window.data();
}

}  // namespace
