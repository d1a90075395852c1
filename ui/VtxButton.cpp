#include "ui/VtxButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <cmath>

#include "platform/files.h"

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr double kThreeHalfPi = 4.71238898038469;
constexpr double kThreeQuarterPi = 2.356194490192345;
}  // namespace

// ---- CVtxShape ----------------------------------------------------------------------------

void CVtxShape::Create(const QRect& rect, int kind) {
  switch (kind) {
    case VTX_RECTANGLE: CreateRectangle(rect); break;
    case VTX_DIAMOND: CreateDiamond(rect); break;
    case VTX_CIRCLE: CreateCircle(rect, 0); break;
    case VTX_CAPSULE: CreateCapsule(rect, 0); break;
    default: break;
  }
}

void CVtxShape::CreateRectangle(const QRect& rect) {
  DeleteAllPoints();
  const int w = rect.width() - 1, h = rect.height() - 1;
  for (int l = 0; l < kLayers; ++l) {
    const int d = kInset[l];
    AddPoint(l, {d, d});
    AddPoint(l, {w - d, d});
    AddPoint(l, {w - d, h - d});
    AddPoint(l, {d, h - d});
  }
  ClosePolygons();
}

void CVtxShape::CreateDiamond(const QRect& rect) {
  DeleteAllPoints();
  const int w = rect.width() - 1, h = rect.height() - 1;
  int x0, x1, y0, y1;
  if (w > h) {
    x0 = (w - h) / 2; x1 = x0 + h; y0 = 0; y1 = h;
  } else {
    y0 = (h - w) / 2; y1 = y0 + w; x0 = 0; x1 = w;
  }
  const int cx = x0 + (x1 - x0) / 2, cy = y0 + (y1 - y0) / 2;
  for (int l = 0; l < kLayers; ++l) {
    const int d = kInset[l];
    AddPoint(l, {x0 + d, cy});
    AddPoint(l, {cx, y0 + d});
    AddPoint(l, {x1 - d, cy});
    AddPoint(l, {cx, y1 - d});
  }
  ClosePolygons();
}

namespace {
CVtxPoint OnCircle(double cx, double cy, double radius, double angle) {
  return {static_cast<int>(cx + radius * std::cos(angle) + 0.5), static_cast<int>(cy + radius * std::sin(angle) + 0.5)};
}
}  // namespace

void CVtxShape::CreateCircle(const QRect& rect, int count) {
  DeleteAllPoints();
  const int w = rect.width() - 1, h = rect.height() - 1;
  const int cx = w / 2, cy = h / 2;
  const double radius = w > h ? cy : cx;
  const int n = count >= 2 ? count : static_cast<int>(radius + 0.5);
  for (int l = 0; l < kLayers; ++l) {
    for (int j = 0; j < n; ++j) AddPoint(l, OnCircle(cx, cy, radius - kInset[l], j * kTwoPi / n));
  }
  ClosePolygons();
}

void CVtxShape::CreateCapsule(const QRect& rect, int count) {
  DeleteAllPoints();
  const int w = rect.width() - 1, h = rect.height() - 1;
  int r;
  QPoint first, second;
  double a0;
  if (w > h) {
    r = h / 2; first = {w - r, r}; second = {r, r}; a0 = kThreeHalfPi;
  } else {
    r = w / 2; first = {r, h - r}; second = {r, r}; a0 = 0;
  }
  const int n = count >= 1 ? count : static_cast<int>(r + 0.5);
  // A client area one or two pixels high (or wide) has radius 0 and so no point count: its
  // points take the start angle rather than an angle of 0 / 0.
  auto angle = [&](int j) { return n > 0 ? a0 + j * kTwoPi / n : a0; };
  for (int l = 0; l < kLayers; ++l) {
    const double radius = r - kInset[l];
    for (int j = 0; j <= n / 2; ++j) AddPoint(l, OnCircle(first.x(), first.y(), radius, angle(j)));
    for (int j = n / 2; j <= n; ++j) AddPoint(l, OnCircle(second.x(), second.y(), radius, angle(j)));
  }
  ClosePolygons();
}

