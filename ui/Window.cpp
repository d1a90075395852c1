#include "ui/Window.h"

#include <QAbstractButton>
#include <QApplication>
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
    if (QThread::currentThread() == app->thread()) {
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
