// The main window's layout and skin: the background pictures, the skinned buttons (title bar,
// channel bar, panel keys, power, side buttons, camera tool) and where they stand, the four
// layout setters and their switches, the fold-out panel's window size, full screen, and the
// K47R image-sensor toolbar docked to the window's left edge.
//
// Threads: everything runs on the GUI thread, except IsFullScreen and TakeEnterFullScreen,
// which the mailbox worker calls while it shows a picture (both read atomics). The buttons are
// children of the window; the window owns them, this part places them and loads their pictures.
#pragma once
#include <QPoint>
#include <QRect>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "mainwnd/ChannelBar.h"
#include "mainwnd/Layout.h"
#include "mainwnd/SideButtonBar.h"
#include "session/DeviceTypes.h"
#include "ui/Surface.h"

class AppRecord;
class CCmosToolBarDlg;
class CVtxButton;
class QPainter;

namespace ui {
class Window;
}

class MainLayout {
 public:
  // `window` is the main window: the buttons' parent, and what is sized, moved and repainted.
  explicit MainLayout(ui::Window& window);
  MainLayout(const MainLayout&) = delete;
  MainLayout& operator=(const MainLayout&) = delete;

  // The application record (null while none is published).
  AppRecord* Record() const;
  // The row of the record's current layout mode (mode 0 without a record).
  const LayoutRow& Row() const;
  // Rectangles of a layout row: four values from `first` read as left, top, right, bottom,
  // or as left, top, width, height; the power button is placed by its right edge.
  static QRect RowRectLTRB(const LayoutRow& L, int first);
  static QRect RowRectXYWH(const LayoutRow& L, int first);
  static QRect PowerRect(const LayoutRow& L);

  // ---- creation (the steps of the window's initialisation, in its order) ----
  // The work area: one set before (tests), else the primary screen's, else 1024 x 768.
  void InitWorkArea();
  // The closed window's size and rounded shape by layout row `L`; answers its rectangle.
  QRect SizeWindow(const LayoutRow& L);
  int LoadBackgroundBitmaps();
  // The channel bar, the title-bar buttons, the hidden panel keys of device type `type`, the
  // power button and the side buttons of `product`, where layout row `L` places them.
  void CreateButtons(const std::string& product, int type, const LayoutRow& L);
  void CreateCameraToolButtons(const LayoutRow& L);
  // The pictures of the buttons for layout mode `mode`; `flag` loads the title bar's too.
  int InitSkinButtons(int mode, int flag);
  void HidePowerButton();
  // Which camera-tool button shows at first: the down one for panel devices.
  void ShowCameraToolFor(bool panelType);
  // Camera-tool buttons the access mode does not allow are disabled and hidden.
  void RestrictCameraTools(const AccessModeEntry& access);
  // The K47R image-sensor toolbar, left of where the centred `window` stands; shown.
  CCmosToolBarDlg* CreateCmosToolBar(const QRect& window);

  // ---- layouts ----
  int LayoutNtscVga() { return RunLayoutSetter(0); }
  int LayoutNtscQvga() { return RunLayoutSetter(1); }
  int LayoutPalVga() { return RunLayoutSetter(2); }
  int LayoutPalQvga() { return RunLayoutSetter(3); }
  int SwitchLayoutTo(int setter);  // a layout setter under the layout lock, then the relayout
  // The layout of a picture resolution mode (0-3; the small modes keep the layout), after
  // the re-positioning for the current device.
  void SwitchLayout(int resolutionMode);
  // The pictures, tooltips, panel and hot-point mode for the current device and settings.
  void DoChangeItemPosition();
  // Every button to its place, the window to its size, then a repaint.
  void DoRelayout();
  // The hot-point mode of a device of type `type`: 2 (a click steers it) for a pan-tilt-zoom
  // device, on K41R-family firmware 1035 and later only when the recorder has the capability;
  // 1 otherwise.
  static std::uint8_t HotPointModeFor(const AppRecord& app, std::uint8_t type);
  // Repaints the fold-out panel's area below the picture.
  void UpdateBelowPicture();
  // One half of a key's two-part tooltip.
  void SetKeyTooltipHalf(int id, bool second);
  // The turbo pictures of the direction, zoom and focus keys by the record's turbo flag.
  void SetTurboPictures();

