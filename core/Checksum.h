// The Internet checksum.
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/types.h"

// The Internet checksum of RFC 1071 (big-endian 16-bit words, an odd last byte as the high
// byte of a word, carries folded twice, complemented), returned with its two bytes swapped.
plat::WORD InternetChecksumSwapped(const std::uint8_t* data, std::size_t size);
