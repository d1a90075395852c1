#include "config/CSNTPPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "config/PageModel.h"
#include "core/Messages.h"
#include "core/Strings.h"
#include "platform/messages.h"
#include "session/SheetCommands.h"
#include "session/SectionWriters.h"
#include "session/SessionRecord.h"
#include "ui/Controls.h"

namespace {

constexpr const char* kNoZoneText = "Please choose a GMT zone first.";
constexpr const char* kBadServerText =
    "The SNTP server name may hold letters, digits, \".\", \"-\" and \"_\" only.";

}  // namespace

CSNTPPage::CSNTPPage(QWidget* parent) : ui::PropertyPage(QStringLiteral("Server Time Config"), parent) {}

bool CSNTPPage::IsServerNameText(const std::string& text) {
  for (char c : text) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

bool CSNTPPage::OnInitDialog() {
  auto radio = [this](int id, const char* text, int x, int y, int w) {
    auto* b = new QRadioButton(QString::fromLatin1(text), this);
    b->setAutoExclusive(false);
    b->setGeometry(x, y, w, 20);
    AddControl(id, b);
  };
  radio(IDC_SNTP_FROM_SERVER, "Correct time from SNTP server", 10, 8, 240);
  radio(IDC_SNTP_BY_USER, "Correct time by user", 10, 30, 240);
  auto* sync = new QPushButton(QStringLiteral("Sync Time"), this);
  sync->setGeometry(260, 18, 90, 24);
  sync->setAutoDefault(false);
  AddControl(IDC_SNTP_SYNC, sync);
  auto* gmt = new QLabel(QStringLiteral("GMT:"), this);
  gmt->setGeometry(10, 64, 40, 22);
  AddControl(IDC_SNTP_GMT_LABEL, gmt);
  auto* zone = new ui::DropList(this);  // a choice from the table only, never typed text
  zone->setGeometry(60, 64, 290, 22);
  AddControl(IDC_SNTP_ZONE, zone);
  auto* serverLabel = new QLabel(QStringLiteral("SNTP Server:"), this);
  serverLabel->setGeometry(10, 96, 90, 22);
  AddControl(IDC_SNTP_SERVER_LABEL, serverLabel);
  radio(IDC_SNTP_CUSTOM, "", 100, 96, 20);
  auto* server = new QLineEdit(this);
  server->setGeometry(124, 96, 226, 22);
  AddControl(IDC_SNTP_SERVER, server);
  radio(IDC_SNTP_AUTOMATIC, "  Automatic", 100, 124, 150);

  if (pagemodel::IModel* model = pagemodel::Current()) {
    model->WithSections([&](const pagemodel::Sections& s) {
      const sect::SntpPageValues stored = sect::ReadSntpPage(s.Data(SYSCFG_SNTP));
      m_byTimeMode = stored.timeMode;
      m_strSntpServer = stored.server;
      m_nZoneIndex = stored.zoneIndex;
    });
  }
  for (int i = 0; i < sect::kTimeZoneCount; ++i) zone->AddString(QString::fromLatin1(LoadStr(IDS_TIME_ZONE_FIRST + unsigned(i))));
  if (m_nZoneIndex >= sect::kTimeZoneCount) m_nZoneIndex = -1;

  const float s = static_cast<float>(pagemodel::Scale());
  auto px = [s](int v) { return static_cast<int>(v * s); };
  m_pDatePicker = new ui::DateTimePicker(this);
  m_pDatePicker->setGeometry(px(100), px(100), 120, 20);
  m_pDatePicker->SetFormat(QStringLiteral("yyyy / MM / dd"));
  AddControl(IDC_SNTP_DATE, m_pDatePicker);
  m_pTimePicker = new ui::DateTimePicker(this);
  m_pTimePicker->setGeometry(px(100), px(100) + 40, 120, 20);
  m_pTimePicker->SetFormat(QStringLiteral("HH : mm : ss"));
  AddControl(IDC_SNTP_TIME, m_pTimePicker);
  m_pDateLabel = new QLabel(QStringLiteral("Date"), this);
  m_pDateLabel->setGeometry(px(40), px(100), 50, 20);
  AddControl(IDC_SNTP_DATE_LABEL, m_pDateLabel);
  m_pTimeLabel = new QLabel(QStringLiteral("Time"), this);
  m_pTimeLabel->setGeometry(px(40), px(100) + 40, 50, 20);
  AddControl(IDC_SNTP_TIME_LABEL, m_pTimeLabel);

  if (m_byTimeMode != 0) {
    OnCorrectFromServer();
    m_byTimeMode = 1;
  } else {
    OnCorrectByUser();
  }
  if (m_strSntpServer.empty()) {
    OnAutomaticServer();
  } else {
    OnCustomServer();
  }
  OnCommand(IDC_SNTP_FROM_SERVER, [this] { OnCorrectFromServer(); });
  OnCommand(IDC_SNTP_BY_USER, [this] { OnCorrectByUser(); });
  OnCommand(IDC_SNTP_CUSTOM, [this] { OnCustomServer(); });
  OnCommand(IDC_SNTP_AUTOMATIC, [this] { OnAutomaticServer(); });
  OnCommand(IDC_SNTP_SYNC, [this] { OnSyncTime(); });
  // A character the request could not carry is refused as it is typed.
  OnChange(IDC_SNTP_SERVER, [this, server] {
    const std::string text = server->text().toStdString();
    if (IsServerNameText(text)) return;
    std::string kept;
    for (char c : text) {
      if (IsServerNameText(std::string(1, c))) kept += c;
    }
    server->setText(QString::fromStdString(kept));
    plat::MessageBox(Hwnd(), kBadServerText);
  });
  return ui::PropertyPage::OnInitDialog();
}

void CSNTPPage::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(IDC_SNTP_SERVER, m_strSntpServer, kServerLimit);
  dx.ListIndex(IDC_SNTP_ZONE, m_nZoneIndex);
}

