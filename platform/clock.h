// Time: a 32-bit wrapping millisecond tick count of a steady clock, cancellable sleep, and
// local time. Tests may run the clock faster (SetTimeScale): tick counts advance `factor`
// times faster and every time-out of waits and sleeps shrinks by the same factor, so the
// product keeps its real constants.
#pragma once
#include <cstdint>
#include "platform/types.h"

namespace plat {

DWORD GetTickCount();
std::uint64_t GetTickCount64();

// Cancellable: throws ThreadCancelled when the calling thread is cancelled.
void Sleep(DWORD milliseconds);

void SetTimeScale(double factor);  // 1.0 = real time
double GetTimeScale();
// Converts a time-out in product milliseconds into real milliseconds under the scale.
DWORD ScaleTimeout(DWORD milliseconds);

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
