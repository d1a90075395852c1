// The pages' model of the connected recorder: the program's model over the running record (its
// sections only under the record's configuration lock), a test's model installed in its place,
// and pages that show what an installed model holds and write their edits back into it.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <memory>
#include <gtest/gtest.h>

#include "config/AccountPropertyPage.h"
#include "config/CameraPage.h"
#include "config/FTPPropertyPage.h"
#include "config/MySystemDialog.h"
#include "config/NetworkConfigPage.h"
#include "config/PageModel.h"
#include "config/ToolBoxPropertyPage.h"
#include "engine/AppRecord.h"
#include "session/Sections.h"
#include "tests/config/next_modal.h"
#include "tests/config/page_model_fixture.h"
#include "tests/support/MessageBoxRecorder.h"
#include "ui/Controls.h"

namespace {

// ---- the program's model over the record ----------------------------------------------------------

class RecordModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = std::make_unique<AppRecord>();
    g_lpApp = record_.get();
  }
  void TearDown() override { g_lpApp = nullptr; }
  std::unique_ptr<AppRecord> record_;
};

TEST(PageModelWithoutRecord, PagesSeeNoRecorder) {
  ASSERT_EQ(g_lpApp.get(), nullptr);
  EXPECT_EQ(pagemodel::Current(), nullptr);
  EXPECT_EQ(pagemodel::ConnectedDevice().productId, "");
  EXPECT_EQ(pagemodel::ProductId(), "");
  EXPECT_EQ(pagemodel::DvrChannelCount(), 0);
  EXPECT_EQ(pagemodel::Scale(), 1.0);
}

TEST_F(RecordModelTest, ReadsTheRecordsRecorderAndDisplay) {
  record_->SetProductID("K42R");
  record_->SetFWVersion("1058");
  record_->fl_DpiScale = 1.25f;
  pagemodel::IModel* model = pagemodel::Current();
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->Device().productId, "K42R");
  EXPECT_EQ(model->Device().firmware, "1058");
  EXPECT_EQ(pagemodel::DvrChannelCount(), 8);
  EXPECT_EQ(pagemodel::Scale(), 1.25);
  EXPECT_EQ(&model->Settings(), &record_->CSettingINI);
  EXPECT_EQ(&model->Schedule(), &record_->C_SchRecord);
  EXPECT_EQ(&model->DiscWriter(), &record_->C_WriteCD);
  EXPECT_EQ(model->Accounts().data(), record_->AccountSlots);
  model->SetUploadVersion("10581");
  EXPECT_EQ(record_->sz_FWVersionChars.Text(), "1058");
  // Unknown scale reads as 1.
  record_->fl_DpiScale = 0.0f;
  EXPECT_EQ(pagemodel::Scale(), 1.0);
}

TEST_F(RecordModelTest, SectionsAreTheRecordsBlocksUnderItsLock) {
  record_->SysCfg_DNS[0] = 0x11;
  record_->SysCfg_DNS[11] = 0x22;
  pagemodel::IModel* model = pagemodel::Current();
  ASSERT_NE(model, nullptr);
  const std::vector<std::uint8_t> dns = model->ReadSection(SYSCFG_DNS);
  ASSERT_EQ(dns.size(), kSysCfgSizeDNS);
  EXPECT_EQ(dns.front(), 0x11);
  EXPECT_EQ(dns.back(), 0x22);
  EXPECT_TRUE(model->ReadSection(SYSCFG_ALL).empty());
  bool lockHeld = false;
  model->WithSections([&](const pagemodel::Sections& s) {
    // Another thread copying a section now would wait.
    lockHeld = !record_->mtx_SysCfg.try_lock();
    for (int o = 0; o < SYSCFG_ALL; ++o) EXPECT_EQ(s.block[o].size(), SysCfgSectionSizes[o]) << o;
    EXPECT_EQ(s.pppoeNew.data(), record_->SysCfg_PPPOE_New);
    EXPECT_EQ(s.videoSetting.size(), kVideoSettingBlockSize);
    s.Data(SYSCFG_DVRREC)[20] = 1;
  });
  EXPECT_TRUE(lockHeld);
  EXPECT_EQ(record_->SysCfg_DVRREC[20], 1);
}

