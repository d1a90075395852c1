// File drives inside the library: where they come from and what a file holds.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace discapi {

constexpr std::uint32_t kFirstSessionBlock = 32;
// Written over the first bytes of block 0 when a file drive's disc is closed.
constexpr char kClosedMark[16] = "DISCAPI-CLOSED";

struct FileDriveSpec {
  std::string path;
  std::uint64_t capacity = 0;  // bytes
};

// TRELVIX_DISC_FILES: "path:capacity[,path:capacity...]"; capacity in bytes, K, M or G.
std::vector<FileDriveSpec> FileDrivesFromEnvironment();

struct FileSession {
  std::uint32_t start = 0;  // first block
  std::uint32_t size = 0;   // blocks
};

struct FileDiscState {
  std::uint64_t fileSize = 0;
  std::vector<FileSession> sessions;  // oldest first
  std::uint32_t nextBlock = kFirstSessionBlock;
  bool closed = false;
};

// Reads the sessions of a file drive's file (open for reading). Damaged data ends the list.
FileDiscState ReadFileDisc(int fd);

}  // namespace discapi
