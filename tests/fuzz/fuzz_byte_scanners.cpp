// Fuzzes the stream scanners, the JPEG patch, the firmware header, the text searches, the
// device record and the ADPCM decoder: none may read or write outside the bytes
// given, whatever they hold.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/DeviceRecord.h"
#include "core/FirmwareHeader.h"
#include "core/ImaAdpcm.h"
#include "core/JpegPatch.h"
#include "core/MpegScan.h"
#include "core/TextScan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  plat::DWORD ts = 0;
  int type = 0;
  const int flags = ScanMpegStream(data, size, &ts, &type);
  if ((flags & kScanPictureType) && (type < 1 || type > 4)) __builtin_trap();
  (void)CPesParser::GetVideoTimeStamp(data, size);
  bool found = false;
  if (ScanPacketStart(data, size, &found) != size) __builtin_trap();
  const size_t end = FindJpegEndPadding(data, size);
  if (end != 0 && (end + 3 > size || data[end - 1] != 0xFF || data[end] != 0xD9)) __builtin_trap();
  if (FindFirstFF(data, size) > size) __builtin_trap();
  if (size >= 2 && FindPattern(data, size, data + size - 2, 2) >= size) __builtin_trap();

  std::vector<uint8_t> copy(data, data + size);
  (void)PatchJpegFrameSize(copy.data(), copy.size(), 640, 480);
  size_t body = 0;
  if (CheckFirmwarePackageHeader(data, size, "K41R", "1000", &body) == 0 && body > 100) __builtin_trap();

  // Text helpers on a zero-terminated copy.
  std::string text(reinterpret_cast<const char*>(data), size);
  char out[16];
  const int pos = ExtractKeyText(text.c_str(), "ID=", ';', out, sizeof out);
  if (pos >= 0 && (static_cast<size_t>(pos) >= text.size() || strnlen(out, sizeof out) >= sizeof out)) __builtin_trap();
  std::vector<char> reply(text.begin(), text.end());
  (void)RepairOnlineUserKey(reply.data(), reply.size());

  DeviceRecordBlock rec;
  (void)UnpackDeviceRecord(data, size, rec);
  AdpcmState s{0, 50};
  std::vector<int16_t> pcm(size * 2);
  (void)ImaAdpcmDecodeBlock(&s, data, size, pcm.data());
  if (s.stepIndex < 0 || s.stepIndex > 88) __builtin_trap();
  return 0;
}
