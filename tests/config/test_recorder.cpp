// The configuration sheet against the fake recorder: REBOOT, and the recorder's switches the
// configuration pages are tested with.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <chrono>
#include <thread>
#include <gtest/gtest.h>

#include "config/MySystemDialog.h"
#include "engine/AppRecord.h"
#include "tests/config/config_fixture.h"
#include "mainwnd/SystemSheet.h"
#include "platform/net.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/SysCfg.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/MessageBoxRecorder.h"

namespace {

// Whether a connection to 127.0.0.1:port is refused now.
bool ConnectionRefused(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::close(fd);
  return rc != 0;
}

class SheetRecorderTest : public RecorderPageTest {
 protected:
  void SetUp() override {
    RecorderPageTest::SetUp();
    if (HasFatalFailure()) return;
  }
};

TEST_F(SheetRecorderTest, RebootSendsTheCookieAndReportsAFailure) {
  MessageBoxRecorder boxes;
  Model("K47R", "1010");
  fake_.SetRebootOutage(2000);
  MySystemDialog sheet;
  sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  sheet.SheetButton(IDC_SHEET_REBOOT)->click();
  ASSERT_TRUE(fake_.WaitForRequests(1, 3000));
  WaitUntil([&] { return fake_.RebootCount() != 0; }, 3000);
  EXPECT_EQ(fake_.RebootCount(), 1);
  EXPECT_EQ(fake_.Requests().back().target(), "/Reboot.cgi?Cookie=" + app_->GetSessionId());
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_TRUE(sheet.IsSheetOpen());
  // The recorder is away: the second press fails with 4064 and the sheet stays.
  ASSERT_TRUE(WaitUntil([&] { return ConnectionRefused(fake_.Port()); }, 2000));
  sheet.SheetButton(IDC_SHEET_REBOOT)->click();
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "Send command timeout");
  EXPECT_TRUE(sheet.IsSheetOpen());
}

TEST_F(SheetRecorderTest, ExitAndApplyWithNoPageOpenedSendNothing) {
  Model("K40R", "1010");
  for (int button : {IDC_SHEET_EXIT, IDC_SHEET_APPLY}) {
    MySystemDialog sheet;
    sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
    sheet.SheetButton(button)->click();
    EXPECT_FALSE(sheet.IsSheetOpen());
  }
  EXPECT_EQ(fake_.RequestCount(), 0u);
}

TEST_F(SheetRecorderTest, PlausibleSectionsAndAFailingOption) {
  Model("K40R", "0002");
  fake_.SetPlausibleSections();
  fake_.FailSetSysCfg("FTP", true);
  ASSERT_EQ(LoadDeviceConfig(), 1);
  EXPECT_EQ(app_->SysCfg_IP[4], 127);
  EXPECT_EQ(app_->SysCfg_IP[7], 1);
  EXPECT_EQ(app_->SysCfg_IP[16] | (app_->SysCfg_IP[17] << 8), fake_.Port());
  EXPECT_EQ(app_->SysCfg_IP[22], 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(app_->SysCfg_SECURE + 8)), "admin");
  EXPECT_EQ(SetSysCfgSection(SYSCFG_FTP, app_->SysCfg_FTP, kSysCfgSizeFTP, 0), 0);
  EXPECT_EQ(SetSysCfgSection(SYSCFG_DNS, app_->SysCfg_DNS, kSysCfgSizeDNS, 0), 1);
  // A section from a file of the wrong size is refused.
  const std::string path = std::string(std::getenv("TRELVIX_TEST_TMP") ? std::getenv("TRELVIX_TEST_TMP") : "/tmp") +
                           "/sheet-dns-section.bin";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C", 1, 12, f);
  std::fclose(f);
  EXPECT_TRUE(fake_.LoadSectionFile("DNS", path));
  EXPECT_EQ(fake_.Section("DNS"), std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C", 12));
  EXPECT_FALSE(fake_.LoadSectionFile("FTP", path));
  EXPECT_FALSE(fake_.LoadSectionFile("NOPE", path));
  std::remove(path.c_str());
}

// The switches the device pages are tried with: the INF capability word and MULTICH.
TEST_F(SheetRecorderTest, CapabilityWordAndMultiChannelSwitches) {
  Model("K41R", "1100");
  fake_.SetCapabilityWord(0x00000280);
  fake_.SetMultiChannel(1);
  std::uint8_t inf[kSysCfgSizeINF] = {};
  ASSERT_EQ(GetSysCfgSection(SYSCFG_INF, inf, sizeof inf), 1);
  EXPECT_EQ(inf[20], 0x80);
  EXPECT_EQ(inf[21], 0x02);
  EXPECT_EQ(inf[22] | inf[23], 0);
  CCgiRequest info(14);
  info.AddCookie(GetSessionId());
  std::uint8_t reply[512] = {};
  plat::DWORD length = 0;
  ASSERT_EQ(ZududSendCommand(info, nullptr, 0, nullptr, reply, sizeof reply - 1, &length, 15, 15), 1);
  const std::string body(reinterpret_cast<const char*>(reply), length);
  EXPECT_NE(body.find("MULTICH=1;"), std::string::npos) << body;
  EXPECT_NE(body.find("USERLEVEL=30;"), std::string::npos) << body;
}

}  // namespace
