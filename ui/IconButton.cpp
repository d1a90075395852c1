#include "ui/IconButton.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QUrl>
#include <algorithm>
#include <map>
#include <mutex>

#include "core/Strings.h"
#include "platform/files.h"
#include "ui/Lifetime.h"
#include "ui/Window.h"

namespace ui {

namespace {
std::mutex g_resourceLock;
std::map<int, QImage>& Resources() {
  static std::map<int, QImage> table;
  return table;
}
ShellOpenFn& ShellOpen() {
  static ShellOpenFn handler;
  return handler;
}
}  // namespace

void RegisterImageResource(int id, const QImage& image) {
  std::lock_guard<std::mutex> lock(g_resourceLock);
  Resources()[id] = image;
}

QImage LoadImageResource(int id) {
  std::lock_guard<std::mutex> lock(g_resourceLock);
  auto it = Resources().find(id);
  return it == Resources().end() ? QImage() : it->second;
}

void SetShellOpenHandler(ShellOpenFn handler) { ShellOpen() = std::move(handler); }

}  // namespace ui

namespace {

constexpr std::size_t kMaxLinkTarget = 260;

bool SameRgb(QRgb a, QColor b) { return qRed(a) == b.red() && qGreen(a) == b.green() && qBlue(a) == b.blue(); }

// A pixel the copies leave alone: the transparent colour of a bitmap, or the black (or fully
// transparent) background of an icon.
bool Untouched(QRgb px, QColor transparent, bool icon) {
  if (icon) return qAlpha(px) == 0 || (qRed(px) == 0 && qGreen(px) == 0 && qBlue(px) == 0);
  return SameRgb(px, transparent);
}

template <class Fn>
QImage MapPixels(const QImage& source, QColor transparent, bool icon, Fn fn) {
  QImage out = source.convertToFormat(icon ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      if (!Untouched(row[x], transparent, icon)) row[x] = fn(row[x]);
    }
  }
  return out;
}

QImage LoadPictureFile(const std::string& path) {
  if (path.empty()) return QImage();
  QImage image(QString::fromStdString(plat::MapPath(path)));
  return image;
}

QImage IconMask(const QImage& icon) {
  QImage mask(icon.size(), QImage::Format_Mono);
  mask.fill(0);
  for (int y = 0; y < icon.height(); ++y)
    for (int x = 0; x < icon.width(); ++x)
      if (qAlpha(icon.pixel(x, y)) != 0) mask.setPixel(x, y, 1);
  return mask;
}

// A 3-D rectangle the way dialogs draw them: top and left lines one pixel short.
void Draw3dRect(QPainter& p, const QRect& r, QColor topLeft, QColor bottomRight) {
  const int x = r.left(), y = r.top(), cx = r.width(), cy = r.height();
  p.fillRect(x, y, cx - 1, 1, topLeft);
  p.fillRect(x, y, 1, cy - 1, topLeft);
  p.fillRect(x + cx - 1, y, 1, cy, bottomRight);
  p.fillRect(x, y + cy - 1, cx, 1, bottomRight);
}

// Draws `shape`'s set pixels embossed: highlight one pixel down-right, shadow in place.
void DrawEmbossed(QPainter& p, const QPoint& at, const QImage& shape, QColor highlight, QColor shadow) {
  for (int y = 0; y < shape.height(); ++y)
    for (int x = 0; x < shape.width(); ++x)
      if (shape.pixelIndex(x, y)) p.fillRect(at.x() + x + 1, at.y() + y + 1, 1, 1, highlight);
  for (int y = 0; y < shape.height(); ++y)
    for (int x = 0; x < shape.width(); ++x)
      if (shape.pixelIndex(x, y)) p.fillRect(at.x() + x, at.y() + y, 1, 1, shadow);
}

}  // namespace

