#include "engine/EngineHosts.h"

#include "core/SystemConfig.h"
#include "engine/AppRecord.h"
#include "engine/Mailbox.h"
#include "record/RecorderHost.h"
#include "session/SessionHost.h"

namespace {

// The recorders' view of the application record and the alarm list.
class AppRecorderHost final : public IRecorderHost {
 public:
  plat::HANDLE EndOfStreamEvent() override {
    return g_lpApp ? g_lpApp->h_EndofGetJpegImageEvent.load() : 0;
  }
  std::string ServerName() override { return g_lpApp ? g_lpApp->GetServerName() : std::string(); }
  std::string UserName() override {
    return g_lpApp ? g_lpApp->CSettingINI.m_strUsername.Get() : std::string();
  }
  std::string SessionId() override { return ::GetSessionId(); }
  void ClearAlarmWord() override {
    if (g_lpApp) g_lpApp->m_RTPH_Struct.m_wAlarmData.store(0);
  }
  void ClearAlarmChannelText() override {
    if (IMainWindow* w = g_lpApp ? g_lpApp->lp_MainDialog.load() : nullptr) w->ClearAlarmInputText();
  }
  void AlarmListSetFileName(const std::string& path) override {
    g_SystemConfig.AlarmDB_SetFileName(path);
  }
  void AlarmListSetStartTime(const RecordTime& t) override {
    const plat::WORD w[8] = {t.wYear, t.wMonth, 0, t.wDay, t.wHour, t.wMinute, t.wSecond, 0};
    g_SystemConfig.AlarmDB_SetStartTime(w);
  }
  void AlarmListAddItem(std::uint32_t frames, const std::string& serverName) override {
    g_SystemConfig.AlarmDB_AddItem(frames, serverName);
  }
  void ReportRecordFailure(const std::string& text) override {
    if (IMainWindow* w = g_lpApp ? g_lpApp->lp_MainDialog.load() : nullptr) w->SetStatusText(text);
  }
  void UserRecordingEnded(const std::string& text) override {
    if (IMainWindow* w = g_lpApp ? g_lpApp->lp_MainDialog.load() : nullptr) w->UserRecordingEnded(text);
  }
  CRecordFrameRing* FrameRing() override { return g_lpApp ? &g_lpApp->C_RecordFrameRing : nullptr; }
};

// The session threads' requests, answered by the mailbox and the rebuild worker.
class MailboxSessionHost final : public ISessionHost {
 public:
  bool PostKernelMessage(std::int32_t code, std::uintptr_t param, plat::DWORD lockWaitMs) override {
    return ::PostKernelMessage(code, param, lockWaitMs);
  }
  bool RequestSessionRebuild(plat::DWORD waitMs) override { return ::RequestSessionRebuild(waitMs); }
};

AppRecorderHost g_appRecorderHost;
MailboxSessionHost g_mailboxSessionHost;

}  // namespace

void InstallEngineHosts() {
  SetApplicationRecorderHost(&g_appRecorderHost);
  SetSessionHost(&g_mailboxSessionHost);
}
