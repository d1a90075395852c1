// The main window's operator commands: connect and disconnect, manual recording, snapshot,
// configuration, resolution, quality, colour, the hot point, the fold-out control panel's
// keys, R.E.T.R., power, and pan-tilt-zoom mode.
#include "mainwnd/MainCommands.h"

#include <algorithm>

#include "core/Messages.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
#include "engine/Mailbox.h"
#include "mainwnd/ColorSettingDlg.h"
#include "mainwnd/DisplayPath.h"
#include "mainwnd/MainLayout.h"
#include "mainwnd/ModalTools.h"
#include "mainwnd/SelectPtzDlg.h"
#include "mainwnd/SystemSheet.h"
#include "mainwnd/TrelvixDlg.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "session/AlarmSound.h"
#include "session/CtrlFile.h"
#include "session/OperatorCommands.h"
#include "session/Rs485.h"
#include "ui/VtxButton.h"

const DeviceKeyCommand kDeviceKeyCommands[] = {
    {8220, 42, false}, {8222, 43, false}, {8223, 44, false}, {8224, 45, false}, {8225, 46, false},
    {8226, 47, false}, {8227, 48, false}, {8228, 49, false}, {8229, 50, false}, {8230, 51, false},
    {8231, 52, false}, {8232, 53, false}, {8240, 54, true},  {8241, 55, true},  {8243, 57, true},
    {8244, 58, true},  {8250, 0, false},  {8251, 1, false},  {8252, 2, false},  {8253, 3, false},
    {8254, 4, false},  {8255, 5, false},  {8256, 6, false},  {8257, 7, false},  {8258, 8, false},
    {8259, 9, false},  {8260, 10, false}, {8261, 11, false}, {8262, 12, false}, {8263, 13, false},
    {8264, 14, false}, {8265, 15, false}, {8322, 16, false}, {8321, 17, false}, {8271, 18, false},
    {8272, 19, false}, {8273, 20, false}, {8573, 20, false}, {8280, 21, false}, {8281, 22, false},
    {8282, 23, false}, {8283, 24, false}, {8284, 25, false}, {8285, 26, false}, {8286, 27, false},
    {8287, 28, false}, {8288, 29, false}, {8291, 30, true},  {8292, 31, true},  {8289, 32, true},
    {8290, 33, true},  {8313, 34, false}, {8314, 35, false}, {8323, 36, false}, {8324, 37, false},
    {8325, 38, false}, {8326, 39, false}, {8327, 40, false}, {8328, 41, false}, {8350, 62, false},
    {8351, 63, false}, {8353, 64, false}, {8354, 65, false}, {8355, 66, false},
};
const int kDeviceKeyCommandCount =
    static_cast<int>(sizeof kDeviceKeyCommands / sizeof kDeviceKeyCommands[0]);

namespace {

constexpr plat::DWORD kReceiverResetWaitMs = 5000;
constexpr int kMenuKey = 56;

bool PictureRunning(const AppRecord* app) { return app && app->f_VideoRunning.load() != 0; }

bool IsK41ToK43(const std::string& product) {
  return product == "K41R" || product == "K42R" || product == "K43R";
}

}  // namespace

MainCommands::MainCommands(CTrelvixDlg& window, MainLayout& layout)
    : m_wnd(window), m_layout(layout) {}

AppRecord* MainCommands::Record() const { return g_lpApp; }

CVtxButton* MainCommands::Button(int id) const { return m_wnd.Button(id); }

