// Firmware packages and folders, and the four upload threads against the fake recorder: the
// requests and bytes each sends, the notices it posts, and how it fails.
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <vector>

#include "core/Messages.h"
#include "core/StringIds.h"
#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "session/Firmware.h"
#include "tests/session/session_fixture.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::uint8_t> Pattern(std::size_t size, int seed) {
  std::vector<std::uint8_t> v(size);
  for (std::size_t i = 0; i < size; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + seed);
  return v;
}

std::string Text(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::vector<std::uint8_t> PackageBytes(const std::vector<FirmwareRecord>& records) {
  std::vector<std::uint8_t> out;
  for (const FirmwareRecord& r : records) {
    const std::uint32_t header = static_cast<std::uint32_t>(r.data.size() << 4) | r.type;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(header >> (8 * i)));
    out.insert(out.end(), r.data.begin(), r.data.end());
  }
  return out;
}

// Receives the notices an upload thread posts.
class NoticeSink : public plat::MessageSink {
 public:
  NoticeSink() : hwnd(plat::RegisterMessageSink(this)) {}
  ~NoticeSink() override { plat::UnregisterMessageSink(hwnd); }
  void OnPostedMessage(unsigned msg, plat::WPARAM w, plat::LPARAM l) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (msg == fw::kMsgProgress) {
      lastProgress = static_cast<int>(w);
      progressShown = l != 0;
      return;
    }
    notices.push_back(msg == fw::kMsgMessageBox ? static_cast<unsigned>(w) : msg);
  }
  std::vector<unsigned> Notices() {
    std::lock_guard<std::mutex> lock(mutex_);
    return notices;
  }
  const plat::HWND hwnd;
  std::vector<unsigned> notices;  // message ids, and the string ids of the boxes
  int lastProgress = -1;
  bool progressShown = false;

 private:
  std::mutex mutex_;
};

class FirmwareUpload : public RecorderFixture {
 protected:
  void SetUp() override {
    RecorderFixture::SetUp();
    UseSession();
    plat::SetTimeScale(10);  // the protocol's settling waits pass quickly; socket time-outs shrink too, so not further
  }
  void TearDown() override {
    plat::SetTimeScale(1);
    RecorderFixture::TearDown();
  }
  // Runs a job to its end; the thread's exit code.
  plat::DWORD Run(std::unique_ptr<FirmwareUploadJob> job) {
    job->dialog = sink_.hwnd;
    const plat::HANDLE thread = StartFirmwareUpload(std::move(job));
    EXPECT_NE(thread, plat::HANDLE(0));
    plat::WaitForSingleObject(thread, plat::INFINITE);
    plat::DWORD code = 99;
    plat::GetExitCodeThread(thread, &code);
    plat::CloseHandle(thread);
    return code;
  }
  std::unique_ptr<FirmwareUploadJob> PackageJob(fw::Variant v, std::vector<FirmwareRecord> records) {
    auto job = std::make_unique<FirmwareUploadJob>();
    job->variant = v;
    const std::vector<std::uint8_t> bytes = PackageBytes(records);
    EXPECT_TRUE(ParseFirmwarePackage(bytes.data(), bytes.size(), job->package));
    job->total = job->package.dwFileSize;
    return job;
  }
  std::vector<std::string> Targets(const char* path) {
    std::vector<std::string> out;
    for (const auto& r : recorder_.Requests())
      if (r.path == path) out.push_back(r.target());
    return out;
  }
  NoticeSink sink_;
};

const std::string kSid = "A1B2C3D4E5F6";
const std::string kFixedLines =
    "Accept: */* \r\nAccept-Language: zh-tw\r\nAccept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)\r\n"
    "Host: 127.0.0.1\r\nConnection: Keep-Alive\r\n\r\n";

}  // namespace

