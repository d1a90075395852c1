// Message boxes answered at once and remembered, for as long as the recorder lives.
#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/messages.h"

class MessageBoxRecorder {
 public:
  explicit MessageBoxRecorder(int answer = plat::IDOK) {
    previous_ = plat::SetMessageBoxHandler([this, answer](plat::HWND, const std::string& text, const std::string&,
                                                          unsigned) {
      std::function<void(const std::string&)> hook;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.push_back(text);
        hook = onBox_;
      }
      if (hook) hook(text);  // outside the lock: the hook may press buttons that show boxes
      return answer;
    });
  }
  ~MessageBoxRecorder() { plat::SetMessageBoxHandler(previous_); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  // Runs for every box from now on, while the box is up (empty: none).
  void OnBox(std::function<void(const std::string&)> hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    onBox_ = std::move(hook);
  }

  std::vector<std::string> Texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
  std::function<void(const std::string&)> onBox_;
  plat::MessageBoxHandler previous_;
};
