// Paths, bounded reads and atomic rewrites.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "tests/support/TempDir.h"

using namespace plat;

namespace {

class ProgramFolderOverride {
 public:
  explicit ProgramFolderOverride(const std::string& f) { SetProgramFolder(f); }
  ~ProgramFolderOverride() { SetProgramFolder(""); }
};

TEST(Files, ProgramFolderIsTheExecutablesFolder) {
  std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_TRUE(FileExists(folder + "platform_tests"));
  {
    ProgramFolderOverride o("/some/where");
    EXPECT_EQ(ProgramFolder(), "/some/where/");
  }
  EXPECT_EQ(ProgramFolder(), folder);
}

TEST(Files, MapPathResolvesCaseAndSeparators) {
  TempDir dir;
  std::filesystem::create_directories(dir / "bmp/Sub");
  TempDir::Write(dir / "bmp/Sub/x.BMP", "x");
  TempDir::Write(dir / "Setting.ini", "");
  ProgramFolderOverride o(dir.path());
  const std::string root = dir.path() + "/";
  struct Case {
    const char* in;
    std::string want;
  } cases[] = {
      {"BMP\\SUB\\X.bmp", root + "bmp/Sub/x.BMP"},
      {"bmp/Sub/x.BMP", root + "bmp/Sub/x.BMP"},
      {"setting.INI", root + "Setting.ini"},
      // Missing components keep their spelling, after the existing ones were resolved.
      {"BMP\\New\\File.bmp", root + "bmp/New/File.bmp"},
      {"Bmp\\sub\\", root + "bmp/Sub/"},
      {"", root},
  };
  for (const auto& c : cases) EXPECT_EQ(MapPath(c.in), c.want) << c.in;
  // Absolute paths are not moved under the program folder.
  EXPECT_EQ(MapPath(root + "BMP/sub/X.bmp"), root + "bmp/Sub/x.BMP");
  EXPECT_TRUE(FileExists(MapPath("BMP\\SUB\\X.BMP")));
}

TEST(Files, MapPathPrefersTheExactSpelling) {
  TempDir dir;
  TempDir::Write(dir / "a.txt", "1");
  TempDir::Write(dir / "A.txt", "2");
  ProgramFolderOverride o(dir.path());
  EXPECT_EQ(MapPath("A.txt"), dir / "A.txt");
  EXPECT_EQ(MapPath("a.txt"), dir / "a.txt");
  EXPECT_EQ(MapPath("a.TXT"), dir / "A.txt");  // the alphabetically first variant
}

TEST(Files, ExistsAndCreateDirectories) {
  TempDir dir;
  EXPECT_TRUE(DirectoryExists(dir.path()));
  EXPECT_FALSE(FileExists(dir.path()));
  EXPECT_TRUE(CreateDirectories(dir / "a/b/c"));
  EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
  EXPECT_TRUE(CreateDirectories(dir / "a/b/c"));  // already there
  TempDir::Write(dir / "f", "x");
  EXPECT_TRUE(FileExists(dir / "f"));
  EXPECT_FALSE(DirectoryExists(dir / "f"));
  EXPECT_FALSE(CreateDirectories(dir / "f/g"));  // a file is in the way
  EXPECT_FALSE(CreateDirectories(""));
}

TEST(Files, ReadWholeFileIsBounded) {
  TempDir dir;
  TempDir::Write(dir / "ten", "0123456789");
  std::vector<std::uint8_t> data;
  struct Case {
    std::size_t max;
    bool ok;
  } cases[] = {{10, true}, {11, true}, {9, false}, {0, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(ReadWholeFile(dir / "ten", data, c.max), c.ok) << c.max;
    EXPECT_EQ(data.size(), c.ok ? 10u : 0u) << c.max;
  }
  EXPECT_FALSE(ReadWholeFile(dir / "missing", data));
  EXPECT_FALSE(ReadWholeFile(dir.path(), data));
  TempDir::Write(dir / "empty", "");
  EXPECT_TRUE(ReadWholeFile(dir / "empty", data));
  EXPECT_TRUE(data.empty());
}

TEST(Files, WriteFileAtomicReplacesWholeAndKeepsOldOnFailure) {
  TempDir dir;
  const std::string f = dir / "data.bin";
  ASSERT_TRUE(WriteFileAtomic(f, "first", 5));
  EXPECT_EQ(TempDir::Read(f), "first");
  ::chmod(f.c_str(), 0600);
  ASSERT_TRUE(WriteFileAtomic(f, "second!", 7));
  EXPECT_EQ(TempDir::Read(f), "second!");
  struct stat st;
  ASSERT_EQ(::stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file keeps its permissions";
  EXPECT_FALSE(FileExists(f + ".tmp"));

  // The temporary cannot be made (a folder is in its place): the old file stays whole.
  std::filesystem::create_directories(f + ".tmp");
  EXPECT_FALSE(WriteFileAtomic(f, "third", 5));
  EXPECT_EQ(TempDir::Read(f), "second!");
  // Missing folder: nothing is created.
  EXPECT_FALSE(WriteFileAtomic(dir / "no/such/file", "x", 1));
  ASSERT_TRUE(WriteFileAtomic(dir / "empty", nullptr, 0));
  EXPECT_TRUE(FileExists(dir / "empty"));
}

TEST(Files, ConcurrentRewritesOfOneFileStayWhole) {
  TempDir dir;
  const std::string f = dir / "shared.dat";
  std::atomic<int> failures{0};
  std::vector<HANDLE> threads;
  for (char fill : {'a', 'b', 'c'}) {
    threads.push_back(CreateThread([&, fill]() -> DWORD {
      std::string body(64 * 1024, fill);
      for (int i = 0; i < 30; ++i)
        if (!WriteFileAtomic(f, body.data(), body.size())) ++failures;
      return 0;
    }));
  }
  ASSERT_EQ(WaitForMultipleObjects(3, threads.data(), TRUE_, 30000), WAIT_OBJECT_0);
  for (HANDLE h : threads) CloseHandle(h);
  EXPECT_EQ(failures.load(), 0);
  std::string text = TempDir::Read(f);
  ASSERT_EQ(text.size(), 64u * 1024);
  EXPECT_EQ(std::count(text.begin(), text.end(), text[0]), static_cast<long>(text.size()));
}

}  // namespace
