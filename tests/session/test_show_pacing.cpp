// The show thread with the pacing timer, on the manual clock: a held picture waits for one
// tick at its due time, the timer sleeps while nothing waits, and stopping the timer or
// ending the thread during a wait frees it at once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "session/MMTimer.h"
#include "session/SessionRecord.h"
#include "session/Threads.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/manual_clock.h"

using namespace plat;

namespace {

// One decoded slot, the show thread's events and the mailbox, with the show thread running
// on a paced model. The test plays the decoder (Give) and the mailbox worker (TakeDraw,
// FinishDraw).
class ShowPacingRig {
 public:
  ShowPacingRig() {
    rec_.ApplyStartValues();
    rec_.h_EndofShowImageEvent = CreateEvent(false, false);
    rec_.h_StartToShowImageEvent = CreateEvent(false, true);
    rec_.h_FinishShowImageJobEvent = CreateEvent(false, false);
    rec_.JPEGImageBufferRelSem = CreateSemaphore(0, 1);
    rec_.h_FreeDecodedSem = CreateSemaphore(1, 1);
    rec_.h_KernelMessageLockSem = CreateSemaphore(1, 1);
    rec_.h_KernelMessagePostSem = CreateSemaphore(0, 1);
    rec_.lp_DecodedBuffer = decoded_.data();
    rec_.w_DecodeSlots = 1;
    rec_.C_MMTimer.SetResolution();
    rec_.C_MMTimer.Start("K47R");
    thread_ = CreateThread([this] { return Jpeg_Show_Image_Data_Thread(&rec_); }, nullptr, "show");
  }
  ~ShowPacingRig() {
    End();
    rec_.C_MMTimer.Stop();
    for (HANDLE h : {thread_, rec_.h_EndofShowImageEvent.load(), rec_.h_StartToShowImageEvent.load(),
                     rec_.h_FinishShowImageJobEvent.load(), rec_.JPEGImageBufferRelSem.load(),
                     rec_.h_FreeDecodedSem.load(), rec_.h_KernelMessageLockSem.load(),
                     rec_.h_KernelMessagePostSem.load()})
      CloseHandle(h);
  }
  ShowPacingRig(const ShowPacingRig&) = delete;
  ShowPacingRig& operator=(const ShowPacingRig&) = delete;

  // Hands over a decoded picture with its interval.
  void Give(std::int32_t interval) {
    rec_.dw_FrameInterval[0] = interval;
    ASSERT_EQ(ReleaseSemaphore(rec_.JPEGImageBufferRelSem.load(), 1), TRUE_);
  }
  // True when the show thread has posted a draw (taken from the mailbox).
  bool DrawPosted() { return WaitForSingleObject(rec_.h_KernelMessagePostSem.load(), 0) == WAIT_OBJECT_0; }
  bool TakeDraw() { return WaitUntil([this] { return DrawPosted(); }); }
  void FinishDraw() {
    ReleaseSemaphore(rec_.h_KernelMessageLockSem.load(), 1);
    SetEvent(rec_.h_FinishShowImageJobEvent.load());
  }
  // Ends the show thread; true when it ended without the clock moving.
  bool End() {
    if (ended_) return true;
    ended_ = true;
    SetEvent(rec_.h_EndofShowImageEvent.load());
    return WaitUntil([this] { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; });
  }

  CMMTimer& Timer() { return rec_.C_MMTimer; }
  HANDLE Thread() const { return thread_; }

 private:
  SessionRecord rec_;
  std::vector<std::uint8_t> decoded_ = std::vector<std::uint8_t>(kPictureBufferSize);
  HANDLE thread_ = 0;
  bool ended_ = false;
};

// Moves the manual clock in 1 ms steps, letting woken threads run between the steps.
void StepClock(int ms) {
  for (int i = 0; i < ms; ++i) {
    Advance(1);
    std::this_thread::yield();
  }
}

}  // namespace

// Each held picture is shown when the clock reaches last show + interval, not a millisecond
// before, after one wake-up of the show thread; a picture already due passes at once.
TEST(ShowPacing, HeldPictureIsShownExactlyAtItsDueTime) {
  ManualClock manual;
  ShowPacingRig rig;
  const std::uint64_t t0 = GetTickCount64();
  struct Step {
    std::int32_t interval;
    std::uint64_t due;  // after t0
  } steps[] = {{40, 40}, {25, 65}, {199, 264}};
  for (const Step& s : steps) {
    rig.Give(s.interval);
    // The show thread's 200 ms wait for the tick and the timer's sleep to the due time.
    AwaitTimedWaits(2);
    const std::uint64_t wakeups = ThreadWaitWakeups(rig.Thread());
    StepClock(static_cast<int>(t0 + s.due - 1 - GetTickCount64()));
    EXPECT_FALSE(rig.DrawPosted()) << s.interval;
    EXPECT_EQ(TimedWaitCount(), 2u) << s.interval;
    Advance(1);
    ASSERT_TRUE(rig.TakeDraw()) << s.interval;
    EXPECT_EQ(GetTickCount64(), t0 + s.due);
    EXPECT_EQ(ThreadWaitWakeups(rig.Thread()) - wakeups, 1u) << "the wait ends once, at its time";
    rig.FinishDraw();
  }
  // Late: shown as soon as it comes, with no timed wait.
  Advance(100);
  rig.Give(40);
  ASSERT_TRUE(rig.TakeDraw());
  EXPECT_EQ(GetTickCount64(), t0 + 364);
  rig.FinishDraw();
  // Intervals outside 1..199 are not paced.
  for (std::int32_t interval : {0, 200, -3}) {
    rig.Give(interval);
    ASSERT_TRUE(rig.TakeDraw()) << interval;
    rig.FinishDraw();
  }
  EXPECT_EQ(GetTickCount64(), t0 + 364);
}

