#include "connect/SearchDeviceDlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <deque>
#include <mutex>

#include "session/Discovery.h"
#include "engine/AppRecord.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "session/Socket.h"

using namespace plat;

namespace {
constexpr int kCaptionTimer = 1000;
constexpr DWORD kApplyWaitMs = 12000;
constexpr DWORD kResetWaitMs = 7000;
const int kEditIds[6] = {search_id::kMacAddress, search_id::kServerIP, search_id::kWebPort,
                         search_id::kNetMask,    search_id::kGateway,  search_id::kDNSServer};
const int kButtonIds[4] = {search_id::kOK, search_id::kSearchAgain, search_id::kApply, search_id::kReset};

std::string Text(const QString& s) { return s.toStdString(); }

// "Search\nStop_Search": the running word and the finished word.
void SearchWords(QString& running, QString& finished) {
  const QStringList words =
      QString(LoadStr(IDS_SEARCH_STOP_SEARCH)).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
  running = words.size() > 0 ? words[0] : QString("Search");
  finished = words.size() > 1 ? words[1] : QString("Stop_Search");
}
}  // namespace

// ---- the prompt -----------------------------------------------------------------------------

CConfirmAuthorityDlg::CConfirmAuthorityDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle("Confirm Authority");
  auto* form = new QFormLayout(this);
  auto* user = new QLineEdit(this);
  auto* password = new QLineEdit(this);
  user->setMaxLength(15);
  password->setMaxLength(15);
  password->setEchoMode(QLineEdit::Password);
  form->addRow("User name :", user);
  form->addRow("Password :", password);
  auto* ok = new QPushButton("OK", this);
  auto* cancel = new QPushButton("CANCEL", this);
  auto* row = new QHBoxLayout();
  row->addWidget(ok);
  row->addWidget(cancel);
  form->addRow(row);
  AddControl(1040, user);
  AddControl(1043, password);
  AddControl(IDOK, ok);
  AddControl(IDCANCEL, cancel);
  OnCommand(IDOK, [this] { OnOK(); });
  OnCommand(IDCANCEL, [this] { OnCancel(); });
}

void CConfirmAuthorityDlg::OnOK() {
  m_strUser = Text(GetDlgItemText(1040));
  m_strPassword = Text(GetDlgItemText(1043));
  EndDialog(IDOK);
}

// ---- the receive thread -------------------------------------------------------------------

struct CSearchDeviceDlg::Shared {
  std::mutex mutex;
  bool cancelled = false;
  HWND hwnd = 0;
  std::deque<DiscoveryReply> replies;
};

namespace {

DWORD Search_Receive_Thread(const std::shared_ptr<CSearchDeviceDlg::Shared>& shared, HWND hwnd) {
  DiscoveryReplySocket socket;
  // The reply port is bound before the request goes out, so that no early reply is lost.
  if (socket.Open() != DiscoveryReplySocket::OpenResult::Ok) {
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (shared->cancelled) return 0;
    MessageBoxById(hwnd, IDS_BIND_CONNECTION_FAILED);
    plat::PostMessage(hwnd, WM_SEARCHDONE, 1, 0);
    return 0;
  }
  SendDiscoveryBroadcast(BuildSearchRequest(g_strLocalIP.Get()), hwnd);
  CollectDiscoveryReplies(socket, [&](const DiscoveryReply& reply) {
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (shared->cancelled) return;
    shared->replies.push_back(reply);
    plat::PostMessage(hwnd, WM_SEARCHREPLY, 0, 0);
  });
  socket.Close();
  std::lock_guard<std::mutex> lock(shared->mutex);
  if (!shared->cancelled) plat::PostMessage(hwnd, WM_SEARCHDONE, 0, 0);
  return 0;
}

}  // namespace

// ---- the window ---------------------------------------------------------------------------

