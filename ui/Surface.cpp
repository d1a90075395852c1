#include "ui/Surface.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

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

namespace {

void BgrRowToRgb32Plain(std::uint32_t* dst, const std::uint8_t* src, int count) {
  for (int x = 0; x < count; ++x, src += 3)
    dst[x] = 0xFF000000u | (std::uint32_t(src[2]) << 16) | (std::uint32_t(src[1]) << 8) | src[0];
}

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define TRELVIX_UI_SSSE3 1
// Four pixels per byte shuffle: 16 bytes are loaded for the 12 used, so the loop stops while at
// least 16 bytes of the row remain and the plain loop finishes the row.
__attribute__((target("ssse3"))) void BgrRowToRgb32Ssse3(std::uint32_t* dst, const std::uint8_t* src, int count) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  int x = 0;
  for (; x + 6 <= count; x += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm_or_si128(_mm_shuffle_epi8(v, spread), alpha));
  }
  BgrRowToRgb32Plain(dst + x, src + 3 * x, count - x);
}
#endif

using RowConverter = void (*)(std::uint32_t*, const std::uint8_t*, int);

RowConverter ChooseRowConverter() {
#ifdef TRELVIX_UI_SSSE3
  __builtin_cpu_init();
  if (__builtin_cpu_supports("ssse3")) return &BgrRowToRgb32Ssse3;
#endif
  return &BgrRowToRgb32Plain;
}

}  // namespace

void BgrRowToRgb32(std::uint32_t* dst, const std::uint8_t* src, int count) {
  static const RowConverter convert = ChooseRowConverter();
  if (count > 0) convert(dst, src, count);
}

QImage ImageFromBgrBottomUp(const std::uint8_t* pixels, int width, int height, int pitch) {
  if (!pixels || width <= 0 || height <= 0) return QImage();
  if (pitch == 0) pitch = (width * 3 + 3) & ~3;
  QImage out(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = pixels + static_cast<std::size_t>(height - 1 - y) * pitch;
    BgrRowToRgb32(reinterpret_cast<std::uint32_t*>(out.scanLine(y)), src, width);
  }
  return out;
}

void Surface::StretchBgrBottomUp(const std::uint8_t* pixels, int width, int height, int pitch,
                                 const QRect& destination) {
  if (image_.isNull() || !pixels || width <= 0 || height <= 0) return;
  if (pitch == 0) pitch = (width * 3 + 3) & ~3;
  if (destination.width() == width && destination.height() == height &&
      (image_.format() == QImage::Format_RGB32 || image_.format() == QImage::Format_ARGB32)) {
    // At its own size the picture is converted straight into the surface's rows, cut to the
    // surface: no intermediate image, no painter.
    const int dx = destination.x(), dy = destination.y();
    const int x0 = std::max(0, -dx), y0 = std::max(0, -dy);
    const int x1 = std::min(width, image_.width() - dx), y1 = std::min(height, image_.height() - dy);
    if (x0 >= x1 || y0 >= y1) return;
    for (int y = y0; y < y1; ++y) {
      const std::uint8_t* src = pixels + static_cast<std::size_t>(height - 1 - y) * pitch + std::size_t(x0) * 3;
      BgrRowToRgb32(reinterpret_cast<std::uint32_t*>(image_.scanLine(dy + y)) + dx + x0, src, x1 - x0);
    }
    return;
  }
  QImage picture = ImageFromBgrBottomUp(pixels, width, height, pitch);
  if (picture.isNull()) return;
  QPainter p(&image_);
  p.drawImage(destination, picture);
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
