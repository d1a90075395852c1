#include "platform/bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {

TEST(ByteReader, ReadsLittleEndianFieldsInOrderAndAtOffsets) {
  const std::array<std::uint8_t, 11> b = {0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF};
  plat::ByteReader r(b);
  std::uint8_t u8 = 0;
  std::uint16_t u16 = 0;
  std::uint32_t u32 = 0;
  std::int32_t i32 = 0;
  ASSERT_TRUE(r.U8(u8) && r.U16(u16) && r.U32(u32) && r.I32(i32));
  EXPECT_EQ(u8, 0x01);
  EXPECT_EQ(u16, 0x1234);
  EXPECT_EQ(u32, 0x12345678u);
  EXPECT_EQ(i32, -2);
  EXPECT_EQ(r.Remaining(), 0u);
  ASSERT_TRUE(r.U16At(1, u16));
  EXPECT_EQ(u16, 0x1234);
  EXPECT_EQ(r.Position(), 11u);
  EXPECT_TRUE(r.Ok());
}

// Every kind of access one byte short of the end fails, leaves the output as it was and marks
// the reader failed; the position does not move.
TEST(ByteReader, FailsWhenShort) {
  const std::array<std::uint8_t, 3> b = {1, 2, 3};
  {
    plat::ByteReader r(b);
    std::uint32_t v = 7;
    EXPECT_FALSE(r.U32(v));
    EXPECT_EQ(v, 7u);
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Position(), 0u);
  }
  {
    plat::ByteReader r(b);
    std::uint16_t v = 7;
    EXPECT_TRUE(r.U16At(1, v));
    EXPECT_FALSE(r.U16At(2, v));
    EXPECT_FALSE(r.U16At(SIZE_MAX, v));
    EXPECT_EQ(v, 0x0302);
  }
  {
    plat::ByteReader r(b);
    std::uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_FALSE(r.Bytes(out, 4));
    EXPECT_EQ(out[0], 9);
    EXPECT_FALSE(r.Skip(SIZE_MAX));
    EXPECT_FALSE(r.Seek(4));
    EXPECT_TRUE(r.Seek(3));
  }
  {
    plat::ByteReader r(nullptr, 100);  // no buffer holds no bytes
    std::uint8_t v = 0;
    EXPECT_EQ(r.Size(), 0u);
    EXPECT_FALSE(r.U8(v));
  }
}

TEST(ByteWriter, WritesFieldsAndRefusesPastTheEnd) {
  std::array<std::uint8_t, 8> b{};
  b.fill(0xAA);
  plat::ByteWriter w(b);
  ASSERT_TRUE(w.U16(0x1234) && w.U32(0xDEADBEEF) && w.U8(0x5A));
  EXPECT_FALSE(w.U16(0xFFFF));  // one byte left
  EXPECT_FALSE(w.Ok());
  EXPECT_EQ(b, (std::array<std::uint8_t, 8>{0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0x5A, 0xAA}));
  EXPECT_TRUE(w.U8At(7, 1));
  EXPECT_FALSE(w.U32At(5, 0));
  EXPECT_EQ(b[7], 1);
  EXPECT_EQ(b[5], 0xDE);
  ASSERT_TRUE(w.Seek(0));
  EXPECT_TRUE(w.Zero(2));
  EXPECT_FALSE(w.Zero(7));
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(b[2], 0xEF);
}

// 64-bit fields: the low byte first, all eight bytes or none.
TEST(ByteReaderWriter, SixtyFourBitFields) {
  std::array<std::uint8_t, 10> b{};
  b.fill(0xAA);
  plat::ByteWriter w(b);
  ASSERT_TRUE(w.U8(0x11) && w.U64(0x8877665544332211ull));
  EXPECT_EQ(b, (std::array<std::uint8_t, 10>{0x11, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xAA}));
  EXPECT_FALSE(w.U64(1));  // one byte left
  EXPECT_FALSE(w.U64At(3, 0));
  EXPECT_EQ(b[9], 0xAA);
  EXPECT_EQ(b[3], 0x33);

  plat::ByteReader r(b);
  std::uint64_t v = 0;
  ASSERT_TRUE(r.Skip(1) && r.U64(v));
  EXPECT_EQ(v, 0x8877665544332211ull);
  ASSERT_TRUE(r.U64At(2, v));
  EXPECT_EQ(v, 0xAA88776655443322ull);
  v = 7;
  EXPECT_FALSE(r.U64At(3, v));
  EXPECT_FALSE(r.U64(v));
  EXPECT_EQ(v, 7u);
  EXPECT_FALSE(r.Ok());
}

}  // namespace
