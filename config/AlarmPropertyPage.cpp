#include "config/AlarmPropertyPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <tuple>
#include <QPushButton>
#include <QRadioButton>

#include "config/FileDialogs.h"
#include "config/PageModel.h"
#include "core/Model.h"
#include "session/Sections.h"
#include "ui/Controls.h"

using sect::AlarmSection;

namespace {

const char* const kServerDurations[] = {"3      SEC", "15     SEC", "30     SEC", "1      MIN", "30     MIN", "AUTO"};
const char* const kDvrDurations[] = {"5      SEC", "10     SEC", "20     SEC", "40     SEC"};

}  // namespace

void AlarmPropertyPage::SetChecked(int id, bool on) {
  if (auto* b = Item<QAbstractButton>(id)) b->setChecked(on);
}

bool AlarmPropertyPage::OnInitDialog() {
  // Every radio and check box is set by the handlers themselves: none groups on its own.
  auto radio = [this](int id, const char* text, int x, int y, int w = 80) {
    auto* b = new QRadioButton(QString::fromLatin1(text), this);
    b->setAutoExclusive(false);
    b->setGeometry(x, y, w, 22);
    AddControl(id, b);
    return b;
  };
  auto check = [this](int id, const char* text, int x, int y, int w = 80) {
    auto* b = new QCheckBox(QString::fromLatin1(text), this);
    b->setGeometry(x, y, w, 22);
    AddControl(id, b);
    return b;
  };
  auto label = [this](const char* text, int x, int y, int id = 0, int w = 130) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setGeometry(x, y, w, 22);
    if (id) AddControl(id, l);
    return l;
  };
  label("Alarm Trigger : ", 16, 12);
  radio(IDC_ENABLE, "Enable", 150, 12);
  radio(IDC_DISABLE, "Disable", 240, 12);
  label("Alarm Method : ", 16, 40);
  check(IDC_EMAIL, "Email", 150, 40);
  check(IDC_FTP, "FTP", 240, 40);
  label("Post Numbers : ", 16, 68);
  auto* post = new ui::DropList(this);
  for (int i = 1; i <= 10; ++i) post->AddString(QString::number(i));
  post->setGeometry(150, 68, 60, 22);
  AddControl(IDC_POST_NUMBER, post);
  label("Pics", 216, 68, 0, 60);
  label("Alarm Duration : ", 16, 96);
  auto* duration = new ui::DropList(this);
  duration->setGeometry(150, 96, 110, 22);
  AddControl(IDC_DURATION, duration);
  check(IDC_AUTO_SWITCH, "Auto switch to alarm video", 16, 124, 240);

  auto* group = new QGroupBox(QStringLiteral("Alarm Video Source Definition"), this);
  group->setGeometry(10, 150, 456, 84);
  AddControl(IDC_SOURCE_GROUP, group);
  label("CH1 Source :", 20, 174, IDC_CH1_SOURCE_LABEL, 100);
  label("CH2 Source :", 20, 202, IDC_CH2_SOURCE_LABEL, 100);
  const char* const captions[4] = {"1", "2", "3", "4 (Alarm)"};
  for (int k = 0; k < 4; ++k) {
    radio(IDC_SOURCE_FIRST + 2 * k, captions[k], 120 + 86 * k, 174, 86);
    radio(IDC_SOURCE_FIRST + 2 * k + 1, captions[k], 120 + 86 * k, 202, 86);
    OnCommand(IDC_SOURCE_FIRST + 2 * k, [this, k] { OnVideoSource(k + 1, false); });
    OnCommand(IDC_SOURCE_FIRST + 2 * k + 1, [this, k] { OnVideoSource(k + 1, true); });
  }

  auto* refresh = new QPushButton(QStringLiteral("Alarm\nRefresh"), this);
  refresh->setGeometry(340, 60, 80, 44);
  AddControl(IDC_ALARM_REFRESH, refresh);
  label("Alarm Record :", 16, 244, IDC_RECORD_LABEL);
  radio(IDC_RECORD_ON, "ON", 150, 244);
  radio(IDC_RECORD_OFF, "OFF", 240, 244);

  // The picture-size radios exist but are never shown.
  label("Image Resolution : ", 16, 272)->hide();
  radio(IDC_RES_160, "160*120", 150, 272)->hide();
  radio(IDC_RES_320, "320*240", 240, 272)->hide();
  radio(IDC_RES_VGA, "VGA", 330, 272)->hide();
  // So are the alarm sound's file box, its switch and Load, and the two channel buttons.
  auto* soundPath = new QLineEdit(this);
  soundPath->setGeometry(16, 300, 200, 22);
  soundPath->hide();
  AddControl(IDC_SOUND_PATH, soundPath);
  check(IDC_SOUND_CHECK, "", 222, 300, 22)->hide();
  for (const auto& [id, text, x] : {std::tuple{IDC_SOUND_LOAD, "Load", 250}, std::tuple{IDC_CH1_BUTTON, "CH1", 310},
                                    std::tuple{IDC_CH2_BUTTON, "CH2", 370}}) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    b->setGeometry(x, 300, 56, 22);
    b->hide();
    AddControl(id, b);
  }

  OnCommand(IDC_ENABLE, [this] { OnRadioEnable(); });
  OnCommand(IDC_DISABLE, [this] { OnRadioDisable(); });
  OnCommand(IDC_EMAIL, [this] { OnCheckEmail(); });
  OnCommand(IDC_FTP, [this] { OnCheckFtp(); });
  OnCommand(IDC_RES_160, [this] { OnRadioResolution(3); });
  OnCommand(IDC_RES_320, [this] { OnRadioResolution(2); });
  OnCommand(IDC_RES_VGA, [this] { OnRadioResolution(1); });
  OnCommand(IDC_RECORD_ON, [this] { OnRadioRecord(1); });
  OnCommand(IDC_RECORD_OFF, [this] { OnRadioRecord(0); });
  OnCommand(IDC_AUTO_SWITCH, [this] { OnCheckAutoSwitch(); });
  OnCommand(IDC_ALARM_REFRESH, [this] { OnButtonAlarmRefresh(); });
  OnCommand(IDC_SOUND_LOAD, [this] { OnButtonLoad(); });
  OnCommand(IDC_SOUND_CHECK, [this] { OnCheckAlarmSound(); });
  OnCommand(IDC_CH1_BUTTON, [] {});
  OnCommand(IDC_CH2_BUTTON, [] {});

  pagemodel::IModel* model = pagemodel::Current();
  const sect::Device device = pagemodel::ConnectedDevice();
  const std::string& id = device.productId;
  AlarmSection alarm;
  std::uint8_t videoSource = 0;
  if (model) {
    model->WithSections([&](const pagemodel::Sections& s) {
      AlarmSection::Decode(s.Data(SYSCFG_ALARM), AlarmSection::kSize, device, alarm);
      videoSource = s.Data(SYSCFG_ALARM)[AlarmSection::kOffVideoSource];
    });
  }
  // 1. Durations of the family.
  if (device.IsDvr()) {
    for (const char* d : kDvrDurations) duration->AddString(QString::fromLatin1(d));
  } else {
    for (const char* d : kServerDurations) duration->AddString(QString::fromLatin1(d));
  }
  m_nAlarmDuration = AlarmSection::DurationChoice(device, alarm.duration);
  // 2. Post numbers.
  m_nPostNumber = alarm.postNumber != 0 ? alarm.postNumber - 1 : 0;
  // 3. Method; the picture size is the recorder's (its radios are never shown).
  m_byAlarmMethod = alarm.alarmMethod;
  m_byAlarmImageSize = alarm.imageSize;
  ShowMethod();
  SetChecked(IDC_ENABLE, m_byAlarmMethod != 0);
  SetChecked(IDC_DISABLE, m_byAlarmMethod == 0);
  EnableMethodControls(m_byAlarmMethod != 0);
  SetChecked(IDC_RES_160, m_byAlarmImageSize == 3);
  SetChecked(IDC_RES_320, m_byAlarmImageSize == 2);
  SetChecked(IDC_RES_VGA, m_byAlarmImageSize == 1);
  // 4. Record on alarm, on K40R and the K44R family.
  SetChecked(IDC_RECORD_ON, m_byAlarmTriggerRecord == 1);
  SetChecked(IDC_RECORD_OFF, m_byAlarmTriggerRecord != 1);
  if (!IsModelK40R(id) && !IsModelFamilyK44(id)) {
    for (int c : {IDC_RECORD_LABEL, IDC_RECORD_ON, IDC_RECORD_OFF}) ShowDlgItem(c, false);
  }
  // 5. Video sources, shown on K40R.
  m_byAlarmVideoSource = videoSource;
  if (IsModelK40R(id)) {
    ShowSources();
  } else {
    ShowDlgItem(IDC_SOURCE_GROUP, false);
    ShowDlgItem(IDC_CH1_SOURCE_LABEL, false);
    ShowDlgItem(IDC_CH2_SOURCE_LABEL, false);
    for (int i = 0; i < 8; ++i) ShowDlgItem(IDC_SOURCE_FIRST + i, false);
  }
  // 6. Switching to the alarm channel, on a multi-channel DVR; elsewhere the member keeps the
  //    stored setting, so APPLY stores it unchanged.
  if (IsModelFamilyK41(id) && IsMultiChannel()) {
    if (model) m_byAlarmAutoSwitchVideo = model->Settings().m_byAlarmAutoSwitchVideo.load();
    SetChecked(IDC_AUTO_SWITCH, m_byAlarmAutoSwitchVideo != 0);
  } else {
    ShowDlgItem(IDC_AUTO_SWITCH, false);
  }
  return ui::PropertyPage::OnInitDialog();
}

