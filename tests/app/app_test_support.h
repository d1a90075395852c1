// Test windows and a fixture for driving the start-up, the shut-down and the process threads.
#pragma once
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"
#include "app/TrelvixApp.h"
#include "engine/AppRecord.h"
#include "engine/Mailbox.h"
#include "core/Messages.h"
#include "engine/Resources.h"
#include "core/TraceLog.h"
#include "core/UiInterfaces.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/net.h"
#include "platform/registry.h"
#include "platform/thread.h"

namespace apptest {

inline std::string ReadText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::string& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}



// The side buttons: remembers SetStates calls.
class TestSideButtons : public ISideButtonBar {
 public:
  int SetStates(unsigned mask, unsigned picture) override {
    std::lock_guard<std::mutex> lock(mutex);
    calls.emplace_back(mask, picture);
    return 1;
  }
  std::mutex mutex;
  std::vector<std::pair<unsigned, unsigned>> calls;
};

// A main window as the engine sees it: counts pictures, keeps status texts, queues posted
// messages. RunModal plays the modal run of the real window: registration and an
// initialisation hook, then messages until WM_CLOSEMAIN (or a close request), then the
// window's close sequence.
class TestMainWindow : public IMainWindow, public plat::MessageSink {
 public:
  TestMainWindow() { hwnd_ = plat::RegisterMessageSink(this); }
  ~TestMainWindow() override { plat::UnregisterMessageSink(hwnd_); }

  plat::HWND GetHwnd() const override { return hwnd_; }
  void ShowImage() override {
    drawThread = plat::GetCurrentThreadId();
    if (onShowImage) onShowImage();
    ++pictures;
    if (g_lpApp && g_lpApp->f_VideoRunning.load()) plat::SetEvent(g_lpApp->h_FinishShowImageJobEvent.load());
  }
  int SetStatusText(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    statusTexts.push_back(text);
    return 1;
  }
  void ChangeItemPositionForDeviceModified() override {}
  void RelayoutControls() override {}
  void ClearOnlineUserText() override { ++onlineCleared; }
  void ClearAlarmInputText() override { ++alarmCleared; }
  void SetRetrButtonState(bool) override {}
  void ResetPtzModeButton() override {}
  void DeleteDisplayContext() override {}
  void SwitchLayout(int) override {}

  void OnPostedMessage(unsigned msg, plat::WPARAM wParam, plat::LPARAM lParam) override {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back({msg, wParam, lParam});
    cv_.notify_all();
  }

  // Registers the window in the record as its initialisation does.
  void Register(AppRecord* app) {
    app->lp_MainDialog.store(this);
    app->h_MainDialogHandle.store(hwnd_);
  }
  void Unregister(AppRecord* app) {
    app->lp_MainDialog.store(nullptr);
    app->h_MainDialogHandle.store(0);
  }

  // The main window's close: recorders, session and process objects, settings.
  void CloseSequence(AppRecord* app) {
    app->C_AlarmRecord.Close();
    app->C_UserRecord.StopRecord();
    app->C_SchRecord.Close();
    ExitLoginResource();
    ExitProcessResource();
    if (afterClose) afterClose(app);
    app->CSettingINI.SaveSetting();
    Unregister(app);
  }

