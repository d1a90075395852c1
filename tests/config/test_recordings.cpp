// Recordings on the recorder against the fake recorder: the disk list, the backup request and
// its stream with every ending, the search list pages and filters, the hand-over to the backup
// page, the backup page's refusals and the playback search.
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QTimeEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "config/CEventPage.h"
#include "config/DownloadFilePage.h"
#include "config/MySystemDialog.h"
#include "config/PlaybackSearchDlg.h"
#include "config/SheetProgress.h"
#include "config/WriteCDSettingDlg.h"
#include "core/Messages.h"
#include "core/TraceLog.h"
#include "engine/AppRecord.h"
#include "tests/config/bounded_stop.h"
#include "tests/config/config_fixture.h"
#include "tests/disc/fake/fake_discapi.h"
#include "platform/kernel.h"
#include "platform/net.h"
#include "platform/registry.h"
#include "platform/thread.h"
#include "record/DiscApiLoader.h"
#include "session/NetworkBackup.h"
#include "session/PlayerLink.h"
#include "session/SearchList.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/QtWait.h"
#include "tests/support/TempDir.h"

namespace {

class RecordingsTest : public RecorderPageTest {
 protected:
  void SetUp() override {
    RecorderPageTest::SetUp();
    if (HasFatalFailure()) return;
    app_->SetProductID("K41R");
    app_->SetFWVersion("1046");
    sl::g_PendingBackup.Clear();
  }
  std::size_t CountOf(const std::string& path) const {
    std::size_t n = 0;
    for (const auto& r : fake_.Requests()) n += r.path == path;
    return n;
  }
  // The recorder's network backups: `bytes` bytes in its usual chunks.
  void BackupsOf(std::size_t bytes) {
    fake::BackupSettings s;
    s.totalBytes = bytes;
    fake_.SetBackup(s);
  }
  // Download HDD List, then the events until the page has handled its worker's answer.
  static void DownloadList(CEventPage& list) {
    list.Command(IDC_SL_DOWNLOAD);
    EXPECT_TRUE(WaitUntil([&list] { return !list.IsDownloading(); }, 5000, PumpEvents));
  }
  // Makes the sheet and brings `page` forward.
  template <class Page>
  static Page& Open(MySystemDialog& sheet, Page& page) {
    sheet.CreateSheet(nullptr, QRect(0, 0, 1280, 1024));
    sheet.SetActivePage(&page);
    return page;
  }
  TempDir dir_{"recordings"};
};

TEST(DiskMask, NamesPositionsAndShortReplies) {
  nb::DiskMask mask{};
  mask[0] = 0x15;  // disks 0, 2, 4
  mask[31] = 0x80; // disk 255
  EXPECT_EQ(nb::ListDisks(mask), (std::vector<unsigned>{0, 2, 4, 255}));
  EXPECT_EQ(nb::DiskName(4), "EXT-01");
  EXPECT_EQ(nb::DiskName(255), "EXT-252");
  EXPECT_EQ(nb::DiskOfPosition(mask, 2), 4);
  EXPECT_EQ(nb::DiskOfPosition(mask, 4), -1);
  for (auto [name, number] : std::vector<std::pair<std::string, int>>{
           {"MASTER1", 0}, {"SLAVE2", 3}, {"EXT-02", 5}, {"EXT-2", -1}, {"ALL", -1}, {"EXT-00", -1}}) {
    EXPECT_EQ(nb::DiskNumberOfName(name), number) << name;
  }
  const std::uint8_t shortReply[31] = {0xFF};
  EXPECT_FALSE(nb::ParseDiskMask(shortReply, sizeof shortReply, mask));
  EXPECT_TRUE(nb::ListDisks(mask).empty());
}

TEST(BackupRequest, HeadIsByteExact) {
  nb::BackupRequest r;
  r.sessionId = "A1B2C3D4E5F6";
  r.host = "192.168.1.20";
  r.year = 2007;
  r.month = 1;
  r.day = 22;
  r.hour = 8;
  r.minute = 5;
  r.second = 9;
  r.hddNumber = 2;
  r.channel = 2;
  r.sizeMB = 10;
  EXPECT_EQ(nb::BuildBackupRequest(r),
            "GET /NetworkBk.cgi?Cookie=A1B2C3D4E5F6&Year=2007&Month=1&Day=22&Hour=8&Minute=5&Second=9&Num=2&CH=2&Size=10 "
            "HTTP/1.1\r\nAccept: */* \r\nAccept-Language: zh-tw\r\nAccept-Encoding: gzip, deflate\r\n"
            "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)\r\n"
            "Host: 192.168.1.20\r\nConnection: Keep-Alive\r\n\r\n");
  r.sessionId = "X\r\nEvil: 1";
  EXPECT_EQ(nb::BuildBackupRequest(r), "");
}

TEST(BackupFile, NamesAndPercentages) {
  TempDir dir("names");
  EXPECT_EQ(nb::MakeBackupFileName(dir.path(), 3), dir / "CH03_0001.dvr");
  TempDir::Write(dir / "CH03_0001.dvr", "x");
  TempDir::Write(dir / "CH03_0002.dvr", "x");
  EXPECT_EQ(nb::MakeBackupFileName(dir.path(), 3), dir / "CH03_0003.dvr");
  for (int n = 3; n <= 9999; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "CH03_%.4d.dvr", n);
    TempDir::Write(dir / name, "");
  }
  EXPECT_EQ(nb::MakeBackupFileName(dir.path(), 3), dir / "CH03_Temp.dvr");
  // A folder is taken whole or refused, never cut: the longest one still gives its full name.
  std::string folder = dir.path();
  while (folder.size() < nb::MaxBackupFolderLength(3)) folder += folder.size() % 100 == 0 ? '/' : 'f';
  ASSERT_EQ(folder.size(), nb::MaxBackupFolderLength(3));
  const std::string longest = nb::MakeBackupFileName(folder, 3);
  EXPECT_EQ(longest, folder + "/CH03_0001.dvr");
  EXPECT_EQ(longest.size(), nb::kMaxPlayerPath);
  for (std::size_t extra : {1, 100, 2000}) EXPECT_EQ(nb::MakeBackupFileName(folder + std::string(extra, 'g'), 3), "") << extra;
  EXPECT_EQ(nb::MaxBackupFolderLength(123), nb::MaxBackupFolderLength(3) - 1);
  EXPECT_EQ(nb::BackupPercent(5242880, 10), 50);
  EXPECT_EQ(nb::BackupPercent(static_cast<std::uint64_t>(2.56 * 10 * 1048576), 10), 100);  // clamped, never wraps
  EXPECT_EQ(nb::BackupPercent(0, 10), 0);
}

