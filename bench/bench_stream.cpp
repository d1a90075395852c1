// The live stream's receive-parse-decode path over loopback, against TurboJPEG decoding the
// same pictures alone.
//
// A sender thread plays a recorder sending packets (header + MJPEG picture) on
// 127.0.0.1 as fast as the socket takes them (the recorder's fastest rate is far below
// this, so the client's path is the bottleneck). One benchmark iteration is one picture:
// receive into the parser's buffer, cut the frame into the packet slot (header actions
// included), copy it to the staging slot and decode it into the decoded slot, as the receive
// and compose threads do. Counters:
//   pictures/s     pictures through the whole path per second of wall time
//   cpu_us/pic     CPU of this thread per picture (receive + parse + copy + decode)
//   decode_us/pic  CPU of the decoding alone, measured inside the same loop
//   beyond_decode% (path CPU - decode CPU) / decode CPU
// BM_TurboJpegDecode decodes the same picture with tjDecompress2 (bottom-up BGR) for the
// side-by-side figure.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/jpeg.h"
#include "session/Decode.h"
#include "session/RtpHeader.h"
#include "session/Socket.h"
#include "session/StreamParser.h"

namespace {

constexpr std::size_t kSlot = 102400;
constexpr std::size_t kDecoded = 1572864;

double ThreadCpuUs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

// A camera-like picture: gradients, edges and some noise, encoded at quality 75 with the
// application segment removed (pictures begin FF D8 FF DB like the recorder's).
std::vector<std::uint8_t> CameraJpeg(int w, int h) {
  std::vector<std::uint8_t> bgr(std::size_t(w) * h * 3);
  std::mt19937 rng(5);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &bgr[(std::size_t(y) * w + x) * 3];
      const int n = static_cast<int>(rng() % 10);
      const bool box = (x / 64 + y / 48) % 3 == 0;
      p[0] = static_cast<std::uint8_t>((x * 200 / w + n) & 0xFF);
      p[1] = static_cast<std::uint8_t>((y * 180 / h + (box ? 60 : 0) + n) & 0xFF);
      p[2] = static_cast<std::uint8_t>(((x + y) * 100 / (w + h) + n) & 0xFF);
    }
  std::vector<std::uint8_t> jpg;
  plat::JpegEncodeBgrBottomUp(bgr.data(), w, h, 0, 75, jpg);
  std::size_t pos = 2;
  while (pos + 4 <= jpg.size() && jpg[pos] == 0xFF && (jpg[pos + 1] & 0xF0) == 0xE0)
    pos += 2 + ((std::size_t(jpg[pos + 2]) << 8) | jpg[pos + 3]);
  std::vector<std::uint8_t> out = {0xFF, 0xD8};
  out.insert(out.end(), jpg.begin() + static_cast<std::ptrdiff_t>(pos), jpg.end());
  return out;
}

