#include "core/Dormant.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/jpeg.h"
#include "platform/process.h"

using namespace plat;

// ---------------------------------------------------------------------------------------
// Start-up leftovers

const char* LanguageLibraryFor(WORD id) {
  switch (id) {
    case 1028:
      return "ZelvikROC.dll";
    case 1031: case 2055: case 3079: case 4103: case 5127:
      return "ZelvikGER.dll";
    case 1032:
      return "ZelvikGRK.dll";
    case 1036: case 2060: case 3084: case 4108: case 5132:
      return "ZelvikFRN.dll";
    case 1040: case 2064:
      return "ZelvikITA.dll";
    case 1041:
      return "ZelvikJPN.dll";
    case 1042:
      return "ZelvikKOR.dll";
    default:
      return nullptr;
  }
}

LanguageChoice ChooseLanguageLibrary(WORD /*systemDefaultLanguage*/) {
  // The client runs on its built-in English resources whatever the system's language.
  const WORD id = 1033;
  return {id, LanguageLibraryFor(id)};
}

bool ProcessorHasMmx() {
#if defined(__x86_64__) || defined(__i386__)
  return __builtin_cpu_supports("mmx");
#else
  return false;
#endif
}

int FlushAddressCache() {
  for (const char* arp : {"/usr/sbin/arp", "/sbin/arp"}) {
    if (FileExists(arp)) return SpawnProcess({arp, "-d"}) ? 1 : 0;
  }
  return 0;
}

int StartSocketsAtVersion(BYTE major, BYTE minor) { return (major == 2 && minor == 2) ? 1 : 0; }

// ---------------------------------------------------------------------------------------
// Byte order and checksums

void WriteBigEndian32(std::uint8_t* out, DWORD v) {
  out[0] = static_cast<std::uint8_t>(v >> 24);
  out[1] = static_cast<std::uint8_t>(v >> 16);
  out[2] = static_cast<std::uint8_t>(v >> 8);
  out[3] = static_cast<std::uint8_t>(v);
}

void SwapBytes32(DWORD& v) {
  v = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

WORD InternetChecksumSwapped(const std::uint8_t* data, std::size_t size) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>((data[i] << 8) | data[i + 1]);
  if (i < size) sum += static_cast<std::uint32_t>(data[i] << 8);
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  const WORD c = static_cast<WORD>(~sum);
  return static_cast<WORD>((c >> 8) | (c << 8));
}

// ---------------------------------------------------------------------------------------
// Audio codecs

std::int16_t MuLawToLinear(std::uint8_t sample) {
  const int u = ~sample & 0xFF;
  const int t = (((u & 0x0F) << 3) + 132) << ((u & 0x70) >> 4);
  return static_cast<std::int16_t>((u & 0x80) ? (132 - t) : (t - 132));
}

namespace {

constexpr int kImaIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
constexpr int kImaStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

}  // namespace

AdpcmState g_AdpcmDecoderState{0, 50};

std::int16_t ImaAdpcmDecodeNibble(AdpcmState* s, int nibble) {
  if (s == nullptr || nibble < 0 || nibble > 15) return 0;
  const int index = std::clamp<int>(s->stepIndex, 0, 88);
  const int step = kImaStepTable[index];
  const int diff = ((2 * (nibble & 7) + 1) * step) / 8;
  int pred = s->predictor + ((nibble & 8) ? -diff : diff);
  pred = std::clamp(pred, -32768, 32767);
  s->predictor = pred;
  s->stepIndex = std::clamp(index + kImaIndexTable[nibble], 0, 88);
  return static_cast<std::int16_t>(pred);
}

AdpcmState ImaAdpcmDecodeBlock(AdpcmState* s, const std::uint8_t* in, std::size_t size,
                               std::int16_t* out) {
  if (s == nullptr) return AdpcmState{};
  const AdpcmState before = *s;
  for (std::size_t i = 0; i < size; ++i) {
    out[2 * i] = ImaAdpcmDecodeNibble(s, in[i] & 0x0F);
    out[2 * i + 1] = ImaAdpcmDecodeNibble(s, in[i] >> 4);
  }
  return before;
}

CPesParser::CPesParser() = default;
CPesParser::~CPesParser() { delete[] m_lpBuffer; }

namespace {

// The low 32 bits of a 33-bit time stamp in its five PES bytes.
DWORD TimeStamp32(const std::uint8_t* p) {
  return (static_cast<DWORD>((p[0] >> 1) & 0x03) << 30) |
         (static_cast<DWORD>((p[1] << 7) | (p[2] >> 1)) << 15) |
         static_cast<DWORD>((p[3] << 7) | (p[4] >> 1));
}

bool MarkersFit(const std::uint8_t* p, int prefix) {
  return (p[0] >> 4) == prefix && (p[0] & 1) && (p[2] & 1) && (p[4] & 1);
}

}  // namespace

