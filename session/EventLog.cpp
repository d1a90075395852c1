#include "session/EventLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/bytes.h"
#include "platform/kernel.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/ProgressJobs.h"
#include "session/SessionRecord.h"

namespace {

bool LogCancelled(plat::HANDLE event) { return plat::WaitForSingleObject(event, 0) == plat::WAIT_OBJECT_0; }

void LogProgress(const ServerLogJob& job, int code, int value) {
  if (job.progress) job.progress(code, value);
}

void PostLogDone(const ServerLogJob& job, int code) { plat::PostMessage(job.notify, WM_SERVERLOGDONE, code, 0); }

}  // namespace

std::uint32_t EventLogId(const std::uint8_t* r) {
  std::uint32_t id = 0;
  plat::ByteReader(r, kEventLogRecordSize).U32(id);
  return id;
}

bool ParseLogCount(const char* text, std::size_t length, std::uint32_t& count) {
  const std::string_view s(text, length);
  const std::size_t p = s.find("COUNT");
  if (p == std::string_view::npos) return false;
  const std::size_t q = s.find(';', p);
  if (q == std::string_view::npos) return false;
  // The number sits behind "COUNT" and the equals sign.
  std::string_view number = q > p + 6 ? s.substr(p + 6, q - p - 6) : std::string_view();
  std::size_t i = 0;
  while (i < number.size() && (number[i] == ' ' || number[i] == '\t')) ++i;
  bool negative = false;
  if (i < number.size() && (number[i] == '+' || number[i] == '-')) negative = number[i++] == '-';
  std::uint64_t value = 0;
  for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
    value = value * 10 + static_cast<unsigned>(number[i] - '0');
    if (value > std::numeric_limits<std::uint32_t>::max()) value = std::numeric_limits<std::uint32_t>::max();
  }
  const auto v = static_cast<std::uint32_t>(value);
  count = negative ? 0u - v : v;
  return true;
}

std::size_t PageRecordCount(std::size_t replyLength, std::size_t stored) {
  const std::size_t free = stored < kEventLogMaxRecords ? kEventLogMaxRecords - stored : 0;
  return std::min(replyLength / kEventLogRecordSize, free);
}

int Get_Server_Log_Thread(const ServerLogJob& job) {
  // 1. The count.
  char countReply[kLogCountReplyRead + 1] = {};
  plat::DWORD length = 0;
  CCgiRequest request(CGI_GETLOG);
  request.AddCookie(job.sessionId);
  request.AddParam("STATE", "COUNT");
  std::uint32_t n = 0;
  if (!ZududSendCommand(request, nullptr, 0, nullptr, reinterpret_cast<std::uint8_t*>(countReply),
                        kLogCountReplyRead, &length, kEventLogTimeoutSec, kEventLogTimeoutSec) ||
      !ParseLogCount(countReply, std::min<std::size_t>(length, kLogCountReplyRead), n)) {
    PostLogDone(job, SERVERLOG_FAILED);
    return SERVERLOG_FAILED;
  }
  request.Reset();
  // 2. Nothing to fetch: a reported 0, or a maximum of 0.
  const auto maximum = static_cast<std::uint32_t>(std::clamp(job.maxLogList, 0, kMaxLogListLimit));
  if (n > maximum) n = maximum;
  if (n == 0) {
    PostLogDone(job, SERVERLOG_EMPTY);
    return SERVERLOG_EMPTY;
  }
  LogProgress(job, PROGRESS_JOB_EMPTY, 0);
  LogProgress(job, PROGRESS_JOB_MAXIMUM, static_cast<int>(n));

  // 3. Pages, each read straight into the free slots of the buffer.
  std::uint32_t total = 0;
  job.count->store(0);
  bool first = true;
  for (;;) {
    if (LogCancelled(job.cancelEvent)) {
      LogProgress(job, PROGRESS_JOB_CLEAR, 0);
      return 0;
    }
    request.AddCookie(job.sessionId);
    request.AddParam("STATE", first ? "LAST" : "PRE");
    first = false;
    const std::size_t freeBytes = (kEventLogMaxRecords - total) * kEventLogRecordSize;
    plat::DWORD got = 0;
    const int sent = ZududSendCommand(request, nullptr, 0, nullptr, job.buffer + total * kEventLogRecordSize,
                                      freeBytes, &got, kEventLogTimeoutSec, kEventLogTimeoutSec,
                                      kSendFlagTruncateReply);
    if (!sent) {
      LogProgress(job, PROGRESS_JOB_CLEAR, 0);
      if (LogCancelled(job.cancelEvent)) return 0;
      PostLogDone(job, SERVERLOG_FAILED);
      return SERVERLOG_FAILED;
    }
    if (LogCancelled(job.cancelEvent)) {
      LogProgress(job, PROGRESS_JOB_CLEAR, 0);
      return 0;
    }
    const auto k = static_cast<std::uint32_t>(PageRecordCount(got, total));
    if (k == 0) break;
    total += k;
    job.count->store(total);
    if (k < kEventLogFullPage) break;
    request.Reset();
    LogProgress(job, PROGRESS_JOB_VALUE, static_cast<int>(total));
    if (total >= kEventLogMaxRecords || total >= n) break;
  }
  if (job.count->load() > n) job.count->store(n);
  LogProgress(job, PROGRESS_JOB_CLEAR, 0);
  PostLogDone(job, SERVERLOG_RECORDS);
  return SERVERLOG_RECORDS;
}

