// A lock shared with another process by name: an advisory whole-file lock (flock) on a file.
// The lock is a handle of the kernel-object table, so CloseHandle frees it like any other.
#pragma once
#include <string>
#include "platform/types.h"

namespace plat {

// Opens (creating it, mode 0600) the lock file; 0 when it cannot be opened. The lock is not
// taken.
HANDLE CreateFileLock(const std::string& path);
// Takes the lock, waiting as long as another holder keeps it. The wait is a cancellation
// point (ThreadCancelled). FALSE for a bad handle.
BOOL LockFileLock(HANDLE lock);
// Takes the lock only when it is free at once.
BOOL TryLockFileLock(HANDLE lock);
BOOL UnlockFileLock(HANDLE lock);

}  // namespace plat
