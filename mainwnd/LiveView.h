// The live view of the main window: the pictures the mailbox worker draws and the window
// paints, the copies for the detection editor and the snapshot, and the statistics line.
//
// Threads: Show runs on the mailbox worker; the Paint functions run on the GUI thread; the
// inspection functions may run anywhere. The pictures go through three slots: the worker
// fills the slot it owns and swaps it with the ready one under the lock; paint swaps the
// ready slot into the one it owns under the same lock and draws it after letting go. The
// lock is only held for those swaps, so the worker never waits for a paint, and neither ever
// touches a slot the other owns.
#pragma once
#include <QImage>
#include <QRect>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class AppRecord;
class QPainter;

class LiveView {
 public:
  LiveView();

  // GUI thread: the size of the full-screen picture (the work area). An empty size turns
  // full-screen drawing off.
  void SetScreenSize(QSize size);
  // Releases the full-screen pictures (process shut-down); full-screen drawing stays off
  // until the next SetScreenSize.
  void ReleaseFullScreen();

  // What one call of Show did, for the window to carry out on its side.
  struct Outcome {
    bool drawn = false;           // a picture went into a slot
    bool snapshotFailed = false;  // a requested snapshot could not be written
    std::string alarmChannel;     // the alarm-input text of this picture
    // Set at each statistics update (about every 2 s while pictures arrive).
    struct Statistics {
      std::string statusText;   // "Video Loss!" or the frame-rate and data-rate texts
      std::string onlineUsers;  // "HU: " and the header's user text, or ""
    };
    std::optional<Statistics> statistics;
  };

  // Mailbox worker: shows app.lp_CurrentFrame (w_FrameWidth x w_FrameHeight, 24-bit
  // bottom-up), line-doubled where wide, windowed at its own size or scaled to the screen;
  // marks the hot point, serves the detection editor's grab and a requested snapshot, and
  // refreshes the statistics. The caller has checked that the stream runs.
  Outcome Show(AppRecord& app, bool fullScreen);

  // GUI thread. The windowed picture at its own size at the top-left of `video`, cut to
  // `video`: a picture larger than the layout expects never covers the frame around it.
  void PaintWindowed(QPainter& painter, const QRect& video);
  // The full-screen picture at (0, 0); false when there is none to draw.
  bool PaintFullScreen(QPainter& painter);

  // The latest windowed picture on its 720 x 576 surface and the part of it that picture
  // covers (empty before the first one); the latest full-screen picture (null when none).
  QImage Surface() const;
  QRect Displayed() const;
  QImage FullScreenSurface() const;

 private:
  enum class Kind { None, Windowed, FullScreen };
  struct Slot {
    QImage window;  // the 720 x 576 surface of the windowed picture
    QImage screen;  // the full-screen picture, allocated on first use
    QRect shown;    // the part of `window` the picture covers
    Kind kind = Kind::None;
  };
  // The latest completed slot (the ready one when paint has not taken it yet).
  const Slot& LatestLocked() const;
  void TakeReadyLocked();
  bool DrawInto(Slot& slot, const std::uint8_t* src, int w, int h, bool fullScreen, QSize screen);

  mutable std::mutex m_swapMutex;  // the slot indexes, m_fresh and m_screenSize
  Slot m_slots[3];
  int m_writing = 0;  // owned by the worker between swaps
  int m_ready = 1;    // the latest completed picture when m_fresh
  int m_reading = 2;  // owned by paint between swaps
  bool m_fresh = false;
  QSize m_screenSize;

  // Worker only.
  std::vector<std::uint8_t> m_doubled;  // line-doubled picture (twice the decoded slot)
  std::string m_frameRateText;
  std::string m_dataRateText;
  float m_lastFrameRate = 0.0f;
};
