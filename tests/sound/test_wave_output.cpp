// The wave-output layer: format checks, the capture sink's order of play, reset and close.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "platform/wave.h"
#include "tests/support/WaitUntil.h"

using namespace plat;

namespace {

WaveFormat Pcm(WORD channels, DWORD rate, WORD bits) {
  WaveFormat f;
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  f.wBitsPerSample = bits;
  return f;
}

struct Calls {
  std::atomic<int> opens{0}, dones{0}, closes{0};
};

void CountingCallback(HWAVEOUT, unsigned msg, void* instance, std::uintptr_t, std::uintptr_t) {
  auto* c = static_cast<Calls*>(instance);
  if (msg == WOM_OPEN) ++c->opens;
  if (msg == WOM_DONE) ++c->dones;
  if (msg == WOM_CLOSE) ++c->closes;
}

class WaveOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = GetWaveBackend();
    SetWaveBackend(WaveBackend::Capture);
    WaveCaptureClear();
  }
  void TearDown() override { SetWaveBackend(saved_); }
  WaveBackend saved_{};
};

}  // namespace

TEST(WaveFormatTest, PlayableFormats) {
  struct Case {
    WaveFormat f;
    bool ok;
  } cases[] = {
      {Pcm(1, 8000, 8), true},
      {Pcm(2, 44100, 16), true},
      {Pcm(8, 192000, 16), true},
      {Pcm(0, 8000, 8), false},
      {Pcm(9, 8000, 8), false},
      {Pcm(1, 8000, 24), false},
      {Pcm(1, 999, 8), false},
      {Pcm(1, 192001, 8), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsPlayableWaveFormat(c.f), c.ok) << c.f.nChannels << " ch " << c.f.nSamplesPerSec;
  }
  WaveFormat adpcm = Pcm(1, 8000, 16);
  adpcm.wFormatTag = 0x11;
  EXPECT_FALSE(IsPlayableWaveFormat(adpcm));
  WaveFormat badAlign = Pcm(2, 8000, 16);
  badAlign.nBlockAlign = 2;
  EXPECT_FALSE(IsPlayableWaveFormat(badAlign));
}

TEST_F(WaveOutputTest, CapturePlaysInWriteOrderAndReportsEachBuffer) {
  Calls calls;
  HWAVEOUT dev = nullptr;
  ASSERT_EQ(WaveOutOpen(&dev, Pcm(1, 8000, 8), &CountingCallback, &calls), MMSYSERR_NOERROR);
  EXPECT_EQ(WaveOutBackendOf(dev), WaveBackend::Capture);
  EXPECT_EQ(calls.opens.load(), 1);

  std::vector<BYTE> a(10, 0xA1), b(5, 0xB2);
  WaveHeader ha, hb;
  ha.lpData = a.data();
  ha.dwBufferLength = 10;
  hb.lpData = b.data();
  hb.dwBufferLength = 5;
  EXPECT_EQ(WaveOutWrite(dev, &ha), WAVERR_UNPREPARED);
  ASSERT_EQ(WaveOutPrepareHeader(dev, &ha), MMSYSERR_NOERROR);
  ASSERT_EQ(WaveOutPrepareHeader(dev, &hb), MMSYSERR_NOERROR);
  ASSERT_EQ(WaveOutWrite(dev, &ha), MMSYSERR_NOERROR);
  EXPECT_EQ(WaveOutWrite(dev, &ha), WAVERR_STILLPLAYING);
  ASSERT_EQ(WaveOutWrite(dev, &hb), MMSYSERR_NOERROR);
  EXPECT_EQ(WaveOutUnprepareHeader(dev, &ha), WAVERR_STILLPLAYING);
  EXPECT_EQ(WaveOutClose(dev), WAVERR_STILLPLAYING);

  EXPECT_EQ(WaveCaptureRelease(1), 1u);
  EXPECT_TRUE(ha.dwFlags.load() & WHDR_DONE);
  EXPECT_FALSE(ha.dwFlags.load() & WHDR_INQUEUE);
  EXPECT_FALSE(hb.dwFlags.load() & WHDR_DONE);
  EXPECT_EQ(WaveCaptureRelease(5), 1u);
  EXPECT_EQ(calls.dones.load(), 2);

  std::vector<BYTE> expect(a);
  expect.insert(expect.end(), b.begin(), b.end());
  EXPECT_EQ(WaveCaptureBytes(), expect);

  EXPECT_EQ(WaveOutUnprepareHeader(dev, &ha), MMSYSERR_NOERROR);
  EXPECT_EQ(WaveOutUnprepareHeader(dev, &hb), MMSYSERR_NOERROR);
  EXPECT_EQ(WaveOutClose(dev), MMSYSERR_NOERROR);
  EXPECT_EQ(calls.closes.load(), 1);
  EXPECT_EQ(WaveOutWrite(dev, &ha), MMSYSERR_INVALHANDLE);  // closed handle
}

