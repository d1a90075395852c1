#include "mainwnd/TrelvixDlg.h"
#include "mainwnd/SystemSheet.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/AppRecord.h"
#include "core/Messages.h"
#include "core/Model.h"
#include "engine/Resources.h"
#include "core/Strings.h"
#include "mainwnd/CmosToolBarDlg.h"
#include "mainwnd/DisplayPath.h"
#include "ui/VtxButton.h"
#include "platform/bytes.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "session/AlarmSound.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/Login.h"
#include "session/ReLogin.h"
#include "session/ResolutionMode.h"
#include "session/Sections.h"
#include "session/SysCfg.h"

namespace {

constexpr std::size_t kDeviceInfoReplySize = 1024;
constexpr std::size_t kInfModelNameOffset = 24;
constexpr std::size_t kInfModelNameWidth = 8;
constexpr const char kWindowTitlePrefix[] = "Ovistra : ";

std::uint32_t ReadLe32(const std::uint8_t* p, std::size_t size, std::size_t offset) {
  std::uint32_t v = 0;
  plat::ByteReader(p, size).U32At(offset, v);
  return v;
}

std::uint8_t ClampChannelForInit(const std::string& product, std::uint8_t channel) {
  if (IsModelFamilyK44(product) || IsModelK47R(product)) return 2;
  return ClampSelectedChannel(product, channel);
}

bool AtLeast(const char* threshold, const std::string& firmware) {
  return CompareVersionString(threshold, firmware) != 2;
}

std::string StringOf(unsigned id) { return LoadStr(id); }

}  // namespace

