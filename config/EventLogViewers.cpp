#include "config/EventLogViewers.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/Strings.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/SessionRecord.h"

namespace {
constexpr int kClearTimeoutSec = 15;
}

CEventLogViewer::CEventLogViewer(EventLogFamily family, QWidget* parent)
    : ui::Window(parent), m_dwEventMask(EventLogInitialMask(family)), m_family(family) {
  setWindowTitle(QStringLiteral("Server Log"));
  auto* layout = new QHBoxLayout(this);
  m_lstLog = new ui::ReportList(this);
  AddControl(IDC_LOG_LIST, m_lstLog);
  layout->addWidget(m_lstLog, 1);
  auto* side = new QVBoxLayout;
  layout->addLayout(side);
  for (const EventLogFilter& f : EventLogFilters(family)) {
    auto* box = new QCheckBox(QString::fromLatin1(f.text), this);
    box->setVisible(f.visible);
    if (f.visible) side->addWidget(box);
    AddControl(f.id, box);
    m_checks[f.id] = true;
    const int id = f.id;
    OnCommand(id, [this, id] { OnFilterCheck(id); });
  }
  side->addStretch(1);
  resize(family == EventLogFamily::Dvr ? 624 : 692, family == EventLogFamily::Dvr ? 364 : 392);
}

bool CEventLogViewer::OnInitDialog() {
  m_lstLog->InsertColumn(0, QStringLiteral("NO."), 40);
  m_lstLog->InsertColumn(1, QString::fromLatin1(LoadStr(8570)), 210);
  m_lstLog->InsertColumn(2, QString::fromLatin1(LoadStr(8571)), 150);
  if (m_family == EventLogFamily::Dvr) m_lstLog->InsertColumn(3, QString::fromLatin1(LoadStr(8572)), 40);
  for (int c = 0; c < m_lstLog->columnCount(); ++c) m_lstLog->headerItem()->setTextAlignment(c, Qt::AlignCenter);
  FillList();
  return true;
}

void CEventLogViewer::FillList() {
  std::vector<EventLogRow> rows;
  ListEventLog(m_family, m_pLogRecords, m_nRecordCount, m_dwEventMask, rows);
  const int columns = m_family == EventLogFamily::Dvr ? 4 : 3;
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<int>(rows.size()));
  for (const EventLogRow& row : rows) {
    QStringList cells{QString::fromLatin1(row.number.c_str()), QString::fromLatin1(row.event.c_str()),
                      QString::fromLatin1(row.time.c_str())};
    if (columns == 4) cells << QString::fromLatin1(row.channel.c_str());
    auto* item = new QTreeWidgetItem(cells);
    for (int c = 0; c < columns; ++c) item->setTextAlignment(c, Qt::AlignCenter);
    items.append(item);
  }
  m_lstLog->setUpdatesEnabled(false);
  m_lstLog->clear();
  m_lstLog->addTopLevelItems(items);
  m_lstLog->setUpdatesEnabled(true);
  PushChecks();
}

void CEventLogViewer::OnFilterCheck(int id) {
  for (const EventLogFilter& f : EventLogFilters(m_family)) {
    if (f.id != id) continue;
    bool& checked = m_checks[id];
    if (checked) {
      m_dwEventMask &= ~f.bit;
    } else {
      m_dwEventMask |= f.bit;
    }
    checked = !checked;
  }
  FillList();
}

bool CEventLogViewer::IsChecked(int id) const {
  auto it = m_checks.find(id);
  return it != m_checks.end() && it->second;
}

void CEventLogViewer::PushChecks() {
  for (const auto& [id, checked] : m_checks) {
    if (auto* box = Item<QCheckBox>(id)) box->setChecked(checked);
  }
}

CDvrLogDlg::CDvrLogDlg(QWidget* parent) : CEventLogViewer(EventLogFamily::Dvr, parent) {
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  AddControl(plat::IDOK, ok);
  OnCommand(plat::IDOK, [this] { EndDialog(plat::IDOK); });
  if (auto* side = qobject_cast<QBoxLayout*>(layout()->itemAt(1)->layout())) side->addWidget(ok);
}

CServerLogDlg::CServerLogDlg(QWidget* parent) : CEventLogViewer(EventLogFamily::Server, parent) {
  auto* clear = new QPushButton(QStringLiteral("CLEAR SERVER LOG"), this);
  auto* exitButton = new QPushButton(QStringLiteral("EXIT"), this);
  AddControl(IDC_LOG_CLEAR, clear);
  AddControl(IDC_LOG_EXIT, exitButton);
  OnCommand(IDC_LOG_CLEAR, [this] { OnClearServerLog(); });
  OnCommand(IDC_LOG_EXIT, [this] { OnExit(); });
  if (auto* side = qobject_cast<QBoxLayout*>(layout()->itemAt(1)->layout())) {
    side->addWidget(clear);
    side->addWidget(exitButton);
  }
}

void CServerLogDlg::OnClearServerLog() {
  if (plat::MessageBox(Hwnd(), LoadStr(4117), "", plat::MB_YESNO | plat::MB_ICONERROR) != plat::IDYES) return;
  CCgiRequest request(CGI_CLEARLOG);
  request.AddCookie(GetSessionId());
  if (ZududSendCommand(request, nullptr, 0, nullptr, nullptr, 0, nullptr, kClearTimeoutSec, kClearTimeoutSec)) {
    EndDialog(0);
    return;
  }
  plat::MessageBox(Hwnd(), "Clear server log is failed");
}