CSearchDeviceDlg::CSearchDeviceDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle("SEARCH");
  auto* top = new QVBoxLayout(this);
  m_list = new QTreeWidget(this);
  m_list->setRootIsDecorated(false);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  top->addWidget(m_list);
  AddControl(search_id::kList, m_list);
  connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { OnItemChanged(); });

  auto* form = new QFormLayout();
  const char* const labels[6] = {"Mac Address :", "Server IP :", "Web Port :", "Net Mask :", "Gateway :",
                                 "DNS Server :"};
  for (int i = 0; i < 6; ++i) {
    auto* edit = new QLineEdit(this);
    if (kEditIds[i] == search_id::kMacAddress) edit->setMaxLength(18);
    if (kEditIds[i] == search_id::kServerIP) edit->setMaxLength(16);
    form->addRow(labels[i], edit);
    AddControl(kEditIds[i], edit);
  }
  top->addLayout(form);

  auto* buttons = new QHBoxLayout();
  const char* const captions[4] = {"OK", "SEARCH AGAIN", "APPLY", "RESET DEFAULT"};
  for (int i = 0; i < 4; ++i) {
    auto* b = new QPushButton(captions[i], this);
    b->setAutoDefault(false);
    buttons->addWidget(b);
    AddControl(kButtonIds[i], b);
  }
  top->addLayout(buttons);

  OnCommand(search_id::kOK, [this] { OnOK(); });
  OnCommand(search_id::kSearchAgain, [this] { OnSearchAgain(); });
  OnCommand(search_id::kApply, [this] { OnApply(); });
  OnCommand(search_id::kReset, [this] { OnResetDefault(); });
  OnMessage(WM_SEARCHREPLY, [this](WPARAM, LPARAM) -> LPARAM {
    OnReplies();
    return 0;
  });
  OnMessage(WM_SEARCHDONE, [this](WPARAM wp, LPARAM) -> LPARAM {
    OnSearchDone(wp == 1);
    return 0;
  });
}

CSearchDeviceDlg::~CSearchDeviceDlg() { StopSearch(); }

bool CSearchDeviceDlg::OnInitDialog() {
  g_strLocalIP.Set(GetLocalIPAddress());
  const int widths[5] = {120, 130, 60, 100, 90};
  QStringList headers;
  for (unsigned id = 3022; id <= 3026; ++id) headers << LoadStr(id);
  m_list->setHeaderLabels(headers);
  for (int i = 0; i < 5; ++i) m_list->setColumnWidth(i, widths[i]);
  resize(560, 480);
  SetDlgItemText(search_id::kWebPort, QString::number(m_nWebPort));  // the integer field shows its value
  StartSearch();
  return true;
}

void CSearchDeviceDlg::SetSearchingState() {
  EnableDlgItem(search_id::kList, false);
  for (int id : kButtonIds) EnableDlgItem(id, false);
  for (int id : kEditIds) EnableDlgItem(id, false);
  SetTimer(kCaptionTimer, 300);
}

void CSearchDeviceDlg::StartSearch() {
  SetSearchingState();
  m_shared = std::make_shared<Shared>();
  m_shared->hwnd = Hwnd();
  auto shared = m_shared;
  const HWND hwnd = Hwnd();
  m_searching = true;
  m_hReceiveThread = plat::CreateThread([shared, hwnd]() -> DWORD { return Search_Receive_Thread(shared, hwnd); },
                                        nullptr, "Search_Receive_Thread");
  if (!m_hReceiveThread) m_searching = false;
}

void CSearchDeviceDlg::StopSearch() {
  if (m_shared) {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->cancelled = true;
  }
  if (m_hReceiveThread) {
    StopThread(m_hReceiveThread, 30);
    CloseHandle(m_hReceiveThread);
    m_hReceiveThread = 0;
  }
  m_shared.reset();
  m_searching = false;
}

void CSearchDeviceDlg::OnTimer(int id) {
  if (id != kCaptionTimer) return;
  QString running, finished;
  SearchWords(running, finished);
  static const char* const kDots[4] = {".", "..", "...", "...."};
  setWindowTitle(QString(" %1 %2").arg(running, kDots[m_nTimerTicks % 4]));
  ++m_nTimerTicks;
}

void CSearchDeviceDlg::OnReplies() {
  if (!m_shared) return;
  std::deque<DiscoveryReply> replies;
  {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    replies.swap(m_shared->replies);
  }
  for (const auto& r : replies) {
    SetDlgItemText(search_id::kMacAddress, QString::fromStdString(r.mac));
    SetDlgItemText(search_id::kServerIP, QString::fromStdString(r.ip));
    SetDlgItemText(search_id::kNetMask, QString::fromStdString(r.netMask));
    SetDlgItemText(search_id::kGateway, QString::fromStdString(r.gateway));
    SetDlgItemText(search_id::kDNSServer, QString::fromStdString(r.dns));
    SetDlgItemText(search_id::kWebPort, QString::number(r.port));
    AddReply(r);
  }
}

