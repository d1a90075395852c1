#include "connect/DormantDialogs.h"

#include "connect/ConnectProgressDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdlib>

#include "core/AppRecord.h"
#include "core/Strings.h"
#include "data/skin/Skin.h"
#include "mainwnd/VtxButton.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "session/CgiRequest.h"
#include "session/Command.h"

namespace {

ProgramExit& ExitFunction() {
  static ProgramExit f = [](int code) { std::exit(code); };
  return f;
}

constexpr unsigned kMsgShowCheck = 0x1103;
constexpr unsigned kMsgHideCheck = 0x1104;
constexpr int kBuzzerTimeoutSec = 15;

}  // namespace

void SetProgramExit(ProgramExit f) {
  ExitFunction() = f ? std::move(f) : [](int code) { std::exit(code); };
}

// ---------------------------------------------------------------------------------------

CConnectingDlg::CConnectingDlg(QWidget* parent, plat::HANDLE connectedEvent)
    : ui::Window(parent), m_hConnectedEvent(connectedEvent) {
  MakeFrameless();
  auto* layout = new QVBoxLayout(this);
  auto* status = new QLabel(this);
  auto* empty = new QLabel(this);
  auto* cancel = new QPushButton("Cancel", this);
  layout->addWidget(status);
  layout->addWidget(empty);
  layout->addWidget(cancel);
  AddControl(kStatusId, status);
  AddControl(kEmptyLineId, empty);
  AddControl(kCancelId, cancel);
  OnCommand(kCancelId, [this] { OnCancel(); });
}

bool CConnectingDlg::OnInitDialog() {
  SetTimer(kDotTimer, 100);
  SetTimer(kGiveUpTimer, 20000);
  return true;
}

void CConnectingDlg::OnTimer(int id) {
  if (id == kDotTimer) {
    static const std::string kRow(40, '.');
    m_nDots = m_nDots % 11 + 1;
    SetDlgItemText(kStatusId, QString::fromStdString(LoadStr(3029) + kRow.substr(0, m_nDots)));
    if (m_hConnectedEvent != 0 && plat::WaitForSingleObject(m_hConnectedEvent, 10) == plat::WAIT_OBJECT_0) {
      KillTimer(kDotTimer);
      KillTimer(kGiveUpTimer);
      EndDialog(0);
    }
  } else if (id == kGiveUpTimer) {
    KillTimer(kDotTimer);
    KillTimer(kGiveUpTimer);
    MessageBoxById(Hwnd(), 4008);  // "Cann't detect server!!"
    ExitFunction()(0);
  }
}

void CConnectingDlg::OnCancel() { ExitFunction()(0); }

// ---------------------------------------------------------------------------------------

CBuzzerTestDlg::CBuzzerTestDlg(QWidget* parent, std::function<int(const CCgiRequest&)> send)
    : ui::Window(parent), m_send(std::move(send)) {
  if (!m_send) {
    m_send = [](const CCgiRequest& r) {
      return ZududSendCommand(r, nullptr, 0, nullptr, nullptr, 0, nullptr, kBuzzerTimeoutSec,
                              kBuzzerTimeoutSec);
    };
  }
  setWindowTitle("Buzzer Test");
  auto* layout = new QHBoxLayout(this);
  auto* longButton = new QPushButton("LONG BUZZER", this);
  auto* shortButton = new QPushButton("SHORT BUZZER", this);
  m_check = new QCheckBox("test multi ch", this);
  layout->addWidget(longButton);
  layout->addWidget(shortButton);
  layout->addWidget(m_check);
  AddControl(kLongId, longButton);
  AddControl(kShortId, shortButton);
  AddControl(kMultiChId, m_check);
  m_check->hide();
  SetDragBySurface(true);
  OnCommand(kLongId, [this] {
    if (m_nLastBuzzer != 0) Send("stop", true);
    Send("long", true);
    m_nLastBuzzer = 1;
    m_dwLastTick = plat::GetTickCount();
  });
  OnCommand(kShortId, [this] {
    if (m_nLastBuzzer != 0) Send("stop", false);
    Send("short", true);
    m_nLastBuzzer = 2;
    m_dwLastTick = plat::GetTickCount();
  });
  OnCommand(kMultiChId, [this] {
    m_bMultiCh = !m_bMultiCh;
    m_check->setChecked(m_bMultiCh);
  });
  for (unsigned m = 0x1100; m <= 0x1105; ++m) {
    OnMessage(m, [this, m](plat::WPARAM, plat::LPARAM) -> plat::LPARAM {
      if (m == kMsgShowCheck) m_check->show();
      if (m == kMsgHideCheck) m_check->hide();
      return 0;
    });
  }
}

CBuzzerTestDlg::~CBuzzerTestDlg() { KillTimer(kPollTimer); }

bool CBuzzerTestDlg::OnInitDialog() {
  SetTimer(kPollTimer, 5000);
  return true;
}

void CBuzzerTestDlg::OnTimer(int id) {
  if (id == kPollTimer && g_lpApp && g_lpApp->f_VideoRunning.load()) PostMessage(kMsgPoll);
}

void CBuzzerTestDlg::Send(const char* time, bool timeFirst) {
  CCgiRequest r(CGI_SETBUZZER);
  const std::string cookie = GetSessionId();
  if (timeFirst) r.AddParam("time", time);
  if (!cookie.empty()) r.AddParam("Cookie", cookie);
  if (!timeFirst) r.AddParam("time", time);
  m_send(r);
}

