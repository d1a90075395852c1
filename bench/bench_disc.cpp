// Writing a 200 MB backup through the disc-writing library's image recorder, beside
// `xorriso -as mkisofs` making an image of the same file. One run each (the time is
// dominated by the disc cache and the file system, not by repetition).
#include <dlfcn.h>
#include <stdlib.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "discapi/discapi.h"

namespace {

constexpr std::size_t kBytes = 200u * 1024 * 1024;

struct Library {
  void* handle = nullptr;
  template <class Fn>
  Fn Get(const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle, name));
  }
};

const std::string& Folder() {
  static const std::string folder = [] {
    std::string base = std::filesystem::temp_directory_path() / "bench-disc-XXXXXX";
    if (!mkdtemp(base.data())) return std::string("/tmp");
    std::ofstream out(base + "/CH01_0001.dvr", std::ios::binary);
    std::vector<char> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + 7);
    for (std::size_t n = 0; n < kBytes; n += block.size()) out.write(block.data(), static_cast<std::streamsize>(block.size()));
    return base;
  }();
  return folder;
}

std::string g_imagePath;
int AnswerImagePath(void*, int request, void* data) {
  if (request != DISC_REQUEST_IMAGE_PATH) return 0;
  std::snprintf(static_cast<char*>(data), DISC_PATH_BUFFER, "%s", g_imagePath.c_str());
  return 1;
}
int Progress(int, void*) { return 1; }
int NotAborted(void*) { return 0; }

void BM_ImageRecorder(benchmark::State& state) {
  const std::string source = Folder() + "/CH01_0001.dvr";
  g_imagePath = Folder() + "/library.iso";
  const char* dir = std::getenv("TRELVIX_DISCAPI_DIR");
  const std::string path = std::string(dir ? dir : TRELVIX_BIN_DIR) + "/libdiscapi.so";
  Library lib{dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)};
  if (!lib.handle) {
    state.SkipWithError(dlerror());
    return;
  }
  auto init = lib.Get<int (*)(const DiscSettings*, void*)>("DiscInit");
  auto drives = lib.Get<DiscDriveList* (*)(uint32_t, void*)>("DiscGetAvailableDrivesEx");
  auto open = lib.Get<DiscDevice* (*)(const DiscDriveEntry*)>("DiscOpenDevice");
  auto close = lib.Get<void (*)(DiscDevice*)>("DiscCloseDevice");
  auto item = lib.Get<void* (*)(uint32_t)>("DiscCreateIsoItemOfSize");
  auto freeMem = lib.Get<void (*)(void*)>("DiscFreeMem");
  auto track = lib.Get<DiscIsoTrack* (*)(DiscIsoItem*, const char*, uint32_t)>("DiscCreateIsoTrackEx");
  auto freeTrack = lib.Get<void (*)(DiscIsoTrack*)>("DiscFreeIsoTrack");
  auto freeTree = lib.Get<void (*)(DiscIsoItem*)>("DiscFreeIsoItemTree");
  auto burn = lib.Get<int (*)(DiscDevice*, int, void*, uint32_t, int, const DiscProgress*)>("DiscBurn");
  auto done = lib.Get<int (*)()>("DiscDone");
  DiscSettings settings{};
  settings.app_name = "OvistraBackup";
  settings.user_dialog = &AnswerImagePath;
  init(&settings, nullptr);
  DiscDriveList* list = drives(1, nullptr);
  DiscDevice* device = open(DISC_DRIVE_AT(list, 0));  // the image recorder comes first
  for (auto _ : state) {
    auto* root = static_cast<DiscIsoItem*>(item(sizeof(DiscIsoItem)));
    std::snprintf(root->short_name, sizeof root->short_name, "CH01_0001.dvr");
    std::snprintf(root->source, sizeof root->source, "%s", source.c_str());
    DiscIsoTrack* t = track(root, "OvistraBackup", 0x0B);
    auto* record = static_cast<DiscBurnRecord*>(item(sizeof(DiscBurnRecord)));
    record->iso_track = t;
    record->media_type = DISC_MEDIA_DVD;
    DiscProgress progress{&Progress, &NotAborted, nullptr, nullptr, nullptr, {}};
    if (burn(device, 0, record, 0x14, 0, &progress) != 0) state.SkipWithError("burn failed");
    freeTrack(t);
    freeMem(record);
    freeTree(root);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
  close(device);
  freeMem(list);
  done();
  std::filesystem::remove(g_imagePath);
}
BENCHMARK(BM_ImageRecorder)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_XorrisoMkisofs(benchmark::State& state) {
  if (std::system("command -v xorriso >/dev/null 2>&1") != 0) {
    state.SkipWithError("xorriso is not installed");
    return;
  }
  const std::string command = "xorriso -as mkisofs -quiet -R -J -V OvistraBackup -o '" + Folder() +
                              "/xorriso.iso' '" + Folder() + "/CH01_0001.dvr' >/dev/null 2>&1";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("xorriso failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
  std::filesystem::remove(Folder() + "/xorriso.iso");
}
BENCHMARK(BM_XorrisoMkisofs)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
