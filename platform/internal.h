// Shared internals of the kernel-object table, threads and the clock. Not for use outside
// platform/.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>
#include "platform/types.h"

namespace plat::detail {

using SteadyClock = std::chrono::steady_clock;

// One blocked wait. It lives on the waiting thread's stack and is registered (under
// TableMutex()) on every object it waits for, on its thread's cancel token and, when it has a
// time-out on the product clock, in the table's list of timed waits. Whoever changes what the
// wait could be waiting for notifies its condition while holding TableMutex(), so the wait
// cannot have returned (and the waiter gone) in between; or, on the hot paths (SetEvent,
// ReleaseSemaphore), takes a share of the condition under the lock and notifies it after
// releasing the lock, so the woken thread does not at once block on the lock the notifier
// still holds.
struct Waiter {
  std::shared_ptr<std::condition_variable> condition;  // made when the wait first blocks
  bool timed = false;        // in the list of timed waits
  double deadlineTicks = 0;  // product milliseconds, when timed
};

// The cancel token of one thread made by CreateThread.
struct CancelToken {
  std::atomic<bool> cancelled{false};
  std::atomic<DWORD> exitCode{31};
  std::mutex socketsMutex;      // guards sockets; also held while shutting them down
  std::vector<int> sockets;     // registered socket descriptors
  Waiter* waiter = nullptr;     // the thread's blocked wait; guarded by TableMutex()
  std::atomic<std::uint64_t> wakeups{0};  // times a blocked wait of the thread woke
};

// The calling thread's token; null for threads not made by CreateThread.
CancelToken* CurrentToken();

// One object of the handle table. Every field but `token` is guarded by TableMutex().
struct KernelObject {
  enum class Kind { Event, Semaphore, Thread, Resource };
  Kind kind = Kind::Event;
  bool manualReset = false;   // events
  bool signalled = false;     // events; threads (ended)
  long count = 0;             // semaphores
  long maximum = 0;           // semaphores
  DWORD exitCode = STILL_ACTIVE;        // threads
  DWORD threadId = 0;                   // threads
  int nativeTid = 0;                    // threads (0 until started)
  std::shared_ptr<CancelToken> token;   // threads
  std::vector<Waiter*> waiters;         // waits blocked on this object
  std::shared_ptr<void> resource;       // resources (never signalled): freed with the last reference
};

// The one lock of the table: object states and waiter registrations.
std::mutex& TableMutex();

// Table access; the Locked variants need TableMutex() held.
HANDLE InsertObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupLocked(HANDLE handle);

// Wakes the waits blocked on `object` so they recheck it. Needs TableMutex() held.
void NotifyLocked(KernelObject& object);

// The conditions of the waits blocked on `object`, to be notified once TableMutex() is released
// (Notify). Collecting needs TableMutex() held.
class DeferredWakeups {
 public:
  void CollectLocked(const KernelObject& object);
  void Notify();

 private:
  std::vector<std::shared_ptr<std::condition_variable>> conditions_;
};

// Wakes the blocked wait (if any) of the thread owning `token` so it sees the cancel.
void WakeCancelled(CancelToken& token);

// Wakes timed waits after the clock moved: every one when `all` (the scale or the mode
// changed), else those whose deadline has passed. Called without TableMutex() held.
void WakeTimedWaiters(bool all);
std::size_t TimedWaitCountLocked();

// The product clock as the waits see it. Lock order: TableMutex() before the clock's own.
struct ClockReading {
  double ticks;                      // product milliseconds now
  bool manual;                       // time moves only by Advance
  double factor;                     // product milliseconds per real millisecond
  SteadyClock::time_point realNow;   // the real time of the reading
};
ClockReading ReadClock();

// Blocks until one/all of `objects` is signalled (consuming as WaitForMultipleObjects does)
// or, with no objects, only until the deadline or cancellation. `deadlineTicks` is product
// time (kInfiniteTicks: no deadline); `realDeadline`, when set, is a real-time bound instead.
constexpr double kInfiniteTicks = -1;
DWORD WaitLocked(std::unique_lock<std::mutex>& lock,
                 const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll,
                 double deadlineTicks, const SteadyClock::time_point* realDeadline = nullptr);

// Waits until `handle` is signalled, for a real (unscaled) duration. Used by StopThread.
DWORD WaitReal(HANDLE handle, std::chrono::nanoseconds timeout);

}  // namespace plat::detail
