// Firmware uploads at their edges: without a session identifier, and Cancel pressed while the
// "overwrite flash" message is still on the screen.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <mutex>
#include <gtest/gtest.h>

#include "config/UpgradeFWDlg.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/net.h"
#include "session/Command.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/TempDir.h"

namespace {

// A package of one KERNEL and one BOOT record of `size` bytes each.
void WritePackage(const std::string& path, std::uint32_t size) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t type : {1u, 0u}) {
    const std::uint32_t header = (size << 4) | type;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(header >> (8 * i)));
    for (std::uint32_t i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(i + type));
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(out.data(), 1, out.size(), f);
  std::fclose(f);
}

class FirmwareEdgeTest : public ::testing::Test {
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
    SetSessionId(fake_.GetIdentity().sessionId);
    plat::SetTimeScale(10);
    previous_ = plat::SetMessageBoxHandler([this](plat::HWND, const std::string& text, const std::string&, unsigned) {
      std::lock_guard<std::mutex> lock(mutex_);
      boxes_.push_back(text);
      if (onBox_) onBox_(text);
      return plat::IDOK;
    });
  }
  void TearDown() override {
    plat::SetMessageBoxHandler(previous_);
    plat::SetTimeScale(1);
    g_lpApp = nullptr;
    fake_.Stop();
    plat::SetLocalIPv4Override("");
  }
  void Model(const char* model, const char* firmware) {
    app_->strProductID.Set(model);
    app_->str_FWVersion.Set(firmware);
  }
  std::vector<std::string> Targets(const char* path) const {
    std::vector<std::string> out;
    for (const auto& r : fake_.Requests())
      if (r.path == path) out.push_back(r.target());
    return out;
  }
  std::vector<std::string> Boxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
  }

  TempDir dir_;
  fake::FakeRecorder fake_;
  std::unique_ptr<AppRecord> app_;
  std::function<void(const std::string&)> onBox_;

 private:
  std::mutex mutex_;
  std::vector<std::string> boxes_;
  plat::MessageBoxHandler previous_;
};

}  // namespace

TEST_F(FirmwareEdgeTest, WithoutASessionTheQueriesCarryAnEmptyCookieAndChunksNone) {
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
    WritePackage(dir_.Folder() + "KERNEL.BIN", 1000);
    CUpgradeFWDlg d;
    QTimer::singleShot(0, &d, [&] { d.Command(CUpgradeFWDlg::IDC_UPGRADE); });
    EXPECT_EQ(d.DoModal(), 0) << c.model;
    EXPECT_EQ(Boxes().back(), LoadStr(4048)) << c.model;
    EXPECT_EQ(Targets("/Getvideo.cgi"), std::vector<std::string>{"/Getvideo.cgi?Cookie=&Fake=1"}) << c.model;
    const auto uploads = Targets(c.uploadPath);
    ASSERT_FALSE(uploads.empty()) << c.model;
    for (const std::string& t : uploads) {
      EXPECT_EQ(t.rfind(c.uploadStart, 0), 0u) << t;
      EXPECT_EQ(t.find("Cookie") != std::string::npos, c.cookie) << t;
    }
  }
}

TEST_F(FirmwareEdgeTest, CancelWhileTheFlashMessageIsShownStopsTheThreadAndTellsTheRecorder) {
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
    WritePackage(dir_.Folder() + "KERNEL.BIN", 1000);
    CUpgradeFWDlg d;
    bool threadGone = false;
    onBox_ = [&](const std::string& text) {
      if (text != LoadStr(4048)) return;
      d.Command(CUpgradeFWDlg::IDC_CANCEL);  // the operator's Cancel, the box still open
      threadGone = !d.HasUploadThread();
    };
    QTimer::singleShot(0, &d, [&] { d.Command(CUpgradeFWDlg::IDC_UPGRADE); });
    EXPECT_EQ(d.DoModal(), 0) << c.model;
    onBox_ = nullptr;
    EXPECT_TRUE(threadGone) << c.model;
    EXPECT_FALSE(d.HasUploadThread()) << c.model;
    const auto cancels = Targets(c.cancelPath);
    ASSERT_FALSE(cancels.empty()) << c.model;
    EXPECT_EQ(cancels.back(), c.cancelTarget + fake_.GetIdentity().sessionId) << c.model;
    // What the ended thread had posted reaches a dialog that is closing, and changes nothing.
    QApplication::processEvents();
    EXPECT_EQ(Boxes().back(), LoadStr(4048));
  }
}
