#include "record/RecordFrameRing.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace plat;

BOOL CRecordFrameRing::AllocateBuffer() {
  if (!m_lpSlots) m_lpSlots.reset(new (std::nothrow) std::uint8_t[rec::kRingSlots * rec::kSlotBytes]());
  if (!m_lpFrameInfo) m_lpFrameInfo.reset(new (std::nothrow) RecordFrameInfo[rec::kRingSlots]());
  if (!m_lpSlotRecords) m_lpSlotRecords.reset(new (std::nothrow) RecordSlotRecord[rec::kRingSlots]());
  return IsAllocated() ? 1 : 0;
}

BOOL CRecordFrameRing::FreeBuffer() {
  m_lpSlots.reset();
  m_lpFrameInfo.reset();
  m_lpSlotRecords.reset();
  return 1;
}

int CRecordFrameRing::StoreFrame(const std::uint8_t* jpeg, std::uint32_t length,
                                 const RecordFrameInfo& info) {
  if (!IsAllocated()) return -1;
  const unsigned i = m_wWriteIndex % rec::kRingSlots;
  const std::uint32_t n = std::min<std::uint32_t>(length, rec::kSlotBytes);
  if (n && jpeg) std::memcpy(Slot(i), jpeg, n);
  m_lpFrameInfo[i] = info;
  m_lpFrameInfo[i].dwLength = jpeg ? n : 0;
  m_wWriteIndex = WORD((i + 1) % rec::kRingSlots);
  return int(i);
}

unsigned CRecordFrameRing::SlotBefore(unsigned writeIndex, unsigned back) {
  const unsigned n = rec::kRingSlots;
  return (writeIndex % n + n - (back % n)) % n;
}
