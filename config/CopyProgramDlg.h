// The "Copy Program" dialog: copies the client from its folder into another one, half a
// second after it opens, a few files per timer step so the progress is drawn, then points
// the copy's Setting.ini at the new folder and says how many files failed.
#pragma once
#include <string>
#include <vector>

#include "ui/Window.h"

class QLabel;
class QProgressBar;

enum CopyProgramControl : int { IDC_COPY_PROGRESS = 1354, IDC_COPY_PERCENT = 1355 };

class CCopyProgramDlg : public ui::Window {
 public:
  CCopyProgramDlg(QWidget* parent, std::string source, std::string destination);
  explicit CCopyProgramDlg(QWidget* parent = nullptr) : CCopyProgramDlg(parent, "", "") {}

  static constexpr int kTimerId = 4096;
  static constexpr int kStartDelayMs = 500;
  static constexpr int kFilesPerStep = 8;

  bool Started() const { return m_bStarted; }
  bool Finished() const { return m_bFinished; }
  int FailedCount() const { return m_nFailed; }
  QString PercentText() const;
  int Progress() const;

  std::string m_strSourcePath;
  std::string m_strDestPath;

 protected:
  bool OnInitDialog() override;
  void OnTimer(int id) override;
  void OnOK() override;
  void OnCancel() override;

 private:
  void Step();
  void Finish();
  void ShowPercent(int percent);
  QProgressBar* m_ctlProgress = nullptr;
  QLabel* m_percent = nullptr;
  std::vector<std::string> m_files;
  std::size_t m_next = 0;
  int m_nFailed = 0;
  bool m_bStarted = false;
  bool m_bFinished = false;
  bool m_bClosePending = false;
};
