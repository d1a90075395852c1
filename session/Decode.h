// Decode hand-off: the compose thread (Jpeg_Compose_Image_Data_Thread, declared in
// session/Threads.h) takes each filled packet slot, decodes its JPEG into the decoded slot (or
// makes a black picture for a packet without camera picture), feeds the recorders' pre-alarm
// ring and hands the picture to the show thread.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/types.h"

// Decodes a JPEG into a 24-bit bottom-up BGR picture at `dst` (rows of width x 3 bytes without
// padding). The picture's size is read first and a picture larger than `capacity` is refused
// before anything is written; greyscale pictures decode to three channels. `width` and
// `height` receive the size from the JPEG header whenever it could be read. 1 on success.
int DecodeJpegImage(const std::uint8_t* jpeg, std::size_t length, std::uint8_t* dst, std::size_t capacity,
                    plat::WORD* width, plat::WORD* height);

// Feeds one frame to the recorders' pre-alarm ring (lock-step with the three recorders).
// Always 1.
int PutFrameToRecordRing(const std::uint8_t* jpeg, std::uint32_t length, std::uint32_t timeMs, bool noImage);

// The size of the black picture shown for a packet without camera picture.
void NoImagePictureSize(std::uint8_t videoMode, std::uint8_t pictureSize, plat::WORD& width, plat::WORD& height);

// Header-time interval of consecutive pictures: 0 when the previous time is 0, else the
// absolute value of the signed 32-bit difference.
std::int32_t FrameInterval(std::uint32_t previousMs, std::uint32_t currentMs);
