#include "connect/LoginDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <vector>

#include "connect/AddressBookDialog.h"
#include "connect/ConnectProgressDlg.h"
#include "connect/LoginTools.h"
#include "connect/SearchDeviceDlg.h"
#include "engine/AppRecord.h"
#include "engine/Mailbox.h"
#include "core/Messages.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "data/skin/Skin.h"
#include "ui/VtxButton.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/Login.h"

using namespace plat;

namespace {

ILoginToolDialogs* g_loginTools = nullptr;

// The skin pictures in the order the painting uses them, then the glyphs 0-9 and the point.
constexpr skin::Id kSkinIds[11] = {
    skin::LOGIN_SPACER,      skin::LOGIN_LEFT_TOP,    skin::LOGIN_RIGHT_TOP,    skin::LOGIN_TOP_MIDDLE1,
    skin::LOGIN_TOP_MIDDLE2, skin::LOGIN_LEFT_MIDDLE, skin::LOGIN_RIGHT_MIDDLE, skin::LOGIN_LEFT_DOWN,
    skin::LOGIN_RIGHT_DOWN,  skin::LOGIN_DOWN_MIDDLE, skin::LOGIN_RUNNING,
};
constexpr skin::Id kGlyphIds[11] = {
    skin::LOGIN_GLYPH_0, skin::LOGIN_GLYPH_1, skin::LOGIN_GLYPH_2, skin::LOGIN_GLYPH_3,
    skin::LOGIN_GLYPH_4, skin::LOGIN_GLYPH_5, skin::LOGIN_GLYPH_6, skin::LOGIN_GLYPH_7,
    skin::LOGIN_GLYPH_8, skin::LOGIN_GLYPH_9, skin::LOGIN_GLYPH_POINT,
};
constexpr int kRunningIndex = 10;

struct ToolButton {
  int id;
  skin::Id normal, over, down;
};
// Creation order.
constexpr ToolButton kToolButtons[7] = {
    {login_id::kAddress, skin::LOGIN_ADDRESS, skin::LOGIN_ADDRESS_OVER, skin::LOGIN_ADDRESS_DOWN},
    {login_id::kSearch, skin::LOGIN_SEARCH, skin::LOGIN_SEARCH_OVER, skin::LOGIN_SEARCH_DOWN},
    {login_id::kPlayer, skin::LOGIN_PLAYER, skin::LOGIN_PLAYER_OVER, skin::LOGIN_PLAYER_DOWN},
    {login_id::kUpgrade, skin::LOGIN_DOWNLOAD, skin::LOGIN_DOWNLOAD_OVER, skin::LOGIN_DOWNLOAD_DOWN},
    {login_id::kCopy, skin::LOGIN_COPY, skin::LOGIN_COPY_OVER, skin::LOGIN_COPY_DOWN},
    {login_id::kConnect, skin::LOGIN_ENTER, skin::LOGIN_ENTER_OVER, skin::LOGIN_ENTER_DOWN},
    {login_id::kCancel, skin::LOGIN_CANCEL, skin::LOGIN_CANCEL_OVER, skin::LOGIN_CANCEL_DOWN},
};
struct FieldIcon {
  int id;
  skin::Id picture;
};
constexpr FieldIcon kFieldIcons[4] = {
    {login_id::kIconName, skin::LOGIN_ICON_NAME},
    {login_id::kIconPassword, skin::LOGIN_ICON_PASSWORD},
    {login_id::kIconIP, skin::LOGIN_ICON_IP},
    {login_id::kIconPort, skin::LOGIN_ICON_PORT},
};

QRect SkinRect(skin::Id id) {
  const skin::Entry& e = skin::Get(id);
  return QRect(e.x, e.y, e.width, e.height);
}

const QColor kBarColour(157, 216, 244);
const QColor kFailureColour(0, 20, 255);
constexpr DWORD kAnimatePeriodMs = 350;
constexpr DWORD kThreadStopWaitMs = 30;
// Room for a login reply well beyond its usual size; longer replies fail the login.
constexpr std::size_t kLoginReplyCapacity = 4096;

}  // namespace

