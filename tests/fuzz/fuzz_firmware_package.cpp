// Fuzzes the firmware package reader: any bytes are refused or give 1..255 records whose
// headers and payloads cover the input exactly.
#include <cstddef>
#include <cstdint>

#include "session/Firmware.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FirmwarePackage package;
  if (!ParseFirmwarePackage(data, size, package)) return 0;
  if (package.Count() == 0 || package.Count() > 255) __builtin_trap();
  std::size_t covered = 0;
  for (const FirmwareRecord& r : package.records) {
    if (r.type > 15) __builtin_trap();
    covered += 4 + r.data.size();
  }
  if (covered != size || package.dwFileSize != size) __builtin_trap();
  return 0;
}
