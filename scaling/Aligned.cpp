#include "scaling/Aligned.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace scaling {
namespace {

thread_local int t_failAfter = -1;

// Room below the returned address for the heap block's pointer, plus the alignment slack.
constexpr std::int64_t kHeader = static_cast<std::int64_t>(sizeof(void*));
constexpr std::int64_t kAlign = 32;
// Refuse requests no heap could serve rather than let the byte count overflow.
constexpr std::int64_t kMaxBytes = std::numeric_limits<std::int64_t>::max() / 4;

void* AllocBytes(std::int64_t n, std::int64_t elemSize) {
    if (n <= 0 || n > (kMaxBytes - kHeader - kAlign) / elemSize) return nullptr;
    if (t_failAfter == 0) return nullptr;
    if (t_failAfter > 0) --t_failAfter;
    const std::int64_t bytes = n * elemSize + kHeader + kAlign - 1;
    if (static_cast<std::uint64_t>(bytes) > std::numeric_limits<std::size_t>::max()) return nullptr;
    void* block = std::malloc(static_cast<std::size_t>(bytes));
    if (!block) return nullptr;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t aligned = (start + kHeader + kAlign - 1) & ~static_cast<std::uintptr_t>(kAlign - 1);
    std::memcpy(reinterpret_cast<void*>(aligned - kHeader), &block, sizeof(block));
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

std::uint8_t* AlignedAlloc8u(std::int64_t n) { return static_cast<std::uint8_t*>(AllocBytes(n, 1)); }
std::int16_t* AlignedAlloc16s(std::int64_t n) { return static_cast<std::int16_t*>(AllocBytes(n, 2)); }
std::int32_t* AlignedAlloc32s(std::int64_t n) { return static_cast<std::int32_t*>(AllocBytes(n, 4)); }
float* AlignedAlloc32f(std::int64_t n) { return static_cast<float*>(AllocBytes(n, 4)); }

void AlignedFree(void* p) {
    if (!p) return;
    void* block;
    std::memcpy(&block, static_cast<std::uint8_t*>(p) - kHeader, sizeof(block));
    std::free(block);
}

void SetAlignedAllocFailAfter(int n) { t_failAfter = n < 0 ? -1 : n; }

}  // namespace scaling
