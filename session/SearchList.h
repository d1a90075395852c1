// The recorder's list of recordings (/GetSearchList.cgi), read page by page from the last one
// back, its records and filters, the hand-over of a picked recording to the network backup,
// and the playback search request (/SearchPlayBack.cgi).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sl {

// One 16-byte record: byte 7 the type, bytes 8..13 year - 2000, month, day, hour, minute, second.
struct SearchListRecord {
  std::array<std::uint8_t, 16> bytes{};
  std::uint8_t Type() const { return bytes[7]; }
};

enum RecordKind { KIND_ALARM, KIND_MOTION, KIND_TIMER, KIND_MANUAL, KIND_SYSTEM, KIND_UNKNOWN };
RecordKind KindOf(std::uint8_t type);

// A page's records: n = min(wBuffeSize / 16, records that arrived after the 4-byte head).
// Answers n (0 for a reply shorter than its head).
std::size_t ParseSearchPage(const std::uint8_t* data, std::size_t length, std::vector<SearchListRecord>& out,
                            std::size_t maxAppend = SIZE_MAX);
// The page buffer holds what the 16-bit size can announce.
constexpr std::size_t kPageBuffer = 4 + 65535;
constexpr unsigned kMaxListNumber = 2048;

// List types by combo position: "ALL", "MANUAL", "SYSTEM", "ALARM", "MOTION".
const char* ListTypeText(int position);
int ListTypeParam(int position);      // 8, 3, 15, 0, 1; -1 outside 0..4 (no TYPE sent)
const char* ListCaption(int position);  // "" outside 0..4

struct Filters {
  bool alarm = false, manual = false, motion = false, system = false;
};
Filters FiltersOfListType(int position);
bool IsVisible(const SearchListRecord& r, const Filters& f);
std::string EventText(const SearchListRecord& r);
std::string ChannelText(const SearchListRecord& r);
std::string TimeText(const SearchListRecord& r);
// The record index of visible row `row`, 0 when there is none.
std::size_t RowToRecord(const std::vector<SearchListRecord>& records, const Filters& f, int row);

// The pending hand-over to the backup page (GUI thread only).
struct PendingBackup {
  std::array<std::uint8_t, 10> bytes{};
  bool Pending() const { return bytes[0] == 1; }
  void Clear() { bytes.fill(0); }
};
extern PendingBackup g_PendingBackup;
void HandOver(const SearchListRecord& r, std::uint8_t hddIndex);

// Reads the list: "LAST" then "PREV" pages until `maxNumber` records or a page of fewer than
// 10. `progress(count)` after each page; `pause()` waits the 500 ms after the last page.
enum class FetchResult { Ok, Failed };
FetchResult FetchSearchList(int hddNumber, int listType, unsigned maxNumber, std::vector<SearchListRecord>& records,
                            const std::function<void(unsigned)>& progress, const std::function<void()>& pause);

// Playback search.
struct PlaybackSearch {
  bool timeSearch = false;
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  std::string hddNum;  // a disk number in decimal, or "ALL"
  int channel = 0;     // 0-based position
  bool alarm = true;   // event type ALARM (else MOTION)
};
std::string PlaybackSearchTarget(const PlaybackSearch& s, const std::string& sessionId);
bool SendPlaybackSearch(const PlaybackSearch& s);

}  // namespace sl
