// The control file's text and templates: pure parsing, no application state.
#include <algorithm>
#include <cstring>

#include "core/StringIds.h"
#include "session/CtrlFile.h"

const char* const CtrlSectionNames[kCtrlSectionCount + 1] = {
    "[DEVICE NUMBER]", "[DEVICE NAME]",
    "[CH1]", "[CH2]", "[CH3]", "[CH4]", "[CH5]", "[CH6]", "[CH7]", "[CH8]",
    "[CH9]", "[CH10]", "[CH11]", "[CH12]", "[CH13]", "[CH14]", "[CH15]", "[CH16]",
    "[UP_PIP]", "[UP_QUAD]", "[4CUT]", "[9CUT]", "[16CUT]", "[PIP]", "[POP]", "[71013]",
    "[AUTO]", "[ESC]", "[VCR]", "[LIVE]", "[QUAD]", "[FREEZE]", "[ZOOM_IN]", "[ZOOM_OUT]",
    "[FOCUS_IN]", "[FOCUS_OUT]", "[PLUSE]", "[MINUS]", "[REMOTE_RECORD]", "[REBOOT]",
    "[ESCAPE]", "[SEC_ENTER]", "[STOP_RECORD]", "[RECORDING]", "[ZOOM]", "[SELECT]",
    "[LOCK]", "[SEARCH]", "[ENTER]", "[STOP]", "[RECORD]", "[REW]", "[FAST]", "[PAUSE]",
    "[SLOW]", "[PLAY]", "[JOYSTICK_LEFT]", "[JOYSTICK_UP]", "[JOYSTICK_MENU]",
    "[JOYSTICK_DOWN]", "[JOYSTICK_RIGHT]", "[TURBO]", "[PTZ]", "[ALARM]", "[ZOOM_IN_MAX]",
    "[ZOOM_OUT_MAX]", "[DIGITAL_ZOOM]", "[SET]", "[SEQUENCE]",
    "[PARAMETER]", "[POWER]", "[EOF]", "[DISPLAY]",
    nullptr};

namespace {


int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The character at i, or 0 past the end of the line.
char At(std::string_view s, std::size_t i) { return i < s.size() ? s[i] : '\0'; }

// A leading decimal number (blanks before it skipped), saturating; 0 without digits.
long LeadingDecimal(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  long v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    if (v < 100000000) v = v * 10 + (s[i] - '0');
  }
  return negative ? -v : v;
}

int SectionIndex(std::string_view line) {
  for (int i = 0; i < kCtrlSectionCount; ++i)
    if (line == CtrlSectionNames[i]) return i;
  return CS_NONE;
}

// "%d0Xhh": parameter d gets the byte. Lines of any other form change nothing.
void ParseParameterLine(CtrlDeviceRecord& rec, std::string_view line) {
  const std::size_t pct = line.find('%');
  if (pct == std::string_view::npos || pct + 1 >= line.size()) return;
  const int index = line[pct + 1] - '0';
  const std::size_t x = line.find('X', pct + 2);
  if (x == std::string_view::npos) return;
  if (index < 0 || index >= static_cast<int>(kCtrlParamCount)) return;
  rec.byParam[index] = ParseHexByte(At(line, x + 1), At(line, x + 2));
}

}  // namespace

std::size_t ReadCtrlLine(const std::uint8_t* text, std::size_t length, std::string& line) {
  line.clear();
  std::size_t i = 0;
  while (i < length) {
    const std::uint8_t c = text[i++];
    if (c == '\n') break;
    if (c < 0x20 || c >= 0x7F) continue;  // control characters, DEL and bytes of 0x80 and above
    if (line.size() >= kCtrlLineMax) continue;
    line.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
  }
  return i;
}

std::uint8_t ParseHexByte(char high, char low) {
  unsigned v = 0;
  for (char c : {high, low}) {
    v <<= 4;
    const int d = HexValue(c);
    if (d >= 0) v += static_cast<unsigned>(d);
  }
  return static_cast<std::uint8_t>(v);
}

TemplateKind GetTemplateKind(const CtrlCommandSlot& slot) {
  if (slot.byCount == 0 || !slot.IsSubst(0)) return TemplateKind::Plain;
  switch (slot.bytes[0]) {
    case 10: return TemplateKind::TwoAlternative;
    case 7: return TemplateKind::ActionPreset;
    case 3: return TemplateKind::Variable;
    default: return TemplateKind::Plain;
  }
}

bool FindCommandList(const CtrlCommandSlot& slot, bool presetMode, std::size_t& start, std::size_t& n) {
  const std::size_t count = std::min<std::size_t>(slot.byCount, slot.bytes.size());
  std::size_t head = 0;  // index of the list's count byte
  switch (GetTemplateKind(slot)) {
    case TemplateKind::Plain:
      start = 0;
      n = count;
      return n <= kRs485MaxCommand;
    case TemplateKind::Variable:
      return false;
    case TemplateKind::TwoAlternative: {
      // The second list follows the first byte of value 10 from index 1 on.
      std::size_t i = 1;
      while (i < count && slot.bytes[i] != 10) ++i;
      if (i >= count) return false;
      head = i + 1;
      break;
    }
    case TemplateKind::ActionPreset: {
      if (!presetMode) {
        head = 1;
        break;
      }
      // The PRESET list follows the second placeholder: a substitution byte of code 7.
      std::size_t i = 2;
      while (i < count && !(slot.bytes[i] == 7 && slot.IsSubst(i))) ++i;
      if (i >= count) return false;
      head = i + 1;
      break;
    }
  }
  if (head >= count) return false;
  n = slot.bytes[head];
  start = head + 1;
  return n <= kRs485MaxCommand && start + n <= count;
}

