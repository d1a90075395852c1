// The packed 45-byte device record and the aligned block it unpacks into. The record's
// fields carry no meaning the client knows; they are named by their kind and order.
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/types.h"

constexpr std::size_t kPackedDeviceRecordSize = 45;
struct DeviceRecordBlock {
  plat::DWORD words[5] = {};         // record bytes 0..19
  std::uint8_t bytes6[6] = {};       // 20..25
  std::uint8_t firstByte = 0;        // 26
  plat::DWORD firstLong = 0;         // 27..30
  plat::DWORD secondLong = 0;        // 31..34
  plat::WORD firstShort = 0;         // 35..36
  plat::WORD secondShort = 0;        // 37..38
  plat::WORD thirdShort = 0;         // 39..40
  std::uint8_t secondByte = 0;       // 41
  plat::WORD fourthShort = 0;        // 42..43
  std::uint8_t lastByte = 0;         // 44
};
// Copies each field of the packed little-endian record to its aligned place; false (and
// `out` unchanged) when fewer than 45 bytes are given.
bool UnpackDeviceRecord(const std::uint8_t* data, std::size_t size, DeviceRecordBlock& out);
