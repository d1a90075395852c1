#include "session/Rs485.h"

#include "core/AppRecord.h"
#include "core/Model.h"
#include "core/Strings.h"
#include "session/Command.h"
#include "session/ControlDeviceTable.h"

namespace {

constexpr std::uint8_t kAccessLevels[4] = {60, 40, 4, 20};
constexpr std::uint8_t kGuestAccessMode = 2;

// The packet under construction: bytes from offset 1 on enter the running sums.
class PacketWriter {
 public:
  explicit PacketWriter(std::uint8_t* buffer) : p_(buffer) {}
  bool Full() const { return pos_ >= kRs485PacketSize; }
  std::size_t Pos() const { return pos_; }
  // Places one byte at the next offset (1 on); `sum2` says whether it enters the offset-2 sum.
  void Place(std::uint8_t v, bool sum2 = true) {
    if (Full()) return;
    p_[pos_] = v;
    sum1_ += v;
    if (sum2 && pos_ >= 2) sum2_ += v;
    ++pos_;
  }
  std::uint8_t Sum1() const { return static_cast<std::uint8_t>(sum1_); }
  std::uint8_t Sum2() const { return static_cast<std::uint8_t>(sum2_); }

 private:
  std::uint8_t* p_;
  std::size_t pos_ = 1;
  unsigned sum1_ = 0;
  unsigned sum2_ = 0;
};

// The value of a substitution code that means the same in every template kind; false for
// the others.
bool CommonCode(std::uint8_t code, const Rs485Values& values, const PacketWriter& w, std::uint8_t& out) {
  switch (code) {
    case RC_VIDEO_DEVICE: out = values.videoDeviceId; return true;
    case RC_ACCESS_LEVEL: out = values.accessLevel; return true;
    case RC_SUM_FROM_1: out = w.Sum1(); return true;
    case RC_SUM_FROM_2: out = w.Sum2(); return true;
    case RC_BUS_DEVICE: out = values.busDeviceId; return true;
    default: return false;
  }
}

void BuildVariable(const CtrlCommandSlot& slot, const Rs485Values& values, std::uint8_t* packet) {
  const std::size_t count = std::min<std::size_t>(slot.byCount, slot.bytes.size());
  const std::uint8_t n = slot.bytes[1];
  packet[0] = n;
  PacketWriter w(packet);
  std::size_t i = 2;
  while (i < count && !w.Full()) {
    const std::uint8_t b = slot.bytes[i];
    if (b == 0 && i > n) break;
    if (!slot.IsSubst(i)) {
      w.Place(b);
      ++i;
      continue;
    }
    std::uint8_t v = 0;
    if (CommonCode(b, values, w, v)) {
      w.Place(v);
      ++i;
    } else if (b == RC_LITERAL_NEXT || b == RC_LITERAL_LAST) {
      if (i + 1 >= count) break;  // nothing left to copy
      w.Place(slot.bytes[i + 1], false);
      i += 2;
      if (b == RC_LITERAL_LAST) break;
    } else {
      w.Place(0);
      ++i;
    }
  }
}

}  // namespace

Rs485Build BuildRs485Packet(const CtrlCommandSlot& slot, std::uint8_t repeat, bool presetMode,
                            const Rs485Values& values, std::vector<std::uint8_t>& body) {
  body.clear();
  if (slot.byCount == 0 || slot.bytes.empty()) return Rs485Build::Empty;
  std::uint8_t packet[kRs485PacketSize] = {};
  std::size_t n;
  if (GetTemplateKind(slot) == TemplateKind::Variable) {
    if (!IsTemplateSendable(slot)) return Rs485Build::Bad;
    BuildVariable(slot, values, packet);
    n = packet[0];
  } else {
    std::size_t start = 0;
    if (!FindCommandList(slot, presetMode, start, n)) return Rs485Build::Bad;
    packet[0] = static_cast<std::uint8_t>(n);
    PacketWriter w(packet);
    const CtrlDeviceRecord* owner = slot.pOwner;
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t i = start + k;
      std::uint8_t v = slot.bytes[i];
      if (slot.IsSubst(i)) {
        const std::uint8_t code = v;
        if (!CommonCode(code, values, w, v))
          v = (owner && code < kCtrlParamCount) ? owner->byParam[code] : 0;
      }
      w.Place(v);
    }
    packet[n + 1] = repeat;
    packet[n + 2] = kRs485RepeatInterval;
  }
  body.assign(packet, packet + n + 3);
  return Rs485Build::Ok;
}

