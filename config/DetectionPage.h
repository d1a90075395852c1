// The "Detection" page of the configuration sheet: motion detection and alarm inputs per channel.
// A confirmed edit goes into the record's DVRLIVE and ALARM copies at once; APPLY sends the
// sections the page marked.
#pragma once
#include <cstdint>
#include <functional>

#include "ui/PropertySheet.h"

class CDetectionEditDlg;
namespace ui {
class ReportList;
}

class DetectionPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  enum : int { IDC_DETECTION_LIST = 1413, IDC_DETECTION_EDIT = 1068 };
  static constexpr int kChannels = 16, kAreaBytes = 24;

  explicit DetectionPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Detection"), parent) {}

  int m_bLiveChanged = 0;   // DVRLIVE to be sent
  int m_bAlarmChanged = 0;  // ALARM to be sent
  std::uint8_t m_byDetect[kChannels] = {};
  std::uint8_t m_byLS[kChannels] = {};
  std::uint8_t m_bySS[kChannels] = {};
  std::uint8_t m_byTS[kChannels] = {};
  std::uint8_t m_byRE[kChannels] = {};
  std::uint8_t m_byAlarmType[kChannels] = {};
  std::uint8_t m_byArea[kChannels][kAreaBytes] = {};

  void OnButtonEdit();
  void OnDblclkDetectionList();
  ui::ReportList* List() const;
  // The alarm input type as the list shows it.
  static const char* AlarmTypeText(std::uint8_t type);

  // Runs the editor modally (tests replace it); answers the end code.
  std::function<int(CDetectionEditDlg&)> runEditor;

 protected:
  bool OnInitDialog() override;

 private:
  void Edit(bool fromButton);
  void SwitchLiveChannel(int row);
  void WriteDetectRow(int row);
};
