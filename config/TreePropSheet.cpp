#include "config/TreePropSheet.h"
#include "ui/Lifetime.h"
#include "config/PageModel.h"

#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QBitmap>
#include <QPaintEvent>
#include <QPixmap>
#include <QTabBar>
#include <QTreeWidgetItem>

#include "core/Model.h"
#include "platform/kernel.h"
#include "platform/thread.h"

namespace {

QRect RectLTRB(int l, int t, int r, int b) { return QRect(l, t, r - l, b - t); }
int Right(const QRect& r) { return r.left() + r.width(); }    // exclusive
int Bottom(const QRect& r) { return r.top() + r.height(); }   // exclusive

#define PAGE_TREE_ROWS(F)                                              \
  {nullptr, nullptr, "Network", nullptr, nullptr},                    \
  {nullptr, nullptr, "DDNS", "Network", nullptr},                     \
  {nullptr, nullptr, "Mail", "Network", nullptr},                     \
  {nullptr, nullptr, "FTP", "Network", nullptr},                      \
  {nullptr, nullptr, "Server Time Config", "Network", nullptr},       \
  {nullptr, nullptr, "DVR", nullptr, F("DVR-CAMERA")},                \
  {nullptr, nullptr, "Device", "DVR", F("DVR-Device")},               \
  {nullptr, nullptr, "Detection", "DVR", F("DVR-Detection")},         \
  {nullptr, nullptr, "Network Backup", "DVR", F("DVR-Network Backup")}, \
  {nullptr, nullptr, "Search List", "DVR", F("DVR-Search List")},     \
  {nullptr, nullptr, "Timer Record", "DVR", F("DVR-Timer Record")},   \
  {nullptr, nullptr, "Date", "DVR", F("DVR-Date")},                   \
  {nullptr, nullptr, "Record Setting", "DVR", F("DVR-Record")},       \
  {nullptr, nullptr, "Alarm", nullptr, nullptr},                      \
  {nullptr, nullptr, "Alarm List", "Alarm", nullptr},                 \
  {nullptr, nullptr, "General", nullptr, nullptr},                    \
  {nullptr, nullptr, "Account", "General", nullptr},                  \
  {nullptr, nullptr, "Peripheral", "General", nullptr},               \
  {nullptr, nullptr, "Online User Info", "General", nullptr},         \
  {nullptr, nullptr, "File Path", "General", nullptr}

#define FRAME_CAPTION(text) text
#define NO_FRAME_CAPTION(text) nullptr

}  // namespace

PageTreeRow PageTreeTableVideoServer[kPageTreeRows] = {PAGE_TREE_ROWS(NO_FRAME_CAPTION)};
PageTreeRow PageTreeTableDvr[kPageTreeRows] = {PAGE_TREE_ROWS(FRAME_CAPTION)};
PageTreeRow PageTreeTableK44[kPageTreeRows] = {PAGE_TREE_ROWS(NO_FRAME_CAPTION)};
PageTreeRow PageTreeTableK47R[kPageTreeRows] = {PAGE_TREE_ROWS(NO_FRAME_CAPTION)};
PageTreeRow* g_pActivePageTreeTable = nullptr;

SheetPlacement PlaceSheet(const QRect& main, const QSize& sheet, const QSize& work) {
  SheetPlacement p;
  const int W = work.width(), H = work.height();
  const int mainW = main.width(), mainH = main.height();
  const int sheetW = sheet.width(), sheetH = sheet.height();
  if (main.left() + mainW + sheetW <= W) {
    p.main = main.topLeft();
    p.sheet = QPoint(main.left() + mainW - 2, main.top());
  } else if (mainW + sheetW <= W) {
    const int x = (W - mainW - sheetW) / 2;  // both non-negative here: the floor
    const int y = (H - mainH) >= 0 ? (H - mainH) / 2 : -((mainH - H + 1) / 2);
    p.mainMoved = true;
    p.main = QPoint(x, y);
    p.sheet = QPoint(x + mainW - 2, y);
  } else {
    p.main = main.topLeft();
    const int x = (W - sheetW) >= 0 ? (W - sheetW) / 2 : -((sheetW - W + 1) / 2);
    const int y = (H - sheetH) / 2;
    p.sheet = QPoint(x, y < 0 ? 0 : y);
  }
  return p;
}

