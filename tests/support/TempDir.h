// A fresh folder per test under $TRELVIX_TEST_TMP (set by CTest) or /tmp, removed afterwards.
#pragma once
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "test") {
    const char* base = std::getenv("TRELVIX_TEST_TMP");
    std::string root = base && *base ? base : "/tmp";
    std::filesystem::create_directories(root);
    std::string pattern = root + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);  // a test may have locked it
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // The path with a trailing '/', as the program folder is given.
  std::string Folder() const { return path_ + "/"; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  static void Write(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }
  static std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string path_;
};
