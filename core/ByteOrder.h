// Big-endian fields and byte swaps.
#pragma once
#include <cstdint>
#include "platform/types.h"

void WriteBigEndian32(std::uint8_t* out, plat::DWORD value);
void SwapBytes32(plat::DWORD& value);
