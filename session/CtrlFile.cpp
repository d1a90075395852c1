#include "session/CtrlFile.h"

#include <algorithm>

#include <cstring>

#include "session/SessionRecord.h"
#include "core/Strings.h"
#include "platform/files.h"

namespace {

constexpr std::size_t kCtrlFileMaxSize = 4u << 20;

void UnlinkDeviceTypes() {
  for (auto& type : DeviceTypeTable) type.pCtrlRecord = nullptr;
}

}  // namespace

void FreeCtrlDeviceRecords() {
  SessionRecord* app = g_lpSession;
  if (!app) return;
  UnlinkDeviceTypes();
  CtrlDeviceRecord* records = app->lp_CtrlDeviceRecords.exchange(nullptr);
  app->dw_CtrlDeviceCount = 0;
  delete[] records;
}

int LoadCtrlFileFrom(const std::string& path) {
  std::vector<std::uint8_t> text;
  if (!plat::ReadWholeFile(path, text, kCtrlFileMaxSize)) {
    MessageBoxById(0, IDS_OPEN_CTRL_FILE_FAILED);
    return 0;
  }
  CtrlFileData data = ParseCtrlFile(text.data(), text.size());
  // Each kind of bad line is reported once: the message names no line, and a damaged file
  // with thousands of bad lines must not hold the start-up in as many boxes.
  std::vector<unsigned> shown;
  for (unsigned id : data.messages) {
    if (std::find(shown.begin(), shown.end(), id) != shown.end()) continue;
    shown.push_back(id);
    MessageBoxById(0, id);
  }
  if (SessionRecord* app = g_lpSession) {
    FreeCtrlDeviceRecords();
    app->dw_CtrlDeviceCount = data.count;
    app->lp_CtrlDeviceRecords.store(data.records.release());
  }
  return 1;
}

int LoadCtrlFile() { return LoadCtrlFileFrom(plat::MapPath("CtrlFile.ini")); }

int LinkCtrlFileDevices() {
  SessionRecord* app = g_lpSession;
  if (!app) {
    UnlinkDeviceTypes();
    return 1;
  }
  LinkCtrlFileDevices(app->lp_CtrlDeviceRecords.load(), app->dw_CtrlDeviceCount.load());
  return 1;
}