QImage GreyCopy(const QImage& source, QColor transparent, bool icon) {
  return MapPixels(source, transparent, icon, [](QRgb px) {
    const int g = static_cast<int>(0.299 * qRed(px) + 0.587 * qGreen(px) + 0.114 * qBlue(px));
    return qRgba(g, g, g, qAlpha(px));
  });
}

QImage DarkCopy(const QImage& source, QColor transparent, bool icon) {
  return MapPixels(source, transparent, icon, [](QRgb px) {
    auto dark = [](int c) { return static_cast<int>(c - 0.25 * c); };
    return qRgba(dark(qRed(px)), dark(qGreen(px)), dark(qBlue(px)), qAlpha(px));
  });
}

QImage MakeMask(const QImage& source, QColor transparent) {
  QImage mask(source.size(), QImage::Format_Mono);
  if (mask.isNull()) return mask;
  mask.fill(0);
  for (int y = 0; y < source.height(); ++y)
    for (int x = 0; x < source.width(); ++x)
      if (!SameRgb(source.pixel(x, y), transparent)) mask.setPixel(x, y, 1);
  return mask;
}

CIconButton::CIconButton(QWidget* parent) : QPushButton(parent) {
  setMouseTracking(true);
  setAutoDefault(false);
  ResetStateColours(false);
  connect(this, &QPushButton::clicked, this, [this] { OnClicked(); });
}

CIconButton::~CIconButton() = default;

void CIconButton::PreSubclassWindow(unsigned style) { SetButtonStyle(style, false); }

void CIconButton::SetButtonStyle(unsigned style, bool repaint) {
  const unsigned type = style & 0x1Fu;
  if (type & BS_CHECKBOX_TYPE) isCheckBox_ = true;
  isDefault_ = type == BS_DEFPUSHBUTTON_TYPE;
  Repaint(repaint);
}

unsigned CIconButton::GetDlgCode() const {
  return isDefault_ ? DLGC_DEFPUSHBUTTON_CODE : DLGC_UNDEFPUSHBUTTON_CODE;
}

// ---- images -------------------------------------------------------------------------------

void CIconButton::ReleaseImages() {
  images_ = ImagePair();
  isIcon_ = false;
}

const QImage& CIconButton::ActiveImage() const { return images_.active; }
const QImage& CIconButton::IdleImage() const { return images_.idle; }

int CIconButton::SetIconPair(const QImage& active, const QImage& idle) {
  ReleaseImages();
  if (active.isNull()) {
    update();
    return IB_INVALID_RESOURCE;
  }
  images_.active = active.convertToFormat(QImage::Format_ARGB32);
  if (!idle.isNull()) images_.idle = idle.convertToFormat(QImage::Format_ARGB32);
  images_.activeMask = IconMask(images_.active);
  if (!images_.idle.isNull()) images_.idleMask = IconMask(images_.idle);
  isIcon_ = true;
  update();
  return IB_OK;
}

int CIconButton::SetIconPair(const QImage& active, int idleSpecial) {
  if (active.isNull()) return SetIconPair(active, QImage());
  if (idleSpecial == IB_AUTO_GRAY) return SetIconPair(active, GreyCopy(active, QColor(0, 0, 0), true));
  if (idleSpecial == IB_AUTO_DARK) return SetIconPair(active, DarkCopy(active, QColor(0, 0, 0), true));
  return SetIconPair(active, QImage());
}

int CIconButton::SetIconPairIds(int activeId, int idleId) {
  const QImage active = ui::LoadImageResource(activeId);
  if (idleId == IB_AUTO_GRAY || idleId == IB_AUTO_DARK) return SetIconPair(active, idleId);
  QImage idle;
  if (idleId != 0) {
    idle = ui::LoadImageResource(idleId);
    if (idle.isNull()) {
      ReleaseImages();
      update();
      return IB_INVALID_RESOURCE;
    }
  }
  return SetIconPair(active, idle);
}

