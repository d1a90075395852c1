// A property sheet navigated by a tree of its pages instead of tabs, laid out beside the main
// window, with a banner naming the kind of recorder under the tree and a progress bar under
// the pages that worker threads drive through PostProgressJob.
#pragma once
#include <QIcon>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

#include "config/PageFrame.h"
#include "config/SheetProgress.h"
#include "platform/types.h"
#include "ui/Controls.h"
#include "ui/PropertySheet.h"

class QTreeWidgetItem;

// One row of a page tree table: a page caption, its parent's caption and the text of the
// frame's caption bar (null: the tree item's text).
struct PageTreeRow {
  QTreeWidgetItem* hItem;
  QTreeWidgetItem* hParentItem;
  const char* pszCaption;
  const char* pszParentCaption;
  const char* pszFrameCaption;
};
constexpr int kPageTreeRows = 20;
extern PageTreeRow PageTreeTableVideoServer[kPageTreeRows];
extern PageTreeRow PageTreeTableDvr[kPageTreeRows];
extern PageTreeRow PageTreeTableK44[kPageTreeRows];
extern PageTreeRow PageTreeTableK47R[kPageTreeRows];
extern PageTreeRow* g_pActivePageTreeTable;

// Placement of the sheet against the desktop work area (its width and height, measured from
// the screen origin): beside the main window, else the pair centred, else the sheet alone.
struct SheetPlacement {
  bool mainMoved = false;
  QPoint main;
  QPoint sheet;
};
SheetPlacement PlaceSheet(const QRect& mainWindow, const QSize& sheet, const QSize& workArea);

// Splits the first node off a "::"-separated page path; "\::" keeps the separator in the
// node's text and "\\" becomes "\".
QString TakePathHead(QString& rest);

// The banner's text for a model code (empty for an unknown model).
QString BannerText(const std::string& productId);

class CTreePropSheet : public ui::PropertySheet {
  Q_OBJECT

 public:
  explicit CTreePropSheet(QString caption, QWidget* parent = nullptr);
  ~CTreePropSheet() override;

  // Configuration before the window exists (false, nothing changed, afterwards). The frame
  // caption and tree images flags are taken in tree mode only.
  bool SetTreeOptions(bool treeMode, bool frameCaption, bool treeImages = false);
  bool SetTreePaneWidth(int width);
  void SetEmptyPageTemplate(const QString& text) { m_strEmptyPageTemplate = text; }
  ui::SelectTree* GetTreeControl() const { return m_pPageTree; }
  // The format of the frame's empty-page text (Qt alignment and text flags); answers the
  // previous one, 0 while there is no frame.
  unsigned ChangeEmptyTextFormat(unsigned format);
  // The two pictures of tree items without their own: image 0 for group nodes, image 1 for pages
  // without an icon. Refused (false) unless there are exactly two; the tree is filled again
  // when the window exists.
  bool UseFallbackImages(const QList<QIcon>& images);
  // The same from a bitmap cut into pictures `imageWidth` wide, `mask` transparent; true when it
  // gives exactly two (else they are dropped). The tree is not filled again.
  bool LoadFallbackImages(const QString& bitmapPath, int imageWidth, const QColor& mask);
  const QList<QIcon>& FallbackImages() const { return m_FallbackImages; }
  // The pictures the tree's items use (tree images on): the pages' icons in page order, then the
  // group and the page fallback picture.
  const QList<QIcon>& TreeImages() const { return m_TreeImages; }
  bool TreeImagesOn() const { return m_bTreeImages; }

  // A page's icon, for its tree item and the frame's caption bar. The file and list forms answer
  // false when they give no icon; Release answers false when the page had none.
  static bool AttachPageIcon(ui::PropertyPage* page, const QIcon& icon);
  static bool AttachPageIcon(ui::PropertyPage* page, const QString& iconFile);
  static bool AttachPageIcon(ui::PropertyPage* page, const QList<QIcon>& images, int index);
  static bool ReleasePageIcon(ui::PropertyPage* page);
  CSheetPageFrame* GetPageFrame() const { return m_pPageFrame; }

  // The main window the sheet is placed against and the work area it recorded at its start.
  void SetMainWindow(QWidget* mainWindow, const QRect& workArea);

