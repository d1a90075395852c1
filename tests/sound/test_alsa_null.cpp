// The ALSA backend, run by CTest with a home folder whose ALSA configuration makes "default"
// the null plugin (elsewhere these tests skip).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "platform/kernel.h"
#include "platform/thread.h"
#include "platform/wave.h"
#include "tests/support/WaitUntil.h"
#include "session/AlarmSound.h"
#include "session/AlarmWave.h"

using namespace plat;

namespace {

class AlsaNullDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("TRELVIX_ALSA_NULL_HOME") == nullptr) GTEST_SKIP() << "needs the null-device home";
    saved_ = GetWaveBackend();
    SetWaveBackend(WaveBackend::Alsa);
  }
  void TearDown() override {
    if (std::getenv("TRELVIX_ALSA_NULL_HOME") != nullptr) SetWaveBackend(saved_);
  }
  WaveBackend saved_{};
};

std::atomic<int> g_dones{0};
void Count(HWAVEOUT, unsigned msg, void*, std::uintptr_t, std::uintptr_t) {
  if (msg == WOM_DONE) ++g_dones;
}

}  // namespace

TEST_F(AlsaNullDevice, PlaysResetsAndCloses) {
  WaveFormat f;
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 2;
  f.nSamplesPerSec = 48000;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 4;
  f.nAvgBytesPerSec = 192000;
  HWAVEOUT dev = nullptr;
  ASSERT_EQ(WaveOutOpen(&dev, f, &Count, nullptr), MMSYSERR_NOERROR);
  ASSERT_EQ(WaveOutBackendOf(dev), WaveBackend::Alsa);
  g_dones = 0;
  std::vector<BYTE> data(8000 * 3, 0);
  WaveHeader h[3];
  for (int i = 0; i < 3; ++i) {
    h[i].lpData = data.data() + 8000 * i;
    h[i].dwBufferLength = 8000;
    ASSERT_EQ(WaveOutPrepareHeader(dev, &h[i]), MMSYSERR_NOERROR);
    ASSERT_EQ(WaveOutWrite(dev, &h[i]), MMSYSERR_NOERROR);
  }
  WaitUntil([] { return g_dones.load() >= 3; }, 2000);
  EXPECT_EQ(g_dones.load(), 3);
  // More buffers, then a reset while they are queued.
  for (WaveHeader& x : h) ASSERT_EQ(WaveOutWrite(dev, &x), MMSYSERR_NOERROR);
  ASSERT_EQ(WaveOutReset(dev), MMSYSERR_NOERROR);
  for (WaveHeader& x : h) {
    EXPECT_EQ(x.dwFlags.load() & WHDR_INQUEUE, 0u);
    EXPECT_EQ(WaveOutUnprepareHeader(dev, &x), MMSYSERR_NOERROR);
  }
  EXPECT_EQ(WaveOutClose(dev), MMSYSERR_NOERROR);
}

TEST_F(AlsaNullDevice, SoundThreadLoopsAndStops) {
  auto block = std::make_shared<AlarmWaveBlock>();
  block->wfx.wFormatTag = WAVE_FORMAT_PCM;
  block->wfx.nChannels = 1;
  block->wfx.nSamplesPerSec = 8000;
  block->wfx.wBitsPerSample = 8;
  block->wfx.nBlockAlign = 1;
  block->wfx.nAvgBytesPerSec = 8000;
  block->lpSamples.reset(new BYTE[3000]());
  block->dwDataSize = 3000;
  block->hBufferDoneEvent = CreateEvent(false, false);
  const HANDLE stop = CreateEvent(false, false);
  const HANDLE t = CreateThread([&] { return PlayAudioWav(block, stop); });
  ASSERT_NE(t, 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  SetEvent(stop);
  ASSERT_EQ(WaitForSingleObject(t, 3000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(block->hWaveOut, nullptr);  // closed on the way out
  CloseHandle(t);
  CloseHandle(stop);
  CloseHandle(block->hBufferDoneEvent);
}
