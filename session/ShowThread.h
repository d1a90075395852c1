// Show pacing: the show thread (Jpeg_Show_Image_Data_Thread, declared in session/Threads.h)
// takes each decoded picture, holds it for its header-time interval while the pacing timer
// runs, has the mailbox worker draw it and waits until it is on screen. Also the hot-point
// marker the display draws into a picture.
#pragma once
#include <cstdint>

#include "platform/types.h"

// Decides whether a held picture may be shown now (the pacing rule with a running timer):
// an interval of 1..199 ms holds it until `lastShow + interval`; any other interval passes.
bool PacingAllowsShow(std::uint32_t now, std::uint32_t lastShow, std::int32_t interval);

// Draws a cross with corner marks centred at (x, y) (y counted from the top) into a 24-bit
// bottom-up picture of width x height (rows of width x 3 bytes). The colour's lowest byte goes
// to each pixel's first byte. Pixels outside the picture are skipped. Returns 1.
int DrawCrossMarker(std::uint8_t* picture, int width, int height, std::uint32_t colour, int x, int y);
