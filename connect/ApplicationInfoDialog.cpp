#include "connect/ApplicationInfoDialog.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "data/skin/Skin.h"
#include "ui/VtxButton.h"

CApplicationInfoDialog::CApplicationInfoDialog(QWidget* parent) : ui::Window(parent) {
  MakeFrameless();
  setFixedSize(304, 238);
  SetDragBySurface(true);
}

bool CApplicationInfoDialog::OnInitDialog() {
  QPainterPath rounded;
  rounded.addRoundedRect(QRectF(0, 0, 304, 238), 5, 5);  // 10 x 10 corner ellipses
  SetWindowRegion(QRegion(rounded.toFillPolygon().toPolygon()));
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect work = s->availableGeometry();
    move(work.center() - QPoint(152, 119));
  }
  // The pictures and places come from the skin table: the background, the maker's logo and
  // the OK button's two faces.
  if (!m_background.Load(skin::Path(skin::ABOUT_BACKGROUND))) return true;
  if (!m_logo.Load(skin::Path(skin::ABOUT_LOGO))) return true;
  const skin::Entry& ok = skin::Get(skin::ABOUT_OK);
  m_ok = new CVtxButton(this);
  m_ok->Create(QRect(ok.x, ok.y, ok.width, ok.height), this, plat::IDOK);
  m_ok->LoadButtonBitmap(ok.path, skin::Path(skin::ABOUT_OK_OVER), skin::Path(skin::ABOUT_OK_OVER), 2);
  AddControl(plat::IDOK, m_ok);
  OnCommand(plat::IDOK, [this] { OnOK(); });
  m_bInitialised = true;
  return true;
}

void CApplicationInfoDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!m_background.IsNull()) p.drawImage(rect(), m_background.Image());
  const skin::Entry& logo = skin::Get(skin::ABOUT_LOGO);
  if (!m_logo.IsNull()) p.drawImage(QRect(logo.x, logo.y, logo.width, logo.height), m_logo.Image());
  p.setPen(Qt::black);
  p.setBackgroundMode(Qt::TransparentMode);
  p.drawText(QPoint(160, 50 + p.fontMetrics().ascent()), kVersionText);
}
