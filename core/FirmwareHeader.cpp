#include "core/FirmwareHeader.h"

#include <algorithm>

int CheckFirmwarePackageHeader(const std::uint8_t* data, std::size_t size, const std::string& model,
                               const std::string& deviceVersion, std::size_t* bodyOffset) {
  if (data == nullptr) return -1;
  const std::string head(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 100));
  std::string fields[3];
  std::size_t pos = 0;
  for (int f = 0; f < 3; ++f) {
    const std::size_t semi = head.find(';', pos);
    if (semi == std::string::npos) return -1;
    fields[f] = head.substr(pos, semi - pos);
    pos = semi + 1;
  }
  if (fields[0] != kFirmwarePackageMaker || fields[1] != model) return -1;
  if (fields[2].size() != 4 || deviceVersion.size() < 4) return -2;
  bool newer = false;
  for (int i = 0; i < 4; ++i) {
    if (fields[2][i] != deviceVersion[i]) {
      newer = fields[2][i] > deviceVersion[i];
      break;
    }
  }
  if (!newer) return -2;
  if (bodyOffset) *bodyOffset = pos;
  return 0;
}
