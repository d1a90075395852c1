// The network, DDNS, mail, FTP and account pages against the fake recorder: what the
// operator types, what the pages refuse, and the exact bytes APPLY sends.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cstring>
#include <chrono>
#include <thread>
#include <gtest/gtest.h>

#include "config/MySystemDialog.h"
#include "engine/AppRecord.h"
#include "mainwnd/SystemSheet.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "session/Command.h"
#include "session/SysCfg.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/MessageBoxRecorder.h"

namespace {

void Put(std::string& block, std::size_t offset, const std::string& text) { block.replace(offset, text.size(), text); }

class NetworkPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetLocalIPv4Override("127.0.0.1");
    // The test clock: the recorder's network restart wait (and any other timed wait) passes
    // as soon as something waits on it; socket time-outs stay real.
    plat::SetManualClock(true);
    ticker_ = std::thread([this] {
      while (!stopTicker_) {
        if (plat::TimedWaitCount() > 0) plat::Advance(100);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    ASSERT_TRUE(fake_.Start());
    fake_.SetPlausibleSections();
    app_ = std::make_unique<AppRecord>();
    g_lpApp = app_.get();
    app_->ApplyStartValues();
    app_->fl_DpiScale = 1.0f;
    app_->SetServerName("127.0.0.1");
    app_->CSettingINI.m_wWebPort.store(fake_.Port());
    app_->CSettingINI.m_strUsername.Set("admin");
    SetSessionId(fake_.GetIdentity().sessionId);
    ForgetFetchedSysCfgSections();
    ClearPendingNetworkChange();
  }
  void TearDown() override {
    sheet_.reset();
    g_lpApp = nullptr;
    fake_.Stop();
    stopTicker_ = true;
    ticker_.join();
    plat::SetManualClock(false);
    plat::SetLocalIPv4Override("");
    ClearPendingNetworkChange();
  }
  void Model(const char* model, const char* firmware) {
    fake::Identity id = fake_.GetIdentity();
    id.productId = model;
    id.firmware = firmware;
    fake_.SetIdentity(id);
    app_->SetProductID(model);
    app_->SetFWVersion(firmware);
  }
  // Reads the sections as the configuration command does and opens the sheet.
  MySystemDialog& OpenSheet() {
    EXPECT_EQ(LoadDeviceConfig(), 1);
    fake_.ClearRequests();
    sheet_ = std::make_unique<MySystemDialog>();
    sheet_->CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
    return *sheet_;
  }
  template <class Page>
  Page& Open(const char* caption) {
    for (int i = 0; i < sheet_->GetPageCount(); ++i) {
      if (sheet_->GetPage(i)->Caption() == QLatin1String(caption)) {
        EXPECT_TRUE(sheet_->SelectPageItem(i)) << caption;
        return *static_cast<Page*>(sheet_->GetPage(i));
      }
    }
    ADD_FAILURE() << "no page " << caption;
    return *static_cast<Page*>(sheet_->GetPage(0));
  }
  static void Type(ui::Window& page, int id, const QString& text) {
    auto* edit = page.Item<QLineEdit>(id);
    ASSERT_NE(edit, nullptr) << id;
    edit->selectAll();
    if (text.isEmpty()) {
      QTest::keyClick(edit, Qt::Key_Backspace);
    } else {
      QTest::keyClicks(edit, text);
    }
  }
  static QString Text(ui::Window& page, int id) { return page.Item<QLineEdit>(id)->text(); }
  void Apply() { sheet_->SheetButton(IDC_SHEET_APPLY)->click(); }
  // The sections APPLY sent, in order: option and body.
  std::vector<std::pair<std::string, std::string>> Sent() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const fake::RecordedRequest& r : fake_.Requests()) {
      if (r.path != "/SetSysCfg.cgi") continue;
      auto it = r.query.find("Option");
      out.emplace_back(it == r.query.end() ? std::string() : it->second, r.body);
    }
    return out;
  }
  fake::FakeRecorder fake_;
  std::unique_ptr<AppRecord> app_;
  std::unique_ptr<MySystemDialog> sheet_;
  std::thread ticker_;
  std::atomic<bool> stopTicker_{false};
};

// ---- FTP ----

TEST_F(NetworkPagesTest, FtpPortChangesOnlyItsTwoBytes) {
  Model("K40R", "1010");
  std::string ftp(104, '\0');
  ftp[0] = '\xA5';
  ftp[103] = '\x5A';
  Put(ftp, 4, "ftp.example.com");
  Put(ftp, 36, "bob");
  Put(ftp, 52, "secret");
  Put(ftp, 68, "/alarm");
  ftp[100] = 21;
  fake_.SetSection("FTP", ftp);
  OpenSheet();
  auto& page = Open<FTPPropertyPage>("FTP");
  EXPECT_EQ(Text(page, IDC_FTP_SERVER), "ftp.example.com");
  Type(page, IDC_FTP_PORT, "2121");
  Apply();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  std::string expected = ftp;
  expected[100] = 0x49;
  expected[101] = 0x08;
  EXPECT_EQ(sent[0].first, "FTP");
  EXPECT_EQ(sent[0].second, expected);
}

