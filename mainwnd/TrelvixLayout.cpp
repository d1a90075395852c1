// The main window's layouts and skins: skin pictures, the layout setters, relayout, the
// re-positioning after a device or picture change, full screen and painting.
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdio>

#include "core/Messages.h"

#include "engine/AppRecord.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "mainwnd/CmosToolBarDlg.h"
#include "mainwnd/DisplayPath.h"
#include "mainwnd/TrelvixDlg.h"
#include "ui/VtxButton.h"
#include "session/AlarmSound.h"
#include "session/Command.h"

namespace {

// The address, device-name or clock text that reacts to the mouse.
constexpr int kAddressTextWidth = 120;
constexpr int kAddressTextHeight = 14;

const DeviceTypeEntry& CurrentType() {
  const int type = g_lpApp ? g_lpApp->C_ControlD.GetCurrentType() % kDeviceTypeCount : 0;
  return DeviceTypeTable[type];
}
int CurrentTypeIndex() { return g_lpApp ? g_lpApp->C_ControlD.GetCurrentType() % kDeviceTypeCount : 0; }

bool IsDirectionKey(int k) { return k == 54 || k == 55 || k == 57 || k == 58; }
bool IsZoomFocusKey(int k) { return k >= 30 && k <= 33; }

std::string DirectionName(int k) {
  switch (k) {
    case 54: return "LEFT";
    case 55: return "UP";
    case 57: return "DOWN";
    default: return "RIGHT";
  }
}

std::string ZoomFocusName(int k) {
  static const char* const names[4] = {"2Col_zoom_turbo_in", "2Col_zoom_turbo_out", "2Col_focus_turbo_in",
                                        "2Col_focus_turbo_out"};
  return names[k - 30];
}

const char* TurboFamily(int group) {
  static const char* const names[4] = {"N_VGA", "N_QVGA", "P_VGA", "N_QVGA"};  // PAL QVGA shares NTSC QVGA
  return names[group & 3];
}

std::string Str(const char* s) { return s ? std::string(s) : std::string(); }

// Two image pairs of a two-state key for a picture group.
std::vector<std::string> KeyPairs(const SkinButtonRow& row, int group) {
  const int base = (group >= 2 && row.pszBitmap[6] != nullptr) ? 6 : 0;
  std::vector<std::string> files;
  for (int i = 0; i < 4; ++i) files.push_back(Str(row.pszBitmap[base + i]));
  return files;
}

}  // namespace

// ---- skin pictures --------------------------------------------------------------------------------

int CTrelvixDlg::LoadBackgroundBitmaps() {
  for (int cls : {4, 1, 0, 3, 5, 2}) {
    if (!m_background[cls].Load(BackgroundPicture(cls))) return 0;
    if (!m_backgroundEx[cls].Load(BackgroundOpenPicture(cls))) return 0;
    if (!m_statusBar[cls].Load(StatusBarPicture(cls))) return 0;
  }
  if (!m_onlineUserIcon.Load(kOnlineUserIcon)) return 0;
  if (!m_alarmIcon.Load(kAlarmIcon)) return 0;
  return 1;
}

