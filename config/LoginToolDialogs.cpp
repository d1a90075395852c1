#include "config/LoginToolDialogs.h"

#include <mutex>

#include "config/CopyProgramDlg.h"
#include "config/FileDialogs.h"
#include "platform/messages.h"

namespace {
std::mutex g_runnerMutex;
std::function<int()> g_firmwareRunner;
}  // namespace

int CLoginToolDialogs::RunFolderPicker(QWidget* parent, const std::string& startFolder, std::string& chosen) {
  return PickFolder(parent, startFolder, chosen);
}

int CLoginToolDialogs::RunCopyProgram(QWidget* parent, const std::string& source, const std::string& destination) {
  CCopyProgramDlg dialog(parent, source, destination);
  return dialog.DoModal();
}

int CLoginToolDialogs::RunUpgradeFirmware() {
  std::function<int()> runner;
  {
    std::lock_guard<std::mutex> lock(g_runnerMutex);
    runner = g_firmwareRunner;
  }
  if (!runner) {
    plat::MessageBox(0, "The firmware upgrade is not available in this version.");
    return 0;
  }
  return runner();
}

void CLoginToolDialogs::SetFirmwareUpgradeRunner(std::function<int()> runner) {
  std::lock_guard<std::mutex> lock(g_runnerMutex);
  g_firmwareRunner = std::move(runner);
}
