// Threads with cancel tokens. A thread runs behind its handle; its entry trampoline turns
// ThreadCancelled into the cancel exit code and signals the handle only after the thread
// procedure and everything it captured are gone. Nobody joins a thread through its handle:
// ended threads are joined in passing (the next start, the process's exit), so that what a
// thread does after its procedure (libraries' clean-up of their per-thread data) is over
// before the process takes down the libraries.
#include "platform/thread.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <thread>

#include "platform/internal.h"
#include "platform/kernel.h"

namespace plat {
namespace detail {
namespace {

thread_local CancelToken* t_token = nullptr;
thread_local DWORD t_threadId = 0;

std::atomic<DWORD> g_nextThreadId{1000};
std::atomic<std::size_t> g_liveThreads{0};

// Threads a bounded stop gave up on that have not ended yet, by id.
// Never destroyed: a detached thread may still be taking itself off the list while the
// process runs its static destructors.
std::mutex& g_strandedMutex = *new std::mutex;
std::set<DWORD>& g_stranded = *new std::set<DWORD>;

// A started thread until it is joined. `done` is set once the thread's procedure has returned,
// before its handle is signalled; what follows (signalling, the C library's end of the thread)
// never waits for long, and joining waits for it.
struct Joinable {
  std::thread thread;  // set by the starter under g_joinMutex
  std::atomic<bool> done{false};
};
std::mutex& g_joinMutex = *new std::mutex;
std::list<std::shared_ptr<Joinable>>& g_joinables = *new std::list<std::shared_ptr<Joinable>>;

// Joins the threads whose entry has returned; those still running stay on the list, or with
// `detachRunning` (the process's exit) are let go, as no one will wait for them any more.
void JoinEnded(bool detachRunning = false) {
  std::vector<std::shared_ptr<Joinable>> ended;
  {
    std::lock_guard<std::mutex> lock(g_joinMutex);
    for (auto it = g_joinables.begin(); it != g_joinables.end();) {
      if (!(*it)->thread.joinable()) {
        ++it;  // its starter has not stored it yet
      } else if ((*it)->done.load()) {
        ended.push_back(std::move(*it));
        it = g_joinables.erase(it);
      } else if (detachRunning) {
        (*it)->thread.detach();
        it = g_joinables.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& j : ended) j->thread.join();
}

void JoinEndedAtExit() { JoinEnded(true); }

DWORD NewThreadId() {
  DWORD id = g_nextThreadId.fetch_add(1, std::memory_order_relaxed);
  if (id == 0) id = g_nextThreadId.fetch_add(1, std::memory_order_relaxed);
  return id;
}

void ShutdownSockets(CancelToken& token) {
  std::lock_guard<std::mutex> lock(token.socketsMutex);
  for (int fd : token.sockets) ::shutdown(fd, SHUT_RDWR);
}

void ThreadMain(std::shared_ptr<KernelObject> self, std::shared_ptr<CancelToken> token,
                ThreadProc proc, DWORD id, std::string name, std::shared_ptr<Joinable> joinable) {
  t_token = token.get();
  t_threadId = id;
  if (!name.empty()) {
    // The kernel keeps at most 15 characters.
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
  }
  {
    std::lock_guard<std::mutex> lock(TableMutex());
    self->nativeTid = static_cast<int>(::syscall(SYS_gettid));
  }
  DWORD exitCode = 0;
  try {
    exitCode = proc();
  } catch (const ThreadCancelled&) {
    exitCode = token->exitCode.load();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "trelvix: thread %s ended by an exception: %s\n",
                 name.empty() ? "(unnamed)" : name.c_str(), e.what());
    exitCode = 1;
  } catch (...) {
    std::fprintf(stderr, "trelvix: thread %s ended by an unknown exception\n",
                 name.empty() ? "(unnamed)" : name.c_str());
    exitCode = 1;
  }
  // Captured objects are released before anybody waiting on the handle goes on.
  proc = nullptr;
  if (exitCode == STILL_ACTIVE) exitCode = 0;  // would read as "still running"
  g_liveThreads.fetch_sub(1);
  joinable->done.store(true);
  {
    std::lock_guard<std::mutex> lock(TableMutex());
    self->exitCode = exitCode;
    self->signalled = true;
    NotifyLocked(*self);
  }
  {
    // After `signalled` is set: a stop that looks at this thread from now on sees it ended.
    std::lock_guard<std::mutex> lock(g_strandedMutex);
    g_stranded.erase(id);
  }
  t_token = nullptr;
}

}  // namespace

CancelToken* CurrentToken() { return t_token; }

}  // namespace detail

using detail::CancelToken;
using detail::KernelObject;

HANDLE CreateThread(ThreadProc proc, DWORD* threadId, const char* name) {
  if (!proc) return 0;
  auto object = std::make_shared<KernelObject>();
  object->kind = KernelObject::Kind::Thread;
  object->token = std::make_shared<CancelToken>();
  object->threadId = detail::NewThreadId();
  HANDLE handle = detail::InsertObject(object);
  detail::JoinEnded();
  static const bool joinAtExit = std::atexit(detail::JoinEndedAtExit) == 0;
  (void)joinAtExit;
  auto joinable = std::make_shared<detail::Joinable>();
  detail::g_liveThreads.fetch_add(1);
  try {
    std::thread t(detail::ThreadMain, object, object->token, std::move(proc), object->threadId,
                  std::string(name ? name : ""), joinable);
    std::lock_guard<std::mutex> lock(detail::g_joinMutex);
    joinable->thread = std::move(t);
    detail::g_joinables.push_back(std::move(joinable));
  } catch (const std::system_error& e) {
    std::fprintf(stderr, "trelvix: cannot start thread %s: %s\n", name ? name : "", e.what());
    detail::g_liveThreads.fetch_sub(1);
    CloseHandle(handle);
    return 0;
  }
  if (threadId) *threadId = object->threadId;
  return handle;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  std::lock_guard<std::mutex> lock(detail::TableMutex());
  auto o = detail::LookupLocked(thread);
  if (!o || o->kind != KernelObject::Kind::Thread) return FALSE_;
  if (exitCode) *exitCode = o->signalled ? o->exitCode : STILL_ACTIVE;
  return TRUE_;
}

BOOL CancelThread(HANDLE thread, DWORD exitCode) {
  std::shared_ptr<CancelToken> token;
  {
    std::lock_guard<std::mutex> lock(detail::TableMutex());
    auto o = detail::LookupLocked(thread);
    if (!o || o->kind != KernelObject::Kind::Thread) return FALSE_;
    if (o->signalled) return TRUE_;  // already ended
    token = o->token;
  }
  if (!token->cancelled.load()) {
    token->exitCode.store(exitCode);
    token->cancelled.store(true, std::memory_order_release);
  }
  detail::ShutdownSockets(*token);
  detail::WakeCancelled(*token);
  return TRUE_;
}

DWORD StopThread(HANDLE thread, DWORD waitMs, DWORD exitCode) {
  DWORD r = WaitForSingleObject(thread, waitMs);
  if (r != WAIT_TIMEOUT) return r;
  CancelThread(thread, exitCode);
  if (detail::WaitReal(thread, std::chrono::seconds(2)) == WAIT_TIMEOUT) {
    DWORD id = 0;
    bool running = false;
    {
      std::lock_guard<std::mutex> stranded(detail::g_strandedMutex);
      {
        std::lock_guard<std::mutex> lock(detail::TableMutex());
        if (auto o = detail::LookupLocked(thread)) {
          id = o->threadId;
          running = !o->signalled;
        }
      }
      if (running) detail::g_stranded.insert(id);
    }
    if (running) {
      std::fprintf(stderr, "trelvix: thread %u did not end within 2 s of being cancelled\n",
                   static_cast<unsigned>(id));
    }
  }
  return WAIT_TIMEOUT;
}

CancellableMutex::CancellableMutex() : sem_(CreateSemaphore(1, 1)) {}

CancellableMutex::~CancellableMutex() {
  if (sem_ != 0) CloseHandle(sem_);
}

void CancellableMutex::lock() {
  const DWORD me = GetCurrentThreadId();
  if (owner_.load() == me) {
    ++depth_;
    return;
  }
  if (sem_ == 0 || WaitForSingleObject(sem_, INFINITE) != WAIT_OBJECT_0) {
    // No semaphore could be made: the lock cannot exclude anybody; refuse loudly.
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                            "cancellable lock without its semaphore");
  }
  owner_.store(me);
  depth_ = 1;
}

void CancellableMutex::unlock() {
  if (--depth_ != 0) return;
  owner_.store(0);
  ReleaseSemaphore(sem_, 1);
}

std::size_t StrandedThreadCount() {
  std::lock_guard<std::mutex> lock(detail::g_strandedMutex);
  return detail::g_stranded.size();
}

bool IsCancelRequested() {
  CancelToken* t = detail::CurrentToken();
  return t && t->cancelled.load(std::memory_order_acquire);
}

void CheckCancel() {
  if (IsCancelRequested()) throw ThreadCancelled();
}

DWORD GetCurrentThreadId() {
  if (detail::t_threadId == 0) detail::t_threadId = detail::NewThreadId();
  return detail::t_threadId;
}

BOOL SetThreadPriorityHighest(HANDLE thread) {
  int tid = 0;
  {
    std::lock_guard<std::mutex> lock(detail::TableMutex());
    auto o = detail::LookupLocked(thread);
    if (o && o->kind == KernelObject::Kind::Thread) tid = o->nativeTid;
  }
  // Raising priority needs privileges most users lack; failing is harmless.
  if (tid > 0) (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), -5);
  return TRUE_;
}

