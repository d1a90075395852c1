#include "config/PageFrame.h"

#include <QPaintEvent>
#include <QPalette>

QRect CSheetPageFrame::ClientRect() {
  QWidget* w = GetFrameWindow();
  return w ? w->rect() : QRect();
}

void CSheetPageFrame::InvalidateArea(const QRect& rect) {
  if (QWidget* w = GetFrameWindow()) w->update(rect);
}

void CSheetPageFrame::EnableCaption(bool enable) {
  m_bCaption = enable;
  InvalidateArea(GetCaptionBarRect());
}

void CSheetPageFrame::SetCaptionBarHeight(int height) {
  m_nCaptionHeight = height;
  InvalidateArea(GetCaptionBarRect());
}

void CSheetPageFrame::SetCaptionTextIcon(const QString& text, const QIcon& icon) {
  m_strCaption = text;
  m_hCaptionIcon = icon;
  InvalidateArea(GetCaptionBarRect());
}

void CSheetPageFrame::SetEmptyText(const QString& text) {
  m_strEmptyText = text;
  InvalidateArea(GetEmptyTextRect());
}

unsigned CSheetPageFrame::SetEmptyTextFormat(unsigned format) {
  const unsigned previous = m_uEmptyTextFormat;
  m_uEmptyTextFormat = format;
  InvalidateArea(GetEmptyTextRect());
  return previous;
}

void CSheetPageFrame::Redraw(QPainter& painter) {
  if (m_bCaption) PaintCaptionBar(painter, GetCaptionBarRect(), m_strCaption, m_hCaptionIcon);
  PaintEmptyText(painter, GetEmptyTextRect(), m_strEmptyText, m_uEmptyTextFormat);
}

QRect CSheetPageFrame::GetEmptyTextRect() {
  QRect r = ClientRect();
  if (m_bCaption) r.setTop(r.top() + m_nCaptionHeight);
  return r;
}

void CSheetPageFrame::PaintEmptyText(QPainter& painter, const QRect& rect, const QString&, unsigned) {
  // Always the frame's own text and format.
  if (m_strEmptyText.isEmpty()) return;
  painter.save();
  painter.setPen(QPalette().color(QPalette::WindowText));
  painter.drawText(rect, static_cast<int>(m_uEmptyTextFormat), m_strEmptyText);
  painter.restore();
}

QRect CSheetPageFrame::GetCaptionBarRect() {
  QRect r = ClientRect();
  // QRect's bottom is inclusive: a bar of height h covers rows top .. top + h - 1.
  r.setHeight(m_bCaption ? m_nCaptionHeight : 0);
  return r;
}

bool CSheetPageFrameWnd::CreateFrameWindow(const QRect& rect, QWidget* parent, int) {
  setParent(parent);
  setObjectName(QStringLiteral("Page Frame"));
  setAutoFillBackground(true);
  setGeometry(rect);
  show();
  lower();  // never over a page
  return true;
}

void CSheetPageFrameWnd::SetCaptionTextIcon(const QString& text, const QIcon& icon) {
  CSheetPageFrame::SetCaptionTextIcon(text, icon);
  m_CaptionIcon = QImage();
  if (!icon.isNull()) {
    const QList<QSize> sizes = icon.availableSizes();
    const QSize size = sizes.isEmpty() ? QSize(16, 16) : sizes.first();
    m_CaptionIcon = icon.pixmap(size).toImage();
  }
}

QRect CSheetPageFrameWnd::GetEmptyTextRect() {
  QRect r = rect();
  if (m_bCaption) r.setTop(r.top() + m_nCaptionHeight + 1);
  return r;
}

void PaintGradientColumns(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end) {
  const int left = rect.left();
  const int right = left + rect.width();  // the column at `right` is drawn too
  const int w = rect.width();
  if (w <= 0 || rect.height() <= 0) return;
  const double dr = double(end.red() - start.red()) / w;
  const double dg = double(end.green() - start.green()) / w;
  const double db = double(end.blue() - start.blue()) / w;
  double r = start.red(), g = start.green(), b = start.blue();
  for (int x = left; x <= right; ++x) {
    painter.fillRect(QRect(x, rect.top(), 1, rect.height()),
                     QColor(static_cast<int>(r) & 0xFF, static_cast<int>(g) & 0xFF, static_cast<int>(b) & 0xFF));
    r += dr;
    g += dg;
    b += db;
  }
}

void CSheetPageFrameWnd::PaintCaptionBar(QPainter& painter, const QRect& rect, const QString& text, const QIcon& icon) {
  const QColor start = palette().color(QPalette::Inactive, QPalette::Highlight);
  const QColor end = palette().color(QPalette::Window);  // the freshly erased background
  PaintGradientColumns(painter, rect, start, end);
  QRect r = rect;
  if (!icon.isNull() && !m_CaptionIcon.isNull()) {
    const int y = r.top() + r.height() / 2 - m_CaptionIcon.height() / 2;
    painter.drawImage(3, y, m_CaptionIcon);
    r.setLeft(r.left() + m_CaptionIcon.width() + 3);
  }
  r.setLeft(r.left() + 2);
  painter.save();
  painter.setPen(palette().color(QPalette::HighlightedText));
  const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, r.width());
  painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
  painter.restore();
}

void CSheetPageFrameWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Redraw(painter);
}

QImage CSheetPageFrameWnd::Render() {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(palette().color(QPalette::Window));
  QPainter painter(&image);
  Redraw(painter);
  return image;
}
