#include "connect/AddressBookDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "engine/AppRecord.h"
#include "core/Strings.h"
#include "platform/files.h"

namespace {
constexpr int kScrollThreshold = 10;  // the scroll bar works only with more entries than this
const int kListIds[4] = {book_id::kUserList, book_id::kIpAddressList, book_id::kCommentList,
                         book_id::kMajorPortList};
const char* const kListTitles[4] = {"User", "IP Address", "Comment", "Port"};
}  // namespace

std::string CAddressBookDialog::RecordFilePath() {
  const std::string folder = g_lpApp ? g_lpApp->CSettingINI.m_strProgramPath.Get() : plat::ProgramFolder();
  return plat::MapPath(WithTrailingSeparator(folder) + kIPRecordFileName);
}

CAddressBookDialog::CAddressBookDialog(QWidget* parent) : ui::Window(parent) {
  setWindowTitle("IP Address Book");
  auto* top = new QVBoxLayout(this);
  auto* lists = new QHBoxLayout();
  for (int i = 0; i < 4; ++i) {
    auto* column = new QVBoxLayout();
    column->addWidget(new QLabel(kListTitles[i], this));
    m_lists[i] = new QListWidget(this);
    m_lists[i]->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    column->addWidget(m_lists[i]);
    lists->addLayout(column, i == 2 ? 2 : 1);
    AddControl(kListIds[i], m_lists[i]);
    connect(m_lists[i], &QListWidget::currentRowChanged, this, [this, i](int row) { OnSelchange(i, row); });
  }
  m_scroll = new QScrollBar(Qt::Vertical, this);
  lists->addWidget(m_scroll);
  AddControl(book_id::kScrollBar, m_scroll);
  connect(m_scroll, &QScrollBar::actionTriggered, this, [this](int action) { OnVScroll(action); });
  top->addLayout(lists);

  auto* entry = new QGridLayout();
  struct Field {
    int id;
    const char* label;
    int maxLength;
  };
  const Field fields[4] = {{book_id::kUserEdit, "User", 15},
                           {book_id::kIpAddressEdit, "IP Address", 0},
                           {book_id::kCommentEdit, "Comment", 0},
                           {book_id::kMajorPortEdit, "Port", 0}};
  for (int i = 0; i < 4; ++i) {
    auto* edit = new QLineEdit(this);
    if (fields[i].maxLength) edit->setMaxLength(fields[i].maxLength);
    entry->addWidget(edit, 0, i);
    AddControl(fields[i].id, edit);
  }
  top->addLayout(entry);

  auto* buttons = new QHBoxLayout();
  struct Button {
    int id;
    const char* caption;
  };
  const Button defs[6] = {{book_id::kAdd, "ADD"},      {book_id::kDelete, "DELETE"}, {book_id::kSelect, "SELECT"},
                          {book_id::kEdit, "EDIT"},    {book_id::kCancel, "CANCEL"}, {book_id::kEntryOK, "OK"}};
  for (const auto& b : defs) {
    auto* button = new QPushButton(b.caption, this);
    button->setAutoDefault(false);
    buttons->addWidget(button);
    AddControl(b.id, button);
  }
  top->addLayout(buttons);

  OnCommand(book_id::kAdd, [this] { OnAdd(); });
  OnCommand(book_id::kDelete, [this] { OnDelete(); });
  OnCommand(book_id::kSelect, [this] { OnSelect(); });
  OnCommand(book_id::kEdit, [this] { OnEditButton(); });
  OnCommand(book_id::kCancel, [this] { OnOK(); });
  OnCommand(book_id::kEntryOK, [this] { OnEntryOK(); });
}

CAddressBookDialog::~CAddressBookDialog() { SaveFile(); }

void CAddressBookDialog::SaveFile() {
  // Every opening that read the file rewrites it, however the window ended; one that could
  // not read it leaves it exactly as it was.
  if (!m_bFileOpen) return;
  m_bFileOpen = false;
  std::vector<IPRecordEntry> entries;
  for (int i = 0; i < m_iUserNumber; ++i) {
    entries.push_back({m_arrUser[i].toStdString(), m_arrIPAddress[i].toStdString(), m_arrComment[i].toStdString(),
                       m_arrMajorPort[i].toInt()});
  }
  SaveIPRecordFile(m_path, entries);
}

