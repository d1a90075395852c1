// Fuzzes the WAV chunk walk: any bytes must either be refused or give a format the wave
// output plays and a sample range inside the input; filling buffers from it must stay in
// bounds and end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "session/AlarmWave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WaveFileInfo info;
  if (ParseWaveFile(data, size, info) != WaveParseResult::Ok) return 0;
  if (!plat::IsPlayableWaveFormat(info.format)) __builtin_trap();
  if (info.dataSize == 0 || info.dataOffset > size || info.dataSize > size - info.dataOffset) __builtin_trap();
  if (info.dataSize % info.format.nBlockAlign != 0) __builtin_trap();

  auto block = std::make_unique<AlarmWaveBlock>();
  block->lpSamples.reset(new uint8_t[info.dataSize]);
  std::memcpy(block->lpSamples.get(), data + info.dataOffset, info.dataSize);
  block->dwDataSize = static_cast<plat::DWORD>(info.dataSize);
  for (int i = 0; i < kAlarmWaveBufferCount; ++i) {
    CAlarmWave::FillBuffer(block.get(), i);
    if (block->dwPlayPos > block->dwDataSize) __builtin_trap();
    // The buffer continues the sound where the previous one stopped.
    const plat::DWORD end = block->dwPlayPos == 0 ? block->dwDataSize : block->dwPlayPos;
    if (block->aBuffer[i][kAlarmWaveBufferSize - 1] != block->lpSamples[end - 1]) __builtin_trap();
  }
  return 0;
}