CTrelvixDlg::CTrelvixDlg(QWidget* parent) : ui::Window(parent) {
  if (AppRecord* app = g_lpApp) {
    app->w_LayoutMode = 0;
    app->lp_SystemDialog = nullptr;
  }
  MakeFrameless();
  // The window drags itself by its surface (mouse handlers below), only out of full screen.
  SetDragBySurface(false);
  setAttribute(Qt::WA_OpaquePaintEvent, false);

  OnMessage(kMsgRepaint, [this](plat::WPARAM what, plat::LPARAM) -> plat::LPARAM {
    m_repaintPending = 0;
    const LayoutRow& L = Row();
    if (m_bFullScreen.load() || (what & kRepaintAll)) {
      update();
      return 0;
    }
    // The video area with its two-pixel frame.
    if (what & kRepaintVideo) update(RowRectLTRB(L, LV_VIDEO).adjusted(-2, -2, 3, 3));
    if (what & kRepaintStatus) update(RowRectLTRB(L, LV_STATUS));
    return 0;
  });
  OnMessage(kMsgLayout, [this](plat::WPARAM what, plat::LPARAM mode) -> plat::LPARAM {
    if (what & kLayoutSwitch) {
      SwitchLayout(static_cast<int>(mode));
      return 0;
    }
    if (what & kLayoutChangeItems) DoChangeItemPosition();
    if (what & kLayoutRelayout) DoRelayout();
    return 0;
  });
  OnMessage(kMsgEnterFullScreen, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    EnterFullScreenNow();
    return 0;
  });
  OnMessage(kMsgChannelBar, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    m_channelBar.ApplyToButtons(m_btnChannel);
    return 0;
  });
  OnMessage(kMsgSideButtons, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    m_sideBar.ApplyStates(m_btnSide);
    return 0;
  });
  OnMessage(kMsgResetPtzMode, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    if (CVtxButton* b = Button(kPtzModeButton)) b->SetImageIndex(0);
    return 0;
  });
  OnMessage(msg::WM_SHOWMESSAGE, [this](plat::WPARAM id, plat::LPARAM) -> plat::LPARAM {
    MessageBoxById(Hwnd(), static_cast<unsigned>(id));
    return 0;
  });
  OnMessage(msg::WM_CHECKSTATUSHOVER, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    return OnCheckStatusHover();
  });
  OnMessage(msg::WM_CLOSEMAIN, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    DestroyWindow();
    return 0;
  });
  OnMessage(kMsgUserRecordingEnded, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    OnUserRecordingEnded();
    return 0;
  });
  OnMessage(msg::WM_SETRECORDBUTTON, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    if (CVtxButton* b = Button(1005)) b->SetImageIndex(1);
    return 0;
  });
  OnMessage(msg::WM_SHOWSTATUS, [this](plat::WPARAM wParam, plat::LPARAM code) -> plat::LPARAM {
    switch (code) {
      case msg::STATUS_ESCAPED_TIME: {
        const int seconds = static_cast<int>(wParam);
        SetStatusText("ESCAPED TIME:  " + FormatTwoDigits(seconds / 60) + ":" + FormatTwoDigits(seconds % 60));
        break;
      }
      case msg::STATUS_START_LOGIN: SetStatusText("Start login"); break;
      case msg::STATUS_SERVER_BUSY: SetStatusText("Server is too busy!! Try later !!"); break;
      case msg::STATUS_LOGIN_FAILED_WAIT: SetStatusText("Login process is failed,wait a moment !!"); break;
      case msg::STATUS_CONNECTED_PICTURE: m_sideBar.SetStates(1, 0); break;
      case msg::STATUS_DISCONNECTED_PICTURE: m_sideBar.SetStates(1, 1); break;
      case msg::STATUS_TOO_MANY_USERS:
        SetStatusText("System relogin too many user.Wait for 40 sec!!\nApplication will try again.");
        break;
      case msg::STATUS_REPAINT:
        if (!m_bFullScreen.load()) QueueRepaint(kRepaintStatus);
        break;
      default: break;
    }
    return 0;
  });

  // The buttons this window drives itself.
  OnCommand(IDC_MINIMIZE, [this] { showMinimized(); });
  OnCommand(IDC_FULLSCREEN, [this] { OnFitScreen(); });
  OnCommand(IDC_FIT_SCREEN, [this] { OnFitScreen(); });
  OnCommand(IDC_CLOSE, [this] { DestroyWindow(); });
  OnCommand(IDC_CHANNEL_PAGE_PREV, [this] { m_channelBar.PagePrev(); });
  OnCommand(IDC_CHANNEL_PAGE_NEXT, [this] { m_channelBar.PageNext(); });
  // Side buttons, panel keys, pan-tilt-zoom and the posted commands.
  RegisterOperatorCommands();

  m_channelBar.onChanged = [this] { PostMessage(kMsgChannelBar); };
  m_channelBar.onDeviceChanged = [this] { ChangeItemPositionForDeviceModified(); };
  m_sideBar.onChanged = [this] { PostMessage(kMsgSideButtons); };
}

CTrelvixDlg::~CTrelvixDlg() {
  if (AppRecord* app = g_lpApp) {
    // Nothing reaches this window through the record any more.
    if (app->lp_MainDialog.load() == static_cast<IMainWindow*>(this)) app->lp_MainDialog = nullptr;
    if (app->C_ChannelBar.load() == &m_channelBar) app->C_ChannelBar = nullptr;
    if (app->C_SideButtonBar.load() == &m_sideBar) app->C_SideButtonBar = nullptr;
    if (app->h_MainDialogHandle.load() == Hwnd()) app->h_MainDialogHandle = 0;
    if (m_pCmosToolBar && app->C_CmosToolBar.load() == static_cast<ISensorToolBar*>(m_pCmosToolBar))
      app->C_CmosToolBar = nullptr;
    app->lp_SystemDialog = nullptr;
    app->f_SystemDialogOpen.exchange(0);
  }
}

bool CTrelvixDlg::OnGuiThread() const { return QThread::currentThread() == thread(); }

QRect CTrelvixDlg::RowRectLTRB(const LayoutRow& L, int first) {
  return RectLTRB(L[first], L[first + 1], L[first + 2], L[first + 3]);
}
QRect CTrelvixDlg::RowRectXYWH(const LayoutRow& L, int first) {
  return QRect(L[first], L[first + 1], L[first + 2], L[first + 3]);
}
QRect CTrelvixDlg::PowerRect(const LayoutRow& L) {
  // Placed by its right edge.
  return QRect(L[LV_POWER_RIGHT] - L[LV_POWER_WIDTH], L[LV_POWER_TOP], L[LV_POWER_WIDTH], L[LV_POWER_HEIGHT]);
}

