#include "record/AlarmRecord.h"

#include <algorithm>
#include <vector>

#include "platform/kernel.h"
#include "platform/thread.h"
#include "record/RecordFrameRing.h"

using namespace plat;

CAlarmRecord::CAlarmRecord() = default;

CAlarmRecord::~CAlarmRecord() {
  ExitThread();
  std::lock_guard<std::mutex> lk(m_fileLock);
  if (m_hFile) FinishFile();
}

BOOL CAlarmRecord::CreateThread(BYTE) {
  ExitThread();
  // A recording whose thread ended before it could finish the file (an alarm started just as
  // the stream went down) is finished here, with its alarm-list entry.
  bool leftover = false;
  {
    std::lock_guard<std::mutex> lk(m_fileLock);
    if (m_hFile) {
      if (m_dwFileOffset == 0) WriteFileHeader(ovr::kKindAlarm);
      const std::uint32_t before = m_dwFrameSeq;
      FinishFile();
      m_dwAlarmFrames -= before - m_dwFrameSeq;
      leftover = true;
    }
  }
  if (leftover) Host().AlarmListAddItem(m_dwAlarmFrames, Host().ServerName());
  m_dwAlarmFrames = 0;
  m_dwFrameSeq = 0;
  m_fRecording.store(0);
  m_fFileOpen.store(0);
  m_wRingFill.store(0);
  m_dwFileOffset = 0;
  m_fQuit.store(0);
  Host().ClearAlarmWord();
  m_hThread = plat::CreateThread([this] { return ThreadMain(); }, &m_dwThreadId, "alarm-record");
  return m_hThread ? 1 : 0;
}

BOOL CAlarmRecord::ExitThread() {
  if (!m_hThread) return 1;
  StopThread(m_hThread, 10);
  CloseHandle(m_hThread);
  m_hThread = 0;
  return 1;
}

BOOL CAlarmRecord::StartRecord(std::string& folder, int) {
  if (m_fQuit.load() || m_fFileOpen.load()) return 0;
  DWORD code = 0;
  if (!m_hThread || !GetExitCodeThread(m_hThread, &code) || code != STILL_ACTIVE) return 0;
  ovr::EnsureTrailingSeparator(folder);
  const std::string stem = ovr::AlarmFileStem(ovr::CurrentLocalTime(), Host().SessionId());
  std::string path;
  {
    std::lock_guard<std::mutex> lk(m_fileLock);
    if (!CreateRecordFile(folder, stem, true)) {
      path.clear();
    } else {
      path = m_strPath;
    }
  }
  if (path.empty()) {
    ReportOnce("Create alarm record file is failed: " + folder + stem + ovr::kExtension);
    return 0;
  }
  Host().AlarmListSetFileName(path);
  m_fFileOpen.store(1);
  SetEvent(m_hStartEvent);
  return 1;
}

BOOL CAlarmRecord::StopRecord() {
  if (m_fFileOpen.load()) {
    SetEvent(m_hStopEvent);
    WaitStopped(500);
  }
  return 1;
}

BOOL CAlarmRecord::Close() {
  m_fQuit.store(1);
  StopRecord();
  Host().ClearAlarmWord();
  Host().ClearAlarmChannelText();
  return 1;
}

void CAlarmRecord::WritePreAlarmFrames() {
  std::lock_guard<std::mutex> lk(m_fileLock);
  if (!WriteFileHeader(ovr::kKindAlarm)) {
    m_fWriteFailed = true;
    return;
  }
  CRecordFrameRing& ring = Ring();
  if (!ring.IsAllocated()) return;
  const unsigned k = std::min<unsigned>(m_wRingFill.load(), rec::kRingSlots);
  const unsigned w = ring.m_wWriteIndex;
  for (unsigned back = k; back >= 1; --back) {
    if (!AppendRingSlot(ring, CRecordFrameRing::SlotBefore(w, back))) return;
  }
}

bool CAlarmRecord::AppendRingSlot(CRecordFrameRing& ring, unsigned slot) {
  RecordFrameInfo info = ring.m_lpFrameInfo[slot];
  info.dwSeq = m_dwFrameSeq + 1;
  if (!AppendFrame(info, ring.Slot(slot), info.dwLength)) {
    m_fWriteFailed = true;
    return false;
  }
  ++m_dwFrameSeq;
  ++m_dwAlarmFrames;
  return true;
}

void CAlarmRecord::WriteCurrentFrame() {
  if (m_dwFrameSeq >= rec::kMaxFramesPerFile) {
    SplitFile();
    return;
  }
  std::lock_guard<std::mutex> lk(m_fileLock);
  CRecordFrameRing& ring = Ring();
  if (!ring.IsAllocated()) return;
  AppendRingSlot(ring, CRecordFrameRing::SlotBefore(ring.m_wWriteIndex, 1));
}