QRegion CVtxShape::CreateLayerRegion(int layer) {
  ClosePolygons();
  if (!ValidLayer(layer)) return QRegion();
  QPolygon polygon;
  const int n = std::min<int>(static_cast<int>(layers_[layer].size()), kMaxRegionPoints);
  for (int i = 0; i < n; ++i) polygon << QPoint(layers_[layer][i]);
  return QRegion(polygon, Qt::OddEvenFill);
}

int CVtxShape::GetPointCount(int layer) const {
  return ValidLayer(layer) ? static_cast<int>(layers_[layer].size()) : 0;
}

CVtxPoint CVtxShape::GetPoint(int layer, int i) const {
  if (!ValidLayer(layer) || i < 0 || i >= GetPointCount(layer)) return {};
  return layers_[layer][i];
}

int CVtxShape::AddPoint(int layer, const CVtxPoint& p) {
  if (!ValidLayer(layer)) return -1;
  layers_[layer].push_back(p);
  return static_cast<int>(layers_[layer].size()) - 1;
}

void CVtxShape::SetPoint(int layer, int i, const CVtxPoint& p) {
  if (ValidLayer(layer) && i >= 0 && i < GetPointCount(layer)) layers_[layer][i] = p;
}

void CVtxShape::InsertPoint(int layer, int i, const CVtxPoint& p) {
  if (ValidLayer(layer) && i >= 0 && i <= GetPointCount(layer)) layers_[layer].insert(layers_[layer].begin() + i, p);
}

void CVtxShape::RemovePoint(int layer, int i) {
  if (ValidLayer(layer) && i >= 0 && i < GetPointCount(layer)) layers_[layer].erase(layers_[layer].begin() + i);
}

bool CVtxShape::IsConsistent() const {
  const std::size_t n = layers_[0].size();
  if (n == 0) return false;
  for (const auto& layer : layers_) {
    if (layer.size() != n) return false;
  }
  return true;
}

void CVtxShape::ClosePolygons() {
  for (auto& layer : layers_) {
    if (!layer.empty() && layer.back() != layer.front()) layer.push_back(layer.front());
  }
}

void CVtxShape::DeleteAllPoints() {
  for (auto& layer : layers_) layer.clear();
}

// ---- colour helpers -----------------------------------------------------------------------

double NormalizeAngle(double a, double b) {
  double angle = std::atan2(a, b);
  if (angle < 0) angle += kTwoPi;
  return angle;
}

std::uint32_t BlendColor(std::uint32_t a, std::uint32_t b, double x) {
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= (static_cast<std::uint32_t>(static_cast<int>(ca * x + cb * (1 - x))) & 0xFF) << shift;
  }
  return out;
}

std::uint32_t AngleGradientColor(const QPoint& point, const QPoint& centre, std::uint32_t c1, std::uint32_t c2) {
  const double angle = NormalizeAngle(point.x() - centre.x(), centre.y() - point.y());
  const double u = std::fabs(kThreeQuarterPi - (kTwoPi - angle));
  const double weight = (std::cos(u) + 1) * 0.5;
  return BlendColor(c2, c1, weight);
}

// ---- CVtxButton ---------------------------------------------------------------------------

CVtxButton::CVtxButton(QWidget* parent) : QAbstractButton(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::TabFocus);
}

CVtxButton::~CVtxButton() = default;

bool CVtxButton::Create(const QRect& rect, QWidget* parent, int id) {
  setParent(parent);
  setGeometry(rect);
  id_ = id;
  setProperty("controlId", id);
  show();
  return true;
}

CVtxButton::Picture CVtxButton::LoadPicture(const std::string& file) {
  auto image = std::make_unique<QImage>(QString::fromStdString(plat::MapPath(file)));
  if (image->isNull()) return nullptr;
  return image;
}

