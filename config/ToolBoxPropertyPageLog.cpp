#include "config/ToolBoxPropertyPageLog.h"
#include "config/PageModel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>

#include "config/DigitEdit.h"
#include "config/EventLogViewers.h"
#include "config/SheetProgress.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "core/TraceLog.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "ui/PropertySheet.h"

namespace {


// Devices whose log the client cannot read: K40R before firmware 1007, the K44R family.
// The typed maximum of the log list, at most the limit.
int MaxLogListOf(const std::string& digits) {
  return static_cast<int>(std::min<unsigned long>(digitedit::Value(digits, 5, kMaxLogListLimit), kMaxLogListLimit));
}

bool LogHidden() {
  const std::string id = pagemodel::ProductId();
  if (IsModelFamilyK44(id)) return true;
  return IsModelK40R(id) && IsFirmwareBelow("1007", pagemodel::ConnectedDevice().firmware);
}

}  // namespace

struct CServerLog::Run {
  Run() : buffer(new std::uint8_t[kEventLogBufferSize]()), cancelEvent(plat::CreateEvent(false, false)) {}
  ~Run() {
    if (cancelEvent) plat::CloseHandle(cancelEvent);
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  const std::unique_ptr<std::uint8_t[]> buffer;
  std::atomic<std::uint32_t> count{0};
  const plat::HANDLE cancelEvent;
};

CServerLog::CServerLog(ui::PropertyPage& page) : m_page(page) {
  m_progress = [](int job, int value) { PostProgressJob(job, value); };
  m_runViewer = [this](EventLogFamily family, const std::uint8_t* records, std::uint32_t count) {
    // Shown without a loop of its own: the viewer keeps the run whose records it shows, and
    // goes when it is closed or with the page.
    CEventLogViewer* viewer = family == EventLogFamily::Dvr ? static_cast<CEventLogViewer*>(new CDvrLogDlg(&m_page))
                                                            : new CServerLogDlg(&m_page);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setWindowModality(Qt::ApplicationModal);
    viewer->m_pLogRecords = records;
    viewer->m_nRecordCount = count;
    std::shared_ptr<Run> run = m_run;
    QObject::connect(viewer, &QObject::destroyed, [run] {});
    if (static_cast<ui::Window*>(viewer)->OnInitDialog()) {
      viewer->show();
    } else {
      viewer->deleteLater();
    }
  };
  m_page.AddInitStep([this] { InitControls(); });
  m_page.OnMessage(WM_SERVERLOGDONE,
                   [this](plat::WPARAM code, plat::LPARAM) -> plat::LPARAM { return OnServerLogDone(code); });
  m_page.OnCommand(IDC_TOOLBOX_SERVERLOG, [this] { OnButtonServerLog(); });
  m_page.OnChange(IDC_TOOLBOX_MAXLOG, [this] { OnChangeMaxLogList(); });
}

CServerLog::~CServerLog() { StopLogThread(); }

void CServerLog::InitControls() {
  auto* button = new QPushButton(&m_page);
  auto* label = new QLabel(QStringLiteral("MAX LOG LIST :"), &m_page);
  auto* edit = new QLineEdit(&m_page);
  // Below the general page's last row (the second channel name).
  button->setGeometry(20, 230, 120, 24);
  label->setGeometry(160, 232, 100, 20);
  edit->setGeometry(262, 230, 60, 22);
  m_page.AddControl(IDC_TOOLBOX_SERVERLOG, button);
  m_page.AddControl(IDC_TOOLBOX_MAXLOG_LABEL, label);
  m_page.AddControl(IDC_TOOLBOX_MAXLOG, edit);
  SetCaption(m_byLogState == 1);
  edit->setText(QString::number(m_nMaxLogList));
  const bool hidden = LogHidden();
  for (int id : {IDC_TOOLBOX_SERVERLOG, IDC_TOOLBOX_MAXLOG_LABEL, IDC_TOOLBOX_MAXLOG}) m_page.ShowDlgItem(id, !hidden);
}

void CServerLog::SetCaption(bool reading) {
  char idle[kSplitPartSize], busy[kSplitPartSize];
  if (!SplitResourceString(1304, idle, busy)) return;
  m_page.SetDlgItemText(IDC_TOOLBOX_SERVERLOG, QString::fromLatin1(reading ? busy : idle));
}

void CServerLog::OnChangeMaxLogList() {
  auto* edit = m_page.Item<QLineEdit>(IDC_TOOLBOX_MAXLOG);
  std::string text;
  if (!digitedit::Typed(edit, text)) return;
  // Digits beyond the limit's length cannot be below it.
  if (!text.empty()) m_nMaxLogList = MaxLogListOf(text);
  ui::PropertyPage::FillScope fill(m_page);
  const QString shown = QString::number(m_nMaxLogList);
  if (edit->text() != shown) edit->setText(shown);
}

void CServerLog::StopLogThread(bool cancel) {
  if (cancel && m_run) plat::SetEvent(m_run->cancelEvent);
  if (m_hLogThread == 0) return;
  // A request waiting on the network ends at once when the thread's cancel token is set.
  if (cancel) plat::CancelThread(m_hLogThread, 31);
  if (plat::StopThread(m_hLogThread, kThreadEndBoundMs) != plat::WAIT_OBJECT_0 &&
      plat::WaitForSingleObject(m_hLogThread, 0) != plat::WAIT_OBJECT_0) {
    // It may still write into its run: the run stays with it and the page lets go of it.
    TraceLog_Append("kept server log download: its thread did not end within its bound");
    m_run.reset();
  }
  plat::CloseHandle(m_hLogThread);
  m_hLogThread = 0;
}

void CServerLog::OnButtonServerLog() {
  std::string text;
  if (digitedit::Typed(m_page.Item<QLineEdit>(IDC_TOOLBOX_MAXLOG), text) && !text.empty()) m_nMaxLogList = MaxLogListOf(text);
  if (m_byLogState == 1) {
    SetCaption(false);
    StopLogThread();
    m_byLogState = 2;
    if (m_progress) m_progress(PROGRESS_JOB_CLEAR, 0);
    return;
  }
  SetCaption(true);
  StopLogThread();
  auto run = std::make_shared<Run>();
  m_run = run;
  ServerLogJob job;
  job.maxLogList = m_nMaxLogList;
  job.cancelEvent = run->cancelEvent;
  job.buffer = run->buffer.get();
  job.count = &run->count;
  job.notify = m_page.Hwnd();
  job.sessionId = GetSessionId();
  job.progress = m_progress;
  // The thread holds the run as long as it runs: the job points into it.
  m_hLogThread = plat::CreateThread(
      [run, job] { return static_cast<plat::DWORD>(Get_Server_Log_Thread(job)); }, nullptr, "server-log");
  if (m_hLogThread == 0) {
    SetCaption(false);
    plat::MessageBox(m_page.Hwnd(), "Read server log is failed");
    return;
  }
  m_byLogState = 1;
}

plat::LPARAM CServerLog::OnServerLogDone(plat::WPARAM code) {
  // A report of a download the operator already cancelled changes nothing.
  if (m_byLogState != 1) return 0;
  if (code != SERVERLOG_RECORDS && code != SERVERLOG_EMPTY && code != SERVERLOG_FAILED) return 0;
  // The thread posted its last word: it is joined before anything else is done.
  StopLogThread(false);
  m_byLogState = 2;
  SetCaption(false);
  if (code == SERVERLOG_RECORDS && m_run) {
    if (m_runViewer) {
      m_runViewer(IsModelFamilyK41(pagemodel::ProductId()) ? EventLogFamily::Dvr : EventLogFamily::Server,
                  m_run->buffer.get(), m_run->count.load());
    }
  } else if (code == SERVERLOG_FAILED) {
    plat::MessageBox(m_page.Hwnd(), "Read server log is failed");
  }
  return 0;
}
