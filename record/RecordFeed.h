// The compose thread's side of the lock-step hand-over between the frame ring and the three
// recorders (alarm, manual, schedule, always in that order):
//   1. take each recorder's free semaphore (no time-out; a cancellable wait),
//   2. store the frame in the ring's write slot and advance the write index,
//   3. count the alarm recorder's ring fill up (at most 21),
//   4. hand the frame to each recorder (ready when it records, else free back). When the
//      alarm recorder starts a recording, the frame's arrival time becomes the start time of
//      its alarm-list entry.
// A recording recorder therefore receives every frame exactly once, as the frame just
// stored, and the ring cannot be written while it reads that slot.
#pragma once
#include <cstdint>
#include <string>
#include "record/RecordTypes.h"

class CRecordFrameRing;
class CAlarmRecord;
class CUserRecord;
class CSchRecord;

struct RecordFeedTargets {
  CRecordFrameRing* ring = nullptr;
  CAlarmRecord* alarm = nullptr;
  CUserRecord* user = nullptr;
  CSchRecord* sch = nullptr;    // may be null
  std::string serverName;       // for a schedule file's header
  plat::BYTE streamState = 0;
};

// `info` carries length, channel, no-image flag, arrival time, time value and picture size
// (its magic is set here). Returns 1.
plat::BOOL FeedFrameToRecorders(const RecordFeedTargets& t, const std::uint8_t* jpeg,
                                std::uint32_t length, RecordFrameInfo info);

// The descriptor the ring feed fills for a frame (arrival time from the local clock).
RecordFrameInfo MakeRecordFrameInfo(std::uint32_t length, std::uint32_t timeMs,
                                    plat::BYTE channel, bool noImage, plat::WORD width,
                                    plat::WORD height);
