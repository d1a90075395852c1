// The tree property sheet and the configuration sheet's frame: trees per model, frame
// captions, placement, keyboard stepping, page paths, the banner and the progress bar.
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <future>
#include <thread>
#include <gtest/gtest.h>

#include "config/MySystemDialog.h"
#include "config/SheetProgress.h"
#include "config/TreePropSheet.h"
#include "engine/AppRecord.h"
#include "mainwnd/SystemSheet.h"
#include "platform/thread.h"
#include "session/Sections.h"
#include "tests/config/page_model_fixture.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/QtWait.h"

namespace {

class SheetTest : public ::testing::Test {
 protected:
  void Model(const char* id, const char* firmware = "1100") { model_.Connect(id, firmware); }
  // "Parent(Child, Child); Parent" as the tree shows it.
  static std::string TreeText(QTreeWidget* tree) {
    std::string out;
    for (int t = 0; t < tree->topLevelItemCount(); ++t) {
      QTreeWidgetItem* top = tree->topLevelItem(t);
      if (!out.empty()) out += "; ";
      out += top->text(0).toStdString();
      if (top->childCount() > 0) {
        out += " (";
        for (int c = 0; c < top->childCount(); ++c) {
          if (c) out += ", ";
          out += top->child(c)->text(0).toStdString();
        }
        out += ")";
      }
    }
    return out;
  }
  TestPageModel model_;
};

TEST_F(SheetTest, TreesPerFamily) {
  struct Case {
    const char* model;
    bool rvx;
    const char* tree;
  } cases[] = {
      {"K41R", false,
       "Network (DDNS, Mail, FTP); DVR (Device, Detection, Network Backup, Search List, Timer Record, Date, "
       "Record Setting); Alarm; General (Account, Online User Info, File Path)"},
      {"K42R", true,
       "Network (DDNS, Mail, FTP); DVR (Device, Detection, Network Backup, Search List, Timer Record, Date, "
       "Record Setting); Alarm (Alarm List); General (Account, Online User Info, File Path)"},
      {"K40R", false,
       "Network (DDNS, Mail, FTP, Server Time Config); Alarm (Alarm List); General (Account, Peripheral, Online "
       "User Info, File Path)"},
      {"K47R", false,
       "Network (DDNS, Mail, FTP, Server Time Config); Alarm (Alarm List); General (Account, Online User Info, "
       "File Path)"},
      {"K45R", false, "Network (Mail, FTP); Alarm; General (Account, Online User Info, File Path)"},
      {"K49R", false, ""},
  };
  for (const Case& c : cases) {
    Model(c.model);
    model_.devices.Reset();
    if (c.rvx) model_.devices.Add(0, 0, 19, CDF_VIDEO);
    MySystemDialog sheet;
    sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
    EXPECT_EQ(TreeText(sheet.GetTreeControl()), c.tree) << c.model;
    // Every item of the tree shows its page.
    for (int i = 0; i < sheet.GetPageCount(); ++i) {
      ASSERT_TRUE(sheet.SelectPageItem(i)) << c.model << " " << i;
      EXPECT_EQ(sheet.GetActiveIndex(), i);
      EXPECT_TRUE(sheet.GetPage(i)->isVisible());
    }
    sheet.CloseSheet();
  }
}

TEST_F(SheetTest, FrameCaptionsOfTheDvrTable) {
  struct Case {
    const char* model;
    const char* page;
    const char* caption;
  } cases[] = {{"K42R", "DVR", "DVR-CAMERA"},
               {"K42R", "Device", "DVR-Device"},
               {"K42R", "Record Setting", "DVR-Record"},
               {"K42R", "Mail", "Mail"},
               {"K40R", "Network", "Network"},
               {"K40R", "Alarm List", "Alarm List"}};
  for (const Case& c : cases) {
    Model(c.model);
    MySystemDialog sheet;
    sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
    int index = -1;
    for (int i = 0; i < sheet.GetPageCount(); ++i) {
      if (sheet.GetPage(i)->Caption() == QLatin1String(c.page)) index = i;
    }
    ASSERT_GE(index, 0) << c.page;
    ASSERT_TRUE(sheet.SelectPageItem(index));
    EXPECT_EQ(sheet.GetPageFrame()->GetCaptionText().toStdString(), c.caption) << c.model << " " << c.page;
  }
}

TEST(SheetPlacement, OnePixelBoundaries) {
  const QRect main(100, 50, 800, 600);
  const QSize sheet(640, 500);
  struct Case {
    int workW;
    bool mainMoved;
    QPoint mainAt, sheetAt;
  } cases[] = {
      // Exactly main.left + mainW + sheetW: still beside.
      {1540, false, QPoint(100, 50), QPoint(898, 50)},
      // One pixel less: the pair is centred.
      {1539, true, QPoint(49, 84), QPoint(847, 84)},
      // Exactly mainW + sheetW: still the pair.
      {1440, true, QPoint(0, 84), QPoint(798, 84)},
      // One pixel less: the sheet alone, the main window stays.
      {1439, false, QPoint(100, 50), QPoint(399, 134)},
  };
  for (const Case& c : cases) {
    const SheetPlacement p = PlaceSheet(main, sheet, QSize(c.workW, 768));
    EXPECT_EQ(p.mainMoved, c.mainMoved) << c.workW;
    EXPECT_EQ(p.main, c.mainAt) << c.workW;
    EXPECT_EQ(p.sheet, c.sheetAt) << c.workW;
  }
  // A sheet taller than the work area is not placed above the top.
  EXPECT_EQ(PlaceSheet(main, QSize(640, 900), QSize(600, 768)).sheet.y(), 0);
}

TEST_F(SheetTest, CtrlTabWrapsAroundTheTree) {
  Model("K44R");
  MySystemDialog sheet;
  sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  QTreeWidget* tree = sheet.GetTreeControl();
  std::vector<std::string> seen;
  for (int i = 0; i < 9; ++i) {
    seen.push_back(tree->currentItem()->text(0).toStdString());
    if (i < 8) QTest::keyClick(tree, Qt::Key_Tab, Qt::ControlModifier);
  }
  const std::vector<std::string> expected = {"Network", "Mail", "FTP", "Alarm", "General", "Account",
                                             "Online User Info", "File Path", "Network"};
  EXPECT_EQ(seen, expected);
  // Backwards from the first top-level item: the last item of the deepest last branch.
  QKeyEvent back(QEvent::KeyPress, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  QApplication::sendEvent(tree, &back);
  EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("File Path"));
  sheet.StepToPreviousPage();
  sheet.StepToPreviousPage();
  sheet.StepToPreviousPage();
  EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("General"));
  sheet.StepToPreviousPage();
  EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("Alarm"));
}

