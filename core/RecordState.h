// The values of the running client's record that core's own rules read: the connected
// device's identity, the turbo repeat step and the program folder. The record above core
// registers itself while it is published; with none registered the rules answer as for
// "nothing connected".
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

class ICoreRecord {
 public:
  virtual ~ICoreRecord() = default;
  virtual std::string ConnectedProductId() const = 0;
  virtual std::uint8_t ConnectedMultiChannel() const = 0;
  virtual std::uint32_t ConnectedFeatureFlags() const = 0;
  virtual std::atomic<std::uint8_t>& TurboRepeatStep() = 0;
  virtual std::string ProgramPath() const = 0;
};

// The registered record, or null.
ICoreRecord* CoreRecord();
void SetCoreRecord(ICoreRecord* record);
