// The operator's side buttons with the whole engine behind the main window: disconnect and
// connect again, manual recording, snapshots and a resolution change that re-lays the window
// out when pictures of the new size arrive.
#include <QApplication>
#include <QTimer>
#include <signal.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "core/SettingINI.h"
#include "core/Strings.h"
#include "engine/Mailbox.h"
#include "engine/Resources.h"
#include "mainwnd/CmosToolBarDlg.h"
#include "mainwnd/Layout.h"
#include "mainwnd/TrelvixDlg.h"
#include "mainwnd_fixture.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/thread.h"
#include "platform/profile.h"
#include "platform/wave.h"
#include "session/ReLogin.h"
#include "tests/record/RecorderFixture.h"
#include "tests/support/OvrReader.h"
#include "tests/support/QtWait.h"
#include "ui/SignalShutdown.h"
#include "ui/VtxButton.h"

namespace {

using mwtest::EngineFixture;

constexpr std::int32_t kNoOpKernelMessage = 99;  // a code the mailbox ignores

// The default pictures, held back until the test opens the gate.
class GateProducer : public fake::StreamProducer {
 public:
  explicit GateProducer(const fake::StreamSettings& s) : inner_(s) {}
  bool NextPacket(int index, bool newHeader, std::string& packet) override {
    WaitUntil([this] { return open.load(); }, 10000);
    return inner_.NextPacket(index, newHeader, packet);
  }
  std::atomic<bool> open{false};

 private:
  fake::DefaultStreamProducer inner_;
};

class OperatorE2E : public EngineFixture {
 protected:
  bool Start() { return EngineFixture::Start(true); }
  void Press(int id) {
    dlg_->Command(id);
    ProcessEvents();
  }
  // A small disk for the manual recorder; it outlives the window's shut-down in TearDown.
  rectest::FaultFs disk_;
  std::vector<std::string> Files(const std::string& folder, const std::string& prefix) const {
    std::vector<std::string> v;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      const std::string name = e.path().filename().string();
      if (name.rfind(prefix, 0) == 0) v.push_back(e.path().string());
    }
    return v;
  }
  // The one manual recording in the record folder, read and checked as a recording file.
  void ReadTheRecording(ovrtest::File& file) const {
    const auto files = Files(folder_ + "rec", "USER_MJPEG_");
    ASSERT_EQ(files.size(), 1u);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(plat::ReadWholeFile(files[0], bytes));
    std::string error;
    ASSERT_TRUE(ovrtest::ReadFile(bytes, file, error)) << error;
  }
};

