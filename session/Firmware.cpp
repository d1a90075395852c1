#include "session/Firmware.h"

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/Messages.h"
#include "core/Model.h"
#include "core/StringIds.h"
#include "platform/bytes.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "session/Command.h"
#include "session/Receiver.h"
#include "session/SessionRecord.h"
#include "session/Socket.h"

using plat::DWORD;

namespace fw {

bool IsFolderVariant(Variant v) { return v == Variant::ChunkFolder || v == Variant::RawFolder; }
bool IsRawVariant(Variant v) { return v == Variant::RawFolder || v == Variant::RawPackage; }

bool ChooseVariant(const std::string& productId, const std::string& firmwareVersion, Variant& out) {
  if (IsModelFamilyK41(productId)) {
    out = IsFirmwareBelow(fwgate::kUpgradeFW2DVR, firmwareVersion) ? Variant::ChunkFolder : Variant::RawFolder;
    return true;
  }
  if (IsModelK40R(productId)) {
    out = IsFirmwareBelow(fwgate::kUpgradeFW2K40, firmwareVersion) ? Variant::ChunkPackage : Variant::RawPackage;
    return true;
  }
  if (IsModelFamilyK44(productId) || IsModelK47R(productId)) {
    out = Variant::ChunkPackage;
    return true;
  }
  return false;
}

int SendCancel(Variant v) {
  const std::string session = GetSessionId();
  if (IsRawVariant(v)) {
    CCgiRequest request(CGI_CANCELUPFW);
    request.AddCookie(session);
    return ZududSendCommand(request, nullptr, 0, nullptr, nullptr, 0, nullptr, 15, 15);
  }
  CCgiRequest request(CGI_UPGRADEFW);
  request.AddParam("Upgrade", "Cancel");
  request.AddCookie(session);
  return ZududSendCommand(request, nullptr, 0, nullptr, nullptr, 0, nullptr, 15, 15);
}

}  // namespace fw

// ---- package and folder -------------------------------------------------------------------

bool ParseFirmwarePackage(const std::uint8_t* data, std::size_t size, FirmwarePackage& out) {
  out = FirmwarePackage{};
  out.dwFileSize = size;
  plat::ByteReader in(data, size);
  while (in.Remaining() > 0) {
    std::uint32_t header = 0;
    if (!in.U32(header)) return false;  // a header cut short
    const std::uint32_t length = header >> 4;
    if (in.Remaining() < length) return false;  // a payload cut short
    if (out.records.size() == fw::kMaxRecords) return false;
    FirmwareRecord record;
    record.type = static_cast<std::uint8_t>(header & 0xF);
    record.data.resize(length);
    in.Bytes(record.data.data(), length);
    out.records.push_back(std::move(record));
  }
  return !out.records.empty();
}

unsigned ReadFirmwarePackage(const std::string& path, FirmwarePackage& out) {
  out = FirmwarePackage{};
  std::FILE* f = std::fopen(plat::MapPath(path).c_str(), "rb");
  if (!f) return IDS_OPEN_FIRMWARE_FAILED;
  std::vector<std::uint8_t> bytes;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  ok = ok && size >= 0 && static_cast<std::uint64_t>(size) < fw::kMaxPackageSize && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size));
    ok = bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
  }
  std::fclose(f);
  if (!ok || !ParseFirmwarePackage(bytes.data(), bytes.size(), out)) {
    out = FirmwarePackage{};
    return IDS_READ_FIRMWARE_FAILED;
  }
  return 0;
}

bool MakeFirmwareFileTable(const std::string& productId, FirmwareFileTable& table) {
  static const char* const kKernel[] = {"KERNEL16.BIN", "KERNEL8.BIN", "KERNEL4.BIN"};
  static const char* const kRest[] = {"BOOT.BIN",   "MCU.BIN",    "ZQ087.BIN",  "ZQ008.BIN",  "HTML.BIN",
                                      "LANGU1.GZ",  "LANGU2.GZ",  "LANGU3.GZ",  "LANGU4.GZ",  "LANGU5.GZ",
                                      "LANGU6.GZ",  "LANGU7.GZ",  "LANGU8.GZ",  "LANGU9.GZ",  "LANGU10.GZ",
                                      "LANGU11.GZ", "PLAYER.BIN"};
  int model = -1;
  if (productId == "K41R") model = 0;
  if (productId == "K42R") model = 1;
  if (productId == "K43R") model = 2;
  if (model < 0) return false;
  table = FirmwareFileTable{};
  table[0].pszName = kKernel[model];
  for (std::size_t i = 0; i < std::size(kRest); ++i) table[i + 1].pszName = kRest[i];
  return true;
}

