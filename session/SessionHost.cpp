#include "session/SessionHost.h"

#include <atomic>

namespace {
std::atomic<ISessionHost*> g_sessionHost{nullptr};
}  // namespace

void SetSessionHost(ISessionHost* host) { g_sessionHost.store(host); }

bool SessionPostKernelMessage(std::int32_t code, std::uintptr_t param, plat::DWORD lockWaitMs) {
  ISessionHost* h = g_sessionHost.load();
  return h != nullptr && h->PostKernelMessage(code, param, lockWaitMs);
}

bool SessionRequestRebuild(plat::DWORD waitMs) {
  ISessionHost* h = g_sessionHost.load();
  return h != nullptr && h->RequestSessionRebuild(waitMs);
}
