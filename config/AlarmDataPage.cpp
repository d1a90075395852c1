#include "config/AlarmDataPage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Strings.h"
#include "engine/Mailbox.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/process.h"

namespace {
constexpr const char* kNotFound = " (File not found)";
}

bool AlarmRecordingFound(const std::string& path) {
  if (path.empty()) return false;
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

AlarmDataPage::AlarmDataPage(QWidget* parent) : ui::PropertyPage(QStringLiteral("Alarm List"), parent) {
  OnCommand(IDC_ALARMLIST_DELETE, [this] { OnDelete(); });
  OnCommand(IDC_ALARMLIST_CLEAR, [this] { OnClearAll(); });
  OnCommand(IDC_ALARMLIST_PLAY, [this] { OnPlay(); });
  OnCommand(IDC_ALARMLIST_REFRESH, [this] { OnRefresh(); });
}

bool AlarmDataPage::OnInitDialog() {
  auto* layout = new QVBoxLayout(this);
  m_ctlList = new ui::ReportList(this);
  layout->addWidget(m_ctlList, 1);
  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(new QLabel(QStringLiteral("Path : "), this));
  m_pathEdit = new QPlainTextEdit(this);
  m_pathEdit->setReadOnly(true);
  m_pathEdit->setMaximumHeight(48);
  pathRow->addWidget(m_pathEdit, 1);
  layout->addLayout(pathRow);
  auto* buttons = new QHBoxLayout;
  layout->addLayout(buttons);
  const std::pair<int, const char*> kButtons[] = {{IDC_ALARMLIST_DELETE, "Delete"},
                                                  {IDC_ALARMLIST_CLEAR, "Clear All"},
                                                  {IDC_ALARMLIST_PLAY, "Play"},
                                                  {IDC_ALARMLIST_REFRESH, "Refresh"}};
  for (const auto& [id, text] : kButtons) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    buttons->addWidget(b);
    AddControl(id, b);
  }
  AddControl(IDC_ALARMLIST_LIST, m_ctlList);
  AddControl(IDC_ALARMLIST_PATH, m_pathEdit);
  connect(m_ctlList, &QTreeWidget::itemClicked, this, [this] { OnClickList(); });
  m_ctlList->onDoubleClick = [this](int) { OnDblclkList(); };
  return LoadAlarmList() != 0;
}

void AlarmDataPage::ShowPath() {
  if (m_pathEdit) m_pathEdit->setPlainText(QString::fromStdString(m_strPathText));
}

void AlarmDataPage::FillRows() {
  m_ctlList->DeleteAllItems();
  m_rowItem.clear();
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    const AlarmDBItem& it = m_items[i];
    if (it.byFlags & ALARMDB_MARKED_DELETE) continue;
    const int row = m_ctlList->InsertItem(static_cast<int>(m_rowItem.size()), QString::number(m_rowItem.size() + 1));
    m_ctlList->SetItemText(row, 1, QString::fromLatin1(it.szServerIP));
    char time[64];
    std::snprintf(time, sizeof time, "%.4d.%.2d.%.2d %.2d:%.2d:%.2d", it.stStartTime[0], it.stStartTime[1],
                  it.stStartTime[3], it.stStartTime[4], it.stStartTime[5], it.stStartTime[6]);
    m_ctlList->SetItemText(row, 2, QString::fromLatin1(time));
    m_ctlList->SetItemText(row, 3, QString::number(it.dwFrames));
    m_rowItem.push_back(i);
  }
}

