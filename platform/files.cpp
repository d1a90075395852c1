// Files and paths.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>

namespace plat {
namespace {

std::mutex g_folderMutex;
// Two threads rewriting one file would share "<path>.tmp": one rewrite at a time.
std::mutex g_writeMutex;
std::string* g_folderOverride = nullptr;  // never freed: read during exit by late workers

std::string WithSlash(std::string s) {
  if (s.empty() || s.back() != '/') s.push_back('/');
  return s;
}

std::string ExecutableFolder() {
  std::string buf(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "./";
  buf.resize(static_cast<std::size_t>(n));
  auto slash = buf.rfind('/');
  if (slash == std::string::npos) return "./";
  return buf.substr(0, slash + 1);
}

// The entry of `dir` whose name equals `name` ignoring ASCII case ("" when none). An exact
// match wins; among several case-variants the alphabetically first is taken so the answer
// does not depend on the directory's order.
std::string FindCaseInsensitive(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return "";
  std::string best;
  while (dirent* e = ::readdir(d)) {
    std::string entry = e->d_name;
    if (entry == name) {
      best = entry;
      break;
    }
    if (::strcasecmp(entry.c_str(), name.c_str()) == 0 && (best.empty() || entry < best)) best = entry;
  }
  ::closedir(d);
  return best;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string ProgramFolder() {
  std::lock_guard<std::mutex> lock(g_folderMutex);
  if (g_folderOverride) return *g_folderOverride;
  static const std::string folder = ExecutableFolder();
  return folder;
}

void SetProgramFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(g_folderMutex);
  if (folder.empty()) {
    delete g_folderOverride;
    g_folderOverride = nullptr;
    return;
  }
  if (!g_folderOverride) g_folderOverride = new std::string;
  *g_folderOverride = WithSlash(folder);
}

std::string MapPath(const std::string& path) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty()) return ProgramFolder();
  if (p[0] != '/') p = ProgramFolder() + p;

  // Walk the components; once one is missing the rest keep their spelling.
  std::string out;
  std::size_t pos = 1;
  bool resolving = true;
  out = "/";
  while (pos <= p.size()) {
    std::size_t end = p.find('/', pos);
    if (end == std::string::npos) end = p.size();
    std::string comp = p.substr(pos, end - pos);
    pos = end + 1;
    if (comp.empty()) continue;  // doubled or trailing '/'
    if (resolving && comp != "." && comp != ".." && !Exists(out + comp)) {
      std::string found = FindCaseInsensitive(out, comp);
      if (found.empty()) {
        resolving = false;
      } else {
        comp = found;
      }
    }
    out += comp;
    out += '/';
  }
  if (p.back() != '/' && out.size() > 1) out.pop_back();
  return out;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return DirectoryExists(path);
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::size_t maxSize) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) ||
      (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) > maxSize)) {
    ::close(fd);
    return false;
  }
  // Read until the end rather than trusting the size: the file may change or not be regular.
  std::size_t chunk = 64 * 1024;
  bool ok = true;
  for (;;) {
    std::size_t have = out.size();
    // One byte more than allowed shows "too large".
    std::size_t room = maxSize - have;
    std::size_t want = room < chunk ? room + 1 : chunk;
    out.resize(have + want);
    ssize_t n = ::read(fd, out.data() + have, want);
    if (n < 0) {
      if (errno == EINTR) {
        out.resize(have);
        continue;
      }
      ok = false;
      out.resize(have);
      break;
    }
    out.resize(have + static_cast<std::size_t>(n));
    if (n == 0) break;
    if (out.size() > maxSize) {
      ok = false;
      break;
    }
  }
  ::close(fd);
  if (!ok) out.clear();
  return ok;
}

bool WriteFileAtomic(const std::string& path, const void* data, std::size_t size) {
  if (path.empty() || (size > 0 && !data)) return false;
  const std::string tmp = path + ".tmp";
  std::lock_guard<std::mutex> lock(g_writeMutex);
  mode_t mode = 0644;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return false;
    mode = st.st_mode & 07777;
  }
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return false;
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  bool ok = true;
  while (done < size) {
    ssize_t n = ::write(fd, p + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  // Make the rename itself durable; failing here loses nothing already written.
  auto slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

}  // namespace plat
