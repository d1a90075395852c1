// Shared internals of the wave-output backends. Not for use outside platform/.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include "platform/wave.h"

namespace plat::detail {

struct WaveSink;

}  // namespace plat::detail

namespace plat {

// One open output device. Headers move: written -> queue -> (worker) playing -> returned.
struct WaveDevice {
  WaveBackend backend = WaveBackend::Null;
  WaveFormat format;
  WaveOutProc callback = nullptr;
  void* instance = nullptr;
  std::unique_ptr<detail::WaveSink> sink;

  std::mutex mutex;
  std::condition_variable cv;
  std::deque<WaveHeader*> queue;  // written, not yet taken by the player
  bool busy = false;              // the player holds a header (playing or returning it)
  bool resetting = false;         // a reset is emptying the queue: take nothing
  bool quit = false;
  std::atomic<bool> abort{false};  // the header being played is to be cut short
  std::thread worker;              // not used by the capture sink

  // Sleeps for a real duration unless the play is cut short; false when cut short.
  bool SleepUnlessAborted(std::chrono::nanoseconds duration);
};

namespace detail {

// What a backend does with the bytes of one buffer.
struct WaveSink {
  virtual ~WaveSink() = default;
  // Plays the bytes, returning when they have been handed to the sound hardware (or, for
  // the null sink, when their play time has passed). Returns early when device.abort is set.
  virtual void Play(WaveDevice& device, const BYTE* data, std::size_t size) = 0;
  // Drops whatever is still pending in the hardware (after a reset; the player is idle).
  virtual void Drop() {}
};

std::unique_ptr<WaveSink> MakeNullSink();
// Null when ALSA is not built in or the "default" device cannot be opened for the format.
std::unique_ptr<WaveSink> MakeAlsaSink(const WaveFormat& format);

// Returns one header to its owner: not queued, done, reported. Called without the lock.
void CompleteHeader(WaveDevice& device, WaveHeader* header);

// Capture sink bookkeeping (wave_capture.cpp).
bool CaptureTakeOpenFailure();
void CaptureOnOpen(WaveDevice* device);
void CaptureOnClose(WaveDevice* device);
void CaptureOnReset(std::size_t returned);
void CaptureOnPrepare(int delta);
void CaptureNotifyQueued();

}  // namespace detail
}  // namespace plat
