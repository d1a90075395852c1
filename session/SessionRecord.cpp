#include "session/SessionRecord.h"

#include <algorithm>
#include <cstring>

SessionRecord* g_lpSession = nullptr;

void PublishSessionRecord(SessionRecord* record) {
  g_lpSession = record;
  SetCoreRecord(record);
}
SessionCookieBuffer g_szSessionCookie;
SharedString g_strLocalIP;

std::string SessionCookieBuffer::Get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::string(buffer_, ::strnlen(buffer_, kSessionCookieSize));
}

void SessionCookieBuffer::Set(std::string_view id) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::memset(buffer_, 0, sizeof buffer_);
  const std::size_t n = std::min(id.size(), kSessionCookieSize - 1);
  if (n > 0) std::memcpy(buffer_, id.data(), n);
}

void SessionCookieBuffer::Clear() { Set({}); }

void SessionCookieBuffer::CopyTo(char (&out)[kSessionCookieSize]) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::memcpy(out, buffer_, kSessionCookieSize);
}

std::string GetSessionId() { return g_szSessionCookie.Get(); }
void SetSessionId(const std::string& id) { g_szSessionCookie.Set(id); }

SessionRecord::SessionRecord() = default;
SessionRecord::~SessionRecord() = default;

std::string SessionRecord::GetSessionId() const { return g_szSessionCookie.Get(); }
void SessionRecord::SetSessionId(const std::string& id) { g_szSessionCookie.Set(id); }
std::string SessionRecord::GetLocalIP() const { return g_strLocalIP.Get(); }
void SessionRecord::SetLocalIP(const std::string& dotted) { g_strLocalIP.Set(dotted); }

std::span<std::uint8_t> SessionRecord::SectionBlock(SysCfgOption option) {
  switch (option) {
    case SYSCFG_INF: return SysCfg_INF;
    case SYSCFG_IP: return SysCfg_IP;
    case SYSCFG_SECURE: return SysCfg_SECURE;
    case SYSCFG_DNS: return SysCfg_DNS;
    case SYSCFG_SMTP: return SysCfg_SMTP;
    case SYSCFG_FTP: return SysCfg_FTP;
    case SYSCFG_PPPOE: return SysCfg_PPPOE;
    case SYSCFG_SYSTEM: return SysCfg_SYSTEM;
    case SYSCFG_SNTP: return SysCfg_SNTP;
    case SYSCFG_IMG: return SysCfg_IMG;
    case SYSCFG_RS485: return SysCfg_RS485;
    case SYSCFG_ALARM: return SysCfg_ALARM;
    case SYSCFG_ONLINE: return SysCfg_ONLINE;
    case SYSCFG_DVRLIVE: return SysCfg_DVRLIVE;
    case SYSCFG_DVROSD: return SysCfg_DVROSD;
    case SYSCFG_DVRREC: return SysCfg_DVRREC;
    case SYSCFG_PERI: return SysCfg_PERI;
    case SYSCFG_ALL:
    case SYSCFG_OPTION_COUNT: break;
  }
  return {};
}

