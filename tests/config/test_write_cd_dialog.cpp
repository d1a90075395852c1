// The "Write CD Setting" dialog and the disc writer's progress on the sheet's bar.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstring>
#include <atomic>
#include <mutex>
#include <thread>
#include <gtest/gtest.h>

#include "config/SheetProgress.h"
#include "config/WriteCDSettingDlg.h"
#include "core/SettingINI.h"
#include "tests/support/TempDir.h"
#include "tests/support/QtWait.h"

namespace {

class WriteCDDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.m_strProgramPath = dir.Folder();
    std::strcpy(names[0], "Image Recorder");
    std::strcpy(names[1], "File Drive disc.bin");
  }
  TempDir dir{"writecd"};
  CSettingINI settings;
  CWriteCD writer{&settings};
  char names[2][256] = {};
};

TEST_F(WriteCDDialogTest, ShowsTheChoicesAndCancelWritingEndsWithTwo) {
  settings.m_nWriteCDClose = 1;
  settings.m_nWriteCDAddPlayer = 1;
  CWriteCDSettingDlg dlg(nullptr, &writer);
  ASSERT_EQ(dlg.Prepare("/backups/CH01_0001.dvr", names, 2, kMediaCD, 5000), 1);
  EXPECT_EQ(writer.m_dwFileSize, 5000u);
  EXPECT_EQ(dlg.m_strFolder, "/backups/");
  QTimer::singleShot(0, &dlg, [&] {
    auto* combo = dlg.Item<QComboBox>(CWriteCDSettingDlg::kDriveId);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->itemText(1), "File Drive disc.bin");
    EXPECT_EQ(dlg.GetDlgItemText(CWriteCDSettingDlg::kSourceFileId), "/backups/CH01_0001.dvr");
    EXPECT_EQ(dlg.GetDlgItemText(CWriteCDSettingDlg::kFileNameId), "CH01_0001.dvr");
    EXPECT_TRUE(dlg.Item<QCheckBox>(CWriteCDSettingDlg::kCloseDiscId)->isChecked());
    EXPECT_TRUE(dlg.Item<QPushButton>(CWriteCDSettingDlg::kCdId)->isChecked());
    EXPECT_FALSE(dlg.Item<QPushButton>(CWriteCDSettingDlg::kDvdId)->isChecked());
    // "Append Player " starts off (the setting too); no setup file here: nothing to append.
    auto* player = dlg.Item<QCheckBox>(CWriteCDSettingDlg::kAppendPlayerId);
    EXPECT_FALSE(player->isChecked());
    EXPECT_FALSE(player->isEnabled());
    EXPECT_EQ(settings.m_nWriteCDAddPlayer.load(), 0);
    // The operator's changes.
    dlg.Item<QPushButton>(CWriteCDSettingDlg::kDvdId)->click();
    EXPECT_EQ(dlg.m_nDiscKind, kMediaDVD);
    EXPECT_TRUE(dlg.Item<QPushButton>(CWriteCDSettingDlg::kDvdId)->isChecked());
    EXPECT_FALSE(dlg.Item<QPushButton>(CWriteCDSettingDlg::kCdId)->isChecked());
    dlg.Item<QCheckBox>(CWriteCDSettingDlg::kCloseDiscId)->click();
    EXPECT_EQ(settings.m_nWriteCDClose.load(), 0);
    combo->setCurrentIndex(1);
    EXPECT_EQ(dlg.m_nSelectedDrive, 1);
    dlg.Item<QPushButton>(CWriteCDSettingDlg::kCancelWritingId)->click();
  });
  EXPECT_EQ(dlg.DoModal(), CWriteCDSettingDlg::kCancelWriting);
}

