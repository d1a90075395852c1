// Files and paths. The program folder is the executable's folder. Relative paths written
// with '\' (as skins and settings do) are mapped to '/', resolved against the program
// folder, and matched case-insensitively against what exists ("BMP\X.bmp" finds "bmp/x.BMP").
// Files that hold the operator's data are rewritten through a temporary file and a rename.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// The program folder with a trailing '/'.
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);  // tests and tools

// Maps '\' to '/', makes a relative path relative to the program folder and resolves each
// existing component case-insensitively. A path that does not exist keeps its spelling for
// the missing components.
std::string MapPath(const std::string& path);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
bool CreateDirectories(const std::string& path);

// Reads at most maxSize bytes; false when the file cannot be opened or is larger.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                   std::size_t maxSize = 64u << 20);

// Writes to "<path>.tmp", flushes, renames over `path`. On failure the old file stays whole.
bool WriteFileAtomic(const std::string& path, const void* data, std::size_t size);

}  // namespace plat
