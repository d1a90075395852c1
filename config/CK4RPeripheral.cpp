#include "config/CK4RPeripheral.h"

#include <QLabel>
#include <QLineEdit>

#include "config/PageModel.h"

const char* CK4RPeripheral::ModelText(unsigned typeCode) {
  switch (typeCode) {
    case 113:
    case 114: return "4CH NETWORK DVR (BASIC)";
    case 115: return "4CH NETWORK DVR (FULL)";
    case 118: return "9CH NETWORK DMR";
    case 119: return "16CH NETWORK DMR";
    case 132:
    case 138: return "4CH NETWORK MEPG2 DVR";
    default: return "";
  }
}

bool CK4RPeripheral::OnInitDialog() {
  const struct {
    const char* label;
    int id, top;
  } rows[] = {{"ID :", IDC_ID, 20}, {"Model :", IDC_MODEL, 56}};
  for (const auto& r : rows) {
    auto* l = new QLabel(QString::fromLatin1(r.label), this);
    l->setGeometry(20, r.top, 80, 22);
    auto* edit = new QLineEdit(this);
    edit->setReadOnly(true);
    edit->setGeometry(100, r.top, 220, 22);
    AddControl(r.id, edit);
  }
  if (pagemodel::IModel* model = pagemodel::Current()) {
    m_strId = std::to_string(model->Devices().GetCurrentId());
    m_strModel = ModelText(model->Devices().GetCurrentType());
  }
  return ui::PropertyPage::OnInitDialog();
}

void CK4RPeripheral::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(IDC_ID, m_strId);
  dx.Text(IDC_MODEL, m_strModel);
}
