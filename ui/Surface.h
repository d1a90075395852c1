// Bitmaps from BMP files and a memory drawing surface with the operations our windows use.
#pragma once
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

// A picture loaded from a BMP file (a path as the skins write it, e.g. "BMP\LOGIN\spacer.bmp",
// resolved through the program folder, case-insensitively).
class Bitmap {
 public:
  Bitmap() = default;
  explicit Bitmap(const std::string& path) { Load(path); }
  bool Load(const std::string& path);
  bool IsNull() const { return image_.isNull(); }
  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  const QImage& Image() const { return image_; }

 private:
  QImage image_;
};

// An off-screen drawing surface (a memory device context): a 32-bit image with a painter's
// operations. Safe to draw on from a worker thread (QImage does not need the GUI thread).
class Surface {
 public:
  Surface() = default;
  Surface(int width, int height) { Resize(width, height); }
  void Resize(int width, int height);
  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  const QImage& Image() const { return image_; }
  QImage& Image() { return image_; }

  // Copies the bitmap (or its source rectangle) to (x, y) at its own size.
  void Blt(const Bitmap& bitmap, int x, int y);
  void Blt(const Bitmap& bitmap, int x, int y, const QRect& source);
  // Stretches the whole bitmap into the destination rectangle.
  void Stretch(const Bitmap& bitmap, const QRect& destination);
  // Stretches a 24-bit bottom-up BGR picture (rows `pitch` bytes apart, 0 = padded to 4 bytes
  // as device-independent bitmaps are) into the destination rectangle.
  void StretchBgrBottomUp(const std::uint8_t* pixels, int width, int height, int pitch, const QRect& destination);
  void Fill(const QRect& rect, const QColor& colour);
  // A line from `from` to `to`; the last pixel is not drawn.
  void Line(QPoint from, QPoint to, const QColor& colour, int penWidth = 1);
  void Polygon(const std::vector<QPoint>& points, const QColor& pen, const QColor& brush);
  void Polyline(const std::vector<QPoint>& points, const QColor& pen);
  // Text whose cell's top-left corner stands at (x, y).
  void Text(int x, int y, const QString& text, const QFont& font, const QColor& colour);
  // Text inside a rectangle with Qt alignment flags.
  void Text(const QRect& rect, int alignment, const QString& text, const QFont& font, const QColor& colour);
  // Copies a rectangle of another surface to (x, y).
  void Blt(const Surface& source, const QRect& sourceRect, int x, int y);

 private:
  QImage image_;
};

// Wraps a 24-bit bottom-up BGR picture as a top-down QImage (a copy).
QImage ImageFromBgrBottomUp(const std::uint8_t* pixels, int width, int height, int pitch);

// Converts `count` BGR pixels (3 bytes each) into opaque 32-bit pixels (0xFFRRGGBB). Reads
// exactly 3 * count bytes of src and writes count words of dst.
void BgrRowToRgb32(std::uint32_t* dst, const std::uint8_t* src, int count);

}  // namespace ui
