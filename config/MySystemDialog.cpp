#include "config/MySystemDialog.h"

#include <QCloseEvent>
#include <QPushButton>

#include "config/PageModel.h"
#include "engine/AppRecord.h"
#include "core/Messages.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "session/SheetCommands.h"
#include "session/SearchList.h"
#include "session/Sections.h"

namespace {


}  // namespace

ISystemSheet* SystemSheetFactory::NewSystemSheet() {
  auto* sheet = new MySystemDialog(QString::fromLatin1(LoadStr(IDS_SYSTEM_SETTING)));
  // The client's own settings the pages show.
  if (pagemodel::IModel* model = pagemodel::Current()) {
    sheet->m_FilePathPage.m_strRecordPath = model->Settings().m_strRecordPath.Get();
    sheet->m_FilePathPage.m_strSnapshotPath = model->Settings().m_strSnapshotPath.Get();
    sheet->m_FilePathPage.m_strTriggerWavPath = model->Settings().m_strTriggerWavPath.Get();
    sheet->m_GeneralPage.m_nTurboRepeat = model->TurboRepeatStep().load() - 1;
    sheet->m_AlarmPage.m_byAlarmTriggerRecord = model->Settings().m_byAlarmTriggerRecord.load();
    sheet->m_AlarmPage.m_byAlarmAutoSwitchVideo = model->Settings().m_byAlarmAutoSwitchVideo.load();
    sheet->m_AlarmTriggerPage.m_byRecord = model->Settings().m_byRetrAlarmRecord.load();
  }
  return sheet;
}

MySystemDialog::MySystemDialog(QString caption, QWidget* parent) : CTreePropSheet(std::move(caption), parent) {
  AddConfigPages();
  OnCommand(IDC_SHEET_EXIT, [this] { OnClickOK(); });
  OnCommand(IDC_SHEET_APPLY, [this] { OnClickApply(); });
  OnCommand(IDC_SHEET_REBOOT, [this] { OnClickReboot(); });
  OnMessage(WM_SYNCTIMEDONE, [this](plat::WPARAM, plat::LPARAM) { return OnSyncTimeDone(); });
  // A recording picked in the search list: the backup page comes forward with it.
  sl::g_PendingBackup.Clear();
  OnMessage(msg::WM_OPENNETWORKBACKUP, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    const int index = GetPageIndex(&m_NetworkBackupPage);
    if (index >= 0 && SetActivePage(index)) SelectPageItem(index);
    return 0;
  });
}

MySystemDialog::~MySystemDialog() {
  StopProgressWorker();
  if (g_lpApp && m_bOpen) g_lpApp->f_SystemDialogOpen.exchange(0);
  // Deleted with the main window (its Qt parent): the record must not keep a dangling sheet.
  if (g_lpApp) g_lpApp->lp_SystemDialog.compare_exchange(this, nullptr);
  // The pages are our members: out of the sheet before they go.
  ForgetPages();
}

int MySystemDialog::AddConfigPages() {
  const std::string id = pagemodel::ProductId();
  std::vector<ui::PropertyPage*> pages;
  if (IsModelFamilyK41(id)) {
    pages = {&m_NetworkPage, &m_DnsPage, &m_MailPage, &m_FtpPage, &m_CameraPage, &m_DevicePage, &m_DetectionPage,
             &m_NetworkBackupPage, &m_SearchListPage, &m_TimerRecordPage, &m_DatePage, &m_RecordSettingPage,
             &m_AlarmPage};
    pagemodel::IModel* model = pagemodel::Current();
    if (model && model->Devices().FindSpecialType() == 1) pages.push_back(&m_AlarmListPage);
    for (ui::PropertyPage* p : std::initializer_list<ui::PropertyPage*>{&m_GeneralPage, &m_AccountPage, &m_OnlineUserPage, &m_FilePathPage})
      pages.push_back(p);
  } else if (IsModelK40R(id)) {
    pages = {&m_NetworkPage, &m_DnsPage, &m_MailPage, &m_FtpPage, &m_SntpPage, &m_AlarmPage, &m_AlarmListPage,
             &m_GeneralPage, &m_AccountPage, &m_PeripheralPage, &m_OnlineUserPage, &m_FilePathPage};
  } else if (IsModelK47R(id)) {
    pages = {&m_NetworkPage, &m_DnsPage, &m_MailPage, &m_FtpPage, &m_SntpPage, &m_AlarmPage, &m_AlarmListPage,
             &m_GeneralPage, &m_AccountPage, &m_OnlineUserPage, &m_FilePathPage};
  } else if (IsModelFamilyK44(id)) {
    pages = {&m_NetworkPage, &m_MailPage, &m_FtpPage, &m_AlarmPage, &m_GeneralPage, &m_AccountPage, &m_OnlineUserPage,
             &m_FilePathPage};
  }
  for (ui::PropertyPage* p : pages) AddPage(p);
  m_fDeviceTableChanged = 0;
  m_fPeripheralChanged = 0;
  return 1;
}

