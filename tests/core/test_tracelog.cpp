#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "tests/support/TempDir.h"
#include "core/TraceLog.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(text.substr(pos) + "<no CRLF>");
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

std::string NumberedLines(int from, int count) {
  std::string s;
  for (int i = from; i < from + count; ++i) s += "line " + std::to_string(i) + "\r\n";
  return s;
}

class TraceLogTest : public ::testing::Test {
 protected:
  void TearDown() override { TraceLog_Close(); }
  std::string LogPath() const { return dir.Folder() + "trace.log"; }
  TempDir dir;
};

TEST_F(TraceLogTest, FirstAppendCreatesTheFile) {
  TraceLog_Init(300, dir.Folder());
  TraceLog_Append("Got start event");
  EXPECT_EQ(TempDir::Read(LogPath()), "Got start event\r\n");
}

TEST_F(TraceLogTest, FolderWithoutSeparator) {
  std::string folder = dir.Folder();
  folder.pop_back();
  TraceLog_Init(300, folder);
  TraceLog_Append("login success");
  EXPECT_EQ(TempDir::Read(LogPath()), "login success\r\n");
}

TEST_F(TraceLogTest, RollsAtTheLimit) {
  struct Case {
    int existing;  // lines already in the file
    int expectFirst;
    int expectCount;
  };
  // With 299 lines the first stays; at 300 one line goes; a file already over the limit
  // is brought back to the limit with the first append.
  const Case cases[] = {{0, -1, 1}, {299, 0, 300}, {300, 1, 300}, {450, 151, 300}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.existing);
    TempDir::Write(LogPath(), NumberedLines(0, c.existing));
    TraceLog_Init(300, dir.Folder());
    TraceLog_Append("new");
    const auto lines = Lines(TempDir::Read(LogPath()));
    ASSERT_EQ(static_cast<int>(lines.size()), c.expectCount);
    EXPECT_EQ(lines.back(), "new");
    if (c.expectFirst >= 0) {
      EXPECT_EQ(lines.front(), "line " + std::to_string(c.expectFirst));
    }
  }
}

// Below the limit a line is appended to the file in place (same file, no rewrite); only
// reaching the limit replaces it.
TEST_F(TraceLogTest, AppendsInPlaceUntilTheLimit) {
  auto inode = [&] {
    struct stat st {};
    return ::stat(LogPath().c_str(), &st) == 0 ? st.st_ino : ino_t{0};
  };
  TempDir::Write(LogPath(), "a\r\nb\r\n");
  const ino_t first = inode();
  TraceLog_Init(4, dir.Folder());
  TraceLog_Append("c");
  TraceLog_Append("d");
  EXPECT_EQ(inode(), first);
  EXPECT_EQ(TempDir::Read(LogPath()), "a\r\nb\r\nc\r\nd\r\n");
  TraceLog_Append("e");
  EXPECT_EQ(TempDir::Read(LogPath()), "b\r\nc\r\nd\r\ne\r\n");
  // A last line without its end is ended before anything is added behind it.
  TempDir::Write(LogPath(), "x\r\ny");
  TraceLog_Init(4, dir.Folder());
  TraceLog_Append("z");
  EXPECT_EQ(TempDir::Read(LogPath()), "x\r\ny\r\nz\r\n");
  TraceLog_Append("w");
  EXPECT_EQ(TempDir::Read(LogPath()), "x\r\ny\r\nz\r\nw\r\n");
}

TEST_F(TraceLogTest, ShorterLineLeavesNoRemains) {
  TempDir::Write(LogPath(), "a very long first line that is dropped now\r\nb\r\nc\r\n");
  TraceLog_Init(3, dir.Folder());
  TraceLog_Append("d");
  EXPECT_EQ(TempDir::Read(LogPath()), "b\r\nc\r\nd\r\n");
  // Line breaks inside an entry cannot split it.
  TraceLog_Append("e\r\nf");
  EXPECT_EQ(TempDir::Read(LogPath()), "c\r\nd\r\ne  f\r\n");
}

TEST_F(TraceLogTest, TwoWritersProduceWholeLines) {
  // Below the limit every line stays; at a small limit the file rolls all the time while
  // both write, and what is left is the newest lines, whole and in each writer's order.
  constexpr int kPerThread = 150;
  for (int limit : {1000, 40}) {
    SCOPED_TRACE(limit);
    std::remove(LogPath().c_str());
    TraceLog_Init(limit, dir.Folder());
    auto writer = [](char tag) {
      for (int i = 0; i < kPerThread; ++i) TraceLog_Append(std::string(1, tag) + " step " + std::to_string(i));
    };
    std::thread a(writer, 'A'), b(writer, 'B');
    a.join();
    b.join();
    const auto lines = Lines(TempDir::Read(LogPath()));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(std::min(limit, 2 * kPerThread)));
    const std::regex shape("[AB] step [0-9]+");
    std::set<std::string> unique;
    int next[2] = {-1, -1};
    for (const auto& l : lines) {
      ASSERT_TRUE(std::regex_match(l, shape)) << l;
      unique.insert(l);
      // Each writer's lines are a run of its newest lines, in order.
      int& n = next[l[0] == 'A' ? 0 : 1];
      const int step = std::stoi(l.substr(7));
      if (n >= 0) {
        EXPECT_EQ(step, n) << l;
      } else if (limit > 2 * kPerThread) {
        EXPECT_EQ(step, 0) << l;
      }
      n = step + 1;
    }
    for (int n : next) {
      if (n >= 0) {
        EXPECT_EQ(n, kPerThread);
      }
    }
    EXPECT_EQ(unique.size(), lines.size());
  }
}

TEST_F(TraceLogTest, UnwritableLogNeverFailsTheCaller) {
  TraceLog_Init(300, dir.Folder() + "missing/folder/");
  TraceLog_Append("dropped");  // nothing to assert but that it returns
  EXPECT_FALSE(plat::FileExists(dir.Folder() + "missing/folder/trace.log"));

  // A log that exists but cannot be read is left as it is.
  TempDir::Write(LogPath(), "kept\r\n");
  ::chmod(LogPath().c_str(), 0);
  TraceLog_Init(300, dir.Folder());
  TraceLog_Append("x");
  ::chmod(LogPath().c_str(), 0644);
  if (::geteuid() != 0) {
    EXPECT_EQ(TempDir::Read(LogPath()), "kept\r\n");
  }

  // Before Init and after Close nothing is written.
  TraceLog_Close();
  TraceLog_Append("after close");
  EXPECT_EQ(TempDir::Read(LogPath()).find("after close"), std::string::npos);
}

TEST_F(TraceLogTest, DebugTraceLogIsCreatedEmpty) {
  TempDir::Write(dir.Folder() + "DebugTrace.log", "old content");
  {
    CDebugTraceLog log;
    EXPECT_EQ(log.m_hFile, -1);
    EXPECT_EQ(log.m_dwLineCount, 0u);
    EXPECT_EQ(log.Open(dir.Folder()), 1);
    EXPECT_NE(log.m_hGuardEvent, 0u);
    EXPECT_EQ(TempDir::Read(dir.Folder() + "DebugTrace.log"), "");
    EXPECT_EQ(log.Open(dir.Folder()), 1);  // a second open keeps the open file
  }
  EXPECT_TRUE(plat::FileExists(dir.Folder() + "DebugTrace.log"));
  CDebugTraceLog bad;
  EXPECT_EQ(bad.Open(dir.Folder() + "no/such/dir"), 0);
}

}  // namespace
