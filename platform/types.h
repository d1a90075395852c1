// Basic types and constants of the platform layer. Engine code says `using namespace plat;`
// in its .cpp files and keeps the familiar names.
#pragma once
#include <cstdint>

namespace plat {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using HANDLE = std::uint32_t;   // kernel-object handle; 0 = none
using HWND = std::uint32_t;     // window (message sink) handle; 0 = none
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

constexpr BOOL TRUE_ = 1;
constexpr BOOL FALSE_ = 0;
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD STILL_ACTIVE = 259;

}  // namespace plat
