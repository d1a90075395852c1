#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/AppRecord.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "core/SettingINI.h"
#include "core/TraceLog.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("HOME", dir.Folder().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir.Folder() + "config").c_str(), 1);
    plat::SetProgramFolder(dir.Folder());
    previous = plat::SetMessageBoxHandler(
        [this](plat::HWND, const std::string& text, const std::string&, unsigned) {
          shown.push_back(text);
          return plat::IDOK;
        });
    record = std::make_unique<AppRecord>();
    record->ApplyStartValues();
    g_lpApp = record.get();
  }
  void TearDown() override {
    g_lpApp = nullptr;
    plat::SetMessageBoxHandler(previous);
    plat::SetProgramFolder("");
  }
  std::string IniPath() const { return dir.Folder() + "Setting.ini"; }
  std::string Raw(const std::string& key) const {
    return plat::GetPrivateProfileString("Ovistra", key, "<absent>", IniPath());
  }
  CSettingINI& S() { return record->CSettingINI; }

  TempDir dir;
  std::unique_ptr<AppRecord> record;
  plat::MessageBoxHandler previous;
  std::vector<std::string> shown;
};

TEST_F(SettingsTest, DefaultsWithoutFile) {
  ASSERT_EQ(S().LoadSetting(), 1);
  const std::string desktop = plat::DesktopFolder();
  ASSERT_FALSE(desktop.empty());
  EXPECT_EQ(S().m_strServerName.Get(), "192.168.1.10");
  EXPECT_EQ(S().m_wWebPort, 80);
  EXPECT_EQ(S().m_strUsername.Get(), "vexor");
  EXPECT_EQ(S().m_nImageResolution, 1);
  EXPECT_EQ(S().m_nContrast, 96);
  EXPECT_EQ(S().m_nBrightness, 0);
  EXPECT_EQ(S().m_nSaturation, 0);
  EXPECT_EQ(S().m_nSubPort, 8888);
  EXPECT_EQ(S().m_wZoomRatio, 100);
  EXPECT_EQ(S().m_wFrameRate, 30);
  EXPECT_EQ(S().m_wTargetBitRate, 400);
  EXPECT_EQ(S().m_wPeakBitRate, 450);
  EXPECT_EQ(S().m_wControlBitRateType, 1);
  EXPECT_EQ(S().m_byResolutionType, 3);
  EXPECT_EQ(S().m_bySelectedChannel, 1);
  EXPECT_EQ(S().m_wLastMAC1, 255);
  EXPECT_EQ(S().m_wLastMAC2, 255);
  EXPECT_EQ(S().m_byAlarmTriggerRecord, 1);
  EXPECT_EQ(S().m_byRetrAlarmRecord, 1);
  EXPECT_EQ(S().m_wAlarmEnableButton, 3);
  EXPECT_EQ(record->by_TurboRepeatStep, 5);
  EXPECT_EQ(S().m_wSearchListMaxNumber, 128);
  EXPECT_EQ(S().m_nAlarmTriggerResolution, 1);
  EXPECT_EQ(S().m_nAlarmTriggerQuality, 0);
  EXPECT_EQ(S().m_byAlarmAutoSwitchVideo, 0);
  EXPECT_EQ(S().m_strDesktopPath.Get(), desktop);
  EXPECT_EQ(S().m_strRecordPath.Get(), desktop);
  EXPECT_EQ(S().m_strSnapshotPath.Get(), desktop);
  EXPECT_EQ(S().m_strUpgradeFWPath.Get(), desktop + "/");
  EXPECT_EQ(S().m_strUpgradeDVRFWPath.Get(), desktop);
  EXPECT_EQ(S().m_strNetworkFileDirectory.Get(), desktop);
  EXPECT_EQ(S().m_strProgramPath.Get(), dir.Folder());
  EXPECT_EQ(S().m_strTriggerWavPath.Get(), dir.Folder() + "alarm.wav");
  EXPECT_EQ(S().m_strPassword.Get(), "vexor");
  // The record folder (the Desktop) was created, and nothing was shown.
  EXPECT_TRUE(plat::DirectoryExists(desktop));
  EXPECT_TRUE(shown.empty());
  // Loading writes nothing.
  EXPECT_FALSE(plat::FileExists(IniPath()));
}

TEST_F(SettingsTest, FolderSeparatorRules) {
  struct Case {
    const char* fw;
    const char* fwLoaded;
    const char* dvr;
    const char* dvrLoaded;
  };
  const Case cases[] = {
      {"/data/fw", "/data/fw/", "/data/dvr/", "/data/dvr"},
      {"/data/fw/", "/data/fw/", "/data/dvr//", "/data/dvr/"},
      {"D:\\fw", "D:\\fw/", "D:\\dvr\\", "D:\\dvr"},
      {"D:\\fw\\", "D:\\fw\\", "D:\\dvr", "D:\\dvr"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fw);
    TempDir::Write(IniPath(), std::string("[Ovistra]\nUpgrade FW Path=") + c.fw + "\nUpgrade DVR FW Path=" +
                             c.dvr + "\n");
    CSettingINI s;
    s.LoadSetting();
    EXPECT_EQ(s.m_strUpgradeFWPath.Get(), c.fwLoaded);
    EXPECT_EQ(s.m_strUpgradeDVRFWPath.Get(), c.dvrLoaded);
  }
}

