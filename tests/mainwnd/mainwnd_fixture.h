// A record with the recorder at a fake recorder on 127.0.0.1, the skins of the build, and
// message boxes answered at once and remembered.
#pragma once
#include <stdlib.h>

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/MessageBoxRecorder.h"
#include "engine/AppRecord.h"
#include "engine/Mailbox.h"
#include "engine/Resources.h"
#include "mainwnd/TrelvixDlg.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/net.h"
#include "platform/thread.h"
#include "platform/wave.h"
#include "session/CtrlFile.h"
#include "session/DeviceTypes.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/QtWait.h"

namespace mwtest {

using MessageBoxes = ::MessageBoxRecorder;

class RecordFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = std::make_unique<TempDir>("mainwnd");
    dir_ = temp_->path();
    folder_ = temp_->Folder();
    std::error_code ec;
    std::filesystem::create_directory_symlink(std::string(TRELVIX_BIN_DIR) + "/BMP", folder_ + "BMP", ec);
    std::filesystem::create_directories(folder_ + "snap", ec);
    plat::SetProgramFolder(folder_);
    ::setenv("TRELVIX_REGISTRY_FILE", (dir_ + "/registry.ini").c_str(), 1);
    plat::SetLocalIPv4Override("127.0.0.1");
    ASSERT_TRUE(fake_.Start());
    app_ = new AppRecord();
    g_lpApp = app_;
    app_->ApplyStartValues();
    app_->SetServerName("127.0.0.1");
    app_->CSettingINI.m_wWebPort.store(fake_.Port());
    app_->CSettingINI.m_strProgramPath.Set(folder_);
    app_->CSettingINI.m_strSnapshotPath.Set(folder_ + "snap");
    app_->CSettingINI.m_strRecordPath.Set(folder_ + "rec");
    SetSessionId("A1B2C3D4E5F6");
  }

  void TearDown() override {
    if (!app_) return;  // SetUp stopped early
    // A reconnection a test set off may still be logging in; it reads the record.
    StopReLoginThread();
    app_->C_MMTimer.Stop();
    FreeSystemBuffer();
    g_lpApp = nullptr;
    delete app_;
    fake_.Stop();
    plat::SetLocalIPv4Override("");
    temp_.reset();
  }

  // The model, firmware and device information the fake recorder reports.
  void Device(const std::string& model, const std::string& firmware, const std::string& info) {
    fake::Identity id = fake_.GetIdentity();
    id.productId = model;
    id.firmware = firmware;
    fake_.SetIdentity(id);
    fake_.SetDeviceInfo(info);
    app_->SetProductID(model);
    app_->SetFWVersion(firmware);
  }

  fake::FakeRecorder fake_;
  AppRecord* app_ = nullptr;
  std::unique_ptr<TempDir> temp_;  // removed with the fixture also when SetUp stops early
  std::string dir_;
  std::string folder_;
  MessageBoxes boxes_;
};

// A record with the events a main window's initialisation hands on (the show, stream and
// life-time events), and the window under test.
class WindowFixture : public RecordFixture {
 protected:
  void SetUp() override {
    RecordFixture::SetUp();
    if (!app_) return;
    for (AtomicHandle* h : WindowEvents()) *h = plat::CreateEvent(false, false);
  }
  void TearDown() override {
    dlg_.reset();
    if (app_) {
      for (AtomicHandle* h : WindowEvents()) plat::CloseHandle(h->exchange(0));
    }
    RecordFixture::TearDown();
  }

  std::unique_ptr<CTrelvixDlg> dlg_;

 private:
  std::array<AtomicHandle*, 3> WindowEvents() {
    return {&app_->h_FinishShowImageJobEvent, &app_->h_StartToGetJpegImageEvent, &app_->h_StartLifeTimeEvent};
  }
};

// ... with the build's CtrlFile.ini loaded, for the control panel's keys and PTZ templates.
class PanelFixture : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    if (!app_) return;
    ASSERT_EQ(LoadCtrlFileFrom(std::string(TRELVIX_BIN_DIR) + "/CtrlFile.ini"), 1);
    LinkCtrlFileDevices();
  }
  void TearDown() override {
    dlg_.reset();
    if (app_) {
      FreeCtrlDeviceRecords();
      ResetDeviceTypeTable();
    }
    WindowFixture::TearDown();
  }
};

// The whole engine behind a main window, against the fake recorder: what the start-up does after
// a good first login, then the window's initialisation. Silent sound, a test clock five times
// fast, and every thread the client made ended at the close.
class EngineFixture : public RecordFixture {
 protected:
  void SetUp() override {
    baselineThreads_ = plat::LiveThreadCount();
    RecordFixture::SetUp();
    if (!app_) return;
    plat::SetWaveBackend(plat::WaveBackend::Null);
    plat::SetTimeScale(5.0);
    g_strLocalIP.Set("127.0.0.1");
    app_->CSettingINI.m_strUsername.Set("admin");
    app_->CSettingINI.m_strPassword.Set("1234");
    std::filesystem::create_directories(folder_ + "rec");
  }

  void TearDown() override {
    if (!app_) return;
    if (dlg_) dlg_->DestroyWindow();
    dlg_.reset();
    FreeSemaphore();
    RecordFixture::TearDown();
    plat::SetTimeScale(1.0);
    plat::SetWaveBackend(plat::WaveBackend::Auto);
    WaitUntil([this] { return plat::LiveThreadCount() <= baselineThreads_; });
    EXPECT_EQ(plat::LiveThreadCount(), baselineThreads_);
  }

  // `connected`: the record says connected before the window starts, as after a login that the
  // operator may later end with the connect button.
  bool Start(bool connected = false) {
    if (AllocateSystemBuffer() != 1 || InitialSemaphore() != 1) return false;
    if (InitProcessResource() != 1 || InitLoginResource() != 1) return false;
    app_->w_LoginResult = 30;
    if (connected) app_->f_Connected = 1;
    dlg_ = std::make_unique<CTrelvixDlg>();
    dlg_->SetWorkAreaForTest(QRect(0, 0, 1280, 1000));
    return dlg_->OnInitDialog();
  }

  int Requests(const std::string& path) const {
    int n = 0;
    for (const auto& r : fake_.Requests()) n += r.path == path;
    return n;
  }

  std::unique_ptr<CTrelvixDlg> dlg_;
  std::size_t baselineThreads_ = 0;
};

}  // namespace mwtest
