// The icon button: setter results, colour shifts, image placement, the drawn states on the
// picture's pixels, and the three click actions.
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/support/QtWait.h"
#include "ui/IconButton.h"
#include "ui/Window.h"

namespace {

QImage Solid(int w, int h, QColor c) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(c);
  return image;
}

void Hover(CIconButton& b) {
  const QPointF at(b.width() / 2.0, b.height() / 2.0);
  QMouseEvent move(QEvent::MouseMove, at, b.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&b, &move);
}

QColor At(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

// A palette colour as the 32-bit picture holds it.
QColor Rgb(const QColor& c) { return QColor(c.rgb()); }

}  // namespace

TEST(IconButton, SetterResultsRefuseBadArgumentsAndChangeNothing) {
  CIconButton b;
  QColor before;
  ASSERT_EQ(b.GetStateColour(2, &before), IB_OK);
  EXPECT_EQ(b.SetStateColour(6, Qt::red), IB_INVALID_INDEX);
  EXPECT_EQ(b.GetStateColour(6, nullptr), IB_INVALID_INDEX);
  EXPECT_EQ(b.ShiftStateColour(6, 10), IB_INVALID_INDEX);
  EXPECT_EQ(b.ShiftStateColour(0, 256), IB_BAD_PARAM);
  EXPECT_EQ(b.SetImagePlacement(4), IB_INVALID_ALIGN);
  EXPECT_EQ(b.SetPressShift(2), IB_INVALID_PRESSED_STYLE);
  EXPECT_EQ(b.CaptureBackground(), IB_BAD_PARAM);  // no transparent look, no parent
  EXPECT_EQ(b.SetPopupMenu(nullptr, nullptr), IB_INVALID_RESOURCE);
  EXPECT_EQ(b.SetIconPairIds(987654, 0), IB_INVALID_RESOURCE);
  EXPECT_TRUE(b.ActiveImage().isNull());
  EXPECT_EQ(b.SetBitmapPairFiles("no/such/picture.bmp", Qt::red, "", Qt::red), IB_INVALID_RESOURCE);
  QColor after;
  b.GetStateColour(2, &after);
  EXPECT_EQ(after, before);

  // A link target is kept whole or refused, never cut into another one.
  EXPECT_EQ(b.SetLinkTarget(std::string(260, 'a')), IB_OK);
  EXPECT_EQ(b.SetLinkTarget(std::string(261, 'b')), IB_INVALID_RESOURCE);
  EXPECT_EQ(b.LinkTarget(), std::string(260, 'a'));
}

TEST(IconButton, ShiftKeepsEveryChannelInRange) {
  struct Case {
    QColor from;
    int shade;
    QColor to;
  } cases[] = {
      {QColor(250, 10, 10), 20, QColor(255, 15, 15)},
      {QColor(250, 10, 10), -20, QColor(240, 0, 0)},
      {QColor(100, 100, 100), 255, QColor(255, 255, 255)},
      {QColor(0, 0, 0), -5, QColor(0, 0, 0)},
  };
  for (const Case& c : cases) {
    CIconButton b;
    b.SetStateColour(0, c.from);
    EXPECT_EQ(b.ShiftStateColour(0, c.shade), IB_OK);
    QColor got;
    b.GetStateColour(0, &got);
    EXPECT_EQ(got, c.to) << c.from.name().toStdString() << " by " << c.shade;
  }
}

TEST(IconButton, ImageAndCaptionPlacement) {
  CIconButton b;
  const QRect client(0, 0, 100, 40);
  struct Case {
    int placement;
    bool caption;
    QRect image;
  } cases[] = {
      {0, true, QRect(3, 12, 16, 16)},  {0, false, QRect(42, 12, 16, 16)}, {1, true, QRect(42, 3, 16, 16)},
      {1, false, QRect(42, 12, 16, 16)}, {2, true, QRect(81, 12, 16, 16)}, {2, false, QRect(42, 0, 16, 16)},
      {3, true, QRect(0, 0, 16, 16)},   {3, false, QRect(0, 0, 16, 16)},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(b.SetImagePlacement(c.placement), IB_OK);
    EXPECT_EQ(b.ImageRect(client, 16, 16, c.caption, false), c.image) << "placement " << c.placement;
    // Pressed, the image moves by the press shift.
    EXPECT_EQ(b.ImageRect(client, 16, 16, c.caption, true), c.image.translated(1, 1));
  }
  b.SetImagePlacement(0);
  EXPECT_EQ(b.CaptionRect(client, 16, 16, false).left(), 19);
  b.SetImagePlacement(1);
  EXPECT_EQ(b.CaptionRect(client, 16, 16, false).top(), 16);
  b.SetImagePlacement(2);
  EXPECT_EQ(b.CaptionRect(client, 16, 16, false), QRect(QPoint(3, 0), QPoint(80, 39)));
  b.SetPressShift(1);
  EXPECT_EQ(b.CaptionRect(client, 16, 16, true).topLeft(), QPoint(3, 2));
}