int SendClearLog() {
  CCgiRequest request(CGI_CLEARLOG);
  request.AddCookie(GetSessionId());
  return ZududSendCommand(request, nullptr, 0, nullptr, nullptr, 0, nullptr, kEventLogTimeoutSec, kEventLogTimeoutSec);
}

// ---- texts ----

namespace {

struct EventText {
  std::uint32_t id;
  const char* text;
};

constexpr EventText kDvrEvents[] = {
    {0x1, "POWER ON"},       {0x2, "VIDEO LOSS"},   {0x4, "HDD FULL"},          {0x8, "EMAIL FAILED"},
    {0x10, "FTP FAILED"},    {0x20, "KEY LOCK"},    {0x40, "KEY UNLOCK"},       {0x80, "RESET DEFAULT"},
    {0x200, "HDD ERROR"},    {0x400, "HDD DMA ERROR"}, {0x800, "USB_ERROR"},    {0x8000, "PPPOE SUCCESS"},
    {0x10000, "DHCP SUCCESS"},
};

constexpr EventText kServerEvents[] = {
    {0x1, "POWER ON"},        {0x2, "RESET DEFAULT"},  {0x100, "EMAIL SUCCESS"}, {0x200, "FTP SUCCESS"},
    {0x1000, "PPPOE SUCCESS"}, {0x10000, "EMAIL FAILED"}, {0x20000, "FTP FAILED"}, {0x40000, "SNTP FAILED"},
    {0x100000, "PPPOE FAILED"},
};

std::string LogUserName(const std::uint8_t* r) {
  const char* name = reinterpret_cast<const char*>(r + 11);
  return std::string(name, strnlen(name, 16));
}

std::string WithLogUser(const char* word, const std::uint8_t* r) { return std::string(word) + " ( " + LogUserName(r) + " )"; }

}  // namespace

std::uint32_t EventLogInitialMask(EventLogFamily family) {
  return family == EventLogFamily::Dvr ? kDvrLogInitialMask : kServerLogInitialMask;
}

std::string FormatEventName(EventLogFamily family, const std::uint8_t* r) {
  const std::uint32_t id = EventLogId(r);
  if (family == EventLogFamily::Dvr) {
    if (id == 0x100) return WithLogUser("REMOTE LOGIN", r);
    if (id == 0x4000) return r[27] != 0 ? "DDNS UPDATE SUCCESS" : "DDNS UPDATE FAIL";
    for (const EventText& e : kDvrEvents) {
      if (e.id == id) return e.text;
    }
    return "NO EVENT";
  }
  if (id == 0x4) {
    for (int bit = 0; bit < 8; ++bit) {
      if (r[10] & (1u << bit)) return "ALARM (" + std::to_string(bit + 1) + ")";
    }
    return "ALARM";
  }
  if (id == 0x10) return WithLogUser("REMOTE LOGIN", r);
  if (id == 0x20) return WithLogUser("REMOTE LOGOUT", r);
  for (const EventText& e : kServerEvents) {
    if (e.id == id) return e.text;
  }
  return "NO EVENT";
}

std::string FormatEventTime(EventLogFamily family, const std::uint8_t* r) {
  if (family == EventLogFamily::Server && (EventLogId(r) & 0x1) != 0) return std::string();
  char text[40];
  std::snprintf(text, sizeof text, "%.2d-%.2d-%.2d %.2d:%.2d:%.2d", r[4], r[5], r[6], r[7], r[8], r[9]);
  return text;
}

std::string FormatEventChannel(const std::uint8_t* r) { return r[10] != 0 ? std::to_string(r[10]) : "NO"; }

bool IsEventListed(std::uint32_t eventId, std::uint32_t mask) {
  return (eventId & mask) != 0 && eventId != kEventLogHidden;
}

void ListEventLog(EventLogFamily family, const std::uint8_t* records, std::uint32_t count, std::uint32_t mask,
                  std::vector<EventLogRow>& rows) {
  rows.clear();
  if (records == nullptr) return;
  count = std::min<std::uint32_t>(count, kEventLogMaxRecords);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* r = records + i * kEventLogRecordSize;
    if (!IsEventListed(EventLogId(r), mask)) continue;
    EventLogRow row;
    char number[16];
    std::snprintf(number, sizeof number, "%2d", static_cast<int>(rows.size() + 1));
    row.number = number;
    row.event = FormatEventName(family, r);
    row.time = FormatEventTime(family, r);
    if (family == EventLogFamily::Dvr) row.channel = FormatEventChannel(r);
    rows.push_back(std::move(row));
  }
}
