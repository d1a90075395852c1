#include "ui/Calendar.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "ui/IconButton.h"

namespace {

bool GregorianLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// A font's pixel height for `points` at the window's vertical resolution.
int PixelHeight(double points, const QWidget* window) {
  int dpi = window ? window->logicalDpiY() : 0;
  if (dpi <= 0 && QApplication::primaryScreen()) dpi = static_cast<int>(QApplication::primaryScreen()->logicalDotsPerInchY());
  if (dpi <= 0) dpi = 96;
  return std::max(1, static_cast<int>(points * dpi / 72.0 + 0.5));
}

QFont ArialFont(double points, const QWidget* window, int weight, bool italic = false, bool underline = false) {
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(PixelHeight(points, window));
  f.setWeight(static_cast<QFont::Weight>(weight));
  f.setItalic(italic);
  f.setUnderline(underline);
  // Crisp glyphs in the exact colours drawn, as the classic controls show them.
  f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

QDateTime MakeDateTime(int y, int mo, int d, int h, int mi, int s) {
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// Edges the way dialogs draw them: two rings of 3-D lines, the middle filled with the face.
void DrawEdgeRings(QPainter& p, const QRect& r, QColor outerTl, QColor outerBr, QColor innerTl, QColor innerBr,
                   QColor face) {
  auto ring = [&p](const QRect& q, QColor tl, QColor br) {
    p.fillRect(q.left(), q.top(), q.width() - 1, 1, tl);
    p.fillRect(q.left(), q.top(), 1, q.height() - 1, tl);
    p.fillRect(q.right(), q.top(), 1, q.height(), br);
    p.fillRect(q.left(), q.bottom(), q.width(), 1, br);
  };
  p.fillRect(r.adjusted(2, 2, -2, -2), face);
  ring(r, outerTl, outerBr);
  ring(r.adjusted(1, 1, -1, -1), innerTl, innerBr);
}

// Virtual key codes the editor acts on.
constexpr int VK_SPACE = 0x20, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27,
              VK_DOWN = 0x28;

bool IsDigitKey(int vk) { return (vk >= 0x30 && vk <= 0x39) || (vk >= 0x60 && vk <= 0x69); }
bool IsLetterKey(int vk) { return (vk >= 0x41 && vk <= 0x5A) || (vk >= 0x6A && vk <= 0x7A); }

// The virtual key of a key press: digits and letters as their characters, the keypad's digits
// and operators and F1..F11 as the keyboard's own codes.
int VirtualKey(const QKeyEvent* e) {
  const int k = e->key();
  const bool keypad = e->modifiers() & Qt::KeypadModifier;
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return (keypad ? 0x60 : 0x30) + (k - Qt::Key_0);
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return 0x41 + (k - Qt::Key_A);
  if (k >= Qt::Key_F1 && k <= Qt::Key_F11) return 0x70 + (k - Qt::Key_F1);
  if (keypad) {
    switch (k) {
      case Qt::Key_Asterisk: return 0x6A;
      case Qt::Key_Plus: return 0x6B;
      case Qt::Key_Minus: return 0x6D;
      case Qt::Key_Period: return 0x6E;
      case Qt::Key_Slash: return 0x6F;
      default: break;
    }
  }
  switch (k) {
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    default: return 0;
  }
}

QString TwoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

// The text between the first two fields of a locale format ("M/d/yy" gives "/").
QString FormatSeparator(const QString& format) {
  QString sep;
  bool seenField = false;
  for (const QChar c : format) {
    if (c.isLetter()) {
      if (!sep.isEmpty()) break;
      seenField = true;
    } else if (seenField && c != QLatin1Char('\'')) {
      sep += c;
    }
  }
  return sep.trimmed().isEmpty() && !sep.isEmpty() ? QStringLiteral(" ") : sep;
}

}  // namespace

int DaysInMonth(int month, int year) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && GregorianLeap(year) ? 29 : kDays[month - 1];
}

// ---- calendar -----------------------------------------------------------------------------

CCalendarWnd::CCalendarWnd() : shown_(QDateTime::currentDateTime()) {}

CCalendarWnd::~CCalendarWnd() = default;

bool CCalendarWnd::IsLeapYear(int year, int calendar) { return calendar == 1 ? GregorianLeap(year) : year % 4 == 0; }

int CCalendarWnd::DayOfWeek(int day, int month, int year, int calendar) {
  const int a = (14 - month) / 12;
  const int y = year - a;
  const int x = (31 * (month + 12 * a - 2)) / 12;
  const int r = calendar == 1 ? (day + y + y / 4 - y / 100 + y / 400 + x) % 7 : (day + y + y / 4 + x + 5) % 7;
  return (r + 7) % 7;
}

bool CCalendarWnd::Create(Qt::WindowFlags style, int x, int y, CDateTimeEditor* owner) {
  owner_ = owner;
  setWindowFlags(style | Qt::Tool);
  setWindowTitle(QString());
  setGeometry(x, y, 120, 120);
  // Creation: the full size, the buttons and fonts, the days of the shown month, the focus.
  resize(200, 180);
  CreateButtons();
  daysInMonth_ = DaysInMonth(shown_.date().month(), shown_.date().year());
  FillDays();
  setFocusPolicy(Qt::StrongFocus);
  setFocus();
  return true;
}

void CCalendarWnd::CreateFonts() {
  const QWidget* resolution = owner_ ? static_cast<const QWidget*>(owner_) : this;
  headerFont_ = ArialFont(9, resolution, 400);
  weekdayFont_ = ArialFont(9, resolution, 400);
  // Narrow weekday letters: about four pixels a character.
  const int average = QFontMetrics(weekdayFont_).averageCharWidth();
  if (average > 0) weekdayFont_.setStretch(std::clamp(400 / average, 1, 4000));
  dayFont_ = ArialFont(8, resolution, 400, true);
  todayFont_ = ArialFont(8, resolution, 800, true, true);
}

void CCalendarWnd::CreateButtons() {
  CreateFonts();
  const int r = rect().right() + 1;
  // The header's navigation buttons: today, month and year back and forward.
  struct NavButton {
    int id;
    const char* caption;
    QRect rect;
    void (CCalendarWnd::*action)();
  };
  const NavButton navButtons[] = {
      {IDC_TODAY, "D", QRect(QPoint(5, 5), QPoint(29, 19)), &CCalendarWnd::OnToday},
      {IDC_PREV_MONTH, "<", QRect(QPoint(35, 5), QPoint(49, 19)), &CCalendarWnd::OnPrevMonth},
      {IDC_NEXT_MONTH, ">", QRect(QPoint(r - 83, 5), QPoint(r - 69, 19)), &CCalendarWnd::OnNextMonth},
      {IDC_PREV_YEAR, "<", QRect(QPoint(r - 67, 5), QPoint(r - 53, 19)), &CCalendarWnd::OnPrevYear},
      {IDC_NEXT_YEAR, ">", QRect(QPoint(r - 20, 5), QPoint(r - 6, 19)), &CCalendarWnd::OnNextYear},
  };
  for (const NavButton& nav : navButtons) {
    auto* b = new QPushButton(QString::fromLatin1(nav.caption), this);
    b->setGeometry(nav.rect);
    b->setFocusPolicy(Qt::NoFocus);
    b->show();
    connect(b, &QPushButton::clicked, this, [this, action = nav.action] { (this->*action)(); });
    buttons_[nav.id] = b;
  }
  // Weekday names: column k holds weekday (k + first day of the week) mod 7.
  const QLocale locale;
  const int c = '0' + (static_cast<int>(locale.firstDayOfWeek()) - 1);  // '0' Monday .. '6' Sunday
  firstDay_ = (c - 47) % 7;
  if (firstDay_ < 0 || firstDay_ > 6) firstDay_ = 1;
  for (int k = 0; k < 7; ++k) {
    const int weekday = (k + firstDay_) % 7;  // 0 Sunday
    weekdayNames_[static_cast<std::size_t>(k)] = locale.dayName(weekday == 0 ? 7 : weekday, QLocale::ShortFormat);
  }
}

QPushButton* CCalendarWnd::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

void CCalendarWnd::FillDays() {
  const QDate shown = shown_.date();
  const QDate today = now().date();
  const int first = DayOfWeek(1, shown.month(), shown.year(), 1);
  for (int i = 0; i < 42; ++i) {
    DayCell& cell = cells_[static_cast<std::size_t>(i)];
    const int day = i - first + 1;
    if (day < 1 || day > daysInMonth_) {
      cell = DayCell{0, kEmpty, false};
      continue;
    }
    cell.day = day;
    cell.state = day == shown.day() ? kSelected : kNormal;
    cell.today = day == today.day() && shown.month() == today.month() && shown.year() == today.year();
  }
}

int CCalendarWnd::SetDateTime(const QDateTime& date) {
  shown_ = date;
  daysInMonth_ = DaysInMonth(date.date().month(), date.date().year());
  FillDays();
  NotifyOwner();
  return 1;
}

void CCalendarWnd::SetDate(int year, int month, int day) { SetDateTime(MakeDateTime(year, month, day, 0, 0, 0)); }

void CCalendarWnd::NotifyOwner() {
  if (!owner_) return;
  owner_->SetDateTime(shown_);
  owner_->update();
}

int CCalendarWnd::CloseDropDown(int value) {
  if (!owner_) return 1;
  owner_->OnCalendarClosed(value);
  owner_->ClearDropDown();
  return 1;
}

void CCalendarWnd::SelectDayAt(const QPoint& point) {
  int previous = -1;
  for (int i = 0; i < 42; ++i) {
    DayCell& cell = cells_[static_cast<std::size_t>(i)];
    if (cell.state == kSelected) previous = i;
    if (cell.state != kEmpty) cell.state = kNormal;
  }
  for (int i = 0; i < 42; ++i) {
    DayCell& cell = cells_[static_cast<std::size_t>(i)];
    if (cell.state == kEmpty || cell.day == 0) continue;
    const int r = i / 7, c = i % 7;
    const QRect hit(QPoint(8 + 26 * c, r == 0 ? 45 : 44 + 20 * r), QPoint(34 + 26 * c, 64 + 20 * r));
    if (!hit.contains(point)) continue;
    cell.state = kSelected;
    SetDate(shown_.date().year(), shown_.date().month(), cell.day);
    CloseDropDown(0);
    update();
    return;
  }
  if (previous >= 0) cells_[static_cast<std::size_t>(previous)].state = kSelected;
}

void CCalendarWnd::MoveTo(int year, int month, int day) {
  day = std::min(day, DaysInMonth(month, year));
  const QTime t = shown_.time();
  const QDateTime target = MakeDateTime(year, month, day, t.hour(), t.minute(), 0);
  daysInMonth_ = DaysInMonth(month, year);
  if (target != shown_) {
    SetDateTime(target);
    FillDays();
    update();
  }
}

void CCalendarWnd::OnToday() {
  const QDate today = now().date();
  MoveTo(today.year(), today.month(), today.day());
}

void CCalendarWnd::OnPrevMonth() {
  const QDate d = shown_.date();
  if (d.month() == 1)
    MoveTo(d.year() - 1, 12, d.day());
  else
    MoveTo(d.year(), d.month() - 1, d.day());
}

void CCalendarWnd::OnNextMonth() {
  const QDate d = shown_.date();
  if (d.month() == 12)
    MoveTo(d.year() + 1, 1, d.day());
  else
    MoveTo(d.year(), d.month() + 1, d.day());
}

void CCalendarWnd::OnPrevYear() {
  const QDate d = shown_.date();
  MoveTo(d.year() - 1, d.month(), d.day());
}

void CCalendarWnd::OnNextYear() {
  const QDate d = shown_.date();
  MoveTo(d.year() + 1, d.month(), d.day());
}

void CCalendarWnd::PaintHeader(QPainter& p) {
  const QRect client = rect();
  const QColor pen(120, 160, 160);
  p.setPen(pen);
  p.setBrush(background_);
  p.drawRect(QRect(QPoint(0, client.top() + 4), QPoint(client.right() - 1, client.bottom() - 1)));
  // The header band: a flat raised edge with its middle filled.
  const QPalette pal = palette();
  const QRect band(0, 0, client.width(), 24);
  p.fillRect(band, pal.color(QPalette::Button));
  p.setBrush(Qt::NoBrush);
  p.setPen(pal.color(QPalette::Dark));
  p.drawRect(band.adjusted(0, 0, -1, -1));

  const QDate d = shown_.date();
  const QLocale locale;
  p.setFont(headerFont_);
  p.setPen(QColor(50, 50, 50));
  const QFontMetrics hm(headerFont_);
  const QString month = locale.monthName(d.month(), QLocale::LongFormat);
  p.drawText(83 - hm.horizontalAdvance(month) / 2, 4 + hm.ascent(), month);
  const QString year = QString::number(d.year());
  p.drawText(client.right() + 1 - 20 - hm.horizontalAdvance(year), 4 + hm.ascent(), year);

  p.setFont(weekdayFont_);
  p.setPen(pen);
  const QFontMetrics wm(weekdayFont_);
  for (int k = 0; k < 7; ++k) {
    const QString& name = weekdayNames_[static_cast<std::size_t>(k)];
    p.drawText(20 + 26 * k - wm.horizontalAdvance(name) / 2, 28 + wm.ascent(), name);
  }
  p.drawLine(client.left() + 5, 42, client.right() + 1 - 5 - 1, 42);
}

void CCalendarWnd::PaintDays(QPainter& p) {
  const QPalette pal = palette();
  const QColor face = pal.color(QPalette::Button), shadow = pal.color(QPalette::Dark);
  const QColor highlight = pal.color(QPalette::Light), darkShadow = pal.color(QPalette::Shadow);
  const QColor light3d = pal.color(QPalette::Midlight);
  for (int i = 0; i < 42; ++i) {
    const DayCell& cell = cells_[static_cast<std::size_t>(i)];
    const int r = i / 7, c = i % 7;
    const QRect box(QPoint(9 + 26 * c, r == 0 ? 46 : 45 + 20 * r), QPoint(35 + 26 * c, 65 + 20 * r));
    QColor text;
    if (cell.state == kSelected) {
      DrawEdgeRings(p, box, shadow, highlight, darkShadow, light3d, face);
      text = c == 0 ? QColor(200, 120, 120) : QColor(150, 150, 150);
    } else {
      DrawEdgeRings(p, box, shadow, highlight, highlight, shadow, face);
      text = c == 0 && cell.state == kNormal ? QColor(200, 0, 0) : QColor(50, 50, 50);
    }
    if (cell.state == kEmpty) continue;
    const QFont& font = cell.today ? todayFont_ : dayFont_;
    const QFontMetrics fm(font);
    const QString number = QString::number(cell.day);
    p.setFont(font);
    p.setPen(text);
    p.drawText(box.center().x() + 1 - fm.horizontalAdvance(number) / 2, box.top() + 3 + fm.ascent(), number);
  }
}

QImage CCalendarWnd::Render() {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(background_);
  QPainter p(&image);
  PaintHeader(p);
  PaintDays(p);
  return image;
}

void CCalendarWnd::paintEvent(QPaintEvent*) {
  const QImage picture = Render();
  QPainter p(this);
  p.drawImage(0, 0, picture);
}

void CCalendarWnd::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  if (rect().contains(at))
    SelectDayAt(at);
  else
    CloseDropDown(0);
}

