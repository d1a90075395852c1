#include "config/CEventPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <memory>

#include "config/PageModel.h"
#include "config/SheetProgress.h"
#include "core/Messages.h"
#include "core/Strings.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "ui/Controls.h"
#include "ui/Lifetime.h"

namespace {

using pagemodel::Scale;

using pagemodel::DigitsOf;

// The list worker's last word to its page: wParam is the download's number.
constexpr unsigned kMsgSearchListDone = plat::WM_USER + 0x7D2;

}  // namespace

struct CEventPage::ListFetch {
  int hdd = 0;
  int type = 0;
  unsigned max = 0;
  std::vector<sl::SearchListRecord> records;
  sl::FetchResult result = sl::FetchResult::Failed;
  // The bar of the sheet the download was started in (closed with that sheet).
  std::shared_ptr<ProgressJobBlock> progress;
  void Progress(int job, int value) const {
    if (progress) progress->Post(job, value);
  }
};

CEventPage::CEventPage(QWidget* parent) : ui::PropertyPage(QStringLiteral("Search List"), parent) {
  m_byHddToIndex.fill(0xFF);
  m_byIndexToHdd.fill(0xFF);
  OnCommand(IDC_SL_DOWNLOAD, [this] { OnButtonDownloadList(); });
  OnChange(IDC_SL_HDD, [this] {
    m_bHddChanged = 1;
    ReadControls();
  });
  OnChange(IDC_SL_TYPE, [this] {
    m_bTypeChanged = 1;
    ReadControls();
  });
  OnChange(IDC_SL_MAX, [this] { OnChangeMaxNumber(); });
  OnMessage(kMsgSearchListDone, [this](plat::WPARAM serial, plat::LPARAM) -> plat::LPARAM {
    OnListDone(static_cast<unsigned>(serial));
    return 0;
  });
}

CEventPage::~CEventPage() {
  // A download still running keeps what it uses; it is told to stop, and a last word it
  // may still post finds no page.
  if (m_hListThread) {
    plat::CancelThread(m_hListThread);
    plat::CloseHandle(m_hListThread);
  }
}

bool CEventPage::OnInitDialog() {
  const double s = Scale();
  auto px = [s](double v) { return static_cast<int>(v * s); };
  auto label = [&](const char* text, int y) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setGeometry(px(20), px(y), px(120), px(20));
  };
  label("HDD Number :", 20);
  auto* hdd = new ui::DropList(this);
  hdd->setGeometry(px(145), px(20), px(130), px(22));
  AddControl(IDC_SL_HDD, hdd);
  label("List Type :", 50);
  auto* type = new ui::DropList(this);
  type->setGeometry(px(145), px(50), px(130), px(22));
  for (int i = 0; i < 5; ++i) type->AddString(QString::fromLatin1(sl::ListTypeText(i)));
  AddControl(IDC_SL_TYPE, type);
  label("Max List Number :", 80);
  auto* max = new QLineEdit(this);
  max->setGeometry(px(145), px(80), px(80), px(20));
  AddControl(IDC_SL_MAX, max);
  auto* download = new QPushButton(QStringLiteral("Download HDD List"), this);
  download->setGeometry(px(145), px(115), px(150), px(24));
  download->setAutoDefault(false);
  AddControl(IDC_SL_DOWNLOAD, download);

  pagemodel::IModel* model = pagemodel::Current();
  if (model) {
    m_nMaxListNumber = std::min<unsigned>(model->Settings().m_wSearchListMaxNumber.load(), sl::kMaxListNumber);
    const int t = model->Settings().m_bySearchListType.load();
    m_nListType = t < 5 ? t : -1;
  }
  if (nb::RequestDiskMask(m_byHddMask)) {
    std::size_t position = 0;
    for (unsigned b : nb::ListDisks(m_byHddMask)) {
      hdd->AddString(QString::fromStdString(nb::DiskName(b)));
      m_nHddIndex = 0;
      m_byIndexToHdd[position] = static_cast<std::uint8_t>(b);
      m_byHddToIndex[b] = static_cast<std::uint8_t>(position);
      ++position;
    }
    if (m_nHddIndex < 0) {
      hdd->setEnabled(false);
    } else if (model) {
      const std::uint8_t stored = static_cast<std::uint8_t>(model->Settings().m_wSearchListHDD.load() & 0xFF);
      if (m_byHddToIndex[stored] != 0xFF) m_nHddIndex = m_byHddToIndex[stored];
    }
  } else {
    hdd->setEnabled(false);
  }
  WriteControls();
  return true;
}

