#include "config/COnlineUserPage.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "config/OnlineUsers.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "platform/messages.h"
#include "session/SysCfg.h"

COnlineUserPage::COnlineUserPage(QWidget* parent) : ui::PropertyPage(QStringLiteral("Online User Info"), parent) {
  OnCommand(IDC_ONLINE_REFRESH, [this] { OnInfoRefresh(); });
}

bool COnlineUserPage::OnInitDialog() {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Online user information :"), this));
  m_ctlUserList = new ui::ReportList(this);
  layout->addWidget(m_ctlUserList, 1);
  auto* refresh = new QPushButton(QStringLiteral("Info \nRefresh"), this);
  layout->addWidget(refresh, 0, Qt::AlignRight);
  AddControl(IDC_ONLINE_LIST, m_ctlUserList);
  AddControl(IDC_ONLINE_REFRESH, refresh);

  const std::string id = pagemodel::ProductId();
  m_bChannelColumn = OnlineHasChannelColumn(id, IsMultiChannel() != 0);
  const int narrow = m_bChannelColumn ? 1 : 0;
  m_ctlUserList->InsertColumn(0, QString::fromLatin1(LoadStr(IDS_COL_NAME)), 40);
  m_ctlUserList->InsertColumn(1, QString::fromLatin1(LoadStr(IDS_COL_IP_ADDRESS)), 80);
  m_ctlUserList->InsertColumn(2, QString::fromLatin1(LoadStr(IDS_COL_LEVEL)), narrow ? 60 : 80);
  m_ctlUserList->InsertColumn(3, QString::fromLatin1(LoadStr(IDS_COL_RESOLUTION)), narrow ? 60 : 80);
  m_ctlUserList->InsertColumn(4, QString::fromLatin1(LoadStr(IDS_COL_QUALITY)), narrow ? 50 : 80);
  if (m_bChannelColumn) m_ctlUserList->InsertColumn(5, QString::fromLatin1(LoadStr(IDS_COL_CH)), 40);
  FillRows();
  return ui::PropertyPage::OnInitDialog();
}

void COnlineUserPage::FillRows() {
  pagemodel::IModel* model = pagemodel::Current();
  m_wUserCount = 0;
  m_ctlUserList->DeleteAllItems();
  if (!model) return;
  std::uint8_t section[kSysCfgOnlineMax];
  model->WithSections([&](const pagemodel::Sections& s) { std::memcpy(section, s.Data(SYSCFG_ONLINE), sizeof section); });
  const auto rows = BuildOnlineRows(section, sizeof section, model->Device().productId, model->VideoModeAtInit() != 0);
  for (const OnlineUserRow& r : rows) {
    const int row = m_ctlUserList->InsertItem(m_wUserCount, QString::fromLatin1(r.name.c_str()));
    m_ctlUserList->SetItemText(row, 1, QString::fromLatin1(r.address.c_str()));
    m_ctlUserList->SetItemText(row, 2, QString::fromLatin1(r.level.c_str()));
    m_ctlUserList->SetItemText(row, 3, QString::fromLatin1(r.resolution.c_str()));
    m_ctlUserList->SetItemText(row, 4, QString::fromLatin1(r.quality.c_str()));
    if (m_bChannelColumn) m_ctlUserList->SetItemText(row, 5, QString::fromLatin1(r.channel.c_str()));
    ++m_wUserCount;
  }
}

void COnlineUserPage::OnInfoRefresh() {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return;
  // Fetched into a copy: the stored section and the list stay as they were when it fails.
  std::uint8_t fresh[kSysCfgOnlineMax] = {};
  if (!GetSysCfgSection(SYSCFG_ONLINE, fresh, sizeof fresh)) {
    MessageBoxById(Hwnd(), IDS_GET_CONFIG_ERROR);
    return;
  }
  model->WithSections([&](const pagemodel::Sections& s) { std::memcpy(s.Data(SYSCFG_ONLINE), fresh, sizeof fresh); });
  FillRows();
}
