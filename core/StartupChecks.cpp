#include "core/StartupChecks.h"

#include "platform/files.h"
#include "platform/process.h"

using namespace plat;

bool ProcessorHasMmx() {
#if defined(__x86_64__) || defined(__i386__)
  return __builtin_cpu_supports("mmx");
#else
  return false;
#endif
}

int FlushAddressCache() {
  for (const char* arp : {"/usr/sbin/arp", "/sbin/arp"}) {
    if (FileExists(arp)) return SpawnProcess({arp, "-d"}) ? 1 : 0;
  }
  return 0;
}

int StartSocketsAtVersion(BYTE major, BYTE minor) { return (major == 2 && minor == 2) ? 1 : 0; }
