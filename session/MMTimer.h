// The 1 ms periodic pacing timer of the show thread.
//
// On models that run it, a timer thread sets the tick event every period; the show thread waits
// for ticks (at most 200 ms) and holds each picture until its header-time interval has passed.
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

  // Fixes the timer period (1 ms, the finest this platform's sleep offers). Returns 1.
  int SetResolution();
  // Starts the periodic timer for the connected model; the K40R and K41R-K43R recorders do not
  // run it. Starting a running timer keeps it. Returns 1.
  int Start(const std::string& productId);
  // 0: a tick came; 1: no tick within 200 ms; -1: the timer is not running.
  int Wait();
  // Stops the timer and closes its event. Returns 1.
  int Stop();

  // True for the models whose pictures are paced by the timer.
  static bool ModelRunsTimer(const std::string& productId);

  std::uint16_t m_wPeriod = 1;
  std::atomic<plat::HANDLE> m_uTimerId{0};    // the timer thread
  std::atomic<plat::HANDLE> m_hTickEvent{0};  // auto-reset, set on every tick
  std::atomic<plat::BOOL> f_Enabled{0};

 private:
  std::atomic<bool> stop_{false};
};