void CAlarmRecord::SplitFile() {
  std::string failed;
  {
    std::lock_guard<std::mutex> lk(m_fileLock);
    const std::string oldPath = m_strPath;
    const std::uint32_t before = m_dwFrameSeq;
    if (!FinishFile()) failed = oldPath;
    m_dwAlarmFrames -= before - m_dwFrameSeq;  // frames dropped to fit the index
    m_dwFrameSeq = 0;
    m_dwFileOffset = 0;
    const std::string stem = ovr::AlarmFileStem(ovr::CurrentLocalTime(), Host().SessionId());
    if (failed.empty() && !CreateRecordFile(m_strFolder, stem, false)) failed = m_strFolder + stem + ovr::kExtension;
  }
  if (!failed.empty()) {
    m_fWriteFailed = true;
    ReportOnce("Write alarm record file is failed: " + failed);
    return;
  }
  // The frame just stored becomes frame 1 of the new file.
  {
    std::lock_guard<std::mutex> lk(m_fileLock);
    if (!WriteFileHeader(ovr::kKindAlarm)) {
      m_fWriteFailed = true;
      return;
    }
  }
  WriteCurrentFrame();
}

void CAlarmRecord::TakeFrame(int& state) {
  if (state == 1) {
    WritePreAlarmFrames();
    state = 2;
  } else {
    WriteCurrentFrame();
  }
}

void CAlarmRecord::EndRecording(int state) {
  {
    std::lock_guard<std::mutex> lk(m_handoffLock);
    m_fRecording.store(0);
  }
  // A frame handed over just before the stop still belongs to the recording.
  if (m_hReadySem && WaitForSingleObject(m_hReadySem, 0) == WAIT_OBJECT_0) {
    if (!m_fWriteFailed) TakeFrame(state);
    ReleaseSemaphore(m_hFreeSem, 1);
  }
  bool finished = true;
  std::string path;
  {
    std::lock_guard<std::mutex> lk(m_fileLock);
    path = m_strPath;
    if (m_hFile && m_dwFileOffset == 0) WriteFileHeader(ovr::kKindAlarm);  // stopped before any frame
    const std::uint32_t before = m_dwFrameSeq;
    if (m_hFile) finished = FinishFile();
    m_dwAlarmFrames -= before - m_dwFrameSeq;  // frames dropped to fit the index
    m_dwFrameSeq = 0;
    m_dwFileOffset = 0;
  }
  if (m_fWriteFailed || !finished)
    ReportOnce("Write alarm record file is failed: " + path);
  else
    m_fFailReported.store(false);
  Host().AlarmListAddItem(m_dwAlarmFrames, Host().ServerName());
  m_dwAlarmFrames = 0;
  Host().ClearAlarmWord();
  m_fFileOpen.store(0);
  SetEvent(m_hStoppedEvent);
}

DWORD CAlarmRecord::ThreadMain() {
  try {
    for (;;) {
      const HANDLE endEvent = Host().EndOfStreamEvent();
      std::vector<HANDLE> idle{m_hStartEvent};
      if (endEvent) idle.push_back(endEvent);
      if (WaitForMultipleObjects(DWORD(idle.size()), idle.data(), 0, INFINITE) != WAIT_OBJECT_0)
        return 0;

      // A recording starts with the pre-alarm frames of the ring.
      m_dwAlarmFrames = 0;
      m_fWriteFailed = false;
      m_byStartMark.store(0xFF);
      {
        std::lock_guard<std::mutex> lk(m_handoffLock);
        m_fRecording.store(1);
      }
      int state = 1;
      std::vector<HANDLE> busy{m_hReadySem, m_hStopEvent};
      if (endEvent) busy.push_back(endEvent);
      while (IsFileOpen()) {
        // A frame already handed over comes before a stop (the wait takes the lowest index).
        const DWORD r = WaitForMultipleObjects(DWORD(busy.size()), busy.data(), 0, INFINITE);
        if (r == WAIT_OBJECT_0) {
          TakeFrame(state);
          ReleaseSemaphore(m_hFreeSem, 1);
        } else {
          state = 3;
        }
        if (state == 3 || m_fWriteFailed) {
          EndRecording(state);
          break;
        }
      }
      if (m_fQuit.load()) return 0;
      if (endEvent && WaitForSingleObject(endEvent, 0) == WAIT_OBJECT_0) return 0;
    }
  } catch (const ThreadCancelled&) {
    // Cancelled while recording: the file is still finished so it stays readable.
    std::lock_guard<std::mutex> lk(m_fileLock);
    if (m_hFile) FinishFile();
    m_fRecording.store(0);
    m_fFileOpen.store(0);
    throw;
  }
}