TEST_F(OperatorE2E, DisconnectStopsTheStreamAndConnectBringsItBack) {
  Device("K44R", "1050", "LIFETIME=60;USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitUntil([&] { return !dlg_->DisplayedRect().isEmpty() && app_->f_Streaming.load(); }, 10000, PumpEvents));
  CVtxButton* connect = dlg_->Button(IDC_CONNECT);
  ASSERT_NE(connect, nullptr);

  Press(IDC_CONNECT);  // disconnect
  EXPECT_EQ(app_->f_Connected.load(), 0);
  EXPECT_EQ(dlg_->StatusText(), "DISCONNECT!!");
  ASSERT_TRUE(WaitUntil([&] { return connect->m_wImageIndex == 1; }, 10000, PumpEvents));
  EXPECT_TRUE(WaitUntil([&] { return app_->f_Streaming.load() == 0; }, 10000, PumpEvents));
  const int sent = fake_.FramesSent();
  const int videoRequests = Requests("/Getvideo.cgi"), loginRequests = Requests("/Login.cgi");
  // No reconnection after a disconnect: every kernel message posted so far has been handled
  // (a later post got through twice) and no re-login thread exists; nor does one after the
  // stopped clock is carried past a re-login's pauses and longest back-off.
  auto handled = [] {
    for (int i = 0; i < 2; ++i) {
      if (!PostKernelMessage(kNoOpKernelMessage, 0, 10000)) return false;
    }
    return true;
  };
  ASSERT_TRUE(handled());
  EXPECT_EQ(app_->h_ReLoginThread.load(), 0u);
  plat::SetManualClock(true);
  plat::Advance(kReLoginFailPauseMs + ReLoginBackoffMs(std::uint64_t{1} << 40) + kReLoginRetryPauseMs +
                kReLoginReleasePauseMs);
  plat::SetManualClock(false);
  ASSERT_TRUE(handled());
  EXPECT_EQ(app_->h_ReLoginThread.load(), 0u);
  EXPECT_EQ(Requests("/Getvideo.cgi"), videoRequests) << "no reconnection after a disconnect";
  EXPECT_EQ(Requests("/Login.cgi"), loginRequests) << "no reconnection after a disconnect";
  // Without a picture the commands say so.
  Press(IDC_SNAPSHOT);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(IDS_CONNECT_SERVER_FIRST)});

  // Connect while the recorder holds its login answer. The re-login thread counts as connected
  // from its start, so a second press during that login disconnects: the thread ends and no
  // stream is asked for.
  const int logins = Requests("/Login.cgi");
  const fake::Identity id = fake_.GetIdentity();
  const std::string body = "Session-ID=" + id.sessionId + ";Firmware-Version=" + id.firmware +
                           ";Product-ID=" + id.productId + ";MAC-Address=" + id.mac + ";Host-Name=" + id.hostName + ";";
  fake::RawReply slowLogin;
  slowLogin.bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  slowLogin.delayMs = 5000;
  fake_.SetRawReply("/Login.cgi", slowLogin);
  Press(IDC_CONNECT);
  ASSERT_TRUE(WaitUntil([&] { return Requests("/Login.cgi") > logins; }, 10000, PumpEvents));
  EXPECT_EQ(app_->f_Connected.load(), 1);
  Press(IDC_CONNECT);
  EXPECT_EQ(app_->f_Connected.load(), 0);
  EXPECT_EQ(app_->h_ReLoginThread.load(), 0u);
  fake_.ClearRawReply("/Login.cgi");

  // Connect again: one re-login thread, and the stream returns.
  Press(IDC_CONNECT);
  ASSERT_TRUE(WaitUntil([&] { return fake_.FramesSent() > sent + 3 && app_->f_Connected.load(); }, 30000, PumpEvents))
      << "status: " << dlg_->StatusText() << ", logins " << Requests("/Login.cgi") - logins << ", streams "
      << Requests("/Getvideo.cgi") - videoRequests;
  EXPECT_GE(Requests("/Login.cgi"), logins + 2);
  EXPECT_EQ(Requests("/Getvideo.cgi"), videoRequests + 1) << "one stream, from one re-login thread";
  EXPECT_TRUE(WaitUntil([&] { return connect->m_wImageIndex == 0; }, 10000, PumpEvents));
}

