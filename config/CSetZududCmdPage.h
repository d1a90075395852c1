// The "Video Setting" page of the configuration sheet: the stream's picture size, video type,
// JPEG quality and MPEG4 bit rate, from the client's video-setting block. The sheet keeps it
// but never shows it.
#pragma once
#include <cstdint>

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
  // The client's video-setting block (AppRecord::VideoSettingBlock, 16 bytes).
  static constexpr std::size_t kOffType = 0;        // 0 JPEG, 4 MPEG4
  static constexpr std::size_t kOffQuality = 1;     // 1..100
  static constexpr std::size_t kOffRate = 2;        // 16-bit rate code, little-endian
  static constexpr std::size_t kOffResolution = 4;  // resolution code
  static constexpr std::size_t kOffWidthCode = 5;
  static constexpr std::size_t kOff176Wide = 6;
  static constexpr std::size_t kOffField = 7;
  static constexpr std::size_t kOffHeightCode = 8;
  static constexpr std::uint16_t kRateCodes[7] = {0x11, 0x15, 0x22, 0x33, 0x44, 0x66, 0x99};
  static constexpr std::uint8_t kQualityValues[3] = {30, 50, 70};

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
