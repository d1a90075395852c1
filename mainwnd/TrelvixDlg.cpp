// The main window: its initialisation and shut-down, the status line, the live picture, input
// and painting. The operator's commands are MainCommands, layouts and skins MainLayout.
#include "mainwnd/TrelvixDlg.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <algorithm>
#include <cstdio>

#include "core/Messages.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
#include "engine/Resources.h"
#include "mainwnd/CmosToolBarDlg.h"
#include "mainwnd/DisplayPath.h"
#include "mainwnd/SystemSheet.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "session/AlarmSound.h"
#include "session/Command.h"
#include "session/Login.h"
#include "ui/Lifetime.h"
#include "ui/VtxButton.h"
#include "session/ReLogin.h"
#include "session/ResolutionMode.h"
#include "session/Sections.h"
#include "session/SysCfg.h"

namespace {

constexpr std::size_t kDeviceInfoReplySize = 1024;
constexpr plat::WORD kDeviceInfoTimeoutSec = 15;
constexpr const char kWindowTitlePrefix[] = "Ovistra : ";

std::uint8_t ClampChannelForInit(const std::string& product, std::uint8_t channel) {
  if (IsModelFamilyK44(product) || IsModelK47R(product)) return 2;
  return ClampSelectedChannel(product, channel);
}

bool AtLeast(const char* threshold, const std::string& firmware) {
  return CompareVersionString(threshold, firmware) != 2;
}

// The mouse's place in the window; outside hot-point mode 1 it is also the hot point.
void NoteMousePoint(AppRecord& app, const QPoint& p) {
  app.pt_Mouse.Set(MousePoint{p.x(), p.y()});
  if (app.by_HotPointMode.load() != 1) {
    app.w_HotPointX = static_cast<std::uint16_t>(std::max(0, p.x()));
    app.w_HotPointY = static_cast<std::uint16_t>(std::max(0, p.y()));
  }
}

}  // namespace

CTrelvixDlg::CTrelvixDlg(QWidget* parent) : ui::Window(parent), m_layout(*this), m_commands(*this, m_layout) {
  if (AppRecord* app = Record()) {
    app->w_LayoutMode = 0;
    app->lp_SystemDialog = nullptr;
  }
  MakeFrameless();
  // The window drags itself by its surface (mouse handlers below), only out of full screen.
  SetDragBySurface(false);
  setAttribute(Qt::WA_OpaquePaintEvent, false);

  OnMessage(kMsgRepaint, [this](plat::WPARAM what, plat::LPARAM) -> plat::LPARAM {
    m_repaintPending = 0;
    const LayoutRow& L = m_layout.Row();
    if (m_layout.IsFullScreen() || (what & kRepaintAll)) {
      update();
      return 0;
    }
    // The video area with its two-pixel frame.
    if (what & kRepaintVideo) update(MainLayout::RowRectLTRB(L, LV_VIDEO).adjusted(-2, -2, 3, 3));
    if (what & kRepaintStatus) update(MainLayout::RowRectLTRB(L, LV_STATUS));
    return 0;
  });
  OnMessage(kMsgLayout, [this](plat::WPARAM what, plat::LPARAM mode) -> plat::LPARAM {
    if (what & kLayoutSwitch) {
      SwitchLayout(static_cast<int>(mode));
      return 0;
    }
    if (what & kLayoutChangeItems) m_layout.DoChangeItemPosition();
    if (what & kLayoutRelayout) m_layout.DoRelayout();
    return 0;
  });
  OnMessage(kMsgEnterFullScreen, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    m_layout.EnterFullScreenNow();
    return 0;
  });
  OnMessage(kMsgChannelBar, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    m_layout.ApplyChannelBar();
    return 0;
  });
  OnMessage(kMsgSideButtons, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    m_layout.ApplySideStates();
    return 0;
  });
  OnMessage(msg::WM_SHOWMESSAGE, [this](plat::WPARAM id, plat::LPARAM) -> plat::LPARAM {
    MessageBoxById(Hwnd(), static_cast<unsigned>(id));
    return 0;
  });
  OnMessage(msg::WM_CHECKSTATUSHOVER, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    return m_layout.OnCheckStatusHover();
  });
  OnMessage(msg::WM_CLOSEMAIN, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    DestroyWindow();
    return 0;
  });
  OnMessage(kMsgUserRecordingEnded, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    std::vector<std::string> texts;
    {
      std::lock_guard<std::mutex> lock(m_stateMutex);
      texts.swap(m_recordingEndTexts);
    }
    if (!texts.empty()) m_commands.ShowRecordingsEnded(texts);
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
      case msg::STATUS_CONNECTED_PICTURE: m_layout.Sides().SetStates(1, 0); break;
      case msg::STATUS_DISCONNECTED_PICTURE: m_layout.Sides().SetStates(1, 1); break;
      case msg::STATUS_TOO_MANY_USERS:
        SetStatusText("System relogin too many user.Wait for 40 sec!!\nApplication will try again.");
        break;
      case msg::STATUS_REPAINT:
        if (!m_layout.IsFullScreen()) QueueRepaint(kRepaintStatus);
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
  OnCommand(IDC_CHANNEL_PAGE_PREV, [this] { m_layout.Channels().PagePrev(); });
  OnCommand(IDC_CHANNEL_PAGE_NEXT, [this] { m_layout.Channels().PageNext(); });
  // Side buttons, panel keys, pan-tilt-zoom and the posted commands.
  setMouseTracking(true);
  m_commands.Register();

  m_layout.Channels().onChanged = [this] { PostMessage(kMsgChannelBar); };
  m_layout.Channels().onDeviceChanged = [this] { ChangeItemPositionForDeviceModified(); };
  m_layout.Sides().onChanged = [this] { PostMessage(kMsgSideButtons); };
}