// Nothing armed, the timer thread sleeps without a time limit: no timed wait, no wake-up,
// before the first picture and after the last one, however far the clock moves.
TEST(ShowPacing, TimerDoesNotTickWhileNoPictureWaits) {
  ManualClock manual;
  ShowPacingRig rig;
  const HANDLE timerThread = rig.Timer().m_uTimerId.load();
  ASSERT_NE(timerThread, 0u);
  StepClock(50);
  EXPECT_EQ(TimedWaitCount(), 0u);
  EXPECT_EQ(ThreadWaitWakeups(timerThread), 0u);

  rig.Give(30);
  AwaitTimedWaits(2);
  StepClock(30);
  ASSERT_TRUE(rig.TakeDraw());
  rig.FinishDraw();
  ASSERT_TRUE(WaitUntil([] { return TimedWaitCount() == 0; }));
  const std::uint64_t afterShow = ThreadWaitWakeups(timerThread);
  StepClock(300);
  EXPECT_EQ(TimedWaitCount(), 0u);
  EXPECT_EQ(ThreadWaitWakeups(timerThread), afterShow);
}

// Stopping the timer while a picture waits lets it through at once, and the following ones
// unpaced; ending the show thread while a picture waits ends it at once. The clock stays put.
TEST(ShowPacing, StopOrEndDuringAWaitFreesTheShowThread) {
  ManualClock manual;
  const std::uint64_t t0 = GetTickCount64();
  {
    ShowPacingRig rig;
    rig.Give(120);
    AwaitTimedWaits(2);
    rig.Timer().Stop();
    ASSERT_TRUE(rig.TakeDraw());
    rig.FinishDraw();
    rig.Give(120);
    ASSERT_TRUE(rig.TakeDraw());
    rig.FinishDraw();
  }
  {
    ShowPacingRig rig;
    rig.Give(120);
    AwaitTimedWaits(2);
    EXPECT_TRUE(rig.End());
    EXPECT_FALSE(rig.DrawPosted());
  }
  EXPECT_EQ(GetTickCount64(), t0);
}

// The timer's answers: a tick at the armed time (at once for a time already reached), 1 after
// 200 ms of silence, 2 for the caller's end event, -1 when stopped during the wait.
TEST(ShowPacing, TimerWaitAnswers) {
  ManualClock manual;
  CMMTimer timer;
  timer.Start("K47R");
  const HANDLE end = CreateEvent(false, false);
  EXPECT_EQ(timer.Arm(GetTickCount64()), 1);
  EXPECT_EQ(timer.Wait(), 0);

  std::atomic<int> answer{99};
  auto waitOn = [&](HANDLE endEvent) {
    answer = 99;
    return std::thread([&timer, &answer, endEvent] { answer = timer.Wait(endEvent); });
  };
  {
    timer.Arm(GetTickCount64() + 50);
    std::thread t = waitOn(0);
    AwaitTimedWaits(2);
    Advance(49);
    EXPECT_EQ(answer.load(), 99);
    Advance(1);
    t.join();
    EXPECT_EQ(answer.load(), 0);
  }
  {
    // Re-armed later before its time: the earlier tick is dropped.
    timer.Arm(GetTickCount64() + 10);
    timer.Arm(GetTickCount64() + 30);
    std::thread t = waitOn(0);
    AwaitTimedWaits(2);
    StepClock(29);
    EXPECT_EQ(answer.load(), 99);
    Advance(1);
    t.join();
    EXPECT_EQ(answer.load(), 0);
  }
  {
    std::thread t = waitOn(0);
    AwaitTimedWaits(1);
    Advance(200);
    t.join();
    EXPECT_EQ(answer.load(), 1);
  }
  {
    std::thread t = waitOn(end);
    AwaitTimedWaits(1);
    SetEvent(end);
    t.join();
    EXPECT_EQ(answer.load(), 2);
  }
  {
    timer.Arm(GetTickCount64() + 150);
    std::thread t = waitOn(end);
    AwaitTimedWaits(2);
    timer.Stop();
    t.join();
    EXPECT_EQ(answer.load(), -1);
  }
  EXPECT_EQ(timer.Arm(GetTickCount64()), 0);
  EXPECT_EQ(timer.Wait(), -1);
  CloseHandle(end);
}
