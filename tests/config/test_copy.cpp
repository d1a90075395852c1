// The program copy: every file byte-equal with its mode, the copy's settings, failures.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#include "config/CopyProgramDlg.h"
#include "config/ProgramCopy.h"
#include "data/skin/Skin.h"
#include "platform/profile.h"
#include "session/DeviceTypes.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace {

// Runs the dialog until its copy ends (or closes it with the close box before its first
// tick); answers the end code.
int RunCopyDialog(CCopyProgramDlg& dlg, bool escFirst) {
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

unsigned FileMode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class CopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_ = {"trelvix",     "Parvilo",    "libdiscapi.so",       "Setting.ini",
              "CtrlFile.ini", "alarm.wav", "AlarmData.dat",       "BMP/PathPicker.bmp",
              "BMP/cut8.BMP", "BMP/LOGIN/login_0.bmp", "BMP/CMOS/cmos_key.bmp", "BMP/keys/deeper/ch1_dis.bmp"};
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
  int Run(CCopyProgramDlg& dlg, bool escFirst = false) { return RunCopyDialog(dlg, escFirst); }
  static unsigned Mode(const std::string& path) { return FileMode(path); }
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

// A copy of the build's own program folder, made by the dialog.
class RealCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageBoxRecorder boxes;
    CCopyProgramDlg dlg(nullptr, bin_, dst_.path());
    ASSERT_EQ(RunCopyDialog(dlg, false), plat::IDOK);
    ASSERT_EQ(dlg.FailedCount(), 0);
    ASSERT_TRUE(boxes.Texts().empty());
  }
  const std::string bin_ = TRELVIX_BIN_DIR;
  TempDir dst_{"copyreal"};
};

// Every file the program loads is in the copy: the program, the disc library it opens, the
// control file, the sound, the whole picture tree, and every picture the skin table and the
// device types' panel keys name.
TEST_F(RealCopyTest, TheCopyHoldsEveryFileTheProgramLoads) {
  for (const char* name : {"trelvix", "libdiscapi.so", "CtrlFile.ini", "alarm.wav"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(std::filesystem::exists(bin_ + "/" + name));
    EXPECT_EQ(TempDir::Read(dst_ / name), TempDir::Read(bin_ + "/" + name));
    EXPECT_EQ(FileMode(dst_ / name), FileMode(bin_ + "/" + name));
  }
  EXPECT_FALSE(std::filesystem::exists(dst_ / "fake-recorder"));  // not part of the program

  namespace fs = std::filesystem;
  const fs::path pictures = fs::path(bin_) / "BMP";
  std::vector<std::string> missing;
  for (const auto& e : fs::recursive_directory_iterator(pictures)) {
    if (!e.is_regular_file()) continue;
    const std::string relative = "BMP/" + e.path().lexically_relative(pictures).generic_string();
    if (TempDir::Read(dst_ / relative) != TempDir::Read(e.path().string())) missing.push_back(relative);
  }
  const auto named = [&](const char* path) {
    if (path == nullptr || *path == 0) return;
    std::string relative = path;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    if (!fs::is_regular_file(dst_ / relative)) missing.push_back(relative);
  };
  for (const skin::Entry& e : skin::kEntries) named(e.path);
  for (int type = 0; type < kDeviceTypeCount; ++type) {
    for (int key = 0; key < kPanelKeyCount; ++key) {
      for (int mode = 0; mode < kKeyLayoutModes; ++mode) {
        for (int slot = 0; slot < 4; ++slot) named(KeyPicture(type, key, mode, slot));
      }
    }
  }
  EXPECT_TRUE(missing.empty()) << missing.size() << " missing, the first " << missing.front();

  const std::string ini = dst_ / "Setting.ini";
  EXPECT_EQ(plat::GetPrivateProfileString("Ovistra", "Record Path", "", ini), dst_.Folder());
  EXPECT_EQ(plat::GetPrivateProfileString("Ovistra", "Trigger Wav Path", "", ini), dst_.Folder() + "alarm.wav");
}

// The copied program starts offscreen from its new folder (its trace log appears there, which
// the start-up writes after the control file and the settings were read) and a SIGTERM ends
// it through its own shut-down with exit code 0.
TEST_F(RealCopyTest, TheCopiedProgramStartsFromItsFolderAndEndsOnSigterm) {
  // The environment of the test, with the display, the key store, the sound and the home
  // folder of the copy's own.
  const std::vector<std::string> own = {"QT_QPA_PLATFORM=offscreen", "TRELVIX_REGISTRY_FILE=" + dst_ / "registry.ini",
                                        "TRELVIX_WAVE=null", "HOME=" + dst_.path(), "XDG_CONFIG_HOME=" + dst_.path()};
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const auto replaced = [&](const std::string& o) { return entry.rfind(o.substr(0, o.find('=') + 1), 0) == 0; };
    if (std::none_of(own.begin(), own.end(), replaced)) env.push_back(entry);
  }
  env.insert(env.end(), own.begin(), own.end());
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = dst_ / "trelvix";
  char* argv[] = {program.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);

  int status = 0;
  bool ended = false;
  const auto reap = [&] {
    if (!ended && ::waitpid(pid, &status, WNOHANG) == pid) ended = true;
    return ended;
  };
  const std::string trace = dst_ / "trace.log";
  const bool started = WaitUntil([&] { return reap() || !TempDir::Read(trace).empty(); }, 60000);
  EXPECT_TRUE(started && !ended) << "the copied program did not start (status " << status << ")";
  if (!ended) ::kill(pid, SIGTERM);
  if (!WaitUntil(reap, 60000)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "the copied program did not end on SIGTERM";
  }
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
  EXPECT_TRUE(std::filesystem::exists(dst_ / "DebugTrace.log"));
}

}  // namespace
