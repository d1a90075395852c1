// The sheet's progress bar jobs. Long-running work of a page (log download, network backup,
// disc writing) reports progress through PostProgressJob only; the sheet's painter thread
// draws each job off-screen and hands the bar to the GUI thread.
#pragma once
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "session/ProgressJobs.h"

class QWidget;

// One job at a time between the writers and the sheet's painter: a writer waits until the
// block is idle, stores its job and lets the painter go; the painter runs it and makes the
// block idle again. Closing releases every waiter at once.
class ProgressJobBlock {
 public:
  // Writer: false (job dropped) when the block is closed, also while waiting for idle.
  bool Post(int job, int value);
  // Painter: waits for a job; false when the block is closed.
  bool Take(int& job, int& value);
  void Done();
  void Close();
  bool Closed() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool busy_ = false;  // a job is pending or running
  bool go_ = false;    // a job is pending
  bool closed_ = false;
  int nJob_ = 0;
  int nValue_ = 0;
};

// What the sheet's painter thread runs its jobs with: the bar's place, the progress values and
// the bar as last drawn. The thread co-owns it with the sheet, so a painter still busy when the
// sheet goes draws into memory of its own, and it posts a repaint only to a sheet that is still
// attached (Detach, under the same lock, comes before the sheet goes).
class CSheetProgressPainter {
 public:
  virtual ~CSheetProgressPainter() = default;

  // GUI thread: the sheet's size and the bar inside it; the sheet that gets the repaints.
  void SetLayout(const QSize& sheet, const QRect& bar);
  void Attach(QWidget* sheet);
  void Detach();

  // Painter thread: runs one job (PROGRESS_JOB_*).
  void Run(int job, int value);

  int Max() const { return nMax_.load(); }
  int Value() const { return nValue_.load(); }
  bool Shown() const { return bShown_.load(); }
  int JobsDone() const { return nJobsDone_.load(); }
  QImage BarImage() const;

 protected:
  // Draws the bar for a job into `image` (the sheet's size); painter thread.
  virtual void DrawBar(QImage& image, const QRect& bar, int job, int value, int maximum);

 private:
  void DrawBarOffscreen(int job, int value);
  void PostRepaint(bool wholeSheet);

  std::atomic<int> nMax_{0};
  std::atomic<int> nValue_{0};
  std::atomic<bool> bShown_{false};
  std::atomic<int> nJobsDone_{0};
  mutable std::mutex mutex_;  // guards what follows
  QSize szSheet_;
  QRect rcBar_;
  QImage barImage_;  // the bar as last drawn
  QWidget* pSheet_ = nullptr;
};

// The job block of the open sheet (none while no sheet is open).
void SetProgressJobBlock(std::shared_ptr<ProgressJobBlock> block);
std::shared_ptr<ProgressJobBlock> GetProgressJobBlock();
// Sends one progress job to the open sheet. Without an open sheet the job is dropped (false);
// a writer waiting for the painter is released when the sheet goes.
bool PostProgressJob(int job, int value = 0);

// Colours of the bar and the banner.
namespace progress_colour {
inline const QColor kBarBack{0, 100, 255};
inline const QColor kFrameDark{0, 25, 64};
inline const QColor kFill{196, 255, 0};
inline const QColor kFillLight{100, 128, 0};
inline const QColor kFillDark{255, 255, 0};
inline const QColor kTextLow{196, 255, 0};
inline const QColor kTextHigh{0, 100, 255};
inline const QColor kBannerBack{0, 50, 128};
inline const QColor kBannerLight{0, 100, 230};
inline const QColor kBannerText{255, 255, 0};
}  // namespace progress_colour

// A 3-D frame: top and left edges in `topLeft`, bottom and right edges in `bottomRight`.
void Draw3dRect(QPainter& painter, const QRect& rect, const QColor& topLeft, const QColor& bottomRight);
// The bar's background and its two frames.
void DrawProgressBack(QPainter& painter, const QRect& bar);
// The fill for `value` of `maximum` (maximum above 0) and its percentage text; answers the
// percentage.
int DrawProgressFill(QPainter& painter, const QRect& bar, int value, int maximum);
// The percentage text "%3u %%" at (x, bar top + 3).
void DrawProgressText(QPainter& painter, const QRect& bar, int x, unsigned percent, const QColor& colour);
// Fill width for a value: value x (bar width - 4) / maximum.
int ProgressFillWidth(const QRect& bar, int value, int maximum);
