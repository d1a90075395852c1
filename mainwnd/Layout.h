// The main window's layouts: one row of 79 values per layout mode (window, background, video,
// status and button rectangles in client pixels), the access-mode rows that decide which
// buttons a user may press, and the skin pictures of each size class.
#pragma once
#include <array>
#include <cstdint>

constexpr int kLayoutModeCount = 18;
constexpr int kLayoutValueCount = 79;

// Indexes of the values of a row that the window reads.
enum LayoutValue : int {
  LV_WINDOW = 0,         // 0-3: window rectangle, panel closed
  LV_WINDOW_OPEN = 4,    // 4-7: window rectangle, panel open
  LV_BACKGROUND = 8,     // 8-11: closed-panel background picture
  LV_VIDEO = 12,         // 12-15: video rectangle
  LV_STATUS = 16,        // 16-19: status bar
  LV_POWER = 20,         // 20-23: power button width, height, right edge, top
  LV_CAMERA_UP = 24,     // 24-27: button 8192 left, top, width, height
  LV_CAMERA_DOWN = 28,   // 28-31: button 8193 left, top, width, height
  LV_TITLE = 32,         // 32-36: title buttons left, top, width, height, gap
  LV_ADDRESS_TEXT = 69,  // 69-70: address / device name / clock text
  LV_ONLINE_ICON = 75,   // 75-78: online-user icon rectangle

  // Single values of the groups above.
  LV_POWER_WIDTH = LV_POWER,
  LV_POWER_HEIGHT = LV_POWER + 1,
  LV_POWER_RIGHT = LV_POWER + 2,
  LV_POWER_TOP = LV_POWER + 3,
  LV_TITLE_LEFT = LV_TITLE,
  LV_TITLE_TOP = LV_TITLE + 1,
  LV_TITLE_WIDTH = LV_TITLE + 2,
  LV_TITLE_HEIGHT = LV_TITLE + 3,
  LV_TITLE_GAP = LV_TITLE + 4,
  LV_ADDRESS_X = LV_ADDRESS_TEXT,
  LV_ADDRESS_Y = LV_ADDRESS_TEXT + 1,
  LV_ONLINE_ICON_LEFT = LV_ONLINE_ICON,
  LV_ONLINE_ICON_TOP = LV_ONLINE_ICON + 1,
  LV_ONLINE_ICON_RIGHT = LV_ONLINE_ICON + 2,
  LV_ONLINE_ICON_BOTTOM = LV_ONLINE_ICON + 3,
};

struct LayoutRow {
  std::uint16_t v[kLayoutValueCount];
  int operator[](int i) const { return v[i]; }
};

extern const std::array<LayoutRow, kLayoutModeCount> LayoutModeTable;

// The row of a layout mode; a mode outside the table is taken modulo its size.
const LayoutRow& LayoutRowOf(unsigned mode);
// The size class of a layout mode (0 NTSC VGA, 1 NTSC QVGA, 2 PAL VGA, 3 PAL QVGA,
// 4 NTSC small, 5 PAL small).
inline int SizeClassOf(unsigned mode) { return static_cast<int>(mode % kLayoutModeCount % 6); }

// ---- access modes ---------------------------------------------------------------------------
constexpr int kAccessModeCount = 4;
constexpr int kAccessControlCount = 9;  // loops walk the first 8; the power flag stands alone
constexpr int kAccessLoopCount = 8;

struct AccessModeEntry {
  std::uint8_t byMode;
  std::uint8_t byAccessLevel;
  std::uint8_t byUserLevel;
  std::uint32_t nNameId;
  std::uint32_t nCount;
  std::uint32_t nCtrlId[kAccessControlCount];
  std::uint32_t bEnabled[kAccessControlCount];
};

extern const std::array<AccessModeEntry, kAccessModeCount> AccessModeTable;

// Row of the table for a user level: 30 -> 0, 20 -> 1, 0 -> 2, anything else -> 3.
std::uint8_t AccessModeFromUserLevel(std::uint16_t level);
const AccessModeEntry& AccessRowOf(unsigned accessMode);
// The flag of a control id in a row (false for an id the row does not list).
bool AccessAllows(const AccessModeEntry& row, std::uint32_t ctrlId);

// ---- skin pictures by size class --------------------------------------------------------------
const char* BackgroundPicture(int sizeClass);
const char* BackgroundOpenPicture(int sizeClass);
const char* StatusBarPicture(int sizeClass);
// The picture family of the camera-tool buttons ("N_VGA", "N_QVGA", "P_VGA", "P_QVGA").
const char* CameraToolFamily(int sizeClass);

constexpr const char* kOnlineUserIcon = "BMP\\Online_User_ICON.bmp";
constexpr const char* kAlarmIcon = "BMP\\alarm.bmp";
