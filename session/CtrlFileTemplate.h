// A built-in template of the control file, written on request; nothing in the client asks
// for it (the control file beside the program is written at build time).
#pragma once
#include <string>

// Creates or replaces `path` with the template (lines ended by a line feed alone). 1 when
// written; 0 after message 4009 "Can't read or create a CtrlFile.ini!!" when the file cannot
// be created.
int WriteCtrlFileTemplate(const std::string& path);
