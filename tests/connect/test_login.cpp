// The login window against the fake recorder, driven by control id.
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <fstream>
#include <sys/stat.h>

#include "connect/AddressBookDialog.h"
#include "session/IPRecordFile.h"
#include "connect/LoginDialog.h"
#include "core/Messages.h"
#include "data/skin/Skin.h"
#include "tests/support/QtWait.h"
#include "ui/VtxButton.h"
#include "platform/files.h"
#include "platform/thread.h"
#include "tests/connect/connect_fixture.h"

namespace {

class LoginWindowTest : public ConnectFixture {
 protected:
  void SetUp() override {
    ConnectFixture::SetUp();
    ASSERT_TRUE(StartLowPort(recorder_));
  }
  void TearDown() override {
    recorder_.Stop();
    ConnectFixture::TearDown();
  }
  QLineEdit* Edit(LoginDialog& d, int id) { return d.Item<QLineEdit>(id); }
  void Fill(LoginDialog& d, const QString& user, const QString& password, std::uint16_t port = 0) {
    Edit(d, login_id::kHost)->setText("127.0.0.1");
    Edit(d, login_id::kPort)->setText(QString::number(port ? port : recorder_.Port()));
    Edit(d, login_id::kUser)->setText(user);
    Edit(d, login_id::kPassword)->setText(password);
  }
  void Connect(LoginDialog& d) { d.Item<CVtxButton>(login_id::kConnect)->click(); }

