// The disk presence reply: any bytes. Names and positions of every listed disk agree.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "session/NetworkBackup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> copy(data, data + size);
  nb::DiskMask mask;
  if (!nb::ParseDiskMask(copy.data(), copy.size(), mask)) {
    if (!nb::ListDisks(mask).empty()) __builtin_trap();
    return 0;
  }
  const std::vector<unsigned> disks = nb::ListDisks(mask);
  for (std::size_t i = 0; i < disks.size(); ++i) {
    if (nb::DiskOfPosition(mask, static_cast<int>(i)) != static_cast<int>(disks[i])) __builtin_trap();
    if (nb::DiskNumberOfName(nb::DiskName(disks[i])) != static_cast<int>(disks[i])) __builtin_trap();
  }
  if (nb::DiskOfPosition(mask, static_cast<int>(disks.size())) != -1) __builtin_trap();
  return 0;
}
