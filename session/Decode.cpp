#include "session/Decode.h"

#include <cstdint>
#include <cstring>

#include "session/SessionRecord.h"
#include "platform/jpeg.h"
#include "platform/kernel.h"
#include "record/RecordFeed.h"
#include "session/Threads.h"

using namespace plat;

int DecodeJpegImage(const std::uint8_t* jpeg, std::size_t length, std::uint8_t* dst, std::size_t capacity,
                    WORD* width, WORD* height) {
  if (!jpeg || !dst) return 0;
  int w = 0, h = 0;
  if (!JpegReadSize(jpeg, length, w, h) || w <= 0 || h <= 0 || w > 0xFFFF || h > 0xFFFF) return 0;
  if (width) *width = static_cast<WORD>(w);
  if (height) *height = static_cast<WORD>(h);
  if (static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) * 3u > capacity) return 0;
  int dw = 0, dh = 0;
  if (!JpegDecodeBgrBottomUp(jpeg, length, dst, capacity, dw, dh, 0)) return 0;
  return dw == w && dh == h ? 1 : 0;
}

int PutFrameToRecordRing(const std::uint8_t* jpeg, std::uint32_t length, std::uint32_t timeMs, bool noImage) {
  SessionRecord* app = g_lpSession;
  if (!app) return 1;
  RecordFeedTargets t;
  t.ring = &app->C_RecordFrameRing;
  t.alarm = &app->C_AlarmRecord;
  t.user = &app->C_UserRecord;
  t.sch = &app->C_SchRecord;
  t.serverName = app->GetServerName();
  t.streamState = app->by_StreamState.load();
  RecordFrameInfo info =
      MakeRecordFrameInfo(length, timeMs, app->CSettingINI.m_bySelectedChannel.load(), noImage,
                          app->w_FrameWidth.load(), app->w_FrameHeight.load());
  FeedFrameToRecorders(t, jpeg, length, info);
  return 1;
}

void NoImagePictureSize(std::uint8_t videoMode, std::uint8_t pictureSize, WORD& width, WORD& height) {
  width = pictureSize == 0 ? 640 : 320;
  height = videoMode == 0 ? 228 : 276;
}

std::int32_t FrameInterval(std::uint32_t previousMs, std::uint32_t currentMs) {
  if (previousMs == 0) return 0;
  const std::int64_t d = static_cast<std::int32_t>(currentMs - previousMs);
  const std::int64_t a = d < 0 ? -d : d;
  return a > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(a);  // |-2^31| does not fit
}

DWORD Jpeg_Compose_Image_Data_Thread(void* param) {
  SessionRecord* app = param != nullptr ? static_cast<SessionRecord*>(param) : g_lpSession;
  if (!app) return 0;
  const HANDLE endEvent = app->h_EndofGetJpegImageEvent.load();
  const HANDLE readySem = app->h_PacketReadySem.load();
  const HANDLE freePacketSem = app->h_FreePacketSem.load();
  const HANDLE freeDecodedSem = app->h_FreeDecodedSem.load();
  const HANDLE decodedReadySem = app->JPEGImageBufferRelSem.load();
  std::uint8_t* const packets = app->lp_PacketBuffer.load();
  std::uint8_t* const staging = app->lp_JpegBuffer.load();
  std::uint8_t* const decoded = app->lp_DecodedBuffer.load();
  const RtpFrameHeader* const headers = app->lp_PacketHeaders.load();
  if (!packets || !staging || !decoded || !headers) return 0;
  const unsigned packetSlots = app->w_PacketSlots.load() ? app->w_PacketSlots.load() : kPacketSlotCount;
  const unsigned decodeSlots = app->w_DecodeSlots.load() ? app->w_DecodeSlots.load() : kDecodeSlotCount;
  const std::size_t stagingSlot = kPictureBufferSize / decodeSlots;
  const std::size_t decodedSlot = kPictureBufferSize / decodeSlots;

  std::uint32_t previousTime = 0;
  for (;;) {
    const HANDLE first[2] = {endEvent, readySem};
    if (WaitForMultipleObjects(2, first, FALSE_, INFINITE) != WAIT_OBJECT_0 + 1) return 0;

    const unsigned readIndex = app->w_PacketReadIndex.load() % packetSlots;
    const RtpFrameHeader hdr = headers[readIndex];
    // The receiver never fills a slot beyond its size; a header says nothing more here.
    const std::uint32_t length =
        hdr.dwFrameLength <= kPacketSlotSize ? hdr.dwFrameLength : static_cast<std::uint32_t>(kPacketSlotSize);
    const std::int32_t interval = FrameInterval(previousTime, hdr.dwTimeMs);
    previousTime = hdr.dwTimeMs;

    const unsigned stageIndex = app->w_ZududMp4DecodeIndex.load() % decodeSlots;
    std::uint8_t* const stage = staging + stageIndex * stagingSlot;
    if (!hdr.byNoImage) std::memcpy(stage, packets + std::size_t(readIndex) * kPacketSlotSize, length);
    app->w_PacketReadIndex = static_cast<std::uint16_t>((readIndex + 1) % packetSlots);
    long packetsToGiveBack = 1;

    const HANDLE second[2] = {endEvent, freeDecodedSem};
    if (WaitForMultipleObjects(2, second, FALSE_, INFINITE) != WAIT_OBJECT_0 + 1) return 0;

    const unsigned outIndex = app->w_DecodedWriteIndex.load() % decodeSlots;
    std::uint8_t* const out = decoded + outIndex * decodedSlot;
    bool ok = false;
    if (hdr.byNoImage) {
      app->f_VideoLoss.exchange(1);
      WORD w = 0, h = 0;
      NoImagePictureSize(app->by_VideoMode.load(), hdr.byPictureSize, w, h);
      std::memset(out, 0, std::size_t(w) * h * 3);
      app->w_FrameWidth = w;
      app->w_FrameHeight = h;
      ok = true;
    } else {
      app->f_VideoLoss.exchange(0);
      WORD w = 0, h = 0;
      ok = DecodeJpegImage(stage, length, out, decodedSlot, &w, &h) != 0;
      // The size of a refused picture is not taken over: the slot still holds the last one.
      if (ok) {
        app->w_FrameWidth = w;
        app->w_FrameHeight = h;
      }
    }
    // Whatever the outcome, the main window learns the picture size and the stream's channel.
    app->C_ResolutionMode.OnImageSize(app->w_FrameWidth.load(), app->w_FrameHeight.load());
    if (IChannelBar* bar = app->C_ChannelBar.load()) bar->SetCurrentChannel(hdr.byChannel);

    if (ok) {
      PutFrameToRecordRing(stage, length, hdr.dwTimeMs, hdr.byNoImage != 0);
      app->dw_FrameInterval[outIndex] = interval;
      app->w_DecodedWriteIndex = static_cast<std::uint16_t>((outIndex + 1) % decodeSlots);
      ReleaseSemaphore(decodedReadySem, 1);
    } else {
      ReleaseSemaphore(freeDecodedSem, 1);
    }
    app->w_ZududMp4DecodeIndex = static_cast<std::uint16_t>((stageIndex + 1) % decodeSlots);
    ReleaseSemaphore(freePacketSem, packetsToGiveBack);
  }
}