// ---------------------------------------------------------------------------------------

namespace {

struct NumberField {
  int id;
  const char* label;
  int low, high;
  const char* unit;
  int CMpeg4StreamSettingDlg::*member;
};

const NumberField kMpeg4Fields[] = {
    {CMpeg4StreamSettingDlg::kBitRateId, "Target Bit Rate :", 50, 2000, "kbps", &CMpeg4StreamSettingDlg::m_nTargetBitRate},
    {CMpeg4StreamSettingDlg::kGopId, "GOP :", 1, 65535, "", &CMpeg4StreamSettingDlg::m_nGop},
    {CMpeg4StreamSettingDlg::kWidthId, "Image Width :", 1, 720, "", &CMpeg4StreamSettingDlg::m_nImageWidth},
    {CMpeg4StreamSettingDlg::kHeightId, "Image Height :", 1, 576, "", &CMpeg4StreamSettingDlg::m_nImageHeight},
};

}  // namespace

CMpeg4StreamSettingDlg::CMpeg4StreamSettingDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle("MPEG4 Stream Setting");
  auto* layout = new QVBoxLayout(this);
  for (const NumberField& f : kMpeg4Fields) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(f.label, this));
    auto* edit = new QLineEdit(this);
    row->addWidget(edit);
    if (*f.unit) row->addWidget(new QLabel(f.unit, this));
    layout->addLayout(row);
    AddControl(f.id, edit);
  }
  auto* ok = new QPushButton("OK", this);
  layout->addWidget(ok);
  AddControl(plat::IDOK, ok);
  OnCommand(plat::IDOK, [this] { OnOK(); });
}

bool CMpeg4StreamSettingDlg::OnInitDialog() {
  for (const NumberField& f : kMpeg4Fields) SetDlgItemText(f.id, QString::number(this->*f.member));
  return true;
}

void CMpeg4StreamSettingDlg::OnOK() {
  int values[4];
  for (int i = 0; i < 4; ++i) {
    const NumberField& f = kMpeg4Fields[i];
    bool ok = false;
    const int v = GetDlgItemText(f.id).trimmed().toInt(&ok);
    if (!ok || v < f.low || v > f.high) {
      plat::MessageBox(Hwnd(), "Please enter an integer between " + std::to_string(f.low) + " and " +
                                   std::to_string(f.high) + ".");
      if (QWidget* w = GetDlgItem(f.id)) w->setFocus();
      return;  // the window stays open with the field to correct
    }
    values[i] = v;
  }
  for (int i = 0; i < 4; ++i) this->*kMpeg4Fields[i].member = values[i];
  EndDialog(plat::IDOK);
}

// ---------------------------------------------------------------------------------------

CApplicationInfoDialog::CApplicationInfoDialog(QWidget* parent) : ui::Window(parent) {
  MakeFrameless();
  setFixedSize(304, 238);
  SetDragBySurface(true);
}

bool CApplicationInfoDialog::OnInitDialog() {
  QPainterPath rounded;
  rounded.addRoundedRect(QRectF(0, 0, 304, 238), 5, 5);  // 10 x 10 corner ellipses
  SetWindowRegion(QRegion(rounded.toFillPolygon().toPolygon()));
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect work = s->availableGeometry();
    move(work.center() - QPoint(152, 119));
  }
  // The pictures and places come from the skin table: the background, the maker's logo and
  // the OK button's two faces.
  if (!m_background.Load(skin::Path(skin::ABOUT_BACKGROUND))) return true;
  if (!m_logo.Load(skin::Path(skin::ABOUT_LOGO))) return true;
  const skin::Entry& ok = skin::Get(skin::ABOUT_OK);
  m_ok = new CVtxButton(this);
  m_ok->Create(QRect(ok.x, ok.y, ok.width, ok.height), this, plat::IDOK);
  m_ok->LoadButtonBitmap(ok.path, skin::Path(skin::ABOUT_OK_OVER), skin::Path(skin::ABOUT_OK_OVER), 2);
  AddControl(plat::IDOK, m_ok);
  OnCommand(plat::IDOK, [this] { OnOK(); });
  m_bInitialised = true;
  return true;
}

void CApplicationInfoDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!m_background.IsNull()) p.drawImage(rect(), m_background.Image());
  const skin::Entry& logo = skin::Get(skin::ABOUT_LOGO);
  if (!m_logo.IsNull()) p.drawImage(QRect(logo.x, logo.y, logo.width, logo.height), m_logo.Image());
  p.setPen(Qt::black);
  p.setBackgroundMode(Qt::TransparentMode);
  p.drawText(QPoint(160, 50 + p.fontMetrics().ascent()), kVersionText);
}

// ---------------------------------------------------------------------------------------

CAddressBookListDlg::CAddressBookListDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle("Address Book");
  auto* layout = new QVBoxLayout(this);
  auto* list = new QTreeWidget(this);
  list->setRootIsDecorated(false);
  layout->addWidget(list);
  AddControl(kListId, list);
}

// ---------------------------------------------------------------------------------------

CConnectProgressDlg::CConnectProgressDlg(QWidget* parent) : CConnectProgressDlg(parent, nullptr) {}