TEST(SheetPaths, SeparatorsAndEscapes) {
  struct Case {
    const char* path;
    const char* head;
    const char* rest;
  } cases[] = {
      {"Network", "Network", ""},
      {"A::B", "A", "B"},
      {"A::B::C", "A", "B::C"},
      {"A\\::B", "A\\::B", ""},      // one backslash escapes: one node, separator kept
      {"A\\\\::B", "A\\", "B"},       // two do not; they become one
      {"A\\\\\\::B::C", "A\\::B", "C"},
  };
  for (const Case& c : cases) {
    QString rest = QString::fromLatin1(c.path);
    EXPECT_EQ(TakePathHead(rest).toStdString(), c.head) << c.path;
    EXPECT_EQ(rest.toStdString(), c.rest) << c.path;
  }
}

TEST(SheetBanner, TextsPerModel) {
  struct Case {
    const char* model;
    const char* text;
  } cases[] = {{"K40R", "Video Server"}, {"K47R", "Video Server"}, {"K41R", "16CH DVR"}, {"K42R", "8CH DVR"},
               {"K43R", "4CH DVR"},      {"K44R", "DVR Setting"},  {"K45R", "DVR Setting"}, {"K46R", "DVR Setting"},
               {"K48R", ""},             {"k40r", ""}};
  for (const Case& c : cases) EXPECT_EQ(BannerText(c.model).toStdString(), c.text) << c.model;
}

