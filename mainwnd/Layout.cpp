#include "mainwnd/Layout.h"

#include <initializer_list>
#include <utility>

namespace {

struct RowSpec {
  std::uint16_t width, closedHeight, openHeight;
  std::uint16_t video[4];
  std::uint16_t status[4];
};

constexpr RowSpec kRowSpecs[kLayoutModeCount] = {
    {722, 608, 680, {42, 96, 682, 552}, {6, 63, 714, 83}},
    {370, 366, 461, {24, 90, 344, 318}, {6, 63, 362, 83}},
    {722, 705, 776, {42, 96, 682, 648}, {6, 63, 714, 83}},
    {370, 414, 509, {24, 90, 344, 366}, {6, 63, 362, 83}},
    {370, 366, 461, {96, 148, 272, 260}, {6, 63, 362, 83}},
    {370, 414, 509, {96, 132, 272, 276}, {6, 63, 362, 83}},
    {722, 608, 680, {8, 86, 712, 566}, {6, 63, 714, 83}},
    {370, 366, 461, {8, 84, 360, 324}, {6, 63, 362, 83}},
    {722, 705, 776, {10, 86, 714, 660}, {6, 63, 714, 83}},
    {370, 414, 509, {8, 86, 360, 372}, {6, 63, 362, 83}},
    {370, 366, 461, {96, 148, 272, 260}, {6, 63, 362, 83}},
    {370, 414, 509, {96, 132, 272, 276}, {6, 63, 362, 83}},
    {722, 608, 680, {40, 86, 680, 566}, {6, 63, 714, 83}},
    {370, 366, 461, {24, 84, 344, 324}, {14, 63, 362, 83}},
    {722, 705, 776, {42, 86, 682, 660}, {38, 63, 682, 83}},
    {370, 414, 509, {24, 86, 344, 372}, {22, 63, 346, 83}},
    {370, 366, 461, {104, 148, 264, 260}, {6, 63, 362, 83}},
    {370, 414, 509, {104, 132, 264, 276}, {6, 63, 362, 83}},
};

constexpr LayoutRow MakeRow(int mode) {
  LayoutRow r{};
  const RowSpec& s = kRowSpecs[mode];
  const int cls = mode % 6;
  const bool vga = cls == 0 || cls == 2;
  const bool pal = cls == 2 || cls == 3 || cls == 5;
  auto put = [&r](int at, std::initializer_list<int> values) {
    for (int v : values) r.v[at++] = static_cast<std::uint16_t>(v);
  };
  put(LV_WINDOW, {0, 0, s.width, s.closedHeight});
  put(LV_WINDOW_OPEN, {0, 0, s.width, s.openHeight});
  put(LV_BACKGROUND, {0, 0, s.width, s.closedHeight});
  put(LV_VIDEO, {s.video[0], s.video[1], s.video[2], s.video[3]});
  put(LV_STATUS, {s.status[0], s.status[1], s.status[2], s.status[3]});
  if (vga) {
    put(LV_POWER, {26, 26, 584, 34});
    put(LV_CAMERA_UP, {345, pal ? 668 : 571, 32, 32});
    put(LV_CAMERA_DOWN, {345, pal ? 740 : 643, 32, 32});
    put(LV_TITLE, {663, 8, 13, 13, 4});
    put(LV_ADDRESS_TEXT, {542, 7});
    put(LV_ONLINE_ICON, {685, 65, 698, 81});
  } else {
    put(LV_POWER, {26, 26, 232, 35});
    put(LV_CAMERA_UP, {166, pal ? 377 : 329, 32, 32});
    put(LV_CAMERA_DOWN, {166, pal ? 472 : 424, 32, 32});
    put(LV_TITLE, {311, 8, 13, 13, 4});
    put(LV_ADDRESS_TEXT, {190, 7});
    put(LV_ONLINE_ICON, {333, 65, 346, 81});
  }
  return r;
}

template <std::size_t... I>
constexpr std::array<LayoutRow, kLayoutModeCount> MakeTable(std::index_sequence<I...>) {
  return {MakeRow(static_cast<int>(I))...};
}

}  // namespace

const std::array<LayoutRow, kLayoutModeCount> LayoutModeTable = MakeTable(std::make_index_sequence<kLayoutModeCount>());

const LayoutRow& LayoutRowOf(unsigned mode) { return LayoutModeTable[mode % kLayoutModeCount]; }

// Control ids of every row: connect, resolution, quality, snapshot, record, configuration,
// the two camera-tool buttons and power.
#define ACCESS_IDS {1002, 1007, 1008, 1004, 1005, 1006, 8192, 8193, 8311}
const std::array<AccessModeEntry, kAccessModeCount> AccessModeTable = {{
    {0, 60, 30, 3011, 8, ACCESS_IDS, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
    {1, 40, 20, 8332, 8, ACCESS_IDS, {1, 1, 1, 1, 1, 0, 1, 1, 0}},
    {2, 4, 0, 3013, 8, ACCESS_IDS, {1, 0, 0, 0, 0, 0, 0, 0, 0}},
    {3, 20, 10, 3012, 8, ACCESS_IDS, {1, 0, 0, 1, 1, 0, 1, 1, 0}},
}};
#undef ACCESS_IDS

std::uint8_t AccessModeFromUserLevel(std::uint16_t level) {
  switch (level) {
    case 30: return 0;
    case 20: return 1;
    case 0: return 2;
    default: return 3;  // 10 and every unknown level
  }
}

const AccessModeEntry& AccessRowOf(unsigned accessMode) { return AccessModeTable[accessMode % kAccessModeCount]; }

bool AccessAllows(const AccessModeEntry& row, std::uint32_t ctrlId) {
  for (int i = 0; i < kAccessControlCount; ++i) {
    if (row.nCtrlId[i] == ctrlId) return row.bEnabled[i] != 0;
  }
  return false;
}

namespace {
constexpr int kPictureClass[6] = {0, 1, 2, 3, 1, 3};  // small sizes share the QVGA pictures
}

const char* BackgroundPicture(int sizeClass) {
  static const char* const names[4] = {"BMP\\N_VGA_BG.bmp", "BMP\\N_QVGA_BG.bmp", "BMP\\P_VGA_BG.bmp",
                                       "BMP\\P_QVGA_BG.bmp"};
  return names[kPictureClass[((sizeClass % 6) + 6) % 6]];
}

const char* BackgroundOpenPicture(int sizeClass) {
  static const char* const names[4] = {"BMP\\N_VGA_BG_EX.bmp", "BMP\\N_QVGA_BG_EX.bmp", "BMP\\P_VGA_BG_EX.bmp",
                                       "BMP\\P_QVGA_BG_EX.bmp"};
  return names[kPictureClass[((sizeClass % 6) + 6) % 6]];
}

const char* StatusBarPicture(int sizeClass) {
  const int c = kPictureClass[((sizeClass % 6) + 6) % 6];
  return (c == 0 || c == 2) ? "BMP\\VGA_Status_Bar.bmp" : "BMP\\StatusBar.bmp";
}

const char* CameraToolFamily(int sizeClass) {
  static const char* const names[4] = {"N_VGA", "N_QVGA", "P_VGA", "P_QVGA"};
  return names[kPictureClass[((sizeClass % 6) + 6) % 6]];
}
