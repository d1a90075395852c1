// The "Alarm List" page in a temporary program folder.
#include <sys/stat.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <gtest/gtest.h>

#include "config/AlarmDataPage.h"
#include "core/SystemConfig.h"
#include "engine/AppRecord.h"
#include "platform/files.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace {

class AlarmListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = std::make_unique<AppRecord>();
    g_lpApp = app_.get();
    app_->CSettingINI.m_strProgramPath.Set(dir_.Folder());
    plat::SetProgramFolder(dir_.Folder());
    file_ = dir_ / "AlarmData.dat";
  }
  void TearDown() override { g_lpApp = nullptr; }
  // A list of `n` recordings rec0.ovr ... (those in `missing` not on disk).
  void MakeList(int n, std::vector<int> missing = {}) {
    std::vector<AlarmDBItem> items;
    for (int i = 0; i < n; ++i) {
      AlarmDBItem it;
      it.wIndex = static_cast<plat::WORD>(i);
      const std::string path = dir_ / ("rec" + std::to_string(i) + ".ovr");
      CopyAlarmDBText(it.szFileName, sizeof it.szFileName, path);
      CopyAlarmDBText(it.szServerIP, sizeof it.szServerIP, "10.0.0." + std::to_string(i + 1));
      const plat::WORD t[8] = {2026, 3, 0, 9, 14, 5, static_cast<plat::WORD>(i), 0};
      std::memcpy(it.stStartTime, t, sizeof t);
      it.dwFrames = static_cast<plat::DWORD>(100 + i);
      items.push_back(it);
      if (std::find(missing.begin(), missing.end(), i) == missing.end()) TempDir::Write(path, "ovr");
    }
    const auto image = BuildAlarmDB(items);
    TempDir::Write(file_, std::string(image.begin(), image.end()));
  }
  std::vector<std::string> Numbers(const AlarmDataPage& page) const {
    std::vector<std::string> out;
    for (int r = 0; r < page.List()->GetItemCount(); ++r) {
      out.push_back(page.List()->GetItemText(r, 0).toStdString() + ":" + page.List()->GetItemText(r, 1).toStdString());
    }
    return out;
  }
  int Count() const {
    const std::string bytes = TempDir::Read(file_);
    return bytes.size() >= 4 ? static_cast<unsigned char>(bytes[2]) | static_cast<unsigned char>(bytes[3]) << 8 : -1;
  }
  TempDir dir_{"alarmlist"};
  std::unique_ptr<AppRecord> app_;
  std::string file_;
  QWidget host_;
};

TEST_F(AlarmListTest, MissingFileIsCreatedEmpty) {
  AlarmDataPage page;
  page.CreatePage(&host_);
  EXPECT_EQ(page.List()->GetItemCount(), 0);
  EXPECT_EQ(TempDir::Read(file_), std::string("\x87\x99\0\0", 4));
  EXPECT_EQ(page.List()->columnCount(), 4);
}

TEST_F(AlarmListTest, RowsPathsAndAMissingRecording) {
  MakeList(3, {1});
  AlarmDataPage page;
  page.CreatePage(&host_);
  EXPECT_EQ(Numbers(page), (std::vector<std::string>{"1:10.0.0.1", "2:10.0.0.2", "3:10.0.0.3"}));
  EXPECT_EQ(page.List()->GetItemText(2, 2).toStdString(), "2026.03.09 14:05:02");
  EXPECT_EQ(page.List()->GetItemText(2, 3).toStdString(), "102");
  EXPECT_EQ(page.m_strPathText, dir_ / "rec0.ovr");
  page.List()->SelectRow(1);
  page.OnClickList();
  EXPECT_EQ(page.m_strPathText, dir_ / "rec1.ovr" + " (File not found)");
  MessageBoxRecorder boxes;
  page.OnPlay();  // a missing recording never starts the player
  EXPECT_TRUE(boxes.Texts().empty());
  // A read-only recording counts as found.
  ::chmod((dir_ / "rec2.ovr").c_str(), 0444);
  page.List()->SelectRow(2);
  page.OnClickList();
  EXPECT_EQ(page.m_strPathText, dir_ / "rec2.ovr");
}

