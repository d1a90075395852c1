#include "record/SchRecord.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/bytes.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "record/OvrFormat.h"
#include "record/RecordFrameRing.h"

using namespace plat;

namespace {
CRecordFrameRing g_detachedRing;

template <std::size_t N>
void PutU32(std::uint8_t (&buffer)[N], std::size_t offset, std::uint32_t value) {
  plat::ByteWriter(buffer, N).U32At(offset, value);
}

std::uint32_t UpTimeSeconds() { return std::uint32_t(GetTickCount64() / 1000); }

std::string SchFileStem(const RecordTime& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "SCH_MJPEG_%02u%02u%02uT%02u%02u%02u", unsigned(t.wYear % 100),
                unsigned(t.wMonth % 100), unsigned(t.wDay % 100), unsigned(t.wHour % 100),
                unsigned(t.wMinute % 100), unsigned(t.wSecond % 100));
  return buf;
}
}  // namespace

CSchRecord::CSchRecord() { m_FileHeader[ov4::kOffHeaderPending] = ov4::kHeaderPending; }

CSchRecord::~CSchRecord() {
  ExitThread();
  if (m_hFile) FinishFile();
  ReleaseResource();
}

IRecordFileSystem& CSchRecord::Files() { return m_pFileSystem ? *m_pFileSystem : DefaultRecordFileSystem(); }
IRecorderHost& CSchRecord::Host() { return m_pHost ? *m_pHost : DefaultRecorderHost(); }
CRecordFrameRing& CSchRecord::Ring() { if (m_pRing) return *m_pRing;
  CRecordFrameRing* r = Host().FrameRing();
  return r ? *r : g_detachedRing; }

void CSchRecord::SetRecordFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lk(m_folderLock);
  m_strFolder = folder;
  ovr::EnsureTrailingSeparator(m_strFolder);
}

BOOL CSchRecord::AllocateBuffer() {
  if (!m_lpIndexBuffer) m_lpIndexBuffer.reset(new (std::nothrow) std::uint8_t[rec::kIndexBufferBytes]());
  return m_lpIndexBuffer ? 1 : 0;
}

BOOL CSchRecord::FreeBuffer() {
  if (!m_hFile) m_lpIndexBuffer.reset();
  return 1;
}

BOOL CSchRecord::CreateResource() {
  ReleaseResource();
  m_hFreeSem = CreateSemaphore(1, 1);
  m_hReadySem = CreateSemaphore(0, 1);
  m_hStopEvent = CreateEvent(false, false);
  m_hStoppedEvent = CreateEvent(false, false);
  return (m_hFreeSem && m_hReadySem && m_hStopEvent && m_hStoppedEvent) ? 1 : 0;
}

BOOL CSchRecord::ReleaseResource() {
  for (HANDLE* h : {&m_hFreeSem, &m_hReadySem, &m_hStopEvent, &m_hStoppedEvent}) {
    if (*h) CloseHandle(*h);
    *h = 0;
  }
  return 1;
}

BOOL CSchRecord::CreateThread(BYTE) {
  ExitThread();
  m_hThread = plat::CreateThread([this] { return ThreadMain(); }, &m_dwThreadId, "sch-record");
  return m_hThread ? 1 : 0;
}

BOOL CSchRecord::ExitThread() {
  if (!m_hThread) return 1;
  StopThread(m_hThread, 10);
  CloseHandle(m_hThread);
  m_hThread = 0;
  return 1;
}

BOOL CSchRecord::Close() {
  if (m_fRecording.load()) {
    SetEvent(m_hStopEvent);
    if (m_hStoppedEvent) WaitForSingleObject(m_hStoppedEvent, 500);
  }
  return 1;
}

void CSchRecord::HandOverFrame(const RecordFrameInfo& info, const std::string& serverName,
                               BYTE streamState) {
  std::lock_guard<std::mutex> lk(m_handoffLock);
  if (!m_fRecording.load()) {
    ReleaseSemaphore(m_hFreeSem, 1);
    return;
  }
  BYTE mark = 0xFF;
  m_byStartMark.compare_exchange_strong(mark, 0);
  if (m_FileHeader[ov4::kOffHeaderPending] == ov4::kHeaderPending) {
    std::memset(m_FileHeader, 0, sizeof m_FileHeader);
    ovr::FileHeader tmp;
    tmp.SetServerAddress(serverName);
    std::memcpy(m_FileHeader + 12, tmp.serverIp, 4);
    m_FileHeader[16] = info.byMark;
    info.stLocalTime.Serialize(m_FileHeader + 48);
    PutU32(m_FileHeader, 68, streamState == 4 ? 0x89ABCDEFu : rec::kFrameInfoMagic);
  }
  ReleaseSemaphore(m_hReadySem, 1);
}

