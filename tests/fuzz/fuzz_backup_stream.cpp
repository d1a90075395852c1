// The network backup's chunk stream: any bytes, cut into receives of any size (the first
// byte picks the sizes). The file written is the same as for the stream in one piece.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "session/NetworkBackup.h"

namespace {

class MemorySource : public nb::IByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size, unsigned step) : data_(data), size_(size), step_(step) {}
  int Receive(void* buffer, std::size_t capacity) override {
    if (pos_ >= size_) return -1;
    std::size_t n = step_ == 0 ? capacity : (pos_ * 7 + step_) % (step_ + 1) + 1;
    if (n > capacity) n = capacity;
    if (n > size_ - pos_) n = size_ - pos_;
    for (std::size_t i = 0; i < n; ++i) static_cast<std::uint8_t*>(buffer)[i] = data_[pos_ + i];
    pos_ += n;
    return static_cast<int>(n);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  unsigned step_;
  std::size_t pos_ = 0;
};

std::string Run(const std::uint8_t* data, std::size_t size, unsigned step, int& status) {
  const std::string path = "/tmp/fuzz-backup-" + std::to_string(::getpid()) + ".dvr";
  MemorySource source(data, size, step);
  nb::StreamHooks hooks;
  hooks.status = [](int s, int v) {
    if (s == nb::DS_PROGRESS && (v < 0 || v > 100)) __builtin_trap();
  };
  status = nb::ReceiveBackupStream(source, path, 1, hooks);
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 1 << 20) return 0;
  int whole = 0, cut = 0;
  const std::string a = Run(data + 1, size - 1, 0, whole);
  const std::string b = Run(data + 1, size - 1, data[0], cut);
  if (a != b || whole != cut) __builtin_trap();
  if (a.size() > size) __builtin_trap();
  return 0;
}
