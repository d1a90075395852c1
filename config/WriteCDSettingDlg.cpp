#include "config/WriteCDSettingDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QThread>

#include "config/PageModel.h"
#include "config/SheetProgress.h"
#include "core/Strings.h"
#include "ui/Lifetime.h"

namespace {

// The installed model's disc writer (none without a model).
CWriteCD* DefaultWriter() {
  pagemodel::IModel* model = pagemodel::Current();
  return model ? &model->DiscWriter() : nullptr;
}

}  // namespace

CWriteCDSettingDlg::CWriteCDSettingDlg(QWidget* parent, CWriteCD* writer)
    : ui::Window(parent), m_pWriter(writer ? writer : DefaultWriter()) {
  setWindowTitle("Write CD Setting");
  auto* grid = new QGridLayout(this);
  m_editSource = new QLineEdit(this);
  m_editSource->setReadOnly(true);
  m_editName = new QLineEdit(this);
  m_comboDrive = new QComboBox(this);
  m_checkClose = new QCheckBox("Close Disc", this);
  m_checkImport = new QCheckBox("Import Last Session", this);
  m_buttonCd = new QPushButton("CD", this);
  m_buttonDvd = new QPushButton("DVD", this);
  m_buttonCd->setCheckable(true);
  m_buttonDvd->setCheckable(true);
  m_checkPlayer = new QCheckBox("Append Player ", this);
  auto* ok = new QPushButton("OK", this);
  auto* cancel = new QPushButton("CANCEL WRITING CD", this);
  grid->addWidget(new QLabel("SOURCE FILE :", this), 0, 0);
  grid->addWidget(m_editSource, 0, 1, 1, 3);
  grid->addWidget(new QLabel("FILE NAME :", this), 1, 0);
  grid->addWidget(m_editName, 1, 1, 1, 3);
  grid->addWidget(new QLabel("Available Device :", this), 2, 0);
  grid->addWidget(m_comboDrive, 2, 1, 1, 3);
  grid->addWidget(m_checkClose, 3, 0);
  grid->addWidget(m_checkImport, 3, 1);
  grid->addWidget(m_buttonCd, 3, 2);
  grid->addWidget(m_buttonDvd, 3, 3);
  grid->addWidget(m_checkPlayer, 4, 0);
  grid->addWidget(ok, 5, 2);
  grid->addWidget(cancel, 5, 3);
  AddControl(kSourceFileId, m_editSource);
  AddControl(kFileNameId, m_editName);
  AddControl(kDriveId, m_comboDrive);
  AddControl(kCloseDiscId, m_checkClose);
  AddControl(kImportSessionId, m_checkImport);
  AddControl(kCdId, m_buttonCd);
  AddControl(kDvdId, m_buttonDvd);
  AddControl(kAppendPlayerId, m_checkPlayer);
  AddControl(kOkId, ok);
  AddControl(kCancelWritingId, cancel);
  ok->setDefault(true);

  connect(m_comboDrive, &QComboBox::currentIndexChanged, this, [this](int index) { m_nSelectedDrive = index; });
  connect(m_editName, &QLineEdit::textEdited, this, [this](const QString& text) { m_strFileName = text.toStdString(); });
  OnCommand(kCloseDiscId, [this] {
    m_bCloseDisc = m_bCloseDisc ? 0 : 1;
    if (m_pWriter) m_pWriter->SetCloseOption(m_bCloseDisc);
    UpdateControls();
  });
  OnCommand(kAppendPlayerId, [this] {
    m_bAppendPlayer = m_bAppendPlayer ? 0 : 1;
    if (m_pWriter) m_pWriter->SetAddPlayerOption(m_bAppendPlayer);
    UpdateControls();
  });
  OnCommand(kImportSessionId, [this] { UpdateControls(); });  // shown only: the last session is always imported
  OnCommand(kCdId, [this] { SetDiscKind(kMediaCD); });
  OnCommand(kDvdId, [this] { SetDiscKind(kMediaDVD); });
  OnCommand(kOkId, [this] { OnOK(); });
  OnCommand(kCancelWritingId, [this] { EndDialog(kCancelWriting); });
}

int CWriteCDSettingDlg::Prepare(const std::string& sourcePath, char (*driveNames)[256], int driveCount, int discKind,
                                std::uint32_t sizeBytes) {
  m_strSourceFile = sourcePath;
  m_nDiscKind = discKind;
  const std::size_t slash = sourcePath.find_last_of('/');
  m_strFolder = slash == std::string::npos ? std::string() : sourcePath.substr(0, slash + 1);
  m_strFileName = slash == std::string::npos ? sourcePath : sourcePath.substr(slash + 1);
  if (m_pWriter) m_pWriter->m_dwFileSize = sizeBytes;
  if (driveCount <= 0 || !driveNames) return 0;
  m_lpDriveNames = driveNames;
  m_nDriveCount = driveCount;
  return 1;
}

