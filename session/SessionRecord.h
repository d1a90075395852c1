// The shared state of the running client that the session, stream and sound threads use. The
// application record (engine/AppRecord.h, reached as g_lpApp) is built on it and adds the
// start-up and shut-down threads; session code reaches it through g_lpSession, which the
// engine publishes together with g_lpApp. It holds the handles of the threads, events and
// semaphores, the frame buffers and their ring indexes, the mailbox, the identity and login
// state of the connected recorder, its configuration sections as raw bytes, and the embedded
// objects (settings, frame-header parser, recorders, pre-alarm ring, alarm sound, device
// table, timer, disc writer).
//
// Members are declared in the record's order; the embedded objects are therefore built in
// that order and destroyed in reverse. Values that several threads touch are atomics (single
// stores and loads, interlocked adds for the statistics) or lock-guarded texts handed out as
// copies; the creating and closing routines of handles are serialised by their owners.
// Window-side objects are reached through interfaces (core/UiInterfaces.h) that the windows
// register here; the record owns none of them.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include "core/RecordState.h"
#include "core/SettingINI.h"
#include "core/Shared.h"
#include "core/TraceLog.h"
#include "core/UiInterfaces.h"
#include "platform/types.h"
#include "record/AlarmRecord.h"
#include "record/RecordFrameRing.h"
#include "record/SchRecord.h"
#include "record/UserRecord.h"
#include "record/WriteCD.h"
#include "session/AlarmWave.h"
#include "session/ControlDeviceTable.h"
#include "session/IcmpPing.h"
#include "session/MMTimer.h"
#include "session/ResolutionMode.h"
#include "session/RtpHeader.h"
#include "session/SysCfg.h"

class ISystemSheet;  // the configuration sheet (mainwnd/SystemSheet.h)

// One record of the control file (defined with its loader).
struct CtrlDeviceRecord;

// Sizes of the frame buffers.
constexpr std::size_t kPacketSlotSize = 102400;           // one assembled JPEG picture
constexpr std::size_t kPacketSlotCount = 2;               // N
constexpr std::size_t kDecodeSlotCount = 1;               // M
constexpr std::size_t kPacketBufferSize = kPacketSlotSize * kPacketSlotCount;  // 204,800
constexpr std::size_t kPictureBufferSize = 1572864;       // JPEG staging, decoded, doubled, grab

// Login result codes (w_LoginResult).
constexpr std::uint16_t LOGIN_RESULT_OK = 30;
constexpr std::uint16_t LOGIN_RESULT_FAILED = 100;  // also while a login runs
constexpr std::uint16_t LOGIN_RESULT_TOO_MANY_USERS = 102;
// 30, 20, 10 and 0 all count as logged in.
constexpr bool IsLoggedInResult(std::uint16_t r) { return r == 30 || r == 20 || r == 10 || r == 0; }

// User levels (w_UserLevel): 30 is the highest and the only one that may upgrade firmware.
constexpr std::uint16_t USER_LEVEL_ADMIN = 30;

constexpr const char* kAppVersion = "1.0.6.2";

// Configuration-section sizes in bytes.
constexpr std::size_t kSysCfgSizeIP = 24;
constexpr std::size_t kSysCfgSizeSECURE = 196;
constexpr std::size_t kSysCfgSizeDNS = 12;
constexpr std::size_t kSysCfgSizeSMTP = 440;
constexpr std::size_t kSysCfgSizeFTP = 104;
constexpr std::size_t kSysCfgSizePPPOE = 68;
constexpr std::size_t kSysCfgSizeSYSTEM = 36;
constexpr std::size_t kSysCfgSizeSNTP = 36;
constexpr std::size_t kSysCfgSizeIMG = 12;
constexpr std::size_t kSysCfgSizeALARM = 24;
constexpr std::size_t kSysCfgSizeRS485 = 124;
constexpr std::size_t kVideoSettingBlockSize = 16;
constexpr std::size_t kSysCfgSizeINF = 44;
constexpr std::size_t kSysCfgSizeONLINE = 240;
constexpr std::size_t kSysCfgSizeDVRLIVE = 772;
constexpr std::size_t kSysCfgSizeDVRREC = 132;
constexpr std::size_t kSysCfgSizeDVROSD = 20;
constexpr std::size_t kSysCfgSizePERI = 16;