const LayoutRow& CTrelvixDlg::Row() const {
  return LayoutRowOf(g_lpApp ? g_lpApp->w_LayoutMode.load() : 0);
}

void CTrelvixDlg::QueueRepaint(int what) {
  // Coalesce: one queued repaint of everything that changed is enough.
  const int before = m_repaintPending.fetch_or(what);
  if ((before & what) == what && before != 0) return;
  PostMessage(kMsgRepaint, static_cast<plat::WPARAM>(what | before));
}

CVtxButton* CTrelvixDlg::Button(int id) const { return qobject_cast<CVtxButton*>(GetDlgItem(id)); }

void CTrelvixDlg::CreateButton(CVtxButton*& slot, int id, const QRect& rect, const QString& tip) {
  auto* b = new CVtxButton(this);
  b->Create(rect, this, id);
  b->installEventFilter(this);
  if (!tip.isEmpty()) b->setToolTip(tip);
  AddControl(id, b);
  slot = b;
}

// ---- initialisation ---------------------------------------------------------------------------

bool CTrelvixDlg::OnInitDialog() {
  if (InitDialogSteps()) return true;
  // The window would have no controls and the stream would never start: say so and end.
  MessageBoxById(Hwnd(), g_lpApp && LayoutFamilyOf(g_lpApp->GetProductID()) == LayoutFamily::None ? IDS_LOGIN_ERROR : IDS_GET_CONFIG_ERROR);
  return false;
}

