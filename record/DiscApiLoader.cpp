#include "record/DiscApiLoader.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/RecordState.h"
#include "platform/files.h"
#include "platform/registry.h"

void* g_hDiscApi = nullptr;
std::string g_szDiscApiDir;

namespace {

std::mutex g_loadMutex;  // loading and unloading
std::string g_loadError;

constexpr std::size_t kMaxFolderLength = 243;

std::uint32_t Get32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
void Put32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

void CopyText(const std::uint8_t* src, std::size_t srcSize, std::uint8_t* dst, std::size_t dstSize) {
  std::memset(dst, 0, dstSize);
  const std::size_t n = std::min(strnlen(reinterpret_cast<const char*>(src), srcSize), dstSize - 1);
  std::memcpy(dst, src, n);
}

// Reads a folder value; true with the folder when it is set and short enough.
bool ReadFolder(const char* key, const char* value, std::string& folder) {
  std::string text;
  if (!plat::RegGetString(key, value, text) || text.empty()) return false;
  if (text.size() > 255) text.resize(255);
  folder = text;
  return true;
}

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

// --- Pure rules ---

int CompareApiVersion(const DiscApiVersion& a, const DiscApiVersion& b) {
  const int x[4] = {a.major, a.minor, a.release, a.build};
  const int y[4] = {b.major, b.minor, b.release, b.build};
  for (int i = 0; i < 4; ++i) {
    if (x[i] < y[i]) return -1;
    if (x[i] > y[i]) return 1;
  }
  return 0;
}

bool IsApiVersionAtLeast(const DiscApiVersion& v, const DiscApiVersion& threshold) {
  return v.known && CompareApiVersion(v, threshold) >= 0;
}

DiscApiVersion VersionFromNumber(int number) {
  DiscApiVersion v;
  if (number <= 0) return v;
  v.major = number / 1000;
  v.minor = number / 100 % 10;
  v.release = number / 10 % 10;
  v.build = number % 10;
  v.known = true;
  return v;
}

int VersionNumber(const DiscApiVersion& v) {
  auto cap = [](int p) { return std::clamp(p, 0, 9); };
  return cap(v.major) * 1000 + cap(v.minor) * 100 + cap(v.release) * 10 + cap(v.build);
}

std::uint32_t AdaptMediaTypeMaskFor(const DiscApiVersion& v, std::uint32_t mask, int toLibrary) {
  if (IsApiVersionAtLeast(v, {6, 3, 0, 5, true})) return mask;
  const bool middle = IsApiVersionAtLeast(v, {6, 0, 0, 10, true});
  const std::uint32_t older = middle ? 0x1Cu : 0xCu;
  if (toLibrary) return (mask & DISC_MEDIA_DVD) == DISC_MEDIA_DVD ? older : mask;
  return (mask & older) == older ? DISC_MEDIA_DVD : mask;
}

bool SkipsDiscDone(int versionNumber) { return versionNumber >= 5564 && versionNumber <= 5566; }

int AdaptDeviceOptionValue(const DiscApiVersion& v, int option, int value) {
  const bool exact = v.known && CompareApiVersion(v, {6, 6, 0, 0, true}) == 0;
  if (exact && (option == 0 || option == 2) && value == 3) return 1;
  return value;
}

bool UsesOldDriveEntries(int versionNumber) { return versionNumber > 0 && versionNumber < 5555; }

void ConvertOldDriveEntry(const std::uint8_t* o, std::uint8_t* e) {
  std::memset(e, 0, kDriveEntryBytes);
  CopyText(o + 0, 32, e + 0, 64);
  CopyText(o + 32, 8, e + 64, 4);
  Put32(e + 72, Get32(o + 40));
  Put32(e + 76, Get32(o + 44));
  Put32(e + 80, Get32(o + 48));
  Put32(e + 88, Get32(o + 56));
  e[84] = o[52];
  struct List {
    int oldCount, newCount;
  } lists[2] = {{60, 92}, {144, 740}};
  for (const List& l : lists) {
    const std::uint32_t count = std::min<std::uint32_t>(Get32(o + l.oldCount), 20);
    Put32(e + l.newCount, count);
    Put32(e + l.newCount + 4, 150);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t speed = Get32(o + l.oldCount + 4 + 4 * i);
      Put32(e + l.newCount + 8 + 4 * i, speed * 150);
      Put32(e + l.newCount + 264 + 4 * i, speed);
    }
  }
  Put32(e + 1388, Get32(o + 228));
  CopyText(o + 232, 32, e + 1392, 64);
  Put32(e + 1456, Get32(o + 264));
}

