// The network backup with "Dynamic Download" and the stand-in player program: the start, the
// frames the player gets, the growing file read under the lock, a second start, a player
// that stays silent, stops or exits, and a missing player.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <fstream>
#include <sstream>

#include "config/DownloadFilePage.h"
#include "config/MySystemDialog.h"
#include "core/Messages.h"
#include "engine/AppRecord.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/net.h"
#include "session/PlayerLink.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/QtWait.h"

namespace {

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Starting(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& l : lines) {
    if (l.rfind(prefix, 0) == 0) out.push_back(l);
  }
  return out;
}

class PlayerLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetLocalIPv4Override("127.0.0.1");
    oldFolder_ = plat::ProgramFolder();
    plat::SetProgramFolder(program_.Folder());
    ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
    ::setenv("TEST_PLAYER_LOG", (program_ / "player.log").c_str(), 1);
    ::setenv("TEST_PLAYER_CHUNK", "2048", 1);
    Mode("ack:200");
    ASSERT_TRUE(fake_.Start());
    app_ = std::make_unique<AppRecord>();
    g_lpApp = app_.get();
    app_->ApplyStartValues();
    app_->fl_DpiScale = 1.0f;
    app_->SetServerName("127.0.0.1");
    app_->CSettingINI.m_wWebPort.store(fake_.Port());
    app_->CSettingINI.m_nDynamicDownload = 1;
    app_->SetProductID("K41R");
    app_->SetFWVersion("1046");
    SetSessionId(fake_.GetIdentity().sessionId);
  }
  void TearDown() override {
    for (const std::string& l : Starting(Lines(Log()), "PID ")) ::kill(std::atoi(l.c_str() + 4), SIGTERM);
    g_lpApp = nullptr;
    app_.reset();
    fake_.Stop();
    plat::SetProgramFolder(oldFolder_);
    ::unsetenv("XDG_RUNTIME_DIR");
    plat::SetLocalIPv4Override("");
  }
  void Mode(const char* mode) { ::setenv("TEST_PLAYER_MODE", mode, 1); }
  void InstallPlayer() { ASSERT_EQ(::symlink(TEST_PLAYER_PATH, (program_ / "Parvilo").c_str()), 0); }
  std::string Log() const { return program_ / "player.log"; }

  // Start on the backup page; the progress dialog is left once it shows a final status.
  std::string RunDownload(DownloadFilePage& page) {
    std::string status;
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, &status] {
      auto* dialog = qobject_cast<CDownloadProgressDlg*>(QApplication::activeModalWidget());
      if (dialog && !dialog->Status().empty()) {
        status = dialog->Status();
        timer->stop();
        timer->deleteLater();
        dialog->Command(IDC_BKDLG_CANCEL);
      }
    });
    timer->start(5);
    page.Command(IDC_BK_START);
    EXPECT_TRUE(WaitUntil([&] { return !page.BackupRunning(); }, 30000, PumpEvents));
    return status;
  }
  // The sheet's network backup page, shown and saving into the downloads folder.
  DownloadFilePage& OpenBackupPage(MySystemDialog& sheet) {
    sheet.CreateSheet(nullptr, QRect(0, 0, 1280, 1024));
    DownloadFilePage& page = sheet.m_NetworkBackupPage;
    sheet.SetActivePage(&page);
    page.SetFolder(downloads_.path());
    return page;
  }
  bool WaitForLine(const std::string& prefix, std::size_t count = 1) {
    return WaitUntil([&] { return Starting(Lines(Log()), prefix).size() >= count; }, 5000);
  }

  fake::FakeRecorder fake_;
  std::unique_ptr<AppRecord> app_;
  TempDir program_{"program"};
  TempDir runtime_{"runtime"};
  TempDir downloads_{"downloads"};
  std::string oldFolder_;
};

