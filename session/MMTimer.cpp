#include "session/MMTimer.h"

#include <chrono>
#include <thread>

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
  // The ticks come in real milliseconds: the show thread compares the header times with the
  // (possibly scaled) tick count, so pacing follows the clock either way.
  HANDLE th = CreateThread(
      [this, tick, period]() -> DWORD {
        while (!stop_.load() && !IsCancelRequested()) {
          std::this_thread::sleep_for(std::chrono::milliseconds(period));
          SetEvent(tick);
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
    StopThread(th, 200, 31);
    CloseHandle(th);
  }
  if (HANDLE tick = m_hTickEvent.exchange(0)) CloseHandle(tick);
  return 1;
}
