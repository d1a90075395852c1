// The main window's operator commands: connect and disconnect (and the reconnection's second
// login), manual recording and snapshot, configuration, resolution, quality, colour, the hot
// point, the panel keys with their states (turbo, action/preset, hot-point mode), R.E.T.R.,
// power, the menu key, the playback search, pan-tilt-zoom mode, the post-alarm audio and the
// composed but unsent 0x409 packet.
//
// Threads: the handlers run on the GUI thread. SetRetrButtonState and ResetPtzModeButton may
// come from worker threads: they only post to the window.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

class AppRecord;
class CTrelvixDlg;
class CVtxButton;
class MainLayout;

class MainCommands {
 public:
  // The window whose buttons and messages these are, and its layout part.
  MainCommands(CTrelvixDlg& window, MainLayout& layout);
  MainCommands(const MainCommands&) = delete;
  MainCommands& operator=(const MainCommands&) = delete;

  // The application record (null while none is published).
  AppRecord* Record() const;
  // The command and message handlers of the operator's keys, registered on the window.
  void Register();
  // The window's timer `id` when it is the reconnection's; false for any other.
  bool OnTimer(int id);

  // ---- connect, disconnect ----
  void OnLogin();
  plat::LPARAM OnReconnect();
  // ---- record, snapshot ----
  void OnRecordButton();
  // Recordings that ended by themselves: the record button back to idle (unless a new
  // recording runs meanwhile) and a message box with what failed for each.
  void ShowRecordingsEnded(const std::vector<std::string>& texts);
  void OnSnapshoot();
  // ---- resolution, quality, colour ----
  void OnResol();
  void OnQuility();
  void OnColorSetting();
  // ---- hot point, pan-tilt-zoom ----
  plat::LPARAM OnHotPointClick();
  plat::LPARAM OnLeavePtzMode();
  int QueryPtzSlaves();
  void OnPtzMode();
  void OnHotPointKey();
  // Any thread: the PTZ-mode key back to its first picture.
  void ResetPtzModeButton();
  // ---- panel keys ----
  void OnDeviceKey(int key, bool turboKey);
  void OnMenuKey();
  void OnTurboKey();
  void OnActionPresetKey();
  void OnModalTool();
  void OnRetr();
  // Any thread: the R.E.T.R. key's picture and tooltip by the recorder's state.
  void SetRetrButtonState(bool enabled);
  void OnPowerKey();
  // ---- posted ----
  plat::LPARAM OnUnused409();
  plat::LPARAM OnPostAlarmAudio(plat::LPARAM action);
  // The RS-485 bytes of the unused 0x409 handler (composed, never sent).
  const std::vector<std::uint8_t>& Unused409Bytes() const { return m_unused409; }

 private:
  // Queued GUI work of these commands (ids outside the shared message range).
  static constexpr unsigned kMsgResetPtzMode = 0x7F05;
  static constexpr unsigned kMsgRetrState = 0x7F06;  // wParam: 1 enabled
  static constexpr int kTimerReconnect = 0x7F10;

  CVtxButton* Button(int id) const;
  int RunSelectPtzDialog(int& number);

  CTrelvixDlg& m_wnd;
  MainLayout& m_layout;
  std::vector<std::uint8_t> m_unused409;
};
