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
#include "mainwnd/SideButtonBar.h"
#include "session/DeviceTypes.h"
#include "ui/Surface.h"
#include "ui/Window.h"

class CVtxButton;
class CCmosToolBarDlg;
class CColorSettingDlg;

// Control ids of the window's own buttons.
enum MainWindowControl : int {
  IDC_MINIMIZE = 8200,
  IDC_FULLSCREEN = 8201,
  IDC_CLOSE = 8202,
  IDC_CAMERA_TOOL = 8192,
  IDC_CAMERA_TOOL_DOWN = 8193,
  IDC_POWER = 8311,
  IDC_SNAPSHOT = 1004,
  IDC_SYSTEM_CONFIG = 1006,
  IDC_RESOLUTION = 1007,
  IDC_QUALITY = 1008,
  IDC_CHANNEL_FIRST = 8410,  // 8410 recorder, 8411-8426 channels 1-16
  IDC_CHANNEL_LAST = 8426,
  IDC_CHANNEL_PAGE_PREV = 8427,
  IDC_CHANNEL_PAGE_NEXT = 8428,
  IDC_FIT_SCREEN = 32773,
  IDC_COLOR = 999,
  IDC_CONNECT = 1002,
  IDC_RECORD = 1005,
  IDC_BUTTON_8203 = 8203,
  IDC_TURBO = 8310,
  IDC_PTZ_MODE = 8312,
  IDC_MODAL_TOOL = 8319,
  IDC_RETR = 8331,
  IDC_HOT_POINT = 8352,
  IDC_ACTION_PRESET = 8356,
  IDM_RETR = 32781,
  IDM_HOT_POINT = 32782,
};

// The panel keys that send a key template of the current device: control id, key, whether
// turbo mode repeats it. 8273 and 8573 both send key 20; 8284 (ESC) has no control.
struct DeviceKeyCommand {
  int id;
  int key;
  bool turbo;
};
extern const DeviceKeyCommand kDeviceKeyCommands[];
extern const int kDeviceKeyCommandCount;