bool CWriteCDSettingDlg::OnInitDialog() {
  m_comboDrive->blockSignals(true);
  m_comboDrive->clear();
  for (int i = 0; i < m_nDriveCount; ++i) {
    m_comboDrive->addItem(QString::fromUtf8(m_lpDriveNames[i], static_cast<int>(strnlen(m_lpDriveNames[i], 256))));
  }
  m_comboDrive->setCurrentIndex(m_nDriveCount > 0 ? 0 : -1);
  m_comboDrive->blockSignals(false);
  m_nSelectedDrive = 0;
  m_bCloseDisc = m_pWriter && m_pWriter->CloseOption() ? 1 : 0;
  m_nDiscKind = m_nDiscKind == kMediaCD ? kMediaCD : kMediaDVD;
  m_bAppendPlayer = 0;
  if (m_pWriter) m_pWriter->SetAddPlayerOption(0);
  // Without the setup file in the program folder there is nothing to append.
  EnableDlgItem(kAppendPlayerId, m_pWriter && m_pWriter->PlayerSetupExists());
  UpdateControls();
  return true;
}

void CWriteCDSettingDlg::UpdateControls() {
  m_editSource->setText(QString::fromStdString(m_strSourceFile));
  if (m_editName->text().toStdString() != m_strFileName) m_editName->setText(QString::fromStdString(m_strFileName));
  m_checkClose->setChecked(m_bCloseDisc != 0);
  m_checkImport->setChecked(m_bImportLastSession != 0);
  m_buttonCd->setChecked(m_nDiscKind == kMediaCD);
  m_buttonDvd->setChecked(m_nDiscKind != kMediaCD);
  m_checkPlayer->setChecked(m_bAppendPlayer != 0);
}

void CWriteCDSettingDlg::SetDiscKind(int kind) {
  m_nDiscKind = kind;
  UpdateControls();
}

void CWriteCDSettingDlg::OnOK() {
  m_strFileName = m_editName->text().toStdString();
  m_nSelectedDrive = m_comboDrive->currentIndex() < 0 ? 0 : m_comboDrive->currentIndex();
  EndDialog(plat::IDOK);
}

void CWriteCDSettingDlg::ApplyTo(CWriteCD& writer) const {
  writer.m_fCloseDisc = m_bCloseDisc;
  writer.m_nSelectedDrive = m_nSelectedDrive;
  writer.m_strFileName = m_strFolder + m_strFileName;
}

void WriteCD_Progress_Callback(int code, int value) {
  switch (code) {
    case 0:
      PostProgressJob(PROGRESS_JOB_EMPTY, 0);
      PostProgressJob(PROGRESS_JOB_MAXIMUM, 100);
      break;
    case 1: PostProgressJob(PROGRESS_JOB_VALUE, value); break;
    case 2: PostProgressJob(PROGRESS_JOB_CLEAR, 0); break;
    default: break;
  }
}

struct DiscImageFileDialog::Question {
  plat::PendingAnswer answer;
  std::mutex mutex;
  std::string path;                // the chosen file, set before the answer
  QPointer<QFileDialog> dialog;  // GUI thread only
};

namespace {

// GUI thread: opens the save dialog for the question; its end gives the answer.
void OpenImageFileDialog(const std::shared_ptr<DiscImageFileDialog::Question>& question, const QString& proposed) {
  if (question->answer.Abandoned()) return;
  auto* dialog = new QFileDialog(QApplication::activeWindow(), QStringLiteral("Image File"), QString(),
                                 QStringLiteral("Image Files (*.iso);;All Files (*)"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->selectFile(proposed);
  question->dialog = dialog;
  QObject::connect(dialog, &QDialog::finished, dialog, [question, dialog](int result) {
    const QStringList files = dialog->selectedFiles();
    if (result == QDialog::Accepted && !files.isEmpty() && !files.front().isEmpty()) {
      {
        std::lock_guard<std::mutex> lock(question->mutex);
        question->path = files.front().toStdString();
      }
      question->answer.Give(plat::IDYES);
    } else {
      question->answer.Give(plat::IDNO);
    }
  });
  dialog->open();
}

// Any thread: closes the question's dialog on the GUI thread.
void CloseImageFileDialog(const std::shared_ptr<DiscImageFileDialog::Question>& question) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(
      app,
      [question] {
        if (question->dialog) question->dialog->reject();
      },
      Qt::QueuedConnection);
}

}  // namespace

bool DiscImageFileDialog::ChooseImageFile(const std::string& proposedName, std::string& path) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  if (ui::OnGuiThread()) {
    const QString chosen = QFileDialog::getSaveFileName(nullptr, "Image File", QString::fromStdString(proposedName),
                                                        "Image Files (*.iso);;All Files (*)");
    path = chosen.toStdString();
    return !chosen.isEmpty();
  }
  // The burning thread waits with a platform wait while the dialog runs on the GUI thread.
  auto question = std::make_shared<Question>();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending = question;
  }
  const QString proposed = QString::fromStdString(proposedName);
  QMetaObject::invokeMethod(app, [question, proposed] { OpenImageFileDialog(question, proposed); },
                            Qt::QueuedConnection);
  struct Forget {
    DiscImageFileDialog& chooser;
    const std::shared_ptr<Question>& question;
    ~Forget() {
      std::lock_guard<std::mutex> lock(chooser.m_mutex);
      if (chooser.m_pending == question) chooser.m_pending.reset();
    }
  } forget{*this, question};
  const int answer = question->answer.Wait([question] { CloseImageFileDialog(question); });
  if (answer != plat::IDYES) return false;
  std::lock_guard<std::mutex> lock(question->mutex);
  path = question->path;
  return !path.empty();
}

void DiscImageFileDialog::CancelChoice() {
  std::shared_ptr<Question> question;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    question = m_pending;
  }
  if (!question) return;
  question->answer.Give(plat::IDNO);
  CloseImageFileDialog(question);
}