int CVtxButton::LoadButtonBitmap(const std::string& flat, const std::string& focus, const std::string& selected,
                                 std::uint16_t style) {
  face_ = nullptr;
  m_hFlatBitmap.reset();
  m_hFocusBitmap.reset();
  m_hSelectedBitmap.reset();
  if (!(m_hFlatBitmap = LoadPicture(flat))) return 0;
  if (!(m_hFocusBitmap = LoadPicture(focus))) return 0;
  if (!(m_hSelectedBitmap = LoadPicture(selected))) return 0;
  m_wStyle = style;
  m_fPicturesLoaded = 1;
  Paint(FaceForState());
  return 1;
}

int CVtxButton::LoadButtonBitmap(std::uint16_t count, const std::vector<std::string>& files, std::uint16_t style) {
  face_ = nullptr;
  m_phNormalBitmaps.clear();
  m_phHoverBitmaps.clear();
  m_wImageCount = count;
  m_phNormalBitmaps.resize(count);
  m_phHoverBitmaps.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (2 * i + 1 >= files.size()) return 0;
    if (!(m_phNormalBitmaps[i] = LoadPicture(files[2 * i]))) return 0;
    if (!(m_phHoverBitmaps[i] = LoadPicture(files[2 * i + 1]))) return 0;
  }
  m_wStyle = style;
  Paint(FaceForState());
  return 1;
}

int CVtxButton::LoadButtonBitmap(const std::string& file, std::uint16_t style) {
  face_ = nullptr;
  m_phNormalBitmaps.clear();
  m_phNormalBitmaps.resize(1);
  if (!(m_phNormalBitmaps[0] = LoadPicture(file))) return 0;
  m_wStyle = style;
  m_wImageCount = 0;
  Paint(FaceForState());
  return 1;
}

const QImage* CVtxButton::Normal(int i) const {
  return i >= 0 && i < static_cast<int>(m_phNormalBitmaps.size()) ? m_phNormalBitmaps[i].get() : nullptr;
}

const QImage* CVtxButton::Hover(int i) const {
  return i >= 0 && i < static_cast<int>(m_phHoverBitmaps.size()) ? m_phHoverBitmaps[i].get() : nullptr;
}

const QImage* CVtxButton::FaceForState() const {
  if (m_wStyle & VBS_SINGLE) return Normal(0);
  if (m_wStyle & VBS_STATE) {
    switch (m_wImageIndex) {
      case 1: return m_hFlatBitmap.get();
      case 2: return m_hFocusBitmap.get();
      case 3: return m_hSelectedBitmap.get();
      default: return nullptr;
    }
  }
  if (m_wStyle & (VBS_PUSH | VBS_PUSHHOVER)) return m_bReleased ? m_hFlatBitmap.get() : m_hSelectedBitmap.get();
  if (m_wStyle & VBS_CYCLE) {
    switch (m_wImageIndex) {
      case 0: return m_hFlatBitmap.get();
      case 1: return m_hFocusBitmap.get();
      default: return m_hSelectedBitmap.get();
    }
  }
  if (m_wStyle & (VBS_MULTI | VBS_MULTIFIXED)) return Normal(m_wImageIndex);
  return m_bReleased ? m_hFlatBitmap.get() : m_hSelectedBitmap.get();
}

bool CVtxButton::TracksHover() const {
  return (m_wStyle & (VBS_HOVER | VBS_MULTI | VBS_MULTIFIXED | VBS_PUSHHOVER)) != 0;
}

void CVtxButton::Paint(const QImage* picture) {
  face_ = picture;
  faceSet_ = true;
  update();
}

int CVtxButton::SetImageIndex(int n) {
  if (n == -1) return m_wImageIndex == 0 ? m_wImageCount - 1 : m_wImageIndex - 1;
  if (m_phNormalBitmaps.empty()) return -1;
  if (n >= 0 && n < m_wImageCount) m_wImageIndex = static_cast<std::uint16_t>(n);
  Paint(Normal(m_wImageIndex));
  return 1;
}

