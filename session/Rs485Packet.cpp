// The RS-485 packet of a template: pure byte work, no application state.
#include <algorithm>

#include "session/Rs485.h"

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
