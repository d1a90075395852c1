#include "config/DownloadFilePage.h"

#include "config/WriteCDSettingDlg.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "config/PageModel.h"
#include "config/SheetProgress.h"
#include "config/WriteCDSettingDlg.h"
#include "core/Messages.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "core/TraceLog.h"
#include "engine/Mailbox.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "session/SheetCommands.h"
#include "session/PlayerLink.h"
#include "session/SearchList.h"
#include "session/SessionHost.h"
#include "ui/Controls.h"

namespace {

std::mutex g_pickerMutex;
BackupFolderPicker& Picker() {
  static BackupFolderPicker picker;
  return picker;
}

using pagemodel::Scale;

using pagemodel::DigitsOf;

// What the page shows in place of a file name when the folder cannot hold one.
std::string FolderTooLongText(std::size_t length, int channel) {
  return "The folder name is too long (" + std::to_string(length) + " characters, at most " +
         std::to_string(nb::MaxBackupFolderLength(channel)) + "): choose a shorter folder.";
}

// Forgets the link to a player: its connection, its lock and its process id.
void ForgetPlayer(player::PlayerLinkBlock& link) {
  link.dw_PlayerProcessId = 0;
  if (plat::HWND w = link.h_PlayerWnd.exchange(0)) player::Disconnect(w);
  if (plat::HANDLE m = link.h_NetworkBkMutex.exchange(0)) plat::CloseHandle(m);
}

// Puts the main window (the sheet's owner) below the player.
void LowerMainWindow(ui::PropertyPage& page) {
  if (ui::PropertySheet* sheet = page.Sheet()) {
    if (QWidget* main = sheet->parentWidget()) main->lower();
  }
}

}  // namespace

void SetBackupFolderPicker(BackupFolderPicker picker) {
  std::lock_guard<std::mutex> lock(g_pickerMutex);
  Picker() = std::move(picker);
}

DownloadFilePage::DownloadFilePage(QWidget* parent) : ui::PropertyPage(QStringLiteral("Network Backup"), parent) {
  OnCommand(IDC_BK_START, [this] { OnButtonStart(); });
  OnCommand(IDC_BK_BROWSE, [this] { OnBrowseFolder(); });
  OnChange(IDC_BK_SIZE, [this] { OnChangeSize(); });
  OnChange(IDC_BK_CHANNEL, [this] { OnChangeChannel(); });
  OnChange(IDC_BK_DYNAMIC, [this] {
    m_bDynamicDownload = m_bDynamicDownload ? 0 : 1;
    if (pagemodel::IModel* model = pagemodel::Current()) model->Settings().m_nDynamicDownload = m_bDynamicDownload;
    if (auto* b = Item<QCheckBox>(IDC_BK_DYNAMIC)) b->setChecked(m_bDynamicDownload != 0);
  });
  OnChange(IDC_BK_COPYCD, [this] {
    m_bCopyToCD = m_bCopyToCD ? 0 : 1;
    if (pagemodel::IModel* model = pagemodel::Current()) model->Settings().m_nWriteCD = m_bCopyToCD;
    if (auto* b = Item<QCheckBox>(IDC_BK_COPYCD)) b->setChecked(m_bCopyToCD != 0);
  });
  // Posted by the page itself after PLAY: the player starts a second later on the mailbox.
  OnMessage(msg::WM_PLAYDOWNLOADEDFILE, [this](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    const std::string path = m_strPlayFile;
    QTimer::singleShot(1000, this, [path] {
      auto* copy = new std::string(path);
      if (!PostKernelMessage(Run_Player_Copy_Message, reinterpret_cast<std::uintptr_t>(copy), 5000)) delete copy;
    });
    return 0;
  });
}

DownloadFilePage::~DownloadFilePage() = default;

