#include "mainwnd/LiveView.h"

#include <QPainter>
#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/AppRecord.h"
#include "core/Model.h"
#include "core/Snapshot.h"
#include "mainwnd/DisplayPath.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "session/ShowThread.h"

namespace {

constexpr std::uint32_t kHotPointColour = 0xFF0000;

}  // namespace

LiveView::LiveView() {
  for (Slot& s : m_slots) {
    s.window = QImage(kDisplayWidth, kDisplayHeight, QImage::Format_RGB32);
    s.window.fill(Qt::black);
  }
  // Twice the decoded slot, so every picture the decoder accepts can be doubled.
  m_doubled.resize(2 * kPictureBufferSize);
}

void LiveView::SetScreenSize(QSize size) {
  std::lock_guard<std::mutex> lock(m_swapMutex);
  m_screenSize = size.isEmpty() ? QSize() : size;
}

void LiveView::ReleaseFullScreen() {
  std::lock_guard<std::mutex> lock(m_swapMutex);
  m_screenSize = QSize();
  // The slot the worker owns is left to it: it drops that picture when it finds no screen.
  for (int i : {m_ready, m_reading}) {
    m_slots[i].screen = QImage();
    if (m_slots[i].kind == Kind::FullScreen) m_slots[i].kind = Kind::None;
  }
}

bool LiveView::DrawInto(Slot& slot, const std::uint8_t* src, int w, int h, bool fullScreen, QSize screen) {
  if (fullScreen) {
    if (screen.isEmpty()) {
      slot.screen = QImage();
      return false;
    }
    if (slot.screen.size() != screen) slot.screen = QImage(screen, QImage::Format_RGB32);
    if (!ScaleToSurface(src, w, h, slot.screen, screen.width(), screen.height())) return false;
    slot.kind = Kind::FullScreen;
    return true;
  }
  PutBgrBottomUp(slot.window, 0, 0, src, w, h, w * 3);
  slot.shown = QRect(0, 0, std::min(w, kDisplayWidth), std::min(h, kDisplayHeight));
  slot.kind = Kind::Windowed;
  return true;
}

