// Drives: the list, opening and closing, and what is on the disc. A file drive is a plain
// file grown like a multi-session disc: the first session starts at block 32, each further
// one at the next multiple of 32 blocks after the previous one, and blocks 0-31 hold the
// descriptors of the newest complete session (written only after the session's data).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "discapi/drives.h"
#include "discapi/internal.h"
#include "platform/bytes.h"

#define DISCAPI_EXPORT extern "C" __attribute__((visibility("default")))

namespace discapi {

namespace {

std::uint64_t ParseCapacity(const std::string& text) {
  if (text.empty()) return 0;
  char* end = nullptr;
  const unsigned long long n = std::strtoull(text.c_str(), &end, 10);
  if (end == text.c_str()) return 0;
  std::uint64_t mult = 1;
  if (*end == 'K' || *end == 'k') mult = 1024ull;
  if (*end == 'M' || *end == 'm') mult = 1024ull * 1024;
  if (*end == 'G' || *end == 'g') mult = 1024ull * 1024 * 1024;
  return static_cast<std::uint64_t>(n) * mult;
}

void CopyText(char* dst, std::size_t size, const std::string& src) {
  std::memset(dst, 0, size);
  std::memcpy(dst, src.data(), std::min(size - 1, src.size()));
}

}  // namespace

std::vector<FileDriveSpec> FileDrivesFromEnvironment() {
  std::vector<FileDriveSpec> out;
  const char* env = std::getenv("TRELVIX_DISC_FILES");
  if (!env) return out;
  std::string all(env);
  std::size_t pos = 0;
  while (pos <= all.size()) {
    std::size_t comma = all.find(',', pos);
    if (comma == std::string::npos) comma = all.size();
    const std::string item = all.substr(pos, comma - pos);
    pos = comma + 1;
    const std::size_t colon = item.rfind(':');
    if (colon == std::string::npos || colon == 0) continue;
    const std::uint64_t capacity = ParseCapacity(item.substr(colon + 1));
    if (capacity < 64 * 2048) continue;  // smaller than the descriptor area: not a drive
    out.push_back({item.substr(0, colon), capacity});
  }
  return out;
}

FileDiscState ReadFileDisc(int fd) {
  FileDiscState st;
  struct stat sb {};
  if (fstat(fd, &sb) != 0) return st;
  st.fileSize = static_cast<std::uint64_t>(sb.st_size);
  std::uint8_t block[2048];
  if (pread(fd, block, 16, 0) == 16 && std::memcmp(block, kClosedMark, sizeof kClosedMark) == 0) st.closed = true;
  std::uint32_t start = kFirstSessionBlock;
  while (st.sessions.size() < DISC_MAX_TRACKS) {
    const std::uint64_t at = (static_cast<std::uint64_t>(start) + 16) * 2048;
    if (at + 2048 > st.fileSize) break;
    if (pread(fd, block, 2048, static_cast<off_t>(at)) != 2048) break;
    if (block[0] != 1 || std::memcmp(block + 1, "CD001", 5) != 0) break;
    // A session's own descriptor counts its blocks from its start.
    std::uint32_t blocks = 0;
    plat::ByteReader(block, sizeof block).U32At(80, blocks);
    const std::uint64_t end = static_cast<std::uint64_t>(start) + blocks;
    if (blocks < 18 || end * 2048 > st.fileSize || end > 0x7FFFFFFFull) break;
    st.sessions.push_back({start, blocks});
    start = static_cast<std::uint32_t>((end + 31) / 32 * 32);
  }
  st.nextBlock = st.sessions.empty() ? kFirstSessionBlock : start;
  return st;
}

}  // namespace discapi

using namespace discapi;

DISCAPI_EXPORT DiscDriveList* DiscGetAvailableDrivesEx(uint32_t, void*) {
  struct Entry {
    std::uint32_t kind;
    std::string name, shortText, address, vendor;
    std::uint64_t capacity;
  };
  std::vector<Entry> entries;
  entries.push_back({DISC_DRIVE_IMAGE, DISC_IMAGE_RECORDER_NAME, "IMG", "", "", 0});
  for (const optical::Drive& d : optical::Scan()) {
    entries.push_back({DISC_DRIVE_OPTICAL, d.vendor + " " + d.product, "OPT", d.address, d.vendor, 0});
  }
  for (const FileDriveSpec& f : FileDrivesFromEnvironment()) {
    const std::size_t slash = f.path.rfind('/');
    const std::string base = slash == std::string::npos ? f.path : f.path.substr(slash + 1);
    entries.push_back({DISC_DRIVE_FILE, "File Drive " + base, "FIL", f.path, "", f.capacity});
  }
  auto* list = static_cast<DiscDriveList*>(Alloc(DISC_DRIVE_LIST_BYTES(entries.size())));
  if (!list) return nullptr;
  list->count = static_cast<std::uint32_t>(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    DiscDriveEntry* e = DISC_DRIVE_AT(list, i);
    CopyText(e->name, sizeof e->name, entries[i].name);
    CopyText(e->short_text, sizeof e->short_text, entries[i].shortText);
    CopyText(e->address, sizeof e->address, entries[i].address);
    CopyText(e->vendor, sizeof e->vendor, entries[i].vendor);
    e->kind = entries[i].kind;
    e->media_mask = DISC_MEDIA_CD | (entries[i].kind == DISC_DRIVE_FILE ? 0 : DISC_MEDIA_DVD);
    e->index = static_cast<std::uint32_t>(i);
    e->removable = entries[i].kind == DISC_DRIVE_OPTICAL;
    e->capacity_mb = static_cast<std::uint32_t>(entries[i].capacity >> 20);
    e->write_speed_count = 1;
    e->write_speed_base = 150;
    e->write_speeds[0] = 4;
    e->write_speeds_x150[0] = 4 * 150;
    e->read_speed_count = 1;
    e->read_speed_base = 150;
    e->read_speeds[0] = 8;
    e->read_speeds_x150[0] = 8 * 150;
  }
  return list;
}

