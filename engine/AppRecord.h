// The one shared record of the running client, reached by every thread and window through
// g_lpApp: the session's shared state (session/SessionRecord.h) and the handles of the
// engine's own process threads. Publishing a record as g_lpApp also publishes it to the
// session code (g_lpSession) and to core's rules, and installs the engine's services that
// the lower layers call back into (the mailbox for the session threads, the recorders' host).
#pragma once
#include <atomic>
#include "session/PlayerLink.h"
#include "session/SessionRecord.h"

class AppRecord : public SessionRecord {
 public:
  AppRecord();
  ~AppRecord() override;

  // Sets every member to its start value (done right after construction at start-up; the
  // session identifier buffer is cleared too).
  void ApplyStartValues();

  // --- Process threads ------------------------------------------------------------------
  AtomicHandle h_Process_KernelMessageThread{0};
  AtomicId dw_Process_KernelMessageThreadId{0};
  AtomicHandle h_Process_Terminate_Thread{0};
  AtomicId dw_Process_Terminate_ThreadId{0};
  AtomicHandle h_Process_Init_Thread{0};
  AtomicId dw_Process_Init_ThreadId{0};

  // --- The link to a running player program (network backup) ------------------------------
  player::PlayerLinkBlock PlayerLink;
};

// g_lpApp behaves as a plain AppRecord* (assign, compare, ->, delete); assigning also
// publishes the record to the layers below (see above).
class AppRecordPointer {
 public:
  AppRecordPointer() = default;
  AppRecordPointer(const AppRecordPointer&) = delete;
  AppRecordPointer& operator=(const AppRecordPointer&) = delete;
  AppRecordPointer& operator=(AppRecord* record);

  AppRecord* get() const { return record_.load(); }
  operator AppRecord*() const { return record_.load(); }
  AppRecord* operator->() const { return record_.load(); }
  AppRecord& operator*() const { return *record_.load(); }

 private:
  std::atomic<AppRecord*> record_{nullptr};
};

// The record; null until start-up has constructed it and after the exit step deleted it.
extern AppRecordPointer g_lpApp;