void MainCommands::Register() {
  m_wnd.OnCommand(IDC_CONNECT, [this] { OnLogin(); });
  m_wnd.OnCommand(IDC_RECORD, [this] { OnRecordButton(); });
  m_wnd.OnCommand(IDC_SNAPSHOT, [this] { OnSnapshoot(); });
  m_wnd.OnCommand(IDC_SYSTEM_CONFIG, [this] { OnSystemConfig(&m_wnd, m_layout.WorkArea()); });
  m_wnd.OnCommand(IDC_RESOLUTION, [this] { OnResol(); });
  m_wnd.OnCommand(IDC_QUALITY, [this] { OnQuility(); });
  m_wnd.OnCommand(IDC_COLOR, [this] { OnColorSetting(); });
  m_wnd.OnCommand(IDC_CAMERA_TOOL, [this] { m_layout.OpenPanel(); });
  m_wnd.OnCommand(IDC_CAMERA_TOOL_DOWN, [this] { m_layout.ClosePanel(); });
  m_wnd.OnCommand(IDC_BUTTON_8203, [] {});
  for (int i = 0; i < kDeviceKeyCommandCount; ++i) {
    const DeviceKeyCommand c = kDeviceKeyCommands[i];
    m_wnd.OnCommand(c.id, [this, c] { OnDeviceKey(c.key, c.turbo); });
  }
  m_wnd.OnCommand(8242, [this] { OnMenuKey(); });
  m_wnd.OnCommand(IDC_MODAL_TOOL, [this] { OnModalTool(); });
  m_wnd.OnCommand(IDC_RETR, [this] { OnRetr(); });
  m_wnd.OnCommand(IDM_RETR, [this] { OnRetr(); });
  m_wnd.OnCommand(IDC_POWER, [this] { OnPowerKey(); });
  m_wnd.OnCommand(IDC_PTZ_MODE, [this] { OnPtzMode(); });
  m_wnd.OnCommand(IDC_TURBO, [this] { OnTurboKey(); });
  m_wnd.OnCommand(IDC_ACTION_PRESET, [this] { OnActionPresetKey(); });
  m_wnd.OnCommand(IDC_HOT_POINT, [this] { OnHotPointKey(); });
  m_wnd.OnCommand(IDM_HOT_POINT, [this] { OnHotPointKey(); });
  // The channel keys ask for the PTZ slaves first (a multichannel K41R-family recorder).
  for (int id = IDC_CHANNEL_FIRST; id <= IDC_CHANNEL_LAST; ++id) {
    m_wnd.OnCommand(id, [this, id] {
      if (!QueryPtzSlaves()) return;
      m_layout.Channels().SwitchChannel(static_cast<plat::BYTE>(id - IDC_CHANNEL_FIRST));
    });
  }

  m_wnd.OnMessage(msg::WM_RECONNECT, [this](plat::WPARAM, plat::LPARAM) { return OnReconnect(); });
  m_wnd.OnMessage(msg::WM_HOTPOINTCLICK,
                  [this](plat::WPARAM, plat::LPARAM) { return OnHotPointClick(); });
  m_wnd.OnMessage(msg::WM_LEAVEPTZMODE,
                  [this](plat::WPARAM, plat::LPARAM) { return OnLeavePtzMode(); });
  m_wnd.OnMessage(msg::WM_UNUSED409, [this](plat::WPARAM, plat::LPARAM) { return OnUnused409(); });
  m_wnd.OnMessage(msg::WM_POSTALARMAUDIO,
                  [this](plat::WPARAM, plat::LPARAM action) { return OnPostAlarmAudio(action); });
  m_wnd.OnMessage(kMsgRetrState, [this](plat::WPARAM enabled, plat::LPARAM) -> plat::LPARAM {
    if (CVtxButton* b = Button(IDC_RETR)) b->SetImageIndex(enabled ? 1 : 0);
    m_layout.SetKeyTooltipHalf(IDC_RETR, enabled == 0);
    return 0;
  });
  m_wnd.OnMessage(kMsgResetPtzMode, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    if (CVtxButton* b = Button(IDC_PTZ_MODE)) b->SetImageIndex(0);
    return 0;
  });
  m_wnd.OnMessage(msg::WM_SETRECORDBUTTON, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    if (CVtxButton* b = Button(IDC_RECORD)) b->SetImageIndex(1);
    return 0;
  });
}

bool MainCommands::OnTimer(int id) {
  if (id != kTimerReconnect) return false;
  m_wnd.KillTimer(kTimerReconnect);
  OnLogin();
  OnLogin();
  return true;
}

// ---- connect, disconnect ------------------------------------------------------------------------

