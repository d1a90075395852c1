#include "ui/Lifetime.h"

#include <QCoreApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <vector>


namespace ui {
namespace {

// One entry of the GUI thread's stack: a handler of a window, or a modal loop.
struct StackFrame {
  bool modal = false;
  QPointer<QWidget> widget;  // the handler's window, or the loop's dialog (may be null)
  std::uint64_t serial = 0;  // a modal loop's number
};

struct PendingDeletion {
  QPointer<QWidget> window;
  std::uint64_t madeAt = 0;
  bool scheduled = false;  // deleteLater called; the entry goes with the window
};

std::vector<StackFrame>& StackFrames() {
  static std::vector<StackFrame> frames;
  return frames;
}

std::vector<PendingDeletion>& PendingDeletions() {
  static std::vector<PendingDeletion> pending;
  return pending;
}

std::uint64_t g_modalCount = 0;

// `w` is `root` or lies in it (across window boundaries: a dialog parented to a page counts).
bool LiesIn(const QWidget* w, const QWidget* root) {
  for (; w; w = w->parentWidget()) {
    if (w == root) return true;
  }
  return false;
}

// The stack entries that belong to `root`: handlers of widgets in it, the modal loops such a
// handler entered, and the handlers of those loops' dialogs, transitively.
std::vector<std::size_t> FramesOf(const QWidget* root) {
  std::vector<const QWidget*> owners{root};
  auto owned = [&owners](const QWidget* w) {
    return w && std::any_of(owners.begin(), owners.end(), [w](const QWidget* o) { return LiesIn(w, o); });
  };
  std::vector<std::size_t> out;
  bool handlerOwned = false;  // the innermost handler below belongs to root
  const std::vector<StackFrame>& frames = StackFrames();
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const QWidget* w = frames[i].widget.data();
    if (!frames[i].modal) {
      handlerOwned = owned(w);
      if (handlerOwned) out.push_back(i);
    } else if (handlerOwned || owned(w)) {
      out.push_back(i);
      if (w) owners.push_back(w);
    }
  }
  return out;
}

bool Deletable(const PendingDeletion& p) {
  if (!FramesOf(p.window.data()).empty()) return false;
  const std::vector<StackFrame>& frames = StackFrames();
  return std::none_of(frames.begin(), frames.end(),
                      [&p](const StackFrame& f) { return f.modal && f.serial > p.madeAt; });
}

// Deletes, from the event loop, every waiting window nothing holds any more.
void Sweep() {
  std::vector<PendingDeletion>& pending = PendingDeletions();
  for (auto it = pending.begin(); it != pending.end();) {
    if (!it->window) {
      it = pending.erase(it);
      continue;
    }
    if (!it->scheduled && Deletable(*it)) {
      it->scheduled = true;
      it->window->deleteLater();
    }
    ++it;
  }
}

void EndModal(QWidget* dialog) {
  if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
    box->done(QMessageBox::Cancel);
  } else if (auto* d = qobject_cast<QDialog*>(dialog)) {
    // The dialog's own Cancel (ui::Window: OnCancel), which stops what it runs; one that
    // waits for its work to end closes itself later, and the deletion waits for it.
    d->reject();
  }
}

}  // namespace

HandlerScope::HandlerScope(QWidget* window) {
  if (!window || !OnGuiThread()) return;
  StackFrames().push_back({false, window, 0});
  pushed_ = true;
}

HandlerScope::~HandlerScope() {
  if (!pushed_) return;
  StackFrames().pop_back();
  if (!PendingDeletions().empty()) Sweep();
}

ModalScope::ModalScope(QWidget* dialog) {
  if (!OnGuiThread()) return;
  const std::vector<StackFrame>& frames = StackFrames();
  auto handler = std::find_if(frames.rbegin(), frames.rend(), [](const StackFrame& f) { return !f.modal; });
  for (const PendingDeletion& p : PendingDeletions()) {
    if (!p.window) continue;
    if (dialog && LiesIn(dialog, p.window.data())) refused_ = true;
    if (handler != frames.rend()) {
      const std::size_t index = static_cast<std::size_t>(frames.rend() - handler) - 1;
      const std::vector<std::size_t> owned = FramesOf(p.window.data());
      if (std::find(owned.begin(), owned.end(), index) != owned.end()) refused_ = true;
    }
  }
  if (refused_) return;
  StackFrames().push_back({true, dialog, ++g_modalCount});
  pushed_ = true;
}

ModalScope::~ModalScope() {
  if (!pushed_) return;
  StackFrames().pop_back();
  if (!PendingDeletions().empty()) Sweep();
}

std::uint64_t ModalMark() { return OnGuiThread() ? g_modalCount : 0; }

void DeleteWhenIdle(QWidget* window, std::uint64_t madeAt) {
  if (!window || !OnGuiThread()) return;
  window->hide();
  std::vector<PendingDeletion>& pending = PendingDeletions();
  if (std::none_of(pending.begin(), pending.end(), [window](const PendingDeletion& p) { return p.window == window; })) {
    pending.push_back({window, madeAt});
  }
  // The modal dialogs its handlers wait in are ended, innermost first; the loops return once
  // this handler has.
  std::vector<QPointer<QWidget>> dialogs;
  const std::vector<std::size_t> owned = FramesOf(window);
  for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
    const StackFrame& f = StackFrames()[*it];
    if (f.modal && f.widget && f.widget != window) dialogs.push_back(f.widget);
  }
  for (const QPointer<QWidget>& d : dialogs) {
    if (d) EndModal(d.data());
  }
  Sweep();
}

bool IsWaitingForDeletion(const QWidget* widget) {
  if (!widget || !OnGuiThread()) return false;
  const std::vector<PendingDeletion>& pending = PendingDeletions();
  return std::any_of(pending.begin(), pending.end(),
                     [widget](const PendingDeletion& p) { return p.window && LiesIn(widget, p.window.data()); });
}

bool OnGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

}  // namespace ui
