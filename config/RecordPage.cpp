#include "config/RecordPage.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "config/FileDialogs.h"
#include "config/PageModel.h"
#include "core/Model.h"

RecordPage::RecordPage(QWidget* parent) : ui::PropertyPage(QStringLiteral("File Path"), parent) {
  OnCommand(IDC_PATH_MODIFY_RECORD, [this] { OnModifyRecordPath(); });
  OnCommand(IDC_PATH_MODIFY_SNAPSHOT, [this] { OnModifySnapshotPath(); });
  OnCommand(IDC_PATH_MODIFY_ALARMWAV, [this] { OnModifyAlarmAudio(); });
  // Typed folders take effect like picked ones.
  OnChange(IDC_PATH_RECORD, [this] { UpdateData(true); });
  OnChange(IDC_PATH_SNAPSHOT, [this] { UpdateData(true); });
}

bool RecordPage::ShowsAlarmSoundRow() {
  pagemodel::IModel* model = pagemodel::Current();
  if (!model) return false;
  const std::string id = model->Device().productId;
  return model->Devices().FindSpecialType() == 1 || IsModelK40R(id) || IsModelK47R(id) || IsModelFamilyK44(id);
}

bool RecordPage::OnInitDialog() {
  auto* grid = new QGridLayout(this);
  const struct {
    int label, edit, button;
    const char* text;
  } rows[] = {{0, IDC_PATH_RECORD, IDC_PATH_MODIFY_RECORD, "Record Path : "},
              {0, IDC_PATH_SNAPSHOT, IDC_PATH_MODIFY_SNAPSHOT, "Snapshot Path : "},
              {IDC_PATH_ALARMWAV_LABEL, IDC_PATH_ALARMWAV, IDC_PATH_MODIFY_ALARMWAV, "Alarm Audio Path : "}};
  int r = 0;
  for (const auto& row : rows) {
    auto* label = new QLabel(QString::fromLatin1(row.text), this);
    auto* edit = new QLineEdit(this);
    auto* button = new QPushButton(QStringLiteral("Modify"), this);
    grid->addWidget(label, r, 0);
    grid->addWidget(edit, r, 1);
    grid->addWidget(button, r, 2);
    if (row.label) AddControl(row.label, label);
    AddControl(row.edit, edit);
    AddControl(row.button, button);
    ++r;
  }
  grid->setRowStretch(r, 1);
  Item<QLineEdit>(IDC_PATH_ALARMWAV)->setReadOnly(true);
  if (pagemodel::IModel* model = pagemodel::Current()) m_strTriggerWavPath = model->Settings().m_strTriggerWavPath.Get();
  const bool showSound = ShowsAlarmSoundRow();
  for (int id : {IDC_PATH_ALARMWAV_LABEL, IDC_PATH_ALARMWAV, IDC_PATH_MODIFY_ALARMWAV}) ShowDlgItem(id, showSound);
  return ui::PropertyPage::OnInitDialog();
}

void RecordPage::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(IDC_PATH_RECORD, m_strRecordPath);
  dx.Text(IDC_PATH_SNAPSHOT, m_strSnapshotPath);
  dx.Text(IDC_PATH_ALARMWAV, m_strTriggerWavPath);
}

void RecordPage::OnModifyRecordPath() {
  std::string chosen;
  if (PickFolder(this, m_strRecordPath, chosen) != 1) return;
  m_strRecordPath = chosen;
  UpdateData(false);
}

void RecordPage::OnModifySnapshotPath() {
  std::string chosen;
  if (PickFolder(this, m_strSnapshotPath, chosen) != 1) return;
  m_strSnapshotPath = chosen;
  UpdateData(false);
}

void RecordPage::OnModifyAlarmAudio() {
  std::string chosen;
  if (PickOpenFile(this, "WAV files (*.wav)", m_strTriggerWavPath, chosen) != 1 || chosen.empty()) return;
  m_strTriggerWavPath = chosen;
  UpdateData(false);
}