// A player that records what the download thread tells it.
class RecordingPlayer : public nb::IBackupPlayer {
 public:
  bool Linked() const override { return linked; }
  bool Ready() const override { return ready; }
  std::uint32_t BufferBytes() const override { return buffer; }
  void Post(unsigned msg, std::uint64_t w, std::uint64_t l) override {
    std::lock_guard<std::mutex> lock(mutex);
    posts.push_back({msg, w, l});
  }
  void LockFile() override { ++locks; }
  void UnlockFile() override {}
  struct P {
    unsigned msg;
    std::uint64_t w, l;
  };
  bool linked = true, ready = true;
  std::uint32_t buffer = 102400;
  std::mutex mutex;
  std::vector<P> posts;
  std::atomic<int> locks{0};
};

struct StreamCase {
  const char* name;
  fake::BackupSettings settings;
  int status;
  std::size_t fileBytes;  // of the recorder's bytes, in order
  std::uint64_t playerStop;  // 0: none
  int endNotice;             // -1: none, else the END wParam
};

TEST_F(RecordingsTest, EachEndingGivesItsStatusAndTheFileHoldsTheData) {
  using End = fake::BackupSettings::End;
  std::vector<StreamCase> cases;
  auto add = [&](const char* name, auto change, int status, std::size_t bytes, std::uint64_t stop, int end) {
    fake::BackupSettings s;
    s.totalBytes = 300000;
    change(s);
    cases.push_back({name, s, status, bytes, stop, end});
  };
  add("complete", [](auto&) {}, nb::DS_FINISHED, 300000, 0, 0);
  add("odd chunks", [](auto& s) { s.chunkSize = 777; }, nb::DS_FINISHED, 300000, 0, 0);
  add("chunks over the buffer", [](auto& s) { s.chunkSize = 70000; }, nb::DS_FINISHED, 300000, 0, 0);
  add("foreign headers", [](auto& s) { s.foreignBefore = {0, 5}; }, nb::DS_FINISHED, 300000, 0, 0);
  add("no data", [](auto& s) { s.totalBytes = 0; }, nb::DS_NO_DATA, 0, 0, 1);
  add("abort", [](auto& s) { s.end = End::Abort; }, nb::DS_ABORTED, 300000, 0, 1);
  add("closed", [](auto& s) { s.end = End::Close; }, nb::DS_RECEIVE_FAILED, 300000, nb::kPlayerStopNetwork, -1);
  add("cut inside a chunk", [](auto& s) { s.cutInsideChunk = 3; }, nb::DS_RECEIVE_FAILED, 3 * 2048,
      nb::kPlayerStopNetwork, -1);
  add("refused", [](auto& s) { s.httpHead = true; }, nb::DS_SEND_FAILED, 0, nb::kPlayerStopNetwork, -1);
  add("file cannot be made", [](auto&) {}, nb::DS_FILE_FAILED, 0, nb::kPlayerStopFile, -1);
  // One megabyte asked for: four are taken, and a recorder that sends more is stopped there.
  const std::size_t limit = 4 * 1048576;
  add("up to the limit", [&](auto& s) { s.totalBytes = limit; s.chunkSize = 65536; }, nb::DS_FINISHED, limit, 0, 0);
  add("far past the requested size", [&](auto& s) { s.totalBytes = limit + 300000; s.chunkSize = 70001; },
      nb::DS_OVERRUN, limit, nb::kPlayerStopNetwork, -1);
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.name);
    fake_.SetBackup(c.settings);
    RecordingPlayer player;
    std::vector<std::pair<int, int>> statuses;
    nb::DownloadContext context;
    context.server = "127.0.0.1";
    context.port = fake_.Port();
    context.request.sessionId = fake_.GetIdentity().sessionId;
    context.request.host = "127.0.0.1";
    context.request.year = 2007;
    context.request.sizeMB = 1;
    context.filePath = dir_ / (std::string(c.name) + ".dvr");
    if (c.status == nb::DS_FILE_FAILED) context.filePath = dir_ / "missing-folder/x.dvr";
    context.startEvent = plat::CreateEvent(false, true);
    context.stopEvent = plat::CreateEvent(false, false);
    context.hooks.status = [&](int s, int v) { statuses.push_back({s, v}); };
    context.hooks.player = &player;
    nb::DownloadFileThread(&context);
    plat::CloseHandle(context.startEvent);
    plat::CloseHandle(context.stopEvent);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().first, c.status);
    for (auto [s, v] : statuses) {
      if (s == nb::DS_PROGRESS) {
        EXPECT_LE(v, 100);
      }
    }
    const std::string target = fake_.Requests().back().target();
    const std::string query = target.substr(target.find('?') + 1);
    const std::string file = c.status == nb::DS_FILE_FAILED ? std::string() : TempDir::Read(context.filePath);
    EXPECT_EQ(file.size(), c.fileBytes);
    EXPECT_TRUE(file == fake::FakeRecorder::BackupBytes(query, c.settings.totalBytes).substr(0, c.fileBytes));
    std::uint64_t stop = 0;
    int end = -1;
    std::uint64_t added = 0;
    for (const auto& p : player.posts) {
      if (p.msg == msg::WM_PLAYERSTOP) stop = p.l;
      if (p.msg == msg::WM_PLAYERDOWNLOADEND) end = static_cast<int>(p.w);
      if (p.msg == msg::WM_PLAYERDATAADDED) added += p.l;
    }
    EXPECT_EQ(stop, c.playerStop);
    EXPECT_EQ(end, c.endNotice);
    if (c.status == nb::DS_FINISHED || c.status == nb::DS_OVERRUN) {
      EXPECT_EQ(added, c.fileBytes);  // notices cover every byte once
    }
  }
}

