// Profile files: reading rules, in-place writing, and the parsed document.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"
#include "tests/support/TempDir.h"

using namespace plat;

namespace {

const char* const kSample =
    "; settings\r\n"
    "[Ovistra]\r\n"
    "Server = 10.1.2.3 \r\n"
    "WebPort=80\r\n"
    "Quoted=\"  spaced  \"\r\n"
    "Half=\"open\r\n"
    "Empty=\r\n"
    "Number=12abc\r\n"
    "Negative=-3\r\n"
    "Plus=+42\r\n"
    "Word=x\r\n"
    "Unsigned=4294967295\r\n"
    "not a key line\r\n"
    "Semi=a;b\r\n"
    "  [ Other ]  \r\n"
    "WebPort=8080\r\n"
    "[ovistra]\r\n"
    "Late=1\r\n";

TEST(Profile, ReadingRules) {
  TempDir dir;
  const std::string f = dir / "p.ini";
  TempDir::Write(f, kSample);
  struct Case {
    const char* section;
    const char* key;
    const char* want;
  } cases[] = {
      {"Ovistra", "Server", "10.1.2.3"},       // trimmed
      {"OVISTRA", "server", "10.1.2.3"},       // names ignore case
      {" Ovistra ", " Server ", "10.1.2.3"},   // and surrounding blanks
      {"Ovistra", "Quoted", "  spaced  "},     // matching quotes go, inner blanks stay
      {"Ovistra", "Half", "\"open"},           // unmatched quote stays
      {"Ovistra", "Empty", ""},
      {"Ovistra", "Semi", "a;b"},              // ';' only starts a comment line
      {"Other", "WebPort", "8080"},            // the section decides
      {"Ovistra", "Late", "<def>"},            // the first section of a name holds
      {"Ovistra", "Missing", "<def>"},
      {"Missing", "Server", "<def>"},
      {"Ovistra", "not a key line", "<def>"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "<def>", f), c.want) << c.section << "/" << c.key;
  EXPECT_EQ(GetPrivateProfileString("Ovistra", "Server", "<def>", dir / "missing.ini"), "<def>");
}

TEST(Profile, IntegerRules) {
  TempDir dir;
  const std::string f = dir / "p.ini";
  TempDir::Write(f, kSample);
  struct Case {
    const char* key;
    int want;
  } cases[] = {
      {"WebPort", 80}, {"Number", 12},  {"Negative", -3},       {"Plus", 42},
      {"Word", 0},     {"Empty", 77},   {"Missing", 77},        {"Unsigned", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(GetPrivateProfileInt("Ovistra", c.key, 77, f), c.want) << c.key;

  struct Parse {
    const char* text;
    int want;
  } parses[] = {{"12abc", 12}, {"x", 0}, {"-3", -3}, {" 7 ", 7}, {"-", 0}, {"", 0},
                {"0x10", 0}, {"007", 7}, {"-2147483648", -2147483647 - 1}};
  for (const auto& p : parses) EXPECT_EQ(ParseLeadingInt(p.text), p.want) << p.text;
  // Unsigned 32-bit values written as decimal come back as the same bits.
  for (std::uint32_t v : {0u, 1u, 255u, 65535u, 2147483648u, 3000000000u, 4294967295u})
    EXPECT_EQ(static_cast<std::uint32_t>(ParseLeadingInt(std::to_string(v))), v) << v;
}

TEST(Profile, WriteReplacesInPlaceAndKeepsOtherLines) {
  TempDir dir;
  const std::string f = dir / "p.ini";
  TempDir::Write(f, "; keep me\r\n[A]\r\nx=1\r\n  Key = old  \r\ny=2\r\n\r\n[B]\r\nKey=b\r\n");
  ASSERT_TRUE(WritePrivateProfileString("a", "KEY", "new", f));
  EXPECT_EQ(TempDir::Read(f), "; keep me\r\n[A]\r\nx=1\r\nKEY=new\r\ny=2\r\n\r\n[B]\r\nKey=b\r\n");
  EXPECT_EQ(GetPrivateProfileString("A", "key", "", f), "new");
  EXPECT_EQ(GetPrivateProfileString("B", "key", "", f), "b");
}

TEST(Profile, WriteAddsKeysAndSections) {
  TempDir dir;
  struct Case {
    const char* name;
    const char* before;  // nullptr: no file
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  } cases[] = {
      {"new file", nullptr, "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"key after the section's last key", "[S]\r\na=1\r\n\r\n[T]\r\n", "S", "b", "2",
       "[S]\r\na=1\r\nb=2\r\n\r\n[T]\r\n"},
      {"empty section", "[S]\n[T]\n", "s", "k", "v", "[S]\nk=v\n[T]\n"},
      {"section at the end without newline", "[S]", "S", "k", "v", "[S]\nk=v\n"},
      {"new section appended", "[S]\na=1", "T", "k", "v", "[S]\na=1\n[T]\nk=v\n"},
      {"LF file stays LF", "[S]\na=1\n", "S", "a", "2", "[S]\na=2\n"},
      {"only the first section of a name", "[S]\na=1\n[s]\na=9\n", "S", "a", "2",
       "[S]\na=2\n[s]\na=9\n"},
      {"comment line is not a key", "[S]\n;a=1\n", "S", "a", "2", "[S]\na=2\n;a=1\n"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string f = dir / ("w" + std::to_string(n++) + ".ini");
    if (c.before) TempDir::Write(f, c.before);
    ASSERT_TRUE(WritePrivateProfileString(c.section, c.key, c.value, f)) << c.name;
    EXPECT_EQ(TempDir::Read(f), c.after) << c.name;
    EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "", f), c.value) << c.name;
  }
}

// Many keys in one rewrite give the very file that writing them one by one gives.
TEST(Profile, WritingManyKeysAtOnceMatchesSingleWrites) {
  TempDir dir;
  const std::vector<ProfileEntry> keys = {{"b", "2"}, {"A", "x y"}, {"new", ""}, {"b", "3"}, {"c", "\"q\""}};
  const char* starts[] = {nullptr, "", "[S]\r\na=1\r\n\r\n[T]\r\nb=9\r\n", "; note\n[s]\nB=1\n[S]\nb=0\n",
                          "\xEF\xBB\xBF[T]\nk=v"};
  int n = 0;
  for (const char* before : starts) {
    const std::string one = dir / ("one" + std::to_string(n) + ".ini");
    const std::string all = dir / ("all" + std::to_string(n++) + ".ini");
    if (before) {
      TempDir::Write(one, before);
      TempDir::Write(all, before);
    }
    for (const ProfileEntry& e : keys) ASSERT_TRUE(WritePrivateProfileString("S", e.key, e.value, one));
    ASSERT_TRUE(WritePrivateProfileKeys("S", keys, all));
    EXPECT_EQ(TempDir::Read(all), TempDir::Read(one)) << (before ? before : "(no file)");
  }
  // One key that cannot be written refuses the whole set and leaves the file alone.
  const std::string f = dir / "refused.ini";
  TempDir::Write(f, "[S]\na=1\n");
  EXPECT_FALSE(WritePrivateProfileKeys("S", {{"a", "2"}, {"b", "two\nlines"}}, f));
  EXPECT_EQ(TempDir::Read(f), "[S]\na=1\n");
  EXPECT_FALSE(WritePrivateProfileKeys("S", {{"a", "2"}}, dir / "no/such/dir/p.ini"));
}

TEST(Profile, WriteRefusesWhatWouldBreakTheFile) {
  TempDir dir;
  const std::string f = dir / "p.ini";
  TempDir::Write(f, "[S]\na=1\n");
  struct Case {
    std::string section, key, value;
  } cases[] = {
      {"S", "a", "line\nbreak"}, {"S", "a=b", "v"}, {"S]", "a", "v"},
      {"", "a", "v"},           {"S", "", "v"},     {"S", "[x", "v"},
  };
  for (const auto& c : cases) EXPECT_FALSE(WritePrivateProfileString(c.section, c.key, c.value, f)) << c.key;
  EXPECT_EQ(TempDir::Read(f), "[S]\na=1\n");
  EXPECT_FALSE(WritePrivateProfileString("S", "a", "v", dir / "no/such/dir/p.ini"));
}

// Reads of a file that has not changed share one parse. Our writes and changes made by others
// (in place with the same size, a replaced file, a removed one) are seen by the next read, and
// a write keeps the lines we do not know, in their order.
TEST(Profile, ReadsShareOneParseUntilTheFileChanges) {
  TempDir dir;
  const std::string f = dir / "Setting.ini";
  const std::string other = dir / "Other.ini";
  std::string junk;
  for (int i = 0; i < 300; ++i)
    junk += "junk line " + std::to_string(i) + "\r\n[Kept " + std::to_string(i) + "]\r\nk=v\r\n";
  auto settings = [&](const std::string& addr) { return "[Setting]\r\nAddr=" + addr + "\r\n" + junk + "[Net]\r\nPort=80\r\n"; };
  TempDir::Write(f, settings("10.0.0.1"));
  TempDir::Write(other, "[O]\nx=5\n");
  const std::uint64_t p0 = ProfileParseCount();
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(GetPrivateProfileString("Setting", "Addr", "", f), "10.0.0.1");
    EXPECT_EQ(GetPrivateProfileInt("Net", "Port", 0, f), 80);
    EXPECT_EQ(GetPrivateProfileInt("O", "x", 0, other), 5);
  }
  EXPECT_EQ(ProfileParseCount() - p0, 2u) << "one parse per file";

  ASSERT_TRUE(WritePrivateProfileString("Setting", "Addr", "10.0.0.2", f));
  EXPECT_EQ(TempDir::Read(f), settings("10.0.0.2"));
  const std::uint64_t p1 = ProfileParseCount();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(GetPrivateProfileString("Setting", "Addr", "", f), "10.0.0.2");
  EXPECT_EQ(ProfileParseCount() - p1, 1u);

  struct Change {
    const char* what;
    std::function<void()> make;
    const char* addr;
  } changes[] = {
      {"in place, same size", [&] { TempDir::Write(f, settings("10.0.0.3")); }, "10.0.0.3"},
      {"replaced", [&] {
         TempDir::Write(dir / "new.ini", settings("10.9.9.9"));
         std::filesystem::rename(dir / "new.ini", f);
       }, "10.9.9.9"},
      {"removed", [&] { std::filesystem::remove(f); }, "<def>"},
      {"made anew", [&] { TempDir::Write(f, "[Setting]\nAddr=1\n"); }, "1"},
  };
  for (const auto& c : changes) {
    c.make();
    EXPECT_EQ(GetPrivateProfileString("Setting", "Addr", "<def>", f), c.addr) << c.what;
    EXPECT_EQ(GetPrivateProfileString("Setting", "Addr", "<def>", f), c.addr) << c.what;
  }
  ASSERT_TRUE(WritePrivateProfileString("Net", "Port", "81", f));
  EXPECT_EQ(TempDir::Read(f), "[Setting]\nAddr=1\n[Net]\nPort=81\n");
  EXPECT_EQ(GetPrivateProfileInt("Net", "Port", 0, f), 81);
}

TEST(ProfileDocument, WalksSectionsInOrder) {
  ProfileDocument doc;
  doc.Parse("\xEF\xBB\xBF" "orphan=1\n[One]\na=1\nb = \"2\"\r\n[Two]\n; c=3\nc=3\n[One]\nd=4");
  ASSERT_EQ(doc.Sections().size(), 3u);
  EXPECT_EQ(doc.Sections()[0].name, "One");
  ASSERT_EQ(doc.Sections()[0].entries.size(), 2u);
  EXPECT_EQ(doc.Sections()[0].entries[1].key, "b");
  EXPECT_EQ(doc.Sections()[0].entries[1].value, "2");
  EXPECT_EQ(doc.Sections()[1].entries.size(), 1u);
  EXPECT_EQ(doc.Sections()[2].entries[0].value, "4");
  ASSERT_NE(doc.Find("two", "C"), nullptr);
  EXPECT_EQ(doc.Find("two", "C")->value, "3");
  EXPECT_EQ(doc.Find("one", "d"), nullptr);
  EXPECT_EQ(doc.FindSection("three"), nullptr);
  EXPECT_FALSE(doc.Load("/no/such/file.ini"));
  EXPECT_TRUE(doc.Sections().empty());
}

}  // namespace
