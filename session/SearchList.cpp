#include "session/SearchList.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/bytes.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/SessionRecord.h"

namespace sl {

PendingBackup g_PendingBackup;

RecordKind KindOf(std::uint8_t type) {
  if (type <= 0x0F) return KIND_ALARM;
  if (type <= 0x1F) return KIND_MOTION;
  if (type == 0x20) return KIND_TIMER;
  if (type == 0x30) return KIND_MANUAL;
  if (type == 0xF0) return KIND_SYSTEM;
  return KIND_UNKNOWN;
}

std::size_t ParseSearchPage(const std::uint8_t* data, std::size_t length, std::vector<SearchListRecord>& out,
                            std::size_t maxAppend) {
  if (data == nullptr || length < 4) return 0;
  std::uint16_t announcedBytes = 0;
  plat::ByteReader(data, length).U16At(2, announcedBytes);
  const std::size_t announced = announcedBytes / 16;
  const std::size_t arrived = (length - 4) / 16;
  const std::size_t n = announced < arrived ? announced : arrived;
  for (std::size_t i = 0; i < n && i < maxAppend; ++i) {
    SearchListRecord r;
    for (std::size_t k = 0; k < 16; ++k) r.bytes[k] = data[4 + i * 16 + k];
    out.push_back(r);
  }
  return n;
}

namespace {
struct ListTypeRow {
  const char* text;
  int param;
  const char* caption;
  Filters filters;
};
const ListTypeRow kListTypes[] = {
    {"ALL", 8, "Full Record List", {true, true, true, true}},
    {"MANUAL", 3, "Manual Record List", {false, true, false, false}},
    {"SYSTEM", 15, "System Record List", {false, false, false, true}},
    {"ALARM", 0, "Alarm Record List", {true, false, false, false}},
    {"MOTION", 1, "Motion Record List", {false, false, true, false}},
};
bool InRange(int position) { return position >= 0 && position < 5; }
}  // namespace

const char* ListTypeText(int position) { return InRange(position) ? kListTypes[position].text : ""; }
int ListTypeParam(int position) { return InRange(position) ? kListTypes[position].param : -1; }
const char* ListCaption(int position) { return InRange(position) ? kListTypes[position].caption : ""; }
Filters FiltersOfListType(int position) { return InRange(position) ? kListTypes[position].filters : Filters{}; }

bool IsVisible(const SearchListRecord& r, const Filters& f) {
  switch (KindOf(r.Type())) {
    case KIND_ALARM: return f.alarm;
    case KIND_MOTION: return f.motion;
    case KIND_MANUAL: return f.manual;
    case KIND_SYSTEM: return f.system;
    case KIND_TIMER: return f.alarm && f.manual && f.motion && f.system;
    case KIND_UNKNOWN: return false;
  }
  return false;
}

std::string EventText(const SearchListRecord& r) {
  switch (KindOf(r.Type())) {
    case KIND_ALARM: return "ALARM";
    case KIND_MOTION: return "MOTION";
    case KIND_TIMER: return "TIMER";
    case KIND_MANUAL: return "MANUAL";
    case KIND_SYSTEM: return "SYSTEM";
    case KIND_UNKNOWN: break;
  }
  return "";
}

std::string ChannelText(const SearchListRecord& r) {
  const RecordKind k = KindOf(r.Type());
  if (k == KIND_ALARM || k == KIND_MOTION) {
    char text[8];
    std::snprintf(text, sizeof text, "%2d", (r.Type() & 0x0F) + 1);
    return text;
  }
  return k == KIND_UNKNOWN ? "" : "ALL";
}

std::string TimeText(const SearchListRecord& r) {
  char text[48];
  std::snprintf(text, sizeof text, "%.4d-%.2d-%.2d  %.2d:%.2d:%.2d", 2000 + r.bytes[8], r.bytes[9], r.bytes[10],
                r.bytes[11], r.bytes[12], r.bytes[13]);
  return text;
}

std::size_t RowToRecord(const std::vector<SearchListRecord>& records, const Filters& f, int row) {
  int count = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (IsVisible(records[i], f) && ++count == row + 1) return i;
  }
  return 0;
}

void HandOver(const SearchListRecord& r, std::uint8_t hddIndex) {
  g_PendingBackup.Clear();
  auto& b = g_PendingBackup.bytes;
  b[8] = hddIndex;
  const std::uint8_t type = r.Type();
  switch (KindOf(type)) {
    case KIND_ALARM: b[1] = 0; b[9] = static_cast<std::uint8_t>((type & 0x0F) + 1); break;
    case KIND_MOTION: b[1] = 1; b[9] = static_cast<std::uint8_t>((type & 0x0F) + 1); break;
    case KIND_MANUAL: b[1] = 3; break;
    case KIND_SYSTEM: b[1] = 15; break;
    default: break;
  }
  for (int i = 0; i < 6; ++i) b[static_cast<std::size_t>(2 + i)] = r.bytes[static_cast<std::size_t>(8 + i)];
  b[0] = 1;
}

FetchResult FetchSearchList(int hddNumber, int listType, unsigned maxNumber, std::vector<SearchListRecord>& records,
                            const std::function<void(unsigned)>& progress, const std::function<void()>& pause) {
  records.clear();
  auto buffer = std::make_unique<std::uint8_t[]>(kPageBuffer);
  while (records.size() < maxNumber) {
    CCgiRequest request(CGI_GETSEARCHLIST);
    request.AddCookie(GetSessionId());
    request.AddParam("STATE", records.empty() ? "LAST" : "PREV");
    request.AddParamInt("HDD", hddNumber);
    if (ListTypeParam(listType) >= 0) request.AddParamInt("TYPE", ListTypeParam(listType));
    std::fill(buffer.get(), buffer.get() + kPageBuffer, std::uint8_t{0});
    plat::DWORD length = 0;
    if (!ZududSendCommand(request, nullptr, 0, nullptr, buffer.get(), kPageBuffer, &length, 15, 15)) {
      return FetchResult::Failed;
    }
    const std::size_t n = ParseSearchPage(buffer.get(), length, records, maxNumber - records.size());
    if (n > 0 && progress) progress(static_cast<unsigned>(records.size()));
    if (n < 10) {
      if (pause) pause();
      break;
    }
  }
  return FetchResult::Ok;
}

std::string PlaybackSearchTarget(const PlaybackSearch& s, const std::string& sessionId) {
  CCgiRequest request(CGI_SEARCHPLAYBACK);
  request.AddCookie(sessionId);
  request.AddParam("searchType", s.timeSearch ? "time" : "event");
  if (!s.timeSearch) {
    request.AddParamInt("channelNum", s.channel);
    request.AddParam("eventType", s.alarm ? "0" : "1");
  }
  request.AddParamInt("year", s.year - 2000);
  request.AddParamInt("month", s.month);
  request.AddParamInt("day", s.day);
  request.AddParamInt("hour", s.hour);
  request.AddParamInt("min", s.minute);
  request.AddParamInt("sec", s.second);
  request.AddParam("hddNum", s.hddNum);
  return request.Url();
}

bool SendPlaybackSearch(const PlaybackSearch& s) {
  const std::string target = PlaybackSearchTarget(s, GetSessionId());
  std::uint8_t reply[1024];
  plat::DWORD length = 0;
  return ZududSendCommand(CGI_SEARCHPLAYBACK, target.c_str(), target.size(), nullptr, 0, nullptr, 0, reply,
                          sizeof reply, &length, 15, 15) != 0;
}

}  // namespace sl