TEST_F(RecordingsTest, AStallEndsWhenTheDialogStopsTheThread) {
  fake::BackupSettings s;
  s.stallAfterChunks = 2;
  fake_.SetBackup(s);
  nb::DownloadContext context;
  context.server = "127.0.0.1";
  context.port = fake_.Port();
  context.request.sessionId = fake_.GetIdentity().sessionId;
  context.request.host = "127.0.0.1";
  context.request.sizeMB = 1;
  context.filePath = dir_ / "stall.dvr";
  context.startEvent = plat::CreateEvent(false, true);
  context.stopEvent = plat::CreateEvent(false, false);
  std::atomic<int> progress{0};
  context.hooks.status = [&](int st, int) {
    if (st == nb::DS_PROGRESS) ++progress;
  };
  nb::DownloadContext* c = &context;
  const plat::HANDLE thread = plat::CreateThread([c] { return nb::DownloadFileThread(c); });
  WaitUntil([&] { return progress >= 2; }, 2500);
  EXPECT_EQ(progress.load(), 2);
  plat::CancelThread(thread, 31);
  EXPECT_EQ(plat::WaitForSingleObject(thread, 2000), plat::WAIT_OBJECT_0);
  plat::CloseHandle(thread);
  plat::CloseHandle(context.startEvent);
  plat::CloseHandle(context.stopEvent);
  EXPECT_EQ(TempDir::Read(context.filePath).size(), 4096u);
}

std::vector<std::string> Records(int n, std::uint8_t type = 0x30) {
  std::vector<std::string> r;
  for (int i = 0; i < n; ++i) r.push_back(fake::FakeRecorder::SearchRecord(type, 2007, 1, 22, 8, i % 60, 0));
  return r;
}

TEST_F(RecordingsTest, SearchListPages) {
  struct Case {
    const char* name;
    int records, pageSize, announceExtra;
    std::string tail;
    unsigned max;
    std::size_t requests, got;
  };
  const Case cases[] = {
      {"128 of 20-record pages", 200, 20, 0, "", 128, 7, 128},
      {"short last page", 29, 20, 0, "", 128, 2, 29},
      {"empty list", 0, 20, 0, "", 128, 1, 0},
      {"size 170 and tail bytes", 40, 10, 10, std::string(10, '\x55'), 10, 1, 10},
      {"size announcing more than came", 15, 20, 320, "", 128, 2, 15},
      {"maximum 0", 50, 20, 0, "", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake::RecordingsSettings r;
    r.lists[2] = Records(c.records);
    r.pageSize = c.pageSize;
    r.announceExtra = c.announceExtra;
    r.pageTail = c.tail;
    fake_.SetRecordings(r);
    fake_.ClearRequests();
    std::vector<sl::SearchListRecord> got;
    int pauses = 0;
    EXPECT_EQ(sl::FetchSearchList(2, 0, c.max, got, nullptr, [&] { ++pauses; }), sl::FetchResult::Ok);
    EXPECT_EQ(got.size(), c.got);
    EXPECT_EQ(CountOf("/GetSearchList.cgi"), c.requests);
    const auto requests = fake_.Requests();
    for (std::size_t i = 0; i < requests.size(); ++i) {
      EXPECT_EQ(requests[i].query.at("STATE"), i == 0 ? "LAST" : "PREV");
      EXPECT_EQ(requests[i].query.at("HDD"), "2");
      EXPECT_EQ(requests[i].query.at("TYPE"), "8");
    }
  }
  fake::RecordingsSettings failing;
  failing.failSearchList = true;
  fake_.SetRecordings(failing);
  std::vector<sl::SearchListRecord> got;
  EXPECT_EQ(sl::FetchSearchList(0, 3, 10, got, nullptr, nullptr), sl::FetchResult::Failed);
}

TEST(SearchListRecords, FiltersRowsAndHandOver) {
  std::vector<sl::SearchListRecord> records(5);
  const std::uint8_t types[] = {0x02, 0x20, 0x30, 0x13, 0x77};
  for (std::size_t i = 0; i < 5; ++i) {
    records[i].bytes[7] = types[i];
    records[i].bytes[8] = 7;
    records[i].bytes[9] = 1;
    records[i].bytes[10] = 22;
    records[i].bytes[11] = static_cast<std::uint8_t>(8 + i);
  }
  sl::Filters all = sl::FiltersOfListType(0);
  EXPECT_TRUE(sl::IsVisible(records[1], all));  // timer with all four
  sl::Filters noAlarm = all;
  noAlarm.alarm = false;
  EXPECT_FALSE(sl::IsVisible(records[1], noAlarm));
  EXPECT_EQ(sl::RowToRecord(records, noAlarm, 0), 2u);  // the manual record, not the array's first
  EXPECT_EQ(sl::RowToRecord(records, noAlarm, 9), 0u);
  EXPECT_EQ(sl::EventText(records[3]), "MOTION");
  EXPECT_EQ(sl::ChannelText(records[3]), " 4");
  EXPECT_EQ(sl::ChannelText(records[2]), "ALL");
  EXPECT_EQ(sl::TimeText(records[0]), "2007-01-22  08:00:00");
  EXPECT_EQ(sl::EventText(records[4]), "");
  sl::HandOver(records[3], 1);
  EXPECT_EQ(sl::g_PendingBackup.bytes, (std::array<std::uint8_t, 10>{1, 1, 7, 1, 22, 11, 0, 0, 1, 4}));
  sl::HandOver(records[2], 0);
  EXPECT_EQ(sl::g_PendingBackup.bytes[1], 3);
  EXPECT_EQ(sl::g_PendingBackup.bytes[9], 0);
  sl::g_PendingBackup.Clear();
}

TEST(PlaybackSearch, Targets) {
  sl::PlaybackSearch s;
  s.year = 2007;
  s.month = 1;
  s.day = 22;
  s.hour = 9;
  s.minute = 30;
  s.second = 5;
  s.hddNum = "5";
  s.channel = 2;
  EXPECT_EQ(sl::PlaybackSearchTarget(s, "ID"),
            "/SearchPlayBack.cgi?Cookie=ID&searchType=event&channelNum=2&eventType=0&year=7&month=1&day=22&hour=9&"
            "min=30&sec=5&hddNum=5");
  s.timeSearch = true;
  s.hddNum = "ALL";
  EXPECT_EQ(sl::PlaybackSearchTarget(s, ""),
            "/SearchPlayBack.cgi?searchType=time&year=7&month=1&day=22&hour=9&min=30&sec=5&hddNum=ALL");
}

// Runs `action` once the next modal dialog shows, from the event loop.
void WhenModal(std::function<void(QWidget*)> action) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      action(w);
    }
  });
  timer->start(5);
}