void CEventPage::WriteControls() {
  FillScope fill(*this);
  if (auto* hdd = Item<ui::DropList>(IDC_SL_HDD)) hdd->SetCurSel(m_nHddIndex);
  if (auto* type = Item<ui::DropList>(IDC_SL_TYPE)) type->SetCurSel(m_nListType);
  SetDlgItemText(IDC_SL_MAX, QString::number(m_nMaxListNumber));
}

void CEventPage::ReadControls() {
  if (!HasWindow()) return;
  if (auto* hdd = Item<ui::DropList>(IDC_SL_HDD)) m_nHddIndex = hdd->GetCurSel();
  if (auto* type = Item<ui::DropList>(IDC_SL_TYPE)) m_nListType = type->GetCurSel();
  const QString digits = DigitsOf(GetDlgItemText(IDC_SL_MAX));
  if (!digits.isEmpty()) {
    const qlonglong n = digits.left(9).toLongLong();
    m_nMaxListNumber = static_cast<unsigned>(n > sl::kMaxListNumber ? sl::kMaxListNumber : n);
  }
}

void CEventPage::OnChangeMaxNumber() {
  m_bMaxChanged = 1;
  const QString digits = DigitsOf(GetDlgItemText(IDC_SL_MAX));
  if (digits.isEmpty()) return;
  ReadControls();
  WriteControls();
}

void CEventPage::OnButtonDownloadList() {
  if (m_hListThread) return;  // one download at a time (the page is disabled meanwhile)
  ReadControls();
  if (m_nHddIndex < 0) {
    MessageBoxById(Hwnd(), IDS_HDD_NOT_EXIST);
    return;
  }
  m_arrRecords.clear();
  m_wCurExitListNumber = 0;
  PostProgressJob(PROGRESS_JOB_EMPTY, 0);
  PostProgressJob(PROGRESS_JOB_MAXIMUM, static_cast<int>(m_nMaxListNumber));

  // The pages are read on a worker, which posts its end to the page; the page is disabled
  // meanwhile and the bar keeps moving.
  auto fetch = std::make_shared<ListFetch>();
  fetch->hdd = m_byIndexToHdd[static_cast<std::size_t>(m_nHddIndex) & 0xFF];
  fetch->type = m_nListType;
  fetch->max = m_nMaxListNumber;
  fetch->progress = GetProgressJobBlock();
  const unsigned serial = ++m_nFetchSerial;
  const plat::HWND page = Hwnd();
  m_hListThread = plat::CreateThread(
      [fetch, serial, page] {
        fetch->result = sl::FetchSearchList(
            fetch->hdd, fetch->type, fetch->max, fetch->records,
            [&fetch](unsigned n) { fetch->Progress(PROGRESS_JOB_VALUE, static_cast<int>(n)); },
            [&fetch] {
              plat::Sleep(500);
              fetch->Progress(PROGRESS_JOB_CLEAR, 0);
            });
        plat::PostMessage(page, kMsgSearchListDone, serial, 0);
        return 0u;
      },
      nullptr, "search-list");
  if (!m_hListThread) {
    PostProgressJob(PROGRESS_JOB_CLEAR, 0);
    MessageBoxById(Hwnd(), IDS_SEND_COMMAND_FAILED);
    return;
  }
  m_fetch = std::move(fetch);
  setEnabled(false);
}