std::size_t LiveThreadCount() { return detail::g_liveThreads.load(); }

void JoinEndedThreads() { detail::JoinEnded(); }

std::uint64_t ThreadWaitWakeups(HANDLE thread) {
  std::lock_guard<std::mutex> lock(detail::TableMutex());
  auto o = detail::LookupLocked(thread);
  if (!o || o->kind != KernelObject::Kind::Thread || !o->token) return 0;
  return o->token->wakeups.load(std::memory_order_relaxed);
}

SocketCancelRegistration::SocketCancelRegistration(int fd) : fd_(fd), token_(detail::CurrentToken()) {
  auto* token = static_cast<CancelToken*>(token_);
  if (!token || fd_ < 0) return;
  std::lock_guard<std::mutex> lock(token->socketsMutex);
  token->sockets.push_back(fd_);
  // Registered after the cancel: the socket must not block either.
  if (token->cancelled.load(std::memory_order_acquire)) ::shutdown(fd_, SHUT_RDWR);
}

SocketCancelRegistration::~SocketCancelRegistration() {
  auto* token = static_cast<CancelToken*>(token_);
  if (!token || fd_ < 0) return;
  std::lock_guard<std::mutex> lock(token->socketsMutex);
  auto it = std::find(token->sockets.begin(), token->sockets.end(), fd_);
  if (it != token->sockets.end()) token->sockets.erase(it);
}

}  // namespace plat