void SetLoginToolDialogs(ILoginToolDialogs* dialogs) { g_loginTools = dialogs; }
ILoginToolDialogs* GetLoginToolDialogs() { return g_loginTools; }

// One login attempt, shared by the window and its thread. The thread writes shared state and
// posts only under `mutex` while `cancelled` is still false; the window sets `cancelled`
// under the same lock before it abandons the attempt, so an abandoned attempt can do neither.
struct LoginDialog::Attempt {
  std::mutex mutex;
  bool cancelled = false;
  HWND hwnd = 0;
  LPARAM number = 0;
  HANDLE stopEvent = 0;
  std::string host, user, password, port;
};

namespace {

DWORD LoginDialog_Login_Thread(const std::shared_ptr<LoginDialog::Attempt>& a) {
  auto fail = [&](WPARAM code) -> DWORD {
    std::lock_guard<std::mutex> lock(a->mutex);
    if (a->cancelled) return 0;
    SetEvent(a->stopEvent);
    plat::PostMessage(a->hwnd, WM_LOGINFAILED, code, a->number);
    return 0;
  };
  if (g_lpApp == nullptr) return fail(kLoginFailed);
  {
    std::lock_guard<std::mutex> lock(a->mutex);
    if (a->cancelled) return 0;
    ::CSettingINI& settings = g_lpApp->CSettingINI;
    settings.m_strServerName = a->host;
    settings.m_strUsername = a->user;
    settings.m_strPassword = a->password;
    settings.m_wWebPort = static_cast<std::uint16_t>(ReplyDecimal(a->port));
  }

  CCgiRequest request(CGI_LOGIN);
  request.AddParam("Username", a->user);
  request.AddParam("Password", a->password);
  std::vector<std::uint8_t> reply(kLoginReplyCapacity, 0);
  DWORD length = 0;
  CgiReplyRecord record;
  if (!ZududSendCommand(request, nullptr, 0, &record, reply.data(), reply.size(), &length, 15, 15)) {
    return fail(record.dwStatus == 202 ? kLoginTooManyUsers : kLoginFailed);
  }
  LoginReplyValues values;
  if (length == 0 || ParseLoginReply(ReplyText(reply.data(), length), values) != LoginParseResult::Ok) {
    return fail(kLoginFailed);
  }

  std::lock_guard<std::mutex> lock(a->mutex);
  if (a->cancelled || g_lpApp == nullptr) return 0;
  // Session, firmware and model first: a refused model keeps what was stored before it.
  LoginReplyValues identity = values;
  identity.mac.reset();
  identity.hostName.reset();
  g_szSessionCookie.Clear();
  StoreLoginReply(identity, false);
  if (values.productId && !IsAcceptedModelCode(*values.productId)) {
    SetEvent(a->stopEvent);
    plat::PostMessage(a->hwnd, WM_LOGINFAILED, kLoginNotSupported, a->number);
    return 0;
  }
  LoginReplyValues rest;
  rest.sessionId = values.sessionId;
  rest.mac = values.mac;
  rest.hostName = values.hostName;
  StoreLoginReply(rest, true);
  g_lpApp->w_LoginResult = LOGIN_RESULT_OK;
  plat::PostMessage(a->hwnd, WM_LOGINSUCCEEDED, 0, a->number);
  return 1;
}

DWORD LoginDialog_Animate_Thread(HWND hwnd, HANDLE stopEvent, LPARAM number) {
  for (;;) {
    if (plat::IsCancelRequested()) return 0;
    plat::PostMessage(hwnd, WM_ANIMATETICK, 0, number);
    if (WaitForSingleObject(stopEvent, kAnimatePeriodMs) != WAIT_TIMEOUT) return 0;
  }
}

}  // namespace

