// The text header of a firmware package.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr const char* kFirmwarePackageMaker = "ZELVIK";
// The first 100 bytes split at ';': maker, model, four-character version. -1 for another
// maker or model, -2 when the version is not newer than `deviceVersion` (character by
// character), 0 otherwise with *bodyOffset behind the third ';'.
int CheckFirmwarePackageHeader(const std::uint8_t* data, std::size_t size, const std::string& model,
                               const std::string& deviceVersion, std::size_t* bodyOffset);
