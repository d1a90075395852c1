#include "ui/Window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <cstring>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QMouseEvent>
#include <QPainterPath>
#include <QThread>
#include <QTimerEvent>
#include <QToolTip>
#include <memory>

#include "ui/Lifetime.h"

namespace ui {

Window::Window(QWidget* parent) : QDialog(parent), madeAt_(ModalMark()) { hwnd_ = plat::RegisterMessageSink(&sink_); }

Window::~Window() {
  // After this returns no worker can reach us any more; queued calls die with the QObject.
  plat::UnregisterMessageSink(hwnd_);
}

void Window::AddControl(int id, QWidget* control) {
  controls_[id] = control;
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    connect(button, &QAbstractButton::clicked, this, [this, id] { Command(id); });
  }
}

QWidget* Window::GetDlgItem(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void Window::SetDlgItemText(int id, const QString& text) {
  QWidget* w = GetDlgItem(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(text);
  } else if (w) {
    w->setProperty("text", text);
  }
  if (w) FitTextWidth(w);
}

void Window::showEvent(QShowEvent* event) {
  FitTextWidths(this);
  if (isWindow()) {
    // A dialog grows to hold controls that grew past its edges.
    QRect held;
    for (QObject* child : children()) {
      auto* w = qobject_cast<QWidget*>(child);
      if (w && !w->isWindow() && !w->isHidden()) held |= w->geometry();
    }
    const int right = held.x() + held.width(), bottom = held.y() + held.height();
    const QSize need(right > width() ? right + 2 : width(), bottom > height() ? bottom + 2 : height());
    if (need != size()) {
      if (minimumSize() == maximumSize()) setFixedSize(need);
      resize(need);
    }
  }
  QDialog::showEvent(event);
}

namespace {

// The width `control` needs for its text, 0 when it is none of the kinds that fit.
int NeededTextWidth(const QWidget* control) {
  QString text;
  int extra = 0;
  const QFontMetrics fm(control->font());
  const char* kind = control->metaObject()->className();
  QStyle* style = control->style();
  if (auto* label = qobject_cast<const QLabel*>(control)) {
    if (label->wordWrap() || label->textFormat() == Qt::RichText || !label->pixmap().isNull()) return 0;
    text = label->text();
    int indent = label->indent();
    if (indent < 0) indent = label->frameWidth() > 0 ? fm.horizontalAdvance(QLatin1Char('x')) / 2 : 0;
    extra = 2 * label->frameWidth() + 2 * label->margin() + indent;
  } else if (auto* button = qobject_cast<const QAbstractButton*>(control)) {
    QStyleOptionButton option;
    option.initFrom(button);
    if (!std::strcmp(kind, "QCheckBox")) {
      extra = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, control) +
              style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, control) + 2;
    } else if (!std::strcmp(kind, "QRadioButton")) {
      extra = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, &option, control) +
              style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, &option, control) + 2;
    } else if (!std::strcmp(kind, "QPushButton")) {
      extra = 2 * style->pixelMetric(QStyle::PM_ButtonMargin, &option, control) +
              2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, control);
    } else {
      return 0;  // skinned buttons draw pictures
    }
    text = button->text();
    text.remove(QLatin1Char('&'));
  } else {
    return 0;
  }
  if (text.isEmpty()) return 0;
  int widest = 0;
  for (const QString& line : text.split(QLatin1Char('\n'))) widest = std::max(widest, fm.horizontalAdvance(line));
  return widest + extra;
}

bool IsPlainContainer(const QWidget* w) {
  const char* kind = w->metaObject()->className();
  return qobject_cast<const QGroupBox*>(w) || !std::strcmp(kind, "QWidget") || !std::strcmp(kind, "QFrame");
}

}  // namespace

void FitTextWidth(QWidget* control) {
  if (!control || control->isWindow()) return;
  QWidget* parent = control->parentWidget();
  if (parent && parent->layout()) return;  // the layout sizes it
  const int need = NeededTextWidth(control);
  if (need <= control->width()) return;
  QRect r = control->geometry();
  const int grow = need - r.width();
  Qt::Alignment align = Qt::AlignLeft;
  if (auto* label = qobject_cast<QLabel*>(control)) align = label->alignment();
  if (align & Qt::AlignRight) {
    r.setLeft(r.left() - grow);
  } else if (align & Qt::AlignHCenter) {
    r.setLeft(r.left() - grow / 2);
    r.setWidth(need);
  } else {
    r.setWidth(need);
  }
  control->setGeometry(r);
}

void FitTextWidths(QWidget* window) {
  if (!window) return;
  for (QObject* child : window->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w || w->isWindow()) continue;
    FitTextWidth(w);
    if (IsPlainContainer(w)) FitTextWidths(w);
  }
}