constexpr int kAccountSlotCount = 5;

// One account of the recorder as the account page edits it.
struct AccountSlot {
  std::int32_t f_InUse = 0;
  std::uint16_t w_Level = 0;
  std::int32_t dw_LifeTime = 0;
  std::string strUser;
  std::string strPassword;
};

// The link to the external player program.
struct PlayerLinkRecord {
  std::atomic<std::uint32_t> dw_PlayerProcessId{0};
  std::atomic<plat::HWND> h_PlayerWnd{0};
  std::atomic<std::int32_t> f_PlayerReady{0};
  std::atomic<std::int32_t> f_PlayerStopped{0};
  std::atomic<std::uint32_t> dw_PlayerBufferBytes{0};
  std::atomic<std::int32_t> f_PlayerStarted{0};
  std::atomic<plat::HANDLE> h_NetworkBkMutex{0};
  char sz_NetworkBkMutexName[32] = {};
};

struct MousePoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

using AtomicHandle = std::atomic<plat::HANDLE>;
using AtomicId = std::atomic<plat::DWORD>;
using AtomicFlag = std::atomic<std::int32_t>;

class SessionRecord : public ICoreRecord {
 public:
  SessionRecord();
  ~SessionRecord() override;
  SessionRecord(const SessionRecord&) = delete;
  SessionRecord& operator=(const SessionRecord&) = delete;

  // Sets every member to its start value (done right after construction at start-up; the
  // session identifier buffer is cleared too).
  void ApplyStartValues();

  // What core's rules read of the record.
  std::string ConnectedProductId() const override { return strProductID.Get(); }
  std::uint8_t ConnectedMultiChannel() const override { return by_MultiChannel.load(); }
  std::uint32_t ConnectedFeatureFlags() const override { return dw_FeatureFlags.load(); }
  std::atomic<std::uint8_t>& TurboRepeatStep() override { return by_TurboRepeatStep; }
  std::string ProgramPath() const override { return CSettingINI.m_strProgramPath.Get(); }

  // --- Mailbox objects and the handshakes with the teardown and rebuild workers ----------
  AtomicHandle h_KernelMessagePostSem{0};
  AtomicHandle h_KernelMessageLockSem{0};
  AtomicHandle h_Process_Notify_TerminateEvent{0};
  AtomicHandle h_Process_Reply_TerminateEvent{0};
  AtomicHandle h_Process_Notify_InitEvent{0};
  AtomicHandle h_Process_Reply_InitEvent{0};
  AtomicHandle h_NotifyGetJPEGImageThreadResetEvent{0};
  AtomicHandle h_FeedBackForNotifyResetEvent{0};
  AtomicHandle h_TimerEvent{0};

  // --- Session threads ------------------------------------------------------------------
  AtomicHandle h_ConnectionThread{0};
  AtomicId dw_ConnectionThreadId{0};
  AtomicHandle h_GetJpegImageThread{0};
  AtomicId dw_GetJpegImageThreadId{0};
  AtomicHandle h_ComposeImageDataThread{0};
  AtomicId dw_ComposeImageDataThreadId{0};
  AtomicHandle h_ShowImageDataThread{0};
  AtomicId dw_ShowImageDataThreadId{0};
  AtomicHandle h_ReLoginThread{0};
  AtomicId dw_ReLoginThreadId{0};
  AtomicHandle h_UpgradeFirmwareThread{0};
  AtomicId dw_UpgradeFirmwareThreadId{0};
  AtomicHandle h_PlayAudioWavThread{0};
  AtomicId dw_PlayAudioWavThreadId{0};

