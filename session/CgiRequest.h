// The table of the recorder's CGI commands and the builder of a request target
// (path and query) from a command code and name/value parameters.
//
// Names and values are copied as they are: recorders expect them unescaped.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

enum CgiCommand : std::uint8_t {
  CGI_LOGIN = 0,
  CGI_GETVIDEO,
  CGI_SETCHANNEL,
  CGI_SETRESOLUTION,
  CGI_SETQUALITY,
  CGI_SETBRCSSA,
  CGI_GETSYSCFG,
  CGI_PERIODCOMMAND,
  CGI_SETSYSCFG,
  CGI_UPGRADEFW,
  CGI_GETONLINEUSER,  // 10
  CGI_RS485CMD,
  CGI_SETPENTA,
  CGI_REBOOT,
  CGI_GETDEVICEINFO,
  CGI_GETLOG,
  CGI_SETRETR,
  CGI_GETDVRHDD,
  CGI_NETWORKBK,
  CGI_PTZRESET,
  CGI_GETCOLOR,  // 20
  CGI_SETCOLOR,
  CGI_SYNCTIME,
  CGI_GETSEARCHLIST,
  CGI_GETVERSION,
  CGI_CANCELNB,
  CGI_GETVERSION2,
  CGI_GETDVRNAME,
  CGI_GETDEFAULTLANG,
  CGI_GETINDEXLANG,
  CGI_OV9653ZOOM,  // 30
  CGI_OV9653ROTATE,
  CGI_CLEARLOG,
  CGI_GETDVRDATE,
  CGI_SETDVRDATE,
  CGI_GETRECORDSETTING,
  CGI_SETRECORDSETTING,
  CGI_CANCELUPFW,
  CGI_SETBUZZER,
  CGI_SEARCHPLAYBACK,  // 39
  CGI_COMMAND_COUNT
};

struct CgiCommandRow {
  std::uint32_t index;
  const char* path;
};

extern const CgiCommandRow CgiCommandTable[CGI_COMMAND_COUNT];

// The path of a command code; "" for a code outside the table.
const char* CgiCommandPath(unsigned command);

class CCgiRequest {
 public:
  // A code outside the table gives an empty target, which the request function refuses.
  explicit CCgiRequest(unsigned command);

  // "?name=value" for the first parameter, "&name=value" after it. Returns 1.
  int AddParam(const std::string& name, const std::string& value);
  int AddParamInt(const std::string& name, std::int32_t value);
  // Appends "Cookie" with the session identifier when it is not empty (the common rule of
  // every command but login); returns 1 when it was added, 0 when the identifier is empty.
  int AddCookie(const std::string& sessionId);
  // Back to the bare path of the command; the next parameter starts with "?" again.
  int Reset();

  const char* GetUrl() const { return m_strUrl.c_str(); }
  std::size_t GetLength() const { return m_strUrl.size(); }
  const std::string& Url() const { return m_strUrl; }
  std::uint8_t Command() const { return m_byCommand; }

  std::string m_strUrl;
  std::uint16_t m_wParamCount = 0;
  std::uint8_t m_byCommand = 0;
};