LiveView::Outcome LiveView::Show(AppRecord& app, bool fullScreen) {
  Outcome out;
  int w = app.w_FrameWidth.load();
  int h = app.w_FrameHeight.load();
  std::uint8_t* src = app.lp_CurrentFrame.load();
  QSize screen;
  {
    std::lock_guard<std::mutex> lock(m_swapMutex);
    screen = m_screenSize;
  }
  // The full-screen picture is only drawn while the program holds its screen buffer.
  if (app.lp_ScreenBuffer.load() == nullptr) screen = QSize();

  // The decoded picture before line doubling (the grab falls back to it).
  const std::uint8_t* decoded = src;
  const int decodedHeight = h;
  if (src != nullptr && w > 0 && h > 0) {
    // Line doubling of the wide pictures.
    if (w >= kDoubleMinWidth && !IsModelK47R(app.GetProductID()) &&
        DoubleLines(src, w, h, m_doubled.data(), m_doubled.size())) {
      src = m_doubled.data();
      h = static_cast<std::uint16_t>(2 * h);
    }
    if (!fullScreen && app.by_HotPointMode.load() == 2 && app.w_HotPointFrames.load() > 0) {
      DrawCrossMarker(src, w, h, kHotPointColour, app.w_HotPointRect[0].load(), app.w_HotPointRect[1].load());
      app.w_HotPointFrames.fetch_sub(1);
    }
    if (DrawInto(m_slots[m_writing], src, w, h, fullScreen, screen)) {
      std::lock_guard<std::mutex> lock(m_swapMutex);
      std::swap(m_writing, m_ready);
      m_fresh = true;
      out.drawn = true;
    }
  }

  // The detection editor's copy, bounded by its buffer: the drawn picture, or the decoded one
  // when the doubled picture does not fit.
  if (app.f_GrabRequest.load()) {
    std::uint8_t* grab = app.lp_GrabBuffer.load();
    const std::uint8_t* copy = src;
    int copyHeight = h;
    if (std::size_t(w) * std::size_t(h) * 3 > kPictureBufferSize) {
      copy = decoded;
      copyHeight = decodedHeight;
    }
    const std::size_t bytes = std::size_t(w) * std::size_t(copyHeight) * 3;
    if (grab && copy && w > 0 && copyHeight > 0 && bytes <= kPictureBufferSize) {
      std::memcpy(grab, copy, bytes);
      app.w_GrabWidth = static_cast<std::uint16_t>(w);
      app.w_GrabHeight = static_cast<std::uint16_t>(copyHeight);
    } else {
      app.w_GrabWidth = 0;
      app.w_GrabHeight = 0;
    }
    app.f_GrabRequest = 0;
    plat::ReleaseSemaphore(app.h_GrabDoneSem.load(), 1);
  }

  // A requested snapshot of this picture.
  if (app.f_SnapshotRequest.load()) {
    if (!src || !SaveSnapshotFile(app.CSettingINI.m_strSnapshotPath, src, w, h, kSnapshotFormatJpeg)) {
      out.snapshotFailed = true;
    }
    app.f_SnapshotRequest = 0;
  }

  // Statistics.
  out.alarmChannel = AlarmChannelText(app.m_RTPH_Struct.m_wAlarmData.load());
  const std::uint32_t now = plat::GetTickCount();
  const std::uint32_t elapsed = now - static_cast<std::uint32_t>(app.dw_StatTick.load());
  if (static_cast<std::int32_t>(elapsed) >= 0 && elapsed >= kStatIntervalMs) {
    const std::int32_t framesNow = app.dw_StatFrames.load();
    app.dw_StatFramesNow = framesNow;
    const std::int32_t diff = framesNow - app.dw_StatFramesLast.load();
    const std::uint32_t frames = static_cast<std::uint32_t>(diff < 0 ? -diff : diff);
    const StatFigures f = ComputeStatFigures(frames, static_cast<std::uint32_t>(app.dw_StatBytes.load()), elapsed);
    m_lastFrameRate = f.frameRate;
    app.dw_StatFramesLast = framesNow;
    m_frameRateText = FrameRateText(f.frameRate);
    m_dataRateText = DataRateText(f.kbps);
    app.dw_StatKbps.exchange(static_cast<std::int32_t>(f.kbps));
    app.dw_StatTick.exchange(static_cast<std::int32_t>(now));
    app.dw_StatBytes.exchange(0);
    const std::string users = app.m_RTPH_Struct.GetOnlineUserText();
    Outcome::Statistics stats;
    stats.onlineUsers = users.empty() ? std::string() : "HU: " + users;
    stats.statusText = app.f_VideoLoss.load() ? std::string("Video Loss!") : m_frameRateText + m_dataRateText;
    out.statistics = std::move(stats);
  }
  return out;
}

void LiveView::TakeReadyLocked() {
  if (!m_fresh) return;
  std::swap(m_reading, m_ready);
  m_fresh = false;
}

const LiveView::Slot& LiveView::LatestLocked() const { return m_slots[m_fresh ? m_ready : m_reading]; }

void LiveView::PaintWindowed(QPainter& painter, const QRect& video) {
  int slot;
  {
    std::lock_guard<std::mutex> lock(m_swapMutex);
    TakeReadyLocked();
    slot = m_reading;
  }
  // The slot is this thread's until its next swap: drawn without the lock.
  const Slot& s = m_slots[slot];
  if (s.kind != Kind::Windowed) return;
  const QRect part = s.shown & QRect(QPoint(0, 0), video.size());
  if (!part.isEmpty()) painter.drawImage(video.topLeft(), s.window, part);
}

bool LiveView::PaintFullScreen(QPainter& painter) {
  int slot;
  {
    std::lock_guard<std::mutex> lock(m_swapMutex);
    TakeReadyLocked();
    slot = m_reading;
  }
  const Slot& s = m_slots[slot];
  if (s.kind != Kind::FullScreen || s.screen.isNull()) return false;
  painter.drawImage(0, 0, s.screen);
  return true;
}

QImage LiveView::Surface() const {
  std::lock_guard<std::mutex> lock(m_swapMutex);
  return LatestLocked().window.copy();
}

QRect LiveView::Displayed() const {
  std::lock_guard<std::mutex> lock(m_swapMutex);
  const Slot& s = LatestLocked();
  return s.kind == Kind::Windowed ? s.shown : QRect();
}

QImage LiveView::FullScreenSurface() const {
  std::lock_guard<std::mutex> lock(m_swapMutex);
  const Slot& s = LatestLocked();
  return s.kind == Kind::FullScreen ? s.screen.copy() : QImage();
}
