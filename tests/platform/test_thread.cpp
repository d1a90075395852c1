// Threads: exit codes, cancellation of waits, sleeps and blocked sockets, bounded stops.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/thread.h"

using namespace plat;
using Clock = std::chrono::steady_clock;

namespace {

// A cancel wakes the thread within 100 ms. The slack covers a busy test machine's scheduling;
// the sanitizer builds run several times slower and get more of it.
constexpr auto kWakeBound = std::chrono::milliseconds(100);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr auto kSlack = std::chrono::milliseconds(900);
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr auto kSlack = std::chrono::milliseconds(900);
#else
constexpr auto kSlack = std::chrono::milliseconds(150);
#endif
#else
constexpr auto kSlack = std::chrono::milliseconds(150);
#endif

DWORD ExitCodeOf(HANDLE t) {
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  return code;
}

TEST(Thread, ReturnValueBecomesExitCodeAndHandleSignals) {
  DWORD reportedId = 0;
  std::atomic<DWORD> seenId{0};
  HANDLE t = CreateThread([&]() -> DWORD {
    seenId = GetCurrentThreadId();
    return 7;
  }, &reportedId, "worker");
  ASSERT_NE(t, 0u);
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCodeOf(t), 7u);
  EXPECT_EQ(seenId.load(), reportedId);
  EXPECT_NE(reportedId, GetCurrentThreadId());
  // A thread handle stays signalled: every waiter sees the end.
  EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(SetThreadPriorityHighest(t));
  CloseHandle(t);
  EXPECT_FALSE(GetExitCodeThread(t, nullptr));
}

TEST(Thread, StillActiveWhileRunningAndExceptionsEndTheThread) {
  HANDLE gate = CreateEvent(true, false);
  HANDLE t = CreateThread([gate]() -> DWORD {
    WaitForSingleObject(gate, INFINITE);
    throw std::runtime_error("boom");
  });
  EXPECT_EQ(ExitCodeOf(t), STILL_ACTIVE);
  SetEvent(gate);
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCodeOf(t), 1u);
  CloseHandle(t);
  CloseHandle(gate);
}

TEST(Thread, CapturesAreReleasedBeforeTheHandleSignals) {
  auto marker = std::make_shared<int>(1);
  std::weak_ptr<int> watch = marker;
  HANDLE t = CreateThread([m = std::move(marker)]() -> DWORD { return *m; });
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(watch.expired());
  CloseHandle(t);
}

// Each blocking call the workers make must wake at once when their thread is cancelled.
struct BlockCase {
  const char* name;
  std::function<void()> block;  // runs on the worker; returns only by throwing ThreadCancelled
};

TEST(ThreadCancel, WakesEveryKindOfWait) {
  HANDLE never = CreateEvent(true, false);
  HANDLE empty = CreateSemaphore(0, 1);
  CancellableMutex held;
  held.lock();  // by this thread for the whole test
  BlockCase cases[] = {
      {"CancellableMutex", [&] {
         held.lock();
         held.unlock();
       }},
      {"WaitForSingleObject", [&] { WaitForSingleObject(never, INFINITE); }},
      {"WaitForMultipleObjects", [&] {
         HANDLE list[] = {never, empty};
         WaitForMultipleObjects(2, list, FALSE_, 60000);
       }},
      {"wait-all", [&] {
         HANDLE list[] = {never, empty};
         WaitForMultipleObjects(2, list, TRUE_, INFINITE);
       }},
      {"Sleep", [] { Sleep(60000); }},
      {"Sleep INFINITE", [] { Sleep(INFINITE); }},
  };
  for (auto& c : cases) {
    HANDLE started = CreateEvent(true, false);
    std::atomic<bool> reachedEnd{false};
    HANDLE t = CreateThread([&]() -> DWORD {
      SetEvent(started);
      c.block();
      reachedEnd = true;  // a cancelled wait must not return normally
      return 0;
    });
    ASSERT_EQ(WaitForSingleObject(started, 5000), WAIT_OBJECT_0) << c.name;
    Sleep(20);  // let it block
    auto start = Clock::now();
    ASSERT_TRUE(CancelThread(t, 44)) << c.name;
    ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0) << c.name;
    EXPECT_LT(Clock::now() - start, kWakeBound + kSlack) << c.name;
    EXPECT_EQ(ExitCodeOf(t), 44u) << c.name;
    EXPECT_FALSE(reachedEnd.load()) << c.name;
    CloseHandle(t);
    CloseHandle(started);
  }
  held.unlock();
  CloseHandle(never);
  CloseHandle(empty);
}