void ResetFirmwareFileTable(FirmwareFileTable& table) {
  for (FirmwareFileRow& row : table) {
    row.fLoaded = false;
    row.dwSize = 0;
    std::vector<std::uint8_t>().swap(row.data);
  }
}

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The folder's file names by their upper-case spelling.
std::vector<std::pair<std::string, std::string>> ListFolder(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> names;
  DIR* dir = ::opendir(plat::MapPath(folder).c_str());
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir)) names.emplace_back(Upper(entry->d_name), entry->d_name);
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

int LoadFirmwareFolder(const std::string& folder, FirmwareFileTable& table, std::uint64_t& total) {
  ResetFirmwareFileTable(table);
  total = 0;
  int count = 0;
  const auto names = ListFolder(folder);
  const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  for (FirmwareFileRow& row : table) {
    if (!row.pszName) break;
    const std::string wanted = row.pszName;
    auto it = std::lower_bound(names.begin(), names.end(), std::make_pair(wanted, std::string()));
    if (it == names.end() || it->first != wanted) continue;
    std::vector<std::uint8_t> bytes;
    if (!plat::ReadWholeFile(base + it->second, bytes, fw::kMaxPackageSize)) continue;
    row.data = std::move(bytes);
    row.dwSize = static_cast<std::uint32_t>(row.data.size());
    row.fLoaded = true;
    total += row.dwSize;
    ++count;
  }
  return count;
}

// ---- the upload threads ------------------------------------------------------------------

namespace {

// One component to send: its bytes and the type it goes under.
struct Component {
  const std::vector<std::uint8_t>* data = nullptr;
  int typeNumber = 0;     // row index (folders) or raw number (raw package)
  std::string typeName;   // chunked package: "BOOT", "KERNEL", "HTML" or the one before
};

std::vector<Component> ComponentsOf(const FirmwareUploadJob& job) {
  std::vector<Component> out;
  if (fw::IsFolderVariant(job.variant)) {
    for (std::size_t i = 0; i < job.table.size(); ++i)
      if (job.table[i].pszName && job.table[i].fLoaded) out.push_back({&job.table[i].data, static_cast<int>(i), {}});
    return out;
  }
  // Records of an unnamed type go under the type of the record before them.
  int number = 0;
  std::string name;
  for (const FirmwareRecord& r : job.package.records) {
    switch (r.type) {
      case 0: number = 1, name = "BOOT"; break;
      case 1: number = 0, name = "KERNEL"; break;
      case 4: number = 2, name = "HTML"; break;
      default: break;
    }
    out.push_back({&r.data, number, name});
  }
  return out;
}

CSockAddr RecorderAddress() {
  ::CSettingINI& settings = g_lpSession->CSettingINI;
  const std::string server = settings.m_strServerName.Get();
  const plat::WORD port = settings.m_wWebPort.load();
  if (server.empty()) throw CBlockingSocketException("Connect");
  if (IsIPAddressString(server) == 2) return CSockAddr(server.c_str(), port);
  return CBlockingSocket::GetHostByName(server.c_str(), port);
}

enum class Outcome { Done, UploadFailed, KeepAliveFailed, Stopped };

class Upload {
 public:
  explicit Upload(std::unique_ptr<FirmwareUploadJob> job) : job_(std::move(job)) {}

  DWORD Run() {
    const Outcome outcome = Transfer();
    keepAlive_.Cleanup();  // closed on every path
    switch (outcome) {
      case Outcome::Stopped: return 0;
      case Outcome::Done:
        Post(fw::kMsgMessageBox, IDS_OVERWRITE_FLASH_NOW);
        Progress(0, false);
        FreeData();
        Post(WM_UPGRADEEND);
        Post(WM_UPGRADECLOSE);
        plat::Sleep(1000);
        return 0;
      case Outcome::KeepAliveFailed:
        Post(fw::kMsgMessageBox, IDS_UPGRADE_FIRMWARE_ERROR);
        Post(WM_UPGRADEEND);
        Progress(0, false);
        FreeData();
        return 1;
      case Outcome::UploadFailed:
        Post(fw::kMsgMessageBox, IDS_UPGRADE_FIRMWARE_ERROR);
        Post(WM_UPGRADEEND);
        Progress(0, false);
        FreeData();
        // A failed raw package upload leaves the dialog open to try again.
        if (job_->variant == fw::Variant::RawPackage) return 1;
        Post(WM_UPGRADECLOSE);
        plat::Sleep(1000);
        return 1;
    }
    return 1;
  }

