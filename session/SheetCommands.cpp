#include "session/SheetCommands.h"

#include "session/Command.h"
#include "session/SessionRecord.h"

namespace {

constexpr plat::WORD kSheetCommandTimeoutSec = 15;

int SendBare(unsigned command) {
  CCgiRequest request(command);
  request.AddCookie(GetSessionId());
  return ZududSendCommand(request, nullptr, 0, nullptr, nullptr, 0, nullptr, kSheetCommandTimeoutSec,
                          kSheetCommandTimeoutSec);
}

}  // namespace

int SendReboot() { return SendBare(CGI_REBOOT); }

int SendCancelNetworkBackup() { return SendBare(CGI_CANCELNB); }

CCgiRequest BuildSyncTimeRequest(const SyncTimeChoice& c, const std::string& sessionId) {
  CCgiRequest request(CGI_SYNCTIME);
  request.AddCookie(sessionId);
  request.AddParamInt("Mode", c.timeMode);
  if (c.timeMode == 0) {
    request.AddParamInt("Year", c.year);
    request.AddParamInt("Month", c.month);
    request.AddParamInt("Day", c.day);
    request.AddParamInt("Hour", c.hour);
    request.AddParamInt("Minute", c.minute);
    request.AddParamInt("Second", c.second);
  } else {
    request.AddParamInt("ServerMode", c.serverMode);
    if (c.serverMode == 0) request.AddParam("Server", c.server);
    request.AddParamInt("NationID", c.zoneIndex);
    request.AddParamInt("Hour", c.zoneHours);
    request.AddParamInt("Minute", c.zoneMinutes);
  }
  return request;
}

int SendSyncTime(const SyncTimeChoice& choice) {
  const CCgiRequest request = BuildSyncTimeRequest(choice, GetSessionId());
  std::uint8_t reply[2048] = {};
  plat::DWORD length = 0;
  return ZududSendCommand(request, nullptr, 0, nullptr, reply, sizeof reply, &length, kSheetCommandTimeoutSec,
                          kSheetCommandTimeoutSec);
}

bool ReadDvrVersion(std::string& version) {
  CCgiRequest request(CGI_GETVERSION);
  request.AddCookie(GetSessionId());
  std::uint8_t reply[1024];
  plat::DWORD length = 0;
  if (!ZududSendCommand(request, nullptr, 0, nullptr, reply, sizeof reply, &length, kSheetCommandTimeoutSec,
                        kSheetCommandTimeoutSec)) {
    return false;
  }
  version.assign(reinterpret_cast<const char*>(reply), length);
  return true;
}