TEST(CancellableMutex, RecursiveForItsOwnerExclusiveForOthers) {
  CancellableMutex m;
  m.lock();
  m.lock();  // the owner again: no wait
  std::atomic<bool> got{false};
  HANDLE t = CreateThread([&]() -> DWORD {
    std::lock_guard<CancellableMutex> lock(m);
    got = true;
    return 0;
  });
  m.unlock();
  EXPECT_EQ(WaitForSingleObject(t, 50), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(got.load());
  m.unlock();
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(got.load());
  EXPECT_EQ(ExitCodeOf(t), 0u);
  CloseHandle(t);
  m.lock();  // free again after the other thread's turn
  m.unlock();
}

TEST(ThreadCancel, CancelBeforeTheWaitThrowsAtTheWait) {
  HANDLE go = CreateEvent(true, false);
  HANDLE signalled = CreateEvent(true, true);
  std::atomic<int> stage{0};
  HANDLE t = CreateThread([&]() -> DWORD {
    WaitForSingleObject(go, INFINITE);  // the cancel arrives here
    return 0;
  });
  HANDLE t2 = CreateThread([&]() -> DWORD {
    while (!IsCancelRequested()) std::this_thread::yield();
    stage = 1;
    // Even a signalled object does not let a cancelled thread go on.
    WaitForSingleObject(signalled, 0);
    stage = 2;
    return 0;
  });
  CancelThread(t2, 5);
  ASSERT_EQ(WaitForSingleObject(t2, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(stage.load(), 1);
  EXPECT_EQ(ExitCodeOf(t2), 5u);
  CancelThread(t, 6);
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCodeOf(t), 6u);
  for (HANDLE h : {t, t2, go, signalled}) CloseHandle(h);
}

TEST(ThreadCancel, ShutsDownARegisteredSocketBlockedInRecv) {
  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  socklen_t len = sizeof addr;
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);

  HANDLE connected = CreateEvent(true, false);
  std::atomic<long> recvResult{12345};
  HANDLE t = CreateThread([&]() -> DWORD {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 1;
    DWORD rc = 0;
    {
      SocketCancelRegistration reg(fd);
      if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        rc = 2;
      } else {
        SetEvent(connected);
        char buf[16];
        recvResult = ::recv(fd, buf, sizeof buf, 0);  // blocks: the peer never sends
        rc = IsCancelRequested() ? 3 : 4;
      }
    }
    ::close(fd);
    return rc;
  });
  int peer = ::accept(listener, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  ASSERT_EQ(WaitForSingleObject(connected, 5000), WAIT_OBJECT_0);
  Sleep(30);
  auto start = Clock::now();
  CancelThread(t, 9);
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_LT(Clock::now() - start, kWakeBound + kSlack);
  EXPECT_EQ(ExitCodeOf(t), 3u);  // recv returned and the thread saw why
  EXPECT_EQ(recvResult.load(), 0);
  ::close(peer);
  ::close(listener);
  CloseHandle(t);
  CloseHandle(connected);
}

TEST(ThreadStop, CooperativeThreadEndsInTheFirstWait) {
  HANDLE stop = CreateEvent(true, false);
  HANDLE t = CreateThread([stop]() -> DWORD {
    while (WaitForSingleObject(stop, 10) == WAIT_TIMEOUT) {
    }
    return 0;
  });
  SetEvent(stop);
  EXPECT_EQ(StopThread(t, 5000, 31), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCodeOf(t), 0u);
  CloseHandle(t);
  CloseHandle(stop);
}

TEST(ThreadStop, StuckThreadIsCancelledAfterTheBound) {
  HANDLE never = CreateEvent(true, false);
  HANDLE t = CreateThread([never]() -> DWORD {
    WaitForSingleObject(never, INFINITE);
    return 0;
  });
  auto start = Clock::now();
  EXPECT_EQ(StopThread(t, 100, 31), WAIT_TIMEOUT);
  auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(95));
  EXPECT_LT(took, std::chrono::seconds(2));
  EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCodeOf(t), 31u);
  EXPECT_EQ(StrandedThreadCount(), 0u);  // it ended once cancelled
  EXPECT_EQ(StopThread(0, 100), WAIT_FAILED);
  CloseHandle(t);
  CloseHandle(never);
}

