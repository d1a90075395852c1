// Profile (INI) files.
//
// Reading goes through ProfileDocument. Writing works on the file's lines so everything
// but the written key lines stays byte for byte as it was; the new text replaces the file
// through a temporary file and a rename, and one lock makes each read-modify-write whole
// against the other threads of this process.
//
// The key reads share one parse of a file as long as it has not changed: the parsed document
// is kept with the file's stamp (device, inode, size, modification and change times) and the
// text it came from. A read whose stamp still matches takes the document as it is. While the
// file's change time is within a couple of seconds of when its text was last read, a change
// could leave the stamp as it was (coarse file-system times), so such a read compares the
// file's bytes with the kept text instead and parses only when they differ. Our own writes
// keep their new text and stamp, so reads after them parse the written text once.
#include "platform/profile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/files.h"

namespace plat {
namespace {

// Profiles are small; anything larger is not one of ours.
constexpr std::size_t kMaxProfileSize = 16u << 20;

std::mutex g_writeMutex;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// One line of a profile, classified.
struct Line {
  enum class Kind { Other, Section, Key } kind = Kind::Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed, quotes stripped
};

Line Classify(std::string_view raw) {
  Line line;
  std::string_view t = Trim(raw);
  if (t.empty() || t.front() == ';') return line;
  if (t.front() == '[') {
    auto close = t.find(']');
    if (close == std::string_view::npos) return line;
    line.kind = Line::Kind::Section;
    line.name = Trim(t.substr(1, close - 1));
    return line;
  }
  auto eq = t.find('=');
  if (eq == std::string_view::npos) return line;
  line.kind = Line::Kind::Key;
  line.name = Trim(t.substr(0, eq));
  std::string_view v = Trim(t.substr(eq + 1));
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  line.value = v;
  return line;
}

// Splits into lines; each view excludes its '\n' (a '\r' before it is trimmed by Classify).
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, nl - pos));
    pos = nl + 1;
  }
  return lines;
}

std::string_view SkipBom(std::string_view text) {
  if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
      static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF)
    text.remove_prefix(3);
  return text;
}

bool ReadText(const std::string& file, std::string& text) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(file, bytes, kMaxProfileSize)) return false;
  text.assign(bytes.begin(), bytes.end());
  return true;
}

// What identifies one version of a file on disk.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  bool operator==(const FileStamp&) const = default;
};

std::int64_t Nanoseconds(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

bool StampFile(const std::string& file, FileStamp& stamp) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.modifiedNs = Nanoseconds(st.st_mtim);
  stamp.changedNs = Nanoseconds(st.st_ctim);
  return true;
}

std::int64_t WallClockNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

// The coarsest file-system time we expect (some keep whole or even seconds): a file changed
// less than this before its text was read may change again without a new stamp.
constexpr std::int64_t kStampSlackNs = 2000000000;
// A few files, each at most a few megabytes, are kept; a larger one is parsed at every read.
constexpr std::size_t kCachedFiles = 4;
constexpr std::size_t kMaxCachedBytes = 4u << 20;

struct CachedProfile {
  std::string file;
  FileStamp stamp;
  std::int64_t textReadNs = 0;  // wall-clock time the text was known to be the file's
  std::string text;
  std::shared_ptr<const ProfileDocument> doc;  // parsed on the first read after a write
  std::uint64_t lastUse = 0;
};

// Guarded by g_writeMutex.
std::vector<CachedProfile> g_cache;
std::uint64_t g_cacheUses = 0;
std::atomic<std::uint64_t> g_parses{0};

CachedProfile* FindCachedLocked(const std::string& file) {
  for (auto& e : g_cache)
    if (e.file == file) return &e;
  return nullptr;
}

void ForgetCachedLocked(const std::string& file) {
  for (auto it = g_cache.begin(); it != g_cache.end(); ++it)
    if (it->file == file) {
      g_cache.erase(it);
      return;
    }
}

// Keeps `text` as the file's contents at `stamp`, replacing what was kept for the file.
CachedProfile& KeepLocked(const std::string& file, const FileStamp& stamp, std::int64_t readNs, std::string text) {
  CachedProfile* e = FindCachedLocked(file);
  if (!e) {
    if (g_cache.size() >= kCachedFiles) {
      g_cache.erase(std::min_element(g_cache.begin(), g_cache.end(),
                                     [](const auto& a, const auto& b) { return a.lastUse < b.lastUse; }));
    }
    g_cache.emplace_back();
    e = &g_cache.back();
    e->file = file;
  }
  e->stamp = stamp;
  e->textReadNs = readNs;
  e->text = std::move(text);
  e->doc = nullptr;
  return *e;
}

