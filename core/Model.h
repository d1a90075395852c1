// Recorder models, the firmware gate and small string helpers shared by many windows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Model codes (the "Product-ID" of the login reply).
enum class ModelFamily {
  None,  // a code outside the eight
  DVR,   // K41R, K42R, K43R: 16, 8 and 4 channels
  VS,    // K40R: the video server
  K47,   // K47R
  K44,   // K44R, K45R, K46R
};

ModelFamily GetModelFamily(std::string_view productId);
// The video-server families: VS, K44 and K47.
bool IsVideoServerFamily(std::string_view productId);

// Predicates on a given code (exact, case-sensitive comparison of the whole text)...
bool IsModelFamilyK41(std::string_view productId);
bool IsModelK40R(std::string_view productId);
bool IsModelK47R(std::string_view productId);
bool IsModelFamilyK44(std::string_view productId);
// ...and on the connected device (the record's strProductID; false without a record).
bool IsModelFamilyK41();
bool IsModelK40R();
bool IsModelK47R();
bool IsModelFamilyK44();

// MULTICH of the device information (the record's by_MultiChannel).
std::uint8_t IsMultiChannel();

// Capability bits of the INF section's word (the record's dw_FeatureFlags).
constexpr std::uint32_t CAP_REPORTS_RETR = 0x1;
constexpr std::uint32_t CAP_HOT_POINT = 0x2;
constexpr std::uint32_t CAP_OEM_VARIANT_1 = 0x80;
constexpr std::uint32_t CAP_OEM_VARIANT_2 = 0x200;
// 1 when the mask and the device's capability word share a set bit, else 0.
int HasCapability(std::uint32_t mask);

// Compares two four-character firmware versions, the threshold first and the device's
// version second: -1 when either is not exactly four characters long, 0 when equal, else
// at the first differing character (as signed 8-bit codes) 1 when the first is smaller and 2
// when it is larger. So 2 means "the device is older than the threshold".
int CompareVersionString(std::string_view first, std::string_view second);
// True when the device's version is below the threshold (comparison gives 2).
inline bool IsFirmwareBelow(std::string_view threshold, std::string_view version) {
  return CompareVersionString(threshold, version) == 2;
}

// The firmware thresholds, each tested for the family named.
namespace fwgate {
constexpr const char* kAllRequestVS = "0003";        // video-server families: ALL section request
constexpr const char* kAllRequestDVR = "1024";       // DVR family: the same
constexpr const char* kMailTextVS = "1003";          // long mail text split over SMTP and SNTP
constexpr const char* kMailTextDVR = "1027";
constexpr const char* kNewHeaderK40 = "1006";        // K40R: ask for the newer frame header
constexpr const char* kNewHeaderDVR = "1046";        // DVR family: the same
constexpr const char* kNewPppoeVS = "1007";          // newer PPPOE section layout
constexpr const char* kNewPppoeDVR = "1052";
constexpr const char* kChannelNamesK40 = "1010";     // K40R: channel names in RS485
constexpr const char* kUpgradeFW2K40 = "1013";       // K40R: /UpgradeFW2.cgi and /CancelUPFW.cgi
constexpr const char* kUpgradeFW2DVR = "1070";
constexpr const char* kNetworkUpgradeDVR = "1031";   // DVR family: network upgrade offered
constexpr const char* kCapabilityDVR = "1035";       // DVR family: capability word read from INF
constexpr const char* kCancelBackupDVR = "1043";     // DVR family: /CancelNB.cgi
constexpr const char* kNewPagesDVR = "1058";         // DVR date, record-setting and timer pages
constexpr const char* kSkinButtonsDVR = "1078";      // below: six skin buttons switched off
constexpr const char* kIpByte23DVR = "3000";         // network page: IP section byte 23
}  // namespace fwgate

// The device-type numbers the peripheral pages allow as the PERI section's model byte.
constexpr std::uint8_t kPeripheralModelCodes[11] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 25};
// Position of the first entry equal to value; 0 when none is.
std::uint8_t ValueToIndex11(std::uint8_t value);
// The entry at index; 0 above 10.
std::uint8_t IndexToValue11(std::uint8_t index);

// Keeps only the characters 0-9 of text (mode 1, the only mode). A text of 256 characters
// or more is left unchanged and the result is 0; otherwise 1.
int FilterDigits(std::string& text, std::uint8_t mode = 1);

// Loads string-table entry id and splits it at the first "$": the text before into `first`,
// the text after into `second` (both zeroed first; `second` stays empty without a "$").
// Each part must fit its 50-byte buffer with its terminator: a longer part is refused
// (result 0, both buffers left zeroed). 1 on success.
constexpr std::size_t kSplitPartSize = 50;
int SplitResourceString(unsigned id, char (&first)[kSplitPartSize], char (&second)[kSplitPartSize]);
// The same into strings (no length limit).
int SplitResourceString(unsigned id, std::string& first, std::string& second);

// Converts hexadecimal text such as "00:1a:2B:3c:4D:5e" (separator removed, pairs of digits,
// high digit first) into bytes. Refused (0, output untouched) when a character is not a
// hexadecimal digit or the bytes would not fit in outSize. A last odd digit is ignored.
// 1 on success; outLength (when given) receives the number of bytes written.
int HexTextToBytes(std::string_view text, std::uint8_t* out, std::size_t outSize, char separator,
                   std::size_t* outLength = nullptr);

// Twelve hexadecimal digits (either case) into 6 bytes; 0 when the text is not exactly 12
// hexadecimal digits or out is null.
int MacTextToBytes(std::string_view text, std::uint8_t* out);

// Splits text at any of the delimiter characters (no empty tokens) and stores the decimal
// value of each token's leading digits modulo 256, at most `count` values, after clearing
// `count` bytes of out. 1 when the text holds at least one token, else 0.
int SplitToInts(std::string_view text, std::uint8_t* out, std::size_t count, std::string_view delimiters);

// The integer modulo 100 as two digits ("07", "05", "12").
std::string FormatTwoDigits(int value);

// True when the bytes start with FF D8 FF DB (a JPEG whose first segment is a quantisation
// table). False when fewer than four bytes are given.
bool IsJpegWithDqt(const std::uint8_t* bytes, std::size_t length);