  // --- Session events -------------------------------------------------------------------
  AtomicHandle h_StartToGetJpegImageEvent{0};  // auto
  AtomicHandle h_EndofGetJpegImageEvent{0};    // manual
  AtomicHandle h_StartToShowImageEvent{0};     // auto
  AtomicHandle h_EndofShowImageEvent{0};       // auto
  AtomicHandle h_FinishShowImageJobEvent{0};   // auto
  AtomicHandle h_StartLifeTimeEvent{0};        // auto
  AtomicHandle h_EndLifeTimeEvent{0};          // auto
  AtomicHandle h_AlarmWavBufferDoneEvent{0};   // auto
  AtomicHandle h_StopAlarmWavEvent{0};         // auto

  // --- Session state --------------------------------------------------------------------
  AtomicFlag f_Connected{0};
  AtomicFlag f_Streaming{0};
  std::atomic<std::uint8_t> by_HotPointMode{0};
  std::atomic<std::uint16_t> w_HotPointX{0};
  std::atomic<std::uint16_t> w_HotPointY{0};
  Locked<MousePoint> pt_Mouse;
  std::atomic<std::uint16_t> w_HotPointRect[4] = {};
  std::atomic<std::uint16_t> w_HotPointFrames{0};
  AtomicFlag f_VideoRunning{0};
  std::atomic<std::uint8_t> by_VideoModeAtInit{0};
  std::atomic<std::int32_t> dw_LifeTime{0};

  // --- Frame buffers and the decode pipeline ---------------------------------------------
  AtomicPtr<std::uint8_t> lp_PacketBuffer;
  AtomicPtr<std::uint8_t> lp_JpegBuffer;
  AtomicPtr<std::uint8_t> lp_DecodedBuffer;
  AtomicPtr<std::uint8_t> lp_ScreenBuffer;
  AtomicPtr<std::uint8_t> lp_DoubledBuffer;
  AtomicPtr<std::uint8_t> lp_CurrentFrame;
  AtomicHandle h_FreePacketSem{0};
  AtomicHandle h_PacketReadySem{0};
  AtomicHandle h_FreeDecodedSem{0};
  AtomicHandle JPEGImageBufferRelSem{0};
  std::atomic<std::uint16_t> w_PacketSlots{0};
  std::atomic<std::uint16_t> w_DecodeSlots{0};
  std::atomic<std::uint16_t> w_PacketWriteIndex{0};
  std::atomic<std::uint16_t> w_PacketReadIndex{0};
  AtomicPtr<RtpFrameHeader> lp_PacketHeaders;
  std::atomic<std::uint16_t> w_ZududMp4DecodeIndex{0};
  std::atomic<std::uint16_t> w_DecodedWriteIndex{0};

  // --- Kernel-message mailbox (guarded by the mailbox semaphores) -------------------------
  std::atomic<std::int32_t> dw_KernelMessage{0};
  std::atomic<std::uintptr_t> dw_KernelMessageParam{0};

  // --- Picture, display and sound state -------------------------------------------------
  std::atomic<std::uint8_t> by_SkinFamily{0};
  std::atomic<std::uint8_t> by_AccessMode{0};
  std::atomic<std::uint8_t> by_VideoMode{0};
  std::atomic<std::uint8_t> by_ResolutionMode{0};
  std::atomic<std::uint8_t> by_ResolutionModePrev{0};
  std::atomic<std::uint16_t> w_GrabWidth{0};
  std::atomic<std::uint16_t> w_GrabHeight{0};
  AtomicPtr<std::uint8_t> lp_GrabBuffer;
  AtomicFlag f_GrabRequest{0};
  AtomicHandle h_GrabDoneSem{0};
  CAlarmWave C_AlarmWave;
  AtomicFlag f_AlarmAudioOn{0};
  AtomicFlag f_AlarmSoundStarted{0};
  std::atomic<std::int32_t> dw_StatTick{0};
  std::atomic<std::int32_t> dw_StatBytes{0};
  std::atomic<std::int32_t> dw_StatKbps{0};
  std::atomic<std::int32_t> dw_StatFrames{0};
  std::atomic<std::uint16_t> w_LayoutMode{0};
  AtomicFlag f_SnapshotRequest{0};
  AtomicFlag f_TurboOn{0};
  AtomicFlag f_PresetMode{0};
  std::atomic<std::uint8_t> by_OnlineUsers{0};

