// The disc-writing library's loader: its rules, its fallbacks and its adaptations to older
// libraries, against the stand-in libraries.
#include <cstring>
#include <functional>
#include <stdexcept>

#include "tests/disc/disc_fixture.h"

namespace disctest {
namespace {

DiscApiVersion V(int a, int b, int c, int d) { return {a, b, c, d, true}; }

TEST(DiscLoaderRules, VersionsCompareMajorFirst) {
  EXPECT_EQ(CompareApiVersion(V(6, 6, 0, 14), V(6, 6, 0, 9)), 1);
  EXPECT_EQ(CompareApiVersion(V(5, 9, 9, 99), V(6, 0, 0, 0)), -1);
  EXPECT_EQ(CompareApiVersion(V(6, 3, 0, 5), V(6, 3, 0, 5)), 0);
  EXPECT_FALSE(IsApiVersionAtLeast(DiscApiVersion{}, V(0, 0, 0, 0)));  // unknown is never enough
  const DiscApiVersion v = VersionFromNumber(5564);
  EXPECT_TRUE(v.known);
  EXPECT_EQ(CompareApiVersion(v, V(5, 5, 6, 4)), 0);
  EXPECT_FALSE(VersionFromNumber(0).known);
  EXPECT_EQ(VersionNumber(V(6, 6, 0, 14)), 6609);  // each part capped at 9
  EXPECT_EQ(VersionNumber(V(12, 0, 3, 1)), 9031);
}

TEST(DiscLoaderRules, MediaMaskThresholds) {
  struct Case {
    DiscApiVersion version;
    std::uint32_t mine, toLibrary, fromLibrary, back;
  } cases[] = {
      {V(6, 6, 0, 14), 0xC001C, 0xC001C, 0x1C, 0x1C},  // current: unchanged both ways
      {V(6, 3, 0, 5), 0xC001C, 0xC001C, 0xC, 0xC},
      {V(6, 3, 0, 4), 0xC001C, 0x1C, 0x1C, 0xC001C},
      {V(6, 0, 0, 10), 0xC001C, 0x1C, 0x1C, 0xC001C},
      {V(6, 0, 0, 9), 0xC001C, 0xC, 0xC, 0xC001C},
      {DiscApiVersion{}, 0xC001C, 0xC, 0xC, 0xC001C},  // unknown: the oldest values
      {V(5, 5, 6, 4), 0x1, 0x1, 0x1, 0x1},             // a CD mask never changes
      {V(5, 5, 6, 4), 0xC0000, 0xC0000, 0x4, 0x4},     // neither all DVD bits nor 0xC
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(VersionNumber(c.version));
    EXPECT_EQ(AdaptMediaTypeMaskFor(c.version, c.mine, 1), c.toLibrary);
    EXPECT_EQ(AdaptMediaTypeMaskFor(c.version, c.fromLibrary, 0), c.back);
  }
}

TEST(DiscLoaderRules, DoneSkipOptionFixAndBurnMaskPlaces) {
  EXPECT_FALSE(SkipsDiscDone(5563));
  EXPECT_TRUE(SkipsDiscDone(5564));
  EXPECT_TRUE(SkipsDiscDone(5566));
  EXPECT_FALSE(SkipsDiscDone(5567));
  EXPECT_EQ(AdaptDeviceOptionValue(V(6, 6, 0, 0), 0, 3), 1);
  EXPECT_EQ(AdaptDeviceOptionValue(V(6, 6, 0, 0), 2, 3), 1);
  EXPECT_EQ(AdaptDeviceOptionValue(V(6, 6, 0, 0), 1, 3), 3);
  EXPECT_EQ(AdaptDeviceOptionValue(V(6, 6, 0, 0), 0, 2), 2);
  EXPECT_EQ(AdaptDeviceOptionValue(V(6, 6, 0, 1), 0, 3), 3);
  EXPECT_EQ(BurnRecordMaskOffset(0), 24);
  EXPECT_EQ(BurnRecordMaskOffset(3), 36);
  EXPECT_EQ(BurnRecordMaskOffset(4), 8);
  EXPECT_EQ(BurnRecordMaskOffset(1001), 12);
  EXPECT_EQ(BurnRecordMaskOffset(1), -1);
  EXPECT_TRUE(UsesOldDriveEntries(5554));
  EXPECT_FALSE(UsesOldDriveEntries(5555));
}

TEST(DiscLoaderRules, CurrentEntryCutToOldKeepsTheLastSpeed) {
  std::uint8_t entry[kDriveEntryBytes] = {};
  std::strcpy(reinterpret_cast<char*>(entry), "A drive name longer than thirty-one characters");
  const std::uint32_t count = 25;
  std::memcpy(entry + 92, &count, 4);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t speed = 100 + i;
    std::memcpy(entry + 356 + 4 * i, &speed, 4);
  }
  std::uint8_t old[kOldDriveEntryBytes];
  ConvertToOldDriveEntry(entry, old);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(old)), std::string("A drive name longer than thirty").substr(0, 31));
  std::uint32_t v;
  std::memcpy(&v, old + 60, 4);
  EXPECT_EQ(v, 20u);
  std::memcpy(&v, old + 64 + 4 * 18, 4);
  EXPECT_EQ(v, 118u);
  std::memcpy(&v, old + 64 + 4 * 19, 4);
  EXPECT_EQ(v, 124u);  // the list's last speed in the last kept place
}

