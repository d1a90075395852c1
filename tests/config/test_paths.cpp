// The folder picker over a temporary tree and a fake mount table, the "File Path" page and
// the paths the sheet stores on Apply.
#include <sys/stat.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

#include "config/DlgGetPath.h"
#include "config/FileDialogs.h"
#include "config/MountTable.h"
#include "config/MySystemDialog.h"
#include "config/RecordPage.h"
#include "engine/AppRecord.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tests/config/page_model_fixture.h"
#include "tests/support/TempDir.h"

namespace {

TEST(MountTable, ParseAndClassify) {
  const std::string table =
      "/dev/sda1 / ext4 rw 0 0\n"
      "proc /proc proc rw 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n"
      "/dev/sdb1 /media/alice/USB\\040STICK vfat rw 0 0\n"
      "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
      "fileserver:/export/home /mnt/nfs nfs4 rw 0 0\n"
      "//NAS/Public /mnt/public cifs rw 0 0\n"
      "bob@box:/srv /home/bob/box fuse.sshfs rw 0 0\n"
      "tmpfs /scratch tmpfs rw 0 0\n"
      "/dev/sda2 /home ext4 rw 0 0\n"
      "short line\n";
  const auto mounts = ParseMountTable(table);
  ASSERT_EQ(mounts.size(), 10u);
  EXPECT_EQ(mounts[3].mountPoint, "/media/alice/USB STICK");
  const std::pair<int, std::string> expected[] = {
      {-1, ""}, {-1, ""}, {-1, ""}, {PATHPIC_REMOVABLE, ""}, {PATHPIC_OPTICAL, ""}, {PATHPIC_NETWORK, "fileserver"},
      {PATHPIC_NETWORK, "NAS"}, {PATHPIC_NETWORK, "box"}, {PATHPIC_RAM, ""}, {-1, ""}};
  for (std::size_t i = 0; i < mounts.size(); ++i) {
    EXPECT_EQ(MountPicture(mounts[i]), expected[i].first) << mounts[i].mountPoint;
    EXPECT_EQ(NetworkServer(mounts[i]), expected[i].second) << mounts[i].mountPoint;
  }
}

TEST(FolderPicker, FormatItemName) {
  const std::pair<const char*, const char*> cases[] = {
      {"WINDOWS", "Windows"}, {"TEMP", "Temp"}, {"Program Files", "Program Files"}, {"C:", "C:"},
      {"/", "/"},             {"2024", "2024"}, {"A_B", "A_b"},                     {"", ""}};
  for (const auto& [in, out] : cases) EXPECT_EQ(CDlgGetPath::FormatItemName(in), out) << in;
}

class PickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = dir_ / "home";
    for (const char* d : {"home/TEMP", "home/Docs/Sub", "home/empty"}) std::filesystem::create_directories(dir_ / d);
    TempDir::Write(dir_ / "home/file.txt", "x");
    TempDir::Write(dir_ / "mounts",
                   "/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 /media/USB vfat rw 0 0\n/dev/sr0 /media/cd iso9660 ro 0 0\n"
                   "server1:/x " + dir_.path() + "/home/Docs nfs rw 0 0\n//SERVER2/data /mnt/share cifs rw 0 0\n"
                   "tmpfs /mnt/ram tmpfs rw 0 0\n");
    CDlgGetPath::SetMountTableFile(dir_ / "mounts");
    CDlgGetPath::SetHomeFolder(home_);
  }
  void TearDown() override {
    CDlgGetPath::SetMountTableFile("");
    CDlgGetPath::SetHomeFolder("");
  }
  // Runs the dialog, doing `act` inside its modal loop; answers the end code.
  int Run(CDlgGetPath& dlg, const std::function<void()>& act) {
    QTimer::singleShot(0, &dlg, [&] {
      act();
      if (dlg.isVisible()) dlg.Command(plat::IDCANCEL);
    });
    return dlg.DoModal();
  }
  static QTreeWidgetItem* Child(QTreeWidgetItem* parent, const char* text) {
    for (int i = 0; i < parent->childCount(); ++i) {
      if (parent->child(i)->text(0) == QLatin1String(text)) return parent->child(i);
    }
    return nullptr;
  }
  TempDir dir_{"picker"};
  std::string home_;
};

