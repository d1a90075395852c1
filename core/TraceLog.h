// The rolling connection log "trace.log" (the last N lines, CR LF ended) and the
// "DebugTrace.log" file that is created empty at every start.
#pragma once
#include <cstdint>
#include <string>
#include "platform/types.h"

// Sets the line limit and the folder of "trace.log" (the folder may end in a separator or
// not). May be called again (tests); the last call wins.
void TraceLog_Init(int lineLimit, const std::string& folder);
// Appends one line to the file; once the file holds the limit (or more), the oldest lines are
// dropped so that it holds exactly the limit afterwards (only then is the file rewritten,
// through a temporary file and a rename). Never fails the caller: a log that cannot be
// written loses the line. Takes no lock but its own.
// Safe from any thread. Does nothing before TraceLog_Init or after TraceLog_Close.
void TraceLog_Append(const std::string& line);
void TraceLog_Close();

constexpr const char* kTraceLogFileName = "trace.log";
constexpr const char* kDebugTraceLogFileName = "DebugTrace.log";
constexpr int kTraceLogLineLimit = 300;

class CDebugTraceLog {
 public:
  CDebugTraceLog();
  ~CDebugTraceLog();
  CDebugTraceLog(const CDebugTraceLog&) = delete;
  CDebugTraceLog& operator=(const CDebugTraceLog&) = delete;

  // Creates "DebugTrace.log" in the folder, empty, and keeps it open; 1 on success, 0 when
  // the file or the guard cannot be created.
  int Open(const std::string& folder);
  void Close();
  // Appends the line and CR LF (DebugTraceWrite.cpp); after 1,048,576 lines the file starts
  // again empty. 0 when no file is open or it cannot be created again.
  int Write(const std::string& line);
  // Deletes the file by its path; answers 1.
  int Delete();

  plat::HANDLE m_hGuardEvent;
  int m_hFile;  // file descriptor, -1 when none
  std::string m_strPath;
  std::uint32_t m_dwLineCount;
};