bool CAddressBookDialog::OnInitDialog() {
  ShowEntryMode(false);
  m_scroll->setEnabled(false);
  m_path = RecordFilePath();
  std::vector<IPRecordEntry> entries;
  if (LoadIPRecordFile(m_path, entries) != IPRecordLoad::Ok) {
    EndDialog(-1);
    return false;
  }
  m_bFileOpen = true;
  for (const auto& e : entries) AppendRow(e.user, e.ip, e.comment, e.port);
  AfterCountChanged();
  return true;
}

void CAddressBookDialog::AppendRow(const std::string& user, const std::string& ip, const std::string& comment,
                                   int port) {
  m_arrUser << QString::fromStdString(user);
  m_arrIPAddress << QString::fromStdString(ip);
  m_arrComment << QString::fromStdString(comment);
  m_arrMajorPort << QString::number(port);
  List(0)->addItem(m_arrUser.back());
  List(1)->addItem(m_arrIPAddress.back());
  List(2)->addItem(m_arrComment.back());
  List(3)->addItem(m_arrMajorPort.back());
  ++m_iUserNumber;
}

void CAddressBookDialog::AfterCountChanged() {
  if (m_iUserNumber <= 0) {
    m_scroll->setRange(0, 0);
    m_scroll->setEnabled(false);
    return;
  }
  m_scroll->setRange(0, m_iUserNumber - 1);
  m_scroll->setValue(m_iUserNumber - 1);
  m_scroll->setEnabled(m_iUserNumber > kScrollThreshold);
  SelectRowEverywhere(m_iUserNumber - 1);
}

void CAddressBookDialog::SelectRowEverywhere(int row) {
  for (QListWidget* list : m_lists) {
    const QSignalBlocker quiet(list);
    list->setCurrentRow(row);
  }
  m_nCurSel = row;
}

void CAddressBookDialog::OnSelchange(int, int row) {
  m_nCurSel = row;
  if (row != -1 && row < m_iUserNumber) {
    SelectRowEverywhere(row);
    m_scroll->setValue(row);
    m_scroll->setEnabled(m_iUserNumber > kScrollThreshold);
  }
}

void CAddressBookDialog::OnVScroll(int action) {
  int pos = m_scroll->value();
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: pos -= 1; break;
    case QAbstractSlider::SliderSingleStepAdd: pos += 1; break;
    case QAbstractSlider::SliderPageStepSub: pos -= 5; break;
    case QAbstractSlider::SliderPageStepAdd: pos += 5; break;
    case QAbstractSlider::SliderMove: pos = m_scroll->sliderPosition(); break;
    default: break;
  }
  if (pos > m_iUserNumber - 1) pos = m_iUserNumber - 1;
  if (pos < 0) pos = 0;
  // The slider's own step is replaced by ours.
  m_scroll->setSliderPosition(pos);
  if (m_iUserNumber > 0) SelectRowEverywhere(pos);
}

void CAddressBookDialog::ShowEntryMode(bool entry) {
  for (int id : {book_id::kUserEdit, book_id::kIpAddressEdit, book_id::kCommentEdit, book_id::kMajorPortEdit,
                 book_id::kEntryOK}) {
    ShowDlgItem(id, entry);
  }
  for (int id : {book_id::kAdd, book_id::kDelete, book_id::kSelect, book_id::kEdit, book_id::kCancel}) {
    ShowDlgItem(id, !entry);
  }
}

bool CAddressBookDialog::ReadEntryFields(bool& portIsNumber) {
  m_strUser = GetDlgItemText(book_id::kUserEdit).toStdString();
  m_strIPAddress = GetDlgItemText(book_id::kIpAddressEdit).toStdString();
  m_strComment = GetDlgItemText(book_id::kCommentEdit).toStdString();
  m_strMajorPort = GetDlgItemText(book_id::kMajorPortEdit).trimmed().toStdString();
  const int value = QString::fromStdString(m_strMajorPort).toInt(&portIsNumber);
  if (portIsNumber) m_iMajorPort = value;
  return portIsNumber;
}

void CAddressBookDialog::OnAdd() {
  m_fAddMode = 1;
  ShowEntryMode(true);
  m_fEntryMode = 1;
}

