// The control ids of the main window's own buttons, the panel keys that send a key template,
// and the rectangle helper the window's parts share.
#pragma once
#include <QRect>

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
