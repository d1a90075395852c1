// The alarm sound: the WAV chunk walk, buffer filling, the fallback file, and the playback
// thread driven through the capture sink.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/AppRecord.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "session/AlarmSound.h"
#include "session/AlarmWave.h"
#include "sound_fixture.h"

using namespace plat;

namespace {

// 16-bit stereo at 48 kHz unless a case says otherwise.
Bytes Fmt16() { return FmtBody(1, 2, 48000, 16); }

struct ParseCase {
  const char* name;
  Bytes file;
  WaveParseResult result;
  std::size_t dataSize;  // when Ok
};

std::vector<ParseCase> ParseCases() {
  const Bytes samples = Ramp(400);
  Bytes oddList = Chunk("LIST", Bytes(5, 'x'));
  oddList.push_back(0);  // the pad byte of an odd-sized chunk
  return {
      {"plain", Riff({Chunk("fmt ", Fmt16()), Chunk("data", samples)}), WaveParseResult::Ok, 400},
      {"LIST before data",
       Riff({Chunk("fmt ", Fmt16()), Chunk("LIST", Bytes(26, 'i')), Chunk("data", samples)}),
       WaveParseResult::Ok, 400},
      {"18-byte format chunk", Riff({Chunk("fmt ", FmtBody(1, 2, 48000, 16, 0)), Chunk("data", samples)}),
       WaveParseResult::Ok, 400},
      {"DATA in capitals", Riff({Chunk("fmt ", Fmt16()), Chunk("DATA", samples)}), WaveParseResult::Ok, 400},
      {"odd chunk with its pad byte", Riff({Chunk("fmt ", Fmt16()), oddList, Chunk("data", samples)}),
       WaveParseResult::Ok, 400},
      {"fact chunk before format", Riff({Chunk("fact", Bytes(4, 0)), Chunk("fmt ", Fmt16()), Chunk("data", samples)}),
       WaveParseResult::Ok, 400},
      {"data size beyond the file is cut",
       Riff({Chunk("fmt ", Fmt16()), Chunk("data", samples, 1000000)}), WaveParseResult::Ok, 400},
      {"partial last block dropped", Riff({Chunk("fmt ", Fmt16()), Chunk("data", Ramp(402))}),
       WaveParseResult::Ok, 400},
      {"no data chunk", Riff({Chunk("fmt ", Fmt16()), Chunk("LIST", Bytes(8, 0))}), WaveParseResult::NoData, 0},
      {"empty data chunk", Riff({Chunk("fmt ", Fmt16()), Chunk("data", {})}), WaveParseResult::EmptyData, 0},
      {"data smaller than a block", Riff({Chunk("fmt ", Fmt16()), Chunk("data", Bytes(3, 1))}),
       WaveParseResult::EmptyData, 0},
      {"chunk size past the end", Riff({Chunk("fmt ", Fmt16()), Chunk("LIST", Bytes(8, 0), 0xFFFFFFF0u)}),
       WaveParseResult::NoData, 0},
      {"compressed format", Riff({Chunk("fmt ", FmtBody(0x11, 1, 8000, 4)), Chunk("data", samples)}),
       WaveParseResult::UnsupportedFormat, 0},
      {"24-bit samples", Riff({Chunk("fmt ", FmtBody(1, 1, 8000, 24)), Chunk("data", samples)}),
       WaveParseResult::UnsupportedFormat, 0},
      {"format chunk too short", Riff({Chunk("fmt ", Bytes(10, 1)), Chunk("data", samples)}),
       WaveParseResult::BadFormatChunk, 0},
      {"data before any format", Riff({Chunk("data", samples)}), WaveParseResult::BadFormatChunk, 0},
      {"only the RIFF header", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'},
       WaveParseResult::TooShort, 0},
  };
}

TEST(WaveParse, ChunkWalk) {
  for (const ParseCase& c : ParseCases()) {
    WaveFileInfo info;
    EXPECT_EQ(ParseWaveFile(c.file.data(), c.file.size(), info), c.result) << c.name;
    if (c.result == WaveParseResult::Ok) {
      EXPECT_EQ(info.dataSize, c.dataSize) << c.name;
      ASSERT_LE(info.dataOffset + info.dataSize, c.file.size()) << c.name;
      EXPECT_EQ(c.file[info.dataOffset], 0) << c.name;  // the ramp starts at 0
      EXPECT_EQ(c.file[info.dataOffset + 1], 1) << c.name;
    }
  }
}

TEST(WaveParse, FormatFieldsAreTaken) {
  const Bytes f = Riff({Chunk("fmt ", FmtBody(1, 1, 11025, 8, 0)), Chunk("data", Ramp(10))});
  WaveFileInfo info;
  ASSERT_EQ(ParseWaveFile(f.data(), f.size(), info), WaveParseResult::Ok);
  EXPECT_EQ(info.format.wFormatTag, 1);
  EXPECT_EQ(info.format.nChannels, 1);
  EXPECT_EQ(info.format.nSamplesPerSec, 11025u);
  EXPECT_EQ(info.format.nAvgBytesPerSec, 11025u);
  EXPECT_EQ(info.format.nBlockAlign, 1);
  EXPECT_EQ(info.format.wBitsPerSample, 8);
  EXPECT_EQ(info.format.cbSize, 0);
}

// The bytes a sound of `size` ramp bytes yields when played gaplessly from its start.
Bytes Repeated(std::size_t size, std::size_t total) {
  Bytes out(total);
  for (std::size_t i = 0; i < total; ++i) out[i] = static_cast<std::uint8_t>((i % size) % 251);
  return out;
}

TEST(AlarmWaveFill, ShortSoundRepeatsAcrossBuffersWithoutGap) {
  for (std::size_t size : {3000u, 8000u, 8001u, 20000u, 1u}) {
    AlarmWaveBlock block;
    block.lpSamples.reset(new BYTE[size]);
    const Bytes ramp = Ramp(size);
    std::copy(ramp.begin(), ramp.end(), block.lpSamples.get());
    block.dwDataSize = static_cast<DWORD>(size);
    Bytes played;
    for (int round = 0; round < 3; ++round) {
      for (int i = 0; i < kAlarmWaveBufferCount; ++i) {
        block.aHeader[i].dwFlags.store(WHDR_DONE | WHDR_PREPARED);
        CAlarmWave::FillBuffer(&block, i);
        EXPECT_EQ(block.aHeader[i].dwFlags.load(), WHDR_PREPARED);
        EXPECT_EQ(block.aHeader[i].lpData, block.aBuffer[i]);
        EXPECT_EQ(block.aHeader[i].dwBufferLength, kAlarmWaveBufferSize);
        played.insert(played.end(), block.aBuffer[i], block.aBuffer[i] + kAlarmWaveBufferSize);
      }
    }
    EXPECT_EQ(played, Repeated(size, played.size())) << size;
  }
  // 3000 bytes: the first buffer holds the sound two and two-thirds times.
  AlarmWaveBlock block;
  block.lpSamples.reset(new BYTE[3000]());
  block.dwDataSize = 3000;
  CAlarmWave::FillBuffer(&block, 0);
  EXPECT_EQ(block.dwPlayPos, 2000u);
}

TEST(AlarmWaveFill, NoSamplesGiveSilenceNotALoop) {
  AlarmWaveBlock block;
  block.aBuffer[2][7] = 9;
  CAlarmWave::FillBuffer(&block, 2);
  EXPECT_EQ(block.aBuffer[2][7], 0);
  CAlarmWave::FillBuffer(&block, 8);  // out of range: nothing happens
  CAlarmWave::FillBuffer(nullptr, 0);
}

class AlarmSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedBackend_ = GetWaveBackend();
    SetWaveBackend(WaveBackend::Capture);
    WaveCaptureClear();
    app_ = std::make_unique<AppRecord>();
    app_->CSettingINI.m_strProgramPath.Set(dir_.path() + "/");
    g_lpApp = app_.get();
    savedBox_ = SetMessageBoxHandler([this](HWND, const std::string& text, const std::string&, unsigned) {
      boxes_.push_back(text);
      return IDOK;
    });
  }
  void TearDown() override {
    StopAlarmSound(*app_);
    for (auto* h : {&app_->h_AlarmWavBufferDoneEvent, &app_->h_StopAlarmWavEvent}) {
      if (h->load()) CloseHandle(h->exchange(0));
    }
    g_lpApp = nullptr;
    SetMessageBoxHandler(savedBox_);
    SetWaveBackend(savedBackend_);
  }

  std::string WriteWav(const std::string& name, const Bytes& samples) {
    const std::string p = dir_ / name;
    WriteBytes(p, Riff({Chunk("fmt ", FmtBody(1, 1, 8000, 8)), Chunk("data", samples)}));
    return p;
  }

  TempDir dir_;
  std::unique_ptr<AppRecord> app_;
  std::vector<std::string> boxes_;
  MessageBoxHandler savedBox_;
  WaveBackend savedBackend_{};
};