void ConvertToOldDriveEntry(const std::uint8_t* e, std::uint8_t* o) {
  std::memset(o, 0, kOldDriveEntryBytes);
  CopyText(e + 0, 64, o + 0, 32);
  CopyText(e + 64, 4, o + 32, 8);
  Put32(o + 40, Get32(e + 72));
  Put32(o + 44, Get32(e + 76));
  Put32(o + 48, Get32(e + 80));
  Put32(o + 56, Get32(e + 88));
  o[52] = e[84];
  struct List {
    int oldCount, newCount;
  } lists[2] = {{60, 92}, {144, 740}};
  for (const List& l : lists) {
    const std::uint32_t count = std::min<std::uint32_t>(Get32(e + l.newCount), 64);
    const std::uint32_t kept = std::min<std::uint32_t>(count, 20);
    Put32(o + l.oldCount, kept);
    for (std::uint32_t i = 0; i < kept; ++i) Put32(o + l.oldCount + 4 + 4 * i, Get32(e + l.newCount + 264 + 4 * i));
    // A cut list keeps its last speed in its last entry.
    if (count > kept) Put32(o + l.oldCount + 4 + 4 * (kept - 1), Get32(e + l.newCount + 264 + 4 * (count - 1)));
  }
  Put32(o + 228, Get32(e + 1388));
  CopyText(e + 1392, 64, o + 232, 32);
  Put32(o + 264, Get32(e + 1456));
}

int BurnRecordMaskOffset(int format) {
  switch (format) {
    case 0: return 24;
    case 3: return 36;
    case 4: return 8;
    case 1001: return 12;
    default: return -1;
  }
}

// --- Loading ---

void SaveDiscApiPath(const std::string& folder) { plat::RegSetString(kDiscApiKey, kDiscApiValue, folder); }

void* GetDiscApiModule() { return g_hDiscApi; }

int SetDiscApiModule(void* module) {
  g_hDiscApi = module;
  return module ? 1 : 0;
}

std::string LoadDiscApiError() {
  std::lock_guard<std::mutex> lock(g_loadMutex);
  return g_loadError;
}

void UnloadDiscApi() {
  std::lock_guard<std::mutex> lock(g_loadMutex);
  if (g_hDiscApi) dlclose(g_hDiscApi);
  g_hDiscApi = nullptr;
}

int LoadDiscApi(int) {
  UnloadDiscApi();
  std::string folder;
  bool found = false;
  if (ReadFolder(kDiscApiKey, kDiscApiValue, folder)) {
    g_szDiscApiDir = folder;
    const std::string trimmed = WithoutTrailingSlash(folder);
    if (trimmed != folder) {
      folder = trimmed;
      SaveDiscApiPath(folder);
    }
    found = true;
  } else if (ReadFolder(kDiscStudioKey, kDiscStudioValue, folder)) {
    g_szDiscApiDir = folder;
    folder = WithoutTrailingSlash(folder);
    SaveDiscApiPath(folder);
    found = true;
  } else {
    // Installed with the client: the program folder.
    ICoreRecord* core = CoreRecord();
    folder = WithoutTrailingSlash(core ? core->ProgramPath() : plat::ProgramFolder());
    found = !folder.empty();
  }
  std::string path;
  if (found && folder.size() < kMaxFolderLength) path = folder + "/" + kDiscApiFileName;

  std::unique_lock<std::mutex> lock(g_loadMutex);
  if (path.empty()) {
    g_loadError = found ? "the library's folder name is too long: " + folder : "no folder of the library is known";
    return 0;
  }
  // The full path: the search path of the process is never changed.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    g_loadError = path + ": " + (why ? why : "cannot be loaded");
    return 0;
  }
  g_hDiscApi = handle;
  g_loadError.clear();
  // The stub takes the older call when the library lacks this one; the handshake runs outside
  // the lock, which the unique_lock takes back (and releases on every return).
  lock.unlock();
  const int accepted = dapi::DiscSetExpectedAPIVersionEx(6, 6, 0, 14, nullptr);
  lock.lock();
  if (accepted == 0) {
    dlclose(g_hDiscApi);
    g_hDiscApi = nullptr;
    g_loadError = path + ": the library refused interface version 6.6.0.14";
    return 0;
  }
  return 1;
}

