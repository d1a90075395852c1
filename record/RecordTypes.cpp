#include "record/RecordTypes.h"

#include "record/ByteOrder.h"

using namespace rec::le;

void RecordTime::Serialize(std::uint8_t* out) const {
  const plat::WORD f[8] = {wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds};
  for (int i = 0; i < 8; ++i) Put16(out + 2 * i, f[i]);
}

RecordTime RecordTime::Parse(const std::uint8_t* in) {
  RecordTime t;
  t.wYear = Get16(in);
  t.wMonth = Get16(in + 2);
  t.wDayOfWeek = Get16(in + 4);
  t.wDay = Get16(in + 6);
  t.wHour = Get16(in + 8);
  t.wMinute = Get16(in + 10);
  t.wSecond = Get16(in + 12);
  t.wMilliseconds = Get16(in + 14);
  return t;
}

void RecordFrameInfo::Serialize(std::uint8_t* out) const {
  Put32(out + 0, dwSeq);
  Put32(out + 4, dwLength);
  Put32(out + 8, dwMarker);
  Put32(out + 12, dwMagic);
  out[16] = byMark;
  out[17] = byReserved1;
  out[18] = byChannel;
  out[19] = byReserved2;
  Put32(out + 20, dwNoImage);
  stLocalTime.Serialize(out + 24);
  Put32(out + 40, dwReserved[0]);
  Put32(out + 44, dwReserved[1]);
  Put32(out + 48, dwTimeMs);
  Put16(out + 52, wWidth);
  Put16(out + 54, wHeight);
}

RecordFrameInfo RecordFrameInfo::Parse(const std::uint8_t* in) {
  RecordFrameInfo f;
  f.dwSeq = Get32(in + 0);
  f.dwLength = Get32(in + 4);
  f.dwMarker = Get32(in + 8);
  f.dwMagic = Get32(in + 12);
  f.byMark = in[16];
  f.byReserved1 = in[17];
  f.byChannel = in[18];
  f.byReserved2 = in[19];
  f.dwNoImage = Get32(in + 20);
  f.stLocalTime = RecordTime::Parse(in + 24);
  f.dwReserved[0] = Get32(in + 40);
  f.dwReserved[1] = Get32(in + 44);
  f.dwTimeMs = Get32(in + 48);
  f.wWidth = Get16(in + 52);
  f.wHeight = Get16(in + 54);
  return f;
}
