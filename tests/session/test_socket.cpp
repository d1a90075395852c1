#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

#include "platform/clock.h"
#include "tests/support/WaitUntil.h"
#include "platform/kernel.h"
#include "platform/net.h"
#include "platform/thread.h"
#include "session/Socket.h"

namespace {

using Clock = std::chrono::steady_clock;

// A listening socket on 127.0.0.1 with an ephemeral port.
struct Listener {
  int fd = -1;
  plat::WORD port = 0;
  Listener() {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd, 4);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  int Accept() { return ::accept(fd, nullptr, nullptr); }
  ~Listener() { ::close(fd); }
};

std::string ThrownBy(const std::function<void()>& f) {
  try {
    f();
  } catch (const CBlockingSocketException& e) {
    return e.m_strMessage;
  }
  return "";
}

}  // namespace

TEST(SockAddr, ValuesAndText) {
  CSockAddr a("192.168.200.129", 80);
  EXPECT_EQ(a.IPAddr(), 0xC0A8C881u);
  EXPECT_EQ(a.Port(), 80);
  EXPECT_EQ(a.DottedText(), "192.168.200.129");
  EXPECT_EQ(CSockAddr("recorder", 80).IPAddr(), 0xFFFFFFFFu);
  EXPECT_EQ(CSockAddr().IPAddr(), 0u);
  EXPECT_EQ(CBlockingSocket::GetHostByName("localhost", 81).DottedText(), "127.0.0.1");
  EXPECT_EQ(CBlockingSocket::GetHostByName("localhost", 81).Port(), 81);
  EXPECT_EQ(ThrownBy([] { CBlockingSocket::GetHostByName("no-such-host.invalid", 80); }), "GetHostByName");
}

TEST(BlockingSocket, WithoutASocket) {
  CBlockingSocket s;
  char buf[8];
  const auto start = Clock::now();
  EXPECT_EQ(s.Receive(buf, sizeof buf, 5), -1);
  EXPECT_LT(MsSince(start), 100);
  s.Close();
  s.Cleanup();
  s.Close();
  EXPECT_EQ(ThrownBy([&] { s.Write("x", 1, 1); }), "Send");
  EXPECT_EQ(ThrownBy([&] { s.Connect(CSockAddr("127.0.0.1", 1), 1); }), "Connect");
}

TEST(BlockingSocket, ConnectWriteReceiveAndPeerClose) {
  Listener l;
  CBlockingSocket s;
  s.Create();
  s.Connect(CSockAddr("127.0.0.1", l.port), 2);
  EXPECT_EQ(s.m_bConnected, 1);
  const int peer = l.Accept();
  ASSERT_GE(peer, 0);
  EXPECT_EQ(s.Write("", 0, 1), 0);
  EXPECT_EQ(s.Write("hello", 5, 1), 5);
  char buf[16] = {};
  EXPECT_EQ(::recv(peer, buf, sizeof buf, 0), 5);
  ::send(peer, "abc", 3, 0);
  EXPECT_EQ(s.Receive(buf, 2, 1), 2);  // never more than the capacity
  EXPECT_EQ(s.Receive(buf, sizeof buf, 1), 1);
  auto start = Clock::now();
  EXPECT_EQ(s.Receive(buf, sizeof buf, 1), -1);  // time-out
  EXPECT_GE(MsSince(start), 900);
  ::close(peer);
  EXPECT_EQ(s.Receive(buf, sizeof buf, 1), -1);  // closed by the peer
  s.Close();
  EXPECT_EQ(s.m_bConnected, 0);
  EXPECT_FALSE(s.IsOpen());
  s.Cleanup();
}

