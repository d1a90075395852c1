// The window layer: windows and dialogs over Qt Widgets in the shape our dialogs use them.
//
// - Controls are registered and found by their numeric ids.
// - A message map: handlers by message id, reached by messages posted from any thread
//   (plat::PostMessage to Hwnd()) and delivered in order on the GUI thread; a window that is
//   gone drops them.
// - Commands: a click of a control calls the handler registered for its id.
// - Window timers by id, tooltips by control id.
// - Frameless shaped windows (a region) that can be dragged by their surface.
// - Modal runs returning the end code.
// - Handlers and modal runs are tracked (ui/Lifetime.h): DeleteWhenIdle closes a window at once
//   and deletes it once none of its handlers is on the stack.
#pragma once
#include <cstdint>
#include <QDialog>
#include <QRegion>
#include <functional>
#include <map>
#include "platform/messages.h"

namespace ui {

class Window : public QDialog {
  Q_OBJECT

 public:
  explicit Window(QWidget* parent = nullptr);
  ~Window() override;

  plat::HWND Hwnd() const { return hwnd_; }

  // Controls by id.
  void AddControl(int id, QWidget* control);
  QWidget* GetDlgItem(int id) const;
  template <class T>
  T* Item(int id) const { return qobject_cast<T*>(GetDlgItem(id)); }
  void SetDlgItemText(int id, const QString& text);
  QString GetDlgItemText(int id) const;
  void EnableDlgItem(int id, bool enable);
  void ShowDlgItem(int id, bool show);
  void SetToolTip(int id, const QString& text);

  // Message map. Handlers run on the GUI thread.
  using Handler = std::function<plat::LPARAM(plat::WPARAM, plat::LPARAM)>;
  void OnMessage(unsigned msg, Handler handler);
  // Calls the handler at once (GUI thread only); 0 when there is none.
  plat::LPARAM SendMessage(unsigned msg, plat::WPARAM wParam = 0, plat::LPARAM lParam = 0);
  // Posts to this window's queue (any thread).
  bool PostMessage(unsigned msg, plat::WPARAM wParam = 0, plat::LPARAM lParam = 0);

  // Commands by control id (button clicks; controls added with AddControl are connected).
  void OnCommand(int id, std::function<void()> handler);
  void Command(int id);  // runs the command handler, as a click would

  // Window timers.
  void SetTimer(int id, int milliseconds);
  void KillTimer(int id);
  virtual void OnTimer(int id);

  // Shape: a frameless window with a region (rounded or plain rectangles), dragged by its surface.
  void MakeFrameless();
  void SetWindowRegion(const QRegion& region);
  QRegion WindowRegion() const { return region_; }
  void SetDragBySurface(bool enable) { dragBySurface_ = enable; }

  // Modal run: OnInitDialog, then the loop until EndDialog; answers the end code.
  // A handler of a window waiting for its deletion runs none: IDCANCEL at once.
  int DoModal();
  void EndDialog(int code);
  // Hides the window now and deletes it from the event loop once no handler of it (nor of a
  // dialog one of them runs) is on the stack; the dialogs its handlers wait in are cancelled
  // (OnCancel).
  void DeleteWhenIdle();
  virtual bool OnInitDialog() { return true; }
  virtual void OnOK() { EndDialog(plat::IDOK); }
  virtual void OnCancel() { EndDialog(plat::IDCANCEL); }

 protected:
  // Any thread: queues the message for the GUI thread.
  void OnPostedMessage(unsigned msg, plat::WPARAM wParam, plat::LPARAM lParam);
  void timerEvent(QTimerEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void accept() override { OnOK(); }
  void reject() override { OnCancel(); }

 private:
  // The registered receiver of posted messages. A member, not a base: a worker may post while a
  // derived window's destructor runs, and the sink's own type never changes under it.
  class PostedSink : public plat::MessageSink {
   public:
    explicit PostedSink(Window* window) : window_(window) {}
    void OnPostedMessage(unsigned msg, plat::WPARAM wParam, plat::LPARAM lParam) override {
      window_->OnPostedMessage(msg, wParam, lParam);
    }

   private:
    Window* window_;
  };
  PostedSink sink_{this};
  void Deliver(unsigned msg, plat::WPARAM wParam, plat::LPARAM lParam);

  plat::HWND hwnd_ = 0;
  std::uint64_t madeAt_ = 0;  // modal loops entered before this window was made
  std::map<int, QWidget*> controls_;
  std::map<unsigned, Handler> handlers_;
  std::map<int, std::function<void()>> commands_;
  std::map<int, int> timers_;  // our id -> Qt timer id
  QRegion region_;
  bool dragBySurface_ = false;
  bool dragging_ = false;
  QPoint dragOffset_;
};

// Text that fits: the pixel widths the windows place their controls at are minimums. A label,
// check box, radio button or push button grows to the width its text needs in its own font
// (the widest line of a text with line breaks); a right-aligned label keeps its right edge, a
// centred one its centre, everything else its left edge. Controls a layout places, word-wrapping
// labels and skinned buttons keep their size. Windows fit their controls whenever they are shown
// and a control whenever SetDlgItemText changes its text.
void FitTextWidth(QWidget* control);
// Every control of `window`: its children and the children of plain containers (group boxes,
// frames) below them.
void FitTextWidths(QWidget* window);

// Regions for shaped windows.
QRegion RectRegion(int left, int top, int right, int bottom);
QRegion RoundRectRegion(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);

// Installs the message-box handler that shows boxes on the GUI thread. From a worker thread a
// box with a single OK button is handed over and answered IDOK at once (the worker never waits
// for the GUI thread); other boxes wait for the operator's answer.
void InstallMessageBoxHandler();

}  // namespace ui
