#include "core/Checksum.h"

using namespace plat;

WORD InternetChecksumSwapped(const std::uint8_t* data, std::size_t size) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>((data[i] << 8) | data[i + 1]);
  if (i < size) sum += static_cast<std::uint32_t>(data[i] << 8);
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  const WORD c = static_cast<WORD>(~sum);
  return static_cast<WORD>((c >> 8) | (c << 8));
}
