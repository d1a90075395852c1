// The kernel-message mailbox, the teardown and rebuild workers, the life-time watchdog and
// the player launch.
#include "app_test_support.h"
#include "engine/MailboxInternal.h"

using namespace apptest;

namespace {

constexpr plat::DWORD kPostBoundMs = 20000;
// Requests below are answered (or refused at once): a long bound costs nothing when all is well
// and keeps a loaded machine from turning a slow answer into a failure.
constexpr plat::DWORD kReplyBoundMs = 200000;

class MailboxTest : public AppFixture {
 protected:
  // Record, buffers, semaphores, process objects and (optionally) session objects.
  AppRecord* StartGroups(bool session) {
    AppRecord* app = MakeRecord();
    EXPECT_EQ(AllocateSystemBuffer(), 1);
    EXPECT_EQ(InitialSemaphore(), 1);
    EXPECT_EQ(InitProcessResource(), 1);
    if (session) {
      EXPECT_EQ(InitLoginResource(), 1);
    }
    window_.Register(app);
    app->C_SideButtonBar.store(&buttons_);
    return app;
  }

  void StopGroups() {
    AppRecord* app = g_lpApp;
    ExitLoginResource();
    ExitProcessResource();
    FreeSystemBuffer();
    FreeSemaphore();
    window_.Unregister(app);
    app->C_SideButtonBar.store(nullptr);
    DeleteRecord();
    EXPECT_EQ(plat::LiveThreadCount(), baseThreads_);
    EXPECT_EQ(plat::LiveHandleCount(), baseHandles_);
  }

  // Once a later post gets through, every earlier message has been handled.
  void Drain() { ASSERT_TRUE(PostKernelMessage(99, 0, kPostBoundMs)); }

  TestMainWindow window_;
  TestSideButtons buttons_;
};

TEST_F(MailboxTest, DrawCodeCallsTheDisplayOnTheMailboxThreadAndOtherCodesAreDropped) {
  AppRecord* app = StartGroups(false);
  app->f_VideoRunning.store(1);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(PostKernelMessage(Draw_Image_Message, 0, kPostBoundMs));
  ASSERT_TRUE(PostKernelMessage(12345, 0, kPostBoundMs));  // no such code
  Drain();
  EXPECT_EQ(window_.pictures.load(), 3);
  EXPECT_EQ(window_.drawThread.load(), app->dw_Process_KernelMessageThreadId.load());
  EXPECT_NE(window_.drawThread.load(), plat::GetCurrentThreadId());
  StopGroups();
}

TEST_F(MailboxTest, ExitCodeEndsTheWorkerAndKeepsTheMailboxTaken) {
  AppRecord* app = StartGroups(false);
  ASSERT_TRUE(PostKernelMessage(Exit_Kernel_Message, 0, kPostBoundMs));
  EXPECT_EQ(plat::WaitForSingleObject(app->h_Process_KernelMessageThread.load(), 5000),
            plat::WAIT_OBJECT_0);
  EXPECT_FALSE(PostKernelMessage(Draw_Image_Message, 0, 0));
  EXPECT_EQ(window_.pictures.load(), 0);
  StopGroups();
}

TEST_F(MailboxTest, PostingToAMissingMailboxFails) {
  MakeRecord();
  EXPECT_FALSE(PostKernelMessage(Draw_Image_Message, 0, 0));
  DeleteRecord();
}

TEST_F(MailboxTest, ADisplayThatNeverReturnsIsStoppedWithinTheShutDownBound) {
  std::atomic<bool> drawing{false};
  window_.onShowImage = [&] {
    drawing = true;
    plat::Sleep(plat::INFINITE);  // stuck, but in a cancellable wait
  };
  AppRecord* app = StartGroups(false);
  app->f_VideoRunning.store(1);
  ASSERT_TRUE(PostKernelMessage(Draw_Image_Message, 0, kPostBoundMs));
  ASSERT_TRUE(WaitUntil([&] { return drawing.load(); }));

  // The exit code cannot be posted while the display holds the mailbox: the post gives up
  // after its bound and the worker is cancelled.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ExitProcessResource(), 1);
  const auto realMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start).count();
  const auto boundMs = static_cast<long long>(kExitPostWaitMs / plat::GetTimeScale()) + 3000;
  EXPECT_LT(realMs, boundMs);
  EXPECT_EQ(app->h_Process_KernelMessageThread.load(), 0u);
  EXPECT_EQ(window_.pictures.load(), 0);  // the cancelled draw did not finish
  StopGroups();
}