void CCalendarWnd::keyPressEvent(QKeyEvent* event) { event->accept(); }

// ---- spin arrows --------------------------------------------------------------------------

CSpinButtonCtrl::CSpinButtonCtrl(QWidget* parent) : QWidget(parent) {}

void CSpinButtonCtrl::ClickUp() {
  if (onDeltaPos && isEnabled()) onDeltaPos(-1);
}

void CSpinButtonCtrl::ClickDown() {
  if (onDeltaPos && isEnabled()) onDeltaPos(1);
}

void CSpinButtonCtrl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette pal = palette();
  const int h = height() / 2;
  p.fillRect(rect(), pal.color(QPalette::Button));
  p.setPen(pal.color(QPalette::Dark));
  p.drawRect(0, 0, width() - 1, h - 1);
  p.drawRect(0, h, width() - 1, height() - h - 1);
  p.setBrush(pal.color(QPalette::ButtonText));
  p.setPen(Qt::NoPen);
  const int cx = width() / 2;
  p.drawPolygon(QPolygon({QPoint(cx - 3, h - 3), QPoint(cx + 3, h - 3), QPoint(cx, 2)}));
  p.drawPolygon(QPolygon({QPoint(cx - 3, h + 3), QPoint(cx + 3, h + 3), QPoint(cx, height() - 3)}));
}

void CSpinButtonCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (event->position().y() < height() / 2)
    ClickUp();
  else
    ClickDown();
}

// ---- editor -------------------------------------------------------------------------------

CDateTimeEditor::CDateTimeEditor(bool showTime) : value_(QDateTime::currentDateTime()), showTime_(showTime) {
  value_.setTime(QTime(value_.time().hour(), value_.time().minute(), value_.time().second()));
  beep = [] { QApplication::beep(); };
}

CDateTimeEditor::~CDateTimeEditor() = default;

bool CDateTimeEditor::Create(QWidget* parent, int x, int y) {
  setParent(parent);
  parentWindow_ = parent;
  move(x, y);
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(true);
  dropButton_ = new CIconButton(this);
  // The drop-down picture is optional: without it the button stays plain.
  dropButton_->SetBitmapPairFiles("res\\mybutton\\calendar.bmp", QColor(255, 0, 0), std::string(), QColor(255, 0, 0));
  dropButton_->SetTransparentLook(true, false);
  dropButton_->setFocusPolicy(Qt::NoFocus);
  dropButton_->show();
  spin_ = new CSpinButtonCtrl(this);
  spin_->onDeltaPos = [this](int delta) { OnSpinDelta(delta); };
  spin_->show();
  fieldFont_ = ArialFont(10, parentWindow_ ? parentWindow_ : this, 400);
  Layout();
  return true;
}