TEST_F(NetworkPagesTest, FtpPortTypingAndLeaving) {
  MessageBoxRecorder boxes;
  Model("K47R", "1010");
  OpenSheet();
  auto& page = Open<FTPPropertyPage>("FTP");
  struct Case {
    const char* typed;
    const char* shown;
    bool refused;
  } cases[] = {{"0", "21", true}, {"70000", "21", true}, {"8080", "8080", false}, {"65535", "65535", false}};
  for (const Case& c : cases) {
    const std::size_t before = boxes.Texts().size();
    Type(page, IDC_FTP_PORT, c.typed);
    EXPECT_EQ(Text(page, IDC_FTP_PORT).toStdString(), c.shown) << c.typed;
    EXPECT_EQ(boxes.Texts().size() - before, c.refused ? 1u : 0u) << c.typed;
    if (c.refused) {
      EXPECT_EQ(boxes.Texts().back(), "Port number is wrong");
    }
  }
  // An emptied port keeps the operator on the page.
  Type(page, IDC_FTP_PORT, "");
  const int here = sheet_->GetActiveIndex();
  EXPECT_FALSE(sheet_->SelectPageItem(0));
  EXPECT_EQ(sheet_->GetActiveIndex(), here);
  EXPECT_EQ(boxes.Texts().back(), "You should type the port number");
}

// ---- DDNS ----

TEST_F(NetworkPagesTest, DnsServerIsSentWithRefreshFalse) {
  Model("K41R", "1100");
  std::string dns(12, '\0');
  dns[0] = 7;
  dns[11] = 9;
  dns[4] = 8, dns[5] = 8, dns[6] = 4, dns[7] = 4;
  fake_.SetSection("DNS", dns);
  OpenSheet();
  auto& page = Open<CDNSPage>("DDNS");
  Type(page, IDC_DNS_SERVER, "10.0.0.1");
  Apply();
  const auto requests = fake_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target(), "/SetSysCfg.cgi?Option=DNS&Refresh=False&Cookie=" + app_->GetSessionId());
  std::string expected = dns;
  expected[4] = 10, expected[5] = 0, expected[6] = 0, expected[7] = 1;
  EXPECT_EQ(requests[0].body, expected);
}

TEST_F(NetworkPagesTest, AFailedDnsSendStopsBeforeSmtp) {
  MessageBoxRecorder boxes;
  Model("K40R", "1010");
  fake_.FailSetSysCfg("DNS", true);
  OpenSheet();
  auto& page = Open<CDNSPage>("DDNS");
  Type(page, IDC_DNS_SERVER, "10.0.0.1");
  page.Item<QAbstractButton>(IDC_DNS_ENABLE)->click();
  Type(page, IDC_DNS_USER, "someone");
  Apply();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].first, "DNS");
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "Change System Config is failed");
  EXPECT_FALSE(sheet_->IsSheetOpen());
}

TEST_F(NetworkPagesTest, DdnsAccountAndProviderReachSmtp) {
  Model("K47R", "1010");
  std::string smtp(440, '\0');
  smtp[0] = '\x33';
  Put(smtp, 88, "none");  // a provider the list does not hold
  fake_.SetSection("SMTP", smtp);
  OpenSheet();
  auto& page = Open<CDNSPage>("DDNS");
  EXPECT_FALSE(page.Item<QWidget>(IDC_DNS_USER)->isEnabled());
  page.Item<QAbstractButton>(IDC_DNS_ENABLE)->click();
  EXPECT_TRUE(page.Item<QWidget>(IDC_DNS_USER)->isEnabled());
  Type(page, IDC_DNS_USER, "ddnsuser");
  Type(page, IDC_DNS_DOMAIN, "cam.example.net");
  Apply();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  std::string expected = smtp;
  expected[5] = 1;
  Put(expected, 104, "ddnsuser");
  Put(expected, 328, "cam.example.net");
  // The unknown provider stays: the operator never picked one.
  EXPECT_EQ(sent[0].first, "SMTP");
  EXPECT_EQ(sent[0].second, expected);
}

