// Shared set-up of the disc tests: a key store of their own, a library folder chosen per
// test, the writer's notifications and message boxes recorded.
#pragma once
#include <dlfcn.h>
#include <stdlib.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/SettingINI.h"
#include "platform/registry.h"
#include "record/DiscApiLoader.h"
#include "record/WriteCD.h"
#include "tests/disc/fake/fake_discapi.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

namespace disctest {

inline std::string FakeFolder(const std::string& variant) { return std::string(FAKE_DISC_ROOT) + "/" + variant; }

// The writer's notifications, in order.
class Notifications {
 public:
  static Notifications& Instance() {
    static Notifications n;
    return n;
  }
  static void Callback(int code, int value) { Instance().Add(code, value); }
  void Add(int code, int value) {
    std::lock_guard<std::mutex> lock(mutex_);
    list_.emplace_back(code, value);
  }
  std::vector<std::pair<int, int>> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(list_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<int, int>> list_;
};

// Answers the image recorder's file question with a fixed path (empty: cancel).
class FixedImageFile : public IDiscImageFileChooser {
 public:
  bool ChooseImageFile(const std::string& proposed, std::string& path) override {
    proposedName = proposed;
    path = answer;
    return !answer.empty();
  }
  std::string answer;
  std::string proposedName;
};

class DiscTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TRELVIX_REGISTRY_FILE", (dir / "registry.ini").c_str(), 1);
    settings.m_strProgramPath = dir.Folder();
    Notifications::Instance().Take();
    SetDiscImageFileChooser(&chooser);
  }
  void TearDown() override {
    SetDiscImageFileChooser(nullptr);
    UnloadDiscApi();
    unsetenv("TRELVIX_REGISTRY_FILE");
  }
  void UseLibraryIn(const std::string& folder) { plat::RegSetString(kDiscApiKey, kDiscApiValue, folder); }

  TempDir dir{"disc"};
  CSettingINI settings;
  MessageBoxRecorder boxes;
  FixedImageFile chooser;
};

}  // namespace disctest
