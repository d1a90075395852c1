#include "config/UpgradeFWDlg.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "config/PageModel.h"
#include "connect/LoginTools.h"
#include "core/Messages.h"
#include "core/Model.h"
#include "core/SettingINI.h"
#include "core/Strings.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "session/SheetCommands.h"
#include "ui/Lifetime.h"

namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool DefaultChooseFile(QWidget* parent, const std::string& start, std::string& chosen) {
  ui::ModalScope scope(nullptr);
  if (scope.Refused()) return false;
  const QString file = QFileDialog::getOpenFileName(
      parent, QString(), start == "UnKnown" ? QString() : QString::fromStdString(start),
      QStringLiteral("Kernel Firmware files (*.BIN *.bin *.Bin)"));
  chosen = file.toStdString();
  return !file.isEmpty();
}

bool DefaultChooseFolder(QWidget* parent, const std::string& start, std::string& chosen) {
  if (ILoginToolDialogs* tools = GetLoginToolDialogs()) return tools->RunFolderPicker(parent, start, chosen) == 1;
  ui::ModalScope scope(nullptr);
  if (scope.Refused()) return false;
  const QString dir = QFileDialog::getExistingDirectory(parent, QString(), QString::fromStdString(start));
  chosen = dir.toStdString();
  return !dir.isEmpty();
}

void StopAndClose(plat::HANDLE thread) {
  if (!thread) return;
  plat::StopThread(thread, 10);
  plat::CloseHandle(thread);
}

}  // namespace

CUpgradeFWDlg::CUpgradeFWDlg(QWidget* parent) : ui::Window(parent) {
  m_hStopEvent = plat::CreateEvent(false, false);
  setWindowTitle(QStringLiteral("Upgrade Firware"));
  resize(300, 134);
  auto* versionLabel = new QLabel(QStringLiteral("Version:"), this);
  versionLabel->setGeometry(10, 10, 60, 20);
  m_version = new QLabel(this);
  m_version->setGeometry(75, 10, 215, 20);
  AddControl(IDC_VERSION, m_version);
  auto* pathLabel = new QLabel(QStringLiteral("File path:"), this);
  pathLabel->setGeometry(10, 38, 60, 20);
  AddControl(IDC_FILE_PATH_LABEL, pathLabel);
  m_path = new QLineEdit(this);
  m_path->setReadOnly(true);
  m_path->setGeometry(75, 38, 150, 22);
  AddControl(IDC_PATH, m_path);
  auto* find = new QPushButton(QStringLiteral("Find..."), this);
  find->setGeometry(230, 38, 60, 22);
  AddControl(IDC_FIND, find);
  m_progress = new QProgressBar(this);
  m_progress->setGeometry(10, 68, 280, 16);
  m_progress->setTextVisible(false);
  AddControl(IDC_PROGRESS, m_progress);
  auto* upgrade = new QPushButton(QStringLiteral("Upgrade"), this);
  upgrade->setGeometry(75, 98, 70, 24);
  upgrade->setAutoDefault(false);
  AddControl(IDC_UPGRADE, upgrade);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setGeometry(155, 98, 70, 24);
  cancel->setAutoDefault(false);
  AddControl(IDC_CANCEL, cancel);
  m_part = new QComboBox(this);
  m_part->setGeometry(10, 98, 60, 22);
  AddControl(IDC_PART, m_part);
  auto* success = new QPushButton(QStringLiteral("Success"), this);
  success->setGeometry(230, 98, 60, 24);
  AddControl(IDC_SUCCESS, success);

  OnCommand(IDC_FIND, [this] { OnFindFile(); });
  OnCommand(IDC_UPGRADE, [this] { OnFwdlgUpgrade(); });
  OnCommand(IDC_CANCEL, [this] { OnCancel(); });
  OnCommand(IDC_SUCCESS, [this] { EndDialog(0); });
  connect(m_part, &QComboBox::currentIndexChanged, this, [this](int) { OnSelchangePart(); });
  for (unsigned msg : {WM_UPGRADEEND, WM_UPGRADEBEGIN, WM_UPGRADECLOSE}) {
    OnMessage(msg, [this, msg](plat::WPARAM, plat::LPARAM) {
      OnThreadMessage(msg);
      return plat::LPARAM(0);
    });
  }
  OnMessage(fw::kMsgProgress, [this](plat::WPARAM percent, plat::LPARAM shown) {
    m_progress->setValue(static_cast<int>(percent));
    m_progress->setVisible(shown != 0);
    return plat::LPARAM(0);
  });
  OnMessage(fw::kMsgMessageBox, [this](plat::WPARAM id, plat::LPARAM) {
    ShowThreadBox(static_cast<unsigned>(id));
    return plat::LPARAM(0);
  });
  chooseFile = [this](const std::string& start, std::string& chosen) { return DefaultChooseFile(this, start, chosen); };
  chooseFolder = [this](const std::string& start, std::string& chosen) {
    return DefaultChooseFolder(this, start, chosen);
  };
}

