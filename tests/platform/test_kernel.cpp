// Kernel objects: events, semaphores and the waits over them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/manual_clock.h"

using namespace plat;

namespace {

// Closes what a test made, so LiveHandleCount checks stay meaningful.
struct Handles {
  std::vector<HANDLE> list;
  HANDLE add(HANDLE h) {
    EXPECT_NE(h, 0u);
    list.push_back(h);
    return h;
  }
  ~Handles() {
    for (HANDLE h : list) CloseHandle(h);
  }
};

TEST(KernelEvent, AutoResetReleasesOneWaitThenResets) {
  Handles hs;
  HANDLE e = hs.add(CreateEvent(false, true));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  SetEvent(e);
  SetEvent(e);  // setting twice does not count twice
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
}

TEST(KernelEvent, ManualResetStaysUntilReset) {
  Handles hs;
  HANDLE e = hs.add(CreateEvent(true, false));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  SetEvent(e);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
  ResetEvent(e);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
}

TEST(KernelEvent, SetFromAnotherThreadWakesWait) {
  Handles hs;
  HANDLE e = hs.add(CreateEvent(false, false));
  HANDLE t = hs.add(CreateThread([e]() -> DWORD {
    Sleep(20);
    SetEvent(e);
    return 0;
  }));
  EXPECT_EQ(WaitForSingleObject(e, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
}

TEST(KernelWait, TimeoutElapses) {
  Handles hs;
  HANDLE e = hs.add(CreateEvent(false, false));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(e, 50), WAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(49));
}

TEST(KernelSemaphore, CountsAndMaximum) {
  Handles hs;
  HANDLE s = hs.add(CreateSemaphore(1, 3));
  long previous = -1;
  EXPECT_TRUE(ReleaseSemaphore(s, 2, &previous));
  EXPECT_EQ(previous, 1);
  // Count 3 of 3: any release fails and changes nothing.
  EXPECT_FALSE(ReleaseSemaphore(s, 1, &previous));
  EXPECT_EQ(previous, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_OBJECT_0) << i;
  EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_TIMEOUT);
  // A release that passes the maximum in one go fails too.
  EXPECT_FALSE(ReleaseSemaphore(s, 4));
  EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_TIMEOUT);
  EXPECT_FALSE(ReleaseSemaphore(s, 0));
}

TEST(KernelSemaphore, BadArgumentsAreRefused) {
  EXPECT_EQ(CreateSemaphore(2, 1), 0u);
  EXPECT_EQ(CreateSemaphore(-1, 1), 0u);
  EXPECT_EQ(CreateSemaphore(0, 0), 0u);
}

TEST(KernelWaitAny, LowestSignalledIndexAndOnlyThatConsumed) {
  Handles hs;
  HANDLE a = hs.add(CreateEvent(false, false));
  HANDLE b = hs.add(CreateEvent(false, true));
  HANDLE c = hs.add(CreateSemaphore(2, 2));
  HANDLE list[] = {a, b, c};
  EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE_, 0), WAIT_OBJECT_0 + 1);
  // b was consumed, c was not.
  EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE_, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE_, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE_, 0), WAIT_TIMEOUT);
  SetEvent(a);
  SetEvent(b);
  EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE_, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
}

TEST(KernelWaitAll, ConsumesAllAtOnceOrNothing) {
  Handles hs;
  HANDLE a = hs.add(CreateEvent(false, true));
  HANDLE s = hs.add(CreateSemaphore(0, 1));
  HANDLE list[] = {a, s};
  EXPECT_EQ(WaitForMultipleObjects(2, list, TRUE_, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0) << "a failed wait-all must not consume";
  SetEvent(a);
  ReleaseSemaphore(s);
  EXPECT_EQ(WaitForMultipleObjects(2, list, TRUE_, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(s, 0), WAIT_TIMEOUT);
  HANDLE twice[] = {a, a};
  EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE_, 0), WAIT_FAILED);
}

