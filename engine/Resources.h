// The client's kernel objects, threads and buffers in four groups, each with one creating
// and one releasing routine:
//   frame buffers        AllocateSystemBuffer / FreeSystemBuffer
//   pipeline semaphores  InitialSemaphore     / FreeSemaphore
//   process objects      InitProcessResource  / ExitProcessResource
//   session objects      InitLoginResource    / ExitLoginResource
// Creating routines answer 1, or 0 when something cannot be created (what was made so far is
// left for the releasing routine). Releasing routines answer 1, close or free only what
// exists, set every member they release back to 0 and may run any number of times.
// Threads are never killed: a thread that does not end within its bound is cancelled
// (plat::StopThread with exit code 31). One that does not end even then may still use the
// buffers, semaphores and the application record: FreeSystemBuffer and FreeSemaphore then
// keep them (traced) and answer 0, and the process exits without freeing them.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include "platform/types.h"

int AllocateSystemBuffer();
int FreeSystemBuffer();
int InitialSemaphore();
int FreeSemaphore();
int InitProcessResource();
int ExitProcessResource();
int InitLoginResource();
int ExitLoginResource();

// Allocates lp_ScreenBuffer (the main window's full-screen picture) with the allocator that
// FreeSystemBuffer releases; a previous buffer is freed first. 0 when it cannot be allocated.
int AllocateScreenBuffer(std::size_t bytes);

// True (and traced, naming `what`) while a thread that a bounded stop gave up on still runs:
// what it may use must then be kept.
bool KeepForStrandedThreads(const char* what);

// True while any session object (thread or event) exists.
bool SessionObjectsExist();

// The lock that serialises the teardown and the rebuild of the session group, wherever they
// are started (the teardown and rebuild workers, the main window's close, the exit step).
// Recursive; waiting for it is cancellable.
class SessionResourceLock {
 public:
  SessionResourceLock();
  ~SessionResourceLock();
  SessionResourceLock(const SessionResourceLock&) = delete;
  SessionResourceLock& operator=(const SessionResourceLock&) = delete;
};

// Stops a thread held in a handle member the way every release step does: waits waitMs for
// it, cancels it when it still runs, closes the handle and sets the member (and its id) to 0.
// Does nothing for a member that is 0. The member keeps the handle until the thread has
// ended, so a release that is itself cancelled half-way leaves the thread to the next one.
// Answers WAIT_OBJECT_0 when the thread ended by itself within waitMs.
plat::DWORD StopThreadMember(std::atomic<plat::HANDLE>& thread, std::atomic<plat::DWORD>* id,
                             plat::DWORD waitMs);

// Closes the handle in a member and sets it to 0; nothing for 0.
void CloseHandleMember(std::atomic<plat::HANDLE>& handle);