TEST_F(OperatorE2E, RecordingAndSnapshotFiles) {
  Device("K44R", "1050", "LIFETIME=60;USERLEVEL=30;VIDEOMODE=0;");
  app_->CSettingINI.m_strRecordPath.Set(folder_ + "no-such-folder");
  auto gate = std::make_shared<GateProducer>(fake::StreamSettings{});
  fake_.SetStreamProducer(gate);
  ASSERT_TRUE(Start());
  // Snapshot while the stream runs but before its first picture: the first one is saved.
  ASSERT_TRUE(WaitUntil([&] { return app_->f_VideoRunning.load() == 1; }, 10000, PumpEvents));
  Press(IDC_SNAPSHOT);
  EXPECT_TRUE(Files(folder_ + "snap", "").empty());
  gate->open = true;
  EXPECT_TRUE(WaitUntil([&] { return Files(folder_ + "snap", "").size() == 1; }, 10000, PumpEvents));
  ASSERT_TRUE(WaitUntil([&] { return !dlg_->DisplayedRect().isEmpty(); }, 10000, PumpEvents));
  EXPECT_TRUE(boxes_.Texts().empty());

  // A folder that does not exist: 4018 and the button keeps its face.
  Press(IDC_RECORD);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(IDS_CREATE_RECORD_FILE_FAILED)});
  EXPECT_EQ(dlg_->Button(IDC_RECORD)->m_wImageIndex, 0);

  app_->CSettingINI.m_strRecordPath.Set(folder_ + "rec");
  Press(IDC_RECORD);
  EXPECT_EQ(dlg_->Button(IDC_RECORD)->m_wImageIndex, 1);
  EXPECT_EQ(dlg_->Button(IDC_RECORD)->toolTip().toStdString(), "RECORDING");
  const int sent = fake_.FramesSent();
  ASSERT_TRUE(WaitUntil([&] { return fake_.FramesSent() > sent + 10; }, 10000, PumpEvents));
  Press(IDC_RECORD);
  EXPECT_EQ(dlg_->Button(IDC_RECORD)->m_wImageIndex, 0);
  EXPECT_EQ(dlg_->Button(IDC_RECORD)->toolTip().toStdString(), "RECORD");
  ovrtest::File file;
  ASSERT_NO_FATAL_FAILURE(ReadTheRecording(file));
  EXPECT_GT(file.frames.size(), 0u);

  // Snapshot after the first picture: another file in the snapshot folder.
  for (const std::string& f : Files(folder_ + "snap", "")) std::filesystem::remove(f);
  Press(IDC_SNAPSHOT);
  EXPECT_TRUE(WaitUntil([&] { return Files(folder_ + "snap", "").size() == 1; }, 10000, PumpEvents));
}

TEST_F(OperatorE2E, ResolutionChangeReLaysTheWindowOutAtTheNewPictureSize) {
  Device("K44R", "1050", "LIFETIME=60;USERLEVEL=30;VIDEOMODE=0;");
  fake::StreamSettings s;
  s.width = 704;
  s.height = 480;
  s.pictureSize = 0;
  fake_.SetStreamSettings(s);
  fake_.SetResolutionSize(1, 352, 240);
  app_->CSettingINI.m_nImageResolution = 0;
  ASSERT_TRUE(Start());
  auto windowOf = [](unsigned layout) {
    const LayoutRow& L = LayoutRowOf(layout);
    return QSize(L[LV_WINDOW + 2] - L[LV_WINDOW], L[LV_WINDOW + 3] - L[LV_WINDOW + 1]);
  };
  // 704 x 480 pictures: the PAL VGA layout of the family.
  ASSERT_TRUE(WaitUntil([&] { return app_->w_LayoutMode.load() == 8 && dlg_->size() == windowOf(8); }, 10000, PumpEvents));
  Press(IDC_RESOLUTION);
  EXPECT_EQ(fake_.Resolution(), 1);
  EXPECT_EQ(app_->CSettingINI.m_nImageResolution.load(), 1);
  // 352 x 240 pictures from the next frame on: the small layout, a smaller window.
  EXPECT_TRUE(WaitUntil([&] { return app_->w_LayoutMode.load() == 7 && dlg_->size() == windowOf(7); }, 10000, PumpEvents));
  EXPECT_LT(dlg_->width(), windowOf(8).width());
}

// The sensor toolbar's faces follow the state byte of the frame headers, not the clicks.
TEST_F(OperatorE2E, SensorToolbarFollowsTheStreamEndToEnd) {
  Device("K47R", "1000", "LIFETIME=60;USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Start());
  CCmosToolBarDlg* bar = dlg_->CmosToolBar();
  ASSERT_NE(bar, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return !dlg_->DisplayedRect().isEmpty(); }, 10000, PumpEvents));
  bar->Command(8602);  // right-top quarter
  EXPECT_EQ(fake_.SensorState() & 0x0F, 2);
  EXPECT_TRUE(WaitUntil([&] { return bar->ToolButton(2)->m_wImageIndex == 1 && bar->ToolButton(0)->m_wImageIndex == 0; }, 10000, PumpEvents));
  bar->Command(CCmosToolBarDlg::IDC_HORIZONTAL_ROTATE);
  EXPECT_TRUE(WaitUntil([&] { return bar->HorizontalRotate() == 1; }, 10000, PumpEvents));
  bar->Command(CCmosToolBarDlg::IDC_VERTICAL_ROTATE);
  EXPECT_TRUE(WaitUntil([&] { return bar->VerticalRotate() == 1 && bar->HorizontalRotate() == 1; }, 10000, PumpEvents));
  EXPECT_EQ(fake_.SensorState(), 0xC2);
}