LoginDialog::LoginDialog() : ui::Window(nullptr) {
  MakeFrameless();
  setWindowTitle("LOGIN");
  m_hStopEvent = CreateEvent(false, false);

  const int ids[5] = {login_id::kUser, login_id::kPassword, login_id::kHost, login_id::kPort, login_id::kBitRate};
  for (int i = 0; i < 5; ++i) {
    m_edits[i] = new QLineEdit(this);
    m_edits[i]->setGeometry(100, 100 + 30 * i, 150, 24);  // the template places; moved by the initialisation
    AddControl(ids[i], m_edits[i]);
  }
  m_edits[1]->setEchoMode(QLineEdit::Password);
  m_edits[4]->setEnabled(false);
  m_edits[4]->hide();
  auto* bitRateLabel = new QLabel("BitRate:", this);
  bitRateLabel->hide();
  QWidget::setTabOrder(m_edits[0], m_edits[1]);
  QWidget::setTabOrder(m_edits[1], m_edits[2]);
  QWidget::setTabOrder(m_edits[2], m_edits[3]);
  connect(m_edits[3], &QLineEdit::textChanged, this, [this] { OnPortChanged(); });

  OnMessage(WM_LOGINFAILED, [this](WPARAM wp, LPARAM lp) -> LPARAM {
    OnLoginFailed(wp, lp);
    return 0;
  });
  OnMessage(WM_ANIMATETICK, [this](WPARAM, LPARAM lp) -> LPARAM {
    OnAnimateTick(lp);
    return 0;
  });
  OnMessage(WM_ENTERCONNECT, [this](WPARAM, LPARAM) -> LPARAM {
    OnConnectButton();
    return 0;
  });
  OnMessage(WM_LOGINSUCCEEDED, [this](WPARAM, LPARAM lp) -> LPARAM {
    if (m_attempt && lp == m_nAttemptNumber) EndDialog(IDOK);
    return 0;
  });

  OnCommand(login_id::kAddress, [this] { OnAddressButton(); });
  OnCommand(login_id::kSearch, [this] { OnSearchButton(); });
  OnCommand(login_id::kPlayer, [this] { OnPlayerButton(); });
  OnCommand(login_id::kUpgrade, [this] { OnUpgradeFirmwareButton(); });
  OnCommand(login_id::kCopy, [this] { OnCopyProgramButton(); });
  OnCommand(login_id::kConnect, [this] { OnConnectButton(); });
  OnCommand(login_id::kCancel, [this] { EndDialog(IDCANCEL); });
}

LoginDialog::~LoginDialog() {
  StopThreads();
  if (m_hStopEvent) CloseHandle(m_hStopEvent);
  m_hStopEvent = 0;
}

bool LoginDialog::OnInitDialog() {
  UpdateData(false);
  const QRect whole = SkinRect(skin::LOGIN_WINDOW);
  setGeometry(0, 0, whole.width(), whole.height());
  setFixedSize(whole.size());
  m_rgnWindow = ui::RoundRectRegion(0, 0, whole.width(), whole.height(), 15, 15);
  SetWindowRegion(m_rgnWindow);
  SetDragBySurface(true);

  // A missing skin picture stops the initialisation there: the window still opens, without
  // its skin, buttons and icons.
  for (int i = 0; i < 11; ++i) {
    if (!m_skin[i].Load(skin::Path(kSkinIds[i]))) return true;
  }
  for (int i = 0; i < 11; ++i) {
    if (!m_glyphs[i].Load(skin::Path(kGlyphIds[i]))) return true;
  }
  m_skinLoaded = true;
  setToolTip("LOGIN");

  for (int i = 0; i < 7; ++i) {
    auto* button = new CVtxButton();
    button->Create(SkinRect(kToolButtons[i].normal), this, kToolButtons[i].id);
    button->setFocusPolicy(Qt::TabFocus);
    AddControl(kToolButtons[i].id, button);
    SetToolTip(kToolButtons[i].id, LoadStr(static_cast<unsigned>(kToolButtons[i].id)));
    m_Buttons[i] = button;
  }
  for (int i = 0; i < 4; ++i) {
    auto* icon = new CVtxButton();
    icon->Create(SkinRect(kFieldIcons[i].picture), this, kFieldIcons[i].id);
    icon->setFocusPolicy(Qt::NoFocus);
    AddControl(kFieldIcons[i].id, icon);
    SetToolTip(kFieldIcons[i].id, LoadStr(static_cast<unsigned>(kFieldIcons[i].id)));
    icon->LoadButtonBitmap(skin::Path(kFieldIcons[i].picture), VBS_SINGLE);  // a missing picture is ignored
    m_FieldIcons[i] = icon;
  }
  for (int i = 0; i < 7; ++i) {
    m_Buttons[i]->LoadButtonBitmap(skin::Path(kToolButtons[i].normal), skin::Path(kToolButtons[i].over),
                                   skin::Path(kToolButtons[i].down), VBS_PUSHHOVER);
  }

  m_edits[0]->setGeometry(93, 100, 180, 28);
  m_edits[1]->setGeometry(93, 136, 180, 28);
  m_edits[2]->setGeometry(93, 172, 180, 28);
  m_edits[3]->setGeometry(93, 208, 100, 28);
  m_edits[0]->setFocus();
  return true;
}

