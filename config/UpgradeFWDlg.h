// The firmware upgrade dialog: shows the recorder's firmware version, lets the operator pick a
// package file (video servers) or a firmware folder (DVR family), reads it into memory and
// hands it to the upload thread of the model's protocol. The thread reports by posted
// messages; the dialog shows its message boxes and closes when it is told to.
#pragma once
#include <functional>
#include <string>

#include "platform/types.h"
#include "session/Firmware.h"
#include "ui/Window.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;

class CUpgradeFWDlg : public ui::Window {
  Q_OBJECT

 public:
  enum {
    IDD = 316,
    IDC_VERSION = 1385,
    IDC_FILE_PATH_LABEL = 1459,
    IDC_PATH = 1387,
    IDC_FIND = 1386,
    IDC_PROGRESS = 1389,
    IDC_UPGRADE = 1388,
    IDC_CANCEL = 1392,
    IDC_PART = 1195,
    IDC_SUCCESS = 1068,
  };

  explicit CUpgradeFWDlg(QWidget* parent = nullptr);
  ~CUpgradeFWDlg() override;

  bool OnInitDialog() override;
  void OnFindFile();
  void OnFwdlgUpgrade();
  void UpgradeByPackage();
  void LoadFirmwareFolder();
  void OnCancel() override;
  void OnOK() override {}  // Enter does nothing: only Upgrade, Cancel and the thread end it
  void OnSelchangePart();

  // The file and folder choosers (tests replace them): true with a chosen path.
  std::function<bool(const std::string& startFolder, std::string& chosen)> chooseFile;
  std::function<bool(const std::string& startFolder, std::string& chosen)> chooseFolder;

  // State the controls show.
  std::string m_strPath;
  std::string m_strVersion;
  int m_nPart = -1;
  bool IsDvrFamily() const { return m_bDvr; }
  bool HasFileTable() const { return m_bHasTable; }
  bool HasUploadThread() const;

 private:
  void UpdateControls();  // members to controls
  void ReadControls();    // controls to members
  void StopThreads();
  void OnThreadMessage(unsigned msg);
  void ShowThreadBox(unsigned stringId);
  bool ChosenVariant(fw::Variant& v) const;

  plat::HANDLE m_hStopEvent = 0;
  plat::HANDLE m_hUploadThread = 0;  // folder uploads (package uploads use the record's handle)
  FirmwareFileTable m_FileTable{};
  bool m_bHasTable = false;
  bool m_bDvr = false;
  bool m_bInBox = false;
  std::vector<unsigned> m_deferred;  // thread notices that arrived while a box was up
  QLabel* m_version = nullptr;
  QLineEdit* m_path = nullptr;
  QProgressBar* m_progress = nullptr;
  QComboBox* m_part = nullptr;
};

// Runs the dialog modally (the login window's firmware button); its end code.
int RunUpgradeFirmwareDialog();