QString TakePathHead(QString& rest) {
  int from = 0;
  for (;;) {
    const int sep = rest.indexOf(QStringLiteral("::"), from);
    if (sep < 0) {
      QString all = rest;
      rest.clear();
      return all;
    }
    int slashes = 0;
    for (int i = sep - 1; i >= 0 && rest[i] == '\\'; --i) ++slashes;
    if (slashes % 2 == 1) {
      from = sep + 1;  // escaped: search on one character further
      continue;
    }
    QString head = rest.left(sep);
    rest = rest.mid(sep + 2);
    head.replace(QStringLiteral("\\::"), QStringLiteral("::"));
    head.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    return head;
  }
}

QString BannerText(const std::string& id) {
  if (IsModelK40R(id) || IsModelK47R(id)) return QStringLiteral("Video Server");
  if (id == "K41R") return QStringLiteral("16CH DVR");
  if (id == "K42R") return QStringLiteral("8CH DVR");
  if (id == "K43R") return QStringLiteral("4CH DVR");
  if (IsModelFamilyK44(id)) return QStringLiteral("DVR Setting");
  return QString();
}

namespace {
}  // namespace

CTreePropSheet::CTreePropSheet(QString caption, QWidget* parent) : ui::PropertySheet(std::move(caption), parent) {}

CTreePropSheet::~CTreePropSheet() {
  StopProgressWorker();
  delete m_pPageTree;
  m_pPageTree = nullptr;
  delete m_pPageFrame;
  m_pPageFrame = nullptr;
}

bool CTreePropSheet::SetTreeOptions(bool treeMode, bool frameCaption, bool treeImages) {
  if (m_bWindowMade) return false;
  m_bTreeMode = treeMode;
  if (treeMode) {
    m_bFrameCaption = frameCaption;
    m_bTreeImages = treeImages;
  }
  return true;
}

unsigned CTreePropSheet::ChangeEmptyTextFormat(unsigned format) {
  return m_pPageFrame ? m_pPageFrame->SetEmptyTextFormat(format) : 0;
}

bool CTreePropSheet::UseFallbackImages(const QList<QIcon>& images) {
  if (images.size() != 2) return false;
  m_FallbackImages = images;
  if (m_bWindowMade) {
    FillPageTree();
    SyncTreeToActivePage();
  }
  return true;
}

bool CTreePropSheet::LoadFallbackImages(const QString& bitmapPath, int imageWidth, const QColor& mask) {
  QList<QIcon> images;
  const QImage bitmap(bitmapPath);
  if (!bitmap.isNull() && imageWidth > 0) {
    for (int x = 0; x + imageWidth <= bitmap.width(); x += imageWidth) {
      QPixmap picture = QPixmap::fromImage(bitmap.copy(x, 0, imageWidth, bitmap.height()));
      picture.setMask(picture.createMaskFromColor(mask, Qt::MaskInColor));
      images.append(QIcon(picture));
    }
  }
  m_FallbackImages = images.size() == 2 ? images : QList<QIcon>();
  return images.size() == 2;
}

bool CTreePropSheet::AttachPageIcon(ui::PropertyPage* page, const QIcon& icon) {
  if (!page || icon.isNull()) return false;
  page->SetPageIcon(icon);
  return true;
}

bool CTreePropSheet::AttachPageIcon(ui::PropertyPage* page, const QString& iconFile) {
  const QPixmap picture(iconFile);
  return !picture.isNull() && AttachPageIcon(page, QIcon(picture));
}