// ---- progress bar ----

void WaitJobs(CTreePropSheet& sheet, int done) {
  WaitUntil([&] { return sheet.ProgressJobsDone() >= done; }, 2000);
  ASSERT_GE(sheet.ProgressJobsDone(), done);
}

// Whether a pixel of `colour` lies in columns [from, to) inside the frames and the fill's frame.
bool ColourInColumns(const QImage& bar, const QColor& colour, int from, int to) {
  for (int x = std::max(0, from); x < std::min(bar.width(), to); ++x) {
    for (int y = 4; y < bar.height() - 4; ++y) {
      if (bar.pixelColor(x, y) == colour) return true;
    }
  }
  return false;
}

TEST_F(SheetTest, ProgressPixels) {
  Model("K41R");
  MySystemDialog sheet;
  sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  const QRect bar = sheet.ProgressRect();
  const int W = bar.width();
  using namespace progress_colour;
  // Job 1: empty bar, "  0 %" in yellow-green from 4 pixels on.
  ASSERT_TRUE(PostProgressJob(PROGRESS_JOB_EMPTY));
  WaitJobs(sheet, 1);
  QImage img = sheet.ProgressImage();
  ASSERT_EQ(img.size(), bar.size());
  EXPECT_EQ(img.pixelColor(2, bar.height() / 2), kBarBack);
  EXPECT_TRUE(ColourInColumns(img, kTextLow, 4, 60));
  EXPECT_FALSE(ColourInColumns(img, kTextLow, 0, 4));
  EXPECT_TRUE(sheet.ProgressShown());
  // 200 then 100: half the fill, text for 50 right of it.
  PostProgressJob(PROGRESS_JOB_MAXIMUM, 200);
  PostProgressJob(PROGRESS_JOB_VALUE, 100);
  WaitJobs(sheet, 3);
  img = sheet.ProgressImage();
  const int f = (W - 4) / 2;
  EXPECT_EQ(img.pixelColor(2 + f / 2, bar.height() / 2), kFill);
  EXPECT_EQ(img.pixelColor(2 + f + 1, bar.height() / 2), kBarBack);
  EXPECT_TRUE(ColourInColumns(img, kTextLow, 2 + f + 2, 2 + f + 60));
  EXPECT_FALSE(ColourInColumns(img, kTextHigh, 3, 2 + f - 1));  // the blue text colour is the bar's
  // 102: 51 % in blue inside the fill, 45 pixels left of its right edge.
  PostProgressJob(PROGRESS_JOB_VALUE, 102);
  WaitJobs(sheet, 4);
  img = sheet.ProgressImage();
  const int f2 = 102 * (W - 4) / 200;
  EXPECT_TRUE(ColourInColumns(img, kTextHigh, 2 + f2 - 43, 2 + f2 - 1));
  EXPECT_FALSE(ColourInColumns(img, kTextHigh, 3, 2 + f2 - 43));
  // The maximum: the fill reaches 2 pixels short of the right edge.
  PostProgressJob(PROGRESS_JOB_VALUE, 200);
  WaitJobs(sheet, 5);
  img = sheet.ProgressImage();
  EXPECT_EQ(img.pixelColor(W - 3, bar.height() / 2), kFillDark);  // the fill's right frame
  EXPECT_EQ(img.pixelColor(W - 2, bar.height() / 2), kFrameDark);  // the bar's inner frame
  EXPECT_EQ(sheet.ProgressValue(), 200);
  // Job 4: the bar goes at the next repaint, the banner stays.
  PostProgressJob(PROGRESS_JOB_CLEAR);
  WaitJobs(sheet, 6);
  EXPECT_FALSE(sheet.ProgressShown());
  const QImage painted = sheet.RenderSheet();
  EXPECT_NE(painted.pixelColor(bar.left() + 10, bar.top() + 10), kBarBack);
  const QRect banner = sheet.BannerRect();
  EXPECT_EQ(painted.pixelColor(banner.left() + 3, banner.bottom() - 3), kBannerBack);
  EXPECT_EQ(painted.pixelColor(banner.left(), banner.top()), kBannerLight);
}

