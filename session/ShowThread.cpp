#include "session/ShowThread.h"

#include "session/MMTimer.h"
#include "session/SessionRecord.h"
#include "session/SessionHost.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "session/Threads.h"

using namespace plat;

bool PacingAllowsShow(std::uint32_t now, std::uint32_t lastShow, std::int32_t interval) {
  if (interval < 1 || interval > 199) return true;
  // Tick counts wrap: compare the time passed, not the absolute values.
  return now - lastShow >= static_cast<std::uint32_t>(interval);
}

int DrawCrossMarker(std::uint8_t* picture, int width, int height, std::uint32_t colour, int x, int y) {
  if (!picture || width <= 0 || height <= 0) return 1;
  const int r = height - y;
  auto put = [&](int col, int row) {
    if (col < 0 || col >= width || row < 0 || row >= height) return;
    std::uint8_t* p = picture + (static_cast<std::size_t>(row) * width + col) * 3;
    p[0] = static_cast<std::uint8_t>(colour);
    p[1] = static_cast<std::uint8_t>(colour >> 8);
    p[2] = static_cast<std::uint8_t>(colour >> 16);
  };
  for (int row = r - 1; row <= r + 1; ++row)
    for (int col = x - 8; col <= x + 8; ++col) put(col, row);
  for (int col = x - 1; col <= x + 1; ++col)
    for (int row = r - 8; row <= r + 8; ++row) put(col, row);
  for (int k = 0; k < 4; ++k) {
    // Horizontal arms on the top and bottom rows of the square.
    put(x - 8 + k, r - 8), put(x + 5 + k, r - 8);
    put(x - 8 + k, r + 8), put(x + 5 + k, r + 8);
    // Vertical arms on its left and right columns.
    put(x - 8, r - 8 + k), put(x - 8, r + 5 + k);
    put(x + 8, r - 8 + k), put(x + 8, r + 5 + k);
  }
  return 1;
}

namespace {

// Posts the draw code, giving up when the thread is told to end while the mailbox is busy.
bool PostDraw(SessionRecord* app, HANDLE endEvent) {
  const HANDLE waits[2] = {endEvent, app->h_KernelMessageLockSem.load()};
  if (WaitForMultipleObjects(2, waits, FALSE_, INFINITE) != WAIT_OBJECT_0 + 1) return false;
  app->dw_KernelMessage = Draw_Image_Message;
  app->dw_KernelMessageParam = 0;
  ReleaseSemaphore(app->h_KernelMessagePostSem.load(), 1);
  return true;
}

}  // namespace

DWORD Jpeg_Show_Image_Data_Thread(void* param) {
  SessionRecord* app = param != nullptr ? static_cast<SessionRecord*>(param) : g_lpSession;
  if (!app) return 0;
  const HANDLE endEvent = app->h_EndofShowImageEvent.load();
  const HANDLE startEvent = app->h_StartToShowImageEvent.load();
  const HANDLE decodedReadySem = app->JPEGImageBufferRelSem.load();
  const HANDLE freeDecodedSem = app->h_FreeDecodedSem.load();
  const HANDLE finishEvent = app->h_FinishShowImageJobEvent.load();
  std::uint8_t* const decoded = app->lp_DecodedBuffer.load();
  const unsigned decodeSlots = app->w_DecodeSlots.load() ? app->w_DecodeSlots.load() : kDecodeSlotCount;
  const std::size_t slotSize = kPictureBufferSize / decodeSlots;

  // The end event also ends a thread that was never released (teardown before the stream).
  const HANDLE startWaits[2] = {endEvent, startEvent};
  if (WaitForMultipleObjects(2, startWaits, FALSE_, INFINITE) != WAIT_OBJECT_0 + 1) return 0;
  if (!decoded) return 0;

  unsigned index = 0;
  bool held = false;
  std::int32_t interval = 0;
  std::uint32_t lastShow = 0;

  auto take = [&]() -> bool {
    const HANDLE w[2] = {endEvent, decodedReadySem};
    if (WaitForMultipleObjects(2, w, FALSE_, INFINITE) != WAIT_OBJECT_0 + 1) return false;
    interval = app->dw_FrameInterval[index % kDecodeSlotCount].load();
    held = true;
    return true;
  };
  auto show = [&]() -> bool {
    app->dw_StatFrames.fetch_add(1);
    app->lp_CurrentFrame = decoded + index * slotSize;
    index = (index + 1) % decodeSlots;
    held = false;
    if (!PostDraw(app, endEvent)) return false;
    const HANDLE w[2] = {endEvent, finishEvent};
    if (WaitForMultipleObjects(2, w, FALSE_, INFINITE) != WAIT_OBJECT_0 + 1) return false;
    ReleaseSemaphore(freeDecodedSem, 1);
    return true;
  };

  // With the timer running, a held picture waits for one tick armed at its due time (last
  // show + interval) and is shown then; a picture already due is shown at once. A silent
  // timer (no tick within 200 ms) or a stopped one lets the held picture through at once
  // without moving the time of the last show.
  CMMTimer& timer = app->C_MMTimer;
  for (;;) {
    if (!held && !take()) return 0;
    if (timer.f_Enabled.load()) {
      const std::uint64_t now64 = GetTickCount64();
      const std::uint32_t now = static_cast<std::uint32_t>(now64);
      if (lastShow == 0) lastShow = now;
      if (PacingAllowsShow(now, lastShow, interval)) {
        lastShow = now;
        if (!show()) return 0;
        continue;
      }
      // Not due: the interval lies in 1..199 and less than it has passed.
      timer.Arm(now64 + (static_cast<std::uint32_t>(interval) - (now - lastShow)));
      const int tick = timer.Wait(endEvent);
      if (tick == 2) return 0;
      if (tick == 0) continue;  // checked again above
    }
    if (!show()) return 0;
  }
}
