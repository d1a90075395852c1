// The alarm list: "AlarmData.dat" in the program folder, one 316-byte record per alarm
// recording behind a 4-byte header {magic 0x9987, count}, at most 1024 records written by
// the client (the oldest is dropped when a full list grows). The alarm recorder adds an
// entry when an alarm recording ends; the alarm-list page loads the list, marks entries
// whose recording file is gone and deletes entries.
//
// Every rewrite goes through a temporary file and a rename, so a failure leaves the former
// list whole. A header that claims more records than the file holds is believed only as far
// as the file's size allows.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include "platform/types.h"

constexpr plat::WORD kAlarmDBMagic = 0x9987;
constexpr std::size_t kAlarmDBHeaderSize = 4;
constexpr std::size_t kAlarmDBItemSize = 316;
constexpr std::size_t kAlarmDBMaxItems = 1024;
constexpr std::size_t kAlarmDBFileNameSize = 260;  // 259 characters and a zero
constexpr std::size_t kAlarmDBServerIPSize = 32;   // 31 characters and a zero
constexpr const char* kAlarmDBFileName = "AlarmData.dat";

// byFlags bits.
constexpr plat::BYTE ALARMDB_FILE_MISSING = 0x01;  // the recording was not found at load
constexpr plat::BYTE ALARMDB_MARKED_DELETE = 0x02;

struct AlarmDBHeader {
  plat::WORD wMagic = 0;
  plat::WORD wCount = 0;
};

// One record. Offsets in the file: wIndex 0, zero byte 2, byFlags 3, stStartTime 4 (eight
// 16-bit values: year, month, day of week, day, hour, minute, second, milliseconds),
// szFileName 20 (260), dwFrames 280, szServerIP 284 (32).
struct AlarmDBItem {
  plat::WORD wIndex = 0;
  plat::BYTE byReserved = 0;
  plat::BYTE byFlags = 0;
  plat::WORD stStartTime[8] = {};
  char szFileName[kAlarmDBFileNameSize] = {};
  plat::DWORD dwFrames = 0;
  char szServerIP[kAlarmDBServerIPSize] = {};
};

// Layout helpers (little-endian, field by field).
void WriteAlarmDBHeader(const AlarmDBHeader& h, std::uint8_t* out);  // 4 bytes
AlarmDBHeader ReadAlarmDBHeader(const std::uint8_t* in);             // 4 bytes
void WriteAlarmDBItem(const AlarmDBItem& item, std::uint8_t* out);   // 316 bytes
// Reads 316 bytes; both texts are cut to leave their terminating zero.
AlarmDBItem ReadAlarmDBItem(const std::uint8_t* in);
// Copies text into a fixed field, cut to size - 1 characters, the rest zero.
void CopyAlarmDBText(char* field, std::size_t size, const std::string& text);

enum class AlarmDBParse { Ok, TooShort, BadMagic };
// Reads a whole file image: the header, then as many whole records as both the header and
// the bytes present allow (never more than 65535).
AlarmDBParse ParseAlarmDB(const std::uint8_t* data, std::size_t size, AlarmDBHeader& header,
                          std::vector<AlarmDBItem>& items);
// The file image of a list.
std::vector<std::uint8_t> BuildAlarmDB(const std::vector<AlarmDBItem>& items);

// Results of AlarmDB_LoadFile (the alarm-list page's load).
enum class AlarmDBLoad {
  Loaded,      // the list (possibly empty) is in the loaded array
  Created,     // the file was missing and has been created empty
  // The header could not be read ("Read alarm database file is failed") or the file was not an
  // alarm list: either way it was renamed "<list>.bad" and an empty list started.
  ReadFailed,
  BadMagic,
};

class SystemConfig {
 public:
  SystemConfig();
  ~SystemConfig();
  SystemConfig(const SystemConfig&) = delete;
  SystemConfig& operator=(const SystemConfig&) = delete;

  // Starts the entry of a new alarm recording: clears the pending entry, keeps the path of
  // its first file (cut to 259 characters).
  plat::BOOL AlarmDB_SetFileName(const std::string& path);
  // The start time of the pending entry (year, month, 0, day, hour, minute, second, 0); day
  // of week and milliseconds are always stored as 0.
  void AlarmDB_SetStartTime(const plat::WORD (&t)[8]);
  // Appends the pending entry with its frame count and the recorder's address (cut to 31
  // characters). 1 when written; 0 when the existing file is not an alarm list (left as it
  // is) or cannot be rewritten.
  plat::BOOL AlarmDB_AddItem(plat::DWORD frames, const std::string& serverAddress);
  // Allocates a zeroed loaded array of m_AlarmDBHeader.wCount entries (the former array is
  // freed).
  plat::BOOL AlarmDB_AllocateBuffer();
  plat::BOOL AlarmDB_FreeBuffer();
  // Files are opened and closed within each operation; kept for the callers that close.
  plat::BOOL AlarmDB_CloseFile();
  // When m_fDeletePending is set: rewrites the file without every record whose path is that
  // of a loaded entry marked for deletion; clears the flag and frees the loaded array.
  plat::BOOL AlarmDB_RemoveMarkedItems();

  // The alarm-list page's load: forms the list's path, creates a missing file empty, reads
  // the header and the records into the loaded array and sets each entry's
  // ALARMDB_FILE_MISSING bit by whether its recording file exists and can be read. A file
  // whose header cannot be read or whose magic is wrong is set aside as "<list>.bad".
  AlarmDBLoad AlarmDB_LoadFile();

  // The loaded array (copies) and access to single entries' flags for the page.
  std::vector<AlarmDBItem> AlarmDB_LoadedItems() const;
  std::size_t AlarmDB_LoadedCount() const;
  bool AlarmDB_SetItemFlags(std::size_t index, plat::BYTE flags);
  bool AlarmDB_MarkAllForDeletion();

  // The path of the list: the settings' program folder (or the platform's) joined with
  // "AlarmData.dat".
  static std::string DefaultFileName();
  std::string GetFileName() const;
  void SetFileName(const std::string& path);
  AlarmDBHeader GetHeader() const;
  AlarmDBItem GetPendingItem() const;

  std::atomic<std::int32_t> m_fDeletePending{0};

 private:
  mutable std::mutex m_hLockSem;  // one file operation at a time
  std::string m_strFileName;
  plat::HANDLE m_hFile = 0;
  AlarmDBHeader m_AlarmDBHeader;  // wCount: the running sequence number stamped on additions
  AlarmDBItem m_PendingItem;
  // The entries the page has loaded; their number is kept apart from the running number.
  std::unique_ptr<AlarmDBItem[]> m_lpAlarmDBItem_Struct;
  std::size_t m_nLoadedCount = 0;
};

extern SystemConfig g_SystemConfig;
