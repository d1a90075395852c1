// Network backup: the recorder's disk list, the /NetworkBk.cgi request, the chunk stream of
// its reply and the download thread that appends the data chunks to a local ".dvr" file while
// it keeps a linked player informed.
#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace nb {

// ---- disk presence mask (/GetDvrHDD.cgi) ---------------------------------------------------
using DiskMask = std::array<std::uint8_t, 32>;

// "MASTER1", "SLAVE1", "MASTER2", "SLAVE2", then "EXT-%.2d" of b - 3.
std::string DiskName(unsigned diskNumber);
// Disk numbers of the set bits, ascending.
std::vector<unsigned> ListDisks(const DiskMask& mask);
// The disk number of list position `position` (the position-th set bit); -1 when none.
int DiskOfPosition(const DiskMask& mask, int position);
// The disk number a listed name stands for; -1 for any other text.
int DiskNumberOfName(const std::string& name);
// Reads the mask from a reply: false (mask cleared) when fewer than 32 bytes came.
bool ParseDiskMask(const std::uint8_t* data, std::size_t length, DiskMask& mask);
// Sends /GetDvrHDD.cgi (15 s / 15 s) and parses the reply; false on any failure.
bool RequestDiskMask(DiskMask& mask);

// ---- the request ----------------------------------------------------------------------------
struct BackupRequest {
  std::string sessionId;
  std::string host;  // the PC's own address text
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int hddNumber = 0;
  int channel = 0;  // 0-based
  int sizeMB = 0;
};
// The whole request text; empty when the session identifier or host would split the head.
std::string BuildBackupRequest(const BackupRequest& r);

// ---- file names -------------------------------------------------------------------------------
// "<folder>/CH%.2d_%.4d.dvr" with the first number whose file does not exist, else
// "<folder>/CH%.2d_Temp.dvr". The folder has no trailing separator. Empty when the folder is
// empty or longer than MaxBackupFolderLength (the name is never cut).
std::string MakeBackupFileName(const std::string& folder, int channel);
// The longest path the player's 1024-byte path block carries (with its terminating zero).
constexpr std::size_t kMaxPlayerPath = 1023;
// The longest folder whose backup file names stay within kMaxPlayerPath.
std::size_t MaxBackupFolderLength(int channel);

// Percentage of `total` bytes against `sizeMB`, clamped to 100.
int BackupPercent(std::uint64_t total, int sizeMB);

// ---- the chunk stream -------------------------------------------------------------------------
enum NetworkBkChunkType : std::uint32_t { NB_CHUNK_END = 1, NB_CHUNK_DATA = 3, NB_CHUNK_ABORT = 6 };
constexpr std::size_t kChunkBuffer = 2048;

// Statuses the thread reports (wParam of WM_DOWNLOADSTATUS).
enum DownloadStatus : int {
  DS_SEND_FAILED = 1,
  DS_FILE_FAILED = 2,
  DS_RECEIVE_FAILED = 3,
  DS_NO_DATA = 4,
  DS_FINISHED = 5,
  DS_PROGRESS = 6,
  DS_ABORTED = 7,
  DS_WRITING_CD = 8,
  DS_OVERRUN = 9,  // stopped far past the requested size; the file keeps what came until then
};
// A stream is stopped when it brings this many times the requested size (a faulty recorder
// must not fill the disk).
constexpr std::uint64_t kOverrunFactor = 4;
// The most bytes a stream for `sizeMB` may bring (at least one megabyte's worth).
std::uint64_t BackupByteLimit(int sizeMB);
// The lParam of WM_PLAYERSTOP sent to the player after a failure.
constexpr std::uint32_t kPlayerStopNetwork = 0xF0000002u;
constexpr std::uint32_t kPlayerStopFile = 0xF0000003u;

// Where the stream's bytes come from: one receive of 1..capacity bytes, -1 on failure.
class IByteSource {
 public:
  virtual ~IByteSource() = default;
  virtual int Receive(void* buffer, std::size_t capacity) = 0;
};

// What the download thread needs of the player link.
class IBackupPlayer {
 public:
  virtual ~IBackupPlayer() = default;
  virtual bool Linked() const = 0;  // a player window is known
  virtual bool Ready() const = 0;   // acknowledged and not stopped
  virtual std::uint32_t BufferBytes() const = 0;
  virtual void Post(unsigned msg, std::uint64_t wParam, std::uint64_t lParam) = 0;
  // The file lock shared with the player (nothing when there is none); Lock is cancellable.
  virtual void LockFile() = 0;
  virtual void UnlockFile() = 0;
};

struct StreamHooks {
  std::function<void(int status, int value)> status;  // statuses and percentages
  std::function<void(int job, int value)> progress;   // the sheet's progress bar
  std::function<bool()> stopRequested;
  IBackupPlayer* player = nullptr;
  std::function<void()> writeDisc;  // set when the file goes to disc after a full download
  std::atomic<int>* finished = nullptr;
};

// Creates (empties) the file and appends the stream's data chunks to it until an end, abort,
// failure, stop or BackupByteLimit bytes (DS_OVERRUN, the file holding exactly that many).
// Answers the final status (or 0 after a stop).
int ReceiveBackupStream(IByteSource& source, const std::string& filePath, int sizeMB, StreamHooks& hooks);

// ---- the thread ------------------------------------------------------------------------------
struct DownloadContext {
  std::string server;  // dotted address
  plat::WORD port = 80;
  BackupRequest request;
  std::string filePath;
  plat::HANDLE startEvent = 0;
  plat::HANDLE stopEvent = 0;
  StreamHooks hooks;
};
// The download thread: waits for start or stop, connects, sends, receives. Returns 0.
plat::DWORD DownloadFileThread(DownloadContext* context);

}  // namespace nb