  // ---- the fold-out panel ----
  void OpenPanel();   // the camera-tool key
  void ClosePanel();  // the camera-tool down key
  void SetPanelWindowSize(bool open);
  bool IsPanelOpen() const { return m_bPanelOpen != 0; }

  // ---- full screen ----
  bool IsFullScreen() const { return m_bFullScreen.load() != 0; }
  // Whether an entry into full screen waits for the next picture; clears it.
  bool TakeEnterFullScreen() { return m_bEnterFullScreen.exchange(0) != 0; }
  void SetFullScreenOff() { m_bFullScreen = 0; }
  void CancelEnterFullScreen() { m_bEnterFullScreen = 0; }
  // Full screen on (carried out with the next picture) or off.
  void OnFitScreen();
  void EnterFullScreenNow();
  void LeaveFullScreen(bool byEscape);
  int ShowSideButtons(int show);

  // ---- moving, hover ----
  // A drag proposes the window's next screen rectangle; answers the rectangle to take.
  QRect OnMoving(const QRect& proposed) const;
  // The window moved: a K47R's image-sensor toolbar stays docked to its left edge.
  void OnMove();
  // Whether the mouse is over the address text; repaints it.
  int OnCheckStatusHover();

  // ---- painting ----
  // The window's colour, its background picture (closed or open panel) and the status bar.
  void PaintBackground(QPainter& painter, unsigned mode) const;
  const ui::Bitmap& OnlineUserIcon() const { return m_onlineUserIcon; }
  const ui::Bitmap& AlarmIcon() const { return m_alarmIcon; }

  // ---- parts ----
  QRect WorkArea() const { return m_rcWorkArea; }
  void SetWorkArea(const QRect& r) { m_rcWorkArea = r; }
  CChannelBar& Channels() { return m_channelBar; }
  CSideButtonBar& Sides() { return m_sideBar; }
  // The channel bar's pictures onto its buttons; the side bar's stored states onto its own.
  void ApplyChannelBar() { m_channelBar.ApplyToButtons(m_btnChannel); }
  void ApplySideStates() { m_sideBar.ApplyStates(m_btnSide); }
  CVtxButton* PanelKey(int k) const {
    return (k >= 0 && k < kPanelKeyCount) ? m_btnPanel[k] : nullptr;
  }
  CCmosToolBarDlg* CmosToolBar() const { return m_pCmosToolBar; }

 private:
  int RunLayoutSetter(int group);
  void LoadCameraToolBitmaps(const std::string& family);
  void PlaceAndCentre(const QRect& r);
  void ApplyPanelKeys(bool panelOpen, bool adminRule);
  void CreateButton(CVtxButton*& slot, int id, const QRect& rect, const QString& tip);

  ui::Window& m_wnd;
  // Read by the mailbox worker.
  std::atomic<int> m_bFullScreen{0};
  std::atomic<int> m_bEnterFullScreen{0};
  std::mutex m_layoutMutex;  // m_csLayout: the setters run through the switches

  QRect m_rcWorkArea;
  int m_bPanelOpen = 0;
  ui::Bitmap m_background[6], m_backgroundEx[6], m_statusBar[6];
  ui::Bitmap m_onlineUserIcon, m_alarmIcon;
  CVtxButton* m_btnTitleBar[4] = {};
  CVtxButton* m_btnChannel[kChannelButtonMax] = {};
  CVtxButton* m_btnPanel[kPanelKeyCount] = {};
  CVtxButton* m_btnSide[kSideButtonMax] = {};
  CVtxButton* m_btnCameraTool = nullptr;
  CVtxButton* m_btnCameraToolDown = nullptr;
  CVtxButton* m_btnPower = nullptr;
  CChannelBar m_channelBar;
  CSideButtonBar m_sideBar;
  CCmosToolBarDlg* m_pCmosToolBar = nullptr;  // K47R only; a child window of the main window
};
