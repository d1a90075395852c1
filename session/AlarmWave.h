// The alarm sound: the loaded WAV file and the playback block that the sound thread streams
// through the wave output, eight buffers of 8000 bytes refilled as the device returns them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include "platform/types.h"
#include "platform/wave.h"

constexpr int kAlarmWaveBufferCount = 8;
constexpr plat::DWORD kAlarmWaveBufferSize = 8000;

// The playback block of one loaded sound. It belongs to the CAlarmWave that loaded it and is
// shared with the sound thread that plays it, so it stays valid until the device that thread
// opened has returned every buffer and been closed, even when a new load replaces it.
struct AlarmWaveBlock {
  plat::HWAVEOUT hWaveOut = nullptr;
  plat::HANDLE hBufferDoneEvent = 0;  // set by the device callback for every returned buffer
  plat::WaveFormat wfx;               // from the file; extra size 0
  std::unique_ptr<plat::BYTE[]> lpSamples;  // the data chunk's sample bytes
  plat::DWORD dwPlayPos = 0;                // next sample byte to copy into a buffer
  plat::DWORD dwDataSize = 0;               // number of sample bytes
  plat::WaveHeader aHeader[kAlarmWaveBufferCount];
  plat::BYTE aBuffer[kAlarmWaveBufferCount][kAlarmWaveBufferSize] = {};
};

// Where a WAV file's format and sample bytes lie.
struct WaveFileInfo {
  plat::WaveFormat format;
  std::size_t dataOffset = 0;
  std::size_t dataSize = 0;  // whole blocks that the file really holds
};

enum class WaveParseResult {
  Ok,
  TooShort,           // no room for the RIFF header and a first chunk
  BadFormatChunk,     // the format chunk is shorter than 16 bytes or runs past the file
  UnsupportedFormat,  // not a PCM format the wave output plays
  NoData,             // the chunk walk ended without a data chunk
  EmptyData,          // the data chunk holds no whole sample block
};

// Walks the chunks of a RIFF WAVE image (RIFF and WAVE identifiers are not required): the
// format is the first chunk named "fmt " (or, when none is named so, the chunk behind the
// 12-byte RIFF header), the samples are the first chunk named "data" in any case. Every
// chunk size is checked against the bytes present; a data chunk that claims more than the
// file holds is cut to what is there.
WaveParseResult ParseWaveFile(const std::uint8_t* data, std::size_t size, WaveFileInfo& info);

class CAlarmWave {
 public:
  CAlarmWave();
  ~CAlarmWave();
  CAlarmWave(const CAlarmWave&) = delete;
  CAlarmWave& operator=(const CAlarmWave&) = delete;

  // Loads the WAV file `path`, or the program folder's "alarm.wav" when `path` cannot be
  // opened, into a fresh playback block. 1 on success; 0 when neither file opens or the
  // file opened is not a playable WAV file (then the previous block stays in place).
  plat::BOOL LoadWaveFile(const std::string& path);

  // Fills buffer `index` (0..7) with the next 8000 bytes of the sound, wrapping to its start
  // as often as needed, clears the header's done flag and points the header at the buffer.
  static void FillBuffer(AlarmWaveBlock* block, int index);

  // The block of the last successful load (null before it).
  std::shared_ptr<AlarmWaveBlock> GetBlock() const;
  std::string GetPath() const;
  // The file actually read by the last successful load (the given path or the fallback).
  std::string GetLoadedFile() const;

  plat::HANDLE m_hFile = 0;  // files are read in one go: 0 between operations
  std::string m_strPath;     // the path given to the last load

 private:
  mutable std::mutex m_mutex;
  std::shared_ptr<AlarmWaveBlock> m_lpBlock;
  std::string m_strLoadedFile;
};
