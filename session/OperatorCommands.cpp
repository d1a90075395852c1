#include "session/OperatorCommands.h"

#include <algorithm>
#include <cctype>

#include "core/Model.h"
#include "session/Command.h"
#include "session/ControlDeviceTable.h"
#include "session/DeviceTypes.h"
#include "session/Rs485.h"
#include "session/SessionRecord.h"

namespace {

int SendPlain(CCgiRequest& req) {
  return ZududSendCommand(req, nullptr, 0, nullptr, nullptr, 0, nullptr, kCommandTimeoutSec, kCommandTimeoutSec);
}

CCgiRequest WithCookie(unsigned command) {
  CCgiRequest req(command);
  req.AddCookie(GetSessionId());
  return req;
}

bool IsKeyStart(std::string_view text, std::size_t pos) {
  if (pos == 0) return true;
  const char c = text[pos - 1];
  return c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The position of `key` as a whole word at or after `from` that is followed by at least one
// more character (its separator); npos when there is none.
std::size_t FindKey(std::string_view text, std::string_view key, std::size_t from = 0) {
  for (std::size_t pos = text.find(key, from); pos != std::string_view::npos; pos = text.find(key, pos + 1)) {
    const std::size_t after = pos + key.size();
    if (!IsKeyStart(text, pos) || after >= text.size()) continue;
    const unsigned char sep = static_cast<unsigned char>(text[after]);
    if (std::isalnum(sep) || sep == '_') continue;  // a longer key
    return pos;
  }
  return std::string_view::npos;
}

// The value text after the key and its separator, up to ';' or the end; `end` receives the
// position of the ';' (or the text's size).
std::string_view ValueAfter(std::string_view text, std::size_t keyPos, std::size_t keyLength, std::size_t& end) {
  const std::size_t start = std::min(text.size(), keyPos + keyLength + 1);
  end = text.find(';', start);
  if (end == std::string_view::npos) end = text.size();
  return text.substr(start, end - start);
}

// A decimal number (optional sign, blanks around it allowed); false for anything else.
bool ParseDecimal(std::string_view v, long& out) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r' || v.back() == '\n')) v.remove_suffix(1);
  bool negative = false;
  if (!v.empty() && (v.front() == '-' || v.front() == '+')) {
    negative = v.front() == '-';
    v.remove_prefix(1);
  }
  if (v.empty()) return false;
  long value = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return false;
    value = std::min(value * 10 + (c - '0'), 1000000L);  // saturates well above any bound used
  }
  out = negative ? -value : value;
  return true;
}

int Clamp255(long v) { return static_cast<int>(std::clamp(v, 0L, 255L)); }

}  // namespace

// ---- resolution, quality ----

int SendResolution(int res) {
  CCgiRequest req = WithCookie(CGI_SETRESOLUTION);
  req.AddParamInt("RES", res);
  return SendPlain(req);
}

int SendQuality(int quality) {
  CCgiRequest req = WithCookie(CGI_SETQUALITY);
  req.AddParamInt("QUA", quality);
  return SendPlain(req);
}

// ---- channel ----

int SendSetChannel(std::uint8_t channel) {
  CCgiRequest req = WithCookie(CGI_SETCHANNEL);
  req.AddParamInt("CH", channel);
  return SendPlain(req);
}

// ---- colour ----

ColorValues ParseColorReply(std::string_view text) {
  // Text ends at the first zero byte, as the reply is read as a string.
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  ColorValues v;
  auto take = [text](std::string_view key, int& value) {
    const std::size_t pos = FindKey(text, key);
    if (pos == std::string_view::npos) return;
    std::size_t end = 0;
    std::string_view raw = ValueAfter(text, pos, key.size(), end);
    if (raw.size() > 255) raw = raw.substr(0, 255);
    long n = 0;
    if (ParseDecimal(raw, n)) value = Clamp255(n);
  };
  take("CON", v.contrast);
  take("BRI", v.brightness);
  take("HUE", v.hue);
  return v;
}

int GetColorValues(ColorValues& out) {
  CCgiRequest req = WithCookie(CGI_GETCOLOR);
  std::uint8_t buffer[kColorReplyCapacity + 1] = {};
  plat::DWORD length = 0;
  if (!ZududSendCommand(req, nullptr, 0, nullptr, buffer, kColorReplyCapacity, &length, kCommandTimeoutSec,
                        kCommandTimeoutSec)) {
    return 0;
  }
  out = ParseColorReply(std::string_view(reinterpret_cast<const char*>(buffer), std::min<std::size_t>(length, kColorReplyCapacity)));
  return 1;
}

int SendColorValues(int contrast, int brightness, int hue) {
  CCgiRequest req = WithCookie(CGI_SETCOLOR);
  req.AddParamInt("CON", contrast);
  req.AddParamInt("BRI", brightness);
  req.AddParamInt("HUE", hue);
  return SendPlain(req);
}