  // --- Login state and device identity ---------------------------------------------------
  std::atomic<std::uint16_t> w_LoginResult{0};
  std::atomic<std::uint16_t> w_UserLevel{0};
  std::atomic<plat::HWND> h_MainDialogHandle{0};
  AtomicPtr<IMainWindow> lp_MainDialog;
  SharedString str_FWVersion;
  SharedString strBootVersion;
  SharedString str2041Version;
  SharedString strFPGAVersion;
  SharedString strAppVersion;
  std::atomic<std::int32_t> dw_LifeTimeElapsed{0};
  std::atomic<std::uint16_t> w_LogPixelsX{0};
  std::atomic<float> fl_DpiScale{0.0f};
  std::atomic<std::uint8_t> by_TurboRepeatStep{0};
  // Always null: nothing creates or uses them. The main window's live view keeps its
  // drawing surfaces itself and releases them through IMainWindow::DeleteDisplayContext.
  AtomicPtr<void> h_DisplayDC;
  AtomicPtr<void> h_DisplayBitmap;
  CControlDeviceTable C_ControlD;
  AccountSlot AccountSlots[kAccountSlotCount];
  std::atomic<std::uint8_t> by_StreamState{0};
  std::atomic<std::int32_t> dw_CtrlDeviceCount{0};
  AtomicPtr<CtrlDeviceRecord> lp_CtrlDeviceRecords;  // array of dw_CtrlDeviceCount records
  std::atomic<std::uint16_t> w_FrameWidth{0};
  std::atomic<std::uint16_t> w_FrameHeight{0};
  std::atomic<std::int32_t> dw_FrameInterval[kDecodeSlotCount] = {};
  std::atomic<std::int32_t> dw_StatFramesLast{0};
  std::atomic<std::int32_t> dw_StatFramesNow{0};

  // --- Embedded recorders, parser and log writer -----------------------------------------
  CRecordFrameRing C_RecordFrameRing;
  CAlarmRecord C_AlarmRecord;
  CUserRecord C_UserRecord;
  CSchRecord C_SchRecord;
  CRtpHeader m_RTPH_Struct;  // its last member f_NewHeader: the stream uses the newer header
  CDebugTraceLog C_DebugTraceLog;
  Locked<DvrDateTime> st_DvrTime;
  std::atomic<std::uint8_t> f_MouseOverStatus{0};
  std::atomic<std::uint32_t> dw_FeatureFlags{0};
  AtomicFlag f_VideoLoss{0};
  ::CSettingINI CSettingINI;

  // --- Device identity and configuration sections ----------------------------------------
  SharedString strProductID;
  SharedChars<12> sz_MacAddress;
  SharedString strHostName;
  std::atomic<std::uint8_t> by_MultiChannel{0};
  SharedString strDeviceName;
  SharedChars<4> sz_FWVersionChars;

