#include "session/ControlDeviceTable.h"

#include <cstring>

#include "session/SessionRecord.h"

namespace {
constexpr std::uint8_t kRecorderTypes[] = {19, 22, 23};

// Writes the switch into the record's settings and shows the key's face on the main window.
class RecordRetrSink final : public IRetrStateSink {
 public:
  std::uint8_t GetRetrAlarmRecord() override {
    SessionRecord* app = g_lpSession;
    return app ? app->CSettingINI.m_byRetrAlarmRecord.load() : 0;
  }
  void SetAlarmTriggerRecord(std::uint8_t value) override {
    if (SessionRecord* app = g_lpSession) app->CSettingINI.m_byAlarmTriggerRecord = value;
  }
  void ShowRetrKey(int image, const char*) override {
    SessionRecord* app = g_lpSession;
    if (!app) return;
    if (IMainWindow* wnd = app->lp_MainDialog.load()) wnd->SetRetrButtonState(image != 0);
  }
};

IRetrStateSink& DefaultRetrSink() {
  static RecordRetrSink sink;
  return sink;
}
}  // namespace

CControlDeviceTable::CControlDeviceTable() = default;

void CControlDeviceTable::Reset() {
  std::lock_guard<std::mutex> lock(m_lock);
  m_byCurrentEntry = m_byPreviousEntry = m_byEntryCount = 0;
  m_byVideoEntry = m_byPtzEntry = m_byRetrState = 0;
  for (auto& e : m_Entries) e = ControlDeviceEntry{};
}

int CControlDeviceTable::Add(int baud, std::uint8_t id, std::uint8_t type, std::uint16_t flags) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_byEntryCount >= kControlDeviceMax) return -1;
  ControlDeviceEntry& e = m_Entries[m_byEntryCount];
  e = ControlDeviceEntry{};
  e.dwBaud = baud;
  e.byId = id;
  e.byType = type;
  e.wFlags = static_cast<std::uint16_t>(flags | CDF_INUSE);
  ++m_byEntryCount;
  return 0;
}

int CControlDeviceTable::FindOrdinal(std::uint16_t mask, int n) const {
  if (n < 0) return -1;
  int seen = 0;
  for (int i = 0; i < kControlDeviceMax; ++i) {
    if (!IsKind(m_Entries[i], mask)) continue;
    if (seen == n) return i;
    ++seen;
  }
  return -1;
}

int CControlDeviceTable::OrdinalOf(int index, std::uint16_t mask) const {
  int ordinal = 0;
  for (int i = 0; i < index && i < kControlDeviceMax; ++i)
    if (IsKind(m_Entries[i], mask)) ++ordinal;
  return ordinal;
}

int CControlDeviceTable::MakeCurrent(std::uint16_t mask, int n) {
  std::lock_guard<std::mutex> lock(m_lock);
  const int j = FindOrdinal(mask, n);
  if (j < 0) return -1;
  if (j != m_byCurrentEntry) {
    m_byPreviousEntry = m_byCurrentEntry;
    m_byCurrentEntry = static_cast<std::uint8_t>(j);
  }
  if (m_Entries[j].wFlags & CDF_VIDEO) m_byVideoEntry = static_cast<std::uint8_t>(j);
  if (m_Entries[j].wFlags & CDF_PTZ) m_byPtzEntry = static_cast<std::uint8_t>(j);
  return 0;
}

void CControlDeviceTable::Compact() {
  std::lock_guard<std::mutex> lock(m_lock);
  const bool currentWasVideo = IsKind(m_Entries[m_byCurrentEntry], CDF_VIDEO);
  const int currentOrdinal = currentWasVideo ? OrdinalOf(m_byCurrentEntry, CDF_VIDEO) : 0;
  ControlDeviceEntry kept[kControlDeviceMax];
  int count = 0;
  for (const auto& e : m_Entries)
    if (IsKind(e, CDF_VIDEO)) kept[count++] = e;
  for (int i = 0; i < kControlDeviceMax; ++i) m_Entries[i] = kept[i];
  m_byEntryCount = static_cast<std::uint8_t>(count);
  m_byCurrentEntry = m_byVideoEntry = static_cast<std::uint8_t>(currentOrdinal);
  m_byPreviousEntry = m_byPtzEntry = 0;
}