int AlarmDataPage::LoadAlarmList() {
  m_ctlList->clear();
  m_ctlList->setColumnCount(0);
  m_ctlList->InsertColumn(0, QStringLiteral("NO."), 40);
  m_ctlList->InsertColumn(1, QStringLiteral("IP Address"), 90);
  m_ctlList->InsertColumn(2, QStringLiteral("Time"), 130);
  m_ctlList->InsertColumn(3, QStringLiteral("Frame"), 100);
  m_items.clear();
  m_rowItem.clear();
  m_strPathText.clear();
  const AlarmDBLoad result = g_SystemConfig.AlarmDB_LoadFile();
  if (result == AlarmDBLoad::ReadFailed || result == AlarmDBLoad::BadMagic) {
    plat::MessageBox(Hwnd(), result == AlarmDBLoad::ReadFailed
                                 ? "Read alarm database file is failed"
                                 : "File format is wrong");
    ShowPath();
    return 0;
  }
  m_items = g_SystemConfig.AlarmDB_LoadedItems();
  FillRows();
  if (!m_rowItem.empty()) {
    const AlarmDBItem& first = m_items[m_rowItem[0]];
    m_strPathText = first.szFileName;
    if (first.byFlags & ALARMDB_FILE_MISSING) m_strPathText += kNotFound;
    m_ctlList->SelectRow(0);
  }
  ShowPath();
  return 1;
}

void AlarmDataPage::OnClickList() {
  const int row = m_ctlList->GetSelectedRow();
  if (row < 0 || static_cast<std::size_t>(row) >= m_rowItem.size()) return;
  m_strPathText = m_items[m_rowItem[row]].szFileName;
  if (!AlarmRecordingFound(m_strPathText)) m_strPathText += kNotFound;
  ShowPath();
}

void AlarmDataPage::OnDblclkList() {
  const int row = m_ctlList->GetSelectedRow();
  if (row < 0 || static_cast<std::size_t>(row) >= m_rowItem.size()) return;
  const std::string path = m_items[m_rowItem[row]].szFileName;
  if (!AlarmRecordingFound(path)) return;
  m_strPathText = path;
  ShowPath();
  RunPlayer();
}

bool AlarmDataPage::RunPlayer() {
  const std::string player = FindPlayerProgram();
  if (player.empty() || !plat::SpawnProcess({player, m_strPathText}, plat::ProgramFolder())) {
    MessageBoxById(Hwnd(), IDS_RUN_PLAYER_FAILED);
    return false;
  }
  return true;
}

void AlarmDataPage::OnPlay() {
  if (m_rowItem.empty() || !AlarmRecordingFound(m_strPathText)) return;
  RunPlayer();
}

void AlarmDataPage::OnClearAll() {
  if (m_rowItem.empty()) return;
  g_SystemConfig.m_fDeletePending = 1;
  g_SystemConfig.AlarmDB_MarkAllForDeletion();
  g_SystemConfig.AlarmDB_RemoveMarkedItems();
  // The rows come from the file again: entries the alarm recorder added meanwhile stay.
  LoadAlarmList();
}

void AlarmDataPage::OnDelete() {
  if (m_rowItem.empty()) {
    MessageBoxById(Hwnd(), IDS_NO_ITEM_TO_DELETE);
    return;
  }
  const int row = m_ctlList->GetSelectedRow();
  if (row < 0 || static_cast<std::size_t>(row) >= m_rowItem.size()) {
    MessageBoxById(Hwnd(), IDS_SELECT_ACCOUNT_TO_DELETE);
    return;
  }
  const std::size_t index = m_rowItem[row];
  g_SystemConfig.m_fDeletePending = 1;
  g_SystemConfig.AlarmDB_SetItemFlags(index, static_cast<plat::BYTE>(m_items[index].byFlags | ALARMDB_MARKED_DELETE));
  g_SystemConfig.AlarmDB_RemoveMarkedItems();
  LoadAlarmList();
  const int count = static_cast<int>(m_rowItem.size());
  const int next = row < count - 1 ? row : 0;
  if (next < count) {
    const AlarmDBItem& it = m_items[m_rowItem[next]];
    m_strPathText = it.szFileName;
    if (it.byFlags & ALARMDB_FILE_MISSING) m_strPathText += kNotFound;
    m_ctlList->SelectRow(next);
  } else {
    m_strPathText.clear();
  }
  ShowPath();
}