TEST_F(SheetTest, ProgressJobsWithoutAMaximumOrASheetAreDropped) {
  Model("K40R");
  // No sheet open: dropped at once.
  EXPECT_FALSE(PostProgressJob(PROGRESS_JOB_EMPTY));
  auto sheet = std::make_unique<MySystemDialog>();
  sheet->CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  // Job 3 before any maximum changes nothing.
  PostProgressJob(PROGRESS_JOB_VALUE, 5);
  WaitJobs(*sheet, 1);
  EXPECT_EQ(sheet->ProgressValue(), 0);
  EXPECT_TRUE(sheet->ProgressImage().isNull());
  // Closing wakes the painter, which leaves its loop, and joins it.
  sheet->CloseSheet();
  EXPECT_FALSE(sheet->HasProgressWorker());
  // A writer after close returns at once.
  EXPECT_FALSE(PostProgressJob(PROGRESS_JOB_EMPTY));
}

// A painter held inside its drawing until the test lets it go.
class HeldPainter : public CSheetProgressPainter {
 public:
  std::atomic<bool> drawing{false};
  std::promise<void> release;

 protected:
  void DrawBar(QImage& image, const QRect& bar, int job, int value, int maximum) override {
    drawing = true;
    released_.wait();
    CSheetProgressPainter::DrawBar(image, bar, job, value, maximum);
  }

 private:
  std::shared_future<void> released_ = release.get_future().share();
};

class HeldPainterSheet : public MySystemDialog {
 public:
  std::shared_ptr<HeldPainter> painter = std::make_shared<HeldPainter>();

 protected:
  std::shared_ptr<CSheetProgressPainter> NewProgressPainter() override { return painter; }
};

// The sheet goes while its painter is still drawing and outlasts the stop: the painter
// finishes in memory of its own and posts nothing to the sheet that is gone.
TEST_F(SheetTest, APainterThatOutlastsTheStopUsesNothingOfTheSheet) {
  Model("K41R");
  const std::size_t threads = plat::LiveThreadCount();
  auto sheet = std::make_unique<HeldPainterSheet>();
  sheet->CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  const std::shared_ptr<HeldPainter> painter = sheet->painter;
  const QSize bar = sheet->ProgressRect().size();
  ASSERT_TRUE(PostProgressJob(PROGRESS_JOB_EMPTY));
  ASSERT_TRUE(WaitUntil([&] { return painter->drawing.load(); }));
  sheet.reset();  // the stop gives up on the held painter
  EXPECT_EQ(plat::StrandedThreadCount(), 1u);
  painter->release.set_value();
  ASSERT_TRUE(WaitUntil([&] { return plat::LiveThreadCount() == threads; }));
  EXPECT_EQ(plat::StrandedThreadCount(), 0u);
  EXPECT_EQ(painter->JobsDone(), 1);
  EXPECT_EQ(painter->BarImage().size(), bar);
  ProcessEvents();  // nothing was queued for the sheet that is gone
}