int CTrelvixDlg::InitSkinButtons(int mode, int flag) {
  AppRecord* app = g_lpApp;
  if (flag) {
    static const char* const names[3] = {"Hide", "Fullscreen", "Close"};
    for (int i = 0; i < 3; ++i) {
      if (!m_btnTitleBar[i]) continue;
      const std::string base = std::string("BMP\\Title_Bar_") + names[i];
      m_btnTitleBar[i]->LoadButtonBitmap(base + ".bmp", base + "_a.bmp", base + ".bmp", VBS_HOVER);
    }
  }
  const int type = CurrentTypeIndex();
  const DeviceTypeEntry& dt = DeviceTypeTable[type];
  const int resolution = app ? app->CSettingINI.m_nImageResolution.load() : 0;
  for (int k = 0; k < kPanelKeyCount; ++k) {
    CVtxButton* b = m_btnPanel[k];
    const SkinButtonRow& row = dt.Rows[k];
    if (!b || !(row.wFlags & SBF_ENABLED) || b->m_fPicturesLoaded) continue;
    if (row.byStyle & 0x02) {
      const int g = resolution == 0 ? 0 : 1;
      b->LoadButtonBitmap(Str(KeyPicture(type, k, g, 0)), Str(KeyPicture(type, k, g, 1)),
                          Str(KeyPicture(type, k, g, 1)), VBS_PUSH);
    } else if (row.byStyle & 0x10) {
      b->LoadButtonBitmap(2, KeyPairs(row, 0), VBS_MULTI);
    } else if (row.byStyle & 0x40) {
      b->LoadButtonBitmap(2, KeyPairs(row, 0), VBS_MULTIFIXED);
    }
  }
  const AccessModeEntry& access = AccessRowOf(app ? app->by_AccessMode.load() : 0);
  if (m_btnPower && AccessAllows(access, IDC_POWER)) {
    m_btnPower->LoadButtonBitmap("BMP\\power.bmp", "BMP\\power_over.bmp", "BMP\\power_down.bmp", VBS_PUSHHOVER);
  }
  m_sideBar.LoadBitmaps(m_btnSide, app ? app->by_AccessMode.load() : 0);
  const std::string family = std::string("BMP\\") + CameraToolFamily(SizeClassOf(static_cast<unsigned>(mode)));
  if (m_btnCameraTool)
    m_btnCameraTool->LoadButtonBitmap(family + "_PANELUP.bmp", family + "_PANELUP_OVER.bmp", family + "_PANELUP.bmp",
                                      VBS_HOVER);
  if (m_btnCameraToolDown)
    m_btnCameraToolDown->LoadButtonBitmap(family + "_PANELDOWN.bmp", family + "_PANELDOWN_OVER.bmp",
                                          family + "_PANELDOWN.bmp", VBS_HOVER);
  switch (mode) {
    case 0: LayoutNtscVga(); break;
    case 1:
    case 4: LayoutNtscQvga(); break;
    case 2: LayoutPalVga(); break;
    case 3:
    case 5: LayoutPalQvga(); break;
    default: break;  // the repositioning that follows picks the setter
  }
  return 1;
}

int CTrelvixDlg::RunLayoutSetter(int group) {
  AppRecord* app = g_lpApp;
  const int type = CurrentTypeIndex();
  const DeviceTypeEntry& dt = DeviceTypeTable[type];
  const bool turbo = app && app->f_TurboOn.load() != 0;
  for (int k = 0; k < kPanelKeyCount; ++k) {
    CVtxButton* b = m_btnPanel[k];
    if (!b) continue;
    const SkinButtonRow& row = dt.Rows[k];
    if (turbo && IsDirectionKey(k)) {
      const std::string base = std::string("BMP\\") + TurboFamily(group) + "_" + DirectionName(k);
      b->LoadButtonBitmap(base + "_TURBO.bmp", base + "_TURBO_OVER.bmp", base + "_TURBO.bmp", VBS_PUSH);
      continue;
    }
    if (turbo && IsZoomFocusKey(k)) {
      const std::string base = "BMP\\" + ZoomFocusName(k);
      b->LoadButtonBitmap(base + ".bmp", base + "_a.bmp", base + "_a.bmp", VBS_PUSH);
      continue;
    }
    const bool reload = (row.wFlags & SBF_LAYOUTPICTURES) || ((row.wFlags & SBF_ENABLED) && !b->m_fPicturesLoaded);
    if (!reload) continue;
    if (row.byStyle & 0x02) {
      if (row.wFlags & SBF_UNAVAILABLE) {
        const std::string na = Str(KeyPicture(type, k, group, 2));
        b->LoadButtonBitmap(na, na, na, VBS_PUSH);
      } else {
        b->LoadButtonBitmap(Str(KeyPicture(type, k, group, 0)), Str(KeyPicture(type, k, group, 1)),
                            Str(KeyPicture(type, k, group, 1)), VBS_PUSH);
      }
    } else if (row.byStyle & 0x10) {
      b->LoadButtonBitmap(2, KeyPairs(row, group), VBS_MULTI);
    } else if (row.byStyle & 0x40) {
      b->LoadButtonBitmap(2, KeyPairs(row, group), VBS_MULTIFIXED);
    }
  }
  static const char* const families[4] = {"N_VGA", "N_QVGA", "P_VGA", "P_QVGA"};
  const std::string family = std::string("BMP\\") + families[group & 3];
  if (m_btnCameraTool)
    m_btnCameraTool->LoadButtonBitmap(family + "_PANELUP.bmp", family + "_PANELUP_OVER.bmp", family + "_PANELUP.bmp",
                                      VBS_HOVER);
  if (m_btnCameraToolDown)
    m_btnCameraToolDown->LoadButtonBitmap(family + "_PANELDOWN.bmp", family + "_PANELDOWN_OVER.bmp",
                                          family + "_PANELDOWN.bmp", VBS_HOVER);
  return 1;
}