bool CTrelvixDlg::InitDialogSteps() {
  AppRecord* app = g_lpApp;
  if (!app) return false;
  // 1. Registration.
  app->h_MainDialogHandle = Hwnd();
  app->lp_MainDialog = this;
  app->C_ChannelBar = &m_channelBar;
  app->C_SideButtonBar = &m_sideBar;
  m_registered = true;

  const std::string product = app->GetProductID();
  const std::string firmware = app->GetFWVersion();
  const bool k41 = IsModelFamilyK41(product);

  // 2. The remembered channel, by model.
  const std::uint8_t channel = ClampChannelForInit(product, app->CSettingINI.m_bySelectedChannel.load());
  app->CSettingINI.m_bySelectedChannel = channel;

  // 3. Capability flags of newer recorders.
  if (k41 && AtLeast("1035", firmware)) {
    std::uint8_t inf[kSysCfgSizeINF] = {};
    if (GetSysCfgSection(SYSCFG_INF, inf, sizeof inf)) app->dw_FeatureFlags = ReadLe32(inf, sizeof inf, kInfCapabilityOffset);
  }

  // 4-5. The device information.
  CCgiRequest info = MakeDeviceInfoRequest(channel);
  std::vector<std::uint8_t> reply(kDeviceInfoReplySize + 1, 0);
  plat::DWORD length = 0;
  if (!ZududSendCommand(info, nullptr, 0, nullptr, reply.data(), kDeviceInfoReplySize, &length, 15, 15)) return false;
  const std::string_view text = ReplyText(reply.data(), std::min<std::size_t>(length, kDeviceInfoReplySize));
  if (length == 0 || text.empty()) return false;

  // 6. Keys of the reply; the same reading as a re-login, so both give the same devices.
  DeviceInfoValues dev;
  const bool retrTaken = RetrKeyApplies(product, firmware, app->dw_FeatureFlags.load());
  ParseDeviceInfoReply(text, DeviceInfoScope::Full, retrTaken, product, dev);
  StoreDeviceInfo(dev, DeviceInfoScope::Full);
  const std::uint8_t retrValue = (dev.retr && retrTaken) ? static_cast<std::uint8_t>(*dev.retr) : 0;

  // 7. Only the known families have a window.
  if (LayoutFamilyOf(product) == LayoutFamily::None) return false;

  // 8. The device name.
  if (k41 || IsModelK40R(product)) {
    std::uint8_t sys[kSysCfgSizeSYSTEM] = {};
    sect::SystemSection section;
    if (GetSysCfgSection(SYSCFG_SYSTEM, sys, sizeof sys) && sect::SystemSection::Decode(sys, sizeof sys, section)) {
      app->strDeviceName.Set(section.deviceName);
    }
  }
  // 9. Older K40R alarm sections get a default duration.
  if (IsModelK40R(product) && AtLeast("1010", firmware)) {
    std::uint8_t alarm[kSysCfgSizeALARM] = {};
    if (GetSysCfgSection(SYSCFG_ALARM, alarm, sizeof alarm) && alarm[9] == 0) {
      alarm[9] = 12;
      SetSysCfgSection(SYSCFG_ALARM, alarm, sizeof alarm, 0);
    }
  }
  // 10. The current device.
  int nth = 0;
  if (k41 && IsMultiChannel()) {
    nth = channel;
  } else if (IsModelK47R(product)) {
    nth = channel == 2 ? 0 : nth;
  } else if (IsModelK40R(product)) {
    nth = channel == 1 ? 0 : 1;
  }
  app->C_ControlD.MakeCurrent(CDF_VIDEO, nth);
  // 11. Key rules of the K41R family.
  if (k41) ApplyK41KeyRules(CompareVersionString("1078", firmware) == 2, IsMultiChannel() != 0);

  // 12. Access mode, and the model name of the administrator's recorder.
  const std::uint16_t level = app->w_UserLevel.load();
  app->by_AccessMode = AccessModeFromUserLevel(level);
  if (level == 30) {
    std::uint8_t inf[kSysCfgSizeINF] = {};
    if (GetSysCfgSection(SYSCFG_INF, inf, sizeof inf) &&
        std::memcmp(inf + kInfModelNameOffset, "RVX-507", 7) == 0) {
      std::memset(inf + kInfModelNameOffset, 0, kInfModelNameWidth);
      std::memcpy(inf + kInfModelNameOffset, "RVX-507", 7);
      SetSysCfgSection(SYSCFG_INF, inf, sizeof inf, 0);
    }
  }

  // 13. The first layout.
  const int type = app->C_ControlD.GetCurrentType() % kDeviceTypeCount;
  app->by_VideoModeAtInit = app->by_VideoMode.load();
  app->C_ResolutionMode.InitLayout();

  // 14. Size and shape.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    if (m_rcWorkArea.isNull()) m_rcWorkArea = screen->availableGeometry();
  }
  if (m_rcWorkArea.isNull()) m_rcWorkArea = QRect(0, 0, 1024, 768);
  const LayoutRow& L = Row();
  const QRect window = RowRectLTRB(L, LV_WINDOW);
  resize(window.size());
  SetWindowRegion(ui::RoundRectRegion(L[LV_WINDOW], L[LV_WINDOW + 1], L[LV_WINDOW + 2], L[LV_WINDOW + 3], 20, 20));

  // 15-16. Skins, title, tooltip.
  LoadBackgroundBitmaps();
  setWindowTitle(QString::fromStdString(kWindowTitlePrefix + app->GetServerName()));
  setToolTip(QString::fromStdString(kWindowTitlePrefix + app->strAppVersion.Get()));

  // 17. Channel bar.
  m_channelBar.Create(this, m_btnChannel);
  for (CVtxButton* b : m_btnChannel) {
    if (!b) continue;
    AddControl(b->CommandId(), b);
    b->installEventFilter(this);
  }
  // 18. Title-bar buttons.
  for (int i = 0; i < 3; ++i) {
    const int left = L[LV_TITLE_LEFT] + i * (L[LV_TITLE_WIDTH] + L[LV_TITLE_GAP]);
    CreateButton(m_btnTitleBar[i], IDC_MINIMIZE + i, QRect(left, L[LV_TITLE_TOP], L[LV_TITLE_WIDTH], L[LV_TITLE_HEIGHT]),
                 QString::fromStdString(StringOf(IDC_MINIMIZE + i)));
  }
  // 19. The panel keys of the current device type, hidden.
  const DeviceTypeEntry& dt = DeviceTypeTable[type];
  for (int k = 0; k < kPanelKeyCount; ++k) {
    const SkinButtonRow& row = dt.Rows[k];
    const DeviceRect r = KeyRect(type, k, app->w_LayoutMode.load());
    auto* b = new CVtxButton(this);
    b->Create(QRect(r.left, r.top, r.Width(), r.Height()), this, row.wCtrlId);
    b->setToolTip(QString::fromStdString(KeyTooltip(row, StringOf(row.wTipId))));
    if (row.wCtrlId != 0 && !GetDlgItem(row.wCtrlId)) AddControl(row.wCtrlId, b);
    b->installEventFilter(this);
    b->hide();
    m_btnPanel[k] = b;
  }
  // 20. Power.
  CreateButton(m_btnPower, IDC_POWER, PowerRect(L),
               QString::fromStdString(StringOf(IDC_POWER)));
  // 21. Side buttons and the timer.
  m_sideBar.Create(product, this, m_btnSide);
  for (int i = 0; i < m_sideBar.Count(); ++i) {
    if (!m_btnSide[i]) continue;
    AddControl(m_btnSide[i]->CommandId(), m_btnSide[i]);
    m_btnSide[i]->installEventFilter(this);
  }
  app->C_MMTimer.Start(product);
  // 22. Camera-tool buttons.
  CreateButton(m_btnCameraTool, IDC_CAMERA_TOOL, RowRectXYWH(L, LV_CAMERA_UP), QString());
  CreateButton(m_btnCameraToolDown, IDC_CAMERA_TOOL_DOWN, RowRectXYWH(L, LV_CAMERA_DOWN), QString());
  // 23. Pictures.
  InitSkinButtons(app->w_LayoutMode.load(), 1);
  m_btnPower->hide();
  // 24. The recorder's R.E.T.R. state.
  if (app->C_ControlD.FindSpecialType()) app->C_ControlD.SetRetrState(retrValue);
  // 25. Which camera-tool button shows.
  const bool panelType = (dt.dwKind & DTK_PANEL) != 0;
  m_btnCameraToolDown->setVisible(panelType);
  m_btnCameraTool->setVisible(!panelType);
  // 26. Full screen off; its buffer for the whole run.
  m_bFullScreen = 0;
  if (AllocateScreenBuffer(ScreenBufferSize(m_rcWorkArea.width(), m_rcWorkArea.height()))) {
    m_liveView.SetScreenSize(m_rcWorkArea.size());
  } else {
    m_liveView.SetScreenSize(QSize());
  }
  m_bEnterFullScreen = 0;
  // 27. Camera-tool buttons by access.
  const AccessModeEntry& access = AccessRowOf(app->by_AccessMode.load());
  for (CVtxButton* b : {m_btnCameraTool, m_btnCameraToolDown}) {
    const bool allowed = AccessAllows(access, static_cast<std::uint32_t>(b->CommandId()));
    b->setEnabled(allowed);
    if (!allowed) b->hide();
  }
  // 28. Items and layout.
  DoChangeItemPosition();
  DoRelayout();
  // 29. Resolution and quality pictures.
  if (CVtxButton* b = Button(IDC_RESOLUTION)) b->SetImageIndex(app->CSettingINI.m_nImageResolution.load());
  if (CVtxButton* b = Button(IDC_QUALITY)) b->SetImageIndex(app->CSettingINI.m_nAlarmTriggerQuality.load());
  // 30. First status.
  SetStatusText("Start to get image!!");
  // 31. The K44R family calls one key differently.
  if (IsModelFamilyK44(product)) {
    if (QWidget* w = GetDlgItem(8231)) w->setToolTip("slow play");
  }
  // 32. The image-sensor toolbar of a K47R, left of where the centred window stands.
  if (IsModelK47R(product)) {
    m_pCmosToolBar = new CCmosToolBarDlg(this);
    m_pCmosToolBar->Create(this);
    m_pCmosToolBar->setGeometry(m_rcWorkArea.left() + ((m_rcWorkArea.width() - window.width()) >> 1) - 43,
                                m_rcWorkArea.top() + ((m_rcWorkArea.height() - window.height()) >> 1),
                                CCmosToolBarDlg::kWidth, CCmosToolBarDlg::kHeight);
    m_pCmosToolBar->show();
    m_pCmosToolBar->raise();
    app->C_CmosToolBar = m_pCmosToolBar;
  }
  // 33. Release the stream and the account watchdog.
  plat::SetEvent(app->h_StartToGetJpegImageEvent.load());
  plat::SetEvent(app->h_StartLifeTimeEvent.load());
  return true;
}