int CIconButton::SetIconPairIdsSized(int activeId, int activeW, int activeH, int idleId, int idleW, int idleH) {
  auto sized = [](QImage image, int w, int h) {
    if (image.isNull() || w <= 0 || h <= 0) return image;
    return image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  };
  const QImage active = sized(ui::LoadImageResource(activeId), activeW, activeH);
  if (idleId == IB_AUTO_GRAY || idleId == IB_AUTO_DARK) return SetIconPair(active, idleId);
  QImage idle;
  if (idleId != 0) {
    idle = sized(ui::LoadImageResource(idleId), idleW, idleH);
    if (idle.isNull()) {
      ReleaseImages();
      update();
      return IB_INVALID_RESOURCE;
    }
  }
  return SetIconPair(active, idle);
}

int CIconButton::SetIconPairFiles(const std::string& activePath, const std::string& idlePath) {
  return SetIconPair(LoadPictureFile(activePath), LoadPictureFile(idlePath));
}

int CIconButton::FinishBitmapPair(const QImage& active, QColor activeTransparent, const QImage& idle,
                                  QColor idleTransparent, int idleSpecial) {
  ReleaseImages();
  if (active.isNull()) {
    update();
    return IB_INVALID_RESOURCE;
  }
  images_.active = active.convertToFormat(QImage::Format_RGB32);
  if (idleSpecial == IB_AUTO_GRAY) {
    images_.idle = GreyCopy(images_.active, activeTransparent, false);
    idleTransparent = activeTransparent;
  } else if (idleSpecial == IB_AUTO_DARK) {
    images_.idle = DarkCopy(images_.active, activeTransparent, false);
    idleTransparent = activeTransparent;
  } else if (!idle.isNull()) {
    images_.idle = idle.convertToFormat(QImage::Format_RGB32);
  }
  images_.activeMask = MakeMask(images_.active, activeTransparent);
  if (!images_.idle.isNull()) images_.idleMask = MakeMask(images_.idle, idleTransparent);
  if (images_.activeMask.isNull() || (!images_.idle.isNull() && images_.idleMask.isNull())) {
    ReleaseImages();
    update();
    return IB_FAILED_MASK;
  }
  update();
  return IB_OK;
}

int CIconButton::SetBitmapPair(const QImage& active, QColor activeTransparent, const QImage& idle,
                               QColor idleTransparent) {
  return FinishBitmapPair(active, activeTransparent, idle, idleTransparent, 0);
}

int CIconButton::SetBitmapPair(const QImage& active, QColor activeTransparent, int idleSpecial,
                               QColor idleTransparent) {
  return FinishBitmapPair(active, activeTransparent, QImage(), idleTransparent, idleSpecial);
}

int CIconButton::SetBitmapPairIds(int activeId, QColor activeTransparent, int idleId, QColor idleTransparent) {
  const QImage active = ui::LoadImageResource(activeId);
  if (idleId == IB_AUTO_GRAY || idleId == IB_AUTO_DARK)
    return FinishBitmapPair(active, activeTransparent, QImage(), idleTransparent, idleId);
  QImage idle;
  if (idleId != 0) {
    idle = ui::LoadImageResource(idleId);
    if (idle.isNull()) {
      ReleaseImages();
      update();
      return IB_INVALID_RESOURCE;
    }
  }
  return FinishBitmapPair(active, activeTransparent, idle, idleTransparent, 0);
}

int CIconButton::SetBitmapPairFiles(const std::string& activePath, QColor activeTransparent,
                                    const std::string& idlePath, QColor idleTransparent, int idleSpecial) {
  const QImage active = LoadPictureFile(activePath);
  QImage idle;
  if (!idlePath.empty() && QFile::exists(QString::fromStdString(plat::MapPath(idlePath)))) {
    idle = LoadPictureFile(idlePath);
    if (idle.isNull()) {
      ReleaseImages();
      update();
      return IB_INVALID_RESOURCE;
    }
    idleSpecial = 0;
  }
  return FinishBitmapPair(active, activeTransparent, idle, idleTransparent, idleSpecial);
}

