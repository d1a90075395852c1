// The configuration sheet's one-shot requests against the fake recorder: the target each
// sends with the session's cookie, and what each answers on a refused reply.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/EventLog.h"
#include "session/SheetCommands.h"
#include "tests/session/session_fixture.h"
#include "tests/support/FakeFirmware.h"
#include "tests/support/WaitUntil.h"

namespace {

class SheetCommandTest : public RecorderFixture {
 protected:
  std::string Cookie() const { return "Cookie=" + recorder_.GetIdentity().sessionId; }
  std::vector<std::string> Sent() const {
    std::vector<std::string> out;
    for (const auto& r : recorder_.Requests()) out.push_back(r.target());
    return out;
  }
};

TEST(SyncTimeRequest, ParametersOfEachMode) {
  SyncTimeChoice clock;
  clock.timeMode = 0;
  clock.year = 2026;
  clock.month = 12;
  clock.day = 11;
  clock.hour = 7;
  clock.minute = 5;
  clock.second = 9;
  clock.server = "ignored";
  SyncTimeChoice named;
  named.timeMode = 1;
  named.serverMode = 0;
  named.server = "pool.example";
  named.zoneIndex = 22;
  named.zoneHours = -3;
  named.zoneMinutes = -30;
  SyncTimeChoice automatic = named;
  automatic.serverMode = 1;
  const struct {
    const SyncTimeChoice* choice;
    const char* target;
  } cases[] = {
      {&clock, "/SyncTime.cgi?Cookie=S1&Mode=0&Year=2026&Month=12&Day=11&Hour=7&Minute=5&Second=9"},
      {&named, "/SyncTime.cgi?Cookie=S1&Mode=1&ServerMode=0&Server=pool.example&NationID=22&Hour=-3&Minute=-30"},
      {&automatic, "/SyncTime.cgi?Cookie=S1&Mode=1&ServerMode=1&NationID=22&Hour=-3&Minute=-30"},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildSyncTimeRequest(*c.choice, "S1").Url(), c.target);
  // Without a session the cookie is left out.
  EXPECT_EQ(BuildSyncTimeRequest(automatic, "").Url(), "/SyncTime.cgi?Mode=1&ServerMode=1&NationID=22&Hour=-3&Minute=-30");
}

TEST_F(SheetCommandTest, EachRequestCarriesTheCookie) {
  UseSession();
  EXPECT_EQ(SendReboot(), 1);
  // Reboot reads no reply: the recorder takes it in its own time.
  ASSERT_TRUE(WaitUntil([&] { return recorder_.RebootCount() == 1; }));
  EXPECT_EQ(SendCancelNetworkBackup(), 1);
  EXPECT_EQ(SendClearLog(), 1);
  SyncTimeChoice automatic;
  automatic.timeMode = 1;
  automatic.serverMode = 1;
  EXPECT_EQ(SendSyncTime(automatic), 1);
  recorder_.Firmware().SetVersion("1.2.3");
  std::string version;
  EXPECT_TRUE(ReadDvrVersion(version));
  EXPECT_EQ(version, "1.2.3");
  EXPECT_EQ(Sent(), (std::vector<std::string>{
                        "/Reboot.cgi?" + Cookie(),
                        "/CancelNB.cgi?" + Cookie(),
                        "/ClearLog.cgi?" + Cookie(),
                        "/SyncTime.cgi?" + Cookie() + "&Mode=1&ServerMode=1&NationID=0&Hour=0&Minute=0",
                        "/GetVersion.cgi?" + Cookie(),
                    }));
  EXPECT_EQ(recorder_.ClearLogCount(), 1);
}

TEST_F(SheetCommandTest, RefusedRepliesAnswerFailure) {
  UseSession();
  recorder_.SetStatus500(true);
  EXPECT_EQ(SendClearLog(), 0);
  EXPECT_EQ(SendSyncTime(SyncTimeChoice{}), 0);
  std::string version = "kept";
  EXPECT_FALSE(ReadDvrVersion(version));
  EXPECT_EQ(version, "kept");
}

}  // namespace
