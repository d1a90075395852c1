#include "platform/filelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/internal.h"
#include "platform/thread.h"

namespace plat {

namespace {

struct LockFile {
  int fd = -1;
  ~LockFile() {
    if (fd >= 0) ::close(fd);
  }
};

// The file stays open while a caller holds it, even when the handle is closed meanwhile.
std::shared_ptr<LockFile> FileOf(HANDLE handle) {
  std::lock_guard<std::mutex> lock(detail::TableMutex());
  auto o = detail::LookupLocked(handle);
  if (!o || o->kind != detail::KernelObject::Kind::Resource || !o->resource) return nullptr;
  return std::static_pointer_cast<LockFile>(o->resource);
}

}  // namespace

HANDLE CreateFileLock(const std::string& path) {
  auto file = std::make_shared<LockFile>();
  file->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (file->fd < 0) return 0;
  auto o = std::make_shared<detail::KernelObject>();
  o->kind = detail::KernelObject::Kind::Resource;
  o->resource = file;
  return detail::InsertObject(std::move(o));
}

BOOL TryLockFileLock(HANDLE lock) {
  const auto file = FileOf(lock);
  if (!file) return FALSE_;
  int rc;
  while ((rc = ::flock(file->fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  return rc == 0 ? TRUE_ : FALSE_;
}

BOOL LockFileLock(HANDLE lock) {
  if (!FileOf(lock)) return FALSE_;
  // The holder keeps it for one chunk's write or read: poll in short real-time steps and
  // check for cancellation between them.
  for (;;) {
    if (TryLockFileLock(lock)) return TRUE_;
    if (!FileOf(lock)) return FALSE_;
    CheckCancel();
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

BOOL UnlockFileLock(HANDLE lock) {
  const auto file = FileOf(lock);
  if (!file) return FALSE_;
  return ::flock(file->fd, LOCK_UN) == 0 ? TRUE_ : FALSE_;
}

}  // namespace plat
