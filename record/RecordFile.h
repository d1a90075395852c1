// The small file layer the recorders write through. A recording is created under a name that
// does not yet exist (an existing recording is never replaced); tests install a layer that
// fails creates or writes on demand, or runs out of space.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class IRecordFile {
 public:
  virtual ~IRecordFile() = default;
  // Writes at an absolute offset; the end of the file stays where it was unless the write
  // reaches past it. False when not every byte was written (some may have been).
  virtual bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) = 0;
  // Cuts the file to `size` bytes (drops a record that was only partly written).
  virtual bool Truncate(std::uint64_t size) = 0;
  virtual bool Close() = 0;
};

class IRecordFileSystem {
 public:
  virtual ~IRecordFileSystem() = default;
  // Creates `path` only when nothing of that name exists; nullptr when that fails.
  virtual std::unique_ptr<IRecordFile> CreateNew(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // Removes a file this layer created (a recording that holds nothing).
  virtual bool Remove(const std::string& path) = 0;
};

// POSIX files (paths written with '\' are mapped by the platform layer).
IRecordFileSystem& DefaultRecordFileSystem();

// Creates the first free name of `stem` + ext, `stem` + "_1" + ext, `stem` + "_2" + ext, ...
// (at most 1000 tries). On success `pathOut` holds the name used.
std::unique_ptr<IRecordFile> CreateUniqueRecordFile(IRecordFileSystem& fs, const std::string& stem,
                                                    const std::string& ext, std::string& pathOut);