bool DownloadFilePage::OnInitDialog() {
  const double s = Scale();
  auto px = [s](double v) { return static_cast<int>(v * s); };
  auto* group = new QGroupBox(QStringLiteral("Start Backup Time"), this);
  group->setGeometry(px(10), px(4), px(340), px(52));
  m_pDateCtrl = new QDateEdit(this);
  m_pDateCtrl->setDisplayFormat(QStringLiteral("yyyy / MM / dd"));
  m_pDateCtrl->setGeometry(px(20), px(22), px(120), px(20));
  m_pDateCtrl->setDate(QDate::currentDate());
  AddControl(IDC_BK_DATE, m_pDateCtrl);
  m_pTimeCtrl = new QTimeEdit(this);
  m_pTimeCtrl->setDisplayFormat(QStringLiteral("HH : mm : ss"));
  m_pTimeCtrl->setGeometry(px(160), px(22), px(120), px(20));
  m_pTimeCtrl->setTime(QTime::currentTime());
  AddControl(IDC_BK_TIME, m_pTimeCtrl);
  ui::SelectFieldOnClick(m_pDateCtrl);
  ui::SelectFieldOnClick(m_pTimeCtrl);

  auto* info = new QGroupBox(QStringLiteral("Backup Information"), this);
  info->setGeometry(px(10), px(62), px(340), px(170));
  auto label = [&](const char* text, int y) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setGeometry(px(20), px(y), px(90), px(20));
  };
  label("HDD Num : ", 80);
  auto* hdd = new ui::DropList(this);
  hdd->setGeometry(px(115), px(80), px(120), px(22));
  AddControl(IDC_BK_HDD, hdd);
  label("Backup Size : ", 106);
  auto* size = new QLineEdit(this);
  size->setGeometry(px(115), px(106), px(80), px(20));
  AddControl(IDC_BK_SIZE, size);
  auto* mb = new QLabel(QStringLiteral("MB"), this);
  mb->setGeometry(px(200), px(106), px(30), px(20));
  label("Channel : ", 132);
  auto* channel = new QLineEdit(this);
  channel->setGeometry(px(115), px(132), px(80), px(20));
  AddControl(IDC_BK_CHANNEL, channel);
  auto* browse = new QPushButton(QStringLiteral("File Path :"), this);
  browse->setGeometry(px(20), px(158), px(90), px(22));
  browse->setAutoDefault(false);
  AddControl(IDC_BK_BROWSE, browse);
  auto* path = new QLineEdit(this);
  path->setReadOnly(true);
  path->setGeometry(px(115), px(158), px(225), px(22));
  AddControl(IDC_BK_PATH, path);
  auto* dynamic = new QCheckBox(QStringLiteral("Dynamic Download"), this);
  dynamic->setGeometry(px(20), px(186), px(150), px(20));
  AddControl(IDC_BK_DYNAMIC, dynamic);
  auto* cd = new QCheckBox(QStringLiteral("Copy to CD"), this);
  cd->setGeometry(px(180), px(186), px(120), px(20));
  AddControl(IDC_BK_COPYCD, cd);
  auto* start = new QPushButton(QStringLiteral("Start"), this);
  start->setGeometry(px(260), px(240), px(90), px(24));
  start->setAutoDefault(false);
  AddControl(IDC_BK_START, start);

  pagemodel::IModel* model = pagemodel::Current();
  std::string folder = model ? model->Settings().m_strNetworkFileDirectory.Get() : std::string();
  if (!folder.empty()) {
    SetFolder(folder);
  } else {
    m_strFilePath = LoadStr(IDS_SET_FILE_PATH_FIRST);
  }
  m_bDiskListRead = nb::RequestDiskMask(m_byHddMask);
  if (m_bDiskListRead) {
    for (unsigned b : nb::ListDisks(m_byHddMask)) {
      hdd->AddString(QString::fromStdString(nb::DiskName(b)));
      m_nHddIndex = 0;
    }
  }
  if (model) {
    m_bDynamicDownload = model->Settings().m_nDynamicDownload.load() ? 1 : 0;
    m_bCopyToCD = model->Settings().m_nWriteCD.load() ? 1 : 0;
  }
  if (m_nHddIndex < 0) hdd->setEnabled(false);
  WriteControls();
  return true;
}

void DownloadFilePage::SetFolder(const std::string& folder) {
  m_strFolder = folder;
  if (m_strFolder.size() > 1 && (m_strFolder.back() == '/' || m_strFolder.back() == '\\')) m_strFolder.pop_back();
  MakeFileName();
}