TEST_F(RecordModelTest, AnInstalledModelStandsInUntilItsGuardGoes) {
  record_->SetProductID("K40R");
  {
    TestPageModel outer;
    outer.Connect("K43R");
    EXPECT_EQ(pagemodel::Current(), &outer);
    EXPECT_EQ(pagemodel::DvrChannelCount(), 4);
    {
      TestPageModel inner;
      inner.Connect("K41R");
      EXPECT_EQ(pagemodel::Current(), &inner);
      EXPECT_EQ(pagemodel::DvrChannelCount(), 16);
    }
    EXPECT_EQ(pagemodel::Current(), &outer);
  }
  EXPECT_EQ(pagemodel::ProductId(), "K40R");
}

// ---- pages over a test's model ------------------------------------------------------------------

class ModelPagesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(g_lpApp.get(), nullptr); }
  // The whole text at once, as pasted.
  static void Paste(ui::Window& page, int id, const char* text) {
    auto* edit = page.Item<QLineEdit>(id);
    ASSERT_NE(edit, nullptr) << id;
    edit->setText(QString::fromLatin1(text));
    emit edit->textEdited(edit->text());
  }
  static std::string Text(ui::Window& page, int id) { return page.Item<QLineEdit>(id)->text().toStdString(); }

  TestPageModel model_;
  QWidget host_;
};

TEST_F(ModelPagesTest, CameraPageShowsTheModelsSections) {
  model_.Connect("K42R", "1058");
  std::memcpy(model_.Section(SYSCFG_DVRLIVE) + 116, "CAM1\0\0ABCDEF", 12);
  model_.Section(SYSCFG_DVRLIVE)[4] = 200;
  model_.Section(SYSCFG_DVRREC)[20] = 1;
  CameraPage page;
  ASSERT_TRUE(page.CreatePage(&host_));
  ui::ReportList* list = page.List();
  ASSERT_EQ(list->GetItemCount(), 8);
  EXPECT_EQ(list->GetItemText(0, 1).toStdString(), "CAM1");
  EXPECT_EQ(list->GetItemText(1, 1).toStdString(), "ABCDEF");
  EXPECT_EQ(list->GetItemText(0, 2).toStdString(), "200");
  EXPECT_EQ(list->GetItemText(0, 7).toStdString(), "YES");
  EXPECT_EQ(list->GetItemText(1, 7).toStdString(), "NO");
}

TEST_F(ModelPagesTest, CameraEditIsWrittenBackIntoTheModelsSections) {
  model_.Connect("K42R", "1058");
  std::memcpy(model_.Section(SYSCFG_DVRLIVE) + 116, "CAM1\0\0", 6);
  const std::string liveBefore = model_.SectionText(SYSCFG_DVRLIVE);
  CameraPage page;
  ASSERT_TRUE(page.CreatePage(&host_));
  page.List()->SelectRow(0);
  OnNextModal([](ui::Window* w) {
    w->Item<QLineEdit>(1439)->setText(QStringLiteral("ABC"));
    w->Item<QLineEdit>(1434)->setText(QStringLiteral("17"));
    w->Item<ui::DropList>(1196)->SetCurSel(1);
    w->Item<QPushButton>(plat::IDOK)->click();
  });
  page.OnButtonEdit();
  EXPECT_EQ(page.m_bLiveChanged, 1);
  EXPECT_EQ(page.m_bRecordChanged, 1);
  // Only the edited row's bytes changed.
  std::string expected = liveBefore;
  std::memcpy(&expected[116], "ABC\0\0\0", 6);
  expected[4] = 17;
  EXPECT_EQ(model_.SectionText(SYSCFG_DVRLIVE), expected);
  EXPECT_EQ(model_.Section(SYSCFG_DVRREC)[20], 1);
  EXPECT_EQ(model_.Section(SYSCFG_DVRREC)[21], 0);
}

