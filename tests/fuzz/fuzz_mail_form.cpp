// The mail page's reading of the recorder's bytes: recipients and sender address over any
// SMTP, SNTP and SYSTEM blocks, for every device variant. Every recipient read converts to its
// stored form and back, the stored form of what the editor accepts fits its entry, and writing
// the sender back and reading it again gives the address as far as the firmware keeps it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "config/MailAddressForm.h"
#include "session/Sections.h"

namespace {
const sect::Device kDevices[] = {{"K41R", "1026"}, {"K42R", "1027"}, {"K40R", "1002"}, {"K40R", "1003"},
                                 {"K47R", "1003"}, {"K45R", "0002"}, {"XXXX", "1"}};
constexpr std::size_t kSmtp = sect::SmtpSection::kSize, kSntp = sect::SntpSection::kSize,
                      kSystem = sect::SystemSection::kSize;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const sect::Device& d = kDevices[data[0] % (sizeof kDevices / sizeof kDevices[0])];
  std::uint8_t smtp[kSmtp] = {}, sntp[kSntp] = {}, system[kSystem] = {};
  std::size_t n = size - 1;
  const std::uint8_t* p = data + 1;
  for (auto [block, width] : {std::pair<std::uint8_t*, std::size_t>{smtp, kSmtp}, {sntp, kSntp}, {system, kSystem}}) {
    const std::size_t take = n < width ? n : width;
    std::memcpy(block, p, take);
    p += take;
    n -= take;
  }
  for (const std::string& address : ReadMailRecipients(smtp)) {
    if (address.size() > 49 && address.size() > sect::SmtpSection::kMailToWidth) __builtin_trap();
    std::string stored = address;
    ConvertMailAddressText(stored, 0);
    // An address without brackets of its own survives the round trip.
    if (address.find_first_of("<>") == std::string::npos && address.size() < 50) {
      std::string back = stored;
      ConvertMailAddressText(back, 1);
      if (back != address) __builtin_trap();
    }
  }
  const std::string from = sect::ReadMailFrom(d, smtp, system, sntp);
  if (from.size() > 42) __builtin_trap();
  std::uint8_t smtp2[kSmtp], sntp2[kSntp], system2[kSystem];
  std::memcpy(smtp2, smtp, kSmtp);
  std::memcpy(sntp2, sntp, kSntp);
  std::memcpy(system2, system, kSystem);
  sect::WriteMailFrom(d, from, smtp2, system2, sntp2);
  const std::string again = sect::ReadMailFrom(d, smtp2, system2, sntp2);
  if (from.compare(0, again.size(), again) != 0) __builtin_trap();
  return 0;
}