void MainCommands::OnLogin() {
  AppRecord* app = Record();
  if (!app) return;
  if (!app->f_Connected.load()) {
    // A login thread of an earlier press is ended before the new one starts.
    if (!StartReLoginThread()) return;
    m_wnd.SetStatusText("CONNECT!!");
    m_layout.Sides().SetStates(1, 0);
    return;
  }
  CloseSystemSheet();
  m_layout.Sides().SetStates(1, 1);
  m_wnd.SetStatusText("DISCONNECT!!");
  StopReLoginThread();
  if (app->f_Streaming.load()) {
    // The receiver stops without a reconnection, then the stream side is torn down.
    plat::SetEvent(app->h_NotifyGetJPEGImageThreadResetEvent.load());
    plat::WaitForSingleObject(app->h_FeedBackForNotifyResetEvent.load(), kReceiverResetWaitMs);
    RequestSessionTeardown(kTeardownReplyWaitMs);
  }
  app->f_Connected = 0;
  m_wnd.ClearOnlineUserText();
  m_wnd.ClearAlarmInputText();
}

plat::LPARAM MainCommands::OnReconnect() {
  // A random wait of up to two seconds (so that several clients do not come back at once),
  // on a timer: the window stays responsive meanwhile.
  m_wnd.SetTimer(kTimerReconnect, static_cast<int>(plat::GetTickCount() % 2000) + 1);
  return 0;
}

plat::LPARAM MainCommands::OnPostAlarmAudio(plat::LPARAM action) {
  AppRecord* app = Record();
  if (!app) return 0;
  if (action == msg::ALARM_AUDIO_STOP) return StopAlarmSound(*app);
  return StartAlarmSound(*app);
}

// ---- record, snapshot ---------------------------------------------------------------------------

void MainCommands::OnRecordButton() {
  AppRecord* app = Record();
  if (!app) return;
  if (!PictureRunning(app)) {
    MessageBoxById(m_wnd.Hwnd(), IDS_CONNECT_SERVER_FIRST);
    return;
  }
  std::string idle, recording;
  SplitResourceString(IDC_RECORD, idle, recording);
  CVtxButton* button = Button(IDC_RECORD);
  if (!app->C_UserRecord.IsFileOpen()) {
    std::string folder = app->CSettingINI.m_strRecordPath.Get();
    if (!app->C_UserRecord.StartRecord(folder, app->by_StreamState.load())) {
      app->C_UserRecord.m_fRecording = 0;
      MessageBoxById(m_wnd.Hwnd(), IDS_CREATE_RECORD_FILE_FAILED);
      return;
    }
    if (button) {
      button->setToolTip(QString::fromStdString(recording));
      button->SetImageIndex(1);
    }
    return;
  }
  if (button) {
    button->setToolTip(QString::fromStdString(idle));
    button->SetImageIndex(0);
  }
  app->C_UserRecord.StopRecord();
}

void MainCommands::ShowRecordingsEnded(const std::vector<std::string>& texts) {
  AppRecord* app = Record();
  // A recording the operator started meanwhile keeps its face.
  if (app && !app->C_UserRecord.IsFileOpen()) {
    std::string idle, recording;
    SplitResourceString(IDC_RECORD, idle, recording);
    if (CVtxButton* button = Button(IDC_RECORD)) {
      button->setToolTip(QString::fromStdString(idle));
      button->SetImageIndex(0);
    }
  }
  for (const std::string& text : texts) {
    plat::MessageBox(m_wnd.Hwnd(), text + "\nThe recording has stopped.", "",
                     plat::MB_OK | plat::MB_ICONWARNING);
  }
}

void MainCommands::OnSnapshoot() {
  AppRecord* app = Record();
  if (!PictureRunning(app)) {
    MessageBoxById(m_wnd.Hwnd(), IDS_CONNECT_SERVER_FIRST);
    return;
  }
  app->f_SnapshotRequest = 1;
}

// ---- resolution, quality, colour ----------------------------------------------------------------

void MainCommands::OnResol() {
  if (AppRecord* app = Record())
    StepSetting(app->CSettingINI.m_nImageResolution, IDC_RESOLUTION, 2, SendResolution, IDS_CHANGE_RESOLUTION_FAILED);
  // The window is laid out again when pictures of the new size arrive.
}

void MainCommands::OnQuility() {
  if (AppRecord* app = Record())
    StepSetting(app->CSettingINI.m_nAlarmTriggerQuality, IDC_QUALITY, 3, SendQuality, IDS_CHANGE_QUALITY_FAILED);
}

