// A fake recorder on 127.0.0.1 with the client's record pointed at it, for the page tests.
#pragma once
#include <QApplication>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>
#include <gtest/gtest.h>

#include "engine/AppRecord.h"
#include "platform/messages.h"
#include "platform/net.h"
#include "session/SysCfg.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/PostedMessages.h"
#include "tests/support/QtWait.h"

class RecorderPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetLocalIPv4Override("127.0.0.1");
    ASSERT_TRUE(fake_.Start());
    app_ = std::make_unique<AppRecord>();
    g_lpApp = app_.get();
    app_->ApplyStartValues();
    app_->fl_DpiScale = 1.0f;
    app_->SetServerName("127.0.0.1");
    app_->CSettingINI.m_wWebPort.store(fake_.Port());
    SetSessionId(fake_.GetIdentity().sessionId);
    ForgetFetchedSysCfgSections();
  }
  void TearDown() override {
    g_lpApp = nullptr;
    fake_.Stop();
    plat::SetLocalIPv4Override("");
  }
  void Model(const char* model, const char* firmware = "1100") {
    fake::Identity id = fake_.GetIdentity();
    id.productId = model;
    id.firmware = firmware;
    fake_.SetIdentity(id);
    app_->SetProductID(model);
    app_->SetFWVersion(firmware);
  }
  std::vector<std::string> Targets() const {
    std::vector<std::string> out;
    for (const auto& r : fake_.Requests()) out.push_back(r.target());
    return out;
  }
  fake::FakeRecorder fake_;
  std::unique_ptr<AppRecord> app_;
};