bool CSchRecord::OpenFile() {
  if (!AllocateBuffer()) return false;
  std::string folder;
  {
    std::lock_guard<std::mutex> lk(m_folderLock);
    folder = m_strFolder;
  }
  std::string path;
  m_hFile = CreateUniqueRecordFile(Files(), folder + SchFileStem(ovr::CurrentLocalTime()),
                                   ov4::kExtension, path);
  m_dwFrameSeq = 0;
  m_dwFileOffset = 0;
  return m_hFile != nullptr;
}

bool CSchRecord::AppendFrame(unsigned slot, DWORD marker) {
  CRecordFrameRing& ring = Ring();
  if (!m_hFile || !ring.IsAllocated()) return false;
  RecordFrameInfo info = ring.m_lpFrameInfo[slot];
  info.dwSeq = m_dwFrameSeq + 1;
  info.dwMarker = marker;
  std::uint8_t d[RecordFrameInfo::kSize];
  info.Serialize(d);
  const std::uint32_t at = m_dwFileOffset;
  if (!m_hFile->WriteAt(at, d, sizeof d) ||
      (info.dwLength && !m_hFile->WriteAt(at + sizeof d, ring.Slot(slot), info.dwLength))) {
    m_hFile->Truncate(at);
    return false;
  }
  const std::size_t entry = m_dwFrameSeq;
  if (entry < rec::kIndexBufferBytes / rec::kIndexEntryBytes) {
    // The layout's first entry holds 0; every later one the absolute offset.
    plat::ByteWriter index(m_lpIndexBuffer.get(), rec::kIndexBufferBytes);
    index.U32At(entry * 8, entry == 0 ? 0u : at);
    index.U32At(entry * 8 + 4, ring.m_lpSlotRecords[slot].dwType);
  }
  ++m_dwFrameSeq;
  m_dwFileOffset = at + std::uint32_t(sizeof d) + info.dwLength;
  return true;
}

bool CSchRecord::WriteFirstFrames() {
  CRecordFrameRing& ring = Ring();
  if (!m_hFile || !ring.IsAllocated()) return false;
  const unsigned w = ring.m_wWriteIndex;
  // The recording may start up to 20 frames back, at a frame marked as a start frame.
  unsigned back = 1;
  for (unsigned b = 1; b <= rec::kRingSlots; ++b) {
    if (ring.m_lpSlotRecords[CRecordFrameRing::SlotBefore(w, b)].dwType == 3) {
      back = b;
      break;
    }
  }
  m_FileHeader[ov4::kOffHeaderPending] = 0;
  m_FileHeader[17] = 3;
  const std::uint32_t now = UpTimeSeconds();
  PutU32(m_FileHeader, 4, now);
  PutU32(m_FileHeader, 8, now);
  if (!m_hFile->WriteAt(0, m_FileHeader, sizeof m_FileHeader)) return false;
  m_dwFileOffset = ov4::kHeaderSize;
  for (unsigned b = back; b >= 1; --b)
    if (!AppendFrame(CRecordFrameRing::SlotBefore(w, b), b == back ? 0xFFFFu : 0u)) return false;
  return true;
}

void CSchRecord::FinishFile() {
  if (!m_hFile) return;
  const std::uint32_t frames =
      std::min<std::uint32_t>(m_dwFrameSeq, rec::kIndexBufferBytes / rec::kIndexEntryBytes);
  PutU32(m_FileHeader, 0, frames);
  PutU32(m_FileHeader, 8, UpTimeSeconds());
  m_hFile->WriteAt(0, m_FileHeader, sizeof m_FileHeader);
  if (frames) m_hFile->WriteAt(m_dwFileOffset, m_lpIndexBuffer.get(), std::size_t(frames) * 8);
  std::uint8_t c[4];
  PutU32(c, 0, frames);
  m_hFile->WriteAt(m_dwFileOffset + frames * 8, c, 4);
  m_hFile->Truncate(std::uint64_t(m_dwFileOffset) + frames * 8 + 4);
  m_hFile->Close();
  m_hFile.reset();
}

