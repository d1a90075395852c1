#include "engine/Resources.h"

#include <new>
#include <thread>
#include "engine/AppRecord.h"
#include "engine/Mailbox.h"
#include <string>
#include "core/SystemConfig.h"
#include "core/TraceLog.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "session/CtrlFile.h"
#include "engine/ProcessThreads.h"
#include "session/Threads.h"

using namespace plat;

namespace {

// Made before main, so no test counts its handle as one of its own.
CancellableMutex g_sessionMutex;

// Release steps' bounds (ms) for each thread.
constexpr DWORD kStopAlarmSoundMs = 10;
constexpr DWORD kStopLifeTimeMs = 30;
constexpr DWORD kReceiveAckWaitMs = 2000;
constexpr DWORD kStopReceiveMs = 500;
constexpr DWORD kStopComposeMs = 30;
constexpr DWORD kStopShowMs = 1000;
constexpr DWORD kStopFirmwareMs = 10;
constexpr DWORD kStopMailboxMs = 20;
constexpr DWORD kStopWorkerMs = 500;

std::uint8_t* NewBuffer(std::size_t bytes) { return new (std::nothrow) std::uint8_t[bytes]; }

void FreeBufferMember(AtomicPtr<std::uint8_t>& member) { delete[] member.exchange(nullptr); }

// `param` is handed to the entry: the session threads get their SessionRecord.
HANDLE StartThread(DWORD (*entry)(void*), std::atomic<DWORD>& id, const char* name,
                   SessionRecord* param = nullptr) {
  DWORD tid = 0;
  const HANDLE h = CreateThread([entry, param] { return entry(param); }, &tid, name);
  id.store(tid);
  return h;
}

// Creates an event or semaphore into a member, closing one that is left over first.
bool CreateInto(std::atomic<HANDLE>& member, HANDLE made) {
  CloseHandleMember(member);
  member.store(made);
  return made != 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Helpers

bool KeepForStrandedThreads(const char* what) {
  const std::size_t stranded = StrandedThreadCount();
  if (stranded == 0) return false;
  TraceLog_Append(std::string("kept ") + what + ": " + std::to_string(stranded) +
                  " thread(s) did not end within their bound");
  return true;
}

// Throws ThreadCancelled when the waiting thread is cancelled; the lock is then not held.
SessionResourceLock::SessionResourceLock() { g_sessionMutex.lock(); }

SessionResourceLock::~SessionResourceLock() { g_sessionMutex.unlock(); }

DWORD StopThreadMember(std::atomic<HANDLE>& thread, std::atomic<DWORD>* id, DWORD waitMs) {
  const HANDLE h = thread.load();
  if (h == 0) return WAIT_OBJECT_0;
  const DWORD r = StopThread(h, waitMs, 31);
  HANDLE expected = h;
  if (thread.compare_exchange_strong(expected, 0)) CloseHandle(h);
  if (id) id->store(0);
  return r;
}

void CloseHandleMember(std::atomic<HANDLE>& handle) {
  const HANDLE h = handle.exchange(0);
  if (h != 0) CloseHandle(h);
}

bool SessionObjectsExist() {
  AppRecord* app = g_lpApp;
  if (!app) return false;
  for (std::atomic<HANDLE>* h :
       {&app->h_PlayAudioWavThread, &app->h_ConnectionThread, &app->h_GetJpegImageThread,
        &app->h_ComposeImageDataThread, &app->h_ShowImageDataThread,
        &app->h_StartToGetJpegImageEvent, &app->h_EndofGetJpegImageEvent,
        &app->h_StartToShowImageEvent, &app->h_EndofShowImageEvent,
        &app->h_FinishShowImageJobEvent, &app->h_StartLifeTimeEvent, &app->h_EndLifeTimeEvent,
        &app->h_AlarmWavBufferDoneEvent, &app->h_StopAlarmWavEvent}) {
    if (h->load() != 0) return true;
  }
  return app->C_AlarmRecord.m_hThread != 0 || app->C_UserRecord.m_hThread != 0;
}

// ---------------------------------------------------------------------------------------
// Frame buffers

int AllocateSystemBuffer() {
  AppRecord* app = g_lpApp;
  if (!app) return 0;
  bool ok = true;
  auto alloc = [&ok](AtomicPtr<std::uint8_t>& member, std::size_t bytes) {
    if (member.load() != nullptr) return;  // already there: keep it
    std::uint8_t* p = NewBuffer(bytes);
    if (!p) ok = false;
    member.store(p);
  };
  alloc(app->lp_PacketBuffer, kPacketBufferSize);
  alloc(app->lp_JpegBuffer, kPictureBufferSize);
  alloc(app->lp_DecodedBuffer, kPictureBufferSize);
  if (app->lp_PacketHeaders.load() == nullptr) {
    RtpFrameHeader* headers = new (std::nothrow) RtpFrameHeader[kPacketSlotCount];
    if (!headers) ok = false;
    app->lp_PacketHeaders.store(headers);
  }
  if (!app->C_RecordFrameRing.AllocateBuffer()) ok = false;
  if (!app->C_AlarmRecord.AllocateBuffer()) ok = false;
  if (!app->C_UserRecord.AllocateBuffer()) ok = false;
  if (!app->C_SchRecord.AllocateBuffer()) ok = false;
  alloc(app->lp_DoubledBuffer, kPictureBufferSize);
  alloc(app->lp_GrabBuffer, kPictureBufferSize);
  if (!ok) return 0;
  app->w_PacketSlots.store(static_cast<WORD>(kPacketSlotCount));
  app->w_DecodeSlots.store(static_cast<WORD>(kDecodeSlotCount));
  app->w_PacketWriteIndex.store(0);
  app->w_PacketReadIndex.store(0);
  app->w_ZududMp4DecodeIndex.store(0);
  app->w_DecodedWriteIndex.store(0);
  return 1;
}

int AllocateScreenBuffer(std::size_t bytes) {
  AppRecord* app = g_lpApp;
  if (!app) return 0;
  FreeBufferMember(app->lp_ScreenBuffer);
  std::uint8_t* p = NewBuffer(bytes);
  app->lp_ScreenBuffer.store(p);
  return p ? 1 : 0;
}

int FreeSystemBuffer() {
  AppRecord* app = g_lpApp;
  if (!app) return 1;
  if (KeepForStrandedThreads("frame buffers")) return 0;
  FreeBufferMember(app->lp_JpegBuffer);
  FreeBufferMember(app->lp_DecodedBuffer);
  FreeBufferMember(app->lp_ScreenBuffer);
  FreeBufferMember(app->lp_PacketBuffer);
  delete[] app->lp_PacketHeaders.exchange(nullptr);
  FreeBufferMember(app->lp_GrabBuffer);
  app->lp_CurrentFrame.store(nullptr);  // pointed into the decoded buffer
  app->C_RecordFrameRing.FreeBuffer();
  app->C_AlarmRecord.FreeBuffer();
  app->C_UserRecord.FreeBuffer();
  app->C_SchRecord.FreeBuffer();
  g_SystemConfig.AlarmDB_FreeBuffer();
  FreeBufferMember(app->lp_DoubledBuffer);
  return 1;
}

// ---------------------------------------------------------------------------------------
// Pipeline semaphores

int InitialSemaphore() {
  AppRecord* app = g_lpApp;
  if (!app) return 0;
  SessionResourceLock lock;
  const long n = app->w_PacketSlots.load();
  const long m = app->w_DecodeSlots.load();
  bool ok = true;
  // A slot count of 0 (buffers not allocated) would make a semaphore without units: refuse.
  ok &= n >= 2 && m >= 1;
  ok &= CreateInto(app->h_FreePacketSem, n >= 2 ? CreateSemaphore(n - 1, n - 1) : 0);
  ok &= CreateInto(app->h_PacketReadySem, n >= 2 ? CreateSemaphore(0, n - 1) : 0);
  ok &= CreateInto(app->h_FreeDecodedSem, m >= 1 ? CreateSemaphore(m, m) : 0);
  ok &= CreateInto(app->JPEGImageBufferRelSem, m >= 1 ? CreateSemaphore(0, m) : 0);
  ok &= CreateInto(app->h_GrabDoneSem, CreateSemaphore(0, 1));
  ok &= app->C_AlarmRecord.CreateResource() != 0;
  ok &= app->C_UserRecord.CreateResource() != 0;
  ok &= app->C_SchRecord.CreateResource() != 0;
  return ok ? 1 : 0;
}

int FreeSemaphore() {
  AppRecord* app = g_lpApp;
  if (!app) return 1;
  if (KeepForStrandedThreads("pipeline semaphores")) return 0;
  SessionResourceLock lock;
  CloseHandleMember(app->h_FreePacketSem);
  CloseHandleMember(app->h_PacketReadySem);
  CloseHandleMember(app->h_FreeDecodedSem);
  CloseHandleMember(app->JPEGImageBufferRelSem);
  CloseHandleMember(app->h_GrabDoneSem);
  app->C_AlarmRecord.ReleaseResource();
  app->C_UserRecord.ReleaseResource();
  app->C_SchRecord.ReleaseResource();
  return 1;
}

// ---------------------------------------------------------------------------------------
// Process objects

int InitProcessResource() {
  AppRecord* app = g_lpApp;
  if (!app) return 0;
  ResetProcessHandshakes();
  SetProcessClosing(false);
  if (!CreateInto(app->h_KernelMessagePostSem, CreateSemaphore(0, 1))) return 0;
  if (!CreateInto(app->h_KernelMessageLockSem, CreateSemaphore(1, 1))) return 0;
  for (std::atomic<HANDLE>* ev :
       {&app->h_Process_Notify_TerminateEvent, &app->h_Process_Reply_TerminateEvent,
        &app->h_Process_Notify_InitEvent, &app->h_Process_Reply_InitEvent,
        &app->h_NotifyGetJPEGImageThreadResetEvent, &app->h_FeedBackForNotifyResetEvent}) {
    if (!CreateInto(*ev, CreateEvent(false, false))) return 0;
  }
  if (app->h_Process_Terminate_Thread.load() == 0) {
    app->h_Process_Terminate_Thread.store(
        StartThread(&Process_Terminate_Thread, app->dw_Process_Terminate_ThreadId, "teardown"));
    if (app->h_Process_Terminate_Thread.load() == 0) return 0;
  }
  if (app->h_Process_Init_Thread.load() == 0) {
    app->h_Process_Init_Thread.store(
        StartThread(&Process_Init_Thread, app->dw_Process_Init_ThreadId, "rebuild"));
    if (app->h_Process_Init_Thread.load() == 0) return 0;
  }
  if (app->h_Process_KernelMessageThread.load() == 0) {
    app->h_Process_KernelMessageThread.store(StartThread(
        &Process_KernelMessageThread, app->dw_Process_KernelMessageThreadId, "mailbox"));
    if (app->h_Process_KernelMessageThread.load() == 0) return 0;
  }
  return 1;
}

int ExitProcessResource() {
  AppRecord* app = g_lpApp;
  if (!app) return 1;
  bool any = false;
  for (std::atomic<HANDLE>* h :
       {&app->h_Process_KernelMessageThread, &app->h_Process_Terminate_Thread,
        &app->h_Process_Init_Thread, &app->h_KernelMessagePostSem, &app->h_KernelMessageLockSem,
        &app->h_Process_Notify_TerminateEvent, &app->h_Process_Reply_TerminateEvent,
        &app->h_Process_Notify_InitEvent, &app->h_Process_Reply_InitEvent,
        &app->h_NotifyGetJPEGImageThreadResetEvent, &app->h_FeedBackForNotifyResetEvent,
        &app->h_ReLoginThread, &app->h_UpgradeFirmwareThread, &app->PlayerLink.h_NetworkBkMutex}) {
    any |= h->load() != 0;
  }
  if (!any && app->lp_CtrlDeviceRecords.load() == nullptr) return 1;

  // From here on no rebuild is answered with success and no re-login starts.
  SetProcessClosing(true);

  // 1. The pacing timer.
  app->C_MMTimer.Stop();

  // 2. The exit code. A reconnection in progress holds the mailbox for up to its teardown
  //    wait; after the bound the worker is stopped below anyway.
  if (app->h_Process_KernelMessageThread.load() != 0) {
    PostKernelMessage(Exit_Kernel_Message, 0, kExitPostWaitMs);
  }

  // 3. The control-file device records.
  FreeCtrlDeviceRecords();

  // 4-6. Firmware upload, mailbox worker, re-login thread.
  StopThreadMember(app->h_UpgradeFirmwareThread, &app->dw_UpgradeFirmwareThreadId,
                   kStopFirmwareMs);
  StopThreadMember(app->h_Process_KernelMessageThread, &app->dw_Process_KernelMessageThreadId,
                   kStopMailboxMs);
  StopReLoginThread();

  // 7. The display function's drawing surface (only while the main window is registered).
  if (IMainWindow* w = app->lp_MainDialog.load()) w->DeleteDisplayContext();

  // 8-9. The teardown and rebuild workers have no exit of their own. They are stopped before
  //      their events are closed, and not in the middle of a teardown or rebuild.
  {
    SessionResourceLock lock;
    StopThreadMember(app->h_Process_Init_Thread, &app->dw_Process_Init_ThreadId, kStopWorkerMs);
    StopThreadMember(app->h_Process_Terminate_Thread, &app->dw_Process_Terminate_ThreadId,
                     kStopWorkerMs);
  }
  for (std::atomic<HANDLE>* ev :
       {&app->h_Process_Notify_TerminateEvent, &app->h_Process_Reply_TerminateEvent,
        &app->h_Process_Notify_InitEvent, &app->h_Process_Reply_InitEvent,
        &app->h_NotifyGetJPEGImageThreadResetEvent, &app->h_FeedBackForNotifyResetEvent,
        &app->h_KernelMessagePostSem, &app->h_KernelMessageLockSem}) {
    CloseHandleMember(*ev);
  }

  // 10. The player link's mutex.
  CloseHandleMember(app->PlayerLink.h_NetworkBkMutex);

  // A rebuild that a re-login thread asked for after the session objects were released has
  // made new ones: release them too, so nothing outlives the process objects.
  ExitLoginResource();
  return 1;
}

// ---------------------------------------------------------------------------------------
// Session objects

int InitLoginResource() {
  AppRecord* app = g_lpApp;
  if (!app) return 0;
  SessionResourceLock lock;
  // 1. Stream start/stop and life-time events.
  if (!CreateInto(app->h_StartToGetJpegImageEvent, CreateEvent(false, false))) return 0;
  if (!CreateInto(app->h_EndofGetJpegImageEvent, CreateEvent(true, false))) return 0;
  if (!CreateInto(app->h_StartLifeTimeEvent, CreateEvent(false, false))) return 0;
  if (!CreateInto(app->h_EndLifeTimeEvent, CreateEvent(false, false))) return 0;
  // 2. The life-time watchdog (waits for its start event).
  StopThreadMember(app->h_ConnectionThread, &app->dw_ConnectionThreadId, kStopLifeTimeMs);
  app->h_ConnectionThread.store(
      StartThread(&Connection_LifeTime_Thread, app->dw_ConnectionThreadId, "lifetime"));
  if (app->h_ConnectionThread.load() == 0) return 0;
  // 3. Show events.
  if (!CreateInto(app->h_StartToShowImageEvent, CreateEvent(false, false))) return 0;
  if (!CreateInto(app->h_EndofShowImageEvent, CreateEvent(false, false))) return 0;
  if (!CreateInto(app->h_FinishShowImageJobEvent, CreateEvent(false, false))) return 0;
  // 4.
  app->by_StreamState.store(0);
  // 5. Receive (highest priority), compose and show.
  StopThreadMember(app->h_GetJpegImageThread, &app->dw_GetJpegImageThreadId, kStopReceiveMs);
  app->h_GetJpegImageThread.store(
      StartThread(&Jpeg_TCP_Get_Image_Data_Thread, app->dw_GetJpegImageThreadId, "receive", app));
  if (app->h_GetJpegImageThread.load() == 0) return 0;
  SetThreadPriorityHighest(app->h_GetJpegImageThread.load());
  StopThreadMember(app->h_ComposeImageDataThread, &app->dw_ComposeImageDataThreadId,
                   kStopComposeMs);
  app->h_ComposeImageDataThread.store(StartThread(
      &Jpeg_Compose_Image_Data_Thread, app->dw_ComposeImageDataThreadId, "compose", app));
  if (app->h_ComposeImageDataThread.load() == 0) return 0;
  StopThreadMember(app->h_ShowImageDataThread, &app->dw_ShowImageDataThreadId, kStopShowMs);
  app->h_ShowImageDataThread.store(
      StartThread(&Jpeg_Show_Image_Data_Thread, app->dw_ShowImageDataThreadId, "show", app));
  if (app->h_ShowImageDataThread.load() == 0) return 0;
  // 6. The recorders' threads.
  if (!app->C_AlarmRecord.CreateThread(app->by_StreamState.load())) return 0;
  if (!app->C_UserRecord.CreateThread(app->by_StreamState.load())) return 0;
  // 7.
  SetThreadPriorityHighest(app->h_ShowImageDataThread.load());
  return 1;
}

int ExitLoginResource() {
  AppRecord* app = g_lpApp;
  if (!app) return 1;
  SessionResourceLock lock;
  if (!SessionObjectsExist()) return 1;

  // 1. Ask every session thread to end.
  SetEvent(app->h_NotifyGetJPEGImageThreadResetEvent.load());
  SetEvent(app->h_EndofShowImageEvent.load());
  SetEvent(app->h_EndofGetJpegImageEvent.load());
  Sleep(100);

  // 2-3. Alarm sound (its stop event first, so it resets and closes its device itself),
  // life-time watchdog.
  if (app->h_PlayAudioWavThread.load() != 0) SetEvent(app->h_StopAlarmWavEvent.load());
  StopThreadMember(app->h_PlayAudioWavThread, &app->dw_PlayAudioWavThreadId, kStopAlarmSoundMs);
  StopThreadMember(app->h_ConnectionThread, &app->dw_ConnectionThreadId, kStopLifeTimeMs);

  // 4. Receive thread: its acknowledgement of the stop, then the thread itself.
  if (app->h_GetJpegImageThread.load() != 0) {
    WaitForSingleObject(app->h_FeedBackForNotifyResetEvent.load(), kReceiveAckWaitMs);
    StopThreadMember(app->h_GetJpegImageThread, &app->dw_GetJpegImageThreadId, kStopReceiveMs);
  }

  // 5. Compose thread.
  StopThreadMember(app->h_ComposeImageDataThread, &app->dw_ComposeImageDataThreadId,
                   kStopComposeMs);

  // 7. Show thread.
  StopThreadMember(app->h_ShowImageDataThread, &app->dw_ShowImageDataThreadId, kStopShowMs);

  // 8. The recorders' threads (they too wait on the end-of-stream event).
  app->C_AlarmRecord.ExitThread();
  app->C_UserRecord.ExitThread();
  app->C_SchRecord.ExitThread();

  // 6. The stream's start and end events, closed only now that every thread waiting on the
  //    end-of-stream event has ended.
  CloseHandleMember(app->h_StartToGetJpegImageEvent);
  ResetEvent(app->h_EndofGetJpegImageEvent.load());
  CloseHandleMember(app->h_EndofGetJpegImageEvent);

  // 9. The remaining session events.
  for (std::atomic<HANDLE>* ev :
       {&app->h_StartToShowImageEvent, &app->h_EndofShowImageEvent,
        &app->h_FinishShowImageJobEvent, &app->h_StartLifeTimeEvent, &app->h_EndLifeTimeEvent,
        &app->h_AlarmWavBufferDoneEvent, &app->h_StopAlarmWavEvent}) {
    CloseHandleMember(*ev);
  }
  return 1;
}
