#include "core/TraceLog.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/kernel.h"

namespace {

// One lock serialises every append of the process (and is the log's own: no other lock is
// taken under it). Below the limit a line is appended to the file; the file is read and
// rewritten only to drop its oldest lines once the limit is reached, and then without a
// flush to the disk: the log is a help for the operator, not a record that must survive a
// power cut.
std::mutex g_traceMutex;
int g_traceLimit = 0;
std::string g_tracePath;  // empty: not initialised (or closed)
long g_traceLines = -1;   // whole lines in the file as last seen; -1: not known yet

constexpr std::size_t kMaxTraceFileSize = 16u << 20;

std::string JoinFolder(const std::string& folder, const char* name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  return (last == '/' || last == '\\') ? folder + name : folder + "/" + name;
}

// Splits text into lines ended by LF (a CR before the LF is dropped); a last line without
// an end still counts.
std::vector<std::string> SplitLines(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::string> lines;
  std::string cur;
  for (std::uint8_t b : bytes) {
    if (b == '\n') {
      if (!cur.empty() && cur.back() == '\r') cur.pop_back();
      lines.push_back(std::move(cur));
      cur.clear();
    } else {
      cur.push_back(static_cast<char>(b));
    }
  }
  if (!cur.empty()) lines.push_back(std::move(cur));
  return lines;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool AppendToFile(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool ok = WriteAll(fd, text);
  return ::close(fd) == 0 && ok;
}

// Writes "<path>.tmp" and renames it over the log: a reader sees the old or the new file.
bool ReplaceFile(const std::string& path, const std::string& text) {
  const std::string temp = path + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, text);
  if (::close(fd) != 0 || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

void TraceLog_Init(int lineLimit, const std::string& folder) {
  std::lock_guard<std::mutex> lock(g_traceMutex);
  g_traceLimit = lineLimit;
  g_tracePath = plat::MapPath(JoinFolder(folder, kTraceLogFileName));
  g_traceLines = -1;
}

void TraceLog_Close() {
  std::lock_guard<std::mutex> lock(g_traceMutex);
  g_tracePath.clear();
  g_traceLimit = 0;
  g_traceLines = -1;
}

void TraceLog_Append(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_traceMutex);
  if (g_tracePath.empty() || g_traceLimit <= 0) return;

  // One entry is one line: line breaks inside it become blanks.
  std::string entry;
  entry.reserve(line.size() + 2);
  for (char c : line) entry.push_back(c == '\r' || c == '\n' ? ' ' : c);
  entry += "\r\n";

  if (g_traceLines < 0) {
    // First line since Init: learn what the file holds. A file whose last line has no end
    // goes through the rewrite below, which ends it.
    std::vector<std::uint8_t> old;
    if (!plat::ReadWholeFile(g_tracePath, old, kMaxTraceFileSize)) {
      // A log that exists but cannot be read is left alone (rewriting it would lose it).
      if (plat::FileExists(g_tracePath)) return;
      old.clear();
    }
    const bool ended = old.empty() || old.back() == '\n';
    g_traceLines = ended ? static_cast<long>(SplitLines(old).size()) : g_traceLimit;
  }

  if (g_traceLines < g_traceLimit) {
    if (AppendToFile(g_tracePath, entry)) {
      ++g_traceLines;
    } else {
      g_traceLines = -1;  // look again next time
    }
    return;
  }

  std::vector<std::uint8_t> old;
  if (!plat::ReadWholeFile(g_tracePath, old, kMaxTraceFileSize)) {
    if (plat::FileExists(g_tracePath)) return;
    old.clear();
  }
  std::vector<std::string> lines = SplitLines(old);

  // Keep the newest limit-1 lines, then add the new one: the file holds at most the limit,
  // however many lines it held before.
  const std::size_t keep = static_cast<std::size_t>(g_traceLimit) - 1;
  const std::size_t drop = lines.size() > keep ? lines.size() - keep : 0;

  std::string text;
  text.reserve(old.size() + entry.size());
  for (std::size_t i = drop; i < lines.size(); ++i) {
    text += lines[i];
    text += "\r\n";
  }
  text += entry;

  // Failure loses the line and keeps the old file whole; the caller never hears of it.
  g_traceLines = ReplaceFile(g_tracePath, text) ? static_cast<long>(lines.size() - drop + 1) : -1;
}

CDebugTraceLog::CDebugTraceLog() : m_hGuardEvent(0), m_hFile(-1), m_strPath(), m_dwLineCount(0) {}

CDebugTraceLog::~CDebugTraceLog() { Close(); }

int CDebugTraceLog::Open(const std::string& folder) {
  m_strPath = plat::MapPath(JoinFolder(folder, kDebugTraceLogFileName));
  if (m_hFile < 0) {
    m_hFile = ::open(m_strPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_hFile < 0) return 0;
    m_dwLineCount = 0;
  }
  if (m_hGuardEvent == 0) {
    m_hGuardEvent = plat::CreateEvent(false, true);
    if (m_hGuardEvent == 0) return 0;
  }
  return 1;
}

void CDebugTraceLog::Close() {
  if (m_hFile >= 0) {
    ::close(m_hFile);
    m_hFile = -1;
  }
  if (m_hGuardEvent != 0) {
    plat::CloseHandle(m_hGuardEvent);
    m_hGuardEvent = 0;
  }
}
