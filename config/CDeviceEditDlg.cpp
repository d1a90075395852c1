#include "config/CDeviceEditDlg.h"

#include <QLabel>
#include <QPushButton>

#include "platform/messages.h"
#include "ui/Controls.h"

namespace {

// The rates right-aligned by leading blanks; the index is the caller's rate choice.
const char* const kRateItems[] = {"    2400", "    4800", "    9600", "  19200", "  38400", "  57600", "115200"};

}  // namespace

CDeviceEditDlg::CDeviceEditDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle(QStringLiteral("Edit"));
  setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) & ~Qt::WindowCloseButtonHint);
}

bool CDeviceEditDlg::OnInitDialog() {
  // One row: labels above their controls, OK at the right.
  // Each heading as wide as the control under it.
  auto label = [this](const char* text, int x, int width) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setGeometry(x, 3, width, 16);
  };
  label("NO.", 5, 32);
  label("DEVICE", 40, 86);
  label("ID", 130, 36);
  label("PROTOCOL", 170, 92);
  label("RATE", 266, 84);

  auto* no = new QLabel(this);
  no->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  no->setAlignment(Qt::AlignCenter);
  no->setGeometry(5, 22, 32, 22);
  AddControl(IDC_NO, no);

  auto* device = new ui::DropList(this);
  device->AddString(QStringLiteral("CAMERA"));
  device->AddString(QStringLiteral("PTZ"));
  device->setGeometry(40, 22, 86, 22);
  AddControl(IDC_DEVICE, device);

  auto* id = new ui::DigitsEdit(this);
  id->setAlignment(Qt::AlignCenter);
  id->setGeometry(130, 22, 36, 22);
  AddControl(IDC_ID, id);

  auto* protocol = new ui::DropList(this);
  protocol->AddString(QStringLiteral("NORMAL"));
  protocol->AddString(QStringLiteral("P-D"));
  protocol->setGeometry(170, 22, 92, 22);
  AddControl(IDC_PROTOCOL, protocol);

  auto* rate = new ui::DropList(this);
  for (const char* r : kRateItems) rate->AddString(QString::fromLatin1(r));
  rate->setGeometry(266, 22, 84, 22);
  AddControl(IDC_RATE, rate);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  ok->setGeometry(356, 3, 36, 41);
  AddControl(plat::IDOK, ok);
  OnCommand(plat::IDOK, [this] { OnOK(); });

  setFixedSize(398, 50);
  UpdateData(false);
  return true;
}

void CDeviceEditDlg::DoDataExchange(ui::DataExchange& dx) {
  dx.ListIndex(IDC_DEVICE, m_nDevice);
  dx.ListIndex(IDC_PROTOCOL, m_nProtocol);
  dx.ListIndex(IDC_RATE, m_nRate);
  // The stored id is one byte: a larger one is refused here rather than cut short later.
  dx.Number(IDC_ID, m_nID, 0, 255);
  if (!dx.Saving()) SetDlgItemText(IDC_NO, QString::fromStdString(m_strNo));
}

bool CDeviceEditDlg::UpdateData(bool saveAndValidate) {
  ui::DataExchange dx(*this, saveAndValidate);
  DoDataExchange(dx);
  return !dx.Failed();
}

void CDeviceEditDlg::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(plat::IDOK);
}
