// The "R.E.T.R." page of the configuration sheet (remote event trigger recording): the
// record-on-trigger switch, a time limit and a connection-check address. The sheet keeps it
// but never shows it.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

enum RetrControl : int {
  IDC_RETR_GATEWAY = 1055,
  IDC_RETR_INTERVAL = 1195,
  IDC_RETR_DAY = 1351,
  IDC_RETR_HOUR = 1040,
  IDC_RETR_MINUTE = 1041,
  IDC_RETR_HIGH = 1340,
  IDC_RETR_MIDDLE = 1341,
  IDC_RETR_LOW = 1342,
  IDC_RETR_VGA = 1343,
  IDC_RETR_QVGA = 1344,
  IDC_RETR_ON = 1346,
  IDC_RETR_OFF = 1347,
  IDC_RETR_ENABLE = 1348,
  IDC_RETR_DISABLE = 1349,
};

class CAlarmTriggerPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CAlarmTriggerPage(QWidget* parent = nullptr);

  int m_nInterval = -1;        // list 1195 (hidden)
  int m_nDay = -1;             // list 1351
  unsigned m_nHour = 0;        // 0..23
  unsigned m_nMinute = 0;      // 0..59
  int m_nQuality = 0;          // 0 High, 1 Middle, 2 Low
  int m_nResolution = 0;       // 0 VGA, 1 QVGA
  std::uint32_t m_dwGateway = 0;
  int m_nOnOff = 0;            // 1 ON, 0 OFF
  std::uint8_t m_byRecord = 0;  // the record switch: 1 Enable, 0 Disable

  void DoDataExchange(ui::DataExchange& dx) override;
  void OnRemote(bool enable);
  void OnQuality(int quality);
  void OnResolution(int resolution);
  void OnOnOff(int on);

 protected:
  bool OnInitDialog() override;

 private:
  void OnChangeLimit(int id, unsigned& field, unsigned max);
  void CheckPair(int firstId, int count, int chosen);
};
