// Recording files: the test reader and the header parser must reject what does not fit
// without reading past the input; a file the reader accepts is consistent throughout.
#include <cstddef>
#include <cstdint>
#include <string>

#include "record/OvrFormat.h"
#include "tests/support/OvrReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ovr::FileHeader h;
  const bool headerOk = ovr::FileHeader::Parse(data, size, h);
  ovrtest::File f;
  std::string err;
  if (ovrtest::ReadFile(data, size, f, err)) {
    if (!headerOk || f.header.frameCount != f.count || h.frameCount != f.count) __builtin_trap();
    std::size_t end = 90;
    for (const auto& fr : f.frames) {
      if (fr.offset != end || fr.jpegOffset + fr.length > size) __builtin_trap();
      end = fr.jpegOffset + fr.length;
    }
    if (end + 8 * std::size_t(f.count) + 4 != size) __builtin_trap();
  }
  std::vector<ovrtest::Frame> walked;
  if (size >= 90) ovrtest::WalkRecords(data, size, walked, err);
  return 0;
}
