// The firmware side of the fake recorder: /GetVersion.cgi, the chunked /UpgradeFW.cgi
// components, raw /UpgradeFW2.cgi uploads, the two cancel requests and the silent keep-alive
// /Getvideo.cgi?...&Fake=1 connection. It keeps every component it received.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace fake {

struct RecordedRequest;

struct ReceivedComponent {
  bool raw = false;          // /UpgradeFW2.cgi
  std::string type;          // Type as sent ("" when none)
  std::uint64_t declaredSize = 0;
  std::string bytes;
  bool reboot = false;       // Reboot=1 or REBOOT=1
  bool finished = false;     // chunked: closed by Finished (false: complete with its Start)
};

class FakeFirmware {
 public:
  enum class ChunkFault { None, Status, Drop, Stall };

  // Whether the request is one of the firmware side's.
  static bool Handles(const RecordedRequest& req);
  // Answers it on `fd` (the request head and what came with it already read).
  void Serve(int fd, const RecordedRequest& req, const std::atomic<bool>& stopping);

  void SetVersion(const std::string& text);
  // The k-th /UpgradeFW.cgi data request (1-based, cancels not counted) fails: answered with
  // `status`, dropped after reading (no reply), or never answered.
  void FailChunk(int k, ChunkFault fault, int status = 500);
  // A raw upload's connection is closed after its head.
  void FailRawUploads(bool on);

  std::vector<ReceivedComponent> Components() const;
  bool HasOpenComponent() const;
  int Cancels() const;
  int ChunkRequests() const;
  std::vector<std::string> KeepAliveHeads() const;
  int KeepAlivesOpen() const;
  // Waits until no keep-alive connection is open any more; false after `timeoutMs`.
  bool WaitKeepAlivesClosed(int timeoutMs) const;
  // Waits until `count` components are kept and gives the size of the last; 0 after `timeoutMs`.
  std::size_t WaitComponents(std::size_t count, int timeoutMs) const;
  void Clear();

 private:
  void ServeChunk(int fd, const RecordedRequest& req, const std::atomic<bool>& stopping);
  void ServeRaw(int fd, const RecordedRequest& req, const std::atomic<bool>& stopping);

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::string version_ = "Version 3.1.4 Build 0926";
  int failChunk_ = 0;
  ChunkFault fault_ = ChunkFault::None;
  int faultStatus_ = 500;
  bool failRaw_ = false;
  int chunkRequests_ = 0;
  int cancels_ = 0;
  bool open_ = false;
  ReceivedComponent current_;
  std::vector<ReceivedComponent> components_;
  std::vector<std::string> keepAliveHeads_;
  int keepAlivesOpen_ = 0;
};

}  // namespace fake