TEST(FirmwarePackage, ReadsRecordsOrRefuses) {
  const auto k = Pattern(1000, 1);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool ok;
    std::size_t records;
  } cases[] = {
      {"empty file", {}, false, 0},
      {"two records", PackageBytes({{1, k}, {0, Pattern(10, 2)}}), true, 2},
      {"zero-length record in the middle", PackageBytes({{1, k}, {4, {}}, {0, Pattern(3, 3)}}), true, 3},
      {"header cut short", {0x10, 0x00}, false, 0},
      {"payload cut short", [&] {
         auto b = PackageBytes({{1, Pattern(20, 4)}});
         b.resize(b.size() - 1);
         return b;
       }(), false, 0},
      {"255 records", PackageBytes(std::vector<FirmwareRecord>(255, FirmwareRecord{1, {7}})), true, 255},
      {"256 records", PackageBytes(std::vector<FirmwareRecord>(256, FirmwareRecord{1, {7}})), false, 0},
  };
  for (const Case& c : cases) {
    FirmwarePackage p;
    EXPECT_EQ(ParseFirmwarePackage(c.bytes.data(), c.bytes.size(), p), c.ok) << c.name;
    EXPECT_EQ(p.Count(), c.ok ? c.records : p.Count()) << c.name;
  }
  // The type is the header's low nibble, the length the rest.
  const std::vector<std::uint8_t> typed = {0x4F, 0x00, 0x00, 0x00, 'a', 'b', 'c', 'd'};
  FirmwarePackage p;
  ASSERT_TRUE(ParseFirmwarePackage(typed.data(), typed.size(), p));
  EXPECT_EQ(p.records[0].type, 15);
  EXPECT_EQ(Text(p.records[0].data), "abcd");

  TempDir dir;
  EXPECT_EQ(ReadFirmwarePackage(dir.path() + "/KERNEL.BIN", p), IDS_OPEN_FIRMWARE_FAILED);
  std::FILE* f = std::fopen((dir.path() + "/empty.bin").c_str(), "wb");
  std::fclose(f);
  EXPECT_EQ(ReadFirmwarePackage(dir.path() + "/empty.bin", p), IDS_READ_FIRMWARE_FAILED);
}

TEST(FirmwareFolder, LoadsTheNamedFilesInAnyCaseInRowOrder) {
  FirmwareFileTable table;
  EXPECT_FALSE(MakeFirmwareFileTable("K44R", table));
  ASSERT_TRUE(MakeFirmwareFileTable("K42R", table));
  EXPECT_STREQ(table[0].pszName, "KERNEL8.BIN");
  EXPECT_STREQ(table[6].pszName, "LANGU1.GZ");
  EXPECT_STREQ(table[16].pszName, "LANGU11.GZ");
  EXPECT_STREQ(table[17].pszName, "PLAYER.BIN");
  EXPECT_EQ(table[18].pszName, nullptr);

  TempDir dir;
  std::uint64_t total = 0;
  EXPECT_EQ(LoadFirmwareFolder(dir.path(), table, total), 0);
  auto write = [&](const char* name, std::size_t size) {
    std::FILE* f = std::fopen((dir.path() + "/" + name).c_str(), "wb");
    const auto bytes = Pattern(size, static_cast<int>(size));
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  };
  write("player.bin", 30);
  write("Boot.Bin", 20);
  write("unrelated.txt", 5);
  EXPECT_EQ(LoadFirmwareFolder(dir.path() + "/", table, total), 2);
  EXPECT_EQ(total, 50u);
  EXPECT_TRUE(table[1].fLoaded);
  EXPECT_EQ(table[1].data, Pattern(20, 20));
  EXPECT_TRUE(table[17].fLoaded);
  EXPECT_FALSE(table[0].fLoaded);
}

