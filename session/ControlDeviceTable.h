// The devices the client can steer over the recorder's RS-485 bus: the recorder itself and the
// cameras, domes and PTZ heads it reports. One entry at a time is current; its device type
// (a row of DeviceTypeTable) decides the control panel and the command templates the keys send.
//
// The table is used from the user-interface thread, the login thread and the stream threads;
// every operation takes the table's own lock, so each is atomic with respect to the others.
#pragma once
#include <cstdint>
#include <mutex>

// Entry flags.
constexpr std::uint16_t CDF_INUSE = 0x0001;
constexpr std::uint16_t CDF_VIDEO = 0x0002;  // chosen by the live channel
constexpr std::uint16_t CDF_PTZ = 0x0004;    // chosen in PTZ mode

constexpr int kControlDeviceMax = 30;

struct ControlDeviceEntry {
  std::uint8_t byReserved[16] = {};
  std::int32_t dwBaud = 0;  // 2400 for reported devices, 0 for the recorder itself
  std::uint8_t byId = 0;    // RS-485 address (the recorder itself: 0)
  std::uint8_t byType = 0;  // DeviceTypeTable index 0-25
  std::uint16_t wFlags = 0;
};

// Receives the visible effects of a change of the recorder's R.E.T.R. state: the settings'
// alarm-trigger switch and the picture and tooltip of the panel's R.E.T.R. key. The default
// route (no sink installed) writes the switch into the application record's settings and
// asks the main window, when one exists, to show the key's new face.
class IRetrStateSink {
 public:
  virtual ~IRetrStateSink() = default;
  virtual std::uint8_t GetRetrAlarmRecord() = 0;  // CSettingINI::m_byRetrAlarmRecord
  virtual void SetAlarmTriggerRecord(std::uint8_t value) = 0;  // CSettingINI::m_byAlarmTriggerRecord
  // image 0 = off ("R.E.T.R.(Disable)"), 1 = on ("R.E.T.R.(Enable)")
  virtual void ShowRetrKey(int image, const char* tooltip) = 0;
};

class CControlDeviceTable {
 public:
  CControlDeviceTable();
  ~CControlDeviceTable() = default;
  CControlDeviceTable(const CControlDeviceTable&) = delete;
  CControlDeviceTable& operator=(const CControlDeviceTable&) = delete;

  void Reset();
  // Appends one entry (CDF_INUSE added); -1 when 30 entries exist. The current entry stays.
  int Add(int baud, std::uint8_t id, std::uint8_t type, std::uint16_t flags);
  // Makes the entry of ordinal n among the in-use entries matching mask current; -1 if none.
  int MakeCurrent(std::uint16_t mask, int n);
  // Keeps only the video entries, in order, at the front.
  void Compact();

  std::uint8_t GetCurrentType() const;
  std::uint8_t GetCurrentId() const;
  std::uint8_t GetVideoDeviceType() const;
  std::uint8_t GetVideoDeviceId() const;
  std::uint8_t GetPtzDeviceType() const;
  std::uint8_t GetPtzDeviceId() const;
  std::uint8_t GetPreviousType() const;
  std::uint8_t GetPreviousId() const;
  ControlDeviceEntry GetCurrentEntry() const;
  ControlDeviceEntry GetPreviousEntry() const;
  std::uint8_t GetNthVideoType(int n) const;
  std::uint8_t GetNthPtzType(int n) const;
  int IsCurrentVideo() const;
  int GetCurrentOrdinal() const;
  int SetNthPtzEntry(int n, std::uint8_t type, std::uint8_t id);
  // 1 when an in-use video entry of type 19, 22 or 23 (the recorders K41R-K43R) exists.
  int FindSpecialType() const;

  // Stores the recorder's R.E.T.R. state; the alarm-trigger switch follows the new state,
  // and the key's face changes only when the state changes. Returns 1.
  int SetRetrState(std::uint8_t state);
  std::uint8_t GetRetrState() const;

  // Tests and the main window may route the R.E.T.R. effects; null restores the default.
  void SetRetrSink(IRetrStateSink* sink);

  // Inspection (tests, configuration pages).
  std::uint8_t GetEntryCount() const;
  ControlDeviceEntry GetEntry(int index) const;
  std::uint8_t GetCurrentIndex() const;
  std::uint8_t GetPreviousIndex() const;
  std::uint8_t GetVideoIndex() const;
  std::uint8_t GetPtzIndex() const;

 private:
  static bool IsKind(const ControlDeviceEntry& e, std::uint16_t mask) {
    return (e.wFlags & CDF_INUSE) && (e.wFlags & mask);
  }
  int FindOrdinal(std::uint16_t mask, int n) const;  // index or -1; lock held
  int OrdinalOf(int index, std::uint16_t mask) const;  // lock held

  mutable std::mutex m_lock;
  std::uint8_t m_byCurrentEntry = 0;
  std::uint8_t m_byPreviousEntry = 0;
  std::uint8_t m_byEntryCount = 0;
  std::uint8_t m_byVideoEntry = 0;
  std::uint8_t m_byPtzEntry = 0;
  std::uint8_t m_byRetrState = 0;
  ControlDeviceEntry m_Entries[kControlDeviceMax];
  IRetrStateSink* m_pRetrSink = nullptr;
};
