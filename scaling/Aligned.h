// 32-byte-aligned blocks for the resize tables, work rows and accumulator rows. The heap block's
// own address is kept just below the returned pointer, where AlignedFree finds it.
#pragma once

#include <cstdint>

namespace scaling {

std::uint8_t* AlignedAlloc8u(std::int64_t n);
std::int16_t* AlignedAlloc16s(std::int64_t n);
std::int32_t* AlignedAlloc32s(std::int64_t n);
float* AlignedAlloc32f(std::int64_t n);
void AlignedFree(void* p);

// Test hook: the next `n` allocations on this thread succeed and every later one fails, until
// reset with a negative n. Lets tests reach the out-of-memory paths deterministically.
void SetAlignedAllocFailAfter(int n);

}  // namespace scaling
