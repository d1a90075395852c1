// The main window's layouts and skins: skin pictures, the buttons and their places, the layout
// setters, relayout, the re-positioning after a device or picture change, the fold-out panel
// and full screen.
#include "mainwnd/MainLayout.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "core/Model.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
#include "mainwnd/CmosToolBarDlg.h"
#include "mainwnd/DisplayPath.h"
#include "mainwnd/MainControls.h"
#include "session/Command.h"
#include "ui/VtxButton.h"
#include "ui/Window.h"

namespace {

// The address, device-name or clock text that reacts to the mouse.
constexpr int kAddressTextWidth = 120;
constexpr int kAddressTextHeight = 14;

int DeviceTypeIndexOf(const AppRecord* app) {
  return app ? app->C_ControlD.GetCurrentType() % kDeviceTypeCount : 0;
}

bool IsDirectionKey(int k) { return k == 54 || k == 55 || k == 57 || k == 58; }
bool IsZoomFocusKey(int k) { return k >= 30 && k <= 33; }

std::string DirectionName(int k) {
  switch (k) {
    case 54:
      return "LEFT";
    case 55:
      return "UP";
    case 57:
      return "DOWN";
    default:
      return "RIGHT";
  }
}

std::string ZoomFocusName(int k) {
  static const char* const names[4] = {"2Col_zoom_turbo_in", "2Col_zoom_turbo_out",
                                       "2Col_focus_turbo_in", "2Col_focus_turbo_out"};
  return names[k - 30];
}

const char* TurboFamily(int group) {
  static const char* const names[4] = {"N_VGA", "N_QVGA", "P_VGA",
                                       "N_QVGA"};  // PAL QVGA shares NTSC QVGA
  return names[group & 3];
}

std::string PictureName(const char* s) { return s ? std::string(s) : std::string(); }

// Two image pairs of a two-state key for a picture group.
std::vector<std::string> KeyPairs(const SkinButtonRow& row, int group) {
  const int base = (group >= 2 && row.pszBitmap[6] != nullptr) ? 6 : 0;
  std::vector<std::string> files;
  for (int i = 0; i < 4; ++i) files.push_back(PictureName(row.pszBitmap[base + i]));
  return files;
}

}  // namespace

MainLayout::MainLayout(ui::Window& window) : m_wnd(window) {}

AppRecord* MainLayout::Record() const { return g_lpApp; }

const LayoutRow& MainLayout::Row() const {
  const AppRecord* app = Record();
  return LayoutRowOf(app ? app->w_LayoutMode.load() : 0);
}

QRect MainLayout::RowRectLTRB(const LayoutRow& L, int first) {
  return RectLTRB(L[first], L[first + 1], L[first + 2], L[first + 3]);
}
QRect MainLayout::RowRectXYWH(const LayoutRow& L, int first) {
  return QRect(L[first], L[first + 1], L[first + 2], L[first + 3]);
}
QRect MainLayout::PowerRect(const LayoutRow& L) {
  // Placed by its right edge.
  return QRect(L[LV_POWER_RIGHT] - L[LV_POWER_WIDTH], L[LV_POWER_TOP], L[LV_POWER_WIDTH],
               L[LV_POWER_HEIGHT]);
}

void MainLayout::CreateButton(CVtxButton*& slot, int id, const QRect& rect, const QString& tip) {
  auto* b = new CVtxButton(&m_wnd);
  b->Create(rect, &m_wnd, id);
  b->installEventFilter(&m_wnd);
  if (!tip.isEmpty()) b->setToolTip(tip);
  m_wnd.AddControl(id, b);
  slot = b;
}

// ---- creation -----------------------------------------------------------------------------------

void MainLayout::InitWorkArea() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    if (m_rcWorkArea.isNull()) m_rcWorkArea = screen->availableGeometry();
  }
  if (m_rcWorkArea.isNull()) m_rcWorkArea = QRect(0, 0, 1024, 768);
}

