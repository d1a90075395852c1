// The configuration sheet asked to go while one of its pages waits: for the recorder's search
// list, or in a modal dialog the page opened. It closes at once, is deleted once nothing of it
// runs, and whatever arrives for it later is dropped.
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/CEventPage.h"
#include "config/MySystemDialog.h"
#include "mainwnd/SystemSheet.h"
#include "platform/thread.h"
#include "session/SearchList.h"
#include "tests/config/config_fixture.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/QtWait.h"
#include "ui/Window.h"

namespace {

const QRect kSheetWorkArea(0, 0, 1280, 1024);

class SheetLifetimeTest : public RecorderPageTest {
 protected:
  void SetUp() override {
    RecorderPageTest::SetUp();
    if (HasFatalFailure()) return;
    Model("K41R", "1046");
    fake_.SetPlausibleSections();
    app_->f_VideoRunning = 1;
    previousFactory_ = GetSystemSheetFactory();
    SetSystemSheetFactory(&factory_);
    sl::g_PendingBackup.Clear();
    list_.diskReply = std::string("\x05", 1) + std::string(32, '\0');  // MASTER1, MASTER2
    list_.lists[2] = {fake::FakeRecorder::SearchRecord(0x02, 2007, 1, 22, 9, 30, 5),
                      fake::FakeRecorder::SearchRecord(0x13, 2007, 2, 3, 10, 11, 12)};
    fake_.SetRecordings(list_);
    threadsBefore_ = plat::LiveThreadCount();
  }
  void TearDown() override {
    if (app_) CloseSystemSheet();
    RunEvents();
    SetSystemSheetFactory(previousFactory_);
    RecorderPageTest::TearDown();
  }
  // The configuration button (opens a sheet, or closes the open one).
  MySystemDialog* PressConfiguration() {
    OnSystemConfig(nullptr, kSheetWorkArea);
    return dynamic_cast<MySystemDialog*>(app_->lp_SystemDialog.load());
  }
  static CEventPage& ListPage(MySystemDialog& sheet) {
    CEventPage& list = sheet.m_SearchListPage;
    sheet.SetActivePage(&list);
    list.Item<ui::DropList>(IDC_SL_HDD)->SetCurSel(1);
    list.Item<ui::DropList>(IDC_SL_TYPE)->SetCurSel(0);
    list.Item<QLineEdit>(IDC_SL_MAX)->setText(QStringLiteral("50"));
    return list;
  }
  void Hold(bool on) {
    list_.holdSearchList = on;
    fake_.SetRecordings(list_);
  }
  // Posted events and deferred deletions, from the top of the stack.
  static void RunEvents() {
    ProcessEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  bool ThreadsEnded() const { return plat::LiveThreadCount() <= threadsBefore_; }

  SystemSheetFactory factory_;
  ISystemSheetFactory* previousFactory_ = nullptr;
  fake::RecordingsSettings list_;
  std::size_t threadsBefore_ = 0;
};

TEST_F(SheetLifetimeTest, SheetGoesWhileTheSearchListWaitsAndTheLateAnswerIsDropped) {
  // Disconnect, the main window's close and the account's expiry close the sheet as the
  // second press of the configuration button does (CloseSystemSheet). After EXIT the button
  // opens a new sheet and lets the closed one go.
  struct Case {
    const char* name;
    std::function<void(MySystemDialog&)> close;
    bool newSheet;
  };
  const std::vector<Case> cases = {
      {"configuration button", [this](MySystemDialog&) { PressConfiguration(); }, false},
      {"close request", [](MySystemDialog&) { CloseSystemSheet(); }, false},
      {"EXIT, then the configuration button",
       [this](MySystemDialog& sheet) {
         sheet.Command(IDC_SHEET_EXIT);
         PressConfiguration();
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MessageBoxRecorder boxes;
    QPointer<MySystemDialog> sheet = PressConfiguration();
    ASSERT_FALSE(sheet.isNull());
    CEventPage& list = ListPage(*sheet);
    Hold(true);
    // From the event loop, once the recorder holds the request (the page might be waiting in
    // a loop of its own): the sheet is asked to go; once it is gone, the answer comes.
    bool closed = false, hiddenAtOnce = false, released = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
      if (!closed && fake_.HeldSearchLists() > 0) {
        closed = true;
        c.close(*sheet);
        hiddenAtOnce = sheet.isNull() || !sheet->isVisible();
      } else if (closed && !released && sheet.isNull()) {
        released = true;
        Hold(false);
      }
    });
    driver.start(2);
    list.Command(IDC_SL_DOWNLOAD);
    ASSERT_TRUE(WaitUntil([&] { return closed; }, 5000, RunEvents));
    EXPECT_TRUE(hiddenAtOnce);
    EXPECT_EQ(app_->f_SystemDialogOpen.load(), c.newSheet ? 1 : 0);
    EXPECT_EQ(app_->lp_SystemDialog.load() != nullptr, c.newSheet);
    EXPECT_TRUE(WaitUntil([&] { return sheet.isNull(); }, 5000, RunEvents));
    EXPECT_TRUE(WaitUntil([&] { return released; }, 5000, RunEvents));
    if (c.newSheet) CloseSystemSheet();
    EXPECT_TRUE(WaitUntil([&] { return ThreadsEnded(); }, 5000, RunEvents));
    driver.stop();
    RunEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(boxes.Texts().empty());
    Hold(false);
  }
}

TEST_F(SheetLifetimeTest, SheetGoesWhileAPageWaitsInAModalDialog) {
  // The page's list dialog, or the message box of a failed read (a real one, with its own
  // loop). The dialog is ended, the page's handler returns, then the sheet goes.
  struct Case {
    const char* name;
    bool failRead;
  };
  for (const Case& c : {Case{"the list dialog", false}, Case{"a message box", true}}) {
    SCOPED_TRACE(c.name);
    plat::MessageBoxHandler previousBoxes = plat::SetMessageBoxHandler({});
    ui::InstallMessageBoxHandler();
    list_.failSearchList = c.failRead;
    fake_.SetRecordings(list_);
    QPointer<MySystemDialog> sheet = PressConfiguration();
    ASSERT_FALSE(sheet.isNull());
    CEventPage& list = ListPage(*sheet);
    bool seenDialog = false, hiddenAtOnce = false, aliveWhileHandlerRuns = false, dialogEnded = false;
    bool rightKind = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
      QWidget* w = QApplication::activeModalWidget();
      if (!w) return;
      if (seenDialog) {
        // Not ended by the sheet's going: closed here so that the test ends.
        static_cast<QDialog*>(w)->done(plat::IDOK);
        return;
      }
      seenDialog = true;
      rightKind = c.failRead ? qobject_cast<QMessageBox*>(w) != nullptr : qobject_cast<CFullListDlg*>(w) != nullptr;
      QPointer<QWidget> dialog(w);
      CloseSystemSheet();
      hiddenAtOnce = sheet.isNull() || !sheet->isVisible();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      aliveWhileHandlerRuns = !sheet.isNull();
      dialogEnded = !dialog || !dialog->isVisible();
    });
    driver.start(2);
    list.Command(IDC_SL_DOWNLOAD);
    EXPECT_TRUE(WaitUntil([&] { return seenDialog && sheet.isNull(); }, 5000, RunEvents));
    driver.stop();
    plat::SetMessageBoxHandler(previousBoxes);
    EXPECT_TRUE(rightKind);
    EXPECT_TRUE(hiddenAtOnce);
    EXPECT_TRUE(aliveWhileHandlerRuns);
    EXPECT_TRUE(dialogEnded);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(sl::g_PendingBackup.Pending());
  }
}