void LoginDialog::UpdateData(bool readBack) {
  QString* fields[5] = {&m_strUserText, &m_strPasswordText, &m_strHostText, &m_strPortText, &m_strBitRateText};
  for (int i = 0; i < 5; ++i) {
    if (readBack) {
      *fields[i] = m_edits[i]->text();
    } else if (m_edits[i]->text() != *fields[i]) {
      // Only a changed text is rewritten, so the port clamp does not feed itself.
      m_edits[i]->setText(*fields[i]);
    }
  }
}

void LoginDialog::OnPortChanged() {
  if (m_inPortClamp) return;
  m_inPortClamp = true;
  UpdateData(true);
  if (!m_strPortText.isEmpty()) {
    std::string digits = m_strPortText.toStdString();
    FilterDigits(digits);
    long long value = 0;
    bool any = false;
    for (char c : digits) {
      if (c < '0' || c > '9') break;
      any = true;
      value = std::min<long long>(value * 10 + (c - '0'), 1LL << 40);
    }
    if (any) m_nPort = static_cast<int>(std::min<long long>(value, 0x7FFFFFFF));
    if (m_nPort > 9999) m_nPort = 9999;
    if (m_nPort < 0) m_nPort = 0;
    m_strPortText = QString::number(m_nPort);
    UpdateData(false);
    m_edits[3]->setCursorPosition(static_cast<int>(m_edits[3]->text().size()));
  }
  m_inPortClamp = false;
}

void LoginDialog::StopThreads() {
  if (m_attempt) {
    std::lock_guard<std::mutex> lock(m_attempt->mutex);
    m_attempt->cancelled = true;
  }
  if (m_hStopEvent) SetEvent(m_hStopEvent);
  for (auto* thread : {&m_hLoginThread, &m_hAnimateThread}) {
    if (*thread) {
      StopThread(*thread, kThreadStopWaitMs);
      CloseHandle(*thread);
      *thread = 0;
    }
  }
  m_attempt.reset();
}

void LoginDialog::OnConnectButton() {
  UpdateData(true);
  if (m_strUserText.isEmpty() || m_strPasswordText.isEmpty()) {
    MessageBoxById(Hwnd(), IDS_USERNAME_OR_PASSWORD_WRONG);
    return;
  }
  m_bShowFailure = 0;
  m_bAnimating = 0;
  m_byAnimateStep = 0;

  StopThreads();
  if (m_hStopEvent) CloseHandle(m_hStopEvent);
  m_hStopEvent = CreateEvent(false, false);

  auto attempt = std::make_shared<Attempt>();
  attempt->hwnd = Hwnd();
  attempt->number = ++m_nAttemptNumber;
  attempt->stopEvent = m_hStopEvent;
  attempt->host = m_strHostText.toStdString();
  attempt->user = m_strUserText.toStdString();
  attempt->password = m_strPasswordText.toStdString();
  attempt->port = m_strPortText.toStdString();
  m_attempt = attempt;
  m_bAttemptEnded = false;

  m_hLoginThread = plat::CreateThread([attempt]() -> DWORD { return LoginDialog_Login_Thread(attempt); },
                                      &m_dwLoginThreadId, "LoginDialog_Login_Thread");
  if (!m_hLoginThread) return;
  const HWND hwnd = Hwnd();
  const HANDLE stop = m_hStopEvent;
  const LPARAM number = attempt->number;
  m_hAnimateThread = plat::CreateThread(
      [hwnd, stop, number]() -> DWORD { return LoginDialog_Animate_Thread(hwnd, stop, number); },
      &m_dwAnimateThreadId, "LoginDialog_Animate_Thread");
  if (!m_hAnimateThread) return;
  update();
}