TEST_F(AlarmListTest, DeleteKeepsTheRowOrGoesToTheFirst) {
  struct Case {
    int row;     // 0-based row deleted out of 5
    int select;  // row selected afterwards
  } cases[] = {{1, 1}, {3, 0}, {4, 0}, {0, 0}};
  for (const Case& c : cases) {
    MakeList(5);
    AlarmDataPage page;
    page.CreatePage(&host_);
    page.List()->SelectRow(c.row);
    page.OnDelete();
    EXPECT_EQ(page.List()->GetItemCount(), 4) << c.row;
    EXPECT_EQ(page.List()->GetSelectedRow(), c.select) << c.row;
    EXPECT_EQ(Count(), 4);
    // The rows come from the file again and are numbered from 1.
    EXPECT_EQ(page.List()->GetItemText(0, 0).toStdString(), "1");
    const std::string gone = "10.0.0." + std::to_string(c.row + 1);
    for (int r = 0; r < 4; ++r) EXPECT_NE(page.List()->GetItemText(r, 1).toStdString(), gone);
  }
}

TEST_F(AlarmListTest, MessagesClearAllAndNewEntries) {
  MessageBoxRecorder boxes;
  AlarmDataPage page;
  page.CreatePage(&host_);
  page.OnDelete();
  MakeList(2);
  page.OnRefresh();
  page.List()->SelectRow(-1);
  page.OnDelete();
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"No item could be deleted",
                                                     "You should select a account before press delete button"}));
  // An entry the alarm recorder adds while the page is open appears after Refresh.
  g_SystemConfig.AlarmDB_SetFileName(dir_ / "rec9.ovr");
  ASSERT_EQ(g_SystemConfig.AlarmDB_AddItem(9, "10.0.0.9"), 1);
  EXPECT_EQ(page.List()->GetItemCount(), 2);
  page.OnRefresh();
  EXPECT_EQ(page.List()->GetItemCount(), 3);
  page.OnClearAll();
  EXPECT_EQ(page.List()->GetItemCount(), 0);
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(page.m_strPathText, "");
}

TEST_F(AlarmListTest, BadFilesAreSetAside) {
  const std::string bad[] = {std::string("\x87", 1), std::string("\x12\x34\x01\x00", 4)};
  for (const std::string& bytes : bad) {
    TempDir::Write(file_, bytes);
    MessageBoxRecorder boxes;
    AlarmDataPage page;
    page.CreatePage(&host_);
    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(TempDir::Read(file_ + ".bad"), bytes);
    EXPECT_EQ(TempDir::Read(file_), std::string("\x87\x99\0\0", 4));
    EXPECT_EQ(page.List()->GetItemCount(), 0);
  }
}

TEST_F(AlarmListTest, PlaySpawnsThePlayerWithThePathAsOneArgument) {
  // A stub player that writes its arguments, one per line.
  const std::string out = dir_ / "args.txt";
  TempDir::Write(dir_ / "Parvilo", "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + out + "'\n");
  ::chmod((dir_ / "Parvilo").c_str(), 0755);
  ::mkdir((dir_ / "with blanks").c_str(), 0755);
  std::vector<AlarmDBItem> items(1);
  const std::string path = dir_ / "with blanks/ALARM MJPEG 1.ovr";
  CopyAlarmDBText(items[0].szFileName, sizeof items[0].szFileName, path);
  TempDir::Write(path, "ovr");
  const auto image = BuildAlarmDB(items);
  TempDir::Write(file_, std::string(image.begin(), image.end()));
  AlarmDataPage page;
  page.CreatePage(&host_);
  page.OnPlay();
  ASSERT_TRUE(WaitUntil([&] { return TempDir::Read(out).size() == path.size() + 1; }));
  EXPECT_EQ(TempDir::Read(out), path + "\n");
  // Without a player the operator is told.
  std::remove((dir_ / "Parvilo").c_str());
  MessageBoxRecorder boxes;
  page.OnPlay();
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Execuate player is failed"});
}

}  // namespace
