#include "ui/SignalShutdown.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include "core/TraceLog.h"
#include "platform/signals.h"

namespace ui {

SignalShutdown::SignalShutdown(QObject* parent) : QObject(parent) {
  const int fd = plat::InstallShutdownSignals();
  if (fd < 0) return;
  m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, [this] { OnSignal(); });
  m_repeat = new QTimer(this);
  m_repeat->setInterval(kCloseRepeatMs);
  connect(m_repeat, &QTimer::timeout, this, [this] { CloseTopWindow(); });
}

SignalShutdown::~SignalShutdown() {
  if (m_notifier) {
    m_notifier->setEnabled(false);
    plat::RemoveShutdownSignals();
  }
}

void SignalShutdown::OnSignal() {
  const int signo = plat::TakeShutdownSignal();
  if (signo == 0 || m_signal != 0) return;
  m_signal = signo;
  TraceLog_Append("Signal " + std::to_string(signo) + ": the program shuts down");
  CloseTopWindow();
  m_repeat->start();
}

void SignalShutdown::CloseTopWindow() {
  // Only the window on top: a window under it waits for the handler that opened the top one
  // to return, and is closed on a later round.
  if (QWidget* top = QApplication::activeModalWidget()) top->close();
}

}  // namespace ui
