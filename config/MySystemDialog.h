// The configuration sheet "System setting": every configuration page of the client, the
// pages that fit the connected model in its tree, and EXIT, APPLY and REBOOT. APPLY runs one
// apply step per page in a fixed order; each acts only when its page has a window (the
// operator opened it) and sends only what changed.
#pragma once
#include <memory>
#include <string>

#include "config/AccountPropertyPage.h"
#include "config/AlarmDataPage.h"
#include "config/AlarmPropertyPage.h"
#include "config/CAlarmTriggerPage.h"
#include "config/CDNSPage.h"
#include "config/CEventPage.h"
#include "config/CK4RPeripheral.h"
#include "config/COnlineUserPage.h"
#include "config/CPeripheralPage.h"
#include "config/CSNTPPage.h"
#include "config/CScheduleRecordPage.h"
#include "config/CSetZududCmdPage.h"
#include "config/CameraPage.h"
#include "config/DVRDatePage.h"
#include "config/DVRRecordPage.h"
#include "config/DetectionPage.h"
#include "config/DevicePage.h"
#include "config/DownloadFilePage.h"
#include "config/FTPPropertyPage.h"
#include "config/MailPropertyPage.h"
#include "config/NetworkConfigPage.h"
#include "config/NetworkSnapshot.h"
#include "config/RecordPage.h"
#include "config/TimerRecordPage.h"
#include "config/ToolBoxPropertyPage.h"
#include "config/TreePropSheet.h"
#include "mainwnd/SystemSheet.h"

class QPushButton;

enum SystemSheetButton : int { IDC_SHEET_EXIT = 8000, IDC_SHEET_APPLY = 8001, IDC_SHEET_REBOOT = 8002 };

class MySystemDialog : public CTreePropSheet, public ISystemSheet {
  Q_OBJECT

 public:
  explicit MySystemDialog(QString caption = QStringLiteral("System setting"), QWidget* parent = nullptr);
  ~MySystemDialog() override;

  // ---- ISystemSheet ----
  bool CreateSheet(QWidget* mainWindow, const QRect& workArea) override;
  bool IsSheetOpen() const override { return m_bOpen; }
  void CloseSheet() override { OnClickOK(); }
  // Closes now; deleted once no handler of the sheet, its pages or their dialogs runs.
  void Release() override;

  int AddConfigPages();
  int SaveOriginalSetting();
  void OnClickApply();
  void OnClickOK();
  void OnClickReboot();
  int DisableSheetButtons();
  int EnableSheetButtons();

  // The apply steps, in the order APPLY runs them. Each does nothing for a page without a
  // window.
  int ApplyAccountPage(AccountPropertyPage& page);
  int ApplyAlarmPage(AlarmPropertyPage& page, CAlarmTriggerPage& retr);
  int ApplyMailPage(MailPropertyPage& page);
  int ApplyFtpPage(FTPPropertyPage& page);
  int ApplyDevicePage(DevicePage& page);
  int ApplyDetectionPage(DetectionPage& page);
  int ApplyCameraPage(CameraPage& page);
  int ApplyDnsPage(CDNSPage& page);
  int ApplyPeripheralPage(CPeripheralPage& page);
  int ApplySntpPage(CSNTPPage& page);
  int ApplyGeneralPage(ToolBoxPropertyPage& page);
  int ApplyTimerRecordPage(TimerRecordPage& page);
  int ApplyDvrDatePage(DVRDatePage& page);
  int ApplyDvrRecordPage(DVRRecordPage& page);
  int ApplyNetworkPage(NetworkConfigPage& page);

  // The time-server page's "Sync Time" ended: its choice goes into the SNTP section (sent
  // when it changed) and counts as the sheet's snapshot from now on.
  plat::LPARAM OnSyncTimeDone();
  // The video-setting page's step (its page is never added, so nothing calls it): 1 when the
  // picture size or the video type changed.
  int ApplyVideoSettingPage(CSetZududCmdPage& page);

  // How the last APPLY ended (tests).
  enum class ApplyEnd { None, Blocked, CheckFailed, Closed };
  ApplyEnd LastApplyEnd() const { return m_lastApplyEnd; }
  // The end code of the last close: 0 EXIT, 3 APPLY.
  int EndCode() const { return m_nEndCode; }
  QPushButton* SheetButton(int id) const;

