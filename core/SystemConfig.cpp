#include "core/SystemConfig.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/RecordState.h"
#include "platform/bytes.h"
#include "platform/files.h"

using namespace plat;

SystemConfig g_SystemConfig;

namespace {

constexpr std::size_t kMaxRecordsInHeader = 0xFFFF;
constexpr std::size_t kMaxFileBytes = kAlarmDBHeaderSize + kMaxRecordsInHeader * kAlarmDBItemSize;

enum class ReadResult { Ok, Missing, Unreadable };

// Reads at most kMaxFileBytes of the list (more can never be part of it).
ReadResult ReadList(const std::string& path, std::vector<std::uint8_t>& out) {
  out.clear();
  if (!FileExists(path)) return ReadResult::Missing;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return ReadResult::Unreadable;
  std::uint8_t chunk[65536];
  for (;;) {
    const std::size_t want = std::min(sizeof chunk, kMaxFileBytes - out.size());
    if (want == 0) break;
    const std::size_t n = std::fread(chunk, 1, want, f);
    out.insert(out.end(), chunk, chunk + n);
    if (n < want) break;
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  return failed ? ReadResult::Unreadable : ReadResult::Ok;
}

bool WriteList(const std::string& path, const std::vector<AlarmDBItem>& items) {
  const std::vector<std::uint8_t> image = BuildAlarmDB(items);
  return WriteFileAtomic(path, image.data(), image.size());
}

// A recording counts as found when it exists and can be read (a read-only copy on a disc or a
// share plays as well as any other).
bool CanOpenForReadWrite(const char* path) {
  if (path[0] == '\0') return false;
  const int fd = ::open(MapPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Layout

void CopyAlarmDBText(char* field, std::size_t size, const std::string& text) {
  std::memset(field, 0, size);
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(field, text.data(), n);
}

void WriteAlarmDBHeader(const AlarmDBHeader& h, std::uint8_t* out) {
  ByteWriter w(out, kAlarmDBHeaderSize);
  w.U16(h.wMagic);
  w.U16(h.wCount);
}

AlarmDBHeader ReadAlarmDBHeader(const std::uint8_t* in) {
  AlarmDBHeader h;
  ByteReader r(in, kAlarmDBHeaderSize);
  r.U16(h.wMagic);
  r.U16(h.wCount);
  return h;
}

void WriteAlarmDBItem(const AlarmDBItem& item, std::uint8_t* out) {
  std::memset(out, 0, kAlarmDBItemSize);
  ByteWriter w(out, kAlarmDBItemSize);
  w.U16(item.wIndex);
  w.U8(0);
  w.U8(item.byFlags);
  for (WORD v : item.stStartTime) w.U16(v);
  // The texts are written up to their zero; the rest of each field stays zero.
  const std::size_t nameLen = strnlen(item.szFileName, kAlarmDBFileNameSize - 1);
  std::memcpy(out + 20, item.szFileName, nameLen);
  w.U32At(280, item.dwFrames);
  const std::size_t ipLen = strnlen(item.szServerIP, kAlarmDBServerIPSize - 1);
  std::memcpy(out + 284, item.szServerIP, ipLen);
}

AlarmDBItem ReadAlarmDBItem(const std::uint8_t* in) {
  AlarmDBItem item;
  ByteReader r(in, kAlarmDBItemSize);
  r.U16(item.wIndex);
  r.U8(item.byReserved);
  r.U8(item.byFlags);
  for (WORD& v : item.stStartTime) r.U16(v);
  std::memcpy(item.szFileName, in + 20, kAlarmDBFileNameSize);
  item.szFileName[kAlarmDBFileNameSize - 1] = '\0';
  r.U32At(280, item.dwFrames);
  std::memcpy(item.szServerIP, in + 284, kAlarmDBServerIPSize);
  item.szServerIP[kAlarmDBServerIPSize - 1] = '\0';
  return item;
}

AlarmDBParse ParseAlarmDB(const std::uint8_t* data, std::size_t size, AlarmDBHeader& header,
                          std::vector<AlarmDBItem>& items) {
  items.clear();
  header = AlarmDBHeader{};
  if (data == nullptr || size < kAlarmDBHeaderSize) return AlarmDBParse::TooShort;
  header = ReadAlarmDBHeader(data);
  if (header.wMagic != kAlarmDBMagic) return AlarmDBParse::BadMagic;
  const std::size_t present = (size - kAlarmDBHeaderSize) / kAlarmDBItemSize;
  const std::size_t n = std::min<std::size_t>(header.wCount, present);
  items.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    items.push_back(ReadAlarmDBItem(data + kAlarmDBHeaderSize + i * kAlarmDBItemSize));
  }
  return AlarmDBParse::Ok;
}

std::vector<std::uint8_t> BuildAlarmDB(const std::vector<AlarmDBItem>& items) {
  const std::size_t n = std::min(items.size(), kMaxRecordsInHeader);
  std::vector<std::uint8_t> image(kAlarmDBHeaderSize + n * kAlarmDBItemSize);
  WriteAlarmDBHeader({kAlarmDBMagic, static_cast<WORD>(n)}, image.data());
  for (std::size_t i = 0; i < n; ++i) {
    WriteAlarmDBItem(items[i], image.data() + kAlarmDBHeaderSize + i * kAlarmDBItemSize);
  }
  return image;
}

// ---------------------------------------------------------------------------------------
// SystemConfig

SystemConfig::SystemConfig() = default;
SystemConfig::~SystemConfig() = default;

std::string SystemConfig::DefaultFileName() {
  const ICoreRecord* r = CoreRecord();
  std::string folder = r ? r->ProgramPath() : std::string();
  if (folder.empty()) folder = ProgramFolder();
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  return folder + kAlarmDBFileName;
}

std::string SystemConfig::GetFileName() const {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  return m_strFileName;
}

void SystemConfig::SetFileName(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  m_strFileName = path;
}

AlarmDBHeader SystemConfig::GetHeader() const {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  return m_AlarmDBHeader;
}

AlarmDBItem SystemConfig::GetPendingItem() const {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  return m_PendingItem;
}

BOOL SystemConfig::AlarmDB_SetFileName(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  m_PendingItem = AlarmDBItem{};
  CopyAlarmDBText(m_PendingItem.szFileName, kAlarmDBFileNameSize, path);
  return 1;
}

void SystemConfig::AlarmDB_SetStartTime(const WORD (&t)[8]) {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  for (int i = 0; i < 8; ++i) m_PendingItem.stStartTime[i] = t[i];
  m_PendingItem.stStartTime[2] = 0;  // day of week
  m_PendingItem.stStartTime[7] = 0;  // milliseconds
}

BOOL SystemConfig::AlarmDB_AddItem(DWORD frames, const std::string& serverAddress) {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  m_PendingItem.wIndex = m_AlarmDBHeader.wCount;
  m_AlarmDBHeader.wCount = static_cast<WORD>(m_AlarmDBHeader.wCount + 1);
  m_PendingItem.dwFrames = frames;
  CopyAlarmDBText(m_PendingItem.szServerIP, kAlarmDBServerIPSize, serverAddress);
  m_strFileName = DefaultFileName();

  std::vector<std::uint8_t> image;
  const ReadResult rr = ReadList(m_strFileName, image);
  if (rr == ReadResult::Unreadable) return 0;
  if (rr == ReadResult::Missing) {
    m_AlarmDBHeader = {kAlarmDBMagic, 1};
    return WriteList(m_strFileName, {m_PendingItem}) ? 1 : 0;
  }
  AlarmDBHeader header;
  std::vector<AlarmDBItem> items;
  // Not an alarm list (or too short to say): leave the file exactly as it is.
  if (ParseAlarmDB(image.data(), image.size(), header, items) != AlarmDBParse::Ok) return 0;
  if (items.size() >= kAlarmDBMaxItems) items.erase(items.begin());
  items.push_back(m_PendingItem);
  return WriteList(m_strFileName, items) ? 1 : 0;
}

BOOL SystemConfig::AlarmDB_AllocateBuffer() {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  m_nLoadedCount = m_AlarmDBHeader.wCount;
  m_lpAlarmDBItem_Struct.reset(m_nLoadedCount ? new AlarmDBItem[m_nLoadedCount]() : nullptr);
  return 1;
}

BOOL SystemConfig::AlarmDB_FreeBuffer() {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  m_lpAlarmDBItem_Struct.reset();
  m_nLoadedCount = 0;
  return 1;
}

BOOL SystemConfig::AlarmDB_CloseFile() {
  m_hFile = 0;
  return 1;
}

BOOL SystemConfig::AlarmDB_RemoveMarkedItems() {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  if (m_fDeletePending.load() == 0) return 1;
  if (m_strFileName.empty()) m_strFileName = DefaultFileName();

  const AlarmDBItem* loaded = m_lpAlarmDBItem_Struct.get();
  auto markedName = [&](const char* name) {
    for (std::size_t i = 0; i < m_nLoadedCount; ++i) {
      if ((loaded[i].byFlags & ALARMDB_MARKED_DELETE) != 0 &&
          std::strcmp(loaded[i].szFileName, name) == 0) {
        return true;
      }
    }
    return false;
  };

  std::vector<AlarmDBItem> kept;
  std::vector<std::uint8_t> image;
  const ReadResult rr = ReadList(m_strFileName, image);
  if (rr == ReadResult::Unreadable) return 0;
  if (rr == ReadResult::Missing) {
    for (std::size_t i = 0; i < m_nLoadedCount; ++i) {
      if ((loaded[i].byFlags & ALARMDB_MARKED_DELETE) == 0) kept.push_back(loaded[i]);
    }
  } else {
    AlarmDBHeader header;
    std::vector<AlarmDBItem> items;
    // Something that is not an alarm list is not rewritten as one.
    if (ParseAlarmDB(image.data(), image.size(), header, items) != AlarmDBParse::Ok) return 0;
    for (const AlarmDBItem& item : items) {
      if (!markedName(item.szFileName)) kept.push_back(item);
    }
  }
  if (!WriteList(m_strFileName, kept)) return 0;
  m_fDeletePending.store(0);
  m_lpAlarmDBItem_Struct.reset();
  m_nLoadedCount = 0;
  return 1;
}

AlarmDBLoad SystemConfig::AlarmDB_LoadFile() {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  m_strFileName = DefaultFileName();
  m_lpAlarmDBItem_Struct.reset();
  m_nLoadedCount = 0;

  std::vector<std::uint8_t> image;
  const ReadResult rr = ReadList(m_strFileName, image);
  if (rr == ReadResult::Missing) {
    WriteList(m_strFileName, {});
    m_AlarmDBHeader = {kAlarmDBMagic, 0};
    return AlarmDBLoad::Created;
  }
  AlarmDBHeader header;
  std::vector<AlarmDBItem> items;
  const AlarmDBParse pr = rr == ReadResult::Ok
                              ? ParseAlarmDB(image.data(), image.size(), header, items)
                              : AlarmDBParse::TooShort;
  if (pr != AlarmDBParse::Ok) {
    // Not an alarm list (or a cut one): set aside whole for the operator, never deleted, and
    // an empty list started in its place.
    const std::string aside = m_strFileName + ".bad";
    std::remove(aside.c_str());
    std::rename(m_strFileName.c_str(), aside.c_str());
    WriteList(m_strFileName, {});
    m_AlarmDBHeader = {kAlarmDBMagic, 0};
    return pr == AlarmDBParse::BadMagic ? AlarmDBLoad::BadMagic : AlarmDBLoad::ReadFailed;
  }
  // The running number continues from the records the file really holds, not from a count
  // its header may overstate.
  m_AlarmDBHeader = {header.wMagic, static_cast<WORD>(items.size())};
  m_nLoadedCount = items.size();
  if (m_nLoadedCount != 0) {
    m_lpAlarmDBItem_Struct.reset(new AlarmDBItem[m_nLoadedCount]());
    for (std::size_t i = 0; i < m_nLoadedCount; ++i) {
      AlarmDBItem& it = m_lpAlarmDBItem_Struct[i];
      it = items[i];
      it.byFlags = CanOpenForReadWrite(it.szFileName) ? 0 : ALARMDB_FILE_MISSING;
    }
  }
  return AlarmDBLoad::Loaded;
}

std::vector<AlarmDBItem> SystemConfig::AlarmDB_LoadedItems() const {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  std::vector<AlarmDBItem> out;
  for (std::size_t i = 0; i < m_nLoadedCount; ++i) out.push_back(m_lpAlarmDBItem_Struct[i]);
  return out;
}

std::size_t SystemConfig::AlarmDB_LoadedCount() const {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  return m_nLoadedCount;
}

bool SystemConfig::AlarmDB_SetItemFlags(std::size_t index, BYTE flags) {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  if (index >= m_nLoadedCount) return false;
  m_lpAlarmDBItem_Struct[index].byFlags = flags;
  return true;
}

bool SystemConfig::AlarmDB_MarkAllForDeletion() {
  std::lock_guard<std::mutex> lock(m_hLockSem);
  for (std::size_t i = 0; i < m_nLoadedCount; ++i) m_lpAlarmDBItem_Struct[i].byFlags = ALARMDB_MARKED_DELETE;
  return m_nLoadedCount != 0;
}
