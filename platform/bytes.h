// Little-endian fields in byte buffers: the one reader and writer every wire and file layout
// goes through. Each carries the buffer's length and fails when a field would pass its end:
// a failed access returns false, leaves the output (or the buffer) untouched and marks the
// reader or writer failed, so a parser can read a whole record and check Ok() once.
// Sequential calls move the position; the ...At calls address an offset and do not.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace plat {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}
  ByteReader(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data), data == nullptr ? 0 : size) {}

  bool U8(std::uint8_t& out) { return Next(out); }
  bool U16(std::uint16_t& out) { return Next(out); }
  bool U32(std::uint32_t& out) { return Next(out); }
  bool U64(std::uint64_t& out) { return Next(out); }
  bool I32(std::int32_t& out) {
    std::uint32_t v = 0;
    if (!Next(v)) return false;
    out = static_cast<std::int32_t>(v);
    return true;
  }
  // Copies n raw bytes.
  bool Bytes(void* out, std::size_t n) {
    if (!Fits(pos_, n)) return Fail();
    if (n != 0) std::memcpy(out, data_.data() + pos_, n);
    pos_ += n;
    return true;
  }
  bool Skip(std::size_t n) {
    if (!Fits(pos_, n)) return Fail();
    pos_ += n;
    return true;
  }
  bool Seek(std::size_t pos) {
    if (pos > data_.size()) return Fail();
    pos_ = pos;
    return true;
  }

  bool U8At(std::size_t offset, std::uint8_t& out) { return At(offset, out); }
  bool U16At(std::size_t offset, std::uint16_t& out) { return At(offset, out); }
  bool U32At(std::size_t offset, std::uint32_t& out) { return At(offset, out); }
  bool U64At(std::size_t offset, std::uint64_t& out) { return At(offset, out); }

  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return data_.size() - pos_; }
  std::size_t Size() const { return data_.size(); }
  // False once any access failed.
  bool Ok() const { return ok_; }

 private:
  bool Fits(std::size_t offset, std::size_t n) const {
    return offset <= data_.size() && n <= data_.size() - offset;
  }
  bool Fail() {
    ok_ = false;
    return false;
  }
  template <typename T>
  bool At(std::size_t offset, T& out) {
    if (!Fits(offset, sizeof(T))) return Fail();
    T v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) v = static_cast<T>(v | (T(data_[offset + i]) << (8 * i)));
    out = v;
    return true;
  }
  template <typename T>
  bool Next(T& out) {
    if (!At(pos_, out)) return false;
    pos_ += sizeof(T);
    return true;
  }

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

class ByteWriter {
 public:
  explicit ByteWriter(std::span<std::uint8_t> data) : data_(data) {}
  ByteWriter(void* data, std::size_t size)
      : data_(static_cast<std::uint8_t*>(data), data == nullptr ? 0 : size) {}

  bool U8(std::uint8_t v) { return Next(v); }
  bool U16(std::uint16_t v) { return Next(v); }
  bool U32(std::uint32_t v) { return Next(v); }
  bool U64(std::uint64_t v) { return Next(v); }
  bool I32(std::int32_t v) { return Next(static_cast<std::uint32_t>(v)); }
  bool Bytes(const void* src, std::size_t n) {
    if (!Fits(pos_, n)) return Fail();
    if (n != 0) std::memcpy(data_.data() + pos_, src, n);
    pos_ += n;
    return true;
  }
  // Writes n zero bytes.
  bool Zero(std::size_t n) {
    if (!Fits(pos_, n)) return Fail();
    if (n != 0) std::memset(data_.data() + pos_, 0, n);
    pos_ += n;
    return true;
  }
  bool Seek(std::size_t pos) {
    if (pos > data_.size()) return Fail();
    pos_ = pos;
    return true;
  }

  bool U8At(std::size_t offset, std::uint8_t v) { return At(offset, v); }
  bool U16At(std::size_t offset, std::uint16_t v) { return At(offset, v); }
  bool U32At(std::size_t offset, std::uint32_t v) { return At(offset, v); }
  bool U64At(std::size_t offset, std::uint64_t v) { return At(offset, v); }

  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return data_.size() - pos_; }
  std::size_t Size() const { return data_.size(); }
  bool Ok() const { return ok_; }

 private:
  bool Fits(std::size_t offset, std::size_t n) const {
    return offset <= data_.size() && n <= data_.size() - offset;
  }
  bool Fail() {
    ok_ = false;
    return false;
  }
  template <typename T>
  bool At(std::size_t offset, T v) {
    if (!Fits(offset, sizeof(T))) return Fail();
    for (std::size_t i = 0; i < sizeof(T); ++i) data_[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return true;
  }
  template <typename T>
  bool Next(T v) {
    if (!At(pos_, v)) return false;
    pos_ += sizeof(T);
    return true;
  }

  std::span<std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace plat
