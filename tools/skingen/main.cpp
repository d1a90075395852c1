// skingen: draws every skin picture of data/skin/SkinTable.inc as a 24-bit BMP file at the
// size its window draws it, and writes the default alarm sound "alarm.wav".
//
//   skingen <program folder>
//
// Each picture gets its own colour and its own label in a small built-in 5 x 7 font, so a
// person (or a test) can tell at a glance which one is on screen.
#include <algorithm>
#include <cctype>
#include <map>
#include <utility>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/skin/Skin.h"
#include "session/DeviceTypes.h"

namespace {

// Little-endian byte writer for the file headers below; ends by writing the bytes to a file.
struct LeBytes {
  std::vector<std::uint8_t> out;
  void Tag(const char* t) { out.insert(out.end(), t, t + 4); }
  void U16(std::uint32_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  bool Write(const std::filesystem::path& file) const {
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    return bool(f);
  }
};

struct Rgb {
  int r, g, b;
};

Rgb FromHex(std::uint32_t v) { return {int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)}; }
Rgb Shade(Rgb c, int delta) {
  auto f = [delta](int v) { return std::clamp(v + delta, 0, 255); };
  return {f(c.r), f(c.g), f(c.b)};
}
Rgb Scale(Rgb c, double k) {
  auto f = [k](int v) { return std::clamp(int(std::lround(v * k)), 0, 255); };
  return {f(c.r), f(c.g), f(c.b)};
}
int Luma(Rgb c) { return (c.r * 299 + c.g * 587 + c.b * 114) / 1000; }

class Picture {
 public:
  Picture(int w, int h) : w_(w), h_(h), px_(std::size_t(w) * h, Rgb{0, 0, 0}) {}
  int W() const { return w_; }
  int H() const { return h_; }
  void Set(int x, int y, Rgb c) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[std::size_t(y) * w_ + x] = c;
  }
  Rgb At(int x, int y) const { return px_[std::size_t(y) * w_ + x]; }

  // 24-bit bottom-up BMP, rows padded to four bytes, written field by field.
  bool Save(const std::filesystem::path& file) const {
    const std::uint32_t rowBytes = (std::uint32_t(w_) * 3 + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * std::uint32_t(h_);
    LeBytes b;
    auto& out = b.out;
    auto u16 = [&](std::uint32_t v) { b.U16(v); };
    auto u32 = [&](std::uint32_t v) { b.U32(v); };
    out.push_back('B');
    out.push_back('M');
    u32(14 + 40 + imageBytes);
    u32(0);
    u32(14 + 40);
    u32(40);
    u32(std::uint32_t(w_));
    u32(std::uint32_t(h_));
    u16(1);
    u16(24);
    u32(0);
    u32(imageBytes);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (int y = h_ - 1; y >= 0; --y) {
      const std::size_t start = out.size();
      for (int x = 0; x < w_; ++x) {
        const Rgb c = At(x, y);
        out.push_back(std::uint8_t(c.b));
        out.push_back(std::uint8_t(c.g));
        out.push_back(std::uint8_t(c.r));
      }
      while (out.size() - start < rowBytes) out.push_back(0);
    }
    return b.Write(file);
  }

 private:
  int w_, h_;
  std::vector<Rgb> px_;
};

// A 5 x 7 font: seven rows of five bits (bit 4 the leftmost column).
struct FontGlyph {
  char c;
  std::uint8_t rows[7];
};
constexpr FontGlyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}}, {'>', {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
};

const FontGlyph* FindGlyph(char c) {
  for (const auto& g : kFont) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

constexpr int kAdvance = 6;  // five columns and a blank one

int TextWidth(const std::string& s, int sx) { return s.empty() ? 0 : (int(s.size()) * kAdvance - 1) * sx; }

void DrawText(Picture& p, int x, int y, const std::string& s, Rgb colour, int sx = 1, int sy = 1) {
  for (char c : s) {
    if (const FontGlyph* g = FindGlyph(c)) {
      for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 5; ++col) {
          if (!(g->rows[row] & (0x10 >> col))) continue;
          for (int dy = 0; dy < sy; ++dy) {
            for (int dx = 0; dx < sx; ++dx) p.Set(x + col * sx + dx, y + row * sy + dy, colour);
          }
        }
      }
    }
    x += kAdvance * sx;
  }
}

