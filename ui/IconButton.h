// A general owner-drawn push button: an icon or a transparent bitmap beside a word-wrapped
// caption, a flat look that raises on hover, six state colours, its own cursor, a tooltip and
// three optional click actions (check box, popup menu below the button, link target opened
// with the desktop's default handler).
//
// Icons are ARGB pictures whose alpha is their mask; bitmaps are RGB pictures with a
// transparent colour from which the button makes a mask. Pictures by id come from the image
// resources the program registers (ui::RegisterImageResource).
#pragma once
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QString>
#include <functional>
#include <memory>
#include <string>

namespace ui {

class Window;

// Pictures by id (the program's resources). An id nothing registered gives a null image.
void RegisterImageResource(int id, const QImage& image);
QImage LoadImageResource(int id);

// Opens a link target with the desktop's default handler; tests replace it.
using ShellOpenFn = std::function<bool(const QString& target)>;
void SetShellOpenHandler(ShellOpenFn handler);  // an empty handler restores the default

}  // namespace ui

// Special idle-image arguments: a grey or a darker copy of the active image.
constexpr int IB_AUTO_GRAY = -2;
constexpr int IB_AUTO_DARK = -3;

// Setter results.
enum IconButtonResult {
  IB_OK = 0,
  IB_INVALID_RESOURCE = 1,  // an image, cursor, menu or link target could not be used
  IB_FAILED_MASK = 2,
  IB_INVALID_INDEX = 3,      // colour index above 5
  IB_INVALID_ALIGN = 4,      // placement above 3
  IB_BAD_PARAM = 5,          // shade out of range; no transparent look or no parent to copy
  IB_INVALID_PRESSED_STYLE = 6,
};

// Button styles (low five bits of a button's style word) and dialog codes.
constexpr unsigned BS_PUSHBUTTON_TYPE = 0;
constexpr unsigned BS_DEFPUSHBUTTON_TYPE = 1;
constexpr unsigned BS_CHECKBOX_TYPE = 2;
constexpr unsigned DLGC_DEFPUSHBUTTON_CODE = 0x0010;
constexpr unsigned DLGC_UNDEFPUSHBUTTON_CODE = 0x0020;

class CIconButton : public QPushButton {
  Q_OBJECT

 public:
  enum StateColour {
    BTNST_COLOR_BK_IN = 0,   // background while hovered or pressed
    BTNST_COLOR_FG_IN = 1,   // text while hovered or pressed
    BTNST_COLOR_BK_OUT = 2,  // background normally
    BTNST_COLOR_FG_OUT = 3,
    BTNST_COLOR_BK_FOCUS = 4,
    BTNST_COLOR_FG_FOCUS = 5,
    BTNST_MAX_COLORS = 6,
  };
  enum Placement { ST_ALIGN_HORIZ = 0, ST_ALIGN_VERT = 1, ST_ALIGN_HORIZ_RIGHT = 2, ST_ALIGN_OVERLAP = 3 };

  explicit CIconButton(QWidget* parent = nullptr);
  ~CIconButton() override;

  // Takes the button type of a style word: bit 1 makes a check box, BS_DEFPUSHBUTTON a
  // default button. SetButtonStyle does the same later.
  void PreSubclassWindow(unsigned style);
  void SetButtonStyle(unsigned style, bool repaint = true);
  unsigned GetDlgCode() const;
  bool IsDefaultButton() const { return isDefault_; }

  // Images. Each releases every image held first; any failure leaves none.
  int SetIconPair(const QImage& active, const QImage& idle);
  int SetIconPair(const QImage& active, int idleSpecial);
  int SetIconPairIds(int activeId, int idleId);
  int SetIconPairIdsSized(int activeId, int activeW, int activeH, int idleId, int idleW, int idleH);
  int SetIconPairFiles(const std::string& activePath, const std::string& idlePath);
  int SetBitmapPair(const QImage& active, QColor activeTransparent, const QImage& idle, QColor idleTransparent);
  int SetBitmapPair(const QImage& active, QColor activeTransparent, int idleSpecial,
                    QColor idleTransparent = QColor(0, 0, 0));
  int SetBitmapPairIds(int activeId, QColor activeTransparent, int idleId, QColor idleTransparent);
  // A missing idle file falls back to `idleSpecial` (0: none).
  int SetBitmapPairFiles(const std::string& activePath, QColor activeTransparent, const std::string& idlePath,
                         QColor idleTransparent, int idleSpecial = 0);
  void ReleaseImages();

  // Look.
  int SetFlatLook(bool flat, bool repaint = true);
  int SetFlatBorder(bool border, bool repaint = true);
  int SetFlatFocusRect(bool draw, bool repaint = true);
  int SetImagePlacement(int placement, bool repaint = true);
  int SetPressShift(int style, bool repaint = true);
  int SetCaptionFont(int pointSize, const QString& face, bool repaint = true);
  int SetStateColour(int index, QColor colour, bool repaint = true);
  int GetStateColour(int index, QColor* colour) const;
  int ShiftStateColour(int index, int shade, bool repaint = true);
  int ResetStateColours(bool repaint = true);
  int SetTransparentLook(bool transparent, bool repaint = true);
  int CaptureBackground();
  int FitWindowToImage();
  void SetEmbossDisabledBitmap(bool emboss) { embossDisabledBitmap_ = emboss; }