TEST_F(SettingsTest, EmptyFolderKeysFallBackToDesktop) {
  TempDir::Write(IniPath(), "[Ovistra]\nRecord Path=\nSnapshot Path=\n");
  S().LoadSetting();
  EXPECT_EQ(S().m_strRecordPath.Get(), plat::DesktopFolder());
  EXPECT_EQ(S().m_strSnapshotPath.Get(), plat::DesktopFolder());
}

TEST_F(SettingsTest, IntegersAreCutToMemberWidth) {
  TempDir::Write(IniPath(),
            "[Ovistra]\nSelected Channel=257\nServerPort=70000\nTurbo repeat step=261\n"
            "Last Connection MAC1=65537\nAlarm Trigger Record=512\nSub Port Number=-5\n"
            "RETR Alarm Record=0\nImage Resolution=2abc\nTrigger Wav Path LOWORD=4294967295\n");
  S().LoadSetting();
  EXPECT_EQ(S().m_bySelectedChannel, 1);
  EXPECT_EQ(S().m_wWebPort, 4464);
  EXPECT_EQ(record->by_TurboRepeatStep, 5);
  EXPECT_EQ(S().m_wLastMAC1, 1);
  EXPECT_EQ(S().m_byAlarmTriggerRecord, 0);
  EXPECT_EQ(S().m_nSubPort, -5);
  EXPECT_EQ(S().m_byRetrAlarmRecord, 1);  // the file's value is never read
  EXPECT_EQ(S().m_nImageResolution, 2);
  EXPECT_EQ(S().m_dwTriggerWavPathLoword, 4294967295u);
}

TEST_F(SettingsTest, TextsAreCutTo255Characters) {
  const std::string longText(300, 'u');
  const std::string longFolder = dir.Folder() + std::string(300, 'f');
  TempDir::Write(IniPath(), "[Ovistra]\nUsername=" + longText + "\nServer Name=" + longText +
                           "\nNetwork File Directory=" + longFolder + "\n");
  S().LoadSetting();
  EXPECT_EQ(S().m_strUsername.Get(), std::string(255, 'u'));
  EXPECT_EQ(S().m_strServerName.Get(), std::string(255, 'u'));
  EXPECT_EQ(S().m_strNetworkFileDirectory.Get(), longFolder.substr(0, 255));
}

TEST_F(SettingsTest, SaveWritesValuesAndKeepsForeignLines) {
  TempDir::Write(IniPath(),
            "; operator notes\n[Ovistra]\nLANGUAGE=7\nRETR Alarm Record=0\nServerPort=81\n"
            "Enable_ALARM=1\n[Other]\nkey=value\n");
  S().LoadSetting();
  S().m_strPassword = "s3cret-pass";
  S().m_dwTriggerWavPathLoword = 4294967295u;
  S().m_nBrightness = -7;
  S().m_wWebPort = 8080;
  S().m_strServerName = "10.0.0.5";
  S().m_szHostName.Set("recorder.local");
  record->by_TurboRepeatStep = 12;
  ASSERT_EQ(S().SaveSetting(), 1);

  const std::string text = TempDir::Read(IniPath());
  EXPECT_EQ(text.find("s3cret-pass"), std::string::npos);
  EXPECT_EQ(text.find("Password"), std::string::npos);
  EXPECT_NE(text.find("; operator notes"), std::string::npos);
  EXPECT_EQ(Raw("LANGUAGE"), "7");
  EXPECT_EQ(Raw("Enable_ALARM"), "1");
  EXPECT_EQ(plat::GetPrivateProfileString("Other", "key", "", IniPath()), "value");
  EXPECT_EQ(Raw("RETR Alarm Record"), "1");
  EXPECT_EQ(Raw("Trigger Wav Path LOWORD"), "4294967295");
  EXPECT_EQ(Raw("brightness"), "-7");
  EXPECT_EQ(Raw("ServerPort"), "8080");
  EXPECT_EQ(Raw("Server Name"), "recorder.local");  // the typed host name, not the address
  EXPECT_EQ(Raw("Turbo repeat step"), "12");
  EXPECT_EQ(Raw("Image Quility"), "0");  // the key keeps its historic spelling
  EXPECT_EQ(Raw("AvSwitch Option"), "<absent>");
}

