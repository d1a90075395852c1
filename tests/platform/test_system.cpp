// Local address and starting programs.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "platform/files.h"
#include "platform/net.h"
#include "platform/process.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

using namespace plat;

namespace {

TEST(Net, LocalAddressIsDottedAndOverridable) {
  std::string ip = GetLocalIPv4();
  in_addr a{};
  EXPECT_EQ(inet_pton(AF_INET, ip.c_str(), &a), 1) << ip;
  SetLocalIPv4Override("127.0.0.1");
  EXPECT_EQ(GetLocalIPv4(), "127.0.0.1");
  SetLocalIPv4Override("");
  setenv("TRELVIX_LOCAL_IP", "127.0.0.2", 1);
  EXPECT_EQ(GetLocalIPv4(), "127.0.0.2");
  setenv("TRELVIX_LOCAL_IP", "not an address", 1);
  EXPECT_EQ(GetLocalIPv4(), ip);
  unsetenv("TRELVIX_LOCAL_IP");
}

TEST(Process, SpawnsWithArgumentsAndFolder) {
  TempDir dir;
  // The child writes its working folder and its arguments, unsplit, into a file.
  ASSERT_TRUE(SpawnProcess({"/bin/sh", "-c", "pwd > out.txt; printf '%s|' \"$0\" \"$1\" >> out.txt",
                            "arg with space", "x;y"},
                           dir.path()));
  std::string text;
  WaitUntil([&] {
    text = TempDir::Read(dir / "out.txt");
    return text.find('|', text.find('|') + 1) != std::string::npos;
  }, 2000);
  EXPECT_EQ(text, dir.path() + "\narg with space|x;y|");
  EXPECT_FALSE(SpawnProcess({}));
  EXPECT_FALSE(SpawnProcess({dir / "no-such-program"}));
  EXPECT_FALSE(SpawnProcess({"/bin/true"}, dir / "no-such-folder"));
}

}  // namespace
