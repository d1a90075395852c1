// Shared internals of the kernel-object table, threads and the clock. Not for use outside
// platform/.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>
#include "platform/types.h"

namespace plat::detail {

using SteadyClock = std::chrono::steady_clock;

// The cancel token of one thread made by CreateThread.
struct CancelToken {
  std::atomic<bool> cancelled{false};
  std::atomic<DWORD> exitCode{31};
  std::mutex socketsMutex;      // guards sockets; also held while shutting them down
  std::vector<int> sockets;     // registered socket descriptors
};

// The calling thread's token; null for threads not made by CreateThread.
CancelToken* CurrentToken();

// One object of the handle table. Every field but `token` is guarded by TableMutex().
struct KernelObject {
  enum class Kind { Event, Semaphore, Thread };
  Kind kind = Kind::Event;
  bool manualReset = false;   // events
  bool signalled = false;     // events; threads (ended)
  long count = 0;             // semaphores
  long maximum = 0;           // semaphores
  DWORD exitCode = STILL_ACTIVE;        // threads
  DWORD threadId = 0;                   // threads
  int nativeTid = 0;                    // threads (0 until started)
  std::shared_ptr<CancelToken> token;   // threads
};

// The one lock and condition of the table. Every state change that a wait could be
// waiting for (signal, thread end, cancellation) notifies the condition.
std::mutex& TableMutex();
std::condition_variable& TableCondition();

// Table access; the Locked variants need TableMutex() held.
HANDLE InsertObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupLocked(HANDLE handle);

// Wakes every wait so it rechecks its objects and its thread's cancel token.
void WakeAllWaiters();

// A product-time duration in real time under the test clock's scale (INFINITE -> max()).
std::chrono::nanoseconds ScaledDuration(DWORD milliseconds);

// Waits until `handle` is signalled, for a real (unscaled) duration. Used by StopThread.
DWORD WaitReal(HANDLE handle, std::chrono::nanoseconds timeout);

}  // namespace plat::detail
