// The 20-slot pre-alarm frame ring. The stream's compose thread stores every decoded frame
// here; the recorder threads read the slot they are handed (see RecordFeed.h for the
// lock-step hand-over that keeps a slot from being overwritten while a recorder reads it).
#pragma once
#include <cstdint>
#include <memory>
#include "platform/types.h"
#include "record/RecordTypes.h"

class CRecordFrameRing {
 public:
  CRecordFrameRing() = default;
  ~CRecordFrameRing() = default;
  CRecordFrameRing(const CRecordFrameRing&) = delete;
  CRecordFrameRing& operator=(const CRecordFrameRing&) = delete;

  // Allocates whichever of the three arrays is missing; 1 when all three exist.
  plat::BOOL AllocateBuffer();
  // Frees the three arrays; 1.
  plat::BOOL FreeBuffer();
  bool IsAllocated() const { return m_lpSlots && m_lpFrameInfo && m_lpSlotRecords; }

  // Stores a frame at the write index: copies at most kSlotBytes bytes, takes the
  // descriptor (its length is set to the bytes stored) and advances the write index.
  // Returns the slot used, or -1 when the ring is not allocated.
  int StoreFrame(const std::uint8_t* jpeg, std::uint32_t length, const RecordFrameInfo& info);

  // The slot `back` frames before the write index (back 1 = the frame just stored).
  static unsigned SlotBefore(unsigned writeIndex, unsigned back);

  std::uint8_t* Slot(unsigned i) { return m_lpSlots.get() + std::size_t(i) * rec::kSlotBytes; }
  const std::uint8_t* Slot(unsigned i) const {
    return m_lpSlots.get() + std::size_t(i) * rec::kSlotBytes;
  }

  std::unique_ptr<std::uint8_t[]> m_lpSlots;            // 20 x 102,400 bytes
  plat::WORD m_wWriteIndex = 0;                         // next slot, 0..19; never reset
  std::unique_ptr<RecordFrameInfo[]> m_lpFrameInfo;     // one descriptor per slot
  std::unique_ptr<RecordSlotRecord[]> m_lpSlotRecords;  // one per slot (schedule recorder)
};
