// Profile (INI) files with Windows semantics: section and key names match case-insensitively,
// integers are read from the value's leading digits (optional sign; no digits -> 0), writing
// replaces a key in place (keeping the file's other lines as they are) and creates the file
// and the section when missing. Values are returned as written, without surrounding blanks;
// a value in matching double quotes loses them.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file);
int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& file);
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& file);

// Parsed form of a profile, for readers that walk whole files (the control file).
struct ProfileEntry {
  std::string key;
  std::string value;
};

// Writes several keys of one section with one read and one atomic rewrite; the result is the
// same file as writing them one by one in order. False (and the file untouched) when any
// name or value cannot be written, or the file cannot be read or replaced.
bool WritePrivateProfileKeys(const std::string& section, const std::vector<ProfileEntry>& keys,
                             const std::string& file);

struct ProfileSection {
  std::string name;
  std::vector<ProfileEntry> entries;
};
class ProfileDocument {
 public:
  // Parses text (any bytes; lines end with \n or \r\n; ';' starts a comment line).
  // Never fails: lines that are neither a section nor key=value are skipped.
  void Parse(std::string_view text);
  bool Load(const std::string& file);  // false when the file cannot be read
  const std::vector<ProfileSection>& Sections() const { return sections_; }
  const ProfileSection* FindSection(std::string_view name) const;
  const ProfileEntry* Find(std::string_view section, std::string_view key) const;

 private:
  std::vector<ProfileSection> sections_;
};

// How many times the key reads above have parsed a file's text. Reads of a file that has not
// changed share one parse; a change on disk or a write of ours means one more.
std::uint64_t ProfileParseCount();

// Leading-integer parse with the profile's rules ("12abc" -> 12, "x" -> 0, "-3" -> -3).
// Digits beyond 32 bits wrap, so "4294967295" reads as the 32 bits it was written from (-1).
int ParseLeadingInt(std::string_view text);

}  // namespace plat
