#include "session/CommandLineLogin.h"

#include <cctype>

#include "session/SessionRecord.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/Login.h"

namespace {

constexpr plat::WORD kLoginTimeoutSec = 15;
constexpr std::size_t kLoginReplySize = 2048;

bool IsAutoLoginModel(const std::string& id) {
  for (const char* m : {"K41R", "K40R", "K42R", "K43R", "K44R", "K45R", "K46R"}) {
    if (id == m) return true;
  }
  return false;
}

}  // namespace

std::string AutoLoginServerText(const std::vector<std::string>& arguments, const std::string& whole) {
  if (arguments.empty()) return whole;
  std::string text;
  for (const std::string& a : arguments) {
    if (!text.empty()) text += ' ';
    text += a;
  }
  return text;
}

int CommandLineAutoLoginAt(const std::string& serverText, plat::WORD webPort,
                           const RecorderFinder& findRecorder) {
  SessionRecord* app = g_lpSession;
  if (app == nullptr) return 0;
  CSettingINI& s = app->CSettingINI;
  s.m_strUsername.Set(kDefaultAccount);
  s.m_strPassword.Set(kDefaultAccount);
  s.m_wWebPort = webPort;
  const bool isAddress = !serverText.empty() && std::isdigit(static_cast<unsigned char>(serverText[0]));
  s.m_strServerName.Set(isAddress           ? serverText
                        : findRecorder ? findRecorder()
                                       : std::string(kAutoLoginFallbackServer));
  s.m_wWebPort = webPort;

  CCgiRequest request(CGI_LOGIN);
  request.AddParam("Username", kDefaultAccount);
  request.AddParam("Password", kDefaultAccount);
  std::vector<std::uint8_t> reply(kLoginReplySize, 0);
  plat::DWORD length = 0;
  if (!ZududSendCommand(request, nullptr, 0, nullptr, reply.data(), reply.size() - 1, &length,
                        kLoginTimeoutSec, kLoginTimeoutSec)) {
    return 0;
  }
  LoginReplyValues values;
  if (ParseLoginReply(ReplyText(reply.data(), length), values) != LoginParseResult::Ok) return 0;
  if (!values.productId || !IsAutoLoginModel(*values.productId)) return 0;
  StoreLoginReply(values, false);
  app->w_LoginResult = LOGIN_RESULT_OK;
  return 1;
}