TEST_F(RecordingsTest, StartRefusalsSendNothing) {
  MessageBoxRecorder boxes;
  MySystemDialog sheet;
  DownloadFilePage& page = Open(sheet, sheet.m_NetworkBackupPage);
  ASSERT_TRUE(page.HasWindow());
  EXPECT_EQ(page.Item<QLineEdit>(IDC_BK_PATH)->text().toStdString(), "Please set file path at first time!");
  struct Case {
    const char* name;
    const char* size;
    const char* channel;
    bool folder;
    const char* message;
  };
  const Case cases[] = {
      {"size 0", "0", "3", true, "The size of backup file is wrong"},
      {"no folder", "5", "3", false, "Download file path is invalid."},
      {"channel 0", "5", "0", true, "DVR doesn't contain the record data."},
      {"channel 17", "5", "17", true, "DVR doesn't contain the record data."},
  };
  fake_.ClearRequests();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    page.m_strFolder.clear();
    page.m_strFilePath = "Please set file path at first time!";
    if (c.folder) page.SetFolder(dir_.path());
    page.Item<QLineEdit>(IDC_BK_SIZE)->setText(QString::fromLatin1(c.size));
    page.Item<QLineEdit>(IDC_BK_CHANNEL)->setText(QString::fromLatin1(c.channel));
    const std::size_t before = boxes.Texts().size();
    page.Command(IDC_BK_START);
    ASSERT_EQ(boxes.Texts().size(), before + 1);
    EXPECT_EQ(boxes.Texts().back(), c.message);
  }
  EXPECT_EQ(fake_.RequestCount(), 0u);
  EXPECT_FALSE(TempDir::Read(dir_ / "CH17_0001.dvr").size());
}

// A folder too long for the file name is refused with the reason, in the path box and at Start.
TEST_F(RecordingsTest, AnOverLongFolderIsRefusedWithItsReason) {
  MessageBoxRecorder boxes;
  MySystemDialog sheet;
  DownloadFilePage& page = Open(sheet, sheet.m_NetworkBackupPage);
  std::string folder = dir_.path();
  while (folder.size() < 1100) folder += folder.size() % 100 == 0 ? '/' : 'f';
  const std::string reason = "The folder name is too long (1100 characters, at most " +
                             std::to_string(nb::MaxBackupFolderLength(3)) + "): choose a shorter folder.";
  page.Item<QLineEdit>(IDC_BK_SIZE)->setText(QStringLiteral("5"));
  auto* channel = page.Item<QLineEdit>(IDC_BK_CHANNEL);
  channel->setText(QStringLiteral("3"));
  page.SetFolder(folder);
  emit channel->textEdited(channel->text());
  EXPECT_EQ(page.Item<QLineEdit>(IDC_BK_PATH)->text().toStdString(), reason);
  fake_.ClearRequests();
  page.Command(IDC_BK_START);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{reason});
  EXPECT_EQ(fake_.RequestCount(), 0u);
  // A folder that fits gives its file name again.
  page.SetFolder(dir_.path());
  emit channel->textEdited(channel->text());
  EXPECT_EQ(page.Item<QLineEdit>(IDC_BK_PATH)->text().toStdString(), dir_ / "CH03_0001.dvr");
}

TEST_F(RecordingsTest, SizeBoxKeepsDigitsWithinBounds) {
  MySystemDialog sheet;
  DownloadFilePage& page = Open(sheet, sheet.m_NetworkBackupPage);
  auto* size = page.Item<QLineEdit>(IDC_BK_SIZE);
  for (auto [typed, shown] : std::vector<std::pair<const char*, const char*>>{{"600", "500"}, {"12a", "12"}, {"abc", "abc"}}) {
    size->setText(QString::fromLatin1(typed));
    emit size->textEdited(size->text());
    EXPECT_EQ(size->text().toStdString(), shown) << typed;
  }
}

