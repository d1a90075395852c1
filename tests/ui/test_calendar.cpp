// The calendar window and the date-time editor: calendar arithmetic, the day cells, the
// navigation buttons, a day pick reaching the editor, and the editor's entry by field.
#include <QApplication>
#include <QLocale>
#include <QTest>
#include <gtest/gtest.h>

#include "ui/Calendar.h"
#include "ui/IconButton.h"

namespace {

QDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// Virtual keys.
constexpr int kUp = 0x26, kDown = 0x28, kHome = 0x24, kEnd = 0x23, kLeft = 0x25, kRight = 0x27;
int Digit(int d) { return 0x30 + d; }
int Letter(char c) { return c; }

class LocaleScope {
 public:
  explicit LocaleScope(const char* name) : saved_(QLocale()) { QLocale::setDefault(QLocale(QString::fromLatin1(name))); }
  ~LocaleScope() { QLocale::setDefault(saved_); }

 private:
  QLocale saved_;
};

// An editor in a window, its value set, the field with `code` made current by a click.
struct EditorFixture {
  explicit EditorFixture(const char* locale, bool showTime = true) : scope(locale), editor(showTime) {
    editor.Create(&window, 10, 10);
    window.show();
    editor.beep = [this] { ++beeps; };
  }
  void Select(int code) {
    for (int i = 0; i < editor.FieldCount(); ++i) {
      if (editor.FieldCode(i) == code) {
        QTest::mouseClick(&editor, Qt::LeftButton, Qt::NoModifier, editor.MeasureFields(i).center());
        return;
      }
    }
    FAIL() << "no field " << code;
  }
  LocaleScope scope;
  QWidget window;
  CDateTimeEditor editor;
  int beeps = 0;
};

}  // namespace

TEST(Calendar, LeapYearsAndWeekdaysForBothCalendars) {
  EXPECT_EQ(DaysInMonth(2, 2000), 29);
  EXPECT_EQ(DaysInMonth(2, 2100), 28);
  EXPECT_EQ(DaysInMonth(2, 2024), 29);
  EXPECT_EQ(DaysInMonth(4, 2023), 30);
  struct Leap {
    int year;
    bool gregorian, other;
  } leaps[] = {{1900, false, true}, {2000, true, true}, {2024, true, true}, {2100, false, true}, {2023, false, false}};
  for (const Leap& l : leaps) {
    EXPECT_EQ(CCalendarWnd::IsLeapYear(l.year, 1), l.gregorian) << l.year;
    EXPECT_EQ(CCalendarWnd::IsLeapYear(l.year, 0), l.other) << l.year;
  }
  struct Day {
    int d, m, y, calendar, weekday;
  } days[] = {
      {1, 1, 1900, 1, 1},   // Monday
      {1, 1, 2000, 1, 6},   // Saturday
      {29, 2, 2024, 1, 4},  // Thursday
      {1, 1, 2100, 1, 5},   // Friday
      {1, 3, 2004, 1, 1},   // Monday
      {4, 10, 1582, 0, 4},  // Thursday, the last day of the old calendar
      {25, 12, 1900, 0, 1}, // the old calendar's Christmas 1900 fell on 7 January 1901, a Monday
  };
  for (const Day& d : days)
    EXPECT_EQ(CCalendarWnd::DayOfWeek(d.d, d.m, d.y, d.calendar), d.weekday) << d.d << "." << d.m << "." << d.y;
}