void DownloadFilePage::WriteControls() {
  FillScope fill(*this);
  if (auto* hdd = Item<ui::DropList>(IDC_BK_HDD)) hdd->SetCurSel(m_nHddIndex);
  SetDlgItemText(IDC_BK_SIZE, QString::number(m_nBackupSize));
  SetDlgItemText(IDC_BK_CHANNEL, QString::number(m_nChannel));
  SetDlgItemText(IDC_BK_PATH, QString::fromStdString(m_strFilePath));
  if (auto* b = Item<QCheckBox>(IDC_BK_DYNAMIC)) b->setChecked(m_bDynamicDownload != 0);
  if (auto* b = Item<QCheckBox>(IDC_BK_COPYCD)) b->setChecked(m_bCopyToCD != 0);
}

void DownloadFilePage::ReadControls() {
  if (!HasWindow()) return;
  if (auto* hdd = Item<ui::DropList>(IDC_BK_HDD)) m_nHddIndex = hdd->GetCurSel();
  const QString size = DigitsOf(GetDlgItemText(IDC_BK_SIZE));
  m_nBackupSize = size.isEmpty() ? 0 : static_cast<int>(std::min<qlonglong>(size.left(9).toLongLong(), 500));
  const QString channel = DigitsOf(GetDlgItemText(IDC_BK_CHANNEL));
  m_nChannel = channel.isEmpty() ? 0u : static_cast<unsigned>(std::min<qlonglong>(channel.left(9).toLongLong(), 999));
  if (auto* b = Item<QCheckBox>(IDC_BK_DYNAMIC)) m_bDynamicDownload = b->isChecked() ? 1 : 0;
  if (auto* b = Item<QCheckBox>(IDC_BK_COPYCD)) m_bCopyToCD = b->isChecked() ? 1 : 0;
}

void DownloadFilePage::OnChangeSize() {
  const QString digits = DigitsOf(GetDlgItemText(IDC_BK_SIZE));
  if (digits.isEmpty()) return;
  const qlonglong n = digits.left(9).toLongLong();
  m_nBackupSize = static_cast<int>(n > 500 ? 500 : n);
  ReadControls();
  m_nBackupSize = static_cast<int>(n > 500 ? 500 : n);
  WriteControls();
}

void DownloadFilePage::OnChangeChannel() {
  ReadControls();
  if (!m_strFolder.empty()) MakeFileName();
  WriteControls();
}

void DownloadFilePage::MakeFileName() {
  if (m_strFolder.empty()) return;
  m_strFilePath = nb::MakeBackupFileName(m_strFolder, static_cast<int>(m_nChannel));
  if (m_strFilePath.empty()) m_strFilePath = FolderTooLongText(m_strFolder.size(), static_cast<int>(m_nChannel));
}

void DownloadFilePage::OnBrowseFolder() {
  BackupFolderPicker picker;
  {
    std::lock_guard<std::mutex> lock(g_pickerMutex);
    picker = Picker();
  }
  if (!picker) {
    plat::MessageBox(Hwnd(), "No folder picker is available.");
    return;
  }
  std::string folder = m_strFolder;
  ReadControls();
  if (picker(this, folder) && !folder.empty()) {
    SetFolder(folder);
    m_bFolderChosen = 1;
  }
  WriteControls();
}

bool DownloadFilePage::OnSetActive() {
  sl::PendingBackup& pending = sl::g_PendingBackup;
  if (pending.Pending() && HasWindow()) {
    const auto& b = pending.bytes;
    if (b[9] != 0) m_nChannel = b[9];
    m_nHddIndex = b[8];
    const QDate date(2000 + b[2], b[3], b[4]);
    if (m_pDateCtrl && date.isValid()) m_pDateCtrl->setDate(date);
    const QTime time(b[5], b[6], b[7]);
    if (m_pTimeCtrl && time.isValid()) m_pTimeCtrl->setTime(time);
    pending.Clear();
    if (!m_strFolder.empty()) MakeFileName();
    WriteControls();
  }
  return true;
}

