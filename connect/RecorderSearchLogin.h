// The command-line login's LAN search: the first recorder that answers a search request.
#pragma once
#include <string>

#include "platform/types.h"
#include "session/CommandLineLogin.h"

// One search request from the PC's address; the first reply's address, or the fallback when
// nothing answers within the search wait. A failed send shows "SendBroadCast is wrong".
std::string FindFirstRecorder(plat::HWND owner = 0);

// The command-line login on web port 80, searching the LAN when the server text is a name.
int CommandLineAutoLogin(const std::string& serverText);
// The same against a given web port (tests talk to a recorder on another port).
int CommandLineAutoLoginAt(const std::string& serverText, plat::WORD webPort);
