// The manual clock for a test: while a ManualClock lives, the tick count stands still and
// moves only by plat::Advance, so a timed wait ends when the test carries the clock there.
#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <thread>

#include "platform/clock.h"
#include "tests/support/WaitUntil.h"

struct ManualClock {
  ManualClock() { plat::SetManualClock(true); }
  ~ManualClock() { plat::SetManualClock(false); }
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;
};

// Spins (yielding, no timed sleep) until `n` waits are blocked on the manual clock.
inline void AwaitTimedWaits(std::size_t n) {
  EXPECT_TRUE(WaitUntil([n] { return plat::TimedWaitCount() >= n; }, 10000, [] { std::this_thread::yield(); }));
}
