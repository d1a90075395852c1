#include "session/ResolutionMode.h"

#include "session/SessionRecord.h"
#include "core/Model.h"

LayoutFamily LayoutFamilyOf(std::string_view productId) {
  if (IsModelFamilyK41(productId)) return LayoutFamily::K41;
  if (IsModelK40R(productId) || IsModelFamilyK44(productId)) return LayoutFamily::K40;
  if (IsModelK47R(productId)) return LayoutFamily::K47;
  return LayoutFamily::None;
}

std::optional<ModeChoice> InitialModeFor(LayoutFamily family, std::uint8_t videoMode, int resolution) {
  if (resolution < 0 || resolution > 2 || family == LayoutFamily::None) return std::nullopt;
  static constexpr std::uint8_t kModes[2][3] = {{0, 1, 4}, {2, 3, 5}};
  if (family == LayoutFamily::K47) {
    const std::uint8_t mode = kModes[0][resolution];
    return ModeChoice{mode, resolution == 0 ? 12 : 13};
  }
  if (videoMode > 1) return std::nullopt;
  const int base = family == LayoutFamily::K41 ? 0 : 6;
  const std::uint8_t mode = kModes[videoMode][resolution];
  // The small sizes use the QVGA layout of their standard.
  const int layoutMode = mode == RES_NTSC_SMALL  ? static_cast<int>(RES_NTSC_QVGA)
                         : mode == RES_PAL_SMALL ? static_cast<int>(RES_PAL_QVGA)
                                                 : mode;
  return ModeChoice{mode, base + layoutMode};
}

std::optional<ModeChoice> ModeForPicture(LayoutFamily family, std::uint16_t width, std::uint16_t height) {
  switch (family) {
    case LayoutFamily::K47:
      if (width == 320 && height == 240) return ModeChoice{1, 13};
      if (width == 640 && height == 480) return ModeChoice{0, 12};
      if (width == 160 && height == 120) return ModeChoice{4, -1};
      return std::nullopt;
    case LayoutFamily::K41:
      if (width == 320) return height == 228 ? ModeChoice{1, 1} : ModeChoice{3, 3};
      if (width == 640) return height == 228 ? ModeChoice{0, 0} : ModeChoice{2, 2};
      return std::nullopt;
    case LayoutFamily::K40:
      if (width == 352) return height == 240 ? ModeChoice{1, 7} : ModeChoice{3, 9};
      if (width == 704) return height == 240 ? ModeChoice{0, 6} : ModeChoice{2, 8};
      return std::nullopt;
    case LayoutFamily::None: break;
  }
  return std::nullopt;
}

int CResolutionMode::InitLayout() {
  SessionRecord* app = g_lpSession;
  if (!app) return 1;
  const auto choice = InitialModeFor(LayoutFamilyOf(app->GetProductID()), app->by_VideoModeAtInit.load(),
                                     app->CSettingINI.m_nImageResolution.load());
  if (choice) {
    app->by_ResolutionMode = choice->mode;
    app->by_ResolutionModePrev = choice->mode;
    if (choice->layout >= 0) app->w_LayoutMode = static_cast<std::uint16_t>(choice->layout);
  }
  return 1;
}

int CResolutionMode::OnImageSize(std::uint16_t width, std::uint16_t height) {
  m_wWidth = width;
  m_wHeight = height;
  SessionRecord* app = g_lpSession;
  if (!app) return 1;
  const LayoutFamily family = LayoutFamilyOf(app->GetProductID());
  const auto choice = ModeForPicture(family, width, height);
  if (!choice) return 1;
  app->by_ResolutionMode = choice->mode;
  if (choice->mode == app->by_ResolutionModePrev.load()) return 1;
  if (choice->layout >= 0) app->w_LayoutMode = static_cast<std::uint16_t>(choice->layout);
  app->by_ResolutionModePrev = choice->mode;
  if (family == LayoutFamily::K41) {
    if (IChannelBar* bar = app->C_ChannelBar.load()) bar->Arrange();
  }
  if (IMainWindow* w = app->lp_MainDialog.load()) w->SwitchLayout(choice->mode);
  return 1;
}

std::uint8_t CResolutionMode::GetResolutionMode() const {
  SessionRecord* app = g_lpSession;
  return app ? app->by_ResolutionMode.load() : 0;
}
