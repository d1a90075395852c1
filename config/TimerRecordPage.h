// The "Timer Record" page of the configuration sheet (K41R family from firmware "1058"): seven
// timer slots of the DVRREC section, each a day choice and a start and an end time of day.
#pragma once
#include <cstdint>

#include "ui/PropertySheet.h"

namespace ui {
class DateTimePicker;
}

class TimerRecordPage : public ui::PropertyPage {
  Q_OBJECT

 public:
  static constexpr int kSlots = 7;
  // Row n (1..7): day list 1194 + n, start picker 1477 + 2n, end picker 1478 + 2n.
  static constexpr int DayId(int n) { return 1194 + n; }
  static constexpr int StartId(int n) { return 1477 + 2 * n; }
  static constexpr int EndId(int n) { return 1478 + 2 * n; }

  explicit TimerRecordPage(QWidget* parent = nullptr);

  int m_nDay[kSlots];
  std::uint8_t m_byDay[kSlots] = {};
  std::uint16_t m_wStartTime[kSlots] = {};
  std::uint16_t m_wEndTime[kSlots] = {};
  // The page passed its gate and shows the section's slots.
  bool m_bFilled = false;

  void DoDataExchange(ui::DataExchange& dx) override;
  // Builds the seven slots from the controls into m_byDay, m_wStartTime and m_wEndTime. A
  // list without a choice and a picker the operator never touched keep the value read.
  void CollectSlots();
  ui::DateTimePicker* Picker(int id) const;

 protected:
  bool OnInitDialog() override;

 private:
  std::uint16_t m_wShownStart[kSlots] = {};
  std::uint16_t m_wShownEnd[kSlots] = {};
};
