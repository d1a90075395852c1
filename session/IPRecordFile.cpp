#include "session/IPRecordFile.h"

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "platform/files.h"

namespace o = iprecord_offset;

namespace {

void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void PutText(std::uint8_t* p, const std::string& text) {
  const std::size_t n = text.size() < kIPRecordTextField - 1 ? text.size() : kIPRecordTextField - 1;
  for (std::size_t i = 0; i < kIPRecordTextField; ++i) p[i] = i < n ? static_cast<std::uint8_t>(text[i]) : 0;
}
std::string GetText(const std::uint8_t* p) {
  std::size_t n = 0;
  while (n < kIPRecordTextField - 1 && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

}  // namespace

void SerializeIPRecord(const IPRecordEntry& e, std::uint8_t (&out)[kIPRecordSize]) {
  Put32(out + o::kCheckUser, kCheckCodeForUser);
  PutText(out + o::kUserName, e.user);
  Put32(out + o::kCheckIP, kCheckCodeForIP);
  PutText(out + o::kIPAddress, e.ip);
  Put32(out + o::kCheckComment, kCheckCodeForComment);
  PutText(out + o::kComment, e.comment);
  Put32(out + o::kMajorPort, static_cast<std::uint32_t>(e.port));
}

std::vector<std::uint8_t> SerializeIPRecords(const std::vector<IPRecordEntry>& entries) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(entries.size() * kIPRecordSize);
  for (const auto& e : entries) {
    std::uint8_t record[kIPRecordSize];
    SerializeIPRecord(e, record);
    bytes.insert(bytes.end(), record, record + kIPRecordSize);
  }
  return bytes;
}

bool ParseIPRecords(const std::uint8_t* data, std::size_t length, std::vector<IPRecordEntry>& out) {
  out.clear();
  if (data == nullptr) return length == 0;
  const std::size_t count = length / kIPRecordSize;
  std::vector<IPRecordEntry> entries;
  entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* r = data + i * kIPRecordSize;
    if (Get32(r + o::kCheckUser) != kCheckCodeForUser || Get32(r + o::kCheckIP) != kCheckCodeForIP ||
        Get32(r + o::kCheckComment) != kCheckCodeForComment) {
      return false;
    }
    IPRecordEntry e;
    e.user = GetText(r + o::kUserName);
    e.ip = GetText(r + o::kIPAddress);
    e.comment = GetText(r + o::kComment);
    e.port = static_cast<std::int32_t>(Get32(r + o::kMajorPort));
    entries.push_back(std::move(e));
  }
  out = std::move(entries);
  return true;
}

IPRecordLoad LoadIPRecordFile(const std::string& path, std::vector<IPRecordEntry>& out) {
  out.clear();
  if (!plat::FileExists(path)) {
    // Created empty, as the book has never been written.
    std::ofstream create(path, std::ios::binary | std::ios::app);
    return create ? IPRecordLoad::Ok : IPRecordLoad::CannotOpen;
  }
  std::vector<std::uint8_t> bytes;
  if (!plat::ReadWholeFile(path, bytes)) return IPRecordLoad::CannotOpen;
  return ParseIPRecords(bytes.data(), bytes.size(), out) ? IPRecordLoad::Ok : IPRecordLoad::Corrupt;
}

bool SaveIPRecordFile(const std::string& path, const std::vector<IPRecordEntry>& entries) {
  const std::vector<std::uint8_t> bytes = SerializeIPRecords(entries);
  return plat::WriteFileAtomic(path, bytes.data(), bytes.size());
}
