// What the engine's threads may call on the windows. The windows implement these; every
// call may come from a worker thread, so an implementation only stores data under its own
// lock and queues the GUI work (it never waits for the GUI thread).
#pragma once
#include <string>
#include "platform/types.h"

// The main window.
class IMainWindow {
 public:
  virtual ~IMainWindow() = default;

  // The window's handle for plat::PostMessage (WM_SHOWSTATUS, WM_CLOSEMAIN, ...).
  virtual plat::HWND GetHwnd() const = 0;

  // Draws g_lpApp->lp_CurrentFrame (w_FrameWidth x w_FrameHeight, 24-bit bottom-up) and
  // sets h_FinishShowImageJobEvent when the picture is on screen. Returns at once, without
  // setting the event, while f_VideoRunning is 0. Called by the mailbox worker.
  virtual void ShowImage() = 0;

  // Replaces the status-line text; returns 1.
  virtual int SetStatusText(const std::string& text) = 0;

  // Lay the window out for the connected model, video mode and layout mode (called by the
  // re-login thread after the device information, in this order).
  virtual void ChangeItemPositionForDeviceModified() = 0;
  virtual void RelayoutControls() = 0;

  // Empty the online-user text ("HU: ") and the alarm-input text of the status bar.
  virtual void ClearOnlineUserText() = 0;
  virtual void ClearAlarmInputText() = 0;

  // The R.E.T.R. button's picture and caption: the first half of its two-part caption
  // (enabled) or the second (disabled).
  virtual void SetRetrButtonState(bool enabled) = 0;

  // Shows picture 0 (pan-tilt-zoom mode off) on the pan-tilt-zoom mode button 8312 when the
  // window has that button (the re-login thread, when the current control device is not a
  // video device).
  virtual void ResetPtzModeButton() = 0;

  // Releases the display function's full-screen drawing surface (process shut-down).
  virtual void DeleteDisplayContext() = 0;

  // The resolution mode changed (picture size): re-position the items and, for modes 0-3,
  // switch to that mode's layout. Called on the stream's threads.
  virtual void SwitchLayout(int resolutionMode) = 0;

  // The manual recording ended by itself (a file error, `text` names the file): the record
  // button goes back to idle and the operator is told. Called on the recorder's thread.
  virtual void UserRecordingEnded(const std::string& text) { SetStatusText(text); }
};

// The channel-button bar.
class IChannelBar {
 public:
  virtual ~IChannelBar() = default;
  // Asks the recorder to switch to the 1-based channel; 1 when sent (or nothing to do),
  // 0 after the failure was shown.
  virtual int SwitchChannel(plat::BYTE channel) = 0;
  // The stream reports the channel now shown.
  virtual void SetCurrentChannel(plat::BYTE channel) = 0;
  // Re-arranges the buttons of the current page (the resolution mode changed).
  virtual void Arrange() = 0;
  // The channel now shown (0: the recorder's own picture) and the number of channels.
  virtual plat::BYTE GetCurrentChannel() const = 0;
  virtual int GetChannelCount() const = 0;
};

// The side function buttons.
class ISideButtonBar {
 public:
  virtual ~ISideButtonBar() = default;
  // mask 1: the connect button (picture 0 connected, 1 disconnected); mask 0x20: the record
  // button (picture 1 recording). Returns 1.
  virtual int SetStates(unsigned mask, unsigned picture) = 0;
};

// The image-sensor toolbar (receives WM_SENSORSTATE).
class ISensorToolBar {
 public:
  virtual ~ISensorToolBar() = default;
  virtual plat::HWND GetHwnd() const = 0;
};