int CVtxButton::StepImage() {
  m_wImageIndex = static_cast<std::uint16_t>(m_wImageIndex + 1 >= m_wImageCount ? 0 : m_wImageIndex + 1);
  Paint(Normal(m_wImageIndex));
  return 1;
}

int CVtxButton::StepImageBack() {
  m_wImageIndex = static_cast<std::uint16_t>(m_wImageIndex == 0 ? (m_wImageCount ? m_wImageCount - 1 : 0) : m_wImageIndex - 1);
  Paint(Normal(m_wImageIndex));
  return 1;
}

int CVtxButton::StepThreeState() {
  switch (m_wImageIndex) {
    case 0: Paint(m_hFocusBitmap.get()); m_wImageIndex = 1; break;
    case 1: Paint(m_hSelectedBitmap.get()); m_wImageIndex = 2; break;
    default: Paint(m_hFlatBitmap.get()); m_wImageIndex = 0; break;
  }
  return 1;
}

int CVtxButton::SetButtonState(int s) {
  switch (s) {
    case 1: Paint(m_hFlatBitmap.get()); break;
    case 2: Paint(m_hFocusBitmap.get()); break;
    case 3: Paint(m_hSelectedBitmap.get()); break;
    default: return 1;
  }
  m_wImageIndex = static_cast<std::uint16_t>(s);
  return 1;
}

int CVtxButton::ToggleSelected() {
  m_bReleased = !m_bReleased;
  Paint(m_bReleased ? m_hFlatBitmap.get() : m_hSelectedBitmap.get());
  return 1;
}

void CVtxButton::ApplyShapeRegionToClient(int kind) {
  m_shape.Create(QRect(0, 0, width(), height()), kind);
  setMask(m_shape.CreateLayerRegion(0));
}

void CVtxButton::ApplyShapeRegion(const CVtxShape& shape) {
  m_shape = shape;
  setMask(m_shape.CreateLayerRegion(0));
}

void CVtxButton::paintEvent(QPaintEvent*) {
  if (!faceSet_) face_ = FaceForState();
  if (!face_) return;  // a picture that failed to load leaves the face as it is
  QPainter p(this);
  p.drawImage(QPoint(0, 0), *face_);
}

void CVtxButton::mouseMoveEvent(QMouseEvent* event) {
  QAbstractButton::mouseMoveEvent(event);
  const QPoint pos = event->position().toPoint();
  if (m_bTracking == 0 && TracksHover() && pos.x() >= 0 && pos.y() >= 0 && pos.x() < width() && pos.y() < height()) {
    m_bTracking = 1;
    Paint((m_wStyle & (VBS_MULTI | VBS_MULTIFIXED)) ? Hover(m_wImageIndex) : m_hFocusBitmap.get());
  }
}

void CVtxButton::leaveEvent(QEvent* event) {
  if (m_bTracking == 1 && TracksHover()) {
    m_bTracking = 0;
    Paint((m_wStyle & (VBS_MULTI | VBS_MULTIFIXED)) ? Normal(m_wImageIndex) : m_hFlatBitmap.get());
  }
  QAbstractButton::leaveEvent(event);
}

void CVtxButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    if ((m_wStyle & (VBS_PUSH | VBS_PUSHHOVER)) && m_bReleased == 1) {
      ToggleSelected();
    } else if (m_wStyle & VBS_CYCLE) {
      StepThreeState();
    } else if (m_wStyle & VBS_MULTI) {
      StepImage();
    }
  }
  QAbstractButton::mousePressEvent(event);
}

void CVtxButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && (m_wStyle & (VBS_PUSH | VBS_PUSHHOVER)) && m_bReleased == 0) {
    ToggleSelected();
  }
  QAbstractButton::mouseReleaseEvent(event);  // emits clicked() after the face is back to flat
}
