// ctrlfilegen: writes the control file "CtrlFile.ini" from data/devices/CtrlFile.desc.
//
//   ctrlfilegen <description> <output file>
//
// Every device type of the compiled-in table gets one record under its own name; the keys
// a type shows get their template from the device's protocol, or the protocol's placeholder.
// Keys whose handlers send nothing (TURBO, PTZ, R.E.T.R., ACTION/PRESET) get no template.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "session/DeviceTypes.h"

namespace {

struct Protocol {
  std::map<std::string, std::string> templates;  // section (no brackets) -> template text
  std::string placeholder;
};

struct Device {
  std::string name;
  std::string protocol;
  int addr = 0;
  int display = 0;
  std::vector<std::pair<int, int>> params;
};

struct Description {
  std::map<std::string, Protocol> protocols;
  std::vector<Device> devices;
};

[[noreturn]] void Fail(int lineNo, const std::string& what) {
  throw std::runtime_error("line " + std::to_string(lineNo) + ": " + what);
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

int ParseHex(const std::string& t, int lineNo) {
  if (t.empty() || t.size() > 2) Fail(lineNo, "bad byte '" + t + "'");
  char* end = nullptr;
  const long v = std::strtol(t.c_str(), &end, 16);
  if (*end != 0) Fail(lineNo, "bad byte '" + t + "'");
  return static_cast<int>(v);
}

Description ReadDescription(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  Description d;
  Protocol* current = nullptr;
  std::string raw;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("protocol ", 0) == 0) {
      current = &d.protocols[Trim(line.substr(9))];
      continue;
    }
    if (line.rfind("device ", 0) == 0) {
      const auto q1 = line.find('"');
      const auto q2 = line.find('"', q1 + 1);
      if (q1 == std::string::npos || q2 == std::string::npos) Fail(lineNo, "device name in quotes");
      Device dev;
      dev.name = line.substr(q1 + 1, q2 - q1 - 1);
      std::istringstream rest(line.substr(q2 + 1));
      std::string word;
      while (rest >> word) {
        std::string value;
        if (!(rest >> value)) Fail(lineNo, "'" + word + "' without a value");
        if (word == "protocol") {
          dev.protocol = value;
        } else if (word == "addr") {
          dev.addr = ParseHex(value, lineNo);
        } else if (word == "display") {
          dev.display = std::atoi(value.c_str());
        } else if (word == "param") {
          const auto eq = value.find('=');
          if (eq != 1 || value[0] < '0' || value[0] > '9') Fail(lineNo, "param D=HH");
          dev.params.emplace_back(value[0] - '0', ParseHex(value.substr(2), lineNo));
        } else {
          Fail(lineNo, "unknown word '" + word + "'");
        }
      }
      d.devices.push_back(dev);
      continue;
    }
    const auto eq = line.find('=');
    if (!current || eq == std::string::npos) Fail(lineNo, "expected 'SECTION = template'");
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (key == "placeholder")
      current->placeholder = value;
    else
      current->templates[key] = value;
  }
  return d;
}

// One template byte as the control file writes it.
struct Byte {
  int value;
  bool subst;
};

// Expands a template: {n}, {key} and {addr} become bytes, < > lists get their counts, XOR
// its check byte.
std::vector<Byte> Expand(const std::string& text, int channel, int key, int addr) {
  std::vector<Byte> out;
  std::vector<std::size_t> lists;  // index of each open list's count byte
  std::size_t xorFrom = 0;
  std::istringstream in(text);
  std::string t;
  while (in >> t) {
    if (t == "<") {
      lists.push_back(out.size());
      out.push_back({0, false});
      xorFrom = out.size();
    } else if (t == ">") {
      if (lists.empty()) throw std::runtime_error("unbalanced '>' in: " + text);
      out[lists.back()].value = static_cast<int>(out.size() - lists.back() - 1);
      lists.pop_back();
      xorFrom = lists.empty() ? 0 : lists.back() + 1;
    } else if (t == "XOR") {
      int x = 0;
      for (std::size_t i = xorFrom; i < out.size(); ++i) {
        if (out[i].subst) throw std::runtime_error("XOR over a substitution byte in: " + text);
        x ^= out[i].value;
      }
      out.push_back({x, false});
    } else if (t == "{n}") {
      if (channel < 1) throw std::runtime_error("{n} outside a CH key in: " + text);
      out.push_back({channel, false});
    } else if (t == "{key}") {
      out.push_back({key, false});
    } else if (t == "{addr}") {
      out.push_back({addr, false});
    } else if (t.size() == 2 && t[0] == '%') {
      out.push_back({ParseHex(t.substr(1), 0), true});
    } else {
      out.push_back({ParseHex(t, 0), false});
    }
  }
  if (!lists.empty()) throw std::runtime_error("unbalanced '<' in: " + text);
  if (out.size() > 255) throw std::runtime_error("template longer than 255 bytes: " + text);
  return out;
}

