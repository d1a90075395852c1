#include "core/Model.h"

#include <cstring>

#include "core/RecordState.h"
#include "core/Strings.h"

namespace {

std::string ConnectedProductId() {
  const ICoreRecord* r = CoreRecord();
  return r ? r->ConnectedProductId() : std::string();
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

ModelFamily GetModelFamily(std::string_view id) {
  if (id == "K41R" || id == "K42R" || id == "K43R") return ModelFamily::DVR;
  if (id == "K40R") return ModelFamily::VS;
  if (id == "K47R") return ModelFamily::K47;
  if (id == "K44R" || id == "K45R" || id == "K46R") return ModelFamily::K44;
  return ModelFamily::None;
}

bool IsVideoServerFamily(std::string_view id) {
  const ModelFamily f = GetModelFamily(id);
  return f == ModelFamily::VS || f == ModelFamily::K44 || f == ModelFamily::K47;
}

bool IsModelFamilyK41(std::string_view id) { return GetModelFamily(id) == ModelFamily::DVR; }
bool IsModelK40R(std::string_view id) { return GetModelFamily(id) == ModelFamily::VS; }
bool IsModelK47R(std::string_view id) { return GetModelFamily(id) == ModelFamily::K47; }
bool IsModelFamilyK44(std::string_view id) { return GetModelFamily(id) == ModelFamily::K44; }

bool IsModelFamilyK41() { return IsModelFamilyK41(ConnectedProductId()); }
bool IsModelK40R() { return IsModelK40R(ConnectedProductId()); }
bool IsModelK47R() { return IsModelK47R(ConnectedProductId()); }
bool IsModelFamilyK44() { return IsModelFamilyK44(ConnectedProductId()); }

std::uint8_t IsMultiChannel() {
  const ICoreRecord* r = CoreRecord();
  return r ? r->ConnectedMultiChannel() : 0;
}

int HasCapability(std::uint32_t mask) {
  const ICoreRecord* r = CoreRecord();
  return (r && (r->ConnectedFeatureFlags() & mask) != 0) ? 1 : 0;
}

int CompareVersionString(std::string_view first, std::string_view second) {
  if (first.size() != 4 || second.size() != 4) return -1;
  for (std::size_t i = 0; i < 4; ++i) {
    const auto a = static_cast<signed char>(first[i]);
    const auto b = static_cast<signed char>(second[i]);
    if (a < b) return 1;
    if (a > b) return 2;
  }
  return 0;
}

std::uint8_t ValueToIndex11(std::uint8_t value) {
  for (std::uint8_t i = 0; i < 11; ++i) {
    if (kPeripheralModelCodes[i] == value) return i;
  }
  return 0;
}

std::uint8_t IndexToValue11(std::uint8_t index) { return index <= 10 ? kPeripheralModelCodes[index] : 0; }

int FilterDigits(std::string& text, std::uint8_t /*mode*/) {
  if (text.size() >= 256) return 0;
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits.push_back(c);
  }
  text = std::move(digits);
  return 1;
}

int SplitResourceString(unsigned id, char (&first)[kSplitPartSize], char (&second)[kSplitPartSize]) {
  std::memset(first, 0, kSplitPartSize);
  std::memset(second, 0, kSplitPartSize);
  std::string a, b;
  SplitResourceString(id, a, b);
  if (a.size() >= kSplitPartSize || b.size() >= kSplitPartSize) return 0;
  std::memcpy(first, a.data(), a.size());
  std::memcpy(second, b.data(), b.size());
  return 1;
}

int SplitResourceString(unsigned id, std::string& first, std::string& second) {
  const std::string_view text = LoadStr(id);
  const std::size_t dollar = text.find('$');
  if (dollar == std::string_view::npos) {
    first.assign(text);
    second.clear();
  } else {
    first.assign(text.substr(0, dollar));
    second.assign(text.substr(dollar + 1));
  }
  return 1;
}

int HexTextToBytes(std::string_view text, std::uint8_t* out, std::size_t outSize, char separator,
                   std::size_t* outLength) {
  std::string digits;
  digits.reserve(text.size());
  for (char c : text) {
    if (c == separator) continue;
    if (HexValue(c) < 0) return 0;
    digits.push_back(c);
  }
  const std::size_t n = digits.size() / 2;
  if (n > outSize || (n > 0 && out == nullptr)) return 0;
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = static_cast<std::uint8_t>(HexValue(digits[2 * i]) * 16 + HexValue(digits[2 * i + 1]));
  }
  if (outLength) *outLength = n;
  return 1;
}

int MacTextToBytes(std::string_view text, std::uint8_t* out) {
  if (out == nullptr || text.size() != 12) return 0;
  for (char c : text) {
    if (HexValue(c) < 0) return 0;
  }
  std::memset(out, 0, 6);
  for (std::size_t i = 0; i < 6; ++i) {
    out[i] = static_cast<std::uint8_t>(HexValue(text[2 * i]) * 16 + HexValue(text[2 * i + 1]));
  }
  return 1;
}

int SplitToInts(std::string_view text, std::uint8_t* out, std::size_t count, std::string_view delimiters) {
  if (out != nullptr && count > 0) std::memset(out, 0, count);
  std::size_t stored = 0;
  bool any = false;
  std::size_t i = 0;
  while (i < text.size()) {
    if (delimiters.find(text[i]) != std::string_view::npos) {
      ++i;
      continue;
    }
    // One token: the run of non-delimiter characters; its value is its leading digits.
    any = true;
    unsigned value = 0;
    bool inDigits = true;
    for (; i < text.size() && delimiters.find(text[i]) == std::string_view::npos; ++i) {
      if (inDigits && text[i] >= '0' && text[i] <= '9') {
        value = (value * 10 + static_cast<unsigned>(text[i] - '0')) % 256;
      } else {
        inDigits = false;
      }
    }
    if (out != nullptr && stored < count) out[stored++] = static_cast<std::uint8_t>(value);
  }
  return any ? 1 : 0;
}

std::string FormatTwoDigits(int value) {
  int v = value % 100;
  if (v < 0) v += 100;
  std::string s;
  s.push_back(static_cast<char>('0' + v / 10));
  s.push_back(static_cast<char>('0' + v % 10));
  return s;
}

bool IsJpegWithDqt(const std::uint8_t* bytes, std::size_t length) {
  return bytes != nullptr && length >= 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF &&
         bytes[3] == 0xDB;
}
