#include "session/CgiRequest.h"

const CgiCommandRow CgiCommandTable[CGI_COMMAND_COUNT] = {
    {0, "/Login.cgi"},
    {1, "/Getvideo.cgi"},
    {2, "/SetChannel.cgi"},
    {3, "/Setresolution.cgi"},
    {4, "/Setquality.cgi"},
    {5, "/Setbrcssa.cgi"},
    {6, "/GetSysCfg.cgi"},
    {7, "/Periodcommand.cgi"},
    {8, "/SetSysCfg.cgi"},
    {9, "/UpgradeFW.cgi"},
    {10, "/GetOnlineUser.cgi"},
    {11, "/RS485Cmd.cgi"},
    {12, "/SetZudud.cgi"},
    {13, "/Reboot.cgi"},
    {14, "/Getdeviceinfo.cgi"},
    {15, "/Getlog.cgi"},
    {16, "/SetRetr.cgi"},
    {17, "/GetDvrHDD.cgi"},
    {18, "/NetworkBk.cgi"},
    {19, "/PTZReset.cgi"},
    {20, "/GetColor.cgi"},
    {21, "/SetColor.cgi"},
    {22, "/SyncTime.cgi"},
    {23, "/GetSearchList.cgi"},
    {24, "/GetVersion.cgi"},
    {25, "/CancelNB.cgi"},
    {26, "/GetVersion.cgi"},
    {27, "/GetDvrName.cgi"},
    {28, "/getDefaultLang.cgi"},
    {29, "/getIndexLang.cgi"},
    {30, "/OV9653Zoom.cgi"},
    {31, "/OV9653Rotate.cgi"},
    {32, "/ClearLog.cgi"},
    {33, "/GetDvrDate.cgi"},
    {34, "/SetDvrDate.cgi"},
    {35, "/GetRecordSetting.cgi"},
    {36, "/SetRecordSetting.cgi"},
    {37, "/CancelUPFW.cgi"},
    {38, "/SetBuzzer.cgi"},
    {39, "/SearchPlayBack.cgi"},
};

const char* CgiCommandPath(unsigned command) {
  return command < CGI_COMMAND_COUNT ? CgiCommandTable[command].path : "";
}

CCgiRequest::CCgiRequest(unsigned command)
    : m_strUrl(CgiCommandPath(command & 0xFFu)), m_byCommand(static_cast<std::uint8_t>(command)) {}

int CCgiRequest::AddParam(const std::string& name, const std::string& value) {
  m_strUrl += (m_wParamCount == 0) ? '?' : '&';
  m_strUrl += name;
  m_strUrl += '=';
  m_strUrl += value;
  ++m_wParamCount;
  return 1;
}

int CCgiRequest::AddParamInt(const std::string& name, std::int32_t value) {
  return AddParam(name, std::to_string(value));
}

int CCgiRequest::AddCookie(const std::string& sessionId) {
  if (sessionId.empty()) return 0;
  return AddParam("Cookie", sessionId);
}

int CCgiRequest::Reset() {
  m_strUrl = CgiCommandPath(m_byCommand);
  m_wParamCount = 0;
  return 1;
}