void Label(Picture& p, const skin::Entry& e, Rgb base, int shift = 0) {
  const std::string text = e.label;
  if (text.empty()) return;
  const int x = e.labelX >= 0 ? e.labelX : (p.W() - TextWidth(text, 1)) / 2;
  const int y = e.labelY >= 0 ? e.labelY : (p.H() - 7) / 2;
  const bool dark = Luma(base) < 150;
  DrawText(p, x + shift + 1, y + shift + 1, text, dark ? Scale(base, 0.55) : Shade(base, 30));
  DrawText(p, x + shift, y + shift, text, dark ? Rgb{245, 247, 250} : Rgb{40, 56, 80});
}

// A soft vertical gradient from `lift` above the base at the top down to the base.
void Gradient(Picture& p, Rgb base, int lift) {
  for (int y = 0; y < p.H(); ++y) {
    const int d = p.H() > 1 ? lift - lift * y / (p.H() - 1) : 0;
    for (int x = 0; x < p.W(); ++x) p.Set(x, y, Shade(base, d));
  }
}

void Border(Picture& p, Rgb c) {
  for (int x = 0; x < p.W(); ++x) {
    p.Set(x, 0, c);
    p.Set(x, p.H() - 1, c);
  }
  for (int y = 0; y < p.H(); ++y) {
    p.Set(0, y, c);
    p.Set(p.W() - 1, y, c);
  }
}

// Round the four corners off against the login window's background.
void Corners(Picture& p, Rgb background) {
  const int w = p.W() - 1, h = p.H() - 1;
  for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {0, 1}, {w, 0}, {w - 1, 0}, {w, 1}, {0, h}, {1, h}, {0, h - 1},
                      {w, h}, {w - 1, h}, {w, h - 1}}) {
    p.Set(x, y, background);
  }
}

Picture Draw(const skin::Entry& e) {
  Picture p(e.width, e.height);
  const Rgb base = FromHex(e.rgb);
  const Rgb background = FromHex(skin::Get(skin::LOGIN_SPACER).rgb);
  switch (e.style) {
    case skin::PANEL:
      Gradient(p, base, p.H() > 60 ? 14 : 10);
      Label(p, e, base);
      break;
    case skin::KEY:
    case skin::KEY_OVER:
    case skin::KEY_DOWN:
    case skin::ICON: {
      const bool down = e.style == skin::KEY_DOWN;
      Gradient(p, base, down ? -12 : 26);
      Border(p, Scale(base, 0.6));
      if (e.style == skin::KEY_OVER) {
        // A light inner ring while the pointer is on the button.
        for (int x = 1; x < p.W() - 1; ++x) {
          p.Set(x, 1, Shade(base, 60));
          p.Set(x, p.H() - 2, Shade(base, 60));
        }
        for (int y = 1; y < p.H() - 1; ++y) {
          p.Set(1, y, Shade(base, 60));
          p.Set(p.W() - 2, y, Shade(base, 60));
        }
      }
      Corners(p, background);
      Label(p, e, base, down ? 1 : 0);
      break;
    }
    case skin::GLYPH: {
      Gradient(p, base, 10);
      const std::string text = e.label;
      // Characters twice as tall as the font, centred.
      const int x = (p.W() - TextWidth(text, 1)) / 2;
      const int y = (p.H() - 14) / 2;
      DrawText(p, x, y, text, Rgb{236, 242, 250}, 1, 2);
      break;
    }
    case skin::BLOCK:
      Gradient(p, base, 40);
      Border(p, Scale(base, 0.7));
      break;
    case skin::NONE:
      break;
  }
  return p;
}

