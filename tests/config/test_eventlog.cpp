// The General page's Server Log button: the download it starts, its cancel and the viewer it opens.
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "session/EventLog.h"
#include "config/EventLogViewers.h"
#include "config/ToolBoxPropertyPage.h"
#include "config/SheetProgress.h"
#include "core/TraceLog.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "tests/config/bounded_stop.h"
#include "tests/config/config_fixture.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

namespace {

using Jobs = std::vector<std::pair<int, int>>;

class ServerLogPageTest : public RecorderPageTest {
 protected:
  void Open(ToolBoxPropertyPage& page) {
    page.m_ServerLog.m_progress = [this](int j, int v) {
      std::lock_guard<std::mutex> lock(mutex_);
      jobs_.emplace_back(j, v);
    };
    page.m_ServerLog.m_runViewer = [this](EventLogFamily family, const std::uint8_t*, std::uint32_t count) {
      viewers_.emplace_back(family, count);
    };
    host_.resize(500, 400);
    page.CreatePage(&host_);
  }
  Jobs TakenJobs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return jobs_;
  }
  static QString Caption(ToolBoxPropertyPage& page) {
    return page.Item<QPushButton>(IDC_TOOLBOX_SERVERLOG)->text();
  }
  QWidget host_;
  std::mutex mutex_;
  Jobs jobs_;
  std::vector<std::pair<EventLogFamily, std::uint32_t>> viewers_;
};

TEST_F(ServerLogPageTest, DownloadOpensTheViewerOfTheFamily) {
  for (const char* model : {"K40R", "K42R"}) {
    SCOPED_TRACE(model);
    Model(model);
    viewers_.clear();
    ToolBoxPropertyPage page;
    Open(page);
    EXPECT_EQ(Caption(page), "Server Log");
    page.Command(IDC_TOOLBOX_SERVERLOG);
    EXPECT_EQ(Caption(page), "Cancel");
    ASSERT_TRUE(WaitUntil([&] { return page.m_ServerLog.m_byLogState == 2; }, 5000, Pump));
    EXPECT_EQ(Caption(page), "Server Log");
    EXPECT_FALSE(page.m_ServerLog.IsThreadRunning());
    ASSERT_EQ(viewers_.size(), 1u);
    EXPECT_EQ(viewers_[0].first, std::string(model) == "K42R" ? EventLogFamily::Dvr : EventLogFamily::Server);
    EXPECT_EQ(viewers_[0].second, 45u);
  }
}

TEST_F(ServerLogPageTest, FailureIsReportedAndHiddenWhereNoLogExists) {
  MessageBoxRecorder boxes;
  Model("K40R");
  fake::EventLogSettings log;
  log.countReply = "COUNT=5";
  fake_.SetEventLog(log);
  {
    ToolBoxPropertyPage page;
    Open(page);
    page.Command(IDC_TOOLBOX_SERVERLOG);
    ASSERT_TRUE(WaitUntil([&] { return page.m_ServerLog.m_byLogState == 2; }, 5000, Pump));
    EXPECT_TRUE(viewers_.empty());
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Read server log is failed");
  }
  struct Case {
    const char* model;
    const char* firmware;
    bool shown;
  } cases[] = {{"K40R", "1006", false}, {"K40R", "1007", true}, {"K45R", "1100", false}, {"K41R", "1000", true}};
  for (const Case& c : cases) {
    Model(c.model, c.firmware);
    ToolBoxPropertyPage page;
    Open(page);
    EXPECT_EQ(!page.GetDlgItem(IDC_TOOLBOX_SERVERLOG)->isHidden(), c.shown) << c.model << " " << c.firmware;
    EXPECT_EQ(!page.GetDlgItem(IDC_TOOLBOX_MAXLOG)->isHidden(), c.shown);
  }
}

TEST_F(ServerLogPageTest, MaxLogListKeepsDigitsWithinTheLimit) {
  Model("K40R");
  ToolBoxPropertyPage page;
  Open(page);
  auto* edit = page.Item<QLineEdit>(IDC_TOOLBOX_MAXLOG);
  EXPECT_EQ(edit->text(), "300");
  const std::pair<const char*, int> typed[] = {{"5000", 2048}, {"12a3", 123}, {"99999999999", 2048}, {"0", 0}};
  for (const auto& [text, value] : typed) {
    edit->setText(QString::fromLatin1(text));
    emit edit->textEdited(edit->text());  // as typed
    EXPECT_EQ(page.m_ServerLog.m_nMaxLogList, value) << text;
    EXPECT_EQ(edit->text(), QString::number(value));
  }
}