TEST_F(PlayerLinkTest, ALinkedPlayerFollowsTheDownloadAndASecondStartSendsOnlyThePath) {
  InstallPlayer();
  MessageBoxRecorder boxes;
  fake::BackupSettings s;
  s.totalBytes = 489 * 2048;  // whole chunks: every read must see a multiple of 2048
  s.pauseMsPerChunk = 1;  // the ack arrives while the data still comes
  fake_.SetBackup(s);
  MySystemDialog sheet;
  DownloadFilePage& page = OpenBackupPage(sheet);
  EXPECT_EQ(RunDownload(page), "Download process is finished");
  EXPECT_TRUE(boxes.Texts().empty());
  ASSERT_TRUE(WaitForLine("FRAME 1203"));
  const std::string file = downloads_ / "CH01_0001.dvr";
  auto lines = Lines(Log());
  EXPECT_EQ(Starting(lines, "ARGS"), std::vector<std::string>{"ARGS " + file + " DYNAMICLOAD=1"});
  const std::string lockName = app_->PlayerLink.sz_NetworkBkMutexName;
  EXPECT_EQ(lockName.rfind("NETWORKBK_", 0), 0u);
  const auto frames = Starting(lines, "FRAME");
  ASSERT_GE(frames.size(), 3u);
  EXPECT_EQ(frames[0], "FRAME 4a 2 0 0 " + lockName);
  EXPECT_EQ(frames[1].rfind("FRAME 1200 0 0 ", 0), 0u);
  // Data notices: each past the 200 KB buffer, then the remainder once, then END 0.
  std::uint64_t total = 0;
  int notices = 0;
  for (const auto& f : frames) {
    if (f.rfind("FRAME 1202", 0) == 0) {
      std::istringstream words(f);
      std::string frame, message, code, wParam, lParam;
      words >> frame >> message >> code >> wParam >> lParam;
      const std::uint64_t n = std::stoull(lParam, nullptr, 16);
      EXPECT_GT(n, 204800u * (total + n < 489u * 2048 ? 1u : 0u));
      total += n;
      ++notices;
    }
  }
  EXPECT_EQ(total, 489u * 2048);
  EXPECT_GE(notices, 1);
  EXPECT_LE(notices, 5);  // at most four past 204,800 bytes and the rest
  EXPECT_EQ(frames.back().rfind("FRAME 1203 0 0 ", 0), 0u);
  for (const auto& r : Starting(lines, "READ")) EXPECT_NE(r.find("WHOLE"), std::string::npos) << r;
  const std::string query = fake_.Requests().back().target().substr(fake_.Requests().back().target().find('?') + 1);
  EXPECT_TRUE(TempDir::Read(file) == fake::FakeRecorder::BackupBytes(query, 489 * 2048));

  // The same player gets only the new path; no second process.
  EXPECT_EQ(RunDownload(page), "Download process is finished");
  ASSERT_TRUE(WaitForLine("FRAME 1203", 2));
  lines = Lines(Log());
  EXPECT_EQ(Starting(lines, "ARGS").size(), 1u);
  EXPECT_EQ(Starting(lines, "FRAME 4a 1 0 0 " + (downloads_ / "CH01_0002.dvr")).size(), 1u);
  EXPECT_EQ(std::string(app_->PlayerLink.sz_NetworkBkMutexName), lockName);
}

TEST_F(PlayerLinkTest, SilentOrStoppingPlayersGetNoNotices) {
  InstallPlayer();
  for (const char* mode : {"silent", "stop"}) {
    SCOPED_TRACE(mode);
    Mode(mode);
    app_->PlayerLink.Release();
    app_->PlayerLink.f_PlayerStarted = 0;
    std::remove(Log().c_str());
    MessageBoxRecorder boxes;
    MySystemDialog sheet;
    DownloadFilePage& page = OpenBackupPage(sheet);
    if (std::string(mode) == "stop") {
      // Slow enough for the stop to arrive before the data.
      fake::BackupSettings s;
      s.pauseMsPerChunk = 2;
      fake_.SetBackup(s);
    }
    EXPECT_EQ(RunDownload(page), "Download process is finished");
    ASSERT_TRUE(WaitForLine("FRAME 1200"));
    ProcessEvents();
    const auto lines = Lines(Log());
    EXPECT_TRUE(Starting(lines, "FRAME 1202").empty());
    EXPECT_TRUE(Starting(lines, "FRAME 1203").empty());
    for (const std::string& l : Starting(lines, "PID ")) ::kill(std::atoi(l.c_str() + 4), SIGTERM);
  }
}

