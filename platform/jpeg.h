// JPEG decoding and encoding (libjpeg-turbo's TurboJPEG API).
// Pictures in memory are 24-bit BGR, bottom-up (the first row in memory is the picture's
// bottom row), rows `pitch` bytes apart (0 = width * 3).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

// Reads width and height from the JPEG header; false when it is not a readable JPEG.
bool JpegReadSize(const std::uint8_t* jpeg, std::size_t size, int& width, int& height);

// Decodes into dst. The picture's size is checked against `capacity` before decoding: a
// picture that does not fit is refused (false) and nothing is written. Greyscale pictures
// decode to 3-channel BGR.
bool JpegDecodeBgrBottomUp(const std::uint8_t* jpeg, std::size_t size, std::uint8_t* dst,
                           std::size_t capacity, int& width, int& height, int pitch = 0);

// Encodes a bottom-up BGR picture; quality 1..100.
bool JpegEncodeBgrBottomUp(const std::uint8_t* src, int width, int height, int pitch, int quality,
                           std::vector<std::uint8_t>& out);

}  // namespace plat