int CTrelvixDlg::SwitchLayoutTo(int setter) {
  {
    std::lock_guard<std::mutex> lock(m_layoutMutex);
    RunLayoutSetter(setter);
  }
  DoRelayout();
  return 1;
}
int CTrelvixDlg::SwitchLayoutNtscVga() { return SwitchLayoutTo(0); }
int CTrelvixDlg::SwitchLayoutNtscQvga() { return SwitchLayoutTo(1); }
int CTrelvixDlg::SwitchLayoutPalVga() { return SwitchLayoutTo(2); }
int CTrelvixDlg::SwitchLayoutPalQvga() { return SwitchLayoutTo(3); }

void CTrelvixDlg::SwitchLayout(int resolutionMode) {
  if (!OnGuiThread()) {
    PostMessage(kMsgLayout, kLayoutSwitch, resolutionMode);
    return;
  }
  DoChangeItemPosition();
  switch (resolutionMode) {
    case 0: SwitchLayoutNtscVga(); break;
    case 1: SwitchLayoutNtscQvga(); break;
    case 2: SwitchLayoutPalVga(); break;
    case 3: SwitchLayoutPalQvga(); break;
    default: break;  // the small modes keep the layout
  }
}

void CTrelvixDlg::ChangeItemPositionForDeviceModified() {
  if (!OnGuiThread()) {
    PostMessage(kMsgLayout, kLayoutChangeItems, 0);
    return;
  }
  DoChangeItemPosition();
}

void CTrelvixDlg::RelayoutControls() {
  if (!OnGuiThread()) {
    PostMessage(kMsgLayout, kLayoutRelayout, 0);
    return;
  }
  DoRelayout();
}

// ---- relayout ---------------------------------------------------------------------------------------

void CTrelvixDlg::ApplyPanelKeys(bool panelOpen, bool adminRule) {
  AppRecord* app = g_lpApp;
  const DeviceTypeEntry& dt = CurrentType();
  const int type = CurrentTypeIndex();
  const unsigned mode = app ? app->w_LayoutMode.load() : 0;
  const std::uint16_t level = app ? app->w_UserLevel.load() : 0;
  const AccessModeEntry& access = AccessRowOf(app ? app->by_AccessMode.load() : 0);
  for (int k = 0; k < kPanelKeyCount; ++k) {
    CVtxButton* b = m_btnPanel[k];
    if (!b) continue;
    const SkinButtonRow& row = dt.Rows[k];
    if (!panelOpen || !(row.wFlags & SBF_VISIBLE)) {
      b->hide();
      continue;
    }
    const DeviceRect r = KeyRect(type, k, static_cast<int>(mode));
    b->setGeometry(r.left, r.top, r.Width(), r.Height());
    bool show = true;
    if (adminRule) {
      if (row.wFlags & SBF_ADMINONLY) {
        show = level == 30;
      } else if (row.wFlags & SBF_ACCESSLEVEL) {
        show = access.byAccessLevel >= 30;
      }
    } else {
      if (row.wFlags & SBF_ADMINONLY) {
        show = access.byAccessLevel >= 60;
      } else if (row.wFlags & SBF_ACCESSLEVEL) {
        show = access.byAccessLevel >= 40;
      }
    }
    b->setVisible(show);
    b->setEnabled((row.wFlags & SBF_ENABLED) != 0);
  }
}

