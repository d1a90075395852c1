#include "session/MMTimer.h"

#include <algorithm>
#include <cmath>

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
  if (tick == 0) return 1;
  m_hTickEvent = tick;
  stop_ = false;
  const unsigned period = m_wPeriod ? m_wPeriod : 1;
  // Ticks fall on absolute deadlines of the tick count, so a late wake-up does not push the
  // following ones back; after a stall (or a large step of a test clock) the missed ticks
  // collapse into one, as the auto-reset event would anyway.
  HANDLE th = CreateThread(
      [this, tick, period]() -> DWORD {
        // Under a sped-up test clock a tick still spans at least a real millisecond.
        auto step = [period] {
          return std::max<std::uint64_t>(period, static_cast<std::uint64_t>(std::ceil(GetTimeScale())));
        };
        std::uint64_t next = GetTickCount64() + step();
        while (!stop_.load() && !IsCancelRequested()) {
          SleepUntil(next);
          SetEvent(tick);
          const std::uint64_t now = GetTickCount64();
          next += step();
          if (next <= now) next = now + step();
        }
        return 0;
      },
      nullptr, "mmtimer");
  if (th == 0) {
    m_hTickEvent = 0;
    CloseHandle(tick);
    return 1;
  }
  m_uTimerId = th;
  f_Enabled = 1;
  return 1;
}

int CMMTimer::Wait() {
  if (!f_Enabled.load()) return -1;
  const HANDLE tick = m_hTickEvent.load();
  if (tick == 0) return -1;
  const DWORD r = WaitForSingleObject(tick, 200);
  if (r == WAIT_OBJECT_0) return 0;
  if (r == WAIT_TIMEOUT) return 1;
  return -1;
}

int CMMTimer::Stop() {
  f_Enabled = 0;
  stop_ = true;
  if (HANDLE th = m_uTimerId.exchange(0)) {
    // Cancelling wakes its sleep at once, whatever the clock (a manual one included).
    StopThread(th, 0, 31);
    CloseHandle(th);
  }
  if (HANDLE tick = m_hTickEvent.exchange(0)) CloseHandle(tick);
  return 1;
}