CTrelvixDlg::~CTrelvixDlg() {
  if (AppRecord* app = Record()) {
    // Nothing reaches this window through the record any more.
    CCmosToolBarDlg* sensorBar = m_layout.CmosToolBar();
    if (app->lp_MainDialog.load() == static_cast<IMainWindow*>(this)) app->lp_MainDialog = nullptr;
    if (app->C_ChannelBar.load() == &m_layout.Channels()) app->C_ChannelBar = nullptr;
    if (app->C_SideButtonBar.load() == &m_layout.Sides()) app->C_SideButtonBar = nullptr;
    if (app->h_MainDialogHandle.load() == Hwnd()) app->h_MainDialogHandle = 0;
    if (sensorBar && app->C_CmosToolBar.load() == static_cast<ISensorToolBar*>(sensorBar))
      app->C_CmosToolBar = nullptr;
    app->lp_SystemDialog = nullptr;
    app->f_SystemDialogOpen.exchange(0);
  }
}

AppRecord* CTrelvixDlg::Record() const { return g_lpApp; }

void CTrelvixDlg::QueueRepaint(int what) {
  // Coalesce: one queued repaint of everything that changed is enough.
  const int before = m_repaintPending.fetch_or(what);
  if ((before & what) == what && before != 0) return;
  PostMessage(kMsgRepaint, static_cast<plat::WPARAM>(what | before));
}

CVtxButton* CTrelvixDlg::Button(int id) const { return qobject_cast<CVtxButton*>(GetDlgItem(id)); }

// ---- initialisation ---------------------------------------------------------------------------

bool CTrelvixDlg::OnInitDialog() {
  if (InitDialogSteps()) return true;
  // The window would have no controls and the stream would never start: say so and end.
  const AppRecord* app = Record();
  MessageBoxById(Hwnd(), app && LayoutFamilyOf(app->GetProductID()) == LayoutFamily::None ? IDS_LOGIN_ERROR : IDS_GET_CONFIG_ERROR);
  return false;
}

