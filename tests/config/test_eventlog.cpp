// The event-log download against the fake recorder, and the General page's Server Log button.
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

#include "config/EventLog.h"
#include "config/EventLogViewers.h"
#include "config/ToolBoxPropertyPage.h"
#include "config/SheetProgress.h"
#include "core/TraceLog.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "tests/config/bounded_stop.h"
#include "tests/config/config_fixture.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/QtWait.h"
#include "tests/support/TempDir.h"

namespace {

using Jobs = std::vector<std::pair<int, int>>;

class EventLogTest : public RecorderPageTest {};

// Job 1, the given jobs, job 4.
Jobs Full(const Jobs& middle) {
  Jobs jobs{{1, 0}};
  jobs.insert(jobs.end(), middle.begin(), middle.end());
  jobs.push_back({4, 0});
  return jobs;
}

TEST_F(EventLogTest, DownloadTable) {
  Model("K40R");
  const std::string cookie = "/Getlog.cgi?Cookie=" + fake_.GetIdentity().sessionId;
  const std::string count = cookie + "&STATE=COUNT", last = cookie + "&STATE=LAST", pre = cookie + "&STATE=PRE";
  Jobs tenPages{{2, 300}};
  for (int t = 30; t <= 300; t += 30) tenPages.push_back({3, t});
  Jobs elevenPages{{2, 310}};
  for (int t = 30; t <= 330; t += 30) elevenPages.push_back({3, t});
  Jobs twentyOne{{2, 2048}};
  for (int t = 100; t <= 2000; t += 100) twentyOne.push_back({3, t});
  twentyOne.push_back({3, 2048});

  struct Case {
    const char* name;
    int max;
    fake::EventLogSettings log;
    int code;
    std::uint32_t stored;
    Jobs jobs;
    std::size_t pages;  // page requests after the count
  };
  auto log = [](int records, int page = 30) {
    fake::EventLogSettings s;
    s.records = records;
    s.pageRecords = page;
    return s;
  };
  auto with = [](fake::EventLogSettings s, auto change) {
    change(s);
    return s;
  };
  const Case cases[] = {
      {"45 of 300", 300, log(45), 1, 45, Full({{2, 45}, {3, 30}}), 2},
      {"1000 of 300", 300, log(1000), 1, 300, Full(tenPages), 10},
      {"310, full last page", 2048, with(log(400), [](auto& s) { s.countReply = "COUNT=310;"; }), 1, 310, Full(elevenPages), 11},
      {"count 0", 300, log(0), 2, 0, {}, 0},
      {"empty first page", 300, with(log(0), [](auto& s) { s.countReply = "COUNT=5;"; }), 1, 0, Full({{2, 5}}), 1},
      {"29-record page", 300, log(100, 29), 1, 29, Full({{2, 100}}), 1},
      {"65-byte page", 300, with(log(2), [](auto& s) { s.trailingBytes = 1; }), 1, 2, Full({{2, 2}}), 1},
      {"page 2 at 500", 300, with(log(100), [](auto& s) { s.failPage = 1; }), 4, 30, Full({{2, 100}, {3, 30}}), 2},
      {"no semicolon", 300, with(log(5), [](auto& s) { s.countReply = "COUNT=5"; }), 4, 0, {}, 0},
      {"no COUNT", 300, with(log(5), [](auto& s) { s.countReply = "TOTAL=5;"; }), 4, 0, {}, 0},
      {"MAX 0", 0, log(45), 2, 0, {}, 0},
      {"2048 of oversized pages", 2048, log(3000, 100), 1, 2048, Full(twentyOne), 21},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.SetEventLog(c.log);
    fake_.ClearRequests();
    const Jobs& expected = c.jobs;

    std::vector<std::uint8_t> buffer(kEventLogBufferSize, 0);
    std::atomic<std::uint32_t> stored{0};
    Jobs jobs;
    PostedMessages posted;
    ServerLogJob job;
    job.maxLogList = c.max;
    job.cancelEvent = plat::CreateEvent(false, false);
    job.buffer = buffer.data();
    job.count = &stored;
    job.notify = posted.Hwnd();
    job.sessionId = fake_.GetIdentity().sessionId;
    job.progress = [&jobs](int j, int v) { jobs.emplace_back(j, v); };
    EXPECT_EQ(Get_Server_Log_Thread(job), c.code);
    plat::CloseHandle(job.cancelEvent);

    EXPECT_EQ(stored.load(), c.stored);
    EXPECT_EQ(jobs, expected);
    ASSERT_TRUE(WaitUntil([&] { return posted.Got().size() == 1; }));
    EXPECT_EQ(posted.Got()[0], std::make_pair(WM_SERVERLOGDONE, c.code));
    std::vector<std::string> targets{count};
    for (std::size_t p = 0; p < c.pages; ++p) targets.push_back(p == 0 ? last : pre);
    EXPECT_EQ(Targets(), targets);
    // The records as the recorder sent them, newest first, and nothing past the buffer.
    const std::string sent = fake::FakeRecorder::EventLogRecords("K40R", c.log.seed, static_cast<int>(c.stored));
    EXPECT_EQ(std::memcmp(buffer.data(), sent.data(), sent.size()), 0);
  }
}

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
    ASSERT_TRUE(WaitUntil([&] { return page.m_ServerLog.m_byLogState == 2; }, 5000, PumpEvents));
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
    ASSERT_TRUE(WaitUntil([&] { return page.m_ServerLog.m_byLogState == 2; }, 5000, PumpEvents));
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
  ProcessEvents(20);
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
  ProcessEvents(10);
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
  ASSERT_TRUE(WaitUntil([&] { return (viewer = shown()) != nullptr; }, 5000, PumpEvents));
  EXPECT_EQ(page->m_ServerLog.m_byLogState, 2);
  EXPECT_EQ(viewer->Family(), EventLogFamily::Server);
  EXPECT_EQ(viewer->m_nRecordCount, 45u);
  EXPECT_EQ(viewer->List()->topLevelItemCount(), 45);
  QPointer<QWidget> alive(viewer);
  page.reset();
  EXPECT_TRUE(alive.isNull());
}

TEST(EventLogCount, Replies) {
  struct Case {
    const char* reply;
    bool ok;
    std::uint32_t count;
  } cases[] = {{"COUNT=45;", true, 45},     {"X=1;COUNT= +12;", true, 12}, {"COUNT=;", true, 0},
               {"COUNT=7a;", true, 7},      {"COUNT=99999999999;", true, 0xFFFFFFFFu},
               {"COUNT=5", false, 0},       {"count=5;", false, 0},        {"", false, 0}};
  for (const Case& c : cases) {
    std::uint32_t n = 0;
    EXPECT_EQ(ParseLogCount(c.reply, std::strlen(c.reply), n), c.ok) << c.reply;
    if (c.ok) {
      EXPECT_EQ(n, c.count) << c.reply;
    }
  }
}

}  // namespace
