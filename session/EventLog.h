// The recorder's event log: the 32-byte record, the count reply, the download thread that
// fetches the records page by page into a caller's buffer, the request that clears the log,
// and the texts the two viewers list. The download reports through a progress callback
// (PROGRESS_JOB_* of session/ProgressJobs.h) and a posted message.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "platform/messages.h"
#include "platform/types.h"

// One record, stored exactly as received (little-endian fields):
//   0 event_id (u32), 4..6 date bytes, 7 hour, 8 minute, 9 second, 10 channel or alarm
//   inputs, 11..26 user name (NUL-ended or 16 bytes), 27 DDNS result, 28..31 unused.
constexpr std::size_t kEventLogRecordSize = 32;
constexpr std::size_t kEventLogMaxRecords = 2048;
constexpr std::size_t kEventLogBufferSize = kEventLogRecordSize * kEventLogMaxRecords;  // 65,536
constexpr std::size_t kEventLogFullPage = 30;   // a page with fewer records is the last one
constexpr std::size_t kLogCountReplyRead = 255;  // the count reply is read into 255 bytes (and a zero)
constexpr int kEventLogTimeoutSec = 15;
constexpr int kMaxLogListDefault = 300;
constexpr int kMaxLogListLimit = 2048;
constexpr std::uint32_t kEventLogHidden = 0xFFFF;  // a record no viewer lists

// WM_SERVERLOGDONE (core/Messages.h) is posted to the General page when a download ends (not
// when it was cancelled).
enum ServerLogResult : int {
  SERVERLOG_RECORDS = 1,  // the records are in the buffer
  SERVERLOG_EMPTY = 2,    // the recorder holds none
  SERVERLOG_FAILED = 4,   // the count or a page could not be read
};

std::uint32_t EventLogId(const std::uint8_t* record);

// The count reply "COUNT=n;": the number between "COUNT=" and the first ";" after "COUNT"
// (leading blanks and one sign skipped, digits up to the first other character, no digit
// reads 0, a number past 32 bits saturates; a negative number is taken as its 32-bit
// pattern). False when "COUNT" or the ";" behind it is missing.
bool ParseLogCount(const char* text, std::size_t length, std::uint32_t& count);

// The whole records of a page reply of `replyLength` bytes that fit the buffer behind
// `stored` records (a trailing part of a record is not counted).
std::size_t PageRecordCount(std::size_t replyLength, std::size_t stored);

// What one download needs: the operator's maximum, the cancel event, the record buffer
// (kEventLogBufferSize bytes) and the count it fills, and where it reports.
struct ServerLogJob {
  int maxLogList = kMaxLogListDefault;
  plat::HANDLE cancelEvent = 0;
  std::uint8_t* buffer = nullptr;
  std::atomic<std::uint32_t>* count = nullptr;
  plat::HWND notify = 0;  // receives WM_SERVERLOGDONE
  std::string sessionId;
  // Progress jobs (job, value) for the sheet's bar; a job write never waits on a
  // cancellable object.
  std::function<void(int, int)> progress;
};

// The download (runs on its own thread; also callable directly). Answers the code it posted,
// or 0 when it ended because the cancel event was set (nothing posted).
int Get_Server_Log_Thread(const ServerLogJob& job);

// The request that empties the recorder's log (15 s to send, 15 s to receive); 1 on a 200
// reply.
int SendClearLog();

// ---- the viewers' texts ----

enum class EventLogFamily { Dvr, Server };
constexpr std::uint32_t kDvrLogInitialMask = 0x1CFFF;
constexpr std::uint32_t kServerLogInitialMask = 0x7F7F37;

std::uint32_t EventLogInitialMask(EventLogFamily family);

std::string FormatEventName(EventLogFamily family, const std::uint8_t* record);
// "%.2d-%.2d-%.2d %.2d:%.2d:%.2d" of bytes 4..9; empty for a video-server record with bit 0x1.
std::string FormatEventTime(EventLogFamily family, const std::uint8_t* record);
// DVR channel: "%d" of byte 10, "NO" for 0.
std::string FormatEventChannel(const std::uint8_t* record);
bool IsEventListed(std::uint32_t eventId, std::uint32_t mask);

struct EventLogRow {
  std::string number;
  std::string event;
  std::string time;
  std::string channel;  // DVR only
};
// The rows a viewer lists through `mask`, numbered from 1. `count` is cut to the buffer's
// kEventLogMaxRecords.
void ListEventLog(EventLogFamily family, const std::uint8_t* records, std::uint32_t count, std::uint32_t mask,
                  std::vector<EventLogRow>& rows);