TEST(Calendar, CellsAndWeekdayColumns) {
  struct Case {
    const char* locale;
    int firstDay;
  } locales[] = {{"en_US", 0}, {"de_DE", 1}};
  for (const Case& c : locales) {
    LocaleScope scope(c.locale);
    CCalendarWnd cal;
    cal.now = [] { return At(2004, 3, 10, 12); };
    cal.SetDateTime(At(2004, 3, 10, 9, 30));
    ASSERT_TRUE(cal.Create(Qt::Tool, 0, 0, nullptr));
    EXPECT_EQ(cal.size(), QSize(200, 180));
    EXPECT_EQ(cal.FirstDayOfWeek(), c.firstDay) << c.locale;
    EXPECT_EQ(cal.WeekdayNames()[0], QLocale().dayName(c.firstDay == 0 ? 7 : c.firstDay, QLocale::ShortFormat));
    // March 2004 starts on a Monday: the cells count from Sunday whatever the locale.
    const auto& cells = cal.Cells();
    EXPECT_EQ(cells[0].state, CCalendarWnd::kEmpty);
    EXPECT_EQ(cells[1].day, 1);
    EXPECT_EQ(cells[10].day, 10);
    EXPECT_EQ(cells[10].state, CCalendarWnd::kSelected);
    EXPECT_TRUE(cells[10].today);
    EXPECT_EQ(cells[31].day, 31);
    EXPECT_EQ(cells[32].state, CCalendarWnd::kEmpty);
  }
  // February 2015 starts on a Sunday and fills exactly four rows.
  CCalendarWnd feb;
  feb.SetDateTime(At(2015, 2, 1));
  ASSERT_TRUE(feb.Create(Qt::Tool, 0, 0, nullptr));
  EXPECT_EQ(feb.Cells()[0].day, 1);
  EXPECT_EQ(feb.Cells()[27].day, 28);
  EXPECT_EQ(feb.Cells()[28].state, CCalendarWnd::kEmpty);
  // The first column's normal days are red on the picture.
  const QImage picture = feb.Render();
  bool red = false;
  for (int y = 49; y < 66 && !red; ++y)
    for (int x = 10; x < 35 && !red; ++x) red = QColor(picture.pixel(x, y)) == QColor(200, 120, 120);
  EXPECT_TRUE(red) << "the selected first-column day is drawn in pale red";
}

TEST(Calendar, NavigationKeepsTheDayInTheTargetMonth) {
  struct Case {
    QDateTime from;
    int button;
    QDateTime to;
  } cases[] = {
      {At(2001, 1, 31, 10, 20, 30), CCalendarWnd::IDC_NEXT_MONTH, At(2001, 2, 28, 10, 20)},
      {At(2004, 2, 29, 8, 5), CCalendarWnd::IDC_PREV_YEAR, At(2003, 2, 28, 8, 5)},
      {At(2004, 2, 29), CCalendarWnd::IDC_NEXT_YEAR, At(2005, 2, 28)},
      {At(2001, 12, 15), CCalendarWnd::IDC_NEXT_MONTH, At(2002, 1, 15)},
      {At(2001, 1, 15), CCalendarWnd::IDC_PREV_MONTH, At(2000, 12, 15)},
      {At(2001, 1, 15, 7, 45), CCalendarWnd::IDC_TODAY, At(2010, 6, 30, 7, 45)},
  };
  for (const Case& c : cases) {
    CCalendarWnd cal;
    cal.now = [] { return At(2010, 6, 30, 23); };
    cal.SetDateTime(c.from);
    ASSERT_TRUE(cal.Create(Qt::Tool, 0, 0, nullptr));
    cal.Button(c.button)->click();
    EXPECT_EQ(cal.GetDateTime(), c.to) << c.from.toString().toStdString() << " button " << c.button;
    EXPECT_EQ(cal.DaysInShownMonth(), DaysInMonth(c.to.date().month(), c.to.date().year()));
  }
}