QRect MainLayout::SizeWindow(const LayoutRow& L) {
  const QRect window = RowRectLTRB(L, LV_WINDOW);
  m_wnd.resize(window.size());
  m_wnd.SetWindowRegion(ui::RoundRectRegion(L[LV_WINDOW], L[LV_WINDOW + 1], L[LV_WINDOW + 2],
                                            L[LV_WINDOW + 3], 20, 20));
  return window;
}

int MainLayout::LoadBackgroundBitmaps() {
  for (int cls : {4, 1, 0, 3, 5, 2}) {
    if (!m_background[cls].Load(BackgroundPicture(cls))) return 0;
    if (!m_backgroundEx[cls].Load(BackgroundOpenPicture(cls))) return 0;
    if (!m_statusBar[cls].Load(StatusBarPicture(cls))) return 0;
  }
  if (!m_onlineUserIcon.Load(kOnlineUserIcon)) return 0;
  if (!m_alarmIcon.Load(kAlarmIcon)) return 0;
  return 1;
}

void MainLayout::CreateButtons(const std::string& product, int type, const LayoutRow& L) {
  AppRecord* app = Record();
  // The channel bar.
  m_channelBar.Create(&m_wnd, m_btnChannel);
  for (CVtxButton* b : m_btnChannel) {
    if (!b) continue;
    m_wnd.AddControl(b->CommandId(), b);
    b->installEventFilter(&m_wnd);
  }
  // Title-bar buttons.
  for (int i = 0; i < 3; ++i) {
    const int left = L[LV_TITLE_LEFT] + i * (L[LV_TITLE_WIDTH] + L[LV_TITLE_GAP]);
    CreateButton(m_btnTitleBar[i], IDC_MINIMIZE + i,
                 QRect(left, L[LV_TITLE_TOP], L[LV_TITLE_WIDTH], L[LV_TITLE_HEIGHT]),
                 QString::fromStdString(LoadStr(IDC_MINIMIZE + i)));
  }
  // The panel keys of the device type, hidden.
  const DeviceTypeEntry& dt = DeviceTypeTable[type];
  for (int k = 0; k < kPanelKeyCount; ++k) {
    const SkinButtonRow& row = dt.Rows[k];
    const DeviceRect r = KeyRect(type, k, app->w_LayoutMode.load());
    auto* b = new CVtxButton(&m_wnd);
    b->Create(QRect(r.left, r.top, r.Width(), r.Height()), &m_wnd, row.wCtrlId);
    b->setToolTip(QString::fromStdString(KeyTooltip(row, LoadStr(row.wTipId))));
    if (row.wCtrlId != 0 && !m_wnd.GetDlgItem(row.wCtrlId)) m_wnd.AddControl(row.wCtrlId, b);
    b->installEventFilter(&m_wnd);
    b->hide();
    m_btnPanel[k] = b;
  }
  // Power.
  CreateButton(m_btnPower, IDC_POWER, PowerRect(L), QString::fromStdString(LoadStr(IDC_POWER)));
  // Side buttons.
  m_sideBar.Create(product, &m_wnd, m_btnSide);
  for (int i = 0; i < m_sideBar.Count(); ++i) {
    if (!m_btnSide[i]) continue;
    m_wnd.AddControl(m_btnSide[i]->CommandId(), m_btnSide[i]);
    m_btnSide[i]->installEventFilter(&m_wnd);
  }
}

void MainLayout::CreateCameraToolButtons(const LayoutRow& L) {
  CreateButton(m_btnCameraTool, IDC_CAMERA_TOOL, RowRectXYWH(L, LV_CAMERA_UP), QString());
  CreateButton(m_btnCameraToolDown, IDC_CAMERA_TOOL_DOWN, RowRectXYWH(L, LV_CAMERA_DOWN),
               QString());
}

void MainLayout::HidePowerButton() { m_btnPower->hide(); }

void MainLayout::ShowCameraToolFor(bool panelType) {
  m_btnCameraToolDown->setVisible(panelType);
  m_btnCameraTool->setVisible(!panelType);
}

void MainLayout::RestrictCameraTools(const AccessModeEntry& access) {
  for (CVtxButton* b : {m_btnCameraTool, m_btnCameraToolDown}) {
    const bool allowed = AccessAllows(access, static_cast<std::uint32_t>(b->CommandId()));
    b->setEnabled(allowed);
    if (!allowed) b->hide();
  }
}

