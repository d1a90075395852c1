#include "record/RecordCore.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/kernel.h"
#include "platform/bytes.h"
#include "record/RecordFrameRing.h"

using namespace plat;

namespace {
CRecordFrameRing g_detachedRing;  // used only by a recorder that was given no ring
}

namespace {
constexpr std::uint32_t kMaxIndexEntries = rec::kIndexBufferBytes / rec::kIndexEntryBytes;
}

CRecordCore::CRecordCore()
    : m_lpRecordBuffer(new (std::nothrow) std::uint8_t[ovr::kMaxRecordSize]),
      m_lpFrameTimes(new (std::nothrow) std::uint32_t[kMaxIndexEntries]()) {}

CRecordCore::~CRecordCore() {
  ReleaseResource();
}

BOOL CRecordCore::AllocateBuffer() {
  if (!m_lpIndexBuffer) m_lpIndexBuffer.reset(new (std::nothrow) std::uint8_t[rec::kIndexBufferBytes]());
  return m_lpIndexBuffer ? 1 : 0;
}

BOOL CRecordCore::FreeBuffer() {
  std::lock_guard<std::mutex> lk(m_fileLock);
  if (!m_hFile) m_lpIndexBuffer.reset();  // an open recording keeps its index
  return 1;
}

BOOL CRecordCore::CreateResource() {
  ReleaseResource();
  m_hFreeSem = CreateSemaphore(1, 1);
  m_hReadySem = CreateSemaphore(0, 1);
  m_hStartEvent = CreateEvent(false, false);
  m_hStopEvent = CreateEvent(false, false);
  m_hStoppedEvent = CreateEvent(false, false);
  return (m_hFreeSem && m_hReadySem && m_hStartEvent && m_hStopEvent && m_hStoppedEvent) ? 1 : 0;
}

BOOL CRecordCore::ReleaseResource() {
  for (HANDLE* h : {&m_hFreeSem, &m_hReadySem, &m_hStartEvent, &m_hStopEvent, &m_hStoppedEvent}) {
    if (*h) CloseHandle(*h);
    *h = 0;
  }
  return 1;
}

void CRecordCore::HandOverFrame() {
  std::lock_guard<std::mutex> lk(m_handoffLock);
  ReleaseSemaphore(m_fRecording.load() ? m_hReadySem : m_hFreeSem, 1);
}

void CRecordCore::StopTakingFrames() {
  {
    std::lock_guard<std::mutex> lk(m_handoffLock);
    m_fRecording.store(0);
  }
  // A frame handed over before the flag changed is given straight back.
  if (m_hReadySem && WaitForSingleObject(m_hReadySem, 0) == WAIT_OBJECT_0)
    ReleaseSemaphore(m_hFreeSem, 1);
}

CRecordFrameRing& CRecordCore::Ring() { if (m_pRing) return *m_pRing;
  CRecordFrameRing* r = Host().FrameRing();
  return r ? *r : g_detachedRing; }

bool CRecordCore::IsFileOpen() const {
  std::lock_guard<std::mutex> lk(m_fileLock);
  return m_hFile != nullptr;
}

std::string CRecordCore::CurrentPath() const {
  std::lock_guard<std::mutex> lk(m_fileLock);
  return m_strPath;
}

bool CRecordCore::CreateRecordFile(const std::string& folder, const std::string& stem, bool newRecording) {
  if (!AllocateBuffer() || !m_lpRecordBuffer) return false;
  std::string path;
  auto f = CreateUniqueRecordFile(Files(), folder + stem, ovr::kExtension, path);
  if (!f) return false;
  m_hFile = std::move(f);
  if (newRecording) {
    m_strServer = Host().ServerName();
    m_strUser = Host().UserName();
  }
  m_strFolder = folder;
  m_strPath = path;
  m_dwFileOffset = 0;
  m_dwLastTime = 0;
  return true;
}

bool CRecordCore::WriteFileHeader(std::uint8_t kind) {
  if (!m_hFile) return false;
  m_FileHeader = ovr::FileHeader{};
  m_FileHeader.created = ovr::CurrentLocalTime();
  m_FileHeader.kind = kind;
  m_FileHeader.SetServerAddress(m_strServer);
  m_FileHeader.SetUserName(m_strUser);
  std::uint8_t pre[ovr::kPreambleSize];
  ovr::SerializePreamble(m_FileHeader, pre);
  const bool ok = m_hFile->WriteAt(0, pre, sizeof pre);
  m_dwFileOffset = ovr::kPreambleSize;
  if (m_lpIndexBuffer) ovr::SerializeIndexEntry(m_dwFileOffset, m_lpIndexBuffer.get());
  return ok;
}