TEST_F(PlayerLinkTest, AClosedPlayerIsReplacedWithANewLock) {
  InstallPlayer();
  Mode("exit");
  MessageBoxRecorder boxes;
  MySystemDialog sheet;
  DownloadFilePage& page = OpenBackupPage(sheet);
  EXPECT_EQ(RunDownload(page), "Download process is finished");
  const std::string firstLock = app_->PlayerLink.sz_NetworkBkMutexName;
  const std::uint32_t firstPid = app_->PlayerLink.dw_PlayerProcessId;
  // The player has gone: its connection closes.
  ASSERT_TRUE(WaitUntil([&] { return player::ProcessOfWindow(app_->PlayerLink.h_PlayerWnd) == 0; }));
  Mode("ack:0");
  EXPECT_EQ(RunDownload(page), "Download process is finished");
  EXPECT_EQ(Starting(Lines(Log()), "ARGS").size(), 2u);
  EXPECT_NE(app_->PlayerLink.dw_PlayerProcessId.load(), firstPid);
  EXPECT_NE(std::string(app_->PlayerLink.sz_NetworkBkMutexName), firstLock);
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(PlayerLinkTest, AMissingPlayerIsReportedAndTheDownloadGoesOn) {
  MessageBoxRecorder boxes;
  MySystemDialog sheet;
  DownloadFilePage& page = OpenBackupPage(sheet);
  EXPECT_EQ(RunDownload(page), "Download process is finished");
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Execuate player is failed"});
  EXPECT_EQ(app_->PlayerLink.h_PlayerWnd.load(), 0u);
  EXPECT_EQ(TempDir::Read(downloads_ / "CH01_0001.dvr").size(), 65536u);
}

TEST(PlayerFrames, EncodeAndDecode) {
  player::Frame f;
  f.message = 0x4A;
  f.code = 1;
  f.wParam = 7;
  f.lParam = 0xF0000002u;
  f.data = {'a', 'b', 0};
  const std::string bytes = player::EncodeFrame(f);
  ASSERT_EQ(bytes.size(), 31u);
  player::Frame g;
  std::size_t used = 0;
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  EXPECT_EQ(player::DecodeFrame(p, 20, g, used), 0);
  EXPECT_EQ(player::DecodeFrame(p, bytes.size(), g, used), 1);
  EXPECT_EQ(used, 31u);
  EXPECT_EQ(g.lParam, 0xF0000002u);
  EXPECT_EQ(g.data, f.data);
  std::string big = bytes;
  big[24] = '\x01';
  big[25] = '\x04';  // 1025 bytes announced
  EXPECT_EQ(player::DecodeFrame(reinterpret_cast<const std::uint8_t*>(big.data()), big.size(), g, used), -1);
}

// A listening endpoint of this test process.
int Listen(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0) return -1;
  return fd;
}

