// The disc-writing library's loader. The library (libdiscapi.so) is never linked: the
// loader finds its folder (the key store's "SOFTWARE\Discware\Shared" value "DiscAPI", else
// the "Path" of the "DiscStudio.exe" application-paths key, else the program folder), loads
// it with dlopen by its full path and tells it the interface version the client expects.
// Every function of the library has a stub here with the same arguments, which looks the
// function up on every call; when the library or the function is missing the stub answers
// a fixed fallback or takes an older function, and a few stubs adapt arguments and results
// to older library versions.
#pragma once
#include <cstdint>
#include <string>

#include "discapi/discapi.h"

// The library's version, part by part; `known` is false when it could not be read.
struct DiscApiVersion {
  int major = 0, minor = 0, release = 0, build = 0;
  bool known = false;
};

extern void* g_hDiscApi;           // the loaded library, null when none
extern std::string g_szDiscApiDir;  // its folder as read from the key store

// 1 when the library is loaded and accepted the expected version (6.6.0.14), else 0 with
// LoadDiscApiError() telling why (the path tried and the loader's error).
int LoadDiscApi(int unused = 0);
void UnloadDiscApi();
std::string LoadDiscApiError();
// Stores the library's folder as the key store's "DiscAPI" value.
void SaveDiscApiPath(const std::string& folder);
void* GetDiscApiModule();
int SetDiscApiModule(void* module);

// The library file inside its folder.
inline constexpr const char* kDiscApiFileName = "libdiscapi.so";
inline constexpr const char* kDiscApiKey = "SOFTWARE\\Discware\\Shared";
inline constexpr const char* kDiscApiValue = "DiscAPI";
inline constexpr const char* kDiscStudioKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\DiscStudio.exe";
inline constexpr const char* kDiscStudioValue = "Path";

// --- Pure rules (tested on their own) ---

// -1, 0 or 1 as a is older than, equal to or newer than b (major first).
int CompareApiVersion(const DiscApiVersion& a, const DiscApiVersion& b);
// a >= threshold; an unknown version is never at least anything.
bool IsApiVersionAtLeast(const DiscApiVersion& v, const DiscApiVersion& threshold);
// The four digits of a decimal version number (5564 -> 5.5.6.4); unknown for 0.
DiscApiVersion VersionFromNumber(int number);
// major x 1000 + minor x 100 + release x 10 + build, each part first capped at 9.
int VersionNumber(const DiscApiVersion& v);
// A media-type mask for a library of version v (toLibrary 1) or back from it (0).
std::uint32_t AdaptMediaTypeMaskFor(const DiscApiVersion& v, std::uint32_t mask, int toLibrary);
// DiscDone is not called for versions 5564 to 5566.
bool SkipsDiscDone(int versionNumber);
// For version 6.6.0.0 exactly, option 0 or 2 with value 3 is sent with value 1.
int AdaptDeviceOptionValue(const DiscApiVersion& v, int option, int value);
// Libraries below 5555 use 360-byte drive entries.
inline constexpr std::size_t kOldDriveEntryBytes = 360;
inline constexpr std::size_t kDriveEntryBytes = 1720;
bool UsesOldDriveEntries(int versionNumber);
// Field-by-field conversion of one drive entry (layouts of the two versions).
void ConvertOldDriveEntry(const std::uint8_t* oldEntry, std::uint8_t* entry);
void ConvertToOldDriveEntry(const std::uint8_t* entry, std::uint8_t* oldEntry);
// The byte of the burn record holding the media mask for a burn format; -1 for none.
int BurnRecordMaskOffset(int format);

// The loaded library's version (through the stub), and its mask translation.
DiscApiVersion LoadedDiscApiVersion();
std::uint32_t AdaptMediaTypeMask(std::uint32_t mask, int toLibrary);

// --- The stubs ---
namespace dapi {
#define DAPI_DECLARE_STUB(ret, name, params, args) ret name params;
DISCAPI_FUNCTIONS(DAPI_DECLARE_STUB)
#undef DAPI_DECLARE_STUB
}  // namespace dapi
