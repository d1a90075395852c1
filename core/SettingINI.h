// The client's own settings: section "Ovistra" of "Setting.ini" in the program folder.
// Loaded once at start-up, changed in memory by the whole program, saved when the main
// window closes (and by the firmware dialog). The account password lives here but is never
// written to the file.
//
// Several threads read and write single members while the client runs: numbers are atomics
// of the member's width, texts are SharedStrings (copies handed out under a lock).
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include "core/Shared.h"
#include "platform/types.h"

// Index of each key in the key table (the table's own numbering; 0 is the section).
enum SettingKey : int {
  KEY_SECTION = 0,
  KEY_LANGUAGE = 1,
  KEY_IMAGE_QUALITY = 2,
  KEY_SERVER_PORT = 3,
  KEY_IMAGE_RESOLUTION = 4,
  KEY_TURBO_REPEAT_STEP = 5,
  KEY_USERNAME = 6,
  KEY_BRIGHTNESS = 7,
  KEY_CONTRAST = 8,
  KEY_SATURATION = 9,
  KEY_AVSWITCH_OPTION = 10,
  KEY_RETR_ALARM_RECORD = 11,
  KEY_ENABLE_ALARM = 12,
  KEY_ALARM_DURATION = 13,
  KEY_SERVER_NAME = 14,
  KEY_SUB_PORT = 15,
  KEY_NETWORK_FILE_DIRECTORY = 16,
  KEY_UNNAMED_17 = 17,
  KEY_ZOOM_RATIO = 18,
  KEY_FRAME_RATE = 19,
  KEY_TARGET_BIT_RATE = 20,
  KEY_PEAK_BIT_RATE = 21,
  KEY_CONTROL_BIT_RATE_TYPE = 22,
  KEY_RESOLUTION_TYPE = 23,
  KEY_SELECTED_CHANNEL = 24,
  KEY_DYNAMIC_DOWNLOAD = 25,
  KEY_WRITE_CD = 26,
  KEY_RECORD_PATH = 27,
  KEY_SNAPSHOT_PATH = 28,
  KEY_UPGRADE_FW_PATH = 29,
  KEY_LAST_MAC1 = 30,
  KEY_LAST_MAC2 = 31,
  KEY_ALARM_TRIGGER_RECORD = 32,
  KEY_ALARM_TRIGGER_AUDIO = 33,
  KEY_ALARM_AUDIO_NEW_PATH = 34,
  KEY_ALARM_ENABLE_BUTTON = 35,
  KEY_ALARM_TRIGGER_QUALITY = 36,
  KEY_ALARM_TRIGGER_RESOLUTION = 37,
  KEY_TRIGGER_WAV_PATH = 38,
  KEY_TRIGGER_WAV_PATH_LOWORD = 39,
  KEY_TRIGGER_CLOSE_HOUR = 40,
  KEY_TRIGGER_CLOSE_MIN = 41,
  KEY_TRIGGER_CLOSE_DATE = 42,
  KEY_SEARCH_LIST_HDD = 43,
  KEY_SEARCH_LIST_TYPE = 44,
  KEY_SEARCH_LIST_MAX = 45,
  KEY_UPGRADE_DVR_FW_PATH = 46,
  KEY_ALARM_AUTO_SWITCH_VIDEO = 47,
  KEY_WRITE_CD_CLOSE = 48,
  KEY_COUNT = 49,
};

// The key names exactly as the file stores them (entry 17 has none).
extern const char* const kSettingKeyNames[KEY_COUNT];

constexpr const char* kSettingFileName = "Setting.ini";
constexpr const char* kSettingSection = "Ovistra";

class CSettingINI {
 public:
  CSettingINI();
  ~CSettingINI();
  CSettingINI(const CSettingINI&) = delete;
  CSettingINI& operator=(const CSettingINI&) = delete;

