// The rows of the "Online User Info" list from the recorder's ONLINE section: five 24-byte
// records {name[16], IPv4[4], level, channel, resolution code, quality code}.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t kOnlineListedRecords = 5;
constexpr std::size_t kOnlineRecordSize = 24;

struct OnlineUserRow {
  std::string name, address, level, resolution, quality, channel;
};

// The resolution text of a code for the model's family and the video standard (non-zero:
// 576 lines); empty for an unknown code.
std::string OnlineResolutionText(const std::string& productId, bool lines576, std::uint8_t code);
// The rows of the first five records of `section` (`length` bytes; missing bytes read as 0);
// a record whose name starts with 0 gives no row. The name ends at its first zero or after 16
// bytes.
std::vector<OnlineUserRow> BuildOnlineRows(const std::uint8_t* section, std::size_t length,
                                           const std::string& productId, bool lines576);
// Whether the list has a CH column: a multi-channel K41R-family device.
bool OnlineHasChannelColumn(const std::string& productId, bool multiChannel);