DWORD CPesParser::GetVideoTimeStamp(const std::uint8_t* p, std::size_t size) {
  if (p == nullptr || size < 14) return 0;
  if (p[0] != 0 || p[1] != 0 || p[2] != 1 || (p[3] & 0xF0) != 0xE0) return 0;
  if ((p[6] & 0xC0) != 0x80) return 0;
  const int flags = p[7] >> 6;
  if (flags == 2) return MarkersFit(p + 9, 0x2) ? TimeStamp32(p + 9) : 0;
  if (flags == 3) {
    if (size < 19) return 0;
    return (MarkersFit(p + 9, 0x3) && MarkersFit(p + 14, 0x1)) ? TimeStamp32(p + 14) : 0;
  }
  return 0;
}

// ---------------------------------------------------------------------------------------
// MPEG stream scanners

int ScanMpegStream(const std::uint8_t* d, std::size_t size, DWORD* timeStamp, int* pictureType) {
  int result = 0;
  if (d == nullptr) return 0;
  for (std::size_t i = 0; i + 4 <= size; ++i) {
    if (d[i] != 0 || d[i + 1] != 0 || d[i + 2] != 1) continue;
    const std::uint8_t id = d[i + 3];
    const int high = id >> 4;
    if (high == 0xC || high == 0xD || high == 0xE) {
      // 00 00 01 id, length (2), flags (2), header length, stamps from byte 9.
      if (i + 9 > size) break;
      const int flags = d[i + 7] >> 6;
      std::size_t at = 0;
      if (flags == 2) at = i + 9;
      else if (flags == 3) at = i + 14;
      if (at != 0 && at + 5 <= size) {
        if (timeStamp) *timeStamp = TimeStamp32(d + at);
        result |= kScanTimeStamp;
      }
    } else if (id == 0xB6) {
      if (i + 5 > size) break;
      if (pictureType) *pictureType = (d[i + 4] >> 6) + 1;
      result |= kScanPictureType;
      break;
    }
  }
  return result;
}

std::size_t ScanPacketStart(const std::uint8_t* d, std::size_t size, bool* found) {
  bool seen = false;
  for (std::size_t i = 0; d != nullptr && i + 1 < size && !seen; ++i) {
    if ((d[i + 1] & 0xC0) != 0x80) continue;
    const std::size_t end = std::min(size, i + 1 + 50);
    for (std::size_t j = i + 1; j + 4 <= end; ++j) {
      if (d[j] == 0 && d[j + 1] == 0 && (d[j + 2] == 0xC0 || d[j + 2] == 0xD0 || d[j + 2] == 0xE0) &&
          d[j + 3] == 1) {
        seen = true;
        break;
      }
    }
  }
  if (found) *found = seen;
  return size;
}

std::size_t FindJpegEndPadding(const std::uint8_t* d, std::size_t size) {
  for (std::size_t i = 0; d != nullptr && i + 4 <= size; ++i) {
    if (d[i] == 0xFF && d[i + 1] == 0xD9 && d[i + 2] == 0xFF && d[i + 3] == 0xFF) return i + 1;
  }
  return 0;
}

// ---------------------------------------------------------------------------------------
// Pictures

namespace {

template <class OddRow>
void FieldToFrame(const std::uint8_t* src, int width, int rows, std::uint8_t* dst, OddRow odd) {
  if (src == nullptr || dst == nullptr || width <= 0 || rows <= 0) return;
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  auto row = [&](int r) { return src + static_cast<std::size_t>(std::clamp(r, 0, rows - 1)) * stride; };
  for (int i = 0; i < 2 * rows; ++i) {
    std::uint8_t* out = dst + static_cast<std::size_t>(i) * stride;
    const int k = i / 2;
    if ((i & 1) == 0) {
      std::memcpy(out, row(k), stride);
    } else if (i <= 3 || k >= rows - 3) {
      const std::uint8_t* a = row(k);
      const std::uint8_t* b = row(k + 1);
      for (std::size_t x = 0; x < stride; ++x) out[x] = static_cast<std::uint8_t>((a[x] + b[x]) / 2);
    } else {
      const std::uint8_t* r[6] = {row(k - 2), row(k - 1), row(k), row(k + 1), row(k + 2), row(k + 3)};
      for (std::size_t x = 0; x < stride; ++x) out[x] = odd(r, x);
    }
  }
}

}  // namespace

