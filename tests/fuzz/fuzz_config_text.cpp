// The ONLINE section's rows and the mount table the folder picker reads: any bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/MountTable.h"
#include "config/OnlineUsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const char* model : {"K40R", "K42R", "K47R", "K45R", "XXXX"}) {
    for (bool lines576 : {false, true}) {
      const auto rows = BuildOnlineRows(data, size, model, lines576);
      if (rows.size() > kOnlineListedRecords) __builtin_trap();
      for (const OnlineUserRow& r : rows) {
        if (r.name.empty() || r.name.size() > 16 || r.address.size() > 15) __builtin_trap();
      }
    }
  }
  const auto mounts = ParseMountTable(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const MountEntry& m : mounts) {
    if (m.mountPoint.size() > size || m.device.size() > size) __builtin_trap();
    const int picture = MountPicture(m);
    if (picture != -1 && (picture < PATHPIC_REMOVABLE || picture > PATHPIC_RAM)) __builtin_trap();
    if (NetworkServer(m).size() > m.device.size()) __builtin_trap();
  }
  return 0;
}
