#include "core/AddressBookFile.h"

#include <fcntl.h>
#include <unistd.h>
#include <cstdint>
#include <vector>

#include "platform/files.h"

using namespace plat;

int EnsureAddressBookFile(const std::string& programFolder, const std::string& systemFolder) {
  auto join = [](std::string f, const char* name) {
    if (!f.empty() && f.back() != '/' && f.back() != '\\') f += '/';
    return f + name;
  };
  const std::string mine = join(programFolder, "IPRecord.dat");
  if (FileExists(mine)) return 1;
  const std::string theirs = join(systemFolder, "IPRecord.dat");
  if (!systemFolder.empty() && FileExists(theirs)) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(theirs, bytes) || !WriteFileAtomic(mine, bytes.data(), bytes.size())) return 0;
    const int fd = ::open(mine.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return 0;
    ::close(fd);
    return 1;
  }
  WriteFileAtomic(mine, "", 0);
  return 1;
}
