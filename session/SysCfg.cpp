#include "session/SysCfg.h"

#include <atomic>

#include <cstring>
#include <mutex>
#include <vector>

#include "session/SessionRecord.h"
#include "core/Model.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/Sections.h"

const char* const SysCfgOptionNames[SYSCFG_OPTION_COUNT] = {
    "INF",  "IP",    "SECURE", "DNS",    "SMTP",    "FTP",    "PPPOE",  "SYSTEM", "SNTP",
    "IMG",  "RS485", "ALARM",  "ONLINE", "DVRLIVE", "DVROSD", "DVRREC", "PERI",   "ALL"};

const std::size_t SysCfgSectionSizes[SYSCFG_OPTION_COUNT] = {44, 24, 196, 12, 440, 104, 68, 36, 36,
                                                              12, 124, 24, 240, 772, 20, 132, 16, 0};

namespace {

constexpr SysCfgAllRow kVideoServerRows[] = {
    {SYSCFG_INF, 0, 44},       {SYSCFG_IP, 44, 24},      {SYSCFG_SECURE, 68, 196}, {SYSCFG_DNS, 264, 12},
    {SYSCFG_SMTP, 276, 440},   {SYSCFG_FTP, 716, 104},   {SYSCFG_PPPOE, 820, 68},  {SYSCFG_SYSTEM, 888, 36},
    {SYSCFG_SNTP, 924, 36},    {SYSCFG_IMG, 960, 12},    {SYSCFG_RS485, 972, 124}, {SYSCFG_ALARM, 1096, 24},
    {SYSCFG_PERI, 1120, 16},
};
constexpr SysCfgAllRow kDvrRows[] = {
    {SYSCFG_INF, 0, 44},         {SYSCFG_IP, 44, 24},         {SYSCFG_SECURE, 68, 196}, {SYSCFG_DNS, 264, 12},
    {SYSCFG_SMTP, 276, 440},     {SYSCFG_FTP, 716, 104},      {SYSCFG_PPPOE, 820, 68},  {SYSCFG_SYSTEM, 888, 36},
    {SYSCFG_SNTP, 924, 36},      {SYSCFG_IMG, 960, 12},       {SYSCFG_RS485, 972, 124}, {SYSCFG_ALARM, 1096, 24},
    {SYSCFG_DVRLIVE, 1120, 772}, {SYSCFG_DVROSD, 1892, 20},   {SYSCFG_DVRREC, 1912, 132},
};

}  // namespace

const SysCfgAllRow* SysCfgAllLayout(bool videoServerOrder, std::size_t& count) {
  if (videoServerOrder) {
    count = sizeof kVideoServerRows / sizeof kVideoServerRows[0];
    return kVideoServerRows;
  }
  count = sizeof kDvrRows / sizeof kDvrRows[0];
  return kDvrRows;
}

bool SplitSysCfgAll(const std::uint8_t* reply, std::size_t length, bool videoServerOrder, const SysCfgBlocks& out) {
  const std::size_t fixed = videoServerOrder ? kSysCfgAllFixedVideoServer : kSysCfgAllFixedDvr;
  if (reply == nullptr || length < fixed) return false;
  std::size_t count = 0;
  const SysCfgAllRow* rows = SysCfgAllLayout(videoServerOrder, count);
  for (std::size_t i = 0; i < count; ++i) {
    if (out.section[rows[i].option] != nullptr) {
      std::memcpy(out.section[rows[i].option], reply + rows[i].offset, rows[i].size);
    }
  }
  if (std::uint8_t* online = out.section[SYSCFG_ONLINE]) {
    std::memset(online, 0, kSysCfgOnlineMax);
    const std::size_t rest = length - fixed;
    if (rest <= kSysCfgOnlineMax) std::memcpy(online, reply + fixed, rest);
  }
  return true;
}

bool UsesVideoServerSysCfg(const std::string& productId) { return IsVideoServerFamily(productId); }

bool UsesNewPppoeBlock(const std::string& productId, const std::string& firmware) {
  const char* threshold = UsesVideoServerSysCfg(productId) ? fwgate::kNewPppoeVS : fwgate::kNewPppoeDVR;
  return CompareVersionString(threshold, firmware) != 2;
}

