// Time: a 32-bit wrapping millisecond tick count of a steady clock, cancellable sleep, and
// local time. Tests may run the clock faster (SetTimeScale): tick counts advance `factor`
// times faster and every time-out of waits and sleeps shrinks by the same factor, so the
// product keeps its real constants. Or they stop it (SetManualClock): then the tick count
// moves only by Advance, and kernel waits with a time-out, Sleep and SleepUntil end only when
// Advance has carried the clock to their deadline. Socket time-outs stay in real time.
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/types.h"

namespace plat {

DWORD GetTickCount();
std::uint64_t GetTickCount64();

// Cancellable: throws ThreadCancelled when the calling thread is cancelled.
void Sleep(DWORD milliseconds);

// Cancellable: sleeps until GetTickCount64() has reached `tick` (at once when it has).
void SleepUntil(std::uint64_t tick);

void SetTimeScale(double factor);  // 1.0 = real time
double GetTimeScale();
// Converts a time-out in product milliseconds into real milliseconds under the scale
// (unchanged while the clock is manual).
DWORD ScaleTimeout(DWORD milliseconds);

// Manual clock: on, the tick count stands still from now on; off, it runs again (at the
// time scale) from where Advance left it.
void SetManualClock(bool on);
bool IsManualClock();
// Moves the manual clock forward and wakes the timed waits whose deadline it passed.
// Ignored while the clock runs.
void Advance(DWORD milliseconds);
// Waits and sleeps now blocked with a deadline on the tick count (a test advances the manual
// clock once the threads it drives have reached their timed waits).
std::size_t TimedWaitCount();

struct LocalTime {
  int year;     // e.g. 2026
  int month;    // 1..12
  int day;      // 1..31
  int hour;     // 0..23
  int minute;
  int second;
  int milliseconds;
  int dayOfWeek;  // 0 = Sunday
};
LocalTime GetLocalTime();

}  // namespace plat
