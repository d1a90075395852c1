// The "Online User Info" page: rows from ONLINE blocks, Refresh against the fake recorder.
#include <cstring>

#include "config/COnlineUserPage.h"
#include "config/OnlineUsers.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "tests/config/config_fixture.h"
#include "tests/support/MessageBoxRecorder.h"

namespace {

void PutUser(std::uint8_t* section, int n, const char* name, std::uint8_t level, std::uint8_t ch, std::uint8_t res,
             std::uint8_t quality) {
  std::uint8_t* r = section + 24 * n;
  std::memcpy(r, name, std::strlen(name));
  const std::uint8_t ip[4] = {192, 168, 1, static_cast<std::uint8_t>(10 + n)};
  std::memcpy(r + 16, ip, 4);
  r[20] = level;
  r[21] = ch;
  r[22] = res;
  r[23] = quality;
}

std::vector<std::string> Rows(const COnlineUserPage& page) {
  std::vector<std::string> out;
  ui::ReportList* list = page.List();
  for (int r = 0; r < list->GetItemCount(); ++r) {
    std::string row;
    for (int c = 0; c < list->columnCount(); ++c) row += (c ? "|" : "") + list->GetItemText(r, c).toStdString();
    out.push_back(row);
  }
  return out;
}

TEST(OnlineRows, LevelsResolutionsAndGaps) {
  std::uint8_t s[240] = {};
  PutUser(s, 0, "admin", 30, 0, 0, 0);
  PutUser(s, 2, "high", 20, 3, 1, 1);  // record 1 empty: no row
  PutUser(s, 3, "normal", 10, 12, 2, 2);
  PutUser(s, 4, "guestXXXXXXXXXXXX", 0, 1, 7, 9);  // a 16-byte name without its zero
  PutUser(s, 5, "sixth", 30, 0, 0, 0);  // past the fifth record: never shown
  struct Case {
    const char* model;
    bool lines576;
    std::vector<std::string> resolutions;
  } cases[] = {{"K40R", true, {"704*576", "352*288", "176*144", ""}},
               {"K45R", false, {"704*480", "352*240", "176*120", ""}},
               {"K47R", false, {"640*480", "320*240", "160*120", ""}},
               {"K47R", true, {"640*480", "320*240", "160*120", ""}},
               {"K42R", true, {"640*552", "320*276", "160*138", ""}},
               {"K41R", false, {"640*456", "320*228", "160*114", ""}}};
  for (const Case& c : cases) {
    const auto rows = BuildOnlineRows(s, sizeof s, c.model, c.lines576);
    ASSERT_EQ(rows.size(), 4u) << c.model;
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(rows[i].resolution, c.resolutions[i]) << c.model << " " << i;
  }
  const auto rows = BuildOnlineRows(s, sizeof s, "K42R", true);
  EXPECT_EQ(rows[0].name, "admin");
  EXPECT_EQ(rows[0].address, "192.168.1.10");
  EXPECT_EQ(rows[3].name, "guestXXXXXXXXXXX");
  const std::string levels[] = {"SUPERVISOR", "HIGH USER", "NORMAL USER", "GUEST"};
  const std::string qualities[] = {"HIGH", "MIDDLE", "LOW", ""};
  const std::string channels[] = {"DVR", " 3", "12", " 1"};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(rows[i].level, levels[i]);
    EXPECT_EQ(rows[i].quality, qualities[i]);
    EXPECT_EQ(rows[i].channel, channels[i]);
  }
  std::uint8_t unknown[240] = {};
  PutUser(unknown, 0, "x", 99, 0, 0, 0);
  EXPECT_EQ(BuildOnlineRows(unknown, sizeof unknown, "K40R", true)[0].level, "");
  EXPECT_TRUE(BuildOnlineRows(unknown, 0, "K40R", true).empty());
}

class OnlineUserPageTest : public RecorderPageTest {};

TEST_F(OnlineUserPageTest, ChannelColumnOnlyOnAMultiChannelDvr) {
  struct Case {
    const char* model;
    std::uint8_t multi;
    int columns;
    int levelWidth;
  } cases[] = {{"K42R", 1, 6, 60}, {"K42R", 0, 5, 80}, {"K40R", 1, 5, 80}};
  for (const Case& c : cases) {
    Model(c.model);
    app_->by_MultiChannel = c.multi;
    // A guest: a level text short enough for either width (longer texts widen the column).
    PutUser(app_->SysCfg_ONLINE, 0, "admin", 0, 2, 0, 0);
    QWidget host;
    COnlineUserPage page;
    page.CreatePage(&host);
    EXPECT_EQ(page.List()->columnCount(), c.columns) << c.model << int(c.multi);
    EXPECT_EQ(page.List()->columnWidth(2), c.levelWidth);
    EXPECT_EQ(page.m_wUserCount, 1);
  }
}

TEST_F(OnlineUserPageTest, RefreshListsThisLoginAndKeepsRowsOnFailure) {
  MessageBoxRecorder boxes;
  Model("K40R");
  fake_.SetPlausibleSections();
  PutUser(app_->SysCfg_ONLINE, 0, "old", 10, 0, 0, 0);
  QWidget host;
  COnlineUserPage page;
  page.CreatePage(&host);
  EXPECT_EQ(Rows(page), std::vector<std::string>{"old|192.168.1.10|NORMAL USER|704*480|HIGH"});
  // Logged in: the recorder lists the session.
  CCgiRequest login(CGI_LOGIN);
  login.AddParam("Username", "admin");
  login.AddParam("Password", "1234");
  ASSERT_EQ(ZududSendCommand(login, nullptr, 0, nullptr, nullptr, 0, nullptr, 5, 5), 1);
  page.Command(IDC_ONLINE_REFRESH);
  EXPECT_EQ(Rows(page), std::vector<std::string>{"admin|127.0.0.1|SUPERVISOR|352*240|HIGH"});
  EXPECT_EQ(fake_.Requests().back().target(), "/GetSysCfg.cgi?Option=ONLINE&Size=240&Cookie=" + fake_.GetIdentity().sessionId);
  fake_.SetStatus500(true);
  page.Command(IDC_ONLINE_REFRESH);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Get config Error!! Please Try again!!"});
  EXPECT_EQ(Rows(page), std::vector<std::string>{"admin|127.0.0.1|SUPERVISOR|352*240|HIGH"});
  EXPECT_EQ(app_->SysCfg_ONLINE[0], 'a');
}

}  // namespace
