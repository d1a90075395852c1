// Message sinks and the message-box route.
//
// Each registered sink has its own (recursive) lock, held while it is called. Unregistering
// takes that lock after removing the sink from the table, so once it returns no call is in
// progress and none can start. The lock is recursive so a sink may unregister itself (or
// post to itself) from inside its own call. Posts to one window are delivered one at a time,
// which keeps the order of each posting thread. A thread that has been cancelled posts
// nothing.
#include "platform/messages.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/kernel.h"
#include "platform/thread.h"

namespace plat {
namespace {

struct SinkEntry {
  std::recursive_mutex mutex;
  MessageSink* sink = nullptr;  // null once unregistered; guarded by mutex
};

struct SinkTable {
  std::mutex mutex;
  std::unordered_map<HWND, std::shared_ptr<SinkEntry>> sinks;
  HWND next = 1;
  std::mutex boxMutex;
  MessageBoxHandler boxHandler;
};

SinkTable& Table() {
  static SinkTable* t = new SinkTable;  // never destroyed: workers may post during exit
  return *t;
}

std::shared_ptr<SinkEntry> Find(HWND hwnd) {
  if (hwnd == 0) return nullptr;
  auto& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.sinks.find(hwnd);
  return it == t.sinks.end() ? nullptr : it->second;
}

}  // namespace

HWND RegisterMessageSink(MessageSink* sink) {
  if (!sink) return 0;
  auto entry = std::make_shared<SinkEntry>();
  entry->sink = sink;
  auto& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  while (t.next == 0 || t.sinks.count(t.next)) ++t.next;
  HWND h = t.next++;
  t.sinks.emplace(h, std::move(entry));
  return h;
}

void UnregisterMessageSink(HWND hwnd) {
  std::shared_ptr<SinkEntry> entry;
  {
    auto& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.sinks.find(hwnd);
    if (it == t.sinks.end()) return;
    entry = std::move(it->second);
    t.sinks.erase(it);
  }
  std::lock_guard<std::recursive_mutex> lock(entry->mutex);  // waits for a call in progress
  entry->sink = nullptr;
}

BOOL PostMessage(HWND hwnd, unsigned msg, WPARAM wParam, LPARAM lParam) {
  // A cancelled thread is unwinding: whatever it would report is stale.
  if (IsCancelRequested()) return FALSE_;
  auto entry = Find(hwnd);
  if (!entry) return FALSE_;
  std::lock_guard<std::recursive_mutex> lock(entry->mutex);
  if (!entry->sink) return FALSE_;
  entry->sink->OnPostedMessage(msg, wParam, lParam);
  return TRUE_;
}

BOOL IsWindowAlive(HWND hwnd) { return Find(hwnd) ? TRUE_ : FALSE_; }

PendingAnswer::PendingAnswer() : answered_(CreateEvent(true, false)) {}

PendingAnswer::~PendingAnswer() {
  if (answered_ != 0) CloseHandle(answered_);
}

void PendingAnswer::Give(int answer) {
  int none = 0;
  if (answer_.compare_exchange_strong(none, answer)) SetEvent(answered_);
}

int PendingAnswer::Wait(const std::function<void()>& onAbandon) {
  if (answered_ == 0) return IDCANCEL;
  try {
    if (WaitForSingleObject(answered_, INFINITE) != WAIT_OBJECT_0) return IDCANCEL;
  } catch (const ThreadCancelled&) {
    abandoned_ = true;
    if (onAbandon) onAbandon();
    throw;
  }
  return answer_.load();
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  auto& t = Table();
  std::lock_guard<std::mutex> lock(t.boxMutex);
  MessageBoxHandler previous = std::move(t.boxHandler);
  t.boxHandler = std::move(handler);
  return previous;
}

int MessageBox(HWND owner, const std::string& text, const std::string& caption, unsigned type) {
  MessageBoxHandler handler;
  {
    auto& t = Table();
    std::lock_guard<std::mutex> lock(t.boxMutex);
    handler = t.boxHandler;
  }
  if (handler) return handler(owner, text, caption, type);
  std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
  return IDOK;
}

}  // namespace plat
