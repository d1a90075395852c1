// Copying the client into another folder: the program folder's own files, each through a
// temporary file and a rename with its mode kept, and the copy's Setting.ini pointed at the
// new folder.
#pragma once
#include <string>
#include <vector>

// The folder of the pictures.
inline constexpr const char* kPictureFolder = "BMP";

// The files to copy, relative to the program folder ('/' separated): the program,
// CtrlFile.ini and alarm.wav always; the disc library, Setting.ini, AlarmData.dat and the
// player when the folder holds them; then every file of BMP/ and its sub-folders.
std::vector<std::string> ProgramCopyList(const std::string& sourceFolder);
// Copies one file: written to "<to>.tmp" with the source's mode, then renamed over `to`.
// False (the destination untouched) when the source cannot be read or the copy not written.
bool CopyProgramFile(const std::string& from, const std::string& to);
// Whether two paths name the same existing folder.
bool IsSameFolder(const std::string& a, const std::string& b);
// "Record Path" and "Snapshot Path" := the folder, "Trigger Wav Path" := folder + "alarm.wav",
// in section "Ovistra" of folder + "Setting.ini".
bool WriteCopySettings(const std::string& folder);
// The folder with a trailing "/".
std::string WithTrailingSlash(const std::string& folder);