bool CTreePropSheet::AttachPageIcon(ui::PropertyPage* page, const QList<QIcon>& images, int index) {
  return index >= 0 && index < images.size() && AttachPageIcon(page, images[index]);
}

bool CTreePropSheet::ReleasePageIcon(ui::PropertyPage* page) {
  if (!page || !page->HasPageIcon()) return false;
  page->SetPageIcon(QIcon());
  return true;
}

bool CTreePropSheet::SetTreePaneWidth(int width) {
  if (m_bWindowMade) return false;
  m_nTreeWidth = width;
  return true;
}

void CTreePropSheet::SetMainWindow(QWidget* mainWindow, const QRect& workArea) {
  m_pMainWindow = mainWindow;
  m_rcWorkArea = workArea;
}

QRect CTreePropSheet::TreeRect() const { return m_rcTree; }

QString CTreePropSheet::MakeEmptyPageText(const QString& templ, const QString& caption) {
  if (templ.isEmpty()) return QString();
  QString text = templ;
  return text.replace(QStringLiteral("%s"), caption);
}

ui::SelectTree* CTreePropSheet::NewPageTree() { return new ui::SelectTree; }
std::shared_ptr<CSheetProgressPainter> CTreePropSheet::NewProgressPainter() {
  return std::make_shared<CSheetProgressPainter>();
}
CSheetPageFrame* CTreePropSheet::NewPageFrame() { return new CSheetPageFrameWnd; }

bool CTreePropSheet::OnInitDialog() {
  m_bWindowMade = true;
  const bool result = ui::PropertySheet::OnInitDialog();
  if (!m_bTreeMode) return result;

  // The caption bar is exactly as tall as a tab header.
  int h = 0;
  {
    QTabBar probe;
    probe.addTab(QString());
    h = probe.tabRect(0).height();
  }
  m_nCaptionBarHeight = h;
  const QRect rcTab(7, 7, kPageWidth, h + kPageHeight);
  // The plain sheet: the pages, a margin and the button row; then the tree column and the
  // 80 pixels of banner and bar below.
  const int plainW = Right(rcTab) + 7;
  const int plainH = Bottom(rcTab) + 7 + 35;
  m_rcSheetWindow = QRect(0, 0, plainW + m_nTreeWidth, plainH + 80);

  // Placement beside the main window.
  resize(m_rcSheetWindow.size());
  if (m_pMainWindow) {
    const QRect main = m_pMainWindow->frameGeometry();
    const QSize work = m_rcWorkArea.isNull() ? QSize(1024, 768) : m_rcWorkArea.size();
    const SheetPlacement p = PlaceSheet(main, m_rcSheetWindow.size(), work);
    if (p.mainMoved) m_pMainWindow->move(p.main);
    m_pMainWindow->raise();
    m_rcMainWindow = QRect(p.main, main.size());
    move(p.sheet);
    m_rcSheetWindow.moveTopLeft(p.sheet);
  }

  // The pages and their frame move right by the tree column.
  const QRect rcPages = rcTab.translated(m_nTreeWidth, 0);
  m_pPageFrame = NewPageFrame();
  m_pPageFrame->CreateFrameWindow(rcPages, this, 0xFFFF);
  m_pPageFrame->EnableCaption(m_bFrameCaption);
  m_pPageFrame->SetCaptionBarHeight(h);
  SetPageArea(m_bFrameCaption ? rcPages.adjusted(0, h, 0, 0) : rcPages);

  const float s = static_cast<float>(pagemodel::Scale());
  m_rcTree = RectLTRB(rcTab.left(), rcTab.top(), rcTab.left() + m_nTreeWidth - 5,
                      Bottom(rcTab) + static_cast<int>(28 * s));
  m_rcProgress = RectLTRB(Right(m_rcTree) + 15, Bottom(rcTab) + 15, m_rcSheetWindow.width() - 15, Bottom(rcTab) + 40);
  m_rcBanner = RectLTRB(m_rcTree.left() + 2, Bottom(m_rcTree) + 10, Right(m_rcTree) - 2, m_rcSheetWindow.height() - 40);

  m_pPageTree = NewPageTree();
  m_pPageTree->setParent(this);
  m_pPageTree->setObjectName(QStringLiteral("PageTree"));
  m_pPageTree->setGeometry(m_rcTree);
  m_pPageTree->installEventFilter(this);
  m_pPageTree->onSelChanging = [this](QTreeWidgetItem*, QTreeWidgetItem* to) { return OnTreeSelChanging(to); };
  m_pPageTree->onSelChanged = [this](QTreeWidgetItem*) { RefreshFrameCaption(); };
  if (m_bTreeImages) {
    const QList<QSize> sizes = m_FallbackImages.isEmpty() ? QList<QSize>() : m_FallbackImages[0].availableSizes();
    m_pPageTree->setIconSize(sizes.isEmpty() ? QSize(16, 16) : sizes.first());
  }
  m_pPageTree->show();

  FillPageTree();
  if (GetActiveIndex() >= 0) SelectPageItem(GetActiveIndex());
  StartProgressWorker();
  return result;
}

