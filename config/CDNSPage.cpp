#include "config/CDNSPage.h"

#include <mutex>

#include "engine/AppRecord.h"
#include "session/Sections.h"

bool CDNSPage::OnInitDialog() {
  if (AppRecord* app = g_lpApp) {
    std::lock_guard<std::mutex> lock(app->mtx_SysCfg);
    m_bDdnsEnable = app->SysCfg_SMTP[sect::SmtpSection::kOffDdnsEnable] != 0 ? 1 : 0;
  }
  return ui::PropertyPage::OnInitDialog();
}