// A settings file that cannot be replaced (here a folder stands in its place) fails the save,
// says so in the trace log and stays as it was.
TEST_F(SettingsTest, ASaveThatCannotWriteIsTracedAndReported) {
  S().LoadSetting();
  TraceLog_Init(300, dir.Folder());
  ASSERT_TRUE(plat::CreateDirectories(IniPath() + "/inside"));
  EXPECT_EQ(S().SaveSetting(), 0);
  EXPECT_TRUE(plat::DirectoryExists(IniPath() + "/inside"));
  EXPECT_NE(TempDir::Read(dir.Folder() + "trace.log").find("SaveSetting failed"), std::string::npos);
  // The windows' save tells the operator; a save that works says nothing.
  {
    MessageBoxRecorder boxes;
    EXPECT_EQ(S().SaveSettingOrTell(0), 0);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{SettingsNotSavedText(IniPath())});
    EXPECT_NE(boxes.Texts()[0].find(IniPath()), std::string::npos);
  }
  ASSERT_TRUE(std::filesystem::remove_all(IniPath()) > 0);
  MessageBoxRecorder boxes;
  EXPECT_EQ(S().SaveSettingOrTell(0), 1);
  EXPECT_TRUE(boxes.Texts().empty());
  TraceLog_Close();
}

TEST_F(SettingsTest, SavedFileLoadsBackTheSameValues) {
  S().LoadSetting();
  S().m_strUsername = "operator";
  S().m_strServerName = "192.168.7.20";
  S().m_bySelectedChannel = 9;
  S().m_nAlarmTriggerQuality = 2;
  S().m_strRecordPath = dir.Folder() + "rec";
  S().m_strSnapshotPath = dir.Folder() + "shots/";
  S().m_wSearchListHDD = 3;
  S().m_nWriteCDClose = 1;
  S().SaveSetting();

  CSettingINI again;
  again.LoadSetting();
  EXPECT_EQ(again.m_strUsername.Get(), "operator");
  EXPECT_EQ(again.m_strServerName.Get(), "192.168.7.20");
  EXPECT_EQ(again.m_bySelectedChannel, 9);
  EXPECT_EQ(again.m_nAlarmTriggerQuality, 2);
  EXPECT_EQ(again.m_strRecordPath.Get(), dir.Folder() + "rec");
  EXPECT_EQ(again.m_strSnapshotPath.Get(), dir.Folder() + "shots/");
  EXPECT_EQ(again.m_wSearchListHDD, 3);
  EXPECT_EQ(again.m_nWriteCDClose, 1);
  EXPECT_EQ(again.m_strPassword.Get(), "vexor");  // never read from the file
  // Both folders are made at load.
  EXPECT_TRUE(plat::DirectoryExists(dir.Folder() + "rec"));
  EXPECT_TRUE(plat::DirectoryExists(dir.Folder() + "shots"));
}

TEST_F(SettingsTest, TextsReadBackAsWritten) {
  S().LoadSetting();
  S().m_strUsername = " padded user ";
  S().m_strRecordPath = "\"quoted\"";
  S().m_strSnapshotPath = dir.Folder() + "two\nlines";
  S().m_strNetworkFileDirectory = "";
  S().SaveSetting();
  CSettingINI again;
  again.LoadSetting();
  EXPECT_EQ(again.m_strUsername.Get(), " padded user ");
  EXPECT_EQ(again.m_strRecordPath.Get(), "\"quoted\"");
  // A line break cannot be kept; the rest of the text is, and no key is forged from it.
  EXPECT_EQ(again.m_strSnapshotPath.Get(), dir.Folder() + "twolines");
  EXPECT_EQ(Raw("lines"), "<absent>");
  EXPECT_EQ(Raw("Network File Directory"), "");
}

TEST(SettingKeys, TableSpellings) {
  CSettingINI s;
  EXPECT_EQ(s.m_strSection, "Ovistra");
  const std::pair<int, const char*> keys[] = {
      {KEY_IMAGE_QUALITY, "Image Quility"},       {KEY_SERVER_PORT, "ServerPort"},
      {KEY_TURBO_REPEAT_STEP, "Turbo repeat step"}, {KEY_BRIGHTNESS, "brightness"},
      {KEY_UNNAMED_17, ""},                       {KEY_TRIGGER_CLOSE_DATE, "Trigger Close Time date"},
      {KEY_ALARM_AUDIO_NEW_PATH, "Alarm Audio New Path III"},
      {KEY_ALARM_AUTO_SWITCH_VIDEO, "Alarm auto switch video"},
      {KEY_WRITE_CD_CLOSE, "Write CD Close Option"},
  };
  for (const auto& [index, name] : keys) EXPECT_EQ(s.m_strKeyName[index], name) << index;
}

TEST(SettingPaths, SeparatorHelpers) {
  EXPECT_EQ(WithTrailingSeparator(""), "/");
  EXPECT_EQ(WithTrailingSeparator("a"), "a/");
  EXPECT_EQ(WithTrailingSeparator("a\\"), "a\\");
  EXPECT_EQ(WithoutOneTrailingSeparator("a//"), "a/");
  EXPECT_EQ(WithoutOneTrailingSeparator(""), "");
}

}  // namespace
