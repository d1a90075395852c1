// Threads with cooperative cancellation. No thread is ever killed.
//
// Every thread made by CreateThread has a cancel token. CancelThread sets it: all of that
// thread's waits and sleeps wake at once and throw ThreadCancelled, and every socket the
// thread registered (SocketCancelRegistration) is shut down so a blocked recv/send/connect
// returns at once. ThreadCancelled unwinds to the thread's entry trampoline (RAII releases
// locks, files and sockets), which ends the thread with the exit code given to CancelThread.
// Never swallow ThreadCancelled in a catch-all: rethrow it.
// A cancelled thread writes no shared state and posts nothing after it wakes.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include "platform/types.h"

namespace plat {

class ThreadCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "thread cancelled"; }
};

using ThreadProc = std::function<DWORD()>;

// Starts a thread; the handle is a waitable kernel object (signalled when the thread has
// ended) and must be closed with CloseHandle. Returns 0 when the thread cannot be started.
HANDLE CreateThread(ThreadProc proc, DWORD* threadId = nullptr, const char* name = nullptr);

// STILL_ACTIVE while running, then the thread's return value (or the cancel exit code).
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);

// Sets the thread's cancel token; the thread ends with exitCode once it unwinds.
BOOL CancelThread(HANDLE thread, DWORD exitCode = 31);

// Stops a thread in bounded time: waits `waitMs` for it to end; if it still runs, cancels it
// (exit code `exitCode`) and waits up to 2 s more for it to unwind, logging to stderr if it
// still runs. WAIT_OBJECT_0 when it ended in the first wait, WAIT_TIMEOUT when it had to be
// cancelled. Does not close the handle.
DWORD StopThread(HANDLE thread, DWORD waitMs, DWORD exitCode = 31);

// Threads that StopThread gave up on (still running after being cancelled and waited for)
// and that have not ended since. While it is not 0, whatever such a thread may use must not
// be freed.
std::size_t StrandedThreadCount();

// A recursive lock whose wait is a platform wait: cancelling the waiting thread ends the wait
// with ThreadCancelled (the lock is then not taken). Holds one semaphore handle from its
// construction (make long-lived ones before main, so handle counts in tests stay even).
class CancellableMutex {
 public:
  CancellableMutex();
  ~CancellableMutex();
  CancellableMutex(const CancellableMutex&) = delete;
  CancellableMutex& operator=(const CancellableMutex&) = delete;

  void lock();    // throws ThreadCancelled when the waiting thread is cancelled
  void unlock();  // by the owner, once per lock()

 private:
  HANDLE sem_;
  std::atomic<DWORD> owner_{0};
  unsigned depth_ = 0;  // touched by the owner only
};

// Cancellation checks for the calling thread (threads not made by CreateThread are never
// cancelled).
bool IsCancelRequested();
void CheckCancel();  // throws ThreadCancelled when cancel was requested

DWORD GetCurrentThreadId();
BOOL SetThreadPriorityHighest(HANDLE thread);  // best effort; never fails the caller

// Threads made by CreateThread that have not yet returned (tests count them).
std::size_t LiveThreadCount();

// Waits for the threads whose procedure has ended to be wholly gone (the C library's and other
// libraries' clean-up after the procedure). Runs at every thread start and at the process's
// exit; a thread still running is left alone.
void JoinEndedThreads();

// How many times a blocked wait or sleep of the thread has woken (to be satisfied, to time
// out, to see a cancel or a clock change, or spuriously). A thread blocked on objects that
// nobody signals stays at its count. 0 for a bad handle.
std::uint64_t ThreadWaitWakeups(HANDLE thread);

// While alive, cancelling the owning (calling) thread shuts `fd` down (SHUT_RDWR) so blocked
// socket calls return at once. Register right after the socket is made.
class SocketCancelRegistration {
 public:
  explicit SocketCancelRegistration(int fd);
  ~SocketCancelRegistration();
  SocketCancelRegistration(const SocketCancelRegistration&) = delete;
  SocketCancelRegistration& operator=(const SocketCancelRegistration&) = delete;

 private:
  int fd_;
  void* token_;
};

}  // namespace plat