bool CTrelvixDlg::InitDialogSteps() {
  AppRecord* app = Record();
  if (!app) return false;
  // 1. Registration.
  app->h_MainDialogHandle = Hwnd();
  app->lp_MainDialog = this;
  app->C_ChannelBar = &m_layout.Channels();
  app->C_SideButtonBar = &m_layout.Sides();
  m_registered = true;

  const std::string product = app->GetProductID();
  const std::string firmware = app->GetFWVersion();
  const bool k41 = IsModelFamilyK41(product);

  // 2. The remembered channel, by model.
  const std::uint8_t channel = ClampChannelForInit(product, app->CSettingINI.m_bySelectedChannel.load());
  app->CSettingINI.m_bySelectedChannel = channel;

  // 3. Capability flags of newer recorders.
  if (k41 && AtLeast("1035", firmware)) {
    std::uint32_t caps = 0;
    if (FetchInfCapabilityFlags(caps)) app->dw_FeatureFlags = caps;
  }

  // 4-5. The device information.
  std::vector<std::uint8_t> reply(kDeviceInfoReplySize + 1, 0);
  plat::DWORD length = 0;
  if (!RequestDeviceInfo(channel, reply.data(), kDeviceInfoReplySize, &length, kDeviceInfoTimeoutSec)) return false;
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
  if (level == 30) SendRvx507ModelName();

  // 13. The first layout.
  const int type = app->C_ControlD.GetCurrentType() % kDeviceTypeCount;
  app->by_VideoModeAtInit = app->by_VideoMode.load();
  app->C_ResolutionMode.InitLayout();

  // 14. Size and shape.
  m_layout.InitWorkArea();
  const LayoutRow& L = m_layout.Row();
  const QRect window = m_layout.SizeWindow(L);

  // 15-16. Skins, title, tooltip.
  m_layout.LoadBackgroundBitmaps();
  setWindowTitle(QString::fromStdString(kWindowTitlePrefix + app->GetServerName()));
  setToolTip(QString::fromStdString(kWindowTitlePrefix + app->strAppVersion.Get()));

  // 17-21. Channel bar, title-bar buttons, the panel keys of the current device type (hidden),
  // power, side buttons; then the timer.
  m_layout.CreateButtons(product, type, L);
  app->C_MMTimer.Start(product);
  // 22. Camera-tool buttons.
  m_layout.CreateCameraToolButtons(L);
  // 23. Pictures.
  m_layout.InitSkinButtons(app->w_LayoutMode.load(), 1);
  m_layout.HidePowerButton();
  // 24. The recorder's R.E.T.R. state.
  if (app->C_ControlD.FindSpecialType()) app->C_ControlD.SetRetrState(retrValue);
  // 25. Which camera-tool button shows.
  m_layout.ShowCameraToolFor((DeviceTypeTable[type].dwKind & DTK_PANEL) != 0);
  // 26. Full screen off; its buffer for the whole run.
  m_layout.SetFullScreenOff();
  const QRect workArea = m_layout.WorkArea();
  if (AllocateScreenBuffer(ScreenBufferSize(workArea.width(), workArea.height()))) {
    m_liveView.SetScreenSize(workArea.size());
  } else {
    m_liveView.SetScreenSize(QSize());
  }
  m_layout.CancelEnterFullScreen();
  // 27. Camera-tool buttons by access.
  m_layout.RestrictCameraTools(AccessRowOf(app->by_AccessMode.load()));
  // 28. Items and layout.
  m_layout.DoChangeItemPosition();
  m_layout.DoRelayout();
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
  if (IsModelK47R(product)) app->C_CmosToolBar = m_layout.CreateCmosToolBar(window);
  // 33. Release the stream and the account watchdog.
  plat::SetEvent(app->h_StartToGetJpegImageEvent.load());
  plat::SetEvent(app->h_StartLifeTimeEvent.load());
  return true;
}

// ---- shut-down ----------------------------------------------------------------------------------

bool CTrelvixDlg::DestroyWindow() {
  if (m_destroyed) return true;
  AppRecord* app = Record();
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
  if (m_layout.IsFullScreen()) return 1;
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

void CTrelvixDlg::ResetPtzModeButton() { m_commands.ResetPtzModeButton(); }

void CTrelvixDlg::SetRetrButtonState(bool enabled) { m_commands.SetRetrButtonState(enabled); }

void CTrelvixDlg::UserRecordingEnded(const std::string& text) {
  SetStatusText(text);
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_recordingEndTexts.push_back(text);
  }
  plat::PostMessage(Hwnd(), kMsgUserRecordingEnded, 0, 0);
}

void CTrelvixDlg::OnTimer(int id) {
  if (m_commands.OnTimer(id)) return;
  ui::Window::OnTimer(id);
}

// ---- layouts (any thread: from a worker they are queued to the GUI thread) ---------------------

void CTrelvixDlg::SwitchLayout(int resolutionMode) {
  if (!ui::OnGuiThread()) {
    PostMessage(kMsgLayout, kLayoutSwitch, resolutionMode);
    return;
  }
  m_layout.SwitchLayout(resolutionMode);
}

void CTrelvixDlg::ChangeItemPositionForDeviceModified() {
  if (!ui::OnGuiThread()) {
    PostMessage(kMsgLayout, kLayoutChangeItems, 0);
    return;
  }
  m_layout.DoChangeItemPosition();
}

