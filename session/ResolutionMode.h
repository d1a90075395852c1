// The resolution and layout mode of the main window: turns the size of each decoded picture
// into a resolution mode (NTSC/PAL, VGA/QVGA) and a layout mode, and has the main window
// re-laid out when the mode changes.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

// Resolution modes.
enum ResolutionModeValue : std::uint8_t {
  RES_NTSC_VGA = 0,
  RES_NTSC_QVGA = 1,
  RES_PAL_VGA = 2,
  RES_PAL_QVGA = 3,
  RES_NTSC_SMALL = 4,
  RES_PAL_SMALL = 5,
};

// The layout families; the layout mode is the resolution mode plus the family's base.
enum class LayoutFamily { None, K41, K40, K47 };
LayoutFamily LayoutFamilyOf(std::string_view productId);

struct ModeChoice {
  std::uint8_t mode = 0;
  int layout = -1;  // -1: the layout stays
  bool operator==(const ModeChoice&) const = default;
};

// The first mode from the Image Resolution setting r and the video mode v (K47R ignores v);
// nothing for values outside the table.
std::optional<ModeChoice> InitialModeFor(LayoutFamily family, std::uint8_t videoMode, int resolution);
// The mode of a picture size; nothing for sizes the family does not list.
std::optional<ModeChoice> ModeForPicture(LayoutFamily family, std::uint16_t width, std::uint16_t height);

class CResolutionMode {
 public:
  CResolutionMode() = default;
  ~CResolutionMode() = default;

  // Chooses the first mode and layout (main window initialisation). Returns 1.
  int InitLayout();
  // Every decoded picture: stores the size and, when the mode changes, the layout and has the
  // channel bar and the main window re-laid out. Returns 1.
  int OnImageSize(std::uint16_t width, std::uint16_t height);
  std::uint8_t GetResolutionMode() const;

  std::uint16_t m_wWidth = 0;
  std::uint16_t m_wHeight = 0;
};
