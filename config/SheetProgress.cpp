#include "config/SheetProgress.h"

#include <QMetaObject>
#include <QString>
#include <QWidget>

bool ProgressJobBlock::Post(int job, int value) {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return closed_ || !busy_; });
  if (closed_) return false;
  nJob_ = job;
  nValue_ = value;
  busy_ = true;
  go_ = true;
  cv_.notify_all();
  return true;
}

bool ProgressJobBlock::Take(int& job, int& value) {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return closed_ || go_; });
  if (closed_) return false;
  go_ = false;
  job = nJob_;
  value = nValue_;
  return true;
}

void ProgressJobBlock::Done() {
  std::lock_guard<std::mutex> lock(mutex_);
  busy_ = false;
  cv_.notify_all();
}

void ProgressJobBlock::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  nJob_ = PROGRESS_JOB_NONE;
  cv_.notify_all();
}

bool ProgressJobBlock::Closed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

namespace {
std::mutex g_progressMutex;
std::shared_ptr<ProgressJobBlock> g_pProgressJob;
}  // namespace

void SetProgressJobBlock(std::shared_ptr<ProgressJobBlock> block) {
  std::lock_guard<std::mutex> lock(g_progressMutex);
  g_pProgressJob = std::move(block);
}

std::shared_ptr<ProgressJobBlock> GetProgressJobBlock() {
  std::lock_guard<std::mutex> lock(g_progressMutex);
  return g_pProgressJob;
}

bool PostProgressJob(int job, int value) {
  std::shared_ptr<ProgressJobBlock> block = GetProgressJobBlock();
  return block && block->Post(job, value);
}

void Draw3dRect(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
  if (r.width() <= 0 || r.height() <= 0) return;
  const int x = r.left(), y = r.top(), w = r.width(), h = r.height();
  painter.fillRect(QRect(x, y, w - 1, 1), topLeft);
  painter.fillRect(QRect(x, y, 1, h - 1), topLeft);
  painter.fillRect(QRect(x + w - 1, y, 1, h), bottomRight);
  painter.fillRect(QRect(x, y + h - 1, w, 1), bottomRight);
}

void DrawProgressBack(QPainter& painter, const QRect& bar) {
  using namespace progress_colour;
  painter.fillRect(bar, kBarBack);
  Draw3dRect(painter, bar, kBarBack, kFrameDark);
  Draw3dRect(painter, bar.adjusted(1, 1, -1, -1), kBarBack, kFrameDark);
}

int ProgressFillWidth(const QRect& bar, int value, int maximum) {
  if (maximum <= 0) return 0;
  return static_cast<int>(static_cast<long long>(value) * (bar.width() - 4) / maximum);
}

void DrawProgressText(QPainter& painter, const QRect& bar, int x, unsigned percent, const QColor& colour) {
  painter.save();
  painter.setPen(colour);
  QFont font = painter.font();
  font.setStyleStrategy(QFont::NoAntialias);  // the text's pixels are the text's colour
  painter.setFont(font);
  painter.drawText(QRect(x, bar.top() + 3, 200, bar.height()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   QString::asprintf("%3u %%", percent));
  painter.restore();
}

int DrawProgressFill(QPainter& painter, const QRect& bar, int value, int maximum) {
  using namespace progress_colour;
  const int f = ProgressFillWidth(bar, value, maximum);
  const QRect fill(bar.left() + 2, bar.top() + 3, f, bar.height() - 6);
  painter.fillRect(fill, kFill);
  Draw3dRect(painter, fill, kFillLight, kFillDark);
  const int p = maximum > 0 ? static_cast<int>(static_cast<long long>(value) * 100 / maximum) : 0;
  if (p > 50) {
    DrawProgressText(painter, bar, bar.left() + f - 43, static_cast<unsigned>(p), kTextHigh);
  } else {
    DrawProgressText(painter, bar, bar.left() + f + 4, static_cast<unsigned>(p), kTextLow);
  }
  return p;
}

// ---- the painter ----------------------------------------------------------------------------

void CSheetProgressPainter::SetLayout(const QSize& sheet, const QRect& bar) {
  std::lock_guard<std::mutex> lock(mutex_);
  szSheet_ = sheet;
  rcBar_ = bar;
}

void CSheetProgressPainter::Attach(QWidget* sheet) {
  std::lock_guard<std::mutex> lock(mutex_);
  pSheet_ = sheet;
}

void CSheetProgressPainter::Detach() {
  std::lock_guard<std::mutex> lock(mutex_);
  pSheet_ = nullptr;
}

QImage CSheetProgressPainter::BarImage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return barImage_;
}

void CSheetProgressPainter::Run(int job, int value) {
  switch (job) {
    case PROGRESS_JOB_EMPTY:
      nValue_ = 0;
      bShown_ = true;
      DrawBarOffscreen(job, 0);
      break;
    case PROGRESS_JOB_MAXIMUM:
      nValue_ = 0;
      nMax_ = value;
      break;
    case PROGRESS_JOB_VALUE:
      if (nMax_.load() <= 0) break;  // no maximum yet: nothing to measure against
      DrawBarOffscreen(job, value);
      nValue_ = value;
      break;
    case PROGRESS_JOB_CLEAR:
      nValue_ = 0;
      bShown_ = false;
      PostRepaint(true);
      break;
    default:
      break;
  }
  ++nJobsDone_;
}

void CSheetProgressPainter::DrawBar(QImage& image, const QRect& bar, int job, int value, int maximum) {
  QPainter painter(&image);
  DrawProgressBack(painter, bar);
  if (job == PROGRESS_JOB_EMPTY) {
    DrawProgressText(painter, bar, bar.left() + 4, 0, progress_colour::kTextLow);
  } else {
    DrawProgressFill(painter, bar, value, maximum);
  }
}

void CSheetProgressPainter::DrawBarOffscreen(int job, int value) {
  QSize size;
  QRect bar;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    size = szSheet_;
    bar = rcBar_;
  }
  if (size.isEmpty() || !bar.isValid()) return;
  // Drawn into an image of the sheet's size; only the bar goes on.
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::black);
  DrawBar(image, bar, job, value, nMax_.load());
  QImage drawn = image.copy(bar);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    barImage_.swap(drawn);
  }
  PostRepaint(false);
}

void CSheetProgressPainter::PostRepaint(bool wholeSheet) {
  std::lock_guard<std::mutex> lock(mutex_);
  QWidget* sheet = pSheet_;
  if (!sheet) return;
  const QRect area = wholeSheet ? QRect() : rcBar_;
  // Queued to the sheet's thread; dropped by Qt when the sheet goes before it runs.
  QMetaObject::invokeMethod(
      sheet,
      [sheet, area] {
        if (area.isNull()) {
          sheet->update();
        } else {
          sheet->update(area);
        }
      },
      Qt::QueuedConnection);
}