// ---- look ---------------------------------------------------------------------------------

int CIconButton::SetFlatLook(bool flat, bool repaint) {
  flat_ = flat;
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::SetFlatBorder(bool border, bool repaint) {
  flatBorder_ = border;
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::SetFlatFocusRect(bool draw, bool repaint) {
  flatFocusRect_ = draw;
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::SetImagePlacement(int placement, bool repaint) {
  if (placement < 0 || placement > ST_ALIGN_OVERLAP) return IB_INVALID_ALIGN;
  placement_ = placement;
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::SetPressShift(int style, bool repaint) {
  switch (style) {
    case 0: pressShiftX_ = 1, pressShiftY_ = 1; break;
    case 1: pressShiftX_ = 0, pressShiftY_ = 2; break;
    default: return IB_INVALID_PRESSED_STYLE;
  }
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::SetCaptionFont(int pointSize, const QString& face, bool repaint) {
  captionFont_ = QFont(face, pointSize);
  captionFontSet_ = true;
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::SetStateColour(int index, QColor colour, bool repaint) {
  if (index < 0 || index >= BTNST_MAX_COLORS) return IB_INVALID_INDEX;
  colours_[index] = colour;
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::GetStateColour(int index, QColor* colour) const {
  if (index < 0 || index >= BTNST_MAX_COLORS) return IB_INVALID_INDEX;
  if (colour) *colour = colours_[index];
  return IB_OK;
}

int CIconButton::ShiftStateColour(int index, int shade, bool repaint) {
  if (index < 0 || index >= BTNST_MAX_COLORS) return IB_INVALID_INDEX;
  if (shade < -255 || shade > 255) return IB_BAD_PARAM;
  const QColor c = colours_[index];
  const int hi = std::max({c.red(), c.green(), c.blue()});
  const int lo = std::min({c.red(), c.green(), c.blue()});
  // The same amount on every channel, no more than keeps each within 0..255.
  const int amount = shade > 0 ? std::min(shade, 255 - hi) : std::max(shade, -lo);
  colours_[index] = QColor(c.red() + amount, c.green() + amount, c.blue() + amount);
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::ResetStateColours(bool repaint) {
  const QPalette pal = palette();
  for (int i = 0; i < BTNST_MAX_COLORS; i += 2) {
    colours_[i] = pal.color(QPalette::Button);
    colours_[i + 1] = pal.color(QPalette::ButtonText);
  }
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::SetTransparentLook(bool transparent, bool repaint) {
  transparent_ = transparent;
  if (!transparent) savedBackground_ = QImage();
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::CaptureBackground() {
  QWidget* parent = parentWidget();
  if (!transparent_ || !parent) return IB_BAD_PARAM;
  // The parent's own pixels behind the button, without its children (this button among them).
  QImage back(size(), QImage::Format_RGB32);
  back.fill(parent->palette().color(QPalette::Window));
  parent->render(&back, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
  savedBackground_ = back;
  return IB_OK;
}

int CIconButton::FitWindowToImage() {
  marginX_ = marginY_ = 0;
  if (images_.active.isNull()) return IB_INVALID_RESOURCE;
  resize(images_.active.size());
  return IB_OK;
}

// ---- behaviour ----------------------------------------------------------------------------

int CIconButton::SetChecked(bool checked, bool repaint) {
  if (!isCheckBox_) return IB_OK;
  checked_ = checked;
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::SetPopupMenu(std::unique_ptr<QMenu> menu, ui::Window* owner, bool repaint) {
  menu_.reset();
  menuOwner_ = nullptr;
  if (!menu) return IB_INVALID_RESOURCE;
  menu_ = std::move(menu);
  menuOwner_ = owner;
  Repaint(repaint);
  return IB_OK;
}

int CIconButton::SetPopupMenuNotify(ui::Window* window, unsigned message, long value) {
  notifyWindow_ = window;
  notifyMessage_ = message;
  notifyValue_ = value;
  return IB_OK;
}

int CIconButton::SetLinkTarget(const std::string& target) {
  // Never cut: a shortened target would open something else.
  if (target.size() > kMaxLinkTarget) return IB_INVALID_RESOURCE;
  linkTarget_ = target;
  return IB_OK;
}

int CIconButton::SetCursorResource(int id) {
  const QImage image = ui::LoadImageResource(id);
  if (image.isNull()) return IB_INVALID_RESOURCE;
  return SetCursorHandle(QCursor(QPixmap::fromImage(image)));
}

int CIconButton::SetCursorHandle(const QCursor& cursor) {
  cursor_ = cursor;
  cursorSet_ = true;
  setCursor(cursor_);
  return IB_OK;
}

int CIconButton::SetHoverWhenInactive(bool hover) {
  hoverWhenInactive_ = hover;
  return IB_OK;
}

void CIconButton::SetTipText(const QString& text, bool activate) {
  tipText_ = text;
  EnableTip(activate);
}

void CIconButton::SetTipTextResource(unsigned stringId, bool activate) {
  SetTipText(QString::fromLatin1(LoadStr(stringId)), activate);
}

void CIconButton::EnableTip(bool activate) {
  tipActive_ = activate;
  setToolTip(activate ? tipText_ : QString());
}

void CIconButton::OnClicked() {
  setFocus(Qt::MouseFocusReason);
  if (isCheckBox_) {
    checked_ = !checked_;
    update();
    return;
  }
  if (menu_) {
    menuShowing_ = true;
    repaint();
    QMenu* submenu = menu_.get();
    for (QAction* action : menu_->actions()) {
      if (action->menu()) {
        submenu = action->menu();
        break;
      }
    }
    if (notifyWindow_)
      notifyWindow_->SendMessage(notifyMessage_, reinterpret_cast<plat::WPARAM>(submenu),
                                 static_cast<plat::LPARAM>(notifyValue_));
    const QPoint where = mapToGlobal(QPoint(0, height()));
    int command = 0;
    if (trackPopup) {
      command = trackPopup(submenu, where);
    } else {
      ui::ModalScope scope(submenu);
      QAction* chosen = scope.Refused() ? nullptr : submenu->exec(where);
      if (chosen) command = chosen->data().toInt();
    }
    menuShowing_ = false;
    update();
    if (command != 0 && menuOwner_) {
      QPointer<ui::Window> owner(menuOwner_);
      QMetaObject::invokeMethod(
          menuOwner_,
          [owner, command] {
            if (owner) owner->Command(command);
          },
          Qt::QueuedConnection);
    }
    return;
  }
  if (!linkTarget_.empty()) {
    const QString target = QString::fromStdString(linkTarget_);
    if (ui::ShellOpen())
      ui::ShellOpen()(target);
    else
      QDesktopServices::openUrl(QUrl::fromUserInput(target));
  }
}

// ---- hover --------------------------------------------------------------------------------

void CIconButton::EndHover() {
  if (!hover_) return;
  hover_ = false;
  if (flat_) update();
}

void CIconButton::CancelMode() { EndHover(); }

void CIconButton::mouseMoveEvent(QMouseEvent* event) {
  QPushButton::mouseMoveEvent(event);
  if (!flat_) return;
  if ((event->buttons() & Qt::LeftButton) && !hover_) return;
  const bool inside = rect().contains(event->position().toPoint());
  if (inside && (hoverWhenInactive_ || QApplication::activeWindow() != nullptr)) {
    if (!hover_) {
      hover_ = true;
      update();
    }
  } else {
    EndHover();
  }
}

void CIconButton::mouseDoubleClickEvent(QMouseEvent* event) {
  // A quick second click is one more press, not a double click.
  mousePressEvent(event);
}

void CIconButton::leaveEvent(QEvent* event) {
  EndHover();
  QPushButton::leaveEvent(event);
}

void CIconButton::focusOutEvent(QFocusEvent* event) {
  EndHover();
  QPushButton::focusOutEvent(event);
}

void CIconButton::changeEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::ActivationChange:
      if (!isActiveWindow()) EndHover();
      break;
    case QEvent::EnabledChange:
      if (!isEnabled()) EndHover();
      break;
    case QEvent::PaletteChange:
      // System colours changed: the saved background and the state colours are stale.
      savedBackground_ = QImage();
      ResetStateColours(true);
      break;
    default:
      break;
  }
  QPushButton::changeEvent(event);
}

bool CIconButton::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && !tipActive_) return true;
  return QPushButton::event(event);
}

// ---- drawing ------------------------------------------------------------------------------

QRect CIconButton::ImageRect(const QRect& client, int w, int h, bool hasCaption, bool pressed) const {
  const int W = client.width(), H = client.height();
  QPoint at;
  switch (placement_) {
    case ST_ALIGN_HORIZ:
      at.setX(hasCaption ? client.left() + marginX_ : client.left() + (W - w) / 2);
      at.setY(client.top() + (H - h) / 2);
      break;
    case ST_ALIGN_VERT:
      at.setX(client.left() + (W - w) / 2);
      at.setY(hasCaption ? client.top() + marginY_ : client.top() + (H - h) / 2);
      break;
    case ST_ALIGN_HORIZ_RIGHT:
      if (hasCaption) {
        at.setX(client.right() + 1 - w - marginX_);
        at.setY(client.top() + (H - h) / 2);
      } else {
        at.setX(client.left() + (W - w) / 2);
        at.setY(client.top());
      }
      break;
    default:
      at = client.topLeft();
      break;
  }
  if (pressed && !isCheckBox_) at += QPoint(pressShiftX_, pressShiftY_);
  return QRect(at, QSize(w, h));
}

QRect CIconButton::CaptionRect(const QRect& client, int w, int h, bool pressed) const {
  QRect r = client;
  switch (placement_) {
    case ST_ALIGN_HORIZ: r.setLeft(client.left() + w + marginX_); break;
    case ST_ALIGN_VERT: r.setTop(client.top() + h); break;
    case ST_ALIGN_HORIZ_RIGHT:
      r.setLeft(client.left() + marginX_);
      r.setRight(client.left() + client.width() - w - marginX_ - 1);
      break;
    default: break;
  }
  if (pressed && !isCheckBox_) r.translate(pressShiftX_, pressShiftY_);
  return r;
}

void CIconButton::PaintBackground(QPainter& p, QRect& r, bool pressed, bool focused) {
  if (!flat_ && (focused || isDefault_)) {
    Draw3dRect(p, r, Qt::black, Qt::black);
    r.adjust(1, 1, -1, -1);
  }
  const int index = (hover_ || pressed) ? BTNST_COLOR_BK_IN : focused ? BTNST_COLOR_BK_FOCUS : BTNST_COLOR_BK_OUT;
  p.fillRect(r, colours_[index]);
}

void CIconButton::PaintBorder(QPainter& p, const QRect& r, bool pressed) {
  const QPalette pal = palette();
  const QColor shadow = pal.color(QPalette::Dark), highlight = pal.color(QPalette::Light);
  const QColor light3d = pal.color(QPalette::Midlight), darkShadow = pal.color(QPalette::Shadow);
  if (pressed) {
    if (!flat_)
      Draw3dRect(p, r, shadow, shadow);
    else if (flatBorder_)
      Draw3dRect(p, r, shadow, highlight);
    return;
  }
  if (!flat_) {
    Draw3dRect(p, r, highlight, darkShadow);
    Draw3dRect(p, r.adjusted(1, 1, -1, -1), light3d, shadow);
  } else if (hover_ && flatBorder_) {
    Draw3dRect(p, r, highlight, shadow);
  }
}

void CIconButton::PaintImage(QPainter& p, const QRect& client, bool pressed, bool disabled) {
  if (images_.active.isNull()) return;
  // Active while hovered or pressed (a check box: while checked); else the idle copy if any.
  const bool showActive = isCheckBox_ ? pressed : (hover_ || pressed);
  const bool useIdle = !showActive && !images_.idle.isNull();
  const QImage& image = useIdle ? images_.idle : images_.active;
  const QImage& mask = useIdle ? images_.idleMask : images_.activeMask;
  const QRect at = ImageRect(client, image.width(), image.height(), !text().isEmpty(), pressed);
  const QPalette pal = palette();
  if (isIcon_) {
    if (disabled)
      DrawEmbossed(p, at.topLeft(), mask, pal.color(QPalette::Light), pal.color(QPalette::Dark));
    else
      p.drawImage(at.topLeft(), image);
    return;
  }
  if (disabled && embossDisabledBitmap_) {
    // Composed on white: what stays white drops out, the rest is embossed.
    QImage shape(image.size(), QImage::Format_Mono);
    shape.fill(0);
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (mask.pixelIndex(x, y) && !SameRgb(image.pixel(x, y), QColor(255, 255, 255))) shape.setPixel(x, y, 1);
    DrawEmbossed(p, at.topLeft(), shape, pal.color(QPalette::Light), pal.color(QPalette::Dark));
    return;
  }
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (mask.pixelIndex(x, y)) p.fillRect(at.left() + x, at.top() + y, 1, 1, QColor::fromRgb(row[x]));
  }
}

void CIconButton::PaintCaption(QPainter& p, const QRect& client, bool pressed, bool focused, bool disabled) {
  const QString caption = text();
  if (caption.isEmpty()) return;
  const QImage& image = images_.active;
  const int w = image.isNull() ? 0 : image.width(), h = image.isNull() ? 0 : image.height();
  const QRect r = CaptionRect(client, w, h, pressed);
  p.setFont(captionFontSet_ ? captionFont_ : font());
  const int flags = Qt::AlignCenter | Qt::TextWordWrap;
  const QPalette pal = palette();
  if (disabled) {
    p.setPen(pal.color(QPalette::Light));
    p.drawText(r.translated(1, 1), flags, caption);
    p.setPen(pal.color(QPalette::Dark));
    p.drawText(r, flags, caption);
    return;
  }
  const int index = (hover_ || pressed) ? BTNST_COLOR_FG_IN : focused ? BTNST_COLOR_FG_FOCUS : BTNST_COLOR_FG_OUT;
  p.setPen(colours_[index]);
  p.drawText(r, flags, caption);
}

QImage CIconButton::DrawItem(bool selected, bool focused, bool disabled) {
  QImage out(size(), QImage::Format_RGB32);
  out.fill(Qt::white);
  if (out.isNull()) return out;
  const bool pressed = selected || (isCheckBox_ && checked_) || menuShowing_;
  QPainter p(&out);
  QRect r(QPoint(0, 0), size());
  if (transparent_) {
    if (savedBackground_.isNull() || savedBackground_.size() != size()) CaptureBackground();
    if (!savedBackground_.isNull()) p.drawImage(0, 0, savedBackground_);
  } else {
    PaintBackground(p, r, pressed, focused);
  }
  PaintBorder(p, r, pressed);
  PaintImage(p, r, pressed, disabled);
  PaintCaption(p, r, pressed, focused, disabled);
  if (focused && (!flat_ || flatFocusRect_)) {
    QPen pen(Qt::black, 1, Qt::DotLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(QPoint(0, 0), size()).adjusted(3, 3, -4, -4));
  }
  return out;
}

void CIconButton::paintEvent(QPaintEvent*) {
  const QImage picture = DrawItem(isDown(), hasFocus(), !isEnabled());
  QPainter p(this);
  p.drawImage(0, 0, picture);
}
