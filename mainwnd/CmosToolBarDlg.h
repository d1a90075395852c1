// The image-sensor toolbar of K47R devices: a narrow frameless window docked to the main
// window's left edge. The main window creates it, places it and keeps it docked as it moves;
// the stream's header parser posts the sensor state to its window (WM_SENSORSTATE), which is
// dropped until the toolbar has its buttons.
#pragma once
#include "core/UiInterfaces.h"
#include "ui/Surface.h"
#include "ui/Window.h"

class CCmosToolBarDlg : public ui::Window, public ISensorToolBar {
  Q_OBJECT

 public:
  static constexpr int kWidth = 45;
  static constexpr int kHeight = 300;
  static constexpr int kCornerEllipse = 10;

  explicit CCmosToolBarDlg(QWidget* parent = nullptr);

  // A tool window of its owner: frameless, 45 x 300, rounded corners, with its background.
  bool Create(QWidget* parent);

  plat::HWND GetHwnd() const override { return Hwnd(); }

  // Enter and Esc never close the toolbar.
  void OnOK() override {}
  void OnCancel() override {}

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  ui::Bitmap m_background;
};
