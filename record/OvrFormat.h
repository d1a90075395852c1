// Layout of the ".ovr" recording file: an 80-byte header, an 8-byte extension and a u16
// 0xFFFF, one self-checking record per frame, the frame index and the frame count.
// Everything is little-endian and written field by field.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include "record/RecordTypes.h"

namespace ovr {

constexpr std::size_t kHeaderSize = 80;
constexpr std::size_t kPreambleSize = 90;        // header, extension, 0xFFFF
constexpr std::uint16_t kMagic = 0x5A51;
constexpr std::uint16_t kHeaderLength = 88;      // header plus extension
constexpr std::uint32_t kHeaderFlags = 2;
constexpr std::uint32_t kFlagWord = 0xE00000FFu;
constexpr std::uint32_t kFlagNoImage = 0x00000800u;
constexpr std::size_t kRecordFieldsSize = 31;    // record bytes before the picture
constexpr std::size_t kRecordFieldsSizeNoImage = 32;
constexpr std::size_t kMaxRecordSize = kRecordFieldsSizeNoImage + rec::kSlotBytes;

// Header field offsets.
constexpr std::size_t kOffMagic = 0, kOffHeaderLength = 2, kOffModel = 4, kOffCreated = 24,
                      kOffFirstTime = 40, kOffLastTime = 44, kOffFrameCount = 48,
                      kOffServerIp = 52, kOffConst23 = 56, kOffZero58 = 58, kOffKind = 59,
                      kOffUserName = 60, kOffFlags = 76;

enum RecordingKind : std::uint8_t { kKindManual = 0, kKindAlarm = 1 };

struct FileHeader {
  RecordTime created;             // local time of creation; milliseconds 0
  std::uint32_t firstTime = 0;    // time value of the first frame
  std::uint32_t lastTime = 0;     // time value of the last frame
  std::uint32_t frameCount = 0;
  std::uint8_t serverIp[4] = {0, 0, 0, 0};
  std::uint8_t kind = kKindManual;
  char userName[16] = {};         // zero-filled, no terminator when 16 characters

  void SetUserName(const std::string& name);  // at most 16 bytes
  void SetServerAddress(const std::string& dotted);  // four bytes of a dotted IPv4, else 0
  void Serialize(std::uint8_t* out) const;    // kHeaderSize bytes
  // Parses kHeaderSize bytes; false when the magic, header length or flags do not fit.
  static bool Parse(const std::uint8_t* in, std::size_t size, FileHeader& out);
};

// Writes the 90-byte preamble (header, extension u32 0xFFFFFFFF and u32 0, u16 0xFFFF).
void SerializePreamble(const FileHeader& h, std::uint8_t* out);

// Builds one frame record into `out` (capacity `cap`): the flag word, the fields, magic,
// end-marker offset, byte sum, 0xFFFF and the picture. Returns the record size, or 0 when
// it does not fit.
std::size_t BuildFrameRecord(std::uint32_t seq, const RecordFrameInfo& info,
                             const std::uint8_t* jpeg, std::uint32_t length, std::uint8_t* out,
                             std::size_t cap);

// The frame index entry: the file offset of the frame's record and 0.
void SerializeIndexEntry(std::uint32_t offset, std::uint8_t* out);

// File name stems (without folder and extension), from the local time of creation:
// "ALARM_MJPEG_yymmddThhmmss_ssss" and "USER_MJPEG_yymmddThhmmss_UR". The session part is
// the first four characters of the session identifier with every character that is not a
// letter or digit replaced by '_'.
std::string AlarmFileStem(const RecordTime& t, const std::string& sessionId);
std::string UserFileStem(const RecordTime& t);
constexpr const char* kExtension = ".ovr";

// Gives the folder a trailing separator (kept in the caller's setting) unless it is empty or
// already ends in '\' or '/': '/', or '\' for a folder written with '\' only (the platform
// maps those), so that the paths the operator is shown read as the folder is written.
void EnsureTrailingSeparator(std::string& folder);

RecordTime CurrentLocalTime();  // day of week as given, milliseconds 0

}  // namespace ovr