TEST_F(FirmwareUpload, ChunkedPackageSendsStartMiddleAndFinished) {
  struct Case {
    const char* name;
    std::vector<FirmwareRecord> records;
    std::vector<std::string> targets;
  } cases[] = {
      {"kernel and boot",
       {{1, Pattern(1000, 1)}, {0, Pattern(1000, 2)}},
       {"/UpgradeFW.cgi?Upgrade=Start&FileSize=1000&Cookie=" + kSid,
        "/UpgradeFW.cgi?Upgrade=Finished&Type=KERNEL&Cookie=" + kSid,
        "/UpgradeFW.cgi?Upgrade=Start&FileSize=1000&Cookie=" + kSid,
        "/UpgradeFW.cgi?Upgrade=Finished&Type=BOOT&Reboot=1&Cookie=" + kSid}},
      {"900 x 2 bytes",
       {{1, Pattern(1800, 3)}},
       {"/UpgradeFW.cgi?Upgrade=Start&FileSize=1800&Cookie=" + kSid,
        "/UpgradeFW.cgi?Upgrade=Finished&Type=KERNEL&Reboot=1&Cookie=" + kSid}},
      {"900 x 2 + 1 bytes",
       {{1, Pattern(1801, 4)}},
       {"/UpgradeFW.cgi?Upgrade=Start&FileSize=1801&Cookie=" + kSid, "/UpgradeFW.cgi?Cookie=" + kSid,
        "/UpgradeFW.cgi?Upgrade=Finished&Type=KERNEL&Reboot=1&Cookie=" + kSid}},
      {"one chunk: Start only", {{1, Pattern(900, 5)}}, {"/UpgradeFW.cgi?Upgrade=Start&FileSize=900&Cookie=" + kSid}},
      {"unnamed type after KERNEL, then as the first record",
       {{2, Pattern(901, 6)}, {1, Pattern(10, 7)}, {2, Pattern(901, 8)}},
       {"/UpgradeFW.cgi?Upgrade=Start&FileSize=901&Cookie=" + kSid,
        "/UpgradeFW.cgi?Upgrade=Finished&Type=&Cookie=" + kSid,
        "/UpgradeFW.cgi?Upgrade=Start&FileSize=10&Cookie=" + kSid,
        "/UpgradeFW.cgi?Upgrade=Start&FileSize=901&Cookie=" + kSid,
        "/UpgradeFW.cgi?Upgrade=Finished&Type=KERNEL&Reboot=1&Cookie=" + kSid}},
      {"a trailing empty record keeps the reboot on the last data",
       {{1, Pattern(1000, 9)}, {0, {}}},
       {"/UpgradeFW.cgi?Upgrade=Start&FileSize=1000&Cookie=" + kSid,
        "/UpgradeFW.cgi?Upgrade=Finished&Type=KERNEL&Reboot=1&Cookie=" + kSid}},
  };
  for (const Case& c : cases) {
    recorder_.ClearRequests();
    recorder_.Firmware().Clear();
    sink_.notices.clear();
    EXPECT_EQ(Run(PackageJob(fw::Variant::ChunkPackage, c.records)), 0u) << c.name;
    EXPECT_EQ(Targets("/UpgradeFW.cgi"), c.targets) << c.name;
    // The recorder holds every record with data, byte for byte.
    std::vector<std::string> expected;
    for (const FirmwareRecord& r : c.records)
      if (!r.data.empty()) expected.push_back(Text(r.data));
    std::vector<std::string> got;
    for (const auto& comp : recorder_.Firmware().Components()) got.push_back(comp.bytes);
    EXPECT_EQ(got, expected) << c.name;
    EXPECT_EQ(sink_.Notices().back(), WM_UPGRADECLOSE) << c.name;
  }
}

TEST_F(FirmwareUpload, KeepAliveRunsBesideTheUploadAndClosesAtTheEnd) {
  EXPECT_EQ(Run(PackageJob(fw::Variant::ChunkPackage, {{1, Pattern(1000, 1)}, {0, Pattern(1000, 2)}})), 0u);
  const auto heads = recorder_.Firmware().KeepAliveHeads();
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0], "GET /Getvideo.cgi?Cookie=" + kSid + "&Fake=1 HTTP/1.1\r\n" + kFixedLines);
  EXPECT_TRUE(recorder_.Firmware().WaitKeepAlivesClosed(5000));
  // Begin per record, the flash message, then end and close.
  const std::vector<unsigned> expected = {WM_UPGRADEBEGIN, WM_UPGRADEBEGIN, IDS_OVERWRITE_FLASH_NOW, WM_UPGRADEEND, WM_UPGRADECLOSE};
  EXPECT_EQ(sink_.Notices(), expected);
  EXPECT_FALSE(sink_.progressShown);
}

