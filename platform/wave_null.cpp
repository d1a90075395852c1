// The null sink: plays nothing, but takes as long as the sound would, so a player that
// refills its buffers as they come back runs at the sound's real pace on machines without a
// sound device.
#include "platform/wave_internal.h"

namespace plat::detail {

namespace {

class NullSink final : public WaveSink {
 public:
  void Play(WaveDevice& device, const BYTE*, std::size_t size) override {
    const DWORD rate = device.format.nAvgBytesPerSec;
    if (rate == 0 || size == 0) return;
    const auto ns = std::chrono::nanoseconds(
        static_cast<long long>(static_cast<double>(size) * 1e9 / static_cast<double>(rate)));
    device.SleepUnlessAborted(ns);
  }
};

}  // namespace

std::unique_ptr<WaveSink> MakeNullSink() { return std::make_unique<NullSink>(); }

}  // namespace plat::detail
