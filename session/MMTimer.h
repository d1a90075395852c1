// The pacing timer of the show thread.
//
// On models that run it, a timer thread sets the tick event when the tick count reaches the
// time the show thread armed it for (the due time of the picture it holds), and sleeps while
// nothing is armed; the show thread waits for that tick (at most 200 ms) and shows the picture.
// On the models that do not run it, Wait answers -1 at once and pictures are shown as soon as
// they are decoded.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include "platform/types.h"

class CMMTimer {
 public:
  CMMTimer() = default;
  ~CMMTimer();
  CMMTimer(const CMMTimer&) = delete;
  CMMTimer& operator=(const CMMTimer&) = delete;

  // Fixes the timer resolution (1 ms: a tick comes in the millisecond it was armed for).
  // Returns 1.
  int SetResolution();
  // Starts the timer for the connected model; the K40R and K41R-K43R recorders do not run it.
  // Starting a running timer keeps it. Returns 1.
  int Start(const std::string& productId);
  // Asks for one tick when the tick count (GetTickCount64) reaches `tick`, at once when it
  // has. Replaces what was armed before and drops a tick of it not yet waited for. Returns 1,
  // or 0 when the timer is not running.
  int Arm(std::uint64_t tick);
  // 0: a tick came; 1: no tick within 200 ms; -1: the timer is not running (or was stopped
  // during the wait); 2: `endEvent` (when not 0) was set first.
  int Wait(plat::HANDLE endEvent = 0);
  // Stops the timer, frees a wait on it and closes its events. Returns 1.
  int Stop();

  // True for the models whose pictures are paced by the timer.
  static bool ModelRunsTimer(const std::string& productId);

  std::uint16_t m_wPeriod = 1;
  std::atomic<plat::HANDLE> m_uTimerId{0};    // the timer thread
  std::atomic<plat::HANDLE> m_hTickEvent{0};  // auto-reset, set when an armed time comes
  std::atomic<plat::BOOL> f_Enabled{0};

 private:
  static constexpr std::uint64_t kNotArmed = ~std::uint64_t{0};
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> armed_{kNotArmed};  // the tick asked for
  std::atomic<plat::HANDLE> rearm_{0};           // auto-reset: wakes the timer thread to look again
};