TEST(IconButton, GreyIdleCopyAwayColouredWhenHovered) {
  QWidget parent;
  CIconButton b(&parent);
  b.setGeometry(0, 0, 40, 30);
  QImage picture = Solid(10, 10, QColor(200, 40, 40));
  picture.setPixel(0, 0, qRgb(255, 0, 255));  // transparent colour
  ASSERT_EQ(b.SetBitmapPair(picture, QColor(255, 0, 255), IB_AUTO_GRAY), IB_OK);
  const QRect at = b.ImageRect(b.rect(), 10, 10, false, false);

  const int grey = static_cast<int>(0.299 * 200 + 0.587 * 40 + 0.114 * 40);
  QImage away = b.DrawItem(false, false, false);
  EXPECT_EQ(At(away, at.left() + 5, at.top() + 5), QColor(grey, grey, grey));
  // The transparent corner shows the background, not the picture's colour.
  EXPECT_NE(At(away, at.left(), at.top()), QColor(255, 0, 255));

  parent.show();
  Hover(b);
  EXPECT_TRUE(b.IsHovered());
  EXPECT_EQ(At(b.DrawItem(false, false, false), at.left() + 5, at.top() + 5), QColor(200, 40, 40));
  // Pressed shows the active picture too (moved by the press shift).
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&b, &leave);
  EXPECT_FALSE(b.IsHovered());
  EXPECT_EQ(At(b.DrawItem(true, false, false), at.left() + 6, at.top() + 6), QColor(200, 40, 40));

  // The darker copy: c - c/4, truncated.
  ASSERT_EQ(b.SetBitmapPair(picture, QColor(255, 0, 255), IB_AUTO_DARK), IB_OK);
  EXPECT_EQ(At(b.DrawItem(false, false, false), at.left() + 5, at.top() + 5), QColor(150, 30, 30));
}

TEST(IconButton, StatesOnThePixels) {
  CIconButton b;
  b.resize(40, 30);
  const QPalette pal = b.palette();
  const QColor shadow = Rgb(pal.color(QPalette::Dark)), highlight = Rgb(pal.color(QPalette::Light));
  b.SetStateColour(CIconButton::BTNST_COLOR_BK_IN, QColor(1, 2, 3));
  b.SetStateColour(CIconButton::BTNST_COLOR_BK_OUT, QColor(10, 20, 30));
  b.SetStateColour(CIconButton::BTNST_COLOR_BK_FOCUS, QColor(40, 50, 60));

  // Flat and idle: no border, the normal background.
  QImage idle = b.DrawItem(false, false, false);
  EXPECT_EQ(At(idle, 0, 0), QColor(10, 20, 30));
  // Pressed, flat with a flat border: sunken (shadow top-left, highlight bottom-right).
  QImage pressed = b.DrawItem(true, false, false);
  EXPECT_EQ(At(pressed, 0, 0), shadow);
  EXPECT_EQ(At(pressed, 39, 29), highlight);
  EXPECT_EQ(At(pressed, 20, 15), QColor(1, 2, 3));
  // Focused: the focus background.
  EXPECT_EQ(At(b.DrawItem(false, true, false), 10, 10), QColor(40, 50, 60));

  // Not flat: a raised two-pixel frame; focused, a black frame first and a focus rectangle.
  b.SetFlatLook(false);
  QImage raised = b.DrawItem(false, false, false);
  EXPECT_EQ(At(raised, 0, 0), highlight);
  EXPECT_EQ(At(raised, 39, 29), Rgb(pal.color(QPalette::Shadow)));
  EXPECT_EQ(At(raised, 1, 1), Rgb(pal.color(QPalette::Midlight)));
  QImage focused = b.DrawItem(false, true, false);
  EXPECT_EQ(At(focused, 0, 0), QColor(Qt::black));
  EXPECT_EQ(At(focused, 3, 3), QColor(Qt::black));  // the dotted focus rectangle starts there

  // Disabled icon: embossed in highlight and shadow, its own colours gone.
  b.SetFlatLook(true);
  QImage icon(8, 8, QImage::Format_ARGB32);
  icon.fill(qRgba(0, 200, 0, 255));
  ASSERT_EQ(b.SetIconPair(icon, QImage()), IB_OK);
  const QRect at = b.ImageRect(b.rect(), 8, 8, false, false);
  QImage disabled = b.DrawItem(false, false, true);
  EXPECT_EQ(At(disabled, at.left() + 3, at.top() + 3), shadow);
  EXPECT_EQ(At(disabled, at.right() + 1, at.bottom() + 1), highlight);
  EXPECT_EQ(At(b.DrawItem(false, false, false), at.left() + 3, at.top() + 3), QColor(0, 200, 0));
}

