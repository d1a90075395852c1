#include "record/RecordFeed.h"

#include "platform/kernel.h"
#include "record/AlarmRecord.h"
#include "record/OvrFormat.h"
#include "record/RecordFrameRing.h"
#include "record/SchRecord.h"
#include "record/UserRecord.h"

using namespace plat;

namespace {
bool TakeFree(HANDLE freeSem) {
  return freeSem && WaitForSingleObject(freeSem, INFINITE) == WAIT_OBJECT_0;
}
}  // namespace

BOOL FeedFrameToRecorders(const RecordFeedTargets& t, const std::uint8_t* jpeg,
                          std::uint32_t length, RecordFrameInfo info) {
  const bool alarm = t.alarm && TakeFree(t.alarm->m_hFreeSem);
  const bool user = t.user && TakeFree(t.user->m_hFreeSem);
  const bool sch = t.sch && TakeFree(t.sch->m_hFreeSem);

  info.dwMagic = rec::kFrameInfoMagic;
  if (t.ring) t.ring->StoreFrame(jpeg, length, info);
  if (t.alarm) {
    WORD fill = t.alarm->m_wRingFill.load();
    while (fill < 21 && !t.alarm->m_wRingFill.compare_exchange_weak(fill, WORD(fill + 1))) {
    }
  }

  if (alarm) {
    if (t.alarm->m_fRecording.load()) {
      BYTE mark = 0xFF;
      if (t.alarm->m_byStartMark.compare_exchange_strong(mark, 0))
        t.alarm->Host().AlarmListSetStartTime(info.stLocalTime);
    }
    t.alarm->HandOverFrame();
  }
  if (user) t.user->HandOverFrame();
  if (sch) t.sch->HandOverFrame(info, t.serverName, t.streamState);
  return 1;
}

RecordFrameInfo MakeRecordFrameInfo(std::uint32_t length, std::uint32_t timeMs, BYTE channel,
                                    bool noImage, WORD width, WORD height) {
  RecordFrameInfo f;
  f.dwLength = length;
  f.dwMagic = rec::kFrameInfoMagic;
  f.byChannel = channel;
  f.dwNoImage = noImage ? 1u : 0u;
  f.stLocalTime = ovr::CurrentLocalTime();
  f.stLocalTime.wDayOfWeek = 0;
  f.stLocalTime.wMilliseconds = 0;
  f.dwTimeMs = timeMs;
  f.wWidth = width;
  f.wHeight = height;
  return f;
}