TEST(KernelWait, BadHandlesFailAtOnce) {
  HANDLE e = CreateEvent(true, true);
  ASSERT_TRUE(CloseHandle(e));
  HANDLE good = CreateEvent(true, true);
  struct Case {
    const char* name;
    std::vector<HANDLE> handles;
  } cases[] = {
      {"handle 0", {0}},
      {"closed handle", {e}},
      {"closed among good", {good, e}},
      {"zero among good", {good, 0}},
  };
  for (const auto& c : cases) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(c.handles.size()), c.handles.data(), FALSE_,
                                     INFINITE),
              WAIT_FAILED)
        << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.name;
  }
  EXPECT_EQ(WaitForSingleObject(0, INFINITE), WAIT_FAILED);
  EXPECT_EQ(WaitForMultipleObjects(0, &good, FALSE_, 0), WAIT_FAILED);
  EXPECT_FALSE(SetEvent(e));
  EXPECT_FALSE(ResetEvent(e));
  EXPECT_FALSE(ReleaseSemaphore(e));
  EXPECT_FALSE(CloseHandle(e));
  EXPECT_FALSE(CloseHandle(0));
  CloseHandle(good);
}

TEST(KernelWait, KindMismatchIsRefused) {
  Handles hs;
  HANDLE s = hs.add(CreateSemaphore(0, 1));
  HANDLE e = hs.add(CreateEvent(false, false));
  EXPECT_FALSE(SetEvent(s));
  EXPECT_FALSE(ReleaseSemaphore(e));
}

TEST(KernelWait, CloseDuringWaitIsSafe) {
  HANDLE e = CreateEvent(false, false);
  std::atomic<DWORD> result{12345};
  HANDLE t = CreateThread([e, &result]() -> DWORD {
    result = WaitForSingleObject(e, 300);
    return 0;
  });
  Sleep(50);
  EXPECT_TRUE(CloseHandle(e));
  EXPECT_FALSE(SetEvent(e));  // the handle is gone; the waiter keeps its object
  EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(result.load(), WAIT_TIMEOUT);
  CloseHandle(t);
}

TEST(KernelWait, CloseDuringWaitAnyStillWakesOnOther) {
  HANDLE closed = CreateEvent(false, false);
  HANDLE other = CreateEvent(false, false);
  std::atomic<DWORD> result{12345};
  HANDLE t = CreateThread([&]() -> DWORD {
    HANDLE list[] = {closed, other};
    result = WaitForMultipleObjects(2, list, FALSE_, 5000);
    return 0;
  });
  Sleep(30);
  CloseHandle(closed);
  SetEvent(other);
  EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(result.load(), WAIT_OBJECT_0 + 1);
  CloseHandle(t);
  CloseHandle(other);
}

TEST(KernelWait, EachSignalReleasesExactlyAsManyWaitersAsItHasUnits) {
  // Several threads wait on one object; each SetEvent of an auto-reset event lets exactly one
  // through, a release of n semaphore units exactly n.
  struct Case {
    const char* name;
    bool semaphore;
  } cases[] = {{"auto-reset event", false}, {"semaphore", true}};
  for (const auto& c : cases) {
    HANDLE h = c.semaphore ? CreateSemaphore(0, 10) : CreateEvent(false, false);
    std::atomic<int> through{0};
    std::vector<HANDLE> threads;
    for (int i = 0; i < 4; ++i) {
      threads.push_back(CreateThread([h, &through]() -> DWORD {
        if (WaitForSingleObject(h, 3000) == WAIT_OBJECT_0) ++through;
        return 0;
      }));
    }
    Sleep(30);
    if (c.semaphore) {
      ReleaseSemaphore(h, 2);
    } else {
      SetEvent(h);
    }
    Sleep(100);
    EXPECT_EQ(through.load(), c.semaphore ? 2 : 1) << c.name;
    if (c.semaphore) {
      ReleaseSemaphore(h, 2);
    } else {
      WaitUntil([&] { return through.load() >= 4; }, 2500, [h] {
        SetEvent(h);
        Sleep(5);
      });
    }
    ASSERT_EQ(WaitForMultipleObjects(4, threads.data(), TRUE_, 5000), WAIT_OBJECT_0) << c.name;
    EXPECT_EQ(through.load(), 4) << c.name;
    if (c.semaphore) {
      EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT) << "nothing left over";
    }
    for (HANDLE t : threads) CloseHandle(t);
    CloseHandle(h);
  }
}

TEST(KernelHandles, LiveCountFollowsCreateAndClose) {
  std::size_t before = LiveHandleCount();
  HANDLE e = CreateEvent(false, false);
  HANDLE s = CreateSemaphore(0, 1);
  EXPECT_NE(e, s);
  EXPECT_EQ(LiveHandleCount(), before + 2);
  CloseHandle(e);
  CloseHandle(s);
  EXPECT_EQ(LiveHandleCount(), before);
}