void CTreePropSheet::FillPageTree() {
  if (!m_bWindowMade || !m_pPageTree) return;
  m_pPageTree->onSelChanging = nullptr;  // clearing the tree is no operator's choice
  m_pPageTree->clear();
  m_pPageTree->onSelChanging = [this](QTreeWidgetItem*, QTreeWidgetItem* to) { return OnTreeSelChanging(to); };
  const std::string id = pagemodel::ProductId();
  PageTreeRow* table = nullptr;
  if (id == "K40R") {
    table = PageTreeTableVideoServer;
  } else if (IsModelFamilyK41(id)) {
    table = PageTreeTableDvr;
  } else if (IsModelFamilyK44(id)) {
    table = PageTreeTableK44;
  } else if (IsModelK47R(id)) {
    table = PageTreeTableK47R;
  }
  g_pActivePageTreeTable = table;
  if (!table) return;
  for (int r = 0; r < kPageTreeRows; ++r) table[r].hItem = table[r].hParentItem = nullptr;
  // The pages' icons in page order (each page's picture index), then the two fallbacks.
  std::vector<int> pageImage(static_cast<std::size_t>(GetPageCount()), -1);
  if (m_bTreeImages) {
    m_TreeImages.clear();
    for (int i = 0; i < GetPageCount(); ++i) {
      if (GetPage(i)->HasPageIcon()) {
        pageImage[static_cast<std::size_t>(i)] = static_cast<int>(m_TreeImages.size());
        m_TreeImages.append(GetPage(i)->PageIcon());
      }
    }
    if (m_FallbackImages.size() == 2) {
      if (!m_FallbackImages[0].isNull()) m_TreeImages.append(m_FallbackImages[0]);
      m_TreeImages.append(m_FallbackImages[1]);
    }
  }
  for (int i = 0; i < GetPageCount(); ++i) {
    const QString text = GetPage(i)->Caption();
    PageTreeRow* row = nullptr;
    for (int r = 0; r < kPageTreeRows; ++r) {
      if (text == QLatin1String(table[r].pszCaption)) {
        row = &table[r];
        break;
      }
    }
    if (!row) return;  // this page and every later one stay out of the tree
    QTreeWidgetItem* item = nullptr;
    if (row->pszParentCaption) {
      for (int r = 0; r < kPageTreeRows; ++r) {
        if (QLatin1String(table[r].pszCaption) == QLatin1String(row->pszParentCaption)) {
          row->hParentItem = table[r].hItem;
          break;
        }
      }
      item = InsertPagePath(text, row->hParentItem);
    } else {
      item = InsertPagePath(text, nullptr);
    }
    row->hItem = item;
    if (item) item->setData(0, Qt::UserRole, i);
    if (item && m_bTreeImages) {
      int image = pageImage[static_cast<std::size_t>(i)];
      if (image < 0 && m_FallbackImages.size() == 2) image = static_cast<int>(m_TreeImages.size()) - 1;
      SetItemImage(item, image);
    }
  }
}