void CSNTPPage::ShowServerControls(bool show) {
  for (int id : {IDC_SNTP_GMT_LABEL, IDC_SNTP_SERVER_LABEL, IDC_SNTP_AUTOMATIC, IDC_SNTP_CUSTOM, IDC_SNTP_SERVER,
                 IDC_SNTP_ZONE}) {
    ShowDlgItem(id, show);
  }
  for (int id : {IDC_SNTP_DATE, IDC_SNTP_TIME, IDC_SNTP_DATE_LABEL, IDC_SNTP_TIME_LABEL}) ShowDlgItem(id, !show);
}

void CSNTPPage::OnCorrectFromServer() {
  m_byTimeMode = 1;
  Item<QRadioButton>(IDC_SNTP_FROM_SERVER)->setChecked(true);
  Item<QRadioButton>(IDC_SNTP_BY_USER)->setChecked(false);
  ShowServerControls(true);
}

void CSNTPPage::OnCorrectByUser() {
  m_byTimeMode = 0;
  Item<QRadioButton>(IDC_SNTP_FROM_SERVER)->setChecked(false);
  Item<QRadioButton>(IDC_SNTP_BY_USER)->setChecked(true);
  ShowServerControls(false);
}

void CSNTPPage::OnCustomServer() {
  m_byServerMode = 0;
  Item<QRadioButton>(IDC_SNTP_CUSTOM)->setChecked(true);
  Item<QRadioButton>(IDC_SNTP_AUTOMATIC)->setChecked(false);
  EnableDlgItem(IDC_SNTP_SERVER, true);
}

void CSNTPPage::OnAutomaticServer() {
  m_byServerMode = 1;
  Item<QRadioButton>(IDC_SNTP_CUSTOM)->setChecked(false);
  Item<QRadioButton>(IDC_SNTP_AUTOMATIC)->setChecked(true);
  EnableDlgItem(IDC_SNTP_SERVER, false);
}

void CSNTPPage::OnSyncTime() {
  if (!UpdateData(true)) return;
  SyncTimeChoice choice;
  choice.timeMode = m_byTimeMode;
  if (m_byTimeMode == 0) {
    const QDate date = m_pDatePicker->GetTime().date();
    const QTime time = m_pTimePicker->GetTime().time();
    choice.year = date.year();
    choice.month = date.month();
    choice.day = date.day();
    choice.hour = time.hour();
    choice.minute = time.minute();
    choice.second = time.second();
  } else {
    sect::TimeZone tz;
    if (!sect::TimeZoneEntry(m_nZoneIndex, tz)) {
      plat::MessageBox(Hwnd(), kNoZoneText);
      return;
    }
    if (m_byServerMode == 0 && !IsServerNameText(m_strSntpServer)) {
      plat::MessageBox(Hwnd(), kBadServerText);
      return;
    }
    choice.serverMode = m_byServerMode;
    if (m_byServerMode == 0) {
      choice.server = m_strSntpServer;
    } else {
      m_strSntpServer.clear();
    }
    choice.zoneIndex = m_nZoneIndex;
    choice.zoneHours = tz.hours;
    choice.zoneMinutes = tz.minutes;
  }
  // The sheet stores the time-server choice after this exchange, whatever its outcome.
  if (ui::PropertySheet* sheet = Sheet()) sheet->PostMessage(msg::WM_SYNCTIMEDONE, 0, 0);
  if (!SendSyncTime(choice)) {
    plat::MessageBox(Hwnd(), LoadStr(IDS_SEND_COMMAND_TIMEOUT));
  }
}
