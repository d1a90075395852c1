// Routing of window messages and message boxes between engine threads and the user interface.
//
// The engine never includes a widget header. A window registers a MessageSink and gets an
// HWND; PostMessage from any thread hands (msg, wParam, lParam) to that sink, which only
// queues it for its GUI thread (it must not block). A window that is gone drops the message
// (PostMessage answers 0).
//
// Message boxes go through one handler that the UI installs (showing the box on the GUI
// thread) and that tests replace with a recorder that answers. Without a handler the text is
// written to stderr and IDOK answered.
#pragma once
#include <atomic>
#include <functional>
#include <string>
#include "platform/types.h"

namespace plat {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void OnPostedMessage(unsigned msg, WPARAM wParam, LPARAM lParam) = 0;
};

HWND RegisterMessageSink(MessageSink* sink);
void UnregisterMessageSink(HWND hwnd);  // after it returns the sink is never called again
BOOL PostMessage(HWND hwnd, unsigned msg, WPARAM wParam, LPARAM lParam);
BOOL IsWindowAlive(HWND hwnd);

constexpr unsigned WM_USER = 0x400;

// Message-box types and answers (Windows values).
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

using MessageBoxHandler =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, unsigned type)>;

// The answer to a box asked for on a worker thread and shown on the GUI thread. The worker
// waits with a platform wait, so cancelling the worker ends the wait at once
// (ThreadCancelled) and marks the question abandoned: the GUI side then does not show the box,
// or closes the one it shows (OnAbandon). Shared by both sides (hold it in a shared_ptr).
class PendingAnswer {
 public:
  PendingAnswer();
  ~PendingAnswer();
  PendingAnswer(const PendingAnswer&) = delete;
  PendingAnswer& operator=(const PendingAnswer&) = delete;

  // GUI side: hands the answer over; the first one counts.
  void Give(int answer);
  // GUI side: true once the asking thread gave up waiting.
  bool Abandoned() const { return abandoned_.load(); }
  // Worker side: the answer, or IDCANCEL when it cannot be waited for. Throws
  // ThreadCancelled when the waiting thread is cancelled (after calling `onAbandon`).
  int Wait(const std::function<void()>& onAbandon = {});

 private:
  HANDLE answered_;
  std::atomic<int> answer_{0};
  std::atomic<bool> abandoned_{false};
};

// Installs the handler; returns the previous one (tests restore it).
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
int MessageBox(HWND owner, const std::string& text, const std::string& caption = "", unsigned type = MB_OK);

}  // namespace plat
