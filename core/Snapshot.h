// Snapshots of the live picture: JPEG files named after the PC's local time.
#pragma once
#include <cstdint>
#include <string>
#include "core/Shared.h"
#include "platform/clock.h"

// "yymmddThhmmss" of the given time (no extension).
std::string SnapshotFileName(const plat::LocalTime& t);

// Saves a decoded picture (24-bit BGR, rows packed, bottom-up) as "<folder>/yymmddThhmmss.jpg".
// The folder gets a trailing separator when it has none (the caller's text changes).
// A snapshot in a second that already has one gets "_1", "_2", ... before ".jpg" instead of
// replacing the earlier file. Only the JPEG format (flag 1) is written. Returns 1 on
// success, 0 on failure (bad picture, folder missing or not writable); shows nothing.
int SaveSnapshotFile(std::string& folder, const std::uint8_t* picture, int width, int height,
                     int formatFlag, std::string* savedPath = nullptr);
// The same on the settings' shared folder text.
int SaveSnapshotFile(SharedString& folder, const std::uint8_t* picture, int width, int height,
                     int formatFlag, std::string* savedPath = nullptr);
// With a given time (tests).
int SaveSnapshotFileAt(std::string& folder, const std::uint8_t* picture, int width, int height,
                       int formatFlag, const plat::LocalTime& time, std::string* savedPath = nullptr);

constexpr int kSnapshotFormatJpeg = 1;
constexpr int kSnapshotJpegQuality = 75;