void MainCommands::StepSetting(std::atomic<std::int32_t>& setting, int buttonId, int count, int (*send)(int),
                               unsigned failureId) {
  const int old = setting.load();
  CVtxButton* button = Button(buttonId);
  if (old < 0 || old >= count) {
    if (button) button->SetImageIndex(old);
    return;
  }
  const int next = (old + 1) % count;
  setting = next;
  if (!send(next)) {
    setting = old;
    if (button) button->SetImageIndex(old);
    MessageBoxById(m_wnd.Hwnd(), failureId);
    return;
  }
  if (button) button->SetImageIndex(next);
}

void MainCommands::OnColorSetting() {
  if (!PictureRunning(Record())) {
    MessageBoxById(m_wnd.Hwnd(), IDS_CONNECT_SERVER_FIRST);
    return;
  }
  ColorValues values;
  if (!GetColorValues(values)) {
    MessageBoxById(m_wnd.Hwnd(), IDS_SEND_COMMAND_TIMEOUT);
    return;
  }
  CColorSettingDlg popup;
  popup.m_nDeviceBrightness = values.brightness;
  popup.m_nDeviceContrast = values.contrast;
  popup.m_nDeviceHue = values.hue;
  if (m_wnd.runColorPopup) {
    m_wnd.runColorPopup(popup);
  } else {
    popup.DoModal();
  }
}

// ---- mouse, hot point ---------------------------------------------------------------------------

plat::LPARAM MainCommands::OnHotPointClick() {
  AppRecord* app = Record();
  if (!app) return 0;
  const LayoutRow& L = m_layout.Row();
  HotPointArea area;
  area.fullScreen = m_layout.IsFullScreen();
  area.videoLeft = L[LV_VIDEO];
  area.videoTop = L[LV_VIDEO + 1];
  area.videoRight = L[LV_VIDEO + 2];
  area.videoBottom = L[LV_VIDEO + 3];
  if (area.fullScreen) {
    // In full screen the picture fills the window's client area.
    area.left = 0;
    area.top = 0;
    area.right = m_wnd.width();
    area.bottom = m_wnd.height();
  } else {
    area.left = area.videoLeft;
    area.top = area.videoTop;
    area.right = area.videoRight;
    area.bottom = area.videoBottom;
  }
  const HotPointCell cell = LocateHotPoint(app->w_HotPointX.load(), app->w_HotPointY.load(), area);
  if (!cell.accepted) return 0;
  app->w_HotPointRect[0] = cell.markerX;
  app->w_HotPointRect[1] = cell.markerY;
  if (!SendHotPoint(cell.Cell())) {
    MessageBoxById(m_wnd.Hwnd(), IDS_SEND_COMMAND_FAILED);
    return 0;
  }
  app->w_HotPointFrames = 4;
  return 0;
}

plat::LPARAM MainCommands::OnLeavePtzMode() {
  AppRecord* app = Record();
  if (!app || app->C_ControlD.IsCurrentVideo()) return 0;
  m_layout.SetKeyTooltipHalf(IDC_PTZ_MODE, false);
  app->C_ControlD.MakeCurrent(CDF_VIDEO, 0);
  if (CVtxButton* b = Button(IDC_PTZ_MODE)) b->SetImageIndex(0);
  if (app->by_HotPointMode.load() == 2) app->by_HotPointMode = 1;
  m_wnd.ChangeItemPositionForDeviceModified();
  return 0;
}

void MainCommands::ResetPtzModeButton() { m_wnd.PostMessage(kMsgResetPtzMode); }

plat::LPARAM MainCommands::OnUnused409() {
  AppRecord* app = Record();
  if (!app) return 0;
  m_unused409 = {0xFF,
                 0xC0,
                 app->C_ControlD.GetCurrentId(),
                 Rs485AccessLevel(app->by_AccessMode.load()),
                 0x63,
                 0x7F,
                 1,
                 kRs485RepeatInterval};
  return 0;
}

// ---- panel keys ---------------------------------------------------------------------------------

void MainCommands::OnDeviceKey(int key, bool turboKey) {
  AppRecord* app = Record();
  if (!app) return;
  const int turbo = turboKey ? static_cast<int>(app->f_TurboOn.load()) : 0;
  DoDeviceCommand(turbo, static_cast<std::uint16_t>(key));
}

void MainCommands::OnMenuKey() {
  AppRecord* app = Record();
  if (!app) return;
  // Below the administrator the older recorders keep their menu to themselves.
  if (app->by_AccessMode.load() != 0 && IsK41ToK43(app->GetProductID())) return;
  DoDeviceCommand(0, kMenuKey);
}

