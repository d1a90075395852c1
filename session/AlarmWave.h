// The alarm sound.
#pragma once

class CAlarmWave {
 public:
  CAlarmWave() = default;
  ~CAlarmWave() = default;
};