// The default alarm sound: two short falling two-tone beeps, 16-bit mono PCM.
bool WriteAlarmWave(const std::filesystem::path& file) {
  constexpr std::uint32_t kRate = 11025;
  std::vector<std::int16_t> samples;
  const double pi = std::acos(-1.0);
  auto tone = [&](double hz, double seconds) {
    const int n = int(kRate * seconds);
    for (int i = 0; i < n; ++i) {
      const double fade = std::min({1.0, i / 200.0, (n - i) / 200.0});
      samples.push_back(std::int16_t(std::lround(9000.0 * fade * std::sin(2 * pi * hz * i / kRate))));
    }
  };
  auto silence = [&](double seconds) { samples.insert(samples.end(), std::size_t(kRate * seconds), 0); };
  for (int beep = 0; beep < 2; ++beep) {
    tone(988, 0.18);
    tone(784, 0.18);
    silence(0.14);
  }
  const std::uint32_t dataBytes = std::uint32_t(samples.size() * 2);
  LeBytes b;
  auto tag = [&](const char* t) { b.Tag(t); };
  auto u16 = [&](std::uint32_t v) { b.U16(v); };
  auto u32 = [&](std::uint32_t v) { b.U32(v); };
  tag("RIFF");
  u32(36 + dataBytes);
  tag("WAVE");
  tag("fmt ");
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(kRate);
  u32(kRate * 2);
  u16(2);
  u16(16);
  tag("data");
  u32(dataBytes);
  for (std::int16_t s : samples) u16(std::uint16_t(s));
  return b.Write(file);
}


// ---- the panel keys of the device types -------------------------------------------------------
// Every picture the device-type table names is drawn at the size of the key that shows it, so
// the main window's keys and their pictures come from the same description.

std::string KeyLabel(const std::string& path, int width) {
  std::string name = path.substr(path.find_last_of('\\') + 1);
  name = name.substr(0, name.find('.'));
  std::string label;
  for (char c : name) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if ((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')) label += u;
  }
  const std::size_t fit = static_cast<std::size_t>(std::max(1, (width - 2) / 6));
  return label.substr(0, fit);
}

std::uint32_t KeyColour(const std::string& path) {
  std::uint32_t h = 2166136261u;
  for (char c : path) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  const std::uint32_t r = 0x30 + (h & 0x5F), g = 0x40 + ((h >> 8) & 0x5F), b = 0x50 + ((h >> 16) & 0x5F);
  return (r << 16) | (g << 8) | b;
}

int DrawKeyPictures(const std::filesystem::path& root) {
  struct Item {
    int w, h;
    skin::Style style;
  };
  std::map<std::string, Item> items;
  auto note = [&items](const char* path, const DeviceRect& r, skin::Style style) {
    if (path == nullptr || *path == 0 || r.Width() <= 0 || r.Height() <= 0) return;
    items.emplace(path, Item{r.Width(), r.Height(), style});
  };
  for (int t = 0; t < kDeviceTypeCount; ++t) {
    for (int k = 0; k < kPanelKeyCount; ++k) {
      const SkinButtonRow& row = DeviceTypeTable[t].Rows[k];
      for (int mode = 0; mode < kKeyLayoutModes; ++mode) {
        const DeviceRect r = KeyRect(t, k, mode);
        if (row.byStyle & 0x02) {
          note(KeyPicture(t, k, mode, 0), r, skin::KEY);
          note(KeyPicture(t, k, mode, 1), r, skin::KEY_OVER);
          note(KeyPicture(t, k, mode, 2), r, skin::KEY_DOWN);
        } else {
          for (int i = 0; i < kKeyPictureCount; ++i) note(row.pszBitmap[i], r, i % 2 ? skin::KEY_OVER : skin::KEY);
        }
      }
    }
  }
  // Turbo faces of the direction keys (families N_VGA, N_QVGA, P_VGA, P_QVGA) and the zoom and focus keys.
  static const char* const families[4] = {"N_VGA", "N_QVGA", "P_VGA", "P_QVGA"};
  static const std::pair<int, const char*> directions[4] = {{54, "LEFT"}, {55, "UP"}, {57, "DOWN"}, {58, "RIGHT"}};
  std::vector<std::string> keep;
  keep.reserve(64);
  for (int f = 0; f < 4; ++f) {
    for (const auto& [key, name] : directions) {
      const DeviceRect r = KeyRect(8, key, f);
      keep.push_back(std::string("BMP\\") + families[f] + "_" + name + "_TURBO.bmp");
      note(keep.back().c_str(), r, skin::KEY_DOWN);
      keep.push_back(std::string("BMP\\") + families[f] + "_" + name + "_TURBO_OVER.bmp");
      note(keep.back().c_str(), r, skin::KEY_OVER);
    }
  }
  // The turbo key's two sets of zoom and focus faces (turbo on, and back off).
  static const char* const zoomFocus[8] = {"2Col_zoom_turbo_in", "2Col_zoom_turbo_out", "2Col_focus_turbo_in",
                                           "2Col_focus_turbo_out", "2Col_zoom_in", "2Col_zoom_out",
                                           "2Col_focus_in", "2Col_focus_out"};
  for (int i = 0; i < 8; ++i) {
    const DeviceRect r = KeyRect(8, 30 + i % 4, 0);
    keep.push_back(std::string("BMP\\") + zoomFocus[i] + ".bmp");
    note(keep.back().c_str(), r, skin::KEY_DOWN);
    keep.push_back(std::string("BMP\\") + zoomFocus[i] + "_a.bmp");
    note(keep.back().c_str(), r, skin::KEY_OVER);
  }
  int failures = 0;
  for (const auto& [path, item] : items) {
    const std::string label = KeyLabel(path, item.w);
    std::uint32_t colour = KeyColour(path);
    if (path.find("_dis") != std::string::npos) colour = 0x6E6E6E;
    const skin::Entry e{"KEY", path.c_str(), -1, -1, item.w, item.h, colour, item.style, label.c_str(), -1, -1};
    std::string relative = path;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const std::filesystem::path file = root / relative;
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (!Draw(e).Save(file)) {
      std::fprintf(stderr, "skingen: cannot write %s\n", file.string().c_str());
      ++failures;
    }
  }
  return failures;
}
}  // namespace

