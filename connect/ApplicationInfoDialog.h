// The about box.
#pragma once
#include "ui/Surface.h"
#include "ui/Window.h"

class CVtxButton;

// The about box: the login background, the logo and the version text.
class CApplicationInfoDialog : public ui::Window {
  Q_OBJECT

 public:
  static constexpr const char* kVersionText = "Version : 0.0.1.8";
  explicit CApplicationInfoDialog(QWidget* parent = nullptr);
  bool OnInitDialog() override;
  bool m_bInitialised = false;  // every picture was found

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ui::Bitmap m_background;
  ui::Bitmap m_logo;
  CVtxButton* m_ok = nullptr;
};
