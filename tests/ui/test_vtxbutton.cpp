#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/VtxButton.h"

namespace {

class VtxButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    for (const char* name : {"flat", "focus", "sel", "n0", "h0", "n1", "h1"}) {
      QImage img(20, 10, QImage::Format_RGB32);
      img.fill(QColor::fromHsv((qHash(QString(name)) % 36) * 10, 200, 200));
      const QString path = dir_.filePath(QString(name) + ".bmp");
      ASSERT_TRUE(img.save(path, "BMP"));
      files_[name] = path.toStdString();
    }
  }
  std::string F(const char* name) { return files_[name]; }
  static QColor FaceColour(const CVtxButton& b) {
    return b.CurrentFace() ? QColor(b.CurrentFace()->pixel(0, 0)) : QColor();
  }
  QColor FileColour(const char* name) { return QColor(QImage(QString::fromStdString(F(name))).pixel(0, 0)); }

  QTemporaryDir dir_;
  std::map<std::string, std::string> files_;
};

TEST_F(VtxButtonTest, PushButtonShowsSelectedWhileDownAndTheClickSeesTheFlatFace) {
  QWidget owner;
  CVtxButton b;
  b.Create(QRect(0, 0, 20, 10), &owner, 1002);
  ASSERT_EQ(b.LoadButtonBitmap(F("flat"), F("focus"), F("sel"), VBS_PUSH), 1);
  QColor atClick;
  QObject::connect(&b, &QAbstractButton::clicked, [&] { atClick = FaceColour(b); });
  QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(FaceColour(b), FileColour("sel"));
  QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(FaceColour(b), FileColour("flat"));
  EXPECT_EQ(atClick, FileColour("flat"));
}

TEST_F(VtxButtonTest, MultiButtonStepsOnEachPressAndKeepsAnOutOfRangeIndex) {
  QWidget owner;
  CVtxButton b;
  b.Create(QRect(0, 0, 20, 10), &owner, 1);
  ASSERT_EQ(b.LoadButtonBitmap(2, {F("n0"), F("h0"), F("n1"), F("h1")}, VBS_MULTI), 1);
  QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(b.m_wImageIndex, 1);
  EXPECT_EQ(b.SetImageIndex(-1), 0);
  QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(b.m_wImageIndex, 0);
  EXPECT_EQ(b.SetImageIndex(1), 1);
  EXPECT_EQ(b.SetImageIndex(5), 1);
  EXPECT_EQ(b.m_wImageIndex, 1);
  EXPECT_EQ(FaceColour(b), FileColour("n1"));
}

TEST_F(VtxButtonTest, HoverFaceIsPaintedOncePerEntryAndLeavingRestoresTheNormalFace) {
  QWidget owner;
  CVtxButton b;
  b.Create(QRect(0, 0, 20, 10), &owner, 1);
  ASSERT_EQ(b.LoadButtonBitmap(F("flat"), F("focus"), F("focus"), VBS_HOVER), 1);
  auto move = [&](QPoint at) {
    QMouseEvent ev(QEvent::MouseMove, at, b.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&b, &ev);
  };
  move(QPoint(3, 3));
  EXPECT_EQ(b.m_bTracking, 1);
  move(QPoint(4, 4));  // still inside: no second entry
  EXPECT_EQ(b.m_bTracking, 1);
  EXPECT_EQ(FaceColour(b), FileColour("focus"));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&b, &leave);
  EXPECT_EQ(b.m_bTracking, 0);
  EXPECT_EQ(FaceColour(b), FileColour("flat"));
}

TEST_F(VtxButtonTest, FailedLoadsReturnZeroAndSingleLoadsReplaceThePicture) {
  CVtxButton b;
  EXPECT_EQ(b.LoadButtonBitmap(F("flat"), "missing.bmp", F("sel"), VBS_PUSH), 0);
  EXPECT_EQ(b.m_fPicturesLoaded, 0);
  EXPECT_EQ(b.SetImageIndex(0), -1);
  ASSERT_EQ(b.LoadButtonBitmap(F("n0"), VBS_SINGLE), 1);
  EXPECT_EQ(b.m_wImageCount, 0);
  ASSERT_EQ(b.LoadButtonBitmap(F("n1"), VBS_SINGLE), 1);
  EXPECT_EQ(FaceColour(b), FileColour("n1"));
}

TEST(VtxShape, BuildersGiveTheDocumentedOutlines) {
  CVtxShape capsule;
  capsule.CreateCapsule(QRect(0, 0, 40, 20));
  // R = 9, N = 9: 5 points about the right centre, 6 about the left, then the closing point.
  EXPECT_EQ(capsule.GetPointCount(0), 12);
  EXPECT_TRUE(capsule.IsConsistent());
  EXPECT_EQ(capsule.GetPoint(0, 0), CVtxPoint(30, 0));  // top of the right end
  // Two pixels high: radius 0 and no point count; one point at each centre, then the closing one.
  CVtxShape flat;
  flat.CreateCapsule(QRect(0, 0, 3, 2));
  ASSERT_EQ(flat.GetPointCount(0), 3);
  EXPECT_EQ(flat.GetPoint(0, 0), CVtxPoint(2, 0));
  EXPECT_EQ(flat.GetPoint(0, 1), CVtxPoint(0, 0));
  EXPECT_EQ(flat.GetPoint(1, 0), CVtxPoint(2, 1));

  CVtxShape circle;
  circle.CreateCircle(QRect(0, 0, 21, 21));
  EXPECT_EQ(circle.GetPointCount(0), 11);
  EXPECT_EQ(circle.GetPoint(0, 0), CVtxPoint(20, 10));
  EXPECT_EQ(circle.GetPoint(3, 0), CVtxPoint(16, 10));  // layer 3: radius 6

  CVtxShape rect;
  rect.CreateRectangle(QRect(0, 0, 10, 8));
  EXPECT_EQ(rect.GetPoint(2, 2), CVtxPoint(7, 5));
  QRegion region = rect.CreateLayerRegion(0);
  EXPECT_TRUE(region.contains(QPoint(4, 4)));
  EXPECT_FALSE(region.contains(QPoint(12, 4)));

  CVtxShape diamond;
  diamond.CreateDiamond(QRect(0, 0, 31, 11));
  EXPECT_EQ(diamond.GetPoint(0, 0), CVtxPoint(10, 5));
  EXPECT_EQ(diamond.GetPoint(1, 1), CVtxPoint(15, 1));
}

TEST(VtxColour, BlendAndGradient) {
  EXPECT_EQ(BlendColor(0x0000FF, 0xFF0000, 1.0), 0x0000FFu);
  EXPECT_EQ(BlendColor(0x0000FF, 0xFF0000, 0.5), 0x7F007Fu);
  EXPECT_NEAR(NormalizeAngle(-1, 0), 4.71238898038469, 1e-12);
  // Where u == 0 the result is c2.
  const std::uint32_t c = AngleGradientColor(QPoint(9, 11), QPoint(10, 10), 0x000000, 0xFFFFFF);
  EXPECT_EQ(c, 0xFFFFFFu);
}

}  // namespace