TEST_F(WaveOutputTest, ResetReturnsEveryQueuedBufferAndPlaysNothing) {
  for (WaveBackend backend : {WaveBackend::Capture, WaveBackend::Null}) {
    SetWaveBackend(backend);
    WaveCaptureClear();
    Calls calls;
    HWAVEOUT dev = nullptr;
    // Eight seconds per buffer: a reset must not wait for the buffer being played.
    ASSERT_EQ(WaveOutOpen(&dev, Pcm(1, 1000, 8), &CountingCallback, &calls), MMSYSERR_NOERROR);
    std::vector<BYTE> data(8000 * 4, 0x55);
    WaveHeader h[4];
    for (int i = 0; i < 4; ++i) {
      h[i].lpData = data.data() + 8000 * i;
      h[i].dwBufferLength = 8000;
      ASSERT_EQ(WaveOutPrepareHeader(dev, &h[i]), MMSYSERR_NOERROR);
      ASSERT_EQ(WaveOutWrite(dev, &h[i]), MMSYSERR_NOERROR);
    }
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(WaveOutReset(dev), MMSYSERR_NOERROR);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4));
    EXPECT_EQ(calls.dones.load(), 4);
    for (WaveHeader& x : h) {
      EXPECT_EQ(x.dwFlags.load() & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
      EXPECT_EQ(WaveOutUnprepareHeader(dev, &x), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(WaveOutClose(dev), MMSYSERR_NOERROR);
    EXPECT_TRUE(WaveCaptureBytes().empty());
  }
}

TEST_F(WaveOutputTest, OpenRejectsUnplayableFormatsAndBadArguments) {
  HWAVEOUT dev = reinterpret_cast<HWAVEOUT>(1);
  WaveFormat f = Pcm(1, 8000, 8);
  f.wFormatTag = 2;
  EXPECT_EQ(WaveOutOpen(&dev, f, nullptr, nullptr), WAVERR_BADFORMAT);
  EXPECT_EQ(dev, nullptr);
  EXPECT_EQ(WaveOutOpen(nullptr, Pcm(1, 8000, 8), nullptr, nullptr), MMSYSERR_INVALPARAM);
  WaveCaptureFailNextOpen();
  EXPECT_EQ(WaveOutOpen(&dev, Pcm(1, 8000, 8), nullptr, nullptr), WAVERR_BADFORMAT);
  EXPECT_EQ(WaveOutReset(nullptr), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(WaveOutClose(nullptr), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(WaveCaptureSnapshot().opens, 0);
}

TEST_F(WaveOutputTest, NullSinkConsumesAtTheFormatsRate) {
  SetWaveBackend(WaveBackend::Null);
  Calls calls;
  HWAVEOUT dev = nullptr;
  // 8000 bytes at 80,000 bytes a second: 100 ms per buffer, 300 ms for three.
  ASSERT_EQ(WaveOutOpen(&dev, Pcm(1, 80000, 8), &CountingCallback, &calls), MMSYSERR_NOERROR);
  EXPECT_EQ(WaveOutBackendOf(dev), WaveBackend::Null);
  std::vector<BYTE> data(8000, 0);
  WaveHeader h[3];
  const auto t0 = std::chrono::steady_clock::now();
  for (WaveHeader& x : h) {
    x.lpData = data.data();
    x.dwBufferLength = 8000;
    WaveOutPrepareHeader(dev, &x);
    WaveOutWrite(dev, &x);
  }
  ASSERT_TRUE(WaitUntil([&] { return calls.dones.load() >= 3; }));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(250));
  for (WaveHeader& x : h) WaveOutUnprepareHeader(dev, &x);
  EXPECT_EQ(WaveOutClose(dev), MMSYSERR_NOERROR);
}

TEST_F(WaveOutputTest, AutoFallsBackToTheNullSinkWithoutASoundDevice) {
  SetWaveBackend(WaveBackend::Auto);
  HWAVEOUT dev = nullptr;
  ASSERT_EQ(WaveOutOpen(&dev, Pcm(1, 8000, 8), nullptr, nullptr), MMSYSERR_NOERROR);
  const WaveBackend used = WaveOutBackendOf(dev);
  EXPECT_TRUE(used == WaveBackend::Alsa || used == WaveBackend::Null);
  EXPECT_EQ(WaveOutClose(dev), MMSYSERR_NOERROR);
}
