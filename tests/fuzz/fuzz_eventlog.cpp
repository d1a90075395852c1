// The event log's inputs: the count reply (any text), page lengths, and records of any bytes
// listed and formatted by both viewers' rules.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "session/EventLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint32_t count = 0;
  ParseLogCount(reinterpret_cast<const char*>(data), size, count);
  // Page splitting: never more records than the buffer has free slots.
  std::size_t stored = 0;
  for (std::size_t i = 0; i + 2 <= size && i < 64; i += 2) {
    const std::size_t length = static_cast<std::size_t>(data[i]) << 8 | data[i + 1];
    const std::size_t k = PageRecordCount(length * 8, stored);
    if (k * kEventLogRecordSize > length * 8) __builtin_trap();
    stored += k;
    if (stored > kEventLogMaxRecords) __builtin_trap();
  }
  // The bytes as records (the last one cut short is not a record).
  const std::vector<std::uint8_t> records(data, data + size);
  const auto n = static_cast<std::uint32_t>(size / kEventLogRecordSize);
  for (EventLogFamily family : {EventLogFamily::Dvr, EventLogFamily::Server}) {
    for (std::uint32_t mask : {EventLogInitialMask(family), 0xFFFFFFFFu, count}) {
      std::vector<EventLogRow> rows;
      ListEventLog(family, records.data(), n, mask, rows);
      if (rows.size() > n) __builtin_trap();
      for (const EventLogRow& row : rows) {
        if (row.event.size() > 40 || row.time.size() > 24 || row.channel.size() > 3) __builtin_trap();
      }
    }
  }
  return 0;
}
