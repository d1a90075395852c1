#include "core/SettingINI.h"

#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/RecordState.h"
#include "core/Strings.h"
#include "core/TraceLog.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/registry.h"

const char* const kSettingKeyNames[KEY_COUNT] = {
    "Ovistra",                   // 0: the section
    "LANGUAGE",                  // 1
    "Image Quility",             // 2
    "ServerPort",                // 3
    "Image Resolution",          // 4
    "Turbo repeat step",         // 5
    "Username",                  // 6
    "brightness",                // 7
    "contrast",                  // 8
    "saturation",                // 9
    "AvSwitch Option",           // 10
    "RETR Alarm Record",         // 11
    "Enable_ALARM",              // 12
    "ALARM_DURATION",            // 13
    "Server Name",               // 14
    "Sub Port Number",           // 15
    "Network File Directory",    // 16
    "",                          // 17
    "Zoom Ratio",                // 18
    "Frame Rate",                // 19
    "Target Bit Rate",           // 20
    "Peak Bit Rate",             // 21
    "Control Bit Rate Type",     // 22
    "Resolution Type",           // 23
    "Selected Channel",          // 24
    "Dynamic Download Option",   // 25
    "Write CD Option",           // 26
    "Record Path",               // 27
    "Snapshot Path",             // 28
    "Upgrade FW Path",           // 29
    "Last Connection MAC1",      // 30
    "Last Connection MAC2",      // 31
    "Alarm Trigger Record",      // 32
    "Alarm Trigger Audio",       // 33
    "Alarm Audio New Path III",  // 34
    "Alarm Enable Button",       // 35
    "Alarm Trigger Quality",     // 36
    "Alarm Trigger Resolution",  // 37
    "Trigger Wav Path",          // 38
    "Trigger Wav Path LOWORD",   // 39
    "Trigger Close Time Hour",   // 40
    "Trigger Close Time Min",    // 41
    "Trigger Close Time date",   // 42
    "Search List HDD",           // 43
    "Search List Type",          // 44
    "Search List Max Number",    // 45
    "Upgrade DVR FW Path",       // 46
    "Alarm auto switch video",   // 47
    "Write CD Close Option",     // 48
};

namespace {

// Values longer than this are cut (the profile reads through a 256-byte buffer).
constexpr std::size_t kMaxValueLength = 255;

constexpr const char* kDefaultUser = "vexor";
constexpr const char* kDefaultServer = "192.168.1.10";

// A text as a profile value that reads back the same: line breaks cannot be stored (they
// would end the line) and are dropped; a value with surrounding blanks, or one that is itself
// in double quotes, is written in quotes because reading strips blanks and one pair of quotes.
std::string ProfileValue(const std::string& text) {
  std::string v;
  v.reserve(text.size() + 2);
  for (char c : text) {
    if (c != '\r' && c != '\n') v.push_back(c);
  }
  if (v.empty()) return v;
  const bool blankEdge = v.front() == ' ' || v.front() == '\t' || v.back() == ' ' || v.back() == '\t';
  const bool quoted = v.size() >= 2 && v.front() == '"' && v.back() == '"';
  return (blankEdge || quoted) ? "\"" + v + "\"" : v;
}

}  // namespace

bool EndsWithPathSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

std::string WithTrailingSeparator(const std::string& path) {
  return EndsWithPathSeparator(path) ? path : path + "/";
}

std::string WithoutOneTrailingSeparator(const std::string& path) {
  return EndsWithPathSeparator(path) ? path.substr(0, path.size() - 1) : path;
}

CSettingINI::CSettingINI() : m_strSection(kSettingSection) {
  for (int i = 0; i < KEY_COUNT; ++i) m_strKeyName[i] = kSettingKeyNames[i];
  m_strUsername.Set(kDefaultUser);
  m_strPassword.Set(kDefaultUser);
  m_strServerName.Set(kDefaultServer);
  m_wWebPort = 80;
  m_nSubPort = 8888;
  m_wZoomRatio = 100;
  m_nContrast = 96;
  m_nBrightness = 0;
  m_nSaturation = 0;
  m_nImageResolution = 0;
}

