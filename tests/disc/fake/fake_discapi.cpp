// Stand-ins of the disc-writing library for the loader's and the writer's tests, one source
// built several ways:
//   FAKE_EMPTY   exports no library function at all;
//   FAKE_OLD     an old library: only DiscGetAPIVersion (FAKE_DISC_VERSION, default 5564),
//                360-byte drive entries and the older media masks;
//   FAKE_NOEX    without DiscSetExpectedAPIVersionEx;
//   FAKE_REFUSE  refuses every expected version;
//   FAKE_THROW   throws from the version handshake;
//   FAKE_SCRIPT  every function the writer calls, answering from a script and recording
//                each call (FakeDiscScriptOf() reaches both).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "discapi/discapi.h"
#include "tests/disc/fake/fake_discapi.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
FakeDiscScript g_script;

[[maybe_unused]] void Record(const std::string& line) {
  if (g_script.log.size() < 16000) {
    g_script.log += line;
    g_script.log += '\n';
  }
}

[[maybe_unused]] void* Block(std::size_t size) {
  ++g_script.alive;
  return std::calloc(1, size ? size : 1);
}
}  // namespace

FAKE_EXPORT FakeDiscScript* FakeDiscScriptOf() { return &g_script; }

#ifndef FAKE_EMPTY

FAKE_EXPORT void* DiscCreateIsoItemOfSize(uint32_t size) {
  Record("DiscCreateIsoItemOfSize " + std::to_string(size));
  return Block(size);
}

FAKE_EXPORT void DiscFreeMem(void* p) {
  if (!p) return;
  --g_script.alive;
  std::free(p);
}

#endif

#if defined(FAKE_OLD)

static int Version() {
  const char* v = std::getenv("FAKE_DISC_VERSION");
  return v ? std::atoi(v) : 5564;
}

FAKE_EXPORT int DiscGetAPIVersion(void) { return Version(); }
FAKE_EXPORT int DiscSetExpectedAPIVersion(int version) {
  g_script.expectedVersion = version;
  return 1;
}
FAKE_EXPORT int DiscDone(void) {
  Record("DiscDone");
  return 0;
}

// Two drives in 360-byte entries; the second has 25 write speeds (more than 20 fit).
FAKE_EXPORT DiscDriveList* DiscGetAvailableDrives(void*) {
  auto* bytes = static_cast<uint8_t*>(Block(4 + 2 * 360));
  const uint32_t count = 2;
  std::memcpy(bytes, &count, 4);
  for (uint32_t i = 0; i < 2; ++i) {
    uint8_t* e = bytes + 4 + i * 360;
    std::snprintf(reinterpret_cast<char*>(e), 32, "Old Drive %u with a long name", i);
    std::memcpy(e + 32, "ABCDEFG", 7);
    const uint32_t numbers[4] = {10 + i, 20 + i, 30 + i, 40 + i};
    std::memcpy(e + 40, &numbers[0], 4);
    std::memcpy(e + 44, &numbers[1], 4);
    std::memcpy(e + 48, &numbers[2], 4);
    std::memcpy(e + 56, &numbers[3], 4);
    e[52] = static_cast<uint8_t>(7 + i);
    const uint32_t speeds = i == 0 ? 3 : 25;  // an old entry holds at most 20
    std::memcpy(e + 60, &speeds, 4);
    for (uint32_t s = 0; s < 20; ++s) {
      const uint32_t v = s + 1;
      std::memcpy(e + 64 + 4 * s, &v, 4);
    }
    const uint32_t reads = 2;
    std::memcpy(e + 144, &reads, 4);
    const uint32_t r0 = 8, r1 = 16;
    std::memcpy(e + 148, &r0, 4);
    std::memcpy(e + 152, &r1, 4);
    const uint32_t n228 = 228 + i, n264 = 264 + i;
    std::memcpy(e + 228, &n228, 4);
    std::memcpy(e + 264, &n264, 4);
    std::snprintf(reinterpret_cast<char*>(e + 232), 32, "Vendor %u", i);
  }
  return reinterpret_cast<DiscDriveList*>(bytes);
}

