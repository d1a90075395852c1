// Configuration sections: decoding any bytes of a section's size and encoding them again
// gives the same bytes back, for every device variant; the sender address and the online
// list read any input without running past it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "session/Sections.h"

namespace {

const sect::Device kDevices[] = {{"K41R", "1000"}, {"K42R", "1027"}, {"K43R", "3000"}, {"K40R", "1002"},
                                 {"K40R", "1010"}, {"K47R", "1003"}, {"K44R", "0002"}, {"K46R", "9999"},
                                 {"XXXX", "12"}};

template <class S, class Dec, class Enc>
void Check(const std::uint8_t* p, std::size_t n, Dec dec, Enc enc) {
  S s;
  if (!dec(p, n, s)) {
    if (n == S::kSize) __builtin_trap();
    return;
  }
  std::vector<std::uint8_t> out(S::kSize);
  enc(s, out.data());
  if (std::memcmp(out.data(), p, S::kSize) != 0) __builtin_trap();
}

template <class S>
void Plain(const std::uint8_t* p, std::size_t n) {
  Check<S>(p, n, [](auto* d, auto m, S& s) { return S::Decode(d, m, s); },
           [](const S& s, std::uint8_t* o) { s.Encode(o); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const sect::Device& d = kDevices[data[0] % (sizeof kDevices / sizeof kDevices[0])];
  const std::uint8_t* p = data + 1;
  const std::size_t n = size - 1;
  using namespace sect;
  Plain<InfSection>(p, n);
  Plain<SecureSection>(p, n);
  Plain<DnsSection>(p, n);
  Plain<SmtpSection>(p, n);
  Plain<FtpSection>(p, n);
  Plain<SystemSection>(p, n);
  Plain<DvrLiveSection>(p, n);
  Plain<DvrRecSection>(p, n);
  Plain<PeriSection>(p, n);
  Check<IpSection>(p, n, [](auto* b, auto m, IpSection& s) { return IpSection::Decode(b, m, s); },
                   [&](const IpSection& s, std::uint8_t* o) { s.Encode(o, d); });
  Check<SntpSection>(p, n, [](auto* b, auto m, SntpSection& s) { return SntpSection::Decode(b, m, s); },
                     [&](const SntpSection& s, std::uint8_t* o) { s.Encode(o, d); });
  Check<Rs485Section>(p, n, [&](auto* b, auto m, Rs485Section& s) { return Rs485Section::Decode(b, m, d, s); },
                      [&](const Rs485Section& s, std::uint8_t* o) { s.Encode(o, d); });
  Check<AlarmSection>(p, n, [&](auto* b, auto m, AlarmSection& s) { return AlarmSection::Decode(b, m, d, s); },
                      [&](const AlarmSection& s, std::uint8_t* o) { s.Encode(o, d); });
  for (bool isNew : {true, false})
    Check<PppoeSection>(p, n, [&](auto* b, auto m, PppoeSection& s) { return PppoeSection::Decode(b, m, isNew, s); },
                        [](const PppoeSection& s, std::uint8_t* o) { s.Encode(o); });
  OnlineSection online;
  OnlineSection::Decode(p, n, online);

  // Sender address over blocks cut from the input.
  std::vector<std::uint8_t> smtp(440, 0), system(36, 0), sntp(36, 0);
  std::memcpy(smtp.data(), p, std::min<std::size_t>(n, 440));
  if (n > 440) std::memcpy(system.data(), p + 440, std::min<std::size_t>(n - 440, 36));
  if (n > 476) std::memcpy(sntp.data(), p + 476, std::min<std::size_t>(n - 476, 36));
  const std::string from = ReadMailFrom(d, smtp.data(), system.data(), sntp.data());
  WriteMailFrom(d, from, smtp.data(), system.data(), sntp.data());
  if (ReadMailFrom(d, smtp.data(), system.data(), sntp.data()) != from) __builtin_trap();
  return 0;
}
