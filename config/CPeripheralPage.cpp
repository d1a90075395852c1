#include "config/CPeripheralPage.h"

#include <QGroupBox>
#include <QLabel>

#include "config/PageModel.h"
#include "core/Model.h"
#include "session/Sections.h"
#include "ui/Controls.h"

namespace {

const char* const kModelItems[11] = {"CAMERA",  "1CH DVR",  "4CH DVR(FULL)", "4CH DVR(BASIC)", "4CH DMR",      "9CH DMR",
                                     "16CH DMR", "4CH DQR", "PTZ(NORMAL)",   "4CH MPEG2 DVR",  "PTZ(P-D)"};
const char* const kRateItems[7] = {"2400", "4800", "9600", "19200", "38400", "57600", "115200"};

}  // namespace

bool CPeripheralPage::OnInitDialog() {
  const struct {
    const char* title;
    int top, baudId, idId, modelId;
  } groups[] = {{"Device 1", 10, IDC_BAUD1, IDC_ID1, IDC_MODEL1}, {"Device 2", 140, IDC_BAUD2, IDC_ID2, IDC_MODEL2}};
  for (const auto& g : groups) {
    auto* box = new QGroupBox(QString::fromLatin1(g.title), this);
    box->setGeometry(10, g.top, 300, 120);
    auto label = [this](const char* text, int y) {
      auto* l = new QLabel(QString::fromLatin1(text), this);
      l->setGeometry(24, y, 90, 22);
    };
    label("Baud Rate :", g.top + 22);
    label("ID :", g.top + 54);
    label("Model :", g.top + 86);
    auto* baud = new ui::DropList(this);
    for (const char* r : kRateItems) baud->AddString(QString::fromLatin1(r));
    baud->setGeometry(120, g.top + 22, 170, 22);
    AddControl(g.baudId, baud);
    auto* id = new ui::DigitsEdit(this);
    id->setGeometry(120, g.top + 54, 170, 22);
    AddControl(g.idId, id);
    auto* model = new ui::DropList(this);
    for (const char* m : kModelItems) model->AddString(QString::fromLatin1(m));
    model->setGeometry(120, g.top + 86, 170, 22);
    AddControl(g.modelId, model);
  }

  if (pagemodel::IModel* pm = pagemodel::Current()) {
    sect::PeriSection peri;
    pm->WithSections([&](const pagemodel::Sections& s) {
      sect::PeriSection::Decode(s.Data(SYSCFG_PERI), sect::PeriSection::kSize, peri);
    });
    m_nId1 = peri.id[0];
    m_nId2 = peri.id[1];
    m_nModel1 = ValueToIndex11(peri.model[0]);
    m_nModel2 = ValueToIndex11(peri.model[1]);
    m_nBaud1 = sect::BaudChoice(peri.baud[0]);
    m_nBaud2 = sect::BaudChoice(peri.baud[1]);
  }
  return ui::PropertyPage::OnInitDialog();
}

void CPeripheralPage::DoDataExchange(ui::DataExchange& dx) {
  dx.ListIndex(IDC_BAUD1, m_nBaud1);
  dx.ListIndex(IDC_MODEL1, m_nModel1);
  dx.Number(IDC_ID2, m_nId2, 0, 255);
  dx.Number(IDC_ID1, m_nId1, 0, 255);
  dx.ListIndex(IDC_MODEL2, m_nModel2);
  dx.ListIndex(IDC_BAUD2, m_nBaud2);
}