  // The pages, as members of the sheet (constructed in this order).
  NetworkConfigPage m_NetworkPage;
  MailPropertyPage m_MailPage;
  FTPPropertyPage m_FtpPage;
  AccountPropertyPage m_AccountPage;
  CPeripheralPage m_PeripheralPage;
  ToolBoxPropertyPage m_GeneralPage;
  RecordPage m_FilePathPage;
  AlarmPropertyPage m_AlarmPage;
  CK4RPeripheral m_K4RPeripheralPage;
  CAlarmTriggerPage m_AlarmTriggerPage;
  COnlineUserPage m_OnlineUserPage;
  CScheduleRecordPage m_ScheduleRecordPage;
  AlarmDataPage m_AlarmListPage;
  CSetZududCmdPage m_VideoSettingPage;
  CSNTPPage m_SntpPage;
  CDNSPage m_DnsPage;
  DevicePage m_DevicePage;
  DetectionPage m_DetectionPage;
  CameraPage m_CameraPage;
  DownloadFilePage m_NetworkBackupPage;
  CEventPage m_SearchListPage;
  TimerRecordPage m_TimerRecordPage;
  DVRDatePage m_DatePage;
  DVRRecordPage m_RecordSettingPage;

  int m_fDeviceTableChanged = 0;
  int m_fPeripheralChanged = 0;

  // Snapshot of the time-server, video-setting and timer values (SaveOriginalRecordingSettings).
  std::string m_strOrigSntpServer;
  int m_nOrigZoneIndex = 0;
  std::uint8_t m_byOrigTimeMode = 0;
  std::uint8_t m_byOrigSntpAutomatic = 0;
  int m_nOrigVideoType = 0;
  std::uint16_t m_wOrigFrameWidth = 0;
  std::uint16_t m_wOrigFrameHeight = 0;
  int m_nOrigQuality = 0;
  int m_nOrigVideoRate = 0;
  std::uint8_t m_byOrigTimerDay[7] = {};
  std::uint16_t m_wOrigTimerStart[7] = {};
  std::uint16_t m_wOrigTimerEnd[7] = {};
  // The network, DDNS, mail, FTP and account settings as the sheet opened.
  NetworkSnapshot m_origNetwork;
  // Snapshot of the alarm, peripheral and general pages' values at the sheet's opening.
  int m_nOrigAlarmDuration = 0;
  std::uint8_t m_byOrigPostNumber = 0;
  std::uint8_t m_byOrigAlarmImageSize = 0, m_byOrigAlarmMethod = 0, m_byOrigAlarmVideoSource = 0;
  int m_nOrigPeriBaud1 = 0, m_nOrigPeriModel1 = 0, m_nOrigPeriId2 = 0, m_nOrigPeriId1 = 0, m_nOrigPeriModel2 = 0,
      m_nOrigPeriBaud2 = 0;
  std::string m_strOrigDeviceName, m_strOrigChannelName1, m_strOrigChannelName2;
  // The device table rebuilt after APPLY from PERI (peripherals changed) or RS485 (devices).
  void RebuildControlTableFromPeri();
  void RebuildControlTableFromRs485();

 protected:
  bool OnInitDialog() override;
  void closeEvent(QCloseEvent* event) override;
  // Enter and Esc close nothing.
  void OnOK() override {}
  void OnCancel() override {}

 private:
  // SaveOriginalSetting in three parts, each beside the apply steps that compare with it.
  void SaveOriginalNetworkSettings();    // network, DDNS, mail, FTP, account
  void SaveOriginalDeviceSettings();     // alarm, peripherals, general, device titles
  void SaveOriginalRecordingSettings();  // time server, video setting, timer slots
  void CloseWithCode(int code);
  void StoreClientSettings();
  bool m_bOpen = false;
  int m_nEndCode = -1;
  ApplyEnd m_lastApplyEnd = ApplyEnd::None;
  QPushButton* m_btnExit = nullptr;
  QPushButton* m_btnApply = nullptr;
  QPushButton* m_btnReboot = nullptr;
};

// The factory the program registers at start-up (SetSystemSheetFactory).
class SystemSheetFactory : public ISystemSheetFactory {
 public:
  ISystemSheet* NewSystemSheet() override;
};
