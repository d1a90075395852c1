// The manual recorder: started and stopped by the record button; files are split every 6000
// frames; a recording survives a reconnection in the same file (Resume).
#pragma once
#include <atomic>
#include <string>
#include "record/RecordCore.h"

class CUserRecord : public CRecordCore {
 public:
  CUserRecord();
  ~CUserRecord();  // finishes a recording that is still open

  plat::BOOL CreateThread(plat::BYTE streamState = 0);
  plat::BOOL ExitThread();

  // Creates "USER_MJPEG_yymmddThhmmss_UR.ovr" in `folder`; 0 when a recording is already
  // open or the file cannot be created.
  plat::BOOL StartRecord(std::string& folder, plat::BYTE unused = 0);
  // When a file is open: signal stop and wait at most 500 ms; a file left open by a thread
  // that is gone is finished here.
  plat::BOOL StopRecord();
  // After a reconnection: when a file is still open, go on writing into it; 1, else 0.
  plat::BOOL Resume();

  plat::WORD m_wIndexCount = 0;    // index entries of the open file
  std::atomic<plat::BYTE> m_byState{0};  // 2 write each frame, 3 close
  std::atomic<int> m_fNewFile{0};  // the created file's header is still to be written

 private:
  plat::DWORD ThreadMain();
  plat::DWORD RecordLoop();
  bool ThreadAlive() const;
  // Writes the frame just stored (header first for a new file); false with the path of the
  // file that failed. A file whose header cannot be written is removed.
  bool TakeFrame(std::string& failure);
  // Header update, index, close, counters cleared; `takePending` writes a frame handed over
  // just before. Answers the path of a file that failed, "" when all went well. After a
  // failure (`failed`, or one here) a file that holds no picture is removed.
  std::string EndRecording(bool takePending, bool failed);
  // Closes and removes the open file (m_fileLock held).
  void DropFile();
  // A failure ends up in the status line; one that ended the recording by itself is told the
  // operator through the host's UserRecordingEnded. Nothing for an empty path.
  void ReportFailure(const std::string& path, bool endedByItself);
};
