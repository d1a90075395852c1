// The firmware upgrade dialog against the fake recorder: initialisation per model family,
// choosing the source, an upload from Upgrade to the dialog's close, and Cancel.
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

#include "config/UpgradeFWDlg.h"
#include "core/Messages.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "session/Command.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/QtWait.h"

namespace {

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// A package of one KERNEL and one BOOT record of `size` bytes each.
std::vector<std::uint8_t> Package(std::uint32_t size) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t type : {1u, 0u}) {
    const std::uint32_t header = (size << 4) | type;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(header >> (8 * i)));
    for (std::uint32_t i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(i + type));
  }
  return out;
}

class FirmwareDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetLocalIPv4Override("127.0.0.1");
    ASSERT_TRUE(fake_.Start());
    app_ = std::make_unique<AppRecord>();
    g_lpApp = app_.get();
    app_->ApplyStartValues();
    g_strLocalIP = "127.0.0.1";
    app_->SetServerName("127.0.0.1");
    app_->CSettingINI.m_wWebPort.store(fake_.Port());
    app_->CSettingINI.m_strProgramPath.Set(dir_.Folder());
    app_->CSettingINI.m_strUpgradeFWPath.Set(dir_.Folder());
    app_->CSettingINI.m_strUpgradeDVRFWPath.Set(dir_.path());
    SetSessionId(fake_.GetIdentity().sessionId);
    plat::SetTimeScale(10);
  }
  void TearDown() override {
    plat::SetTimeScale(1);
    g_lpApp = nullptr;
    fake_.Stop();
    plat::SetLocalIPv4Override("");
  }
  void Model(const char* model, const char* firmware) {
    app_->strProductID.Set(model);
    app_->str_FWVersion.Set(firmware);
  }
  std::vector<std::string> Targets(const char* path) {
    std::vector<std::string> out;
    for (const auto& r : fake_.Requests())
      if (r.path == path) out.push_back(r.target());
    return out;
  }
  bool UpgradeEnabled(CUpgradeFWDlg& d) { return d.GetDlgItem(CUpgradeFWDlg::IDC_UPGRADE)->isEnabled(); }

  TempDir dir_;
  fake::FakeRecorder fake_;
  std::unique_ptr<AppRecord> app_;
  MessageBoxRecorder boxes_;
};

}  // namespace

TEST_F(FirmwareDialogTest, InitialisationPerFamily) {
  Model("K44R", "1013");
  {
    CUpgradeFWDlg d;
    ASSERT_TRUE(d.OnInitDialog());
    EXPECT_EQ(d.GetDlgItemText(CUpgradeFWDlg::IDC_VERSION), QStringLiteral("1.0.1.3"));
    EXPECT_EQ(d.m_strPath, dir_.Folder() + "KERNEL.BIN");
    EXPECT_EQ(d.m_nPart, 0);
    EXPECT_TRUE(d.GetDlgItem(CUpgradeFWDlg::IDC_PART)->isHidden());
    EXPECT_TRUE(d.GetDlgItem(CUpgradeFWDlg::IDC_SUCCESS)->isHidden());
    EXPECT_TRUE(d.GetDlgItem(CUpgradeFWDlg::IDC_PROGRESS)->isHidden());
    EXPECT_TRUE(Targets("/GetVersion.cgi").empty());
  }
  Model("K42R", "1070");
  fake_.Firmware().SetVersion("DVR 2.7 build 11");
  {
    CUpgradeFWDlg d;
    ASSERT_TRUE(d.OnInitDialog());
    EXPECT_EQ(d.m_strVersion, "DVR 2.7 build 11");
    EXPECT_EQ(d.m_strPath, dir_.path());
    EXPECT_TRUE(d.HasFileTable());
    EXPECT_EQ(Targets("/GetVersion.cgi"),
              std::vector<std::string>{"/GetVersion.cgi?Cookie=" + fake_.GetIdentity().sessionId});
  }
  // A failed version request leaves the version empty; the folder and table are still set.
  fake_.SetStatus500(true);
  CUpgradeFWDlg d;
  ASSERT_TRUE(d.OnInitDialog());
  EXPECT_TRUE(d.m_strVersion.empty());
  EXPECT_EQ(d.m_strPath, dir_.path());
  EXPECT_TRUE(d.HasFileTable());
}

