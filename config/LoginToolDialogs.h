// The login window's tool dialogs as the configuration windows provide them: the folder
// picker, the program copy and (once registered) the firmware upgrade.
#pragma once
#include <functional>

#include "connect/LoginTools.h"

class CLoginToolDialogs : public ILoginToolDialogs {
 public:
  int RunFolderPicker(QWidget* parent, const std::string& startFolder, std::string& chosen) override;
  int RunCopyProgram(QWidget* parent, const std::string& source, const std::string& destination) override;
  // The registered firmware dialog; without one, a message says it is not available.
  int RunUpgradeFirmware() override;

  static void SetFirmwareUpgradeRunner(std::function<int()> runner);
};