void DownloadFilePage::StartPlayer() {
  player::PlayerLinkBlock& link = pagemodel::Current()->Player();
  const std::string program = FindPlayerProgram();
  if (!player::CreateBackupLock(link)) {
    plat::MessageBox(Hwnd(), "Create mutex error");
    throw std::runtime_error("no lock");
  }
  int pid = 0;
  if (program.empty() ||
      !plat::SpawnProcess({program, m_strFilePath, "DYNAMICLOAD=1"}, plat::ProgramFolder(), &pid, true)) {
    MessageBoxById(Hwnd(), IDS_RUN_PLAYER_FAILED);
    return;
  }
  link.f_PlayerStarted = 1;
  link.dw_PlayerProcessId = static_cast<std::uint32_t>(pid);
  LowerMainWindow(*this);
  // Ready for input: the player accepts a connection on its endpoint within 10 s.
  const std::string endpoint = player::EndpointFolder() + "/" + player::EndpointName(pid);
  plat::HWND found = 0;
  const std::uint64_t until = plat::GetTickCount64() + 10000;
  for (;;) {
    std::uint32_t peer = 0;
    found = player::ConnectEndpoint(endpoint, peer);
    if (found && peer == static_cast<std::uint32_t>(pid)) break;
    if (found) player::Disconnect(found);
    found = 0;
    if (plat::GetTickCount64() >= until) break;
    // No events meanwhile: a second Start must not begin while this one waits.
    plat::Sleep(100);
  }
  if (!found) {
    link.dw_PlayerProcessId = 0;
    MessageBoxById(Hwnd(), IDS_RUN_PLAYER_FAILED);
    return;
  }
  player::Disconnect(found);
  player::CWindowFinder finder;
  const plat::HWND wnd = finder.FindWindowOfProcess(static_cast<std::uint32_t>(pid));
  if (!wnd) {
    link.dw_PlayerProcessId = 0;
    MessageBoxById(Hwnd(), IDS_RUNNING_PLAYER_FAILED);
    return;
  }
  link.h_PlayerWnd = wnd;
  player::SendCopyData(wnd, player::CDS_MUTEXNAME, link.sz_NetworkBkMutexName, sizeof link.sz_NetworkBkMutexName);
}

void DownloadFilePage::OnButtonStart() {
  ReadControls();
  if (m_nBackupSize <= 0) {
    MessageBoxById(Hwnd(), IDS_BACKUP_SIZE_WRONG);
    return;
  }
  if (m_strFolder.size() > nb::MaxBackupFolderLength(static_cast<int>(m_nChannel))) {
    plat::MessageBox(Hwnd(), FolderTooLongText(m_strFolder.size(), static_cast<int>(m_nChannel)));
    return;
  }
  if (m_strFolder.empty() || m_strFilePath == LoadStr(IDS_SET_FILE_PATH_FIRST) || m_strFilePath.size() > nb::kMaxPlayerPath) {
    MessageBoxById(Hwnd(), IDS_DOWNLOAD_PATH_INVALID);
    return;
  }
  if (m_nHddIndex < 0 || m_nChannel == 0 || m_nChannel > 16) {
    MessageBoxById(Hwnd(), IDS_NO_RECORD_DATA);
    return;
  }
  {
    const int fd = ::open(m_strFilePath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
      MessageBoxById(Hwnd(), IDS_DOWNLOAD_PATH_INVALID);
      return;
    }
    ::close(fd);
  }
  if (m_bCopyToCD) {
    // The disc writer started and the disc settings chosen; otherwise the download runs
    // without a disc (a message said why).
    pagemodel::IModel* model = pagemodel::Current();
    if (model && model->DiscWriter().InitDiscApi(m_strFilePath, &WriteCD_Progress_Callback)) {
      AskDiscSettings(static_cast<std::uint32_t>(m_nBackupSize) * 1048576u);
      return;
    }
    if (model) MessageBoxById(0, IDS_LAUNCH_BURNING_TOOL_FAILED);
    m_bCopyToCD = 0;
  }
  StartDownload();
}

bool DownloadFilePage::BackupRunning() const { return m_pDiscSettings || m_pProgress; }

CDownloadProgressDlg* DownloadFilePage::ProgressDialog() const { return m_pProgress; }

