// The catalogue of the 26 kinds of device whose keys the client can operate (the connected
// recorder, and the cameras, PTZ heads and older recorders on its RS-485 bus). Each type
// carries the 68 rows of its control panel; a row's position (its key number) is also the
// number of the command template the key sends from the type's CtrlFile.ini record.
//
// The table is compiled in from the description in data/devices/. At run time only the
// control-file links (once, at start-up) and the K41R-family key rules change it.
#pragma once
#include <array>
#include <cstdint>
#include <string>

struct CtrlDeviceRecord;

constexpr int kDeviceTypeCount = 26;
constexpr int kPanelKeyCount = 68;
constexpr int kKeyPictureCount = 12;
constexpr int kKeyLayoutModes = 4;  // 0 NTSC VGA, 1 NTSC QVGA, 2 PAL VGA, 3 PAL QVGA

// Row flags (SkinButtonRow::wFlags).
constexpr std::uint16_t SBF_ENABLED = 0x0001;
constexpr std::uint16_t SBF_VISIBLE = 0x0002;
constexpr std::uint16_t SBF_LAYOUTPICTURES = 0x0004;
constexpr std::uint16_t SBF_MARK8 = 0x0008;  // carried by some rows; nothing tests it
constexpr std::uint16_t SBF_UNAVAILABLE = 0x0010;
constexpr std::uint16_t SBF_ADMINONLY = 0x0020;
constexpr std::uint16_t SBF_ACCESSLEVEL = 0x0040;
constexpr std::uint16_t SBF_TIPFIRST = 0x0080;
constexpr std::uint16_t SBF_TIPSECOND = 0x0100;
constexpr std::uint16_t SBF_NOPELCO = 0x0200;

// Picture styles (handed to the skinned button as its style).
constexpr std::uint8_t KEY_STYLE_PUSH = 0x02;
constexpr std::uint8_t KEY_STYLE_PAIR = 0x10;
constexpr std::uint8_t KEY_STYLE_TOGGLE = 0x40;

// Kind bits (DeviceTypeEntry::dwKind).
constexpr std::uint32_t DTK_BASIC = 0x1;  // nothing tests it
constexpr std::uint32_t DTK_PANEL = 0x2;  // type 0 only: reverses the fold-out panel's use

// Key numbers the code refers to by name.
enum PanelKey : int {
  PK_CH1 = 0,
  PK_CH16 = 15,
  PK_16CUT = 20,
  PK_AUTO = 24,
  PK_ESC = 25,
  PK_LOCK = 44,
  PK_JOYSTICK_MENU = 56,
  PK_TURBO = 59,
  PK_PTZ = 60,
  PK_ALARM = 61,
  PK_ACTION_PRESET = 67,
};

// Device types the code refers to by number.
enum DeviceType : int {
  DT_CAMERA = 0,
  DT_1CH_DVR = 1,
  DT_PTZ = 8,
  DT_PTZ_SLAVE = 11,
  DT_PTZ_SLAVE_BASIC = 17,
  DT_PTZ_PELCO = 18,
  DT_RVX507 = 19,  // K41R
  DT_RVX505 = 22,  // K42R
  DT_RVX503 = 23,  // K43R
  DT_PTZ_PELCO_D = 25,
};

struct DeviceRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  constexpr std::int32_t Width() const { return right - left; }
  constexpr std::int32_t Height() const { return bottom - top; }
  constexpr bool operator==(const DeviceRect&) const = default;
};

struct SkinButtonRow {
  DeviceRect rcMode[kKeyLayoutModes] = {};
  std::uint16_t wFlags = 0;
  std::uint16_t wTipId = 0;
  // Push: group g (layout mode g) = normal, hover, unavailable at 3g..3g+2.
  // Two-state: 0/1 off normal/hover, 2/3 on normal/hover, repeated at 6-9.
  const char* pszBitmap[kKeyPictureCount] = {};
  std::uint8_t byStyle = 0;
  std::uint16_t wCtrlId = 0;
  std::uint32_t dwIndex = 0;
  std::uint32_t dwReserved = 0;
};

struct DeviceTypeEntry {
  SkinButtonRow Rows[kPanelKeyCount] = {};
  const char* pszName = nullptr;
  std::uint32_t dwKind = 0;
  std::uint32_t dwIndex = 0;
  CtrlDeviceRecord* pCtrlRecord = nullptr;  // set by LinkCtrlFileDevices; null = no record
};

extern std::array<DeviceTypeEntry, kDeviceTypeCount> DeviceTypeTable;

// The CtrlFile.ini section of a key ("[CH1]" .. "[SEQUENCE]"); null for key 67 and keys
// outside 0-67.
const char* PanelKeySection(int key);

// Rectangle and picture of a key for a layout mode (any mode: its value modulo 6 selects,
// anything that is not 0-3 then reads as 0). Type and key are bounded; out of range gives an
// empty rectangle and null.
DeviceRect KeyRect(int type, int key, int layoutMode);
// Picture slot 0-2 of the layout's group for push keys (normal, hover, unavailable); for
// two-state keys slot 0-3 (off, off hover, on, on hover) whatever the mode.
const char* KeyPicture(int type, int key, int layoutMode, int slot);

// The tooltip string of a row: the whole string, or the half before/after "$" that
// SBF_TIPFIRST/SBF_TIPSECOND choose. `text` is the string-table entry wTipId.
std::string KeyTooltip(const SkinButtonRow& row, const std::string& text);

// The main dialog's rules for a K41R-family recorder: old firmware hides the "Search dvr
// video data" key of the recorder types, MULTICH hides the PTZ key of the PTZ heads. The
// changes last until the program ends.
void ApplyK41KeyRules(bool firmwareBelow1078, bool multiChannel);

// Restores the compiled-in table (flags and links); tests only.
void ResetDeviceTypeTable();