class DiscLoaderTest : public DiscTestBase {};

// Every stub of a library without functions (and of no library) answers its fallback.
TEST_F(DiscLoaderTest, EveryStubFallsBack) {
  void* empty = dlopen((FakeFolder("empty") + "/" + kDiscApiFileName).c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(empty, nullptr) << dlerror();
  int out[4] = {7, 7, 7, 7};
  int error = 9;
  DiscCDStamp* stamp = nullptr;
  struct Case {
    const char* name;
    std::function<long long()> call;
    long long fallback;
  } cases[] = {
      {"DiscGetLastDriveError", [] { return dapi::DiscGetLastDriveError(nullptr); }, 0},
      {"DiscGetLastError", [] { return dapi::DiscGetLastError(); }, 0},
      {"DiscGetErrorLog", [] { return dapi::DiscGetErrorLog() != nullptr; }, 0},
      {"DiscGetLastErrors", [] { return dapi::DiscGetLastErrors() != nullptr; }, 0},
      {"DiscGetAPIVersion", [] { return dapi::DiscGetAPIVersion(); }, 0},
      {"DiscGetAPIVersionEx", [&] { return dapi::DiscGetAPIVersionEx(&out[0], &out[1], &out[2], &out[3]); }, 0},
      {"DiscInit", [] { return dapi::DiscInit(nullptr, nullptr); }, 1},
      {"DiscDone", [] { return dapi::DiscDone(); }, 1},
      {"DiscSetOption", [] { return dapi::DiscSetOption(1, 1); }, -1},
      {"DiscGetAvailableDrives", [] { return dapi::DiscGetAvailableDrives(nullptr) != nullptr; }, 0},
      {"DiscGetAvailableDrivesEx", [] { return dapi::DiscGetAvailableDrivesEx(1, nullptr) != nullptr; }, 0},
      {"DiscUpdateDeviceInfo", [] { return dapi::DiscUpdateDeviceInfo(nullptr, 1); }, 1},
      {"DiscGetAvailableSpeeds", [] { return dapi::DiscGetAvailableSpeeds(nullptr, 1, nullptr); }, 0},
      {"DiscOpenDevice", [] { return dapi::DiscOpenDevice(nullptr) != nullptr; }, 0},
      {"DiscSetDeviceOption", [] { return dapi::DiscSetDeviceOption(nullptr, 0, 3); }, -1},
      {"DiscGetDeviceOption", [] { return dapi::DiscGetDeviceOption(nullptr, 0); }, 0},
      {"DiscGetCDInfo", [] { return dapi::DiscGetCDInfo(nullptr, 1) != nullptr; }, 0},
      {"DiscGetVMSInfo", [] { return dapi::DiscGetVMSInfo(nullptr) != nullptr; }, 0},
      {"DiscGetDiscImageInfo", [] { return dapi::DiscGetDiscImageInfo("x") != nullptr; }, 0},
      {"DiscBurn", [] { return dapi::DiscBurn(nullptr, 0, nullptr, 4, 0, nullptr); }, 1},
      {"DiscEstimateTrackSize", [] { return dapi::DiscEstimateTrackSize(nullptr, 0); }, -1},
      {"DiscDAE", [] { return dapi::DiscDAE(nullptr, nullptr, nullptr); }, 1},
      {"DiscIsDeviceReady", [] { return dapi::DiscIsDeviceReady(nullptr); }, 1},
      {"DiscWaitForDeviceReady", [] { return dapi::DiscWaitForDeviceReady(nullptr, 1); }, 1},
      {"DiscCreateIsoItemOfSize", [] { return dapi::DiscCreateIsoItemOfSize(592) != nullptr; }, 0},
      {"DiscCopyIsoItem", [] { return dapi::DiscCopyIsoItem(nullptr) != nullptr; }, 0},
      {"DiscCreateIsoTrackEx", [] { return dapi::DiscCreateIsoTrackEx(nullptr, "v", 0x0B) != nullptr; }, 0},
      {"DiscImportIsoTrackEx", [&] { return dapi::DiscImportIsoTrackEx(nullptr, 0, &stamp, 0) != nullptr; }, 0},
      {"DiscEjectLoadCD", [] { return dapi::DiscEjectLoadCD(nullptr, 0); }, -1},
      {"DiscWaitForDisc", [] { return dapi::DiscWaitForDisc(nullptr, 1); }, 0},
      {"DiscWaitForMedia", [] { return dapi::DiscWaitForMedia(nullptr, 1); }, 0},
      {"DiscInitImageRecorder", [] { return dapi::DiscInitImageRecorder("x"); }, 1},
      {"DiscGetCDRWErasingTime", [] { return dapi::DiscGetCDRWErasingTime(nullptr, 0); }, -1},
      {"DiscEraseCDRW", [] { return dapi::DiscEraseCDRW(nullptr, 0); }, -1},
      {"DiscEraseDisc", [] { return dapi::DiscEraseDisc(nullptr, 0); }, -1},
      {"DiscRegisterDriveStatusCallback", [] { return dapi::DiscRegisterDriveStatusCallback(nullptr, nullptr); }, -1},
      {"DiscUnregisterDriveStatusCallback", [] { return dapi::DiscUnregisterDriveStatusCallback(nullptr, nullptr); }, -1},
      {"DiscRegisterDriveChangeCallback", [] { return dapi::DiscRegisterDriveChangeCallback(nullptr, nullptr); }, -1},
      {"DiscUnregisterDriveChangeCallback", [] { return dapi::DiscUnregisterDriveChangeCallback(nullptr, nullptr); }, -1},
      {"DiscSetExpectedAPIVersion", [] { return dapi::DiscSetExpectedAPIVersion(6609); }, 0},
      {"DiscSetExpectedAPIVersionEx", [] { return dapi::DiscSetExpectedAPIVersionEx(6, 6, 0, 14, nullptr); }, 0},
      {"DiscGetTypeNameOfMedia", [] { return dapi::DiscGetTypeNameOfMedia(1) != nullptr; }, 0},  // nothing to copy into
      {"DiscCreateFileSystemContainer", [] { return dapi::DiscCreateFileSystemContainer(0) != nullptr; }, 0},
      {"DiscAudioCreateTargetItem", [] { return dapi::DiscAudioCreateTargetItem("x") != nullptr; }, 0},
      {"DiscAudioCloseItem", [] { return dapi::DiscAudioCloseItem(nullptr); }, 0},
      {"DiscAudioGUIConfigureItem", [] { return dapi::DiscAudioGUIConfigureItem(nullptr); }, 0},
      {"DiscAudioGetFormatInfo", [] { return dapi::DiscAudioGetFormatInfo(nullptr, nullptr); }, 0},
      {"DiscImportDataTrack",
       [&] { return dapi::DiscImportDataTrack(nullptr, 0, &stamp, nullptr, 0, &error, nullptr) != nullptr; }, 0},
      {"DiscGetLocalizedWaitCDTexts", [] { return dapi::DiscGetLocalizedWaitCDTexts() != nullptr; }, 0},
      {"DiscCreateProgress", [] { return dapi::DiscCreateProgress() != nullptr; }, 0},
      {"DiscConvertToValidFileSystemName", [] { return dapi::DiscConvertToValidFileSystemName(nullptr, 0); }, 0},
      {"DiscSetDesiredUDFRevision", [] { return dapi::DiscSetDesiredUDFRevision(0); }, 0},
      {"DiscSetDesiredUDFPartitionType", [] { return dapi::DiscSetDesiredUDFPartitionType(0); }, 0},
  };
  for (void* module : {static_cast<void*>(nullptr), empty}) {
    SetDiscApiModule(module);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (module ? " (library without it)" : " (no library)"));
      EXPECT_EQ(c.call(), c.fallback);
    }
    EXPECT_EQ(error, 1);  // the older import gave nothing
    error = 9;
    // The void stubs do nothing.
    dapi::DiscFreeMem(nullptr);
    dapi::DiscClearErrors();
    dapi::DiscCloseDevice(nullptr);
    dapi::DiscFreeIsoItem(nullptr);
    dapi::DiscFreeIsoItemTree(nullptr);
    dapi::DiscFreeIsoTrack(nullptr);
    dapi::DiscFreeCDStamp(nullptr);
  }
  SetDiscApiModule(nullptr);
  dlclose(empty);
}