void CSearchDeviceDlg::AddReply(const DiscoveryReply& r) {
  auto* item = new QTreeWidgetItem();
  item->setText(0, QString::fromStdString(r.ip));
  item->setText(1, QString::fromStdString(r.mac));
  item->setText(2, QString::number(r.port));
  item->setText(3, DiscoveryDeviceName(r.type));
  if (g_lpApp && r.macByte5 == g_lpApp->CSettingINI.m_wLastMAC1.load() &&
      r.macByte6 == g_lpApp->CSettingINI.m_wLastMAC2.load()) {
    item->setText(4, "PREVIOUS");
  }
  {
    const QSignalBlocker quiet(m_list);
    m_list->insertTopLevelItem(0, item);  // the newest reply first
  }
  DiscoveredDevice d;
  d.strMac = r.mac;
  d.strIP = r.ip;
  d.dwPort = r.port;
  d.strGateway = r.gateway;
  d.strDNS = r.dns;
  d.strNetMask = r.netMask;
  d.byType = r.type;
  d.nIndex = m_nDeviceCount;
  m_devices.push_back(d);
  ++m_nDeviceCount;
}

void CSearchDeviceDlg::OnSearchDone(bool bindFailed) {
  m_searching = false;
  KillTimer(kCaptionTimer);
  QString running, finished;
  SearchWords(running, finished);
  setWindowTitle(finished);
  if (bindFailed) {
    EnableDlgItem(search_id::kOK, true);
    return;
  }
  EnableDlgItem(search_id::kList, true);
  for (int id : kButtonIds) EnableDlgItem(id, true);
}

const DiscoveredDevice* CSearchDeviceDlg::FindDevice(int index) const {
  for (const auto& d : m_devices) {
    if (d.nIndex == index) return &d;
  }
  return nullptr;
}

void CSearchDeviceDlg::OnItemChanged() {
  const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
  if (selected.isEmpty()) return;
  const int row = m_list->indexOfTopLevelItem(selected.first());
  if (row < 0) return;
  const int index = m_nDeviceCount - row - 1;
  m_nSelectedDevice = index;
  const DiscoveredDevice* d = FindDevice(index);
  if (!d) {
    MessageBoxById(Hwnd(), IDS_GET_INDEX_ITEM_FAILED);
    return;
  }
  m_selected = *d;
  SetDlgItemText(search_id::kServerIP, QString::fromStdString(d->strIP));
  SetDlgItemText(search_id::kMacAddress, QString::fromStdString(d->strMac));
  SetDlgItemText(search_id::kWebPort, QString::number(d->dwPort));
  SetDlgItemText(search_id::kGateway, QString::fromStdString(d->strGateway));
  SetDlgItemText(search_id::kDNSServer, QString::fromStdString(d->strDNS));
  SetDlgItemText(search_id::kNetMask, QString::fromStdString(d->strNetMask));
  ReadBack();
  for (int id : kEditIds) EnableDlgItem(id, true);
}

bool CSearchDeviceDlg::ReadBack() {
  m_strMacAddress = GetDlgItemText(search_id::kMacAddress);
  m_strServerIP = GetDlgItemText(search_id::kServerIP);
  m_strNetMask = GetDlgItemText(search_id::kNetMask);
  m_strGateway = GetDlgItemText(search_id::kGateway);
  m_strDNSServer = GetDlgItemText(search_id::kDNSServer);
  bool number = false;
  const int port = GetDlgItemText(search_id::kWebPort).trimmed().toInt(&number);
  if (!number || port < 0 || port > 9999) {
    plat::MessageBox(Hwnd(), "Please enter an integer between 0 and 9999.");
    return false;
  }
  m_nWebPort = port;
  return true;
}

void CSearchDeviceDlg::OnOK() {
  if (!ReadBack()) return;
  if (m_nSelectedDevice >= 0 && FindDevice(m_nSelectedDevice)) {
    m_strChosenIP = m_strServerIP;
    m_fChosen = 1;
  }
  EndDialog(IDOK);
}

void CSearchDeviceDlg::OnSearchAgain() {
  {
    const QSignalBlocker quiet(m_list);
    m_list->clear();
  }
  m_devices.clear();
  m_nDeviceCount = 0;
  m_nSelectedDevice = -1;
  m_nTimerTicks = 0;
  StopSearch();
  StartSearch();
}

void CSearchDeviceDlg::OnApply() { SendSettings(false); }
void CSearchDeviceDlg::OnResetDefault() { SendSettings(true); }

