// Start-up and shut-down end to end with test windows.
#include "app_test_support.h"

using namespace apptest;

namespace {

class StartupTest : public AppFixture {};

TEST_F(StartupTest, WithoutControlFileTheProgramEndsWithTheMessageAndNothingLeft) {
  MessageBoxRecorder boxes;
  TestWindows windows;
  CTrelvixApp app(&windows);
  EXPECT_EQ(app.Run(), 0);

  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Open device control file is failed"});
  EXPECT_EQ(windows.loginRuns, 0u);
  EXPECT_EQ(windows.mainRuns, 0);
  EXPECT_EQ(g_lpApp, nullptr);
  EXPECT_EQ(plat::LiveThreadCount(), baseThreads_);
  EXPECT_EQ(plat::LiveHandleCount(), baseHandles_);
}

TEST_F(StartupTest, ExitStepWithoutRecordDoesNothing) {
  TestWindows windows;
  CTrelvixApp app(&windows);
  EXPECT_EQ(app.ExitInstance(), 0);
  EXPECT_EQ(g_lpApp, nullptr);
}

// What the login window's runs lead to: how often it is shown and whether the main window
// follows. Whatever the path, shut-down leaves no thread and no kernel object behind.
struct LoginCase {
  const char* name;
  std::vector<TestWindows::LoginStep> script;
  std::size_t loginRuns;
  bool mainShown;
};

class LoginPathTest : public AppFixture, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(LoginPathTest, LoginOutcomeDecidesTheMainWindowAndShutDownReleasesAll) {
  InstallControlFile();
  MessageBoxRecorder boxes;
  TestWindows windows;
  windows.script = GetParam().script;
  windows.main.onInit = [](AppRecord*) {};
  windows.main.RequestClose();  // the main window closes as soon as it runs
  CTrelvixApp app(&windows);
  EXPECT_EQ(app.Run(), 0);

