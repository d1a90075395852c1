#include "config/NetworkConfigPage.h"

std::uint8_t g_byNetworkIpType = 0;
