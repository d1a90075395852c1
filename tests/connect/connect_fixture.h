// A record, a recording message-box handler, a scratch program folder for IPRecord.dat and
// fake recorders on 127.0.0.1 for the window tests.
#pragma once
#include <unistd.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/AppRecord.h"
#include "platform/messages.h"
#include "platform/net.h"
#include "session/Command.h"
#include "tests/support/FakeRecorder.h"
#include "tests/support/QtWait.h"

// Runs `act` on the next modal window of type T as soon as it is shown (once).
template <class T>
void WhenModal(std::function<void(T&)> act) {
  auto* timer = new QTimer();
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(*w);
    }
  });
  timer->start();
}

class ConnectFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetLocalIPv4Override("127.0.0.1");
    app_ = std::make_unique<AppRecord>();
    app_->ApplyStartValues();
    g_lpApp = app_.get();
    g_strLocalIP = "127.0.0.1";
    g_szSessionCookie.Clear();
    const char* tmp = std::getenv("TRELVIX_TEST_TMP");
    folder_ = std::filesystem::path(tmp ? tmp : "/tmp") /
              ("connect-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    app_->CSettingINI.m_strProgramPath = folder_.string() + "/";
    previous_ = plat::SetMessageBoxHandler([this](plat::HWND, const std::string& text, const std::string&, unsigned) {
      std::lock_guard<std::mutex> lock(boxMutex_);
      boxes_.push_back(text);
      return plat::IDOK;
    });
  }
  void TearDown() override {
    plat::SetMessageBoxHandler(previous_);
    g_szSessionCookie.Clear();
    g_lpApp = nullptr;
    app_.reset();
    plat::SetLocalIPv4Override("");
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  std::vector<std::string> Boxes() {
    std::lock_guard<std::mutex> lock(boxMutex_);
    return boxes_;
  }
  void ClearBoxes() {
    std::lock_guard<std::mutex> lock(boxMutex_);
    boxes_.clear();
  }

  // A fake recorder on a web port the login window's port field can hold (1 to 9999).
  // A low port that refuses connections and that no other test can take meanwhile: a socket
  // bound to it but not listening. Close the returned descriptor when done (-1 on failure).
  static int ReserveRefusingLowPort(std::uint16_t& port) {
    for (port = 9000 + static_cast<std::uint16_t>(::getpid() % 500); port < 9999; ++port) {
      const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
      if (fd < 0) return -1;
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_port = htons(port);
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
      ::close(fd);
    }
    return -1;
  }

  static bool StartLowPort(fake::FakeRecorder& recorder) {
    for (std::uint16_t port = 9000 + static_cast<std::uint16_t>(::getpid() % 500); port < 9999; ++port) {
      if (recorder.Start(port)) return true;
    }
    return false;
  }

  std::unique_ptr<AppRecord> app_;
  std::filesystem::path folder_;
  std::mutex boxMutex_;
  std::vector<std::string> boxes_;
  plat::MessageBoxHandler previous_;
};