CCmosToolBarDlg* MainLayout::CreateCmosToolBar(const QRect& window) {
  m_pCmosToolBar = new CCmosToolBarDlg(&m_wnd);
  m_pCmosToolBar->Create(&m_wnd);
  m_pCmosToolBar->setGeometry(
      m_rcWorkArea.left() + ((m_rcWorkArea.width() - window.width()) >> 1) - 43,
      m_rcWorkArea.top() + ((m_rcWorkArea.height() - window.height()) >> 1),
      CCmosToolBarDlg::kWidth, CCmosToolBarDlg::kHeight);
  m_pCmosToolBar->show();
  m_pCmosToolBar->raise();
  return m_pCmosToolBar;
}

// The panel's up and down keys in the pictures of a layout family ("BMP\\N_VGA", ...).
void MainLayout::LoadCameraToolBitmaps(const std::string& family) {
  if (m_btnCameraTool)
    m_btnCameraTool->LoadButtonBitmap(family + "_PANELUP.bmp", family + "_PANELUP_OVER.bmp",
                                      family + "_PANELUP.bmp", VBS_HOVER);
  if (m_btnCameraToolDown)
    m_btnCameraToolDown->LoadButtonBitmap(family + "_PANELDOWN.bmp", family + "_PANELDOWN_OVER.bmp",
                                          family + "_PANELDOWN.bmp", VBS_HOVER);
}


// ---- skin pictures ------------------------------------------------------------------------------

int MainLayout::InitSkinButtons(int mode, int flag) {
  AppRecord* app = Record();
  if (flag) {
    static const char* const names[3] = {"Hide", "Fullscreen", "Close"};
    for (int i = 0; i < 3; ++i) {
      if (!m_btnTitleBar[i]) continue;
      const std::string base = std::string("BMP\\Title_Bar_") + names[i];
      m_btnTitleBar[i]->LoadButtonBitmap(base + ".bmp", base + "_a.bmp", base + ".bmp", VBS_HOVER);
    }
  }
  const int type = DeviceTypeIndexOf(app);
  const DeviceTypeEntry& dt = DeviceTypeTable[type];
  const int resolution = app ? app->CSettingINI.m_nImageResolution.load() : 0;
  for (int k = 0; k < kPanelKeyCount; ++k) {
    CVtxButton* b = m_btnPanel[k];
    const SkinButtonRow& row = dt.Rows[k];
    if (!b || !(row.wFlags & SBF_ENABLED) || b->m_fPicturesLoaded) continue;
    if (row.byStyle & 0x02) {
      const int g = resolution == 0 ? 0 : 1;
      b->LoadButtonBitmap(PictureName(KeyPicture(type, k, g, 0)),
                          PictureName(KeyPicture(type, k, g, 1)),
                          PictureName(KeyPicture(type, k, g, 1)), VBS_PUSH);
    } else if (row.byStyle & 0x10) {
      b->LoadButtonBitmap(2, KeyPairs(row, 0), VBS_MULTI);
    } else if (row.byStyle & 0x40) {
      b->LoadButtonBitmap(2, KeyPairs(row, 0), VBS_MULTIFIXED);
    }
  }
  const AccessModeEntry& access = AccessRowOf(app ? app->by_AccessMode.load() : 0);
  if (m_btnPower && AccessAllows(access, IDC_POWER)) {
    m_btnPower->LoadButtonBitmap("BMP\\power.bmp", "BMP\\power_over.bmp", "BMP\\power_down.bmp",
                                 VBS_PUSHHOVER);
  }
  m_sideBar.LoadBitmaps(m_btnSide, app ? app->by_AccessMode.load() : 0);
  const std::string family =
      std::string("BMP\\") + CameraToolFamily(SizeClassOf(static_cast<unsigned>(mode)));
  LoadCameraToolBitmaps(family);
  switch (mode) {
    case 0:
      LayoutNtscVga();
      break;
    case 1:
    case 4:
      LayoutNtscQvga();
      break;
    case 2:
      LayoutPalVga();
      break;
    case 3:
    case 5:
      LayoutPalQvga();
      break;
    default:
      break;  // the repositioning that follows picks the setter
  }
  return 1;
}

