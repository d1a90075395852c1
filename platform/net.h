// Network facts of this PC.
#pragma once
#include <string>

namespace plat {

// The first non-loopback IPv4 address in dotted form (127.0.0.1 only when nothing else
// exists). $TRELVIX_LOCAL_IP or SetLocalIPv4Override replaces it (tests).
std::string GetLocalIPv4();
void SetLocalIPv4Override(const std::string& dotted);  // "" clears

}  // namespace plat
