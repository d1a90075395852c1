// The disc-writing library itself, without hardware: the image recorder and file drives,
// driven through the disc writer, and the discs read back with xorriso.
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>

#include "tests/disc/disc_fixture.h"

namespace disctest {
namespace {

bool HaveXorriso() { return std::system("command -v xorriso >/dev/null 2>&1") == 0; }

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

std::string Extract(const std::string& image, const std::string& inner, const std::string& out) {
  std::filesystem::remove(out);
  Shell("xorriso -osirrox on -indev '" + image + "' -extract '/" + inner + "' '" + out + "'");
  return TempDir::Read(out);
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen());
  return s;
}

std::atomic<CWriteCD*> g_abortAt10{nullptr};
void AbortAtTenPercent(int code, int value) {
  Notifications::Callback(code, value);
  if (code == 1 && value >= 10) {
    if (CWriteCD* w = g_abortAt10.load()) w->m_byAbort = 1;
  }
}

class LibraryTest : public DiscTestBase {
 protected:
  void SetUp() override {
    DiscTestBase::SetUp();
    UseLibraryIn(DISCAPI_DIR);
    disc = dir / "disc.bin";
    UseFileDrive("700M");
    chooser.answer = dir / "out.iso";
  }
  void TearDown() override {
    if (writer) {
      writer->ExitDiscApi();  // every library allocation was given back: no leak message
      for (const std::string& t : boxes.Texts()) EXPECT_NE(t, "Detected memory leaks");
      writer.reset();
    }
    unsetenv("TRELVIX_DISC_FILES");
    DiscTestBase::TearDown();
  }
  void UseFileDrive(const std::string& capacity) { setenv("TRELVIX_DISC_FILES", (disc + ":" + capacity).c_str(), 1); }
  void SetupFile(const std::string& text, time_t mtime) {
    const std::string path = dir / kPlayerSetupFile;
    TempDir::Write(path, text);
    struct utimbuf times {mtime, mtime};
    utime(path.c_str(), &times);
  }
  int DriveStartingWith(const std::string& prefix) {
    for (int i = 0; i < writer->m_nDriveCount; ++i) {
      if (std::string(writer->m_lpDriveNames[i]).rfind(prefix, 0) == 0) return i;
    }
    return -1;
  }
  // The download page's steps: start the writer, take the dialog's choices, check, write.
  // Answers the check's result (the disc is written only when it passed).
  int Backup(const std::string& name, const std::string& bytes, const std::string& drivePrefix,
             WriteCDNotify notify = &Notifications::Callback) {
    const std::string source = dir / ("download-" + name);
    TempDir::Write(source, bytes);
    if (!writer->InitDiscApi(source, notify)) return -1;
    writer->m_nSelectedDrive = DriveStartingWith(drivePrefix);
    writer->m_strFileName = dir.Folder() + name;
    writer->m_dwFileSize = static_cast<std::uint32_t>(bytes.size());
    if (!writer->CheckDiscAndFile()) return 0;
    EXPECT_EQ(writer->WriteCD(), 1);
    return 1;
  }
  std::string Boxes() const {
    std::string all;
    for (const std::string& t : boxes.Texts()) all += t + "|";
    return all;
  }

