// The motion-detection editor: the area mask under the pointer, the number boxes, and the
// pictures it takes from the main window's drawing through the grab hand-off.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <memory>
#include <vector>
#include <gtest/gtest.h>

#include "config/CDetectionEditDlg.h"
#include "engine/AppRecord.h"
#include "mainwnd/LiveView.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "tests/support/QtWait.h"
#include "ui/Controls.h"

namespace {

struct Editor : CDetectionEditDlg {
  using CDetectionEditDlg::OnInitDialog;
};

class DetectionEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = std::make_unique<AppRecord>();
    g_lpApp = app_.get();
    app_->fl_DpiScale = 1.0f;
    app_->SetProductID("K41R");
    grab_.assign(kPictureBufferSize, 0);
    app_->lp_GrabBuffer = grab_.data();
    app_->h_GrabDoneSem = plat::CreateSemaphore(0, 1);
  }
  void TearDown() override {
    dlg_.reset();
    app_->lp_GrabBuffer = nullptr;
    plat::CloseHandle(app_->h_GrabDoneSem.exchange(0));
    g_lpApp = nullptr;
  }
  void Open() {
    dlg_ = std::make_unique<Editor>();
    dlg_->OnInitDialog();
    dlg_->show();
  }
  // Serves one grab request the way the drawing does, with a w x h picture of one colour.
  bool Feed(int w, int h, std::uint8_t value = 0x40) {
    if (!WaitUntil([&] { return app_->f_GrabRequest.load() != 0; })) return false;
    std::memset(grab_.data(), value, std::size_t(w) * h * 3);
    app_->w_GrabWidth = static_cast<std::uint16_t>(w);
    app_->w_GrabHeight = static_cast<std::uint16_t>(h);
    app_->f_GrabRequest = 0;
    plat::ReleaseSemaphore(app_->h_GrabDoneSem.load(), 1);
    return WaitUntil([&] { return dlg_->PictureRunning(); }, 5000, PumpEvents);
  }
  // The centre of cell (row, column) on screen.
  QPoint Cell(int row, int column) const {
    const QRect v = dlg_->ViewRect();
    return QPoint(v.left() + column * 20 + 10, v.top() + row * dlg_->RowHeight() + dlg_->RowHeight() / 2);
  }
  void Click(QPoint p) {
    QTest::mousePress(dlg_.get(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(dlg_.get(), Qt::LeftButton, {}, p);
  }
  void Drag(QPoint from, QPoint to) {
    QTest::mousePress(dlg_.get(), Qt::LeftButton, {}, from);
    QTest::mouseMove(dlg_.get(), from + QPoint(1, 1));
    QTest::mouseMove(dlg_.get(), to);
    QTest::mouseRelease(dlg_.get(), Qt::LeftButton, {}, to);
  }
  std::vector<std::uint8_t> Mask() const { return std::vector<std::uint8_t>(dlg_->m_byAreaMask, dlg_->m_byAreaMask + 24); }

  std::unique_ptr<AppRecord> app_;
  std::vector<std::uint8_t> grab_;
  std::unique_ptr<Editor> dlg_;
};

TEST_F(DetectionEditorTest, ClicksAndDragsToggleTheirCells) {
  Open();
  dlg_->OnSetup();
  ASSERT_TRUE(Feed(320, 240));
  struct Case {
    int row, column;
    int byte;
    std::uint8_t bit;
  } cells[] = {{0, 0, 1, 0x01}, {0, 8, 0, 0x01}, {11, 15, 22, 0x80}};
  for (const Case& c : cells) {
    Click(Cell(c.row, c.column));
    std::vector<std::uint8_t> expected(24, 0);
    expected[std::size_t(c.byte)] = c.bit;
    EXPECT_EQ(Mask(), expected) << c.row << "," << c.column;
    Click(Cell(c.row, c.column));
  }
  // A drag over rows 0-1, columns 0-2 toggles six cells; the same drag again restores them.
  const QRect v = dlg_->ViewRect();
  Drag(Cell(0, 0), Cell(1, 2));
  EXPECT_EQ(Mask()[1], 0x07);
  EXPECT_EQ(Mask()[3], 0x07);
  EXPECT_EQ(Mask()[5], 0x00);
  Drag(Cell(0, 0), Cell(1, 2));
  EXPECT_EQ(Mask(), std::vector<std::uint8_t>(24, 0));
  // Ending on the border line between columns 2 and 3 takes column 3 as well.
  Drag(Cell(0, 0), QPoint(v.left() + 60, Cell(0, 0).y()));
  EXPECT_EQ(Mask()[1], 0x0F);
  EXPECT_EQ(Mask()[3], 0x00);
  // SELECT ALL and CLEAR ALL whatever the mask was.
  dlg_->Item<QPushButton>(CDetectionEditDlg::IDC_CLEAR_ALL)->click();
  EXPECT_EQ(Mask(), std::vector<std::uint8_t>(24, 0xFF));
  dlg_->Item<QPushButton>(CDetectionEditDlg::IDC_SELECT_ALL)->click();
  EXPECT_EQ(Mask(), std::vector<std::uint8_t>(24, 0x00));
}

TEST_F(DetectionEditorTest, NumberBoxesClampAndKeepTheListChoices) {
  Open();
  dlg_->Item<ui::DropList>(CDetectionEditDlg::IDC_DETECT)->SetCurSel(1);
  struct Case {
    int id;
    const char* typed;
    const char* shown;
  } cases[] = {{CDetectionEditDlg::IDC_LS, "20", "15"}, {CDetectionEditDlg::IDC_RE, "70", "61"},
               {CDetectionEditDlg::IDC_TS, "7", "7"},   {CDetectionEditDlg::IDC_SS, "99999999999", "15"}};
  for (const Case& c : cases) {
    auto* edit = dlg_->Item<QLineEdit>(c.id);
    edit->clear();
    QTest::keyClicks(edit, QString::fromLatin1(c.typed));
    EXPECT_EQ(edit->text().toStdString(), c.shown) << c.typed;
  }
  EXPECT_EQ(dlg_->m_nLS, 15);
  EXPECT_EQ(dlg_->m_nRE, 61);
  EXPECT_EQ(dlg_->Item<ui::DropList>(CDetectionEditDlg::IDC_DETECT)->GetCurSel(), 1);
  EXPECT_EQ(dlg_->m_nDetect, 1);
}

TEST_F(DetectionEditorTest, AlarmListNamesFollowTheCapability) {
  for (std::uint32_t caps : {0u, 0x80u}) {
    app_->dw_FeatureFlags = caps;
    Open();
    auto* list = dlg_->Item<ui::DropList>(CDetectionEditDlg::IDC_ALARM);
    ASSERT_EQ(list->GetCount(), 3);
    EXPECT_EQ(list->itemText(0).toStdString(), caps ? "N.O." : "LOW");
    EXPECT_EQ(list->itemText(2).toStdString(), "OFF");
  }
}

// The picture the editor takes from the drawing, for the two stream sizes of a DVR: 640 x 228
// arrives line-doubled and is halved; 640 x 480 would not fit doubled and arrives as decoded.
TEST_F(DetectionEditorTest, PicturesFromTheDrawingAreHalved) {
  struct Case {
    int w, h;
    bool doubled;  // the grab holds the doubled picture
    QSize picture;
  } cases[] = {{640, 228, true, QSize(320, 228)}, {640, 480, false, QSize(320, 240)}};
  for (const Case& c : cases) {
    std::vector<std::uint8_t> frame(std::size_t(c.w) * c.h * 3);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>((i * 31) ^ (i >> 9));
    app_->lp_CurrentFrame = frame.data();
    app_->w_FrameWidth = static_cast<std::uint16_t>(c.w);
    app_->w_FrameHeight = static_cast<std::uint16_t>(c.h);
    LiveView view;
    Open();
    dlg_->OnSetup();
    ASSERT_TRUE(WaitUntil([&] { return dlg_->PictureRunning(); }, 5000, [&] {
      view.Show(*app_, false);
      ProcessEvents();
    }));
    ASSERT_EQ(dlg_->PictureSize(), c.picture) << c.h;
    const int gw = app_->w_GrabWidth.load(), gh = app_->w_GrabHeight.load();
    EXPECT_EQ(gh, c.doubled ? 2 * c.h : c.h);
    // Pixel (r, c) of the editor = drawn pixel (2r, 2c); rows counted from the top.
    const std::vector<std::uint8_t> pic = dlg_->PictureCopy();
    const int pw = c.picture.width(), ph = c.picture.height();
    for (int r : {0, 1, ph / 2, ph - 1}) {
      for (int col : {0, 3, pw - 1}) {
        const std::uint8_t* got = pic.data() + (std::size_t(ph - 1 - r) * pw + col) * 3;
        const std::uint8_t* drawn = grab_.data() + (std::size_t(gh - 1 - 2 * r) * gw + 2 * col) * 3;
        ASSERT_EQ(std::memcmp(got, drawn, 3), 0) << c.h << " " << r << "," << col;
      }
    }
    dlg_.reset();
    app_->lp_CurrentFrame = nullptr;
  }
}

TEST_F(DetectionEditorTest, TintAndOutlineOfTheComposedPicture) {
  Open();
  dlg_->OnSetup();
  ASSERT_TRUE(Feed(320, 240, 0x64));  // every channel 100
  // Cell (0, 0) in the area set, cell (0, 2) under the pointer.
  Click(Cell(0, 0));
  QTest::mouseMove(dlg_.get(), Cell(0, 2));
  const QImage img = dlg_->ComposedPicture();
  ASSERT_EQ(img.size(), QSize(320, 240));
  // Inside cell (0, 0): tinted 100*155/255 = 60, red + 100.
  EXPECT_EQ(img.pixelColor(5, 5), QColor(160, 60, 60));
  // Its outline yellow; the highlighted cell's outline blue; a plain cell untouched.
  EXPECT_EQ(img.pixelColor(0, 5), QColor(255, 255, 0));
  EXPECT_EQ(img.pixelColor(19, 19), QColor(255, 255, 0));
  EXPECT_EQ(img.pixelColor(40, 5), QColor(0, 0, 255));
  EXPECT_EQ(img.pixelColor(45, 5), QColor(100, 100, 100));
  EXPECT_EQ(img.pixelColor(5, 25), QColor(100, 100, 100));
}

TEST_F(DetectionEditorTest, WithoutAStreamTheViewStaysEmptyAndClosingEndsTheThread) {
  const std::size_t threads = plat::LiveThreadCount();
  Open();
  EXPECT_EQ(plat::LiveThreadCount(), threads + 1);
  dlg_->OnSetup();
  EXPECT_FALSE(dlg_->Item<QPushButton>(CDetectionEditDlg::IDC_SETUP)->isEnabled());
  EXPECT_TRUE(WaitUntil([&] { return app_->f_GrabRequest.load() != 0; }));
  EXPECT_TRUE(dlg_->ComposedPicture().isNull());
  // The pointer does nothing; the buttons work.
  const QRect v = dlg_->ViewRect();
  Click(v.topLeft() + QPoint(5, 5));
  EXPECT_EQ(Mask(), std::vector<std::uint8_t>(24, 0));
  dlg_->Item<QPushButton>(CDetectionEditDlg::IDC_CLEAR_ALL)->click();
  EXPECT_EQ(Mask(), std::vector<std::uint8_t>(24, 0xFF));
  dlg_.reset();
  EXPECT_EQ(plat::LiveThreadCount(), threads);
  EXPECT_EQ(app_->f_GrabRequest.load(), 0);
}

}  // namespace
