#include "connect/Mpeg4StreamSettingDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>

#include "platform/messages.h"

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