void FieldToFrame24(const std::uint8_t* src, int width, int rows, std::uint8_t* dst) {
  static const double w[6] = {0.08, -0.22, 0.64, 0.64, -0.22, 0.08};
  FieldToFrame(src, width, rows, dst, [](const std::uint8_t* const* r, std::size_t x) {
    double v = 0;
    for (int t = 0; t < 6; ++t) v += w[t] * r[t][x];
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
  });
}

void FieldToFrame24Int(const std::uint8_t* src, int width, int rows, std::uint8_t* dst) {
  FieldToFrame(src, width, rows, dst, [](const std::uint8_t* const* r, std::size_t x) {
    const int v = (64 * (r[2][x] + r[3][x]) + 8 * (r[0][x] + r[5][x]) - 22 * (r[1][x] + r[4][x])) / 100;
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
  });
}

void CombFilter16(const std::uint8_t* src, int width, int rows, std::uint8_t* dst) {
  if (src == nullptr || dst == nullptr || width <= 0 || rows <= 0) return;
  const std::size_t stride = static_cast<std::size_t>(width) * 2;
  std::memcpy(dst, src, stride * static_cast<std::size_t>(rows));
  for (int y = 1; y + 1 < rows; ++y) {
    const std::uint8_t* up = src + (y - 1) * stride;
    const std::uint8_t* me = src + y * stride;
    const std::uint8_t* dn = src + (y + 1) * stride;
    std::uint8_t* out = dst + y * stride;
    for (int x = 0; x < width; ++x) {
      const int a = up[2 * x] >> 1, b = me[2 * x] >> 1, c = dn[2 * x] >> 1;
      if ((a - b) * (c - b) - 625 * (((a - c) * (a - c)) >> 12) > 73) {
        out[2 * x] = static_cast<std::uint8_t>((up[2 * x] + dn[2 * x]) / 2);
        out[2 * x + 1] = static_cast<std::uint8_t>((up[2 * x + 1] + dn[2 * x + 1]) / 2);
      }
    }
  }
}

bool PatchJpegFrameSize(std::uint8_t* d, std::size_t size, WORD width, WORD height) {
  if (d == nullptr) return false;
  const std::size_t limit = std::min<std::size_t>(size, 100);
  for (std::size_t i = 0; i + 1 < limit; ++i) {
    if (d[i] != 0xFF || d[i + 1] != 0xC0) continue;
    if (i + 9 > size) return false;
    d[i + 5] = static_cast<std::uint8_t>(height >> 8);
    d[i + 6] = static_cast<std::uint8_t>(height);
    d[i + 7] = static_cast<std::uint8_t>(width >> 8);
    d[i + 8] = static_cast<std::uint8_t>(width);
    return true;
  }
  return false;
}

bool DecodeJpegTopDown(const std::uint8_t* jpeg, std::size_t size, std::uint8_t* dst, int width,
                       int height) {
  if (dst == nullptr || width <= 0 || height <= 0) return false;
  int w = 0, h = 0;
  if (!JpegReadSize(jpeg, size, w, h) || w != width || h != height) return false;
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  if (!JpegDecodeBgrBottomUp(jpeg, size, dst, stride * height, w, h)) return false;
  std::vector<std::uint8_t> tmp(stride);
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::memcpy(tmp.data(), dst + top * stride, stride);
    std::memcpy(dst + top * stride, dst + bottom * stride, stride);
    std::memcpy(dst + bottom * stride, tmp.data(), stride);
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Firmware package text header

int CheckFirmwarePackageHeader(const std::uint8_t* data, std::size_t size, const std::string& model,
                               const std::string& deviceVersion, std::size_t* bodyOffset) {
  if (data == nullptr) return -1;
  const std::string head(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 100));
  std::string fields[3];
  std::size_t pos = 0;
  for (int f = 0; f < 3; ++f) {
    const std::size_t semi = head.find(';', pos);
    if (semi == std::string::npos) return -1;
    fields[f] = head.substr(pos, semi - pos);
    pos = semi + 1;
  }
  if (fields[0] != kFirmwarePackageMaker || fields[1] != model) return -1;
  if (fields[2].size() != 4 || deviceVersion.size() < 4) return -2;
  bool newer = false;
  for (int i = 0; i < 4; ++i) {
    if (fields[2][i] != deviceVersion[i]) {
      newer = fields[2][i] > deviceVersion[i];
      break;
    }
  }
  if (!newer) return -2;
  if (bodyOffset) *bodyOffset = pos;
  return 0;
}

// ---------------------------------------------------------------------------------------
// Time and text helpers