int ColorSwap(int v) { return v >= 128 ? v - 128 : v + 128; }

bool ColorUsesSwap(std::string_view productId) {
  return IsModelK40R(productId) || IsModelFamilyK44(productId) || IsModelK47R(productId);
}

ColorValues DeviceToShown(std::string_view productId, const ColorValues& device) {
  if (!ColorUsesSwap(productId)) return device;
  return ColorValues{device.contrast, ColorSwap(device.brightness), ColorSwap(device.hue)};
}

ColorValues ShownToDevice(std::string_view productId, const ColorValues& shown) {
  // The swap is its own inverse.
  return DeviceToShown(productId, shown);
}

ColorDefaults ColorDefaultsFor(std::string_view productId) {
  if (ColorUsesSwap(productId)) return ColorDefaults{175, 150, 130, 128};
  return ColorDefaults{128, 128, 128, 128};
}

// ---- R.E.T.R. ----

int SendRetrSwitch(std::uint8_t reportedState) {
  CCgiRequest req = WithCookie(CGI_SETRETR);
  req.AddParam("SET", reportedState != 0 ? "0" : "1");
  return SendPlain(req);
}

// ---- image sensor ----

int SendSensorZoom(int mode) {
  CCgiRequest req = WithCookie(CGI_OV9653ZOOM);
  req.AddParamInt("MODE", mode);
  std::uint8_t reply[256];
  plat::DWORD length = 0;
  return ZududSendCommand(req, nullptr, 0, nullptr, reply, sizeof reply, &length, kCommandTimeoutSec,
                          kCommandTimeoutSec);
}

int SendSensorRotate(bool horizontalKey, int hr, int vr) {
  CCgiRequest req = WithCookie(CGI_OV9653ROTATE);
  if (horizontalKey) {
    req.AddParamInt("HR", hr);
    req.AddParamInt("VR", vr);
  } else {
    req.AddParamInt("VR", vr);
    req.AddParamInt("HR", hr);
  }
  std::uint8_t reply[256];
  plat::DWORD length = 0;
  return ZududSendCommand(req, nullptr, 0, nullptr, reply, sizeof reply, &length, kCommandTimeoutSec,
                          kCommandTimeoutSec);
}

// ---- PTZ slaves ----

std::vector<PtzSlave> ParsePtzSlaveList(std::string_view text, std::size_t maxSlaves) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  std::vector<PtzSlave> slaves;
  const std::size_t countPos = FindKey(text, "SLAVENUM");
  if (countPos == std::string_view::npos) return slaves;
  std::size_t p = 0;
  long count = 0;
  if (!ParseDecimal(ValueAfter(text, countPos, 8, p), count) || count <= 0) return slaves;
  p = 0;
  // A key at or after p (and before `limit`) with its value in 0..255; the position moves to
  // the value's ';'.
  auto read = [&text, &p](std::string_view key, std::size_t limit, long& value) {
    const std::size_t pos = FindKey(text, key, p);
    if (pos == std::string_view::npos || pos >= limit) return false;
    std::size_t end = 0;
    if (!ParseDecimal(ValueAfter(text, pos, key.size(), end), value) || value < 0 || value > 255) return false;
    p = end;
    return true;
  };
  constexpr std::size_t kNoLimit = std::string_view::npos;
  for (long i = 0; i < count && slaves.size() < maxSlaves; ++i) {
    long id = 0, stype = 0, protocol = 0;
    if (!read("SID", kNoLimit, id)) break;
    // The slave's other keys come before the next slave's SID.
    const std::size_t nextSid = FindKey(text, "SID", p);
    if (!read("STYPE", nextSid, stype)) break;
    long type = stype == 1 ? static_cast<long>(DT_PTZ_SLAVE) : stype;
    if (FindKey(text, "SPROTOCOL", p) < nextSid) {
      if (!read("SPROTOCOL", nextSid, protocol)) break;
      if (type == DT_PTZ_SLAVE && protocol == 1) type = DT_PTZ_PELCO;
    }
    if (type >= kDeviceTypeCount) type = 0;
    slaves.push_back(PtzSlave{static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(type)});
  }
  return slaves;
}

int RequestPtzSlaves(std::vector<PtzSlave>* slaves, std::size_t maxSlaves) {
  CCgiRequest req = WithCookie(CGI_PTZRESET);
  CgiReplyRecord record;
  if (!slaves) {
    return ZududSendCommand(req, nullptr, 0, &record, nullptr, 0, nullptr, kCommandTimeoutSec, kCommandTimeoutSec);
  }
  std::vector<std::uint8_t> buffer(kPtzSlaveReplyCapacity + 1, 0);
  plat::DWORD length = 0;
  if (!ZududSendCommand(req, nullptr, 0, &record, buffer.data(), kPtzSlaveReplyCapacity, &length, kCommandTimeoutSec,
                        kCommandTimeoutSec)) {
    return 0;
  }
  *slaves = ParsePtzSlaveList(
      std::string_view(reinterpret_cast<const char*>(buffer.data()), std::min<std::size_t>(length, kPtzSlaveReplyCapacity)),
      maxSlaves);
  return 1;
}