// The folder picker's 15 pictures of 17 x 16 in one strip on white (white is transparent):
// folders open and closed, the five kinds of roots, then the network objects by kind.
bool DrawPathPictures(const std::filesystem::path& file) {
  static const struct {
    const char* label;
    std::uint32_t rgb;
  } kCells[15] = {{"FO", 0xE8B84A}, {"FC", 0xC89A30}, {"RM", 0x4A90C8}, {"HD", 0x707C8C}, {"NW", 0x3AA870},
                  {"CD", 0xB070C0}, {"RA", 0xD06048}, {"NE", 0x2F6FB0}, {"DO", 0x4060A0}, {"SV", 0x306890},
                  {"SH", 0x40A0A0}, {"FI", 0x909090}, {"GR", 0x6A5AA0}, {"NT", 0x2A8060}, {"RT", 0x505A70}};
  Picture p(255, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 255; ++x) p.Set(x, y, Rgb{255, 255, 255});
  }
  for (int i = 0; i < 15; ++i) {
    const Rgb base = FromHex(kCells[i].rgb);
    const int left = i * 17;
    for (int y = 2; y < 15; ++y) {
      for (int x = 1; x < 16; ++x) {
        const bool edge = y == 2 || y == 14 || x == 1 || x == 15;
        p.Set(left + x, y, edge ? Scale(base, 0.6) : base);
      }
    }
    DrawText(p, left + 3, 5, kCells[i].label, Rgb{250, 250, 250});
  }
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  return p.Save(file);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: skingen <program folder>\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  int failures = 0;
  for (const skin::Entry& e : skin::kEntries) {
    if (e.path == nullptr) continue;
    std::string relative = e.path;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const std::filesystem::path file = root / relative;
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (!Draw(e).Save(file)) {
      std::fprintf(stderr, "skingen: cannot write %s\n", file.string().c_str());
      ++failures;
    }
  }
  failures += DrawKeyPictures(root);
  if (!DrawPathPictures(root / "BMP" / "PathPicker.bmp")) {
    std::fprintf(stderr, "skingen: cannot write BMP/PathPicker.bmp\n");
    ++failures;
  }
  if (!WriteAlarmWave(root / "alarm.wav")) {
    std::fprintf(stderr, "skingen: cannot write alarm.wav\n");
    ++failures;
  }
  return failures == 0 ? 0 : 1;
}
