// Fuzzes the profile parser: any bytes must parse without crashing, and every section and
// key parsed must be found again by name.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  plat::ProfileDocument doc;
  doc.Parse(text);
  for (const auto& section : doc.Sections()) {
    const plat::ProfileSection* first = doc.FindSection(section.name);
    if (!first) __builtin_trap();
    for (const auto& entry : section.entries) {
      // Lookups see the first section of a name only.
      if (first == &section && !doc.Find(section.name, entry.key)) __builtin_trap();
      (void)plat::ParseLeadingInt(entry.value);
    }
  }
  (void)plat::ParseLeadingInt(text);
  return 0;
}