TEST_F(MailboxTest, StreamFailureTearsTheSessionDownAndStartsOneReLoginThreadAtATime) {
  AppRecord* app = StartGroups(true);
  app->f_VideoRunning.store(1);
  app->dw_LifeTime.store(5);

  ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, kPostBoundMs));
  Drain();
  EXPECT_FALSE(SessionObjectsExist());
  EXPECT_EQ(app->h_FreePacketSem.load(), 0u);
  EXPECT_EQ(app->JPEGImageBufferRelSem.load(), 0u);
  EXPECT_EQ(app->f_VideoRunning.load(), 0);
  EXPECT_EQ(app->dw_LifeTime.load(), -1);
  const plat::HANDLE first = app->h_ReLoginThread.load();
  EXPECT_NE(first, 0u);
  {
    std::lock_guard<std::mutex> lock(buttons_.mutex);
    EXPECT_EQ(buttons_.calls, (std::vector<std::pair<unsigned, unsigned>>{{1, 1}}));
  }
  EXPECT_GE(window_.onlineCleared.load(), 1);
  EXPECT_GE(window_.alarmCleared.load(), 1);
  EXPECT_NE(ReadText(folder_ + "trace.log").find("case Get_Image_TimeOut_Message\r\n"),
            std::string::npos);

  // A second failure ends the running re-login thread before starting the next.
  const std::size_t threads = plat::LiveThreadCount();
  ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, kPostBoundMs));
  Drain();
  EXPECT_NE(app->h_ReLoginThread.load(), 0u);
  EXPECT_NE(app->h_ReLoginThread.load(), first);
  EXPECT_LE(plat::LiveThreadCount(), threads);

  StopGroups();  // also ends the re-login thread
}

TEST_F(MailboxTest, AReLoginThatCannotStartLeavesTheWorkerToTryAgain) {
  AppRecord* app = StartGroups(true);
  SetProcessClosing(true);  // no re-login thread can start now
  ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, kPostBoundMs));
  Drain();  // the mailbox was given back and the worker still takes codes
  EXPECT_EQ(app->h_ReLoginThread.load(), 0u);
  EXPECT_FALSE(SessionObjectsExist());

  SetProcessClosing(false);
  ASSERT_TRUE(PostKernelMessage(Get_Image_TimeOut_Message, 0, kPostBoundMs));
  Drain();
  EXPECT_NE(app->h_ReLoginThread.load(), 0u);
  StopGroups();
}

TEST_F(MailboxTest, TeardownAndRebuildAnswerTheirRequests) {
  AppRecord* app = StartGroups(true);
  app->w_PacketReadIndex.store(1);

  EXPECT_TRUE(RequestSessionTeardown(kReplyBoundMs));
  EXPECT_FALSE(SessionObjectsExist());
  EXPECT_EQ(app->h_FreePacketSem.load(), 0u);

  EXPECT_TRUE(RequestSessionRebuild(kReplyBoundMs));
  EXPECT_TRUE(SessionObjectsExist());
  EXPECT_NE(app->h_GetJpegImageThread.load(), 0u);
  EXPECT_NE(app->h_FreePacketSem.load(), 0u);
  EXPECT_EQ(app->w_PacketReadIndex.load(), 0);

  // A rebuild without a teardown before it replaces the session threads instead of adding.
  const std::size_t threads = plat::LiveThreadCount();
  EXPECT_TRUE(RequestSessionRebuild(kReplyBoundMs));
  EXPECT_EQ(plat::LiveThreadCount(), threads);

  // A rebuild that cannot make the pipeline answers its request with a failure, leaves
  // nothing half-built, and the worker serves the next request.
  app->w_PacketSlots.store(0);
  EXPECT_FALSE(RequestSessionRebuild(kReplyBoundMs));
  {
    std::lock_guard<std::mutex> lock(g_rebuildHandshake.mutex);
    EXPECT_EQ(g_rebuildHandshake.answered, g_rebuildHandshake.requested) << "answered, not timed out";
  }
  EXPECT_FALSE(SessionObjectsExist());
  EXPECT_EQ(app->h_FreeDecodedSem.load(), 0u);
  app->w_PacketSlots.store(static_cast<plat::WORD>(kPacketSlotCount));
  EXPECT_TRUE(RequestSessionRebuild(kReplyBoundMs));
  EXPECT_TRUE(SessionObjectsExist());

  // While the process objects are released no rebuild is answered with success.
  SetProcessClosing(true);
  EXPECT_FALSE(RequestSessionRebuild(kReplyBoundMs));
  SetProcessClosing(false);

  StopGroups();
}

