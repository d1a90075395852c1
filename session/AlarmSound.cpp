#include "session/AlarmSound.h"

#include "session/SessionRecord.h"
#include "core/Strings.h"
#include "platform/kernel.h"
#include "platform/thread.h"
#include "session/AlarmWave.h"

using namespace plat;

namespace {

constexpr DWORD kStopSoundThreadMs = 10;
constexpr DWORD kOpenFailed = static_cast<DWORD>(-1);

// Returns the device to rest whichever way the thread leaves (stop, failed wait, cancel).
class OpenDevice {
 public:
  explicit OpenDevice(AlarmWaveBlock& block) : block_(block) {}
  ~OpenDevice() {
    if (block_.hWaveOut == nullptr) return;
    WaveOutReset(block_.hWaveOut);
    for (WaveHeader& h : block_.aHeader) WaveOutUnprepareHeader(block_.hWaveOut, &h);
    WaveOutClose(block_.hWaveOut);
    block_.hWaveOut = nullptr;
  }
  OpenDevice(const OpenDevice&) = delete;
  OpenDevice& operator=(const OpenDevice&) = delete;

 private:
  AlarmWaveBlock& block_;
};

void StopSoundThread(SessionRecord& app) {
  const HANDLE h = app.h_PlayAudioWavThread.load();
  if (h == 0) return;
  StopThread(h, kStopSoundThreadMs, 31);
  HANDLE expected = h;
  if (app.h_PlayAudioWavThread.compare_exchange_strong(expected, 0)) CloseHandle(h);
  app.dw_PlayAudioWavThreadId.store(0);
}

void RecreateEvent(std::atomic<HANDLE>& member) {
  const HANDLE old = member.exchange(0);
  if (old != 0) CloseHandle(old);
  member.store(CreateEvent(false, false));
}

}  // namespace

void WaveOutCallback(HWAVEOUT, unsigned msg, void* instance, std::uintptr_t, std::uintptr_t) {
  if (msg != WOM_DONE || instance == nullptr) return;
  SetEvent(static_cast<AlarmWaveBlock*>(instance)->hBufferDoneEvent);
}

void WaveOutCallbackIdle(HWAVEOUT, unsigned, void*, std::uintptr_t, std::uintptr_t) {}

DWORD PlayAudioWav(const std::shared_ptr<AlarmWaveBlock>& keep, HANDLE stopEvent) {
  if (!keep) return kOpenFailed;
  AlarmWaveBlock& block = *keep;
  HWAVEOUT dev = nullptr;
  if (WaveOutOpen(&dev, block.wfx, &WaveOutCallback, &block) != MMSYSERR_NOERROR) return kOpenFailed;
  block.hWaveOut = dev;
  OpenDevice guard(block);

  for (int i = 0; i < kAlarmWaveBufferCount; ++i) {
    WaveHeader& h = block.aHeader[i];
    h.lpData = block.aBuffer[i];
    h.dwBufferLength = kAlarmWaveBufferSize;
    WaveOutPrepareHeader(dev, &h);
    CAlarmWave::FillBuffer(&block, i);
    WaveOutWrite(dev, &h);
  }
  // The stop event comes first so that a stop wins over a steady stream of returned buffers.
  const HANDLE waits[2] = {stopEvent, block.hBufferDoneEvent};
  for (;;) {
    const DWORD r = WaitForMultipleObjects(2, waits, FALSE_, INFINITE);
    if (r != WAIT_OBJECT_0 + 1) break;  // stopped, or the wait failed
    for (int i = 0; i < kAlarmWaveBufferCount; ++i) {
      WaveHeader& h = block.aHeader[i];
      if ((h.dwFlags.load() & WHDR_DONE) == 0) continue;
      CAlarmWave::FillBuffer(&block, i);
      WaveOutWrite(dev, &h);
    }
  }
  return 0;
}

DWORD PlayAudioWav_Thread(void*) {
  SessionRecord* app = g_lpSession;
  if (app == nullptr) return kOpenFailed;
  return PlayAudioWav(app->C_AlarmWave.GetBlock(), app->h_StopAlarmWavEvent.load());
}

int StartAlarmSound(SessionRecord& app) {
  if (app.f_AlarmSoundStarted.load() != 0) return 0;
  // Stop first, then wait: an earlier sound thread sees its stop before anyone waits on it.
  if (const HANDLE stop = app.h_StopAlarmWavEvent.load()) SetEvent(stop);
  StopSoundThread(app);
  if (!app.C_AlarmWave.LoadWaveFile(app.CSettingINI.m_strTriggerWavPath.Get())) {
    MessageBoxById(app.h_MainDialogHandle.load(), IDS_LOAD_ALARM_AUDIO_FAILED);
    return -1;
  }
  RecreateEvent(app.h_AlarmWavBufferDoneEvent);
  RecreateEvent(app.h_StopAlarmWavEvent);
  std::shared_ptr<AlarmWaveBlock> block = app.C_AlarmWave.GetBlock();
  block->hBufferDoneEvent = app.h_AlarmWavBufferDoneEvent.load();
  DWORD tid = 0;
  const HANDLE h = CreateThread([] { return PlayAudioWav_Thread(nullptr); }, &tid, "alarm-sound");
  if (h == 0) return -1;
  app.h_PlayAudioWavThread.store(h);
  app.dw_PlayAudioWavThreadId.store(tid);
  app.f_AlarmAudioOn.store(1);
  app.f_AlarmSoundStarted.store(1);
  return 0;
}

int StopAlarmSound(SessionRecord& app) {
  app.f_AlarmSoundStarted.store(0);
  if (app.f_AlarmAudioOn.load() != 0) {
    SetEvent(app.h_StopAlarmWavEvent.load());
    app.f_AlarmAudioOn.store(0);
  }
  StopSoundThread(app);
  return 0;
}

void SilenceAlarmSound(SessionRecord& app) {
  if (app.f_AlarmAudioOn.load() == 0) return;
  SetEvent(app.h_StopAlarmWavEvent.load());
  app.f_AlarmAudioOn.store(0);
}
