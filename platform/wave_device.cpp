// The device-independent part of wave output: handle checks, the queue of written buffers,
// the player thread of the ALSA and null backends, reset and close.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "platform/wave_internal.h"

namespace plat {

namespace {

std::mutex& LiveMutex() {
  static std::mutex m;
  return m;
}
std::set<WaveDevice*>& LiveDevices() {
  static std::set<WaveDevice*> s;
  return s;
}

bool IsLive(WaveDevice* d) {
  std::lock_guard<std::mutex> lock(LiveMutex());
  return d != nullptr && LiveDevices().count(d) != 0;
}

WaveBackend BackendFromEnvironment() {
  const char* v = std::getenv("TRELVIX_WAVE");
  if (v == nullptr) return WaveBackend::Auto;
  if (std::strcmp(v, "null") == 0) return WaveBackend::Null;
  if (std::strcmp(v, "alsa") == 0) return WaveBackend::Alsa;
  return WaveBackend::Auto;
}

std::atomic<WaveBackend>& BackendSetting() {
  static std::atomic<WaveBackend> b{BackendFromEnvironment()};
  return b;
}

// The player thread of the ALSA and null backends: plays the queue in order.
void PlayerLoop(WaveDevice* d) {
  std::unique_lock<std::mutex> lock(d->mutex);
  for (;;) {
    d->cv.wait(lock, [d] { return d->quit || (!d->resetting && !d->queue.empty()); });
    if (d->quit) return;
    WaveHeader* h = d->queue.front();
    d->queue.pop_front();
    d->busy = true;
    lock.unlock();
    if (!d->abort.load()) d->sink->Play(*d, h->lpData, h->dwBufferLength);
    detail::CompleteHeader(*d, h);
    lock.lock();
    d->busy = false;
    d->cv.notify_all();
  }
}

}  // namespace

bool WaveDevice::SleepUnlessAborted(std::chrono::nanoseconds duration) {
  std::unique_lock<std::mutex> lock(mutex);
  return !cv.wait_for(lock, duration, [this] { return abort.load() || quit; });
}

namespace detail {

void CompleteHeader(WaveDevice& device, WaveHeader* header) {
  DWORD f = header->dwFlags.load();
  while (!header->dwFlags.compare_exchange_weak(f, (f & ~WHDR_INQUEUE) | WHDR_DONE)) {
  }
  if (device.callback != nullptr) {
    device.callback(&device, WOM_DONE, device.instance, reinterpret_cast<std::uintptr_t>(header), 0);
  }
}

}  // namespace detail

bool IsPlayableWaveFormat(const WaveFormat& f) {
  if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
  if (f.nChannels < 1 || f.nChannels > 8) return false;
  if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
  if (f.nSamplesPerSec < 1000 || f.nSamplesPerSec > 192000) return false;
  return f.nBlockAlign == f.nChannels * (f.wBitsPerSample / 8);
}

void SetWaveBackend(WaveBackend backend) { BackendSetting().store(backend); }
WaveBackend GetWaveBackend() { return BackendSetting().load(); }

WaveBackend WaveOutBackendOf(HWAVEOUT device) {
  return IsLive(device) ? device->backend : WaveBackend::Auto;
}

MMRESULT WaveOutOpen(HWAVEOUT* out, const WaveFormat& format, WaveOutProc callback,
                     void* instance) {
  if (out == nullptr) return MMSYSERR_INVALPARAM;
  *out = nullptr;
  if (!IsPlayableWaveFormat(format)) return WAVERR_BADFORMAT;
  WaveFormat f = format;
  // The byte rate follows from the format; a file's own figure is not trusted for pacing.
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;

  auto d = std::make_unique<WaveDevice>();
  d->format = f;
  d->callback = callback;
  d->instance = instance;
  const WaveBackend wanted = GetWaveBackend();
  if (wanted == WaveBackend::Capture) {
    if (detail::CaptureTakeOpenFailure()) return WAVERR_BADFORMAT;
    d->backend = WaveBackend::Capture;
  } else {
    if (wanted == WaveBackend::Auto || wanted == WaveBackend::Alsa) {
      d->sink = detail::MakeAlsaSink(f);
      if (d->sink) d->backend = WaveBackend::Alsa;
      else if (wanted == WaveBackend::Alsa) return MMSYSERR_NODRIVER;
    }
    if (!d->sink) {
      d->sink = detail::MakeNullSink();
      d->backend = WaveBackend::Null;
    }
    try {
      d->worker = std::thread(PlayerLoop, d.get());
    } catch (...) {
      return MMSYSERR_NOMEM;
    }
  }
  WaveDevice* raw = d.release();
  {
    std::lock_guard<std::mutex> lock(LiveMutex());
    LiveDevices().insert(raw);
  }
  if (raw->backend == WaveBackend::Capture) detail::CaptureOnOpen(raw);
  *out = raw;
  if (callback != nullptr) callback(raw, WOM_OPEN, instance, 0, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutPrepareHeader(HWAVEOUT d, WaveHeader* h) {
  if (!IsLive(d)) return MMSYSERR_INVALHANDLE;
  if (h == nullptr || h->lpData == nullptr) return MMSYSERR_INVALPARAM;
  const DWORD f = h->dwFlags.load();
  if (f & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  if (f & WHDR_PREPARED) return MMSYSERR_NOERROR;
  h->dwFlags.store(f | WHDR_PREPARED);
  if (d->backend == WaveBackend::Capture) detail::CaptureOnPrepare(1);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutUnprepareHeader(HWAVEOUT d, WaveHeader* h) {
  if (!IsLive(d)) return MMSYSERR_INVALHANDLE;
  if (h == nullptr) return MMSYSERR_INVALPARAM;
  const DWORD f = h->dwFlags.load();
  if (f & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  if (!(f & WHDR_PREPARED)) return MMSYSERR_NOERROR;
  h->dwFlags.store(f & ~WHDR_PREPARED);
  if (d->backend == WaveBackend::Capture) detail::CaptureOnPrepare(-1);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutWrite(HWAVEOUT d, WaveHeader* h) {
  if (!IsLive(d)) return MMSYSERR_INVALHANDLE;
  if (h == nullptr || h->lpData == nullptr) return MMSYSERR_INVALPARAM;
  const DWORD f = h->dwFlags.load();
  if (!(f & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (f & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  {
    std::lock_guard<std::mutex> lock(d->mutex);
    h->dwFlags.store((f & ~WHDR_DONE) | WHDR_INQUEUE);
    d->queue.push_back(h);
  }
  d->cv.notify_all();
  if (d->backend == WaveBackend::Capture) detail::CaptureNotifyQueued();
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutReset(HWAVEOUT d) {
  if (!IsLive(d)) return MMSYSERR_INVALHANDLE;
  std::vector<WaveHeader*> returned;
  {
    std::unique_lock<std::mutex> lock(d->mutex);
    d->resetting = true;
    d->abort.store(true);
    d->cv.notify_all();
    d->cv.wait(lock, [d] { return !d->busy; });
    returned.assign(d->queue.begin(), d->queue.end());
    d->queue.clear();
  }
  // The player is idle and takes nothing while resetting: the hardware can be emptied.
  if (d->sink) d->sink->Drop();
  for (WaveHeader* h : returned) detail::CompleteHeader(*d, h);
  {
    std::lock_guard<std::mutex> lock(d->mutex);
    d->resetting = false;
    d->abort.store(false);
  }
  d->cv.notify_all();
  if (d->backend == WaveBackend::Capture) detail::CaptureOnReset(returned.size());
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutClose(HWAVEOUT d) {
  if (!IsLive(d)) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->queue.empty() || d->busy) return WAVERR_STILLPLAYING;
  }
  {
    std::lock_guard<std::mutex> lock(LiveMutex());
    LiveDevices().erase(d);
  }
  if (d->backend == WaveBackend::Capture) detail::CaptureOnClose(d);
  {
    std::lock_guard<std::mutex> lock(d->mutex);
    d->quit = true;
  }
  d->cv.notify_all();
  if (d->worker.joinable()) d->worker.join();
  if (d->callback != nullptr) d->callback(d, WOM_CLOSE, d->instance, 0, 0);
  delete d;
  return MMSYSERR_NOERROR;
}

}  // namespace plat
