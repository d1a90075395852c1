#include "config/OnlineUsers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/Model.h"
#include "core/Strings.h"

std::string OnlineResolutionText(const std::string& productId, bool lines576, std::uint8_t code) {
  if (code > 2) return std::string();
  static const char* const kK47R[3] = {"640*480", "320*240", "160*120"};
  static const char* const kDvr576[3] = {"640*552", "320*276", "160*138"};
  static const char* const kDvr480[3] = {"640*456", "320*228", "160*114"};
  static const char* const kServer576[3] = {"704*576", "352*288", "176*144"};
  static const char* const kServer480[3] = {"704*480", "352*240", "176*120"};
  if (IsModelK47R(productId)) return kK47R[code];
  if (IsModelFamilyK41(productId)) return (lines576 ? kDvr576 : kDvr480)[code];
  if (IsModelK40R(productId) || IsModelFamilyK44(productId)) return (lines576 ? kServer576 : kServer480)[code];
  return std::string();
}

std::vector<OnlineUserRow> BuildOnlineRows(const std::uint8_t* section, std::size_t length,
                                           const std::string& productId, bool lines576) {
  std::vector<OnlineUserRow> rows;
  for (std::size_t n = 0; n < kOnlineListedRecords; ++n) {
    std::uint8_t r[kOnlineRecordSize] = {};
    const std::size_t at = n * kOnlineRecordSize;
    if (section != nullptr && at < length) std::memcpy(r, section + at, std::min(kOnlineRecordSize, length - at));
    if (r[0] == 0) continue;
    OnlineUserRow row;
    row.name.assign(reinterpret_cast<const char*>(r), strnlen(reinterpret_cast<const char*>(r), 16));
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", r[16], r[17], r[18], r[19]);
    row.address = text;
    switch (r[20]) {
      case 30: row.level = LoadStr(IDS_LEVEL_SUPERVISOR); break;
      case 20: row.level = LoadStr(IDS_LEVEL_HIGH_USER); break;
      case 10: row.level = LoadStr(IDS_LEVEL_NORMAL_USER); break;
      case 0: row.level = LoadStr(IDS_LEVEL_GUEST); break;
      default: break;
    }
    if (r[21] == 0) {
      row.channel = "DVR";
    } else {
      std::snprintf(text, sizeof text, "%2d", r[21]);
      row.channel = text;
    }
    row.resolution = OnlineResolutionText(productId, lines576, r[22]);
    if (r[23] <= 2) row.quality = LoadStr(IDS_QUALITY_HIGH + r[23]);
    rows.push_back(std::move(row));
  }
  return rows;
}

bool OnlineHasChannelColumn(const std::string& productId, bool multiChannel) {
  return IsModelFamilyK41(productId) && multiChannel;
}
