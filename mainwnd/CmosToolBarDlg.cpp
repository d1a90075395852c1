#include "mainwnd/CmosToolBarDlg.h"

#include <QKeyEvent>
#include <QPainter>
#include <string>

#include "core/Messages.h"
#include "core/Strings.h"
#include "session/OperatorCommands.h"
#include "ui/VtxButton.h"

const CmosButtonRow CmosButtonTable[kCmosButtonCount] = {
    {8600, 6, 10, 30, 30, {"FullFrame_UP.bmp", "FullFrame_UP.bmp", "FullFrame_DOWN.bmp", "FullFrame_DOWN.bmp"}, true},
    {8601, 6, 44, 30, 30, {"QFrame_LT_UP.bmp", "QFrame_LT_UP.bmp", "QFrame_LT_DOWN.bmp", "QFrame_LT_DOWN.bmp"}, true},
    {8602, 6, 78, 30, 30, {"QFrame_RT_UP.bmp", "QFrame_RT_UP.bmp", "QFrame_RT_DOWN.bmp", "QFrame_RT_DOWN.bmp"}, true},
    {8603, 6, 112, 30, 30, {"QFrame_LB_UP.bmp", "QFrame_LB_UP.bmp", "QFrame_LB_DOWN.bmp", "QFrame_LB_DOWN.bmp"}, true},
    {8604, 6, 146, 30, 30, {"QFrame_RB_UP.bmp", "QFrame_RB_UP.bmp", "QFrame_RB_DOWN.bmp", "QFrame_RB_DOWN.bmp"}, true},
    {8605, 6, 180, 30, 30, {"QFrame_CN_UP.bmp", "QFrame_CN_UP.bmp", "QFrame_CN_DOWN.bmp", "QFrame_CN_DOWN.bmp"}, true},
    {8606, 6, 214, 30, 30, {"CMOS_HR_UP.bmp", "CMOS_HR_DOWN.bmp", "CMOS_HR_DOWN.bmp", nullptr}, false},
    {8607, 6, 248, 30, 30, {"CMOS_VR_UP.bmp", "CMOS_VR_DOWN.bmp", "CMOS_VR_DOWN.bmp", nullptr}, false},
};

namespace {
constexpr const char* kToolBarBackground = "BMP\\CMOS\\ToolBarBG.bmp";
constexpr int kZoomModes = 6;

std::string CmosFile(const char* name) { return std::string("BMP\\CMOS\\") + name; }
}  // namespace

CCmosToolBarDlg::CCmosToolBarDlg(QWidget* parent) : ui::Window(parent) {
  for (int i = 0; i < kZoomModes; ++i) {
    OnCommand(CmosButtonTable[i].id, [this, i] { SendZoomMode(i); });
  }
  OnCommand(IDC_HORIZONTAL_ROTATE, [this] { OnHorizontalRotate(); });
  OnCommand(IDC_VERTICAL_ROTATE, [this] { OnVerticalRotate(); });
  OnMessage(msg::WM_SENSORSTATE, [this](plat::WPARAM state, plat::LPARAM) {
    return OnSensorState(static_cast<std::uint8_t>(state & 0xFF));
  });
}

bool CCmosToolBarDlg::Create(QWidget* parent) {
  if (parent != parentWidget()) setParent(parent);
  // A tool window stays above its owner and has no task-bar entry of its own.
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
  resize(kWidth, kHeight);
  SetWindowRegion(ui::RoundRectRegion(0, 0, kWidth, kHeight, kCornerEllipse, kCornerEllipse));
  if (m_created) return true;
  m_created = true;
  // A missing picture leaves the toolbar plain; the buttons are made all the same.
  m_background.Load(kToolBarBackground);
  for (int i = 0; i < kCmosButtonCount; ++i) {
    const CmosButtonRow& row = CmosButtonTable[i];
    auto* b = new CVtxButton(this);
    b->Create(QRect(row.left, row.top, row.width, row.height), this, row.id);
    b->setToolTip(QString::fromLatin1(LoadStr(static_cast<unsigned>(row.id))));
    if (row.multi) {
      b->LoadButtonBitmap(2, {CmosFile(row.files[0]), CmosFile(row.files[1]), CmosFile(row.files[2]), CmosFile(row.files[3])},
                          VBS_MULTI);
    } else {
      b->LoadButtonBitmap(CmosFile(row.files[0]), CmosFile(row.files[1]), CmosFile(row.files[2]), VBS_PUSH);
    }
    AddControl(row.id, b);
    m_Buttons[i] = b;
  }
  ShowZoomModeButtons();
  return true;
}

void CCmosToolBarDlg::ShowZoomModeButtons() {
  ++m_faceUpdates;
  for (int i = 0; i < kZoomModes; ++i) {
    if (m_Buttons[i]) m_Buttons[i]->SetImageIndex(i == m_byZoomMode ? 1 : 0);
  }
}

void CCmosToolBarDlg::SendZoomMode(int mode) {
  // The faces go back to the mode last reported: the click's own step is undone.
  ShowZoomModeButtons();
  if (!SendSensorZoom(mode)) MessageBoxById(Hwnd(), IDS_SEND_COMMAND_TIMEOUT);
}

void CCmosToolBarDlg::OnHorizontalRotate() {
  if (!SendSensorRotate(true, m_byHorizontalRotate ? 0 : 1, m_byVerticalRotate)) MessageBoxById(Hwnd(), IDS_SEND_COMMAND_TIMEOUT);
}

void CCmosToolBarDlg::OnVerticalRotate() {
  if (!SendSensorRotate(false, m_byHorizontalRotate, m_byVerticalRotate ? 0 : 1)) MessageBoxById(Hwnd(), IDS_SEND_COMMAND_TIMEOUT);
}

plat::LPARAM CCmosToolBarDlg::OnSensorState(std::uint8_t s) {
  bool changed = false;
  const std::uint8_t mode = s & 0x0F;
  if (mode != m_byZoomMode) {
    m_byZoomMode = mode;
    changed = true;
  }
  const std::uint8_t hr = (s & 0x80) ? 1 : 0;
  if (hr != m_byHorizontalRotate) {
    m_byHorizontalRotate = hr;
    changed = true;
  }
  const std::uint8_t vr = (s & 0x40) ? 1 : 0;
  if (vr != m_byVerticalRotate) {
    m_byVerticalRotate = vr;
    changed = true;
  }
  if (changed) ShowZoomModeButtons();
  return 0;
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