  int RunModal(int realTimeoutMs) {
    AppRecord* app = g_lpApp;
    Register(app);
    if (onInit) onInit(app);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
    bool timedOut = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      for (;;) {
        if (closeRequested) break;
        bool closeMain = false;
        for (const auto& m : messages_) closeMain |= m.msg == msg::WM_CLOSEMAIN;
        if (closeMain) break;
        if (cv_.wait_until(lock, end) == std::cv_status::timeout) {
          timedOut = true;
          break;
        }
      }
    }
    closedByTimeout = timedOut;
    closeTick = plat::GetTickCount64();
    CloseSequence(app);
    return plat::IDOK;
  }

  void RequestClose() {
    std::lock_guard<std::mutex> lock(mutex_);
    closeRequested = true;
    cv_.notify_all();
  }

  bool Received(unsigned msg) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& m : messages_) {
      if (m.msg == msg) return true;
    }
    return false;
  }
  std::vector<std::string> StatusTexts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return statusTexts;
  }

  std::function<void(AppRecord*)> onInit;
  std::function<void(AppRecord*)> afterClose;
  std::function<void()> onShowImage;
  std::atomic<int> pictures{0};
  std::atomic<int> onlineCleared{0};
  std::atomic<int> alarmCleared{0};
  std::atomic<plat::DWORD> drawThread{0};
  bool closedByTimeout = false;
  std::uint64_t closeTick = 0;  // product time at which the modal run ended

 private:
  struct Posted {
    unsigned msg;
    plat::WPARAM wParam;
    plat::LPARAM lParam;
  };
  plat::HWND hwnd_ = 0;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Posted> messages_;
  std::vector<std::string> statusTexts;
  bool closeRequested = false;
};

// The windows the start-up runs: a scripted login window and the test main window.
class TestWindows : public IWindowFactory {
 public:
  struct LoginStep {
    int endCode;               // IDOK or IDCANCEL
    std::uint16_t loginResult; // written into w_LoginResult before the window ends
  };

  int RunLoginDialog(const LoginDialogFields& fields) override {
    lastFields = fields;
    threadsDuringLogin.push_back(plat::LiveThreadCount());
    const LoginStep step = loginRuns < script.size() ? script[loginRuns] : LoginStep{plat::IDCANCEL, 100};
    ++loginRuns;
    if (step.endCode == plat::IDOK) g_lpApp->w_LoginResult.store(step.loginResult);
    return step.endCode;
  }

  int RunMainDialog() override {
    ++mainRuns;
    return main.RunModal(mainTimeoutMs);
  }

  int GetDisplayDpiX() override { return dpi; }

  std::vector<LoginStep> script;
  std::size_t loginRuns = 0;
  int mainRuns = 0;
  int mainTimeoutMs = 20000;
  int dpi = 120;
  LoginDialogFields lastFields;
  std::vector<std::size_t> threadsDuringLogin;
  TestMainWindow main;
};

// Every handle member of the record, for "all released" checks.
inline std::vector<std::pair<const char*, plat::HANDLE>> HandleMembers(AppRecord* app) {
  std::vector<std::pair<const char*, plat::HANDLE>> out;
#define TRELVIX_H(m) out.emplace_back(#m, app->m.load())
  TRELVIX_H(h_Process_KernelMessageThread); TRELVIX_H(h_Process_Terminate_Thread);
  TRELVIX_H(h_Process_Init_Thread); TRELVIX_H(h_KernelMessagePostSem);
  TRELVIX_H(h_KernelMessageLockSem); TRELVIX_H(h_Process_Notify_TerminateEvent);
  TRELVIX_H(h_Process_Reply_TerminateEvent); TRELVIX_H(h_Process_Notify_InitEvent);
  TRELVIX_H(h_Process_Reply_InitEvent); TRELVIX_H(h_NotifyGetJPEGImageThreadResetEvent);
  TRELVIX_H(h_FeedBackForNotifyResetEvent); TRELVIX_H(h_ConnectionThread);
  TRELVIX_H(h_GetJpegImageThread); TRELVIX_H(h_ComposeImageDataThread);
  TRELVIX_H(h_ShowImageDataThread); TRELVIX_H(h_ReLoginThread);
  TRELVIX_H(h_UpgradeFirmwareThread); TRELVIX_H(h_PlayAudioWavThread);
  TRELVIX_H(h_StartToGetJpegImageEvent); TRELVIX_H(h_EndofGetJpegImageEvent);
  TRELVIX_H(h_StartToShowImageEvent); TRELVIX_H(h_EndofShowImageEvent);
  TRELVIX_H(h_FinishShowImageJobEvent); TRELVIX_H(h_StartLifeTimeEvent);
  TRELVIX_H(h_EndLifeTimeEvent); TRELVIX_H(h_AlarmWavBufferDoneEvent);
  TRELVIX_H(h_StopAlarmWavEvent); TRELVIX_H(h_FreePacketSem); TRELVIX_H(h_PacketReadySem);
  TRELVIX_H(h_FreeDecodedSem); TRELVIX_H(JPEGImageBufferRelSem); TRELVIX_H(h_GrabDoneSem);
#undef TRELVIX_H
  out.emplace_back("C_AlarmRecord.m_hThread", app->C_AlarmRecord.m_hThread);
  out.emplace_back("C_UserRecord.m_hThread", app->C_UserRecord.m_hThread);
  return out;
}