void DownloadFilePage::AskDiscSettings(std::uint32_t sizeBytes) {
  CWriteCD& writer = pagemodel::Current()->DiscWriter();
  auto* dialog = new CWriteCDSettingDlg(this, &writer);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::ApplicationModal);
  if (!dialog->Prepare(m_strFilePath, writer.m_lpDriveNames, writer.m_nDriveCount, writer.m_nMediaKind, sizeBytes) ||
      !dialog->OnInitDialog()) {
    delete dialog;
    m_bCopyToCD = 0;
    StartDownload();
    return;
  }
  m_pDiscSettings = dialog;
  connect(dialog, &QDialog::finished, this, [this, dialog, sizeBytes](int result) {
    m_pDiscSettings = nullptr;  // the dialog deletes itself once its handler has returned
    pagemodel::IModel* model = pagemodel::Current();
    if (result != plat::IDOK || !model) {
      m_bCopyToCD = 0;
      StartDownload();
      return;
    }
    dialog->ApplyTo(model->DiscWriter());
    // The disc or the name unfit (a message said why): the operator chooses again.
    if (model->DiscWriter().CheckDiscAndFile()) {
      StartDownload();
    } else {
      AskDiscSettings(sizeBytes);
    }
  });
  dialog->show();
}

void DownloadFilePage::StartDownload() {
  pagemodel::IModel* model = pagemodel::Current();
  if (model) model->Settings().m_strNetworkFileDirectory.Set(m_strFolder);
  m_timeDate = m_pDateCtrl ? m_pDateCtrl->date() : QDate::currentDate();
  m_timeTime = m_pTimeCtrl ? m_pTimeCtrl->time() : QTime(0, 0);
  const int disk = nb::DiskOfPosition(m_byHddMask, m_nHddIndex);
  m_byHddNumber = static_cast<std::uint8_t>(disk < 0 ? 0 : disk);

  if (model) {
    player::PlayerLinkBlock& link = model->Player();
    const plat::HWND wnd = link.h_PlayerWnd.load();
    if (wnd && player::ProcessOfWindow(wnd) != link.dw_PlayerProcessId.load()) ForgetPlayer(link);
    if (!m_bDynamicDownload) {
      ForgetPlayer(link);
    } else if (link.f_PlayerStarted.load() && link.dw_PlayerProcessId.load() && link.h_PlayerWnd.load()) {
      LowerMainWindow(*this);
      char block[1024] = {};
      std::memcpy(block, m_strFilePath.data(), m_strFilePath.size());
      player::SendCopyData(link.h_PlayerWnd.load(), player::CDS_PLAYFILE, block, sizeof block);
    } else {
      try {
        StartPlayer();
      } catch (const std::runtime_error&) {
        WriteControls();
        return;  // no lock: no download
      }
    }
  }
  m_strPlayFile = m_strFilePath;
  // A child of the page: it goes with the page at the latest, its thread keeping its run.
  auto* dialog = new CDownloadProgressDlg(this, *this);
  m_pProgress = dialog;
  connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
    m_pProgress = nullptr;
    dialog->deleteLater();  // not under its own handler
    OnDownloadEnded(result);
  });
  dialog->OnInitDialog();
  dialog->show();
}

void DownloadFilePage::OnDownloadEnded(int result) {
  if (result == 255) {
    LowerMainWindow(*this);
    PostMessage(msg::WM_PLAYDOWNLOADEDFILE);
  }
  MakeFileName();
  WriteControls();
}

// ---- progress dialog ---------------------------------------------------------------------------