TEST_F(MailboxTest, TwoTeardownRequestersAtOnceAreBothAnswered) {
  StartGroups(true);
  std::atomic<int> answered{0};
  std::thread other([&] { answered += RequestSessionTeardown(kReplyBoundMs) ? 1 : 0; });
  answered += RequestSessionTeardown(kReplyBoundMs) ? 1 : 0;
  other.join();
  EXPECT_EQ(answered.load(), 2);
  EXPECT_FALSE(SessionObjectsExist());
  StopGroups();
}

// The main window's close releases the session objects itself while a reconnection may be
// asking the teardown worker for the same (and the pipeline semaphores with them): one lock
// orders the two, both return, and every object is released once (after a rebuild the
// counts are where they started).
TEST_F(MailboxTest, MainWindowCloseAndAReconnectionTeardownAtOnce) {
  AppRecord* app = StartGroups(true);
  const std::size_t handlesWithSession = plat::LiveHandleCount();
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    std::atomic<bool> answered{false};
    std::thread reconnect([&] { answered = RequestSessionTeardown(kTeardownReplyWaitMs); });
    if (round % 2 == 1) plat::Sleep(1);
    EXPECT_EQ(ExitLoginResource(), 1);
    reconnect.join();
    EXPECT_TRUE(answered.load());
    EXPECT_FALSE(SessionObjectsExist());
    EXPECT_EQ(app->h_ShowImageDataThread.load(), 0u);
    EXPECT_EQ(app->h_FreePacketSem.load(), 0u);  // the teardown worker's part
    // Build the session again as the rebuild worker does.
    ASSERT_EQ(InitialSemaphore(), 1);
    ASSERT_EQ(InitLoginResource(), 1);
    EXPECT_EQ(plat::LiveHandleCount(), handlesWithSession);
  }
  StopGroups();
}

TEST_F(MailboxTest, RequestsWithoutWorkersFailAtOnce) {
  MakeRecord();
  EXPECT_FALSE(RequestSessionTeardown(kTeardownReplyWaitMs));
  EXPECT_FALSE(RequestSessionRebuild(kRebuildReplyWaitMs));
  DeleteRecord();
}

// The account life time, end to end: the main window releases the watchdog with the life
// time the device information gave; when it runs out the window is closed.
struct LifeTimeCase {
  const char* name;
  std::int32_t lifeTimeMinutes;
  bool closes;
  std::uint64_t minMs;  // product time from the start event to the close
  std::uint64_t maxMs;
};

class LifeTimeTest : public AppFixture, public ::testing::WithParamInterface<LifeTimeCase> {};

