// Local address and starting programs.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "platform/files.h"
#include "platform/net.h"
#include "platform/process.h"
#include "tempdir.h"

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
  for (int i = 0; i < 200 && text.find('|', text.find('|') + 1) == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    text = TempDir::Read(dir / "out.txt");
  }
  EXPECT_EQ(text, dir.path() + "\narg with space|x;y|");
  EXPECT_FALSE(SpawnProcess({}));
  EXPECT_FALSE(SpawnProcess({dir / "no-such-program"}));
  EXPECT_FALSE(SpawnProcess({"/bin/true"}, dir / "no-such-folder"));
}

}  // namespace