// A V1 packet when the picture's length fits its 16-bit field, else a V0 packet.
std::vector<std::uint8_t> Packet(const std::vector<std::uint8_t>& jpeg, bool& v1) {
  std::vector<std::uint8_t> p;
  v1 = jpeg.size() <= 0xFFFF;
  auto u16 = [&](unsigned v) {
    p.push_back(static_cast<std::uint8_t>(v));
    p.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  if (v1) {
    u16(1);
    u16(static_cast<unsigned>(jpeg.size()));
    p.push_back(0);
    p.push_back(0x10);
    u16(0x0020 | 0x0040 | 0x2000);
    u32(8);
    u32(476227011u);
    p.push_back(0x32);
    p.push_back(0);
    u16(0x0001);
    p.push_back(0);
  } else {
    u32(0x0001 | 0x0008 | 0x0020 | 0x0800 | 0x2000);
    u32(static_cast<std::uint32_t>(jpeg.size()));
    p.push_back(0);
    u32(8);
    p.push_back(1);
    u32(476227011u);
  }
  p.insert(p.end(), jpeg.begin(), jpeg.end());
  return p;
}

// Sends the packet over and over to the one client that connects.
class LoopbackSender {
 public:
  explicit LoopbackSender(std::vector<std::uint8_t> packet) : packet_(std::move(packet)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 1);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] {
      const int fd = ::accept(listen_, nullptr, nullptr);
      if (fd < 0) return;
      // Many packets per send, like a recorder's socket buffer filling up.
      std::vector<std::uint8_t> burst;
      for (int i = 0; i < 8; ++i) burst.insert(burst.end(), packet_.begin(), packet_.end());
      while (!stop_) {
        std::size_t off = 0;
        while (off < burst.size() && !stop_) {
          const ssize_t n = ::send(fd, burst.data() + off, burst.size() - off, MSG_NOSIGNAL);
          if (n <= 0) {
            stop_ = true;
            break;
          }
          off += static_cast<std::size_t>(n);
        }
      }
      ::close(fd);
    });
  }
  ~LoopbackSender() {
    stop_ = true;
    ::shutdown(listen_, SHUT_RDWR);
    ::close(listen_);
    thread_.join();
  }
  std::uint16_t Port() const { return port_; }

 private:
  std::vector<std::uint8_t> packet_;
  int listen_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void BM_StreamPath(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const auto jpeg = CameraJpeg(w, h);
  bool v1 = true;
  LoopbackSender sender(Packet(jpeg, v1));
  CBlockingSocket sock;
  sock.Create(CBlockingSocket::kStream);
  sock.Connect(CSockAddr("127.0.0.1", sender.Port()), 5);

  StreamParser parser(kSlot);
  parser.SetFormat(v1, false);
  CRtpHeader rtp;  // header actions without an application record
  rtp.f_NewHeader = v1 ? 1 : 0;
  parser.SetHeaderHandler([&](const FrameHeaderFields& f) { rtp.Apply(f, nullptr); });
  // The product's decoded slot (1,572,864 bytes) refuses pictures above 524,288 pixels, so
  // 1280 x 720 gets a larger one here: the figure is the path's cost, not the slot's size.
  const std::size_t picture = std::max(kDecoded, std::size_t(w) * h * 3);
  std::vector<std::uint8_t> slot(kSlot), staging(kDecoded), decoded(picture);

  double decodeUs = 0;
  std::int64_t pictures = 0;
  const double cpu0 = ThreadCpuUs();
  for (auto _ : state) {
    while (parser.Run(slot.data()) != StreamParser::Step::Frame) {
      const int n = sock.Receive(parser.WritePtr(), std::min(parser.WriteSpace(), StreamParser::kReadChunk), 5);
      if (n <= 0) {
        state.SkipWithError("receive failed");
        return;
      }
      parser.Commit(static_cast<std::size_t>(n));
    }
    const std::uint32_t len = parser.LastFrameLength();
    std::memcpy(staging.data(), slot.data(), len);
    const double d0 = ThreadCpuUs();
    plat::WORD ow = 0, oh = 0;
    if (!DecodeJpegImage(staging.data(), len, decoded.data(), decoded.size(), &ow, &oh)) {
      state.SkipWithError("decode failed");
      return;
    }
    decodeUs += ThreadCpuUs() - d0;
    ++pictures;
  }
  const double cpu = ThreadCpuUs() - cpu0;
  sock.Cleanup();
  state.counters["pictures/s"] = benchmark::Counter(static_cast<double>(pictures), benchmark::Counter::kIsRate);
  state.counters["cpu_us/pic"] = cpu / pictures;
  state.counters["decode_us/pic"] = decodeUs / pictures;
  state.counters["beyond_decode%"] = 100.0 * (cpu - decodeUs) / decodeUs;
  state.counters["jpeg_bytes"] = static_cast<double>(jpeg.size());
}

void BM_TurboJpegDecode(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const auto jpeg = CameraJpeg(w, h);
  std::vector<std::uint8_t> out(std::max(kDecoded, std::size_t(w) * h * 3));
  tjhandle tj = tjInitDecompress();
  std::int64_t pictures = 0;
  const double cpu0 = ThreadCpuUs();
  for (auto _ : state) {
    if (tjDecompress2(tj, jpeg.data(), static_cast<unsigned long>(jpeg.size()), out.data(), w, 0, h, TJPF_BGR,
                      TJFLAG_BOTTOMUP) != 0) {
      state.SkipWithError("decode failed");
      break;
    }
    ++pictures;
  }
  const double cpu = ThreadCpuUs() - cpu0;
  tjDestroy(tj);
  state.counters["pictures/s"] = benchmark::Counter(static_cast<double>(pictures), benchmark::Counter::kIsRate);
  state.counters["cpu_us/pic"] = pictures ? cpu / pictures : 0;
}

BENCHMARK(BM_StreamPath)->Args({720, 576})->Args({1280, 720})->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_TurboJpegDecode)->Args({720, 576})->Args({1280, 720})->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