void SessionRecord::ApplyStartValues() {
  // Every handle, pointer, flag and counter starts at 0; the few members with another start
  // value are set after.
  for (AtomicHandle* h :
       {&h_KernelMessagePostSem, &h_KernelMessageLockSem, &h_Process_Notify_TerminateEvent,
        &h_Process_Reply_TerminateEvent, &h_Process_Notify_InitEvent, &h_Process_Reply_InitEvent,
        &h_NotifyGetJPEGImageThreadResetEvent, &h_FeedBackForNotifyResetEvent, &h_TimerEvent,
        &h_ConnectionThread, &h_GetJpegImageThread, &h_ComposeImageDataThread,
        &h_ShowImageDataThread, &h_ReLoginThread, &h_UpgradeFirmwareThread,
        &h_PlayAudioWavThread, &h_StartToGetJpegImageEvent, &h_EndofGetJpegImageEvent,
        &h_StartToShowImageEvent, &h_EndofShowImageEvent, &h_FinishShowImageJobEvent,
        &h_StartLifeTimeEvent, &h_EndLifeTimeEvent, &h_AlarmWavBufferDoneEvent,
        &h_StopAlarmWavEvent, &h_FreePacketSem, &h_PacketReadySem, &h_FreeDecodedSem,
        &JPEGImageBufferRelSem, &h_GrabDoneSem, &PlayerLink.h_NetworkBkMutex}) {
    h->store(0);
  }
  for (AtomicId* id :
       {&dw_ConnectionThreadId, &dw_GetJpegImageThreadId,
        &dw_ComposeImageDataThreadId, &dw_ShowImageDataThreadId, &dw_ReLoginThreadId,
        &dw_UpgradeFirmwareThreadId, &dw_PlayAudioWavThreadId}) {
    id->store(0);
  }
  for (AtomicFlag* f :
       {&f_Connected, &f_Streaming, &f_VideoRunning, &f_GrabRequest, &f_AlarmAudioOn,
        &f_AlarmSoundStarted, &f_SnapshotRequest, &f_TurboOn, &f_PresetMode, &f_VideoLoss,
        &f_SystemDialogOpen, &dw_StatTick, &dw_StatBytes, &dw_StatKbps, &dw_StatFrames,
        &dw_LifeTimeElapsed, &dw_CtrlDeviceCount, &dw_StatFramesLast, &dw_StatFramesNow,
        &dw_KernelMessage}) {
    f->store(0);
  }
  for (std::atomic<std::uint16_t>* w :
       {&w_HotPointX, &w_HotPointY, &w_HotPointFrames, &w_PacketSlots, &w_DecodeSlots,
        &w_PacketWriteIndex, &w_PacketReadIndex, &w_ZududMp4DecodeIndex, &w_DecodedWriteIndex,
        &w_GrabWidth, &w_GrabHeight, &w_LayoutMode, &w_LoginResult, &w_UserLevel, &w_LogPixelsX,
        &w_FrameWidth, &w_FrameHeight}) {
    w->store(0);
  }
  for (std::atomic<std::uint8_t>* b :
       {&by_VideoModeAtInit, &by_SkinFamily, &by_AccessMode, &by_VideoMode, &by_ResolutionMode,
        &by_ResolutionModePrev, &by_OnlineUsers, &f_MouseOverStatus, &by_MultiChannel}) {
    b->store(0);
  }
  for (AtomicPtr<std::uint8_t>* p : {&lp_PacketBuffer, &lp_JpegBuffer, &lp_DecodedBuffer,
                                     &lp_ScreenBuffer, &lp_DoubledBuffer, &lp_CurrentFrame,
                                     &lp_GrabBuffer}) {
    p->store(nullptr);
  }
  lp_PacketHeaders = nullptr;
  lp_MainDialog = nullptr;
  h_MainDialogHandle = 0;
  h_DisplayDC = nullptr;
  h_DisplayBitmap = nullptr;
  lp_CtrlDeviceRecords = nullptr;
  C_ChannelBar = nullptr;
  C_SideButtonBar = nullptr;
  lp_SystemDialog = nullptr;
  C_CmosToolBar = nullptr;
  dw_KernelMessageParam = 0;
  dw_FeatureFlags = 0;
  fl_DpiScale = 0.0f;
  for (auto& v : dw_FrameInterval) v.store(0);
  pt_Mouse.Set(MousePoint{});
  st_DvrTime.Set(DvrDateTime{});

  PlayerLink.dw_PlayerProcessId = 0;
  PlayerLink.h_PlayerWnd = 0;
  PlayerLink.f_PlayerReady = 0;
  PlayerLink.f_PlayerStopped = 0;
  PlayerLink.dw_PlayerBufferBytes = 0;
  PlayerLink.f_PlayerStarted = 0;
  std::memset(PlayerLink.sz_NetworkBkMutexName, 0, sizeof PlayerLink.sz_NetworkBkMutexName);

  str_FWVersion.Set("");
  strBootVersion.Set("");
  str2041Version.Set("");
  strFPGAVersion.Set("");
  strProductID.Set("");
  strHostName.Set("");
  strDeviceName.Set("");
  sz_MacAddress.Clear();
  sz_FWVersionChars.Clear();

  {
    std::lock_guard<std::mutex> lock(mtx_SysCfg);
    std::memset(SysCfg_IP, 0, sizeof SysCfg_IP);
    std::memset(SysCfg_SECURE, 0, sizeof SysCfg_SECURE);
    std::memset(SysCfg_DNS, 0, sizeof SysCfg_DNS);
    std::memset(SysCfg_SMTP, 0, sizeof SysCfg_SMTP);
    std::memset(SysCfg_FTP, 0, sizeof SysCfg_FTP);
    std::memset(SysCfg_PPPOE, 0, sizeof SysCfg_PPPOE);
    std::memset(SysCfg_PPPOE_New, 0, sizeof SysCfg_PPPOE_New);
    std::memset(SysCfg_SYSTEM, 0, sizeof SysCfg_SYSTEM);
    std::memset(SysCfg_SNTP, 0, sizeof SysCfg_SNTP);
    std::memset(SysCfg_IMG, 0, sizeof SysCfg_IMG);
    std::memset(SysCfg_ALARM, 0, sizeof SysCfg_ALARM);
    std::memset(SysCfg_RS485, 0, sizeof SysCfg_RS485);
    std::memset(VideoSettingBlock, 0, sizeof VideoSettingBlock);
    std::memset(SysCfg_INF, 0, sizeof SysCfg_INF);
    std::memset(SysCfg_ONLINE, 0, sizeof SysCfg_ONLINE);
    std::memset(SysCfg_DVRLIVE, 0, sizeof SysCfg_DVRLIVE);
    std::memset(SysCfg_DVRREC, 0, sizeof SysCfg_DVRREC);
    std::memset(SysCfg_DVROSD, 0, sizeof SysCfg_DVROSD);
    std::memset(SysCfg_PERI, 0, sizeof SysCfg_PERI);
  }

  // The members with a start value other than 0.
  dw_LifeTime = -1;  // no life time known: the watchdog does not count
  by_HotPointMode = 1;
  for (auto& v : w_HotPointRect) v.store(50);
  by_TurboRepeatStep = 5;
  by_StreamState = 4;
  strAppVersion.Set(kAppVersion);

  g_szSessionCookie.Clear();
}
