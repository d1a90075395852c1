#include "core/Strings.h"

#include <algorithm>
#include <iterator>

#include "platform/messages.h"

namespace {

struct StringEntry {
  unsigned id;
  const char* text;
};

// Sorted by id.
constexpr StringEntry kStrings[] = {
#include "core/StringTable.inc"
};

}  // namespace

const char* LoadStr(unsigned id) {
  const auto* end = std::end(kStrings);
  const auto* it = std::lower_bound(std::begin(kStrings), end, id,
                                    [](const StringEntry& e, unsigned v) { return e.id < v; });
  return (it != end && it->id == id) ? it->text : "";
}

int MessageBoxById(plat::HWND owner, unsigned id, unsigned type) {
  return plat::MessageBox(owner, LoadStr(id), "", type);
}

std::size_t StringTableSize() { return std::size(kStrings); }

bool StringTableEntry(std::size_t index, unsigned& id, const char*& text) {
  if (index >= std::size(kStrings)) return false;
  id = kStrings[index].id;
  text = kStrings[index].text;
  return true;
}
