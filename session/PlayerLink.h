// The link to the player program, which runs as a process of its own.
//
// Protocol (for makers of players):
// - The player listens on a Unix-domain stream socket named "parvilo-<pid>.sock" in the
//   endpoint folder: $XDG_RUNTIME_DIR when set, else the folder "/tmp/trelvix-<uid>" (mode
//   0700, owned by the user). A player that accepts a connection is ready for input.
// - Both directions carry frames, all numbers little-endian:
//     u32 message, u32 copy-data code, u64 wParam, u64 lParam, u32 length, then length bytes
//     of data (at most 1024).
// - Client to player: 0x004A (copy data) with code 1 and the 1024-byte path block of the
//   file to play (zero-padded), or code 2 and the 32-byte name of the lock; 0x1200 attach
//   (lParam: the client's handle of the download), 0x1202 data added (lParam: bytes appended
//   since the last notice), 0x1203 end (wParam 0 complete, 1 not), 0x1204 stop (lParam
//   0xF0000002 network failure, 0xF0000003 file failure).
// - Player to client: 0x1201 ack (wParam: the player's buffer in KB, 0 for 100 KB), 0x1204
//   stop (send no more notices).
// - The growing file is appended to in whole writes while holding an exclusive flock on
//   "<endpoint folder>/<lock name>.lock"; a player reads it while holding the same lock.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"
#include "session/NetworkBackup.h"

namespace player {

constexpr unsigned WM_COPYDATA = 0x004A;
constexpr std::uint32_t CDS_PLAYFILE = 1;
constexpr std::uint32_t CDS_MUTEXNAME = 2;
constexpr std::size_t kFrameHead = 28;
constexpr std::size_t kMaxFrameData = 1024;

// The player program's file names in the program folder, in the order they are looked for.
inline constexpr const char* kProgramNames[] = {"Parvilo", "parvilo"};

struct Frame {
  std::uint32_t message = 0;
  std::uint32_t code = 0;
  std::uint64_t wParam = 0;
  std::uint64_t lParam = 0;
  std::vector<std::uint8_t> data;
};
std::string EncodeFrame(const Frame& f);
// 1: a frame was taken (`consumed` bytes); 0: more bytes are needed; -1: the bytes are not a
// frame (a length over 1024).
int DecodeFrame(const std::uint8_t* data, std::size_t length, Frame& f, std::size_t& consumed);

// The endpoint folder (made when missing); "" when no usable folder exists.
std::string EndpointFolder();
std::string EndpointName(int pid);  // "parvilo-<pid>.sock"
// Whether a file name is one EndpointName makes (a player's endpoint, not another program's).
bool IsPlayerEndpointName(const std::string& name);

// The shared state of the link (one block of the application record).
struct PlayerLinkBlock {
  std::atomic<std::uint32_t> dw_PlayerProcessId{0};
  std::atomic<plat::HWND> h_PlayerWnd{0};
  std::atomic<int> f_PlayerReady{0};
  std::atomic<int> f_PlayerStopped{0};
  std::atomic<std::uint32_t> dw_PlayerBufferBytes{0};
  std::atomic<int> f_PlayerStarted{0};
  std::atomic<plat::HANDLE> h_NetworkBkMutex{0};
  char sz_NetworkBkMutexName[32] = {};  // GUI thread only
  // Closes the lock (shut-down).
  void Release();
};

// ---- connections ---------------------------------------------------------------------------
// Connects to one endpoint; the handle is a message sink whose posted messages become frames
// to the player (queued, never blocking the poster). 0 on failure. `peerPid` receives the
// player's process id by its peer credentials.
plat::HWND ConnectEndpoint(const std::string& path, std::uint32_t& peerPid);
// The player's process id for a connected handle; 0 once the connection is gone.
std::uint32_t ProcessOfWindow(plat::HWND hwnd);
// Sends a copy-data frame, waiting at most `timeoutMs`; false when it could not be sent.
bool SendCopyData(plat::HWND hwnd, std::uint32_t code, const void* data, std::size_t length, unsigned timeoutMs = 5000);
// Closes the connection of a handle.
void Disconnect(plat::HWND hwnd);

// ---- the finder ----------------------------------------------------------------------------
struct WindowEntry {
  std::string strWindowTitle;
  std::string strClassName;  // the endpoint's file name
  std::string strModuleName;
  std::uint32_t dwProcessId = 0;
  plat::HWND hWnd = 0;
};

class CWindowFinder {
 public:
  CWindowFinder() = default;
  virtual ~CWindowFinder();
  CWindowFinder(const CWindowFinder&) = delete;
  CWindowFinder& operator=(const CWindowFinder&) = delete;

  // The connected handle of the player with this process id; 0 when none. Only the players'
  // endpoints in the folder are listed (IsPlayerEndpointName). An empty listing is retried
  // every 3 s, at most three times.
  plat::HWND FindWindowOfProcess(std::uint32_t processId);
  void SetFolder(const std::string& folder) { m_strFolder = folder; }
  void AddExcludedClass(const std::string& name) { m_arrExcludedClasses.push_back(name); }
  int m_nFilterFlags = 0;

  std::size_t GetCount() const { return m_arrEntries.size(); }
  std::string GetClassNameAt(std::size_t i) const;
  plat::HWND GetWindowAt(std::size_t i) const;
  const WindowEntry* GetEntryAt(std::size_t i) const;

 private:
  void Enumerate();
  bool IsExcluded(const WindowEntry& e) const;
  void Clear();
  std::vector<std::unique_ptr<WindowEntry>> m_arrEntries;
  std::vector<std::string> m_arrExcludedClasses;
  std::string m_strFolder;
  plat::HWND kept_ = 0;  // the handle handed out by the last search
};

// ---- the download's view of the link -------------------------------------------------------
class BackupPlayer : public nb::IBackupPlayer {
 public:
  explicit BackupPlayer(PlayerLinkBlock& link) : link_(link) {}
  bool Linked() const override { return link_.h_PlayerWnd.load() != 0; }
  bool Ready() const override { return link_.f_PlayerReady.load() == 1 && link_.f_PlayerStopped.load() == 0; }
  std::uint32_t BufferBytes() const override { return link_.dw_PlayerBufferBytes.load(); }
  void Post(unsigned msg, std::uint64_t wParam, std::uint64_t lParam) override;
  void LockFile() override;
  void UnlockFile() override;

 private:
  PlayerLinkBlock& link_;
  plat::HANDLE locked_ = 0;
};

// Makes a new lock named "NETWORKBK_<tick>" in the endpoint folder; the name goes into the
// block. False when the lock file cannot be made.
bool CreateBackupLock(PlayerLinkBlock& link);

}  // namespace player
