// The "Network" page of the configuration sheet: the recorder's address, ports, address type and PPPoE account.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

// The address type the network page shows: 0 static, 1 PPPoE, 2 DHCP (the DDNS page reads it).
extern std::uint8_t g_byNetworkIpType;

class NetworkConfigPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit NetworkConfigPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Network"), parent) {}

 protected:
  bool OnInitDialog() override;
};