bool IsTemplateSendable(const CtrlCommandSlot& slot) {
  std::size_t start = 0, n = 0;
  switch (GetTemplateKind(slot)) {
    case TemplateKind::Plain:
    case TemplateKind::TwoAlternative:
      return FindCommandList(slot, false, start, n);
    case TemplateKind::ActionPreset:
      return FindCommandList(slot, false, start, n) && FindCommandList(slot, true, start, n);
    case TemplateKind::Variable:
      return slot.byCount >= 2 && slot.bytes.size() >= 2 && slot.bytes[1] <= kRs485MaxCommand;
  }
  return false;
}

int ParseCtrlCommand(CtrlCommandSlot& slot, std::string_view line) {
  slot.Clear();
  std::size_t x = line.find('X');
  if (x == std::string_view::npos) return 0;
  const std::uint8_t count = ParseHexByte(At(line, x + 1), At(line, x + 2));
  if (count == 0) return 1;
  slot.byCount = count;
  slot.bytes.assign(count, 0);
  slot.subst.assign(count, 0);
  std::size_t pos = x + 3;
  int result = 1;
  for (std::size_t i = 0; i < count; ++i) {
    x = pos < line.size() ? line.find('X', pos) : std::string_view::npos;
    if (x == std::string_view::npos) {
      result = 2;  // fewer bytes than the count: keep what was read
      break;
    }
    const char hi = At(line, x + 1);
    slot.bytes[i] = ParseHexByte(hi, At(line, x + 2));
    slot.subst[i] = hi == '%' ? 1 : 0;
    pos = x + 3;
  }
  if (!IsTemplateSendable(slot)) {
    slot.Clear();
    return 0;
  }
  return result;
}

CtrlFileData ParseCtrlFile(const std::uint8_t* text, std::size_t length) {
  CtrlFileData data;
  int section = CS_NONE;
  int record = -1;  // index of the last [DEVICE NAME]; may lie beyond the records
  bool allocated = false;
  std::string line;
  std::size_t pos = 0;
  while (pos < length) {
    pos += ReadCtrlLine(text + pos, length - pos, line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      section = SectionIndex(line);
      continue;
    }
    if (section == CS_NONE) {
      data.messages.push_back(IDS_COMMAND_NOT_SUPPORTED);
      continue;
    }
    CtrlDeviceRecord* rec =
        (record >= 0 && record < data.count) ? &data.records[static_cast<std::size_t>(record)] : nullptr;
    switch (section) {
      case CS_DEVICE_NUMBER: {
        if (allocated) break;  // the records exist already: a second count changes nothing
        long n = LeadingDecimal(line);
        if (n < 0) n = 0;
        if (n > kCtrlMaxDevices) n = kCtrlMaxDevices;
        data.count = static_cast<int>(n);
        if (n > 0) data.records = std::make_unique<CtrlDeviceRecord[]>(static_cast<std::size_t>(n));
        allocated = true;
        break;
      }
      case CS_DEVICE_NAME: {
        if (record < kCtrlMaxDevices) ++record;
        if (record >= 0 && record < data.count) {
          CtrlDeviceRecord& r = data.records[static_cast<std::size_t>(record)];
          const std::size_t n = std::min(line.size(), kCtrlNameSize - 1);
          std::memset(r.szName, 0, sizeof r.szName);
          std::memcpy(r.szName, line.data(), n);
        }
        break;
      }
      case CS_PARAMETER:
        if (rec) ParseParameterLine(*rec, line);
        break;
      case CS_DISPLAY:
        if (rec) rec->byDisplay = static_cast<std::uint8_t>(LeadingDecimal(line));
        break;
      case CS_EOF:
        if (line == "END") {
          data.endReached = true;
          return data;
        }
        break;
      default: {  // [POWER] and the key sections
        if (!rec) break;
        CtrlCommandSlot& slot = section == CS_POWER ? rec->Power : rec->Keys[section - CS_FIRST_KEY];
        const int r = ParseCtrlCommand(slot, line);
        slot.pOwner = rec;
        if (r != 1) data.messages.push_back(IDS_PLEASE_INPUT_SERVER_COMMAND);
        break;
      }
    }
  }
  return data;
}

void LinkCtrlFileDevices(CtrlDeviceRecord* records, int count) {
  for (auto& type : DeviceTypeTable) {
    type.pCtrlRecord = nullptr;
    if (!records || !type.pszName) continue;
    for (int i = 0; i < count; ++i) {
      if (std::strncmp(records[i].szName, type.pszName, kCtrlNameSize) == 0) {
        type.pCtrlRecord = &records[i];
        break;
      }
    }
  }
}