TEST_F(NetworkPagesTest, AutoBoxFollowsTheAddressTypeOnTheDvrFamily) {
  struct Case {
    const char* model;
    int ipType, autoByte;
    bool autoShown, dnsEnabled;
  } cases[] = {{"K41R", 2, 1, true, false}, {"K41R", 2, 0, true, true}, {"K41R", 0, 1, false, true},
               {"K40R", 2, 1, false, true}};
  for (const Case& c : cases) {
    Model(c.model, "1100");
    fake_.SetPlausibleSections();
    std::string ip = fake_.Section("IP");
    ip[22] = static_cast<char>(c.ipType);
    fake_.SetSection("IP", ip);
    std::string dns(12, '\0');
    dns[3] = static_cast<char>(c.autoByte);
    fake_.SetSection("DNS", dns);
    std::string smtp(440, '\0');
    smtp[5] = 1;
    fake_.SetSection("SMTP", smtp);
    OpenSheet();
    auto& page = Open<CDNSPage>("DDNS");
    EXPECT_EQ(page.Item<QWidget>(IDC_DNS_AUTO)->isVisible(), c.autoShown) << c.model << c.ipType << c.autoByte;
    EXPECT_EQ(page.Item<QWidget>(IDC_DNS_SERVER)->isEnabled(), c.dnsEnabled) << c.model << c.ipType << c.autoByte;
    if (c.autoShown && c.autoByte) {
      // Unchecking AUTO gives the address back; static IP on the network page hides AUTO.
      page.Item<QAbstractButton>(IDC_DNS_AUTO)->click();
      EXPECT_TRUE(page.Item<QWidget>(IDC_DNS_SERVER)->isEnabled());
      page.Item<QAbstractButton>(IDC_DNS_AUTO)->click();
      auto& network = Open<NetworkConfigPage>("Network");
      network.Item<QAbstractButton>(IDC_NET_STATIC)->click();
      Open<CDNSPage>("DDNS");
      EXPECT_FALSE(page.Item<QWidget>(IDC_DNS_AUTO)->isVisible());
      EXPECT_TRUE(page.Item<QWidget>(IDC_DNS_SERVER)->isEnabled());
    }
    sheet_.reset();
  }
}

TEST_F(NetworkPagesTest, ProvidersAndCustomerVariants) {
  struct Case {
    std::uint32_t flags;
    const char* stored;
    bool boxShown;
    int shown;
    const char* label;
    const char* written;  // the provider field APPLY sends after a user name change
  } cases[] = {{0, "statdns", true, 2, nullptr, "statdns"},
               {0, "none", true, 0, nullptr, "none"},
               {0x80, "none", false, 0, "QUEMBRITE", "quembrite"},
               {0x280, "", false, 0, "TAVRO", "corbelmanifold"}};
  for (const Case& c : cases) {
    Model("K47R", "1010");
    app_->dw_FeatureFlags = c.flags;
    fake_.SetPlausibleSections();
    std::string smtp(440, '\0');
    smtp[5] = 1;
    Put(smtp, 88, c.stored);
    fake_.SetSection("SMTP", smtp);
    OpenSheet();
    auto& page = Open<CDNSPage>("DDNS");
    EXPECT_EQ(page.Item<QWidget>(IDC_DNS_PROVIDER)->isVisible(), c.boxShown) << c.flags;
    EXPECT_EQ(page.Item<ui::DropList>(IDC_DNS_PROVIDER)->GetCurSel(), c.shown) << c.flags;
    auto* label = page.Item<QLabel>(IDC_DNS_PROVIDER_LABEL);
    EXPECT_EQ(label->isVisible(), c.label != nullptr);
    if (c.label) {
      EXPECT_EQ(label->text().toStdString(), c.label);
    }
    Type(page, IDC_DNS_USER, "user");
    Apply();
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u) << c.flags;
    EXPECT_EQ(sent[0].second.substr(88, 16), std::string(c.written) + std::string(16 - std::strlen(c.written), '\0'))
        << c.flags;
    sheet_.reset();
  }
}

// ---- Mail ----

TEST(MailAddressForm, BothDirections) {
  struct Case {
    const char* in;
    int direction;
    const char* out;
  } cases[] = {
      {"bob@x.org", 0, "bob <bob@x.org>"}, {"plain", 0, "<plain>"},     {"@x.org", 0, "<@x.org>"},
      {"", 0, "<>"},                       {"bob <bob@x.org>", 1, "bob@x.org"}, {"<abc>", 1, "abc"},
      {"plain", 1, "plain"},               {">a<", 1, ">a<"},           {"a <b> c>", 1, "b> c"},
      {"x", 2, "x"},
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    EXPECT_EQ(MailPropertyPage::ConvertMailAddress(text, c.direction), 1);
    EXPECT_EQ(text, c.out) << c.in << " " << c.direction;
  }
}

TEST(MailAddressForm, StoredRecipientsInListOrder) {
  std::string smtp(440, '\0');
  Put(smtp, 136, "bob <bob@x.org>");
  Put(smtp, 232, "plain text");                       // entry 2, behind an empty entry
  Put(smtp, 280, "c <" + std::string(44, 'c') + ">");  // 48 bytes, no terminator
  const std::vector<std::string> expected = {"bob@x.org", "plain text", std::string(44, 'c')};
  EXPECT_EQ(ReadMailRecipients(reinterpret_cast<const std::uint8_t*>(smtp.data())), expected);
}