TEST(Calendar, DayPickReachesTheEditor) {
  EditorFixture f("en_US");
  f.editor.SetDateTime(At(2004, 3, 10, 14, 25));
  CCalendarWnd cal;
  cal.SetDateTime(At(2004, 3, 10, 14, 25));
  ASSERT_TRUE(cal.Create(Qt::Tool, 0, 0, &f.editor));
  // Day 17 of March 2004 is cell 17 (row 2, column 3).
  QTest::mouseClick(&cal, Qt::LeftButton, Qt::NoModifier, QPoint(8 + 26 * 3 + 10, 44 + 20 * 2 + 10));
  EXPECT_EQ(f.editor.Value(), At(2004, 3, 17));
  EXPECT_EQ(cal.Cells()[17].state, CCalendarWnd::kSelected);
  // Between the cells nothing is picked and the selection stays.
  QTest::mouseClick(&cal, Qt::LeftButton, Qt::NoModifier, QPoint(100, 30));
  EXPECT_EQ(cal.Cells()[17].state, CCalendarWnd::kSelected);
  EXPECT_EQ(f.editor.Value(), At(2004, 3, 17));
}

TEST(DateTimeEditor, FieldsFollowTheLocale) {
  {
    EditorFixture f("en_US");
    EXPECT_EQ(f.editor.FieldCount(), 7);
    EXPECT_EQ(f.editor.FieldCode(0), CDateTimeEditor::kMonth);
    EXPECT_EQ(f.editor.FieldCode(1), CDateTimeEditor::kDay);
    EXPECT_EQ(f.editor.FieldCode(6), CDateTimeEditor::kAmPm);
    EXPECT_FALSE(f.editor.Is24Hour());
    EXPECT_EQ(f.editor.DateSeparator(), QStringLiteral("/"));
    EXPECT_EQ(f.editor.TimeSeparator(), QStringLiteral(":"));
    f.editor.SetDateTime(At(2024, 7, 4, 15, 5, 9));
    EXPECT_EQ(f.editor.FieldText(CDateTimeEditor::kHour), QStringLiteral("03"));
    EXPECT_EQ(f.editor.FieldText(CDateTimeEditor::kAmPm), QStringLiteral("PM"));
    EXPECT_EQ(f.editor.GetDateTime(), At(2024, 7, 4, 15, 5, 0));
    // Layout: the spin control and the drop-down button stand right of the fields.
    EXPECT_EQ(f.editor.width(), f.editor.FieldArea().right() + 1 + 35);
    EXPECT_EQ(f.editor.Spin()->geometry().left(), f.editor.width() - 17);
  }
  {
    EditorFixture f("de_DE");
    EXPECT_EQ(f.editor.FieldCount(), 6);
    EXPECT_EQ(f.editor.FieldCode(0), CDateTimeEditor::kDay);
    EXPECT_EQ(f.editor.FieldCode(2), CDateTimeEditor::kYear);
    EXPECT_TRUE(f.editor.Is24Hour());
    EXPECT_EQ(f.editor.DateSeparator(), QStringLiteral("."));
    f.editor.SetDateTime(At(2024, 7, 4, 15, 5, 9));
    EXPECT_EQ(f.editor.FieldText(CDateTimeEditor::kHour), QStringLiteral("15"));
  }
  EditorFixture dateOnly("de_DE", false);
  EXPECT_EQ(dateOnly.editor.FieldCount(), 3);
  dateOnly.editor.SetDateTime(At(2024, 7, 4, 15, 5, 9));
  EXPECT_EQ(dateOnly.editor.GetDateTime(), At(2024, 7, 4));
}