QTreeWidgetItem* CTreePropSheet::InsertPagePath(QString path, QTreeWidgetItem* parent) {
  for (;;) {
    const QString head = TakePathHead(path);
    QTreeWidgetItem* found = nullptr;
    const int n = parent ? parent->childCount() : m_pPageTree->topLevelItemCount();
    for (int c = 0; c < n; ++c) {
      QTreeWidgetItem* child = parent ? parent->child(c) : m_pPageTree->topLevelItem(c);
      if (child->text(0) == head) {
        found = child;
        break;
      }
    }
    if (!found) {
      found = new QTreeWidgetItem(QStringList(head));
      found->setData(0, Qt::UserRole, -1);
      if (!path.isEmpty() && m_bTreeImages && m_FallbackImages.size() == 2) {
        SetItemImage(found, static_cast<int>(m_TreeImages.size()) - 2);
      }
      if (parent) {
        parent->addChild(found);
      } else {
        m_pPageTree->addTopLevelItem(found);
      }
    }
    if (path.isEmpty()) return found;
    parent = found;
  }
}

QTreeWidgetItem* CTreePropSheet::FindPageItem(int index) const {
  if (!m_pPageTree || index < 0 || index >= GetPageCount()) return nullptr;
  std::function<QTreeWidgetItem*(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) -> QTreeWidgetItem* {
    if (item->data(0, Qt::UserRole).toInt() == index) return item;
    for (int c = 0; c < item->childCount(); ++c) {
      if (QTreeWidgetItem* f = walk(item->child(c))) return f;
    }
    return nullptr;
  };
  for (int t = 0; t < m_pPageTree->topLevelItemCount(); ++t) {
    if (QTreeWidgetItem* f = walk(m_pPageTree->topLevelItem(t))) return f;
  }
  return nullptr;
}

bool CTreePropSheet::SelectPageItem(int index) {
  QTreeWidgetItem* item = FindPageItem(index);
  return item && m_pPageTree->SelectItem(item);
}

void CTreePropSheet::SyncTreeToActivePage() {
  if (GetActiveIndex() >= 0) SelectPageItem(GetActiveIndex());
}

bool CTreePropSheet::OnTreeSelChanging(QTreeWidgetItem* to) {
  if (m_bInSelChanging || !to) return true;
  // Leaving a page may show its check's message box.
  ui::HandlerScope scope(this);
  m_bInSelChanging = true;
  const int page = to->data(0, Qt::UserRole).toInt();
  const bool ok = page < 0 ? LeaveActivePage() : SetActivePage(page);
  if (ok) m_pPageTree->setFocus();
  m_bInSelChanging = false;
  return ok;
}

void CTreePropSheet::OnPagesChanged() {
  if (m_bTreeMode && m_bWindowMade) {
    FillPageTree();
    SyncTreeToActivePage();
  }
}

void CTreePropSheet::OnActivePageChanged() {
  if (ui::PropertyPage* page = GetActivePage()) page->installEventFilter(this);
  if (m_bTreeMode && m_bWindowMade && !m_bInSelChanging) {
    m_bInSelChanging = true;
    SyncTreeToActivePage();
    m_bInSelChanging = false;
    RefreshFrameCaption();
  }
}