// Whether a connection waits on a listening socket (a Unix-domain connect is queued at once).
bool ConnectionPending(int listener) {
  pollfd p{listener, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

TEST(WindowFinder, ListsEndpointsByProcessAndFilters) {
  TempDir folder("finder");
  const std::string nameA = player::EndpointName(1001), nameB = player::EndpointName(1002);
  const int a = Listen(folder / nameA);
  const int b = Listen(folder / nameB);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  TempDir::Write(folder / "notes.txt", "not an endpoint");
  const auto self = static_cast<std::uint32_t>(::getpid());
  struct Case {
    int flags;
    std::vector<std::string> excluded;
    std::size_t listed;
    bool found;
  };
  const Case cases[] = {
      {0, {}, 2, true},
      {0x01 | 0x04, {}, 2, true},       // visible, without a parent: kept
      {0x10, {nameA}, 1, true},
      {0x10, {nameA, nameB}, 0, false},
  };
  for (const Case& c : cases) {
    if (c.listed == 0) continue;  // an empty listing retries for nine seconds
    player::CWindowFinder finder;
    finder.SetFolder(folder.path());
    finder.m_nFilterFlags = c.flags;
    for (const auto& e : c.excluded) finder.AddExcludedClass(e);
    const plat::HWND w = finder.FindWindowOfProcess(self);
    EXPECT_EQ(finder.GetCount(), c.listed);
    EXPECT_EQ(w != 0, c.found);
    EXPECT_EQ(player::ProcessOfWindow(w), self);
    if (c.listed == 2) {
      EXPECT_EQ(finder.GetClassNameAt(0), nameA);
    }
    // A second search starts from an empty list; an unknown process finds nothing.
    EXPECT_EQ(finder.FindWindowOfProcess(self + 100000), 0u);
    EXPECT_EQ(finder.GetCount(), c.listed);
    player::Disconnect(w);
  }
  ::close(a);
  ::close(b);
}

// The endpoint folder is the user's runtime folder, shared with every other program of the
// user: the finder connects to players' endpoints only.
TEST(WindowFinder, OtherProgramsSocketsAreNeverConnected) {
  TempDir folder("finder-foreign");
  const int own = Listen(folder / player::EndpointName(4242));
  ASSERT_GE(own, 0);
  std::vector<int> foreign;
  for (const char* name : {"bus.sock", "parvilo.sock", "parvilo-.sock", "parvilo-12x.sock", "parvilo-012.sock",
                           "parvilo-99999999999.sock", "xparvilo-1.sock", "parvilo-7.sock.old"}) {
    foreign.push_back(Listen(folder / name));
    ASSERT_GE(foreign.back(), 0) << name;
  }
  player::CWindowFinder finder;
  finder.SetFolder(folder.path());
  const plat::HWND w = finder.FindWindowOfProcess(static_cast<std::uint32_t>(::getpid()));
  EXPECT_NE(w, 0u);
  EXPECT_EQ(finder.GetCount(), 1u);
  EXPECT_EQ(finder.GetClassNameAt(0), player::EndpointName(4242));
  EXPECT_TRUE(ConnectionPending(own));
  for (std::size_t i = 0; i < foreign.size(); ++i) EXPECT_FALSE(ConnectionPending(foreign[i])) << i;
  player::Disconnect(w);
  ::close(own);
  for (int fd : foreign) ::close(fd);
}

TEST(WindowFinder, AnEmptyListingIsRetriedThenGivenUp) {
  TempDir folder("finder-empty");
  plat::SetManualClock(true);
  const auto self = static_cast<std::uint32_t>(::getpid());
  struct Case {
    int appearsAfter;  // retries before an endpoint shows; -1 never
    bool found;
  };
  for (const Case& c : {Case{-1, false}, Case{2, true}}) {
    std::atomic<plat::HWND> result{1};
    std::atomic<bool> done{false};
    std::thread search([&] {
      player::CWindowFinder finder;
      finder.SetFolder(folder.path());
      result = finder.FindWindowOfProcess(self);
      done = true;
    });
    int listener = -1;
    int advances = 0;
    while (!done.load() && advances < 20) {
      ASSERT_TRUE(WaitUntil([&] { return done.load() || plat::TimedWaitCount() == 1; }));
      if (done.load()) break;
      if (advances == c.appearsAfter && listener < 0) listener = Listen(folder / player::EndpointName(77));
      plat::Advance(3000);
      ++advances;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(WaitUntil([&] { return done.load(); }));
    search.join();
    EXPECT_EQ(result.load() != 0, c.found);
    player::Disconnect(result.load());
    if (listener >= 0) ::close(listener);
    ::unlink((folder / player::EndpointName(77)).c_str());
  }
  plat::SetManualClock(false);
}

}  // namespace