void AlarmPropertyPage::DoDataExchange(ui::DataExchange& dx) {
  dx.ListIndex(IDC_DURATION, m_nAlarmDuration);
  dx.ListIndex(IDC_POST_NUMBER, m_nPostNumber);
  dx.Text(IDC_SOUND_PATH, m_strAlarmSoundPath);
  dx.Check(IDC_SOUND_CHECK, m_nAlarmSound);
}

void AlarmPropertyPage::OnButtonLoad() {
  std::string chosen;
  if (PickOpenFile(this, "WAV files (*.wav)", std::string(), chosen) != 1 || chosen.empty()) return;
  m_strAlarmSoundPath = chosen;
  UpdateData(false);
}

void AlarmPropertyPage::OnCheckAlarmSound() {
  m_nAlarmSound = m_nAlarmSound ? 0 : 1;
  SetChecked(IDC_SOUND_CHECK, m_nAlarmSound != 0);
}

void AlarmPropertyPage::ShowMethod() {
  SetChecked(IDC_EMAIL, m_byAlarmMethod == 1 || m_byAlarmMethod == 3);
  SetChecked(IDC_FTP, m_byAlarmMethod == 2 || m_byAlarmMethod == 3);
}

void AlarmPropertyPage::EnableMethodControls(bool on) {
  for (int c : {IDC_EMAIL, IDC_FTP, IDC_RES_160, IDC_RES_320, IDC_RES_VGA}) EnableDlgItem(c, on);
}

