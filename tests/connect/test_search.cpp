// LAN discovery against fake recorders that answer on 127.0.0.1.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "session/Discovery.h"
#include "connect/LoginDialog.h"
#include "connect/SearchDeviceDlg.h"
#include "platform/clock.h"
#include "tests/connect/connect_fixture.h"
#include "tests/support/QtWait.h"

namespace {

// A UDP socket bound on 127.0.0.1 (port 0: a free one).
struct UdpPort {
  int fd = -1;
  std::uint16_t port = 0;
  explicit UdpPort(std::uint16_t wanted = 0) {
    fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(wanted);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~UdpPort() { Close(); }
  void Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

// A responder on 127.0.0.1 that answers every request with an empty datagram and one a byte
// short of a packet, both saying "refused" of a kind that may not be changed, and then a whole
// packet: a search gets a "4CH MPEG4 DVR", a set-address or reset gets "done".
class ShortFirstResponder {
 public:
  explicit ShortFirstResponder(std::uint16_t replyPort) : replyPort_(replyPort), thread_([this] { Run(); }) {}
  ~ShortFirstResponder() {
    stop_ = true;
    thread_.join();
  }
  std::uint16_t Port() const { return socket_.port; }

 private:
  void Run() {
    while (!stop_) {
      pollfd p{socket_.fd, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      std::uint8_t request[kDiscoveryPacketSize];
      if (::recv(socket_.fd, request, sizeof request, 0) < 17) continue;
      const bool search = request[16] == 1;
      std::uint8_t reply[kDiscoveryPacketSize] = {};
      const std::uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
      std::memcpy(reply + 18, mac, 6);
      const std::uint8_t ip[4] = {127, 0, 0, 1};
      std::memcpy(reply + 56, ip, 4);
      reply[72] = 80;
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      to.sin_port = htons(replyPort_);
      auto send = [&](std::size_t size) {
        ::sendto(socket_.fd, reply, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
      };
      reply[17] = search ? 113 : 0;
      send(0);
      send(kDiscoveryPacketSize - 1);
      reply[17] = search ? 83 : 1;
      send(kDiscoveryPacketSize);
    }
  }

  UdpPort socket_;
  std::uint16_t replyPort_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class SearchTest : public ConnectFixture {
 protected:
  void SetUp() override {
    ConnectFixture::SetUp();
    plat::SetTimeScale(20.0);  // the 5 s and 10 s windows of the search pass in a blink
    UdpPort free;
    replyPort_ = free.port;
    free.Close();
    fake::Identity a;
    a.mac = "00112233AABB";
    first_.SetIdentity(a);
    fake::Identity b;
    b.mac = "0011223344CC";
    second_.SetIdentity(b);
    // Recorders' web ports fit the port field (0 to 9999).
    ASSERT_TRUE(StartLowPort(first_));
    ASSERT_TRUE(StartLowPort(second_));
    ASSERT_TRUE(first_.StartDiscovery(0, replyPort_, 50));
    ASSERT_TRUE(second_.StartDiscovery(0, replyPort_, 83));
    Use({&first_, &second_});
    app_->CSettingINI.m_wLastMAC1 = 0xAA;  // the first recorder was used last
    app_->CSettingINI.m_wLastMAC2 = 0xBB;
  }
  void TearDown() override {
    first_.Stop();
    second_.Stop();
    ResetDiscoveryEndpoints();
    plat::SetTimeScale(1.0);
    ConnectFixture::TearDown();
  }
  void Use(std::vector<fake::FakeRecorder*> responders) {
    DiscoveryEndpoints e;
    e.localPort = 0;
    e.replyPort = replyPort_;
    e.targets.clear();
    for (auto* r : responders) e.targets.push_back({"127.0.0.1", r->DiscoveryPort()});
    SetDiscoveryEndpoints(e);
  }
  static void WaitForSearch(CSearchDeviceDlg& d) { ASSERT_TRUE(WaitUntil([&] { return !d.IsSearching(); }, 5000, PumpEvents)); }
  static QTreeWidget* List(CSearchDeviceDlg& d) { return d.Item<QTreeWidget>(search_id::kList); }
  static void SelectRow(CSearchDeviceDlg& d, int row) {
    List(d)->topLevelItem(row)->setSelected(true);
  }
  static void Answer(const char* user, const char* password, bool ok = true) {
    WhenModal<CConfirmAuthorityDlg>([=](CConfirmAuthorityDlg& c) {
      c.Item<QLineEdit>(1040)->setText(user);
      c.Item<QLineEdit>(1043)->setText(password);
      c.Command(ok ? plat::IDOK : plat::IDCANCEL);
    });
  }

  std::uint16_t replyPort_ = 0;
  fake::FakeRecorder first_, second_;
};

TEST_F(SearchTest, TwoRespondersAreListedNewestFirstWithTheRecorderUsedLastMarked) {
  CSearchDeviceDlg dlg;
  dlg.OnInitDialog();
  dlg.show();
  EXPECT_FALSE(dlg.GetDlgItem(search_id::kList)->isEnabled());
  EXPECT_FALSE(dlg.GetDlgItem(search_id::kOK)->isEnabled());
  WaitForSearch(dlg);
  EXPECT_EQ(dlg.windowTitle(), "Stop_Search");
  for (int id : {search_id::kList, search_id::kOK, search_id::kSearchAgain, search_id::kApply, search_id::kReset}) {
    EXPECT_TRUE(dlg.GetDlgItem(id)->isEnabled()) << id;
  }
  EXPECT_FALSE(dlg.GetDlgItem(search_id::kServerIP)->isEnabled());

  ASSERT_EQ(dlg.m_nDeviceCount, 2);
  ASSERT_EQ(List(dlg)->topLevelItemCount(), 2);
  // Row 0 is the reply that came last.
  for (int row = 0; row < 2; ++row) {
    const DiscoveredDevice& d = dlg.m_devices[static_cast<std::size_t>(1 - row)];
    const QTreeWidgetItem* item = List(dlg)->topLevelItem(row);
    EXPECT_EQ(item->text(1).toStdString(), d.strMac);
    const bool previous = d.strMac == "00:11:22:33:aa:bb";
    EXPECT_EQ(item->text(0), "127.0.0.1");
    EXPECT_EQ(item->text(3), previous ? "Video Server" : "4CH MPEG4 DVR");
    EXPECT_EQ(item->text(4), previous ? "PREVIOUS" : "");
    EXPECT_EQ(item->text(2).toUInt(), previous ? first_.Port() : second_.Port());
  }
  // What went out: one search request from our address.
  const std::string request = first_.LastDiscoveryRequest();
  ASSERT_EQ(request.size(), 76u);
  EXPECT_EQ(request.substr(0, 10), std::string("ZQ_SEARCH\0", 10));
  EXPECT_EQ(request[16], 1);
  EXPECT_EQ(request.substr(56, 4), std::string("\x7f\0\0\x01", 4));
  EXPECT_EQ(static_cast<unsigned char>(request[72]) | static_cast<unsigned char>(request[73]) << 8, 3333);

  // Selecting the top row fills the edits with the last reply.
  SelectRow(dlg, 0);
  const DiscoveredDevice& last = dlg.m_devices[1];
  EXPECT_EQ(dlg.m_nSelectedDevice, 1);
  EXPECT_EQ(dlg.GetDlgItemText(search_id::kMacAddress).toStdString(), last.strMac);
  EXPECT_EQ(dlg.GetDlgItemText(search_id::kWebPort).toUInt(), last.dwPort);
  EXPECT_EQ(dlg.GetDlgItemText(search_id::kGateway), "127.0.0.254");
  EXPECT_EQ(dlg.GetDlgItemText(search_id::kDNSServer), "127.0.0.53");
  EXPECT_EQ(dlg.GetDlgItemText(search_id::kNetMask), "255.0.0.0");
  EXPECT_TRUE(dlg.GetDlgItem(search_id::kServerIP)->isEnabled());

  QTest::keyClick(&dlg, Qt::Key_Escape);  // Escape does not close the search window
  EXPECT_TRUE(dlg.isVisible());
  dlg.Command(search_id::kOK);
  EXPECT_EQ(dlg.m_fChosen, 1);
  EXPECT_EQ(dlg.m_strChosenIP, "127.0.0.1");
  EXPECT_EQ(static_cast<std::uint32_t>(dlg.m_nWebPort), last.dwPort);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SearchTest, WithNoResponderTheSearchEndsEmptyAndActionsNeedASelection) {
  Use({});
  CSearchDeviceDlg dlg;
  dlg.OnInitDialog();
  WaitForSearch(dlg);
  EXPECT_EQ(dlg.windowTitle(), "Stop_Search");
  EXPECT_EQ(List(dlg)->topLevelItemCount(), 0);
  dlg.Command(search_id::kApply);
  dlg.Command(search_id::kReset);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"Need select a item form list", "Need select a item form list"}));
  dlg.Command(search_id::kOK);
  EXPECT_EQ(dlg.result(), plat::IDOK);
  EXPECT_EQ(dlg.m_fChosen, 0);
}

TEST_F(SearchTest, SearchAgainStartsAFreshList) {
  CSearchDeviceDlg dlg;
  dlg.OnInitDialog();
  WaitForSearch(dlg);
  ASSERT_EQ(dlg.m_nDeviceCount, 2);
  Use({&second_});
  dlg.Command(search_id::kSearchAgain);
  EXPECT_FALSE(dlg.GetDlgItem(search_id::kApply)->isEnabled());
  WaitForSearch(dlg);
  ASSERT_EQ(dlg.m_nDeviceCount, 1);
  EXPECT_EQ(dlg.m_devices[0].nIndex, 0);
  EXPECT_EQ(dlg.m_devices[0].strMac, "00:11:22:33:44:cc");
  EXPECT_EQ(first_.DiscoveryRequests(), 1);
  EXPECT_EQ(second_.DiscoveryRequests(), 2);
}

TEST_F(SearchTest, ApplyAndResetReportTheRecordersAnswer) {
  Use({&first_});
  struct Case {
    bool reset;
    std::uint8_t status;
    const char* box;
  } cases[] = {
      {false, 1, "Apply setting is successfully"},
      {false, 0, "Username or password is not correct"},
      {false, 2, "Server connection type is not static mode.You couldn't change networking setting here."},
      {false, 9, "Apply setting is failed"},
      {true, 1, "Reset to default is successfully.It will take several seconds to finish reset process"},
      {true, 0, "Username or password is not correct"},
      {true, 2, "Server connection type is not static mode.You couldn't change networking setting here."},
      {true, 9, "Reset to default is failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box);
    CSearchDeviceDlg dlg;
    dlg.OnInitDialog();
    WaitForSearch(dlg);
    SelectRow(dlg, 0);
    first_.SetDiscoveryStatus(c.status);
    ClearBoxes();
    if (!c.reset) {
      dlg.Item<QLineEdit>(search_id::kServerIP)->setText("192.168.7.20");
      dlg.Item<QLineEdit>(search_id::kWebPort)->setText("8081");
    }
    Answer("admin", "pw");
    dlg.Command(c.reset ? search_id::kReset : search_id::kApply);
    EXPECT_EQ(Boxes(), std::vector<std::string>{c.box});
    const std::string sent = first_.LastDiscoveryRequest();
    ASSERT_EQ(sent.size(), 76u);
    EXPECT_EQ(sent.substr(0, 10), c.reset ? std::string("ZQ_RESET\0\0", 10) : std::string("ZQ_SET_IP\0", 10));
    EXPECT_EQ(sent[16], c.reset ? 3 : 2);
    EXPECT_EQ(sent.substr(18, 6), std::string("\x00\x11\x22\x33\xaa\xbb", 6));
    EXPECT_EQ(sent.substr(24, 6), std::string("admin\0", 6));
    EXPECT_EQ(sent.substr(40, 3), std::string("pw\0", 3));
    // A reset carries the values last read, not the edits typed since.
    EXPECT_EQ(sent.substr(56, 4), c.reset ? std::string("\x7f\0\0\x01", 4) : std::string("\xc0\xa8\x07\x14", 4));
    // Whatever the answer, the login window is handed the address and port sent.
    EXPECT_EQ(dlg.m_fChosen, 1);
    EXPECT_EQ(dlg.m_strChosenIP, c.reset ? "127.0.0.1" : "192.168.7.20");
    EXPECT_EQ(static_cast<std::uint16_t>(dlg.m_nWebPort), c.reset ? first_.Port() : 8081);
  }
}

TEST_F(SearchTest, ApplyIsRefusedBeforeAnythingIsSent) {
  Use({&first_});
  struct Case {
    const char* name;
    std::function<void(CSearchDeviceDlg&)> prepare;
    const char *user, *password;
    bool confirm;
    std::vector<std::string> boxes;
  } cases[] = {
      {"nothing changed", [](CSearchDeviceDlg&) {}, "admin", "pw", true,
       {"The apply network setting is not changed"}},
      {"prompt cancelled", [](CSearchDeviceDlg& d) { d.Item<QLineEdit>(search_id::kGateway)->setText("10.0.0.1"); },
       "admin", "pw", false, {}},
      {"empty user name", [](CSearchDeviceDlg& d) { d.Item<QLineEdit>(search_id::kGateway)->setText("10.0.0.1"); },
       "", "pw", true, {"username is wrong"}},
      {"empty password", [](CSearchDeviceDlg& d) { d.Item<QLineEdit>(search_id::kGateway)->setText("10.0.0.1"); },
       "admin", "", true, {"password is wrong"}},
      {"short MAC", [](CSearchDeviceDlg& d) { d.Item<QLineEdit>(search_id::kMacAddress)->setText("00:11:22:33:aa"); },
       "admin", "pw", true, {"It couldn't modify the Network setting"}},
      {"web port out of range",
       [](CSearchDeviceDlg& d) { d.Item<QLineEdit>(search_id::kWebPort)->setText("10000"); }, nullptr, nullptr, true,
       {"Please enter an integer between 0 and 9999."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CSearchDeviceDlg dlg;
    dlg.OnInitDialog();
    WaitForSearch(dlg);
    SelectRow(dlg, 0);
    c.prepare(dlg);
    ClearBoxes();
    const int before = first_.DiscoveryRequests();
    if (c.user) Answer(c.user, c.password, c.confirm);
    dlg.Command(search_id::kApply);
    EXPECT_EQ(Boxes(), c.boxes);
    EXPECT_EQ(first_.DiscoveryRequests(), before);
    EXPECT_EQ(dlg.m_fChosen, 0);
  }
}

TEST_F(SearchTest, DatagramsShorterThanAPacketAreIgnored) {
  ShortFirstResponder responder(replyPort_);
  DiscoveryEndpoints e = GetDiscoveryEndpoints();
  e.targets = {{"127.0.0.1", responder.Port()}};
  SetDiscoveryEndpoints(e);
  CSearchDeviceDlg dlg;
  dlg.OnInitDialog();
  WaitForSearch(dlg);
  ASSERT_EQ(List(dlg)->topLevelItemCount(), 1);
  EXPECT_EQ(List(dlg)->topLevelItem(0)->text(3), "4CH MPEG4 DVR");
  SelectRow(dlg, 0);
  dlg.Item<QLineEdit>(search_id::kGateway)->setText("127.0.0.254");
  Answer("admin", "pw");
  dlg.Command(search_id::kApply);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Apply setting is successfully"});
}

TEST_F(SearchTest, ARecorderKindThatMayNotBeChangedIsRefused) {
  fake::FakeRecorder network;
  ASSERT_TRUE(StartLowPort(network));
  ASSERT_TRUE(network.StartDiscovery(0, replyPort_, 113));
  Use({&network});
  CSearchDeviceDlg dlg;
  dlg.OnInitDialog();
  WaitForSearch(dlg);
  ASSERT_EQ(List(dlg)->topLevelItemCount(), 1);
  EXPECT_EQ(List(dlg)->topLevelItem(0)->text(3), "4CH NETWORK DVR");
  SelectRow(dlg, 0);
  dlg.Command(search_id::kReset);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"It couldn't modify the Network setting"});
  EXPECT_EQ(network.DiscoveryRequests(), 1);
  network.Stop();
}

TEST_F(SearchTest, ASilentRecorderTimesTheApplyOut) {
  Use({&first_});
  CSearchDeviceDlg dlg;
  dlg.OnInitDialog();
  WaitForSearch(dlg);
  SelectRow(dlg, 0);
  first_.Stop();  // nobody answers any more
  dlg.Item<QLineEdit>(search_id::kNetMask)->setText("255.255.255.0");
  Answer("admin", "pw");
  dlg.Command(search_id::kApply);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Send command timeout"});
}

TEST_F(SearchTest, AReplyPortHeldByAnotherProgramIsReported) {
  UdpPort holder;
  DiscoveryEndpoints e = GetDiscoveryEndpoints();
  e.replyPort = holder.port;
  SetDiscoveryEndpoints(e);
  CSearchDeviceDlg dlg;
  dlg.OnInitDialog();
  WaitForSearch(dlg);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Bind the connection is failed,please close dialog and try again"});
  EXPECT_EQ(dlg.windowTitle(), "Stop_Search");
  EXPECT_TRUE(dlg.GetDlgItem(search_id::kOK)->isEnabled());
  EXPECT_FALSE(dlg.GetDlgItem(search_id::kApply)->isEnabled());
  EXPECT_EQ(first_.DiscoveryRequests(), 0);
}

TEST_F(SearchTest, ASendingPortHeldByAnotherProgramIsReportedAndTheSearchGoesOn) {
  UdpPort holder;
  DiscoveryEndpoints e = GetDiscoveryEndpoints();
  e.localPort = holder.port;
  SetDiscoveryEndpoints(e);
  CSearchDeviceDlg dlg;
  dlg.OnInitDialog();
  WaitForSearch(dlg);
  EXPECT_EQ(Boxes(), std::vector<std::string>{"SendBroadCast is wrong"});
  EXPECT_EQ(List(dlg)->topLevelItemCount(), 0);
  EXPECT_TRUE(dlg.GetDlgItem(search_id::kSearchAgain)->isEnabled());
  EXPECT_EQ(first_.DiscoveryRequests(), 0);
}

TEST_F(SearchTest, TheLoginWindowTakesTheChosenAddressAndPortAtOnce) {
  LoginDialog login;
  login.OnInitDialog();
  WhenModal<CSearchDeviceDlg>([](CSearchDeviceDlg& d) {
    WaitUntil([&] { return !d.IsSearching(); }, 5000, PumpEvents);
    d.Item<QTreeWidget>(search_id::kList)->topLevelItem(1)->setSelected(true);  // the first reply
    d.Command(search_id::kOK);
  });
  login.Command(login_id::kSearch);
  const std::uint16_t port = login.m_strHostText == "127.0.0.1" ? static_cast<std::uint16_t>(login.m_strPortText.toUInt()) : 0;
  EXPECT_TRUE(port == first_.Port() || port == second_.Port());
  EXPECT_EQ(login.Item<QLineEdit>(login_id::kHost)->text(), "127.0.0.1");
  EXPECT_EQ(app_->CSettingINI.m_strServerName.Get(), "127.0.0.1");
  EXPECT_EQ(app_->CSettingINI.m_wWebPort.load(), port);
}

}  // namespace
