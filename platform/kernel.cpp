// The handle table and the waits. One mutex and one condition cover the whole table: with a
// few dozen threads this costs nothing and keeps wait-any and wait-all atomic (the check
// for a signalled object and its consumption happen under the same lock).
#include "platform/kernel.h"

#include <algorithm>
#include <unordered_map>

#include "platform/internal.h"
#include "platform/thread.h"

namespace plat {
namespace detail {
namespace {

struct Table {
  std::mutex mutex;
  std::condition_variable condition;
  std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects;
  HANDLE next = 1;
};

// Never destroyed: detached threads may still end (and signal their handle) while the
// process runs its static destructors.
Table& TheTable() {
  static Table* table = new Table;
  return *table;
}

constexpr DWORD kMaximumWaitObjects = 64;

bool IsSignalled(const KernelObject& o) {
  switch (o.kind) {
    case KernelObject::Kind::Event:
    case KernelObject::Kind::Thread:
      return o.signalled;
    case KernelObject::Kind::Semaphore:
      return o.count > 0;
  }
  return false;
}

void Consume(KernelObject& o) {
  switch (o.kind) {
    case KernelObject::Kind::Event:
      if (!o.manualReset) o.signalled = false;
      break;
    case KernelObject::Kind::Semaphore:
      --o.count;
      break;
    case KernelObject::Kind::Thread:
      break;
  }
}

void ThrowIfCancelled(CancelToken* token) {
  if (token && token->cancelled.load(std::memory_order_acquire)) throw ThreadCancelled();
}

// The common wait: `objects` were resolved under the lock held by `lock`.
DWORD WaitLocked(std::unique_lock<std::mutex>& lock,
                 const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll,
                 std::chrono::nanoseconds timeout) {
  CancelToken* token = CurrentToken();
  const bool infinite = timeout == std::chrono::nanoseconds::max();
  const auto deadline = infinite ? SteadyClock::time_point::max() : SteadyClock::now() + timeout;
  auto& cv = TheTable().condition;
  for (;;) {
    ThrowIfCancelled(token);
    if (waitAll) {
      bool all = std::all_of(objects.begin(), objects.end(),
                             [](const auto& o) { return IsSignalled(*o); });
      if (all) {
        for (auto& o : objects) Consume(*o);
        return WAIT_OBJECT_0;
      }
    } else {
      for (std::size_t i = 0; i < objects.size(); ++i) {
        if (IsSignalled(*objects[i])) {
          Consume(*objects[i]);
          return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
      }
    }
    if (infinite) {
      cv.wait(lock);
    } else {
      if (SteadyClock::now() >= deadline) return WAIT_TIMEOUT;
      cv.wait_until(lock, deadline);
    }
  }
}

}  // namespace

std::mutex& TableMutex() { return TheTable().mutex; }
std::condition_variable& TableCondition() { return TheTable().condition; }

HANDLE InsertObject(std::shared_ptr<KernelObject> object) {
  Table& t = TheTable();
  std::lock_guard<std::mutex> lock(t.mutex);
  // Handles are not reused while the counter has room, so a stale handle fails rather
  // than reaching somebody else's object.
  while (t.next == 0 || t.objects.count(t.next)) ++t.next;
  HANDLE h = t.next++;
  t.objects.emplace(h, std::move(object));
  return h;
}

std::shared_ptr<KernelObject> LookupLocked(HANDLE handle) {
  if (handle == 0) return nullptr;
  auto& objects = TheTable().objects;
  auto it = objects.find(handle);
  return it == objects.end() ? nullptr : it->second;
}

void WakeAllWaiters() {
  Table& t = TheTable();
  { std::lock_guard<std::mutex> lock(t.mutex); }
  t.condition.notify_all();
}

DWORD WaitReal(HANDLE handle, std::chrono::nanoseconds timeout) {
  std::unique_lock<std::mutex> lock(TableMutex());
  auto o = LookupLocked(handle);
  if (!o) return WAIT_FAILED;
  return WaitLocked(lock, {o}, false, timeout);
}

}  // namespace detail

using detail::KernelObject;

HANDLE CreateEvent(bool manualReset, bool initialState) {
  auto o = std::make_shared<KernelObject>();
  o->kind = KernelObject::Kind::Event;
  o->manualReset = manualReset;
  o->signalled = initialState;
  return detail::InsertObject(std::move(o));
}

BOOL SetEvent(HANDLE event) {
  {
    std::lock_guard<std::mutex> lock(detail::TableMutex());
    auto o = detail::LookupLocked(event);
    if (!o || o->kind != KernelObject::Kind::Event) return FALSE_;
    o->signalled = true;
  }
  detail::TableCondition().notify_all();
  return TRUE_;
}

BOOL ResetEvent(HANDLE event) {
  std::lock_guard<std::mutex> lock(detail::TableMutex());
  auto o = detail::LookupLocked(event);
  if (!o || o->kind != KernelObject::Kind::Event) return FALSE_;
  o->signalled = false;
  return TRUE_;
}

HANDLE CreateSemaphore(long initialCount, long maximumCount) {
  if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) return 0;
  auto o = std::make_shared<KernelObject>();
  o->kind = KernelObject::Kind::Semaphore;
  o->count = initialCount;
  o->maximum = maximumCount;
  return detail::InsertObject(std::move(o));
}

BOOL ReleaseSemaphore(HANDLE semaphore, long releaseCount, long* previous) {
  {
    std::lock_guard<std::mutex> lock(detail::TableMutex());
    auto o = detail::LookupLocked(semaphore);
    if (!o || o->kind != KernelObject::Kind::Semaphore || releaseCount <= 0) return FALSE_;
    if (previous) *previous = o->count;
    if (releaseCount > o->maximum - o->count) return FALSE_;
    o->count += releaseCount;
  }
  detail::TableCondition().notify_all();
  return TRUE_;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE_, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > detail::kMaximumWaitObjects || !handles) return WAIT_FAILED;
  const auto timeout = detail::ScaledDuration(milliseconds);
  std::unique_lock<std::mutex> lock(detail::TableMutex());
  std::vector<std::shared_ptr<KernelObject>> objects;
  objects.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    auto o = detail::LookupLocked(handles[i]);
    if (!o) return WAIT_FAILED;
    // Waiting for "all" of one object twice is meaningless (and could never be satisfied
    // by a semaphore unit consumed twice).
    if (waitAll && std::find(objects.begin(), objects.end(), o) != objects.end()) return WAIT_FAILED;
    objects.push_back(std::move(o));
  }
  return detail::WaitLocked(lock, objects, waitAll != FALSE_, timeout);
}

BOOL CloseHandle(HANDLE handle) {
  if (handle == 0) return FALSE_;
  std::shared_ptr<KernelObject> victim;  // released after the lock
  std::lock_guard<std::mutex> lock(detail::TableMutex());
  auto& objects = detail::TheTable().objects;
  auto it = objects.find(handle);
  if (it == objects.end()) return FALSE_;
  victim = std::move(it->second);
  objects.erase(it);
  return TRUE_;
}

std::size_t LiveHandleCount() {
  std::lock_guard<std::mutex> lock(detail::TableMutex());
  return detail::TheTable().objects.size();
}

}  // namespace plat
