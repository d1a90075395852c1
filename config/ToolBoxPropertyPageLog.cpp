#include "config/ToolBoxPropertyPageLog.h"
#include "config/PageModel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>

#include "config/EventLogViewers.h"
#include "config/SheetProgress.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "ui/PropertySheet.h"

namespace {


// Devices whose log the client cannot read: K40R before firmware 1007, the K44R family.
bool LogHidden() {
  const std::string id = pagemodel::ProductId();
  if (IsModelFamilyK44(id)) return true;
  return IsModelK40R(id) && IsFirmwareBelow("1007", g_lpApp ? g_lpApp->GetFWVersion() : std::string());
}

}  // namespace

CServerLog::CServerLog(ui::PropertyPage& page)
    : m_pLogBuffer(new std::uint8_t[kEventLogBufferSize]()), m_page(page) {
  m_hLogCancelEvent = plat::CreateEvent(false, false);
  m_progress = [](int job, int value) { PostProgressJob(job, value); };
  m_runViewer = [](EventLogFamily family, const std::uint8_t* records, std::uint32_t count) {
    if (family == EventLogFamily::Dvr) {
      CDvrLogDlg viewer;
      viewer.m_pLogRecords = records;
      viewer.m_nRecordCount = count;
      viewer.DoModal();
    } else {
      CServerLogDlg viewer;
      viewer.m_pLogRecords = records;
      viewer.m_nRecordCount = count;
      viewer.DoModal();
    }
  };
  m_page.AddInitStep([this] { InitControls(); });
  m_page.OnMessage(WM_SERVERLOGDONE,
                   [this](plat::WPARAM code, plat::LPARAM) -> plat::LPARAM { return OnServerLogDone(code); });
  m_page.OnCommand(IDC_TOOLBOX_SERVERLOG, [this] { OnButtonServerLog(); });
  m_page.OnChange(IDC_TOOLBOX_MAXLOG, [this] { OnChangeMaxLogList(); });
}

CServerLog::~CServerLog() {
  StopLogThread();
  if (m_hLogCancelEvent) plat::CloseHandle(m_hLogCancelEvent);
}

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
  if (!edit) return;
  std::string text = edit->text().toStdString();
  if (text.empty()) return;
  FilterDigits(text);
  if (!text.empty()) {
    // Digits beyond the limit's length cannot be below it.
    m_nMaxLogList = text.size() > 5 ? kMaxLogListLimit : std::min(std::stoi(text), kMaxLogListLimit);
  }
  ui::PropertyPage::FillScope fill(m_page);
  const QString shown = QString::number(m_nMaxLogList);
  if (edit->text() != shown) edit->setText(shown);
}

void CServerLog::StopLogThread(bool cancel) {
  if (cancel && m_hLogCancelEvent) plat::SetEvent(m_hLogCancelEvent);
  if (m_hLogThread == 0) return;
  // A request waiting on the network ends at once when the thread's cancel token is set.
  if (cancel) plat::CancelThread(m_hLogThread, 31);
  if (plat::WaitForSingleObject(m_hLogThread, kThreadEndBoundMs) != plat::WAIT_OBJECT_0) {
    // It may still write into the buffer: the buffer is left to it rather than freed.
    (void)m_pLogBuffer.release();
    m_pLogBuffer.reset(new std::uint8_t[kEventLogBufferSize]());
  }
  plat::CloseHandle(m_hLogThread);
  m_hLogThread = 0;
}

void CServerLog::OnButtonServerLog() {
  if (auto* edit = m_page.Item<QLineEdit>(IDC_TOOLBOX_MAXLOG)) {
    std::string text = edit->text().toStdString();
    FilterDigits(text);
    if (!text.empty()) m_nMaxLogList = text.size() > 5 ? kMaxLogListLimit : std::min(std::stoi(text), kMaxLogListLimit);
  }
  if (m_byLogState == 1) {
    SetCaption(false);
    StopLogThread();
    m_byLogState = 2;
    if (m_progress) m_progress(PROGRESS_JOB_CLEAR, 0);
    return;
  }
  SetCaption(true);
  StopLogThread();
  std::memset(m_pLogBuffer.get(), 0, kEventLogBufferSize);
  m_nLogCount.store(0);
  if (m_hLogCancelEvent) plat::CloseHandle(m_hLogCancelEvent);
  m_hLogCancelEvent = plat::CreateEvent(false, false);
  ServerLogJob job;
  job.maxLogList = m_nMaxLogList;
  job.cancelEvent = m_hLogCancelEvent;
  job.buffer = m_pLogBuffer.get();
  job.count = &m_nLogCount;
  job.notify = m_page.Hwnd();
  job.sessionId = GetSessionId();
  job.progress = m_progress;
  m_hLogThread = plat::CreateThread([job] { return static_cast<plat::DWORD>(Get_Server_Log_Thread(job)); }, nullptr,
                                    "server-log");
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
  if (code == SERVERLOG_RECORDS) {
    if (m_runViewer) {
      m_runViewer(IsModelFamilyK41(pagemodel::ProductId()) ? EventLogFamily::Dvr : EventLogFamily::Server, m_pLogBuffer.get(),
                  m_nLogCount.load());
    }
  } else if (code == SERVERLOG_FAILED) {
    plat::MessageBox(m_page.Hwnd(), "Read server log is failed");
  }
  return 0;
}