TEST_F(NetworkPagesTest, DeletingTheOnlyRecipientZeroesTheRecipientBlock) {
  Model("K40R", "1010");
  std::string smtp(440, '\0');
  smtp[0] = '\x11';
  Put(smtp, 8, "smtp.example.com");
  Put(smtp, 136, "bob <bob@x.org>");
  fake_.SetSection("SMTP", smtp);
  OpenSheet();
  auto& page = Open<MailPropertyPage>("Mail");
  auto* list = page.Item<ui::ReportList>(IDC_MAIL_LIST);
  ASSERT_EQ(list->GetItemCount(), 1);
  EXPECT_EQ(list->GetItemText(0, 0), "bob@x.org");
  list->SelectRow(0);
  page.Item<QPushButton>(IDC_MAIL_DELETE)->click();
  Apply();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  std::string expected = smtp;
  std::fill(expected.begin() + 136, expected.begin() + 328, '\0');
  EXPECT_EQ(sent[0].second, expected);
}

TEST_F(NetworkPagesTest, LongSendersAreSplitWhereTheFirmwareKeepsThem) {
  const std::string sender = "a.very.long.sender.name@alarms.example.org";  // 42 characters
  ASSERT_EQ(sender.size(), 42u);
  struct Case {
    const char* model;
    const char* firmware;
    const char* moreOption;
    std::size_t moreOffset;
  } cases[] = {{"K41R", "1027", "SNTP", 8}, {"K47R", "1003", "SYSTEM", 4}};
  for (const Case& c : cases) {
    Model(c.model, c.firmware);
    fake_.SetPlausibleSections();
    OpenSheet();
    auto& page = Open<MailPropertyPage>("Mail");
    Type(page, IDC_MAIL_FROM, QString::fromStdString(sender + "x"));  // one too many is cut
    EXPECT_EQ(Text(page, IDC_MAIL_FROM).toStdString(), sender);
    Apply();
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u) << c.model;
    EXPECT_EQ(sent[0].first, "SMTP");
    EXPECT_EQ(sent[0].second.substr(72, 16), sender.substr(0, 15) + std::string(1, '\0'));
    EXPECT_EQ(sent[1].first, c.moreOption);
    EXPECT_EQ(sent[1].second.substr(c.moreOffset, 28), sender.substr(15) + std::string(1, '\0')) << c.model;
    sheet_.reset();
  }
  // K40R keeps 16 more characters in SYSTEM +4, beside its title.
  Model("K40R", "1003");
  fake_.SetPlausibleSections();
  {
    OpenSheet();
    auto& page = Open<MailPropertyPage>("Mail");
    Type(page, IDC_MAIL_FROM, QString::fromStdString(sender));
    EXPECT_EQ(Text(page, IDC_MAIL_FROM).toStdString(), sender.substr(0, 31));
    Apply();
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].first, "SYSTEM");
    EXPECT_EQ(sent[1].second.substr(4, 16), sender.substr(15, 16));
    sheet_.reset();
  }
  // Below the gate the sender has 15 characters.
  Model("K41R", "1026");
  OpenSheet();
  auto& page = Open<MailPropertyPage>("Mail");
  Type(page, IDC_MAIL_FROM, QString::fromStdString(sender));
  EXPECT_EQ(Text(page, IDC_MAIL_FROM).toStdString(), sender.substr(0, 15));
}

TEST_F(NetworkPagesTest, RecipientEditorRefusesWhatDoesNotFitAndStaysOpen) {
  MessageBoxRecorder boxes;
  Model("K41R", "1100");
  OpenSheet();
  auto& page = Open<MailPropertyPage>("Mail");
  const QString tooLong = QStringLiteral("someone.with.a.long.name@example.org");  // 36 + name 24 + 3
  const QString fits = QStringLiteral("bob@x.org");
  int rounds = 0;
  std::function<void()> drive = [&] {
    auto* editor = qobject_cast<CMailAccountEditDlg*>(QApplication::activeModalWidget());
    if (!editor) {
      QTimer::singleShot(5, drive);
      return;
    }
    EXPECT_EQ(editor->GetDlgItemText(CMailAccountEditDlg::IDC_EDIT_LABEL), "Add : ");
    editor->Item<QLineEdit>(CMailAccountEditDlg::IDC_EDIT_ADDRESS)->setText(rounds == 0 ? tooLong : fits);
    ++rounds;
    editor->Command(plat::IDOK);
    if (rounds == 1) {
      EXPECT_TRUE(editor->isVisible());  // refused: still open
      QTimer::singleShot(0, drive);
    }
  };
  QTimer::singleShot(0, drive);
  page.Item<QPushButton>(IDC_MAIL_ADD)->click();
  ASSERT_EQ(rounds, 2);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  auto* list = page.Item<ui::ReportList>(IDC_MAIL_LIST);
  ASSERT_EQ(list->GetItemCount(), 1);
  EXPECT_EQ(list->GetItemText(0, 0), fits);
  Apply();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].second.substr(136, 17), std::string("bob <bob@x.org>") + std::string(2, '\0'));
}

