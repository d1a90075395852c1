// Logging in without the login window, from the program's command line: the default
// account, the recorder given on the command line or the first one that answers a LAN
// search. No flow of the client starts it.
#pragma once
#include <string>
#include <vector>

#include "platform/types.h"

constexpr const char* kDefaultAccount = "vexor";  // user name and password alike
constexpr const char* kAutoLoginFallbackServer = "192.168.1.10";
constexpr plat::WORD kAutoLoginWebPort = 80;

// The server text: the arguments after the program name joined by blanks, or the whole
// command line when there are none.
std::string AutoLoginServerText(const std::vector<std::string>& arguments, const std::string& wholeCommandLine);

// One search request from the PC's address; the first reply's address, or the fallback when
// nothing answers within the search wait. A failed send shows "SendBroadCast is wrong".
std::string FindFirstRecorder(plat::HWND owner = 0);

// Sets the default account and web port 80 in the settings, takes the server (a text whose
// first character is a digit is the address; anything else means a LAN search), sends
// /Login.cgi and stores the reply. 1 with the login result 30 when the recorder is one of the
// seven accepted models (K40R to K46R); 0 otherwise.
int CommandLineAutoLogin(const std::string& serverText);
// The same against a given web port (tests talk to a recorder on another port).
int CommandLineAutoLoginAt(const std::string& serverText, plat::WORD webPort);
