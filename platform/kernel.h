// Kernel objects: events, semaphores and waits with Windows semantics.
//
// Handles are small integers in one table of shared objects. Handle 0 or a closed handle
// fails at once with WAIT_FAILED. Closing a handle while another thread waits on it is safe:
// the waiter keeps its reference and times out (or is woken by another object / cancellation).
// Thread handles (thread.h) live in the same table and are signalled when the thread ends.
//
// Every wait is a cancellation point: when the calling thread's cancel token is set the
// wait throws plat::ThreadCancelled (thread.h). Time-outs follow the test clock (clock.h).
#pragma once
#include <cstdint>

#include "platform/types.h"

namespace plat {

HANDLE CreateEvent(bool manualReset, bool initialState);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// A semaphore with an initial count and a maximum. ReleaseSemaphore fails (and changes
// nothing) when the count would pass the maximum; `previous` receives the count before.
HANDLE CreateSemaphore(long initialCount, long maximumCount);
BOOL ReleaseSemaphore(HANDLE semaphore, long releaseCount = 1, long* previous = nullptr);

// WAIT_OBJECT_0 when signalled (an auto-reset event or a semaphore unit is consumed),
// WAIT_TIMEOUT, or WAIT_FAILED for handle 0 / a closed handle. 0 ms is a test.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// waitAll == false: WAIT_OBJECT_0 + i for the lowest signalled index i; only that object is
// consumed. waitAll == true: all at once, atomically. Any bad handle: WAIT_FAILED.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// As above with an absolute deadline on the tick count (clock.h's GetTickCount64) in place of
// a time-out: WAIT_TIMEOUT once the count has reached `tick` (at once when it has, after
// checking the objects). A manual clock ends the wait when Advance carries it there.
DWORD WaitForMultipleObjectsUntil(DWORD count, const HANDLE* handles, BOOL waitAll, std::uint64_t tick);
DWORD WaitForSingleObjectUntil(HANDLE handle, std::uint64_t tick);

BOOL CloseHandle(HANDLE handle);

// Number of live handles in the table (tests check that teardown closes what it made).
std::size_t LiveHandleCount();

}  // namespace plat