CSettingINI::~CSettingINI() = default;

std::string CSettingINI::SettingFilePath() const {
  return WithTrailingSeparator(m_strProgramPath.Get()) + kSettingFileName;
}

int CSettingINI::LoadSetting() {
  m_strProgramPath.Set(WithTrailingSeparator(plat::ProgramFolder()));
  const std::string file = SettingFilePath();
  const std::string& sec = m_strSection;

  auto readInt = [&](int key, int def) {
    return plat::GetPrivateProfileInt(sec, m_strKeyName[key], def, file);
  };
  auto readStr = [&](int key, const std::string& def) {
    std::string v = plat::GetPrivateProfileString(sec, m_strKeyName[key], def, file);
    if (v.size() > kMaxValueLength) v.resize(kMaxValueLength);
    return v;
  };
  // Each integer is kept at its member's width (an 8-bit member keeps the low 8 bits).
  auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
  auto u16 = [](int v) { return static_cast<std::uint16_t>(v); };

  m_nBrightness = readInt(KEY_BRIGHTNESS, m_nBrightness);
  m_nContrast = readInt(KEY_CONTRAST, m_nContrast);
  m_nSaturation = readInt(KEY_SATURATION, m_nSaturation);
  m_nImageResolution = readInt(KEY_IMAGE_RESOLUTION, 1);
  m_strUsername.Set(readStr(KEY_USERNAME, m_strUsername.Get()));
  m_strServerName.Set(readStr(KEY_SERVER_NAME, kDefaultServer));
  m_wWebPort = u16(readInt(KEY_SERVER_PORT, m_wWebPort));
  m_nSubPort = readInt(KEY_SUB_PORT, m_nSubPort);
  m_wZoomRatio = u16(readInt(KEY_ZOOM_RATIO, 100));
  m_wFrameRate = u16(readInt(KEY_FRAME_RATE, 30));
  m_wTargetBitRate = u16(readInt(KEY_TARGET_BIT_RATE, 400));
  m_wPeakBitRate = u16(readInt(KEY_PEAK_BIT_RATE, 450));
  m_wControlBitRateType = u16(readInt(KEY_CONTROL_BIT_RATE_TYPE, 1));
  m_byResolutionType = u8(readInt(KEY_RESOLUTION_TYPE, 3));
  m_byImageQuality = u8(readInt(KEY_IMAGE_QUALITY, 0));
  m_bySelectedChannel = u8(readInt(KEY_SELECTED_CHANNEL, 1));
  m_nDynamicDownload = readInt(KEY_DYNAMIC_DOWNLOAD, 0);
  m_nWriteCD = readInt(KEY_WRITE_CD, 0);
  m_nWriteCDClose = readInt(KEY_WRITE_CD_CLOSE, 0);
  m_wLastMAC1 = u16(readInt(KEY_LAST_MAC1, 255));
  m_wLastMAC2 = u16(readInt(KEY_LAST_MAC2, 255));
  m_byAlarmTriggerRecord = u8(readInt(KEY_ALARM_TRIGGER_RECORD, 1));
  m_wAlarmEnableButton = u16(readInt(KEY_ALARM_ENABLE_BUTTON, 3));

  // The R.E.T.R. switch always starts on; the file's value is not read.
  m_byRetrAlarmRecord = 1;
  const std::uint8_t turbo = u8(readInt(KEY_TURBO_REPEAT_STEP, 5));
  if (ICoreRecord* r = CoreRecord()) r->TurboRepeatStep() = turbo;

  m_wSearchListHDD = u16(readInt(KEY_SEARCH_LIST_HDD, 0));
  m_bySearchListType = u8(readInt(KEY_SEARCH_LIST_TYPE, 0));
  m_wSearchListMaxNumber = u16(readInt(KEY_SEARCH_LIST_MAX, 128));
  m_nAlarmTriggerQuality = readInt(KEY_ALARM_TRIGGER_QUALITY, 0);
  m_nAlarmTriggerResolution = readInt(KEY_ALARM_TRIGGER_RESOLUTION, 1);
  m_dwTriggerWavPathLoword = static_cast<std::uint32_t>(readInt(KEY_TRIGGER_WAV_PATH_LOWORD, 0));
  m_byTriggerCloseHour = u8(readInt(KEY_TRIGGER_CLOSE_HOUR, 0));
  m_byTriggerCloseMin = u8(readInt(KEY_TRIGGER_CLOSE_MIN, 0));
  m_byTriggerCloseDate = u8(readInt(KEY_TRIGGER_CLOSE_DATE, 0));
  m_byAlarmAutoSwitchVideo = u8(readInt(KEY_ALARM_AUTO_SWITCH_VIDEO, 0));

  // The Desktop folder is the default of every folder key. Without one the operator is told
  // and the folders stay as they are (empty at start-up).
  const std::string desktop = plat::DesktopFolder();
  if (desktop.empty()) {
    MessageBoxById(0, IDS_READ_DESKTOP_PATH_ERROR, plat::MB_OK);
  } else {
    m_strDesktopPath.Set(desktop);
  }
  const std::string desk = m_strDesktopPath.Get();

  m_strRecordPath.Set(readStr(KEY_RECORD_PATH, desk));
  m_strSnapshotPath.Set(readStr(KEY_SNAPSHOT_PATH, desk));
  m_strUpgradeFWPath.Set(readStr(KEY_UPGRADE_FW_PATH, desk));
  m_strUpgradeDVRFWPath.Set(readStr(KEY_UPGRADE_DVR_FW_PATH, desk));
  // A drive letter means nothing here: the network downloads default to the Desktop too.
  m_strNetworkFileDirectory.Set(readStr(KEY_NETWORK_FILE_DIRECTORY, desk));

  m_strUpgradeFWPath.Set(WithTrailingSeparator(m_strUpgradeFWPath.Get()));
  m_strUpgradeDVRFWPath.Set(WithoutOneTrailingSeparator(m_strUpgradeDVRFWPath.Get()));

  const std::string wavDefault = m_strProgramPath.Get() + "alarm.wav";
  m_strTriggerWavPath.Set(readStr(KEY_TRIGGER_WAV_PATH, wavDefault));

  if (m_strRecordPath.Empty()) m_strRecordPath.Set(desk);
  if (m_strSnapshotPath.Empty()) m_strSnapshotPath.Set(desk);

  // One level each; an existing folder or a failure is of no consequence here.
  for (const std::string& folder : {m_strRecordPath.Get(), m_strSnapshotPath.Get()}) {
    if (!folder.empty()) ::mkdir(plat::MapPath(folder).c_str(), 0755);
  }
  return 1;
}

