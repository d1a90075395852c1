// The page frame: drawn over the sheet's former tab area beside the pages. A caption bar as
// tall as a tab header names the selected tree item; where no page is shown, a centred text
// fills the rest of the frame.
#pragma once
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QWidget>

// The frame's settings and drawing steps; the sheet talks to its frame only through this part.
class CSheetPageFrame {
 public:
  // Qt's AlignCenter | AlignVCenter, one line, no mnemonics.
  static constexpr unsigned kDefaultEmptyTextFormat = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;

  virtual ~CSheetPageFrame() = default;
  virtual bool CreateFrameWindow(const QRect& rect, QWidget* parent, int id) = 0;
  virtual QWidget* GetFrameWindow() = 0;
  virtual void EnableCaption(bool enable);
  virtual void SetCaptionBarHeight(int height);
  virtual void SetCaptionTextIcon(const QString& text, const QIcon& icon);
  virtual void SetEmptyText(const QString& text);
  virtual unsigned SetEmptyTextFormat(unsigned format);
  virtual void Redraw(QPainter& painter);
  virtual QRect GetEmptyTextRect();
  virtual void PaintEmptyText(QPainter& painter, const QRect& rect, const QString& text, unsigned format);
  virtual QRect GetCaptionBarRect();
  virtual void PaintCaptionBar(QPainter&, const QRect&, const QString&, const QIcon&) {}

  bool IsCaptionEnabled() const { return m_bCaption; }
  int GetCaptionBarHeight() const { return m_nCaptionHeight; }
  const QString& GetCaptionText() const { return m_strCaption; }
  const QString& GetEmptyText() const { return m_strEmptyText; }
  unsigned GetEmptyTextFormat() const { return m_uEmptyTextFormat; }

 protected:
  void InvalidateArea(const QRect& rect);
  QRect ClientRect();

  bool m_bCaption = false;
  int m_nCaptionHeight = 0;
  QString m_strCaption;
  QIcon m_hCaptionIcon;
  QString m_strEmptyText;
  unsigned m_uEmptyTextFormat = kDefaultEmptyTextFormat;
};

// The frame window the sheet uses: a gradient caption bar with an optional icon and the text.
class CSheetPageFrameWnd : public QWidget, public CSheetPageFrame {
 public:
  CSheetPageFrameWnd() = default;
  bool CreateFrameWindow(const QRect& rect, QWidget* parent, int id) override;
  QWidget* GetFrameWindow() override { return this; }
  void SetCaptionTextIcon(const QString& text, const QIcon& icon) override;
  QRect GetEmptyTextRect() override;
  QRect GetCaptionBarRect() override { return CSheetPageFrame::GetCaptionBarRect(); }
  void PaintCaptionBar(QPainter& painter, const QRect& rect, const QString& text, const QIcon& icon) override;
  // The frame as painted now (tests, screenshots).
  QImage Render();
  // The caption icon as the frame keeps it (null when none could be made).
  const QImage& CaptionIconImage() const { return m_CaptionIcon; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_CaptionIcon;
};

// Fills the rectangle column by column from `start` (the leftmost column) toward `end`.
void PaintGradientColumns(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end);
