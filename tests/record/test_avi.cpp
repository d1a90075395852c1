// The AVI writers, read back by a small RIFF reader: headers, rates, sample numbers after a
// failed write, and the frames and paths they refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

#include "platform/messages.h"
#include "record/AviWriter.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

namespace {

std::uint32_t U32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(s[at + static_cast<std::size_t>(i)]);
  return v;
}

// What the tests look at in an AVI file.
struct AviFile {
  bool ok = false;
  std::uint32_t totalFrames = 0, width = 0, height = 0, flags = 0;
  std::string handler;
  std::uint32_t scale = 0, rate = 0, length = 0;
  std::string format;  // the strf block
  std::vector<std::string> samples;
  std::vector<std::uint32_t> indexFlags;
};

// Walks the chunks of a RIFF "AVI " file: every size checked against the file.
AviFile ReadAvi(const std::string& bytes) {
  AviFile a;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") || bytes.compare(8, 4, "AVI ")) return a;
  if (U32(bytes, 4) + 8 != bytes.size()) return a;
  std::size_t moviStart = 0;
  std::function<bool(std::size_t, std::size_t)> walk = [&](std::size_t pos, std::size_t end) {
    while (pos + 8 <= end) {
      const std::string id = bytes.substr(pos, 4);
      const std::uint32_t size = U32(bytes, pos + 4);
      if (pos + 8 + size > end) return false;
      if (id == "LIST") {
        const std::string type = bytes.substr(pos + 8, 4);
        if (type == "movi") moviStart = pos + 8;
        if (!walk(pos + 12, pos + 8 + size)) return false;
      } else if (id == "avih") {
        a.flags = U32(bytes, pos + 8 + 12);
        a.totalFrames = U32(bytes, pos + 8 + 16);
        a.width = U32(bytes, pos + 8 + 32);
        a.height = U32(bytes, pos + 8 + 36);
      } else if (id == "strh") {
        a.handler = bytes.substr(pos + 12, 4);
        a.scale = U32(bytes, pos + 8 + 20);
        a.rate = U32(bytes, pos + 8 + 24);
        a.length = U32(bytes, pos + 8 + 32);
      } else if (id == "strf") {
        a.format = bytes.substr(pos + 8, size);
      } else if (id == "00db" || id == "00dc") {
        a.samples.push_back(bytes.substr(pos + 8, size));
      } else if (id == "idx1") {
        for (std::size_t e = pos + 8; e + 16 <= pos + 8 + size; e += 16) {
          a.indexFlags.push_back(U32(bytes, e + 4));
          // Each entry points at its sample's chunk within the movi list.
          if (bytes.substr(moviStart + U32(bytes, e + 8), 4) != bytes.substr(e, 4)) return false;
        }
      }
      pos += 8 + size + (size % 2);
    }
    return true;
  };
  a.ok = walk(12, bytes.size());
  return a;
}

avi::Bitmap Picture(int w, int h, int bits = 24, std::uint8_t seed = 1) {
  avi::Bitmap b;
  b.width = w;
  b.height = h;
  b.bitsPerPixel = bits;
  b.pixels.resize(avi::Bitmap::RowSize(w, bits) * static_cast<std::size_t>(h));
  for (std::size_t i = 0; i < b.pixels.size(); ++i) b.pixels[i] = static_cast<std::uint8_t>(i * seed);
  return b;
}

TEST(AviMovieWriter, SamplesHeadersAndNumbersAfterAFailedWrite) {
  TempDir dir("avi");
  const std::string path = dir / "movie.avi";
  {
    avi::CAviMovieWriter w(path);
    EXPECT_EQ(w.AddBitmapFrame(Picture(64, 48)), avi::S_OK_);
    EXPECT_EQ(w.AddBitmapFrame(Picture(65, 48)), avi::E_FAIL_);  // larger than the first: refused
    EXPECT_EQ(w.AddBitmapFrame(Picture(64, 48, 24, 3)), avi::S_OK_);
    EXPECT_EQ(w.FrameIndex(), 3);
  }
  const AviFile a = ReadAvi(TempDir::Read(path));
  ASSERT_TRUE(a.ok);
  EXPECT_EQ(a.rate, 1u);
  EXPECT_EQ(a.scale, 1u);
  EXPECT_EQ(a.width, 64u);
  EXPECT_EQ(a.totalFrames, 3u);
  EXPECT_EQ(a.length, 3u);
  EXPECT_EQ(a.flags & 0x10, 0x10u);
  ASSERT_EQ(a.samples.size(), 3u);
  EXPECT_EQ(a.samples[0].size(), 64u * 48 * 3);
  EXPECT_TRUE(a.samples[1].empty());  // the refused frame keeps its number
  const avi::Bitmap third = Picture(64, 48, 24, 3);
  EXPECT_EQ(a.samples[2], std::string(third.pixels.begin(), third.pixels.end()));
  EXPECT_EQ(a.format.size(), 40u);
  EXPECT_EQ(U32(a.format, 4), 64u);
}