struct CDownloadProgressDlg::Run {
  Run() : startEvent(plat::CreateEvent(false, false)), stopEvent(plat::CreateEvent(false, false)) {}
  ~Run() {
    if (startEvent) plat::CloseHandle(startEvent);
    if (stopEvent) plat::CloseHandle(stopEvent);
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  const plat::HANDLE startEvent;
  const plat::HANDLE stopEvent;
  nb::DownloadContext context;
  std::unique_ptr<nb::IBackupPlayer> player;
  std::atomic<int> finished{0};
  CWriteCD* writer = nullptr;  // the disc the file goes to after the download, if any
};

CDownloadProgressDlg::CDownloadProgressDlg(QWidget* parent, DownloadFilePage& page)
    : ui::Window(parent), m_Page(page), m_run(std::make_shared<Run>()) {
  setWindowTitle(QStringLiteral("DVR-Network Backup"));
  // Application-modal: the operator cannot close the sheet under a running download. Should
  // the sheet go all the same, the dialog goes with its page and the thread keeps its run.
  setWindowModality(Qt::ApplicationModal);
  const double s = Scale();
  resize(static_cast<int>(300 * s), static_cast<int>(110 * s));
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setGeometry(static_cast<int>(200 * s), static_cast<int>(70 * s), static_cast<int>(80 * s), static_cast<int>(24 * s));
  AddControl(IDC_BKDLG_CANCEL, cancel);
  auto* play = new QPushButton(QStringLiteral("PLAY"), this);
  play->setGeometry(static_cast<int>(20 * s), static_cast<int>(70 * s), static_cast<int>(80 * s), static_cast<int>(24 * s));
  AddControl(IDC_BKDLG_PLAY, play);
  OnCommand(IDC_BKDLG_CANCEL, [this] { OnCancel(); });
  OnCommand(IDC_BKDLG_PLAY, [this] { EndDialog(255); });
  m_bCopyToCD = page.m_bCopyToCD;

  Run& run = *m_run;
  nb::DownloadContext& c = run.context;
  pagemodel::IModel* model = pagemodel::Current();
  if (model) {
    c.server = model->Settings().m_strServerName.Get();
    c.port = model->Settings().m_wWebPort.load();
    c.request.sessionId = model->SessionId();
    c.request.host = model->LocalIp();
    run.player = std::make_unique<player::BackupPlayer>(model->Player());
  }
  c.request.year = page.m_timeDate.year();
  c.request.month = page.m_timeDate.month();
  c.request.day = page.m_timeDate.day();
  c.request.hour = page.m_timeTime.hour();
  c.request.minute = page.m_timeTime.minute();
  c.request.second = page.m_timeTime.second();
  c.request.hddNumber = page.m_byHddNumber;
  c.request.channel = static_cast<int>(page.m_nChannel) - 1;
  c.request.sizeMB = page.m_nBackupSize;
  c.filePath = page.m_strFilePath;
  c.startEvent = run.startEvent;
  c.stopEvent = run.stopEvent;
  // Everything the hooks reach lives in the run or outlives it: a status posted after the
  // dialog has gone is dropped by the message route.
  const plat::HWND self = Hwnd();
  c.hooks.status = [self](int status, int value) { plat::PostMessage(self, msg::WM_DOWNLOADSTATUS, status, value); };
  c.hooks.progress = [](int job, int value) { PostProgressJob(job, value); };
  const plat::HANDLE stop = run.stopEvent;
  c.hooks.stopRequested = [stop] { return plat::WaitForSingleObject(stop, 0) == plat::WAIT_OBJECT_0; };
  c.hooks.player = run.player.get();
  c.hooks.finished = &run.finished;
  if (page.m_bCopyToCD && model) {
    CWriteCD* writer = &model->DiscWriter();
    run.writer = writer;
    c.hooks.writeDisc = [writer] { writer->WriteCD(); };
  }

  OnMessage(msg::WM_DOWNLOADSTATUS, [this](plat::WPARAM w, plat::LPARAM l) -> plat::LPARAM {
    OnDownloadStatus(static_cast<int>(w), static_cast<int>(l));
    return 0;
  });
  OnMessage(msg::WM_PLAYERACK, [](plat::WPARAM w, plat::LPARAM l) -> plat::LPARAM {
    pagemodel::IModel* pm = pagemodel::Current();
    if (pm && l != 0 && static_cast<plat::HWND>(l) == pm->Player().h_PlayerWnd.load()) {
      pm->Player().dw_PlayerBufferBytes = w == 0 ? 102400u : static_cast<std::uint32_t>(w * 1024);
      pm->Player().f_PlayerReady = 1;
    }
    return 0;
  });
  OnMessage(msg::WM_PLAYERSTOP, [](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
    if (pagemodel::IModel* pm = pagemodel::Current()) pm->Player().f_PlayerStopped = 1;
    return 0;
  });
}

CDownloadProgressDlg::~CDownloadProgressDlg() {
  RequestStop();
  StopThread();
}

bool CDownloadProgressDlg::Finished() const { return m_run && m_run->finished.load() != 0; }

void CDownloadProgressDlg::RequestStop() {
  if (!m_run) return;
  plat::SetEvent(m_run->stopEvent);
  // A disc being written stops at the library's next call; a question about its image file
  // is answered "no".
  if (m_run->writer) m_run->writer->Abort();
  // A receive waits up to 10 s: the cancel token ends it at once.
  if (m_hDownloadThread) plat::CancelThread(m_hDownloadThread, 31);
}

void CDownloadProgressDlg::StopThread() {
  if (!m_hDownloadThread) return;
  if (plat::StopThread(m_hDownloadThread, kStopBoundMs) != plat::WAIT_OBJECT_0 &&
      plat::WaitForSingleObject(m_hDownloadThread, 0) != plat::WAIT_OBJECT_0) {
    // The thread holds its own reference to the run: only the dialog's goes.
    TraceLog_Append("kept network backup download: its thread did not end within its bound");
  }
  plat::CloseHandle(m_hDownloadThread);
  m_hDownloadThread = 0;
  m_run.reset();
}

bool CDownloadProgressDlg::OnInitDialog() {
  if (!m_run || m_hDownloadThread) return true;
  m_run->finished = 0;
  std::shared_ptr<Run> run = m_run;
  m_hDownloadThread = plat::CreateThread([run] { return nb::DownloadFileThread(&run->context); }, nullptr, "backup");
  if (!m_hDownloadThread) return true;  // stays empty until Cancel
  plat::SetEvent(m_run->startEvent);
  ShowDlgItem(IDC_BKDLG_PLAY, false);
  if (pagemodel::IModel* model = pagemodel::Current()) {
    player::PlayerLinkBlock& link = model->Player();
    link.f_PlayerReady = 0;
    link.f_PlayerStopped = 0;
    link.dw_PlayerBufferBytes = 0;
    if (plat::HWND w = link.h_PlayerWnd.load()) {
      plat::PostMessage(w, msg::WM_PLAYERATTACH, 0, static_cast<plat::LPARAM>(Hwnd()));
    }
  }
  return true;
}

void CDownloadProgressDlg::OnDownloadStatus(int status, int value) {
  (void)value;
  auto final = [this](const std::string& text) {
    m_strStatus = text;
    update();
    SetDlgItemText(IDC_BKDLG_CANCEL, QStringLiteral("Exit"));
  };
  switch (status) {
    case nb::DS_SEND_FAILED: final(LoadStr(IDS_SEND_COMMAND_FAILED)); break;
    case nb::DS_FILE_FAILED: final(LoadStr(IDS_DOWNLOAD_PATH_INVALID)); break;
    case nb::DS_RECEIVE_FAILED: final(LoadStr(IDS_DOWNLOAD_FAILED)); break;
    case nb::DS_NO_DATA: final(LoadStr(IDS_NO_RECORD_DATA)); break;
    case nb::DS_ABORTED: final(LoadStr(IDS_WAIT_AND_RETRY)); break;
    case nb::DS_OVERRUN: final("Too much data: stopped."); break;
    case nb::DS_FINISHED: {
      EnableDlgItem(IDC_BKDLG_PLAY, true);
      bool ready = false;
      if (pagemodel::IModel* model = pagemodel::Current()) {
        ready = model->Player().f_PlayerReady.load() == 1 && model->Player().f_PlayerStopped.load() == 0;
      }
      ShowDlgItem(IDC_BKDLG_PLAY, !ready);
      final("Download process is finished");
      break;
    }
    case nb::DS_WRITING_CD:
      m_strStatus = "Writing cd ...";
      update();
      break;
    default:
      break;  // progress: the sheet's bar shows it
  }
}

void CDownloadProgressDlg::OnCancel() {
  const std::string id = pagemodel::ProductId();
  const std::string version = pagemodel::ConnectedDevice().firmware;
  const bool finished = Finished();
  RequestStop();
  StopThread();
  if (!finished && IsModelFamilyK41(id) && !IsFirmwareBelow("1043", version)) {
    SendCancelNetworkBackup();
  }
  if (finished && m_bCopyToCD) PostProgressJob(PROGRESS_JOB_CLEAR, 0);
  EndDialog(0);
}

void CDownloadProgressDlg::paintEvent(QPaintEvent* event) {
  ui::Window::paintEvent(event);
  if (m_strStatus.empty()) return;
  const double s = Scale();
  QPainter painter(this);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(static_cast<int>(18 * s));
  font.setWeight(QFont::Normal);
  font.setStyleHint(QFont::SansSerif);
  painter.setFont(font);
  painter.drawText(static_cast<int>(25 * s), static_cast<int>(12 * s) + painter.fontMetrics().ascent(),
                   QString::fromStdString(m_strStatus));
}