DISCAPI_EXPORT DiscDriveList* DiscGetAvailableDrives(void* reserved) {
  return DiscGetAvailableDrivesEx(DISC_MEDIA_CD, reserved);
}

DISCAPI_EXPORT DiscDevice* DiscOpenDevice(const DiscDriveEntry* entry) {
  if (!entry) return nullptr;
  auto* d = new DiscDevice;
  d->kind = entry->kind;
  d->name.assign(entry->name, strnlen(entry->name, sizeof entry->name));
  d->address.assign(entry->address, strnlen(entry->address, sizeof entry->address));
  if (d->kind == DISC_DRIVE_FILE) {
    bool known = false;
    for (const FileDriveSpec& f : FileDrivesFromEnvironment()) {
      if (f.path == d->address) {
        d->capacity = f.capacity;
        known = true;
      }
    }
    if (!known) {
      Log("DiscOpenDevice: unknown file drive " + d->address);
      delete d;
      return nullptr;
    }
  } else if (d->kind == DISC_DRIVE_OPTICAL) {
    d->optical = optical::Grab(d->address);
    if (!d->optical) {
      Log("DiscOpenDevice: cannot open " + d->address);
      delete d;
      return nullptr;
    }
  } else if (d->kind != DISC_DRIVE_IMAGE) {
    delete d;
    return nullptr;
  }
  CountObject(1);
  return d;
}

DISCAPI_EXPORT void DiscCloseDevice(DiscDevice* d) {
  if (!d) return;
  if (d->optical) optical::Release(d->optical);
  delete d;
  CountObject(-1);
}

DISCAPI_EXPORT DiscCDInfo* DiscGetCDInfo(DiscDevice* d, int quick) {
  if (!d) return nullptr;
  DiscCDInfo info{};
  info.size = sizeof info;
  if (d->kind == DISC_DRIVE_IMAGE) {
    info.media_mask = DISC_MEDIA_CD;  // always a blank disc
    info.free_blocks = 4u * 1024 * 1024;
  } else if (d->kind == DISC_DRIVE_FILE) {
    const int fd = open(d->address.c_str(), O_RDONLY | O_CLOEXEC);
    FileDiscState st;
    if (fd >= 0) {
      st = ReadFileDisc(fd);
      close(fd);
    }
    const std::uint64_t capacityBlocks = d->capacity / 2048;
    info.session_count = static_cast<std::uint32_t>(st.sessions.size());
    info.used_blocks = st.sessions.empty() ? 0 : st.sessions.back().start + st.sessions.back().size;
    if (st.closed) {
      info.media_mask = DISC_MEDIA_ROM;
      info.closed = 1;
    } else {
      info.media_mask = DISC_MEDIA_CD;
      info.free_blocks = capacityBlocks > st.nextBlock ? static_cast<std::uint32_t>(capacityBlocks - st.nextBlock) : 0;
    }
    if (!quick) {
      info.track_count = info.session_count;
      for (std::size_t i = 0; i < st.sessions.size(); ++i) {
        info.tracks[i] = {st.sessions[i].start, st.sessions[i].size, static_cast<std::uint32_t>(i + 1), 0};
      }
    }
  } else {
    if (!optical::Info(d->optical, info, quick == 0)) return nullptr;
    if (quick) info.track_count = 0;
  }
  auto* out = static_cast<DiscCDInfo*>(Alloc(sizeof info));
  if (out) *out = info;
  return out;
}

DISCAPI_EXPORT int DiscIsDeviceReady(DiscDevice* d) { return d ? 1 : 0; }
DISCAPI_EXPORT int DiscWaitForDeviceReady(DiscDevice* d, int) { return d ? 1 : 0; }
DISCAPI_EXPORT int DiscWaitForMedia(DiscDevice* d, int) { return d ? 1 : 0; }
DISCAPI_EXPORT int DiscWaitForDisc(DiscDevice* d, int s) { return DiscWaitForMedia(d, s); }
