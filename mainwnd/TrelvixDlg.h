// The main window: a frameless, skinned window that shows the live picture of the connected
// recorder, its status line and the buttons that drive it.
//
// Threads: OnInitDialog, painting and every handler run on the GUI thread. ShowImage runs on
// the mailbox worker: the live view (LiveView) draws the picture into a slot of its own and
// the window queues a repaint; it never waits for the GUI thread. Status texts, relayouts and
// channel changes from worker threads are stored under a lock and carried out by queued GUI
// work.
#pragma once
#include <QImage>
#include <QRect>
#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/UiInterfaces.h"
#include "mainwnd/ChannelBar.h"
#include "mainwnd/Layout.h"
#include "mainwnd/LiveView.h"
#include "mainwnd/MainCommands.h"
#include "mainwnd/MainControls.h"
#include "mainwnd/MainLayout.h"
#include "mainwnd/SideButtonBar.h"
#include "session/DeviceTypes.h"
#include "ui/Surface.h"
#include "ui/Window.h"

class AppRecord;
class CVtxButton;
class CCmosToolBarDlg;
class CColorSettingDlg;

class CTrelvixDlg : public ui::Window, public IMainWindow {
  Q_OBJECT

 public:
  explicit CTrelvixDlg(QWidget* parent = nullptr);
  ~CTrelvixDlg() override;

  // ---- life cycle ----
  bool OnInitDialog() override;
  // Enter and Esc never close the window.
  void OnOK() override {}
  void OnCancel() override {}
  // The shut-down: recorders closed, session and process objects released, settings saved.
  // False (the window stays) when a release failed.
  bool DestroyWindow();

  // ---- IMainWindow ----
  plat::HWND GetHwnd() const override { return Hwnd(); }
  void ShowImage() override;
  int SetStatusText(const std::string& text) override;
  void ChangeItemPositionForDeviceModified() override;
  void RelayoutControls() override;
  void ClearOnlineUserText() override;
  void ClearAlarmInputText() override;
  void DeleteDisplayContext() override;
  void SwitchLayout(int resolutionMode) override;
  void SetRetrButtonState(bool enabled) override;
  void ResetPtzModeButton() override;
  void UserRecordingEnded(const std::string& text) override;

  // ---- layouts and skins (GUI thread; MainLayout does the work) ----
  void OnFitScreen() { m_layout.OnFitScreen(); }
  // A drag proposes the window's next screen rectangle; answers the rectangle to take.
  QRect OnMoving(const QRect& proposed) const { return m_layout.OnMoving(proposed); }
  int LoadBackgroundBitmaps() { return m_layout.LoadBackgroundBitmaps(); }
  int InitSkinButtons(int mode, int flag) { return m_layout.InitSkinButtons(mode, flag); }
  int LayoutNtscVga() { return m_layout.LayoutNtscVga(); }
  int LayoutNtscQvga() { return m_layout.LayoutNtscQvga(); }
  int LayoutPalVga() { return m_layout.LayoutPalVga(); }
  int LayoutPalQvga() { return m_layout.LayoutPalQvga(); }
  int SwitchLayoutNtscVga() { return m_layout.SwitchLayoutTo(0); }
  int SwitchLayoutNtscQvga() { return m_layout.SwitchLayoutTo(1); }
  int SwitchLayoutPalVga() { return m_layout.SwitchLayoutTo(2); }
  int SwitchLayoutPalQvga() { return m_layout.SwitchLayoutTo(3); }
  int ShowSideButtons(int show) { return m_layout.ShowSideButtons(show); }
  int OnCheckStatusHover() { return m_layout.OnCheckStatusHover(); }
  // The fold-out panel.
  void OnCameraToolButton() { m_layout.OpenPanel(); }
  void OnCameraToolButtonDown() { m_layout.ClosePanel(); }
  // The window moved: a K47R's image-sensor toolbar stays docked to its left edge.
  void OnMove() { m_layout.OnMove(); }
  MainLayout& Layout() { return m_layout; }