TEST_F(ModelPagesTest, FtpPageShowsTheModelsSection) {
  model_.Connect("K40R", "1010");
  sect::FtpSection ftp;
  ftp.server = "ftp.example.com";
  ftp.user = "bob";
  ftp.directory = "/in";
  ftp.port = 2121;
  ftp.Encode(model_.Section(SYSCFG_FTP));
  FTPPropertyPage page;
  ASSERT_TRUE(page.CreatePage(&host_));
  EXPECT_EQ(Text(page, IDC_FTP_SERVER), "ftp.example.com");
  EXPECT_EQ(Text(page, IDC_FTP_USER), "bob");
  EXPECT_EQ(Text(page, IDC_FTP_DIRECTORY), "/in");
  EXPECT_EQ(Text(page, IDC_FTP_PORT), "2121");
  EXPECT_GE(model_.SectionVisits(), 1);
}

TEST_F(ModelPagesTest, ApplyWritesThePagesValuesIntoTheModelsSection) {
  MessageBoxRecorder boxes;  // no recorder: the set itself fails and says so
  model_.Connect("K40R", "1010");
  sect::FtpSection ftp;
  ftp.server = "ftp.example.com";
  ftp.port = 21;
  ftp.Encode(model_.Section(SYSCFG_FTP));
  const std::string before = model_.SectionText(SYSCFG_FTP);
  MySystemDialog sheet;
  sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  ASSERT_TRUE(sheet.SetActivePage(&sheet.m_FtpPage));
  Paste(sheet.m_FtpPage, IDC_FTP_PORT, "2121");
  sheet.OnClickApply();
  // Only the port's two bytes changed, low byte first.
  std::string expected = before;
  expected[100] = 0x49;
  expected[101] = 0x08;
  EXPECT_EQ(model_.SectionText(SYSCFG_FTP), expected);
}

// The four typed-number edits keep their own rules over the one digit reader: leading zeros,
// more digits than the rule reads, and letters in between.
TEST_F(ModelPagesTest, TypedNumberEditsKeepTheirRules) {
  MessageBoxRecorder boxes;
  model_.Connect("K41R", "1058");
  FTPPropertyPage ftp;
  ASSERT_TRUE(ftp.CreatePage(&host_));
  NetworkConfigPage network;
  ASSERT_TRUE(network.CreatePage(&host_));
  AccountPropertyPage account;
  ASSERT_TRUE(account.CreatePage(&host_));
  struct Case {
    ui::PropertyPage* page;
    int id;
    const char* typed;
    const char* shown;
  } cases[] = {
      {&ftp, IDC_FTP_PORT, "000021", "21"},         {&ftp, IDC_FTP_PORT, "0000000", "21"},
      {&ftp, IDC_FTP_PORT, "99999999", "21"},       {&ftp, IDC_FTP_PORT, "65535", "65535"},
      {&network, IDC_NET_WEBPORT, "00080", "80"},   {&network, IDC_NET_WEBPORT, "0000", "1"},
      {&network, IDC_NET_WEBPORT, "123456", "9999"}, {&network, IDC_NET_WEBPORT, "9999", "9999"},
      // More than three characters are above five, leading zeros or not.
      {&account, IDC_ACC_MAXUSER, "0004", "5"},     {&account, IDC_ACC_MAXUSER, "004", "4"},
  };
  for (const Case& c : cases) {
    Paste(*c.page, c.id, c.typed);
    EXPECT_EQ(Text(*c.page, c.id), c.shown) << c.typed;
  }
  EXPECT_EQ(network.m_nWebPort, 9999);
}

TEST_F(ModelPagesTest, MaxLogListReadsAtMostFiveDigits) {
  model_.Connect("K41R", "1058");
  ToolBoxPropertyPage page;
  ASSERT_TRUE(page.CreatePage(&host_));
  auto* edit = page.Item<QLineEdit>(IDC_TOOLBOX_MAXLOG);
  ASSERT_NE(edit, nullptr);
  // Six characters are above the limit even when the first are zeros.
  const std::pair<const char*, int> typed[] = {{"000001", 2048}, {"00001", 1}, {"x7", 7}};
  for (const auto& [text, value] : typed) {
    edit->setText(QString::fromLatin1(text));
    emit edit->textEdited(edit->text());
    EXPECT_EQ(page.m_ServerLog.m_nMaxLogList, value) << text;
  }
}

}  // namespace
