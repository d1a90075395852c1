// The fake recorder's stream and discovery, checked against the wire layouts byte by byte so
// the stream tests built on it start from a known-good sender.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/bytes.h"
#include "platform/jpeg.h"
#include "session/Socket.h"
#include "tests/support/FakeRecorder.h"

namespace {

std::uint32_t Le(const std::string& s, std::size_t at, int bytes) {
  plat::ByteReader r(s.data(), s.size());
  if (bytes == 2) {
    std::uint16_t v = 0;
    r.U16At(at, v);
    return v;
  }
  std::uint32_t v = 0;
  r.U32At(at, v);
  return v;
}

// Opens the stream and reads until `want` bytes arrived or the recorder closed.
std::string ReadStream(fake::FakeRecorder& r, std::size_t want, bool* closed = nullptr) {
  CBlockingSocket s;
  s.Create();
  s.Connect(CSockAddr("127.0.0.1", r.Port()), 2);
  const std::string req = "GET /Getvideo.cgi?Cookie=" + r.GetIdentity().sessionId + " HTTP/1.1\r\n\r\n";
  s.Write(req.data(), req.size(), 2);
  std::string got;
  char buf[4096];
  if (closed) *closed = false;
  while (got.size() < want) {
    const int n = s.Receive(buf, sizeof buf, 2);
    if (n <= 0) {
      if (closed) *closed = true;
      break;
    }
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

bool StartsWithDqt(const std::string& s, std::size_t at) {
  return s.size() >= at + 4 && s.compare(at, 4, "\xFF\xD8\xFF\xDB") == 0;
}

}  // namespace

TEST(FakeRecorderStream, OlderHeaderLayout) {
  fake::FakeRecorder r;
  fake::StreamSettings st;
  st.width = 64;
  st.height = 48;
  st.fps = 0;
  st.channel = 3;
  st.alarmWord = 0x0005;
  st.motionWord = 0x0024;
  st.format = fake::StreamSettings::HeaderFormat::V0;
  r.SetStreamSettings(st);
  ASSERT_TRUE(r.Start());
  const std::string s = ReadStream(r, 8192);
  ASSERT_GT(s.size(), 30u);
  EXPECT_EQ(Le(s, 0, 4), 0x0001u | 0x0008 | 0x0020 | 0x0080 | 0x0100 | 0x0800 | 0x2000);
  const std::uint32_t length = Le(s, 4, 4);
  EXPECT_EQ(static_cast<std::uint8_t>(s[8]), 1);   // picture size
  EXPECT_EQ(Le(s, 9, 4), 40u);                     // time steps
  EXPECT_EQ(Le(s, 13, 2), 0x0005u);                // alarm
  EXPECT_EQ(Le(s, 15, 2), 0x0024u);                // motion
  EXPECT_EQ(static_cast<std::uint8_t>(s[17]), 3);  // channel
  EXPECT_EQ(Le(s, 18, 4), 476227011u);             // date-time
  ASSERT_TRUE(StartsWithDqt(s, 22));
  ASSERT_GE(s.size(), 22 + length + 4);
  int w = 0, h = 0;
  EXPECT_TRUE(plat::JpegReadSize(reinterpret_cast<const std::uint8_t*>(s.data()) + 22, length, w, h));
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
  EXPECT_EQ(s.compare(22 + length - 2, 2, "\xFF\xD9"), 0);
  EXPECT_EQ(Le(s, 22 + length, 4), Le(s, 0, 4));  // the next packet follows at once
}

TEST(FakeRecorderStream, NewerHeaderOnceAskedFor) {
  fake::FakeRecorder r;
  fake::StreamSettings st;
  st.width = 32;
  st.height = 32;
  st.fps = 0;
  st.channel = 2;
  st.thirdWord = 0x8000;
  st.k47rLengthCountsHeader = true;
  r.SetStreamSettings(st);
  ASSERT_TRUE(r.Start());
  // Ask for the newer header the way a login does.
  {
    CBlockingSocket s;
    s.Create();
    s.Connect(CSockAddr("127.0.0.1", r.Port()), 2);
    const std::string req = "GET /Getdeviceinfo.cgi?Cookie=" + r.GetIdentity().sessionId + "&NEWHR=1 HTTP/1.1\r\n\r\n";
    s.Write(req.data(), req.size(), 2);
    char buf[512];
    s.Receive(buf, sizeof buf, 2);
  }
  EXPECT_TRUE(r.NewHeaderAsked());
  const std::string s = ReadStream(r, 4096);
  ASSERT_GT(s.size(), 32u);
  EXPECT_EQ(Le(s, 0, 2), 1u);
  EXPECT_EQ(static_cast<std::uint8_t>(s[5]) >> 4, 2);
  EXPECT_EQ(Le(s, 6, 2), 0x0008u | 0x0020 | 0x0040 | 0x2000);
  EXPECT_EQ(Le(s, 8, 2), 0x8000u);       // third word
  EXPECT_EQ(Le(s, 10, 4), 40u);          // time
  EXPECT_EQ(Le(s, 14, 4), 476227011u);   // date-time
  EXPECT_EQ(static_cast<std::uint8_t>(s[18]), 0x32);
  EXPECT_EQ(Le(s, 20, 2), 0x0001u);      // picture size follows
  const std::size_t headerLength = 23;
  EXPECT_TRUE(StartsWithDqt(s, headerLength));
  const std::uint32_t length = Le(s, 2, 2) - headerLength;  // counts the header too
  EXPECT_EQ(s.compare(headerLength + length - 2, 2, "\xFF\xD9"), 0);
}

TEST(FakeRecorderStream, Faults) {
  fake::FakeRecorder r;
  fake::StreamSettings st;
  st.width = 32;
  st.height = 32;
  st.fps = 0;
  st.format = fake::StreamSettings::HeaderFormat::V0;
  r.SetStreamSettings(st);
  ASSERT_TRUE(r.Start());
  const std::string picture = fake::MakeJpeg(32, 32, 70);
  const std::size_t header = 18;  // flags, length, picture size, time, channel, date-time
  const std::size_t packet = header + picture.size();

  fake::StreamFaults f;
  f.cutAfterFrames = 2;
  r.SetStreamFaults(f);
  bool closed = false;
  std::string s = ReadStream(r, 1 << 20, &closed);
  EXPECT_TRUE(closed);
  EXPECT_EQ(s.size(), 2 * packet);

  f = {};
  f.badPictureStart = true;
  f.cutAfterFrames = 1;
  r.SetStreamFaults(f);
  s = ReadStream(r, 1 << 20);
  ASSERT_EQ(s.size(), packet);
  EXPECT_EQ(s.compare(header, 2, "\xFF\xD8"), 0);
  EXPECT_FALSE(StartsWithDqt(s, header));

  f = {};
  f.headerLongerThanData = true;
  r.SetStreamFaults(f);
  s = ReadStream(r, 1 << 20, &closed);
  EXPECT_EQ(s.size(), 3u);
  EXPECT_TRUE(closed);  // nothing more within the read time-out

  f = {};
  f.drip = true;
  f.cutAfterFrames = 1;
  r.SetStreamFaults(f);
  s = ReadStream(r, 1 << 20);
  EXPECT_EQ(s.size(), packet);
}

TEST(FakeRecorderDiscovery, AnswersASearch) {
  fake::FakeRecorder r;
  ASSERT_TRUE(r.Start());
  ASSERT_TRUE(r.StartDiscovery(0, 0, 87));
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(r.DiscoveryPort());
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  unsigned char req[76] = {};
  std::memcpy(req, "ZQ_SEARCH", 9);
  req[16] = 1;
  ASSERT_EQ(::sendto(fd, req, sizeof req, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 76);
  pollfd p{fd, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 2000), 1);
  unsigned char reply[128];
  ASSERT_EQ(::recv(fd, reply, sizeof reply, 0), 76);
  ::close(fd);
  EXPECT_EQ(reply[17], 87);
  EXPECT_EQ(reply[18], 0x00);
  EXPECT_EQ(reply[23], 0xBB);
  EXPECT_EQ(std::memcmp(reply + 56, "\x7F\x00\x00\x01", 4), 0);
  EXPECT_EQ(reply[72] | reply[73] << 8, r.Port());
  EXPECT_EQ(r.DiscoveryRequests(), 1);
}

TEST(FakeRecorderStream, AlarmWordsOnDemand) {
  fake::FakeRecorder r;
  fake::StreamSettings st;
  st.width = 16;
  st.height = 16;
  st.fps = 100;
  st.format = fake::StreamSettings::HeaderFormat::V0;
  r.SetStreamSettings(st);
  ASSERT_TRUE(r.Start());
  CBlockingSocket s;
  s.Create();
  s.Connect(CSockAddr("127.0.0.1", r.Port()), 2);
  const std::string req = "GET /Getvideo.cgi?Cookie=" + r.GetIdentity().sessionId + " HTTP/1.1\r\n\r\n";
  s.Write(req.data(), req.size(), 2);
  // Reads packets one by one (the older header: flags, then the length at offset 4).
  std::string held;
  char buf[4096];
  auto nextFlags = [&]() -> std::uint32_t {
    for (;;) {
      if (held.size() >= 8) {
        std::uint32_t flags = Le(held, 0, 4);
        std::size_t header = 18 + ((flags & 0x80) ? 2 : 0) + ((flags & 0x100) ? 2 : 0) + ((flags & 0x200) ? 2 : 0);
        const std::size_t total = header + Le(held, 4, 4);
        if (held.size() >= total) {
          held.erase(0, total);
          return flags;
        }
      }
      const int n = s.Receive(buf, sizeof buf, 2);
      if (n <= 0) return 0;
      held.append(buf, static_cast<std::size_t>(n));
    }
  };
  EXPECT_EQ(nextFlags() & 0x380u, 0u);
  st.motionWord = 0x0001;
  r.SetStreamSettings(st);
  bool seen = false;
  for (int i = 0; i < 20 && !seen; ++i) seen = (nextFlags() & 0x100u) != 0;
  EXPECT_TRUE(seen);
  st.motionWord.reset();
  r.SetStreamSettings(st);
  bool cleared = false;
  for (int i = 0; i < 20 && !cleared; ++i) cleared = (nextFlags() & 0x380u) == 0;
  EXPECT_TRUE(cleared);
}