TEST_F(FirmwareDialogTest, FindStoresTheFolders) {
  Model("K47R", "1100");
  {
    CUpgradeFWDlg d;
    d.OnInitDialog();
    d.chooseFile = [](const std::string&, std::string& chosen) {
      chosen = "/opt/fw/new/k47r.bin";
      return true;
    };
    d.Command(CUpgradeFWDlg::IDC_FIND);
    EXPECT_EQ(d.GetDlgItemText(CUpgradeFWDlg::IDC_PATH), QStringLiteral("/opt/fw/new/k47r.bin"));
    EXPECT_EQ(app_->CSettingINI.m_strUpgradeFWPath.Get(), "/opt/fw/new/");
    d.chooseFile = [](const std::string&, std::string&) { return false; };
    d.Command(CUpgradeFWDlg::IDC_FIND);
    EXPECT_EQ(d.m_strPath, "/opt/fw/new/k47r.bin");
  }
  Model("K41R", "1080");
  CUpgradeFWDlg d;
  d.OnInitDialog();
  std::string startedAt;
  d.chooseFolder = [&](const std::string& start, std::string& chosen) {
    startedAt = start;
    chosen = "/srv/dvr-fw/";
    return true;
  };
  d.Command(CUpgradeFWDlg::IDC_FIND);
  EXPECT_EQ(startedAt, dir_.path());
  EXPECT_EQ(d.m_strPath, "/srv/dvr-fw");
  EXPECT_EQ(app_->CSettingINI.m_strUpgradeDVRFWPath.Get(), "/srv/dvr-fw");
}

TEST_F(FirmwareDialogTest, SourceErrorsAreShownAndNothingStarts) {
  Model("K44R", "1000");
  {
    CUpgradeFWDlg d;
    d.OnInitDialog();  // KERNEL.BIN does not exist
    d.Command(CUpgradeFWDlg::IDC_UPGRADE);
    EXPECT_FALSE(d.HasUploadThread());
  }
  Model("K43R", "1050");
  {
    CUpgradeFWDlg d;
    d.OnInitDialog();  // the folder holds none of the component files
    d.Command(CUpgradeFWDlg::IDC_UPGRADE);
    EXPECT_FALSE(d.HasUploadThread());
  }
  EXPECT_EQ(boxes_.Texts(), (std::vector<std::string>{LoadStr(IDS_OPEN_FIRMWARE_FAILED), LoadStr(IDS_NO_FIRMWARE_FILE)}));
  EXPECT_EQ(std::string(LoadStr(IDS_NO_FIRMWARE_FILE)), "The directory is not contain any firmware file.Check your path again.");
  EXPECT_TRUE(Targets("/UpgradeFW.cgi").empty());
}

TEST_F(FirmwareDialogTest, UpgradeRunsToTheFlashMessageAndCloses) {
  Model("K44R", "1000");
  WriteFile(dir_.Folder() + "KERNEL.BIN", Package(1000));
  CUpgradeFWDlg d;
  QTimer::singleShot(0, &d, [&] { d.Command(CUpgradeFWDlg::IDC_UPGRADE); });
  EXPECT_EQ(d.DoModal(), 0);
  EXPECT_EQ(boxes_.Texts(), std::vector<std::string>{LoadStr(IDS_OVERWRITE_FLASH_NOW)});
  EXPECT_EQ(fake_.Firmware().Components().size(), 2u);
  EXPECT_TRUE(UpgradeEnabled(d));
  // The settings were written when the upload started.
  EXPECT_TRUE(std::filesystem::exists(dir_.Folder() + "Setting.ini"));
}

TEST_F(FirmwareDialogTest, CancelStopsTheUploadAndTellsTheRecorder) {
  Model("K44R", "1000");
  WriteFile(dir_.Folder() + "KERNEL.BIN", Package(2000));
  fake_.Firmware().FailChunk(2, fake::FakeFirmware::ChunkFault::Stall);
  CUpgradeFWDlg d;
  ASSERT_TRUE(d.OnInitDialog());
  d.show();
  d.Command(CUpgradeFWDlg::IDC_UPGRADE);
  ASSERT_TRUE(WaitUntil([&] { return fake_.Firmware().ChunkRequests() == 2 && !UpgradeEnabled(d); }, 5000,
                        PumpEvents));
  d.Command(CUpgradeFWDlg::IDC_CANCEL);
  EXPECT_FALSE(d.HasUploadThread());
  const auto chunks = Targets("/UpgradeFW.cgi");
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks.back(), "/UpgradeFW.cgi?Upgrade=Cancel&Cookie=" + fake_.GetIdentity().sessionId);
  EXPECT_FALSE(fake_.Firmware().HasOpenComponent());
  EXPECT_TRUE(boxes_.Texts().empty());  // a stopped upload shows nothing
  // Without an upload Cancel still sends the variant's request: raw for a K40R from 1013.
  Model("K40R", "1013");
  CUpgradeFWDlg idle;
  idle.OnInitDialog();
  idle.Command(CUpgradeFWDlg::IDC_CANCEL);
  EXPECT_EQ(Targets("/CancelUPFW.cgi"),
            std::vector<std::string>{"/CancelUPFW.cgi?Cookie=" + fake_.GetIdentity().sessionId});
}

