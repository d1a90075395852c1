// "Write CD Setting": before a network backup starts, the operator picks the drive, the
// file's name on the disc, whether to close the disc and whether to add the player's setup
// file. Also the disc writer's progress onto the configuration sheet's bar and the image
// file dialog the disc writer asks for on the user-interface thread.
#pragma once
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "record/WriteCD.h"
#include "ui/Window.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class CWriteCDSettingDlg : public ui::Window {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 349;
  static constexpr int kSourceFileId = 1040;
  static constexpr int kFileNameId = 1041;
  static constexpr int kDriveId = 1195;
  static constexpr int kCloseDiscId = 1506;
  static constexpr int kImportSessionId = 1507;
  static constexpr int kCdId = 1508;
  static constexpr int kDvdId = 1509;
  static constexpr int kAppendPlayerId = 1510;
  static constexpr int kOkId = 1;
  static constexpr int kCancelWritingId = 1068;
  static constexpr int kCancelWriting = 2;  // the end code of "CANCEL WRITING CD"

  // `writer`: the disc writer the dialog serves (default: the application record's).
  explicit CWriteCDSettingDlg(QWidget* parent = nullptr, CWriteCD* writer = nullptr);

  // Keeps the source path, the disc kind, the drive names and the size (the writer's
  // m_dwFileSize); 0 when there is no drive.
  int Prepare(const std::string& sourcePath, char (*driveNames)[256], int driveCount, int discKind,
              std::uint32_t sizeBytes);
  bool OnInitDialog() override;
  void OnOK() override;
  // OK's choices into the writer: close-disc flag, drive and folder + file name.
  void ApplyTo(CWriteCD& writer) const;

  int m_bCloseDisc = 0;
  int m_bImportLastSession = 1;
  int m_bAppendPlayer = 0;
  int m_nSelectedDrive = 0;
  int m_nDiscKind = kMediaCD;
  std::string m_strSourceFile;
  std::string m_strFileName;
  std::string m_strFolder;  // the source's folder up to and including its last '/'
  char (*m_lpDriveNames)[256] = nullptr;
  int m_nDriveCount = 0;

 private:
  void UpdateControls();
  void SetDiscKind(int kind);
  CWriteCD* m_pWriter;
  QLineEdit* m_editSource;
  QLineEdit* m_editName;
  QComboBox* m_comboDrive;
  QCheckBox* m_checkClose;
  QCheckBox* m_checkImport;
  QPushButton* m_buttonCd;
  QPushButton* m_buttonDvd;
  QCheckBox* m_checkPlayer;
};

// The disc writer's notification onto the sheet's progress bar: 0 empty bar and maximum
// 100, 1 the percentage, 2 clear.
void WriteCD_Progress_Callback(int code, int value);

// The image file dialog, shown on the user-interface thread for any calling thread. A worker
// waits for the answer with a cancellable wait: cancelling the worker, or CancelChoice, ends
// the wait and closes the dialog (or keeps it from opening).
class DiscImageFileDialog : public IDiscImageFileChooser {
 public:
  bool ChooseImageFile(const std::string& proposedName, std::string& path) override;
  void CancelChoice() override;

  // One question, shared by the asking thread and the dialog.
  struct Question;

 private:
  std::mutex m_mutex;
  std::shared_ptr<Question> m_pending;  // the question being asked, if any
};
