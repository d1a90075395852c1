#include "ui/Surface.h"

#include <QPainter>
#include <QPolygon>

#include "platform/files.h"

namespace ui {

bool Bitmap::Load(const std::string& path) {
  QImage loaded(QString::fromStdString(plat::MapPath(path)));
  if (loaded.isNull()) {
    image_ = QImage();
    return false;
  }
  image_ = loaded.convertToFormat(QImage::Format_RGB32);
  return true;
}

void Surface::Resize(int width, int height) {
  if (width == image_.width() && height == image_.height()) return;
  image_ = QImage(width, height, QImage::Format_RGB32);
  image_.fill(Qt::black);
}

void Surface::Blt(const Bitmap& bitmap, int x, int y) {
  if (bitmap.IsNull() || image_.isNull()) return;
  QPainter p(&image_);
  p.drawImage(QPoint(x, y), bitmap.Image());
}

void Surface::Blt(const Bitmap& bitmap, int x, int y, const QRect& source) {
  if (bitmap.IsNull() || image_.isNull()) return;
  QPainter p(&image_);
  p.drawImage(QPoint(x, y), bitmap.Image(), source);
}

void Surface::Stretch(const Bitmap& bitmap, const QRect& destination) {
  if (bitmap.IsNull() || image_.isNull()) return;
  QPainter p(&image_);
  p.drawImage(destination, bitmap.Image());
}

QImage ImageFromBgrBottomUp(const std::uint8_t* pixels, int width, int height, int pitch) {
  if (!pixels || width <= 0 || height <= 0) return QImage();
  if (pitch == 0) pitch = (width * 3 + 3) & ~3;
  QImage out(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = pixels + static_cast<std::size_t>(height - 1 - y) * pitch;
    auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < width; ++x) {
      dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
    }
  }
  return out;
}

void Surface::StretchBgrBottomUp(const std::uint8_t* pixels, int width, int height, int pitch,
                                 const QRect& destination) {
  if (image_.isNull()) return;
  QImage picture = ImageFromBgrBottomUp(pixels, width, height, pitch);
  if (picture.isNull()) return;
  QPainter p(&image_);
  if (destination.size() == picture.size()) {
    p.drawImage(destination.topLeft(), picture);
  } else {
    p.drawImage(destination, picture);
  }
}

void Surface::Fill(const QRect& rect, const QColor& colour) {
  if (image_.isNull()) return;
  QPainter p(&image_);
  p.fillRect(rect, colour);
}

void Surface::Line(QPoint from, QPoint to, const QColor& colour, int penWidth) {
  if (image_.isNull() || from == to) return;
  // Leave out the last pixel: step the end point one pixel back towards the start.
  const int dx = to.x() - from.x();
  const int dy = to.y() - from.y();
  const int steps = std::max(std::abs(dx), std::abs(dy));
  QPoint last(from.x() + (steps > 0 ? dx * (steps - 1) / steps : 0),
              from.y() + (steps > 0 ? dy * (steps - 1) / steps : 0));
  QPainter p(&image_);
  p.setPen(QPen(colour, penWidth));
  if (last == from) {
    p.drawPoint(from);
  } else {
    p.drawLine(from, last);
  }
}

void Surface::Polygon(const std::vector<QPoint>& points, const QColor& pen, const QColor& brush) {
  if (image_.isNull() || points.empty()) return;
  QPainter p(&image_);
  p.setPen(pen);
  p.setBrush(brush);
  p.drawPolygon(QPolygon(QList<QPoint>(points.begin(), points.end())));
}

void Surface::Polyline(const std::vector<QPoint>& points, const QColor& pen) {
  if (image_.isNull() || points.size() < 2) return;
  QPainter p(&image_);
  p.setPen(pen);
  p.drawPolyline(QPolygon(QList<QPoint>(points.begin(), points.end())));
}

void Surface::Text(int x, int y, const QString& text, const QFont& font, const QColor& colour) {
  if (image_.isNull()) return;
  QPainter p(&image_);
  p.setFont(font);
  p.setPen(colour);
  QFontMetrics metrics(font);
  p.drawText(QPoint(x, y + metrics.ascent()), text);
}

void Surface::Text(const QRect& rect, int alignment, const QString& text, const QFont& font, const QColor& colour) {
  if (image_.isNull()) return;
  QPainter p(&image_);
  p.setFont(font);
  p.setPen(colour);
  p.drawText(rect, alignment, text);
}

void Surface::Blt(const Surface& source, const QRect& sourceRect, int x, int y) {
  if (image_.isNull() || source.image_.isNull()) return;
  QPainter p(&image_);
  p.drawImage(QPoint(x, y), source.image_, sourceRect);
}

}  // namespace ui