void CTrelvixDlg::DoRelayout() {
  AppRecord* app = g_lpApp;
  const LayoutRow& L = Row();
  for (int i = 0; i < 3; ++i) {
    if (m_btnTitleBar[i])
      m_btnTitleBar[i]->setGeometry(L[LV_TITLE_LEFT] + i * (L[LV_TITLE_WIDTH] + L[LV_TITLE_GAP]), L[LV_TITLE_TOP],
                                    L[LV_TITLE_WIDTH], L[LV_TITLE_HEIGHT]);
  }
  m_sideBar.Place(m_btnSide, app ? app->w_LayoutMode.load() : 0);
  if (m_btnPower) m_btnPower->setGeometry(PowerRect(L));
  if (m_btnCameraTool) m_btnCameraTool->setGeometry(RowRectXYWH(L, LV_CAMERA_UP));
  if (m_btnCameraToolDown) m_btnCameraToolDown->setGeometry(RowRectXYWH(L, LV_CAMERA_DOWN));
  if (!m_bFullScreen.load()) {
    const QRect r = RowRectLTRB(L, m_bPanelOpen ? LV_WINDOW_OPEN : LV_WINDOW);
    resize(r.size());  // the window keeps its place and changes size only
    SetWindowRegion(ui::RoundRectRegion(0, 0, r.width(), r.height(), 15, 15));
  }
  ApplyPanelKeys(m_bPanelOpen != 0, true);
  m_channelBar.ApplyToButtons(m_btnChannel);
  update();
}

void CTrelvixDlg::PlaceAndCentre(const QRect& r) {
  resize(r.size());
  SetWindowRegion(ui::RoundRectRegion(0, 0, r.width(), r.height(), 15, 15));
  move(m_rcWorkArea.left() + ((m_rcWorkArea.width() - r.width()) >> 1),
       m_rcWorkArea.top() + ((m_rcWorkArea.height() - r.height()) >> 1));
  raise();
}

