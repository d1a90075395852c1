#include "config/PageModel.h"

#include "engine/AppRecord.h"

namespace pagemodel {

sect::Device ConnectedDevice() {
  sect::Device d;
  if (AppRecord* app = g_lpApp) {
    d.productId = app->GetProductID();
    d.firmware = app->GetFWVersion();
  }
  return d;
}

int DvrChannelCount(const std::string& productId) {
  if (productId == "K41R") return 16;
  if (productId == "K42R") return 8;
  if (productId == "K43R") return 4;
  return 0;
}

int DvrChannelCount() { return DvrChannelCount(g_lpApp ? g_lpApp->GetProductID() : std::string()); }

}  // namespace pagemodel
