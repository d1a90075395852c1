// The handle table and the waits. One mutex covers the table, so the check for a signalled
// object and its consumption happen under the same lock (wait-any and wait-all are atomic).
// Each blocked wait has its own condition, registered on the objects it waits for: a signal
// wakes only the waits of that object, a cancel only the cancelled thread, a clock step only
// the timed waits it concerns. A thread waiting on nothing signalled never wakes.
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
  std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects;
  std::vector<Waiter*> timed;  // waits with a product-clock deadline
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
    case KernelObject::Kind::Resource:
      return false;
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
    case KernelObject::Kind::Resource:
      break;
  }
}

void Erase(std::vector<Waiter*>& list, Waiter* w) {
  auto it = std::find(list.begin(), list.end(), w);
  if (it != list.end()) list.erase(it);
}

// Registers a wait where it can be woken while it blocks; the destructor (under the same
// lock, on return or on ThreadCancelled) takes every registration back.
class Registration {
 public:
  Registration(Waiter& waiter, const std::vector<std::shared_ptr<KernelObject>>& objects,
               CancelToken* token)
      : waiter_(waiter), objects_(objects), token_(token) {}
  ~Registration() {
    if (!active_) return;
    for (const auto& o : objects_) Erase(o->waiters, &waiter_);
    if (token_) token_->waiter = nullptr;
    if (waiter_.timed) Erase(TheTable().timed, &waiter_);
  }
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;

  void Activate(bool timed, double deadlineTicks) {
    if (active_) return;
    active_ = true;
    if (!waiter_.condition) waiter_.condition = std::make_shared<std::condition_variable>();
    for (const auto& o : objects_) o->waiters.push_back(&waiter_);
    if (token_) token_->waiter = &waiter_;
    waiter_.timed = timed;
    waiter_.deadlineTicks = deadlineTicks;
    if (timed) TheTable().timed.push_back(&waiter_);
  }

 private:
  Waiter& waiter_;
  const std::vector<std::shared_ptr<KernelObject>>& objects_;
  CancelToken* token_;
  bool active_ = false;
};

// Checks the objects; consumes and answers WAIT_OBJECT_0 + i when the wait is satisfied.
bool TrySatisfy(const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll,
                DWORD& result) {
  if (objects.empty()) return false;
  if (waitAll) {
    if (!std::all_of(objects.begin(), objects.end(), [](const auto& o) { return IsSignalled(*o); }))
      return false;
    for (auto& o : objects) Consume(*o);
    result = WAIT_OBJECT_0;
    return true;
  }
  for (std::size_t i = 0; i < objects.size(); ++i) {
    if (IsSignalled(*objects[i])) {
      Consume(*objects[i]);
      result = WAIT_OBJECT_0 + static_cast<DWORD>(i);
      return true;
    }
  }
  return false;
}

}  // namespace

DWORD WaitLocked(std::unique_lock<std::mutex>& lock,
                 const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll,
                 double deadlineTicks, const SteadyClock::time_point* realDeadline) {
  CancelToken* token = CurrentToken();
  const bool onProductClock = !realDeadline && deadlineTicks != kInfiniteTicks;
  Waiter self;
  Registration registration(self, objects, token);
  for (bool woke = false;; woke = true) {
    if (woke && token) token->wakeups.fetch_add(1, std::memory_order_relaxed);
    if (token && token->cancelled.load(std::memory_order_acquire)) throw ThreadCancelled();
    DWORD result = WAIT_FAILED;
    if (TrySatisfy(objects, waitAll, result)) return result;
    if (realDeadline) {
      if (SteadyClock::now() >= *realDeadline) return WAIT_TIMEOUT;
      registration.Activate(false, 0);
      self.condition->wait_until(lock, *realDeadline);
    } else if (!onProductClock) {
      registration.Activate(false, 0);
      self.condition->wait(lock);
    } else {
      const ClockReading now = ReadClock();
      if (now.ticks >= deadlineTicks) return WAIT_TIMEOUT;
      registration.Activate(true, deadlineTicks);
      if (now.manual) {
        self.condition->wait(lock);  // Advance wakes it
      } else {
        const double realMs = (deadlineTicks - now.ticks) / now.factor;
        // Rounded up, so the tick count has reached the deadline when the wait ends.
        const auto realNs = std::chrono::nanoseconds(static_cast<std::int64_t>(
            std::min(realMs, 3.15e12) * 1e6) + 1);
        self.condition->wait_until(lock, now.realNow + realNs);
      }
    }
  }
}

