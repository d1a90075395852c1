// The colour popup: a borderless, skinned, draggable window of 304 x 196 pixels in which the
// operator adjusts brightness, contrast and hue of the connected device's picture. Each value
// has a slider (0-255) and a numeric edit; Enter (the apply control) sends the values with
// /SetColor.cgi and keeps the popup open; Escape, CANCEL and the close button close it.
//
// Video servers show brightness and hue shifted by 128 (the device's 0 is the middle of the
// scale); other recorders show the device's values as they are.
#pragma once
#include <QRect>
#include <string>

#include "ui/Surface.h"
#include "ui/Window.h"

class QSlider;
class QLineEdit;
class CVtxButton;

class CColorSettingDlg : public ui::Window {
  Q_OBJECT

 public:
  // Controls of the popup.
  enum : int {
    IDC_APPLY = 1,
    IDC_CANCEL_BUTTON = 2,
    IDC_DEFAULT = 1306,
    IDC_CLOSE_BUTTON = 8300,
    IDC_EDIT_BRIGHTNESS = 1040,
    IDC_EDIT_CONTRAST = 1041,
    IDC_EDIT_HUE = 1042,
    IDC_EDIT_SATURATION = 1043,
    IDC_SLIDER_BRIGHTNESS = 1313,
    IDC_SLIDER_SATURATION = 1314,
    IDC_SLIDER_CONTRAST = 1315,
    IDC_SLIDER_HUE = 1316,
  };
  static constexpr int kWidth = 304;
  static constexpr int kHeight = 196;
  static constexpr int kPageSize = 10;

  explicit CColorSettingDlg(QWidget* parent = nullptr);
  ~CColorSettingDlg() override;

  bool OnInitDialog() override;
  void OnOK() override;      // apply; the popup stays open
  void OnCancel() override;  // closes without sending
  void OnDefault();
  // A slider reports a move (codes as a horizontal scroll bar: 0/1 line, 2/3 page, 4-7 thumb,
  // top, bottom); `pos` is the slider's position after the move.
  void OnHScroll(int sliderId, int code, int pos);
  // The operator typed into the edit of a row (0 brightness, 1 contrast, 2 hue, 3 saturation).
  void OnChangeEdit(int row);

  // Members to controls (save false) or controls to members (save true).
  void UpdateData(bool save);

  int m_nBrightnessPos = 0, m_nContrastPos = 0, m_nHuePos = 0, m_nSaturationPos = 0;
  int m_nBrightness = 0, m_nContrast = 0, m_nHue = 0, m_nSaturation = 0;
  int m_nDeviceBrightness = 0, m_nDeviceContrast = 0, m_nDeviceHue = 0;

  QSlider* Slider(int id) const;
  QLineEdit* Edit(int id) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  // Enter applies (the popup stays open); Escape closes.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int* PosMember(int row);
  int* ValueMember(int row);
  std::string ProductId() const;

  ui::Bitmap m_skin[9];
  bool m_updating = false;
};
