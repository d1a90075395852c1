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
  // The recorder's R.E.T.R. state (panel byte) and, V1 only, its image-sensor state byte.
  // The recorder fills both from its own state when it reports them (see below).
  std::optional<std::uint8_t> panelMode;
  std::optional<std::uint8_t> sensorState;
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

// The recorder's event log: /Getlog.cgi answers "COUNT=n;" to STATE=COUNT, then pages of
// 32-byte records of the model's family, newest first: STATE=LAST starts again from the
// newest, every STATE=PRE goes on from where the session's last page ended.
struct EventLogSettings {
  int records = 45;       // records the log holds
  int pageRecords = 30;   // whole records per page
  std::uint32_t seed = 1;
  std::optional<std::string> countReply;  // the count reply's body instead of "COUNT=n;"
  int trailingBytes = 0;  // bytes after the whole records of every page
  int failPage = -1;      // this page of a session (0 = LAST) is answered 500
  int stallPage = -1;     // this page is never answered (the connection stays open)
  bool failClear = false; // /ClearLog.cgi answered 500 (the log is kept)
};

struct Identity {
  std::string user = "admin";
  std::string password = "1234";
  std::string sessionId = "A1B2C3D4E5F6";
  std::string firmware = "1046";
  std::string productId = "K41R";
  std::string mac = "00112233AABB";
  std::string hostName = "recorder";
};


// ---- recordings: disk list, search list, playback search, network backup ----
// A backup reply: the data in chunks, then its end; faults for the client's error paths.
struct BackupSettings {
  std::size_t totalBytes = 65536;  // the recording's bytes (made from the request's query)
  std::size_t chunkSize = 2048;    // payload per data chunk (any size)
  enum class End { EndChunk, Abort, Close, Stall } end = End::EndChunk;
  std::vector<std::size_t> foreignBefore;  // a chunk of type 9 with a length but no payload before these chunks
  int cutInsideChunk = -1;   // close halfway through this data chunk's payload
  int stallAfterChunks = -1; // after this many chunks send nothing more (connection held)
  int pauseMsPerChunk = 0;
  bool httpHead = false;     // refuse with an HTTP head (as a recorder that rejects the command)
};
struct RecordingsSettings {
  std::string diskReply = std::string("\x05", 1) + std::string(32, '\0');  // MASTER1 and MASTER2
  std::map<int, std::vector<std::string>> lists;  // disk number -> 16-byte records, oldest first
  int pageSize = 20;
  std::string pageTail;   // bytes after the records of every page
  int announceExtra = 0;  // added to the page's announced size
  bool failDiskList = false;
  bool failSearchList = false;
  bool failPlayback = false;
  // /GetSearchList.cgi requests are held unanswered until a SetRecordings without the hold,
  // or the recorder's stop (HeldSearchLists counts the waiting ones).
  bool holdSearchList = false;
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
  // A plain 200 reply with this body for a path (other than login, stream and sections; for
  // the operator-command paths it replaces the recorder's own answer).
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
  // The capability word of the INF section (bytes 20 to 23, little-endian).
  void SetCapabilityWord(std::uint32_t word);
  // MULTICH of /Getdeviceinfo.cgi (the rest of the device information stays).
  void SetMultiChannel(int value);
  // The ALL reply for the identity's model (with `online` bytes of ONLINE).
  std::string AllSections(std::size_t online = 240) const;

  // ---- the recorder's own date and record settings ----
  // /GetDvrDate.cgi answers its 20 keys in their order from the clock and the daylight-saving
  // rule; /SetDvrDate.cgi changes the groups its change flags name. /GetRecordSetting.cgi
  // answers its 13 keys; /SetRecordSetting.cgi stores each value whose flag is 1 (RECORDFIX
  // with CHIPSSHARE). /SyncTime.cgi with Mode 0 sets the clock; with Mode 1 it fills SNTP
  // bytes 2, 3, 5, 6 and 8-35.
  // Start values from "KEY=value;..." text (keys not named keep theirs; unknown keys ignored).
  void SetDvrDateValues(const std::string& pairs);
  void SetRecordSettingValues(const std::string& pairs);
  int DvrDateValue(const std::string& key) const;        // -1 for an unknown key
  int RecordSettingValue(const std::string& key) const;  // -1 for an unknown key
  // Every request to this path is answered 500 (for example "/GetDvrDate.cgi").
  void FailCommand(const std::string& path, bool fail);
  // ---- event log ----
  void SetEventLog(const EventLogSettings& log);
  EventLogSettings GetEventLog() const;
  // The records of a log, newest first, for the model's family (K41R, K42R, K43R: the DVR
  // codes; others: the video-server codes), made from the seed.
  static std::string EventLogRecords(const std::string& productId, std::uint32_t seed, int count);
  int ClearLogCount() const { return clearLogs_; }