TEST(DateTimeEditor, EntryByField) {
  struct Case {
    const char* name;
    const char* locale;
    QDateTime start;
    int field;
    std::vector<int> keys;
    QDateTime expected;
    int beeps;
  } cases[] = {
      {"month up to February's end", "en_US", At(2001, 1, 31), CDateTimeEditor::kMonth, {kUp}, At(2001, 2, 28), 0},
      {"month up from Feb end", "en_US", At(2001, 2, 28), CDateTimeEditor::kMonth, {kUp}, At(2001, 3, 31), 0},
      {"day down wraps", "en_US", At(2023, 4, 1), CDateTimeEditor::kDay, {kDown}, At(2023, 4, 30), 0},
      {"year capped", "en_US", At(2099, 5, 5), CDateTimeEditor::kYear, {kUp}, At(2099, 5, 5), 1},
      {"leap day to a common year", "de_DE", At(2024, 2, 29), CDateTimeEditor::kYear, {kUp}, At(2025, 2, 28), 0},
      {"two digits clamp the day", "en_US", At(2023, 4, 2), CDateTimeEditor::kDay, {Digit(3), Digit(5)},
       At(2023, 4, 30), 0},
      {"day zero is no date", "de_DE", At(2023, 4, 12), CDateTimeEditor::kDay, {Digit(0)}, At(2023, 4, 1), 0},
      {"year keeps the century", "de_DE", At(2024, 6, 1), CDateTimeEditor::kYear, {Digit(3), Digit(0)},
       At(2030, 6, 1), 0},
      {"J runs through the J months", "en_US", At(2001, 1, 10), CDateTimeEditor::kMonth, {Letter('J')},
       At(2001, 6, 10), 0},
      {"J again", "en_US", At(2001, 6, 10), CDateTimeEditor::kMonth, {Letter('J'), Letter('J')}, At(2001, 1, 10), 0},
      {"no month starts with Q", "en_US", At(2001, 6, 10), CDateTimeEditor::kMonth, {Letter('Q')}, At(2001, 6, 10),
       1},
      {"12-hour afternoon 1 5", "en_US", At(2020, 1, 1, 15), CDateTimeEditor::kHour, {Digit(1), Digit(5)},
       At(2020, 1, 1, 17), 0},
      {"12-hour morning 1 5", "en_US", At(2020, 1, 1, 9), CDateTimeEditor::kHour, {Digit(1), Digit(5)},
       At(2020, 1, 1, 5), 0},
      {"12-hour noon", "en_US", At(2020, 1, 1, 15), CDateTimeEditor::kHour, {Digit(1), Digit(2)},
       At(2020, 1, 1, 12), 0},
      {"24-hour stays a time", "de_DE", At(2020, 1, 1, 9), CDateTimeEditor::kHour, {Digit(3), Digit(5)},
       At(2020, 1, 1, 23), 0},
      {"minutes at most 59", "de_DE", At(2020, 1, 1, 9, 10), CDateTimeEditor::kMinute, {Digit(7), Digit(5)},
       At(2020, 1, 1, 9, 59), 0},
      {"P then A", "en_US", At(2020, 1, 1, 9, 10, 20), CDateTimeEditor::kAmPm, {Letter('P')}, At(2020, 1, 1, 21, 10),
       0},
      {"space flips AM/PM", "en_US", At(2020, 1, 1, 21, 10), CDateTimeEditor::kAmPm, {0x20}, At(2020, 1, 1, 9, 10),
       0},
      {"letters beep in the day", "en_US", At(2020, 1, 1), CDateTimeEditor::kDay, {Letter('X')}, At(2020, 1, 1), 1},
      {"End and Home", "de_DE", At(2020, 2, 10, 1, 2, 3), CDateTimeEditor::kDay, {kEnd}, At(2020, 2, 29, 1, 2), 0},
      {"Home on the hour", "de_DE", At(2020, 2, 10, 13, 2, 3), CDateTimeEditor::kHour, {kHome}, At(2020, 2, 10, 0, 2),
       0},
      {"minute wraps down", "de_DE", At(2020, 2, 10, 13, 0, 3), CDateTimeEditor::kMinute, {kDown},
       At(2020, 2, 10, 13, 59, 3), 0},
  };
  for (const Case& c : cases) {
    EditorFixture f(c.locale);
    f.editor.SetDateTime(c.start);
    f.Select(c.field);
    ASSERT_EQ(f.editor.CurrentCode(), c.field) << c.name;
    for (int key : c.keys) f.editor.OnKeyDown(key);
    EXPECT_EQ(f.editor.Value(), c.expected) << c.name;
    EXPECT_EQ(f.beeps, c.beeps) << c.name;
  }
}

