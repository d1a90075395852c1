// The PC's own IPv4 address.
#include "platform/net.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdlib>
#include <mutex>

namespace plat {
namespace {

std::mutex g_mutex;
std::string* g_override = nullptr;  // never freed

bool IsDottedIPv4(const std::string& s) {
  in_addr a{};
  return ::inet_pton(AF_INET, s.c_str(), &a) == 1;
}

}  // namespace

void SetLocalIPv4Override(const std::string& dotted) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_override) g_override = new std::string;
  *g_override = dotted;
}

std::string GetLocalIPv4() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_override && !g_override->empty()) return *g_override;
  }
  if (const char* env = std::getenv("TRELVIX_LOCAL_IP"); env && IsDottedIPv4(env)) return env;

  std::string found;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) == 0) {
    for (ifaddrs* i = list; i; i = i->ifa_next) {
      if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
      if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
      const auto* sin = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
      if ((ntohl(sin->sin_addr.s_addr) >> 24) == 127) continue;
      char text[INET_ADDRSTRLEN] = {};
      if (::inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text)) {
        found = text;
        break;
      }
    }
    ::freeifaddrs(list);
  }
  return found.empty() ? "127.0.0.1" : found;
}

}  // namespace plat
