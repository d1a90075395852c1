#include "core/DeviceRecord.h"

#include "platform/bytes.h"

bool UnpackDeviceRecord(const std::uint8_t* d, std::size_t size, DeviceRecordBlock& out) {
  if (d == nullptr || size < kPackedDeviceRecordSize) return false;
  plat::ByteReader in(d, kPackedDeviceRecordSize);
  DeviceRecordBlock b;
  for (plat::DWORD& w : b.words) in.U32(w);
  in.Bytes(b.bytes6, sizeof b.bytes6);
  in.U8(b.firstByte);
  in.U32(b.firstLong);
  in.U32(b.secondLong);
  in.U16(b.firstShort);
  in.U16(b.secondShort);
  in.U16(b.thirdShort);
  in.U8(b.secondByte);
  in.U16(b.fourthShort);
  in.U8(b.lastByte);
  if (!in.Ok()) return false;
  out = b;
  return true;
}
