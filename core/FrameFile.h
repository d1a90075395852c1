// Frame files: an 80-byte header {frames written, -, last time in seconds, ...} and per
// frame a 40-byte record, the frame's bytes and the same record again.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include "platform/types.h"

constexpr std::size_t kFrameFileHeaderSize = 80;
constexpr std::size_t kFrameRecordSize = 40;
constexpr plat::DWORD kFrameRecordMagic = 0xADFBCE23;

struct FrameRecord {
  plat::DWORD index = 0;
  plat::DWORD timeMs = 0;
  plat::DWORD length = 0;
  std::uint8_t bytes[3] = {};
  plat::DWORD values[4] = {};  // or a system time (eight 16-bit values) for the second write
};
void WriteFrameRecord(const FrameRecord& r, std::uint8_t* out);  // 40 bytes
bool ReadFrameRecord(const std::uint8_t* in, std::size_t size, FrameRecord& r);

class CFrameFileWriter {
 public:
  CFrameFileWriter(const std::string& fileName, int a, int b, int c);
  ~CFrameFileWriter();
  CFrameFileWriter(const CFrameFileWriter&) = delete;
  CFrameFileWriter& operator=(const CFrameFileWriter&) = delete;

  // Writes one frame with the caller's time, three byte values and four 32-bit values.
  int WriteFrame(plat::DWORD timeMs, const std::uint8_t* frame, plat::DWORD length, std::uint8_t b0,
                 std::uint8_t b1, std::uint8_t b2, const plat::DWORD (&values)[4]);
  // Writes one frame stamped with the tick count, two byte values (record offsets 16 and
  // 18) and the local date and time at offsets 24..39.
  int WriteFrameNow(const std::uint8_t* frame, plat::DWORD length, std::uint8_t b0, std::uint8_t b2);
  // Two queries of the writer's interface that always answer 0.
  int ReservedQueryA() const { return 0; }
  int ReservedQueryB() const { return 0; }
  bool IsOpen() const { return m_file != nullptr; }

 protected:
  std::FILE* m_file = nullptr;  // no member opens it

 private:
  int Append(const FrameRecord& r, const std::uint8_t* frame);
  void RewriteHeader();
  std::string m_strFileName;
  plat::DWORD m_dwFrames = 0;
  plat::DWORD m_dwLastSeconds = 0;
};