// The R.E.T.R. key asks for the opposite of the reported state; its face follows the panel
// byte of the frames that come after.
TEST_F(OperatorE2E, RetrKeyFaceFollowsTheFrames) {
  Device("K41R", "1030", "LIFETIME=60;USERLEVEL=30;MULTICH=0;VIDEOMODE=0;LINKDEVICE=14;");
  fake_.SetRetrState(0);
  fake_.SetReportRetr(true);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitUntil([&] { return !dlg_->DisplayedRect().isEmpty(); }, 10000, PumpEvents));
  CVtxButton* key = dlg_->Button(IDC_RETR);
  ASSERT_NE(key, nullptr);
  Press(IDC_RETR);
  EXPECT_EQ(fake_.RetrState(), 1);
  EXPECT_TRUE(WaitUntil([&] { return app_->C_ControlD.GetRetrState() == 1; }, 10000, PumpEvents));
  EXPECT_TRUE(WaitUntil([&] { return key->toolTip().toStdString() == "R.E.T.R.(Enable)"; }, 10000, PumpEvents));
  Press(IDC_RETR);
  EXPECT_EQ(fake_.RetrState(), 0);
  EXPECT_TRUE(WaitUntil([&] { return key->toolTip().toStdString() == "R.E.T.R.(Disable)"; }, 10000, PumpEvents));
}

// The disk fills during a manual recording: the record button returns to idle with one lasting
// message naming the file with '/', no file without pictures is left, and the next press
// starts a new recording.
TEST_F(OperatorE2E, ARecordingTheFullDiskEndsReturnsTheButtonToIdleWithOneMessage) {
  Device("K44R", "1050", "LIFETIME=60;USERLEVEL=30;VIDEOMODE=0;");
  app_->C_UserRecord.SetFileSystem(&disk_);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitUntil([&] { return !dlg_->DisplayedRect().isEmpty(); }, 10000, PumpEvents));
  CVtxButton* button = dlg_->Button(IDC_RECORD);
  const std::string rec = folder_ + "rec";
  const auto expectIdleAfterBoxes = [&](std::size_t count) {
    ASSERT_TRUE(WaitUntil([&] { return boxes_.Texts().size() >= count; }, 30000, PumpEvents)) << dlg_->StatusText();
    ProcessEvents();
    EXPECT_EQ(boxes_.Texts().size(), count);
    EXPECT_FALSE(app_->C_UserRecord.IsFileOpen());
    EXPECT_EQ(button->m_wImageIndex, 0);
    EXPECT_EQ(button->toolTip().toStdString(), "RECORD");
    const std::string text = boxes_.Texts().back();
    EXPECT_EQ(text.rfind("Write record file is failed: " + rec + "/USER_MJPEG_", 0), 0u) << text;
    EXPECT_EQ(text.find('\\'), std::string::npos) << text;
  };

  // Room for the header and some pictures.
  disk_.space = 200 * 1024;
  Press(IDC_RECORD);
  EXPECT_EQ(button->m_wImageIndex, 1);
  expectIdleAfterBoxes(1);
  ovrtest::File file;
  ASSERT_NO_FATAL_FAILURE(ReadTheRecording(file));
  EXPECT_GT(file.frames.size(), 0u);

  // The disk is full: the next press starts a recording, which ends at its first picture
  // and leaves nothing behind.
  disk_.space = 0;
  Press(IDC_RECORD);
  EXPECT_EQ(button->m_wImageIndex, 1);
  expectIdleAfterBoxes(2);
  EXPECT_EQ(Files(rec, "USER_MJPEG_").size(), 1u);

  // Room again: press and press stop a recording as always.
  disk_.space = INT64_MAX / 2;
  Press(IDC_RECORD);
  ASSERT_TRUE(WaitUntil([&] { return app_->C_UserRecord.m_fRecording.load() == 1; }, 10000, PumpEvents));
  const int sent = fake_.FramesSent();
  ASSERT_TRUE(WaitUntil([&] { return fake_.FramesSent() > sent + 3; }, 10000, PumpEvents));
  Press(IDC_RECORD);
  EXPECT_EQ(button->m_wImageIndex, 0);
  EXPECT_EQ(Files(rec, "USER_MJPEG_").size(), 2u);
  EXPECT_EQ(boxes_.Texts().size(), 2u);
}

