// The program copy: every file byte-equal with its mode, the copy's settings, failures.
#include <sys/stat.h>

#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

#include "config/CopyProgramDlg.h"
#include "config/ProgramCopy.h"
#include "platform/profile.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

namespace {

class CopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_ = {"trelvix", "Parvilo", "Setting.ini", "CtrlFile.ini", "alarm.wav", "AlarmData.dat"};
    for (const std::string& f : ProgramCopyList(src_.path())) {
      if (f.find('/') != std::string::npos) files_.push_back(f);
    }
    int n = 0;
    for (const std::string& f : files_) {
      const std::string path = src_ / f;
      std::filesystem::create_directories(std::filesystem::path(path).parent_path());
      TempDir::Write(path, f == "Setting.ini" ? "[Ovistra]\nServer Port=80\nRecord Path=/old/\n"
                                              : "content of " + f + std::string(static_cast<std::size_t>(n++ % 7), 'x'));
    }
    ::chmod((src_ / "trelvix").c_str(), 0755);
    ::chmod((src_ / "Parvilo").c_str(), 0750);
    ::chmod((src_ / "AlarmData.dat").c_str(), 0600);
  }
  // Runs the dialog until its copy ends (or `early` closes it first); answers the end code.
  int Run(CCopyProgramDlg& dlg, bool escFirst = false) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dlg, [&] {
      if (escFirst) {
        dlg.close();  // the close box
      } else if (dlg.Finished()) {
        dlg.Command(plat::IDOK);
      }
    });
    poll.start(escFirst ? 0 : 20);
    return dlg.DoModal();
  }
  static unsigned Mode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  TempDir src_{"copysrc"};
  TempDir dst_{"copydst"};
  std::vector<std::string> files_;
};

TEST_F(CopyTest, EveryFileWithItsModeAndTheCopysSettings) {
  MessageBoxRecorder boxes;
  CCopyProgramDlg dlg(nullptr, src_.path(), dst_.path());
  EXPECT_EQ(Run(dlg), plat::IDOK);
  EXPECT_EQ(dlg.FailedCount(), 0);
  EXPECT_EQ(dlg.PercentText(), "100%");
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_GT(files_.size(), 20u);
  for (const std::string& f : files_) {
    if (f == "Setting.ini") continue;
    EXPECT_EQ(TempDir::Read(dst_ / f), TempDir::Read(src_ / f)) << f;
    EXPECT_EQ(Mode(dst_ / f), Mode(src_ / f)) << f;
    EXPECT_FALSE(std::filesystem::exists(dst_ / f + ".tmp")) << f;
  }
  const std::string ini = dst_ / "Setting.ini";
  EXPECT_EQ(plat::GetPrivateProfileString("Ovistra", "Record Path", "", ini), dst_.Folder());
  EXPECT_EQ(plat::GetPrivateProfileString("Ovistra", "Snapshot Path", "", ini), dst_.Folder());
  EXPECT_EQ(plat::GetPrivateProfileString("Ovistra", "Trigger Wav Path", "", ini), dst_.Folder() + "alarm.wav");
  EXPECT_EQ(plat::GetPrivateProfileString("Ovistra", "Server Port", "", ini), "80");
}

TEST_F(CopyTest, MissingSourceIsReported) {
  std::remove((src_ / "alarm.wav").c_str());
  MessageBoxRecorder boxes;
  CCopyProgramDlg dlg(nullptr, src_.Folder(), dst_.Folder());
  Run(dlg);
  EXPECT_EQ(dlg.FailedCount(), 1);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"1 file could not be copied."});
  EXPECT_EQ(TempDir::Read(dst_ / "trelvix"), TempDir::Read(src_ / "trelvix"));
}

TEST_F(CopyTest, OntoItselfIsRefusedAndEscBeforeTheFirstTickCopiesNothing) {
  const std::string before = TempDir::Read(src_ / "Setting.ini");
  {
    MessageBoxRecorder boxes;
    CCopyProgramDlg dlg(nullptr, src_.path(), src_.Folder() + "./");
    Run(dlg);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"The program cannot be copied onto its own folder."});
    EXPECT_EQ(TempDir::Read(src_ / "Setting.ini"), before);
  }
  CCopyProgramDlg dlg(nullptr, src_.path(), dst_.path());
  EXPECT_EQ(Run(dlg, true), plat::IDCANCEL);
  EXPECT_FALSE(dlg.Started());
  EXPECT_TRUE(std::filesystem::is_empty(dst_.path()));
}

}  // namespace