void CSearchDeviceDlg::SendSettings(bool reset) {
  if (m_nSelectedDevice < 0) {
    MessageBoxById(Hwnd(), IDS_NEED_SELECT_ITEM);
    return;
  }
  if (!reset && !ReadBack()) return;
  const DiscoveredDevice* d = FindDevice(m_nSelectedDevice);
  if (!d) {
    MessageBoxById(Hwnd(), IDS_CANNOT_GET_ITEM_DATA);
    return;
  }
  if (!DiscoveryDeviceMayBeChanged(d->byType)) {
    MessageBoxById(Hwnd(), IDS_CANNOT_MODIFY_NETWORK_SETTING);
    return;
  }
  {
    CConfirmAuthorityDlg prompt(this);
    if (prompt.DoModal() != IDOK) return;
    m_strConfirmUser = prompt.m_strUser;
    m_strConfirmPassword = prompt.m_strPassword;
  }
  if (m_strConfirmUser.empty() || m_strConfirmUser.size() > 15) {
    MessageBoxById(Hwnd(), IDS_USERNAME_WRONG);
    return;
  }
  if (m_strConfirmPassword.empty() || m_strConfirmPassword.size() > 15) {
    MessageBoxById(Hwnd(), IDS_PASSWORD_WRONG);
    return;
  }
  if (!reset && Text(m_strServerIP) == d->strIP && Text(m_strMacAddress) == d->strMac &&
      Text(m_strGateway) == d->strGateway && Text(m_strDNSServer) == d->strDNS && Text(m_strNetMask) == d->strNetMask &&
      static_cast<std::uint32_t>(m_nWebPort) == d->dwPort) {
    MessageBoxById(Hwnd(), IDS_NETWORK_SETTING_UNCHANGED);
    return;
  }
  DiscoverySettings settings;
  settings.mac = Text(m_strMacAddress);
  settings.user = m_strConfirmUser;
  settings.password = m_strConfirmPassword;
  settings.ip = Text(m_strServerIP);
  settings.netMask = Text(m_strNetMask);
  settings.gateway = Text(m_strGateway);
  settings.dns = Text(m_strDNSServer);
  settings.port = static_cast<std::uint16_t>(m_nWebPort);
  DiscoveryPacket request;
  if (!BuildSettingsRequest(reset, settings, request)) {
    // A MAC that is not twelve hexadecimal digits, or an address of more than four parts,
    // does not fit the packet: nothing is sent.
    MessageBoxById(Hwnd(), IDS_CANNOT_MODIFY_NETWORK_SETTING);
    return;
  }
  m_fChosen = 1;
  m_strChosenIP = m_strServerIP;

  DiscoveryReplySocket socket;
  if (socket.Open() != DiscoveryReplySocket::OpenResult::Ok) {
    MessageBoxById(Hwnd(), IDS_CONNECT_ERROR);
    return;
  }
  SendDiscoveryBroadcast(request, Hwnd());
  const DWORD waitMs = reset ? kResetWaitMs : kApplyWaitMs;
  const DWORD start = GetTickCount();
  std::uint8_t buffer[kDiscoveryPacketSize];
  int status = -1;
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    const int waited = socket.Wait(elapsed >= waitMs ? 0 : waitMs - elapsed);
    if (waited < 0) {
      MessageBoxById(Hwnd(), IDS_CONNECT_ERROR);
      return;
    }
    if (waited == 0) {
      MessageBoxById(Hwnd(), IDS_SEND_COMMAND_TIMEOUT);
      return;
    }
    const int n = socket.Receive(buffer);
    if (n < 0) {
      MessageBoxById(Hwnd(), IDS_RECEIVE_DATA_ERROR);
      return;
    }
    if (static_cast<std::size_t>(n) >= kDiscoveryPacketSize) {
      status = buffer[discovery_offset::kTypeStatus];
      break;
    }
    // A short datagram is ignored; the wait goes on.
  }
  socket.Close();
  unsigned message;
  switch (status) {
    case kDiscoveryStatusDone: message = reset ? IDS_RESET_DEFAULT_DONE : IDS_APPLY_SETTING_DONE; break;
    case kDiscoveryStatusRefused: message = IDS_USERNAME_OR_PASSWORD_WRONG; break;
    case kDiscoveryStatusNotStatic: message = IDS_NOT_STATIC_CONNECTION; break;
    default: message = reset ? IDS_RESET_DEFAULT_FAILED : IDS_APPLY_SETTING_FAILED; break;
  }
  MessageBoxById(Hwnd(), message);
}

void CSearchDeviceDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();  // Escape does not close the search window
    return;
  }
  ui::Window::keyPressEvent(event);
}
