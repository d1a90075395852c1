// The "Alarm" page of the configuration sheet: alarm method, picture size, duration and video source.
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

class AlarmPropertyPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit AlarmPropertyPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("Alarm"), parent) {}

  std::uint8_t m_byAlarmTriggerRecord = 0;    // "Alarm Trigger Record"
  std::uint8_t m_byAlarmAutoSwitchVideo = 0;  // the stored setting until the page says otherwise
};
