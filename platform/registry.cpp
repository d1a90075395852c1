// The registry replacement: one profile file of string values. Keys become sections,
// names become keys; values are stored quoted so blanks around them survive.
#include "platform/registry.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "platform/files.h"
#include "platform/profile.h"

namespace plat {
namespace {

std::mutex g_mutex;
std::string* g_applicationKey = nullptr;  // never freed

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  if (passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

std::string ConfigHome() {
  std::string xdg = Env("XDG_CONFIG_HOME");
  if (!xdg.empty() && xdg[0] == '/') return xdg;
  return HomeFolder() + "/.config";
}

std::string StoreFile() {
  std::string overridden = Env("TRELVIX_REGISTRY_FILE");
  if (!overridden.empty()) return overridden;
  return ConfigHome() + "/trelvix/registry.ini";
}

bool ValidKey(const std::string& key, const std::string& name) {
  return !key.empty() && !name.empty() && key.find(']') == std::string::npos &&
         name.find('=') == std::string::npos;
}

}  // namespace

bool RegGetString(const std::string& key, const std::string& name, std::string& value) {
  if (!ValidKey(key, name)) return false;
  std::lock_guard<std::mutex> lock(g_mutex);
  ProfileDocument doc;
  if (!doc.Load(StoreFile())) return false;
  const ProfileEntry* e = doc.Find(key, name);
  if (!e) return false;
  value = e->value;
  return true;
}

bool RegSetString(const std::string& key, const std::string& name, const std::string& value) {
  if (!ValidKey(key, name)) return false;
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string file = StoreFile();
  auto slash = file.rfind('/');
  if (slash != std::string::npos && slash > 0 && !CreateDirectories(file.substr(0, slash))) return false;
  return WritePrivateProfileString(key, name, "\"" + value + "\"", file);
}

void SetRegistryKey(const std::string& applicationKey) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_applicationKey) g_applicationKey = new std::string;
  *g_applicationKey = applicationKey;
}

std::string GetRegistryKey() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_applicationKey ? *g_applicationKey : std::string();
}

std::string DesktopFolder() {
  const std::string home = HomeFolder();
  std::string result = home + "/Desktop";
  // user-dirs.dirs is shell syntax (XDG_DESKTOP_DIR="$HOME/Desktop"): read it by hand.
  std::vector<std::uint8_t> bytes;
  if (ReadWholeFile(ConfigHome() + "/user-dirs.dirs", bytes, 1u << 20)) {
    std::string text(bytes.begin(), bytes.end());
    std::size_t pos = 0;
    while (pos < text.size()) {
      std::size_t nl = text.find('\n', pos);
      if (nl == std::string::npos) nl = text.size();
      std::string line = text.substr(pos, nl - pos);
      pos = nl + 1;
      std::size_t b = line.find_first_not_of(" \t");
      if (b == std::string::npos || line.compare(b, 16, "XDG_DESKTOP_DIR=") != 0) continue;
      std::string v = line.substr(b + 16);
      while (!v.empty() && (v.back() == '\r' || v.back() == ' ' || v.back() == '\t')) v.pop_back();
      if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
      if (v.compare(0, 5, "$HOME") == 0) {
        v = home + v.substr(5);
      } else if (v.empty() || v[0] != '/') {
        continue;  // only absolute or $HOME-relative paths are valid there
      }
      result = v;
    }
  }
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

}  // namespace plat
