// Login and device-information replies: any text, any length.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "session/Login.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> copy(data, data + size);
  const std::string_view reply = ReplyText(copy.data(), copy.size());
  LoginReplyValues login;
  if (ParseLoginReply(reply, login) == LoginParseResult::Ok && login.sessionId.size() > kSessionIdMax) {
    __builtin_trap();
  }
  for (bool retr : {false, true}) {
    DeviceInfoValues info;
    ParseDeviceInfoReply(reply, DeviceInfoScope::Full, retr, retr ? "K41R" : "K44R", info);
    // At most 255 groups of each kind plus the link and RETR entries.
    if (info.ops.size() > 2 * 255 + 4) __builtin_trap();
    if (info.bootVersion && info.bootVersion->size() > kReplyValueMax) __builtin_trap();
  }
  std::string value;
  std::size_t next = 0;
  if (FindReplyValue(reply, "SID", false, size / 2, value, &next) && next > reply.size()) __builtin_trap();
  return 0;
}