void AlarmPropertyPage::OnRadioEnable() {
  SetChecked(IDC_ENABLE, true);
  SetChecked(IDC_DISABLE, false);
  m_byAlarmMethod = 1;
  ShowMethod();
  EnableMethodControls(true);
}

void AlarmPropertyPage::OnRadioDisable() {
  SetChecked(IDC_ENABLE, false);
  SetChecked(IDC_DISABLE, true);
  m_byAlarmMethod = 0;
  ShowMethod();
  EnableMethodControls(false);
}

void AlarmPropertyPage::OnCheckEmail() {
  static const std::uint8_t next[4] = {1, 1, 3, 2};
  m_byAlarmMethod = next[m_byAlarmMethod & 3];
  ShowMethod();
}

void AlarmPropertyPage::OnCheckFtp() {
  static const std::uint8_t next[4] = {2, 3, 2, 1};
  m_byAlarmMethod = next[m_byAlarmMethod & 3];
  ShowMethod();
}

void AlarmPropertyPage::OnRadioResolution(std::uint8_t size) {
  m_byAlarmImageSize = size;
  SetChecked(IDC_RES_160, size == 3);
  SetChecked(IDC_RES_320, size == 2);
  SetChecked(IDC_RES_VGA, size == 1);
}

void AlarmPropertyPage::OnRadioRecord(std::uint8_t on) {
  m_byAlarmTriggerRecord = on;
  SetChecked(IDC_RECORD_ON, on == 1);
  SetChecked(IDC_RECORD_OFF, on == 0);
}

void AlarmPropertyPage::OnCheckAutoSwitch() {
  m_byAlarmAutoSwitchVideo = m_byAlarmAutoSwitchVideo ? 0 : 1;
  SetChecked(IDC_AUTO_SWITCH, m_byAlarmAutoSwitchVideo != 0);
}

void AlarmPropertyPage::OnButtonAlarmRefresh() {
  // Only the client's pending alarm; nothing goes to the recorder.
  if (pagemodel::IModel* model = pagemodel::Current()) model->AckAlarm();
}

void AlarmPropertyPage::OnVideoSource(int source, bool ch2) {
  if (source < 1 || source > 4) return;
  const std::uint8_t bit = static_cast<std::uint8_t>(1u << (source - 1));
  m_byAlarmVideoSource = static_cast<std::uint8_t>(ch2 ? (m_byAlarmVideoSource | bit) : (m_byAlarmVideoSource & ~bit));
  ShowSources();
}

void AlarmPropertyPage::ShowSources() {
  for (int k = 0; k < 4; ++k) {
    const bool onCh2 = (m_byAlarmVideoSource >> k) & 1;
    SetChecked(IDC_SOURCE_FIRST + 2 * k, !onCh2);
    SetChecked(IDC_SOURCE_FIRST + 2 * k + 1, onCh2);
  }
}