int MainLayout::RunLayoutSetter(int group) {
  AppRecord* app = Record();
  const int type = DeviceTypeIndexOf(app);
  const DeviceTypeEntry& dt = DeviceTypeTable[type];
  const bool turbo = app && app->f_TurboOn.load() != 0;
  for (int k = 0; k < kPanelKeyCount; ++k) {
    CVtxButton* b = m_btnPanel[k];
    if (!b) continue;
    const SkinButtonRow& row = dt.Rows[k];
    if (turbo && IsDirectionKey(k)) {
      const std::string base = std::string("BMP\\") + TurboFamily(group) + "_" + DirectionName(k);
      b->LoadButtonBitmap(base + "_TURBO.bmp", base + "_TURBO_OVER.bmp", base + "_TURBO.bmp",
                          VBS_PUSH);
      continue;
    }
    if (turbo && IsZoomFocusKey(k)) {
      const std::string base = "BMP\\" + ZoomFocusName(k);
      b->LoadButtonBitmap(base + ".bmp", base + "_a.bmp", base + "_a.bmp", VBS_PUSH);
      continue;
    }
    const bool reload =
        (row.wFlags & SBF_LAYOUTPICTURES) || ((row.wFlags & SBF_ENABLED) && !b->m_fPicturesLoaded);
    if (!reload) continue;
    if (row.byStyle & 0x02) {
      if (row.wFlags & SBF_UNAVAILABLE) {
        const std::string na = PictureName(KeyPicture(type, k, group, 2));
        b->LoadButtonBitmap(na, na, na, VBS_PUSH);
      } else {
        b->LoadButtonBitmap(PictureName(KeyPicture(type, k, group, 0)),
                            PictureName(KeyPicture(type, k, group, 1)),
                            PictureName(KeyPicture(type, k, group, 1)), VBS_PUSH);
      }
    } else if (row.byStyle & 0x10) {
      b->LoadButtonBitmap(2, KeyPairs(row, group), VBS_MULTI);
    } else if (row.byStyle & 0x40) {
      b->LoadButtonBitmap(2, KeyPairs(row, group), VBS_MULTIFIXED);
    }
  }
  static const char* const families[4] = {"N_VGA", "N_QVGA", "P_VGA", "P_QVGA"};
  const std::string family = std::string("BMP\\") + families[group & 3];
  LoadCameraToolBitmaps(family);
  return 1;
}

void MainLayout::SetTurboPictures() {
  AppRecord* app = Record();
  const bool on = app && app->f_TurboOn.load() != 0;
  static const char* const families[6] = {"N_VGA", "N_QVGA", "P_VGA", "P_QVGA", "N_QVGA", "P_QVGA"};
  const unsigned cls = (app ? app->w_LayoutMode.load() : 0) % 6;
  static const struct {
    int key;
    const char* direction;
  } directions[4] = {{54, "LEFT"}, {55, "UP"}, {57, "DOWN"}, {58, "RIGHT"}};
  for (const auto& d : directions) {
    CVtxButton* b = m_btnPanel[d.key];
    if (!b) continue;
    const std::string base =
        std::string("BMP\\") + families[cls] + "_" + d.direction + (on ? "_TURBO" : "");
    b->LoadButtonBitmap(base + ".bmp", base + "_OVER.bmp", base + "_OVER.bmp", VBS_PUSH);
  }
  static const char* const zoomFocus[4][2] = {{"2Col_zoom_in", "2Col_zoom_turbo_in"},
                                              {"2Col_zoom_out", "2Col_zoom_turbo_out"},
                                              {"2Col_focus_in", "2Col_focus_turbo_in"},
                                              {"2Col_focus_out", "2Col_focus_turbo_out"}};
  for (int k = 30; k <= 33; ++k) {
    CVtxButton* b = m_btnPanel[k];
    if (!b) continue;
    const std::string base = std::string("BMP\\") + zoomFocus[k - 30][on ? 1 : 0];
    b->LoadButtonBitmap(base + ".bmp", base + "_a.bmp", base + "_a.bmp", VBS_PUSH);
  }
}