TEST_F(DiscLoaderTest, OldLibraryAdaptations) {
  UseLibraryIn(FakeFolder("old"));
  ASSERT_EQ(LoadDiscApi(0), 1) << LoadDiscApiError();
  FakeDiscScript* s = reinterpret_cast<FakeDiscScript* (*)()>(dlsym(g_hDiscApi, "FakeDiscScriptOf"))();
  EXPECT_EQ(s->expectedVersion, 6609);  // no Ex function: the number instead
  int v[4] = {};
  ASSERT_EQ(dapi::DiscGetAPIVersionEx(&v[0], &v[1], &v[2], &v[3]), 1);
  EXPECT_EQ((std::vector<int>{v[0], v[1], v[2], v[3]}), (std::vector<int>{5, 5, 6, 4}));

  // Older media masks: back from the library and into the burn record for the call only.
  DiscDevice* d = nullptr;
  s->infoMask = 0xC;
  DiscCDInfo* info = dapi::DiscGetCDInfo(d, 1);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->media_mask, 0xC001Cu);
  dapi::DiscFreeMem(info);
  DiscBurnRecord record{};
  record.media_type = 0xC001C;
  EXPECT_EQ(dapi::DiscBurn(d, 0, &record, 0x14, 0, nullptr), 0);
  EXPECT_EQ(s->burnMask, 0xCu);
  EXPECT_EQ(record.media_type, 0xC001Cu);

  char* name = dapi::DiscGetTypeNameOfMedia(1);  // missing: a library block holding the text
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "CD-R/RW");
  dapi::DiscFreeMem(name);

  EXPECT_EQ(dapi::DiscDone(), 1);  // 5564: never called
  EXPECT_EQ(s->log.find("DiscDone"), std::string::npos);
  EXPECT_EQ(s->alive, 0);
}