void CTrelvixDlg::DoChangeItemPosition() {
  AppRecord* app = g_lpApp;
  if (!app) return;
  // 1. Pictures for the standard and the Image Resolution setting.
  const bool pal = app->by_VideoMode.load() != 0;
  switch (app->CSettingINI.m_nImageResolution.load()) {
    case 0: pal ? LayoutPalVga() : LayoutNtscVga(); break;
    case 1:
    case 2: pal ? LayoutPalQvga() : LayoutNtscQvga(); break;
    default: break;
  }
  // 2. Tooltips.
  const DeviceTypeEntry& dt = CurrentType();
  if (app->lp_MainDialog.load() != nullptr) {
    for (int k = 0; k < kPanelKeyCount; ++k) {
      if (m_btnPanel[k]) m_btnPanel[k]->setToolTip(QString::fromLatin1(LoadStr(dt.Rows[k].wTipId)));
    }
    auto tipHalf = [this](int id, bool second) {
      std::string first, rest;
      SplitResourceString(static_cast<unsigned>(id), first, rest);
      if (QWidget* w = GetDlgItem(id)) w->setToolTip(QString::fromStdString(second ? rest : first));
    };
    tipHalf(kPtzModeButton, app->C_ControlD.IsCurrentVideo() != 0);
    tipHalf(8310, app->f_TurboOn.load() == 0);
    tipHalf(8331, true);
    tipHalf(8356, app->f_PresetMode.load() != 0);
  }
  // 3. The fold-out panel by the device type.
  const AccessModeEntry& access = AccessRowOf(app->by_AccessMode.load());
  const bool upAllowed = AccessAllows(access, IDC_CAMERA_TOOL);
  const bool downAllowed = AccessAllows(access, IDC_CAMERA_TOOL_DOWN);
  const bool panelType = (dt.dwKind & DTK_PANEL) != 0;
  const LayoutRow& L = Row();
  if (panelType && m_bPanelOpen) {
    m_bPanelOpen = 0;
    if (!m_bFullScreen.load()) PlaceAndCentre(RowRectLTRB(L, LV_WINDOW));
    ApplyPanelKeys(false, false);
    if (m_btnCameraToolDown) m_btnCameraToolDown->hide();
    if (m_btnCameraTool) m_btnCameraTool->hide();
  } else if (panelType) {
    ApplyPanelKeys(true, false);
    if (m_btnCameraTool) m_btnCameraTool->hide();
    if (m_btnCameraToolDown) m_btnCameraToolDown->setVisible(downAllowed);
  } else if (m_bPanelOpen) {
    ApplyPanelKeys(true, true);
    if (m_btnCameraTool) m_btnCameraTool->hide();
    if (m_btnCameraToolDown) m_btnCameraToolDown->setVisible(downAllowed);
  } else {
    ApplyPanelKeys(false, true);
    if (m_btnCameraTool) m_btnCameraTool->setVisible(upAllowed);
    if (m_btnCameraToolDown) m_btnCameraToolDown->hide();
  }
  // 4. Hot-point mode.
  const std::uint8_t type = app->C_ControlD.GetCurrentType();
  const bool ptzType = type == 11 || type == 18;
  if (IsModelFamilyK41(app->GetProductID()) && CompareVersionString("1035", app->GetFWVersion()) != 2) {
    app->by_HotPointMode = (ptzType && HasCapability(0x2)) ? 2 : 1;
  } else {
    app->by_HotPointMode = ptzType ? 2 : 1;
  }
  // 5. No PTZ-mode key on multichannel recorders.
  if (IsMultiChannel()) {
    if (QWidget* w = GetDlgItem(kPtzModeButton)) w->hide();
  }
  // 6. The area below the picture.
  update(RectLTRB(L[LV_WINDOW_OPEN], L[LV_WINDOW_OPEN + 1] + L[LV_VIDEO + 3], L[LV_WINDOW_OPEN + 2],
                 L[LV_WINDOW_OPEN + 3]));
}

// ---- full screen --------------------------------------------------------------------------------

void CTrelvixDlg::OnFitScreen() {
  if (!m_bFullScreen.load()) {
    m_bFullScreen = 1;
    m_bEnterFullScreen = 1;
    return;
  }
  LeaveFullScreen(false);
}

int CTrelvixDlg::ShowSideButtons(int show) {
  m_sideBar.Show(m_btnSide, show);
  return 1;
}

void CTrelvixDlg::EnterFullScreenNow() {
  if (!m_bFullScreen.load()) return;  // left again before the first picture
  const QRect area(0, 0, m_rcWorkArea.width(), m_rcWorkArea.height());
  SetWindowRegion(QRegion(area));
  setGeometry(m_rcWorkArea);
  raise();
  for (int i = 0; i < 3; ++i) {
    if (m_btnTitleBar[i]) m_btnTitleBar[i]->hide();
  }
  m_channelBar.Show(1);
  m_channelBar.ApplyToButtons(m_btnChannel);
  ShowSideButtons(0);
  for (CVtxButton* b : {m_btnPower, m_btnCameraTool, m_btnCameraToolDown}) {
    if (b) b->hide();
  }
  for (CVtxButton* b : m_btnPanel) {
    if (b) b->hide();
  }
  update();
}