std::uint8_t MainLayout::HotPointModeFor(const AppRecord& app, std::uint8_t type) {
  const bool ptzType = type == DT_PTZ_SLAVE || type == DT_PTZ_PELCO;
  if (IsModelFamilyK41(app.GetProductID()) && CompareVersionString("1035", app.GetFWVersion()) != 2)
    return (ptzType && HasCapability(0x2)) ? 2 : 1;
  return ptzType ? 2 : 1;
}

void MainLayout::SetKeyTooltipHalf(int id, bool second) {
  std::string first, rest;
  SplitResourceString(static_cast<unsigned>(id), first, rest);
  if (QWidget* w = m_wnd.GetDlgItem(id))
    w->setToolTip(QString::fromStdString(second ? rest : first));
}

// ---- layout switches ----------------------------------------------------------------------------

int MainLayout::SwitchLayoutTo(int setter) {
  {
    std::lock_guard<std::mutex> lock(m_layoutMutex);
    RunLayoutSetter(setter);
  }
  DoRelayout();
  return 1;
}

void MainLayout::SwitchLayout(int resolutionMode) {
  DoChangeItemPosition();
  switch (resolutionMode) {
    case 0:
    case 1:
    case 2:
    case 3:
      SwitchLayoutTo(resolutionMode);
      break;
    default:
      break;  // the small modes keep the layout
  }
}

// ---- relayout -----------------------------------------------------------------------------------

