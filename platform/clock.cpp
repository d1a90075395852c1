// The tick count and the test clock's scale. Ticks are milliseconds of the steady clock;
// under a scale they advance `factor` times faster from the moment the scale was set, so
// the count never jumps back when the scale changes.
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

struct Scale {
  std::mutex mutex;
  double factor = 1.0;
  SteadyClock::time_point realAnchor = SteadyClock::now();
  double tickAnchor = 0;  // product milliseconds at realAnchor
};

Scale& TheScale() {
  static Scale* s = [] {
    auto* scale = new Scale;
    scale->tickAnchor =
        std::chrono::duration<double, std::milli>(scale->realAnchor.time_since_epoch()).count();
    return scale;
  }();
  return *s;
}

double TicksLocked(const Scale& s, SteadyClock::time_point now) {
  return s.tickAnchor + std::chrono::duration<double, std::milli>(now - s.realAnchor).count() * s.factor;
}

}  // namespace

std::chrono::nanoseconds ScaledDuration(DWORD milliseconds) {
  if (milliseconds == INFINITE) return std::chrono::nanoseconds::max();
  double ns = std::ceil(milliseconds * 1e6 / GetTimeScale());
  // A century is as good as forever and keeps deadlines far from overflow.
  constexpr double kCentury = 3.15e18;
  return std::chrono::nanoseconds(static_cast<std::int64_t>(std::min(ns, kCentury)));
}

}  // namespace detail

std::uint64_t GetTickCount64() {
  auto& s = detail::TheScale();
  std::lock_guard<std::mutex> lock(s.mutex);
  return static_cast<std::uint64_t>(detail::TicksLocked(s, detail::SteadyClock::now()));
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void SetTimeScale(double factor) {
  if (!(factor > 0) || !std::isfinite(factor)) factor = 1.0;
  auto& s = detail::TheScale();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto now = detail::SteadyClock::now();
  s.tickAnchor = detail::TicksLocked(s, now);
  s.realAnchor = now;
  s.factor = factor;
}

double GetTimeScale() {
  auto& s = detail::TheScale();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.factor;
}

DWORD ScaleTimeout(DWORD milliseconds) {
  if (milliseconds == INFINITE || milliseconds == 0) return milliseconds;
  double real = std::ceil(milliseconds / GetTimeScale());
  if (real >= static_cast<double>(INFINITE)) return INFINITE - 1;
  return static_cast<DWORD>(real);
}

void Sleep(DWORD milliseconds) {
  detail::CancelToken* token = detail::CurrentToken();
  if (token && token->cancelled.load(std::memory_order_acquire)) throw ThreadCancelled();
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  const auto timeout = detail::ScaledDuration(milliseconds);
  if (!token) {
    // Nobody can cancel this thread: a plain sleep.
    if (timeout == std::chrono::nanoseconds::max()) {
      for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(timeout);
    return;
  }
  std::unique_lock<std::mutex> lock(detail::TableMutex());
  auto& cv = detail::TableCondition();
  auto cancelled = [token] { return token->cancelled.load(std::memory_order_acquire); };
  if (timeout == std::chrono::nanoseconds::max()) {
    cv.wait(lock, cancelled);
  } else {
    cv.wait_until(lock, detail::SteadyClock::now() + timeout, cancelled);
  }
  if (cancelled()) throw ThreadCancelled();
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