void MainCommands::OnModalTool() {
  IModalToolDialogs* tools = GetModalToolDialogs();
  const int result = tools ? tools->RunPlaybackSearch(&m_wnd) : -1;
  if (result == -1) plat::MessageBox(m_wnd.Hwnd(), kDialogNotCreated);
}

void MainCommands::OnRetr() {
  AppRecord* app = Record();
  if (!app) return;
  // The key's face follows the state the recorder reports next, not the press.
  if (!SendRetrSwitch(app->C_ControlD.GetRetrState())) MessageBoxById(m_wnd.Hwnd(), IDS_SEND_COMMAND_FAILED);
}

void MainCommands::SetRetrButtonState(bool enabled) {
  m_wnd.PostMessage(kMsgRetrState, enabled ? 1 : 0);
}

void MainCommands::OnPowerKey() {
  AppRecord* app = Record();
  if (!app) return;
  if (!app->f_Connected.load()) {
    MessageBoxById(m_wnd.Hwnd(), IDS_CANNOT_CONNECT_TO_DEVICE);
    return;
  }
  const std::uint8_t type = app->C_ControlD.GetCurrentType();
  const CtrlDeviceRecord* record =
      type < kDeviceTypeCount ? DeviceTypeTable[type].pCtrlRecord : nullptr;
  if (!record) {
    MessageBoxById(m_wnd.Hwnd(), IDS_NO_COMMAND_PROTOCOL);
    return;
  }
  SendRS485Command(record->Power, 1, 0);
}

// ---- pan-tilt-zoom ------------------------------------------------------------------------------

int MainCommands::QueryPtzSlaves() {
  AppRecord* app = Record();
  if (!app) return 1;
  if (!IsModelFamilyK41(app->GetProductID()) || !IsMultiChannel()) return 1;
  std::vector<PtzSlave> slaves;
  // The recorder's own entry takes one place of the table.
  if (!RequestPtzSlaves(&slaves, kControlDeviceMax - 1)) {
    MessageBoxById(m_wnd.Hwnd(), IDS_SEND_COMMAND_FAILED);
    return 0;
  }
  const std::uint8_t t0 = app->C_ControlD.GetNthVideoType(0);
  app->C_ControlD.Reset();
  app->C_ControlD.Add(0, 0, t0, CDF_VIDEO);
  for (const PtzSlave& s : slaves) app->C_ControlD.Add(2400, s.id, s.type, CDF_VIDEO);
  return 1;
}

int MainCommands::RunSelectPtzDialog(int& number) {
  if (m_wnd.runSelectPtz) return m_wnd.runSelectPtz(number);
  CSelectPTZDlg dialog;
  const int r = dialog.DoModal();
  number = dialog.m_nNumber;
  return r;
}

