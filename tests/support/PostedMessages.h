// Posted messages caught for a test: a message sink of its own that keeps each message's id
// and wParam, in the order they arrived.
#pragma once
#include <mutex>
#include <utility>
#include <vector>

#include "platform/messages.h"

class PostedMessages : public plat::MessageSink {
 public:
  PostedMessages() : hwnd_(plat::RegisterMessageSink(this)) {}
  ~PostedMessages() override { plat::UnregisterMessageSink(hwnd_); }
  void OnPostedMessage(unsigned msg, plat::WPARAM w, plat::LPARAM) override {
    std::lock_guard<std::mutex> lock(mutex_);
    got_.emplace_back(msg, static_cast<int>(w));
  }
  std::vector<std::pair<unsigned, int>> Got() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return got_;
  }
  plat::HWND Hwnd() const { return hwnd_; }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<unsigned, int>> got_;
  plat::HWND hwnd_;
};
