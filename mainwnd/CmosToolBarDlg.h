// The image-sensor toolbar of K47R devices: a narrow frameless window docked to the main
// window's left edge. Six buttons choose the sensor's read-out window (the full frame or one of
// five quarter frames), two switch mirroring (horizontal) and flipping (vertical). Each button
// sends one command; the faces show only what the device reports back in the frame headers
// (WM_SENSORSTATE, posted by the stream's header parser), never the click itself.
#pragma once
#include <cstdint>

#include "core/UiInterfaces.h"
#include "ui/Surface.h"
#include "ui/Window.h"

class CVtxButton;

// One button of the toolbar: id, client rectangle, pictures in "BMP\CMOS\" and whether it is a
// two-face mode button (normal 0, hover 0, normal 1, hover 1) or a push button (flat, focus,
// selected).
struct CmosButtonRow {
  int id;
  int left, top, width, height;
  const char* files[4];
  bool multi;
};
constexpr int kCmosButtonCount = 8;
extern const CmosButtonRow CmosButtonTable[kCmosButtonCount];

class CCmosToolBarDlg : public ui::Window, public ISensorToolBar {
  Q_OBJECT

 public:
  static constexpr int kWidth = 45;
  static constexpr int kHeight = 300;
  static constexpr int kCornerEllipse = 10;
  enum : int { IDC_ZOOM_FULL = 8600, IDC_HORIZONTAL_ROTATE = 8606, IDC_VERTICAL_ROTATE = 8607 };

  explicit CCmosToolBarDlg(QWidget* parent = nullptr);

  // A tool window of its owner: frameless, 45 x 300, rounded corners, with its background and
  // buttons. A missing picture leaves that part plain; the buttons are made all the same.
  bool Create(QWidget* parent);

  plat::HWND GetHwnd() const override { return Hwnd(); }

  // Enter and Esc never close the toolbar.
  void OnOK() override {}
  void OnCancel() override {}

  void SendZoomMode(int mode);
  void OnHorizontalRotate();
  void OnVerticalRotate();
  plat::LPARAM OnSensorState(std::uint8_t state);
  // Lowers the mode button of the reported mode, raises the others.
  void ShowZoomModeButtons();

  std::uint8_t ZoomMode() const { return m_byZoomMode; }
  std::uint8_t HorizontalRotate() const { return m_byHorizontalRotate; }
  std::uint8_t VerticalRotate() const { return m_byVerticalRotate; }
  CVtxButton* ToolButton(int i) const { return (i >= 0 && i < kCmosButtonCount) ? m_Buttons[i] : nullptr; }
  // How often the faces were shown again (a report that changes nothing repaints nothing).
  int FaceUpdates() const { return m_faceUpdates; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  ui::Bitmap m_background;
  CVtxButton* m_Buttons[kCmosButtonCount] = {};
  std::uint8_t m_byZoomMode = 0;
  std::uint8_t m_byHorizontalRotate = 0;
  std::uint8_t m_byVerticalRotate = 0;
  int m_faceUpdates = 0;
  bool m_created = false;
};