TEST_F(NetworkPagesTest, VerifyAsStoredAndAnEmptiedRecipient) {
  Model("K47R", "1010");
  std::string smtp(440, '\0');
  smtp[4] = 1;  // neither "Yes" nor "No"
  Put(smtp, 136, "bob <bob@x.org>");
  fake_.SetSection("SMTP", smtp);
  OpenSheet();
  auto& page = Open<MailPropertyPage>("Mail");
  EXPECT_FALSE(page.Item<QAbstractButton>(IDC_MAIL_VERIFY_YES)->isChecked());
  EXPECT_FALSE(page.Item<QAbstractButton>(IDC_MAIL_VERIFY_NO)->isChecked());
  EXPECT_TRUE(page.Item<QWidget>(IDC_MAIL_USER)->isEnabled());
  auto* list = page.Item<ui::ReportList>(IDC_MAIL_LIST);
  list->SelectRow(0);
  QTimer::singleShot(0, [] {
    auto* editor = qobject_cast<CMailAccountEditDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Item<QLineEdit>(CMailAccountEditDlg::IDC_EDIT_ADDRESS)->text(), "bob@x.org");
    editor->Item<QLineEdit>(CMailAccountEditDlg::IDC_EDIT_ADDRESS)->clear();
    editor->Command(plat::IDOK);
  });
  page.Item<QPushButton>(IDC_MAIL_EDIT)->click();
  ASSERT_EQ(list->GetItemCount(), 1);
  Apply();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  std::string expected = smtp;
  expected.replace(136, 15, std::string("<>") + std::string(13, '\0'));
  EXPECT_EQ(sent[0].second, expected);  // the verify byte goes back as it came
}

// ---- Account ----

std::string SecureWith(const std::vector<std::tuple<std::string, std::string, int, int>>& accounts, int max) {
  std::string secure(196, '\0');
  secure[2] = static_cast<char>(max);
  for (std::size_t n = 0; n < accounts.size(); ++n) {
    const auto& [user, password, level, life] = accounts[n];
    Put(secure, 8 + 16 * n, user);
    Put(secure, 88 + 16 * n, password);
    secure[168 + n] = static_cast<char>(level);
    for (int b = 0; b < 4; ++b) secure[176 + 4 * n + b] = static_cast<char>((static_cast<unsigned>(life) >> (8 * b)) & 0xFF);
  }
  return secure;
}

TEST_F(NetworkPagesTest, DeletingTheFirstOfThreeAccounts) {
  MessageBoxRecorder boxes;
  Model("K40R", "1010");
  const std::string secure =
      SecureWith({{"alice", "pa", 20, 60}, {"admin", "pb", 30, -1}, {"carol", "pc", 0, 30}}, 5);
  fake_.SetSection("SECURE", secure);
  OpenSheet();
  auto& page = Open<AccountPropertyPage>("Account");
  auto* list = page.Item<ui::ReportList>(IDC_ACC_LIST);
  ASSERT_EQ(list->GetItemCount(), 3);
  EXPECT_EQ(list->GetItemText(2, 2), "30 MIN");
  // The logged-in account, whatever its case, is not deleted.
  app_->CSettingINI.m_strUsername.Set("ADMIN");
  list->SelectRow(1);
  page.Item<QPushButton>(IDC_ACC_DELETE)->click();
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "This account is that you login right now.It couldn't be delete");
  list->SelectRow(0);
  page.Item<QPushButton>(IDC_ACC_DELETE)->click();
  Apply();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].first, "SECURE");
  std::string expected = SecureWith({{"admin", "pb", 30, -1}, {"carol", "pc", 0, 30}, {"", "", 0, 30}}, 5);
  EXPECT_EQ(sent[0].second, expected);
}

TEST_F(NetworkPagesTest, AccountLimitsAndTyping) {
  MessageBoxRecorder boxes;
  Model("K41R", "1100");
  // Five accounts and a maximum above five as the recorder may report it.
  fake_.SetSection("SECURE", SecureWith({{"admin", "a", 30, -1},
                                         {"u1", "a", 10, 1},
                                         {"u2", "a", 10, 5},
                                         {"u3", "a", 10, 10},
                                         {"u4", "a", 0, 1440}},
                                        9));
  OpenSheet();
  auto& page = Open<AccountPropertyPage>("Account");
  page.Item<QPushButton>(IDC_ACC_ADD)->click();
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "Account memory is not enough");
  EXPECT_FALSE(page.Item<QWidget>(IDC_ACC_USER)->isVisible());
  struct Case {
    const char* typed;
    const char* shown;
    bool refused;
  } cases[] = {{"0", "3", true}, {"9", "5", true}, {"4", "4", false}};
  for (const Case& c : cases) {
    const std::size_t before = boxes.Texts().size();
    Type(page, IDC_ACC_MAXUSER, c.typed);
    EXPECT_EQ(Text(page, IDC_ACC_MAXUSER).toStdString(), c.shown) << c.typed;
    EXPECT_EQ(boxes.Texts().size() - before, c.refused ? 1u : 0u) << c.typed;
  }
  EXPECT_EQ(boxes.Texts().back(), "Max user should be 1 ~ 5");
  // EDIT opens the group and holds the sheet's buttons; names lose their blanks as typed.
  auto* list = page.Item<ui::ReportList>(IDC_ACC_LIST);
  list->SelectRow(3);
  page.Item<QPushButton>(IDC_ACC_EDIT)->click();
  EXPECT_FALSE(sheet_->SheetButton(IDC_SHEET_APPLY)->isEnabled());
  EXPECT_EQ(page.Item<ui::DropList>(IDC_ACC_LIFETIME)->GetCurSel(), 2);
  Type(page, IDC_ACC_USER, "a b c");
  EXPECT_EQ(Text(page, IDC_ACC_USER), "abc");
  Type(page, IDC_ACC_USER, "u4");  // another account's name
  page.Item<QPushButton>(IDC_ACC_OK)->click();
  EXPECT_EQ(boxes.Texts().back(), "Username is existed.");
  EXPECT_TRUE(sheet_->SheetButton(IDC_SHEET_APPLY)->isEnabled());
  EXPECT_EQ(list->GetItemText(3, 0), "u3");
}