bool CRecordCore::SetFirstFrameTime(std::uint32_t timeValue) {
  if (!m_hFile) return false;
  m_FileHeader.firstTime = timeValue;
  std::uint8_t h[ovr::kHeaderSize];
  m_FileHeader.Serialize(h);
  return m_hFile->WriteAt(0, h, sizeof h);
}

bool CRecordCore::UpdateHeaderAtClose(std::uint32_t frames, std::uint32_t lastTime) {
  if (!m_hFile) return false;
  m_FileHeader.frameCount = frames;
  m_FileHeader.lastTime = lastTime;
  if (frames == 0) m_FileHeader.firstTime = 0;
  std::uint8_t h[ovr::kHeaderSize];
  m_FileHeader.Serialize(h);
  return m_hFile->WriteAt(0, h, sizeof h);
}

bool CRecordCore::WriteFrameIndex(const std::uint8_t* index, std::size_t bytes,
                                  std::uint32_t frames) {
  if (!m_hFile) return false;
  std::uint8_t count[4];
  plat::ByteWriter(count, sizeof count).U32(frames);
  bool ok = bytes == 0 || (index && m_hFile->WriteAt(m_dwFileOffset, index, bytes));
  ok = ok && m_hFile->WriteAt(m_dwFileOffset + bytes, count, 4);
  // Whatever lay behind the last good record (a record cut short) is dropped.
  ok = ok && m_hFile->Truncate(std::uint64_t(m_dwFileOffset) + bytes + 4);
  return ok;
}

std::size_t CRecordCore::WriteFrame(const RecordFrameInfo& info, const std::uint8_t* jpeg,
                                    std::uint32_t length) {
  if (!m_hFile || !m_lpRecordBuffer) return 0;
  if (info.dwSeq == 1 && !SetFirstFrameTime(info.dwTimeMs)) return 0;
  const std::size_t n = ovr::BuildFrameRecord(info.dwSeq, info, jpeg, length,
                                              m_lpRecordBuffer.get(), ovr::kMaxRecordSize);
  if (n == 0) return 0;
  plat::ByteReader(m_lpRecordBuffer.get(), n).U32(m_dwFlagWord);
  if (!m_hFile->WriteAt(m_dwFileOffset, m_lpRecordBuffer.get(), n)) return 0;
  return n;
}

bool CRecordCore::AppendFrame(const RecordFrameInfo& info, const std::uint8_t* jpeg,
                              std::uint32_t length) {
  const std::size_t n = WriteFrame(info, jpeg, length);
  if (n == 0) {
    if (m_hFile) m_hFile->Truncate(m_dwFileOffset);
    return false;
  }
  m_dwFileOffset += std::uint32_t(n);
  m_dwLastTime = info.dwTimeMs;
  const std::size_t entry = info.dwSeq;  // entry k holds the offset of frame k+1
  if (m_lpIndexBuffer && entry < kMaxIndexEntries)
    ovr::SerializeIndexEntry(m_dwFileOffset, m_lpIndexBuffer.get() + entry * rec::kIndexEntryBytes);
  if (m_lpFrameTimes && entry >= 1 && entry <= kMaxIndexEntries) m_lpFrameTimes[entry - 1] = info.dwTimeMs;
  return true;
}

bool CRecordCore::FinishFile() {
  if (!m_hFile) return true;
  std::uint32_t frames = std::min<std::uint32_t>(m_dwFrameSeq, kMaxIndexEntries);
  // The index and count go behind the last record. When they do not fit (a full disk), the
  // last frames are dropped until they do, so the file stays whole and correctly indexed.
  bool ok = true;
  while (!WriteFrameIndex(m_lpIndexBuffer.get(), std::size_t(frames) * rec::kIndexEntryBytes, frames)) {
    ok = false;
    if (frames == 0 || !m_lpIndexBuffer) break;
    --frames;
    plat::ByteReader(m_lpIndexBuffer.get(), rec::kIndexBufferBytes)
        .U32At(std::size_t(frames) * rec::kIndexEntryBytes, m_dwFileOffset);
    m_hFile->Truncate(m_dwFileOffset);
  }
  m_dwFrameSeq = frames;
  const std::uint32_t last = frames && m_lpFrameTimes ? m_lpFrameTimes[frames - 1] : 0;
  ok = UpdateHeaderAtClose(frames, last) && ok;
  ok = m_hFile->Close() && ok;
  m_hFile.reset();
  return ok;
}

void CRecordCore::WaitStopped(DWORD ms) {
  if (m_hStoppedEvent) WaitForSingleObject(m_hStoppedEvent, ms);
}

void CRecordCore::ReportOnce(const std::string& text) {
  if (m_fFailReported.exchange(true)) return;
  Host().ReportRecordFailure(text);
}
