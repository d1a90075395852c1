// IPRecord.dat: any file contents.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "session/IPRecordFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> copy(data, data + size);
  std::vector<IPRecordEntry> entries;
  if (!ParseIPRecords(copy.data(), copy.size(), entries)) {
    if (!entries.empty()) __builtin_trap();
    return 0;
  }
  if (entries.size() != size / kIPRecordSize) __builtin_trap();
  for (const auto& e : entries) {
    if (e.user.size() > 127 || e.ip.size() > 127 || e.comment.size() > 127) __builtin_trap();
  }
  // What was read is written back in the same layout and reads the same again.
  const std::vector<std::uint8_t> bytes = SerializeIPRecords(entries);
  std::vector<IPRecordEntry> again;
  if (bytes.size() != entries.size() * kIPRecordSize || !ParseIPRecords(bytes.data(), bytes.size(), again) ||
      again != entries) {
    __builtin_trap();
  }
  return 0;
}