bool MySystemDialog::CreateSheet(QWidget* mainWindow, const QRect& workArea) {
  SetMainWindow(mainWindow, workArea);
  // A top-level window owned by the main window: the main window runs a modal loop, and only
  // windows it owns take input while it does.
  if (mainWindow) setParent(mainWindow, windowFlags() | Qt::Window);
  const bool ok = Create();
  m_bOpen = true;
  if (g_lpApp) g_lpApp->f_SystemDialogOpen.exchange(1);
  return ok;
}

bool MySystemDialog::OnInitDialog() {
  const bool result = CTreePropSheet::OnInitDialog();
  // The open sheet's job block: progress writers reach the bar through it.
  SetProgressJobBlock(GetProgressJobBlockOfSheet());
  SaveOriginalSetting();

  const int W = width(), H = height();
  const double s = pagemodel::Scale();
  const std::string id = pagemodel::ProductId();
  auto make = [&](int buttonId, int k) {
    auto* b = new QPushButton(QString::fromLatin1(LoadStr(static_cast<unsigned>(buttonId))), this);
    const int left = static_cast<int>(W - k * s);
    const int top = static_cast<int>(H - 27 * s);
    b->setGeometry(left, top, static_cast<int>(80 * s), static_cast<int>(22 * s));
    b->setAutoDefault(false);
    b->show();
    AddControl(buttonId, b);
    return b;
  };
  m_btnExit = make(IDC_SHEET_EXIT, 340);
  if (IsModelFamilyK41(id) || IsModelFamilyK44(id) || IsModelK40R(id) || IsModelK47R(id)) {
    m_btnApply = make(IDC_SHEET_APPLY, 100);
  }
  if (IsModelK40R(id) || IsModelK47R(id)) m_btnReboot = make(IDC_SHEET_REBOOT, 220);
  // No close box: EXIT closes the sheet (a window manager's close acts as EXIT).
  setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) & ~Qt::WindowCloseButtonHint);
  return result;
}

QPushButton* MySystemDialog::SheetButton(int id) const { return Item<QPushButton>(id); }

int MySystemDialog::SaveOriginalSetting() {
  SaveOriginalNetworkSettings();
  SaveOriginalDeviceSettings();
  SaveOriginalRecordingSettings();
  return 1;
}

int MySystemDialog::DisableSheetButtons() {
  for (QPushButton* b : {m_btnExit, m_btnApply, m_btnReboot}) {
    if (b) b->setEnabled(false);
  }
  return 1;
}

int MySystemDialog::EnableSheetButtons() {
  for (QPushButton* b : {m_btnExit, m_btnApply, m_btnReboot}) {
    if (b) b->setEnabled(true);
  }
  return 1;
}

void MySystemDialog::CloseWithCode(int code) {
  m_nEndCode = code;
  if (!m_bOpen) return;
  m_bOpen = false;
  // Writers of progress are released and find no sheet any more.
  StopProgressWorker();
  hide();
  if (g_lpApp) g_lpApp->f_SystemDialogOpen.exchange(0);
}

void MySystemDialog::closeEvent(QCloseEvent* event) {
  OnClickOK();
  event->accept();
}

void MySystemDialog::OnClickOK() { CloseWithCode(0); }

void MySystemDialog::Release() {
  CloseSheet();
  DeleteWhenIdle();
}

void MySystemDialog::OnClickReboot() {
  if (!SendReboot()) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_SEND_COMMAND_TIMEOUT));
  }
}

