// The mounted file systems the folder picker offers as roots, read from a mount table in the
// format of /proc/self/mounts ("device mountpoint type options dump pass", with blanks,
// tabs, line breaks and backslashes in names written as \040, \011, \012 and \134).
#pragma once
#include <string>
#include <string_view>
#include <vector>

struct MountEntry {
  std::string device;
  std::string mountPoint;
  std::string type;
};

// Every line with at least three fields; other lines are skipped.
std::vector<MountEntry> ParseMountTable(std::string_view text);

// The picker's pictures.
enum PathPicture : int {
  PATHPIC_OPEN_FOLDER = 0,
  PATHPIC_CLOSED_FOLDER = 1,
  PATHPIC_REMOVABLE = 2,
  PATHPIC_FIXED = 3,
  PATHPIC_NETWORK = 4,
  PATHPIC_OPTICAL = 5,
  PATHPIC_RAM = 6,
  PATHPIC_NETWORK_OBJECT = 7,  // + the object's kind: 0 generic, 1 domain, 2 server, 3 share ...
  PATHPIC_COUNT = 15,
};

// The root picture of a mount (removable, network, optical or RAM file systems), or -1 for
// one the picker does not offer (the system's own file systems and pseudo file systems).
int MountPicture(const MountEntry& entry);
// The server of a network mount ("host:/export", "//host/share"); empty for other mounts.
std::string NetworkServer(const MountEntry& entry);