void MainCommands::OnPtzMode() {
  AppRecord* app = Record();
  if (!app) return;
  const std::string product = app->GetProductID();
  const std::uint8_t access = app->by_AccessMode.load();
  if (IsK41ToK43(product) && (access == 2 || access == 3)) return;
  const bool k41 = IsModelFamilyK41(product);
  if (k41) {
    std::vector<PtzSlave> slaves;
    if (!RequestPtzSlaves(&slaves, kControlDeviceMax)) {
      MessageBoxById(m_wnd.Hwnd(), IDS_SEND_COMMAND_FAILED);
      return;
    }
    for (std::size_t i = 0; i < slaves.size(); ++i)
      app->C_ControlD.SetNthPtzEntry(static_cast<int>(i), slaves[i].type, slaves[i].id);
  }
  int number = 0;
  const int r = RunSelectPtzDialog(number);
  CVtxButton* key60 = Button(IDC_PTZ_MODE);
  const bool videoCurrent = app->C_ControlD.IsCurrentVideo() != 0;
  if (r == plat::IDCANCEL) {
    if (key60) key60->SetImageIndex(videoCurrent ? 0 : 1);
    if (k41 && !RequestPtzSlaves(nullptr, 0)) MessageBoxById(m_wnd.Hwnd(), IDS_SEND_COMMAND_FAILED);
    return;
  }
  // The state a failed selection goes back to.
  const ControlDeviceEntry previous = app->C_ControlD.GetCurrentEntry();
  const int previousOrdinal = app->C_ControlD.GetCurrentOrdinal();
  const QString previousTip = key60 ? key60->toolTip() : QString();
  const int previousImage = key60 ? key60->m_wImageIndex : 0;
  const std::uint8_t previousHotPoint = app->by_HotPointMode.load();

  auto choose = [&]() -> bool {
    if (number < 1 || number > 16 || app->C_ControlD.GetNthPtzType(number - 1) == 0) {
      MessageBoxById(m_wnd.Hwnd(), IDS_PTZ_NUMBER_INVALID);
      return false;
    }
    app->C_ControlD.MakeCurrent(CDF_PTZ, number - 1);
    return true;
  };
  std::vector<std::uint8_t> packet;
  if (videoCurrent) {
    if (r != plat::IDOK) return;  // ESC is not offered with the recorder current
    if (!choose()) return;
    m_layout.SetKeyTooltipHalf(IDC_PTZ_MODE, true);
    if (key60) key60->SetImageIndex(1);
    packet = PtzSelectPacket(number);
    app->by_HotPointMode = MainLayout::HotPointModeFor(*app, app->C_ControlD.GetNthPtzType(number - 1));
  } else if (r == plat::IDOK) {
    if (!choose()) return;
    packet = PtzSelectPacket(number);
    app->by_HotPointMode = MainLayout::HotPointModeFor(*app, app->C_ControlD.GetNthPtzType(number - 1));
    if (key60) key60->SetImageIndex(1);
  } else if (r == CSelectPTZDlg::kEndEsc) {
    m_layout.SetKeyTooltipHalf(IDC_PTZ_MODE, false);
    app->C_ControlD.MakeCurrent(CDF_VIDEO, 0);
    if (key60) key60->SetImageIndex(0);
    if (app->by_HotPointMode.load() == 2) app->by_HotPointMode = 1;
    packet = PtzBackPacket();
  } else {
    return;
  }
  if (!SendPtzSelection(packet)) {
    // The recorder did not take the selection: the previous device stays the one steered.
    app->C_ControlD.MakeCurrent((previous.wFlags & CDF_VIDEO) ? CDF_VIDEO : CDF_PTZ,
                                previousOrdinal);
    if (key60) {
      key60->setToolTip(previousTip);
      key60->SetImageIndex(previousImage);
    }
    app->by_HotPointMode = previousHotPoint;
    app->w_HotPointFrames = 2;
    MessageBoxById(m_wnd.Hwnd(), IDS_SEND_COMMAND_FAILED);
    return;
  }
  m_layout.DoChangeItemPosition();
  // The key's pictures may just have been loaded for the new device type.
  if (key60) key60->SetImageIndex(app->C_ControlD.IsCurrentVideo() ? 0 : 1);
}

void MainCommands::OnTurboKey() {
  AppRecord* app = Record();
  if (!app) return;
  app->f_TurboOn = app->f_TurboOn.load() ? 0 : 1;
  const bool on = app->f_TurboOn.load() != 0;
  if (CVtxButton* b = m_layout.PanelKey(PK_TURBO)) b->SetImageIndex(on ? 1 : 0);
  m_layout.SetKeyTooltipHalf(IDC_TURBO, !on);
  m_layout.SetTurboPictures();
  m_layout.UpdateBelowPicture();
}

void MainCommands::OnActionPresetKey() {
  AppRecord* app = Record();
  if (!app) return;
  std::string action, preset;
  SplitResourceString(IDC_ACTION_PRESET, action, preset);
  CVtxButton* b = m_layout.PanelKey(PK_ACTION_PRESET);
  if (app->f_PresetMode.load()) {
    if (b) b->SetImageIndex(0);
    app->f_PresetMode = 0;
    if (b) b->setToolTip(QString::fromStdString(action));
  } else {
    if (b) b->SetImageIndex(1);
    app->f_PresetMode = 1;
    if (b) b->setToolTip(QString::fromStdString(preset));
  }
}

void MainCommands::OnHotPointKey() {
  AppRecord* app = Record();
  if (!app) return;
  const std::uint8_t mode = app->by_HotPointMode.load();
  if (mode == 1) {
    app->by_HotPointMode = 2;
  } else if (mode == 2) {
    app->by_HotPointMode = 1;
  }
}