// True when the file's bytes are exactly `text`. Reads in pieces into one small buffer, so
// the check of a large file allocates nothing. Called with g_writeMutex held.
bool FileHoldsLocked(const std::string& file, const std::string& text) {
  static char piece[64 * 1024];
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t at = 0;
  bool same = true;
  for (;;) {
    const ssize_t n = ::read(fd, piece, sizeof piece);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      same = n == 0 && at == text.size();
      break;
    }
    const auto got = static_cast<std::size_t>(n);
    if (got > text.size() - at || std::memcmp(piece, text.data() + at, got) != 0) {
      same = false;
      break;
    }
    at += got;
  }
  ::close(fd);
  return same;
}

// The parsed document of the file as it is now; null when it cannot be read.
std::shared_ptr<const ProfileDocument> CurrentDocumentLocked(const std::string& file) {
  FileStamp stamp;
  if (!StampFile(file, stamp)) {
    ForgetCachedLocked(file);
    return nullptr;
  }
  CachedProfile* e = FindCachedLocked(file);
  const bool settled = e && e->stamp == stamp && stamp.changedNs < e->textReadNs - kStampSlackNs &&
                       stamp.modifiedNs < e->textReadNs - kStampSlackNs;
  if (!settled) {
    const std::int64_t readNs = WallClockNs();
    if (e && FileHoldsLocked(file, e->text)) {
      e->stamp = stamp;
      e->textReadNs = readNs;
    } else {
      std::string text;
      if (!ReadText(file, text)) {
        ForgetCachedLocked(file);
        return nullptr;
      }
      if (text.size() > kMaxCachedBytes) {
        ForgetCachedLocked(file);
        auto doc = std::make_shared<ProfileDocument>();
        doc->Parse(text);
        g_parses.fetch_add(1, std::memory_order_relaxed);
        return doc;
      }
      e = &KeepLocked(file, stamp, readNs, std::move(text));
    }
  }
  if (!e->doc) {
    auto doc = std::make_shared<ProfileDocument>();
    doc->Parse(e->text);
    g_parses.fetch_add(1, std::memory_order_relaxed);
    e->doc = std::move(doc);
  }
  e->lastUse = ++g_cacheUses;
  return e->doc;
}

}  // namespace

std::uint64_t ProfileParseCount() { return g_parses.load(std::memory_order_relaxed); }

