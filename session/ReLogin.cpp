#include "session/ReLogin.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "session/SessionRecord.h"
#include "session/SessionHost.h"
#include "core/Messages.h"
#include "core/Model.h"
#include "core/TraceLog.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/ControlDeviceTable.h"
#include "session/Login.h"
#include "session/SysCfg.h"
#include "session/Threads.h"

using namespace plat;

DWORD ReLoginBackoffMs(std::uint64_t failedBefore) {
  const std::uint64_t steps = failedBefore / 2000 + 1;
  return static_cast<DWORD>(std::min<std::uint64_t>(30000, steps * 3000));
}

std::uint8_t ClampSelectedChannel(const std::string& id, std::uint8_t ch) {
  if (id == "K41R" && ch > 16) return 0;
  if (id == "K42R" && ch > 8) return 0;
  if (id == "K43R" && ch > 4) return 0;
  if (id == "K40R" && (ch == 0 || ch > 2)) return 1;
  return ch;
}

namespace {

constexpr std::size_t kReplyBufferSize = 1024;
const char kStartLoginText[] = "Start login";

void PostStatus(SessionRecord* app, int code, WPARAM wParam = 0) {
  PostMessage(app->h_MainDialogHandle.load(), WM_SHOWSTATUS, wParam, code);
}

std::uint64_t NowSeconds() { return GetTickCount64() / 1000; }

enum class Attempt { Released, Failed, Busy };

Attempt TryOnce(SessionRecord* app) {
  app->w_LoginResult = LOGIN_RESULT_FAILED;
  CCgiRequest login(CGI_LOGIN);
  login.AddParam("Username", app->CSettingINI.m_strUsername.Get());
  login.AddParam("Password", app->CSettingINI.m_strPassword.Get());
  SetSessionId("");
  std::uint8_t reply[kReplyBufferSize + 1];
  std::memset(reply, 0, sizeof reply);

  std::string rememberedName;
  const std::string server = app->GetServerName();
  if (IsIPAddressString(server) != 2) rememberedName = server;

  CgiReplyRecord status;
  status.dwStatus = 0;
  DWORD length = 0;
  if (!ZududSendCommand(login, nullptr, 0, &status, reply, kReplyBufferSize, &length, 20, 20)) {
    const bool busy = status.dwStatus == 202;
    app->w_LoginResult = busy ? LOGIN_RESULT_TOO_MANY_USERS : LOGIN_RESULT_FAILED;
    TraceLog_Append("login failed");
    if (!rememberedName.empty()) app->SetServerName(rememberedName);
    return busy ? Attempt::Busy : Attempt::Failed;
  }
  TraceLog_Append("login success");
  app->w_LoginResult = LOGIN_RESULT_OK;
  app->w_UserLevel = USER_LEVEL_ADMIN;
  LoginReplyValues values;
  if (ParseLoginReply(ReplyText(reply, std::min<std::size_t>(length, kReplyBufferSize)), values) !=
      LoginParseResult::Ok) {
    app->w_LoginResult = LOGIN_RESULT_FAILED;
    return Attempt::Failed;
  }
  StoreLoginReply(values, true);

  const std::string product = app->GetProductID();
  const std::string firmware = app->GetFWVersion();
  const std::uint8_t channel = ClampSelectedChannel(product, app->CSettingINI.m_bySelectedChannel.load());
  app->CSettingINI.m_bySelectedChannel = channel;

  if (IsModelFamilyK41(product) && !IsFirmwareBelow("1035", firmware)) {
    std::uint32_t caps = 0;
    if (FetchInfCapabilityFlags(caps)) app->dw_FeatureFlags = caps;
  }

  std::memset(reply, 0, sizeof reply);
  length = 0;
  TraceLog_Append("start to send get device info command");
  if (!RequestDeviceInfo(channel, reply, kReplyBufferSize, &length, 20)) {
    TraceLog_Append("Command failed");
    return Attempt::Failed;
  }
  TraceLog_Append("Command success");
  const std::string_view text = ReplyText(reply, std::min<std::size_t>(length, kReplyBufferSize));
  if (text.empty()) return Attempt::Failed;

  DeviceInfoValues dev;
  ParseDeviceInfoReply(text, DeviceInfoScope::Full, RetrKeyApplies(product, firmware, app->dw_FeatureFlags.load()),
                       product, dev);
  StoreDeviceInfo(dev, DeviceInfoScope::Full);

  int nth = 0;
  if (IsModelFamilyK41(product) && app->by_MultiChannel.load() != 0) {
    nth = channel;
  } else if (IsModelK40R(product)) {
    nth = channel == 1 ? 0 : 1;
  }
  app->C_ControlD.MakeCurrent(CDF_VIDEO, nth);

  PostStatus(app, msg::STATUS_CONNECTED_PICTURE);
  if (IMainWindow* w = app->lp_MainDialog.load()) {
    w->ChangeItemPositionForDeviceModified();
    w->RelayoutControls();
  }

  // No start event for threads that do not exist: an unanswered or failed rebuild is a
  // failed attempt.
  if (!SessionRequestRebuild(kReLoginRebuildWaitMs)) {
    TraceLog_Append("rebuild failed");
    return Attempt::Failed;
  }
  if (app->C_UserRecord.Resume()) {
    if (ISideButtonBar* bar = app->C_SideButtonBar.load()) bar->SetStates(0x20, 1);
  }
  Sleep(kReLoginReleasePauseMs);
  TraceLog_Append("Send start event");
  SetEvent(app->h_StartLifeTimeEvent.load());
  SetEvent(app->h_StartToGetJpegImageEvent.load());
  return Attempt::Released;
}

}  // namespace

DWORD ReLogin_Thread(void*) {
  SessionRecord* app = g_lpSession;
  if (!app) return 0;
  const std::uint64_t started = NowSeconds();
  app->f_Streaming = 0;
  app->f_Connected = 1;
  app->by_HotPointMode = 1;
  if (IMainWindow* w = app->lp_MainDialog.load()) w->ClearAlarmInputText();
  PostStatus(app, msg::STATUS_START_LOGIN, reinterpret_cast<WPARAM>(kStartLoginText));
  if (!app->C_ControlD.IsCurrentVideo()) {
    if (IMainWindow* w = app->lp_MainDialog.load()) w->ResetPtzModeButton();
  }
  app->C_ControlD.Reset();
  const std::string hostName = app->CSettingINI.m_szHostName.Text();
  if (!hostName.empty()) app->SetServerName(hostName);

  std::uint64_t failed = 0;
  for (;;) {
    const Attempt a = TryOnce(app);
    if (a == Attempt::Released) return 0;
    if (a == Attempt::Busy) {
      PostStatus(app, msg::STATUS_TOO_MANY_USERS);
      Sleep(kReLoginBusyPauseMs);
    }
    Sleep(kReLoginFailPauseMs);
    const std::uint64_t elapsed = NowSeconds() - started;
    PostStatus(app, msg::STATUS_LOGIN_FAILED_WAIT);
    Sleep(ReLoginBackoffMs(failed));
    ++failed;
    PostStatus(app, msg::STATUS_ESCAPED_TIME, static_cast<WPARAM>(elapsed));
    PostStatus(app, msg::STATUS_DISCONNECTED_PICTURE);
    Sleep(kReLoginRetryPauseMs);
    PostStatus(app, msg::STATUS_START_LOGIN, reinterpret_cast<WPARAM>(kStartLoginText));
  }
}