void CTreePropSheet::RefreshFrameCaption() {
  if (!m_pPageTree || !m_pPageFrame) return;
  QTreeWidgetItem* item = m_pPageTree->SelectedItem();
  if (!item) return;
  QString caption = item->text(0);
  if (g_pActivePageTreeTable) {
    for (int r = 0; r < kPageTreeRows; ++r) {
      if (g_pActivePageTreeTable[r].hItem == item && g_pActivePageTreeTable[r].pszFrameCaption) {
        caption = QString::fromLatin1(g_pActivePageTreeTable[r].pszFrameCaption);
        break;
      }
    }
  }
  if (!IsPageVisible()) m_pPageFrame->SetEmptyText(MakeEmptyPageText(m_strEmptyPageTemplate, caption));
  if (!m_bFrameCaption) return;
  QIcon icon;
  if (m_bTreeImages) {
    const int image = item->data(0, kImageRole).isValid() ? item->data(0, kImageRole).toInt() : -1;
    if (image >= 0 && image < m_TreeImages.size()) icon = m_TreeImages[image];
  } else if (IsPageVisible()) {
    if (ui::PropertyPage* page = GetPage(item->data(0, Qt::UserRole).toInt())) icon = page->PageIcon();
  }
  m_pPageFrame->SetCaptionTextIcon(caption, icon);
}

void CTreePropSheet::SetItemImage(QTreeWidgetItem* item, int image) {
  item->setData(0, kImageRole, image);
  item->setIcon(0, image >= 0 && image < m_TreeImages.size() ? m_TreeImages[image] : QIcon());
}

void CTreePropSheet::StepToNextPage() {
  if (!m_bWindowMade || !m_pPageTree) return;
  QTreeWidgetItem* item = m_pPageTree->SelectedItem();
  QTreeWidgetItem* next = nullptr;
  if (item && item->childCount() > 0) {
    next = item->child(0);
  } else {
    for (QTreeWidgetItem* at = item; at && !next; at = at->parent()) {
      QTreeWidgetItem* parent = at->parent();
      const int idx = parent ? parent->indexOfChild(at) : m_pPageTree->indexOfTopLevelItem(at);
      const int count = parent ? parent->childCount() : m_pPageTree->topLevelItemCount();
      if (idx + 1 < count) next = parent ? parent->child(idx + 1) : m_pPageTree->topLevelItem(idx + 1);
    }
    if (!next) next = m_pPageTree->topLevelItem(0);
  }
  if (next) m_pPageTree->SelectItem(next);
}

void CTreePropSheet::StepToPreviousPage() {
  if (!m_bWindowMade || !m_pPageTree) return;
  QTreeWidgetItem* item = m_pPageTree->SelectedItem();
  const int top = m_pPageTree->topLevelItemCount();
  if (top == 0) return;
  QTreeWidgetItem* prev = nullptr;
  auto lastDescendant = [](QTreeWidgetItem* at) {
    while (at && at->childCount() > 0) at = at->child(at->childCount() - 1);
    return at;
  };
  if (!item) {
    prev = lastDescendant(m_pPageTree->topLevelItem(top - 1));
  } else {
    QTreeWidgetItem* parent = item->parent();
    const int idx = parent ? parent->indexOfChild(item) : m_pPageTree->indexOfTopLevelItem(item);
    if (idx > 0) {
      prev = lastDescendant(parent ? parent->child(idx - 1) : m_pPageTree->topLevelItem(idx - 1));
    } else if (parent) {
      prev = parent;
    } else {
      prev = lastDescendant(m_pPageTree->topLevelItem(top - 1));
    }
  }
  if (prev) m_pPageTree->SelectItem(prev);
}

bool CTreePropSheet::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && (key->modifiers() & Qt::ControlModifier)) {
      if (key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier)) {
        StepToPreviousPage();
      } else {
        StepToNextPage();
      }
      return true;
    }
  }
  return ui::PropertySheet::eventFilter(watched, event);
}

void CTreePropSheet::keyPressEvent(QKeyEvent* event) {
  if (eventFilter(this, event)) return;
  ui::PropertySheet::keyPressEvent(event);
}

// ---- banner and progress bar --------------------------------------------------------------------