TEST_P(LifeTimeTest, WatchdogClosesTheMainWindowOnlyWhenTheLifeTimeIsUp) {
  const LifeTimeCase& c = GetParam();
  // The watchdog counts one-second ticks, so each tick's own cost adds up over a minute:
  // the slower sanitizer builds run the clock less fast to keep that cost small.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  constexpr double kScale = 20.0;
#else
  constexpr double kScale = 50.0;
#endif
  plat::SetTimeScale(kScale);
  InstallControlFile();
  TestWindows windows;
  windows.script = {{plat::IDOK, 30}};
  // 80 s of product time for no limit.
  windows.mainTimeoutMs = c.closes ? 20000 : static_cast<int>(80000 / kScale);
  std::uint64_t started = 0;
  std::int32_t elapsedSeconds = -1;
  windows.main.onInit = [&](AppRecord* app) {
    app->dw_LifeTime.store(c.lifeTimeMinutes);
    started = plat::GetTickCount64();
    plat::SetEvent(app->h_StartLifeTimeEvent.load());
  };
  windows.main.afterClose = [&](AppRecord* app) {
    elapsedSeconds = app->dw_LifeTimeElapsed.load();
  };
  CTrelvixApp app(&windows);
  app.Run();

  EXPECT_EQ(windows.main.Received(msg::WM_CLOSEMAIN), c.closes);
  EXPECT_EQ(windows.main.closedByTimeout, !c.closes);
  const auto texts = windows.main.StatusTexts();
  const bool upShown = std::find(texts.begin(), texts.end(),
                                 "Life time is Up.Application shutdown later") != texts.end();
  EXPECT_EQ(upShown, c.closes);
  if (c.closes) {
    // Never before the life time is up. Each one-second tick adds its own run time on top, and
    // that is stretched by the scale: a busy machine only makes the close later, so the upper
    // bound is loose and the counted seconds are the exact check.
    EXPECT_GE(windows.main.closeTick - started, c.minMs);
    EXPECT_LE(windows.main.closeTick - started, c.maxMs);
    EXPECT_GE(windows.main.onlineCleared.load(), 1);
    // The count starts at 1 and is checked after each tick: a zero life time ends at 2.
    EXPECT_EQ(elapsedSeconds, c.lifeTimeMinutes == 0 ? 2 : c.lifeTimeMinutes * 60);
  } else {
    EXPECT_EQ(elapsedSeconds, 0);  // never counted
  }
  EXPECT_EQ(plat::LiveThreadCount(), baseThreads_);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LifeTimeTest,
    ::testing::Values(
        // 1 s pause, 1 s tick, up to 5 s for the stream's acknowledgement, 1 s before closing.
        LifeTimeCase{"ZeroExpiresAtTheFirstTick", 0, true, 2000, 30000},
        LifeTimeCase{"OneMinute", 1, true, 61000, 120000},
        LifeTimeCase{"NoLimit", -1, false, 0, 0},
        LifeTimeCase{"OtherNegativeIsNoLimitToo", -5, false, 0, 0}),
    [](const ::testing::TestParamInfo<LifeTimeCase>& param) { return std::string(param.param.name); });

// The player program beside the executable.
struct PlayerCase {
  const char* name;
  const char* fileName;  // nullptr: no player
  bool executable;
  bool starts;
};

class PlayerTest : public MailboxTest, public ::testing::WithParamInterface<PlayerCase> {};

TEST_P(PlayerTest, RunPlayerCodeStartsThePlayerWithThePathOrShowsTheFailure) {
  const PlayerCase& c = GetParam();
  std::string player;
  if (c.fileName) {
    player = folder_ + c.fileName;
    WriteText(player, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
    ::chmod(player.c_str(), c.executable ? 0755 : 0644);
  }
  MessageBoxRecorder boxes;
  StartGroups(false);
  const std::string recording = folder_ + "CH01 0001.dvr";  // a blank stays inside one argument
  ASSERT_TRUE(PostKernelMessage(Run_Player_Message, reinterpret_cast<std::uintptr_t>(recording.c_str()),
                                kPostBoundMs));
  Drain();
  if (c.starts) {
    EXPECT_TRUE(boxes.Texts().empty());
    ASSERT_TRUE(WaitUntil([&] { return ReadText(player + ".args").find("CONVERT=0\n") != std::string::npos; }));
    EXPECT_EQ(ReadText(player + ".args"), recording + "\nCONVERT=0\n");
  } else {
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Execuate player is failed"});
  }
  StopGroups();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayerTest,
    ::testing::Values(PlayerCase{"Capitalised", "Parvilo", true, true},
                      PlayerCase{"LowerCase", "parvilo", true, true},
                      PlayerCase{"NotExecutable", "Parvilo", false, false},
                      PlayerCase{"Missing", nullptr, false, false}),
    [](const ::testing::TestParamInfo<PlayerCase>& param) { return std::string(param.param.name); });

}  // namespace