 private:
  void Post(unsigned msg, plat::WPARAM w = 0, plat::LPARAM l = 0) { plat::PostMessage(job_->dialog, msg, w, l); }
  void Progress(int percent, bool shown) { Post(fw::kMsgProgress, static_cast<plat::WPARAM>(percent), shown ? 1 : 0); }
  void FreeData() {
    job_->package = FirmwarePackage{};
    ResetFirmwareFileTable(job_->table);
  }
  bool StopRequested() const {
    return fw::IsFolderVariant(job_->variant) && job_->stopEvent &&
           plat::WaitForSingleObject(job_->stopEvent, 0) == plat::WAIT_OBJECT_0;
  }
  void AddSent(std::uint64_t n) {
    sent_ += n;
    const std::uint64_t total = job_->total ? job_->total : 1;
    Progress(static_cast<int>(std::min<std::uint64_t>(sent_ * 100 / total, 100)), true);
  }

  bool OpenKeepAlive() {
    try {
      keepAlive_.Create();
      if (job_->variant == fw::Variant::RawFolder) {
        const int size = 2048;
        ::setsockopt(keepAlive_.Handle(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
      }
      keepAlive_.Connect(RecorderAddress(), 10);
      const std::string head = BuildGetVideoRequest(GetSessionId(), g_strLocalIP.Get(), "&Fake=1");
      if (head.empty()) return false;
      keepAlive_.WriteAll(head.data(), head.size(), 10);
    } catch (const CBlockingSocketException&) {
      return false;
    }
    return true;
  }

  Outcome Transfer() {
    if (!OpenKeepAlive()) return Outcome::KeepAliveFailed;
    if (job_->settleAfterKeepAliveMs) plat::Sleep(job_->settleAfterKeepAliveMs);
    const bool folder = fw::IsFolderVariant(job_->variant);
    if (folder) Post(WM_UPGRADEBEGIN);
    const std::vector<Component> components = ComponentsOf(*job_);
    // The reboot flag rides on the last component that has bytes to send.
    std::size_t lastWithData = components.size();
    for (std::size_t i = 0; i < components.size(); ++i)
      if (!components[i].data->empty()) lastWithData = i;
    for (std::size_t i = 0; i < components.size(); ++i) {
      if (StopRequested()) return Outcome::Stopped;
      if (!folder) Post(WM_UPGRADEBEGIN);
      const Outcome o = fw::IsRawVariant(job_->variant) ? SendRaw(components[i], i == lastWithData)
                                                         : SendChunked(components[i], i == lastWithData);
      if (o != Outcome::Done) return o;
    }
    return Outcome::Done;
  }

  Outcome SendChunked(const Component& c, bool last) {
    const std::vector<std::uint8_t>& data = *c.data;
    const std::uint64_t size = data.size();
    const DWORD chunk = job_->package.dwChunkSize ? job_->package.dwChunkSize : fw::kChunkSize;
    const std::uint32_t count = static_cast<std::uint32_t>((size + chunk - 1) / chunk);
    const std::string session = GetSessionId();
    std::uint64_t offset = 0;
    for (std::uint32_t index = 0; index < count; ++index) {
      if (StopRequested()) return Outcome::Stopped;
      const DWORD n = static_cast<DWORD>(std::min<std::uint64_t>(chunk, size - offset));
      CCgiRequest request(CGI_UPGRADEFW);
      if (index == 0) {
        request.AddParam("Upgrade", "Start");
        request.AddParam("FileSize", std::to_string(size));
        if (job_->variant == fw::Variant::ChunkFolder) request.AddParamInt("Type", c.typeNumber);
      } else if (index == count - 1) {
        request.AddParam("Upgrade", "Finished");
        request.AddParam("Type", job_->variant == fw::Variant::ChunkFolder ? std::to_string(c.typeNumber) : c.typeName);
        if (last) request.AddParam("Reboot", "1");
      }
      request.AddCookie(session);
      CgiReplyRecord reply;
      if (!ZududSendCommand(request, data.data() + offset, n, &reply, nullptr, 0, nullptr, 15, 15)) {
        // A last chunk whose connection broke without a status counts as delivered.
        if (index + 1 < count || reply.dwStatus != 0) return Outcome::UploadFailed;
      }
      offset += n;
      AddSent(n);
    }
    return Outcome::Done;
  }

  Outcome SendRaw(const Component& c, bool last) {
    const std::vector<std::uint8_t>& data = *c.data;
    if (data.empty()) return Outcome::Done;  // nothing to send, no head
    const plat::WORD writeTimeout = job_->variant == fw::Variant::RawFolder ? 40 : 10;
    CBlockingSocket up;
    try {
      up.Create();
      up.Connect(RecorderAddress(), writeTimeout);
      const std::string target = "/UpgradeFW2.cgi?Cookie=" + GetSessionId() + "&FILESIZE=" + std::to_string(data.size()) +
               "&Type=" + std::to_string(c.typeNumber) + (last ? "&REBOOT=1" : "");
      const std::string head = BuildCommandHead(target.data(), target.size(), false, 0, g_strLocalIP.Get());
      if (head.empty()) return Outcome::UploadFailed;
      up.WriteAll(head.data(), head.size(), writeTimeout);
      if (job_->settleAfterHeadMs) plat::Sleep(job_->settleAfterHeadMs);
      std::size_t offset = 0;
      while (offset < data.size()) {
        if (StopRequested()) return Outcome::Stopped;
        const std::size_t n = std::min(fw::kRawWriteSize, data.size() - offset);
        up.WriteAll(data.data() + offset, n, writeTimeout);
        offset += n;
        AddSent(n);
      }
    } catch (const CBlockingSocketException&) {
      return Outcome::UploadFailed;
    }
    std::uint8_t answer[512];
    up.Receive(answer, sizeof answer, 15);  // whatever the recorder says is not looked at
    up.Cleanup();
    return Outcome::Done;
  }

  std::unique_ptr<FirmwareUploadJob> job_;
  CBlockingSocket keepAlive_;
  std::uint64_t sent_ = 0;
};

DWORD RunVariant(std::unique_ptr<FirmwareUploadJob> job, fw::Variant variant) {
  if (!job) return 1;
  job->variant = variant;
  Upload upload(std::move(job));
  return upload.Run();
}

}  // namespace

DWORD UpgradeFW_Chunk_Thread(std::unique_ptr<FirmwareUploadJob> job) {
  return RunVariant(std::move(job), fw::Variant::ChunkFolder);
}

DWORD UpgradeFW2_Thread(std::unique_ptr<FirmwareUploadJob> job) {
  if (job) job->settleAfterHeadMs = 3000;
  return RunVariant(std::move(job), fw::Variant::RawFolder);
}

DWORD UpgradeFW_Package_Thread(std::unique_ptr<FirmwareUploadJob> job) {
  return RunVariant(std::move(job), fw::Variant::ChunkPackage);
}

DWORD UpgradeFW2_Package_Thread(std::unique_ptr<FirmwareUploadJob> job) {
  if (job) job->settleAfterKeepAliveMs = job->settleAfterHeadMs = 2000;
  return RunVariant(std::move(job), fw::Variant::RawPackage);
}

plat::HANDLE StartFirmwareUpload(std::unique_ptr<FirmwareUploadJob> job) {
  if (!job) return 0;
  using Body = DWORD (*)(std::unique_ptr<FirmwareUploadJob>);
  Body body = nullptr;
  const char* name = nullptr;
  switch (job->variant) {
    case fw::Variant::ChunkFolder: body = &UpgradeFW_Chunk_Thread, name = "fw-chunk"; break;
    case fw::Variant::RawFolder: body = &UpgradeFW2_Thread, name = "fw2-folder"; break;
    case fw::Variant::ChunkPackage: body = &UpgradeFW_Package_Thread, name = "fw-package"; break;
    case fw::Variant::RawPackage: body = &UpgradeFW2_Package_Thread, name = "fw2-package"; break;
  }
  // The thread owns the job; a shared holder hands it over exactly once.
  auto holder = std::make_shared<std::unique_ptr<FirmwareUploadJob>>(std::move(job));
  return plat::CreateThread([holder, body]() -> DWORD { return body(std::move(*holder)); }, nullptr, name);
}
