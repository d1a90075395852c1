// The "Video Setting" page of the configuration sheet: the stream's picture size, video type,
// JPEG quality and MPEG4 bit rate, from the client's video-setting block. The sheet keeps it
// but never shows it.
#pragma once
#include <cstdint>

#include "session/SectionWriters.h"
#include "ui/PropertySheet.h"

enum VideoSettingControl : int {
  IDC_VIDEO_RESOLUTION = 1195,
  IDC_VIDEO_TYPE = 1196,
  IDC_VIDEO_QUALITY = 1197,
  IDC_VIDEO_BITRATE = 1198,
  IDC_VIDEO_BITRATE_LABEL = 1378,
  IDC_VIDEO_QUALITY_LABEL = 1379,
  IDC_VIDEO_GOP_LABEL = 1377,
  IDC_VIDEO_GOP = 1040,
};

class CSetZududCmdPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  // The client's video-setting block (AppRecord::VideoSettingBlock, 16 bytes); its layout
  // and writer live in session/SectionWriters.h.
  using Layout = sect::VideoSettingLayout;
  static constexpr std::size_t kOffType = Layout::kOffType;
  static constexpr std::size_t kOffQuality = Layout::kOffQuality;
  static constexpr std::size_t kOffRate = Layout::kOffRate;
  static constexpr std::size_t kOffResolution = Layout::kOffResolution;
  static constexpr std::size_t kOffWidthCode = Layout::kOffWidthCode;
  static constexpr std::size_t kOff176Wide = Layout::kOff176Wide;
  static constexpr std::size_t kOffField = Layout::kOffField;
  static constexpr std::size_t kOffHeightCode = Layout::kOffHeightCode;

  explicit CSetZududCmdPage(QWidget* parent = nullptr);

  int m_nResolution = -1;  // 0: 704 wide, 1: 352, 2: 176
  int m_nVideoType = -1;   // 0 JPEG, 1 MPEG4
  int m_nQuality = -1;     // 0 Low, 1 Middle, 2 High
  int m_nBitRate = -1;     // 0 "512K" .. 6 "Local"
  std::uint16_t m_wFrameWidth = 0;
  std::uint16_t m_wFrameHeight = 0;

  void DoDataExchange(ui::DataExchange& dx) override;
  void OnSelchangeVideoType();

  static int ResolutionChoice(int width, int height);
  static int QualityChoice(int quality);
  static int BitRateChoice(int rateCode);

 protected:
  bool OnInitDialog() override;

 private:
  void ShowTypeControls(int type);
};
