// Facilities the client carries that none of its flows reaches: small codecs, checksums,
// stream scanners, picture filters and patchers, text and buffer helpers, and a frame-file
// writer. They are kept working and tested so that whatever comes to use them finds them
// sound; nothing in the program calls them today.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include "platform/types.h"

// ---------------------------------------------------------------------------------------
// Start-up leftovers

// The resource library of a language identifier ("ZelvikGER.dll", ...), or null for every
// identifier that keeps the built-in English resources.
const char* LanguageLibraryFor(plat::WORD languageId);
// The chooser as the application runs it: the identifier is fixed to 1033 (English, United
// States) before the table is consulted, so it answers 1033 and no library.
struct LanguageChoice {
  plat::WORD languageId;
  const char* library;
};
LanguageChoice ChooseLanguageLibrary(plat::WORD systemDefaultLanguage);

// Whether the processor supports MMX (CPUID leaf 1, EDX bit 23); false off x86.
bool ProcessorHasMmx();

// Starts "arp -d" (the address-cache flush); 1 when the process started.
int FlushAddressCache();

// The socket layer's version check: 1 only when the requested version is the one the
// layer provides (2.2); POSIX sockets need no start-up of their own.
int StartSocketsAtVersion(plat::BYTE major, plat::BYTE minor);

// ---------------------------------------------------------------------------------------
// Byte order and checksums

void WriteBigEndian32(std::uint8_t* out, plat::DWORD value);
void SwapBytes32(plat::DWORD& value);
// The Internet checksum of RFC 1071 (big-endian 16-bit words, an odd last byte as the high
// byte of a word, carries folded twice, complemented), returned with its two bytes swapped.
plat::WORD InternetChecksumSwapped(const std::uint8_t* data, std::size_t size);

// ---------------------------------------------------------------------------------------
// Audio codecs

// ITU-T G.711 mu-law to 16-bit linear (bias 132).
std::int16_t MuLawToLinear(std::uint8_t sample);

// IMA (DVI) ADPCM, 4-bit samples.
struct AdpcmState {
  std::int32_t predictor = 0;
  std::int32_t stepIndex = 0;  // 0..88
};
// One nibble: updates the state and answers the new sample; a nibble outside 0..15 or a
// missing state answers 0 and changes nothing.
std::int16_t ImaAdpcmDecodeNibble(AdpcmState* state, int nibble);
// Decodes `size` bytes, two samples per byte (low nibble first) into out[2 * size]; the state
// advances; the answer is the state as it was before the block.
AdpcmState ImaAdpcmDecodeBlock(AdpcmState* state, const std::uint8_t* in, std::size_t size,
                               std::int16_t* out);
// The decoder state built at start-up (step index 50, predictor 0); nothing decodes with it.
extern AdpcmState g_AdpcmDecoderState;

// A stream class of MPEG program-stream helpers; nothing constructs it.
class CPesParser {
 public:
  CPesParser();
  ~CPesParser();
  CPesParser(const CPesParser&) = delete;
  CPesParser& operator=(const CPesParser&) = delete;
  static std::int16_t Mulaw2Linear(std::uint8_t sample) { return MuLawToLinear(sample); }
  // The presentation (flags 2) or decoding (flags 3) time stamp of an MPEG-2 video PES
  // header at data[0..]; 0 when the header, its flags or its marker bits do not fit.
  static plat::DWORD GetVideoTimeStamp(const std::uint8_t* data, std::size_t size);

 private:
  std::uint8_t* m_lpBuffer = nullptr;
};

// ---------------------------------------------------------------------------------------
// MPEG stream scanners

constexpr int kScanTimeStamp = 1;   // a PES time stamp was found
constexpr int kScanPictureType = 8;  // an MPEG-4 picture start code was found (scan stops)
// Scans for 00 00 01 start codes: audio/video PES packets (stream id 0xC*, 0xD*, 0xE*) give
// the low 32 bits of their time stamp (the second one when two are present); the MPEG-4
// picture start code B6 gives the coding type plus 1 (1 I, 2 P, 3 B, 4 S) and ends the scan.
int ScanMpegStream(const std::uint8_t* data, std::size_t size, plat::DWORD* timeStamp,
                   int* pictureType);
// At each position whose following byte has its top bits 10, looks within the next 50 bytes
// for 00 00 {C0, D0, E0} 01; *found tells whether it was seen. Answers `size` always.
std::size_t ScanPacketStart(const std::uint8_t* data, std::size_t size, bool* found);
// The position after the first byte of the bytes FF D9 FF FF; 0 when absent.
std::size_t FindJpegEndPadding(const std::uint8_t* data, std::size_t size);

// ---------------------------------------------------------------------------------------
// Pictures

// Field to frame for 24-bit pictures: dst has 2 x rows rows of width x 3 bytes. Even rows
// copy source row i/2; odd rows take the six-tap weights 0.08, -0.22, 0.64, 0.64, -0.22,
// 0.08 over source rows i/2 - 2 .. i/2 + 3, clamped to 0..255; the first two odd rows and
// those whose source row is among the last three average their two neighbouring rows.
void FieldToFrame24(const std::uint8_t* src, int width, int rows, std::uint8_t* dst);
// The same in integer arithmetic (weights 64, 8 and 22, divided by 100, saturating).
void FieldToFrame24Int(const std::uint8_t* src, int width, int rows, std::uint8_t* dst);
// Comb filter for pictures of 2 bytes per pixel: a pixel of a line between two others whose
// halved low bytes a (above), b (itself), c (below) give (a-b)(c-b) - 625((a-c)^2 >> 12) > 73
// becomes the average of the lines above and below. src and dst do not overlap.
void CombFilter16(const std::uint8_t* src, int width, int rows, std::uint8_t* dst);
// Patches the start-of-frame marker FF C0 found within the first 100 bytes: height at bytes
// 5-6 after the marker, width at 7-8, big-endian. False when there is no room or no marker.
bool PatchJpegFrameSize(std::uint8_t* data, std::size_t size, plat::WORD width, plat::WORD height);
// Decodes a JPEG into a 24-bit picture of exactly width x height (the caller's size; a JPEG
// of another size is refused) and flips its rows in place, giving top-down rows.
bool DecodeJpegTopDown(const std::uint8_t* jpeg, std::size_t size, std::uint8_t* dst, int width,
                       int height);

