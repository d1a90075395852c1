// A page of the recorder's search list: any bytes. No more records than arrived or were
// announced, and every record's texts and hand-over stay within their fields.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "session/SearchList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> copy(data, data + size);
  std::vector<sl::SearchListRecord> records;
  const std::size_t n = sl::ParseSearchPage(copy.data(), copy.size(), records);
  if (n != records.size()) __builtin_trap();
  if (size >= 4 && n > (size - 4) / 16) __builtin_trap();
  const sl::Filters all = sl::FiltersOfListType(0);
  for (const auto& r : records) {
    if (sl::TimeText(r).size() > 40 || sl::ChannelText(r).size() > 3) __builtin_trap();
    sl::HandOver(r, 0);
    if (!sl::g_PendingBackup.Pending() || sl::g_PendingBackup.bytes[9] > 16) __builtin_trap();
  }
  if (!records.empty() && sl::RowToRecord(records, all, static_cast<int>(records.size())) >= records.size()) __builtin_trap();
  return 0;
}