  // ---- stream ----
  // Picture size and quality are taken when a stream connection starts; the header fields
  // (alarm, motion and third words, channel, time, no-image) are read for every packet.
  void SetStreamSettings(const StreamSettings& s);
  void SetStreamFaults(const StreamFaults& f);
  void SetStreamProducer(std::shared_ptr<StreamProducer> producer);  // null: the default
  bool NewHeaderAsked() const { return newHeaderAsked_; }
  int FramesSent() const { return framesSent_; }

  // ---- operator commands ----
  // /Setresolution.cgi and /Setquality.cgi store RES and QUA (answered 400 without them). A
  // size given for a RES value is the picture size of the stream from the next frame on.
  void SetResolutionSize(int res, int width, int height);
  int Resolution() const;
  int Quality() const;
  // /GetColor.cgi answers the stored values, each key only when it has a value (a model's
  // start values: video servers CON=128, BRI=0, HUE=0; other recorders 128 for all three).
  // /SetColor.cgi stores CON, BRI and HUE.
  struct Color {
    std::optional<int> contrast, brightness, hue;
  };
  void SetColor(const Color& c);
  Color GetColor() const;
  // /PTZReset.cgi answers this body as it stands (malformed lists too); default: no slaves.
  void SetPtzSlaveReply(const std::string& body);
  // /SetRetr.cgi stores SET as the R.E.T.R. state. With reporting on, the state is the RETR
  // key of the device information and the panel byte of every frame header.
  void SetRetrState(std::uint8_t state);
  std::uint8_t RetrState() const;
  void SetReportRetr(bool on);
  // /OV9653Zoom.cgi (MODE 0-5) and /OV9653Rotate.cgi (HR, VR 0/1) change the sensor state
  // byte that a K47R's V1 headers carry: bits 0-3 the mode, 0x80 HR, 0x40 VR.
  void SetSensorState(std::uint8_t state);
  std::uint8_t SensorState() const;
  // /RS485Cmd.cgi bodies are checked (N + 3 bytes, answered 400 otherwise); the accepted ones.
  std::vector<std::string> Rs485Bodies() const;
  static Color StartColor(const std::string& productId);
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

  // ---- recordings ----
  void SetRecordings(const RecordingsSettings& r);
  void SetBackup(const BackupSettings& b);
  // The bytes a backup request with this query carries (fixed by the request).
  static std::string BackupBytes(const std::string& query, std::size_t size);
  int RunningBackups() const { return runningBackups_; }
  int HeldSearchLists() const { return heldSearchLists_; }
  int CancelledBackups() const { return cancelledBackups_; }
  // A 16-byte search-list record.
  static std::string SearchRecord(std::uint8_t type, int year, int month, int day, int hour, int minute, int second);

 private:
  bool RecordingsReply(const RecordedRequest& req, std::string& reply);  // under mutex_
  void ServeBackup(int fd, const RecordedRequest& req);
  RecordingsSettings recordings_;
  BackupSettings backup_;
  std::map<int, std::size_t> listCursor_;
  std::atomic<int> runningBackups_{0};
  std::atomic<int> cancelledBackups_{0};
  std::atomic<int> backupGeneration_{0};
  std::atomic<int> heldSearchLists_{0};
  std::condition_variable holdChanged_;  // with mutex_

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
  std::vector<std::pair<std::string, int>> dvrDate_;
  std::vector<std::pair<std::string, int>> recordSetting_;
  std::set<std::string> failCommands_;
  StreamSettings streamSettings_;
  StreamFaults streamFaults_;
  std::shared_ptr<StreamProducer> producer_;
  std::atomic<bool> newHeaderAsked_{false};
  std::atomic<int> framesSent_{0};
  std::atomic<int> reboots_{0};
  std::vector<RecordedRequest> requests_;
  std::map<int, std::pair<int, int>> resolutionSizes_;
  int resolution_ = 0;
  int quality_ = 0;
  std::optional<Color> color_;  // unset: the model's start values
  std::string ptzSlaveReply_ = "SLAVENUM=0;";
  std::uint8_t retrState_ = 0;
  bool reportRetr_ = false;
  std::uint8_t sensorState_ = 0;
  std::vector<std::string> rs485Bodies_;
  // Event log and the sessions' page positions; ONLINE made from the logins.
  EventLogSettings eventLog_;
  std::map<std::string, int> logPage_;  // session -> pages served since its LAST
  std::atomic<int> clearLogs_{0};
  bool onlineFromLogins_ = false;
  std::vector<std::string> onlineUsers_;
  bool AnswerEventLog(int fd, const RecordedRequest& req, std::unique_lock<std::mutex>& lock,
                      const std::function<void(const std::string&)>& send);
  void HoldConnection(int fd);

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