  fake::FakeRecorder recorder_;
};

TEST_F(LoginWindowTest, GoodLoginEndsTheWindowWithOkAndStoresTheIdentity) {
  LoginDialog dlg;
  QTimer::singleShot(0, &dlg, [&] {
    Fill(dlg, "admin", "1234");
    Connect(dlg);
  });
  EXPECT_EQ(dlg.DoModal(), plat::IDOK);
  const fake::Identity id = recorder_.GetIdentity();
  EXPECT_EQ(app_->w_LoginResult.load(), LOGIN_RESULT_OK);
  EXPECT_EQ(GetSessionId(), id.sessionId);
  EXPECT_EQ(app_->GetFWVersion(), id.firmware);
  EXPECT_EQ(app_->GetProductID(), id.productId);
  EXPECT_EQ(app_->sz_MacAddress.Text(), id.mac);
  EXPECT_EQ(app_->CSettingINI.m_wLastMAC1.load(), 0xAA);
  EXPECT_EQ(app_->CSettingINI.m_wLastMAC2.load(), 0xBB);
  EXPECT_EQ(app_->strHostName.Get(), id.hostName);
  EXPECT_EQ(app_->CSettingINI.m_strServerName.Get(), "127.0.0.1");
  EXPECT_EQ(app_->CSettingINI.m_wWebPort.load(), recorder_.Port());
  EXPECT_EQ(app_->CSettingINI.m_strUsername.Get(), "admin");
  EXPECT_EQ(app_->CSettingINI.m_strPassword.Get(), "1234");
  const auto requests = recorder_.Requests();
  ASSERT_EQ(requests.size(), 1u);  // the login window sends /Login.cgi only
  EXPECT_EQ(requests[0].target(), "/Login.cgi?Username=admin&Password=1234");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(LoginWindowTest, FailuresArePaintedAndTheWindowStaysOpen) {
  std::uint16_t deadPort = 0;
  const int reserved = ReserveRefusingLowPort(deadPort);
  ASSERT_GE(reserved, 0);
  struct CloseAtEnd {
    int fd;
    ~CloseAtEnd() { ::close(fd); }
  } closeAtEnd{reserved};
  struct Case {
    const char* name;
    std::function<void(fake::FakeRecorder&)> setup;
    const char* password;
    std::uint16_t port;
    const char* text;
  } cases[] = {
      {"wrong password", [](fake::FakeRecorder&) {}, "nope", 0, "Login procedure failed"},
      {"busy", [](fake::FakeRecorder& r) { r.SetLoginBusy(true); }, "1234", 0, "Too many user"},
      {"unsupported model",
       [](fake::FakeRecorder& r) {
         fake::Identity id = r.GetIdentity();
         id.productId = "K48R";
         r.SetIdentity(id);
       },
       "1234", 0, "No support this device"},
      {"no session",
       [](fake::FakeRecorder& r) {
         fake::RawReply raw;
         raw.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 16\r\n\r\nProduct-ID=K41R;";
         r.SetRawReply("/Login.cgi", raw);
       },
       "1234", 0, "Login procedure failed"},
      {"nobody listening", [](fake::FakeRecorder&) {}, "1234", deadPort, "Login procedure failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    recorder_.SetLoginBusy(false);
    recorder_.SetIdentity(fake::Identity{});
    recorder_.ClearRawReply("/Login.cgi");
    c.setup(recorder_);
    app_->w_LoginResult = LOGIN_RESULT_FAILED;
    g_szSessionCookie.Clear();
    app_->sz_MacAddress.Clear();

    LoginDialog dlg;
    dlg.OnInitDialog();
    dlg.show();
    Fill(dlg, "admin", c.password, c.port);
    Connect(dlg);
    ASSERT_TRUE(WaitUntil([&] { return dlg.m_bShowFailure == 1; }, 5000, PumpEvents));
    EXPECT_EQ(dlg.m_strFailureText, c.text);
    PumpEventsFor(400);  // a tick posted late must not bring the bar back
    EXPECT_EQ(dlg.m_bAnimating.load(), 0);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(app_->w_LoginResult.load(), LOGIN_RESULT_FAILED);
    // The text is painted in its blue at its place.
    const QImage shot = dlg.Render();
    const QRect at(74, 245, 200, 16);
    bool blue = false;
    for (int y = at.top(); y <= at.bottom() && !blue; ++y) {
      for (int x = at.left(); x <= at.right() && !blue; ++x) {
        const QColor px(shot.pixel(x, y));
        blue = px.blue() > 200 && px.red() < 80 && px.green() < 100;
      }
    }
    EXPECT_TRUE(blue);
    if (std::string(c.text) == "No support this device") {
      // Session and firmware are kept; the MAC address of the refused reply is not.
      EXPECT_EQ(GetSessionId(), recorder_.GetIdentity().sessionId);
      EXPECT_EQ(app_->GetProductID(), "K48R");
      EXPECT_EQ(app_->sz_MacAddress.Text(), "");
    }
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(LoginWindowTest, AReplyWithoutProductIdLogsIn) {
  fake::RawReply raw;
  raw.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 15\r\n\r\nSession-ID=S77;";
  recorder_.SetRawReply("/Login.cgi", raw);
  LoginDialog dlg;
  QTimer::singleShot(0, &dlg, [&] {
    Fill(dlg, "admin", "1234");
    Connect(dlg);
  });
  EXPECT_EQ(dlg.DoModal(), plat::IDOK);
  EXPECT_EQ(GetSessionId(), "S77");
}

TEST_F(LoginWindowTest, EnterInAnyFieldStartsALoginAndNeverClosesTheWindow) {
  for (int field : {login_id::kUser, login_id::kPassword, login_id::kHost, login_id::kPort}) {
    SCOPED_TRACE(field);
    LoginDialog dlg;
    dlg.OnInitDialog();
    dlg.show();
    Fill(dlg, "admin", "wrong");
    const std::size_t before = recorder_.RequestCount();
    QTest::keyClick(Edit(dlg, field), Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return dlg.m_bShowFailure == 1; }, 5000, PumpEvents));
    EXPECT_EQ(recorder_.RequestCount(), before + 1);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), 0);
  }
  LoginDialog dlg;
  QTimer::singleShot(0, &dlg, [&] {
    Fill(dlg, "admin", "1234");
    QTest::keyClick(Edit(dlg, login_id::kPassword), Qt::Key_Enter);
  });
  EXPECT_EQ(dlg.DoModal(), plat::IDOK);
}

TEST_F(LoginWindowTest, AnEmptyUserNameOrPasswordIsRefusedWithoutARequest) {
  for (auto [user, password] : {std::pair{"", "1234"}, std::pair{"admin", ""}}) {
    LoginDialog dlg;
    dlg.OnInitDialog();
    Fill(dlg, user, password);
    Connect(dlg);
    dlg.Command(login_id::kUpgrade);
    PumpEventsFor(50);
  }
  EXPECT_EQ(Boxes(), std::vector<std::string>(4, "Username or password is not correct"));
  EXPECT_EQ(recorder_.RequestCount(), 0u);
}

TEST_F(LoginWindowTest, PortFieldKeepsDigitsAndClampsToItsRange) {
  struct Case {
    std::vector<const char*> typed;
    const char* shown;
    int port;
  } cases[] = {
      {{"0080"}, "80", 80},
      {{"12a3"}, "123", 123},
      {{"70000"}, "9999", 9999},
      {{"99999999999999999999"}, "9999", 9999},
      {{"0"}, "0", 0},
      {{"443", ""}, "", 443},       // an emptied field stays empty
      {{"443", "", "x"}, "443", 443},  // letters into an empty field bring back the last number
  };
  for (const Case& c : cases) {
    LoginDialog dlg;
    dlg.OnInitDialog();
    for (const char* t : c.typed) Edit(dlg, login_id::kPort)->setText(t);
    EXPECT_EQ(Edit(dlg, login_id::kPort)->text(), c.shown) << c.typed.back();
    EXPECT_EQ(dlg.m_nPort, c.port) << c.typed.back();
  }
}

TEST_F(LoginWindowTest, ConnectAfterAFailureClearsTheTextAndRestartsTheBar) {
  LoginDialog dlg;
  dlg.OnInitDialog();
  Fill(dlg, "admin", "wrong");
  Connect(dlg);
  ASSERT_TRUE(WaitUntil([&] { return dlg.m_bShowFailure == 1; }, 5000, PumpEvents));
  fake::RawReply slow;
  slow.bytes = "HTTP/1.1 401 Unauthorized\r\n\r\n";
  slow.delayMs = 1200;
  recorder_.SetRawReply("/Login.cgi", slow);
  Connect(dlg);
  EXPECT_EQ(dlg.m_bShowFailure, 0);
  EXPECT_EQ(dlg.m_byAnimateStep, 0);
  ASSERT_TRUE(WaitUntil([&] { return dlg.m_bAnimating.load() == 1; }, 5000, PumpEvents));
  EXPECT_EQ(dlg.m_byAnimateStep, 1);  // the first tick moves to the first position
  ASSERT_TRUE(WaitUntil([&] { return dlg.m_byAnimateStep == 3; }, 5000, PumpEvents));
  ASSERT_TRUE(WaitUntil([&] { return dlg.m_bShowFailure == 1; }, 4000, PumpEvents));
  EXPECT_EQ(dlg.m_bAnimating.load(), 0);
}

TEST_F(LoginWindowTest, AnAbandonedAttemptWritesNothingAndPostsNothing) {
  // The first attempt hangs in its request; Connect again abandons it for a second recorder.
  fake::RawReply late;
  late.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 31\r\n\r\nSession-ID=OLD;Product-ID=K99X;";
  late.delayMs = 800;
  recorder_.SetRawReply("/Login.cgi", late);
  fake::FakeRecorder second;
  ASSERT_TRUE(StartLowPort(second));
  fake::Identity id = second.GetIdentity();
  id.sessionId = "NEW";
  second.SetIdentity(id);

  const std::size_t threads = plat::LiveThreadCount();
  {
    LoginDialog dlg;
    dlg.OnInitDialog();
    Fill(dlg, "admin", "1234");
    Connect(dlg);
    ASSERT_TRUE(recorder_.WaitForRequests(1, 3000));
    Fill(dlg, "admin", "1234", second.Port());
    Connect(dlg);
    ASSERT_TRUE(WaitUntil([&] { return dlg.result() == plat::IDOK; }, 5000, PumpEvents));
    PumpEventsFor(1200);  // past the first recorder's late answer
    EXPECT_EQ(GetSessionId(), "NEW");
    EXPECT_EQ(dlg.m_bShowFailure, 0);
    EXPECT_EQ(app_->GetProductID(), "K41R");
  }
  // Cancel while a login runs: the window goes, and the attempt leaves no trace.
  app_->w_LoginResult = LOGIN_RESULT_FAILED;
  g_szSessionCookie.Clear();
  recorder_.ClearRequests();
  {
    LoginDialog dlg;
    dlg.OnInitDialog();
    Fill(dlg, "admin", "1234");
    Connect(dlg);
    ASSERT_TRUE(recorder_.WaitForRequests(1, 3000));
    dlg.Command(login_id::kCancel);
    EXPECT_EQ(dlg.result(), plat::IDCANCEL);
  }
  PumpEventsFor(1200);
  EXPECT_EQ(GetSessionId(), "");
  EXPECT_EQ(app_->w_LoginResult.load(), LOGIN_RESULT_FAILED);
  EXPECT_TRUE(WaitUntil([&] { return plat::LiveThreadCount() == threads; }, 5000, PumpEvents));
  second.Stop();
}

TEST_F(LoginWindowTest, TheAddressBookChoiceFillsUserAddressAndPortButNotThePassword) {
  const std::vector<IPRecordEntry> book = {{"first", "10.0.0.1", "", 81}, {"second", "10.0.0.2", "lab", 8080}};
  ASSERT_TRUE(SaveIPRecordFile(folder_.string() + "/IPRecord.dat", book));
  const std::string server = app_->CSettingINI.m_strServerName.Get();
  LoginDialog dlg;
  dlg.OnInitDialog();
  Fill(dlg, "admin", "secret");
  WhenModal<CAddressBookDialog>([](CAddressBookDialog& b) {
    b.Item<QListWidget>(book_id::kUserList)->setCurrentRow(1);
    b.Command(book_id::kSelect);
  });
  dlg.Command(login_id::kAddress);
  EXPECT_EQ(Edit(dlg, login_id::kUser)->text(), "second");
  EXPECT_EQ(Edit(dlg, login_id::kHost)->text(), "10.0.0.2");
  EXPECT_EQ(Edit(dlg, login_id::kPort)->text(), "8080");
  EXPECT_EQ(Edit(dlg, login_id::kPassword)->text(), "secret");
  EXPECT_EQ(app_->CSettingINI.m_strServerName.Get(), server);  // the settings wait for the login

  WhenModal<CAddressBookDialog>([](CAddressBookDialog& b) { b.Command(book_id::kCancel); });
  dlg.Command(login_id::kAddress);
  EXPECT_EQ(Edit(dlg, login_id::kUser)->text(), "second");
}

TEST_F(LoginWindowTest, PlayerGetsTheNewestRecordingAsItsOnlyArgument) {
  const std::string records = folder_.string() + "/records";
  std::filesystem::create_directories(records);
  auto touch = [&](const char* name, int age) {
    const std::string path = records + "/" + name;
    std::ofstream(path) << "x";
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(age));
  };
  EXPECT_EQ(LoginDialog::FindNewestRecording(records), "");
  touch("old.ovr", 5);
  touch("New.OVR", 1);
  touch("newest.txt", 0);
  EXPECT_EQ(LoginDialog::FindNewestRecording(records), records + "/New.OVR");
  EXPECT_EQ(LoginDialog::FindNewestRecording(records + "/"), records + "/New.OVR");