void CTrelvixDlg::RelayoutControls() {
  if (!ui::OnGuiThread()) {
    PostMessage(kMsgLayout, kLayoutRelayout, 0);
    return;
  }
  m_layout.DoRelayout();
}

// ---- the live picture (mailbox worker) ---------------------------------------------------------

void CTrelvixDlg::ShowImage() {
  AppRecord* app = Record();
  if (!app || app->f_VideoRunning.load() == 0) return;

  // The layout follows the size of the picture about to be shown.
  const int w = app->w_FrameWidth.load();
  const int h = app->w_FrameHeight.load();
  app->C_ResolutionMode.OnImageSize(static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
  const bool fullScreen = m_layout.IsFullScreen();
  // A pending entry into full screen is carried out with the first picture after it.
  if (fullScreen && app->lp_CurrentFrame.load() != nullptr && w > 0 && h > 0 && m_layout.TakeEnterFullScreen())
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

// ---- input ----------------------------------------------------------------------------------------

void CTrelvixDlg::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    event->accept();  // never activates a button
    return;
  }
  if (key == Qt::Key_Escape) {
    if (m_layout.IsFullScreen()) m_layout.LeaveFullScreen(true);
    event->accept();  // never closes the window
    return;
  }
  ui::Window::keyPressEvent(event);
}

void CTrelvixDlg::mousePressEvent(QMouseEvent* event) {
  AppRecord* app = Record();
  if (app && event->button() == Qt::LeftButton && app->f_AlarmAudioOn.load()) SilenceAlarmSound(*app);
  // The press itself places the hot point: no move has to come first.
  if (app) NoteMousePoint(*app, event->position().toPoint());
  if (event->button() == Qt::LeftButton && !m_layout.IsFullScreen()) {
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
  }
  if (app && event->button() == Qt::LeftButton && app->by_HotPointMode.load() == 2 && app->f_VideoRunning.load())
    PostMessage(msg::WM_HOTPOINTCLICK, 0, 0);
  ui::Window::mousePressEvent(event);
}

void CTrelvixDlg::mouseReleaseEvent(QMouseEvent* event) {
  m_dragging = false;
  ui::Window::mouseReleaseEvent(event);
}

void CTrelvixDlg::moveEvent(QMoveEvent* event) {
  m_layout.OnMove();
  ui::Window::moveEvent(event);
}

bool CTrelvixDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && watched != this) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    AppRecord* app = Record();
    if (app && mouse->button() == Qt::LeftButton && app->f_AlarmAudioOn.load()) SilenceAlarmSound(*app);
  }
  return ui::Window::eventFilter(watched, event);  // the click goes on as usual
}

void CTrelvixDlg::mouseMoveEvent(QMouseEvent* event) {
  if (AppRecord* app = Record()) NoteMousePoint(*app, event->position().toPoint());
  if (m_dragging && (event->buttons() & Qt::LeftButton) && !m_layout.IsFullScreen()) {
    const QRect next = m_layout.OnMoving(QRect(event->globalPosition().toPoint() - m_dragOffset, size()));
    if (next.size() == size()) {
      move(next.topLeft());
    } else {
      setGeometry(next);
    }
  }
  ui::Window::mouseMoveEvent(event);
}

// ---- painting ---------------------------------------------------------------------------------------