// A library's clean-up of its per-thread data runs after the thread's procedure, when the handle
// is already signalled; joining the ended threads waits for it, so that it cannot run into the
// process's exit.
TEST(Thread, JoiningEndedThreadsWaitsForTheirPerThreadCleanUp) {
  static std::promise<void> release;
  static std::shared_future<void> released = release.get_future().share();
  static std::atomic<bool> cleaned{false};
  pthread_key_t key;
  ASSERT_EQ(pthread_key_create(&key,
                               [](void*) {
                                 released.wait();
                                 cleaned = true;
                               }),
            0);
  HANDLE t = CreateThread([key]() -> DWORD { return pthread_setspecific(key, &cleaned) == 0 ? 0 : 1; });
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  DWORD code = 9;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(cleaned.load());  // the procedure is over, the clean-up still waits
  release.set_value();
  JoinEndedThreads();
  EXPECT_TRUE(cleaned.load());
  CloseHandle(t);
  pthread_key_delete(key);
}

TEST(Thread, LiveThreadCountFollowsThreads) {
  std::size_t before = LiveThreadCount();
  HANDLE gate = CreateEvent(true, false);
  HANDLE a = CreateThread([gate]() -> DWORD { return WaitForSingleObject(gate, INFINITE); });
  HANDLE b = CreateThread([gate]() -> DWORD { return WaitForSingleObject(gate, INFINITE); });
  EXPECT_EQ(LiveThreadCount(), before + 2);
  SetEvent(gate);
  HANDLE both[] = {a, b};
  ASSERT_EQ(WaitForMultipleObjects(2, both, TRUE_, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(LiveThreadCount(), before);
  for (HANDLE h : {a, b, gate}) CloseHandle(h);
}

TEST(Thread, OtherThreadsAreNeverCancelled) {
  EXPECT_FALSE(IsCancelRequested());
  EXPECT_NO_THROW(CheckCancel());
  EXPECT_FALSE(CancelThread(0));
  { SocketCancelRegistration reg(-1); }  // harmless outside a CreateThread thread
  EXPECT_EQ(CreateThread(nullptr), 0u);
}

TEST(Clock, TicksAdvanceWithTheSteadyClock) {
  std::uint64_t a = GetTickCount64();
  Sleep(30);
  std::uint64_t b = GetTickCount64();
  EXPECT_GE(b - a, 29u);
  EXPECT_LT(b - a, 2000u);
  // The 32-bit count is the low half of the 64-bit one.
  DWORD t32 = GetTickCount();
  std::uint64_t t64 = GetTickCount64();
  EXPECT_LE(static_cast<DWORD>(t64) - t32, 5u);
}

TEST(Clock, TimeScaleSpeedsTicksAndShrinksTimeouts) {
  SetTimeScale(10.0);
  EXPECT_EQ(GetTimeScale(), 10.0);
  EXPECT_EQ(ScaleTimeout(1000), 100u);
  EXPECT_EQ(ScaleTimeout(5), 1u);  // a non-zero time-out stays non-zero
  EXPECT_EQ(ScaleTimeout(0), 0u);
  EXPECT_EQ(ScaleTimeout(INFINITE), INFINITE);
  std::uint64_t t0 = GetTickCount64();
  auto r0 = Clock::now();
  HANDLE e = CreateEvent(false, false);
  EXPECT_EQ(WaitForSingleObject(e, 1000), WAIT_TIMEOUT);  // ~100 ms of real time
  Sleep(1000);
  auto real = Clock::now() - r0;
  std::uint64_t ticks = GetTickCount64() - t0;
  SetTimeScale(1.0);
  EXPECT_LT(real, std::chrono::milliseconds(1500));
  EXPECT_GE(ticks, 1990u);
  std::uint64_t afterReset = GetTickCount64();
  EXPECT_GE(afterReset, t0 + ticks) << "the count never goes back when the scale changes";
  SetTimeScale(-3);  // nonsense falls back to real time
  EXPECT_EQ(GetTimeScale(), 1.0);
  CloseHandle(e);
}

TEST(Clock, LocalTimeIsInRange) {
  LocalTime t = GetLocalTime();
  EXPECT_GE(t.year, 2020);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12);
  EXPECT_TRUE(t.day >= 1 && t.day <= 31);
  EXPECT_TRUE(t.hour >= 0 && t.hour <= 23);
  EXPECT_TRUE(t.milliseconds >= 0 && t.milliseconds <= 999);
  EXPECT_TRUE(t.dayOfWeek >= 0 && t.dayOfWeek <= 6);
}

}  // namespace
