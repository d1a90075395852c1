// A configuration sheet against the fake recorder: the model, sections served by the
// recorder and fetched the way the main window fetches them, and the requests the sheet sent.
#pragma once
#include <QApplication>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>
#include <gtest/gtest.h>

#include "config/MySystemDialog.h"
#include "engine/AppRecord.h"
#include "tests/config/config_fixture.h"
#include "mainwnd/SystemSheet.h"
#include "platform/net.h"
#include "session/SysCfg.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/MessageBoxRecorder.h"

class PagesTest : public RecorderPageTest {
 protected:
  void SetUp() override {
    RecorderPageTest::SetUp();
    if (HasFatalFailure()) return;
    fake_.SetPlausibleSections();
  }
  // The model, and the sections as the recorder serves them, fetched into the record.
  void Connect(const char* model, const char* firmware = "1100") {
    fake::Identity id = fake_.GetIdentity();
    id.productId = model;
    id.firmware = firmware;
    fake_.SetIdentity(id);
    app_->SetProductID(model);
    app_->SetFWVersion(firmware);
    ASSERT_EQ(LoadDeviceConfig(), 1);
    fake_.ClearRequests();
  }
  // A section of the recorder with bytes changed at offsets.
  void Patch(const char* option, std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes) {
    std::string s = fake_.Section(option);
    for (const auto& [at, value] : bytes) s[at] = static_cast<char>(value);
    fake_.SetSection(option, s);
  }
  // Bodies of the /SetSysCfg.cgi requests of one option, in order.
  std::vector<std::string> Sent(const char* option) const {
    std::vector<std::string> out;
    for (const auto& r : fake_.Requests()) {
      auto it = r.query.find("Option");
      if (r.path == "/SetSysCfg.cgi" && it != r.query.end() && it->second == option) out.push_back(r.body);
    }
    return out;
  }
  std::vector<std::string> Paths() const {
    std::vector<std::string> out;
    for (const auto& r : fake_.Requests()) out.push_back(r.path);
    return out;
  }
  // A sheet with `caption`'s page shown.
  std::unique_ptr<MySystemDialog> OpenSheet() {
    auto sheet = std::make_unique<MySystemDialog>();
    sheet->CreateSheet(nullptr, QRect(0, 0, 1920, 1080));
    return sheet;
  }
  static bool Show(MySystemDialog& sheet, ui::PropertyPage& page) { return sheet.SetActivePage(&page); }

};
