// Stops with a time bound, driven by the manual clock: a bounded wait on the calling thread
// ends only when the clock is advanced, so whether a stop had to wait for its bound is seen,
// not timed.
#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "tests/support/WaitUntil.h"

// Runs `stop` with the manual clock on and advances the clock by `boundMs` once a wait with a
// deadline has begun: a stop whose worker does not end then passes its bound at once.
inline void StopPastItsBound(plat::DWORD boundMs, const std::function<void()>& stop) {
  const std::size_t before = plat::TimedWaitCount();
  plat::SetManualClock(true);
  std::atomic<bool> done{false};
  std::thread advancer([&] {
    if (WaitUntil([&] { return done.load() || plat::TimedWaitCount() > before; }, 30000) && !done.load()) {
      plat::Advance(boundMs);
    }
  });
  stop();
  done = true;
  advancer.join();
  plat::SetManualClock(false);
}

// Runs `run` with the manual clock on and answers whether it returned without waiting for a
// bound. Should it wait for one, the clock is advanced by `boundMs` after `patienceMs` real
// milliseconds (so the test goes on) and false is answered.
inline bool ReturnsWithoutWaitingForABound(plat::DWORD boundMs, const std::function<void()>& run,
                                           int patienceMs = 20000) {
  plat::SetManualClock(true);
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  bool advanced = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (!cv.wait_for(lock, std::chrono::milliseconds(patienceMs), [&] { return done; })) {
      advanced = true;
      plat::Advance(boundMs);
    }
  });
  run();
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  cv.notify_all();
  watchdog.join();
  plat::SetManualClock(false);
  return !advanced;
}
