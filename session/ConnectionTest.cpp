#include "session/ConnectionTest.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "session/SessionRecord.h"
#include "session/Socket.h"

using namespace plat;

namespace {

bool IsDottedAddress(const std::string& s) {
  in_addr a{};
  return inet_pton(AF_INET, s.c_str(), &a) == 1;
}

}  // namespace

int DectectSocketConnection() {
  SessionRecord* app = g_lpSession;
  if (app == nullptr) return 0;
  const std::string server = app->CSettingINI.m_strServerName.Get();
  if (server.empty()) return 0;
  const WORD port = app->CSettingINI.m_wWebPort.load();
  CBlockingSocket sock;
  try {
    sock.Create(CBlockingSocket::kStream);
    const CSockAddr addr = IsDottedAddress(server) ? CSockAddr(server.c_str(), port)
                                                   : CBlockingSocket::GetHostByName(server.c_str(), port);
    sock.Connect(addr);
    sock.Close();
    sock.Cleanup();
    return 1;
  } catch (const CBlockingSocketException&) {
    // A name that does not resolve is a failed test like a refused connection.
    sock.Cleanup();
    return 0;
  }
}
