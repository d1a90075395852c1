// Logging in without the login window, from the program's command line: the default
// account, the recorder given on the command line or the first one that answers a LAN
// search.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/types.h"

constexpr const char* kDefaultAccount = "vexor";  // user name and password alike
constexpr const char* kAutoLoginFallbackServer = "192.168.1.10";
constexpr plat::WORD kAutoLoginWebPort = 80;

// The server text: the arguments after the program name joined by blanks, or the whole
// command line when there are none.
std::string AutoLoginServerText(const std::vector<std::string>& arguments, const std::string& wholeCommandLine);

// Answers the address of a recorder found on the LAN (or the fallback server).
using RecorderFinder = std::function<std::string()>;

// Sets the default account and the web port in the settings, takes the server (a text whose
// first character is a digit is the address; anything else asks `findRecorder`), sends
// /Login.cgi and stores the reply. 1 with the login result 30 when the recorder is one of the
// seven accepted models (K40R to K46R); 0 otherwise.
int CommandLineAutoLoginAt(const std::string& serverText, plat::WORD webPort,
                           const RecorderFinder& findRecorder);
