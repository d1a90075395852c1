#include "core/FrameFile.h"

#include <algorithm>
#include <cstring>

#include "platform/bytes.h"
#include "platform/clock.h"

using namespace plat;

void WriteFrameRecord(const FrameRecord& r, std::uint8_t* out) {
  ByteWriter w(out, kFrameRecordSize);
  w.U32(r.index);
  w.U32(r.timeMs);
  w.U32(r.length);
  w.U32(kFrameRecordMagic);
  w.Bytes(r.bytes, sizeof r.bytes);
  w.Zero(5);  // bytes 19..23 are not set
  for (DWORD v : r.values) w.U32(v);
}

bool ReadFrameRecord(const std::uint8_t* in, std::size_t size, FrameRecord& r) {
  if (in == nullptr || size < kFrameRecordSize) return false;
  ByteReader rd(in, kFrameRecordSize);
  FrameRecord f;
  DWORD magic = 0;
  rd.U32(f.index);
  rd.U32(f.timeMs);
  rd.U32(f.length);
  rd.U32(magic);
  rd.Bytes(f.bytes, sizeof f.bytes);
  rd.Skip(5);
  for (DWORD& v : f.values) rd.U32(v);
  if (!rd.Ok() || magic != kFrameRecordMagic) return false;
  r = f;
  return true;
}

CFrameFileWriter::CFrameFileWriter(const std::string& fileName, int, int, int)
    : m_strFileName(fileName) {}

CFrameFileWriter::~CFrameFileWriter() {
  if (m_file != nullptr) {
    RewriteHeader();
    std::fclose(m_file);
  }
}

void CFrameFileWriter::RewriteHeader() {
  std::uint8_t header[kFrameFileHeaderSize] = {};
  ByteWriter w(header, sizeof header);
  w.U32At(0, m_dwFrames);
  w.U32At(8, m_dwLastSeconds);
  std::fseek(m_file, 0, SEEK_SET);
  std::fwrite(header, 1, sizeof header, m_file);
  std::fseek(m_file, 0, SEEK_END);
}

int CFrameFileWriter::Append(const FrameRecord& r, const std::uint8_t* frame) {
  if (m_file == nullptr || (frame == nullptr && r.length != 0)) return 0;
  std::uint8_t rec[kFrameRecordSize];
  WriteFrameRecord(r, rec);
  if (std::fwrite(rec, 1, sizeof rec, m_file) != sizeof rec ||
      std::fwrite(frame, 1, r.length, m_file) != r.length ||
      std::fwrite(rec, 1, sizeof rec, m_file) != sizeof rec) {
    return 0;
  }
  ++m_dwFrames;
  m_dwLastSeconds = r.timeMs / 1000;
  if (m_dwFrames % 10 == 0) RewriteHeader();
  return 1;
}

int CFrameFileWriter::WriteFrame(DWORD timeMs, const std::uint8_t* frame, DWORD length, std::uint8_t b0,
                                 std::uint8_t b1, std::uint8_t b2, const DWORD (&values)[4]) {
  FrameRecord r;
  r.index = m_dwFrames;
  r.timeMs = timeMs;
  r.length = length;
  r.bytes[0] = b0;
  r.bytes[1] = b1;
  r.bytes[2] = b2;
  std::copy(values, values + 4, r.values);
  return Append(r, frame);
}

int CFrameFileWriter::WriteFrameNow(const std::uint8_t* frame, DWORD length, std::uint8_t b0,
                                    std::uint8_t b2) {
  FrameRecord r;
  r.index = m_dwFrames;
  r.timeMs = GetTickCount();
  r.length = length;
  r.bytes[0] = b0;
  r.bytes[2] = b2;
  const LocalTime t = GetLocalTime();
  const WORD st[8] = {static_cast<WORD>(t.year),   static_cast<WORD>(t.month),
                      static_cast<WORD>(t.dayOfWeek), static_cast<WORD>(t.day),
                      static_cast<WORD>(t.hour),   static_cast<WORD>(t.minute),
                      static_cast<WORD>(t.second), static_cast<WORD>(t.milliseconds)};
  // The eight 16-bit values take the place of the four 32-bit ones, in file order.
  std::uint8_t packed[sizeof st];
  ByteWriter w(packed, sizeof packed);
  for (WORD v : st) w.U16(v);
  ByteReader rd(packed, sizeof packed);
  for (DWORD& v : r.values) rd.U32(v);
  return Append(r, frame);
}
