// The date and record-setting replies: any bytes, also longer than the reply buffer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "session/DvrSettings.h"
#include "session/Login.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // What the client's buffer holds: at most its capacity, up to the first zero.
  std::vector<char> buffer(kDvrSettingsReplyCapacity, 0);
  for (std::size_t i = 0; i < size && i < buffer.size(); ++i) buffer[i] = static_cast<char>(data[i]);
  const std::string_view reply = ReplyText(buffer.data(), buffer.size());
  if (reply.size() > kDvrSettingsReplyCapacity) __builtin_trap();
  DvrDateValues date;
  ParseDvrDateReply(reply, date);
  RecordSettingValues record;
  ParseRecordSettingReply(reply, record);
  // The whole input as one text as well.
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  ParseDvrDateReply(all, date);
  ParseRecordSettingReply(all, record);
  std::uint16_t rates[4] = {};
  if (IpsChoices(IpsChannelClass(record.manual), record.videoType, record.recMode, rates) &&
      (record.videoType > 1 || record.recMode > 2)) {
    __builtin_trap();
  }
  return 0;
}
