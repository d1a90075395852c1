// Message boxes answered at once and remembered, for as long as the recorder lives.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "platform/messages.h"

class MessageBoxRecorder {
 public:
  explicit MessageBoxRecorder(int answer = plat::IDOK) {
    previous_ = plat::SetMessageBoxHandler([this, answer](plat::HWND, const std::string& text, const std::string&,
                                                          unsigned) {
      std::lock_guard<std::mutex> lock(mutex_);
      texts_.push_back(text);
      return answer;
    });
  }
  ~MessageBoxRecorder() { plat::SetMessageBoxHandler(previous_); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  std::vector<std::string> Texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
  plat::MessageBoxHandler previous_;
};