// ---------------------------------------------------------------------------------------
// Firmware package text header

constexpr const char* kFirmwarePackageMaker = "ZELVIK";
// The first 100 bytes split at ';': maker, model, four-character version. -1 for another
// maker or model, -2 when the version is not newer than `deviceVersion` (character by
// character), 0 otherwise with *bodyOffset behind the third ';'.
int CheckFirmwarePackageHeader(const std::uint8_t* data, std::size_t size, const std::string& model,
                               const std::string& deviceVersion, std::size_t* bodyOffset);

// ---------------------------------------------------------------------------------------
// Time and text helpers

void TickTimer_Start();
int TickTimer_Elapsed(plat::DWORD seconds);
// The folder of a path without its trailing separator (the path is taken to 255
// characters; the cut is at the last '\' or '/' after the first character). Answers 1.
int GetParentFolder(const std::string& path, std::string& folder);
// Finds `key` in `text` and copies what follows it, up to the stop character, into out
// (at least one character, at most outSize - 1, zero-terminated). Answers the stop
// character's position in text, or -1 when the key is absent (or the stop is missing).
int ExtractKeyText(const char* text, const char* key, char stop, char* out, std::size_t outSize);
// Makes "online-user-num" findable in a reply whose first zero byte comes too early: every
// byte that does not continue the key is replaced by '0' until its 15 characters have been
// matched. Answers whether the key was completed.
bool RepairOnlineUserKey(char* buffer, std::size_t size);
// The position of the first 0xFF byte (size when there is none).
std::size_t FindFirstFF(const std::uint8_t* data, std::size_t size);
// The first position below size - patternSize where the pattern occurs; 0 when it does not
// or the buffer is shorter than the pattern.
std::size_t FindPattern(const std::uint8_t* data, std::size_t size, const std::uint8_t* pattern,
                        std::size_t patternSize);

// The packed 45-byte device record, unpacked field by field.
constexpr std::size_t kPackedDeviceRecordSize = 45;
struct DeviceRecordBlock {
  plat::DWORD words[5] = {};
  std::uint8_t bytes6[6] = {};
  std::uint8_t value26 = 0;
  plat::DWORD value27 = 0;
  plat::DWORD value31 = 0;
  plat::WORD value35 = 0;
  plat::WORD value37 = 0;
  plat::WORD value39 = 0;
  std::uint8_t value41 = 0;
  plat::WORD value42 = 0;
  std::uint8_t value44 = 0;
};
bool UnpackDeviceRecord(const std::uint8_t* data, std::size_t size, DeviceRecordBlock& out);

// Makes sure "IPRecord.dat" exists in the program folder: copies one from `systemFolder`
// when there is one there (0 when the copy cannot then be opened), creates an empty one
// otherwise. Answers 1 in every other case.
int EnsureAddressBookFile(const std::string& programFolder, const std::string& systemFolder);

// ---------------------------------------------------------------------------------------
// Frame files: an 80-byte header {frames written, -, last time in seconds, ...} and per
// frame a 40-byte record, the frame's bytes and the same record again.

constexpr std::size_t kFrameFileHeaderSize = 80;
constexpr std::size_t kFrameRecordSize = 40;
constexpr plat::DWORD kFrameRecordMagic = 0xADFBCE23;

struct FrameRecord {
  plat::DWORD index = 0;
  plat::DWORD timeMs = 0;
  plat::DWORD length = 0;
  std::uint8_t bytes[3] = {};
  plat::DWORD values[4] = {};  // or a system time (eight 16-bit values) for the second write
};
void WriteFrameRecord(const FrameRecord& r, std::uint8_t* out);  // 40 bytes
bool ReadFrameRecord(const std::uint8_t* in, std::size_t size, FrameRecord& r);

class CFrameFileWriter {
 public:
  CFrameFileWriter(const std::string& fileName, int a, int b, int c);
  ~CFrameFileWriter();
  CFrameFileWriter(const CFrameFileWriter&) = delete;
  CFrameFileWriter& operator=(const CFrameFileWriter&) = delete;

  // Writes one frame with the caller's time, three byte values and four 32-bit values.
  int WriteFrame(plat::DWORD timeMs, const std::uint8_t* frame, plat::DWORD length, std::uint8_t b0,
                 std::uint8_t b1, std::uint8_t b2, const plat::DWORD (&values)[4]);
  // Writes one frame stamped with the tick count, two byte values (record offsets 16 and
  // 18) and the local date and time at offsets 24..39.
  int WriteFrameNow(const std::uint8_t* frame, plat::DWORD length, std::uint8_t b0, std::uint8_t b2);
  int Member1() const { return 0; }
  int Member2() const { return 0; }
  bool IsOpen() const { return m_file != nullptr; }

 protected:
  std::FILE* m_file = nullptr;  // no member opens it

 private:
  int Append(const FrameRecord& r, const std::uint8_t* frame);
  void RewriteHeader();
  std::string m_strFileName;
  plat::DWORD m_dwFrames = 0;
  plat::DWORD m_dwLastSeconds = 0;
};