std::uint8_t Rs485AccessLevel(std::uint8_t accessMode) {
  return kAccessLevels[accessMode < 4 ? accessMode : kGuestAccessMode];
}

Rs485Values MakeRs485Values(const CControlDeviceTable& table, const std::string& productId, bool multiChannel,
                            std::uint8_t accessMode) {
  Rs485Values v;
  v.videoDeviceId = table.GetVideoDeviceId();
  v.accessLevel = Rs485AccessLevel(accessMode);
  // On a K41R-family recorder without MULTICH the bus device is the PTZ head chosen last.
  v.busDeviceId = (IsModelFamilyK41(productId) && !multiChannel) ? table.GetPtzDeviceId() : v.videoDeviceId;
  return v;
}

CCgiRequest BuildRs485Request(const CControlDeviceTable& table, const std::string& productId, bool multiChannel,
                              std::uint16_t keyFlags, const std::string& sessionId) {
  CCgiRequest req(CGI_RS485CMD);
  const bool pelcoAllowed = !(keyFlags & SBF_NOPELCO);
  auto addPelco = [&req] {
    req.AddParam("PELOCO", "1");
    req.AddParam("PROTOCOL", "PELCO");
  };
  req.AddParam("Control", "K41R");
  const int o = table.GetCurrentOrdinal();
  if (IsModelFamilyK41(productId) && multiChannel) {
    if (o == 0) {
      req.AddParam("MASTER", "1");
    } else {
      req.AddParamInt("CH", o - 1);
      req.AddParam("MASTER", "0");
      if (table.GetCurrentType() == DT_PTZ_PELCO && pelcoAllowed) addPelco();
    }
  } else if (!table.IsCurrentVideo()) {
    req.AddParamInt("CH", o);
    req.AddParam("MASTER", "0");
    if (table.GetNthPtzType(o) == DT_PTZ_PELCO && pelcoAllowed) addPelco();
  } else {
    if (IsModelK40R(productId) || IsModelFamilyK44(productId) || IsModelK47R(productId)) {
      req.AddParamInt("CH", o);
      const std::uint8_t type = table.GetVideoDeviceType();
      if ((type == DT_PTZ_PELCO || type == DT_PTZ_PELCO_D) && pelcoAllowed) addPelco();
    }
    req.AddParam("MASTER", "1");
  }
  req.AddCookie(sessionId);
  return req;
}

int SendRS485Command(const CtrlCommandSlot& slot, std::uint8_t repeat, std::uint16_t keyFlags) {
  AppRecord* app = g_lpApp;
  if (!app) return 0;
  const std::string productId = app->GetProductID();
  const bool multi = app->by_MultiChannel.load() != 0;
  const Rs485Values values = MakeRs485Values(app->C_ControlD, productId, multi, app->by_AccessMode.load());
  std::vector<std::uint8_t> body;
  switch (BuildRs485Packet(slot, repeat, app->f_PresetMode.load() != 0, values, body)) {
    case Rs485Build::Empty:
      MessageBoxById(app->h_MainDialogHandle.load(), kMsgUnsupportedCommand);
      return 0;
    case Rs485Build::Bad:
      MessageBoxById(app->h_MainDialogHandle.load(), kMsgBadCommandLine);
      return 0;
    case Rs485Build::Ok:
      break;
  }
  const CCgiRequest req = BuildRs485Request(app->C_ControlD, productId, multi, keyFlags, GetSessionId());
  CgiReplyRecord reply;
  if (!ZududSendCommand(req, body.data(), static_cast<plat::DWORD>(body.size()), &reply, nullptr, 0, nullptr, 20,
                        20)) {
    MessageBoxById(app->h_MainDialogHandle.load(), kMsgSendFailed);
    return 0;
  }
  return 1;
}

int DoDeviceCommand(int turbo, std::uint16_t key) {
  AppRecord* app = g_lpApp;
  if (!app || key >= kPanelKeyCount) return 0;
  const std::uint8_t type = app->C_ControlD.GetCurrentType();
  if (type >= kDeviceTypeCount) {
    MessageBoxById(app->h_MainDialogHandle.load(), kMsgNoProtocol);
    return 0;
  }
  const DeviceTypeEntry& entry = DeviceTypeTable[type];
  const CtrlDeviceRecord* record = entry.pCtrlRecord;
  if (!record) {
    MessageBoxById(app->h_MainDialogHandle.load(), kMsgNoProtocol);
    return 0;
  }
  const std::uint8_t repeat = turbo ? app->by_TurboRepeatStep.load() : 1;
  return SendRS485Command(record->Keys[key], repeat, entry.Rows[key].wFlags);
}
