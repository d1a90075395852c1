// Waiting in a window test: the step WaitUntil runs between its polls processes the GUI
// thread's events, so a condition that a window handler makes true can come true:
// `WaitUntil(cond, ms, PumpEvents)`.
#pragma once
#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <thread>

#include "tests/support/WaitUntil.h"

// Processes the events pending now (up to 5 ms' worth), `rounds` times over for events that
// post further events. Not a wait: what has not been posted yet is not waited for.
inline void ProcessEvents(int rounds = 1) {
  for (int i = 0; i < rounds; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The step of WaitUntil in a window test: the pending events, then a short pause.
inline void PumpEvents() {
  ProcessEvents();
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

// Processes events for `ms` real milliseconds, for a check that something does not happen:
// what would have arrived late has had the time to.
inline void PumpEventsFor(int ms) {
  WaitUntil([] { return false; }, ms, PumpEvents);
}
