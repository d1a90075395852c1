// Helpers of the device tests: a record with captured message boxes, and templates built
// from their control-file text.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/AppRecord.h"
#include "core/Strings.h"
#include "platform/messages.h"
#include "session/CtrlFile.h"
#include "session/DeviceTypes.h"

// Records every message box text instead of showing it.
class MessageCapture {
 public:
  MessageCapture() {
    previous_ = plat::SetMessageBoxHandler([this](plat::HWND, const std::string& text, const std::string&, unsigned) {
      texts_.push_back(text);
      return plat::IDOK;
    });
  }
  ~MessageCapture() { plat::SetMessageBoxHandler(previous_); }
  const std::vector<std::string>& Texts() const { return texts_; }
  void Clear() { texts_.clear(); }

 private:
  plat::MessageBoxHandler previous_;
  std::vector<std::string> texts_;
};

inline std::string Msg(unsigned id) { return LoadStr(id); }

// A record installed as g_lpApp; the device table comes back to its built state afterwards.
class RecordFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = std::make_unique<AppRecord>();
    app_->ApplyStartValues();
    g_lpApp = app_.get();
  }
  void TearDown() override {
    FreeCtrlDeviceRecords();
    g_lpApp = nullptr;
    app_.reset();
    ResetDeviceTypeTable();
  }
  std::unique_ptr<AppRecord> app_;
  MessageCapture messages_;
};

// A slot parsed from a command line, owned by `owner` (may be null).
inline CtrlCommandSlot Slot(const std::string& line, CtrlDeviceRecord* owner = nullptr) {
  CtrlCommandSlot s;
  ParseCtrlCommand(s, line);
  s.pOwner = owner;
  return s;
}

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<std::uint8_t> out;
  for (int b : v) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}
