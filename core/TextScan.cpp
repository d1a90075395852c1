#include "core/TextScan.h"

#include <cstring>

int GetParentFolder(const std::string& path, std::string& folder) {
  const std::string p = path.substr(0, 255);
  std::size_t cut = std::string::npos;
  for (std::size_t i = p.size(); i-- > 1;) {
    if (p[i] == '\\' || p[i] == '/') {
      cut = i;
      break;
    }
  }
  folder = cut == std::string::npos ? p : p.substr(0, cut);
  return 1;
}

int ExtractKeyText(const char* text, const char* key, char stop, char* out, std::size_t outSize) {
  if (text == nullptr || key == nullptr || out == nullptr || outSize < 2 || *key == '\0') return -1;
  const char* at = std::strstr(text, key);
  if (at == nullptr) return -1;
  const char* from = at + std::strlen(key);
  if (*from == '\0') return -1;
  const char* end = std::strchr(from + 1, stop);  // at least one character is copied
  if (end == nullptr) return -1;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(end - from), outSize - 1);
  std::memcpy(out, from, n);
  out[n] = '\0';
  return static_cast<int>(end - text);
}

bool RepairOnlineUserKey(char* buffer, std::size_t size) {
  static const char kKey[] = "online-user-num";
  constexpr std::size_t kKeyLen = sizeof kKey - 1;
  if (buffer == nullptr) return false;
  if (strnlen(buffer, size) >= kKeyLen + 1 || size <= kKeyLen + 1) return false;
  std::size_t matched = 0;
  for (std::size_t i = 0; i < size && matched < kKeyLen; ++i) {
    if (buffer[i] == kKey[matched]) {
      ++matched;
    } else {
      matched = buffer[i] == kKey[0] ? 1 : 0;
      if (matched == 0) buffer[i] = '0';
    }
  }
  return matched == kKeyLen;
}

std::size_t FindFirstFF(const std::uint8_t* d, std::size_t size) {
  for (std::size_t i = 0; d != nullptr && i < size; ++i) {
    if (d[i] == 0xFF) return i;
  }
  return size;
}

std::size_t FindPattern(const std::uint8_t* d, std::size_t size, const std::uint8_t* pat,
                        std::size_t patSize) {
  if (d == nullptr || pat == nullptr || patSize == 0 || size < patSize) return 0;
  for (std::size_t i = 0; i < size - patSize; ++i) {
    if (std::memcmp(d + i, pat, patSize) == 0) return i;
  }
  return 0;
}
