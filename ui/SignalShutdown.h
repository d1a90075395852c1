// The shut-down signals answered on the GUI thread: the first SIGTERM, SIGINT or SIGHUP closes
// the windows as the operator would, the modal window on top first (a message box, a dialog,
// then the main or the login window), each by its own close, until the program's run ends.
// The main window's close is the shut-down that closes the recordings with their index,
// saves the settings and stops the threads. A second signal ends the process at once.
#pragma once
#include <QObject>

class QSocketNotifier;
class QTimer;

namespace ui {

class SignalShutdown : public QObject {
 public:
  // Installs the signal handler; the signals keep their default action when it cannot be.
  explicit SignalShutdown(QObject* parent = nullptr);
  ~SignalShutdown() override;
  SignalShutdown(const SignalShutdown&) = delete;
  SignalShutdown& operator=(const SignalShutdown&) = delete;

  bool Installed() const { return m_notifier != nullptr; }
  // The signal that started the shut-down, 0 while none came.
  int Signal() const { return m_signal; }

  // How often the window on top is closed again while the run goes on (a close that asked a
  // question or was refused meanwhile).
  static constexpr int kCloseRepeatMs = 100;

 private:
  void OnSignal();
  void CloseTopWindow();

  QSocketNotifier* m_notifier = nullptr;
  QTimer* m_repeat = nullptr;
  int m_signal = 0;
};

}  // namespace ui