TEST_F(SheetLifetimeTest, ListPageIsDisabledWhileItsWorkerReads) {
  MessageBoxRecorder boxes;
  QPointer<MySystemDialog> sheet = PressConfiguration();
  ASSERT_FALSE(sheet.isNull());
  CEventPage& list = ListPage(*sheet);
  Hold(true);
  list.Command(IDC_SL_DOWNLOAD);  // returns at once: no loop of its own
  EXPECT_TRUE(list.IsDownloading());
  EXPECT_FALSE(list.isEnabled());
  list.Command(IDC_SL_DOWNLOAD);  // a second press while it reads starts nothing
  ASSERT_TRUE(WaitUntil([this] { return fake_.HeldSearchLists() == 1; }, 5000, RunEvents));
  bool listShown = false;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<CFullListDlg*>(QApplication::activeModalWidget())) {
      listShown = dialog->Item<ui::ReportList>(IDC_FL_LIST)->GetItemCount() == 2;
      dialog->EndDialog(plat::IDOK);
    }
  });
  driver.start(2);
  Hold(false);
  EXPECT_TRUE(WaitUntil([&] { return !list.IsDownloading(); }, 5000, RunEvents));
  driver.stop();
  EXPECT_TRUE(list.isEnabled());
  EXPECT_TRUE(listShown);
  EXPECT_EQ(list.m_wCurExitListNumber, 2);
  EXPECT_TRUE(boxes.Texts().empty());
}

}  // namespace
