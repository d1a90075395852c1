// The PTZ slave list: any text gives at most the table's room of slaves, each of a known type.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "session/DeviceTypes.h"
#include "session/OperatorCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (std::size_t room : {std::size_t{0}, std::size_t{3}, std::size_t{29}}) {
    const auto slaves = ParsePtzSlaveList(text, room);
    if (slaves.size() > room) __builtin_trap();
    for (const PtzSlave& s : slaves) {
      if (s.type >= kDeviceTypeCount) __builtin_trap();
    }
  }
  return 0;
}
