// A record and a fake recorder on 127.0.0.1 for the command, section and login tests.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/AppRecord.h"
#include "platform/net.h"
#include "session/Command.h"
#include "tests/support/FakeRecorder.h"

class RecorderFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetLocalIPv4Override("127.0.0.1");
    app_ = std::make_unique<AppRecord>();
    app_->ApplyStartValues();
    g_lpApp = app_.get();
    g_strLocalIP = "127.0.0.1";
    g_szSessionCookie.Clear();
    ClearPendingNetworkChange();
    ASSERT_TRUE(recorder_.Start());
    app_->CSettingINI.m_strServerName = "127.0.0.1";
    app_->CSettingINI.m_wWebPort = recorder_.Port();
  }
  void TearDown() override {
    recorder_.Stop();
    ClearPendingNetworkChange();
    g_szSessionCookie.Clear();
    g_lpApp = nullptr;
    app_.reset();
    plat::SetLocalIPv4Override("");
  }
  // Logs the client in as far as the session identifier goes.
  void UseSession() { g_szSessionCookie.Set(recorder_.GetIdentity().sessionId); }

  std::unique_ptr<AppRecord> app_;
  fake::FakeRecorder recorder_;
};