// ---- shut-down ----------------------------------------------------------------------------------

bool CTrelvixDlg::DestroyWindow() {
  if (m_destroyed) return true;
  AppRecord* app = g_lpApp;
  if (app) {
    CloseSystemSheet();
    app->C_AlarmRecord.Close();
    app->C_UserRecord.StopRecord();
    app->C_SchRecord.Close();
    if (!ExitLoginResource()) return false;
    if (!ExitProcessResource()) return false;
    app->CSettingINI.SaveSettingOrTell(Hwnd());
    plat::SetEvent(app->h_EndofShowImageEvent.load());
    plat::Sleep(100);
  }
  m_destroyed = true;
  EndDialog(plat::IDOK);
  return true;
}

void CTrelvixDlg::closeEvent(QCloseEvent* event) {
  // The window manager's close runs the same shut-down as the close button.
  if (m_destroyed || DestroyWindow()) {
    event->accept();
  } else {
    event->ignore();
  }
}

// ---- status line --------------------------------------------------------------------------------

int CTrelvixDlg::SetStatusText(const std::string& text) {
  if (m_bFullScreen.load()) return 1;
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_strStatusText = text;
  }
  QueueRepaint(kRepaintStatus);
  return 1;
}

std::string CTrelvixDlg::StatusText() const {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  return m_strStatusText;
}
std::string CTrelvixDlg::OnlineUserText() const {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  return m_strOnlineUsers;
}
std::string CTrelvixDlg::AlarmChannelText() const {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  return m_strAlarmChannel;
}

