// The byte-stream frame parser: same frames whatever the read boundaries; resynchronisation,
// dropped pictures and bad headers.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "session/StreamParser.h"
#include "test_stream_wire.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kSlot = 102400;

struct Out {
  std::vector<Bytes> pictures;
  std::vector<std::uint8_t> channels;
  int headers = 0;
  std::uint64_t bad = 0, dropped = 0, resyncs = 0;
};

// Feeds `stream` in chunks chosen by `next(offset)`, like reads of a socket would deliver them.
Out Parse(const Bytes& stream, bool v1, const std::function<std::size_t(std::size_t)>& next) {
  StreamParser p(kSlot);
  p.SetFormat(v1, false);
  Out out;
  p.SetHeaderHandler([&](const FrameHeaderFields&) { ++out.headers; });
  std::vector<std::uint8_t> slot(kSlot);
  std::size_t off = 0;
  for (;;) {
    while (p.Run(slot.data()) == StreamParser::Step::Frame) {
      out.pictures.emplace_back(slot.begin(), slot.begin() + p.LastFrameLength());
      out.channels.push_back(p.LastHeader().byChannel);
    }
    if (off == stream.size()) break;
    std::size_t want = std::min({next(off), stream.size() - off, p.WriteSpace(), StreamParser::kReadChunk});
    EXPECT_GE(p.WriteSpace(), StreamParser::kReadChunk);
    std::memcpy(p.WritePtr(), stream.data() + off, want);
    p.Commit(want);
    off += want;
  }
  out.bad = p.BadHeaders();
  out.dropped = p.DroppedPictures();
  out.resyncs = p.Resyncs();
  return out;
}

Bytes Frame(bool v1, std::uint8_t channel, const Bytes& picture) {
  wire::Hdr h;
  h.length = static_cast<std::uint32_t>(picture.size());
  h.channel = channel;
  h.hasChannel = true;
  h.hasTime = true;
  h.timeWire = channel * 8u;
  Bytes b = v1 ? wire::V1(h) : wire::V0(h);
  b.insert(b.end(), picture.begin(), picture.end());
  return b;
}

void Append(Bytes& a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); }

TEST(StreamParser, SameFramesWhateverTheReadBoundaries) {
  for (bool v1 : {false, true}) {
    Bytes stream;
    std::vector<Bytes> pics;
    // Sizes around the 1400-byte read, tiny and large pictures.
    const std::size_t sizes[] = {5000, 6, 1399 - 18, 1400, 7, 60000, 1, 2000};
    std::uint8_t ch = 1;
    for (std::size_t n : sizes) {
      if (n < 4) continue;  // cannot be a picture: covered below
      pics.push_back(wire::FakePicture(n, ch));
      Append(stream, Frame(v1, ch++, pics.back()));
    }
    std::mt19937 rng(7);
    const std::pair<const char*, std::function<std::size_t(std::size_t)>> chunkings[] = {
        {"whole reads", [](std::size_t) { return std::size_t{1400}; }},
        {"drip", [](std::size_t) { return std::size_t{1}; }},
        {"pairs", [](std::size_t) { return std::size_t{2}; }},
        {"random", [&](std::size_t) { return std::size_t{1} + rng() % 1400; }},
        {"odd", [](std::size_t off) { return off % 2 ? std::size_t{13} : std::size_t{97}; }},
    };
    for (const auto& [name, next] : chunkings) {
      Out o = Parse(stream, v1, next);
      ASSERT_EQ(o.pictures.size(), pics.size()) << name << " v1=" << v1;
      for (std::size_t i = 0; i < pics.size(); ++i) EXPECT_EQ(o.pictures[i], pics[i]) << name << i;
      EXPECT_EQ(o.bad, 0u);
      EXPECT_EQ(o.resyncs, 0u);
      EXPECT_EQ(o.headers, static_cast<int>(pics.size()));
    }
  }
}

