// The frame-header parser's actions on the receive thread: alarm sound messages, alarm
// recording, the automatic channel switch, the recorder's clock and the state bytes.
#include "session/RtpHeader.h"

#include <bit>
#include <cstring>

#include "session/SessionRecord.h"
#include "core/Messages.h"
#include "core/Model.h"
#include "platform/messages.h"

using namespace plat;

std::string CRtpHeader::GetOnlineUserText() const {
  std::lock_guard<std::mutex> lock(m_OnlineLock);
  return std::string(m_szOnlineUsers, strnlen(m_szOnlineUsers, 16));
}

int CRtpHeader::AckAlarm() {
  if (m_wAlarmData.load() != 0) {
    m_wAlarmData = 0;
    return 1;
  }
  return 0;
}

int CRtpHeader::Parse(const std::uint8_t* bytes, std::size_t length, DWORD* pH, RtpFrameHeader* slot) {
  const bool v1 = f_NewHeader.load() != 0;
  const bool countsHeader = v1 && g_lpSession && IsModelK47R(g_lpSession->GetProductID());
  FrameHeaderFields f;
  if (ScanFrameHeader(bytes, length, v1, countsHeader, f) != HeaderScan::Complete) return 0;
  Apply(f, slot);
  if (pH) *pH = f.headerLength;
  return 1;
}

namespace {

bool SameClock(const DvrDateTime& a, const DvrDateTime& b) {
  return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
         a.wMinute == b.wMinute && a.wSecond == b.wSecond;
}

}  // namespace

void CRtpHeader::Apply(const FrameHeaderFields& f, RtpFrameHeader* slot) {
  m_CurrentHeader = f.hdr;
  SessionRecord* app = g_lpSession;
  const bool v1 = f_NewHeader.load() != 0;
  const std::string product = app ? app->GetProductID() : std::string();

  bool startSound = false, alarmRecord = false, alarmEnded = false;

  auto panelMode = [&] {
    if (f.hasPanelMode && app) app->C_ControlD.SetRetrState(f.panelMode);
  };

  // One alarm section: present or absent, in the format's order.
  auto section = [&](bool present, std::uint16_t word, std::uint32_t type, bool motion) {
    if (!present) {
      if (m_dwAlarmType == type) {
        m_dwAlarmType = 0;
        alarmEnded = true;
      }
      return;
    }
    m_wAlarmData = word;
    m_dwAlarmType = type;
    if (!app) return;
    const bool trigger = app->CSettingINI.m_byAlarmTriggerRecord.load() != 0;
    if (app->f_AlarmAudioOn.load() == 0 && trigger) startSound = true;
    if (word != 0 && trigger) alarmRecord = true;
    if (motion && word != 0 && app->CSettingINI.m_byAlarmAutoSwitchVideo.load() != 0 &&
        IsModelFamilyK41(product) && app->by_MultiChannel.load() != 0) {
      if (IChannelBar* bar = app->C_ChannelBar.load())
        bar->SwitchChannel(static_cast<BYTE>(1 + std::countr_zero(static_cast<unsigned>(word))));
    }
  };

  // The panel-mode byte recomputes the trigger switch: it acts where it stands in the header
  // (V0 before the alarm sections, V1 in the extension after them).
  if (!v1) panelMode();
  if (v1) {
    section(f.hasMotion, f.hdr.wMotionDetect, kAlarmTypeMotion, true);
    section(f.hasAlarm, f.hdr.wAlarm, kAlarmTypeAlarm, false);
  } else {
    section(f.hasAlarm, f.hdr.wAlarm, kAlarmTypeAlarm, false);
    section(f.hasMotion, f.hdr.wMotionDetect, kAlarmTypeMotion, true);
  }
  section(f.hasThird, f.hdr.wThirdAlarm, kAlarmTypeThird, false);

  if (f.hasOnlineText) {
    std::lock_guard<std::mutex> lock(m_OnlineLock);
    std::memcpy(m_szOnlineUsers, f.onlineText, 16);
    m_szOnlineUsers[16] = 0;
  }
  if (f.hasOnlineCount) {
    m_byOnlineUsers = f.onlineCount;
    if (app) app->by_OnlineUsers = f.onlineCount;
  }

  if (app && f.hasDateTime) {
    const bool changed = app->st_DvrTime.Update([&](DvrDateTime& t) {
      if (SameClock(t, f.hdr.stRecorderTime)) return false;
      t = f.hdr.stRecorderTime;
      return true;
    });
    if (changed && (IsModelK40R(product) || IsModelK47R(product)))
      PostMessage(app->h_MainDialogHandle.load(), WM_CHECKSTATUSHOVER, 0, 0);
  }
  if (v1) panelMode();
  if (app && f.backupNotice) {
    if (IMainWindow* w = app->lp_MainDialog.load()) w->SetStatusText("Network backup,stop video!!");
  }
  if (app && f.hasSensor && IsModelK47R(product)) {
    if (ISensorToolBar* bar = app->C_CmosToolBar.load())
      PostMessage(bar->GetHwnd(), WM_SENSORSTATE, f.sensorState, 0);
  }

  if (slot) *slot = m_CurrentHeader;
  if (!app) return;

  const bool qualifies = app->C_ControlD.FindSpecialType() != 0 || IsModelK40R(product) ||
                         IsModelFamilyK44(product);
  if (!qualifies) return;
  if (app->f_AlarmAudioOn.load() == 0 && startSound) {
    PostMessage(app->h_MainDialogHandle.load(), WM_POSTALARMAUDIO, 0, msg::ALARM_AUDIO_START);
  } else if (alarmEnded) {
    PostMessage(app->h_MainDialogHandle.load(), WM_POSTALARMAUDIO, 0, msg::ALARM_AUDIO_STOP);
  }
  if (alarmRecord && app->C_AlarmRecord.m_fFileOpen.load() == 0) {
    std::string folder = app->CSettingINI.m_strRecordPath.Get();
    app->C_AlarmRecord.StartRecord(folder, 0);
  } else if (!alarmRecord && app->C_AlarmRecord.m_fFileOpen.load() != 0) {
    app->C_AlarmRecord.StopRecord();
  }
}

std::uint16_t CRtpHeader::StepAlarmState(std::uint16_t stateWord, std::uint16_t modeWord) {
  if (modeWord == 0) {
    std::uint16_t expected = 15;
    m_wAlarmData.compare_exchange_strong(expected, 0);
    return m_wAlarmData.load();
  }
  const std::uint16_t value = (stateWord & 0x0002) ? 2 : (stateWord & 0x0001) ? 1 : 0;
  m_wAlarmData.store(value);
  return value;
}