void CTreePropSheet::PaintBannerAndBar(QPainter& painter) {
  using namespace progress_colour;
  if (m_rcBanner.isValid()) {
    painter.fillRect(m_rcBanner, kBannerBack);
    Draw3dRect(painter, m_rcBanner, kBannerLight, kFrameDark);
    Draw3dRect(painter, m_rcBanner.adjusted(1, 1, -1, -1), kBannerLight, kFrameDark);
    const QString text = BannerText(pagemodel::ProductId());
    if (!text.isEmpty()) {
      QFont font(QStringLiteral("Times New Roman"));
      font.setItalic(true);
      font.setWeight(QFont::Normal);
      font.setStyleHint(QFont::Serif);
      font.setPixelSize(std::max(1, m_rcBanner.height() * 7 / 10));
      // Where the serif face is wider than the one the banner was drawn for, the text is made
      // smaller until it fits between the frames instead of running out of the box.
      const int room = m_rcBanner.width() - 8;
      for (int size = font.pixelSize(); size > 6 && QFontMetrics(font).horizontalAdvance(text) > room; --size) {
        font.setPixelSize(size - 1);
      }
      painter.save();
      painter.setClipRect(m_rcBanner.adjusted(2, 2, -2, -2));
      painter.setFont(font);
      painter.setPen(kBannerText);
      const int cx = m_rcBanner.left() + m_rcBanner.width() / 2;
      painter.drawText(QRect(cx - 500, m_rcBanner.top() + 3, 1000, m_rcBanner.height()),
                       Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text);
      painter.restore();
    }
  }
  if (ProgressShown() && m_rcProgress.isValid()) {
    DrawProgressBack(painter, m_rcProgress);
    const int value = ProgressValue(), maximum = ProgressMax();
    if (value != 0 && maximum > 0) {
      DrawProgressFill(painter, m_rcProgress, value, maximum);
    } else {
      DrawProgressText(painter, m_rcProgress, m_rcProgress.left() + 4, 0, kTextLow);
    }
  }
}

void CTreePropSheet::paintEvent(QPaintEvent* event) {
  ui::PropertySheet::paintEvent(event);
  QPainter painter(this);
  PaintBannerAndBar(painter);
}

QImage CTreePropSheet::RenderSheet() {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(palette().color(QPalette::Window));
  QPainter painter(&image);
  PaintBannerAndBar(painter);
  return image;
}

QImage CTreePropSheet::ProgressImage() const {
  return m_pProgressPainter ? m_pProgressPainter->BarImage() : QImage();
}

void CTreePropSheet::StartProgressWorker() {
  if (m_hProgressThread) return;
  m_ProgressJob = std::make_shared<ProgressJobBlock>();
  m_pProgressPainter = NewProgressPainter();
  m_pProgressPainter->SetLayout(m_rcSheetWindow.size(), m_rcProgress);
  m_pProgressPainter->Attach(this);
  // The thread holds the block and the painter, never the sheet.
  std::shared_ptr<ProgressJobBlock> block = m_ProgressJob;
  std::shared_ptr<CSheetProgressPainter> painter = m_pProgressPainter;
  m_hProgressThread = plat::CreateThread(
      [block, painter]() -> plat::DWORD {
        int job = 0, value = 0;
        while (block->Take(job, value)) {
          painter->Run(job, value);
          block->Done();
        }
        return 0;
      },
      nullptr, "progress");
}

void CTreePropSheet::StopProgressWorker() {
  std::shared_ptr<ProgressJobBlock> block = std::move(m_ProgressJob);
  if (block) {
    // Writers still waiting are released; the open sheet's block is gone with us.
    if (GetProgressJobBlock() == block) SetProgressJobBlock(nullptr);
    block->Close();
  }
  // From here on the painter posts nothing to this sheet.
  if (m_pProgressPainter) m_pProgressPainter->Detach();
  if (m_hProgressThread) {
    // A closed block ends the painter after the job it runs; a painter still busy after the
    // wait keeps its block and painter and ends on its own.
    plat::StopThread(m_hProgressThread, 1000);
    plat::CloseHandle(m_hProgressThread);
    m_hProgressThread = 0;
  }
}