  // The sections as last fetched. Code that copies a whole section in or out while other
  // threads may use it holds mtx_SysCfg.
  std::mutex mtx_SysCfg;
  std::uint8_t SysCfg_IP[kSysCfgSizeIP] = {};
  std::uint8_t SysCfg_SECURE[kSysCfgSizeSECURE] = {};
  std::uint8_t SysCfg_DNS[kSysCfgSizeDNS] = {};
  std::uint8_t SysCfg_SMTP[kSysCfgSizeSMTP] = {};
  std::uint8_t SysCfg_FTP[kSysCfgSizeFTP] = {};
  std::uint8_t SysCfg_PPPOE[kSysCfgSizePPPOE] = {};      // older layout
  std::uint8_t SysCfg_PPPOE_New[kSysCfgSizePPPOE] = {};  // newer layout
  std::uint8_t SysCfg_SYSTEM[kSysCfgSizeSYSTEM] = {};
  std::uint8_t SysCfg_SNTP[kSysCfgSizeSNTP] = {};
  std::uint8_t SysCfg_IMG[kSysCfgSizeIMG] = {};
  std::uint8_t SysCfg_ALARM[kSysCfgSizeALARM] = {};
  std::uint8_t SysCfg_RS485[kSysCfgSizeRS485] = {};
  std::uint8_t VideoSettingBlock[kVideoSettingBlockSize] = {};
  std::uint8_t SysCfg_INF[kSysCfgSizeINF] = {};
  std::uint8_t SysCfg_ONLINE[kSysCfgSizeONLINE] = {};
  std::uint8_t SysCfg_DVRLIVE[kSysCfgSizeDVRLIVE] = {};
  std::uint8_t SysCfg_DVRREC[kSysCfgSizeDVRREC] = {};
  std::uint8_t SysCfg_DVROSD[kSysCfgSizeDVROSD] = {};
  std::uint8_t SysCfg_PERI[kSysCfgSizePERI] = {};
  // The block a configuration section is kept in (PPPOE: the older layout; empty for ALL).
  // Its bytes are shared: read and write them under mtx_SysCfg.
  std::span<std::uint8_t> SectionBlock(SysCfgOption option);

  // --- Bars, timer, player link, disc writer and dialogs ---------------------------------
  CResolutionMode C_ResolutionMode;
  AtomicPtr<IChannelBar> C_ChannelBar;        // registered by the main window
  AtomicPtr<ISideButtonBar> C_SideButtonBar;  // registered by the main window
  CMMTimer C_MMTimer;
  PlayerLinkRecord PlayerLink;
  CWriteCD C_WriteCD{&CSettingINI};
  AtomicPtr<ISystemSheet> lp_SystemDialog;  // the configuration sheet (mainwnd/SystemSheet.h)
  AtomicFlag f_SystemDialogOpen{0};
  AtomicPtr<ISensorToolBar> C_CmosToolBar;  // registered by the main window

  // --- Kept but unused: a ping object and the processor's MMX answer from start-up -------
  CIcmpPing C_IcmpPing;
  AtomicFlag f_HasMmx{0};

  // --- Accessors of the shared texts (copies) --------------------------------------------
  std::string GetSessionId() const;
  void SetSessionId(const std::string& id);
  std::string GetLocalIP() const;
  void SetLocalIP(const std::string& dotted);
  std::string GetProductID() const { return strProductID.Get(); }
  void SetProductID(const std::string& id) { strProductID.Set(id); }
  std::string GetFWVersion() const { return str_FWVersion.Get(); }
  void SetFWVersion(const std::string& v) { str_FWVersion.Set(v); }
  std::string GetServerName() const { return CSettingINI.m_strServerName.Get(); }
  void SetServerName(const std::string& s) { CSettingINI.m_strServerName.Set(s); }
};

// The record as the session code sees it: the application record (g_lpApp) published by the
// engine; null until start-up has constructed it and after the exit step deleted it.
extern SessionRecord* g_lpSession;
// Publishes a record (or null) as g_lpSession and as core's record.
void PublishSessionRecord(SessionRecord* record);

// The session identifier of the last login: a 64-byte buffer (at most 63 characters), empty
// before a login, kept beside the record.
constexpr std::size_t kSessionCookieSize = 64;
class SessionCookieBuffer {
 public:
  std::string Get() const;
  // Keeps at most 63 characters.
  void Set(std::string_view id);
  void Clear();
  // The raw 64 bytes (zero after the text).
  void CopyTo(char (&out)[kSessionCookieSize]) const;

 private:
  mutable std::mutex mutex_;
  char buffer_[kSessionCookieSize] = {};
};
extern SessionCookieBuffer g_szSessionCookie;

// The PC's own IPv4 address in dotted form (the Host header of every request).
extern SharedString g_strLocalIP;

// Free accessors of the two globals.
std::string GetSessionId();
void SetSessionId(const std::string& id);