TEST_F(AlarmSoundTest, MissingTriggerFileFallsBackToProgramFoldersAlarmWav) {
  WriteWav("alarm.wav", Ramp(100));
  CAlarmWave wave;
  ASSERT_EQ(wave.LoadWaveFile(dir_ / "nowhere.wav"), 1);
  EXPECT_EQ(wave.GetPath(), dir_ / "nowhere.wav");
  EXPECT_EQ(wave.GetLoadedFile(), dir_ / "alarm.wav");
  ASSERT_NE(wave.GetBlock(), nullptr);
  EXPECT_EQ(wave.GetBlock()->dwDataSize, 100u);

  // A trigger file that exists is used as it is.
  WriteWav("mine.wav", Ramp(50));
  ASSERT_EQ(wave.LoadWaveFile(dir_ / "mine.wav"), 1);
  EXPECT_EQ(wave.GetBlock()->dwDataSize, 50u);
}

TEST_F(AlarmSoundTest, NeitherFileShowsTheLoadMessageAndStartsNothing) {
  app_->CSettingINI.m_strTriggerWavPath.Set(dir_ / "nowhere.wav");
  EXPECT_EQ(StartAlarmSound(*app_), -1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Load alarm audio file is failed");
  EXPECT_EQ(app_->h_PlayAudioWavThread.load(), 0u);
  EXPECT_EQ(app_->f_AlarmAudioOn.load(), 0);

  // A file that opens but holds no playable sound fails the same way, without a fallback.
  WriteWav("alarm.wav", Ramp(100));
  WriteBytes(dir_ / "broken.wav", Riff({Chunk("fmt ", FmtBody(1, 1, 8000, 8)), Chunk("LIST", {})}));
  app_->CSettingINI.m_strTriggerWavPath.Set(dir_ / "broken.wav");
  EXPECT_EQ(StartAlarmSound(*app_), -1);
  EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(AlarmSoundTest, PlaysTheSoundRepeatedWithoutAGap) {
  app_->CSettingINI.m_strTriggerWavPath.Set(WriteWav("t.wav", Ramp(3000)));
  ASSERT_EQ(StartAlarmSound(*app_), 0);
  EXPECT_EQ(app_->f_AlarmAudioOn.load(), 1);
  EXPECT_EQ(app_->f_AlarmSoundStarted.load(), 1);
  EXPECT_EQ(StartAlarmSound(*app_), 0);  // already started: no second thread
  ASSERT_TRUE(WaveCaptureWaitQueued(8, 5000));
  // Play 20 buffers, two at a time, each time letting the thread refill what came back.
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(WaveCaptureRelease(2), 2u);
    ASSERT_TRUE(WaveCaptureWaitQueued(8, 5000)) << "round " << i;
  }
  const Bytes played = WaveCaptureBytes();
  ASSERT_EQ(played.size(), 20u * kAlarmWaveBufferSize);
  EXPECT_EQ(played, Repeated(3000, played.size()));
  EXPECT_EQ(WaveCaptureSnapshot().format.nSamplesPerSec, 8000u);
}

TEST_F(AlarmSoundTest, StopWithAllBuffersQueuedEndsTheThreadAtOnce) {
  app_->CSettingINI.m_strTriggerWavPath.Set(WriteWav("t.wav", Ramp(16000)));
  ASSERT_EQ(StartAlarmSound(*app_), 0);
  ASSERT_TRUE(WaveCaptureWaitQueued(8, 5000));
  const HANDLE thread = app_->h_PlayAudioWavThread.load();
  ASSERT_NE(thread, 0u);

  // The stop event alone ends the thread with 0 (not the cancellation's 31).
  SetEvent(app_->h_StopAlarmWavEvent.load());
  ASSERT_EQ(WaitForSingleObject(thread, 2000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 0u);

  const WaveCaptureState s = WaveCaptureSnapshot();
  EXPECT_EQ(s.resets, 1);
  EXPECT_EQ(s.buffersReturnedByReset, 8u);
  EXPECT_EQ(s.queued, 0u);
  EXPECT_EQ(s.prepared, 0u);
  EXPECT_EQ(s.closes, 1);
  EXPECT_EQ(s.openDevices, 0);
  EXPECT_TRUE(WaveCaptureBytes().empty());  // nothing played after the stop

  EXPECT_EQ(StopAlarmSound(*app_), 0);
  EXPECT_EQ(app_->h_PlayAudioWavThread.load(), 0u);
  EXPECT_EQ(app_->f_AlarmAudioOn.load(), 0);
  EXPECT_EQ(app_->f_AlarmSoundStarted.load(), 0);
}

TEST_F(AlarmSoundTest, StopMessageAndRestartLoadTheFileAgain) {
  const std::string path = WriteWav("t.wav", Ramp(500));
  app_->CSettingINI.m_strTriggerWavPath.Set(path);
  ASSERT_EQ(StartAlarmSound(*app_), 0);
  ASSERT_TRUE(WaveCaptureWaitQueued(8, 5000));
  EXPECT_EQ(StopAlarmSound(*app_), 0);
  EXPECT_EQ(WaveCaptureSnapshot().openDevices, 0);

  WriteWav("t.wav", Ramp(700));  // a changed sound takes effect at the next alarm
  WaveCaptureClear();
  ASSERT_EQ(StartAlarmSound(*app_), 0);
  ASSERT_TRUE(WaveCaptureWaitQueued(8, 5000));
  EXPECT_EQ(app_->C_AlarmWave.GetBlock()->dwDataSize, 700u);
  ASSERT_EQ(WaveCaptureRelease(1), 1u);
  EXPECT_EQ(WaveCaptureBytes(), Repeated(700, kAlarmWaveBufferSize));  // from the beginning
}

TEST_F(AlarmSoundTest, ClickSilencesButKeepsTheSoundCountedAsStarted) {
  app_->CSettingINI.m_strTriggerWavPath.Set(WriteWav("t.wav", Ramp(500)));
  ASSERT_EQ(StartAlarmSound(*app_), 0);
  ASSERT_TRUE(WaveCaptureWaitQueued(8, 5000));
  SilenceAlarmSound(*app_);
  EXPECT_EQ(WaitForSingleObject(app_->h_PlayAudioWavThread.load(), 2000), WAIT_OBJECT_0);
  EXPECT_EQ(app_->f_AlarmAudioOn.load(), 0);
  EXPECT_EQ(app_->f_AlarmSoundStarted.load(), 1);
  const int opens = WaveCaptureSnapshot().opens;
  EXPECT_EQ(StartAlarmSound(*app_), 0);
  EXPECT_EQ(WaveCaptureSnapshot().opens, opens);  // not restarted
}

TEST_F(AlarmSoundTest, DeviceThatCannotOpenEndsTheThreadWithMinusOne) {
  app_->CSettingINI.m_strTriggerWavPath.Set(WriteWav("t.wav", Ramp(500)));
  WaveCaptureFailNextOpen();
  ASSERT_EQ(StartAlarmSound(*app_), 0);
  const HANDLE thread = app_->h_PlayAudioWavThread.load();
  ASSERT_EQ(WaitForSingleObject(thread, 2000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(app_->f_AlarmAudioOn.load(), 1);  // stays on until the stop message
}

TEST_F(AlarmSoundTest, CancelledThreadStillReleasesTheDevice) {
  app_->CSettingINI.m_strTriggerWavPath.Set(WriteWav("t.wav", Ramp(500)));
  ASSERT_EQ(StartAlarmSound(*app_), 0);
  ASSERT_TRUE(WaveCaptureWaitQueued(8, 5000));
  // The exit step ends the thread without its stop event.
  const HANDLE thread = app_->h_PlayAudioWavThread.load();
  StopThread(thread, 10, 31);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 31u);
  const WaveCaptureState s = WaveCaptureSnapshot();
  EXPECT_EQ(s.openDevices, 0);
  EXPECT_EQ(s.queued, 0u);
  EXPECT_EQ(s.prepared, 0u);
}

}  // namespace