void CEventPage::OnListDone(unsigned serial) {
  if (!m_hListThread || serial != m_nFetchSerial) return;
  // The worker has posted its last word and ends on its own.
  plat::CloseHandle(m_hListThread);
  m_hListThread = 0;
  const std::shared_ptr<ListFetch> fetch = std::move(m_fetch);
  setEnabled(true);
  // A sheet closed meanwhile shows nothing of it.
  const ui::PropertySheet* sheet = Sheet();
  if (!fetch || !sheet || !sheet->isVisible() || ui::IsWaitingForDeletion(this)) return;
  m_arrRecords = std::move(fetch->records);
  m_wCurExitListNumber = static_cast<std::uint16_t>(m_arrRecords.size());
  PostProgressJob(PROGRESS_JOB_CLEAR, 0);
  if (fetch->result == sl::FetchResult::Failed) {
    MessageBoxById(Hwnd(), IDS_SEND_COMMAND_FAILED);
    return;
  }
  if (m_arrRecords.empty()) {
    MessageBoxById(Hwnd(), IDS_NO_LIST_DATA);
    return;
  }
  // A window of its own (as the progress dialog is): a dialog parented to a page inside the
  // sheet is not drawn by every X server. The sheet still hears of the pick.
  CFullListDlg dialog(nullptr, &m_arrRecords, sl::ListCaption(m_nListType), m_nHddIndex, m_nListType);
  dialog.m_pNotifyWindow = Sheet();
  dialog.DoModal();
}

// ---- the list dialog ---------------------------------------------------------------------------

CFullListDlg::CFullListDlg(QWidget* parent, const std::vector<sl::SearchListRecord>* records,
                           const std::string& caption, int hddIndex, int listType)
    : ui::Window(parent),
      m_pRecords(records),
      m_strCaption(caption),
      m_byHddIndex(static_cast<std::uint8_t>(hddIndex)),
      m_byListType(static_cast<std::uint8_t>(listType)) {
  Build();
}

CFullListDlg::CFullListDlg(QWidget* parent) : ui::Window(parent) { Build(); }

void CFullListDlg::Build() {
  const double s = Scale();
  auto px = [s](double v) { return static_cast<int>(v * s); };
  resize(px(560), px(400));
  auto* list = new ui::ReportList(this);
  list->setGeometry(px(10), px(10), px(540), px(300));
  AddControl(IDC_FL_LIST, list);
  list->onDoubleClick = [this](int) { OnDownload(true); };
  struct Box {
    int id;
    const char* text;
    bool* flag;
  };
  const Box boxes[] = {{IDC_FL_ALARM, "ALARM", &m_Filters.alarm},
                       {IDC_FL_MANUAL, "MANUAL", &m_Filters.manual},
                       {IDC_FL_MOTION, "MOTION", &m_Filters.motion},
                       {IDC_FL_SYSTEM, "SYSTEM", &m_Filters.system}};
  int x = 10;
  for (const Box& b : boxes) {
    auto* box = new QCheckBox(QString::fromLatin1(b.text), this);
    box->setGeometry(px(x), px(320), px(90), px(20));
    AddControl(b.id, box);
    bool* flag = b.flag;
    const int id = b.id;
    QObject::connect(box, &QCheckBox::clicked, this, [this, id, flag] { Toggle(id, *flag); });
    x += 95;
  }
  auto* timer = new QCheckBox(QStringLiteral("TIMER"), this);
  timer->setGeometry(px(x), px(320), px(90), px(20));
  AddControl(IDC_FL_TIMER, timer);
  auto* download = new QPushButton(QStringLiteral("Download"), this);
  download->setGeometry(px(340), px(360), px(100), px(26));
  AddControl(IDC_FL_DOWNLOAD, download);
  auto* exit = new QPushButton(QStringLiteral("Exit"), this);
  exit->setGeometry(px(450), px(360), px(100), px(26));
  AddControl(IDC_FL_EXIT, exit);
  OnCommand(IDC_FL_DOWNLOAD, [this] { OnDownload(false); });
  OnCommand(IDC_FL_EXIT, [this] { OnOK(); });
}