void CTrelvixDlg::LeaveFullScreen(bool byEscape) {
  AppRecord* app = g_lpApp;
  m_bFullScreen = 0;
  m_bEnterFullScreen = 0;
  for (int i = 0; i < 3; ++i) {
    if (m_btnTitleBar[i]) m_btnTitleBar[i]->show();
  }
  if (byEscape) {
    m_channelBar.Show(0);
    m_channelBar.ApplyToButtons(m_btnChannel);
  }
  ShowSideButtons(1);
  const AccessModeEntry& access = AccessRowOf(app ? app->by_AccessMode.load() : 0);
  const bool panelType = (CurrentType().dwKind & DTK_PANEL) != 0;
  const LayoutRow& L = Row();
  if (m_bPanelOpen) {
    for (std::uint32_t i = 0; i < access.nCount && i < kAccessLoopCount; ++i) {
      if (QWidget* w = GetDlgItem(static_cast<int>(access.nCtrlId[i]))) w->setEnabled(access.bEnabled[i] != 0);
    }
    if (panelType) {
      m_bPanelOpen = 0;
      PlaceAndCentre(RowRectLTRB(L, LV_WINDOW));
      if (m_btnCameraToolDown) m_btnCameraToolDown->hide();
      if (m_btnCameraTool) m_btnCameraTool->hide();
    } else {
      PlaceAndCentre(RowRectLTRB(L, LV_WINDOW_OPEN));
      if (m_btnCameraTool) m_btnCameraTool->hide();
      if (m_btnCameraToolDown) m_btnCameraToolDown->setVisible(AccessAllows(access, IDC_CAMERA_TOOL_DOWN));
      ApplyPanelKeys(true, true);
    }
  } else {
    PlaceAndCentre(RowRectLTRB(L, LV_WINDOW));
    if (m_btnCameraTool) m_btnCameraTool->setVisible(AccessAllows(access, IDC_CAMERA_TOOL) && !panelType);
    if (m_btnCameraToolDown) m_btnCameraToolDown->hide();
  }
  update();
}

// ---- input ----------------------------------------------------------------------------------------

void CTrelvixDlg::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    event->accept();  // never activates a button
    return;
  }
  if (key == Qt::Key_Escape) {
    if (m_bFullScreen.load()) LeaveFullScreen(true);
    event->accept();  // never closes the window
    return;
  }
  ui::Window::keyPressEvent(event);
}

void CTrelvixDlg::mousePressEvent(QMouseEvent* event) {
  AppRecord* app = g_lpApp;
  if (app && event->button() == Qt::LeftButton && app->f_AlarmAudioOn.load()) SilenceAlarmSound(*app);
  const QPoint p = event->position().toPoint();
  if (app) {
    app->pt_Mouse.Set(MousePoint{p.x(), p.y()});
    // The press itself places the hot point: no move has to come first.
    if (app->by_HotPointMode.load() != 1) {
      app->w_HotPointX = static_cast<std::uint16_t>(std::max(0, p.x()));
      app->w_HotPointY = static_cast<std::uint16_t>(std::max(0, p.y()));
    }
  }
  if (event->button() == Qt::LeftButton && !m_bFullScreen.load()) {
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

QRect CTrelvixDlg::OnMoving(const QRect& proposed) const {
  const LayoutRow& L = Row();
  if (width() == RowRectLTRB(L, LV_WINDOW).width()) return proposed;
  return RowRectLTRB(L, m_bPanelOpen ? LV_WINDOW_OPEN : LV_WINDOW);
}

void CTrelvixDlg::OnMove() {
  if (!m_pCmosToolBar || !g_lpApp || !IsModelK47R(g_lpApp->GetProductID())) return;
  m_pCmosToolBar->move(x() - m_pCmosToolBar->width() + 2, y());
  m_pCmosToolBar->raise();
}

void CTrelvixDlg::moveEvent(QMoveEvent* event) {
  OnMove();
  ui::Window::moveEvent(event);
}

bool CTrelvixDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && watched != this) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    AppRecord* app = g_lpApp;
    if (app && mouse->button() == Qt::LeftButton && app->f_AlarmAudioOn.load()) SilenceAlarmSound(*app);
  }
  return ui::Window::eventFilter(watched, event);  // the click goes on as usual
}

