// Firmware for the recorder: the package file (typed records back to back), the component
// files of a recorder's firmware folder, and the four upload threads that carry them to the
// recorder (chunked /UpgradeFW.cgi requests or raw /UpgradeFW2.cgi uploads, each beside a
// silent keep-alive /Getvideo.cgi connection).
//
// A thread never touches a window: it posts its progress, its message boxes and the
// begin/end/close notices to the dialog's window handle. It owns the data it uploads.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"

namespace fw {

constexpr plat::DWORD kChunkSize = 900;       // one /UpgradeFW.cgi body
constexpr std::size_t kRawWriteSize = 1300;   // one write of a raw upload
constexpr std::size_t kMaxRecords = 255;      // the record count is a byte
constexpr std::uint64_t kMaxPackageSize = 0xFFFFFFFFull;  // sizes are 32-bit

// Posted to the dialog besides WM_UPGRADEBEGIN/END/CLOSE.
constexpr unsigned kMsgProgress = 0x1428;   // wParam: percent, lParam: 1 shown, 0 hidden
constexpr unsigned kMsgMessageBox = 0x1429;  // wParam: string id

enum class Variant {
  ChunkFolder,   // UpgradeFW_Chunk_Thread
  RawFolder,     // UpgradeFW2_Thread
  ChunkPackage,  // UpgradeFW_Package_Thread
  RawPackage,    // UpgradeFW2_Package_Thread
};

bool IsFolderVariant(Variant v);
bool IsRawVariant(Variant v);
// The variant of a model family and firmware version; false for a model that cannot be
// upgraded over the network.
bool ChooseVariant(const std::string& productId, const std::string& firmwareVersion, Variant& out);

// Sends the cancel request the variant's protocol has (/CancelUPFW.cgi for raw uploads,
// /UpgradeFW.cgi with Upgrade=Cancel for chunked ones). The request function's result.
int SendCancel(Variant v);

}  // namespace fw

struct FirmwareRecord {
  std::uint8_t type = 0;  // the header's low nibble
  std::vector<std::uint8_t> data;
};

// A loaded package: the records in file order.
struct FirmwarePackage {
  std::vector<FirmwareRecord> records;
  plat::DWORD dwChunkSize = fw::kChunkSize;
  std::uint64_t dwFileSize = 0;
  std::size_t Count() const { return records.size(); }
};

// Parses a whole package file. False (the caller shows 4057) for no record, a header or a
// payload cut short by the end of the data, or more than 255 records.
bool ParseFirmwarePackage(const std::uint8_t* data, std::size_t size, FirmwarePackage& out);
// Reads and parses a package file: 0 on success, 4047 when it cannot be opened, 4057 when it
// cannot be read, is 4 GiB or more, or does not parse.
unsigned ReadFirmwarePackage(const std::string& path, FirmwarePackage& out);

struct FirmwareFileRow {
  const char* pszName = nullptr;  // null in the row that ends the table
  bool fLoaded = false;
  std::uint32_t dwSize = 0;
  std::vector<std::uint8_t> data;
};
// The component files of a recorder's firmware folder; a row's index is its type number.
using FirmwareFileTable = std::array<FirmwareFileRow, 19>;

// The table of a recorder of the DVR family (K41R, K42R, K43R); false for other models.
bool MakeFirmwareFileTable(const std::string& productId, FirmwareFileTable& table);
void ResetFirmwareFileTable(FirmwareFileTable& table);
// Loads every named file found in `folder` (names matched in any case), in row order; a file
// that cannot be opened or read is skipped. The number of files loaded; `total` their bytes.
int LoadFirmwareFolder(const std::string& folder, FirmwareFileTable& table, std::uint64_t& total);

// One upload: what a thread carries and where it reports.
struct FirmwareUploadJob {
  fw::Variant variant = fw::Variant::ChunkPackage;
  plat::HWND dialog = 0;         // receives the posted notices
  plat::HANDLE stopEvent = 0;    // folder threads: set to stop before the next component or chunk
  FirmwarePackage package;       // package threads
  FirmwareFileTable table{};     // folder threads: the loaded rows
  std::uint64_t total = 0;       // progress denominator: file size or loaded bytes
  plat::DWORD settleAfterKeepAliveMs = 0;  // raw package uploads wait after the keep-alive
  plat::DWORD settleAfterHeadMs = 0;       // raw uploads wait after each head
};

// The thread bodies; each owns its job and frees it when it ends.
plat::DWORD UpgradeFW_Chunk_Thread(std::unique_ptr<FirmwareUploadJob> job);
plat::DWORD UpgradeFW2_Thread(std::unique_ptr<FirmwareUploadJob> job);
plat::DWORD UpgradeFW_Package_Thread(std::unique_ptr<FirmwareUploadJob> job);
plat::DWORD UpgradeFW2_Package_Thread(std::unique_ptr<FirmwareUploadJob> job);

// Starts the job's thread (its variant decides which); 0 when it cannot be started.
plat::HANDLE StartFirmwareUpload(std::unique_ptr<FirmwareUploadJob> job);