void CDateTimeEditor::ReadLocaleFields() {
  const QLocale locale;
  const QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
  const QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
  dateSep_ = FormatSeparator(dateFormat);
  timeSep_ = FormatSeparator(timeFormat);
  const qsizetype d = dateFormat.indexOf(QLatin1Char('d')), m = dateFormat.indexOf(QLatin1Char('M'));
  const qsizetype y = dateFormat.indexOf(QLatin1Char('y'));
  int n = 0;
  if (d >= 0 && m >= 0 && y >= 0 && d < m && m < y) {
    fields_[0] = kDay, fields_[1] = kMonth, fields_[2] = kYear;
  } else if (d >= 0 && m >= 0 && y >= 0 && y < m && m < d) {
    fields_[0] = kYear, fields_[1] = kMonth, fields_[2] = kDay;
  } else {
    fields_[0] = kMonth, fields_[1] = kDay, fields_[2] = kYear;
  }
  n = 3;
  is24Hour_ = timeFormat.contains(QLatin1Char('H'));
  if (showTime_) {
    fields_[3] = kHour, fields_[4] = kMinute, fields_[5] = kSecond;
    n = 6;
    if (!is24Hour_) fields_[static_cast<std::size_t>(n++)] = kAmPm;
  }
  fieldCount_ = n;
  amDesignator_ = locale.amText().toUpper();
  pmDesignator_ = locale.pmText().toUpper();
}

