// Deleting a window only when nothing of it is on the GUI thread's stack.
//
// A handler of a window (a command, a posted message, a timer, a change handler, a key) runs
// inside a HandlerScope; every modal loop (DoModal, message boxes, file pickers, pop-up menus)
// runs inside a ModalScope. While a handler waits in a modal loop, the event loop runs on and
// may ask for the window to go (another window's button, a posted close): DeleteWhenIdle then
// hides it at once and deletes it from the event loop once
//   - no handler of it is on the stack (its own, a widget's inside it, or one of a dialog that
//     such a handler runs modally), and
//   - every modal loop entered since the window was made has returned.
// The modal dialogs its handlers run are cancelled as their Cancel button would (message boxes
// answer Cancel), and a handler of a window that is waiting to be deleted opens none: its
// modal runs answer Cancel at once.
// GUI thread only; from another thread these calls do nothing.
#pragma once
#include <cstdint>

class QWidget;

namespace ui {

// Whether the caller runs on the application object's thread (false before it exists).
bool OnGuiThread();

class HandlerScope {
 public:
  explicit HandlerScope(QWidget* window);
  ~HandlerScope();
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;

 private:
  bool pushed_ = false;
};

class ModalScope {
 public:
  // `dialog` (may be null) is the window whose loop runs; it is ended with Cancel when the
  // window whose handler opened it is deleted.
  explicit ModalScope(QWidget* dialog);
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
  // The loop must not run: the handler that opens it belongs to a window waiting for its
  // deletion. The caller answers Cancel without showing anything.
  bool Refused() const { return refused_; }

 private:
  bool pushed_ = false;
  bool refused_ = false;
};

// The count of modal loops entered so far (a window remembers it when it is made).
std::uint64_t ModalMark();

// Hides `window` and deletes it (deleteLater) as soon as the rules above allow; `madeAt` is
// ModalMark() of the window's making.
void DeleteWhenIdle(QWidget* window, std::uint64_t madeAt);

// `widget`, or a widget it lies in, is waiting for its deletion.
bool IsWaitingForDeletion(const QWidget* widget);

}  // namespace ui