// Below 5555 a drive entry has 360 bytes: lists are converted on the way in, entries on the
// way out.
TEST_F(DiscLoaderTest, DriveEntriesOfLibrariesBelow5555) {
  UseLibraryIn(FakeFolder("old"));
  setenv("FAKE_DISC_VERSION", "5554", 1);
  ASSERT_EQ(LoadDiscApi(0), 1) << LoadDiscApiError();
  FakeDiscScript* s = reinterpret_cast<FakeDiscScript* (*)()>(dlsym(g_hDiscApi, "FakeDiscScriptOf"))();
  // 360-byte entries become current ones...
  DiscDriveList* list = dapi::DiscGetAvailableDrivesEx(1, nullptr);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count, 2u);
  const DiscDriveEntry* e = DISC_DRIVE_AT(list, 1);
  EXPECT_STREQ(e->name, "Old Drive 1 with a long name");
  EXPECT_STREQ(e->short_text, "ABC");
  EXPECT_EQ(e->kind, 11u);
  EXPECT_EQ(e->media_mask, 21u);
  EXPECT_EQ(e->index, 31u);
  EXPECT_EQ(e->capacity_mb, 41u);
  EXPECT_EQ(e->removable, 8);
  EXPECT_EQ(e->write_speed_count, 20u);
  EXPECT_EQ(e->write_speed_base, 150u);
  EXPECT_EQ(e->write_speeds[19], 20u);
  EXPECT_EQ(e->write_speeds_x150[19], 3000u);
  EXPECT_EQ(e->read_speed_count, 2u);
  EXPECT_EQ(e->read_speeds_x150[1], 2400u);
  EXPECT_EQ(e->number1388, 229u);
  EXPECT_STREQ(e->vendor, "Vendor 1");
  EXPECT_EQ(e->number1456, 265u);
  // ...and go back as 360-byte entries.
  DiscDevice* d = dapi::DiscOpenDevice(e);
  ASSERT_NE(d, nullptr);
  std::uint8_t expected[kOldDriveEntryBytes];
  ConvertToOldDriveEntry(reinterpret_cast<const std::uint8_t*>(e), expected);
  EXPECT_EQ(std::memcmp(s->openedEntry, expected, kOldDriveEntryBytes), 0);
  EXPECT_STREQ(reinterpret_cast<char*>(s->openedEntry + 232), "Vendor 1");
  dapi::DiscFreeMem(list);
  EXPECT_EQ(s->alive, 0);
  unsetenv("FAKE_DISC_VERSION");
}

