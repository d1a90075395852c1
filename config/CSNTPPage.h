// The "Server Time Config" page of the configuration sheet (K40R, K47R): the recorder's clock
// set by hand, or taken from a time server in a GMT zone. "Sync Time" sends the choice at
// once; the sheet then stores the time-server choice in the SNTP section.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

namespace ui {
class DateTimePicker;
}
class QLabel;

enum SntpControl : int {
  IDC_SNTP_FROM_SERVER = 1449,
  IDC_SNTP_BY_USER = 1450,
  IDC_SNTP_SYNC = 1068,
  IDC_SNTP_GMT_LABEL = 1454,
  IDC_SNTP_ZONE = 1195,
  IDC_SNTP_SERVER_LABEL = 1455,
  IDC_SNTP_CUSTOM = 1452,
  IDC_SNTP_SERVER = 1040,
  IDC_SNTP_AUTOMATIC = 1453,
  IDC_SNTP_TIME = 238,
  IDC_SNTP_DATE = 239,
  IDC_SNTP_DATE_LABEL = 240,
  IDC_SNTP_TIME_LABEL = 241,
};

class CSNTPPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  static constexpr int kServerLimit = 27;

  explicit CSNTPPage(QWidget* parent = nullptr);

  std::string m_strSntpServer;
  int m_nZoneIndex = -1;
  std::uint8_t m_byTimeMode = 0;    // 1 from a time server, 0 by the user
  std::uint8_t m_byServerMode = 0;  // 1 "Automatic", 0 the typed server
  ui::DateTimePicker* m_pDatePicker = nullptr;
  ui::DateTimePicker* m_pTimePicker = nullptr;
  QLabel* m_pDateLabel = nullptr;
  QLabel* m_pTimeLabel = nullptr;

  void DoDataExchange(ui::DataExchange& dx) override;
  void OnCorrectFromServer();
  void OnCorrectByUser();
  void OnCustomServer();
  void OnAutomaticServer();
  void OnSyncTime();

  // Letters, digits, ".", "-" and "_": the request carries the name as it stands.
  static bool IsServerNameText(const std::string& text);

 protected:
  bool OnInitDialog() override;

 private:
  void ShowServerControls(bool show);
};