FAKE_EXPORT DiscDevice* DiscOpenDevice(const DiscDriveEntry* entry) {
  std::memcpy(g_script.openedEntry, entry, 360);
  return reinterpret_cast<DiscDevice*>(&g_script);
}

FAKE_EXPORT DiscCDInfo* DiscGetCDInfo(DiscDevice*, int) {
  auto* info = static_cast<DiscCDInfo*>(Block(sizeof(DiscCDInfo)));
  info->media_mask = g_script.infoMask;
  return info;
}

FAKE_EXPORT int DiscBurn(DiscDevice*, int format, void* record, uint32_t, int, const DiscProgress*) {
  const int offset = format == 0 ? 24 : format == 3 ? 36 : format == 4 ? 8 : format == 1001 ? 12 : -1;
  if (offset >= 0) std::memcpy(&g_script.burnMask, static_cast<uint8_t*>(record) + offset, 4);
  return 0;
}

FAKE_EXPORT int DiscSetDeviceOption(DiscDevice*, int option, int value) {
  Record("DiscSetDeviceOption " + std::to_string(option) + " " + std::to_string(value));
  return 0;
}

#elif defined(FAKE_NOEX)

FAKE_EXPORT int DiscGetAPIVersionEx(int* a, int* b, int* c, int* d) {
  *a = 6;
  *b = 6;
  *c = 0;
  *d = 14;
  return 1;
}
FAKE_EXPORT int DiscSetExpectedAPIVersion(int version) {
  g_script.expectedVersion = version;
  return 1;
}

#elif defined(FAKE_REFUSE)

FAKE_EXPORT int DiscSetExpectedAPIVersionEx(int, int, int, int, void*) { return 0; }

#elif defined(FAKE_THROW)

FAKE_EXPORT int DiscSetExpectedAPIVersionEx(int, int, int, int, void*) { throw std::runtime_error("handshake"); }

#elif defined(FAKE_SCRIPT)

namespace {
DiscIsoItem* ImportedItems() {
  DiscIsoItem* head = nullptr;
  DiscIsoItem** tail = &head;
  for (int i = 0; i < g_script.importCount && i < 4; ++i) {
    auto* item = static_cast<DiscIsoItem*>(Block(sizeof(DiscIsoItem)));
    std::snprintf(item->short_name, sizeof item->short_name, "%s", g_script.importNames[i]);
    item->is_reference = 1;
    item->entry = g_script.importDates[i];
    *tail = item;
    tail = &item->next;
  }
  return head;
}
}  // namespace

