// The one-shot requests the configuration sheet and its pages send: reboot, the time
// synchronisation, the DVR's firmware version, and the cancel of a network backup. Each runs
// synchronously on the caller's thread (15 s to send, 15 s to receive) with the session's
// cookie; the caller shows the failure.
#pragma once
#include <cstdint>
#include <string>

#include "session/CgiRequest.h"

// /Reboot.cgi; 1 once the request is sent (the recorder does not answer it).
int SendReboot();

// The time-server page's choice for /SyncTime.cgi.
struct SyncTimeChoice {
  std::uint8_t timeMode = 0;  // 0: the clock below, 1: from a time server
  // Mode 0: the date and time the recorder's clock takes.
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  // Mode 1: the server (mode 0 a named server, 1 automatic) and the time zone with its offset.
  std::uint8_t serverMode = 0;
  std::string server;
  int zoneIndex = 0;
  int zoneHours = 0, zoneMinutes = 0;
};
// Mode, then Year..Second (mode 0) or ServerMode, Server (a named server only), NationID,
// Hour and Minute of the zone.
CCgiRequest BuildSyncTimeRequest(const SyncTimeChoice& choice, const std::string& sessionId);
// Sends it; the reply (at most 2048 bytes) is read and dropped. 1 on a 200 reply.
int SendSyncTime(const SyncTimeChoice& choice);

// /GetVersion.cgi: the reply body (at most 1024 bytes) as the DVR's version text. False, and
// `version` untouched, when the request failed.
bool ReadDvrVersion(std::string& version);

// /CancelNB.cgi: the recorder stops the network backup it is sending; the request function's
// result.
int SendCancelNetworkBackup();
