#include "mainwnd/CmosToolBarDlg.h"

#include <QKeyEvent>
#include <QPainter>

namespace {
constexpr const char* kToolBarBackground = "BMP\\CMOS\\ToolBarBG.bmp";
}

CCmosToolBarDlg::CCmosToolBarDlg(QWidget* parent) : ui::Window(parent) {}

bool CCmosToolBarDlg::Create(QWidget* parent) {
  if (parent != parentWidget()) setParent(parent);
  // A tool window stays above its owner and has no task-bar entry of its own.
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
  resize(kWidth, kHeight);
  SetWindowRegion(ui::RoundRectRegion(0, 0, kWidth, kHeight, kCornerEllipse, kCornerEllipse));
  // A missing picture leaves the toolbar plain; nothing is reported.
  m_background.Load(kToolBarBackground);
  return true;
}

void CCmosToolBarDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (m_background.IsNull()) {
    painter.fillRect(rect(), QColor(0x1B, 0x25, 0x33));
  } else {
    painter.drawImage(QRect(0, 0, kWidth, kHeight), m_background.Image());
  }
}

void CCmosToolBarDlg::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
    event->accept();
    return;
  }
  ui::Window::keyPressEvent(event);
}