int CSettingINI::SaveSetting() {
  // Every key is gathered first and the file is then rewritten once.
  std::vector<plat::ProfileEntry> keys;
  keys.reserve(KEY_COUNT);
  auto put = [&](int key, const std::string& value) { keys.push_back({m_strKeyName[key], ProfileValue(value)}); };
  auto putInt = [&](int key, long long value) { put(key, std::to_string(value)); };

  putInt(KEY_BRIGHTNESS, m_nBrightness);
  putInt(KEY_CONTRAST, m_nContrast);
  putInt(KEY_SATURATION, m_nSaturation);
  putInt(KEY_IMAGE_RESOLUTION, m_nImageResolution);
  put(KEY_USERNAME, m_strUsername.Get());
  const std::string host = m_szHostName.Text();
  put(KEY_SERVER_NAME, host.empty() ? m_strServerName.Get() : host);
  putInt(KEY_SERVER_PORT, m_wWebPort);
  putInt(KEY_SUB_PORT, m_nSubPort);
  putInt(KEY_ZOOM_RATIO, m_wZoomRatio);
  putInt(KEY_FRAME_RATE, m_wFrameRate);
  putInt(KEY_TARGET_BIT_RATE, m_wTargetBitRate);
  putInt(KEY_PEAK_BIT_RATE, m_wPeakBitRate);
  putInt(KEY_CONTROL_BIT_RATE_TYPE, m_wControlBitRateType);
  putInt(KEY_RESOLUTION_TYPE, m_byResolutionType);
  putInt(KEY_IMAGE_QUALITY, m_byImageQuality);
  putInt(KEY_SELECTED_CHANNEL, m_bySelectedChannel);
  putInt(KEY_DYNAMIC_DOWNLOAD, m_nDynamicDownload);
  putInt(KEY_WRITE_CD, m_nWriteCD);
  putInt(KEY_WRITE_CD_CLOSE, m_nWriteCDClose);
  putInt(KEY_LAST_MAC1, m_wLastMAC1);
  putInt(KEY_LAST_MAC2, m_wLastMAC2);
  putInt(KEY_ALARM_TRIGGER_RECORD, m_byAlarmTriggerRecord);
  putInt(KEY_RETR_ALARM_RECORD, m_byRetrAlarmRecord);
  putInt(KEY_ALARM_ENABLE_BUTTON, m_wAlarmEnableButton);
  {
    ICoreRecord* r = CoreRecord();
    putInt(KEY_TURBO_REPEAT_STEP, r ? r->TurboRepeatStep().load() : 5);
  }
  putInt(KEY_ALARM_TRIGGER_QUALITY, m_nAlarmTriggerQuality);
  putInt(KEY_ALARM_TRIGGER_RESOLUTION, m_nAlarmTriggerResolution);
  putInt(KEY_TRIGGER_WAV_PATH_LOWORD, m_dwTriggerWavPathLoword);
  putInt(KEY_TRIGGER_CLOSE_HOUR, m_byTriggerCloseHour);
  putInt(KEY_TRIGGER_CLOSE_MIN, m_byTriggerCloseMin);
  putInt(KEY_TRIGGER_CLOSE_DATE, m_byTriggerCloseDate);
  putInt(KEY_ALARM_AUTO_SWITCH_VIDEO, m_byAlarmAutoSwitchVideo);
  putInt(KEY_SEARCH_LIST_HDD, m_wSearchListHDD);
  putInt(KEY_SEARCH_LIST_TYPE, m_bySearchListType);
  putInt(KEY_SEARCH_LIST_MAX, m_wSearchListMaxNumber);
  put(KEY_RECORD_PATH, m_strRecordPath.Get());
  put(KEY_SNAPSHOT_PATH, m_strSnapshotPath.Get());
  put(KEY_UPGRADE_FW_PATH, m_strUpgradeFWPath.Get());
  put(KEY_UPGRADE_DVR_FW_PATH, m_strUpgradeDVRFWPath.Get());
  put(KEY_TRIGGER_WAV_PATH, m_strTriggerWavPath.Get());
  put(KEY_NETWORK_FILE_DIRECTORY, m_strNetworkFileDirectory.Get());
  const std::string file = SettingFilePath();
  if (!plat::WritePrivateProfileKeys(m_strSection, keys, file)) {
    TraceLog_Append("SaveSetting failed: " + file);
    return 0;
  }
  return 1;
}

int CSettingINI::SaveSettingOrTell(plat::HWND owner) {
  if (SaveSetting()) return 1;
  plat::MessageBox(owner, SettingsNotSavedText(SettingFilePath()), "", plat::MB_OK | plat::MB_ICONWARNING);
  return 0;
}

std::string SettingsNotSavedText(const std::string& file) {
  return "The settings could not be saved in " + file + ".";
}