TEST(SheetProgressBlock, AWaitingWriterIsReleasedWhenTheSheetGoes) {
  auto block = std::make_shared<ProgressJobBlock>();
  SetProgressJobBlock(block);
  ASSERT_TRUE(PostProgressJob(PROGRESS_JOB_EMPTY));  // nobody takes it: the block stays busy
  std::atomic<int> result{-1};
  std::thread writer([&] { result = PostProgressJob(PROGRESS_JOB_MAXIMUM, 10) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(result.load(), -1);  // still waiting for idle
  SetProgressJobBlock(nullptr);
  block->Close();
  writer.join();
  EXPECT_EQ(result.load(), 0);
}

// ---- the configuration sheet ----

TEST_F(SheetTest, ButtonsPerModelAndScale) {
  struct Case {
    const char* model;
    float scale;
    bool apply, reboot;
  } cases[] = {{"K40R", 1.0f, true, true},  {"K47R", 1.5f, true, true},  {"K41R", 1.0f, true, false},
               {"K44R", 1.5f, true, false}, {"K49R", 1.0f, false, false}};
  for (const Case& c : cases) {
    Model(c.model);
    model_.scale = c.scale;
    MySystemDialog sheet;
    sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
    const int W = sheet.width(), H = sheet.height();
    const double s = c.scale;
    QPushButton* exitButton = sheet.SheetButton(IDC_SHEET_EXIT);
    ASSERT_NE(exitButton, nullptr);
    EXPECT_EQ(exitButton->text(), QStringLiteral("EXIT"));
    EXPECT_EQ(exitButton->geometry(),
              QRect(static_cast<int>(W - 340 * s), static_cast<int>(H - 27 * s), static_cast<int>(80 * s),
                    static_cast<int>(22 * s)))
        << c.model;
    EXPECT_EQ(sheet.SheetButton(IDC_SHEET_APPLY) != nullptr, c.apply) << c.model;
    EXPECT_EQ(sheet.SheetButton(IDC_SHEET_REBOOT) != nullptr, c.reboot) << c.model;
    if (c.reboot) {
      EXPECT_EQ(sheet.SheetButton(IDC_SHEET_REBOOT)->geometry().left(), static_cast<int>(W - 220 * s));
    }
    // The layout around the tree.
    const QRect tree = sheet.TreeRect();
    EXPECT_EQ(sheet.ProgressRect().left(), tree.left() + tree.width() + 15);
    EXPECT_EQ(sheet.ProgressRect().left() + sheet.ProgressRect().width(), W - 15);
    EXPECT_EQ(sheet.ProgressRect().height(), 25);
  }
}

TEST_F(SheetTest, ApplyWithPppoeAndNoDdnsIsRefused) {
  MessageBoxRecorder boxes;
  // The record only for the sheet's open flag; the pages read the model.
  struct Published {
    AppRecord record;
    Published() { g_lpApp = &record; }
    ~Published() { g_lpApp = nullptr; }
  } published;
  Model("K40R");
  model_.Section(SYSCFG_IP)[sect::IpSection::kOffIpType] = 1;
  model_.Section(SYSCFG_SMTP)[sect::SmtpSection::kOffDdnsEnable] = 0;
  MySystemDialog sheet;
  sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  sheet.SheetButton(IDC_SHEET_APPLY)->click();
  EXPECT_EQ(sheet.LastApplyEnd(), MySystemDialog::ApplyEnd::Blocked);
  EXPECT_TRUE(sheet.IsSheetOpen());
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], "PPPOE and DDNS should be enable at the same time.\nPlease confirm your setting again.");
  // With DDNS on, APPLY with no page opened closes the sheet.
  model_.Section(SYSCFG_SMTP)[sect::SmtpSection::kOffDdnsEnable] = 1;
  sheet.SheetButton(IDC_SHEET_APPLY)->click();
  EXPECT_EQ(sheet.LastApplyEnd(), MySystemDialog::ApplyEnd::Closed);
  EXPECT_FALSE(sheet.IsSheetOpen());
  EXPECT_EQ(sheet.EndCode(), 3);
  EXPECT_EQ(published.record.f_SystemDialogOpen.load(), 0);
}

TEST_F(SheetTest, K44FamilyIsNeverBlockedByThePppoeCheck) {
  MessageBoxRecorder boxes;
  Model("K44R");
  model_.Section(SYSCFG_IP)[sect::IpSection::kOffIpType] = 1;
  MySystemDialog sheet;
  sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  sheet.OnClickApply();
  EXPECT_EQ(sheet.LastApplyEnd(), MySystemDialog::ApplyEnd::Closed);
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SheetTest, EnterEscAndTheWindowManagerClose) {
  Model("K47R");
  MySystemDialog sheet;
  sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  QTest::keyClick(&sheet, Qt::Key_Escape);
  QTest::keyClick(&sheet, Qt::Key_Return);
  EXPECT_TRUE(sheet.IsSheetOpen());
  sheet.close();
  EXPECT_FALSE(sheet.IsSheetOpen());
  EXPECT_EQ(sheet.EndCode(), 0);
}

}  // namespace