TEST_F(RecordingsTest, DownloadThroughThePageWritesTheRecordersBytes) {
  MessageBoxRecorder boxes;
  fake::BackupSettings s;
  s.totalBytes = 100000;
  s.chunkSize = 1000;
  fake_.SetBackup(s);
  MySystemDialog sheet;
  DownloadFilePage& page = Open(sheet, sheet.m_NetworkBackupPage);
  page.SetFolder(dir_.path());
  auto* channel = page.Item<QLineEdit>(IDC_BK_CHANNEL);
  channel->setText(QStringLiteral("3"));
  emit channel->textEdited(channel->text());
  EXPECT_EQ(page.Item<QLineEdit>(IDC_BK_PATH)->text().toStdString(), dir_ / "CH03_0001.dvr");
  std::string status;
  WhenModal([&](QWidget* w) {
    auto* dialog = qobject_cast<CDownloadProgressDlg*>(w);
    ASSERT_NE(dialog, nullptr);
    auto* poll = new QTimer(dialog);
    QObject::connect(poll, &QTimer::timeout, [dialog, &status] {
      if (!dialog->Status().empty()) {
        status = dialog->Status();
        dialog->Command(IDC_BKDLG_CANCEL);
      }
    });
    poll->start(5);
  });
  page.Command(IDC_BK_START);
  EXPECT_TRUE(WaitUntil([&] { return !page.BackupRunning(); }, 30000, PumpEvents));
  EXPECT_EQ(status, "Download process is finished");
  EXPECT_TRUE(boxes.Texts().empty());
  const auto requests = fake_.Requests();
  ASSERT_FALSE(requests.empty());
  const auto& r = requests.back();
  EXPECT_EQ(r.path, "/NetworkBk.cgi");
  EXPECT_EQ(r.query.at("CH"), "2");
  EXPECT_EQ(r.query.at("Num"), "0");  // MASTER1
  const std::string query = r.target().substr(r.target().find('?') + 1);
  const std::string file = TempDir::Read(dir_ / "CH03_0001.dvr");
  EXPECT_EQ(file.size(), 100000u);
  EXPECT_TRUE(file == fake::FakeRecorder::BackupBytes(query, 100000));
  EXPECT_EQ(page.Item<QLineEdit>(IDC_BK_PATH)->text().toStdString(), dir_ / "CH03_0002.dvr");
  EXPECT_EQ(CountOf("/CancelNB.cgi"), 0u);  // finished: nothing to cancel
}

TEST_F(RecordingsTest, PlayerAcksCountOnlyFromTheLinkedPlayer) {
  MySystemDialog sheet;
  DownloadFilePage& page = sheet.m_NetworkBackupPage;
  CDownloadProgressDlg dialog(nullptr, page);
  player::PlayerLinkBlock& link = app_->PlayerLink;
  link.h_PlayerWnd = 77;
  struct Case {
    plat::WPARAM kb;
    plat::LPARAM from;
    int ready;
    std::uint32_t buffer;
  };
  for (const Case& c : {Case{5, 78, 0, 0}, Case{0, 77, 1, 102400}, Case{300, 77, 1, 307200}}) {
    dialog.SendMessage(msg::WM_PLAYERACK, c.kb, c.from);
    EXPECT_EQ(link.f_PlayerReady.load(), c.ready);
    EXPECT_EQ(link.dw_PlayerBufferBytes.load(), c.buffer);
  }
  dialog.SendMessage(msg::WM_PLAYERSTOP, 1, 2);
  EXPECT_EQ(link.f_PlayerStopped.load(), 1);
  link.h_PlayerWnd = 0;
}

TEST_F(RecordingsTest, CancelDuringADownloadAsksTheRecorderToStopByFirmware) {
  for (auto [firmware, cancels] : std::vector<std::pair<const char*, std::size_t>>{{"1042", 0}, {"1043", 1}}) {
    SCOPED_TRACE(firmware);
    app_->SetFWVersion(firmware);
    fake::BackupSettings s;
    s.stallAfterChunks = 1;
    fake_.SetBackup(s);
    fake_.ClearRequests();
    MessageBoxRecorder boxes;
    MySystemDialog sheet;
    DownloadFilePage& page = Open(sheet, sheet.m_NetworkBackupPage);
    page.SetFolder(dir_.path());
    WhenModal([this](QWidget* w) {
      auto* dialog = qobject_cast<CDownloadProgressDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      auto* poll = new QTimer(dialog);
      QObject::connect(poll, &QTimer::timeout, [this, dialog] {
        if (fake_.RunningBackups() > 0) dialog->Command(IDC_BKDLG_CANCEL);
      });
      poll->start(5);
    });
    page.Command(IDC_BK_START);
    EXPECT_TRUE(WaitUntil([&] { return !page.BackupRunning(); }, 30000, PumpEvents));
    EXPECT_EQ(CountOf("/CancelNB.cgi"), cancels);
  }
}

// The page's choices for a download of one megabyte of channel 1 into `file`.
void ChooseBackup(DownloadFilePage& page, const std::string& file) {
  page.m_strFilePath = file;
  page.m_nBackupSize = 1;
  page.m_nChannel = 1;
  page.m_timeDate = QDate(2007, 1, 22);
  page.m_timeTime = QTime(8, 0, 0);
}

