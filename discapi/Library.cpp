// The library's bookkeeping: version, initialisation, allocations, the error log and the
// drive list.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include <libisofs/libisofs.h>

#include "discapi/internal.h"

#define DISCAPI_EXPORT extern "C" __attribute__((visibility("default")))

namespace discapi {
namespace {

constexpr std::uint64_t kMagic = 0x44495343414C4C43ull;  // marks the library's blocks

struct Header {
  std::uint64_t magic;
  std::uint64_t size;
};

std::atomic<int> g_alive{0};
std::mutex g_mutex;  // the log and the settings
std::string g_log;
DiscSettings g_settings{};
bool g_initialised = false;
int g_lastError = 0;

}  // namespace

void* Alloc(std::size_t size) {
  auto* h = static_cast<Header*>(std::calloc(1, sizeof(Header) + size));
  if (!h) return nullptr;
  h->magic = kMagic;
  h->size = size;
  ++g_alive;
  return h + 1;
}

char* AllocText(const std::string& text) {
  auto* p = static_cast<char*>(Alloc(text.size() + 1));
  if (p) std::memcpy(p, text.c_str(), text.size() + 1);
  return p;
}

bool Free(void* p) {
  if (!p) return true;
  Header* h = static_cast<Header*>(p) - 1;
  if (h->magic != kMagic) return false;
  h->magic = 0;
  std::free(h);
  --g_alive;
  return true;
}

void CountObject(int delta) { g_alive += delta; }
int AliveCount() { return g_alive.load(); }

void Log(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_log.size() > 64 * 1024) g_log.clear();  // a bounded log: old lines go first
  g_log += line;
  g_log += '\n';
  g_lastError = 1;
}

int CallIdle() {
  DiscIdleCallbackFn fn;
  void* user;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    fn = g_settings.idle;
    user = g_settings.idle_user;
  }
  return fn ? fn(user) : 0;
}

int CallUserDialog(int request, void* data) {
  DiscUserDialogCallbackFn fn;
  void* user;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    fn = g_settings.user_dialog;
    user = g_settings.user_dialog_user;
  }
  return fn ? fn(user, request, data) : 0;
}

}  // namespace discapi

using namespace discapi;

DISCAPI_EXPORT int DiscGetAPIVersion(void) { return DISCAPI_VERSION_NUMBER; }

DISCAPI_EXPORT int DiscGetAPIVersionEx(int* major, int* minor, int* release, int* build) {
  if (!major || !minor || !release || !build) return 0;
  *major = DISCAPI_VERSION_MAJOR;
  *minor = DISCAPI_VERSION_MINOR;
  *release = DISCAPI_VERSION_RELEASE;
  *build = DISCAPI_VERSION_BUILD;
  return 1;
}

// A caller built for this version or an older one is served; a newer one is refused.
DISCAPI_EXPORT int DiscSetExpectedAPIVersionEx(int major, int minor, int release, int build, void*) {
  const int want[4] = {major, minor, release, build};
  const int have[4] = {DISCAPI_VERSION_MAJOR, DISCAPI_VERSION_MINOR, DISCAPI_VERSION_RELEASE,
                       DISCAPI_VERSION_BUILD};
  for (int i = 0; i < 4; ++i) {
    if (want[i] < have[i]) return 1;
    if (want[i] > have[i]) return 0;
  }
  return 1;
}

DISCAPI_EXPORT int DiscSetExpectedAPIVersion(int version) {
  return version >= 0 && version <= DISCAPI_VERSION_NUMBER ? 1 : 0;
}

DISCAPI_EXPORT int DiscInit(const DiscSettings* settings, void*) {
  if (!settings || !settings->app_name) return 1;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_settings = *settings;
  if (!g_initialised) {
    if (iso_init() < 0) return 1;
    // The library reports through its own log, never on the terminal.
    char never[] = "NEVER";
    iso_set_msgs_severities(never, never, const_cast<char*>("discapi"));
    g_initialised = true;
  }
  return 0;
}

DISCAPI_EXPORT int DiscDone(void) {
  const int alive = AliveCount();
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_initialised && alive == 0) {
    iso_finish();
    optical::FinishOptical();
    g_initialised = false;
  }
  g_settings = DiscSettings{};
  return alive;
}

DISCAPI_EXPORT void DiscFreeMem(void* p) {
  if (!Free(p)) Log("DiscFreeMem: not a block of this library");
}

DISCAPI_EXPORT void* DiscCreateIsoItemOfSize(uint32_t size) { return Alloc(size); }

DISCAPI_EXPORT int DiscGetLastError(void) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_lastError;
}

DISCAPI_EXPORT int DiscGetLastDriveError(DiscDevice*) { return DiscGetLastError(); }

DISCAPI_EXPORT char* DiscGetErrorLog(void) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return AllocText(g_log);
}

DISCAPI_EXPORT char* DiscGetLastErrors(void) { return DiscGetErrorLog(); }

DISCAPI_EXPORT void DiscClearErrors(void) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_log.clear();
  g_lastError = 0;
}

// The texts a caller shows while it waits for a disc: lines separated by '\n'.
DISCAPI_EXPORT char* DiscGetLocalizedWaitCDTexts(void) {
  return AllocText("Please insert a writable disc.\nWaiting for the disc...\nCancel");
}

DISCAPI_EXPORT char* DiscGetTypeNameOfMedia(uint32_t mask) {
  if (mask & DISC_MEDIA_CD) return AllocText("CD-R/RW");
  if (mask & DISC_MEDIA_DVD_BITS) return AllocText("DVD");
  return AllocText("Unknown");
}