void CAddressBookDialog::OnEditButton() {
  const int row = List(0)->currentRow();
  if (row < 0 || row >= m_iUserNumber) {
    MessageBoxById(Hwnd(), 4052);  // "Please select a setting"
    return;
  }
  m_fAddMode = 2;
  m_nCurSel = row;
  SetDlgItemText(book_id::kUserEdit, m_arrUser[row]);
  SetDlgItemText(book_id::kIpAddressEdit, m_arrIPAddress[row]);
  SetDlgItemText(book_id::kCommentEdit, m_arrComment[row]);
  SetDlgItemText(book_id::kMajorPortEdit, m_arrMajorPort[row]);
  m_iMajorPort = m_arrMajorPort[row].toInt();
  ShowEntryMode(true);
  for (QListWidget* list : m_lists) list->setEnabled(false);
}

void CAddressBookDialog::OnEntryOK() {
  if (m_fAddMode == 1 && m_fEntryMode == 1) {
    ShowEntryMode(false);
    m_fEntryMode = 0;
    bool portIsNumber = false;
    ReadEntryFields(portIsNumber);
    if (!portIsNumber) {
      plat::MessageBox(Hwnd(), "Please enter an integer.");
      return;
    }
    if (m_strUser.empty() || m_strIPAddress.empty()) {
      MessageBoxById(Hwnd(), 4079);  // "User name & ip address cant be empty,try again"
      return;
    }
    if (m_iMajorPort < 1 || m_iMajorPort > 9999) {
      MessageBoxById(Hwnd(), 4053);  // "Port number can't be out of range 1 ~ 9999,try again"
      return;
    }
    AppendRow(m_strUser, m_strIPAddress, m_strComment, m_iMajorPort);
    AfterCountChanged();
  } else if (m_fAddMode == 2) {
    bool portIsNumber = false;
    ReadEntryFields(portIsNumber);
    if (!portIsNumber) {
      plat::MessageBox(Hwnd(), "Please enter an integer.");
      return;  // stays in entry mode with the row unchanged
    }
    const int row = m_nCurSel;
    if (row >= 0 && row < m_iUserNumber) {
      m_arrUser[row] = QString::fromStdString(m_strUser);
      m_arrIPAddress[row] = QString::fromStdString(m_strIPAddress);
      m_arrComment[row] = QString::fromStdString(m_strComment);
      m_arrMajorPort[row] = QString::number(m_iMajorPort);
      List(0)->item(row)->setText(m_arrUser[row]);
      List(1)->item(row)->setText(m_arrIPAddress[row]);
      List(2)->item(row)->setText(m_arrComment[row]);
      List(3)->item(row)->setText(m_arrMajorPort[row]);
    }
    ShowEntryMode(false);
    for (QListWidget* list : m_lists) list->setEnabled(true);
    if (row >= 0 && row < m_iUserNumber) SelectRowEverywhere(row);
    m_fAddMode = 0;
  }
}

void CAddressBookDialog::OnDelete() {
  const int row = List(0)->currentRow();
  if (row < 0 || row >= m_iUserNumber) {
    MessageBoxById(Hwnd(), 4052);
    return;
  }
  m_arrUser.removeAt(row);
  m_arrIPAddress.removeAt(row);
  m_arrComment.removeAt(row);
  m_arrMajorPort.removeAt(row);
  for (QListWidget* list : m_lists) {
    const QSignalBlocker quiet(list);
    delete list->takeItem(row);
  }
  --m_iUserNumber;
  m_nCurSel = -1;
  AfterCountChanged();
}

void CAddressBookDialog::OnSelect() {
  const int row = List(0)->currentRow();
  if (row < 0 || row >= m_iUserNumber) {
    MessageBoxById(Hwnd(), 4050);  // "Please select an item"
    return;
  }
  if (m_iUserNumber <= 0) {
    MessageBoxById(Hwnd(), 4037);  // "It couldn't select any data"
    EndDialog(-1);
    return;
  }
  m_strUser = m_arrUser[row].toStdString();
  m_strComment = m_arrComment[row].toStdString();
  m_strIPAddress = m_arrIPAddress[row].toStdString();
  m_strMajorPort = m_arrMajorPort[row].toStdString();
  m_iMajorPort = m_arrMajorPort[row].toInt();
  EndDialog(kAddressBookSelected);
}

void CAddressBookDialog::OnOK() { EndDialog(1); }
