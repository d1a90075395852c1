// The registry store and the Desktop folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/registry.h"
#include "tests/support/TempDir.h"

using namespace plat;

namespace {

class EnvVar {
 public:
  EnvVar(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old, had_ = true;
    setenv(name, value.c_str(), 1);
  }
  ~EnvVar() {
    if (had_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(Registry, RoundTripIsCaseInsensitiveAndKeepsBlanks) {
  TempDir dir;
  EnvVar file("TRELVIX_REGISTRY_FILE", dir / "sub/registry.ini");
  const std::string key = "Software\\Ovistra web server\\Settings";
  std::string v;
  EXPECT_FALSE(RegGetString(key, "Path", v));
  ASSERT_TRUE(RegSetString(key, "Path", " /home/op/My Videos "));
  ASSERT_TRUE(RegSetString(key, "Other", "\"quoted\""));
  ASSERT_TRUE(RegGetString("SOFTWARE\\ovistra web server\\settings", "path", v));
  EXPECT_EQ(v, " /home/op/My Videos ");
  ASSERT_TRUE(RegGetString(key, "Other", v));
  EXPECT_EQ(v, "\"quoted\"");
  ASSERT_TRUE(RegSetString(key, "PATH", ""));
  ASSERT_TRUE(RegGetString(key, "Path", v));
  EXPECT_EQ(v, "");
  EXPECT_FALSE(RegSetString(key, "a=b", "x"));
  EXPECT_FALSE(RegSetString(key, "Path", "two\nlines"));
  ASSERT_TRUE(RegGetString(key, "Path", v));
  EXPECT_EQ(v, "");
}

TEST(Registry, ApplicationKey) {
  SetRegistryKey("Ovistra web server");
  EXPECT_EQ(GetRegistryKey(), "Ovistra web server");
}

TEST(Registry, DesktopFolder) {
  TempDir dir;
  EnvVar home("HOME", dir / "home");
  EnvVar config("XDG_CONFIG_HOME", dir / "config");
  EXPECT_EQ(DesktopFolder(), dir / "home/Desktop");
  std::filesystem::create_directories(dir / "config");
  struct Case {
    const char* text;
    std::string want;
  } cases[] = {
      {"# c\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", dir / "home/Schreibtisch"},
      {"XDG_DESKTOP_DIR=\"/abs/desk/\"\r\n", "/abs/desk"},
      {"XDG_DESKTOP_DIR=\"relative\"\n", dir / "home/Desktop"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", dir / "home/Desktop"},
  };
  for (const auto& c : cases) {
    TempDir::Write(dir / "config/user-dirs.dirs", c.text);
    EXPECT_EQ(DesktopFolder(), c.want) << c.text;
  }
}

}  // namespace
