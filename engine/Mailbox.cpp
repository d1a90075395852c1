#include "engine/Mailbox.h"

#include <unistd.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>
#include "engine/AppRecord.h"
#include "engine/MailboxInternal.h"
#include "engine/Resources.h"
#include "core/Strings.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "engine/ProcessThreads.h"
#include "session/PlayerLink.h"
#include "session/Threads.h"

using namespace plat;

namespace {

std::atomic<bool> g_processClosing{false};
CancellableMutex g_reLoginMutex;  // made before main


// Longest single wait of a requester, so that two requesters sharing one auto-reset reply
// event both notice the answer meant for them.
constexpr DWORD kReplySliceMs = 50;

bool Request(Handshake& hs, HANDLE notify, HANDLE reply, DWORD waitMs) {
  if (notify == 0 || reply == 0) return false;
  std::uint64_t gen;
  {
    std::lock_guard<std::mutex> lock(hs.mutex);
    gen = ++hs.requested;
  }
  if (!SetEvent(notify)) return false;
  const std::uint64_t start = GetTickCount64();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(hs.mutex);
      if (hs.answered >= gen) return hs.result;
    }
    const std::uint64_t elapsed = GetTickCount64() - start;
    if (elapsed >= waitMs) return false;
    const DWORD slice =
        static_cast<DWORD>(std::min<std::uint64_t>(waitMs - elapsed, kReplySliceMs));
    if (WaitForSingleObject(reply, slice) == WAIT_FAILED) {
      std::lock_guard<std::mutex> lock(hs.mutex);
      return hs.answered >= gen && hs.result;
    }
  }
}

}  // namespace

Handshake g_teardownHandshake;
Handshake g_rebuildHandshake;

std::uint64_t Handshake::Take() {
  std::lock_guard<std::mutex> lock(mutex);
  return requested;
}

void Handshake::Answer(std::uint64_t upTo, bool ok) {
  std::lock_guard<std::mutex> lock(mutex);
  answered = std::max(answered, upTo);
  result = ok;
}

void Handshake::Reset() {
  std::lock_guard<std::mutex> lock(mutex);
  requested = answered = 0;
  result = false;
}

void ResetProcessHandshakes() {
  g_teardownHandshake.Reset();
  g_rebuildHandshake.Reset();
}

void SetProcessClosing(bool closing) { g_processClosing.store(closing); }
bool IsProcessClosing() { return g_processClosing.load(); }

bool PostKernelMessage(std::int32_t code, std::uintptr_t param, DWORD lockWaitMs) {
  AppRecord* app = g_lpApp;
  if (!app) return false;
  const HANDLE lock = app->h_KernelMessageLockSem.load();
  const HANDLE post = app->h_KernelMessagePostSem.load();
  if (lock == 0 || post == 0) return false;
  if (WaitForSingleObject(lock, lockWaitMs) != WAIT_OBJECT_0) return false;
  app->dw_KernelMessage.store(code);
  app->dw_KernelMessageParam.store(param);
  if (!ReleaseSemaphore(post, 1)) {
    // The mailbox was closed under us: give the lock back so no later poster hangs on it.
    ReleaseSemaphore(lock, 1);
    return false;
  }
  return true;
}

bool RequestSessionTeardown(DWORD waitMs) {
  AppRecord* app = g_lpApp;
  if (!app) return false;
  return Request(g_teardownHandshake, app->h_Process_Notify_TerminateEvent.load(),
                 app->h_Process_Reply_TerminateEvent.load(), waitMs);
}

bool RequestSessionRebuild(DWORD waitMs) {
  AppRecord* app = g_lpApp;
  if (!app || IsProcessClosing()) return false;
  return Request(g_rebuildHandshake, app->h_Process_Notify_InitEvent.load(),
                 app->h_Process_Reply_InitEvent.load(), waitMs);
}

bool StartReLoginThread() {
  AppRecord* app = g_lpApp;
  if (!app) return false;
  std::lock_guard<CancellableMutex> lock(g_reLoginMutex);
  StopThreadMember(app->h_ReLoginThread, &app->dw_ReLoginThreadId, kReLoginStopWaitMs);
  if (IsProcessClosing()) return false;
  DWORD id = 0;
  const HANDLE h = CreateThread([] { return ReLogin_Thread(nullptr); }, &id, "relogin");
  app->dw_ReLoginThreadId.store(h ? id : 0);
  app->h_ReLoginThread.store(h);
  return h != 0;
}

void StopReLoginThread() {
  AppRecord* app = g_lpApp;
  if (!app) return;
  std::lock_guard<CancellableMutex> lock(g_reLoginMutex);
  StopThreadMember(app->h_ReLoginThread, &app->dw_ReLoginThreadId, kReLoginStopWaitMs);
}

std::string FindPlayerProgram() {
  const std::string folder = ProgramFolder();
  for (const char* name : player::kProgramNames) {
    const std::string path = folder + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(path.c_str(), X_OK) == 0) {
      return path;
    }
  }
  return "";
}

bool RunPlayerProgram(const std::string& recordingPath, HWND owner) {
  const std::string player = FindPlayerProgram();
  const bool started =
      !player.empty() && SpawnProcess({player, recordingPath, "CONVERT=0"}, ProgramFolder());
  if (!started) MessageBoxById(owner, 4108, MB_OK);
  return started;
}
