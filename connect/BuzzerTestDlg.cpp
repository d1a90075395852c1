#include "connect/BuzzerTestDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/AppRecord.h"
#include "platform/clock.h"
#include "session/CgiRequest.h"
#include "session/Command.h"

namespace {

constexpr unsigned kMsgShowCheck = 0x1103;
constexpr unsigned kMsgHideCheck = 0x1104;
constexpr int kBuzzerTimeoutSec = 15;

}  // namespace

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
