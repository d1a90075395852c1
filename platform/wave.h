// Wave output: the open / prepare / write / reset / close interface of a sound device with a
// notification for every buffer the device has finished with.
//
// A caller opens a device with a PCM format and a callback, prepares its buffers once, writes
// them; the device plays them in order and, for each, sets WHDR_DONE and calls the callback
// with WOM_DONE on a thread of its own (the callback must not block and must not call back
// into the device). Reset stops the sound at once and returns every queued buffer (each
// marked done, each reported); when it returns the device no longer touches any buffer.
// Close fails while buffers are still queued.
//
// Backends: ALSA's "default" device; a null sink that consumes the bytes at the real-time
// rate of the format and plays nothing (used when no sound device opens, so the program goes
// on silently); and a capture sink for tests that keeps every byte played and plays a buffer
// only when the test says so.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>
#include "platform/types.h"

namespace plat {

// The PCM format record (the fields of the Windows wave format record, in its order).
struct WaveFormat {
  WORD wFormatTag = 0;       // 1 = PCM
  WORD nChannels = 0;
  DWORD nSamplesPerSec = 0;
  DWORD nAvgBytesPerSec = 0;
  WORD nBlockAlign = 0;
  WORD wBitsPerSample = 0;
  WORD cbSize = 0;
};
constexpr WORD WAVE_FORMAT_PCM = 1;

// Whether the format can be played: PCM, 1 to 8 channels, 8 or 16 bits, 1 kHz to 192 kHz,
// block alignment of channels x bytes per sample.
bool IsPlayableWaveFormat(const WaveFormat& format);

// Header flags.
constexpr DWORD WHDR_DONE = 0x01;
constexpr DWORD WHDR_PREPARED = 0x02;
constexpr DWORD WHDR_INQUEUE = 0x10;

// One buffer handed to a device. The device reads lpData[0 .. dwBufferLength) between the
// write and the buffer's return; dwFlags is shared with the device's thread.
struct WaveHeader {
  BYTE* lpData = nullptr;
  DWORD dwBufferLength = 0;
  std::atomic<DWORD> dwFlags{0};
  WaveHeader* lpNext = nullptr;  // the device's own link; callers leave it alone
};

// Results.
using MMRESULT = unsigned;
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;

// Callback messages.
constexpr unsigned WOM_OPEN = 0x3BB;
constexpr unsigned WOM_CLOSE = 0x3BC;
constexpr unsigned WOM_DONE = 0x3BD;

struct WaveDevice;
using HWAVEOUT = WaveDevice*;
// (device, message, the caller's value given to WaveOutOpen, message parameter (the header
// for WOM_DONE), 0)
using WaveOutProc = void (*)(HWAVEOUT device, unsigned msg, void* instance, std::uintptr_t param1,
                             std::uintptr_t param2);

MMRESULT WaveOutOpen(HWAVEOUT* device, const WaveFormat& format, WaveOutProc callback,
                     void* instance);
MMRESULT WaveOutPrepareHeader(HWAVEOUT device, WaveHeader* header);
MMRESULT WaveOutUnprepareHeader(HWAVEOUT device, WaveHeader* header);
MMRESULT WaveOutWrite(HWAVEOUT device, WaveHeader* header);
MMRESULT WaveOutReset(HWAVEOUT device);
MMRESULT WaveOutClose(HWAVEOUT device);

// Which backend WaveOutOpen uses. Auto: ALSA's "default" device, and the null sink when that
// cannot be opened. The environment variable TRELVIX_WAVE ("null", "alsa") chooses at start.
enum class WaveBackend { Auto, Alsa, Null, Capture };
void SetWaveBackend(WaveBackend backend);
WaveBackend GetWaveBackend();
// The backend of an open device (Alsa, Null or Capture).
WaveBackend WaveOutBackendOf(HWAVEOUT device);

// Capture sink (tests). Devices opened while the backend is Capture queue their buffers and
// play nothing until WaveCaptureRelease plays the oldest queued buffers: their bytes are
// appended to the capture, they are marked done and reported, in order, on the caller's
// thread. One capture record exists for the whole process; WaveCaptureClear empties it.
struct WaveCaptureState {
  int opens = 0;
  int closes = 0;
  int resets = 0;
  int openDevices = 0;        // opened and not yet closed
  std::size_t queued = 0;     // buffers written and not yet returned
  std::size_t prepared = 0;   // headers prepared and not yet unprepared
  std::size_t buffersPlayed = 0;
  std::size_t buffersReturnedByReset = 0;
  WaveFormat format;          // of the last open
};
void WaveCaptureClear();
WaveCaptureState WaveCaptureSnapshot();
std::vector<BYTE> WaveCaptureBytes();
// Plays up to `count` queued buffers of the open capture devices; the number played.
std::size_t WaveCaptureRelease(std::size_t count);
// Waits up to `ms` real milliseconds until at least `count` buffers are queued.
bool WaveCaptureWaitQueued(std::size_t count, DWORD ms);
// Makes the next capture open fail with WAVERR_BADFORMAT (once).
void WaveCaptureFailNextOpen();

}  // namespace plat