TEST_F(PickerTest, RootsLazyExpansionAndThePickedPath) {
  CDlgGetPath dlg;
  dlg.SetPath("/nowhere/at/all");
  std::string picked;
  const int end = Run(dlg, [&] {
    ui::SelectTree* tree = dlg.Tree();
    std::vector<std::pair<std::string, int>> roots;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
      roots.emplace_back(tree->topLevelItem(i)->text(0).toStdString(), CDlgGetPath::ItemPicture(tree->topLevelItem(i)));
    }
    const std::vector<std::pair<std::string, int>> expected = {
        {"/", 3},        {home_, 3},        {"/media/USB", 2},       {"/media/cd", 5}, {home_ + "/Docs", 4},
        {"/mnt/share", 4}, {"/mnt/ram", 6}, {"Network Neighborhood", 7}};
    EXPECT_EQ(roots, expected);
    QTreeWidgetItem* home = tree->topLevelItem(1);
    EXPECT_EQ(home->childCount(), 0);  // read on first expansion
    home->setExpanded(true);
    ASSERT_EQ(home->childCount(), 3);
    // In name order regardless of case, shown through FormatItemName.
    EXPECT_EQ(home->child(0)->text(0), "Docs");
    EXPECT_EQ(home->child(1)->text(0), "empty");
    EXPECT_EQ(home->child(2)->text(0), "Temp");
    QTreeWidgetItem* empty = Child(home, "empty");
    ASSERT_NE(empty, nullptr);
    empty->setExpanded(true);
    EXPECT_EQ(empty->childCount(), 0);
    EXPECT_EQ(empty->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    // The network: servers cannot be taken, their shares can.
    QTreeWidgetItem* network = dlg.NetworkRoot();
    tree->SelectItem(network);
    EXPECT_FALSE(dlg.GetDlgItem(plat::IDOK)->isEnabled());
    network->setExpanded(true);
    QTreeWidgetItem* server = Child(network, "Server2");
    ASSERT_NE(server, nullptr);
    ASSERT_NE(Child(network, "server1"), nullptr);
    tree->SelectItem(server);
    EXPECT_FALSE(dlg.GetDlgItem(plat::IDOK)->isEnabled());
    EXPECT_EQ(CDlgGetPath::ItemPicture(server), 9);
    ASSERT_EQ(server->childCount(), 1);
    server->setExpanded(true);
    tree->SelectItem(server->child(0));
    EXPECT_TRUE(dlg.GetDlgItem(plat::IDOK)->isEnabled());
    EXPECT_EQ(dlg.GetItemPath(server->child(0)), "/mnt/share/");
    tree->SelectItem(Child(home, "Temp"));
    dlg.Command(plat::IDOK);
  });
  EXPECT_EQ(end, plat::IDOK);
  EXPECT_EQ(dlg.GetPath(), home_ + "/TEMP/");
}

TEST_F(PickerTest, OpensWithTheStartPathSelected) {
  const struct {
    std::string start;
    std::string returned;
  } cases[] = {{home_ + "/docs/SUB", home_ + "/Docs/Sub/"}, {"/nowhere/x", "/nowhere/x"}, {"/", "/"}};
  for (const auto& c : cases) {
    CDlgGetPath dlg;
    dlg.SetPath(c.start);
    Run(dlg, [&] { dlg.Command(plat::IDOK); });
    EXPECT_EQ(dlg.GetPath(), c.returned) << c.start;
  }
  CDlgGetPath dlg;
  dlg.SetPath(home_ + "/Docs/Sub");
  Run(dlg, [&] {
    QTreeWidgetItem* sel = dlg.Tree()->SelectedItem();
    ASSERT_NE(sel, nullptr);
    EXPECT_EQ(sel->text(0), "Sub");
    EXPECT_TRUE(sel->parent()->isExpanded());
  });
}

class PathPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = std::make_unique<AppRecord>();
    g_lpApp = app_.get();
    app_->fl_DpiScale = 1.0f;
    app_->CSettingINI.m_strProgramPath.Set(dir_.Folder());
    plat::SetProgramFolder(dir_.Folder());
    previousPicker_ = SetFolderPickerFunction([this](QWidget*, const std::string& start, std::string& chosen) {
      starts_.push_back(start);
      if (answer_.empty()) return 0;
      chosen = answer_;
      return 1;
    });
    previousOpen_ = SetFileOpenFunction([this](QWidget*, const std::string& filter, const std::string&, std::string& chosen) {
      filters_.push_back(filter);
      chosen = answer_;
      return answer_.empty() ? 0 : 1;
    });
  }
  void TearDown() override {
    SetFolderPickerFunction(previousPicker_);
    SetFileOpenFunction(previousOpen_);
    g_lpApp = nullptr;
  }
  TempDir dir_{"paths"};
  std::unique_ptr<AppRecord> app_;
  std::string answer_;
  std::vector<std::string> starts_, filters_;
  FolderPickerFunction previousPicker_;
  FileOpenFunction previousOpen_;
};

TEST(PathPage, AlarmSoundRowByModelAndDeviceTable) {
  struct Case {
    const char* model;
    int deviceType;  // -1: none
    bool shown;
  } cases[] = {{"K42R", -1, false}, {"K42R", 19, true}, {"K42R", 5, false}, {"K40R", -1, true}, {"K45R", -1, true}};
  for (const Case& c : cases) {
    TestPageModel model;
    model.Connect(c.model);
    if (c.deviceType >= 0) model.devices.Add(0, 0, static_cast<std::uint8_t>(c.deviceType), CDF_VIDEO);
    QWidget host;
    RecordPage page;
    page.CreatePage(&host);
    for (int id : {IDC_PATH_ALARMWAV_LABEL, IDC_PATH_ALARMWAV, IDC_PATH_MODIFY_ALARMWAV}) {
      EXPECT_EQ(!page.GetDlgItem(id)->isHidden(), c.shown) << c.model << " " << c.deviceType;
    }
  }
}

TEST_F(PathPageTest, ModifyTypingAndApplyStoresThePaths) {
  app_->SetProductID("K40R");
  MySystemDialog sheet;
  sheet.m_FilePathPage.m_strRecordPath = "/old/rec/";
  sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  ASSERT_TRUE(sheet.SetActivePage(&sheet.m_FilePathPage));
  RecordPage& page = sheet.m_FilePathPage;
  page.Command(IDC_PATH_MODIFY_RECORD);  // cancelled: unchanged
  EXPECT_EQ(page.m_strRecordPath, "/old/rec/");
  EXPECT_EQ(starts_, std::vector<std::string>{"/old/rec/"});
  answer_ = dir_ / "Rec TEMP/";
  page.Command(IDC_PATH_MODIFY_RECORD);
  EXPECT_EQ(page.Item<QLineEdit>(IDC_PATH_RECORD)->text().toStdString(), answer_);
  answer_ = dir_ / "alarm.wav";
  page.Command(IDC_PATH_MODIFY_ALARMWAV);
  EXPECT_EQ(filters_, std::vector<std::string>{"WAV files (*.wav)"});
  QLineEdit* snapshot = page.Item<QLineEdit>(IDC_PATH_SNAPSHOT);
  snapshot->setText(QString::fromStdString(dir_ / "snaps"));
  emit snapshot->textEdited(snapshot->text());  // typed
  EXPECT_EQ(page.m_strSnapshotPath, dir_ / "snaps");
  sheet.OnClickApply();
  EXPECT_EQ(sheet.LastApplyEnd(), MySystemDialog::ApplyEnd::Closed);
  const std::string ini = app_->CSettingINI.SettingFilePath();
  EXPECT_EQ(plat::GetPrivateProfileString("Ovistra", "Record Path", "", ini), dir_ / "Rec TEMP/");
  EXPECT_EQ(plat::GetPrivateProfileString("Ovistra", "Snapshot Path", "", ini), dir_ / "snaps");
  EXPECT_EQ(plat::GetPrivateProfileString("Ovistra", "Trigger Wav Path", "", ini), dir_ / "alarm.wav");
  EXPECT_TRUE(plat::DirectoryExists(dir_ / "Rec TEMP"));
  EXPECT_TRUE(plat::DirectoryExists(dir_ / "snaps"));
}

}  // namespace