void LoginDialog::OnLoginFailed(WPARAM code, LPARAM attempt) {
  if (!m_attempt || attempt != m_nAttemptNumber) return;  // from an abandoned attempt
  // The animation thread may have posted a tick after the failure; it must not bring the
  // bar back.
  m_bAttemptEnded = true;
  m_bAnimating = 0;
  static const char* const kTexts[] = {"Login procedure failed", "Too many user", "No support this device"};
  if (code >= 1 && code <= 3) {
    m_strFailureText = kTexts[code - 1];
    m_bShowFailure = 1;
  }
  update();
}

void LoginDialog::OnAnimateTick(LPARAM attempt) {
  if (!m_attempt || attempt != m_nAttemptNumber || m_bAttemptEnded) return;
  m_bAnimating = 1;
  m_byAnimateStep = static_cast<std::uint8_t>(m_byAnimateStep >= 17 ? 0 : m_byAnimateStep + 1);
  update(BarRect());
}

QRect LoginDialog::BarRect() const {
  const QRect origin = SkinRect(skin::LOGIN_RUNNING);
  const int w = m_skin[kRunningIndex].Width(), h = m_skin[kRunningIndex].Height();
  return QRect(origin.x(), origin.y(), 18 * (w / 2), h);
}

void LoginDialog::Paint(ui::Surface& s) const {
  if (!m_skinLoaded) {
    s.Fill(QRect(0, 0, s.Width(), s.Height()), palette().window().color());
  } else {
    for (int i = 0; i < kRunningIndex; ++i) s.Stretch(m_skin[i], SkinRect(kSkinIds[i]));
    // The client's version, one glyph per character; anything but a digit is the point.
    const std::string version = g_lpApp ? g_lpApp->strAppVersion.Get() : std::string(kAppVersion);
    const QRect first = SkinRect(skin::LOGIN_VERSION);
    for (std::size_t i = 0; i < version.size() && i < 10; ++i) {
      const char c = version[i];
      const int glyph = (c >= '0' && c <= '9') ? c - '0' : 10;
      s.Stretch(m_glyphs[glyph], QRect(first.x() + first.width() * static_cast<int>(i), first.y(), first.width(),
                                       first.height()));
    }
    if (m_bAnimating) {
      const QRect bar = BarRect();
      s.Fill(bar, kBarColour);
      const int step = m_skin[kRunningIndex].Width() / 2;
      s.Blt(m_skin[kRunningIndex], bar.x() + m_byAnimateStep * step, bar.y());
    }
  }
  if (m_bShowFailure) {
    const QRect at = SkinRect(skin::LOGIN_FAILURE_TEXT);
    s.Text(at.x(), at.y(), m_strFailureText, font(), kFailureColour);
  }
}

QImage LoginDialog::Render() const {
  ui::Surface surface(width(), height());
  Paint(surface);
  return surface.Image();
}

void LoginDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Render());
}

void LoginDialog::keyPressEvent(QKeyEvent* event) {
  // Enter never ends the window: it starts a login as the Connect button does.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    PostMessage(WM_ENTERCONNECT);
    event->accept();
    return;
  }
  ui::Window::keyPressEvent(event);
}

void LoginDialog::OnAddressButton() {
  UpdateData(true);
  CAddressBookDialog book;
  if (book.DoModal() == kAddressBookSelected) {
    m_strUserText = QString::fromStdString(book.m_strUser);
    m_strHostText = QString::fromStdString(book.m_strIPAddress);
    m_strPortText = QString::number(book.m_iMajorPort);
    UpdateData(false);
  }
}

