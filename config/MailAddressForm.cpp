#include "config/MailAddressForm.h"

#include <algorithm>

#include "session/Sections.h"

namespace {
// The name and the extracted address are gathered in a 50-byte buffer.
constexpr std::size_t kConvertPart = 49;
}  // namespace

int ConvertMailAddressText(std::string& text, int direction) {
  if (direction == 0) {
    const std::size_t at = text.find('@');
    if (at != std::string::npos && at > 0) {
      text = text.substr(0, std::min(at, kConvertPart)) + " <" + text + ">";
    } else {
      text = "<" + text + ">";
    }
  } else if (direction == 1) {
    const std::size_t open = text.find('<');
    const std::size_t close = text.rfind('>');
    if (open != std::string::npos && close != std::string::npos && open < close) {
      text = text.substr(open + 1, std::min(close - open - 1, kConvertPart));
    }
  }
  return 1;
}

std::vector<std::string> ReadMailRecipients(const std::uint8_t* smtp) {
  using S = sect::SmtpSection;
  std::vector<std::string> out;
  for (std::size_t i = 0; i < S::kRecipients; ++i) {
    const std::uint8_t* entry = smtp + S::kOffMailTo + i * S::kMailToWidth;
    if (entry[0] == 0) continue;
    std::string text = sect::ReadText(entry, S::kMailToWidth);
    ConvertMailAddressText(text, 1);
    out.push_back(std::move(text));
  }
  return out;
}