// The sheet's progress painter, held: it takes the first job and keeps the block busy until
// released, so the next writer waits in a wait that no cancellation ends.
class HeldProgressPainter {
 public:
  HeldProgressPainter() : block_(std::make_shared<ProgressJobBlock>()) {
    SetProgressJobBlock(block_);
    thread_ = std::thread([this] {
      int job = 0, value = 0;
      while (block_->Take(job, value)) {
        std::unique_lock<std::mutex> lock(mutex_);
        took_ = true;
        cv_.wait(lock, [this] { return released_; });
        lock.unlock();
        block_->Done();
      }
    });
  }
  ~HeldProgressPainter() {
    Release();
    block_->Close();
    thread_.join();
    SetProgressJobBlock(nullptr);
  }
  bool Took() {
    std::lock_guard<std::mutex> lock(mutex_);
    return took_;
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      released_ = true;
    }
    cv_.notify_all();
  }

 private:
  std::shared_ptr<ProgressJobBlock> block_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool took_ = false;
  bool released_ = false;
  std::thread thread_;
};

// The dialog goes while its download thread cannot end (it waits for a held painter): the
// bounded stop gives up on the thread, which keeps what it uses and finishes with it later
// without touching the dialog; the stop is traced and the thread counted as stranded.
TEST_F(RecordingsTest, ADialogGoneAfterAStopPastItsBoundLeavesTheDownloadItsRun) {
  TraceLog_Init(300, dir_.Folder());
  BackupsOf(100000);
  MySystemDialog sheet;
  DownloadFilePage& page = sheet.m_NetworkBackupPage;
  ChooseBackup(page, dir_ / "held.dvr");
  {
    HeldProgressPainter painter;
    auto dialog = std::make_unique<CDownloadProgressDlg>(nullptr, page);
    dialog->OnInitDialog();
    ASSERT_TRUE(WaitUntil([&] { return painter.Took(); }));
    StopPastItsBound(CDownloadProgressDlg::kStopBoundMs, [&] { dialog.reset(); });
    EXPECT_EQ(plat::StrandedThreadCount(), 1u);
    EXPECT_NE(TempDir::Read(dir_ / "trace.log").find("kept network backup download"), std::string::npos);
    painter.Release();
    EXPECT_TRUE(WaitUntil([] { return plat::StrandedThreadCount() == 0; }));
  }
  ProcessEvents(10);  // a late status would arrive here
  TraceLog_Close();
}

// The scripted disc library in place of the real one, its image recorder asking for the image
// file during the burn, and the file dialog of the program as the chooser.
class ImageRecorderAsking {
 public:
  explicit ImageRecorderAsking(const TempDir& dir) {
    ::setenv("TRELVIX_REGISTRY_FILE", (dir / "registry.ini").c_str(), 1);
    plat::RegSetString(kDiscApiKey, kDiscApiValue, FAKE_DISC_SCRIPT_DIR);
    // Our own reference keeps the library (and its script) loaded across the writer's loads.
    handle_ = dlopen((std::string(FAKE_DISC_SCRIPT_DIR) + "/" + kDiscApiFileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_) {
      script = reinterpret_cast<FakeDiscScript* (*)()>(dlsym(handle_, "FakeDiscScriptOf"))();
      *script = FakeDiscScript{};
      script->askRequest = DISC_REQUEST_IMAGE_PATH;
    }
    SetDiscImageFileChooser(&chooser);
  }
  ~ImageRecorderAsking() {
    SetDiscImageFileChooser(nullptr);
    if (g_lpApp) g_lpApp->C_WriteCD.ExitDiscApi();
    if (handle_) dlclose(handle_);
    ::unsetenv("TRELVIX_REGISTRY_FILE");
  }
  static QFileDialog* Shown() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* d = qobject_cast<QFileDialog*>(w);
      if (d && d->isVisible()) return d;
    }
    return nullptr;
  }
  FakeDiscScript* script = nullptr;
  DiscImageFileDialog chooser;

 private:
  void* handle_ = nullptr;
};

// Copy to CD onto the image recorder: after the download the burn asks for the image file and
// the burning thread waits for the answer. Cancel answers "no": the thread ends at once, the
// dialog does not wait for its bound, and the question's dialog closes.
TEST_F(RecordingsTest, CancelWhileTheBurnAsksForTheImageFileEndsTheThreadAtOnce) {
  MessageBoxRecorder boxes;
  ImageRecorderAsking disc(dir_);
  ASSERT_NE(disc.script, nullptr) << dlerror();
  BackupsOf(100000);
  MySystemDialog sheet;
  DownloadFilePage& page = sheet.m_NetworkBackupPage;
  ChooseBackup(page, dir_ / "disc.dvr");
  page.m_bCopyToCD = 1;
  CWriteCD& writer = app_->C_WriteCD;
  ASSERT_EQ(writer.InitDiscApi(page.m_strFilePath, &WriteCD_Progress_Callback), 1) << ::testing::PrintToString(boxes.Texts());
  writer.m_nSelectedDrive = 0;  // the image recorder
  writer.m_strFileName = page.m_strFilePath;
  const std::size_t threads = plat::LiveThreadCount();
  {
    CDownloadProgressDlg dialog(nullptr, page);
    // Whatever is still shown goes after a while, so that the test ends either way.
    QTimer closer;
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [] {
      if (QFileDialog* d = ImageRecorderAsking::Shown()) d->reject();
    });
    // The operator presses Cancel once the file dialog is shown.
    bool cancelled = false, atOnce = false;
    std::size_t threadsAfter = 0;
    QTimer operatorHand;
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
      if (cancelled || !ImageRecorderAsking::Shown()) return;
      cancelled = true;
      closer.start(5000);
      atOnce = ReturnsWithoutWaitingForABound(CDownloadProgressDlg::kStopBoundMs,
                                              [&] { dialog.Command(IDC_BKDLG_CANCEL); });
      threadsAfter = plat::LiveThreadCount();
    });
    operatorHand.start(5);
    dialog.OnInitDialog();
    dialog.show();
    ASSERT_TRUE(WaitUntil([&] { return cancelled; }, 10000, PumpEvents));
    operatorHand.stop();
    EXPECT_TRUE(atOnce);
    EXPECT_EQ(threadsAfter, threads);  // the burning thread had ended
    EXPECT_EQ(plat::StrandedThreadCount(), 0u);
    EXPECT_TRUE(WaitUntil([] { return ImageRecorderAsking::Shown() == nullptr; }, 3000, PumpEvents));
  }
  EXPECT_TRUE(WaitUntil([&] { return plat::LiveThreadCount() == threads; }, 10000, PumpEvents));
  EXPECT_EQ(disc.script->requestAnswer, DISC_ANSWER_IMAGE_CANCEL);  // the library was told
}

