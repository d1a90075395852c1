#include "session/MMTimer.h"

#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/thread.h"

using namespace plat;

CMMTimer::~CMMTimer() { Stop(); }

int CMMTimer::SetResolution() {
  m_wPeriod = 1;
  return 1;
}

bool CMMTimer::ModelRunsTimer(const std::string& id) {
  return !(id == "K40R" || id == "K41R" || id == "K42R" || id == "K43R");
}

int CMMTimer::Start(const std::string& productId) {
  if (!ModelRunsTimer(productId)) {
    f_Enabled = 0;
    return 1;
  }
  if (m_uTimerId.load() != 0) {
    f_Enabled = 1;
    return 1;
  }
  HANDLE tick = CreateEvent(false, false);
  HANDLE rearm = CreateEvent(false, false);
  if (tick == 0 || rearm == 0) {
    if (tick) CloseHandle(tick);
    if (rearm) CloseHandle(rearm);
    return 1;
  }
  m_hTickEvent = tick;
  rearm_ = rearm;
  armed_ = kNotArmed;
  stop_ = false;
  // The thread sleeps until the armed tick or until it is armed anew; nothing armed, it sleeps
  // without a time limit. The deadline is on the tick count, so a test clock drives it.
  HANDLE th = CreateThread(
      [this, tick, rearm]() -> DWORD {
        while (!stop_.load()) {
          std::uint64_t due = armed_.load();
          const DWORD r = due == kNotArmed ? WaitForSingleObject(rearm, INFINITE) : WaitForSingleObjectUntil(rearm, due);
          if (r == WAIT_TIMEOUT) {
            // Fired only when nobody armed another tick in the meantime.
            if (armed_.compare_exchange_strong(due, kNotArmed)) SetEvent(tick);
          } else if (r != WAIT_OBJECT_0) {
            break;
          }
        }
        return 0;
      },
      nullptr, "mmtimer");
  if (th == 0) {
    m_hTickEvent = 0;
    rearm_ = 0;
    CloseHandle(tick);
    CloseHandle(rearm);
    return 1;
  }
  m_uTimerId = th;
  f_Enabled = 1;
  return 1;
}

int CMMTimer::Arm(std::uint64_t tickCount) {
  if (!f_Enabled.load()) return 0;
  const HANDLE tick = m_hTickEvent.load();
  const HANDLE rearm = rearm_.load();
  if (tick == 0 || rearm == 0) return 0;
  ResetEvent(tick);
  armed_ = tickCount == kNotArmed ? kNotArmed - 1 : tickCount;
  SetEvent(rearm);
  return 1;
}

int CMMTimer::Wait(HANDLE endEvent) {
  if (!f_Enabled.load()) return -1;
  const HANDLE tick = m_hTickEvent.load();
  if (tick == 0) return -1;
  const HANDLE waits[2] = {tick, endEvent};
  const DWORD r = WaitForMultipleObjects(endEvent != 0 ? 2 : 1, waits, FALSE_, 200);
  if (r == WAIT_OBJECT_0 + 1) return 2;
  if (!f_Enabled.load()) return -1;
  if (r == WAIT_OBJECT_0) return 0;
  if (r == WAIT_TIMEOUT) return 1;
  return -1;
}

int CMMTimer::Stop() {
  f_Enabled = 0;
  stop_ = true;
  armed_ = kNotArmed;
  // A waiter wakes on the tick, sees the timer off and answers -1.
  if (HANDLE tick = m_hTickEvent.load()) SetEvent(tick);
  if (HANDLE th = m_uTimerId.exchange(0)) {
    // Cancelling wakes its sleep at once, whatever the clock (a manual one included).
    StopThread(th, 0, 31);
    CloseHandle(th);
  }
  if (HANDLE tick = m_hTickEvent.exchange(0)) CloseHandle(tick);
  if (HANDLE rearm = rearm_.exchange(0)) CloseHandle(rearm);
  return 1;
}