QString CDateTimeEditor::FieldText(int code) const {
  const QDate d = value_.date();
  const QTime t = value_.time();
  switch (code) {
    case kDay: return TwoDigits(d.day());
    case kMonth: return QLocale().monthName(d.month(), QLocale::LongFormat);
    case kYear: return QString::number(d.year());
    case kHour: return TwoDigits(is24Hour_ ? t.hour() : (t.hour() % 12 == 0 ? 12 : t.hour() % 12));
    case kMinute: return TwoDigits(t.minute());
    case kSecond: return TwoDigits(t.second());
    case kAmPm: return t.hour() < 12 ? amDesignator_ : pmDesignator_;
    default: return QString();
  }
}

QString CDateTimeEditor::Separator(int index) const {
  if (index + 1 >= fieldCount_) return QStringLiteral(" ");
  const int a = fields_[static_cast<std::size_t>(index)], b = fields_[static_cast<std::size_t>(index + 1)];
  const bool dateA = a >= kDay && a <= kYear, dateB = b >= kDay && b <= kYear;
  const bool timeA = a >= kHour && a <= kSecond, timeB = b >= kHour && b <= kSecond;
  if (dateA && dateB) return dateSep_;
  if (timeA && timeB) return timeSep_;
  return QStringLiteral(" ");
}