// Copy to CD through the page: Start shows the disc settings and returns at once; OK with the
// image recorder starts the download, whose burn then asks for the image file; Cancel ends
// the thread at once and the start is over.
TEST_F(RecordingsTest, CopyToCdFromThePageRunsWithoutLoopsOfItsOwnAndCancelsAtOnce) {
  MessageBoxRecorder boxes;
  ImageRecorderAsking disc(dir_);
  ASSERT_NE(disc.script, nullptr) << dlerror();
  BackupsOf(100000);
  MySystemDialog sheet;
  DownloadFilePage& page = Open(sheet, sheet.m_NetworkBackupPage);
  page.SetFolder(dir_.path());
  auto* copy = page.Item<QCheckBox>(IDC_BK_COPYCD);
  copy->click();
  ASSERT_TRUE(copy->isChecked());
  const std::size_t threads = plat::LiveThreadCount();
  page.Command(IDC_BK_START);
  ASSERT_TRUE(page.BackupRunning()) << ::testing::PrintToString(boxes.Texts());
  auto* settings = qobject_cast<CWriteCDSettingDlg*>(QApplication::activeModalWidget());
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(page.ProgressDialog(), nullptr);  // not before the disc settings are chosen
  settings->Item<QComboBox>(CWriteCDSettingDlg::kDriveId)->setCurrentIndex(0);  // the image recorder
  settings->Command(CWriteCDSettingDlg::kOkId);
  ASSERT_TRUE(WaitUntil([] { return ImageRecorderAsking::Shown() != nullptr; }, 10000, PumpEvents));
  CDownloadProgressDlg* progress = page.ProgressDialog();
  ASSERT_NE(progress, nullptr);
  EXPECT_TRUE(progress->Finished());  // the download is in; the burn waits for the answer
  EXPECT_TRUE(ReturnsWithoutWaitingForABound(CDownloadProgressDlg::kStopBoundMs,
                                             [&] { progress->Command(IDC_BKDLG_CANCEL); }));
  EXPECT_FALSE(page.BackupRunning());
  EXPECT_TRUE(WaitUntil([&] { return ImageRecorderAsking::Shown() == nullptr && plat::LiveThreadCount() == threads; },
                        5000, PumpEvents));
  EXPECT_EQ(disc.script->requestAnswer, DISC_ANSWER_IMAGE_CANCEL);
  EXPECT_EQ(TempDir::Read(dir_ / "CH01_0001.dvr").size(), 100000u);
  EXPECT_EQ(page.Item<QLineEdit>(IDC_BK_PATH)->text().toStdString(), dir_ / "CH01_0002.dvr");
}

TEST_F(RecordingsTest, PickInTheListBringsTheBackupPageForwardFilledIn) {
  MessageBoxRecorder boxes;
  fake::RecordingsSettings r;
  r.diskReply = std::string("\x05", 1) + std::string(32, '\0');  // MASTER1, MASTER2
  r.lists[2] = {fake::FakeRecorder::SearchRecord(0x02, 2007, 1, 22, 9, 30, 5),
                fake::FakeRecorder::SearchRecord(0x13, 2007, 2, 3, 10, 11, 12)};
  fake_.SetRecordings(r);
  MySystemDialog sheet;
  CEventPage& list = Open(sheet, sheet.m_SearchListPage);
  list.Item<ui::DropList>(IDC_SL_HDD)->SetCurSel(1);
  list.Item<ui::DropList>(IDC_SL_TYPE)->SetCurSel(0);
  list.Item<QLineEdit>(IDC_SL_MAX)->setText(QStringLiteral("50"));
  WhenModal([](QWidget* w) {
    auto* dialog = qobject_cast<CFullListDlg*>(w);
    ASSERT_NE(dialog, nullptr);
    auto* rows = dialog->Item<ui::ReportList>(IDC_FL_LIST);
    ASSERT_EQ(rows->GetItemCount(), 2);
    EXPECT_EQ(rows->GetItemText(1, 3).toStdString(), "2007-02-03  10:11:12");
    // Nothing selected: Download asks for an item, a double click does nothing.
    dialog->OnDownload(true);
    dialog->Command(IDC_FL_DOWNLOAD);
    rows->SelectRow(1);
    dialog->Command(IDC_FL_DOWNLOAD);
  });
  DownloadList(list);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please select an item"});
  WaitUntil([&] { return sheet.GetActivePage() == &sheet.m_NetworkBackupPage; }, 1000, PumpEvents);
  DownloadFilePage& page = sheet.m_NetworkBackupPage;
  ASSERT_EQ(sheet.GetActivePage(), &page);
  EXPECT_EQ(page.Item<QLineEdit>(IDC_BK_CHANNEL)->text().toStdString(), "4");
  EXPECT_EQ(page.Item<ui::DropList>(IDC_BK_HDD)->GetCurSel(), 1);
  EXPECT_EQ(page.Item<QDateEdit>(IDC_BK_DATE)->date(), QDate(2007, 2, 3));
  EXPECT_EQ(page.Item<QTimeEdit>(IDC_BK_TIME)->time(), QTime(10, 11, 12));
  EXPECT_FALSE(sl::g_PendingBackup.Pending());
}

