// Login and device-information replies, and the login worker used before a firmware upgrade.
//
// Replies are text of KEY=value pairs, each ended by ";". Keys are matched as whole keys: at
// the start of the reply or after ";" or white space. Login keys are written with their "="
// ("Session-ID="); device-information keys by name ("LIFETIME"), where the one character
// after the name is taken as the "=" and must not continue the name. A value runs to the
// next ";" or to the end of the reply and is kept to at most 255 characters. A reply is taken
// up to its first zero byte and never read past its length.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

class CControlDeviceTable;

constexpr std::size_t kReplyValueMax = 255;
constexpr std::size_t kSessionIdMax = 63;

// The reply text: bytes up to the first zero, at most `capacity`.
std::string_view ReplyText(const void* buffer, std::size_t capacity);

// Looks `key` up from `from`. `keyHasEquals`: the key ends in "=" and the value follows it;
// otherwise one separator character after the name is skipped. On success `value` receives the
// value (at most 255 characters) and `next`, when given, the position of the ";" that ends it
// (or the reply's length).
bool FindReplyValue(std::string_view reply, std::string_view key, bool keyHasEquals, std::size_t from,
                    std::string& value, std::size_t* next = nullptr);

// Decimal conversion of a value: optional blanks, optional sign, the leading digits (none: 0),
// saturating at the 32-bit range.
std::int32_t ReplyDecimal(std::string_view value);

// ---- "/Login.cgi" -------------------------------------------------------------------------
struct LoginReplyValues {
  std::string sessionId;
  std::optional<std::string> firmware;
  std::optional<std::string> productId;
  std::optional<std::string> mac;
  std::optional<std::string> hostName;
};
enum class LoginParseResult { Ok, NoSession, SessionTooLong };
LoginParseResult ParseLoginReply(std::string_view reply, LoginReplyValues& out);

// The eight model codes the login window accepts (exact, case-sensitive).
bool IsAcceptedModelCode(const std::string& productId);

// Stores a parsed login reply: the session identifier, and each key present into the
// application record (firmware, model, the first 12 MAC characters, host name). With
// `storeMacWords` the fifth and sixth MAC bytes also go to the settings' last-MAC words when
// the text spells six bytes.
void StoreLoginReply(const LoginReplyValues& values, bool storeMacWords);

// ---- "/Getdeviceinfo.cgi" -----------------------------------------------------------------
// One change of the control-device table, in the order the reply asks for them.
struct DeviceTableOp {
  enum Kind { Add, Reset, SetRetr } kind = Add;
  std::int32_t baud = 0;
  std::uint8_t id = 0;
  std::uint8_t type = 0;
  std::uint16_t flags = 0;
  std::uint8_t value = 0;  // SetRetr
  bool operator==(const DeviceTableOp&) const = default;
};

enum class DeviceInfoScope {
  Worker,  // LIFETIME, LINKDEVICE (read and dropped), VIDEOMODE, USERLEVEL, the three versions
  Full,    // every key, with the control-device entries
};

struct DeviceInfoValues {
  std::optional<std::int32_t> lifeTime;
  std::optional<std::int32_t> multiChannel;
  std::optional<std::int32_t> videoMode;
  std::optional<std::int32_t> userLevel;
  std::optional<std::int32_t> linkDevice;
  std::optional<std::int32_t> retr;
  std::optional<std::string> bootVersion;
  std::optional<std::string> version2041;
  std::optional<std::string> fpgaVersion;
  std::uint8_t linkedType = 0;      // last linked device type seen (LINKDEVICE or MTYPE)
  std::vector<DeviceTableOp> ops;   // Full scope only
};

// `retrApplies`: whether a "RETR" key is acted on (see RetrKeyApplies); a taken RETR enters the
// recorder itself (RecorderEntryType of `productId`, the connected model code). The slave
// entries get the video flag when the reply's MULTICH is non-zero, else the pan-tilt-zoom flag.
void ParseDeviceInfoReply(std::string_view reply, DeviceInfoScope scope, bool retrApplies, std::string_view productId,
                          DeviceInfoValues& out);
// The control-table type of the recorder itself: by the LINKDEVICE type when the reply has one
// (14, 20, 21 give 19, 22, 23), else by the model code (K41R 19, K42R 22, K43R 23); 0 (no
// entry) for any other.
std::uint8_t RecorderEntryType(std::string_view productId, const std::optional<std::int32_t>& linkDevice,
                               std::uint8_t linkedType);

// "RETR" is read unless the device is of the K41R family from firmware "1035" on without
// the capability bit 0x1.
bool RetrKeyApplies(const std::string& productId, const std::string& firmware, std::uint32_t featureFlags);

// Whether the newer frame header is asked for ("NEWHR=1"): K41R family from "1046", K40R
// from "1006", K47R always, no other model.
bool WantsNewHeader(const std::string& productId, const std::string& firmware);

// The "/Getdeviceinfo.cgi" request of a login: the session, the picture resolution and
// quality of the settings, the channel, and "NEWHR=1" where WantsNewHeader says so. The
// frame-header parser of the record is told which header format to expect.
class CCgiRequest;
CCgiRequest MakeDeviceInfoRequest(std::uint8_t channel);
// Sends MakeDeviceInfoRequest(channel) with `timeoutSec` to send and to receive, the reply
// into `reply` (at most `capacity` bytes) and its length into `length`. 1 on a 200 reply.
int RequestDeviceInfo(std::uint8_t channel, std::uint8_t* reply, std::size_t capacity, plat::DWORD* length,
                      plat::WORD timeoutSec);

void ApplyDeviceTableOps(const std::vector<DeviceTableOp>& ops, CControlDeviceTable& table);

// Stores the values into the application record (Full scope: MULTICH, 0 when absent, and the
// control-device table changes too).
void StoreDeviceInfo(const DeviceInfoValues& values, DeviceInfoScope scope);

// ---- the login worker -----------------------------------------------------------------------
// Logs in and reads the device information for the connect progress window, then posts
// WM_LOGINFINISHED to the owner with lParam 1 (success) or -1 (failure; the message 4040
// "Login error !!" is shown after posting). An empty user name or password shows 4081 and
// posts nothing. The owner stops its progress timer when the message arrives.
class Login {
 public:
  Login();
  ~Login();
  Login(const Login&) = delete;
  Login& operator=(const Login&) = delete;

  // Starts Login_Thread; TRUE when the thread was made.
  plat::BOOL CreateThread();
  // Waits at most 10 ms for a running thread, cancels it if it still runs, closes the handle.
  int ExitThread();

  plat::HANDLE m_hThread = 0;
  plat::DWORD m_dwThreadId = 0;
  plat::DWORD m_dwUnused1 = 0;
  plat::DWORD m_dwUnused2 = 0;
  plat::HWND m_pOwner = 0;  // the connect progress window
  plat::DWORD m_dwUnused3 = 0;
  // Copied from the login window before the thread starts; the thread only reads them.
  std::string m_strServer;
  std::string m_strUser;
  std::string m_strPassword;
  std::string m_strPort;
};

extern Login* g_pLogin;
// Creates g_pLogin when it is null; returns 1.
int CreateLoginObject();
// Ends the worker's thread and deletes g_pLogin (exit, tests).
void DestroyLoginObject();

// The worker's thread routine: 1 after a good login and device information, else 0.
plat::DWORD Login_Thread(Login* login);
