#include "record/UserRecord.h"

#include <vector>

#include "platform/kernel.h"
#include "platform/thread.h"
#include "record/RecordFrameRing.h"

using namespace plat;

CUserRecord::CUserRecord() = default;

CUserRecord::~CUserRecord() {
  ExitThread();
  std::lock_guard<std::mutex> lk(m_fileLock);
  if (m_hFile) {
    if (m_fNewFile.load()) WriteFileHeader(ovr::kKindManual);
    FinishFile();
  }
}

BOOL CUserRecord::CreateThread(BYTE) {
  ExitThread();
  m_hThread = plat::CreateThread([this] { return ThreadMain(); }, &m_dwThreadId, "user-record");
  return m_hThread ? 1 : 0;
}

BOOL CUserRecord::ExitThread() {
  if (!m_hThread) return 1;
  StopThread(m_hThread, 10);
  CloseHandle(m_hThread);
  m_hThread = 0;
  return 1;
}

bool CUserRecord::ThreadAlive() const {
  DWORD code = 0;
  return m_hThread && GetExitCodeThread(m_hThread, &code) && code == STILL_ACTIVE;
}

BOOL CUserRecord::StartRecord(std::string& folder, BYTE) {
  if (IsFileOpen()) return 0;
  ovr::EnsureTrailingSeparator(folder);
  const std::string stem = ovr::UserFileStem(ovr::CurrentLocalTime());
  {
    std::lock_guard<std::mutex> lk(m_fileLock);
    if (!CreateRecordFile(folder, stem, true)) {
      m_fNewFile.store(0);
      return 0;
    }
    m_dwFrameSeq = 0;
    m_wIndexCount = 0;
    m_dwFileOffset = 0;
    m_fNewFile.store(1);
  }
  m_fFailReported.store(false);  // each recording reports its own failure once
  m_byState.store(2);
  SetEvent(m_hStartEvent);
  return 1;
}

BOOL CUserRecord::StopRecord() {
  if (!IsFileOpen()) return 1;
  if (ThreadAlive()) {
    SetEvent(m_hStopEvent);
    WaitStopped(500);
    // A thread that ended meanwhile (the stream went down) left the file to us.
    if (ThreadAlive() || !IsFileOpen()) return 1;
  }
  // No thread to finish it (the stream is down): finish the file here.
  ReportFailure(EndRecording(false, false), false);
  return 1;
}

BOOL CUserRecord::Resume() {
  if (!IsFileOpen()) return 0;
  m_byState.store(2);
  SetEvent(m_hStartEvent);
  return 1;
}

void CUserRecord::DropFile() {
  if (!m_hFile) return;
  m_hFile->Close();
  m_hFile.reset();
  Files().Remove(m_strPath);
}

bool CUserRecord::TakeFrame(std::string& failure) {
  std::lock_guard<std::mutex> lk(m_fileLock);
  if (!m_hFile) return true;
  if (m_fNewFile.exchange(0) && !WriteFileHeader(ovr::kKindManual)) {
    failure = m_strPath;
    DropFile();  // a file without its header is no recording
    return false;
  }
  if (m_wIndexCount >= rec::kMaxFramesPerFile) {
    // Split: finish this file and go on in a new one with this frame as frame 1.
    const std::string oldPath = m_strPath;
    const bool ok = FinishFile();
    m_dwFrameSeq = 0;
    m_wIndexCount = 0;
    m_dwFileOffset = 0;
    const std::string stem = ovr::UserFileStem(ovr::CurrentLocalTime());
    if (!ok) {
      failure = oldPath;
      return false;
    }
    if (!CreateRecordFile(m_strFolder, stem, false)) {
      failure = m_strFolder + stem + ovr::kExtension;
      return false;
    }
    if (!WriteFileHeader(ovr::kKindManual)) {
      failure = m_strPath;
      DropFile();
      return false;
    }
  }
  CRecordFrameRing& ring = Ring();
  if (!ring.IsAllocated()) return true;
  const unsigned slot = CRecordFrameRing::SlotBefore(ring.m_wWriteIndex, 1);
  RecordFrameInfo info = ring.m_lpFrameInfo[slot];
  info.dwSeq = m_dwFrameSeq + 1;
  if (AppendFrame(info, ring.Slot(slot), info.dwLength)) {
    ++m_dwFrameSeq;
    m_wIndexCount = WORD(m_dwFrameSeq);
    return true;
  }
  failure = m_strPath;
  return false;
}

