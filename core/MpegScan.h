// MPEG program-stream helpers: PES time stamps and start-code scanners.
#pragma once
#include <cstddef>
#include <cstdint>
#include "core/G711.h"
#include "platform/types.h"

// MPEG program-stream helpers kept together as a class.
class CPesParser {
 public:
  CPesParser();
  ~CPesParser();
  CPesParser(const CPesParser&) = delete;
  CPesParser& operator=(const CPesParser&) = delete;
  static std::int16_t Mulaw2Linear(std::uint8_t sample) { return MuLawToLinear(sample); }
  // The presentation (flags 2) or decoding (flags 3) time stamp of an MPEG-2 video PES
  // header at data[0..]; 0 when the header, its flags or its marker bits do not fit.
  static plat::DWORD GetVideoTimeStamp(const std::uint8_t* data, std::size_t size);

 private:
  std::uint8_t* m_lpBuffer = nullptr;
};

constexpr int kScanTimeStamp = 1;   // a PES time stamp was found
constexpr int kScanPictureType = 8;  // an MPEG-4 picture start code was found (scan stops)
// Scans for 00 00 01 start codes: audio/video PES packets (stream id 0xC*, 0xD*, 0xE*) give
// the low 32 bits of their time stamp (the second one when two are present); the MPEG-4
// picture start code B6 gives the coding type plus 1 (1 I, 2 P, 3 B, 4 S) and ends the scan.
int ScanMpegStream(const std::uint8_t* data, std::size_t size, plat::DWORD* timeStamp,
                   int* pictureType);
// At each position whose following byte has its top bits 10, looks within the next 50 bytes
// for 00 00 {C0, D0, E0} 01; *found tells whether it was seen. Answers `size` always.
std::size_t ScanPacketStart(const std::uint8_t* data, std::size_t size, bool* found);
