// JPEG pictures: the end padding, the frame size in the start-of-frame marker, top-down
// decoding.
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/types.h"

// The position after the first byte of the bytes FF D9 FF FF; 0 when absent.
std::size_t FindJpegEndPadding(const std::uint8_t* data, std::size_t size);

// Patches the start-of-frame marker FF C0 found within the first 100 bytes: height at bytes
// 5-6 after the marker, width at 7-8, big-endian. False when there is no room or no marker.
bool PatchJpegFrameSize(std::uint8_t* data, std::size_t size, plat::WORD width, plat::WORD height);
// Decodes a JPEG into a 24-bit picture of exactly width x height (the caller's size; a JPEG
// of another size is refused) and flips its rows in place, giving top-down rows.
bool DecodeJpegTopDown(const std::uint8_t* jpeg, std::size_t size, std::uint8_t* dst, int width,
                       int height);
