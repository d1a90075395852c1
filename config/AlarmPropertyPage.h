// The "Alarm" page of the configuration sheet: alarm method, picture size, duration and video source.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

class AlarmPropertyPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  enum : int {
    IDC_ENABLE = 1292,
    IDC_DISABLE = 1293,
    IDC_DURATION = 1294,
    IDC_POST_NUMBER = 1296,
    IDC_EMAIL = 1318,
    IDC_FTP = 1319,
    IDC_RES_160 = 1320,
    IDC_RES_320 = 1321,
    IDC_RES_VGA = 1322,
    IDC_SOURCE_GROUP = 1355,
    IDC_RECORD_LABEL = 1440,
    IDC_RECORD_ON = 1441,
    IDC_RECORD_OFF = 1442,
    IDC_AUTO_SWITCH = 1461,
    IDC_CH1_SOURCE_LABEL = 1476,
    IDC_CH2_SOURCE_LABEL = 1477,
    IDC_SOURCE_FIRST = 1478,  // 1478..1485: CH1 and CH2 radio of source 1, then of source 2, ...
    IDC_ALARM_REFRESH = 1068,
    // Made but never shown: the alarm sound's file and switch, and two channel buttons.
    IDC_SOUND_PATH = 1040,
    IDC_SOUND_CHECK = 1336,
    IDC_SOUND_LOAD = 1337,
    IDC_CH1_BUTTON = 1443,
    IDC_CH2_BUTTON = 1444,
  };

  explicit AlarmPropertyPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Alarm"), parent) {}

  int m_nAlarmDuration = -1;
  int m_nPostNumber = -1;
  std::uint8_t m_byAlarmImageSize = 3;  // 3 160*120, 2 320*240, 1 VGA; the page starts from ALARM
  std::uint8_t m_byAlarmMethod = 1;     // 0 off, 1 e-mail, 2 FTP, 3 both
  std::uint8_t m_byAlarmTriggerRecord = 0;    // "Alarm Trigger Record"
  std::uint8_t m_byAlarmVideoSource = 0;      // bit k set: source k + 1 on CH2
  std::uint8_t m_byAlarmAutoSwitchVideo = 0;  // the stored setting until the page says otherwise
  std::string m_strAlarmSoundPath;  // the hidden sound-file box
  int m_nAlarmSound = 0;            // the hidden sound switch

  void DoDataExchange(ui::DataExchange& dx) override;

  void OnRadioEnable();
  void OnRadioDisable();
  void OnCheckEmail();
  void OnCheckFtp();
  void OnRadioResolution(std::uint8_t size);
  void OnRadioRecord(std::uint8_t on);
  void OnCheckAutoSwitch();
  void OnButtonAlarmRefresh();
  void OnVideoSource(int source, bool ch2);
  // Asks for a wave file; a confirmed, non-empty choice becomes the sound path.
  void OnButtonLoad();
  void OnCheckAlarmSound();

 protected:
  bool OnInitDialog() override;

 private:
  void SetChecked(int id, bool on);
  void ShowMethod();
  void ShowSources();
  void EnableMethodControls(bool on);
};