TEST_F(FirmwareUpload, RawPackageWritesHeadsWithoutLengthThenTheBytes) {
  EXPECT_EQ(Run(PackageJob(fw::Variant::RawPackage, {{1, Pattern(1000, 1)}, {0, Pattern(3000, 2)}})), 0u);
  const auto requests = recorder_.Requests();
  std::vector<std::string> heads;
  for (const auto& r : requests)
    if (r.path == "/UpgradeFW2.cgi") heads.push_back(r.head);
  ASSERT_EQ(heads.size(), 2u);
  EXPECT_EQ(heads[0], "GET /UpgradeFW2.cgi?Cookie=" + kSid + "&FILESIZE=1000&Type=0 HTTP/1.1\r\n" + kFixedLines);
  EXPECT_EQ(heads[1],
            "GET /UpgradeFW2.cgi?Cookie=" + kSid + "&FILESIZE=3000&Type=1&REBOOT=1 HTTP/1.1\r\n" + kFixedLines);
  const auto comps = recorder_.Firmware().Components();
  ASSERT_EQ(comps.size(), 2u);
  EXPECT_EQ(comps[0].bytes, Text(Pattern(1000, 1)));
  EXPECT_EQ(comps[1].bytes, Text(Pattern(3000, 2)));
  EXPECT_TRUE(comps[1].reboot);
  EXPECT_TRUE(recorder_.Firmware().WaitKeepAlivesClosed(5000));
}

TEST_F(FirmwareUpload, FolderThreadsSendRowIndexes) {
  FirmwareFileTable table;
  ASSERT_TRUE(MakeFirmwareFileTable("K41R", table));
  table[0].data = Pattern(1000, 1), table[0].dwSize = 1000, table[0].fLoaded = true;
  table[1].data = Pattern(1000, 2), table[1].dwSize = 1000, table[1].fLoaded = true;
  auto job = std::make_unique<FirmwareUploadJob>();
  job->variant = fw::Variant::ChunkFolder;
  job->table = table;
  job->total = 2000;
  EXPECT_EQ(Run(std::move(job)), 0u);
  const std::vector<std::string> chunked = {"/UpgradeFW.cgi?Upgrade=Start&FileSize=1000&Type=0&Cookie=" + kSid,
                                            "/UpgradeFW.cgi?Upgrade=Finished&Type=0&Cookie=" + kSid,
                                            "/UpgradeFW.cgi?Upgrade=Start&FileSize=1000&Type=1&Cookie=" + kSid,
                                            "/UpgradeFW.cgi?Upgrade=Finished&Type=1&Reboot=1&Cookie=" + kSid};
  EXPECT_EQ(Targets("/UpgradeFW.cgi"), chunked);
  EXPECT_EQ(sink_.Notices().front(), WM_UPGRADEBEGIN);

  // Only BOOT.BIN, raw: type 1 and the reboot flag on it.
  recorder_.ClearRequests();
  auto raw = std::make_unique<FirmwareUploadJob>();
  raw->variant = fw::Variant::RawFolder;
  raw->table = table;
  raw->table[0] = FirmwareFileRow{table[0].pszName, false, 0, {}};
  raw->total = 1000;
  EXPECT_EQ(Run(std::move(raw)), 0u);
  EXPECT_EQ(Targets("/UpgradeFW2.cgi"),
            std::vector<std::string>{"/UpgradeFW2.cgi?Cookie=" + kSid + "&FILESIZE=1000&Type=1&REBOOT=1"});
}