TEST_F(NetworkPagesTest, AnAddedAccountLandsInTheNextSlot) {
  MessageBoxRecorder boxes;
  Model("K45R", "1010");
  const std::string secure = SecureWith({{"admin", "pa", 30, -1}}, 3);
  fake_.SetSection("SECURE", secure);
  OpenSheet();
  auto& page = Open<AccountPropertyPage>("Account");
  page.Item<QPushButton>(IDC_ACC_ADD)->click();
  EXPECT_FALSE(sheet_->SheetButton(IDC_SHEET_EXIT)->isEnabled());
  // A missing field refuses the commit and ends the add.
  Type(page, IDC_ACC_USER, "dave");
  page.Item<QPushButton>(IDC_ACC_OK)->click();
  EXPECT_EQ(boxes.Texts().back(), "Add the account is failed");
  EXPECT_TRUE(sheet_->SheetButton(IDC_SHEET_EXIT)->isEnabled());
  page.Item<QPushButton>(IDC_ACC_ADD)->click();
  Type(page, IDC_ACC_USER, "dave");
  Type(page, IDC_ACC_PASSWORD, "pw");
  page.Item<ui::DropList>(IDC_ACC_LEVEL)->SetCurSel(2);
  page.Item<ui::DropList>(IDC_ACC_LIFETIME)->SetCurSel(4);
  page.Item<QPushButton>(IDC_ACC_OK)->click();
  auto* list = page.Item<ui::ReportList>(IDC_ACC_LIST);
  ASSERT_EQ(list->GetItemCount(), 2);
  EXPECT_EQ(list->GetItemText(1, 1), "NORMAL USER");
  EXPECT_EQ(list->GetItemText(1, 2), "1 DAY");
  Apply();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].second, SecureWith({{"admin", "pa", 30, -1}, {"dave", "pw", 10, 1440}}, 3));
}

TEST_F(NetworkPagesTest, EditingTheOwnAccountKeepsItsLevelAndFollowsTheNewName) {
  Model("K40R", "1010");
  fake_.SetSection("SECURE", SecureWith({{"bob", "pb", 10, 5}, {"admin", "pa", 20, 60}}, 5));
  OpenSheet();
  auto& page = Open<AccountPropertyPage>("Account");
  auto* list = page.Item<ui::ReportList>(IDC_ACC_LIST);
  list->SelectRow(1);
  page.Item<QPushButton>(IDC_ACC_EDIT)->click();
  EXPECT_EQ(page.Item<ui::DropList>(IDC_ACC_LEVEL)->GetCurSel(), 1);
  Type(page, IDC_ACC_USER, "root");
  Type(page, IDC_ACC_PASSWORD, "newpw");
  page.Item<ui::DropList>(IDC_ACC_LEVEL)->SetCurSel(3);
  page.Item<QPushButton>(IDC_ACC_OK)->click();
  EXPECT_EQ(list->GetItemText(1, 1), "SUPERVISOR");
  EXPECT_EQ(list->GetItemText(1, 2), "1 HOUR");
  EXPECT_EQ(app_->CSettingINI.m_strUsername.Get(), "root");
  EXPECT_EQ(app_->CSettingINI.m_strPassword.Get(), "newpw");
  Apply();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].second, SecureWith({{"bob", "pb", 10, 5}, {"root", "newpw", 20, 60}}, 5));
}

TEST_F(NetworkPagesTest, AccountButtonsWithoutRowsOrRoom) {
  MessageBoxRecorder boxes;
  Model("K40R", "1010");
  fake_.SetSection("SECURE", SecureWith({}, 5));
  OpenSheet();
  auto& page = Open<AccountPropertyPage>("Account");
  page.Item<QPushButton>(IDC_ACC_DELETE)->click();
  page.Item<QPushButton>(IDC_ACC_EDIT)->click();
  const std::vector<std::string> expected = {"No item could be deleted",
                                             "You should select a account before press delete button",
                                             "No item could be edited",
                                             "You should select a account before press edit button"};
  EXPECT_EQ(boxes.Texts(), expected);
  sheet_.reset();
  // A maximum of two with two accounts: ADD says so at once.
  fake_.SetSection("SECURE", SecureWith({{"admin", "a", 30, -1}, {"b", "b", 0, 1}}, 2));
  OpenSheet();
  auto& second = Open<AccountPropertyPage>("Account");
  second.Item<QPushButton>(IDC_ACC_ADD)->click();
  EXPECT_EQ(boxes.Texts().back(), "Add the account is failed");
  EXPECT_FALSE(second.Item<QWidget>(IDC_ACC_USER)->isVisible());
}

