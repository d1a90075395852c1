#include "config/MountTable.h"

#include <algorithm>

namespace {

std::string Unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

bool Under(const std::string& path, std::string_view folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

bool IsSystemPlace(const std::string& mountPoint) {
  if (mountPoint == "/" || mountPoint.empty() || mountPoint[0] != '/') return true;
  if (Under(mountPoint, "/run/media")) return false;
  for (std::string_view p : {"/proc", "/sys", "/dev", "/run", "/boot", "/snap", "/var/lib"}) {
    if (mountPoint == p || Under(mountPoint, p)) return true;
  }
  return false;
}

}  // namespace

std::vector<MountEntry> ParseMountTable(std::string_view text) {
  std::vector<MountEntry> out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size() && fields.size() < 3) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      const std::size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
      if (i > start) fields.push_back(line.substr(start, i - start));
    }
    if (fields.size() < 3) continue;
    out.push_back({Unescape(fields[0]), Unescape(fields[1]), Unescape(fields[2])});
  }
  return out;
}

int MountPicture(const MountEntry& e) {
  static const std::string_view kNetwork[] = {"nfs",   "nfs4",  "cifs",       "smb3",       "smbfs", "fuse.sshfs",
                                               "sshfs", "9p",    "afs",        "ncpfs",      "davfs", "fuse.davfs2"};
  if (IsSystemPlace(e.mountPoint)) return -1;
  if (std::find(std::begin(kNetwork), std::end(kNetwork), e.type) != std::end(kNetwork)) return PATHPIC_NETWORK;
  if (e.type == "iso9660" || e.type == "udf") return PATHPIC_OPTICAL;
  if (e.type == "tmpfs" || e.type == "ramfs") return PATHPIC_RAM;
  const bool removablePlace =
      Under(e.mountPoint, "/media") || Under(e.mountPoint, "/run/media") || Under(e.mountPoint, "/mnt");
  if (removablePlace && e.device.rfind("/dev/", 0) == 0) return PATHPIC_REMOVABLE;
  return -1;
}

std::string NetworkServer(const MountEntry& e) {
  if (MountPicture(e) != PATHPIC_NETWORK) return std::string();
  const std::string& d = e.device;
  if (d.rfind("//", 0) == 0) {
    const std::size_t slash = d.find('/', 2);
    return d.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
  }
  std::string host = d.substr(0, d.find(':'));
  const std::size_t at = host.find('@');  // user@host of an sshfs mount
  if (at != std::string::npos) host.erase(0, at + 1);
  return host;
}
