// The "R.E.T.R." page of the configuration sheet: the record-on-trigger switch (kept, never shown).
#pragma once
#include <cstdint>
#include <string>

#include "ui/PropertySheet.h"

class CAlarmTriggerPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  explicit CAlarmTriggerPage(QWidget* parent = nullptr) : ui::PropertyPage(QStringLiteral("R.E.T.R."), parent) {}

  std::uint8_t m_byRecord = 0;  // the record switch
};