  std::unique_ptr<CWriteCD> writer = std::make_unique<CWriteCD>(&settings);
  std::string disc;
};

TEST_F(LibraryTest, ImageRecorderWritesTheBackupAndTheSetupFile) {
  if (!HaveXorriso()) GTEST_SKIP() << "xorriso is not installed";
  const std::string backup = RandomBytes(3 * 1000 * 1000 + 17, 1);
  SetupFile("setup program", 1600000000);
  settings.m_nWriteCDAddPlayer = 1;
  ASSERT_EQ(Backup("CH01_0001.dvr", backup, "Image Recorder"), 1) << Boxes();
  EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
  const std::string image = dir / "out.iso";
  EXPECT_NE(Shell("xorriso -indev '" + image + "' -pvd_info").find("Volume Id    : OvistraBackup"), std::string::npos);
  EXPECT_TRUE(Extract(image, "CH01_0001.dvr", dir / "x1") == backup);
  EXPECT_EQ(Extract(image, kPlayerSetupFile, dir / "x2"), "setup program");
  EXPECT_FALSE(std::filesystem::exists(image + ".part"));
  const auto notes = Notifications::Instance().Take();
  ASSERT_GE(notes.size(), 3u);
  EXPECT_EQ(notes.front(), std::make_pair(0, 0));
  EXPECT_EQ(notes[notes.size() - 2], std::make_pair(1, 100));
  EXPECT_EQ(notes.back(), std::make_pair(2, 0));
}

TEST_F(LibraryTest, FileDriveTakesTwoBackupsAsTwoSessions) {
  if (!HaveXorriso()) GTEST_SKIP() << "xorriso is not installed";
  const std::string first = RandomBytes(1500 * 1000, 2), second = RandomBytes(700 * 1000 + 5, 3);
  ASSERT_EQ(Backup("CH01_0001.dvr", first, "File Drive"), 1) << Boxes();
  ASSERT_EQ(Backup("CH02_0001.dvr", second, "File Drive"), 1) << Boxes();
  EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
  const std::string toc = Shell("xorriso -indev '" + disc + "' -toc");
  EXPECT_NE(toc.find("ISO session  :   1 ,        32 ,"), std::string::npos) << toc;
  EXPECT_NE(toc.find("ISO session  :   2 ,"), std::string::npos) << toc;
  EXPECT_TRUE(Extract(disc, "CH01_0001.dvr", dir / "x1") == first);
  EXPECT_TRUE(Extract(disc, "CH02_0001.dvr", dir / "x2") == second);
}

TEST_F(LibraryTest, RefusalsOfAFileDrive) {
  ASSERT_EQ(Backup("CH01_0001.dvr", "first", "File Drive"), 1) << Boxes();
  // The same name again (in another case).
  EXPECT_EQ(Backup("ch01_0001.DVR", "again", "File Drive"), 0);
  EXPECT_EQ(boxes.Texts().back(), "FileName is tha same as other existed file,please modify it");
  // More than the disc holds.
  UseFileDrive("1M");
  EXPECT_EQ(Backup("CH03_0001.dvr", std::string(2 * 1024 * 1024, 'x'), "File Drive"), 0);
  EXPECT_EQ(boxes.Texts().back(), "No available space for writing CD.");
  UseFileDrive("700M");
  // A closed disc takes nothing more.
  writer->m_fCloseDisc = 1;
  ASSERT_EQ(Backup("CH04_0001.dvr", "last", "File Drive"), 1) << Boxes();
  writer->m_fCloseDisc = 0;
  EXPECT_EQ(Backup("CH05_0001.dvr", "more", "File Drive"), 0);
  EXPECT_EQ(boxes.Texts().back(), "Disc is non writable");
}

TEST_F(LibraryTest, SetupFileReplacedOnlyByANewerOne) {
  if (!HaveXorriso()) GTEST_SKIP() << "xorriso is not installed";
  settings.m_nWriteCDAddPlayer = 1;
  const time_t t = 1600000000;
  SetupFile("version 1", t);
  ASSERT_EQ(Backup("CH01_0001.dvr", "a", "File Drive"), 1) << Boxes();
  SetupFile("version 0", t - 1000);
  ASSERT_EQ(Backup("CH02_0001.dvr", "b", "File Drive"), 1) << Boxes();
  EXPECT_EQ(Extract(disc, kPlayerSetupFile, dir / "s"), "version 1");
  SetupFile("version 2", t + 1000);
  ASSERT_EQ(Backup("CH03_0001.dvr", "c", "File Drive"), 1) << Boxes();
  EXPECT_EQ(Extract(disc, kPlayerSetupFile, dir / "s"), "version 2");
  // Every backup is still there.
  EXPECT_EQ(Extract(disc, "CH01_0001.dvr", dir / "x"), "a");
  EXPECT_EQ(Extract(disc, "CH02_0001.dvr", dir / "x"), "b");
  EXPECT_TRUE(boxes.Texts().empty()) << Boxes();
}

TEST_F(LibraryTest, AbortMidBurnKeepsTheDiscAndLeavesNoImage) {
  const std::string first = RandomBytes(200 * 1000, 4);
  ASSERT_EQ(Backup("CH01_0001.dvr", first, "File Drive"), 1) << Boxes();
  const auto sizeBefore = std::filesystem::file_size(disc);
  g_abortAt10 = writer.get();
  ASSERT_EQ(Backup("CH02_0001.dvr", RandomBytes(24 * 1000 * 1000, 5), "File Drive", &AbortAtTenPercent), 1);
  EXPECT_EQ(boxes.Texts().back(), "Write CD Error : user aborted");
  EXPECT_EQ(std::filesystem::file_size(disc), sizeBefore);
  if (HaveXorriso()) {
    EXPECT_NE(Shell("xorriso -indev '" + disc + "' -toc").find("Media summary: 1 session,"), std::string::npos);
    EXPECT_TRUE(Extract(disc, "CH01_0001.dvr", dir / "x") == first);
  }
  ASSERT_EQ(Backup("CH03_0001.dvr", RandomBytes(24 * 1000 * 1000, 6), "Image Recorder", &AbortAtTenPercent), 1);
  g_abortAt10 = nullptr;
  EXPECT_EQ(boxes.Texts().back(), "Write CD Error : user aborted");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.iso"));
  EXPECT_FALSE(std::filesystem::exists(dir / "out.iso.part"));
  // Cancelling the image file's dialog ends the burn the same way.
  chooser.answer.clear();
  ASSERT_EQ(Backup("CH04_0001.dvr", "x", "Image Recorder"), 1);
  EXPECT_EQ(boxes.Texts().back(), "Write CD Error : user aborted");
}

TEST_F(LibraryTest, ImportErrorsAndDrivesOfTheLibrary) {
  ASSERT_EQ(writer->InitDiscApi(dir / "x.dvr", &Notifications::Callback), 1);
  ASSERT_EQ(writer->m_nDriveCount >= 2, true);
  EXPECT_STREQ(writer->m_lpDriveNames[0], "Image Recorder");
  const int fileDrive = DriveStartingWith("File Drive disc.bin");
  ASSERT_GE(fileDrive, 0);
  DiscDevice* d = dapi::DiscOpenDevice(DISC_DRIVE_AT(writer->m_lpDriveList, fileDrive));
  ASSERT_NE(d, nullptr);
  DiscCDInfo* info = dapi::DiscGetCDInfo(d, 0);  // no file yet: a blank disc
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->media_mask, DISC_MEDIA_CD);
  EXPECT_EQ(info->track_count, 0u);
  EXPECT_EQ(info->free_blocks, 700u * 512 - 32);
  dapi::DiscFreeMem(info);
  DiscCDStamp* stamp = nullptr;
  int error = 0;
  EXPECT_EQ(dapi::DiscImportDataTrack(d, 0, &stamp, nullptr, 0, &error, nullptr), nullptr);
  EXPECT_EQ(error, DISC_IMPORT_INVALID_TRACK);
  EXPECT_EQ(stamp, nullptr);
  // Damaged data where a session should be: no session.
  TempDir::Write(disc, std::string(64 * 2048, '\x01'));
  info = dapi::DiscGetCDInfo(d, 0);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->track_count, 0u);
  dapi::DiscFreeMem(info);
  dapi::DiscCloseDevice(d);
  // Bad arguments.
  EXPECT_EQ(dapi::DiscCreateIsoTrackEx(nullptr, "v", 0x80), nullptr);
  EXPECT_EQ(dapi::DiscBurn(nullptr, 0, nullptr, 4, 0, nullptr), DISC_BURN_INVALID_DRIVE);
}

}  // namespace
}  // namespace disctest