  // ---- operator commands (GUI thread; MainCommands does the work) ----
  void OnRecordButton() { m_commands.OnRecordButton(); }
  void OnSnapshoot() { m_commands.OnSnapshoot(); }
  void OnResol() { m_commands.OnResol(); }
  void OnQuility() { m_commands.OnQuility(); }
  void OnColorSetting() { m_commands.OnColorSetting(); }
  void OnPtzMode() { m_commands.OnPtzMode(); }
  void OnDeviceKey(int key, bool turboKey) { m_commands.OnDeviceKey(key, turboKey); }
  void OnActionPresetKey() { m_commands.OnActionPresetKey(); }
  void OnLogin() { m_commands.OnLogin(); }
  plat::LPARAM OnReconnect() { return m_commands.OnReconnect(); }
  plat::LPARAM OnHotPointClick() { return m_commands.OnHotPointClick(); }
  plat::LPARAM OnLeavePtzMode() { return m_commands.OnLeavePtzMode(); }
  plat::LPARAM OnUnused409() { return m_commands.OnUnused409(); }
  plat::LPARAM OnPostAlarmAudio(plat::LPARAM action) { return m_commands.OnPostAlarmAudio(action); }
  int QueryPtzSlaves() { return m_commands.QueryPtzSlaves(); }
  void OnHotPointKey() { m_commands.OnHotPointKey(); }
  void OnTurboKey() { m_commands.OnTurboKey(); }
  void OnModalTool() { m_commands.OnModalTool(); }
  void OnRetr() { m_commands.OnRetr(); }
  void OnPowerKey() { m_commands.OnPowerKey(); }
  // The RS-485 bytes of the unused 0x409 handler (composed, never sent).
  const std::vector<std::uint8_t>& Unused409Bytes() const { return m_commands.Unused409Bytes(); }
  MainCommands& Commands() { return m_commands; }
  // The PTZ selection dialog: tests replace it (answers the end code and the number).
  std::function<int(int& number)> runSelectPtz;
  // The colour popup's modal run: tests replace it (the popup has its device values set).
  std::function<void(CColorSettingDlg& popup)> runColorPopup;

  // ---- inspection (tests, screenshots) ----
  std::string StatusText() const;
  std::string OnlineUserText() const;
  std::string AlarmChannelText() const;
  bool IsFullScreen() const { return m_layout.IsFullScreen(); }
  bool IsPanelOpen() const { return m_layout.IsPanelOpen(); }
  // A copy of the windowed picture surface (720 x 576) and the part last drawn.
  QImage DisplaySurface() const { return m_liveView.Surface(); }
  QRect DisplayedRect() const { return m_liveView.Displayed(); }
  QImage FullScreenSurface() const { return m_liveView.FullScreenSurface(); }
  QRect WorkArea() const { return m_layout.WorkArea(); }
  CVtxButton* Button(int id) const;
  CVtxButton* PanelKeyButton(int k) const { return m_layout.PanelKey(k); }
  CChannelBar& ChannelBar() { return m_layout.Channels(); }
  CCmosToolBarDlg* CmosToolBar() const { return m_layout.CmosToolBar(); }
  CSideButtonBar& SideButtons() { return m_layout.Sides(); }
  // The whole window as painted now (the picture included).
  QImage Grab();
  // Tests may pretend a work area (the offscreen screen is small).
  void SetWorkAreaForTest(const QRect& r) { m_layout.SetWorkArea(r); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  // A click anywhere in the window, on a button too, silences the alarm sound.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Queued GUI work of the window itself (ids outside the shared message range; MainCommands
  // has 0x7F05, 0x7F06 and the timer 0x7F10).
  static constexpr unsigned kMsgRepaint = 0x7F00;  // wParam: kRepaint* bits
  static constexpr unsigned kMsgLayout = 0x7F01;   // wParam: kLayout* bits, lParam: resolution mode
  static constexpr unsigned kMsgEnterFullScreen = 0x7F02;
  static constexpr unsigned kMsgChannelBar = 0x7F03;
  static constexpr unsigned kMsgSideButtons = 0x7F04;
  static constexpr unsigned kMsgUserRecordingEnded = 0x7F07;
  static constexpr int kRepaintVideo = 1;
  static constexpr int kRepaintStatus = 2;
  static constexpr int kRepaintAll = 4;
  static constexpr int kLayoutChangeItems = 1;
  static constexpr int kLayoutRelayout = 2;
  static constexpr int kLayoutSwitch = 4;

  // The application record (null while none is published).
  AppRecord* Record() const;
  bool InitDialogSteps();
  void OnTimer(int id) override;
  void QueueRepaint(int what);

  // State shared with the worker threads.
  mutable std::mutex m_stateMutex;  // the texts below
  std::string m_strStatusText;
  std::string m_strOnlineUsers;
  std::string m_strAlarmChannel;
  std::vector<std::string> m_recordingEndTexts;  // recordings that ended by themselves, to tell
  LiveView m_liveView;  // the pictures: filled on the mailbox worker, painted here
  std::atomic<int> m_repaintPending{0};

  // The parts: layout and skin (with the full-screen flags the mailbox worker reads), and
  // the operator's commands.
  MainLayout m_layout;
  MainCommands m_commands;

  // GUI-thread state.
  bool m_dragging = false;  // dragged by its surface (not in full screen)
  QPoint m_dragOffset;
  bool m_registered = false;
  bool m_destroyed = false;
};

// Runs the main window modally (what the program's window factory does). Answers its end code.
int RunTrelvixMainDialog();