QRect CDateTimeEditor::MeasureFields(int index) const {
  if (index < 0 || index >= fieldCount_) return QRect();
  const QFontMetrics fm(fieldFont_);
  int x = fieldArea_.left();
  for (int j = 0; j <= index; ++j) {
    const int width = fm.horizontalAdvance(FieldText(fields_[static_cast<std::size_t>(j)]) + Separator(j));
    if (j == index) return QRect(QPoint(x, fieldArea_.top()), QPoint(x + width - 1, fieldArea_.bottom()));
    x += width;
  }
  return QRect();
}

int CDateTimeEditor::FieldAt(const QPoint& point) const {
  for (int i = 0; i < fieldCount_; ++i)
    if (MeasureFields(i).contains(point)) return i;
  return -1;
}

void CDateTimeEditor::Layout() {
  ReadLocaleFields();
  currentCode_ = fields_[0];
  windowHeight_ = QFontMetrics(QApplication::font()).height() + 8;
  fieldArea_ = QRect(QPoint(5, 2), QPoint(5, windowHeight_ - 3));
  fieldArea_.setRight(std::max(fieldArea_.left(), MeasureFields(fieldCount_ - 1).right()));
  windowWidth_ = fieldArea_.right() + 1 + 35;
  resize(windowWidth_, windowHeight_);
  if (dropButton_) {
    dropButton_->setGeometry(windowWidth_ - 34, 2, 17, windowHeight_ - 4);
    dropButton_->show();
  }
  if (spin_) {
    spin_->setGeometry(windowWidth_ - 17, 2, 15, windowHeight_ - 4);
    spin_->show();
    spin_->setEnabled(true);
  }
}

void CDateTimeEditor::SetDateTime(const QDateTime& value) {
  value_ = value;
  if (spin_) spin_->setEnabled(true);
  update();
}

QDateTime CDateTimeEditor::GetDateTime() const {
  const QTime t = value_.time();
  return showTime_ ? MakeDateTime(value_.date().year(), value_.date().month(), value_.date().day(), t.hour(),
                                  t.minute(), 0)
                   : QDateTime(value_.date(), QTime(0, 0, 0));
}

int CDateTimeEditor::OnCalendarClosed(int) { return 1; }

void CDateTimeEditor::Beep() {
  if (beep) beep();
}

void CDateTimeEditor::SetValue(const QDateTime& v) {
  value_ = v;
  update(fieldArea_);
}

void CDateTimeEditor::RepaintField(int index) {
  const QRect r = MeasureFields(index);
  if (!r.isNull()) update(r);
}

void CDateTimeEditor::TypeDigit(int d) {
  const QDate date = value_.date();
  const QTime t = value_.time();
  int year = date.year(), month = date.month(), day = date.day();
  int hour = t.hour(), minute = t.minute(), second = t.second();
  const int v = digits_ < 0 ? d : digits_ * 10 + d;
  bool keepFirst = true;
  switch (currentCode_) {
    case kDay:
      // Never an invalid date: the day stays within the shown month.
      day = std::clamp(v, 1, DaysInMonth(month, year));
      break;
    case kYear: year = (year / 100) * 100 + v; break;
    case kHour:
      if (is24Hour_) {
        hour = std::min(v, 23);
      } else {
        const bool afternoon = hour >= 12;
        const int h12 = v > 12 ? d : v;
        // 12 is noon in the afternoon and midnight in the morning.
        hour = h12 == 12 ? (afternoon ? 12 : 0) : h12 + (afternoon ? 12 : 0);
        keepFirst = d == 1;
      }
      break;
    case kMinute: minute = std::min(v, 59); break;
    case kSecond: second = std::min(v, 59); break;
    default: return;
  }
  day = std::min(day, DaysInMonth(month, year));
  SetValue(MakeDateTime(year, month, day, hour, minute, second));
  if (digits_ >= 0) {
    digits_ = -1;
    if (currentIndex_ >= 0 && currentIndex_ < fieldCount_ - 1) NextField();
  } else if (keepFirst) {
    digits_ = d;
  }
}

