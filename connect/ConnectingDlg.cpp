#include "connect/ConnectingDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "core/Strings.h"
#include "platform/kernel.h"

namespace {

ProgramExit& ExitFunction() {
  static ProgramExit f = [](int code) { std::exit(code); };
  return f;
}

}  // namespace

void SetProgramExit(ProgramExit f) {
  ExitFunction() = f ? std::move(f) : [](int code) { std::exit(code); };
}


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
    SetDlgItemText(kStatusId, QString::fromStdString(LoadStr(IDS_CONNECTING) + kRow.substr(0, m_nDots)));
    if (m_hConnectedEvent != 0 && plat::WaitForSingleObject(m_hConnectedEvent, 10) == plat::WAIT_OBJECT_0) {
      KillTimer(kDotTimer);
      KillTimer(kGiveUpTimer);
      EndDialog(0);
    }
  } else if (id == kGiveUpTimer) {
    KillTimer(kDotTimer);
    KillTimer(kGiveUpTimer);
    MessageBoxById(Hwnd(), IDS_CANNOT_DETECT_SERVER);
    ExitFunction()(0);
  }
}

void CConnectingDlg::OnCancel() { ExitFunction()(0); }