namespace {
std::atomic<std::uint32_t> g_fetchedSections{0};
void MarkFetched(std::uint8_t option) { g_fetchedSections.fetch_or(1u << option); }
}  // namespace

bool IsSysCfgSectionFetched(std::uint8_t option) {
  return option < SYSCFG_OPTION_COUNT && (g_fetchedSections.load() & (1u << option)) != 0;
}

void ForgetFetchedSysCfgSections() { g_fetchedSections.store(0); }

int GetSysCfgSection(std::uint8_t option, std::uint8_t* destination, std::uint32_t size) {
  if (option >= SYSCFG_OPTION_COUNT || g_lpSession == nullptr) return 0;
  if (option != SYSCFG_ALL && (destination == nullptr || size == 0)) return 0;
  CCgiRequest request(CGI_GETSYSCFG);
  request.AddParam("Option", SysCfgOptionNames[option]);
  request.AddParam("Size", std::to_string(size));
  request.AddCookie(GetSessionId());

  std::vector<std::uint8_t> reply(kSysCfgReplyCapacity);
  plat::DWORD length = 0;
  if (ZududSendCommand(request, nullptr, 0, nullptr, reply.data(), reply.size(), &length, 45, 45) == 0) return 0;

  if (option == SYSCFG_ONLINE) {
    const std::size_t n = length < size ? length : size;
    std::lock_guard<std::mutex> lock(g_lpSession->mtx_SysCfg);
    std::memcpy(destination, reply.data(), n);
    std::memset(destination + n, 0, size - n);
    MarkFetched(option);
    return 1;
  }
  if (option != SYSCFG_ALL) {
    if (length != size) return 0;
    std::lock_guard<std::mutex> lock(g_lpSession->mtx_SysCfg);
    std::memcpy(destination, reply.data(), size);
    MarkFetched(option);
    return 1;
  }

  SessionRecord& app = *g_lpSession;
  const std::string product = app.GetProductID();
  const bool videoServer = UsesVideoServerSysCfg(product);
  SysCfgBlocks blocks;
  for (int o = 0; o < SYSCFG_ALL; ++o) blocks.section[o] = app.SectionBlock(static_cast<SysCfgOption>(o)).data();
  if (UsesNewPppoeBlock(product, app.GetFWVersion())) blocks.section[SYSCFG_PPPOE] = app.SysCfg_PPPOE_New;
  std::lock_guard<std::mutex> lock(app.mtx_SysCfg);
  if (!SplitSysCfgAll(reply.data(), length, videoServer, blocks)) return 0;
  std::size_t rows = 0;
  const SysCfgAllRow* layout = SysCfgAllLayout(videoServer, rows);
  for (std::size_t i = 0; i < rows; ++i) MarkFetched(layout[i].option);
  MarkFetched(SYSCFG_ONLINE);
  return 1;
}

int SetSysCfgSection(std::uint8_t option, const std::uint8_t* data, std::uint32_t length, int refresh) {
  if (option >= SYSCFG_OPTION_COUNT || data == nullptr || !IsSysCfgSectionFetched(option)) return 0;
  CCgiRequest request(CGI_SETSYSCFG);
  request.AddParam("Option", SysCfgOptionNames[option]);
  if (option == SYSCFG_DNS) request.AddParam("Refresh", refresh ? "True" : "False");
  request.AddCookie(GetSessionId());
  return ZududSendCommand(request, data, length, nullptr, nullptr, 0, nullptr, 15, 15);
}

bool FetchInfCapabilityFlags(std::uint32_t& flags) {
  std::uint8_t inf[kSysCfgSizeINF] = {};
  sect::InfSection decoded;
  if (!GetSysCfgSection(SYSCFG_INF, inf, sizeof inf) || !sect::InfSection::Decode(inf, sizeof inf, decoded)) return false;
  flags = decoded.capabilityFlags;
  return true;
}

void SendRvx507ModelName() {
  constexpr std::size_t kName = sect::InfSection::kOffModelName;
  std::uint8_t inf[kSysCfgSizeINF] = {};
  if (!GetSysCfgSection(SYSCFG_INF, inf, sizeof inf) || std::memcmp(inf + kName, "RVX-507", 7) != 0) return;
  sect::InfSection::FixRvx507ModelName(inf);
  SetSysCfgSection(SYSCFG_INF, inf, sizeof inf, 0);
}