// SIGTERM while the window runs modally with a manual recording: the window's own close runs,
// the recording is finished with its index and Setting.ini is saved.
TEST_F(OperatorE2E, SigtermDuringAManualRecordingClosesItWithItsIndexAndSavesTheSettings) {
  Device("K44R", "1050", "LIFETIME=60;USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_EQ(AllocateSystemBuffer(), 1);
  ASSERT_EQ(InitialSemaphore(), 1);
  ASSERT_EQ(InitProcessResource(), 1);
  ASSERT_EQ(InitLoginResource(), 1);
  app_->w_LoginResult = 30;
  app_->f_Connected = 1;
  dlg_ = std::make_unique<CTrelvixDlg>();
  dlg_->SetWorkAreaForTest(QRect(0, 0, 1280, 1000));
  ui::SignalShutdown shutdown;
  ASSERT_TRUE(shutdown.Installed());

  bool recording = false;
  bool raised = false;
  int sent = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    if (!recording && !dlg_->DisplayedRect().isEmpty()) {
      dlg_->Command(IDC_RECORD);
      recording = true;
      sent = fake_.FramesSent();
    } else if (recording && !raised && app_->C_UserRecord.m_fRecording.load() && fake_.FramesSent() > sent + 5) {
      raised = true;
      ::raise(SIGTERM);
    }
  });
  driver.start(20);
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    ADD_FAILURE() << "no shut-down; status: " << dlg_->StatusText();
    dlg_->close();
  });
  watchdog.start(60000);
  dlg_->DoModal();
  driver.stop();
  watchdog.stop();
  ASSERT_TRUE(raised);
  EXPECT_EQ(shutdown.Signal(), SIGTERM);

  ovrtest::File file;
  ASSERT_NO_FATAL_FAILURE(ReadTheRecording(file));
  EXPECT_GT(file.count, 0u);
  EXPECT_EQ(file.count, file.frames.size());
  const std::string ini = app_->CSettingINI.SettingFilePath();
  EXPECT_EQ(ini, folder_ + "Setting.ini");
  ASSERT_TRUE(plat::FileExists(ini));
  EXPECT_EQ(plat::GetPrivateProfileString("Ovistra", "Record Path", "", ini), folder_ + "rec");
  EXPECT_TRUE(boxes_.Texts().empty());
}

// The main window's close that cannot save the settings says so.
TEST_F(OperatorE2E, ACloseThatCannotSaveTheSettingsTellsTheOperator) {
  Device("K44R", "1050", "LIFETIME=60;USERLEVEL=30;VIDEOMODE=0;");
  ASSERT_TRUE(Start());
  const std::string ini = app_->CSettingINI.SettingFilePath();
  ASSERT_TRUE(plat::CreateDirectories(ini + "/inside"));  // a folder stands where the file goes
  ASSERT_TRUE(dlg_->DestroyWindow());
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{SettingsNotSavedText(ini)});
}

}  // namespace
