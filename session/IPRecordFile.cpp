#include "session/IPRecordFile.h"

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "platform/bytes.h"
#include "platform/files.h"

namespace o = iprecord_offset;

namespace {

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
  plat::ByteWriter w(out, kIPRecordSize);
  w.U32At(o::kCheckUser, kCheckCodeForUser);
  PutText(out + o::kUserName, e.user);
  w.U32At(o::kCheckIP, kCheckCodeForIP);
  PutText(out + o::kIPAddress, e.ip);
  w.U32At(o::kCheckComment, kCheckCodeForComment);
  PutText(out + o::kComment, e.comment);
  w.U32At(o::kMajorPort, static_cast<std::uint32_t>(e.port));
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
    plat::ByteReader fields(r, kIPRecordSize);
    std::uint32_t checkUser = 0, checkIP = 0, checkComment = 0, port = 0;
    fields.U32At(o::kCheckUser, checkUser);
    fields.U32At(o::kCheckIP, checkIP);
    fields.U32At(o::kCheckComment, checkComment);
    fields.U32At(o::kMajorPort, port);
    if (checkUser != kCheckCodeForUser || checkIP != kCheckCodeForIP || checkComment != kCheckCodeForComment) {
      return false;
    }
    IPRecordEntry e;
    e.user = GetText(r + o::kUserName);
    e.ip = GetText(r + o::kIPAddress);
    e.comment = GetText(r + o::kComment);
    e.port = static_cast<std::int32_t>(port);
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
