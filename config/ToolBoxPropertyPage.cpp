#include "config/ToolBoxPropertyPage.h"

#include <QLabel>
#include <QLineEdit>

#include "config/PageModel.h"
#include "core/Model.h"
#include "session/Sections.h"
#include "session/SysCfg.h"
#include "ui/Controls.h"

std::string ToolBoxPropertyPage::FirmwareText(const std::string& version) {
  const std::size_t n = version.size() < 4 ? version.size() : 4;
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    if (i) out += '.';
    out += version[i];
  }
  return out;
}

std::string ToolBoxPropertyPage::MacText(const std::string& mac) {
  std::string out;
  for (std::size_t i = 0; i < mac.size() && i < 12; i += 2) {
    if (i) out += ':';
    out += mac.substr(i, 2);
  }
  return out;
}

bool ToolBoxPropertyPage::OnInitDialog() {
  auto label = [this](const char* text, int x, int y, int id = 0) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setGeometry(x, y, 120, 22);
    if (id) AddControl(id, l);
    return l;
  };
  label("Firmware Version:", 20, 20);
  label("", 150, 20, IDC_FIRMWARE);
  label("Turbo step :", 20, 54);
  auto* turbo = new ui::DropList(this);
  for (int i = 1; i <= 30; ++i) turbo->AddString(QString::number(i));
  turbo->setGeometry(150, 54, 80, 22);
  AddControl(IDC_TURBO, turbo);
  label("Mac address :", 20, 88);
  label("", 150, 88, IDC_MAC);
  label("Title :", 20, 122, IDC_TITLE_LABEL);
  auto* title = new QLineEdit(this);
  title->setGeometry(150, 122, 120, 22);
  AddControl(IDC_TITLE, title);
  label("CH1 Name:", 20, 156, IDC_CH1_LABEL);
  auto* ch1 = new QLineEdit(this);
  ch1->setGeometry(150, 156, 60, 22);
  AddControl(IDC_CH1_NAME, ch1);
  label("CH2 Name:", 20, 190, IDC_CH2_LABEL);
  auto* ch2 = new QLineEdit(this);
  ch2->setGeometry(150, 190, 60, 22);
  AddControl(IDC_CH2_NAME, ch2);

  pagemodel::IModel* model = pagemodel::Current();
  const sect::Device device = pagemodel::ConnectedDevice();
  m_strFirmware = FirmwareText(device.firmware);
  if (model) {
    const int step = model->TurboRepeatStep().load();
    // Outside 1..30 the choice the main window set stays (the list shows no selection).
    if (step >= 1 && step <= 30) m_nTurboRepeat = step - 1;
    m_strMac = MacText(model->MacAddress());
  }
  const bool dvr = IsModelFamilyK41(device.productId);
  const bool k40 = IsModelK40R(device.productId);
  bool names = false;
  if (dvr || k40) {
    sect::SystemSection sys;
    if (model) {
      model->WithSections([&](const pagemodel::Sections& sections) {
        sect::SystemSection::Decode(sections.Data(SYSCFG_SYSTEM), sect::SystemSection::kSize, sys);
      });
    }
    m_strTitle = sys.deviceName.substr(0, 8);
    // Without SYSTEM from this login the title could not be sent: it is shown, not edited.
    EnableDlgItem(IDC_TITLE, IsSysCfgSectionFetched(SYSCFG_SYSTEM));
    if (k40 && device.K40RChannelNames()) {
      names = true;
      sect::Rs485Section rs;
      if (model) {
        model->WithSections([&](const pagemodel::Sections& sections) {
          sect::Rs485Section::Decode(sections.Data(SYSCFG_RS485), sect::Rs485Section::kSize, device, rs);
        });
      }
      m_strChannelName1 = rs.channelName1.substr(0, 3);
      m_strChannelName2 = rs.channelName2.substr(0, 3);
    }
  } else {
    for (int id : {IDC_TITLE_LABEL, IDC_TITLE}) ShowDlgItem(id, false);
  }
  for (int id : {IDC_CH1_LABEL, IDC_CH1_NAME, IDC_CH2_LABEL, IDC_CH2_NAME}) ShowDlgItem(id, names);
  return ui::PropertyPage::OnInitDialog();
}

void ToolBoxPropertyPage::DoDataExchange(ui::DataExchange& dx) {
  if (!dx.Saving()) {
    SetDlgItemText(IDC_FIRMWARE, QString::fromStdString(m_strFirmware));
    SetDlgItemText(IDC_MAC, QString::fromStdString(m_strMac));
  }
  dx.ListIndex(IDC_TURBO, m_nTurboRepeat);
  dx.Text(IDC_TITLE, m_strTitle, 8);
  dx.Text(IDC_CH1_NAME, m_strChannelName1, 3);
  dx.Text(IDC_CH2_NAME, m_strChannelName2, 3);
}
