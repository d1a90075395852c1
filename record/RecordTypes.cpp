#include "record/RecordTypes.h"

#include "platform/bytes.h"

void RecordTime::Serialize(std::uint8_t* out) const {
  plat::ByteWriter w(out, kSize);
  for (plat::WORD f : {wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds}) w.U16(f);
}

RecordTime RecordTime::Parse(const std::uint8_t* in) {
  plat::ByteReader r(in, kSize);
  RecordTime t;
  for (plat::WORD* f : {&t.wYear, &t.wMonth, &t.wDayOfWeek, &t.wDay, &t.wHour, &t.wMinute, &t.wSecond,
                        &t.wMilliseconds}) {
    r.U16(*f);
  }
  return t;
}

void RecordFrameInfo::Serialize(std::uint8_t* out) const {
  plat::ByteWriter w(out, kSize);
  w.U32(dwSeq);
  w.U32(dwLength);
  w.U32(dwMarker);
  w.U32(dwMagic);
  w.U8(byMark);
  w.U8(byReserved1);
  w.U8(byChannel);
  w.U8(byReserved2);
  w.U32(dwNoImage);
  stLocalTime.Serialize(out + 24);
  w.Seek(40);
  w.U32(dwReserved[0]);
  w.U32(dwReserved[1]);
  w.U32(dwTimeMs);
  w.U16(wWidth);
  w.U16(wHeight);
}

RecordFrameInfo RecordFrameInfo::Parse(const std::uint8_t* in) {
  plat::ByteReader r(in, kSize);
  RecordFrameInfo f;
  r.U32(f.dwSeq);
  r.U32(f.dwLength);
  r.U32(f.dwMarker);
  r.U32(f.dwMagic);
  r.U8(f.byMark);
  r.U8(f.byReserved1);
  r.U8(f.byChannel);
  r.U8(f.byReserved2);
  r.U32(f.dwNoImage);
  f.stLocalTime = RecordTime::Parse(in + 24);
  r.Seek(40);
  r.U32(f.dwReserved[0]);
  r.U32(f.dwReserved[1]);
  r.U32(f.dwTimeMs);
  r.U16(f.wWidth);
  r.U16(f.wHeight);
  return f;
}