TEST(BlockingSocket, RefusedConnectAndLargeWrite) {
  plat::WORD port;
  {
    Listener l;
    port = l.port;
  }
  CBlockingSocket s;
  s.Create();
  EXPECT_EQ(ThrownBy([&] { s.Connect(CSockAddr("127.0.0.1", port), 2); }), "Connect");
  s.Close();
  s.Cleanup();

  // A write larger than the socket buffers completes while the peer reads slowly; a peer
  // that stops reading makes it fail with the send time-out.
  Listener l;
  CBlockingSocket w;
  w.Create();
  w.Connect(CSockAddr("127.0.0.1", l.port), 2);
  const int peer = l.Accept();
  std::string big(8 << 20, 'z');
  auto start = Clock::now();
  EXPECT_EQ(ThrownBy([&] { w.Write(big.data(), big.size(), 1); }), "Send timeout");
  EXPECT_LT(MsSince(start), 3000);
  ::close(peer);
}

TEST(BlockingSocket, CancellingTheThreadEndsABlockedReceive) {
  Listener l;
  std::atomic<bool> connected{false};
  const plat::HANDLE t = plat::CreateThread([&]() -> plat::DWORD {
    CBlockingSocket s;
    s.Create();
    s.Connect(CSockAddr("127.0.0.1", l.port), 2);
    connected = true;
    char buf[4];
    s.Receive(buf, sizeof buf, 60);
    return 0;
  });
  const int peer = l.Accept();
  EXPECT_TRUE(WaitUntil([&] { return connected.load(); }, 5000));
  plat::Sleep(50);
  const auto start = Clock::now();
  plat::CancelThread(t, 31);
  EXPECT_EQ(plat::WaitForSingleObject(t, 3000), plat::WAIT_OBJECT_0);
  EXPECT_LT(MsSince(start), 1000);
  plat::CloseHandle(t);
  ::close(peer);
}

TEST(BlockingSocket, LocalAddress) {
  plat::SetLocalIPv4Override("10.200.129.7");
  EXPECT_EQ(GetLocalIPAddress(), "10.200.129.7");
  char small[6];
  GetLocalIPAddress(small, sizeof small);
  EXPECT_STREQ(small, "10.20");
  plat::SetLocalIPv4Override("");
  EXPECT_FALSE(GetLocalIPAddress().empty());
}

// A peer whose accept queue is full drops further connection attempts: the connect then
// neither succeeds nor fails, and only its own time-out or a cancel request ends it.
TEST(BlockingSocket, ConnectToAPeerThatNeverAcceptsIsBoundedAndCancellable) {
  Listener l;
  ::listen(l.fd, 0);
  std::vector<int> fillers;
  bool full = false;
  for (int i = 0; i < 16 && !full; ++i) {
    const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    fillers.push_back(f);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(l.port);
    ::connect(f, reinterpret_cast<sockaddr*>(&a), sizeof a);
    pollfd p{f, POLLOUT, 0};
    full = ::poll(&p, 1, 200) == 0;  // still pending: the queue is full
  }
  if (!full) {
    for (int f : fillers) ::close(f);
    GTEST_SKIP() << "this system accepts every queued connection";
  }

  CBlockingSocket s;
  s.Create();
  auto start = Clock::now();
  EXPECT_EQ(ThrownBy([&] { s.Connect(CSockAddr("127.0.0.1", l.port), 1); }), "Connect timeout");
  long long ms = MsSince(start);
  EXPECT_GE(ms, 900);
  EXPECT_LT(ms, 3000);
  s.Close();
  s.Cleanup();

  std::atomic<bool> started{false};
  const plat::HANDLE t = plat::CreateThread([&]() -> plat::DWORD {
    CBlockingSocket c;
    c.Create();
    started = true;
    c.Connect(CSockAddr("127.0.0.1", l.port), 60);
    return 0;
  });
  EXPECT_TRUE(WaitUntil([&] { return started.load(); }, 5000));
  plat::Sleep(100);
  start = Clock::now();
  plat::CancelThread(t, 31);
  EXPECT_EQ(plat::WaitForSingleObject(t, 3000), plat::WAIT_OBJECT_0);
  EXPECT_LT(MsSince(start), 1000);
  plat::DWORD code = 0;
  plat::GetExitCodeThread(t, &code);
  EXPECT_EQ(code, 31u);
  plat::CloseHandle(t);
  for (int f : fillers) ::close(f);
}