  // No player beside the program.
  struct RestoreProgramFolder {
    std::string folder = plat::ProgramFolder();
    ~RestoreProgramFolder() { plat::SetProgramFolder(folder); }
  } restore;
  const std::string program = folder_.string() + "/program/";
  std::filesystem::create_directories(program);
  plat::SetProgramFolder(program);
  app_->CSettingINI.m_strRecordPath = records;
  {
    LoginDialog dlg;
    dlg.OnPlayerButton();
  }
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Execuate player program is failed"});

  // A player that writes down its arguments: the newest recording, or none at all.
  const std::string out = folder_.string() + "/args.txt";
  {
    std::ofstream script(program + "Parvilo");
    script << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" << out << ".part'\nmv '" << out << ".part' '" << out
           << "'\n";
  }
  ::chmod((program + "Parvilo").c_str(), 0755);
  auto runPlayer = [&](const std::string& recordFolder) {
    std::filesystem::remove(out);
    app_->CSettingINI.m_strRecordPath = recordFolder;
    LoginDialog dlg;
    dlg.OnPlayerButton();
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(out); }, 5000, PumpEvents));
    std::ifstream in(out);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  EXPECT_EQ(runPlayer(records), records + "/New.OVR\n");
  const std::string empty = folder_.string() + "/empty";
  std::filesystem::create_directories(empty);
  EXPECT_EQ(runPlayer(empty), "");
  EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(LoginWindowTest, ScreenshotShowsEverySkinPictureInItsRectangleAndTheVersionGlyphs) {
  LoginDialog dlg;
  dlg.OnInitDialog();
  dlg.show();
  ASSERT_EQ(dlg.size(), QSize(304, 341));
  const QImage shot = dlg.grab().toImage();
  ASSERT_EQ(shot.size(), QSize(304, 341));
  auto filePixel = [](skin::Id id, int x, int y) {
    return QColor(QImage(QString::fromStdString(plat::MapPath(skin::Path(id)))).pixel(x, y));
  };
  int checked = 0;
  for (int i = 0; i < skin::COUNT; ++i) {
    const skin::Entry& e = skin::kEntries[i];
    // Every picture with a place of its own; of the buttons the normal face shows.
    if (std::string(e.name).rfind("LOGIN_", 0) != 0 || !e.path || e.x < 0 || e.style == skin::KEY_OVER || e.style == skin::KEY_DOWN || e.style == skin::BLOCK) {
      continue;
    }
    const QPoint probe = i == skin::LOGIN_SPACER ? QPoint(30, 92) : QPoint(2, 2);
    EXPECT_EQ(QColor(shot.pixel(e.x + probe.x(), e.y + probe.y())), filePixel(skin::Id(i), probe.x(), probe.y()))
        << e.name;
    ++checked;
  }
  EXPECT_EQ(checked, 21);  // the background, 9 frame pieces, 7 buttons and 4 icons
  // "1.0.6.2": seven glyphs from x 182 in steps of 10; each '.' is the point glyph.
  const skin::Id glyphs[7] = {skin::LOGIN_GLYPH_1, skin::LOGIN_GLYPH_POINT, skin::LOGIN_GLYPH_0,
                              skin::LOGIN_GLYPH_POINT, skin::LOGIN_GLYPH_6, skin::LOGIN_GLYPH_POINT,
                              skin::LOGIN_GLYPH_2};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(QColor(shot.pixel(182 + 10 * i + 1, 13 + 1)), filePixel(glyphs[i], 1, 1)) << i;
  }
  EXPECT_NE(QColor(shot.pixel(182 + 70 + 1, 14)), filePixel(skin::LOGIN_GLYPH_POINT, 1, 1));  // nothing after
  // Each tool button and field icon at its place with its tooltip; the edits beside the icons.
  struct Control {
    int id;
    QRect at;
    const char* tip;
  } controls[] = {
      {login_id::kAddress, QRect(QPoint(30, 50), QPoint(63, 83)), "Address"},
      {login_id::kSearch, QRect(QPoint(80, 50), QPoint(113, 83)), "Search"},
      {login_id::kPlayer, QRect(QPoint(130, 50), QPoint(163, 83)), "Player"},
      {login_id::kUpgrade, QRect(QPoint(230, 50), QPoint(263, 83)), "Upgrade Firmware"},
      {login_id::kCopy, QRect(QPoint(180, 50), QPoint(213, 83)), "Copy"},
      {login_id::kConnect, QRect(QPoint(50, 275), QPoint(81, 306)), "Connect"},
      {login_id::kCancel, QRect(QPoint(215, 275), QPoint(246, 306)), "Cancel"},
      {login_id::kIconName, QRect(QPoint(30, 100), QPoint(57, 127)), "User Name"},
      {login_id::kIconPassword, QRect(QPoint(30, 136), QPoint(57, 163)), "Password"},
      {login_id::kIconIP, QRect(QPoint(30, 172), QPoint(57, 199)), "IP"},
      {login_id::kIconPort, QRect(QPoint(30, 208), QPoint(57, 235)), "Port"},
      {login_id::kUser, QRect(93, 100, 180, 28), nullptr},
      {login_id::kPassword, QRect(93, 136, 180, 28), nullptr},
      {login_id::kHost, QRect(93, 172, 180, 28), nullptr},
      {login_id::kPort, QRect(93, 208, 100, 28), nullptr},
  };
  for (const Control& c : controls) {
    const QWidget* w = dlg.GetDlgItem(c.id);
    ASSERT_NE(w, nullptr) << c.id;
    EXPECT_EQ(w->geometry(), c.at) << c.id;
    if (c.tip) {
      EXPECT_EQ(w->toolTip(), c.tip) << c.id;
    }
  }
  EXPECT_EQ(dlg.toolTip(), "LOGIN");
  // While a login runs: the bar in its light blue, 18 half-blocks long, and the running block
  // at its step.
  const skin::Entry& block = skin::Get(skin::LOGIN_RUNNING);
  const int half = block.width / 2;
  dlg.m_bAnimating = 1;
  dlg.m_byAnimateStep = 3;
  const QImage running = dlg.Render();
  dlg.m_bAnimating = 0;
  EXPECT_EQ(QColor(running.pixel(74 + 3 * half + 2, 245 + 2)), filePixel(skin::LOGIN_RUNNING, 2, 2));
  EXPECT_EQ(QColor(running.pixel(74 + 1, 245 + 1)), QColor(157, 216, 244));
  EXPECT_EQ(QColor(running.pixel(74 + 18 * half - 1, 245 + block.height - 1)), QColor(157, 216, 244));
  EXPECT_NE(QColor(running.pixel(74 + 18 * half, 245 + 1)), QColor(157, 216, 244));
  // The window's shape is the rounded rectangle.
  EXPECT_FALSE(dlg.WindowRegion().contains(QPoint(0, 0)));
  EXPECT_TRUE(dlg.WindowRegion().contains(QPoint(152, 170)));
  EXPECT_FALSE(dlg.WindowRegion().contains(QPoint(303, 340)));
}

TEST_F(LoginWindowTest, AMissingSkinPictureLeavesTheWindowWithoutButtons) {
  const std::string saved = plat::ProgramFolder();
  plat::SetProgramFolder(folder_.string() + "/");
  {
    LoginDialog dlg;
    EXPECT_TRUE(dlg.OnInitDialog());
    EXPECT_EQ(dlg.GetDlgItem(login_id::kConnect), nullptr);
    EXPECT_NE(dlg.GetDlgItem(login_id::kUser), nullptr);
    EXPECT_FALSE(dlg.Render().isNull());
  }
  plat::SetProgramFolder(saved);
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace
