#include "session/DeviceTypes.h"

#include <string_view>

namespace {

// Description records; the data is in data/devices/.
struct KeyDesc {
  int key;
  const char* section;
  std::uint16_t ctrlId;
  std::uint16_t tipId;
  std::uint8_t style;
  DeviceRect mode0;
  DeviceRect mode1;
  const char* pictures[kKeyPictureCount];
};

struct TypeDesc {
  const char* name;
  std::uint32_t kind;
  const char* shown;
  const char* reloaded;
  const char* flags;
};

struct OverrideDesc {
  const char* types;
  const char* keys;
  std::uint16_t ctrlId;
  std::uint16_t tipId;
  std::uint8_t style;
  const char* pictures[kKeyPictureCount];
  DeviceRect mode0;
};

constexpr KeyDesc kKeys[] = {
#include "data/devices/DeviceKeys.inc"
};
constexpr TypeDesc kTypes[] = {
#include "data/devices/DeviceTypes.inc"
};
constexpr OverrideDesc kOverrides[] = {
#include "data/devices/DeviceTypeOverrides.inc"
};

static_assert(std::size(kKeys) == kPanelKeyCount, "one description row per panel key");
static_assert(std::size(kTypes) == kDeviceTypeCount, "one description row per device type");

// PAL layouts lie lower by these amounts than their NTSC twins.
constexpr int kPalShift[2] = {96, 48};

constexpr DeviceRect Shift(DeviceRect r, int dy) {
  r.top += dy;
  r.bottom += dy;
  return r;
}

// A blank-separated list of numbers and ranges "a-b" (optionally "n:0xVALUE" items) read
// item by item.
class ListReader {
 public:
  constexpr explicit ListReader(const char* text) : p_(text) {}
  // Next item; false at the end. `value` is set for "n:v" items.
  constexpr bool Next(int& first, int& last, int& value, bool& hasValue) {
    while (*p_ == ' ') ++p_;
    if (*p_ == 0) return false;
    first = Number();
    last = first;
    hasValue = false;
    if (*p_ == '-') {
      ++p_;
      last = Number();
    }
    if (*p_ == ':') {
      ++p_;
      value = Number();
      hasValue = true;
    }
    return true;
  }