TEST_F(RecordingsTest, ListDownloadErrors) {
  MessageBoxRecorder boxes;
  fake::RecordingsSettings r;
  fake_.SetRecordings(r);  // no records
  MySystemDialog sheet;
  CEventPage& list = Open(sheet, sheet.m_SearchListPage);
  list.Item<QLineEdit>(IDC_SL_MAX)->setText(QStringLiteral("20"));
  DownloadList(list);
  r.failSearchList = true;
  fake_.SetRecordings(r);
  DownloadList(list);
  auto* max = list.Item<QLineEdit>(IDC_SL_MAX);
  max->setText(QStringLiteral("5000"));
  emit max->textEdited(max->text());
  EXPECT_EQ(max->text().toStdString(), "2048");
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"NO LIST DATA", "Send command to device is failed !!"}));
}

TEST_F(RecordingsTest, ApplyKeepsTheListChoicesAndTheBackupFolder) {
  fake::RecordingsSettings r;
  r.diskReply = std::string("\x21", 1) + std::string(32, '\0');  // MASTER1, EXT-02
  fake_.SetRecordings(r);
  MySystemDialog sheet;
  CEventPage& list = Open(sheet, sheet.m_SearchListPage);
  auto* type = list.Item<ui::DropList>(IDC_SL_TYPE);
  type->SetCurSel(3);
  type->onSelChange(3);
  auto* hdd = list.Item<ui::DropList>(IDC_SL_HDD);
  hdd->SetCurSel(1);
  hdd->onSelChange(1);
  auto* max = list.Item<QLineEdit>(IDC_SL_MAX);
  max->setText(QStringLiteral("77"));
  emit max->textEdited(max->text());
  DownloadFilePage& backup = sheet.m_NetworkBackupPage;
  sheet.SetActivePage(&backup);
  SetBackupFolderPicker([this](QWidget*, std::string& folder) {
    folder = dir_.path() + "/";
    return true;
  });
  backup.Command(IDC_BK_BROWSE);
  SetBackupFolderPicker({});
  EXPECT_EQ(backup.Item<QLineEdit>(IDC_BK_PATH)->text().toStdString(), dir_ / "CH01_0001.dvr");
  sheet.OnClickApply();
  EXPECT_EQ(app_->CSettingINI.m_bySearchListType.load(), 3);
  EXPECT_EQ(app_->CSettingINI.m_wSearchListHDD.load(), 5);  // EXT-02 by its disk number
  EXPECT_EQ(app_->CSettingINI.m_wSearchListMaxNumber.load(), 77);
  EXPECT_EQ(app_->CSettingINI.m_strNetworkFileDirectory.Get(), dir_.path());
}

TEST_F(RecordingsTest, PlaybackSearchDialog) {
  struct Case {
    const char* model;
    const char* type;
    const char* disk;
    int channel;
    bool fail;
    bool closes;
    const char* expectChannel;  // "" when absent
  };
  const Case cases[] = {
      {"K42R", "EVENT SEARCH", "EXT-02", 2, false, true, "2"},
      {"K42R", "TIME SEARCH", "ALL", 0, false, false, ""},
      {"K41R", "EVENT SEARCH", "MASTER1", 0, true, false, "0"},
      {"K44R", "TIME SEARCH", "MASTER1", 0, false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + c.type + " " + c.disk);
    app_->SetProductID(c.model);
    fake::RecordingsSettings r;
    r.diskReply = std::string("\x21", 1) + std::string(32, '\0');  // MASTER1, EXT-02
    r.failPlayback = c.fail;
    fake_.SetRecordings(r);
    fake_.ClearRequests();
    CPlaybackSearchDlg dialog;
    bool closed = true;
    WhenModal([&](QWidget*) {
      if (std::string(c.model) == "K42R") {
        EXPECT_EQ(dialog.m_pChannelCombo->count(), 8);
      }
      dialog.m_pSearchTypeCombo->setCurrentText(QString::fromLatin1(c.type));
      dialog.OnSelchangeSearchType();
      EXPECT_EQ(dialog.m_pChannelCombo->isEnabled(), std::string(c.type) == "EVENT SEARCH");
      dialog.m_pHddCombo->setCurrentText(QString::fromLatin1(c.disk));
      if (dialog.m_pChannelCombo->count() > 0) dialog.m_pChannelCombo->setCurrentIndex(c.channel);
      dialog.m_pDateCtrl->setDate(QDate(2007, 1, 22));
      dialog.Command(IDC_PS_OK);
      closed = !dialog.isVisible();
      if (!closed) dialog.EndDialog(0);
    });
    dialog.DoModal();
    EXPECT_EQ(closed, c.closes);
    const auto requests = fake_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const auto& q = requests[1].query;
    EXPECT_EQ(q.at("year"), "7");
    EXPECT_EQ(q.at("hddNum"), std::string(c.disk) == "ALL" ? "ALL" : std::to_string(nb::DiskNumberOfName(c.disk)));
    EXPECT_EQ(q.count("channelNum") ? q.at("channelNum") : "", c.expectChannel);
  }
  // A disk list that cannot be read: 4065 and the dialog closes at once.
  MessageBoxRecorder boxes;
  fake::RecordingsSettings failing;
  failing.failDiskList = true;
  fake_.SetRecordings(failing);
  CPlaybackSearchDlg dialog;
  EXPECT_EQ(dialog.DoModal(), -1);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Send command to device is failed !!"});
  // Run from the main window's key it ends as cancelled: the window's own "could not be
  // created" box does not follow the one that says why.
  ModalToolDialogs tools;
  EXPECT_EQ(tools.RunPlaybackSearch(nullptr), plat::IDCANCEL);
  EXPECT_EQ(boxes.Texts().size(), 2u);
}

}  // namespace
