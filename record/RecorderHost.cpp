#include "record/RecorderHost.h"

#include <atomic>

namespace {

// The host while the application has installed none: nothing to report to, no stream.
class NullRecorderHost final : public IRecorderHost {
 public:
  plat::HANDLE EndOfStreamEvent() override { return 0; }
  std::string ServerName() override { return {}; }
  std::string UserName() override { return {}; }
  std::string SessionId() override { return {}; }
  void ClearAlarmWord() override {}
  void ClearAlarmChannelText() override {}
  void AlarmListSetFileName(const std::string&) override {}
  void AlarmListSetStartTime(const RecordTime&) override {}
  void AlarmListAddItem(std::uint32_t, const std::string&) override {}
  void ReportRecordFailure(const std::string&) override {}
};

NullRecorderHost g_nullHost;
std::atomic<IRecorderHost*> g_applicationHost{nullptr};
std::atomic<IRecorderHost*> g_defaultHost{nullptr};

}  // namespace

IRecorderHost& DefaultRecorderHost() {
  if (IRecorderHost* h = g_defaultHost.load()) return *h;
  if (IRecorderHost* h = g_applicationHost.load()) return *h;
  return g_nullHost;
}

void SetDefaultRecorderHost(IRecorderHost* host) { g_defaultHost.store(host); }
void SetApplicationRecorderHost(IRecorderHost* host) { g_applicationHost.store(host); }