TEST(DateTimeEditor, TwoDigitsMoveToTheNextFieldAndArrowsWrap) {
  EditorFixture f("de_DE");
  f.editor.SetDateTime(At(2023, 4, 2, 8, 0));
  f.Select(CDateTimeEditor::kDay);
  f.editor.OnKeyDown(Digit(1));
  EXPECT_EQ(f.editor.CurrentCode(), CDateTimeEditor::kDay);
  f.editor.OnKeyDown(Digit(9));
  EXPECT_EQ(f.editor.Value().date().day(), 19);
  EXPECT_EQ(f.editor.CurrentCode(), CDateTimeEditor::kMonth);
  f.editor.OnKeyDown(kLeft);
  f.editor.OnKeyDown(kLeft);
  EXPECT_EQ(f.editor.CurrentCode(), CDateTimeEditor::kSecond);  // wrapped from the first to the last
  f.editor.OnKeyDown(kRight);
  EXPECT_EQ(f.editor.CurrentCode(), CDateTimeEditor::kDay);
  // The keyboard reaches the same entry: Up on the day.
  QTest::keyClick(&f.editor, Qt::Key_Up);
  EXPECT_EQ(f.editor.Value().date().day(), 20);
  // The spin's up arrow steps up, its down arrow down.
  f.editor.Spin()->ClickUp();
  EXPECT_EQ(f.editor.Value().date().day(), 21);
  f.editor.Spin()->ClickDown();
  EXPECT_EQ(f.editor.Value().date().day(), 20);
}

TEST(DateTimeEditor, PressBesideTheFieldsLeavesNoneCurrent) {
  EditorFixture f("en_US");
  f.editor.SetDateTime(At(2020, 5, 6, 7, 8));
  QTest::mouseClick(&f.editor, Qt::LeftButton, Qt::NoModifier, QPoint(2, f.editor.height() / 2));
  EXPECT_EQ(f.editor.CurrentField(), -1);
  EXPECT_EQ(f.editor.CurrentCode(), CDateTimeEditor::kNone);
  for (int key : {kUp, kDown, kHome, kEnd, kLeft, kRight, Digit(4)}) f.editor.OnKeyDown(key);
  EXPECT_EQ(f.editor.Value(), At(2020, 5, 6, 7, 8));
  EXPECT_EQ(f.beeps, 0);
  f.editor.OnKeyDown(Letter('M'));
  EXPECT_EQ(f.beeps, 1);
}

// The controls are made by no window of the program; this window shows them together.
// TRELVIX_SCREENSHOT_DIR set: the window's picture is written there as controls.png.
TEST(DateTimeEditor, ShowcaseWindowShowsAllThree) {
  LocaleScope scope("en_US");
  QWidget window;
  window.resize(320, 240);
  CIconButton button(&window);
  button.setText(QStringLiteral("Pick a date"));
  button.setGeometry(10, 10, 120, 30);
  QImage picture(16, 16, QImage::Format_RGB32);
  picture.fill(QColor(30, 90, 200));
  button.SetBitmapPair(picture, QColor(255, 0, 255), IB_AUTO_GRAY);
  CDateTimeEditor editor;
  editor.Create(&window, 10, 50);
  editor.SetDateTime(At(2026, 12, 10, 14, 30));
  CCalendarWnd calendar;
  calendar.SetDateTime(At(2026, 12, 10, 14, 30));
  ASSERT_TRUE(calendar.Create(Qt::Tool, 0, 0, &editor));
  calendar.setParent(&window, Qt::Widget);
  calendar.move(10, 50 + editor.height() + 5);
  window.show();
  const QImage shot = window.grab().toImage();
  // The editor's grey face and the calendar's header band are on the picture.
  EXPECT_EQ(QColor(shot.pixel(editor.x() + 2, editor.y() + 2)), QColor(200, 200, 200));
  const QByteArray dir = qgetenv("TRELVIX_SCREENSHOT_DIR");
  if (!dir.isEmpty()) shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/controls.png"));
}
