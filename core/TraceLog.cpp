#include "core/TraceLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/kernel.h"

namespace {

// One lock serialises every append of the process; the file is read and rewritten whole
// inside it.
std::mutex g_traceMutex;
int g_traceLimit = 0;
std::string g_tracePath;  // empty: not initialised (or closed)

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

}  // namespace

void TraceLog_Init(int lineLimit, const std::string& folder) {
  std::lock_guard<std::mutex> lock(g_traceMutex);
  g_traceLimit = lineLimit;
  g_tracePath = plat::MapPath(JoinFolder(folder, kTraceLogFileName));
}

void TraceLog_Close() {
  std::lock_guard<std::mutex> lock(g_traceMutex);
  g_tracePath.clear();
  g_traceLimit = 0;
}

void TraceLog_Append(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_traceMutex);
  if (g_tracePath.empty() || g_traceLimit <= 0) return;

  std::vector<std::uint8_t> old;
  if (!plat::ReadWholeFile(g_tracePath, old, kMaxTraceFileSize)) {
    // A log that exists but cannot be read is left alone (rewriting it would lose it).
    if (plat::FileExists(g_tracePath)) return;
    old.clear();
  }
  std::vector<std::string> lines = SplitLines(old);

  // Keep the newest limit-1 lines, then add the new one: the file holds at most the limit,
  // however many lines it held before.
  const std::size_t keep = static_cast<std::size_t>(g_traceLimit) - 1;
  const std::size_t drop = lines.size() > keep ? lines.size() - keep : 0;

  std::string text;
  text.reserve(old.size() + line.size() + 2);
  for (std::size_t i = drop; i < lines.size(); ++i) {
    text += lines[i];
    text += "\r\n";
  }
  // One entry is one line: line breaks inside it become blanks.
  for (char c : line) text.push_back(c == '\r' || c == '\n' ? ' ' : c);
  text += "\r\n";

  // Failure loses the line and keeps the old file whole; the caller never hears of it.
  (void)plat::WriteFileAtomic(g_tracePath, text.data(), text.size());
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
