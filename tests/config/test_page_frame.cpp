// The page frame's drawing (gradient caption bar, icon, elided caption, empty-page text) and the
// tree sheet's optional configuration (tree images, fallback pictures, page icons, empty text).
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <memory>
#include <gtest/gtest.h>

#include "config/MySystemDialog.h"
#include "config/PageFrame.h"
#include "config/TreePropSheet.h"
#include "tests/config/page_model_fixture.h"
#include "tests/support/TempDir.h"

namespace {

QIcon SolidIcon(QColor colour, int size = 16) {
  QPixmap p(size, size);
  p.fill(colour);
  return QIcon(p);
}

QColor IconColour(const QIcon& icon) {
  if (icon.isNull()) return QColor();
  return icon.pixmap(16, 16).toImage().pixelColor(8, 8);
}

// Columns of `image` (within rows top..bottom) where it differs from `plain`.
std::pair<int, int> ChangedColumns(const QImage& image, const QImage& plain, int top, int bottom) {
  int first = -1, last = -1;
  for (int x = 0; x < image.width(); ++x) {
    for (int y = top; y <= bottom; ++y) {
      if (image.pixel(x, y) != plain.pixel(x, y)) {
        if (first < 0) first = x;
        last = x;
        break;
      }
    }
  }
  return {first, last};
}

class PageFrameDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.resize(320, 220);
    frame_ = new CSheetPageFrameWnd;
    frame_->CreateFrameWindow(QRect(0, 0, 300, 200), &host_, 0xFFFF);
  }
  QWidget host_;
  CSheetPageFrameWnd* frame_ = nullptr;  // owned by host_
};

}  // namespace

TEST_F(PageFrameDrawing, CaptionBarIsAGradientFromTheCaptionColourToTheBackground) {
  const QColor background = frame_->palette().color(QPalette::Window);
  const QImage fresh = frame_->Render();
  for (QPoint p : {QPoint(0, 0), QPoint(150, 10), QPoint(299, 199)}) EXPECT_EQ(fresh.pixelColor(p), background);

  frame_->EnableCaption(true);
  frame_->SetCaptionBarHeight(20);
  const QImage bar = frame_->Render();
  const QColor start = frame_->palette().color(QPalette::Inactive, QPalette::Highlight);
  EXPECT_EQ(bar.pixelColor(0, 0), start);
  EXPECT_EQ(bar.pixelColor(0, 19), start);
  EXPECT_EQ(bar.pixelColor(0, 20), background);  // the bar is 20 rows
  const QColor end = bar.pixelColor(299, 0);
  EXPECT_LE(std::abs(end.red() - background.red()), 1);
  EXPECT_LE(std::abs(end.green() - background.green()), 1);
  EXPECT_LE(std::abs(end.blue() - background.blue()), 1);
  // Halfway the colour is halfway.
  const QColor mid = bar.pixelColor(150, 2);
  EXPECT_LE(std::abs(mid.red() - (start.red() + background.red()) / 2), 2);
  EXPECT_LE(std::abs(mid.blue() - (start.blue() + background.blue()) / 2), 2);
}

TEST_F(PageFrameDrawing, IconAndTextOffsetsAndTheEllipsis) {
  frame_->EnableCaption(true);
  frame_->SetCaptionBarHeight(24);
  const QImage plain = frame_->Render();
  frame_->SetCaptionTextIcon(QStringLiteral("Mail"), QIcon());
  const auto [textFrom, textTo] = ChangedColumns(frame_->Render(), plain, 0, 23);
  EXPECT_GE(textFrom, 2);
  EXPECT_LE(textFrom, 4);

  frame_->SetCaptionTextIcon(QStringLiteral("Mail"), SolidIcon(Qt::red));
  const QImage withIcon = frame_->Render();
  EXPECT_EQ(withIcon.pixelColor(3, 12), QColor(Qt::red));
  EXPECT_EQ(withIcon.pixelColor(18, 4), QColor(Qt::red));  // rows 4..19: centred in 24
  EXPECT_NE(withIcon.pixelColor(18, 3), QColor(Qt::red));
  EXPECT_NE(withIcon.pixelColor(19, 12), QColor(Qt::red));
  const auto [iconTextFrom, iconTextTo] = ChangedColumns(withIcon, plain, 0, 23);
  EXPECT_EQ(iconTextFrom, 3);
  EXPECT_EQ(iconTextTo - textTo, 19);  // the text moved right by the icon's 16 and 3

  // A caption longer than the bar ends in an ellipsis instead of running out of it.
  const QString longCaption = QString(60, QLatin1Char('W'));
  frame_->SetCaptionTextIcon(longCaption, QIcon());
  const QImage cut = frame_->Render();
  const auto [cutFrom, cutTo] = ChangedColumns(cut, plain, 0, 23);
  EXPECT_LT(cutTo, 300);
  const QString elided = QFontMetrics(frame_->font()).elidedText(longCaption, Qt::ElideRight, 298);
  ASSERT_TRUE(elided.endsWith(QChar(0x2026)));
  frame_->SetCaptionTextIcon(elided, QIcon());
  EXPECT_EQ(frame_->Render(), cut);
}