  // Reads Setting.ini of the program folder; finds the program and Desktop folders and
  // creates the record and snapshot folders. Always 1.
  int LoadSetting();
  // Writes the members back into the same file, keeping every other line, with one read and
  // one atomic rewrite. 0 (traced, the file as it was) when it cannot be read or replaced.
  int SaveSetting();
  // SaveSetting; when it fails the operator is told in a message box (owned by `owner`) that
  // the settings were not saved. Answers what SaveSetting answered.
  int SaveSettingOrTell(plat::HWND owner);

  // The settings file's full path (program folder + "Setting.ini").
  std::string SettingFilePath() const;

  std::string m_strSection;
  std::array<std::string, KEY_COUNT> m_strKeyName;  // entry i = key i (entry 0: the section)

  std::atomic<std::int32_t> m_nImageResolution{0};
  std::atomic<std::int32_t> m_nBrightness{0};
  std::atomic<std::int32_t> m_nContrast{0};
  std::atomic<std::int32_t> m_nSaturation{0};
  SharedString m_strPassword;  // never read from or written to the file
  SharedString m_strUsername;
  SharedString m_strServerName;
  std::atomic<std::uint16_t> m_wWebPort{0};
  SharedChars<256> m_szHostName;  // the typed host name after a login resolved it; else empty
  std::atomic<std::int32_t> m_nSubPort{0};
  std::atomic<std::uint16_t> m_wZoomRatio{0};
  std::atomic<std::uint16_t> m_wFrameRate{0};
  std::atomic<std::uint16_t> m_wTargetBitRate{0};
  std::atomic<std::uint16_t> m_wPeakBitRate{0};
  std::atomic<std::uint16_t> m_wControlBitRateType{0};
  std::atomic<std::uint8_t> m_byResolutionType{0};
  std::atomic<std::uint8_t> m_byImageQuality{0};
  std::atomic<std::uint8_t> m_byAlarmAutoSwitchVideo{0};
  std::atomic<std::uint16_t> m_wSearchListHDD{0};
  std::atomic<std::uint8_t> m_bySearchListType{0};
  std::atomic<std::uint16_t> m_wSearchListMaxNumber{0};
  std::atomic<std::uint8_t> m_bySelectedChannel{0};
  std::atomic<std::uint16_t> m_wLastMAC1{0};
  std::atomic<std::uint16_t> m_wLastMAC2{0};
  std::atomic<std::uint8_t> m_byRetrAlarmRecord{0};
  std::atomic<std::uint8_t> m_byAlarmTriggerRecord{0};
  std::atomic<std::uint16_t> m_wAlarmEnableButton{0};
  std::atomic<std::int32_t> m_nAlarmTriggerQuality{0};
  std::atomic<std::int32_t> m_nAlarmTriggerResolution{0};
  std::atomic<std::uint32_t> m_dwTriggerWavPathLoword{0};
  std::atomic<std::uint8_t> m_byTriggerCloseHour{0};
  std::atomic<std::uint8_t> m_byTriggerCloseMin{0};
  std::atomic<std::uint8_t> m_byTriggerCloseDate{0};
  SharedString m_strDesktopPath;
  SharedString m_strRecordPath;
  SharedString m_strSnapshotPath;
  SharedString m_strUpgradeFWPath;
  SharedString m_strUpgradeDVRFWPath;
  SharedString m_strProgramPath;  // always ends in a separator
  SharedString m_strTriggerWavPath;
  SharedString m_strNetworkFileDirectory;
  std::atomic<std::int32_t> m_nDynamicDownload{0};
  std::atomic<std::int32_t> m_nWriteCD{0};
  std::atomic<std::int32_t> m_nWriteCDClose{0};
  std::atomic<std::int32_t> m_nWriteCDAddPlayer{0};  // run-time only, no key
};

// The operator's message when the settings could not be saved in `file`.
std::string SettingsNotSavedText(const std::string& file);

// Path helpers of the settings' folder rules. A path ends in a separator when its last
// character is '/' or '\' (values written by other tools may use either).
bool EndsWithPathSeparator(const std::string& path);
// Appends '/' unless the path already ends in a separator (an empty path becomes "/").
std::string WithTrailingSeparator(const std::string& path);
// Removes exactly one trailing separator when there is one.
std::string WithoutOneTrailingSeparator(const std::string& path);
