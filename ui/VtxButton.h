// Skinned bitmap buttons and the polygon shapes they can be cut to.
//
// A CVtxButton's face is one of a few pictures loaded from BMP files, chosen by its style word
// and its own state (released flag, picture index), never by the widget's focus, pressed or
// enabled state. Pictures are drawn at their own size from the top-left corner, never scaled.
#pragma once
#include <QAbstractButton>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A point of a shape layer.
class CVtxPoint {
 public:
  CVtxPoint() = default;
  CVtxPoint(int px, int py) : x(px), y(py) {}
  explicit CVtxPoint(const QPoint& p) : x(p.x()), y(p.y()) {}
  bool operator!=(const CVtxPoint& o) const { return x != o.x || y != o.y; }
  bool operator==(const CVtxPoint& o) const { return !(*this != o); }
  operator QPoint() const { return QPoint(x, y); }
  std::int32_t x = 0;
  std::int32_t y = 0;
};

enum VtxShapeKind { VTX_RECTANGLE = 0, VTX_DIAMOND = 1, VTX_CIRCLE = 2, VTX_CAPSULE = 3 };

// Four layers of one outline, each a closed polygon moved inwards by 0, 1, 2 and 4 pixels.
class CVtxShape {
 public:
  static constexpr int kLayers = 4;
  static constexpr int kMaxRegionPoints = 1024;
  static constexpr int kInset[kLayers] = {0, 1, 2, 4};

  void Create(const QRect& rect, int kind);
  void CreateRectangle(const QRect& rect);
  void CreateDiamond(const QRect& rect);
  void CreateCircle(const QRect& rect, int count = 0);
  void CreateCapsule(const QRect& rect, int count = 0);

  // A polygon region (alternate fill) of one layer; at most 1024 points are used.
  QRegion CreateLayerRegion(int layer);

  int GetPointCount(int layer) const;
  CVtxPoint GetPoint(int layer, int i) const;
  int AddPoint(int layer, const CVtxPoint& p);
  void SetPoint(int layer, int i, const CVtxPoint& p);
  void InsertPoint(int layer, int i, const CVtxPoint& p);
  void RemovePoint(int layer, int i);
  bool IsConsistent() const;
  void ClosePolygons();
  void DeleteAllPoints();

 private:
  bool ValidLayer(int layer) const { return layer >= 0 && layer < kLayers; }
  std::vector<CVtxPoint> layers_[kLayers];
};

// Colour helpers (RGB with red in the low byte).
double NormalizeAngle(double a, double b);
std::uint32_t BlendColor(std::uint32_t a, std::uint32_t b, double x);
std::uint32_t AngleGradientColor(const QPoint& point, const QPoint& centre, std::uint32_t c1, std::uint32_t c2);

// Style bits; one style per button, the table order is the drawing priority.
enum : std::uint16_t {
  VBS_HOVER = 0x01,
  VBS_PUSH = 0x02,
  VBS_STATE = 0x04,
  VBS_CYCLE = 0x08,
  VBS_MULTI = 0x10,
  VBS_PUSHHOVER = 0x20,
  VBS_MULTIFIXED = 0x40,
  VBS_SINGLE = 0x80,
};

class CVtxButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CVtxButton(QWidget* parent = nullptr);
  ~CVtxButton() override;

  // Run-time creation: a child at `rect` of `parent` with command id `id` (kept as a property).
  bool Create(const QRect& rect, QWidget* parent, int id);
  int CommandId() const { return id_; }

  // The three-picture set (normal, mouse-over, pressed); 1 when all load.
  int LoadButtonBitmap(const std::string& flat, const std::string& focus, const std::string& selected,
                       std::uint16_t style);
  // n (normal, hover) pairs: files in the order normal 0, hover 0, normal 1, hover 1, ...
  int LoadButtonBitmap(std::uint16_t count, const std::vector<std::string>& files, std::uint16_t style);
  // One picture for every state.
  int LoadButtonBitmap(const std::string& file, std::uint16_t style);

  int SetImageIndex(int n);
  int StepImage();
  int StepImageBack();
  int StepThreeState();
  int SetButtonState(int s);
  int ToggleSelected();
  void ApplyShapeRegionToClient(int kind);
  void ApplyShapeRegion(const CVtxShape& shape);

  // The picture shown now (null when none); tests and the screenshot check use it.
  const QImage* CurrentFace() const { return face_; }

  // State, as the owners and tests read it.
  int m_fPicturesLoaded = 0;
  int m_bTracking = 0;
  std::uint16_t m_wStyle = 0;
  int m_bReleased = 1;
  std::uint16_t m_wImageIndex = 0;
  std::uint16_t m_wImageCount = 0;
  CVtxShape m_shape;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  using Picture = std::unique_ptr<QImage>;
  static Picture LoadPicture(const std::string& file);
  void Paint(const QImage* picture);
  const QImage* Normal(int i) const;
  const QImage* Hover(int i) const;
  const QImage* FaceForState() const;
  bool TracksHover() const;

  int id_ = 0;
  Picture m_hFlatBitmap, m_hFocusBitmap, m_hSelectedBitmap;
  std::vector<Picture> m_phNormalBitmaps, m_phHoverBitmaps;
  const QImage* face_ = nullptr;
  bool faceSet_ = false;
};