namespace {
std::atomic<DWORD> g_tickTimerStart{0};
std::atomic<int> g_tickTimerArmed{1};
}  // namespace

void TickTimer_Start() {
  if (g_tickTimerArmed.load()) g_tickTimerStart.store(GetTickCount());
  g_tickTimerArmed.store(0);
}

int TickTimer_Elapsed(DWORD seconds) {
  if (GetTickCount() - g_tickTimerStart.load() >= seconds * 1000u) {
    g_tickTimerArmed.store(1);
    return 1;
  }
  return 0;
}

int GetParentFolder(const std::string& path, std::string& folder) {
  const std::string p = path.substr(0, 255);
  std::size_t cut = std::string::npos;
  for (std::size_t i = p.size(); i-- > 1;) {
    if (p[i] == '\\' || p[i] == '/') {
      cut = i;
      break;
    }
  }
  folder = cut == std::string::npos ? p : p.substr(0, cut);
  return 1;
}

int ExtractKeyText(const char* text, const char* key, char stop, char* out, std::size_t outSize) {
  if (text == nullptr || key == nullptr || out == nullptr || outSize < 2 || *key == '\0') return -1;
  const char* at = std::strstr(text, key);
  if (at == nullptr) return -1;
  const char* from = at + std::strlen(key);
  if (*from == '\0') return -1;
  const char* end = std::strchr(from + 1, stop);  // at least one character is copied
  if (end == nullptr) return -1;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(end - from), outSize - 1);
  std::memcpy(out, from, n);
  out[n] = '\0';
  return static_cast<int>(end - text);
}

bool RepairOnlineUserKey(char* buffer, std::size_t size) {
  static const char kKey[] = "online-user-num";
  constexpr std::size_t kKeyLen = sizeof kKey - 1;
  if (buffer == nullptr) return false;
  if (strnlen(buffer, size) >= kKeyLen + 1 || size <= kKeyLen + 1) return false;
  std::size_t matched = 0;
  for (std::size_t i = 0; i < size && matched < kKeyLen; ++i) {
    if (buffer[i] == kKey[matched]) {
      ++matched;
    } else {
      matched = buffer[i] == kKey[0] ? 1 : 0;
      if (matched == 0) buffer[i] = '0';
    }
  }
  return matched == kKeyLen;
}

std::size_t FindFirstFF(const std::uint8_t* d, std::size_t size) {
  for (std::size_t i = 0; d != nullptr && i < size; ++i) {
    if (d[i] == 0xFF) return i;
  }
  return size;
}

std::size_t FindPattern(const std::uint8_t* d, std::size_t size, const std::uint8_t* pat,
                        std::size_t patSize) {
  if (d == nullptr || pat == nullptr || patSize == 0 || size < patSize) return 0;
  for (std::size_t i = 0; i < size - patSize; ++i) {
    if (std::memcmp(d + i, pat, patSize) == 0) return i;
  }
  return 0;
}

bool UnpackDeviceRecord(const std::uint8_t* d, std::size_t size, DeviceRecordBlock& out) {
  if (d == nullptr || size < kPackedDeviceRecordSize) return false;
  auto u16 = [d](std::size_t o) { return static_cast<WORD>(d[o] | (d[o + 1] << 8)); };
  auto u32 = [d](std::size_t o) {
    return static_cast<DWORD>(d[o]) | (static_cast<DWORD>(d[o + 1]) << 8) |
           (static_cast<DWORD>(d[o + 2]) << 16) | (static_cast<DWORD>(d[o + 3]) << 24);
  };
  for (int i = 0; i < 5; ++i) out.words[i] = u32(4 * i);
  std::memcpy(out.bytes6, d + 20, 6);
  out.value26 = d[26];
  out.value27 = u32(27);
  out.value31 = u32(31);
  out.value35 = u16(35);
  out.value37 = u16(37);
  out.value39 = u16(39);
  out.value41 = d[41];
  out.value42 = u16(42);
  out.value44 = d[44];
  return true;
}

int EnsureAddressBookFile(const std::string& programFolder, const std::string& systemFolder) {
  auto join = [](std::string f, const char* name) {
    if (!f.empty() && f.back() != '/' && f.back() != '\\') f += '/';
    return f + name;
  };
  const std::string mine = join(programFolder, "IPRecord.dat");
  if (FileExists(mine)) return 1;
  const std::string theirs = join(systemFolder, "IPRecord.dat");
  if (!systemFolder.empty() && FileExists(theirs)) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(theirs, bytes) || !WriteFileAtomic(mine, bytes.data(), bytes.size())) return 0;
    const int fd = ::open(mine.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return 0;
    ::close(fd);
    return 1;
  }
  WriteFileAtomic(mine, "", 0);
  return 1;
}