  EXPECT_EQ(windows.loginRuns, GetParam().loginRuns);
  EXPECT_EQ(windows.mainRuns, GetParam().mainShown ? 1 : 0);
  // No worker thread exists while the login window runs.
  for (std::size_t n : windows.threadsDuringLogin) EXPECT_EQ(n, baseThreads_);
  EXPECT_EQ(g_lpApp, nullptr);
  EXPECT_EQ(plat::LiveThreadCount(), baseThreads_);
  EXPECT_EQ(plat::LiveHandleCount(), baseHandles_);
  EXPECT_TRUE(boxes.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LoginPathTest,
    ::testing::Values(
        LoginCase{"Cancelled", {{plat::IDCANCEL, 0}}, 1, false},
        LoginCase{"FailedThenCancelled", {{plat::IDOK, 100}, {plat::IDCANCEL, 0}}, 2, false},
        LoginCase{"FailedThenLoggedIn", {{plat::IDOK, 100}, {plat::IDOK, 30}}, 2, true},
        LoginCase{"LoggedIn20", {{plat::IDOK, 20}}, 1, true},
        LoginCase{"LoggedIn0", {{plat::IDOK, 0}}, 1, true},
        LoginCase{"TooManyUsersSkipsMainWindow", {{plat::IDOK, 102}}, 1, false}),
    [](const ::testing::TestParamInfo<LoginCase>& param) { return std::string(param.param.name); });

TEST_F(StartupTest, FullStartCreatesEveryGroupAndTheMainWindowsCloseReleasesThemOnce) {
  InstallControlFile();
  MessageBoxRecorder boxes;
  TestWindows windows;
  windows.script = {{plat::IDOK, 30}};
  std::vector<std::string> missingAtInit;
  std::size_t threadsAtInit = 0;
  std::size_t handlesAfterClose = 0;
  std::vector<std::string> leftAfterClose;
  windows.main.onInit = [&](AppRecord* app) {
    for (const auto& [name, h] : HandleMembers(app)) {
      const std::string n = name;
      const bool expectedNow = n != "h_ReLoginThread" && n != "h_UpgradeFirmwareThread" &&
                               n != "h_PlayAudioWavThread" && n != "h_AlarmWavBufferDoneEvent" &&
                               n != "h_StopAlarmWavEvent";
      if (expectedNow && h == 0) missingAtInit.push_back(n);
    }
    threadsAtInit = plat::LiveThreadCount();
    windows.main.RequestClose();
  };
  windows.main.afterClose = [&](AppRecord* app) {
    leftAfterClose = NonZeroHandles(app);
    handlesAfterClose = plat::LiveHandleCount();
    EXPECT_EQ(plat::LiveThreadCount(), baseThreads_);
  };
  CTrelvixApp app(&windows);
  EXPECT_EQ(app.Run(), 0);

  EXPECT_EQ(windows.mainRuns, 1);
  EXPECT_TRUE(missingAtInit.empty()) << ::testing::PrintToString(missingAtInit);
  // Mailbox, teardown, rebuild; watchdog, receive, compose, show; two recorders.
  EXPECT_GE(threadsAtInit, baseThreads_ + 9);
  // The window's close releases the session and process objects; the pipeline semaphores
  // and the buffers are the exit step's.
  EXPECT_EQ(leftAfterClose, (std::vector<std::string>{"h_FreePacketSem", "h_PacketReadySem",
                                                      "h_FreeDecodedSem", "JPEGImageBufferRelSem",
                                                      "h_GrabDoneSem"}));
  // The exit step ran the release routines again: they found nothing more to close.
  EXPECT_EQ(plat::LiveThreadCount(), baseThreads_);
  EXPECT_EQ(plat::LiveHandleCount(), baseHandles_);
  EXPECT_LE(baseHandles_, handlesAfterClose);

  // The login window got the settings' texts; the display's density was kept.
  EXPECT_EQ(windows.lastFields.strHostText, "127.0.0.1");
  EXPECT_EQ(windows.lastFields.strUserText, "tester");
  EXPECT_EQ(windows.lastFields.strPortText, "1");
  EXPECT_EQ(windows.lastFields.strBitRateText, "1200");
  EXPECT_TRUE(plat::FileExists(folder_ + "DebugTrace.log"));
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(StartupTest, StartValuesAndDisplayDensity) {
  InstallControlFile();
  TestWindows windows;
  windows.dpi = 144;
  windows.script = {{plat::IDOK, 30}};
  float scale = 0;
  int lifeTime = 0;
  std::uint16_t slots = 0, decodeSlots = 0;
  std::string registryKey;
  windows.main.onInit = [&](AppRecord* app) {
    scale = app->fl_DpiScale.load();
    lifeTime = app->dw_LifeTime.load();
    slots = app->w_PacketSlots.load();
    decodeSlots = app->w_DecodeSlots.load();
    windows.main.RequestClose();
  };
  CTrelvixApp app(&windows);
  app.Run();
  EXPECT_FLOAT_EQ(scale, 1.5f);
  EXPECT_EQ(lifeTime, -1);
  EXPECT_EQ(slots, 2);
  EXPECT_EQ(decodeSlots, 1);
  EXPECT_EQ(plat::GetRegistryKey(), "Ovistra web server");
  EXPECT_EQ(g_strLocalIP.Get(), "127.0.0.1");
}

TEST_F(StartupTest, ReleaseRoutinesRunTwiceDoNothingTheSecondTime) {
  MakeRecord();
  ASSERT_EQ(AllocateSystemBuffer(), 1);
  ASSERT_EQ(InitialSemaphore(), 1);
  ASSERT_EQ(InitProcessResource(), 1);
  ASSERT_EQ(InitLoginResource(), 1);
  EXPECT_TRUE(SessionObjectsExist());

  // The stream threads wait for a start event that never comes and never acknowledge the
  // stop: each is cancelled after its bound, so the whole release stays bounded.
  const std::uint64_t start = plat::GetTickCount64();
  EXPECT_EQ(ExitLoginResource(), 1);
  EXPECT_LT(plat::GetTickCount64() - start, 8000u);
  EXPECT_FALSE(SessionObjectsExist());
  const std::size_t handlesAfterLogin = plat::LiveHandleCount();
  const auto again = std::chrono::steady_clock::now();
  EXPECT_EQ(ExitLoginResource(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(200));
  EXPECT_EQ(plat::LiveHandleCount(), handlesAfterLogin);

  EXPECT_EQ(ExitProcessResource(), 1);
  const std::size_t handlesAfterProcess = plat::LiveHandleCount();
  EXPECT_EQ(plat::LiveThreadCount(), baseThreads_);
  EXPECT_EQ(ExitProcessResource(), 1);
  EXPECT_EQ(plat::LiveHandleCount(), handlesAfterProcess);

  EXPECT_EQ(FreeSemaphore(), 1);
  EXPECT_EQ(FreeSemaphore(), 1);
  EXPECT_EQ(FreeSystemBuffer(), 1);
  EXPECT_EQ(FreeSystemBuffer(), 1);
  EXPECT_TRUE(NonZeroHandles(g_lpApp).empty()) << ::testing::PrintToString(NonZeroHandles(g_lpApp));
  EXPECT_EQ(g_lpApp->lp_PacketBuffer.load(), nullptr);
  EXPECT_EQ(g_lpApp->lp_DecodedBuffer.load(), nullptr);
  EXPECT_EQ(g_lpApp->lp_PacketHeaders.load(), nullptr);
  DeleteRecord();
  EXPECT_EQ(plat::LiveHandleCount(), baseHandles_);
}

// A thread that ignores its cancellation outlives the bounded stop: the exit step then keeps
// the buffers, the semaphores and the record it may still use instead of freeing them under
// it, and frees them normally once it has gone.
TEST_F(StartupTest, AThreadThatOutlivesItsStopKeepsTheBuffersAndTheRecord) {
  AppRecord* app = MakeRecord();
  ASSERT_EQ(AllocateSystemBuffer(), 1);
  ASSERT_EQ(InitialSemaphore(), 1);
  std::atomic<bool> release{false};
  std::atomic<bool> touched{false};
  app->h_ComposeImageDataThread.store(plat::CreateThread([app, &release, &touched] {
    while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // never cancellable
    touched = app->lp_DecodedBuffer.load() != nullptr && app->h_FreeDecodedSem.load() != 0;
    return plat::DWORD{0};
  }));
  TestWindows windows;
  CTrelvixApp program(&windows);
  EXPECT_EQ(program.ExitInstance(), 0);
  EXPECT_EQ(plat::StrandedThreadCount(), 1u);
  ASSERT_EQ(g_lpApp, app);
  EXPECT_NE(app->lp_DecodedBuffer.load(), nullptr);
  EXPECT_NE(app->lp_PacketBuffer.load(), nullptr);
  EXPECT_NE(app->h_FreeDecodedSem.load(), 0u);
  EXPECT_EQ(FreeSystemBuffer(), 0);

  release = true;
  ASSERT_TRUE(WaitUntil([] { return plat::StrandedThreadCount() == 0; }));
  EXPECT_TRUE(touched.load());
  EXPECT_EQ(FreeSemaphore(), 1);
  EXPECT_EQ(FreeSystemBuffer(), 1);
  EXPECT_EQ(app->lp_DecodedBuffer.load(), nullptr);
  DeleteRecord();
}

TEST_F(StartupTest, PipelineSemaphoresHaveTheirCounts) {
  AppRecord* app = MakeRecord();
  ASSERT_EQ(AllocateSystemBuffer(), 1);
  ASSERT_EQ(InitialSemaphore(), 1);
  struct Expect {
    const char* name;
    plat::HANDLE h;
    long units;  // units that can be taken at once
    long max;    // units that can be given back from empty
  };
  const Expect expects[] = {
      {"free packet", app->h_FreePacketSem.load(), 1, 1},
      {"packet ready", app->h_PacketReadySem.load(), 0, 1},
      {"free decoded", app->h_FreeDecodedSem.load(), 1, 1},
      {"decoded ready", app->JPEGImageBufferRelSem.load(), 0, 1},
      {"grab done", app->h_GrabDoneSem.load(), 0, 1},
  };
  for (const Expect& e : expects) {
    SCOPED_TRACE(e.name);
    ASSERT_NE(e.h, 0u);
    long taken = 0;
    while (plat::WaitForSingleObject(e.h, 0) == plat::WAIT_OBJECT_0) ++taken;
    EXPECT_EQ(taken, e.units);
    long given = 0;
    while (given < 10 && plat::ReleaseSemaphore(e.h, 1)) ++given;
    EXPECT_EQ(given, e.max);
  }
  FreeSemaphore();
  FreeSystemBuffer();
  DeleteRecord();
}

TEST_F(StartupTest, SemaphoresWithoutBuffersAreRefused) {
  MakeRecord();  // slot counts still 0
  EXPECT_EQ(InitialSemaphore(), 0);
  FreeSemaphore();
  DeleteRecord();
  EXPECT_EQ(plat::LiveHandleCount(), baseHandles_);
}

}  // namespace