TEST(KernelSemaphore, ProducersAndConsumersBalance) {
  // Two-slot free/full pair as the stream uses it: nothing is lost or duplicated.
  Handles hs;
  HANDLE freeSlots = hs.add(CreateSemaphore(2, 2));
  HANDLE fullSlots = hs.add(CreateSemaphore(0, 2));
  constexpr int kItems = 2000;
  std::atomic<int> consumed{0};
  HANDLE producer = hs.add(CreateThread([&]() -> DWORD {
    for (int i = 0; i < kItems; ++i) {
      if (WaitForSingleObject(freeSlots, 5000) != WAIT_OBJECT_0) return 1;
      if (!ReleaseSemaphore(fullSlots)) return 2;
    }
    return 0;
  }));
  HANDLE consumer = hs.add(CreateThread([&]() -> DWORD {
    for (int i = 0; i < kItems; ++i) {
      if (WaitForSingleObject(fullSlots, 5000) != WAIT_OBJECT_0) return 1;
      ++consumed;
      if (!ReleaseSemaphore(freeSlots)) return 2;
    }
    return 0;
  }));
  HANDLE both[] = {producer, consumer};
  ASSERT_EQ(WaitForMultipleObjects(2, both, TRUE_, 20000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeThread(producer, &code);
  EXPECT_EQ(code, 0u);
  GetExitCodeThread(consumer, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(consumed.load(), kItems);
}

}  // namespace

// A thread blocked on objects nobody signals never wakes, however busy other objects are
// (the 1 ms timer sets its event a thousand times a second).
TEST(KernelWait, IdleWaitsDoNotWakeForOtherObjects) {
  Handles hs;
  HANDLE quit = hs.add(CreateEvent(true, false));
  HANDLE idleSem = hs.add(CreateSemaphore(0, 1));
  HANDLE busy = hs.add(CreateEvent(false, false));
  HANDLE busySem = hs.add(CreateSemaphore(0, 10));
  HANDLE ready = hs.add(CreateSemaphore(0, 3));
  std::vector<HANDLE> idle;
  idle.push_back(hs.add(CreateThread([&]() -> DWORD {
    ReleaseSemaphore(ready);
    return WaitForSingleObject(quit, INFINITE);
  })));
  idle.push_back(hs.add(CreateThread([&]() -> DWORD {
    ReleaseSemaphore(ready);
    HANDLE both[] = {idleSem, quit};
    return WaitForMultipleObjects(2, both, TRUE_, INFINITE);
  })));
  idle.push_back(hs.add(CreateThread([&]() -> DWORD {
    ReleaseSemaphore(ready);
    HANDLE any[] = {quit, idleSem};
    return WaitForMultipleObjects(2, any, FALSE_, 3600 * 1000);
  })));
  for (int i = 0; i < 3; ++i) ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
  for (int i = 0; i < 1000; ++i) {
    SetEvent(busy);
    ReleaseSemaphore(busySem);
    EXPECT_EQ(WaitForSingleObject(busySem, 0), WAIT_OBJECT_0);
  }
  for (HANDLE t : idle) EXPECT_EQ(ThreadWaitWakeups(t), 0u);
  SetEvent(quit);  // first, so the wait-any takes it and leaves the unit to the wait-all
  ReleaseSemaphore(idleSem);
  for (HANDLE t : idle) {
    ASSERT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    EXPECT_LE(ThreadWaitWakeups(t), 2u);
  }
  EXPECT_EQ(ThreadWaitWakeups(0), 0u);
}

TEST(ManualClock, AdvanceEndsTimedWaitsExactlyAtTheirDeadline) {
  ManualClock manual;
  Handles hs;
  HANDLE never = hs.add(CreateEvent(false, false));
  const std::uint64_t t0 = GetTickCount64();
  std::atomic<DWORD> waited{0};
  std::atomic<std::uint64_t> sleptUntil{0}, sleptFor{0};
  HANDLE a = hs.add(CreateThread([&]() -> DWORD {
    waited = WaitForSingleObject(never, 500);
    return 0;
  }));
  HANDLE b = hs.add(CreateThread([&]() -> DWORD {
    SleepUntil(t0 + 300);
    sleptUntil = GetTickCount64();
    return 0;
  }));
  HANDLE c = hs.add(CreateThread([&]() -> DWORD {
    Sleep(200);
    sleptFor = GetTickCount64();
    return 0;
  }));
  AwaitTimedWaits(3);
  EXPECT_EQ(GetTickCount64(), t0) << "a manual clock stands still";
  Advance(199);
  EXPECT_EQ(TimedWaitCount(), 3u);
  Advance(1);
  ASSERT_EQ(WaitForSingleObject(c, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(sleptFor.load(), t0 + 200);
  Advance(250);  // one step past a deadline ends the wait with the clock where the step left it
  ASSERT_EQ(WaitForSingleObject(b, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(sleptUntil.load(), t0 + 450);
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
  Advance(50);
  ASSERT_EQ(WaitForSingleObject(a, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(waited.load(), WAIT_TIMEOUT);
  EXPECT_EQ(TimedWaitCount(), 0u);
}

// A wait until a tick of the count ends when the clock reaches it (at once for a tick already
// reached), or earlier when its object comes first.
TEST(ManualClock, WaitUntilATickEndsAtThatTick) {
  ManualClock manual;
  Handles hs;
  HANDLE never = hs.add(CreateEvent(false, false));
  HANDLE set = hs.add(CreateEvent(false, true));
  const std::uint64_t t0 = GetTickCount64();
  EXPECT_EQ(WaitForSingleObjectUntil(never, t0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObjectUntil(set, t0), WAIT_OBJECT_0) << "the objects are checked first";
  std::atomic<DWORD> until{0}, any{0};
  std::atomic<std::uint64_t> endedAt{0};
  HANDLE a = hs.add(CreateThread([&]() -> DWORD {
    until = WaitForSingleObjectUntil(never, t0 + 70);
    endedAt = GetTickCount64();
    return 0;
  }));
  HANDLE b = hs.add(CreateThread([&]() -> DWORD {
    HANDLE both[] = {never, set};
    any = WaitForMultipleObjectsUntil(2, both, FALSE_, t0 + 1000);
    return 0;
  }));
  AwaitTimedWaits(2);
  Advance(69);
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
  SetEvent(set);
  ASSERT_EQ(WaitForSingleObject(b, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(any.load(), WAIT_OBJECT_0 + 1);
  Advance(1);
  ASSERT_EQ(WaitForSingleObject(a, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(until.load(), WAIT_TIMEOUT);
  EXPECT_EQ(endedAt.load(), t0 + 70);
  EXPECT_EQ(WaitForSingleObjectUntil(0, t0 + 100), WAIT_FAILED);
}

TEST(ManualClock, SignalsAndCancelStillWakeAndRealTimeResumes) {
  Handles hs;
  HANDLE e = hs.add(CreateEvent(false, false));
  std::uint64_t before = 0;
  HANDLE late = 0;
  {
    ManualClock manual;
    before = GetTickCount64();
    std::atomic<DWORD> got{0};
    HANDLE waiter = hs.add(CreateThread([&]() -> DWORD {
      got = WaitForSingleObject(e, 1000);
      return 0;
    }));
    HANDLE sleeper = hs.add(CreateThread([]() -> DWORD {
      Sleep(60000);
      return 0;
    }));
    AwaitTimedWaits(2);
    SetEvent(e);
    ASSERT_EQ(WaitForSingleObject(waiter, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(got.load(), WAIT_OBJECT_0);
    CancelThread(sleeper, 7);
    ASSERT_EQ(WaitForSingleObject(sleeper, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(sleeper, &code);
    EXPECT_EQ(code, 7u);
    Advance(5000);
    EXPECT_EQ(GetTickCount64(), before + 5000);
    // A timed wait begun on the manual clock runs on once the clock does.
    late = hs.add(CreateThread([&]() -> DWORD { return WaitForSingleObject(e, 30); }));
    AwaitTimedWaits(1);
  }
  EXPECT_GE(GetTickCount64(), before + 5000) << "the count never goes back";
  ASSERT_EQ(WaitForSingleObject(late, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(late, &code);
  EXPECT_EQ(code, WAIT_TIMEOUT);
  const std::uint64_t now = GetTickCount64();
  Advance(100000);  // ignored while the clock runs
  EXPECT_LT(GetTickCount64(), now + 50000);
}