CUpgradeFWDlg::~CUpgradeFWDlg() {
  // The dialog outlives its upload: whatever thread runs is stopped and joined first.
  StopThreads();
  ResetFirmwareFileTable(m_FileTable);
  plat::CloseHandle(m_hStopEvent);
}

bool CUpgradeFWDlg::HasUploadThread() const {
  pagemodel::IModel* model = pagemodel::Current();
  return m_hUploadThread != 0 || (model && model->FirmwareUploadThread().load() != 0);
}

void CUpgradeFWDlg::StopThreads() {
  if (m_hUploadThread) {
    plat::SetEvent(m_hStopEvent);
    StopAndClose(m_hUploadThread);
    m_hUploadThread = 0;
  }
  if (pagemodel::IModel* model = pagemodel::Current()) StopAndClose(model->FirmwareUploadThread().exchange(0));
}

bool CUpgradeFWDlg::ChosenVariant(fw::Variant& v) const {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return false;
  const sect::Device device = model->Device();
  return fw::ChooseVariant(device.productId, device.firmware, v);
}

bool CUpgradeFWDlg::OnInitDialog() {
  ShowDlgItem(IDC_PART, false);
  ShowDlgItem(IDC_SUCCESS, false);
  m_nPart = 0;
  m_progress->setRange(0, 100);
  m_progress->setVisible(false);
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return true;
  const std::string product = model->Device().productId;
  m_bDvr = IsModelFamilyK41(product);
  if (!m_bDvr) {
    m_strPath = model->Settings().m_strUpgradeFWPath.Get() + "KERNEL.BIN";
    model->SetUploadVersion(model->Device().firmware.substr(0, 4));
    const auto chars = model->UploadVersion();
    std::string shown;
    for (std::size_t i = 0; i < 4 && chars[i] != '\0'; ++i) {
      if (i) shown += '.';
      shown += chars[i];
    }
    m_strVersion = shown;
  } else {
    ReadDvrVersion(m_strVersion);
    // Without a version the folder and the model's table are still set, so Upgrade works.
    m_strPath = model->Settings().m_strUpgradeDVRFWPath.Get();
    m_bHasTable = MakeFirmwareFileTable(product, m_FileTable);
  }
  UpdateControls();
  return true;
}

void CUpgradeFWDlg::UpdateControls() {
  m_version->setText(QString::fromLatin1(m_strVersion.c_str()));
  m_path->setText(QString::fromStdString(m_strPath));
  if (m_part->currentIndex() != m_nPart && m_nPart < m_part->count()) m_part->setCurrentIndex(m_nPart);
}

void CUpgradeFWDlg::ReadControls() {
  m_strPath = m_path->text().toStdString();
  m_nPart = m_part->currentIndex() < 0 ? m_nPart : m_part->currentIndex();
}

void CUpgradeFWDlg::OnFindFile() {
  ReadControls();
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return;
  std::string chosen;
  if (!m_bDvr) {
    const std::string start = model->Settings().m_strUpgradeFWPath.Get();
    if (!chooseFile || !chooseFile(start, chosen) || chosen.empty()) return;
    m_strPath = chosen;
    model->Settings().m_strUpgradeFWPath.Set(FolderOf(chosen));
  } else {
    if (!chooseFolder || !chooseFolder(m_strPath, chosen)) return;
    m_strPath = WithoutOneTrailingSeparator(chosen);
    model->Settings().m_strUpgradeDVRFWPath.Set(m_strPath);
  }
  UpdateControls();
}

