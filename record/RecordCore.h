// The core shared by the alarm and the manual recorder: the open ".ovr" file with its
// header kept in memory, the record and index buffers, the kernel objects of the frame
// hand-over and the thread. Plain class without virtual functions.
#pragma once
#include <atomic>
#include <vector>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include "platform/types.h"
#include "record/OvrFormat.h"
#include "record/RecordFile.h"
#include "record/RecorderHost.h"
#include "record/RecordTypes.h"

class CRecordFrameRing;

class CRecordCore {
 public:
  CRecordCore();
  ~CRecordCore();
  CRecordCore(const CRecordCore&) = delete;
  CRecordCore& operator=(const CRecordCore&) = delete;

  // 160,000-byte index buffer; 0 when the allocation fails. FreeBuffer always 1.
  plat::BOOL AllocateBuffer();
  plat::BOOL FreeBuffer();
  // Free (1, 1) and ready (0, 1) semaphores, start/stop/stopped auto-reset events.
  plat::BOOL CreateResource();
  plat::BOOL ReleaseResource();

  // Feed side of the hand-over (the compose thread): after storing a frame, gives it to this
  // recorder when it records (ready) or straight back (free). The decision and the release
  // are one step, so a recorder that stops taking frames never leaves a frame behind.
  void HandOverFrame();

  // Where the recorder writes and whom it asks; defaults: POSIX files, DefaultRecorderHost().
  void SetFileSystem(IRecordFileSystem* fs) { m_pFileSystem = fs; }
  void SetHost(IRecorderHost* host) { m_pHost = host; }
  void SetFrameRing(CRecordFrameRing* ring) { m_pRing = ring; }

  bool IsFileOpen() const;
  std::string CurrentPath() const;

  // File writing (on the recorder's thread). Each returns false on a failed write.
  bool WriteFileHeader(std::uint8_t kind);                      // 90 bytes at the end
  bool SetFirstFrameTime(std::uint32_t timeValue);              // rewrites bytes 0-79
  bool UpdateHeaderAtClose(std::uint32_t frames, std::uint32_t lastTime);
  bool WriteFrameIndex(const std::uint8_t* index, std::size_t bytes, std::uint32_t frames);
  // Writes one frame record (first calls SetFirstFrameTime when its sequence number is 1).
  std::size_t WriteFrame(const RecordFrameInfo& info, const std::uint8_t* jpeg,
                         std::uint32_t length);

  ovr::FileHeader m_FileHeader;          // header of the open file
  plat::DWORD m_dwFlagWord = 0;          // flag word of the record being built
  std::unique_ptr<std::uint8_t[]> m_lpRecordBuffer;  // one frame record
  std::unique_ptr<std::uint8_t[]> m_lpIndexBuffer;   // the open file's frame index
  std::atomic<plat::HANDLE> m_hThread{0};
  plat::DWORD m_dwThreadId = 0;
  plat::HANDLE m_hFreeSem = 0;
  plat::HANDLE m_hReadySem = 0;
  plat::HANDLE m_hStartEvent = 0;
  plat::HANDLE m_hStopEvent = 0;
  plat::HANDLE m_hStoppedEvent = 0;
  std::unique_ptr<IRecordFile> m_hFile;  // the open recording file, null when none
  plat::DWORD m_dwFrameSeq = 0;          // frames written to the open file
  std::atomic<int> m_fRecording{0};      // the thread is taking frames
  plat::DWORD m_dwFileOffset = 0;        // running end offset of the open file

  IRecordFileSystem& Files() { return m_pFileSystem ? *m_pFileSystem : DefaultRecordFileSystem(); }
  IRecorderHost& Host() { return m_pHost ? *m_pHost : DefaultRecorderHost(); }

 protected:
  CRecordFrameRing& Ring();

  // Creates the file `folder` + stem + ".ovr" (a suffix when the name exists) and remembers
  // the folder for later splits; a new recording also takes the recorder's address and the
  // user name for its headers. False when the file cannot be created.
  bool CreateRecordFile(const std::string& folder, const std::string& stem, bool newRecording);
  // Takes the recorder off the feed: clears m_fRecording and gives back a frame that was
  // handed over meanwhile.
  void StopTakingFrames();
  // Appends a frame with its index entry (index entry n+1 = end offset after frame n+1).
  // On a failed write the partial record is cut off and false is returned.
  bool AppendFrame(const RecordFrameInfo& info, const std::uint8_t* jpeg, std::uint32_t length);
  // Header update with the frames really written, index and count, close. False when a
  // write failed (the file is closed anyway).
  bool FinishFile();
  void WaitStopped(plat::DWORD ms);
  void ReportOnce(const std::string& text);

  std::string m_strFolder;               // folder of the recording (with separator)
  std::string m_strPath;                 // path of the open file
  std::string m_strServer, m_strUser;    // taken when the recording starts, for its headers
  std::uint32_t m_dwLastTime = 0;        // time value of the last frame written
  std::unique_ptr<std::uint32_t[]> m_lpFrameTimes;  // time value of each frame of the file
  std::atomic<bool> m_fFailReported{false};
  mutable std::mutex m_fileLock;         // file state against a finish from another thread
  std::mutex m_handoffLock;              // m_fRecording against the feed's release

 private:
  IRecordFileSystem* m_pFileSystem = nullptr;
  IRecorderHost* m_pHost = nullptr;
  CRecordFrameRing* m_pRing = nullptr;
};