TEST_F(PageFrameDrawing, EmptyTextIsCentredBelowTheCaptionBarAndNothingWhenEmpty) {
  frame_->EnableCaption(true);
  frame_->SetCaptionBarHeight(40);
  const QImage plain = frame_->Render();
  frame_->SetEmptyText(QString());
  EXPECT_EQ(frame_->Render(), plain);
  frame_->SetEmptyText(QStringLiteral("No page"));
  const QImage text = frame_->Render();
  int top = -1, bottom = -1;
  for (int y = 0; y < text.height(); ++y) {
    for (int x = 0; x < text.width(); ++x) {
      if (text.pixel(x, y) != plain.pixel(x, y)) {
        if (top < 0) top = y;
        bottom = y;
        break;
      }
    }
  }
  ASSERT_GE(top, 41);
  const auto [left, right] = ChangedColumns(text, plain, 41, 199);
  EXPECT_LE(std::abs((left + right) / 2 - 150), 3);
  EXPECT_LE(std::abs((top + bottom) / 2 - (41 + 199) / 2), 4);
  // Another format moves it: to the top left of the same area.
  EXPECT_EQ(frame_->SetEmptyTextFormat(Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine),
            CSheetPageFrame::kDefaultEmptyTextFormat);
  const auto [leftNow, rightNow] = ChangedColumns(frame_->Render(), plain, 41, 199);
  EXPECT_LE(leftNow, 2);
}

// ---- the sheet's optional configuration ----------------------------------------------------------

namespace {

class TreeOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { model_.Connect("K40R", "1100"); }
  static int PageIndex(MySystemDialog& sheet, const ui::PropertyPage& page) { return sheet.GetPageIndex(&page); }
  TestPageModel model_;
};

}  // namespace

TEST_F(TreeOptionsTest, OptionsAreTakenBeforeTheWindowOnly) {
  MySystemDialog sheet;
  EXPECT_EQ(sheet.ChangeEmptyTextFormat(Qt::AlignLeft), 0u);  // no frame yet
  EXPECT_TRUE(sheet.SetTreeOptions(true, true, true));
  EXPECT_TRUE(sheet.SetTreePaneWidth(180));
  sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  EXPECT_TRUE(sheet.TreeImagesOn());
  EXPECT_EQ(sheet.TreeRect().width(), 175);
  EXPECT_FALSE(sheet.SetTreeOptions(true, true, false));
  EXPECT_FALSE(sheet.SetTreePaneWidth(100));
  EXPECT_TRUE(sheet.TreeImagesOn());
  EXPECT_EQ(sheet.ChangeEmptyTextFormat(Qt::AlignLeft), CSheetPageFrame::kDefaultEmptyTextFormat);
  EXPECT_EQ(sheet.GetPageFrame()->GetEmptyTextFormat(), unsigned(Qt::AlignLeft));
  sheet.CloseSheet();
  // Outside tree mode the other two flags are not taken.
  MySystemDialog tabs;
  EXPECT_TRUE(tabs.SetTreeOptions(false, false, true));
  EXPECT_FALSE(tabs.TreeImagesOn());
}

TEST_F(TreeOptionsTest, TreeImagesArePageIconsThenTheFallbacks) {
  MySystemDialog sheet;
  ASSERT_TRUE(sheet.SetTreeOptions(true, true, true));
  EXPECT_FALSE(sheet.UseFallbackImages({SolidIcon(Qt::blue)}));
  EXPECT_FALSE(sheet.UseFallbackImages({SolidIcon(Qt::blue), SolidIcon(Qt::green), SolidIcon(Qt::red)}));
  ASSERT_TRUE(sheet.UseFallbackImages({SolidIcon(Qt::blue), SolidIcon(Qt::green)}));
  ASSERT_TRUE(CTreePropSheet::AttachPageIcon(&sheet.m_MailPage, SolidIcon(Qt::red)));
  sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  ASSERT_EQ(sheet.TreeImages().size(), 3);  // the mail page's icon, the group and the page fallback
  const int mail = PageIndex(sheet, sheet.m_MailPage);
  const int ftp = PageIndex(sheet, sheet.m_FtpPage);
  EXPECT_EQ(IconColour(sheet.FindPageItem(mail)->icon(0)), QColor(Qt::red));
  EXPECT_EQ(IconColour(sheet.FindPageItem(ftp)->icon(0)), QColor(Qt::green));
  // The caption bar shows the selected item's picture.
  ASSERT_TRUE(sheet.SelectPageItem(mail));
  auto* frame = static_cast<CSheetPageFrameWnd*>(sheet.GetPageFrame());
  ASSERT_FALSE(frame->CaptionIconImage().isNull());
  EXPECT_EQ(frame->CaptionIconImage().pixelColor(8, 8), QColor(Qt::red));
  ASSERT_TRUE(sheet.SelectPageItem(ftp));
  EXPECT_EQ(frame->CaptionIconImage().pixelColor(8, 8), QColor(Qt::green));
  // New fallbacks refill the open tree.
  ASSERT_TRUE(sheet.UseFallbackImages({SolidIcon(Qt::blue), SolidIcon(Qt::yellow)}));
  EXPECT_EQ(IconColour(sheet.FindPageItem(ftp)->icon(0)), QColor(Qt::yellow));
  sheet.CloseSheet();
}

