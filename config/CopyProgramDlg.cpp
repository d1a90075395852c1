#include "config/CopyProgramDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/ProgramCopy.h"
#include "platform/files.h"
#include "platform/messages.h"

CCopyProgramDlg::CCopyProgramDlg(QWidget* parent, std::string source, std::string destination)
    : ui::Window(parent), m_strSourcePath(std::move(source)), m_strDestPath(std::move(destination)) {
  setWindowTitle(QStringLiteral("Copy Program"));
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  m_ctlProgress = new QProgressBar(this);
  m_ctlProgress->setRange(0, 100);
  m_ctlProgress->setTextVisible(false);
  m_percent = new QLabel(this);
  row->addWidget(m_ctlProgress, 1);
  row->addWidget(m_percent);
  layout->addLayout(row);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  layout->addWidget(ok, 0, Qt::AlignRight);
  AddControl(IDC_COPY_PROGRESS, m_ctlProgress);
  AddControl(IDC_COPY_PERCENT, m_percent);
  AddControl(plat::IDOK, ok);
  OnCommand(plat::IDOK, [this] { OnOK(); });
  resize(400, 100);
}

QString CCopyProgramDlg::PercentText() const { return m_percent->text(); }
int CCopyProgramDlg::Progress() const { return m_ctlProgress->value(); }

void CCopyProgramDlg::ShowPercent(int percent) {
  m_percent->setText(QString::asprintf("%3d%%", percent));
  m_ctlProgress->setValue(percent);
}

bool CCopyProgramDlg::OnInitDialog() {
  ShowPercent(0);
  EnableDlgItem(plat::IDOK, false);
  SetTimer(kTimerId, kStartDelayMs);
  return true;
}

void CCopyProgramDlg::OnTimer(int id) {
  if (id != kTimerId) return;
  if (!m_bStarted) {
    m_bStarted = true;
    KillTimer(kTimerId);
    m_strSourcePath = WithTrailingSlash(m_strSourcePath);
    m_strDestPath = WithTrailingSlash(m_strDestPath);
    if (m_strDestPath.empty() || IsSameFolder(m_strSourcePath, m_strDestPath)) {
      plat::MessageBox(Hwnd(), "The program cannot be copied onto its own folder.");
      m_bFinished = true;
      EnableDlgItem(plat::IDOK, true);
      if (m_bClosePending) EndDialog(plat::IDCANCEL);
      return;
    }
    m_files = ProgramCopyList(m_strSourcePath);
    plat::CreateDirectories(m_strDestPath + "BMP/LOGIN");
    // The steps follow one another as fast as the window draws them.
    SetTimer(kTimerId, 0);
    return;
  }
  Step();
}

void CCopyProgramDlg::Step() {
  const std::size_t end = std::min(m_files.size(), m_next + kFilesPerStep);
  for (; m_next < end; ++m_next) {
    const std::string& name = m_files[m_next];
    const std::size_t slash = name.find_last_of('/');
    if (slash != std::string::npos) plat::CreateDirectories(m_strDestPath + name.substr(0, slash));
    if (!CopyProgramFile(m_strSourcePath + name, m_strDestPath + name)) ++m_nFailed;
  }
  ShowPercent(m_files.empty() ? 100 : static_cast<int>(m_next * 100 / m_files.size()));
  if (m_next >= m_files.size()) Finish();
}

void CCopyProgramDlg::Finish() {
  KillTimer(kTimerId);
  m_bFinished = true;
  const bool settingsWritten = WriteCopySettings(m_strDestPath);
  if (!settingsWritten) ++m_nFailed;
  if (m_nFailed > 0) {
    m_percent->setText(QString::asprintf("%3d%%  %d failed", 100, m_nFailed));
    plat::MessageBox(Hwnd(), std::to_string(m_nFailed) + (m_nFailed == 1 ? " file" : " files") +
                                 " could not be copied.");
  }
  EnableDlgItem(plat::IDOK, true);
  if (m_bClosePending) EndDialog(plat::IDCANCEL);
}

void CCopyProgramDlg::OnOK() {
  if (m_bFinished) EndDialog(plat::IDOK);
}

void CCopyProgramDlg::OnCancel() {
  // Before the first step nothing has been copied and the dialog simply closes; during the
  // copy Esc and the close box wait for its end.
  if (!m_bStarted || m_bFinished) {
    KillTimer(kTimerId);
    EndDialog(plat::IDCANCEL);
    return;
  }
  m_bClosePending = true;
}