void CTrelvixDlg::mouseMoveEvent(QMouseEvent* event) {
  if (AppRecord* app = g_lpApp) {
    const QPoint p = event->position().toPoint();
    app->pt_Mouse.Set(MousePoint{p.x(), p.y()});
    if (app->by_HotPointMode.load() != 1) {
      app->w_HotPointX = static_cast<std::uint16_t>(std::max(0, p.x()));
      app->w_HotPointY = static_cast<std::uint16_t>(std::max(0, p.y()));
    }
  }
  if (m_dragging && (event->buttons() & Qt::LeftButton) && !m_bFullScreen.load()) {
    const QRect next = OnMoving(QRect(event->globalPosition().toPoint() - m_dragOffset, size()));
    if (next.size() == size()) {
      move(next.topLeft());
    } else {
      setGeometry(next);
    }
  }
  ui::Window::mouseMoveEvent(event);
}

int CTrelvixDlg::OnCheckStatusHover() {
  AppRecord* app = g_lpApp;
  if (!app || m_bFullScreen.load()) return 1;
  const LayoutRow& L = Row();
  const MousePoint p = app->pt_Mouse.Get();
  const QRect area(L[LV_ADDRESS_X], L[LV_ADDRESS_Y], kAddressTextWidth, kAddressTextHeight);
  const bool inside = p.x >= area.left() && p.x <= area.left() + kAddressTextWidth && p.y >= area.top() &&
                      p.y <= area.top() + kAddressTextHeight;
  app->f_MouseOverStatus = inside ? 0 : 1;
  update(area);
  return 1;
}

// ---- painting ---------------------------------------------------------------------------------------

void CTrelvixDlg::paintEvent(QPaintEvent*) {
  AppRecord* app = g_lpApp;
  QPainter painter(this);
  if (m_bFullScreen.load()) {
    if (!m_liveView.PaintFullScreen(painter)) painter.fillRect(rect(), Qt::black);
    return;
  }
  const unsigned mode = app ? app->w_LayoutMode.load() : 0;
  const int cls = SizeClassOf(mode);
  const LayoutRow& L = LayoutRowOf(mode);
  painter.fillRect(rect(), QColor(0x1B, 0x25, 0x33));
  if (m_bPanelOpen) {
    if (!m_backgroundEx[cls].IsNull()) painter.drawImage(RowRectLTRB(L, LV_WINDOW_OPEN), m_backgroundEx[cls].Image());
  } else if (!m_background[cls].IsNull()) {
    painter.drawImage(RowRectLTRB(L, LV_BACKGROUND), m_background[cls].Image());
  }
  const QRect statusBar = RowRectLTRB(L, LV_STATUS);
  if (!m_statusBar[cls].IsNull()) painter.drawImage(statusBar, m_statusBar[cls].Image());

  // The live picture at its own size at the origin of the video area, cut to that area.
  const QRect video = RowRectLTRB(L, LV_VIDEO);
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
  const QRect icon = RowRectLTRB(L, LV_ONLINE_ICON);
  if (!alarm.empty()) {
    if (!m_alarmIcon.IsNull()) painter.drawImage(icon.translated(-34, 0), m_alarmIcon.Image());
    text(L[LV_ONLINE_ICON_RIGHT] - 30, icon.top() + 2, alarm, QColor(0xFF, 0, 0));
  }
  if (status.rfind("FR", 0) == 0) {
    if (!m_onlineUserIcon.IsNull()) painter.drawImage(icon, m_onlineUserIcon.Image());
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
