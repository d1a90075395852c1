#include "mainwnd/SystemSheet.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "engine/AppRecord.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "platform/messages.h"
#include "session/SysCfg.h"

namespace {
ISystemSheetFactory* g_systemSheetFactory = nullptr;
constexpr const char kSheetNotCreated[] = "Dialog box could not be created!";
}  // namespace

void SetSystemSheetFactory(ISystemSheetFactory* factory) { g_systemSheetFactory = factory; }
ISystemSheetFactory* GetSystemSheetFactory() { return g_systemSheetFactory; }

int LoadDeviceConfig() {
  AppRecord* app = g_lpApp;
  if (!app) return 0;
  const std::string product = app->GetProductID();
  const std::string firmware = app->GetFWVersion();
  const bool videoServer = IsModelK40R(product) || IsModelFamilyK44(product) || IsModelK47R(product);
  {
    // The online users are read afresh: none left over from an earlier read.
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    std::memset(app->SysCfg_ONLINE, 0, sizeof app->SysCfg_ONLINE);
  }
  if (!IsFirmwareBelow(videoServer ? "0003" : "1024", firmware)) {
    return GetSysCfgSection(SYSCFG_ALL, nullptr, 0) ? 1 : 0;
  }
  std::uint8_t* pppoe = UsesNewPppoeBlock(product, firmware) ? app->SysCfg_PPPOE_New : app->SysCfg_PPPOE;
  struct Read {
    std::uint8_t option;
    std::uint8_t* block;
    std::uint32_t size;
  };
  std::vector<Read> reads = {
      {SYSCFG_IP, app->SysCfg_IP, kSysCfgSizeIP},          {SYSCFG_ONLINE, app->SysCfg_ONLINE, kSysCfgSizeONLINE},
      {SYSCFG_ALARM, app->SysCfg_ALARM, kSysCfgSizeALARM}, {SYSCFG_SECURE, app->SysCfg_SECURE, kSysCfgSizeSECURE},
      {SYSCFG_SMTP, app->SysCfg_SMTP, kSysCfgSizeSMTP},    {SYSCFG_FTP, app->SysCfg_FTP, kSysCfgSizeFTP},
      {SYSCFG_RS485, app->SysCfg_RS485, kSysCfgSizeRS485},
  };
  if (videoServer) {
    reads.push_back({SYSCFG_PERI, app->SysCfg_PERI, kSysCfgSizePERI});
    reads.push_back({SYSCFG_SNTP, app->SysCfg_SNTP, kSysCfgSizeSNTP});
  } else {
    reads.push_back({SYSCFG_DVRLIVE, app->SysCfg_DVRLIVE, kSysCfgSizeDVRLIVE});
    reads.push_back({SYSCFG_DVRREC, app->SysCfg_DVRREC, kSysCfgSizeDVRREC});
  }
  reads.push_back({SYSCFG_PPPOE, pppoe, kSysCfgSizePPPOE});
  reads.push_back({SYSCFG_DNS, app->SysCfg_DNS, kSysCfgSizeDNS});
  for (const Read& r : reads) {
    if (!GetSysCfgSection(r.option, r.block, r.size)) return 0;
  }
  return 1;
}

void CloseSystemSheet() {
  AppRecord* app = g_lpApp;
  if (!app) return;
  // Released, not deleted: this may run inside a modal loop of one of the sheet's own handlers.
  if (ISystemSheet* sheet = app->lp_SystemDialog.exchange(nullptr)) sheet->Release();
  app->f_SystemDialogOpen.exchange(0);
}

void OnSystemConfig(QWidget* mainWindow, const QRect& workArea) {
  AppRecord* app = g_lpApp;
  if (!app) return;
  if (app->f_SystemDialogOpen.load()) {
    CloseSystemSheet();
    return;
  }
  if (ISystemSheet* closed = app->lp_SystemDialog.exchange(nullptr)) closed->Release();
  if (!app->f_VideoRunning.load()) {
    plat::MessageBox(0, LoadStr(IDS_CONNECT_SERVER_FIRST));
    return;
  }
  ISystemSheetFactory* factory = GetSystemSheetFactory();
  if (!factory) {
    plat::MessageBox(0, kSheetNotCreated);
    return;
  }
  if (!LoadDeviceConfig()) {
    plat::MessageBox(0, LoadStr(IDS_GET_CONFIG_ERROR));
    return;
  }
  ISystemSheet* sheet = factory->NewSystemSheet();
  if (!sheet) {
    plat::MessageBox(0, kSheetNotCreated);
    return;
  }
  app->lp_SystemDialog = sheet;
  if (!sheet->CreateSheet(mainWindow, workArea)) {
    if (ISystemSheet* failed = app->lp_SystemDialog.exchange(nullptr)) failed->Release();
    plat::MessageBox(0, kSheetNotCreated);
    return;
  }
  app->f_SystemDialogOpen.exchange(1);
}