// ---- PTZ selection ----

std::vector<std::uint8_t> PtzSelectPacket(int n) {
  if (n >= 1 && n <= 9) return {0x02, 0x05, static_cast<std::uint8_t>(n + 5), 0x01, kRs485RepeatInterval};
  if (n >= 10 && n <= 16) return {0x02, 0x06, static_cast<std::uint8_t>(n - 5), 0x01, kRs485RepeatInterval};
  return {};
}

std::vector<std::uint8_t> PtzBackPacket() { return {0x01, 0x10, 0x01, kRs485RepeatInterval}; }

int SendPtzSelection(const std::vector<std::uint8_t>& packet) {
  if (packet.empty()) return 0;
  CCgiRequest req(CGI_RS485CMD);
  req.AddParam("Control", "K41R");
  req.AddParam("MASTER", "1");
  req.AddCookie(GetSessionId());
  CgiReplyRecord record;
  return ZududSendCommand(req, packet.data(), static_cast<plat::DWORD>(packet.size()), &record, nullptr, 0, nullptr,
                          kCommandTimeoutSec, kCommandTimeoutSec);
}

// ---- hot point ----

HotPointCell LocateHotPoint(int x, int y, const HotPointArea& a) {
  HotPointCell out;
  const int w = a.right - a.left;
  const int h = a.bottom - a.top;
  if (w <= 0 || h <= 0) return out;
  const int cw = w / 16;
  const int ch = h / 12;
  if (a.fullScreen) {
    if (!(a.left + 8 < x && x < a.right - 8 && a.top + 8 < y && y < a.bottom - 8)) return out;
  } else {
    if (!(a.videoLeft < x && x < a.videoRight && a.videoTop < y && y < a.videoBottom)) return out;
  }
  int column = 0;
  for (int k = 1; k <= 16; ++k) {
    if (a.left + k * cw < x) ++column;
  }
  int row = 0;
  for (int k = 1; k <= 12; ++k) {
    if (a.top + k * ch < y) ++row;
  }
  out.column = std::min(column, 15);
  out.row = std::min(row, 11);
  if (a.fullScreen) {
    const long long vw = a.videoRight - a.videoLeft;
    const long long vh = a.videoBottom - a.videoTop;
    out.markerX = static_cast<std::uint16_t>(vw * (x - a.left) / w);
    out.markerY = static_cast<std::uint16_t>(vh * (y - a.top) / h);
  } else {
    out.markerX = static_cast<std::uint16_t>(x - a.videoLeft);
    out.markerY = static_cast<std::uint16_t>(y - a.videoTop);
  }
  out.accepted = true;
  return out;
}

std::vector<std::uint8_t> HotPointPacket(std::uint8_t type, std::uint8_t id, std::uint8_t level, std::uint8_t cell) {
  if (type == DT_PTZ) return {5, 0xD0, id, 0x52, cell, 0x00, 1, kRs485RepeatInterval};
  if (type == DT_PTZ_SLAVE || type == DT_PTZ_PELCO || type == DT_PTZ_PELCO_D) {
    const auto sum = static_cast<std::uint8_t>((0xD0 + id + level + 0x52 + cell) & 0xFF);
    return {7, 0xD0, id, level, 0x52, cell, 0x00, sum, 1, kRs485RepeatInterval};
  }
  return {0, 0, 0};
}

CCgiRequest BuildHotPointRequest(const CControlDeviceTable& table, const std::string& productId, bool multiChannel,
                                 const std::string& sessionId) {
  return BuildRs485AddressedRequest(table, productId, multiChannel, Rs485Pelco::PelcoHeads, sessionId);
}

int SendHotPoint(std::uint8_t cell) {
  SessionRecord* app = g_lpSession;
  if (!app) return 0;
  const std::vector<std::uint8_t> packet =
      HotPointPacket(app->C_ControlD.GetCurrentType(), app->C_ControlD.GetCurrentId(),
                     Rs485AccessLevel(app->by_AccessMode.load()), cell);
  const CCgiRequest req =
      BuildHotPointRequest(app->C_ControlD, app->GetProductID(), app->by_MultiChannel.load() != 0, GetSessionId());
  CgiReplyRecord record;
  return ZududSendCommand(req, packet.data(), static_cast<plat::DWORD>(packet.size()), &record, nullptr, 0, nullptr,
                          kCommandTimeoutSec, kCommandTimeoutSec);
}
