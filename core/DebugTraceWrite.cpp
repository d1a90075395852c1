// The debug trace's append and delete. Nothing in the client writes to the debug trace, so
// "DebugTrace.log" stays empty; these keep it usable for whoever needs it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "core/TraceLog.h"
#include "platform/kernel.h"

namespace {
constexpr plat::DWORD kGuardWaitMs = 10000;
constexpr std::uint32_t kDebugTraceLineLimit = 1048576;
}  // namespace

int CDebugTraceLog::Write(const std::string& line) {
  // A writer that cannot get the guard in time goes on regardless (the wait is a courtesy).
  if (m_hGuardEvent != 0) plat::WaitForSingleObject(m_hGuardEvent, kGuardWaitMs);
  struct Release {
    plat::HANDLE h;
    ~Release() {
      if (h != 0) plat::SetEvent(h);
    }
  } release{m_hGuardEvent};

  if (m_hFile < 0) return 0;
  const std::string text = line + "\r\n";
  if (++m_dwLineCount > kDebugTraceLineLimit) {
    ::close(m_hFile);
    m_hFile = ::open(m_strPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    m_dwLineCount = 0;
    if (m_hFile < 0) return 0;
  }
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(m_hFile, text.data() + done, text.size() - done);
    if (n <= 0) return 0;
    done += static_cast<std::size_t>(n);
  }
  return 1;
}

int CDebugTraceLog::Delete() {
  if (!m_strPath.empty()) std::remove(m_strPath.c_str());
  return 1;
}
