// Reply heads of the recorder's command replies: any bytes, any length.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "session/Command.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy so any read past the end is caught.
  std::vector<char> copy(data, data + size);
  ReplyHead head;
  if (ParseReplyHead(copy.data(), copy.size(), head)) {
    if (head.headLength > copy.size() || head.headLength < 4) __builtin_trap();
    if (!head.hasContentLength && head.contentLength != 0) __builtin_trap();
  }
  return 0;
}