  // Keyboard stepping through the tree (Ctrl+Tab, Ctrl+Shift+Tab).
  void StepToNextPage();
  void StepToPreviousPage();
  // Selects the tree item of page `index` (as a click would).
  bool SelectPageItem(int index);
  QTreeWidgetItem* FindPageItem(int index) const;

  // Layout, as computed by OnInitDialog (client coordinates).
  QRect ProgressRect() const { return m_rcProgress; }
  QRect BannerRect() const { return m_rcBanner; }
  QRect TreeRect() const;
  QRect SheetWindowRect() const { return m_rcSheetWindow; }
  QRect MainWindowRect() const { return m_rcMainWindow; }
  int CaptionBarHeight() const { return m_nCaptionBarHeight; }

  // Progress state (as the painter left it) and pictures for tests and screenshots.
  int ProgressMax() const { return m_pProgressPainter ? m_pProgressPainter->Max() : 0; }
  int ProgressValue() const { return m_pProgressPainter ? m_pProgressPainter->Value() : 0; }
  bool ProgressShown() const { return m_pProgressPainter && m_pProgressPainter->Shown(); }
  // The bar area as the painter last drew it.
  QImage ProgressImage() const;
  // The sheet's own painting (banner and bar) as OnPaint draws it now.
  QImage RenderSheet();
  // Jobs the painter has finished (tests wait for it).
  int ProgressJobsDone() const { return m_pProgressPainter ? m_pProgressPainter->JobsDone() : 0; }
  bool HasProgressWorker() const { return m_hProgressThread != 0; }
  // Ends the painter and closes the job block (the destructor does it too). The painter
  // thread co-owns what it draws with: should it not end in time, it is left to end on its
  // own and nothing it uses is freed.
  void StopProgressWorker();

 protected:
  bool OnInitDialog() override;
  void OnPagesChanged() override;
  void OnActivePageChanged() override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  virtual QString MakeEmptyPageText(const QString& templ, const QString& caption);
  virtual ui::SelectTree* NewPageTree();
  virtual CSheetPageFrame* NewPageFrame();
  virtual std::shared_ptr<CSheetProgressPainter> NewProgressPainter();

  void FillPageTree();
  void SyncTreeToActivePage();
  void RefreshFrameCaption();
  bool IsWindowMade() const { return m_bWindowMade; }
  std::shared_ptr<ProgressJobBlock> GetProgressJobBlockOfSheet() const { return m_ProgressJob; }

  // Page size of the sheet (the area of one page, below the caption bar).
  static constexpr int kPageWidth = 470;
  static constexpr int kPageHeight = 360;

 private:
  bool OnTreeSelChanging(QTreeWidgetItem* to);
  // A tree item's picture: an index into m_TreeImages, -1 for none.
  static constexpr int kImageRole = Qt::UserRole + 1;
  void SetItemImage(QTreeWidgetItem* item, int image);
  QTreeWidgetItem* InsertPagePath(QString path, QTreeWidgetItem* parent);
  void PaintBannerAndBar(QPainter& painter);
  void StartProgressWorker();

  QRect m_rcProgress;
  QRect m_rcBanner;
  QRect m_rcSheetWindow;
  QRect m_rcMainWindow;
  QRect m_rcTree;
  plat::HANDLE m_hProgressThread = 0;
  std::shared_ptr<ProgressJobBlock> m_ProgressJob;
  std::shared_ptr<CSheetProgressPainter> m_pProgressPainter;  // shared with the painter thread
  bool m_bTreeMode = true;
  ui::SelectTree* m_pPageTree = nullptr;
  CSheetPageFrame* m_pPageFrame = nullptr;
  bool m_bInSelChanging = false;
  bool m_bFrameCaption = true;
  QString m_strEmptyPageTemplate;
  bool m_bTreeImages = false;
  QList<QIcon> m_TreeImages;
  QList<QIcon> m_FallbackImages;
  int m_nTreeWidth = 150;
  int m_nCaptionBarHeight = 0;
  bool m_bWindowMade = false;
  QWidget* m_pMainWindow = nullptr;
  QRect m_rcWorkArea;
};
