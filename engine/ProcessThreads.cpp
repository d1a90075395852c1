// The mailbox worker, the teardown and rebuild workers of the stream side, and the account
// life-time watchdog.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include "engine/AppRecord.h"
#include "engine/Mailbox.h"
#include "engine/MailboxInternal.h"
#include "core/Messages.h"
#include "engine/Resources.h"
#include "core/TraceLog.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "engine/ProcessThreads.h"

#include <memory>
#include "session/Threads.h"

using namespace plat;

namespace {

// A wait on a handle that is gone fails at once; pause before waiting again so a worker
// whose objects are being released does not spin.
constexpr DWORD kFailedWaitPauseMs = 10;

constexpr DWORD kLifeTimeStartPauseMs = 1000;
constexpr DWORD kLifeTimeTickMs = 1000;
constexpr DWORD kLifeTimeStopAckMs = 5000;
constexpr DWORD kLifeTimeCloseDelayMs = 1000;
constexpr const char* kLifeTimeUpText = "Life time is Up.Application shutdown later";

// Longest recording path the player is given (the text of the message parameter is read no
// further than this).
constexpr std::size_t kMaxPlayerPathChars = 4096;

bool WaitForRequest(HANDLE event) {
  if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) return true;
  Sleep(kFailedWaitPauseMs);
  return false;
}

void ClearMainWindowTexts(AppRecord* app) {
  if (IMainWindow* w = app->lp_MainDialog.load()) {
    w->ClearOnlineUserText();
    w->ClearAlarmInputText();
  }
}

// The stream failed: stop the recorders, have the stream side torn down and start a new
// re-login thread.
void HandleReconnect(AppRecord* app) {
  app->C_AlarmRecord.Close();
  app->C_SchRecord.Close();
  TraceLog_Append("case Get_Image_TimeOut_Message");
  RequestSessionTeardown(kTeardownReplyWaitMs);  // goes on when the wait runs out
  if (ISideButtonBar* bar = app->C_SideButtonBar.load()) bar->SetStates(1, 1);
  ClearMainWindowTexts(app);
  // When no re-login thread can be started the worker stays: the next stream failure
  // (or the connect command) tries again.
  if (!StartReLoginThread()) {
    std::fprintf(stderr, "trelvix: the re-login thread could not be started\n");
  }
}

void HandleRunPlayer(AppRecord* app, std::uintptr_t param) {
  const char* text = reinterpret_cast<const char*>(param);
  if (!text) return;
  const std::string path(text, strnlen(text, kMaxPlayerPathChars));
  HWND owner = 0;
  if (IMainWindow* w = app->lp_MainDialog.load()) owner = w->GetHwnd();
  RunPlayerProgram(path, owner);
}

}  // namespace

DWORD Process_KernelMessageThread(void*) {
  AppRecord* app = g_lpApp;
  for (;;) {
    if (!WaitForRequest(app->h_KernelMessagePostSem.load())) continue;
    const std::int32_t code = app->dw_KernelMessage.load();
    const std::uintptr_t param = app->dw_KernelMessageParam.load();
    if (code == Exit_Kernel_Message) return 0;  // the mailbox stays taken: nothing posts after
    try {
      switch (code) {
        case Get_Image_TimeOut_Message:
          HandleReconnect(app);
          break;
        case Draw_Image_Message:
          if (IMainWindow* w = app->lp_MainDialog.load()) w->ShowImage();
          break;
        case Run_Player_Message:
          HandleRunPlayer(app, param);
          break;
        case Run_Player_Copy_Message: {
          std::unique_ptr<std::string> path(reinterpret_cast<std::string*>(param));
          if (path) HandleRunPlayer(app, reinterpret_cast<std::uintptr_t>(path->c_str()));
          break;
        }
        default:
          break;  // no poster sends other codes
      }
    } catch (const ThreadCancelled&) {
      throw;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "trelvix: kernel message %d failed: %s\n", code, e.what());
    }
    ReleaseSemaphore(app->h_KernelMessageLockSem.load(), 1);
  }
}