// ---- Network ----

TEST_F(NetworkPagesTest, PortEditClampsAndKeepsOtherTyping) {
  Model("K40R", "1010");
  OpenSheet();
  auto& page = Open<NetworkConfigPage>("Network");
  page.Item<QAbstractButton>(IDC_NET_PPPOE)->click();
  Type(page, IDC_NET_PPPOE_USER, "newuser");
  struct Case {
    const char* typed;
    const char* shown;
  } cases[] = {{"12345", "9999"}, {"0", "1"}, {"8080", "8080"}};
  for (const Case& c : cases) {
    Type(page, IDC_NET_WEBPORT, c.typed);
    EXPECT_EQ(Text(page, IDC_NET_WEBPORT).toStdString(), c.shown) << c.typed;
  }
  EXPECT_EQ(Text(page, IDC_NET_PPPOE_USER), "newuser");
  EXPECT_EQ(g_byNetworkIpType, 1);
}

TEST_F(NetworkPagesTest, ChangedAddressesAreCheckedReportedOnesAreKept) {
  MessageBoxRecorder boxes;
  Model("K40R", "1010");
  struct Case {
    int control;
    const char* typed;
    bool refused;
  } cases[] = {{IDC_NET_IP, "0.0.0.0", true},
               {IDC_NET_IP, "224.0.0.1", true},
               {IDC_NET_MASK, "255.0.255.0", true},
               {IDC_NET_MASK, "255.255.0.0", false}};
  for (const Case& c : cases) {
    fake_.SetPlausibleSections();
    OpenSheet();
    auto& page = Open<NetworkConfigPage>("Network");
    const std::size_t before = boxes.Texts().size();
    Type(page, c.control, c.typed);
    Apply();
    EXPECT_EQ(sheet_->IsSheetOpen(), c.refused) << c.typed;
    if (c.refused) {
      EXPECT_EQ(sheet_->LastApplyEnd(), MySystemDialog::ApplyEnd::CheckFailed);
      EXPECT_EQ(sheet_->GetActivePage(), &page);
      EXPECT_EQ(boxes.Texts().size(), before + 1);
      EXPECT_EQ(fake_.RequestCount(), 0u);
    } else {
      ASSERT_EQ(Sent().size(), 1u);
      EXPECT_EQ(Sent()[0].second.substr(8, 4), std::string("\xFF\xFF\x00\x00", 4));
    }
    sheet_.reset();
    ClearPendingNetworkChange();
    app_->SetServerName("127.0.0.1");
  }
  // An address 0.0.0.0 and a port 0 as the recorder reports them trap no one.
  std::string ip(24, '\0');
  fake_.SetSection("IP", ip);
  OpenSheet();
  auto& page = Open<NetworkConfigPage>("Network");
  EXPECT_EQ(Text(page, IDC_NET_WEBPORT), "0");
  EXPECT_TRUE(sheet_->SelectPageItem(1));
  Apply();
  EXPECT_FALSE(sheet_->IsSheetOpen());
  EXPECT_EQ(fake_.RequestCount(), 0u);
}

TEST_F(NetworkPagesTest, ANewWebPortIsFollowedToTheRecorderThere) {
  Model("K40R", "1010");
  fake::FakeRecorder second;
  std::uint16_t port = 0;
  for (std::uint16_t p = 9321; p < 9999 && port == 0; p += 7) {
    if (second.Start(p)) port = p;
  }
  ASSERT_NE(port, 0);
  second.SetIdentity(fake_.GetIdentity());
  second.SetPlausibleSections();
  OpenSheet();
  auto& page = Open<NetworkConfigPage>("Network");
  Type(page, IDC_NET_WEBPORT, QString::number(port));
  Apply();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].first, "IP");
  EXPECT_EQ(static_cast<std::uint8_t>(sent[0].second[16]) | (static_cast<std::uint8_t>(sent[0].second[17]) << 8), port);
  EXPECT_EQ(app_->CSettingINI.m_wWebPort.load(), port);
  EXPECT_FALSE(HasPendingNetworkChange());
  // The next request, with the same session, goes to the recorder at the new port.
  std::uint8_t inf[kSysCfgSizeINF];
  EXPECT_EQ(GetSysCfgSection(SYSCFG_INF, inf, sizeof inf), 1);
  ASSERT_EQ(second.RequestCount(), 1u);
  EXPECT_EQ(second.Requests()[0].query.at("Cookie"), app_->GetSessionId());
  second.Stop();
}

