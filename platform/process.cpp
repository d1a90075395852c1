// Starting other programs with posix_spawn; no shell is involved.
#include "platform/process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace plat {

bool SpawnProcess(const std::vector<std::string>& argv, const std::string& workingDirectory) {
  return SpawnProcess(argv, workingDirectory, nullptr, false);
}

bool SpawnProcess(const std::vector<std::string>& argv, const std::string& workingDirectory, int* processId,
                  bool newProcessGroup) {
  if (argv.empty() || argv[0].empty()) return false;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (!workingDirectory.empty() &&
      posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str()) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  if (newProcessGroup) {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }
  pid_t pid = 0;
  int rc = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  if (processId) *processId = static_cast<int>(pid);
  // The started program lives on its own; reap it when it ends so it leaves no zombie.
  try {
    std::thread([pid] {
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // Without a reaper the child still runs; it stays a zombie until we exit.
  }
  return true;
}

}  // namespace plat