TEST(IconButton, CheckBoxToggles) {
  CIconButton b;
  b.PreSubclassWindow(BS_CHECKBOX_TYPE);
  EXPECT_FALSE(b.IsDefaultButton());
  EXPECT_EQ(b.GetDlgCode(), DLGC_UNDEFPUSHBUTTON_CODE);
  b.click();
  EXPECT_TRUE(b.IsChecked());
  EXPECT_EQ(b.GetCheckMessage(), 1);
  b.click();
  EXPECT_EQ(b.GetCheckMessage(), 0);
  b.SetCheckMessage(2);
  EXPECT_TRUE(b.IsChecked());
  // A checked box draws pressed: the sunken border.
  b.resize(20, 20);
  EXPECT_EQ(At(b.DrawItem(false, false, false), 0, 0), Rgb(b.palette().color(QPalette::Dark)));

  CIconButton def;
  def.PreSubclassWindow(BS_DEFPUSHBUTTON_TYPE);
  EXPECT_TRUE(def.IsDefaultButton());
  EXPECT_EQ(def.GetDlgCode(), DLGC_DEFPUSHBUTTON_CODE);
  def.SetChecked(true);  // only a check box keeps a check
  EXPECT_FALSE(def.IsChecked());
}

TEST(IconButton, PopupMenuNotifiesThenPostsTheChosenCommand) {
  ui::Window owner;
  CIconButton b(&owner);
  auto menu = std::make_unique<QMenu>();
  QMenu* sub = menu->addMenu(QStringLiteral("sub"));
  sub->addAction(QStringLiteral("item"))->setData(42);
  plat::WPARAM notifiedMenu = 0;
  plat::LPARAM notifiedValue = 0;
  owner.OnMessage(0x0500, [&](plat::WPARAM w, plat::LPARAM l) {
    notifiedMenu = w;
    notifiedValue = l;
    return plat::LPARAM(0);
  });
  int ran = 0;
  owner.OnCommand(42, [&] { ++ran; });
  bool showingWhileOpen = false;
  b.trackPopup = [&](QMenu* m, const QPoint&) {
    showingWhileOpen = b.IsMenuShowing();
    return m == sub ? 42 : 0;
  };
  ASSERT_EQ(b.SetPopupMenu(std::move(menu), &owner), IB_OK);
  b.SetPopupMenuNotify(&owner, 0x0500, 7);
  b.click();
  EXPECT_EQ(notifiedMenu, reinterpret_cast<plat::WPARAM>(sub));
  EXPECT_EQ(notifiedValue, 7);
  EXPECT_TRUE(showingWhileOpen);
  EXPECT_FALSE(b.IsMenuShowing());
  EXPECT_EQ(ran, 0);  // posted, not called
  ProcessEvents();
  EXPECT_EQ(ran, 1);
}

TEST(IconButton, LinkTargetOpensWithTheDesktopHandler) {
  QString opened;
  ui::SetShellOpenHandler([&](const QString& target) {
    opened = target;
    return true;
  });
  CIconButton b;
  b.SetLinkTarget("https://example.invalid/help");
  int clicks = 0;
  QObject::connect(&b, &QPushButton::clicked, [&] { ++clicks; });
  b.click();
  ui::SetShellOpenHandler(nullptr);
  EXPECT_EQ(opened, QStringLiteral("https://example.invalid/help"));
  EXPECT_EQ(clicks, 1);  // the owner hears the click too
}

TEST(IconButton, TipTextAndImageResources) {
  CIconButton b;
  b.SetTipText(QStringLiteral("Open the calendar"), false);
  EXPECT_TRUE(b.toolTip().isEmpty());
  b.EnableTip(true);
  EXPECT_EQ(b.toolTip(), QStringLiteral("Open the calendar"));

  QImage icon(6, 4, QImage::Format_ARGB32);
  icon.fill(qRgba(255, 255, 0, 255));
  ui::RegisterImageResource(31001, icon);
  ASSERT_EQ(b.SetIconPairIds(31001, IB_AUTO_GRAY), IB_OK);
  EXPECT_EQ(b.IdleImage().pixel(1, 1), qRgba(225, 225, 225, 255));  // 0.299*255 + 0.587*255, truncated
  ASSERT_EQ(b.FitWindowToImage(), IB_OK);
  EXPECT_EQ(b.size(), QSize(6, 4));
  EXPECT_EQ(b.SetCursorResource(31001), IB_OK);
  EXPECT_EQ(b.SetCursorResource(31002), IB_INVALID_RESOURCE);
}
