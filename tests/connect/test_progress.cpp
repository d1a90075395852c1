// The connect progress window and the firmware button of the login window.
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "connect/ConnectProgressDlg.h"
#include "connect/LoginDialog.h"
#include "connect/LoginTools.h"
#include "tests/support/QtWait.h"
#include "ui/VtxButton.h"
#include "session/Login.h"
#include "tests/connect/connect_fixture.h"

namespace {

struct RecordingTools : ILoginToolDialogs {
  int RunFolderPicker(QWidget*, const std::string& start, std::string& chosen) override {
    pickerStarts.push_back(start);
    chosen = pick;
    return pickAnswer;
  }
  int RunCopyProgram(QWidget*, const std::string& source, const std::string& destination) override {
    copies.push_back(source + " -> " + destination);
    return 1;
  }
  int RunUpgradeFirmware() override { return ++upgrades; }
  std::vector<std::string> pickerStarts, copies;
  std::string pick;
  int pickAnswer = 1;
  int upgrades = 0;
};

class ProgressTest : public ConnectFixture {
 protected:
  void SetUp() override {
    ConnectFixture::SetUp();
    ASSERT_TRUE(StartLowPort(recorder_));
    SetLoginToolDialogs(&tools_);
  }
  void TearDown() override {
    SetLoginToolDialogs(nullptr);
    DestroyLoginObject();
    recorder_.Stop();
    ConnectFixture::TearDown();
  }
  void Fill(LoginDialog& d, const char* password) {
    d.Item<QLineEdit>(login_id::kHost)->setText("127.0.0.1");
    d.Item<QLineEdit>(login_id::kPort)->setText(QString::number(recorder_.Port()));
    d.Item<QLineEdit>(login_id::kUser)->setText("admin");
    d.Item<QLineEdit>(login_id::kPassword)->setText(password);
  }
  fake::FakeRecorder recorder_;
  RecordingTools tools_;
};

TEST_F(ProgressTest, TheCaptionCyclesOneToFourDotsAndTheWindowEndsWithTheWorkersResult) {
  LoginDialog login;
  login.OnInitDialog();
  Fill(login, "1234");
  login.m_strHostText = "127.0.0.1";
  fake::RawReply slow;
  const std::string body = "Session-ID=" + recorder_.GetIdentity().sessionId + ";";
  slow.bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  slow.delayMs = 1700;  // long enough for five ticks of the caption
  recorder_.SetRawReply("/Login.cgi", slow);
  CConnectProgressDlg progress(nullptr, &login);
  progress.m_strCaption = "Connect 127.0.0.1";
  std::vector<QString> captions;
  auto* label = progress.Item<QLabel>(kConnectCaptionId);
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (captions.empty() || captions.back() != label->text()) captions.push_back(label->text());
  });
  probe.start(10);
  login.UpdateData(true);
  EXPECT_EQ(progress.DoModal(), 1);
  ASSERT_GE(captions.size(), 6u);
  EXPECT_EQ(captions[0], "Connect 127.0.0.1");
  const QString dots[4] = {"Connect 127.0.0.1 .", "Connect 127.0.0.1 ..", "Connect 127.0.0.1 ...",
                           "Connect 127.0.0.1 ...."};
  for (std::size_t i = 1; i < captions.size(); ++i) EXPECT_EQ(captions[i], dots[(i - 1) % 4]) << i;
  EXPECT_TRUE(Boxes().empty());

  recorder_.ClearRawReply("/Login.cgi");
  login.Item<QLineEdit>(login_id::kPassword)->setText("wrong");
  login.UpdateData(true);
  CConnectProgressDlg failing(nullptr, &login);
  EXPECT_EQ(failing.DoModal(), -1);
  EXPECT_TRUE(WaitUntil([&] { return Boxes() == std::vector<std::string>{"Login error !!"}; }, 5000, PumpEvents));
}

// The window's result must mean only what the worker reported: Enter does not end it, Escape
// ends it as a failure and the abandoned worker shows nothing afterwards.
TEST_F(ProgressTest, EnterNeverEndsTheWindowAndEscapeAbandonsTheWorker) {
  LoginDialog login;
  login.OnInitDialog();
  Fill(login, "wrong");
  login.UpdateData(true);
  fake::RawReply slow;
  slow.bytes = "HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n\r\n";
  slow.delayMs = 800;
  recorder_.SetRawReply("/Login.cgi", slow);
  CConnectProgressDlg progress(nullptr, &login);
  bool openAfterEnter = false;
  QTimer::singleShot(50, &progress, [&] {
    QTest::keyClick(&progress, Qt::Key_Return);
    openAfterEnter = progress.isVisible() && progress.result() == 0;
    QTest::keyClick(&progress, Qt::Key_Escape);
  });
  EXPECT_EQ(progress.DoModal(), -1);
  EXPECT_TRUE(openAfterEnter);
  PumpEventsFor(1200);  // past the recorder's late refusal
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(ProgressTest, TheFirmwareButtonOpensTheUpgradeOnlyForAnAdministratorOfASupportedDevice) {
  struct Case {
    const char* name;
    const char* product;
    const char* firmware;
    int level;
    const char* box;  // nullptr: the upgrade dialog opens
  } cases[] = {
      {"administrator, DVR 1031", "K41R", "1031", 30, nullptr},
      {"DVR below 1031", "K42R", "1030", 30, "Device doesn't support network upgrade FW"},
      {"video server, any firmware", "K40R", "0001", 30, nullptr},
      {"K47R", "K47R", "0001", 30, nullptr},
      {"normal user", "K41R", "1046", 20, "Only administrator could use upgrade firmware function"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake::Identity id = recorder_.GetIdentity();
    id.productId = c.product;
    id.firmware = c.firmware;
    recorder_.SetIdentity(id);
    recorder_.SetDeviceInfo("LIFETIME=0;USERLEVEL=" + std::to_string(c.level) + ";");
    ClearBoxes();
    const int upgrades = tools_.upgrades;
    LoginDialog login;
    login.OnInitDialog();
    Fill(login, "1234");
    login.Command(login_id::kUpgrade);
    if (c.box) {
      EXPECT_EQ(Boxes(), std::vector<std::string>{c.box});
      EXPECT_EQ(tools_.upgrades, upgrades);
    } else {
      EXPECT_TRUE(Boxes().empty());
      EXPECT_EQ(tools_.upgrades, upgrades + 1);
    }
    EXPECT_EQ(login.result(), 0);  // the login window stays open
  }
  // A failed login stops the button with the worker's own message only.
  LoginDialog login;
  login.OnInitDialog();
  Fill(login, "wrong");
  ClearBoxes();
  login.Command(login_id::kUpgrade);
  EXPECT_TRUE(WaitUntil([&] { return Boxes() == std::vector<std::string>{"Login error !!"}; }, 5000, PumpEvents));
}

TEST_F(ProgressTest, CopyProgramCreatesTheSkinFolderAndCopiesFromTheProgramFolder) {
  LoginDialog login;
  login.OnInitDialog();
  tools_.pick = folder_.string() + "/target";
  std::filesystem::create_directories(tools_.pick);
  login.Command(login_id::kCopy);
  EXPECT_TRUE(std::filesystem::is_directory(tools_.pick + "/BMP"));
  ASSERT_EQ(tools_.copies.size(), 1u);
  EXPECT_EQ(tools_.copies[0], app_->CSettingINI.m_strProgramPath.Get() + " -> " + tools_.pick);
  tools_.pickAnswer = 2;
  login.Command(login_id::kCopy);
  EXPECT_EQ(tools_.copies.size(), 1u);
}

}  // namespace
