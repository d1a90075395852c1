// Starting other programs. The argument vector is built by the caller; no shell is involved.
#pragma once
#include <string>
#include <vector>

namespace plat {

// Starts argv[0] (a path) with the arguments; false when it cannot be started.
bool SpawnProcess(const std::vector<std::string>& argv, const std::string& workingDirectory = "");
// The same, answering the new process's id and, when asked, starting it in a process group
// of its own (so the client's terminal signals do not reach it).
bool SpawnProcess(const std::vector<std::string>& argv, const std::string& workingDirectory, int* processId,
                  bool newProcessGroup);

}  // namespace plat