// Header alone in one read, then the picture; several frames in one read.
TEST(StreamParser, HeaderAloneAndSeveralFramesPerRead) {
  Bytes a = Frame(true, 1, wire::FakePicture(300, 1));
  Bytes b = Frame(true, 2, wire::FakePicture(200, 2));
  Bytes c = Frame(true, 3, wire::FakePicture(100, 3));
  Bytes stream = a;
  Append(stream, b);
  Append(stream, c);
  const std::size_t headerLen = a.size() - 300;
  std::vector<std::size_t> reads = {headerLen, stream.size() - headerLen};
  std::size_t k = 0;
  Out o = Parse(stream, true, [&](std::size_t) { return reads[k++]; });
  ASSERT_EQ(o.pictures.size(), 3u);
  EXPECT_EQ(o.channels, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(StreamParser, FaultsAndRecovery) {
  const Bytes good1 = wire::FakePicture(500, 1);
  const Bytes good2 = wire::FakePicture(700, 2);
  Bytes jfif = wire::FakePicture(400, 3);
  jfif[3] = 0xE0;  // FF D8 FF E0: an application segment before the tables
  Bytes notJpeg = wire::FakePicture(400, 4);
  notJpeg[0] = 0x12;
  struct Case {
    const char* name;
    bool v1;
    Bytes middle;  // between two good frames
    std::uint64_t bad, dropped, resyncs;
  };
  wire::Hdr bigHdr;  // only V0 carries 32-bit lengths
  bigHdr.length = kSlot + 1;
  Bytes overLong = wire::V0(bigHdr);
  Append(overLong, {0xFF, 0xD8, 0x01, 0x02, 0xFF, 0xD9});  // garbage through an end marker
  wire::Hdr badVersion;
  badVersion.version = 7;
  Bytes wrongVersion = wire::V1(badVersion);
  Append(wrongVersion, {0x00, 0xFF, 0x00, 0xFF, 0xD9});
  wire::Hdr zero;
  zero.length = 0;
  zero.hasAlarm = true;
  Bytes noPicture = wire::V1(zero);
  wire::Hdr tiny;
  tiny.length = 1;
  Bytes onePicByte = wire::V1(tiny);
  onePicByte.push_back(0xFF);
  // The drop runs through the picture's own closing FF D9; the next header follows it.
  const Bytes notJpegFrame = Frame(true, 9, notJpeg);
  const Case cases[] = {
      {"jfif picture is skipped by its length", true, Frame(true, 9, jfif), 0, 1, 0},
      {"jfif picture (V0)", false, Frame(false, 9, jfif), 0, 1, 0},
      {"picture not starting FF D8 resynchronises at FF D9", true, notJpegFrame, 0, 0, 1},
      {"frame longer than a slot", false, overLong, 1, 0, 1},
      {"wrong version word", true, wrongVersion, 1, 0, 1},
      {"header without picture", true, noPicture, 0, 0, 0},
      {"V0 header without picture", false, Bytes{0, 0, 0, 0}, 0, 0, 0},
      {"one-byte picture", true, onePicByte, 0, 1, 0},
  };
  for (const auto& c : cases) {
    Bytes stream = Frame(c.v1, 1, good1);
    Append(stream, c.middle);
    Append(stream, Frame(c.v1, 2, good2));
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{1400}}) {
      Out o = Parse(stream, c.v1, [&](std::size_t) { return chunk; });
      ASSERT_EQ(o.pictures.size(), 2u) << c.name << " chunk " << chunk;
      EXPECT_EQ(o.pictures[0], good1) << c.name;
      EXPECT_EQ(o.pictures[1], good2) << c.name;
      EXPECT_EQ(o.bad, c.bad) << c.name;
      EXPECT_EQ(o.dropped, c.dropped) << c.name;
      EXPECT_EQ(o.resyncs, c.resyncs) << c.name;
    }
  }
}

// Resynchronisation finds an end marker split across two reads, and garbage without one keeps
// the parser dropping without growing anything.
TEST(StreamParser, ResyncAcrossReadsAndEndlessGarbage) {
  Bytes bad = Frame(true, 1, wire::FakePicture(50, 1));
  bad[bad.size() - 50] = 0x00;  // the picture starts 00 D8
  Bytes stream = bad;
  const Bytes good = wire::FakePicture(64, 5);
  Append(stream, Frame(true, 2, good));
  // The picture's own FF D9 is its last two bytes: split the reads between them.
  const std::size_t split = bad.size() - 1;
  std::vector<std::size_t> reads = {split, 1, stream.size()};
  std::size_t k = 0;
  Out o = Parse(stream, true, [&](std::size_t) { return reads[k++]; });
  ASSERT_EQ(o.pictures.size(), 1u);
  EXPECT_EQ(o.pictures[0], good);

  StreamParser p(kSlot);
  p.SetFormat(false, false);
  std::vector<std::uint8_t> slot(16);
  Bytes junk(100000, 0xFF);  // all FF: never an end marker
  junk[0] = 0x01;            // V0 flags with a frame length ...
  junk[4] = 0xFF;
  std::size_t off = 0;
  while (off < junk.size()) {
    off += p.Append(junk.data() + off, junk.size() - off);
    EXPECT_EQ(p.Run(slot.data()), StreamParser::Step::NeedData);
    EXPECT_LE(p.Buffered(), kMaxFrameHeaderSize);
  }
  EXPECT_TRUE(p.InResync());
  EXPECT_EQ(p.Frames(), 0u);
}

}  // namespace
