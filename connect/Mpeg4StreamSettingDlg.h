// The MPEG-4 stream settings: four numbers with their ranges.
#pragma once
#include "ui/Window.h"

// Four numbers with their ranges; nothing is sent or stored elsewhere.
class CMpeg4StreamSettingDlg : public ui::Window {
  Q_OBJECT

 public:
  static constexpr int kBitRateId = 1041;
  static constexpr int kGopId = 1266;
  static constexpr int kWidthId = 1267;
  static constexpr int kHeightId = 1268;

  explicit CMpeg4StreamSettingDlg(QWidget* parent = nullptr);
  bool OnInitDialog() override;
  void OnOK() override;

  int m_nTargetBitRate = 0;
  int m_nGop = 0;
  int m_nImageWidth = 0;
  int m_nImageHeight = 0;
};
