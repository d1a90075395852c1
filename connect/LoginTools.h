// What the login window needs of the configuration folder's dialogs: the folder picker,
// the program copier and the firmware upgrade. The configuration windows register an
// implementation at start-up; without one those buttons do nothing further.
#pragma once
#include <string>

class QWidget;

class ILoginToolDialogs {
 public:
  virtual ~ILoginToolDialogs() = default;
  // The folder picker, opened at `startFolder`: answers 1 with the chosen folder, else any
  // other value.
  virtual int RunFolderPicker(QWidget* parent, const std::string& startFolder, std::string& chosen) = 0;
  // Copies the program from `source` (the program folder) to `destination`.
  virtual int RunCopyProgram(QWidget* parent, const std::string& source, const std::string& destination) = 0;
  // The firmware-upgrade dialog (a session exists when it is opened).
  virtual int RunUpgradeFirmware() = 0;
};

void SetLoginToolDialogs(ILoginToolDialogs* dialogs);
ILoginToolDialogs* GetLoginToolDialogs();
