#include "config/CAlarmTriggerPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>

#include "config/DigitEdit.h"
#include "core/Model.h"
#include "ui/Controls.h"

CAlarmTriggerPage::CAlarmTriggerPage(QWidget* parent) : ui::PropertyPage(QStringLiteral("R.E.T.R."), parent) {}

bool CAlarmTriggerPage::OnInitDialog() {
  auto radio = [this](int id, const char* text, int x, int y, bool visible) {
    auto* b = new QRadioButton(QString::fromLatin1(text), this);
    b->setAutoExclusive(false);
    b->setGeometry(x, y, 80, 20);
    b->setVisible(visible);
    AddControl(id, b);
  };
  (new QLabel(QStringLiteral("Remote Record :"), this))->setGeometry(10, 10, 110, 20);
  radio(IDC_RETR_ENABLE, "Enable", 130, 10, true);
  radio(IDC_RETR_DISABLE, "Disable", 220, 10, true);
  (new QLabel(QStringLiteral("R.E.T.R :  \nTime Limit "), this))->setGeometry(10, 40, 110, 36);
  auto* day = new ui::DropList(this);
  for (const char* d : {"DAILY", "OFF", "MON", "TUE", "WED", "THU", "FRI", "SAT", "SUN"}) day->AddString(QString::fromLatin1(d));
  day->setGeometry(130, 44, 80, 22);
  AddControl(IDC_RETR_DAY, day);
  for (int id : {IDC_RETR_HOUR, IDC_RETR_MINUTE}) {
    auto* e = new ui::DigitEdit(this);
    e->setGeometry(id == IDC_RETR_HOUR ? 220 : 266, 44, 34, 22);
    AddControl(id, e);
  }
  (new QLabel(QStringLiteral(":"), this))->setGeometry(257, 44, 8, 22);
  (new QLabel(QStringLiteral("Connection Check IP :\n(GATEWAY)"), this))->setGeometry(10, 80, 140, 36);
  auto* gateway = new ui::IpAddressEdit(this);
  gateway->setGeometry(160, 84, 140, 22);
  AddControl(IDC_RETR_GATEWAY, gateway);
  // Controls the template keeps hidden.
  radio(IDC_RETR_HIGH, "High", 10, 130, false);
  radio(IDC_RETR_MIDDLE, "Middle", 90, 130, false);
  radio(IDC_RETR_LOW, "Low", 170, 130, false);
  radio(IDC_RETR_VGA, "VGA", 10, 154, false);
  radio(IDC_RETR_QVGA, "QVGA", 90, 154, false);
  radio(IDC_RETR_ON, "ON", 10, 178, false);
  radio(IDC_RETR_OFF, "OFF", 90, 178, false);
  auto* interval = new ui::DropList(this);
  for (const char* t : {"AUTO", "3     SEC", "15   SEC", "30   SEC", "1     MIN", "30   MIN"}) interval->AddString(QString::fromLatin1(t));
  interval->setGeometry(170, 178, 80, 22);
  interval->hide();
  AddControl(IDC_RETR_INTERVAL, interval);

  OnCommand(IDC_RETR_ENABLE, [this] { OnRemote(true); });
  OnCommand(IDC_RETR_DISABLE, [this] { OnRemote(false); });
  OnCommand(IDC_RETR_HIGH, [this] { OnQuality(0); });
  OnCommand(IDC_RETR_MIDDLE, [this] { OnQuality(1); });
  OnCommand(IDC_RETR_LOW, [this] { OnQuality(2); });
  OnCommand(IDC_RETR_VGA, [this] { OnResolution(0); });
  OnCommand(IDC_RETR_QVGA, [this] { OnResolution(1); });
  OnCommand(IDC_RETR_ON, [this] { OnOnOff(1); });
  OnCommand(IDC_RETR_OFF, [this] { OnOnOff(0); });
  OnChange(IDC_RETR_HOUR, [this] { OnChangeLimit(IDC_RETR_HOUR, m_nHour, 23); });
  OnChange(IDC_RETR_MINUTE, [this] { OnChangeLimit(IDC_RETR_MINUTE, m_nMinute, 59); });

  if (m_dwGateway != 0) gateway->SetAddress(m_dwGateway);
  CheckPair(IDC_RETR_ENABLE, 2, m_byRecord != 0 ? 0 : 1);
  return ui::PropertyPage::OnInitDialog();
}

void CAlarmTriggerPage::DoDataExchange(ui::DataExchange& dx) {
  dx.ListIndex(IDC_RETR_INTERVAL, m_nInterval);
  dx.ListIndex(IDC_RETR_DAY, m_nDay);
  int hour = static_cast<int>(m_nHour), minute = static_cast<int>(m_nMinute);
  dx.Number(IDC_RETR_HOUR, hour, 0, 23);
  dx.Number(IDC_RETR_MINUTE, minute, 0, 59);
  m_nHour = static_cast<unsigned>(hour);
  m_nMinute = static_cast<unsigned>(minute);
}

void CAlarmTriggerPage::CheckPair(int firstId, int count, int chosen) {
  for (int i = 0; i < count; ++i) Item<QRadioButton>(firstId + i)->setChecked(i == chosen);
}

void CAlarmTriggerPage::OnRemote(bool enable) {
  m_byRecord = enable ? 1 : 0;
  CheckPair(IDC_RETR_ENABLE, 2, enable ? 0 : 1);
}

void CAlarmTriggerPage::OnQuality(int quality) {
  m_nQuality = quality;
  CheckPair(IDC_RETR_HIGH, 3, quality);
}

void CAlarmTriggerPage::OnResolution(int resolution) {
  m_nResolution = resolution;
  CheckPair(IDC_RETR_VGA, 2, resolution);
  CheckPair(IDC_RETR_ON, 2, m_nOnOff == 1 ? 0 : 1);
}

void CAlarmTriggerPage::OnOnOff(int on) {
  m_nOnOff = on;
  CheckPair(IDC_RETR_ON, 2, on == 1 ? 0 : 1);
  if (m_nResolution == 0 || m_nResolution == 1) CheckPair(IDC_RETR_VGA, 2, m_nResolution);
}

void CAlarmTriggerPage::OnChangeLimit(int id, unsigned& field, unsigned max) {
  std::string text;
  if (!digitedit::Typed(Item<QLineEdit>(id), text) || text.empty()) return;
  field = static_cast<unsigned>(std::min<unsigned long>(digitedit::Value(digitedit::WithoutLeadingZeros(text), 3, max), max));
  FillScope fill(*this);
  SetDlgItemText(id, QString::number(field));
}