bool CFullListDlg::OnInitDialog() {
  setWindowTitle(QString::fromStdString(m_strCaption));
  auto* list = Item<ui::ReportList>(IDC_FL_LIST);
  list->InsertColumn(0, QStringLiteral("NO."), 40);
  list->InsertColumn(1, QStringLiteral("EVENT"), 100);
  list->InsertColumn(2, QStringLiteral("CHANNEL"), 120);
  list->InsertColumn(3, QStringLiteral("TIME"), 250);
  ShowDlgItem(IDC_FL_TIMER, false);
  m_Filters = sl::FiltersOfListType(m_byListType);
  const bool all = m_byListType == 0;
  for (int id : {IDC_FL_ALARM, IDC_FL_MANUAL, IDC_FL_MOTION, IDC_FL_SYSTEM}) {
    if (m_byListType <= 4) EnableDlgItem(id, all);
  }
  auto set = [this](int id, bool on) {
    if (auto* b = Item<QCheckBox>(id)) {
      b->setChecked(on);
      if (on && m_byListType <= 4) b->setEnabled(true);
    }
  };
  set(IDC_FL_ALARM, m_Filters.alarm);
  set(IDC_FL_MANUAL, m_Filters.manual);
  set(IDC_FL_MOTION, m_Filters.motion);
  set(IDC_FL_SYSTEM, m_Filters.system);
  // The first view lists every record, whatever the filters.
  if (m_pRecords) {
    int row = 0;
    for (const sl::SearchListRecord& r : *m_pRecords) {
      list->InsertItem(row, QString::asprintf("%2d", row + 1));
      list->SetItemText(row, 1, QString::fromStdString(sl::EventText(r)));
      list->SetItemText(row, 2, QString::fromStdString(sl::ChannelText(r)));
      list->SetItemText(row, 3, QString::fromStdString(sl::TimeText(r)));
      ++row;
    }
  }
  return true;
}

void CFullListDlg::Toggle(int id, bool& flag) {
  flag = !flag;
  FillList();
  if (auto* b = Item<QCheckBox>(id)) b->setChecked(flag);
}

void CFullListDlg::FillList() {
  auto* list = Item<ui::ReportList>(IDC_FL_LIST);
  list->DeleteAllItems();
  if (!m_pRecords) return;
  int row = 0;
  for (const sl::SearchListRecord& r : *m_pRecords) {
    if (!sl::IsVisible(r, m_Filters)) continue;
    list->InsertItem(row, QString::asprintf("%2d", row + 1));
    list->SetItemText(row, 1, QString::fromStdString(sl::EventText(r)));
    list->SetItemText(row, 2, QString::fromStdString(sl::ChannelText(r)));
    list->SetItemText(row, 3, QString::fromStdString(sl::TimeText(r)));
    ++row;
  }
}

void CFullListDlg::OnDownload(bool fromDoubleClick) {
  auto* list = Item<ui::ReportList>(IDC_FL_LIST);
  const int row = list ? list->GetSelectedRow() : -1;
  if (row < 0 || !m_pRecords || m_pRecords->empty()) {
    if (!fromDoubleClick) MessageBoxById(Hwnd(), IDS_PLEASE_SELECT_ITEM);
    return;
  }
  const sl::SearchListRecord& r = (*m_pRecords)[sl::RowToRecord(*m_pRecords, m_Filters, row)];
  sl::HandOver(r, m_byHddIndex);
  // The sheet brings the backup page forward.
  QWidget* owner = parentWidget();
  if (m_pNotifyWindow) {
    m_pNotifyWindow->PostMessage(msg::WM_OPENNETWORKBACKUP);
  } else if (auto* page = qobject_cast<ui::PropertyPage*>(owner)) {
    if (page->Sheet()) page->Sheet()->PostMessage(msg::WM_OPENNETWORKBACKUP);
  } else if (auto* window = qobject_cast<ui::Window*>(owner)) {
    window->PostMessage(msg::WM_OPENNETWORKBACKUP);
  }
  EndDialog(0);
}
