// The control file "CtrlFile.ini": for every device model by name, one RS-485 byte template
// per panel key, a power template and up to sixteen parameter bytes. It is read once at
// start-up and each device type is linked to the record of its name.
//
// The loader treats the file as untrusted text: every index, count and name is bounded, a
// template that could not fit a packet is refused, and nothing is read past the file or a
// line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "session/DeviceTypes.h"

struct CtrlDeviceRecord;

// One command template. Each byte carries its own substitution flag, so a literal byte is
// never taken for a substitution code whatever its position.
struct CtrlCommandSlot {
  CtrlDeviceRecord* pOwner = nullptr;
  std::uint8_t byCount = 0;             // 0 = the key has no command
  std::vector<std::uint8_t> bytes;      // byCount template bytes
  std::vector<std::uint8_t> subst;      // 1 where the byte is a substitution code

  bool Empty() const { return byCount == 0; }
  bool IsSubst(std::size_t i) const { return i < subst.size() && subst[i] != 0; }
  void Clear() {
    byCount = 0;
    bytes.clear();
    subst.clear();
  }
};

constexpr std::size_t kCtrlParamCount = 16;
constexpr std::size_t kCtrlNameSize = 80;      // szName, terminator included
constexpr std::size_t kCtrlLineMax = 129;      // kept characters of one line
constexpr int kCtrlMaxDevices = 255;           // records a file may declare
constexpr std::size_t kRs485PacketSize = 64;   // the packet buffer
constexpr std::size_t kRs485MaxCommand = kRs485PacketSize - 3;  // count, repeat, interval

struct CtrlDeviceRecord {
  std::uint8_t byParam[kCtrlParamCount] = {};
  CtrlCommandSlot Power;
  char szName[kCtrlNameSize] = {};
  CtrlCommandSlot Keys[kPanelKeyCount];  // Keys[k] = template of panel key k; Keys[67] unused
  std::uint8_t byDisplay = 0;
};

// Template kinds, chosen by a first byte that is a substitution code: 10 two lists, the
// second sent; 7 two lists (ACTION, PRESET) behind placeholders; 3 a variable template.
enum class TemplateKind { Plain, TwoAlternative, ActionPreset, Variable };
TemplateKind GetTemplateKind(const CtrlCommandSlot& slot);

// The list a plain, two-alternative or ACTION/PRESET template sends: the index of its first
// byte in the template and its length. False when the list cannot be found, runs past the
// template, or could not fit a packet.
bool FindCommandList(const CtrlCommandSlot& slot, bool presetMode, std::size_t& start, std::size_t& n);

// Whether the template can be sent in every mode (the loader refuses the others).
bool IsTemplateSendable(const CtrlCommandSlot& slot);

// Section names, ended by a null entry: 0 "[DEVICE NUMBER]", 1 "[DEVICE NAME]", 2-68 the key
// sections (section = key + 2), 69 "[PARAMETER]", 70 "[POWER]", 71 "[EOF]", 72 "[DISPLAY]".
constexpr int kCtrlSectionCount = 73;
extern const char* const CtrlSectionNames[kCtrlSectionCount + 1];
enum CtrlSection : int {
  CS_NONE = -1,
  CS_DEVICE_NUMBER = 0,
  CS_DEVICE_NAME = 1,
  CS_FIRST_KEY = 2,
  CS_LAST_KEY = 68,
  CS_PARAMETER = 69,
  CS_POWER = 70,
  CS_EOF = 71,
  CS_DISPLAY = 72,
};


// The parsed file. `messages` lists, in order, the message ids the lines produced.
struct CtrlFileData {
  std::unique_ptr<CtrlDeviceRecord[]> records;
  int count = 0;
  bool endReached = false;
  std::vector<unsigned> messages;
};

// Copies one line of `text` into `line` (dropping control characters and bytes of 0x80 and
// above, upper-casing the rest, keeping at most kCtrlLineMax characters) and returns the
// bytes consumed, the line feed included.
std::size_t ReadCtrlLine(const std::uint8_t* text, std::size_t length, std::string& line);

// Two characters: a hexadecimal digit adds its value after a shift by four bits, anything
// else adds nothing. A missing character (end of line) adds nothing.
std::uint8_t ParseHexByte(char high, char low);

// Fills the slot from a command line. Returns 0 and leaves the slot empty when the line is
// refused (no "X", or a template whose packet could not fit); 2 when the line held fewer
// bytes than its count (the slot keeps what was read, the rest 0); 1 otherwise.
int ParseCtrlCommand(CtrlCommandSlot& slot, std::string_view line);

// Parses a whole file held in memory.
CtrlFileData ParseCtrlFile(const std::uint8_t* text, std::size_t length);

// Reads "CtrlFile.ini" of the program folder into g_lpSession's records (replacing any held).
// 1 when the file was read; 0 after message 4094 when it could not be opened or read.
// Messages of bad lines are shown as they are met.
int LoadCtrlFile();
// The same from a given path (tests, tools).
int LoadCtrlFileFrom(const std::string& path);

// Links every device type to the first record of the same name (or none). Returns 1.
int LinkCtrlFileDevices();
// Links the types to the given records (tests).
void LinkCtrlFileDevices(CtrlDeviceRecord* records, int count);

// Unlinks the device types and frees g_lpSession's records (process shut-down). Safe to repeat.
void FreeCtrlDeviceRecords();
