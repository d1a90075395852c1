#include "config/NetworkConfigPage.h"

#include <mutex>

#include "engine/AppRecord.h"
#include "session/Sections.h"

std::uint8_t g_byNetworkIpType = 0;

bool NetworkConfigPage::OnInitDialog() {
  if (AppRecord* app = g_lpApp) {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    g_byNetworkIpType = app->SysCfg_IP[sect::IpSection::kOffIpType];
  }
  return ui::PropertyPage::OnInitDialog();
}
