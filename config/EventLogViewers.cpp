#include "config/EventLogViewers.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHash>
#include <QHeaderView>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

#include "core/Strings.h"

namespace {

// Every cell centred, without an alignment stored per cell (a refill of 2048 rows stays cheap).
class CentredDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->displayAlignment = Qt::AlignCenter;
  }
};
}  // namespace

const std::vector<EventLogFilter>& EventLogFilters(EventLogFamily family) {
  static const std::vector<EventLogFilter> dvr = {
      {1442, "POWER ON", 0x1, true},       {1443, "VIDEO LOSS", 0x2, true},    {1444, "REMOTE LOGIN", 0x100, true},
      {1445, "HDD FULL", 0x4, true},       {1446, "KEY LOCK", 0x20, true},     {1447, "KEY UNLOCK", 0x40, true},
      {1448, "RESET DEFAULT", 0x80, true}, {1449, "EMAIL FAILED", 0x8, true},  {1450, "FTP FAILED", 0x10, true},
      {1451, "HDD ERROR", 0x200, true},    {1452, "HDD DMA ERROR", 0x400, true}, {1453, "DDNS", 0x4000, true},
      {1454, "PPPOE", 0x8000, true},       {1455, "DHCP", 0x10000, true},
  };
  static const std::vector<EventLogFilter> server = {
      {1442, "POWER ON", 0x1, true},         {1448, "RESET DEFAULT", 0x2, true}, {1462, "ALARM", 0x4, true},
      {1444, "REMOTE LOGIN", 0x10, true},    {1445, "REMOTE LOGOUT", 0x20, true},
      {1451, "PPPOE SUCCESS", 0x1000, true}, {1452, "PPPOE FAILED", 0x100000, true},
      {1449, "MAIL FAILED", 0x10000, true},  {1450, "FTP FAILED", 0x20000, true},
      {1446, "MAIL SUCCESS", 0x100, false},  {1447, "FTP_SUCCESS", 0x200, false},
  };
  return family == EventLogFamily::Dvr ? dvr : server;
}

CEventLogViewer::CEventLogViewer(EventLogFamily family, QWidget* parent)
    : ui::Window(parent), m_dwEventMask(EventLogInitialMask(family)), m_family(family) {
  setWindowTitle(QStringLiteral("Server Log"));
  auto* layout = new QHBoxLayout(this);
  m_lstLog = new ui::ReportList(this);
  m_lstLog->setItemDelegate(new CentredDelegate(m_lstLog));
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
  // The same texts as ListEventLog, made straight into the list's strings: fixed event names
  // and channels come from small caches, numbers and times are written digit by digit.
  const bool dvr = m_family == EventLogFamily::Dvr;
  QHash<std::uint32_t, QString> names;
  QHash<QByteArray, QString> variableNames;
  QString channels[256];
  auto two = [](QChar* out, unsigned v) {
    out[0] = QChar(u'0' + (v / 10) % 10);
    out[1] = QChar(u'0' + v % 10);
  };
  QList<QTreeWidgetItem*> items;
  const std::uint32_t count = m_pLogRecords ? std::min<std::uint32_t>(m_nRecordCount, kEventLogMaxRecords) : 0;
  int row = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* r = m_pLogRecords + i * kEventLogRecordSize;
    const std::uint32_t id = EventLogId(r);
    if (!IsEventListed(id, m_dwEventMask)) continue;
    ++row;
    QStringList cells;
    cells.reserve(dvr ? 4 : 3);
    // "%2d" of the running number.
    if (m_numbers.size() < static_cast<std::size_t>(row)) {
      if (row < 10) {
        QString number(2, QChar(u' '));
        number[1] = QChar(u'0' + row);
        m_numbers.push_back(number);
      } else {
        m_numbers.push_back(QString::number(row));
      }
    }
    cells << m_numbers[static_cast<std::size_t>(row) - 1];
    // Names that depend on more than the code are formatted each time.
    const bool variable = dvr ? (id == 0x100 || id == 0x4000) : (id == 0x4 || id == 0x10 || id == 0x20);
    if (variable) {
      // Keyed by the code and the bytes the name is made from.
      QByteArray key(reinterpret_cast<const char*>(r), 4);
      if (id == 0x4000) {
        key += r[27] != 0 ? '1' : '0';
      } else if (id == 0x4) {
        key += static_cast<char>(r[10]);
      } else {
        key += QByteArray(reinterpret_cast<const char*>(r + 11), 16);
      }
      auto it = variableNames.find(key);
      if (it == variableNames.end()) {
        it = variableNames.insert(key, QString::fromLatin1(FormatEventName(m_family, r).c_str()));
      }
      cells << *it;
    } else {
      auto it = names.find(id);
      if (it == names.end()) it = names.insert(id, QString::fromLatin1(FormatEventName(m_family, r).c_str()));
      cells << *it;
    }
    if (!dvr && (id & 0x1) != 0) {
      cells << QString();
    } else if (r[4] < 100 && r[5] < 100 && r[6] < 100 && r[7] < 100 && r[8] < 100 && r[9] < 100) {
      QString time(17, QChar(u' '));
      QChar* out = time.data();
      two(out, r[4]);
      out[2] = u'-';
      two(out + 3, r[5]);
      out[5] = u'-';
      two(out + 6, r[6]);
      two(out + 9, r[7]);
      out[11] = u':';
      two(out + 12, r[8]);
      out[14] = u':';
      two(out + 15, r[9]);
      cells << time;
    } else {
      cells << QString::fromLatin1(FormatEventTime(m_family, r).c_str());
    }
    if (dvr) {
      QString& ch = channels[r[10]];
      if (ch.isNull()) ch = QString::fromLatin1(FormatEventChannel(r).c_str());
      cells << ch;
    }
    items.append(new QTreeWidgetItem(cells));
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
  if (SendClearLog()) {
    EndDialog(0);
    return;
  }
  plat::MessageBox(Hwnd(), "Clear server log is failed");
}