std::string CUserRecord::EndRecording(bool takePending, bool failed) {
  {
    std::lock_guard<std::mutex> lk(m_handoffLock);
    m_fRecording.store(0);
  }
  std::string failure;
  // A frame handed over just before the stop still belongs to the recording.
  if (m_hReadySem && WaitForSingleObject(m_hReadySem, 0) == WAIT_OBJECT_0) {
    if (takePending && !TakeFrame(failure)) failed = true;
    ReleaseSemaphore(m_hFreeSem, 1);
  }
  std::lock_guard<std::mutex> lk(m_fileLock);
  const std::string path = m_strPath;
  if (m_hFile && m_fNewFile.exchange(0) && !WriteFileHeader(ovr::kKindManual)) {
    if (failure.empty()) failure = path;
    DropFile();
  }
  if (m_hFile) {
    const bool ok = FinishFile();
    if (!ok && failure.empty()) failure = path;
    // A recording that failed before its first picture leaves no file behind.
    if ((failed || !ok) && m_dwFrameSeq == 0) Files().Remove(path);
  }
  m_dwFrameSeq = 0;
  m_dwFileOffset = 0;
  m_wIndexCount = 0;
  return failure;
}

void CUserRecord::ReportFailure(const std::string& path, bool endedByItself) {
  if (path.empty()) return;
  const std::string text = "Write record file is failed: " + path;
  if (!endedByItself) {
    ReportOnce(text);
    return;
  }
  m_fFailReported.store(true);
  Host().UserRecordingEnded(text);
}

DWORD CUserRecord::ThreadMain() {
  try {
    return RecordLoop();
  } catch (const ThreadCancelled&) {
    // Cancelled (the stream's teardown): the file stays open for Resume, but no frame may be
    // handed to a thread that is gone.
    std::lock_guard<std::mutex> lk(m_handoffLock);
    m_fRecording.store(0);
    throw;
  }
}

DWORD CUserRecord::RecordLoop() {
  const HANDLE endEvent = Host().EndOfStreamEvent();
  for (;;) {
    std::vector<HANDLE> idle{m_hStartEvent, m_hStopEvent};
    if (endEvent) idle.push_back(endEvent);
    const DWORD w = WaitForMultipleObjects(DWORD(idle.size()), idle.data(), 0, INFINITE);
    if (w == WAIT_OBJECT_0 + 1) {  // stop while idle: a recording left open is finished
      ReportFailure(EndRecording(false, false), false);
      SetEvent(m_hStoppedEvent);
      continue;
    }
    if (w != WAIT_OBJECT_0) return 0;
    if (!IsFileOpen()) continue;

    {
      std::lock_guard<std::mutex> lk(m_handoffLock);
      m_fRecording.store(1);
    }
    std::vector<HANDLE> busy{m_hReadySem, m_hStopEvent};
    if (endEvent) busy.push_back(endEvent);
    for (;;) {
      // A frame already handed over comes before a stop (the wait takes the lowest index).
      const DWORD r = WaitForMultipleObjects(DWORD(busy.size()), busy.data(), 0, INFINITE);
      if (r == WAIT_OBJECT_0 + 1) {
        ReportFailure(EndRecording(true, false), false);
        SetEvent(m_hStoppedEvent);
        break;
      }
      if (r != WAIT_OBJECT_0) {
        // The stream ends: the file stays open so the recording goes on after the reconnection.
        StopTakingFrames();
        return 0;
      }
      std::string failure;
      const bool ok = TakeFrame(failure);
      ReleaseSemaphore(m_hFreeSem, 1);
      if (!ok) {
        // The recording ends by itself: the file is finished (or removed) first, then the
        // operator is told, so the record button finds the recorder idle.
        const std::string finish = EndRecording(false, true);
        ReportFailure(failure.empty() ? finish : failure, true);
        break;
      }
    }
  }
}
