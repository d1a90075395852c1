// A month calendar in a tool window and a one-line date-time field editor that work together:
// the day picked in the calendar is written back to its owner editor. The editor shows day,
// month name and year, and optionally hour, minute, second and AM/PM, in the order and with the
// separators of the locale (QLocale's default).
#pragma once
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <map>

class CIconButton;
class CDateTimeEditor;

// Days of a month (1-12) in a Gregorian year.
int DaysInMonth(int month, int year);

class CCalendarWnd : public QWidget {
  Q_OBJECT

 public:
  enum { IDC_TODAY = 8580, IDC_PREV_MONTH = 8581, IDC_NEXT_MONTH = 8582, IDC_PREV_YEAR = 8583, IDC_NEXT_YEAR = 8584 };
  enum CellState { kSelected = 0, kNormal = 1, kEmpty = 2 };
  struct DayCell {
    int day = 0;
    int state = kEmpty;
    bool today = false;
  };

  CCalendarWnd();
  ~CCalendarWnd() override;

  // calendar 1: Gregorian; any other value: every fourth year is a leap year.
  static bool IsLeapYear(int year, int calendar);
  // 0 Sunday .. 6 Saturday.
  static int DayOfWeek(int day, int month, int year, int calendar);

  // Makes the tool window at (x, y) for `owner` (which receives the picked dates).
  virtual bool Create(Qt::WindowFlags style, int x, int y, CDateTimeEditor* owner);
  int SetDateTime(const QDateTime& date);
  void SetDate(int year, int month, int day);
  QDateTime GetDateTime() const { return shown_; }
  void SetBackgroundColour(QColor colour) { background_ = colour; }

  void FillDays();
  void SelectDayAt(const QPoint& point);
  int CloseDropDown(int value);
  void OnToday();
  void OnPrevMonth();
  void OnNextMonth();
  void OnPrevYear();
  void OnNextYear();

  // What tests and the owner read.
  const std::array<DayCell, 42>& Cells() const { return cells_; }
  int FirstDayOfWeek() const { return firstDay_; }
  const std::array<QString, 7>& WeekdayNames() const { return weekdayNames_; }
  QPushButton* Button(int id) const;
  int DaysInShownMonth() const { return daysInMonth_; }
  // The window's picture, as painting puts it on screen.
  QImage Render();
  // The clock that says which day is today; tests replace it.
  std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateButtons();
  void CreateFonts();
  void NotifyOwner();
  void PaintHeader(class QPainter& p);
  void PaintDays(class QPainter& p);
  void MoveTo(int year, int month, int day);

  QFont headerFont_, weekdayFont_, dayFont_, todayFont_;
  QColor background_ = QColor(0, 0, 0);
  CDateTimeEditor* owner_ = nullptr;
  QDateTime shown_;
  std::array<DayCell, 42> cells_{};
  int daysInMonth_ = 0;
  int firstDay_ = 1;
  std::array<QString, 7> weekdayNames_;
  std::map<int, QPushButton*> buttons_;
};

// The up-down arrows beside the editor. The up arrow reports a negative change, as an up-down
// control with its default range does.
class CSpinButtonCtrl : public QWidget {
  Q_OBJECT

 public:
  explicit CSpinButtonCtrl(QWidget* parent = nullptr);
  std::function<void(int delta)> onDeltaPos;
  void ClickUp();
  void ClickDown();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
};

class CDateTimeEditor : public QWidget {
  Q_OBJECT

 public:
  enum Field { kNone = 0, kDay = 1, kMonth = 2, kYear = 3, kHour = 4, kMinute = 5, kSecond = 6, kAmPm = 7 };
  enum { IDC_DROPDOWN = 8585, IDC_SPIN = 8586 };

  explicit CDateTimeEditor(bool showTime = true);
  ~CDateTimeEditor() override;

  // Makes the editor a child of `parent` at (x, y): drop-down button, spin control, field font
  // and layout. False when a part cannot be made.
  bool Create(QWidget* parent, int x, int y);
  void SetDateTime(const QDateTime& value);
  QDateTime GetDateTime() const;
  int OnCalendarClosed(int value);
  int OnCalendarClosed() { return 1; }
  void ClearDropDown() { dropDown_ = false; }

  // Virtual key codes, as a keyboard delivers them.
  void OnKeyDown(int vk);
  void TypeDigit(int d);
  void TypeMonthLetter(int key);
  void TypeAmPmLetter(int key);
  void StepField(int delta);
  void SetFieldLimit(bool maximum);
  void PrevField();
  void NextField();
  void OnSpinDelta(int delta);
  void ReadLocaleFields();
  void Layout();
  QRect MeasureFields(int index) const;
  int FieldAt(const QPoint& point) const;
  QString FieldText(int code) const;

  // What tests read.
  QDateTime Value() const { return value_; }
  int FieldCount() const { return fieldCount_; }
  int FieldCode(int index) const { return index >= 0 && index < fieldCount_ ? fields_[index] : kNone; }
  int CurrentField() const { return currentIndex_; }
  int CurrentCode() const { return currentCode_; }
  bool Is24Hour() const { return is24Hour_; }
  QString DateSeparator() const { return dateSep_; }
  QString TimeSeparator() const { return timeSep_; }
  QRect FieldArea() const { return fieldArea_; }
  CIconButton* DropDownButton() const { return dropButton_; }
  CSpinButtonCtrl* Spin() const { return spin_; }
  // Sounds the warning beep; tests count it.
  std::function<void()> beep;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QString Separator(int index) const;
  void SetValue(const QDateTime& v);
  void RepaintField(int index);
  void Beep();

  QWidget* parentWindow_ = nullptr;
  QDateTime value_;
  CIconButton* dropButton_ = nullptr;
  CSpinButtonCtrl* spin_ = nullptr;
  QString dateSep_, timeSep_;
  std::array<int, 7> fields_{};
  int currentCode_ = kNone;
  bool is24Hour_ = false;
  int fieldCount_ = 0;
  QString amDesignator_, pmDesignator_;
  int windowWidth_ = 0, windowHeight_ = 0;
  QRect fieldArea_;
  QFont fieldFont_;
  bool focus_ = false;
  int currentIndex_ = 0;
  int digits_ = -1;
  bool dropDown_ = false;
  bool showTime_ = true;
  bool hover_ = false;
};