std::mutex& TableMutex() { return TheTable().mutex; }

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

void NotifyLocked(KernelObject& object) {
  for (Waiter* w : object.waiters) w->condition->notify_one();
}

void DeferredWakeups::CollectLocked(const KernelObject& object) {
  for (const Waiter* w : object.waiters) conditions_.push_back(w->condition);
}

void DeferredWakeups::Notify() {
  for (const auto& c : conditions_) c->notify_one();
  conditions_.clear();
}

void WakeCancelled(CancelToken& token) {
  std::lock_guard<std::mutex> lock(TableMutex());
  if (token.waiter) token.waiter->condition->notify_one();
}

void WakeTimedWaiters(bool all) {
  Table& t = TheTable();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (t.timed.empty()) return;
  const double now = ReadClock().ticks;
  for (Waiter* w : t.timed) {
    if (all || w->deadlineTicks <= now) w->condition->notify_one();
  }
}

std::size_t TimedWaitCountLocked() { return TheTable().timed.size(); }

DWORD WaitReal(HANDLE handle, std::chrono::nanoseconds timeout) {
  std::unique_lock<std::mutex> lock(TableMutex());
  auto o = LookupLocked(handle);
  if (!o) return WAIT_FAILED;
  const auto deadline = SteadyClock::now() + timeout;
  return WaitLocked(lock, {o}, false, kInfiniteTicks, &deadline);
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
  detail::DeferredWakeups wake;
  {
    std::lock_guard<std::mutex> lock(detail::TableMutex());
    auto o = detail::LookupLocked(event);
    if (!o || o->kind != KernelObject::Kind::Event) return FALSE_;
    o->signalled = true;
    wake.CollectLocked(*o);
  }
  wake.Notify();
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
  detail::DeferredWakeups wake;
  {
    std::lock_guard<std::mutex> lock(detail::TableMutex());
    auto o = detail::LookupLocked(semaphore);
    if (!o || o->kind != KernelObject::Kind::Semaphore || releaseCount <= 0) return FALSE_;
    if (previous) *previous = o->count;
    if (releaseCount > o->maximum - o->count) return FALSE_;
    o->count += releaseCount;
    wake.CollectLocked(*o);
  }
  wake.Notify();
  return TRUE_;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE_, milliseconds);
}

namespace {

// The deadline is taken under the table lock, after the handles were looked up: a relative
// time-out counts from the moment the wait begins.
template <typename Deadline>
DWORD WaitForObjects(DWORD count, const HANDLE* handles, BOOL waitAll, Deadline deadline) {
  if (count == 0 || count > detail::kMaximumWaitObjects || !handles) return WAIT_FAILED;
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
  return detail::WaitLocked(lock, objects, waitAll != FALSE_, deadline());
}

}  // namespace

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  return WaitForObjects(count, handles, waitAll, [milliseconds] {
    return milliseconds == INFINITE ? detail::kInfiniteTicks
                                    : detail::ReadClock().ticks + static_cast<double>(milliseconds);
  });
}

DWORD WaitForMultipleObjectsUntil(DWORD count, const HANDLE* handles, BOOL waitAll, std::uint64_t tick) {
  return WaitForObjects(count, handles, waitAll, [tick] { return static_cast<double>(tick); });
}

DWORD WaitForSingleObjectUntil(HANDLE handle, std::uint64_t tick) {
  return WaitForMultipleObjectsUntil(1, &handle, FALSE_, tick);
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