void MainLayout::ApplyPanelKeys(bool panelOpen, bool adminRule) {
  AppRecord* app = Record();
  const int type = DeviceTypeIndexOf(app);
  const DeviceTypeEntry& dt = DeviceTypeTable[type];
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

void MainLayout::DoRelayout() {
  AppRecord* app = Record();
  const LayoutRow& L = Row();
  for (int i = 0; i < 3; ++i) {
    if (m_btnTitleBar[i])
      m_btnTitleBar[i]->setGeometry(L[LV_TITLE_LEFT] + i * (L[LV_TITLE_WIDTH] + L[LV_TITLE_GAP]),
                                    L[LV_TITLE_TOP], L[LV_TITLE_WIDTH], L[LV_TITLE_HEIGHT]);
  }
  m_sideBar.Place(m_btnSide, app ? app->w_LayoutMode.load() : 0);
  if (m_btnPower) m_btnPower->setGeometry(PowerRect(L));
  if (m_btnCameraTool) m_btnCameraTool->setGeometry(RowRectXYWH(L, LV_CAMERA_UP));
  if (m_btnCameraToolDown) m_btnCameraToolDown->setGeometry(RowRectXYWH(L, LV_CAMERA_DOWN));
  if (!m_bFullScreen.load()) {
    const QRect r = RowRectLTRB(L, m_bPanelOpen ? LV_WINDOW_OPEN : LV_WINDOW);
    m_wnd.resize(r.size());  // the window keeps its place and changes size only
    m_wnd.SetWindowRegion(ui::RoundRectRegion(0, 0, r.width(), r.height(), 15, 15));
  }
  ApplyPanelKeys(m_bPanelOpen != 0, true);
  m_channelBar.ApplyToButtons(m_btnChannel);
  m_wnd.update();
}

void MainLayout::PlaceAndCentre(const QRect& r) {
  m_wnd.resize(r.size());
  m_wnd.SetWindowRegion(ui::RoundRectRegion(0, 0, r.width(), r.height(), 15, 15));
  m_wnd.move(m_rcWorkArea.left() + ((m_rcWorkArea.width() - r.width()) >> 1),
             m_rcWorkArea.top() + ((m_rcWorkArea.height() - r.height()) >> 1));
  m_wnd.raise();
}

void MainLayout::DoChangeItemPosition() {
  AppRecord* app = Record();
  if (!app) return;
  // 1. Pictures for the standard and the Image Resolution setting.
  const bool pal = app->by_VideoMode.load() != 0;
  switch (app->CSettingINI.m_nImageResolution.load()) {
    case 0:
      pal ? LayoutPalVga() : LayoutNtscVga();
      break;
    case 1:
    case 2:
      pal ? LayoutPalQvga() : LayoutNtscQvga();
      break;
    default:
      break;
  }
  // 2. Tooltips.
  const DeviceTypeEntry& dt = DeviceTypeTable[DeviceTypeIndexOf(app)];
  if (app->lp_MainDialog.load() != nullptr) {
    for (int k = 0; k < kPanelKeyCount; ++k) {
      if (m_btnPanel[k]) m_btnPanel[k]->setToolTip(QString::fromLatin1(LoadStr(dt.Rows[k].wTipId)));
    }
    SetKeyTooltipHalf(IDC_PTZ_MODE, app->C_ControlD.IsCurrentVideo() != 0);
    SetKeyTooltipHalf(IDC_TURBO, app->f_TurboOn.load() == 0);
    SetKeyTooltipHalf(IDC_RETR, true);
    SetKeyTooltipHalf(IDC_ACTION_PRESET, app->f_PresetMode.load() != 0);
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
  app->by_HotPointMode = HotPointModeFor(*app, app->C_ControlD.GetCurrentType());
  // 5. No PTZ-mode key on multichannel recorders.
  if (IsMultiChannel()) {
    if (QWidget* w = m_wnd.GetDlgItem(IDC_PTZ_MODE)) w->hide();
  }
  // 6. The area below the picture.
  UpdateBelowPicture();
}

void MainLayout::UpdateBelowPicture() {
  const LayoutRow& L = Row();
  m_wnd.update(RectLTRB(L[LV_WINDOW_OPEN], L[LV_WINDOW_OPEN + 1] + L[LV_VIDEO + 3],
                        L[LV_WINDOW_OPEN + 2], L[LV_WINDOW_OPEN + 3]));
}

// ---- the fold-out panel -------------------------------------------------------------------------

void MainLayout::SetPanelWindowSize(bool open) {
  const LayoutRow& L = Row();
  const QRect r = RowRectLTRB(L, open ? LV_WINDOW_OPEN : LV_WINDOW);
  if (!m_bFullScreen.load()) {
    m_wnd.resize(r.size());  // the window keeps its top-left corner
    m_wnd.SetWindowRegion(ui::RoundRectRegion(0, 0, r.width(), r.height(), 20, 20));
  }
}

void MainLayout::OpenPanel() {
  AppRecord* app = Record();
  m_bPanelOpen = !m_bPanelOpen;
  SetPanelWindowSize(true);
  if (m_btnCameraToolDown && app &&
      AccessAllows(AccessRowOf(app->by_AccessMode.load()), IDC_CAMERA_TOOL_DOWN))
    m_btnCameraToolDown->show();
  if (m_btnCameraTool) m_btnCameraTool->hide();
  ApplyPanelKeys(true, true);
  if (IsMultiChannel()) {
    if (QWidget* w = m_wnd.GetDlgItem(IDC_PTZ_MODE)) w->hide();
  }
  m_wnd.update();
}

void MainLayout::ClosePanel() {
  AppRecord* app = Record();
  m_bPanelOpen = !m_bPanelOpen;
  SetPanelWindowSize(false);
  if (m_btnCameraToolDown) m_btnCameraToolDown->hide();
  if (m_btnCameraTool && app &&
      AccessAllows(AccessRowOf(app->by_AccessMode.load()), IDC_CAMERA_TOOL))
    m_btnCameraTool->show();
  for (CVtxButton* b : m_btnPanel) {
    if (b) b->hide();
  }
  m_wnd.update();
}

// ---- full screen --------------------------------------------------------------------------------

void MainLayout::OnFitScreen() {
  if (!m_bFullScreen.load()) {
    m_bFullScreen = 1;
    m_bEnterFullScreen = 1;
    return;
  }
  LeaveFullScreen(false);
}

int MainLayout::ShowSideButtons(int show) {
  m_sideBar.Show(m_btnSide, show);
  return 1;
}

void MainLayout::EnterFullScreenNow() {
  if (!m_bFullScreen.load()) return;  // left again before the first picture
  const QRect area(0, 0, m_rcWorkArea.width(), m_rcWorkArea.height());
  m_wnd.SetWindowRegion(QRegion(area));
  m_wnd.setGeometry(m_rcWorkArea);
  m_wnd.raise();
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
  m_wnd.update();
}

void MainLayout::LeaveFullScreen(bool byEscape) {
  AppRecord* app = Record();
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
  const bool panelType = (DeviceTypeTable[DeviceTypeIndexOf(app)].dwKind & DTK_PANEL) != 0;
  const LayoutRow& L = Row();
  if (m_bPanelOpen) {
    for (std::uint32_t i = 0; i < access.nCount && i < kAccessLoopCount; ++i) {
      if (QWidget* w = m_wnd.GetDlgItem(static_cast<int>(access.nCtrlId[i])))
        w->setEnabled(access.bEnabled[i] != 0);
    }
    if (panelType) {
      m_bPanelOpen = 0;
      PlaceAndCentre(RowRectLTRB(L, LV_WINDOW));
      if (m_btnCameraToolDown) m_btnCameraToolDown->hide();
      if (m_btnCameraTool) m_btnCameraTool->hide();
    } else {
      PlaceAndCentre(RowRectLTRB(L, LV_WINDOW_OPEN));
      if (m_btnCameraTool) m_btnCameraTool->hide();
      if (m_btnCameraToolDown)
        m_btnCameraToolDown->setVisible(AccessAllows(access, IDC_CAMERA_TOOL_DOWN));
      ApplyPanelKeys(true, true);
    }
  } else {
    PlaceAndCentre(RowRectLTRB(L, LV_WINDOW));
    if (m_btnCameraTool)
      m_btnCameraTool->setVisible(AccessAllows(access, IDC_CAMERA_TOOL) && !panelType);
    if (m_btnCameraToolDown) m_btnCameraToolDown->hide();
  }
  m_wnd.update();
}

// ---- moving, hover ------------------------------------------------------------------------------

QRect MainLayout::OnMoving(const QRect& proposed) const {
  const LayoutRow& L = Row();
  if (m_wnd.width() == RowRectLTRB(L, LV_WINDOW).width()) return proposed;
  return RowRectLTRB(L, m_bPanelOpen ? LV_WINDOW_OPEN : LV_WINDOW);
}

void MainLayout::OnMove() {
  const AppRecord* app = Record();
  if (!m_pCmosToolBar || !app || !IsModelK47R(app->GetProductID())) return;
  m_pCmosToolBar->move(m_wnd.x() - m_pCmosToolBar->width() + 2, m_wnd.y());
  m_pCmosToolBar->raise();
}

int MainLayout::OnCheckStatusHover() {
  AppRecord* app = Record();
  if (!app || m_bFullScreen.load()) return 1;
  const LayoutRow& L = Row();
  const MousePoint p = app->pt_Mouse.Get();
  const QRect area(L[LV_ADDRESS_X], L[LV_ADDRESS_Y], kAddressTextWidth, kAddressTextHeight);
  const bool inside = p.x >= area.left() && p.x <= area.left() + kAddressTextWidth &&
                      p.y >= area.top() && p.y <= area.top() + kAddressTextHeight;
  app->f_MouseOverStatus = inside ? 0 : 1;
  m_wnd.update(area);
  return 1;
}

// ---- painting -----------------------------------------------------------------------------------

void MainLayout::PaintBackground(QPainter& painter, unsigned mode) const {
  const int cls = SizeClassOf(mode);
  const LayoutRow& L = LayoutRowOf(mode);
  painter.fillRect(m_wnd.rect(), QColor(0x1B, 0x25, 0x33));
  if (m_bPanelOpen) {
    if (!m_backgroundEx[cls].IsNull())
      painter.drawImage(RowRectLTRB(L, LV_WINDOW_OPEN), m_backgroundEx[cls].Image());
  } else if (!m_background[cls].IsNull()) {
    painter.drawImage(RowRectLTRB(L, LV_BACKGROUND), m_background[cls].Image());
  }
  if (!m_statusBar[cls].IsNull())
    painter.drawImage(RowRectLTRB(L, LV_STATUS), m_statusBar[cls].Image());
}