std::string CommandLine(const std::vector<Byte>& bytes) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0X%02X", static_cast<unsigned>(bytes.size()));
  std::string line = buf;
  for (const Byte& b : bytes) {
    if (b.subst)
      std::snprintf(buf, sizeof buf, " 0X%%%X", static_cast<unsigned>(b.value & 0xF));
    else
      std::snprintf(buf, sizeof buf, " 0X%02X", static_cast<unsigned>(b.value & 0xFF));
    line += buf;
  }
  return line;
}

bool KeySendsNothing(int key) {
  return key == PK_TURBO || key == PK_PTZ || key == PK_ALARM || key == PK_ACTION_PRESET;
}

std::string Generate(const Description& d) {
  std::ostringstream out;
  out << "; CtrlFile.ini: RS-485 command templates of the devices the client steers.\n"
         "; Written at build time from data/devices/CtrlFile.desc; edit that file instead.\n"
         "; A command line holds the byte count, then the bytes, each written 0Xhh;\n"
         "; 0X%h is a substitution code filled in when the key is pressed.\n"
         "; Pelco-P check bytes are computed for the address given in the description.\n\n";
  out << "[DEVICE NUMBER]\n" << d.devices.size() << "\n";
  for (const Device& dev : d.devices) {
    int type = -1;
    for (int t = 0; t < kDeviceTypeCount; ++t)
      if (dev.name == DeviceTypeTable[t].pszName) type = t;
    if (type < 0) throw std::runtime_error("device \"" + dev.name + "\" names no device type");
    const auto p = d.protocols.find(dev.protocol);
    if (p == d.protocols.end()) throw std::runtime_error("device \"" + dev.name + "\": unknown protocol");
    const Protocol& proto = p->second;
    out << "\n[DEVICE NAME]\n" << dev.name << "\n";
    out << "[PARAMETER]\n";
    int params[10] = {};
    for (const auto& [index, value] : dev.params) params[index] = value;
    for (int i = 0; i < 10; ++i) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%%%d=0X%02X", i, params[i]);
      out << buf << "\n";
    }
    const auto power = proto.templates.find("POWER");
    if (power != proto.templates.end())
      out << "[POWER]\n" << CommandLine(Expand(power->second, 0, 0, dev.addr)) << "\n";
    for (int key = 0; key < kPanelKeyCount; ++key) {
      const SkinButtonRow& row = DeviceTypeTable[type].Rows[key];
      if (!(row.wFlags & SBF_VISIBLE) || KeySendsNothing(key) || !PanelKeySection(key)) continue;
      std::string section = PanelKeySection(key);
      section = section.substr(1, section.size() - 2);
      const int channel = key < 16 ? key + 1 : 0;
      auto it = proto.templates.find(section);
      if (it == proto.templates.end() && channel) it = proto.templates.find("CH*");
      const std::string& text = it != proto.templates.end() ? it->second : proto.placeholder;
      if (text.empty()) continue;
      out << "[" << section << "]\n" << CommandLine(Expand(text, channel, key, dev.addr)) << "\n";
    }
    out << "[DISPLAY]\n" << dev.display << "\n";
  }
  out << "\n[EOF]\nEND\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: ctrlfilegen <description> <output>\n");
    return 2;
  }
  try {
    const std::string text = Generate(ReadDescription(argv[1]));
    const std::filesystem::path outPath(argv[2]);
    if (outPath.has_parent_path()) std::filesystem::create_directories(outPath.parent_path());
    const std::filesystem::path tmp = outPath.string() + ".tmp";
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      out << text;
      if (!out.flush()) throw std::runtime_error("cannot write " + tmp.string());
    }
    std::filesystem::rename(tmp, outPath);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ctrlfilegen: %s\n", e.what());
    return 1;
  }
  return 0;
}