// Uploads at their edges: without a session identifier, and Cancel pressed while the "overwrite
// flash" message is still on the screen.
TEST_F(FirmwareDialogTest, WithoutASessionTheQueriesCarryAnEmptyCookieAndChunksNone) {
  struct Case {
    const char* model;
    const char* firmware;
    const char* uploadPath;
    const char* uploadStart;  // how every upload request begins
    bool cookie;              // upload requests name the cookie at all
  } cases[] = {{"K44R", "1000", "/UpgradeFW.cgi", "/UpgradeFW.cgi", false},
               {"K40R", "1013", "/UpgradeFW2.cgi", "/UpgradeFW2.cgi?Cookie=&FILESIZE=", true}};
  for (const Case& c : cases) {
    Model(c.model, c.firmware);
    SetSessionId("");
    fake_.ClearRequests();
    WriteFile(dir_.Folder() + "KERNEL.BIN", Package(1000));
    CUpgradeFWDlg d;
    QTimer::singleShot(0, &d, [&] { d.Command(CUpgradeFWDlg::IDC_UPGRADE); });
    EXPECT_EQ(d.DoModal(), 0) << c.model;
    EXPECT_EQ(boxes_.Texts().back(), LoadStr(IDS_OVERWRITE_FLASH_NOW)) << c.model;
    EXPECT_EQ(Targets("/Getvideo.cgi"), std::vector<std::string>{"/Getvideo.cgi?Cookie=&Fake=1"}) << c.model;
    const auto uploads = Targets(c.uploadPath);
    ASSERT_FALSE(uploads.empty()) << c.model;
    for (const std::string& t : uploads) {
      EXPECT_EQ(t.rfind(c.uploadStart, 0), 0u) << t;
      EXPECT_EQ(t.find("Cookie") != std::string::npos, c.cookie) << t;
    }
  }
}

TEST_F(FirmwareDialogTest, CancelWhileTheFlashMessageIsShownStopsTheThreadAndTellsTheRecorder) {
  struct Case {
    const char* model;
    const char* firmware;
    const char* cancelPath;
    std::string cancelTarget;
  } cases[] = {{"K44R", "1000", "/UpgradeFW.cgi", "/UpgradeFW.cgi?Upgrade=Cancel&Cookie="},
               {"K40R", "1013", "/CancelUPFW.cgi", "/CancelUPFW.cgi?Cookie="}};
  for (Case& c : cases) {
    Model(c.model, c.firmware);
    SetSessionId(fake_.GetIdentity().sessionId);
    fake_.ClearRequests();
    WriteFile(dir_.Folder() + "KERNEL.BIN", Package(1000));
    CUpgradeFWDlg d;
    bool threadGone = false;
    boxes_.OnBox([&](const std::string& text) {
      if (text != LoadStr(IDS_OVERWRITE_FLASH_NOW)) return;
      d.Command(CUpgradeFWDlg::IDC_CANCEL);  // the operator's Cancel, the box still open
      threadGone = !d.HasUploadThread();
    });
    QTimer::singleShot(0, &d, [&] { d.Command(CUpgradeFWDlg::IDC_UPGRADE); });
    EXPECT_EQ(d.DoModal(), 0) << c.model;
    boxes_.OnBox(nullptr);
    EXPECT_TRUE(threadGone) << c.model;
    EXPECT_FALSE(d.HasUploadThread()) << c.model;
    const auto cancels = Targets(c.cancelPath);
    ASSERT_FALSE(cancels.empty()) << c.model;
    EXPECT_EQ(cancels.back(), c.cancelTarget + fake_.GetIdentity().sessionId) << c.model;
    // What the ended thread had posted reaches a dialog that is closing, and changes nothing.
    ProcessEvents();
    EXPECT_EQ(boxes_.Texts().back(), LoadStr(IDS_OVERWRITE_FLASH_NOW));
  }
}
