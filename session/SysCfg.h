// Transport of the recorder's binary configuration sections: one section (or all of them
// at once) fetched with "/GetSysCfg.cgi" into the application record, one section sent as the
// body of "/SetSysCfg.cgi". The byte layouts inside the sections live in session/Sections.h.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

enum SysCfgOption : std::uint8_t {
  SYSCFG_INF = 0,
  SYSCFG_IP,
  SYSCFG_SECURE,
  SYSCFG_DNS,
  SYSCFG_SMTP,
  SYSCFG_FTP,
  SYSCFG_PPPOE,
  SYSCFG_SYSTEM,
  SYSCFG_SNTP,
  SYSCFG_IMG,
  SYSCFG_RS485,
  SYSCFG_ALARM,
  SYSCFG_ONLINE,
  SYSCFG_DVRLIVE,
  SYSCFG_DVROSD,
  SYSCFG_DVRREC,
  SYSCFG_PERI,
  SYSCFG_ALL,
  SYSCFG_OPTION_COUNT
};

extern const char* const SysCfgOptionNames[SYSCFG_OPTION_COUNT];
// Byte size of each single section (0 for ALL, whose size is the whole reply).
extern const std::size_t SysCfgSectionSizes[SYSCFG_OPTION_COUNT];

// Capacity of the reply of one fetch: the largest ALL reply is 2284 bytes.
constexpr std::size_t kSysCfgReplyCapacity = 4096;
constexpr std::size_t kSysCfgOnlineMax = 240;

// One row of the all-in-one layout: a section at a reply offset.
struct SysCfgAllRow {
  SysCfgOption option;
  std::size_t offset;
  std::size_t size;
};
// The fixed part (everything before ONLINE) of the two orders.
constexpr std::size_t kSysCfgAllFixedVideoServer = 1136;
constexpr std::size_t kSysCfgAllFixedDvr = 2044;
// The rows of the fixed part, in reply order, for the video-server families (K40R, K44R,
// K45R, K46R, K47R) or for every other model; `count` receives the number of rows.
const SysCfgAllRow* SysCfgAllLayout(bool videoServerOrder, std::size_t& count);

// Destination of every block of an ALL reply (null entries are skipped).
struct SysCfgBlocks {
  std::uint8_t* section[SYSCFG_OPTION_COUNT] = {};
};
// Copies an ALL reply into the blocks. A reply shorter than the fixed part fails (false) and
// writes nothing. ONLINE is zeroed, then receives the rest when it is at most 240 bytes.
bool SplitSysCfgAll(const std::uint8_t* reply, std::size_t length, bool videoServerOrder, const SysCfgBlocks& out);

// The video-server order (and the "1007" PPPOE threshold) applies to K40R, K44R, K45R, K46R
// and K47R; every other model code uses the DVR order (and "1052").
bool UsesVideoServerSysCfg(const std::string& productId);
// Whether PPPOE goes to the newer block for this model and firmware.
bool UsesNewPppoeBlock(const std::string& productId, const std::string& firmware);

// Fetches one section into `destination` (`size` bytes). A single section's reply must be
// exactly `size` bytes, else 0 and the destination stays unchanged; ONLINE takes up to
// `size` bytes and zero-fills the rest. For SYSCFG_ALL the destination and size are ignored
// and the blocks of g_lpSession are filled by the layout of the connected model.
int GetSysCfgSection(std::uint8_t option, std::uint8_t* destination, std::uint32_t size);
// Sends one section as the body of "/SetSysCfg.cgi" ("Refresh" only for DNS). A section that
// was not fetched from this recorder since the last login is never sent (0, nothing sent):
// its bytes would be the client's zeros, not the recorder's settings.
int SetSysCfgSection(std::uint8_t option, const std::uint8_t* data, std::uint32_t length, int refresh);

// The INF section's capability word, fetched from the recorder; false (flags unchanged) when
// the fetch failed.
bool FetchInfCapabilityFlags(std::uint32_t& flags);
// Fetches the INF section and, when its model name begins with "RVX-507", sends it back with
// the name as "RVX-507" and one zero byte (also when it already reads so).
void SendRvx507ModelName();

// Whether a section arrived whole since the last login; a login forgets them all.
bool IsSysCfgSectionFetched(std::uint8_t option);
void ForgetFetchedSysCfgSections();