 private:
  constexpr int Number() {
    int base = 10;
    if (p_[0] == '0' && (p_[1] == 'x' || p_[1] == 'X')) {
      base = 16;
      p_ += 2;
    }
    int v = 0;
    for (;; ++p_) {
      const char c = *p_;
      int d;
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (base == 16 && c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else if (base == 16 && c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      else
        break;
      v = v * base + d;
    }
    return v;
  }
  const char* p_;
};

constexpr bool InList(const char* list, int n) {
  ListReader r(list);
  int a = 0, b = 0, v = 0;
  bool hv = false;
  while (r.Next(a, b, v, hv))
    if (n >= a && n <= b) return true;
  return false;
}

void SetPictures(SkinButtonRow& row, const char* const (&pics)[kKeyPictureCount],
                           std::uint8_t style) {
  for (auto& p : row.pszBitmap) p = nullptr;
  if (style == KEY_STYLE_PUSH) {
    const bool perMode = pics[3] != nullptr;
    for (int g = 0; g < kKeyLayoutModes; ++g)
      for (int i = 0; i < 3; ++i) row.pszBitmap[3 * g + i] = perMode ? pics[3 * g + i] : pics[i];
  } else {
    for (int i = 0; i < 4; ++i) {
      row.pszBitmap[i] = pics[i];
      row.pszBitmap[6 + i] = pics[i];
    }
  }
}

void SetMode0Rect(SkinButtonRow& row, DeviceRect r0) {
  row.rcMode[0] = r0;
  row.rcMode[2] = Shift(r0, kPalShift[0]);
}

std::array<DeviceTypeEntry, kDeviceTypeCount> BuildTable() {
  std::array<DeviceTypeEntry, kDeviceTypeCount> table{};
  for (int t = 0; t < kDeviceTypeCount; ++t) {
    DeviceTypeEntry& e = table[t];
    const TypeDesc& td = kTypes[t];
    e.pszName = td.name;
    e.dwKind = td.kind;
    e.dwIndex = static_cast<std::uint32_t>(t);
    for (int k = 0; k < kPanelKeyCount; ++k) {
      const KeyDesc& kd = kKeys[k];
      SkinButtonRow& row = e.Rows[k];
      row.rcMode[0] = kd.mode0;
      row.rcMode[1] = kd.mode1;
      row.rcMode[2] = Shift(kd.mode0, kPalShift[0]);
      row.rcMode[3] = Shift(kd.mode1, kPalShift[1]);
      row.wTipId = kd.tipId;
      row.byStyle = kd.style;
      row.wCtrlId = kd.ctrlId;
      row.dwIndex = static_cast<std::uint32_t>(k);
      SetPictures(row, kd.pictures, kd.style);
      std::uint16_t flags = 0;
      if (InList(td.shown, k)) flags = SBF_ENABLED | SBF_VISIBLE;
      if (flags && InList(td.reloaded, k)) flags |= SBF_LAYOUTPICTURES;
      row.wFlags = flags;
    }
    ListReader r(td.flags);
    int a = 0, b = 0, v = 0;
    bool hv = false;
    while (r.Next(a, b, v, hv))
      for (int k = a; k <= b; ++k) e.Rows[k].wFlags = static_cast<std::uint16_t>(v);
  }
  for (const OverrideDesc& od : kOverrides) {
    for (int t = 0; t < kDeviceTypeCount; ++t) {
      if (!InList(od.types, t)) continue;
      ListReader r(od.keys);
      int a = 0, b = 0, v = 0;
      bool hv = false;
      while (r.Next(a, b, v, hv)) {
        for (int k = a; k <= b; ++k) {
          SkinButtonRow& row = table[t].Rows[k];
          if (od.ctrlId) row.wCtrlId = static_cast<std::uint16_t>(od.ctrlId + (k - a));
          if (od.tipId) row.wTipId = static_cast<std::uint16_t>(od.tipId + (k - a));
          if (od.style) row.byStyle = od.style;
          if (od.pictures[0]) SetPictures(row, od.pictures, row.byStyle);
          if (od.mode0.right != 0) SetMode0Rect(row, od.mode0);
        }
      }
    }
  }
  return table;
}

const std::array<DeviceTypeEntry, kDeviceTypeCount>& BuiltTable() {
  static const std::array<DeviceTypeEntry, kDeviceTypeCount> table = BuildTable();
  return table;
}

int LayoutIndex(int layoutMode) {
  const int m = layoutMode % 6;
  return (m >= 0 && m < kKeyLayoutModes) ? m : 0;
}

bool InRange(int type, int key) {
  return type >= 0 && type < kDeviceTypeCount && key >= 0 && key < kPanelKeyCount;
}

}  // namespace

std::array<DeviceTypeEntry, kDeviceTypeCount> DeviceTypeTable = BuiltTable();

const char* PanelKeySection(int key) {
  if (key < 0 || key >= kPanelKeyCount) return nullptr;
  return kKeys[key].section;
}

DeviceRect KeyRect(int type, int key, int layoutMode) {
  if (!InRange(type, key)) return {};
  return DeviceTypeTable[type].Rows[key].rcMode[LayoutIndex(layoutMode)];
}

const char* KeyPicture(int type, int key, int layoutMode, int slot) {
  if (!InRange(type, key)) return nullptr;
  const SkinButtonRow& row = DeviceTypeTable[type].Rows[key];
  if (row.byStyle == KEY_STYLE_PUSH) {
    if (slot < 0 || slot > 2) return nullptr;
    return row.pszBitmap[3 * LayoutIndex(layoutMode) + slot];
  }
  if (slot < 0 || slot > 3) return nullptr;
  return row.pszBitmap[slot];
}

std::string KeyTooltip(const SkinButtonRow& row, const std::string& text) {
  if (!(row.wFlags & (SBF_TIPFIRST | SBF_TIPSECOND))) return text;
  const auto dollar = text.find('$');
  if (dollar == std::string::npos) return text;
  return (row.wFlags & SBF_TIPFIRST) ? text.substr(0, dollar) : text.substr(dollar + 1);
}

void ApplyK41KeyRules(bool firmwareBelow1078, bool multiChannel) {
  if (firmwareBelow1078)
    for (int t : {14, 19, 20, 21, 22, 23}) DeviceTypeTable[t].Rows[PK_ESC].wFlags = 0;
  if (multiChannel)
    for (int t : {11, 17, 18, 25}) DeviceTypeTable[t].Rows[PK_PTZ].wFlags = 0;
}

void ResetDeviceTypeTable() { DeviceTypeTable = BuiltTable(); }
