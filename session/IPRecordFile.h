// "IPRecord.dat": the address book's file, a plain run of 400-byte records without a header
// (a remainder shorter than a record is ignored). Little-endian; each record carries three
// check codes that must all match when it is read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t kIPRecordSize = 400;
constexpr std::size_t kIPRecordTextField = 128;  // at most 127 characters and a zero
constexpr const char* kIPRecordFileName = "IPRecord.dat";

namespace iprecord_offset {
constexpr std::size_t kCheckUser = 0;
constexpr std::size_t kUserName = 4;
constexpr std::size_t kCheckIP = 132;
constexpr std::size_t kIPAddress = 136;
constexpr std::size_t kCheckComment = 264;
constexpr std::size_t kComment = 268;
constexpr std::size_t kMajorPort = 396;
}  // namespace iprecord_offset

constexpr std::uint32_t kCheckCodeForUser = 0x12121212;
constexpr std::uint32_t kCheckCodeForIP = 0x4C4C4C4C;
constexpr std::uint32_t kCheckCodeForComment = 0x8A8A8A8A;

struct IPRecordEntry {
  std::string user;
  std::string ip;
  std::string comment;
  std::int32_t port = 0;
  bool operator==(const IPRecordEntry&) const = default;
};

// One record into its 400 bytes (texts cut to 127 characters, the rest of each field zero).
void SerializeIPRecord(const IPRecordEntry& entry, std::uint8_t (&out)[kIPRecordSize]);
std::vector<std::uint8_t> SerializeIPRecords(const std::vector<IPRecordEntry>& entries);

// Reads every whole record. False (out emptied) when any record has a wrong check code.
// A text field without a zero gives its first 127 characters.
bool ParseIPRecords(const std::uint8_t* data, std::size_t length, std::vector<IPRecordEntry>& out);

enum class IPRecordLoad { Ok, CannotOpen, Corrupt };
// Loads the file, creating it empty when it does not exist.
IPRecordLoad LoadIPRecordFile(const std::string& path, std::vector<IPRecordEntry>& out);
// Rewrites the whole file through a temporary file and a rename; on failure the old file
// stays whole.
bool SaveIPRecordFile(const std::string& path, const std::vector<IPRecordEntry>& entries);
