// Damaged disc images on a file drive: the disc-writing library reads the sessions of the
// file and imports the last one. The input is the data from block 32 on (where a file
// drive's first session starts); whatever it holds, the library answers and frees all it
// allocated.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "discapi/discapi.h"

extern "C" {
#define DISC_FUZZ_DECLARE(ret, name, params, args) ret name params;
DISCAPI_FUNCTIONS(DISC_FUZZ_DECLARE)
}

namespace {

const std::string& DriveFile() {
  static const std::string path = [] {
    char pattern[] = "/tmp/fuzz-disc-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    setenv("TRELVIX_DISC_FILES", (std::string(pattern) + ":64M").c_str(), 1);
    static DiscSettings settings{};
    settings.app_name = "fuzz";
    DiscInit(&settings, nullptr);
    return std::string(pattern);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = DriveFile();
  std::vector<uint8_t> file(32 * 2048, 0);
  file.insert(file.end(), data, data + size);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);

  DiscDriveEntry entry{};
  entry.kind = DISC_DRIVE_FILE;
  std::snprintf(entry.name, sizeof entry.name, "File Drive fuzz");
  std::snprintf(entry.address, sizeof entry.address, "%s", path.c_str());
  DiscDevice* device = DiscOpenDevice(&entry);
  if (!device) __builtin_trap();  // the drive named in the environment must open
  if (DiscCDInfo* info = DiscGetCDInfo(device, 0)) {
    for (uint32_t t = 0; t < info->track_count; ++t) {
      DiscCDStamp* stamp = nullptr;
      DiscImportRecord record{sizeof(DiscImportRecord), 0, nullptr};
      int error = 0;
      DiscIsoItem* items = DiscImportDataTrack(device, static_cast<int>(t), &stamp, &record, 0, &error, nullptr);
      if (!items && !stamp && error == 0) __builtin_trap();  // a failure always says why
      for (DiscIsoItem* i = items; i; i = i->next) {
        if (!i->is_reference || !i->long_name) __builtin_trap();
      }
      DiscFreeIsoItemTree(items);
      DiscFreeCDStamp(stamp);
      DiscFreeMem(record.note);
    }
    DiscFreeMem(info);
  }
  DiscCloseDevice(device);
  if (DiscDone() != 0) __builtin_trap();  // everything given back
  static DiscSettings again{};
  again.app_name = "fuzz";
  DiscInit(&again, nullptr);
  return 0;
}
