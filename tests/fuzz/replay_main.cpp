// Runs a fuzz target's entry point over stored inputs, without libFuzzer: every regular file
// under the folders and files named on the command line, and the empty input. A crash, a
// trap or a sanitizer report ends the process, which fails the test that replays the corpus.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

bool RunFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A copy of exactly the input's length, so that a read past its end is caught by AddressSanitizer.
  std::vector<uint8_t> data(bytes.begin(), bytes.end());
  std::printf("%s (%zu bytes)\n", file.c_str(), data.size());
  std::fflush(stdout);
  LLVMFuzzerTestOneInput(data.empty() ? nullptr : data.data(), data.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(arg, ec)) {
      for (const auto& e : std::filesystem::recursive_directory_iterator(arg, ec)) {
        if (e.is_regular_file()) files.push_back(e.path());
      }
      if (ec) {
        std::fprintf(stderr, "cannot list %s: %s\n", argv[i], ec.message().c_str());
        return 1;
      }
    } else if (std::filesystem::is_regular_file(arg, ec)) {
      files.push_back(arg);
    } else {
      std::fprintf(stderr, "no such input: %s\n", argv[i]);
      return 1;
    }
  }
  std::sort(files.begin(), files.end());
  LLVMFuzzerTestOneInput(nullptr, 0);
  for (const auto& f : files) {
    if (!RunFile(f)) return 1;
  }
  std::printf("%zu inputs replayed\n", files.size() + 1);
  return 0;
}