// ---------------------------------------------------------------------------------------
// Frame files

void WriteFrameRecord(const FrameRecord& r, std::uint8_t* out) {
  std::memset(out, 0, kFrameRecordSize);
  auto put32 = [out](std::size_t o, DWORD v) {
    for (int i = 0; i < 4; ++i) out[o + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(0, r.index);
  put32(4, r.timeMs);
  put32(8, r.length);
  put32(12, kFrameRecordMagic);
  out[16] = r.bytes[0];
  out[17] = r.bytes[1];
  out[18] = r.bytes[2];
  for (int i = 0; i < 4; ++i) put32(24 + 4 * i, r.values[i]);
}

bool ReadFrameRecord(const std::uint8_t* in, std::size_t size, FrameRecord& r) {
  if (in == nullptr || size < kFrameRecordSize) return false;
  auto get32 = [in](std::size_t o) {
    return static_cast<DWORD>(in[o]) | (static_cast<DWORD>(in[o + 1]) << 8) |
           (static_cast<DWORD>(in[o + 2]) << 16) | (static_cast<DWORD>(in[o + 3]) << 24);
  };
  if (get32(12) != kFrameRecordMagic) return false;
  r.index = get32(0);
  r.timeMs = get32(4);
  r.length = get32(8);
  std::memcpy(r.bytes, in + 16, 3);
  for (int i = 0; i < 4; ++i) r.values[i] = get32(24 + 4 * i);
  return true;
}

CFrameFileWriter::CFrameFileWriter(const std::string& fileName, int, int, int)
    : m_strFileName(fileName) {}

CFrameFileWriter::~CFrameFileWriter() {
  if (m_file != nullptr) {
    RewriteHeader();
    std::fclose(m_file);
  }
}

void CFrameFileWriter::RewriteHeader() {
  std::uint8_t header[kFrameFileHeaderSize] = {};
  for (int i = 0; i < 4; ++i) {
    header[i] = static_cast<std::uint8_t>(m_dwFrames >> (8 * i));
    header[8 + i] = static_cast<std::uint8_t>(m_dwLastSeconds >> (8 * i));
  }
  std::fseek(m_file, 0, SEEK_SET);
  std::fwrite(header, 1, sizeof header, m_file);
  std::fseek(m_file, 0, SEEK_END);
}

int CFrameFileWriter::Append(const FrameRecord& r, const std::uint8_t* frame) {
  if (m_file == nullptr || (frame == nullptr && r.length != 0)) return 0;
  std::uint8_t rec[kFrameRecordSize];
  WriteFrameRecord(r, rec);
  if (std::fwrite(rec, 1, sizeof rec, m_file) != sizeof rec ||
      std::fwrite(frame, 1, r.length, m_file) != r.length ||
      std::fwrite(rec, 1, sizeof rec, m_file) != sizeof rec) {
    return 0;
  }
  ++m_dwFrames;
  m_dwLastSeconds = r.timeMs / 1000;
  if (m_dwFrames % 10 == 0) RewriteHeader();
  return 1;
}

int CFrameFileWriter::WriteFrame(DWORD timeMs, const std::uint8_t* frame, DWORD length, std::uint8_t b0,
                                 std::uint8_t b1, std::uint8_t b2, const DWORD (&values)[4]) {
  FrameRecord r;
  r.index = m_dwFrames;
  r.timeMs = timeMs;
  r.length = length;
  r.bytes[0] = b0;
  r.bytes[1] = b1;
  r.bytes[2] = b2;
  std::copy(values, values + 4, r.values);
  return Append(r, frame);
}

int CFrameFileWriter::WriteFrameNow(const std::uint8_t* frame, DWORD length, std::uint8_t b0,
                                    std::uint8_t b2) {
  FrameRecord r;
  r.index = m_dwFrames;
  r.timeMs = GetTickCount();
  r.length = length;
  r.bytes[0] = b0;
  r.bytes[2] = b2;
  const LocalTime t = GetLocalTime();
  const WORD st[8] = {static_cast<WORD>(t.year),   static_cast<WORD>(t.month),
                      static_cast<WORD>(t.dayOfWeek), static_cast<WORD>(t.day),
                      static_cast<WORD>(t.hour),   static_cast<WORD>(t.minute),
                      static_cast<WORD>(t.second), static_cast<WORD>(t.milliseconds)};
  for (int i = 0; i < 4; ++i) r.values[i] = static_cast<DWORD>(st[2 * i]) | (static_cast<DWORD>(st[2 * i + 1]) << 16);
  return Append(r, frame);
}