TEST_F(NetworkPagesTest, PppoeGoesByTheDomainAndAnEmptyDomainKeepsTheServer) {
  for (const char* domain : {"localhost", ""}) {
    Model("K47R", "1010");
    fake_.SetPlausibleSections();
    std::string smtp(440, '\0');
    smtp[5] = 1;  // DDNS on: PPPoE may be applied
    Put(smtp, 328, domain);
    fake_.SetSection("SMTP", smtp);
    OpenSheet();
    auto& page = Open<NetworkConfigPage>("Network");
    page.Item<QAbstractButton>(IDC_NET_PPPOE)->click();
    Apply();
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u) << domain;
    EXPECT_EQ(sent[0].first, "IP");
    EXPECT_EQ(sent[0].second[22], 1);
    EXPECT_EQ(app_->GetServerName(), *domain ? domain : "127.0.0.1");
    EXPECT_FALSE(HasPendingNetworkChange());
    // The client still reaches the recorder by that name.
    std::uint8_t inf[kSysCfgSizeINF];
    EXPECT_EQ(GetSysCfgSection(SYSCFG_INF, inf, sizeof inf), 1) << domain;
    sheet_.reset();
    app_->SetServerName("127.0.0.1");
  }
}

TEST_F(NetworkPagesTest, TheClientFollowsANewAddressButNotAMissingDomain) {
  Model("K40R", "1010");
  {
    OpenSheet();
    auto& page = Open<NetworkConfigPage>("Network");
    Type(page, IDC_NET_IP, "127.0.0.2");
    Apply();
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].second.substr(4, 4), std::string("\x7F\x00\x00\x02", 4));
    EXPECT_EQ(app_->GetServerName(), "127.0.0.2");
    sheet_.reset();
  }
  app_->SetServerName("127.0.0.1");
  fake_.SetPlausibleSections();
  {
    OpenSheet();
    auto& page = Open<NetworkConfigPage>("Network");
    page.Item<QAbstractButton>(IDC_NET_DHCP)->click();
    Apply();
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].second[22], 2);
    EXPECT_EQ(app_->GetServerName(), "127.0.0.1");
    EXPECT_FALSE(HasPendingNetworkChange());
  }
}

TEST_F(NetworkPagesTest, AFailedIpSendLeavesTheClientWhereItWas) {
  MessageBoxRecorder boxes;
  Model("K40R", "1010");
  fake_.FailSetSysCfg("IP", true);
  OpenSheet();
  auto& page = Open<NetworkConfigPage>("Network");
  Type(page, IDC_NET_IP, "127.0.0.2");
  Type(page, IDC_NET_WEBPORT, "8080");
  Apply();
  ASSERT_EQ(Sent().size(), 1u);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "Change System Config is failed");
  EXPECT_EQ(app_->GetServerName(), "127.0.0.1");
  EXPECT_EQ(app_->CSettingINI.m_wWebPort.load(), fake_.Port());
  EXPECT_FALSE(HasPendingNetworkChange());
}

TEST_F(NetworkPagesTest, K44FamilyShowsAndSendsNothing) {
  Model("K44R", "1010");
  OpenSheet();
  auto& page = Open<NetworkConfigPage>("Network");
  for (int id : {IDC_NET_IP, IDC_NET_WEBPORT, IDC_NET_STATIC, IDC_NET_PPPOE_USER, IDC_NET_BITRATE}) {
    EXPECT_FALSE(page.Item<QWidget>(id)->isVisible()) << id;
  }
  EXPECT_TRUE(sheet_->SelectPageItem(1));
  Apply();
  EXPECT_FALSE(sheet_->IsSheetOpen());
  EXPECT_EQ(fake_.RequestCount(), 0u);
}

TEST_F(NetworkPagesTest, BothPppoeLayouts) {
  const std::string typed(40, 'u');
  struct Case {
    const char* model;
    const char* firmware;
    std::size_t offset, width;
  } cases[] = {{"K40R", "1006", 36, 16}, {"K40R", "1007", 4, 32}, {"K41R", "1051", 36, 16}, {"K42R", "1052", 4, 32}};
  for (const Case& c : cases) {
    Model(c.model, c.firmware);
    fake_.SetPlausibleSections();
    std::string pppoe(68, '\0');
    pppoe[0] = '\x42';
    Put(pppoe, c.offset, "olduser");
    Put(pppoe, c.offset + c.width, "oldpass");
    fake_.SetSection("PPPOE", pppoe);
    OpenSheet();
    auto& page = Open<NetworkConfigPage>("Network");
    EXPECT_EQ(Text(page, IDC_NET_PPPOE_USER), "olduser") << c.model << c.firmware;
    Type(page, IDC_NET_PPPOE_USER, QString::fromStdString(typed));
    EXPECT_EQ(Text(page, IDC_NET_PPPOE_USER).size(), static_cast<int>(c.width - 1));
    Apply();
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u) << c.model << c.firmware;
    std::string expected = pppoe;
    expected.replace(c.offset, c.width, typed.substr(0, c.width - 1) + std::string(1, '\0'));
    EXPECT_EQ(sent[0].first, "PPPOE");
    EXPECT_EQ(sent[0].second, expected) << c.model << c.firmware;
    sheet_.reset();
  }
}

}  // namespace
