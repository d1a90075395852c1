// An in-process stand-in for a recorder, for tests and the fake-recorder tool. It listens on
// 127.0.0.1 only, answers one HTTP request per connection the way a recorder does, serves the
// live stream without an HTTP head, answers LAN discovery over UDP, and records every request
// it receives (raw head and body) so tests can assert what the client sent.
//
// It is written apart from the client's parsers on purpose: it reads requests and builds
// replies with its own small code, so a fault shared by both sides cannot hide.
#pragma once
#include "tests/support/FakeFirmware.h"
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fake {

// One request as received.
struct RecordedRequest {
  std::string head;   // request line and headers, through the blank line
  std::string body;   // the bytes after the head (Content-Length of them)
  std::string path;   // "/Login.cgi"
  std::map<std::string, std::string> query;  // decoded by the recorder's own split on & and =
  std::string target() const;                // the request line's second word
};

// A reply the recorder writes for a command, byte by byte as given.
struct RawReply {
  std::string bytes;              // everything sent, head included
  std::vector<std::size_t> cuts;  // send in pieces at these offsets (with a short pause)
  bool closeAfter = true;         // close the connection after sending (else hold it open)
  int delayMs = 0;                // wait before answering
};

// The picture stream of one /Getvideo.cgi connection.
struct StreamSettings {
  enum class HeaderFormat { Auto, V0, V1 } format = HeaderFormat::Auto;  // Auto: V1 once NEWHR=1 was asked
  int width = 320;
  int height = 240;
  int fps = 25;               // 0: as fast as the socket takes them
  int quality = 70;
  std::uint8_t channel = 0;   // 0-based
  std::uint8_t pictureSize = 1;  // 0 full width, else half
  std::optional<std::uint16_t> alarmWord;
  std::optional<std::uint16_t> motionWord;
  std::optional<std::uint16_t> thirdWord;
  bool noImage = false;
  bool k47rLengthCountsHeader = false;  // V1: the frame length includes the header (always on a K47R)
  std::uint32_t dateTime = 476227011;   // packed date-time word
  std::uint32_t timeSteps = 40;         // header time in 5 ms steps
};

// Faults of the stream; several may be combined.
struct StreamFaults {
  int cutAfterFrames = -1;        // close the connection after this many frames
  int stallAfterFrames = -1;      // stop sending (connection stays open) after this many
  bool headerLongerThanData = false;  // the first packet is a header cut short, then a stall
  bool badPictureStart = false;   // pictures do not start with FF D8 FF DB
  bool splitHeaderAndPicture = false;  // header and picture in separate writes
  bool drip = false;              // one byte per write
  bool garbageBeforeFirst = false;  // some bytes ending in FF D9 before the first header
};

// Makes the bytes of one packet (header + picture). The default producer writes the two
// header formats; tests may install their own to send anything they like.
class StreamProducer {
 public:
  virtual ~StreamProducer() = default;
  // `index` counts from 0; `newHeader` is the format the session negotiated. Returns false to
  // end the stream (the connection is closed).
  virtual bool NextPacket(int index, bool newHeader, std::string& packet) = 0;
};

class DefaultStreamProducer : public StreamProducer {
 public:
  explicit DefaultStreamProducer(const StreamSettings& s);
  bool NextPacket(int index, bool newHeader, std::string& packet) override;
  const std::string& Picture() const { return jpeg_; }
  // The header bytes alone, for tests of the client's parser.
  static std::string HeaderV0(const StreamSettings& s, std::uint32_t frameLength);
  static std::string HeaderV1(const StreamSettings& s, std::uint32_t frameLength);

 private:
  StreamSettings settings_;
  std::string jpeg_;
};

// A JPEG picture made with the platform encoder (a gradient with the frame number's stripe).
std::string MakeJpeg(int width, int height, int quality, int seed = 0);

struct Identity {
  std::string user = "admin";
  std::string password = "1234";
  std::string sessionId = "A1B2C3D4E5F6";
  std::string firmware = "1046";
  std::string productId = "K41R";
  std::string mac = "00112233AABB";
  std::string hostName = "recorder";
};

class FakeRecorder {
 public:
  FakeRecorder();
  ~FakeRecorder();
  FakeRecorder(const FakeRecorder&) = delete;
  FakeRecorder& operator=(const FakeRecorder&) = delete;

  // Listens on 127.0.0.1:`port` (0: any free port). False when it cannot listen.
  bool Start(std::uint16_t port = 0);
  void Stop();
  std::uint16_t Port() const { return port_; }

  // ---- behaviour (may be changed while running) ----
  void SetIdentity(const Identity& id);
  Identity GetIdentity() const;
  void SetLoginBusy(bool busy);  // /Login.cgi answered with 202
  // The body of /Getdeviceinfo.cgi; default: LIFETIME, MULTICH, VIDEOMODE, USERLEVEL and the
  // three versions.
  void SetDeviceInfo(const std::string& body);
  // Replaces the answer for one path (a full raw reply, head included).
  void SetRawReply(const std::string& path, const RawReply& reply);
  void ClearRawReply(const std::string& path);
  // A plain 200 reply with this body for a path (other than the built-in ones).
  void SetCommandBody(const std::string& path, const std::string& body);
  void SetStatus500(bool on);              // every command answered with 500
  void RefuseConnectionsFor(int ms);       // stop listening for a while
  void SetNeverAnswer(bool on);            // read the request, then say nothing
  void SetDripReplies(bool on);            // reply bodies sent one byte per write
  void SetSplitReplies(bool on);           // head and body in separate writes

  // ---- configuration sections (stored, served back) ----
  static std::size_t SectionSize(const std::string& option);  // 0 for an unknown name
  std::string Section(const std::string& option) const;
  void SetSection(const std::string& option, const std::string& bytes);
  // Plausible settings instead of patterned bytes: IP 127.0.0.1 with the listening port
  // (call after Start), mask 255.255.255.0, static address; one account (the identity's user
  // and password); everything else zero.
  void SetPlausibleSections();
  // A section's bytes from a file; false (nothing changed) for an unknown name, an unreadable
  // file or a size other than the section's.
  bool LoadSectionFile(const std::string& option, const std::string& path);
  // /SetSysCfg.cgi with this Option is answered 500 and stores nothing.
  void FailSetSysCfg(const std::string& option, bool fail);
  // /Reboot.cgi ends the session (a new identifier; the old one is refused) and refuses
  // connections for `ms` (0: only counted, as before).
  void SetRebootOutage(int ms);
  // The ALL reply for the identity's model (with `online` bytes of ONLINE).
  std::string AllSections(std::size_t online = 240) const;

  // ---- stream ----
  // Picture size and quality are taken when a stream connection starts; the header fields
  // (alarm, motion and third words, channel, time, no-image) are read for every packet.
  void SetStreamSettings(const StreamSettings& s);
  void SetStreamFaults(const StreamFaults& f);
  void SetStreamProducer(std::shared_ptr<StreamProducer> producer);  // null: the default
  bool NewHeaderAsked() const { return newHeaderAsked_; }
  int FramesSent() const { return framesSent_; }

  // ---- firmware (version, uploads, cancels, keep-alive) ----
  FakeFirmware& Firmware() { return firmware_; }

  // ---- what the client sent ----
  std::vector<RecordedRequest> Requests() const;
  std::size_t RequestCount() const;
  void ClearRequests();
  // Waits until at least `n` requests arrived; false after `timeoutMs`.
  bool WaitForRequests(std::size_t n, int timeoutMs) const;
  int RebootCount() const { return reboots_; }

  // ---- LAN discovery (UDP, 127.0.0.1) ----
  // Listens for 76-byte search requests on `listenPort` and answers each to the sender's
  // address on `replyPort` (0: the sender's own port).
  bool StartDiscovery(std::uint16_t listenPort, std::uint16_t replyPort, std::uint8_t deviceType = 50);
  std::uint16_t DiscoveryPort() const { return discoveryPort_; }
  int DiscoveryRequests() const { return discoveryRequests_; }
  // The status byte of set-address and reset replies (default 1, done).
  void SetDiscoveryStatus(std::uint8_t status) { discoveryStatus_ = status; }
  // The last request received, all 76 bytes.
  std::string LastDiscoveryRequest() const;

 private:
  void AcceptLoop();
  void Serve(int fd);
  void ServeStream(int fd);
  void Answer(int fd, const RecordedRequest& req);
  void SendReply(int fd, const std::string& bytes, std::vector<std::size_t> cuts, bool drip);
  bool OpenListener();
  void DiscoveryLoop();

  mutable std::mutex mutex_;
  mutable std::condition_variable requestArrived_;
  std::atomic<bool> stopping_{false};
  FakeFirmware firmware_;
  int listenFd_ = -1;
  int wakePipe_[2] = {-1, -1};
  std::uint16_t port_ = 0;
  std::thread acceptThread_;
  std::vector<std::thread> connections_;
  std::vector<int> openFds_;

  Identity identity_;
  bool loginBusy_ = false;
  std::string deviceInfo_;
  std::map<std::string, RawReply> rawReplies_;
  std::map<std::string, std::string> commandBodies_;
  bool status500_ = false;
  long long refuseUntilMs_ = 0;
  bool neverAnswer_ = false;
  bool dripReplies_ = false;
  bool splitReplies_ = false;
  std::map<std::string, std::string> sections_;
  std::set<std::string> failSetSysCfg_;
  int rebootOutageMs_ = 0;
  StreamSettings streamSettings_;
  StreamFaults streamFaults_;
  std::shared_ptr<StreamProducer> producer_;
  std::atomic<bool> newHeaderAsked_{false};
  std::atomic<int> framesSent_{0};
  std::atomic<int> reboots_{0};
  std::vector<RecordedRequest> requests_;

  int discoveryFd_ = -1;
  std::uint16_t discoveryPort_ = 0;
  std::uint16_t discoveryReplyPort_ = 0;
  std::uint8_t discoveryType_ = 50;
  std::atomic<int> discoveryRequests_{0};
  std::atomic<std::uint8_t> discoveryStatus_{1};
  std::string lastDiscoveryRequest_;  // guarded by mutex_
  std::thread discoveryThread_;
};

}  // namespace fake
