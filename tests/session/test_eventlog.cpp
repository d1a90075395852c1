// The event-log download against the fake recorder: the count, the pages, the progress jobs
// and the end it posts; and the count reply's parser.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/Messages.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "session/EventLog.h"
#include "session/ProgressJobs.h"
#include "tests/session/session_fixture.h"
#include "tests/support/PostedMessages.h"
#include "tests/support/WaitUntil.h"

namespace {

using Jobs = std::vector<std::pair<int, int>>;

class EventLogDownloadTest : public RecorderFixture {
 protected:
  void SetUp() override {
    RecorderFixture::SetUp();
    fake::Identity id = recorder_.GetIdentity();
    id.productId = "K40R";
    id.firmware = "1100";
    recorder_.SetIdentity(id);
    app_->SetProductID("K40R");
    app_->SetFWVersion("1100");
  }
  std::vector<std::string> Targets() const {
    std::vector<std::string> out;
    for (const auto& r : recorder_.Requests()) out.push_back(r.target());
    return out;
  }
};

// The empty bar, the given jobs, the bar hidden.
Jobs Full(const Jobs& middle) {
  Jobs jobs{{PROGRESS_JOB_EMPTY, 0}};
  jobs.insert(jobs.end(), middle.begin(), middle.end());
  jobs.push_back({PROGRESS_JOB_CLEAR, 0});
  return jobs;
}

TEST_F(EventLogDownloadTest, DownloadTable) {
  const std::string cookie = "/Getlog.cgi?Cookie=" + recorder_.GetIdentity().sessionId;
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
    recorder_.SetEventLog(c.log);
    recorder_.ClearRequests();
    const Jobs& expected = c.jobs;

    std::vector<std::uint8_t> buffer(kEventLogBufferSize, 0);
    std::atomic<std::uint32_t> stored{0};
    Jobs jobs;
    PostedMessages posted;  // what the download posts to its page
    ServerLogJob job;
    job.maxLogList = c.max;
    job.cancelEvent = plat::CreateEvent(false, false);
    job.buffer = buffer.data();
    job.count = &stored;
    job.notify = posted.Hwnd();
    job.sessionId = recorder_.GetIdentity().sessionId;
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
