#include "session/AlarmWave.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "session/SessionRecord.h"
#include "platform/bytes.h"
#include "platform/files.h"

using namespace plat;

namespace {

constexpr std::size_t kRiffHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kFormatFieldsSize = 16;
// A sound file larger than this is not an alarm sound.
constexpr std::size_t kMaxWaveFileSize = 64u << 20;

bool IdEquals(const std::uint8_t* p, const char* id) {
  for (int i = 0; i < 4; ++i) {
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    if (lower(p[i]) != lower(static_cast<unsigned char>(id[i]))) return false;
  }
  return true;
}

bool PrintableId(const std::uint8_t* p) {
  for (int i = 0; i < 4; ++i) {
    if (p[i] < 0x20 || p[i] > 0x7E) return false;
  }
  return true;
}

std::string ProgramFolderOfSettings() {
  std::string folder = g_lpSession ? g_lpSession->CSettingINI.m_strProgramPath.Get() : std::string();
  if (folder.empty()) folder = ProgramFolder();
  return folder;
}

}  // namespace

WaveParseResult ParseWaveFile(const std::uint8_t* data, std::size_t size, WaveFileInfo& info) {
  info = WaveFileInfo{};
  if (data == nullptr || size < kRiffHeaderSize + kChunkHeaderSize) return WaveParseResult::TooShort;

  // Offsets of the format chunk's header: the first one named "fmt ", else the first chunk.
  plat::ByteReader fields(data, size);
  auto u16 = [&fields](std::size_t at) {
    WORD v = 0;
    fields.U16At(at, v);
    return v;
  };
  auto u32 = [&fields](std::size_t at) {
    DWORD v = 0;
    fields.U32At(at, v);
    return v;
  };
  std::size_t formatAt = kRiffHeaderSize;
  bool formatNamed = false;
  bool haveFormat = false;
  std::size_t pos = kRiffHeaderSize;
  while (pos <= size && size - pos >= kChunkHeaderSize) {
    const std::uint8_t* hdr = data + pos;
    const DWORD chunkSize = u32(pos + 4);
    const std::size_t body = pos + kChunkHeaderSize;
    if (IdEquals(hdr, "data")) {
      if (!haveFormat) return WaveParseResult::BadFormatChunk;
      // Take the format now that the data chunk is known.
      const std::size_t f = formatAt + kChunkHeaderSize;
      WaveFormat fmt;
      fmt.wFormatTag = u16(f);
      fmt.nChannels = u16(f + 2);
      fmt.nSamplesPerSec = u32(f + 4);
      fmt.nAvgBytesPerSec = u32(f + 8);
      fmt.nBlockAlign = u16(f + 12);
      fmt.wBitsPerSample = u16(f + 14);
      fmt.cbSize = 0;
      info.format = fmt;
      if (!IsPlayableWaveFormat(fmt)) return WaveParseResult::UnsupportedFormat;
      std::size_t available = size - body;
      std::size_t n = std::min<std::size_t>(chunkSize, available);
      n -= n % fmt.nBlockAlign;
      if (n == 0) return WaveParseResult::EmptyData;
      info.dataOffset = body;
      info.dataSize = n;
      return WaveParseResult::Ok;
    }
    // Any other chunk must lie wholly inside the file.
    if (chunkSize > size - body) break;
    if (IdEquals(hdr, "fmt ") && !formatNamed) {
      if (chunkSize < kFormatFieldsSize) return WaveParseResult::BadFormatChunk;
      formatAt = pos;
      formatNamed = true;
      haveFormat = true;
    } else if (pos == kRiffHeaderSize && !formatNamed) {
      haveFormat = chunkSize >= kFormatFieldsSize;
    }
    std::size_t next = body + chunkSize;
    // Chunks of odd size are followed by a pad byte in well-formed files; writers that leave
    // it out exist too. Take the pad when the byte after it starts a plausible chunk and the
    // unpadded position does not.
    if ((chunkSize & 1u) != 0 && next + 1 + 4 <= size && next + 4 <= size &&
        !PrintableId(data + next) && PrintableId(data + next + 1)) {
      ++next;
    }
    pos = next;
  }
  return haveFormat ? WaveParseResult::NoData : WaveParseResult::BadFormatChunk;
}

CAlarmWave::CAlarmWave() = default;
CAlarmWave::~CAlarmWave() = default;

BOOL CAlarmWave::LoadWaveFile(const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strPath = path;
  }
  std::vector<std::uint8_t> bytes;
  std::string used = MapPath(path);
  if (path.empty() || DirectoryExists(used) || !ReadWholeFile(used, bytes, kMaxWaveFileSize)) {
    used = MapPath(ProgramFolderOfSettings() + "alarm.wav");
    bytes.clear();
    if (DirectoryExists(used) || !ReadWholeFile(used, bytes, kMaxWaveFileSize)) return 0;
  }
  WaveFileInfo info;
  if (ParseWaveFile(bytes.data(), bytes.size(), info) != WaveParseResult::Ok) return 0;

  auto block = std::make_shared<AlarmWaveBlock>();
  block->wfx = info.format;
  block->lpSamples.reset(new (std::nothrow) BYTE[info.dataSize]);
  if (!block->lpSamples) return 0;
  std::memcpy(block->lpSamples.get(), bytes.data() + info.dataOffset, info.dataSize);
  block->dwDataSize = static_cast<DWORD>(info.dataSize);
  block->dwPlayPos = 0;

  std::lock_guard<std::mutex> lock(m_mutex);
  m_lpBlock = std::move(block);
  m_strLoadedFile = used;
  m_hFile = 0;
  return 1;
}

void CAlarmWave::FillBuffer(AlarmWaveBlock* block, int index) {
  if (block == nullptr || index < 0 || index >= kAlarmWaveBufferCount) return;
  WaveHeader& h = block->aHeader[index];
  h.dwFlags.fetch_and(~WHDR_DONE);
  BYTE* out = block->aBuffer[index];
  const DWORD size = block->dwDataSize;
  if (size == 0 || !block->lpSamples) {
    std::memset(out, 0, kAlarmWaveBufferSize);  // nothing to play: silence, never a loop
  } else {
    const BYTE* src = block->lpSamples.get();
    DWORD pos = block->dwPlayPos < size ? block->dwPlayPos : 0;
    DWORD filled = 0;
    while (filled < kAlarmWaveBufferSize) {
      const DWORD n = std::min(kAlarmWaveBufferSize - filled, size - pos);
      std::memcpy(out + filled, src + pos, n);
      filled += n;
      pos += n;
      if (pos == size && filled < kAlarmWaveBufferSize) pos = 0;
    }
    block->dwPlayPos = pos;
  }
  h.lpData = out;
  h.dwBufferLength = kAlarmWaveBufferSize;
}

std::shared_ptr<AlarmWaveBlock> CAlarmWave::GetBlock() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lpBlock;
}

std::string CAlarmWave::GetPath() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_strPath;
}

std::string CAlarmWave::GetLoadedFile() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_strLoadedFile;
}
