#include "config/COnlineUserPage.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>
#include <mutex>

#include "config/OnlineUsers.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "engine/AppRecord.h"
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

  const std::string id = g_lpApp ? g_lpApp->GetProductID() : std::string();
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
  AppRecord* app = g_lpApp;
  m_wUserCount = 0;
  m_ctlUserList->DeleteAllItems();
  if (!app) return;
  std::uint8_t section[kSysCfgOnlineMax];
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::memcpy(section, app->SysCfg_ONLINE, sizeof section);
  }
  const auto rows = BuildOnlineRows(section, sizeof section, app->GetProductID(), app->by_VideoModeAtInit.load() != 0);
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
  AppRecord* app = g_lpApp;
  if (!app) return;
  // Fetched into a copy: the stored section and the list stay as they were when it fails.
  std::uint8_t fresh[kSysCfgOnlineMax] = {};
  if (!GetSysCfgSection(SYSCFG_ONLINE, fresh, sizeof fresh)) {
    MessageBoxById(Hwnd(), IDS_GET_CONFIG_ERROR);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::memcpy(app->SysCfg_ONLINE, fresh, sizeof fresh);
  }
  FillRows();
}