FAKE_EXPORT int DiscSetExpectedAPIVersionEx(int a, int b, int c, int d, void*) {
  Record("DiscSetExpectedAPIVersionEx " + std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) +
         "." + std::to_string(d));
  return 1;
}
FAKE_EXPORT int DiscGetAPIVersionEx(int* a, int* b, int* c, int* d) {
  *a = 6;
  *b = 6;
  *c = 0;
  *d = 14;
  return 1;
}
FAKE_EXPORT int DiscInit(const DiscSettings* s, void*) {
  Record(std::string("DiscInit ") + (s && s->app_name ? s->app_name : "-") + " " + (s && s->vendor ? s->vendor : "-") +
         " " + (s && s->log_file ? s->log_file : "-"));
  if (s) g_script.settings = *s;
  return g_script.initResult;
}
FAKE_EXPORT int DiscDone(void) {
  Record("DiscDone");
  return g_script.doneResult;
}
FAKE_EXPORT void DiscClearErrors(void) { Record("DiscClearErrors"); }
FAKE_EXPORT char* DiscGetErrorLog(void) {
  Record("DiscGetErrorLog");
  return static_cast<char*>(Block(8));
}
FAKE_EXPORT char* DiscGetLocalizedWaitCDTexts(void) {
  Record("DiscGetLocalizedWaitCDTexts");
  return static_cast<char*>(Block(16));
}
FAKE_EXPORT DiscDriveList* DiscGetAvailableDrivesEx(uint32_t mask, void*) {
  Record("DiscGetAvailableDrivesEx " + std::to_string(mask));
  if (g_script.driveCount < 0) return nullptr;
  auto* list = static_cast<DiscDriveList*>(Block(DISC_DRIVE_LIST_BYTES(g_script.driveCount)));
  list->count = static_cast<uint32_t>(g_script.driveCount);
  for (int i = 0; i < g_script.driveCount && i < 4; ++i) {
    std::snprintf(DISC_DRIVE_AT(list, i)->name, 64, "%s", g_script.driveNames[i]);
  }
  return list;
}
FAKE_EXPORT DiscDevice* DiscOpenDevice(const DiscDriveEntry* entry) {
  Record(std::string("DiscOpenDevice ") + entry->name);
  if (g_script.openFails) return nullptr;
  ++g_script.alive;
  return reinterpret_cast<DiscDevice*>(&g_script);
}
FAKE_EXPORT void DiscCloseDevice(DiscDevice*) {
  Record("DiscCloseDevice");
  --g_script.alive;
}
FAKE_EXPORT DiscCDInfo* DiscGetCDInfo(DiscDevice*, int quick) {
  Record("DiscGetCDInfo " + std::to_string(quick));
  if (!g_script.hasDisc) return nullptr;
  auto* info = static_cast<DiscCDInfo*>(Block(sizeof(DiscCDInfo)));
  info->media_mask = g_script.infoMask;
  info->free_blocks = g_script.freeBlocks;
  info->track_count = quick ? 0 : g_script.trackCount;
  return info;
}
FAKE_EXPORT DiscIsoItem* DiscImportDataTrack(DiscDevice*, int track, DiscCDStamp** stamp, DiscImportRecord* record,
                                             uint32_t flags, int* error, void*) {
  Record("DiscImportDataTrack " + std::to_string(track) + " " + std::to_string(record ? record->size : 0) + " " +
         std::to_string(flags));
  *error = g_script.importError;
  if (g_script.importCount == 0) return nullptr;
  *stamp = static_cast<DiscCDStamp*>(Block(8));
  if (record) record->note = static_cast<char*>(Block(4));
  return ImportedItems();
}
FAKE_EXPORT void DiscFreeCDStamp(DiscCDStamp* s) {
  Record("DiscFreeCDStamp");
  if (s) {
    --g_script.alive;
    std::free(s);
  }
}
FAKE_EXPORT void DiscFreeIsoItemTree(DiscIsoItem* item) {
  while (item) {
    DiscIsoItem* next = item->next;
    if (!item->is_reference && (item->long_name || item->long_source)) g_script.leakedStrings++;
    --g_script.alive;
    std::free(item);
    item = next;
  }
}
FAKE_EXPORT DiscIsoTrack* DiscCreateIsoTrackEx(DiscIsoItem* root, const char* name, uint32_t flags) {
  std::string names;
  for (DiscIsoItem* i = root; i; i = i->next) names += std::string(" ") + (i->long_name ? i->long_name : i->short_name);
  Record(std::string("DiscCreateIsoTrackEx ") + name + " " + std::to_string(flags) + names);
  if (g_script.trackFails) return nullptr;
  return static_cast<DiscIsoTrack*>(Block(8));
}
FAKE_EXPORT void DiscFreeIsoTrack(DiscIsoTrack* t) {
  Record("DiscFreeIsoTrack");
  --g_script.alive;
  std::free(t);
}
FAKE_EXPORT int DiscBurn(DiscDevice*, int format, void* record, uint32_t flags, int, const DiscProgress* progress) {
  auto* r = static_cast<DiscBurnRecord*>(record);
  Record("DiscBurn " + std::to_string(format) + " " + std::to_string(flags) + " " + std::to_string(r->media_type) +
         " " + (r->stamp ? "stamp" : "nostamp"));
  if (g_script.askRequest) {
    std::memset(g_script.requestData, 0, sizeof g_script.requestData);
    g_script.requestAnswer = g_script.settings.user_dialog(g_script.settings.user_dialog_user, g_script.askRequest,
                                                           g_script.requestData);
  }
  for (int p = 0; p <= 100; p += 50) {
    progress->progress(p, progress->user);
    if (g_script.waitForAbort) {
      while (!progress->aborted(progress->user)) {
      }
      g_script.idleAfterAbort = g_script.settings.idle(g_script.settings.idle_user);
      return DISC_BURN_ABORTED;
    }
  }
  return g_script.burnResult;
}

#endif
