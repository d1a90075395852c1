// The capture sink for tests: buffers stay queued until the test plays them, and every byte
// played is kept in order.
#include <algorithm>
#include <vector>

#include "platform/wave_internal.h"

namespace plat {

namespace {

struct CaptureRecord {
  std::mutex mutex;  // held while buffers are played, so a device cannot close meanwhile
  std::condition_variable cv;
  std::vector<WaveDevice*> devices;
  std::vector<BYTE> bytes;
  WaveCaptureState state;
  bool failNextOpen = false;
};

CaptureRecord& Capture() {
  static CaptureRecord r;
  return r;
}

std::size_t QueuedNow(CaptureRecord& r) {
  std::size_t n = 0;
  for (WaveDevice* d : r.devices) {
    std::lock_guard<std::mutex> lock(d->mutex);
    n += d->queue.size();
  }
  return n;
}

}  // namespace

namespace detail {

bool CaptureTakeOpenFailure() {
  CaptureRecord& r = Capture();
  std::lock_guard<std::mutex> lock(r.mutex);
  const bool fail = r.failNextOpen;
  r.failNextOpen = false;
  return fail;
}

void CaptureOnOpen(WaveDevice* device) {
  CaptureRecord& r = Capture();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.devices.push_back(device);
  ++r.state.opens;
  r.state.format = device->format;
}

void CaptureOnClose(WaveDevice* device) {
  CaptureRecord& r = Capture();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.devices.erase(std::remove(r.devices.begin(), r.devices.end(), device), r.devices.end());
  ++r.state.closes;
}

void CaptureOnReset(std::size_t returned) {
  CaptureRecord& r = Capture();
  std::lock_guard<std::mutex> lock(r.mutex);
  ++r.state.resets;
  r.state.buffersReturnedByReset += returned;
  r.cv.notify_all();
}

void CaptureOnPrepare(int delta) {
  CaptureRecord& r = Capture();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.state.prepared = static_cast<std::size_t>(static_cast<long>(r.state.prepared) + delta);
}

void CaptureNotifyQueued() {
  CaptureRecord& r = Capture();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.cv.notify_all();
}

}  // namespace detail

void WaveCaptureClear() {
  CaptureRecord& r = Capture();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.bytes.clear();
  r.state = WaveCaptureState{};
  r.failNextOpen = false;
}

WaveCaptureState WaveCaptureSnapshot() {
  CaptureRecord& r = Capture();
  std::lock_guard<std::mutex> lock(r.mutex);
  WaveCaptureState s = r.state;
  s.openDevices = static_cast<int>(r.devices.size());
  s.queued = QueuedNow(r);
  return s;
}

std::vector<BYTE> WaveCaptureBytes() {
  CaptureRecord& r = Capture();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.bytes;
}

std::size_t WaveCaptureRelease(std::size_t count) {
  CaptureRecord& r = Capture();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::size_t played = 0;
  for (WaveDevice* d : r.devices) {
    while (played < count) {
      WaveHeader* h = nullptr;
      {
        std::lock_guard<std::mutex> dl(d->mutex);
        if (d->queue.empty() || d->resetting) break;
        h = d->queue.front();
        d->queue.pop_front();
        d->busy = true;
      }
      r.bytes.insert(r.bytes.end(), h->lpData, h->lpData + h->dwBufferLength);
      ++r.state.buffersPlayed;
      detail::CompleteHeader(*d, h);
      {
        std::lock_guard<std::mutex> dl(d->mutex);
        d->busy = false;
      }
      d->cv.notify_all();
      ++played;
    }
  }
  return played;
}

bool WaveCaptureWaitQueued(std::size_t count, DWORD ms) {
  CaptureRecord& r = Capture();
  std::unique_lock<std::mutex> lock(r.mutex);
  return r.cv.wait_for(lock, std::chrono::milliseconds(ms), [&r, count] { return QueuedNow(r) >= count; });
}

void WaveCaptureFailNextOpen() {
  CaptureRecord& r = Capture();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.failNextOpen = true;
}

}  // namespace plat