TEST_F(TreeOptionsTest, WithoutTreeImagesTheCaptionShowsTheVisiblePagesIcon) {
  MySystemDialog sheet;
  ASSERT_TRUE(CTreePropSheet::AttachPageIcon(&sheet.m_MailPage, SolidIcon(Qt::red)));
  sheet.CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
  auto* frame = static_cast<CSheetPageFrameWnd*>(sheet.GetPageFrame());
  ASSERT_TRUE(sheet.SelectPageItem(PageIndex(sheet, sheet.m_MailPage)));
  EXPECT_TRUE(sheet.FindPageItem(PageIndex(sheet, sheet.m_MailPage))->icon(0).isNull());
  ASSERT_FALSE(frame->CaptionIconImage().isNull());
  EXPECT_EQ(frame->CaptionIconImage().pixelColor(8, 8), QColor(Qt::red));
  ASSERT_TRUE(sheet.SelectPageItem(PageIndex(sheet, sheet.m_FtpPage)));
  EXPECT_TRUE(frame->CaptionIconImage().isNull());
  sheet.CloseSheet();
}

TEST_F(TreeOptionsTest, FallbackBitmapsAndPageIcons) {
  TempDir dir;
  auto bitmap = [&](int width, const char* name) {
    QImage image(width, 16, QImage::Format_RGB32);
    image.fill(Qt::red);  // the mask colour
    QPainter(&image).fillRect(QRect(2, 2, 4, 4), Qt::blue);
    const std::string path = dir.Folder() + name;
    image.save(QString::fromStdString(path), "BMP");
    return QString::fromStdString(path);
  };
  CTreePropSheet sheet(QStringLiteral("sheet"));
  struct Case {
    QString path;
    int width;
    bool ok;
  } cases[] = {{bitmap(32, "two.bmp"), 16, true},
               {bitmap(48, "three.bmp"), 16, false},
               {QString::fromStdString(dir.Folder() + "missing.bmp"), 16, false},
               {bitmap(32, "zero.bmp"), 0, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(sheet.LoadFallbackImages(c.path, c.width, Qt::red), c.ok) << c.path.toStdString();
    EXPECT_EQ(sheet.FallbackImages().size(), c.ok ? 2 : 0) << c.path.toStdString();
  }
  ASSERT_TRUE(sheet.LoadFallbackImages(cases[0].path, 16, Qt::red));
  const QImage first = sheet.FallbackImages()[0].pixmap(16, 16).toImage();
  EXPECT_EQ(first.pixelColor(3, 3), QColor(Qt::blue));
  EXPECT_EQ(first.pixelColor(10, 10).alpha(), 0);  // the mask colour is see-through

  ui::PropertyPage page(QStringLiteral("Mail"));
  EXPECT_FALSE(CTreePropSheet::ReleasePageIcon(&page));
  EXPECT_FALSE(CTreePropSheet::AttachPageIcon(&page, QString::fromStdString(dir.Folder() + "missing.ico")));
  EXPECT_FALSE(CTreePropSheet::AttachPageIcon(&page, sheet.FallbackImages(), 2));
  EXPECT_FALSE(page.HasPageIcon());
  ASSERT_TRUE(CTreePropSheet::AttachPageIcon(&page, sheet.FallbackImages(), 1));
  EXPECT_TRUE(page.HasPageIcon());
  ASSERT_TRUE(CTreePropSheet::AttachPageIcon(&page, cases[0].path));
  EXPECT_TRUE(CTreePropSheet::ReleasePageIcon(&page));
  EXPECT_FALSE(page.HasPageIcon());
  EXPECT_FALSE(CTreePropSheet::ReleasePageIcon(&page));
}