TEST_F(FirmwareUpload, FailuresEndWithTheErrorAndCloseAsTheProtocolSays) {
  using Fault = fake::FakeFirmware::ChunkFault;
  struct Case {
    const char* name;
    fw::Variant variant;
    int chunk;
    Fault fault;
    bool rawFails;
    bool refuse;
    std::vector<unsigned> notices;
  } cases[] = {
      {"refused last chunk", fw::Variant::ChunkPackage, 3, Fault::Status, false, false,
       {WM_UPGRADEBEGIN, IDS_UPGRADE_FIRMWARE_ERROR, WM_UPGRADEEND, WM_UPGRADECLOSE}},
      {"dropped last chunk counts delivered", fw::Variant::ChunkPackage, 3, Fault::Drop, false, false,
       {WM_UPGRADEBEGIN, IDS_OVERWRITE_FLASH_NOW, WM_UPGRADEEND, WM_UPGRADECLOSE}},
      {"dropped first chunk", fw::Variant::ChunkPackage, 1, Fault::Drop, false, false,
       {WM_UPGRADEBEGIN, IDS_UPGRADE_FIRMWARE_ERROR, WM_UPGRADEEND, WM_UPGRADECLOSE}},
      {"raw write failure leaves the dialog open", fw::Variant::RawPackage, 0, Fault::None, true, false,
       {WM_UPGRADEBEGIN, IDS_UPGRADE_FIRMWARE_ERROR, WM_UPGRADEEND}},
      {"refused keep-alive", fw::Variant::ChunkPackage, 0, Fault::None, false, true, {IDS_UPGRADE_FIRMWARE_ERROR, WM_UPGRADEEND}},
  };
  for (const Case& c : cases) {
    recorder_.ClearRequests();
    recorder_.Firmware().Clear();
    sink_.notices.clear();
    recorder_.Firmware().FailChunk(c.chunk, c.fault, 500);
    recorder_.Firmware().FailRawUploads(c.rawFails);
    if (c.refuse) recorder_.RefuseConnectionsFor(3000);
    const std::size_t size = c.rawFails ? 4u << 20 : 2000;  // a raw failure shows on a later write
    EXPECT_EQ(Run(PackageJob(c.variant, {{1, Pattern(size, 1)}})), c.notices[1] == IDS_OVERWRITE_FLASH_NOW ? 0u : 1u) << c.name;
    EXPECT_EQ(sink_.Notices(), c.notices) << c.name;
    EXPECT_EQ(sink_.lastProgress, 0) << c.name;
    EXPECT_FALSE(sink_.progressShown) << c.name;
    if (c.refuse) {
      EXPECT_TRUE(Targets("/UpgradeFW.cgi").empty());
    }
    EXPECT_TRUE(recorder_.Firmware().WaitKeepAlivesClosed(5000)) << c.name;
    if (c.refuse) recorder_.RefuseConnectionsFor(0);
  }
}

TEST_F(FirmwareUpload, CancelRequestsOfBothProtocols) {
  fw::SendCancel(fw::Variant::ChunkPackage);
  fw::SendCancel(fw::Variant::RawFolder);
  EXPECT_EQ(Targets("/UpgradeFW.cgi"), std::vector<std::string>{"/UpgradeFW.cgi?Upgrade=Cancel&Cookie=" + kSid});
  EXPECT_EQ(Targets("/CancelUPFW.cgi"), std::vector<std::string>{"/CancelUPFW.cgi?Cookie=" + kSid});
  EXPECT_EQ(recorder_.Firmware().Cancels(), 2);

  struct Choice {
    const char* model;
    const char* firmware;
    fw::Variant variant;
  } choices[] = {{"K40R", "1013", fw::Variant::RawPackage},   {"K40R", "1012", fw::Variant::ChunkPackage},
                 {"K45R", "1000", fw::Variant::ChunkPackage}, {"K47R", "2000", fw::Variant::ChunkPackage},
                 {"K43R", "1070", fw::Variant::RawFolder},    {"K41R", "1069", fw::Variant::ChunkFolder}};
  for (const Choice& c : choices) {
    fw::Variant v;
    ASSERT_TRUE(fw::ChooseVariant(c.model, c.firmware, v)) << c.model;
    EXPECT_EQ(v, c.variant) << c.model << " " << c.firmware;
  }
}