// A rectangle from its left, top, right and bottom edges (right and bottom outside it).
inline QRect RectLTRB(int l, int t, int r, int b) { return QRect(l, t, r - l, b - t); }

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

  // ---- layouts and skins (GUI thread) ----
  int LoadBackgroundBitmaps();
  int InitSkinButtons(int mode, int flag);
  int LayoutNtscVga() { return RunLayoutSetter(0); }
  int LayoutNtscQvga() { return RunLayoutSetter(1); }
  int LayoutPalVga() { return RunLayoutSetter(2); }
  int LayoutPalQvga() { return RunLayoutSetter(3); }
  int SwitchLayoutNtscVga();
  int SwitchLayoutNtscQvga();
  int SwitchLayoutPalVga();
  int SwitchLayoutPalQvga();
  int SwitchLayoutTo(int setter);  // a layout setter under the layout lock, then the relayout
  void OnFitScreen();
  void LeaveFullScreen(bool byEscape);
  int OnCheckStatusHover();
  int ShowSideButtons(int show);
  // A drag proposes the window's next screen rectangle; answers the rectangle to take.
  QRect OnMoving(const QRect& proposed) const;
  // The window moved: a K47R's image-sensor toolbar stays docked to its left edge.
  void OnMove();

  // ---- operator commands (GUI thread) ----
  void OnLogin();
  plat::LPARAM OnReconnect();
  void OnRecordButton();
  // The manual recording ended by itself: the record button back to idle (unless a new
  // recording runs meanwhile) and a message box with what failed.
  void OnUserRecordingEnded();
  void OnSnapshoot();
  void OnResol();
  void OnQuility();
  void OnColorSetting();
  plat::LPARAM OnHotPointClick();
  plat::LPARAM OnLeavePtzMode();
  plat::LPARAM OnUnused409();
  plat::LPARAM OnPostAlarmAudio(plat::LPARAM action);
  // The fold-out panel.
  void OnCameraToolButton();
  void OnCameraToolButtonDown();
  void OnDeviceKey(int key, bool turboKey);
  void OnMenuKey();
  void OnModalTool();
  void OnRetr();
  void OnPowerKey();
  // Pan-tilt-zoom.
  int QueryPtzSlaves();
  void OnPtzMode();
  void OnTurboKey();
  void OnActionPresetKey();
  void OnHotPointKey();
  // The RS-485 bytes of the unused 0x409 handler (composed, never sent).
  const std::vector<std::uint8_t>& Unused409Bytes() const { return m_unused409; }
  // The PTZ selection dialog: tests replace it (answers the end code and the number).
  std::function<int(int& number)> runSelectPtz;
  // The colour popup's modal run: tests replace it (the popup has its device values set).
  std::function<void(CColorSettingDlg& popup)> runColorPopup;

  // ---- inspection (tests, screenshots) ----
  std::string StatusText() const;
  std::string OnlineUserText() const;
  std::string AlarmChannelText() const;
  bool IsFullScreen() const { return m_bFullScreen.load() != 0; }
  bool IsPanelOpen() const { return m_bPanelOpen != 0; }
  // A copy of the windowed picture surface (720 x 576) and the part last drawn.
  QImage DisplaySurface() const { return m_liveView.Surface(); }
  QRect DisplayedRect() const { return m_liveView.Displayed(); }
  QImage FullScreenSurface() const { return m_liveView.FullScreenSurface(); }
  QRect WorkArea() const { return m_rcWorkArea; }
  CVtxButton* Button(int id) const;
  CVtxButton* PanelKeyButton(int k) const { return (k >= 0 && k < kPanelKeyCount) ? m_btnPanel[k] : nullptr; }
  CChannelBar& ChannelBar() { return m_channelBar; }
  CCmosToolBarDlg* CmosToolBar() const { return m_pCmosToolBar; }
  CSideButtonBar& SideButtons() { return m_sideBar; }
  // The whole window as painted now (the picture included).
  QImage Grab();
  // Tests may pretend a work area (the offscreen screen is small).
  void SetWorkAreaForTest(const QRect& r) { m_rcWorkArea = r; }

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
  // Queued GUI work of the window itself (ids outside the shared message range).
  static constexpr unsigned kMsgRepaint = 0x7F00;  // wParam: kRepaint* bits
  static constexpr unsigned kMsgLayout = 0x7F01;   // wParam: kLayout* bits, lParam: resolution mode
  static constexpr unsigned kMsgEnterFullScreen = 0x7F02;
  static constexpr unsigned kMsgChannelBar = 0x7F03;
  static constexpr unsigned kMsgSideButtons = 0x7F04;
  static constexpr unsigned kMsgResetPtzMode = 0x7F05;
  static constexpr unsigned kMsgRetrState = 0x7F06;  // wParam: 1 enabled
  static constexpr unsigned kMsgUserRecordingEnded = 0x7F07;
  static constexpr int kTimerReconnect = 0x7F10;
  static constexpr int kRepaintVideo = 1;
  static constexpr int kRepaintStatus = 2;
  static constexpr int kRepaintAll = 4;
  static constexpr int kLayoutChangeItems = 1;
  static constexpr int kLayoutRelayout = 2;
  static constexpr int kLayoutSwitch = 4;

  // Rectangles of a layout row: four values from `first` read as left, top, right, bottom,
  // or as left, top, width, height.
  static QRect RowRectLTRB(const LayoutRow& L, int first);
  static QRect RowRectXYWH(const LayoutRow& L, int first);
  static QRect PowerRect(const LayoutRow& L);
  // The pan-tilt-zoom mode key of the panel.
  static constexpr int kPtzModeButton = 8312;

  bool InitDialogSteps();
  int RunLayoutSetter(int group);
  void DoChangeItemPosition();
  void DoRelayout();
  void PlaceAndCentre(const QRect& r);
  void ApplyPanelKeys(bool panelOpen, bool adminRule);
  void EnterFullScreenNow();
  void OnTimer(int id) override;
  void RegisterOperatorCommands();
  void SetPanelWindowSize(bool open);
  void SetTurboPictures();
  void SetKeyTooltipHalf(int id, bool second);
  int RunSelectPtzDialog(int& number);
  void QueueRepaint(int what);
  bool OnGuiThread() const;
  const LayoutRow& Row() const;
  void CreateButton(CVtxButton*& slot, int id, const QRect& rect, const QString& tip);
  CVtxButton* PanelKey(int k) const { return m_btnPanel[k]; }

  // State shared with the worker threads.
  std::atomic<int> m_bFullScreen{0};
  std::atomic<int> m_bEnterFullScreen{0};
  mutable std::mutex m_stateMutex;  // the texts below
  std::string m_strStatusText;
  std::string m_strOnlineUsers;
  std::string m_strAlarmChannel;
  std::vector<std::string> m_recordingEndTexts;  // recordings that ended by themselves, to tell
  LiveView m_liveView;  // the pictures: filled on the mailbox worker, painted here
  std::atomic<int> m_repaintPending{0};
  std::mutex m_layoutMutex;  // m_csLayout: the setters run through the switches

  // GUI-thread state.
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
  CCmosToolBarDlg* m_pCmosToolBar = nullptr;  // K47R only; a child window of this one
  bool m_dragging = false;                    // dragged by its surface (not in full screen)
  QPoint m_dragOffset;
  bool m_registered = false;
  bool m_destroyed = false;
  std::vector<std::uint8_t> m_unused409;
};

// Runs the main window modally (what the program's window factory does). Answers its end code.
int RunTrelvixMainDialog();