TEST_F(WriteCDDialogTest, OkHandsTheChoicesToTheWriter) {
  TempDir::Write(dir / kPlayerSetupFile, "setup");
  CWriteCDSettingDlg dlg(nullptr, &writer);
  ASSERT_EQ(dlg.Prepare("/backups/CH01_0001.dvr", names, 2, kMediaDVD, 1), 1);
  QTimer::singleShot(0, &dlg, [&] {
    EXPECT_TRUE(dlg.Item<QPushButton>(CWriteCDSettingDlg::kDvdId)->isChecked());
    auto* player = dlg.Item<QCheckBox>(CWriteCDSettingDlg::kAppendPlayerId);
    ASSERT_TRUE(player->isEnabled());
    player->click();
    EXPECT_EQ(settings.m_nWriteCDAddPlayer.load(), 1);
    dlg.Item<QCheckBox>(CWriteCDSettingDlg::kCloseDiscId)->click();
    dlg.Item<QComboBox>(CWriteCDSettingDlg::kDriveId)->setCurrentIndex(1);
    dlg.Item<QLineEdit>(CWriteCDSettingDlg::kFileNameId)->setText("Monday.dvr");
    dlg.Item<QPushButton>(CWriteCDSettingDlg::kOkId)->click();
  });
  ASSERT_EQ(dlg.DoModal(), plat::IDOK);
  dlg.ApplyTo(writer);
  EXPECT_EQ(writer.m_strFileName, "/backups/Monday.dvr");
  EXPECT_EQ(writer.m_fCloseDisc, 1);
  EXPECT_EQ(writer.m_nSelectedDrive, 1);
  EXPECT_EQ(settings.m_nWriteCDClose.load(), 1);

  CWriteCDSettingDlg none(nullptr, &writer);
  EXPECT_EQ(none.Prepare("/backups/CH01_0001.dvr", names, 0, kMediaCD, 1), 0);  // no drive
}

TEST(WriteCDProgress, NotificationsBecomeSheetJobs) {
  auto block = std::make_shared<ProgressJobBlock>();
  SetProgressJobBlock(block);
  std::mutex mutex;
  std::vector<std::pair<int, int>> jobs;
  std::thread painter([&] {
    int job = 0, value = 0;
    while (block->Take(job, value)) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        jobs.emplace_back(job, value);
      }
      block->Done();
    }
  });
  WriteCD_Progress_Callback(0, 0);
  WriteCD_Progress_Callback(1, 42);
  WriteCD_Progress_Callback(2, 0);
  WriteCD_Progress_Callback(7, 1);  // not a notification
  WriteCD_Progress_Callback(1, 43);
  // Each post waited for the job before it; the last one still needs its painter.
  EXPECT_TRUE(WaitUntil([&] {
    std::lock_guard<std::mutex> lock(mutex);
    return jobs.size() >= 5;
  }));
  block->Close();
  painter.join();
  SetProgressJobBlock(nullptr);
  EXPECT_EQ(jobs, (std::vector<std::pair<int, int>>{{1, 0}, {2, 100}, {3, 42}, {4, 0}, {3, 43}}));
}

// The burning thread asks for the image file: the dialog runs on the user-interface thread
// while that thread waits for the answer.
TEST(DiscImageFileDialogTest, RunsOnTheGuiThreadForAWorker) {
  TempDir dir("imagefile");
  struct Case {
    bool accept;
    bool answer;
  } cases[] = {{true, true}, {false, false}};
  for (const Case& c : cases) {
    DiscImageFileDialog chooser;
    std::string path;
    std::atomic<bool> finished{false};
    bool answer = !c.answer;
    QTimer operatorHand;
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
      auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dlg) return;
      if (c.accept) {
        // As typed into the name box (which has the focus, so selectFile would leave it).
        auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(dir / "backup.iso"));
        static_cast<QDialog*>(dlg)->accept();  // as the OK button does
      } else {
        dlg->reject();
      }
    });
    operatorHand.start(10);
    std::thread worker([&] {
      answer = chooser.ChooseImageFile("Image.iso", path);
      finished = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return finished.load(); }, 10000, PumpEvents));
    worker.join();
    operatorHand.stop();
    EXPECT_EQ(answer, c.answer);
    if (c.accept) {
      EXPECT_EQ(path, dir / "backup.iso");
    }
  }
}

}  // namespace
