#include "session/Login.h"
#include "session/SysCfg.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "session/SessionRecord.h"
#include "core/Messages.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "platform/kernel.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "session/CgiRequest.h"
#include "session/Command.h"
#include "session/ControlDeviceTable.h"

using plat::DWORD;

namespace {

bool IsKeyBoundary(char c) { return c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Characters that continue a key's name: a separator after the name must not be one of them.
bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

constexpr std::int32_t kRetrDeviceFlag = 2;  // video device
constexpr std::int32_t kReportedBaud = 2400;

bool HexNibble(char c, std::uint8_t& v) {
  if (c >= '0' && c <= '9') v = static_cast<std::uint8_t>(c - '0');
  else if (c >= 'a' && c <= 'f') v = static_cast<std::uint8_t>(c - 'a' + 10);
  else if (c >= 'A' && c <= 'F') v = static_cast<std::uint8_t>(c - 'A' + 10);
  else return false;
  return true;
}

// Exactly twelve hexadecimal digits (':' ignored) give six bytes.
bool MacTextToSixBytes(const std::string& text, std::array<std::uint8_t, 6>& out) {
  std::string digits;
  for (char c : text) {
    if (c != ':') digits += c;
  }
  if (digits.size() != 12) return false;
  for (std::size_t i = 0; i < 6; ++i) {
    std::uint8_t hi = 0, lo = 0;
    if (!HexNibble(digits[2 * i], hi) || !HexNibble(digits[2 * i + 1], lo)) return false;
    out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return true;
}

bool AtOrAbove(const char* threshold, const std::string& firmware) {
  return CompareVersionString(threshold, firmware) != 2;
}

}  // namespace

std::string_view ReplyText(const void* buffer, std::size_t capacity) {
  if (buffer == nullptr) return {};
  const char* p = static_cast<const char*>(buffer);
  const void* zero = std::memchr(p, 0, capacity);
  return std::string_view(p, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - p) : capacity);
}

bool FindReplyValue(std::string_view reply, std::string_view key, bool keyHasEquals, std::size_t from,
                    std::string& value, std::size_t* next) {
  if (key.empty()) return false;
  std::size_t pos = from;
  while (pos < reply.size()) {
    const std::size_t hit = reply.find(key, pos);
    if (hit == std::string_view::npos) return false;
    pos = hit + 1;
    if (hit > 0 && !IsKeyBoundary(reply[hit - 1])) continue;
    std::size_t start = hit + key.size();
    if (!keyHasEquals) {
      // One separator character after the name, which must not continue the name.
      if (start >= reply.size() || IsNameChar(reply[start])) continue;
      ++start;
    }
    std::size_t end = reply.find(';', start);
    if (end == std::string_view::npos) end = reply.size();
    value.assign(reply.substr(start, std::min(end - start, kReplyValueMax)));
    if (next) *next = end;
    return true;
  }
  return false;
}

std::int32_t ReplyDecimal(std::string_view v) {
  std::size_t i = 0;
  while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
  bool negative = false;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
  long long n = 0;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    n = n * 10 + (v[i] - '0');
    if (n > 0x80000000LL) n = 0x80000000LL;
  }
  if (negative) n = -n;
  n = std::clamp<long long>(n, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(n);
}

LoginParseResult ParseLoginReply(std::string_view reply, LoginReplyValues& out) {
  out = LoginReplyValues{};
  std::string v;
  if (!FindReplyValue(reply, "Session-ID=", true, 0, v)) return LoginParseResult::NoSession;
  if (v.size() > kSessionIdMax) return LoginParseResult::SessionTooLong;
  out.sessionId = v;
  if (FindReplyValue(reply, "Firmware-Version=", true, 0, v)) out.firmware = v;
  if (FindReplyValue(reply, "Product-ID=", true, 0, v)) out.productId = v;
  if (FindReplyValue(reply, "MAC-Address=", true, 0, v)) out.mac = v;
  if (FindReplyValue(reply, "Host-Name=", true, 0, v)) out.hostName = v;
  return LoginParseResult::Ok;
}

bool IsAcceptedModelCode(const std::string& p) {
  static const char* const kCodes[] = {"K41R", "K40R", "K42R", "K43R", "K44R", "K45R", "K46R", "K47R"};
  for (const char* c : kCodes) {
    if (p == c) return true;
  }
  return false;
}

void StoreLoginReply(const LoginReplyValues& values, bool storeMacWords) {
  // A new session: what was fetched before may belong to another recorder or firmware.
  ForgetFetchedSysCfgSections();
  SetSessionId(values.sessionId);
  if (g_lpSession == nullptr) return;
  SessionRecord& app = *g_lpSession;
  if (values.firmware) app.SetFWVersion(*values.firmware);
  if (values.productId) app.SetProductID(*values.productId);
  if (values.mac) {
    app.sz_MacAddress.Set(std::string_view(*values.mac).substr(0, 12));
    std::array<std::uint8_t, 6> bytes{};
    if (storeMacWords && MacTextToSixBytes(values.mac->substr(0, 12), bytes)) {
      app.CSettingINI.m_wLastMAC1 = bytes[4];
      app.CSettingINI.m_wLastMAC2 = bytes[5];
    }
  }
  if (values.hostName) app.strHostName.Set(*values.hostName);
}

std::uint8_t RecorderEntryType(std::string_view productId, const std::optional<std::int32_t>& linkDevice,
                               std::uint8_t linkedType) {
  // The linked type names the recorder when the reply has one; without it the model code does
  // (a recorder that reports both gives the same type either way).
  if (linkDevice) {
    switch (linkedType) {
      case 14: return 19;
      case 20: return 22;
      case 21: return 23;
      default: return 0;
    }
  }
  if (productId == "K41R") return 19;
  if (productId == "K42R") return 22;
  if (productId == "K43R") return 23;
  return 0;
}

void ParseDeviceInfoReply(std::string_view reply, DeviceInfoScope scope, bool retrApplies, std::string_view productId,
                          DeviceInfoValues& out) {
  out = DeviceInfoValues{};
  std::string v;
  const bool full = scope == DeviceInfoScope::Full;
  auto readInt = [&](std::string_view key, std::optional<std::int32_t>& slot) {
    if (FindReplyValue(reply, key, false, 0, v)) slot = ReplyDecimal(v);
  };
  auto readText = [&](std::string_view key, std::optional<std::string>& slot) {
    if (FindReplyValue(reply, key, false, 0, v)) slot = v;
  };

  readInt("LIFETIME", out.lifeTime);
  if (full) readInt("MULTICH", out.multiChannel);

  readInt("LINKDEVICE", out.linkDevice);
  if (out.linkDevice) {
    out.linkedType = static_cast<std::uint8_t>(*out.linkDevice);
    if (full) out.ops.push_back({DeviceTableOp::Add, 0, 0, out.linkedType, kRetrDeviceFlag, 0});
  } else if (full) {
    std::size_t pos = 0;
    if (FindReplyValue(reply, "MASTERNUM", false, 0, v, &pos)) {
      const auto count = static_cast<std::uint8_t>(ReplyDecimal(v));
      std::uint8_t address = 0, type = 0;
      for (unsigned i = 0; i < count; ++i) {
        std::size_t next = 0;
        if (FindReplyValue(reply, "MID", false, pos, v, &next)) {
          address = static_cast<std::uint8_t>(ReplyDecimal(v));
          pos = next;
        }
        if (FindReplyValue(reply, "MTYPE", false, pos, v, &next)) {
          type = static_cast<std::uint8_t>(ReplyDecimal(v));
          if (type == 1) type = 11;  // PTZ slave
          pos = next;
        }
        out.ops.push_back({DeviceTableOp::Add, kReportedBaud, address, type, kRetrDeviceFlag, 0});
        out.linkedType = type;
      }
    }
  }

  if (full) {
    readInt("RETR", out.retr);
    if (out.retr && retrApplies) {
      out.ops.push_back({DeviceTableOp::Reset, 0, 0, 0, 0, 0});
      const std::uint8_t recorderType = RecorderEntryType(productId, out.linkDevice, out.linkedType);
      if (recorderType != 0) out.ops.push_back({DeviceTableOp::Add, 0, 0, recorderType, kRetrDeviceFlag, 0});
      out.ops.push_back({DeviceTableOp::SetRetr, 0, 0, 0, 0, static_cast<std::uint8_t>(*out.retr)});
    }
  }

  readInt("VIDEOMODE", out.videoMode);
  readInt("USERLEVEL", out.userLevel);
  readText("Boot-Version", out.bootVersion);
  readText("2041-Version", out.version2041);
  readText("FPGA-Version", out.fpgaVersion);

  if (full) {
    std::size_t pos = 0;
    if (FindReplyValue(reply, "SLAVENUM", false, 0, v, &pos)) {
      const auto count = static_cast<std::uint8_t>(ReplyDecimal(v));
      const std::uint16_t flag = (out.multiChannel.value_or(0) & 0xFF) != 0 ? 2 : 4;
      std::uint8_t address = 0, type = 0, protocol = 0;
      for (unsigned i = 0; i < count; ++i) {
        std::size_t next = 0;
        if (FindReplyValue(reply, "SID", false, pos, v, &next)) {
          address = static_cast<std::uint8_t>(ReplyDecimal(v));
          pos = next;
        }
        if (FindReplyValue(reply, "STYPE", false, pos, v, &next)) {
          type = static_cast<std::uint8_t>(ReplyDecimal(v));
          if (type == 1) type = 11;  // PTZ slave
          pos = next;
        }
        if (FindReplyValue(reply, "SPROTOCOL", false, pos, v, &next)) {
          protocol = static_cast<std::uint8_t>(ReplyDecimal(v));
          pos = next;
        }
        const std::uint8_t entryType = (type == 11 && protocol == 1) ? 18 : type;  // PTZ Pelco
        out.ops.push_back({DeviceTableOp::Add, kReportedBaud, address, entryType, flag, 0});
      }
    }
  }
}

bool RetrKeyApplies(const std::string& productId, const std::string& firmware, std::uint32_t featureFlags) {
  if (IsModelFamilyK41(productId) && AtOrAbove(fwgate::kCapabilityDVR, firmware)) return (featureFlags & 0x1u) != 0;
  return true;
}

bool WantsNewHeader(const std::string& productId, const std::string& firmware) {
  if (IsModelFamilyK41(productId)) return AtOrAbove(fwgate::kNewHeaderDVR, firmware);
  if (IsModelK40R(productId)) return AtOrAbove(fwgate::kNewHeaderK40, firmware);
  return IsModelK47R(productId);
}

CCgiRequest MakeDeviceInfoRequest(std::uint8_t channel) {
  SessionRecord* app = g_lpSession;
  CCgiRequest info(CGI_GETDEVICEINFO);
  info.AddCookie(GetSessionId());
  info.AddParamInt("RES", app->CSettingINI.m_nImageResolution.load());
  info.AddParamInt("QUA", app->CSettingINI.m_nAlarmTriggerQuality.load());
  info.AddParamInt("CH", channel);
  const bool newHeader = WantsNewHeader(app->GetProductID(), app->GetFWVersion());
  if (newHeader) info.AddParamInt("NEWHR", 1);
  app->m_RTPH_Struct.f_NewHeader = newHeader ? 1 : 0;
  return info;
}

int RequestDeviceInfo(std::uint8_t channel, std::uint8_t* reply, std::size_t capacity, plat::DWORD* length,
                      plat::WORD timeoutSec) {
  const CCgiRequest info = MakeDeviceInfoRequest(channel);
  return ZududSendCommand(info, nullptr, 0, nullptr, reply, capacity, length, timeoutSec, timeoutSec);
}

void ApplyDeviceTableOps(const std::vector<DeviceTableOp>& ops, CControlDeviceTable& table) {
  for (const DeviceTableOp& op : ops) {
    switch (op.kind) {
      case DeviceTableOp::Add: table.Add(op.baud, op.id, op.type, op.flags); break;
      case DeviceTableOp::Reset: table.Reset(); break;
      case DeviceTableOp::SetRetr: table.SetRetrState(op.value); break;
    }
  }
}

void StoreDeviceInfo(const DeviceInfoValues& values, DeviceInfoScope scope) {
  if (g_lpSession == nullptr) return;
  SessionRecord& app = *g_lpSession;
  if (values.lifeTime) app.dw_LifeTime = *values.lifeTime;
  if (scope == DeviceInfoScope::Full) {
    app.by_MultiChannel = static_cast<std::uint8_t>(values.multiChannel.value_or(0));
    ApplyDeviceTableOps(values.ops, app.C_ControlD);
  }
  if (values.videoMode) app.by_VideoMode = static_cast<std::uint8_t>(*values.videoMode);
  if (values.userLevel) app.w_UserLevel = static_cast<std::uint16_t>(*values.userLevel);
  if (values.bootVersion) app.strBootVersion.Set(*values.bootVersion);
  if (values.version2041) app.str2041Version.Set(*values.version2041);
  if (values.fpgaVersion) app.strFPGAVersion.Set(*values.fpgaVersion);
}

// ---- the login worker -----------------------------------------------------------------------

Login* g_pLogin = nullptr;

Login::Login() = default;

Login::~Login() { ExitThread(); }

plat::BOOL Login::CreateThread() {
  ExitThread();
  m_hThread = plat::CreateThread([this]() -> DWORD { return Login_Thread(this); }, &m_dwThreadId, "Login_Thread");
  return m_hThread != 0 ? 1 : 0;
}

int Login::ExitThread() {
  if (m_hThread != 0) {
    plat::StopThread(m_hThread, 10);
    plat::CloseHandle(m_hThread);
    m_hThread = 0;
  }
  return 1;
}

int CreateLoginObject() {
  if (g_pLogin == nullptr) g_pLogin = new Login();
  return 1;
}

void DestroyLoginObject() {
  delete g_pLogin;
  g_pLogin = nullptr;
}

DWORD Login_Thread(Login* login) {
  const plat::HWND owner = login->m_pOwner;
  if (login->m_strUser.empty() || login->m_strPassword.empty()) {
    MessageBoxById(owner, 4081);  // "Username or password is not correct"
    return 0;
  }
  auto fail = [owner]() -> DWORD {
    plat::PostMessage(owner, WM_LOGINFINISHED, 0, -1);
    MessageBoxById(owner, 4040);  // "Login error !!"
    return 0;
  };
  if (g_lpSession == nullptr) return fail();
  SessionRecord& app = *g_lpSession;
  app.CSettingINI.m_strServerName = login->m_strServer;
  app.CSettingINI.m_wWebPort = static_cast<std::uint16_t>(ReplyDecimal(login->m_strPort));

  constexpr std::size_t kReplySize = 1024;
  std::vector<std::uint8_t> reply(kReplySize);
  DWORD length = 0;
  CCgiRequest loginRequest(CGI_LOGIN);
  loginRequest.AddParam("Username", login->m_strUser);
  loginRequest.AddParam("Password", login->m_strPassword);
  g_szSessionCookie.Clear();
  if (!ZududSendCommand(loginRequest, nullptr, 0, nullptr, reply.data(), reply.size(), &length, 15, 15) ||
      length == 0) {
    return fail();
  }
  LoginReplyValues loginValues;
  if (ParseLoginReply(ReplyText(reply.data(), length), loginValues) != LoginParseResult::Ok) return fail();
  StoreLoginReply(loginValues, false);

  CCgiRequest infoRequest(CGI_GETDEVICEINFO);
  infoRequest.AddCookie(GetSessionId());
  infoRequest.AddParamInt("RES", app.CSettingINI.m_nImageResolution.load());
  infoRequest.AddParamInt("QUA", app.CSettingINI.m_nAlarmTriggerQuality.load());
  std::fill(reply.begin(), reply.end(), 0);
  length = 0;
  if (!ZududSendCommand(infoRequest, nullptr, 0, nullptr, reply.data(), reply.size(), &length, 15, 15) ||
      length == 0) {
    return fail();
  }
  DeviceInfoValues info;
  ParseDeviceInfoReply(ReplyText(reply.data(), length), DeviceInfoScope::Worker, false, std::string_view(), info);
  StoreDeviceInfo(info, DeviceInfoScope::Worker);
  plat::PostMessage(owner, WM_LOGINFINISHED, 0, 1);
  return 1;
}
