// The control-file parser and the RS-485 packet builder over arbitrary file contents: every
// template the loader accepts must form a packet in both modes without reading past it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "session/CtrlFile.h"
#include "session/Rs485.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CtrlFileData d = ParseCtrlFile(data, size);
  if (d.count < 0 || d.count > kCtrlMaxDevices) __builtin_trap();
  Rs485Values values;
  values.videoDeviceId = 0x5A;
  values.accessLevel = 60;
  values.busDeviceId = 0xA5;
  std::vector<std::uint8_t> body;
  for (int r = 0; r < d.count; ++r) {
    CtrlDeviceRecord& rec = d.records[static_cast<std::size_t>(r)];
    if (rec.szName[kCtrlNameSize - 1] != 0) __builtin_trap();
    auto check = [&](const CtrlCommandSlot& slot) {
      if (slot.bytes.size() != slot.byCount || slot.subst.size() != slot.byCount) __builtin_trap();
      for (bool preset : {false, true}) {
        const Rs485Build b = BuildRs485Packet(slot, 3, preset, values, body);
        if (slot.Empty() && b != Rs485Build::Empty) __builtin_trap();
        if (!slot.Empty() && b == Rs485Build::Bad) __builtin_trap();  // the loader refuses those
        if (b == Rs485Build::Ok && (body.size() > kRs485PacketSize || body.size() != body[0] + 3u)) __builtin_trap();
      }
    };
    check(rec.Power);
    for (const CtrlCommandSlot& slot : rec.Keys) check(slot);
  }
  LinkCtrlFileDevices(d.records.get(), d.count);
  LinkCtrlFileDevices(nullptr, 0);
  return 0;
}
