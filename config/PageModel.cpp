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

std::string ProductId() { return g_lpApp ? g_lpApp->GetProductID() : std::string(); }

std::uint32_t PackedIp4(const sect::Ip4& a) {
  return sect::PackIp4(a);
}

int DvrChannelCount(const std::string& productId) {
  if (productId == "K41R") return 16;
  if (productId == "K42R") return 8;
  if (productId == "K43R") return 4;
  return 0;
}

int DvrChannelCount() { return DvrChannelCount(g_lpApp ? g_lpApp->GetProductID() : std::string()); }

double Scale() {
  const float s = g_lpApp ? g_lpApp->fl_DpiScale.load() : 0.0f;
  return s > 0.0f ? s : 1.0;
}

QString DigitsOf(const QString& text) {
  QString digits;
  for (QChar c : text) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) digits += c;
  }
  return digits;
}

}  // namespace pagemodel