TEST_F(DiscLoaderTest, VersionDependentCallsOfOtherOldLibraries) {
  UseLibraryIn(FakeFolder("old"));
  struct Case {
    const char* version;
    bool doneCalled;
    const char* optionLine;
  } cases[] = {
      {"5567", true, "DiscSetDeviceOption 0 3"},
      {"6600", true, "DiscSetDeviceOption 0 1"},
      {"6601", true, "DiscSetDeviceOption 0 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    setenv("FAKE_DISC_VERSION", c.version, 1);
    ASSERT_EQ(LoadDiscApi(0), 1);
    FakeDiscScript* s = reinterpret_cast<FakeDiscScript* (*)()>(dlsym(g_hDiscApi, "FakeDiscScriptOf"))();
    s->log.clear();
    dapi::DiscSetDeviceOption(nullptr, 0, 3);
    EXPECT_EQ(dapi::DiscDone(), c.doneCalled ? 0 : 1);
    EXPECT_NE(s->log.find(c.optionLine), std::string::npos) << s->log;
    EXPECT_EQ(s->log.find("DiscDone") != std::string::npos, c.doneCalled);
    // 6.x from 6.0.0.10 (6600 is 6.6.0.0): the middle masks.
    DiscBurnRecord record{};
    record.media_type = 0xC001C;
    dapi::DiscBurn(nullptr, 0, &record, 0x14, 0, nullptr);
    EXPECT_EQ(s->burnMask, std::string(c.version) == "5567" ? 0xCu : 0xC001Cu);
    UnloadDiscApi();
  }
  unsetenv("FAKE_DISC_VERSION");
}

TEST_F(DiscLoaderTest, RefusedVersionUnloads) {
  UseLibraryIn(FakeFolder("refuse"));
  EXPECT_EQ(LoadDiscApi(0), 0);
  EXPECT_EQ(g_hDiscApi, nullptr);
  EXPECT_NE(LoadDiscApiError().find(FakeFolder("refuse") + "/libdiscapi.so"), std::string::npos);
}

// A handshake that throws leaves the loading lock free (held once, released once): the next
// load goes through.
TEST_F(DiscLoaderTest, AThrowingHandshakeLeavesTheLockFree) {
  UseLibraryIn(FakeFolder("throw"));
  EXPECT_THROW(LoadDiscApi(0), std::runtime_error);
  UnloadDiscApi();
  UseLibraryIn(FakeFolder("noex"));
  EXPECT_EQ(LoadDiscApi(0), 1);
}

TEST_F(DiscLoaderTest, WithoutExFunctionTheNumberIsSent) {
  UseLibraryIn(FakeFolder("noex"));
  ASSERT_EQ(LoadDiscApi(0), 1);
  FakeDiscScript* s = reinterpret_cast<FakeDiscScript* (*)()>(dlsym(g_hDiscApi, "FakeDiscScriptOf"))();
  EXPECT_EQ(s->expectedVersion, 6609);
}

TEST_F(DiscLoaderTest, FolderValuesAndFailures) {
  // A value ending in '/' is stored back without it.
  UseLibraryIn(FakeFolder("noex") + "/");
  ASSERT_EQ(LoadDiscApi(0), 1);
  std::string stored;
  ASSERT_TRUE(plat::RegGetString(kDiscApiKey, kDiscApiValue, stored));
  EXPECT_EQ(stored, FakeFolder("noex"));
  UnloadDiscApi();

  // The application-paths value when the first is missing; it is then stored as the first.
  TempDir other("disc-reg");
  setenv("TRELVIX_REGISTRY_FILE", (other / "registry.ini").c_str(), 1);
  plat::RegSetString(kDiscStudioKey, kDiscStudioValue, FakeFolder("noex"));
  ASSERT_EQ(LoadDiscApi(0), 1);
  ASSERT_TRUE(plat::RegGetString(kDiscApiKey, kDiscApiValue, stored));
  EXPECT_EQ(stored, FakeFolder("noex"));
  UnloadDiscApi();

  // A folder without the library: the path and the loader's reason.
  UseLibraryIn(dir.path());
  EXPECT_EQ(LoadDiscApi(0), 0);
  const std::string why = LoadDiscApiError();
  EXPECT_NE(why.find(dir.path() + "/libdiscapi.so: "), std::string::npos) << why;
  EXPECT_GT(why.size(), (dir.path() + "/libdiscapi.so: ").size());

  // A folder name of 243 characters or more is not tried.
  UseLibraryIn(std::string(243, 'x'));
  EXPECT_EQ(LoadDiscApi(0), 0);
  EXPECT_NE(LoadDiscApiError().find("too long"), std::string::npos);
}

}  // namespace
}  // namespace disctest
