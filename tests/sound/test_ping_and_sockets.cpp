// The socket class's further operations, the connection test, the ICMP echo packet and the
// ping object on 127.0.0.1; the control-file template and the alarm-state step.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <memory>
#include <string>

#include "core/Checksum.h"
#include "core/StartupChecks.h"
#include "engine/AppRecord.h"
#include "platform/messages.h"
#include "session/ConnectionTest.h"
#include "session/CtrlFile.h"
#include "session/CtrlFileTemplate.h"
#include "session/IcmpPing.h"
#include "session/RtpHeader.h"
#include "session/Socket.h"
#include "tests/support/WaitUntil.h"
#include "sound_fixture.h"

namespace {

std::string ThrownBy(const std::function<void()>& f) {
  try {
    f();
  } catch (const CBlockingSocketException& e) {
    return e.GetErrorMessage();
  }
  return "";
}

// A listening socket on 127.0.0.1 and an ephemeral port.
struct Listener {
  CBlockingSocket sock;
  plat::WORD port = 0;
  Listener() {
    sock.Create(CBlockingSocket::kStream);
    sock.Bind(CSockAddr("127.0.0.1", 0));
    sock.Listen();
    CSockAddr me;
    sock.GetSockName(me);
    port = me.Port();
  }
};

}  // namespace

TEST(SocketExtras, ListenAcceptAndTheNamesOfBothEnds) {
  Listener l;
  ASSERT_NE(l.port, 0);
  CBlockingSocket client;
  client.Create(CBlockingSocket::kStream);
  client.Connect(CSockAddr("127.0.0.1", l.port), 5);

  CBlockingSocket server;
  CSockAddr peer;
  ASSERT_EQ(l.sock.Accept(server, peer), 1);
  CSockAddr clientName, serverPeer;
  client.GetSockName(clientName);
  server.GetPeerName(serverPeer);
  EXPECT_EQ(peer.Port(), clientName.Port());
  EXPECT_EQ(serverPeer.Port(), clientName.Port());
  EXPECT_EQ(peer.DottedText(), "127.0.0.1");

  const char msg[] = "hello";
  EXPECT_EQ(client.Write(msg, 5, 5), 5);
  char buf[8] = {};
  EXPECT_EQ(server.Receive(buf, sizeof buf, 5), 5);
  EXPECT_STREQ(buf, "hello");
}

TEST(SocketExtras, DatagramsWithTheirSender) {
  CBlockingSocket a, b;
  a.Create(CBlockingSocket::kDatagram);
  b.Create(CBlockingSocket::kDatagram);
  a.Bind(CSockAddr("127.0.0.1", 0));
  b.Bind(CSockAddr("127.0.0.1", 0));
  CSockAddr aName, bName;
  a.GetSockName(aName);
  b.GetSockName(bName);

  char buf[16];
  CSockAddr from;
  // Nothing waiting: no wait, an error at once.
  EXPECT_EQ(ThrownBy([&] { b.ReceiveDatagram(buf, sizeof buf, from, 10); }), "ReceiveDatagram");

  EXPECT_EQ(a.SendDatagram("ping", 4, bName, 5), 4);
  int n = -1;
  WaitUntil([&] {
    try {
      n = b.ReceiveDatagram(buf, sizeof buf, from, 0);
    } catch (const CBlockingSocketException&) {
    }
    return n >= 0;
  }, 1000);
  ASSERT_EQ(n, 4);
  EXPECT_EQ(std::string(buf, 4), "ping");
  EXPECT_EQ(from.Port(), aName.Port());
}

TEST(SocketExtras, FailuresNameTheirOperation) {
  CBlockingSocket none;
  CSockAddr addr;
  EXPECT_EQ(ThrownBy([&] { none.Listen(); }), "Listen");
  EXPECT_EQ(ThrownBy([&] {
              CBlockingSocket other;
              none.Accept(other, addr);
            }),
            "Accept");
  EXPECT_EQ(ThrownBy([&] { none.GetSockName(addr); }), "GetSockName");
  CBlockingSocket unconnected;
  unconnected.Create(CBlockingSocket::kStream);
  EXPECT_EQ(ThrownBy([&] { unconnected.GetPeerName(addr); }), "GetPeerName");
  EXPECT_EQ(ThrownBy([&] { none.SendDatagram("x", 1, addr, 1); }), "SendDatagram");
  // A reverse lookup either names the host or says which operation failed.
  try {
    EXPECT_FALSE(CBlockingSocket::GetHostByAddr(CSockAddr("127.0.0.1", 0)).empty());
  } catch (const CBlockingSocketException& e) {
    EXPECT_EQ(e.GetErrorMessage(), "GetHostByAddr");
  }
}