void LoginDialog::OnSearchButton() {
  UpdateData(true);
  CSearchDeviceDlg search(this);
  search.DoModal();
  if (search.m_fChosen == 1) {
    m_strPortText = QString::number(search.m_nWebPort);
    if (g_lpApp) {
      g_lpApp->CSettingINI.m_wWebPort = static_cast<std::uint16_t>(search.m_nWebPort);
      g_lpApp->CSettingINI.m_strServerName = search.m_strChosenIP.toStdString();
    }
    m_strHostText = search.m_strChosenIP;
  }
  UpdateData(false);
}

std::string LoginDialog::FindNewestRecording(const std::string& folder) {
  namespace fs = std::filesystem;
  if (folder.empty()) return "";
  std::error_code ec;
  std::vector<fs::directory_entry> matches;
  for (fs::directory_iterator it(plat::MapPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.size() < 4) continue;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".ovr" && it->is_regular_file(ec)) matches.push_back(*it);
  }
  // A stable order, so that of equal times the same file is always the one kept.
  std::sort(matches.begin(), matches.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
  std::string best;
  fs::file_time_type bestTime{};
  for (const auto& m : matches) {
    const auto t = m.last_write_time(ec);
    if (ec) continue;
    if (best.empty() || t > bestTime) {
      bestTime = t;
      best = m.path().filename().string();
    }
  }
  if (best.empty()) return "";
  const bool endsWithSeparator = folder.back() == '/' || folder.back() == '\\';
  return folder + (endsWithSeparator ? "" : "/") + best;
}

void LoginDialog::OnPlayerButton() {
  const std::string player = FindPlayerProgram();
  const std::string newest = FindNewestRecording(g_lpApp ? g_lpApp->CSettingINI.m_strRecordPath.Get() : "");
  std::vector<std::string> argv{player};
  if (!newest.empty()) argv.push_back(newest);
  if (player.empty() || !SpawnProcess(argv, ProgramFolder())) {
    MessageBoxById(Hwnd(), IDS_RUN_PLAYER_PROGRAM_FAILED);
  }
}

void LoginDialog::OnCopyProgramButton() {
  ILoginToolDialogs* tools = GetLoginToolDialogs();
  if (!tools) {
    plat::MessageBox(Hwnd(), "Copying the program is not available in this version.");
    return;
  }
  std::string chosen;
  if (tools->RunFolderPicker(this, "/", chosen) != 1) return;
  const bool endsWithSeparator = !chosen.empty() && (chosen.back() == '/' || chosen.back() == '\\');
  CreateDirectories(chosen + (endsWithSeparator ? "" : "/") + "BMP");  // a failure is ignored
  const std::string source = g_lpApp ? g_lpApp->CSettingINI.m_strProgramPath.Get() : ProgramFolder();
  tools->RunCopyProgram(this, source, chosen);
}

void LoginDialog::OnUpgradeFirmwareButton() {
  UpdateData(true);
  if (m_strUserText.isEmpty() || m_strPasswordText.isEmpty()) {
    MessageBoxById(Hwnd(), IDS_USERNAME_OR_PASSWORD_WRONG);
    return;
  }
  {
    CConnectProgressDlg progress(nullptr, this);
    progress.m_strCaption = "Connect " + m_strHostText;
    if (progress.DoModal() != 1) return;
  }
  if (!g_lpApp) return;
  if (g_lpApp->w_UserLevel.load() != USER_LEVEL_ADMIN) {
    plat::MessageBox(Hwnd(), "Only administrator could use upgrade firmware function");
    return;
  }
  const std::string model = g_lpApp->GetProductID();
  const ModelFamily family = GetModelFamily(model);
  if (family == ModelFamily::None ||
      (family == ModelFamily::DVR && IsFirmwareBelow(fwgate::kNetworkUpgradeDVR, g_lpApp->GetFWVersion()))) {
    plat::MessageBox(Hwnd(), "Device doesn't support network upgrade FW");
    return;
  }
  if (ILoginToolDialogs* tools = GetLoginToolDialogs()) tools->RunUpgradeFirmware();
}
