// Controls placed by pixel widths grow to their text in the font in use; list columns grow to
// their headings and cells; a click into a date or time box selects the field under it.
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimeEdit>
#include <memory>
#include <gtest/gtest.h>

#include "tests/support/QtWait.h"
#include "ui/Controls.h"
#include "ui/Window.h"

namespace {

int TextWidthOf(const QWidget* w, const QString& text) { return QFontMetrics(w->font()).horizontalAdvance(text); }

}  // namespace

TEST(TextFit, ControlsGrowToTheirTextAndKeepTheirAnchor) {
  ui::Window window;
  window.resize(600, 300);
  const QString longText = QStringLiteral("A label text much longer than twenty pixels");
  auto* left = new QLabel(longText, &window);
  left->setGeometry(10, 10, 20, 20);
  auto* right = new QLabel(longText, &window);
  right->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  right->setGeometry(500, 40, 20, 20);
  auto* centre = new QLabel(longText, &window);
  centre->setAlignment(Qt::AlignCenter);
  centre->setGeometry(300, 70, 20, 20);
  auto* wide = new QLabel(QStringLiteral("ok"), &window);
  wide->setGeometry(10, 100, 200, 20);
  auto* group = new QGroupBox(QStringLiteral("group"), &window);
  group->setGeometry(10, 130, 500, 60);
  auto* check = new QCheckBox(QStringLiteral("A check box in a group"), group);
  check->setGeometry(10, 20, 20, 20);
  auto* radio = new QRadioButton(QStringLiteral("A radio button"), &window);
  radio->setGeometry(10, 200, 20, 20);
  auto* button = new QPushButton(QStringLiteral("Alarm\nRefresh and more"), &window);
  button->setGeometry(10, 230, 20, 40);
  auto* wrapped = new QLabel(longText, &window);
  wrapped->setWordWrap(true);
  wrapped->setGeometry(300, 230, 40, 60);

  window.show();

  EXPECT_EQ(left->x(), 10);
  EXPECT_GE(left->width(), TextWidthOf(left, longText));
  EXPECT_EQ(right->geometry().right(), 519);  // the right edge stays
  EXPECT_GE(right->width(), TextWidthOf(right, longText));
  EXPECT_LE(std::abs(centre->geometry().center().x() - 309), 1);  // so does the centre
  EXPECT_GE(centre->width(), TextWidthOf(centre, longText));
  EXPECT_EQ(wide->width(), 200);  // never narrower
  EXPECT_GT(check->width(), TextWidthOf(check, check->text()));
  EXPECT_GT(radio->width(), TextWidthOf(radio, radio->text()));
  EXPECT_GT(button->width(), TextWidthOf(button, QStringLiteral("Refresh and more")));
  EXPECT_LT(button->width(), TextWidthOf(button, button->text().replace('\n', ' ')));  // the widest line counts
  EXPECT_EQ(wrapped->width(), 40);

  // A text set later through the window fits too.
  auto* status = new QLabel(QString(), &window);
  status->setGeometry(10, 280, 20, 16);
  window.AddControl(77, status);
  window.SetDlgItemText(77, longText);
  EXPECT_GE(status->width(), TextWidthOf(status, longText));
}

TEST(TextFit, ADialogGrowsToHoldControlsThatGrewPastItsEdge) {
  ui::Window dialog;
  dialog.setFixedSize(120, 40);
  auto* ok = new QPushButton(QStringLiteral("A much longer caption"), &dialog);
  ok->setGeometry(90, 4, 24, 30);
  auto* inside = new QLabel(QStringLiteral("x"), &dialog);
  inside->setGeometry(0, 0, 10, 40);  // at the bottom edge: no growth for it
  dialog.show();
  EXPECT_GE(dialog.width(), ok->geometry().x() + ok->width());
  EXPECT_EQ(dialog.minimumWidth(), dialog.maximumWidth());  // still of fixed size
  EXPECT_EQ(dialog.height(), 40);
}

TEST(TextFit, ALayoutKeepsSizingItsControls) {
  ui::Window window;
  auto* layout = new QHBoxLayout(&window);
  auto* label = new QLabel(QStringLiteral("placed by the layout"), &window);
  layout->addWidget(label);
  window.resize(400, 100);
  window.show();
  ProcessEvents();
  const QRect placed = label->geometry();
  ui::FitTextWidths(&window);
  EXPECT_EQ(label->geometry(), placed);
}

TEST(TextFit, ListColumnsGrowToHeadingAndCells) {
  ui::ReportList list;
  list.resize(600, 200);
  const QString heading = QStringLiteral("Resolution");
  list.InsertColumn(0, QStringLiteral("Name"), 10);
  list.InsertColumn(1, heading, 10);
  list.InsertColumn(2, QStringLiteral("IP"), 300);
  const int margin = 2 * (list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list) + 1);
  EXPECT_GE(list.columnWidth(1), list.header()->sectionSizeHint(1));
  EXPECT_EQ(list.columnWidth(2), 300);
  const QString name = QStringLiteral("administrator");
  const QString address = QStringLiteral("192.168.100.200");
  const int row = list.InsertItem(0, name);
  list.SetItemText(row, 1, address);
  EXPECT_GE(list.columnWidth(0), TextWidthOf(&list, name) + margin);
  EXPECT_GE(list.columnWidth(1), TextWidthOf(&list, address) + margin);
  EXPECT_EQ(list.columnWidth(2), 300);
}

TEST(DateTimeFields, DigitsTypedAfterASingleClickReplaceTheField) {
  struct Case {
    bool picker;        // the pages' picker, or a plain time box given the same behaviour
    const char* format;
    const char* field;  // the text of the field clicked
    const char* typed;
    const char* shown;
  } cases[] = {
      {true, "HH : mm : ss", "34", "07", "12 : 07 : 56"},
      {true, "HH : mm : ss", "12", "09", "09 : 34 : 56"},
      {true, "yyyy - MM - dd", "03", "11", "2021 - 11 - 04"},
      {false, "HH : mm : ss", "56", "42", "12 : 34 : 42"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<QDateTimeEdit> edit;
    if (c.picker) {
      auto picker = std::make_unique<ui::DateTimePicker>();
      picker->SetFormat(QString::fromLatin1(c.format));
      picker->SetTime(QDateTime(QDate(2021, 3, 4), QTime(12, 34, 56)));
      edit = std::move(picker);
    } else {
      auto time = std::make_unique<QTimeEdit>();
      time->setDisplayFormat(QString::fromLatin1(c.format));
      time->setTime(QTime(12, 34, 56));
      ui::SelectFieldOnClick(time.get());
      edit = std::move(time);
    }
    edit->resize(200, 24);
    edit->show();
    QApplication::setActiveWindow(edit.get());
    auto* line = edit->findChild<QLineEdit*>();
    ASSERT_NE(line, nullptr);
    // The middle of the field's text.
    const int at = line->text().indexOf(QString::fromLatin1(c.field));
    ASSERT_GE(at, 0) << c.format;
    const QFontMetrics fm(line->font());
    const int leftMargin = line->textMargins().left() + line->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 2;
    const int x = leftMargin + fm.horizontalAdvance(line->text().left(at)) +
                  fm.horizontalAdvance(QString::fromLatin1(c.field)) / 2;
    QTest::mouseClick(line, Qt::LeftButton, Qt::NoModifier, QPoint(x, line->height() / 2));
    QTest::keyClicks(line, QString::fromLatin1(c.typed));
    EXPECT_EQ(line->text().toStdString(), c.shown) << c.format << " " << c.field;
  }
}
