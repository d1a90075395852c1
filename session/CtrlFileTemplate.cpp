#include "session/CtrlFileTemplate.h"

#include <cstdio>
#include <string>
#include <vector>

#include "core/Strings.h"

namespace {

// Each line is a format: doubled percent signs come out as one.
const char* const kComments[] = {
    ";==========================================================================",
    "; Control file template",
    ";==========================================================================",
    "; [DEVICE NUMBER] holds the number of devices described below.",
    "; Each device starts with [DEVICE NAME] followed by its name on one line;",
    "; the name links the device to the device type of the same name.",
    "; [PARAMETER] sets up to ten parameter bytes as %%n=0Xhh.",
    "; Every other section is one key of the control panel.",
    "; A command line holds the byte count, then the bytes, each written 0Xhh.",
    "; 0X%%D stands for the device address of the selected device.",
    "; 0X%%0 to 0X%%9 stand for the parameter bytes of the device.",
    "; A count of 0 means the key sends nothing.",
    "; Section names are written in capitals.",
    "; Lines longer than 128 characters are cut.",
    "; Lines starting with ; are comments.",
    "; [DISPLAY] 1 shows the device in the device list, 0 hides it.",
    "; [EOF] ends the devices; End ends the file.",
    ";--------------------------------------------------------------------------",
    "; Channel keys: [CH1] to [CH16]",
    "; Screen layouts: [4CUT] [9CUT] [16CUT] [QUAD] [PIP] [POP]",
    "; Playback keys: [SEARCH] [ENTER] [STOP] [RECORD] [REW] [FAST] [PAUSE] [SLOW] [PLAY]",
    "; Other keys: [AUTO] [ESC] [LIVE] [FREEZE] [ZOOM] [SEQUENCE]",
    ";--------------------------------------------------------------------------",
};

std::string Command(int code) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "0X05 0XA5 0X%%%%D 0X%%%%1 0X%02X 0X%%%%2", code);
  return buf;
}

std::vector<std::string> TemplateLines() {
  std::vector<std::string> lines(std::begin(kComments), std::end(kComments));
  lines.insert(lines.end(), {"", "[DEVICE NUMBER]", "1", "", "[DEVICE NAME]", "TEMPLATE DVR", "",
                             "[PARAMETER]"});
  for (int i = 0; i < 10; ++i) lines.push_back("%%" + std::to_string(i) + "=0X00");
  lines.insert(lines.end(), {"", "[POWER]", Command(0xFE), ""});
  for (int ch = 1; ch <= 16; ++ch) {
    lines.push_back("[CH" + std::to_string(ch) + "]");
    lines.push_back(Command(ch));
  }
  lines.push_back("");
  const char* const layouts[] = {"[4CUT]", "[9CUT]", "[16CUT]", "[QUAD]", "[PIP]", "[POP]"};
  int code = 0x20;
  for (const char* s : layouts) lines.insert(lines.end(), {s, Command(code++)});
  lines.push_back("");
  const char* const playback[] = {"[SEARCH]", "[ENTER]", "[STOP]", "[RECORD]", "[REW]",
                                  "[FAST]",   "[PAUSE]", "[SLOW]", "[PLAY]"};
  code = 0x2D;
  for (const char* s : playback) lines.insert(lines.end(), {s, Command(code++)});
  lines.push_back("");
  const char* const others[] = {"[AUTO]", "[ESC]", "[LIVE]", "[FREEZE]", "[ZOOM]", "[SEQUENCE]"};
  code = 0x40;
  for (const char* s : others) lines.insert(lines.end(), {s, Command(code++)});
  lines.insert(lines.end(), {"", "[DISPLAY]", "1", "", "[EOF]", "End"});
  return lines;
}

}  // namespace

int WriteCtrlFileTemplate(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    MessageBoxById(0, IDS_CANNOT_CREATE_CTRL_FILE);
    return 0;
  }
  bool ok = true;
  for (const std::string& fmt : TemplateLines()) {
    // The formatting step turns each doubled percent sign into one.
    std::string line;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
      line += fmt[i];
      if (fmt[i] == '%' && i + 1 < fmt.size() && fmt[i + 1] == '%') ++i;
    }
    line += '\n';
    ok = ok && std::fwrite(line.data(), 1, line.size(), f) == line.size();
  }
  ok = (std::fclose(f) == 0) && ok;
  return ok ? 1 : 0;
}