void MySystemDialog::OnClickApply() {
  pagemodel::IModel* model = pagemodel::Current();
  const std::string id = pagemodel::ProductId();
  // 1. PPPoE needs DDNS. The K44R family has no DDNS page and never sends the network page,
  //    so the check would only block its APPLY for good.
  if (!IsModelFamilyK44(id)) {
    std::uint8_t ipType = 0;
    int ddns = 0;
    if (m_NetworkPage.HasWindow()) {
      ipType = g_byNetworkIpType;
    } else if (model) {
      model->WithSections([&](const pagemodel::Sections& sections) {
        ipType = sections.Data(SYSCFG_IP)[sect::IpSection::kOffIpType];
      });
    }
    if (m_DnsPage.HasWindow()) {
      ddns = m_DnsPage.m_bDdnsEnable;
    } else if (model) {
      model->WithSections([&](const pagemodel::Sections& sections) {
        ddns = sections.Data(SYSCFG_SMTP)[sect::SmtpSection::kOffDdnsEnable];
      });
    }
    if (ipType == 1 && ddns == 0) {
      plat::MessageBox(Hwnd(), LoadStr(IDS_PPPOE_NEEDS_DDNS));
      m_lastApplyEnd = ApplyEnd::Blocked;
      return;
    }
  }
  // The checks of every opened page come before anything is sent: a page whose values do not
  // pass stays in front and nothing goes out.
  for (int i = 0; i < GetPageCount(); ++i) {
    ui::PropertyPage* page = GetPage(i);
    if (page->HasWindow() && !page->UpdateData(true)) {
      SetActivePage(i);
      SelectPageItem(i);
      m_lastApplyEnd = ApplyEnd::CheckFailed;
      return;
    }
  }
  // 2. The apply steps in their order; a failure does not stop the later ones.
  ApplyAccountPage(m_AccountPage);
  ApplyAlarmPage(m_AlarmPage, m_AlarmTriggerPage);
  ApplyMailPage(m_MailPage);
  ApplyFtpPage(m_FtpPage);
  ApplyDevicePage(m_DevicePage);
  ApplyDetectionPage(m_DetectionPage);
  ApplyCameraPage(m_CameraPage);
  ApplyDnsPage(m_DnsPage);
  if (IsModelK40R(id) || IsModelK47R(id)) {
    ApplyPeripheralPage(m_PeripheralPage);
    ApplySntpPage(m_SntpPage);
  }
  if (m_GeneralPage.HasWindow()) {
    m_GeneralPage.UpdateData(true);
    if (IsModelFamilyK41(id) || IsModelK40R(id)) ApplyGeneralPage(m_GeneralPage);
  }
  if (IsModelFamilyK41(id)) {
    ApplyTimerRecordPage(m_TimerRecordPage);
    ApplyDvrDatePage(m_DatePage);
    ApplyDvrRecordPage(m_RecordSettingPage);
  }
  int networkChanged = 0;
  if (!IsModelFamilyK44(id)) networkChanged = ApplyNetworkPage(m_NetworkPage);
  // 3. The recorder restarts its network.
  if (networkChanged) plat::Sleep(3000);
  // 4, 5. The client's own settings and folders.
  StoreClientSettings();
  // 7, 8. The device table follows the peripherals or the channels' RS-485 devices.
  if (m_fPeripheralChanged) RebuildControlTableFromPeri();
  if (m_fDeviceTableChanged) RebuildControlTableFromRs485();
  m_lastApplyEnd = ApplyEnd::Closed;
  CloseWithCode(3);
}

void MySystemDialog::StoreClientSettings() {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return;
  if (m_FilePathPage.HasWindow()) {
    model->Settings().m_strRecordPath.Set(m_FilePathPage.m_strRecordPath);
    model->Settings().m_strSnapshotPath.Set(m_FilePathPage.m_strSnapshotPath);
    model->Settings().m_strTriggerWavPath.Set(m_FilePathPage.m_strTriggerWavPath);
    // The two folders exist from now on, and the paths are kept in Setting.ini at once.
    for (const std::string& folder : {m_FilePathPage.m_strRecordPath, m_FilePathPage.m_strSnapshotPath}) {
      if (!folder.empty()) plat::CreateDirectories(folder);
    }
    model->Settings().SaveSettingOrTell(Hwnd());
  }
  model->Settings().m_byAlarmTriggerRecord = m_AlarmPage.m_byAlarmTriggerRecord;
  model->Settings().m_byAlarmAutoSwitchVideo = m_AlarmPage.m_byAlarmAutoSwitchVideo;
  // A turbo list left without a choice keeps the step.
  if (m_GeneralPage.m_nTurboRepeat >= 0 && m_GeneralPage.m_nTurboRepeat < 30) {
    model->TurboRepeatStep() = static_cast<std::uint8_t>(m_GeneralPage.m_nTurboRepeat + 1);
  }
  // Recordings: the backup folder picked, the search list's choices changed.
  if (m_NetworkBackupPage.HasWindow() && m_NetworkBackupPage.m_bFolderChosen) {
    model->Settings().m_strNetworkFileDirectory.Set(m_NetworkBackupPage.m_strFolder);
  }
  if (m_SearchListPage.HasWindow()) {
    CEventPage& list = m_SearchListPage;
    if (list.m_bTypeChanged && list.m_nListType >= 0) {
      model->Settings().m_bySearchListType = static_cast<std::uint8_t>(list.m_nListType);
    }
    if (list.m_bHddChanged && list.m_nHddIndex >= 0 && list.m_byIndexToHdd[static_cast<std::size_t>(list.m_nHddIndex) & 0xFF] != 0xFF) {
      model->Settings().m_wSearchListHDD = list.m_byIndexToHdd[static_cast<std::size_t>(list.m_nHddIndex) & 0xFF];
    }
    if (list.m_bMaxChanged) model->Settings().m_wSearchListMaxNumber = static_cast<std::uint16_t>(list.m_nMaxListNumber);
  }
}

