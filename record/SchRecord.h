// The schedule recorder: a table of ten recording time windows and a thread that records
// inside them into ".ov4" files. Nothing in the client starts the thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include "platform/types.h"
#include "record/RecordFile.h"
#include "record/RecorderHost.h"
#include "record/RecordTypes.h"

class CRecordFrameRing;

namespace ov4 {
constexpr std::size_t kHeaderSize = 96;
constexpr std::size_t kOffHeaderPending = 16;
constexpr std::uint8_t kHeaderPending = 0xFF;
constexpr const char* kExtension = ".ov4";
}  // namespace ov4

struct RecordScheduleEntry {
  std::time_t start = 0;  // seconds
  std::time_t end = 0;
  int inUse = 0;
};

class CSchRecord {
 public:
  CSchRecord();
  ~CSchRecord();
  CSchRecord(const CSchRecord&) = delete;
  CSchRecord& operator=(const CSchRecord&) = delete;

  plat::BOOL AllocateBuffer();
  plat::BOOL FreeBuffer();
  plat::BOOL CreateResource();   // free (1,1), ready (0,1), stop and stopped events
  plat::BOOL ReleaseResource();
  plat::BOOL CreateThread(plat::BYTE streamState = 0);
  plat::BOOL ExitThread();
  // When a recording runs: signal stop and wait at most 500 ms; 1.
  plat::BOOL Close();

  // Feed side, as for the other recorders. When recording and the header is pending, the
  // header is built from the frame's descriptor (server address, arrival time, magic).
  void HandOverFrame(const RecordFrameInfo& info, const std::string& serverName,
                     plat::BYTE streamState);

  void SetFileSystem(IRecordFileSystem* fs) { m_pFileSystem = fs; }
  void SetHost(IRecorderHost* host) { m_pHost = host; }
  void SetFrameRing(CRecordFrameRing* ring) { m_pRing = ring; }
  // Recording folder (the "Record Path" setting) and the timer event the thread polls.
  void SetRecordFolder(const std::string& folder);
  void SetTimerEvent(plat::HANDLE timerEvent) { m_hTimerEvent = timerEvent; }

  std::uint8_t m_FileHeader[ov4::kHeaderSize] = {};
  std::unique_ptr<std::uint8_t[]> m_lpIndexBuffer;
  plat::HANDLE m_hThread = 0;
  plat::DWORD m_dwThreadId = 0;
  plat::HANDLE m_hFreeSem = 0;
  plat::HANDLE m_hReadySem = 0;
  plat::HANDLE m_hStopEvent = 0;
  plat::HANDLE m_hStoppedEvent = 0;
  std::unique_ptr<IRecordFile> m_hFile;
  plat::DWORD m_dwFrameSeq = 0;
  std::atomic<int> m_fRecording{0};
  std::atomic<plat::BYTE> m_byState{0};  // 0 idle, 1 first frames, 2 each frame, 3 close
  std::atomic<plat::BYTE> m_byStartMark{0};
  int m_nScheduleCount = 0;
  int m_nTimeDialogValue = 0;      // used by the schedule page's time dialog
  RecordScheduleEntry m_Schedule[10];

 private:
  plat::DWORD ThreadMain();
  bool OpenFile();
  bool WriteFirstFrames();
  bool AppendFrame(unsigned slot, plat::DWORD marker);
  void FinishFile();
  IRecordFileSystem& Files();
  IRecorderHost& Host();
  CRecordFrameRing& Ring();

  IRecordFileSystem* m_pFileSystem = nullptr;
  IRecorderHost* m_pHost = nullptr;
  CRecordFrameRing* m_pRing = nullptr;
  plat::HANDLE m_hTimerEvent = 0;
  std::string m_strFolder;
  std::time_t m_tWindowEnd = 0;
  std::uint32_t m_dwFileOffset = 0;
  std::mutex m_handoffLock;
  std::mutex m_folderLock;
};