void CDateTimeEditor::TypeMonthLetter(int key) {
  const QDate date = value_.date();
  const int current = date.month();
  const QLocale locale;
  for (int step = 1; step < 12; ++step) {
    const int month = (current - 1 + step) % 12 + 1;
    const QString name = locale.monthName(month, QLocale::LongFormat);
    if (name.size() <= 1 || name.at(0).unicode() != key) continue;
    const int oldLast = DaysInMonth(current, date.year());
    const int newLast = DaysInMonth(month, date.year());
    int day = date.day();
    if (day == oldLast || day > newLast) day = newLast;
    const QTime t = value_.time();
    SetValue(MakeDateTime(date.year(), month, day, t.hour(), t.minute(), 0));
    return;
  }
  Beep();
}

void CDateTimeEditor::TypeAmPmLetter(int key) {
  const QChar letter = QChar(key).toUpper();
  const QTime t = value_.time();
  int hour = t.hour();
  if (!pmDesignator_.isEmpty() && letter == pmDesignator_.at(0) && hour < 12) hour += 12;
  if (!amDesignator_.isEmpty() && letter == amDesignator_.at(0) && hour >= 12) hour -= 12;
  const QDateTime v(value_.date(), QTime(hour, t.minute(), 0));
  if (v != value_) SetValue(v);
}

void CDateTimeEditor::StepField(int delta) {
  const QDate date = value_.date();
  const QTime t = value_.time();
  int year = date.year(), month = date.month(), day = date.day();
  int hour = t.hour(), minute = t.minute();
  const int second0 = t.second();
  int second = second0;
  switch (currentCode_) {
    case kDay: {
      const int last = DaysInMonth(month, year);
      day += delta;
      if (day < 1) day = last;
      if (day > last) day = 1;
      break;
    }
    case kMonth: {
      const int oldLast = DaysInMonth(month, year);
      month = (month - 1 + delta + 12) % 12 + 1;
      const int newLast = DaysInMonth(month, year);
      if (day == oldLast || day > newLast) day = newLast;
      break;
    }
    case kYear:
      year = std::clamp(year + delta, 2000, 2099);
      day = std::min(day, DaysInMonth(month, year));
      break;
    case kHour: hour = (hour + delta + 24) % 24; break;
    case kMinute: minute = (minute + delta + 60) % 60; break;
    case kSecond: second = (second + delta + 60) % 60; break;
    case kAmPm: hour = hour >= 12 ? hour - 12 : hour + 12; break;
    default: return;
  }
  const QDateTime v = MakeDateTime(year, month, day, hour, minute, second);
  if (v == value_) {
    Beep();
    return;
  }
  SetValue(v);
}

void CDateTimeEditor::SetFieldLimit(bool maximum) {
  const QDate date = value_.date();
  const QTime t = value_.time();
  int month = date.month(), day = date.day(), hour = t.hour(), minute = t.minute();
  switch (currentCode_) {
    case kDay: day = maximum ? DaysInMonth(month, date.year()) : 1; break;
    case kMonth: month = maximum ? 12 : 1; break;
    case kHour: hour = maximum ? 23 : 0; break;
    case kMinute: minute = maximum ? 59 : 0; break;
    case kSecond: break;
    default: return;
  }
  day = std::min(day, DaysInMonth(month, date.year()));
  const QDateTime v = MakeDateTime(date.year(), month, day, hour, minute, 0);
  if (v != value_) SetValue(v);
}

void CDateTimeEditor::PrevField() {
  if (currentIndex_ < 0 || currentCode_ == kNone) return;
  const int old = currentIndex_;
  currentIndex_ = currentIndex_ == 0 ? fieldCount_ - 1 : currentIndex_ - 1;
  currentCode_ = fields_[static_cast<std::size_t>(currentIndex_)];
  RepaintField(old);
  RepaintField(currentIndex_);
}