TEST_F(ServerLogPageTest, CancelDuringAStalledPage) {
  Model("K40R");
  fake::EventLogSettings log;
  log.stallPage = 0;
  fake_.SetEventLog(log);
  PostedMessages unused;
  const std::size_t threadsBefore = plat::LiveThreadCount();
  ToolBoxPropertyPage page;
  Open(page);
  page.Command(IDC_TOOLBOX_SERVERLOG);
  ASSERT_TRUE(fake_.WaitForRequests(2, 5000));  // the count, then the page that never comes
  ASSERT_TRUE(WaitUntil([&] { return TakenJobs().size() >= 2; }));
  page.Command(IDC_TOOLBOX_SERVERLOG);
  EXPECT_EQ(Caption(page), "Server Log");
  EXPECT_EQ(page.m_ServerLog.m_byLogState, 2);
  EXPECT_FALSE(page.m_ServerLog.IsThreadRunning());
  EXPECT_EQ(plat::LiveThreadCount(), threadsBefore);
  for (int i = 0; i < 20; ++i) Pump();
  EXPECT_TRUE(viewers_.empty());
  const Jobs jobs = TakenJobs();
  ASSERT_FALSE(jobs.empty());
  EXPECT_EQ(jobs.back(), std::make_pair(4, 0));
  EXPECT_EQ(jobs.front(), std::make_pair(1, 0));
}

// The download cannot end in time (its progress writer is held in a wait that no
// cancellation ends): Cancel gives up on it after the bound, the thread keeps its buffer,
// count and event, and the page may go; the thread ends later without touching the page.
TEST_F(ServerLogPageTest, CancelPastTheBoundLeavesTheDownloadItsRun) {
  TempDir dir("serverlog");
  TraceLog_Init(300, dir.Folder());
  Model("K40R");
  struct Hold {
    std::mutex mutex;
    std::condition_variable cv;
    bool held = false, released = false;
  };
  auto hold = std::make_shared<Hold>();  // the thread's copy of the writer keeps it
  auto page = std::make_unique<ToolBoxPropertyPage>();
  Open(*page);
  page->m_ServerLog.m_progress = [hold](int, int) {
    std::unique_lock<std::mutex> lock(hold->mutex);
    if (hold->held) return;
    hold->held = true;
    hold->cv.notify_all();
    hold->cv.wait(lock, [&] { return hold->released; });
  };
  auto release = [hold] {
    {
      std::lock_guard<std::mutex> lock(hold->mutex);
      hold->released = true;
    }
    hold->cv.notify_all();
  };
  page->Command(IDC_TOOLBOX_SERVERLOG);
  {
    std::unique_lock<std::mutex> lock(hold->mutex);
    ASSERT_TRUE(hold->cv.wait_for(lock, std::chrono::seconds(10), [&] { return hold->held; }));
  }
  StopPastItsBound(CServerLog::kThreadEndBoundMs, [&] { page->Command(IDC_TOOLBOX_SERVERLOG); });
  EXPECT_EQ(Caption(*page), "Server Log");
  EXPECT_EQ(page->m_ServerLog.m_byLogState, 2);
  EXPECT_FALSE(page->m_ServerLog.IsThreadRunning());
  EXPECT_EQ(plat::StrandedThreadCount(), 1u);
  EXPECT_NE(TempDir::Read(dir / "trace.log").find("kept server log download"), std::string::npos);
  page.reset();
  release();
  EXPECT_TRUE(WaitUntil([] { return plat::StrandedThreadCount() == 0; }));
  for (int i = 0; i < 10; ++i) Pump();
  EXPECT_TRUE(viewers_.empty());
  TraceLog_Close();
}

// The viewer a download opens is shown without a loop of its own: the page's handler has
// returned while it shows the records it keeps, and it goes with the page.
TEST_F(ServerLogPageTest, TheViewerIsShownWithoutALoopOfItsOwnAndGoesWithThePage) {
  Model("K40R");
  auto shown = []() -> CEventLogViewer* {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* v = dynamic_cast<CEventLogViewer*>(w);
      if (v && v->isVisible()) return v;
    }
    return nullptr;
  };
  // Whatever viewer is still shown goes after a while, so that the test ends either way.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (CEventLogViewer* v = shown()) v->EndDialog(0);
  });
  closer.start(10000);
  auto page = std::make_unique<ToolBoxPropertyPage>();
  host_.resize(500, 400);
  page->CreatePage(&host_);
  page->Command(IDC_TOOLBOX_SERVERLOG);
  CEventLogViewer* viewer = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (viewer = shown()) != nullptr; }, 5000, Pump));
  EXPECT_EQ(page->m_ServerLog.m_byLogState, 2);
  EXPECT_EQ(viewer->Family(), EventLogFamily::Server);
  EXPECT_EQ(viewer->m_nRecordCount, 45u);
  EXPECT_EQ(viewer->List()->topLevelItemCount(), 45);
  QPointer<QWidget> alive(viewer);
  page.reset();
  EXPECT_TRUE(alive.isNull());
}

}  // namespace