  // Behaviour.
  int SetChecked(bool checked, bool repaint = true);
  bool IsChecked() const { return checked_; }
  // Button messages: set (1 or 2 check) and get the check state.
  void SetCheckMessage(int state) { SetChecked(state == 1 || state == 2); }
  int GetCheckMessage() const { return checked_ ? 1 : 0; }
  // The popup menu is shown below the button; its first submenu's chosen command is posted
  // to `owner`'s command handlers. The button owns the menu.
  int SetPopupMenu(std::unique_ptr<QMenu> menu, ui::Window* owner, bool repaint = true);
  // Sent before the menu opens: `window`'s handler for `message` with the submenu as wParam.
  int SetPopupMenuNotify(ui::Window* window, unsigned message, long value);
  int SetLinkTarget(const std::string& target);
  const std::string& LinkTarget() const { return linkTarget_; }
  int SetCursorResource(int id);
  int SetCursorHandle(const QCursor& cursor);
  int SetHoverWhenInactive(bool hover);

  // Tooltip.
  void SetTipText(const QString& text, bool activate = true);
  void SetTipTextResource(unsigned stringId, bool activate = true);
  void EnableTip(bool activate);
  void UseBalloonTip() { balloonTip_ = true; }
  bool TipActive() const { return tipActive_; }

  // State the drawing reads, for the window layer and the tests.
  bool IsHovered() const { return hover_; }
  bool IsMenuShowing() const { return menuShowing_; }
  QRect ImageRect(const QRect& client, int w, int h, bool hasCaption, bool pressed) const;
  QRect CaptionRect(const QRect& client, int w, int h, bool pressed) const;
  const QImage& ActiveImage() const;
  const QImage& IdleImage() const;

  // Draws the button as a drawing request asks (the offscreen picture is what paintEvent shows).
  QImage DrawItem(bool selected, bool focused, bool disabled);

  // Ends the hover as losing the pointer, the focus or the activation does.
  void CancelMode();

  // The menu run: opens `submenu` at `where` (global) and answers the chosen command id, or 0.
  // Tests replace it.
  std::function<int(QMenu* submenu, const QPoint& where)> trackPopup;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct ImagePair {
    QImage active, idle;  // idle may be null
    QImage activeMask, idleMask;  // bitmaps: true where the picture shows (white = transparent)
  };
  void OnClicked();
  void EndHover();
  void Repaint(bool repaint) {
    if (repaint) update();
  }
  int FinishBitmapPair(const QImage& active, QColor activeTransparent, const QImage& idle, QColor idleTransparent,
                       int idleSpecial);
  void PaintBackground(QPainter& p, QRect& r, bool pressed, bool focused);
  void PaintBorder(QPainter& p, const QRect& r, bool pressed);
  void PaintImage(QPainter& p, const QRect& client, bool pressed, bool disabled);
  void PaintCaption(QPainter& p, const QRect& client, bool pressed, bool focused, bool disabled);

  bool embossDisabledBitmap_ = true;
  int marginX_ = 3, marginY_ = 3;
  int pressShiftX_ = 1, pressShiftY_ = 1;
  QFont captionFont_;
  bool captionFontSet_ = false;
  bool flat_ = true;
  bool hover_ = false;
  bool transparent_ = false;
  bool isDefault_ = false;
  bool isCheckBox_ = false;
  int placement_ = ST_ALIGN_HORIZ;
  bool flatBorder_ = true;
  bool flatFocusRect_ = false;
  QColor colours_[BTNST_MAX_COLORS];
  ui::Window* menuOwner_ = nullptr;
  bool menuShowing_ = false;
  std::unique_ptr<QMenu> menu_;
  QCursor cursor_;
  bool cursorSet_ = false;
  QImage savedBackground_;
  bool hoverWhenInactive_ = true;
  bool checked_ = false;
  bool balloonTip_ = false;
  bool tipActive_ = false;
  QString tipText_;
  std::string linkTarget_;
  bool isIcon_ = false;
  ImagePair images_;
  ui::Window* notifyWindow_ = nullptr;
  unsigned notifyMessage_ = 0;
  long notifyValue_ = 0;
};

// Image copies: grey (0.299 R + 0.587 G + 0.114 B, truncated) and darker (c - c/4, truncated)
// of every pixel that is not `transparent` (for icons: not black; alpha is kept).
QImage GreyCopy(const QImage& source, QColor transparent, bool icon);
QImage DarkCopy(const QImage& source, QColor transparent, bool icon);
// Where `transparent` is: false; elsewhere true.
QImage MakeMask(const QImage& source, QColor transparent);
