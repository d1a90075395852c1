// Logging in from the command line against a fake recorder on 127.0.0.1.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "session/Discovery.h"
#include "connect/RecorderSearchLogin.h"
#include "engine/AppRecord.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "tests/support/FakeRecorder.h"

namespace {

std::uint16_t FreeUdpPort() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

class AutoLoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = std::make_unique<AppRecord>();
    g_lpApp = app_.get();
    g_strLocalIP.Set("127.0.0.1");
    fake::Identity id;
    id.user = "vexor";
    id.password = "vexor";
    recorder_.SetIdentity(id);
    ASSERT_TRUE(recorder_.Start());
    saved_ = plat::SetMessageBoxHandler([this](plat::HWND, const std::string& t, const std::string&, unsigned) {
      boxes_.push_back(t);
      return plat::IDOK;
    });
  }
  void TearDown() override {
    recorder_.Stop();
    ResetDiscoveryEndpoints();
    plat::SetTimeScale(1.0);
    plat::SetMessageBoxHandler(saved_);
    g_lpApp = nullptr;
    SetSessionId("");
  }
  std::unique_ptr<AppRecord> app_;
  fake::FakeRecorder recorder_;
  plat::MessageBoxHandler saved_;
  std::vector<std::string> boxes_;
};

}  // namespace

TEST(AutoLoginText, ArgumentsOrTheWholeLine) {
  EXPECT_EQ(AutoLoginServerText({"10.0.0.5"}, "prog 10.0.0.5"), "10.0.0.5");
  EXPECT_EQ(AutoLoginServerText({"a", "b"}, "x"), "a b");
  EXPECT_EQ(AutoLoginServerText({}, "whole line"), "whole line");
}

TEST_F(AutoLoginTest, AddressOnTheCommandLineLogsInWithTheDefaultAccount) {
  ASSERT_EQ(CommandLineAutoLoginAt("127.0.0.1", recorder_.Port()), 1);
  EXPECT_EQ(app_->w_LoginResult.load(), LOGIN_RESULT_OK);
  EXPECT_EQ(GetSessionId(), "A1B2C3D4E5F6");
  EXPECT_EQ(app_->GetProductID(), "K41R");
  EXPECT_EQ(app_->CSettingINI.m_strUsername.Get(), "vexor");
  EXPECT_EQ(app_->CSettingINI.m_strServerName.Get(), "127.0.0.1");
}

TEST_F(AutoLoginTest, RefusedModelsAndAccounts) {
  fake::Identity k47 = recorder_.GetIdentity();
  k47.productId = "K47R";  // accepted by the login window, not by this login
  recorder_.SetIdentity(k47);
  EXPECT_EQ(CommandLineAutoLoginAt("127.0.0.1", recorder_.Port()), 0);
  EXPECT_NE(app_->w_LoginResult.load(), LOGIN_RESULT_OK);

  fake::Identity other = k47;
  other.productId = "K41R";
  other.password = "secret";
  recorder_.SetIdentity(other);
  EXPECT_EQ(CommandLineAutoLoginAt("127.0.0.1", recorder_.Port()), 0);
}

TEST_F(AutoLoginTest, NameSearchesTheNetworkAndFallsBack) {
  plat::SetTimeScale(20.0);
  const std::uint16_t replyPort = FreeUdpPort();
  ASSERT_TRUE(recorder_.StartDiscovery(0, replyPort, 50));
  DiscoveryEndpoints e;
  e.localPort = 0;
  e.replyPort = replyPort;
  e.targets = {{"127.0.0.1", recorder_.DiscoveryPort()}};
  SetDiscoveryEndpoints(e);
  const std::string found = FindFirstRecorder();
  EXPECT_NE(found, kAutoLoginFallbackServer);
  EXPECT_EQ(recorder_.DiscoveryRequests(), 1);

  // Nobody answers: the fallback address.
  e.targets = {{"127.0.0.1", FreeUdpPort()}};
  SetDiscoveryEndpoints(e);
  EXPECT_EQ(FindFirstRecorder(), kAutoLoginFallbackServer);
  EXPECT_TRUE(boxes_.empty());
}