inline std::vector<std::string> NonZeroHandles(AppRecord* app) {
  std::vector<std::string> names;
  for (const auto& [name, h] : HandleMembers(app)) {
    if (h != 0) names.push_back(name);
  }
  return names;
}

// A fresh program folder with Setting.ini (the recorder on 127.0.0.1, a closed port) and,
// unless told otherwise, a CtrlFile.ini; the clock runs `timeScale` times faster.
class AppFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = std::make_unique<TempDir>("app");
    dir_ = temp_->path();
    folder_ = temp_->Folder();
    plat::SetProgramFolder(folder_);
    ::setenv("TRELVIX_REGISTRY_FILE", (dir_ + "/registry.ini").c_str(), 1);
    plat::SetLocalIPv4Override("127.0.0.1");
    WriteText(folder_ + "Setting.ini",
              "[Ovistra]\r\nServer Name=127.0.0.1\r\nServerPort=1\r\nUsername=tester\r\n"
              "Record Path=" + folder_ + "rec\r\nSnapshot Path=" + folder_ + "snap\r\n"
              "Upgrade FW Path=" + folder_ + "\r\nUpgrade DVR FW Path=" + folder_ + "\r\n"
              "Network File Directory=" + folder_ + "\r\n");
    baseThreads_ = plat::LiveThreadCount();
    baseHandles_ = plat::LiveHandleCount();
    plat::SetTimeScale(20.0);
  }

  void TearDown() override {
    if (g_lpApp) {
      // A test that failed half-way: release what it left.
      ExitLoginResource();
      ExitProcessResource();
      FreeSystemBuffer();
      FreeSemaphore();
      TraceLog_Close();
      AppRecord* app = g_lpApp;
      g_lpApp = nullptr;
      delete app;
    }
    plat::SetTimeScale(1.0);
    plat::SetLocalIPv4Override("");
    temp_.reset();
  }

  void InstallControlFile() {
    const std::string generated = std::string(TRELVIX_BIN_DIR) + "/CtrlFile.ini";
    std::error_code ec;
    if (!std::filesystem::copy_file(generated, folder_ + "CtrlFile.ini",
                                    std::filesystem::copy_options::overwrite_existing, ec)) {
      WriteText(folder_ + "CtrlFile.ini", "[DEVICE NUMBER]\r\n0\r\n");
    }
  }

  // The record alone, with its start values, the recorder on 127.0.0.1 and the trace log in
  // the program folder (for tests of single routines).
  AppRecord* MakeRecord() {
    g_lpApp = new AppRecord();
    g_lpApp->ApplyStartValues();
    g_lpApp->SetServerName("127.0.0.1");
    g_lpApp->CSettingINI.m_wWebPort.store(1);
    g_lpApp->CSettingINI.m_strProgramPath.Set(folder_);
    TraceLog_Init(kTraceLogLineLimit, folder_);
    return g_lpApp;
  }

  void DeleteRecord() {
    TraceLog_Close();
    AppRecord* app = g_lpApp;
    g_lpApp = nullptr;
    delete app;
  }

  std::unique_ptr<TempDir> temp_;
  std::string dir_;
  std::string folder_;
  std::size_t baseThreads_ = 0;
  std::size_t baseHandles_ = 0;
};

}  // namespace apptest