void CTrelvixDlg::paintEvent(QPaintEvent*) {
  AppRecord* app = Record();
  QPainter painter(this);
  if (m_layout.IsFullScreen()) {
    if (!m_liveView.PaintFullScreen(painter)) painter.fillRect(rect(), Qt::black);
    return;
  }
  const unsigned mode = app ? app->w_LayoutMode.load() : 0;
  const LayoutRow& L = LayoutRowOf(mode);
  m_layout.PaintBackground(painter, mode);
  const QRect statusBar = MainLayout::RowRectLTRB(L, LV_STATUS);

  // The live picture at its own size at the origin of the video area, cut to that area.
  const QRect video = MainLayout::RowRectLTRB(L, LV_VIDEO);
  m_liveView.PaintWindowed(painter, video);

  QFont font("Arial");
  font.setPixelSize(12);
  font.setWeight(QFont::Normal);
  painter.setFont(font);
  // Texts of the recorder are single bytes per character; each gets a box wide enough for any.
  auto text = [&painter](int x, int y, const std::string& s, const QColor& c) {
    constexpr int kTextBoxWidth = 1000;
    painter.setPen(c);
    painter.drawText(QRect(x, y, kTextBoxWidth, 40), Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(s.data(), static_cast<int>(s.size())));
  };
  std::string status, users, alarm;
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    status = m_strStatusText;
    users = m_strOnlineUsers;
    alarm = m_strAlarmChannel;
  }
  text(statusBar.left() + 5, statusBar.top() + 2, status, Qt::black);
  if (!users.empty()) text(statusBar.left() + 160, statusBar.top() + 2, users, Qt::black);
  // The alarm icon stands left of the online-user icon, its text between them.
  const QRect icon = MainLayout::RowRectLTRB(L, LV_ONLINE_ICON);
  if (!alarm.empty()) {
    const ui::Bitmap& alarmIcon = m_layout.AlarmIcon();
    if (!alarmIcon.IsNull()) painter.drawImage(icon.translated(-34, 0), alarmIcon.Image());
    text(L[LV_ONLINE_ICON_RIGHT] - 30, icon.top() + 2, alarm, QColor(0xFF, 0, 0));
  }
  if (status.rfind("FR", 0) == 0) {
    const ui::Bitmap& usersIcon = m_layout.OnlineUserIcon();
    if (!usersIcon.IsNull()) painter.drawImage(icon, usersIcon.Image());
    text(L[LV_ONLINE_ICON_RIGHT] + 4, icon.top() + 2, std::to_string(app ? app->by_OnlineUsers.load() : 0), Qt::black);
  }
  // Address, device name or the recorder's clock.
  if (app) {
    const bool hover = app->f_MouseOverStatus.load() != 0;
    const std::string server = app->GetServerName();
    std::string address;
    if (!server.empty() && IsIPAddressString(server) == 2) {
      std::uint8_t b[4] = {};
      SplitToInts(server, b, 4, ".");
      char buf[40];
      std::snprintf(buf, sizeof buf, "IP:%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
      address = buf;
    }
    const QColor cyan(0, 0xFF, 0xFF), yellow(0xFF, 0xFF, 0);
    // The text ends left of the title buttons: one wider than its place in our font starts
    // further left instead of running under them.
    const QFontMetrics metrics(font);
    auto addressText = [&](const std::string& s, const QColor& c) {
      const int width = metrics.horizontalAdvance(QString::fromLatin1(s.data(), static_cast<int>(s.size())));
      const int x = std::max(0, std::min<int>(L[LV_ADDRESS_X], L[LV_TITLE_LEFT] - 2 - width));
      text(x, L[LV_ADDRESS_Y], s, c);
    };
    if (IsModelFamilyK41(app->GetProductID())) {
      const std::string name = app->strDeviceName.Get();
      if (!name.empty() && hover) {
        addressText(name, yellow);
      } else {
        addressText(address, cyan);
      }
    } else if (!hover) {
      addressText(address, cyan);
    } else {
      const DvrDateTime t = app->st_DvrTime.Get();
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.4d/%.2d/%.2d %.2d:%.2d:%.2d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                    t.wSecond);
      addressText(buf, yellow);
    }
  }
  // A two-pixel sunken frame around the video area.
  const int x0 = video.left(), y0 = video.top(), x1 = L[LV_VIDEO + 2], y1 = L[LV_VIDEO + 3];
  auto line = [&painter](int ax, int ay, int bx, int by, const QColor& c) {
    // The last point is not drawn.
    painter.setPen(c);
    const int dx = (bx > ax) - (bx < ax), dy = (by > ay) - (by < ay);
    if (ax == bx && ay == by) return;
    painter.drawLine(ax, ay, bx - dx, by - dy);
  };
  line(x0 - 2, y0 - 2, x1 + 2, y0 - 2, Qt::black);
  line(x0 - 2, y0 - 2, x0 - 2, y1 + 2, Qt::black);
  line(x0 - 1, y0 - 1, x1 + 1, y0 - 1, QColor(0x33, 0x33, 0x33));
  line(x0 - 1, y0 - 1, x0 - 1, y1 + 1, QColor(0x33, 0x33, 0x33));
  line(x1, y1, x1, y0 - 1, QColor(0x66, 0x66, 0x66));
  line(x1, y1, x0 - 1, y1, QColor(0x66, 0x66, 0x66));
  line(x1 + 1, y1 + 1, x1 + 1, y0 - 2, Qt::white);
  line(x1 + 1, y1 + 1, x0 - 2, y1 + 1, Qt::white);
}

int RunTrelvixMainDialog() {
  CTrelvixDlg dialog;
  return dialog.DoModal();
}