DWORD CSchRecord::ThreadMain() {
  const HANDLE endEvent = Host().EndOfStreamEvent();
  for (;;) {
    // Step 1: once a second look for a schedule window that holds the present.
    std::vector<HANDLE> tick;
    if (endEvent) tick.push_back(endEvent);
    if (m_hTimerEvent) tick.push_back(m_hTimerEvent);
    if (tick.empty()) {
      Sleep(1000);
    } else {
      const DWORD r = WaitForMultipleObjects(DWORD(tick.size()), tick.data(), 0, 1000);
      if (endEvent && r == WAIT_OBJECT_0) return 0;
      if (r == WAIT_FAILED) return 0;
    }
    const std::time_t now = std::time(nullptr);
    int found = -1;
    for (int i = 0; i < 10; ++i)
      if (m_Schedule[i].inUse && m_Schedule[i].start <= now && now <= m_Schedule[i].end) {
        found = i;
        break;
      }
    if (found < 0) continue;

    m_tWindowEnd = m_Schedule[found].end;
    if (m_hFile) FinishFile();
    if (!OpenFile()) {
      MessageBox(0, "Create schedule record file is failed");
      return 0;
    }
    m_FileHeader[ov4::kOffHeaderPending] = ov4::kHeaderPending;
    m_byState.store(1);
    m_byStartMark.store(0xFF);
    {
      std::lock_guard<std::mutex> lk(m_handoffLock);
      m_fRecording.store(1);
    }
    std::vector<HANDLE> busy{m_hReadySem, m_hStopEvent};
    if (endEvent) busy.push_back(endEvent);
    bool ended = false;
    while (m_byState.load() != 0) {
      const DWORD r = WaitForMultipleObjects(DWORD(busy.size()), busy.data(), 0, INFINITE);
      const bool gotFrame = r == WAIT_OBJECT_0;
      if (r == WAIT_OBJECT_0 + 1) m_byState.store(3);
      if (!gotFrame && r != WAIT_OBJECT_0 + 1) {
        ended = true;
        m_byState.store(3);
      }
      bool ok = true;
      if (gotFrame && m_byState.load() == 1) {
        ok = WriteFirstFrames();
        m_byState.store(2);
      } else if (gotFrame && m_byState.load() == 2) {
        const unsigned slot = CRecordFrameRing::SlotBefore(Ring().m_wWriteIndex, 1);
        if (m_dwFrameSeq >= rec::kMaxFramesPerFile) {
          FinishFile();
          std::memset(m_FileHeader + 4, 0, 4);
          ok = OpenFile();
          if (ok) {
            PutU32(m_FileHeader, 0, 0);
            const std::uint32_t t = UpTimeSeconds();
            PutU32(m_FileHeader, 4, t);
            PutU32(m_FileHeader, 8, t);
            ok = m_hFile->WriteAt(0, m_FileHeader, sizeof m_FileHeader);
            m_dwFileOffset = ov4::kHeaderSize;
            ok = ok && AppendFrame(slot, 0);
          }
        } else {
          ok = AppendFrame(slot, 0);
        }
        if (m_dwFrameSeq % 30 == 0 && std::time(nullptr) > m_tWindowEnd) m_byState.store(3);
      }
      if (!ok) m_byState.store(3);
      if (m_byState.load() == 3) {
        {
          std::lock_guard<std::mutex> lk(m_handoffLock);
          m_fRecording.store(0);
        }
        FinishFile();
        m_dwFrameSeq = 0;
        m_FileHeader[ov4::kOffHeaderPending] = ov4::kHeaderPending;
        m_byState.store(0);
        SetEvent(m_hStoppedEvent);
      }
      if (gotFrame) ReleaseSemaphore(m_hFreeSem, 1);
      else if (WaitForSingleObject(m_hReadySem, 0) == WAIT_OBJECT_0) ReleaseSemaphore(m_hFreeSem, 1);
    }
    if (ended) return 0;
  }
}
