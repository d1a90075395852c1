// The "Network Backup" page of the configuration sheet: downloads a stretch of recorded video
// from one of the recorder's disks into a local ".dvr" file, optionally shown by the player
// while it arrives, and the small progress dialog that runs the download.
#pragma once
#include <QDate>
#include <QPointer>
#include <QTime>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "session/NetworkBackup.h"
#include "ui/PropertySheet.h"

class QDateEdit;
class QTimeEdit;
class CDownloadProgressDlg;
class CWriteCDSettingDlg;

enum DownloadFileControl : int {
  IDC_BK_DATE = 239,
  IDC_BK_TIME = 238,
  IDC_BK_HDD = 1195,
  IDC_BK_SIZE = 1040,
  IDC_BK_CHANNEL = 1041,
  IDC_BK_PATH = 1042,
  IDC_BK_DYNAMIC = 1475,
  IDC_BK_COPYCD = 1505,
  IDC_BK_START = 1068,
  IDC_BK_BROWSE = 1446,
  IDC_BKDLG_CANCEL = 2,
  IDC_BKDLG_PLAY = 1068,
};

// The folder picker the Browse button opens: answers true with the chosen folder. Registered
// at start-up; with none, Browse says so.
using BackupFolderPicker = std::function<bool(QWidget* parent, std::string& folder)>;
void SetBackupFolderPicker(BackupFolderPicker picker);

class DownloadFilePage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit DownloadFilePage(QWidget* parent = nullptr);
  ~DownloadFilePage() override;

  bool OnSetActive() override;
  bool OnKillActive() override { return true; }
  // Starts a download: the disc settings first when the file goes to disc, then the progress
  // dialog. Each dialog is shown without a loop of its own; its end carries the start on.
  void OnButtonStart();
  // A start is under way: the disc settings or the progress dialog are shown.
  bool BackupRunning() const;
  CDownloadProgressDlg* ProgressDialog() const;
  void OnBrowseFolder();
  void MakeFileName();
  // Where the folder picker leaves its choice (also used by tests).
  void SetFolder(const std::string& folder);

  int m_nHddIndex = -1;
  int m_nBackupSize = 5;
  unsigned m_nChannel = 1;
  std::string m_strFilePath;
  int m_bDynamicDownload = 0;
  int m_bCopyToCD = 0;
  int m_bFolderChosen = 0;
  std::string m_strFolder;
  std::string m_strPlayFile;
  QDate m_timeDate;
  QTime m_timeTime;
  nb::DiskMask m_byHddMask{};
  std::uint8_t m_byHddNumber = 0;
  bool m_bDiskListRead = false;

 protected:
  bool OnInitDialog() override;

 private:
  void WriteControls();
  void ReadControls();
  void OnChangeSize();
  void OnChangeChannel();
  void StartPlayer();
  void AskDiscSettings(std::uint32_t sizeBytes);
  void StartDownload();
  void OnDownloadEnded(int result);
  QPointer<CWriteCDSettingDlg> m_pDiscSettings;
  QPointer<CDownloadProgressDlg> m_pProgress;
  QDateEdit* m_pDateCtrl = nullptr;
  QTimeEdit* m_pTimeCtrl = nullptr;
};

class CDownloadProgressDlg : public ui::Window {
  Q_OBJECT

 public:
  CDownloadProgressDlg(QWidget* parent, DownloadFilePage& page);
  ~CDownloadProgressDlg() override;

  bool OnInitDialog() override;
  void OnCancel() override;
  const std::string& Status() const { return m_strStatus; }
  bool Finished() const;

  // How long a stopped download may take to end before the dialog leaves it its run.
  static constexpr plat::DWORD kStopBoundMs = 5000;

  DownloadFilePage& m_Page;
  int m_bCopyToCD = 0;
  std::string m_strStatus;

  // One download: its context, events, player link and disc writer, shared by the dialog and
  // the thread; whichever lets go last frees it.
  struct Run;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void OnDownloadStatus(int status, int value);
  // Tells the thread to stop: its stop event, its cancel token, and a disc being written
  // (with a question about its image file answered "no").
  void RequestStop();
  // Waits for the thread within kStopBoundMs; past the bound the run stays with the thread.
  void StopThread();
  std::shared_ptr<Run> m_run;
  plat::HANDLE m_hDownloadThread = 0;
};
