// The shut-down signals: the first one is noted for the GUI thread, a later one ends at once.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "platform/signals.h"

namespace {

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

TEST(ShutdownSignals, TheFirstSignalIsNotedAndALaterOneEndsTheProcess) {
  for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signo);
    const int fd = plat::InstallShutdownSignals();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(plat::InstallShutdownSignals(), fd);  // installed once
    EXPECT_EQ(plat::TakeShutdownSignal(), 0);
    ASSERT_EQ(::raise(signo), 0);  // the process goes on
    EXPECT_TRUE(Readable(fd));
    EXPECT_EQ(plat::TakeShutdownSignal(), signo);
    EXPECT_EQ(plat::TakeShutdownSignal(), 0);
    EXPECT_FALSE(Readable(fd));
    plat::RemoveShutdownSignals();
  }
  const std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
    EXPECT_EXIT(
        {
          plat::InstallShutdownSignals();
          ::raise(SIGTERM);  // the shut-down begins
          ::raise(signo);    // the next one does not wait for it
          ::_exit(0);
        },
        ::testing::KilledBySignal(signo), "")
        << signo;
  }
  GTEST_FLAG_SET(death_test_style, style);
}

}  // namespace
