#include "core/TickTimer.h"

#include <atomic>

#include "platform/clock.h"

using namespace plat;

namespace {
std::atomic<DWORD> g_tickTimerStart{0};
std::atomic<int> g_tickTimerArmed{1};
}  // namespace

void TickTimer_Start() {
  if (g_tickTimerArmed.load()) g_tickTimerStart.store(GetTickCount());
  g_tickTimerArmed.store(0);
}

int TickTimer_Elapsed(DWORD seconds) {
  if (GetTickCount() - g_tickTimerStart.load() >= seconds * 1000u) {
    g_tickTimerArmed.store(1);
    return 1;
  }
  return 0;
}
