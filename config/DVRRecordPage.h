// The "Record Setting" page of the configuration sheet (K41R family from firmware "1058"):
// how the recorder records (manual, event and timer recording with their picture rates,
// overwrite, image size, quality, sharing of the total rate), read once with
// /GetRecordSetting.cgi when the page is first shown; the sheet's APPLY sends
// /SetRecordSetting.cgi.
#pragma once
#include <cstdint>

#include "session/DvrSettings.h"
#include "ui/PropertySheet.h"

enum DvrRecordControl : int {
  IDC_REC_MANUAL_YES = 1483,
  IDC_REC_MANUAL_NO = 1484,
  IDC_REC_MANUAL_IPS = 1195,
  IDC_REC_EVENT_YES = 1485,
  IDC_REC_EVENT_NO = 1486,
  IDC_REC_EVENT_IPS = 1198,
  IDC_REC_TIMER_YES = 1487,
  IDC_REC_TIMER_NO = 1488,
  IDC_REC_TIMER_IPS = 1197,
  IDC_REC_OVERWRITE_YES = 1489,
  IDC_REC_OVERWRITE_NO = 1490,
  IDC_REC_FRAME = 1491,
  IDC_REC_FIELD = 1492,
  IDC_REC_CIF = 1493,
  IDC_REC_QUALITY = 1494,
  IDC_REC_FIX = 1496,
  IDC_REC_GROUP = 1497,
};

class DVRRecordPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit DVRRecordPage(QWidget* parent = nullptr);

  int m_nMotionRate = -1;
  int m_nManualRate = -1;
  int m_nTimerRate = -1;
  int m_nQuality = -1;
  RecordSettingValues m_read;  // as read; never updated
  std::uint8_t m_byManualSel = 0, m_byEventSel = 0, m_byTimerSel = 0, m_byOverwriteSel = 0;
  std::uint8_t m_byQualitySel = 0, m_byRecModeSel = 0, m_byIpsShareSel = 0;
  bool m_bFilled = false;

  void DoDataExchange(ui::DataExchange& dx) override;
  // The settings as chosen on the page (a rate list without a choice keeps the rate read).
  RecordSettingValues Chosen();

  void OnYesNo(int yesId, std::uint8_t& choice, bool yes);
  void OnModeFrame();
  void OnModeField();
  void OnModeCif();
  void OnSelchangeQuality();
  void OnIpsShare(bool fix);

 protected:
  bool OnInitDialog() override;

 private:
  void FillRates(int recMode);
  void SetPair(int yesId, std::uint8_t value);
  void CheckMode(int mode);
  int ChannelClass() const;
};
