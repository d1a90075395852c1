#include "config/ProgramCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/profile.h"
#include "record/DiscApiLoader.h"
#include "session/PlayerLink.h"

std::string WithTrailingSlash(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  if (folder.back() == '\\') return folder.substr(0, folder.size() - 1) + "/";
  return folder + "/";
}

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::vector<std::string> ProgramCopyList(const std::string& sourceFolder) {
  const std::string source = WithTrailingSlash(sourceFolder);
  // Always listed, so that a missing one is counted as a failed copy.
  std::vector<std::string> list{"trelvix", "CtrlFile.ini", "alarm.wav"};
  // Listed when present: the disc library, the player and the files the client writes itself.
  for (const char* name : {kDiscApiFileName, "Setting.ini", "AlarmData.dat"}) {
    if (IsRegularFile(source + name)) list.emplace_back(name);
  }
  for (const char* player : player::kProgramNames) {
    if (IsRegularFile(source + player)) {
      list.emplace_back(player);
      break;
    }
  }
  // Every picture the windows may load: the whole picture folder with its sub-folders. A
  // folder that cannot be read is listed itself, so its copy fails and is counted.
  namespace fs = std::filesystem;
  std::vector<std::string> pictures;
  const fs::path root = fs::path(source) / kPictureFolder;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec), end;
       !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    pictures.push_back(std::string(kPictureFolder) + "/" + it->path().lexically_relative(root).generic_string());
  }
  if (ec) pictures.emplace_back(kPictureFolder);
  std::sort(pictures.begin(), pictures.end());
  list.insert(list.end(), pictures.begin(), pictures.end());
  return list;
}

bool CopyProgramFile(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st {};
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return false;
  }
  const std::string temp = to + ".tmp";
  const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out, buffer + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  ::close(in);
  ok = ok && ::fchmod(out, st.st_mode & 07777) == 0 && ::fsync(out) == 0;
  ok = ::close(out) == 0 && ok;
  ok = ok && std::rename(temp.c_str(), to.c_str()) == 0;
  if (!ok) std::remove(temp.c_str());
  return ok;
}

bool IsSameFolder(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool WriteCopySettings(const std::string& folder) {
  const std::string dest = WithTrailingSlash(folder);
  return plat::WritePrivateProfileKeys(
      "Ovistra", {{"Record Path", dest}, {"Snapshot Path", dest}, {"Trigger Wav Path", dest + "alarm.wav"}},
      dest + "Setting.ini");
}
