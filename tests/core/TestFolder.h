// A fresh temporary folder per test, used as the program folder.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <fstream>
#include <sstream>
#include <gtest/gtest.h>
#include "platform/files.h"

class TempFolder {
 public:
  TempFolder() {
    const char* base = std::getenv("TRELVIX_TEST_TMP");
    std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("core_") + (info ? info->test_suite_name() : "x") + "_" +
                       (info ? info->name() : "y");
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    path_ = root / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  // With a trailing '/'.
  std::string Path() const { return path_.string() + "/"; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}
