// The tick count and the test clock. Ticks are milliseconds of the steady clock; under a
// scale they advance `factor` times faster from the moment the scale was set, so the count
// never jumps back when the scale changes. A manual clock holds the count still between
// Advance calls.
#include "platform/clock.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "platform/internal.h"
#include "platform/thread.h"

namespace plat {
namespace detail {
namespace {

struct Clock {
  std::mutex mutex;
  double factor = 1.0;
  bool manual = false;
  SteadyClock::time_point realAnchor = SteadyClock::now();
  double tickAnchor = 0;  // product milliseconds at realAnchor (the whole count when manual)
};

Clock& TheClock() {
  static Clock* c = [] {
    auto* created = new Clock;
    created->tickAnchor =
        std::chrono::duration<double, std::milli>(created->realAnchor.time_since_epoch()).count();
    return created;
  }();
  return *c;
}

double TicksLocked(const Clock& c, SteadyClock::time_point now) {
  if (c.manual) return c.tickAnchor;
  return c.tickAnchor + std::chrono::duration<double, std::milli>(now - c.realAnchor).count() * c.factor;
}

// Sleeps on no object until the product deadline (kInfiniteTicks: until cancelled).
void SleepToTicks(double deadlineTicks) {
  std::unique_lock<std::mutex> lock(TableMutex());
  WaitLocked(lock, {}, false, deadlineTicks);
}

}  // namespace

ClockReading ReadClock() {
  auto& c = TheClock();
  std::lock_guard<std::mutex> lock(c.mutex);
  const auto now = SteadyClock::now();
  return ClockReading{TicksLocked(c, now), c.manual, c.factor, now};
}

}  // namespace detail

std::uint64_t GetTickCount64() {
  return static_cast<std::uint64_t>(detail::ReadClock().ticks);
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void SetTimeScale(double factor) {
  if (!(factor > 0) || !std::isfinite(factor)) factor = 1.0;
  {
    auto& c = detail::TheClock();
    std::lock_guard<std::mutex> lock(c.mutex);
    auto now = detail::SteadyClock::now();
    c.tickAnchor = detail::TicksLocked(c, now);
    c.realAnchor = now;
    c.factor = factor;
  }
  detail::WakeTimedWaiters(true);  // their real deadlines moved
}

double GetTimeScale() {
  auto& c = detail::TheClock();
  std::lock_guard<std::mutex> lock(c.mutex);
  return c.factor;
}

void SetManualClock(bool on) {
  {
    auto& c = detail::TheClock();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (c.manual == on) return;
    auto now = detail::SteadyClock::now();
    c.tickAnchor = detail::TicksLocked(c, now);
    c.realAnchor = now;
    c.manual = on;
  }
  detail::WakeTimedWaiters(true);
}

bool IsManualClock() {
  auto& c = detail::TheClock();
  std::lock_guard<std::mutex> lock(c.mutex);
  return c.manual;
}

void Advance(DWORD milliseconds) {
  {
    auto& c = detail::TheClock();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (!c.manual) return;
    c.tickAnchor += milliseconds;
  }
  detail::WakeTimedWaiters(false);
}

std::size_t TimedWaitCount() {
  std::lock_guard<std::mutex> lock(detail::TableMutex());
  return detail::TimedWaitCountLocked();
}

DWORD ScaleTimeout(DWORD milliseconds) {
  if (milliseconds == INFINITE || milliseconds == 0) return milliseconds;
  const auto clock = detail::ReadClock();
  if (clock.manual) return milliseconds;
  double real = std::ceil(milliseconds / clock.factor);
  if (real >= static_cast<double>(INFINITE)) return INFINITE - 1;
  return static_cast<DWORD>(real);
}

void Sleep(DWORD milliseconds) {
  CheckCancel();
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  detail::SleepToTicks(milliseconds == INFINITE
                           ? detail::kInfiniteTicks
                           : detail::ReadClock().ticks + static_cast<double>(milliseconds));
}

void SleepUntil(std::uint64_t tick) {
  CheckCancel();
  detail::SleepToTicks(static_cast<double>(tick));
}

LocalTime GetLocalTime() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm t{};
  ::localtime_r(&ts.tv_sec, &t);
  LocalTime lt{};
  lt.year = t.tm_year + 1900;
  lt.month = t.tm_mon + 1;
  lt.day = t.tm_mday;
  lt.hour = t.tm_hour;
  lt.minute = t.tm_min;
  lt.second = t.tm_sec;
  lt.milliseconds = static_cast<int>(ts.tv_nsec / 1000000);
  lt.dayOfWeek = t.tm_wday;
  return lt;
}

}  // namespace plat
