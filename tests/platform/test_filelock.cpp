// The named file lock shared with another process: held by another holder it waits, a
// cancelled waiter ends at once, and CloseHandle frees it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/filelock.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "tests/support/TempDir.h"

namespace {

TEST(FileLock, WaitsForAnotherHolderAndEndsOnCancel) {
  TempDir dir("lock");
  const std::size_t handles = plat::LiveHandleCount();
  const plat::HANDLE lock = plat::CreateFileLock(dir / "NETWORKBK_1.lock");
  ASSERT_NE(lock, 0u);
  EXPECT_TRUE(plat::TryLockFileLock(lock));
  EXPECT_TRUE(plat::UnlockFileLock(lock));
  // Another holder (the player) has it: a try fails, a wait waits until it lets go.
  const int other = ::open((dir / "NETWORKBK_1.lock").c_str(), O_RDWR);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  EXPECT_FALSE(plat::TryLockFileLock(lock));
  std::atomic<bool> taken{false};
  const plat::HANDLE waiter = plat::CreateThread([&] {
    if (plat::LockFileLock(lock)) {
      taken = true;
      plat::UnlockFileLock(lock);
    }
    return 0u;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(taken.load());
  ::flock(other, LOCK_UN);
  EXPECT_EQ(plat::WaitForSingleObject(waiter, 2000), plat::WAIT_OBJECT_0);
  EXPECT_TRUE(taken.load());
  plat::CloseHandle(waiter);
  // A waiter that is cancelled ends at once without the lock.
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  const plat::HANDLE cancelled = plat::CreateThread([&] {
    plat::LockFileLock(lock);
    return 0u;
  });
  plat::CancelThread(cancelled, 31);
  EXPECT_EQ(plat::WaitForSingleObject(cancelled, 2000), plat::WAIT_OBJECT_0);
  plat::DWORD code = 0;
  plat::GetExitCodeThread(cancelled, &code);
  EXPECT_EQ(code, 31u);
  plat::CloseHandle(cancelled);
  ::close(other);
  // Closed like any handle; a closed or foreign handle is refused.
  EXPECT_TRUE(plat::CloseHandle(lock));
  EXPECT_FALSE(plat::LockFileLock(lock));
  const plat::HANDLE event = plat::CreateEvent(false, false);
  EXPECT_FALSE(plat::TryLockFileLock(event));
  plat::CloseHandle(event);
  EXPECT_EQ(plat::LiveHandleCount(), handles);
  EXPECT_EQ(plat::CreateFileLock(dir / "missing/x.lock"), 0u);
}

}  // namespace