std::uint8_t CControlDeviceTable::GetCurrentType() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_Entries[m_byCurrentEntry].byType;
}
std::uint8_t CControlDeviceTable::GetCurrentId() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_Entries[m_byCurrentEntry].byId;
}
std::uint8_t CControlDeviceTable::GetVideoDeviceType() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_Entries[m_byVideoEntry].byType;
}
std::uint8_t CControlDeviceTable::GetVideoDeviceId() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_Entries[m_byVideoEntry].byId;
}
std::uint8_t CControlDeviceTable::GetPtzDeviceType() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_Entries[m_byPtzEntry].byType;
}
std::uint8_t CControlDeviceTable::GetPtzDeviceId() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_Entries[m_byPtzEntry].byId;
}
std::uint8_t CControlDeviceTable::GetPreviousType() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_Entries[m_byPreviousEntry].byType;
}
std::uint8_t CControlDeviceTable::GetPreviousId() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_Entries[m_byPreviousEntry].byId;
}
ControlDeviceEntry CControlDeviceTable::GetCurrentEntry() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_Entries[m_byCurrentEntry];
}
ControlDeviceEntry CControlDeviceTable::GetPreviousEntry() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_Entries[m_byPreviousEntry];
}

std::uint8_t CControlDeviceTable::GetNthVideoType(int n) const {
  std::lock_guard<std::mutex> lock(m_lock);
  const int j = FindOrdinal(CDF_VIDEO, n);
  return j < 0 ? 0 : m_Entries[j].byType;
}
std::uint8_t CControlDeviceTable::GetNthPtzType(int n) const {
  std::lock_guard<std::mutex> lock(m_lock);
  const int j = FindOrdinal(CDF_PTZ, n);
  return j < 0 ? 0 : m_Entries[j].byType;
}

int CControlDeviceTable::IsCurrentVideo() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return (m_Entries[m_byCurrentEntry].wFlags & CDF_VIDEO) ? 1 : 0;
}

int CControlDeviceTable::GetCurrentOrdinal() const {
  std::lock_guard<std::mutex> lock(m_lock);
  const bool video = IsKind(m_Entries[m_byCurrentEntry], CDF_VIDEO);
  return OrdinalOf(m_byCurrentEntry, video ? CDF_VIDEO : CDF_PTZ);
}

int CControlDeviceTable::SetNthPtzEntry(int n, std::uint8_t type, std::uint8_t id) {
  std::lock_guard<std::mutex> lock(m_lock);
  const int j = FindOrdinal(CDF_PTZ, n);
  if (j >= 0) {
    m_Entries[j].byType = type;
    m_Entries[j].byId = id;
  }
  return 1;
}

int CControlDeviceTable::FindSpecialType() const {
  std::lock_guard<std::mutex> lock(m_lock);
  for (int i = 0; i < m_byEntryCount && i < kControlDeviceMax; ++i) {
    const auto& e = m_Entries[i];
    if (!IsKind(e, CDF_VIDEO)) continue;
    for (std::uint8_t t : kRecorderTypes)
      if (e.byType == t) return 1;
  }
  return 0;
}

int CControlDeviceTable::SetRetrState(std::uint8_t state) {
  bool changed;
  IRetrStateSink* sink;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    changed = state != m_byRetrState;
    m_byRetrState = state;
    sink = m_pRetrSink;
  }
  // The alarm-trigger switch and the key's face both follow the state just reported.
  if (!sink) sink = &DefaultRetrSink();
  sink->SetAlarmTriggerRecord(sink->GetRetrAlarmRecord() != 0 && state != 0 ? 1 : 0);
  if (changed) {
    if (state != 0)
      sink->ShowRetrKey(1, "R.E.T.R.(Enable)");
    else
      sink->ShowRetrKey(0, "R.E.T.R.(Disable)");
  }
  return 1;
}

std::uint8_t CControlDeviceTable::GetRetrState() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_byRetrState;
}

void CControlDeviceTable::SetRetrSink(IRetrStateSink* sink) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_pRetrSink = sink;
}

std::uint8_t CControlDeviceTable::GetEntryCount() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_byEntryCount;
}
ControlDeviceEntry CControlDeviceTable::GetEntry(int index) const {
  std::lock_guard<std::mutex> lock(m_lock);
  if (index < 0 || index >= kControlDeviceMax) return ControlDeviceEntry{};
  return m_Entries[index];
}
std::uint8_t CControlDeviceTable::GetCurrentIndex() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_byCurrentEntry;
}
std::uint8_t CControlDeviceTable::GetPreviousIndex() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_byPreviousEntry;
}
std::uint8_t CControlDeviceTable::GetVideoIndex() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_byVideoEntry;
}
std::uint8_t CControlDeviceTable::GetPtzIndex() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_byPtzEntry;
}
