// Shared types of the pre-alarm frame ring and the recorders: sizes, the local date-time
// record written into recording files, and the 56-byte per-frame descriptor.
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/types.h"

namespace rec {

constexpr std::size_t kRingSlots = 20;            // frames kept for the pre-alarm part
constexpr std::size_t kSlotBytes = 102400;         // largest frame a slot holds
constexpr std::size_t kIndexBufferBytes = 160000;  // 20,000 index entries of 8 bytes
constexpr std::size_t kIndexEntryBytes = 8;
constexpr std::uint32_t kMaxFramesPerFile = 6000;  // a longer recording continues in a new file
constexpr std::uint32_t kFrameInfoMagic = 0x01234567u;

}  // namespace rec

// Local date and time as eight 16-bit fields (year, month, day of week, day, hour, minute,
// second, milliseconds), the order the recording files and the alarm list store it in.
struct RecordTime {
  plat::WORD wYear = 0;
  plat::WORD wMonth = 0;
  plat::WORD wDayOfWeek = 0;
  plat::WORD wDay = 0;
  plat::WORD wHour = 0;
  plat::WORD wMinute = 0;
  plat::WORD wSecond = 0;
  plat::WORD wMilliseconds = 0;

  static constexpr std::size_t kSize = 16;
  void Serialize(std::uint8_t* out) const;          // 16 bytes, little-endian
  static RecordTime Parse(const std::uint8_t* in);  // 16 bytes
  bool operator==(const RecordTime&) const = default;
};

// Descriptor of one frame in the ring (also the frame record of the schedule file).
struct RecordFrameInfo {
  plat::DWORD dwSeq = 0;        // sequence number in a file; 0 in the ring
  plat::DWORD dwLength = 0;     // bytes of the frame in its slot
  plat::DWORD dwMarker = 0;     // 0xFFFF on the first frame of a schedule file
  plat::DWORD dwMagic = 0;      // 0x01234567
  plat::BYTE byMark = 0;        // start mark (0)
  plat::BYTE byReserved1 = 0;
  plat::BYTE byChannel = 0;     // live channel selected when the frame arrived
  plat::BYTE byReserved2 = 0;
  plat::DWORD dwNoImage = 0;    // bit 0: the stream marked the frame as carrying no image
  RecordTime stLocalTime;       // arrival time; day of week and milliseconds 0
  plat::DWORD dwReserved[2] = {0, 0};
  plat::DWORD dwTimeMs = 0;     // the frame header's time value
  plat::WORD wWidth = 0;
  plat::WORD wHeight = 0;

  static constexpr std::size_t kSize = 56;
  void Serialize(std::uint8_t* out) const;               // kSize bytes
  static RecordFrameInfo Parse(const std::uint8_t* in);  // kSize bytes
};

// The second word of a slot record is the frame type the schedule recorder reads
// (3: a schedule file may start here, 1: a schedule file may be split here).
struct RecordSlotRecord {
  plat::DWORD dwValue = 0;
  plat::DWORD dwType = 0;
};