TEST(ConnectionTest, OfTheStoredRecorder) {
  auto app = std::make_unique<AppRecord>();
  g_lpApp = app.get();
  Listener l;
  app->CSettingINI.m_strServerName.Set("127.0.0.1");
  app->CSettingINI.m_wWebPort = l.port;
  EXPECT_EQ(DectectSocketConnection(), 1);

  plat::WORD closedPort = 0;
  {
    Listener gone;
    closedPort = gone.port;
  }
  app->CSettingINI.m_wWebPort = closedPort;
  EXPECT_EQ(DectectSocketConnection(), 0);
  app->CSettingINI.m_strServerName.Set("");
  EXPECT_EQ(DectectSocketConnection(), 0);
  g_lpApp = nullptr;
  EXPECT_EQ(DectectSocketConnection(), 0);
}

TEST(IcmpPing, EchoRequestLayout) {
  std::uint8_t p[kIcmpEchoSize];
  BuildIcmpEchoRequest(p, 0x0102, 0x0304, 0xA1B2C3D4);
  EXPECT_EQ(p[0], 8);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[4], 0x02);
  EXPECT_EQ(p[6], 0x04);
  EXPECT_EQ(p[8], 0);
  EXPECT_EQ(p[9], 0xD4);
  EXPECT_EQ(p[12], 0xA1);
  EXPECT_EQ(p[13], 32);
  EXPECT_EQ(p[44], 63);
  // The checksum field makes the packet's Internet checksum come out as zero, whichever
  // byte order the sum is taken in.
  EXPECT_EQ(InternetChecksumSwapped(p, sizeof p), 0);
  EXPECT_EQ(IcmpChecksum(p, sizeof p), 0);
}

// The ping needs a raw socket: with the right to open one, the loopback answers with its
// TTL; without it, the ping fails cleanly and at once. The environment decides which.
TEST(IcmpPing, AnswersWithRawSocketRightsAndFailsCleanlyWithout) {
  const int probe = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  const bool rawAllowed = probe >= 0;
  if (probe >= 0) ::close(probe);
  CIcmpPing ping;
  plat::BYTE ttl = 0;
  EXPECT_EQ(ping.Ping("", &ttl), 0);
  const auto t0 = std::chrono::steady_clock::now();
  const int r = ping.Ping("127.0.0.1", &ttl);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
  if (rawAllowed) {
    EXPECT_EQ(r, 1);
    EXPECT_GT(ttl, 0);
  } else {
    EXPECT_EQ(r, 0);
  }
}

TEST(CtrlFileTemplate, WritesAControlFileTheLoaderReads) {
  TempDir dir;
  const std::string path = dir / "CtrlFile.ini";
  ASSERT_EQ(WriteCtrlFileTemplate(path), 1);
  const Bytes b = ReadBytes(path);
  const std::string text(b.begin(), b.end());
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text.find("%%"), std::string::npos);
  EXPECT_NE(text.find("\n%0=0X00\n"), std::string::npos);
  EXPECT_NE(text.find("0X05 0XA5 0X%D 0X%1 0XFE 0X%2\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 11), "\n[EOF]\nEnd\n");

  const CtrlFileData data = ParseCtrlFile(b.data(), b.size());
  ASSERT_EQ(data.count, 1);
  EXPECT_TRUE(data.endReached);
  EXPECT_TRUE(data.messages.empty());
  EXPECT_STREQ(data.records[0].szName, "TEMPLATE DVR");
  EXPECT_FALSE(data.records[0].Power.Empty());
  EXPECT_EQ(data.records[0].byDisplay, 1);

  std::vector<std::string> boxes;
  auto saved = plat::SetMessageBoxHandler([&](plat::HWND, const std::string& t, const std::string&, unsigned) {
    boxes.push_back(t);
    return plat::IDOK;
  });
  EXPECT_EQ(WriteCtrlFileTemplate(dir / "no/such/folder/CtrlFile.ini"), 0);
  plat::SetMessageBoxHandler(saved);
  EXPECT_EQ(boxes, std::vector<std::string>{"Can't read or create a CtrlFile.ini!!"});
}

TEST(AppRecordFacilities, KeepsThePingObjectAndTheMmxAnswer) {
  AppRecord rec;
  EXPECT_EQ(rec.f_HasMmx.load(), 0);
  EXPECT_EQ(rec.C_IcmpPing.LastRoundTripMs(), 0u);
#if defined(__x86_64__)
  EXPECT_TRUE(ProcessorHasMmx());  // every x86-64 processor has it
#endif
}

TEST(RtpHeaderAlarmStep, SetsFromTheStateWordOrClearsFifteen) {
  const struct {
    std::uint16_t before, state, mode, after;
  } cases[] = {
      {0, 0x0001, 1, 1},  {1, 0x0002, 1, 2},  {0, 0x0003, 7, 2},  {2, 0x0000, 1, 0},
      {15, 0x0001, 1, 1}, {15, 0x0003, 0, 0}, {2, 0x0003, 0, 2},  {0, 0x0002, 0, 0},
      {9, 0xFFFC, 1, 0},  // only bits 0 and 1 count
  };
  for (const auto& c : cases) {
    CRtpHeader h;
    h.m_wAlarmData = c.before;
    EXPECT_EQ(h.StepAlarmState(c.state, c.mode), c.after) << c.before << "/" << c.state << "/" << c.mode;
    EXPECT_EQ(h.m_wAlarmData.load(), c.after);
  }
}
