#include "config/PlaybackSearchDlg.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>

#include "config/PageModel.h"
#include "core/Strings.h"
#include "session/SearchList.h"
#include "ui/Controls.h"

namespace {

using pagemodel::Scale;

int ChannelCountOf(const std::string& productId) {
  if (productId == "K43R") return 4;
  if (productId == "K42R") return 8;
  if (productId == "K41R") return 16;
  return 0;
}

}  // namespace

CPlaybackSearchDlg::CPlaybackSearchDlg(QWidget* parent) : ui::Window(parent) {
  setWindowTitle(QStringLiteral("Playback Search"));
  const double s = Scale();
  auto px = [s](double v) { return static_cast<int>(v * s); };
  resize(px(330), px(260));
  auto row = [&](const char* text, int id, int y) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setGeometry(px(15), px(y), px(110), px(20));
    auto* combo = new QComboBox(this);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setGeometry(px(130), px(y), px(170), px(22));
    AddControl(id, combo);
    return combo;
  };
  row("Search Type :", IDC_PS_TYPE, 15);
  row("HDD Num :", IDC_PS_HDD, 45);
  row("Channel Num :", IDC_PS_CHANNEL, 75);
  row("Event Type :", IDC_PS_EVENT, 105);
  auto* group = new QGroupBox(QStringLiteral("Date && Time"), this);
  group->setGeometry(px(10), px(135), px(310), px(60));
  auto* date = new QDateEdit(this);
  date->setDisplayFormat(QStringLiteral("dddd, MMMM dd, yyyy"));
  date->setDate(QDate::currentDate());
  date->setGeometry(px(20), px(160), px(180), px(22));
  AddControl(IDC_PS_DATE, date);
  auto* time = new QTimeEdit(this);
  time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  time->setTime(QTime::currentTime());
  time->setGeometry(px(210), px(160), px(100), px(22));
  AddControl(IDC_PS_TIME, time);
  ui::SelectFieldOnClick(date);
  ui::SelectFieldOnClick(time);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(px(130), px(215), px(85), px(26));
  AddControl(IDC_PS_OK, ok);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setGeometry(px(225), px(215), px(85), px(26));
  AddControl(IDC_PS_CANCEL, cancel);
  OnCommand(IDC_PS_OK, [this] { OnOK(); });
  OnCommand(IDC_PS_CANCEL, [this] { OnCancel(); });
}

bool CPlaybackSearchDlg::OnInitDialog() {
  // The controls are bound before anything can fail, so OK and the search type box never act
  // on nothing.
  m_pSearchTypeCombo = Item<QComboBox>(IDC_PS_TYPE);
  m_pHddCombo = Item<QComboBox>(IDC_PS_HDD);
  m_pChannelCombo = Item<QComboBox>(IDC_PS_CHANNEL);
  m_pEventTypeCombo = Item<QComboBox>(IDC_PS_EVENT);
  m_pDateCtrl = Item<QDateEdit>(IDC_PS_DATE);
  m_pTimeCtrl = Item<QTimeEdit>(IDC_PS_TIME);
  QObject::connect(m_pSearchTypeCombo, &QComboBox::activated, this, [this] { OnSelchangeSearchType(); });
  if (!LoadHddList()) {
    MessageBoxById(Hwnd(), IDS_SEND_COMMAND_FAILED);
    m_bFailureShown = true;
    return false;  // the dialog closes at once
  }
  // Sorted entries, as the boxes sort them.
  m_pSearchTypeCombo->addItems({QStringLiteral("EVENT SEARCH"), QStringLiteral("TIME SEARCH")});
  m_pEventTypeCombo->addItems({QStringLiteral("ALARM"), QStringLiteral("MOTION")});
  m_pSearchTypeCombo->setCurrentIndex(0);
  m_pHddCombo->setCurrentIndex(0);
  m_pEventTypeCombo->setCurrentIndex(0);
  if (LoadChannelList() == 0) {
    // A model without channels can only search by time.
    m_pSearchTypeCombo->setCurrentIndex(1);
    m_pSearchTypeCombo->setEnabled(false);
    OnSelchangeSearchType();
  } else {
    m_pChannelCombo->setCurrentIndex(0);
  }
  return true;
}

bool CPlaybackSearchDlg::LoadHddList() {
  if (!nb::RequestDiskMask(m_byHddMask)) return false;
  QStringList names;
  for (unsigned b : nb::ListDisks(m_byHddMask)) names << QString::fromStdString(nb::DiskName(b));
  names << QStringLiteral("ALL");
  names.sort();
  m_pHddCombo->clear();
  m_pHddCombo->addItems(names);
  return true;
}

int CPlaybackSearchDlg::LoadChannelList() {
  const int n = ChannelCountOf(pagemodel::ProductId());
  m_pChannelCombo->clear();
  for (int i = 0; i < n; ++i) m_pChannelCombo->insertItem(i, QString::number(i + 1));
  return n;
}

void CPlaybackSearchDlg::OnSelchangeSearchType() {
  const bool time = m_pSearchTypeCombo->currentText() == QStringLiteral("TIME SEARCH");
  m_pEventTypeCombo->setEnabled(!time);
  m_pChannelCombo->setEnabled(!time);
}

void CPlaybackSearchDlg::OnOK() {
  if (!m_pSearchTypeCombo) return;
  sl::PlaybackSearch search;
  const QDate date = m_pDateCtrl->date();
  const QTime time = m_pTimeCtrl->time();
  search.year = date.year();
  search.month = date.month();
  search.day = date.day();
  search.hour = time.hour();
  search.minute = time.minute();
  search.second = time.second();
  search.channel = m_pChannelCombo->currentIndex() < 0 ? 0 : m_pChannelCombo->currentIndex();
  const std::string disk = m_pHddCombo->currentText().toStdString();
  if (disk == "ALL") {
    search.hddNum = "ALL";
  } else {
    const int number = nb::DiskNumberOfName(disk);
    if (number < 0) return;  // a typed text that names no disk
    search.hddNum = std::to_string(number);
  }
  search.alarm = m_pEventTypeCombo->currentText() == QStringLiteral("ALARM");
  search.timeSearch = m_pSearchTypeCombo->currentText() != QStringLiteral("EVENT SEARCH");
  if (sl::SendPlaybackSearch(search) && !search.timeSearch) EndDialog(plat::IDOK);
}

int ModalToolDialogs::RunPlaybackSearch(QWidget*) {
  CPlaybackSearchDlg dialog(nullptr);
  const int result = dialog.DoModal();
  return result == -1 && dialog.m_bFailureShown ? plat::IDCANCEL : result;
}
