#include "record/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"

namespace {

class PosixRecordFile final : public IRecordFile {
 public:
  explicit PosixRecordFile(int fd) : fd_(fd) {}
  ~PosixRecordFile() override { Close(); }

  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    return fd_ >= 0 && WriteAll(offset, data, size);
  }
  bool Truncate(std::uint64_t size) override {
    return fd_ >= 0 && ::ftruncate(fd_, off_t(size)) == 0;
  }
  bool Close() override {
    if (fd_ < 0) return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }

 private:
  bool WriteAll(std::uint64_t offset, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
      const ssize_t n = ::pwrite(fd_, p, size, off_t(offset));
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (n == 0) return false;
      p += n;
      offset += std::uint64_t(n);
      size -= std::size_t(n);
    }
    return true;
  }
  int fd_;
};

class PosixRecordFileSystem final : public IRecordFileSystem {
 public:
  std::unique_ptr<IRecordFile> CreateNew(const std::string& path) override {
    const std::string p = plat::MapPath(path);
    int fd;
    do {
      fd = ::open(p.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixRecordFile>(fd);
  }
  bool Exists(const std::string& path) override {
    struct stat st;
    return ::stat(plat::MapPath(path).c_str(), &st) == 0;
  }
  bool Remove(const std::string& path) override { return ::unlink(plat::MapPath(path).c_str()) == 0; }
};

}  // namespace

IRecordFileSystem& DefaultRecordFileSystem() {
  static PosixRecordFileSystem fs;
  return fs;
}

std::unique_ptr<IRecordFile> CreateUniqueRecordFile(IRecordFileSystem& fs, const std::string& stem,
                                                    const std::string& ext, std::string& pathOut) {
  for (int i = 0; i < 1000; ++i) {
    const std::string path = i == 0 ? stem + ext : stem + "_" + std::to_string(i) + ext;
    if (fs.Exists(path)) continue;
    if (auto f = fs.CreateNew(path)) {
      pathOut = path;
      return f;
    }
    // Created by someone else meanwhile: try the next name; any other failure ends here.
    if (!fs.Exists(path)) return nullptr;
  }
  return nullptr;
}
