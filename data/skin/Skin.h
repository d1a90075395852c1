// The skin table (SkinTable.inc) as C++: one entry per picture or placed rectangle, found
// by its id. Used by tools/skingen to draw the pictures and by the windows for the paths and
// the rectangles they draw them in. No dependencies.
#pragma once
#include <cstddef>
#include <cstdint>

namespace skin {

enum Style : std::uint8_t { NONE, PANEL, KEY, KEY_OVER, KEY_DOWN, ICON, GLYPH, BLOCK };

enum Id : int {
#define SKIN(id, path, x, y, w, h, rgb, style, label, lx, ly) id,
#define SKIN_PLACE(id, x, y, w, h) id,
#include "data/skin/SkinTable.inc"
#undef SKIN
#undef SKIN_PLACE
  COUNT
};

struct Entry {
  const char* name;
  const char* path;  // nullptr for a placed rectangle without a picture
  int x, y, width, height;
  std::uint32_t rgb;
  Style style;
  const char* label;
  int labelX, labelY;
};

inline constexpr Entry kEntries[COUNT] = {
#define SKIN(id, path, x, y, w, h, rgb, style, label, lx, ly) {#id, path, x, y, w, h, rgb, style, label, lx, ly},
#define SKIN_PLACE(id, x, y, w, h) {#id, nullptr, x, y, w, h, 0, NONE, "", -1, -1},
#include "data/skin/SkinTable.inc"
#undef SKIN
#undef SKIN_PLACE
};

constexpr const Entry& Get(Id id) { return kEntries[id]; }
constexpr const char* Path(Id id) { return kEntries[id].path; }

}  // namespace skin