void CTrelvixDlg::ClearOnlineUserText() {
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_strOnlineUsers.clear();
  }
  QueueRepaint(kRepaintStatus);
}

void CTrelvixDlg::ClearAlarmInputText() {
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_strAlarmChannel.clear();
  }
  QueueRepaint(kRepaintStatus);
}

void CTrelvixDlg::DeleteDisplayContext() { m_liveView.ReleaseFullScreen(); }

void CTrelvixDlg::ResetPtzModeButton() { PostMessage(kMsgResetPtzMode); }

// ---- the live picture (mailbox worker) ---------------------------------------------------------

void CTrelvixDlg::ShowImage() {
  AppRecord* app = g_lpApp;
  if (!app || app->f_VideoRunning.load() == 0) return;

  // The layout follows the size of the picture about to be shown.
  const int w = app->w_FrameWidth.load();
  const int h = app->w_FrameHeight.load();
  app->C_ResolutionMode.OnImageSize(static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
  const bool fullScreen = m_bFullScreen.load() != 0;
  // A pending entry into full screen is carried out with the first picture after it.
  if (fullScreen && app->lp_CurrentFrame.load() != nullptr && w > 0 && h > 0 && m_bEnterFullScreen.exchange(0))
    PostMessage(kMsgEnterFullScreen);

  const LiveView::Outcome out = m_liveView.Show(*app, fullScreen);
  if (out.snapshotFailed) PostMessage(msg::WM_SHOWMESSAGE, IDS_SNAPSHOT_FAILED, 0);
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_strAlarmChannel = out.alarmChannel;
    if (out.statistics) m_strOnlineUsers = out.statistics->onlineUsers;
  }
  if (out.statistics) {
    if (IsModelFamilyK41(app->GetProductID())) PostMessage(msg::WM_CHECKSTATUSHOVER, 0, 0);
    SetStatusText(out.statistics->statusText);
  }
  if (out.drawn) QueueRepaint(fullScreen ? kRepaintAll : kRepaintVideo);
  plat::SetEvent(app->h_FinishShowImageJobEvent.load());
}

QImage CTrelvixDlg::Grab() { return grab().toImage(); }