TEST(AviMovieWriter, PixelFrameLengths) {
  TempDir dir("avi");
  struct Case {
    int w, h, bits;
    std::size_t length;
  };
  for (const Case& c : {Case{640, 480, 24, 921600}, Case{3, 3, 12, 13}}) {
    const std::string path = dir / ("px" + std::to_string(c.bits) + ".avi");
    std::vector<std::uint8_t> pixels(c.length + 8, 7);
    {
      avi::CAviMovieWriter w(path);
      EXPECT_EQ(w.AddPixelFrame(c.w, c.h, pixels.data(), c.bits), avi::S_OK_);
    }
    const AviFile a = ReadAvi(TempDir::Read(path));
    ASSERT_TRUE(a.ok);
    ASSERT_EQ(a.samples.size(), 1u);
    EXPECT_EQ(a.samples[0].size(), c.length);
  }
}

TEST(AviMovieWriter, RefusalsShowOneMessageAndTouchNoFile) {
  TempDir dir("avi");
  MessageBoxRecorder boxes;
  // 8 bits: refused at the opening, with the message once.
  avi::CAviMovieWriter low(dir / "low.avi");
  avi::Bitmap grey = Picture(8, 8, 24);
  grey.bitsPerPixel = 8;
  EXPECT_EQ(low.AddBitmapFrame(grey), avi::E_FAIL_);
  EXPECT_EQ(low.AddBitmapFrame(Picture(8, 8)), avi::E_FAIL_);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Error Occured While Rendering the Movie"});
  EXPECT_FALSE(TempDir::Read(dir / "low.avi").size());
  // A path of 260 characters never opens.
  avi::CAviMovieWriter longPath(dir.path() + "/" + std::string(260, 'x'));
  EXPECT_EQ(longPath.AddBitmapFrame(Picture(8, 8)), avi::E_FAIL_);
  EXPECT_EQ(longPath.State(), 0);
}

TEST(AviClipWriter, RatesSizesAndCancel) {
  EXPECT_EQ(avi::ClipRate(0.0f), 1u);
  EXPECT_EQ(avi::ClipRate(12.5f), 1250u);
  EXPECT_EQ(avi::ClipRate(29.97f), 2996u);
  TempDir dir("clip");
  {
    avi::CAviClipWriter fixed(dir / "fixed.avi", 320, 240);
    EXPECT_FALSE(fixed.AddFrame(Picture(64, 48), 10.0f));
    EXPECT_TRUE(fixed.IsOk());
  }
  {
    avi::CAviClipWriter any(dir / "any.avi", -1, -1);
    EXPECT_TRUE(any.AddFrame(Picture(16, 8), 12.5f));
    EXPECT_FALSE(any.AddFrame(Picture(16, 9), 12.5f));
    EXPECT_TRUE(any.AddFrame(Picture(16, 8, 32), 99.0f));
    EXPECT_TRUE(any.IsOk());
  }
  const AviFile a = ReadAvi(TempDir::Read(dir / "any.avi"));
  ASSERT_TRUE(a.ok);
  EXPECT_EQ(a.scale, 100u);
  EXPECT_EQ(a.rate, 1250u);  // the first frame's rate
  ASSERT_EQ(a.samples.size(), 2u);
  EXPECT_EQ(a.samples[0].size(), 16u * 8 * 4);
  EXPECT_EQ(a.indexFlags, (std::vector<std::uint32_t>{0x10, 0x10}));
  int asked = 0;
  avi::CAviClipWriter cancelled(dir / "cancel.avi", -1, -1, [&] {
    ++asked;
    return avi::ClipCodec::Cancel;
  });
  EXPECT_FALSE(cancelled.AddFrame(Picture(8, 8), 5.0f));
  EXPECT_FALSE(cancelled.AddFrame(Picture(8, 8), 5.0f));
  EXPECT_FALSE(cancelled.IsOk());
  EXPECT_EQ(asked, 1);
}

TEST(AviClipWriter, MotionJpegSamplesAreJpegs) {
  TempDir dir("clip");
  {
    avi::CAviClipWriter w(dir / "mjpg.avi", -1, -1, [] { return avi::ClipCodec::MotionJpeg; });
    EXPECT_TRUE(w.AddFrame(Picture(32, 16), 25.0f));
  }
  const AviFile a = ReadAvi(TempDir::Read(dir / "mjpg.avi"));
  ASSERT_TRUE(a.ok);
  EXPECT_EQ(a.handler, "MJPG");
  ASSERT_EQ(a.samples.size(), 1u);
  EXPECT_EQ(a.samples[0].substr(0, 2), "\xFF\xD8");
}

TEST(BitmapToDib, ColourTablesAndRows) {
  struct Case {
    int bits, width;
    std::size_t colourBytes, rowBytes;
  };
  for (const Case& c : {Case{8, 3, 1024, 4}, Case{32, 3, 0, 12}, Case{24, 3, 0, 12}}) {
    avi::PackedDib dib;
    ASSERT_TRUE(avi::BitmapToDib(Picture(c.width, 2), c.bits, dib));
    EXPECT_EQ(dib.headerAndColours, 40u + c.colourBytes);
    EXPECT_EQ(dib.imageSize, c.rowBytes * 2);
    EXPECT_EQ(dib.bytes.size(), 40u + c.colourBytes + c.rowBytes * 2);
  }
  avi::PackedDib dib;
  EXPECT_FALSE(avi::BitmapToDib(Picture(0, 2), 32, dib));
}

}  // namespace
