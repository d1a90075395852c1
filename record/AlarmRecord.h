// The alarm recorder: started and stopped by the frame-header parser; each alarm file begins
// with up to 20 pre-alarm frames from the ring; files are split every 6000 frames; one
// alarm-list entry per alarm.
#pragma once
#include <atomic>
#include <string>
#include "record/RecordCore.h"

class CAlarmRecord : public CRecordCore {
 public:
  CAlarmRecord();
  ~CAlarmRecord();

  // Resets the counters and flags, clears the parser's alarm word and starts the thread;
  // 0 when the thread cannot be started. The argument is not read.
  plat::BOOL CreateThread(plat::BYTE streamState = 0);
  // Ends the thread (bounded wait, then cancellation) and closes its handle.
  plat::BOOL ExitThread();

  // Creates "ALARM_MJPEG_yymmddThhmmss_ssss.ovr" in `folder` (given a trailing separator,
  // kept in the caller's string) and starts the recording; 0 while quitting, while a file is
  // open, or when the file cannot be created.
  plat::BOOL StartRecord(std::string& folder, int unused = 0);
  // When a file is open: signal stop and wait at most 500 ms for the thread to finish it.
  plat::BOOL StopRecord();
  // Shut-down form: sets the quit flag, stops like StopRecord, clears the alarm word and the
  // main window's alarm-input text.
  plat::BOOL Close();

  std::atomic<int> m_fFileOpen{0};        // from StartRecord until the file is closed
  std::atomic<plat::WORD> m_wRingFill{0}; // frames stored since the thread was created (<= 21)
  std::atomic<int> m_fQuit{0};
  std::atomic<plat::BYTE> m_byStartMark{0};  // 0xFF: the feed writes the alarm's start time

 private:
  plat::DWORD ThreadMain();
  void WritePreAlarmFrames();
  void WriteCurrentFrame();
  // Appends one ring slot to the open file; false (and the write marked failed) when it fails.
  bool AppendRingSlot(CRecordFrameRing& ring, unsigned slot);
  void SplitFile();
  void TakeFrame(int& state);
  void EndRecording(int state);

  std::uint32_t m_dwAlarmFrames = 0;  // frames of the whole alarm over all its files
  bool m_fWriteFailed = false;
};
