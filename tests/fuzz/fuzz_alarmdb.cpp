// Fuzzes the AlarmData.dat reader: any bytes must be refused or read into records whose
// texts are terminated within their fields, never more than the bytes hold; writing the
// records back and reading again gives the same records.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/SystemConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AlarmDBHeader header;
  std::vector<AlarmDBItem> items;
  if (ParseAlarmDB(data, size, header, items) != AlarmDBParse::Ok) return 0;
  if (items.size() > header.wCount) __builtin_trap();
  if (kAlarmDBHeaderSize + items.size() * kAlarmDBItemSize > size) __builtin_trap();
  for (const AlarmDBItem& it : items) {
    if (strnlen(it.szFileName, kAlarmDBFileNameSize) >= kAlarmDBFileNameSize) __builtin_trap();
    if (strnlen(it.szServerIP, kAlarmDBServerIPSize) >= kAlarmDBServerIPSize) __builtin_trap();
  }
  const std::vector<uint8_t> image = BuildAlarmDB(items);
  AlarmDBHeader h2;
  std::vector<AlarmDBItem> again;
  if (ParseAlarmDB(image.data(), image.size(), h2, again) != AlarmDBParse::Ok) __builtin_trap();
  if (again.size() != items.size()) __builtin_trap();
  for (size_t i = 0; i < items.size(); ++i) {
    if (std::strcmp(again[i].szFileName, items[i].szFileName) != 0 ||
        std::strcmp(again[i].szServerIP, items[i].szServerIP) != 0 ||
        again[i].dwFrames != items[i].dwFrames || again[i].byFlags != items[i].byFlags) {
      __builtin_trap();
    }
  }
  return 0;
}