int ParseLeadingInt(std::string_view text) {
  text = Trim(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Digits accumulate modulo 2^32, as the profile calls always did: an unsigned 32-bit value
  // written as decimal ("4294967295") reads back as the same 32 bits.
  std::uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

void ProfileDocument::Parse(std::string_view text) {
  sections_.clear();
  ProfileSection* current = nullptr;
  for (std::string_view raw : SplitLines(SkipBom(text))) {
    Line line = Classify(raw);
    if (line.kind == Line::Kind::Section) {
      sections_.push_back(ProfileSection{std::string(line.name), {}});
      current = &sections_.back();
    } else if (line.kind == Line::Kind::Key && current) {
      current->entries.push_back(ProfileEntry{std::string(line.name), std::string(line.value)});
    }
  }
}

bool ProfileDocument::Load(const std::string& file) {
  std::string text;
  if (!ReadText(file, text)) {
    sections_.clear();
    return false;
  }
  Parse(text);
  return true;
}

const ProfileSection* ProfileDocument::FindSection(std::string_view name) const {
  name = Trim(name);
  for (const auto& s : sections_)
    if (EqualNoCase(s.name, name)) return &s;
  return nullptr;
}

const ProfileEntry* ProfileDocument::Find(std::string_view section, std::string_view key) const {
  const ProfileSection* s = FindSection(section);
  if (!s) return nullptr;
  key = Trim(key);
  for (const auto& e : s->entries)
    if (EqualNoCase(e.key, key)) return &e;
  return nullptr;
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file) {
  std::shared_ptr<const ProfileDocument> doc;
  {
    std::lock_guard<std::mutex> lock(g_writeMutex);  // never read a half-finished rewrite
    doc = CurrentDocumentLocked(file);
  }
  if (!doc) return defaultValue;
  const ProfileEntry* e = doc->Find(section, key);
  return e ? e->value : defaultValue;
}

int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& file) {
  std::string v = GetPrivateProfileString(section, key, "", file);
  if (v.empty()) return defaultValue;  // a key without a value reads as missing
  return ParseLeadingInt(v);
}

namespace {

// A name or value that would change the file's structure cannot be written faithfully.
bool WritableKey(std::string_view section, std::string_view key, std::string_view value) {
  auto breaksLine = [](std::string_view s) {
    return s.find('\n') != std::string_view::npos || s.find('\r') != std::string_view::npos;
  };
  std::string_view sec = Trim(section), k = Trim(key);
  return !(sec.empty() || k.empty() || breaksLine(section) || breaksLine(key) || breaksLine(value) ||
           sec.find(']') != std::string_view::npos || k.find('=') != std::string_view::npos ||
           k.front() == '[' || k.front() == ';');
}

// Sets one key in the profile text the way a single write does: the key's line is replaced
// in place (keeping its line end), a missing key goes after the section's last key, a
// missing section is added at the end. Everything else stays byte for byte.
void SetKeyInText(std::string& text, std::string_view section, std::string_view key, const std::string& value) {
  const std::string_view sec = Trim(section), k = Trim(key);
  const std::string eol = text.find("\r\n") != std::string::npos || text.empty() ? "\r\n" : "\n";
  const std::string keyLine = std::string(k) + "=" + value;

  std::string_view body = SkipBom(text);
  const std::size_t bomLength = text.size() - body.size();
  auto lines = SplitLines(body);
  // Byte offsets (in text) of each line's start.
  std::vector<std::size_t> starts;
  starts.reserve(lines.size() + 1);
  for (auto l : lines) starts.push_back(static_cast<std::size_t>(l.data() - text.data()));

  bool inSection = false;
  bool sectionFound = false;
  std::size_t insertAfter = 0;  // index+1 of the last key line of the section
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Line line = Classify(lines[i]);
    if (line.kind == Line::Kind::Section) {
      if (inSection) break;  // the key is not in the section: insert at insertAfter
      if (!sectionFound && EqualNoCase(line.name, sec)) {
        inSection = true;
        sectionFound = true;
        insertAfter = i + 1;
      }
      continue;
    }
    if (!inSection) continue;
    if (line.kind == Line::Kind::Key) {
      if (EqualNoCase(line.name, k)) {
        // Replace just this line, keeping its own line ending.
        std::string_view raw = lines[i];
        bool cr = !raw.empty() && raw.back() == '\r';
        text = text.substr(0, starts[i]) + keyLine + (cr ? "\r" : "") + text.substr(starts[i] + raw.size());
        return;
      }
      insertAfter = i + 1;
    }
  }

  if (sectionFound) {
    std::size_t at = insertAfter < lines.size() ? starts[insertAfter] : text.size();
    std::string prefix = text.substr(0, at);
    if (!prefix.empty() && prefix.back() != '\n') prefix += eol;
    text = prefix + keyLine + eol + text.substr(at);
  } else {
    if (text.size() > bomLength && text.back() != '\n') text += eol;
    text += "[" + std::string(sec) + "]" + eol + keyLine + eol;
  }
}

}  // namespace

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& file) {
  return WritePrivateProfileKeys(section, {{key, value}}, file);
}

bool WritePrivateProfileKeys(const std::string& section, const std::vector<ProfileEntry>& keys,
                             const std::string& file) {
  for (const ProfileEntry& e : keys) {
    if (!WritableKey(section, e.key, e.value)) return false;
  }
  std::lock_guard<std::mutex> lock(g_writeMutex);
  std::string text;
  if (!ReadText(file, text)) {
    if (FileExists(file)) return false;  // unreadable or too large: never overwrite it
    text.clear();
  }
  for (const ProfileEntry& e : keys) SetKeyInText(text, section, e.key, e.value);
  const std::int64_t writtenNs = WallClockNs();
  if (!WriteFileAtomic(file, text.data(), text.size())) {
    ForgetCachedLocked(file);
    return false;
  }
  FileStamp stamp;
  if (text.size() <= kMaxCachedBytes && StampFile(file, stamp)) {
    KeepLocked(file, stamp, writtenNs, std::move(text));
  } else {
    ForgetCachedLocked(file);
  }
  return true;
}

}  // namespace plat