// --- Stubs ---

namespace {

template <class Fn>
Fn Lookup(const char* name) {
  void* module = g_hDiscApi;
  if (!module) return nullptr;
  return reinterpret_cast<Fn>(dlsym(module, name));
}

#define DAPI_FN(name) Lookup<decltype(&::dapi::name)>(#name)

}  // namespace

DiscApiVersion LoadedDiscApiVersion() {
  DiscApiVersion v;
  if (dapi::DiscGetAPIVersionEx(&v.major, &v.minor, &v.release, &v.build)) v.known = true;
  return v;
}

std::uint32_t AdaptMediaTypeMask(std::uint32_t mask, int toLibrary) {
  return AdaptMediaTypeMaskFor(LoadedDiscApiVersion(), mask, toLibrary);
}

namespace dapi {

// Stubs whose only rule is a fixed fallback.
#define DAPI_SIMPLE(ret, name, params, args, fallback) \
  ret name params {                                    \
    if (auto f_ = DAPI_FN(name)) return f_ args;       \
    return fallback;                                   \
  }
#define DAPI_VOID(name, params, args) \
  void name params {                  \
    if (auto f_ = DAPI_FN(name)) f_ args; \
  }

DAPI_VOID(DiscFreeMem, (void* p), (p))
DAPI_SIMPLE(int, DiscGetLastDriveError, (DiscDevice * d), (d), 0)
DAPI_SIMPLE(int, DiscGetLastError, (void), (), 0)
DAPI_SIMPLE(char*, DiscGetErrorLog, (void), (), nullptr)
DAPI_SIMPLE(char*, DiscGetLastErrors, (void), (), nullptr)
DAPI_VOID(DiscClearErrors, (void), ())
DAPI_SIMPLE(int, DiscGetAPIVersion, (void), (), 0)
DAPI_SIMPLE(int, DiscInit, (const DiscSettings* s, void* r), (s, r), 1)
DAPI_SIMPLE(int, DiscSetOption, (int option, int value), (option, value), -1)
DAPI_VOID(DiscCloseDevice, (DiscDevice * d), (d))
DAPI_SIMPLE(int, DiscGetDeviceOption, (DiscDevice * d, int option), (d, option), 0)
DAPI_SIMPLE(void*, DiscGetVMSInfo, (DiscDevice * d), (d), nullptr)
DAPI_SIMPLE(void*, DiscGetDiscImageInfo, (const char* path), (path), nullptr)
DAPI_SIMPLE(int, DiscEstimateTrackSize, (void* track, int format), (track, format), -1)
DAPI_SIMPLE(int, DiscDAE, (DiscDevice * d, void* record, const DiscProgress* p), (d, record, p), 1)
DAPI_SIMPLE(int, DiscIsDeviceReady, (DiscDevice * d), (d), 1)
DAPI_SIMPLE(int, DiscWaitForDeviceReady, (DiscDevice * d, int seconds), (d, seconds), 1)
DAPI_SIMPLE(void*, DiscCreateIsoItemOfSize, (uint32_t size), (size), nullptr)
DAPI_SIMPLE(DiscIsoItem*, DiscCopyIsoItem, (const DiscIsoItem* item), (item), nullptr)
DAPI_VOID(DiscFreeIsoItem, (DiscIsoItem * item), (item))
DAPI_VOID(DiscFreeIsoItemTree, (DiscIsoItem * item), (item))
DAPI_SIMPLE(DiscIsoTrack*, DiscCreateIsoTrackEx, (DiscIsoItem * root, const char* name, uint32_t flags),
            (root, name, flags), nullptr)
DAPI_VOID(DiscFreeIsoTrack, (DiscIsoTrack * track), (track))
DAPI_SIMPLE(DiscIsoItem*, DiscImportIsoTrackEx, (DiscDevice * d, int track, DiscCDStamp** stamp, uint32_t flags),
            (d, track, stamp, flags), nullptr)
DAPI_VOID(DiscFreeCDStamp, (DiscCDStamp * stamp), (stamp))
DAPI_SIMPLE(int, DiscEjectLoadCD, (DiscDevice * d, int load), (d, load), -1)
DAPI_SIMPLE(int, DiscWaitForMedia, (DiscDevice * d, int seconds), (d, seconds), 0)
DAPI_SIMPLE(int, DiscInitImageRecorder, (const char* path), (path), 1)
DAPI_SIMPLE(int, DiscGetCDRWErasingTime, (DiscDevice * d, int full), (d, full), -1)
DAPI_SIMPLE(int, DiscEraseCDRW, (DiscDevice * d, int full), (d, full), -1)
DAPI_SIMPLE(int, DiscRegisterDriveStatusCallback, (void* fn, void* user), (fn, user), -1)
DAPI_SIMPLE(int, DiscUnregisterDriveStatusCallback, (void* fn, void* user), (fn, user), -1)
DAPI_SIMPLE(int, DiscRegisterDriveChangeCallback, (void* fn, void* user), (fn, user), -1)
DAPI_SIMPLE(int, DiscUnregisterDriveChangeCallback, (void* fn, void* user), (fn, user), -1)
DAPI_SIMPLE(int, DiscSetExpectedAPIVersion, (int version), (version), 0)
DAPI_SIMPLE(void*, DiscCreateFileSystemContainer, (int kind), (kind), nullptr)
DAPI_SIMPLE(void*, DiscAudioCreateTargetItem, (const char* path), (path), nullptr)
DAPI_SIMPLE(int, DiscAudioCloseItem, (void* item), (item), 0)
DAPI_SIMPLE(int, DiscAudioGUIConfigureItem, (void* item), (item), 0)
DAPI_SIMPLE(int, DiscAudioGetFormatInfo, (void* item, void* info), (item, info), 0)
DAPI_SIMPLE(char*, DiscGetLocalizedWaitCDTexts, (void), (), nullptr)
DAPI_SIMPLE(void*, DiscCreateProgress, (void), (), nullptr)
DAPI_SIMPLE(int, DiscConvertToValidFileSystemName, (char* name, int kind), (name, kind), 0)
DAPI_SIMPLE(int, DiscSetDesiredUDFRevision, (int revision), (revision), 0)
DAPI_SIMPLE(int, DiscSetDesiredUDFPartitionType, (int type), (type), 0)

#undef DAPI_SIMPLE
#undef DAPI_VOID

int DiscGetAPIVersionEx(int* major, int* minor, int* release, int* build) {
  if (auto fn = DAPI_FN(DiscGetAPIVersionEx)) return fn(major, minor, release, build);
  const DiscApiVersion v = VersionFromNumber(DiscGetAPIVersion());
  if (!v.known) return 0;
  if (major) *major = v.major;
  if (minor) *minor = v.minor;
  if (release) *release = v.release;
  if (build) *build = v.build;
  return 1;
}

int DiscDone(void) {
  if (SkipsDiscDone(DiscGetAPIVersion())) return 1;
  if (auto fn = DAPI_FN(DiscDone)) return fn();
  return 1;
}

DiscDriveList* DiscGetAvailableDrives(void* reserved) {
  auto fn = DAPI_FN(DiscGetAvailableDrives);
  if (!fn) return nullptr;
  DiscDriveList* list = fn(reserved);
  if (!list || !UsesOldDriveEntries(DiscGetAPIVersion())) return list;
  // An old list: converted into one of current entries, allocated by the library so that
  // DiscFreeMem releases it.
  const std::uint32_t count = list->count;
  auto* bytes = static_cast<std::uint8_t*>(DiscCreateIsoItemOfSize(DISC_DRIVE_LIST_BYTES(count)));
  if (!bytes) {
    DiscFreeMem(list);
    return nullptr;
  }
  Put32(bytes, count);
  const auto* old = reinterpret_cast<const std::uint8_t*>(list) + 4;
  for (std::uint32_t i = 0; i < count; ++i) {
    ConvertOldDriveEntry(old + i * kOldDriveEntryBytes, bytes + 4 + i * kDriveEntryBytes);
  }
  DiscFreeMem(list);
  return reinterpret_cast<DiscDriveList*>(bytes);
}

DiscDriveList* DiscGetAvailableDrivesEx(uint32_t mask, void* reserved) {
  const std::uint32_t translated = AdaptMediaTypeMask(mask, 1);
  if (auto fn = DAPI_FN(DiscGetAvailableDrivesEx)) return fn(translated, reserved);
  return translated == 1 ? DiscGetAvailableDrives(reserved) : nullptr;
}

int DiscUpdateDeviceInfo(DiscDriveEntry* entry, uint32_t mask) {
  if (auto fn = DAPI_FN(DiscUpdateDeviceInfo)) return fn(entry, AdaptMediaTypeMask(mask, 1));
  return 1;
}

int DiscGetAvailableSpeeds(DiscDevice* d, uint32_t mask, int* speeds) {
  if (auto fn = DAPI_FN(DiscGetAvailableSpeeds)) return fn(d, AdaptMediaTypeMask(mask, 1), speeds);
  return 0;
}

DiscDevice* DiscOpenDevice(const DiscDriveEntry* entry) {
  auto fn = DAPI_FN(DiscOpenDevice);
  if (!fn) return nullptr;
  if (!entry || !UsesOldDriveEntries(DiscGetAPIVersion())) return fn(entry);
  std::uint8_t old[kOldDriveEntryBytes];
  ConvertToOldDriveEntry(reinterpret_cast<const std::uint8_t*>(entry), old);
  return fn(reinterpret_cast<const DiscDriveEntry*>(old));
}

int DiscSetDeviceOption(DiscDevice* d, int option, int value) {
  if (auto fn = DAPI_FN(DiscSetDeviceOption)) {
    return fn(d, option, AdaptDeviceOptionValue(LoadedDiscApiVersion(), option, value));
  }
  return -1;
}

DiscCDInfo* DiscGetCDInfo(DiscDevice* d, int quick) {
  auto fn = DAPI_FN(DiscGetCDInfo);
  if (!fn) return nullptr;
  DiscCDInfo* info = fn(d, quick);
  if (info) info->media_mask = AdaptMediaTypeMask(info->media_mask, 0);
  return info;
}

int DiscBurn(DiscDevice* d, int format, void* record, uint32_t flags, int speed, const DiscProgress* progress) {
  auto fn = DAPI_FN(DiscBurn);
  if (!fn) return 1;
  const int offset = BurnRecordMaskOffset(format);
  if (!record || offset < 0 || IsApiVersionAtLeast(LoadedDiscApiVersion(), {6, 3, 0, 5, true})) {
    return fn(d, format, record, flags, speed, progress);
  }
  // The media mask travels in the library's older values for the call only.
  auto* bytes = static_cast<std::uint8_t*>(record);
  const std::uint32_t mine = Get32(bytes + offset);
  Put32(bytes + offset, AdaptMediaTypeMask(mine, 1));
  const int result = fn(d, format, record, flags, speed, progress);
  Put32(bytes + offset, mine);
  return result;
}

int DiscWaitForDisc(DiscDevice* d, int seconds) {
  if (auto fn = DAPI_FN(DiscWaitForDisc)) return fn(d, seconds);
  return DiscWaitForMedia(d, seconds);
}

int DiscEraseDisc(DiscDevice* d, int full) {
  if (auto fn = DAPI_FN(DiscEraseDisc)) return fn(d, full);
  return DiscEraseCDRW(d, full);
}

int DiscSetExpectedAPIVersionEx(int major, int minor, int release, int build, void* reserved) {
  if (auto fn = DAPI_FN(DiscSetExpectedAPIVersionEx)) return fn(major, minor, release, build, reserved);
  return DiscSetExpectedAPIVersion(VersionNumber({major, minor, release, build, true}));
}

char* DiscGetTypeNameOfMedia(uint32_t mask) {
  if (auto fn = DAPI_FN(DiscGetTypeNameOfMedia)) return fn(mask);
  static const char kName[] = "CD-R/RW";
  auto* copy = static_cast<char*>(DiscCreateIsoItemOfSize(sizeof kName));
  if (copy) std::memcpy(copy, kName, sizeof kName);
  return copy;
}

DiscIsoItem* DiscImportDataTrack(DiscDevice* d, int track, DiscCDStamp** stamp, DiscImportRecord* record,
                                 uint32_t flags, int* error, void* reserved) {
  if (auto fn = DAPI_FN(DiscImportDataTrack)) return fn(d, track, stamp, record, flags, error, reserved);
  DiscIsoItem* items = DiscImportIsoTrackEx(d, track, stamp, flags);
  if (error) *error = items ? 0 : 1;
  return items;
}

}  // namespace dapi