void CDateTimeEditor::NextField() {
  if (currentIndex_ < 0 || currentCode_ == kNone) return;
  const int old = currentIndex_;
  currentIndex_ = currentIndex_ >= fieldCount_ - 1 ? 0 : currentIndex_ + 1;
  currentCode_ = fields_[static_cast<std::size_t>(currentIndex_)];
  RepaintField(old);
  RepaintField(currentIndex_);
}

void CDateTimeEditor::OnKeyDown(int vk) {
  if (IsDigitKey(vk)) {
    TypeDigit(vk >= 0x60 ? vk - 0x60 : vk - 0x30);
    return;
  }
  if (IsLetterKey(vk)) {
    if (currentCode_ == kMonth)
      TypeMonthLetter(vk);
    else if (currentCode_ == kAmPm)
      TypeAmPmLetter(vk);
    else
      Beep();
    return;
  }
  digits_ = -1;
  switch (vk) {
    case VK_UP: StepField(1); break;
    case VK_SPACE:
      if (currentCode_ == kAmPm) StepField(1);
      break;
    case VK_DOWN: StepField(-1); break;
    case VK_HOME: SetFieldLimit(false); break;
    case VK_END: SetFieldLimit(true); break;
    case VK_LEFT: PrevField(); break;
    case VK_RIGHT: NextField(); break;
    default: break;
  }
}

void CDateTimeEditor::OnSpinDelta(int delta) {
  StepField(delta < 0 ? 1 : -1);
  setFocus(Qt::OtherFocusReason);
}

void CDateTimeEditor::keyPressEvent(QKeyEvent* event) {
  const int vk = VirtualKey(event);
  if (vk == 0) {
    digits_ = -1;
    QWidget::keyPressEvent(event);
    return;
  }
  // Arrows, Home and End stay with the editor rather than moving a dialog's focus.
  OnKeyDown(vk);
  event->accept();
}

void CDateTimeEditor::mousePressEvent(QMouseEvent* event) {
  digits_ = -1;
  setFocus(Qt::MouseFocusReason);
  const int index = FieldAt(event->position().toPoint());
  if (index < 0) {
    currentIndex_ = -1;
    currentCode_ = kNone;
    update();
    return;
  }
  const int old = currentIndex_;
  currentIndex_ = index;
  currentCode_ = fields_[static_cast<std::size_t>(index)];
  if (old != index) {
    RepaintField(old);
    RepaintField(index);
  }
  QWidget::mousePressEvent(event);
}

void CDateTimeEditor::focusInEvent(QFocusEvent* event) {
  if (currentIndex_ >= 0 && currentIndex_ < fieldCount_) currentCode_ = fields_[static_cast<std::size_t>(currentIndex_)];
  focus_ = true;
  update();
  QWidget::focusInEvent(event);
}

void CDateTimeEditor::focusOutEvent(QFocusEvent* event) {
  focus_ = false;
  digits_ = -1;
  QWidget::focusOutEvent(event);
}

void CDateTimeEditor::leaveEvent(QEvent* event) {
  hover_ = false;
  QWidget::leaveEvent(event);
}

void CDateTimeEditor::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(Qt::black);
  p.setBrush(QColor(200, 200, 200));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.setFont(fieldFont_);
  const QPalette pal = palette();
  const QFontMetrics fm(fieldFont_);
  int x = fieldArea_.left();
  for (int i = 0; i < fieldCount_; ++i) {
    const QString text = FieldText(fields_[static_cast<std::size_t>(i)]);
    const QString sep = Separator(i);
    const int tw = fm.horizontalAdvance(text);
    const QRect textRect(x, fieldArea_.top(), tw, fieldArea_.height());
    if (focus_ && i == currentIndex_) {
      const int th = fm.height();
      p.fillRect(QRect(x, fieldArea_.top() + (fieldArea_.height() - th) / 2, tw, th), pal.color(QPalette::Highlight));
      p.setPen(pal.color(QPalette::HighlightedText));
    } else {
      p.setPen(pal.color(QPalette::WindowText));
    }
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    x += tw;
    const int sw = fm.horizontalAdvance(sep);
    p.setPen(pal.color(QPalette::WindowText));
    p.drawText(QRect(x, fieldArea_.top(), sw, fieldArea_.height()), Qt::AlignLeft | Qt::AlignVCenter, sep);
    x += sw;
  }
}
