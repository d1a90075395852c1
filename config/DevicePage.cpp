#include "config/DevicePage.h"

#include <QPushButton>
#include <cstdio>

#include "config/CDeviceEditDlg.h"
#include "config/PageModel.h"
#include "core/Strings.h"
#include "platform/messages.h"
#include "session/Sections.h"
#include "ui/Controls.h"

ui::ReportList* DevicePage::List() const { return Item<ui::ReportList>(IDC_DEVICE_LIST); }

bool DevicePage::OnInitDialog() {
  auto* list = new ui::ReportList(this);
  list->setGeometry(10, 10, 300, 300);
  AddControl(IDC_DEVICE_LIST, list);
  list->InsertColumn(0, QStringLiteral("NO."), 40);
  list->InsertColumn(1, QString::fromLatin1(LoadStr(IDS_COL_DEVICE)), 70);
  list->InsertColumn(2, QString::fromLatin1(LoadStr(IDS_COL_ID)), 30);
  list->InsertColumn(3, QString::fromLatin1(LoadStr(IDS_COL_PROTOCOL)), 80);
  list->InsertColumn(4, QString::fromLatin1(LoadStr(IDS_COL_RATE)), 50);
  list->onDoubleClick = [this](int) { OnDblclkDeviceList(); };

  auto* edit = new QPushButton(QStringLiteral("Edit"), this);
  edit->setGeometry(320, 10, 70, 26);
  AddControl(IDC_DEVICE_EDIT, edit);
  OnCommand(IDC_DEVICE_EDIT, [this] { OnButtonEdit(); });

  // Every entry is taken, also those above the model's channels: the apply step writes all
  // sixteen back, and those must go out as they came.
  if (pagemodel::IModel* pm = pagemodel::Current()) {
    const sect::Device device = pm->Device();
    sect::Rs485Section rs;
    pm->WithSections([&](const pagemodel::Sections& s) {
      sect::Rs485Section::Decode(s.Data(SYSCFG_RS485), sect::Rs485Section::kSize, device, rs);
    });
    for (int c = 0; c < kChannels; ++c) {
      m_byDeviceKind[c] = rs.kind[c];
      m_byDeviceId[c] = rs.deviceId[c];
      m_byProtocol[c] = rs.protocol[c];
      m_dwBaud[c] = rs.baud[c];
    }
  }
  const int count = pagemodel::DvrChannelCount();
  for (int c = 0; c < count; ++c) {
    char no[16];
    std::snprintf(no, sizeof no, "%2d", c + 1);
    list->InsertItem(c, QString::fromLatin1(no));
    WriteRow(c);
  }
  return ui::PropertyPage::OnInitDialog();
}

void DevicePage::WriteRow(int row) {
  ui::ReportList* list = List();
  if (!list || row < 0 || row >= kChannels) return;
  list->SetItemText(row, 1, m_byDeviceKind[row] == 1 ? QStringLiteral("PTZ") : QStringLiteral("CAMERA"));
  list->SetItemText(row, 2, QString::number(m_byDeviceId[row]));
  list->SetItemText(row, 3, m_byProtocol[row] == 1 ? QStringLiteral("P-D") : QStringLiteral("NORMAL"));
  list->SetItemText(row, 4, QString::number(m_dwBaud[row]));
}

void DevicePage::OnButtonEdit() { Edit(true); }
void DevicePage::OnDblclkDeviceList() { Edit(false); }

void DevicePage::Edit(bool fromButton) {
  ui::ReportList* list = List();
  const int row = list ? list->GetSelectedRow() : -1;
  if (row < 0 || row >= kChannels) {
    if (fromButton) plat::MessageBox(Hwnd(), LoadStr(IDS_NO_ITEM_TO_EDIT));
    return;
  }
  CDeviceEditDlg dlg(this);
  char no[16];
  std::snprintf(no, sizeof no, "%2d", row + 1);
  dlg.m_strNo = no;
  dlg.m_nDevice = m_byDeviceKind[row];
  dlg.m_nProtocol = m_byProtocol[row];
  dlg.m_nID = m_byDeviceId[row];
  dlg.m_nRate = -1;
  for (int i = 0; i < 7; ++i) {
    if (sect::kBaudRates[i] == m_dwBaud[row]) dlg.m_nRate = i;
  }
  const int result = runEditor ? runEditor(dlg) : dlg.DoModal();
  if (result != plat::IDOK) return;
  // A list left without a choice keeps the stored value; the editor refuses ids above 255.
  if (dlg.m_nID >= 0 && dlg.m_nID <= 255 && dlg.m_nID != m_byDeviceId[row]) {
    m_byDeviceId[row] = static_cast<std::uint8_t>(dlg.m_nID);
    m_bModified = 1;
  }
  if (dlg.m_nDevice >= 0 && dlg.m_nDevice != m_byDeviceKind[row]) {
    m_byDeviceKind[row] = static_cast<std::uint8_t>(dlg.m_nDevice);
    m_bModified = 1;
  }
  if (dlg.m_nProtocol >= 0 && dlg.m_nProtocol != m_byProtocol[row]) {
    m_byProtocol[row] = static_cast<std::uint8_t>(dlg.m_nProtocol);
    m_bModified = 1;
  }
  if (dlg.m_nRate >= 0 && dlg.m_nRate < 7 && sect::kBaudRates[dlg.m_nRate] != m_dwBaud[row]) {
    m_dwBaud[row] = sect::kBaudRates[dlg.m_nRate];
    m_bModified = 1;
  }
  if (m_bModified) {
    WriteRow(row);
    UpdateData(false);
  }
}