QString Window::GetDlgItemText(int id) const {
  QWidget* w = GetDlgItem(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  return w ? w->property("text").toString() : QString();
}

void Window::EnableDlgItem(int id, bool enable) {
  if (QWidget* w = GetDlgItem(id)) w->setEnabled(enable);
}

void Window::ShowDlgItem(int id, bool show) {
  if (QWidget* w = GetDlgItem(id)) w->setVisible(show);
}

void Window::SetToolTip(int id, const QString& text) {
  if (QWidget* w = GetDlgItem(id)) w->setToolTip(text);
}

void Window::OnMessage(unsigned msg, Handler handler) { handlers_[msg] = std::move(handler); }

plat::LPARAM Window::SendMessage(unsigned msg, plat::WPARAM wParam, plat::LPARAM lParam) {
  auto it = handlers_.find(msg);
  return it == handlers_.end() ? 0 : it->second(wParam, lParam);
}

bool Window::PostMessage(unsigned msg, plat::WPARAM wParam, plat::LPARAM lParam) {
  return plat::PostMessage(hwnd_, msg, wParam, lParam) != 0;
}

void Window::OnPostedMessage(unsigned msg, plat::WPARAM wParam, plat::LPARAM lParam) {
  // Any thread: queue for the GUI thread; never block the poster.
  QMetaObject::invokeMethod(this, [this, msg, wParam, lParam] { Deliver(msg, wParam, lParam); },
                            Qt::QueuedConnection);
}

void Window::Deliver(unsigned msg, plat::WPARAM wParam, plat::LPARAM lParam) {
  HandlerScope scope(this);
  SendMessage(msg, wParam, lParam);
}

void Window::OnCommand(int id, std::function<void()> handler) { commands_[id] = std::move(handler); }

void Window::Command(int id) {
  auto it = commands_.find(id);
  if (it == commands_.end() || !it->second) return;
  HandlerScope scope(this);
  // A copy: the handler may replace its own entry.
  const std::function<void()> handler = it->second;
  handler();
}

void Window::SetTimer(int id, int milliseconds) {
  KillTimer(id);
  timers_[id] = startTimer(milliseconds);
}

void Window::KillTimer(int id) {
  auto it = timers_.find(id);
  if (it != timers_.end()) {
    killTimer(it->second);
    timers_.erase(it);
  }
}

void Window::OnTimer(int) {}

void Window::timerEvent(QTimerEvent* event) {
  for (const auto& [id, qtId] : timers_) {
    if (qtId == event->timerId()) {
      HandlerScope scope(this);
      OnTimer(id);
      return;
    }
  }
  QDialog::timerEvent(event);
}

void Window::MakeFrameless() { setWindowFlags(windowFlags() | Qt::FramelessWindowHint); }

void Window::SetWindowRegion(const QRegion& region) {
  region_ = region;
  if (region.isEmpty()) {
    clearMask();
  } else {
    setMask(region);
  }
}

void Window::mousePressEvent(QMouseEvent* event) {
  if (dragBySurface_ && event->button() == Qt::LeftButton) {
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
  }
  QDialog::mousePressEvent(event);
}

void Window::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - dragOffset_);
  }
  QDialog::mouseMoveEvent(event);
}

void Window::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QDialog::mouseReleaseEvent(event);
}

void Window::keyPressEvent(QKeyEvent* event) {
  // Enter and Esc map to OK and Cancel as in any dialog; subclasses override for more.
  HandlerScope scope(this);
  QDialog::keyPressEvent(event);
}

int Window::DoModal() {
  ModalScope scope(this);
  if (scope.Refused()) return plat::IDCANCEL;
  if (!OnInitDialog()) return -1;
  return exec();
}

void Window::EndDialog(int code) { done(code); }

void Window::DeleteWhenIdle() { ui::DeleteWhenIdle(this, madeAt_); }

QRegion RectRegion(int left, int top, int right, int bottom) {
  return QRegion(left, top, right - left, bottom - top);
}

QRegion RoundRectRegion(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  QPainterPath path;
  path.addRoundedRect(QRectF(left, top, right - left, bottom - top), ellipseWidth / 2.0, ellipseHeight / 2.0);
  return QRegion(path.toFillPolygon().toPolygon());
}

namespace {

// `shown` (when given) learns the box while it is open and loses it when it closes.
int ShowBox(QWidget* owner, const std::string& text, const std::string& caption, unsigned type,
            QPointer<QMessageBox>* shown = nullptr) {
  QMessageBox box(owner);
  ModalScope scope(&box);
  if (scope.Refused()) return plat::IDCANCEL;
  if (shown) *shown = &box;
  box.setText(QString::fromStdString(text));
  box.setWindowTitle(QString::fromStdString(caption));
  switch (type & 0xF) {
    case plat::MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case plat::MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
  }
  switch (type & 0xF0) {
    case plat::MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case plat::MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case plat::MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case plat::MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  switch (box.exec()) {
    case QMessageBox::Cancel: return plat::IDCANCEL;
    case QMessageBox::Yes: return plat::IDYES;
    case QMessageBox::No: return plat::IDNO;
    default: return plat::IDOK;
  }
}

}  // namespace

void InstallMessageBoxHandler() {
  plat::SetMessageBoxHandler([](plat::HWND, const std::string& text, const std::string& caption, unsigned type) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return plat::IDOK;
    if (OnGuiThread()) {
      return ShowBox(QApplication::activeWindow(), text, caption, type);
    }
    if ((type & 0xF) == plat::MB_OK) {
      QMetaObject::invokeMethod(app, [text, caption, type] { ShowBox(QApplication::activeWindow(), text, caption, type); },
                                Qt::QueuedConnection);
      return plat::IDOK;
    }
    // A question: the worker waits for the answer with a platform wait, so cancelling it
    // ends the wait, and the box it asked for is then closed (or never opened).
    struct Question {
      plat::PendingAnswer answer;
      QPointer<QMessageBox> box;  // GUI thread only
    };
    auto question = std::make_shared<Question>();
    QMetaObject::invokeMethod(
        app,
        [question, text, caption, type] {
          if (question->answer.Abandoned()) return;
          question->answer.Give(ShowBox(QApplication::activeWindow(), text, caption, type, &question->box));
        },
        Qt::QueuedConnection);
    return question->answer.Wait([app, question] {
      QMetaObject::invokeMethod(
          app,
          [question] {
            if (question->box) question->box->done(QMessageBox::Cancel);
          },
          Qt::QueuedConnection);
    });
  });
}

}  // namespace ui
