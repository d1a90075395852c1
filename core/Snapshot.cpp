#include "core/Snapshot.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "core/Model.h"
#include "core/SettingINI.h"
#include "platform/files.h"
#include "platform/jpeg.h"

namespace {

// Largest picture accepted: the decoded-picture buffer's size.
constexpr std::size_t kMaxPictureBytes = 1572864;
constexpr int kMaxSameSecondSnapshots = 1000;

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string SnapshotFileName(const plat::LocalTime& t) {
  return FormatTwoDigits(t.year) + FormatTwoDigits(t.month) + FormatTwoDigits(t.day) + "T" +
         FormatTwoDigits(t.hour) + FormatTwoDigits(t.minute) + FormatTwoDigits(t.second);
}

int SaveSnapshotFileAt(std::string& folder, const std::uint8_t* picture, int width, int height,
                       int formatFlag, const plat::LocalTime& time, std::string* savedPath) {
  if (!EndsWithPathSeparator(folder)) folder += "/";
  if (formatFlag != kSnapshotFormatJpeg || picture == nullptr || width <= 0 || height <= 0) return 0;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  if (rowBytes * static_cast<std::size_t>(height) > kMaxPictureBytes) return 0;

  // Rows are packed: the pitch is exactly three bytes per pixel.
  std::vector<std::uint8_t> jpeg;
  if (!plat::JpegEncodeBgrBottomUp(picture, width, height, static_cast<int>(rowBytes),
                                   kSnapshotJpegQuality, jpeg)) {
    return 0;
  }

  const std::string base = plat::MapPath(folder + SnapshotFileName(time));
  // Claim a name that nobody has yet (O_EXCL), so two snapshots in one second both stay.
  for (int n = 0; n < kMaxSameSecondSnapshots; ++n) {
    const std::string path = n == 0 ? base + ".jpg" : base + "_" + std::to_string(n) + ".jpg";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return 0;
    }
    const bool ok = WriteAll(fd, jpeg.data(), jpeg.size());
    const bool closed = ::close(fd) == 0;
    if (!ok || !closed) {
      ::unlink(path.c_str());
      return 0;
    }
    if (savedPath) *savedPath = path;
    return 1;
  }
  return 0;
}

int SaveSnapshotFile(std::string& folder, const std::uint8_t* picture, int width, int height,
                     int formatFlag, std::string* savedPath) {
  return SaveSnapshotFileAt(folder, picture, width, height, formatFlag, plat::GetLocalTime(), savedPath);
}

int SaveSnapshotFile(SharedString& folder, const std::uint8_t* picture, int width, int height,
                     int formatFlag, std::string* savedPath) {
  std::string text = folder.Get();
  const int result = SaveSnapshotFile(text, picture, width, height, formatFlag, savedPath);
  folder.Set(text);
  return result;
}