DWORD Process_Terminate_Thread(void*) {
  AppRecord* app = g_lpApp;
  for (;;) {
    if (!WaitForRequest(app->h_Process_Notify_TerminateEvent.load())) continue;
    const std::uint64_t serving = g_teardownHandshake.Take();
    {
      SessionResourceLock lock;
      app->f_VideoRunning.store(0);
      app->dw_LifeTime.store(-1);
      SetEvent(app->h_EndofShowImageEvent.load());
      SetEvent(app->h_EndofGetJpegImageEvent.load());
      SetEvent(app->h_EndLifeTimeEvent.load());
      ExitLoginResource();
      FreeSemaphore();
    }
    g_teardownHandshake.Answer(serving, true);
    SetEvent(app->h_Process_Reply_TerminateEvent.load());
  }
}

DWORD Process_Init_Thread(void*) {
  AppRecord* app = g_lpApp;
  for (;;) {
    if (!WaitForRequest(app->h_Process_Notify_InitEvent.load())) continue;
    const std::uint64_t serving = g_rebuildHandshake.Take();
    bool ok = false;
    if (!IsProcessClosing()) {
      SessionResourceLock lock;
      // Whatever a teardown that did not happen left behind goes first, so the new stream
      // threads are the only ones.
      ExitLoginResource();
      FreeSemaphore();
      app->w_PacketWriteIndex.store(0);
      app->w_PacketReadIndex.store(0);
      app->w_ZududMp4DecodeIndex.store(0);
      app->w_DecodedWriteIndex.store(0);
      ok = InitialSemaphore() != 0 && InitLoginResource() != 0;
      if (ok) {
        ResetEvent(app->h_NotifyGetJPEGImageThreadResetEvent.load());
        ResetEvent(app->h_EndofShowImageEvent.load());
      } else {
        // Nothing half-built stays: the requester counts this as a failed attempt.
        ExitLoginResource();
        FreeSemaphore();
      }
    }
    g_rebuildHandshake.Answer(serving, ok);
    SetEvent(app->h_Process_Reply_InitEvent.load());
  }
}

DWORD Connection_LifeTime_Thread(void*) {
  AppRecord* app = g_lpApp;
  app->dw_LifeTimeElapsed.store(0);
  if (WaitForSingleObject(app->h_StartLifeTimeEvent.load(), INFINITE) != WAIT_OBJECT_0) {
    return 0;  // the session ended before it started
  }
  Sleep(kLifeTimeStartPauseMs);
  if (app->dw_LifeTime.load() < 0) return 0;  // no limit for this account

  std::int64_t elapsed = 1;
  app->dw_LifeTimeElapsed.store(1);
  for (;;) {
    const DWORD r = WaitForSingleObject(app->h_EndLifeTimeEvent.load(), kLifeTimeTickMs);
    if (r != WAIT_TIMEOUT) return 0;  // stopped (or the session objects are gone)
    ++elapsed;
    app->dw_LifeTimeElapsed.store(static_cast<std::int32_t>(elapsed));
    // Read afresh each second: a teardown sets it to -1 (no limit).
    const std::int32_t lifeTime = app->dw_LifeTime.load();
    if (lifeTime < 0) return 0;
    if (elapsed >= static_cast<std::int64_t>(lifeTime) * 60) break;
  }

  // The life time is up: stop the stream without a reconnection, tell the operator, close.
  SetEvent(app->h_NotifyGetJPEGImageThreadResetEvent.load());
  WaitForSingleObject(app->h_FeedBackForNotifyResetEvent.load(), kLifeTimeStopAckMs);
  if (IMainWindow* w = app->lp_MainDialog.load()) {
    w->ClearOnlineUserText();
    w->ClearAlarmInputText();
    w->SetStatusText(kLifeTimeUpText);
  }
  Sleep(kLifeTimeCloseDelayMs);
  PostMessage(app->h_MainDialogHandle.load(), msg::WM_CLOSEMAIN, 0, 0);
  return 0;
}