void CUpgradeFWDlg::OnFwdlgUpgrade() {
  if (m_bDvr)
    LoadFirmwareFolder();
  else
    UpgradeByPackage();
}

void CUpgradeFWDlg::UpgradeByPackage() {
  pagemodel::IModel* model = pagemodel::Current();
  fw::Variant variant;
  if (!model || !ChosenVariant(variant)) return;
  auto job = std::make_unique<FirmwareUploadJob>();
  if (const unsigned failure = ReadFirmwarePackage(m_strPath, job->package)) {
    plat::MessageBox(Hwnd(), LoadStr(failure));
    return;
  }
  m_progress->setValue(0);
  m_progress->setVisible(true);
  StopThreads();
  job->variant = variant;
  job->dialog = Hwnd();
  job->total = job->package.dwFileSize;
  const plat::HANDLE thread = StartFirmwareUpload(std::move(job));
  if (!thread) return;
  model->FirmwareUploadThread() = thread;
  model->Settings().SaveSettingOrTell(Hwnd());
}

void CUpgradeFWDlg::LoadFirmwareFolder() {
  pagemodel::IModel* model = pagemodel::Current();
  fw::Variant variant;
  if (!model || !ChosenVariant(variant)) return;
  if (!m_bHasTable) m_bHasTable = MakeFirmwareFileTable(model->Device().productId, m_FileTable);
  auto job = std::make_unique<FirmwareUploadJob>();
  job->table = m_FileTable;
  std::uint64_t total = 0;
  if (!m_bHasTable || ::LoadFirmwareFolder(m_strPath, job->table, total) == 0) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_NO_FIRMWARE_FILE));
    return;
  }
  StopThreads();
  m_progress->setValue(0);
  m_progress->setVisible(true);
  model->Settings().SaveSettingOrTell(Hwnd());
  plat::WaitForSingleObject(m_hStopEvent, 0);  // a stop left from an earlier upload is spent
  job->variant = variant;
  job->dialog = Hwnd();
  job->stopEvent = m_hStopEvent;
  job->total = total;
  m_hUploadThread = StartFirmwareUpload(std::move(job));
}

void CUpgradeFWDlg::OnCancel() {
  m_progress->setValue(0);
  m_progress->setVisible(false);
  StopThreads();
  fw::Variant variant;
  if (ChosenVariant(variant)) fw::SendCancel(variant);
  PostMessage(WM_UPGRADEEND);
  EndDialog(0);
}

void CUpgradeFWDlg::OnSelchangePart() {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return;
  ReadControls();
  m_strPath = model->Settings().m_strUpgradeFWPath.Get();
  switch (m_nPart) {
    case 0:
      model->SetUploadVersion(model->Device().firmware.substr(0, 4));
      m_strPath += "KERNEL.BIN";
      break;
    case 1:
      model->SetUploadVersion(model->BootVersion().substr(0, 4));
      m_strPath += "BOOT.BIN";
      break;
    case 2:
      model->SetUploadVersion(model->Version2041().substr(0, 4));
      m_strPath += "ZQ087.BIN";
      break;
    case 3: m_strPath += "ZQ008.BIN"; break;
    default: break;
  }
  UpdateControls();
}

void CUpgradeFWDlg::ShowThreadBox(unsigned stringId) {
  // The thread's end and close wait until the operator has read its box.
  m_bInBox = true;
  plat::MessageBox(Hwnd(), LoadStr(stringId));
  m_bInBox = false;
  std::vector<unsigned> deferred;
  deferred.swap(m_deferred);
  for (unsigned msg : deferred) OnThreadMessage(msg);
}

void CUpgradeFWDlg::OnThreadMessage(unsigned msg) {
  if (m_bInBox) {
    m_deferred.push_back(msg);
    return;
  }
  switch (msg) {
    case WM_UPGRADEEND: EnableDlgItem(IDC_UPGRADE, true); break;
    case WM_UPGRADEBEGIN: EnableDlgItem(IDC_UPGRADE, false); break;
    case WM_UPGRADECLOSE: EndDialog(0); break;
    default: break;
  }
}

int RunUpgradeFirmwareDialog() {
  CUpgradeFWDlg dialog;
  return dialog.DoModal();
}
